#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include <algorithm>
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "platform/runtime/Threads.h"
#include "platform/ui/HintWindow.h"
#include "platform/ui/ModalPhase.h"

// ---- TForm -----------------------------------------------------------------

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  FVisible = false;
  // Made as the object of a loading phase: its definition is being built.
  if (FComponentState & csLoading) FFormState |= fsCreating;
  TApplication& app = Application();
  if (app.FCreatingMain && !app.FMainForm && owner == &app) app.FMainForm = this;
  Screen().AddForm(this);
}

TForm::~TForm() {
  if (FIcon) DestroyIcon(FIcon);
  Screen().RemoveForm(this);
  if (Application().FMainForm == this) Application().FMainForm = nullptr;
}

void TForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Caption = FCaption;
  DWORD icons = 0;
  if (FBorderIcons & biSystemMenu) {
    icons |= WS_SYSMENU;
    if (FBorderIcons & biMinimize) icons |= WS_MINIMIZEBOX;
    if (FBorderIcons & biMaximize) icons |= WS_MAXIMIZEBOX;
    // The help button shows only where Windows allows it: without minimize and maximize.
    if ((FBorderIcons & biHelp) && !(icons & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) params.ExStyle |= WS_EX_CONTEXTHELP;
  }
  switch (FBorderStyle) {
    case bsNone: params.Style = WS_POPUP; break;
    case bsSingle: params.Style = WS_OVERLAPPED | WS_CAPTION | WS_BORDER | icons; break;
    case bsDialog:
      params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
      params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case bsToolWindow:
      params.Style = WS_OVERLAPPED | WS_CAPTION | WS_BORDER | (icons & WS_SYSMENU);
      params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      params.Style = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | (icons & WS_SYSMENU);
      params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
    default: params.Style = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | icons; break;
  }
  params.Style |= WS_CLIPCHILDREN;
  if (FFormStyle == fsStayOnTop) params.ExStyle |= WS_EX_TOPMOST;
  if (FAlphaBlend) params.ExStyle |= WS_EX_LAYERED;
  if (FControlState & csRecreating) {
    // The window made again keeps its place and size.
    params.X = FLeft;
    params.Y = FTop;
    params.Width = FWidth;
    params.Height = FHeight;
  } else {
    if (FBoundsGiven) {
      params.X = FLeft;
      params.Y = FTop;
      params.Width = FWidth;
      params.Height = FHeight;
    } else {
      RECT r = {0, 0, FClientWidth, FClientHeight};
      AdjustWindowRectEx(&r, params.Style, FALSE, params.ExStyle);
      params.Width = r.right - r.left;
      params.Height = r.bottom - r.top;
    }
    if (Position == poScreenCenter) {
      params.X = (GetSystemMetrics(SM_CXSCREEN) - params.Width) / 2;
      params.Y = (GetSystemMetrics(SM_CYSCREEN) - params.Height) / 2;
    } else if (Position == poDefaultPosOnly) {
      params.X = params.Y = CW_USEDEFAULT;
    }
  }
  // Right-to-left reading order, and the text and caption aligned to the right.
  if (UseRightToLeftReading()) params.ExStyle |= WS_EX_RTLREADING;
  if (UseRightToLeftAlignment()) params.ExStyle |= WS_EX_RIGHT;
  // Owned by the hidden application window: no task-bar button of its own.
  if (!(Application().MainFormOnTaskBar && Application().MainForm() == this)) params.WndParent = Application().Handle();
  if (FFormKind == fkMDIChild) MDICreateParams(params);
}

