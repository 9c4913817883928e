#include "platform/ui/StdCtrls.h"

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
