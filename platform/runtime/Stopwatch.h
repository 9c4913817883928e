#pragma once
// A stopwatch over the performance counter, read from any thread.
#include <atomic>
#include <cstdint>

class TStopwatch {
public:
  // Starts from zero.
  void Start();
  // Freezes the reading.
  void Stop();
  bool IsRunning() const { return FRunning; }
  // Milliseconds from Start to now, or to Stop.
  std::int64_t ElapsedMilliseconds() const;

private:
  static std::int64_t Now();
  std::atomic<std::int64_t> FStart{0};
  std::atomic<std::int64_t> FStop{0};
  std::atomic<bool> FRunning{false};
};
