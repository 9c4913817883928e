// GDI+ drawing bound at run time: real GDI+ (Wine's) on memory bitmaps, a blanked entry
// table, and counting fakes that fail each step in turn.
#include "skin/graphics/acGdiPlus.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "PixelFixtures.h"

namespace {

using fixtures::Filled;
using fixtures::Px;

// Restores the real table however a test ends.
struct TEntriesRestore {
  TGdiPlusEntries Saved = GdiPlusEntries;
  ~TEntriesRestore() { GdiPlusEntries = Saved; }
};

int Channel(std::uint32_t pixel, int shift) { return int((pixel >> shift) & 0xFF); }

TEST(acGdiPlus, BindsEveryEntryAtStartUp) {
  const auto& e = GdiPlusEntries;
  EXPECT_NE(e.GdipDrawLine, nullptr);
  EXPECT_NE(e.GdipCreateFromHDC, nullptr);
  EXPECT_NE(e.GdipCreateLineBrush, nullptr);
  EXPECT_NE(e.GdipCreatePathGradient, nullptr);
  EXPECT_NE(e.GdipDisposeImage, nullptr);
  EXPECT_NE(e.GdiplusShutdown, nullptr);
}

TEST(acGdiPlus, LineCentreIsOpaqueForTopByteZeroAndHalfwayForHalfAlpha) {
  struct Case {
    TColor Color;
    int Low, High;  // the green channel at the line's centre on black
  } cases[] = {{0x0000FF00, 255, 255}, {TColor(0x8000FF00), 100, 160}};
  for (const auto& c : cases) {
    auto bmp = Filled(30, 20, 0xFF000000);
    DrawLineGdiPlus(bmp->Canvas().Handle(), c.Color, 2, 10, 28, 10, 6);
    const std::uint32_t centre = Px(bmp.get(), 15, 10);
    EXPECT_GE(Channel(centre, 8), c.Low) << std::hex << c.Color;
    EXPECT_LE(Channel(centre, 8), c.High) << std::hex << c.Color;
    EXPECT_EQ(Channel(centre, 16), 0);
    EXPECT_EQ(Px(bmp.get(), 15, 1), 0xFF000000u);  // far from the line
  }
}

TEST(acGdiPlus, QuarterArcFromZeroStaysInTheLowerRightQuadrant) {
  auto bmp = Filled(41, 41, 0xFF000000);
  DrawArcGdiPlus(bmp->Canvas().Handle(), 0xFFFFFF, 0, 0, 40, 40, 0, 90, 2);
  int painted = 0;
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 41; ++x)
      if (Px(bmp.get(), x, y) != 0xFF000000u) {
        ++painted;
        EXPECT_GE(x, 18) << x << "," << y;
        EXPECT_GE(y, 18) << x << "," << y;
      }
  EXPECT_GT(painted, 20);
  // The ellipse operation draws the whole ring.
  auto ring = Filled(41, 41, 0xFF000000);
  DrawEllipseGdiPlus(ring->Canvas().Handle(), 0xFFFFFF, 0, 0, 40, 40, 2);
  EXPECT_NE(Px(ring.get(), 20, 0), 0xFF000000u);
  EXPECT_NE(Px(ring.get(), 0, 20), 0xFF000000u);
  EXPECT_EQ(Px(ring.get(), 20, 20), 0xFF000000u);
}

TEST(acGdiPlus, StretchKeepsAlphaThroughTheHalvedRoundTrip) {
  auto src = fixtures::Make(2, 2, {0xFF336699, 0xFF336699, 0x00FFFFFF, 0x00FFFFFF});
  auto dst = Filled(6, 6, 0);
  // Outside DstRect and not clear: rewritten by the unfolding too.
  static_cast<std::uint32_t*>(dst->ScanLine(5))[5] = 0x80402010;
  StretchBitmapGdiPlus(dst.get(), src.get(), Rect(0, 0, 2, 2), Rect(0, 0, 2, 2));
  for (int x = 0; x < 2; ++x) {
    const std::uint32_t opaque = Px(dst.get(), x, 0);
    EXPECT_EQ(opaque >> 24, 253u) << std::hex << opaque;
    EXPECT_NEAR(Channel(opaque, 16), 0x33, 1);
    EXPECT_NEAR(Channel(opaque, 8), 0x66, 1);
    EXPECT_NEAR(Channel(opaque, 0), 0x99, 1);
    EXPECT_EQ(Px(dst.get(), x, 1) >> 24, 0u);
  }
  EXPECT_EQ(Px(dst.get(), 5, 5), 0x01804020u);
  EXPECT_EQ(Px(dst.get(), 4, 4), 0u);
}

