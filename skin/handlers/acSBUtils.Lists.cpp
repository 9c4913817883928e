// List views, tree views and grids.
#include "skin/handlers/acSBUtils.Lists.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "platform/ui/ComCtrls.Lists.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ImgList.h"
#include "platform/ui/Themes.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acSBUtils.Scroll.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

// The point lies inside the rectangle (right and bottom exclusive).
bool Holds(const TRect& R, TPoint P) { return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom; }

TsSkinManager* ManagerOfData(TsCommonData* Data) {
  if (Data)
    if (TsSkinManager* m = Data->ReadSkinManager()) return m;
  return DefaultManager();
}

bool SectionLoaded(TacSkinData* Sd, int Index) { return Sd && Index >= 0 && Index < static_cast<int>(Sd->gd.size()); }
bool MaskLoaded(TacSkinData* Sd, int Index) { return Sd && Index >= 0 && Index < static_cast<int>(Sd->ma.size()); }

const TsGeneralData* SectionOfData(TsCommonData* Data) {
  TacSkinData* sd = Data ? Data->ReadCommonSkinData() : nullptr;
  if (!sd || !SectionLoaded(sd, Data->SkinIndex)) return nullptr;
  return &sd->gd[static_cast<std::size_t>(Data->SkinIndex)];
}

TColor Rgb(TColor C) { return static_cast<TColor>(ColorToRGB(C)); }

// The subclass that gives a list view's header to its handler.
}  // namespace

class TacHeaderSubclass : public TWindowSubclass {
public:
  explicit TacHeaderSubclass(TacListViewWnd* Owner) : FOwner(Owner) {}
  TacListViewWnd* FOwner;
  // The header's own procedure (the rest of its chain).
  void Previous(TMessage& Message) { DefaultHandler(Message); }

protected:
  void WndProc(TMessage& Message) override {
    if (FOwner)
      FOwner->HeaderWndProc(Message);
    else
      DefaultHandler(Message);
  }
  void WindowDestroyed() override {
    if (FOwner) {
      FOwner->FhWndHeader = nullptr;
      FOwner->FhHeaderProc = nullptr;
    }
    FOwner = nullptr;
    // The subclass is gone with the window: the object follows.
    Release();
  }
};

// ---------------------------------------------------------------------------
// TacListViewWnd
// ---------------------------------------------------------------------------

TacListViewWnd::~TacListViewWnd() { ReleaseHeader(); }

void TacListViewWnd::TakeHeader(HWND Header) {
  if (!Header || FhWndHeader) return;
  auto* sub = new TacHeaderSubclass(this);
  if (!sub->Attach(Header)) {
    delete sub;
    return;
  }
  FhHeaderProc = sub;
  FhWndHeader = Header;
  FHeaderProcAfterAttach = GetWindowLongPtrW(Header, GWLP_WNDPROC);
}

void TacListViewWnd::ReleaseHeader() {
  if (FhHeaderProc) {
    FhHeaderProc->FOwner = nullptr;
    // A procedure put on the header since stays in its chain: the subclass passes everything
    // on from now and goes with the window.
    if (!FhWndHeader || !IsWindow(FhWndHeader) ||
        GetWindowLongPtrW(FhWndHeader, GWLP_WNDPROC) == FHeaderProcAfterAttach)
      FhHeaderProc->Release();
    FhHeaderProc = nullptr;
  }
  HWND header = FhWndHeader;
  FhWndHeader = nullptr;
  if (header && IsWindow(header)) InvalidateRect(header, nullptr, TRUE);
}

void TacListViewWnd::AfterCreation() {
  if (SkinData) SkinData->COC = 10;
  TacEditWnd::AfterCreation();
  HoverColIndex = -1;
  FPressedColumn = -1;
  if (CtrlHandle && !FhWndHeader) TakeHeader(FindWindowExW(CtrlHandle, nullptr, L"SysHeader32", nullptr));
  // The header's text font: given once here and at every new skin, not at every paint.
  if (SkinData && !SkinData->FOwnerControl) {
    SkinData->InitCacheBitmap();
    InitHandlerFont(this, true);
  }
}

int TacListViewWnd::ViewStyle() {
  if (auto* lv = dynamic_cast<TListView*>(SkinData ? SkinData->FOwnerControl : nullptr))
    return static_cast<int>(lv->ViewStyle());
  switch (SendMessageW(CtrlHandle, LVM_GETVIEW, 0, 0)) {
    case LV_VIEW_ICON: return 0;
    case LV_VIEW_DETAILS: return 3;
    case LV_VIEW_SMALLICON: return 1;
    default: return 2;
  }
}

void TacListViewWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  if (TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr) {
    StdColor = owner->Color();
    StdFontColor = owner->Font.Color;
  } else if (CtrlHandle) {
    StdColor = static_cast<TColor>(SendMessageW(CtrlHandle, LVM_GETBKCOLOR, 0, 0));
    FStdTextBkColor = static_cast<TColor>(SendMessageW(CtrlHandle, LVM_GETTEXTBKCOLOR, 0, 0));
    StdFontColor = static_cast<TColor>(SendMessageW(CtrlHandle, LVM_GETTEXTCOLOR, 0, 0));
  }
}

namespace {
void SetListColors(HWND Wnd, TColor Bk, TColor TextBk, TColor Text) {
  if (Bk != clNone && static_cast<TColor>(SendMessageW(Wnd, LVM_GETBKCOLOR, 0, 0)) != Rgb(Bk))
    SendMessageW(Wnd, LVM_SETBKCOLOR, 0, Rgb(Bk));
  if (TextBk != clNone && static_cast<TColor>(SendMessageW(Wnd, LVM_GETTEXTBKCOLOR, 0, 0)) != Rgb(TextBk))
    SendMessageW(Wnd, LVM_SETTEXTBKCOLOR, 0, Rgb(TextBk));
  if (Text != clNone && static_cast<TColor>(SendMessageW(Wnd, LVM_GETTEXTCOLOR, 0, 0)) != Rgb(Text))
    SendMessageW(Wnd, LVM_SETTEXTCOLOR, 0, Rgb(Text));
}
}  // namespace

void TacListViewWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  if (!CtrlHandle || !IsWindow(CtrlHandle) || !SkinData) return;
  if (DlgMode) {
    SetListColors(CtrlHandle, clWindow, clWindow, clWindowText);
    return;
  }
  TsSkinManager* dm = DefaultManager();
  const TsGeneralData* g = SectionOfData(SkinData);
  if (!g || !dm || !dm->IsValidSkinIndex(SkinData->SkinIndex)) return;
  const int state = IsHot(SkinData) == 1 && g->States > 1 ? 1 : 0;
  const TColor bg = SkinData->CustomColor() ? clNone : g->StateProps(state).Color;
  const TColor fg = SkinData->CustomFont() ? clNone : g->StateProps(state).FontColor.Color;
  SetListColors(CtrlHandle, bg, bg, fg);
}

void TacListViewWnd::RestoreStdParams() {
  ReleaseHeader();
  TacEditWnd::RestoreStdParams();
  if (CtrlHandle && IsWindow(CtrlHandle)) {
    TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
    if (!owner) {
      // A list view of a dialog takes its own colours back as they were read (the system's
      // defaults included).
      SendMessageW(CtrlHandle, LVM_SETBKCOLOR, 0, StdColor);
      SendMessageW(CtrlHandle, LVM_SETTEXTBKCOLOR, 0, FStdTextBkColor);
      SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, StdFontColor);
    } else {
      SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, Rgb(StdFontColor));
      SendMessageW(CtrlHandle, LVM_SETTEXTBKCOLOR, 0, Rgb(StdColor));
      if (!owner->Destroying()) owner->SetColor(StdColor);
    }
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE);
  }
}

