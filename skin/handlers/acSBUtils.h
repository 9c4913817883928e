#pragma once
// Window handlers: objects that take over windows the engine did not create (standard
// controls of the framework, controls inside system dialogs, dialogs, popup-menu windows),
// paint them from the skin and give them back exactly as they were when the skin goes or the
// window dies. This unit holds the handler base, the factory of handler kinds, the routines
// every handler shares (fonts, cache rendering, corners, properties by name) and the window
// property "ACSBSC" by which a scrolling handler is found.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

class TacSkinData;

class TsCommonData;
class TsSkinManager;
class TsSkinProvider;
class TsScrollWndData;
class TForm;
class TCanvas;
class TFont;
class TacCtrlAdapter;

// What a window handler is made with: the skin section it paints with (empty: the kind's
// default), the control it serves, whether the skin's colour and font colour replace the
// control's own, and the scroll-bar sizes (vertical and horizontal bar, button; negative:
// the skin's), which only the scrolling handlers read.
struct TacSkinParams {
  std::wstring SkinSection;
  int VertScrollSize = -1;
  int HorzScrollSize = -1;
  int VertScrollBtnSize = -1;
  int HorzScrollBtnSize = -1;
  TControl* Control = nullptr;
  bool UseSkinColor = false;
  bool UseSkinFontColor = false;
};

// Name of the window property that points to a window's scrolling handler.
inline constexpr wchar_t acScrollHandlerProp[] = L"ACSBSC";

class TacMainWnd;
class TacHandlerSubclass;

// The handler base. A handler is made in two steps: construction stores what it is made
// with, Attach runs the creation steps (which call overridden operations, so they must run
// on the finished object); and freed in two: Release gives back what it took (again with
// overridden operations), then delete. NewHandler, CreateHandler and FreeHandler do both.
class TacMainWnd {
public:
  TacMainWnd(HWND AHandle, bool Repaint, const TacSkinParams& Params, TsSkinManager* Manager,
             TsCommonData* SharedData);
  TacMainWnd(const TacMainWnd&) = delete;
  TacMainWnd& operator=(const TacMainWnd&) = delete;
  // Runs the base's release when Release did not run (a handler deleted directly).
  virtual ~TacMainWnd();

  // ---- fields ----
  bool DlgMode = false;        // serves a control inside a foreign dialog
  bool Destroyed = false;      // detached from its window
  bool DontRepaint = false;
  bool OwnSkinData = false;    // SkinData is the handler's own
  bool InDestroying = false;   // set by descendants while they tear down
  bool ParamsChanged = false;  // SetSkinParams ran
  TRect WndRect, ParentRect;   // screen coordinates
  TColor StdColor = clNone, StdFontColor = clNone;
  HWND ParentWnd = nullptr;
  HWND CtrlHandle = nullptr;
  TSize WndSize;
  TPoint WndPos;               // in the parent's client coordinates
  std::wstring Caption;
  int Tag = 0;
  TControlStyle OldCtrlStyle = 0;  // the owner control's style before csOpaque was added
  TWndMethod OldWndProc;           // the framework procedure before the handler
  WNDPROC OldProc = nullptr;       // the window's procedure when the handler subclassed it
  TsSkinManager* SkinManager = nullptr;
  TsCommonData* SkinData = nullptr;
  // The subclass record in the window's chain (comctl32's subclassing): it outlives the
  // handler when needed and passes everything on once the handler is gone.
  TacHandlerSubclass* NewWndProcInstance = nullptr;
  TacCtrlAdapter* Adapter = nullptr;
  // The factory kind the handler was made as (the handler class's name), empty otherwise.
  std::wstring KindName;
  // The procedure senders call directly for the handler's window (the handler's acWndProc).
  TWndMethod WndProcMethod;

  // ---- virtual operations ----
  virtual void AfterCreation();
  virtual void SaveStdParams() {}
  virtual void RestoreStdParams();
  virtual void SetSkinParams();
  virtual void InitSkinData();
  virtual void acWndProc(TMessage& Message);
  // The creation steps, run once by Attach; a kind with steps of its own replaces them.
  virtual void Create();
  // The window of the subclass record Sub is gone; the record no longer calls the handler.
  virtual void SubclassGone(TacHandlerSubclass* Sub);

  // The creation steps (once); then Release and delete.
  void Attach();
  void Release();
  bool Attached() const { return FAttached; }
  bool Released() const { return FReleased; }

