#include "platform/ui/Dialogs.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "platform/runtime/Files.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ModalPhase.h"

bool UseLatestCommonDialogs = true;

namespace {

const wchar_t* const Captions[] = {L"Warning", L"Error", L"Information", L"Confirm", L""};

struct TButtonInfo {
  TMsgDlgBtn Button;
  const wchar_t* Caption;
  int Result;
};
const TButtonInfo Buttons[] = {
    {mbYes, L"&Yes", mrYes},           {mbNo, L"&No", mrNo},
    {mbOK, L"OK", mrOk},               {mbCancel, L"Cancel", mrCancel},
    {mbAbort, L"&Abort", mrAbort},     {mbRetry, L"&Retry", mrRetry},
    {mbIgnore, L"&Ignore", mrIgnore},  {mbAll, L"&All", mrAll},
    {mbNoToAll, L"N&o to All", mrNoToAll}, {mbYesToAll, L"Yes to &All", mrYesToAll},
    {mbHelp, L"&Help", mrHelp},        {mbClose, L"&Close", mrClose},
};

std::wstring ProgramTitle() {
  std::wstring name = ExtractFileName(ExeFileName());
  const std::size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring CaptionOf(TMsgDlgType type, bool plain) {
  if (plain || type < mtWarning || type > mtCustom || !*Captions[type]) return ProgramTitle();
  return Captions[type];
}

int CancelResult(TMsgDlgButtons buttons) {
  if (buttons.Has(mbCancel)) return mrCancel;
  if (buttons.Has(mbNo)) return mrNo;
  return mrOk;
}

LPCWSTR IconOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return IDI_WARNING;
    case mtError: return IDI_ERROR;
    case mtInformation: return IDI_INFORMATION;
    case mtConfirmation: return IDI_QUESTION;
    default: return nullptr;
  }
}

// ---- task dialog -------------------------------------------------------------

using TTaskDialogIndirect = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// Only comctl32 6 has task dialogs; it is asked for at run time, so the program also
// starts where the older library is loaded.
TTaskDialogIndirect TaskDialogEntry() {
  static TTaskDialogIndirect entry = [] {
    HMODULE lib = GetModuleHandleW(L"comctl32.dll");
    if (!lib) lib = LoadLibraryW(L"comctl32.dll");
    return lib ? reinterpret_cast<TTaskDialogIndirect>(
                     reinterpret_cast<void*>(GetProcAddress(lib, "TaskDialogIndirect")))
               : nullptr;
  }();
  return entry;
}

bool ShowTaskDialog(const std::wstring& caption, std::wstring_view text, TMsgDlgType type, TMsgDlgButtons buttons,
                    int& result) {
  TTaskDialogIndirect entry = TaskDialogEntry();
  if (!entry) return false;
  const std::wstring content(text);
  std::vector<TASKDIALOG_BUTTON> custom;
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof(config);
  config.hwndParent = ModalOwnerWindow();
  config.hInstance = GetModuleHandleW(nullptr);
  config.dwFlags = TDF_POSITION_RELATIVE_TO_WINDOW;
  if (buttons.Has(mbCancel)) config.dwFlags |= TDF_ALLOW_DIALOG_CANCELLATION;
  config.pszWindowTitle = caption.c_str();
  config.pszContent = content.c_str();
  switch (type) {
    case mtWarning: config.pszMainIcon = TD_WARNING_ICON; break;
    case mtError: config.pszMainIcon = TD_ERROR_ICON; break;
    case mtInformation: config.pszMainIcon = TD_INFORMATION_ICON; break;
    case mtConfirmation:
      config.dwFlags |= TDF_USE_HICON_MAIN;
      config.hMainIcon = LoadIconW(nullptr, IDI_QUESTION);
      break;
    default: break;
  }
  for (const TButtonInfo& b : Buttons) {
    if (!buttons.Has(b.Button)) continue;
    switch (b.Button) {
      case mbOK: config.dwCommonButtons |= TDCBF_OK_BUTTON; break;
      case mbYes: config.dwCommonButtons |= TDCBF_YES_BUTTON; break;
      case mbNo: config.dwCommonButtons |= TDCBF_NO_BUTTON; break;
      case mbCancel: config.dwCommonButtons |= TDCBF_CANCEL_BUTTON; break;
      case mbRetry: config.dwCommonButtons |= TDCBF_RETRY_BUTTON; break;
      case mbClose: config.dwCommonButtons |= TDCBF_CLOSE_BUTTON; break;
      default: custom.push_back({b.Result, b.Caption}); break;
    }
  }
  if (!custom.empty()) {
    config.pButtons = custom.data();
    config.cButtons = static_cast<UINT>(custom.size());
  }
  int pressed = 0;
  HRESULT hr;
  {
    TModalPhase phase;
    hr = entry(&config, &pressed, nullptr, nullptr);
  }
  if (FAILED(hr)) return false;
  result = pressed;
  return true;
}

// ---- dialog form ---------------------------------------------------------------

