// Background answers of the per-control skin state: what a child is told of the background
// behind it, section queries, font colours, outer effects and the copies of a cache.
#include <gtest/gtest.h>

#include "CommonHandlingFixtures.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sMessages.h"

namespace {

// Sections: PLAIN (opaque), HALF (transparency 50), GLASS (100), TEXT (for font colours).
struct TBackgroundSkin : TTestSkin {
  TBackgroundSkin() : TTestSkin({L"PLAIN", L"HALF", L"GLASS", L"TEXT"}) {
    Manager->Effects.AllowOuterEffects = false;
    auto& gd = Data().gd;
    gd[0].Props[0].Color = gd[0].Props[1].Color = 0x336699;
    gd[1].Props[0].Transparency = gd[1].Props[1].Transparency = 50;
    gd[1].Props[0].Color = 0;
    gd[2].Props[0].Transparency = gd[2].Props[1].Transparency = 100;
  }
  // A border image of section Index with margins (1, 2, 3, 4).
  int AddBorder(int index, int drawMode, int maskType = 0, TBitmap* bmp = nullptr, TRect r = TRect{0, 0, 30, 10}) {
    const int mask = Data().AddMask(index, L"BORDERSMASK", maskType, drawMode, 3, r, itisaBorder,
                                    Data().gd[index].ClassName);
    TsMaskData& m = Data().ma[mask];
    m.WL = 1, m.WT = 2, m.WR = 3, m.WB = 4;
    m.Width = r.Width() / 3;
    m.Height = r.Height() / (maskType + 1);
    m.Bmp = bmp;
    Data().gd[index].BorderIndex = mask;
    return mask;
  }
};

TacBGInfo Ask(TControl* control) {
  TacBGInfo info;
  PerformSkinCommand(control, SKCMD_GET_BG_INFO, reinterpret_cast<LPARAM>(&info));
  return info;
}

}  // namespace

TEST(BackgroundAnswers, ByTransparencyAndSkinning) {
  TBackgroundSkin skin;
  THiddenParent parent;
  parent.Form->SetColor(0x00FFFFFF);

  // Opaque, no texture: a plain colour, framed by the border's widths.
  auto* plain = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"PLAIN");
  skin.AddBorder(0, 0);
  TacBGInfo info = Ask(plain);
  EXPECT_EQ(info.BgType, btFill);
  EXPECT_EQ(info.Color, 0x336699);
  EXPECT_EQ(info.FrameRect, (TRect{1, 2, 3, 4}));
  EXPECT_EQ(info.Bmp, plain->State->FCacheBmp.get());
  // Flag 2 (no border drawn): no frame.
  skin.Data().ma[skin.Data().gd[0].BorderIndex].DrawMode = 2;
  EXPECT_EQ(Ask(plain).FrameRect, TRect{});

  // Half transparent with a cache that renders to nothing: not ready, and the owner updating.
  auto* half = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"HALF");
  half->Render = nullptr;
  half->State->BGChanged = true;
  info = Ask(half);
  EXPECT_EQ(info.BgType, btNotReady);
  EXPECT_TRUE(half->State->FUpdating);
  EXPECT_EQ(half->Count(SKCMD_PREPARE_CACHE), 1);
  // Rendered: the cache itself.
  half->Render = RenderFlatCache;
  half->State->BGChanged = true;
  info = Ask(half);
  EXPECT_EQ(info.BgType, btCache);
  EXPECT_EQ(info.Bmp, half->State->FCacheBmp.get());

  // Fully transparent without a cache: the parent's answer, its offset grown by the position.
  auto* holder = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"PLAIN");
  skin.Data().gd[0].Props[0].ImagePercent = 1;  // not a plain colour: the holder answers its cache
  holder->SetBounds(0, 0, 100, 80);
  auto* glass = new TCommonGraphic(parent.Form, holder, COC_TsCustom, L"GLASS");
  glass->State->FCacheBmp.reset();
  glass->SetBounds(7, 9, 20, 20);
  info = Ask(glass);
  EXPECT_EQ(info.BgType, btCache);
  EXPECT_EQ(info.Bmp, holder->State->FCacheBmp.get());
  EXPECT_EQ(info.Offset, (TPoint{7, 9}));
  skin.Data().gd[0].Props[0].ImagePercent = 0;

  // Not skinned: the owner's own colour.
  auto* none = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"MISSING");
  none->SetColor(clBtnFace);
  info = Ask(none);
  EXPECT_EQ(info.BgType, btFill);
  EXPECT_EQ(info.Color, ColorToRGB(clBtnFace));

  // PleaseDraw: the cache's pixels at R of the DC.
  plain->State->InitCacheBitmap();
  RenderFlatCache(*plain->State);
  plain->State->BGChanged = false;
  auto target = NewBitmap32(10, 10);
  TacBGInfo draw;
  draw.PleaseDraw = true;
  draw.DrawDC = target->Canvas().Handle();
  draw.R = TRect{2, 2, 6, 6};
  PerformSkinCommand(plain, SKCMD_GET_BG_INFO, reinterpret_cast<LPARAM>(&draw));
  EXPECT_EQ(draw.BgType, btCache);
  EXPECT_EQ(PixelAt(*target, 3, 3), PixelOf(0x336699));
  EXPECT_NE(PixelAt(*target, 8, 8), PixelOf(0x336699));
}