  LRESULT ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam);
  LRESULT CallPrevWndProc(HWND Handle, UINT Msg, LPARAM& LParam, WPARAM WParam);
  // The same for a message record: its result is the previous procedure's.
  void CallPrevWndProc(TMessage& Message);
  // The window's own font is put back and the font given to it freed (InitHandlerFont).
  void GiveFontBack();

  // A framework method calling this handler's acWndProc.
  TWndMethod HandlerMethod();

protected:
  TacMainWnd() = default;  // for handlers that stand on the least of the base
  bool FRepaint = false;
  TacSkinParams FParams;
  TsCommonData* FSharedData = nullptr;
  bool FAttached = false;
  bool FReleased = false;
  bool FResending = false;      // the destroy message is being sent again to the window
  HFONT FGivenFont = nullptr;   // the font the window was given (owned)
  HFONT FOwnFont = nullptr;     // the window's font before
  bool FFontGiven = false;
  bool FCtrlStyleSaved = false;  // OldCtrlStyle holds the owner control's style
  // The creation step of the skin state: the shared state, or the handler's own one given
  // the parameters (ApplyParams).
  void TakeSkinState();
  // Writes the parameters' section, colours and manager into the handler's own state.
  virtual void ApplyParams();
  // The creation step that saves the owner control's style and makes it opaque; the owner.
  TControl* MakeOwnerOpaque();
  friend void SubclassWindow(TacMainWnd* Handler, HWND Wnd);
  friend void DetachHandler(HWND Wnd, bool FreeIt, bool FrameChanged, TacMainWnd*& Handler);
  friend void InitHandlerFont(TacMainWnd* Handler, bool SetFont);
  friend void PrepareSectionCache(TacMainWnd* Handler, TRect& ClientRect, std::int32_t& BorderWidth);

private:
  void ReleaseBase();
  void HandleDestroy(TMessage& Message);
  void HandleSkinCommand(TMessage& Message);
};

// ---- the factory of handler kinds ----
// Makes an unattached handler of a kind.
using TacHandlerMaker = std::function<TacMainWnd*(HWND Wnd, bool Repaint, const TacSkinParams& Params,
                                                  TsSkinManager* Manager, TsCommonData* SharedData)>;
// Registers (or replaces; an empty maker removes) the maker of a kind named by its handler
// class ("TacEditWnd").
void RegisterHandlerKind(const std::wstring& Kind, TacHandlerMaker Maker);
// The maker of a handler class that is made from the maker's own arguments.
template <class T>
TacHandlerMaker HandlerMakerOf() {
  return [](HWND Wnd, bool Repaint, const TacSkinParams& Params, TsSkinManager* Manager,
            TsCommonData* SharedData) -> TacMainWnd* { return new T(Wnd, Repaint, Params, Manager, SharedData); };
}
bool HandlerKindRegistered(const std::wstring& Kind);
// The maker of a kind (empty when none is registered), so a caller that replaces it for a
// while can put it back.
TacHandlerMaker HandlerKindMaker(const std::wstring& Kind);
// A handler of the kind, made and attached; nullptr for a kind nobody registered.
TacMainWnd* CreateHandler(const std::wstring& Kind, HWND Wnd, bool Repaint, const TacSkinParams& Params,
                          TsSkinManager* Manager, TsCommonData* SharedData);
// A handler of class T, made and attached.
template <class T>
T* NewHandler(const std::wstring& Kind, HWND Wnd, bool Repaint, const TacSkinParams& Params, TsSkinManager* Manager,
              TsCommonData* SharedData) {
  T* handler = new T(Wnd, Repaint, Params, Manager, SharedData);
  handler->KindName = Kind;
  handler->Attach();
  return handler;
}
// Releases and deletes a handler; the variable is cleared.
void FreeHandler(TacMainWnd*& Handler);
template <class T>
void FreeHandlerOf(T*& Handler) {
  TacMainWnd* h = Handler;
  Handler = nullptr;
  FreeHandler(h);
}

// ---- attaching and detaching ----
// Attaches a non-scrolling handler: a foreign window through the subclass record, a framework
// control (or a provider's form) through its WindowProc.
void SubclassWindow(TacMainWnd* Handler, HWND Wnd);
// Detaches a handler (not Destroyed); with FreeIt it is freed and the variable cleared.
void DetachHandler(HWND Wnd, bool FreeIt, bool FrameChanged, TacMainWnd*& Handler);
// The same for scrolling handlers.
class TacScrollWnd;
void DetachScrollHandler(HWND Wnd, bool FreeIt, bool FrameChanged, TacScrollWnd*& Handler);
// FrameChanged: the frame is calculated again; otherwise it is repainted (WM_NCPAINT 1).
void RefreshFrame(HWND Wnd, bool FrameChanged);

