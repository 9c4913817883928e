#include "skin/graphics/acPNG.h"
#include "skin/graphics/acZLibEx.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
const wchar_t ErrBitsPerSample[] = L"Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
const wchar_t ErrSamplesPerPixel[] = L"Sample count per pixel does not correspond to the given color scheme.";
const wchar_t ErrIndexedMix[] = L"Conversion between indexed and non-indexed pixel formats is not supported.";
const wchar_t ErrNoMethod[] = L"Color conversion failed. Could not find a proper method.";

inline std::uint8_t RotateRight(std::uint8_t bit) { return static_cast<std::uint8_t>((bit >> 1) | (bit << 7)); }
inline std::uint16_t Swap16(std::uint16_t v) { return static_cast<std::uint16_t>((v >> 8) | (v << 8)); }
inline std::uint16_t Load16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }
inline std::uint8_t Scale16To8(std::uint32_t v) { return static_cast<std::uint8_t>(v * 255 / 65535); }
inline std::uint16_t Widen8To16(std::uint32_t v) { return static_cast<std::uint16_t>(v * 65535 / 255); }
inline std::uint8_t ClampByte(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }
inline bool IsRGBKind(TColorScheme s) { return s == csRGB || s == csRGBA; }
inline bool IsBGRKind(TColorScheme s) { return s == csBGR || s == csBGRA; }
// Rounding of the tables: to the nearest integer, halves to even (the FPU's default).
inline int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

// Reads packed samples of 1 to 8 bits, most significant bits first.
struct TBitReader {
  const std::uint8_t* p;
  int bits;
  int shift;
  std::uint8_t Next() {
    if (bits == 8) return *p++;
    shift -= bits;
    std::uint8_t v = static_cast<std::uint8_t>((*p >> shift) & ((1u << bits) - 1));
    if (shift == 0) {
      ++p;
      shift = 8;
    }
    return v;
  }
};

// A column mask whose pixels are every Step-th from First (the masks of whole rows and of
// the interlace passes): true with those two, false for any other pattern.
inline bool RegularMask(std::uint8_t mask, std::uint32_t& first, std::uint32_t& step) {
  if (mask == 0) return false;
  first = 0;
  while (!(mask & (0x80u >> first))) ++first;
  for (step = 1; step <= 8; step *= 2) {
    std::uint8_t pattern = 0;
    for (std::uint32_t k = first; k < 8; k += step) pattern |= static_cast<std::uint8_t>(0x80u >> k);
    if (first < step && pattern == mask) return true;
  }
  return false;
}

// Eight-bit red, green, blue (and alpha) of consecutive source pixels into the target
// columns First, First + Step, ...; Swap exchanges red and blue.
template <int SourceStep, int TargetStep, bool Alpha, bool Swap>
void CopyRGB8Columns(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::uint32_t first,
                     std::uint32_t step, std::uint32_t count) {
  if constexpr (SourceStep == 4 && TargetStep == 4 && Alpha) {
    if (step == 1) {
      if constexpr (!Swap) {
        std::memcpy(out + first * 4, in, static_cast<std::size_t>(count - first) * 4);
      } else {
        for (std::uint32_t i = first; i < count; ++i, in += 4) {
          std::uint32_t v;
          std::memcpy(&v, in, 4);
          v = (v & 0xFF00FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu);
          std::memcpy(out + static_cast<std::size_t>(i) * 4, &v, 4);
        }
      }
      return;
    }
  }
  const int first0 = Swap ? 2 : 0, third = Swap ? 0 : 2;
  for (std::uint32_t i = first; i < count; i += step, in += SourceStep) {
    std::uint8_t* o = out + static_cast<std::size_t>(i) * TargetStep;
    o[first0] = in[0];
    o[1] = in[1];
    o[third] = in[2];
    if constexpr (Alpha) o[3] = in[3];
  }
}

// Stores a value of 1 to 8 bits into the bit field of target pixel i, keeping the other bits.
inline void StorePacked(std::uint8_t* target, std::uint32_t i, int bits, std::uint32_t v) {
  if (bits == 8) {
    target[i] = static_cast<std::uint8_t>(v);
    return;
  }
  std::uint32_t perByte = 8 / bits;
  std::uint8_t& b = target[i / perByte];
  int shift = 8 - bits * static_cast<int>(i % perByte + 1);
  std::uint8_t fieldMask = static_cast<std::uint8_t>(((1u << bits) - 1) << shift);
  b = static_cast<std::uint8_t>((b & ~fieldMask) | ((v << shift) & fieldMask));
}
}  // namespace

// ================================================================================
// TColorManager
// ================================================================================

TColorManager::TColorManager() { SetGamma(1.0f, 2.2f); }

void TColorManager::Error(const std::wstring& Msg) { throw EColorConversionError(Msg); }

void TColorManager::SetSourceBitsPerSample(std::uint8_t value) {
  if (value < 1 || value > 16) Error(ErrBitsPerSample);
  if (FSourceBPS != value) FChanged = true;
  FSourceBPS = value;
}

void TColorManager::SetTargetBitsPerSample(std::uint8_t value) {
  if (value < 1 || value > 16) Error(ErrBitsPerSample);
  if (FTargetBPS != value) FChanged = true;
  FTargetBPS = value;
}

void TColorManager::SetSourceSamplesPerPixel(std::uint8_t value) {
  if (value < 1 || value > 4) Error(ErrSamplesPerPixel);
  if (FSourceSPP != value) FChanged = true;
  FSourceSPP = value;
}

void TColorManager::SetTargetSamplesPerPixel(std::uint8_t value) {
  if (value < 1 || value > 4) Error(ErrSamplesPerPixel);
  if (FTargetSPP != value) FChanged = true;
  FTargetSPP = value;
}

void TColorManager::SetSourceColorScheme(TColorScheme value) {
  if (FSourceScheme != value) FChanged = true;
  FSourceScheme = value;
}

void TColorManager::SetTargetColorScheme(TColorScheme value) {
  if (FTargetScheme != value) FChanged = true;
  FTargetScheme = value;
}

TPngPixelFormat TColorManager::GetPixelFormat(int index) const {
  int spp = index == 0 ? FSourceSPP : FTargetSPP;
  int bps = index == 0 ? FSourceBPS : FTargetBPS;
  switch (spp) {
    case 1:
      if (bps == 1) return TPngPixelFormat::pf1bit;
      if (bps >= 2 && bps <= 4) return TPngPixelFormat::pf4bit;
      if (bps >= 8 && bps <= 16) return TPngPixelFormat::pf8bit;
      return TPngPixelFormat::pfCustom;
    case 3:
      return bps >= 1 && bps <= 5 ? TPngPixelFormat::pf15bit : TPngPixelFormat::pf24bit;
    case 4:
      return bps >= 8 ? TPngPixelFormat::pf32bit : TPngPixelFormat::pfCustom;
    default:
      return TPngPixelFormat::pfCustom;
  }
}

void TColorManager::ConvertRow(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
  if (FChanged) SelectRowConverter();
  if (!FRowConversion) Error(ErrNoMethod);
  (this->*FRowConversion)(Source, Target, Count, Mask);
}

void TColorManager::SelectRowConverter() {
  FRowConversion = nullptr;
  bool sourceIndexed = FSourceScheme == csIndexed || FSourceScheme == csG || FSourceScheme == csGA;
  bool targetIndexed = FTargetScheme == csIndexed || FTargetScheme == csG;
  // FChanged stays set on this refusal, so the next ConvertRow tries again.
  if (sourceIndexed != targetIndexed) Error(ErrIndexedMix);

  auto hasAlpha = [](TColorScheme s) { return s == csGA || s == csRGBA || s == csBGRA; };
  FSourceOptions = hasAlpha(FSourceScheme) ? (FSourceOptions | coAlpha) : (FSourceOptions & ~coAlpha);
  FTargetOptions = hasAlpha(FTargetScheme) ? (FTargetOptions | coAlpha) : (FTargetOptions & ~coAlpha);

  bool toRGB = IsRGBKind(FTargetScheme), toBGR = IsBGRKind(FTargetScheme);
  switch (FSourceScheme) {
    case csIndexed:
      if (FSourceBPS == 16 && FTargetBPS == 16)
        FRowConversion = &TColorManager::ConvertRowIndexed16;
      else if (FSourceBPS == 16)
        FRowConversion = &TColorManager::ConvertRowIndexed16To8;
      else if (FTargetBPS == 16)
        FRowConversion = &TColorManager::ConvertRowIndexed8To16;
      else
        FRowConversion = &TColorManager::ConvertRowIndexed;
      break;
    case csG:
      if (FSourceBPS == 16 || FTargetBPS == 16) {
        if (FSourceBPS >= 8 && FTargetBPS >= 8) FRowConversion = &TColorManager::ConvertRowGray;
      } else {
        FRowConversion = &TColorManager::ConvertRowIndexed;
      }
      break;
    case csGA:
      if ((FSourceBPS == 8 || FSourceBPS == 16) && (FTargetBPS == 8 || FTargetBPS == 16))
        FRowConversion = &TColorManager::ConvertRowGray;
      break;
    case csRGB:
    case csRGBA:
      if (toRGB) FRowConversion = &TColorManager::ConvertRowRGBToRGB;
      if (toBGR) FRowConversion = &TColorManager::ConvertRowRGBToBGR;
      break;
    case csBGR:
    case csBGRA:
      if (toRGB) FRowConversion = &TColorManager::ConvertRowBGRToRGB;
      if (toBGR) FRowConversion = &TColorManager::ConvertRowBGRToBGR;
      break;
    case csCMYK:
      if (toRGB) FRowConversion = &TColorManager::ConvertRowCMYKToRGB;
      if (toBGR) FRowConversion = &TColorManager::ConvertRowCMYKToBGR;
      break;
    case csCIELab:
      if (toRGB) FRowConversion = &TColorManager::ConvertRowLabToRGB;
      if (toBGR) FRowConversion = &TColorManager::ConvertRowLabToBGR;
      break;
    case csYCbCr:
      BuildYCbCrTables();
      if (toRGB) FRowConversion = &TColorManager::ConvertRowYCbCrToRGB;
      if (toBGR) FRowConversion = &TColorManager::ConvertRowYCbCrToBGR;
      break;
    case csPhotoYCC:
      BuildYCbCrTables();
      if (toRGB) FRowConversion = &TColorManager::ConvertRowPhotoYCCToRGB;
      if (toBGR) FRowConversion = &TColorManager::ConvertRowPhotoYCCToBGR;
      break;
    default:
      break;
  }
  FChanged = false;
}

