#include <gtest/gtest.h>

#include <cstring>

#include "platform/ui/Graphics.h"

TEST(Graphics, ColorToRGB) {
  EXPECT_EQ(ColorToRGB(0x123456), 0x123456);
  EXPECT_EQ(ColorToRGB(clNone), clNone);
  EXPECT_EQ(ColorToRGB(clBtnFace), TColor(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(ColorToRGB(clWindowText), TColor(GetSysColor(COLOR_WINDOWTEXT)));
}

TEST(Graphics, BitmapFormatsAndRows) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Handle(), nullptr);
  EXPECT_THROW(b.ScanLine(0), EInvalidGraphicOperation);
  EXPECT_THROW(b.SetWidth(-1), EInvalidGraphic);
  EXPECT_THROW(b.SetSize(1 << 20, 1 << 20), EOutOfResources);  // 4 TB of pixels
  EXPECT_TRUE(b.Empty());                                      // left as it was

  b.SetPixelFormat(pf32bit);
  b.SetSize(5, 3);
  EXPECT_NE(b.Handle(), nullptr);
  EXPECT_EQ(b.RowBytes(), 20);
  // Rows run upwards in memory: row 0 is the last.
  EXPECT_EQ(static_cast<std::uint8_t*>(b.ScanLine(0)) - static_cast<std::uint8_t*>(b.ScanLine(2)), 40);
  static_cast<std::uint32_t*>(b.ScanLine(1))[2] = 0x00808080;
  EXPECT_EQ(b.Canvas().Pixel(2, 1), TColor(0x808080));
  EXPECT_EQ(b.Canvas().Pixel(9, 9), TColor(CLR_INVALID));

  // To 8 bits (a grey ramp) and back.
  b.SetPixelFormat(pf8bit);
  EXPECT_EQ(b.BitsPerPixel(), 8);
  EXPECT_EQ(b.RowBytes(), 8);  // rows padded to 32 bits
  EXPECT_EQ(static_cast<std::uint8_t*>(b.ScanLine(1))[2], 0x80);
  EXPECT_EQ(static_cast<std::uint8_t*>(b.ScanLine(0))[0], 0xFF);  // new pixels are white
  b.SetPixelFormat(pf32bit);
  EXPECT_EQ(static_cast<std::uint32_t*>(b.ScanLine(1))[2] & 0xFFFFFF, 0x808080u);

  // Growing keeps the pixels at their place; the canvas follows the new handle.
  b.SetHeight(4);
  EXPECT_EQ(static_cast<std::uint32_t*>(b.ScanLine(1))[2] & 0xFFFFFF, 0x808080u);
  EXPECT_EQ(static_cast<std::uint32_t*>(b.ScanLine(3))[2], 0x00FFFFFFu);
  EXPECT_EQ(GetCurrentObject(b.Canvas().Handle(), OBJ_BITMAP), b.Handle());
  b.SetSize(0, 0);
  EXPECT_EQ(b.Handle(), nullptr);
  EXPECT_NE(GetCurrentObject(b.Canvas().Handle(), OBJ_BITMAP), nullptr);
}

TEST(Graphics, CompositionSeam) {
  SetDwmCompositionOverride(true);
  EXPECT_TRUE(IsDwmCompositionOn());
  SetDwmCompositionOverride(false);
  EXPECT_FALSE(IsDwmCompositionOn());
  SetDwmCompositionOverride(std::nullopt);
  const bool system = IsDwmCompositionOn();
  EXPECT_EQ(IsDwmCompositionOn(), system);  // the first answer is kept
}

TEST(Graphics, BitsAndStrideReachEveryRowAfterOneFlush) {
  TBitmap b;
  EXPECT_EQ(b.Bits(), nullptr);
  b.SetPixelFormat(pf32bit);
  b.SetSize(5, 3);
  b.Canvas().Brush.Color = 0x0000FF;
  b.Canvas().FillRect(Rect(0, 2, 5, 3));  // GDI may batch this; Bits() flushes
  std::uint8_t* top = b.Bits();
  EXPECT_EQ(b.Stride(), -20);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(top + y * b.Stride(), b.ScanLine(y));
  EXPECT_EQ(reinterpret_cast<std::uint32_t*>(top + 2 * b.Stride())[4] & 0xFFFFFF, 0xFF0000u);  // BGRA red
}

namespace {
// A 3 x 2 bitmap of a given kind with a pattern that shows orientation and alpha:
// red top-left, blue bottom-right, the rest green; alpha 0x80 where the depth has it.
HBITMAP MakeSource(int kind) {
  const int w = 3, h = 2;
  std::uint32_t pattern[2][3] = {{0x80FF0000, 0x8000FF00, 0x8000FF00}, {0x8000FF00, 0x8000FF00, 0x800000FF}};
  if (kind == 3) {  // a device bitmap
    HDC screen = GetDC(nullptr);
    HBITMAP ddb = CreateCompatibleBitmap(screen, w, h);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, ddb);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint32_t p = pattern[y][x];
        SetPixel(dc, x, y, RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF));
      }
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return ddb;
  }
  const int bits = kind == 2 ? 24 : 32;
  const bool topDown = kind == 1;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, topDown ? -h : h, 1, static_cast<WORD>(bits), BI_RGB};
  void* p = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &p, nullptr, 0);
  const int stride = ((w * bits + 31) / 32) * 4;
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<std::uint8_t*>(p) + (topDown ? y : h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) std::memcpy(row + x * bits / 8, &pattern[y][x], bits / 8);
  }
  return dib;
}
}  // namespace

