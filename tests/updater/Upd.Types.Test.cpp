// The file item, its list, the index format and the path and mask rules.
#include <gtest/gtest.h>
#include <thread>
#include <vector>
#include "platform/runtime/Exceptions.h"
#include "updater/Upd.Types.h"

namespace {

std::string Utf8(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) {
    if (c < 0x80) out += char(c);
    else if (c < 0x800) { out += char(0xC0 | (c >> 6)); out += char(0x80 | (c & 63)); }
    else { out += char(0xE0 | (c >> 12)); out += char(0x80 | ((c >> 6) & 63)); out += char(0x80 | (c & 63)); }
  }
  return out;
}

}  // namespace

TEST(FileItem, AsPathFromUrlAndRelativePathMeet) {
  const auto remote = TFileItem::Create(L"http://cdn.example.org/res/img/a.png", L"h", 5);
  const auto local = TFileItem::Create(L"res\\img\\a.png", L"h", 5);
  const auto slashed = TFileItem::Create(L"res/img/a.png", L"h", 5);
  EXPECT_EQ(remote.AsPath, L"res\\img\\a.png");
  EXPECT_EQ(local.AsPath, remote.AsPath);
  EXPECT_EQ(slashed.AsPath, remote.AsPath);
  EXPECT_EQ(remote.Path, L"http://cdn.example.org/res/img/a.png");
  EXPECT_EQ(remote.Size, 5);
}

TEST(FileItemList, SizeFollowsAddsExtractsAndThreadSafeOps) {
  TFileItemList list;
  list.Add(TFileItem::Create(L"b", L"", 10));
  list.Add(TFileItem::Create(L"a", L"", 20));
  list.Add(TFileItem::Create(L"c", L"", 30));
  EXPECT_EQ(list.Size(), 60);
  const TFileItem first = list.ThExtract(0);
  EXPECT_EQ(first.AsPath, L"b");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Size(), 50);
  list.Delete(0);
  EXPECT_EQ(list.Size(), 30);
  EXPECT_THROW(list.ThItem(5), EArgumentOutOfRangeException);
  EXPECT_THROW(list.ThExtract(-1), EArgumentOutOfRangeException);
  list.Clear();
  EXPECT_EQ(list.Size(), 0);

  // Many threads adding at once lose nothing.
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&list, t] {
      for (int i = 0; i < 200; ++i) list.ThAdd(TFileItem::Create(L"f" + std::to_wstring(t * 1000 + i), L"", 1));
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(list.Count(), 1600);
  EXPECT_EQ(list.Size(), 1600);
}

TEST(FileItemList, SortsAndSearchesWithoutAsciiCase) {
  TFileItemList list;
  for (auto p : {L"b\\X.png", L"A\\y.png", L"a\\b.png", L"_z", L"B\\x.png"}) list.Add(TFileItem::Create(p, L"", 1));
  list.Sort();
  // "_" (0x5F) sorts after the upper-cased letters, since letters compare as upper case.
  EXPECT_EQ(list[0].AsPath, L"a\\b.png");
  EXPECT_EQ(list[1].AsPath, L"A\\y.png");
  EXPECT_EQ(list[4].AsPath, L"_z");
  int index = -1;
  EXPECT_TRUE(list.BinarySearch(TFileItem::Create(L"b\\x.PNG", L"", 0), index));
  EXPECT_EQ(index, 2);  // the first of the two equal items
  EXPECT_FALSE(list.BinarySearch(TFileItem::Create(L"b\\w.png", L"", 0), index));
  EXPECT_EQ(index, 2);
  // Non-ASCII letters keep their case.
  TFileItemList cyr;
  cyr.Add(TFileItem::Create(L"\u0416.txt", L"", 1));
  cyr.Sort();
  EXPECT_FALSE(cyr.BinarySearch(TFileItem::Create(L"\u0436.txt", L"", 0), index));
}