void TForm::CreateHandle() {
  bool recreating = (FControlState & csRecreating) != 0;
  TWinControl::CreateHandle();
  // The bar first: the client size is fitted with it in place.
  if (FMenu && FFormKind != fkMDIChild) {
    FMenu->WindowHandle = FHandle;
    ::SetMenu(FHandle, FMenu->Handle());
  }
  if (FFormKind == fkMDIForm) CreateMDIClient();
  ApplyLayered();
  if (!recreating && FBoundsGiven) {
    // The window keeps the bounds it was given; its client size is what they leave.
    RECT client;
    if (GetClientRect(FHandle, &client)) {
      FClientWidth = client.right;
      FClientHeight = client.bottom;
    }
    FBoundsGiven = false;
  }
  if (!recreating) FitClientSize();
  if (FWindowState != wsNormal && FVisible) SetWindowState(FWindowState);
  if (FIcon) SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon));
}

// ---- TForm: main menu --------------------------------------------------------

void TForm::SetMenu(TMainMenu* value) {
  if (FMenu == value) return;
  if (FMenu) {
    FMenu->OnChange = nullptr;
    FMenu->WindowHandle = nullptr;
  }
  FMenu = value;
  if (FMenu) {
    FMenu->FreeNotification(this);
    FMenu->OnChange = [this](TMenu*) { MenuChangedByItems(); };
  }
  if (!FHandle || FFormKind == fkMDIChild) return;
  if (FMenu) FMenu->WindowHandle = FHandle;
  ::SetMenu(FHandle, FMenu ? FMenu->Handle() : nullptr);
  Perform(CM_MENUCHANGED, 0, 0);
}

void TForm::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove) {
    if (component == WindowMenu) WindowMenu = nullptr;
    if (component == FMenu) {
      FMenu = nullptr;
      if (FHandle && !Destroying()) ::SetMenu(FHandle, nullptr);
    }
  }
  TWinControl::Notification(component, operation);
}

void TForm::MenuChangedByItems() {
  // The bar is built again at once, so that Windows measures and places the new items.
  if (!FHandle || !FMenu || FFormKind == fkMDIChild || Destroying()) return;
  if (FInMenuLoop) {
    FMenuPending = true;
    return;
  }
  FMenuPending = false;
  FMenu->WindowHandle = FHandle;
  HMENU menu = FMenu->Handle();
  if (GetMenu(FHandle) != menu) ::SetMenu(FHandle, menu);
  DrawMenuBar(FHandle);
  Perform(CM_MENUCHANGED, 0, 0);
}

void TForm::BringToFront() {
  if (!FHandle) return;
  if (FFormKind == fkMDIChild) {
    if (HWND client = GetParent(FHandle)) SendMessageW(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(FHandle), 0);
    return;
  }
  SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TForm::SetIcon(HICON icon) {
  HICON copy = icon ? CopyIcon(icon) : nullptr;
  if (FHandle) SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(copy));
  if (FIcon) DestroyIcon(FIcon);
  FIcon = copy;
}

void TForm::SetBorderWidth(int value) {
  value = std::max(0, value);
  if (FBorderWidth == value) return;
  FBorderWidth = value;
  // The frame changes: the client area is measured again and the window keeps its client size.
  if (FHandle) {
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitClientSize();
  }
}

