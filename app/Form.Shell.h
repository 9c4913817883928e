#pragma once
// The shell's main form: never shown; the user meets it through its notification-area
// icon and menu and the F6 hot key. It owns the shell's actions, the executors of the
// browser and console programs, and the running update.
#include "app/Form.Main.h"
#include "app/Process.Control.h"
#include "platform/runtime/Threads.h"
#include "platform/ui/Menus.h"
#include "platform/ui/TrayIcon.h"
#include "settings/Common.Types.h"
#include "settings/Json.Settings.h"
#include "updater/Upd.Core.h"
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

constexpr UINT WM_SHELL_START = WM_USER + 18;
constexpr int HOTKEY_SETTINGS = 0x80AB;

class TFormProgress;
class TFormShell;

// What the update run hands the updater: its stages, mode, parameters (by name, in the
// order they are set), lists, and the two calls it makes on the UI thread.
struct TUpdaterSetup {
  TUpdateStages Stages = 0;
  bool BinOnly = false;
  std::vector<std::pair<std::wstring, std::wstring>> Params;
  std::vector<std::wstring> IgnoreMasks;
  std::vector<std::wstring> Excludes;
  std::function<void(const TProgressInfo& Info)> OnProgress;
  std::function<void(bool Cancel, bool Restart, const std::wstring& RestartName)> OnDone;
};
// Makes the updater thread from the setup, suspended; it frees itself when it ends;
// nullptr when no updater could be made. The default makes a TUpdater; tests put a fake in.
using TUpdaterFactory = std::function<TThread*(const TUpdaterSetup& Setup)>;
TThread* CreateAssetUpdater(const TUpdaterSetup& Setup);

// One update run, shared by its callbacks (held by the updater and the progress window).
struct TUpdateRun {
  TUpdateStages AStages = 0;
  TFormShell* Self = nullptr;
  TFormProgress* prForm = nullptr;  // nullptr once removed
};

class TFormShell : public TFormMain {
public:
  explicit TFormShell(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TFormShell"; }

  TTrayIcon* TrayIcon;
  TPopupMenu* PopupMenu;
  TAction* ActBrowser;
  TAction* ActFullUpdate;
  TAction* ActClearTrash;
  TAction* ActUpdate;
  TAction* ActReindex;
  TAction* ActSettings;
  TAction* ActExit;

  // The running updater (a thread that frees itself), or nullptr.
  TThread* FUpdater = nullptr;
  std::shared_ptr<IExecutor> shBrowser;
  std::shared_ptr<IExecutor> shConsole;

  void ActionListUpdate(TAction* Action, bool& Handled);
  void ActBrowserExecute();
  void ActFullUpdateExecute();
  void ActClearTrashExecute();
  void ActUpdateExecute();
  void ActReindexExecute();
  void ActSettingsExecute();
  void ActExitExecute();
  void OnBrowserClose(std::uint32_t ExitCode);
  void OnConsoleClose(std::uint32_t ExitCode);
  // After the shell asked the browser to close: true once no browser runs (bounded).
  bool WaitBrowserGone();

  // The update run.
  void RunUpdate(TUpdateStages AStages);
  void UpdaterStart(TUpdateStages AStages);
  void TerminateUpdater();
  void OnUpdaterProgress(TUpdateRun& Run, const TProgressInfo& Info);
  void OnUpdaterDone(TUpdateRun& Run, bool Cancel, bool Restart, const std::wstring& RestartName);
  void OnProgressCancel(TUpdateRun& Run);
  // The run started last (nullptr before the first).
  std::shared_ptr<TUpdateRun> FRun;
  static TUpdaterFactory CreateUpdater;
  // The index-URL script on the content server, asked when no update address is set.
  static inline std::wstring GetWebUrl = DefaultIndexScriptUrl;
  // Settings patches and URL rules.
  void CheckUrlRules();
  static bool IsObsoleteUpdateUrl(const std::wstring& url);
  void PatchSettings();
  void PatchUpdateCache();

  // Pauses of the UI thread when the shell stops the browser itself; a seam for tests.
  static inline DWORD BrowserStopPauseMs = 500;
  // How long a restart of the browser waits for the old one to end before ending it.
  static inline DWORD BrowserGoneWaitMs = 10000;

protected:
  void FormCreate() override;
  void FormCloseQuery(bool& CanClose) override;
  void FormDestroy() override;
  void WMShellStart(TMessage& Msg);
  void WMHotKey(TMessage& Msg);
};

// Text of a stage set for the log, for instance "stgDownload,stgUpdate".
std::wstring StagesText(TUpdateStages AStages);
