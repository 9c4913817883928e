#include <gtest/gtest.h>

#include <climits>

#include "PixelFixtures.h"
#include "skin/graphics/sGraphUtils.h"

using namespace fixtures;

TEST(WorkBitmaps, FactoriesNeverRaise) {
  struct Case {
    int w, h, ew, eh;
  } cases[] = {{3, 2, 3, 2}, {0, 5, 0, 5}, {100000, 100000, 0, 0}, {INT_MAX, INT_MAX, 0, 0}, {-1, 5, 0, 0},
               {4, -3, 0, 0}};
  for (auto& c : cases) {
    std::unique_ptr<TBitmap> b;
    ASSERT_NO_THROW(b = NewBitmap32(c.w, c.h)) << c.w << "x" << c.h;
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Width(), c.ew) << c.w << "x" << c.h;
    EXPECT_EQ(b->Height(), c.eh) << c.w << "x" << c.h;
    EXPECT_EQ(b->PixelFormat(), pf32bit);
  }
  // A new bitmap is white with alpha 0.
  auto b = NewBitmap32(2, 2);
  EXPECT_EQ(CountNot(b.get(), 0x00FFFFFFu), 0);

  auto r = NewBitmap32ForRect(Rect(5, 1, 2, 4));  // Right left of Left
  EXPECT_EQ(r->Width(), 0);
  EXPECT_EQ(r->Height(), 3);
  auto wide = NewBitmap32ForRect(Rect(INT_MIN, 0, INT_MAX, 1));
  EXPECT_EQ(wide->Width() * wide->Height(), 0);
  auto s = NewBitmap32ForSize(TSize{7, 1});
  EXPECT_EQ(s->Width(), 7);
  auto like = NewBitmap32LikeBitmap(s.get());
  EXPECT_EQ(like->Width(), 7);
  EXPECT_EQ(like->Height(), 1);

  struct Sized {
    int Width() const { return 6; }
    int Height() const { return 2; }
  } control;
  auto forControl = NewBitmap32ForControl(&control);
  EXPECT_EQ(forControl->Width(), 6);
  EXPECT_EQ(forControl->Height(), 2);
  EXPECT_TRUE(NewBitmap32ForControl<Sized>(nullptr)->Empty());

  TBitmap grey;
  grey.SetPixelFormat(pf8bit);
  grey.SetSize(4, 3);
  auto clone = CloneBitmapFormat(&grey);
  EXPECT_EQ(clone->PixelFormat(), pf8bit);
  EXPECT_EQ(clone->Width(), 4);
  EXPECT_EQ(clone->Height(), 3);
}

TEST(WorkBitmaps, PixelBaseAndStride) {
  std::uint8_t* base = reinterpret_cast<std::uint8_t*>(1);
  std::intptr_t stride = 77;
  auto empty = NewBitmap32(0, 0);
  EXPECT_FALSE(GetPixelBase(empty.get(), base, stride));
  EXPECT_FALSE(GetPixelBase(nullptr, base, stride));
  EXPECT_EQ(base, reinterpret_cast<std::uint8_t*>(1));  // untouched
  EXPECT_EQ(stride, 77);
  auto noColumns = NewBitmap32(0, 4);
  EXPECT_FALSE(GetPixelBase(noColumns.get(), base, stride));

  auto one = NewBitmap32(5, 1);
  ASSERT_TRUE(GetPixelBase(one.get(), base, stride));
  EXPECT_EQ(stride, 0);
  EXPECT_EQ(base, one->ScanLine(0));

  auto ten = NewBitmap32(3, 10);  // rows run bottom-up in memory
  ASSERT_TRUE(GetPixelBase(ten.get(), base, stride));
  EXPECT_EQ(stride, -12);
  EXPECT_EQ(base + 9 * stride, ten->ScanLine(9));

  EXPECT_THROW(ten->ScanLine(10), EInvalidGraphicOperation);
}

TEST(WorkBitmaps, ResizeKeepsPixelsAndBlitsAreFlushed) {
  auto b = Make(2, 2, {0x11111111, 0x22222222, 0x33333333, 0x44444444});
  b->SetSize(3, 3);
  EXPECT_EQ(All(b.get()), (std::vector<std::uint32_t>{0x11111111, 0x22222222, 0x00FFFFFF, 0x33333333, 0x44444444,
                                                      0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF}));
  // GDI may batch a fill; the scan line must see it.
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  RECT r{0, 0, 3, 3};
  FillRect(b->Canvas().Handle(), &r, brush);
  DeleteObject(brush);
  EXPECT_EQ(Px(b.get(), 2, 2) & 0xFFFFFF, 0x010203u);
  EXPECT_EQ(b->Canvas().Pixel(0, 0), RGB(1, 2, 3));

  TBitmap copy;
  CopyBitmapPixels(&copy, b.get());
  EXPECT_EQ(All(&copy), All(b.get()));
  EXPECT_EQ(copy.PixelFormat(), pf32bit);
}

TEST(WorkBitmaps, BlendTwoColors) {
  struct Case {
    std::uint32_t a, b;
    int w;
    std::uint32_t expected;
  } cases[] = {
      {0xFFFFFF, 0x000000, 255, 0xFEFEFE},      // all A still loses one step
      {0x000000, 0xFFFFFF, 0, 0xFEFEFE},        // all B likewise
      {0x12FFFFFF, 0x00000000, 128, 0x127F7F7F},  // top byte of A kept
      {0x00000000, 0xAB000000, 0, 0x00000000},  // top byte of B ignored
      {0x00102030, 0x00302010, 128, 0x001F1F1F},
      {0x80FF0000, 0x000000FF, 0, 0x800000FE},
  };
  for (auto& c : cases)
    EXPECT_EQ(BlendTwoColors(c.a, c.b, std::uint8_t(c.w)), c.expected) << std::hex << c.a << " " << c.b << " " << c.w;
  EXPECT_EQ(ReverseColorBytes(0x123456), 0x563412u);
}

