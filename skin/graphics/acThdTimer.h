#pragma once
// The engine's animation timer, as far as the per-control skin state starts, stops and frees
// it. The ticking (12 ms steps, the step callback, the fades) comes with the animations.
#include <memory>

#include "platform/ui/Graphics.h"

class TsCommonData;

// A step of a state animation: the timer's state object and its step parameter.
using TacAnimProc = void (*)(TsCommonData* State, int Param);

class TacThreadedTimer {
public:
  // AnimData: the per-control skin state whose state fade this timer runs, or nullptr.
  explicit TacThreadedTimer(TsCommonData* AnimData = nullptr) : FAnimData(AnimData) {}
  // Stops the timer; a skin state it animates forgets it.
  virtual ~TacThreadedTimer();
  TacThreadedTimer(const TacThreadedTimer&) = delete;
  TacThreadedTimer& operator=(const TacThreadedTimer&) = delete;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  // Set once the destruction has begun.
  bool Destroyed() const { return FDestroyed; }
  int State = 0;
  TsCommonData* AnimData() const { return FAnimData; }

  // The fade's progress (Iteration of Iterations), its glow value (0 .. 255) and its step,
  // run on each tick with StepParam. The ticking fills them.
  int Iteration = 0;
  int Iterations = 0;
  int GlowValue = 0;
  TacAnimProc StepProc = nullptr;
  int StepParam = 0;

  // The fade's images: from, to and the frame shown.
  std::unique_ptr<TBitmap> BmpFrom, BmpTo, BmpOut;
  void FreeBitmaps() {
    BmpFrom.reset();
    BmpTo.reset();
    BmpOut.reset();
  }

private:
  TsCommonData* FAnimData;
  bool FEnabled = false;
  bool FDestroyed = false;
};
