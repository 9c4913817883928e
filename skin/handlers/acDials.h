#pragma once
// Skinning of top-level windows the engine did not create (system dialogs, foreign forms).
#include <windows.h>

// Decides whether a new top-level window is skinned by the default manager and takes it
// over; true when the window counts as handled. Filled later with the window handlers:
// so far no window is taken over.
bool SkinNewTopWindow(HWND Wnd, void* Info = nullptr);

#include <vector>

#include "platform/ui/Graphics.h"

class TacBorderForm;
class TacGlowForm;
class TsCommonData;
class TacProvider;

// The handler of a window the hook took over; its window receives the engine's messages.
// So far only what painting a dialog into its image reads of it is here.
class TacDialogWnd {
public:
  virtual ~TacDialogWnd() = default;
  HWND CtrlHandle = nullptr;
  TacBorderForm* BorderForm = nullptr;  // the extended border, none without
  TacProvider* Provider = nullptr;      // what the hook made for the dialog
  // The client area's place inside the dialog's non-client image. Filled with the dialog's
  // skinning: so far the image has no frame and both are 0.
  virtual int OffsetX() { return 0; }
  virtual int OffsetY() { return 0; }

  // ---- what the show animation reads and writes ----
  TsCommonData* SkinData = nullptr;  // the dialog's skin state, with the cached non-client image
  std::vector<TRect> ArOR;           // the corner rectangles (UpdateCornerRects refills them)
  // Renders the dialog's non-client image into the skin state's cache. Filled with the dialog's
  // skinning: so far the cache stays as it is.
  virtual void PaintAll() {}
  // Filled with the dialog's skinning: so far the corner rectangles stay and no region is set.
  virtual void UpdateCornerRects() {}
  virtual void ApplyWindowRgn(bool Redraw) { (void)Redraw; }
  // The caption height (UseExtended: the border form's extended title). Filled with the
  // dialog's skinning: so far the system's for a window with a caption.
  virtual int CaptionHeight(bool UseExtended) {
    (void)UseExtended;
    return (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & WS_CAPTION) == WS_CAPTION ? GetSystemMetrics(SM_CYCAPTION) : 0;
  }
  // The skin's shadow widths with a border form. Filled with the dialog's skinning: so far none.
  virtual void ShadowSize(TRect& R) { R = TRect{}; }
  // ---- end of what the show animation reads and writes ----
  TacGlowForm* CoverForm = nullptr;  // a cover over the dialog made before it closes, owned
};

// What the window hook makes for a form or system dialog the engine did not create: it holds
// the window's dialog handler, or none.
class TacProvider {
public:
  virtual ~TacProvider() = default;
  TacDialogWnd* DlgHandler = nullptr;
  // Prints the visible child windows of Wnd into DC at their places, recursively. Filled with
  // the window handlers: so far nothing is printed.
  virtual void PrintHwndControls(HWND Wnd, HDC DC) {
    (void)Wnd;
    (void)DC;
  }
};

// The providers the window hook made; nullptr until the skin manager first installs the hook,
// then kept until the handlers' clean-up. Entries may be nullptr.
extern std::vector<TacProvider*>* HookedProviders;

// ---- reached by the skin manager's hook installation ----
// The thread's WH_CBT hook procedure through which new dialogs and foreign windows are
// skinned. Filled later with the handler selection: so far it only passes the call on.
LRESULT CALLBACK DialogCbtHookProc(int Code, WPARAM WParam, LPARAM LParam);
// Frees the handlers of skinned popup-menu windows. Filled later with the handler
// selection: so far there are none.
void FreeMenuWindows();
// ---- end of the hook installation's block ----

// ---- glyphs of image lists ----------------------------------------------------------------
#include <cstdint>

#include "platform/ui/Graphics.h"

class TCustomImageList;
class TacSkinData;

enum TacDisabledKindBit : std::uint8_t { dkBlended = 1, dkGrayed = 2 };
using TacDisabledKind = std::uint8_t;

// One glyph to draw, filled by the caller.
struct TacGlyphDrawInfo {
  int Blend = 0;           // transparency percent in the normal state; 0 opaque
  int SkinIndex = -1;      // the control's section, -1 none
  int NumGlyphs = 1;       // state cells side by side in Glyph
  int ImageIndex = -1;
  int CurrentState = 0;    // 0 normal, 1 hot, 2 pressed
  bool Down = false;
  bool Grayed = false;
  bool Enabled = true;
  bool Reflected = false;
  TBitmap* Glyph = nullptr;      // used when there is no image list
  TBitmap* DstBmp = nullptr;     // the 32-bit bitmap to draw into, or nullptr
  TRect DstRect;
  TCanvas* DstCanvas = nullptr;  // the canvas to draw on when DstBmp is nullptr
  TColor BlendColor = clNone;
  TCustomImageList* Images = nullptr;
  int PPI = 96;
  TacSkinData* SkinData = nullptr;
  TacDisabledKind DisabledKind = 0;
};

// The number of images of a list; 0 for none.
int ImageListCount(TCustomImageList* List);
// PPI x the list's width div 96 (an icon-font glyph: its width times its scaling factor,
// without the PPI factor when the list does not scale); 0 without a list.
int ScaledImageWidth(TCustomImageList* List, int Index, int PPI);
// PPI x the list's height div 96 (an icon-font glyph: (height + |OffsetY|) times its scaling
// factor, rounded half to even); 0 without a list. Index -1 gives the plain list size.
int ScaledImageHeight(TCustomImageList* List, int Index, int PPI);
// The cell a glyph strip of NumGlyphs cells shows for a state; the manager's standard
// order uses cell 0 for hot, cell 1 for disabled and cell 0 for pressed without a third cell.
int ListGlyphCell(int CurrentState, int NumGlyphs, bool Enabled, bool StdGlyphsOrder);
// Draws the glyph Info describes into Info.DstBmp, or onto Info.DstCanvas without one:
// from alpha and icon-font lists, plain framework lists, or the glyph bitmap.
void DrawListGlyph(const TacGlyphDrawInfo& Info);

class TToolBar;
class TToolButton;
// The glyph of a framework tool button into Bmp, the tool bar's custom-drawn button image:
// State holds the owner-draw bits (odSelected, odHotLight, odChecked, odDisabled); the list
// is the tool bar's disabled, hot or normal one, placed as the tool bar lays its buttons out.
// Flags and Stage are the custom-draw call's and not read.
void DrawToolButtonGlyph(TToolBar* ToolBar, TToolButton* Button, unsigned State, TBitmap* Bmp, unsigned Flags,
                         int Stage);

#include <string>

// Window classes of foreign popup windows owned by forms that get no form skinning: sorted,
// compared exactly (case matters).
const std::vector<std::wstring>& PopupClassesToSkip();
bool IsPopupClassToSkip(const std::wstring& ClassName);
