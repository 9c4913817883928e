// A loaded skin's images, per-scale data, palette and constant elements, on the format
// fixtures drawn by tools/make_skin.py (skin_fixtures\format\) and on preview texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

#include "ReaderFixtures.h"
#include "SkinTestLoad.h"
#include "platform/runtime/Resources.h"
#include "platform/runtime/Strings.h"
#include "skin/graphics/acColorAdjust.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sStoredSkins.h"

namespace {

std::uint32_t Pixel(TBitmap* bmp, int x, int y) {
  TPixels32 p;
  if (!bmp || !GetPixels32(bmp, p) || x >= p.Width || y >= p.Height) return 0xDEADBEEF;
  return p.Row(y)[x];
}

// A manager over the format fixtures (folder skins by name, packed files beside them).
struct FormatSkin {
  explicit FormatSkin(const wchar_t* name = L"Format") {
    m.SetSkinDirectory(ReaderFixture(L"format\\"));
    m.FSkinName = name;  // stored only: LoadSkin loads
  }
  TacSkinData* Load(int ppi = 96) { return LoadSkin(m, ppi); }
  const TsMaskData* Mask(TacSkinData* d, const wchar_t* section, const wchar_t* name) {
    const int i = d->GetMaskIndex(section, name);
    return i < 0 ? nullptr : &d->ma[i];
  }
  TsSkinManager m;
};

// A manager loading a preview text; its files are looked up in the Damaged fixture folder.
struct TextSkin {
  explicit TextSkin(const std::wstring& text, int ppi = 96,
                    TsSkinManager::TacScaleMode mode = TsSkinManager::smOldMode, bool extended = false) {
    m.SetSkinDirectory(ReaderFixture(L"format\\"));
    m.FSkinName = L"Damaged";  // stored only: LoadSkin loads
    m.Options.ScaleMode.Store(mode);
    m.FExtendedBorders = extended;
    PreviewSkinText = std::make_unique<std::vector<std::wstring>>(SplitString(text, L'\n'));
    d = LoadSkin(m, ppi);
    PreviewSkinText.reset();
  }
  int Section(const wchar_t* name) const { return d->GetSkinIndex(name); }
  TsSkinManager m;
  TacSkinData* d = nullptr;
};

std::uint32_t Premultiplied(std::uint32_t v) {
  auto b = NewBitmap32(1, 1);
  SetPixel32(b.get(), 0, 0, v);
  PremultiplyBitmap(b.get());
  return GetPixel32(b.get(), 0, 0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Images
// ---------------------------------------------------------------------------

TEST(SkinImages, MasterBitmapTable) {
  {
    FormatSkin s;
    s.Load();
    TBitmap* master = s.m.MasterBitmap();
    ASSERT_EQ(master->Width(), 64);
    EXPECT_EQ(Pixel(master, 0, 0) >> 24, 128u);    // PNG alpha kept
    EXPECT_EQ(Pixel(master, 5, 1), 0x00FF00FFu);   // opaque key colour made see-through
    EXPECT_TRUE(master->Transparent());
    EXPECT_EQ(master->TransparentColor(), 0xFF00FF);
  }
  {
    FormatSkin s(L"BmpMaster");
    s.Load();
    EXPECT_EQ(Pixel(s.m.MasterBitmap(), 0, 0), 0x00FF00FFu);  // BMP: the key colour see-through
    EXPECT_EQ(Pixel(s.m.MasterBitmap(), 1, 1), 0xFF0A141Eu);  // alpha 255 elsewhere
  }
  {
    FormatSkin s(L"FormatPacked");  // names "master.bmp": entries are matched as written
    s.Load();
    EXPECT_TRUE(s.m.SkinIsPacked);
    EXPECT_TRUE(s.m.MasterBitmap()->Empty());
  }
}

TEST(SkinImages, MaskTableByFormatAndSource) {
  for (const wchar_t* name : {L"Format", L"FormatPacked"}) {
    FormatSkin s(name);
    TacSkinData* d = s.Load();
    const TsMaskData* jpeg = s.Mask(d, L"JPGSEC", L"PATTERN");
    ASSERT_TRUE(jpeg && jpeg->Bmp) << name;
    EXPECT_EQ(jpeg->Bmp->Width(), 16);
    const std::uint32_t px = Pixel(jpeg->Bmp, 8, 2);  // about (128, 64, 128)
    EXPECT_NEAR(static_cast<int>((px >> 16) & 0xFF), 128, 12) << name;
    EXPECT_NEAR(static_cast<int>((px >> 8) & 0xFF), 64, 12) << name;
    EXPECT_EQ(px >> 24, 255u);
    const TsMaskData* glyph = s.Mask(d, L"PNGSEC", L"GLYPHMASK");
    const TsMaskData* border = s.Mask(d, L"PNGSEC", L"BORDERSMASK");
    ASSERT_TRUE(glyph && border);
    EXPECT_EQ(Pixel(glyph->Bmp, 1, 1), Premultiplied(0x80C86432u));  // not a border: premultiplied
    EXPECT_EQ(Pixel(border->Bmp, 1, 1), 0x80C86432u);                 // a border: as read
    EXPECT_EQ(s.Mask(d, L"GIFSEC", L"PATTERN"), nullptr);            // no image, no mask
    ASSERT_NE(s.Mask(d, L"BMPSEC", L"BORDERSMASK"), nullptr);
    // Two masks of one file share one bitmap.
    EXPECT_EQ(s.Mask(d, L"SHARE1", L"GLYPHMASK")->Bmp, s.Mask(d, L"SHARE2", L"GLYPHMASK")->Bmp);
  }
}

TEST(SkinImages, CommonSectionsBitmaps) {
  FormatSkin s;
  s.m.CommonSections = {L"[extra]", L"pic=EXTRA.BMP", L"none=MISSING.BMP", L"[GLOBALINFO]", L"g=EXTRA.BMP"};
  TacSkinData* d = s.Load();
  const TsMaskData* pic = s.Mask(d, L"EXTRA", L"PIC");
  ASSERT_TRUE(pic && pic->Bmp);
  EXPECT_EQ(pic->ImageCount, 1);  // one image with default margins
  EXPECT_EQ(pic->Width, 5);
  EXPECT_EQ(pic->WL, 2);
  EXPECT_EQ(pic->WT, 1);
  EXPECT_EQ(s.Mask(d, L"EXTRA", L"NONE"), nullptr);
  EXPECT_EQ(s.Mask(d, L"GLOBALINFO", L"G"), nullptr);
}

TEST(SkinImages, BrightnessPremultipliesPngAfterBrightening) {
  for (int amount : {30, -30}) {
    FormatSkin s;
    s.m.FBrightness = amount;
    TacSkinData* d = s.Load();
    const TsMaskData* glyph = s.Mask(d, L"PNGSEC", L"GLYPHMASK");
    ASSERT_TRUE(glyph && glyph->Bmp);
    const std::uint32_t expected = amount > 0 ? Premultiplied(ChangeColorBrightness(0x80C86432u, amount))
                                              : ChangeColorBrightness(Premultiplied(0x80C86432u), amount);
    EXPECT_EQ(Pixel(glyph->Bmp, 1, 1), expected) << amount;
  }
}

TEST(SkinImages, KeptHueKeepsTheCloseImagesOnly) {
  FormatSkin s;  // BIKEEPHUE=2
  s.m.FHueOffset = 180;
  s.Load();
  EXPECT_EQ(Pixel(s.m.MasterBitmap(), 5, 10), 0xFFC81E1Eu);   // close: as drawn
  EXPECT_NE(Pixel(s.m.MasterBitmap(), 20, 10), 0xFF1EA01Eu);  // maximize: turned
}

TEST(SkinImages, CornerTest) {
  FormatSkin s;
  TacSkinData* d = s.Load();
  EXPECT_EQ(s.Mask(d, L"PLAIN", L"BORDERSMASK")->Cfg & 1, 1);  // key pixel in the first cell's corner
  EXPECT_EQ(s.Mask(d, L"THIN", L"BORDERSMASK")->Cfg & 1, 0);
  EXPECT_EQ(s.Mask(d, L"BMPSEC", L"BORDERSMASK")->Cfg & 1, 1);
  // A corner region reaches the bitmap's last column and row.
  auto bmp = NewBitmap32(4, 4);
  FillRectArgb(bmp.get(), Rect(0, 0, 4, 4), 0x102030, 255);
  SetPixel32(bmp.get(), 3, 3, 0x00FF00FF);
  TsMaskData m;
  m.Bmp = bmp.get();
  m.R = Rect(0, 0, 4, 4);
  m.ImageCount = 1;
  m.WL = m.WT = m.WR = m.WB = 1;
  EXPECT_EQ(CheckMaskCorners(nullptr, m), 1);
  m.R = Rect(0, 0, 4, 0);
  EXPECT_EQ(CheckMaskCorners(nullptr, m), 0);
}

// ---------------------------------------------------------------------------
// Per-scale data
// ---------------------------------------------------------------------------

TEST(SkinScale, SlotsByScaleMode) {
  {
    // No skin loaded and announced: the process-wide default objects serve.
    TsSkinManager idle;
    EXPECT_EQ(idle.CommonSkinData(96), DefaultSkinData(0));
    EXPECT_TRUE(idle.SkinDataArray.empty());
  }
  {
    FormatSkin s;
    s.m.Options.ScaleMode.Store(TsSkinManager::sm125);
    TacSkinData* d = s.Load(120);
    ASSERT_EQ(s.m.SkinDataArray.size(), 1u);
    EXPECT_EQ(d->PPI, 120);
    EXPECT_EQ(s.m.CommonSkinData(192), d);
    EXPECT_EQ(s.m.CommonSkinData(96), d);
  }
  {
    FormatSkin s;
    s.m.Options.ScaleMode.Store(TsSkinManager::smVCL);
    TacSkinData* d = s.Load(144);
    ASSERT_EQ(s.m.SkinDataArray.size(), 3u);
    ASSERT_TRUE(s.m.SkinDataArray[0]);
    EXPECT_EQ(s.m.SkinDataArray[0]->PPI, 96);  // loaded first
    EXPECT_FALSE(s.m.SkinDataArray[0]->gd.empty());
    EXPECT_EQ(d->PPI, 144);
    EXPECT_FALSE(d->gd.empty());
  }
}

TEST(SkinScale, DefinitionsPickedAndResampledForADensity) {
  struct Case {
    TsSkinManager::TacScaleMode Mode;
    int PPI;
    const wchar_t* Section;
    int DivPPI;
  };
  for (const Case& c : {Case{TsSkinManager::sm125, 120, L"SCALED", 144}, Case{TsSkinManager::sm200, 192, L"PLAIN", 96}}) {
    FormatSkin s;
    s.m.Options.ScaleMode.Store(c.Mode);
    TacSkinData* d = s.Load(c.PPI);
    const TsMaskData* m = s.Mask(d, c.Section, L"BORDERSMASK");
    ASSERT_TRUE(m) << c.Section;
    EXPECT_EQ(m->DivPPI, c.DivPPI);
    EXPECT_EQ(m->MulPPi, c.PPI);
    ASSERT_TRUE(m->Bmp);  // resampled into a bitmap of its own
  }
  {
    // The same cut made for 144 (SCALED) and for 96 (PLAIN) are two images at 96.
    FormatSkin s;
    s.m.Options.ScaleMode.Store(TsSkinManager::smOldMode);
    TacSkinData* d = s.Load(96);
    EXPECT_EQ(s.Mask(d, L"PLAIN", L"BORDERSMASK")->Bmp, nullptr);
    EXPECT_EQ(s.Mask(d, L"PLAIN", L"BORDERSMASK")->DivPPI, 96);
    ASSERT_NE(s.Mask(d, L"SCALED", L"BORDERSMASK")->Bmp, nullptr);
    EXPECT_EQ(s.Mask(d, L"SCALED", L"BORDERSMASK")->Bmp->Width(), 24);
  }
  FormatSkin s;
  s.m.Options.ScaleMode.Store(TsSkinManager::sm150);
  TacSkinData* d = s.Load(144);
  // A three-cell masked image (cells 12 x 12, margins 3) from 96 to 144.
  const TsMaskData* m = s.Mask(d, L"PLAIN", L"BORDERSMASK");
  ASSERT_TRUE(m && m->Bmp);
  EXPECT_EQ(m->Bmp->Width(), 54);
  EXPECT_EQ(m->Bmp->Height(), 36);
  EXPECT_EQ(m->Width, 18);
  EXPECT_EQ(m->Height, 18);
  EXPECT_EQ(m->WL, 4);  // 4.5 rounded to even
  EXPECT_EQ(m->WR, 4);
  // Margins 1, 1, 1, 1 are never resampled: the cut stays a rectangle of the master bitmap.
  const TsMaskData* thin = s.Mask(d, L"THIN", L"BORDERSMASK");
  ASSERT_TRUE(thin);
  EXPECT_EQ(thin->Bmp, nullptr);
  EXPECT_EQ(thin->WL, 1);
}

TEST(SkinScale, StandAloneMasks) {
  FormatSkin folder;
  folder.Load();
  TsMaskData md;
  std::unique_ptr<TBitmap> bmp;
  ASSERT_EQ(folder.m.GetScaledMaskData(L"PLAIN", L"BORDERSMASK", 0, 144, md, bmp), 144);
  ASSERT_TRUE(bmp);
  EXPECT_EQ(md.Bmp, bmp.get());
  EXPECT_EQ(bmp->Width(), 54);  // resampled from 96
  EXPECT_EQ(md.DivPPI, 96);
  EXPECT_EQ(folder.m.GetScaledMaskData(L"SCALED", L"BORDERSMASK", 0, 144, md, bmp), 144);
  EXPECT_EQ(md.DivPPI, 144);
  EXPECT_EQ(md.Bmp->Width(), 36);  // its own density: copied out as it is
  EXPECT_EQ(folder.m.GetScaledMaskData(L"PNGSEC", L"GLYPHMASK", 0, 96, md, bmp), 96);
  EXPECT_EQ(folder.m.GetScaledMaskData(L"PLAIN", L"NOSUCHMASK", 0, 96, md, bmp), -1);
  // A packed skin's files exist only while it loads.
  FormatSkin packed(L"FormatPacked");
  packed.Load();
  EXPECT_EQ(packed.m.GetScaledMaskData(L"PNGSEC", L"GLYPHMASK", 0, 96, md, bmp), -1);
}

TEST(SkinScale, ScaleIntAndScalePPI) {
  struct Case {
    TsSkinManager::TacScaleMode Mode;
    int Value, SysScale, ScaleInt, PPI, ScalePPI;
  };
  const Case cases[] = {
      {TsSkinManager::smOldMode, 10, -1, 10, 192, 10},
      {TsSkinManager::sm200, 10, -1, 20, 0, 20},
      {TsSkinManager::sm125, 10, -1, 12, 144, 15},
      {TsSkinManager::smVCL, 10, -1, 10, 144, 15},
      {TsSkinManager::smVCL, 10, 2, 15, 96, 10},
      {TsSkinManager::smCustomPPI, 10, -1, 15, 0, 15},
  };
  for (const Case& c : cases) {
    TsSkinManager m;
    m.Options.ScaleMode.Store(c.Mode);
    m.Options.PixelsPerInch.Store(144);
    EXPECT_EQ(m.ScaleInt(c.Value, c.SysScale), c.ScaleInt) << c.Mode;
    EXPECT_EQ(m.ScalePPI(c.Value, c.PPI), c.ScalePPI) << c.Mode;
  }
}

// ---------------------------------------------------------------------------
// Palette
// ---------------------------------------------------------------------------

TEST(SkinPalette, DefaultsOfASkinWithoutPaletteKeys) {
  TextSkin s(L"[GLOBALINFO]\nCOLOR=1052688\n[EDIT]\nCOLOR=16777215\nFONTCOLOR=2105376\n");
  const TacPalette& p = s.m.Palette;
  const struct {
    TacPaletteColors Slot;
    TColor Value;
  } cases[] = {
      {pcMainColor, 0x101010},      {pcLabelText, 0},          {pcWebText, 0xFF0000},
      {pcWebTextHot, 0x0000FF},     {pcBorder, 0},             {pcEditText, 0x202020},
      {pcEditBG, 0xFFFFFF},         {pcEditText_Ok, 0x404000}, {pcEditText_Caution, 0x00006C},
      {pcEditBG_Bypassed, 0xDBDBFF}, {pcEditText_Inverted, 0xFFFFFF}, {pcEditBG_Inverted, 0x202020},
      {pcEditBG_OddRow, 0xFFFFFF},  {pcEditBG_EvenRow, static_cast<TColor>(BlendTwoColors(0x202020, 0xFFFFFF, 13))},
      {pcBtnColor2Active, static_cast<TColor>(0xFF101010u)}, {pcBtnColor1Normal, static_cast<TColor>(0xFF101010u)},
      {pcBtnBorderPressed, 0},      {pcBtnToneBlue, 0xFFEDC9}, {pcBtnBlueTextActive, 0xAE7400},
      {pcGrid, static_cast<TColor>(BlendTwoColors(0x202020, 0xFFFFFF, 30))},
  };
  for (const auto& c : cases) EXPECT_EQ(p[c.Slot], c.Value) << c.Slot;
  EXPECT_GE(p[pcEditBG_EvenRow] & 0xFF, 0xF0);  // close to the edit background
}

TEST(SkinPalette, TextColoursSelectionFallbackAndBrushes) {
  TextSkin s(
      L"[GLOBALINFO]\nBTNCOLOR1NORMAL=$FF808080\nBTNCOLOR2NORMAL=abc\nCOLOR=255\n"
      L"[SELECTION]\nCOLOR=100\nFONTCOLOR=16711935\n[MENUITEM]\nHOTCOLOR=200\nHOTFONTCOLOR=300\n");
  EXPECT_EQ(static_cast<std::uint32_t>(s.m.Palette[pcBtnColor1Normal]), 0xFF808080u);  // top byte kept
  EXPECT_EQ(static_cast<std::uint32_t>(s.m.Palette[pcBtnColor2Normal]),
            0xFF000000u | BlendTwoColors(255, 0, 244));  // not a number: the default, and the load went on
  EXPECT_EQ(s.m.Palette[pcSelectionText], 300);  // MENUITEM's hot state
  EXPECT_EQ(s.m.Palette[pcSelectionBG], 200);
  EXPECT_EQ(s.m.Palette[pcSelectionBG_Focused], 200);
  EXPECT_EQ(s.m.Palette[pcSelectionText_Focused], 300);

  // Brushes keep the colours before the adjustments; the slots follow the hue.
  TsSkinManager& m = s.m;
  m.FHueOffset = 120;
  PreviewSkinText = std::make_unique<std::vector<std::wstring>>(std::vector<std::wstring>{L"[GLOBALINFO]", L"COLOR=255"});
  LoadSkin(m);
  PreviewSkinText.reset();
  LOGBRUSH lb{};
  GetObjectW(m.Brushes[pcMainColor], sizeof(lb), &lb);
  EXPECT_EQ(lb.lbColor, 255u);
  EXPECT_EQ(m.Palette[pcMainColor], ShiftColorHue(120, 255));
  EXPECT_NE(m.Palette[pcMainColor], 255);
}

// ---------------------------------------------------------------------------
// Constant elements
// ---------------------------------------------------------------------------

TEST(SkinConstants, FallbackSectionsAreCopies) {
  TextSkin s(L"[TOOLBAR]\nCOLOR=5\nSTATES=1\n[BUTTON]\nCOLOR=7\n");
  const TacIntSections& sections = s.m.SkinCommonInfo.Sections;
  const int toolbar = s.Section(L"TOOLBAR"), button = s.Section(L"BUTTON");
  EXPECT_EQ(sections[39], toolbar);  // MENUCAPTION
  const int menuCaption = s.Section(L"MENUCAPTION");
  ASSERT_GT(menuCaption, toolbar);
  EXPECT_EQ(s.d->gd[menuCaption].Props[0].Color, 5);
  for (int c : {47, 49}) EXPECT_EQ(sections[c], button);  // COLHEADER, COLHEADERL
  ASSERT_GE(s.Section(L"COLHEADERL"), 0);
  EXPECT_EQ(s.d->gd[s.Section(L"COLHEADERL")].Props[0].Color, 7);

  TextSkin none(L"[FORM]\nCOLOR=1\n");
  EXPECT_EQ(none.m.SkinCommonInfo.Sections[47], -1);
  ASSERT_GE(none.Section(L"COLHEADER"), 0);
  EXPECT_EQ(none.d->gd[none.Section(L"COLHEADER")].States, -1);
}

TEST(SkinConstants, GlowsComboMarginOuterMasksAndShadows) {
  TextSkin glows(
      L"[GLOBALINFO]\nMASTERBITMAP=MASTER.PNG\nBICONMAXGLOW=2\nBICONMAXGLOW0=@0000@0000@0004@0004@1@0\n"
      L"BICONMAXGLOW1=@0004@0000@0008@0004@1@0\nCOMBOMARGIN=1\n"
      L"[OUT3]\nOUTERMODE=3\n[OUT5]\nOUTERMODE=5\n");
  ASSERT_EQ(glows.d->TitleGlows[tgMax].size(), 2u);
  EXPECT_GE(glows.d->TitleGlows[tgMax][0], 0);
  EXPECT_GE(glows.d->TitleGlows[tgMax][1], 0);
  EXPECT_EQ(glows.d->ComboBoxMargin, 1);  // at 96
  const int out3 = glows.d->gd[glows.Section(L"OUT3")].OuterMask;
  ASSERT_GE(out3, 0);
  EXPECT_NE(glows.d->ma[out3].Bmp, nullptr);
  EXPECT_EQ(glows.d->gd[glows.Section(L"OUT5")].OuterMask, -1);  // kept as loaded
  EXPECT_TRUE(glows.d->FormShadowSize.IsEmpty());  // ExtendedBorders off

  for (auto [ppi, mode, margin] : {std::tuple{120, TsSkinManager::sm125, 1}, std::tuple{144, TsSkinManager::sm150, 2}}) {
    TextSkin s(L"[GLOBALINFO]\nCOMBOMARGIN=1\n", ppi, mode);
    EXPECT_EQ(s.d->ComboBoxMargin, margin) << ppi;
  }
  TextSkin shadows(L"[GLOBALINFO]\nWSHSIZE=10\nWSHOFFS=3\n", 96, TsSkinManager::smOldMode, true);
  EXPECT_EQ(shadows.d->FormShadowSize, Rect(10, 7, 10, 13));
  ASSERT_NE(shadows.d->ShdaTemplate, nullptr);
  EXPECT_EQ(shadows.d->ShdaTemplate->Width(), shadows.d->GetActiveShadow()->Width());
  TextSkin exBorder(
      L"[GLOBALINFO]\nMASTERBITMAP=MASTER.PNG\nFORMOFFSET=1\n"
      L"EXBORDER=^0000^0000^0016^0008^0003^0003^0004^0005^2^0^0^0\n",
      96, TsSkinManager::smOldMode, true);
  EXPECT_EQ(exBorder.d->FormShadowSize, Rect(2, 2, 3, 4));
  ASSERT_NE(exBorder.d->ShdiTemplate, nullptr);
  EXPECT_EQ(exBorder.d->ShdiTemplate->Width(), 8);  // one cell of two
}

TEST(SkinConstants, WindowOuterEffects) {
  const std::wstring master = L"[GLOBALINFO]\nMASTERBITMAP=MASTER.PNG\n";
  {
    // The default: generated soft shadows; their widths from the shadow's size and offsets.
    TextSkin s(master);
    ASSERT_EQ(s.d->oe.size(), 2u);
    const TacOutEffData& sh = s.d->oe[1];
    ASSERT_GE(sh.Mask, 0);
    const TsMaskData& m = s.d->ma[sh.Mask];
    ASSERT_NE(m.Bmp, nullptr);
    EXPECT_EQ(m.Bmp->Height() % 2, 0);  // colours above, the shadow below
    EXPECT_EQ(m.MaskType, 1);
    EXPECT_GE(sh.WidthL, 0);
    EXPECT_EQ(sh.WidthL, (m.Bmp->Width() + sh.OffsetL - sh.OffsetR - 1) / 2);
  }
  {
    TextSkin s(master + L"SH_SOURCE=0\nLO_SOURCE=1\nLO_MASK=^0000^0000^0008^0008^0002^0002^0002^0002^1^0^0^0\n");
    EXPECT_EQ(s.d->oe[1].Mask, -1);
    ASSERT_GE(s.d->oe[0].Mask, 0);
    EXPECT_EQ(s.d->ma[s.d->oe[0].Mask].Bmp, nullptr);  // a cut of the master bitmap at its density
  }
  {
    TextSkin s(master + L"LO_SOURCE=1\nLO_MASK=^0000^0000^0008^0008^0002^0002^0002^0002^1^0^0^0\n", 192,
               TsSkinManager::sm200);
    const TsMaskData& m = s.d->ma.at(s.d->oe[0].Mask);
    ASSERT_NE(m.Bmp, nullptr);  // resampled with the box filter
    EXPECT_EQ(m.Bmp->Width(), 16);
    EXPECT_EQ(m.WL, 4);
  }
}

TEST(SkinConstants, ReadGlobalMetricTable) {
  TextSkin s(L"[GLOBALINFO]\nMASTERBITMAP=MASTER.PNG\nA=10\nB*150=30\nEXBORDER*150=^0000^0000^0008^0008^0002^0002^0002^0002^1^0^0^0\n",
             144, TsSkinManager::sm150);
  const int ex = s.d->ExBorder;
  ASSERT_GE(ex, 0);
  struct Case {
    const wchar_t* Key;
    int Default, Mask;
    bool Scale;
    int Result;
  } cases[] = {
      {L"A", 5, -1, true, 15},   // plain key at step 2, scaled
      {L"A", 5, -1, false, 10},  // not scaled
      {L"B", 5, -1, true, 30},   // the step's own key, as written
      {L"C", 5, -1, true, 7},    // the default, scaled
      {L"B", 5, ex, true, 30},   // the mask's step: 30 * 144 / 144
      {L"A", 5, ex, true, 15},   // the plain key over 96
  };
  for (const Case& c : cases) EXPECT_EQ(s.d->ReadGlobalMetric(c.Key, c.Default, c.Mask, c.Scale), c.Result) << c.Key;
  TextSkin base(L"[GLOBALINFO]\nA=10\n");
  EXPECT_EQ(base.d->ReadGlobalMetric(L"C", 5, -1, true), 5);  // step 0: the default as it is
}

// ---------------------------------------------------------------------------
// Damaged skins: each loads, with the mask removed, the value clamped or the default taken
// ---------------------------------------------------------------------------

TEST(SkinDamaged, EveryVariantLoads) {
  const std::wstring master = L"[GLOBALINFO]\nMASTERBITMAP=MASTER.PNG\n";
  struct Case {
    const wchar_t* Name;
    std::wstring Text;
    int PPI;
    std::function<void(TextSkin&)> Check;
  };
  const Case cases[] = {
      {L"mask outside the master bitmap", master + L"[S]\nBORDERSMASK=^0010^0010^0030^0030^0002^0002^0002^0002^1^0^0^0\n",
       96, [](TextSkin& s) { EXPECT_LT(s.d->GetMaskIndex(L"S", L"BORDERSMASK"), 0); }},
      {L"image count 0 at 144", master + L"[S]\nBORDERSMASK=^0000^0000^0012^0012^0003^0003^0003^0003^0^0^0^0\n", 144,
       [](TextSkin& s) {
         const int i = s.d->GetMaskIndex(L"S", L"BORDERSMASK");
         ASSERT_GE(i, 0);
         EXPECT_EQ(s.d->ma[i].ImageCount, 1);
         EXPECT_GT(s.d->ma[i].Width, 0);
       }},
      {L"margins wider than the cell", master + L"[S]\nBORDERSMASK=^0000^0000^0008^0008^0020^0020^0020^0020^1^0^0^0\n",
       96, [](TextSkin& s) {
         const TsMaskData& m = s.d->ma.at(s.d->GetMaskIndex(L"S", L"BORDERSMASK"));
         for (int w : {m.WL, m.WT, m.WR, m.WB}) EXPECT_TRUE(w >= 0 && w <= 8) << w;
         EXPECT_LE(m.WL + m.WR, m.Width);
       }},
      {L"BMP with absurd header fields", L"[S]\nBORDERSMASK=!ABSURD.BMP!1!0!0!0002!0002!0002!0002!0\n", 96,
       [](TextSkin& s) { EXPECT_LT(s.d->GetMaskIndex(L"S", L"BORDERSMASK"), 0); }},
      {L"huge shadow radius", L"[GLOBALINFO]\nWSHRAD=2000000000\n", 96,
       [](TextSkin& s) { EXPECT_EQ(s.d->WndShadowRadius, 255); }},
      {L"huge glow count", L"[GLOBALINFO]\nBICONMAXGLOW=100000000\n", 96,
       [](TextSkin& s) { EXPECT_EQ(s.d->TitleGlows[tgMax].size(), 16u); }},
      {L"text colour not a number", L"[GLOBALINFO]\nBTNCOLOR1NORMAL=abc\nCOLOR=0\n", 96,
       [](TextSkin& s) { EXPECT_EQ(static_cast<std::uint32_t>(s.m.Palette[pcBtnColor1Normal]), 0xFF000000u); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TextSkin s(c.Text, c.PPI, c.PPI == 96 ? TsSkinManager::smOldMode : TsSkinManager::sm150);
    ASSERT_FALSE(s.d->gd.empty());
    c.Check(s);
  }
}

TEST(SkinDamaged, SeveralDensitiesAdjustEachObjectOnce) {
  FormatSkin s;
  s.m.Options.ScaleMode.Store(TsSkinManager::smVCL);
  s.m.FBrightness = 40;
  s.Load(144);
  TacSkinData* d96 = s.m.SkinDataArray[0].get();
  // The 96 object's own image was brightened once, by its own load.
  const TsMaskData& border = d96->ma.at(d96->GetMaskIndex(L"PNGSEC", L"BORDERSMASK"));
  EXPECT_EQ(Pixel(border.Bmp, 1, 1), Premultiplied(ChangeColorBrightness(0x80C86432u, 40)));
  // The master bitmap was read anew and adjusted once by the last load.
  EXPECT_EQ(Pixel(s.m.MasterBitmap(), 60, 40), ChangeColorBrightness(0xFFC8C8C8u, 40));
}

// ---------------------------------------------------------------------------
// The program's own skin, as the program carries it
// ---------------------------------------------------------------------------

namespace {

double Luminance(TColor c) {
  auto channel = [](int v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  const auto u = static_cast<std::uint32_t>(c);
  return 0.2126 * channel(u & 0xFF) + 0.7152 * channel((u >> 8) & 0xFF) + 0.0722 * channel((u >> 16) & 0xFF);
}

double Contrast(TColor a, TColor b) {
  const double x = Luminance(a), y = Luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// Pixels whose colour leans toward the key colour (red and blue high, green low) without
// being it, in the master bitmap and the cached images.
int FringedPixels(TsSkinManager& m, TacSkinData* d) {
  std::vector<TBitmap*> bitmaps{m.MasterBitmap()};
  for (const TacBmpData& e : d->BmpArray)
    if (e.Bmp) bitmaps.push_back(e.Bmp.get());
  int fringed = 0;
  for (TBitmap* b : bitmaps) {
    TPixels32 p;
    if (!GetPixels32(b, p)) continue;
    for (int y = 0; y < p.Height; ++y)
      for (int x = 0; x < p.Width; ++x) {
        const std::uint32_t v = p.Row(y)[x];
        if (v == 0x00FF00FFu || (v >> 24) == 0) continue;
        const int r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, bl = v & 0xFF, a = v >> 24;
        // premultiplied glyphs: judge the colour against its own alpha
        if (r * 255 > 180 * a && bl * 255 > 180 * a && g * 255 < 90 * a) ++fringed;
      }
  }
  return fringed;
}

struct DefaultSkin {
  explicit DefaultSkin(TsSkinManager::TacScaleMode mode = TsSkinManager::smOldMode, int ppi = 96) {
    m.SetSkinDirectory(L"no such folder");
    m.FSkinName = L"Lusmere II (internal)";  // stored only: LoadSkin loads
    m.Options.ScaleMode.Store(mode);
    TsStoredSkin* skin = m.InternalSkins().Add();
    skin->Name = L"Lusmere II (internal)";
    skin->PackedData = std::make_unique<TResourceStream>(nullptr, L"SKIN_LUSMERE_II");
    d = LoadSkin(m, ppi);
  }
  TsSkinManager m;
  TacSkinData* d = nullptr;
};

}  // namespace

TEST(DefaultSkin, EveryMaskLoadsInsideItsBitmap) {
  DefaultSkin s;
  ASSERT_TRUE(s.m.SkinIsPacked);
  EXPECT_DOUBLE_EQ(s.m.SkinCommonInfo.Version, 14.10);
  EXPECT_EQ(s.m.SkinCommonInfo.MainFont, L"Tahoma");
  const TMemIniFile& ini = *s.m.SkinFile;
  int definitions = 0;
  for (const std::wstring& section : ini.ReadSections())
    for (const std::wstring& key : ini.ReadSection(section)) {
      if (key.find(L'*') != std::wstring::npos || key == L"MASTERBITMAP") continue;
      if (!IsMaskDefinition(UpperCase(ini.ReadString(section, key, L"")))) continue;
      ++definitions;
      EXPECT_GE(s.d->GetMaskIndex(section, key), 0) << section << L"." << key;
    }
  EXPECT_GT(definitions, 30);
  for (const TsMaskData& m : s.d->ma) {
    const TBitmap* owner = m.Bmp ? m.Bmp : s.m.MasterBitmap();
    EXPECT_TRUE(!m.R.IsEmpty() && m.R.Left >= 0 && m.R.Top >= 0 && m.R.Right <= owner->Width() &&
                m.R.Bottom <= owner->Height())
        << m.ClassName << L"." << m.PropertyName;
  }
  for (const wchar_t* name :
       {L"FORM", L"FORMTITLE", L"DIALOG", L"PANEL", L"PANEL_LOW", L"GROUPBOX", L"BUTTON", L"EDIT", L"CHECKBOX",
        L"SELECTION", L"MAINMENU", L"MENUITEM", L"ICOLINE", L"DIVIDER", L"DIVIDERV", L"HINT", L"SCROLLBAR1H",
        L"SCROLLBAR1V", L"SCROLLBAR2H", L"SCROLLBAR2V", L"SCROLLSLIDERH", L"SCROLLSLIDERV", L"SCROLLBTNLEFT",
        L"SCROLLBTNTOP", L"SCROLLBTNRIGHT", L"SCROLLBTNBOTTOM", L"COMBOBOX", L"COMBOBTN", L"GAUGE", L"PROGRESSH",
        L"PROGRESSV", L"TABTOP", L"PAGECONTROL", L"TABSHEET", L"TOOLBAR", L"STATUSBAR", L"SPEEDBUTTON",
        L"SPEEDBUTTON_SMALL", L"TOOLBUTTON", L"UPDOWNBTN", L"TRACKBAR"})
    EXPECT_GE(s.d->GetSkinIndex(name), 0) << name;
  for (int t = tgCloseAlone; t <= tgSmallHelp; ++t) EXPECT_GE(s.d->TitleGlyphs[t], 0) << t;
  for (int i : s.d->CheckBox) EXPECT_GE(i, 0);
  for (int i : s.d->RadioButton) EXPECT_GE(i, 0);
  EXPECT_GE(s.d->GripRightBottom, 0);
  EXPECT_GE(s.d->Sliders[0].MaskIndex, 0);
  EXPECT_GE(s.d->TrackBar[1][2], 0);
}

TEST(DefaultSkin, TextIsReadableAndNoEdgeIsFringedTowardMagenta) {
  DefaultSkin s;
  for (const TsGeneralData& g : s.d->gd) {
    if (g.States < 1) continue;
    for (int k = 0; k < std::min(g.States, 3); ++k) {
      const TsGenState& st = g.Props[k];
      std::vector<TColor> behind{st.Color};
      for (const TsGradPoint& p : st.GradientArray) behind.push_back(static_cast<TColor>(p.Color & 0xFFFFFF));
      for (TColor c : behind)
        EXPECT_GE(Contrast(st.FontColor.Color, c), 4.5) << g.ClassName << L" state " << k;
    }
  }
  EXPECT_EQ(FringedPixels(s.m, s.d), 0);
}

TEST(DefaultSkin, DrawnGlyphsServeTheirDensitiesWithoutResampling) {
  for (auto [mode, ppi] : {std::pair{TsSkinManager::sm150, 144}, std::pair{TsSkinManager::sm200, 192}}) {
    DefaultSkin s(mode, ppi);
    ASSERT_EQ(s.d->PPI, ppi);
    for (int i : {s.d->TitleGlyphs[tgClose], s.d->TitleGlyphs[tgHelp], s.d->CheckBox[1], s.d->RadioButton[0],
                  s.d->GripRightBottom}) {
      ASSERT_GE(i, 0);
      EXPECT_EQ(s.d->ma[i].DivPPI, ppi) << s.d->ma[i].PropertyName;
      EXPECT_EQ(s.d->ma[i].MulPPi, ppi);
    }
    // The window frame and title (their corners are key pixels) are drawn for every step too.
    for (const wchar_t* section : {L"FORM", L"FORMTITLE"})
      EXPECT_EQ(s.d->ma.at(s.d->GetMaskIndex(section, L"BORDERSMASK")).DivPPI, ppi) << section;
    EXPECT_EQ(FringedPixels(s.m, s.d), 0);
    // Everything else is resampled from 96.
    const int button = s.d->GetMaskIndex(L"BUTTON", L"BORDERSMASK");
    ASSERT_GE(button, 0);
    EXPECT_EQ(s.d->ma[button].DivPPI, 96);
    ASSERT_NE(s.d->ma[button].Bmp, nullptr);
  }
}