TEST(Graphics, BitmapTakesOverAHandleAndFreesItsOld) {
  struct Case {
    const char* Kind;
    bool Kept;   // adopted as it is, or copied into a DIB section of ours
    bool Alpha;  // the source's alpha survives
  } cases[] = {
      {"32-bit bottom-up DIB", true, true},
      {"32-bit top-down DIB", false, true},
      {"24-bit DIB", false, false},
      {"device bitmap", false, false},
  };
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(cases[kind].Kind);
    TBitmap b;
    b.SetSize(7, 7);
    HDC dc = b.Canvas().Handle();
    HBITMAP old = b.Handle();
    HBITMAP given = MakeSource(kind);
    b.SetHandle(given);
    EXPECT_EQ(b.Handle() == given, cases[kind].Kept);
    EXPECT_EQ(GetObjectType(old), 0u);
    if (!cases[kind].Kept) {
      EXPECT_EQ(GetObjectType(given), 0u);
    }
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), b.Handle());  // the canvas draws on the new one
    const std::uint32_t alpha = cases[kind].Alpha ? 0x80000000u : 0;
    EXPECT_EQ(static_cast<std::uint32_t*>(b.ScanLine(0))[0], alpha | 0xFF0000u);
    EXPECT_EQ(static_cast<std::uint32_t*>(b.ScanLine(1))[2], alpha | 0x0000FFu);
    EXPECT_EQ(b.Canvas().Pixel(1, 1), TColor(0x00FF00));
  }
  TBitmap b;
  b.SetSize(2, 2);
  EXPECT_THROW(b.SetHandle(reinterpret_cast<HBITMAP>(GetStockObject(BLACK_BRUSH))), EInvalidGraphic);
  b.SetHandle(nullptr);
  EXPECT_TRUE(b.Empty());
}

TEST(Graphics, CanvasBrushPenAndPolygon) {
  TBitmap b;
  b.SetPixelFormat(pf32bit);
  b.SetSize(20, 20);
  TCanvas& c = b.Canvas();
  c.Brush.Color = clBlack;
  c.FillRect(Rect(0, 0, 20, 20));
  c.Brush.Color = 0x0000FF;  // red
  c.Pen.Color = 0xFF0000;    // blue
  c.Polygon({Point(2, 2), Point(17, 2), Point(17, 17)});
  EXPECT_EQ(c.Pixel(14, 6), TColor(0x0000FF));   // inside
  EXPECT_EQ(c.Pixel(10, 2), TColor(0xFF0000));   // on the top edge
  EXPECT_EQ(c.Pixel(4, 14), TColor(clBlack));    // outside
  // The selected brush outlives a change of colour until the next drawing takes it out.
  HGDIOBJ red = GetCurrentObject(c.Handle(), OBJ_BRUSH);
  c.Brush.Color = 0x00FF00;
  EXPECT_EQ(GetObjectType(red), static_cast<DWORD>(OBJ_BRUSH));
  c.Pen.Style = psClear;
  c.Polygon({Point(2, 5), Point(12, 15), Point(2, 15)});
  EXPECT_EQ(GetObjectType(red), 0u);
  EXPECT_EQ(c.Pixel(2, 12), TColor(0x00FF00));  // no outline: the fill reaches the left edge
  c.Brush.Style = bsClear;
  c.Pen.Style = psSolid;
  c.Pen.Color = clWhite;
  c.Rectangle(Rect(0, 0, 20, 20));
  EXPECT_EQ(c.Pixel(0, 10), TColor(clWhite));
  EXPECT_EQ(c.Pixel(14, 6), TColor(0x0000FF));  // a clear brush leaves the inside
}

TEST(Graphics, WindowCanvasDrawsOnItsWindowsDc) {
  HWND wnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(wnd, nullptr);
  {
    TWindowCanvas c(wnd);
    EXPECT_EQ(WindowFromDC(c.Handle()), wnd);
    c.Brush.Color = 0x00FF00;
    c.Pen.Style = psClear;
    c.Polygon({Point(0, 0), Point(40, 0), Point(40, 40), Point(0, 40)});
    GdiFlush();
    EXPECT_EQ(c.Pixel(20, 20), TColor(0x00FF00));
  }
  // A canvas over a DC someone else owns leaves the DC and its objects as they were.
  HDC dc = GetDC(wnd);
  HGDIOBJ brush = GetCurrentObject(dc, OBJ_BRUSH);
  {
    TCanvas c(dc);
    c.Brush.Color = 0x0000FF;
    c.Rectangle(Rect(0, 0, 10, 10));
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
  ReleaseDC(wnd, dc);
  DestroyWindow(wnd);
}
