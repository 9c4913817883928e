#include "skin/controls/sHtmlParse.h"

// Filled with the caption markup renderer (see the header).
void TsHtml::Init(TBitmap* Bitmap, const std::wstring& Text, int PressedLink, int HotLink, const TRect& Area) {
  (void)Bitmap;
  (void)Text;
  (void)PressedLink;
  (void)HotLink;
  (void)Area;
}

TRect TsHtml::HTMLText(TacLinks& Links, bool MeasureOnly) {
  (void)MeasureOnly;
  Links.clear();
  return TRect{};
}
