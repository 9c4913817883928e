#pragma once
// The component model and windowed controls.
//
// Components are owned by their owner and destroyed with it. Every message of a
// windowed control, from Windows or from the framework (Perform), goes through its
// WindowProc: a method (code plus object) that another object may take over, chain to the
// previous one and give back (HookWindowProc / UnhookWindowProc). The default WindowProc
// is the control's virtual WndProc, which runs the control's registered message handlers
// (each may call the one registered before it) and then DefaultHandler.
//
// Objects outlive their messages: a control freed (or a form released) while one of its
// messages, or one of its children's, is still being handled is destroyed when the
// outermost of those messages returns.
#include <windows.h>
#include "platform/runtime/FailureLog.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/Properties.h"
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// Framework notifications travel through WindowProc like window messages. The numbers are
// fixed: skinning code of other origin compares against them.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = 0xB000;
constexpr UINT CM_CANCELMODE = 0xB004;    // LParam: the control pressed (nullptr: the frame)
constexpr UINT CM_FOCUSCHANGED = 0xB007;  // LParam: the control that took the focus
constexpr UINT CM_PARENTFONTCHANGED = 0xB008;
constexpr UINT CM_PARENTCOLORCHANGED = 0xB009;
constexpr UINT CM_VISIBLECHANGED = 0xB00B;
constexpr UINT CM_ENABLEDCHANGED = 0xB00C;
constexpr UINT CM_COLORCHANGED = 0xB00D;
constexpr UINT CM_FONTCHANGED = 0xB00E;
constexpr UINT CM_TEXTCHANGED = 0xB012;
constexpr UINT CM_MOUSEENTER = 0xB013;
constexpr UINT CM_MOUSELEAVE = 0xB014;
constexpr UINT CM_MENUCHANGED = 0xB015;
constexpr UINT CM_SHOWINGCHANGED = 0xB019;
constexpr UINT CM_EXIT = 0xB01B;
constexpr UINT CM_RELEASE = 0xB021;
constexpr UINT CM_WININICHANGE = 0xB025;
constexpr UINT CM_CONTROLLISTCHANGE = 0xB02C;
constexpr UINT CM_RECREATEWND = 0xB033;
constexpr UINT CM_INVALIDATE = 0xB034;
constexpr UINT CM_SYSFONTCHANGED = 0xB035;
constexpr UINT CM_UNDOCKCLIENT = 0xB039;
constexpr UINT CM_FLOAT = 0xB03A;
constexpr UINT CM_BIDIMODECHANGED = 0xB03C;
constexpr UINT CM_MOUSEWHEEL = 0xB043;
constexpr UINT CM_CONTROLLISTCHANGING = 0xB04C;
// Window messages handed to the control first as notifications (CN_BASE + the message): a
// key down or up reaches WindowProc as CN_KEYDOWN or CN_KEYUP before it is handled; an
// answer other than 0 ends it there.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr UINT CN_SYSKEYUP = CN_BASE + WM_SYSKEYUP;
// A parent hands its framework child controls their own WM_COMMAND, WM_DRAWITEM (not a
// menu's) and WM_NOTIFY as these; the child's answer is the parent's.
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
// A button pressed in a control first sends CM_CANCELMODE to the form's focused control
// (when that is another one); a control that takes the focus sends CM_FOCUSCHANGED to its
// form, and every windowed control passes it on to all its children.

// Where a control places itself in its parent's client area. The parent lays out its
// aligned children in this order (top, bottom, left, right, then the client filler), each
// group in child order; hidden children take no room.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Placement of a control's text.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TVerticalAlignment { taAlignTop, taAlignBottom, taVerticalCenter };
// Reading order and alignment of a control's text: right-to-left reading also mirrors the
// alignment unless it is bdRightToLeftNoAlign; bdRightToLeftReadingOnly keeps the alignment.
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

