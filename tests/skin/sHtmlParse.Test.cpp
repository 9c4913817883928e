// The caption markup renderer: tags, fonts, links and entities through a fixed-width
// measurer (results do not depend on installed fonts), layout of rows, malformed markup, and
// one drawing into a real 32-bit bitmap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PixelFixtures.h"
#include "skin/controls/sHtmlParse.h"
#include "skin/graphics/sGraphUtils.h"
#include "ui/GdiCounter.h"

namespace {

// Every character is Size / 2 pixels wide (4 at the default size 8), every row Size + 4 high.
class TFixedCanvas final : public TacHtmlCanvas {
public:
  struct TOp {
    TacHtmlFont Font;
    std::wstring Text;
    TRect R;
    unsigned Flags;
  };
  std::vector<TOp> Ops;

  TacHtmlFont InitialFont() override { return TacHtmlFont{L"Fixed", 0, 8, 0x123456}; }
  TacTextSize TextSize(const TacHtmlFont& Font, std::wstring_view Text) override {
    return {static_cast<int>(Text.size()) * (Font.Size / 2), Font.Size + 4};
  }
  void DrawText(const TacHtmlFont& Font, std::wstring_view Text, const TRect& R, unsigned Flags, bool) override {
    Ops.push_back({Font, std::wstring(Text), R, Flags});
  }
  std::wstring Drawn() const {
    std::wstring all;
    for (const TOp& op : Ops) all += op.Text;
    return all;
  }
  // The op that drew Text (the first one), or nullptr.
  const TOp* Find(const std::wstring& text) const {
    for (const TOp& op : Ops)
      if (op.Text == text) return &op;
    return nullptr;
  }
};

constexpr int RowH = 12;  // row height at size 8
constexpr int CharW = 4;  // character width at size 8

struct TRun {
  TFixedCanvas Canvas;
  TsHtml Html;
  TacLinks Links;
  TRect Size;
  TRun(const std::wstring& text, TRect area = {}, int pressed = -1, int hot = -1,
       TAlignment alignment = taLeftJustify) {
    Html.Alignment = alignment;
    // An endless scan is a failure, not a hang.
    Html.StepLimit = 4 * (text.size() + 2) * (text.size() + 2) + 64;
    Html.OnStepLimit = [] { throw std::runtime_error("the scan does not end"); };
    Html.Init(&Canvas, text, pressed, hot, area);
    Size = Html.HTMLText(Links, false);
  }
};

TEST(sHtmlParse, TextEntitiesAndTagsShowAsTheMarkupSays) {
  struct TCase {
    const wchar_t* Markup;
    const wchar_t* Shown;
  } cases[] = {
      {L"a&amp;b", L"a&b"},
      {L"a&AMP;b", L"a&b"},
      {L"a&Amp;b", L"a&b"},
      {L"a&#38;b", L"a&b"},
      {L"a& amp;b", L"a& amp;b"},
      {L"a&ampb", L"a&ampb"},
      {L"a&&b", L"a&b"},
      {L"a<<b", L"a<b"},
      {L"x&copy;&trade;&#96;", L"x\u00A9\u2122`"},
      {L"&Aacute;&aacute;", L"\u00E1\u00E1"},  // the lower-case row comes first and takes both
      {L"a&bogus;b", L"a&bogus;b"},
      {L"<xyz>q", L"<xyz>q"},
      {L"a</FONT>b", L"ab"},
      {L"<b>x</b>y", L"xy"},
      {L"end&", L"end&"},
      {L"end<", L"end"},
  };
  for (const TCase& c : cases) {
    TRun run(c.Markup);
    EXPECT_EQ(run.Canvas.Drawn(), c.Shown) << testing::PrintToString(std::wstring(c.Markup));
  }
}

TEST(sHtmlParse, StyleTagsOpenAndCloseByNamePrefix) {
  TRun run(L"<b>b<i>i<u>u</body>n</i>o</u>p");
  EXPECT_TRUE(run.Canvas.Find(L"b")->Font.Bold);
  EXPECT_TRUE(run.Canvas.Find(L"u")->Font.Underline);
  EXPECT_TRUE(run.Canvas.Find(L"u")->Font.Italic);
  const auto* n = run.Canvas.Find(L"n");
  EXPECT_FALSE(n->Font.Bold);  // "</BODY>" closes bold
  EXPECT_TRUE(n->Font.Italic);
  EXPECT_FALSE(run.Canvas.Find(L"o")->Font.Italic);
  EXPECT_FALSE(run.Canvas.Find(L"p")->Font.Underline);
}

TEST(sHtmlParse, FontTagSetsSizeFaceAndColourAndClosingRestores) {
  struct TCase {
    const wchar_t* Tag;
    int Size;
    TColor Color;
    const wchar_t* Face;
  } cases[] = {
      {L"<font size=+2>", 10, 0x123456, L"Fixed"},
      {L"<font size=\"-2\">", 6, 0x123456, L"Fixed"},
      {L"<font size=14>", 14, 0x123456, L"Fixed"},
      {L"<font size=big>", 8, 0x123456, L"Fixed"},
      {L"<font size=->", 8, 0x123456, L"Fixed"},
      {L"<font size=+99999999999999>", 1638, 0x123456, L"Fixed"},
      {L"<font size=-99999999999999>", 1, 0x123456, L"Fixed"},
      {L"<font color=red>", 0x0000FF, 0x0000FF, nullptr},
      {L"<font color=Navy size=2>", 8, 0x800000, L"Fixed"},  // a name ends the tag's reading
      {L"<font color=#102030>", 8, 0x302010, L"Fixed"},
      {L"<font color=#12>", 8, 0x120000, L"Fixed"},
      {L"<font color=nonsense>", 8, 0, L"Fixed"},
      {L"<font face=\"Courier New\" size=10>", 10, 0x123456, L"COURIER NEW"},
      {L"<font face=\"Courier>", 8, 0x123456, L"Fixed"},
  };
  for (const TCase& c : cases) {
    const std::wstring markup = std::wstring(c.Tag) + L"x</font>y";
    TRun run(markup);
    const auto* x = run.Canvas.Find(L"x");
    if (!x) {  // the tag was shown as text
      EXPECT_NE(run.Canvas.Drawn().find(L"x"), std::wstring::npos) << testing::PrintToString(markup);
      continue;
    }
    if (c.Face) {
      EXPECT_EQ(x->Font.Size, c.Size) << testing::PrintToString(markup);
      EXPECT_EQ(x->Font.Name, c.Face) << testing::PrintToString(markup);
    }
    EXPECT_EQ(x->Font.Color, c.Color) << testing::PrintToString(markup);
    const auto* y = run.Canvas.Find(L"y");
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y->Font, (TacHtmlFont{L"Fixed", 0, 8, 0x123456})) << testing::PrintToString(markup);
  }
}

