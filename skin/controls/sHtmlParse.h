#pragma once
// The caption markup renderer, as far as the labels reach it so far: the link records and the
// renderer's calls. The renderer itself (layout, fonts, links, entities) comes with the
// hints; until then it measures and draws nothing and finds no link.
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/StdCtrls.h"

class TsSkinManager;

// A link the renderer drew: its rectangle in the bitmap and its target.
struct TacLink {
  TRect R;
  std::wstring Target;
};
using TacLinks = std::vector<TacLink>;

class TsHtml {
public:
  TsSkinManager* SkinManager = nullptr;
  TAlignment Alignment = taLeftJustify;
  TTextLayout Layout = tlTop;
  TBiDiMode BidiMode = bdLeftToRight;
  bool AlphaChannel = false;
  // The bitmap to draw into (its font and font colour are the defaults), the text, the
  // links to show pressed and hot, and the area to lay the text out in.
  void Init(TBitmap* Bitmap, const std::wstring& Text, int PressedLink, int HotLink, const TRect& Area);
  // Lays the text out (with MeasureOnly: measures only) and answers the rectangle it needs;
  // Links receives the links found.
  TRect HTMLText(TacLinks& Links, bool MeasureOnly);
};
