// Whole update runs of the real Tarvel.exe under Wine: the shell reads its index address from
// settings.json, downloads from a loopback asset server in this process, shows the progress
// window, and then starts the browser stand-in, or closes (and restarts when asked).
#include <regex>
#include "AppTestSupport.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Md5.h"
#include "platform/runtime/Strings.h"
#include "support/HttpTestServer.h"

namespace {

// This executable's own loopback address; port 80, since a port would become part of the
// local path that the index address names.
constexpr const char* ShellUpdHost = "127.0.0.7";

struct TAsset {
  std::string Path;  // below the server's root, with forward slashes
  std::string Body;
};

std::string Bytes(size_t length, unsigned seed) {
  std::string s(length, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (auto& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return s;
}

class ShellUpdate : public ShellFolderTest {
protected:
  // Serves the files and an index of them at /index.json; slowPath, when given, trickles out.
  void Publish(const std::vector<TAsset>& files, const std::string& slowPath = "") {
    std::string index = "[";
    for (const auto& f : files) {
      if (index.size() > 1) index += ",";
      index += "{\"path\":\"http://" + std::string(ShellUpdHost) + "/" + f.Path + "\",\"hash\":\"" +
               WideToUtf8(MD5Hex(f.Body)) + "\",\"size\":\"" + std::to_string(f.Body.size()) + "\"}";
      if (f.Path == slowPath)
        Server.ServeSlowBody("/" + f.Path, f.Body, 512, 250);
      else
        Server.Serve("/" + f.Path, f.Body);
    }
    Server.Serve("/index.json", index + "]", "application/json");
    WriteTextFile(Dir / L"settings.json", R"({"common": {"updateCache": true}, "links": {"updateUrl": ")" +
                                              WideToUtf8(Server.Url("/index.json")) + R"("}})");
  }
  std::unique_ptr<TJobProcess> StartShell(const std::wstring& params) {
    return std::make_unique<TJobProcess>(Dir / L"Tarvel.exe", params, Dir.Path());
  }
  std::string Log() { return ReadTextFile(Dir / L"Tarvel.log"); }
  std::wstring Asset(std::string path) {
    for (auto& c : path)
      if (c == '/') c = '\\';
    return Dir / (L"assets\\" + Utf8ToWide(path));
  }
  // The visible progress window of a process, or nullptr.
  static HWND ProgressWindow(DWORD pid) {
    struct TFind {
      DWORD Pid;
      HWND Found;
    } find{pid, nullptr};
    EnumWindows(
        [](HWND wnd, LPARAM lp) -> BOOL {
          auto* f = reinterpret_cast<TFind*>(lp);
          DWORD owner = 0;
          GetWindowThreadProcessId(wnd, &owner);
          wchar_t text[32] = {};
          GetWindowTextW(wnd, text, 32);
          if (owner != f->Pid || !IsWindowVisible(wnd) || std::wstring(text) != L"Update") return TRUE;
          f->Found = wnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.Found;
  }
  THttpTestServer Server{ShellUpdHost, 80};
};

}  // namespace

TEST_F(ShellUpdate, FullUpdateIntoAnEmptyFolderThenTheBrowserWithTheShellsArguments) {
  const std::vector<TAsset> files = {{"index.html", "<html>lobby</html>"},
                                     {"games/slots/reel.png", Bytes(300000, 1)},
                                     {"games/slots/sound.ogg", Bytes(70000, 2)},
                                     {"resources/app/wemb/bin/core.dat", Bytes(1000, 3)},
                                     {"resources/app/shell/readme.txt", "program notes"}};
  Publish(files);
  // Left over from an earlier asset set: one file the index no longer lists, one kept by name.
  ForceDirectories(Asset("games/old"));
  ForceDirectories(Asset("resources/app/wemb"));
  WriteTextFile(Asset("games/old/gone.png"), "trash");
  WriteTextFile(Asset("resources/app/wemb/settings.ini"), "[local]");
  auto shell = StartShell(L"--log --kiosk=1");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }, 90000)) << Log();

  for (const auto& f : files) EXPECT_EQ(ReadTextFile(Asset(f.Path)), f.Body) << f.Path;
  EXPECT_EQ(ReadTextFile(Dir / L"readme.txt"), "program notes");  // a changed program file
  EXPECT_FALSE(FileExists(Asset("games/old/gone.png")));
  EXPECT_EQ(ReadTextFile(Asset("resources/app/wemb/settings.ini")), "[local]");
  std::string index = ReadTextFile(Dir / L"localfiles.idx");
  for (const auto& f : files) EXPECT_NE(index.find(WideToUtf8(MD5Hex(f.Body))), std::string::npos) << f.Path;
  // A first start without storage runs the full update, trash removal included: its date is kept.
  std::string storage = ReadTextFile(Dir / L"storage.json");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(storage, m, std::regex(R"(\"clearTrash\"\s*:\s*\"(\d{4})-\d\d-\d\dT[0-9:.]+Z\")",
                                                       std::regex::icase)))
      << storage;
  EXPECT_GT(std::stoi(m[1].str()), 2000);
  std::string log = Log();
  EXPECT_NE(log.find("Update modes = [stgReindex,stgDownload,stgUpdate,stgClear]"), std::string::npos);
  EXPECT_NE(log.find("Post update actions: Cancel: False, Restart: False"), std::string::npos);
  EXPECT_EQ(ProgressWindow(shell->Pid()), nullptr);  // removed before the browser started

  auto r = ReadRecords(BrowserRecord())[0];
  EXPECT_EQ(r.Args, (std::vector<std::wstring>{L"--log", L"--kiosk=1"}));
  EXPECT_EQ(IncludeTrailingPathDelimiter(r.WorkDir), Dir.Path());
  EXPECT_TRUE(shell->Running());

  Stop(Browser());
  DWORD code = 99;
  ASSERT_TRUE(shell->WaitExit(30000, code));
  EXPECT_EQ(code, 0u);
}

