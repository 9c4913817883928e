// The hint windows of the hints component: measuring and composing a hint into a 32-bit
// image with per-pixel alpha, the layered display window it is seen in, and the show
// animation that fades and slides it into place.
#include <algorithm>

#include "platform/ui/Forms.h"
#include "skin/controls/acAlphaHints.h"
#include "skin/controls/sHtmlParse.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

// The fill a section is painted over to find its shape: a value no skin paints.
constexpr std::uint32_t ShapeKey = 0xFFFF00FE;
// The offset between the hint's frame and its text, before scaling.
constexpr int HintInnerOffset = 4;
// A template hint pointing from below is lifted clear of the cursor.
constexpr int BottomCornerLift = 16;
constexpr int ShowSteps = 20, ShowInterval = 12, UpdateSteps = 10;

const TsGeneralData* HintSection(int SkinIndex) {
  TsSkinManager* m = DefaultManager();
  if (!m || SkinIndex < 0 || !m->IsValidSkinIndex(SkinIndex)) return nullptr;
  return &m->gd()[static_cast<std::size_t>(SkinIndex)];
}

const TsMaskData* BorderMask(const TsGeneralData* Section) {
  TsSkinManager* m = DefaultManager();
  if (!m || !Section || Section->BorderIndex < 0 || !m->IsValidImgIndex(Section->BorderIndex)) return nullptr;
  return &m->ma()[static_cast<std::size_t>(Section->BorderIndex)];
}

// State 0 of the section is fully transparent and a border mask draws the hint.
bool TransparentWithMask(const TsGeneralData* Section) {
  return Section && Section->StateProps(0).Transparency >= 100 && BorderMask(Section);
}

int SectionTransparency(const TsGeneralData* Section) {
  return Section ? std::clamp(Section->StateProps(0).Transparency, 0, 100) : 0;
}

void BusyWait(DWORD Milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < Milliseconds) {
  }
}

TPoint TopLeftOf(const TRect& R) { return Point(R.Left, R.Top); }

std::uint8_t Opacity(double Value) { return static_cast<std::uint8_t>(std::clamp(RoundHalfEven(Value), 0, 255)); }

}  // namespace

// ---------------------------------------------------------------------------
// The display window
// ---------------------------------------------------------------------------

TacHintDisplayWindow::TacHintDisplayWindow(TComponent* AOwner, bool DropShadow)
    : TWinControl(AOwner), FDropShadow(DropShadow) {
  FVisible = false;
  Tag = SkipSkinningTag;
}

void TacHintDisplayWindow::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style = WS_POPUP;
  params.ExStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  params.WndParent = nullptr;
  params.X = FLeft;
  params.Y = FTop;
  params.Width = FWidth;
  params.Height = FHeight;
  // The drop shadow is a class style: windows with and without it take classes of their own.
  params.ClassStyle = FDropShadow ? (CS_DROPSHADOW | CS_SAVEBITS) : CS_SAVEBITS;
  params.WinClassName = FDropShadow ? L"TacHintDisplayWindowShadow" : L"TacHintDisplayWindow";
}

void TacHintDisplayWindow::ShowImage(TBitmap* Bmp, int Opacity, TPoint At) {
  HWND wnd = Handle();
  LastOpacity = std::clamp(Opacity, 0, 255);
  if (Bmp && !Bmp->Empty()) {
    POINT dst{At.X, At.Y}, src{0, 0};
    SIZE size{Bmp->Width(), Bmp->Height()};
    LastSize = TSize{size.cx, size.cy};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(LastOpacity), AC_SRC_ALPHA};
    HDC screen = GetDC(nullptr);
    UpdateLayeredWindow(wnd, screen, &dst, &size, Bmp->Canvas().Handle(), &src, 0, &blend, ULW_ALPHA);
    ReleaseDC(nullptr, screen);
  }
  SetWindowPos(wnd, HWND_TOPMOST, At.X, At.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  if (!IsWindowVisible(wnd)) ShowWindow(wnd, SW_SHOWNOACTIVATE);
  UpdateBoundsFromWindow();
}

// ---------------------------------------------------------------------------
// TacCustomHintWindow
// ---------------------------------------------------------------------------

TacCustomHintWindow::TacCustomHintWindow(TComponent* AOwner) : THintWindow(AOwner) { CurrentHintWindow = this; }

TacCustomHintWindow::~TacCustomHintWindow() {
  if (CurrentHintWindow == this) CurrentHintWindow = nullptr;
}

void TacCustomHintWindow::BeforeDestruction() {
  DoDestroy();
  THintWindow::BeforeDestruction();
}

void TacCustomHintWindow::CreateParams(TCreateParams& params) {
  THintWindow::CreateParams(params);
  params.Style &= ~static_cast<DWORD>(WS_BORDER);
}