// The handler of a scrolling window of this process ("ACSBSC"); nullptr when the window has
// none or belongs to another process (its property would be an address over there).
TacMainWnd* HandlerOfWindow(HWND Wnd);

// ---- the seam of visual styles: every SetWindowTheme of the handlers goes through it ----
using TacSetWindowThemeFn = std::function<HRESULT(HWND Wnd, LPCWSTR SubAppName, LPCWSTR SubIdList)>;
// Replaces the call (an empty function restores uxtheme's); tests watch it.
void SetHandlerThemeCall(TacSetWindowThemeFn Fn);
HRESULT HandlerSetWindowTheme(HWND Wnd, LPCWSTR SubAppName, LPCWSTR SubIdList);

// ---- unit state ----
// The dialog-mode switch: on while the handlers of a dialog's children are attached.
extern bool acDlgMode;
// Optional entry points, resolved by the unit start-up; each may be missing.
using TGetScrollBarInfo = BOOL(WINAPI*)(HWND, LONG, PSCROLLBARINFO);
using TFlatSBProc = BOOL(WINAPI*)(HWND);
extern TGetScrollBarInfo acGetScrollBarInfo;
extern TFlatSBProc acInitializeFlatSB;
extern TFlatSBProc acUninitializeFlatSB;
// The page handlers the tab-control handler makes; the unit frees them at clean-up.
extern std::vector<TacMainWnd*> PageHandlers;
// The unit's start-up and clean-up, run by the engine's.
void SBUtilsUnitStartup();
void SBUtilsUnitCleanup();

// ---- geometry, broadcast, requests ----
void ReadWindowGeometry(HWND Wnd, HWND& ParentWnd, TRect& WndRect, TPoint& WndPos, TSize& WndSize, TRect& ParentRect);
void RequestAddControls(HWND Wnd);
void PassToChildren(TControl* Control, HWND Wnd, const TMessage& Message);

// ---- fonts ----
// Kind 1 caption, 2 small caption, 3 menu, 4 status, other: message font; height 0 on failure.
void GetNonClientLogFont(int Kind, LOGFONTW& LogFont);
std::wstring SubstitutedFontName();
void ApplyFontSubstitution(LOGFONTW& LogFont);
void SubstituteFontName(TFont& Font);
// The font takes a LOGFONT's face, height, charset and style.
void AssignLogFont(TFont& Font, const LOGFONTW& LogFont);
void SelectNonClientFont(TCanvas& Canvas, int Kind);
void InitHandlerFont(TacMainWnd* Handler, bool SetFont);
// Answers WM_PAINT of a control that paints in WM_ERASEBKGND: the whole window is
// invalidated, and BeginPaint sends the erase for all of it.
void PaintThroughErase(HWND Wnd);
// A constant section of the skin data ("TOOLBUTTON", "DIVIDER", "SPEEDBUTTON"); -1 when the
// skin has none.
int ConstSection(TacSkinData* Data, std::wstring_view Name);
// A control drawn whole from its section: its geometry read and, when its background
// changed, its cache rendered with the section's corners; BorderWidth takes half the height
// the client lacks.
void PrepareSectionCache(TacMainWnd* Handler, TRect& ClientRect, std::int32_t& BorderWidth);

// ---- painting ----
bool BorderNeedsAnimation(TsCommonData* Data, bool ForHover);
void PaintBorderCorners(TsCommonData* Data, int State, TacMainWnd* Handler);
void RenderControlCache(TsCommonData* Data, HWND Wnd, bool FlatFrame);

// ---- properties of other component sets, by name ----
void SetThirdPartyOrd(TComponent* Control, const std::wstring& Name, int Value);
int GetThirdPartyOrd(TComponent* Control, const std::wstring& Name);
TColor GetThirdPartyColor(TComponent* Control, const std::wstring& Name);

// Whether the control adapter is removing all its items (its handlers then keep the controls'
// skinned parameters unless a manager is removing its skin).
bool AdapterRemovingAll(TacCtrlAdapter* Adapter);
// The control adapter's manager: its provider's.
TsSkinManager* AdapterManager(TacCtrlAdapter* Adapter);

