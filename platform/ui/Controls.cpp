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

TControl::~TControl() {
  if (FParent) {
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    TWinControl* parent = FParent;
    FParent = nullptr;
    if (!parent->Destroying()) {
      if (FAlign != alNone) parent->Realign();
      if (parent->HandleAllocated()) InvalidateRect(parent->Handle(), BoundsRect().AsRECT(), TRUE);
    }
  }
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  WindowProc(m);
  return m.Result;
}

void TControl::SetParent(TWinControl* value) {
  if (FParent == value) return;
  if (FParent) {
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    TWinControl* old = FParent;
    FParent = nullptr;
    if (FAlign != alNone) old->Realign();
    if (old->HandleAllocated()) InvalidateRect(old->Handle(), BoundsRect().AsRECT(), TRUE);
  }
  FParent = value;
  if (FParent) {
    FParent->FControls.push_back(this);
    RealignParent();
    Invalidate();
  }
}

void TControl::SetVisible(bool value) {
  if (FVisible == value) return;
  FVisible = value;
  VisibleChanging();
  Perform(CM_VISIBLECHANGED, value ? 1 : 0, 0);
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible) return false;
  return true;
}

void TControl::SetEnabled(bool value) {
  if (FEnabled == value) return;
  FEnabled = value;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

bool TControl::StoreBounds(int left, int top, int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return false;
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  return true;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (StoreBounds(left, top, width, height)) BoundsChanged();
}

void TControl::SetAlign(TAlign value) {
  if (FAlign == value) return;
  FAlign = value;
  RealignParent();
}

void TControl::RealignParent() {
  if (FParent && !FParent->Destroying()) FParent->Realign();
}

void TControl::SetCaption(const std::wstring& value) {
  if (FCaption == value) return;
  FCaption = value;
  Perform(CM_TEXTCHANGED);
}

void TControl::Invalidate() {}

void TControl::WndProc(TMessage& message) { Dispatch(message); }

void TControl::Dispatch(TMessage& message) {
  auto it = FHandlers.find(message.Msg);
  if (it != FHandlers.end())
    it->second(message);
  else
    DefaultHandler(message);
}

// ---- TGraphicControl ----------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {
  SetMessageHandler(CM_TEXTCHANGED, [this](TMessage&) { Invalidate(); });
}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Invalidate() {
  if (FParent && FParent->HandleAllocated()) InvalidateRect(FParent->Handle(), BoundsRect().AsRECT(), TRUE);
}

void TGraphicControl::BoundsChanged() {
  // The old place must be repainted too; the parent is small enough to redraw whole.
  if (FParent && FParent->HandleAllocated()) InvalidateRect(FParent->Handle(), nullptr, TRUE);
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

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  DestroyHandle();
  for (auto* c : FControls) c->FParent = nullptr;
  FControls.clear();
}

HWND TWinControl::Handle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.WinClassName = ClassName();
  if (FParent) {
    params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    params.WndParent = FParent->Handle();
    params.X = FLeft;
    params.Y = FTop;
    params.Width = FWidth;
    params.Height = FHeight;
  } else {
    params.Style = WS_OVERLAPPEDWINDOW;
  }
  params.Caption = FCaption;
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
  UpdateBoundsFromWindow();
  for (auto* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->Handle();
  Realign();
}

void TWinControl::SetParent(TWinControl* value) {
  if (FParent == value) return;
  TControl::SetParent(value);
  if (!FHandle) {
    if (FParent && FParent->HandleAllocated()) Handle();
  } else if (FParent && FParent->HandleAllocated()) {
    ::SetParent(FHandle, FParent->FHandle);
  } else {
    DestroyHandle();  // made again, with the right parent, when next asked for
  }
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (!StoreBounds(left, top, width, height)) return;
  if (FHandle)
    SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);  // WM_SIZE realigns
  else
    Realign();
  BoundsChanged();
}