TRect TacCustomHintWindow::FrameWidths() {
  const TsGeneralData* section = HintSection(SkinIndex);
  if (!section) return TRect{};
  TRect r{};
  if (const TsMaskData* mask = BorderMask(section)) r = Rect(mask->WL, mask->WT, mask->WR, mask->WB);
  if (ActiveAlphaHints && ActiveAlphaHints->ShadowCalculated) {
    r.Left += section->OuterOffset.Left;
    r.Top += section->OuterOffset.Top;
    r.Right += section->OuterOffset.Right;
    r.Bottom += section->OuterOffset.Bottom;
  }
  return r;
}

bool TacCustomHintWindow::DrawsOwnShadow() {
  if (SkinIndex < 0) return true;
  const TsGeneralData* section = HintSection(SkinIndex);
  return section && (TransparentWithMask(section) || section->OuterMode > 2);
}

TRect TacCustomHintWindow::CalcHintRect(int MaxWidth, const std::wstring& AHint) {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return TRect{};
  SkinIndex = a->GetSkinIndex();
  int w = 0, h = 0;
  if (a->TmpShowData.Width != 0) {
    w = a->TmpShowData.Width;
    h = a->TmpShowData.Height;
  } else if (a->HintFrame) {
    w = a->HintFrame->Width();
    h = a->HintFrame->Height();
  } else {
    if (!a->FCacheBmp) a->FCacheBmp = NewBitmap32(1, 1);
    TBitmap* bmp = a->FCacheBmp.get();
    if (SkinIndex >= 0) {
      bmp->Canvas().Font.Assign(Screen().HintFont());
      a->ScaledHintFont(bmp->Canvas().Font, false);
    }
    if (a->HTMLMode) {
      TsHtml html;
      html.Init(bmp, AHint, -1, -1, Rect(0, 0, MaxWidth, 0));
      TacLinks links;
      const TRect r = html.HTMLText(links, true);
      w = r.Width();
      h = r.Height();
    } else {
      RECT r{0, 0, MaxWidth, 0};
      UINT flags = DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK | DT_VCENTER;
      if (UseRightToLeftReading()) flags |= DT_RTLREADING;
      flags |= a->TextAlignment == taRightJustify ? DT_RIGHT : a->TextAlignment == taCenter ? DT_CENTER : DT_LEFT;
      HDC dc = bmp->Canvas().Handle();
      HGDIOBJ old = SelectObject(dc, bmp->Canvas().Font.Handle());
      DrawTextW(dc, AHint.c_str(), static_cast<int>(AHint.size()), &r, flags);
      SelectObject(dc, old);
      w = r.right;
      h = r.bottom;
    }
    if (a->OnMeasure) a->OnMeasure(AHint, a->CurrentHintInfo, w, h);
  }
  if (SkinIndex >= 0) {
    const TRect fw = FrameWidths();
    const int inner = a->ScaleHintValue(HintInnerOffset);
    w += fw.Left + fw.Right + 2 * inner;
    h += fw.Top + fw.Bottom + 2 * inner;
  }
  return Rect(0, 0, w, h);
}

TacMousePosition TacCustomHintWindow::GetArrowPos(TRect& R, TPoint P) {
  TsAlphaHints* a = ActiveAlphaHints;
  FMousePos = a ? a->DefaultMousePos : mpLeftTop;
  TRect shadow{};
  if (SkinIndex < 0) {
    if (CurrentHintImage) {
      const TacBordersSizes& s = CurrentHintImage->ShadowSizes;
      shadow = Rect(s.Left(), s.Top(), s.Right(), s.Bottom());
    }
  } else if (DrawsOwnShadow()) {
    const TRect fw = FrameWidths();
    shadow = Rect(std::max(fw.Left - 1, 0), std::max(fw.Top - 1, 0), std::max(fw.Right - 1, 0),
                  std::max(fw.Bottom - 1, 0));
  }
  const int w = std::max(R.Width() - shadow.Left - shadow.Right, 0);
  const int h = std::max(R.Height() - shadow.Top - shadow.Bottom, 0);
  int left = P.X, top = P.Y;
  if (FMousePos == mpLeftBottom || FMousePos == mpRightBottom) top -= h;
  if (FMousePos == mpRightTop || FMousePos == mpRightBottom) left -= w;
  const bool single = SkinIndex < 0 && CurrentHintTemplate && CurrentHintTemplate->SingleImage();
  MONITORINFO mi{sizeof mi};
  GetMonitorInfoW(MonitorFromPoint(POINT{left, top}, MONITOR_DEFAULTTONEAREST), &mi);
  const RECT& mr = mi.rcMonitor;
  bool moved = false;
  if (top + h > mr.bottom) {
    top = SkinIndex >= 0 ? mr.bottom - h : single ? P.Y + mr.bottom - (top + h) : P.Y - h;
    moved = true;
  }
  if (top < mr.top) {
    top = mr.top;
    moved = true;
  }
  if (left + w > mr.right) {
    left = SkinIndex >= 0 ? mr.right - w : single ? P.X + mr.right - (left + w) : P.X - w;
    moved = true;
  }
  if (left < mr.left) {
    left = mr.left;
    moved = true;
  }
  if (moved) {
    // The corner that points: a body mostly above the point points from its bottom, one
    // mostly left of it from its right.
    const bool bottom = top + h / 2 < P.Y, right = left + w / 2 < P.X;
    FMousePos = bottom ? (right ? mpRightBottom : mpLeftBottom) : (right ? mpRightTop : mpLeftTop);
  }
  R = Rect(left - shadow.Left, top - shadow.Top, left + w + shadow.Right, top + h + shadow.Bottom);
  return FMousePos;
}

