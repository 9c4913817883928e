// The engine's shared helpers: option texts, words, numbers, rectangles, paths, the
// published-property helpers on registered test classes, and the pacing waits.
#include "skin/graphics/acntUtils.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <filesystem>
#include <stdexcept>

#include "platform/runtime/Files.h"

// ---------------------------------------------------------------------------
// Option texts
// ---------------------------------------------------------------------------

TEST(acntUtils, ParseIniSectionsKeepsLinesAsWritten) {
  TIniSections sections{{L"stale", {L"x"}}};
  ParseIniSections({L";c", L"a=1", L"[S]", L"", L"k=v", L" [T]", L"#x", L"[S]", L"k=second"}, sections);
  ASSERT_EQ(sections.size(), 2u);  // a repeated name is a second, unreachable entry
  EXPECT_EQ(sections[0].Name, L"S");
  EXPECT_EQ(sections[0].Lines, (std::vector<std::wstring>{L"k=v", L" [T]", L"#x"}));
  EXPECT_EQ(ReadIniString(sections, L"S", L"k", L"d"), L"v");
}

TEST(acntUtils, ReadIniStringAndInteger) {
  TIniSections s;
  ParseIniSections({L"[Opts]", L"Name= padded ", L"empty=", L"k =blank", L"hex=0x1F", L"dollar=$ff",
                    L"neg=-12", L"bare=0x", L"junk=12ab", L"a=b=c"},
                   s);
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* expected;
  } strings[] = {
      {L"opts", L"NAME", L" padded "},  // sections and keys without regard to case, value untrimmed
      {L"Opts", L"empty", L""},         // "k=" is empty, not the default
      {L"Opts", L"k", L"def"},          // the blank belongs to the name
      {L"Opts", L"a", L"b=c"},
      {L"Other", L"Name", L"def"},
  };
  for (const auto& c : strings) EXPECT_EQ(ReadIniString(s, c.section, c.key, L"def"), c.expected) << c.key;

  struct IntCase {
    const wchar_t* key;
    int expected;
  } ints[] = {{L"hex", 31}, {L"dollar", 255}, {L"neg", -12}, {L"bare", 7}, {L"junk", 7}, {L"empty", 7}, {L"none", 7}};
  for (const auto& c : ints) EXPECT_EQ(ReadIniInteger(s, L"Opts", c.key, 7), c.expected) << c.key;
}

// ---------------------------------------------------------------------------
// Texts and words
// ---------------------------------------------------------------------------

TEST(acntUtils, HexToInt64) {
  struct Case {
    const char* text;
    std::int64_t expected;
  } cases[] = {{"ff", 255},         {"0FFH", 255}, {"1G", 0}, {"", 0}, {"7fffffffffffffff", INT64_MAX},
               {"10000000000000001", 1}};  // 17 digits: the low 64 bits
  for (const auto& c : cases) EXPECT_EQ(HexToInt64(c.text), c.expected) << c.text;
}

TEST(acntUtils, Words) {
  const TSysCharSet semi = MakeCharSet(";");
  EXPECT_EQ(WordCount(L";;a;;b;", semi), 2);
  EXPECT_EQ(ExtractWord(2, L";;a;;b;", semi), L"b");
  EXPECT_EQ(ExtractWord(3, L";;a;;b;", semi), L"");
  EXPECT_EQ(WordPosition(2, L";;a;;bc;", semi), 6);
  EXPECT_EQ(WordPosition(3, L";;a;;b;", semi), 0);
  EXPECT_EQ(WordPosition(0, L"a", semi), 0);
  EXPECT_EQ(WordCountA("x, y,,z", MakeCharSet(", ")), 3);
  EXPECT_EQ(ExtractWordA(3, "x, y,,z", MakeCharSet(", ")), "z");
  // Characters above 255 are never delimiters.
  EXPECT_EQ(WordCount(L"a\u013Bb", MakeCharSet("\x3B")), 1);
  EXPECT_FALSE(WideCharInSet(L'\u013B', MakeCharSet("\x3B")));
}

