#include <gtest/gtest.h>

#include "SettingsTestFolder.h"
#include "platform/runtime/Files.h"
#include "settings/Json.Settings.h"

namespace {

const char* const FreshSettings = R"J({
    "common": {
        "key": "",
        "lang": "EN",
        "magnetic_cards": false,
        "updateCache": false,
        "hideWemb": true
    },
    "links": {
        "browserUrl": "http:\/\/start.tarvel.example\/"
    },
    "buttons": {
        "close": 1
    },
    "screen": {
        "changeResolution": true,
        "fullscreen": true,
        "autoFogging": false,
        "lobbyFogging": 128,
        "gameFogging": 100
    },
    "hall": {
        "id": 0
    },
    "browser": {
        "enableHighDPISupport": false,
        "enableGPU": true,
        "deleteCache": true
    },
    "skin": {
        "active": true,
        "name": "Lusmere II (internal)",
        "hueOffset": 0,
        "saturation": 0,
        "brightness": 0,
        "drawNonClient": true,
        "extendedBorders": true,
        "blendForm": true
    }
})J";

}  // namespace

TEST(JsonSettings, FreshFileByteForByte) {
  TSettingsTestFolder dir;
  auto s = TStorage<TSettings>::Create(dir.File(L"settings.json"));
  EXPECT_EQ(ReadAllBytes(dir.File(L"settings.json")), Crlf(FreshSettings));
  const TSettings& c = s->Config();
  EXPECT_EQ(c.Skin.Name, L"Lusmere II (internal)");
  EXPECT_TRUE(c.Skin.Active);  // "True"
  EXPECT_TRUE(c.Common.HideWemb);  // "true"
  EXPECT_FALSE(c.Common.Magnetic);
  EXPECT_EQ(c.Screen.LobbyFogging, 128);
  EXPECT_EQ(c.Links.UpdateUrl, L"");
  EXPECT_EQ(c.Links.BrowserUrl, DefaultBrowserUrl);
  EXPECT_EQ(c.Hall.Api, DefaultHallApiUrl);
  // The keys an ordinary save leaves out are there when everything is asked for.
  TJsonValue all = s->ToJson(c, true);
  EXPECT_NE(all.Find(L"links")->Find(L"updateUrl"), nullptr);
  EXPECT_EQ(all.Find(L"hall")->Find(L"api")->Text(), DefaultHallApiUrl);
}

TEST(JsonSettings, UpdateUrlSurvivesSaves) {
  TSettingsTestFolder dir;
  std::wstring file = dir.File(L"settings.json");
  WriteAllBytes(file, R"({"links": {"updateUrl": "http://u.example/idx", "browserUrl": "http://b.example/"},
                          "console": {"volume": 3}})");
  auto s = TStorage<TSettings>::Create(file);
  EXPECT_EQ(s->Config().Links.UpdateUrl, L"http://u.example/idx");
  s->Config().Links.UpdateUrl = L"changed";
  s->Config().Common.Lang = L"\u0420\u0423";
  s->Save();
  TSettings other;
  s->SetDefault(other);
  s->Save(other, true);
  std::string bytes = ReadAllBytes(file);
  EXPECT_NE(bytes.find(Crlf(R"(    "links": {
        "updateUrl": "http:\/\/u.example\/idx",
        "browserUrl": "http:\/\/start.tarvel.example\/"
    },
    "console": {
        "volume": 3
    },
    "common": {)")), std::string::npos) << bytes;
  EXPECT_EQ(s->Config().Links.UpdateUrl, L"http://u.example/idx");
  EXPECT_EQ(s->Config().Common.Lang, L"EN");
}

TEST(JsonSettings, HallAddresses) {
  struct Case { const wchar_t* url; const wchar_t* api; const wchar_t* page; } cases[] = {
      {L"http://hall.example/", L"http://hall.example/index.php?act=api&response=js",
       L"http://hall.example/index.php?time=%s&session=%s"},
      {L"https://h.example/x/index.php?old=1#top", L"https://h.example/x/index.php?act=api&response=js#top",
       L"https://h.example/x/index.php?time=%s&session=%s#top"},
      {L"http://h.example/api", L"http://h.example/apiindex.php?act=api&response=js", nullptr},
      {L"http://h.example", L"http://h.example/index.php?act=api&response=js", nullptr},
      {L"http://u:p@h.example:8080/", L"http://u:p@h.example:8080/index.php?act=api&response=js", nullptr},
      {L"http://h.example:80/", L"http://h.example/index.php?act=api&response=js", nullptr},
      {L"https://h.example:443/INDEX.PHP", L"https://h.example/INDEX.PHPindex.php?act=api&response=js", nullptr},
      {L"hall.example/index.php", DefaultHallApiUrl, L"time=%s&session=%s"},
      {L"", DefaultHallApiUrl, L"time=%s&session=%s"},
      {L"http://h.example:port/", DefaultHallApiUrl, nullptr}};
  for (auto& c : cases) {
    EXPECT_EQ(TCfgHall::ToApi(c.url), c.api) << c.url;
    if (c.page) {
      EXPECT_EQ(TCfgHall::ToUrl(c.url), c.page) << c.url;
    }
  }
}

TEST(JsonSettings, AsJsonHoldsEveryMember) {
  TSettings s;
  s.Links.UpdateUrl = L"u";
  std::wstring text = s.AsJson();
  EXPECT_NE(text.find(L"\"Links\": {\r\n        \"UpdateUrl\": \"u\","), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"\"Api\": \"\""), std::wstring::npos);
}
