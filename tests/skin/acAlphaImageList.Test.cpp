// Alpha image lists over real comctl32 image lists: the files they take (drawn by
// tools/make_skin.py into skin_fixtures\imagelist\), rendering at pixel densities with the
// per-item cache, state cells, and damaged items that keep their place.
#include <gtest/gtest.h>

#include <memory>

#include "ReaderFixtures.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/handlers/acDials.h"

namespace {

std::wstring Img(const std::wstring& name) { return ReaderFixture(L"imagelist\\" + name); }

std::uint32_t PixelAt(TBitmap& bmp, int x, int y) {
  return *reinterpret_cast<std::uint32_t*>(bmp.Bits() + static_cast<std::ptrdiff_t>(y) * bmp.Stride() + 4 * x);
}

// The loaders' message, caught instead of shown.
std::wstring gShown;
void CatchMessage(const std::wstring& text) { gShown += text; }

class AlphaImageList : public testing::Test {
protected:
  void SetUp() override {
    gShown.clear();
    FSaved = ShowImageListError;
    ShowImageListError = &CatchMessage;
  }
  void TearDown() override { ShowImageListError = FSaved; }
  void (*FSaved)(const std::wstring&) = nullptr;
};

TEST_F(AlphaImageList, SniffsFilesByTheirFirstBytes) {
  for (const auto& [name, outcome] : ReaderFixtureCases(L"imagelist\\images.txt")) {
    if (outcome == "damaged") continue;
    TsImageFormat format{};
    const bool known = SniffImageFileType(Img(std::wstring(name.begin(), name.end())), format);
    SCOPED_TRACE(name);
    EXPECT_EQ(known, outcome != "refused");
    if (outcome == "png") EXPECT_EQ(format, ifPNG);
    if (outcome == "ico") EXPECT_EQ(format, ifICO);
    if (outcome == "bmp") EXPECT_EQ(format, ifBMP32);
  }
  TsImageFormat format{};
  EXPECT_FALSE(SniffImageFileType(Img(L"missing.png"), format));
}

TEST_F(AlphaImageList, RendersAtEveryDensityAndServesRepeatsFromTheCache) {
  TsAlphaImageList list(nullptr);
  ASSERT_TRUE(list.TryLoadFromFile(Img(L"quad32.png")));
  ASSERT_EQ(list.Count(), 1);
  TsImgListItem& item = *list.Items().GetItem(0);
  EXPECT_EQ(item.OrigWidth, 32);
  EXPECT_EQ(item.ImageName, L"quad32");
  for (const int ppi : {96, 120, 144}) {
    const int w = ScaledImageWidth(&list, 0, ppi), h = ScaledImageHeight(&list, 0, ppi);
    EXPECT_EQ(w, ppi * 16 / 96);
    std::unique_ptr<TBitmap> bmp(list.CreateBitmap32(0, w, h));
    ASSERT_TRUE(bmp);
    ASSERT_EQ(bmp->Width(), w);
    // Top-left quadrant half transparent red, right half opaque green.
    EXPECT_NEAR(static_cast<int>(PixelAt(*bmp, 1, 1) >> 24), 128, 8);
    EXPECT_GE(PixelAt(*bmp, w * 3 / 4, h * 3 / 4) >> 24, 250u);
    // Inside one quadrant the colour is flat: neighbours agree.
    for (int x = w / 2 + 2; x < w - 2; ++x)
      EXPECT_NEAR(static_cast<int>(PixelAt(*bmp, x, h * 3 / 4) >> 8 & 0xFF), 200, 6) << x;
    ASSERT_TRUE(item.CacheBmp);
    EXPECT_EQ(item.CacheBmp->Width(), w);
  }
  // Damaging the bytes proves the second request at the same size decodes nothing.
  const std::string good = item.ImgData.Bytes();
  item.ImgData.Clear();
  item.ImgData.Write("\x89PNG\r\n\x1a\n broken");
  std::unique_ptr<TBitmap> again(list.CreateBitmap32(0, 24, 24));
  ASSERT_TRUE(again);
  EXPECT_GE(PixelAt(*again, 18, 18) >> 24, 250u);
}

TEST_F(AlphaImageList, EnlargedImagesStayFlatInsideOneColour) {
  TsAlphaImageList list(nullptr, 32, 32);
  ASSERT_TRUE(list.TryLoadFromFile(Img(L"quad32.png")));
  std::unique_ptr<TBitmap> bmp(list.CreateBitmap32(0, 48, 48));
  ASSERT_TRUE(bmp);
  for (int x = 28; x < 46; ++x) EXPECT_NEAR(static_cast<int>(PixelAt(*bmp, x, 36) >> 8 & 0xFF), 200, 6) << x;
}

TEST_F(AlphaImageList, DrawsTheLastCellForAStateBeyondTheCountAndResetsTheDensity) {
  TsAlphaImageList list(nullptr, 32, 8);
  ASSERT_TRUE(list.TryLoadFromFile(Img(L"cells.png")));
  TBitmap dst;
  dst.SetPixelFormat(pf32bit);
  dst.SetSize(20, 12);
  TSize cell{};
  DrawImageListItem(&list, &dst, 2, 2, 0, 0, clNone, 7, 4, false, 96, cell);
  EXPECT_EQ(cell.cx, 8);
  EXPECT_EQ(cell.cy, 8);
  EXPECT_EQ(PixelAt(dst, 5, 5) & 0xFFFFFF, 0xFFFF00u);  // the fourth cell is yellow
  EXPECT_EQ(PixelAt(dst, 12, 5) & 0xFFFFFF, 0xFFFFFFu);  // nothing beyond one cell
  EXPECT_EQ(list.PixelsPerInch, 100);
  DrawImageListItem(&list, &dst, 0, 0, 0, 0, clNone, 1, 4, false, 144, cell);
  EXPECT_EQ(list.PixelsPerInch, 100);
}

TEST_F(AlphaImageList, BmpWithoutAlphaKeepsItsBottomLeftColourTransparent) {
  TsAlphaImageList list(nullptr);
  ASSERT_TRUE(list.TryLoadFromFile(Img(L"keyed.bmp")));
  std::unique_ptr<TBitmap> bmp(list.CreateBitmap32(0, 16, 16));
  ASSERT_TRUE(bmp);
  EXPECT_EQ(PixelAt(*bmp, 0, 15) >> 24, 0u);
  EXPECT_EQ(PixelAt(*bmp, 3, 2), 0xFF0080FFu);
}

TEST_F(AlphaImageList, IconsKeepTheirSizeAndAlpha) {
  TsAlphaImageList list(nullptr);
  ASSERT_TRUE(list.TryLoadFromFile(Img(L"quad32.ico")));
  const TsImgListItem& item = *list.Items().GetItem(0);
  EXPECT_EQ(item.ImageFormat, ifICO);
  EXPECT_EQ(item.OrigWidth, 32);
  EXPECT_EQ(item.PixelFormat, pf32bit);
  std::unique_ptr<TBitmap> bmp(list.CreateBitmap32(0, 16, 16));
  ASSERT_TRUE(bmp);
  EXPECT_EQ(PixelAt(*bmp, 14, 14) >> 24, 255u);
}

TEST_F(AlphaImageList, RefusedFilesShowTheMessageAndAddNothing) {
  TsAlphaImageList list(nullptr);
  list.LoadFromFile(Img(L"x.cur"));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(gShown, L"Cannot load " + Img(L"x.cur") + L"\r\nInvalid or unexpected image format.");
  gShown.clear();
  TMemoryStream text(std::string("no png"));
  list.LoadFromPngStream(text);
  EXPECT_EQ(gShown, L"Cannot load from stream\r\nInvalid or unexpected image format.");
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(AlphaImageList, DamagedItemsBecomeEmptyImagesInTheirPlace) {
  TsAlphaImageList list(nullptr);
  ASSERT_TRUE(list.TryLoadFromFile(Img(L"quad32.png")));
  const struct {
    const wchar_t* File;
    TsImageFormat Format;
  } damaged[] = {{L"cut.png", ifPNG},           {L"cut.bmp", ifBMP32},
                 {L"huge.bmp", ifBMP32},        {L"manyentries.ico", ifICO}, {L"offset.ico", ifICO},
                 {L"small.ico", ifICO}};
  for (const auto& d : damaged) {
    TsImgListItem& item = *list.Items().Add();
    item.ImageFormat = d.Format;
    item.ImgData.Write(ReaderFixtureBytes(std::wstring(L"imagelist\\") + d.File));
  }
  ASSERT_TRUE(list.TryLoadFromFile(Img(L"keyed.bmp")));
  list.GenerateStdList();
  const int n = list.Count();
  ASSERT_EQ(n, 8);
  EXPECT_EQ(list.ImageCount(), n);
  for (int i = 1; i < n - 1; ++i) {
    std::unique_ptr<TBitmap> bmp(list.CreateBitmap32(i, 16, 16));
    if (bmp && !bmp->Empty()) EXPECT_EQ(PixelAt(*bmp, 8, 8) >> 24, 0u) << i;
    TBitmap target;
    target.SetSize(16, 16);
    list.GetBitmap32(i, &target);
  }
  std::unique_ptr<TBitmap> last(list.CreateBitmap32(n - 1, 16, 16));
  ASSERT_TRUE(last);
  EXPECT_EQ(PixelAt(*last, 3, 2), 0xFF0080FFu);
  // Painting every item onto a canvas never stops at a damaged one.
  TBitmap canvas;
  canvas.SetSize(16 * n, 16);
  for (int i = 0; i < n; ++i) list.Draw(&canvas.Canvas(), 16 * i, 0, i);
  EXPECT_EQ(canvas.Canvas().Pixel(16 * (n - 1) + 3, 2), 0xFF8000);
}

TEST_F(AlphaImageList, HugeRequestsGiveAnEmptyBitmap) {
  TsAlphaImageList list(nullptr);
  ASSERT_TRUE(list.TryLoadFromFile(Img(L"quad32.png")));
  std::unique_ptr<TBitmap> bmp(list.CreateBitmap32(0, 100000, 100000));
  ASSERT_TRUE(bmp);
  EXPECT_TRUE(bmp->Empty());
  EXPECT_EQ(list.CreateBitmap32(1, 16, 16), nullptr);
  EXPECT_EQ(list.CreateBitmap32(-1, 16, 16), nullptr);
}

TEST_F(AlphaImageList, ImageNamesOfShortFileNamesAreEmpty) {
  EXPECT_EQ(ImageNameOfFile(L"C:\\x\\ab"), L"");
  EXPECT_EQ(ImageNameOfFile(L"C:\\x\\icon.png"), L"icon");
  EXPECT_EQ(ImageNameOfFile(L".png"), L"");
}

TEST_F(AlphaImageList, ReplaceAddAssignAndStreamsOfItsOwn) {
  TsAlphaImageList list(nullptr);
  TBitmap plain;
  plain.SetPixelFormat(pf24bit);
  plain.SetSize(16, 16);
  plain.Canvas().Brush.Color = 0x0000FF;
  plain.Canvas().FillRect(TRect{0, 0, 16, 16});
  EXPECT_EQ(list.Add(&plain, nullptr), 0);
  ASSERT_TRUE(list.TryLoadFromFile(Img(L"quad32.png")));
  EXPECT_EQ(list.Items().GetItem(0)->ImageFormat, ifBMP32);
  std::unique_ptr<TBitmap> red(list.CreateBitmap32(0, 16, 16));
  EXPECT_EQ(PixelAt(*red, 8, 8), 0xFFFF0000u);
  list.Replace(1, &plain);
  std::unique_ptr<TBitmap> replaced(list.CreateBitmap32(1, 16, 16));
  EXPECT_EQ(PixelAt(*replaced, 8, 8), 0xFFFF0000u);

  TsAlphaImageList copy(nullptr, 24, 24);
  copy.Assign(&list);
  EXPECT_EQ(copy.Width(), 16);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.Items().GetItem(1)->ImgData.Bytes(), list.Items().GetItem(1)->ImgData.Bytes());
  EXPECT_EQ(copy.AddImage(&list, 0), 3);
  EXPECT_EQ(copy.AddImage(&list, 5), -1);
  EXPECT_EQ(copy.ImageCount(), 3);

  // The list's own stream form is an empty 1 x 1 placeholder; reading ignores it.
  TMemoryStream stream;
  list.WriteData(stream);
  stream.SetPosition(0);
  HIMAGELIST placeholder = ReadSystemImageList(stream);
  ASSERT_TRUE(placeholder);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(placeholder, &cx, &cy);
  EXPECT_EQ(cx, 1);
  EXPECT_EQ(ImageList_GetImageCount(placeholder), 0);
  ImageList_Destroy(placeholder);
  stream.SetPosition(0);
  list.ReadData(stream);
  EXPECT_EQ(list.Count(), 2);
}

TEST_F(AlphaImageList, RegistryHoldsEveryLiveListAndSetsTheirDensity) {
  const std::size_t before = ImageListRegistry().size();
  {
    TsAlphaImageList a(nullptr), b(nullptr);
    EXPECT_EQ(ImageListRegistry().size(), before + 2);
    ForEachImageList(&SetImageListPPI, 144);
    EXPECT_EQ(a.PixelsPerInch, 144);
    EXPECT_EQ(b.PixelsPerInch, 144);
  }
  EXPECT_EQ(ImageListRegistry().size(), before);
}

}  // namespace
