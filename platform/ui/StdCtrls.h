#pragma once
// Standard controls: the label, a window-less text painted on its parent.
#include "platform/ui/Controls.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TCustomLabel : public TGraphicControl {
public:
  explicit TCustomLabel(TComponent* owner);
  std::wstring ClassName() const override { return L"TCustomLabel"; }

  TAlignment Alignment = taLeftJustify;
  TTextLayout Layout = tlTop;
  bool WordWrap = false;
  // A transparent label leaves its parent's face behind the text.
  bool Transparent = true;
  void Paint(HDC dc) override;

protected:
  // The colour the text is painted in.
  virtual TColor CurrentTextColor();
};

class TLabel : public TCustomLabel {
public:
  using TCustomLabel::TCustomLabel;
  std::wstring ClassName() const override { return L"TLabel"; }
};
