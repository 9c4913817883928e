#pragma once
// The speed button: a window-less push button painted on its parent, as tool strips use it.
// Flat buttons show no face until the mouse is over them.
#include "platform/ui/Controls.h"

class TSpeedButton : public TGraphicControl {
public:
  explicit TSpeedButton(TComponent* owner);
  std::wstring ClassName() const override { return L"TSpeedButton"; }

  bool Flat() const { return FFlat; }
  void SetFlat(bool value);
  bool Down() const { return FDown; }
  void SetDown(bool value);
  void Paint(HDC dc) override;

private:
  bool FFlat = false;
  bool FDown = false;
  bool FMouseInControl = false;
};
