// The combo-box handler on real combo boxes under Xvfb, with the combo and tab test skins
// ("Tarvel Combo Tabs": a combo glyph; "Tarvel Combo Tabs Plain": none; "Tarvel Test": no
// button section either).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HandlerFixtures.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "support/GdiCensus.h"

using namespace handler_tests;

namespace {

constexpr COLORREF ButtonFont = RGB(0xE0, 0xA0, 0x10);   // "COMBOBTN" state-0 font colour
constexpr COLORREF GlyphState0 = RGB(0xC0, 0x20, 0x20);  // the combo glyph's first cell

// A memory DC over a 24-bit bitmap.
struct TMemDC {
  HDC DC;
  HBITMAP Bmp;
  HGDIOBJ Old;
  TMemDC(int W, int H) {
    HDC screen = GetDC(nullptr);
    DC = CreateCompatibleDC(screen);
    Bmp = CreateCompatibleBitmap(screen, W, H);
    ReleaseDC(nullptr, screen);
    Old = SelectObject(DC, Bmp);
  }
  ~TMemDC() {
    SelectObject(DC, Old);
    DeleteObject(Bmp);
    DeleteDC(DC);
  }
  COLORREF At(int X, int Y) const { return GetPixel(DC, X, Y); }
};

// A combo box child of a recording window, dropped with the window.
HWND MakeCombo(HWND Parent, DWORD Style, DWORD ExStyle = 0, int H = 120) {
  HWND w = CreateWindowExW(ExStyle, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | Style, 10, 10, 160, H,
                           Parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  for (const wchar_t* item : {L"First", L"Second", L"Third"})
    SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  return w;
}

TacComboBoxWnd* Attach(HWND Wnd, TsSkinManager* M, bool DialogMode, TControl* Control = nullptr,
                       const wchar_t* Section = L"COMBOBOX") {
  TacSkinParams p;
  p.SkinSection = Section;
  p.Control = Control;
  p.UseSkinColor = p.UseSkinFontColor = true;
  const bool was = acDlgMode;
  acDlgMode = DialogMode;
  TacMainWnd* h = CreateHandler(L"TacComboBoxWnd", Wnd, true, p, M, nullptr);
  acDlgMode = was;
  return dynamic_cast<TacComboBoxWnd*>(h);
}

void Free(TacComboBoxWnd* H) {
  TacMainWnd* h = H;
  FreeHandler(h);
}

// The combo box printed whole into a bitmap of its size.
void Print(HWND Wnd, TMemDC& Dc) {
  SendMessageW(Wnd, WM_PRINT, reinterpret_cast<WPARAM>(Dc.DC), PRF_CLIENT | PRF_NONCLIENT);
}

class ComboHandlers : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    ASSERT_TRUE(Skin.M->IsActive());
  }
  TTestManager Skin{L"Tarvel Combo Tabs Plain"};
};

}  // namespace

// In a foreign dialog the button is the skinned scroll width plus one for a drop-down list,
// exactly that width for a drop-down and absent for a simple combo box; right-to-left reading
// moves it to the left, ComboBoxMargin from the edge.
TEST_F(ComboHandlers, ButtonRectByStyleAndReadingOrder) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 400, 300);
  const int scroll = Skin.M->ScrollHeight(96);
  const int margin = Skin.M->CommonSkinData()->ComboBoxMargin;
  struct TCase {
    DWORD Style, ExStyle;
    int Width;
    bool Left;
  } cases[] = {
      {CBS_DROPDOWNLIST, 0, scroll + 1, false},
      {CBS_DROPDOWN, 0, scroll, false},
      {CBS_SIMPLE, 0, 0, false},
      {CBS_DROPDOWNLIST, WS_EX_RTLREADING, scroll + 1, true},
  };
  for (const TCase& c : cases) {
    HWND w = MakeCombo(parent.Wnd, c.Style, c.ExStyle);
    TacComboBoxWnd* h = Attach(w, Skin.M, true);
    ASSERT_NE(h, nullptr);
    RECT wr{};
    GetWindowRect(w, &wr);
    const TRect r = h->ButtonRect();
    EXPECT_EQ(r.Width(), c.Width) << c.Style;
    EXPECT_EQ(r.Top, margin);
    EXPECT_EQ(r.Bottom, wr.bottom - wr.top - margin);
    EXPECT_EQ(r.Left, c.Left ? margin : wr.right - wr.left - c.Width - margin) << c.Style;
    Free(h);
    DestroyWindow(w);
  }
}