// Room kept free around an aligned control when AlignWithMargins is on.
struct TMargins {
  int Left = 3, Top = 3, Right = 3, Bottom = 3;
};

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// A window procedure: code plus the object it runs on. Two are equal when both are, so a
// hook can tell whether the procedure in place is still its own. Copy it before calling
// (Perform and the window entry do): a hook that replaces the procedure while it runs then
// cannot pull the ground from under the call.
struct TWndMethod {
  void* Data = nullptr;
  void (*Code)(void* data, TMessage& message) = nullptr;
  explicit operator bool() const { return Code != nullptr; }
  void operator()(TMessage& message) const { Code(Data, message); }
  friend bool operator==(const TWndMethod&, const TWndMethod&) = default;
};

// The window procedure made of an object and one of its methods:
//   MakeWndMethod<&TMyHook::WndProc>(hook)
template <auto Method, class C>
TWndMethod MakeWndMethod(C* object) {
  return TWndMethod{static_cast<void*>(object), [](void* data, TMessage& m) { (static_cast<C*>(data)->*Method)(m); }};
}

// Private messages: messages whose arguments are addresses and objects of this process.
// Another process (or a thread that is not ours) could send or post one with any LParam,
// so the system's entries into our window procedures let one through only when it comes
// from the window's own thread, or from a thread of ours that sent it with
// SendPrivateMessage; and a message hook of the registering (UI) thread turns a posted one
// into WM_NULL unless `postAllowed` accepts its WParam. Register on the UI thread.
void RegisterPrivateMessage(UINT msg, bool (*postAllowed)(WPARAM wParam));
bool IsPrivateMessage(UINT msg);
// Sends a message with SendMessageW; a private message is marked, so that the receiver
// takes it although it crosses threads. Use it for every send of a private message that
// may cross threads or happen inside a message sent from another thread.
LRESULT SendPrivateMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// True when a message at an entry into one of our window procedures must be dropped
// (answered 0): a private message sent from another thread that did not mark it. Every
// window-procedure entry of ours asks this first.
bool PrivateMessageRefused(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Exceptions that leave a WindowProc end here (the application's report), never in Windows.
void SetWindowProcExceptionHandler(std::function<void(std::exception_ptr)> handler);
// Reports an exception caught at a window-procedure entry that is not the framework's own
// (subclass and hook procedures of the engine) through the same handler.
void ReportWindowProcFailure(std::exception_ptr error);


// BeginPaint and EndPaint of one WM_PAINT: the paint ends also when an exception passes.
class TPaintScope {
public:
  explicit TPaintScope(HWND wnd) : FWnd(wnd) { FDC = BeginPaint(wnd, &FPaint); }
  ~TPaintScope() { EndPaint(FWnd, &FPaint); }
  TPaintScope(const TPaintScope&) = delete;
  TPaintScope& operator=(const TPaintScope&) = delete;
  HDC DC() const { return FDC; }
  const PAINTSTRUCT& Info() const { return FPaint; }

private:
  HWND FWnd;
  HDC FDC;
  PAINTSTRUCT FPaint{};
};

enum class TOperation { opInsert, opRemove };

// Mouse pointers of controls.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crHandPoint = -21;
// The system pointer of a cursor value (nullptr for crDefault).
HCURSOR CursorHandle(TCursor cursor);

// ComponentState bits.
// csDesigning marks a component inside a form designer; this program has none, so it is
// never set, but rules that treat design time apart keep their shape.
enum TComponentStateBit : unsigned { csLoading = 1, csReading = 2, csDestroying = 4, csDesigning = 8 };
using TComponentState = unsigned;

class TComponent {
public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  const std::vector<TComponent*>& Components() const { return FComponents; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* FindComponent(const std::wstring& name) const;
  TComponentState ComponentState() const { return FComponentState; }
  bool Destroying() const { return (FComponentState & csDestroying) != 0; }
  bool Designing() const { return (FComponentState & csDesigning) != 0; }

  // Destroys a component: at once, or, while one of its messages (or one of its owned
  // components' or children's) is being handled, when the outermost of them returns.
  // The destruction runs BeforeDestruction (owned components first, then the removal
  // notices) while the whole object still exists, then deletes it.
  static void Free(TComponent* component);
  // The top of the destructor, run by Free while the derived parts still exist: owned
  // components are destroyed and the owner, its components and the free-notification
  // links hear opRemove. Overrides do their own part first, then call the base.
  virtual void BeforeDestruction();

  // The component hears opRemove when `component` is destroyed, whoever owns it. Both
  // links go when either of them is destroyed or RemoveFreeNotification is called.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);
  // The same for an object that is no component: it hears FreeNotify once, when this
  // component is destroyed, unless it removed itself before.
  class IFreeNotify {
  public:
    virtual void FreeNotify(TComponent* component) = 0;

  protected:
    ~IFreeNotify() = default;
  };
  void AddFreeNotify(IFreeNotify* listener);
  void RemoveFreeNotify(IFreeNotify* listener);

  // Called once construction is finished (CreateComponent, NewComponent): the owner and its
  // other components hear opInsert about the finished object (a loading one: when its
  // loading phase ends).
  virtual void AfterConstruction();
  // After the loading phase (components made inside CreateComponent's constructor call).
  virtual void Loaded() { FComponentState &= ~csLoading; }

  virtual std::wstring ClassName() const { return L"TComponent"; }
  // The class whose published properties describe this object: the nearest class that
  // declares it with TARVEL_PUBLISHED_CLASS, so a derived class that registered nothing of
  // its own still finds its base's properties by name.
  virtual published_detail::TPublishedRef PublishedClass() { return {typeid(TComponent), this}; }

  // True while a message of this component, or of one it owns or contains, is handled.
  virtual bool InMessage() const;

  std::wstring Name;
  std::intptr_t Tag = 0;

protected:
  // Told when a component comes (after its construction) or goes (before its destructors).
  virtual void Notification(TComponent* component, TOperation operation) {}
  // Destroys the owned components now, the last made first.
  void DestroyComponents();
  TComponentState FComponentState = 0;

private:
  friend class TLoadingPhase;
  friend class TControl;
  void NotifyOwner(TOperation operation);
  void AnnounceInsert();
  static void DestroyNow(TComponent* component);
  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  std::vector<IFreeNotify*> FFreeListeners;
  void TellFreeListeners();
  bool FInsertAnnounced = false;
};

// Declares in a class body that the class registers published properties of its own.
#define TARVEL_PUBLISHED_CLASS(Class)                                           \
  published_detail::TPublishedRef PublishedClass() override {                   \
    return {typeid(Class), static_cast<void*>(static_cast<Class*>(this))};      \
  }

// Makes components made in a constructor a loading phase: every component the constructor
// makes (owned, directly or not, by the new object) carries csLoading until the object is
// finished; then, in creation order, insertion is announced and Loaded runs for each, the
// new object last, and finally its AfterConstruction (a form's creation event).
template <class T, class... Args>
T* CreateComponent(TComponent* owner, Args&&... args);

// Makes a component the way a form definition does: constructed, then AfterConstruction.
// Inside a loading phase its insertion is announced, and Loaded runs, when the phase ends.
template <class T, class... Args>
T* NewComponent(TComponent* owner, Args&&... args) {
  static_assert(std::is_base_of_v<TComponent, T>);
  T* made = new T(owner, std::forward<Args>(args)...);
  made->AfterConstruction();
  return made;
}

class TLoadingPhase {
public:
  TLoadingPhase();
  // The definition part of root's constructor (root is being constructed): the components
  // made until Finish that root owns, directly or not, are loading; Finish announces them and
  // runs their Loaded in creation order, but leaves root to its own phase.
  explicit TLoadingPhase(TComponent* root);
  ~TLoadingPhase();
  TLoadingPhase(const TLoadingPhase&) = delete;
  TLoadingPhase& operator=(const TLoadingPhase&) = delete;
  void Finish(TComponent* root);
  // The component being constructed joins the innermost phase.
  static void Join(TComponent* component);

private:
  std::vector<TComponent*> FMade;
  TLoadingPhase* FOuter;
  bool FRootTaken = false;
  bool FDefinitionOnly = false;
  bool FFinished = false;
};

template <class T, class... Args>
T* CreateComponent(TComponent* owner, Args&&... args) {
  static_assert(std::is_base_of_v<TComponent, T>);
  T* made;
  {
    TLoadingPhase phase;
    made = new T(owner, std::forward<Args>(args)...);
    phase.Finish(made);
  }
  made->AfterConstruction();
  return made;
}

class TWinControl;
class TPopupMenu;

// ControlState bits: what the control is going through.
enum TControlStateBit : unsigned {
  csLButtonDown = 1,
  csCreating = 2,           // its window is being made
  csRecreating = 4,         // RecreateWnd runs
  csDestroyingHandle = 8,   // its window is being destroyed by the framework
  csAlignmentNeeded = 16,   // a Realign was asked for while alignment was disabled
  csPaintCopy = 32,         // it paints into another DC than its window's
  csCustomPaint = 64,       // it paints itself on a DC of its own choosing (a skinned WM_PAINT)
};
using TControlState = unsigned;

// ControlStyle bits: what kind of control it is.
enum TControlStyleBit : unsigned {
  csAcceptsControls = 1,
  csCaptureMouse = 2,       // a graphic control keeps the mouse from button down to up
  csClickEvents = 4,
  csOpaque = 8,             // it paints its whole area itself
  csDoubleClicks = 16,
  csParentBackground = 32,
  csNoDesignVisible = 64,   // hidden at design time: never painted with its siblings
};
using TControlStyle = unsigned;

// A handler of one message. `inherited` runs the handler registered before it for the same
// message (a base class's), down to DefaultHandler.
class TInheritedHandler;
using TMessageHandler = std::function<void(TMessage& message, const TInheritedHandler& inherited)>;

class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  std::wstring ClassName() const override { return L"TControl"; }
  void BeforeDestruction() override;
  bool InMessage() const override;

  // Every message goes through here; replace it to take the control's messages over.
  const TWndMethod& WindowProc() const { return FWindowProc; }
  void SetWindowProc(TWndMethod value);
  // Told after WindowProc changed, for holders of a copy. The result identifies the handler.
  int AddWindowProcChangeHandler(std::function<void(TControl* control)> handler);
  void RemoveWindowProcChangeHandler(int id);
  // Sends a message through WindowProc and returns its result.
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

  TWinControl* Parent() const { return FParent; }
  // Puts the control among the children of a windowed control (nullptr takes it out).
  virtual void SetParent(TWinControl* value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  // Visible, and so are all its parents.
  bool Showing() const;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);

  // Bounds in the parent's client coordinates (for a top-level window: the screen).
  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  virtual void SetBounds(int left, int top, int width, int height);

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign value);
  // Changes to these two take effect at the parent's next Realign.
  bool AlignWithMargins = false;
  TMargins Margins;

  std::wstring Caption() const { return FCaption; }
  virtual void SetCaption(const std::wstring& value);
  // The control's hint: the application shows Hint when ShowHint is on and the mouse rests
  // on the control for the application's hint pause.
  std::wstring Hint;
  bool ShowHint = false;
  // The control's font; a change sends CM_FONTCHANGED, and children that follow their
  // parent's font (ParentFont) take it with CM_PARENTFONTCHANGED. A change of its own ends
  // the following.
  TFont Font;
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool value);
  // The control's colour; a change sends CM_COLORCHANGED, and children that follow their
  // parent's colour (ParentColor) take it with CM_PARENTCOLORCHANGED.
  TColor Color() const { return FColor; }
  void SetColor(TColor value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool value);

  // A point on the screen in the control's client coordinates (a control without a window
  // goes through its parent's window; without any window the point is only moved by the
  // control's position).
  TPoint ScreenToClient(TPoint point) const;

  TBiDiMode BiDiMode() const { return FBiDiMode; }
  void SetBiDiMode(TBiDiMode value) { FBiDiMode = value; }
  bool UseRightToLeftReading() const { return FBiDiMode != bdLeftToRight; }
  bool UseRightToLeftAlignment() const { return FBiDiMode == bdRightToLeft; }
  // DrawText flags for the control's reading order: with right-to-left alignment a left
  // alignment becomes DT_RIGHT and DT_RIGHT becomes a left one; right-to-left reading adds
  // DT_RTLREADING.
  unsigned DrawTextBiDiModeFlags(unsigned flags) const;

  TControlState ControlState() const { return FControlState; }
  void SetControlState(TControlState value) { FControlState = value; }
  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle value) { FControlStyle = value; }
  // The menu the control opens on WM_CONTEXTMENU; cleared when the menu is destroyed.
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* value);

  // The mouse pointer over the control (crDefault: the window class's own).
  TCursor Cursor = crDefault;

  // Asks for a repaint of the control's area.
  virtual void Invalidate();
  // Invalidates and paints at once (through the window it is painted on, when there is one).
  void Repaint();

  // Rescales the control from density D to density M: bounds and (unless it follows its
  // parent's) font height, and a windowed control's children.
  virtual void ChangeScale(int M, int D);
  // The density the control was last scaled to; 0 while nobody scaled it.
  int CurrentPPI() const { return FCurrentPPI; }
  void SetCurrentPPI(int value) { FCurrentPPI = value; }

  // Registers a handler for one message, over any registered before it (a base class's);
  // the new handler may run those through its `inherited` argument.
  void SetMessageHandler(UINT msg, TMessageHandler handler);
  // A handler that replaces the earlier ones for its message.
  template <class F>
    requires std::is_invocable_v<F&, TMessage&>
  void SetMessageHandler(UINT msg, F handler) {
    SetMessageHandler(msg, TMessageHandler([h = std::move(handler)](TMessage& m, const TInheritedHandler&) mutable { h(m); }));
  }

