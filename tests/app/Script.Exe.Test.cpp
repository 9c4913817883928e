// The script runner with a real program: the stand-in records how each copy was started.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Script.Exe.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"

namespace {

std::wstring StandInExe() {
  std::wstring p = Utf8ToWide(SCRIPT_STANDIN_EXE_PATH);
  for (auto& c : p)
    if (c == L'/') c = L'\\';
  return p.size() && p[0] == L'\\' ? L"Z:" + p : p;
}

struct TStart {
  DWORD Pid = 0;
  int Show = 0;
  std::wstring Folder;
  std::wstring Args;
};

class ScriptTest : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    FDir = IncludeTrailingPathDelimiter(temp) + L"tarvel-script-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L"\\";
    ForceDirectories(FDir + L"sub\\");
    ASSERT_TRUE(CopyFileW(StandInExe().c_str(), (FDir + L"Prog.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(StandInExe().c_str(), (FDir + L"sub\\Other.exe").c_str(), FALSE));
    SetExeFileNameOverride(FDir + L"Tarvel.exe");
    SetScriptPauseMs(10);
  }
  void TearDown() override {
    SetExeFileNameOverride(L"");
    SetScriptPauseMs(250);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(FDir), ec);
  }

  std::wstring Script(const std::string& bytes) {
    WriteAllBytes(FDir + L"script.json", bytes);
    return FDir + L"script.json";
  }

  // Waits until the program's record holds count lines, then makes sure those copies ended.
  std::vector<TStart> Starts(const std::wstring& program, size_t count) {
    auto read = [&] {
      std::vector<TStart> out;
      std::wstring path = FDir + program + L".record";
      if (FileExists(path)) {
        for (const std::wstring& line : SplitString(Utf8ToWide(ReadAllBytes(path)), L'\n')) {
          std::vector<std::wstring> f = SplitString(line, L'\t');
          if (f.size() < 4) continue;
          out.push_back({static_cast<DWORD>(std::stoul(f[0])), std::stoi(f[1]), f[2], f[3]});
        }
      }
      return out;
    };
    for (int i = 0; i < 1500 && read().size() < count; ++i) Sleep(20);
    Sleep(300);  // a start that should not have happened would show by now
    std::vector<TStart> out = read();
    for (const TStart& s : out) {
      if (HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, s.Pid)) {
        if (WaitForSingleObject(h, 5000) != WAIT_OBJECT_0) TerminateProcess(h, 1);
        CloseHandle(h);
      }
    }
    return out;
  }

  static void SortByArgs(std::vector<TStart>& starts) {
    std::sort(starts.begin(), starts.end(), [](const TStart& a, const TStart& b) { return a.Args < b.Args; });
  }

  std::wstring FDir;
};

TEST_F(ScriptTest, NoUsableScriptLetsTheStartUpGoOn) {
  struct {
    const char* Name;
    const char* Bytes;  // nullptr: no file
    bool Result;
  } cases[] = {
      {"no file", nullptr, false},
      {"empty array", "[]", true},
      {"object", "{\"name\": \"Prog.exe\", \"params\": \"\", \"hide\": false}", false},
      {"no JSON", "[{\"name\": ", false},
      {"empty file", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    DeleteFileW((FDir + L"script.json").c_str());
    if (c.Bytes) Script(c.Bytes);
    EXPECT_EQ(TScript(FDir + L"script.json").Execute(), c.Result);
  }
  EXPECT_FALSE(FileExists(FDir + L"Prog.exe.record"));
}

TEST_F(ScriptTest, StartsEachEntryRelativeToTheExecutable) {
  std::string absolute = WideToUtf8(FDir + L"sub\\Other.exe");
  std::string escaped;
  for (char c : absolute) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  std::string script = R"([
    {"name": "Prog.exe", "params": "one \"two three\"", "hide": true},
    {"name": "Prog.exe", "params": "no hide member"},
    {"name": "Missing.exe", "params": "", "hide": false},
    {"name": 5, "params": "", "hide": false},
    {"name": "Prog.exe", "params": 7, "hide": false},
    {"name": "Prog.exe", "params": "", "hide": "yes"},
    {"name": "bad|name.exe", "params": "", "hide": false},
    {"name": "sub\\Other.exe", "params": "sub", "hide": false, "extra": [1]},
    {"name": ")" + escaped + R"(", "params": "absolute", "hide": false},
    "not an object",
    {"name": "Prog.exe", "params": "last", "hide": false}
  ])";
  // The working directory plays no part in finding the programs.
  EXPECT_TRUE(TScript(Script(script)).Execute());

  // The copies start one after another but may record in any order.
  std::vector<TStart> prog = Starts(L"Prog.exe", 2);
  ASSERT_EQ(prog.size(), 2u);
  SortByArgs(prog);
  EXPECT_EQ(prog[0].Args, L"last");
  EXPECT_EQ(prog[0].Show, SW_SHOWNORMAL);
  EXPECT_EQ(prog[1].Args, L"one|two three");
  EXPECT_EQ(prog[1].Show, SW_HIDE);
  EXPECT_TRUE(SameText(IncludeTrailingPathDelimiter(prog[0].Folder), FDir));

  std::vector<TStart> other = Starts(L"sub\\Other.exe", 2);
  ASSERT_EQ(other.size(), 2u);
  SortByArgs(other);
  EXPECT_EQ(other[0].Args, L"absolute");
  EXPECT_EQ(other[1].Args, L"sub");
  EXPECT_TRUE(SameText(IncludeTrailingPathDelimiter(other[1].Folder), FDir + L"sub\\"));
}

TEST_F(ScriptTest, TextEncodingFollowsTheByteOrderMark) {
  std::wstring word = L"caf\x00E9";
  std::string ansi = "[{\"name\": \"Prog.exe\", \"params\": \"" + WideToAnsi(word) + "\", \"hide\": true}]";
  std::string utf8 = "\xEF\xBB\xBF[{\"name\": \"Prog.exe\", \"params\": \"" + WideToUtf8(word) + "\", \"hide\": true}]";
  EXPECT_TRUE(TScript(Script(ansi)).Execute());
  EXPECT_TRUE(TScript(Script(utf8)).Execute());
  std::vector<TStart> prog = Starts(L"Prog.exe", 2);
  ASSERT_EQ(prog.size(), 2u);
  EXPECT_EQ(prog[0].Args, word);
  EXPECT_EQ(prog[1].Args, word);
}

TEST_F(ScriptTest, PausesAfterEveryEntryThatGotItsTurn) {
  // Missing programs still pause; entries that fail are skipped without one.
  SetScriptPauseMs(300);
  std::string script = R"([{"name": "Missing.exe", "params": "", "hide": false},
                          {"name": "Missing.exe", "params": "", "hide": false}])";
  TScript runner(Script(script));
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(runner.Execute());
  // Two pauses; a little slack for the clock's granularity.
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count(), 570);
}

TEST_F(ScriptTest, FactoryReadsScriptJsonOfTheWorkingDirectory) {
  Script(R"([{"name": "Prog.exe", "params": "factory", "hide": false}])");
  wchar_t cwd[MAX_PATH * 2];
  GetCurrentDirectoryW(MAX_PATH * 2, cwd);
  SetCurrentDirectoryW(FDir.c_str());
  std::shared_ptr<IScript> script = ScriptFactory();
  SetCurrentDirectoryW(cwd);
  EXPECT_TRUE(script->Execute());
  std::vector<TStart> prog = Starts(L"Prog.exe", 1);
  ASSERT_EQ(prog.size(), 1u);
  EXPECT_EQ(prog[0].Args, L"factory");
}

}  // namespace