TEST(acntUtils, TextHelpers) {
  EXPECT_EQ(ReplaceAllText(L"aaa", L"aa", L"b"), L"ba");
  EXPECT_EQ(ReplaceAllText(L"xAx", L"a", L"y"), L"xAx");  // exact case
  EXPECT_EQ(ReplaceAllText(L"ab", L"", L"z"), L"ab");
  EXPECT_EQ(ReplaceAllText(L"ab", L"b", L"bb"), L"abb");  // inserted text is not searched again
  EXPECT_EQ(DeleteChars(L"a-b-c", L'-'), L"abc");
  EXPECT_EQ(StringOfCharA('x', 3), "xxx");
  EXPECT_EQ(StringOfCharA('x', -1), "");
  EXPECT_EQ(PadLeftA('0', "7", 3), "007");
  EXPECT_EQ(PadLeftA('0', "1234", 3), "1234");
}

// ---------------------------------------------------------------------------
// Numbers and rectangles
// ---------------------------------------------------------------------------

TEST(acntUtils, NumberRanges) {
  EXPECT_TRUE(IsBetween(5, 1, 5));
  EXPECT_FALSE(IsBetween(3, 5, 1));
  EXPECT_TRUE(IsBetween(3, 5, 1, true));
  EXPECT_FALSE(IsBetween(6, 5, 1, true));
  EXPECT_TRUE(IsInRange(1, 5, 1));
  EXPECT_FALSE(IsInRange(5, 5, 1));
  EXPECT_EQ(ClampValue(-3, 0, 10), 0);
  EXPECT_EQ(ClampValue(13, 0, 10), 10);
  int a = 1, b = 2;
  SwapInts(a, b);
  EXPECT_EQ(a * 10 + b, 21);
}

TEST(acntUtils, Rectangles) {
  const TRect back{10, 0, 5, 3};
  EXPECT_EQ(RectWidth(back), -5);
  EXPECT_EQ(RectWidth(back, true), 0);
  EXPECT_EQ(RectSize(back), (TSize{0, 3}));
  EXPECT_EQ(MakeRectWH(4, 3), (TRect{0, 0, 4, 3}));
  EXPECT_EQ(OffsetRectBy({1, 2, 3, 4}, {1, 1, -1, -1}), (TRect{2, 3, 2, 3}));
  EXPECT_EQ(IntersectRects({0, 0, 5, 5}, {7, 1, 9, 3}), (TRect{7, 1, 5, 3}));  // not normalised

  struct Overlap {
    TRect a, b;
    bool overlap, contain, touch;
  } cases[] = {
      {{0, 0, 10, 10}, {2, 2, 8, 8}, true, true, true},
      {{0, 0, 10, 10}, {10, 0, 12, 5}, false, false, true},  // RectInRect's widened edge
      {{0, 0, 10, 10}, {5, 5, 5, 9}, false, true, true},     // an empty B never overlaps
      {{0, 0, 10, 10}, {-5, 2, 3, 4}, true, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RectsOverlap(c.a, c.b), c.overlap) << c.b.Left;
    EXPECT_EQ(RectInRect(c.a, c.b, true), c.contain) << c.b.Left;
    EXPECT_EQ(RectInRect(c.a, c.b, false), c.touch) << c.b.Left;
  }

  TRect r{1, 2, 4, 6};
  MirrorRect(r, 10, 20, true);
  EXPECT_EQ(r, (TRect{6, 2, 9, 6}));
  MirrorRect(r, 10, 20, false);
  EXPECT_EQ(r, (TRect{6, 14, 9, 18}));
  TRect s{12, 3, 14, 5};
  MirrorRectIn(s, {10, 0, 20, 10}, true);
  EXPECT_EQ(s, (TRect{16, 3, 18, 5}));

  struct TBoxControl {
    int Left() const { return 5; }
    int Top() const { return 6; }
    int Width() const { return 30; }
    int Height() const { return 20; }
  } control;
  EXPECT_EQ(ControlBoundsRect(&control), (TRect{0, 0, 30, 20}));
  EXPECT_EQ(ControlPos(&control), (TPoint{5, 6}));
  EXPECT_EQ(ControlPos(static_cast<TBoxControl*>(nullptr)), (TPoint{0, 0}));

  struct TTestMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
  };
  auto m = MakeMessage<TTestMessage>(WM_SIZE, 1, 2);
  EXPECT_TRUE(m.Msg == WM_SIZE && m.WParam == 1 && m.LParam == 2 && m.Result == 0);

  TBitmap bmp;
  bmp.SetSize(7, 3);
  EXPECT_EQ(BitmapRect(&bmp), (TRect{0, 0, 7, 3}));
  TCacheInfo ci = MakeCacheInfo(&bmp, 2, 4);
  EXPECT_TRUE(ci.Bmp == &bmp && ci.X == 2 && ci.Y == 4 && ci.Ready);
  EXPECT_EQ(ci.FillColor, 0xFF00FF);
  EXPECT_EQ(ci.FillRect, TRect{});
}

