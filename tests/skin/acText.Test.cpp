// Text painting: the capped draw call, measuring, dots, turned fonts, skin text with its
// contour colours, control captions, glow stencils and their blur, text into 32-bit bitmaps.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>

#include "PixelFixtures.h"
#include "SkinBuilder.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acPixelVec.h"
#include "skin/graphics/acText.h"
#include "ui/GdiCounter.h"

namespace {

using fixtures::Filled;
using fixtures::Make;
using fixtures::Px;

constexpr std::uint32_t White = 0x00FFFFFF;

// A white work bitmap whose canvas font draws plenty of ink.
std::unique_ptr<TBitmap> Page(int w, int h, std::uint32_t fill = White) {
  auto b = Filled(w, h, fill);
  b->Canvas().Font.Name = L"Tahoma";
  b->Canvas().Font.Height = -16;
  b->Canvas().Font.Style = fsBold;
  return b;
}

// Positions of the pixels for which Pick is true.
std::set<std::pair<int, int>> Where(TBitmap* b, const std::function<bool(std::uint32_t)>& pick) {
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x)
      if (pick(Px(b, x, y))) out.insert({x, y});
  return out;
}
std::uint32_t Rgb(std::uint32_t p) { return p & 0x00FFFFFFu; }
// A TColor as the colour bytes of a pixel.
std::uint32_t PixelOf(TColor c) { return SwapRedBlue(static_cast<std::uint32_t>(c)) & 0x00FFFFFFu; }

// A one-section skin whose state 0 has these font colours.
struct TTextSkin {
  TSkinBuilder Skin;
  int Section;
  explicit TTextSkin(const TsFontColor& font, TColor sectionColor = 0x808080) {
    Section = Skin.AddSection(1, {sectionColor});
    Skin.Section(Section).Props[0].FontColor = font;
  }
};

TEST(TextDrawing, LongTextsAreCutAtTheLimit) {
  auto page = Page(8, 8);
  HDC dc = page->Canvas().FontHandle();
  // One word per line: the laid-out height counts the characters drawn.
  auto height = [&](std::size_t chars, bool limited) {
    std::wstring text;
    while (text.size() < chars) text += L"a ";
    text.resize(chars);
    TRect r = Rect(0, 0, 1, 0);
    const UINT format = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX;
    if (limited)
      DrawTextLimited(dc, text, r, format);
    else
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), r.AsRECT(), format);
    return r.Height();
  };
  EXPECT_EQ(height(MaxDrawTextLength, false), height(6000, true));
  EXPECT_LT(height(MaxDrawTextLength, false), height(6000, false));
  EXPECT_EQ(height(40, false), height(40, true));
}

TEST(TextDrawing, EllipsizeKeepsWhatFitsWithTheDots) {
  auto page = Page(8, 8);
  TCanvas* c = &page->Canvas();
  const int oneWithDots = c->TextWidth(L"A...");
  ASSERT_GT(c->TextWidth(L"AB..."), oneWithDots);
  struct Case {
    std::wstring Text;
    int Width;
    std::wstring Want;
  } cases[] = {
      {L"ABCDEF", 0, L""},
      {L"ABCDEF", oneWithDots, L"A..."},
      {L"ABCDEF", c->TextWidth(L"ABCDEF"), L"ABCDEF"},
      {L"ABCDEF", c->TextWidth(L"...") - 1, L""},  // not one letter fits with the dots
  };
  for (const Case& k : cases) {
    std::wstring got = L"x";
    EllipsizeText(c, k.Text, k.Width, got);
    EXPECT_EQ(k.Want, got) << k.Width;
  }
}

TEST(TextDrawing, RotatedFontFaceAndObjectCount) {
  TGdiCounter gdi;
  for (auto [name, want] : {std::pair{L"MS Sans Serif", L"Arial"}, std::pair{L"Tahoma", L"Tahoma"}}) {
    auto page = Page(4, 4);
    HDC dc = page->Canvas().Handle();
    TFont font;
    font.Name = name;
    font.Color = 0x123456;
    const long before = gdi.Balance();
    HGDIOBJ old = SelectRotatedFont(dc, font, 900);
    LOGFONTW lf = {};
    GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
    EXPECT_STREQ(want, lf.lfFaceName);
    EXPECT_EQ(900, lf.lfEscapement);
    EXPECT_EQ(0x123456u, GetTextColor(dc));
    SelectObject(dc, old);
    EXPECT_EQ(before, gdi.Balance()) << "the turned font is gone once deselected";
  }
}

