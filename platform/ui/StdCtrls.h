#pragma once
// Standard controls: the label, a window-less text painted on its parent.
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Menus.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };
// Where a label that does not fit shortens its text with dots.
enum TEllipsisPosition { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };

class TCustomLabel : public TGraphicControl {
public:
  explicit TCustomLabel(TComponent* owner);
  std::wstring ClassName() const override { return L"TCustomLabel"; }

  TAlignment Alignment = taLeftJustify;
  TTextLayout Layout = tlTop;
  bool WordWrap = false;
  // A transparent label leaves its parent's face behind the text.
  bool Transparent = true;
  // "&" marks the next character as the accelerator (drawn underlined) instead of showing.
  bool ShowAccelChar = true;
  TEllipsisPosition EllipsisPosition = epNone;
  // The label takes the size of its text whenever the text or the font changes.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);
  void SetCaption(const std::wstring& value) override;
  void Paint(HDC dc) override;
  // Sizes the label to its text (with AutoSize, not while loading); a right-justified
  // label keeps its right edge.
  virtual void AdjustBounds();

protected:
  // The colour and the font the text is painted in.
  virtual TColor CurrentTextColor();
  virtual TFont& LabelFont() { return Font; }
  // Draws (or with DT_CALCRECT measures into R) the caption on the DC being painted on, or
  // on the screen's when no paint runs.
  virtual void DoDrawText(TRect& R, UINT Flags);
  // The DC of the paint that runs, else nullptr.
  HDC PaintDC() const { return FPaintDC; }
  // The caption as drawn: with DT_CALCRECT an empty text or a lone "&" is measured with a
  // blank added.
  std::wstring LabelText(UINT Flags) const;
  // DrawText flags of the framework's label: expand tabs, alignment, wrap, prefix, reading order.
  UINT LabelFlags() const;
  bool FAutoSize = false;

private:
  HDC FPaintDC = nullptr;
};

class TLabel : public TCustomLabel {
public:
  using TCustomLabel::TCustomLabel;
  std::wstring ClassName() const override { return L"TLabel"; }
};

// ---- the edit over the system's "EDIT" class ----
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"

// How an edit's bevels are drawn around it (none: no bevel room).
enum TBevelKind { bkNone, bkTile, bkSoft, bkFlat };

// A single-line edit: the system's edit control wrapped by the framework.
class TCustomEdit : public TWinControl {
public:
  explicit TCustomEdit(TComponent* owner);
  std::wstring ClassName() const override { return L"TCustomEdit"; }

  // bsNone or bsSingle; a change made after the window exists recreates its frame.
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle value);
  bool Ctl3D = true;
  TBevelKind BevelKind = bkNone;
  TBevelCut BevelInner = bvRaised;
  TBevelCut BevelOuter = bvLowered;
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  // The character shown for every character of the text; 0 shows the text.
  wchar_t PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(wchar_t value);
  // Shown greyed while the text is empty.
  std::wstring TextHint() const { return FTextHint; }
  void SetTextHint(const std::wstring& value);
  // The text: the window's when it exists, else the caption kept for it.
  std::wstring Text() const;
  void SetText(const std::wstring& value);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  TFormBorderStyle FBorderStyle = bsSingle;
  TAlignment FAlignment = taLeftJustify;
  wchar_t FPasswordChar = 0;
  std::wstring FTextHint;
};

class TEdit : public TCustomEdit {
public:
  using TCustomEdit::TCustomEdit;
  std::wstring ClassName() const override { return L"TEdit"; }
};

// ---- the combo box over the system's "COMBOBOX" class (StdCtrls.Combo) ----
// The kind of combo box: an edit with a list (drop-down or always shown), a list only, or a
// list only whose items the owner draws (of one height, or each of its own).
enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
// What an owner-drawn item is: the system's ODS_ bits (TOwnerDrawState of the menus), with
// odComboBoxEdit for the item shown in the combo box's own face.
constexpr TOwnerDrawState odFocused = odFocus, odComboBoxEdit = 0x1000;
class TCustomComboBox;
using TDrawItemEvent = std::function<void(TWinControl* Control, int Index, const TRect& Rect, TOwnerDrawState State)>;

// The items of a combo box: kept while the window does not exist, the window's own list after.
class TComboBoxStrings {
public:
  explicit TComboBoxStrings(TCustomComboBox& Owner) : FOwner(Owner) {}
  int Count() const;
  void Add(const std::wstring& Item);
  void Clear();
  // The item's text; empty outside the list.
  std::wstring operator[](int Index) const;

private:
  friend class TCustomComboBox;
  TCustomComboBox& FOwner;
  std::vector<std::wstring> FKept;
};

class TCustomComboBox : public TWinControl {
public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;
  std::wstring ClassName() const override { return L"TCustomComboBox"; }

  TComboBoxStyle Style() const { return FStyle; }
  // A change made after the window exists makes the window again.
  void SetStyle(TComboBoxStyle value);
  TComboBoxStrings& Items() { return FItems; }
  // The selected item; -1 for none.
  int ItemIndex() const;
  void SetItemIndex(int value);
  // The text of the face: the window's when it exists.
  std::wstring Text() const;
  void SetText(const std::wstring& value);
  // The height of the items of an owner-drawn combo box (the others measure their font).
  int ItemHeight = 16;
  // Draws owner-drawn items on Canvas, which points at the item's DC meanwhile.
  TDrawItemEvent OnDrawItem;
  // The canvas of the item being drawn: it owns no DC and is pointed at one for each item.
  TCanvas& Canvas() { return FCanvas; }
  // The window of the edit part (csDropDown, csSimple); nullptr for the list-only styles.
  HWND EditHandle();
  // Draws one item on Canvas: OnDrawItem, else the item's text on the brush colour.
  virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  friend class TComboBoxStrings;
  void CNDrawItem(TMessage& message);
  void CNCommand(TMessage& message);
  TComboBoxStyle FStyle = csDropDown;
  TComboBoxStrings FItems{*this};
  int FKeptIndex = -1;
  TCanvas FCanvas{nullptr};
};

