#pragma once
// Hover glows of skinned controls: a layered, click-through window around the control,
// painted once from the skin's glow image and then only shown at another constant alpha
// while the control's fade runs. A control keeps its glow by index (GlowID) in the list of
// the process; released glows leave their slot empty, so identifiers never move.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"
#include "skin/controls/acFades.h"  // the fades that show and release glows

class TsCommonData;
class TsSkinManager;
class TacGlowForm;

class TacGlowEffect {
public:
  // No window yet, not destroyed.
  TacGlowEffect() = default;
  // Destroy: the window gets its procedure back and goes (at once while the manager or the
  // application ends, else after its current message); the image goes.
  ~TacGlowEffect();
  TacGlowEffect(const TacGlowEffect&) = delete;
  TacGlowEffect& operator=(const TacGlowEffect&) = delete;

  // A new W x H image: clear, the glow image nine-sliced over it, toned like the control.
  void CreateAlphaBmp(int Width, int Height);
  // Makes and shows the window around RealRect (screen) at the constant Alpha, placed in
  // the Z order beside WndHandle; nothing when the window exists.
  void Show(const TRect& R, const TRect& RealRect, std::uint8_t Alpha, HWND WndHandle);
  // The window's procedure while it is a glow: the mouse goes through it.
  void NewWndProc(TMessage& Message);
  // The window gets its procedure back; it is freed at once when Now, else released.
  void FreeWindow(bool Now);

  int Margin = 0;      // how far the image's borders reach inside the control rectangle
  int MaskIndex = -1;  // the glow image in the skin data's images
  TacGlowForm* Wnd = nullptr;
  std::unique_ptr<TBitmap> AlphaBmp;
  bool Destroyed = false;
  TWndMethod OldWndProc;
  TsSkinManager* SkinManager = nullptr;
  TsCommonData* SkinData = nullptr;
};

using TacGlowEffects = std::vector<std::unique_ptr<TacGlowEffect>>;

// The glows of the process by identifier; empty slots are released glows.
TacGlowEffects& GlowList();
// Set while a glow window is being freed: ReleaseAllGlows waits for the outer call.
extern bool GlowReleasing;

// Shows a glow around R (screen) from the image MaskPrefix + "0" of the section SkinSection
// (the state's own section when empty); its identifier, or -1 without layered windows,
// state, image or while a window has the mouse captured (then no window is made).
int ShowGlowEffect(const TRect& R, const std::wstring& SkinSection, const std::wstring& MaskPrefix, int Margin,
                   std::uint8_t Alpha, HWND WndHandle, TsCommonData* Data);
// The same from the first of the images' indexes; -1 when there is none or it is negative.
int ShowGlowByMaskIndex(const TRect& R, const std::vector<int>& MaskIndexes, int Margin, std::uint8_t Alpha,
                        HWND WndHandle, TsCommonData* Data);
// Hides and frees the glow with that identifier and sets GlowID to -1; nothing for an
// identifier without glow. Animated (and animation allowed): the glow fades out first and
// goes at the end of that fade.
void ReleaseGlowById(int& GlowID, bool Animated);
// Frees every glow of the process (their windows at once when asked), sets each owner's
// GlowID to -1 and empties the list.
void ReleaseAllGlows(bool FreeWindows = false);
// Shows the glow's image again at the constant Alpha.
void SetGlowAlpha(int GlowID, std::uint8_t Alpha);
