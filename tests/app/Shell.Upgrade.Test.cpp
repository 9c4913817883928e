// The whole import of an older installation by the real Tarvel.exe under Wine: the first
// process finds the terminal program's files beside it, imports its INI files into
// settings.json, takes over its folders, icon and name, and ends; the process restarted
// under the old name is the shell itself and starts the browser with the same arguments.
#include "AppTestSupport.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Strings.h"

namespace {

class ShellUpgrade : public ShellFolderTest {
protected:
  void SetUp() override {
    ShellFolderTest::SetUp();
    EndOldNames();
  }
  void TearDown() override {
    EndOldNames();
    ShellFolderTest::TearDown();
  }
  static void EndOldNames() {
    for (int i = 0; i < 5; ++i) {
      DWORD pid = TProcess::IsRun(L"Kelvane.exe");
      if (!pid) break;
      TProcess::Finish(pid);
      WaitUntil([&] { return !TProcess::IsRun(pid); }, 5000);
    }
  }
  static const TJsonValue* At(const TJsonValue& doc, const wchar_t* section, const wchar_t* key) {
    const TJsonValue* s = doc.Find(section);
    return s && s->IsObject() ? s->Find(key) : nullptr;
  }
};

TEST_F(ShellUpgrade, AKelvaneInstallationIsImportedAndTheShellRestartsUnderItsName) {
  // The terminal program's installation as it was left in the folder.
  WriteTextFile(Dir / L"Kelvane.exe", "old terminal program");
  WriteTextFile(Dir / L"Kelvane.ini",
                "[Window]\r\nCloseVisible=True\r\nClosePos=2\r\n[Screen]\r\nScreenH=768\r\nScreenW=1024\r\n"
                "[WEB]\r\nWebUpdate=http://files.kelvane.example/FILESC.json\r\n");
  WriteTextFile(Dir / L"settings.ini", "[PARAMS]\r\nHALL_ID=42\r\nURL=http://127.0.0.1:9/lobby\r\n");
  WriteTextFile(Dir / L"Kelvane.ico", "old icon");
  ForceDirectories(Dir / L"WWW\\resources");
  WriteTextFile(Dir / L"WWW\\index.html", "<html>old lobby</html>");
  ForceDirectories(Dir / L"Slider");
  WriteTextFile(Dir / L"Slider\\1.jpg", "slide");
  // The old INI was left read-only; the import still removes it.
  SetFileAttributesW((Dir / L"Kelvane.ini").c_str(), FILE_ATTRIBUTE_READONLY);

  TJobProcess shell(Dir / L"Tarvel.exe", L"--fast --log --hall=7", Dir.Path());
  DWORD code = 99;
  ASSERT_TRUE(shell.WaitExit(60000, code)) << ReadTextFile(Dir / L"Tarvel.log");
  EXPECT_EQ(code, 0u);

  std::string firstLog = ReadTextFile(Dir / L"Tarvel.log");
  EXPECT_NE(firstLog.find("Import config from .\\Kelvane.ini"), std::string::npos) << firstLog;
  EXPECT_NE(firstLog.find("Upgrade mode: Kelvane"), std::string::npos) << firstLog;
  size_t restart = firstLog.find("Restarting...");
  ASSERT_NE(restart, std::string::npos) << firstLog;
  EXPECT_NE(firstLog.find("Restart = " + WideToUtf8(Dir / L"Kelvane.exe")), std::string::npos) << firstLog;

  // The old installation became the shell's: the executable under the old name, the old
  // program and its INI files gone, folders and icon taken over.
  EXPECT_FALSE(FileExists(Dir / L"Tarvel.exe"));
  EXPECT_TRUE(FileExists(Dir / L"Kelvane.exe"));
  EXPECT_NE(ReadTextFile(Dir / L"Kelvane.exe"), "old terminal program");
  for (const wchar_t* gone : {L"Kelvane.ini", L"settings.ini", L"Kelvane.ico"}) EXPECT_FALSE(FileExists(Dir / gone)) << gone;
  EXPECT_EQ(ReadTextFile(Dir / L"appicon.ico"), "old icon");
  EXPECT_EQ(ReadTextFile(Dir / L"assets\\index.html"), "<html>old lobby</html>");
  EXPECT_EQ(ReadTextFile(Dir / L"picturies\\1.jpg"), "slide");
  EXPECT_FALSE(DirectoryExists(Dir / L"WWW"));

  TJsonValue doc = ParseJson(DecodeTextBytes(ReadAllBytes(Dir / L"settings.json")));
  ASSERT_TRUE(At(doc, L"hall", L"id"));
  EXPECT_EQ(At(doc, L"hall", L"id")->Text(), L"42");
  ASSERT_TRUE(At(doc, L"links", L"browserUrl"));
  EXPECT_EQ(At(doc, L"links", L"browserUrl")->Text(), L"http://127.0.0.1:9/lobby");
  EXPECT_FALSE(At(doc, L"links", L"updateUrl"));
  ASSERT_TRUE(At(doc, L"buttons", L"close"));
  EXPECT_EQ(At(doc, L"buttons", L"close")->Text(), L"3");
  ASSERT_TRUE(At(doc, L"common", L"updateCache"));
  EXPECT_EQ(At(doc, L"common", L"updateCache")->Kind(), TJsonKind::False);
  ASSERT_TRUE(At(doc, L"common", L"magnetic_cards"));
  EXPECT_EQ(At(doc, L"common", L"magnetic_cards")->Kind(), TJsonKind::True);

  // The restarted process is the shell under the old name: it starts the browser with the
  // first process's arguments and logs beside its new name. (Wine's process list keeps
  // naming an image after the file it was first mapped from, so the log is the witness.)
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }, 60000))
      << ReadTextFile(Dir / L"Kelvane.log");
  EXPECT_EQ(ReadRecords(BrowserRecord())[0].Args, (std::vector<std::wstring>{L"--fast", L"--log", L"--hall=7"}));
  std::string secondLog = ReadTextFile(Dir / L"Kelvane.log");
  EXPECT_NE(secondLog.find(" started on "), std::string::npos) << secondLog;
  EXPECT_EQ(secondLog.find("Upgrade mode"), std::string::npos) << secondLog;

  Stop(Browser());  // its end closes the restarted shell; the job ends whatever is left
  EXPECT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"end") == 1; }));
  EXPECT_TRUE(WaitUntil(
      [] { return TProcess::IsRun(L"Kelvane.exe") == 0 && TProcess::IsRun(L"Tarvel.exe") == 0; }, 30000));
  shell.Kill();
}

}  // namespace