void TacListViewWnd::RepaintHeader() {
  if (FhWndHeader && IsWindow(FhWndHeader)) RedrawWindow(FhWndHeader, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TacListViewWnd::ResetHeaderHover() {
  if (HoverColIndex != -1 || FPressedColumn >= 0) {
    HoverColIndex = -1;
    FPressedColumn = -1;
    RepaintHeader();
  }
}

TRect TacListViewWnd::GetHeaderColumnRect(int Index) {
  TRect result{0, 0, 0, 0};
  if (!FhWndHeader) return result;
  int item = Index;
  if (GetWindowLongW(FhWndHeader, GWL_STYLE) & HDS_DRAGDROP) {
    const int n = static_cast<int>(SendMessageW(FhWndHeader, HDM_GETITEMCOUNT, 0, 0));
    if (n > 0 && Index >= 0 && Index < n) {
      std::vector<int> order(static_cast<std::size_t>(n));
      if (SendMessageW(FhWndHeader, HDM_GETORDERARRAY, n, reinterpret_cast<LPARAM>(order.data())))
        item = order[static_cast<std::size_t>(Index)];
    }
  }
  RECT r{};
  if (SendMessageW(FhWndHeader, HDM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r)))
    result = TRect{r.left, r.top, r.right, r.bottom};
  return result;
}

void TacListViewWnd::ColumnSkinPaint(const TRect& R, int Index, HDC DC) {
  if (R.IsEmpty() || !SkinData) return;
  TsSkinManager* manager = ManagerOfData(SkinData);
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  if (!manager || !sd) return;
  // 1.
  std::unique_ptr<TBitmap> bmp = NewBitmap32(R.Width(), R.Height());
  if (bmp->Empty()) return;
  int state;
  if (FPressedColumn < 0)
    state = Index == HoverColIndex ? 1 : 0;
  else
    state = Index == FPressedColumn ? 2 : 0;
  // 2.
  TControl* owner = SkinData->FOwnerControl;
  const int colHeader = sd->GetSkinIndex(L"COLHEADER"), button = sd->GetSkinIndex(L"BUTTON");
  const int section = PaintSkinSectionFromDC(bmp.get(), colHeader, button, state, sd, TPoint{0, 0},
                                             owner ? owner->Color() : clWindow, nullptr);
  // 3.
  TCanvas& canvas = bmp->Canvas();
  HFONT listFont = reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  if (listFont && GetObjectW(listFont, sizeof lf, &lf) == static_cast<int>(sizeof lf)) {
    canvas.Font.Name = std::wstring(lf.lfFaceName);
    canvas.Font.Height = lf.lfHeight;
    canvas.Font.Charset = lf.lfCharSet;
    unsigned style = 0;
    if (lf.lfWeight >= FW_BOLD) style |= fsBold;
    if (lf.lfItalic) style |= fsItalic;
    canvas.Font.Style = style;
  }
  SubstituteFontName(canvas.Font);
  canvas.Brush.Style = bsClear;
  TRect textRect{4, 1, R.Width() - 4, R.Height() - 1};
  // 4.
  if (Index >= 0 && FhWndHeader) {
    std::vector<wchar_t> text(2048, L'\0');
    HDITEMW item{};
    item.mask = 0xB6;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    if (SendMessageW(FhWndHeader, HDM_GETITEMW, Index, reinterpret_cast<LPARAM>(&item))) {
      const UINT flags = 0x8064;
      TCustomImageList* images = nullptr;
      if (auto* lv = dynamic_cast<TListView*>(owner)) images = lv->SmallImages();
      const bool hasImage = images && (item.fmt & (HDF_IMAGE | HDF_OWNERDRAW));
      const int imageOffset = hasImage ? images->Width() + 4 : 0;
      const int direction = (item.fmt & HDF_SORTDOWN) ? 3 : (item.fmt & HDF_SORTUP) ? 1 : -1;
      int glyph = -1;
      TSize arrow{0, 0};
      if (direction >= 0) {
        glyph = sd->ScrollBtns[static_cast<std::size_t>(direction)].GlyphIndex;
        if (MaskLoaded(sd, glyph)) {
          const TPoint gs = sd->MaskImageSize(sd->ma[static_cast<std::size_t>(glyph)]);
          arrow = TSize{gs.X + 6, gs.Y};
        } else {
          glyph = -1;
          arrow = TSize{6, 3};
        }
      }
      const std::wstring caption(text.data());
      // The font the text is drawn in is selected for the measure.
      SelectObject(canvas.Handle(), canvas.Font.Handle());
      SIZE extent{};
      GetTextExtentPoint32W(canvas.Handle(), caption.c_str(), static_cast<int>(caption.size()), &extent);
      const int textWidth = extent.cx + 5;
      int left;
      if (item.fmt & HDF_RIGHT)
        left = textRect.Right - arrow.cx - textWidth;
      else if (item.fmt & HDF_CENTER)
        left = textRect.Left + (textRect.Width() - textWidth - arrow.cx - imageOffset) / 2 + imageOffset;
      else
        left = textRect.Left + imageOffset;
      textRect.Left = left;
      textRect.Right = std::min(textRect.Right, left + textWidth);
      const bool shift = state == 2 && ContentShiftsOnClick(SkinData->SkinIndex, sd);
      if (direction >= 0) {
        const int ax = left + textWidth + 6;
        const int ay = (R.Height() - arrow.cy) / 2;
        if (glyph >= 0) {
          DrawMaskStateImage(bmp.get(), TPoint{ax, ay}, state, 1, sd->ma[static_cast<std::size_t>(glyph)],
                             MakeCacheInfo(bmp.get()));
        } else {
          TColor c = clBlack;
          if (SectionLoaded(sd, section)) c = sd->gd[static_cast<std::size_t>(section)].StateProps(std::min(state, 2)).FontColor.Color;
          DrawArrowTriangle(bmp.get(), c, TRect{ax, ay, ax + 6, ay + 3}, direction, 96);
        }
      }
      if (shift) textRect = TRect{textRect.Left + 1, textRect.Top + 1, textRect.Right + 1, textRect.Bottom + 1};
      WriteSkinText(&canvas, caption.c_str(), true, textRect, flags, section, state != 0 ? 1 : 0, manager);
      // Image 0 is an image too; -1 means none.
      if (hasImage && item.iImage >= 0)
        images->Draw(&canvas, left - imageOffset, (R.Height() - images->Height()) / 2 + (state == 2 ? 1 : 0),
                     item.iImage, owner ? owner->Enabled() : true);
    }
  }
  // 5.
  HDC dc = DC ? DC : GetDC(FhWndHeader);
  if (dc) {
    BitBlt(dc, R.Left, R.Top, R.Width(), R.Height(), canvas.Handle(), 0, 0, SRCCOPY);
    if (!DC) ReleaseDC(FhWndHeader, dc);
  }
}

void TacListViewWnd::PaintHeader(HDC DC) {
  if (!FhWndHeader || ViewStyle() != 3) return;
  PAINTSTRUCT ps{};
  BeginPaint(FhWndHeader, &ps);
  HDC dc = DC ? DC : GetDC(FhWndHeader);
  if (dc) {
    const int n = static_cast<int>(SendMessageW(FhWndHeader, HDM_GETITEMCOUNT, 0, 0));
    int right = 0;
    for (int i = 0; i < n; ++i) {
      const TRect r = GetHeaderColumnRect(i);
      if (r.IsEmpty()) continue;
      ColumnSkinPaint(r, static_cast<int>(SendMessageW(FhWndHeader, HDM_ORDERTOINDEX, i, 0)), dc);
      right = std::max(right, r.Right);
    }
    RECT cr{};
    GetClientRect(FhWndHeader, &cr);
    const TRect rest{right, 0, cr.right, cr.bottom};
    if (!rest.IsEmpty()) ColumnSkinPaint(rest, -2, dc);
    if (!DC) ReleaseDC(FhWndHeader, dc);
  }
  EndPaint(FhWndHeader, &ps);
}

void TacListViewWnd::HeaderWndProc(TMessage& Message) {
  TacHeaderSubclass* sub = FhHeaderProc;
  if (!sub) return;
  if (Destroyed || ViewStyle() != 3) {
    sub->Previous(Message);
    return;
  }
  try {
    switch (Message.Msg) {
      case WM_PAINT:
        PaintHeader(nullptr);
        Message.Result = 0;
        return;
      case WM_ERASEBKGND:
        Message.Result = 1;
        return;
      case WM_WINDOWPOSCHANGING:
        if (IsWindowVisible(CtrlHandle)) SendMessageW(CtrlHandle, WM_NCPAINT, 1, 0);
        sub->Previous(Message);
        return;
      case WM_NCHITTEST: {
        if (TsSkinManager* m = ManagerOfData(SkinData)) m->SwitchHotControl(CtrlHandle);
        sub->Previous(Message);
        POINT pt{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
        ScreenToClient(FhWndHeader, &pt);
        const int n = static_cast<int>(SendMessageW(FhWndHeader, HDM_GETITEMCOUNT, 0, 0));
        int index = -2;
        for (int i = 0; i < n; ++i)
          if (Holds(GetHeaderColumnRect(i), TPoint{pt.x, pt.y})) {
            index = static_cast<int>(SendMessageW(FhWndHeader, HDM_ORDERTOINDEX, i, 0));
            break;
          }
        if (index != HoverColIndex) {
          HoverColIndex = index;
          RepaintHeader();
        }
        return;
      }
      case WM_LBUTTONUP:
        FPressedColumn = -1;
        sub->Previous(Message);
        return;
      case WM_LBUTTONDOWN: {
        sub->Previous(Message);
        if (!FhWndHeader) return;
        HDHITTESTINFO hit{};
        hit.pt = POINT{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
        SendMessageW(FhWndHeader, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        FPressedColumn = (hit.flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN)) ? -1 : hit.iItem;
        RedrawWindow(FhWndHeader, nullptr, nullptr, RDW_INVALIDATE);
        return;
      }
    }
    sub->Previous(Message);
  } catch (...) {
    Application().HandleException(std::current_exception());
    Message.Result = 0;
  }
}

void TacListViewWnd::ListViewFollowUp(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SIZE:
      if (SkinData) {
        SkinData->BGChanged = true;
        if (SkinData->Skinned() && !SkinData->IsUpdating() && IsWindowVisible(CtrlHandle)) {
          RenderControlCache(SkinData, CtrlHandle, DlgMode);
          InvalidateRect(CtrlHandle, nullptr, TRUE);
        }
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      SetSkinParams();
      break;
    case WM_STYLECHANGED:
    case LVM_ARRANGE:
    case LVM_INSERTITEMA:
      if (SkinData && !SkinData->FUpdating) RefreshScrollBars(this, true);
      break;
    case WM_LBUTTONUP:
      ReleaseCapture();
      break;
    case WM_PARENTNOTIFY:
      if (LOWORD(Message.WParam) == WM_CREATE) {
        HWND child = reinterpret_cast<HWND>(Message.LParam);
        wchar_t name[32] = {};
        GetClassNameW(child, name, 32);
        if (lstrcmpiW(name, L"SysHeader32") == 0) {
          // A second header notice lets the held one go without taking the new one.
          if (FhWndHeader)
            ReleaseHeader();
          else
            TakeHeader(child);
        }
      }
      break;
    case WM_PRINT:
      if (ViewStyle() == 3 && FhWndHeader && SkinData && SkinData->FCacheBmp) {
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        const int saved = SaveDC(dc);
        const int l = std::max(0, cxLeftEdge), t = std::max(0, cyTopEdge);
        SetWindowOrgEx(dc, -l, -t, nullptr);
        const int vb = sBarVert && sBarVert->fScrollVisible ? ScrollBarSize(this, SB_VERT, true) : 0;
        const int hb = sBarHorz && sBarHorz->fScrollVisible ? ScrollBarSize(this, SB_HORZ, true) : 0;
        IntersectClipRect(dc, 0, 0, SkinData->FCacheBmp->Width() - 2 * l - vb,
                          SkinData->FCacheBmp->Height() - 2 * t - hb);
        PaintHeader(dc);
        RestoreDC(dc, saved);
      }
      break;
  }
}

void TacListViewWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
      SetSkinParams();
      break;
    case WM_NCHITTEST:
      ResetHeaderHover();
      break;
    case WM_NCPAINT:
      Message.Result = 0;
      break;
    case WM_HSCROLL:
      if (LOWORD(Message.WParam) == SB_THUMBTRACK) {
        const int P = Message.LParam ? static_cast<int>(Message.LParam) : static_cast<short>(HIWORD(Message.WParam));
        const int T = acScrollTrack.LastTrackValue;
        int dx = P - T;
        if (ViewStyle() == 2) {
          RECT r{};
          r.left = LVIR_BOUNDS;
          SendMessageW(CtrlHandle, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
          dx *= r.right - r.left;
        }
        SendMessageW(CtrlHandle, LVM_SCROLL, dx, 0);
        Message.Result = 0;
      } else {
        CallPrevWndProc(Message);
      }
      return;
    case WM_VSCROLL:
      if (LOWORD(Message.WParam) == SB_THUMBTRACK) {
        const int P = Message.LParam ? static_cast<int>(Message.LParam) : static_cast<short>(HIWORD(Message.WParam));
        const int T = acScrollTrack.LastTrackValue;
        if (P != T) {
          int dy = P - T;
          if (ViewStyle() == 3 && !SendMessageW(CtrlHandle, LVM_ISGROUPVIEWENABLED, 0, 0)) {
            RECT r{};
            r.left = LVIR_BOUNDS;
            SendMessageW(CtrlHandle, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
            dy *= r.bottom - r.top;
          }
          SendMessageW(CtrlHandle, LVM_SCROLL, 0, dy);
        }
        Message.Result = 0;
      } else {
        Message.LParam = 0;
        CallPrevWndProc(Message);
      }
      return;
    case WM_PRINT:
      ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
      if (!ParamsChanged) SetSkinParams();
      if (HDC dc = reinterpret_cast<HDC>(Message.WParam))
        FillRectOnDC(dc, TRect{0, 0, WndSize.cx, WndSize.cy}, Color != clNone ? Color : clWindow);
      break;
    case SM_SKINCOMMAND:
      switch (SkinCommandOf(Message.WParam)) {
        case SKCMD_REFRESH:
          if (SkinData && reinterpret_cast<LPARAM>(SkinData->ReadSkinManager()) == Message.LParam) {
            TacEditWnd::acWndProc(Message);
            if (!SkinData->FOwnerControl) InitHandlerFont(this, true);
            if (FhWndHeader) SendMessageW(FhWndHeader, WM_PAINT, 0, 0);
            return;
          }
          break;
        case SKCMD_GET_SKIN_INDEX:
          if (Message.LParam && SkinData) reinterpret_cast<int*>(Message.LParam)[1] = SkinData->SkinIndex;
          return;
        case SKCMD_MOUSE_LEAVE:
          if (SkinData) DispatchSkinCommand(Message, SkinData);
          ResetHeaderHover();
          break;
        case SKCMD_SCROLL_BEGIN:
          Message.Result = 1;
          return;
        case SKCMD_NEW_SKIN:
          if (SkinData) DispatchSkinCommand(Message, SkinData);
          TacEditWnd::acWndProc(Message);
          if (SkinData && !SkinData->FOwnerControl) InitHandlerFont(this, true);
          return;
        default:
          if (SkinData) DispatchSkinCommand(Message, SkinData);
          break;
      }
      break;
  }
  TacEditWnd::acWndProc(Message);
  if (!Destroyed) ListViewFollowUp(Message);
}

// ---------------------------------------------------------------------------
// TacTreeViewWnd
// ---------------------------------------------------------------------------

bool TacTreeViewWnd::OwnerDrawsTree() {
  auto* tv = dynamic_cast<TTreeView*>(SkinData ? SkinData->FOwnerControl : nullptr);
  return tv && static_cast<bool>(tv->OnCustomDraw);
}

void TacTreeViewWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  // A tree of a dialog: its colours as it answers them (-1 for the system's).
  if (!(SkinData && SkinData->FOwnerControl) && CtrlHandle) {
    StdColor = static_cast<TColor>(SendMessageW(CtrlHandle, TVM_GETBKCOLOR, 0, 0));
    StdFontColor = static_cast<TColor>(SendMessageW(CtrlHandle, TVM_GETTEXTCOLOR, 0, 0));
  }
}

void TacTreeViewWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  if (!CtrlHandle || !SkinData) return;
  if (DlgMode) {
    SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, Rgb(clWindow));
    SendMessageW(CtrlHandle, TVM_SETTEXTCOLOR, 0, Rgb(clWindowText));
    return;
  }
  const TsGeneralData* g = SectionOfData(SkinData);
  if (!g) return;
  const int s = IsHot(SkinData);
  TControl* owner = SkinData->FOwnerControl;
  const TColor bg = SkinData->CustomColor() ? (owner ? owner->Color() : 0) : g->StateProps(s).Color;
  const TColor fg = SkinData->CustomFont() ? (owner ? owner->Font.Color : 0) : g->StateProps(s).FontColor.Color;
  if (owner) {
    if (owner->Font.Color != fg) owner->Font.Color = fg;
    if (owner->Color() == bg) return;
  } else if (static_cast<TColor>(SendMessageW(CtrlHandle, TVM_GETTEXTCOLOR, 0, 0)) != Rgb(fg)) {
    // Without an owner control nothing else gives the tree its text colour.
    SendMessageW(CtrlHandle, TVM_SETTEXTCOLOR, 0, Rgb(fg));
  }
  if (static_cast<TColor>(SendMessageW(CtrlHandle, TVM_GETBKCOLOR, 0, 0)) != Rgb(bg))
    SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, Rgb(bg));
}

