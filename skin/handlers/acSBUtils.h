#pragma once
// Window handlers: objects that take over windows the engine did not create. Only what the
// per-control skin state and the senders read is here yet: the handler's skin state, its
// window procedure, and the window property "ACSBSC" by which a scrolling handler is found.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"

class TsCommonData;
class TsSkinManager;
class TsSkinProvider;
class TForm;

// What a window handler is made with: the skin section it paints with, the scroll-bar sizes
// (vertical and horizontal bar, button; -1 the skin's default) and the control it serves.
struct TacSkinParams {
  std::wstring SkinSection;
  int VertScrollSize = -1;
  int HorzScrollSize = -1;
  int VertScrollBtnSize = -1;
  int HorzScrollBtnSize = -1;
  TControl* Control = nullptr;
};

// Name of the window property that points to a window's scrolling handler.
inline constexpr wchar_t acScrollHandlerProp[] = L"ACSBSC";

class TacMainWnd {
public:
  TacMainWnd() = default;
  // A handler for Wnd, painted with Params by the skin manager (Shared: a skin state it shares,
  // else its own). Filled later with the window handlers: so far it only remembers the window
  // and leaves the window's procedure alone.
  TacMainWnd(HWND Wnd, bool Repaint, const TacSkinParams& Params, TsSkinManager* SkinManager, TsCommonData* Shared);
  TacMainWnd(const TacMainWnd&) = delete;
  TacMainWnd& operator=(const TacMainWnd&) = delete;
  virtual ~TacMainWnd() = default;
  HWND CtrlHandle = nullptr;
  // The handler's own skin state.
  TsCommonData* SkinData = nullptr;
  // The procedure senders call directly for the handler's window.
  TWndMethod WndProcMethod;
};

// The handler of a scrolling window of this process ("ACSBSC"); nullptr when the window has
// none or belongs to another process (its property would be an address over there).
TacMainWnd* HandlerOfWindow(HWND Wnd);

// ---- reached by the popup controller ----
// Detaches a handler from its window (FrameChanged: the frame is recalculated); with FreeIt
// the handler is freed and the variable cleared. A stand-in until the window handlers bring
// it: so far only FreeIt acts.
void DetachHandler(HWND Wnd, bool FreeIt, bool FrameChanged, TacMainWnd*& Handler);
// ---- end of the popup controller's block ----

// The handler of a window with skinned scroll bars. Filled later with the scrolling handlers.
class TacScrollWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
};

// The handler of an MDI form's client window: its scroll bars and background. Filled later
// with the window handlers.
class TacMDIWnd : public TacScrollWnd {
public:
  using TacScrollWnd::TacScrollWnd;
  TForm* FForm = nullptr;                 // the MDI form
  TsCommonData* MDISkinData = nullptr;    // the form provider's skin state
  TsSkinProvider* SkinProvider = nullptr;
};

// The thickness (Thickness true) or arrow-button length of a visible scroll bar of the
// handler's window (SB_HORZ or SB_VERT); 0 when it has none. Filled later with the scrolling
// handlers: so far 0.
int ScrollBarSize(TacScrollWnd* Handler, int Bar, bool Thickness);

class TsScrollWndData;

// The scroll-bar handler of a scrolling state's window: made when the state is skinned,
// freed when the skin is gone. Filled later with the scrolling handlers: so far nothing
// is made and Handler is left as it is.
void AttachScrollWnd(TsScrollWndData* State, TacScrollWnd*& Handler);
// Reads both bars again and repaints them when asked. Filled later: so far nothing.
void RefreshScrollBars(TacScrollWnd* Handler, bool Repaint);
// Paints the handler's non-client scroll bars into DC (0: the window's DC). Filled later:
// so far nothing.
void PaintScrollBars(TacScrollWnd* Handler, HWND Wnd, int Index, HDC DC);

// ---- the popup-menu window handler ----
class TBitmap;
class TMnuWndSubclass;

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
  void AfterCreation();
  virtual void acWndProc(TMessage& Message);
  // The cache: the "MAINMENU" section over the window's size, made again when BGChanged.
  void PrepareCache();
  // Gives the window its procedure back; the handler stays until freed.
  void Detach();

  bool Shown = false;      // the first non-client paint is done
  bool bFlag = false;      // inside the show-window handling
  int RgnChanged = 0;      // region and frame drawn since the last background erase
  bool Destroyed = false;  // the window is gone
  bool BGChanged = true;
  int SkinIndex = -1;
  TsSkinManager* SkinManager = nullptr;
  std::unique_ptr<TBitmap> Cache;

private:
  friend class TMnuWndSubclass;
  void CallPrevious(TMessage& Message);
  TMnuWndSubclass* FSub = nullptr;
};

// The popup-menu handlers alive now.
extern std::vector<TacMnuWnd*> MenuWindows;
