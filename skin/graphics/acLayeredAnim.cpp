#include "skin/graphics/acLayeredAnim.h"

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