void TacTreeViewWnd::RestoreStdParams() {
  TacEditWnd::RestoreStdParams();
  if (CtrlHandle && IsWindow(CtrlHandle) && IsWindowVisible(CtrlHandle)) {
    const bool owned = SkinData && SkinData->FOwnerControl;
    SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, owned ? Rgb(StdColor) : StdColor);
    SendMessageW(CtrlHandle, TVM_SETTEXTCOLOR, 0, owned ? Rgb(StdFontColor) : StdFontColor);
  }
}

void TacTreeViewWnd::acWndProc(TMessage& Message) {
  if (!SkinData || !SkinData->Skinned()) {
    TacEditWnd::acWndProc(Message);
    return;
  }
  if (Message.Msg == WM_ERASEBKGND) {
    if (SkipBG) {
      Message.Result = 0;
      return;
    }
    if (OwnerDrawsTree()) {
      CallPrevWndProc(Message);
      return;
    }
    if (SkinData->IsUpdating()) {
      if (SkinData->BGChanged) RenderControlCache(SkinData, CtrlHandle, DlgMode);
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      const bool own = !dc;
      if (own) dc = GetWindowDC(CtrlHandle);
      if (dc) {
        TColor c;
        TControl* owner = SkinData->FOwnerControl;
        const TsGeneralData* g = SectionOfData(SkinData);
        if (DlgMode)
          c = clWindow;
        else if (SkinData->CustomColor() || !g)
          c = owner ? owner->Color() : clWindow;
        else if (GetFocus() == CtrlHandle || (IsHot(SkinData) && BorderNeedsAnimation(SkinData, true)))
          c = g->StateProps(1).Color;
        else
          c = g->StateProps(0).Color;
        FillRectOnDC(dc, TRect{0, 0, WndSize.cx, WndSize.cy}, c);
        if (own) ReleaseDC(CtrlHandle, dc);
      }
      Message.Result = 1;
      return;
    }
    // The tree paints its background itself.
    Message.Result = 0;
    return;
  }
  TacEditWnd::acWndProc(Message);
  if (Message.Msg == WM_LBUTTONUP) ReleaseCapture();
}

