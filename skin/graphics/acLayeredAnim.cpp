#include "skin/graphics/acLayeredAnim.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.h"

bool AnimationInProgress = false;

const int ShowCommands[3] = {SW_SHOWNORMAL, SW_SHOWMINNOACTIVE, SW_SHOWMAXIMIZED};

namespace {

// No colour key: the layered functions take it with ULW_ALPHA / LWA_ALPHA only.
constexpr COLORREF NoColorKey = 0x1FFFFFFF;

void SetStyleBits(HWND wnd, int index, LONG_PTR bits, bool on) {
  const LONG_PTR style = GetWindowLongPtrW(wnd, index);
  const LONG_PTR next = on ? (style | bits) : (style & ~bits);
  if (next != style) SetWindowLongPtrW(wnd, index, next);
}

}  // namespace

bool SetLayeredAlpha(HWND Wnd, bool Enable, std::uint8_t Alpha) {
  if (Enable && LayeredWindowsAvailable()) {
    const bool added = (GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED) == 0;
    if (added) SetStyleBits(Wnd, GWL_EXSTYLE, WS_EX_LAYERED, true);
    if (SetLayeredWindowAttributesEntry) SetLayeredWindowAttributesEntry(Wnd, NoColorKey, Alpha, LWA_ALPHA);
    return added;
  }
  SetStyleBits(Wnd, GWL_STYLE, WS_VISIBLE, false);
  SetStyleBits(Wnd, GWL_EXSTYLE, WS_EX_LAYERED, false);
  return false;
}

