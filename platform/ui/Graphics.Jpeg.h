#pragma once
// A JPEG picture decoded by libjpeg and drawn into a bitmap. Every libjpeg error (its
// default would end the process) becomes EInvalidGraphic; images larger than the BMP
// reader's limits are refused before their pixels are decoded.
#include <cstdint>
#include <vector>

#include "platform/runtime/Streams.h"
#include "platform/ui/Graphics.h"

enum TJPEGPerformance { jpBestQuality, jpBestSpeed };

class TJPEGImage {
public:
  // jpBestSpeed: the fast integer transform without smoothing or fancy upsampling.
  TJPEGPerformance Performance = jpBestQuality;

  // Reads the whole stream from its position; raises EInvalidGraphic for bad data.
  void LoadFromStream(TStream& stream);
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  // The picture into the top-left corner of the bitmap (a 32-bit bitmap gets alpha 255).
  void DrawTo(TBitmap& bitmap) const;

private:
  int FWidth = 0, FHeight = 0;
  std::vector<std::uint8_t> FRgb;  // rows top first, three bytes red, green, blue a pixel
};
