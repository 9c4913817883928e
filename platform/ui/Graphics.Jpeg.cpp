#include "platform/ui/Graphics.Jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/ui/Graphics.Bmp.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

// libjpeg reports through this manager: the message is kept and control jumps back to
// the reader, which raises after libjpeg's state has been destroyed.
struct TJpegError {
  jpeg_error_mgr Base;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<TJpegError*>(info->err);
  info->err->format_message(info, err->Message);
  std::longjmp(err->Jump, 1);
}
void OutputMessage(j_common_ptr) {}  // warnings go nowhere (no console in a GUI program)

std::wstring Widen(const char* text) {
  std::wstring out;
  for (; *text; ++text) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
  return out;
}

}  // namespace

namespace {

// What a decode makes. The buffers live in the caller's frame: the jump back from libjpeg
// skips only Decode's frame, which holds nothing that needs destroying.
struct TDecodeResult {
  std::vector<std::uint8_t> Rgb, Line;
  int Width = 0, Height = 0;
  const char* Refusal = nullptr;
  char Message[JMSG_LENGTH_MAX] = {};
};

// false when libjpeg reported an error (its message in Result.Message).
bool Decode(const std::string& bytes, bool fast, TDecodeResult& result) {
  jpeg_decompress_struct info{};
  TJpegError err{};
  info.err = jpeg_std_error(&err.Base);
  err.Base.error_exit = ErrorExit;
  err.Base.output_message = OutputMessage;
  if (setjmp(err.Jump)) {
    std::memcpy(result.Message, err.Message, sizeof(result.Message));
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  if (info.image_width == 0 || info.image_height == 0 || info.image_width > MaxBmpDimension ||
      info.image_height > MaxBmpDimension || std::uint64_t(info.image_width) * info.image_height > MaxBmpPixels) {
    result.Refusal = "the image is too large";
    jpeg_destroy_decompress(&info);
    return true;
  }
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  if (fast) {
    info.dct_method = JDCT_IFAST;
    info.do_fancy_upsampling = FALSE;
    info.do_block_smoothing = FALSE;
  }
  jpeg_start_decompress(&info);
  const int width = static_cast<int>(info.output_width);
  const int components = info.output_components;
  result.Width = width;
  result.Height = static_cast<int>(info.output_height);
  result.Rgb.assign(std::size_t(width) * result.Height * 3, 0);
  result.Line.assign(std::size_t(width) * components, 0);
  while (info.output_scanline < info.output_height) {
    const int y = static_cast<int>(info.output_scanline);
    JSAMPROW row = result.Line.data();
    if (jpeg_read_scanlines(&info, &row, 1) != 1) break;
    std::uint8_t* out = result.Rgb.data() + std::size_t(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = result.Line.data() + std::size_t(x) * components;
      if (components == 4) {  // Adobe's inverted CMYK
        out[3 * x] = static_cast<std::uint8_t>(p[0] * p[3] / 255);
        out[3 * x + 1] = static_cast<std::uint8_t>(p[1] * p[3] / 255);
        out[3 * x + 2] = static_cast<std::uint8_t>(p[2] * p[3] / 255);
      } else if (components == 3) {
        out[3 * x] = p[0];
        out[3 * x + 1] = p[1];
        out[3 * x + 2] = p[2];
      } else {
        out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = p[0];
      }
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

void TJPEGImage::LoadFromStream(TStream& stream) {
  const std::string bytes = stream.ReadToEnd();
  if (bytes.empty()) throw EInvalidGraphic(L"JPEG image is not valid: the data is empty");
  TDecodeResult result;
  if (!Decode(bytes, Performance == jpBestSpeed, result))
    throw EInvalidGraphic(L"JPEG image is not valid: " + Widen(result.Message));
  if (result.Refusal) throw EInvalidGraphic(L"JPEG image is not valid: " + Widen(result.Refusal));
  FWidth = result.Width;
  FHeight = result.Height;
  FRgb = std::move(result.Rgb);
}

void TJPEGImage::DrawTo(TBitmap& bitmap) const {
  const int w = std::min(FWidth, bitmap.Width()), h = std::min(FHeight, bitmap.Height());
  if (w <= 0 || h <= 0) return;
  const int bytes = bitmap.BitsPerPixel() / 8;
  if (bytes != 3 && bytes != 4) {
    bitmap.SetPixelFormat(pf32bit);
    return DrawTo(bitmap);
  }
  std::uint8_t* base = bitmap.Bits();
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* from = FRgb.data() + std::size_t(y) * FWidth * 3;
    std::uint8_t* to = base + static_cast<std::ptrdiff_t>(y) * bitmap.Stride();
    for (int x = 0; x < w; ++x, to += bytes, from += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
      if (bytes == 4) to[3] = 255;
    }
  }
}
