// The tab-control, page-control and page handlers: the geometry rules on given rectangles,
// and real tab controls of every side under Xvfb with the combo and tab test skins.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include <cstdlib>
#include <string>
#include <vector>

#include "HandlerDialogs.h"
#include "HandlerFixtures.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/Forms.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"

using namespace handler_tests;

namespace {

constexpr std::uint32_t Rgb(COLORREF C) { return (GetRValue(C) << 16) | (GetGValue(C) << 8) | GetBValue(C); }

struct TSide {
  DWORD Style;
  const wchar_t* Section;
  std::uint32_t Page;       // the page section's colour (0xRRGGBB)
  std::uint32_t Active;     // the tab element's state-2 colour
  std::uint32_t Inactive;   // its state-0 colour
};
const TSide Sides[] = {
    {0, L"PAGECONTROL", 0xB0D0B0, 0x5090D0, 0x3070B0},
    {TCS_BOTTOM, L"PAGECONTROLBOTTOM", 0xB0B0D0, 0x509050, 0x307030},
    {TCS_VERTICAL | TCS_MULTILINE, L"PAGECONTROLLEFT", 0xD0B0B0, 0x905090, 0x703070},
    {TCS_VERTICAL | TCS_RIGHT | TCS_MULTILINE, L"PAGECONTROLRIGHT", 0xD0D0B0, 0x909050, 0x707030},
};

HWND MakeTabs(HWND Parent, DWORD Style, const std::vector<std::wstring>& Tabs, int W = 300, int H = 200) {
  HWND w = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | Style, 10, 10, W, H,
                           Parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  for (std::size_t i = 0; i < Tabs.size(); ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(Tabs[i].c_str());
    SendMessageW(w, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  return w;
}

TacTabControlWnd* AttachTabs(const wchar_t* Kind, HWND Wnd, TsSkinManager* M, TControl* Control = nullptr) {
  TacSkinParams p;
  p.SkinSection = L"PAGECONTROL";
  p.Control = Control;
  p.UseSkinColor = p.UseSkinFontColor = true;
  return dynamic_cast<TacTabControlWnd*>(CreateHandler(Kind, Wnd, true, p, M, nullptr));
}

template <class T>
void Free(T* H) {
  TacMainWnd* h = H;
  FreeHandler(h);
}

void Repaint(HWND W) {
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  PumpMessagesFor(30);
}

class TabHandlers : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    ASSERT_TRUE(Skin.M->IsActive());
  }
  TTestManager Skin{L"Tarvel Combo Tabs"};
};

}  // namespace

// The tab rectangle rule: per side, active or not, with and without covering.
TEST(TabGeometry, SkinTabRectBySideAndState) {
  const TRect t{10, 2, 60, 22};
  struct TCase {
    int Position;
    bool Active;
    int Covering;
    TRect Expected;
  } cases[] = {
      // an inactive top tab: 3 pixels taller into the page, 1 pixel narrower, then one more below
      {0, false, 0, TRect{10, 2, 59, 26}},
      {0, true, 0, TRect{8, 0, 62, 24}},
      {1, false, 0, TRect{10, 0, 59, 22}},
      {1, true, 0, TRect{8, -1, 62, 23}},
      {2, false, 0, TRect{10, 1, 63, 22}},
      {2, true, 0, TRect{9, 0, 63, 23}},
      {3, false, 0, TRect{8, 1, 59, 22}},
      {3, true, 0, TRect{7, 0, 61, 24}},
      {0, false, 2, TRect{10, 2, 63, 26}},
      {2, false, 3, TRect{10, 1, 63, 28}},
  };
  for (const TCase& c : cases) {
    const TRect r = SkinTabRectOf(t, c.Position, c.Active, c.Covering);
    EXPECT_EQ(r, c.Expected) << c.Position << " " << c.Active << " " << c.Covering << ": " << r.Left << "," << r.Top
                             << "," << r.Right << "," << r.Bottom;
  }
}

// The row rule, a tab without a size sitting in the first row instead of dividing by zero.
TEST(TabGeometry, TabRowBySide) {
  const TRect tabs{0, 0, 300, 60};
  struct TCase {
    int Position, Rows;
    TRect Tab;
    int Row;
  } cases[] = {
      {0, 1, TRect{0, 40, 50, 60}, 1},  {0, 3, TRect{0, 0, 50, 20}, 1},  {0, 3, TRect{0, 40, 50, 60}, 3},
      {1, 3, TRect{0, 0, 50, 20}, 3},   {1, 3, TRect{0, 40, 50, 60}, 1}, {2, 2, TRect{20, 0, 40, 50}, 2},
      {3, 2, TRect{0, 0, 20, 50}, 2},   {0, 3, TRect{5, 5, 5, 25}, 1},   {2, 2, TRect{5, 5, 25, 5}, 1},
      {1, 2, TRect{}, 1},
  };
  for (const TCase& c : cases) EXPECT_EQ(TabRowOf(c.Position, c.Rows, c.Tab, tabs), c.Row) << c.Position;
}

