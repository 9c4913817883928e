#include "platform/ui/ComCtrls.h"

namespace {
TControlKindQueries g_queries;
}  // namespace

int TabSheetBorderWidth(TControl* control) {
  return control && g_queries.TabSheetBorderWidth ? g_queries.TabSheetBorderWidth(control) : 0;
}

std::optional<TToolButtonStyle> ToolButtonStyleOf(TControl* control) {
  if (auto* button = dynamic_cast<TToolButton*>(control)) return button->Style;
  if (!control || !g_queries.ToolButtonStyleOf) return std::nullopt;
  return g_queries.ToolButtonStyleOf(control);
}

bool IsSpeedButton(TControl* control) {
  return control && g_queries.IsSpeedButton && g_queries.IsSpeedButton(control);
}

void SetControlKindQueries(const TControlKindQueries* queries) {
  g_queries = queries ? *queries : TControlKindQueries{};
}

// ---- the least tool bar --------------------------------------------------------------------

TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 23, 22); }

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 150, 29); }

int TToolBar::ButtonCount() const {
  int n = 0;
  for (TControl* control : Controls()) n += dynamic_cast<TToolButton*>(control) != nullptr;
  return n;
}

TToolButton* TToolBar::Buttons(int Index) const {
  for (TControl* control : Controls())
    if (auto* button = dynamic_cast<TToolButton*>(control); button && Index-- == 0) return button;
  return nullptr;
}
