// Timing shared by the benchmarks.
#pragma once

#include <windows.h>

#include <algorithm>

// Milliseconds of the performance counter.
inline double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// Seconds per call of `step`: the best of `rounds` rounds, each repeating the step until at
// least `minSeconds` have passed, so a machine busy with other work spoils one round, not the
// result. The first call is not counted: it warms the caches, page tables and fonts.
template <class F>
double BestSecondsPerCall(F&& step, int rounds, double minSeconds) {
  step();
  double best = 1e30;
  for (int round = 0; round < rounds; ++round) {
    int runs = 0;
    const double start = NowMs();
    double elapsed = 0;
    do {
      step();
      ++runs;
      elapsed = (NowMs() - start) / 1000.0;
    } while (elapsed < minSeconds);
    best = std::min(best, elapsed / runs);
  }
  return best;
}

// The pixel rate of a step over `pixels` pixels, best of five rounds of 0.3 s.
template <class F>
double MegapixelsPerSecond(double pixels, F&& step) {
  return pixels / BestSecondsPerCall(step, 5, 0.3) / 1e6;
}
