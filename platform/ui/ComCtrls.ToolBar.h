#pragma once
// The framework's tool bar over the system's "ToolbarWindow32": its tool buttons are
// window-less children whose state and look the window's buttons mirror (one window button
// per tool button, its command the button's index). Painting can be taken over button by
// button through the advanced custom-draw events, which the window's NM_CUSTOMDRAW raises
// (reflected to the tool bar as CN_NOTIFY).
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>

#include "platform/ui/ComCtrls.h"  // TToolButtonStyle
#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

class TCustomImageList;
class TPopupMenu;


// The stages of a custom-draw call.
enum TCustomDrawStage { cdPrePaint, cdPostPaint, cdPreErase, cdPostErase };
// The draw states of a custom-drawn item (the system's CDIS_* bits under framework names).
enum TCustomDrawStateBit : unsigned {
  cdsSelected = 1,
  cdsGrayed = 2,
  cdsDisabled = 4,
  cdsChecked = 8,
  cdsFocused = 0x10,
  cdsDefault = 0x20,
  cdsHot = 0x40,
  cdsMarked = 0x80,
  cdsIndeterminate = 0x100,
};
using TCustomDrawState = unsigned;
// What the tool bar leaves out of its own drawing of a button.
enum TTBCustomDrawFlagBit : unsigned {
  tbNoEdges = 1,
  tbHiliteHotTrack = 2,
  tbNoOffset = 4,
  tbNoMark = 8,
  tbNoEtchedEffect = 0x10,
};
using TTBCustomDrawFlags = unsigned;

// Edges drawn around the tool bar.
enum TEdgeBorderBit : unsigned { ebLeft = 1, ebTop = 2, ebRight = 4, ebBottom = 8 };
using TEdgeBorders = unsigned;
enum TEdgeStyle { esNone, esRaised, esLowered };

class TToolBar;

// Posted to a tool bar when the drop-down menu of one of its buttons has closed.
constexpr UINT CN_DROPDOWNCLOSED = WM_USER + 0x1000;

class TToolButton : public TGraphicControl {
public:
  explicit TToolButton(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TToolButton"; }
  int ImageIndex = -1;
  TToolButtonStyle Style = tbsButton;
  bool Marked = false;
  bool Indeterminate = false;
  bool Down = false;
  // Dropped under the button when its arrow is pressed (style tbsDropDown).
  TPopupMenu* DropdownMenu = nullptr;
  // The button's index among its tool bar's buttons; -1 outside a tool bar.
  int Index() const;
  TToolBar* ToolBar() const;
  // Writes the state fields above to the tool bar's window button.
  void UpdateButton();
  // The window-less button is drawn by its tool bar.
  void Paint(HDC) override {}
};

using TTBAdvancedCustomDrawEvent =
    std::function<void(TToolBar* Sender, const TRect& ARect, TCustomDrawStage Stage, bool& DefaultDraw)>;
using TTBAdvancedCustomDrawBtnEvent =
    std::function<void(TToolBar* Sender, TToolButton* Button, TCustomDrawState State, TCustomDrawStage Stage,
                       TTBCustomDrawFlags& Flags, bool& DefaultDraw)>;

class TToolBar : public TWinControl {
public:
  explicit TToolBar(TComponent* AOwner);
  ~TToolBar() override;
  std::wstring ClassName() const override { return L"TToolBar"; }
  TCustomImageList* Images = nullptr;
  TCustomImageList* HotImages = nullptr;
  TCustomImageList* DisabledImages = nullptr;
  // Images left of the captions (else above them).
  bool List = false;
  bool ShowCaptions = false;
  bool Flat = false;
  TEdgeBorders EdgeBorders = 0;
  TEdgeStyle EdgeInner = esRaised;
  TEdgeStyle EdgeOuter = esLowered;
  int BorderWidth = 0;
  int ButtonWidth = 23;
  int ButtonHeight = 22;
  // The DC of the custom-draw call running now (no handle otherwise).
  TCanvas Canvas{nullptr};
  TTBAdvancedCustomDrawEvent OnAdvancedCustomDraw;
  TTBAdvancedCustomDrawBtnEvent OnAdvancedCustomDrawButton;

  // The tool buttons among the children, in their order.
  int ButtonCount() const;
  TToolButton* Buttons(int Index) const;
  // Builds the window's buttons again from the tool buttons (after adding or changing them).
  void RebuildButtons();

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;
  void WndProc(TMessage& message) override;

private:
  LRESULT CustomDraw(NMTBCUSTOMDRAW* Draw);
  // Drops the DropdownMenu of the button with that command under the button.
  void DropDownMenu(int Command);
  void PlaceButtons();
  bool FMouseTracked = false;
};