protected:
  // The default window procedure: registered handlers, then DefaultHandler.
  virtual void WndProc(TMessage& message);
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message);
  virtual void VisibleChanging() {}
  // The bounds changed (already stored).
  virtual void BoundsChanged() {}
  // Keeps the new bounds (negative sizes as 0); false when nothing changed.
  bool StoreBounds(int left, int top, int width, int height);
  void RealignParent();
  // Sends CM_SHOWINGCHANGED here and to every visible descendant.
  void ShowingChanged();
  void Notification(TComponent* component, TOperation operation) override;

  TWinControl* FParent = nullptr;
  bool FVisible = true;
  bool FEnabled = true;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = alNone;
  std::wstring FCaption;
  TColor FColor = clBtnFace;
  bool FParentColor = false;
  bool FParentFont = false;
  TControlState FControlState = 0;
  TControlStyle FControlStyle = 0;
  TBiDiMode FBiDiMode = bdLeftToRight;
  int FCurrentPPI = 0;

private:
  friend class TWinControl;
  friend class TInheritedHandler;
  friend class TMessageDepth;
  void CallHandler(TMessage& message, std::size_t level);
  void RemoveFromParent();
  TWndMethod FWindowProc;
  std::map<UINT, std::vector<std::shared_ptr<TMessageHandler>>> FHandlers;
  std::vector<std::pair<int, std::function<void(TControl*)>>> FProcChangeHandlers;
  int FNextProcChangeId = 1;
  int FMessageDepth = 0;
  TPopupMenu* FPopupMenu = nullptr;
};

