#include "platform/ui/Buttons.SpeedButton.h"

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(Left(), Top(), 23, 22);
  SetMessageHandler(CM_MOUSEENTER, [this](TMessage& m) {
    FMouseInControl = true;
    if (FFlat) Invalidate();
    m.Result = 0;
  });
  SetMessageHandler(CM_MOUSELEAVE, [this](TMessage& m) {
    FMouseInControl = false;
    if (FFlat) Invalidate();
    m.Result = 0;
  });
}

void TSpeedButton::SetFlat(bool value) {
  if (FFlat == value) return;
  FFlat = value;
  Invalidate();
}

void TSpeedButton::SetDown(bool value) {
  if (FDown == value) return;
  FDown = value;
  Invalidate();
}

void TSpeedButton::Paint(HDC dc) {
  RECT r{0, 0, Width(), Height()};
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (!FFlat || FMouseInControl || FDown) {
    UINT state = DFCS_BUTTONPUSH | (FDown ? DFCS_PUSHED : 0) | (Enabled() ? 0 : DFCS_INACTIVE);
    if (FFlat) state |= DFCS_FLAT;
    DrawFrameControl(dc, &r, DFC_BUTTON, state);
  }
  const std::wstring text = Caption();
  if (text.empty()) return;
  HGDIOBJ oldFont = SelectObject(dc, Font.Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  if (FDown) OffsetRect(&r, 1, 1);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, oldFont);
}
