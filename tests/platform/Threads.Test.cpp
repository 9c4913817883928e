#include <gtest/gtest.h>
#include "platform/runtime/Threads.h"
#include "support/ShellHarness.h"
#include <atomic>
#include <vector>

namespace {
class TLambdaThread : public TThread {
public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> body) : TThread(true), FBody(std::move(body)) {}
  ~TLambdaThread() override { TerminateAndWait(); }  // Execute runs FBody
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

TEST(Threads, ShutdownReleasesWaitersAndDropsQueuedCallsWithoutRunningThem) {
  InitMainThreadDispatcher();
  std::atomic<int> result{-1};
  bool ran = false, queuedRan = false;
  TLambdaThread t([&](TLambdaThread&) {
    TThread::Queue([&] { queuedRan = true; });
    result = TThread::Synchronize([&] { ran = true; }) ? 1 : 0;
  });
  t.Start();
  Sleep(200);  // the calls are posted, but this thread serves no messages
  ShutdownMainThreadDispatcher();
  t.WaitFor();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(ran);
  WaitUntil([] { return false; }, 200);  // a message left behind would run its call here
  EXPECT_FALSE(queuedRan);
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
  EXPECT_FALSE(t.Started());  // made suspended: nothing to wait for yet
  t.Start();
  EXPECT_TRUE(t.Started());
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
}

// Threads freed before they were started never run their work, end for real (their
// handles signal) and leave the process heap usable: many made and dropped at once while
// another thread allocates.
TEST(Threads, ThreadsFreedUnstartedEndWithoutRunningTheirWork) {
  std::atomic<int> ran{0};
  std::atomic<bool> stop{false};
  TLambdaThread churn([&](TLambdaThread&) {
    while (!stop) delete[] new char[64];
  });
  churn.Start();
  std::vector<HANDLE> ended;
  for (int i = 0; i < 50; ++i) {
    auto* t = new TLambdaThread([&](TLambdaThread&) { ++ran; });
    HANDLE h = OpenThread(SYNCHRONIZE, FALSE, t->ThreadID());
    ASSERT_NE(h, nullptr);
    ended.push_back(h);
    delete t;
  }
  stop = true;
  churn.WaitFor();
  EXPECT_EQ(ran, 0);
  for (HANDLE h : ended) {
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    CloseHandle(h);
  }
  delete[] new char[64];  // the heap is still free to use
}

namespace {
// A member that says when it is destroyed.
struct TCanary {
  std::atomic<bool>* Gone;
  ~TCanary() { *Gone = true; }
};

// Execute goes on using a member for a while after it was asked to stop.
class TMemberThread : public TThread {
public:
  TMemberThread(std::atomic<bool>* gone, std::atomic<bool>* running, std::atomic<bool>* sawGone)
      : TThread(true), FCanary{gone}, FRunning(running), FSawGone(sawGone) {}
  ~TMemberThread() override { TerminateAndWait(); }

protected:
  void Execute() override {
    *FRunning = true;
    while (!Terminated()) Sleep(5);
    Sleep(150);  // the last work after the stop request, still on the member
    *FSawGone = FCanary.Gone->load();
  }

private:
  TCanary FCanary;
  std::atomic<bool>* FRunning;
  std::atomic<bool>* FSawGone;
};
}  // namespace

TEST(Threads, DerivedMembersOutliveExecute) {
  std::atomic<bool> gone{false}, running{false}, sawGone{false};
  auto* t = new TMemberThread(&gone, &running, &sawGone);
  t->Start();
  ASSERT_TRUE(WaitUntil([&] { return running.load(); }));
  delete t;  // while Execute still runs
  EXPECT_TRUE(gone);
  EXPECT_FALSE(sawGone);
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

TEST(Threads, WaitingForAThreadOnTheUiThreadRunsItsSynchronousCalls) {
  InitMainThreadDispatcher();
  int steps = 0;
  TLambdaThread t([&](TLambdaThread& self) {
    // Each step waits for the UI thread, which is itself waiting for this thread.
    while (!self.Terminated() && TThread::Synchronize([&] {
      if (++steps == 5) self.Terminate();
    })) {
    }
  });
  t.SetPriority(tpLower);
  t.Start();
  t.WaitForRunningCalls();
  EXPECT_TRUE(t.Finished());
  EXPECT_EQ(steps, 5);
}

TEST(Threads, SimpleEventStartsClearAndReportsItsState) {
  TSimpleEvent e;
  EXPECT_EQ(e.WaitFor(0), wrTimeout);
  e.SetEvent();
  EXPECT_EQ(e.WaitFor(0), wrSignaled);
  EXPECT_EQ(e.WaitFor(0), wrSignaled);  // manual reset: stays set
  e.ResetEvent();
  EXPECT_EQ(e.WaitFor(0), wrTimeout);
}
