#include "platform/runtime/Stopwatch.h"

#include <windows.h>

std::int64_t TStopwatch::Now() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<std::int64_t>(f.QuadPart);
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  // Whole seconds and the rest apart, so the product never overflows.
  const std::int64_t t = c.QuadPart;
  return (t / frequency) * 1000 + (t % frequency) * 1000 / frequency;
}

void TStopwatch::Start() {
  FStart = Now();
  FRunning = true;
}

void TStopwatch::Stop() {
  if (!FRunning) return;
  FStop = Now();
  FRunning = false;
}

std::int64_t TStopwatch::ElapsedMilliseconds() const {
  if (FStart == 0 && !FRunning) return 0;
  return (FRunning ? Now() : FStop.load()) - FStart;
}
