#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "SettingsTestFolder.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include "settings/Json.Persist.h"

namespace {

// A class with one member of every kind the storage knows.
class TProbeInner {
public:
  int N = 0;
  static const TJsonClassInfo& JsonClass() {
    static const TJsonClassInfo info{L"TProbeInner", {JsonField(L"N", &TProbeInner::N, JsonAttr(L"N", L"3", true))}};
    return info;
  }
};

enum TProbeMode { mdOff, mdOn };

class TProbe {
public:
  int Int = 0;
  long long Big = 0;
  std::wstring Str;
  bool Flag = false;
  double Ratio = 0;
  std::uint8_t Small = 0;
  TProbeMode Mode = mdOff;
  unsigned Opts = 0;
  std::vector<int> Odd;
  std::wstring Hidden;
  TProbeInner Inner;
  const std::wstring& Prop() const { return FProp; }
  void SetProp(const std::wstring& v) { FProp = UpperCase(v); }

  static const TJsonClassInfo& JsonClass() {
    using C = TProbe;
    static const TJsonClassInfo info{
        L"TProbe",
        {JsonProperty(L"Prop", &C::Prop, &C::SetProp, JsonAttr(L"Prop", L"abc", true)),
         JsonField(L"Int", &C::Int, JsonAttr(L"Int", L"5", true)),
         JsonField(L"Big", &C::Big, JsonAttr(L"Big", L"0", true)),
         JsonField(L"Str", &C::Str, JsonAttr(L"Str", L"dflt", true)),
         JsonField(L"Flag", &C::Flag, JsonAttr(L"Flag", L"false", true)),
         JsonField(L"Ratio", &C::Ratio, JsonAttr(L"Ratio", L"1.5", true)),
         JsonField(L"Small", &C::Small, JsonAttr(L"Small", L"7", true)),
         JsonEnumField(L"Mode", &C::Mode, {L"mdOff", L"mdOn"}, JsonAttr(L"Mode", L"mdOn", true)),
         JsonSetField(L"Opts", &C::Opts, {L"soA", L"soB", L"soC"}, JsonAttr(L"Opts", L"[soA]", true)),
         JsonField(L"Odd", &C::Odd, JsonAttr(L"Odd", L"x", true)),
         JsonField(L"Hidden", &C::Hidden, JsonAttr(L"Hidden", L"h", false)),
         JsonObjectField(L"Inner", &C::Inner, JsonAttr(L"Inner", true))}};
    return info;
  }

private:
  std::wstring FProp;
};

std::string Bytes(const std::wstring& path) { return ReadAllBytes(path); }

class JsonPersist : public testing::Test {
public:
  TSettingsTestFolder Dir;
  std::wstring File = Dir.File(L"probe.json");
  void Put(std::string_view bytes) { WriteAllBytes(File, bytes); }
  std::shared_ptr<IStorage<TProbe>> Open() { return TStorage<TProbe>::Create(File); }
  void TearDown() override { SetJsonReadRetry({}); }
};

// The member's value as the storage writes it, given what the file holds under its key.
std::wstring ReadBack(JsonPersist& t, const std::wstring& key, const std::string& stored) {
  t.Put(stored.empty() ? "{}" : "{\"" + WideToUtf8(key) + "\": " + stored + "}");
  auto s = t.Open();
  TJsonValue json = s->ToJson(s->Config(), true);
  const TJsonValue* v = json.Find(key);
  return v ? FormatJson(*v) : L"<none>";
}

}  // namespace