TEST(Masks, Table) {
  struct Case { const wchar_t* name; const wchar_t* mask; bool match; };
  const Case cases[] = {
      {L".htaccess", L"*.htaccess", true},
      {L"site.HTACCESS", L"*.htaccess", true},
      {L"x.htaccess-orig", L"*.htaccess", false},
      {L"x.htaccess-orig", L"*.htaccess-orig", true},
      {L"README", L"*.*", false},  // "*.*" needs a point
      {L"a.b", L"*.*", true},
      {L"abc", L"*", true},
      {L"", L"*", true},
      {L"", L"?", false},
      {L"a1.txt", L"a?.txt", true},
      {L"a12.txt", L"a?.txt", false},
      {L"b.log", L"[abc].log", true},
      {L"D.log", L"[a-f].log", true},
      {L"g.log", L"[a-f].log", false},
      {L"[x", L"[x", true},  // an unclosed set is a plain character
      {L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", L"*a*a*a*a*a*a*c", false},
      {L"settings.ini", L"settings.ini", true},
      {L"settings.ini.bak", L"settings.ini", false},
      {L"\u0416.txt", L"\u0436.txt", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << "name '" << Utf8(c.name) << "' mask '" << Utf8(c.mask) << "'";
}

TEST(LocalPaths, HostileOnesAreRefused) {
  struct Case { const wchar_t* path; bool safe; };
  const Case cases[] = {
      {L"res\\img\\a.png", true},
      {L"a", true},
      {L"dir.with.points\\file", true},
      {L"", false},
      {L"\\windows\\x", false},
      {L"\\\\server\\share\\x", false},
      {L"\\\\?\\C:\\x", false},
      {L"C:\\x", false},
      {L"C:x", false},
      {L"a\\file.txt:stream", false},
      {L"..\\x", false},
      {L"a\\..\\..\\x", false},
      {L"a\\..", false},
      {L"a\\... \\x", false},
      {L"a\\.\\x", false},
      {L"a\\\\x", false},
      {L"a\\", false},
      {L"CON", false},
      {L"a\\nul.txt", false},
      {L"a\\Com1", false},
      {L"a\\lpt9.dat", false},
      {L"a\\console", true},
      {L"a\\x?.png", false},
      {L"a\\x\ny", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSafeLocalPath(c.path), c.safe) << Utf8(c.path);
  EXPECT_EQ(JoinLocalPath(L"C:\\assets\\", L"a\\b.png"), L"C:\\assets\\a\\b.png");
  EXPECT_EQ(JoinLocalPath(L"C:\\assets", L"a\\b.png"), L"C:\\assets\\a\\b.png");
  EXPECT_THROW(JoinLocalPath(L"C:\\assets\\", L"..\\evil.exe"), EInOutError);
  EXPECT_THROW(JoinLocalPath(L"C:\\assets\\", L"C:\\evil.exe"), EInOutError);
}

TEST(IndexFormat, ReadTable) {
  const std::string h = "0123456789abcdef0123456789abcdef";
  struct Case {
    const char* name;
    std::string text;
    int count;       // items in the list afterwards
    bool fails;
  };
  const Case cases[] = {
      {"empty array", "[]", 0, false},
      {"blank around", " \r\n [ ] \n", 0, false},
      {"BOM", "\xEF\xBB\xBF[{\"path\":\"a\",\"hash\":\"" + h + "\",\"size\":\"1\"}]", 1, false},
      {"two entries, other members ignored",
       "[{\"path\":\"http://h.example.com/a/b.png\",\"hash\":\"" + h + "\",\"size\":\"12\",\"x\":1,\"y\":[\"z\"]},"
       "{\"size\":\"3\",\"hash\":\"" + h + "\",\"path\":\"c\",\"nested\":{\"path\":\"evil\"}}]", 2, false},
      {"duplicates both kept",
       "[{\"path\":\"a\",\"hash\":\"1\",\"size\":\"1\"},{\"path\":\"a\",\"hash\":\"2\",\"size\":\"2\"}]", 2, false},
      {"size as a number is absent", "[{\"path\":\"a\",\"hash\":\"" + h + "\",\"size\":12}]", 0, true},
      {"missing member after a good entry",
       "[{\"path\":\"a\",\"hash\":\"1\",\"size\":\"1\"},{\"path\":\"b\",\"size\":\"1\"}]", 1, true},
      {"size not an integer", "[{\"path\":\"a\",\"hash\":\"1\",\"size\":\"1.5\"}]", 0, true},
      {"truncated", "[{\"path\":\"a\",\"hash\":\"1\",\"size\":\"1\"},{\"path\":\"b\",\"ha", 1, true},
      {"not JSON", "<html>error</html>", 0, true},
      {"object instead of array", "{\"path\":\"a\",\"hash\":\"1\",\"size\":\"1\"}", 0, true},
      {"scalar", "null", 0, true},
      {"empty text", "", 0, true},
      {"hostile paths dropped",
       "[{\"path\":\"http://h.example.com/../../evil.exe\",\"hash\":\"1\",\"size\":\"1\"},"
       "{\"path\":\"C:\\\\Windows\\\\x.dll\",\"hash\":\"1\",\"size\":\"1\"},"
       "{\"path\":\"\\\\\\\\srv\\\\s\\\\x\",\"hash\":\"1\",\"size\":\"1\"},"
       "{\"path\":\"a/CON\",\"hash\":\"1\",\"size\":\"1\"},"
       "{\"path\":\"\",\"hash\":\"1\",\"size\":\"1\"},"
       "{\"path\":\"ok/x.png\",\"hash\":\"1\",\"size\":\"1\"}]", 1, false},
  };
  for (const auto& c : cases) {
    TFileItemList list;
    bool failed = false;
    try {
      ReadIndexJson(c.text, list);
    } catch (const Exception&) {
      failed = true;
    }
    EXPECT_EQ(failed, c.fails) << c.name;
    EXPECT_EQ(list.Count(), c.count) << c.name;
  }
}

TEST(IndexFormat, SkipCallbackDropsEntries) {
  TFileItemList list;
  ReadIndexJson("[{\"path\":\"a/.htaccess\",\"hash\":\"1\",\"size\":\"1\"},{\"path\":\"a/b\",\"hash\":\"1\",\"size\":\"2\"}]",
                list, [](const TFileItem& item) { return MatchesMask(L".htaccess", L"*.htaccess") && item.AsPath == L"a\\.htaccess"; });
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].AsPath, L"a\\b");
  EXPECT_EQ(list.Size(), 2);
}

TEST(IndexFormat, WriteExactBytesAndRoundTrip) {
  TFileItemList list;
  list.Add(TFileItem::Create(L"http://h.example.com/res/app/a b.png", L"0123456789abcdef0123456789abcdef", 1234567890123LL));
  list.Add(TFileItem::Create(L"r\u00E9s/\u0416\"q\t\x7F", L"h", 0));
  const std::string text = WriteIndexJson(list);
  EXPECT_EQ(text,
            "[{\"path\":\"res\\\\app\\\\a b.png\",\"hash\":\"0123456789abcdef0123456789abcdef\",\"size\":\"1234567890123\"},"
            "{\"path\":\"r\\u00E9s\\\\\\u0416\\\"q\\t\x7F\",\"hash\":\"h\",\"size\":\"0\"}]");
  TFileItemList empty;
  EXPECT_EQ(WriteIndexJson(empty), "[]");

  // Read back: the same items; a non-ASCII name survives its escapes.
  TFileItemList safe;
  safe.Add(list[0]);
  safe.Add(TFileItem::Create(L"r\u00E9s/\u0416\U0001F600.txt", L"h", 7));
  const std::string safeText = WriteIndexJson(safe);
  EXPECT_NE(safeText.find("r\\u00E9s\\\\\\u0416\\uD83D\\uDE00.txt"), std::string::npos) << safeText;
  TFileItemList back;
  ReadIndexJson(safeText, back);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.Size(), safe.Size());
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(back[i].AsPath, safe[i].AsPath);
    EXPECT_EQ(back[i].Hash, safe[i].Hash);
    EXPECT_EQ(back[i].Size, safe[i].Size);
  }
  // A slash escaped the way other writers do reads the same.
  TFileItemList slash;
  ReadIndexJson("[{\"path\":\"x\\/y\",\"hash\":\"1\",\"size\":\"1\"}]", slash);
  EXPECT_EQ(slash[0].AsPath, L"x\\y");
}
