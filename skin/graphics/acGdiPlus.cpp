#include "skin/graphics/acGdiPlus.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.h"

// Constant-initialised: code that runs before the unit's start-up finds the table empty.
TGdiPlusEntries GdiPlusEntries;

const GUID BlurEffectGuid = {0x633C80A4, 0x1843, 0x482B, {0x9E, 0xF2, 0xBE, 0x28, 0x34, 0xC5, 0xFD, 0xD4}};

namespace {

int gStartCount = 0;
HMODULE gLibrary = nullptr;
ULONG_PTR gToken = 0;
bool gStarted = false;

template <class F>
void Bind(F& entry, const char* name) {
  entry = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(gLibrary, name)));
}

void BindAll() {
  auto& e = GdiPlusEntries;
  Bind(e.GdipDrawArc, "GdipDrawArc");
  Bind(e.GdipDrawLine, "GdipDrawLine");
  Bind(e.GdipCreatePen1, "GdipCreatePen1");
  Bind(e.GdiplusStartup, "GdiplusStartup");
  Bind(e.GdiplusShutdown, "GdiplusShutdown");
  Bind(e.GdipDrawEllipse, "GdipDrawEllipse");
  Bind(e.GdipFillEllipse, "GdipFillEllipse");
  Bind(e.GdipFillRectangle, "GdipFillRectangle");
  Bind(e.GdipCreateFromHDC, "GdipCreateFromHDC");
  Bind(e.GdipCreateSolidFill, "GdipCreateSolidFill");
  Bind(e.GdipSetSmoothingMode, "GdipSetSmoothingMode");
  Bind(e.GdipDrawImageRectRect, "GdipDrawImageRectRect");
  Bind(e.GdipCreateLineBrush, "GdipCreateLineBrush");
  Bind(e.GdipSetCompositingMode, "GdipSetCompositingMode");
  Bind(e.GdipSetCompositingQuality, "GdipSetCompositingQuality");
  Bind(e.GdipDeleteGraphics, "GdipDeleteGraphics");
  Bind(e.GdipDisposeImage, "GdipDisposeImage");
  Bind(e.GdipBitmapLockBits, "GdipBitmapLockBits");
  Bind(e.GdipCreateBitmapFromScan0, "GdipCreateBitmapFromScan0");
  Bind(e.GdipBitmapUnlockBits, "GdipBitmapUnlockBits");
  Bind(e.GdipCreatePathGradient, "GdipCreatePathGradient");
  Bind(e.GdipDeleteBrush, "GdipDeleteBrush");
  Bind(e.GdipDeletePen, "GdipDeletePen");
  Bind(e.GdipCreateEffect, "GdipCreateEffect");
  Bind(e.GdipSetEffectParameters, "GdipSetEffectParameters");
  Bind(e.GdipBitmapCreateApplyEffect, "GdipBitmapCreateApplyEffect");
  Bind(e.GdipCreateBitmapFromHBITMAP, "GdipCreateBitmapFromHBITMAP");
  Bind(e.GdipCreateHBITMAPFromBitmap, "GdipCreateHBITMAPFromBitmap");
  Bind(e.GdipSetPenBrushFill, "GdipSetPenBrushFill");
  Bind(e.GdipSetPathGradientCenterColor, "GdipSetPathGradientCenterColor");
  Bind(e.GdipSetPathGradientSurroundColorsWithCount, "GdipSetPathGradientSurroundColorsWithCount");
  Bind(e.GdipNewPrivateFontCollection, "GdipNewPrivateFontCollection");
  Bind(e.GdipPrivateAddFontFile, "GdipPrivateAddFontFile");
  Bind(e.GdipGetFontCollectionFamilyList, "GdipGetFontCollectionFamilyList");
  Bind(e.GdipGetFamilyName, "GdipGetFamilyName");
  Bind(e.GdipDeleteEffect, "GdipDeleteEffect");
}

bool Bound() { return GdiPlusEntries.GdipCreateFromHDC != nullptr; }

struct TUnitLifetime {
  TUnitLifetime() { GdiPlusUnitStartup(); }
  ~TUnitLifetime() { GdiPlusUnitCleanup(); }
} gLifetime;

