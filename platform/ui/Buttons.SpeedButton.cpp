#include "platform/ui/Buttons.SpeedButton.h"

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(Left(), Top(), 23, 22);
  SetMessageHandler(CM_MOUSEENTER, [this](TMessage& m) {
    FMouseInControl = true;
    if (FFlat) Invalidate();
    m.Result = 0;
  });
  SetMessageHandler(WM_LBUTTONDOWN, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
    if (!FDown) FState = bsDown;
    Invalidate();
    inherited(m);
  }));
  SetMessageHandler(WM_LBUTTONUP, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
    if (!FDown) FState = bsUp;
    Invalidate();
    inherited(m);
  }));
  SetMessageHandler(CM_MOUSELEAVE, [this](TMessage& m) {
    FMouseInControl = false;
    if (FFlat) Invalidate();
    m.Result = 0;
  });
}

void TSpeedButton::SetNumGlyphs(int value) {
  FNumGlyphs = value < 1 ? 1 : value;
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout value) {
  FLayout = value;
  Invalidate();
}

void TSpeedButton::SetMargin(int value) {
  FMargin = value;
  Invalidate();
}

void TSpeedButton::SetSpacing(int value) {
  FSpacing = value;
  Invalidate();
}

void TSpeedButton::SetFlat(bool value) {
  if (FFlat == value) return;
  FFlat = value;
  Invalidate();
}

void TSpeedButton::SetDown(bool value) {
  if (FDown == value) return;
  FDown = value;
  FState = value ? bsExclusive : bsUp;
  Invalidate();
}

void TSpeedButton::Paint(HDC dc) {
  RECT r{0, 0, Width(), Height()};
  const bool pressed = FDown || FState == bsDown;
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (!FFlat || FMouseInControl || pressed) {
    UINT state = DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0) | (Enabled() ? 0 : DFCS_INACTIVE);
    if (FFlat) state |= DFCS_FLAT;
    DrawFrameControl(dc, &r, DFC_BUTTON, state);
  }
  const std::wstring text = Caption();
  if (text.empty()) return;
  HGDIOBJ oldFont = SelectObject(dc, Font.Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  if (pressed) OffsetRect(&r, 1, 1);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, oldFont);
}
