#include "platform/ui/ComCtrls.h"

#include "platform/ui/Buttons.SpeedButton.h"

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
  if (dynamic_cast<TSpeedButton*>(control)) return true;
  return control && g_queries.IsSpeedButton && g_queries.IsSpeedButton(control);
}

void SetControlKindQueries(const TControlKindQueries* queries) {
  g_queries = queries ? *queries : TControlKindQueries{};
}
