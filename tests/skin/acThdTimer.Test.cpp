#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sCommonData.h"

namespace {
// What the step procedure saw, shared by the plain step functions below.
std::vector<int> g_steps;
bool g_answer = true;
TacThreadedTimer* g_freeOnStep = nullptr;

bool RecordStep(TsCommonData*, int Iteration) {
  g_steps.push_back(Iteration);
  return g_answer;
}

bool FreeOwnTimer(TsCommonData*, int Iteration) {
  g_steps.push_back(Iteration);
  TComponent::Free(g_freeOnStep);
  return true;
}

struct TStepLog {
  TStepLog() {
    g_steps.clear();
    g_answer = true;
    g_freeOnStep = nullptr;
  }
};

// Serves the message queue until done() or about two seconds have passed.
template <class F>
void PumpUntil(F done) {
  const DWORD start = GetTickCount();
  while (!done() && GetTickCount() - start < 2000) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

// Runs the ticks by hand until the timer stops (or far too many ticks for any animation).
int TickToEnd(TacThreadedTimer& timer) {
  int ticks = 0;
  while (timer.Enabled() && ticks < 100) {
    timer.TimerTick();
    ++ticks;
  }
  return ticks;
}
}  // namespace

TEST(AnimTimer, AFreshTimerRunsAtOneSecondButCallsNothing) {
  Application().Initialize();
  TStepLog log;
  TacThreadedTimer timer(nullptr);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  ASSERT_NE(timer.TimerThread(), nullptr);
  EXPECT_FALSE(timer.TimerThread()->Running());  // neither OnTimer nor a step yet
  EXPECT_EQ(timer.State, -1);
  EXPECT_EQ(timer.Iterations, 6);
  timer.TimerTick();
  EXPECT_TRUE(g_steps.empty());

  // The owned variant is disabled and sends every tick to TimeHandler.
  TacThreadedTimer owned(&Application(), true);
  EXPECT_FALSE(owned.Enabled());
  EXPECT_EQ(owned.TimerOwner(), &Application());
  EXPECT_TRUE(static_cast<bool>(owned.OnTimer()));
}

TEST(AnimTimer, InitDataPlansTheStepsOfEachFade) {
  Application().Initialize();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct TCase {
    const char* Name;
    double Glow;
    int StateBefore;
    int AState;
    bool Fast;
    int Iterations;
    int FirstIteration;
    double GlowStep;  // NaN: not looked at
    double GlowAfter;
  };
  const TCase cases[] = {
      {"to normal", 255, 1, 0, false, 18, 0, 255.0 / 18, 255},
      {"to normal, fast", 255, 1, 0, true, 9, 0, 255.0 / 9, 255},
      {"to hot from none, glow 0", 0, -1, 1, false, 6, 0, 42.5, 0},
      {"to hot, glow 148.75: 2.5 steps round to 2", 148.75, 0, 1, false, 2, 4, (255 - 148.75) / 2, 148.75},
      {"to hot from hot", 100, 1, 1, false, 6, 0, (255 - 100) / 6.0, 100},
      {"to pressed", 200, 1, 2, true, 3, 0, 200.0 / 3, 200},
      {"glow above the range", 300, -1, 1, false, 1, 6, 0, 255},
      {"glow below the range", -5, -1, 1, false, 6, 0, 42.5, 0},
      {"glow not a number", nan, -1, 1, false, 1, 6, 0, 255},
      {"back to normal from hot halfway", 127.5, 1, 0, false, 18, 9, 127.5 / 18, 127.5},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TacThreadedTimer timer(nullptr);
    timer.Glow = c.Glow;
    timer.State = c.StateBefore;
    timer.Iteration = 77;
    timer.InitData(nullptr, 0, RecordStep, c.AState, c.Fast);
    EXPECT_EQ(timer.Iterations, c.Iterations);
    EXPECT_EQ(timer.Iteration, c.FirstIteration);
    if (!std::isnan(c.GlowStep)) EXPECT_DOUBLE_EQ(timer.GlowStep, c.GlowStep);
    EXPECT_DOUBLE_EQ(timer.Glow, c.GlowAfter);
    EXPECT_DOUBLE_EQ(timer.ValueStep, 255.0 / c.Iterations);
    EXPECT_EQ(timer.Value, 0);
    EXPECT_EQ(timer.OldState, c.StateBefore);
    EXPECT_EQ(timer.State, c.AState);
    EXPECT_EQ(timer.Interval(), 12u);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_TRUE(timer.TimerThread()->Running());
  }
}

TEST(AnimTimer, TicksRunTheStepsAndIgnoreTheirAnswer) {
  Application().Initialize();
  struct TCase {
    double Glow;
    int StateBefore;
    int AState;
    bool Fast;
    std::vector<int> Steps;
  };
  const TCase cases[] = {
      {255, 1, 0, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}},
      {255, 1, 0, true, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {0, -1, 1, false, {1, 2, 3, 4, 5, 6}},
      {255, -1, 1, false, {}},  // one step planned, and the first tick is already past it
      {148.75, 0, 1, false, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "glow " << c.Glow << " state " << c.AState);
    TStepLog log;
    g_answer = false;  // a tick does not stop on it
    TacThreadedTimer timer(nullptr);
    timer.Glow = c.Glow;
    timer.State = c.StateBefore;
    timer.InitData(nullptr, 0, RecordStep, c.AState, c.Fast);
    TickToEnd(timer);
    EXPECT_EQ(g_steps, c.Steps);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_FALSE(timer.TimerThread()->Running());
  }
}

TEST(AnimTimer, TimeHandlerStepsAtOnceAndAFalseAnswerStops) {
  Application().Initialize();
  TStepLog log;
  TacThreadedTimer timer(nullptr);
  timer.Glow = 0;
  timer.InitData(nullptr, 0, RecordStep, 1, false);
  timer.TimeHandler();
  EXPECT_EQ(g_steps, std::vector<int>({0}));
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.State, 1);
  g_answer = false;
  timer.TimeHandler();
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(timer.State, -1);
  // Stopped, busy or destroyed: no step.
  timer.TimeHandler();
  timer.WriteEnabled(true);
  timer.Executing = true;
  timer.TimerTick();
  EXPECT_EQ(g_steps.size(), 2u);
}

