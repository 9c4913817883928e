// The real Tarvel.exe under Wine, with the stand-ins beside it in a temporary folder.
#include "AppTestSupport.h"
#include "app/App.Startup.h"
#include "app/Form.Shell.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include <tlhelp32.h>

namespace {

class ShellProcess : public ShellFolderTest {
protected:
  std::unique_ptr<TJobProcess> StartShell(const std::wstring& params) {
    return std::make_unique<TJobProcess>(Dir / L"Tarvel.exe", params, Dir.Path());
  }
  std::string Log() { return ReadTextFile(Dir / L"Tarvel.log"); }
  HWND ShellWindow(TJobProcess& p) {
    HWND wnd = nullptr;
    WaitUntil([&] { return (wnd = FindProcessWindow(p.Pid(), L"TFormShell")) != nullptr; });
    return wnd;
  }
  // Closes the shell the way the task manager would, and expects an ordinary end.
  void CloseShell(TJobProcess& p) {
    HWND wnd = ShellWindow(p);
    ASSERT_NE(wnd, nullptr);
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(p.WaitExit(20000, code));
    EXPECT_EQ(code, 0u);
  }
};

// How many processes run with that executable file name.
int CountProcesses(const wchar_t* name) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W e = {};
  e.dwSize = sizeof e;
  int n = 0;
  for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
    n += lstrcmpiW(ExtractFileName(e.szExeFile).c_str(), name) == 0;
  CloseHandle(snap);
  return n;
}

// Local wall-clock time some hours from now, written the way the update run stores it.
std::string StoredLocalTime(double hoursFromNow) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
  u.QuadPart += static_cast<long long>(hoursFromNow * 3600.0) * 10000000LL;
  ft = {u.LowPart, u.HighPart};
  FileTimeToSystemTime(&ft, &st);
  char buf[64];
  snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u.000Z", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
           st.wSecond);
  return buf;
}

}  // namespace

TEST_F(ShellProcess, FastStartsTheBrowserWithTheShellsArgumentsAndEndsWithIt) {
  WriteTextFile(Browser() + L".ctl", "exit=3\n");
  auto shell = StartShell(L"--fast --log --kiosk=1");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
  auto r = ReadRecords(BrowserRecord())[0];
  EXPECT_EQ(r.Args, (std::vector<std::wstring>{L"--fast", L"--log", L"--kiosk=1"}));
  EXPECT_EQ(IncludeTrailingPathDelimiter(r.WorkDir), Dir.Path());
  EXPECT_EQ(r.Show, SW_SHOW);
  EXPECT_TRUE(shell->Running());

  Stop(Browser());
  DWORD code = 99;
  ASSERT_TRUE(shell->WaitExit(20000, code));
  EXPECT_EQ(code, 0u);
  std::string log = Log();
  EXPECT_NE(log.find("Tarvel 1.0.0 started on"), std::string::npos);
  EXPECT_EQ(log.find("Last trash clear"), std::string::npos);  // storage.json is not consulted
  EXPECT_EQ(log.find("Update modes"), std::string::npos);
}

TEST_F(ShellProcess, ASecondInstanceEndsWithCodeZeroWhileTheFirstRuns) {
  auto first = StartShell(L"--fast");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
  auto second = StartShell(L"--fast");
  DWORD code = 99;
  ASSERT_TRUE(second->WaitExit(30000, code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(first->Running());
  EXPECT_EQ(CountRecords(BrowserRecord(), L"start"), 1);
  Stop(Browser());
  ASSERT_TRUE(first->WaitExit(20000, code));
}

TEST_F(ShellProcess, ConsoleExitOneRestartsTheBrowserWhoseEndClosesTheShellAgain) {
  WriteTextFile(Console() + L".ctl", "exit=1\n");
  auto shell = StartShell(L"--fast");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
  HWND wnd = ShellWindow(*shell);
  ASSERT_NE(wnd, nullptr);
  // F6 pressed anywhere: the system hands it to the shell as its hot key.
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_F6;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(ConsoleRecord(), L"start") == 1; }));

  Stop(Console());  // the console says: settings changed
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 2; }));
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"end") == 1; }));
  auto records = ReadRecords(BrowserRecord());
  for (auto& r : records)
    if (r.Kind == L"end") {
      EXPECT_EQ(r.Reason, L"close");  // the shell stopped the first one
    }
  WaitUntil([] { return false; }, 500);
  EXPECT_TRUE(shell->Running());  // the stop it made itself did not close it

  Stop(Browser());  // the restarted browser's end closes the shell
  DWORD code = 99;
  ASSERT_TRUE(shell->WaitExit(20000, code));
  EXPECT_EQ(code, 0u);
}

