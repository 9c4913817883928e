#pragma once
// The skin engine's message box: the system message box with a caption and icon by
// message kind, buttons by set, modal to the whole application, and an optional screen
// position that the dialog handler applies when it takes the box over.
#include <windows.h>

#include "platform/ui/Dialogs.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// The default caption of each kind ("Warning", "Error", "Information", "Confirm", "").
extern std::wstring MessageBoxCaptions[5];

// The position asked for the box being shown (-1 when none): the dialog handler reads them
// when it takes the box over. Outside ShowLibraryMessageBox both are -1.
extern int MessageBoxX;
extern int MessageBoxY;
// The process-wide centring switch (off at start): the dialog handler puts the box's centre
// on (MessageBoxX, MessageBoxY) instead of its top-left corner.
extern bool MessageBoxCentred;

// The MessageBoxIndirectW style of a kind and a set of buttons: the kind's icon, the button
// layout (the first rule that applies: OK, abort or ignore, yes or no, retry), MB_HELP with help.
UINT MessageBoxStyle(TMsgDlgType kind, TMsgDlgButtons buttons);

// Shows the box modal to the application and answers the pressed button's identifier
// (IDOK, IDCANCEL...). Caption nullptr or empty: the kind's default caption. While the box
// is open every other enabled window of the thread is disabled, and only those are enabled
// again; a box opened from inside another one gives the outer position values back.
int ShowLibraryMessageBox(const wchar_t* caption, std::wstring_view text, TMsgDlgType kind,
                          TMsgDlgButtons buttons, int helpCtx, int x = -1, int y = -1);
// The same without a caption of its own or a position.
int AppMessageBox(std::wstring_view text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpCtx);
