#include "platform/ui/Frames.h"

#include <algorithm>
#include <tuple>

#include "platform/ui/Menus.h"

TScrollingWinControl::TScrollingWinControl(TComponent* owner) : TWinControl(owner) {
  SetMessageHandler(WM_HSCROLL, [this](TMessage& m) { Scroll(SB_HORZ, LOWORD(m.WParam)); m.Result = 0; });
  SetMessageHandler(WM_VSCROLL, [this](TMessage& m) { Scroll(SB_VERT, LOWORD(m.WParam)); m.Result = 0; });
}

void TScrollingWinControl::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style |= WS_CLIPCHILDREN;
}

void TScrollingWinControl::UpdateScrollBars() {
  if (!HandleAllocated()) return;
  RECT client;
  GetClientRect(Handle(), &client);
  for (auto [bar, data, page] : {std::tuple{SB_HORZ, &HorzScrollBar, int(client.right)},
                                 std::tuple{SB_VERT, &VertScrollBar, int(client.bottom)}}) {
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS};
    si.nMin = 0;
    si.nMax = std::max(data->Range - 1, 0);
    si.nPage = data->Range > page ? static_cast<UINT>(page) : 0;
    data->Position = std::clamp(data->Position, 0, std::max(data->Range - page, 0));
    si.nPos = data->Position;
    SetScrollInfo(Handle(), bar, &si, TRUE);
    ShowScrollBar(Handle(), bar, data->Range > page);
  }
}

// The content moves against the bar; the children move with it.
void TScrollingWinControl::Scroll(int bar, WORD code) {
  TFrameScrollBar& data = bar == SB_HORZ ? HorzScrollBar : VertScrollBar;
  SCROLLINFO si{sizeof si, SIF_ALL};
  if (!HandleAllocated() || !GetScrollInfo(Handle(), bar, &si)) return;
  int pos = si.nPos;
  const int page = std::max<int>(si.nPage, 1);
  switch (code) {
    case SB_LINEUP: pos -= 8; break;
    case SB_LINEDOWN: pos += 8; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
  }
  pos = std::clamp(pos, 0, std::max(si.nMax - page + 1, 0));
  const int delta = pos - data.Position;
  if (delta == 0) return;
  data.Position = pos;
  SetScrollPos(Handle(), bar, pos, TRUE);
  for (TControl* c : std::vector<TControl*>(Controls()))
    c->SetBounds(c->Left() - (bar == SB_HORZ ? delta : 0), c->Top() - (bar == SB_VERT ? delta : 0), c->Width(),
                 c->Height());
  InvalidateRect(Handle(), nullptr, TRUE);
}

TCustomFrame::TCustomFrame(TComponent* owner) : TScrollingWinControl(owner) {
  SetMessageHandler(WM_SIZE, [this](TMessage& m, const TInheritedHandler& inherited) {
    inherited(m);
    UpdateScrollBars();
    if (OnResize) OnResize();
  });
}

TCustomFrame::~TCustomFrame() {
  // Owned components go while the frame is still a frame: an adapter restores its window
  // procedure on a whole control, and popup menus leave before the frame's window.
  DestroyComponents();
}

std::vector<TPopupMenu*> TCustomFrame::PopupMenus() const {
  std::vector<TPopupMenu*> menus;
  for (TComponent* c : Components())
    if (auto* menu = dynamic_cast<TPopupMenu*>(c)) menus.push_back(menu);
  return menus;
}
