#pragma once
// The process's entry sequence: logging, script mode, log category, legacy import,
// single instance, the hidden shell form's message loop, and the restart at the end.
#include <windows.h>
#include <string>

class TFormShell;

extern bool NeedRestart;
extern std::wstring RestartApp;
extern std::wstring RestartParams;
extern TFormShell* FormShell;

constexpr wchar_t SHELL_MUTEX_NAME[] = L"SHELL-C7E3735F1CD9";
// How long a second instance waits for the first one's mutex; a seam for tests.
extern DWORD MutexWaitMs;

// Runs the whole sequence and ends the process (never returns).
[[noreturn]] void TarvelMain();
// Builds RestartParams from the arguments and starts RestartApp (or the running executable).
void RestartProgram();
// Arguments 1..ParamCount, each followed by one blank; ones with blanks or quotes quoted.
std::wstring BuildRestartParams();
