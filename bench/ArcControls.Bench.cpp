// One frame of the arc preloader (line and toothed-wheel mask) and one paint of the arc
// gauge at 100 x 80, in microseconds per frame (median and 95th percentile), beside the
// preloader's 12 ms animation step: a frame under 1 ms keeps the animation under a tenth of
// a core. Usage: bench_arccontrols [frames]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "BenchTiming.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acArcControls.h"

namespace {

template <class Frame>
void Measure(const char* name, int count, Frame frame) {
  frame();  // the first one makes the cache, fonts and resampled masks
  std::vector<double> us;
  for (int i = 0; i < count; ++i) {
    const double start = NowMs() * 1000.0;
    frame();
    GdiFlush();
    us.push_back(NowMs() * 1000.0 - start);
  }
  std::sort(us.begin(), us.end());
  std::printf("%-22s median %8.1f us   p95 %8.1f us   (%.1f%% of a 12 ms step)\n", name, us[us.size() / 2],
              us[us.size() * 95 / 100], us[us.size() / 2] / 120.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? std::max(10, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 500;
  Application().Initialize();
  auto* form = CreateComponent<TForm>(&Application());
  form->SetBorderStyle(bsNone);
  form->SetClientSize(240, 100);
  auto* gauge = NewComponent<TsArcGauge>(form);
  gauge->SetBounds(0, 0, 100, 80);
  gauge->SetLineWidth(10);
  gauge->SetParent(form);
  auto* spinner = NewComponent<TsArcPreloader>(form);
  spinner->SetBounds(120, 0, 100, 80);
  spinner->SetLineWidth(10);
  spinner->SetAnimated(false);
  spinner->SetParent(form);
  form->Handle();
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP target = CreateCompatibleBitmap(screen, 100, 80);
  HGDIOBJ old = SelectObject(dc, target);

  std::printf("Arc controls at 100 x 80, %d frames each\n", count);
  int percent = 0;
  Measure("gauge paint", count, [&] {
    gauge->SetProgress(percent = (percent + 7) % 101);
    gauge->PaintCached(dc);
  });
  spinner->SetImageType(itLine);
  Measure("preloader itLine", count, [&] {
    spinner->DoProgress(L"", 4);
    spinner->PaintCached(dc);
  });
  spinner->SetImageType(itMask1);
  Measure("preloader itMask1", count, [&] {
    spinner->DoProgress(L"", 4);
    spinner->PaintCached(dc);
  });

  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  TComponent::Free(form);
  return 0;
}