void TacCustomHintWindow::ActivateHint(const TRect& Rect, const std::wstring& AHint) {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return;
  a->State = hsInit;
  if (a->CheckTimer) {
    TacThreadedTimer* t = a->CheckTimer;
    a->CheckTimer = nullptr;
    TComponent::Free(t);
  }
  a->HintShowing = true;
  // The display window of the last hint stays, so the new hint can slide and fade from it.
  if (a->AnimWindow) {
    RECT wr{};
    GetWindowRect(a->AnimWindow->Handle(), &wr);
    if (wr.right - wr.left == 0 || (wr.left == 0 && wr.top == 0)) {
      a->FreeDisplayWindow(a->AnimWindow);
    } else if (a->ShowTimer && !a->NewWindow && AlphaBmp) {
      a->OldAlphaBmp = CloneBitmap32(AlphaBmp.get());
    }
  }
  a->KillTimer();
  Text = AHint;
  SetCaption(AHint);
  const TPoint at = a->FHintLocation.X != 0 && a->FHintLocation.Y != 0 ? a->FHintLocation : TopLeftOf(Rect);
  const int w = Rect.Width(), h = Rect.Height();
  TRect r = Bounds(at.X, at.Y, w, h);
  if (SkinIndex < 0 && CurrentHintImage)
    r = Bounds(at.X - CurrentHintImage->ShadowSizes.Left(), at.Y - CurrentHintImage->ShadowSizes.Top(), w, h);
  // The window that takes the show and hide requests: layered and never painted, so unseen.
  HWND wnd = Handle();
  SetWindowLongPtrW(wnd, GWL_EXSTYLE, GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_NOACTIVATE);
  SetClassLongPtrW(wnd, GCL_STYLE, GetClassLongPtrW(wnd, GCL_STYLE) & ~static_cast<ULONG_PTR>(CS_DROPSHADOW));
  SetBounds(r.Left, r.Top, w, h);
  SetVisible(true);
  FMousePos = GetArrowPos(r, at);
  if (SkinIndex < 0 && !a->AutoAlignment() && (FMousePos == mpLeftBottom || FMousePos == mpRightBottom))
    r = Bounds(r.Left, r.Top - BottomCornerLift, w, h);
  SetBounds(r.Left, r.Top, w, h);
  a->NewBounds = r;
  a->FCacheBmp = NewBitmap32(w, h);
  const bool shadow = !DrawsOwnShadow();
  if (a->AnimWindow && a->AnimWindow->DropShadow() == shadow) {
    a->MakeDisplayWindow(a->AnimWindow, r, shadow);
  } else {
    a->FreeDisplayWindow(a->AnimWindow);
    a->MakeDisplayWindow(a->AnimWindow, r, shadow);
  }
  if (a->Animated) {
    a->ShowTimer = new TsShowTimer(a);
    a->ShowTimer->FreeNotification(a);
    a->ShowTimer->Init(this, w, h);
  } else {
    CreateAlphaBmp(w, h);
    a->AnimWindow->ShowImage(AlphaBmp.get(), 255, TopLeftOf(r));
    a->OldAlphaBmp = CloneBitmap32(AlphaBmp.get());
  }
  a->State = hsNormal;
  a->FHintPos.X = -1;
  a->HintTimeCtrl = a->TmpShowData.Control ? a->TmpShowData.Control : ControlUnderMouse();
  a->StartHideTimer(0);
}

