// One routine draws every glyph: from alpha and icon-font lists, plain framework lists and
// glyph bitmaps, in every state, into work bitmaps and onto canvases.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/runtime/Files.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/Menus.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/handlers/acDials.h"
#include "skin/controls/acStdGlyphs.h"
#include "skin/handlers/acDials.h"

namespace {

std::uint32_t PixelAt(TBitmap& bmp, int x, int y) {
  return *reinterpret_cast<std::uint32_t*>(bmp.Bits() + static_cast<std::ptrdiff_t>(y) * bmp.Stride() + 4 * x);
}

// A 32-bit bitmap of one pixel value (0xAARRGGBB).
std::unique_ptr<TBitmap> Filled(int w, int h, std::uint32_t argb) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      *reinterpret_cast<std::uint32_t*>(bmp->Bits() + static_cast<std::ptrdiff_t>(y) * bmp->Stride() + 4 * x) = argb;
  return bmp;
}

int Green(std::uint32_t px) { return static_cast<int>(px >> 8 & 0xFF); }

TEST(ListGlyph, StandardOrderRemapsStatesToCells) {
  const struct {
    int State, NumGlyphs;
    bool Enabled, Std;
    int Cell;
  } cases[] = {
      {1, 3, true, true, 0},  {0, 3, false, true, 1}, {2, 2, true, true, 0}, {2, 3, true, true, 2},
      {1, 3, true, false, 1}, {0, 3, false, false, 0}, {-4, 3, true, false, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ListGlyphCell(c.State, c.NumGlyphs, c.Enabled, c.Std), c.Cell)
        << c.State << " " << c.NumGlyphs << " " << c.Enabled << " " << c.Std;
}

TEST(ListGlyph, ADisabledBlendedAlphaListGlyphIsHalfTransparent) {
  TsAlphaImageList list(nullptr);
  auto red = Filled(16, 16, 0xFFFF0000);
  ASSERT_EQ(list.Add(red.get(), nullptr), 0);
  for (const bool enabled : {true, false}) {
    auto dst = Filled(16, 16, 0xFFFFFFFF);
    TacGlyphDrawInfo info;
    info.Images = &list;
    info.ImageIndex = 0;
    info.Enabled = enabled;
    info.DisabledKind = dkBlended;
    info.DstBmp = dst.get();
    info.DstRect = TRect{0, 0, 16, 16};
    DrawListGlyph(info);
    EXPECT_NEAR(Green(PixelAt(*dst, 8, 8)), enabled ? 0 : 128, 4) << enabled;
  }
}

TEST(ListGlyph, BlendOfA32BitGlyphKeepsThatShareOnACanvasAndDropsItInABitmap) {
  auto glyph = Filled(8, 8, 0xFFFF0000);
  for (const int blend : {0, 30}) {
    auto dst = Filled(8, 8, 0xFFFFFFFF);
    TacGlyphDrawInfo info;
    info.Glyph = glyph.get();
    info.Blend = blend;
    info.DstBmp = dst.get();
    info.DstRect = TRect{0, 0, 8, 8};
    DrawListGlyph(info);
    // 30 % transparent: 70 % red over white leaves 30 % of white's green.
    EXPECT_NEAR(Green(PixelAt(*dst, 4, 4)), blend ? 77 : 0, 4) << blend;

    auto canvasBmp = Filled(8, 8, 0xFFFFFFFF);
    info.DstBmp = nullptr;
    info.DstCanvas = &canvasBmp->Canvas();
    DrawListGlyph(info);
    // On a canvas the glyph keeps 30 % of its alpha: 30 % red over white.
    EXPECT_NEAR(Green(PixelAt(*canvasBmp, 4, 4)), blend ? 178 : 0, 4) << blend;
  }
}

TEST(ListGlyph, CellsOutsideTheGlyphDrawNothingHarmful) {
  auto glyph = Filled(6, 8, 0xFF00FF00);  // narrower than its cells
  const struct {
    int NumGlyphs, State;
  } cases[] = {{0, 0}, {-3, -7}, {4, 3}, {2, 99}};
  for (const auto& c : cases) {
    auto dst = Filled(40, 8, 0xFFFFFFFF);
    TacGlyphDrawInfo info;
    info.Glyph = glyph.get();
    info.NumGlyphs = c.NumGlyphs;
    info.CurrentState = c.State;
    info.DstBmp = dst.get();
    info.DstRect = TRect{10, 0, 20, 8};
    DrawListGlyph(info);
    EXPECT_EQ(PixelAt(*dst, 5, 4), 0xFFFFFFFFu);  // nothing left of the rectangle
    EXPECT_EQ(PixelAt(*dst, 30, 4), 0xFFFFFFFFu);  // nor right of it
    info.DstBmp = nullptr;
    info.DstCanvas = &dst->Canvas();
    DrawListGlyph(info);
  }
  TacGlyphDrawInfo none;
  auto dst = Filled(4, 4, 0xFFFFFFFF);
  none.DstBmp = dst.get();
  none.DstRect = TRect{0, 0, 4, 4};
  DrawListGlyph(none);  // no list, no glyph
  TsAlphaImageList list(nullptr);
  none.Images = &list;
  none.ImageIndex = 3;  // beyond the list
  DrawListGlyph(none);
  EXPECT_EQ(PixelAt(*dst, 2, 2), 0xFFFFFFFFu);
}

TEST(ListGlyph, IconFontGlyphsTakeTheTintOrTheirColour) {
  TsCharImageList* glyphs = StdGlyphList();
  ASSERT_NE(glyphs, nullptr);
  auto dst = Filled(24, 24, 0xFFFFFFFF);
  dst->Canvas().Font.Color = 0x0000FF;  // red ink
  TacGlyphDrawInfo info;
  info.Images = glyphs;
  info.ImageIndex = sgTick;
  info.DstBmp = dst.get();
  info.DstRect = TRect{0, 0, 24, 24};
  info.PPI = 144;
  DrawListGlyph(info);
  int red = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) red += (PixelAt(*dst, x, y) & 0xFFFFFF) == 0xFF0000;
  EXPECT_GT(red, 10);
  EXPECT_EQ(glyphs->PixelsPerInch, 100);
}

