#include "platform/ui/StdCtrls.h"

#include <commctrl.h>

#include <algorithm>
#include "platform/ui/ImgList.h"

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetMessageHandler(CM_FONTCHANGED, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                      inherited(m);
                      AdjustBounds();
                      Invalidate();
                    }));
}

TColor TCustomLabel::CurrentTextColor() { return Enabled() ? Font.Color : clGrayText; }

void TCustomLabel::SetAutoSize(bool value) {
  if (FAutoSize == value) return;
  FAutoSize = value;
  AdjustBounds();
}

void TCustomLabel::SetCaption(const std::wstring& value) {
  const bool changed = value != FCaption;
  TGraphicControl::SetCaption(value);
  if (changed) AdjustBounds();
}

std::wstring TCustomLabel::LabelText(UINT Flags) const {
  std::wstring text = FCaption;
  if ((Flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar && text == L"&"))) text += L" ";
  return text;
}

UINT TCustomLabel::LabelFlags() const {
  UINT flags = DT_EXPANDTABS | (WordWrap ? DT_WORDBREAK : DT_SINGLELINE);
  flags |= Alignment == taCenter ? DT_CENTER : Alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  return flags;
}

void TCustomLabel::DoDrawText(TRect& R, UINT Flags) {
  const std::wstring text = LabelText(Flags);
  if (!ShowAccelChar) Flags |= DT_NOPREFIX;
  Flags = DrawTextBiDiModeFlags(Flags);
  if (EllipsisPosition != epNone && !FAutoSize && !(Flags & DT_CALCRECT))
    Flags |= EllipsisPosition == epPathEllipsis ? DT_PATH_ELLIPSIS
             : EllipsisPosition == epEndEllipsis ? DT_END_ELLIPSIS
                                                 : DT_WORD_ELLIPSIS;
  HDC dc = FPaintDC;
  HDC screen = nullptr;
  if (!dc) dc = screen = GetDC(nullptr);
  HGDIOBJ oldFont = SelectObject(dc, LabelFont().Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(CurrentTextColor())));
  RECT r = {R.Left, R.Top, R.Right, R.Bottom};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, Flags);
  if (Flags & DT_CALCRECT) R = Rect(r.left, r.top, r.right, r.bottom);
  SelectObject(dc, oldFont);
  if (screen) ReleaseDC(nullptr, screen);
}

void TCustomLabel::AdjustBounds() {
  if (!FAutoSize || (ComponentState() & (csLoading | csReading))) return;
  TRect r = Rect(0, 0, WordWrap ? Width() : 0, 0);
  DoDrawText(r, LabelFlags() | DT_CALCRECT);
  int left = Left();
  const bool rightEdge = (Alignment == taRightJustify) != UseRightToLeftAlignment();
  if (rightEdge) left += Width() - r.Width();
  SetBounds(left, Top(), r.Width(), r.Height());
}

void TCustomLabel::Paint(HDC dc) {
  const TRect whole = Rect(0, 0, Width(), Height());
  if (!Transparent) {
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(FColor)));
    RECT r = {0, 0, Width(), Height()};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
  if (FCaption.empty()) return;
  HDC saved = FPaintDC;
  FPaintDC = dc;
  TRect r = whole;
  const UINT flags = LabelFlags();
  if (Layout != tlTop) {
    // DrawText centres vertically only single lines: measure and place the block ourselves.
    TRect calc = r;
    DoDrawText(calc, flags | DT_CALCRECT);
    const int h = calc.Height();
    r.Top = Layout == tlCenter ? (Height() - h) / 2 : Height() - h;
    r.Bottom = r.Top + h;
  }
  DoDrawText(r, flags);
  FPaintDC = saved;
}

// ---- TCustomEdit ----

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
}

void TCustomEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"EDIT";
  params.Style |= ES_AUTOHSCROLL;
  params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  static const DWORD aligns[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
  params.Style |= aligns[FAlignment];
  if (FPasswordChar) params.Style |= ES_PASSWORD;
  if (FBorderStyle == bsSingle) {
    if (Ctl3D)
      params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      params.Style |= WS_BORDER;
  }
}

void TCustomEdit::CreateHandle() {
  TWinControl::CreateHandle();
  if (FPasswordChar) SendMessageW(Handle(), EM_SETPASSWORDCHAR, FPasswordChar, 0);
  if (!FTextHint.empty()) SendMessageW(Handle(), EM_SETCUEBANNER, 0, reinterpret_cast<LPARAM>(FTextHint.c_str()));
}

