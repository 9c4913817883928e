#include "skin/graphics/acMessageBox.h"

#include "platform/ui/ModalPhase.h"

std::wstring MessageBoxCaptions[5] = {L"Warning", L"Error", L"Information", L"Confirm", L""};

int MessageBoxX = -1;
int MessageBoxY = -1;
bool MessageBoxCentred = false;

UINT MessageBoxStyle(TMsgDlgType kind, TMsgDlgButtons buttons) {
  UINT icon = 0;
  switch (kind) {
    case mtWarning: icon = MB_ICONWARNING; break;
    case mtError: icon = MB_ICONERROR; break;
    case mtInformation: icon = MB_ICONINFORMATION; break;
    case mtConfirmation: icon = MB_ICONQUESTION; break;
    default: break;
  }
  UINT layout = MB_OK;
  if (buttons.Has(mbOK))
    layout = buttons.Has(mbCancel) ? MB_OKCANCEL : MB_OK;
  else if (buttons.Has(mbAbort) || buttons.Has(mbIgnore))
    layout = MB_ABORTRETRYIGNORE;
  else if (buttons.Has(mbYes) || buttons.Has(mbNo))
    layout = buttons.Has(mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
  else if (buttons.Has(mbRetry))
    layout = MB_RETRYCANCEL;
  UINT style = icon | layout;
  if (buttons.Has(mbHelp)) style |= MB_HELP;
  return style;
}

namespace {

void CALLBACK HelpRequested(LPHELPINFO info) {
  if (info && info->dwContextId != 0) ShowModalHelp(static_cast<int>(info->dwContextId));
}

// Sets the requested position for the life of one box and gives the previous values back
// afterwards: -1 for a box on its own, the outer box's values for a nested one.
class TPositionScope {
public:
  TPositionScope(int x, int y) : FOldX(MessageBoxX), FOldY(MessageBoxY) {
    MessageBoxX = x;
    MessageBoxY = y;
  }
  ~TPositionScope() {
    MessageBoxX = FOldX;
    MessageBoxY = FOldY;
  }

private:
  int FOldX, FOldY;
};

}  // namespace

int ShowLibraryMessageBox(const wchar_t* caption, std::wstring_view text, TMsgDlgType kind,
                          TMsgDlgButtons buttons, int helpCtx, int x, int y) {
  const UINT style = MessageBoxStyle(kind, buttons);
  std::wstring captionText = caption && *caption ? std::wstring(caption)
                             : (kind >= mtWarning && kind <= mtCustom) ? MessageBoxCaptions[kind]
                                                                       : std::wstring();
  std::wstring body(text);

  TPositionScope position(x, y);
  TModalPhase phase;

  MSGBOXPARAMSW params{};
  params.cbSize = sizeof(params);
  params.hwndOwner = ModalOwnerWindow();
  params.hInstance = GetModuleHandleW(nullptr);
  params.lpszText = body.c_str();
  params.lpszCaption = captionText.c_str();
  params.dwStyle = style;
  params.dwContextHelpId = static_cast<DWORD_PTR>(helpCtx);
  params.lpfnMsgBoxCallback = HelpRequested;
  params.dwLanguageId = LANG_NEUTRAL;

  HWND active = GetActiveWindow();
  int answer;
  {
    TTaskWindowsDisabled disabled(nullptr);
    answer = MessageBoxIndirectW(&params);
  }
  if (active && IsWindow(active)) {
    ::SetFocus(nullptr);
    ::SetFocus(active);
  }
  return answer;
}

int AppMessageBox(std::wstring_view text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpCtx) {
  return ShowLibraryMessageBox(nullptr, text, kind, buttons, helpCtx, -1, -1);
}
