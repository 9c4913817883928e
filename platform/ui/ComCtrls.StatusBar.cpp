#include "platform/ui/ComCtrls.StatusBar.h"

#include <commctrl.h>

// ---- TStatusPanel -------------------------------------------------------------------------

void TStatusPanel::SetText(const std::wstring& Value) {
  FText = Value;
  FOwner->UpdatePanels();
}
void TStatusPanel::SetWidth(int Value) {
  FWidth = Value;
  FOwner->UpdatePanels();
}
void TStatusPanel::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  FOwner->UpdatePanels();
}
void TStatusPanel::SetStyle(TStatusPanelStyle Value) {
  FStyle = Value;
  FOwner->UpdatePanels();
}
int TStatusPanel::Index() const {
  for (int i = 0; i < FOwner->Panels.Count(); ++i)
    if (FOwner->Panels.Items(i) == this) return i;
  return -1;
}

// ---- TStatusPanels ------------------------------------------------------------------------

TStatusPanel* TStatusPanels::Items(int Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return FItems[static_cast<std::size_t>(Index)].get();
}
TStatusPanel* TStatusPanels::Add() {
  FItems.push_back(std::make_unique<TStatusPanel>(FOwner));
  FOwner->UpdatePanels();
  return FItems.back().get();
}
void TStatusPanels::Clear() {
  FItems.clear();
  FOwner->UpdatePanels();
}

// ---- TStatusBar ---------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 200, 19);
  SetAlign(alBottom);
}

void TStatusBar::CreateParams(TCreateParams& params) {
  static const bool ready = [] {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)ready;
  TWinControl::CreateParams(params);
  params.SystemClass = STATUSCLASSNAMEW;
  params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
  if (FSizeGrip) params.Style |= SBARS_SIZEGRIP;
}

void TStatusBar::CreateHandle() {
  TWinControl::CreateHandle();
  UpdatePanels();
}

void TStatusBar::SetSimplePanel(bool Value) {
  FSimplePanel = Value;
  UpdatePanels();
}
void TStatusBar::SetSimpleText(const std::wstring& Value) {
  FSimpleText = Value;
  UpdatePanels();
}
void TStatusBar::SetSizeGrip(bool Value) {
  if (FSizeGrip == Value) return;
  FSizeGrip = Value;
  RecreateWnd();
}

void TStatusBar::UpdatePanels() {
  if (!HandleAllocated()) return;
  const HWND wnd = Handle();
  SendMessageW(wnd, SB_SIMPLE, FSimplePanel ? TRUE : FALSE, 0);
  if (FSimplePanel) {
    SendMessageW(wnd, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
    InvalidateRect(wnd, nullptr, TRUE);
    return;
  }
  const int count = Panels.Count();
  std::vector<int> edges(static_cast<std::size_t>(count > 0 ? count : 1), -1);
  int right = 0;
  for (int i = 0; i < count; ++i) {
    right += Panels.Items(i)->Width();
    edges[static_cast<std::size_t>(i)] = i == count - 1 ? -1 : right;
  }
  SendMessageW(wnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  if (count == 0) SendMessageW(wnd, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(FSimpleText.c_str()));
  for (int i = 0; i < count; ++i) {
    TStatusPanel* p = Panels.Items(i);
    // The window centres the text after one tab and puts it right after two.
    std::wstring text = p->Alignment() == taCenter ? L"\t" + p->Text()
                        : p->Alignment() == taRightJustify ? L"\t\t" + p->Text()
                                                            : p->Text();
    WPARAM part = static_cast<WPARAM>(i) | (p->Style() == psOwnerDraw ? SBT_OWNERDRAW : 0);
    SendMessageW(wnd, SB_SETTEXTW, part,
                 p->Style() == psOwnerDraw ? reinterpret_cast<LPARAM>(p) : reinterpret_cast<LPARAM>(text.c_str()));
  }
  InvalidateRect(wnd, nullptr, TRUE);
}
