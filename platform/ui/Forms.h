#pragma once
// Forms and the application object.
//
// The application owns a hidden top-level window (the owner of every form, so that
// forms get no task-bar button of their own) and runs the message loop. Forms are
// made in code: the constructor builds the components (the form's definition, a loading
// phase when the form is made by CreateComponent or CreateForm), FormCreate runs after the
// whole object exists and its components are Loaded, FormDestroy runs before it goes.
#include "platform/ui/Controls.h"
#include <exception>
#include <functional>
#include <map>
#include <vector>
#include <memory>
#include <string>

class THintWindow;
class TTimer;
class TMainMenu;
class TMenuItem;
struct THintInfo;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
// poDefaultPosOnly: the system picks the place of the new window, the form keeps its size.
enum TPosition { poDesigned, poScreenCenter, poDefaultPosOnly };
// Limits of a form's window size in pixels; 0 sets no limit.
struct TSizeConstraints {
  int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
};
enum TFormStyle { fsNormal, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
// What a form is going through (FormState bits): fsCreating from its construction inside a
// loading phase (CreateComponent, CreateForm) until AfterConstruction, fsShowing while its
// window is shown or hidden.
enum TFormStateFlag : unsigned { fsCreating = 0x1, fsShowing = 0x2 };
// What a form is to the multiple-document interface; the shell makes normal forms only.
enum TFormKind { fkNormal, fkMDIForm, fkMDIChild };

class TForm : public TWinControl {
public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  std::wstring ClassName() const override { return L"TForm"; }

  // The size of the client area. It holds also when the window's frame is not the system's
  // (a skinned form answering WM_NCCALCSIZE): the window is sized to give exactly this.
  int ClientWidth() const;
  int ClientHeight() const;
  void SetClientWidth(int value) { SetClientSize(value, ClientHeight()); }
  void SetClientHeight(int value) { SetClientSize(ClientWidth(), value); }
  void SetClientSize(int width, int height);
  // Frame and place of the window. A change of BorderStyle or BorderIcons on a form with a
  // window makes the window again; Position is read when it is made.
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle value);
  unsigned BorderIcons() const { return FBorderIcons; }  // TBorderIcon bits
  void SetBorderIcons(unsigned value);
  TPosition Position = poDesigned;
  TFormStyle FormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle value);
  // Set while the form runs modal (whoever runs its modal loop sets and clears it).
  bool Modal() const { return FModal; }
  void SetModal(bool value) { FModal = value; }
  TWindowState WindowState() const;
  void SetWindowState(TWindowState value);
  // A translucent form: the whole window at AlphaBlendValue (0 clear .. 255 opaque).
  bool AlphaBlend() const { return FAlphaBlend; }
  void SetAlphaBlend(bool value);
  std::uint8_t AlphaBlendValue() const { return FAlphaBlendValue; }
  void SetAlphaBlendValue(std::uint8_t value);
  TRect ClientRect() const override;
  unsigned FormState() const { return FFormState; }  // TFormStateFlag bits
  // ---- multiple-document interface ----
  // What the form is to the MDI, set before its window is made. An MDI form makes its MDI
  // client window with its own window and leaves the frame's defaults to DefFrameProc; an MDI
  // child lives in the client window of its host (nullptr: the main form) and leaves its
  // defaults to DefMDIChildProc.
  TFormKind FormKind() const { return FFormKind; }
  void SetFormKind(TFormKind kind, TForm* host = nullptr);
  // The MDI client window of an MDI form; none for other forms or before the window exists.
  HWND ClientHandle() const { return FClientHandle; }
  // The MDI children of an MDI form that have a window, in the client's child order.
  int MDIChildCount() const;
  TForm* MDIChildren(int index) const;
  // The client's active MDI child (nullptr: none, or not a form of ours), and whether it is
  // maximized.
  TForm* ActiveMDIChild() const;
  bool ActiveMDIChildMaximized() const;

protected:
  void DefaultHandler(TMessage& message) override;

private:
  void MDICreateParams(TCreateParams& params);
  void CreateMDIClient();
  std::vector<TForm*> MDIChildList() const;
  TFormKind FFormKind = fkNormal;
  TForm* FMDIHost = nullptr;
  HWND FClientHandle = nullptr;

