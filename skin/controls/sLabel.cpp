#include "skin/controls/sLabel.h"

#include <algorithm>
#include <cmath>

#include <shellapi.h>

#include "platform/ui/Forms.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

// One flag for all labels: a font change that changes bounds may bring another.
bool FontChanging = false;

TColor BlendDisabled(TColor c, TColor with) {
  return static_cast<TColor>(BlendTwoColors(static_cast<std::uint32_t>(ColorToRGB(c)),
                                            static_cast<std::uint32_t>(ColorToRGB(with)), DisabledBlendWeight));
}

}  // namespace

// ---- TsCustomLabel ---------------------------------------------------------

TsCustomLabel::TsCustomLabel(TComponent* owner) : TCustomLabel(owner) {
  Transparent = true;
  FSkinIndex = -1;
}

TsSkinManager* TsCustomLabel::SkinManager() const { return FSkinManager ? FSkinManager : DefaultManager(); }

void TsCustomLabel::SetSkinManager(TsSkinManager* Value) {
  if (FSkinManager == Value) return;
  if (FSkinManager) FSkinManager->RemoveFreeNotification(this);
  FSkinManager = Value;
  if (FSkinManager) FSkinManager->FreeNotification(this);
  FSkinIndex = -1;
  Invalidate();
}

void TsCustomLabel::Notification(TComponent* component, TOperation operation) {
  TCustomLabel::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FSkinManager) FSkinManager = nullptr;
}

void TsCustomLabel::SetSkinSection(const std::wstring& value) {
  if (FSkinSection == value) return;
  FSkinSection = value;
  FSkinIndex = -1;
  Invalidate();
}

int TsCustomLabel::SkinIndex() {
  TsSkinManager* manager = SkinManager();
  if (!manager || !manager->IsActive() || FSkinSection.empty()) return -1;
  if (FSkinIndex < 0) FSkinIndex = manager->GetSkinIndex(FSkinSection);
  return FSkinIndex;
}

void TsCustomLabel::Loaded() {
  TCustomLabel::Loaded();
  if (TsSkinManager* manager = SkinManager()) manager->UpdateFontName(this);
}

TColor TsCustomLabel::CurrentTextColor() {
  TsSkinManager* manager = SkinManager();
  TColor c = manager && manager->IsActive() ? manager->GetGlobalFontColor() : Font.Color.Get();
  if (Enabled()) return c;
  // Without any manager a disabled label keeps the framework's grey.
  return manager ? BlendDisabled(c, manager->GetGlobalColor()) : clGrayText;
}

void TsCustomLabel::Paint(HDC dc) {
  if (Destroying()) return;
  TsSkinManager* manager = SkinManager();
  const int index = SkinIndex();
  if (index >= 0 && manager && manager->IsActive()) {
    TacBGInfo info;
    info.R = BoundsRect();
    RequestBackgroundFromControl(info, FParent, false);
    TCacheInfo ci;
    CacheInfoFromBackgroundInfo(info, ci);
    PaintSkinSectionOnDC(index, ci, 0, Rect(0, 0, Width(), Height()), Point(Left(), Top()), dc,
                         manager->CommonSkinData(96));
  }
  TCustomLabel::Paint(dc);
  FSkinIndex = -1;  // resolved again by the next paint
}

