#pragma once
// The BMP file reader's core: plain C++ over bytes (no Win32), so it also builds natively
// for fuzzing. It gives 32-bit pixels (blue, green, red, alpha), top row first.
//
// Read: the file header and an info header of 12 (core), 40, 52, 56, 108 or 124 bytes;
// 1, 4 and 8 bits with a colour table, 24 bits, 16 and 32 bits as BI_RGB or BI_BITFIELDS;
// rows bottom-up (positive height) or top-down (negative height). RLE and embedded
// JPEG/PNG are refused. Every header field, offset and size is checked against the data
// before use, sizes are computed in 64 bits, and images larger than MaxBmpDimension on a
// side or MaxBmpPixels in all are refused (the PNG reader's limits).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

constexpr std::uint32_t MaxBmpDimension = 65535;
constexpr std::uint64_t MaxBmpPixels = std::uint64_t(1) << 24;

struct TBmpImage {
  int Width = 0;
  int Height = 0;
  int BitsPerPixel = 0;
  // Width * Height pixels 0xAARRGGBB, top row first. Alpha is 255 except for 32-bit
  // images whose alpha channel (a BITFIELDS alpha mask or the fourth byte) holds any
  // value other than 0 everywhere: such images keep their alpha.
  std::vector<std::uint32_t> Pixels;
};

// Raises EInvalidGraphic with a message a person understands for any fault of the data.
TBmpImage DecodeBmp(std::span<const std::uint8_t> data);

// A 32-bit BI_RGB file (40-byte info header, rows bottom-up) of Width * Height pixels
// 0xAARRGGBB given top row first; DecodeBmp reads it back as it was.
std::vector<std::uint8_t> EncodeBmp32(int Width, int Height, const std::uint32_t* Pixels);