// Each GDI+ object is released by its own entry when the guard leaves scope, also when a
// step in between throws.
struct TGraphicsGuard {
  gdip::GpGraphics* Object = nullptr;
  ~TGraphicsGuard() {
    if (Object && GdiPlusEntries.GdipDeleteGraphics) GdiPlusEntries.GdipDeleteGraphics(Object);
  }
};
struct TPenGuard {
  gdip::GpPen* Object = nullptr;
  ~TPenGuard() {
    if (Object && GdiPlusEntries.GdipDeletePen) GdiPlusEntries.GdipDeletePen(Object);
  }
};
struct TBrushGuard {
  gdip::GpBrush* Object = nullptr;
  ~TBrushGuard() {
    if (Object && GdiPlusEntries.GdipDeleteBrush) GdiPlusEntries.GdipDeleteBrush(Object);
  }
};
struct TImageGuard {
  gdip::GpBitmap* Object = nullptr;
  ~TImageGuard() {
    if (Object && GdiPlusEntries.GdipDisposeImage)
      GdiPlusEntries.GdipDisposeImage(reinterpret_cast<gdip::GpImage*>(Object));
  }
};
struct TEffectGuard {
  gdip::GpEffect* Object = nullptr;
  ~TEffectGuard() {
    if (Object && GdiPlusEntries.GdipDeleteEffect) GdiPlusEntries.GdipDeleteEffect(Object);
  }
};

gdip::ARGB ToArgb(TColor color) { return SwapRedBlue(static_cast<std::uint32_t>(color)); }

// The common pattern of the pen operations: a graphics object on the DC, high-quality
// smoothing, a pen of the width in world units, the drawing, then pen and graphics released.
template <class Draw>
void DrawWithPen(HDC dc, gdip::ARGB argb, float penWidth, Draw&& draw) {
  const auto& e = GdiPlusEntries;
  if (!e.GdipCreateFromHDC || !e.GdipCreatePen1) return;
  TGraphicsGuard graphics;
  if (e.GdipCreateFromHDC(dc, &graphics.Object) != gdip::Ok) return;
  if (e.GdipSetSmoothingMode) e.GdipSetSmoothingMode(graphics.Object, gdip::SmoothingModeHighQuality);
  TPenGuard pen;
  if (e.GdipCreatePen1(argb, penWidth, gdip::UnitWorld, &pen.Object) == gdip::Ok) draw(graphics.Object, pen.Object);
}

template <class MakeBrush>
void FillWithBrush(HDC dc, float x, float y, float width, float height, MakeBrush&& makeBrush) {
  const auto& e = GdiPlusEntries;
  if (!e.GdipCreateFromHDC || !e.GdipFillRectangle) return;
  TGraphicsGuard graphics;
  if (e.GdipCreateFromHDC(dc, &graphics.Object) != gdip::Ok) return;
  TBrushGuard brush;
  if (!makeBrush(brush.Object)) return;
  e.GdipFillRectangle(graphics.Object, brush.Object, x, y, width, height);
}

}  // namespace

void GdiPlusUnitStartup() {
  if (gStartCount++ != 0) return;
  if (!gLibrary) gLibrary = LoadLibraryW(L"gdiplus.dll");
  if (!gLibrary || Bound()) return;
  BindAll();
  StartGdiPlus(true);
}

void GdiPlusUnitCleanup() {
  if (gStartCount <= 0 || --gStartCount != 0) return;
  StopGdiPlus(true);
  GdiPlusEntries = TGdiPlusEntries{};
  if (gLibrary) FreeLibrary(gLibrary);
  gLibrary = nullptr;
}

void StartGdiPlus(bool flag) {
  if (!flag || gStarted) return;
  if (!gLibrary) gLibrary = LoadLibraryW(L"gdiplus.dll");
  if (!gLibrary) return;
  if (!GdiPlusEntries.GdiplusStartup) Bind(GdiPlusEntries.GdiplusStartup, "GdiplusStartup");
  if (!GdiPlusEntries.GdiplusStartup) return;
  const gdip::StartupInput input{1, nullptr, FALSE, FALSE};
  gStarted = GdiPlusEntries.GdiplusStartup(&gToken, &input, nullptr) == gdip::Ok;
}

void StopGdiPlus(bool flag) {
  // Only what this unit started is shut down: a token it never received means nothing.
  if (!flag || !gLibrary || !gStarted) return;
  if (GdiPlusEntries.GdiplusShutdown) GdiPlusEntries.GdiplusShutdown(gToken);
  gStarted = false;
  gToken = 0;
}

