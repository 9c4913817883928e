#pragma once
// The skin-change transition: each form blends from its old look to its new one. The flag
// AnimationInProgress and the layered-window routines are acLayeredAnim's.
#include <windows.h>

#include <cstdint>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"
#include "skin/graphics/acLayeredAnim.h"

class TControl;
class TBitmap;

// The plain cover window of a skin change where layered windows are not available: it shows
// what is drawn into its window DC. Filled with the skin-change animation: so far only the
// class is there, so painting code can leave it out of pictures of a form.
class TOutputWindow : public TWinControl {
public:
  explicit TOutputWindow(TComponent* Owner) : TWinControl(Owner) {}
  std::wstring ClassName() const override { return L"TOutputWindow"; }
};

// Blends a form from its cover (its look before a skin change) to its new look in Time ms,
// at the form's Alpha, zooming when asked. Filled with the animations: so far nothing plays.
void AnimateSkinChange(TControl* Control, std::uint16_t Time, std::uint8_t Alpha, bool Zoom);