void TacCustomHintWindow::MakeRegion(int Width, int Height) {
  TsSkinManager* m = DefaultManager();
  if (!m || SkinIndex < 0 || Width <= 0 || Height <= 0) return;
  auto fill = [&] {
    auto b = NewBitmap32(Width, Height);
    for (int y = 0; y < Height; ++y) FillDWords(static_cast<std::uint32_t*>(b->ScanLine(y)), Width, ShapeKey);
    return b;
  };
  auto shape = fill();
  auto key = fill();
  TCacheInfo ci;
  ci.Bmp = key.get();
  ci.X = 0;
  ci.Y = 0;
  ci.Ready = true;
  PaintSkinSection(SkinIndex, ci, 0, Rect(0, 0, Width, Height), Point(0, 0), shape.get(), m->CommonSkinData());
  // The border's see-through pixels show what lies behind the hint: the key, not the body.
  if (const TsMaskData* mask = BorderMask(HintSection(SkinIndex)))
    PaintMaskNineSliceLayered(shape.get(), Rect(0, 0, Width, Height), ci, *mask, 0);
  GdiFlush();
  MaskBmp = NewBitmap32(Width, Height);
  for (int y = 0; y < Height; ++y) {
    const auto* src = static_cast<const std::uint32_t*>(shape->ScanLine(y));
    auto* dst = static_cast<std::uint32_t*>(MaskBmp->ScanLine(y));
    for (int x = 0; x < Width; ++x) dst[x] = (src[x] & 0xFFFFFF) == (ShapeKey & 0xFFFFFF) ? 0x00FFFFFFu : 0xFF000000u;
  }
  rgn = RegionWithoutKeyColor(MaskBmp.get(), clWhite);
  if (rgn && HandleAllocated()) {
    SetWindowRgn(Handle(), rgn, TRUE);  // the window owns the region from here
    rgn = nullptr;
  }
}

void TacCustomHintWindow::PaintContent(TBitmap* Bmp, const TRect& Content) {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return;
  TsSkinManager* m = DefaultManager();
  const bool skinned = SkinIndex >= 0;
  TFont& font = Bmp->Canvas().Font;
  if (skinned) {
    font.Assign(Screen().HintFont());
    a->ScaledHintFont(font, false);
  } else {
    a->ScaledHintFont(font, true);
  }
  TColor color = skinned ? TColor(0) : (CurrentHintTemplate ? TColor(CurrentHintTemplate->Font.Color) : TColor(0));
  if (color < 0) color = 0;
  font.Color = color;
  const UINT align =
      a->TextAlignment == taRightJustify ? DT_RIGHT : a->TextAlignment == taCenter ? DT_CENTER : DT_LEFT;
  const UINT rtl = UseRightToLeftReading() ? DT_RTLREADING : 0;
  auto drawText = [&](const std::wstring& text, TRect r, UINT skinFlags, UINT plainFlags) {
    if (a->HTMLMode) {
      TsHtml html;
      html.AlphaChannel = true;
      html.Init(Bmp, text, -1, -1, r);
      TacLinks links;
      html.HTMLText(links, false);
    } else if (skinned) {
      DrawSkinTextToBitmap32(Bmp, text.c_str(), true, r, skinFlags | align | rtl, SkinIndex, 0, m);
    } else {
      DrawTextToBitmap32(Bmp, text.c_str(), true, r, plainFlags, color);
    }
  };
  const TacShowHintData& data = a->TmpShowData;
  if (data.Width != 0) {
    TRect r = Content;
    if (TBitmap* img = data.Image; img && !img->Empty()) {
      const int iw = img->Width(), ih = img->Height();
      TRect dst;
      const int gap = a->ScaleHintValue(HintInnerOffset);
      switch (data.ImageAlignment) {
        case 1:
          dst = Bounds(r.Left + (r.Width() - iw) / 2, r.Top, iw, ih);
          r.Top += ih + gap;
          break;
        case 2:
          dst = Bounds(r.Right - iw, r.Top + (r.Height() - ih) / 2, iw, ih);
          r.Right -= iw + gap;
          break;
        case 3:
          dst = Bounds(r.Left + (r.Width() - iw) / 2, r.Bottom - ih, iw, ih);
          r.Bottom -= ih + gap;
          break;
        default:
          dst = Bounds(r.Left, r.Top + (r.Height() - ih) / 2, iw, ih);
          r.Left += iw + gap;
          break;
      }
      if (img->PixelFormat() == pf32bit)
        DrawImageAlpha(dst, Rect(0, 0, iw, ih), Bmp, img, EmptyCacheInfo, false, clNone, 0, false);
      else
        BitBlt(Bmp->Canvas().Handle(), dst.Left, dst.Top, iw, ih, img->Canvas().Handle(), 0, 0, SRCCOPY);
    }
    RECT m{0, 0, std::max(r.Width(), 0), 0};
    HDC dc = Bmp->Canvas().Handle();
    HGDIOBJ old = SelectObject(dc, font.Handle());
    DrawTextW(dc, data.Caption.c_str(), static_cast<int>(data.Caption.size()), &m,
              DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK);
    SelectObject(dc, old);
    const TRect text = Bounds(r.Left + (r.Width() - m.right) / 2, r.Top + (r.Height() - m.bottom) / 2, m.right,
                              m.bottom);
    drawText(data.Caption, text, DT_NOCLIP | DT_WORDBREAK | DT_EXPANDTABS | DT_VCENTER,
             DT_NOPREFIX | DT_WORDBREAK | DT_VCENTER);
    return;
  }
  bool defaultDraw = true;
  if (a->OnPaint) a->OnPaint(Text, a->CurrentHintInfo, Content, Bmp, defaultDraw);
  if (!defaultDraw) return;
  if (TFrame* frame = a->HintFrame) {
    // The frame sits in the hint window at the content's place; its controls are painted
    // into the image and made opaque there.
    if (frame->Parent() != this) frame->SetParent(this);
    frame->SetBounds(Content.Left, Content.Top, frame->Width(), frame->Height());
    frame->Font.Color = skinned && m ? m->gd()[static_cast<std::size_t>(SkinIndex)].StateProps(0).FontColor.Color : color;
    HDC dc = Bmp->Canvas().Handle();
    for (TControl* c : frame->Controls()) {
      auto* child = dynamic_cast<TWinControl*>(c);
      if (!child || !child->Visible()) continue;
      const TRect at = Bounds(Content.Left + child->Left(), Content.Top + child->Top(), child->Width(), child->Height());
      child->PaintTo(dc, at.Left, at.Top);
      GdiFlush();
      const TRect clip = Rect(std::max(at.Left, 0), std::max(at.Top, 0), std::min(at.Right, Bmp->Width()),
                              std::min(at.Bottom, Bmp->Height()));
      for (int y = clip.Top; y < clip.Bottom; ++y) {
        auto* row = static_cast<std::uint32_t*>(Bmp->ScanLine(y));
        for (int x = clip.Left; x < clip.Right; ++x) row[x] |= 0xFF000000u;
      }
    }
    return;
  }
  TRect r = Content;
  r.Left -= 1;
  r.Right -= 1;
  drawText(Text, r, DT_NOCLIP | DT_WORDBREAK | DT_EXPANDTABS, DT_NOPREFIX | DT_WORDBREAK);
}

