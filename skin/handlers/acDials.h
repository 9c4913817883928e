#pragma once
// Skinning of top-level windows the engine did not create (system dialogs, foreign forms).
#include <windows.h>

// Decides whether a new top-level window is skinned by the default manager and takes it
// over: true when the window counts as handled (skinned now, or never to be skinned); false
// when it is left alone and may be tried again at a later activation. Info: an optional
// creation record (CREATESTRUCTW) whose class name, when not empty, replaces the window's.
bool SkinNewTopWindow(HWND Wnd, void* Info = nullptr);

#include <vector>

#include "platform/ui/Graphics.h"
#include "skin/handlers/acSBUtils.h"

class TacBorderForm;
class TacGlowForm;
class TsCommonData;
class TacProvider;

#include "skin/handlers/acDials.Dialog.h"

class TForm;
class TsSkinProvider;
class TacMainWnd;
class TsSkinManager;

// What the window hook makes for a form or system dialog the engine did not create: a
// run-time form provider for a framework form, or the dialog handler and one handler per
// child window for a system dialog.
class TacProvider {
public:
  TacProvider() = default;
  TacProvider(const TacProvider&) = delete;
  TacProvider& operator=(const TacProvider&) = delete;
  virtual ~TacProvider();
  HWND CtrlHandle = nullptr;      // the dialog or form window
  TsSkinProvider* sp = nullptr;   // a framework form's run-time provider (the form owns it)
  TacDialogWnd* ListSW = nullptr; // a dialog's handler, owned
  std::vector<TacMainWnd*> acSkinnedCtrls;  // handlers of the dialog's children, owned
  TForm* OwnerForm = nullptr;     // the form the provider was made for

  void InitForm(TForm* Form);
  // True when the dialog was taken over.
  bool InitSkin(HWND Wnd);
  // Handlers for the children of Wnd, each child's descendants first; false stops the walk.
  bool InitHwndControls(HWND Wnd);
  // A handler for one child window; false only for a zero handle.
  bool AddControl(HWND Wnd);
  // Prints the visible child windows of Wnd into DC at their places, recursively below the
  // children it prints.
  virtual int PrintHwndControls(HWND Wnd, HDC DC);
};

// The providers the window hook made; nullptr until the skin manager first installs the hook,
// then kept until the handlers' clean-up. Entries may be nullptr.
extern std::vector<TacProvider*>* HookedProviders;

// ---- handler selection ----
// The handler a dialog's child gets: its kind (a handler class name; empty: none) and section.
struct TacControlChoice {
  std::wstring Kind;
  std::wstring Section;
  bool RepaintFromCache = false;   // Repaint := the dialog handler's cache is not empty
  bool ClearsPaintForbidden = false;
  bool PanelControl = false;       // the framework control of the window becomes the Control
  bool SilentPanel = false;        // the panel's Tag becomes 999 and its text is cleared
  bool SpinOffset = false;         // the spin handler's lOffset becomes 2
};
// LowerClass: the lower-cased window class name; Height: the window rectangle's height.
TacControlChoice ChooseControlHandler(const std::wstring& LowerClass, LONG Style, LONG ExStyle, bool Visible,
                                      int Height);
// Creates, keeps or drops the dialog handler of Wnd.
void CreateDialogHandler(HWND Wnd, TacDialogWnd*& Handler);
TacProvider* FindDialogProvider(HWND Wnd);
TForm* FindFormByHandle(HWND Wnd);
int VisibleDialogCount();
void PurgeDialogProviders();
bool HasDescendantOfClass(HWND Wnd, const std::wstring& LowerClassName);
void SendToChildWindows(HWND Wnd, TMessage& Message);
// The transparency while a dialog is moved by its caption: the drag runs inside Start, which
// ends with Stop.
void StartDialogBlendOnMoving(TacDialogWnd* Handler);
void StopDialogBlendOnMoving(TacDialogWnd* Handler);
// Limit of skinned dialogs visible at once, and the form tag that keeps a form unskinned.
constexpr int acMaxVisibleDialogs = 2;
constexpr std::intptr_t acSkipSkinningTag = 256;
// ---- end of handler selection ----

// ---- reached by the skin manager's hook installation ----
// The thread's WH_CBT hook procedure through which new dialogs, foreign forms and popup-menu
// windows are skinned. The next hook's answer is always returned.
LRESULT CALLBACK DialogCbtHookProc(int Code, WPARAM WParam, LPARAM LParam);
// Frees the handlers of skinned popup-menu windows.
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

// ---- the dialog-provider list's end ----
// Frees every provider of the list and the list (the handlers' clean-up).
void FreeDialogProviders();