void TsCustomLabel::WndProc(TMessage& m) {
  TsSkinManager* manager = SkinManager();
  switch (m.Msg) {
    case CM_FONTCHANGED: {
      if ((ComponentState() & (csLoading | csDestroying)) || FontChanging) return;
      FontChanging = true;
      if (!manager || !(manager->ManagerState & (msFontChanging | msScaleChanging | msBroadcasting)))
        DefFontHeight = Font.Height;
      if (AutoSize()) {
        const TRect old = BoundsRect();
        SetBounds(Left(), Top(), MulDiv(Width(), 3, 2), Height());
        AdjustBounds();
        if (Alignment == taRightJustify) SetBounds(old.Right - Width(), Top(), Width(), Height());
      }
      FontChanging = false;
      Invalidate();
      return;  // not passed on
    }
    case CM_MOUSEENTER:
      if (OnMouseEnter) OnMouseEnter(this);
      TCustomLabel::WndProc(m);
      return;
    case CM_MOUSELEAVE:
      TCustomLabel::WndProc(m);
      if (OnMouseLeave) OnMouseLeave(this);
      return;
    case SM_SKINCOMMAND:
      switch (SkinCommandOf(m.WParam)) {
        case SKCMD_REMOVE_SKIN:
          if (Destroying()) return;
          if (FSkinManager && FSkinManager->Destroying()) FSkinManager = nullptr;
          if (FSavedParentFont) SetParentFont(true);
          FSkinIndex = -1;
          Invalidate();
          return;
        case SKCMD_REFRESH:
          if (Destroying() || Designing()) return;
          if (ParentFont()) FSavedParentFont = true;
          FSkinIndex = -1;
          Invalidate();
          return;
        case SKCMD_FONT_CHANGED:
          if (manager) manager->UpdateFontName(this);
          return;
        case SKCMD_FIND_OPAQUE_SECTION:
          if (manager && manager->Active() && FParent && m.LParam)
            m.Result = AskParentSection(FParent, *reinterpret_cast<TacSectionQuery*>(m.LParam));
          return;
        case SKCMD_PAINTS_OWN_BG:
          m.Result = manager && manager->IsActive() ? 1 : (Transparent ? 1 : 0);
          return;
        default:
          break;
      }
      break;
    default:
      break;
  }
  TCustomLabel::WndProc(m);
}

// ---- TsLabel ---------------------------------------------------------------

TColor TsLabel::CurrentTextColor() {
  TsSkinManager* manager = SkinManager();
  if (UseSkinColor && manager && manager->Active() && manager->IsActive())
    return SectionFontColorOfControl(this, SkinIndex(), manager, nullptr, 0);
  if (Enabled()) return Font.Color;
  return BlendDisabled(Font.Color, ControlBkColor(FParent));
}

// ---- TsHTMLLabel -----------------------------------------------------------

TsHTMLLabel::TsHTMLLabel(TComponent* owner) : TsLabel(owner) {}

std::wstring TsHTMLLabel::PlainCaption() const {
  std::wstring s = FCaption;
  for (;;) {
    const std::size_t open = s.find(L'<');
    if (open == std::wstring::npos || open + 1 == s.size()) break;
    const std::size_t close = s.find(L'>', open + 1);
    if (close == std::wstring::npos) break;
    s.erase(open, close - open + 1);
  }
  return s;
}

void TsHTMLLabel::DoClick(int LinkIndex) {
  if (LinkIndex < 0 || LinkIndex >= static_cast<int>(Links.size())) return;
  std::wstring link = Links[static_cast<std::size_t>(LinkIndex)].Target;
  bool defaultAction = true;
  if (OnLinkClick) OnLinkClick(this, link, defaultAction);
  if (link.empty() || !defaultAction) return;
  if (OpenLink) {
    OpenLink(link, static_cast<int>(ShowMode));
    return;
  }
  // Captions come from form definitions: any target the shell can open is opened.
  ShellExecuteW(Application().Handle(), L"open", link.c_str(), nullptr, nullptr, static_cast<int>(ShowMode));
}

