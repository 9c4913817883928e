#include "skin/graphics/sGraphUtils.Transform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

#include "skin/graphics/acGdiPlus.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.h"

TSinCos SinCosTable[360];

const float FilterRadius[7] = {0.51f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};

namespace {
bool gSinCosFilled = false;
constexpr double Pi = std::numbers::pi;
}  // namespace

void FillSinCosTable() {
  if (gSinCosFilled) return;
  for (int i = 0; i < 360; ++i) {
    const double a = static_cast<double>(DegToRad(i));
    SinCosTable[i] = TSinCos{float(std::sin(a)), float(std::cos(a))};
  }
  gSinCosFilled = true;
}

long double DegToRad(long double x) { return x * std::numbers::pi_v<long double> / 180; }

// ---------------------------------------------------------------------------
// TPrlgram
// ---------------------------------------------------------------------------

TPrlgram::TPrlgram(std::span<const TPoint> points) {
  for (size_t i = 0; i < points.size() && i < 4; ++i) FPoints[i] = TPointD{double(points[i].X), double(points[i].Y)};
}

void TPrlgram::Rotate(TAngle angle) {
  const TSinCos& t = SinCosTable[angle % 360];
  const double s = t.Sin, c = t.Cos;
  const double cx = (FPoints[0].X + FPoints[2].X) / 2, cy = (FPoints[0].Y + FPoints[2].Y) / 2;
  for (auto& p : FPoints) {
    const double dx = p.X - cx, dy = p.Y - cy;
    p = TPointD{cx + dx * c + dy * s, cy - dx * s + dy * c};
  }
}

TPoint TPrlgram::GetPoint(int index) const {
  if (index < 0 || index > 3) return TPoint{};
  return TPoint{int(std::lrint(FPoints[index].X)), int(std::lrint(FPoints[index].Y))};
}

// ---------------------------------------------------------------------------
// Arrows
// ---------------------------------------------------------------------------

void DrawArrowTriangle(TBitmap* bmp, TColor color, const TRect& r, int direction, int ppi) {
  TPixels32 p;
  if (!GetPixels32(bmp, p) || direction < 0 || direction > 3) return;
  const int sz = ArrowSize * ppi / 96, half = sz / 2 + sz % 2;
  if (sz <= 0) return;
  const bool vertical = direction == 1 || direction == 3;
  const int left = vertical ? r.Left + (r.Width() - sz) / 2 : r.Left + (r.Width() - half) / 2;
  const int top = vertical ? r.Top + (r.Height() - half) / 2 : r.Top + (r.Height() - sz) / 2;
  if (left < 0 || top < 0) return;
  if (vertical ? (left + sz >= p.Width || top + half >= p.Height) : (left + half >= p.Width || top + sz >= p.Height))
    return;
  const std::uint32_t value = SwapRedBlue(static_cast<std::uint32_t>(color));
  auto span = [&](int row, int from, int to) {
    for (int x = from; x <= to; ++x) p.Row(top + row)[left + x] = value;
  };
  switch (direction) {
    case 0:
      for (int i = 0; i <= sz; ++i) span(i, half - std::min(i, 2 * half - i), half - 1);
      break;
    case 2:
      for (int i = 0; i < sz; ++i) span(i, 0, i < half ? i : sz - i - 1);
      break;
    case 1:
      for (int j = 0; j < half; ++j) span(half - 1 - j, j, sz - 1 - j);
      break;
    case 3:
      for (int j = 0; j <= half; ++j) span(j, j, sz - 1 - j);
      break;
  }
}

