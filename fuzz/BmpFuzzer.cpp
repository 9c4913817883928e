// libFuzzer target: any bytes through the BMP reader's core.
#include "platform/runtime/Exceptions.h"
#include "platform/ui/Graphics.Bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const TBmpImage image = DecodeBmp(std::span<const std::uint8_t>(data, size));
    if (image.Pixels.size() != std::size_t(image.Width) * std::size_t(image.Height)) __builtin_trap();
  } catch (const Exception&) {
    // a clean refusal is the expected answer to bad data
  }
  return 0;
}