TEST(TextDrawing, LineHeightWithAndWithoutLeadings) {
  TFont font;
  font.Height = -20;
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, font.Handle());
  TEXTMETRICW tm = {};
  ASSERT_TRUE(GetTextMetricsW(screen, &tm));
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(tm.tmHeight + 6, FontLineHeight(font.Handle(), false));
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading - tm.tmExternalLeading, FontLineHeight(font.Handle(), true));
  TSize wrapped, line;
  MeasureTextSize(font.Handle(), L"one two three four", DT_WORDBREAK, true, 10, wrapped);
  MeasureTextSize(font.Handle(), L"one two three four", 0, false, 0, line);
  EXPECT_GT(wrapped.cy, line.cy);
  EXPECT_GT(line.cx, wrapped.cx);
}

TEST(SkinText, DisabledTextFadesTowardsTheSectionColour) {
  TTextSkin skin(TsFontColor{0xFFFFFF, -1, -1, -1, -1}, 0x000000);
  auto page = Page(60, 24, 0x00000000);
  TRect r = Rect(0, 0, 60, 24);
  DrawSkinTextOnCanvas(&page->Canvas(), L"Hx", false, r, DT_SINGLELINE, skin.Section, 0, skin.Skin.Manager);
  EXPECT_EQ(0x636363, page->Canvas().Font.Color);
  EXPECT_FALSE(Where(page.get(), [](std::uint32_t p) { return Rgb(p) == 0x636363; }).empty());
}

TEST(SkinText, EachContourLiesJustOutsideTheInkOnItsSide) {
  constexpr TColor L = 0x0000FF, T = 0x00FF00, R = 0xFF0000, B = 0x00FFFF;
  TTextSkin skin(TsFontColor{0x000000, L, T, R, B});
  auto draw = [&](int state, bool contours) {
    if (!contours) skin.Skin.Section(skin.Section).Props[0].FontColor = TsFontColor{0x000000, -1, -1, -1, -1};
    auto page = Page(70, 30);
    TRect r = Rect(5, 5, 65, 25);
    DrawSkinTextOnCanvas(&page->Canvas(), L"HIT", true, r, DT_SINGLELINE, skin.Section, state, skin.Skin.Manager);
    return page;
  };
  // State 7 of a one-state section reads the section's only state.
  auto outlined = draw(7, true);
  auto plain = draw(0, false);
  const auto ink = Where(plain.get(), [](std::uint32_t p) { return Rgb(p) != White; });
  ASSERT_FALSE(ink.empty());
  const struct {
    TColor Color;
    int DX, DY;
  } sides[] = {{L, -1, 0}, {T, 0, -1}, {R, 1, 0}, {B, 0, 1}};
  for (const auto& side : sides) {
    const auto at = Where(outlined.get(), [&](std::uint32_t p) { return Rgb(p) == PixelOf(side.Color); });
    ASSERT_FALSE(at.empty()) << std::hex << side.Color;
    for (auto [x, y] : at) {
      EXPECT_TRUE(ink.count({x - side.DX, y - side.DY})) << "shifted ink at " << x << "," << y;
      EXPECT_FALSE(ink.count({x, y})) << "outside the ink at " << x << "," << y;
    }
  }
}

TEST(SkinText, ControlTextWithoutSkinIsEmbossedWhenDisabled) {
  auto page = Page(60, 24);
  TRect r = Rect(2, 2, 58, 22);
  WriteControlText(&page->Canvas(), L"Hx", false, r, DT_SINGLELINE, nullptr, 0, true);
  const std::uint32_t shadow = PixelOf(ColorToRGB(TColor(0xFF000010)));
  const std::uint32_t light = PixelOf(ColorToRGB(TColor(0xFF000014)));
  EXPECT_EQ(ColorToRGB(TColor(0xFF000010)), ColorToRGB(page->Canvas().Font.Color));
  const auto dark = Where(page.get(), [&](std::uint32_t p) { return Rgb(p) == shadow; });
  ASSERT_FALSE(dark.empty());
  if (light != White) {
    EXPECT_FALSE(Where(page.get(), [&](std::uint32_t p) { return Rgb(p) == light; }).empty());
  }
  // The enabled caption is drawn once, in the canvas's colour.
  auto enabled = Page(60, 24);
  enabled->Canvas().Font.Color = 0x0000FF;
  WriteControlText(&enabled->Canvas(), L"Hx", true, r, DT_SINGLELINE, nullptr, 0, true);
  EXPECT_FALSE(Where(enabled.get(), [](std::uint32_t p) { return Rgb(p) == 0xFF0000; }).empty());
  EXPECT_TRUE(Where(enabled.get(), [&](std::uint32_t p) { return Rgb(p) == shadow; }).empty());
}

