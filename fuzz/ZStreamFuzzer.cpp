// libFuzzer target: any bytes through the zlib decompression stream, with its seeks.
#include "skin/graphics/acZLibEx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream source(std::string(reinterpret_cast<const char*>(data), size));
  try {
    TZDecompressionStream z(source);
    char buf[4096];
    std::int64_t total = 0;
    for (std::int64_t n; (n = z.Read(buf, size % 3 == 0 ? 1 : sizeof buf)) > 0 && total < (64 << 20);) total += n;
    z.Seek(0, TSeekOrigin::soBeginning);
    z.Seek(std::min<std::int64_t>(total, 100000), TSeekOrigin::soCurrent);
    z.Seek(0, TSeekOrigin::soEnd);
  } catch (const Exception&) {
  }
  return 0;
}
