#include "skin/graphics/acGradient.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Strings.h"
#include "skin/graphics/acGdiPlus.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.h"

TGradientFillEntry GradientFillEntry = nullptr;

namespace {

int gStartCount = 0;
HMODULE gMsimg32 = nullptr;

struct TUnitLifetime {
  TUnitLifetime() { GradientUnitStartup(); }
  ~TUnitLifetime() { GradientUnitCleanup(); }
} gLifetime;

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

[[noreturn]] void RaiseNotInteger(const std::string& field) {
  throw EConvertError(FormatW(L"'%s' is not a valid integer value", AnsiToWide(field).c_str()));
}

// Colour and mode: read in 64 bits, the low 32 kept.
std::int32_t Field64(const std::string& field) {
  long long value = 0;
  if (!TryStrToInt64(AnsiToWide(field), value)) RaiseNotInteger(field);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<unsigned long long>(value)));
}

TPercent FieldPercent(const std::string& field) {
  int value = 0;
  if (!TryStrToInt(AnsiToWide(field), value)) RaiseNotInteger(field);
  return static_cast<TPercent>(std::clamp(value, 0, 100));
}

// ---------------------------------------------------------------------------
// Colours along a segment
// ---------------------------------------------------------------------------

// Colour channels of a segment in pixel order; C1 + k * (C2 - C1) / n, each channel in
// floating point and rounded half to even. k * delta is an exact integer, so a true half
// stays a half.
struct TSegmentColors {
  int C1[3];
  int Delta[3];
  double N;
  TSegmentColors(TsColor c1, TsColor c2, int n) : N(n) {
    for (int i = 0; i < 3; ++i) {
      C1[i] = (c1 >> (8 * i)) & 0xFF;  // red, green, blue
      Delta[i] = int((c2 >> (8 * i)) & 0xFF) - C1[i];
    }
  }
  // Red, green, blue of step k as a pixel (blue in the low byte) without alpha.
  std::uint32_t At(int k) const {
    std::uint32_t channel[3];
    for (int i = 0; i < 3; ++i)
      channel[i] = static_cast<std::uint32_t>(std::lrint(C1[i] + double(k) * Delta[i] / N));
    return (channel[0] << 16) | (channel[1] << 8) | channel[2];
  }
};

std::uint32_t PixelOf(TsColor color) { return SwapRedBlue(color) & 0x00FFFFFFu; }

bool ClipToBitmap(TRect& rect, int width, int height) {
  rect.Right = std::min(rect.Right, width);
  rect.Bottom = std::min(rect.Bottom, height);
  rect.Left = std::max(rect.Left, 0);
  rect.Top = std::max(rect.Top, 0);
  return !rect.IsEmpty();
}

// A GDI+ fill on the bitmap's DC kept inside Rect and away from the excluded band.
template <class Fill>
void FillClipped(TBitmap* bitmap, const TRect& rect, const TRect& excluded, Fill&& fill) {
  HDC dc = bitmap->Canvas().Handle();
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
  ExcludeClipRect(dc, excluded.Left, excluded.Top, excluded.Right, excluded.Bottom);
  fill(dc);
  RestoreDC(dc, saved);
  GdiFlush();
}

void PaintVertical(TBitmap* bitmap, const TPixels32& p, const TRect& r, const TsGradArray& g, int startOffset) {
  const int last = int(g.size()) - 1;
  const long long span = static_cast<long long>(r.Height()) + startOffset;
  long long y = static_cast<long long>(r.Top) + startOffset;
  const int rowWidth = r.Width();
  for (int i = 1; i <= last; ++i) {
    const TsGradPoint &p1 = g[i - 1], &p2 = g[i];
    const long long start = y;
    y += (static_cast<long long>(p2.Percent) - p1.Percent) * span / 100;
    y = std::min<long long>(y, r.Bottom);
    if (i == last) y = r.Bottom;
    const long long n = y - start;
    if (n <= 0) continue;
    // Only the rows of the segment that lie inside Rect are painted.
    const int from = int(std::max<long long>(start, r.Top)), to = int(std::min<long long>(y, r.Bottom));
    if (from >= to) continue;
    if ((p1.Mode | p2.Mode) & gmGdiPlusSegment) {
      // GDI+ starts its gradient one row early so that its first painted row is not the
      // half-blended edge of the brush; that row is kept out by the clip.
      FillClipped(bitmap, r, Rect(r.Left, int(start - 1), r.Right, int(start)), [&](HDC dc) {
        FillLinearGradientV(dc, TColor(p1.Color), TColor(p2.Color), float(r.Left), float(start - 1),
                            float(rowWidth), float(n + 1));
      });
    } else if (p1.Color == p2.Color) {
      const std::uint32_t value = PixelOf(p1.Color) | 0xFF000000u;
      for (int row = from; row < to; ++row) FillDWords(p.Row(row) + r.Left, rowWidth, value);
    } else {
      const TSegmentColors colors(p1.Color, p2.Color, int(n));
      for (int row = from; row < to; ++row)
        FillDWords(p.Row(row) + r.Left, rowWidth, colors.At(int(row - start)) | 0xFF000000u);
    }
  }
}

