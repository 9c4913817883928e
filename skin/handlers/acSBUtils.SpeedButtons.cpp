// The speed-button handler: a window-less button of the framework painted from the skin
// through its WindowProc, as an arrow button for the arrows of an up-down control.
#include "skin/handlers/acSBUtils.h"

#include <algorithm>

#include "platform/ui/Buttons.SpeedButton.h"
#include "platform/ui/Forms.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sDPI.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Corners.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr std::uint8_t AllCorners = 0x0F;

}  // namespace

TacSpeedButtonHandler::TacSpeedButtonHandler(TControl* Control, bool Repaint, const std::wstring& SkinSection,
                                             TsSkinManager* Manager, TsCommonData* CommonData)
    : Ctrl(Control), PCtrl(Control != nullptr), SkinData(CommonData) {
  (void)Repaint;
  SkinManager = Manager ? Manager : (CommonData ? CommonData->ReadSkinManager() : nullptr);
  if (SkinData && SkinData->SkinSection().empty() && !SkinSection.empty()) SkinData->WriteSkinSection(SkinSection);
  IsUpDown = Control && Control->ClassName() == L"TTimerSpeedButton";
  if (!Control) return;
  OldWndProc = Control->WindowProc();
  const TWndMethod ours = MakeWndMethod<&TacSpeedButtonHandler::acWndProc>(this);
  Control->SetWindowProc(ours);
  if (SkinData) SkinData->WndProc = ours;
  // The control may be freed before the handler: its destruction is heard here.
  FHooked = Control;
  Control->AddFreeNotify(this);
}

TacSpeedButtonHandler::~TacSpeedButtonHandler() {
  // The control is alive while FHooked is set (its end would have cleared it), also when
  // its owner cleared Ctrl so as not to touch it: the hook goes back once in every case.
  if (!Destroyed && FHooked) {
    Destroyed = true;
    Unhook();
  }
  if (FHooked) FHooked->RemoveFreeNotify(this);
  FHooked = nullptr;
  Ctrl = nullptr;
  PCtrl = false;
  SkinManager = nullptr;
}

void TacSpeedButtonHandler::Unhook() {
  const TWndMethod ours = MakeWndMethod<&TacSpeedButtonHandler::acWndProc>(this);
  if (FHooked && FHooked->WindowProc() == ours) FHooked->SetWindowProc(OldWndProc);
  if (SkinData && SkinData->WndProc == ours) SkinData->WndProc = OldWndProc;
}

void TacSpeedButtonHandler::FreeNotify(TComponent* Component) {
  if (Component != FHooked) return;
  FHooked = nullptr;
  // The control's procedure goes with it; the skin state (the creator's) must not keep ours.
  const TWndMethod ours = MakeWndMethod<&TacSpeedButtonHandler::acWndProc>(this);
  if (SkinData && SkinData->WndProc == ours) SkinData->WndProc = OldWndProc;
  Destroyed = true;
  Ctrl = nullptr;
  PCtrl = false;
}

TSpeedButton* TacSpeedButtonHandler::Button() const { return PCtrl ? dynamic_cast<TSpeedButton*>(Ctrl) : nullptr; }

LRESULT TacSpeedButtonHandler::CallPrevWndProc(UINT Msg, WPARAM WParam, LPARAM& LParam) {
  if (!OldWndProc) return 0;
  TMessage m{Msg, WParam, LParam, 0};
  const TWndMethod prev = OldWndProc;
  prev(m);
  LParam = m.LParam;
  return m.Result;
}

int TacSpeedButtonHandler::CurrentState() {
  if (TSpeedButton* b = Button(); b && (b->FState == bsDown || b->FState == bsExclusive)) return 2;
  return IsHot(SkinData);
}

std::wstring TacSpeedButtonHandler::Caption() { return Ctrl && PCtrl ? Ctrl->Caption() : std::wstring(); }

TSize TacSpeedButtonHandler::TextRectSize() {
  const std::wstring text = Caption();
  if (text.empty() || !SkinData || !SkinData->FCacheBmp) return TSize{0, 0};
  TCanvas& canvas = SkinData->FCacheBmp->Canvas();
  RECT r{0, 0, 255, 0};
  HDC dc = canvas.Handle();
  SelectObject(dc, canvas.Font.Handle());
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK);
  return TSize{r.right - r.left, r.bottom - r.top};
}