// ---------------------------------------------------------------------------
// Published properties by name
// ---------------------------------------------------------------------------

namespace {

struct TTestFont {
  int Size = 8;
};
struct TTestBase {
  virtual ~TTestBase() = default;
  int Tag = 0;
};
struct TTestControl : TTestBase {
  int Align = 0;
  std::uint32_t Sides = 0;
  TTestFont Font;
};
struct TTestMixin {
  virtual ~TTestMixin() = default;
  int Extra = 0;
};
// A second base in front makes the upcast move the pointer.
struct TTestButton : TTestMixin, TTestControl {
  bool Flat = false;
};
struct TTestUnregistered : TTestControl {};

void RegisterTestClasses() {
  static bool done = [] {
    RegisterPublished<TTestBase>().Ordinal(
        L"Tag", [](TTestBase& o) { return o.Tag; }, [](TTestBase& o, int v) { o.Tag = v; });
    RegisterPublished<TTestControl, TTestBase>()
        .Ordinal(L"Align", [](TTestControl& o) { return o.Align; }, [](TTestControl& o, int v) { o.Align = v; })
        .Set(
            L"Sides", {L"seTop", L"seTopMost", L"seLeft"}, [](TTestControl& o) { return o.Sides; },
            [](TTestControl& o, std::uint32_t v) { o.Sides = v; })
        .Object<TTestFont>(L"Font", [](TTestControl& o) { return &o.Font; });
    RegisterPublished<TTestButton, TTestControl>().Ordinal(L"Flat", [](TTestButton& o) { return int(o.Flat); });
    return true;
  }();
  (void)done;
}

constexpr std::uint32_t kTop = 1, kTopMost = 2, kLeft = 4;

}  // namespace

TEST(acntUtils, PropertiesByNameWalkTheClassChain) {
  RegisterTestClasses();
  TTestButton button;
  TTestBase* asBase = &button;  // looked up by the dynamic class
  EXPECT_TRUE(HasProperty(asBase, L"flat"));
  EXPECT_TRUE(HasProperty(asBase, L"TAG"));
  EXPECT_FALSE(HasProperty(asBase, L"Missing"));
  EXPECT_FALSE(HasProperty(static_cast<TTestBase*>(nullptr), L"Tag"));

  SetOrdProperty(asBase, L"Align", 3);
  SetOrdProperty(asBase, L"Tag", 42);
  SetOrdProperty(asBase, L"Flat", 1);     // read-only: unchanged
  SetOrdProperty(asBase, L"Missing", 9);  // nothing
  EXPECT_EQ(button.Align, 3);
  EXPECT_EQ(button.Tag, 42);
  EXPECT_FALSE(button.Flat);
  EXPECT_EQ(GetOrdProperty(asBase, L"Align"), 3);
  EXPECT_EQ(GetOrdProperty(asBase, L"Missing"), -1);
  EXPECT_EQ(GetOrdProperty(asBase, L"Font"), -1);

  EXPECT_EQ(GetObjectProperty<TTestFont>(asBase, L"Font"), &button.Font);
  EXPECT_EQ(GetObjectProperty<TTestFont>(asBase, L"Align"), nullptr);
  EXPECT_EQ(GetObjectProperty<TTestBase>(asBase, L"Font"), nullptr);  // not a font's ancestor

  // A class of its own that was never registered answers by the type it is passed as.
  TTestUnregistered plain;
  TTestControl* asControl = &plain;
  EXPECT_TRUE(HasProperty(asControl, L"Align"));
  EXPECT_FALSE(HasProperty(asControl, L"Flat"));
}

