#include "app/Form.Shell.h"
#include "app/App.Startup.h"
#include "app/Form.Progress.h"
#include "app/Http.Server.h"
#include "app/Url.Rules.h"
#include "settings/Common.Utils.h"
#include "platform/runtime/DateUtils.h"
#include "platform/runtime/Files.h"
#include "settings/App.Params.h"
#include "settings/Common.Utils.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include <cmath>

namespace {

// The browser program's file, in the executable's folder.
constexpr wchar_t kBrowserFile[] = L"Sorvik.dll";

// The local wall-clock time, the way the update run stores it and the start-up reads it back.
TDateTime NowLocal() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  TDateTime now = 0;
  TryEncodeDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, now);
  return now;
}

}  // namespace

std::wstring StagesText(TUpdateStages AStages) {
  static const wchar_t* names[] = {L"stgReindex", L"stgDownload", L"stgUpdate", L"stgClear"};
  std::wstring s;
  for (int i = 0; i < 4; ++i)
    if (AStages & (1u << i)) {
      if (!s.empty()) s += L',';
      s += names[i];
    }
  return s;
}

TFormShell::TFormShell(TComponent* AOwner) : TFormMain(AOwner) {
  SetCaption(L"Mordex");

  auto makeAction = [this](const wchar_t* name, const wchar_t* caption, void (TFormShell::*handler)()) {
    auto* a = new TAction(this);
    a->Name = name;
    a->Caption = caption;
    a->SetActionList(ActionList);
    a->OnExecute = [this, handler] { (this->*handler)(); };
    return a;
  };
  ActBrowser = makeAction(L"ActBrowser", L"ActBrowser", &TFormShell::ActBrowserExecute);
  ActFullUpdate = makeAction(L"ActFullUpdate", L"ActFullUpdate", &TFormShell::ActFullUpdateExecute);
  ActClearTrash = makeAction(L"ActClearTrash", L"Clear trash", &TFormShell::ActClearTrashExecute);
  ActUpdate = makeAction(L"ActUpdate", L"Check for updates", &TFormShell::ActUpdateExecute);
  ActReindex = makeAction(L"ActReindex", L"Reindex && Update", &TFormShell::ActReindexExecute);
  ActSettings = makeAction(L"ActSettings", L"Settings", &TFormShell::ActSettingsExecute);
  ActExit = makeAction(L"ActExit", L"Exit", &TFormShell::ActExitExecute);
  ActionList->OnUpdate = [this](TAction* a, bool& handled) { ActionListUpdate(a, handled); };

  PopupMenu = new TPopupMenu(this);
  PopupMenu->Name = L"PopupMenu";
  PopupMenu->Add(ActSettings);
  PopupMenu->AddLine();
  PopupMenu->Add(ActUpdate);
  PopupMenu->Add(ActReindex);
  PopupMenu->AddLine();
  PopupMenu->Add(ActExit);

  TrayIcon = new TTrayIcon(this);
  TrayIcon->Name = L"TrayIcon";
  TrayIcon->PopupMenu = PopupMenu;
  TrayIcon->SetVisible(true);

  SetMessageHandler(WM_SHELL_START, [this](TMessage& m) { WMShellStart(m); });
  SetMessageHandler(WM_HOTKEY, [this](TMessage& m) { WMHotKey(m); });
}

void TFormShell::FormCreate() {
  // Another program may hold F6: the hot key is then simply absent.
  RegisterHotKey(Handle(), HOTKEY_SETTINGS, 0, VK_F6);
  shBrowser = TExecutor::Create(ExeDir() + kBrowserFile, true);
  shBrowser->WriteOnClose([this](std::uint32_t code) { OnBrowserClose(code); });
  shConsole = TExecutor::Create(ExeDir() + L"Pallow.exe", true);
  shConsole->WriteOnClose([this](std::uint32_t code) { OnConsoleClose(code); });
  // A terminal that starts without its content server must still start: a failed step
  // skips the ones after it for this start and is logged, never left in a modal box
  // that holds the start message back until somebody taps it away.
  try {
    CheckUrlRules();
    PatchSettings();
    PatchUpdateCache();
    GlobalSettings()->Load();
  } catch (const std::exception& e) {
    CodeSite().SendException(L"Settings patches", e);
  }
}

void TFormShell::FormCloseQuery(bool& CanClose) {
  TerminateUpdater();
  CanClose = true;
}

void TFormShell::FormDestroy() {
  if (HandleAllocated()) UnregisterHotKey(Handle(), HOTKEY_SETTINGS);
  // Releasing the executors asks programs that still run to close.
  shBrowser.reset();
  shConsole.reset();
}

