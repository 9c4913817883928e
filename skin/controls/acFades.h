#pragma once
// State fades of skinned controls: when a control's look changes (hover, leave, press), its
// window shows a few frames that blend the old cached image into the new one on the
// control's animation timer, and its hover glow's opacity follows the same level.
#include "skin/graphics/acThdTimer.h"

class TsCommonData;

// Starts the fade of a skinned state Data to State (0 normal, 1 hot, 2 pressed; 100 and
// above carry no glow), stepping with StepProc (StateFadeStep when none is given). GlowFlag
// lets the hover glow show; Fast halves the steps. Without animation the owner is repainted
// at once and the glow shown or released by the mouse.
void AnimateStateChange(TsCommonData* Data, int State, TacAnimProc StepProc, bool GlowFlag, bool Fast, bool Animate);
// Sets up the control's timer for the fade (old look, new look) and runs its first step.
void StartStateFade(TsCommonData* Data, int State, TacAnimProc StepProc, bool Fast);
// One frame of an image fade; true while the fade goes on.
bool StateFadeStep(TsCommonData* Data, int Iteration);
// One step of a glow-only fade; true while the fade goes on.
bool GlowFadeStep(TsCommonData* Data, int Iteration);
