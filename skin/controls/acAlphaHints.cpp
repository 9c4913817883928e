// The Windows part of the hints: pictures of templates and the composition of a template hint.
#include "skin/controls/acAlphaHints.h"

#include <algorithm>
#include <span>

#include "platform/runtime/Resources.h"
#include "platform/ui/Graphics.Bmp.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.h"

TacHintTemplateData DefaultHintTemplateData() {
  TacHintTemplateData data;
  data.FontSize = 9;
  data.FontName = "Tahoma";
  TacHintImageData& image = data.Images[hiDefault];
  image.BordersWidths = {10, 11, 14, 15};  // top, left, right, bottom
  image.ShadowSizes = {5, 6, 7, 8};
  image.ClientMargins = {8, 11, 16, 15};
  image.PictureKind = acHintPicturePng;
  TResourceStream res(nullptr, L"ACHINT");
  res.SetPosition(0);
  image.Picture = res.ReadToEnd();
  return data;
}

std::unique_ptr<TBitmap> HintPicture(const TacHintImageData& Image) {
  if (Image.Picture.empty()) return nullptr;
  auto bmp = std::make_unique<TBitmap>();
  if (Image.PictureKind == acHintPictureBmp) {
    const TBmpImage img =
        DecodeBmp(std::span(reinterpret_cast<const std::uint8_t*>(Image.Picture.data()), Image.Picture.size()));
    bmp = NewBitmap32(img.Width, img.Height);
    for (int y = 0; y < img.Height; ++y)
      std::copy_n(img.Pixels.data() + static_cast<std::size_t>(y) * img.Width, img.Width,
                  static_cast<std::uint32_t*>(bmp->ScanLine(y)));
    return bmp;
  }
  TMemoryStream png(Image.Picture);
  LoadPngStreamToBitmap(*bmp, png);
  return bmp;
}

std::unique_ptr<TBitmap> ComposeTemplateHint(const TacHintImageData& Image, TBitmap* Picture, int Width, int Height,
                                             const std::function<void(TBitmap* Bmp, const TRect& Client)>& Content) {
  auto bmp = NewBitmap32(std::max(Width, 1), std::max(Height, 1));
  if (Picture && !Picture->Empty()) {
    const int pw = Picture->Width(), ph = Picture->Height();
    // Stored borders may be anything; where they cut the slices they stay inside the picture.
    const TacBordersSizes& b = Image.BordersWidths;
    const TRect margins = Rect(std::min(b.Left(), pw), std::min(b.Top(), ph), std::min(b.Right(), pw),
                               std::min(b.Bottom(), ph));
    const TacBorderDrawModes& m = Image.BorderDrawModes;
    const TRect sides = Rect(m.Left() == dmStretch, m.Top() == dmStretch, m.Right() == dmStretch,
                             m.Bottom() == dmStretch);
    BlitNineSlice(bmp.get(), Picture, Rect(0, 0, Width, Height), Rect(0, 0, pw, ph), margins, margins, sides,
                  m.Center() == dmStretch, true);
  }
  auto slices = NewBitmap32(bmp->Width(), bmp->Height());
  BitBlt(slices->Canvas().Handle(), 0, 0, bmp->Width(), bmp->Height(), bmp->Canvas().Handle(), 0, 0, SRCCOPY);
  const TacBordersSizes& c = Image.ClientMargins;
  if (Content) Content(bmp.get(), Rect(c.Left(), c.Top(), Width - c.Right(), Height - c.Bottom()));
  GdiFlush();
  CopyPixelChannel(bmp.get(), slices.get(), 3);
  PremultiplyBitmap(bmp.get());
  return bmp;
}