// ---- the speed-button handler (acSBUtils.SpeedButtons) ----
#include "skin/handlers/acSBUtils.SpeedButtons.h"

// ---- scroll bars (acSBUtils.Scroll) ----
class TacScrollBar;

// The handler of a window with skinned scroll bars: it takes over the window's non-client
// scroll bars, paints them from the skin and turns clicks and drags into the window's own
// WM_HSCROLL and WM_VSCROLL messages (acSBUtils.Scroll; the bars are TacScrollBar of
// acSBUtils.Scroll.h).
class TacScrollWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  ~TacScrollWnd() override;
  bool fThumbTracking = false;       // the thumb is being dragged
  bool fLeftScrollbar = false;       // WS_EX_LEFTSCROLLBAR: the vertical bar is on the left
  bool ScrollsInitialized = false;   // a WM_NCCALCSIZE was answered since the attach
  bool bPreventStyleChange = false;  // the handler itself takes the scroll styles off
  TacScrollBar* sBarHorz = nullptr;  // owned
  TacScrollBar* sBarVert = nullptr;  // owned
  // The window's own border on each side at the last WM_NCCALCSIZE (-1 before the first).
  int cxLeftEdge = -1, cxRightEdge = 0, cyTopEdge = 0, cyBottomEdge = 0;

  void InitSkinData() override;
  void acWndProc(TMessage& Message) override;
  void UpdateLeftScroll();
  // Answered by the handlers of MDI clients and drop-down lists.
  // The MDI client window's place in its form (added to the background offset).
  virtual TPoint MDIClientOffset() { return TPoint{0, 0}; }
  // A drop-down list keeps the mouse capture after a release of a bar.
  virtual bool KeepsCaptureOnRelease() { return false; }
  // A drop-down list of a data-aware combo box sends a coarse value after a thumb drag.
  virtual bool CoarseThumbRelease() { return false; }
  // WM_LBUTTONUP after a bar release is not passed on.
  virtual bool SwallowsButtonUpAfterRelease() { return false; }

protected:
  TacScrollWnd() = default;

private:
  void ScrollWndProc(TMessage& Message);
};

// The attach step of every scrolling handler (from the creation steps): the bars, "ACSBSC",
// the subclass and, with Repaint, the frame calculated again.
void InitializeScrollWnd(TacScrollWnd* Handler, HWND Wnd, bool Repaint);

// The horizontal (Bar 0) or vertical (Bar 1) bar of the window's scrolling handler.
TacScrollBar* ScrollBarOfWindow(HWND Wnd, int Bar);
// nMinThumbSize of bar 0, 1 or both (3); false without a scrolling handler.
bool SetMinThumbSize(HWND Wnd, int Bar, int Size);

// ---- edits, lists, scroll boxes and the MDI client (acSBUtils.Edits) ----
class TacScrollBoxWnd;

// The thin layer shared by the edit and MDI client handlers: the cursor goes to the scroll
// handling, a skin refresh repaints the frame, message 0x2100 is dropped.
class TacBaseWnd : public TacScrollWnd {
public:
  using TacScrollWnd::TacScrollWnd;
  void acWndProc(TMessage& Message) override;

protected:
  TacBaseWnd() = default;
};

// Repaints still owed after a colour change: the client area, the frame.
enum TacCtrlStateItem : unsigned { csPaintNeeded = 1, csNCPaintNeeded = 2 };
using TacCtrlState = unsigned;

// The handler of edits and list boxes: the skin's colours are pushed into the control, which
// paints its client area itself; the frame and the scroll bars come from the cache.
class TacEditWnd : public TacBaseWnd {
public:
  using TacBaseWnd::TacBaseWnd;
  TRect FClientRect{0, -1, 0, 0};  // window coordinates; Top -1: not yet computed
  TColor FrameColor = 0;
  TacCtrlState CtrlState = 0;
  bool StdNCPaint = false;
  bool SingleLineEdit = false;
  bool CtrlListChanged = false;
  TColor Color = clNone;
  TColor FocusColor = clNone;
  TColor FixedGradientFrom = clNone, FixedGradientTo = clNone;
  std::uint8_t DrawingStyle = 0;

  void Create() override;
  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void acWndProc(TMessage& Message) override;
  TRect ClientRect();
  bool NCContent();
  bool HandleAlphaCmd(TMessage& Message);

protected:
  TacEditWnd() = default;
  void BaseHandling(TMessage& Message) { TacBaseWnd::acWndProc(Message); }
  // The manager first, the owner's "PanelBorder" and the scroll sizes too, all under one
  // update count.
  void ApplyParams() override;

private:
  void EditPaint(TMessage& Message);
  void EditEraseBackground(TMessage& Message);
  void EditNCPaint(TMessage& Message);
  void EditPrint(TMessage& Message);
  void FollowUp(TMessage& Message);
};

