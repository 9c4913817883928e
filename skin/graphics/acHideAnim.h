#pragma once
// Hide animations of closing windows. The last image of a closed skinned form or dialog is
// handed to a layered animation window, and one process-wide timer fades, shrinks or rolls
// it up there while the real window is already gone, so closing never waits for it.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acThdTimer.h"

class TsSkinProvider;
class TacDialogWnd;

// The frame geometry of a hide animation: the constant alpha Trans falling by p per frame
// and the rectangle (l, t, r, b) the image is drawn into, changing by dx, dy per frame.
struct TacHideGeometry {
  double Trans = 0;
  double p = 0;
  double dx = 0, dy = 0;
  double l = 0, t = 0, r = 0, b = 0;
};

// Starts the geometry of a Width x Height image shown at StartAlpha over StepCount frames:
// fading and zooming lose StartAlpha / StepCount per frame; the zoom shrinks by W/32 and H/32
// on each side over the animation; the roll-up keeps its alpha.
void HideGeometryInit(TacHideGeometry& G, TacAnimType Mode, int Width, int Height, int StepCount, int StartAlpha);
// The alpha of the next frame (Trans falls by p, not below 0), rounded half to even.
std::uint8_t HideGeometryNextAlpha(TacHideGeometry& G);
// Moves to the next frame's rectangle; false when the roll-up is done (its bottom below 2).
bool HideGeometryGoToNext(TacHideGeometry& G, TacAnimType Mode);
// Where the image goes in the frame: the zoom's rectangle (round(l), round(t), size
// round(r - l) x round(b - t)), the roll-up's from the top-left, or the whole image.
TRect HideGeometryDest(const TacHideGeometry& G, TacAnimType Mode, int Width, int Height);

// The one hide timer of the process, owned by the application object.
class TacHideTimer : public TacThreadedTimer, public TacHideGeometry {
public:
  explicit TacHideTimer(TComponent* Owner);
  // Fires the end event when it was not fired; frees the image, the frame and the window.
  ~TacHideTimer() override;
  void BeforeDestruction() override;
  std::wstring ClassName() const override { return L"TacHideTimer"; }

  TacDialogWnd* Dlg = nullptr;  // not used by the hide animation
  HWND ParentWnd = nullptr;     // the closed form's window; 0 for dialogs
  HDC DC = nullptr;             // the screen while a frame is pushed
  TForm* Form = nullptr;        // the animation window, owned while the animation runs
  SIZE FBmpSize{};
  POINT FBmpTopLeft{};
  BLENDFUNCTION FBlend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  int i = 0;
  int StartBlendValue = 255;
  int StepCount = 0;
  TacAnimType AnimType = atFading;
  bool EventCalled = false;
  std::unique_ptr<TBitmap> SrcBmp;
  std::unique_ptr<TBitmap> DstBmp;

  void Anim_Init();
  // Draws the next frame into DstBmp and sets its alpha.
  void Anim_DoNext();
  bool Anim_GoToNext();
  // One frame per call; after the last one the animation ends: event, window and images go.
  void OnTimerProc();
  // Once per animation, only for a form window of this process: its provider's
  // OnAfterAnimation(aeHiding).
  void CallEvent();

private:
  void Finish();
  void FreeAnimation();
};

// The process's hide timer; nullptr before the first hide animation and after the clean-up.
TacHideTimer* HideTimer();
// Frees the hide timer (the end of the program; the application object frees it otherwise).
void FreeHideTimer();

// Starts the hide animation of Image on the animation window Window and takes ownership of
// both. Time below 12 ms shows nothing. While the application terminates the frames are
// played here and then.
void PlayHideAnimation(TForm* Window, std::unique_ptr<TBitmap> Image, int Time, std::uint8_t StartAlpha,
                       TacAnimType Mode, HWND Owner);
// The hide animation of a closing skinned form, by the manager's FormHide settings.
void AnimHideSkinForm(TsSkinProvider* Provider);
// The hide animation of a closing skinned dialog, by the manager's DialogHide settings.
void AnimHideSkinDialog(TacDialogWnd* Dialog);