TEST(BackgroundAnswers, ColourOfAHalfTransparentStateOverWhite) {
  TBackgroundSkin skin;
  THiddenParent parent;
  auto* white = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"MISSING");
  white->SetColor(0xFFFFFF);
  auto* half = new TCommonWin(parent.Form, white, COC_TsCustom, L"HALF");
  // The percentage as a weight of 256: (0 * 206 + 255 * 50) >> 8.
  EXPECT_EQ(PerformSkinCommand(half, SKCMD_GET_BG_COLOR, 0) & 0xFFFFFF, 0x313131);
  // BlendTwoColors by 127 of 255: (0 * 127 + 255 * 128) >> 8.
  EXPECT_EQ(half->State->BackgroundColor(0) & 0xFFFFFF, 0x7F7F7F);
  // Opaque: the section colour; unskinned: the own colour.
  auto* plain = new TCommonWin(parent.Form, white, COC_TsCustom, L"PLAIN");
  EXPECT_EQ(PerformSkinCommand(plain, SKCMD_GET_BG_COLOR, 0), 0x336699);
  EXPECT_EQ(PerformSkinCommand(white, SKCMD_GET_BG_COLOR, 0), 0xFFFFFF);
}

TEST(SectionQueries, OpaqueTranslucentAndThresholds) {
  TBackgroundSkin skin;
  THiddenParent parent;
  auto* plain = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"PLAIN");
  plain->SetBounds(5, 6, 40, 30);
  auto* half = new TCommonWin(parent.Form, plain, COC_TsCustom, L"HALF");
  skin.AddBorder(1, 0);  // HALF: translucent above 50 (no flag 4)
  skin.Data().gd[1].Props[0].Transparency = 60;

  TacSectionQuery query;
  query.R = TRect{0, 0, 4, 4};
  EXPECT_EQ(PerformSkinCommand(plain, SKCMD_FIND_OPAQUE_SECTION, reinterpret_cast<LPARAM>(&query)), 1);
  EXPECT_EQ(query.SkinIndex, 0);

  query = TacSectionQuery{};
  query.R = TRect{0, 0, 4, 4};
  EXPECT_EQ(PerformSkinCommand(half, SKCMD_FIND_OPAQUE_SECTION, reinterpret_cast<LPARAM>(&query)), 1);
  EXPECT_EQ(query.SkinIndex, 0);             // the parent's
  EXPECT_EQ(query.R, (TRect{5, 6, 9, 10}));  // moved by the position of the control asked

  // A state above 0 of Transparency 39 or less shows its own section without asking.
  struct TCase {
    int Transparency, State, Expected, Queries;
  };
  for (const TCase& c : {TCase{39, 1, 1, 0}, TCase{40, 1, 1, 1}, TCase{60, 1, 0, 1}, TCase{0, 0, 0, 1}}) {
    skin.Data().gd[1].Props[1].Transparency = c.Transparency;
    half->Got.clear();
    EXPECT_EQ(VisibleSkinIndexOfControl(half, 1, skin.Manager, c.State), c.Expected) << c.Transparency;
    EXPECT_EQ(half->Count(SKCMD_FIND_OPAQUE_SECTION), c.Queries) << c.Transparency;
  }
  EXPECT_EQ(VisibleSkinIndexOfControl(nullptr, 3, skin.Manager, 0), 3);
}

