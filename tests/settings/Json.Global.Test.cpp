#include <gtest/gtest.h>

#include "SettingsTestFolder.h"
#include "platform/runtime/Files.h"
#include "settings/Json.Global.h"

namespace {

// Moves the executable's folder into a private temporary folder for the global storages.
class JsonGlobal : public testing::Test {
protected:
  TSettingsTestFolder Dir;
  void SetUp() override {
    SetExeFileNameOverride(Dir.File(L"Tarvel.exe"));
    ResetGlobalStorages();
  }
  void TearDown() override {
    ResetGlobalStorages();
    SetExeFileNameOverride(L"");
  }
};

}  // namespace

TEST_F(JsonGlobal, FreshStorageFile) {
  auto store = GlobalStore();
  EXPECT_EQ(store->FileName(), Dir.File(L"storage.json"));
  EXPECT_EQ(ReadAllBytes(Dir.File(L"storage.json")),
            Crlf("{\n    \"clearTrash\": \"1899-12-30T00:00:00.000Z\",\n    \"clearPeriod\": 7\n}"));
  EXPECT_EQ(store->Config().ClearTrash(), ClearTrashNever);
  EXPECT_EQ(store->Config().ClearPeriod, 7);
}

TEST_F(JsonGlobal, StoredValuesReadBack) {
  struct Case { const char* file; const wchar_t* trash; int period; } cases[] = {
      {R"({"clearPeriod": 3, "clearTrash": "2020-01-02T03:04:05.006Z"})", L"2020-01-02T03:04:05.006Z", 3},
      {R"({"clearTrash": "soon", "clearPeriod": "x"})", ClearTrashNever, 0},
      {R"({"clearPeriod": 256})", ClearTrashNever, 7},
      {R"({"clearPeriod": 255})", ClearTrashNever, 255}};
  for (auto& c : cases) {
    WriteAllBytes(Dir.File(L"storage.json"), c.file);
    ResetGlobalStorages();
    EXPECT_EQ(GlobalStore()->Config().ClearTrash(), c.trash) << c.file;
    EXPECT_EQ(GlobalStore()->Config().ClearPeriod, c.period) << c.file;
  }
  // A property is written before the fields, behind unknown keys.
  WriteAllBytes(Dir.File(L"storage.json"), R"({"clearPeriod": 3, "x": "y", "clearTrash": "2020-01-02"})");
  ResetGlobalStorages();
  GlobalStore()->Save();
  EXPECT_EQ(ReadAllBytes(Dir.File(L"storage.json")),
            Crlf("{\n    \"x\": \"y\",\n    \"clearTrash\": \"2020-01-02T00:00:00.000Z\",\n    \"clearPeriod\": 3\n}"));
}

TEST(JsonStore, ClearTrashNormalisation) {
  struct Case { const wchar_t* text; const wchar_t* stored; } cases[] = {
      {L"2019-06-25T10:00:00+03:00", L"2019-06-25T07:00:00.000Z"},
      {L"2019-06-25", L"2019-06-25T00:00:00.000Z"},
      {L"2019-06-25T10:00:00", L"2019-06-25T10:00:00.000Z"},
      {L"2019-06-25T10:00", L"2019-06-25T10:00:00.000Z"},
      {L"2019-06-25T10:00:00.5Z", L"2019-06-25T10:00:00.500Z"},
      {L"2019-06-25T10:00:00.1234Z", L"2019-06-25T10:00:00.123Z"},
      {L"2019-06-25T00:30:00+01:00", L"2019-06-24T23:30:00.000Z"},
      {L"2019-06-25T23:00:00-02:30", L"2019-06-26T01:30:00.000Z"},
      {L"2019-12-31T23:30:00-0100", L"2020-01-01T00:30:00.000Z"},
      {L"20190625T100000Z", L"2019-06-25T10:00:00.000Z"},
      {L"2020-02-29T12:00:00Z", L"2020-02-29T12:00:00.000Z"},
      {L"1899-12-30T00:00:00.000Z", L"1899-12-30T00:00:00.000Z"},
      {L"1850-03-01T06:00:00Z", L"1850-03-01T06:00:00.000Z"},
      {L"2019-02-29", ClearTrashNever},
      {L"2019-13-01", ClearTrashNever},
      {L"2019-06-25T24:00:00", ClearTrashNever},
      {L"2019-06-25 10:00:00", ClearTrashNever},
      {L"2019-06-25T10:00:00+3", ClearTrashNever},
      {L"never", ClearTrashNever},
      {L"", ClearTrashNever}};
  for (auto& c : cases) {
    TStore s;
    s.WriteClearTrash(c.text);
    EXPECT_EQ(s.ClearTrash(), c.stored) << c.text;
    // A stored value survives reading and saving unchanged.
    s.WriteClearTrash(s.ClearTrash());
    EXPECT_EQ(s.ClearTrash(), c.stored) << c.text;
  }
}

TEST_F(JsonGlobal, SettingsSingleton) {
  auto a = GlobalSettings();
  auto b = GlobalSettings();
  EXPECT_EQ(a.get(), b.get());
  EXPECT_EQ(a->FileName(), Dir.File(L"settings.json"));
  a->Config().Skin.Name = L"Other";
  b->Save();
  EXPECT_EQ(GlobalSettings()->Config().Skin.Name, L"Other");
  ResetGlobalStorages();
  EXPECT_NE(GlobalSettings().get(), a.get());
  EXPECT_EQ(GlobalSettings()->Config().Skin.Name, L"Other");  // read back from the file
}
