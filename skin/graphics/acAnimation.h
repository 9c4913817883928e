#pragma once
// The skin-change transition: each visible skinned form blends from its old look to its new
// one, on layered windows at one frame every 12 ms, or, where layered windows are missing,
// as a cross-fade from a capture of the screen on a plain cover window every 24 ms. The flag
// AnimationInProgress and the layered-window routines are acLayeredAnim's.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"
#include "skin/graphics/acLayeredAnim.h"

class TControl;
class TBitmap;

// The plain cover window of a skin change where layered windows are not available: it shows
// only what is drawn into its window DC (its background and frame are never painted). Named
// "acOW" and the tick count, key-coloured, and never skinned. Without a parent it is a bare
// popup owned by the application window, topmost when its owner's window is.
class TOutputWindow : public TWinControl {
public:
  explicit TOutputWindow(TComponent* Owner);
  std::wstring ClassName() const override { return L"TOutputWindow"; }

protected:
  void CreateParams(TCreateParams& Params) override;
  void WndProc(TMessage& Message) override;
};

// Blends C from its old look to its new one in Time ms, towards the constant alpha Alpha,
// zooming in from slightly inside its bounds when asked. Nothing unless C's window is visible
// and its top-level window not minimized.
void AnimateSkinChange(TControl* Control, std::uint16_t Time, std::uint8_t Alpha, bool Zoom);
// Captures the screen under C and shows the cover window over it.
void CaptureForSkinChange(TControl* Control);
// Puts W just after C in their common parent's list of children (above C in Z order);
// nothing when C is not among them.
void PlaceAfterControl(TWinControl* W, TControl* C);

// The process-wide cover window of a transition (nullptr between transitions) and the screen
// capture it starts from (nullptr between transitions; freed at the latest at process end).
TWinControl* SkinChangeCover();
TBitmap* SkinChangeCapture();
