// List views, tree views and grids on real windows: the column header painted from
// "COLHEADER" (else "BUTTON") with hot, blank and pressed cells, the sort arrow beside the
// text, display order for dragged columns; colours and the font given back; a header
// subclassed on top surviving the release; tree colours and erasing; grid property rows on
// stand-ins and a release over the grid's scroll bar kept from the grid.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "HandlerFixtures.h"
#include "platform/ui/ComCtrls.Lists.h"
#include "platform/ui/Properties.h"
#include "skin/handlers/acSBUtils.Lists.h"
#include "skin/handlers/acSBUtils.Scroll.h"
#include "skin/handlers/acSBUtils.Track.h"
#include "skin/manager/sCommonData.h"
#include "support/GdiCensus.h"

using namespace handler_tests;

namespace {

constexpr std::uint32_t Col0 = 0x8090A0, Col1 = 0x90A0B0, Col2 = 0x7080F0, ColFont0 = 0x101010, Button0 = 0x40A040,
                        EditFill = 0xF0F0F0;

void HoldForAShot() {
  if (const char* ms = std::getenv("TARVEL_HANDLER_SHOT")) PumpMessagesFor(static_cast<DWORD>(std::atoi(ms)));
}

struct TCapture {
  std::vector<std::uint32_t> Px;
  int W = 0, H = 0;
  explicit TCapture(HWND Wnd) { Px = CaptureClient(Wnd, W, H); }
  std::uint32_t At(int X, int Y) const { return Px[static_cast<std::size_t>(Y) * W + X]; }
};

HWND HeaderOf(HWND List) { return reinterpret_cast<HWND>(SendMessageW(List, LVM_GETHEADER, 0, 0)); }

class ListHandlers : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    UseSkin(L"Tarvel Track");
    RegisterListHandlerKinds();
  }
  void TearDown() override { TComponent::Free(M); }
  void UseSkin(const wchar_t* Name) {
    if (M) TComponent::Free(M);
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"skins-track"));
    M->SetSkinName(Name);
    ASSERT_TRUE(M->IsActive());
  }
  TacSkinParams Params(const wchar_t* Section, TControl* Control = nullptr) {
    TacSkinParams p;
    p.SkinSection = Section;
    p.Control = Control;
    p.UseSkinColor = p.UseSkinFontColor = true;
    return p;
  }
  // A report-view list of three columns with draggable columns.
  HWND NewList(HWND Parent) {
    HWND l = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 10, 10, 360, 160,
                             Parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(l, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP, LVS_EX_HEADERDRAGDROP);
    const wchar_t* names[] = {L"Name", L"Size", L"Kind"};
    for (int i = 0; i < 3; ++i) {
      LVCOLUMNW c{};
      c.mask = LVCF_TEXT | LVCF_WIDTH;
      c.pszText = const_cast<wchar_t*>(names[i]);
      c.cx = 90;
      SendMessageW(l, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
    }
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.pszText = const_cast<wchar_t*>(L"First");
    SendMessageW(l, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return l;
  }
  TacListViewWnd* SkinList(HWND List) {
    auto* h = static_cast<TacListViewWnd*>(CreateHandler(L"TacListViewWnd", List, false, Params(L"EDIT"), M, nullptr));
    RedrawWindow(List, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessagesFor(30);
    return h;
  }
  // Hit-tests the header at a client point (as a mouse move over it does), then captures it.
  void HoverHeader(HWND Header, int X, int Y) {
    POINT pt{X, Y};
    ClientToScreen(Header, &pt);
    SendMessageW(Header, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    RedrawWindow(Header, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  }
  TsSkinManager* M = nullptr;
};

RECT ItemRect(HWND Header, int Item) {
  RECT r{};
  SendMessageW(Header, HDM_GETITEMRECT, Item, reinterpret_cast<LPARAM>(&r));
  return r;
}

}  // namespace

// Cells in "COLHEADER" states: normal, hot under the mouse (by item, in display order when
// columns were dragged), the blank area right of the columns hot as index -2, the pressed
// column; "BUTTON" for a skin without "COLHEADER".
TEST_F(ListHandlers, HeaderCellsFollowTheMouse) {
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 220);
  HWND list = NewList(parent.Wnd);
  TacListViewWnd* h = SkinList(list);
  ASSERT_TRUE(h);
  HWND header = HeaderOf(list);
  ASSERT_EQ(h->FhWndHeader, header);
  const int y = 3;
  {
    TCapture cap(header);
    EXPECT_EQ(cap.At(2, y), Col0);
    EXPECT_EQ(cap.At(100, y), Col0);
    EXPECT_EQ(cap.At(300, y), Col0);  // the blank cell
  }
  HoverHeader(header, 95, y);
  EXPECT_EQ(h->HoverColIndex, 1);
  {
    TCapture cap(header);
    EXPECT_EQ(cap.At(2, y), Col0);
    EXPECT_EQ(cap.At(95, y), Col1);
  }
  HoverHeader(header, 320, y);
  EXPECT_EQ(h->HoverColIndex, -2);
  EXPECT_EQ(TCapture(header).At(320, y), Col1);
  // Columns in another order: the cell shown first is item 2.
  int order[3] = {2, 0, 1};
  SendMessageW(header, HDM_SETORDERARRAY, 3, reinterpret_cast<LPARAM>(order));
  const RECT item2 = ItemRect(header, 2);
  EXPECT_EQ(h->GetHeaderColumnRect(0), (TRect{item2.left, item2.top, item2.right, item2.bottom}));
  HoverHeader(header, item2.left + 5, y);
  EXPECT_EQ(h->HoverColIndex, 2);
  EXPECT_EQ(TCapture(header).At(item2.left + 5, y), Col1);
  // Leaving the header area ends the hover.
  POINT inList{100, 100};
  ClientToScreen(list, &inList);
  SendMessageW(list, WM_NCHITTEST, 0, MAKELPARAM(inList.x, inList.y));
  EXPECT_EQ(h->HoverColIndex, -1);
  // A press shows the pressed state on its column.
  const RECT item0 = ItemRect(header, 0);
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item0.left + 20, y));
  EXPECT_EQ(h->FPressedColumn, 0);
  UpdateWindow(header);
  EXPECT_EQ(TCapture(header).At(item0.left + 3, y), Col2);
  SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(item0.left + 20, y));
  ReleaseCapture();
  EXPECT_EQ(h->FPressedColumn, -1);
  HoldForAShot();
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
  DestroyWindow(list);

  UseSkin(L"Tarvel Track NoColHeader");
  list = NewList(parent.Wnd);
  h = SkinList(list);
  EXPECT_EQ(TCapture(HeaderOf(list)).At(2, y), Button0);
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
  DestroyWindow(list);
}