void TsHTMLLabel::DoDrawText(TRect& R, UINT Flags) {
  if (!UseHTML || FCaption.empty()) {
    if (!FCaption.empty() || (Flags & DT_CALCRECT)) TsLabel::DoDrawText(R, Flags);
    return;
  }
  auto bmp = NewBitmap32(std::max(Width(), 1), std::max(Height(), 1));
  bmp->Canvas().Font.Assign(Font);
  bmp->Canvas().Font.Color = CurrentTextColor();
  bmp->Canvas().Brush.Style = bsClear;
  TsHtml html;
  html.SkinManager = SkinManager();
  if (Flags & DT_CALCRECT) {
    TRect area = R;
    if (AutoSize()) area.Right = area.Left + 0xFFFF;
    html.Init(bmp.get(), FCaption, PressedLink, HotLink, area);
    TacLinks measured;
    R = html.HTMLText(measured, true);
    return;
  }
  html.Alignment = Alignment;
  html.BidiMode = BiDiMode();
  html.Layout = Layout;
  HDC dc = PaintDC();
  if (dc) BitBlt(bmp->Canvas().Handle(), 0, 0, Width(), Height(), dc, 0, 0, SRCCOPY);
  html.Init(bmp.get(), FCaption, PressedLink, HotLink, R);
  html.HTMLText(Links, false);
  GdiFlush();
  if (dc) BitBlt(dc, 0, 0, Width(), Height(), bmp->Canvas().Handle(), 0, 0, SRCCOPY);
}

void TsHTMLLabel::ClearLinkStates() {
  if (HotLink < 0 && PressedLink < 0) return;
  HotLink = PressedLink = -1;
  Cursor = crDefault;
  Repaint();
}

void TsHTMLLabel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_MOUSEMOVE: {
      const TPoint pt = Point(static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam)));
      int under = -1;
      for (std::size_t i = 0; i < Links.size(); ++i)
        if (PtInRect(Links[i].R.AsRECT(), POINT{pt.X, pt.Y})) {
          under = static_cast<int>(i);
          break;
        }
      if (under < 0) {
        if (HotLink >= 0) {
          HotLink = -1;
          Cursor = crDefault;
          Repaint();
        }
      } else if (under != HotLink) {
        HotLink = under;
        Cursor = crHandPoint;
        Repaint();
      }
      break;
    }
    case WM_LBUTTONDOWN:
      if (HotLink >= 0) {
        PressedLink = HotLink;
        Repaint();
      }
      break;
    case WM_LBUTTONUP:
      if (!LinkClicking && PressedLink >= 0) {
        LinkClicking = true;
        // Only a release over a link runs the pressed one.
        if (HotLink >= 0) DoClick(PressedLink);
        PressedLink = -1;
        LinkClicking = false;
        Repaint();
      }
      break;
    case WM_MOUSELEAVE:
    case CM_MOUSELEAVE:
      ClearLinkStates();
      break;
    default:
      break;
  }
  TsLabel::WndProc(m);
}

// ---- TsEditLabel -----------------------------------------------------------

TsEditLabel::TsEditLabel(TComponent* AOwner, TsBoundLabel* BoundStructure) : TsHTMLLabel(nullptr), BoundLabel(BoundStructure) {
  (void)AOwner;
  if (BoundLabel && BoundLabel->FCommonData && BoundLabel->FCommonData->FSkinManager)
    FSkinManager = BoundLabel->FCommonData->FSkinManager;
}

TsEditLabel::~TsEditLabel() {
  if (!BoundLabel) return;
  if (BoundLabel->FActiveLabel == this) BoundLabel->FActiveLabel = nullptr;
  if (BoundLabel->FTheLabel == this) BoundLabel->FTheLabel = nullptr;
}

// ---- TsShadow and TsKind ---------------------------------------------------

TsShadow::TsShadow(TsLabelFX* owner) : ParentControl(owner) { UpdateRGB(); }

void TsShadow::UpdateRGB() {
  const TColor c = ColorToRGB(FColor);
  sr = c & 0xFF;
  sg = (c >> 8) & 0xFF;
  sb = (c >> 16) & 0xFF;
}

void TsShadow::SetIntProp(int Index, int Value) {
  int* field = Index == 0 ? &FBlurCount : Index == 1 ? &FDistance : nullptr;
  if (!field || *field == Value) return;
  *field = Value;
  ParentControl->UpdatePosition();
  ParentControl->Invalidate();
}