int TacSpeedButtonHandler::GlyphWidth() {
  TSpeedButton* b = Button();
  if (!b || b->Glyph().Empty()) return 0;
  return b->Glyph().Width() / std::max(1, b->NumGlyphs());
}

int TacSpeedButtonHandler::GlyphHeight() {
  TSpeedButton* b = Button();
  return b && !b->Glyph().Empty() ? b->Glyph().Height() : 0;
}

TRect TacSpeedButtonHandler::ImgRect() { return GlyphRect(true); }

TRect TacSpeedButtonHandler::GlyphRect(bool Shifted) {
  TSpeedButton* b = Button();
  if (!b) return TRect{};
  const int W = b->Width(), H = b->Height();
  const TSize t = TextRectSize();
  const int w = GlyphWidth(), h = GlyphHeight();
  const bool caption = !Caption().empty();
  const int M = b->Margin(), S = b->Spacing();
  const int s1 = w > 0 && caption ? S : 0, s2 = h > 0 && caption ? S : 0;
  const int x0 = (W - w - s1 - t.cx) / 2, y0 = (H - h - s2 - t.cy) / 2;
  const auto m = [M](int a) { return M != -1 ? M : a; };
  TPoint at{0, 0};
  switch (b->Layout()) {
    case blGlyphLeft: at = TPoint{m(x0), (H - h) / 2}; break;
    case blGlyphRight: at = TPoint{W - w - m(x0), (H - h) / 2}; break;
    case blGlyphTop: at = TPoint{(W - w) / 2, m(y0)}; break;
    case blGlyphBottom: at = TPoint{(W - w) / 2, H - h - m(y0)}; break;
  }
  if (Shifted && CurrentState() == 2 && SkinData &&
      ContentShiftsOnClick(SkinData->SkinIndex, SkinData->ReadCommonSkinData())) {
    at.X += 1;
    at.Y += 1;
  }
  return TRect{at.X, at.Y, at.X + w, at.Y + h};
}

TRect TacSpeedButtonHandler::CaptionRect() {
  TSpeedButton* b = Button();
  if (!b) return TRect{};
  const int W = b->Width(), H = b->Height();
  const TSize t = TextRectSize();
  const int M = b->Margin(), S = b->Spacing();
  const bool shift =
      CurrentState() == 2 && SkinData && ContentShiftsOnClick(SkinData->SkinIndex, SkinData->ReadCommonSkinData());
  TPoint at{0, 0};
  if (GlyphWidth() == 0) {
    if (M == -1) {
      at = TPoint{(W - t.cx) / 2, (H - t.cy) / 2};
    } else {
      switch (b->Layout()) {
        case blGlyphLeft: at = TPoint{M, (H - t.cy) / 2}; break;
        case blGlyphRight: at = TPoint{W - M - t.cx, (H - t.cy) / 2}; break;
        case blGlyphTop: at = TPoint{(W - t.cx) / 2, M}; break;
        case blGlyphBottom: at = TPoint{(W - t.cx) / 2, H - M - t.cy}; break;
      }
    }
  } else {
    // Placed from the glyph before its shift: caption and glyph then move by the same pixel
    // in every layout.
    const TRect r = GlyphRect(false);
    switch (b->Layout()) {
      case blGlyphLeft: at = TPoint{r.Right + S, (H - t.cy) / 2}; break;
      case blGlyphRight: at = TPoint{r.Left - S - t.cx, (H - t.cy) / 2}; break;
      case blGlyphTop: at = TPoint{(W - t.cx) / 2, r.Bottom + S}; break;
      case blGlyphBottom: at = TPoint{(W - t.cx) / 2, r.Top - S - t.cy}; break;
    }
  }
  if (shift) {
    at.X += 1;
    at.Y += 1;
  }
  return TRect{at.X, at.Y, at.X + t.cx, at.Y + t.cy};
}

void TacSpeedButtonHandler::DoDrawText(TRect& R, unsigned Flags) {
  if (!Ctrl || !PCtrl || !SkinData || !SkinData->FCacheBmp) return;
  unsigned flags = Ctrl->DrawTextBiDiModeFlags(Flags) & ~static_cast<unsigned>(DT_SINGLELINE);
  const std::wstring text = Caption();
  WriteControlText(&SkinData->FCacheBmp->Canvas(), text.c_str(), true, R, flags, SkinData,
                   CurrentState() != 0 ? 1 : 0, true);
}

