#pragma once
// The speed button: a window-less push button painted on its parent, as tool strips use it.
// Flat buttons show no face until the mouse is over them. Its glyph is a strip of
// NumGlyphs cells (up, disabled, down, exclusive), laid out beside the caption by Layout,
// Margin (-1: centred with the caption) and Spacing.
#include <memory>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

// The button's state: up, disabled, pressed, or held down in its group.
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TSpeedButton : public TGraphicControl {
public:
  explicit TSpeedButton(TComponent* owner);
  std::wstring ClassName() const override { return L"TSpeedButton"; }

  bool Flat() const { return FFlat; }
  void SetFlat(bool value);
  bool Down() const { return FDown; }
  void SetDown(bool value);
  TBitmap& Glyph() { return FGlyph; }
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int value);
  TButtonLayout Layout() const { return FLayout; }
  void SetLayout(TButtonLayout value);
  int Margin() const { return FMargin; }
  void SetMargin(int value);
  int Spacing() const { return FSpacing; }
  void SetSpacing(int value);
  void Paint(HDC dc) override;

  // Pressed while the left button is held on it, else down when Down.
  TButtonState FState = bsUp;

private:
  bool FFlat = false;
  bool FDown = false;
  bool FMouseInControl = false;
  TBitmap FGlyph;
  int FNumGlyphs = 1;
  TButtonLayout FLayout = blGlyphLeft;
  int FMargin = -1;
  int FSpacing = 4;
};

// The arrow buttons of the framework's up-down control.
class TTimerSpeedButton : public TSpeedButton {
public:
  using TSpeedButton::TSpeedButton;
  std::wstring ClassName() const override { return L"TTimerSpeedButton"; }
};