TEST(acGdiPlus, GradientFillsWithClearColoursPaintNothing) {
  auto bmp = Filled(20, 20, 0xFF112233);
  HDC dc = bmp->Canvas().Handle();
  FillLinearGradientH(dc, 0x0000FF, 0xFF0000, 0, 0, 20, 20);
  FillLinearGradientV(dc, 0x00FF00, 0xFFFFFF, 0, 0, 20, 20);
  const TPoint corners[4] = {Point(0, 0), Point(20, 0), Point(20, 20), Point(0, 20)};
  const TColor colors[4] = {0xFF, 0xFF00, 0xFF0000, 0xFFFFFF};
  FillPathGradient4(dc, corners, colors, 0, 0, 20, 20, 0x808080);
  EXPECT_EQ(fixtures::CountNot(bmp.get(), 0xFF112233), 0);
  // Opaque colours do paint.
  FillLinearGradientH(dc, TColor(0xFF0000FF), TColor(0xFFFF0000), 0, 0, 20, 20);
  EXPECT_GT(fixtures::CountNot(bmp.get(), 0xFF112233), 300);
}

TEST(acGdiPlus, WineBlurIsAStubAndLeavesTheBitmap) {
  auto bmp = fixtures::Noise(16, 16, 7);
  const auto before = fixtures::All(bmp.get());
  BlurBitmapGdiPlus(bmp.get(), 3);
  EXPECT_EQ(fixtures::All(bmp.get()), before);
}

TEST(acGdiPlus, BlankedEntriesMakeEveryOperationANoOp) {
  TEntriesRestore restore;
  GdiPlusEntries = TGdiPlusEntries{};
  auto bmp = fixtures::Noise(16, 16, 3);
  auto src = fixtures::Noise(16, 16, 4);
  const auto before = fixtures::All(bmp.get());
  HDC dc = bmp->Canvas().Handle();
  const TPoint corners[4] = {Point(0, 0), Point(16, 0), Point(16, 16), Point(0, 16)};
  const TColor colors[4] = {TColor(0xFF0000FF), TColor(0xFF00FF00), TColor(0xFFFF0000), TColor(0xFFFFFFFF)};
  DrawEllipseGdiPlus(dc, 0xFF, 0, 0, 16, 16, 3);
  DrawArcGdiPlus(dc, 0xFF, 0, 0, 16, 16, 0, 180, 3);
  DrawLineGdiPlus(dc, 0xFF, 0, 0, 16, 16, 3);
  FillLinearGradientH(dc, TColor(0xFF0000FF), TColor(0xFFFF0000), 0, 0, 16, 16);
  FillLinearGradientV(dc, TColor(0xFF0000FF), TColor(0xFFFF0000), 0, 0, 16, 16);
  FillPathGradient4(dc, corners, colors, 0, 0, 16, 16, TColor(0xFF808080));
  StretchBitmapGdiPlus(bmp.get(), src.get(), Rect(0, 0, 16, 16), Rect(0, 0, 16, 16));
  BlurBitmapGdiPlus(bmp.get(), 2);
  EXPECT_EQ(fixtures::All(bmp.get()), before);
}

// ---------------------------------------------------------------------------
// Counting fakes: every object made is released again, whichever step fails.
// ---------------------------------------------------------------------------