// Without a glyph the arrow is a downward triangle in the button section's font colour, black
// without a button section; with a glyph the glyph's cell of the state is drawn.
TEST_F(ComboHandlers, ArrowColours) {
  // "Tarvel Test" has no combo sections at all: its combo box takes the edit section.
  struct TCase {
    const wchar_t* Skin;
    const wchar_t* Section;
    COLORREF Arrow;
  } cases[] = {{L"Tarvel Combo Tabs Plain", L"COMBOBOX", ButtonFont}, {L"Tarvel Test", L"EDIT", RGB(0, 0, 0)},
               {L"Tarvel Combo Tabs", L"COMBOBOX", GlyphState0}};
  for (const TCase& c : cases) {
    Skin.M->SetSkinName(c.Skin);
    ASSERT_TRUE(Skin.M->IsActive());
    TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 300, 200);
    SetCursorPos(1000, 1000);
    HWND w = MakeCombo(parent.Wnd, CBS_DROPDOWNLIST, 0, 22);
    TacComboBoxWnd* h = Attach(w, Skin.M, false, nullptr, c.Section);
    ASSERT_NE(h, nullptr);
    RECT wr{};
    GetWindowRect(w, &wr);
    TMemDC dc(wr.right - wr.left, wr.bottom - wr.top);
    Print(w, dc);
    const TRect b = h->ButtonRect();
    int hits = 0;
    for (int y = b.Top; y < b.Bottom; ++y)
      for (int x = b.Left; x < b.Right; ++x) hits += dc.At(x, y) == c.Arrow;
    EXPECT_GT(hits, 4) << std::hex << c.Arrow;
    Free(h);
    DestroyWindow(w);
  }
}

// Dropping the list down gives it its handler ("ACSBSC"), layered and one pixel wider; the
// skin's removal gives it a plain border back and drops the handler.
TEST_F(ComboHandlers, DroppedListGetsItsHandlerAndLosesItWithTheSkin) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 400, 300);
  HWND w = MakeCombo(parent.Wnd, CBS_DROPDOWNLIST, 0, 22);
  TacComboBoxWnd* h = Attach(w, Skin.M, false);
  ASSERT_NE(h, nullptr);
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(w, &info));
  SendMessageW(w, CB_SHOWDROPDOWN, TRUE, 0);
  PumpMessagesFor(100);
  RedrawWindow(info.hwndList, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
  PumpMessagesFor(50);
  RECT lr{};
  GetWindowRect(info.hwndList, &lr);
  const LRESULT dropped = SendMessageW(w, CB_GETDROPPEDWIDTH, 0, 0);
  EXPECT_EQ(h->FListHandle, info.hwndList);
  ASSERT_NE(h->ListSW, nullptr);
  EXPECT_EQ(GetPropW(info.hwndList, acScrollHandlerProp), static_cast<TacMainWnd*>(h->ListSW));
  EXPECT_TRUE(GetWindowLongW(info.hwndList, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_EQ(lr.right - lr.left, dropped + 1);
  SendMessageW(w, CB_SHOWDROPDOWN, FALSE, 0);
  // A second question of the list's colours makes no second handler.
  TacComboListWnd* first = h->ListSW;
  HDC ldc = GetDC(info.hwndList);
  SendMessageW(w, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(ldc), reinterpret_cast<LPARAM>(info.hwndList));
  ReleaseDC(info.hwndList, ldc);
  EXPECT_EQ(h->ListSW, first);
  SendMessageW(w, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REMOVE_SKIN), reinterpret_cast<LPARAM>(Skin.M));
  EXPECT_EQ(h->ListSW, nullptr);
  EXPECT_EQ(h->FListHandle, nullptr);
  EXPECT_EQ(GetPropW(info.hwndList, acScrollHandlerProp), nullptr);
  EXPECT_FALSE(GetWindowLongW(info.hwndList, GWL_STYLE) & WS_THICKFRAME);
  Free(h);
  DestroyWindow(w);
}

// A selected item longer than any fixed buffer is read whole and drawn; a focused drop-down
// list shows its text on the highlight colour inside a focus rectangle.
TEST_F(ComboHandlers, LongSelectedItemAndFocusedHighlight) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 400, 300);
  HWND w = MakeCombo(parent.Wnd, CBS_DROPDOWNLIST | CBS_HASSTRINGS, 0, 22);
  const std::wstring longText(5000, L'W');
  SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>((longText + L"end").c_str()));
  SendMessageW(w, CB_SETCURSEL, 3, 0);
  TacComboBoxWnd* h = Attach(w, Skin.M, false);
  ASSERT_NE(h, nullptr);
  RECT wr{};
  GetWindowRect(w, &wr);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  for (bool focused : {false, true}) {
    if (focused) SetFocus(w); else SetFocus(parent.Wnd);
    TMemDC dc(wr.right - wr.left, wr.bottom - wr.top);
    Print(w, dc);
    const TRect b = h->ButtonRect();
    int lit = 0;
    for (int x = 5; x < b.Left - 2; ++x) lit += dc.At(x, 4) == highlight;
    if (focused)
      EXPECT_GT(lit, (b.Left - 7) / 2);
    else
      EXPECT_EQ(lit, 0);
  }
  Free(h);
  DestroyWindow(w);
}