class TInheritedHandler {
public:
  void operator()(TMessage& message) const;

private:
  friend class TControl;
  TInheritedHandler(TControl* control, std::size_t level) : FControl(control), FLevel(level) {}
  TControl* FControl;
  std::size_t FLevel;
};

// Takes a control's messages over: `hook` becomes its WindowProc and the procedure in place
// goes to `*saved`, which the hook calls to pass a message on. `*saved` must live until the
// hook is removed (it is written again when a hook below is removed).
void HookWindowProc(TControl* control, TWndMethod hook, TWndMethod* saved);
// Gives the messages back. When the hook is still the WindowProc, the saved procedure comes
// back; when another hook was put over it later, that hook now chains to what this one
// saved. False (nothing changed) when the hook is not in the control's chain.
bool UnhookWindowProc(TControl* control, TWndMethod hook);

// A control without a window of its own: it paints on its parent's window and receives the
// parent's mouse messages over it (coordinates relative to itself), with CM_MOUSEENTER and
// CM_MOUSELEAVE as the mouse comes and goes (LParam: the control itself, as for windowed ones).
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  std::wstring ClassName() const override { return L"TGraphicControl"; }
  void Invalidate() override;
  // Paints onto a DC whose origin is the control's top-left corner, clipped to its bounds.
  // WM_PAINT and WM_PRINT with a DC in WParam reach it through WindowProc, so a control
  // whose messages are taken over paints the taken-over way wherever it is drawn.
  virtual void Paint(HDC dc) {}