void TColorManager::BuildYCbCrTables() {
  const double r = FYCbCrCoefficients[0], g = FYCbCrCoefficients[1], b = FYCbCrCoefficients[2];
  const double kr = 2 - 2 * r, kb = 2 - 2 * b, krg = r * kr / g, kbg = b * kb / g;
  const bool photo = FSourceScheme == csPhotoYCC;
  FCrToRedTable.resize(256);
  FCbToBlueTable.resize(256);
  FCrToGreenTable.resize(256);
  FCbToGreenTable.resize(256);
  for (int i = 0; i < 256; ++i) {
    double cr = photo ? i - 137 : i - 128;
    double cb = photo ? i - 156 : i - 128;
    FCrToRedTable[i] = RoundEven(kr * cr);
    FCbToBlueTable[i] = RoundEven(kb * cb);
    FCrToGreenTable[i] = -RoundEven(krg * cr);
    FCbToGreenTable[i] = -RoundEven(kbg * cb);
  }
}

void TColorManager::SetGamma(float MainGamma, float DisplayGamma) {
  FMainGamma = MainGamma > 0 ? MainGamma : 1.0f;
  FDisplayGamma = DisplayGamma > 0 ? DisplayGamma : 2.2f;
  const double e = 1.0 / (static_cast<double>(FMainGamma) * FDisplayGamma);
  const int sourceMax = FSourceBPS >= 8 ? 255 : (1 << FSourceBPS) - 1;
  const int targetMax = FTargetBPS >= 8 ? 255 : (1 << FTargetBPS) - 1;
  for (int i = 0; i <= sourceMax; ++i)
    FGammaTable[i] = static_cast<std::uint8_t>(RoundEven(std::pow(static_cast<double>(i) / sourceMax, e) * targetMax));
}

// ---- RGB family ------------------------------------------------------------------

template <bool SourceBGR, bool TargetBGR>
void TColorManager::ConvertRowRGBFamily(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
  const bool planar = Source.size() > 1;
  const bool sourceAlpha = (FSourceOptions & coAlpha) != 0;
  const bool copyAlpha = sourceAlpha && (FTargetOptions & coAlpha);
  const int sourceStep = planar ? 1 : (sourceAlpha ? 4 : 3);
  const int targetStep = (FTargetOptions & coAlpha) ? 4 : 3;
  const bool gamma = (FTargetOptions & coApplyGamma) != 0;
  const bool swap = (FSourceOptions & coNeedByteSwap) != 0;
  // Sample positions: red, green, blue within a source pixel (or the plane index).
  const int sr = SourceBGR ? 2 : 0, sb = SourceBGR ? 0 : 2;
  const int tr = TargetBGR ? 2 : 0, tb = TargetBGR ? 0 : 2;
  auto* out = static_cast<std::uint8_t*>(Target);

  std::uint32_t first = 0, step = 1;
  if (FSourceBPS == 8 && FTargetBPS == 8 && !planar && !gamma && RegularMask(Mask, first, step)) {
    // The common case: whole rows, or the columns of an interlace pass, in one tight loop.
    const std::uint8_t* in = static_cast<const std::uint8_t*>(Source[0]);
    if (sourceStep == 4 && targetStep == 4 && copyAlpha)
      CopyRGB8Columns<4, 4, true, SourceBGR != TargetBGR>(in, out, first, step, Count);
    else if (sourceStep == 3 && targetStep == 3)
      CopyRGB8Columns<3, 3, false, SourceBGR != TargetBGR>(in, out, first, step, Count);
    else if (sourceStep == 3)
      CopyRGB8Columns<3, 4, false, SourceBGR != TargetBGR>(in, out, first, step, Count);
    else if (targetStep == 3)
      CopyRGB8Columns<4, 3, false, SourceBGR != TargetBGR>(in, out, first, step, Count);
    else
      CopyRGB8Columns<4, 4, false, SourceBGR != TargetBGR>(in, out, first, step, Count);
    return;
  }
  if (FSourceBPS == 8 && FTargetBPS == 8 && !planar && !gamma) {
    const std::uint8_t* in = static_cast<const std::uint8_t*>(Source[0]);
    for (std::uint32_t group = 0; group < Count; group += 8) {
      for (std::uint32_t k = 0; k < 8 && group + k < Count; ++k) {
        if (!(Mask & (0x80u >> k))) continue;
        std::uint8_t* o = out + static_cast<std::size_t>(group + k) * targetStep;
        o[tb] = in[sb];
        o[1] = in[1];
        o[tr] = in[sr];
        if (copyAlpha) o[3] = in[3];
        in += sourceStep;
      }
    }
    return;
  }
  if (FSourceBPS == 8 && (FTargetBPS == 8 || FTargetBPS == 16)) {
    const std::uint8_t* plane[4] = {};
    if (planar)
      for (std::size_t i = 0; i < Source.size() && i < 4; ++i) plane[i] = static_cast<const std::uint8_t*>(Source[i]);
    const std::uint8_t* in = static_cast<const std::uint8_t*>(Source[0]);
    std::uint32_t n = 0;  // source pixels taken
    auto sample = [&](int k) -> std::uint8_t {
      return planar ? plane[k][n] : in[static_cast<std::size_t>(n) * sourceStep + k];
    };
    std::uint8_t bit = 0x80;
    if (FTargetBPS == 8) {
      for (std::uint32_t i = 0; i < Count; ++i, out += targetStep, bit = RotateRight(bit)) {
        if (!(Mask & bit)) continue;
        std::uint8_t r = sample(sr), g = sample(1), b = sample(sb);
        if (gamma) {
          r = ComponentGamma(r);
          g = ComponentGamma(g);
          b = ComponentGamma(b);
        }
        out[tb] = b;
        out[1] = g;
        out[tr] = r;
        if (copyAlpha) out[3] = sample(3);
        ++n;
      }
    } else {
      for (std::uint32_t i = 0; i < Count; ++i, out += targetStep * 2, bit = RotateRight(bit)) {
        if (!(Mask & bit)) continue;
        auto widen = [&](std::uint8_t v, bool useGamma) {
          std::uint16_t w = Widen8To16(useGamma ? ComponentGamma(v) : v);
          return swap ? Swap16(w) : w;
        };
        Store16(out + tb * 2, widen(sample(sb), gamma));
        Store16(out + 2, widen(sample(1), gamma));
        Store16(out + tr * 2, widen(sample(sr), gamma));
        if (copyAlpha) Store16(out + 6, widen(sample(3), false));
        ++n;
      }
    }
  } else if (FSourceBPS == 16 && (FTargetBPS == 8 || FTargetBPS == 16)) {
    const std::uint8_t* plane[4] = {};
    if (planar)
      for (std::size_t i = 0; i < Source.size() && i < 4; ++i) plane[i] = static_cast<const std::uint8_t*>(Source[i]);
    const std::uint8_t* in = static_cast<const std::uint8_t*>(Source[0]);
    std::uint32_t n = 0;
    auto sample = [&](int k) -> std::uint16_t {
      std::uint16_t v = planar ? Load16(plane[k] + n * 2) : Load16(in + (static_cast<std::size_t>(n) * sourceStep + k) * 2);
      return swap ? Swap16(v) : v;
    };
    std::uint8_t bit = 0x80;
    if (FTargetBPS == 8) {
      for (std::uint32_t i = 0; i < Count; ++i, out += targetStep, bit = RotateRight(bit)) {
        if (!(Mask & bit)) continue;
        auto colour = [&](int k) {
          std::uint8_t v = Scale16To8(sample(k));
          return gamma ? ComponentGamma(v) : v;
        };
        out[tb] = colour(sb);
        out[1] = colour(1);
        out[tr] = colour(sr);
        if (copyAlpha) out[3] = Scale16To8(sample(3));
        ++n;
      }
    } else {
      for (std::uint32_t i = 0; i < Count; ++i, out += targetStep * 2, bit = RotateRight(bit)) {
        if (!(Mask & bit)) continue;
        // 16 to 16 bits: the values as read (byte-swapped with coNeedByteSwap), no gamma.
        Store16(out + tb * 2, sample(sb));
        Store16(out + 2, sample(1));
        Store16(out + tr * 2, sample(sr));
        if (copyAlpha) Store16(out + 6, sample(3));
        ++n;
      }
    }
  }
  // Other depths: nothing is written.
}

