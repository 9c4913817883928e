#include "platform/ui/TrayIcon.h"
#include "platform/ui/Forms.h"
#include <shellapi.h>

namespace {
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 0x0400;
UINT TaskbarCreatedMessage() {
  static UINT msg = RegisterWindowMessageW(L"TaskbarCreated");
  return msg;
}
UINT g_nextId = 1;
}  // namespace

TTrayIcon::TTrayIcon(TComponent* owner) : TComponent(owner), FId(g_nextId++) {}

TTrayIcon::~TTrayIcon() {
  if (FVisible) Refresh(NIM_DELETE);
  if (FWnd) DestroyWindow(FWnd);
}

HWND TTrayIcon::Handle() {
  if (FWnd) return FWnd;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = TrayWndProc;
  wc.hInstance = inst;
  wc.lpszClassName = L"TTrayIconWindow";
  RegisterClassW(&wc);
  TaskbarCreatedMessage();
  // A hidden top-level window: message-only windows miss the TaskbarCreated broadcast.
  FWnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, inst, nullptr);
  SetWindowLongPtrW(FWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return FWnd;
}

void TTrayIcon::SetVisible(bool value) {
  if (FVisible == value) return;
  FVisible = value;
  Refresh(value ? NIM_ADD : NIM_DELETE);
}

void TTrayIcon::Refresh(DWORD message) {
  NOTIFYICONDATAW nid = {};
  nid.cbSize = sizeof nid;
  nid.hWnd = Handle();
  nid.uID = FId;
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = WM_TRAY_NOTIFY;
  nid.hIcon = Icon ? Icon : Application().Icon();
  lstrcpynW(nid.szTip, Hint.c_str(), ARRAYSIZE(nid.szTip));
  BOOL ok = Shell_NotifyIconW(message, &nid);
  if (message == NIM_DELETE)
    FAdded = false;
  else
    FAdded = ok != FALSE;
}

LRESULT CALLBACK TTrayIcon::TrayWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Nothing may unwind through the system's frames: failures go to the application's report.
  try {
    auto* self = reinterpret_cast<TTrayIcon*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self) {
      if (msg == WM_TRAY_NOTIFY) {
        UINT event = LOWORD(lParam);
        if ((event == WM_RBUTTONUP || event == WM_CONTEXTMENU) && self->PopupMenu) {
          POINT pt;
          GetCursorPos(&pt);
          self->PopupMenu->Popup(pt.x, pt.y, wnd);
        }
        return 0;
      }
      if (msg == TaskbarCreatedMessage() && msg != 0) {
        if (self->FVisible) self->Refresh(NIM_ADD);
        return 0;
      }
    }
    return DefWindowProcW(wnd, msg, wParam, lParam);
  } catch (...) {
    try {
      Application().HandleException(std::current_exception());
    } catch (...) {
    }
    return 0;
  }
}
