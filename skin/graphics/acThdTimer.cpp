#include "skin/graphics/acThdTimer.h"

#include <cmath>

#include "platform/ui/Forms.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sCommonData.h"

int RoundHalfEven(double Value) { return static_cast<int>(std::nearbyint(Value)); }

TacThreadedTimer::TacThreadedTimer(TComponent* AOwner) : TComponent(AOwner) {
  FInterval = 0;
  if (!Application().Terminated()) {
    FEnabled = true;
    FInterval = 1000;
    CreateTimer();
  }
}

TacThreadedTimer::TacThreadedTimer(TComponent* AOwner, bool ChangeEvent) : TacThreadedTimer(AOwner) {
  WriteEnabled(false);
  FOwner = AOwner;
  if (ChangeEvent) WriteOnTimer([this] { TimeHandler(); });
}

void TacThreadedTimer::BeforeDestruction() {
  Destroy();
  TComponent::BeforeDestruction();
}

TacThreadedTimer::~TacThreadedTimer() { Destroy(); }

void TacThreadedTimer::Destroy() {
  *FAlive = false;
  FEnabled = false;
  if (AnimData && AnimData->AnimTimer == this) AnimData->AnimTimer = nullptr;
  if (FLinkVar && *FLinkVar == this) *FLinkVar = nullptr;
  if (!Destroyed) {
    Destroyed = true;
    FreeTimer();
    FreeBitmaps();
  }
}

void TacThreadedTimer::CreateTimer() {
  FTimerThread = new TTimer(this);
  FTimerThread->SetEnabled(false);
  FTimerThread->SetInterval(FInterval);
  FTimerThread->SetOnTimer([this] { TimerTick(); });
}

void TacThreadedTimer::FreeTimer() {
  if (!FTimerThread) return;
  FTimerThread->SetEnabled(false);
  TComponent::Free(FTimerThread);
  FTimerThread = nullptr;
}

void TacThreadedTimer::UpdateTimer() {
  if (!FTimerThread) return;
  FTimerThread->SetEnabled(false);
  if (FInterval != 0 && FEnabled && (FOnTimer || AnimProc)) FTimerThread->SetEnabled(true);
}

void TacThreadedTimer::WriteEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TacThreadedTimer::WriteInterval(DWORD Value) {
  if (Value == FInterval || !FTimerThread) return;
  FInterval = Value;
  FTimerThread->SetInterval(Value);
  UpdateTimer();
}

void TacThreadedTimer::WriteOnTimer(std::function<void()> Value) {
  FOnTimer = std::move(Value);
  UpdateTimer();
}

void TacThreadedTimer::WriteThreadPriority(TThreadPriority Value) {
  if (Value == FThreadPriority) return;
  FThreadPriority = Value;
  UpdateTimer();
}

void TacThreadedTimer::Reset() {
  FreeTimer();
  CreateTimer();
  UpdateTimer();
}

void TacThreadedTimer::TimerTick() {
  if (!FTimerThread || !FTimerThread->Enabled() || Executing || Destroyed) return;
  const std::shared_ptr<bool> alive = FAlive;
  Executing = true;
  DoTick();
  if (*alive) Executing = false;
}

void TacThreadedTimer::DoTick() {
  if (Destroyed || !FEnabled) return;
  if (AnimProc) {
    ++Iteration;
    if (Iteration > Iterations)
      WriteEnabled(false);
    else
      AnimProc(AnimData, Iteration);  // the answer is not looked at: the step count ends the run
  } else if (FOnTimer) {
    const std::function<void()> handler = FOnTimer;  // it may free this timer
    handler();
  }
}

void TacThreadedTimer::TimeHandler() {
  if (!FEnabled || !AnimProc || Destroyed) return;
  const std::shared_ptr<bool> alive = FAlive;
  if (!AnimProc(AnimData, Iteration) && *alive) {
    WriteEnabled(false);
    State = -1;
  }
}

void TacThreadedTimer::InitData(TsCommonData* AData, int AIteration, TacAnimProc AAnimProc, int AState, bool AFast) {
  // 1.
  WriteEnabled(false);
  AnimData = AData;
  Value = 0;
  // 2. Not a number counts as above the range.
  if (!(Glow <= 255))
    Glow = 255;
  else if (Glow < 0)
    Glow = 0;
  // 3.
  Iterations = AFast ? 3 : 6;
  // 4.
  if (AState == 0) {
    Iterations *= 3;
    GlowStep = Glow / Iterations;
  } else if (AState == 2) {
    GlowStep = Glow / Iterations;
  } else {
    Iterations = State <= 0 ? RoundHalfEven((255 - Glow) * 6 / 255) : 6;
    if (Iterations < 1) Iterations = 1;
    GlowStep = (255 - Glow) / Iterations;
  }
  // 5.
  ValueStep = (255 - Value) / Iterations;
  // 6.
  if ((AState == 2 || (AState == 1 && State == 2)) && BmpOut)
    CopyFrom(BmpFrom, BmpOut.get(), TRect{0, 0, BmpOut->Width(), BmpOut->Height()});
  // 7.
  if (AState == 1 && State < 1)
    Iteration = RoundHalfEven(6 * Glow / 255);
  else if (AState == 0 && State == 1)
    Iteration = Glow == 0 ? 0 : RoundHalfEven((255 - Glow) * Iterations / 255);
  else
    Iteration = BmpOut ? 0 : AIteration;
  // 8.
  WriteInterval(12);
  AnimProc = AAnimProc;
  OldState = State;
  State = AState;
  // 9.
  WriteEnabled(true);
}

void TacThreadedTimer::CopyFrom(std::unique_ptr<TBitmap>& DstBmp, TBitmap* SrcBmp, const TRect& R) {
  if (!DstBmp)
    DstBmp = NewBitmap32ForRect(R);
  else
    DstBmp->SetSize(std::max(0, R.Width()), std::max(0, R.Height()));
  if (!SrcBmp || DstBmp->Empty()) return;
  BitBlt(DstBmp->Canvas().Handle(), 0, 0, DstBmp->Width(), DstBmp->Height(), SrcBmp->Canvas().Handle(), R.Left,
         R.Top, SRCCOPY);
}

int EnsureAnimTimer(TacThreadedTimer*& Timer, TControl* AOwner, bool KeepGlow) {
  if (Timer) return std::max(0, (Timer->State == 0 ? 18 : 6) - Timer->Iteration);
  Timer = NewComponent<TacThreadedTimer>(AOwner);
  Timer->FLinkVar = &Timer;
  if (!KeepGlow) Timer->Glow = 255;
  return 0;
}