void TColorManager::ConvertRowRGBToBGR(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowRGBFamily<false, true>(S, T, C, M);
}
void TColorManager::ConvertRowRGBToRGB(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowRGBFamily<false, false>(S, T, C, M);
}
void TColorManager::ConvertRowBGRToBGR(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowRGBFamily<true, true>(S, T, C, M);
}
void TColorManager::ConvertRowBGRToRGB(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowRGBFamily<true, false>(S, T, C, M);
}

// ---- grey and indexed --------------------------------------------------------------

void TColorManager::ConvertRowGray(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
  const int step = (FSourceOptions & coAlpha) ? 2 : 1;  // the alpha of grey + alpha is dropped
  const bool swap = (FSourceOptions & coNeedByteSwap) != 0;
  const auto* in = static_cast<const std::uint8_t*>(Source[0]);
  auto* out = static_cast<std::uint8_t*>(Target);
  std::uint32_t n = 0;
  std::uint8_t bit = 0x80;
  for (std::uint32_t i = 0; i < Count; ++i, bit = RotateRight(bit)) {
    if (!(Mask & bit)) continue;
    std::size_t at = static_cast<std::size_t>(n) * step;
    if (FSourceBPS == 8 && FTargetBPS == 8) {
      out[i] = in[at];
    } else if (FSourceBPS == 8 && FTargetBPS == 16) {
      Store16(out + i * 2, Widen8To16(in[at]));
    } else if (FSourceBPS == 16 && FTargetBPS == 8) {
      std::uint16_t v = Load16(in + at * 2);
      out[i] = Scale16To8(swap ? Swap16(v) : v);
    } else if (FSourceBPS == 16 && FTargetBPS == 16) {
      std::uint16_t v = Load16(in + at * 2);
      Store16(out + i * 2, swap ? Swap16(v) : v);
    }
    ++n;
  }
}

void TColorManager::ConvertRowIndexed(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
  const auto* in = static_cast<const std::uint8_t*>(Source[0]);
  auto* out = static_cast<std::uint8_t*>(Target);
  const int sb = FSourceBPS, tb = FTargetBPS;
  if (sb > 8 || tb > 8) return;
  if (sb == tb && Mask == 0xFF) {
    std::memcpy(out, in, (static_cast<std::size_t>(Count) * sb + 7) / 8);
    return;
  }
  const std::uint32_t sourceMax = (1u << sb) - 1, targetMax = (1u << tb) - 1;
  TBitReader reader{in, sb, 8};
  std::uint8_t bit = 0x80;
  for (std::uint32_t i = 0; i < Count; ++i, bit = RotateRight(bit)) {
    if (!(Mask & bit)) continue;
    std::uint32_t v = reader.Next();
    if (sb != tb) v = v * targetMax / sourceMax;
    StorePacked(out, i, tb, v);
  }
}

void TColorManager::ConvertRowIndexed16(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
  const auto* in = static_cast<const std::uint8_t*>(Source[0]);
  auto* out = static_cast<std::uint8_t*>(Target);
  const bool swap = (FSourceOptions & coNeedByteSwap) != 0;
  std::uint32_t n = 0;
  std::uint8_t bit = 0x80;
  for (std::uint32_t i = 0; i < Count; ++i, bit = RotateRight(bit)) {
    if (!(Mask & bit)) continue;
    std::uint16_t v = Load16(in + n++ * 2);
    Store16(out + i * 2, swap ? Swap16(v) : v);
  }
}

void TColorManager::ConvertRowIndexed16To8(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
  const auto* in = static_cast<const std::uint8_t*>(Source[0]);
  auto* out = static_cast<std::uint8_t*>(Target);
  const bool swap = (FSourceOptions & coNeedByteSwap) != 0;
  const int tb = std::min<int>(FTargetBPS, 8);
  const std::uint32_t targetMax = (1u << tb) - 1;
  std::uint32_t n = 0;
  std::uint8_t bit = 0x80;
  for (std::uint32_t i = 0; i < Count; ++i, bit = RotateRight(bit)) {
    if (!(Mask & bit)) continue;
    std::uint16_t v = Load16(in + n++ * 2);
    if (swap) v = Swap16(v);
    StorePacked(out, i, tb, static_cast<std::uint32_t>(v) * targetMax / 65535);
  }
}

void TColorManager::ConvertRowIndexed8To16(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
  const auto* in = static_cast<const std::uint8_t*>(Source[0]);
  auto* out = static_cast<std::uint8_t*>(Target);
  const bool swap = (FSourceOptions & coNeedByteSwap) != 0;
  const int sb = std::min<int>(FSourceBPS, 8);
  const std::uint32_t sourceMax = (1u << sb) - 1;
  TBitReader reader{in, sb, 8};
  std::uint8_t bit = 0x80;
  for (std::uint32_t i = 0; i < Count; ++i, bit = RotateRight(bit)) {
    if (!(Mask & bit)) continue;
    auto v = static_cast<std::uint16_t>(reader.Next() * 65535u / sourceMax);
    Store16(out + i * 2, swap ? Swap16(v) : v);
  }
}

// ---- the schemes the PNG reader never selects ----------------------------------------

namespace {
// Source sample k of pixel n, on the 0..255 scale (16-bit samples reduced).
struct TSampleReader {
  std::span<const void* const> source;
  int bits;
  int samples;
  bool swap;
  std::uint32_t Raw(std::uint32_t n, int k) const {
    bool planar = source.size() > 1;
    const auto* base = static_cast<const std::uint8_t*>(source[planar ? k : 0]);
    std::size_t at = planar ? n : static_cast<std::size_t>(n) * samples + k;
    if (bits == 16) {
      std::uint16_t v = Load16(base + at * 2);
      return swap ? Swap16(v) : v;
    }
    return base[at];
  }
  // The sample as 8 bits, 16-bit samples scaled down.
  std::uint8_t Byte(std::uint32_t n, int k) const {
    std::uint32_t v = Raw(n, k);
    return bits == 16 ? Scale16To8(v) : static_cast<std::uint8_t>(v);
  }
};

// Writes red, green, blue into target pixel i (8 or 16 bits), leaving an alpha sample alone.
inline void PutColour(std::uint8_t* out, std::uint32_t i, int targetBits, int targetStep, bool bgr, std::uint32_t r,
                      std::uint32_t g, std::uint32_t b, bool already16 = false) {
  if (targetBits == 16) {
    std::uint8_t* p = out + static_cast<std::size_t>(i) * targetStep * 2;
    auto w = [&](std::uint32_t v) { return static_cast<std::uint16_t>(already16 ? v : Widen8To16(v)); };
    Store16(p + (bgr ? 4 : 0), w(r));
    Store16(p + 2, w(g));
    Store16(p + (bgr ? 0 : 4), w(b));
  } else {
    std::uint8_t* p = out + static_cast<std::size_t>(i) * targetStep;
    p[bgr ? 2 : 0] = static_cast<std::uint8_t>(r);
    p[1] = static_cast<std::uint8_t>(g);
    p[bgr ? 0 : 2] = static_cast<std::uint8_t>(b);
  }
}
}  // namespace

template <bool TargetBGR>
void TColorManager::ConvertRowCMYK(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
  if ((FSourceBPS != 8 && FSourceBPS != 16) || (FTargetBPS != 8 && FTargetBPS != 16)) return;
  TSampleReader rd{Source, FSourceBPS, 4, (FSourceOptions & coNeedByteSwap) != 0};
  const int targetStep = (FTargetOptions & coAlpha) ? 4 : 3;
  auto* out = static_cast<std::uint8_t*>(Target);
  const int full = FSourceBPS == 16 ? 65535 : 255;
  const bool keep16 = FSourceBPS == 16 && FTargetBPS == 16;
  std::uint32_t n = 0;
  std::uint8_t bit = 0x80;
  for (std::uint32_t i = 0; i < Count; ++i, bit = RotateRight(bit)) {
    if (!(Mask & bit)) continue;
    int k = static_cast<int>(rd.Raw(n, 3));
    auto colour = [&](int x) {
      int v = full - x - k + x * k / full;
      v = std::clamp(v, 0, full);
      return static_cast<std::uint32_t>(full == 65535 && !keep16 ? Scale16To8(static_cast<std::uint32_t>(v)) : v);
    };
    PutColour(out, i, FTargetBPS, targetStep, TargetBGR, colour(static_cast<int>(rd.Raw(n, 0))),
              colour(static_cast<int>(rd.Raw(n, 1))), colour(static_cast<int>(rd.Raw(n, 2))), keep16);
    ++n;
  }
}
void TColorManager::ConvertRowCMYKToBGR(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowCMYK<true>(S, T, C, M);
}
void TColorManager::ConvertRowCMYKToRGB(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowCMYK<false>(S, T, C, M);
}