void DrawEllipseGdiPlus(HDC dc, TColor color, float x, float y, float width, float height, float penWidth) {
  if (!GdiPlusEntries.GdipDrawEllipse) return;
  DrawWithPen(dc, ToArgb(color) | 0xFF000000u, penWidth, [&](gdip::GpGraphics* g, gdip::GpPen* pen) {
    GdiPlusEntries.GdipDrawEllipse(g, pen, x, y, width, height);
  });
}

void DrawArcGdiPlus(HDC dc, TColor color, float x, float y, float width, float height, float startAngle,
                    float sweepAngle, float penWidth) {
  if (!GdiPlusEntries.GdipDrawArc) return;
  DrawWithPen(dc, ToArgb(color) | 0xFF000000u, penWidth, [&](gdip::GpGraphics* g, gdip::GpPen* pen) {
    GdiPlusEntries.GdipDrawArc(g, pen, x, y, width, height, startAngle, sweepAngle);
  });
}

void DrawLineGdiPlus(HDC dc, TColor color, float x1, float y1, float x2, float y2, float penWidth) {
  if (!GdiPlusEntries.GdipDrawLine) return;
  gdip::ARGB argb = ToArgb(color);
  if ((argb >> 24) == 0) argb |= 0xFF000000u;
  DrawWithPen(dc, argb, penWidth, [&](gdip::GpGraphics* g, gdip::GpPen* pen) {
    GdiPlusEntries.GdipDrawLine(g, pen, x1, y1, x2, y2);
  });
}

void StretchBitmapGdiPlus(TBitmap* dst, TBitmap* src, const TRect& dstRect, const TRect& srcRect) {
  const auto& e = GdiPlusEntries;
  if (!dst || !src || dst->Empty() || src->Empty() || !e.GdipCreateFromHDC) return;
  {
    TGraphicsGuard graphics;
    if (e.GdipCreateFromHDC(dst->Canvas().Handle(), &graphics.Object) != gdip::Ok) return;
    TImageGuard image;
    TPixels32 s;
    bool filled = false;
    if (e.GdipCreateBitmapFromScan0 && e.GdipBitmapLockBits && e.GdipBitmapUnlockBits &&
        e.GdipCreateBitmapFromScan0(src->Width(), src->Height(), src->Width() * 4, gdip::PixelFormat32bppARGB,
                                    nullptr, &image.Object) == gdip::Ok &&
        GetPixels32(src, s)) {
      const gdip::RectI whole{0, 0, s.Width, s.Height};
      gdip::BitmapData data{};
      if (e.GdipBitmapLockBits(image.Object, &whole, gdip::ImageLockModeRead | gdip::ImageLockModeWrite,
                               gdip::PixelFormat32bppARGB, &data) == gdip::Ok) {
        for (int y = 0; y < s.Height; ++y) {
          const std::uint32_t* from = s.Row(y);
          auto* to = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(data.Scan0) +
                                                      static_cast<std::intptr_t>(y) * data.Stride);
          for (int x = 0; x < s.Width; ++x) {
            const std::uint32_t p = from[x];
            to[x] = (p & 0x00FFFFFFu) | ((((p >> 24) >> 1) + 127) << 24);
          }
        }
        e.GdipBitmapUnlockBits(image.Object, &data);
        filled = true;
      }
    }
    // A GDI+ bitmap whose pixels were never written holds nothing worth drawing.
    if (filled && e.GdipDrawImageRectRect) {
      if (e.GdipSetCompositingMode) e.GdipSetCompositingMode(graphics.Object, gdip::CompositingModeSourceCopy);
      if (e.GdipSetCompositingQuality)
        e.GdipSetCompositingQuality(graphics.Object, gdip::CompositingQualityHighSpeed);
      e.GdipDrawImageRectRect(graphics.Object, reinterpret_cast<gdip::GpImage*>(image.Object),
                              float(dstRect.Left), float(dstRect.Top), float(dstRect.Width()),
                              float(dstRect.Height()), float(srcRect.Left), float(srcRect.Top),
                              float(srcRect.Width()), float(srcRect.Height()), gdip::UnitPixel, nullptr, nullptr,
                              nullptr);
    }
  }
  // Unfold the halved alpha over the whole destination.
  TPixels32 d;
  if (!GetPixels32(dst, d)) return;
  for (int y = 0; y < d.Height; ++y) {
    std::uint32_t* row = d.Row(y);
    for (int x = 0; x < d.Width; ++x) {
      const std::uint32_t p = row[x], a = p >> 24;
      if (a == 0) continue;
      auto channel = [&](int shift) { return std::min<std::uint32_t>(255, (((p >> shift) & 0xFF) * 256) / a); };
      const std::uint32_t na = 2 * a > 255 ? 2 * a - 255 : 0;
      row[x] = (na << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
    }
  }
}

