// Background answers of the per-control skin state: what a child is told about the background
// behind it, the colour an owner shows, the section whose background shows under a control,
// font colours over it, outer effects painted into a parent's cache, and the copies of a
// cache to a device context with the children left out.
#include <algorithm>
#include <vector>

#include "platform/runtime/Exceptions.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acColorAdjust.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.Corners.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr TColor kKeyColor = 0xFF00FF;
constexpr TColor kBtnFace = static_cast<TColor>(0xFF00000F);
constexpr TColor kBtnText = static_cast<TColor>(0xFF000012);
constexpr TColor kWindow = static_cast<TColor>(0xFF000005);

bool ValidIndex(const TacSkinData* data, int index) {
  return data && index >= 0 && index < static_cast<int>(data->gd.size());
}

bool ValidMask(const TacSkinData* data, int index) {
  return data && index >= 0 && index < static_cast<int>(data->ma.size());
}

// The skin data section queries read: the manager's 96-PPI data.
TacSkinData* QueryData(TsSkinManager* manager) {
  if (!manager) manager = DefaultManager();
  return manager ? manager->CommonSkinData(96) : nullptr;
}

// The border image of a section, or nullptr.
const TsMaskData* BorderOf(const TacSkinData* data, int skinIndex) {
  if (!ValidIndex(data, skinIndex)) return nullptr;
  const int border = data->gd[skinIndex].BorderIndex;
  return ValidMask(data, border) ? &data->ma[border] : nullptr;
}

TWinControl* AsWin(TControl* c) { return dynamic_cast<TWinControl*>(c); }

bool CacheEmpty(const TBitmap* bmp) { return !bmp || bmp->Empty(); }

// Asks the control for its section: through its window when it has one.
LRESULT QueryControl(TControl* control, TacSectionQuery& query) {
  if (TWinControl* win = AsWin(control); win && win->HandleAllocated())
    return SendSkinMessage(win->Handle(), SM_SKINCOMMAND, SkinCommandWParam(SKCMD_FIND_OPAQUE_SECTION),
                           reinterpret_cast<LPARAM>(&query));
  return control->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_FIND_OPAQUE_SECTION),
                          reinterpret_cast<LPARAM>(&query));
}

}  // namespace

// ---- sub-command 34 ----------------------------------------------------------------