void TsShadow::SetColor(TColor value) {
  if (FColor == value) return;
  FColor = value;
  UpdateRGB();
  ParentControl->Invalidate();
}

void TsShadow::SetMode(TsShadowMode value) {
  if (FMode == value) return;
  FMode = value;
  UpdateRGB();
  ParentControl->UpdatePosition();
  ParentControl->Invalidate();
}

void TsShadow::SetAlphaValue(std::uint8_t value) {
  if (FAlphaValue == value) return;
  FAlphaValue = value;
  ParentControl->Invalidate();
}

void TsKind::SetKindType(TsKindType value) {
  if (FKindType == value) return;
  FKindType = value;
  FOwner->Invalidate();
}

void TsKind::SetColor(TColor value) {
  if (FColor == value) return;
  FColor = value;
  FOwner->Invalidate();
}

// ---- TsLabelFX -------------------------------------------------------------

TacTurnedBox TurnedBox(int cx, int cy, int Angle) {
  if (Angle == 0) return {cx, cy, 0, 0};
  const double a = Angle * 3.14159265358979323846 / 180.0, c = std::cos(a), s = std::sin(a);
  TacTurnedBox box{};
  box.B = static_cast<int>(std::nearbyint(cx * std::fabs(c) + cy * std::fabs(s)));
  box.A = static_cast<int>(std::nearbyint(cx * std::fabs(s) + cy * std::fabs(c)));
  box.Mx = static_cast<int>(std::nearbyint((cx - cx * c - cy * s) / 2)) + (box.B - cx) / 2;
  box.My = static_cast<int>(std::nearbyint((cy * (1 - c) + cx * s) / 2)) + (box.A - cy) / 2;
  return box;
}

TsLabelFX::TsLabelFX(TComponent* owner) : TsCustomLabel(owner) {
  FMask = std::make_unique<TBitmap>();
  FNeedInvalidate = true;
}

TsLabelFX::~TsLabelFX() = default;

void TsLabelFX::SetAngle(int value) {
  if (FAngle == value) return;
  FAngle = value;
  if (FAngle != 0) WordWrap = false;
  if (AutoSize())
    AdjustBounds();
  else
    Invalidate();
}

void TsLabelFX::Invalidate() {
  if (WordWrap && FAngle != 0) FAngle = 0;
  TsCustomLabel::Invalidate();
}

TColor TsLabelFX::CurrentTextColor() {
  TsSkinManager* manager = SkinManager();
  TColor c;
  if (manager && manager->IsActive() && Kind.KindType() == ktSkin)
    c = manager->GetGlobalFontColor();
  else
    c = Kind.KindType() == ktCustom ? Kind.Color() : clWindowText;
  if (Enabled()) return c;
  return manager ? BlendDisabled(c, manager->GetGlobalColor()) : clGrayText;
}

TColor TsLabelFX::CurrentFontColor() {
  switch (Kind.KindType()) {
    case ktStandard: return ColorToRGB(Color());
    case ktCustom: return ColorToRGB(Kind.Color());
    case ktSkin: break;
  }
  TsSkinManager* manager = SkinManager();
  if (!manager || !manager->IsActive()) return Kind.Color();
  const int index = SkinIndex();
  TacSkinData* sd = manager->CommonSkinData(96);
  if (Shadow.Mode() == smNone) return SectionFontColorOfControl(this, index, manager, nullptr, 0);
  if (sd && index >= 0 && index < static_cast<int>(sd->gd.size())) return sd->gd[index].Props[0].FontColor.Color;
  const int global = sd ? sd->GetSkinIndex(L"GLOBALINFO") : -1;
  if (global >= 0 && sd->gd[global].Props[0].FontColor.Left != -1) return sd->gd[global].Props[0].FontColor.Left;
  return Kind.Color();
}

