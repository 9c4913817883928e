#include "app/App.Startup.h"
#include "app/Form.Shell.h"
#include "app/Process.Control.h"
#include "app/Script.Exe.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "settings/App.Params.h"
#include "settings/Common.Utils.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "platform/runtime/Threads.h"
#include "settings/Upd.Upgrade.h"
#include "skin/manager/sSkinManager.h"
#include "updater/Upd.Core.h"

bool NeedRestart = false;
std::wstring RestartApp;
std::wstring RestartParams;
TFormShell* FormShell = nullptr;
DWORD MutexWaitMs = 2000;

namespace {

// The local date and time in the user's short date and long time format.
std::wstring NowText() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t date[128] = {}, time[128] = {};
  GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, 128, nullptr);
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, nullptr, time, 128);
  return std::wstring(date) + L" " + time;
}

void ShowFatal(const std::wstring& text) {
  MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

}  // namespace

std::wstring BuildRestartParams() {
  std::wstring s;
  for (int i = 1; i <= ParamCount(); ++i) s += QuoteArgument(ParamStr(i)) + L" ";
  return s;
}

void RestartProgram() {
  CodeSite().SendError(L"Restarting...");
  RestartParams = BuildRestartParams();
  TProcess::Run(RestartApp.empty() ? ExeFileName() : RestartApp, RestartParams, SW_SHOWNORMAL);
}

void TarvelMain() {
  HANDLE mutex = nullptr;
  // The skin engine's units start before anything else, in their fixed order.
  SkinEngineStartup();
  try {
    CodeSite().SetEnabled(TAppParams::Contains(L"--log"));
    if (ScriptFactory(IncludeTrailingPathDelimiter(GetCurrentDir()) + L"script.json")->Execute()) ExitProcess(0);

    std::wstring category = FormatW(L"Tarvel %ls", FileVersionText(ExeFileName(), false).c_str());
    CodeSite().SetCategory(category);
    CodeSite().SetCategoryFontColor(0x800000);  // navy
    CodeSite().Send(L"");
    CodeSite().SendFmt(L"%ls started on %ls", category.c_str(), NowText().c_str());

    {
      TUpgrader upgrader;
      if (upgrader.UpgradeNeeded() && upgrader.Upgrade()) {
        CodeSite().SendWarning(upgrader.FMode == TUpgradeMode::upKelvane ? L"Upgrade mode: Kelvane"
                                                                          : L"Upgrade mode: Mordex");
        RestartApp = upgrader.FRoot + upgrader.FAppFiles[upgrader.FMode].front();
        NeedRestart = true;
        CodeSite().SendString(L"Restart", RestartApp);
      }
    }

    if (!NeedRestart) {
      mutex = CreateMutexW(nullptr, FALSE, SHELL_MUTEX_NAME);
      if (mutex && WaitForSingleObject(mutex, MutexWaitMs) == WAIT_TIMEOUT) ExitProcess(0);  // another instance runs

      Application().Initialize();
      Application().ShowMainForm = false;
      Application().MainFormOnTaskBar = false;
      std::wstring icon = IncludeTrailingPathDelimiter(GetCurrentDir()) + L"appicon.ico";
      if (FileExists(icon)) Application().LoadIconFromFile(icon);
      Application().CreateForm(FormShell);
      PostMessageW(FormShell->Handle(), WM_SHELL_START, 0, 0);
      Application().Run();
      // The updater may still be running (a close asks it to stop, and it stops between
      // files): the end must not cut the replacement of a program file in two.
      EndProgramFileSwaps();
    }
  } catch (const std::exception& e) {
    CodeSite().SendException(e);
    auto* ours = dynamic_cast<const Exception*>(&e);
    ShowFatal(ours ? ours->Message() : Utf8ToWide(e.what()));
    EndProgramFileSwaps();
    ExitProcess(1);
  }

  if (mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
  if (NeedRestart) RestartProgram();

  // Forms go (the executors ask their programs to close), then the UI thread stops taking
  // calls, which releases pool threads that wait to report to it. The updater and pool
  // threads are not waited for (only a program file being replaced is, above): the process
  // ends here, deliberately, with code 0.
  try {
    if (FormShell) TComponent::Free(FormShell);
  } catch (const std::exception& e) {
    CodeSite().SendException(e);
  }
  ShutdownMainThreadDispatcher();
  ExitProcess(0);
}
