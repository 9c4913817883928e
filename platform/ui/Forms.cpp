#include "platform/ui/Forms.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "platform/runtime/Threads.h"

// ---- TForm -----------------------------------------------------------------

TForm::TForm(TComponent* owner) : TWinControl(owner) { FVisible = false; }

TForm::~TForm() {
  if (Application().FMainForm == this) Application().FMainForm = nullptr;
}

void TForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Caption = FCaption;
  DWORD icons = 0;
  if (BorderIcons & biSystemMenu) {
    icons |= WS_SYSMENU;
    if (BorderIcons & biMinimize) icons |= WS_MINIMIZEBOX;
    if (BorderIcons & biMaximize) icons |= WS_MAXIMIZEBOX;
  }
  switch (BorderStyle) {
    case bsNone: params.Style = WS_POPUP; break;
    case bsSingle: params.Style = WS_OVERLAPPED | WS_CAPTION | WS_BORDER | icons; break;
    default: params.Style = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | icons; break;
  }
  params.Style |= WS_CLIPCHILDREN;
  RECT r = {0, 0, ClientWidth, ClientHeight};
  AdjustWindowRectEx(&r, params.Style, FALSE, params.ExStyle);
  params.Width = r.right - r.left;
  params.Height = r.bottom - r.top;
  if (Position == poScreenCenter) {
    params.X = (GetSystemMetrics(SM_CXSCREEN) - params.Width) / 2;
    params.Y = (GetSystemMetrics(SM_CYSCREEN) - params.Height) / 2;
  }
  // Owned by the hidden application window: no task-bar button of its own.
  if (!(Application().MainFormOnTaskBar && Application().MainForm() == this)) params.WndParent = Application().Handle();
}

TRect TForm::ClientRect() const {
  if (FHandle) return TWinControl::ClientRect();
  return Rect(0, 0, ClientWidth, ClientHeight);
}

void TForm::Close() {
  bool canClose = true;
  FormCloseQuery(canClose);
  if (!canClose) return;
  TCloseAction action = Application().MainForm() == this ? TCloseAction::caFree : TCloseAction::caHide;
  FormClose(action);
  if (action == TCloseAction::caNone) return;
  if (Application().MainForm() == this) {
    Application().Terminate();
  } else if (action == TCloseAction::caHide) {
    Hide();
  } else if (action == TCloseAction::caMinimize) {
    if (FHandle) ShowWindow(FHandle, SW_MINIMIZE);
  } else {
    Hide();
    PostMessageW(Handle(), CM_RELEASE, 0, 0);
  }
}

void TForm::Release() { PostMessageW(Handle(), CM_RELEASE, 0, 0); }

void TForm::DoCreate() {
  try {
    FormCreate();
  } catch (...) {
    Application().HandleException(std::current_exception());
  }
}

void TForm::BeforeDestruction() { FormDestroy(); }

void TForm::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_CLOSE:
      Close();
      message.Result = 0;
      return;
    case CM_RELEASE:
      Free(this);  // posted: the form's own message handling has finished
      return;
  }
  TWinControl::WndProc(message);
}

// ---- TApplication ----------------------------------------------------------

TApplication& Application() {
  static TApplication* app = new TApplication;  // lives until the process ends
  return *app;
}

TApplication::TApplication() : TComponent(nullptr) {
  SetWindowProcExceptionHandler([this](std::exception_ptr e) { HandleException(e); });
  SetQueuedExceptionHandler([this](const std::exception& e) { ShowException(e); });
}

TApplication::~TApplication() {
  DestroyComponents();
  if (FHandle) DestroyWindow(FHandle);
  if (FOwnIcon && FIcon) DestroyIcon(FIcon);
}

void TApplication::Initialize() {
  InitMainThreadDispatcher();
  if (FHandle) return;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = AppWndProc;
  wc.hInstance = inst;
  wc.lpszClassName = L"TApplication";
  RegisterClassW(&wc);
  std::wstring title = ChangeFileExt(ExtractFileName(ExeFileName()), L"");
  FHandle = CreateWindowExW(0, wc.lpszClassName, title.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                            nullptr, nullptr, inst, nullptr);
  if (!FHandle) RaiseLastOSError(0, L"CreateWindowEx TApplication");
  if (FIcon) SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon));
}

HICON TApplication::Icon() const {
  if (FIcon) return FIcon;
  // The program's own icon when its resources hold one, else the system's.
  HICON own = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  return own ? own : LoadIconW(nullptr, IDI_APPLICATION);
}

void TApplication::SetIcon(HICON icon) {
  if (FOwnIcon && FIcon) DestroyIcon(FIcon);
  FIcon = icon;
  FOwnIcon = icon != nullptr;
  if (FHandle) SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Icon()));
}

bool TApplication::LoadIconFromFile(const std::wstring& fileName) {
  HICON icon = static_cast<HICON>(LoadImageW(nullptr, fileName.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
  if (!icon) return false;
  SetIcon(icon);
  return true;
}

void TApplication::Run() {
  if (FMainForm && ShowMainForm) FMainForm->Show();
  MSG msg;
  while (!FTerminated) {
    BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r <= 0) {
      FTerminated = true;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void TApplication::Terminate() {
  if (FTerminated) return;
  FTerminated = true;
  PostQuitMessage(0);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      FTerminated = true;
      PostQuitMessage(static_cast<int>(msg.wParam));  // keep it for the loop that waits for it
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void TApplication::HandleException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(Exception(L"Unknown exception"));
  }
}

void TApplication::ShowException(const std::exception& e) {
  CodeSite().SendException(e);
  if (OnException) {
    OnException(e);
    return;
  }
  auto* ours = dynamic_cast<const Exception*>(&e);
  std::wstring text = ours ? ours->Message() : Utf8ToWide(e.what());
  MessageBoxW(FHandle, text.c_str(), L"Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

LRESULT CALLBACK TApplication::AppWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    // Closing the application window (a task manager, a WM_CLOSE to the process's windows)
    // closes the main form, which ends the program the ordinary way.
    try {
      if (auto* main = Application().MainForm()) main->Close();
    } catch (...) {
      Application().HandleException(std::current_exception());
    }
    return 0;
  }
  return DefWindowProcW(wnd, msg, wParam, lParam);
}
