// Tab and page controls over the system's "SysTabControl32".
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "platform/ui/ComCtrls.h"
#include "platform/ui/ImgList.h"

// ---- TCustomTabControl ----

TCustomTabControl::TCustomTabControl(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 289, 193);
  SetTabStop(true);
  SetControlStyle(ControlStyle() | csAcceptsControls);
  SetMessageHandler(CN_NOTIFY, [this](TMessage& m) { CNNotify(m); });
  SetMessageHandler(CN_DRAWITEM, [this](TMessage& m) { CNDrawItem(m); });
}

TCustomTabControl::~TCustomTabControl() { FCanvas.SetHandle(nullptr); }

void TCustomTabControl::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = WC_TABCONTROLW;
  DWORD style = TCS_TABS;
  if (FStyle == tsButtons) style = TCS_BUTTONS;
  if (FStyle == tsFlatButtons) style = TCS_BUTTONS | TCS_FLATBUTTONS;
  switch (FTabPosition) {
    case tpTop: break;
    case tpBottom: style |= TCS_BOTTOM; break;
    // The system lays vertical tabs out in rows only.
    case tpLeft: style |= TCS_VERTICAL | TCS_MULTILINE; break;
    case tpRight: style |= TCS_VERTICAL | TCS_RIGHT | TCS_MULTILINE; break;
  }
  if (FMultiLine) style |= TCS_MULTILINE;
  if (OnDrawTab) style |= TCS_OWNERDRAWFIXED;
  params.Style |= style | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
}

void TCustomTabControl::CreateHandle() {
  TWinControl::CreateHandle();
  if (!FHandle) return;
  if (FImages) SendMessageW(FHandle, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages->Handle()));
  TabsToWindow();
  if (FKeptIndex >= 0) SendMessageW(FHandle, TCM_SETCURSEL, static_cast<WPARAM>(FKeptIndex), 0);
  Realign();
}

void TCustomTabControl::SetTabPosition(TTabPosition value) {
  if (FTabPosition == value) return;
  FKeptIndex = TabIndex();
  FTabPosition = value;
  RecreateWnd();
}

void TCustomTabControl::SetMultiLine(bool value) {
  if (FMultiLine == value) return;
  FKeptIndex = TabIndex();
  FMultiLine = value;
  RecreateWnd();
}

void TCustomTabControl::SetStyle(TTabStyle value) {
  if (FStyle == value) return;
  FKeptIndex = TabIndex();
  FStyle = value;
  RecreateWnd();
}

void TCustomTabControl::SetImages(TCustomImageList* value) {
  if (FImages == value) return;
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = value;
  if (FImages) FImages->FreeNotification(this);
  if (HandleAllocated())
    SendMessageW(Handle(), TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages ? FImages->Handle() : nullptr));
}

void TCustomTabControl::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FImages) {
    FImages = nullptr;
    if (HandleAllocated()) SendMessageW(Handle(), TCM_SETIMAGELIST, 0, 0);
  }
}

int TCustomTabControl::TabIndex() const {
  if (!HandleAllocated()) return FKeptIndex;
  return static_cast<int>(SendMessageW(const_cast<TCustomTabControl*>(this)->Handle(), TCM_GETCURSEL, 0, 0));
}

void TCustomTabControl::SetTabIndex(int value) {
  FKeptIndex = value;
  if (!HandleAllocated()) return;
  SendMessageW(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(value), 0);
  Change();
}

int TCustomTabControl::TabCount() const {
  if (!HandleAllocated()) return 0;
  return static_cast<int>(SendMessageW(const_cast<TCustomTabControl*>(this)->Handle(), TCM_GETITEMCOUNT, 0, 0));
}

TRect TCustomTabControl::DisplayRect() {
  RECT r{0, 0, Width(), Height()};
  if (HandleAllocated()) {
    GetClientRect(Handle(), &r);
    SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  }
  return TRect{r.left, r.top, std::max(r.left, r.right), std::max(r.top, r.bottom)};
}

void TCustomTabControl::InsertTabItem(int Index, const std::wstring& Text, int ImageIndex) {
  if (!HandleAllocated()) return;
  TCITEMW item{};
  item.mask = TCIF_TEXT | TCIF_IMAGE;
  item.pszText = const_cast<wchar_t*>(Text.c_str());
  item.iImage = ImageIndex;
  SendMessageW(Handle(), TCM_INSERTITEMW, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&item));
}

void TCustomTabControl::Change() {
  if (OnChange) OnChange();
}

void TCustomTabControl::DrawTab(int TabIndex, const TRect& Rect, bool Active) {
  if (OnDrawTab) OnDrawTab(this, TabIndex, Rect, Active);
}

void TCustomTabControl::CNNotify(TMessage& message) {
  message.Result = 0;
  const auto* hdr = reinterpret_cast<const NMHDR*>(message.LParam);
  if (hdr && hdr->code == static_cast<UINT>(TCN_SELCHANGE)) Change();
}