void TacCustomHintWindow::CreateAlphaBmp(int Width, int Height) {
  TsAlphaHints* a = ActiveAlphaHints;
  TsSkinManager* m = DefaultManager();
  const TsGeneralData* section = HintSection(SkinIndex);
  if (!a || !m || !section || Width <= 0 || Height <= 0) {
    AlphaBmp = NewBitmap32(std::max(Width, 1), std::max(Height, 1));
    return;
  }
  const TsMaskData* mask = BorderMask(section);
  AlphaUsed = mask && (mask->DrawMode & 0x10);
  const bool transparent = TransparentWithMask(section);
  const bool outer = a->ShadowCalculated;
  if (HandleAllocated()) SetWindowRgn(Handle(), nullptr, FALSE);
  if (!transparent && !outer) MakeRegion(Width, Height);
  BodyBmp = NewBitmap32(Width, Height);
  TBitmap* body = BodyBmp.get();
  const TRect fw = FrameWidths();
  const int inner = a->ScaleHintValue(HintInnerOffset);
  TRect content = Rect(fw.Left + inner, fw.Top + inner, Width - fw.Right - inner, Height - fw.Bottom - inner);
  TRect bodyRect = Rect(0, 0, Width, Height);
  if (outer) {
    for (int y = 0; y < Height; ++y) FillDWords(static_cast<std::uint32_t*>(body->ScanLine(y)), Width, 0);
    const TRect& off = section->OuterOffset;
    if (section->OuterMask >= 0 && m->IsValidImgIndex(section->OuterMask))
      PaintMaskNineSliceAlpha(body, bodyRect, EmptyCacheInfo, m->ma()[static_cast<std::size_t>(section->OuterMask)], 0,
                              off, static_cast<std::uint8_t>(std::clamp(section->OuterOpacity, 0, 255)));
    // The body itself lies inside the outer offsets, kept inside the window.
    bodyRect = Rect(std::clamp(off.Left, 0, Width), std::clamp(off.Top, 0, Height),
                    std::clamp(Width - off.Right, 0, Width), std::clamp(Height - off.Bottom, 0, Height));
  }
  if (transparent) {
    if (!outer)
      for (int y = 0; y < Height; ++y) FillDWords(static_cast<std::uint32_t*>(body->ScanLine(y)), Width, 0);
    PaintMaskNineSliceLayered(body, bodyRect, EmptyCacheInfo, *mask, 0);
    PaintContent(body, content);
    GdiFlush();
    PremultiplyBitmap(body);
    AlphaBmp = CloneBitmap32(body);
    return;
  }
  if (!bodyRect.IsEmpty()) {
    auto part = NewBitmap32(bodyRect.Width(), bodyRect.Height());
    // The section's transparency is the window's opacity: the body mixes with its own colour.
    TCacheInfo ci;
    ci.FillColor = section->StateProps(0).Color;
    PaintSkinSection(SkinIndex, ci, 0, Rect(0, 0, part->Width(), part->Height()), Point(0, 0), part.get(),
                     m->CommonSkinData());
    GdiFlush();
    for (int y = 0; y < part->Height(); ++y) {
      const auto* src = static_cast<const std::uint32_t*>(part->ScanLine(y));
      auto* dst = static_cast<std::uint32_t*>(body->ScanLine(bodyRect.Top + y)) + bodyRect.Left;
      for (int x = 0; x < part->Width(); ++x) dst[x] = src[x] | 0xFF000000u;
    }
  }
  PaintContent(body, content);
  GdiFlush();
  if (outer) {
    PremultiplyBitmap(body);
    AlphaBmp = CloneBitmap32(body);
    return;
  }
  // Inside the section's shape the body opaque (key-colour pixels clear), outside nothing.
  AlphaBmp = NewBitmap32(Width, Height);
  for (int y = 0; y < Height; ++y) {
    const auto* src = static_cast<const std::uint32_t*>(body->ScanLine(y));
    const auto* shape = MaskBmp ? static_cast<const std::uint32_t*>(MaskBmp->ScanLine(y)) : nullptr;
    auto* dst = static_cast<std::uint32_t*>(AlphaBmp->ScanLine(y));
    for (int x = 0; x < Width; ++x) {
      const bool inside = !shape || (shape[x] & 0xFFFFFF) != 0xFFFFFF;
      const bool key = (src[x] & 0xFFFFFF) == 0xFF00FF;
      dst[x] = inside && !key ? (src[x] | 0xFF000000u) : 0u;
    }
  }
}