void TsCommonData::FillBackgroundInfo(TacBGInfo& Info, int State, HWND Wnd) {
  if (Info.PleaseDraw) {
    if (BGChanged && FOwnerControl) PerformSkinCommand(FOwnerControl, SKCMD_PREPARE_CACHE, 0);
    if (!BGChanged && FCacheBmp && Info.DrawDC) {
      BitBlt(Info.DrawDC, Info.R.Left, Info.R.Top, Info.R.Width(), Info.R.Height(), FCacheBmp->Canvas().Handle(),
             Info.Offset.X, Info.Offset.Y, SRCCOPY);
    }
    Info.BgType = btCache;
    return;
  }
  Info.Bmp = nullptr;
  if (!Skinned() || FCustomColor) {
    Info.BgType = btFill;
    if (FOwnerControl)
      Info.Color = ColorToRGB(FOwnerControl->Color());
    else if (TsSkinProvider* provider = Provider(); provider && provider->Form)
      Info.Color = ColorToRGB(provider->Form->Color());
    return;
  }
  TacSkinData* data = ReadCommonSkinData();
  const TsGeneralData& section = data->gd[SkinIndex];
  const TsGenState& state = section.StateProps(State);
  const int t = state.Transparency;
  auto answerCache = [&] {
    Info.BgType = btCache;
    Info.Bmp = (AnimTimer && AnimTimer->Enabled() && AnimTimer->BmpOut) ? AnimTimer->BmpOut.get() : FCacheBmp.get();
    Info.Offset = TPoint{0, 0};
  };
  if (t <= 0) {
    if (state.GradientPercent < 1 && state.ImagePercent < 1 && section.ImgTL < 0 && section.ImgTR < 0 &&
        section.ImgBL < 0 && section.ImgBR < 0 && !OuterEffectsAllowed(this)) {
      Info.BgType = btFill;
      Info.Color = BackgroundColor(State, Wnd);
      if (const TsMaskData* border = BorderOf(data, SkinIndex); border && !(border->DrawMode & 2)) {
        Info.FrameRect = TRect{border->WL, border->WT, border->WR, border->WB};
        Info.Bmp = FCacheBmp.get();
        Info.Offset = TPoint{0, 0};
      }
      return;
    }
    TsSkinManager* manager = ReadSkinManager();
    Info.Color = manager ? manager->GetGlobalColor() : kBtnFace;
    const bool sizeDiffers =
        FCacheBmp && FOwnerControl &&
        (FCacheBmp->Width() != FOwnerControl->Width() || FCacheBmp->Height() != FOwnerControl->Height());
    if (BGChanged || CacheEmpty(FCacheBmp.get()) || sizeDiffers) {
      BGChanged = true;
      if (FOwnerControl) {
        if (FCacheBmp) FCacheBmp->SetSize(0, 0);
        PerformSkinCommand(FOwnerControl, SKCMD_PREPARE_CACHE, 0);
      } else if (TsSkinProvider* provider = Provider(); provider && provider->Form) {
        // A form whose cache is being rendered answers it as it is.
        if (provider->FFormState & 0x80) {
          answerCache();
          return;
        }
        if (FCacheBmp) FCacheBmp->SetSize(0, 0);
        PerformSkinCommand(provider->Form, SKCMD_PREPARE_CACHE, 0);
      }
      if (CacheEmpty(FCacheBmp.get())) {
        Info.BgType = btNotReady;
        return;
      }
    }
    answerCache();
    return;
  }
  if (t < 100) {
    // A second pass only after the owner rendered its cache; a cache that stays empty ends it.
    for (int pass = 0; pass < 2; ++pass) {
      if (!FCacheBmp) {
        Info.Color = kKeyColor;
        Info.BgType = btFill;
        return;
      }
      if (!FCacheBmp->Empty()) {
        answerCache();
        return;
      }
      if (BGChanged && FOwnerControl) PerformSkinCommand(FOwnerControl, SKCMD_PREPARE_CACHE, 0);
      if (FCacheBmp->Empty()) {
        FUpdating = true;
        Info.BgType = btNotReady;
        return;
      }
    }
    answerCache();
    return;
  }
  // Transparency 100: the cache when there is one, else the parent's background.
  if (FCacheBmp) {
    if (BGChanged && FOwnerControl) PerformSkinCommand(FOwnerControl, SKCMD_PREPARE_CACHE, 0);
    Info.Offset = TPoint{0, 0};
    if (!BGChanged && !FCacheBmp->Empty()) {
      Info.BgType = btCache;
      Info.Bmp = FCacheBmp.get();
    } else {
      Info.Bmp = nullptr;
      Info.BgType = btFill;
      Info.Color = BackgroundColor(0, Wnd);
    }
    return;
  }
  TControl* owner = FOwnerControl;
  if (!owner)
    if (TsSkinProvider* provider = Provider()) owner = provider->Form;
  if (owner && owner->Parent()) {
    RequestBackgroundFromControl(Info, owner->Parent(), false);
    if (Info.BgType == btCache) {
      Info.Offset = TPoint{Info.Offset.X + owner->Left(), Info.Offset.Y + owner->Top()};
      Info.FrameRect.Left -= owner->Left();
      Info.FrameRect.Top -= owner->Top();
    }
  } else if (Wnd && GetParent(Wnd)) {
    HWND parent = GetParent(Wnd);
    RequestBackgroundFromWindow(Info, parent, false);
    if (Info.BgType == btCache) {
      RECT wr;
      GetWindowRect(Wnd, &wr);
      POINT pt{wr.left, wr.top};
      ScreenToClient(parent, &pt);
      Info.Offset = TPoint{Info.Offset.X + pt.x, Info.Offset.Y + pt.y};
    }
  } else {
    TsSkinManager* manager = DefaultManager();
    Info.BgType = btFill;
    Info.Color = manager ? manager->GetGlobalColor() : kBtnFace;
  }
}

