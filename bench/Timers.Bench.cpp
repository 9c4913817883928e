// Animation timers: 20 timers of 12 ms for a few seconds on the UI thread's message loop,
// timed on the performance counter. Prints, per run, the ticks each timer got against the
// ideal count, and the spread of the intervals between ticks (mean, standard deviation,
// worst) across all timers. Usage: bench_timers [seconds] [timers] [interval ms]
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <vector>

#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"

int wmain(int argc, wchar_t** argv) {
  const double seconds = argc > 1 ? std::wcstod(argv[1], nullptr) : 5.0;
  const int count = argc > 2 ? static_cast<int>(std::wcstol(argv[2], nullptr, 10)) : 20;
  const UINT interval = argc > 3 ? static_cast<UINT>(std::wcstol(argv[3], nullptr, 10)) : 12;
  Application().Initialize();

  LARGE_INTEGER f, start, now;
  QueryPerformanceFrequency(&f);
  std::vector<std::vector<LONGLONG>> stamps(count);
  std::vector<std::unique_ptr<TTimer>> timers;
  for (int i = 0; i < count; ++i) {
    timers.push_back(std::make_unique<TTimer>(nullptr));
    timers.back()->SetInterval(interval);
    timers.back()->SetOnTimer([&stamps, i] {
      LARGE_INTEGER c;
      QueryPerformanceCounter(&c);
      stamps[i].push_back(c.QuadPart);
    });
  }
  QueryPerformanceCounter(&start);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    QueryPerformanceCounter(&now);
  } while (now.QuadPart - start.QuadPart < static_cast<LONGLONG>(seconds * f.QuadPart));
  timers.clear();

  std::vector<double> gaps;
  size_t fewest = SIZE_MAX, most = 0;
  for (const auto& s : stamps) {
    fewest = std::min(fewest, s.size());
    most = std::max(most, s.size());
    for (size_t k = 1; k < s.size(); ++k) gaps.push_back((s[k] - s[k - 1]) * 1000.0 / f.QuadPart);
  }
  double mean = 0, var = 0, worst = 0;
  for (double g : gaps) mean += g;
  mean = gaps.empty() ? 0 : mean / gaps.size();
  for (double g : gaps) {
    var += (g - mean) * (g - mean);
    worst = std::max(worst, std::fabs(g - interval));
  }
  const double sd = gaps.empty() ? 0 : std::sqrt(var / gaps.size());
  std::printf("timers %d x %u ms for %.1f s: ticks per timer %zu..%zu (ideal %.0f)\n", count, interval, seconds,
              fewest, most, seconds * 1000.0 / interval);
  std::printf("interval mean %.2f ms, jitter (sd) %.2f ms, worst deviation %.2f ms\n", mean, sd, worst);
  return 0;
}