void TacCustomHintWindow::UpdateWnd(int Width, int Height) {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return;
  if (Width == 0 || Height == 0) {
    Width = this->Width();
    Height = this->Height();
  }
  CreateAlphaBmp(Width, Height);
  const bool showing = a->HintShowing;
  const TRect target = a->NewBounds.IsEmpty() ? Bounds(Left(), Top(), Width, Height) : a->NewBounds;
  if (!a->AnimWindow) a->MakeDisplayWindow(a->AnimWindow, target, !DrawsOwnShadow());
  TacHintDisplayWindow* wnd = a->AnimWindow;
  if (!showing) wnd->ShowImage(AlphaBmp.get(), 0, TopLeftOf(target));
  if (a->Animated && !showing) {
    RECT from{};
    GetWindowRect(wnd->Handle(), &from);
    double x = from.left, y = from.top;
    const double dx = (target.Left - x) / UpdateSteps, dy = (target.Top - y) / UpdateSteps;
    for (int i = 0; i < UpdateSteps; ++i) {
      x += dx;
      y += dy;
      wnd->ShowImage(AlphaBmp.get(), SkinIndex >= 0 ? 0 : Opacity(255.0 * (i + 1) / UpdateSteps),
                     Point(RoundHalfEven(x), RoundHalfEven(y)));
      // The steps are paced by a busy wait: the hint must not let other messages in between.
      BusyWait(ShowInterval);
    }
    const int final = 255 - (SkinIndex >= 0 ? MulDiv(SectionTransparency(HintSection(SkinIndex)), 255, 100) : 0);
    wnd->ShowImage(AlphaBmp.get(), final, TopLeftOf(target));
  } else {
    wnd->ShowImage(AlphaBmp.get(), 255, TopLeftOf(target));
  }
  a->HintShowing = true;
  a->OldAlphaBmp = CloneBitmap32(AlphaBmp.get());
}

void TacCustomHintWindow::OnCloseHint() {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return;
  if (a->ShowTimer) {
    a->KillTimer();
    a->ReleaseFrame();
  }
  if (CurrentHintWindow == this) CurrentHintWindow = nullptr;
  if (a->OnHideHint) a->OnHideHint(a);
  if (!a->Destroying()) a->StartCheckTimer();
}

void TacCustomHintWindow::DoDestroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  OnCloseHint();
  if (TsAlphaHints* a = ActiveAlphaHints) {
    a->ReleaseFrame();
    // The last image goes on to the component, so the next hint can fade from it.
    if (AlphaBmp) a->OldAlphaBmp = std::move(AlphaBmp);
    if (a->HintWindow == this) {
      a->HintWindow = nullptr;
      a->HintWindowHandle = nullptr;
    }
  }
  AlphaBmp.reset();
  MaskBmp.reset();
  BodyBmp.reset();
  if (rgn) {
    DeleteObject(rgn);
    rgn = nullptr;
  }
}

