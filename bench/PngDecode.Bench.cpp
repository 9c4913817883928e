// Decoding time of our PNG reader against libpng on the same files, in one run.
// Both produce 32-bit blue, green, red, alpha pixels. Built natively by bench/run-png.sh.
#include "skin/graphics/acPNG.h"
#include <png.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

void DecodeOurs(const std::string& bytes) {
  TMemoryStream stream(bytes);
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
template <typename F>
double TimeOf(F decode, const std::string& bytes) {
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
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s IMAGE_FOLDER\n", argv[0]);
    return 2;
  }
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  double oursSkin = 0, libSkin = 0, oursLarge = 0, libLarge = 0;
  std::printf("%-24s %12s %12s %7s\n", "file", "ours us", "libpng us", "ratio");
  for (const auto& path : files) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    double ours = TimeOf(DecodeOurs, bytes), lib = TimeOf(DecodeLibpng, bytes);
    bool large = path.filename().string().rfind("large", 0) == 0;
    (large ? oursLarge : oursSkin) += ours;
    (large ? libLarge : libSkin) += lib;
    std::printf("%-24s %12.1f %12.1f %7.2f\n", path.filename().c_str(), ours * 1e6, lib * 1e6, ours / lib);
  }
  std::printf("skin-sized total: ours/libpng = %.2f\n", oursSkin / libSkin);
  std::printf("large total:      ours/libpng = %.2f\n", oursLarge / libLarge);
  std::printf("ratio ours/libpng: %.2f (aim: within 1.5)\n", (oursSkin + oursLarge) / (libSkin + libLarge));
  return 0;
}