// The drop-down list window of a skinned combo box: layered, one pixel wider, its own
// background and a one-pixel frame.
class TacComboListWnd : public TacEditWnd {
public:
  using TacEditWnd::TacEditWnd;
  ~TacComboListWnd() override;
  bool Showed = false;
  bool DBScroll = false;
  bool SimplyBox = false;
  // The handler of a combo box's list, made and attached.
  static TacComboListWnd* CreateEx(HWND AHandle, bool SimplyBox, bool Repaint, const std::wstring& Section,
                                   TsSkinManager* Manager, TsCommonData* SharedData);
  void AfterCreation() override;
  void SetSkinParams() override;
  void acWndProc(TMessage& Message) override;
  bool KeepsCaptureOnRelease() override { return SimplyBox; }
  bool CoarseThumbRelease() override { return DBScroll; }

private:
  void PrepareListCache();
  void PaintListFrame(HDC DC);
};

// The handler of an MDI form's client window: its scroll bars and the form's image under it.
class TacMDIWnd : public TacBaseWnd {
public:
  using TacBaseWnd::TacBaseWnd;
  ~TacMDIWnd() override;
  TForm* FForm = nullptr;                 // the MDI form
  TsCommonData* MDISkinData = nullptr;    // the form provider's skin state (not owned)
  TsSkinProvider* SkinProvider = nullptr; // (not owned)
  void acWndProc(TMessage& Message) override;
  void UpdateGraphControls() {}
  TPoint MDIClientOffset() override;
  // The client's area of the form image into DC at (0, 0); Shifted moves it by the client edge.
  void PaintBackground(HDC DC, bool Shifted);
  // The client's rectangle in the form image.
  TRect ImageRect();

private:
  bool ActiveChildMaximized();
  void HandleScroll(TMessage& Message);
};

// The handler of scrolling containers: the whole container painted from the skin.
class TacScrollBoxWnd : public TacScrollWnd {
public:
  using TacScrollWnd::TacScrollWnd;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  void PrepareCache();
  void AC_WMPaint(HDC DC);
  void AC_WMNCPaint(HDC DC);

protected:
  void ScrollBoxHandling(TMessage& Message) { TacScrollBoxWnd::acWndProc(Message); }
};

// A scrolling container that keeps its own client painting: frame and scroll bars skinned.
class TacNativePaint : public TacScrollBoxWnd {
public:
  using TacScrollBoxWnd::TacScrollBoxWnd;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
};

// Registers the kinds of this family with the handler factory (the unit's start-up).
void RegisterEditHandlerKinds();
// ---- end of edits, lists, scroll boxes and the MDI client ----
#include "skin/handlers/acSBUtils.Combo.h"  // combo boxes
#include "skin/handlers/acSBUtils.Tabs.h"   // tab controls and pages

// The thickness (Thickness true) or arrow-button length of a scroll bar of the handler's
// window (SB_HORZ or SB_VERT); 0 for no handler or bar.
int ScrollBarSize(TacScrollWnd* Handler, int Bar, bool Thickness);

// The scroll-bar handler of a scrolling state's window: made when the state is skinned,
// freed when the skin is gone.
void AttachScrollWnd(TsScrollWndData* Data, TacScrollWnd*& Handler);
// The same for an edit handler.
void AttachEditWnd(TsScrollWndData* Data, TacMainWnd*& Handler);
// Reads both bars again and repaints them when asked.
void RefreshScrollBars(TacScrollWnd* Handler, bool Repaint);
// Paints the handler's non-client scroll bars and size box into DC (0: the window's DC);
// Index -1 puts the thumb where the scroll information has it, else at that start.
void PaintScrollBars(TacScrollWnd* Handler, HWND Wnd, int Index, HDC DC);

// ---- the popup-menu window handler ----
class TBitmap;