TEST_F(JsonPersist, ConversionTable) {
  struct Case { const wchar_t* key; const char* stored; const wchar_t* expected; } cases[] = {
      // integers: text that is no integer is 0, a missing key (or an object/array under it) the default
      {L"int", "64", L"64"}, {L"int", "\"abc\"", L"0"}, {L"int", "\"$1F\"", L"31"}, {L"int", "12.5", L"0"},
      {L"int", "null", L"0"}, {L"int", "3000000000", L"0"}, {L"int", "", L"5"}, {L"int", "{}", L"5"},
      {L"int", "[1]", L"5"}, {L"big", "5000000000", L"5000000000"},
      // strings take any scalar's text, numbers as written
      {L"str", "5", L"\"5\""}, {L"str", "12.50", L"\"12.50\""}, {L"str", "true", L"\"true\""},
      {L"str", "null", L"\"\""}, {L"str", "\"a\\/b\"", L"\"a\\/b\""}, {L"str", "", L"\"dflt\""},
      // Booleans: only "false" (any case) is false
      {L"flag", "true", L"true"}, {L"flag", "false", L"false"}, {L"flag", "\"TRUE\"", L"true"},
      {L"flag", "\"True\"", L"true"}, {L"flag", "\"FaLsE\"", L"false"}, {L"flag", "\"yes\"", L"true"},
      {L"flag", "0", L"true"}, {L"flag", "\"\"", L"true"}, {L"flag", "", L"false"},
      // floating point: "." and "," both separate decimals, unreadable text is 0
      {L"ratio", "2.25", L"2.25"}, {L"ratio", "\"3,5\"", L"3.5"}, {L"ratio", "\"x\"", L"0"}, {L"ratio", "", L"1.5"},
      // a byte that cannot hold the number takes the default
      {L"small", "200", L"200"}, {L"small", "300", L"7"}, {L"small", "-1", L"7"}, {L"small", "\"x\"", L"0"},
      // sets: names in any case, brackets optional; an unknown name is a failure
      {L"opts", "\"[soB,soC]\"", L"\"[soB,soC]\""}, {L"opts", "\"soc\"", L"\"[soC]\""},
      {L"opts", "\"[soX]\"", L"\"[soA]\""}, {L"opts", "\"\"", L"\"[]\""},
      // properties are stored through their setter; the pass key is lower-cased in front only
      {L"prop", "\"xy\"", L"\"XY\""}, {L"prop", "", L"\"ABC\""},
      // enumerations other than Boolean are never written
      {L"mode", "\"mdOff\"", L"<none>"}};
  for (auto& c : cases) EXPECT_EQ(ReadBack(*this, c.key, c.stored), c.expected) << c.key << " = " << c.stored;
}

TEST_F(JsonPersist, EnumerationsAndUnsupportedTypes) {
  Put(R"({"mode": "MDOFF", "odd": 1, "int": 9})");
  auto s = Open();
  EXPECT_EQ(s->Config().Mode, mdOff);
  EXPECT_EQ(s->Config().Int, 9);  // a member of a type without conversion does not stop the others
  Put(R"({"mode": "mdMaybe"})");
  s->Load();
  EXPECT_EQ(s->Config().Mode, mdOn);
  TJsonScalar value;
  try {
    StrToValue(TProbe::JsonClass().Members[9], L"x", L'.', value);
    ADD_FAILURE() << "no exception";
  } catch (const EJsonPersist& e) {
    EXPECT_EQ(e.Message(), L"Type not Supported");
  }
}

TEST_F(JsonPersist, WhatIsNoJsonObjectIsReplacedByDefaults) {
  auto fresh = [&] {
    DeleteFileW2(File);
    Open();
    return Bytes(File);
  }();
  EXPECT_EQ(fresh.find("hidden"), std::string::npos);  // Save=false keys are not written
  EXPECT_NE(fresh.find("\"int\": 5"), std::string::npos);
  // The bytes that could not be used are kept beside the file before the defaults go over it.
  const std::string nul("{\"int\": 1\0}", 12);
  std::string utf16;  // UTF-16 without a byte-order mark
  for (char ch : std::string("{\"int\": 1}")) utf16 += ch, utf16 += '\0';
  for (const std::string& text : {std::string("[]"), std::string("7"), std::string("garbage"), std::string(""),
                                   std::string("\xEF\xBB\xBF{"), std::string("{\"int\": 1,}"), std::string("null"),
                                   utf16, nul}) {
    WriteAllBytes(File + L".bad", "an older copy");
    Put(text);
    auto s = Open();
    EXPECT_EQ(s->Config().Int, 5) << text;
    EXPECT_EQ(Bytes(File), fresh) << text;
    // The newest bytes are kept; an empty file has none to keep.
    EXPECT_EQ(Bytes(File + L".bad"), text.empty() ? "an older copy" : text) << text;
  }
  // A readable object is not rewritten by loading.
  Put("{\"int\":2}");
  EXPECT_EQ(Open()->Config().Int, 2);
  EXPECT_EQ(Bytes(File), "{\"int\":2}");
}