class TComboBox : public TCustomComboBox {
public:
  using TCustomComboBox::TCustomComboBox;
  std::wstring ClassName() const override { return L"TComboBox"; }
};
// ---- end of the combo box ----

// ---- memos and list boxes ----

// A multi-line edit.
class TMemo : public TCustomEdit {
public:
  explicit TMemo(TComponent* owner);
  std::wstring ClassName() const override { return L"TMemo"; }

protected:
  void CreateParams(TCreateParams& params) override;
};

class TCustomListBox;

// The items of a list box: kept while the window does not exist, the window's own list after.
class TListBoxStrings {
public:
  explicit TListBoxStrings(TCustomListBox& Owner) : FOwner(Owner) {}
  int Count() const;
  void Add(const std::wstring& Item);
  void Clear();
  std::wstring operator[](int Index) const;

private:
  friend class TCustomListBox;
  TCustomListBox& FOwner;
  std::vector<std::wstring> FKept;
};

// The system's "LISTBOX" wrapped by the framework.
class TCustomListBox : public TWinControl {
public:
  explicit TCustomListBox(TComponent* owner);
  std::wstring ClassName() const override { return L"TCustomListBox"; }
  TListBoxStrings& Items() { return FItems; }

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  TListBoxStrings FItems{*this};
};

class TListBox : public TCustomListBox {
public:
  using TCustomListBox::TCustomListBox;
  std::wstring ClassName() const override { return L"TListBox"; }
};
// ---- end of memos and list boxes ----
// ---- buttons, check boxes, radio buttons and group boxes over the system's "BUTTON" class ----
class TCustomImageList;

// Where a button's image sits.
enum TImageAlignment { iaLeft, iaRight, iaTop, iaBottom, iaCenter };
struct TImageMargins {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// A push button. ModalResult is the answer the button stands for (1 OK, 2 Cancel, 6 Yes,
// 7 No...). Images is not owned: the button forgets a list that is destroyed.
class TButton : public TWinControl {
public:
  explicit TButton(TComponent* owner);
  std::wstring ClassName() const override { return L"TButton"; }
  int ModalResult = 0;
  // The default button of its dialog (BS_DEFPUSHBUTTON).
  bool Default() const { return FDefault; }
  void SetDefault(bool value);
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* value);
  int ImageIndex = -1;
  int HotImageIndex = -1;
  int PressedImageIndex = -1;
  int SelectedImageIndex = -1;
  int DisabledImageIndex = -1;
  TImageAlignment ImageAlignment = iaLeft;
  TImageMargins ImageMargins;

protected:
  void CreateParams(TCreateParams& params) override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  bool FDefault = false;
  TCustomImageList* FImages = nullptr;
};

// A check box; with AllowGrayed it has a third, indeterminate state.
enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
class TCheckBox : public TWinControl {
public:
  explicit TCheckBox(TComponent* owner);
  std::wstring ClassName() const override { return L"TCheckBox"; }
  bool AllowGrayed = false;
  TCheckBoxState State() const;
  void SetState(TCheckBoxState value);
  bool Checked() const { return State() == cbChecked; }
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  TCheckBoxState FState = cbUnchecked;  // kept while there is no window
};

class TRadioButton : public TWinControl {
public:
  explicit TRadioButton(TComponent* owner);
  std::wstring ClassName() const override { return L"TRadioButton"; }
  bool Checked() const;
  void SetChecked(bool value);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  bool FChecked = false;
};

// A group box: a frame with a caption that holds other controls.
class TGroupBox : public TWinControl {
public:
  explicit TGroupBox(TComponent* owner);
  std::wstring ClassName() const override { return L"TGroupBox"; }

protected:
  void CreateParams(TCreateParams& params) override;
};
// ---- end of the "BUTTON" class controls ----
// ---- the static text over the system's "STATIC" class ----
// A text in a window of its own. Alignment ("Alignment" by name: left, right, centre as 0,
// 1, 2) places it; BevelKind other than none gives it a frame of BevelOuter and BevelInner
// bevels around its client area (BevelWidth pixels each), drawn in its non-client area.
class TCustomStaticText : public TWinControl {
public:
  explicit TCustomStaticText(TComponent* owner);
  std::wstring ClassName() const override { return L"TCustomStaticText"; }
  TARVEL_PUBLISHED_CLASS(TCustomStaticText)

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  TBevelKind BevelKind() const { return FBevelKind; }
  void SetBevelKind(TBevelKind value);
  TBevelCut BevelInner = bvRaised;
  TBevelCut BevelOuter = bvLowered;
  int BevelWidth = 1;
  // The frame's width on each side: BevelWidth for each bevel that is not none, with a bevel kind.
  int BevelFrameWidth() const;

protected:
  void CreateParams(TCreateParams& params) override;

private:
  void NCPaint();
  TAlignment FAlignment = taLeftJustify;
  TBevelKind FBevelKind = bkNone;
};

class TStaticText : public TCustomStaticText {
public:
  using TCustomStaticText::TCustomStaticText;
  std::wstring ClassName() const override { return L"TStaticText"; }
};
// ---- end of the static text ----
