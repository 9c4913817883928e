#pragma once
// Skinned non-client scroll bars: the bar objects of a scrolling handler, the one tracking
// record of the process, the geometry of buttons, track and thumb, and the painters that the
// scroll-bar control handler uses too.
#include <windows.h>

#include <cstdint>

#include "platform/ui/Graphics.h"
#include "skin/handlers/acSBUtils.h"

class TacSkinData;

// Parts of a bar; they are also the scroll codes sent to the window (4 is a Shift-click in
// the track, a jump of the thumb).
enum : int {
  sbpNone = -1,
  sbpLineBefore = 0,
  sbpLineAfter = 1,
  sbpPageBefore = 2,
  sbpPageAfter = 3,
  sbpJump = 4,
  sbpThumb = 5,
};

// One bar of a scrolling handler.
class TacScrollBar {
public:
  TacScrollBar(TacScrollWnd* Owner, int BarType);
  std::uint16_t fScrollFlags = 0;  // 8 when the style shows this bar
  std::uint16_t nBarType = 0;      // 0 horizontal, 1 vertical
  int nArrowWidth = -1;            // fallbacks; negative: a multiple of the system's size
  int nArrowLength = -1;
  int nButSizeAfter = 0, nButSizeBefore = 0;  // room for extra buttons beside the arrows
  int nMinThumbSize = 16;
  bool fButVisibleBefore = false, fButVisibleAfter = false;
  TacScrollWnd* sw = nullptr;
  bool fScrollVisible = false;  // the bar takes room in the non-client area now
  SCROLLINFO ScrollInfo{};
  // Reads the window's scroll information of this bar; false when there is none.
  bool ReadInfo(HWND Wnd);
  bool Horizontal() const { return nBarType == 0; }
};

// The one press, drag or hover of the process.
struct TacScrollTracking {
  int PressedPart = sbpNone;
  HWND TrackWnd = nullptr;
  UINT ScrollMsg = 0;
  UINT_PTR HoverTimer = 0, RepeatTimer = 0;
  int TrackBar = -1;
  int HoverBar = -1;
  int PartUnderCursor = sbpNone;
  int LastHoverPart = sbpNone, HoverPart = sbpNone;
  RECT HoverRect{};
  int LastTrackValue = -1;
  int ThumbStart = 0, ThumbLength = 0, GrabOffset = 0;
  RECT DragBarRect{};
};
extern TacScrollTracking acScrollTrack;
constexpr int DefaultMinThumbSize = 16;
// Timer ids of the hover check, the first delay of the auto-repeat and the auto-repeat.
constexpr UINT_PTR acHoverTimerId = 0xFFF2, acRepeatDelayTimerId = 0xFFFD, acRepeatTimerId = 0xFFFE;
constexpr UINT acHoverInterval = 20, acRepeatDelay = 300, acRepeatInterval = 55;
// The bar kind of a non-client hit code: 0 for HTHSCROLL, 1 for HTVSCROLL, else -1.
int BarOfHitCode(LRESULT HitCode);

// ---- geometry (along the bar: x of a horizontal bar, y of a vertical one) ----
struct TacThumb {
  int Start = 0;   // screen coordinate of the thumb's start
  int Length = 0;
};
// The thumb of a bar starting at BarStart, BarLength long, with arrow buttons of
// ButtonLength: Win32 MulDiv rounding, no division can fault.
TacThumb ThumbGeometry(const SCROLLINFO& Info, int BarStart, int BarLength, int ButtonLength, int MinThumbSize);
// The part at Pos (along the bar) of a bar; Shift turns track parts into the jump.
int HitTestBarAlong(const SCROLLINFO& Info, int BarStart, int BarLength, int ButtonLength, int MinThumbSize, int Pos,
                    bool Shift);
// The value a thumb drag sends for a thumb at Offset past the first button; TrackLength is
// the room between the buttons.
int ThumbDragValue(const SCROLLINFO& Info, bool Vertical, int Offset, int TrackLength, int ThumbLength);
// The coarse value of a data-aware drop-down list's thumb release: Y from the bar's top,
// button length C, thumb length T, bar height H.
int CoarseReleaseValue(int Y, int C, int T, int H);
// The length the painter tests before it draws a thumb (L the room between the buttons).
int ThumbTestLength(const SCROLLINFO& Info, int L, int MinThumbSize);

// The arrow-button length of Bar of the handler's window (the button, not the bar).
int ScrollButtonLength(TacScrollBar* Bar);
// Screen rectangles of the two bars (empty when not visible).
TRect HorzScrollBarRect(TacScrollWnd* Handler, HWND Wnd);
TRect VertScrollBarRect(TacScrollWnd* Handler, HWND Wnd);
// Thumb of Bar inside Rect (screen).
TacThumb GetThumbPos(TacScrollBar* Bar, const TRect& Rect);
bool IsScrollBarEnabled(TacScrollBar* Bar);
// The part of Bar under the screen point P, -1 outside the bar's cross extent.
int HitTestScrollBar(TacScrollBar* Bar, HWND Wnd, const TRect& Rect, TPoint P);
// One scroll action: the window's own scroll message, bracketed by SCROLL_BEGIN/SCROLL_END.
void DoScrollCode(HWND Wnd, UINT ScrollMsg, int Code, int Pos);

// ---- painters ----
// A scroll button of the skin's button mask size measured from a standard 17-pixel button.
void FitScrollButtonRect(const TRect& Rect, TacSkinData* SkinData, int Side, TRect& Out);
void PaintScrollButton(const TRect& Rect, int State, TBitmap* Bitmap, int Side, TacSkinData* SkinData);
void PaintScrollThumb(const TRect& Rect, int State, TBitmap* Bitmap, bool Vertical, TacSkinData* SkinData);

// Registers the kind "TacScrollWnd" with the handler factory (the unit's start-up).
void RegisterScrollHandlerKind();