TEST_F(JsonPersist, UnknownAndUnsavedKeysKeepTheirPlaces) {
  Put(R"({"x": 1, "str": "s", "hidden": "file", "inner": {"q": [1], "n": 4}, "int": 2, "y": {"z": null}})");
  auto s = Open();
  EXPECT_EQ(s->Config().Hidden, L"file");
  EXPECT_EQ(s->Config().Inner.N, 4);
  s->Config().Hidden = L"memory";
  s->Config().Int = 3;
  s->Save();
  s->Save();  // a second save changes nothing more
  std::string expected = Crlf(R"({
    "x": 1,
    "hidden": "file",
    "inner": {
        "q": [
            1
        ],
        "n": 4
    },
    "y": {
        "z": null
    },
    "prop": "ABC",
    "int": 3,
    "big": 0,
    "str": "s",
    "flag": false,
    "ratio": 1.5,
    "small": 7,
    "opts": "[soA]"
})");
  EXPECT_EQ(Bytes(File), expected);
  // Saving everything into another file carries the unsaved key, but no unknown one.
  s->Save(Dir.File(L"all.json"), s->Config(), true);
  std::string all = Bytes(Dir.File(L"all.json"));
  EXPECT_NE(all.find("\"hidden\": \"memory\""), std::string::npos);
  EXPECT_EQ(all.find("\"x\""), std::string::npos);
}

TEST_F(JsonPersist, DuplicateKeyDoesNotHideTheSavedValue) {
  Put(R"({"int": 1, "x": 0, "int": 2})");
  auto s = Open();
  EXPECT_EQ(s->Config().Int, 1);
  s->Config().Int = 9;
  s->Save();
  s->Load();
  EXPECT_EQ(s->Config().Int, 9);
  TJsonValue doc = ParseJson(DecodeTextBytes(Bytes(File)));
  int count = 0;
  for (const auto& p : doc.Pairs()) count += p.Name == L"int";
  EXPECT_EQ(count, 1);
}

TEST_F(JsonPersist, NestedKeyHoldingNoObject) {
  Put(R"({"inner": 5, "int": 1})");
  auto s = Open();
  EXPECT_EQ(s->Config().Inner.N, 3);
  s->Save();
  TJsonValue doc = ParseJson(DecodeTextBytes(Bytes(File)));
  EXPECT_EQ(doc.Pairs()[0].Name, L"inner");
  EXPECT_EQ(FormatJson(doc.Pairs()[0].Value), L"{\r\n    \"n\": 3\r\n}");
}

TEST_F(JsonPersist, RoundTripAndSaveWithApply) {
  DeleteFileW2(File);
  auto s = Open();
  TProbe p;
  s->SetDefault(p);
  EXPECT_EQ(p.Prop(), L"ABC");
  EXPECT_EQ(p.Inner.N, 3);
  EXPECT_EQ(p.Mode, mdOn);
  p.Str = L"Gr\u00fc\u00dfe \u20ac \"q\" / \\ \t\x01 \U0001F600";
  p.Int = -12;
  p.Ratio = 0.1;
  p.Flag = true;
  p.Opts = 6;
  p.Inner.N = 44;
  s->Save(p, false);
  EXPECT_EQ(s->Config().Str, L"dflt");  // not applied
  s->Save(p, true);
  TProbe& c = s->Config();
  EXPECT_EQ(c.Str, p.Str);
  EXPECT_EQ(c.Int, -12);
  EXPECT_EQ(c.Ratio, 0.1);
  EXPECT_TRUE(c.Flag);
  EXPECT_EQ(c.Opts, 6u);
  EXPECT_EQ(c.Inner.N, 44);
  std::string bytes = Bytes(File);
  EXPECT_NE(bytes.find(WideToUtf8(L"Gr\u00fc\u00dfe \u20ac \\\"q\\\" \\/ \\\\ \\t\\u0001 \U0001F600")), std::string::npos);
  // No temporary file stays behind the atomic replacement.
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((Dir.Path() + L"*.tmp*").c_str(), &fd);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST_F(JsonPersist, ByteOrderMarks) {
  std::wstring text = L"{\"str\": \"\u00c4\u20ac\"}";
  std::string utf8 = WideToUtf8(text), le, be;
  for (wchar_t ch : text) {
    le += static_cast<char>(ch & 0xFF), le += static_cast<char>(ch >> 8);
    be += static_cast<char>(ch >> 8), be += static_cast<char>(ch & 0xFF);
  }
  for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8, "\xFF\xFE" + le, "\xFE\xFF" + be}) {
    Put(bytes);
    EXPECT_EQ(Open()->Config().Str, L"\u00c4\u20ac");
    EXPECT_EQ(Bytes(File), bytes);  // read, not rewritten
  }
}