template <bool TargetBGR>
void TColorManager::ConvertRowLab(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
  if (FSourceBPS != 8 && FSourceBPS != 16) return;
  TSampleReader rd{Source, FSourceBPS, FSourceSPP, (FSourceOptions & coNeedByteSwap) != 0};
  const int targetStep = (FTargetOptions & coAlpha) ? 4 : 3;
  auto* out = static_cast<std::uint8_t*>(Target);
  std::uint32_t n = 0;
  std::uint8_t bit = 0x80;
  for (std::uint32_t i = 0; i < Count; ++i, bit = RotateRight(bit)) {
    if (!(Mask & bit)) continue;
    auto byteOf = [&](int k) { return rd.Byte(n, k); };
    double L = byteOf(0);
    if (FSourceOptions & coLabByteRange) L /= 2.55;
    double a, b;
    if (FSourceOptions & coLabChromaOffset) {
      a = byteOf(1) - 128.0;
      b = byteOf(2) - 128.0;
    } else {
      a = static_cast<std::int8_t>(byteOf(1));
      b = static_cast<std::int8_t>(byteOf(2));
    }
    double X, Y, Z;
    if (L < 7.9996) {
      Y = L / 903.3;
      X = Y + a / 3893.5;
      Z = Y - b / 1557.4;
    } else {
      double fy = (L + 16) / 116;
      X = std::pow(fy + a / 500, 3);
      Y = fy * fy * fy;
      Z = std::pow(fy - b / 200, 3);
    }
    auto channel = [](double v) { return static_cast<std::uint32_t>(ClampByte(RoundEven(v * 255))); };
    std::uint32_t blue = channel(0.099 * X - 0.198 * Y + 1.099 * Z);
    std::uint32_t green = channel(-0.952 * X + 1.893 * Y + 0.059 * Z);
    std::uint32_t red = channel(2.998 * X - 1.458 * Y - 0.541 * Z);
    // 16-bit targets get the 8-bit results widened.
    PutColour(out, i, FTargetBPS == 16 ? 16 : 8, targetStep, TargetBGR, red, green, blue);
    ++n;
  }
}
void TColorManager::ConvertRowLabToBGR(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowLab<true>(S, T, C, M);
}
void TColorManager::ConvertRowLabToRGB(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowLab<false>(S, T, C, M);
}

template <bool TargetBGR>
void TColorManager::ConvertRowYCC(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
  if ((FSourceBPS != 8 && FSourceBPS != 16) || (FTargetBPS != 8 && FTargetBPS != 16)) return;
  TSampleReader rd{Source, FSourceBPS, FSourceSPP, (FSourceOptions & coNeedByteSwap) != 0};
  const int targetStep = (FTargetOptions & coAlpha) ? 4 : 3;
  auto* out = static_cast<std::uint8_t*>(Target);
  std::uint32_t n = 0;
  std::uint8_t bit = 0x80;
  for (std::uint32_t i = 0; i < Count; ++i, bit = RotateRight(bit)) {
    if (!(Mask & bit)) continue;
    if (FSourceBPS == 16 && FTargetBPS == 16) {
      double y = rd.Raw(n, 0) * 1.3584, c1 = rd.Raw(n, 1) - 40092.0, c2 = rd.Raw(n, 2) - 35209.0;
      auto w = [](double v) { return static_cast<std::uint32_t>(std::clamp(RoundEven(v), 0, 65535)); };
      PutColour(out, i, 16, targetStep, TargetBGR, w(y + 1.8215 * c2), w(y - 0.9271435 * c2 - 0.4302726 * c1),
                w(y + 2.2179 * c1), true);
    } else {
      int y = rd.Byte(n, 0), cb = rd.Byte(n, 1), cr = rd.Byte(n, 2);
      PutColour(out, i, FTargetBPS, targetStep, TargetBGR, ClampByte(y + FCrToRedTable[cr]),
                ClampByte(y + FCbToGreenTable[cb] + FCrToGreenTable[cr]), ClampByte(y + FCbToBlueTable[cb]));
    }
    ++n;
  }
}
void TColorManager::ConvertRowYCbCrToBGR(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowYCC<true>(S, T, C, M);
}
void TColorManager::ConvertRowYCbCrToRGB(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowYCC<false>(S, T, C, M);
}
void TColorManager::ConvertRowPhotoYCCToBGR(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowYCC<true>(S, T, C, M);
}
void TColorManager::ConvertRowPhotoYCCToRGB(TSource S, void* T, std::uint32_t C, std::uint8_t M) {
  ConvertRowYCC<false>(S, T, C, M);
}

// ---- palettes ----------------------------------------------------------------------

TColorPalette TColorManager::CreateGrayscalePalette(bool MinimumIsWhite) {
  const int bits = std::min(FTargetBPS * FTargetSPP, 8);
  const int count = 1 << bits;
  const int step = 255 / (count - 1);
  TColorPalette palette(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    int v = i * step;
    std::uint8_t grey = (FTargetOptions & coApplyGamma) ? FGammaTable[v] : static_cast<std::uint8_t>(v);
    TPaletteColor& entry = palette[MinimumIsWhite ? count - 1 - i : i];
    entry.Red = entry.Green = entry.Blue = grey;
  }
  return palette;
}

TColorPalette TColorManager::CreateColorPalette(TSource Data, TRawPaletteFormat DataFormat, std::uint32_t ColorCount,
                                                bool RGB) {
  const std::uint32_t count = std::min<std::uint32_t>(ColorCount, 256);
  const bool gamma = (FTargetOptions & coApplyGamma) != 0;
  const bool swap = (FSourceOptions & coNeedByteSwap) != 0;
  const bool wide = DataFormat >= pfInterlaced16Triple;
  const bool planeFormat = DataFormat == pfPlane8Triple || DataFormat == pfPlane8Quad ||
                           DataFormat == pfPlane16Triple || DataFormat == pfPlane16Quad;
  const int step = (DataFormat == pfInterlaced8Quad || DataFormat == pfInterlaced16Quad) ? 4 : 3;
  auto value = [&](int plane, std::size_t index) -> std::uint8_t {
    const auto* base = static_cast<const std::uint8_t*>(Data[planeFormat ? plane : 0]);
    if (!wide) {
      std::uint8_t v = base[index];
      return gamma ? ComponentGamma(v) : v;
    }
    std::uint16_t v = Load16(base + index * 2);
    std::uint8_t b = Scale16To8(swap ? Swap16(v) : v);
    return gamma ? ComponentGamma(b) : b;
  };
  TColorPalette palette(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint8_t c0, c1, c2;
    if (planeFormat) {
      c0 = value(0, i);
      c1 = value(1, i);
      c2 = value(2, i);
    } else {
      c0 = value(0, static_cast<std::size_t>(i) * step);
      c1 = value(0, static_cast<std::size_t>(i) * step + 1);
      c2 = value(0, static_cast<std::size_t>(i) * step + 2);
    }
    // 8-bit interleaved: RGB false is red, green, blue; 16-bit interleaved: RGB true is.
    bool redFirst = planeFormat || (wide ? RGB : !RGB);
    palette[i].Red = redFirst ? c0 : c2;
    palette[i].Green = c1;
    palette[i].Blue = redFirst ? c2 : c0;
  }
  // Spread the colours the way ConvertRowIndexed scales the indices: entry n takes the
  // colour of index n x (2^source bits - 1) div (2^target bits - 1).
  if (FTargetBPS <= 8 && FSourceBPS <= 16 && FSourceBPS != FTargetBPS) {
    const std::uint32_t sourceMax = (1u << FSourceBPS) - 1, targetMax = (1u << FTargetBPS) - 1;
    TColorPalette spread(static_cast<std::size_t>(targetMax) + 1);
    for (std::uint32_t n = 0; n <= targetMax; ++n) {
      std::uint32_t from = static_cast<std::uint32_t>(static_cast<std::uint64_t>(n) * sourceMax / targetMax);
      if (from < palette.size()) spread[n] = palette[from];
    }
    palette = std::move(spread);
  }
  return palette;
}

// ================================================================================
// TLZ77Decoder
// ================================================================================

namespace {
const wchar_t ErrLZ77[] = L"LZ77 decompression error.";
}

TLZ77Decoder::TLZ77Decoder(int FlushMode, bool AutoReset) : FFlushMode(FlushMode), FAutoReset(AutoReset) {}

TLZ77Decoder::~TLZ77Decoder() {
  if (FInitialized) inflateEnd(&FStream);
}

void TLZ77Decoder::DecodeInit() {
  if (FInitialized) inflateEnd(&FStream);
  FInitialized = false;
  FZLibResult = 0;
  if (ZInflateInit(FStream) != Z_OK) throw EGraphicCompression(ErrLZ77);
  FInitialized = true;
}

