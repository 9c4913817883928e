#include "skin/graphics/acThdTimer.h"

#include "skin/manager/sCommonData.h"

TacThreadedTimer::~TacThreadedTimer() {
  FEnabled = false;
  if (FAnimData && FAnimData->AnimTimer == this) FAnimData->AnimTimer = nullptr;
  FDestroyed = true;
  FreeBitmaps();
}
