#pragma once
// Standard controls: the label, a window-less text painted on its parent.
#include "platform/ui/Controls.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };
// Where a label that does not fit shortens its text with dots.
enum TEllipsisPosition { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };

class TCustomLabel : public TGraphicControl {
public:
  explicit TCustomLabel(TComponent* owner);
  std::wstring ClassName() const override { return L"TCustomLabel"; }

  TAlignment Alignment = taLeftJustify;
  TTextLayout Layout = tlTop;
  bool WordWrap = false;
  // A transparent label leaves its parent's face behind the text.
  bool Transparent = true;
  // "&" marks the next character as the accelerator (drawn underlined) instead of showing.
  bool ShowAccelChar = true;
  TEllipsisPosition EllipsisPosition = epNone;
  // The label takes the size of its text whenever the text or the font changes.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);
  void SetCaption(const std::wstring& value) override;
  void Paint(HDC dc) override;
  // Sizes the label to its text (with AutoSize, not while loading); a right-justified
  // label keeps its right edge.
  virtual void AdjustBounds();

protected:
  // The colour and the font the text is painted in.
  virtual TColor CurrentTextColor();
  virtual TFont& LabelFont() { return Font; }
  // Draws (or with DT_CALCRECT measures into R) the caption on the DC being painted on, or
  // on the screen's when no paint runs.
  virtual void DoDrawText(TRect& R, UINT Flags);
  // The DC of the paint that runs, else nullptr.
  HDC PaintDC() const { return FPaintDC; }
  // The caption as drawn: with DT_CALCRECT an empty text or a lone "&" is measured with a
  // blank added.
  std::wstring LabelText(UINT Flags) const;
  // DrawText flags of the framework's label: expand tabs, alignment, wrap, prefix, reading order.
  UINT LabelFlags() const;
  bool FAutoSize = false;

private:
  HDC FPaintDC = nullptr;
};

class TLabel : public TCustomLabel {
public:
  using TCustomLabel::TCustomLabel;
  std::wstring ClassName() const override { return L"TLabel"; }
};