// A framework owner-drawn combo box draws its items through its own OnDrawItem onto the
// skinned background, the face item marked as the combo box's edit part.
TEST_F(ComboHandlers, FrameworkOwnerDrawnItemsUseOnDrawItem) {
  TForm form(nullptr);
  form.SetClientSize(300, 160);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->SetStyle(csOwnerDrawFixed);
  combo->SetBounds(10, 10, 180, 24);
  for (const wchar_t* item : {L"Red", L"Green"}) combo->Items().Add(item);
  combo->SetItemIndex(1);
  std::vector<std::pair<int, TOwnerDrawState>> calls;
  combo->OnDrawItem = [&](TWinControl*, int Index, const TRect& R, TOwnerDrawState State) {
    calls.emplace_back(Index, State);
    TCanvas& c = combo->Canvas();
    c.Brush.Color = 0x00FF00;
    c.FillRect(TRect{R.Left + 4, R.Top + 2, R.Left + 14, R.Bottom - 2});
  };
  form.Show();
  PumpMessagesFor(50);
  HWND w = combo->Handle();
  TacComboBoxWnd* h = Attach(w, Skin.M, false, combo);
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(h->EasyComboBox());
  RECT wr{};
  GetWindowRect(w, &wr);
  TMemDC dc(wr.right - wr.left, wr.bottom - wr.top);
  calls.clear();
  Print(w, dc);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().first, 1);
  EXPECT_TRUE(calls.back().second & odComboBoxEdit);
  EXPECT_EQ(dc.At(3 + 8, (wr.bottom - wr.top) / 2), RGB(0, 0xFF, 0));
  // The reflected owner-draw request goes the same way.
  calls.clear();
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessagesFor(30);
  EXPECT_FALSE(calls.empty());
  // The mouse already above, or still inside, changes nothing.
  h->SkinData->FMouseAbove = true;
  h->SkinData->BGChanged = false;
  combo->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_FALSE(h->SkinData->BGChanged);
  SetCursorPos(wr.left + 5, wr.top + 5);
  combo->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(h->SkinData->FMouseAbove);
  EXPECT_FALSE(h->SkinData->BGChanged);
  SetCursorPos(1000, 1000);
  Free(h);
}

// Many colour questions of the list and many owner-drawn paints leave the GDI census level.
TEST_F(ComboHandlers, ListColoursAndItemPaintsLeaveTheCensusLevel) {
  TForm form(nullptr);
  form.SetClientSize(300, 160);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->SetStyle(csOwnerDrawFixed);
  combo->SetBounds(10, 10, 180, 24);
  combo->Items().Add(L"One");
  combo->SetItemIndex(0);
  combo->OnDrawItem = [&](TWinControl*, int, const TRect& R, TOwnerDrawState) { combo->Canvas().FillRect(R); };
  form.Show();
  PumpMessagesFor(50);
  HWND w = combo->Handle();
  TacComboBoxWnd* h = Attach(w, Skin.M, false, combo);
  ASSERT_NE(h, nullptr);
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(w, &info));
  HDC ldc = GetDC(info.hwndList);
  RECT wr{};
  GetWindowRect(w, &wr);
  TMemDC dc(wr.right - wr.left, wr.bottom - wr.top);
  auto cycle = [&] {
    for (int i = 0; i < 1000; ++i)
      SendMessageW(w, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(ldc), reinterpret_cast<LPARAM>(info.hwndList));
    for (int i = 0; i < 200; ++i) Print(w, dc);
  };
  cycle();  // the one brush and the caches are made
  ASSERT_TRUE(InstallGdiCensus());
  const TGdiCensus start = GdiCensus();
  cycle();
  EXPECT_EQ(GdiCensus(), start);
  ReleaseDC(info.hwndList, ldc);
  Free(h);
}