TEST_F(ShellProcess, ABrowserSlowToCloseHasEndedBeforeTheNewOneStarts) {
  WriteTextFile(Browser() + L".ctl", "closedelay=2000\n");
  WriteTextFile(Console() + L".ctl", "exit=1\n");
  auto shell = StartShell(L"--fast");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
  HWND wnd = ShellWindow(*shell);
  ASSERT_NE(wnd, nullptr);
  PostMessageW(wnd, WM_HOTKEY, HOTKEY_SETTINGS, MAKELPARAM(0, VK_F6));
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(ConsoleRecord(), L"start") == 1; }));

  Stop(Console());  // the console says: settings changed
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 2; }));
  EXPECT_EQ(CountProcesses(L"Sorvik.dll"), 1);
  // The first one, asked to close, had ended before the second started.
  auto records = ReadRecords(BrowserRecord());
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].Kind, L"end");
  EXPECT_EQ(records[1].Pid, records[0].Pid);
  EXPECT_EQ(records[1].Reason, L"close");
  EXPECT_EQ(records[2].Kind, L"start");
  WaitUntil([] { return false; }, 500);
  EXPECT_EQ(CountProcesses(L"Sorvik.dll"), 1);
  EXPECT_TRUE(shell->Running());

  Stop(Browser());  // the restarted browser's end closes the shell
  DWORD code = 99;
  ASSERT_TRUE(shell->WaitExit(20000, code));
  EXPECT_EQ(code, 0u);
}

TEST_F(ShellProcess, StartsOverASettingsFileThatDoesNotParse) {
  // A terminal's own values in a file cut short: they must survive somewhere.
  const std::string garbled =
      "{\r\n    \"common\": {\r\n        \"key\": \"T-0042\"\r\n    },\r\n    \"links\": {\r\n"
      "        \"browserUrl\": \"http:\\/\\/hall.example\\/\"";
  for (bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly ? "read-only" : "writable");
    EndStandIns();
    std::wstring file = Dir / L"settings.json";
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW((Dir / L"settings.json.bad").c_str());
    DeleteFileW(BrowserRecord().c_str());
    WriteTextFile(file, garbled);
    if (readOnly) SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);

    auto shell = StartShell(L"--fast");
    ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
    EXPECT_TRUE(shell->Running());
    EXPECT_EQ(ReadTextFile(Dir / L"settings.json.bad"), garbled);
    if (readOnly) {
      EXPECT_EQ(ReadTextFile(file), garbled);
    } else {
      EXPECT_NE(ReadTextFile(file).find("\"browserUrl\""), std::string::npos);  // the defaults
    }
    Stop(Browser());
    DWORD code = 99;
    ASSERT_TRUE(shell->WaitExit(20000, code));
    EXPECT_EQ(code, 0u);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST_F(ShellProcess, StartMessageChoosesTheFirstAction) {
  struct Case {
    const char* name;
    std::string storage;  // empty: no storage.json
    const wchar_t* params;
    const char* expected;  // log text, "" for no update, or nullptr: the browser starts
    bool consoleRunning = false;
  } cases[] = {
      {"no store", "", L"--log", "Update modes = [stgReindex,stgDownload,stgUpdate,stgClear]"},
      {"day zero", R"({"clearTrash": "1899-12-30T00:00:00.000Z", "clearPeriod": 7})", L"--log",
       "Update modes = [stgReindex,stgDownload,stgUpdate,stgClear]"},
      {"period passed", R"({"clearTrash": ")" + StoredLocalTime(-8 * 24) + R"(", "clearPeriod": 7})", L"--log",
       "Update modes = [stgDownload,stgUpdate,stgClear]"},
      {"period zero", R"({"clearTrash": ")" + StoredLocalTime(-1) + R"(", "clearPeriod": 0})", L"--log",
       "Update modes = [stgDownload,stgUpdate,stgClear]"},
      {"plain update", R"({"clearTrash": ")" + StoredLocalTime(-(6 * 24 + 23)) + R"(", "clearPeriod": 7})",
       L"--log", "Update modes = [stgDownload,stgUpdate]"},
      {"no program update", "", L"--log --nob", "Update modes = [stgReindex,stgDownload,stgClear]"},
      {"fast", "", L"--log --fast", nullptr},
      // The console holds the update actions: nothing runs, not even the browser.
      {"console running", "", L"--log", "", true},
      {"fast with console running", "", L"--log --fast", nullptr, true},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW((Dir / L"storage.json").c_str());
    DeleteFileW((Dir / L"Tarvel.log").c_str());
    DeleteFileW(BrowserRecord().c_str());
    if (!c.storage.empty()) WriteTextFile(Dir / L"storage.json", c.storage);
    EndStandIns();
    if (c.consoleRunning) {
      TProcess::Run(Console(), L"", SW_SHOW);
      ASSERT_TRUE(WaitUntil([&] { return TProcess::IsRun(L"Pallow.exe") != 0; }));
    }
    auto shell = StartShell(c.params);
    if (c.expected && !*c.expected) {
      ASSERT_TRUE(WaitUntil([&] { return Log().find("Last trash clear") != std::string::npos; }));
      WaitUntil([] { return false; }, 500);
      EXPECT_EQ(Log().find("Update modes"), std::string::npos);
      EXPECT_EQ(CountRecords(BrowserRecord(), L"start"), 0);
      CloseShell(*shell);
    } else if (c.expected) {
      ASSERT_TRUE(WaitUntil([&] { return Log().find("Update modes") != std::string::npos; }));
      EXPECT_NE(Log().find(c.expected), std::string::npos) << Log();
      EXPECT_NE(Log().find("Last trash clear"), std::string::npos);
      EXPECT_EQ(CountRecords(BrowserRecord(), L"start"), 0);
      CloseShell(*shell);
    } else {
      ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
      EXPECT_EQ(Log().find("Update modes"), std::string::npos);
      Stop(Browser());
      DWORD code = 99;
      ASSERT_TRUE(shell->WaitExit(20000, code));
      EXPECT_EQ(code, 0u);
    }
  }
}

