// The parallel loop, the tried critical section and the stopwatch.
#include <gtest/gtest.h>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Parallel.h"
#include "platform/runtime/Stopwatch.h"

TEST(Parallel, ForRunsEveryIndexOnceOnSeveralThreads) {
  std::vector<std::atomic<int>> hits(200);
  std::mutex lock;
  std::set<DWORD> threads;
  // Each index takes a moment, so the other workers are running before one thread could
  // have taken every index, however busy the machine.
  TParallel::For(0, 199, [&](int i, TParallelLoopState&) {
    ++hits[i];
    {
      std::lock_guard<std::mutex> l(lock);
      threads.insert(GetCurrentThreadId());
    }
    Sleep(2);
  });
  for (auto& h : hits) EXPECT_EQ(h, 1);
  if (TParallel::Degree() > 1) {
    EXPECT_GT(threads.size(), 1u);
  }
  TParallel::For(5, 4, [](int, TParallelLoopState&) { FAIL() << "an empty range runs nothing"; });
}

TEST(Parallel, BreakStopsNewIndexesAndErrorsComeBack) {
  std::atomic<int> ran{0};
  TParallel::For(0, 99999, [&](int i, TParallelLoopState& state) {
    ++ran;
    if (i >= 10) state.Break();
  });
  EXPECT_LT(ran, 1000);

  // Once the loop has taken note of a failure, each worker starts at most the index it had
  // already taken. The failing index itself may run last on a busy machine, so only what
  // starts after the failure was noted counts.
  std::atomic<int> startedAfter{0};
  EXPECT_THROW(TParallel::For(0, 99999,
                              [&](int i, TParallelLoopState& state) {
                                if (state.ShouldExit()) ++startedAfter;
                                if (i == 3) throw EArgumentException(L"boom");
                              }),
               EArgumentException);
  EXPECT_LE(startedAfter, TParallel::Degree());
}

TEST(Parallel, CriticalSectionTryEnterAndWaitForAll) {
  TCriticalSection cs;
  ASSERT_TRUE(cs.TryEnter());
  bool other = true;
  std::thread([&] { other = cs.TryEnter(); }).join();
  EXPECT_FALSE(other);
  cs.Leave();
  std::thread([&] {
    other = cs.TryEnter();
    if (other) cs.Leave();
  }).join();
  EXPECT_TRUE(other);

  std::atomic<int> done{0};
  std::vector<std::shared_ptr<ITask>> tasks;
  for (int i = 0; i < 4; ++i) tasks.push_back(TTask::Run([&] {
    Sleep(50);
    ++done;
  }));
  WaitForAll(tasks);
  EXPECT_EQ(done, 4);
}

TEST(Parallel, Stopwatch) {
  TStopwatch sw;
  EXPECT_EQ(sw.ElapsedMilliseconds(), 0);
  sw.Start();
  Sleep(30);
  EXPECT_GE(sw.ElapsedMilliseconds(), 25);
  sw.Stop();
  const auto frozen = sw.ElapsedMilliseconds();
  Sleep(20);
  EXPECT_EQ(sw.ElapsedMilliseconds(), frozen);
}