TEST(PopupClasses, AreSortedAndMatchExactly) {
  const auto& v = PopupClassesToSkip();
  EXPECT_EQ(v.size(), 7u);
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  EXPECT_TRUE(IsPopupClassToSkip(L"TcxGridFilterPopup"));
  EXPECT_FALSE(IsPopupClassToSkip(L"tcxgridfilterpopup"));
  EXPECT_FALSE(IsPopupClassToSkip(L"TForm"));
}

}  // namespace

namespace {

// Not a check: shows the standard glyphs and an alpha image list in a window for a while, so
// that a picture of the screen can be taken (run with --gtest_also_run_disabled_tests).
TEST(ListGlyph, DISABLED_ShowsTheStandardGlyphsAndAnAlphaList) {
  TsCharImageList* glyphs = StdGlyphList();
  TsAlphaImageList alpha(nullptr, 32, 32);
  for (const wchar_t* f : {L"quad32.png", L"quad32.ico", L"alpha32.bmp", L"keyed.bmp", L"cells.png"})
    alpha.TryLoadFromFile(ExeDir() + L"skin_fixtures\\imagelist\\" + f);
  auto picture = Filled(560, 170, 0xFFF0F0F0);
  for (int i = 0; i < StdGlyphCount; ++i) {
    TacGlyphDrawInfo info;
    info.Images = glyphs;
    info.ImageIndex = i;
    info.DstBmp = picture.get();
    picture->Canvas().Font.Color = i % 2 ? 0x804000 : 0x202020;
    info.DstRect = TRect{10 + (i % 13) * 42, 10 + (i / 13) * 40, 0, 0};
    info.PPI = 192;
    DrawListGlyph(info);
  }
  for (int i = 0; i < alpha.Count(); ++i) {
    TSize cell{};
    DrawImageListItem(&alpha, picture.get(), 10 + i * 60, 100, i, 0, clNone, 0, 1, false, 144, cell);
  }
  HWND wnd = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 560, 170, nullptr, nullptr,
                             nullptr, nullptr);
  const DWORD until = GetTickCount() + 20000;
  while (GetTickCount() < until) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    HDC dc = GetDC(wnd);
    BitBlt(dc, 0, 0, 560, 170, picture->Canvas().Handle(), 0, 0, SRCCOPY);
    ReleaseDC(wnd, dc);
    Sleep(50);
  }
  DestroyWindow(wnd);
}

}  // namespace