// The handler of a popup-menu window ("#32768"): paints the window's frame from the menu's
// skinned background and gives it the menu's translucency. It stands on the least of a
// handler until the handler family comes: the window, the procedure it replaced (through
// a subclass, given back when the window goes or the handler is freed), the skin section
// and its cache. It frees itself when its window goes.
class TacMnuWnd : public TacScrollWnd {
public:
  // Takes over Wnd for the manager (the default one for nullptr).
  TacMnuWnd(HWND Wnd, TsSkinManager* SkinManager);
  ~TacMnuWnd() override;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  // The cache: the "MAINMENU" section over the window's size, made again when BGChanged.
  void PrepareCache();
  // Gives the window its procedure back; the handler stays until freed.
  void Detach();
  // The window is gone: the handler goes with it.
  void SubclassGone(TacHandlerSubclass* Sub) override;

  bool Shown = false;      // the first non-client paint is done
  bool bFlag = false;      // inside the show-window handling
  int RgnChanged = 0;      // region and frame drawn since the last background erase
  bool Destroyed = false;  // the window is gone
  bool BGChanged = true;
  int SkinIndex = -1;
  TsSkinManager* SkinManager = nullptr;
  std::unique_ptr<TBitmap> Cache;

private:
  void CallPrevious(TMessage& Message);
  TacHandlerSubclass* FSub = nullptr;
};

// The popup-menu handlers alive now.
extern std::vector<TacMnuWnd*> MenuWindows;

// ---- statics, panels and containers (acSBUtils.Statics) -------------------------------
#include <cstdint>
class TCustomPanel;
// The panel as the panel handler reads it: its bevels, border and alignment.
using TacAccessPanel = TCustomPanel;

// Static text: the whole window from the cache with the caption drawn on it. Statics with
// WS_TABSTOP or WS_EX_STATICEDGE are left to the base.
class TacStaticWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  // Renders the cache and copies it to the message's DC (WParam) or the window DC.
  virtual void AC_WMPaint(TMessage& Message);
  // Draws the content into the cache; true when the cache is to be copied to the window.
  virtual bool PaintText();

protected:
  // The message table itself, for statics that are not left to the base.
  void StaticWndProc(TMessage& Message);
  // Geometry, DC, cache: the first steps of every paint; nullptr DC when none could be had.
  HDC BeginCachePaint(TMessage& Message, bool& OwnDC, int& Saved);
  void EndCachePaint(HDC DC, bool OwnDC, int Saved);
};

// An icon or bitmap static with WS_EX_STATICEDGE: the static paints itself, then only a
// 2-pixel skinned edge is put around it.
class TacEdgeWnd : public TacStaticWnd {
public:
  using TacStaticWnd::TacStaticWnd;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  void AC_WMPaint(TMessage& Message) override;
};

// An icon or bitmap static. The static's image is read at every paint and never owned:
// its owner may replace (STM_SETIMAGE) and delete it at any time.
class TacIconWnd : public TacStaticWnd {
public:
  using TacStaticWnd::TacStaticWnd;
  ~TacIconWnd() override;
  void AfterCreation() override;
  bool PaintText() override;
  bool IsBmp = false;
  // A copy of the pixels of the bitmap the static shows, made again at every paint; the
  // static's own bitmap stays the static's.
  std::unique_ptr<TBitmap> FBmp;
};

// SysLink text: the link text underlined without its tags, painted at WM_ERASEBKGND.
class TacLinkWnd : public TacStaticWnd {
public:
  using TacStaticWnd::TacStaticWnd;
  void acWndProc(TMessage& Message) override;
  bool PaintText() override;
};
// The caption without "<A>" and "</A>" (exact case).
std::wstring RemoveLinkTags(const std::wstring& Text);

// A size grip: the parent's background and the skin's grip; every hit test is the corner.
class TacSizerWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;

private:
  void PaintGrip();
};

// A child dialog or a folder-browser panel: the cache over the whole window, child windows
// left out.
class TacTransPanelWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;

private:
  void PaintPanel(HDC DC);
};

// The shared part of the framework panel and static-text handlers: section, border strips
// and caption from one cache, the children's places left out.
class TacPanelBaseWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  // With an owner control: holds the updating state through the step, takes the owner and
  // gives it the section of OwnerSection when the common data has none.
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  // Builds the cache; false (and updating) while the parent's background is not ready.
  virtual bool PrepareCache() = 0;
  virtual void WriteText(TRect R, TCanvas& Canvas) = 0;
  void AC_WMPaint(HDC DC);
  void AC_WMNCPaint(HDC DC);
  // The framework control that owns the window (nil without one).
  TControl* Control = nullptr;