TEST(Glow, BlurBoxWidthsByRadius) {
  const std::pair<int, int> widths[] = {{-2, 0}, {0, 0}, {1, 1}, {2, 1}, {3, 2}, {10, 10}, {16, 15}, {100, 15}};
  for (auto [radius, h] : widths) EXPECT_EQ(h, BlurKernelHalfWidth(radius)) << radius;
}

// An 8-bit plane with its values from Fn(x, y).
std::unique_ptr<TBitmap> Plane(int w, int h, const std::function<int(int, int)>& fn) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf8bit);
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) static_cast<std::uint8_t*>(b->ScanLine(y))[x] = static_cast<std::uint8_t>(fn(x, y));
  return b;
}
int At8(TBitmap* b, int x, int y) { return static_cast<std::uint8_t*>(b->ScanLine(y))[x]; }

TEST(Glow, BlurIsExactOnAnImpulseAndAStep) {
  // Radius 3 is a 5-wide box: 255 spreads to 51 per column, then 10 per pixel of a 5 x 5 block.
  auto impulse = Plane(15, 15, [](int x, int y) { return x == 7 && y == 7 ? 255 : 0; });
  BlurBitmap8(impulse.get(), 3);
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 15; ++x)
      ASSERT_EQ(std::abs(x - 7) <= 2 && std::abs(y - 7) <= 2 ? 10 : 0, At8(impulse.get(), x, y)) << x << "," << y;
  // A step keeps its rows alike; the edge is repeated beyond the border.
  auto step = Plane(12, 3, [](int x, int) { return x >= 6 ? 255 : 0; });
  BlurBitmap8(step.get(), 3);
  const int want[12] = {0, 0, 0, 0, 51, 102, 153, 204, 255, 255, 255, 255};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(want[x], At8(step.get(), x, y)) << x << "," << y;
  // Radius 0 and a 32-bit bitmap are left alone.
  auto same = Plane(4, 4, [](int x, int) { return x * 60; });
  BlurBitmap8(same.get(), 0);
  EXPECT_EQ(180, At8(same.get(), 3, 0));
}

TEST(Glow, StencilMixingIsExact) {
  // Stencil values 255 (none), 0 (full) and 128 over a clear and an opaque blue pixel, in red.
  auto stencil = Plane(3, 2, [](int x, int) { return x == 0 ? 255 : x == 1 ? 0 : 128; });
  auto bmp = Make(3, 2, {0x00000000, 0x00000000, 0x00000000, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF});
  MixGlowStencil(bmp.get(), stencil.get(), 0, 0, 0x0000FF);
  const std::uint32_t want[] = {0x00000000, 0xFEFE0000, 0x7E7E0000, 0xFF0000FF, 0xFFFE0000, 0xFF7E007F};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(want[i], Px(bmp.get(), i % 3, i / 3)) << i;
  // A stencil partly outside the bitmap mixes only the part inside.
  auto small = Filled(2, 2, 0);
  auto full = Plane(3, 3, [](int, int) { return 0; });
  MixGlowStencil(small.get(), full.get(), -2, -2, 0xFFFFFF);
  EXPECT_EQ(0xFEFEFEFEu, Px(small.get(), 0, 0));
  EXPECT_EQ(0u, Px(small.get(), 1, 1));
}