void TacSpeedButtonHandler::DrawCaption() {
  if (Caption().empty() || !SkinData || !SkinData->FCacheBmp) return;
  TCanvas& canvas = SkinData->FCacheBmp->Canvas();
  canvas.Font.Assign(Ctrl->Font);
  canvas.Brush.Style = bsClear;
  TRect r = CaptionRect();
  DoDrawText(r, DT_EXPANDTABS | DT_WORDBREAK | DT_CENTER);
}

void TacSpeedButtonHandler::DrawGlyph() {
  TSpeedButton* b = Button();
  if (!b || !SkinData || !SkinData->FCacheBmp) return;
  TBitmap* cache = SkinData->FCacheBmp.get();
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  const int section = SkinData->SkinIndex;
  const bool validSection = sd && section >= 0 && section < static_cast<int>(sd->gd.size());
  const int state = CurrentState();
  if (IsUpDown) {
    TColor colour = clBlack;
    TControl* upDown = b->Parent();
    HWND upDownParent = upDown && upDown->Parent() && upDown->Parent()->HandleAllocated() ? upDown->Parent()->Handle()
                                                                                          : nullptr;
    if (SectionIsTranslucent(SkinManager, section, state, b) && upDownParent)
      colour = SectionFontColorOfWindow(upDownParent, section, SkinManager, 0);
    else if (validSection)
      colour = ColorToRGB(sd->gd[static_cast<std::size_t>(section)].StateProps(state).FontColor.Color);
    static const int stepPPI[4] = {96, 120, 144, 192};
    const int ppi = stepPPI[std::clamp(PPIToScaleIndex(static_cast<unsigned>(ControlPPI(b))), 0, 3)];
    const int style = SkinManager ? static_cast<int>(SkinManager->Options.ActualArrowStyle()) : 0;
    DrawScaledArrow(cache, colour, clNone, TRect{0, 0, b->Width(), b->Height()}, b->Top() < 4 ? 1 : 3, 0, 0,
                    sd ? sd->SmallArrowSize : 0, style, ppi);
    return;
  }
  if (b->Glyph().Empty()) return;
  TacGlyphDrawInfo info;
  info.Images = nullptr;
  info.Glyph = &b->Glyph();
  info.ImageIndex = 0;
  info.SkinIndex = section;
  info.SkinData = sd;
  info.DstBmp = cache;
  info.DstCanvas = &cache->Canvas();
  info.DstRect = ImgRect();
  info.NumGlyphs = b->NumGlyphs();
  info.Enabled = b->Enabled();
  info.Down = b->Down();
  info.CurrentState = state;
  info.PPI = sd ? sd->PPI : 96;
  if (state == 0 && SkinManager && SkinManager->Effects.DiscoloredGlyphs && SkinData->Skinned()) {
    info.Grayed = true;
    info.DisabledKind = dkGrayed;
    if (validSection) info.BlendColor = sd->gd[static_cast<std::size_t>(section)].StateProps(0).Color;
  }
  DrawListGlyph(info);
}

bool TacSpeedButtonHandler::PrepareCache() {
  TSpeedButton* b = Button();
  if (!b || !SkinData) return false;
  SkinData->InitCacheBitmap();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache) return false;
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(b->Width(), b->Height());
  cache->Canvas().Font.Assign(b->Font);
  // Background.
  TControl* asked = b->Parent();
  if (IsUpDown && asked && asked->Parent()) {
    asked = asked->Parent();
    const int speedButton = ConstSection(SkinData->ReadCommonSkinData(), L"SPEEDBUTTON");
    if (speedButton >= 0) SkinData->SkinIndex = speedButton;
  }
  TacBGInfo bg;
  bg.PleaseDraw = false;
  if (asked) RequestBackgroundFromControl(bg, asked, false);
  TCacheInfo ci;
  CacheInfoFromBackgroundInfo(bg, ci);
  if (bg.BgType == btCache && bg.Bmp && bg.Bmp->Width() == 0) return true;
  // Position in the background.
  TPoint pos{b->Left(), b->Top()};
  if (IsUpDown && b->Parent()) pos = TPoint{b->Left() + b->Parent()->Left(), b->Top() + b->Parent()->Top()};
  const int state = CurrentState();
  PaintControlSkin(SkinData, ci, state, TRect{0, 0, b->Width(), b->Height()}, pos, cache, state == 2);
  RepairCacheCorners(SkinData, state, AllCorners);
  DrawCaption();
  DrawGlyph();
  if (!b->Enabled()) {
    TCacheInfo parent;
    SkinData->ParentBackgroundInfo(parent);
    ApplyDisabledLook(cache, 1, b, parent, TPoint{b->Left(), b->Top()});
  }
  SkinData->BGChanged = false;
  return true;
}