TEST(WorkBitmaps, FillsOnDC) {
  auto b = Filled(6, 6, 0);
  HDC dc = b->Canvas().Handle();
  HGDIOBJ brushBefore = GetCurrentObject(dc, OBJ_BRUSH);
  FillRectOnDC(dc, Rect(1, 1, 3, 3), clBtnFace);  // a system colour, resolved
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brushBefore);
  const std::uint32_t face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(Px(b.get(), 1, 1) & 0xFFFFFF, ((face & 0xFF) << 16) | (face & 0xFF00) | ((face >> 16) & 0xFF));
  EXPECT_EQ(Px(b.get(), 3, 3), 0u);  // right and bottom exclusive

  auto f = Filled(6, 6, 0);
  FillInnerFrameOnDC(f->Canvas().Handle(), Rect(0, 0, 6, 6), 0, 0, 0, 0, clWhite);
  EXPECT_EQ(CountNot(f.get(), 0), 0);
  FillInnerFrameOnDC(f->Canvas().Handle(), Rect(1, 1, 5, 5), 1, 1, 1, 1, clWhite);
  EXPECT_EQ(CountNot(f.get(), 0), 12);  // the 4 x 4 ring
  EXPECT_EQ(Px(f.get(), 2, 2), 0u);
  FillInnerFrameOnDC(f->Canvas().Handle(), Rect(1, 1, 5, 5), 9, 0, 0, 0, clWhite);
  EXPECT_EQ(CountNot(f.get(), 0), 16 + 4);  // the whole rectangle, the left strip beyond it
}

TEST(WorkBitmaps, ChannelCopiesStayInsideBoth) {
  auto dest = Filled(4, 3, 0x11223344);
  auto small = Filled(2, 2, 0xAABBCCDD);
  CopyPixelChannel(dest.get(), small.get(), 3);
  EXPECT_EQ(Px(dest.get(), 1, 1), 0xAA223344u);
  EXPECT_EQ(Px(dest.get(), 2, 1), 0x11223344u);
  EXPECT_EQ(Px(dest.get(), 0, 2), 0x11223344u);
  CopyPixelChannel(small.get(), dest.get(), 0);
  EXPECT_EQ(Px(small.get(), 1, 1), 0xAABBCC44u);
  CopyPixelChannel(dest.get(), small.get(), 4);  // no such channel
  EXPECT_EQ(Px(dest.get(), 0, 0), 0xAA223344u);

  TBitmap g;
  g.SetPixelFormat(pf8bit);
  g.SetSize(2, 2);
  auto p = Make(3, 3, {0x00000001, 0x00000002, 0x00000003, 0x00000004, 0x00000005, 0x00000006});
  TransferChannel8(p.get(), &g, 0, true);
  EXPECT_EQ(static_cast<std::uint8_t*>(g.ScanLine(1))[1], 5);
  static_cast<std::uint8_t*>(g.ScanLine(0))[1] = 0x80;
  TransferChannel8(p.get(), &g, 1, false);
  EXPECT_EQ(Px(p.get(), 1, 0), 0x00008002u);
  EXPECT_EQ(Px(p.get(), 2, 0), 0x00000003u);  // outside the 8-bit bitmap
  TransferChannel8(p.get(), p.get(), 1, true);  // not an 8-bit bitmap: nothing
  EXPECT_EQ(Px(p.get(), 0, 0), 0x00000101u);
}

TEST(WorkBitmaps, GreyRoundsHalfToEven) {
  struct Case {
    std::uint32_t pixel, grey;
  } cases[] = {
      {0x00FF0000, 76},   // 76.245
      {0x0000FF00, 150},  // 149.685
      {0x000000FF, 29},   // 29.07
      {0x000000FA, 28},   // 28.5 -> 28
      {0x00000C04, 8},    // 7.5 -> 8
      {0x7F808080, 128},
  };
  for (auto& c : cases) {
    auto b = Make(1, 1, {c.pixel});
    GrayscaleBitmap(b.get());
    EXPECT_EQ(Px(b.get(), 0, 0), (c.pixel & 0xFF000000u) | c.grey * 0x010101u) << std::hex << c.pixel;
  }
  auto k = Make(2, 1, {0x00FF00FF, 0xFFFF00FF});
  GrayscaleBitmapExceptKey(k.get(), 0x00FF00FF);
  EXPECT_EQ(Px(k.get(), 0, 0), 0x00FF00FFu);
  EXPECT_EQ(Px(k.get(), 1, 0), 0xFF696969u);  // 0.299*255 + 0.114*255 = 105.3
}

TEST(WorkBitmaps, IconFromBitmapIsOpaque) {
  auto b = Filled(4, 4, 0x00336699);
  HICON icon = IconFromBitmap(b.get());
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  EXPECT_TRUE(info.fIcon);
  BITMAP mask{};
  GetObject(info.hbmMask, sizeof(mask), &mask);
  EXPECT_EQ(mask.bmWidth, 4);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, info.hbmMask);
  EXPECT_EQ(GetPixel(dc, 3, 3), RGB(0, 0, 0));  // opaque everywhere
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  DestroyIcon(icon);
  auto empty = NewBitmap32(0, 0);
  EXPECT_EQ(IconFromBitmap(empty.get()), nullptr);
}