namespace {

// The downward arrow of DrawScaledArrow, white and transparent where nothing is drawn.
std::unique_ptr<TBitmap> BuildDownArrow(TColor color, std::uint32_t interior, bool hasInterior, int s, int l,
                                        int style, bool oddWidth) {
  const int h = l / 2, b = std::max(1, h);
  const bool outlined = style == 1 || style == 3;
  int height = (style == 2 || style == 3) ? s - s / 2 : s;
  int width = 2 * s + (oddWidth ? 1 : 0);
  if (outlined) {
    height += l + b;
    width += l;
  } else if (oddWidth) {
    height += 1;
  }
  if (width <= 0 || height <= 0) return nullptr;
  auto arrow = NewBitmap32(width, height);
  TPixels32 p;
  if (!GetPixels32(arrow.get(), p)) return nullptr;
  const int par = width % 2;
  TPoint pts[4];
  if (outlined) {
    pts[0] = {b, b};
    pts[1] = {s + b, height - l};
    pts[2] = {pts[1].X - h + par, pts[1].Y};
    pts[3] = {pts[2].X + s, b};
  } else {
    pts[0] = {0, 0};
    pts[1] = {width / 2 - 1 + par, height - 1};
    pts[2] = {pts[1].X + 1 - par, pts[1].Y};
    pts[3] = {width / 2 + pts[2].X - 1 + par, 0};
  }
  TCanvas& canvas = arrow->Canvas();
  if (hasInterior) {
    canvas.Brush.Color = clBlack;
    canvas.Pen.Color = clBlack;
    canvas.Polygon(pts, 4);
    GdiFlush();
    // The polygon's shades become the interior colour's alpha; untouched white stays clear.
    for (int y = 0; y < p.Height; ++y) {
      std::uint32_t* row = p.Row(y);
      for (int x = 0; x < p.Width; ++x) {
        const std::uint32_t c = row[x];
        const std::uint32_t sum = (c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF);
        row[x] = sum == 765 ? 0x00FFFFFFu : (interior & 0x00FFFFFFu) | ((255 - sum / 3) << 24);
      }
    }
  }
  if (l > 0) {
    HDC dc = canvas.Handle();
    DrawLineGdiPlus(dc, color, float(pts[0].X), float(pts[0].Y), float(pts[1].X), float(pts[1].Y), float(l));
    DrawLineGdiPlus(dc, color, float(pts[2].X), float(pts[2].Y), float(pts[3].X), float(pts[3].Y), float(l));
    GdiFlush();
  }
  return arrow;
}

}  // namespace

void DrawScaledArrow(TBitmap* bmp, TColor color, TColor fillColor, const TRect& r, int direction, int lineWidth,
                     int angle, int size, int style, int ppi) {
  TPixels32 target;
  if (!GetPixels32(bmp, target) || style < 0 || style > 3) return;
  if (size == 0) size = ArrowSize;
  size = size * ppi / 96;
  const bool outlined = style == 1 || style == 3;
  std::uint32_t interior = 0;
  bool hasInterior = true;
  if (outlined) {
    if (lineWidth == 0) lineWidth = ArrowLineWidth * ppi / 96;
    hasInterior = fillColor != clNone;
    if (hasInterior) interior = SwapRedBlue(static_cast<std::uint32_t>(fillColor)) | 0xFF000000u;
  } else {
    interior = SwapRedBlue(static_cast<std::uint32_t>(color)) | 0xFF000000u;
    lineWidth = 1;
  }
  const bool oddWidth = r.Width() % 2 != 0;
  if (!outlined) {
    size -= 1;
    if (style == 2 && !oddWidth) size += 1;
  }
  auto arrow = BuildDownArrow(color, interior, hasInterior, size, lineWidth, style, oddWidth);
  if (!arrow || arrow->Empty()) return;
  if (direction == 1) {
    TPixels32 a;
    if (GetPixels32(arrow.get(), a))
      for (int y = 0; y < a.Height / 2; ++y) std::swap_ranges(a.Row(y), a.Row(y) + a.Width, a.Row(a.Height - 1 - y));
  } else if (direction == 0) {
    arrow = RotateBitmap90(std::move(arrow), 90);
  } else if (direction == 2) {
    arrow = RotateBitmap90(std::move(arrow), 270);
  }
  if (!arrow || arrow->Empty()) return;
  AlphaBlendRect(bmp, arrow.get(), Rect(0, 0, arrow->Width() - 1, arrow->Height() - 1),
                 Point(r.Left + (r.Width() - arrow->Width()) / 2, r.Top + (r.Height() - arrow->Height()) / 2), 255);
  if (angle != 0) {
    auto copy = CloneBitmapFormat(bmp);
    CopyBitmapPixels(copy.get(), bmp);
    DrawRotatedBitmap(bmp->Canvas().Handle(), copy.get(), Point(bmp->Width() / 2, bmp->Height() / 2), angle - 90);
    GdiFlush();
  }
}

// ---------------------------------------------------------------------------
// Turns
// ---------------------------------------------------------------------------

std::unique_ptr<TBitmap> RotateBitmap90(std::unique_ptr<TBitmap> bmp, int angle) {
  TPixels32 s;
  if (!bmp || bmp->BitsPerPixel() != 32 || !GetPixels32(bmp.get(), s)) return bmp;
  const int w = s.Width, h = s.Height;
  const bool swap = angle == 90 || angle == 270;
  auto turned = NewBitmap32(swap ? h : w, swap ? w : h);
  TPixels32 d;
  if (!GetPixels32(turned.get(), d)) return bmp;
  // Block by block, so that the rows written across stay in the cache.
  constexpr int Block = 32;
  for (int by = 0; by < h; by += Block)
    for (int bx = 0; bx < w; bx += Block) {
      const int ey = std::min(by + Block, h), ex = std::min(bx + Block, w);
      for (int y = by; y < ey; ++y) {
        const std::uint32_t* row = s.Row(y);
        switch (angle) {
          case 90:
            for (int x = bx; x < ex; ++x) d.Row(x)[h - 1 - y] = row[x];
            break;
          case 180: {
            std::uint32_t* out = d.Row(h - 1 - y);
            for (int x = bx; x < ex; ++x) out[w - 1 - x] = row[x];
            break;
          }
          case 270:
            for (int x = bx; x < ex; ++x) d.Row(w - 1 - x)[y] = row[x];
            break;
          default: std::memcpy(d.Row(y) + bx, row + bx, static_cast<size_t>(ex - bx) * 4); break;
        }
      }
    }
  return turned;  // the bitmap handed in is freed here
}

