#pragma once
// The component model and windowed controls.
//
// Components are owned by their owner and destroyed with it. Every message of a
// windowed control, from Windows or from the framework (Perform), goes through its
// WindowProc: a replaceable callable that another object may take over, chain to the
// previous one and give back. The default WindowProc is the control's virtual WndProc,
// which runs the control's registered message handlers and then DefaultHandler.
#include <windows.h>
#include "platform/ui/Graphics.h"
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Framework notifications travel through WindowProc like window messages.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 0;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 22;
constexpr UINT CM_RELEASE = CM_BASE + 33;

// Where a control places itself in its parent's client area. The parent lays out its
// aligned children in this order (top, bottom, left, right, then the client filler), each
// group in child order; hidden children take no room.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Placement of a control's text.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TVerticalAlignment { taAlignTop, taAlignBottom, taVerticalCenter };

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

using TWndMethod = std::function<void(TMessage&)>;

// Exceptions that leave a WindowProc end here (the application's report), never in Windows.
void SetWindowProcExceptionHandler(std::function<void(std::exception_ptr)> handler);

enum class TOperation { opInsert, opRemove };

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
  bool Destroying() const { return FDestroying; }
  // Runs before the destructors, while the whole object still exists.
  virtual void BeforeDestruction() {}
  // Destroys a component the way its owner does: BeforeDestruction, then delete.
  static void Free(TComponent* component);
  virtual std::wstring ClassName() const { return L"TComponent"; }

  std::wstring Name;
  std::intptr_t Tag = 0;

protected:
  // Told when a component of the same owner comes or goes.
  virtual void Notification(TComponent* component, TOperation operation) {}
  // Destroys the owned components now (in reverse order of creation); derived classes whose
  // components refer to their members call it first in their own destructor.
  void DestroyComponents();
  bool FDestroying = false;

private:
  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
};

class TWinControl;

class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  std::wstring ClassName() const override { return L"TControl"; }

  // Every message goes through here; replace it to take the control's messages over.
  TWndMethod WindowProc;
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
  TFont Font;
  TColor Color = clBtnFace;

  // Asks for a repaint of the control's area.
  virtual void Invalidate();

  // Adds a handler for one message, the way a class declares a message method.
  void SetMessageHandler(UINT msg, TWndMethod handler) { FHandlers[msg] = std::move(handler); }

protected:
  // The default window procedure: registered handlers, then DefaultHandler.
  virtual void WndProc(TMessage& message);
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message) { message.Result = 0; }
  virtual void VisibleChanging() {}
  // The bounds changed (already stored).
  virtual void BoundsChanged() {}
  // Keeps the new bounds (negative sizes as 0); false when nothing changed.
  bool StoreBounds(int left, int top, int width, int height);
  void RealignParent();

  TWinControl* FParent = nullptr;
  bool FVisible = true;
  bool FEnabled = true;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = alNone;
  std::wstring FCaption;

private:
  friend class TWinControl;
  std::map<UINT, TWndMethod> FHandlers;
};

// A control without a window of its own: it paints on its parent's window.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  std::wstring ClassName() const override { return L"TGraphicControl"; }
  void Invalidate() override;
  // Paints onto a DC whose origin is the control's top-left corner, clipped to its bounds.
  virtual void Paint(HDC dc) {}

protected:
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
};

class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  std::wstring ClassName() const override { return L"TWinControl"; }

  // The window, created on first use (a child's window once its parent has one).
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void DestroyHandle();
  // The control that owns a window of ours, or nullptr.
  static TWinControl* FromHandle(HWND wnd);

  void SetParent(TWinControl* value) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetCaption(const std::wstring& value) override;
  void Invalidate() override;

  // The children, in the order they were given this parent.
  const std::vector<TControl*>& Controls() const { return FControls; }
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  // The area the children are laid out in, in client coordinates.
  virtual TRect ClientRect() const;
  // Lays out the aligned children again.
  void Realign();

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
  HWND FHandle = nullptr;

private:
  friend class TControl;
  static LRESULT CALLBACK StdWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  std::vector<TControl*> FControls;
  bool FAligning = false;
};
