// The glyphs of framework tool buttons, drawn through the one glyph routine.
#include <string_view>

#include "platform/ui/ComCtrls.h"
#include "platform/ui/ImgList.h"
#include "platform/ui/Menus.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

// The tool buttons' constant section of the skin data; -1 when the skin has none.
int ToolButtonSection(TacSkinData* Data) {
  for (int i = 0; i < acSectionCount; ++i)
    if (std::wstring_view(SectionNames[static_cast<std::size_t>(i)]) == L"TOOLBUTTON")
      return Data->Sections()[static_cast<std::size_t>(i)];
  return -1;
}

}  // namespace

void DrawToolButtonGlyph(TToolBar* ToolBar, TToolButton* Button, unsigned State, TBitmap* Bmp, unsigned Flags,
                         int Stage) {
  (void)Flags;
  (void)Stage;
  if (!ToolBar || !Button || !Bmp) return;
  // 1.
  const int state = (State & odSelected) ? 2 : (State & odHotLight) ? 1 : (State & odChecked) ? 2 : 0;
  // 2.
  auto* data = reinterpret_cast<TsCommonData*>(PerformSkinCommand(ToolBar, SKCMD_GET_COMMON_DATA, 0));
  TsSkinManager* manager = data ? data->ReadSkinManager() : nullptr;
  TacSkinData* skinData = nullptr;
  bool grayed = false;
  int section = -1;
  if (data && manager && data->Skinned()) {
    skinData = data->ReadCommonSkinData();
    grayed = state == 0 && manager->Effects.DiscoloredGlyphs;
    section = ToolButtonSection(skinData);
    if (state == 0 && ToolBar->Parent() && data->SkinIndex >= 0 &&
        data->SkinIndex < static_cast<int>(skinData->gd.size()) &&
        skinData->gd[static_cast<std::size_t>(data->SkinIndex)].StateProps(0).Transparency == 100)
      section = VisibleSkinIndexOfControl(ToolBar, data->SkinIndex, manager, 0);
  }
  // 3.
  const int ppi = skinData ? skinData->PPI : ControlPPI(ToolBar);
  // 4.
  TCustomImageList* list = ToolBar->Images;
  if ((State & odDisabled) && ToolBar->DisabledImages)
    list = ToolBar->DisabledImages;
  else if (state == 1 && ToolBar->HotImages)
    list = ToolBar->HotImages;
  // 5.
  const int iw = ToolBar->Images ? ToolBar->Images->Width() : 0;
  const int ih = ToolBar->Images ? ToolBar->Images->Height() : 0;
  const int bw = Button->Width(), bh = Button->Height();
  TPoint at;
  if (ToolBar->List) {
    at = TPoint{5, (bh - ih) / 2};
  } else {
    const int d = Button->Style == tbsDropDown ? 8 : 0;
    const int text = ToolBar->ShowCaptions ? Bmp->Canvas().TextHeight(L"A") + 3 : 0;
    at = TPoint{(bw - iw) / 2 - d + 1, (bh - ih - text) / 2};
  }
  // 6.
  TacGlyphDrawInfo info;
  info.NumGlyphs = 1;
  info.ImageIndex = Button->ImageIndex;
  info.CurrentState = state;
  info.Down = state == 2;
  info.Grayed = grayed;
  info.Enabled = ToolBar->Enabled();
  info.Blend = 0;
  info.Reflected = false;
  info.Glyph = nullptr;
  info.DstBmp = Bmp;
  info.DstCanvas = &Bmp->Canvas();
  info.Images = list;
  info.PPI = ppi;
  info.SkinData = skinData;
  info.SkinIndex = section;
  const bool hasSection = skinData && section >= 0 && section < static_cast<int>(skinData->gd.size());
  if (grayed) {
    info.DisabledKind = dkGrayed;
    if (hasSection) info.BlendColor = skinData->gd[static_cast<std::size_t>(section)].StateProps(0).Color;
  }
  if (dynamic_cast<TsCharImageList*>(list) && hasSection)
    Bmp->Canvas().Font.Color = SectionFontColorOfControl(ToolBar, section, manager, data, state);
  if (state == 2 && ContentShiftsOnClick(section, skinData)) {
    at.X += 1;
    at.Y += 1;
  }
  info.DstRect = TRect{at.X, at.Y, at.X + iw, at.Y + ih};
  DrawListGlyph(info);
}