// The framework combo box keeps its items and selection over a change of style, and reads
// an item of any length.
TEST(ComboBoxControl, ItemsSurviveStyleChange) {
  Application().Initialize();
  TForm form(nullptr);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->Items().Add(L"a");
  combo->Items().Add(std::wstring(5000, L'b'));
  combo->SetItemIndex(1);
  form.Show();
  EXPECT_EQ(combo->Items()[1].size(), 5000u);
  EXPECT_NE(combo->EditHandle(), nullptr);
  combo->SetStyle(csDropDownList);
  EXPECT_EQ(combo->Items().Count(), 2);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->EditHandle(), nullptr);
  EXPECT_EQ(GetWindowLongW(combo->Handle(), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
}

// The combo-like edit of another component set (no class list names one here, so a framework
// combo box stands in): the button is the system scroll width two pixels in, the list asks
// for its colours without getting a handler, and a framework list box made as the control's
// child gets an edit handler.
TEST_F(ComboHandlers, ComboLikeEditOfAnotherSet) {
  TForm form(nullptr);
  form.SetClientSize(300, 200);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->SetBounds(10, 10, 180, 24);
  combo->Items().Add(L"One");
  form.Show();
  PumpMessagesFor(50);
  HWND w = combo->Handle();
  TacSkinParams p;
  p.SkinSection = L"COMBOBOX";
  p.Control = combo;
  p.UseSkinColor = p.UseSkinFontColor = true;
  TacMainWnd* made = CreateHandler(L"TacWWComboBoxWnd", w, true, p, Skin.M, nullptr);
  auto* h = dynamic_cast<TacWWComboBoxWnd*>(made);
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(h->FShowButton);
  RECT wr{};
  GetWindowRect(w, &wr);
  const int sw = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(h->ButtonRect(), (TRect{wr.right - wr.left - sw - 2, 2, wr.right - wr.left - 2, wr.bottom - wr.top - 2}));
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetComboBoxInfo(w, &info));
  HDC ldc = GetDC(info.hwndList);
  SendMessageW(w, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(ldc), reinterpret_cast<LPARAM>(info.hwndList));
  ReleaseDC(info.hwndList, ldc);
  EXPECT_EQ(h->ListSW, nullptr);
  auto* list = new TListBox(&form);
  list->SetParent(combo);
  list->SetBounds(0, 0, 60, 40);
  list->Handle();
  PumpMessagesFor(20);
  EXPECT_EQ(h->ListBox, list);
  ASSERT_NE(h->ListBoxSW, nullptr);
  EXPECT_FALSE(h->ListBoxSW->Destroyed);
  FreeHandler(made);
}

// Items drawn through the combo box's own procedure with a substituted face: one font per
// face and base font while the skin lasts, and the item's DC gets its own font back.
TEST_F(ComboHandlers, SubstitutedFaceKeepsOneFontAndGivesTheDCItsOwnBack) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 300, 200);
  HWND w = MakeCombo(parent.Wnd, CBS_DROPDOWNLIST, 0, 22);
  TacComboBoxWnd* h = Attach(w, Skin.M, false);
  ASSERT_NE(h, nullptr);
  TsSkinManager* dm = DefaultManager();
  ASSERT_NE(dm, nullptr);
  const TacFontMode mode = dm->Fonts.MainMode.Get();
  const std::wstring face = dm->Fonts.MainFont.Get();
  dm->Fonts.MainFont = std::wstring(L"Arial");
  dm->Fonts.MainMode = fmCustom;
  TMemDC dc(40, 20);
  HGDIOBJ own = GetCurrentObject(dc.DC, OBJ_FONT);
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_STATIC;
  dis.hDC = dc.DC;
  dis.rcItem = RECT{0, 0, 40, 20};
  auto draw = [&](int n) {
    for (int i = 0; i < n; ++i) SendMessageW(w, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
  };
  draw(1);
  EXPECT_EQ(GetCurrentObject(dc.DC, OBJ_FONT), own);
  ASSERT_TRUE(InstallGdiCensus());
  const TGdiCensus start = GdiCensus();
  draw(200);
  EXPECT_EQ(GdiCensus(), start);
  EXPECT_EQ(GetCurrentObject(dc.DC, OBJ_FONT), own);
  dm->Fonts.MainMode = mode;
  dm->Fonts.MainFont = face;
  Free(h);
  DestroyWindow(w);
}