TEST(SectionQueries, TranslucencyOfBorderedStates) {
  TBackgroundSkin skin;
  THiddenParent parent;
  auto* owner = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"HALF");
  // A masked image of three cells 10 x 10 over their masks; the probes read the mask row.
  auto image = NewBitmap32(30, 20);
  auto paintProbe = [&](int cell, std::uint8_t blue) {
    auto* row = static_cast<std::uint32_t*>(image->ScanLine(15));
    row[cell * 10 + 5] = 0xFF000000u | blue;
  };
  paintProbe(1, 127);
  paintProbe(2, 128);
  struct TCase {
    const char* Name;
    int Transparency, DrawMode, MaskType, State;
    TRect R;
    bool Expected;
  };
  const TRect cells{0, 0, 30, 20};
  const TCase cases[] = {
      {"50 is opaque enough", 50, 4, 1, 0, cells, false},
      {"51 without border", 51, -1, 0, 0, cells, true},
      {"state 0 without flag 4", 60, 0, 1, 0, cells, true},
      {"state 0 with flags 4 and 2", 60, 6, 1, 0, cells, true},
      {"state 0 with flag 4", 60, 4, 1, 0, cells, false},
      {"state 1 without flag 4", 60, 0, 1, 1, cells, true},
      {"probe blue 127", 60, 4, 1, 1, cells, false},
      {"probe blue 128", 60, 4, 1, 2, cells, true},
      {"key-colour image with flag 4", 60, 4, 0, 1, cells, false},
      {"a cell beyond the image", 60, 4, 1, 2, TRect{25, 0, 55, 20}, false},
  };
  auto& section = skin.Data().gd[1];
  section.States = 3;
  for (const TCase& c : cases) {
    for (auto& props : section.Props) props.Transparency = c.Transparency;
    section.BorderIndex = -1;
    if (c.DrawMode >= 0) skin.AddBorder(1, c.DrawMode, c.MaskType, image.get(), c.R);
    EXPECT_EQ(SectionIsTranslucent(skin.Manager, 1, c.State, owner), c.Expected) << c.Name;
  }
  // Without parent or with a bad index: not translucent. A section of no states reads state 0.
  EXPECT_FALSE(SectionIsTranslucent(skin.Manager, 1, 1, parent.Form));
  EXPECT_FALSE(SectionIsTranslucent(skin.Manager, 99, 0, owner));
  // A section of no states reads state 0 (with flag 4: opaque), not the bright cell of state 2.
  skin.AddBorder(1, 4, 1, image.get(), cells);
  EXPECT_TRUE(SectionIsTranslucent(skin.Manager, 1, 2, owner));
  section.States = 0;
  EXPECT_FALSE(SectionIsTranslucent(skin.Manager, 1, 2, owner));
}

TEST(SectionQueries, FontColourFallbacks) {
  TBackgroundSkin skin;
  skin.Manager->Palette[pcLabelText] = 0x0A0B0C;
  THiddenParent parent;
  auto* owner = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"TEXT");
  owner->Font.Color = 0x111111;
  skin.Data().gd[3].Props[0].FontColor.Color = 0x222222;
  skin.Data().gd[3].Props[1].FontColor.Color = 0x333333;
  skin.Data().gd[3].States = 0;  // from a skin that wrote none: state 0 is read
  TsCommonData custom(nullptr, false);
  custom.FCustomFont = true;
  struct TCase {
    const char* Name;
    std::function<TColor()> Ask;
    TColor Expected;
  };
  const TCase cases[] = {
      {"custom font", [&] { return SectionFontColorOfControl(owner, 3, skin.Manager, &custom, 1); }, 0x111111},
      {"own opaque section, no states", [&] { return SectionFontColorOfControl(owner, 3, skin.Manager, nullptr, 2); },
       0x222222},
      {"invalid index", [&] { return SectionFontColorOfControl(nullptr, 77, skin.Manager, nullptr, 0); }, 0x0A0B0C},
      {"window invalid index", [&] { return SectionFontColorOfWindow(owner->Handle(), 77, skin.Manager, 1); },
       0x222222},  // the window's own section answers
      {"window without active skin", [&] {
         skin.Manager->SkinCommonInfo.Active = false;
         const TColor c = SectionFontColorOfWindow(nullptr, 3, skin.Manager, 1);
         skin.Manager->SkinCommonInfo.Active = true;
         return c;
       }, static_cast<TColor>(0xFF000012)},
      {"control without active skin", [&] {
         skin.Manager->SkinCommonInfo.Active = false;
         const TColor c = SectionFontColorOfControl(nullptr, 3, skin.Manager, nullptr, 1);
         skin.Manager->SkinCommonInfo.Active = true;
         return c;
       }, static_cast<TColor>(0xFF000005)},
  };
  for (const TCase& c : cases) EXPECT_EQ(c.Ask(), c.Expected) << c.Name;
}