// Tab controls on every side: the page body in "PAGECONTROL" with the side's suffix, the
// active tab in its element's active colour over the page body, the others in the normal one;
// page and tabs rectangles meet at the display area.
TEST_F(TabHandlers, FourSidesFromTheSkin) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 400, 300);
  for (const TSide& side : Sides) {
    HWND w = MakeTabs(parent.Wnd, side.Style, {L"One", L"Two", L"Three"});
    SendMessageW(w, TCM_SETCURSEL, 1, 0);
    TacTabControlWnd* h = AttachTabs(L"TacTabControlWnd", w, Skin.M);
    ASSERT_NE(h, nullptr);
    Repaint(w);
    EXPECT_EQ(h->SkinData->SkinIndex, Skin.M->GetSkinIndex(side.Section)) << side.Style;
    int cw = 0, ch = 0;
    std::vector<std::uint32_t> px = CaptureClient(w, cw, ch);
    const TRect page = h->PageRect();
    const TRect client = h->ClientRect();
    EXPECT_EQ(px[static_cast<std::size_t>((page.Top + page.Bottom) / 2) * cw + (page.Left + page.Right) / 2],
              side.Page)
        << side.Style;
    const TRect tabs = h->TabsRect();
    if (side.Style & TCS_VERTICAL) {
      EXPECT_EQ(tabs.Right == page.Left || tabs.Left == page.Right, true) << side.Style;
    } else {
      EXPECT_TRUE(tabs.Bottom == page.Top || tabs.Top == page.Bottom) << side.Style;
    }
    EXPECT_GT(client.Height(), 0);
    // Tab bodies: count pixels of the two colours inside each tab's rectangle.
    auto count = [&](const TRect& r, std::uint32_t colour) {
      int n = 0;
      for (int y = std::max(0, r.Top); y < std::min(ch, r.Bottom); ++y)
        for (int x = std::max(0, r.Left); x < std::min(cw, r.Right); ++x)
          n += px[static_cast<std::size_t>(y) * cw + x] == colour;
      return n;
    };
    const TRect active = h->SkinTabRect(1, true);
    const TRect other = h->SkinTabRect(0, false);
    EXPECT_GT(count(active, side.Active), active.Width() * active.Height() / 3) << side.Style;
    EXPECT_GT(count(other, side.Inactive), other.Width() * other.Height() / 4) << side.Style;
    Free(h);
    DestroyWindow(w);
  }
}

// A tab control without tabs is the "TRANSPARENT" section over its whole size.
TEST_F(TabHandlers, NoTabsIsTransparent) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 400, 300);
  HWND w = MakeTabs(parent.Wnd, 0, {});
  TacTabControlWnd* h = AttachTabs(L"TacTabControlWnd", w, Skin.M);
  ASSERT_NE(h, nullptr);
  Repaint(w);
  EXPECT_EQ(h->SkinData->SkinIndex, Skin.M->GetSkinIndex(L"TRANSPARENT"));
  EXPECT_EQ(h->PageRect(), (TRect{0, 0, h->WndSize.cx, h->WndSize.cy}));
  Free(h);
  DestroyWindow(w);
}

// Left tabs read from bottom to top: the dense first letter sits at the bottom of the text.
TEST_F(TabHandlers, LeftTabTextRunsBottomToTop) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 400, 300);
  HWND w = MakeTabs(parent.Wnd, TCS_VERTICAL | TCS_MULTILINE, {L"WWW.........", L"Two"});
  SendMessageW(w, TCM_SETCURSEL, 1, 0);
  TacTabControlWnd* h = AttachTabs(L"TacTabControlWnd", w, Skin.M);
  ASSERT_NE(h, nullptr);
  Repaint(w);
  int cw = 0, ch = 0;
  std::vector<std::uint32_t> px = CaptureClient(w, cw, ch);
  const TRect r = h->SkinTabRect(0, false);
  int upper = 0, lower = 0;
  const int middle = (r.Top + r.Bottom) / 2;
  for (int y = std::max(0, r.Top); y < std::min(ch, r.Bottom); ++y)
    for (int x = std::max(0, r.Left); x < std::min(cw, r.Right); ++x)
      if (px[static_cast<std::size_t>(y) * cw + x] == 0xFFFFFD) (y < middle ? upper : lower)++;
  EXPECT_GT(lower, 0);
  EXPECT_GT(lower, 2 * upper);
  Free(h);
  DestroyWindow(w);
}

