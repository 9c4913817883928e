// Decoding time of our PNG reader against libpng on the same files, in one run.
// Both produce 32-bit blue, green, red, alpha pixels. Built natively by bench/run-png.sh.
#include "skin/graphics/acPNG.h"
#include <malloc.h>
#include <cstdlib>
#include <png.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <algorithm>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Both read from memory: the stream is made once per file, outside the timing, as
// libpng reads the caller's bytes in place.
void DecodeOurs(TMemoryStream& stream) {
  stream.SetPosition(0);
  TBitmap32Buffer bitmap;
  LoadPngStreamToBitmap(bitmap, stream);
}

void DecodeLibpng(const std::string& bytes) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) throw std::runtime_error("libpng");
  image.format = PNG_FORMAT_BGRA;
  std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) throw std::runtime_error("libpng");
}

// Seconds per decode, repeated for at least a fifth of a second.
template <typename F, typename Input>
double TimeOf(F decode, Input& bytes) {
  int reps = 0;
  auto start = Clock::now();
  std::chrono::duration<double> spent{};
  do {
    decode(bytes);
    ++reps;
    spent = Clock::now() - start;
  } while (spent.count() < 0.2);
  return spent.count() / reps;
}
}  // namespace

int main(int argc, char** argv) {
  // Neither side gives freed memory back to the system between runs: otherwise each run
  // pays page faults for fresh memory as the allocator happens to trim or not, which
  // measures the allocator and the machine's paging rather than the decoders (our reader
  // holds two image-sized buffers, its own and the 32-bit target, libpng's API one).
  // PNG_BENCH_PLAIN_MALLOC=1 keeps the allocator's defaults.
  if (!std::getenv("PNG_BENCH_PLAIN_MALLOC")) {
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s IMAGE_FOLDER\n", argv[0]);
    return 2;
  }
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  // The classes: skin-sized images together, each large image (colour type, interlace) alone.
  std::map<std::string, std::pair<double, double>> classes;
  std::printf("%-24s %12s %12s %7s\n", "file", "ours us", "libpng us", "ratio");
  for (const auto& path : files) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TMemoryStream stream(bytes);
    // The median of three timings of each, alternating: the machine may be busy.
    std::vector<double> oursRuns, libRuns;
    for (int run = 0; run < 3; ++run) {
      oursRuns.push_back(TimeOf(DecodeOurs, stream));
      libRuns.push_back(TimeOf(DecodeLibpng, bytes));
    }
    std::sort(oursRuns.begin(), oursRuns.end());
    std::sort(libRuns.begin(), libRuns.end());
    const double ours = oursRuns[1], lib = libRuns[1];
    const std::string name = path.stem().string();
    auto& sums = classes[name.rfind("large", 0) == 0 ? name : "skin-sized"];
    sums.first += ours;
    sums.second += lib;
    std::printf("%-24s %12.1f %12.1f %7.2f\n", path.filename().c_str(), ours * 1e6, lib * 1e6, ours / lib);
  }
  std::printf("ratio ours/libpng per class (aim: 1.2 or less):\n");
  for (const auto& [name, sums] : classes) std::printf("  %-20s %5.2f\n", name.c_str(), sums.first / sums.second);
  return 0;
}
