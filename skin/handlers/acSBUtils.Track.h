#pragma once
// Value controls the engine did not create: track bars painted from the skin's "TRACKBAR"
// section (channel, ticks, thumb), the framework's stand-alone scroll bar painted and driven
// with the skin's scroll elements, and up-down controls, which keep their own look.
#include <windows.h>

#include <vector>

#include "platform/ui/Graphics.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/handlers/acSBUtils.h"

class TBitmap;
class TScrollBar;

// Shared with the button handlers (acSBUtils.Buttons): the handler's cache sized to its
// window, and a disabled control's cache mixed with what lies behind it.
TBitmap* SizedCache(TacMainWnd* H);
void MixDisabled(TBitmap* Cache, const TCacheInfo& Ci, TPoint WndPos);

// Evenly spaced tick coordinates along a track bar's channel (x values of a horizontal bar,
// y values of a vertical one): tick i at channel start + i * Step + thumb length div 2,
// rounded half to even. One tick lies where tick 0 would; none gives none (Step 0).
std::vector<int> EvenTickPositions(const TRect& Channel, const TRect& Thumb, int Count, bool Vertical, double& Step);

// Track bars ("msctls_trackbar32").
class TacTrackWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  int TickHeight = 4;
  bool bMousePressed = false;  // the left button went down on the bar and has not come up
  double iStep = 0;            // the distance between ticks at the last computation

  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  void AC_WMPaint(TMessage& Message);
  void PrepareCache();
  void PaintBody();
  void PaintBar();
  void PaintThumb();
  void PaintTicksHor();
  void PaintTicksVer();
  void PaintTick(TPoint P, bool Horizontal);
  void TicksArray(std::vector<int>& Ticks);
  void ChannelRect(TRect& R);
  void ThumbRect(TRect& R);
  bool IsVertical();
  int TickMarks();  // 2 both sides, 1 top or left, 0 bottom or right
  bool TickStyle();
  int TickCount();
  // The client coordinate of manual tick Index (TBM_GETTICPOS), -1 for none. Painting does
  // not ask it: every tick row is spaced evenly, manual ticks only count.
  int TickPos(int Index);
  int Mode() const { return bMousePressed ? 1 : 0; }

private:
  // The "TRACKBAR" section's mask of that name, -1 when the skin has none loaded.
  int TrackMask(const wchar_t* Name);
};

// The framework's stand-alone scroll bar (TScrollBar and the classes of its list).
class TacSBWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  int FCurrPos = 0;
  int FBar1State = 0, FBar2State = 0, FBtn1State = 0, FBtn2State = 0, FSliderState = 0;
  SCROLLINFO FSI{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  TRect FBtn1Rect, FBtn2Rect, FBar1Rect, FBar2Rect, FSliderRect;
  TPoint p;
  TCacheInfo CI;
  TWinControl* Control = nullptr;
  bool FRepainting = false;
  int FLockCount = 0;
  int MouseOffset = 0;
  int ScrollCode = SB_ENDSCROLL;

  void AfterCreation() override;
  void InitScrollData();
  void acWndProc(TMessage& Message) override;
  void WMPaint(TMessage& Message);
  void WMNCHitTest(TMessage& Message);
  void LMouseDown(int X, int Y);
  void LMouseUp(int X, int Y);
  void CMMouseEnter();
  void CMMouseLeave();
  // Element 0 first button, 1 second button, 2 first track part, 3 second, 4 thumb.
  void SetElementState(int Element, int State);
  void UpdateBar();
  TRect Btn1Rect();
  TRect Btn2Rect();
  TRect Bar1Rect();
  TRect Bar2Rect();
  TRect SliderRect();
  int SliderSize();
  int WorkSize();
  int SysBtnSize();
  int PositionToCoord();
  int CoordToPosition(TPoint P);
  int BarIsHot();
  void DrawSlider(TBitmap* Bmp);
  bool Vertical();
  // The length along the bar and the thickness across it.
  int Length();
  int Thickness();

private:
  int& ElementState(int Element);
  void LockedBaseHandling(TMessage& Message);
  TScrollBar* Bar();
};

// Up-down controls (and the tab control's arrows): they keep their own visual style.
class TacSpinWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  int lOffset = 0;
  void AfterCreation() override;
};

// Registers the kinds above with the handler factory.
void RegisterTrackHandlerKinds();