// Without a skin glyph the sort arrow is a small triangle 6 pixels right of the text.
TEST_F(ListHandlers, SortArrowBesideTheText) {
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 220);
  HWND list = NewList(parent.Wnd);
  HWND header = HeaderOf(list);
  HDITEMW item{};
  item.mask = HDI_FORMAT;
  item.fmt = HDF_STRING | HDF_LEFT | HDF_SORTUP;
  SendMessageW(header, HDM_SETITEMW, 1, reinterpret_cast<LPARAM>(&item));
  TacListViewWnd* h = SkinList(list);
  // The text's width in the list's font.
  HDC dc = GetDC(header);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
  SIZE extent{};
  GetTextExtentPoint32W(dc, L"Size", 4, &extent);
  SelectObject(dc, old);
  ReleaseDC(header, dc);
  const RECT r = ItemRect(header, 1);
  const int arrowLeft = r.left + 4 + extent.cx + 5 + 6;
  TCapture cap(header);
  // Font-coloured pixels right of the text: the arrow, centred in its 6-pixel box.
  int left = -1, right = -1;
  for (int x = r.left + 4 + extent.cx + 2; x < r.right; ++x)
    for (int yy = 0; yy < cap.H; ++yy)
      if (cap.At(x, yy) == ColFont0) {
        if (left < 0) left = x;
        right = x;
      }
  ASSERT_GE(left, 0);
  EXPECT_NEAR((left + right) / 2.0, arrowLeft + 3, 1.5);
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
  DestroyWindow(list);
}

