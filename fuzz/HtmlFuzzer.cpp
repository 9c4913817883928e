// libFuzzer target: any caption through both passes of the markup renderer, measured by a
// fixed-width measurer. The first two bytes give the area's width (0: no wrapping), the
// third the alignment, bidi mode and links shown pressed and hot; the rest is the caption.
// A scan that passes a generous bound for the text's length counts as an endless loop.
#include "skin/controls/sHtmlParse.h"
#include <cstdint>
#include <cstdlib>

namespace {

// Every character as wide as half the point size, rows as high as the size and a bit.
class TFixedCanvas final : public TacHtmlCanvas {
public:
  TacHtmlFont InitialFont() override { return TacHtmlFont{L"Fixed", 0, 8, 0}; }
  TacTextSize TextSize(const TacHtmlFont& Font, std::wstring_view Text) override {
    return {static_cast<int>(Text.size()) * (Font.Size / 2 + 1), Font.Size + 4};
  }
  void DrawText(const TacHtmlFont&, std::wstring_view Text, const TRect& R, unsigned, bool) override {
    if (Text.empty() || R.Right < R.Left) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int width = data[0] | (data[1] & 0x0F) << 8;
  const std::uint8_t mode = data[2];
  std::wstring text;
  for (std::size_t i = 3; i < size; ++i) text += static_cast<wchar_t>(data[i]);
  TFixedCanvas canvas;
  TsHtml html;
  html.Alignment = static_cast<TAlignment>(mode % 3);
  html.BidiMode = static_cast<TBiDiMode>((mode / 3) % 4);
  html.AlphaChannel = mode & 0x40;
  const std::size_t n = text.size() + 2;
  html.StepLimit = 4 * n * n + 64;
  html.OnStepLimit = [] { std::abort(); };
  html.Init(&canvas, text, (mode >> 4) & 3, (mode >> 5) & 3, Rect(mode & 0x80 ? 5 : 0, 0, width, 0));
  TacLinks links;
  html.HTMLText(links, (mode & 0x0F) == 0x0F);
  if (html.Calculating) std::abort();
  return 0;
}
