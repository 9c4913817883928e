#pragma once
// ---- combo boxes (acSBUtils.Combo) ----
// Included by acSBUtils.h after the edit handlers.
#include <map>
#include <utility>

class TCustomComboBox;
class TCustomListBox;

// The record of a section query (sub-command 26). Answerers write the index as the second
// 32-bit field, so the index comes second.
struct TacSectionInfo {
  std::int32_t siReserved = 0;
  std::int32_t siSkinIndex = -1;
  bool siRepaintNeeded = false;
  const wchar_t* siName = nullptr;
};

// Combo boxes: the control paints its own content; a 3-pixel skinned frame, the skinned
// drop-down button and, for owner-drawn framework combo boxes, the items are drawn over it.
// The drop-down list gets its handler the first time it asks for its colours.
class TacComboBoxWnd : public TacEditWnd {
public:
  using TacEditWnd::TacEditWnd;
  ~TacComboBoxWnd() override;
  HWND FListHandle = nullptr;
  bool LBoxOpening = false;
  TacComboListWnd* ListSW = nullptr;   // owned
  TsCommonData* LBSkinData = nullptr;  // owned

  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  // The drop-down button in window coordinates.
  virtual TRect ButtonRect();

  int ButtonHeight();
  void CNDrawItem(TMessage& Message);
  void DrawItem(int Index, const TRect& Rect, HDC DC, unsigned State);
  bool EasyComboBox();
  void Invalidate();
  void PaintButton(HDC DC);
  void PaintText();
  void PrepareSimple();
  void RepaintButton();

protected:
  TacComboBoxWnd() = default;
  void ComboHandling(TMessage& Message) { TacComboBoxWnd::acWndProc(Message); }

private:
  // The combo box's low two style bits: CBS_SIMPLE, CBS_DROPDOWN or CBS_DROPDOWNLIST.
  LONG ComboStyle();
  TCustomComboBox* OwnerCombo();
  void CtlColorListBox(TMessage& Message);
  void PrintCombo(TMessage& Message);
  void PaintCombo(TMessage& Message);
  void DrawItemMessage(TMessage& Message);
  void DeselectEditText();
  void FreeListHandler(bool GiveBorder);
  void FreeOwnGdi();
  // One brush for the list's colour (WM_CTLCOLORLISTBOX), made again only when it changes.
  HBRUSH FListBrush = nullptr;
  TColor FListBrushColor = clNone;
  // The fonts of the substituted face, one per base font, kept while the skin lasts.
  std::map<std::pair<HFONT, std::wstring>, HFONT> FFaceFonts;
};

// Combo-like edits of another component set: the system scroll-bar width for the button and
// an edit handler for a framework list box the control makes as a child.
class TacWWComboBoxWnd : public TacComboBoxWnd {
public:
  using TacComboBoxWnd::TacComboBoxWnd;
  ~TacWWComboBoxWnd() override;
  bool FShowButton = false;
  TCustomListBox* ListBox = nullptr;
  TacMainWnd* ListBoxSW = nullptr;          // owned
  TsScrollWndData* ListBoxSkinData = nullptr;  // owned

  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  TRect ButtonRect() override;
};

// Registers the combo kinds with the handler factory (the unit's start-up runs it).
void RegisterComboHandlerKinds();
// ---- end of combo boxes ----
