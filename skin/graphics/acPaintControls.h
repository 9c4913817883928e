#pragma once
// Pictures of controls: a control with all its descendants rendered into a work bitmap
// (what the show, hide and skin-change animations play), a skinned dialog's client part
// into its non-client image, and the graphic children of a container painted onto a device
// context of its choice over the background they stand on.
#include <windows.h>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

class TBitmap;
class TsSkinProvider;
class TacDialogWnd;

// Renders Control and its descendants into Bitmap, whose DC origin the caller has put at
// the control's top-left corner. (X, Y) is the control's place in the bitmap, used when a
// hidden control is stood in for by what its parent shows there. Provider: the form's skin
// provider when a whole form is rendered (its client area becomes opaque with a border
// form, and the form hears SKCMD_FORM_IMAGE). PaintOverlapping: later visible siblings that
// overlap the control are rendered over it as well.
void PaintControlToBitmap(TBitmap* Bitmap, TControl* Control, int X, int Y, TsSkinProvider* Provider = nullptr,
                          bool PaintOverlapping = false);
// The dialog's client part into its cached non-client image Bitmap at the dialog's client
// offsets: copied from the screen, or printed from its child windows; the client part (or,
// printed without a border form, the whole image) becomes opaque.
void PaintDialogToBitmap(TacDialogWnd* Dialog, TBitmap* Bitmap, bool FromScreen);
// The graphic children of Control painted onto DC at Offset (CheckVisible: nothing for a
// hidden container), each over its own background through one off-screen bitmap. A call
// made while another runs (a child painting its parent) returns at once.
void PaintGraphicChildren(HDC DC, TWinControl* Control, TPoint Offset, bool CheckVisible);