protected:
  void DefaultHandler(TMessage& message) override;
  void VisibleChanging() override { RealignParent(); Invalidate(); }
  void BoundsChanged() override;
};

struct TCreateParams {
  std::wstring Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = CW_USEDEFAULT, Y = CW_USEDEFAULT, Width = CW_USEDEFAULT, Height = CW_USEDEFAULT;
  HWND WndParent = nullptr;
  std::wstring WinClassName;
  UINT ClassStyle = CS_DBLCLKS;
  // A system class (L"EDIT") the control's own class wraps: its procedure becomes the
  // control's default procedure, and the class keeps its styles and extra bytes.
  std::wstring SystemClass;
};

class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  std::wstring ClassName() const override { return L"TWinControl"; }
  void BeforeDestruction() override;
  bool InMessage() const override;

  // The window, created on first use (a child's window once its parent has one).
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Destroys the window; the control sees its WM_DESTROY and WM_NCDESTROY.
  void DestroyHandle();
  // Makes the window again (CM_RECREATEWND), keeping bounds, visibility, text and children.
  void RecreateWnd();
  // The control that owns a window of ours, or nullptr.
  static TWinControl* FromHandle(HWND wnd);
  // The procedure messages go to when the control does not handle them: DefWindowProcW,
  // or the wrapped system class's procedure.
  WNDPROC DefWndProc() const { return FDefWndProc; }

  void SetParent(TWinControl* value) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetCaption(const std::wstring& value) override;
  void Invalidate() override;

  // The children, in the order they were given this parent.
  const std::vector<TControl*>& Controls() const { return FControls; }
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  // Moves a child to place `order` of the list (limited to the list; later children are on
  // top), and its window into the matching Z order among the windows of the children.
  void SetChildOrder(TControl* child, int order);
  // The area the children are laid out in, in client coordinates.
  virtual TRect ClientRect() const;
  // Lays out the aligned children again (later, while alignment is disabled).
  void Realign();
  // Nested: alignment resumes, with one Realign when one was asked for, at the last Enable.
  void DisableAlign();
  void EnableAlign();
  int AlignDisabledLevel() const { return FAlignLevel; }
  void ChangeScale(int M, int D) override;

  // The mouse wheel over the control: a handler that used it answers true. WM_MOUSEWHEEL goes
  // to DoMouseWheel first, then as CM_MOUSEWHEEL through WindowProc, then to Windows.
  std::function<bool(unsigned Keys, int Delta, TPoint Pos)> OnMouseWheel;
  virtual bool DoMouseWheel(unsigned Keys, int Delta, TPoint Pos) {
    return OnMouseWheel && OnMouseWheel(Keys, Delta, Pos);
  }
  // Whether the control handles the wheel at all.
  virtual bool TakesMouseWheel() const { return static_cast<bool>(OnMouseWheel); }

  bool TabStop() const { return FTabStop; }
  // The control and all its parents are visible and enabled.
  virtual bool CanFocus() const;
  // Gives the control's window the keyboard focus (made first when missing); nothing when
  // it cannot take it (CanFocus).
  void SetFocus();
  void SetTabStop(bool value);
  // Paints into a memory bitmap first and copies it in one block.
  bool DoubleBuffered = false;
  // Paints the window's frame, face and graphic children into DC with its top-left corner
  // at (X, Y), clipped to its size, through WM_PRINT (so whoever took its messages over
  // paints). Child windows are not painted: the caller renders them at their places.
  // Nothing without a window.
  void PaintTo(HDC DC, int X, int Y);