TColor TsCommonData::BackgroundColor(int State, HWND Wnd) {
  TsSkinProvider* provider = Provider();
  auto ownColor = [&]() -> TColor {
    if (FOwnerControl) return FOwnerControl->Color();
    if (provider && provider->Form) return provider->Form->Color();
    return kBtnFace;
  };
  if (!Skinned()) return ownColor();
  const TsGeneralData& section = ReadCommonSkinData()->gd[SkinIndex];
  const int s = (State > 0 && section.States > 1) ? 1 : 0;
  const TsGenState& state = section.StateProps(s);
  const int t = state.Transparency;
  auto parentColor = [&](TColor fallback) -> TColor {
    if (FOwnerControl && FOwnerControl->Parent()) return ControlBkColor(FOwnerControl->Parent());
    if (Wnd && GetParent(Wnd)) return WindowBkColor(GetParent(Wnd));
    return fallback;
  };
  if (t >= 100) return parentColor(state.Color);
  if (t > 0) {
    if (!FOwnerControl && !Wnd) return kBtnFace;
    return static_cast<TColor>(BlendTwoColors(ColorToRGB(state.Color), ColorToRGB(parentColor(state.Color)),
                                              static_cast<std::uint8_t>(t * 255 / 100)));
  }
  return FCustomColor ? ownColor() : state.Color;
}

TColor TsCommonData::ChildBackgroundColor() {
  if (!FOwnerControl) return 0;
  if (!Skinned()) return ColorToRGB(FOwnerControl->Color());
  const TsGenState& state = ReadCommonSkinData()->gd[SkinIndex].StateProps(0);
  const int t = std::clamp(state.Transparency, 0, 100);
  const TColor c = state.Color;
  TWinControl* parent = FOwnerControl->Parent();
  if (t == 0) return c;
  if (t == 100) {
    if (!parent) return ColorToRGB(FOwnerControl->Color());
    if (IsSkinnedControl(parent)) return static_cast<TColor>(QuerySkinCommand(parent, SKCMD_GET_BG_COLOR));
    return parent->Color();
  }
  const std::uint32_t p = parent ? static_cast<std::uint32_t>(QuerySkinCommand(parent, SKCMD_GET_BG_COLOR))
                                 : static_cast<std::uint32_t>(ColorToRGB(FOwnerControl->Color()));
  // The percentage is a weight out of 256 here.
  std::uint32_t result = p & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::uint32_t cb = (static_cast<std::uint32_t>(c) >> shift) & 0xFF, pb = (p >> shift) & 0xFF;
    result |= (((cb * (256 - t) + pb * t) >> 8) & 0xFF) << shift;
  }
  return static_cast<TColor>(result);
}

void TsCommonData::ParentBackgroundInfo(TCacheInfo& CacheInfo) {
  CacheInfo = TCacheInfo{};
  auto plain = [&] {
    CacheInfo.X = CacheInfo.Y = 0;
    CacheInfo.FillColor = BackgroundColor(0);
    CacheInfo.Ready = false;
  };
  if (!Skinned() || !FOwnerControl) {
    plain();
    return;
  }
  TacBGInfo info;
  if (TWinControl* parent = FOwnerControl->Parent()) {
    RequestBackgroundFromControl(info, parent, false);
  } else if (TWinControl* win = AsWin(FOwnerControl); win && win->HandleAllocated() && GetParent(win->Handle())) {
    RequestBackgroundFromWindow(info, GetParent(win->Handle()), false);
  } else {
    plain();
    return;
  }
  if (info.BgType == btNotReady) {
    CacheInfo.FillColor = kKeyColor;
    CacheInfo.Ready = false;
    return;
  }
  CacheInfoFromBackgroundInfo(info, CacheInfo);
}

void WindowParentBackgroundInfo(HWND Wnd, TCacheInfo& CacheInfo) {
  CacheInfo = TCacheInfo{};
  HWND parent = Wnd ? GetParent(Wnd) : nullptr;
  if (!parent) return;
  TacBGInfo info;
  RequestBackgroundFromWindow(info, parent, false);
  if (info.BgType == btNotReady) {
    CacheInfo.FillColor = kKeyColor;
    return;
  }
  CacheInfoFromBackgroundInfo(info, CacheInfo);
}

// ---- section queries ---------------------------------------------------------------