protected:
  virtual bool IsPanel() const = 0;
  // The section an owner gets when the common data names none.
  virtual std::wstring OwnerSection(TControl* Owner) const = 0;
  // Runs in AfterCreation as soon as Control is the owner.
  virtual void OwnerTaken() {}
  // A panel handler whose owner is a panel; the static-text handler has one whenever it has an owner.
  virtual bool OwnerKnown() const { return Control != nullptr; }
  // The section's border (b) from the window and client widths.
  int FrameWidth() const;
  // Paints the section in state 0 over the parent's background into the cache.
  bool PaintSection(TColor CustomFill);
};

// A framework panel ("TPanel", "TGridPanel" and the other panel classes of the lists).
class TacPanelWnd : public TacPanelBaseWnd {
public:
  using TacPanelBaseWnd::TacPanelBaseWnd;
  // Then the panel's children are told of the new skin.
  void AfterCreation() override;
  bool PrepareCache() override;
  void WriteText(TRect R, TCanvas& Canvas) override;
  // The owner as a panel (nil when the owner is no panel).
  TacAccessPanel* Panel = nullptr;

protected:
  bool IsPanel() const override { return true; }
  std::wstring OwnerSection(TControl* Owner) const override;
  void OwnerTaken() override;
  bool OwnerKnown() const override { return Panel != nullptr; }
};
// The section a panel gets by its bevels and border (a control that is no panel:
// "TRANSPARENT").
std::wstring PanelSectionOf(TControl* Control);

// A framework static-text control (the "ThirdStaticText" classes).
class TacStaticTextWnd : public TacPanelBaseWnd {
public:
  using TacPanelBaseWnd::TacPanelBaseWnd;
  bool PrepareCache() override;
  void WriteText(TRect R, TCanvas& Canvas) override;

protected:
  bool IsPanel() const override { return false; }
  std::wstring OwnerSection(TControl* Owner) const override;
};
// The section a static text gets by its bevel kind and bevels.
std::wstring StaticTextSectionOf(TControl* Control);

// Rebars, progress bars and the bands of system dialogs: the client from the cache, the
// skinned frame only with WS_EX_CLIENTEDGE.
class TacContainerWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  void PrepareCache();
  TRect ClientRect;
  std::int32_t BorderWidth = 0;

private:
  void PrintWindow(HDC DC);
  void PaintFrame();
};

// The shell's search box: its own client painting inside a 3-pixel skinned frame. It takes
// the container's section and cache and paints its frame its own way.
class TacSearchWnd : public TacContainerWnd {
public:
  using TacContainerWnd::TacContainerWnd;
  void acWndProc(TMessage& Message) override;

private:
  void PaintFrame();
};

// Registers the kinds above with the handler factory (the unit's start-up runs it).
void RegisterStaticHandlerKinds();
// A process laid out right to left (the system's default layout for new windows): the
// handlers then paint their caches with the DC's layout reset to left-to-right.
bool ProcessRightToLeft();
// ---- end of statics, panels and containers ----

// ---- button, check-box and group-box handlers (acSBUtils.Buttons) ----
#include <cstdint>
class TButton;
class TBitBtn;
class TCustomImageList;

// The colours modal-result colouring lays over a button; acNoColoring for none.
inline constexpr TColor acNoColoring = 0x1FFFFFFF;
struct TacColoring {
  TColor ColorToneBG = acNoColoring;  // tone of the whole button
  TColor ColorText = acNoColoring;    // caption colour
};

// The colour table of modal-result colouring: [row][variant][state != 0]; rows: background
// tone, text; variants: OK/Yes, Cancel/No red, Cancel/No blue. Platform colour layout (red
// in the low byte) with 0xFF in the top byte.
inline constexpr std::uint32_t ModalColoringTable[2][3][2] = {
    {{0xFFE1FFD2, 0xFFCDFFB4}, {0xFFD5D5FF, 0xFFBDBDFF}, {0xFFFFEDC9, 0xFFFFE9BE}},
    {{0xFF28851A, 0xFF008E00}, {0xFF0000B4, 0xFF0000A2}, {0xFFAE7400, 0xFF916000}}};