TEST(acntUtils, SetPropertiesCompareWholeElementNames) {
  RegisterTestClasses();
  TTestControl c;
  TTestBase* o = &c;

  std::wstring text;
  c.Sides = kTopMost | kLeft;
  ASSERT_TRUE(TryGetSetPropText(o, L"Sides", text));
  EXPECT_EQ(text, L"seTopMost,seLeft");
  EXPECT_TRUE(SetPropertyHas(o, L"Sides", L"seTopMost"));
  EXPECT_FALSE(SetPropertyHas(o, L"Sides", L"seTop"));      // a prefix of a present name
  EXPECT_FALSE(SetPropertyHas(o, L"Sides", L"setopmost"));  // exact case
  EXPECT_FALSE(SetPropertyHas(o, L"Missing", L"seTop"));

  struct Case {
    std::uint32_t before;
    const wchar_t* element;
    bool add;
    std::uint32_t after;
  } cases[] = {
      {kTopMost, L"seTop", true, kTopMost | kTop},  // not "already there" because seTopMost contains it
      {kTopMost | kLeft, L"seTop", false, kTopMost | kLeft},
      {kTop | kTopMost, L"seTop", false, kTopMost},
      {0, L"seLeft", true, kLeft},  // added to an empty set: no leading ","
      {kLeft, L"seLeft", false, 0},
      {kLeft, L"seNone", true, kLeft},  // no such element: unchanged
  };
  for (const auto& k : cases) {
    c.Sides = k.before;
    ChangeSetProperty(o, L"Sides", k.element, k.add);
    EXPECT_EQ(c.Sides, k.after) << k.element << " " << k.add;
  }
  ChangeSetProperty(o, L"Missing", L"seTop", true);  // nothing happens

  bool changed = false;
  EXPECT_EQ(ChangeSetText(L"", L"seLeft", true, changed), L"seLeft");
  EXPECT_TRUE(changed);
  std::uint32_t value = 0;
  const TPropInfo* info = FindPropInfo(o, L"Sides");
  ASSERT_NE(info, nullptr);
  EXPECT_TRUE(StringToSet(*info, L"[seLeft, setop]", value));
  EXPECT_EQ(value, kLeft | kTop);
  EXPECT_FALSE(StringToSet(*info, L"seLeft,bogus", value));
}

// ---------------------------------------------------------------------------
// Paths and files
// ---------------------------------------------------------------------------

TEST(acntUtils, AddTrailingBackslash) {
  struct Case {
    const wchar_t* path;
    const wchar_t* expected;
  } cases[] = {{L"", L""}, {L"C", L"C:\\"}, {L"C:\\x\\", L"C:\\x\\"}, {L"C:\\x/", L"C:\\x\\"}, {L"C:\\x", L"C:\\x\\"}};
  for (const auto& c : cases) EXPECT_EQ(AddTrailingBackslash(c.path), c.expected) << c.path;
}

TEST(acntUtils, DirectoriesAndSearch) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / L"acntUtils-test";
  fs::remove_all(dir);
  fs::create_directories(dir / L"sub");
  WriteAllBytes((dir / L"a.txt").wstring(), "abc");

  EXPECT_TRUE(DirExists(dir.wstring()));
  EXPECT_FALSE(DirExists((dir / L"a.txt").wstring()));
  EXPECT_FALSE(DirExists((dir / L"none").wstring()));
  EXPECT_FALSE(DirectoryExistsEx((dir / L"none" / L"deeper").wstring(), false));

  // Files only, then directories too.
  std::vector<std::wstring> files, all;
  TSearchRec rec;
  for (int r = FindFirstEntry((dir / L"*").wstring(), 0, rec); r == 0; r = FindNextEntry(rec)) files.push_back(rec.Name);
  FindCloseSearch(rec);
  for (int r = FindFirstEntry((dir / L"*").wstring(), FILE_ATTRIBUTE_DIRECTORY, rec); r == 0; r = FindNextEntry(rec))
    all.push_back(rec.Name);
  FindCloseSearch(rec);
  EXPECT_EQ(files, std::vector<std::wstring>{L"a.txt"});
  EXPECT_NE(std::find(all.begin(), all.end(), L"sub"), all.end());
  EXPECT_NE(FindFirstEntry((dir / L"*.none").wstring(), 0, rec), 0);

  EXPECT_EQ(AppDirectory(), ExtractFilePath(ExeFileName()));
  EXPECT_EQ(AppDirectory().back(), L'\\');
  EXPECT_EQ(FileIcon((dir / L"none.txt").wstring(), SHGFI_SMALLICON), nullptr);
  HICON icon = FileIcon(ExeFileName(), SHGFI_SMALLICON);
  EXPECT_NE(icon, nullptr);
  if (icon) DestroyIcon(icon);
  fs::remove_all(dir);
}

