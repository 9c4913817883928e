#pragma once
// The engine's animation timer. Despite its name it runs on the UI thread: it wraps the
// framework's timer (which ticks all timers of the thread through one window) and, while an
// animation runs, ticks every 12 ms and calls the animation's step with its data and the step
// number. State fades keep one per control in the control's skin state; the hide timer, the
// hint and preloader timers and the form timers derive from it.
#include <windows.h>

#include <memory>

#include "platform/ui/Controls.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Graphics.h"

class TsCommonData;

// One step of an animation: its data and the step number. The answer matters only to
// TimeHandler (false stops the animation); a tick does not look at it.
using TacAnimProc = bool (*)(TsCommonData* Data, int Iteration);

// A THREAD_PRIORITY_* value: stored only, the timer runs on the UI thread.
using TThreadPriority = int;

// Half-to-even rounding of the animation arithmetic (the FPU's default mode).
int RoundHalfEven(double Value);

class TacThreadedTimer : public TComponent {
public:
  // No inner timer is made while the application terminates: such a timer never ticks.
  explicit TacThreadedTimer(TComponent* AOwner);
  // The owned variant: disabled, FOwner set; with ChangeEvent every tick calls TimeHandler.
  TacThreadedTimer(TComponent* AOwner, bool ChangeEvent);
  // Disabled; the skin state it animates forgets it, and so does the variable EnsureAnimTimer
  // stored it in; then, once, the inner timer and the bitmaps go.
  ~TacThreadedTimer() override;
  void BeforeDestruction() override;
  std::wstring ClassName() const override { return L"TacThreadedTimer"; }

  bool Enabled() const { return FEnabled; }
  void WriteEnabled(bool Value);
  DWORD Interval() const { return FInterval; }
  void WriteInterval(DWORD Value);
  const std::function<void()>& OnTimer() const { return FOnTimer; }
  void WriteOnTimer(std::function<void()> Value);
  TThreadPriority ThreadPriority() const { return FThreadPriority; }
  void WriteThreadPriority(TThreadPriority Value);

  // Prepares an animation towards AState and starts its 12 ms ticks.
  void InitData(TsCommonData* AData, int AIteration, TacAnimProc AAnimProc, int AState, bool AFast);
  // Runs the step at the current Iteration now; a false answer stops the animation (State -1).
  // Descendants override it with their own step.
  virtual void TimeHandler();
  // A new inner timer in place of the old one.
  void Reset();
  // The pixels of SrcBmp at R into DstBmp's origin; DstBmp is made or resized to R's size.
  void CopyFrom(std::unique_ptr<TBitmap>& DstBmp, TBitmap* SrcBmp, const TRect& R);

  // The inner timer's handler: one step unless disabled, busy or being destroyed.
  void TimerTick();
  // The inner timer (nullptr while the application terminates).
  TTimer* TimerThread() const { return FTimerThread; }
  TComponent* TimerOwner() const { return FOwner; }
  // False once the timer is destroyed: whoever runs a step that may free the timer keeps a
  // copy and writes nothing into the timer after a step that did.
  std::shared_ptr<bool> Alive() const { return FAlive; }

  // Fields, in the order the animations know them.
  bool InHandler = false;
  bool Executing = false;
  double Glow = 0;
  double Value = 0;
  double GlowStep = 0;
  double ValueStep = 0;
  int State = -1;
  int Iteration = 0;
  int IntState = -1;
  int OldState = -1;
  int Iterations = 6;
  int ThreadType = 0;
  std::unique_ptr<TBitmap> BmpTo;
  std::unique_ptr<TBitmap> BmpOut;
  std::unique_ptr<TBitmap> BmpFrom;
  TRect AnimRect{};
  TsCommonData* AnimData = nullptr;
  bool Destroyed = false;
  TControl* AnimControl = nullptr;
  TacAnimProc AnimProc = nullptr;

  // The three bitmaps go (a stopped state fade).
  void FreeBitmaps() {
    BmpFrom.reset();
    BmpTo.reset();
    BmpOut.reset();
  }

protected:
  // One step: past the last one the timer stops, else AnimProc runs (its answer unused);
  // without AnimProc, OnTimer.
  virtual void DoTick();
  void UpdateTimer();
  void CreateTimer();
  void FreeTimer();

private:
  // The destruction, once, before the owned inner timer goes with the components.
  void Destroy();
  friend int EnsureAnimTimer(TacThreadedTimer*& Timer, TControl* AOwner, bool KeepGlow);
  bool FEnabled = false;
  DWORD FInterval = 1000;
  std::function<void()> FOnTimer;
  TTimer* FTimerThread = nullptr;
  TThreadPriority FThreadPriority = THREAD_PRIORITY_NORMAL;
  TComponent* FOwner = nullptr;
  // The variable EnsureAnimTimer stored the timer in; cleared when the timer goes first.
  TacThreadedTimer** FLinkVar = nullptr;
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// The control's animation timer: with one in Timer, the steps left of its animation (from
// 18 towards state 0, else from 6); otherwise a new one (Glow 255 unless KeepGlow) and 0.
int EnsureAnimTimer(TacThreadedTimer*& Timer, TControl* AOwner, bool KeepGlow);