// Push buttons the engine did not create: it paints state, skin, modal-result colouring,
// caption, focus frame and the disabled look into the cache and copies it to the window;
// descendants add the glyph through the layout hooks.
class TacBtnWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  // The modal identity: 1 OK/Yes, 7 Cancel/No for framework buttons; the dialog control
  // identifier of other windows.
  int ID = 0;

  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;

  // 0 normal, 1 active (hot or focused), 2 pressed, 3 default button.
  virtual int CurrentState();
  virtual void DrawGlyph() {}
  virtual void GlyphSize(TSize& Size) { Size = TSize{0, 0}; }
  virtual void CaptionRect(TRect& R);
  virtual int MaxCaptionWidth();
  virtual void PrepareCache();

  bool Down();
  LONG CtrlStyle();
  void TextRectSize(TSize& Size);
  void DrawCaption(const TacColoring& Coloring);
  void DoDrawText(TRect& R, UINT Flags, bool AllowGlow);
  virtual void GetColoring(TacColoring& Coloring);
  void Repaint();
  // A sibling of the button (itself included) has the modal result or dialog identifier ID.
  virtual bool HasSiblingWithID(HWND Wnd, int AID);
  // The window size, its dialog identifier and the skin's state count, as the paint uses them.
  int SkinStateIndex();

protected:
  void ac_WMPaint(TMessage& Message);
  // The button's blue-variant test for ID 2 windows and the OK/Yes presence: -1 not coloured,
  // 0 OK/Yes colours, 1 red, 2 blue.
  int ColoringVariant();
  void AnswerModalColors(TMessage& Message);
};

// Framework bit buttons (and other controls given this kind): a glyph beside the caption.
class TacBitBtnWnd : public TacBtnWnd {
public:
  using TacBtnWnd::TacBtnWnd;
  int CurrentState() override;
  void DrawGlyph() override;
  void GlyphSize(TSize& Size) override;
  void CaptionRect(TRect& R) override;
  int MaxCaptionWidth() override;
  void GlyphRect(TRect& R);

private:
  TBitBtn* BitBtn();
  // A TBitBtn's caption rectangle and glyph corner, from one layout of the two.
  void LayOutGlyphAndCaption(TRect& Text, TPoint& Glyph);
};

// Framework buttons: an image from Images by state, placed by ImageAlignment and margins.
class TacButtonWnd : public TacBtnWnd {
public:
  using TacBtnWnd::TacBtnWnd;
  TButton* Btn = nullptr;
  void AfterCreation() override;
  void CaptionRect(TRect& R) override;
  void DrawGlyph() override;
  void GlyphSize(TSize& Size) override;
  bool HaveImage();
  int GlyphIndex();
  void GlyphRect(TRect& R);
  bool HasSiblingWithID(HWND Wnd, int AID) override;
  void GetColoring(TacColoring& Coloring) override;
};

// Split buttons: the caption moved left and a down arrow in the right 22 pixels.
class TacSplitBtnWnd : public TacBtnWnd {
public:
  using TacBtnWnd::TacBtnWnd;
  int ArrowWidth = 0;
  void CaptionRect(TRect& R) override;
  void PrepareCache() override;
  void ArrowRect(TRect& R);
};

// Check boxes and radio buttons, painted with the skin's check and radio masks.
class TacCheckBoxWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  bool OwnerDraw = false;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  // 2 indeterminate, 1 checked, 0 unchecked.
  int State();
  // The cell of the glyph mask: 2 pressed, 1 focused or hot, 0 otherwise.
  int CtlState();
  int GlyphMaskIndex(int CheckState);
  int SkinGlyphWidth(int MaskIndex);
  int SkinGlyphHeight(int MaskIndex);
  void SkinCheckRect(int MaskIndex, TRect& R);
  void CheckRect(TRect& R);
  void DrawSkinGlyph(int MaskIndex);
  void DrawCheckText();
  void PrepareCache();

protected:
  void AC_WMPaint(TMessage& Message);
  // The mask exists in the loaded skin data (negative and too large indexes do not).
  bool MaskValid(int MaskIndex);
};

// Group boxes: a skinned frame from half the caption height down, the caption cut into it.
class TacGroupBoxWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  void CaptionRect(TRect& R);
  void WriteText(const TRect& R);
  void PrepareCache();

protected:
  void AC_WMPaint(TMessage& Message);
};

// The kinds above in the handler factory (run by the unit start-up; again by anyone who
// needs them back after replacing them).
void RegisterButtonHandlerKinds();
// ---- end of the button, check-box and group-box handlers ----

// ---- track bars, scroll bars and up-downs; list views, tree views and grids ----
#include "skin/handlers/acSBUtils.Track.h"
#include "skin/handlers/acSBUtils.Lists.h"
// ---- end of track bars and lists ----
// ---- tool bars and status bars (acSBUtils.ToolBars) ----
#include "skin/handlers/acSBUtils.ToolBars.h"
