// Import of older installations: INI fixtures written here, the result read back from
// settings.json and the folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "SettingsTestFolder.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/IniFiles.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Strings.h"
#include "settings/Json.Global.h"
#include "settings/Upd.Upgrade.h"

namespace {

class UpgradeTest : public ::testing::Test {
protected:
  void SetUp() override {
    Put(L"Tarvel.exe", "the shell");
    SetExeFileNameOverride(F.File(L"Tarvel.exe"));
    ResetGlobalStorages();
  }
  void TearDown() override {
    SetExeFileNameOverride(L"");
    ResetGlobalStorages();
  }
  void Put(const std::wstring& name, const std::string& bytes) {
    ForceDirectories(ExtractFilePath(F.File(name)));
    WriteAllBytes(F.File(name), bytes);
  }
  TJsonValue Settings() { return ParseJson(DecodeTextBytes(ReadAllBytes(F.File(L"settings.json")))); }
  static std::wstring Value(const TJsonValue& doc, const wchar_t* section, const wchar_t* key) {
    const TJsonValue* s = doc.Find(section);
    const TJsonValue* v = s ? s->Find(key) : nullptr;
    if (!v) return L"<none>";
    if (v->Kind() == TJsonKind::True) return L"true";
    if (v->Kind() == TJsonKind::False) return L"false";
    return v->Text();
  }