void TLZ77Decoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::uint32_t PackedSize,
                          std::uint32_t UnpackedSize) {
  FStream.next_in = const_cast<Bytef*>(Source);
  FStream.avail_in = PackedSize;
  if (FAutoReset) FZLibResult = inflateReset(&FStream);
  if (FZLibResult != Z_OK) return;
  FStream.next_out = Dest;
  FStream.avail_out = UnpackedSize;
  FZLibResult = inflate(&FStream, FFlushMode);
  Source = FStream.next_in;
  Dest = FStream.next_out;
}

void TLZ77Decoder::DecodeEnd() {
  if (!FInitialized) return;
  FInitialized = false;
  if (inflateEnd(&FStream) != Z_OK) throw EGraphicCompression(ErrLZ77);
}

// ================================================================================
// TPNGGraphic
// ================================================================================

namespace {
const std::uint8_t PNGSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
const wchar_t ErrInvalidFormat[] = L"Cannot load image. Invalid or unexpected %s image format.";
const wchar_t ErrNotSupported[] = L"Cannot load image. %s not supported for %s files.";
const wchar_t ErrCRC[] = L"Cannot load image. CRC error found in %s file.";
const wchar_t ErrPalette[] = L"Cannot load image. Palette in %s file is invalid.";
const wchar_t ErrCritical[] = L"Cannot load PNG image. Unexpected but critical chunk detected.";
const wchar_t ErrColorFormat[] = L"Invalid color format in %s file.";
const wchar_t ErrCompression[] = L"Cannot load image. Compression error found in %s file.";
const wchar_t ErrExtraData[] = L"Cannot load image. Extra compressed data found in %s file.";
const wchar_t ErrTooLarge[] = L"Cannot load image. The image size in %s file is too large.";
const wchar_t ErrChunkLength[] = L"Cannot load image. Invalid chunk length in %s file.";

struct TAdam7Pass {
  std::uint32_t FirstRow, RowStep, FirstColumn, ColumnStep;
  std::uint8_t Mask;
};
const TAdam7Pass Adam7[7] = {{0, 8, 0, 8, 0x80}, {0, 8, 4, 8, 0x08}, {4, 8, 0, 4, 0x88}, {0, 4, 2, 4, 0x22},
                             {2, 4, 0, 2, 0xAA}, {0, 2, 1, 2, 0x55}, {1, 2, 0, 1, 0xFF}};

// Fills each "%s" in turn.
std::wstring FillIn(const wchar_t* format, std::initializer_list<const wchar_t*> args) {
  std::wstring text(format);
  for (const wchar_t* arg : args) {
    std::size_t at = text.find(L"%s");
    if (at == std::wstring::npos) break;
    text.replace(at, 2, arg);
  }
  return text;
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
std::uint32_t BigEndian16(const std::uint8_t* p) { return (std::uint32_t(p[0]) << 8) | p[1]; }
std::uint32_t MakeRGB(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

void ReadExactly(TStream& stream, void* buffer, std::int64_t count) {
  auto* p = static_cast<std::uint8_t*>(buffer);
  while (count > 0) {
    std::int64_t n = stream.Read(p, count);
    if (n <= 0) throw EReadError(L"Stream read error");
    p += n;
    count -= n;
  }
}

int BitsOf(TPngPixelFormat format) {
  switch (format) {
    case TPngPixelFormat::pf1bit: return 1;
    case TPngPixelFormat::pf4bit: return 4;
    case TPngPixelFormat::pf8bit: return 8;
    case TPngPixelFormat::pf15bit:
    case TPngPixelFormat::pf16bit: return 16;
    case TPngPixelFormat::pf24bit: return 24;
    case TPngPixelFormat::pf32bit: return 32;
    default: return 32;
  }
}

// Value of pixel x in a row of 1, 4 or 8 bits.
inline std::uint8_t IndexAt(const std::uint8_t* row, int x, int bits) {
  if (bits == 8) return row[x];
  if (bits == 4) return static_cast<std::uint8_t>((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
  return static_cast<std::uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1);
}
}  // namespace

void TPNGGraphic::InvalidGraphic(const wchar_t* format) { throw EInvalidGraphic(FillIn(format, {L"PNG"})); }

void TPNGGraphic::Progress(TProgressStage stage, const std::wstring& msg) {
  if (FOnProgress) FOnProgress(*this, stage, 0, msg);
}

// ---- bitmap side -----------------------------------------------------------------

void TPNGGraphic::ClearBitmap() {
  FWidth = FHeight = 0;
  FStride = 0;
  FPixelFormat = TPngPixelFormat::pfDevice;
  FBitmapPalette.clear();
  FIgnorePalette = false;
  FPixels.reset();
  FTransparent = false;
  FBitmapTransparentColor = TPNGGraphic::NoColor;
}

void TPNGGraphic::SetBitmapSize(std::uint32_t width, std::uint32_t height) {
  // The dimensions were bounded when the header was read, so none of this can overflow.
  FStride = ((static_cast<std::size_t>(width) * BitsOf(FPixelFormat) + 31) / 32) * 4;
  FPixels.reset(new std::uint8_t[FStride * height]);
  FWidth = static_cast<int>(width);
  FHeight = static_cast<int>(height);
}

void TPNGGraphic::FillBitmap(std::uint32_t color, int firstRow) {
  const std::uint8_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  if (FPixelFormat == TPngPixelFormat::pf24bit || FPixelFormat == TPngPixelFormat::pf32bit) {
    const int step = FPixelFormat == TPngPixelFormat::pf24bit ? 3 : 4;
    if (firstRow >= FHeight) return;
    std::uint8_t* first = ScanLine(firstRow);
    for (int x = 0; x < FWidth; ++x) {
      first[x * step] = b;
      first[x * step + 1] = g;
      first[x * step + 2] = r;
      if (step == 4) first[x * step + 3] = 0;
    }
    for (int y = firstRow + 1; y < FHeight; ++y) std::memcpy(ScanLine(y), first, FStride);
    return;
  }
  // A palette bitmap takes the nearest palette colour, as a brush on it would.
  int best = 0;
  long bestDistance = -1;
  for (std::size_t i = 0; i < FBitmapPalette.size(); ++i) {
    const TPaletteColor& c = FBitmapPalette[i];
    long d = long(c.Red - r) * (c.Red - r) + long(c.Green - g) * (c.Green - g) + long(c.Blue - b) * (c.Blue - b);
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
    }
  }
  std::uint8_t fill = 0;
  switch (FPixelFormat) {
    case TPngPixelFormat::pf1bit: fill = best ? 0xFF : 0x00; break;
    case TPngPixelFormat::pf4bit: fill = static_cast<std::uint8_t>(((best & 15) << 4) | (best & 15)); break;
    default: fill = static_cast<std::uint8_t>(best); break;
  }
  std::fill(ScanLine(firstRow), ScanLine(FHeight), fill);
}

void TPNGGraphic::Assign(const TPNGGraphic& Source) {
  if (&Source == this) return;
  FImageProperties = Source.FImageProperties;
  FWidth = Source.FWidth;
  FHeight = Source.FHeight;
  FStride = Source.FStride;
  FPixelFormat = Source.FPixelFormat;
  FBitmapPalette = Source.FBitmapPalette;
  FIgnorePalette = Source.FIgnorePalette;
  FPixels.reset();
  if (Source.FPixels) {
    FPixels.reset(new std::uint8_t[FStride * FHeight]);
    std::memcpy(FPixels.get(), Source.FPixels.get(), FStride * FHeight);
  }
  FTransparent = Source.FTransparent;
  FBitmapTransparentColor = Source.FBitmapTransparentColor;
}

// ---- chunks ----------------------------------------------------------------------

void TPNGGraphic::TRawBuffer::resize(std::size_t n) {
  if (n > capacity) {
    block.reset(new std::uint8_t[n]);
    capacity = n;
  }
  length = n;
}

void TPNGGraphic::NextChunkHeader() {
  std::uint8_t raw[8];
  ReadExactly(*FStream, raw, 8);
  FHeader.Length = BigEndian32(raw);
  std::memcpy(FHeader.ChunkType, raw + 4, 4);
  FCurrentCRC = static_cast<std::uint32_t>(crc32(0, raw + 4, 4));
}

void TPNGGraphic::ReadChunkData() {
  // The length is checked against what the stream really holds before anything is allocated.
  if (FHeader.Length > 0x7FFFFFFFu) InvalidGraphic(ErrChunkLength);
  std::int64_t left = FStream->Size() - FStream->Position();
  if (static_cast<std::int64_t>(FHeader.Length) + 4 > left) throw EReadError(L"Stream read error");
  FRawBuffer.resize(FHeader.Length);
  if (FHeader.Length) ReadExactly(*FStream, FRawBuffer.data(), FHeader.Length);
  std::uint8_t stored[4];
  ReadExactly(*FStream, stored, 4);
  FCurrentCRC = static_cast<std::uint32_t>(crc32(FCurrentCRC, FRawBuffer.data(), FHeader.Length));
  if (FCurrentCRC != BigEndian32(stored)) InvalidGraphic(ErrCRC);
}

void TPNGGraphic::SkipChunkData() {
  FStream->Seek(static_cast<std::int64_t>(FHeader.Length) + 4, TSeekOrigin::soCurrent);
}

bool TPNGGraphic::ChunkIs(const char* type) const {
  for (int i = 0; i < 4; ++i)
    if ((FHeader.ChunkType[i] & ~0x20) != (type[i] & ~0x20)) return false;
  return true;
}

// ---- first pass --------------------------------------------------------------------

bool TPNGGraphic::CanLoad(TStream& Stream) {
  const std::int64_t position = Stream.Position();
  bool result = false;
  if (Stream.Size() - position > 8) {
    std::uint8_t signature[8];
    result = Stream.Read(signature, 8) == 8 && std::memcmp(signature, PNGSignature, 8) == 0;
  }
  Stream.SetPosition(position);
  return result;
}

#ifdef _WIN32
bool TPNGGraphic::CanLoad(const std::wstring& FileName) {
  try {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    return CanLoad(stream);
  } catch (const Exception&) {
    return false;
  }
}

void TPNGGraphic::LoadFromResourceName(void* Instance, const std::wstring& ResName) {
  auto module = static_cast<HMODULE>(Instance);
  HRSRC info = FindResourceW(module, ResName.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL handle = info ? LoadResource(module, info) : nullptr;
  const void* data = handle ? LockResource(handle) : nullptr;
  if (!data) throw Exception(L"Resource " + ResName + L" not found");
  TMemoryStream stream(std::string(static_cast<const char*>(data), SizeofResource(module, info)));
  LoadFromStream(stream);
}
#endif

bool TPNGGraphic::ReadImageProperties(TStream& Stream, unsigned /*ImageIndex*/) {
  FImageProperties = TImageProperties{};
  FStream = &Stream;
  std::uint8_t signature[8];
  if (Stream.Read(signature, 8) != 8 || std::memcmp(signature, PNGSignature, 8) != 0) return false;
  NextChunkHeader();
  if (!ChunkIs("IHDR")) return false;
  FImageProperties.Options |= ioBigEndian;
  // Anything but the 13 bytes of the standard is no header we can read.
  if (FHeader.Length != 13) return false;
  ReadChunkData();
  const std::uint32_t width = BigEndian32(FRawBuffer.data()), height = BigEndian32(FRawBuffer.data() + 4);
  if (width == 0 || height == 0) return false;
  if (width > MaxDimension || height > MaxDimension || std::uint64_t(width) * height > MaxPixels)
    InvalidGraphic(ErrTooLarge);
  FImageProperties.Width = width;
  FImageHeight = height;
  FImageProperties.Compression = FRawBuffer.data()[10] == 0 ? ctLZ77 : ctUnknown;
  FImageProperties.BitsPerSample = FRawBuffer.data()[8];
  FImageProperties.SamplesPerPixel = 1;
  switch (FRawBuffer.data()[9]) {
    case 0: FImageProperties.ColorScheme = csG; break;
    case 2:
      FImageProperties.ColorScheme = csRGB;
      FImageProperties.SamplesPerPixel = 3;
      break;
    case 3: FImageProperties.ColorScheme = csIndexed; break;
    case 4: FImageProperties.ColorScheme = csGA; break;
    case 6:
      FImageProperties.ColorScheme = csRGBA;
      FImageProperties.SamplesPerPixel = 4;
      break;
    default: FImageProperties.ColorScheme = csUnknown; break;
  }
  for (;;) {
    NextChunkHeader();
    if (ChunkIs("gAMA")) {
      ReadChunkData();
      break;
    }
    SkipChunkData();
    if (ChunkIs("IEND")) break;
  }
  FRawBuffer.clear();
  return true;
}

// ---- second pass -------------------------------------------------------------------

int TPNGGraphic::ConfigureColorDepth(int colorType, int bitDepth) {
  TColorManager& cm = FColorManager;
  auto depthIn = [&](std::initializer_list<int> allowed) {
    if (std::find(allowed.begin(), allowed.end(), bitDepth) == allowed.end()) InvalidGraphic(ErrColorFormat);
  };
  int result = 1;
  switch (colorType) {
    case 0:
      depthIn({1, 2, 4, 8, 16});
      cm.SetSourceColorScheme(csG);
      cm.SetTargetColorScheme(csG);
      cm.SetSourceSamplesPerPixel(1);
      cm.SetTargetSamplesPerPixel(1);
      cm.SetSourceBitsPerSample(static_cast<std::uint8_t>(bitDepth));
      cm.SetTargetBitsPerSample(static_cast<std::uint8_t>(bitDepth == 2 ? 4 : bitDepth == 16 ? 8 : bitDepth));
      FPixelFormat = cm.TargetPixelFormat();
      FPalette = cm.CreateGrayscalePalette(false);
      result = (bitDepth + 7) / 8;
      break;
    case 2:
      depthIn({8, 16});
      cm.SetSourceColorScheme(csRGB);
      cm.SetTargetColorScheme(csBGR);
      cm.SetSourceSamplesPerPixel(3);
      cm.SetTargetSamplesPerPixel(3);
      cm.SetSourceBitsPerSample(static_cast<std::uint8_t>(bitDepth));
      cm.SetTargetBitsPerSample(8);
      FPixelFormat = TPngPixelFormat::pf24bit;
      result = bitDepth * 3 / 8;
      break;
    case 3:
      depthIn({1, 2, 4, 8});
      cm.SetSourceColorScheme(csIndexed);
      cm.SetTargetColorScheme(csIndexed);
      cm.SetSourceSamplesPerPixel(1);
      cm.SetTargetSamplesPerPixel(1);
      cm.SetSourceBitsPerSample(static_cast<std::uint8_t>(bitDepth));
      cm.SetTargetBitsPerSample(static_cast<std::uint8_t>(bitDepth == 2 ? 4 : bitDepth));
      FPixelFormat = cm.TargetPixelFormat();
      result = 1;
      break;
    case 4:
      depthIn({8, 16});
      cm.SetSourceColorScheme(csGA);
      cm.SetTargetColorScheme(csIndexed);
      cm.SetSourceSamplesPerPixel(1);
      cm.SetTargetSamplesPerPixel(1);
      cm.SetSourceBitsPerSample(static_cast<std::uint8_t>(bitDepth));
      cm.SetTargetBitsPerSample(8);
      FPixelFormat = TPngPixelFormat::pf8bit;
      FPalette = cm.CreateGrayscalePalette(false);
      result = bitDepth * 2 / 8;
      break;
    case 6:
      depthIn({8, 16});
      cm.SetSourceColorScheme(csRGBA);
      cm.SetTargetColorScheme(csBGRA);
      cm.SetSourceSamplesPerPixel(4);
      cm.SetTargetSamplesPerPixel(4);
      cm.SetSourceBitsPerSample(static_cast<std::uint8_t>(bitDepth));
      cm.SetTargetBitsPerSample(8);
      FPixelFormat = TPngPixelFormat::pf32bit;
      result = bitDepth * 4 / 8;
      break;
    default:
      InvalidGraphic(ErrColorFormat);
  }
  return result;
}

void TPNGGraphic::LoadFromStream(TStream& Stream) {
  ClearBitmap();
  FBasePosition = Stream.Position();
  FDecoder = nullptr;
  if (!ReadImageProperties(Stream, 0)) InvalidGraphic(ErrInvalidFormat);
  Stream.SetPosition(FBasePosition + 8);
  FProgressTop = 0;
  Progress(TProgressStage::psStarting, L"Preparing...");
  FPalette.clear();
  FTransparency.clear();
  FBackgroundColor = 0xFFFFFF;
  FTransparentColor = TPNGGraphic::NoColor;
  // Gamma belongs to the image that declares it, not to the next one loaded into this object.
  FColorManager.SetTargetOptions(FColorManager.TargetOptions() & ~coApplyGamma);
  NextChunkHeader();
  FRawBuffer.clear();
  FColorManager.SetSourceOptions(coNeedByteSwap);

  TLZ77Decoder decoder(Z_PARTIAL_FLUSH, false);
  struct TCleanup {
    TPNGGraphic& png;
    ~TCleanup() {
      png.FDecoder = nullptr;
      png.FRawBuffer.clear();
      png.Progress(TProgressStage::psEnding, L"");
    }
  } cleanup{*this};

  ReadChunkData();
  FIHDR.Width = BigEndian32(FRawBuffer.data());
  FIHDR.Height = BigEndian32(FRawBuffer.data() + 4);
  FIHDR.BitDepth = FRawBuffer.data()[8];
  FIHDR.ColorType = FRawBuffer.data()[9];
  FIHDR.Compression = FRawBuffer.data()[10];
  FIHDR.Filter = FRawBuffer.data()[11];
  FIHDR.Interlaced = FRawBuffer.data()[12];
  if (FImageProperties.Compression != ctLZ77)
    throw EInvalidGraphic(FillIn(ErrNotSupported, {L"The compression scheme is", L"PNG"}));
  FDecoder = &decoder;
  decoder.DecodeInit();

  for (;;) {
    NextChunkHeader();
    if (ChunkIs("IDAT")) {
      Progress(TProgressStage::psEnding, L"");
      DecodeImageData();
      // falls through to the skip step with the chunk that follows the image data
    } else if (ChunkIs("PLTE")) {
      if (FHeader.Length % 3 != 0) InvalidGraphic(ErrPalette);
      ReadChunkData();
      if (FIHDR.ColorType == 3) {
        FSourceBPP = ConfigureColorDepth(3, FIHDR.BitDepth);
        const void* data[1] = {FRawBuffer.data()};
        FPalette = FColorManager.CreateColorPalette(TColorManager::TSource(data), pfInterlaced8Triple,
                                                    FHeader.Length / 3, false);
      }
      continue;
    } else if (ChunkIs("gAMA")) {
      ReadChunkData();
      if (FRawBuffer.size() >= 4) {
        FColorManager.SetGamma(static_cast<float>(BigEndian32(FRawBuffer.data()) / 100000.0), 2.2f);
        FColorManager.SetTargetOptions(FColorManager.TargetOptions() | coApplyGamma);
        FImageProperties.Options |= ioUseGamma;
      }
      continue;
    } else if (ChunkIs("bKGD")) {
      ReadBackgroundChunk();
      continue;
    } else if (ChunkIs("tRNS")) {
      ReadTransparencyChunk();
      continue;
    }
    SkipChunkData();
    if (ChunkIs("IEND")) break;
    if (!(FHeader.ChunkType[0] & 0x20)) throw EInvalidGraphic(ErrCritical);
  }
  decoder.DecodeEnd();
}

void TPNGGraphic::DecodeImageData() {
  Progress(TProgressStage::psStarting, L"Transfering...");
  if (FPixelFormat == TPngPixelFormat::pfDevice) FSourceBPP = ConfigureColorDepth(FIHDR.ColorType, FIHDR.BitDepth);
  const std::uint32_t width = FIHDR.Width, height = FIHDR.Height, depth = FIHDR.BitDepth;
  const std::uint32_t samples = depth == 16 ? FSourceBPP / 2 : FSourceBPP;
  const std::uint32_t rowBytes = static_cast<std::uint32_t>((std::uint64_t(width) * depth + 7) / 8 * samples);

  if (!FPalette.empty()) {
    FBitmapPalette = FPalette;
  } else if (samples == 4) {
    FIgnorePalette = true;
  }
  SetBitmapSize(width, height);
  // Interlaced passes fill rows piece by piece, so the background goes under all of
  // them; plain rows are each written whole, so only rows left undecoded get it.
  if (FIHDR.Interlaced == 1) FillBitmap(FBackgroundColor, 0);
  if (FTransparentColor != TPNGGraphic::NoColor) {
    FBitmapTransparentColor = FTransparentColor;
    FTransparent = true;
  }

  std::vector<std::uint8_t> buffers[2] = {std::vector<std::uint8_t>(rowBytes + 1, 0),
                                          std::vector<std::uint8_t>(rowBytes + 1, 0)};
  int current = 0;
  if (FIHDR.Interlaced != 1) {
    std::uint32_t y = 0;
    for (; y < height; ++y) {
      std::uint8_t* row = buffers[current].data();
      // Image data that ends early leaves the remaining rows with the background fill.
      if (!InflateRow(row, rowBytes + 1)) break;
      UnfilterRow(row, buffers[1 - current].data(), rowBytes);
      FColorManager.ConvertRow(row + 1, ScanLine(static_cast<int>(y)), width, 0xFF);
      ++FProgressTop;
      current = 1 - current;
    }
    FillBitmap(FBackgroundColor, static_cast<int>(y));
  } else {
    bool complete = true;
    for (int pass = 0; pass < 7 && complete; ++pass) {
      const TAdam7Pass& p = Adam7[pass];
      if (p.FirstColumn >= width) continue;
      const std::uint32_t columns = (width + p.ColumnStep - p.FirstColumn - 1) / p.ColumnStep;
      const std::uint32_t passBytes = static_cast<std::uint32_t>((std::uint64_t(columns) * depth + 7) / 8 * samples);
      std::fill(buffers[1 - current].begin(), buffers[1 - current].end(), 0);
      for (std::uint32_t y = p.FirstRow; y < height; y += p.RowStep) {
        std::uint8_t* row = buffers[current].data();
        if (!InflateRow(row, passBytes + 1)) {
          complete = false;
          break;
        }
        UnfilterRow(row, buffers[1 - current].data(), passBytes);
        FColorManager.ConvertRow(row + 1, ScanLine(static_cast<int>(y)), width, p.Mask);
        if (pass == 6) ++FProgressTop;
        current = 1 - current;
      }
    }
  }
  while (ChunkIs("IDAT")) {
    ReadChunkData();
    NextChunkHeader();
  }
}

bool TPNGGraphic::InflateRow(std::uint8_t* row, std::uint32_t bytes) {
  std::uint8_t* dest = row;
  std::uint8_t* const end = row + bytes;
  while (dest < end) {
    if (FDecoder->AvailableInput() == 0) {
      FIDATSize = 0;
      while (FIDATSize == 0) {
        if (!ChunkIs("IDAT")) return false;
        ReadChunkData();
        FCurrentSource = FRawBuffer.data();
        FIDATSize = FHeader.Length;
        NextChunkHeader();
      }
    }
    const auto taken = static_cast<std::uint32_t>(FCurrentSource - FRawBuffer.data());
    FDecoder->Decode(FCurrentSource, dest, FIDATSize - taken, static_cast<std::uint32_t>(end - dest));
    if (FDecoder->ZLibResult() == Z_STREAM_END) break;
    if (FDecoder->ZLibResult() != Z_OK) InvalidGraphic(ErrCompression);
  }
  if (FDecoder->ZLibResult() == Z_STREAM_END && (dest < end || FDecoder->AvailableInput() > 0))
    InvalidGraphic(ErrExtraData);
  return true;
}

namespace {
// Four bytes added (or averaged) at once, each byte on its own, carries dropped.
inline std::uint32_t AddBytes(std::uint32_t x, std::uint32_t y) {
  return ((x & 0x7F7F7F7Fu) + (y & 0x7F7F7F7Fu)) ^ ((x ^ y) & 0x80808080u);
}
inline std::uint32_t AverageBytes(std::uint32_t a, std::uint32_t b) {  // (a + b) >> 1 per byte
  return (a & b) + (((a ^ b) >> 1) & 0x7F7F7F7Fu);
}
inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

#if defined(__SSE2__)
// The Paeth predictor for pixels of Bpp bytes (3 to 8), every byte in a 16-bit lane.
template <std::uint32_t Bpp>
void UnpaethWide(std::uint8_t* x, const std::uint8_t* b, std::uint32_t bytes) {
  const __m128i zero = _mm_setzero_si128();
  auto load = [&](const std::uint8_t* p) {
    std::uint64_t v = 0;
    std::memcpy(&v, p, Bpp);
    const __m128i packed = _mm_set_epi32(0, 0, static_cast<int>(v >> 32), static_cast<int>(v & 0xFFFFFFFFu));
    return _mm_unpacklo_epi8(packed, zero);
  };
  __m128i a = zero, c = zero;
  for (std::uint32_t i = 0; i < bytes; i += Bpp) {
    const __m128i up = load(b + i), raw = load(x + i);
    // pa = |up - c|, pb = |a - c|, pc = |a + up - 2c|
    const __m128i dUp = _mm_sub_epi16(up, c), dA = _mm_sub_epi16(a, c);
    const __m128i sum = _mm_add_epi16(dUp, dA);
    const __m128i pa = _mm_max_epi16(dUp, _mm_sub_epi16(zero, dUp));
    const __m128i pb = _mm_max_epi16(dA, _mm_sub_epi16(zero, dA));
    const __m128i pc = _mm_max_epi16(sum, _mm_sub_epi16(zero, sum));
    // a where pa <= pb and pa <= pc; else up where pb <= pc; else c
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i notUp = _mm_cmpgt_epi16(pb, pc);
    const __m128i upOrC = _mm_or_si128(_mm_andnot_si128(notUp, up), _mm_and_si128(notUp, c));
    const __m128i predictor = _mm_or_si128(_mm_andnot_si128(notA, a), _mm_and_si128(notA, upOrC));
    const __m128i value = _mm_and_si128(_mm_add_epi16(raw, predictor), _mm_set1_epi16(0xFF));
    const __m128i packed = _mm_packus_epi16(value, value);
    const std::uint64_t out = static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed)) |
                              (std::uint64_t(static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 4)))) << 32);
    std::memcpy(x + i, &out, Bpp);
    a = value;
    c = up;
  }
}
#endif
}  // namespace