// Colours and the font come back after the release; a procedure put on the header after
// the handler took it keeps working.
TEST_F(ListHandlers, ColoursFontAndHeaderGivenBack) {
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 220);
  HWND list = NewList(parent.Wnd);
  const LRESULT bk = SendMessageW(list, LVM_GETBKCOLOR, 0, 0), text = SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0),
                textBk = SendMessageW(list, LVM_GETTEXTBKCOLOR, 0, 0), font = SendMessageW(list, WM_GETFONT, 0, 0);
  TacListViewWnd* h = SkinList(list);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)), RGB(0xF0, 0xF0, 0xF0));
  const LRESULT given = SendMessageW(list, WM_GETFONT, 0, 0);
  // Painting gives no new font.
  for (int i = 0; i < 5; ++i) RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(SendMessageW(list, WM_GETFONT, 0, 0), given);
  static WNDPROC below = nullptr;
  static int onTop = 0;
  HWND header = HeaderOf(list);
  below = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        ++onTop;
        return CallWindowProcW(below, w, m, wp, lp);
      })));
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
  EXPECT_EQ(SendMessageW(list, LVM_GETBKCOLOR, 0, 0), bk);
  EXPECT_EQ(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0), text);
  EXPECT_EQ(SendMessageW(list, LVM_GETTEXTBKCOLOR, 0, 0), textBk);
  EXPECT_EQ(SendMessageW(list, WM_GETFONT, 0, 0), font);
  if (given != font) EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(given)), 0u);
  onTop = 0;
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_GT(onTop, 0);
  RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  DestroyWindow(list);
}

// A tree view takes the section's colours and gives its own back; it erases nothing itself
// unless updating.
TEST_F(ListHandlers, TreeViewColours) {
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 220);
  HWND tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASLINES, 10, 10, 200,
                              150, parent.Wnd, nullptr, GetModuleHandleW(nullptr), nullptr);
  TVINSERTSTRUCTW ins{};
  ins.hParent = TVI_ROOT;
  ins.item.mask = TVIF_TEXT;
  ins.item.pszText = const_cast<wchar_t*>(L"Root");
  SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins));
  const LRESULT bk = SendMessageW(tree, TVM_GETBKCOLOR, 0, 0), text = SendMessageW(tree, TVM_GETTEXTCOLOR, 0, 0);
  TacMainWnd* h = CreateHandler(L"TacTreeViewWnd", tree, false, Params(L"EDIT"), M, nullptr);
  ASSERT_TRUE(h);
  RedrawWindow(tree, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tree, TVM_GETBKCOLOR, 0, 0)), RGB(0xF0, 0xF0, 0xF0));
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tree, TVM_GETTEXTCOLOR, 0, 0)), RGB(0, 0, 0));
  HDC dc = GetDC(tree);
  EXPECT_EQ(SendMessageW(tree, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 0);
  ReleaseDC(tree, dc);
  TCapture cap(tree);
  EXPECT_EQ(cap.At(cap.W - 5, cap.H - 5), EditFill);
  // While updating the handler erases with the skin's colour, unless it skips erasing.
  auto* th = static_cast<TacTreeViewWnd*>(h);
  th->SkinData->FUpdating = true;
  for (bool skip : {false, true}) {
    th->SkipBG = skip;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(bi.bmiHeader), 40, -30, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, bmp);
    std::fill_n(static_cast<std::uint32_t*>(bits), 40 * 30, 0x123456u);
    EXPECT_EQ(SendMessageW(tree, WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem), 0), skip ? 0 : 1) << skip;
    GdiFlush();
    EXPECT_EQ(static_cast<std::uint32_t*>(bits)[30 * 40 - 1] & 0xFFFFFF, skip ? 0x123456u : EditFill) << skip;
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
  }
  th->SkipBG = false;
  th->SkinData->FUpdating = false;
  FreeHandler(h);
  EXPECT_EQ(SendMessageW(tree, TVM_GETBKCOLOR, 0, 0), bk);
  EXPECT_EQ(SendMessageW(tree, TVM_GETTEXTCOLOR, 0, 0), text);
  DestroyWindow(tree);
}

// 200 repaints and 50 skin cycles of a list view and a tree view leave the census steady.
TEST_F(ListHandlers, CensusSteady) {
  ASSERT_TRUE(InstallGdiCensus());
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 400);
  HWND list = NewList(parent.Wnd);
  HWND tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE, 10, 200, 200, 150,
                              parent.Wnd, nullptr, GetModuleHandleW(nullptr), nullptr);
  auto cycle = [&](int Repaints) {
    TacMainWnd* hl = CreateHandler(L"TacListViewWnd", list, false, Params(L"EDIT"), M, nullptr);
    TacMainWnd* ht = CreateHandler(L"TacTreeViewWnd", tree, false, Params(L"EDIT"), M, nullptr);
    for (int i = 0; i < Repaints; ++i)
      RedrawWindow(parent.Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    FreeHandler(hl);
    FreeHandler(ht);
  };
  cycle(1);
  const TGdiCensus start = GdiCensus();
  cycle(200);
  for (int i = 0; i < 50; ++i) cycle(1);
  EXPECT_EQ(GdiCensus(), start);
}