TacShadowData TsLabelFX::CurrentShadowData() {
  TacShadowData d;
  switch (Shadow.Mode()) {
    case smNone: return d;
    case smSkin1: {
      TsSkinManager* manager = SkinManager();
      TacSkinData* sd = manager && manager->IsActive() ? manager->CommonSkinData(96) : nullptr;
      if (sd && sd->Shadow1Blur >= 0) {
        d.Color = manager->SkinCommonInfo.Shadow1Color;
        d.Blur = sd->Shadow1Blur;
        d.Offset = sd->Shadow1Offset;
        d.Alpha = Shadow.AlphaValue();
        return d;
      }
      [[fallthrough]];
    }
    case smCustom:
      d.Color = Shadow.Color();
      d.Blur = Shadow.BlurCount();
      d.Offset = Shadow.Distance();
      d.Alpha = Shadow.AlphaValue();
      return d;
  }
  return d;
}

int TsLabelFX::BlurMask(TBitmap* Mask, int Passes) {
  const int w = Mask->Width(), h = Mask->Height();
  const std::size_t need = static_cast<std::size_t>(w + 2) * (h + 2);
  if (FMaskBits.size() < need) FMaskBits.resize(need * 2);
  std::fill(FMaskBits.begin(), FMaskBits.begin() + static_cast<std::ptrdiff_t>(need), 0);
  FMaskWidth = w;
  const int stride = w + 2;
  std::uint8_t* bits = Mask->Bits();
  for (int pass = 0; pass < Passes && bits; ++pass) {
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * Mask->Stride();
      std::uint8_t* cells = &FMaskBits[static_cast<std::size_t>(y + 1) * stride + 1];
      for (int x = 0; x < w; ++x)
        if (row[x * 4]) cells[x] = 255;
    }
    for (int y = 1; y <= h; ++y) {
      std::uint8_t* c = &FMaskBits[static_cast<std::size_t>(y) * stride];
      for (int x = 1; x <= w; ++x) c[x] = static_cast<std::uint8_t>((c[x - stride] + c[x + stride] + c[x - 1] + c[x + 1]) >> 2);
    }
  }
  return stride;
}

void TsLabelFX::DrawTurned(HDC dc, const std::wstring& text, int x, int y, TColor color) {
  HGDIOBJ old = SelectRotatedFont(dc, Font, FAngle * 10);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(color)));
  ExtTextOutW(dc, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
  SelectObject(dc, old);
}

void TsLabelFX::DrawEmbossed(HDC dc, const std::wstring& text, const TRect& t, UINT flags, int mx, int my) {
  const TColor colours[2] = {clBtnHighlight, clBtnShadow};
  for (int i = 0; i < 2; ++i) {
    const int d = i == 0 ? 1 : 0;
    if (FAngle != 0) {
      DrawTurned(dc, text, t.Left + mx + d, t.Top + my + d, colours[i]);
    } else {
      HGDIOBJ old = SelectObject(dc, Font.Handle());
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(colours[i])));
      TRect r = OffsetRectXY(t, d, d);
      DrawTextLimited(dc, text, r, flags);
      SelectObject(dc, old);
    }
  }
}