public:
  // ---- end of the multiple-document interface ----
  // ---- main menu ----
  // The menu bar of the form (not owned; a component of the form as a rule). Its window
  // shows the menu and follows its changes; a chosen command runs its item. The owner-draw
  // messages of its items go to the items.
  TMainMenu* Menu() const { return FMenu; }
  void SetMenu(TMainMenu* value);
  // The item under which an MDI form lists its children.
  TMenuItem* WindowMenu = nullptr;
  // Brings the form to the front: an MDI child becomes its client's active child.
  void BringToFront();

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  void MenuChangedByItems();
  TMainMenu* FMenu = nullptr;
  bool FInMenuLoop = false;    // the bar is open: changes wait for the loop's end
  bool FMenuPending = false;

public:
  // ---- end of the main menu ----
  // The form follows the density of its monitor by itself (the skin manager sets it).
  bool Scaled = true;
  // Paints the client area onto a DC after the form's background (WM_PAINT and WM_PRINT).
  std::function<void(TForm* Sender, HDC DC)> OnPaint;
  // The form's canvas: over no DC until a paint points it at one (SetHandle), locked by
  // whoever paints through it.
  TCanvas& Canvas();
  // Runs OnPaint on the form's canvas pointed at DC (a bitmap's, for instance) with the
  // client origin moved to Origin of DC; the canvas and the DC's origin are put back after.
  void PaintOnCanvas(HDC DC, TPoint Origin);

  // ---- frame extras ----
  // The form's own icon (its window's WM_SETICON); none: the window shows the application's.
  // The form keeps its own copy.
  HICON Icon() const { return FIcon; }
  void SetIcon(HICON icon);
  // Space in pixels between the frame and the client area, part of the non-client area.
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int value);
  // Limits of the window's size, kept through WM_GETMINMAXINFO (maximizing included).
  TSizeConstraints Constraints;
  // Runs after the window's size changed.
  std::function<void(TForm* Sender)> OnResize;
  // ---- end of the frame extras ----

  // The window is made here when it does not exist yet: a form nobody asked for its handle
  // would otherwise stay invisible.
  void Show() {
    SetVisible(true);
    Handle();
  }
  void Hide() { SetVisible(false); }
  // Asks CloseQuery, then FormClose and OnClose; closing the main form ends the application.
  void Close();
  // Whether the form may close now (FormCloseQuery).
  bool CloseQuery();
  // Told when the form closes; the action may be changed (caNone keeps the form open).
  std::function<void(TForm* Sender, TCloseAction& Action)> OnClose;
  // Told when the form stops being the active window.
  std::function<void(TForm* Sender)> OnDeactivate;
  // Destroys the form once the message being handled now (and those before) are done.
  void Release();

  // Runs FormCreate, reporting its exceptions through the application.
  void DoCreate();
  // Made by CreateComponent: runs the creation event once the form and its components are made.
  void AfterConstruction() override;
  // Runs FormDestroy, then the components and the window go.
  void BeforeDestruction() override;

protected:
  virtual void FormCreate() {}
  virtual void FormCloseQuery(bool& canClose) {}
  virtual void FormClose(TCloseAction& action) {}
  virtual void FormDestroy() {}
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;
  void WndProc(TMessage& message) override;
  void PaintWindow(HDC dc) override {
    if (OnPaint) OnPaint(this, dc);
  }
  void VisibleChanging() override;
  // Bounds given before the window exists are the size and place it is made with.
  void BoundsChanged() override;

private:
  void ApplyLayered();
  void FitClientSize();
  int FClientWidth = 0;
  int FClientHeight = 0;
  // The last size given before the window was made was the bounds (SetBounds), not the client size.
  bool FBoundsGiven = false;
  TFormBorderStyle FBorderStyle = bsSizeable;
  unsigned FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  TFormStyle FFormStyle = fsNormal;
  bool FModal = false;
  TWindowState FWindowState = wsNormal;
  bool FAlphaBlend = false;
  std::uint8_t FAlphaBlendValue = 255;
  bool FCreated = false;
  unsigned FFormState = 0;
  HICON FIcon = nullptr;
  int FBorderWidth = 0;
  std::unique_ptr<TCanvas> FCanvas;
};

// The top-most form among the control and its parents (the control itself when it is
// one); nullptr when none is a form.
TForm* GetParentForm(TControl* control);

class TApplication : public TComponent {
public:
  TApplication();
  ~TApplication() override;
  std::wstring ClassName() const override { return L"TApplication"; }

  // Creates the hidden application window and makes this thread the UI thread.
  void Initialize();
  HWND Handle() const { return FHandle; }
  bool ShowMainForm = true;
  bool MainFormOnTaskBar = false;
  HICON Icon() const;
  void SetIcon(HICON icon);  // the application takes ownership
  // Loads an .ico file as the application icon; false (icon unchanged) when it cannot be read.
  bool LoadIconFromFile(const std::wstring& fileName);

