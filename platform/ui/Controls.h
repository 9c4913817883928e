#pragma once
// The component model and windowed controls.
//
// Components are owned by their owner and destroyed with it. Every message of a
// windowed control, from Windows or from the framework (Perform), goes through its
// WindowProc: a replaceable callable that another object may take over, chain to the
// previous one and give back. The default WindowProc is the control's virtual WndProc,
// which runs the control's registered message handlers and then DefaultHandler.
#include <windows.h>
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
  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);

  // Adds a handler for one message, the way a class declares a message method.
  void SetMessageHandler(UINT msg, TWndMethod handler) { FHandlers[msg] = std::move(handler); }

protected:
  // The default window procedure: registered handlers, then DefaultHandler.
  virtual void WndProc(TMessage& message);
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message) { message.Result = 0; }
  virtual void VisibleChanging() {}

  TWinControl* FParent = nullptr;
  bool FVisible = true;
  bool FEnabled = true;

private:
  std::map<UINT, TWndMethod> FHandlers;
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

  // The window, created on first use.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void DestroyHandle();
  // The control that owns a window of ours, or nullptr.
  static TWinControl* FromHandle(HWND wnd);

protected:
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateHandle();
  void DefaultHandler(TMessage& message) override;
  void VisibleChanging() override;
  HWND FHandle = nullptr;

private:
  static LRESULT CALLBACK StdWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
};