void BlurBitmapGdiPlus(TBitmap* bitmap, float radius) {
  const auto& e = GdiPlusEntries;
  if (!bitmap || bitmap->Empty() || !bitmap->Handle()) return;
  // Every object made here must be released again; without the effect's release the
  // effect is not made at all.
  if (!e.GdipCreateEffect || !e.GdipDeleteEffect || !e.GdipSetEffectParameters || !e.GdipCreateBitmapFromHBITMAP ||
      !e.GdipDisposeImage)
    return;
  TEffectGuard effect;
  if (e.GdipCreateEffect(BlurEffectGuid, &effect.Object) != gdip::Ok || !effect.Object) return;
  struct {
    float Radius;
    BOOL ExpandEdge;
  } params{radius, FALSE};
  static_assert(sizeof(params) == 8);
  if (e.GdipSetEffectParameters(effect.Object, &params, sizeof(params)) != gdip::Ok) return;
  TImageGuard input;
  if (e.GdipCreateBitmapFromHBITMAP(bitmap->Handle(), nullptr, &input.Object) != gdip::Ok || !input.Object) return;
  if (!e.GdipBitmapCreateApplyEffect || !e.GdipCreateHBITMAPFromBitmap) return;
  RECT area{0, 0, bitmap->Width(), bitmap->Height()};
  RECT outRect = area;
  TImageGuard output;
  if (e.GdipBitmapCreateApplyEffect(&input.Object, 1, effect.Object, &area, &outRect, &output.Object, FALSE, nullptr,
                                    nullptr) != gdip::Ok ||
      !output.Object)
    return;
  HBITMAP result = nullptr;
  if (e.GdipCreateHBITMAPFromBitmap(output.Object, &result, 0) != gdip::Ok || !result) return;
  // The bitmap takes the new handle over (copied into a 32-bit DIB section when GDI+ made
  // another kind) and frees its old one; a handle it cannot take is freed by it as well.
  try {
    bitmap->SetHandle(result);
  } catch (const Exception&) {
  }
}

void FillLinearGradientH(HDC dc, TColor color1, TColor color2, float x, float y, float width, float height) {
  if (!GdiPlusEntries.GdipCreateLineBrush) return;
  FillWithBrush(dc, x, y, width, height, [&](gdip::GpBrush*& brush) {
    const gdip::PointF p1{x, y}, p2{x + width, y};
    return GdiPlusEntries.GdipCreateLineBrush(&p1, &p2, ToArgb(color1), ToArgb(color2), gdip::WrapModeTile,
                                              &brush) == gdip::Ok;
  });
}

void FillLinearGradientV(HDC dc, TColor color1, TColor color2, float x, float y, float width, float height) {
  if (!GdiPlusEntries.GdipCreateLineBrush) return;
  FillWithBrush(dc, x, y, width, height, [&](gdip::GpBrush*& brush) {
    const gdip::PointF p1{x, y}, p2{x, y + height};
    return GdiPlusEntries.GdipCreateLineBrush(&p1, &p2, ToArgb(color1), ToArgb(color2), gdip::WrapModeTile,
                                              &brush) == gdip::Ok;
  });
}

void FillPathGradient4(HDC dc, const TPoint (&points)[4], const TColor (&colors)[4], float x, float y, float width,
                       float height, TColor centerColor) {
  const auto& e = GdiPlusEntries;
  if (!e.GdipCreatePathGradient || !e.GdipSetPathGradientCenterColor ||
      !e.GdipSetPathGradientSurroundColorsWithCount)
    return;
  FillWithBrush(dc, x, y, width, height, [&](gdip::GpBrush*& brush) {
    gdip::PointF corners[4];
    gdip::ARGB surround[4];
    for (int i = 0; i < 4; ++i) {
      corners[i] = gdip::PointF{float(points[i].X), float(points[i].Y)};
      surround[i] = ToArgb(colors[i]);
    }
    if (e.GdipCreatePathGradient(corners, 4, gdip::WrapModeClamp, &brush) != gdip::Ok) return false;
    e.GdipSetPathGradientCenterColor(brush, ToArgb(centerColor));
    INT count = 4;
    e.GdipSetPathGradientSurroundColorsWithCount(brush, surround, &count);
    return true;
  });
}
