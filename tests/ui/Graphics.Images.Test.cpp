// Bitmaps read from BMP files, JPEG pictures drawn into bitmaps, the transparent colour.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/runtime/Streams.h"
#include "platform/ui/Graphics.Bmp.h"
#include "platform/ui/Graphics.Jpeg.h"
#include "platform/ui/Graphics.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

void Put16(std::string& s, unsigned v) { s += char(v & 0xFF), s += char(v >> 8 & 0xFF); }
void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char(v >> (8 * i) & 0xFF);
}

// A BMP file: Pixel(x, y) gives the raw value of a pixel (a palette index, or the packed bits).
struct BmpFixture {
  int Width = 3, Height = 2, Bpp = 24;
  bool TopDown = false;
  unsigned Compression = 0;  // BI_RGB
  std::vector<std::uint32_t> Masks;  // BITFIELDS masks after the 40-byte header
  std::vector<std::uint32_t> Palette;  // 0x00RRGGBB
  std::function<std::uint32_t(int, int)> Pixel;
};

std::string MakeBmp(const BmpFixture& b) {
  const int rowBytes = ((b.Width * b.Bpp + 31) / 32) * 4;
  std::string pixels;
  for (int row = 0; row < b.Height; ++row) {
    const int y = b.TopDown ? row : b.Height - 1 - row;
    std::string line(rowBytes, '\0');
    for (int x = 0; x < b.Width; ++x) {
      const std::uint32_t v = b.Pixel(x, y);
      if (b.Bpp < 8) {
        const int bit = x * b.Bpp;
        line[bit / 8] = char(line[bit / 8] | v << (8 - b.Bpp - bit % 8));
      } else {
        for (int i = 0; i < b.Bpp / 8; ++i) line[x * b.Bpp / 8 + i] = char(v >> (8 * i) & 0xFF);
      }
    }
    pixels += line;
  }
  std::string info;
  Put32(info, 40);
  Put32(info, b.Width);
  Put32(info, b.TopDown ? -b.Height : b.Height);
  Put16(info, 1);
  Put16(info, b.Bpp);
  Put32(info, b.Compression);
  Put32(info, static_cast<std::uint32_t>(pixels.size()));
  Put32(info, 2835);
  Put32(info, 2835);
  Put32(info, static_cast<std::uint32_t>(b.Palette.size()));
  Put32(info, 0);
  for (std::uint32_t m : b.Masks) Put32(info, m);
  for (std::uint32_t c : b.Palette) Put32(info, c);
  std::string file = "BM";
  Put32(file, static_cast<std::uint32_t>(14 + info.size() + pixels.size()));
  Put32(file, 0);
  Put32(file, static_cast<std::uint32_t>(14 + info.size()));
  return file + info + pixels;
}

std::uint32_t PixelOf(TBitmap& bmp, int x, int y) {
  const std::uint8_t* p = bmp.Bits() + static_cast<std::ptrdiff_t>(y) * bmp.Stride() + x * (bmp.BitsPerPixel() / 8);
  std::uint32_t v = p[0] | p[1] << 8 | p[2] << 16;
  if (bmp.BitsPerPixel() == 32) v |= std::uint32_t(p[3]) << 24;
  return v;
}

std::string Jpeg(int width, int height, int components) {
  jpeg_compress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = components;
  info.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(width * components);
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < width * components; ++x) row[x] = components == 3 ? (x % 3 == 0 ? 200 : 40) : 90;
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  std::string bytes(reinterpret_cast<char*>(out), size);
  jpeg_destroy_compress(&info);
  free(out);
  return bytes;
}

}  // namespace

