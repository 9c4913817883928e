// One frame of each kind of the show animations and the skin-change transition: what a frame
// draws into its frame bitmap and hands to a real layered window (under Wine and Xvfb), for
// 800 x 600 and 1920 x 1080 images. One line per kind and size, the best time of a frame in
// milliseconds:
//   Frame <kind> <width>x<height> <ms>
// bench/run-anim.sh prints each against the 12 ms period that paces the frames.
#include <windows.h>

#include <cstdio>
#include <functional>

#include "BenchTiming.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.h"

namespace {
// Seconds per call: the best of three rounds of a quarter second.
double SecondsPerCall(const std::function<void()>& fn) { return BestSecondsPerCall(fn, 3, 0.25); }

HWND NewWindow(DWORD exStyle, int w, int h) {
  static ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"AnimBench";
    return RegisterClassW(&wc);
  }();
  (void)atom;
  HWND wnd = CreateWindowExW(exStyle | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"AnimBench", L"", WS_POPUP, 0, 0, w, h,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(wnd, SW_SHOWNOACTIVATE);
  return wnd;
}

// The first frame of the kind (the largest amount of drawing of its frames).
TacShowFrame FirstFrame(int w, int h, TacAnimType mode) {
  TacShowFrames frames(w, h, 8, 255, mode, false);
  TacShowFrame f;
  frames.Next(f);
  if (mode == atDropDown) frames.Next(f);  // frame 0 draws nothing: take the half-height one
  return f;
}

void Report(const char* kind, int w, int h, double seconds) {
  std::printf("Frame %s %dx%d %.3f\n", kind, w, h, seconds * 1e3);
  std::fflush(stdout);
}

}  // namespace

int wmain() {
  for (auto [w, h] : {std::pair{800, 600}, std::pair{1920, 1080}}) {
    auto image = NewBitmap32(w, h);
    auto old = NewBitmap32(w, h);
    auto frame = NewBitmap32(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        reinterpret_cast<std::uint32_t*>(image->Bits() + y * image->Stride())[x] =
            0xFF000000u | ((x * 255 / w) << 16) | ((y * 255 / h) << 8) | 0x40;
    FillRectArgb(old.get(), Rect(0, 0, w, h), 0x00804020, 255);
    HWND layered = NewWindow(WS_EX_LAYERED, w, h);
    HWND oldLayered = NewWindow(WS_EX_LAYERED, w, h);
    HWND plain = NewWindow(0, w, h);

    for (TacAnimType mode : {atFading, atAero, atDropDown}) {
      const TacShowFrame f = FirstFrame(w, h, mode);
      Report(mode == atFading ? "show-fade" : mode == atAero ? "show-zoom" : "show-dropdown", w, h, SecondsPerCall([&] {
               DrawShowFrame(frame.get(), image.get(), f, mode);
               ShowBitmapLayered(layered, frame.get(), f.Alpha);
             }));
    }
    // The transition with a border form: a zoomed frame of the new border and the old one.
    const TacShowFrame z = FirstFrame(w, h, atAero);
    Report("transition", w, h, SecondsPerCall([&] {
             DrawShowFrame(frame.get(), image.get(), z, atAero);
             ShowBitmapLayered(layered, frame.get(), z.Alpha);
             ShowBitmapLayered(oldLayered, old.get(), OldBorderAlpha(255, z.Current));
           }));
    // The cover path: a cross-fade of the capture and the new image into the window DC.
    HDC dc = GetWindowDC(plain);
    Report("transition-cover", w, h, SecondsPerCall([&] {
             MixTwoBitmaps(frame.get(), old.get(), image.get(), nullptr, 128);
             BitBlt(dc, 0, 0, w, h, frame->Canvas().Handle(), 0, 0, SRCCOPY);
             GdiFlush();
           }));
    ReleaseDC(plain, dc);
    DestroyWindow(layered);
    DestroyWindow(oldLayered);
    DestroyWindow(plain);
  }
  return 0;
}