void TCustomEdit::SetBorderStyle(TFormBorderStyle value) {
  if (FBorderStyle == value) return;
  FBorderStyle = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomEdit::SetAlignment(TAlignment value) {
  if (FAlignment == value) return;
  FAlignment = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomEdit::SetPasswordChar(wchar_t value) {
  if (FPasswordChar == value) return;
  FPasswordChar = value;
  if (HandleAllocated()) {
    SendMessageW(Handle(), EM_SETPASSWORDCHAR, value, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
}

void TCustomEdit::SetTextHint(const std::wstring& value) {
  FTextHint = value;
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETCUEBANNER, 0, reinterpret_cast<LPARAM>(FTextHint.c_str()));
}

std::wstring TCustomEdit::Text() const {
  if (!HandleAllocated()) return Caption();
  HWND wnd = const_cast<TCustomEdit*>(this)->Handle();
  const int n = GetWindowTextLengthW(wnd);
  std::wstring text(static_cast<std::size_t>(std::max(0, n)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max(0, GetWindowTextW(wnd, text.data(), n + 1))));
  return text;
}

void TCustomEdit::SetText(const std::wstring& value) { SetCaption(value); }

// ---- memos and list boxes ----

TMemo::TMemo(TComponent* owner) : TCustomEdit(owner) { SetBounds(0, 0, 185, 89); }

void TMemo::CreateParams(TCreateParams& params) {
  TCustomEdit::CreateParams(params);
  params.Style &= ~static_cast<DWORD>(ES_AUTOHSCROLL);
  params.Style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
}

int TListBoxStrings::Count() const {
  if (!FOwner.HandleAllocated()) return static_cast<int>(FKept.size());
  const LRESULT n = SendMessageW(FOwner.Handle(), LB_GETCOUNT, 0, 0);
  return n < 0 ? 0 : static_cast<int>(n);
}

void TListBoxStrings::Add(const std::wstring& Item) {
  if (FOwner.HandleAllocated())
    SendMessageW(FOwner.Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Item.c_str()));
  else
    FKept.push_back(Item);
}

void TListBoxStrings::Clear() {
  FKept.clear();
  if (FOwner.HandleAllocated()) SendMessageW(FOwner.Handle(), LB_RESETCONTENT, 0, 0);
}

std::wstring TListBoxStrings::operator[](int Index) const {
  if (!FOwner.HandleAllocated())
    return Index >= 0 && Index < static_cast<int>(FKept.size()) ? FKept[static_cast<std::size_t>(Index)]
                                                                 : std::wstring();
  const HWND wnd = FOwner.Handle();
  const LRESULT n = SendMessageW(wnd, LB_GETTEXTLEN, static_cast<WPARAM>(Index), 0);
  if (n == LB_ERR || n < 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const LRESULT got = SendMessageW(wnd, LB_GETTEXT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got == LB_ERR || got < 0 ? 0 : static_cast<std::size_t>(got));
  return text;
}

TCustomListBox::TCustomListBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
}

void TCustomListBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"LISTBOX";
  params.Style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
  params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListBox::CreateHandle() {
  TWinControl::CreateHandle();
  // The items kept before the window existed move into it.
  std::vector<std::wstring> kept;
  kept.swap(FItems.FKept);
  for (const auto& item : kept) FItems.Add(item);
}
// ---- end of memos and list boxes ----
// ---- buttons, check boxes, radio buttons and group boxes ----

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
}

void TButton::SetDefault(bool value) {
  if (FDefault == value) return;
  FDefault = value;
  if (HandleAllocated())
    SendMessageW(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::SetImages(TCustomImageList* value) {
  if (FImages == value) return;
  if (FImages) RemoveFreeNotification(static_cast<TComponent*>(FImages));
  FImages = value;
  if (FImages) FreeNotification(static_cast<TComponent*>(FImages));
}

void TButton::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component == static_cast<TComponent*>(FImages)) FImages = nullptr;
  TWinControl::Notification(component, operation);
}

void TButton::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"BUTTON";
  params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 97, 17);
  SetTabStop(true);
}

void TCheckBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"BUTTON";
  params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  params.Style |= AllowGrayed ? BS_AUTO3STATE : BS_AUTOCHECKBOX;
}

void TCheckBox::CreateHandle() {
  TWinControl::CreateHandle();
  SendMessageW(Handle(), BM_SETCHECK, static_cast<WPARAM>(FState), 0);
}

TCheckBoxState TCheckBox::State() const {
  if (!HandleAllocated()) return FState;
  const LRESULT check = SendMessageW(const_cast<TCheckBox*>(this)->Handle(), BM_GETCHECK, 0, 0);
  return check == BST_INDETERMINATE ? cbGrayed : check == BST_CHECKED ? cbChecked : cbUnchecked;
}

void TCheckBox::SetState(TCheckBoxState value) {
  FState = value;
  if (HandleAllocated()) SendMessageW(Handle(), BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 113, 17);
  SetTabStop(true);
}

void TRadioButton::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"BUTTON";
  params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  params.Style |= BS_AUTORADIOBUTTON;
}

void TRadioButton::CreateHandle() {
  TWinControl::CreateHandle();
  SendMessageW(Handle(), BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TRadioButton::Checked() const {
  if (!HandleAllocated()) return FChecked;
  return SendMessageW(const_cast<TRadioButton*>(this)->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TRadioButton::SetChecked(bool value) {
  FChecked = value;
  if (HandleAllocated()) SendMessageW(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 185, 105);
  SetControlStyle(ControlStyle() | csAcceptsControls);
}

void TGroupBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"BUTTON";
  params.Style |= BS_GROUPBOX;
}
// ---- end of the "BUTTON" class controls ----
