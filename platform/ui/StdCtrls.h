#pragma once
// Standard controls: the label, a window-less text painted on its parent.
#include "platform/ui/Controls.h"

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

// The combo box type the handlers tell apart; it wraps the system's "COMBOBOX" class.
class TCustomComboBox : public TWinControl {
public:
  explicit TCustomComboBox(TComponent* owner);
  std::wstring ClassName() const override { return L"TCustomComboBox"; }

protected:
  void CreateParams(TCreateParams& params) override;
};

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