TEST(Glow, AStencilOfTheRightSizeIsReusedAndNoGlowWithoutSize) {
  auto bmp = Filled(40, 30, 0);
  std::unique_ptr<TBitmap> stencil;
  DrawTextGlow(bmp.get(), L"Hi", Rect(5, 5, 25, 20), DT_SINGLELINE, 15, 0, 0xFFFFFF, stencil);
  EXPECT_EQ(nullptr, stencil);
  EXPECT_EQ(0, fixtures::CountNot(bmp.get(), 0));
  DrawTextGlow(bmp.get(), L"Hi", Rect(5, 5, 25, 20), DT_SINGLELINE, 15, 3, 0xFFFFFF, stencil);
  ASSERT_NE(nullptr, stencil);
  // G = R moved by (1, 1) and grown by 3 + 4 on every side.
  EXPECT_EQ(20 + 14, stencil->Width());
  EXPECT_EQ(15 + 14, stencil->Height());
  EXPECT_GT(fixtures::CountNot(bmp.get(), 0), 0);
  // A stencil of that size is taken as it is: one full-ink pixel glows at its place only.
  // G's top-left lies at (5 + 1 - 7, 5 + 1 - 7) = (-1, -1), so stencil pixel (2, 3) is (1, 2).
  stencil = Plane(34, 29, [](int x, int y) { return x == 2 && y == 3 ? 0 : 255; });
  auto fresh = Filled(40, 30, 0);
  DrawTextGlow(fresh.get(), L"Hi", Rect(5, 5, 25, 20), DT_SINGLELINE, 15, 3, 0xFFFFFF, stencil);
  EXPECT_EQ(1, fixtures::CountNot(fresh.get(), 0));
  EXPECT_EQ(0xFEFEFEFEu, Px(fresh.get(), 1, 2));
}

TEST(TextIntoBitmaps, StencilMixingIsExact) {
  struct Case {
    const char* Name;
    std::uint32_t Stencil, Dst;
    bool AlphaMode;
    TColor Color;
    std::uint32_t Want;
  } cases[] = {
      {"full ink over nothing", 0x00000000, 0x00000000, true, 0xFFFFFF, 0xFEFCFCFC},
      {"full ink over opaque black", 0x00000000, 0xFF000000, true, 0xFF0000, 0xFF0000FD},
      {"grey 128 over nothing", 0x00808080, 0x00000000, true, 0xFFFFFF, 0x7F3F3F3F},
      {"white without alpha", 0x00FFFFFF, 0x12345678, true, 0x000000, 0x12345678},
      {"white with alpha", 0xFFFFFFFF, 0x12345678, false, 0x000000, 0x12345678},
      {"sub-pixel ink keeps its channels", 0x00FF8000, 0x00FFFFFF, false, 0x0000FF, 0xFFFF7F00},
      {"full ink without alpha mode", 0x00000000, 0x00000000, false, 0x00FF00, 0xFF00FF00},
  };
  for (const Case& k : cases) {
    auto dst = Filled(1, 1, k.Dst);
    auto stencil = Filled(1, 1, k.Stencil);
    MixTextStencil(dst.get(), stencil.get(), 0, 0, k.AlphaMode, k.Color);
    EXPECT_EQ(k.Want, Px(dst.get(), 0, 0)) << k.Name;
  }
}

TEST(TextIntoBitmaps, ARectangleOverTheEdgeDrawsTheInsideOnly) {
  auto small = Page(16, 16, 0);
  DrawTextToBitmap32(small.get(), L"Hi", false, Rect(-6, -4, 26, 20), DT_SINGLELINE | DT_CENTER | DT_VCENTER,
                     0xFFFFFF);
  auto big = Page(40, 40, 0);
  DrawTextToBitmap32(big.get(), L"Hi", false, Rect(4, 6, 36, 30), DT_SINGLELINE | DT_CENTER | DT_VCENTER, 0xFFFFFF);
  int inked = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      ASSERT_EQ(Px(big.get(), x + 10, y + 10), Px(small.get(), x, y)) << x << "," << y;
      inked += Px(small.get(), x, y) != 0;
    }
  EXPECT_GT(inked, 0);
  // Without alpha mode every inked pixel is opaque; the rest stays as it was.
  for (std::uint32_t p : fixtures::All(big.get())) ASSERT_TRUE(p == 0 || (p >> 24) == 0xFF) << std::hex << p;
}

