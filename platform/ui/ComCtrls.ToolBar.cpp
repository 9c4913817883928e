#include "platform/ui/ComCtrls.ToolBar.h"

#include <vector>

#include "platform/ui/ImgList.h"
#include "platform/ui/Menus.h"

// ---- TToolButton ------------------------------------------------------------------------

TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 23, 22); }

TToolBar* TToolButton::ToolBar() const { return dynamic_cast<TToolBar*>(Parent()); }

int TToolButton::Index() const {
  TToolBar* bar = ToolBar();
  if (!bar) return -1;
  for (int i = 0; i < bar->ButtonCount(); ++i)
    if (bar->Buttons(i) == this) return i;
  return -1;
}

void TToolButton::UpdateButton() {
  TToolBar* bar = ToolBar();
  const int index = Index();
  if (!bar || index < 0 || !bar->HandleAllocated()) return;
  BYTE state = 0;
  if (Enabled()) state |= TBSTATE_ENABLED;
  if (Down) state |= Style == tbsCheck ? TBSTATE_CHECKED : TBSTATE_PRESSED;
  if (Marked) state |= TBSTATE_MARKED;
  if (Indeterminate) state |= TBSTATE_INDETERMINATE;
  if (!Visible()) state |= TBSTATE_HIDDEN;
  SendMessageW(bar->Handle(), TB_SETSTATE, static_cast<WPARAM>(index), MAKELPARAM(state, 0));
}

// ---- TToolBar ---------------------------------------------------------------------------

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 150, 29); }

TToolBar::~TToolBar() = default;

int TToolBar::ButtonCount() const {
  int n = 0;
  for (TControl* control : Controls()) n += dynamic_cast<TToolButton*>(control) != nullptr;
  return n;
}

TToolButton* TToolBar::Buttons(int Index) const {
  for (TControl* control : Controls())
    if (auto* button = dynamic_cast<TToolButton*>(control); button && Index-- == 0) return button;
  return nullptr;
}

void TToolBar::CreateParams(TCreateParams& params) {
  static const bool ready = [] {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)ready;
  TWinControl::CreateParams(params);
  params.SystemClass = TOOLBARCLASSNAMEW;
  params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
  if (Flat) params.Style |= TBSTYLE_FLAT;
  if (List) params.Style |= TBSTYLE_LIST;
}