void ShowBitmapLayered(HWND Wnd, TBitmap* Bmp, std::uint8_t Alpha, const TPoint* Point) {
  // Without the layered entry there is nothing to push to: the caller's other path shows the
  // window (the skin change's cover window).
  if (!UpdateLayeredWindowEntry || !Wnd) return;
  std::unique_ptr<TBitmap> blank;
  if (!Bmp) {
    RECT r{};
    GetWindowRect(Wnd, &r);
    blank = NewBitmap32(r.right - r.left, r.bottom - r.top);
    Bmp = blank.get();
  }
  if ((GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED) == 0) {
    // Without composition a window turning layered would keep its last image on the desktop:
    // it is taken off the screen while the style changes and the desktop below repainted.
    const bool composed = IsDwmCompositionOn();
    const bool visible = (GetWindowLongPtrW(Wnd, GWL_STYLE) & WS_VISIBLE) != 0;
    if (!composed && visible) SetStyleBits(Wnd, GWL_STYLE, WS_VISIBLE, false);
    SetStyleBits(Wnd, GWL_EXSTYLE, WS_EX_LAYERED, true);
    if (!composed) {
      RECT r{};
      GetWindowRect(Wnd, &r);
      RedrawWindow(nullptr, &r, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      if (visible) SetStyleBits(Wnd, GWL_STYLE, WS_VISIBLE, true);
    }
  }
  SetStyleBits(Wnd, GWL_EXSTYLE, WS_EX_LAYERED, true);
  HDC screen = GetDC(nullptr);
  POINT pos{};
  if (Point) pos = POINT{Point->X, Point->Y};
  SIZE size{Bmp->Width(), Bmp->Height()};
  POINT src{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, Alpha, AC_SRC_ALPHA};
  HDC bmpDC = Bmp->Empty() ? nullptr : Bmp->Canvas().Handle();
  UpdateLayeredWindowEntry(Wnd, screen, Point ? &pos : nullptr, &size, bmpDC, &src, NoColorKey, &blend, ULW_ALPHA);
  ReleaseDC(nullptr, screen);
}

void ClearRectsInBitmap(const std::vector<TRect>& Rects, TBitmap* Bmp) {
  if (!Bmp) return;
  // FillRectArgb clips to the bitmap: corner rectangles come from skin masks and may reach
  // past a small window's edge.
  for (const TRect& r : Rects) FillRectArgb(Bmp, r, 0, 0);
}

// ---------------------------------------------------------------------------
// Frame geometry
// ---------------------------------------------------------------------------

int RoundHalfEven(double Value) {
  // The default floating-point rounding mode rounds ties to even.
  return static_cast<int>(std::nearbyint(Value));
}

TacShowFrames::TacShowFrames(int Width, int Height, int Frames, std::uint8_t Alpha, TacAnimType Mode, bool Dialog)
    : FWidth(Width), FHeight(Height), FFrames(Frames), FMaxAlpha(Alpha), FMode(Mode) {
  FStep = Frames > 0 ? FMaxAlpha / (Dialog ? Frames + 1 : Frames) : FMaxAlpha;
  FR = Width;
  FB = Height;
  if (Mode == atAero) {
    FL = Width / 32.0;
    FT = Height / 32.0;
    FR = Width - FL;
    FB = Height - FT;
    if (Frames > 0) {
      FDX = FL / Frames;
      FDY = FT / Frames;
    }
  } else if (Mode == atDropDown) {
    FB = 0;
    FDropStep = Height / 2.0;
  }
}

bool TacShowFrames::Next(TacShowFrame& Frame) {
  // Below one period there are no frames in between: the caller shows the final image.
  if (FFrames <= 0 || FEnded || FIndex > FFrames) return false;
  Frame.Index = FIndex++;
  FCurrent = std::min(FMaxAlpha, FCurrent + FStep);
  Frame.Current = FCurrent;
  Frame.Unscaled = false;
  switch (FMode) {
  case atFading:
    Frame.Dest = Rect(0, 0, FWidth, FHeight);
    Frame.Alpha = static_cast<std::uint8_t>(RoundHalfEven(FCurrent));
    break;
  case atAero:
    Frame.Dest = Rect(RoundHalfEven(FL), RoundHalfEven(FT), RoundHalfEven(FR), RoundHalfEven(FB));
    // Past the whole image (rounding of the growth): the image as it is.
    Frame.Unscaled = FL < 0 || FT < 0;
    if (Frame.Unscaled) Frame.Dest = Rect(0, 0, FWidth, FHeight);
    Frame.Alpha = static_cast<std::uint8_t>(RoundHalfEven(FCurrent));
    FL -= FDX;
    FT -= FDY;
    FR += FDX;
    FB += FDY;
    break;
  case atDropDown:
    Frame.Dest = Rect(0, 0, FWidth, RoundHalfEven(FB));
    Frame.Alpha = 255;
    FB = FHeight - FDropStep;
    FDropStep /= 2;
    if (FDropStep < 2) FEnded = true;
    break;
  }
  return true;
}

std::uint8_t OldBorderAlpha(std::uint8_t Alpha, double Current) {
  return static_cast<std::uint8_t>(RoundHalfEven(std::min(255.0, std::max(0.0, 3 * (Alpha - Current)))));
}

std::vector<std::uint8_t> CoverFadeWeights(int Frames) {
  std::vector<std::uint8_t> weights;
  if (Frames <= 0) return weights;
  const double step = 255.0 / Frames;
  for (double w = 255; w > 2; w = std::max(0.0, w - step)) weights.push_back(static_cast<std::uint8_t>(RoundHalfEven(w)));
  return weights;
}

void DrawShowFrame(TBitmap* Frame, TBitmap* Image, const TacShowFrame& F, TacAnimType Mode) {
  if (!Frame || !Image || Image->Empty()) return;
  HDC dst = Frame->Canvas().Handle();
  HDC src = Image->Canvas().Handle();
  const int w = Image->Width(), h = Image->Height();
  if (Mode == atFading) {
    // The image does not move: it is copied once.
    if (F.Index == 0) BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);
    return;
  }
  if (F.Unscaled) {
    BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);
    return;
  }
  if (F.Dest.Width() <= 0 || F.Dest.Height() <= 0) return;
  SetStretchBltMode(dst, COLORONCOLOR);
  StretchBlt(dst, F.Dest.Left, F.Dest.Top, F.Dest.Width(), F.Dest.Height(), src, 0, 0, w, h, SRCCOPY);
}
