// One frame of a form's minimize animation and one tick of its moving blend, for the
// progress window (450 x 120 client, its frame around it) and a 1280 x 800 form, handed to
// real windows (under Wine and Xvfb). One line per kind and size, the best time in ms:
//   Frame <kind> <width>x<height> <ms> <period ms>
// bench/run-formanimation.sh prints each against the period that paces it.
#include <windows.h>

#include <cstdio>
#include <functional>

#include "BenchTiming.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.Anim.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.h"

namespace {

double SecondsPerCall(const std::function<void()>& fn) { return BestSecondsPerCall(fn, 3, 0.25); }

void Report(const char* kind, int w, int h, double seconds, int period) {
  std::printf("Frame %s %dx%d %.3f %d\n", kind, w, h, seconds * 1e3, period);
  std::fflush(stdout);
}

HWND NewWindow(int w, int h) {
  static ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FormAnimationBench";
    return RegisterClassW(&wc);
  }();
  (void)atom;
  HWND wnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"FormAnimationBench", L"", WS_POPUP, 0, 0, w, h,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(wnd, SW_SHOWNOACTIVATE);
  return wnd;
}

}  // namespace

int wmain() {
  Application().Initialize();
  for (auto [w, h] : {std::pair{466, 159}, std::pair{1280, 800}}) {
    // Minimize frame: the saved image shrunk into the frame and pushed to the cover window.
    auto* cover = NewComponent<TacGlowForm>(nullptr);
    cover->SetBounds(0, 0, w, h);
    cover->Handle();
    {
      TacMinTimer timer(nullptr, false);
      timer.AnimForm = cover;
      timer.SavedImage = NewBitmap32(w, h);
      FillRectArgb(timer.SavedImage.get(), TRect{0, 0, w, h}, 0x336699, 255);
      timer.AlphaBmp = NewBitmap32(w, h);
      timer.RectFrom = TRect{0, 0, w, h};
      timer.StepCount = 13;
      timer.DeltaW = w / 26.0;
      timer.DeltaH = h / 26.0;
      timer.BlendStep = 1e-6;  // never ends while measured
      Report("minimize", w, h, SecondsPerCall([&] {
               // The first frame of the path: the largest picture.
               timer.CurLeft = 0;
               timer.CurTop = 0;
               timer.CurRight = w;
               timer.CurBottom = h;
               timer.CurrentAlpha = 200;
               timer.TimeHandler();
             }),
             6);
      timer.AnimForm = nullptr;
    }
    TComponent::Free(cover);
    // Move-blend tick without a border window: the form window's layered alpha.
    HWND wnd = NewWindow(w, h);
    {
      TacMoveTimer timer(nullptr, false);
      timer.FormHandle = wnd;
      timer.BlendValue = 170;
      timer.BlendStep = 1.02;
      Report("moveblend", w, h, SecondsPerCall([&] {
               timer.CurrentBlendValue = 200;
               timer.TimeHandler();
             }),
             12);
    }
    DestroyWindow(wnd);
  }
  return 0;
}