  TForm* MainForm() const { return FMainForm; }
  // Creates a form owned by the application; the first one becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    // The first form becomes the main form as its construction starts (TForm's constructor),
    // so its definition and its creation event already see it as the main form.
    reference = nullptr;
    FCreatingMain = !FMainForm;
    try {
      reference = CreateComponent<T>(this);
    } catch (...) {
      FCreatingMain = false;
      throw;
    }
    FCreatingMain = false;
  }

  // Hooks of the application window: each sees its messages first, the last added first,
  // and ends the message by answering true (the answer in Result). A hook may remove itself
  // (or another) while it runs.
  using TWindowHook = std::function<bool(TMessage& message)>;
  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int id);
  int MainWindowHookCount() const { return static_cast<int>(FHooks.size()); }

  // Runs the message loop until Terminate (closing the main form).
  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Sets or clears the flag alone (no quit message): code paths that behave otherwise while
  // the application ends are run and left again with it.
  void SetTerminated(bool value) { FTerminated = value; }
  // The application window is minimized (the whole program is on the task bar).
  bool Minimized() const {
    HWND wnd = TaskBarWindow();
    return wnd && IsIconic(wnd);
  }
  // Minimizes the program to its task-bar button (the main form's with MainFormOnTaskBar)
  // and brings it back; nothing when it already is in that state.
  void Minimize();
  void Restore();
  // The window of the program's task-bar button.
  HWND TaskBarWindow() const {
    return MainFormOnTaskBar && FMainForm && FMainForm->HandleAllocated() ? FMainForm->Handle() : FHandle;
  }
  // The font name forms and controls start with.
  std::wstring DefaultFontName() const { return L"Tahoma"; }
  void ProcessMessages();

  // The form whose window is the thread's active window, or nullptr.
  TForm* ActiveForm() const;
  // The program is the active one: set while the application window last heard
  // WM_ACTIVATEAPP with WParam other than 0 (true until it hears otherwise).
  bool Active() const { return FActive; }
  // How long a hint stays up, in milliseconds.
  int HintHidePause = 2500;
  // Makes the application's hint windows (owned by owner): a framework hint window unless
  // replaced.
  std::function<THintWindow*(TComponent* owner)> HintWindowClass;
  // ---- caption support: hint switch, plain hint class, restore event ----
  // Hints show at all (a control's ShowHint asks for its own on top of this).
  bool ShowHint = true;
  // HintWindowClass makes the framework's plain hint window (NewPlainHintWindow).
  bool PlainHintWindowClass() const;
  // Runs after the program came back from its task-bar button (Restore, SC_RESTORE to the
  // application window, or the end of the skin engine's restore animation).
  std::function<void()> OnRestore;
  // ---- end of the caption support ----
  // ---- the hints of controls (Forms.Hints.cpp) ----
  // The mouse rests HintPause ms on a control before its hint shows, HintShortPause ms while
  // another hint is up.
  int HintPause = 500;
  int HintShortPause = 50;
  // Runs before a control's hint shows: it may change the text and the record, or say no.
  std::function<void(std::wstring& HintStr, bool& CanShow, THintInfo& HintInfo)> OnShowHint;
  // The mouse entered (Entered) or left Control: its hint is scheduled, or the hint hidden.
  void HintMouseMessage(TControl* Control, bool Entered);
  // Hides the hint on screen and forgets the control it waits for.
  void CancelHint();
  // Shows the hint of Control now (what the pause's end does); false when nothing showed.
  bool ActivateHint(TControl* Control);
  // The hint window on screen (the application's), nullptr when none.
  THintWindow* HintWindow() const { return FHintWindow; }
  TControl* HintControl() const { return FHintControl; }
  // ---- end of the hints' block ----

  // The default error report: OnException when set, else a message box with the text.
  void HandleException(std::exception_ptr error);
  void ShowException(const std::exception& error);
  std::function<void(const std::exception&)> OnException;

