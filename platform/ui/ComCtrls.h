#pragma once
// Kinds of controls that painting code treats apart although this program does not make
// them yet: tab sheets (their page control's border moves their face), tool buttons (those
// of a button style are drawn by their tool bar) and speed buttons. Each query answers
// "none" until the control exists; a test may stand in for one through the seam below.
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

// ---- the least tool bar --------------------------------------------------------------------
// What the skin's tool-bar glyph drawing reads of a framework tool bar: its image lists, its
// layout and its buttons. The buttons are graphic children; their painting is the skin's.
#include <string>

#include "platform/ui/Controls.h"

class TCustomImageList;

class TToolButton : public TGraphicControl {
public:
  explicit TToolButton(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TToolButton"; }
  int ImageIndex = -1;
  TToolButtonStyle Style = tbsButton;
};

class TToolBar : public TWinControl {
public:
  explicit TToolBar(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TToolBar"; }
  TCustomImageList* Images = nullptr;
  TCustomImageList* HotImages = nullptr;
  TCustomImageList* DisabledImages = nullptr;
  // Images left of the captions (else above them).
  bool List = false;
  bool ShowCaptions = false;
  // The tool buttons among the children, in their order.
  int ButtonCount() const;
  TToolButton* Buttons(int Index) const;
};
#include "platform/ui/ComCtrls.Tabs.h"  // tab and page controls
