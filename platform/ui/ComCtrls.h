#pragma once
// Kinds of controls that painting code treats apart: tab sheets (a border width of theirs
// moves their face; the framework's tab sheets have none), tool buttons (those of a button
// style are drawn by their tool bar) and speed buttons. A test may stand in for other
// controls of these kinds through the seam below.
#include <optional>

class TControl;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider, tbsTextButton };

// The border width around a tab sheet's face; 0 for a control that is no tab sheet.
int TabSheetBorderWidth(TControl* control);
// The style of a tool button; none for a control that is no tool button.
std::optional<TToolButtonStyle> ToolButtonStyleOf(TControl* control);
bool IsSpeedButton(TControl* control);

// Seam: the answers for controls of the kinds above; an empty member (or nullptr for the
// whole) gives "none" again.
struct TControlKindQueries {
  int (*TabSheetBorderWidth)(TControl* control) = nullptr;
  std::optional<TToolButtonStyle> (*ToolButtonStyleOf)(TControl* control) = nullptr;
  bool (*IsSpeedButton)(TControl* control) = nullptr;
};
void SetControlKindQueries(const TControlKindQueries* queries);

// ---- the tool bar (ComCtrls.ToolBar) ----
#include "platform/ui/ComCtrls.ToolBar.h"
#include "platform/ui/ComCtrls.Tabs.h"  // tab and page controls
