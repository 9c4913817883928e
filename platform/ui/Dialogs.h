#pragma once
// Message dialogs: a plain message and a message of a kind with push buttons.
//
// While UseLatestCommonDialogs is on (the default) they are native task dialogs of the
// common controls (version 6); while it is off, or where the system has no task dialogs,
// they are ordinary modal forms with an icon, the text and push buttons, so a skin engine
// can paint them like any other form.
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn {
  mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp, mbClose
};

// A set of buttons: bit i is the button of ordinal i.
class TMsgDlgButtons {
public:
  TMsgDlgButtons() = default;
  TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons) {
    for (TMsgDlgBtn b : buttons) FBits |= 1u << b;
  }
  bool Has(TMsgDlgBtn b) const { return (FBits & (1u << b)) != 0; }
  std::uint32_t Bits() const { return FBits; }

private:
  std::uint32_t FBits = 0;
};

// Modal results of the dialogs' buttons.
enum : int {
  mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY, mrIgnore = IDIGNORE,
  mrYes = IDYES, mrNo = IDNO, mrClose = 8, mrHelp = 9, mrAll = 12, mrNoToAll = 13, mrYesToAll = 14
};

// Process-wide: native task dialogs (true, the default) or dialog forms.
extern bool UseLatestCommonDialogs;

// The text with an OK button, captioned with the program's name.
void ShowMessage(std::wstring_view Msg);
// The text with the kind's icon and caption and the given buttons (OK when none); the
// modal result of the button pressed (closing the dialog counts as Cancel, else No, else OK).
int MessageDlg(std::wstring_view Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx = 0);

// The window class of the dialog forms, for code that recognises them.
constexpr const wchar_t* MessageFormClassName = L"TMessageForm";
