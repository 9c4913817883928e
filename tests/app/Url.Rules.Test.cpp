// The start-up repairs of settings.json: URL rules, the obsolete update address, the cache flag.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/Url.Rules.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Strings.h"
#include "settings/Json.Settings.h"

namespace {

class UrlRulesTest : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    FDir = IncludeTrailingPathDelimiter(temp) + L"tarvel-rules-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L"\\";
    ForceDirectories(FDir);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(FDir), ec);
  }
  std::shared_ptr<IStorage<TSettings>> Storage(const std::string& json) {
    WriteAllBytes(File(), json);
    return TStorage<TSettings>::Create(File());
  }
  std::wstring File() const { return FDir + L"settings.json"; }
  TJsonValue Doc() const { return ParseJson(DecodeTextBytes(ReadAllBytes(File()))); }
  static const TJsonValue* At(const TJsonValue& doc, const wchar_t* section, const wchar_t* key) {
    const TJsonValue* s = doc.Find(section);
    return s ? s->Find(key) : nullptr;
  }

  std::wstring FDir;
};

TEST(UrlRules, AppliedInDocumentOrderIgnoringCase) {
  struct {
    const wchar_t* Rules;
    const wchar_t* Url;
    const wchar_t* Result;
  } cases[] = {
      {LR"({"a": "b", "b": "c"})", L"xAyBa", L"xcycc"},
      {LR"({"b": "c", "a": "b"})", L"xAyBa", L"xbycb"},
      {LR"({"old.example": "new.example"})", L"http://OLD.Example/old.exampLE?q", L"http://new.example/new.example?q"},
      {LR"({"a": "aa"})", L"aXa", L"aaXaa"},
      {LR"({"": "never", "host": ""})", L"http://host/", L"http:///"},
      {LR"({":8080": 9090, "flag=x": true, "n=x": null, "o": {"x": 1}, "r": [1]})", L"h:8080/?flag=x&n=x&o&r",
       L"h9090/?true&null&o&r"},
      {LR"({"a": "b", "a": "c"})", L"a", L"b"},
      {LR"({})", L"http://same/", L"http://same/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.Rules));
    EXPECT_EQ(ApplyUrlRules(ParseJson(c.Rules), c.Url), c.Result);
  }
  EXPECT_THROW(ApplyUrlRules(ParseJson(L"[]"), L"x"), EJsonException);
}

TEST_F(UrlRulesTest, RulesTextChangesTheBrowserAddressAndSaves) {
  auto storage = Storage(R"({"links": {"browserUrl": "http://old.example/lobby"}, "sorvik": {"zoom": 2}})");
  EXPECT_FALSE(ApplyUrlRulesText(*storage, L"<html>502</html>"));
  EXPECT_EQ(storage->Config().Links.BrowserUrl, L"http://old.example/lobby");
  EXPECT_TRUE(ApplyUrlRulesText(*storage, LR"({"OLD.example": "new.example"})"));
  EXPECT_EQ(storage->Config().Links.BrowserUrl, L"http://new.example/lobby");
  TJsonValue doc = Doc();
  EXPECT_EQ(At(doc, L"links", L"browserUrl")->Text(), L"http://new.example/lobby");
  EXPECT_NE(At(doc, L"sorvik", L"zoom"), nullptr);
  EXPECT_THROW(ApplyUrlRulesText(*storage, L"[1]"), EJsonException);
}

TEST(UrlRules, ObsoleteUpdateAddresses) {
  struct {
    const wchar_t* Url;
    bool Obsolete;
    bool Dropped;
  } cases[] = {
      {L"http://x.example/filesC.json", true, true},
      {L"http://x.example/FILESC.JSON", true, true},
      {L"http://x.example/filesZ.json", true, true},
      {L"http://x.example/filesA.json", true, true},
      {L"http://x.example/filesP.json", false, false},
      {L"http://x.example/filesC.json.bak", false, false},
      {L"http://files.kelvane.example/index.json", false, true},
      {L"http://FILES.KELVANE.EXAMPLE/index.json", false, false},
      {L"", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.Url));
    EXPECT_EQ(IsObsoleteIndexUrl(c.Url), c.Obsolete);
    EXPECT_EQ(IsDroppedUpdateUrl(c.Url), c.Dropped);
  }
}

TEST_F(UrlRulesTest, SettingsPatchKeepsKeysTheModelDoesNotKnow) {
  struct {
    const char* Name;
    const char* UpdateUrl;  // nullptr: not in the file
    const char* Api;
    bool Rewritten;
    bool UrlStays;
    bool ApiStays;
  } cases[] = {
      {"obsolete address, built-in API", "http://x.example/filesC.json", "http://hall.tarvel.example/other", true, false,
       false},
      {"obsolete address, custom API", "http://x.example/FILESC.JSON", "http://my.hall/api", true, false, true},
      {"former server, empty API", "http://files.kelvane.example/i.json", "", true, false, false},
      {"custom address", "http://my.example/index.json", "http://hall.tarvel.example/x", false, true, true},
      {"no address, custom API", nullptr, "http://my.hall/api", false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string links = c.UpdateUrl ? std::string("\"updateUrl\": \"") + c.UpdateUrl + "\", " : "";
    std::string json = "{\"links\": {" + links + "\"browserUrl\": \"http://b/\", \"extra\": \"keep\"}, " +
                       "\"hall\": {\"id\": 5, \"api\": \"" + c.Api + "\"}, \"sorvik\": {\"zoom\": 2}}";
    auto storage = Storage(json);
    std::string before = ReadAllBytes(File());
    EXPECT_EQ(PatchSettingsFile(*storage), c.Rewritten);
    if (!c.Rewritten) {
      EXPECT_EQ(ReadAllBytes(File()), before);
    }
    // An ordinary save later in the same start must not bring removed keys back.
    storage->Save();
    TJsonValue doc = Doc();
    EXPECT_EQ(At(doc, L"links", L"updateUrl") != nullptr, c.UrlStays);
    EXPECT_EQ(At(doc, L"hall", L"api") != nullptr, c.ApiStays);
    EXPECT_EQ(storage->Config().Links.UpdateUrl.empty(), !c.UrlStays);
    ASSERT_NE(At(doc, L"links", L"extra"), nullptr);
    EXPECT_EQ(At(doc, L"links", L"extra")->Text(), L"keep");
    EXPECT_NE(At(doc, L"sorvik", L"zoom"), nullptr);
    EXPECT_EQ(At(doc, L"hall", L"id")->Text(), L"5");
  }
}

TEST_F(UrlRulesTest, CacheFlagSwitchesTheCacheSettingOn) {
  auto storage = Storage(R"({"common": {"updateCache": false}, "sorvik": 1})");
  EXPECT_FALSE(ApplyUpdateCacheFlag(*storage, FDir));
  EXPECT_FALSE(storage->Config().Common.UpdateCache);
  EXPECT_EQ(At(Doc(), L"common", L"updateCache")->Kind(), TJsonKind::False);

  ForceDirectories(FDir + L"assets\\resources\\appinfo\\");
  WriteAllBytes(FDir + UpdateCacheFlagFile, "png");
  EXPECT_TRUE(ApplyUpdateCacheFlag(*storage, FDir));
  EXPECT_TRUE(storage->Config().Common.UpdateCache);
  EXPECT_EQ(At(Doc(), L"common", L"updateCache")->Kind(), TJsonKind::True);
  EXPECT_NE(Doc().Find(L"sorvik"), nullptr);
}

}  // namespace
