// libFuzzer target: any bytes through the hint template stream reader; whatever it accepts
// must write back and read again to the same template.
#include "skin/controls/acAlphaHints.h"
#include "platform/runtime/Exceptions.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  std::optional<TacHintTemplateData> read;
  try {
    read = ReadHintTemplateStream(stream);
  } catch (const Exception&) {
    return 0;  // a clean refusal is the expected answer to bad data
  }
  if (!read) return 0;
  TMemoryStream again;
  WriteHintTemplateStream(again, *read);
  TacHintTemplateData expected = *read;
  if (expected.SingleImage())  // the corner records are written for four-image templates only
    expected.Images[hiRightTop] = expected.Images[hiRightBottom] = expected.Images[hiLeftBottom] = {};
  const auto back = ReadHintTemplateStream(again);
  if (!back || !(*back == expected)) std::abort();
  return 0;
}
