#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <thread>

#include "platform/runtime/Logger.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "support/ShellHarness.h"

namespace {
// Serves the message queue for a span measured on the performance counter.
void PumpFor(double seconds) {
  LARGE_INTEGER f, start, now;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&start);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    QueryPerformanceCounter(&now);
  } while (now.QuadPart - start.QuadPart < static_cast<LONGLONG>(seconds * f.QuadPart));
}
}  // namespace

TEST(Timers, TwentyAnimationTimersAllTickWithinOneSecond) {
  Application().Initialize();
  std::vector<std::unique_ptr<TTimer>> timers;
  std::vector<int> ticks(20, 0);
  for (int i = 0; i < 20; ++i) {
    timers.push_back(std::make_unique<TTimer>(nullptr));
    timers.back()->SetInterval(12);
    timers.back()->SetOnTimer([&ticks, i] { ++ticks[i]; });
  }
  PumpFor(1.0);
  for (int i = 0; i < 20; ++i) EXPECT_GT(ticks[i], 0) << "timer " << i;
}

TEST(Timers, ATickThatPumpsMessagesIsNotEnteredAgainWhileOthersGoOn) {
  Application().Initialize();
  TTimer slow(nullptr), fast(nullptr), selfStop(nullptr);
  int slowDepth = 0, slowMaxDepth = 0, slowTicks = 0, fastTicks = 0, fastDuringSlow = 0, doomedTicks = 0,
      selfStopTicks = 0;
  fast.SetInterval(12);
  fast.SetOnTimer([&] {
    ++fastTicks;
    if (slowDepth) ++fastDuringSlow;
  });
  // Freed by the slow tick while it may be due in the same pump.
  auto* doomed = new TTimer(nullptr);
  doomed->SetInterval(12);
  doomed->SetOnTimer([&] { ++doomedTicks; });
  slow.SetInterval(12);
  slow.SetOnTimer([&] {
    slowMaxDepth = std::max(slowMaxDepth, ++slowDepth);
    ++slowTicks;
    if (doomed) {
      TComponent::Free(doomed);
      doomed = nullptr;
    }
    PumpFor(0.1);  // a modal loop inside a tick
    --slowDepth;
  });
  selfStop.SetInterval(12);
  selfStop.SetOnTimer([&] {
    ++selfStopTicks;
    selfStop.SetEnabled(false);
  });
  ASSERT_TRUE(WaitUntil([&] { return slowTicks >= 3; }, 10000));
  EXPECT_EQ(slowMaxDepth, 1);
  EXPECT_GT(fastDuringSlow, 0);
  EXPECT_EQ(selfStopTicks, 1);
  EXPECT_FALSE(selfStop.Running());
  EXPECT_LE(doomedTicks, 1);  // freed before or right after its first tick
}

TEST(Timers, AFailingTickIsLoggedOncePerDistinctFailureAndTheTimersGoOn) {
  Application().Initialize();
  TTempFolder dir;
  TCodeSiteLogger& log = CodeSite();
  const bool wasOn = log.Enabled();
  const std::wstring wasFile = log.FileName();
  log.SetFileName(dir / L"ticks.log");
  log.SetEnabled(true);

  TTimer a(nullptr), b(nullptr), c(nullptr);
  int aTicks = 0, bTicks = 0, cTicks = 0;
  a.SetInterval(12);
  a.SetOnTimer([&] {
    ++aTicks;
    throw Exception(L"first failure");
  });
  b.SetInterval(12);
  b.SetOnTimer([&] {
    ++bTicks;
    throw std::runtime_error("second failure");
  });
  c.SetInterval(12);
  c.SetOnTimer([&] { ++cTicks; });
  const bool ran = WaitUntil([&] { return aTicks >= 5 && bTicks >= 5 && cTicks >= 5; }, 10000);
  a.SetEnabled(false);
  b.SetEnabled(false);
  c.SetEnabled(false);
  log.SetEnabled(wasOn);
  log.SetFileName(wasFile);
  ASSERT_TRUE(ran);

  const std::string text = ReadTextFile(dir / L"ticks.log");
  auto count = [&](const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("first failure"), 1) << text;
  EXPECT_EQ(count("second failure"), 1) << text;
  EXPECT_EQ(count("\n"), 2) << text;
}

TEST(Timers, BelongToTheUiThread) {
  Application().Initialize();
  TTimer* made = nullptr;
  bool refused = false;
  std::thread worker([&] {
    made = new TTimer(nullptr);  // a stopped timer may be made anywhere
    made->SetInterval(12);
    try {
      made->SetOnTimer([] {});
    } catch (const ETimerError&) {
      refused = true;
    }
  });
  worker.join();
  EXPECT_TRUE(refused);
  EXPECT_FALSE(made->Running());
  made->SetOnTimer([] {});  // the UI thread may start it
  EXPECT_TRUE(made->Running());
  TComponent::Free(made);
}