// ---- grids on stand-in classes -------------------------------------------------------------

namespace {

// A nested parameter object with colour properties by name.
class TColorSet : public TComponent {
public:
  TColorSet() : TComponent(nullptr) {}
  std::wstring ClassName() const override { return L"TColorSet"; }
  TColor A = clNone, B = clNone, C = clNone, D = clNone;
  int ParentColor = 1;
  TFont Font;
};

template <class T>
void RegisterColorSet(const wchar_t* A, const wchar_t* B = nullptr, const wchar_t* C = nullptr,
                      const wchar_t* D = nullptr) {
  auto reg = RegisterPublished<T>();
  reg.Ordinal(A, [](T& o) { return static_cast<int>(o.A); }, [](T& o, int v) { o.A = static_cast<TColor>(v); });
  if (B) reg.Ordinal(B, [](T& o) { return static_cast<int>(o.B); }, [](T& o, int v) { o.B = static_cast<TColor>(v); });
  if (C) reg.Ordinal(C, [](T& o) { return static_cast<int>(o.C); }, [](T& o, int v) { o.C = static_cast<TColor>(v); });
  if (D) reg.Ordinal(D, [](T& o) { return static_cast<int>(o.D); }, [](T& o, int v) { o.D = static_cast<TColor>(v); });
}

class TControlLookStandIn : public TColorSet {};
class TLineColorsStandIn : public TColorSet {};
class TGridLineParamsStandIn : public TColorSet {};

// A grid of another component set, as the grid handler reads it by name.
class TGridStandIn : public TWinControl {
public:
  explicit TGridStandIn(TComponent* Owner) : TWinControl(Owner) {}
  std::wstring ClassName() const override { return L"TGridStandIn"; }
  TARVEL_PUBLISHED_CLASS(TGridStandIn)
  TColor FixedColor = clBtnFace, GridLineColor = 0xC0C0C0, EvenRowColor = clWindow, OddRowColor = clWindow;
  TFont TitleFont;
  TControlLookStandIn ControlLook;
  TLineColorsStandIn LineColors;
  TGridLineParamsStandIn GridLineParams;
};

void RegisterGridStandIns() {
  static const bool done = [] {
    RegisterColorSet<TControlLookStandIn>(L"FixedGradientFrom", L"FixedGradientTo", L"FixedGradientMirrorFrom",
                                          L"FixedGradientMirrorTo");
    RegisterColorSet<TLineColorsStandIn>(L"FixedColor", L"DataColor", L"ShadowColor");
    RegisterColorSet<TGridLineParamsStandIn>(L"BrightColor", L"DataHorzColor", L"DataVertColor", L"DarkColor");
    RegisterPublished<TGridStandIn>()
        .Ordinal(L"FixedColor", [](TGridStandIn& g) { return static_cast<int>(g.FixedColor); },
                 [](TGridStandIn& g, int v) { g.FixedColor = static_cast<TColor>(v); })
        .Ordinal(L"GridLineColor", [](TGridStandIn& g) { return static_cast<int>(g.GridLineColor); },
                 [](TGridStandIn& g, int v) { g.GridLineColor = static_cast<TColor>(v); })
        .Ordinal(L"EvenRowColor", [](TGridStandIn& g) { return static_cast<int>(g.EvenRowColor); },
                 [](TGridStandIn& g, int v) { g.EvenRowColor = static_cast<TColor>(v); })
        .Ordinal(L"OddRowColor", [](TGridStandIn& g) { return static_cast<int>(g.OddRowColor); },
                 [](TGridStandIn& g, int v) { g.OddRowColor = static_cast<TColor>(v); })
        .Object<TFont>(L"TitleFont", [](TGridStandIn& g) { return &g.TitleFont; })
        .Object<TComponent>(L"ControlLook", [](TGridStandIn& g) { return static_cast<TComponent*>(&g.ControlLook); })
        .Object<TComponent>(L"LineColors", [](TGridStandIn& g) { return static_cast<TComponent*>(&g.LineColors); })
        .Object<TComponent>(L"GridLineParams",
                            [](TGridStandIn& g) { return static_cast<TComponent*>(&g.GridLineParams); });
    return true;
  }();
  (void)done;
}

// A grid with a vertical scroll bar that counts the button releases it is given.
class TScrollingGridStandIn : public TGridStandIn {
public:
  using TGridStandIn::TGridStandIn;
  int Releases = 0;
  void CreateParams(TCreateParams& Params) override {
    TGridStandIn::CreateParams(Params);
    Params.Style |= WS_VSCROLL;
  }
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_LBUTTONUP) ++Releases;
    TGridStandIn::WndProc(Message);
  }
};

