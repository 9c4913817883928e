#include "platform/ui/ComCtrls.Lists.h"

#include <commctrl.h>

#include "platform/ui/ImgList.h"

namespace {

void InitListClasses() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    RegisterPublished<TListView>().Ordinal(
        L"ViewStyle", [](TListView& c) { return static_cast<int>(c.ViewStyle()); },
        [](TListView& c, int v) {
          if (v >= vsIcon && v <= vsReport) c.SetViewStyle(static_cast<TViewStyle>(v));
        });
    return true;
  }();
  (void)done;
}

}  // namespace

// ---- TUpDown ----

TUpDown::TUpDown(TComponent* owner) : TWinControl(owner) {
  InitListClasses();
  SetBounds(0, 0, 17, 25);
}

void TUpDown::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = UPDOWN_CLASSW;
  params.Style |= UDS_ARROWKEYS;
}

void TUpDown::CreateHandle() {
  TWinControl::CreateHandle();
  SendMessageW(Handle(), UDM_SETRANGE32, static_cast<WPARAM>(Min), static_cast<LPARAM>(Max));
  SendMessageW(Handle(), UDM_SETPOS32, 0, FPosition);
}

int TUpDown::Position() const {
  if (!HandleAllocated()) return FPosition;
  return static_cast<int>(SendMessageW(const_cast<TUpDown*>(this)->Handle(), UDM_GETPOS32, 0, 0));
}

void TUpDown::SetPosition(int value) {
  FPosition = value;
  if (HandleAllocated()) SendMessageW(Handle(), UDM_SETPOS32, 0, value);
}

// ---- TListView ----

TListView::TListView(TComponent* owner) : TWinControl(owner) {
  InitListClasses();
  SetBounds(0, 0, 250, 150);
  SetTabStop(true);
  SetColor(clWindow);
  SetMessageHandler(CM_COLORCHANGED, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                      inherited(m);
                      ApplyColors();
                    }));
  SetMessageHandler(CM_FONTCHANGED, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                      inherited(m);
                      ApplyColors();
                    }));
}

void TListView::ApplyColors() {
  if (!HandleAllocated()) return;
  SendMessageW(Handle(), LVM_SETBKCOLOR, 0, ColorToRGB(Color()));
  SendMessageW(Handle(), LVM_SETTEXTBKCOLOR, 0, ColorToRGB(Color()));
  SendMessageW(Handle(), LVM_SETTEXTCOLOR, 0, ColorToRGB(Font.Color));
  Invalidate();
}

void TListView::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = WC_LISTVIEWW;
  static const DWORD views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  params.Style |= views[FViewStyle] | LVS_SHAREIMAGELISTS;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListView::CreateHandle() {
  TWinControl::CreateHandle();
  ApplyColors();
  if (FSmallImages) SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(FSmallImages->Handle()));
}

void TListView::SetViewStyle(TViewStyle value) {
  if (FViewStyle == value) return;
  FViewStyle = value;
  if (!HandleAllocated()) return;
  static const DWORD views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  const LONG style = GetWindowLongW(Handle(), GWL_STYLE);
  SetWindowLongW(Handle(), GWL_STYLE, static_cast<LONG>((style & ~LVS_TYPEMASK) | views[value]));
}

void TListView::SetSmallImages(TCustomImageList* value) {
  FSmallImages = value;
  if (HandleAllocated())
    SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(value ? value->Handle() : nullptr));
}

int TListView::AddColumn(const std::wstring& caption, int width) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(Handle(), LVM_GETHEADER, 0, 0));
  const int index = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.pszText = const_cast<wchar_t*>(caption.c_str());
  col.cx = width;
  return static_cast<int>(SendMessageW(Handle(), LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&col)));
}

int TListView::AddItem(const std::wstring& caption, const std::wstring& sub) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(SendMessageW(Handle(), LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<wchar_t*>(caption.c_str());
  const int index = static_cast<int>(SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (index >= 0 && !sub.empty()) {
    LVITEMW s{};
    s.iSubItem = 1;
    s.pszText = const_cast<wchar_t*>(sub.c_str());
    SendMessageW(Handle(), LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&s));
  }
  return index;
}

// ---- TTreeView ----

TTreeView::TTreeView(TComponent* owner) : TWinControl(owner) {
  InitListClasses();
  SetBounds(0, 0, 120, 100);
  SetTabStop(true);
  SetColor(clWindow);
  SetMessageHandler(CM_COLORCHANGED, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                      inherited(m);
                      ApplyColors();
                    }));
  SetMessageHandler(CM_FONTCHANGED, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                      inherited(m);
                      ApplyColors();
                    }));
}

void TTreeView::ApplyColors() {
  if (!HandleAllocated()) return;
  // The system's own colours stay while the control keeps the default ones.
  SendMessageW(Handle(), TVM_SETBKCOLOR, 0, Color() == clWindow ? -1 : static_cast<LPARAM>(ColorToRGB(Color())));
  SendMessageW(Handle(), TVM_SETTEXTCOLOR, 0,
               Font.Color == clWindowText ? -1 : static_cast<LPARAM>(ColorToRGB(Font.Color)));
}

void TTreeView::CreateHandle() {
  TWinControl::CreateHandle();
  ApplyColors();
}

void TTreeView::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = WC_TREEVIEWW;
  params.Style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

HTREEITEM TTreeView::AddItem(HTREEITEM parent, const std::wstring& text) {
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent ? parent : TVI_ROOT;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT;
  ins.item.pszText = const_cast<wchar_t*>(text.c_str());
  return reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
}