void TForm::FitClientSize() {
  if (!FHandle) return;
  // The frame is what the window really has (WM_NCCALCSIZE may answer other than the
  // system's metrics): grow or shrink the window by the difference.
  RECT client, window;
  if (!GetClientRect(FHandle, &client) || !GetWindowRect(FHandle, &window)) return;
  int dw = FClientWidth - client.right, dh = FClientHeight - client.bottom;
  if (dw == 0 && dh == 0) return;
  SetWindowPos(FHandle, nullptr, 0, 0, window.right - window.left + dw, window.bottom - window.top + dh,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TForm::ClientWidth() const {
  if (FHandle) {
    RECT r;
    if (GetClientRect(FHandle, &r)) return r.right;
  }
  return FClientWidth;
}

int TForm::ClientHeight() const {
  if (FHandle) {
    RECT r;
    if (GetClientRect(FHandle, &r)) return r.bottom;
  }
  return FClientHeight;
}

void TForm::BoundsChanged() {
  if (!FHandle) FBoundsGiven = true;
  TWinControl::BoundsChanged();
}

void TForm::SetClientSize(int width, int height) {
  FBoundsGiven = false;
  FClientWidth = width < 0 ? 0 : width;
  FClientHeight = height < 0 ? 0 : height;
  FitClientSize();
}

void TForm::SetBorderStyle(TFormBorderStyle value) {
  if (FBorderStyle == value) return;
  FBorderStyle = value;
  RecreateWnd();
}

void TForm::SetBorderIcons(unsigned value) {
  if (FBorderIcons == value) return;
  FBorderIcons = value;
  RecreateWnd();
}

void TForm::SetFormStyle(TFormStyle value) {
  if (FFormStyle == value) return;
  FFormStyle = value;
  if (FHandle)
    SetWindowPos(FHandle, value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TWindowState TForm::WindowState() const {
  if (FHandle && IsWindowVisible(FHandle)) {
    if (IsIconic(FHandle)) return wsMinimized;
    if (IsZoomed(FHandle)) return wsMaximized;
    return wsNormal;
  }
  return FWindowState;
}

void TForm::SetWindowState(TWindowState value) {
  FWindowState = value;
  if (!FHandle || !FVisible) return;  // applied when the form is shown
  ShowWindow(FHandle, value == wsMinimized ? SW_MINIMIZE : value == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

void TForm::SetAlphaBlend(bool value) {
  if (FAlphaBlend == value) return;
  FAlphaBlend = value;
  ApplyLayered();
}

void TForm::SetAlphaBlendValue(std::uint8_t value) {
  if (FAlphaBlendValue == value) return;
  FAlphaBlendValue = value;
  ApplyLayered();
}

void TForm::ApplyLayered() {
  if (!FHandle) return;
  LONG_PTR ex = GetWindowLongPtrW(FHandle, GWL_EXSTYLE);
  if (FAlphaBlend) {
    if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(FHandle, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    SetLayeredWindowAttributes(FHandle, 0, FAlphaBlendValue, LWA_ALPHA);
  } else if (ex & WS_EX_LAYERED) {
    SetWindowLongPtrW(FHandle, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    RedrawWindow(FHandle, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
  }
}

TRect TForm::ClientRect() const {
  if (FHandle) return TWinControl::ClientRect();
  return Rect(0, 0, FClientWidth, FClientHeight);
}

TCanvas& TForm::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>(nullptr);
  return *FCanvas;
}

void TForm::PaintOnCanvas(HDC DC, TPoint Origin) {
  if (!DC || !OnPaint) return;
  TCanvas& canvas = Canvas();
  canvas.Lock();
  const HDC previous = canvas.CurrentHandleOrNull();
  canvas.SetHandle(DC);
  POINT old{};
  OffsetViewportOrgEx(DC, Origin.X, Origin.Y, &old);
  struct TRestore {
    TCanvas& Canvas;
    HDC Dc, Previous;
    POINT Old;
    ~TRestore() {
      SetViewportOrgEx(Dc, Old.x, Old.y, nullptr);
      Canvas.SetHandle(Previous);
      Canvas.Unlock();
    }
  } restore{canvas, DC, previous, old};
  OnPaint(this, DC);
}

bool TForm::CloseQuery() {
  bool canClose = true;
  FormCloseQuery(canClose);
  return canClose;
}

void TForm::Close() {
  if (!CloseQuery()) return;
  TCloseAction action = Application().MainForm() == this ? TCloseAction::caFree : TCloseAction::caHide;
  FormClose(action);
  if (auto handler = OnClose) handler(this, action);
  if (action == TCloseAction::caNone) return;
  if (Application().MainForm() == this) {
    Application().Terminate();
  } else if (action == TCloseAction::caHide) {
    Hide();
  } else if (action == TCloseAction::caMinimize) {
    if (FHandle) ShowWindow(FHandle, SW_MINIMIZE);
  } else {
    Hide();
    Release();
  }
}

void TForm::Release() { PostMessageW(Handle(), CM_RELEASE, 0, 0); }

void TForm::DoCreate() {
  if (FCreated) return;
  FCreated = true;
  try {
    FormCreate();
  } catch (...) {
    Application().HandleException(std::current_exception());
  }
}

void TForm::AfterConstruction() {
  FFormState &= ~fsCreating;
  TWinControl::AfterConstruction();
  DoCreate();
}

void TForm::VisibleChanging() {
  const unsigned was = FFormState & fsShowing;
  FFormState |= fsShowing;
  struct TRestore {
    TForm* Form;
    unsigned Was;
    ~TRestore() { Form->FFormState = (Form->FFormState & ~fsShowing) | Was; }
  } restore{this, was};
  TWinControl::VisibleChanging();
}

void TForm::BeforeDestruction() {
  FormDestroy();
  // An MDI child's window goes through its client, which then activates the next child.
  if (FFormKind == fkMDIChild && FHandle)
    if (HWND client = GetParent(FHandle)) SendMessageW(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(FHandle), 0);
  TWinControl::BeforeDestruction();
}

void TForm::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_COMMAND:
      // A command of the menu bar runs its item.
      if (HIWORD(message.WParam) == 0 && message.LParam == 0 && FMenu)
        if (TMenuItem* item = FMenu->FindItemByCommand(LOWORD(message.WParam))) {
          item->Click();
          message.Result = 0;
          return;
        }
      break;
    case WM_MEASUREITEM:
    case WM_DRAWITEM: {
      LRESULT result = 0;
      if (message.WParam == 0 && DispatchMenuOwnerDraw(message.Msg, message.WParam, message.LParam, result)) {
        message.Result = result;
        return;
      }
      break;
    }
    case WM_ENTERMENULOOP:
      FInMenuLoop = true;
      break;
    case WM_EXITMENULOOP:
      FInMenuLoop = false;
      TWinControl::WndProc(message);
      if (FMenuPending) MenuChangedByItems();
      return;
    case WM_INITMENUPOPUP:
      // The items of a menu about to open show their actions' present state.
      if (FMenu && HIWORD(message.LParam) == 0) {
        auto menu = reinterpret_cast<HMENU>(message.WParam);
        for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
          MENUITEMINFOW info{};
          info.cbSize = sizeof info;
          info.fMask = MIIM_DATA;
          if (GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info))
            if (TMenuItem* item = LiveMenuItem(static_cast<LPARAM>(info.dwItemData))) {
              if (item->Action) {
                item->Action->Update();
                EnableMenuItem(menu, static_cast<UINT>(i),
                               MF_BYPOSITION | (item->DisplayEnabled() ? MF_ENABLED : MF_GRAYED));
              }
            }
        }
      }
      break;
    case WM_CLOSE:
      Close();
      message.Result = 0;
      return;
    case CM_RELEASE:
      // Inside this message the free waits until the outermost message of the form returns.
      Free(this);
      return;
    case WM_ACTIVATE:
      if (LOWORD(message.WParam) != WA_INACTIVE) {
        Screen().FormActivated(this);
        break;
      }
      // The window's own handling first, then the event (which may close the form).
      TWinControl::WndProc(message);
      if (auto handler = OnDeactivate) handler(this);  // a copy: the event may replace itself
      return;
    case WM_NCCALCSIZE:
      TWinControl::WndProc(message);
      if (FBorderWidth > 0 && message.LParam) {
        // Both forms of the message lead with the new window's client rectangle.
        auto* r = reinterpret_cast<RECT*>(message.LParam);
        InflateRect(r, -FBorderWidth, -FBorderWidth);
        if (r->right < r->left) r->right = r->left;
        if (r->bottom < r->top) r->bottom = r->top;
      }
      return;
    case WM_GETMINMAXINFO: {
      TWinControl::WndProc(message);
      auto* info = reinterpret_cast<MINMAXINFO*>(message.LParam);
      if (!info) return;
      const TSizeConstraints& c = Constraints;
      if (c.MaxWidth > 0) {
        info->ptMaxTrackSize.x = std::min<LONG>(info->ptMaxTrackSize.x, c.MaxWidth);
        info->ptMaxSize.x = std::min<LONG>(info->ptMaxSize.x, c.MaxWidth);
      }
      if (c.MaxHeight > 0) {
        info->ptMaxTrackSize.y = std::min<LONG>(info->ptMaxTrackSize.y, c.MaxHeight);
        info->ptMaxSize.y = std::min<LONG>(info->ptMaxSize.y, c.MaxHeight);
      }
      if (c.MinWidth > 0) info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, c.MinWidth);
      if (c.MinHeight > 0) info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, c.MinHeight);
      return;
    }
    case WM_SIZE:
      TWinControl::WndProc(message);
      if (OnResize) OnResize(this);
      return;
  }
  TWinControl::WndProc(message);
}

// ---- TForm: multiple-document interface ------------------------------------

void TForm::SetFormKind(TFormKind kind, TForm* host) {
  FFormKind = kind;
  FMDIHost = kind == fkMDIChild ? host : nullptr;
}

void TForm::MDICreateParams(TCreateParams& params) {
  TForm* host = FMDIHost ? FMDIHost : Application().MainForm();
  if (!host || host == this || host->FormKind() != fkMDIForm) throw Exception(L"No MDI form to host " + ClassName());
  host->Handle();
  if (!host->ClientHandle()) throw Exception(L"No MDI client window to host " + ClassName());
  // The client decides where a new child goes, and children are never layered or topmost.
  params.WndParent = host->ClientHandle();
  params.ExStyle = (params.ExStyle & ~(WS_EX_LAYERED | WS_EX_TOPMOST)) | WS_EX_MDICHILD;
  if (!(FControlState & csRecreating)) params.X = params.Y = CW_USEDEFAULT;
}

void TForm::CreateMDIClient() {
  CLIENTCREATESTRUCT ccs{};
  ccs.idFirstChild = 0xFF00;  // above every menu command of ours
  RECT r{};
  GetClientRect(FHandle, &r);
  FClientHandle = CreateWindowExW(WS_EX_CLIENTEDGE, L"MDICLIENT", nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL,
                                  0, 0, r.right, r.bottom, FHandle, nullptr, GetModuleHandleW(nullptr), &ccs);
  if (!FClientHandle) RaiseLastOSError(0, L"CreateWindowEx MDICLIENT");
}

std::vector<TForm*> TForm::MDIChildList() const {
  std::vector<TForm*> children;
  if (FFormKind != fkMDIForm || !FClientHandle) return children;
  for (HWND w = GetWindow(FClientHandle, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
    if (auto* form = dynamic_cast<TForm*>(FromHandle(w)); form && form->FFormKind == fkMDIChild) children.push_back(form);
  return children;
}

int TForm::MDIChildCount() const { return static_cast<int>(MDIChildList().size()); }

TForm* TForm::MDIChildren(int index) const {
  std::vector<TForm*> children = MDIChildList();
  return index >= 0 && index < static_cast<int>(children.size()) ? children[index] : nullptr;
}

TForm* TForm::ActiveMDIChild() const {
  if (FFormKind != fkMDIForm || !FClientHandle) return nullptr;
  auto wnd = reinterpret_cast<HWND>(SendMessageW(FClientHandle, WM_MDIGETACTIVE, 0, 0));
  return wnd ? dynamic_cast<TForm*>(FromHandle(wnd)) : nullptr;
}

bool TForm::ActiveMDIChildMaximized() const {
  if (FFormKind != fkMDIForm || !FClientHandle) return false;
  BOOL maximized = FALSE;
  HWND wnd = reinterpret_cast<HWND>(SendMessageW(FClientHandle, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximized)));
  return wnd && maximized;
}

void TForm::DefaultHandler(TMessage& message) {
  if (FHandle && FFormKind == fkMDIForm && FClientHandle) {
    // The messages by which the frame keeps its client window sized, focused and in charge of
    // the children's system commands.
    switch (message.Msg) {
      case WM_COMMAND:
      case WM_NCACTIVATE:
      case WM_SETFOCUS:
      case WM_SIZE:
      case WM_SYSCOMMAND:
      case WM_MENUCHAR:
      case WM_NEXTMENU:
      case WM_SETTEXT:
        message.Result = DefFrameProcW(FHandle, FClientHandle, message.Msg, message.WParam, message.LParam);
        return;
      case WM_NCDESTROY:
        FClientHandle = nullptr;  // gone with the frame
        break;
    }
  } else if (FHandle && FFormKind == fkMDIChild) {
    // The messages by which the client activates, maximizes and arranges its children.
    switch (message.Msg) {
      case WM_CHILDACTIVATE:
      case WM_GETMINMAXINFO:
      case WM_MENUCHAR:
      case WM_MOVE:
      case WM_NEXTMENU:
      case WM_SETFOCUS:
      case WM_SETTEXT:
      case WM_SIZE:
      case WM_SYSCHAR:
      case WM_SYSCOMMAND:
        message.Result = DefMDIChildProcW(FHandle, message.Msg, message.WParam, message.LParam);
        return;
    }
  }
  TWinControl::DefaultHandler(message);
}

// ---- TApplication ----------------------------------------------------------

TForm* TApplication::ActiveForm() const {
  return dynamic_cast<TForm*>(TWinControl::FromHandle(GetActiveWindow()));
}

TApplication& Application() {
  static TApplication* app = new TApplication;  // lives until the process ends
  return *app;
}

TApplication::TApplication() : TComponent(nullptr) {
  HintWindowClass = NewPlainHintWindow;
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
  TModalPhase phase;  // listeners (the skin engine) see this box's loop too
  MessageBoxW(FHandle, text.c_str(), L"Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

LRESULT CALLBACK TApplication::AppWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Nothing may unwind through the system's frames.
  if (PrivateMessageRefused(wnd, msg, wParam, lParam)) return 0;
  try {
    TMessage message{msg, wParam, lParam, 0};
    // The program becomes active: the application window hears it once the activation is
    // done (the skin engine repaints its forms then).
    if (msg == WM_ACTIVATEAPP) Application().FActive = wParam != 0;
    if (msg == WM_ACTIVATEAPP && wParam) PostMessageW(wnd, CM_ACTIVATE, 0, 0);
    if (Application().RunHooks(message)) return message.Result;
    if (msg == WM_CLOSE) {
      // Closing the application window (a task manager, a WM_CLOSE to the process's windows)
      // closes the main form, which ends the program the ordinary way.
      if (auto* main = Application().MainForm()) main->Close();
      return 0;
    }
    // ---- the restore event ----
    if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE) {
      const bool wasIconic = IsIconic(wnd) != FALSE;
      const LRESULT result = DefWindowProcW(wnd, msg, wParam, lParam);
      if (wasIconic && Application().OnRestore) Application().OnRestore();
      return result;
    }
    // ---- end of the restore event ----
    return DefWindowProcW(wnd, msg, wParam, lParam);
  } catch (...) {
    try {
      Application().HandleException(std::current_exception());
    } catch (...) {
    }
    return 0;
  }
}

TForm* GetParentForm(TControl* control) {
  TForm* form = nullptr;
  for (TControl* c = control; c; c = c->Parent())
    if (auto* f = dynamic_cast<TForm*>(c)) form = f;
  return form;
}

int TApplication::HookMainWindow(TWindowHook hook) {
  const int id = ++FNextHookId;
  FHooks.push_back({id, std::make_shared<TWindowHook>(std::move(hook))});
  return id;
}

void TApplication::UnhookMainWindow(int id) {
  FHooks.erase(std::remove_if(FHooks.begin(), FHooks.end(), [id](const THookEntry& e) { return e.Id == id; }),
               FHooks.end());
}

bool TApplication::RunHooks(TMessage& message) {
  if (FHooks.empty()) return false;
  // A hook that removes itself keeps running: the snapshot holds it.
  const std::vector<THookEntry> hooks(FHooks.rbegin(), FHooks.rend());
  for (const THookEntry& entry : hooks) {
    const bool present = std::any_of(FHooks.begin(), FHooks.end(), [&](const THookEntry& e) { return e.Id == entry.Id; });
    if (present && (*entry.Hook)(message)) return true;
  }
  return false;
}

void TApplication::Minimize() {
  if (Minimized()) return;
  if (HWND wnd = TaskBarWindow()) ShowWindow(wnd, SW_MINIMIZE);
}

void TApplication::Restore() {
  if (!Minimized()) return;
  ShowWindow(TaskBarWindow(), SW_RESTORE);
  if (OnRestore) OnRestore();
}

// ---- the plain hint window ----
THintWindow* NewPlainHintWindow(TComponent* owner) { return new THintWindow(owner); }

bool TApplication::PlainHintWindowClass() const {
  auto* target = HintWindowClass.target<THintWindow* (*)(TComponent*)>();
  return target && *target == &NewPlainHintWindow;
}
// ---- end of the plain hint window ----

// ---- TScreen ---------------------------------------------------------------

void TScreen::AddForm(TForm* form) { FForms.push_back(form); }

void TScreen::RemoveForm(TForm* form) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
  if (FActiveForm == form) FActiveForm = nullptr;
}

void TScreen::FormActivated(TForm* form) {
  auto found = std::find(FForms.begin(), FForms.end(), form);
  if (found == FForms.end()) return;
  std::rotate(FForms.begin(), found, found + 1);
  FActiveForm = form;
}

int TScreen::PixelsPerInch() const {
  HDC dc = GetDC(nullptr);
  const int ppi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return ppi > 0 ? ppi : 96;
}

int TScreen::MainFormPixelsPerInch() const {
  TForm* form = Application().MainForm();
  if (form && form->HandleAllocated()) {
    using TGetDpiForWindow = UINT(WINAPI*)(HWND);
    static const auto entry = reinterpret_cast<TGetDpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (entry)
      if (const UINT dpi = entry(form->Handle()); dpi > 0) return static_cast<int>(dpi);
  }
  return PixelsPerInch();
}

TFont& TScreen::MessageFont() {
  if (!FMessageFont) {
    FMessageFont = std::make_unique<TFont>();
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
      FMessageFont->Name = std::wstring(metrics.lfMessageFont.lfFaceName);
      if (metrics.lfMessageFont.lfHeight != 0) FMessageFont->Height = static_cast<int>(metrics.lfMessageFont.lfHeight);
    }
  }
  return *FMessageFont;
}

TFont& TScreen::HintFont() {
  if (!FHintFont) {
    FHintFont = std::make_unique<TFont>();
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
      FHintFont->Name = std::wstring(metrics.lfStatusFont.lfFaceName);
      if (metrics.lfStatusFont.lfHeight != 0) FHintFont->Height = static_cast<int>(metrics.lfStatusFont.lfHeight);
    }
    FHintFont->Color = clInfoText;
  }
  return *FHintFont;
}

TFont& TScreen::MenuFont() {
  if (!FMenuFont) {
    FMenuFont = std::make_unique<TFont>();
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
      FMenuFont->Name = std::wstring(metrics.lfMenuFont.lfFaceName);
      if (metrics.lfMenuFont.lfHeight != 0) FMenuFont->Height = static_cast<int>(metrics.lfMenuFont.lfHeight);
      FMenuFont->Charset = static_cast<std::uint8_t>(metrics.lfMenuFont.lfCharSet);
    }
  }
  return *FMenuFont;
}

HCURSOR TScreen::Cursor(int index) const {
  auto found = FCursors.find(index);
  if (found != FCursors.end() && found->second) return found->second;
  return LoadCursorW(nullptr, IDC_ARROW);
}

void TScreen::SetCursor(int index, HCURSOR cursor) {
  if (cursor)
    FCursors[index] = cursor;
  else
    FCursors.erase(index);
}

TScreen& Screen() {
  static TScreen screen;
  return screen;
}