// A virtual tree with its header-drawing events.
class TVirtualTreeStandIn : public TWinControl, public IacHeaderDrawEvents {
public:
  explicit TVirtualTreeStandIn(TComponent* Owner) : TWinControl(Owner) {}
  std::wstring ClassName() const override { return L"TVirtualTreeStandIn"; }
  TAdvancedHeaderPaintEvent OnAdvancedHeaderDraw;
  THeaderPaintQueryElementsEvent OnHeaderDrawQueryElements;
  TAdvancedHeaderPaintEvent* AdvancedHeaderDrawEvent() override { return &OnAdvancedHeaderDraw; }
  THeaderPaintQueryElementsEvent* HeaderDrawQueryElementsEvent() override { return &OnHeaderDrawQueryElements; }
  std::wstring ColumnText(TComponent*) override { return L"Column"; }
};

}  // namespace

// Saved values, skin values and restored values by property name: clNone saved as
// clBtnFace, the shadow line colour restored from the data line colour, even and odd row
// colours left alone when they were the same.
TEST_F(ListHandlers, GridPropertyRows) {
  RegisterGridStandIns();
  TForm form(nullptr);
  form.SetBounds(20, 20, 300, 200);
  auto* grid = new TGridStandIn(&form);
  grid->SetParent(&form);
  grid->SetBounds(10, 10, 200, 100);
  grid->ControlLook.A = clNone;       // FixedGradientFrom
  grid->ControlLook.B = 0x123456;     // FixedGradientTo
  grid->LineColors.B = 0x224466;      // DataColor
  grid->LineColors.C = 0x000001;      // ShadowColor
  grid->TitleFont.Color = 0x010101;
  grid->GridLineParams.A = 0x0A0B0C;  // BrightColor
  form.Show();
  TsSkinManager* m = M;
  for (const wchar_t* kind : {L"TacGridWnd", L"TacGridEhWnd"}) {
    TacMainWnd* h = CreateHandler(kind, grid->Handle(), false, Params(L"EDIT", grid), M, nullptr);
    ASSERT_TRUE(h) << kind;
    h->SetSkinParams();
    const TColor main = m->Palette[pcMainColor];
    struct TRow {
      const char* Name;
      TColor Got, Skinned;
    };
    const TRow rows[] = {
        {"FixedColor", grid->FixedColor, main},
        {"ControlLook.FixedGradientTo", grid->ControlLook.B, main},
        {"LineColors.FixedColor", grid->LineColors.A, m->Palette[pcBorder]},
        {"TitleFont.Color", grid->TitleFont.Color, m->Palette[pcLabelText]},
    };
    for (const TRow& r : rows) EXPECT_EQ(r.Got, r.Skinned) << kind << " " << r.Name;
    EXPECT_EQ(grid->LineColors.C, grid->LineColors.B) << kind;  // the shadow follows the data lines
    // Even and odd rows were the same: untouched.
    EXPECT_EQ(grid->EvenRowColor, clWindow) << kind;
    if (std::wstring(kind) == L"TacGridEhWnd") EXPECT_NE(grid->GridLineParams.A, 0x0A0B0Cu);
    FreeHandler(h);
    EXPECT_EQ(grid->FixedColor, ColorToRGB(clBtnFace)) << kind;  // read as its colour value
    EXPECT_EQ(grid->ControlLook.A, clBtnFace) << kind;  // clNone comes back as the face colour
    EXPECT_EQ(grid->ControlLook.B, 0x123456u) << kind;
    EXPECT_EQ(grid->LineColors.B, 0x224466u) << kind;
    EXPECT_EQ(grid->LineColors.C, 0x224466u) << kind;  // restored from the data line colour
    EXPECT_EQ(grid->TitleFont.Color, 0x010101u) << kind;
    EXPECT_EQ(grid->GridLineParams.A, 0x0A0B0Cu) << kind;
    grid->ControlLook.A = clNone;
    grid->LineColors.C = 0x000001;
  }
  // Different even and odd rows take the skin's and come back.
  grid->OddRowColor = 0x00EEEEEE;
  TacMainWnd* h = CreateHandler(L"TacGridEhWnd", grid->Handle(), false, Params(L"EDIT", grid), M, nullptr);
  h->SetSkinParams();
  EXPECT_EQ(grid->EvenRowColor, m->Palette[pcEditBG_EvenRow]);
  EXPECT_EQ(grid->OddRowColor, m->Palette[pcEditBG_OddRow]);
  FreeHandler(h);
  EXPECT_EQ(grid->EvenRowColor, ColorToRGB(clWindow));
  EXPECT_EQ(grid->OddRowColor, 0x00EEEEEEu);
}