namespace fake {
int Live = 0;      // objects made and not yet released
int Step = 0;      // creating calls so far in this run
int FailAt = 0;    // the creating call that fails (0: none)
bool Failed = false;
std::vector<std::uint8_t> Scan0;
std::uint32_t BlurredColor = 0x00ABCDEF;

template <class T>
gdip::GpStatus Make(T** out) {
  if (++Step == FailAt) {
    Failed = true;
    *out = nullptr;
    return 2;  // InvalidParameter
  }
  ++Live;
  *out = reinterpret_cast<T*>(static_cast<std::uintptr_t>(0x1000 + 16 * Step));
  return gdip::Ok;
}
gdip::GpStatus Release(const void* object) {
  if (object) --Live;
  return gdip::Ok;
}

gdip::GpStatus WINAPI CreateFromHDC(HDC, gdip::GpGraphics** g) { return Make(g); }
gdip::GpStatus WINAPI DeleteGraphics(gdip::GpGraphics* g) { return Release(g); }
gdip::GpStatus WINAPI CreatePen1(gdip::ARGB, float, int, gdip::GpPen** p) { return Make(p); }
gdip::GpStatus WINAPI DeletePen(gdip::GpPen* p) { return Release(p); }
gdip::GpStatus WINAPI SetInt(gdip::GpGraphics*, int) { return gdip::Ok; }
gdip::GpStatus WINAPI DrawLine(gdip::GpGraphics*, gdip::GpPen*, float, float, float, float) { return gdip::Ok; }
gdip::GpStatus WINAPI DrawEllipse(gdip::GpGraphics*, gdip::GpPen*, float, float, float, float) { return gdip::Ok; }
gdip::GpStatus WINAPI DrawArc(gdip::GpGraphics*, gdip::GpPen*, float, float, float, float, float, float) {
  return gdip::Ok;
}
gdip::GpStatus WINAPI LineBrush(const gdip::PointF*, const gdip::PointF*, gdip::ARGB, gdip::ARGB, int,
                                gdip::GpBrush** b) {
  return Make(b);
}
gdip::GpStatus WINAPI PathGradient(const gdip::PointF*, INT, int, gdip::GpBrush** b) { return Make(b); }
gdip::GpStatus WINAPI CenterColor(gdip::GpBrush*, gdip::ARGB) { return gdip::Ok; }
gdip::GpStatus WINAPI Surround(gdip::GpBrush*, const gdip::ARGB*, INT*) { return gdip::Ok; }
gdip::GpStatus WINAPI DeleteBrush(gdip::GpBrush* b) { return Release(b); }
gdip::GpStatus WINAPI FillRectangle(gdip::GpGraphics*, gdip::GpBrush*, float, float, float, float) {
  return gdip::Ok;
}
gdip::GpStatus WINAPI FromScan0(INT w, INT h, INT, INT, BYTE*, gdip::GpBitmap** b) {
  Scan0.assign(static_cast<size_t>(w) * h * 4, 0);
  return Make(b);
}
gdip::GpStatus WINAPI LockBits(gdip::GpBitmap*, const gdip::RectI* r, UINT, INT, gdip::BitmapData* data) {
  if (++Step == FailAt) return Failed = true, 2;
  *data = gdip::BitmapData{UINT(r->Width), UINT(r->Height), r->Width * 4, gdip::PixelFormat32bppARGB, Scan0.data(), 0};
  return gdip::Ok;
}
gdip::GpStatus WINAPI UnlockBits(gdip::GpBitmap*, gdip::BitmapData*) { return gdip::Ok; }
gdip::GpStatus WINAPI DrawImage(gdip::GpGraphics*, gdip::GpImage*, float, float, float, float, float, float, float,
                                float, int, const void*, void*, void*) {
  return gdip::Ok;
}
gdip::GpStatus WINAPI DisposeImage(gdip::GpImage* i) { return Release(i); }
gdip::GpStatus WINAPI CreateEffect(GUID, gdip::GpEffect** e) { return Make(e); }
gdip::GpStatus WINAPI DeleteEffect(gdip::GpEffect* e) { return Release(e); }
gdip::GpStatus WINAPI SetEffectParameters(gdip::GpEffect*, const void*, UINT size) {
  return size == 8 ? gdip::Ok : 2;
}
gdip::GpStatus WINAPI FromHBITMAP(HBITMAP, HPALETTE, gdip::GpBitmap** b) { return Make(b); }
gdip::GpStatus WINAPI ApplyEffect(gdip::GpBitmap**, INT, gdip::GpEffect*, RECT*, RECT*, gdip::GpBitmap** out, BOOL,
                                  void**, INT*) {
  return Make(out);
}
// A real DIB of one colour stands for the blurred picture; the bitmap must take it over.
gdip::GpStatus WINAPI ToHBITMAP(gdip::GpBitmap*, HBITMAP* out, gdip::ARGB) {
  if (++Step == FailAt) return Failed = true, 2;
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 5, 3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  *out = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  for (int i = 0; i < 15; ++i) static_cast<std::uint32_t*>(bits)[i] = BlurredColor;
  return gdip::Ok;
}

TGdiPlusEntries Table() {
  TGdiPlusEntries e;
  e.GdipCreateFromHDC = CreateFromHDC;
  e.GdipDeleteGraphics = DeleteGraphics;
  e.GdipCreatePen1 = CreatePen1;
  e.GdipDeletePen = DeletePen;
  e.GdipSetSmoothingMode = SetInt;
  e.GdipSetCompositingMode = SetInt;
  e.GdipSetCompositingQuality = SetInt;
  e.GdipDrawLine = DrawLine;
  e.GdipDrawEllipse = DrawEllipse;
  e.GdipDrawArc = DrawArc;
  e.GdipCreateLineBrush = LineBrush;
  e.GdipCreatePathGradient = PathGradient;
  e.GdipSetPathGradientCenterColor = CenterColor;
  e.GdipSetPathGradientSurroundColorsWithCount = Surround;
  e.GdipDeleteBrush = DeleteBrush;
  e.GdipFillRectangle = FillRectangle;
  e.GdipCreateBitmapFromScan0 = FromScan0;
  e.GdipBitmapLockBits = LockBits;
  e.GdipBitmapUnlockBits = UnlockBits;
  e.GdipDrawImageRectRect = DrawImage;
  e.GdipDisposeImage = DisposeImage;
  e.GdipCreateEffect = CreateEffect;
  e.GdipDeleteEffect = DeleteEffect;
  e.GdipSetEffectParameters = SetEffectParameters;
  e.GdipCreateBitmapFromHBITMAP = FromHBITMAP;
  e.GdipBitmapCreateApplyEffect = ApplyEffect;
  e.GdipCreateHBITMAPFromBitmap = ToHBITMAP;
  return e;
}
}  // namespace fake

