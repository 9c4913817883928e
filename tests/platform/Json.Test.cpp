#include <gtest/gtest.h>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Strings.h"

TEST(Json, ParseKeepsOrderDuplicatesAndNumberLiterals) {
  TJsonValue v = ParseJson(LR"({"b":1,"a":12.50,"b":1E3,"n":null,"t":true,"s":"x\/\u00e9","big":123456789012345678901234,"neg":-7})");
  ASSERT_TRUE(v.IsObject());
  std::wstring names;
  for (auto& p : v.Pairs()) names += p.Name + L",";
  EXPECT_EQ(names, L"b,a,b,n,t,s,big,neg,");
  EXPECT_EQ(v.Pairs()[0].Value.Text(), L"1");
  EXPECT_EQ(v.Find(L"a")->Text(), L"12.50");
  EXPECT_EQ(v.Pairs()[2].Value.Text(), L"1E3");
  EXPECT_EQ(v.Find(L"n")->Kind(), TJsonKind::Null);
  EXPECT_EQ(v.Find(L"t")->Kind(), TJsonKind::True);
  EXPECT_EQ(v.Find(L"s")->Text(), L"x/\u00e9");
  EXPECT_EQ(v.Find(L"big")->Text(), L"123456789012345678901234");
  EXPECT_EQ(v.Find(L"neg")->Text(), L"-7");
  // Find and Remove take the first pair of a key; Add appends even when the key exists.
  EXPECT_TRUE(v.Remove(L"b"));
  EXPECT_EQ(v.Find(L"b")->Text(), L"1E3");
  v.Add(L"a", TJsonValue::Bool(false));
  EXPECT_EQ(v.Pairs().back().Name, L"a");
  EXPECT_EQ(v.Find(L"a")->Text(), L"12.50");
}

TEST(Json, RejectsWhatIsNoJson) {
  for (const wchar_t* text : {L"", L"{", L"{} x", L"{'a':1}", L"{\"a\":01}", L"garbage"})
    EXPECT_THROW(ParseJson(text), EJsonException) << text;
  EXPECT_THROW(ParseJson(std::wstring(JsonMaxDepth + 1, L'[') + std::wstring(JsonMaxDepth + 1, L']')), EJsonException);
  EXPECT_NO_THROW(ParseJson(std::wstring(JsonMaxDepth, L'[') + std::wstring(JsonMaxDepth, L']')));
}

TEST(Json, ByteOrderMarks) {
  std::wstring text = L"{\"k\":\"\u00c4\u20ac\"}";
  std::string utf8 = WideToUtf8(text), le, be;
  for (wchar_t c : text) {
    le += static_cast<char>(c & 0xFF), le += static_cast<char>(c >> 8);
    be += static_cast<char>(c >> 8), be += static_cast<char>(c & 0xFF);
  }
  struct Case { const char* name; std::string bytes; } cases[] = {
      {"none", utf8}, {"utf-8", "\xEF\xBB\xBF" + utf8}, {"utf-16le", "\xFF\xFE" + le}, {"utf-16be", "\xFE\xFF" + be}};
  for (auto& c : cases) {
    EXPECT_EQ(DecodeTextBytes(c.bytes), text) << c.name;
    EXPECT_EQ(ParseJson(DecodeTextBytes(c.bytes)).Find(L"k")->Text(), L"\u00c4\u20ac") << c.name;
  }
}

TEST(Json, PrettyWriterExactText) {
  TJsonValue v = TJsonValue::Object();
  v.Add(L"url", TJsonValue::String(L"http://h/p?a=1"));
  v.Add(L"esc", TJsonValue::String(L"\b\t\n\f\r\"\\/\x01\x1f\u00e9\u20ac"));
  v.Add(L"num", TJsonValue::Number(L"12.50"));
  v.Add(L"dbl", TJsonValue::Number(0.1));
  TJsonValue& inner = v.Add(L"inner", TJsonValue::Object());
  inner.Add(L"empty", TJsonValue::Object());
  TJsonValue& arr = inner.Add(L"arr", TJsonValue::Array());
  arr.Items().push_back(TJsonValue::Bool(true));
  arr.Items().push_back(TJsonValue::Null());
  inner.Add(L"none", TJsonValue::Array());
  std::wstring expected =
      L"{\r\n"
      L"    \"url\": \"http:\\/\\/h\\/p?a=1\",\r\n"
      L"    \"esc\": \"\\b\\t\\n\\f\\r\\\"\\\\\\/\\u0001\\u001f\u00e9\u20ac\",\r\n"
      L"    \"num\": 12.50,\r\n"
      L"    \"dbl\": 0.1,\r\n"
      L"    \"inner\": {\r\n"
      L"        \"empty\": {\r\n"
      L"        },\r\n"
      L"        \"arr\": [\r\n"
      L"            true,\r\n"
      L"            null\r\n"
      L"        ],\r\n"
      L"        \"none\": [\r\n"
      L"        ]\r\n"
      L"    }\r\n"
      L"}";
  EXPECT_EQ(FormatJson(v), expected);
  EXPECT_EQ(FormatJsonUtf8(v), WideToUtf8(expected));
  EXPECT_EQ(FormatJson(TJsonValue::Object()), L"{\r\n}");
  // What the writer produces reads back as the same document.
  EXPECT_EQ(FormatJson(ParseJson(expected)), expected);
}