void TToolBar::CreateHandle() {
  TWinControl::CreateHandle();
  if (!HandleAllocated()) return;
  SendMessageW(Handle(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  RebuildButtons();
}

void TToolBar::RebuildButtons() {
  if (!HandleAllocated()) return;
  const HWND wnd = Handle();
  while (SendMessageW(wnd, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageW(wnd, TB_DELETEBUTTON, 0, 0);
  HIMAGELIST list = Images ? Images->Handle() : nullptr;
  SendMessageW(wnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
  if (Images) SendMessageW(wnd, TB_SETBITMAPSIZE, 0, MAKELPARAM(Images->Width(), Images->Height()));
  const int count = ButtonCount();
  std::vector<std::wstring> texts(static_cast<std::size_t>(count));
  std::vector<TBBUTTON> buttons(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    TToolButton* b = Buttons(i);
    TBBUTTON& tb = buttons[static_cast<std::size_t>(i)];
    tb = TBBUTTON{};
    tb.idCommand = i;
    tb.dwData = reinterpret_cast<DWORD_PTR>(b);
    tb.iBitmap = b->Style == tbsSeparator || b->Style == tbsDivider ? b->Width() : b->ImageIndex;
    tb.fsStyle = b->Style == tbsSeparator || b->Style == tbsDivider ? BTNS_SEP
                 : b->Style == tbsCheck                             ? BTNS_CHECK
                 : b->Style == tbsDropDown                          ? BTNS_DROPDOWN
                                                                    : BTNS_BUTTON;
    tb.fsState = b->Enabled() ? TBSTATE_ENABLED : 0;
    if (b->Down) tb.fsState |= b->Style == tbsCheck ? TBSTATE_CHECKED : TBSTATE_PRESSED;
    if (b->Marked) tb.fsState |= TBSTATE_MARKED;
    if (b->Indeterminate) tb.fsState |= TBSTATE_INDETERMINATE;
    texts[static_cast<std::size_t>(i)] = ShowCaptions ? b->Caption() : std::wstring();
    tb.iString = texts[static_cast<std::size_t>(i)].empty()
                     ? -1
                     : reinterpret_cast<INT_PTR>(texts[static_cast<std::size_t>(i)].c_str());
  }
  if (count > 0) SendMessageW(wnd, TB_ADDBUTTONSW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(buttons.data()));
  if (!ShowCaptions) SendMessageW(wnd, TB_SETMAXTEXTROWS, 0, 0);
  SendMessageW(wnd, TB_SETBUTTONSIZE, 0, MAKELPARAM(ButtonWidth, ButtonHeight));
  PlaceButtons();
  InvalidateRect(wnd, nullptr, TRUE);
}

// The tool buttons take the places of their window buttons.
void TToolBar::PlaceButtons() {
  if (!HandleAllocated()) return;
  for (int i = 0; i < ButtonCount(); ++i) {
    RECT r{};
    if (SendMessageW(Handle(), TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)))
      Buttons(i)->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
}

LRESULT TToolBar::CustomDraw(NMTBCUSTOMDRAW* Draw) {
  NMCUSTOMDRAW& cd = Draw->nmcd;
  const bool itemStage = (cd.dwDrawStage & CDDS_ITEM) != 0;
  const DWORD stage = cd.dwDrawStage & ~CDDS_ITEM;
  const TCustomDrawStage s = stage == CDDS_POSTPAINT ? cdPostPaint
                             : stage == CDDS_PREERASE ? cdPreErase
                             : stage == CDDS_POSTERASE ? cdPostErase
                                                       : cdPrePaint;
  if (!itemStage) {
    LRESULT result = OnAdvancedCustomDrawButton ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    if (!OnAdvancedCustomDraw) return result;
    bool defaultDraw = true;
    Canvas.SetHandle(cd.hdc);
    try {
      // The whole bar's stage covers the client area (the system gives no rectangle for it).
      RECT client{};
      GetClientRect(Draw->nmcd.hdr.hwndFrom, &client);
      OnAdvancedCustomDraw(this, TRect{client.left, client.top, client.right, client.bottom}, s, defaultDraw);
    } catch (...) {
      Canvas.SetHandle(nullptr);
      throw;
    }
    Canvas.SetHandle(nullptr);
    // The buttons are still asked for when the background alone was drawn here.
    if (!defaultDraw && !OnAdvancedCustomDrawButton) result |= CDRF_SKIPDEFAULT;
    return result;
  }
  TToolButton* button = Buttons(static_cast<int>(cd.dwItemSpec));
  if (!button || !OnAdvancedCustomDrawButton) return CDRF_DODEFAULT;
  static const struct {
    UINT Cdis;
    unsigned Cds;
  } states[] = {{CDIS_SELECTED, cdsSelected}, {CDIS_GRAYED, cdsGrayed},     {CDIS_DISABLED, cdsDisabled},
                {CDIS_CHECKED, cdsChecked},   {CDIS_FOCUS, cdsFocused},     {CDIS_DEFAULT, cdsDefault},
                {CDIS_HOT, cdsHot},           {CDIS_MARKED, cdsMarked},     {CDIS_INDETERMINATE, cdsIndeterminate}};
  TCustomDrawState state = 0;
  for (const auto& m : states)
    if (cd.uItemState & m.Cdis) state |= m.Cds;
  TTBCustomDrawFlags flags = 0;
  bool defaultDraw = true;
  Canvas.SetHandle(cd.hdc);
  try {
    OnAdvancedCustomDrawButton(this, button, state, s, flags, defaultDraw);
  } catch (...) {
    Canvas.SetHandle(nullptr);
    throw;
  }
  Canvas.SetHandle(nullptr);
  if (!defaultDraw) return CDRF_SKIPDEFAULT;
  LRESULT result = CDRF_DODEFAULT;
  if (flags & tbNoEdges) result |= TBCDRF_NOEDGES;
  if (flags & tbHiliteHotTrack) result |= TBCDRF_HILITEHOTTRACK;
  if (flags & tbNoOffset) result |= TBCDRF_NOOFFSET;
  if (flags & tbNoMark) result |= TBCDRF_NOMARK;
  if (flags & tbNoEtchedEffect) result |= TBCDRF_NOETCHEDEFFECT;
  return result;
}

void TToolBar::DropDownMenu(int Command) {
  if (!HandleAllocated()) return;
  const HWND wnd = Handle();
  const int index = static_cast<int>(SendMessageW(wnd, TB_COMMANDTOINDEX, static_cast<WPARAM>(Command), 0));
  TToolButton* button = index >= 0 ? Buttons(index) : nullptr;
  if (!button || !button->DropdownMenu) return;
  RECT r{};
  if (!SendMessageW(wnd, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r))) return;
  TPopupMenu* menu = button->DropdownMenu;
  // A right-to-left menu is aligned by its right edge: it takes the button's right corner.
  POINT at{menu->IsRightToLeft() ? r.right : r.left, r.bottom};
  ClientToScreen(wnd, &at);
  menu->Popup(at.x, at.y, wnd);
  // The menu ran its own message loop, in which the bar may have gone: only its window is
  // told, and a window that is gone takes no message.
  PostMessageW(wnd, CN_DROPDOWNCLOSED, 0, 0);
}

void TToolBar::WndProc(TMessage& message) {
  switch (message.Msg) {
    case CN_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(message.LParam);
      if (header && header->code == NM_CUSTOMDRAW) {
        message.Result = CustomDraw(reinterpret_cast<NMTBCUSTOMDRAW*>(message.LParam));
        return;
      }
      message.Result = 0;
      if (header && header->code == TBN_DROPDOWN) {
        message.Result = TBDDRET_DEFAULT;
        DropDownMenu(reinterpret_cast<NMTOOLBARW*>(message.LParam)->iItem);
      }
      return;
    }
    case CN_DROPDOWNCLOSED:
      // The system's bar knows no such message: the notice is for whoever listens in on
      // the bar's WindowProc.
      message.Result = 0;
      return;
    case WM_MOUSEMOVE:
      // The window draws its own buttons: mouse messages stay with it rather than going to
      // the window-less tool buttons.
      if (!FMouseTracked && HandleAllocated()) {
        TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, Handle(), 0};
        if (TrackMouseEvent(&tme)) {
          FMouseTracked = true;
          Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(this));
        }
      }
      TControl::WndProc(message);
      return;
    case WM_MOUSELEAVE:
      FMouseTracked = false;
      TControl::WndProc(message);
      Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(this));
      return;
    case WM_SIZE:
      TWinControl::WndProc(message);
      PlaceButtons();
      return;
  }
  if (message.Msg >= WM_MOUSEFIRST && message.Msg <= WM_MOUSELAST) {
    TControl::WndProc(message);
    return;
  }
  TWinControl::WndProc(message);
}