TEST_F(JsonPersist, LockedFileIsNotOverwritten) {
  const std::string content = "{\"int\": 42, \"str\": \"mine\"}";
  Put(content);
  SetJsonReadRetry({3, 10});
  HANDLE lock = CreateFileW(File.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  std::shared_ptr<IStorage<TProbe>> s;
  ASSERT_NO_THROW(s = Open());
  EXPECT_EQ(s->Config().Int, 5);  // defaults in memory
  EXPECT_THROW(s->Save(), EInOutError);  // a save would put defaults over the user's file
  CloseHandle(lock);
  EXPECT_EQ(Bytes(File), content);
  EXPECT_THROW(s->Save(), EInOutError);  // still unread: refused after the lock went, too
  EXPECT_EQ(Bytes(File), content);
  s->Load();
  EXPECT_EQ(s->Config().Int, 42);
  s->Config().Int = 43;
  s->Save();
  EXPECT_NE(Bytes(File).find("\"int\": 43"), std::string::npos);
}

TEST_F(JsonPersist, DefaultsThatCannotBeWrittenStayInMemory) {
  const std::string garbled = "{\"int\": 42, \"str\": \"mine\"";
  struct Case {
    const char* name;
    std::function<HANDLE()> hold;  // makes the file unwritable; what it returns is closed after
  } cases[] = {
      {"read-only",
       [&] {
         SetFileAttributesW(File.c_str(), FILE_ATTRIBUTE_READONLY);
         return INVALID_HANDLE_VALUE;
       }},
      {"held open without delete sharing",
       [&] {
         return CreateFileW(File.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
       }},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetFileAttributesW(File.c_str(), FILE_ATTRIBUTE_NORMAL);
    Put(garbled);
    HANDLE held = c.hold();
    std::shared_ptr<IStorage<TProbe>> s;
    ASSERT_NO_THROW(s = Open());
    EXPECT_EQ(s->Config().Int, 5);
    EXPECT_EQ(s->Config().Str, L"dflt");
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(Bytes(File), garbled);
    EXPECT_EQ(Bytes(File + L".bad"), garbled);
  }
  SetFileAttributesW(File.c_str(), FILE_ATTRIBUTE_NORMAL);

  // No folder to write into at all: the same, and a later save raises to its caller.
  File = Dir.File(L"no such folder\\probe.json");
  std::shared_ptr<IStorage<TProbe>> s;
  ASSERT_NO_THROW(s = Open());
  EXPECT_EQ(s->Config().Int, 5);
  EXPECT_THROW(s->Save(), EInOutError);
}

TEST_F(JsonPersist, UnusableFileWhoseBytesCannotBeKeptIsLeftAlone) {
  const std::string garbled = "{\"int\": 42,";
  Put(garbled);
  ForceDirectories(File + L".bad");  // a folder where the copy would go
  std::shared_ptr<IStorage<TProbe>> s;
  ASSERT_NO_THROW(s = Open());
  EXPECT_EQ(s->Config().Int, 5);
  EXPECT_THROW(s->Save(), EInOutError);
  EXPECT_EQ(Bytes(File), garbled);
}
