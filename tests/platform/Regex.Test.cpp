#include <gtest/gtest.h>
#include "platform/runtime/Regex.h"

TEST(Regex, FirstMatchWithGroups) {
  TRegEx re(L"(\\d+)-(x)?(\\w+)");
  TMatch m = re.Match(L"ab 12-cd 34-ef");
  ASSERT_TRUE(m.Success);
  EXPECT_EQ(m.Index, 3u);
  EXPECT_EQ(m.Value, L"12-cd");
  ASSERT_EQ(m.Groups.size(), 4u);
  EXPECT_EQ(m.Groups[1].Value, L"12");
  EXPECT_FALSE(m.Groups[2].Success);  // optional group that took no part
  EXPECT_EQ(m.Groups[3].Value, L"cd");
  EXPECT_EQ(re.Match(L"ab 12-cd 34-ef", 5).Value, L"34-ef");
  EXPECT_FALSE(re.Match(L"nothing").Success);
  EXPECT_FALSE(re.Match(L"12-cd", 99).Success);

  // \w is ASCII only; a lone surrogate in the subject does not break matching.
  EXPECT_FALSE(TRegEx(L"^\\w+$").IsMatch(L"дн"));
  EXPECT_TRUE(TRegEx(L"b").IsMatch(std::wstring(L"a\xD800" L"b")));
  EXPECT_TRUE(TRegEx(L"ABC", roIgnoreCase).IsMatch(L"xabcx"));
  EXPECT_THROW(TRegEx(L"(unclosed"), ERegularExpressionError);
}
