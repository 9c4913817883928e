#include "platform/ui/HintWindow.h"

namespace {

// Text margins inside the one-pixel border.
constexpr int TextMarginX = 2, TextMarginY = 1;
constexpr UINT HintTextFlags = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;

}  // namespace

THintWindow::THintWindow(TComponent* owner) : TWinControl(owner) {
  FVisible = false;
  FColor = clInfoBk;
  Font.Color = clInfoText;
}

void THintWindow::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style = WS_POPUP | WS_BORDER;
  params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  params.ClassStyle |= CS_SAVEBITS;
  params.WndParent = ParentWindow;
  params.X = FLeft;
  params.Y = FTop;
  params.Width = FWidth;
  params.Height = FHeight;
}

TRect THintWindow::CalcHintRect(int MaxWidth, const std::wstring& Text) {
  RECT r{0, 0, MaxWidth, 0};
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font.Handle());
  DrawTextW(dc, Text.c_str(), static_cast<int>(Text.size()), &r, HintTextFlags | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  // The border on each side and the text margins.
  return Rect(0, 0, r.right + 2 * (TextMarginX + 1) + 2, r.bottom + 2 * (TextMarginY + 1));
}

void THintWindow::ActivateHint(const TRect& R, const std::wstring& Text) {
  SetCaption(Text);
  SetBounds(R.Left, R.Top, R.Width(), R.Height());
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetVisible(true);
  Invalidate();
}

void THintWindow::VisibleChanging() {
  if (FHandle) ShowWindow(FHandle, FVisible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void THintWindow::PaintWindow(HDC dc) {
  RECT r{};
  GetClientRect(FHandle, &r);
  InflateRect(&r, -TextMarginX, -TextMarginY);
  HGDIOBJ old = SelectObject(dc, Font.Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(Font.Color)));
  const std::wstring text = Caption();
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, HintTextFlags);
  SelectObject(dc, old);
}