  TSettingsTestFolder F;
};

TEST_F(UpgradeTest, DetectsCompleteInstallationsOnly) {
  struct {
    const char* Name;
    std::vector<std::wstring> Files;
    std::wstring Exe;  // the running executable's name
    TUpgradeMode Mode;
  } cases[] = {
      {"nothing", {}, L"Tarvel.exe", TUpgradeMode::upNone},
      {"Kelvane without settings.ini", {L"Kelvane.exe", L"Kelvane.ini"}, L"Tarvel.exe", TUpgradeMode::upNone},
      {"Kelvane", {L"Kelvane.exe", L"Kelvane.ini", L"settings.ini"}, L"Tarvel.exe", TUpgradeMode::upKelvane},
      {"incomplete Kelvane, Mordex", {L"Kelvane.exe", L"Kelvane.ini", L"Mordex.exe", L"Mordex.ini"}, L"Tarvel.exe",
       TUpgradeMode::upMordex},
      {"both", {L"Kelvane.exe", L"Kelvane.ini", L"settings.ini", L"Mordex.exe", L"Mordex.ini"}, L"Tarvel.exe",
       TUpgradeMode::upKelvane},
      {"Mordex without its INI", {L"Mordex.exe"}, L"Tarvel.exe", TUpgradeMode::upNone},
      // The shell already runs under the old name: nothing to import again.
      {"running as Kelvane", {L"Kelvane.exe", L"Kelvane.ini", L"settings.ini"}, L"Kelvane.exe", TUpgradeMode::upNone},
      {"running as Kelvane, Mordex left",
       {L"Kelvane.exe", L"Kelvane.ini", L"settings.ini", L"Mordex.exe", L"Mordex.ini"}, L"kelvane.EXE",
       TUpgradeMode::upMordex},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSettingsTestFolder folder;
    for (const auto& f : c.Files) WriteAllBytes(folder.File(f), "x");
    SetExeFileNameOverride(folder.File(c.Exe));
    ResetGlobalStorages();
    TUpgrader upgrader;
    EXPECT_EQ(upgrader.FMode, c.Mode);
    EXPECT_EQ(upgrader.UpgradeNeeded(), c.Mode != TUpgradeMode::upNone);
    EXPECT_EQ(upgrader.FRoot, folder.Path());
    if (c.Mode == TUpgradeMode::upNone) {
      EXPECT_FALSE(upgrader.Upgrade());
    }
  }
}

TEST_F(UpgradeTest, ImportsKelvaneSettings) {
  struct {
    const char* Name;
    std::string AppIni;
    std::string HallIni;
    // Expected: section, key, value.
    std::vector<std::tuple<const wchar_t*, const wchar_t*, std::wstring>> Expect;
  } cases[] = {
      {"private index, close button at 2",
       "[Window]\r\nCloseVisible=True\r\nClosePos=2\r\n[Screen]\r\nScreenH=768\r\nScreenW=1024\r\n"
       "[WEB]\r\nWebUpdate=http://files.example/kiosk/FILESP.JSON\r\n",
       "[PARAMS]\r\nHALL_ID=42\r\nURL=http://hall.example/start\r\n",
       {{L"buttons", L"close", L"3"},
        {L"screen", L"changeResolution", L"true"},
        {L"common", L"magnetic_cards", L"true"},
        {L"common", L"updateCache", L"true"},
        {L"links", L"updateUrl", L"http://files.example/kiosk/FILESP.JSON"},
        {L"links", L"browserUrl", L"http://hall.example/start"},
        {L"hall", L"id", L"42"},
        {L"hall", L"api", L"<none>"},
        {L"skin", L"active", L"true"},
        {L"skin", L"name", L"Lusmere II (internal)"},
        {L"skin", L"blendForm", L"false"},
        {L"skin", L"extendedBorders", L"false"},
        {L"skin", L"drawNonClient", L"true"}}},
      {"cached index, no close button, no URL",
       "[window]\ncloseVisible = false\nClosePos=2\n[Screen]\nScreenH=1080\nScreenW=1920\n"
       "[web]\nwebupdate=http://files.example/filesC.json\n",
       "[PARAMS]\nHALL_ID=7\n",
       {{L"buttons", L"close", L"0"},
        {L"screen", L"changeResolution", L"false"},
        {L"common", L"updateCache", L"false"},
        {L"links", L"updateUrl", L"<none>"},
        {L"links", L"browserUrl", DefaultBrowserUrl},  // no URL: settings.json's address stays
        {L"hall", L"id", L"7"}}},
      {"CloseVisible that is no Boolean counts as its default",
       "[Window]\nCloseVisible=perhaps\nClosePos=1\n", "",
       {{L"buttons", L"close", L"2"}, {L"common", L"updateCache", L"true"}, {L"links", L"updateUrl", L"<none>"}}},
      {"empty INI files", "", "",
       {{L"buttons", L"close", L"1"}, {L"screen", L"changeResolution", L"false"}, {L"hall", L"id", L"0"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSettingsTestFolder folder;
    WriteAllBytes(folder.File(L"Tarvel.exe"), "the shell");
    WriteAllBytes(folder.File(L"Kelvane.exe"), "old");
    WriteAllBytes(folder.File(L"Kelvane.ini"), c.AppIni);
    WriteAllBytes(folder.File(L"settings.ini"), c.HallIni);
    SetExeFileNameOverride(folder.File(L"Tarvel.exe"));
    ResetGlobalStorages();
    {
      TUpgrader upgrader;
      ASSERT_EQ(upgrader.FMode, TUpgradeMode::upKelvane);
      EXPECT_TRUE(upgrader.Upgrade());
    }
    TJsonValue doc = ParseJson(DecodeTextBytes(ReadAllBytes(folder.File(L"settings.json"))));
    for (const auto& [section, key, value] : c.Expect) {
      SCOPED_TRACE(WideToUtf8(std::wstring(section) + L"." + key));
      EXPECT_EQ(Value(doc, section, key), value);
    }
    // The private index address goes last in its section.
    if (const TJsonValue* links = doc.Find(L"links"); links && links->Find(L"updateUrl")) {
      EXPECT_EQ(links->Pairs().back().Name, L"updateUrl");
    }
    // The shell now carries the old name; the old files are gone.
    EXPECT_EQ(ReadAllBytes(folder.File(L"Kelvane.exe")), "the shell");
    EXPECT_FALSE(FileExists(folder.File(L"Tarvel.exe")));
    EXPECT_FALSE(FileExists(folder.File(L"Kelvane.ini")));
    EXPECT_FALSE(FileExists(folder.File(L"settings.ini")));
  }
}

TEST_F(UpgradeTest, ImportsMordexAndMovesItsFolders) {
  Put(L"Mordex.exe", "old");
  Put(L"Mordex.ini", "[Window]\r\nClosePos=0\r\n[WEB]\r\nWebUpdate=http://files.example/filesA.json\r\n");
  Put(std::wstring(ChromePortableIni),
      "[GoogleChromePortable]\r\nAdditionalParameters=--kiosk  HTTPS://hall.example/lobby?x=1 http://second.example "
      "--incognito\r\n");
  Put(L"WWW\\index.html", "page");
  Put(L"Slider\\1.jpg", "picture");
  Put(L"Mordex.ico", "icon");
  // An old file marked read-only is deleted all the same.
  SetFileAttributesW(F.File(L"Mordex.ini").c_str(), FILE_ATTRIBUTE_READONLY);

  TUpgrader upgrader;
  ASSERT_EQ(upgrader.FMode, TUpgradeMode::upMordex);
  EXPECT_TRUE(upgrader.Upgrade());
  EXPECT_EQ(upgrader.FRoot + upgrader.FAppFiles[upgrader.FMode].front(), F.File(L"Mordex.exe"));

  TJsonValue doc = Settings();
  EXPECT_EQ(Value(doc, L"links", L"browserUrl"), L"HTTPS://hall.example/lobby?x=1");
  EXPECT_EQ(Value(doc, L"common", L"magnetic_cards"), L"false");
  EXPECT_EQ(Value(doc, L"common", L"updateCache"), L"true");
  EXPECT_EQ(Value(doc, L"buttons", L"close"), L"1");
  EXPECT_EQ(ReadAllBytes(F.File(L"assets\\index.html")), "page");
  EXPECT_EQ(ReadAllBytes(F.File(L"picturies\\1.jpg")), "picture");
  EXPECT_FALSE(DirectoryExists(F.File(L"WWW")));
  EXPECT_FALSE(DirectoryExists(F.File(L"Slider")));
  EXPECT_EQ(ReadAllBytes(F.File(L"appicon.ico")), "icon");
  EXPECT_FALSE(FileExists(F.File(L"Mordex.ico")));
  EXPECT_FALSE(FileExists(F.File(L"Mordex.ini")));
  EXPECT_EQ(ReadAllBytes(F.File(L"Mordex.exe")), "the shell");
  EXPECT_FALSE(FileExists(F.File(L"Tarvel.exe")));
}

TEST_F(UpgradeTest, ExistingTargetsStayAndTheImportStillEnds) {
  Put(L"Kelvane.exe", "old");
  Put(L"Kelvane.ini", "[Window]\r\nCloseVisible=True\r\n");
  Put(L"settings.ini", "[PARAMS]\r\nURL=http://hall.example/\r\n");
  Put(L"WWW\\old.html", "old page");
  Put(L"assets\\new.html", "new page");
  Put(L"Slider\\1.jpg", "picture");
  Put(L"Kelvane.ico", "old icon");
  Put(L"appicon.ico", "our icon");

  TUpgrader upgrader;
  ASSERT_EQ(upgrader.FMode, TUpgradeMode::upKelvane);
  EXPECT_TRUE(upgrader.Upgrade());
  // The folder that exists already wins; the old one is left for the operator.
  EXPECT_EQ(ReadAllBytes(F.File(L"assets\\new.html")), "new page");
  EXPECT_FALSE(FileExists(F.File(L"assets\\old.html")));
  EXPECT_EQ(ReadAllBytes(F.File(L"WWW\\old.html")), "old page");
  EXPECT_EQ(ReadAllBytes(F.File(L"picturies\\1.jpg")), "picture");
  EXPECT_EQ(ReadAllBytes(F.File(L"appicon.ico")), "our icon");
  EXPECT_EQ(ReadAllBytes(F.File(L"Kelvane.ico")), "old icon");
  EXPECT_EQ(ReadAllBytes(F.File(L"Kelvane.exe")), "the shell");

  // The next start, now under the old name, finds nothing more to import.
  SetExeFileNameOverride(F.File(L"Kelvane.exe"));
  ResetGlobalStorages();
  EXPECT_FALSE(TUpgrader().UpgradeNeeded());
}

TEST_F(UpgradeTest, UnreadableIniStopsTheImportAndMissingKeysKeepSettings) {
  const std::string settings =
      "{\"buttons\": {\"close\": 4}, \"links\": {\"browserUrl\": \"http://mine.example/\"}, \"hall\": {\"id\": 9}}";
  const std::string appIni = "[Window]\r\nCloseVisible=True\r\n";
  struct {
    const char* Name;
    std::string HallIni;
    bool LockAppIni;
    bool Imported;
  } cases[] = {
      {"locked INI and an empty INI", "", true, false},
      {"INI that holds no text", std::string("[PARAMS]\r\nURL=http://x.example/\0\x01\x02", 34), false, false},
      {"INI in UTF-16 without its byte-order mark", std::string("[\0P\0]\0", 6), false, false},
      {"empty INI", "", false, true},
      {"INI with an empty address", "[PARAMS]\r\nURL=\r\n", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSettingsTestFolder folder;
    WriteAllBytes(folder.File(L"Tarvel.exe"), "the shell");
    WriteAllBytes(folder.File(L"Kelvane.exe"), "old");
    WriteAllBytes(folder.File(L"Kelvane.ini"), appIni);
    WriteAllBytes(folder.File(L"settings.ini"), c.HallIni);
    WriteAllBytes(folder.File(L"settings.json"), settings);
    SetExeFileNameOverride(folder.File(L"Tarvel.exe"));
    ResetGlobalStorages();
    HANDLE lock = INVALID_HANDLE_VALUE;
    if (c.LockAppIni) {
      lock = CreateFileW(folder.File(L"Kelvane.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    }
    {
      TUpgrader upgrader;
      ASSERT_EQ(upgrader.FMode, TUpgradeMode::upKelvane);
      EXPECT_EQ(upgrader.Upgrade(), c.Imported);
    }
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    TJsonValue doc = ParseJson(DecodeTextBytes(ReadAllBytes(folder.File(L"settings.json"))));
    EXPECT_EQ(Value(doc, L"links", L"browserUrl"), L"http://mine.example/");
    EXPECT_EQ(Value(doc, L"hall", L"id"), L"9");
    if (c.Imported) {
      EXPECT_EQ(Value(doc, L"buttons", L"close"), L"1");
      EXPECT_FALSE(FileExists(folder.File(L"settings.ini")));
      EXPECT_EQ(ReadAllBytes(folder.File(L"Kelvane.exe")), "the shell");
    } else {
      // Nothing written, moved or deleted: the next start tries again.
      EXPECT_EQ(ReadAllBytes(folder.File(L"settings.json")), settings);
      EXPECT_EQ(ReadAllBytes(folder.File(L"Kelvane.ini")), appIni);
      EXPECT_EQ(ReadAllBytes(folder.File(L"settings.ini")), c.HallIni);
      EXPECT_EQ(ReadAllBytes(folder.File(L"Kelvane.exe")), "old");
      EXPECT_TRUE(FileExists(folder.File(L"Tarvel.exe")));
    }
  }
}

TEST_F(UpgradeTest, MordexWithoutAnAddressKeepsTheSettingsAddress) {
  Put(L"settings.json", "{\"links\": {\"browserUrl\": \"http://mine.example/\"}}");
  Put(L"Mordex.exe", "old");
  Put(L"Mordex.ini", "[Window]\r\nClosePos=0\r\n");
  Put(std::wstring(ChromePortableIni), "[GoogleChromePortable]\r\nAdditionalParameters=--kiosk\r\n");
  ResetGlobalStorages();
  TUpgrader upgrader;
  ASSERT_EQ(upgrader.FMode, TUpgradeMode::upMordex);
  EXPECT_TRUE(upgrader.Upgrade());
  TJsonValue doc = Settings();
  EXPECT_EQ(Value(doc, L"links", L"browserUrl"), L"http://mine.example/");
}

TEST(IniFiles, ReadsSectionsAndKeys) {
  TMemIniFile ini;
  ini.SetText(L"; comment\r\nstray=1\r\n[Main]\r\n  Key = value with blanks  \r\nNum=$1F\nBad=12x\n[main]\nKey=second\n"
              L"[Other]\r\nnoequals\r\nEmpty=\r\n");
  EXPECT_EQ(ini.ReadString(L"MAIN", L"key", L"-"), L"value with blanks");
  EXPECT_EQ(ini.ReadInteger(L"Main", L"Num", 0), 31);
  EXPECT_EQ(ini.ReadInteger(L"Main", L"Bad", 5), 5);
  EXPECT_EQ(ini.ReadString(L"Main", L"stray", L"-"), L"-");
  EXPECT_EQ(ini.ReadString(L"Other", L"Empty", L"-"), L"");
  EXPECT_TRUE(ini.ValueExists(L"other", L"EMPTY"));
  EXPECT_FALSE(ini.ValueExists(L"Other", L"noequals"));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::wstring>{L"Main", L"main", L"Other"}));
  EXPECT_EQ(ini.ReadSection(L"Main"), (std::vector<std::wstring>{L"Key", L"Num", L"Bad"}));

  TMemIniFile exact(true);
  exact.SetText(L"[Main]\nKey=1\n[main]\nKey=2\nkey=3\n");
  EXPECT_EQ(exact.ReadString(L"main", L"Key", L"-"), L"2");
  EXPECT_EQ(exact.ReadString(L"main", L"key", L"-"), L"3");
  EXPECT_FALSE(exact.SectionExists(L"MAIN"));
}

TEST(IniFiles, FileEncodingFollowsTheByteOrderMark) {
  TSettingsTestFolder folder;
  std::wstring word = L"caf\x00E9";
  WriteAllBytes(folder.File(L"ansi.ini"), "[A]\r\nW=" + WideToAnsi(word) + "\r\n");
  WriteAllBytes(folder.File(L"utf8.ini"), "\xEF\xBB\xBF[A]\r\nW=" + WideToUtf8(word) + "\r\n");
  EXPECT_EQ(TMemIniFile(folder.File(L"ansi.ini")).ReadString(L"a", L"w", L""), word);
  EXPECT_EQ(TMemIniFile(folder.File(L"utf8.ini")).ReadString(L"a", L"w", L""), word);
  EXPECT_EQ(TMemIniFile(folder.File(L"missing.ini")).ReadString(L"a", L"w", L"-"), L"-");
}

}  // namespace