// ---------------------------------------------------------------------------
// Properties of other component sets by name
// ---------------------------------------------------------------------------

namespace {

// The object a path of object properties names, nullptr when a step is missing.
TComponent* ObjectAt(TComponent* Root, const std::vector<const wchar_t*>& Path) {
  TComponent* o = Root;
  for (const wchar_t* name : Path) {
    if (!o) return nullptr;
    o = GetObjectProperty<TComponent>(o, name);
  }
  return o;
}

TFont* FontAt(TComponent* Root, const wchar_t* Name) { return Root ? GetObjectProperty<TFont>(Root, Name) : nullptr; }

// A colour as saved: clNone becomes the replacement when one is given.
TColor SavedColor(TComponent* Obj, const wchar_t* Name, TColor NoneTo) {
  const int raw = GetThirdPartyOrd(Obj, Name);
  if (NoneTo != clNone && static_cast<TColor>(raw) == clNone) return NoneTo;
  return GetThirdPartyColor(Obj, Name);
}

TColor Blend(TColor A, TColor B, int Weight) {
  return static_cast<TColor>(BlendTwoColors(Rgb(A), Rgb(B), static_cast<std::uint8_t>(Weight)));
}

// One colour row of a grid: the object path (empty: the control itself), the property,
// where it is saved, the clNone replacement, whether the control must have "ControlLook".
struct TGridColorRow {
  std::vector<const wchar_t*> Path;
  const wchar_t* Name;
  TColor TacGridWnd::*Field;
  TColor NoneTo;
  bool NeedsControlLook;
  int Skin;  // index into the skin values of the grid
};

enum {
  gvMain, gvLabel, gvBorder, gvGrid, gvGradFrom, gvMirrorFrom, gvMirrorTo, gvSelBG, gvSelText, gvLine, gvGlobal,
  gvIndicator, gvCount
};

std::vector<TColor> GridSkinValues(TacGridWnd* H) {
  std::vector<TColor> v(gvCount, clNone);
  TsSkinManager* m = H->SkinData ? H->SkinData->ReadSkinManager() : DefaultManager();
  if (!m) return v;
  const auto& p = m->Palette;
  v[gvMain] = p[pcMainColor];
  v[gvLabel] = p[pcLabelText];
  v[gvBorder] = p[pcBorder];
  v[gvGrid] = p[pcGrid];
  v[gvGradFrom] = Blend(p[pcMainColor], p[pcEditBG], 127);
  v[gvMirrorFrom] = Blend(p[pcMainColor], clBlack, 243);
  v[gvMirrorTo] = Blend(p[pcMainColor], clWhite, 230);
  v[gvSelBG] = p[pcSelectionBG_Focused];
  v[gvSelText] = p[pcSelectionText_Focused];
  v[gvLine] = Blend(p[pcEditBG], p[pcEditText], 205);
  TacSkinData* sd = H->SkinData ? H->SkinData->ReadCommonSkinData() : m->CommonSkinData();
  const int global = m->SkinCommonInfo.IndexGlobalInfo;
  if (SectionLoaded(sd, global)) v[gvGlobal] = sd->gd[static_cast<std::size_t>(global)].StateProps(0).Color;
  if (const TsGeneralData* g = SectionOfData(H->SkinData)) v[gvIndicator] = g->StateProps(0).FontColor.Color;
  return v;
}

const std::vector<TGridColorRow>& GridRows() {
  static const std::vector<TGridColorRow> rows = {
      {{}, L"FixedColor", &TacGridWnd::FixedColor, clNone, false, gvMain},
      {{}, L"GridFixedLineColor", &TacGridWnd::GridFixedLineColor, clNone, true, gvBorder},
      {{}, L"GridLineColor", &TacGridWnd::GridLineColor, clNone, true, gvGrid},
      {{L"ControlLook"}, L"FixedGradientFrom", &TacGridWnd::FixedGradientFrom, clBtnFace, false, gvGradFrom},
      {{L"ControlLook"}, L"FixedGradientTo", &TacGridWnd::FixedGradientTo, clBtnFace, false, gvMain},
      {{L"ControlLook"}, L"FixedGradientMirrorFrom", &TacGridWnd::FixedGradientMirrorFrom, clBtnFace, false,
       gvMirrorFrom},
      {{L"ControlLook"}, L"FixedGradientMirrorTo", &TacGridWnd::FixedGradientMirrorTo, clBtnFace, false, gvMirrorTo},
      {{}, L"SelectionColor", &TacGridWnd::SelectionColor, clNone, true, gvSelBG},
      {{}, L"SelectionTextColor", &TacGridWnd::SelectionTextColor, clNone, true, gvSelText},
      {{L"GridStyle", L"Title"}, L"StartColor", &TacGridWnd::FixedGradientFrom, clBtnFace, false, gvGradFrom},
      {{L"GridStyle", L"Title"}, L"EndColor", &TacGridWnd::FixedGradientTo, clBtnFace, false, gvMain},
      {{L"LineColors"}, L"FixedColor", &TacGridWnd::GridFixedLineColor, clNone, false, gvBorder},
      {{L"LineColors"}, L"DataColor", &TacGridWnd::GridLineColor, clNone, false, gvLine},
      {{}, L"FooterColor", &TacGridWnd::FooterColor, clNone, false, gvGlobal},
      {{}, L"FooterCellColor", &TacGridWnd::FooterCellColor, clNone, false, gvGlobal},
      {{}, L"TitleColor", &TacGridWnd::TitleColor, clNone, false, gvGlobal},
      {{}, L"IndicatorIconColor", &TacGridWnd::IndColor, clNone, false, gvIndicator},
  };
  return rows;
}

TComponent* RowObject(TComponent* Owner, const TGridColorRow& Row) {
  if (Row.NeedsControlLook && !HasProperty(Owner, L"ControlLook")) return nullptr;
  TComponent* o = ObjectAt(Owner, Row.Path);
  return o && HasProperty(o, Row.Name) ? o : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// TacGridWnd
// ---------------------------------------------------------------------------

void TacGridWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner) return;
  if (TFont* f = FontAt(owner, L"TitleFont")) TitleFontColor = f->Color;
  if (HasProperty(owner, L"ControlLook"))
    if (TFont* f = FontAt(owner, L"FixedFont")) TitleFontColor = Rgb(f->Color);
  for (const TGridColorRow& row : GridRows())
    if (TComponent* o = RowObject(owner, row)) this->*row.Field = SavedColor(o, row.Name, row.NoneTo);
}

void TacGridWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner) return;
  const std::vector<TColor> v = GridSkinValues(this);
  if (TFont* f = FontAt(owner, L"TitleFont")) f->Color = v[gvLabel];
  if (HasProperty(owner, L"ControlLook"))
    if (TFont* f = FontAt(owner, L"FixedFont")) f->Color = v[gvLabel];
  for (const TGridColorRow& row : GridRows())
    if (TComponent* o = RowObject(owner, row)) SetThirdPartyOrd(o, row.Name, static_cast<int>(v[row.Skin]));
  if (TComponent* lines = ObjectAt(owner, {L"LineColors"}))
    SetThirdPartyOrd(lines, L"ShadowColor", static_cast<int>(v[gvLine]));
}

void TacGridWnd::RestoreStdParams() {
  TacEditWnd::RestoreStdParams();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner || owner->Destroying()) return;
  if (TFont* f = FontAt(owner, L"TitleFont")) f->Color = TitleFontColor;
  if (HasProperty(owner, L"ControlLook"))
    if (TFont* f = FontAt(owner, L"FixedFont")) f->Color = TitleFontColor;
  for (const TGridColorRow& row : GridRows())
    if (TComponent* o = RowObject(owner, row)) SetThirdPartyOrd(o, row.Name, static_cast<int>(this->*row.Field));
  if (TComponent* lines = ObjectAt(owner, {L"LineColors"}))
    SetThirdPartyOrd(lines, L"ShadowColor", static_cast<int>(GridLineColor));
}

void TacGridWnd::PrintGrid(TMessage& Message) {
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  if (!dc || !SkinData) {
    TacEditWnd::acWndProc(Message);
    return;
  }
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  const int V = sBarVert && sBarVert->fScrollVisible ? ScrollBarSize(this, SB_VERT, true) : 0;
  const int Hb = sBarHorz && sBarHorz->fScrollVisible ? ScrollBarSize(this, SB_HORZ, true) : 0;
  if (SkinData->BGChanged || !SkinData->FCacheBmp || SkinData->FCacheBmp->Empty()) {
    if (!ParamsChanged) SetSkinParams();
    RenderControlCache(SkinData, CtrlHandle, false);
  }
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) {
    TacEditWnd::acWndProc(Message);
    return;
  }
  const int l = std::max(0, cxLeftEdge), t = std::max(0, cyTopEdge), r = std::max(0, cxRightEdge),
            b = std::max(0, cyBottomEdge);
  std::unique_ptr<TBitmap> work;
  HDC target = dc;
  if (fLeftScrollbar) {
    work = NewBitmap32(V + WndSize.cx, WndSize.cy);
    if (work->Empty()) return;
    BitBlt(work->Canvas().Handle(), 0, 0, work->Width(), work->Height(), dc, 0, 0, SRCCOPY);
    target = work->Canvas().Handle();
  }
  const int saved = SaveDC(target);
  SetWindowOrgEx(target, -l, -t, nullptr);
  if (sBarVert || sBarHorz) IntersectClipRect(target, 0, 0, cache->Width() - l - r - V, cache->Height() - t - b - Hb);
  TMessage paint{WM_PAINT, reinterpret_cast<WPARAM>(target), 0, 0};
  CallPrevWndProc(paint);
  Message.Result = paint.Result;
  RestoreDC(target, saved);
  if (work) BitBlt(dc, V + l, t, work->Width(), work->Height(), work->Canvas().Handle(), 0, 0, SRCCOPY);
  BlitBorderStrips(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, l, t, r, b);
  PaintScrollBars(this, CtrlHandle, -1, dc);
}

void TacGridWnd::GridWndProc(TMessage& Message) {
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      if (SkinData) SkinData->FUpdating = SkinData->IsUpdating();
      Message.Result = 1;
      return;
    case WM_VSCROLL:
      if (owner && HasProperty(owner, L"DataSource")) {
        const int code = LOWORD(Message.WParam);
        if (code == SB_THUMBPOSITION || code == SB_THUMBTRACK) {
          SCROLLINFO si{28, SIF_ALL, 0, 0, 0, 0, 0};
          GetScrollInfo(CtrlHandle, SB_VERT, &si);
          si.fMask = SIF_POS;
          si.nPos = si.nTrackPos;
          SetScrollInfo(CtrlHandle, SB_VERT, &si, FALSE);
        } else if (code == SB_ENDSCROLL && owner->ClassName() == L"TwwDBGrid") {
          SCROLLINFO si{28, SIF_TRACKPOS, 0, 0, 0, 0, 0};
          GetScrollInfo(CtrlHandle, SB_VERT, &si);
          DoScrollCode(CtrlHandle, WM_VSCROLL, SB_THUMBPOSITION, si.nTrackPos);
        }
      }
      break;
    case WM_LBUTTONUP:
      if (sBarVert && sBarVert->fScrollVisible) {
        const TRect v = VertScrollBarRect(this, CtrlHandle);
        const RECT r{v.Left, v.Top, v.Right, v.Bottom};
        POINT cursor{};
        if (GetCursorPos(&cursor) && PtInRect(&r, cursor)) {
          // A release over the bar is the bar's: after a press on the bar the grid must not
          // take it for a release over its cells (it would end a cell selection there).
          TMessage up{WM_LBUTTONUP, static_cast<WPARAM>(-1), Message.LParam, 0};
          TacScrollWnd::acWndProc(up);
          Message.Result = up.Result;
          return;
        }
      }
      break;
    case WM_PRINT:
      PrintGrid(Message);
      return;
  }
  TacEditWnd::acWndProc(Message);
  switch (Message.Msg) {
    case WM_PAINT:
      RefreshScrollBars(this, true);
      break;
    case WM_WINDOWPOSCHANGED:
      if (IsWindowVisible(CtrlHandle)) SendMessageW(CtrlHandle, WM_NCPAINT, 1, 0);
      break;
    case SM_SKINCOMMAND:
      if (SkinCommandOf(Message.WParam) == SKCMD_REMOVE_SKIN && SkinData &&
          reinterpret_cast<LPARAM>(SkinData->ReadSkinManager()) == Message.LParam && owner &&
          HasProperty(owner, L"ScrollBars")) {
        // The grid makes its scroll bars again.
        const int bars = GetOrdProperty(owner, L"ScrollBars");
        SetOrdProperty(owner, L"ScrollBars", 0);
        SetOrdProperty(owner, L"ScrollBars", bars);
      }
      break;
  }
}

void TacGridWnd::acWndProc(TMessage& Message) { GridWndProc(Message); }

// ---------------------------------------------------------------------------
// TacGridEhWnd
// ---------------------------------------------------------------------------