void TFormShell::WMShellStart(TMessage& Msg) {
  Msg.Result = 0;
  if (TAppParams::Contains(L"--fast")) {
    ActBrowser->Execute();
    return;
  }
  auto& store = GlobalStore()->Config();
  TDateTime last = 0;
  if (!TryISO8601ToDate(store.ClearTrash(), last)) last = 0;
  CodeSite().SendDateTime(L"Last trash clear", last);
  if (std::trunc(last) == 0) {
    ActFullUpdate->Execute();
    return;
  }
  double days = std::trunc(std::fabs(NowLocal() - last));
  if (days >= store.ClearPeriod)
    ActClearTrash->Execute();
  else
    ActUpdate->Execute();
}

void TFormShell::WMHotKey(TMessage& Msg) {
  Msg.Result = 0;
  ActSettings->Execute();
}

void TFormShell::ActionListUpdate(TAction*, bool& Handled) {
  bool idle = FUpdater == nullptr && !shConsole->IsRun();
  ActUpdate->Enabled = idle;
  ActReindex->Enabled = idle;
  ActSettings->Enabled = idle;
  ActFullUpdate->Enabled = idle;
  Handled = true;
}

void TFormShell::ActBrowserExecute() {
  if (GlobalSettings()->Config().Common.UpdateCache && !THttpServer::IsRun())
    THttpServer::StartServer(HttpServerRoot, HttpServerPort);
  if (!shBrowser->IsRun()) shBrowser->Run(TAppParams::AsStr());
}

void TFormShell::ActFullUpdateExecute() {
  RunUpdate(StageBit(stgReindex) | StageBit(stgDownload) | StageBit(stgUpdate) | StageBit(stgClear));
}
void TFormShell::ActClearTrashExecute() { RunUpdate(StageBit(stgDownload) | StageBit(stgUpdate) | StageBit(stgClear)); }
void TFormShell::ActUpdateExecute() { RunUpdate(StageBit(stgDownload) | StageBit(stgUpdate)); }
void TFormShell::ActReindexExecute() { RunUpdate(StageBit(stgReindex) | StageBit(stgDownload) | StageBit(stgUpdate)); }

void TFormShell::ActSettingsExecute() {
  if (!shConsole->IsRun()) shConsole->Run(TAppParams::AsStr());
}

void TFormShell::ActExitExecute() { Close(); }

void TFormShell::OnBrowserClose(std::uint32_t) { Close(); }

void TFormShell::OnConsoleClose(std::uint32_t ExitCode) {
  if (ExitCode != 1) return;  // only 1 says that the console changed the settings
  GlobalSettings()->Load();
  ApplySkin(GlobalSettings()->Config().Skin);
  if (shBrowser->IsRun()) {
    shBrowser->Done(false);
    Sleep(BrowserStopPauseMs);
    if (!WaitBrowserGone()) return;
    shBrowser->Run(TAppParams::AsStr());
  }
}

bool TFormShell::WaitBrowserGone() {
  // Two browsers never run at once: the new one starts only after the old one has ended.
  // One that is still there after the wait has ignored its close request, and is ended.
  const std::wstring name = kBrowserFile;
  if (TProcess::WaitGone(name, BrowserGoneWaitMs)) return true;
  CodeSite().SendError(FormatW(L"Browser did not close within %lu ms; ending it", BrowserGoneWaitMs));
  TProcess::Finish(TProcess::IsRun(name));
  if (TProcess::WaitGone(name, BrowserGoneWaitMs)) return true;
  CodeSite().SendError(L"Browser cannot be ended; it is not started again");
  return false;
}

// ---- the update run ----------------------------------------------------------

void TFormShell::RunUpdate(TUpdateStages AStages) {
  if (shBrowser->IsRun()) {
    shBrowser->Done(false);
    Sleep(BrowserStopPauseMs);
  }
  if (THttpServer::IsRun()) THttpServer::StopServer();
  if (TAppParams::Contains(L"--nob")) AStages &= static_cast<TUpdateStages>(~StageBit(stgUpdate));
  UpdaterStart(AStages);
}

TThread* CreateAssetUpdater(const TUpdaterSetup& Setup) {
  auto* updater = new TUpdater(true);
  updater->SetFreeOnTerminate(true);
  updater->SetStages(Setup.Stages);
  updater->SetBinOnly(Setup.BinOnly);
  for (const auto& [name, value] : Setup.Params) updater->Params().Add(name + L"=" + value);
  updater->Ignored() = Setup.IgnoreMasks;
  updater->Exclude() = Setup.Excludes;
  updater->SetOnProgress(Setup.OnProgress);
  updater->SetOnDone(Setup.OnDone);
  return updater;
}

TUpdaterFactory TFormShell::CreateUpdater = CreateAssetUpdater;

