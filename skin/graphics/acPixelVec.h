#pragma once
// Several 32-bit pixels at a time. The base is the four-pixel code over the compiler's
// vector types (plain C++ that GCC maps onto SSE2 registers); processors with SSSE3 or
// AVX2 get the same loops built for them (eight pixels a step with AVX2), chosen once at
// run time. Every path gives bit for bit the results of the one-pixel loops that each
// routine keeps for the rest of a row; on targets without SSE2 only those are compiled.
#include <cstdint>

#if defined(__SSE2__)
#define AC_PIXEL_VECTORS 1

namespace acvec {

enum class TPixelPath { Base, SSSE3, AVX2 };

// Whether this processor (and system) can run the path; Base always can.
bool PixelPathSupported(TPixelPath path);
// The path in use: the widest the processor supports, unless one is forced.
TPixelPath PixelPath();
// A seam for tests and benchmarks: forces a supported path (false, and nothing changed,
// for an unsupported one); ClearPixelPathOverride returns to the automatic choice.
bool ForcePixelPath(TPixelPath path);
void ClearPixelPathOverride();
const char* PixelPathName(TPixelPath path);

// The row loops: each does whole steps of its path from the row's start and answers how
// many pixels it did; the caller's one-pixel loop does the rest.
// Src over Dst by Src's alpha times Opacity, Dst's alpha never falling.
int AlphaBlendRow(std::uint32_t* dst, const std::uint32_t* src, int width, std::uint8_t opacity);
// Every byte d := (W * d + (256 - W) * s) >> 8, W at most 256.
int BlendRow(std::uint32_t* dst, const std::uint32_t* src, int width, std::uint32_t weight);
// Colour times alpha; without composition near-white capped at 244; 0x00FFFFFF to 0.
int PremultiplyRow(std::uint32_t* row, int width, bool composed);

// The loops of one path, for the dispatch (acPixelVec.cpp and the per-path units).
struct TPixelRows {
  int (*AlphaBlend)(std::uint32_t*, const std::uint32_t*, int, std::uint8_t);
  int (*Blend)(std::uint32_t*, const std::uint32_t*, int, std::uint32_t);
  int (*Premultiply)(std::uint32_t*, int, bool);
};
const TPixelRows& BaseRows();
const TPixelRows& SSSE3Rows();
const TPixelRows& AVX2Rows();

}  // namespace acvec
#endif
