// libFuzzer target: any bytes through the PNG reader into a 32-bit bitmap.
#include "skin/graphics/acPNG.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  try {
    TPNGGraphic::CanLoad(stream);
    TBitmap32Buffer bitmap;
    bitmap.SetTransparent(size % 2 == 1);
    LoadPngStreamToBitmap(bitmap, stream);
  } catch (const Exception&) {
    // a clean refusal is the expected answer to bad data
  }
  return 0;
}