LRESULT TsCommonData::AnswerSectionQuery(TacSectionQuery& Query) {
  if (!Skinned()) return 0;
  Query.SkinIndex = SkinIndex;
  if (!SectionIsTranslucent(ReadSkinManager(), SkinIndex, Query.State, FOwnerControl)) return 1;
  if (FOwnerControl) return AskParentSection(FOwnerControl->Parent(), Query);
  return FSWHandle ? SendSectionQuery(GetParent(FSWHandle), Query) : 1;
}

LRESULT AskParentSection(TControl* Control, TacSectionQuery& Query) {
  if (!Control) return Query.SkinIndex;
  if (Control->Parent()) Query.R = OffsetRectXY(Query.R, Control->Left(), Control->Top());
  const LRESULT answer = QueryControl(Control, Query);
  return answer != 0 ? answer : Query.SkinIndex;
}

LRESULT SendSectionQuery(HWND Wnd, TacSectionQuery& Query) {
  return SendMessageW(Wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_FIND_OPAQUE_SECTION),
                      reinterpret_cast<LPARAM>(&Query));
}

bool SectionIsTranslucent(TsSkinManager* Manager, int SkinIndex, int State, TControl* Control) {
  TacSkinData* data = QueryData(Manager);
  if (!Control || !Control->Parent() || !ValidIndex(data, SkinIndex)) return false;
  const TsGeneralData& section = data->gd[SkinIndex];
  const int a = std::max(0, std::min(State, section.States - 1));
  const int t = section.StateProps(a).Transparency;
  const TsMaskData* border = BorderOf(data, SkinIndex);
  if (t <= 50 || !border) return t > 50;
  const bool flag4 = (border->DrawMode & 4) != 0, flag2 = (border->DrawMode & 2) != 0;
  if (a == 0) return !flag4 || flag2;
  if (!flag4) return true;
  if (border->MaskType == 0) return false;
  TsSkinManager* manager = Manager ? Manager : DefaultManager();
  TBitmap* image = border->Bmp ? border->Bmp : (manager ? manager->MasterBitmap() : nullptr);
  if (!image || image->Empty() || image->PixelFormat() != pf32bit) return false;
  const int x = border->R.Left + a * border->Width + border->Width / 2;
  const int y = border->R.Bottom - border->Height / 2;
  // A cell beyond the image shows nothing through.
  if (x < 0 || y < 0 || x >= image->Width() || y >= image->Height()) return false;
  const auto* row = static_cast<const std::uint8_t*>(image->ScanLine(y));
  return row[x * 4] > 127;
}

TColor SectionFontColorOfControl(TControl* Control, int SkinIndex, TsSkinManager* Manager, TsCommonData* StateObj,
                                 int State) {
  if (StateObj && StateObj->FCustomFont && Control) return Control->Font.Color;
  TsSkinManager* manager = Manager ? Manager : DefaultManager();
  TacSkinData* data = QueryData(Manager);
  const int s = std::min(2, State);
  const bool opaqueOwn = ValidIndex(data, SkinIndex) && State < data->gd[SkinIndex].States &&
                         data->gd[SkinIndex].StateProps(s).Transparency <= 39;
  if (!opaqueOwn && Control) {
    TacSectionQuery query;
    query.State = s;
    query.SkinIndex = SkinIndex;
    query.R = Control->BoundsRect();
    query.Manager = Manager;
    const LRESULT answer = Control->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_FIND_OPAQUE_SECTION),
                                            reinterpret_cast<LPARAM>(&query));
    if (answer == 0) return Control->Parent() ? Control->Parent()->Font.Color : Control->Font.Color;
    if (answer != -1 && query.SkinIndex >= 0) SkinIndex = query.SkinIndex;
  }
  if (manager && manager->IsActive()) {
    if (!ValidIndex(data, SkinIndex)) return manager->Palette[pcLabelText];
    return data->gd[SkinIndex].StateProps(s).FontColor.Color;
  }
  return Control ? static_cast<TColor>(Control->Font.Color) : kWindow;
}