void TCustomTabControl::CNDrawItem(TMessage& message) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
  message.Result = 1;
  if (!dis) return;
  FCanvas.Lock();
  FCanvas.SetHandle(dis->hDC);
  const int saved = SaveDC(dis->hDC);
  FCanvas.Font.Assign(Font);
  FCanvas.Brush.Color = Color();
  DrawTab(static_cast<int>(dis->itemID), TRect{dis->rcItem.left, dis->rcItem.top, dis->rcItem.right, dis->rcItem.bottom},
          (dis->itemState & ODS_SELECTED) != 0);
  FCanvas.SetHandle(nullptr);
  RestoreDC(dis->hDC, saved);
  FCanvas.Unlock();
}

// ---- TTabControl ----

void TTabControl::AddTab(const std::wstring& Text, int ImageIndex) {
  FTabs.emplace_back(Text, ImageIndex);
  InsertTabItem(static_cast<int>(FTabs.size()) - 1, Text, ImageIndex);
}

void TTabControl::ClearTabs() {
  FTabs.clear();
  if (HandleAllocated()) SendMessageW(Handle(), TCM_DELETEALLITEMS, 0, 0);
}

void TTabControl::TabsToWindow() {
  for (std::size_t i = 0; i < FTabs.size(); ++i) InsertTabItem(static_cast<int>(i), FTabs[i].first, FTabs[i].second);
}

// ---- TTabSheet ----

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(ControlStyle() | csAcceptsControls);
  SetVisible(false);
}

void TTabSheet::BeforeDestruction() {
  SetPageControl(nullptr);
  TWinControl::BeforeDestruction();
}

void TTabSheet::SetPageControl(TPageControl* value) {
  if (FPageControl == value) return;
  if (FPageControl) FPageControl->RemovePage(this);
  FPageControl = value;
  SetParent(value);
  if (FPageControl) FPageControl->InsertPage(this);
}

int TTabSheet::PageIndex() const {
  if (!FPageControl) return -1;
  const auto& pages = FPageControl->FPages;
  const auto it = std::find(pages.begin(), pages.end(), this);
  return it == pages.end() ? -1 : static_cast<int>(it - pages.begin());
}

void TTabSheet::SetCaption(const std::wstring& value) {
  TWinControl::SetCaption(value);
  const int index = PageIndex();
  if (index < 0 || !FPageControl->HandleAllocated()) return;
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<wchar_t*>(value.c_str());
  SendMessageW(FPageControl->Handle(), TCM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

// ---- TPageControl ----

TPageControl::TPageControl(TComponent* owner) : TCustomTabControl(owner) {}

TTabSheet* TPageControl::Pages(int Index) const {
  return Index >= 0 && Index < PageCount() ? FPages[static_cast<std::size_t>(Index)] : nullptr;
}

TTabSheet* TPageControl::ActivePage() const { return Pages(TabIndex()); }

void TPageControl::SetActivePage(TTabSheet* page) {
  const auto it = std::find(FPages.begin(), FPages.end(), page);
  if (it != FPages.end()) SetTabIndex(static_cast<int>(it - FPages.begin()));
}

void TPageControl::SetActivePageIndex(int value) { SetTabIndex(value); }

void TPageControl::TabsToWindow() {
  for (std::size_t i = 0; i < FPages.size(); ++i)
    InsertTabItem(static_cast<int>(i), FPages[i]->Caption(), FPages[i]->ImageIndex);
  if (!FPages.empty() && TabIndex() < 0) SendMessageW(Handle(), TCM_SETCURSEL, 0, 0);
  ShowActivePage();
}

void TPageControl::InsertPage(TTabSheet* page) {
  FPages.push_back(page);
  if (!HandleAllocated()) return;
  InsertTabItem(PageCount() - 1, page->Caption(), page->ImageIndex);
  if (TabIndex() < 0) SendMessageW(Handle(), TCM_SETCURSEL, 0, 0);
  Realign();
  ShowActivePage();
}

void TPageControl::RemovePage(TTabSheet* page) {
  const auto it = std::find(FPages.begin(), FPages.end(), page);
  if (it == FPages.end()) return;
  const int index = static_cast<int>(it - FPages.begin());
  FPages.erase(it);
  if (HandleAllocated() && !Destroying()) {
    SendMessageW(Handle(), TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
    if (TabIndex() < 0 && !FPages.empty()) SendMessageW(Handle(), TCM_SETCURSEL, 0, 0);
    ShowActivePage();
  }
}

void TPageControl::Change() {
  ShowActivePage();
  TCustomTabControl::Change();
}

void TPageControl::ShowActivePage() {
  TTabSheet* active = ActivePage();
  // The new page shows before the old one hides: the area never shows the control behind.
  if (active) {
    active->SetVisible(true);
    if (active->HandleAllocated()) BringWindowToTop(active->Handle());
  }
  for (TTabSheet* page : FPages)
    if (page != active) page->SetVisible(false);
}

void TPageControl::AlignControls(TRect area) {
  (void)area;
  const TRect r = DisplayRect();
  for (TTabSheet* page : FPages) page->SetBounds(r.Left, r.Top, r.Width(), r.Height());
}