// The colours of one horizontal row of the gradient without alpha, written into Row
// (indexed by column) for the columns of Rect that plain segments reach; OnPlain hears of
// each such run of columns (inclusive), OnGdiPlus of each GDI+ segment (start, end).
template <class OnPlain, class OnGdiPlus>
void HorizontalRow(std::uint32_t* row, const TRect& r, int bitmapWidth, const TsGradArray& g, OnPlain&& onPlain,
                   OnGdiPlus&& onGdiPlus) {
  const int last = int(g.size()) - 1;
  const double onePercent = r.Width() / 100.0;
  long long x = r.Left;
  for (int i = 1; i <= last; ++i) {
    const TsGradPoint &p1 = g[i - 1], &p2 = g[i];
    const long long start = x;
    x = std::llrint(double(start) + (double(p2.Percent) - p1.Percent) * onePercent);
    long long end = i == last ? r.Right : std::min<long long>(x, r.Right);
    if ((p1.Mode | p2.Mode) & gmGdiPlusSegment) {
      if (end > start) onGdiPlus(p1, p2, start, end);
    } else {
      // The end column is inclusive: the segment ends exactly on C2, in Rect's last column
      // at the latest.
      end = std::min<long long>({end, bitmapWidth - 1LL, r.Right - 1LL});
      const long long n = end - start, from = std::max<long long>(start, r.Left);
      if (n > 0 && from <= end) {
        const TSegmentColors colors(p1.Color, p2.Color, int(n));
        for (long long c = from; c <= end; ++c) row[c] = colors.At(int(c - start));
        onPlain(int(from), int(end));
      }
    }
    x = end;
  }
}

void PaintHorizontal(TBitmap* bitmap, const TPixels32& p, const TRect& r, const TsGradArray& g) {
  std::uint32_t* top = p.Row(r.Top);
  struct TGdiSegment {
    TsColor C1, C2;
    long long Start, End;
  };
  std::vector<TGdiSegment> gdiSegments;
  HorizontalRow(
      top, r, p.Width, g,
      [&](int from, int to) {
        // One row built, then copied into every further row.
        for (int c = from; c <= to; ++c) top[c] |= 0xFF000000u;
        const size_t bytes = static_cast<size_t>(to - from + 1) * 4;
        for (int y = r.Top + 1; y < r.Bottom; ++y) std::memcpy(p.Row(y) + from, top + from, bytes);
      },
      [&](const TsGradPoint& p1, const TsGradPoint& p2, long long start, long long end) {
        gdiSegments.push_back({p1.Color, p2.Color, start, end});
      });
  for (const auto& s : gdiSegments) {
    // Started one column early, that column kept out by the clip (see the vertical case).
    FillClipped(bitmap, r, Rect(int(s.Start - 1), r.Top, int(s.Start), r.Bottom), [&](HDC dc) {
      FillLinearGradientH(dc, TColor(s.C1), TColor(s.C2), float(s.Start - 1), float(r.Top), float(s.End - s.Start + 1),
                          float(r.Height()));
    });
  }
}

