// The combo box over the system's "COMBOBOX" class: its styles, items, selection and text,
// and owner-drawn items drawn on a canvas pointed at each item's DC.
#include <algorithm>

#include "platform/ui/StdCtrls.h"

// ---- TComboBoxStrings ----

int TComboBoxStrings::Count() const {
  if (!FOwner.HandleAllocated()) return static_cast<int>(FKept.size());
  const LRESULT n = SendMessageW(FOwner.Handle(), CB_GETCOUNT, 0, 0);
  return n < 0 ? 0 : static_cast<int>(n);
}

void TComboBoxStrings::Add(const std::wstring& Item) {
  if (FOwner.HandleAllocated())
    SendMessageW(FOwner.Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Item.c_str()));
  else
    FKept.push_back(Item);
}

void TComboBoxStrings::Clear() {
  FKept.clear();
  if (FOwner.HandleAllocated()) SendMessageW(FOwner.Handle(), CB_RESETCONTENT, 0, 0);
}

std::wstring TComboBoxStrings::operator[](int Index) const {
  if (!FOwner.HandleAllocated())
    return Index >= 0 && Index < static_cast<int>(FKept.size()) ? FKept[static_cast<std::size_t>(Index)]
                                                                 : std::wstring();
  const HWND wnd = FOwner.Handle();
  // The length first: CB_GETLBTEXT takes no buffer size.
  const LRESULT n = SendMessageW(wnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(Index), 0);
  if (n == CB_ERR || n < 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const LRESULT got = SendMessageW(wnd, CB_GETLBTEXT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got == CB_ERR || got < 0 ? 0 : std::min(static_cast<std::size_t>(got), static_cast<std::size_t>(n)));
  return text;
}

// ---- TCustomComboBox ----

TCustomComboBox::TCustomComboBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
  SetMessageHandler(CN_BASE + WM_DRAWITEM, [this](TMessage& m) { CNDrawItem(m); });
  SetMessageHandler(CN_BASE + WM_COMMAND, [this](TMessage& m) { CNCommand(m); });
}

TCustomComboBox::~TCustomComboBox() { FCanvas.SetHandle(nullptr); }

void TCustomComboBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"COMBOBOX";
  static constexpr DWORD styles[] = {CBS_DROPDOWN, CBS_SIMPLE, CBS_DROPDOWNLIST,
                                     CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                                     CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS};
  params.Style |= styles[FStyle] | WS_VSCROLL | CBS_AUTOHSCROLL;
  params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
}

void TCustomComboBox::CreateHandle() {
  TWinControl::CreateHandle();
  if (!FHandle) return;
  if (FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable) {
    SendMessageW(FHandle, CB_SETITEMHEIGHT, 0, ItemHeight);
    SendMessageW(FHandle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), ItemHeight);
  }
  // The items and the selection kept before the window existed move into it.
  std::vector<std::wstring> kept;
  kept.swap(FItems.FKept);
  for (const auto& item : kept) FItems.Add(item);
  if (FKeptIndex >= 0) SendMessageW(FHandle, CB_SETCURSEL, static_cast<WPARAM>(FKeptIndex), 0);
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
  if (FStyle == value) return;
  FStyle = value;
  if (!HandleAllocated()) return;
  // The items survive the new window.
  const int index = ItemIndex();
  std::vector<std::wstring> items;
  for (int i = 0, n = FItems.Count(); i < n; ++i) items.push_back(FItems[i]);
  FItems.FKept = std::move(items);
  FKeptIndex = index;
  RecreateWnd();
}

int TCustomComboBox::ItemIndex() const {
  if (!HandleAllocated()) return FKeptIndex;
  const LRESULT i = SendMessageW(const_cast<TCustomComboBox*>(this)->Handle(), CB_GETCURSEL, 0, 0);
  return i == CB_ERR ? -1 : static_cast<int>(i);
}

void TCustomComboBox::SetItemIndex(int value) {
  FKeptIndex = value < 0 ? -1 : value;
  if (HandleAllocated()) SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(value < 0 ? -1 : value), 0);
}

std::wstring TCustomComboBox::Text() const {
  if (!HandleAllocated()) return Caption();
  HWND wnd = const_cast<TCustomComboBox*>(this)->Handle();
  const int n = GetWindowTextLengthW(wnd);
  std::wstring text(static_cast<std::size_t>(std::max(0, n)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max(0, GetWindowTextW(wnd, text.data(), n + 1))));
  return text;
}

void TCustomComboBox::SetText(const std::wstring& value) { SetCaption(value); }

HWND TCustomComboBox::EditHandle() {
  if (!HandleAllocated() || FStyle >= csDropDownList) return nullptr;
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if (!GetComboBoxInfo(Handle(), &info)) return nullptr;
  return info.hwndItem != Handle() ? info.hwndItem : nullptr;
}

void TCustomComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  if (OnDrawItem) {
    OnDrawItem(this, Index, Rect, State);
    return;
  }
  FCanvas.FillRect(Rect);
  if (Index >= 0) FCanvas.TextOut(Rect.Left + 2, Rect.Top, FItems[Index]);
}

void TCustomComboBox::CNDrawItem(TMessage& message) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
  message.Result = 1;
  if (!dis) return;
  TOwnerDrawState state = LOWORD(dis->itemState);
  if (dis->itemState & ODS_COMBOBOXEDIT) state |= odComboBoxEdit;
  if (dis->itemState & ODS_DEFAULT) state |= odDefault;
  FCanvas.Lock();
  FCanvas.SetHandle(dis->hDC);
  const int saved = SaveDC(dis->hDC);
  FCanvas.Font.Assign(Font);
  if (state & odSelected) {
    FCanvas.Brush.Color = clHighlight;
    FCanvas.Font.Color = clHighlightText;
  } else {
    FCanvas.Brush.Color = Color();
  }
  const TRect r{dis->rcItem.left, dis->rcItem.top, dis->rcItem.right, dis->rcItem.bottom};
  const int index = static_cast<int>(dis->itemID);
  if (index >= 0) {
    DrawItem(index, r, state);
  } else {
    FCanvas.FillRect(r);
  }
  if (state & odFocused) DrawFocusRect(dis->hDC, &dis->rcItem);
  FCanvas.SetHandle(nullptr);
  RestoreDC(dis->hDC, saved);
  FCanvas.Unlock();
}

void TCustomComboBox::CNCommand(TMessage& message) {
  message.Result = 0;
  // The focus leaving the combo box (its edit part included) is the framework's exit.
  if (HIWORD(message.WParam) == CBN_KILLFOCUS) Perform(CM_EXIT);
}