namespace {

struct TEhColorRow {
  std::vector<const wchar_t*> Path;
  const wchar_t* Name;
  TColor TacGridEhWnd::*Field;
  int Skin;
};

enum { evBright, evGrid, evDark, evMain, evLight, evLabel, evCount };

const std::vector<TEhColorRow>& EhRows() {
  static const std::vector<TEhColorRow> rows = {
      {{L"GridLineParams"}, L"BrightColor", &TacGridEhWnd::BrightColor, evBright},
      {{L"GridLineParams"}, L"DataHorzColor", &TacGridEhWnd::DataHorzColor, evGrid},
      {{L"GridLineParams"}, L"DataVertColor", &TacGridEhWnd::DataVertColor, evGrid},
      {{L"GridLineParams"}, L"DarkColor", &TacGridEhWnd::DarkColor, evDark},
      {{L"RowCategories"}, L"Color", &TacGridEhWnd::CategoriesColor, evLight},
      {{L"RowDetailPanel"}, L"Color", &TacGridEhWnd::RowDetailColor, evMain},
  };
  return rows;
}

std::vector<TColor> EhSkinValues(TacGridEhWnd* H) {
  std::vector<TColor> v(evCount, clNone);
  TsSkinManager* m = H->SkinData ? H->SkinData->ReadSkinManager() : DefaultManager();
  if (!m) return v;
  const auto& p = m->Palette;
  v[evBright] = Blend(clWhite, p[pcEditBG], 51);
  v[evGrid] = p[pcGrid];
  v[evDark] = Blend(clBlack, p[pcMainColor], 77);
  v[evMain] = p[pcMainColor];
  v[evLight] = Blend(clWhite, p[pcMainColor], 26);
  v[evLabel] = p[pcLabelText];
  return v;
}

TComponent* EhRowObject(TComponent* Owner, const TEhColorRow& Row) {
  TComponent* o = ObjectAt(Owner, Row.Path);
  return o && HasProperty(o, Row.Name) ? o : nullptr;
}

bool StyleServicesEnabled() { return StyleServices().Enabled(); }

// The even and odd row colours are touched only when the grid had them different.
bool RowColorsDiffer(TacGridEhWnd* H) { return H->EvenRowColor != H->OddRowColor; }

}  // namespace

void TacGridEhWnd::SaveStdParams() {
  TacGridWnd::SaveStdParams();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner) return;
  if (StyleServicesEnabled()) Fixed3D = SetPropertyHas(owner, L"OptionsEh", L"dghFixed3D");
  if (HasProperty(owner, L"EvenRowColor")) EvenRowColor = SavedColor(owner, L"EvenRowColor", clWindow);
  if (HasProperty(owner, L"OddRowColor")) OddRowColor = SavedColor(owner, L"OddRowColor", clWindow);
  for (const TEhColorRow& row : EhRows())
    if (TComponent* o = EhRowObject(owner, row)) this->*row.Field = GetThirdPartyColor(o, row.Name);
  if (TComponent* ind = ObjectAt(owner, {L"IndicatorParams"})) {
    if (HasProperty(ind, L"Color")) IndColor = static_cast<TColor>(GetOrdProperty(ind, L"Color"));
    if (HasProperty(ind, L"HorzLines")) IndHorzLines = GetOrdProperty(ind, L"HorzLines");
    if (HasProperty(ind, L"VertLines")) IndVertLines = GetOrdProperty(ind, L"VertLines");
    if (HasProperty(ind, L"FillStyle")) InfFillStyle = GetOrdProperty(ind, L"FillStyle");
  }
  if (TComponent* title = ObjectAt(owner, {L"TitleParams"})) {
    if (HasProperty(title, L"Color")) TitleColor = GetThirdPartyColor(title, L"Color");
    if (HasProperty(title, L"SecondColor")) FixedGradientTo = GetThirdPartyColor(title, L"SecondColor");
    if (HasProperty(title, L"FillStyle")) TitleFillStyle = GetOrdProperty(title, L"FillStyle");
    if (HasProperty(title, L"VertLineColor")) GridFixedLineColor = GetThirdPartyColor(title, L"VertLineColor");
  }
  if (TComponent* group = ObjectAt(owner, {L"DataGrouping"}))
    if (GetOrdProperty(group, L"ParentColor") == 1 && HasProperty(group, L"Color"))
      DataGroupColor = GetThirdPartyColor(group, L"Color");
  if (TComponent* cat = ObjectAt(owner, {L"RowCategories"}))
    if (TFont* f = FontAt(cat, L"Font")) CategoriesFontColor = f->Color;
}

void TacGridEhWnd::SetSkinParams() {
  TacGridWnd::SetSkinParams();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner) return;
  TsSkinManager* m = SkinData->ReadSkinManager() ? SkinData->ReadSkinManager() : DefaultManager();
  const std::vector<TColor> v = EhSkinValues(this);
  if (StyleServicesEnabled()) ChangeSetProperty(owner, L"OptionsEh", L"dghFixed3D", false);
  if (m && RowColorsDiffer(this)) {
    if (HasProperty(owner, L"EvenRowColor")) SetThirdPartyOrd(owner, L"EvenRowColor", static_cast<int>(m->Palette[pcEditBG_EvenRow]));
    if (HasProperty(owner, L"OddRowColor")) SetThirdPartyOrd(owner, L"OddRowColor", static_cast<int>(m->Palette[pcEditBG_OddRow]));
  }
  for (const TEhColorRow& row : EhRows())
    if (TComponent* o = EhRowObject(owner, row)) SetThirdPartyOrd(o, row.Name, static_cast<int>(v[row.Skin]));
  if (TComponent* ind = ObjectAt(owner, {L"IndicatorParams"})) {
    SetThirdPartyOrd(ind, L"Color", static_cast<int>(v[evMain]));
    SetThirdPartyOrd(ind, L"HorzLines", 0);
    SetThirdPartyOrd(ind, L"VertLines", 0);
    SetThirdPartyOrd(ind, L"FillStyle", 2);
  }
  if (TComponent* title = ObjectAt(owner, {L"TitleParams"})) {
    SetThirdPartyOrd(title, L"Color", static_cast<int>(v[evMain]));
    SetThirdPartyOrd(title, L"SecondColor", static_cast<int>(v[evLight]));
    SetThirdPartyOrd(title, L"FillStyle", 3);
    SetThirdPartyOrd(title, L"VertLineColor", static_cast<int>(m ? m->Palette[pcBorder] : clNone));
  }
  if (TComponent* group = ObjectAt(owner, {L"DataGrouping"}))
    if (GetOrdProperty(group, L"ParentColor") == 1) SetThirdPartyOrd(group, L"Color", static_cast<int>(v[evLight]));
  if (TComponent* cat = ObjectAt(owner, {L"RowCategories"}))
    if (TFont* f = FontAt(cat, L"Font")) f->Color = v[evLabel];
  AddToFormAdapter(owner);
}

void TacGridEhWnd::RestoreStdParams() {
  TacGridWnd::RestoreStdParams();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner || owner->Destroying()) return;
  if (StyleServicesEnabled()) ChangeSetProperty(owner, L"OptionsEh", L"dghFixed3D", Fixed3D);
  if (RowColorsDiffer(this)) {
    if (HasProperty(owner, L"EvenRowColor")) SetThirdPartyOrd(owner, L"EvenRowColor", static_cast<int>(EvenRowColor));
    if (HasProperty(owner, L"OddRowColor")) SetThirdPartyOrd(owner, L"OddRowColor", static_cast<int>(OddRowColor));
  }
  for (const TEhColorRow& row : EhRows())
    if (TComponent* o = EhRowObject(owner, row)) SetThirdPartyOrd(o, row.Name, static_cast<int>(this->*row.Field));
  if (TComponent* ind = ObjectAt(owner, {L"IndicatorParams"})) {
    SetThirdPartyOrd(ind, L"Color", static_cast<int>(IndColor));
    SetThirdPartyOrd(ind, L"HorzLines", IndHorzLines);
    SetThirdPartyOrd(ind, L"VertLines", IndVertLines);
    SetThirdPartyOrd(ind, L"FillStyle", InfFillStyle);
  }
  if (TComponent* title = ObjectAt(owner, {L"TitleParams"})) {
    SetThirdPartyOrd(title, L"Color", static_cast<int>(TitleColor));
    SetThirdPartyOrd(title, L"SecondColor", static_cast<int>(FixedGradientTo));
    SetThirdPartyOrd(title, L"FillStyle", TitleFillStyle);
    SetThirdPartyOrd(title, L"VertLineColor", static_cast<int>(GridFixedLineColor));
  }
  if (TComponent* group = ObjectAt(owner, {L"DataGrouping"}))
    if (GetOrdProperty(group, L"ParentColor") == 1) SetThirdPartyOrd(group, L"Color", static_cast<int>(DataGroupColor));
  if (TComponent* cat = ObjectAt(owner, {L"RowCategories"}))
    if (TFont* f = FontAt(cat, L"Font")) f->Color = CategoriesFontColor;
}