protected:
  // Places the children within the given client area; by default by their Align.
  virtual void AlignControls(TRect area);
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateHandle();
  void WndProc(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void VisibleChanging() override;
  // Paints the window's own face before its graphic children are painted over it.
  virtual void PaintWindow(HDC dc) {}
  // Paints the visible graphic children inside the DC's clip area.
  void PaintControls(HDC dc);
  // Fills the area behind the window's face (WM_ERASEBKGND); by default with Color.
  virtual void EraseBackground(HDC dc);
  // Rectangle of the window in its parent's client area (or on the screen).
  void UpdateBoundsFromWindow();
  // The children now (a copy: the list may change while they are called).
  std::vector<TControl*> ControlsSnapshot() const { return FControls; }
  bool HasChild(const TControl* control) const;
  HWND FHandle = nullptr;

private:
  friend class TControl;
  static LRESULT CALLBACK StdWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static bool NotifyBeforeMessage(TWinControl* control, TMessage& m);
  void PaintHandler(TMessage& message);
  void MouseMove(TMessage& message);
  void MouseLeft();
  bool ForwardMouseToGraphic(TMessage& message);
  void SetMouseControl(TControl* control);
  std::vector<TControl*> FControls;
  bool FAligning = false;
  int FAlignLevel = 0;
  bool FTabStop = false;
  bool FMouseInside = false;
  TControl* FMouseControl = nullptr;    // graphic child under the mouse
  TControl* FCaptureControl = nullptr;  // graphic child that has the mouse from a button down
  WNDPROC FDefWndProc = DefWindowProcW;
  bool FWrapsSystemClass = false;
  TGdiRef FWindowFont;  // the font a wrapped system class was given by WM_SETFONT
};