TEST(sHtmlParse, LinksAreFoundWithCleanTargetsStatesAndRectangles) {
  TRun run(L"ab<a href=\"http://x.invalid/p?q=1\">link</a> <A HREF='two'>t</a> <table>c</a>", {}, 1, 2);
  ASSERT_EQ(run.Links.size(), 3u);
  EXPECT_EQ(run.Links[0].Target, L"http://x.invalid/p?q=1");
  EXPECT_EQ(run.Links[1].Target, L"two");
  EXPECT_EQ(run.Links[2].Target, L"<table");  // any tag with an A is a link
  EXPECT_EQ(run.Links[0].R, Rect(2 * CharW, 0, 6 * CharW, RowH));
  const auto* link = run.Canvas.Find(L"link");
  EXPECT_EQ(link->Font.Color, 0xFF0000);  // blue without a skin
  EXPECT_FALSE(link->Font.Underline);
  EXPECT_EQ(run.Canvas.Find(L"t")->Font.Color, 0xFF0000);  // pressed only: state 1
  EXPECT_TRUE(run.Canvas.Find(L"t")->Font.Underline);
  EXPECT_EQ(run.Canvas.Find(L"c")->Font.Color, 0xFF0000);

  TRun both(L"<a href=x>l</a>", {}, 0, 0);
  EXPECT_EQ(both.Canvas.Find(L"l")->Font.Color, 0x0000FF);  // pressed and hot: red
  EXPECT_TRUE(both.Canvas.Find(L"l")->Font.Underline);
}

TEST(sHtmlParse, ClosingLinkWithoutAnOpenOneChangesNothing) {
  TRun run(L"<font color=red><a>x</a></a>y");
  ASSERT_EQ(run.Links.size(), 1u);
  EXPECT_EQ(run.Canvas.Find(L"y")->Font.Color, 0x0000FF);  // the second /A popped no font
  TRun bare(L"<a>x</a>");
  EXPECT_EQ(bare.Links[0].Target, L"<a");  // neither HREF nor "=": only quotes and ">" go
}

