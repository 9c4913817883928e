#pragma once
// The skin engine's one private window message and its senders.
//
// Windows, forms, controls and window handlers of the engine ask and tell one another
// through SM_SKINCOMMAND: the sub-command stands in the high word of WParam and a small
// argument in the low word; LParam carries the argument proper (often an object or a record
// of this process). A skinned window (its "ACSDATA" property names its skin state) gets the
// message by a direct call of the window procedure kept in that state; graphic controls get
// it by Perform; anything else by SendMessageW.
//
// The direct call fills a TMessage on the stack and calls the procedure: no dispatch, no
// hooks, no thread marshalling, no allocation. An exception of the receiver reaches the
// sender as it would from any C++ call; a message that goes through SendMessageW never
// carries one back (the platform's window-procedure entry reports it). The senders catch
// nothing.
//
// Because LParam is an address of this process, the message is private (platform
// RegisterPrivateMessage): sent from another process or from a thread of ours that did not
// mark the send it reaches no receiver, and posted it is dropped unless it is one of the two
// sub-commands that are posted on purpose.
#include <windows.h>

#include <cstdint>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

class TBitmap;
class TsSkinManager;

constexpr UINT SM_SKINCOMMAND = 0xA100;

// Sub-commands; numbers that are not here are not used.
enum : WORD {
  SKCMD_NEW_SKIN = 1,
  SKCMD_REMOVE_SKIN = 2,
  SKCMD_REFRESH = 3,
  SKCMD_GET_PROVIDER = 4,
  SKCMD_CHILD_PAINTED = 5,
  SKCMD_END_UPDATE = 6,
  SKCMD_IS_SKINNED = 7,
  SKCMD_SET_UPDATING = 8,
  SKCMD_DEFAULT_SECTION = 9,
  SKCMD_IS_UPDATING = 10,
  SKCMD_IS_HALF_VISIBLE = 11,
  SKCMD_GET_HANDLER = 12,
  SKCMD_SECTION_CHANGED = 13,
  SKCMD_BORDER_DRAWN = 14,
  SKCMD_SET_SECTION = 15,
  SKCMD_STOP_ANIMATION = 16,
  SKCMD_BG_CHANGED = 17,
  SKCMD_INVALIDATE = 18,
  SKCMD_BG_VARIES = 19,
  SKCMD_PARENT_MOVED = 20,
  SKCMD_GET_BG_COLOR = 21,
  SKCMD_SET_HALF_VISIBLE = 22,
  SKCMD_PREPARE_CACHE = 23,
  SKCMD_ADD_CONTROLS = 25,
  SKCMD_GET_SKIN_INDEX = 26,
  SKCMD_CAPTION_HEIGHT = 27,
  SKCMD_INIT_CHILD_WINDOWS = 28,
  SKCMD_MOUSE_ENTER = 29,
  SKCMD_MOUSE_LEAVE = 30,
  SKCMD_UPDATE_BEGIN = 31,
  SKCMD_UPDATE_END = 32,
  SKCMD_DROP_CACHE = 33,
  SKCMD_GET_BG_INFO = 34,
  SKCMD_FONT_CHANGED = 36,
  SKCMD_GET_COMMON_DATA = 37,
  SKCMD_SET_PRINT_DC = 38,
  SKCMD_PAINT_OUTER_EFFECT = 40,
  SKCMD_SCROLL_BEGIN = 51,
  SKCMD_SCROLL_END = 52,
  SKCMD_FRAME_CHANGED = 53,
  SKCMD_MODAL_BTN_COLORS = 54,
  SKCMD_GET_APPLICATION = 60,
  SKCMD_CLIENT_OFFSET = 61,
  SKCMD_TITLE_CHANGED = 62,
  SKCMD_SET_COUPLED = 63,
  SKCMD_IS_COUPLED = 64,
  SKCMD_SET_ALPHA = 65,
  SKCMD_FIND_OPAQUE_SECTION = 66,
  SKCMD_FRAME_SIZE = 67,
  SKCMD_PPI_CHANGED = 68,
  SKCMD_GET_PPI = 69,
  SKCMD_GET_BOUNDS = 70,
  SKCMD_APPLY_PREVIEW = 71,
  SKCMD_POPUP_CLOSED = 72,
  SKCMD_MOVE_SHADOW = 73,
  SKCMD_LIST_SKIN_CHANGED = 74,
  SKCMD_LIST_CHANGED = 75,
  SKCMD_FORM_IMAGE = 76,
  SKCMD_FORM_REPAINTED = 77,
  SKCMD_FORM_ALPHA = 78,
  SKCMD_BORDER_ZORDER = 79,
  SKCMD_BORDERS_SHOWN = 80,
  SKCMD_MOVE_BLEND_START = 81,
  SKCMD_MOVE_BLEND_BORDER = 82,
  SKCMD_NC_AREA_CHANGED = 83,
  SKCMD_PAINTS_OWN_BG = 85,
  SKCMD_GET_SKIN_DATA = 86,
  SKCMD_ANIMATED_SCALE = 87,
};

