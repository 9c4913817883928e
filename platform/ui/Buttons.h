#pragma once
// The bit button: a push button with a glyph bitmap beside its caption.
#include <memory>

#include "platform/ui/Graphics.h"
#include "platform/ui/StdCtrls.h"

// Where the glyph sits relative to the caption.
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TBitBtn : public TButton {
public:
  explicit TBitBtn(TComponent* owner);
  ~TBitBtn() override;
  std::wstring ClassName() const override { return L"TBitBtn"; }
  // The glyph strip (owned): NumGlyphs cells side by side (normal, disabled, pressed, hot).
  TBitmap& Glyph() { return *FGlyph; }
  int NumGlyphs = 1;
  TButtonLayout Layout = blGlyphLeft;
  // Pixels between glyph and caption; -1: chosen by the painter.
  int Spacing = 4;
  // Pixels from the edge to the glyph; -1: centred.
  int Margin = -1;

private:
  std::unique_ptr<TBitmap> FGlyph;
};