void DrawRotatedBitmap(HDC dc, TBitmap* bmp, TPoint center, int angle) {
  if (!bmp || bmp->Empty()) return;
  FillSinCosTable();
  const int a = angle;
  int turn = 360 - a < 0 ? 720 - a : (0 < a ? 360 - a : -a);
  turn = ((turn % 360) + 360) % 360;  // angles beyond a turn either way stay inside the table
  const int w = bmp->Width(), h = bmp->Height();
  const TPoint p0 = Point(center.X - w / 2, center.Y - h / 2);
  const TPoint corners[4] = {p0, Point(p0.X + w, p0.Y), Point(p0.X + w, p0.Y + h), Point(p0.X, p0.Y + h)};
  TPrlgram prlgram(corners);
  prlgram.Rotate(static_cast<TAngle>(turn));
  const TPoint q1 = prlgram.GetPoint(1), q2 = prlgram.GetPoint(2), q0 = prlgram.GetPoint(0);
  const POINT pts[3] = {{q1.X, q1.Y}, {q2.X, q2.Y}, {q0.X, q0.Y}};
  PlgBlt(dc, pts, bmp->Canvas().Handle(), 0, 0, w, h, nullptr, 0, 0);
}

// ---------------------------------------------------------------------------
// Filtered resampling
// ---------------------------------------------------------------------------

namespace {

double FilterWeight(int filter, double x, double signedX) {
  switch (filter) {
    case 0: return (x <= 0.5 && signedX != -0.5) ? 1 : 0;
    case 1: return 1 - x;
    case 2: return (2 * x - 3) * x * x + 1;
    case 3: return x < 0.5 ? 0.75 - x * x : 0.5 * (x - 1.5) * (x - 1.5);
    case 4: return x >= 1 ? (2 - x) * (2 - x) * (2 - x) / 6 : x * x * (x / 2 - 1) + 2.0 / 3;
    case 5: return x == 0 ? 1 : std::sin(Pi * x) * std::sin(x) / (Pi * x * x);
    default:
      return x >= 1 ? x * x * (2 - (7.0 / 18) * x) - (10.0 / 3) * x + 16.0 / 9 : ((7.0 / 6) * x - 2) * x * x + 8.0 / 9;
  }
}

std::uint32_t ClampSum(std::int32_t sum) {
  if (sum < 0) return 0;
  if (sum >= 0xFF0001) return 255;
  return static_cast<std::uint32_t>(sum) >> 16;
}

// The vertical pass row by row: target row i of Dst from the rows its entries name, every
// column at once (the same sums as column by column, in the order memory is laid out).
void ApplyFilterRows(const std::uint8_t* src, const TPixels32& dst, const TFilterContributions& list) {
  const int lanes = dst.Width * 4;
  std::vector<std::int32_t> sums(lanes);
  for (int i = 0; i < dst.Height; ++i) {
    std::fill(sums.begin(), sums.end(), 0);
    const TFilterEntry* e = list.Entries.data() + static_cast<size_t>(i) * list.MaxEntries;
    for (int k = 0; k < list.Counts[i]; ++k) {
      const std::int32_t wgt = e[k].Weight;
      const std::uint8_t* row = src + e[k].Offset;
      for (int c = 0; c < lanes; ++c) sums[c] += wgt * row[c];
    }
    auto* out = reinterpret_cast<std::uint8_t*>(dst.Row(i));
    for (int c = 0; c < lanes; ++c) out[c] = static_cast<std::uint8_t>(ClampSum(sums[c]));
  }
}

}  // namespace