void TacGridEhWnd::acWndProc(TMessage& Message) {
  GridWndProc(Message);
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner) return;
  if (Message.Msg == WM_WINDOWPOSCHANGED && IsWindowVisible(CtrlHandle) && Message.LParam &&
      (reinterpret_cast<WINDOWPOS*>(Message.LParam)->flags & SWP_FRAMECHANGED))
    AddToFormAdapter(owner);
  if (Message.Msg == WM_PARENTNOTIFY && LOWORD(Message.WParam) == WM_CREATE)
    if (TsSkinManager* m = ManagerOfData(SkinData); m && (m->SkinningRules() & srThirdParty)) AddToFormAdapter(owner);
}

// ---------------------------------------------------------------------------
// TacVirtualTreeViewWnd
// ---------------------------------------------------------------------------

namespace {

struct TVtColorRow {
  const wchar_t* Object;
  const wchar_t* Name;
  TColor TacVirtualTreeViewWnd::*Field;
  TColor OnlyWhenSaved;  // clNone: always
  int Skin;
};

enum { vvFont, vvSelFocused, vvSel, vvSelText, vvEditText, vvCount };

const std::vector<TVtColorRow>& VtRows() {
  static const std::vector<TVtColorRow> rows = {
      {L"VETColors", L"CompressedTextColor", &TacVirtualTreeViewWnd::CompressedTextColor, clNone, vvFont},
      {L"VETColors", L"FileTextColor", &TacVirtualTreeViewWnd::FileTextColor, clNone, vvFont},
      {L"VETColors", L"FolderTextColor", &TacVirtualTreeViewWnd::FolderTextColor, clNone, vvFont},
      {L"Colors", L"FocusedSelectionColor", &TacVirtualTreeViewWnd::FocusedSelectionColor, clHighlight, vvSelFocused},
      {L"Colors", L"UnfocusedSelectionColor", &TacVirtualTreeViewWnd::UnfocusedSelectionColor, clHighlight, vvSel},
      {L"Colors", L"FocusedSelectionBorderColor", &TacVirtualTreeViewWnd::FocusedSelectionBorderColor, clHighlight,
       vvSelFocused},
      {L"Colors", L"UnfocusedSelectionBorderColor", &TacVirtualTreeViewWnd::UnfocusedSelectionBorderColor,
       clHighlight, vvSel},
      {L"Colors", L"SelectionTextColor", &TacVirtualTreeViewWnd::SelectionTextColor, clHighlightText, vvSelText},
      {L"Colors", L"HotColor", &TacVirtualTreeViewWnd::HotColor, clNone, vvEditText},
  };
  return rows;
}

}  // namespace

void TacVirtualTreeViewWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner) return;
  for (const TVtColorRow& row : VtRows())
    if (TComponent* o = ObjectAt(owner, {row.Object}); o && HasProperty(o, row.Name))
      this->*row.Field = static_cast<TColor>(GetOrdProperty(o, row.Name));
  if (TComponent* header = ObjectAt(owner, {L"Header"})) OwnerDraw = SetPropertyHas(header, L"Options", L"hoOwnerDraw");
}

void TacVirtualTreeViewWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  TsSkinManager* m = ManagerOfData(SkinData);
  if (!owner || !m) return;
  const auto& p = m->Palette;
  TColor v[vvCount] = {clNone, p[pcSelectionBG_Focused], p[pcSelectionBG], p[pcSelectionText_Focused], p[pcEditText]};
  if (const TsGeneralData* g = SectionOfData(SkinData)) v[vvFont] = g->StateProps(0).FontColor.Color;
  for (const TVtColorRow& row : VtRows()) {
    TComponent* o = ObjectAt(owner, {row.Object});
    if (!o || !HasProperty(o, row.Name)) continue;
    if (row.OnlyWhenSaved != clNone && this->*row.Field != row.OnlyWhenSaved) continue;
    if (row.Skin == vvFont && v[vvFont] == clNone) continue;
    SetOrdProperty(o, row.Name, static_cast<int>(v[row.Skin]));
  }
  if (auto* events = dynamic_cast<IacHeaderDrawEvents*>(owner)) {
    TAdvancedHeaderPaintEvent* draw = events->AdvancedHeaderDrawEvent();
    if (draw && !*draw) {
      *draw = [this](TComponent* Sender, THeaderPaintInfo& Info, THeaderPaintElements Elements) {
        AdvancedHeaderDraw(Sender, Info, Elements);
      };
      AssignedHeaderDraw = true;
      THeaderPaintQueryElementsEvent* query = events->HeaderDrawQueryElementsEvent();
      if (query) {
        if (!*query) {
          *query = [this](TComponent* Sender, THeaderPaintInfo& Info, THeaderPaintElements& Elements) {
            HeaderDrawQueryElements(Sender, Info, Elements);
          };
          AssignedQueryElements = true;
        }
        if (TComponent* header = ObjectAt(owner, {L"Header"})) ChangeSetProperty(header, L"Options", L"hoOwnerDraw", true);
      }
    }
  }
  if (TComponent* info = ObjectAt(owner, {L"PaintInfoColumn"})) {
    SetThirdPartyOrd(info, L"Color", static_cast<int>(p[pcMainColor]));
    SetThirdPartyOrd(info, L"Style", 1);
    if (TComponent* header = ObjectAt(owner, {L"Header"})) {
      SetThirdPartyOrd(header, L"Color", static_cast<int>(p[pcEditBG]));
      if (TFont* f = FontAt(header, L"Font")) f->Color = p[pcLabelText];
    }
    if (CtrlHandle && IsWindow(CtrlHandle)) RedrawWindow(CtrlHandle, nullptr, nullptr, 0x545);
  }
}

void TacVirtualTreeViewWnd::RestoreStdParams() {
  TacEditWnd::RestoreStdParams();
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner || owner->Destroying()) return;
  for (const TVtColorRow& row : VtRows())
    if (TComponent* o = ObjectAt(owner, {row.Object}); o && HasProperty(o, row.Name))
      SetOrdProperty(o, row.Name, static_cast<int>(this->*row.Field));
  if (auto* events = dynamic_cast<IacHeaderDrawEvents*>(owner)) {
    // Only the events this handler gave are taken away: the control's own stay.
    if (AssignedHeaderDraw)
      if (TAdvancedHeaderPaintEvent* draw = events->AdvancedHeaderDrawEvent()) *draw = nullptr;
    if (AssignedQueryElements)
      if (THeaderPaintQueryElementsEvent* query = events->HeaderDrawQueryElementsEvent()) *query = nullptr;
    AssignedHeaderDraw = AssignedQueryElements = false;
  }
  if (TComponent* header = ObjectAt(owner, {L"Header"})) ChangeSetProperty(header, L"Options", L"hoOwnerDraw", OwnerDraw);
  if (TComponent* info = ObjectAt(owner, {L"PaintInfoColumn"})) {
    SetThirdPartyOrd(owner, L"Themed", 1);
    SetThirdPartyOrd(info, L"Color", static_cast<int>(clBtnFace));
    if (TComponent* header = ObjectAt(owner, {L"Header"})) {
      SetThirdPartyOrd(header, L"Color", static_cast<int>(clBtnFace));
      if (TFont* f = FontAt(header, L"Font")) f->Color = clBtnText;
    }
  }
}

void TacVirtualTreeViewWnd::HeaderDrawQueryElements(TComponent*, THeaderPaintInfo&, THeaderPaintElements& Elements) {
  Elements = (1u << hpeBackground) | (1u << hpeDropMark) | (1u << hpeSortGlyph) | (1u << hpeText);
}

