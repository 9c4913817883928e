#include <gtest/gtest.h>
#include <climits>
#include "platform/runtime/Strings.h"
#include "platform/runtime/Files.h"

TEST(Strings, Utf8RoundTrip) {
  std::wstring w = L"Grüße дн. \u20AC";
  EXPECT_EQ(Utf8ToWide(WideToUtf8(w)), w);
  EXPECT_EQ(WideToUtf8(L"\u00E9"), "\xC3\xA9");
}

TEST(Strings, TrimAndCase) {
  EXPECT_EQ(Trim(L" \t --FAST \r\n"), L"--FAST");
  EXPECT_EQ(LowerCase(L"--FAST Ä"), L"--fast ä");
}

TEST(Strings, IntegerTexts) {
  struct Case { const wchar_t* text; bool ok; int value; } cases[] = {
      {L"64", true, 64}, {L"-5", true, -5}, {L"$1F", true, 31}, {L"0x10", true, 16},
      {L"", false, 0}, {L"12a", false, 0}, {L"2147483648", false, 0}, {L"1.5", false, 0}};
  for (auto& c : cases) {
    int v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(Strings, Int64TextsUpToTheLimits) {
  struct Case { const wchar_t* text; bool ok; long long value; } cases[] = {
      {L"2000000000000000000", true, 2000000000000000000LL},
      {L"9223372036854775807", true, LLONG_MAX},
      {L"-9223372036854775808", true, LLONG_MIN},
      {L"9223372036854775808", false, 0},
      {L"-9223372036854775809", false, 0},
      {L"18446744073709551616", false, 0},
      {L"99999999999999999999", false, 0}};
  for (auto& c : cases) {
    long long v = 0;
    EXPECT_EQ(TryStrToInt64(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(Files, PathParts) {
  EXPECT_EQ(ExtractFilePath(L"C:\\a\\b.txt"), L"C:\\a\\");
  EXPECT_EQ(ExtractFileName(L"C:\\a\\b.txt"), L"b.txt");
  EXPECT_EQ(ChangeFileExt(L"C:\\a\\b.exe", L".log"), L"C:\\a\\b.log");
  EXPECT_EQ(IncludeTrailingPathDelimiter(L"C:\\a"), L"C:\\a\\");
}