TEST(BmpReader, EveryDepthLayoutAndRowOrder) {
  // Expected pixel (x, y) of every case: red x * 100, green y * 100, blue 7.
  auto rgb = [](int x, int y) { return std::uint32_t(x * 100) << 16 | std::uint32_t(y * 100) << 8 | 7; };
  std::vector<std::uint32_t> palette;
  for (int i = 0; i < 6; ++i) palette.push_back(rgb(i % 3, i / 3));
  auto index = [](int x, int y) { return std::uint32_t(y * 3 + x); };
  struct Case {
    const char* Name;
    BmpFixture Fixture;
    int Bits;
  };
  const Case cases[] = {
      {"8 bits", {3, 2, 8, false, 0, {}, palette, index}, 24},
      {"4 bits", {3, 2, 4, false, 0, {}, palette, index}, 24},
      {"24 bits", {3, 2, 24, false, 0, {}, {}, rgb}, 24},
      {"24 bits top-down", {3, 2, 24, true, 0, {}, {}, rgb}, 24},
      {"32 bits", {3, 2, 32, false, 0, {}, {}, rgb}, 32},
      {"32 bits with alpha", {3, 2, 32, false, 0, {}, {}, [&](int x, int y) { return rgb(x, y) | 0x80000000u; }}, 32},
      {"32 bits as bit fields", {3, 2, 32, false, 3, {0xFF, 0xFF00, 0xFF0000}, {},
                                 [&](int x, int y) {
                                   const std::uint32_t v = rgb(x, y);
                                   return (v >> 16 & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16;
                                 }}, 32},
      {"16 bits 5-6-5", {3, 2, 16, false, 3, {0xF800, 0x07E0, 0x001F}, {},
                         [](int x, int y) { return std::uint32_t((x * 100 >> 3) << 11 | (y * 100 >> 2) << 5 | 7 >> 3); }},
       24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryStream stream(MakeBmp(c.Fixture));
    TBitmap bmp;
    bmp.LoadFromStream(stream);
    ASSERT_EQ(bmp.Width(), 3);
    ASSERT_EQ(bmp.Height(), 2);
    EXPECT_EQ(bmp.BitsPerPixel(), c.Bits);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        std::uint32_t want = rgb(x, y) | (c.Bits == 32 ? 0xFF000000u : 0);
        if (std::string(c.Name) == "32 bits with alpha") want = rgb(x, y) | 0x80000000u;
        if (c.Fixture.Bpp == 16) {
          const std::uint32_t got = PixelOf(bmp, x, y);
          EXPECT_NEAR(int(got >> 16 & 0xFF), x * 100, 8);
          EXPECT_NEAR(int(got >> 8 & 0xFF), y * 100, 4);
          continue;
        }
        EXPECT_EQ(PixelOf(bmp, x, y), want) << x << "," << y;
      }
  }
  // 1 bit: a black and white checker.
  BmpFixture mono{3, 2, 1, false, 0, {}, {0x000000, 0xFFFFFF}, [](int x, int y) { return std::uint32_t((x + y) & 1); }};
  TMemoryStream stream(MakeBmp(mono));
  TBitmap bmp;
  bmp.LoadFromStream(stream);
  EXPECT_EQ(PixelOf(bmp, 0, 0), 0u);
  EXPECT_EQ(PixelOf(bmp, 1, 0), 0xFFFFFFu);
  EXPECT_EQ(PixelOf(bmp, 0, 1), 0xFFFFFFu);
}

TEST(BmpReader, BadFilesAreRefusedAndLeaveTheBitmap) {
  BmpFixture good{3, 2, 24, false, 0, {}, {}, [](int, int) { return 0x102030u; }};
  const std::string base = MakeBmp(good);
  auto with32 = [&](std::size_t at, std::uint32_t v) {
    std::string s = base;
    for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i) & 0xFF);
    return s;
  };
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"short", base.substr(0, 20)},
      {"signature", "XX" + base.substr(2)},
      {"header size", with32(14, 99)},
      {"huge width", with32(18, 0x7FFFFFFF)},
      {"huge height", with32(22, 0x80000001)},
      {"zero width", with32(18, 0)},
      {"area over the limit", with32(22, 5000000)},
      {"pixel offset past the end", with32(10, 0xFFFFFFF0)},
      {"pixels cut short", base.substr(0, base.size() - 3)},
      {"run-length encoded", with32(30, 1)},
      {"unknown compression", with32(30, 9)},
      {"colour table past the end", MakeBmp({3, 2, 8, false, 0, {}, {0}, [](int, int) { return 0u; }}).substr(0, 60)},
      {"too many colours", [&] {
         BmpFixture b{3, 2, 4, false, 0, {}, std::vector<std::uint32_t>(17, 0), [](int, int) { return 0u; }};
         return MakeBmp(b);
       }()},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    TBitmap bmp;
    bmp.SetPixelFormat(pf32bit);
    bmp.SetSize(5, 4);
    TMemoryStream stream(bytes);
    EXPECT_THROW(bmp.LoadFromStream(stream), EInvalidGraphic);
    EXPECT_EQ(bmp.Width(), 5);
    EXPECT_EQ(bmp.Height(), 4);
  }
}

TEST(BmpReader, TransparentColourDefaultsToTheBottomLeftPixel) {
  BmpFixture fixture{3, 2, 24, false, 0, {}, {}, [](int x, int y) { return x == 0 && y == 1 ? 0xFF00FFu : 0x102030u; }};
  TMemoryStream stream(MakeBmp(fixture));
  TBitmap bmp;
  EXPECT_EQ(bmp.TransparentColor(), clNone);
  bmp.LoadFromStream(stream);
  EXPECT_EQ(bmp.TransparentColor(), 0xFF00FF);
  bmp.SetTransparentColor(0x123456);
  EXPECT_EQ(bmp.TransparentColor(), 0x123456);
}

TEST(JpegImage, DecodesIntoABitmapAndRefusesBadData) {
  for (auto [components, speed] : {std::pair{3, jpBestSpeed}, std::pair{1, jpBestQuality}}) {
    TMemoryStream stream(Jpeg(16, 8, components));
    TJPEGImage jpeg;
    jpeg.Performance = speed;
    jpeg.LoadFromStream(stream);
    ASSERT_EQ(jpeg.Width(), 16);
    ASSERT_EQ(jpeg.Height(), 8);
    TBitmap bmp;
    bmp.SetPixelFormat(pf32bit);
    bmp.SetSize(16, 8);
    jpeg.DrawTo(bmp);
    const std::uint32_t px = PixelOf(bmp, 5, 3);
    EXPECT_EQ(px >> 24, 255u);
    if (components == 3) {
      EXPECT_NEAR(int(px >> 16 & 0xFF), 200, 10);
      EXPECT_NEAR(int(px & 0xFF), 40, 10);
    } else {
      EXPECT_NEAR(int(px & 0xFF), 90, 4);
    }
  }
  // Every libjpeg error becomes the graphic error; the process goes on.
  const std::string good = Jpeg(16, 8, 3);
  for (const std::string& bad : {std::string(), std::string("not a jpeg at all"), good.substr(0, 30),
                                  good.substr(0, 2) + std::string(200, '\xFF')}) {
    TMemoryStream stream(bad);
    TJPEGImage jpeg;
    EXPECT_THROW(jpeg.LoadFromStream(stream), EInvalidGraphic);
    EXPECT_TRUE(jpeg.Empty());
  }
}