void TPNGGraphic::UnfilterRow(std::uint8_t* row, const std::uint8_t* previous, std::uint32_t bytes) const {
  const std::uint32_t bpp = static_cast<std::uint32_t>(std::max(FSourceBPP, 1));
  std::uint8_t* __restrict x = row + 1;
  const std::uint8_t* __restrict b = previous + 1;
  // Whole pixels of four bytes at a time where the row is made of them.
  const bool fours = bpp == 4 && bytes % 4 == 0;
  switch (row[0]) {
    case 1:
      if (fours) {
        std::uint32_t a = 0;
        for (std::uint32_t i = 0; i < bytes; i += 4) Store32(x + i, a = AddBytes(Load32(x + i), a));
      } else {
        for (std::uint32_t i = bpp; i < bytes; ++i) x[i] = static_cast<std::uint8_t>(x[i] + x[i - bpp]);
      }
      break;
    case 2:
      for (std::uint32_t i = 0; i < bytes; ++i) x[i] = static_cast<std::uint8_t>(x[i] + b[i]);
      break;
    case 3:
      if (fours) {
        std::uint32_t a = 0;
        for (std::uint32_t i = 0; i < bytes; i += 4)
          Store32(x + i, a = AddBytes(Load32(x + i), AverageBytes(a, Load32(b + i))));
      } else {
        for (std::uint32_t i = 0; i < bytes; ++i) {
          unsigned a = i >= bpp ? x[i - bpp] : 0;
          x[i] = static_cast<std::uint8_t>(x[i] + ((a + b[i]) >> 1));
        }
      }
      break;
    case 4:
#if defined(__SSE2__)
      if (bytes % bpp == 0 && (bpp == 3 || bpp == 4 || bpp == 6 || bpp == 8)) {
        if (bpp == 3) UnpaethWide<3>(x, b, bytes);
        if (bpp == 4) UnpaethWide<4>(x, b, bytes);
        if (bpp == 6) UnpaethWide<6>(x, b, bytes);
        if (bpp == 8) UnpaethWide<8>(x, b, bytes);
        break;
      }
#endif
      for (std::uint32_t i = 0; i < bytes; ++i) {
        int a = i >= bpp ? x[i - bpp] : 0, up = b[i], c = i >= bpp ? b[i - bpp] : 0;
        int p = a + up - c, pa = std::abs(p - a), pb = std::abs(p - up), pc = std::abs(p - c);
        int predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? up : c);
        x[i] = static_cast<std::uint8_t>(x[i] + predictor);
      }
      break;
    default:
      break;  // None, and unknown filter types, leave the row as read
  }
}