TEST(sHtmlParse, RowsWrapAlignAndBreakWithGapsOnlyAfterBreakTags) {
  // No wrapping with Area.Right 0.
  TRun flat(L"aaa bbb ccc ddd eee fff");
  EXPECT_EQ(flat.Size, Rect(0, 0, 23 * CharW, RowH));

  // Break tags: 2-pixel gaps.
  TRun br(L"a<br>b<p>c</p>d");
  EXPECT_EQ(br.Canvas.Find(L"b")->R.Top, RowH + 2);
  EXPECT_EQ(br.Canvas.Find(L"c")->R.Top, 2 * (RowH + 2));
  EXPECT_EQ(br.Canvas.Find(L"d")->R.Top, 3 * (RowH + 2));
  EXPECT_EQ(br.Size.Bottom, 3 * (RowH + 2) + RowH);

  // Wrapping by the break check: no gap, the word moves to the next row.
  TRun wrap(L"aaa bbb ccc", Rect(0, 0, 7 * CharW, 0));
  EXPECT_EQ(wrap.Canvas.Find(L"aaa")->R.Top, 0);
  const auto* ccc = wrap.Canvas.Find(L" ccc");
  ASSERT_NE(ccc, nullptr) << testing::PrintToString(wrap.Canvas.Drawn());
  EXPECT_EQ(ccc->R.Top, RowH);
  EXPECT_EQ(wrap.Html.aLineSizes.size(), 2u);

  // A word wider than the whole area gets a row of its own and overflows.
  TRun wide(L"ab cdefghijklmnop q", Rect(0, 0, 5 * CharW, 0));
  const auto* over = wide.Canvas.Find(L"cdefghijklmnop");
  ASSERT_NE(over, nullptr) << testing::PrintToString(wide.Canvas.Drawn());
  EXPECT_EQ(over->R.Top, RowH);
  EXPECT_EQ(over->R.Left, 0);
  EXPECT_EQ(wide.Size.Right, 14 * CharW);
  ASSERT_NE(wide.Canvas.Find(L" q"), nullptr);
  EXPECT_EQ(wide.Canvas.Find(L" q")->R.Top, 2 * RowH);

  // Right alignment by each row's measured width.
  TRun right(L"aa<br>aaaa", Rect(0, 0, 100, 0), -1, -1, taRightJustify);
  EXPECT_EQ(right.Canvas.Find(L"aa")->R.Left, 100 - 2 * CharW);
  EXPECT_EQ(right.Canvas.Find(L"aaaa")->R.Left, 100 - 4 * CharW);
  TRun centre(L"aa<br>aaaa", Rect(10, 0, 110, 0), -1, -1, taCenter);
  EXPECT_EQ(centre.Canvas.Find(L"aa")->R.Left, 10 + (100 - 2 * CharW) / 2);
}

TEST(sHtmlParse, ReturnToTheBreakPointTakesBackWhatFollowedIt) {
  // "ccccc" does not fit after "b": the scan returns to the blank after "aaa"; the bold "b"
  // and the link drawn after it are laid out once, on the second row.
  TRun run(L"aaa <b>b</b><a href=\"u\">ccccc</a> dd", Rect(0, 0, 9 * CharW, 0));
  int bs = 0;
  for (const auto& op : run.Canvas.Ops) bs += op.Text == L"b";
  EXPECT_EQ(bs, 1);
  EXPECT_EQ(run.Canvas.Find(L"b")->R.Top, RowH);
  ASSERT_EQ(run.Links.size(), 1u);
  EXPECT_EQ(run.Links[0].Target, L"u");
  EXPECT_EQ(run.Links[0].R.Top, RowH);
}

TEST(sHtmlParse, MalformedMarkupEndsAndStaysInBounds) {
  const wchar_t* cases[] = {
      L"a\r",        L"a<",           L"<font color=#12",  L"<font face=\"abc>x",  L"&am",
      L"&#",         L"</a>x",        L"<a>unclosed",      L"<font size=->x",      L"<<",
      L"<",          L"&",            L"\r",               L"<a href>x</a>",       L"<a href=>x</a>",
      L"x <b> </b> <font size=+900>wide words and more</font> &amp; <br> </p> <<< >>> &&&",
  };
  for (const wchar_t* c : cases)
    for (int width : {0, 1, 3 * CharW, 200}) {
      EXPECT_NO_THROW({ TRun run(c, Rect(0, 0, width, 0)); }) << testing::PrintToString(std::wstring(c));
    }
}