TEST_F(ShellProcess, RestartPassesTheSameArguments) {
  struct Case {
    std::vector<std::wstring> args;
    const wchar_t* params;  // nullptr: only the arguments are compared
  } cases[] = {
      {{L"--fast", L"x"}, L"--fast x "},
      {{}, L""},
      {{L"a b", L"say \"hi\"", L"c:\\dir x\\", L"--log"}, nullptr},
  };
  for (auto& c : cases) {
    DeleteFileW(BrowserRecord().c_str());
    std::vector<std::wstring> argv{Dir / L"Tarvel.exe"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SetParamsOverride(argv);
    RestartApp = Browser();
    RestartProgram();
    SetParamsOverride({});
    RestartApp.clear();
    if (c.params) {
      EXPECT_EQ(RestartParams, c.params);
    }
    ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
    auto r = ReadRecords(BrowserRecord())[0];
    EXPECT_EQ(r.Args, c.args);
    EXPECT_EQ(r.Show, SW_SHOWNORMAL);
    Stop(Browser());
    ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"end") == 1; }));
  }
}

TEST_F(ShellProcess, ExitDoesNotWaitForAChildThatIgnoresTheCloseRequest) {
  // The browser has no window, so the shell's close request cannot reach it and the
  // pool thread that waits for it is still blocked when the shell ends.
  WriteTextFile(Browser() + L".ctl", "window=0\n");
  auto shell = StartShell(L"--fast");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
  CloseShell(*shell);
  EXPECT_NE(TProcess::IsRun(L"Sorvik.dll"), 0u);
}

TEST_F(ShellProcess, RunsHiddenWithoutATaskBarButton) {
  auto shell = StartShell(L"--fast");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") >= 1; }));
  HWND app = FindProcessWindow(shell->Pid(), L"TApplication");
  HWND form = ShellWindow(*shell);
  ASSERT_NE(app, nullptr);
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(IsWindowVisible(app));
  EXPECT_FALSE(IsWindowVisible(form));
  EXPECT_EQ(GetWindow(form, GW_OWNER), app);  // owned by the hidden window: no button of its own
  wchar_t caption[64] = {};
  GetWindowTextW(form, caption, 64);
  EXPECT_STREQ(caption, L"Mordex");
  Stop(Browser());
  DWORD code = 99;
  ASSERT_TRUE(shell->WaitExit(20000, code));
}