TEST(acGdiPlus, EveryObjectIsReleasedOnSuccessAndOnEachFailure) {
  TEntriesRestore restore;
  GdiPlusEntries = fake::Table();
  auto bmp = Filled(8, 8, 0xFF000000);
  auto src = Filled(8, 8, 0xFF102030);
  HDC dc = bmp->Canvas().Handle();
  const TPoint corners[4] = {Point(0, 0), Point(8, 0), Point(8, 8), Point(0, 8)};
  const TColor colors[4] = {1, 2, 3, 4};
  const std::pair<const char*, std::function<void()>> operations[] = {
      {"ellipse", [&] { DrawEllipseGdiPlus(dc, 0xFF, 0, 0, 8, 8, 2); }},
      {"arc", [&] { DrawArcGdiPlus(dc, 0xFF, 0, 0, 8, 8, 0, 90, 2); }},
      {"line", [&] { DrawLineGdiPlus(dc, 0xFF, 0, 0, 8, 8, 2); }},
      {"linear H", [&] { FillLinearGradientH(dc, 1, 2, 0, 0, 8, 8); }},
      {"linear V", [&] { FillLinearGradientV(dc, 1, 2, 0, 0, 8, 8); }},
      {"path", [&] { FillPathGradient4(dc, corners, colors, 0, 0, 8, 8, 5); }},
      {"stretch", [&] { StretchBitmapGdiPlus(bmp.get(), src.get(), Rect(0, 0, 8, 8), Rect(0, 0, 8, 8)); }},
      {"blur", [&] { BlurBitmapGdiPlus(bmp.get(), 2); }},
  };
  for (const auto& [name, run] : operations) {
    // Fail the first creating call, then the second, ... until a run goes through whole.
    for (fake::FailAt = 1;; ++fake::FailAt) {
      fake::Live = fake::Step = 0;
      fake::Failed = false;
      run();
      EXPECT_EQ(fake::Live, 0) << name << " failing at step " << fake::FailAt;
      if (!fake::Failed) break;
    }
    EXPECT_GT(fake::FailAt, 1) << name;
  }
  fake::FailAt = 0;
  // The successful blur handed its result to the bitmap, which took it over.
  EXPECT_EQ(bmp->Width(), 5);
  EXPECT_EQ(bmp->Height(), 3);
  EXPECT_EQ(Px(bmp.get(), 4, 2) & 0x00FFFFFF, fake::BlurredColor);
}

}  // namespace