TEST(sHtmlParse, UnclosedFontTagsCostNoGdiObjects) {
  std::wstring markup;
  for (int i = 0; i < 10000; ++i) markup += i % 2 ? L"<font size=+1>x" : L"<a>y";
  auto bmp = NewBitmap32(200, 40);
  bmp->Canvas().Font.Height = -11;
  bmp->Canvas().Font.Color = 0;
  auto layOut = [&](const std::wstring& text) {
    TsHtml html;
    html.Init(bmp.get(), text, -1, -1, Rect(0, 0, 200, 0));
    TacLinks links;
    html.HTMLText(links, false);
  };
  layOut(L"<font size=+1>x");  // the bitmap's own font and DC are made once
  TGdiCounter gdi;
  const long before = gdi.Balance();
  {
    TsHtml html;
    html.Init(bmp.get(), markup, -1, -1, Rect(0, 0, 200, 0));
    TacLinks links;
    html.HTMLText(links, false);
    EXPECT_EQ(html.aFonts.size(), 10000u);
    EXPECT_EQ(links.size(), 5000u);
  }
  EXPECT_EQ(gdi.Balance(), before);
}

TEST(sHtmlParse, RealFontDrawsIntoABitmap) {
  for (bool alpha : {false, true}) {
    auto bmp = fixtures::Filled(160, 60, alpha ? 0x00000000 : 0xFFFFFFFF);
    bmp->Canvas().Font.Name = L"Tahoma";
    bmp->Canvas().Font.Height = -13;
    bmp->Canvas().Font.Color = 0;
    TsHtml html;
    html.AlphaChannel = alpha;
    html.Init(bmp.get(), L"<b>Hello</b> &amp;<br><font color=red>world</font>", -1, -1, Rect(0, 0, 160, 60));
    TacLinks links;
    const TRect size = html.HTMLText(links, false);
    EXPECT_GT(size.Right, 20);
    EXPECT_GT(size.Bottom, 20);
    GdiFlush();
    int ink = 0, red = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 160; ++x) {
        const std::uint32_t p = fixtures::Px(bmp.get(), x, y);
        if ((p & 0xFFFFFF) != (alpha ? 0u : 0xFFFFFFu)) ++ink;
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (y > size.Bottom / 2 && r > 100 && g < 60 && b < 60) ++red;
      }
    EXPECT_GT(ink, 30) << alpha;
    EXPECT_GT(red, 5) << alpha;
  }
}

}  // namespace

#include "skin/controls/sLabel.h"

namespace {

TEST(sHtmlParse, HtmlLabelTakesItsLinksFromTheRenderer) {
  TsHTMLLabel label(nullptr);
  label.SetBounds(0, 0, 200, 24);
  label.Font.Name = L"Tahoma";
  label.Font.Height = -13;
  label.SetCaption(L"go <a href=\"http://x.invalid/\">here</a> now");
  auto bmp = NewBitmap32(200, 24);
  label.Paint(bmp->Canvas().Handle());
  ASSERT_EQ(label.Links.size(), 1u);
  const TRect link = label.Links[0].R;
  EXPECT_EQ(label.Links[0].Target, L"http://x.invalid/");
  EXPECT_GT(link.Left, 0);
  EXPECT_GT(link.Width(), 0);
  EXPECT_GT(link.Height(), 0);

  std::vector<std::wstring> opened, clicked;
  label.OpenLink = [&](const std::wstring& target, int) { opened.push_back(target); };
  label.OnLinkClick = [&](TComponent*, std::wstring& target, bool& defaultAction) {
    clicked.push_back(target);
    defaultAction = false;
  };
  const LPARAM at = MAKELPARAM((link.Left + link.Right) / 2, (link.Top + link.Bottom) / 2);
  label.Perform(WM_MOUSEMOVE, 0, at);
  EXPECT_EQ(label.HotLink, 0);
  label.Perform(WM_LBUTTONDOWN, MK_LBUTTON, at);
  EXPECT_EQ(label.PressedLink, 0);
  label.Paint(bmp->Canvas().Handle());  // drawn pressed and hot: the link stays found
  ASSERT_EQ(label.Links.size(), 1u);
  label.Perform(WM_LBUTTONUP, 0, at);
  EXPECT_EQ(clicked, std::vector<std::wstring>{L"http://x.invalid/"});
  EXPECT_TRUE(opened.empty());  // the handler cleared the default action
}

}  // namespace