// Takes over a window the framework did not create (a dialog, a message box, a menu window,
// a native control) through SetWindowSubclass, and gives it back with RemoveWindowSubclass,
// which leaves any later subclass of another party in place. Messages reach WndProc;
// DefaultHandler passes them on to the window's previous procedure. A failure inside is
// caught at the entry (logged quietly for painting, otherwise the application's report).
// The object may be released inside one of its own messages: it is detached and freed when
// the outermost of them returns. The window's end (WM_NCDESTROY) detaches it by itself.
class TWindowSubclass {
public:
  TWindowSubclass() = default;
  virtual ~TWindowSubclass();
  TWindowSubclass(const TWindowSubclass&) = delete;
  TWindowSubclass& operator=(const TWindowSubclass&) = delete;

  // False when the window does not exist or cannot be subclassed.
  bool Attach(HWND wnd);
  void Detach();
  HWND Handle() const { return FWnd; }
  bool Attached() const { return FWnd != nullptr; }
  // Detaches and deletes the object (created with new): now, or after its outermost message.
  void Release();
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
  virtual void WndProc(TMessage& message) { DefaultHandler(message); }
  void DefaultHandler(TMessage& message);
  // The window is going (WM_NCDESTROY); the subclass is already removed.
  virtual void WindowDestroyed() {}

private:
  static LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  HWND FWnd = nullptr;
  int FDepth = 0;
  bool FReleasePending = false;
};