// Several rows: every row drawn, and the active tab over the page body.
TEST_F(TabHandlers, MultiRowActiveTabOverPageBody) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 400, 300);
  std::vector<std::wstring> names;
  for (int i = 0; i < 9; ++i) names.push_back(L"Tab number " + std::to_wstring(i));
  HWND w = MakeTabs(parent.Wnd, TCS_MULTILINE, names, 260, 220);
  SendMessageW(w, TCM_SETCURSEL, 4, 0);
  TacTabControlWnd* h = AttachTabs(L"TacTabControlWnd", w, Skin.M);
  ASSERT_NE(h, nullptr);
  Repaint(w);
  ASSERT_GE(SendMessageW(w, TCM_GETROWCOUNT, 0, 0), 2);
  std::vector<int> rows;
  for (int i = 0; i < 9; ++i) rows.push_back(h->TabRow(i));
  EXPECT_NE(*std::min_element(rows.begin(), rows.end()), *std::max_element(rows.begin(), rows.end()));
  int cw = 0, ch = 0;
  std::vector<std::uint32_t> px = CaptureClient(w, cw, ch);
  const TRect active = h->SkinTabRect(4, true);
  const TRect page = h->PageRect();
  ASSERT_GT(active.Bottom, page.Top);  // the active tab reaches into the page body
  const int x = (active.Left + active.Right) / 2;
  EXPECT_EQ(px[static_cast<std::size_t>(active.Bottom - 1) * cw + x], 0x5090D0u);
  Free(h);
  DestroyWindow(w);
}

// The scroll arrows of a crowded single-row tab control get a spin handler (a stand-in kind
// here), kept while they live and dropped when the skin goes.
TEST_F(TabHandlers, UpDownChildGetsSpinHandler) {
  TKindScope kinds;
  kinds.Add(L"TacSpinWnd", MakerOf<TacMainWnd>());
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 400, 300);
  std::vector<std::wstring> names;
  for (int i = 0; i < 12; ++i) names.push_back(L"Long tab " + std::to_wstring(i));
  HWND w = MakeTabs(parent.Wnd, 0, names, 200, 120);
  TacTabControlWnd* h = AttachTabs(L"TacTabControlWnd", w, Skin.M);
  ASSERT_NE(h, nullptr);
  Repaint(w);
  HWND spin = FindWindowExW(w, nullptr, UPDOWN_CLASSW, nullptr);
  if (!spin) GTEST_SKIP() << "the tab control made no arrows";
  ASSERT_NE(h->BtnSW, nullptr);
  EXPECT_EQ(h->BtnSW->CtrlHandle, spin);
  TacMainWnd* first = h->BtnSW;
  Repaint(w);
  EXPECT_EQ(h->BtnSW, first);
  SendMessageW(w, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REMOVE_SKIN), reinterpret_cast<LPARAM>(Skin.M));
  Free(h);
  DestroyWindow(w);
}

// A framework page control: each page gets its page handler, and pages made again many times
// leave no handler of a gone window in the list.
TEST_F(TabHandlers, RecreatedPagesLeaveNoDeadHandlers) {
  TForm form(nullptr);
  form.SetClientSize(360, 260);
  auto* pc = new TPageControl(&form);
  pc->SetParent(&form);
  pc->SetBounds(10, 10, 320, 220);
  std::vector<TTabSheet*> sheets;
  for (const wchar_t* caption : {L"First", L"Second"}) {
    auto* sheet = new TTabSheet(&form);
    sheet->SetPageControl(pc);
    sheet->SetCaption(caption);
    sheets.push_back(sheet);
  }
  form.Show();
  PumpMessagesFor(50);
  TacTabControlWnd* h = AttachTabs(L"TacPageControlWnd", pc->Handle(), Skin.M, pc);
  ASSERT_NE(h, nullptr);
  Repaint(pc->Handle());
  auto handlersOf = [&](TTabSheet* sheet) {
    int n = 0;
    for (TacMainWnd* p : PageHandlers)
      if (auto* page = dynamic_cast<TacPageWnd*>(p); page && page->Page == sheet && !page->Destroyed) ++n;
    return n;
  };
  EXPECT_EQ(handlersOf(sheets[0]), 1);
  EXPECT_EQ(handlersOf(sheets[1]), 1);
  for (int i = 0; i < 100; ++i) sheets[i % 2]->RecreateWnd();
  PumpMessagesFor(30);
  for (TacMainWnd* p : PageHandlers) {
    EXPECT_FALSE(p->Destroyed);
    EXPECT_TRUE(p->CtrlHandle && IsWindow(p->CtrlHandle));
  }
  EXPECT_EQ(handlersOf(sheets[0]), 1);
  EXPECT_EQ(handlersOf(sheets[1]), 1);
  pc->SetActivePageIndex(1);
  Repaint(pc->Handle());
  EXPECT_TRUE(IsWindowVisible(sheets[1]->Handle()));
  EXPECT_FALSE(IsWindowVisible(sheets[0]->Handle()));
  Free(h);
}

