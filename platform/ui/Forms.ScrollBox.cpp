#include "platform/ui/Forms.h"

#include <algorithm>

// ---- TControlScrollBar ----------------------------------------------------------------

int TControlScrollBar::VisibleLength() const {
  if (!FOwner->HandleAllocated()) return FBar == SB_HORZ ? FOwner->Width() : FOwner->Height();
  RECT r{};
  GetClientRect(FOwner->Handle(), &r);
  return FBar == SB_HORZ ? r.right : r.bottom;
}

void TControlScrollBar::SetRange(int Value) {
  Value = std::max(0, Value);
  if (FRange == Value) return;
  FRange = Value;
  Update();
  SetPosition(FPosition);
}

void TControlScrollBar::SetPosition(int Value) {
  Value = std::clamp(Value, 0, std::max(0, FRange - VisibleLength()));
  if (Value == FPosition) return;
  const int delta = FPosition - Value;
  FPosition = Value;
  if (FBar == SB_HORZ)
    FOwner->ScrollBy(delta, 0);
  else
    FOwner->ScrollBy(0, delta);
  if (FOwner->HandleAllocated()) SetScrollPos(FOwner->Handle(), FBar, FPosition, TRUE);
}

void TControlScrollBar::Update() {
  if (!FOwner->HandleAllocated()) return;
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  // A range the client holds whole needs no bar.
  const int visible = VisibleLength();
  si.nMax = FRange > visible ? FRange - 1 : 0;
  si.nPage = FRange > visible ? static_cast<UINT>(visible) : 0;
  si.nPos = FPosition;
  SetScrollInfo(FOwner->Handle(), FBar, &si, TRUE);
}

// ---- TScrollBox -----------------------------------------------------------------------

TScrollBox::TScrollBox(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(ControlStyle() | csAcceptsControls);
  SetBounds(0, 0, 185, 41);
  SetMessageHandler(WM_HSCROLL, [this](TMessage& m) { ScrollMessage(HorzScrollBar, m); });
  SetMessageHandler(WM_VSCROLL, [this](TMessage& m) { ScrollMessage(VertScrollBar, m); });
  SetMessageHandler(WM_SIZE, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                      inherited(m);
                      HorzScrollBar.Update();
                      VertScrollBar.Update();
                      HorzScrollBar.SetPosition(HorzScrollBar.Position());
                      VertScrollBar.SetPosition(VertScrollBar.Position());
                    }));
}

void TScrollBox::SetBorderStyle(TFormBorderStyle value) {
  if (FBorderStyle == value) return;
  FBorderStyle = value;
  if (HandleAllocated()) RecreateWnd();
}

void TScrollBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  if (FBorderStyle == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TScrollBox::CreateHandle() {
  TWinControl::CreateHandle();
  HorzScrollBar.Update();
  VertScrollBar.Update();
}

void TScrollBox::ScrollBy(int DeltaX, int DeltaY) {
  if (DeltaX == 0 && DeltaY == 0) return;
  DisableAlign();
  for (TControl* child : ControlsSnapshot())
    child->SetBounds(child->Left() + DeltaX, child->Top() + DeltaY, child->Width(), child->Height());
  EnableAlign();
  if (HandleAllocated()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TScrollBox::ScrollMessage(TControlScrollBar& Bar, TMessage& Message) {
  const int page = std::max(1, Bar.VisibleLength());
  int pos = Bar.Position();
  switch (LOWORD(Message.WParam)) {
    case SB_LINEUP: pos -= Bar.Increment; break;
    case SB_LINEDOWN: pos += Bar.Increment; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = Bar.Range(); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      // The 32-bit position: the message's word would cut a long range.
      SCROLLINFO si{};
      si.cbSize = sizeof(si);
      si.fMask = SIF_TRACKPOS;
      if (HandleAllocated() && GetScrollInfo(Handle(), Bar.FBar, &si)) pos = si.nTrackPos;
      break;
    }
    default: return;
  }
  Bar.SetPosition(pos);
  Message.Result = 0;
}
