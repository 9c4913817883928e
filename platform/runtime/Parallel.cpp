#include "platform/runtime/Parallel.h"

#include <algorithm>
#include <exception>
#include <mutex>

namespace {
std::atomic<int> GDegreeOverride{0};
}

void TParallel::SetDegreeOverride(int value) { GDegreeOverride = value; }

int TParallel::Degree() {
  if (GDegreeOverride > 0) return GDegreeOverride;
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

void TParallel::For(int ALow, int AHigh, const std::function<void(int, TParallelLoopState&)>& ABody) {
  if (AHigh < ALow) return;
  const long long count = static_cast<long long>(AHigh) - ALow + 1;
  const int workers = static_cast<int>(std::min<long long>(count, Degree()));
  TParallelLoopState state;
  std::atomic<long long> next{ALow};
  std::mutex errorLock;
  std::exception_ptr error;

  auto work = [&] {
    for (;;) {
      if (state.ShouldExit()) return;
      const long long i = next.fetch_add(1);
      if (i > AHigh) return;
      try {
        ABody(static_cast<int>(i), state);
      } catch (...) {
        std::lock_guard<std::mutex> lock(errorLock);
        if (!error) error = std::current_exception();
        state.Break();
      }
    }
  };

  std::vector<std::shared_ptr<ITask>> tasks;
  tasks.reserve(workers > 0 ? workers - 1 : 0);
  try {
    for (int w = 1; w < workers; ++w) tasks.push_back(TTask::Run(work));
  } catch (...) {
    // The pool refused more work: the threads already started and this one carry on.
  }
  work();
  WaitForAll(tasks);
  if (error) std::rethrow_exception(error);
}

void WaitForAll(const std::vector<std::shared_ptr<ITask>>& ATasks) {
  for (const auto& task : ATasks)
    if (task) task->Wait(INFINITE);
}