// ---------------------------------------------------------------------------
// The operating system
// ---------------------------------------------------------------------------

TEST(acntUtils, SystemQueries) {
  EXPECT_TRUE(IsWinXPOrLater());
  EXPECT_EQ(DebuggerPresent(), IsDebuggerPresent() != FALSE);
#ifdef _WIN64
  EXPECT_FALSE(IsWow64());  // a 64-bit process is never a WOW64 one
  EXPECT_FALSE(Wow64WithoutDwm());
#endif
  BLENDFUNCTION bf{};
  InitBlendFunction(bf, 77);
  EXPECT_TRUE(bf.BlendOp == AC_SRC_OVER && bf.BlendFlags == 0 && bf.SourceConstantAlpha == 77 &&
              bf.AlphaFormat == AC_SRC_ALPHA);
}

namespace {
bool gAnimation = true;
std::vector<bool> gAnimationSets;
bool FakeAnimationQuery() { return gAnimation; }
void FakeAnimationSet(bool on) {
  gAnimation = on;
  gAnimationSets.push_back(on);
}
}  // namespace

TEST(acntUtils, SystemAnimationScopeGivesTheSettingBack) {
  gAnimation = true;
  gAnimationSets.clear();
  try {
    TSystemAnimationOff off(FakeAnimationQuery, FakeAnimationSet);
    EXPECT_FALSE(gAnimation);
    throw std::runtime_error("passes through");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(gAnimation);
  {
    gAnimation = false;
    TSystemAnimationOff off(FakeAnimationQuery, FakeAnimationSet);  // already off: left alone
  }
  EXPECT_FALSE(gAnimation);
  EXPECT_EQ(gAnimationSets, (std::vector<bool>{false, true}));

  // The real setting: whatever the system answers, a switch followed by the opposite one
  // leaves it as it was (some systems keep the animation fixed).
  const bool user = SystemAnimationEnabled();
  { TSystemAnimationOff off; }
  EXPECT_EQ(SystemAnimationEnabled(), user);
}

// ---------------------------------------------------------------------------
// Waits
// ---------------------------------------------------------------------------

namespace {

// A tick counter that moves by Step on every read and gives up after a bound, so a wait
// that would never end fails the test instead of hanging it.
struct TFakeTicks {
  DWORD Now;
  DWORD Step;
  int Reads = 0;
  DWORD operator()() {
    if (++Reads > 100000) throw std::runtime_error("wait does not end");
    DWORD t = Now;
    Now += Step;
    return t;
  }
};

struct TTickSourceScope {
  explicit TTickSourceScope(TFakeTicks& ticks) { SetTickCountSource([&ticks] { return ticks(); }); }
  ~TTickSourceScope() { SetTickCountSource(nullptr); }
};

int gPosted = 0;
LRESULT CALLBACK CountingProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP + 7) ++gPosted;
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

TEST(acntUtils, WaitsSurviveTheTickCounterWrap) {
  {
    TFakeTicks ticks{0xFFFFFFF0u, 1};
    TTickSourceScope scope(ticks);
    ASSERT_NO_THROW(WaitUntilTick(0xFFFFFFF0u, 40));  // the target lies past the wrap
    EXPECT_EQ(ticks.Now - 1, 0x18u);                   // returned on the first tick that reached it
  }
  {
    TFakeTicks ticks{500, 1};
    TTickSourceScope scope(ticks);
    WaitUntilTick(400, 12);  // already past: no spinning
    EXPECT_EQ(ticks.Reads, 1);
  }

  WNDCLASSW wc{};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"acntUtilsWaitTest";
  RegisterClassW(&wc);
  HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(wnd, nullptr);
  gPosted = 0;
  PostMessageW(wnd, WM_APP + 7, 0, 0);
  {
    TFakeTicks ticks{0xFFFFFFF8u, 3};
    TTickSourceScope scope(ticks);
    ASSERT_NO_THROW(WaitProcessingMessages(30));
    EXPECT_GE(static_cast<DWORD>(ticks.Now - 0xFFFFFFF8u), 30u);
  }
  EXPECT_EQ(gPosted, 1);

  int calls = 0;
  SetProcessMessagesProc([&calls] { ++calls; });
  WaitProcessingMessages(0);
  SetProcessMessagesProc(nullptr);
  EXPECT_EQ(calls, 1);  // messages are handled once even for no wait at all
  DestroyWindow(wnd);
}