std::uint32_t TPNGGraphic::ColorFromChunkValues(const std::uint8_t* data) const {
  std::uint32_t r = BigEndian16(data), g = BigEndian16(data + 2), b = BigEndian16(data + 4);
  if (FIHDR.BitDepth == 16) {
    r = r * 255 / 65535;
    g = g * 255 / 65535;
    b = b * 255 / 65535;
  }
  return MakeRGB(r, g, b);
}

void TPNGGraphic::ReadBackgroundChunk() {
  ReadChunkData();
  const std::uint8_t* data = FRawBuffer.data();
  const std::size_t length = FRawBuffer.size();
  // A chunk too short for its colour type is ignored rather than read past its end.
  switch (FIHDR.ColorType) {
    case 0:
    case 4:
      if (length >= 2) {
        std::uint32_t v = BigEndian16(data);
        FBackgroundColor = FIHDR.BitDepth == 2 ? v * 15 / 3 : FIHDR.BitDepth == 16 ? v * 255 / 65535 : (v & 0xFF);
      }
      break;
    case 2:
    case 6:
      if (length >= 6) FBackgroundColor = ColorFromChunkValues(data);
      break;
    default:
      if (length >= 1) FBackgroundColor = data[0];
      break;
  }
}

void TPNGGraphic::ReadTransparencyChunk() {
  ReadChunkData();
  const std::uint8_t* data = FRawBuffer.data();
  const std::size_t length = FRawBuffer.size();
  switch (FIHDR.ColorType) {
    case 0:
      if (length >= 2) {
        std::uint32_t v = BigEndian16(data);
        v = FIHDR.BitDepth == 2 ? v * 15 / 3 : FIHDR.BitDepth == 16 ? v * 255 / 65535 : v;
        FTransparentColor = MakeRGB(v, v, v);
      }
      break;
    case 2:
      if (length >= 6) FTransparentColor = ColorFromChunkValues(data);
      break;
    case 4:
    case 6:
      break;
    default:
      FTransparency.assign(256, 255);
      std::copy(data, data + std::min<std::size_t>(length, 256), FTransparency.begin());
      break;
  }
}