void TacVirtualTreeViewWnd::AdvancedHeaderDraw(TComponent* Sender, THeaderPaintInfo& PaintInfo,
                                               THeaderPaintElements Elements) {
  if (DontRepaint || !SkinData || !SkinData->Skinned() || !PaintInfo.TargetCanvas) return;
  TsSkinManager* m = ManagerOfData(SkinData);
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  if (!m || !sd) return;
  const TRect pr = PaintInfo.PaintRectangle;
  if (pr.IsEmpty()) return;
  int section = sd->GetSkinIndex(L"COLHEADER");
  if (!SectionLoaded(sd, section)) section = sd->GetSkinIndex(L"BUTTON");
  HDC target = PaintInfo.TargetCanvas->Handle();
  std::unique_ptr<TBitmap> bmp = NewBitmap32(pr.Width(), pr.Height());
  if (bmp->Empty()) return;
  TBitmap* cache = SkinData->FCacheBmp.get();
  auto paintSection = [&](int State) {
    if (!SectionLoaded(sd, section)) return;
    TCacheInfo ci = cache && !cache->Empty() ? MakeCacheInfo(cache, -pr.Left, -pr.Top) : MakeCacheInfo(bmp.get());
    PaintSkinSection(section, ci, State, TRect{0, 0, pr.Width(), pr.Height()}, TPoint{pr.Left, pr.Top}, bmp.get(), sd);
  };
  auto copyOut = [&] {
    BitBlt(target, pr.Left, pr.Top, pr.Width(), pr.Height(), bmp->Canvas().Handle(), 0, 0, SRCCOPY);
  };
  if (!PaintInfo.Column) {
    paintSection(0);
    copyOut();
    return;
  }
  const int state = PaintInfo.IsDownIndex ? 2 : (PaintInfo.IsHoverIndex ? 1 : 0);
  if (Elements & (1u << hpeBackground)) {
    paintSection(state);
    copyOut();
    return;
  }
  BitBlt(bmp->Canvas().Handle(), 0, 0, pr.Width(), pr.Height(), target, pr.Left, pr.Top, SRCCOPY);
  TControl* owner = SkinData->FOwnerControl;
  TComponent* header = owner ? ObjectAt(owner, {L"Header"}) : nullptr;
  TCanvas& canvas = bmp->Canvas();
  if (header)
    if (TFont* f = FontAt(header, L"Font")) canvas.Font.Assign(*f);
  canvas.Brush.Style = bsClear;
  std::wstring text;
  if (auto* events = dynamic_cast<IacHeaderDrawEvents*>(owner)) text = events->ColumnText(PaintInfo.Column);
  TRect tr{PaintInfo.TextRectangle.Left - pr.Left, PaintInfo.TextRectangle.Top - pr.Top,
           PaintInfo.TextRectangle.Right - pr.Left, PaintInfo.TextRectangle.Bottom - pr.Top};
  if ((Elements & (1u << hpeText)) && !(Elements & (1u << hpeDropMark)) && !text.empty())
    WriteSkinText(&canvas, text.c_str(), true, tr, 0, section, state != 0 ? 1 : 0, m);
  if ((Elements & (1u << hpeSortGlyph)) && PaintInfo.ShowSortGlyph && header) {
    const int glyph = GetOrdProperty(header, L"SortDirection") == 0 ? sd->ScrollBtns[1].GlyphIndex
                                                                      : sd->ScrollBtns[3].GlyphIndex;
    const int x = PaintInfo.SortGlyphPos.X - pr.Left;
    if (MaskLoaded(sd, glyph)) {
      const TsMaskData& g = sd->ma[static_cast<std::size_t>(glyph)];
      const TPoint gs = sd->MaskImageSize(g);
      DrawMaskStateImage(bmp.get(), TPoint{x, (pr.Height() - gs.Y) / 2}, state, 1, g, MakeCacheInfo(bmp.get()));
    } else {
      TColor c = clBlack;
      const int btn = sd->ScrollBtns[1].SkinIndex;
      if (SectionLoaded(sd, btn)) c = sd->gd[static_cast<std::size_t>(btn)].StateProps(std::min(state, 2)).FontColor.Color;
      int y = (pr.Height() - 3) / 2, ax = x;
      if (state == 2 && ContentShiftsOnClick(SkinData->SkinIndex, sd)) {
        ++ax;
        ++y;
      }
      DrawArrowTriangle(bmp.get(), c, TRect{ax, y, ax + 6, y + 3}, 1, 96);
    }
  }
  if ((Elements & (1u << hpeDropMark)) && !text.empty()) {
    UINT flags = DT_END_ELLIPSIS | DT_VCENTER;
    flags |= SetPropertyHas(PaintInfo.Column, L"Options", L"coWrapCaption") ? DT_WORDBREAK : DT_SINGLELINE;
    WriteSkinText(&canvas, text.c_str(), true, tr, flags, section, state != 0 ? 1 : 0, m);
  }
  copyOut();
}

void TacVirtualTreeViewWnd::acWndProc(TMessage& Message) {
  if (!SkinData || !SkinData->Skinned()) {
    TacEditWnd::acWndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_NCPAINT: {
      if (!IsWindowVisible(CtrlHandle)) break;
      ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
      if (SkinData->IsUpdating()) return;
      if (SkinData->BGChanged) {
        if (!ParamsChanged) SetSkinParams();
        RenderControlCache(SkinData, CtrlHandle, false);
      }
      PaintBorderCorners(SkinData, 0, this);
      HDC dc = GetWindowDC(CtrlHandle);
      if (!dc) return;
      TBitmap* cache = SkinData->FCacheBmp.get();
      if (cache && !cache->Empty() && (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE))
        BlitBorderStrips(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, 2);
      TMessage print{WM_PRINT, reinterpret_cast<WPARAM>(dc), 0, 0};
      CallPrevWndProc(print);
      PaintScrollBars(this, CtrlHandle, -1, dc);
      ReleaseDC(CtrlHandle, dc);
      Message.Result = 0;
      return;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (LOWORD(Message.WParam) == SB_THUMBTRACK) {
        const int bar = Message.Msg == WM_HSCROLL ? SB_HORZ : SB_VERT;
        SCROLLINFO si{sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
        GetScrollInfo(CtrlHandle, bar, &si);
        si.fMask = SIF_POS;
        si.nPos = si.nTrackPos;
        SetScrollInfo(CtrlHandle, bar, &si, FALSE);
        if (Message.Msg == WM_VSCROLL) {
          SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
          TacEditWnd::acWndProc(Message);
          SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
          RedrawWindow(CtrlHandle, nullptr, nullptr, 0x585);
          return;
        }
      }
      TacEditWnd::acWndProc(Message);
      return;
    case WM_PRINT: {
      SkinData->FUpdating = false;
      if (SkinData->BGChanged) {
        if (!ParamsChanged) SetSkinParams();
        RenderControlCache(SkinData, CtrlHandle, false);
      }
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      if (!dc) break;
      TControl* owner = SkinData->FOwnerControl;
      int down = std::max(0, cxLeftEdge);
      if (TComponent* header = owner ? ObjectAt(owner, {L"Header"}) : nullptr)
        if (SetPropertyHas(header, L"Options", L"hoVisible")) down += GetOrdProperty(header, L"Height");
      const int saved = SaveDC(dc);
      SetWindowOrgEx(dc, -std::max(0, cxLeftEdge), -down, nullptr);
      TMessage client{WM_PRINTCLIENT, Message.WParam, 0, 0};
      CallPrevWndProc(client);
      RestoreDC(dc, saved);
      CallPrevWndProc(Message);
      PaintBorderCorners(SkinData, 0, this);
      TBitmap* cache = SkinData->FCacheBmp.get();
      if (cache && !cache->Empty())
        BlitBorderStrips(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0,
                         std::max(0, cxLeftEdge));
      PaintScrollBars(this, CtrlHandle, -1, dc);
      return;
    }
  }
  TacEditWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// Registration
// ---------------------------------------------------------------------------

void RegisterListHandlerKinds() {
  RegisterHandlerKind(L"TacListViewWnd", HandlerMakerOf<TacListViewWnd>());
  RegisterHandlerKind(L"TacTreeViewWnd", HandlerMakerOf<TacTreeViewWnd>());
  RegisterHandlerKind(L"TacGridWnd", HandlerMakerOf<TacGridWnd>());
  RegisterHandlerKind(L"TacGridEhWnd", HandlerMakerOf<TacGridEhWnd>());
  RegisterHandlerKind(L"TacVirtualTreeViewWnd", HandlerMakerOf<TacVirtualTreeViewWnd>());
}