TFilterContributions BuildFilterContributions(int n, int b, std::intptr_t stride, int filter) {
  TFilterContributions list;
  if (n <= 0 || b <= 0 || filter < 0 || filter > 6) return list;
  const double radius = FilterRadius[filter];
  const double d = n < b ? double(n) / b : 1.0;
  const double w = radius / d;
  const int m = std::max(1, int(2 * w + 1));
  list.MaxEntries = m;
  list.Counts.assign(n, 0);
  list.Entries.assign(static_cast<size_t>(n) * m, TFilterEntry{0, 0});
  for (int i = n - 1; i >= 0; --i) {
    const float g = float(double(b) * i / n);
    TFilterEntry* out = list.Entries.data() + static_cast<size_t>(i) * m;
    int& count = list.Counts[i];
    for (long long j = static_cast<long long>(std::ceil(g + w)); j >= static_cast<long long>(std::floor(g - w)); --j) {
      const double signedX = (double(g) - j) * d, x = std::fabs(signedX);
      if (x >= radius) continue;
      const double u = FilterWeight(filter, x, signedX);
      if (u == 0) continue;
      if (count >= m) break;  // never more entries than the list holds a target
      // Mirrored at the edges; mirroring once is not enough for wide filters over few
      // sources, so the index is then kept inside the source as well.
      long long k = j;
      if (k < 0) {
        k = -k;
        if (k >= b) k = j + 2LL * b - 1;
      } else if (k >= b) {
        k = 2LL * b - 1 - k;
      }
      k = std::clamp<long long>(k, 0, b - 1);
      const auto weight = static_cast<std::int32_t>(std::lrint(u * d * 65536));
      // An entry of weight 0 adds nothing to any sum.
      if (weight != 0) out[count++] = TFilterEntry{static_cast<std::intptr_t>(k) * stride, weight};
    }
  }
  return list;
}

void ApplyFilterContributions(const std::uint8_t* src, std::uint8_t* dst, std::intptr_t dstStep,
                              const TFilterContributions& list) {
  const int n = int(list.Counts.size());
  for (int i = 0; i < n; ++i, dst += dstStep) {
    std::int32_t sb = 0, sg = 0, sr = 0, sa = 0;
    const TFilterEntry* e = list.Entries.data() + static_cast<size_t>(i) * list.MaxEntries;
    for (int k = 0; k < list.Counts[i]; ++k) {
      const std::int32_t wgt = e[k].Weight;
      const std::uint8_t* px = src + e[k].Offset;
      sb += wgt * px[0];
      sg += wgt * px[1];
      sr += wgt * px[2];
      sa += wgt * px[3];
    }
    dst[0] = static_cast<std::uint8_t>(ClampSum(sb));
    dst[1] = static_cast<std::uint8_t>(ClampSum(sg));
    dst[2] = static_cast<std::uint8_t>(ClampSum(sr));
    dst[3] = static_cast<std::uint8_t>(ClampSum(sa));
  }
}

void StretchBitmapFiltered(TBitmap* src, TBitmap* dst, int newWidth, int newHeight, int filter) {
  if (!src || !dst || newWidth <= 0 || newHeight <= 0 || filter < 0 || filter > 6) return;
  // Src's size is taken before anything is resized: Dst may be Src.
  const int sw = src->Width(), sh = src->Height();
  if (sw < 2 || sh < 2) return;
  if (sw == newWidth && sh == newHeight) {
    if (dst != src) CopyBitmapPixels(dst, src);
    return;
  }
  // A source of another depth is read through a 32-bit copy, never with a 4-byte stride.
  std::unique_ptr<TBitmap> copy;
  TBitmap* source = src;
  if (src->BitsPerPixel() != 32) {
    copy = NewBitmap32(sw, sh);
    if (copy->Empty()) return;
    BitBlt(copy->Canvas().Handle(), 0, 0, sw, sh, src->Canvas().Handle(), 0, 0, SRCCOPY);
    GdiFlush();
    source = copy.get();
  }
  TPixels32 s;
  if (!GetPixels32(source, s)) return;
  // The horizontal pass goes into plain memory: rows of NewWidth pixels, top row first.
  std::vector<std::uint32_t> work;
  try {
    work.resize(static_cast<size_t>(newWidth) * sh);
  } catch (const std::bad_alloc&) {
    return;
  }
  const std::intptr_t workStride = static_cast<std::intptr_t>(newWidth) * 4;
  auto* workBase = reinterpret_cast<std::uint8_t*>(work.data());
  {
    const TFilterContributions list = BuildFilterContributions(newWidth, sw, 4, filter);
    for (int y = 0; y < sh; ++y)
      ApplyFilterContributions(reinterpret_cast<const std::uint8_t*>(s.Row(y)), workBase + y * workStride, 4, list);
  }
  copy.reset();
  try {
    dst->SetPixelFormat(pf32bit);
    dst->SetSize(newWidth, newHeight);
  } catch (const EOutOfResources&) {
    return;
  }
  TPixels32 d;
  if (!GetPixels32(dst, d) || d.Width != newWidth || d.Height != newHeight) return;
  const TFilterContributions list = BuildFilterContributions(newHeight, sh, workStride, filter);
  ApplyFilterRows(workBase, d, list);
}
