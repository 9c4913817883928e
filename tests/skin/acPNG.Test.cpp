#include "skin/graphics/acPNG.h"
#include "ReaderFixtures.h"
#include "skin/graphics/sGraphUtils.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {
std::unique_ptr<TPNGGraphic> LoadFixture(const std::string& name) {
  auto png = std::make_unique<TPNGGraphic>();
  TMemoryStream stream(ReaderFixtureBytes(L"png\\" + Utf8ToWide(name) + L".png"));
  png->LoadFromStream(stream);
  return png;
}

std::uint32_t PaletteGrey(const TPNGGraphic& png, int index) {
  const TPaletteColor& c = png.Palette().at(static_cast<std::size_t>(index));
  EXPECT_TRUE(c.Red == c.Green && c.Green == c.Blue);
  return c.Red;
}
}  // namespace

// Every colour type and bit depth, plain and interlaced, with tRNS, gAMA and odd chunks,
// against the 32-bit pixels that the tool computed for them; damaged files end in our
// own exceptions, never in a crash or a foreign error.
TEST(PNGReader, FixturesDecodeToTheExpectedPixelsOrFailCleanly) {
  auto cases = ReaderFixtureCases(L"png\\cases.txt");
  ASSERT_GT(cases.size(), 40u);
  for (const auto& [name, outcome] : cases) {
    SCOPED_TRACE(name);
    TMemoryStream stream(ReaderFixtureBytes(L"png\\" + Utf8ToWide(name) + L".png"));
    TBitmap32Buffer bitmap;
    if (outcome == "error") {
      try {
        LoadPngStreamToBitmap(bitmap, stream);
        ADD_FAILURE() << "loaded without error";
      } catch (const Exception&) {
      } catch (const std::exception& e) {
        ADD_FAILURE() << "foreign exception " << e.what();
      }
      continue;
    }
    ASSERT_NO_THROW(LoadPngStreamToBitmap(bitmap, stream));
    EXPECT_EQ(stream.Position(), stream.Size()) << "stands behind IEND";
    const std::wstring expectedFile = ReaderFixture(L"png\\" + Utf8ToWide(name) + L".bgra");
    if (!FileExists(expectedFile)) continue;
    const std::string expected = ReadAllBytes(expectedFile);
    std::uint32_t w, h;
    std::memcpy(&w, expected.data(), 4);
    std::memcpy(&h, expected.data() + 4, 4);
    ASSERT_EQ(bitmap.Width(), static_cast<int>(w));
    ASSERT_EQ(bitmap.Height(), static_cast<int>(h));
    const auto& pixels = bitmap.Pixels();
    ASSERT_EQ(pixels.size(), expected.size() - 8);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
      const auto* e = reinterpret_cast<const std::uint8_t*>(expected.data() + 8 + i);
      if (std::memcmp(e, pixels.data() + i, 4) != 0) {
        ADD_FAILURE() << "pixel " << (i / 4) % w << "," << (i / 4) / w << " is " << bitmap.Pixel((i / 4) % w, (i / 4) / w)
                      << " instead of B" << int(e[0]) << " G" << int(e[1]) << " R" << int(e[2]) << " A" << int(e[3]);
        break;
      }
    }
  }
}