TEST(CachePainting, ExceptControls) {
  TBackgroundSkin skin;
  THiddenParent parent;
  auto* owner = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"PLAIN");
  owner->SetBounds(0, 0, 40, 20);
  auto target = NewBitmap32(40, 20);
  HDC dc = target->Canvas().Handle();
  const TRect all{0, 0, 40, 20};
  // An empty cache draws nothing.
  owner->State->FCacheBmp->SetSize(0, 0);
  PaintCacheExceptControls(owner, owner->State.get(), all, 0, 0, false, dc, all);
  const std::uint32_t before = PixelAt(*target, 1, 1);
  EXPECT_NE(before, PixelOf(0x336699));

  RenderFlatCache(*owner->State);
  auto* opaque = new TSkinWin(parent.Form, false, owner);
  opaque->SetBounds(0, 0, 10, 10);
  opaque->SetControlStyle(csOpaque);
  auto* graphic = new TSkinGraphic(parent.Form, owner);
  graphic->SetBounds(10, 0, 10, 10);
  auto* ownBg = new TSkinWin(parent.Form, false, owner);
  ownBg->SetBounds(20, 0, 10, 10);
  ownBg->Answers[SKCMD_PAINTS_OWN_BG] = 1;
  auto* plainChild = new TSkinWin(parent.Form, false, owner);
  plainChild->SetBounds(30, 0, 10, 10);
  for (TSkinWin* w : {opaque, ownBg, plainChild}) w->Handle();
  PaintCacheExceptControls(owner, owner->State.get(), all, 0, 0, false, dc, all);
  EXPECT_EQ(PixelAt(*target, 5, 5), before);
  EXPECT_EQ(PixelAt(*target, 15, 5), before);
  EXPECT_EQ(PixelAt(*target, 25, 5), before);
  EXPECT_EQ(PixelAt(*target, 35, 5), PixelOf(0x336699));
  EXPECT_EQ(PixelAt(*target, 5, 15), PixelOf(0x336699));
  // With the standard image transparency graphic children are painted over.
  skin.Manager->Options.StdImgTransparency = true;
  PaintCacheExceptControls(owner, owner->State.get(), all, 0, 0, false, dc, all);
  EXPECT_EQ(PixelAt(*target, 15, 5), PixelOf(0x336699));
  skin.Manager->Options.StdImgTransparency = false;
}

TEST(CachePainting, ExceptWindowsKeepsAGroupBoxInterior) {
  TBackgroundSkin skin;
  skin.Data().AddSection(L"GROUPBOX", -1, 1, 0, 0, 0);
  const int group = skin.Data().GetSkinIndex(L"GROUPBOX");
  skin.AddBorder(group, 0);  // WL 1, WR 3, WB 4
  THiddenParent parent;
  auto* owner = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"PLAIN");
  owner->SetBounds(0, 0, 60, 40);
  HWND wnd = owner->Handle();
  RenderFlatCache(*owner->State);
  HWND box = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0, 30, 40, wnd, nullptr,
                             nullptr, nullptr);
  HWND other = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 30, 0, 30, 40, wnd, nullptr, nullptr, nullptr);
  auto target = NewBitmap32(60, 40);
  const std::uint32_t before = PixelAt(*target, 0, 0);
  const TRect all{0, 0, 60, 40};
  PaintCacheExceptWindows(wnd, owner->State.get(), all, 0, 0, false, target->Canvas().Handle(), all);
  const std::uint32_t cache = PixelOf(0x336699);
  EXPECT_EQ(PixelAt(*target, 15, 20), cache);   // the group box's interior
  EXPECT_EQ(PixelAt(*target, 0, 20), before);   // its left border
  EXPECT_EQ(PixelAt(*target, 28, 20), before);  // its right border
  EXPECT_EQ(PixelAt(*target, 15, 38), before);  // its bottom border
  EXPECT_EQ(PixelAt(*target, 45, 20), before);  // another window, whole
  DestroyWindow(box);
  DestroyWindow(other);
}