// A dialog of combo boxes of the three styles and tab controls of three sides, taken over
// through the handler factory as a foreign dialog's children are: every combo box shows its
// skinned button, every tab control its page section. With TARVEL_HANDLER_SHOT set the
// window stays up that many milliseconds, for a look at the screen.
TEST_F(TabHandlers, DialogOfCombosAndTabs) {
  HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COMBO_TABS), nullptr,
                                [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  ASSERT_NE(dlg, nullptr);
  SetWindowPos(dlg, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
  for (int id : {1201, 1202, 1203})
    for (const wchar_t* item : {L"Kiosk", L"Browser", L"Updates"})
      SendDlgItemMessageW(dlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  for (int id : {1201, 1202, 1203}) SendDlgItemMessageW(dlg, id, CB_SETCURSEL, static_cast<WPARAM>(id - 1201), 0);
  for (int id : {1210, 1211, 1212}) {
    HWND tabs = GetDlgItem(dlg, id);
    for (const wchar_t* name : {L"General", L"Network", L"About"}) {
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = const_cast<wchar_t*>(name);
      SendMessageW(tabs, TCM_INSERTITEMW, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(tabs, TCM_SETCURSEL, 1, 0);
  }
  std::vector<TacMainWnd*> handlers;
  acDlgMode = true;
  for (int id : {1201, 1202, 1203}) {
    TacSkinParams p;
    p.SkinSection = L"COMBOBOX";
    p.UseSkinColor = p.UseSkinFontColor = true;
    handlers.push_back(CreateHandler(L"TacComboBoxWnd", GetDlgItem(dlg, id), true, p, Skin.M, nullptr));
  }
  for (int id : {1210, 1211, 1212}) {
    TacSkinParams p;
    p.SkinSection = L"PAGECONTROL";
    p.UseSkinColor = p.UseSkinFontColor = true;
    handlers.push_back(CreateHandler(L"TacTabControlWnd", GetDlgItem(dlg, id), true, p, Skin.M, nullptr));
  }
  acDlgMode = false;
  for (TacMainWnd* h : handlers) ASSERT_NE(h, nullptr);
  ShowWindow(dlg, SW_SHOW);
  RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessagesFor(300);
  // The drop-down styles show the button section's colour at the button's edge.
  for (int i = 0; i < 2; ++i) {
    auto* combo = dynamic_cast<TacComboBoxWnd*>(handlers[static_cast<std::size_t>(i)]);
    ASSERT_NE(combo, nullptr);
    const TRect b = combo->ButtonRect();
    HDC wdc = GetWindowDC(combo->CtrlHandle);
    EXPECT_EQ(GetPixel(wdc, b.Left + 1, b.Top + 1), RGB(0x20, 0x80, 0xC0)) << i;
    ReleaseDC(combo->CtrlHandle, wdc);
  }
  const std::uint32_t pages[] = {0xB0D0B0, 0xD0B0B0, 0xB0B0D0};
  for (int i = 0; i < 3; ++i) {
    auto* tabs = dynamic_cast<TacTabControlWnd*>(handlers[static_cast<std::size_t>(3 + i)]);
    ASSERT_NE(tabs, nullptr);
    int cw = 0, ch = 0;
    const auto px = CaptureClient(tabs->CtrlHandle, cw, ch);
    const TRect page = tabs->PageRect();
    EXPECT_EQ(px[static_cast<std::size_t>((page.Top + page.Bottom) / 2) * cw + (page.Left + page.Right) / 2],
              pages[i])
        << i;
  }
  if (const char* ms = std::getenv("TARVEL_HANDLER_SHOT")) PumpMessagesFor(static_cast<DWORD>(std::atoi(ms)));
  for (TacMainWnd*& h : handlers) FreeHandler(h);
  DestroyWindow(dlg);
}
