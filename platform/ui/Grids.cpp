#include "platform/ui/Grids.h"

#include "platform/ui/Properties.h"

namespace {

// The fixed-cell look is published, so code that knows no grid class reaches it by name;
// registered with the first grid made.
void RegisterGridProperties() {
  static const bool done = [] {
  RegisterPublished<TCustomGrid>()
      .Ordinal(L"DrawingStyle", [](TCustomGrid& g) { return static_cast<int>(g.DrawingStyle); },
               [](TCustomGrid& g, int v) { g.DrawingStyle = static_cast<TGridDrawingStyle>(v); })
      .Ordinal(L"GradientStartColor", [](TCustomGrid& g) { return static_cast<int>(g.GradientStartColor); },
               [](TCustomGrid& g, int v) { g.GradientStartColor = static_cast<TColor>(v); })
      .Ordinal(L"GradientEndColor", [](TCustomGrid& g) { return static_cast<int>(g.GradientEndColor); },
               [](TCustomGrid& g, int v) { g.GradientEndColor = static_cast<TColor>(v); });
    return true;
  }();
  (void)done;
}

}  // namespace

TCustomGrid::TCustomGrid(TComponent* owner) : TWinControl(owner) {
  RegisterGridProperties();
  SetBounds(0, 0, 320, 120);
  SetTabStop(true);
  SetColor(clWindow);
}