void PaintCenterCorners(TBitmap* bitmap, const TRect& r, const TsGradArray& g) {
  if (g.size() < 5) return;
  if (g[0].Mode & gmGdiPlusPath) {
    const TPoint corners[4] = {Point(r.Left, r.Top), Point(r.Right, r.Top), Point(r.Right, r.Bottom),
                               Point(r.Left, r.Bottom)};
    const TColor colors[4] = {TColor(g[0].Color), TColor(g[2].Color), TColor(g[3].Color), TColor(g[4].Color)};
    FillClipped(bitmap, r, TRect{}, [&](HDC dc) {
      FillPathGradient4(dc, corners, colors, float(r.Left), float(r.Top), float(r.Width()), float(r.Height()),
                        TColor(g[1].Color));
    });
    return;
  }
  if (!GradientFillEntry) return;
  TRIVERTEX v[5];
  MakeTriVertex(v[0], TColor(g[0].Color), Point(r.Left, r.Top));
  MakeTriVertex(v[1], TColor(g[1].Color), Point(r.Left + r.Width() / 2, r.Top + r.Height() / 2));
  MakeTriVertex(v[2], TColor(g[2].Color), Point(r.Right, r.Top));
  MakeTriVertex(v[3], TColor(g[3].Color), Point(r.Right, r.Bottom));
  MakeTriVertex(v[4], TColor(g[4].Color), Point(r.Left, r.Bottom));
  GRADIENT_TRIANGLE t[4];
  MakeTriangle(t[0], 0, 1, 2);
  MakeTriangle(t[1], 1, 2, 3);
  MakeTriangle(t[2], 0, 1, 4);
  MakeTriangle(t[3], 4, 1, 3);
  FillClipped(bitmap, r, TRect{}, [&](HDC dc) { GradientFillEntry(dc, v, 5, t, 4, GRADIENT_FILL_TRIANGLE); });
}

}  // namespace

void GradientUnitStartup() {
  if (gStartCount++ != 0) return;
  gMsimg32 = LoadLibraryW(L"msimg32.dll");
  if (gMsimg32)
    GradientFillEntry =
        reinterpret_cast<TGradientFillEntry>(reinterpret_cast<void*>(GetProcAddress(gMsimg32, "GradientFill")));
}

void GradientUnitCleanup() {
  if (gStartCount <= 0 || --gStartCount != 0) return;
  GradientFillEntry = nullptr;
  if (gMsimg32) FreeLibrary(gMsimg32);
  gMsimg32 = nullptr;
}

// ---------------------------------------------------------------------------
// Parsing
// ---------------------------------------------------------------------------