TEST(AnimTimer, RunsItsStepsThroughTheMessageLoop) {
  Application().Initialize();
  TStepLog log;
  TacThreadedTimer timer(nullptr);
  timer.Glow = 255;
  timer.State = 1;
  timer.InitData(nullptr, 0, RecordStep, 0, true);
  PumpUntil([&] { return !timer.Enabled(); });
  EXPECT_EQ(g_steps, std::vector<int>({1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_FALSE(timer.Enabled());
}

TEST(AnimTimer, OnTimerRunsWithoutAStepAndWritersRestartOnlyWhenNeeded) {
  Application().Initialize();
  TacThreadedTimer timer(nullptr);
  int ticks = 0;
  timer.WriteInterval(12);
  timer.WriteOnTimer([&] { ++ticks; });
  EXPECT_TRUE(timer.TimerThread()->Running());
  EXPECT_EQ(timer.TimerThread()->Interval(), 12u);
  PumpUntil([&] { return ticks >= 3; });
  EXPECT_GE(ticks, 3);
  timer.WriteInterval(0);
  EXPECT_FALSE(timer.TimerThread()->Running());
  timer.WriteInterval(12);
  timer.WriteEnabled(false);
  EXPECT_FALSE(timer.TimerThread()->Running());
  timer.WriteEnabled(true);
  timer.WriteThreadPriority(THREAD_PRIORITY_LOWEST);
  EXPECT_EQ(timer.ThreadPriority(), THREAD_PRIORITY_LOWEST);
  EXPECT_TRUE(timer.TimerThread()->Running());
  TTimer* before = timer.TimerThread();
  timer.Reset();
  EXPECT_NE(timer.TimerThread(), nullptr);
  EXPECT_TRUE(timer.TimerThread()->Running());
  (void)before;
}

TEST(AnimTimer, EnsureAnimTimerMakesOneOrCountsTheStepsLeft) {
  Application().Initialize();
  TacThreadedTimer* timer = nullptr;
  EXPECT_EQ(EnsureAnimTimer(timer, nullptr, false), 0);
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->Glow, 255);
  struct TCase {
    int State, Iteration, Left;
  };
  for (const TCase& c : {TCase{0, 5, 13}, TCase{0, 20, 0}, TCase{1, 2, 4}, TCase{2, 9, 0}, TCase{-1, 0, 6}}) {
    timer->State = c.State;
    timer->Iteration = c.Iteration;
    EXPECT_EQ(EnsureAnimTimer(timer, nullptr, false), c.Left) << c.State << "/" << c.Iteration;
  }
  TComponent::Free(timer);
  EXPECT_EQ(timer, nullptr);  // the variable forgets a timer that goes
  EnsureAnimTimer(timer, nullptr, true);
  EXPECT_EQ(timer->Glow, 0);
  TComponent::Free(timer);
}

TEST(AnimTimer, CopyFromTakesTheRectangleIntoANewOrResizedBitmap) {
  Application().Initialize();
  TacThreadedTimer timer(nullptr);
  std::unique_ptr<TBitmap> src = NewBitmap32(10, 8);
  auto* px = reinterpret_cast<std::uint32_t*>(src->Bits());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) px[y * src->Stride() / 4 + x] = 0xFF000000u | (y << 8) | x;
  std::unique_ptr<TBitmap> dst;
  timer.CopyFrom(dst, src.get(), TRect{2, 3, 6, 8});
  ASSERT_TRUE(dst);
  EXPECT_EQ(dst->Width(), 4);
  EXPECT_EQ(dst->Height(), 5);
  auto* out = reinterpret_cast<std::uint32_t*>(dst->Bits());
  EXPECT_EQ(out[0] & 0xFFFF, (3u << 8) | 2u);
  EXPECT_EQ(out[4 * dst->Stride() / 4 + 3] & 0xFFFF, (7u << 8) | 5u);
  timer.CopyFrom(dst, src.get(), TRect{5, 5, 2, 2});  // negative extents: empty
  EXPECT_TRUE(dst->Empty());
}

TEST(AnimTimer, StateAndTimerGoInEitherOrderAndOnlyOnce) {
  Application().Initialize();
  TControl* owner = new TPanel(nullptr);
  // The timer goes first, with its owner: the state forgets it.
  {
    TsCommonData state(nullptr, false);
    EnsureAnimTimer(state.AnimTimer, nullptr, false);
    TComponent::Free(state.AnimTimer);
    EXPECT_EQ(state.AnimTimer, nullptr);
    EnsureAnimTimer(state.AnimTimer, owner, false);
    state.AnimTimer->InitData(&state, 0, RecordStep, 1, false);
    TComponent::Free(owner);  // frees its components, the timer among them
    EXPECT_EQ(state.AnimTimer, nullptr);
  }
  // The state goes first: it frees its timer, which leaves its owner's list.
  owner = new TPanel(nullptr);
  {
    TsCommonData state(nullptr, false);
    EnsureAnimTimer(state.AnimTimer, owner, false);
    state.AnimTimer->InitData(&state, 0, RecordStep, 1, false);
    EXPECT_EQ(owner->ComponentCount(), 1);
  }
  EXPECT_EQ(owner->ComponentCount(), 0);
  TComponent::Free(owner);
}

TEST(AnimTimer, AStepThatFreesItsTimerEndsTheTick) {
  Application().Initialize();
  TStepLog log;
  TsCommonData state(nullptr, false);
  EnsureAnimTimer(state.AnimTimer, nullptr, false);
  g_freeOnStep = state.AnimTimer;
  state.AnimTimer->Glow = 0;
  state.AnimTimer->InitData(&state, 0, FreeOwnTimer, 1, false);
  state.AnimTimer->TimerTick();  // frees the timer inside the step
  EXPECT_EQ(g_steps, std::vector<int>({1}));
  EXPECT_EQ(state.AnimTimer, nullptr);

  // The same inside TimeHandler and inside the real loop.
  EnsureAnimTimer(state.AnimTimer, nullptr, false);
  g_freeOnStep = state.AnimTimer;
  state.AnimTimer->Glow = 0;
  state.AnimTimer->InitData(&state, 0, FreeOwnTimer, 1, false);
  state.AnimTimer->TimeHandler();
  EXPECT_EQ(state.AnimTimer, nullptr);
  EnsureAnimTimer(state.AnimTimer, nullptr, false);
  g_freeOnStep = state.AnimTimer;
  state.AnimTimer->Glow = 0;
  state.AnimTimer->InitData(&state, 0, FreeOwnTimer, 1, false);
  PumpUntil([&] { return state.AnimTimer == nullptr; });
  EXPECT_EQ(state.AnimTimer, nullptr);
  EXPECT_EQ(g_steps, std::vector<int>({1, 0, 1}));
}

TEST(AnimTimer, ATimerMadeWhileTerminatingNeverTicks) {
  Application().Initialize();
  TStepLog log;
  Application().SetTerminated(true);
  TacThreadedTimer timer(nullptr);
  Application().SetTerminated(false);
  EXPECT_EQ(timer.TimerThread(), nullptr);
  EXPECT_FALSE(timer.Enabled());
  timer.InitData(nullptr, 0, RecordStep, 0, false);
  timer.TimerTick();
  PumpUntil([] { return false; });
  EXPECT_TRUE(g_steps.empty());
}