void TsLabelFX::DoDrawText(TRect& R, UINT Flags) {
  HDC dc = PaintDC();
  TsSkinManager* manager = SkinManager();
  const bool skinned = SkinIndex() >= 0 && manager && manager->IsActive();
  if ((Flags & DT_CALCRECT) || !dc || (ComponentState() & csLoading)) return TsCustomLabel::DoDrawText(R, Flags);
  const std::wstring text = LabelText(0);
  UINT flags = DT_NOCLIP | (WordWrap ? DT_WORDBREAK : DT_SINGLELINE);
  if (!ShowAccelChar) flags |= DT_NOPREFIX;
  flags = DrawTextBiDiModeFlags(flags);
  const TacShadowData sd = CurrentShadowData();
  const bool shadowed = Shadow.Mode() != smNone || skinned;
  if (!shadowed && FAngle == 0) return TsCustomLabel::DoDrawText(R, Flags);
  const int lo = shadowed ? sd.Lo() : 0, hi = shadowed ? sd.Hi() : 0, off = shadowed ? sd.Offset : 0;
  TSize size{};
  MeasureTextSize(Font.Handle(), text, flags, WordWrap, R.Width(), size);
  const TacTurnedBox box = TurnedBox(size.cx, size.cy, FAngle);
  TAlignment align = Alignment;
  if (UseRightToLeftAlignment()) align = align == taLeftJustify ? taRightJustify : align == taRightJustify ? taLeftJustify : align;
  TRect t;
  t.Left = align == taLeftJustify    ? R.Left - lo
           : align == taRightJustify ? R.Right - box.B - hi
                                     : R.Left + (R.Width() - box.B - hi - lo) / 2;
  t.Top = Layout == tlTop      ? R.Top - lo
          : Layout == tlBottom ? R.Bottom - box.A - hi
                               : R.Top + (R.Height() - box.A - hi - lo) / 2;
  t.Right = t.Left + box.B;
  t.Bottom = t.Top + box.A;
  const TColor fontColor = CurrentFontColor();
  if (!Enabled()) {
    DrawEmbossed(dc, text, t, flags, box.Mx, box.My);
    return;
  }
  auto plain = [&](const TRect& where, TColor colour) {
    if (FAngle != 0) {
      DrawTurned(dc, text, where.Left + box.Mx, where.Top + box.My, colour);
      return;
    }
    HGDIOBJ old = SelectObject(dc, Font.Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(colour)));
    TRect r = where;
    DrawTextLimited(dc, text, r, flags);
    SelectObject(dc, old);
  };
  if (!shadowed || sd.Color == clNone || sd.Blur == 0) {
    plain(t, fontColor);
    return;
  }
  // The shadow: the text in white on black, blurred, mixed in the shadow colour over what
  // the canvas shows (a label that is not transparent has filled it with its colour).
  const int w = Width(), h = Height();
  if (w <= 0 || h <= 0) return;
  if (FMask->Width() != w || FMask->Height() != h || FMask->PixelFormat() != pf32bit) FMask = NewBitmap32(w, h);
  HDC mdc = FMask->Canvas().Handle();
  PatBlt(mdc, 0, 0, w, h, BLACKNESS);
  {
    const TRect moved = OffsetRectXY(t, off, off);
    HGDIOBJ old = nullptr;
    if (FAngle != 0) {
      old = SelectRotatedFont(mdc, Font, FAngle * 10);
      SetBkMode(mdc, TRANSPARENT);
      SetTextColor(mdc, RGB(255, 255, 255));
      ExtTextOutW(mdc, moved.Left + box.Mx, moved.Top + box.My, 0, nullptr, text.c_str(),
                  static_cast<UINT>(text.size()), nullptr);
    } else {
      old = SelectObject(mdc, Font.Handle());
      SetBkMode(mdc, TRANSPARENT);
      SetTextColor(mdc, RGB(255, 255, 255));
      TRect r = moved;
      DrawTextLimited(mdc, text, r, flags);
    }
    SelectObject(mdc, old);
  }
  GdiFlush();
  const int stride = BlurMask(FMask.get(), std::min(sd.Blur, MaxBlurPasses));
  Shadow.UpdateRGB();
  BitBlt(mdc, 0, 0, w, h, dc, 0, 0, SRCCOPY);
  GdiFlush();
  std::uint8_t* bits = FMask->Bits();
  const TColor shadow = ColorToRGB(sd.Color);
  const int sr = shadow & 0xFF, sg = (shadow >> 8) & 0xFF, sb = (shadow >> 16) & 0xFF;
  for (int y = 0; bits && y < h; ++y) {
    std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * FMask->Stride();
    const std::uint8_t* cells = &FMaskBits[static_cast<std::size_t>(y + 1) * stride + 1];
    for (int x = 0; x < w; ++x) {
      const int k = (cells[x] * sd.Alpha) >> 8;
      std::uint8_t* p = row + x * 4;
      p[0] = static_cast<std::uint8_t>((p[0] * (255 - k) + sb * k) >> 8);
      p[1] = static_cast<std::uint8_t>((p[1] * (255 - k) + sg * k) >> 8);
      p[2] = static_cast<std::uint8_t>((p[2] * (255 - k) + sr * k) >> 8);
    }
  }
  BitBlt(dc, 0, 0, w, h, mdc, 0, 0, SRCCOPY);
  const int index = SkinIndex();
  if (FAngle != 0 || index < 0) {
    plain(t, fontColor);
  } else {
    TCanvas canvas(dc);
    canvas.Font.Assign(Font);
    TRect r = t;
    WriteSkinText(&canvas, text.c_str(), true, r, flags, index, 0, manager);
  }
}

