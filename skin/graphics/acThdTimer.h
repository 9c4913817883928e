#pragma once
// The engine's animation timer, as far as the per-control skin state starts, stops and frees
// it. The ticking (12 ms steps, the step callback, the fades) comes with the animations.
#include <memory>

#include "platform/ui/Graphics.h"

class TsCommonData;

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