TEST(TextIntoBitmaps, BottomContourOneRowLowerInAlphaModeOnly) {
  TTextSkin skin(TsFontColor{0x000000, -1, -1, -1, 0x0000FF});
  const TRect r = Rect(2, 2, 58, 26);
  auto lowest = [](TBitmap* b) {
    int y = -1;
    for (auto [px, py] : Where(b, [](std::uint32_t p) { return p != 0; })) y = std::max(y, py);
    return y;
  };
  auto plain = Page(60, 30, 0);
  DrawTextToBitmap32(plain.get(), L"Hx", true, r, DT_SINGLELINE, 0x000000);
  auto outlined = Page(60, 30, 0);
  DrawSkinTextToBitmap32(outlined.get(), L"Hx", true, r, DT_SINGLELINE, skin.Section, 0, skin.Skin.Manager);
  ASSERT_GE(lowest(plain.get()), 0);
  const int bottom = lowest(outlined.get());
  EXPECT_EQ(lowest(plain.get()) + 1, bottom);
  for (int x = 0; x < 60; ++x) {
    const std::uint32_t p = Px(outlined.get(), x, bottom);
    if (p) EXPECT_EQ(0u, p & 0x0000FFFFu) << "only red below the ink, at " << x;
  }
  // Without alpha mode the contour is left out: the text in its font colour alone.
  auto opaque = Page(60, 30, 0), opaquePlain = Page(60, 30, 0);
  DrawSkinTextToBitmap32(opaque.get(), L"Hx", false, r, DT_SINGLELINE, skin.Section, 0, skin.Skin.Manager);
  DrawTextToBitmap32(opaquePlain.get(), L"Hx", false, r, DT_SINGLELINE, 0x000000);
  EXPECT_EQ(fixtures::All(opaquePlain.get()), fixtures::All(opaque.get()));
}

TEST(TextIntoBitmaps, NothingToDrawMakesNoObject) {
  TTextSkin skin(TsFontColor{0x000000, 0xFF, 0xFF, 0xFF, 0xFF});
  auto page = Page(20, 20, 0);
  page->Canvas().Handle();
  TGdiCounter gdi;
  const long before = gdi.Created();
  DrawSkinTextToBitmap32(page.get(), L"", true, Rect(0, 0, 20, 20), 0, skin.Section, 0, skin.Skin.Manager);
  DrawSkinTextToBitmap32(page.get(), nullptr, true, Rect(0, 0, 20, 20), 0, skin.Section, 0, skin.Skin.Manager);
  DrawSkinTextToBitmap32(page.get(), L"A", true, Rect(5, 5, 5, 20), 0, skin.Section, 0, skin.Skin.Manager);
  EXPECT_EQ(before, gdi.Created());
  EXPECT_EQ(0, fixtures::CountNot(page.get(), 0));
}

TEST(TextIntoBitmaps, RowsMixAsSinglePixelsDo) {
  // Rows run several pixels a step; every pixel must come out as it does alone.
  auto stencil = fixtures::Noise(11, 6, 3), dst = fixtures::Noise(11, 6, 4);
  for (int y = 0; y < 6; y += 2)
    for (int x = 0; x < 11; ++x) static_cast<std::uint32_t*>(stencil->ScanLine(y))[x] = x % 3 ? 0 : 0xFFFFFF;
  // Lumas of exactly a half, which go to the even neighbour (28, 6, 30).
  for (int x : {0, 4, 9}) static_cast<std::uint32_t*>(stencil->ScanLine(1))[x] = x == 0 ? 0xFA : x == 4 ? 0x2002B : 0x101FB;
  for (auto path : {acvec::TPixelPath::AVX2, acvec::TPixelPath::Base})
  for (bool alphaMode : {true, false}) {
    if (!acvec::ForcePixelPath(path)) continue;
    auto rows = Filled(11, 6, 0);
    CopyBitmapPixels(rows.get(), dst.get());
    MixTextStencil(rows.get(), stencil.get(), 0, 0, alphaMode, 0x3080F0);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 11; ++x) {
        auto one = Filled(1, 1, Px(dst.get(), x, y));
        auto ink = Filled(1, 1, Px(stencil.get(), x, y));
        MixTextStencil(one.get(), ink.get(), 0, 0, alphaMode, 0x3080F0);
        ASSERT_EQ(Px(one.get(), 0, 0), Px(rows.get(), x, y))
            << x << "," << y << (alphaMode ? " alpha " : " ") << acvec::PixelPathName(path);
      }
    acvec::ClearPixelPathOverride();
  }
}

}  // namespace
