// The engine's text into 32-bit bitmaps and its glow blur. Prints one "key value" line per
// task; bench/run-text.sh sets the mixing beside pixman and the blur beside Pillow.
//   caption-us / paragraph-us   DrawTextToBitmap32, microseconds per call
//   caption-textout-us / ...    the system's text output into the stencil alone
//   mix                         the stencil mixing in alpha mode, megapixels per second
//   blur-WxH-rR                 BlurBitmap8, megapixels per second
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "BenchTiming.h"
#include "TextStencil.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/sGraphUtils.h"

namespace {

// Seconds per step, the best of five rounds of 0.3 s.
template <class F>
double SecondsPerStep(F&& step) {
  return BestSecondsPerCall(step, 5, 0.3);
}

void Text(const char* key, const std::wstring& text, int w, int h, UINT flags) {
  auto dst = NewBitmap32(w, h);
  dst->Canvas().Font.Name = L"Tahoma";
  dst->Canvas().Font.Height = -13;
  const TRect r = Rect(0, 0, w, h);
  const double all = SecondsPerStep([&] { DrawTextToBitmap32(dst.get(), text.c_str(), true, r, flags, 0x202020); });
  // What the system's part costs: the same stencil made and drawn into, without the mixing.
  const double textOut = SecondsPerStep([&] {
    auto stencil = NewBitmap32ForRect(r);
    stencil->Canvas().Font.Assign(dst->Canvas().Font);
    HDC dc = stencil->Canvas().FontHandle();
    SetTextColor(dc, 0);
    SetBkColor(dc, 0xFFFFFF);
    TRect all = r;
    DrawTextLimited(dc, text, all, flags);
    GdiFlush();
  });
  std::printf("%s-us %.1f\n%s-textout-us %.1f\n", key, all * 1e6, key, textOut * 1e6);
}

void Blur(int w, int h, int radius) {
  TBitmap plane;
  plane.SetPixelFormat(pf8bit);
  plane.SetSize(w, h);
  std::uint32_t seed = 7;
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<std::uint8_t*>(plane.ScanLine(y));
    for (int x = 0; x < w; ++x) row[x] = static_cast<std::uint8_t>(BenchNext(&seed) >> 24);
  }
  const double s = SecondsPerStep([&] { BlurBitmap8(&plane, radius); });
  std::printf("blur-%dx%d-r%d %.1f\n", w, h, radius, double(w) * h / s / 1e6);
}

}  // namespace

int wmain() {
  Text("caption", L"Settings of the update service", 200, 20, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
  std::wstring paragraph;
  while (paragraph.size() < 1200) paragraph += L"The shell keeps the asset folder up to date from the index. ";
  Text("paragraph", paragraph, 400, 300, DT_WORDBREAK);

  auto stencil = NewBitmap32(StencilWidth, StencilHeight);
  std::uint32_t seed = 1;
  for (int y = 0; y < StencilHeight; ++y) {
    auto* row = static_cast<std::uint32_t*>(stencil->ScanLine(y));
    for (int x = 0; x < StencilWidth; ++x) row[x] = StencilPixel(&seed);
  }
  auto dst = NewBitmap32(StencilWidth, StencilHeight);
  const double mix = SecondsPerStep([&] { MixTextStencil(dst.get(), stencil.get(), 0, 0, true, 0x3060C0); });
  std::printf("mix %.1f\n", double(StencilWidth) * StencilHeight / mix / 1e6);

  for (auto [w, h] : {std::pair{240, 40}, std::pair{1920, 1080}})
    for (int radius : {3, 10}) Blur(w, h, radius);
  return 0;
}
