// The progress window (gauge, spinner, labels and panel) rendered into a 32-bit bitmap by
// PaintControlToBitmap, as the show animation does before its first frame, in ms per
// rendering beside the animation's 12 ms frame. Usage: bench_paintcontrols [renderings]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "BenchTiming.h"
#include "app/Form.Progress.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/sGraphUtils.h"

namespace {

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? std::max(1, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 200;
  Application().Initialize();
  auto* form = new TFormProgress(&Application());
  form->DoCreate();
  TProgressInfo info(L"Downloading the update", false);
  info.Stage = L"Stage 2 of 3";
  info.State = L"12.5 MB of 40 MB";
  info.Percent = 31;
  form->UpdateProgress(info);
  form->Show();
  for (int i = 0; i < 20; ++i) {
    Pump();
    Sleep(10);
  }
  auto bmp = NewBitmap32(form->Width(), form->Height());
  PaintControlToBitmap(bmp.get(), form, 0, 0);  // the first one warms caches and fonts up
  for (int round = 0; round < 2; ++round) {
    if (round == 1) {
      // The spinner instead of the gauge.
      info.Wait = true;
      form->UpdateProgress(info);
      Pump();
    }
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
      const double start = NowMs();
      PaintControlToBitmap(bmp.get(), form, 0, 0);
      GdiFlush();
      ms.push_back(NowMs() - start);
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms) sum += v;
    const double median = ms[ms.size() / 2];
    std::printf("%-22s %dx%d  median %6.3f ms  mean %6.3f ms  worst %6.3f ms  frame 12 ms: %.2f of a frame\n",
                round == 0 ? "progress (gauge)" : "progress (spinner)", form->Width(), form->Height(), median,
                sum / ms.size(), ms.back(), median / 12.0);
  }
  TComponent::Free(form);
  return 0;
}