TEST_F(ShellUpdate, ClosingTheProgressWindowCancelsAndClosesTheShell) {
  // About a minute of trickling: the update is still downloading when the window is closed.
  Publish({{"small.txt", "small"}, {"big.bin", Bytes(128 * 1024, 4)}}, "big.bin");
  auto shell = StartShell(L"--log");
  HWND progress = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (progress = ProgressWindow(shell->Pid())) != nullptr; }, 60000)) << Log();
  ASSERT_TRUE(WaitUntil([&] { return Server.RequestCount("/big.bin") > 0; }, 60000)) << Log();
  EXPECT_TRUE(shell->Running());

  PostMessageW(progress, WM_CLOSE, 0, 0);
  DWORD code = 99;
  ASSERT_TRUE(shell->WaitExit(30000, code)) << Log();
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(CountRecords(BrowserRecord(), L"start"), 0);
  EXPECT_NE(ReadTextFile(Asset("big.bin")), Bytes(128 * 1024, 4));
}

TEST_F(ShellUpdate, ANewShellExecutableIsMovedInAndRestartedWithTheSameArguments) {
  // The new shell is the same program with a few bytes more: it differs, and it runs.
  const std::string oldShell = ReadTextFile(Dir / L"Tarvel.exe");
  ASSERT_FALSE(oldShell.empty());
  const std::string newShell = oldShell + std::string("\0newer build", 12);
  Publish({{"index.html", "<html>lobby</html>"}, {"resources/app/shell/Tarvel.exe", newShell}});

  auto shell = StartShell(L"--log --hall=7");
  DWORD code = 99;
  ASSERT_TRUE(shell->WaitExit(90000, code)) << Log();
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ReadTextFile(Dir / L"Tarvel.~old"), oldShell);
  EXPECT_NE(Log().find("Post update actions: Cancel: False, Restart: True"), std::string::npos);

  // The restarted shell finds everything current and starts the browser with the first one's arguments.
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }, 90000)) << Log();
  EXPECT_EQ(ReadRecords(BrowserRecord())[0].Args, (std::vector<std::wstring>{L"--log", L"--hall=7"}));
  EXPECT_EQ(ReadTextFile(Dir / L"Tarvel.exe"), newShell);
  EXPECT_FALSE(FileExists(Asset("resources/app/shell/Tarvel.exe")));  // moved, not copied
  std::string log = Log();
  EXPECT_NE(log.find("Update modes = [stgDownload,stgUpdate]"), std::string::npos);
  EXPECT_NE(log.find("Post update actions: Cancel: False, Restart: False"), std::string::npos) << log;

  Stop(Browser());  // its end closes the restarted shell, which the job ends too
  EXPECT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"end") == 1; }));
  EXPECT_TRUE(WaitUntil([] { return TProcess::IsRun(L"Tarvel.exe") == 0; }, 30000));
}