void TWinControl::SetCaption(const std::wstring& value) {
  if (FCaption == value) return;
  if (FHandle) SetWindowTextW(FHandle, value.c_str());
  TControl::SetCaption(value);
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

TRect TWinControl::ClientRect() const {
  if (FHandle) {
    TRect r;
    GetClientRect(FHandle, r.AsRECT());
    return r;
  }
  return Rect(0, 0, FWidth, FHeight);
}

void TWinControl::Realign() {
  if (FAligning || Destroying()) return;
  FAligning = true;
  try {
    AlignControls(ClientRect());
  } catch (...) {
    FAligning = false;
    throw;
  }
  FAligning = false;
}

void TWinControl::AlignControls(TRect r) {
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient})
    for (auto* c : FControls) {
      if (c->FAlign != a || !c->FVisible) continue;
      TMargins m = c->AlignWithMargins ? c->Margins : TMargins{0, 0, 0, 0};
      int w = c->FWidth, h = c->FHeight;
      switch (a) {
        case alTop:
          c->SetBounds(r.Left + m.Left, r.Top + m.Top, r.Width() - m.Left - m.Right, h);
          r.Top += h + m.Top + m.Bottom;
          break;
        case alBottom:
          c->SetBounds(r.Left + m.Left, r.Bottom - m.Bottom - h, r.Width() - m.Left - m.Right, h);
          r.Bottom -= h + m.Top + m.Bottom;
          break;
        case alLeft:
          c->SetBounds(r.Left + m.Left, r.Top + m.Top, w, r.Height() - m.Top - m.Bottom);
          r.Left += w + m.Left + m.Right;
          break;
        case alRight:
          c->SetBounds(r.Right - m.Right - w, r.Top + m.Top, w, r.Height() - m.Top - m.Bottom);
          r.Right -= w + m.Left + m.Right;
          break;
        default:
          c->SetBounds(r.Left + m.Left, r.Top + m.Top, r.Width() - m.Left - m.Right, r.Height() - m.Top - m.Bottom);
          break;
      }
    }
}

void TWinControl::UpdateBoundsFromWindow() {
  if (!FHandle) return;
  RECT wr;
  if (!GetWindowRect(FHandle, &wr)) return;
  HWND parent = (GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_CHILD) ? GetParent(FHandle) : nullptr;
  if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&wr), 2);
  FLeft = wr.left;
  FTop = wr.top;
  FWidth = wr.right - wr.left;
  FHeight = wr.bottom - wr.top;
}

void TWinControl::PaintControls(HDC dc) {
  for (auto* c : FControls) {
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !g->Visible() || g->Width() <= 0 || g->Height() <= 0) continue;
    int saved = SaveDC(dc);
    POINT org;
    GetViewportOrgEx(dc, &org);
    IntersectClipRect(dc, g->Left(), g->Top(), g->Left() + g->Width(), g->Top() + g->Height());
    SetViewportOrgEx(dc, org.x + g->Left(), org.y + g->Top(), nullptr);
    g->Paint(dc);
    RestoreDC(dc, saved);
  }
}

void TWinControl::EraseBackground(HDC dc) {
  RECT r;
  GetClientRect(FHandle, &r);
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(Color)));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void TWinControl::WndProc(TMessage& message) {
  if (message.Msg == WM_WINDOWPOSCHANGED) UpdateBoundsFromWindow();
  TControl::WndProc(message);
  if (message.Msg == WM_SIZE) Realign();
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
  if (!FHandle) {
    message.Result = 0;
    return;
  }
  switch (message.Msg) {
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(message.WParam));
      message.Result = 1;
      return;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = message.WParam ? reinterpret_cast<HDC>(message.WParam) : BeginPaint(FHandle, &ps);
      PaintWindow(dc);
      PaintControls(dc);
      if (!message.WParam) EndPaint(FHandle, &ps);
      message.Result = 0;
      return;
    }
    case WM_PRINTCLIENT: {
      HDC dc = reinterpret_cast<HDC>(message.WParam);
      if (message.LParam & PRF_ERASEBKGND) EraseBackground(dc);
      PaintWindow(dc);
      PaintControls(dc);
      message.Result = 0;
      return;
    }
  }
  message.Result = DefWindowProcW(FHandle, message.Msg, message.WParam, message.LParam);
}

void TWinControl::VisibleChanging() {
  if (FHandle) ShowWindow(FHandle, FVisible ? (FParent ? SW_SHOWNA : SW_SHOWNORMAL) : SW_HIDE);
  RealignParent();
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