TEST(PNGReader, BitmapFormatsFollowTheImage) {
  struct Case {
    const char* name;
    TPngPixelFormat format;
    std::size_t paletteSize;
  } cases[] = {{"ct0_d1", TPngPixelFormat::pf1bit, 2},   {"ct0_d2", TPngPixelFormat::pf4bit, 16}, {"ct0_d4", TPngPixelFormat::pf4bit, 16}, {"ct0_d16", TPngPixelFormat::pf8bit, 256},
               {"ct2_d8", TPngPixelFormat::pf24bit, 0},  {"ct2_d16", TPngPixelFormat::pf24bit, 0}, {"ct3_d2", TPngPixelFormat::pf4bit, 16}, {"ct3_d8", TPngPixelFormat::pf8bit, 256},
               {"ct4_d8", TPngPixelFormat::pf8bit, 256}, {"ct6_d16", TPngPixelFormat::pf32bit, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto png = LoadFixture(c.name);
    EXPECT_EQ(png->PixelFormat(), c.format);
    EXPECT_EQ(png->Palette().size(), c.paletteSize);
    EXPECT_EQ(png->Width(), 13);
    EXPECT_EQ(png->Height(), 11);
  }
  // A 2-bit grey image: levels x5 in a 4-bit bitmap whose ramp runs in steps of 17.
  auto grey = LoadFixture("ct0_d2");
  EXPECT_EQ(PaletteGrey(*grey, 5), 85u);
  EXPECT_EQ(PaletteGrey(*grey, 15), 255u);
  for (int x = 0; x < 13; ++x) EXPECT_EQ(((grey->ScanLine(0)[x / 2] >> (x % 2 ? 0 : 4)) & 15) % 5, 0);
}

TEST(PNGReader, CanLoadNeedsMoreThanTheSignatureAndKeepsThePosition) {
  const std::string signature("\x89PNG\r\n\x1a\n", 8);
  TMemoryStream exact("xx" + signature), more("xx" + signature + "I"), other("xx" + std::string(9, 'P'));
  for (TMemoryStream* s : {&exact, &more, &other}) s->SetPosition(2);
  EXPECT_FALSE(TPNGGraphic::CanLoad(exact));
  EXPECT_TRUE(TPNGGraphic::CanLoad(more));
  EXPECT_FALSE(TPNGGraphic::CanLoadFromStream(other));
  for (TMemoryStream* s : {&exact, &more, &other}) EXPECT_EQ(s->Position(), 2);
  EXPECT_TRUE(TPNGGraphic::CanLoad(ReaderFixture(L"png\\ct6_d8.png")));
  EXPECT_FALSE(TPNGGraphic::CanLoad(ReaderFixture(L"png\\missing.png")));
}

TEST(PNGReader, PropertiesTransparencyAndProgress) {
  auto png = std::make_unique<TPNGGraphic>();
  std::vector<std::wstring> events;
  png->SetOnProgress([&](TPNGGraphic&, TProgressStage stage, int percent, const std::wstring& msg) {
    EXPECT_EQ(percent, 0);
    events.push_back(std::to_wstring(static_cast<int>(stage)) + L":" + msg);
  });
  TMemoryStream stream(ReaderFixtureBytes(L"png\\ct3_d4_trns.png"));
  png->LoadFromStream(stream);
  EXPECT_EQ(events, (std::vector<std::wstring>{L"0:Preparing...", L"2:", L"0:Transfering...", L"2:"}));
  const TImageProperties& p = png->ImageProperties();
  EXPECT_EQ(p.ColorScheme, csIndexed);
  EXPECT_EQ(p.BitsPerSample, 4);
  EXPECT_EQ(p.Compression, ctLZ77);
  EXPECT_EQ(p.Options, TImageOptions(ioBigEndian));
  ASSERT_EQ(png->Transparency().size(), 256u);
  EXPECT_EQ(png->Transparency()[9], 9 * 17);
  EXPECT_EQ(png->Transparency()[10], 255);
  EXPECT_EQ(png->TransparentColor(), TPNGGraphic::NoColor);
  EXPECT_EQ(png->BackgroundColor(), 0xFFFFFFu);

  auto bk = LoadFixture("ct6_ancillary");
  EXPECT_EQ(bk->BackgroundColor(), 0x030201u);
}

TEST(PNGReader, KeyColourAlphaOnlyForATransparentTarget) {
  auto png = LoadFixture("ct2_d8");
  TBitmap32Buffer plain, keyed;
  keyed.SetTransparent(true);
  CopyPngToBitmap32(plain, *png);
  CopyPngToBitmap32(keyed, *png);
  const std::uint32_t key = keyed.Pixel(0, keyed.Height() - 1) & 0xFFFFFF;
  int transparent = 0;
  for (int y = 0; y < keyed.Height(); ++y)
    for (int x = 0; x < keyed.Width(); ++x) {
      EXPECT_EQ(plain.Pixel(x, y) >> 24, 255u);
      bool isKey = (keyed.Pixel(x, y) & 0xFFFFFF) == key;
      EXPECT_EQ(keyed.Pixel(x, y) >> 24, isKey ? 0u : 255u);
      transparent += isKey;
    }
  EXPECT_GE(transparent, 1);
}

TEST(PNGReader, GammaOfOneImageDoesNotLeakIntoTheNextLoad) {
  TPNGGraphic png;
  TMemoryStream gamma(ReaderFixtureBytes(L"png\\ct2_d8_gamma.png"));
  png.LoadFromStream(gamma);
  EXPECT_TRUE(png.ImageProperties().Options & ioUseGamma);
  TMemoryStream plain(ReaderFixtureBytes(L"png\\ct2_d8.png"));
  png.LoadFromStream(plain);
  EXPECT_FALSE(png.ImageProperties().Options & ioUseGamma);
  TBitmap32Buffer again, fresh;
  CopyPngToBitmap32(again, png);
  TMemoryStream plain2(ReaderFixtureBytes(L"png\\ct2_d8.png"));
  LoadPngStreamToBitmap(fresh, plain2);
  EXPECT_EQ(again.Pixels(), fresh.Pixels());
}

TEST(PNGReader, ImageDataEndingEarlyKeepsTheBackground) {
  auto png = LoadFixture("zero_length_idat");
  ASSERT_EQ(png->PixelFormat(), TPngPixelFormat::pf24bit);
  for (int y = 0; y < png->Height(); ++y)
    for (int x = 0; x < png->Width() * 3; ++x) ASSERT_EQ(png->ScanLine(y)[x], 0xFF);
}

// ---- TColorManager ---------------------------------------------------------------

TEST(ColorManager, TwoBitIndicesSpreadToFourBits) {
  TColorManager cm;
  cm.SetSourceColorScheme(csIndexed);
  cm.SetTargetColorScheme(csIndexed);
  cm.SetSourceSamplesPerPixel(1);
  cm.SetTargetSamplesPerPixel(1);
  cm.SetSourceBitsPerSample(2);
  cm.SetTargetBitsPerSample(4);
  const std::uint8_t source[1] = {0x1B};  // 0, 1, 2, 3
  std::uint8_t target[2] = {};
  cm.ConvertRow(source, target, 4, 0xFF);
  EXPECT_EQ(target[0], 0x05);
  EXPECT_EQ(target[1], 0xAF);
  const std::uint8_t plte[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const void* data[1] = {plte};
  TColorPalette palette = cm.CreateColorPalette(TColorManager::TSource(data), pfInterlaced8Triple, 4, false);
  ASSERT_EQ(palette.size(), 16u);
  EXPECT_EQ(palette[0], (TPaletteColor{3, 2, 1, 0}));
  EXPECT_EQ(palette[5], (TPaletteColor{6, 5, 4, 0}));
  EXPECT_EQ(palette[10], (TPaletteColor{9, 8, 7, 0}));
  EXPECT_EQ(palette[15], (TPaletteColor{12, 11, 10, 0}));
}

TEST(ColorManager, MaskFillsEveryOtherPixel) {
  TColorManager cm;
  cm.SetSourceColorScheme(csRGB);
  cm.SetTargetColorScheme(csBGR);
  std::uint8_t source[8 * 3], target[16 * 3];
  for (int i = 0; i < 24; ++i) source[i] = static_cast<std::uint8_t>(i);
  std::memset(target, 0xEE, sizeof target);
  cm.ConvertRow(source, target, 16, 0x55);
  for (int px = 0; px < 16; ++px) {
    if (px % 2 == 0) {
      EXPECT_EQ(target[px * 3], 0xEE) << px;
    } else {
      int n = px / 2;
      EXPECT_EQ(target[px * 3], source[n * 3 + 2]) << px;
      EXPECT_EQ(target[px * 3 + 2], source[n * 3]) << px;
    }
  }
}

TEST(ColorManager, GammaNeverTouchesAlpha) {
  TColorManager cm;
  cm.SetGamma(1.0f);
  cm.SetSourceColorScheme(csRGBA);
  cm.SetTargetColorScheme(csBGRA);
  cm.SetSourceSamplesPerPixel(4);
  cm.SetTargetSamplesPerPixel(4);
  cm.SetTargetOptions(coApplyGamma);
  const std::uint8_t source[4] = {100, 50, 25, 77};
  std::uint8_t target[4] = {};
  cm.ConvertRow(source, target, 1, 0xFF);
  EXPECT_EQ(target[3], 77);
  EXPECT_EQ(target[2], cm.GammaTable()[100]);
  EXPECT_NE(target[2], 100);
}

TEST(ColorManager, GreyAlphaRulesAndSixteenBitSwap) {
  TColorManager cm;
  cm.SetSourceColorScheme(csGA);
  cm.SetTargetColorScheme(csGA);
  cm.SetSourceSamplesPerPixel(1);
  cm.SetTargetSamplesPerPixel(1);
  std::uint8_t in[4] = {10, 200, 20, 100}, out[2] = {};
  for (int attempt = 0; attempt < 2; ++attempt) {  // the refusal is repeated: nothing was settled
    try {
      cm.ConvertRow(in, out, 2, 0xFF);
      ADD_FAILURE();
    } catch (const EColorConversionError& e) {
      EXPECT_EQ(e.Message(), L"Conversion between indexed and non-indexed pixel formats is not supported.");
    }
  }
  cm.SetTargetColorScheme(csIndexed);
  cm.ConvertRow(in, out, 2, 0xFF);
  EXPECT_EQ(out[0], 10);
  EXPECT_EQ(out[1], 20);

  cm.SetSourceColorScheme(csG);
  cm.SetTargetColorScheme(csG);
  cm.SetSourceBitsPerSample(16);
  cm.SetTargetBitsPerSample(16);
  cm.SetSourceOptions(coNeedByteSwap);
  const std::uint8_t g16[4] = {0x12, 0x34, 0xAB, 0xCD};
  std::uint8_t g16out[4] = {};
  cm.ConvertRow(g16, g16out, 2, 0xFF);
  EXPECT_EQ(std::vector<int>(g16out, g16out + 4), (std::vector<int>{0x34, 0x12, 0xCD, 0xAB}));
}

TEST(ColorManager, SettersCheckTheirRanges) {
  TColorManager cm;
  EXPECT_NO_THROW(cm.SetSourceBitsPerSample(3));
  EXPECT_EQ(cm.SourceBitsPerSample(), 3);
  try {
    cm.SetTargetBitsPerSample(17);
    ADD_FAILURE();
  } catch (const EColorConversionError& e) {
    EXPECT_EQ(e.Message(), L"Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
  }
  EXPECT_EQ(cm.TargetBitsPerSample(), 8);
  EXPECT_THROW(cm.SetSourceSamplesPerPixel(5), EColorConversionError);
  EXPECT_EQ(cm.TargetPixelFormat(), TPngPixelFormat::pf24bit);
  cm.SetTargetSamplesPerPixel(4);
  EXPECT_EQ(cm.TargetPixelFormat(), TPngPixelFormat::pf32bit);
  cm.SetSourceColorScheme(csCMY);
  cm.SetTargetColorScheme(csBGR);
  EXPECT_THROW(cm.ConvertRow(nullptr, nullptr, 0, 0xFF), EColorConversionError);
}

TEST(ColorManager, CmykAndYCbCrRows) {
  TColorManager cm;
  cm.SetSourceColorScheme(csCMYK);
  cm.SetSourceSamplesPerPixel(4);
  const std::uint8_t cmyk[4] = {255, 0, 0, 0};  // cyan
  std::uint8_t bgr[3] = {};
  cm.ConvertRow(cmyk, bgr, 1, 0xFF);
  EXPECT_EQ(std::vector<int>(bgr, bgr + 3), (std::vector<int>{255, 255, 0}));
  cm.SetSourceColorScheme(csYCbCr);
  cm.SetSourceSamplesPerPixel(3);
  const std::uint8_t ycc[3] = {128, 128, 128};  // neutral grey
  cm.ConvertRow(ycc, bgr, 1, 0xFF);
  EXPECT_EQ(std::vector<int>(bgr, bgr + 3), (std::vector<int>{128, 128, 128}));
}

// The framework bitmap gets the same pixels as the plain buffer, row for row.
TEST(PNGReader, LoadsIntoDibSectionBitmap) {
  const std::wstring file = ReaderFixture(L"png\\" + Utf8ToWide(ReaderFixtureCases(L"png\\cases.txt").front().first) + L".png");
  TBitmap32Buffer buffer;
  buffer.SetTransparent(true);
  {
    TMemoryStream stream(ReadAllBytes(file));
    LoadPngStreamToBitmap(buffer, stream);
  }
  TBitmap bitmap;
  bitmap.SetTransparent(true);
  LoadPngFileToBitmap(bitmap, file);
  EXPECT_TRUE(bitmap.Transparent());
  ASSERT_EQ(bitmap.PixelFormat(), pf32bit);
  ASSERT_EQ(bitmap.Width(), buffer.Width());
  ASSERT_EQ(bitmap.Height(), buffer.Height());
  for (int y = 0; y < bitmap.Height(); ++y)
    EXPECT_EQ(std::memcmp(bitmap.ScanLine(y), buffer.Pixels().data() + std::size_t(y) * buffer.Width() * 4,
                          std::size_t(buffer.Width()) * 4), 0) << "row " << y;
}
