#pragma once
// The moving pictures of a skinned form: the moving blend of a caption drag, the minimize and
// restore animation into the taskbar, the caption cover; the free routines (taskbar images,
// form images, cover forms, the rescale steps) are declared in sSkinProvider.h.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/acntTypes.h"

// The moving blend of a form: every 12 ms the form (or its border window) shows the next
// alpha on the way from CurrentBlendValue down to BlendValue.
class TacMoveTimer : public TacThreadedTimer {
public:
  TacMoveTimer(TComponent* AOwner, bool ChangeEvent) : TacThreadedTimer(AOwner, ChangeEvent) {}
  std::wstring ClassName() const override { return L"TacMoveTimer"; }
  void TimeHandler() override;
  std::uint8_t BlendValue = 255;
  HWND FormHandle = nullptr;
  TacBorderForm* BorderForm = nullptr;
  double BlendStep = 0;
  double CurrentBlendValue = 255;
  // The alpha the next tick shows.
  std::uint8_t ShownAlpha() const;
};

// The minimize and restore animation of a form: a picture of the form shrinks into the
// taskbar (6 ms a frame) and, on restore, eases back from below the window into place.
class TacMinTimer : public TacThreadedTimer {
public:
  // Owned by Owner (a provider): InitData runs.
  static TacMinTimer* CreateOwned(TsSkinProvider* Owner, bool ChangeEvent);
  TacMinTimer(TComponent* AOwner, bool ChangeEvent) : TacThreadedTimer(AOwner, ChangeEvent) {}
  ~TacMinTimer() override;
  std::wstring ClassName() const override { return L"TacMinTimer"; }
  void InitData();
  void InitDataRestore();
  void UpdateDstRect();
  TRect GetRectTo(const TRect& RectFrom);
  std::uint8_t AlphaFrom();
  void TimeHandler() override;

  double CurrentAlpha = 0;
  double BlendStep = 0;
  double CurRight = 0, CurLeft = 0, CurTop = 0, CurBottom = 0;
  int StepCount = 1;
  int XFrom = 0, YFrom = 0, XTo = 0, YTo = 0;
  double DelPosX = 1, DelPosY = 1, BlendDel = 1;
  double DeltaX = 0, DeltaY = 0, DeltaW = 0, DeltaH = 0;
  std::uint8_t AlphaOrigin = 255;
  std::uint8_t AlphaTo = 0;
  TRect RectFrom, RectTo;
  DWORD TBPosition = 0;
  TForm* AnimForm = nullptr;  // the border window, or a cover form made here
  TsSkinProvider* sp = nullptr;
  HWND FormHandle = nullptr;
  TacBorderForm* BorderForm = nullptr;
  std::unique_ptr<TBitmap> SavedImage;
  std::unique_ptr<TBitmap> AlphaBmp;
  bool Minimized = false;
  bool AlphaFormWasCreated = false;
  // Frees AnimForm when this timer made it; forgets it either way.
  void FreeAnimForm();

private:
  void EndRestore(const std::shared_ptr<bool>& Alive);
  void EndMinimize();
};

// The small window that hides the caption while Windows draws its own: it paints the
// provider's cache.
class TacCaptForm : public TacGlowForm {
public:
  explicit TacCaptForm(TComponent* AOwner) : TacGlowForm(AOwner) {}
  std::wstring ClassName() const override { return L"TacCaptForm"; }
  TsSkinProvider* SP = nullptr;

protected:
  void WndProc(TMessage& Message) override;
};

// ---- the arithmetic of the animations, apart from the windows ----
// The per-tick step of the moving blend for a drag time in milliseconds.
double MoveBlendStep(std::uint8_t BlendValue, int TimeMs);
// The minimize path's step count for a minimize time in milliseconds (at least 1).
int MinimizeStepCount(int TimeMs);
// The three-quarter rectangle of a form of RectFrom's size centred on the taskbar rectangle
// Taskbar, and the taskbar's side (1 left, 2 top, 4 right, 8 bottom).
TRect TaskbarTargetRect(const TRect& Taskbar, const TRect& RectFrom, DWORD& Position);
// One rescale frame size after Current towards Target (half-way, integer).
int ScaleStepSize(int Current, int Target);
// The restore path's divisor for a starting distance: below 1 it takes 1, so an axis with no
// distance to cover cannot stop the restore from ending.
double RestoreDivisor(double Distance, int Steps);