void TacCustomHintWindow::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case WM_NCPAINT:
      if (ActiveAlphaHints) {
        message.Result = 1;
        return;
      }
      break;
    case SM_SKINCOMMAND:
      if (SkinCommandOf(message.WParam) == SKCMD_IS_SKINNED) {
        message.Result = 1;
        return;
      }
      if (SkinCommandOf(message.WParam) == SKCMD_GET_BG_INFO && message.LParam) {
        auto* info = reinterpret_cast<TacBGInfo*>(message.LParam);
        if (BodyBmp) {
          info->BgType = btCache;
          info->Bmp = BodyBmp.get();
          info->Offset = Point(0, 0);
        } else {
          info->BgType = btFill;
          info->Color = ColorToRGB(Color());
        }
        message.Result = 1;
        return;
      }
      break;
    case WM_DESTROY:
      DoDestroy();
      break;
  }
  THintWindow::WndProc(message);
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a || FDestroyed) return;
  switch (message.Msg) {
    case WM_MOVE:
    case WM_SIZE:
      if (a->AnimWindow && a->State != hsInit && HandleAllocated()) {
        RECT r{};
        GetWindowRect(Handle(), &r);
        SetWindowPos(a->AnimWindow->Handle(), nullptr, r.left, r.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        a->NewBounds = Bounds(r.left, r.top, a->NewBounds.Width(), a->NewBounds.Height());
      }
      break;
    case WM_SHOWWINDOW:
      if (message.WParam == 0)
        OnCloseHint();
      else
        CurrentHintWindow = this;
      break;
  }
}

// ---------------------------------------------------------------------------
// TacPngHintWindow
// ---------------------------------------------------------------------------

TRect TacPngHintWindow::CalcHintRect(int MaxWidth, const std::wstring& AHint) {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a) return TacCustomHintWindow::CalcHintRect(MaxWidth, AHint);
  SkinIndex = a->GetSkinIndex();
  if (SkinIndex >= 0) {
    TRect r = TacCustomHintWindow::CalcHintRect(MaxWidth, AHint);
    if (a->TmpShowData.Width != 0 && a->TmpShowData.Control) {
      a->FHintLocation = a->TmpShowData.Position;
      a->HintTimeCtrl = a->TmpShowData.Control;
      a->CheckAutoHintPos();
    }
    return r;
  }
  a->InitTemplate();
  if (!a->FCacheBmp) a->FCacheBmp = NewBitmap32(1, 1);
  a->ScaledHintFont(a->FCacheBmp->Canvas().Font, true);
  const TRect measured = TacCustomHintWindow::CalcHintRect(MaxWidth, AHint);
  const auto withMargins = [&](TacHintImage* image) {
    const TacBordersSizes& c = image->ClientMargins;
    return Rect(0, 0, measured.Width() + c.Left() + c.Right(), measured.Height() + c.Top() + c.Bottom());
  };
  TPoint p;
  const TacShowHintData& data = a->TmpShowData;
  if (data.Width != 0 && data.Control) {
    a->HintTimeCtrl = data.Control;
    a->CheckAutoHintPos();
    p = a->FHintLocation;
  } else if (data.Width != 0) {
    p = data.Position;
  } else if (a->FHintLocation.X != 0 && a->FHintLocation.Y != 0) {
    p = a->FHintLocation;
  } else if (a->FHintPos.X >= 0) {
    p = a->FHintPos;
  } else {
    POINT c{};
    GetCursorPos(&c);
    p = Point(c.x, c.y);
  }
  TRect r = withMargins(CurrentHintImage);
  r = Bounds(p.X, p.Y, r.Width(), r.Height());
  FMousePos = GetArrowPos(r, p);
  if (FMousePos != mpLeftTop && CurrentHintTemplate) {
    const int index = FMousePos == mpLeftBottom ? hiLeftBottom : FMousePos == mpRightTop ? hiRightTop : hiRightBottom;
    TacHintImage& image = CurrentHintTemplate->Images(index);
    image.LoadFromData();
    if (image.Image()) {
      CurrentHintImage = &image;
      a->CheckAutoHintPos();
    }
  }
  return withMargins(CurrentHintImage);
}

void TacPngHintWindow::CreateAlphaBmp(int Width, int Height) {
  if (SkinIndex >= 0) {
    TacCustomHintWindow::CreateAlphaBmp(Width, Height);
    return;
  }
  if (HandleAllocated()) SetWindowRgn(Handle(), nullptr, FALSE);
  if (!CurrentHintImage) {
    if (ActiveAlphaHints) ActiveAlphaHints->InitTemplate();
  }
  TacHintImage* image = CurrentHintImage;
  if (!image) {
    AlphaBmp = NewBitmap32(std::max(Width, 1), std::max(Height, 1));
    return;
  }
  image->LoadFromData();
  AlphaBmp = ComposeTemplateHint(image->Data(), image->Image(), Width, Height,
                                 [this](TBitmap* Bmp, const TRect& Client) { PaintContent(Bmp, Client); });
}

