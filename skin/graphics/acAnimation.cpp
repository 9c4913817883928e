#include "skin/graphics/acAnimation.h"

bool AnimationInProgress = false;