// WParam of the message: the sub-command in the high word, a small argument in the low one.
constexpr WPARAM SkinCommandWParam(WORD command, WORD argument = 0) {
  return (static_cast<WPARAM>(command) << 16) | argument;
}
// The sub-command of a WParam.
constexpr WORD SkinCommandOf(WPARAM wParam) { return static_cast<WORD>((wParam >> 16) & 0xFFFF); }

// The record of sub-commands 34 (asked by a child for the background behind it) and 40.
// It never leaves the process.
struct TacBGInfo {
  TBitmap* Bmp = nullptr;    // type 2: the bitmap holding the background (not owned)
  TColor Color = 0xFF00FF;   // type 1: the plain colour; 0xFF00FF when there is none
  TPoint Offset;             // type 2: where the asker's area begins in Bmp
  TRect R;                   // the asker's rectangle (with PleaseDraw: its place in DrawDC)
  TRect FrameRect;           // type 1 with a border: the border widths around the colour
  std::uint8_t BgType = 0;   // 0 not answered, 1 colour, 2 bitmap and offset, 3 not ready
  bool PleaseDraw = false;   // draw the background into DrawDC instead of describing it
  HDC DrawDC = nullptr;
};
// BgType values.
enum : std::uint8_t { btUnknown = 0, btFill = 1, btCache = 2, btNotReady = 3 };

// The record of sub-command 66: which section's background shows at the asker.
struct TacSectionQuery {
  int State = 0;       // 0 normal, 1 hot, 2 pressed or focused
  int SkinIndex = -1;  // answer; the asker gives it a starting value
  TRect R;             // the asker's bounds, offset by each control it is passed through
  TsSkinManager* Manager = nullptr;
};

// ---- senders -------------------------------------------------------------------------

// A message to a window: a direct call of the procedure kept in its skin state when it has
// one, else SendMessageW (0 for an invalid window).
LRESULT SendSkinMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The library message with a sub-command (no small argument) to a window.
LRESULT SendSkinCommand(HWND wnd, WORD command, LPARAM lParam);
// A message to a control: a graphic control by its Perform; a windowed control without a
// window (or being destroyed) gets nothing and no window is made for it.
LRESULT SendSkinMessageToControl(TControl* control, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT PerformSkinCommand(TControl* control, WORD command, LPARAM lParam);
LRESULT QuerySkinCommand(TControl* control, WORD command);
// True only when the window answers the sub-command with exactly 1.
bool WindowSkinFlag(HWND wnd, WORD command);
LRESULT SetWindowRedraw(HWND wnd, WPARAM flag);

// The message to every child control of P, depth first, by index while the index is below
// the child count read again before each child. The broadcast ends at the first child
// being destroyed. Graphic and window-less children get it by Perform (no window is made);
// a windowed child is not descended into when it is skinned itself (it passes the message
// on) or when it is no longer P's child after its message. Msg.Result is left as it was.
void BroadcastToAllChildren(TWinControl* parent, const TMessage& msg);
// The message to the direct child windows of a window (not recursive).
void BroadcastToChildWindows(HWND parent, const TMessage& msg);
// SKCMD_END_UPDATE to the showing children of a control (not while an animation paints).
void RepaintChildControls(TControl* control);
// SKCMD_END_UPDATE to every child window (WS_CHILD) of a window in Z order.
void RepaintChildWindows(HWND parent);

// The background colour a control shows, as RGB; 0xFF00FF when there is no control.
TColor ControlBkColor(TControl* control);
// The background colour a window shows, as RGB; 0xFF00FF when there is no window.
TColor WindowBkColor(HWND wnd);
// Asks the control's top-most form to attach its skin handlers to the control (not while
// the control is loading; no form window is made for it).
void AddToFormAdapter(TControl* control);

// Makes SM_SKINCOMMAND private (see above). Runs on the UI thread; repeated calls do nothing.
void GuardSkinMessages();
// Sends the library message from a worker thread of ours: the receiver takes it.
LRESULT SendSkinCommandFromThread(HWND wnd, WORD command, LPARAM lParam);