void TsLabelFX::AdjustBounds() {
  if (ComponentState() & (csLoading | csReading)) return;
  const TacShadowData sd = CurrentShadowData();
  const int lo = sd.Lo(), hi = sd.Hi();
  const int LT = Shadow.OffsetKeeper.LeftTop, RB = Shadow.OffsetKeeper.RightBottom;
  const int grow = (hi - lo) - (RB - LT);
  TAlignment align = Alignment;
  if (UseRightToLeftAlignment()) align = align == taLeftJustify ? taRightJustify : align == taRightJustify ? taLeftJustify : align;
  int left = Left(), top = Top(), width = Width(), height = Height();
  if (AutoSize()) {
    std::wstring text = FCaption;
    if (text.empty() || text == L"&") text += L" ";
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, Font.Handle());
    RECT r = {0, 0, 0x7FFFFFFF, 0};
    DrawTextW(screen, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (WordWrap ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    const TacTurnedBox box = TurnedBox(r.right - r.left, r.bottom - r.top, FAngle);
    const int nw = box.B + hi - lo, nh = box.A + hi - lo;
    if (align == taLeftJustify) {
      left += lo - LT;
    } else if (align == taRightJustify) {
      left = (PrevCtrlWidth ? PrevCtrlWidth : nw) + left - nw;
      PrevCtrlWidth = nw;
    } else {
      left -= grow / 2;
    }
    if (Layout == tlTop)
      top += lo - LT;
    else if (Layout == tlCenter)
      top -= grow / 2;
    else
      top += height - nh;  // a bottom-aligned label keeps its bottom edge
    width = nw;
    height = nh;
  } else {
    width += grow;
    height += grow;
    if (align == taCenter)
      left -= grow / 2;
    else
      left += lo - LT;
    if (Layout == tlCenter)
      top -= grow / 2;
    else
      top += lo - LT;
  }
  SetBounds(left, top, width, height);
}

void TsLabelFX::UpdatePosition() {
  if (ComponentState() & csLoading) return;
  if (TsSkinManager* manager = DefaultManager(); manager && (manager->ManagerState & (msScaleChanging | msAnimScaling)))
    return;
  const TacShadowData sd = CurrentShadowData();
  if (sd.Lo() == Shadow.OffsetKeeper.LeftTop && sd.Hi() == Shadow.OffsetKeeper.RightBottom) return;
  IntPosChanging = true;
  AdjustBounds();
  IntPosChanging = false;
  Shadow.OffsetKeeper = TacOffsetKeeper{sd.Lo(), sd.Hi()};
}

void TsLabelFX::BoundsChanged() {
  TsCustomLabel::BoundsChanged();
  if (IntPosChanging) return;
  const TacShadowData sd = CurrentShadowData();
  Shadow.OffsetKeeper = TacOffsetKeeper{sd.Lo(), sd.Hi()};
}

void TsLabelFX::WndProc(TMessage& m) {
  TsCustomLabel::WndProc(m);
  if (m.Msg == SM_SKINCOMMAND && !Destroying()) {
    const WORD command = SkinCommandOf(m.WParam);
    if (command == SKCMD_NEW_SKIN || command == SKCMD_REMOVE_SKIN) UpdatePosition();
  }
}