TColor SectionFontColorOfWindow(HWND Wnd, int SkinIndex, TsSkinManager* Manager, int State) {
  TsSkinManager* manager = Manager ? Manager : DefaultManager();
  TacSkinData* data = QueryData(Manager);
  const bool valid = ValidIndex(data, SkinIndex);
  if (State == 0 || SkinIndex < 0 || !valid || State >= data->gd[SkinIndex].States ||
      data->gd[SkinIndex].StateProps(State).Transparency > 39) {
    TacSectionQuery query;
    query.State = State;
    query.SkinIndex = SkinIndex;
    query.Manager = Manager;
    const LRESULT answer = SendSkinMessage(Wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_FIND_OPAQUE_SECTION),
                                           reinterpret_cast<LPARAM>(&query));
    if (answer == 0) return kBtnText;
    if (answer != -1 && query.SkinIndex >= 0) SkinIndex = query.SkinIndex;
  }
  if (!manager || !manager->IsActive()) return kBtnText;
  if (ValidIndex(data, SkinIndex)) return data->gd[SkinIndex].StateProps(State).FontColor.Color;
  return manager->Palette[pcLabelText];
}

// ---- outer effects -----------------------------------------------------------------

void TsCommonData::PaintOuterEffect(TacBGInfo& Info, int Mode) {
  if (!Skinned() || !FOuterEffects || FOuterEffects->Visibility() == ovNone) return;
  TacSkinData* data = ReadCommonSkinData();
  const TsGeneralData& section = data->gd[SkinIndex];
  if (section.OuterMode < 1) return;
  int mask = section.OuterMask, opacity = section.OuterOpacity;
  TRect margins = section.OuterOffset;
  if (section.OuterMask < 0 && (section.OuterMode == 1 || section.OuterMode == 2)) {
    const int n = section.OuterMode - 1;
    if (n < static_cast<int>(data->oe.size()) && data->oe[n].Source != 0) {
      const TacOutEffData& effect = data->oe[n];
      mask = effect.Mask;
      opacity = effect.Opacity;
      margins = TRect{effect.OffsetL, effect.OffsetT, effect.OffsetR, effect.OffsetB};
    }
    if (mask < 0) return;
  }
  if (!Info.Bmp || Info.Bmp->Empty() || !FOwnerControl) return;
  // A skin's margins are a few pixels; anything beyond the parent's cache is cut off below.
  margins = TRect{std::max(0, margins.Left), std::max(0, margins.Top), std::max(0, margins.Right),
                  std::max(0, margins.Bottom)};
  TRect r;
  PerformSkinCommand(FOwnerControl, SKCMD_GET_BOUNDS, reinterpret_cast<LPARAM>(&r));
  if (r.IsEmpty()) r = FOwnerControl->BoundsRect();
  r = OffsetRectXY(r, Info.Offset.X, Info.Offset.Y);
  TRect e{r.Left - margins.Left, r.Top - margins.Top, r.Right + margins.Right, r.Bottom + margins.Bottom};
  // Only the part of the effect that lies in the parent's cache is saved and painted.
  e = TRect{std::max(e.Left, 0), std::max(e.Top, 0), std::min(e.Right, Info.Bmp->Width()),
            std::min(e.Bottom, Info.Bmp->Height())};
  if (e.Width() <= 0 || e.Height() <= 0) return;
  HDC parentDC = Info.Bmp->Canvas().Handle();
  const bool valid = ValidMask(data, mask);
  if ((Mode & 0x100) && FOuterCache) {
    auto fresh = NewBitmap32(e.Width(), e.Height());
    BitBlt(fresh->Canvas().Handle(), 0, 0, e.Width(), e.Height(), parentDC, e.Left, e.Top, SRCCOPY);
    if (FOuterCache->Width() == e.Width() && FOuterCache->Height() == e.Height()) {
      if (valid)
        PaintMaskNineSliceAlpha(FOuterCache.get(), TRect{0, 0, e.Width(), e.Height()}, EmptyCacheInfo, data->ma[mask], 0,
                                margins, static_cast<std::uint8_t>(std::clamp(opacity, 0, 255)));
      BitBlt(parentDC, e.Left, e.Top, e.Width(), e.Height(), FOuterCache->Canvas().Handle(), 0, 0, SRCCOPY);
    }
    FOuterCache = std::move(fresh);
    return;
  }
  if (!FOuterCache) FOuterCache = NewBitmap32(e.Width(), e.Height());
  FOuterCache->SetSize(e.Width(), e.Height());
  BitBlt(FOuterCache->Canvas().Handle(), 0, 0, e.Width(), e.Height(), parentDC, e.Left, e.Top, SRCCOPY);
  if (mask > 0 && valid) PaintMaskNineSliceAlpha(Info.Bmp, e, EmptyCacheInfo, data->ma[mask], 0, margins,
                            static_cast<std::uint8_t>(std::clamp(opacity, 0, 255)));
}

