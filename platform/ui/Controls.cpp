#include "platform/ui/Controls.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Logger.h"
#include <algorithm>

// ---- TComponent ------------------------------------------------------------

TComponent::TComponent(TComponent* owner) : FOwner(owner) {
  if (FOwner) {
    for (auto* c : FOwner->FComponents) c->Notification(this, TOperation::opInsert);
    FOwner->FComponents.push_back(this);
  }
}

TComponent::~TComponent() {
  FDestroying = true;
  DestroyComponents();
  if (FOwner) {
    auto& list = FOwner->FComponents;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (!FOwner->FDestroying)
      for (auto* c : list) c->Notification(this, TOperation::opRemove);
  }
}

void TComponent::DestroyComponents() {
  FDestroying = true;
  while (!FComponents.empty()) Free(FComponents.back());  // the child removes itself
}

void TComponent::Free(TComponent* component) {
  if (!component) return;
  component->FDestroying = true;
  component->BeforeDestruction();
  delete component;
}

TComponent* TComponent::FindComponent(const std::wstring& name) const {
  for (auto* c : FComponents)
    if (_wcsicmp(c->Name.c_str(), name.c_str()) == 0) return c;
  return nullptr;
}

// ---- TControl --------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {
  WindowProc = [this](TMessage& m) { WndProc(m); };
}

TControl::~TControl() = default;

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  WindowProc(m);
  return m.Result;
}

void TControl::SetVisible(bool value) {
  if (FVisible == value) return;
  FVisible = value;
  VisibleChanging();
  Perform(CM_VISIBLECHANGED, value ? 1 : 0, 0);
}

void TControl::SetEnabled(bool value) {
  if (FEnabled == value) return;
  FEnabled = value;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::WndProc(TMessage& message) { Dispatch(message); }

void TControl::Dispatch(TMessage& message) {
  auto it = FHandlers.find(message.Msg);
  if (it != FHandlers.end())
    it->second(message);
  else
    DefaultHandler(message);
}

// ---- TWinControl -----------------------------------------------------------

namespace {
// The control whose window is being created: messages before CreateWindowEx returns
// (WM_GETMINMAXINFO comes even before WM_NCCREATE) find their control through it.
thread_local TWinControl* g_creating = nullptr;
const wchar_t* kPropName = L"TarvelControl";
std::function<void(std::exception_ptr)> g_onException;
}  // namespace

void SetWindowProcExceptionHandler(std::function<void(std::exception_ptr)> handler) {
  g_onException = std::move(handler);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) { FVisible = false; }

TWinControl::~TWinControl() { DestroyHandle(); }

HWND TWinControl::Handle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.Style = WS_OVERLAPPEDWINDOW;
  params.WinClassName = ClassName();
}

void TWinControl::CreateHandle() {
  TCreateParams p;
  CreateParams(p);
  if (FVisible) p.Style |= WS_VISIBLE;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing = {sizeof existing};
  if (!GetClassInfoExW(inst, p.WinClassName.c_str(), &existing)) {
    WNDCLASSEXW wc = {sizeof wc};
    wc.style = p.ClassStyle;
    wc.lpfnWndProc = StdWndProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = p.WinClassName.c_str();
    if (!RegisterClassExW(&wc)) RaiseLastOSError(0, L"RegisterClass " + p.WinClassName);
  }
  TWinControl* saved = g_creating;
  g_creating = this;
  HWND wnd = CreateWindowExW(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y, p.Width,
                             p.Height, p.WndParent, nullptr, inst, nullptr);
  g_creating = saved;
  if (!wnd) RaiseLastOSError(0, L"CreateWindowEx " + p.WinClassName);
  FHandle = wnd;
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  HWND wnd = FHandle;
  RemovePropW(wnd, kPropName);
  FHandle = nullptr;
  DestroyWindow(wnd);
}

TWinControl* TWinControl::FromHandle(HWND wnd) {
  return wnd ? static_cast<TWinControl*>(GetPropW(wnd, kPropName)) : nullptr;
}

void TWinControl::DefaultHandler(TMessage& message) {
  if (FHandle)
    message.Result = DefWindowProcW(FHandle, message.Msg, message.WParam, message.LParam);
  else
    message.Result = 0;
}

void TWinControl::VisibleChanging() {
  if (FHandle) ShowWindow(FHandle, FVisible ? SW_SHOWNORMAL : SW_HIDE);
}

LRESULT CALLBACK TWinControl::StdWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* control = FromHandle(wnd);
  if (!control && g_creating) {
    control = g_creating;
    g_creating = nullptr;
    control->FHandle = wnd;
    SetPropW(wnd, kPropName, control);
  }
  if (!control) return DefWindowProcW(wnd, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, 0};
  try {
    control->WindowProc(m);
  } catch (...) {
    // Nothing may unwind through the system's window procedure; the application reports it.
    if (g_onException)
      g_onException(std::current_exception());
    else
      CodeSite().SendError(L"Unhandled exception in a window procedure");
  }
  if (msg == WM_NCDESTROY) {
    RemovePropW(wnd, kPropName);
    if (control->FHandle == wnd) control->FHandle = nullptr;
  }
  return m.Result;
}