// A press on the grid's scroll-bar arrow ends with the release: over the bar the release is
// the bar's alone; over the cells the grid hears it too.
TEST_F(ListHandlers, GridReleaseOverItsScrollBarStaysWithTheBar) {
  TForm form(nullptr);
  form.SetBounds(20, 20, 300, 200);
  auto* grid = new TScrollingGridStandIn(&form);
  grid->SetParent(&form);
  grid->SetBounds(10, 10, 200, 120);
  form.Show();
  SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 10, 0, 0};
  SetScrollInfo(grid->Handle(), SB_VERT, &si, TRUE);
  auto* h = static_cast<TacGridWnd*>(
      CreateHandler(L"TacGridWnd", grid->Handle(), false, Params(L"EDIT", grid), M, nullptr));
  ASSERT_TRUE(h);
  ASSERT_TRUE(GetWindowLongW(grid->Handle(), GWL_STYLE) & WS_VSCROLL);
  SetWindowPos(grid->Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  ASSERT_TRUE(h->sBarVert && h->sBarVert->fScrollVisible);
  const TRect v = VertScrollBarRect(h, grid->Handle());
  const POINT arrow{v.Left + v.Width() / 2, v.Bottom - 3};
  RECT client{};
  GetClientRect(grid->Handle(), &client);
  POINT cells{client.right / 2, client.bottom / 2};
  ClientToScreen(grid->Handle(), &cells);
  struct TCase {
    const char* Name;
    POINT ReleaseAt;
    int Releases;
  };
  const TCase cases[] = {{"over the bar", arrow, 0}, {"over the cells", cells, 1}};
  for (const TCase& c : cases) {
    grid->Releases = 0;
    SendMessageW(grid->Handle(), WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(arrow.x, arrow.y));
    ASSERT_EQ(acScrollTrack.PressedPart, sbpLineAfter) << c.Name;
    SetCursorPos(c.ReleaseAt.x, c.ReleaseAt.y);
    POINT client{c.ReleaseAt};
    ScreenToClient(grid->Handle(), &client);
    SendMessageW(grid->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    EXPECT_EQ(acScrollTrack.PressedPart, sbpNone) << c.Name;
    EXPECT_EQ(grid->Releases, c.Releases) << c.Name;
  }
  SetCursorPos(1200, 1000);
  TacMainWnd* base = h;
  FreeHandler(base);
}

// The header events are given only when the tree has none of its own, and taken back.
TEST_F(ListHandlers, VirtualTreeKeepsItsOwnHeaderDrawing) {
  TForm form(nullptr);
  form.SetBounds(20, 20, 300, 200);
  auto* tree = new TVirtualTreeStandIn(&form);
  tree->SetParent(&form);
  tree->SetBounds(10, 10, 200, 100);
  form.Show();
  TacMainWnd* h = CreateHandler(L"TacVirtualTreeViewWnd", tree->Handle(), false, Params(L"EDIT", tree), M, nullptr);
  h->SetSkinParams();
  EXPECT_TRUE(static_cast<bool>(tree->OnAdvancedHeaderDraw));
  EXPECT_TRUE(static_cast<bool>(tree->OnHeaderDrawQueryElements));
  THeaderPaintElements elements = 0;
  THeaderPaintInfo info;
  tree->OnHeaderDrawQueryElements(tree, info, elements);
  EXPECT_EQ(elements, (1u << hpeBackground) | (1u << hpeDropMark) | (1u << hpeSortGlyph) | (1u << hpeText));
  FreeHandler(h);
  EXPECT_FALSE(static_cast<bool>(tree->OnAdvancedHeaderDraw));
  EXPECT_FALSE(static_cast<bool>(tree->OnHeaderDrawQueryElements));
  int own = 0;
  tree->OnAdvancedHeaderDraw = [&](TComponent*, THeaderPaintInfo&, THeaderPaintElements) { ++own; };
  h = CreateHandler(L"TacVirtualTreeViewWnd", tree->Handle(), false, Params(L"EDIT", tree), M, nullptr);
  h->SetSkinParams();
  tree->OnAdvancedHeaderDraw(tree, info, 0);
  EXPECT_EQ(own, 1);
  EXPECT_FALSE(static_cast<bool>(tree->OnHeaderDrawQueryElements));
  FreeHandler(h);
  tree->OnAdvancedHeaderDraw(tree, info, 0);
  EXPECT_EQ(own, 2);
}

// Track bars, an up-down, a list view and a tree view of one window skinned together, each
// from its own section; with TARVEL_HANDLER_SHOT set the window stays up for a look.
TEST_F(ListHandlers, OneWindowOfValueAndListControls) {
  RegisterTrackHandlerKinds();
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 640, 420, L"Track bars, up-down, list and tree");
  std::vector<TacMainWnd*> handlers;
  auto make = [&](const wchar_t* Class, DWORD Style, DWORD Ex, int X, int Y, int W, int H) {
    return CreateWindowExW(Ex, Class, L"", WS_CHILD | WS_VISIBLE | Style, X, Y, W, H, parent.Wnd, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  };
  HWND tracks[] = {make(TRACKBAR_CLASSW, TBS_AUTOTICKS | TBS_BOTTOM, 0, 10, 10, 260, 45),
                   make(TRACKBAR_CLASSW, TBS_AUTOTICKS | TBS_TOP, 0, 10, 60, 260, 45),
                   make(TRACKBAR_CLASSW, TBS_AUTOTICKS | TBS_BOTH, 0, 10, 110, 260, 50),
                   make(TRACKBAR_CLASSW, TBS_AUTOTICKS | TBS_VERT, 0, 280, 10, 45, 150)};
  for (HWND t : tracks) {
    SendMessageW(t, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
    SendMessageW(t, TBM_SETPOS, TRUE, 3);
    handlers.push_back(CreateHandler(L"TacTrackWnd", t, false, Params(L"TRACKBAR"), M, nullptr));
  }
  HWND buddy = make(L"EDIT", ES_NUMBER, WS_EX_CLIENTEDGE, 340, 10, 60, 24);
  HWND spin = make(UPDOWN_CLASSW, UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_ARROWKEYS, 0, 0, 0, 0, 0);
  SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
  SendMessageW(spin, UDM_SETPOS32, 0, 7);
  handlers.push_back(CreateHandler(L"TacSpinWnd", spin, false, Params(L"SPEEDBUTTON_SMALL"), M, nullptr));
  HWND list = NewList(parent.Wnd);
  SetWindowPos(list, nullptr, 10, 180, 360, 180, SWP_NOZORDER);
  handlers.push_back(CreateHandler(L"TacListViewWnd", list, false, Params(L"EDIT"), M, nullptr));
  HWND tree = make(WC_TREEVIEWW, TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT, WS_EX_CLIENTEDGE, 390, 180, 220, 180);
  TVINSERTSTRUCTW ins{};
  ins.hParent = TVI_ROOT;
  ins.item.mask = TVIF_TEXT;
  ins.item.pszText = const_cast<wchar_t*>(L"Root");
  ins.hParent = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  ins.item.pszText = const_cast<wchar_t*>(L"Leaf");
  SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins));
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(ins.hParent));
  handlers.push_back(CreateHandler(L"TacTreeViewWnd", tree, false, Params(L"EDIT"), M, nullptr));
  for (TacMainWnd* h : handlers) EXPECT_TRUE(h);
  RedrawWindow(parent.Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessagesFor(50);
  EXPECT_EQ(TCapture(HeaderOf(list)).At(2, 3), Col0);
  EXPECT_EQ(TCapture(tree).At(200, 150), EditFill);
  int channel = 0;
  for (std::uint32_t p : TCapture(tracks[0]).Px) channel += p == 0xC02020;
  EXPECT_GT(channel, 0);
  HoldForAShot();
  for (auto it = handlers.rbegin(); it != handlers.rend(); ++it) FreeHandler(*it);
}