// ================================================================================
// 32-bit targets
// ================================================================================

bool TBitmap32Buffer::SetSize32(int width, int height) {
  FWidth = FHeight = 0;
  FPixels.clear();
  if (width <= 0 || height <= 0) return width == 0 || height == 0;
  if (std::uint64_t(width) * std::uint64_t(height) > TPNGGraphic::MaxPixels) return false;
  try {
    FPixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  FWidth = width;
  FHeight = height;
  return true;
}

std::uint32_t TBitmap32Buffer::Pixel(int x, int y) const {
  const std::uint8_t* p = FPixels.data() + (static_cast<std::size_t>(y) * FWidth + x) * 4;
  return (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
}

void CopyPngToBitmap32(TBitmap32Sink& Bitmap, const TPNGGraphic& Png) {
  const bool keyed = Bitmap.Transparent();
  const int width = Png.Width(), height = Png.Height();
  if (!Bitmap.SetSize32(width, height) || width == 0 || height == 0) return;
  const TPngPixelFormat format = Png.PixelFormat();
  const TColorPalette& palette = Png.Palette();
  const int bits = BitsOf(format);
  const bool indexed = bits <= 8;
  const TImageProperties& props = Png.ImageProperties();
  const std::vector<std::uint8_t>& transparency = Png.Transparency();

  enum { aCopy, aFromTransparency, aOpaque, aGammaMask, aKey } mode;
  if (props.ColorScheme == csIndexed && !transparency.empty() && indexed)
    mode = aFromTransparency;
  else if (format == TPngPixelFormat::pf32bit)
    mode = aCopy;
  else if (props.Options & ioUseGamma)
    mode = Png.ColorManager().SourcePixelFormat() == TPngPixelFormat::pf24bit ? aOpaque : aGammaMask;
  else
    mode = keyed ? aKey : aOpaque;
  const std::uint8_t* gamma = Png.ColorManager().GammaTable();
  // tRNS counts in the file's indices; a 2-bit image was spread to 4 bits (index x 5),
  // so its bitmap index is mapped back before the alpha is looked up.
  const int sourceBits = Png.ColorManager().SourceBitsPerSample(), targetBits = Png.ColorManager().TargetBitsPerSample();
  auto original = [&](std::uint8_t index) -> std::uint8_t {
    if (sourceBits == targetBits || sourceBits > 8 || targetBits > 8) return index;
    return static_cast<std::uint8_t>(index * ((1u << sourceBits) - 1) / ((1u << targetBits) - 1));
  };

  if ((mode == aCopy && bits == 32) || (mode == aOpaque && bits == 24)) {
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* in = Png.ScanLine(y);
      std::uint8_t* out = Bitmap.ScanLine32(y);
      if (bits == 32) {
        std::memcpy(out, in, static_cast<std::size_t>(width) * 4);
      } else {
        for (int x = 0; x < width; ++x, in += 3, out += 4) {
          out[0] = in[0];
          out[1] = in[1];
          out[2] = in[2];
          out[3] = 255;
        }
      }
    }
    return;
  }
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = Png.ScanLine(y);
    std::uint8_t* out = Bitmap.ScanLine32(y);
    for (int x = 0; x < width; ++x, out += 4) {
      std::uint8_t index = 0;
      if (indexed) {
        index = IndexAt(in, x, bits);
        TPaletteColor c = index < palette.size() ? palette[index] : TPaletteColor{};
        out[0] = c.Blue;
        out[1] = c.Green;
        out[2] = c.Red;
        out[3] = 0;
      } else {
        const std::uint8_t* p = in + static_cast<std::size_t>(x) * (bits / 8);
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        out[3] = bits == 32 ? p[3] : 0;
      }
      switch (mode) {
        case aFromTransparency: out[3] = transparency[original(index)]; break;
        case aOpaque: out[3] = 255; break;
        case aGammaMask:
          out[0] = out[1] = out[2] = 0;
          out[3] = static_cast<std::uint8_t>(255 - gamma[index]);
          break;
        default: break;
      }
    }
  }
  if (mode == aKey) {
    // The key is the colour of the bottom-left pixel; every other colour is opaque.
    const std::uint8_t* corner = Bitmap.ScanLine32(height - 1);
    const std::uint32_t key = corner[0] | (corner[1] << 8) | (corner[2] << 16);
    for (int y = 0; y < height; ++y) {
      std::uint8_t* p = Bitmap.ScanLine32(y);
      for (int x = 0; x < width; ++x, p += 4) {
        std::uint32_t c = p[0] | (p[1] << 8) | (p[2] << 16);
        p[3] = c != key ? 255 : 0;
      }
    }
  }
}

void LoadPngStreamToBitmap(TBitmap32Sink& Bitmap, TStream& Stream) {
  TPNGGraphic png;
  png.LoadFromStream(Stream);
  CopyPngToBitmap32(Bitmap, png);
}