void TacPngHintWindow::DoDestroy() {
  if (FDestroyed) return;
  // The image goes with the window here; nothing freed is handed on to the component.
  AlphaBmp.reset();
  if (TsAlphaHints* a = ActiveAlphaHints) a->FreeDisplayWindow(a->AnimWindow);
  TacCustomHintWindow::DoDestroy();
}

// ---------------------------------------------------------------------------
// TsShowTimer
// ---------------------------------------------------------------------------

TsShowTimer::TsShowTimer(TComponent* AOwner) : TacThreadedTimer(AOwner, false) {
  WriteInterval(ShowInterval);
  WriteOnTimer([this] { TimeHandler(); });
}

void TsShowTimer::Init(TacCustomHintWindow* HintWindow, int Width, int Height) {
  TsAlphaHints* a = ActiveAlphaHints;
  CurrentHintForm = HintWindow;
  HintWidth = Width;
  HintHeight = Height;
  Step = 0;
  StepCount = ShowSteps;
  const TsGeneralData* section = HintSection(HintWindow->SkinIndex);
  const int t = SectionTransparency(section);
  Transparency = section && t < 100 ? MulDiv(t, 255, 100) : 0;
  HintWindow->CreateAlphaBmp(Width, Height);
  StepB = (255.0 - Transparency) / StepCount;
  if (a && a->AnimWindow) {
    RECT r{};
    GetWindowRect(a->AnimWindow->Handle(), &r);
    SrcRect = Rect(r.left, r.top, r.right, r.bottom);
    const TacMousePosition corner = HintWindow->FMousePos;
    dx = (a->NewBounds.Left - SrcRect.Left) / 5.0;
    dy = (a->NewBounds.Top - SrcRect.Top) / 5.0;
    if (corner == mpRightTop || corner == mpRightBottom) dx = -dx;
    if (corner == mpLeftBottom || corner == mpRightBottom) dy = -dy;
    x = SrcRect.Left;
    y = SrcRect.Top;
    // A new hint window starts where the hint will be: nothing to slide.
    if (SrcRect.Left == a->NewBounds.Left && SrcRect.Top == a->NewBounds.Top) dx = dy = 0;
    a->SaveHintPause();
  }
  WriteEnabled(true);
}

void TsShowTimer::TimeHandler() {
  TsAlphaHints* a = ActiveAlphaHints;
  if (Destroyed || !a || !a->AnimWindow || !a->AnimWindow->HandleAllocated() || !CurrentHintForm ||
      !CurrentHintForm->AlphaBmp)
    return;
  const std::shared_ptr<bool> alive = Alive();
  if (Step < StepCount && a->Blend <= 255 - Transparency - StepB) {
    ++Step;
    a->Blend += StepB;
  } else {
    Step = StepCount;
  }
  TBitmap* image = CurrentHintForm->AlphaBmp.get();
  if (dx == 0 && dy == 0) {
    a->AnimWindow->ShowImage(image, Opacity(a->Blend), TopLeftOf(a->NewBounds));
  } else {
    x += dx;
    y += dy;
    dx = (a->NewBounds.Left - x) / 5;
    dy = (a->NewBounds.Top - y) / 5;
    const bool shadow = !CurrentHintForm->DrawsOwnShadow();
    if (!a->NewWindow || a->NewWindow->DropShadow() != shadow) a->MakeDisplayWindow(a->NewWindow, SrcRect, shadow);
    const TPoint at = Point(RoundHalfEven(x), RoundHalfEven(y));
    std::unique_ptr<TBitmap> empty;
    TBitmap* old = a->OldAlphaBmp.get();
    if (!old) {
      empty = NewBitmap32(std::max(HintWidth, 1), std::max(HintHeight, 1));
      old = empty.get();
    }
    a->AnimWindow->ShowImage(old, 255 - Opacity(a->Blend), at);
    a->NewWindow->ShowImage(image, Opacity(a->Blend), at);
    SetWindowPos(a->NewWindow->Handle(), a->AnimWindow->Handle(), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (*alive && Step >= StepCount) Finish();
}

void TsShowTimer::Finish() {
  TsAlphaHints* a = ActiveAlphaHints;
  WriteEnabled(false);
  if (!a || !CurrentHintForm) return;
  if (a->NewWindow) {
    a->FreeDisplayWindow(a->AnimWindow);
    a->AnimWindow = a->NewWindow;
    a->NewWindow = nullptr;
  }
  if (a->AnimWindow) a->AnimWindow->ShowImage(CurrentHintForm->AlphaBmp.get(), 255 - Transparency, TopLeftOf(a->NewBounds));
  a->Blend = 0;
  a->OldAlphaBmp = CloneBitmap32(CurrentHintForm->AlphaBmp.get());
}