TEST(CachePainting, ColourEffectsBorderWidthAndRegion) {
  TBackgroundSkin skin;
  THiddenParent parent;
  auto* owner = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"PLAIN");
  TsCommonData& state = *owner->State;
  auto bmp = NewBitmap32(2, 1);
  auto* row = static_cast<std::uint32_t*>(bmp->ScanLine(0));
  auto reset = [&] {
    row[0] = 0xFF808040;  // a grey-blue pixel
    row[1] = 0x00FF00FF;  // the key colour
  };
  reset();
  state.FSaturation = 150;  // limited to 255
  ApplyColorEffects(bmp.get(), &state, clNone, 0);
  const std::uint32_t saturated = row[0];
  EXPECT_NE(saturated & 0xFFFFFF, 0x808040u);
  EXPECT_EQ(row[1], 0x00FF00FFu);  // the key pixel untouched
  reset();
  state.FSaturation = 100;
  ApplyColorEffects(bmp.get(), &state, clNone, 0);
  EXPECT_EQ(row[0], saturated);  // 100 % already reaches the limit
  state.FSaturation = 0;
  // The tone from the argument only for kinds 93 and 94.
  reset();
  ApplyColorEffects(bmp.get(), &state, 0x0000FF, 0);
  EXPECT_EQ(row[0], 0xFF808040u);
  state.COC = 93;
  ApplyColorEffects(bmp.get(), &state, 0x0000FF, 0);
  EXPECT_NE(row[0], 0xFF808040u);
  EXPECT_EQ(row[1], 0x00FF00FFu);

  // Border width: the widest margin, none with flag 2.
  EXPECT_EQ(state.BorderWidth(), 0);
  const int mask = skin.AddBorder(0, 0);
  EXPECT_EQ(state.BorderWidth(), 4);
  skin.Data().ma[mask].DrawMode = 2;
  EXPECT_EQ(state.BorderWidth(), 0);

  // The region is one pixel smaller than the bitmap.
  auto face = NewBitmap32(20, 10);
  EXPECT_EQ(CreateBorderRegion(3, face.get(), &skin.Data()), nullptr);  // TEXT has no border
  HRGN region = CreateBorderRegion(0, face.get(), &skin.Data());
  ASSERT_NE(region, nullptr);
  RECT box;
  GetRgnBox(region, &box);
  EXPECT_EQ(box.right, 19);
  EXPECT_EQ(box.bottom, 9);
  DeleteObject(region);
}

TEST(OuterEffects, SavesExactlyTheParentsPixelsAndStaysInsideIt) {
  TBackgroundSkin skin;
  THiddenParent parent;
  auto* owner = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"PLAIN");
  owner->SetBounds(10, 10, 20, 20);
  owner->State->OuterEffects()->FVisibility = ovAlways;
  auto& section = skin.Data().gd[0];
  section.OuterMode = 3;
  section.OuterMask = skin.Data().AddMask(0, L"OUTER", 0, 0, 1, TRect{0, 0, 9, 9}, itisaBorder, L"PLAIN");
  section.OuterOffset = TRect{2, 3, 4, 5};
  auto cache = NewBitmap32(50, 50);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) static_cast<std::uint32_t*>(cache->ScanLine(y))[x] = 0xFF000000u | (y << 8) | x;
  TacBGInfo info;
  info.BgType = btCache;
  info.Bmp = cache.get();
  PerformSkinCommand(owner, SKCMD_PAINT_OUTER_EFFECT, reinterpret_cast<LPARAM>(&info));
  TBitmap* saved = owner->State->FOuterCache.get();
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->Width(), 20 + 2 + 4);
  EXPECT_EQ(saved->Height(), 20 + 3 + 5);
  EXPECT_EQ(PixelAt(*saved, 0, 0), (7u << 8) | 8u);  // the parent's pixel at (8, 7)
  EXPECT_EQ(PixelAt(*saved, 25, 27), (34u << 8) | 33u);

  // A huge offset from a skin is cut to the parent's cache.
  section.OuterOffset = TRect{100000, 100000, 100000, 100000};
  PerformSkinCommand(owner, SKCMD_PAINT_OUTER_EFFECT, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(owner->State->FOuterCache->Width(), 50);
  EXPECT_EQ(owner->State->FOuterCache->Height(), 50);
}
