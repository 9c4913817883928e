// The start-up repairs of settings.json as the shell form runs them when it is created:
// the URL rules fetched from a loopback server, the removal of an obsolete update
// address, the cache flag, and a start that goes on when the rules server refuses.
#include "AppTestSupport.h"
#include "app/Form.Shell.h"
#include "app/Url.Rules.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "settings/Json.Global.h"
#include "settings/Json.Settings.h"
#include "support/HttpTestServer.h"

namespace {

class FormShellPatches : public ShellFolderTest {
protected:
  void SetUp() override {
    ShellFolderTest::SetUp();
    SetExeFileNameOverride(Dir / L"Tarvel.exe");
    SetParamsOverride({Dir / L"Tarvel.exe", L"--kiosk"});
    ResetGlobalStorages();
    FWasEnabled = CodeSite().Enabled();
    FWasFile = CodeSite().FileName();
    CodeSite().SetFileName(Dir / L"test.log");
    CodeSite().SetEnabled(true);
  }
  void TearDown() override {
    if (Form) TComponent::Free(Form);
    CodeSite().SetEnabled(FWasEnabled);
    CodeSite().SetFileName(FWasFile);
    SetRulesUrlOverride(L"");
    SetParamsOverride({});
    SetExeFileNameOverride(L"");
    ResetGlobalStorages();
    ShellFolderTest::TearDown();
  }
  void CreateForm() {
    Application().Initialize();
    Form = new TFormShell(nullptr);
    Form->DoCreate();
  }
  std::wstring SettingsFile() const { return Dir / L"settings.json"; }
  TJsonValue Settings() const { return ParseJson(DecodeTextBytes(ReadAllBytes(SettingsFile()))); }
  static const TJsonValue* At(const TJsonValue& doc, const wchar_t* section, const wchar_t* key) {
    const TJsonValue* s = doc.Find(section);
    return s && s->IsObject() ? s->Find(key) : nullptr;
  }
  void PlaceCacheFlag() {
    ForceDirectories(Dir / L"assets\\resources\\appinfo");
    WriteTextFile(Dir / UpdateCacheFlagFile, "\x89PNG");
  }
  std::string Log() const { return ReadTextFile(Dir / L"test.log"); }

  // An older settings.json: an update address on the former content server, the cache off,
  // and keys of a sibling program the settings model knows nothing of.
  const std::string OldSettings = R"({
  "common": {"updateCache": false},
  "links": {"browserUrl": "http://OLD.example/lobby?skin=old.example",
            "updateUrl": "http://files.kelvane.example/filesC.json"},
  "pallow": {"pin": "4711", "volume": 3}
})";

  TFormShell* Form = nullptr;

private:
  bool FWasEnabled = false;
  std::wstring FWasFile;
};

TEST_F(FormShellPatches, RulesObsoleteUpdateAddressAndCacheFlagAreAppliedAtCreation) {
  THttpTestServer server;
  // Document order matters: the second rule works on the first one's result.
  server.Serve("/rules.json", R"({"old.example": "mid.example", "MID.example": "new.example", "": "x"})",
               "application/json");
  SetRulesUrlOverride(server.Url("/rules.json"));
  WriteTextFile(SettingsFile(), OldSettings);
  PlaceCacheFlag();

  CreateForm();

  EXPECT_EQ(server.RequestCount("/rules.json"), 1u);
  TJsonValue doc = Settings();
  const TJsonValue* url = At(doc, L"links", L"browserUrl");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->Text(), L"http://new.example/lobby?skin=new.example");
  EXPECT_FALSE(At(doc, L"links", L"updateUrl"));
  const TJsonValue* cache = At(doc, L"common", L"updateCache");
  ASSERT_TRUE(cache);
  EXPECT_EQ(cache->Kind(), TJsonKind::True);
  const TJsonValue* pin = At(doc, L"pallow", L"pin");
  ASSERT_TRUE(pin) << WideToUtf8(FormatJson(doc));
  EXPECT_EQ(pin->Text(), L"4711");
  ASSERT_TRUE(At(doc, L"pallow", L"volume"));

  // The held settings agree with the file, and a later save does not bring the address back.
  EXPECT_EQ(GlobalSettings()->Config().Links.BrowserUrl, L"http://new.example/lobby?skin=new.example");
  EXPECT_TRUE(GlobalSettings()->Config().Common.UpdateCache);
  GlobalSettings()->Save();
  EXPECT_FALSE(At(Settings(), L"links", L"updateUrl"));
  EXPECT_TRUE(At(Settings(), L"pallow", L"pin"));

  std::string log = Log();
  size_t rules = log.find("Check URL changes: rules.json"), patch = log.find("Patching..."),
         cacheLine = log.find("CacheUpdate patch applying...");
  ASSERT_NE(rules, std::string::npos) << log;
  ASSERT_NE(patch, std::string::npos) << log;
  ASSERT_NE(cacheLine, std::string::npos) << log;
  EXPECT_LT(rules, patch);
  EXPECT_LT(patch, cacheLine);
  EXPECT_NE(log.find("UpdateCache: True"), std::string::npos) << log;
}

TEST_F(FormShellPatches, ARefusingRulesServerLeavesSettingsAloneAndTheStartGoesOn) {
  std::wstring closedUrl;
  {
    THttpTestServer gone;
    closedUrl = gone.Url("/rules.json");
  }  // nothing listens on that port any more
  SetRulesUrlOverride(closedUrl);
  WriteTextFile(SettingsFile(), OldSettings);
  PlaceCacheFlag();
  const std::string before = ReadTextFile(SettingsFile());

  ASSERT_NO_THROW(CreateForm());

  ASSERT_TRUE(Form);
  EXPECT_TRUE(Form->HandleAllocated());
  EXPECT_TRUE(Form->TrayIcon->Visible());
  EXPECT_EQ(ReadTextFile(SettingsFile()), before);
  std::string log = Log();
  EXPECT_NE(log.find("Exception: Settings patches: "), std::string::npos) << log;
  // The steps after the failed one did not run for this start.
  EXPECT_EQ(log.find("Patching..."), std::string::npos) << log;
  EXPECT_EQ(log.find("UpdateCache: "), std::string::npos) << log;

  // The shell still works: the browser starts from the unchanged address.
  Form->ActBrowser->Execute();
  EXPECT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
}

}  // namespace
