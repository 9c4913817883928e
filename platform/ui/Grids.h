#pragma once
// The grid type: what the skin reads and writes of a grid (the look of its fixed cells).
#include "platform/ui/Controls.h"

// How a grid draws its fixed cells.
enum TGridDrawingStyle { gdsClassic, gdsThemed, gdsGradient };

class TCustomGrid : public TWinControl {
public:
  explicit TCustomGrid(TComponent* owner);
  std::wstring ClassName() const override { return L"TCustomGrid"; }
  TARVEL_PUBLISHED_CLASS(TCustomGrid)

  TGridDrawingStyle DrawingStyle = gdsThemed;
  TColor GradientStartColor = clWindow;
  TColor GradientEndColor = clBtnFace;
};