TsGradArray ParseGradientText(std::wstring_view wideText) {
  TsGradArray result;
  const std::string text = WideToAnsi(wideText);
  if (text.size() <= 4) return result;
  const TSysCharSet delimiters = MakeCharSet(";");
  const int fields = WordCountA(text, delimiters);
  auto field = [&](int n) { return ExtractWordA(n, text, delimiters); };
  const unsigned char layout = static_cast<unsigned char>(text.back());
  if (layout != '0') {
    const int count = int(layout) - 64;
    // A count character below '@' gives no count at all; it is reported like a bad field
    // instead of sizing anything from it.
    if (count < 0) RaiseNotInteger(std::string(1, char(layout)));
    result.resize(count);
    bool anyGdiPlus = false;
    for (int i = 0; i < count; ++i) {
      TsGradPoint& point = result[i];
      point.Color = static_cast<TsColor>(Field64(field(3 * i + 1)));
      point.Percent = FieldPercent(field(3 * i + 2));
      point.Mode = Field64(field(3 * i + 3));
      point.Index = static_cast<std::uint16_t>(i);
      anyGdiPlus = anyGdiPlus || (point.Mode & gmGdiPlusSegment);
    }
    if (anyGdiPlus && !result.empty()) result[0].Mode |= gmGdiPlusPath;
  } else {
    const int count = fields / 5;
    result.resize(count);
    int position = 0;
    for (int i = 0; i < count; ++i) {
      TsGradPoint& point = result[i];
      point.Color = static_cast<TsColor>(Field64(field(5 * i + 1))) | 0xFF000000u;
      point.Mode = Field64(field(5 * i + 4)) & ~gmGdiPlusSegment;
      point.Percent = static_cast<TPercent>(std::min(100, position));
      point.Index = static_cast<std::uint16_t>(i);
      position += FieldPercent(field(5 * i + 3));
    }
    if (!result.empty() && (result[0].Mode & gmDirectionMask) == gmCenterCorners)
      while (result.size() < 5) result.push_back(result.back());
  }
  if (!result.empty()) result.back().Percent = 100;
  return result;
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

void PaintGradientArray(TBitmap* bitmap, const TRect& rect, const TsGradArray& gradient, int, int startOffset) {
  TPixels32 p;
  if (gradient.empty() || rect.IsEmpty() || !GetPixels32(bitmap, p)) return;
  TRect r = rect;
  if (!ClipToBitmap(r, p.Width, p.Height)) return;
  switch (gradient[0].Mode & gmDirectionMask) {
    case gmVertical: PaintVertical(bitmap, p, r, gradient, startOffset); break;
    case gmHorizontal: PaintHorizontal(bitmap, p, r, gradient); break;
    case gmCenterCorners: PaintCenterCorners(bitmap, r, gradient); break;
    default: break;
  }
}

void PaintGradientWithTexture(TBitmap* bitmap, const TRect& rect, const TsGradArray& gradient, TBitmap* texture,
                              const TRect& texRect, std::uint8_t weight, std::uint8_t alpha) {
  TPixels32 p;
  if (gradient.size() < 2 || rect.IsEmpty() || !GetPixels32(bitmap, p)) return;
  const int direction = gradient[0].Mode & gmDirectionMask;
  if (direction != gmVertical && direction != gmHorizontal) return;
  TRect r = rect;
  if (!ClipToBitmap(r, p.Width, p.Height)) return;

  // The tile, kept inside the texture. A tile that comes out empty leaves the gradient plain.
  TPixels32 t;
  int tileW = 0, tileH = 0;
  TRect tile;
  if (GetPixels32(texture, t)) {
    tile = texRect.IsEmpty() ? Rect(0, 0, t.Width, t.Height) : texRect;
    tile.Left = std::clamp(tile.Left, 0, t.Width);
    tile.Top = std::clamp(tile.Top, 0, t.Height);
    tile.Right = std::clamp(tile.Right, tile.Left, t.Width);
    tile.Bottom = std::clamp(tile.Bottom, tile.Top, t.Height);
    tileW = std::max(0, tile.Width());
    tileH = std::max(0, tile.Height());
    if (tile.Top + tileH >= t.Height) tileH = t.Height - tile.Top - 1;
    if (tile.Left + tileW >= t.Width) tileW = t.Width - tile.Left - 1;
    if (tileW < 0 || tileH < 0) return;
  }
  const bool textured = tileW > 0 && tileH > 0;
  const std::uint32_t alphaBits = std::uint32_t(alpha) << 24;
  const std::uint32_t w = weight;

  // (Weight * (t - g) + g * 256) shr 8 per colour channel, alpha Alpha.
  auto mix = [&](std::uint32_t g, std::uint32_t t) {
    std::uint32_t out = alphaBits;
    for (int shift = 0; shift < 24; shift += 8) {
      const int gc = (g >> shift) & 0xFF, tc = (t >> shift) & 0xFF;
      out |= std::uint32_t((int(w) * (tc - gc) + gc * 256) >> 8) << shift;
    }
    return out;
  };
  // Row y of the bitmap in one gradient colour: one tile's width mixed, then repeated.
  std::vector<std::uint32_t> tileRow(std::max(tileW, 1));
  auto mixRowOfColor = [&](std::uint32_t* dst, int y, std::uint32_t g) {
    if (!textured) {
      FillDWords(dst + r.Left, r.Width(), (g & 0x00FFFFFFu) | alphaBits);
      return;
    }
    const std::uint32_t* texRow = t.Row(y % tileH + tile.Top) + tile.Left;
    for (int tx = 0; tx < tileW; ++tx) tileRow[tx] = mix(g, texRow[tx]);
    int tx = r.Left % tileW;
    for (int x = r.Left; x < r.Right; ++x) {
      dst[x] = tileRow[tx];
      if (++tx == tileW) tx = 0;
    }
  };
  // Row y of the bitmap from the gradient colours of its columns (Colors indexed by column).
  auto mixRowOfColors = [&](std::uint32_t* dst, int y, const std::uint32_t* colors) {
    if (!textured) {
      for (int x = r.Left; x < r.Right; ++x) dst[x] = (colors[x] & 0x00FFFFFFu) | alphaBits;
      return;
    }
    const std::uint32_t* texRow = t.Row(y % tileH + tile.Top) + tile.Left;
    int tx = r.Left % tileW;
    for (int x = r.Left; x < r.Right; ++x) {
      dst[x] = mix(colors[x], texRow[tx]);
      if (++tx == tileW) tx = 0;
    }
  };

  const int last = int(gradient.size()) - 1;
  if (direction == gmVertical) {
    long long y = r.Top;
    for (int i = 1; i <= last; ++i) {
      const TsGradPoint &p1 = gradient[i - 1], &p2 = gradient[i];
      const long long start = y;
      y = static_cast<long long>(r.Height()) * (int(p2.Percent) - int(p1.Percent)) / 100 + start;
      // Rows are inclusive here: the segment ends on C2 in Rect's last row at the latest.
      y = std::min<long long>(y, r.Bottom - 1LL);
      if (i == last) y = r.Bottom - 1LL;
      const long long n = y - start;
      if (n <= 0) continue;
      const TSegmentColors colors(p1.Color, p2.Color, int(n));
      for (long long row = std::max<long long>(start, r.Top); row <= y; ++row) {
        mixRowOfColor(p.Row(int(row)), int(row), colors.At(int(row - start)));
      }
    }
    return;
  }

  // Horizontal: the colours of one row, mixed into one tile's height of rows, which is then
  // repeated downwards block by block (the texture repeats with the same period).
  std::vector<std::uint32_t> colors(p.Row(r.Top), p.Row(r.Top) + p.Width);
  TsGradArray plain = gradient;
  for (auto& point : plain) point.Mode &= ~gmGdiPlusSegment;
  HorizontalRow(colors.data(), r, p.Width, plain, [](int, int) {}, [](auto&&...) {});
  const int block = textured ? std::min(tileH, r.Height()) : 1;
  for (int y = r.Top; y < r.Top + block; ++y) mixRowOfColors(p.Row(y), y, colors.data());
  const size_t bytes = static_cast<size_t>(r.Width()) * 4;
  for (int y = r.Top + block; y < r.Bottom; ++y)
    std::memcpy(p.Row(y) + r.Left, p.Row(y - block) + r.Left, bytes);
}

void MakeTriVertex(TRIVERTEX& vertex, TColor color, TPoint point) {
  const std::uint32_t c = static_cast<std::uint32_t>(color);
  vertex.x = point.X;
  vertex.y = point.Y;
  vertex.Red = static_cast<COLOR16>((c & 0xFF) << 8);
  vertex.Green = static_cast<COLOR16>(((c >> 8) & 0xFF) << 8);
  vertex.Blue = static_cast<COLOR16>(((c >> 16) & 0xFF) << 8);
  vertex.Alpha = 0xFF00;
}

void MakeTriangle(GRADIENT_TRIANGLE& triangle, ULONG a, ULONG b, ULONG c) {
  triangle.Vertex1 = a;
  triangle.Vertex2 = b;
  triangle.Vertex3 = c;
}

// ---------------------------------------------------------------------------
// Shadows and fades
// ---------------------------------------------------------------------------

void StretchShadowColumns(TBitmap* bitmap, int cx, int radius, int extraWidth) {
  TPixels32 p;
  if (!GetPixels32(bitmap, p) || cx < 0 || radius < 0 || extraWidth < 0) return;
  const int width = p.Width;
  if (cx + radius >= width || cx + extraWidth >= width) return;
  for (int y = 0; y < p.Height; ++y) {
    std::uint32_t* row = p.Row(y);
    std::memmove(row + width - radius, row + cx + 1, static_cast<size_t>(radius) * 4);
    for (int x = cx + 1; x <= cx + extraWidth; ++x) row[x] = row[cx];
  }
}

std::unique_ptr<TBitmap> BuildSoftShadowBitmap(TColor color, int radius, int topOffset, int extraHeight,
                                               int extraWidth, int blur, bool mask) {
  // Sizes come from skins: a negative one would place rows and columns outside the bitmap.
  radius = std::max(radius, 0);
  topOffset = std::max(topOffset, 0);
  extraHeight = std::max(extraHeight, 0);
  extraWidth = std::max(extraWidth, 0);
  blur = std::max(blur, 0);
  const int d = 2 * radius;
  auto bitmap = NewBitmap32(d + extraWidth + 1, d + extraHeight + topOffset + 1);
  FillRectArgb(bitmap.get(), Rect(0, 0, bitmap->Width(), bitmap->Height()), mask ? clWhite : clBlack,
               mask ? 255 : 0);
  TPixels32 p;
  if (!GetPixels32(bitmap.get(), p)) return bitmap;

  const int cx = radius, cy = topOffset + radius;
  double inner = 0;
  if (blur > 0)
    inner = radius - blur;
  else
    blur = radius;
  const std::uint32_t c = static_cast<std::uint32_t>(color), a = c >> 24;
  for (int y = topOffset; y <= cy; ++y) {
    std::uint32_t* row = p.Row(y);
    for (int x = 0; x <= cx; ++x) {
      const double dist = std::sqrt(double(x - cx) * (x - cx) + double(y - cy) * (y - cy));
      double intensity = 255;
      if (dist > inner) {
        if (mask)
          intensity = 255 * (1 - (dist - inner) / (blur + 1)) * (radius + 1 - dist) / (blur + 1);
        else
          intensity = 255 * (radius - dist + 1) * (1 - (dist - inner) / (radius - inner)) / (radius - inner);
      }
      // A blurred shadow's intensity passes 255 just outside the inner radius; it saturates
      // rather than wrapping the alpha and colour bytes.
      const std::uint32_t level = static_cast<std::uint32_t>(std::clamp<long>(std::lrint(intensity), 0, 255));
      std::uint32_t value;
      if (mask) {
        if (dist > radius) {
          value = 0xFFFFFFFFu;
        } else {
          const std::uint32_t grey = (255 * (255 - level) + a * level) >> 8;
          value = 0xFF000000u | (grey << 16) | (grey << 8) | grey;
        }
      } else if (dist > radius) {
        value = 0;
      } else {
        const std::uint32_t alphaByte = (a * level) >> 8;
        const std::uint32_t r = ((c & 0xFF) * 255 * alphaByte) >> 16, g = (((c >> 8) & 0xFF) * 255 * alphaByte) >> 16,
                            b = (((c >> 16) & 0xFF) * 255 * alphaByte) >> 16;
        value = (alphaByte << 24) | (r << 16) | (g << 8) | b;
      }
      row[x] = value;
      row[2 * cx - x] = value;
    }
    // The lower half of the disc lies ExtraHeight rows below the upper half.
    std::memcpy(p.Row(2 * cy - y + extraHeight), row, static_cast<size_t>(2 * cx + 1) * 4);
  }
  for (int y = cy + 1; y <= cy + extraHeight; ++y)
    std::memcpy(p.Row(y), p.Row(cy), static_cast<size_t>(p.Width) * 4);
  StretchShadowColumns(bitmap.get(), cx, radius, extraWidth);
  return bitmap;
}

void PaintColorFade(TBitmap* bitmap, TColor color, int direction) {
  if (!bitmap) return;
  FillRectArgb(bitmap, Rect(0, 0, bitmap->Width(), bitmap->Height()), clBlack, 1);
  const TsColor full = static_cast<TsColor>(color), clear = full & 0x00FFFFFFu;
  TsGradArray g(2);
  g[1].Index = 1;
  g[1].Percent = 100;
  switch (direction) {
    case 0: g[0].Color = full, g[0].Mode = 0x3D, g[1].Color = clear, g[1].Mode = 0x1D; break;
    case 1: g[0].Color = clear, g[0].Mode = 0x1C, g[1].Color = full, g[1].Mode = 0x1C; break;
    case 2: g[0].Color = clear, g[0].Mode = 0x3D, g[1].Color = full, g[1].Mode = 0x1D; break;
    case 3: g[0].Color = full, g[0].Mode = 0x1C, g[1].Color = clear, g[1].Mode = 0x1C; break;
    default: return;
  }
  PaintGradientArray(bitmap, Rect(0, 0, bitmap->Width(), bitmap->Height()), g, 0, 0);
}
