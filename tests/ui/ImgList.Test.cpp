// The framework image list over comctl32, ICO bytes made into icons with every count and
// offset checked, and BMP files written from bitmaps.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Streams.h"
#include "platform/ui/Graphics.Bmp.h"
#include "platform/ui/Graphics.Ico.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/ImgList.h"

namespace {

void Put(std::string& s, std::size_t at, std::uint32_t v, int bytes) {
  if (s.size() < at + static_cast<std::size_t>(bytes)) s.resize(at + static_cast<std::size_t>(bytes));
  for (int k = 0; k < bytes; ++k) s[at + static_cast<std::size_t>(k)] = static_cast<char>(v >> (8 * k));
}

// A one-image ICO file of W x H 32-bit pixels of one colour.
std::string Ico32(int w, int h, std::uint32_t argb) {
  const std::uint32_t maskRow = ((static_cast<std::uint32_t>(w) + 31) / 32) * 4;
  const std::uint32_t image = 40 + static_cast<std::uint32_t>(w * h * 4) + maskRow * static_cast<std::uint32_t>(h);
  std::string s;
  Put(s, 0, 0, 2);
  Put(s, 2, 1, 2);
  Put(s, 4, 1, 2);
  Put(s, 6, static_cast<std::uint32_t>(w & 0xFF), 1);
  Put(s, 7, static_cast<std::uint32_t>(h & 0xFF), 1);
  Put(s, 10, 1, 2);
  Put(s, 12, 32, 2);
  Put(s, 14, image, 4);
  Put(s, 18, 22, 4);
  Put(s, 22, 40, 4);
  Put(s, 26, static_cast<std::uint32_t>(w), 4);
  Put(s, 30, static_cast<std::uint32_t>(2 * h), 4);
  Put(s, 34, 1, 2);
  Put(s, 36, 32, 2);
  s.resize(22 + 40);
  for (int i = 0; i < w * h; ++i) Put(s, s.size(), argb, 4);
  s.append(maskRow * static_cast<std::uint32_t>(h), '\0');
  return s;
}

std::span<const std::uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(IcoData, MakesAnIconOfTheFirstImage) {
  int w = 0, h = 0;
  HICON icon = IconFromIcoData(Span(Ico32(24, 16, 0xFF102030)), w, h);
  ASSERT_TRUE(icon);
  EXPECT_EQ(w, 24);
  EXPECT_EQ(h, 16);
  DestroyIcon(icon);
}

TEST(IcoData, RefusesDataThatDoesNotHoldWhatItClaims) {
  const std::string good = Ico32(32, 32, 0xFF102030);
  std::string noImages = good, manyEntries = good, farOffset = good, bigSize = good, cut = good, hugeWidth = good;
  Put(noImages, 4, 0, 2);
  Put(manyEntries, 4, 9000, 2);
  Put(farOffset, 18, 0x7FFFFFF0, 4);
  Put(bigSize, 14, 0x7FFFFFF0, 4);
  cut.resize(22 + 40 + 100);
  Put(cut, 14, static_cast<std::uint32_t>(cut.size() - 22), 4);
  Put(hugeWidth, 26, 0x7FFFFFFF, 4);
  for (const std::string* bad : {&noImages, &manyEntries, &farOffset, &bigSize, &cut, &hugeWidth}) {
    int w = 1, h = 1;
    EXPECT_THROW(IconFromIcoData(Span(*bad), w, h), EInvalidGraphic);
    EXPECT_EQ(w, 0);
  }
  int w = 0, h = 0;
  EXPECT_THROW(IconFromIcoData(Span(std::string("\0\0", 2)), w, h), EInvalidGraphic);
}

TEST(BmpWriting, ABitmapReadsBackAsItWasWritten) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf32bit);
  bmp.SetSize(3, 2);
  const std::uint32_t pixels[6] = {0x80102030, 0xFF405060, 0x00708090, 0x01020304, 0xFFFFFFFF, 0x7F000000};
  for (int y = 0; y < 2; ++y) std::memcpy(bmp.ScanLine(y), pixels + 3 * y, 12);
  TMemoryStream stream;
  bmp.SaveToStream(stream);
  stream.SetPosition(0);
  TBitmap back;
  back.LoadFromStream(stream);
  ASSERT_EQ(back.Width(), 3);
  ASSERT_EQ(back.PixelFormat(), pf32bit);
  for (int y = 0; y < 2; ++y) EXPECT_EQ(std::memcmp(back.ScanLine(y), pixels + 3 * y, 12), 0) << y;
}

TEST(ImageList, TellsItsUsersOfChangesAndForgetsThemWhenTheyGo) {
  TCustomImageList list(nullptr, 16, 16);
  int heard = 0;
  {
    TChangeLink link;
    link.OnChange = [&] { ++heard; };
    list.RegisterChanges(&link);
    list.SetWidth(20);
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(link.Images, &list);
  }
  list.SetHeight(20);  // the link is gone: nothing to call
  EXPECT_EQ(heard, 1);
  TChangeLink late;
  {
    TCustomImageList other(nullptr);
    other.RegisterChanges(&late);
  }
  EXPECT_EQ(late.Images, nullptr);
}

TEST(ImageList, KeepsIconsAndStreamsTheSystemList) {
  TCustomImageList list(nullptr, 16, 16);
  int w = 0, h = 0;
  HICON icon = IconFromIcoData(Span(Ico32(16, 16, 0xFF0000FF)), w, h);
  EXPECT_EQ(list.AddIcon(icon), 0);
  EXPECT_EQ(list.AddIcon(icon), 1);
  EXPECT_TRUE(list.ReplaceIcon(0, icon));
  DestroyIcon(icon);
  EXPECT_EQ(list.Count(), 2);
  TBitmap target;
  target.SetSize(16, 16);
  list.Draw(&target.Canvas(), 0, 0, 1);
  EXPECT_EQ(target.Canvas().Pixel(8, 8), 0xFF0000);  // blue, in 0x00BBGGRR
  TMemoryStream stream;
  list.WriteData(stream);
  stream.SetPosition(0);
  TCustomImageList copy(nullptr, 8, 8);
  copy.ReadData(stream);
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.Width(), 16);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 1);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  TMemoryStream junk(std::string("not a list"));
  EXPECT_EQ(ReadSystemImageList(junk), nullptr);
}

}  // namespace