void TsCommonData::PaintOuterEffects(TControl* OwnerCtrl, TPoint Offset) {
  TsSkinManager* manager = ReadSkinManager();
  auto* owner = AsWin(OwnerCtrl);
  if (!owner || !Skinned() || !manager || !manager->Effects.AllowOuterEffects) return;
  for (TControl* child : std::vector<TControl*>(owner->Controls())) {
    if (!child->Visible() || !ControlIsReady(child)) continue;
    TacBGInfo info;
    info.BgType = btCache;
    info.Bmp = FCacheBmp.get();
    info.Offset = Offset;
    PerformSkinCommand(child, SKCMD_PAINT_OUTER_EFFECT, reinterpret_cast<LPARAM>(&info));
  }
}

// ---- the cache ---------------------------------------------------------------------

void TsCommonData::InitCacheBitmap() {
  if (FCacheBmp) {
    FCacheBmp->SetPixelFormat(pf32bit);
  } else {
    FCacheBmp = NewBitmap32(0, 0);
  }
  if (FCacheBmp->HandleType() != bmDIB) FCacheBmp->SetHandleType(bmDIB);
  if (FOwnerControl) {
    const int w = std::max(0, FOwnerControl->Width()), h = std::max(0, FOwnerControl->Height());
    if (FCacheBmp->Width() != w || FCacheBmp->Height() != h) FCacheBmp->SetSize(w, h);
  }
}

int TsCommonData::BorderWidth() {
  const TsMaskData* border = Skinned() ? BorderOf(ReadCommonSkinData(), SkinIndex) : nullptr;
  if (!border || (border->DrawMode & 2)) return 0;
  return std::max({static_cast<int>(border->WL), static_cast<int>(border->WT), static_cast<int>(border->WR),
                   static_cast<int>(border->WB)});
}

void PaintCacheExceptControls(TWinControl* Control, TsCommonData* State, const TRect& Src, int Y, int X,
                              bool RepairCorners, HDC DC, const TRect& Dst) {
  if (!State || CacheEmpty(State->FCacheBmp.get()) || !DC) return;
  if (RepairCorners) RepairCacheCorners(State, 0, 15);
  TsSkinManager* manager = State->ReadSkinManager();
  const bool skipGraphic = manager && manager->Options.StdImgTransparency;
  const int saved = SaveDC(DC);
  IntersectClipRect(DC, Dst.Left, Dst.Top, Dst.Right, Dst.Bottom);
  if (Control)
    for (TControl* child : std::vector<TControl*>(Control->Controls())) {
      const bool graphic = !AsWin(child);
      if ((graphic && skipGraphic) || !child->Visible()) continue;
      const TRect b = child->BoundsRect();
      const TRect moved{X + b.Left, Y + b.Top, X + b.Right, Y + b.Bottom};
      RECT overlap;
      if (!IntersectRect(&overlap, moved.AsRECT(), Dst.AsRECT())) continue;
      if ((child->ControlStyle() & csOpaque) || graphic || QuerySkinCommand(child, SKCMD_PAINTS_OWN_BG) == 1)
        ExcludeClipRect(DC, moved.Left, moved.Top, moved.Right, moved.Bottom);
    }
  BitBlt(DC, Dst.Left, Dst.Top, Dst.Width(), Dst.Height(), State->FCacheBmp->Canvas().Handle(), Src.Left, Src.Top,
         SRCCOPY);
  RestoreDC(DC, saved);
}

