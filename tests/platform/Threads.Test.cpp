#include <gtest/gtest.h>
#include "platform/runtime/Threads.h"
#include "support/ShellHarness.h"
#include <atomic>
#include <vector>

namespace {
class TLambdaThread : public TThread {
public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> body) : TThread(true), FBody(std::move(body)) {}
  using TThread::Synchronize;

protected:
  void Execute() override { FBody(*this); }

private:
  std::function<void(TLambdaThread&)> FBody;
};
}  // namespace

TEST(Threads, SynchronizeAndQueueRunOnTheUiThreadInOrder) {
  InitMainThreadDispatcher();
  DWORD ui = GetCurrentThreadId();
  std::vector<int> order;
  DWORD ranOn = 0;
  bool synced = false;
  TLambdaThread t([&](TLambdaThread&) {
    TThread::Queue([&] { order.push_back(1); });
    synced = TThread::Synchronize([&] {
      ranOn = GetCurrentThreadId();
      order.push_back(2);
    });
    TThread::Queue([&] { order.push_back(3); });
  });
  t.Start();
  ASSERT_TRUE(WaitUntil([&] { return order.size() == 3; }));
  t.WaitFor();
  EXPECT_TRUE(synced);
  EXPECT_EQ(ranOn, ui);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(Threads, SynchronizeRaisesTheCallsExceptionInTheCaller) {
  InitMainThreadDispatcher();
  std::atomic<bool> caught{false};
  TLambdaThread t([&](TLambdaThread&) {
    try {
      TThread::Synchronize([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error&) {
      caught = true;
    }
  });
  t.Start();
  ASSERT_TRUE(WaitUntil([&] { return t.Finished(); }));
  EXPECT_TRUE(caught);
}

TEST(Threads, ShutdownReleasesWaitersWithoutRunningTheirCalls) {
  InitMainThreadDispatcher();
  std::atomic<int> result{-1};
  bool ran = false;
  TLambdaThread t([&](TLambdaThread&) { result = TThread::Synchronize([&] { ran = true; }) ? 1 : 0; });
  t.Start();
  Sleep(200);  // the call is posted, but this thread serves no messages
  ShutdownMainThreadDispatcher();
  t.WaitFor();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(ran);
  // After shut-down nothing is taken any more.
  TLambdaThread t2([&](TLambdaThread&) { result = TThread::Synchronize([&] { ran = true; }) ? 1 : 0; });
  t2.Start();
  t2.WaitFor();
  EXPECT_EQ(result, 0);
  InitMainThreadDispatcher();  // back for the other tests
}

TEST(Threads, TerminateSetsTheFlagTheThreadLooksAt) {
  TLambdaThread t([](TLambdaThread& self) {
    while (!self.Terminated()) Sleep(5);
  });
  t.Start();
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
}

TEST(Threads, LongWaitsOnThePoolDoNotStarveOtherTasks) {
  // Many more blocked long-running tasks than cores; a short task must still run.
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<std::shared_ptr<ITask>> waits;
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  for (DWORD i = 0; i < si.dwNumberOfProcessors * 2 + 4; ++i)
    waits.push_back(TTask::Run([release] { WaitForSingleObject(release, INFINITE); }, true));
  std::atomic<bool> shortRan{false};
  auto quick = TTask::Run([&] { shortRan = true; });
  bool finished = quick->Wait(20000);
  SetEvent(release);
  for (auto& w : waits) EXPECT_TRUE(w->Wait(20000));
  CloseHandle(release);
  EXPECT_TRUE(finished);
  EXPECT_TRUE(shortRan);
  EXPECT_EQ(quick->Status(), TTaskStatus::Completed);
}

TEST(Threads, TaskExceptionIsKeptInItsStatus) {
  auto t = TTask::Run([] { throw std::runtime_error("x"); });
  ASSERT_TRUE(t->Wait(20000));
  EXPECT_EQ(t->Status(), TTaskStatus::Exception);
}

TEST(Threads, SynchronousCallsRunInsideAModalLoopOfTheUiThread) {
  InitMainThreadDispatcher();
  std::atomic<bool> ran{false};
  const wchar_t* title = L"Tarvel modal loop test";
  auto closeBox = [title] {
    for (int i = 0; i < 400; ++i) {
      if (HWND box = FindWindowW(L"#32770", title)) {
        PostMessageW(box, WM_CLOSE, 0, 0);
        return;
      }
      Sleep(50);
    }
  };
  TLambdaThread worker([&](TLambdaThread&) {
    while (!FindWindowW(L"#32770", title)) Sleep(20);
    TThread::Synchronize([&] { ran = true; });  // the message box's own loop must run it
    closeBox();
  });
  // Should the call not get through, this ends the box after a while so the test fails instead of hanging.
  TLambdaThread watchdog([&](TLambdaThread& self) {
    for (int i = 0; i < 400 && !self.Terminated(); ++i) Sleep(50);
    if (!self.Terminated()) closeBox();
  });
  worker.Start();
  watchdog.Start();
  MessageBoxW(nullptr, L"waiting for a call from another thread", title, MB_OK);
  watchdog.Terminate();
  EXPECT_TRUE(ran);
  ShutdownMainThreadDispatcher();  // releases the worker should it still wait
  worker.WaitFor();
  watchdog.WaitFor();
  InitMainThreadDispatcher();
}
