#include "skin/graphics/acColorAdjust.h"

#include <algorithm>
#include <cmath>

#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.h"

namespace {
inline std::uint32_t ByteAt(std::uint32_t value, int shift) { return (value >> shift) & 0xFF; }
}  // namespace

std::uint32_t ChangeColorBrightness(std::uint32_t color, int amount) {
  if (amount == 0) return color;
  // Products in 64 bits: an amount from a skin may be any 32-bit value.
  const long long a = amount;
  std::uint32_t result = color & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const long long c = ByteAt(color, shift);
    const long long v = a > 0 ? std::min(255LL, c + ((c * a) >> 8)) : std::max(0LL, c - ((c * -a) >> 8));
    result |= static_cast<std::uint32_t>(v) << shift;
  }
  return result;
}

std::uint32_t ChangeColorSaturation(std::uint32_t color, int amount) {
  return amount == 0 ? color : AdjustSaturation(amount, color);
}

std::uint32_t AdjustSaturation(int amount, std::uint32_t color) {
  if (amount == 0) return color;
  const long long a = amount, y = LumaOf(color);
  std::uint32_t result = color & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const long long c = ByteAt(color, shift);
    const long long v = std::clamp((255 + a) * c - a * y, 0LL, 65535LL) >> 8;
    result |= static_cast<std::uint32_t>(v) << shift;
  }
  return result;
}

TColor ShiftColorHue(int degrees, TColor color) {
  if (degrees == 0) return color;
  return static_cast<TColor>(SwapRedBlue(RotateHue(degrees, SwapRedBlue(static_cast<std::uint32_t>(color)))));
}

std::uint32_t RotateHue(int degrees, std::uint32_t color) {
  const double r = ByteAt(color, 16), g = ByteAt(color, 8), b = ByteAt(color, 0);
  const double v = std::max({r, g, b}), m = std::min({r, g, b});
  const double s = v == 0 ? 0.0 : (v - m) / v;
  if (s == 0) return (color & 0xFF00FFFFu) | (static_cast<std::uint32_t>(v) << 16);

  const double k = 60 / (v - m);
  double h;
  if (r == v)
    h = k * (g - b);
  else if (g == v)
    h = 120 + k * (b - r);
  else
    h = 240 + k * (r - g);
  if (h < 0) h += 360;

  // The turned hue brought into 0..359 whatever the shift's size or sign.
  long long turned = static_cast<long long>(std::trunc(degrees + h)) % 360;
  if (turned < 0) turned += 360;
  const double hh = static_cast<double>(turned);
  const int i = static_cast<int>(std::trunc(hh / 60));
  const double f = hh / 60 - i;
  const double p = std::clamp(v * (1 - s), 0.0, 255.0);
  const double q = std::clamp(v * (1 - f * s), 0.0, 255.0);
  const double t = std::clamp(v * (1 - (1 - f) * s), 0.0, 255.0);
  double nr, ng, nb;
  switch (i) {
    case 0: nr = v, ng = t, nb = p; break;
    case 1: nr = q, ng = v, nb = p; break;
    case 2: nr = p, ng = v, nb = t; break;
    case 3: nr = p, ng = q, nb = v; break;
    case 4: nr = t, ng = p, nb = v; break;
    default: nr = v, ng = p, nb = q; break;
  }
  return (color & 0xFF000000u) | (static_cast<std::uint32_t>(std::trunc(nr)) << 16) |
         (static_cast<std::uint32_t>(std::trunc(ng)) << 8) | static_cast<std::uint32_t>(std::trunc(nb));
}

std::uint32_t ApplyColorTone(std::uint32_t color, std::uint32_t tone) {
  const std::uint32_t m = std::max({ByteAt(color, 0), ByteAt(color, 8), ByteAt(color, 16)});
  return (color & 0xFF000000u) | (((m * ByteAt(tone, 0)) >> 8) << 16) | (((m * ByteAt(tone, 8)) >> 8) << 8) |
         ((m * ByteAt(tone, 16)) >> 8);
}

void ForEachPixel(TBitmap* bitmap, TPixelProc proc, std::int32_t value, TColor key) {
  TPixels32 p;
  if (!proc || !GetPixels32(bitmap, p)) return;
  const bool everyPixel = key == clNone;
  const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(key));
  for (int y = 0; y < p.Height; ++y) {
    std::uint32_t* row = p.Row(y);
    for (int x = 0; x < p.Width; ++x)
      if (everyPixel || row[x] != k) proc(&row[x], value);
  }
}

void PixelBrightness(std::uint32_t* pixel, std::int32_t value) { *pixel = ChangeColorBrightness(*pixel, value); }
void PixelSaturation(std::uint32_t* pixel, std::int32_t value) { *pixel = AdjustSaturation(value, *pixel); }
void PixelHueShift(std::uint32_t* pixel, std::int32_t value) { *pixel = RotateHue(value, *pixel); }
void PixelColorTone(std::uint32_t* pixel, std::int32_t value) {
  *pixel = ApplyColorTone(*pixel, static_cast<std::uint32_t>(value));
}
void PixelOpaque(std::uint32_t* pixel, std::int32_t) { *pixel |= 0xFF000000u; }