class TMessageForm : public TForm {
public:
  TMessageForm(const std::wstring& caption, std::wstring_view text, TMsgDlgType type, TMsgDlgButtons buttons)
      : TForm(nullptr), FText(text), FType(type), FButtons(buttons), FCancelResult(CancelResult(buttons)) {
    SetCaption(caption);
    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu);
    Position = poScreenCenter;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    FFont = CreateFontIndirectW(&metrics.lfMessageFont);
    Layout();
  }
  ~TMessageForm() override {
    DestroyHandle();
    if (FFont) DeleteObject(FFont);
  }
  std::wstring ClassName() const override { return MessageFormClassName; }

  int ModalResult = mrNone;

  int ShowModal() {
    HWND wnd = Handle();
    TModalPhase phase;
    TTaskWindowsDisabled disabled(wnd);
    ShowWindow(wnd, SW_SHOWNORMAL);
    SetForegroundWindow(wnd);
    if (FDefault) ::SetFocus(FDefault);
    MSG msg;
    while (ModalResult == mrNone && IsWindow(wnd)) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop must see it too
        ModalResult = FCancelResult;
        break;
      }
      if (got < 0) break;
      if (!IsDialogMessageW(wnd, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    if (IsWindow(wnd)) ShowWindow(wnd, SW_HIDE);
    return ModalResult == mrNone ? FCancelResult : ModalResult;
  }

protected:
  void CreateHandle() override {
    TForm::CreateHandle();
    HINSTANCE inst = GetModuleHandleW(nullptr);
    if (LPCWSTR icon = IconOf(FType)) {
      HWND image = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ICON, FMargin, FMargin, 32, 32,
                                   FHandle, nullptr, inst, nullptr);
      SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, icon)), 0);
    }
    HWND label = CreateWindowExW(0, L"STATIC", FText.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                 FTextRect.left, FTextRect.top, FTextRect.right - FTextRect.left,
                                 FTextRect.bottom - FTextRect.top, FHandle, nullptr, inst, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
    int x = FButtonsLeft;
    for (const TButtonInfo& b : Buttons) {
      if (!FButtons.Has(b.Button) && !(FButtons.Bits() == 0 && b.Button == mbOK)) continue;
      const bool isDefault = !FDefault;
      HWND button = CreateWindowExW(0, L"BUTTON", b.Caption,
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                                    x, FButtonsTop, ButtonWidth, ButtonHeight, FHandle,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.Result)), inst, nullptr);
      SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
      if (isDefault) FDefault = button;
      x += ButtonWidth + ButtonSpacing;
    }
  }

  void WndProc(TMessage& message) override {
    if (message.Msg == WM_COMMAND && HIWORD(message.WParam) == BN_CLICKED) {
      const int id = LOWORD(message.WParam);
      ModalResult = id == IDCANCEL ? FCancelResult : id;
      message.Result = 0;
      return;
    }
    if (message.Msg == WM_CLOSE) {
      ModalResult = FCancelResult;
      message.Result = 0;
      return;
    }
    TForm::WndProc(message);
  }

private:
  static constexpr int ButtonWidth = 75, ButtonHeight = 25, ButtonSpacing = 8;

  void Layout() {
    int count = 0;
    for (const TButtonInfo& b : Buttons) count += FButtons.Has(b.Button) ? 1 : 0;
    count = std::max(count, 1);
    RECT text = {0, 0, 360, 0};
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, FFont);
    DrawTextW(dc, FText.c_str(), static_cast<int>(FText.size()), &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const int iconRoom = IconOf(FType) ? 32 + FMargin : 0;
    const int textHeight = std::max<int>(text.bottom, iconRoom ? 32 : 0);
    FTextRect = {FMargin + iconRoom, FMargin, FMargin + iconRoom + text.right, FMargin + text.bottom};
    const int buttonsWidth = count * ButtonWidth + (count - 1) * ButtonSpacing;
    const int clientWidth = std::max<int>(FTextRect.right + FMargin, buttonsWidth + 2 * FMargin);
    FButtonsTop = FMargin + textHeight + FMargin;
    FButtonsLeft = (clientWidth - buttonsWidth) / 2;
    SetClientSize(clientWidth, FButtonsTop + ButtonHeight + FMargin);
  }

  std::wstring FText;
  TMsgDlgType FType;
  TMsgDlgButtons FButtons;
  int FCancelResult;
  HFONT FFont = nullptr;
  HWND FDefault = nullptr;
  int FMargin = 12;
  RECT FTextRect{};
  int FButtonsTop = 0, FButtonsLeft = 0;
};

int ShowDialog(std::wstring_view text, TMsgDlgType type, TMsgDlgButtons buttons, bool plain) {
  if (buttons.Bits() == 0) buttons = {mbOK};
  const std::wstring caption = CaptionOf(type, plain);
  int result = mrNone;
  if (UseLatestCommonDialogs && ShowTaskDialog(caption, text, type, buttons, result)) return result;
  TMessageForm form(caption, text, type, buttons);
  return form.ShowModal();
}

}  // namespace

void ShowMessage(std::wstring_view Msg) { ShowDialog(Msg, mtCustom, {mbOK}, true); }

int MessageDlg(std::wstring_view Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
  (void)HelpCtx;  // none of the program's dialogs has a help button
  return ShowDialog(Msg, DlgType, Buttons, false);
}