void TFormShell::UpdaterStart(TUpdateStages AStages) {
  auto run = std::make_shared<TUpdateRun>();
  run->AStages = AStages;
  run->Self = this;
  if (FUpdater) return;
  CodeSite().SendFmt(L"Update modes = [%ls]", StagesText(AStages).c_str());
  if (!CreateUpdater) {
    CodeSite().SendWarning(L"Updater not available: no update runs");
    return;
  }
  TUpdaterSetup setup;
  setup.Stages = AStages;
  setup.BinOnly = TAppParams::Contains(L"--noc") || !GlobalSettings()->Config().Common.UpdateCache;
  std::wstring exeDir = ExeDir();
  setup.Params = {{L"WorkerMax", L"5"},
                  {L"GetWebUrl", GetWebUrl},
                  {L"UpdateUrl", GlobalSettings()->Config().Links.UpdateUrl},
                  {L"IndexFile", exeDir + L"localfiles.idx"},
                  {L"AssetsPath", exeDir + L"assets\\"},
                  {L"AppBinSrc", L"resources\\app\\shell\\"},
                  {L"AppBinDst", exeDir}};
  auto logList = [](const std::wstring& title, const std::vector<std::wstring>& lines) {
    CodeSite().SendList(title, lines);
  };
  std::vector<std::wstring> paramLines;
  for (const auto& [name, value] : setup.Params) paramLines.push_back(name + L"=" + value);
  logList(L"Updater params...", paramLines);
  setup.IgnoreMasks = {L"*.htaccess-orig", L"*.htaccess"};
  logList(L"Ignored files...", setup.IgnoreMasks);
  setup.Excludes = {L"resources\\app\\wemb\\logs\\*.*", L"resources\\app\\wemb\\settings.ini",
                    L"resources\\app\\wemb\\url.cfg", L"resources\\app\\wemb\\license.txt",
                    L"resources\\app\\wemb\\manual.txt"};
  logList(L"Exclude for update...", setup.Excludes);
  setup.OnProgress = [run](const TProgressInfo& Info) { run->Self->OnUpdaterProgress(*run, Info); };
  setup.OnDone = [run](bool Cancel, bool Restart, const std::wstring& RestartName) {
    run->Self->OnUpdaterDone(*run, Cancel, Restart, RestartName);
  };
  FUpdater = CreateUpdater(setup);
  if (!FUpdater) return;
  FRun = run;
  FUpdater->Start();
  // Progress and the done call come through the message loop, so they find the window made here.
  auto* form = CreateComponent<TFormProgress>(&Application());
  form->OnCancel = [run] { run->Self->OnProgressCancel(*run); };
  run->prForm = form;
  form->Show();
}

void TFormShell::OnUpdaterProgress(TUpdateRun& Run, const TProgressInfo& Info) {
  if (Run.prForm) Run.prForm->UpdateProgress(Info);
}

void TFormShell::OnUpdaterDone(TUpdateRun& Run, bool Cancel, bool Restart, const std::wstring&) {
  FUpdater = nullptr;  // it frees itself
  if (auto* form = Run.prForm) {
    Run.prForm = nullptr;
    form->OnCancel = nullptr;
    TComponent::Free(form);
  }
  CodeSite().SendFmt(L"Post update actions: Cancel: %ls, Restart: %ls", Cancel ? L"True" : L"False",
                     Restart ? L"True" : L"False");
  // Recorded even after a cancel: the next start then waits a whole period before removing again.
  // A store that cannot be written (its file was unreadable, the disk refuses) costs the
  // date only: the restart or the browser start below must still happen.
  if (Run.AStages & StageBit(stgClear)) {
    try {
      GlobalStore()->Config().WriteClearTrash(DateToISO8601(NowLocal()));
      GlobalStore()->Save();
    } catch (const std::exception& e) {
      CodeSite().SendException(L"Trash removal date not stored", e);
    }
  }
  RestartApp.clear();
  NeedRestart = Restart;
  if (Cancel || Restart)
    Close();
  else
    ActBrowser->Execute();
}

void TFormShell::OnProgressCancel(TUpdateRun& Run) {
  if (FUpdater) FUpdater->Terminate();
  if (auto* form = Run.prForm) {
    Run.prForm = nullptr;
    form->Release();  // its own close handling is still running
  }
  Close();
}

void TFormShell::TerminateUpdater() {
  if (FUpdater) FUpdater->Terminate();
}

// ---- settings patches and URL rules -------------------------------------------
// The repairs of settings.json at every start. A failure (no content server, a file that
// cannot be written) leaves the creation handler and reaches the application's error report.

void TFormShell::CheckUrlRules() {
  CodeSite().Send(L"Check URL changes: rules.json");
  ApplyUrlRulesText(*GlobalSettings(), HttpGetText(RulesUrl()));
}

bool TFormShell::IsObsoleteUpdateUrl(const std::wstring& url) { return IsObsoleteIndexUrl(url); }

void TFormShell::PatchSettings() {
  CodeSite().Send(L"Patching...");
  PatchSettingsFile(*GlobalSettings());
}

void TFormShell::PatchUpdateCache() {
  CodeSite().Send(L"CacheUpdate patch applying...");
  ApplyUpdateCacheFlag(*GlobalSettings(), ExeDir());
}