// ---- tool-bar glyphs ----

namespace {

// The first pixel that is not white, row by row; (-1, -1) when none.
TPoint FirstInk(TBitmap& bmp) {
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x)
      if ((PixelAt(bmp, x, y) & 0xFFFFFF) != 0xFFFFFF) return TPoint{x, y};
  return TPoint{-1, -1};
}

}  // namespace

TEST(ToolButtonGlyph, PlacesTheGlyphAsTheToolBarLaysItOutFromTheStatesList) {
  TsAlphaImageList normal(nullptr), hot(nullptr), disabled(nullptr);
  const std::pair<TsAlphaImageList*, std::uint32_t> lists[] = {
      {&normal, 0xFFFF0000}, {&hot, 0xFF00FF00}, {&disabled, 0xFF0000FF}};
  for (auto [list, colour] : lists) {
    auto image = Filled(16, 16, colour);
    ASSERT_EQ(list->Add(image.get(), nullptr), 0);
  }
  TToolBar bar(nullptr);
  bar.Images = &normal;
  bar.HotImages = &hot;
  bar.DisabledImages = &disabled;
  TToolButton button(nullptr);
  button.SetBounds(0, 0, 40, 36);
  button.ImageIndex = 0;
  auto probe = Filled(1, 1, 0xFFFFFFFF);
  const int text = probe->Canvas().TextHeight(L"A") + 3;
  const struct {
    TToolButtonStyle Style;
    bool List, Captions;
    unsigned State;
    TPoint At;
    std::uint32_t Colour;
  } cases[] = {
      {tbsButton, false, false, 0, {13, 10}, 0xFF0000},
      {tbsDropDown, false, false, 0, {5, 10}, 0xFF0000},  // 8 pixels further left
      {tbsButton, true, false, 0, {5, 10}, 0xFF0000},
      {tbsDropDown, true, false, 0, {5, 10}, 0xFF0000},
      {tbsButton, false, true, 0, {13, (36 - 16 - text) / 2}, 0xFF0000},
      {tbsButton, false, false, odHotLight, {13, 10}, 0x00FF00},
      {tbsButton, false, false, odDisabled, {13, 10}, 0x0000FF},
      {tbsButton, false, false, odSelected, {14, 11}, 0xFF0000},  // pressed: shifted by one
      {tbsCheck, false, false, odChecked, {14, 11}, 0xFF0000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Style << " " << c.List << " " << c.Captions << " " << c.State);
    button.Style = c.Style;
    bar.List = c.List;
    bar.ShowCaptions = c.Captions;
    auto bmp = Filled(40, 36, 0xFFFFFFFF);
    DrawToolButtonGlyph(&bar, &button, c.State, bmp.get(), 0, 0);
    EXPECT_EQ(FirstInk(*bmp), c.At);
    const TPoint at = FirstInk(*bmp);
    if (at.X >= 0) EXPECT_EQ(PixelAt(*bmp, at.X + 8, at.Y + 8) & 0xFFFFFF, c.Colour);
  }
  // No list, an index outside it, or no button draw nothing.
  auto bmp = Filled(40, 36, 0xFFFFFFFF);
  button.ImageIndex = 5;
  DrawToolButtonGlyph(&bar, &button, 0, bmp.get(), 0, 0);
  bar.Images = nullptr;
  button.ImageIndex = 0;
  DrawToolButtonGlyph(&bar, &button, 0, bmp.get(), 0, 0);
  DrawToolButtonGlyph(&bar, nullptr, 0, bmp.get(), 0, 0);
  EXPECT_EQ(FirstInk(*bmp), (TPoint{-1, -1}));
}
