#pragma once
// Glued forms and snapping: forms named in a provider's GluedForms that touch its form when a
// drag starts travel with it (each such pair is a couple), and a dragged form with ScreenSnap
// is pulled to the edges of other skinned forms and of the work area.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/ui/Graphics.h"

class TForm;
class TControl;
class TsSkinProvider;

// A slave form that follows its master, at Pos from the master's top-left (taken when the
// drag that recorded it began).
struct TacFormsCouple {
  TForm* Slave = nullptr;
  TForm* Master = nullptr;
  TPoint Pos;
};

// The process-wide couples, in the order they were recorded.
std::vector<TacFormsCouple>& FormsCouples();

// Removes every couple whose slave is the form.
void RemoveFormCouples(TForm* Form);
// Removes every couple the form takes part in, as slave or as master (the form goes: no
// couple may keep its address).
void RemoveAllFormCouples(TForm* Form);
// Some couple has the provider's form as master and the control as slave.
bool IsCoupledSlave(TsSkinProvider* Provider, TControl* Control);

// Value - Edge when Value lies within Buffer of Edge (both ends included), else 0.
int SnapDelta(int Value, int Edge, int Buffer);
// The distances by which a window of Own's size at (X, Y) lies off Target's edges within the
// provider's SnapBuffer: top then bottom for Delta.cy, left then right for Delta.cx.
void SnapToEdges(TsSkinProvider* Provider, const TRect& Target, const TRect& Own, TSize& Delta, int Y, int X);
// A form window rectangle grown (Grow) to the visible extended frame of the provider's border
// window, or such a frame shrunk back to its window rectangle; R itself without a border
// window. D: the caller's BorderFormBorderDiff.
TRect OuterEdges(TsSkinProvider* Provider, int D, const TRect& R, bool Grow);
// Every coupled slave of the master's form (VisibleOnly: the visible ones) gets the
// transparency (sub-command 65) the master shows while it is dragged.
void SetCoupledAlpha(TsSkinProvider* Master, std::uint8_t Alpha, bool VisibleOnly);
