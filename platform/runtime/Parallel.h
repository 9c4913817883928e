#pragma once
// Pieces of parallel work on the process's default thread pool: a parallel for-loop that
// can be told to break, waiting for a set of tasks, and a critical section that can be
// tried without waiting.
#include <windows.h>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>
#include "platform/runtime/Threads.h"

class TCriticalSection {
public:
  TCriticalSection() { InitializeCriticalSection(&FSection); }
  ~TCriticalSection() { DeleteCriticalSection(&FSection); }
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;
  void Enter() { EnterCriticalSection(&FSection); }
  void Leave() { LeaveCriticalSection(&FSection); }
  // True when entered; false at once when another thread holds it.
  bool TryEnter() { return TryEnterCriticalSection(&FSection) != FALSE; }

private:
  CRITICAL_SECTION FSection;
};

class TParallelLoopState {
public:
  // No index starts after this; the ones running finish.
  void Break() { FBreak = true; }
  bool ShouldExit() const { return FBreak; }

private:
  std::atomic<bool> FBreak{false};
};

class TParallel {
public:
  // Runs ABody for every index from ALow to AHigh (inclusive), in no set order, on as many
  // pool threads as the machine has processors (the calling thread helps), and returns when
  // every started index has ended. The first exception of a body breaks the loop and is
  // raised again here once all have ended.
  static void For(int ALow, int AHigh, const std::function<void(int, TParallelLoopState&)>& ABody);
  // The number of threads For uses; a seam for tests (0 restores the processor count).
  static void SetDegreeOverride(int value);
  static int Degree();
};

// Waits until every task has ended.
void WaitForAll(const std::vector<std::shared_ptr<ITask>>& ATasks);