private:
  static LRESULT CALLBACK AppWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND FHandle = nullptr;
  HICON FIcon = nullptr;
  bool FOwnIcon = false;
  bool RunHooks(TMessage& message);
  struct THookEntry {
    int Id;
    std::shared_ptr<TWindowHook> Hook;
  };
  std::vector<THookEntry> FHooks;
  int FNextHookId = 0;
  TForm* FMainForm = nullptr;
  bool FCreatingMain = false;
  bool FTerminated = false;
  bool FActive = true;
  friend class TForm;
  // The hints' state: the control waited for, the window on screen, the pause and hide timers
  // (owned by the application as components).
  TControl* FHintControl = nullptr;
  THintWindow* FHintWindow = nullptr;
  TTimer* FHintTimer = nullptr;
  TTimer* FHintHideTimer = nullptr;
  void StartHintTimer(TTimer*& Timer, int Interval, std::function<void()> Tick);
  void Notification(TComponent* component, TOperation operation) override;
};

// The process's application object.
TApplication& Application();
// The framework's plain hint window, HintWindowClass's default.
THintWindow* NewPlainHintWindow(TComponent* owner);

// The screen: its pixel density and the main form's, the font of message boxes, and the
// cursors by number (the system's arrow for a number nobody set).
class TScreen {
public:
  TScreen() = default;
  TScreen(const TScreen&) = delete;
  TScreen& operator=(const TScreen&) = delete;
  // LOGPIXELSY of the screen.
  int PixelsPerInch() const;
  // The density of the main form's monitor when it has a window, else the screen's.
  int MainFormPixelsPerInch() const;
  // The system's message font, read on first use; a program may resize it.
  TFont& MessageFont();
  // The system's menu font, read on first use.
  TFont& MenuFont();
  // The system's tooltip (status) font, read on first use.
  TFont& HintFont();
  HCURSOR Cursor(int index) const;
  void SetCursor(int index, HCURSOR cursor);
  // The process's forms, the most recently activated first (a new form joins at the end),
  // and the form last activated (kept while another program is active; nullptr once it is
  // destroyed).
  int FormCount() const { return static_cast<int>(FForms.size()); }
  TForm* Forms(int index) const { return FForms[static_cast<std::size_t>(index)]; }
  TForm* ActiveForm() const { return FActiveForm; }

private:
  friend class TForm;
  void AddForm(TForm* form);
  void RemoveForm(TForm* form);
  void FormActivated(TForm* form);
  std::vector<TForm*> FForms;
  TForm* FActiveForm = nullptr;
  std::unique_ptr<TFont> FMessageFont;
  std::unique_ptr<TFont> FMenuFont;
  std::unique_ptr<TFont> FHintFont;
  std::map<int, HCURSOR> FCursors;
};
TScreen& Screen();

// Application-level events: the shell places one on its main form and connects nothing.
class TApplicationEvents : public TComponent {
public:
  using TComponent::TComponent;
  std::wstring ClassName() const override { return L"TApplicationEvents"; }
};

// ---- the scroll box --------------------------------------------------------------------
// A windowed container whose children may lie beyond its client area. Each bar shows while
// its Range (the scrolled content's length) exceeds the client's length; moving it moves the
// children by the difference, as the system's own bars do (clicks and drags arrive as
// WM_HSCROLL and WM_VSCROLL).
class TScrollBox;

class TControlScrollBar {
public:
  TControlScrollBar(TScrollBox* Owner, int Bar) : FOwner(Owner), FBar(Bar) {}
  int Range() const { return FRange; }
  void SetRange(int Value);
  int Position() const { return FPosition; }
  // Kept within 0 and the range less the visible length.
  void SetPosition(int Value);
  // A line's step (an arrow click).
  int Increment = 8;
  // Shows or hides the bar and gives it range, page and position.
  void Update();
  // The visible length along the bar (the client's width or height).
  int VisibleLength() const;

private:
  friend class TScrollBox;
  TScrollBox* FOwner;
  int FBar;  // SB_HORZ or SB_VERT
  int FRange = 0;
  int FPosition = 0;
};

class TScrollBox : public TWinControl {
public:
  explicit TScrollBox(TComponent* owner);
  std::wstring ClassName() const override { return L"TScrollBox"; }
  // bsNone or bsSingle (a sunken client edge); a change made after the window exists
  // recreates its frame.
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle value);
  TControlScrollBar HorzScrollBar{this, SB_HORZ};
  TControlScrollBar VertScrollBar{this, SB_VERT};
  // Moves every child by (DeltaX, DeltaY) and repaints.
  void ScrollBy(int DeltaX, int DeltaY);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  void ScrollMessage(TControlScrollBar& Bar, TMessage& Message);
  TFormBorderStyle FBorderStyle = bsSingle;
};
// ---- end of the scroll box ----