void TacSpeedButtonHandler::AC_WMPaint(TMessage& Message) {
  auto dc = reinterpret_cast<HDC>(Message.WParam);
  TSpeedButton* b = Button();
  if (!dc || !b || !SkinData) return;
  const int saved = SaveDC(dc);
  if (PrepareCache()) {
    RepairCacheCorners(SkinData, CurrentState(), AllCorners);
    if (SkinData->FCacheBmp)
      BitBlt(dc, 0, 0, b->Width(), b->Height(), SkinData->FCacheBmp->Canvas().Handle(), 0, 0, SRCCOPY);
  }
  RestoreDC(dc, saved);
}

void TacSpeedButtonHandler::acWndProc(TMessage& Message) {
  const auto repaint = [this] {
    if (Ctrl && PCtrl && Ctrl->Visible()) Ctrl->Repaint();
  };
  switch (Message.Msg) {
    case WM_DESTROY:
      if (Destroyed) {
        Message.Result = CallPrevWndProc(Message.Msg, Message.WParam, Message.LParam);
        return;
      }
      Destroyed = true;
      if (Ctrl && PCtrl) {
        Unhook();
        if (FHooked) FHooked->RemoveFreeNotify(this);
        FHooked = nullptr;
        if (SkinData) SkinData->ClearLinks();
        Ctrl = nullptr;
        PCtrl = false;
        TMessage m = Message;
        if (OldWndProc) {
          const TWndMethod prev = OldWndProc;
          prev(m);
        }
        Message.Result = m.Result;
      }
      return;
    case WM_PAINT:
      AC_WMPaint(Message);
      Message.Result = 0;
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      if (SkinData) {
        SkinData->FMouseAbove = Message.Msg == CM_MOUSEENTER;
        SkinData->BGChanged = true;
      }
      Message.Result = CallPrevWndProc(Message.Msg, Message.WParam, Message.LParam);
      repaint();
      return;
    case SM_SKINCOMMAND: {
      const bool ours = SkinData && Message.LParam == reinterpret_cast<LPARAM>(SkinData->ReadSkinManager());
      switch (SkinCommandOf(Message.WParam)) {
        case SKCMD_NEW_SKIN:
          if (!ours) break;
          HandleCommonWindowMessage(Message, SkinData);
          return;
        case SKCMD_REMOVE_SKIN:
          if (!ours || !Ctrl || !PCtrl || (Ctrl->ComponentState() & csDestroying)) break;
          HandleCommonWindowMessage(Message, SkinData);
          // Given back before the repaint, so the button paints itself at once.
          Unhook();
          Destroyed = true;
          repaint();
          return;
        case SKCMD_REFRESH:
          if (!ours) break;
          HandleCommonWindowMessage(Message, SkinData);
          repaint();
          return;
        case SKCMD_END_UPDATE:
          if (SkinData && SkinData->RecheckUpdating(false)) {
            SkinData->FUpdating = false;
            return;
          }
          break;
        case SKCMD_IS_SKINNED:
          Message.Result = 1;
          return;
        case SKCMD_INVALIDATE:
          if (SkinData) {
            SkinData->FUpdating = false;
            SkinData->BGChanged = true;
          }
          repaint();
          return;
        case SKCMD_GET_APPLICATION:
          Message.Result = reinterpret_cast<LRESULT>(&Application());
          return;
        case SKCMD_FIND_OPAQUE_SECTION:
          if (SkinData) DispatchSkinCommand(Message, SkinData);
          return;
        default:
          break;
      }
      break;
    }
  }
  Message.Result = CallPrevWndProc(Message.Msg, Message.WParam, Message.LParam);
}
