#include "platform/ui/StdCtrls.h"

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 65, 17); }

TColor TCustomLabel::CurrentTextColor() { return Enabled() ? Font.Color : clGrayText; }

void TCustomLabel::Paint(HDC dc) {
  RECT r = {0, 0, Width(), Height()};
  if (!Transparent) {
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(FColor)));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
  if (FCaption.empty()) return;
  HGDIOBJ oldFont = SelectObject(dc, Font.Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(CurrentTextColor())));
  UINT flags = DT_NOPREFIX | (WordWrap ? DT_WORDBREAK : DT_SINGLELINE);
  flags |= Alignment == taCenter ? DT_CENTER : Alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  if (Layout != tlTop) {
    // DrawText centres vertically only single lines: measure and place the block ourselves.
    RECT calc = r;
    DrawTextW(dc, FCaption.c_str(), static_cast<int>(FCaption.size()), &calc, flags | DT_CALCRECT);
    int h = calc.bottom - calc.top;
    r.top = Layout == tlCenter ? (Height() - h) / 2 : Height() - h;
    r.bottom = r.top + h;
  }
  DrawTextW(dc, FCaption.c_str(), static_cast<int>(FCaption.size()), &r, flags);
  SelectObject(dc, oldFont);
}