void PaintCacheExceptWindows(HWND Wnd, TsCommonData* State, const TRect& Src, int Y, int X, bool RepairCorners,
                             HDC DC, const TRect& Dst) {
  if (!State || CacheEmpty(State->FCacheBmp.get()) || !DC) return;
  if (RepairCorners) RepairCacheCorners(State, 0, 15);
  const int saved = SaveDC(DC);
  IntersectClipRect(DC, Dst.Left, Dst.Top, Dst.Right, Dst.Bottom);
  RECT origin{};
  if (Wnd) GetWindowRect(Wnd, &origin);
  for (HWND child = Wnd ? GetTopWindow(Wnd) : nullptr; child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE)) continue;
    RECT wr;
    GetWindowRect(child, &wr);
    OffsetRect(&wr, -origin.left - X, -origin.top - Y);
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(child, GWL_EXSTYLE);
    TsSkinManager* manager = DefaultManager();
    if ((style & 0x0F) == BS_GROUPBOX && !(exStyle & WS_EX_CLIENTEDGE) && manager) {
      // Only the caption and the frame are the group box's own; its interior shows the cache.
      const int caption = static_cast<int>(SendSkinCommand(child, SKCMD_CAPTION_HEIGHT, 0));
      TacSkinData* data = manager->CommonSkinData(96);
      const TsMaskData* border = data ? BorderOf(data, data->GetSkinIndex(L"GROUPBOX")) : nullptr;
      const int wl = border ? border->WL : 0, wr_ = border ? border->WR : 0, wb = border ? border->WB : 0;
      ExcludeClipRect(DC, wr.left, wr.top, wr.right, wr.top + caption);
      ExcludeClipRect(DC, wr.left, wr.top, wr.left + wl, wr.bottom);
      ExcludeClipRect(DC, wr.right - wr_, wr.top, wr.right, wr.bottom);
      ExcludeClipRect(DC, wr.left, wr.bottom - wb, wr.right, wr.bottom);
    } else {
      ExcludeClipRect(DC, wr.left, wr.top, wr.right, wr.bottom);
    }
  }
  BitBlt(DC, Dst.Left, Dst.Top, Dst.Width(), Dst.Height(), State->FCacheBmp->Canvas().Handle(), Src.Left, Src.Top,
         SRCCOPY);
  RestoreDC(DC, saved);
}

// ---- colour effects and regions ----------------------------------------------------

void ApplyColorEffects(TBitmap* Bitmap, TsCommonData* State, TColor Tone, int CornerState) {
  if (!Bitmap || !State || Bitmap->Empty()) return;
  TColor tone = clNone;
  if (State->COC == 93 || State->COC == 94) {
    if (Tone != clNone && Tone != 0) tone = Tone;
  } else if (State->FColorTone != clNone) {
    tone = State->FColorTone;
  }
  if (tone != clNone)
    ForEachPixel(Bitmap, PixelColorTone, static_cast<std::int32_t>(SkinColorOf(tone, State->ReadSkinManager())),
                 kKeyColor);
  if (State->FHUEOffset != 0) ForEachPixel(Bitmap, PixelHueShift, State->FHUEOffset, kKeyColor);
  if (State->FSaturation != 0)
    ForEachPixel(Bitmap, PixelSaturation, std::clamp(State->FSaturation * 255 / 100, -255, 255), kKeyColor);
  RepairCacheCorners(State, CornerState, 15);
}

HRGN CreateBorderRegion(int SkinIndex, TBitmap* Bitmap, TacSkinData* SkinData) {
  const TsMaskData* border = BorderOf(SkinData, SkinIndex);
  if (!border || !Bitmap) return nullptr;
  std::vector<RECT> holes;
  CollectMaskCornerHoles(holes, Bitmap->Width(), *border, 0, false, 0);
  CollectMaskCornerHoles(holes, Bitmap->Width(), *border, Bitmap->Height() - border->WB, true, 0);
  HRGN region = CreateRectRgn(0, 0, Bitmap->Width() - 1, Bitmap->Height() - 1);
  for (const RECT& hole : holes) {
    FillRectArgb(Bitmap, TRect{hole.left, hole.top, hole.right, hole.bottom}, 0, 0);
    HRGN cut = CreateRectRgnIndirect(&hole);
    CombineRgn(region, region, cut, RGN_DIFF);
    DeleteObject(cut);
  }
  return region;
}
