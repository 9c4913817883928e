// The tool-bar and status-bar handlers on real windows: a native tool bar drawn button by
// button (separator, pressed, disabled, whole drop-down and text buttons), the framework's
// tool bar through its custom-draw events, the framework's status bar with its panels,
// dividers, grip and owner-drawn panel; the windows given back as they were, and the GDI
// census over many paints and skin cycles.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "HandlerFixtures.h"
#include "platform/ui/Buttons.SpeedButton.h"
#include "platform/ui/ComCtrls.StatusBar.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/ImgList.h"
#include "platform/ui/Menus.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "support/GdiCensus.h"

using namespace handler_tests;

namespace {

// The colours of tools/make_skin.py's bar skins (0x00RRGGBB).
constexpr std::uint32_t ToolButtonColour[3] = {0xC02040, 0xC06040, 0xC0A040};
constexpr std::uint32_t ToolBarColour = 0x204060, DividerColour = 0xE0E020, StatusBarColour = 0x306050,
                        StatusPanelColour = 0x60A090, GlyphColour = 0xF08000, GripColour = 0xD040D0,
                        ImageColour = 0x00C000;

bool Near(std::uint32_t A, std::uint32_t B, int Tolerance = 2) {
  for (int shift = 0; shift <= 16; shift += 8)
    if (std::abs(static_cast<int>((A >> shift) & 0xFF) - static_cast<int>((B >> shift) & 0xFF)) > Tolerance)
      return false;
  return true;
}

// The pixel at (X, Y) of a capture.
struct TShot {
  std::vector<std::uint32_t> Px;
  int W = 0, H = 0;
  explicit TShot(HWND Wnd) { Px = CaptureClient(Wnd, W, H); }
  std::uint32_t At(int X, int Y) const { return Px[static_cast<std::size_t>(Y) * W + X]; }
  // The top-left pixel of colour C inside R; (-1, -1) when there is none.
  POINT Find(std::uint32_t C, const RECT& R) const {
    for (int y = R.top; y < R.bottom; ++y)
      for (int x = R.left; x < R.right; ++x)
        if (At(x, y) == C) return POINT{x, y};
    return POINT{-1, -1};
  }
  bool Has(std::uint32_t C, const RECT& R) const { return Find(C, R).x >= 0; }
};

void HoldForAShot() {
  if (const char* ms = std::getenv("TARVEL_HANDLER_SHOT")) PumpMessagesFor(std::atoi(ms));
}

// A 16 x 16 image list of one green image.
HIMAGELIST GreenList() {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  for (int i = 0; i < 256; ++i) static_cast<std::uint32_t*>(bits)[i] = 0xFF000000u | ImageColour;
  ImageList_Add(list, bmp, nullptr);
  DeleteObject(bmp);
  return list;
}

class ToolBarHandlers : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    Load(L"Tarvel Bars");
    RegisterToolBarHandlerKinds();
    SetCursorPos(1200, 1000);  // far from every window: no hot button
  }
  void TearDown() override { TComponent::Free(M); }
  void Load(const wchar_t* Skin) {
    if (M) TComponent::Free(M);
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"skins-bars"));
    M->SetSkinName(Skin);
    ASSERT_TRUE(M->IsActive());
  }
  TacMainWnd* Make(const wchar_t* Kind, HWND Wnd, const wchar_t* Section, TControl* Control = nullptr) {
    TacSkinParams p;
    p.SkinSection = Section;
    p.Control = Control;
    p.UseSkinColor = p.UseSkinFontColor = true;
    return CreateHandler(Kind, Wnd, false, p, M, nullptr);
  }
  TsSkinManager* M = nullptr;
};

// ---------------------------------------------------------------------------
// Native tool bar
// ---------------------------------------------------------------------------

enum : int { BtnPlain, BtnSeparator, BtnPressed, BtnDisabled, BtnDropDown, BtnText, BtnCount };

struct TNativeBar {
  TRecorderWindow Parent{WS_POPUP | WS_VISIBLE, 600, 80};
  HWND Bar = nullptr;
  HIMAGELIST List = GreenList();
  std::wstring LongText = std::wstring(300, L'x');
  TNativeBar() {
    Bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NODIVIDER |
                                                         CCS_NOPARENTALIGN | TBSTYLE_FLAT,
                          0, 0, 600, 60, Parent.Wnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(Bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(Bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(List));
    TBBUTTON b[BtnCount] = {};
    for (int i = 0; i < BtnCount; ++i) {
      b[i].idCommand = 100 + i;
      b[i].iBitmap = 0;
      b[i].fsState = TBSTATE_ENABLED;
      b[i].fsStyle = BTNS_BUTTON;
      b[i].iString = -1;
    }
    b[BtnSeparator].fsStyle = BTNS_SEP;
    b[BtnSeparator].iBitmap = 12;
    b[BtnPressed].fsState |= TBSTATE_PRESSED;
    b[BtnDisabled].fsState = 0;
    b[BtnDropDown].fsStyle = BTNS_WHOLEDROPDOWN;
    b[BtnText].iBitmap = I_IMAGENONE;
    b[BtnText].iString = reinterpret_cast<INT_PTR>(LongText.c_str());
    SendMessageW(Bar, TB_ADDBUTTONSW, BtnCount, reinterpret_cast<LPARAM>(b));
    SendMessageW(Bar, TB_SETBUTTONSIZE, 0, MAKELPARAM(40, 40));
    SendMessageW(Bar, TB_SETBUTTONWIDTH, 0, MAKELPARAM(40, 80));
    PumpMessagesFor(50);
  }
  ~TNativeBar() {
    if (IsWindow(Bar)) DestroyWindow(Bar);
    ImageList_Destroy(List);
  }
  RECT Rect(int Index) const {
    RECT r{};
    SendMessageW(Bar, TB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
    return r;
  }
  void Repaint() const {
    RedrawWindow(Bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    PumpMessagesFor(30);
  }
};

}  // namespace

// The Part's rule puts the last two words on the second line of texts of three words or
// more, whatever fits the button.
TEST(ToolButtonText, LastWordIndexDecidesTheSplit) {
  struct TCase {
    const wchar_t* Text;
    const wchar_t* First;
    const wchar_t* Second;
  } cases[] = {
      {L"Open", L"", L"Open"},
      {L"Open file", L"", L"Open file"},
      {L"Open the file", L"Open", L"the file"},
      {L"Save all the open files", L"Save all the", L"open files"},
      {L"", L"", L""},
  };
  for (const TCase& c : cases) {
    std::wstring first, second;
    SplitToolButtonText(c.Text, first, second);
    EXPECT_EQ(first, c.First) << c.Text;
    EXPECT_EQ(second, c.Second) << c.Text;
  }
}

// A text longer than any fixed buffer comes back whole: its length is asked first.
TEST_F(ToolBarHandlers, ButtonTextIsReadToItsFullLength) {
  TNativeBar bar;
  std::wstring text;
  ASSERT_TRUE(ToolButtonText(bar.Bar, 100 + BtnText, text));
  EXPECT_EQ(text, bar.LongText);
  EXPECT_FALSE(ToolButtonText(bar.Bar, 100 + BtnPlain, text) && !text.empty());
}

// Separator, normal, pressed, disabled and whole drop-down buttons as the skin draws them,
// and the tool bar's own painting back after the handler goes.
TEST_F(ToolBarHandlers, NativeToolBarDrawsEveryKindOfButton) {
  TNativeBar bar;
  TacMainWnd* h = Make(L"TacToolBarWnd", bar.Bar, L"TOOLBAR");
  ASSERT_NE(h, nullptr);
  bar.Repaint();
  HoldForAShot();
  TShot shot(bar.Bar);
  // Separator: the divider in the middle of its place, the tool bar around it.
  const RECT sep = bar.Rect(BtnSeparator);
  const int mid = (sep.left + sep.right) / 2, y = (sep.top + sep.bottom) / 2;
  EXPECT_EQ(shot.At(mid, y), DividerColour);
  EXPECT_EQ(shot.At(sep.left, y), ToolBarColour);
  // Normal and pressed faces; the pressed content lies one pixel right and down.
  const RECT plain = bar.Rect(BtnPlain), pressed = bar.Rect(BtnPressed);
  EXPECT_EQ(shot.At(plain.left + 1, plain.top + 1), ToolButtonColour[0]);
  EXPECT_EQ(shot.At(pressed.left + 1, pressed.top + 1), ToolButtonColour[2]);
  const POINT a = shot.Find(ImageColour, plain), b = shot.Find(ImageColour, pressed);
  ASSERT_GE(a.x, 0);
  ASSERT_GE(b.x, 0);
  EXPECT_EQ(b.x - pressed.left, a.x - plain.left + 1);
  EXPECT_EQ(b.y - pressed.top, a.y - plain.top + 1);
  // Disabled: state 0 mixed with the tool bar behind it.
  const RECT off = bar.Rect(BtnDisabled);
  const std::uint32_t face = ToolButtonColour[0], back = ToolBarColour;
  std::uint32_t mixed = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const std::uint32_t f = (face >> shift) & 0xFF, k = (back >> shift) & 0xFF;
    mixed |= (((255u - DisabledBlendWeight) * k + DisabledBlendWeight * f) >> 8) << shift;
  }
  EXPECT_TRUE(Near(shot.At(off.left + 1, off.top + 1), mixed)) << std::hex << shot.At(off.left + 1, off.top + 1);
  // The whole drop-down button shows the skin's down-arrow glyph.
  EXPECT_TRUE(shot.Has(GlyphColour, bar.Rect(BtnDropDown)));
  // The long text button is drawn (its face) without reading past its text.
  const RECT text = bar.Rect(BtnText);
  EXPECT_EQ(shot.At(text.left + 1, text.top + 1), ToolButtonColour[0]);
  FreeHandler(h);
  bar.Repaint();
  TShot after(bar.Bar);
  EXPECT_NE(after.At(plain.left + 1, plain.top + 1), ToolButtonColour[0]);
  EXPECT_NE(after.At(mid, y), DividerColour);
}

// A skin whose divider has no border mask draws no separator; a down-arrow glyph index past
// the loaded masks is not drawn either.
TEST_F(ToolBarHandlers, SkinIndexesAreCheckedBeforeUse) {
  TNativeBar bar;
  TacSkinData* sd = M->CommonSkinData();
  ASSERT_NE(sd, nullptr);
  const int savedGlyph = sd->ScrollBtns[asBottom].GlyphIndex;
  sd->ScrollBtns[asBottom].GlyphIndex = static_cast<int>(sd->ma.size()) + 5;
  TacMainWnd* h = Make(L"TacToolBarWnd", bar.Bar, L"TOOLBAR");
  ASSERT_NE(h, nullptr);
  bar.Repaint();
  TShot shot(bar.Bar);
  EXPECT_FALSE(shot.Has(GlyphColour, bar.Rect(BtnDropDown)));
  EXPECT_EQ(shot.At(bar.Rect(BtnDropDown).left + 1, bar.Rect(BtnDropDown).top + 1), ToolButtonColour[0]);
  FreeHandler(h);
  sd->ScrollBtns[asBottom].GlyphIndex = savedGlyph;
  Load(L"Tarvel Bars NoGlyph");
  h = Make(L"TacToolBarWnd", bar.Bar, L"TOOLBAR");
  bar.Repaint();
  TShot plain(bar.Bar);
  EXPECT_FALSE(plain.Has(GlyphColour, bar.Rect(BtnDropDown)));
  EXPECT_TRUE(plain.Has(ImageColour, bar.Rect(BtnDropDown)));
  FreeHandler(h);
}

// ---------------------------------------------------------------------------
// Framework status bar
// ---------------------------------------------------------------------------

namespace {

constexpr std::uint32_t OwnerDrawColour = 0x1030F0;

struct TStatusForm {
  TForm Form{nullptr};
  TStatusBar* Bar = nullptr;
  explicit TStatusForm(int BorderWidth = 0) {
    Form.Tag = 256;  // the form itself stays unskinned
    Form.SetBounds(20, 20, 400, 200);
    Bar = new TStatusBar(&Form);
    Bar->BorderWidth = BorderWidth;
    Bar->SetParent(&Form);
    for (int i = 0; i < 3; ++i) {
      TStatusPanel* p = Bar->Panels.Add();
      p->SetWidth(100);
      p->SetText(L"Panel " + std::to_wstring(i));
    }
    Bar->Panels.Items(1)->SetStyle(psOwnerDraw);
    Bar->OnDrawPanel = [](TStatusBar* Sender, TStatusPanel*, const TRect& R) {
      HBRUSH brush = CreateSolidBrush(RGB(OwnerDrawColour >> 16, (OwnerDrawColour >> 8) & 0xFF, OwnerDrawColour & 0xFF));
      RECT r{R.Left + 4, R.Top + 2, R.Left + 14, R.Bottom - 2};
      FillRect(Sender->Canvas.Handle(), &r, brush);
      DeleteObject(brush);
    };
    Form.Show();
    // A form is made with its client size; its bounds are set on the window.
    Form.SetBounds(20, 20, 400, 200);
    PumpMessagesFor(50);
  }
  RECT Part(int Index) const {
    RECT r{};
    SendMessageW(Bar->Handle(), SB_GETRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
    return r;
  }
  void Repaint() const {
    RedrawWindow(Bar->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    PumpMessagesFor(30);
  }
};

}  // namespace

// Dividers end every panel but the last; the owner-drawn panel paints into the cache and
// gets no text; the grip lies in the bottom-right corner inside the border width.
TEST_F(ToolBarHandlers, StatusBarPanelsDividersGripAndOwnerDraw) {
  TStatusForm f;
  TacMainWnd* h = Make(L"TacStatusBarWnd", f.Bar->Handle(), L"", f.Bar);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->SkinData->SkinSection(), L"STATUSBAR");
  EXPECT_EQ(static_cast<TacStatusBarWnd*>(h)->StatusBar, f.Bar);
  f.Repaint();
  HoldForAShot();
  TShot shot(f.Bar->Handle());
  const int y = shot.H / 2;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const RECT r = f.Part(i);
    EXPECT_EQ(shot.At(r.left + 3, 2), StatusBarColour);
    // The divider is made in the part shrunk by one pixel: its last column is right - 2.
    const bool divider = shot.Has(DividerColour, RECT{r.right - 6, y, r.right, y + 1});
    EXPECT_EQ(divider, i < 2);
  }
  EXPECT_TRUE(shot.Has(OwnerDrawColour, f.Part(1)));
  EXPECT_FALSE(shot.Has(OwnerDrawColour, f.Part(0)));
  EXPECT_EQ(shot.At(shot.W - 1, shot.H - 1), GripColour);
  FreeHandler(h);
}

// A status bar with a border keeps its grip inside the border; a skin with a panel mask
// paints the panels with it and no dividers.
TEST_F(ToolBarHandlers, StatusBarGripInsideBorderAndPanelMask) {
  {
    TStatusForm f(3);
    TacMainWnd* h = Make(L"TacStatusBarWnd", f.Bar->Handle(), L"", f.Bar);
    f.Repaint();
    TShot shot(f.Bar->Handle());
    // The cache is the window; the grip's corner lies three pixels in from it.
    RECT wr{};
    GetWindowRect(f.Bar->Handle(), &wr);
    RECT cr{};
    GetClientRect(f.Bar->Handle(), &cr);
    const int gx = (wr.right - wr.left) - 1 - 3, gy = (wr.bottom - wr.top) - 1 - 3;
    ASSERT_LT(gx, shot.W);
    EXPECT_EQ(shot.At(gx, gy), GripColour);
    EXPECT_NE(shot.At(shot.W - 1, shot.H - 1), GripColour);
    FreeHandler(h);
  }
  Load(L"Tarvel Bars Panels");
  TacSkinData* sd = M->CommonSkinData();
  ASSERT_GE(sd->GetMaskIndex(L"STATUSBAR", L"STATUSPANELMASK"), 0);
  ASSERT_GE(sd->GetMaskIndex(sd->GetSkinIndex(L"STATUSBAR"), L"STATUSPANELMASK"), 0);
  TStatusForm f;
  TacMainWnd* h = Make(L"TacStatusBarWnd", f.Bar->Handle(), L"", f.Bar);
  f.Repaint();
  TShot shot(f.Bar->Handle());
  const RECT r = f.Part(0);
  // The mask's left border, in the part shrunk by one pixel.
  EXPECT_EQ(shot.At(r.left + 1, shot.H / 2), StatusPanelColour);
  EXPECT_FALSE(shot.Has(DividerColour, RECT{0, 0, shot.W, shot.H}));
  FreeHandler(h);
}

// ---------------------------------------------------------------------------
// Framework tool bar
// ---------------------------------------------------------------------------

namespace {

struct TToolForm {
  TForm Form{nullptr};
  TToolBar* Bar = nullptr;
  TCustomImageList* Images = nullptr;
  explicit TToolForm(bool Flat) {
    Form.Tag = 256;  // the form itself stays unskinned
    Form.SetBounds(20, 20, 400, 200);
    Bar = new TToolBar(&Form);
    Bar->Flat = Flat;
    Bar->ButtonWidth = 40;
    Bar->ButtonHeight = 30;
    Bar->SetBounds(0, 0, 400, 40);
    for (int i = 0; i < 4; ++i) {
      auto* b = new TToolButton(&Form);
      b->SetParent(Bar);
      b->SetCaption(L"B" + std::to_wstring(i));
    }
    Bar->Buttons(2)->Style = tbsDropDown;
    Bar->SetParent(&Form);
    Form.Show();
    // A form is made with its client size; its bounds are set on the window.
    Form.SetBounds(20, 20, 400, 200);
    Bar->RebuildButtons();
    PumpMessagesFor(50);
  }
  RECT Rect(int Index) const {
    RECT r{};
    SendMessageW(Bar->Handle(), TB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
    return r;
  }
  void Repaint() const {
    RedrawWindow(Bar->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    PumpMessagesFor(30);
  }
  void MoveOver(int Index) const {
    const RECT r = Rect(Index);
    SendMessageW(Bar->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    PumpMessagesFor(30);
  }
};

}  // namespace

// The handler draws the background and the buttons as the tool bar's events; they are
// installed at creation and removed with the skin.
TEST_F(ToolBarHandlers, FrameworkToolBarPaintsThroughItsEvents) {
  TToolForm f(false);
  TacMainWnd* h = Make(L"TacToolBarVCLWnd", f.Bar->Handle(), L"", f.Bar);
  ASSERT_NE(h, nullptr);
  auto* tb = static_cast<TacToolBarVCLWnd*>(h);
  EXPECT_EQ(tb->ToolBar, f.Bar);
  EXPECT_EQ(h->SkinData->SkinSection(), L"TOOLBAR");
  EXPECT_TRUE(static_cast<bool>(f.Bar->OnAdvancedCustomDraw));
  EXPECT_TRUE(static_cast<bool>(f.Bar->OnAdvancedCustomDrawButton));
  f.Repaint();
  HoldForAShot();
  TShot shot(f.Bar->Handle());
  const RECT b0 = f.Rect(0);
  EXPECT_EQ(shot.At(b0.left + 1, b0.top + 1), ToolButtonColour[0]);
  // Right of the last button (the bar is wider than the form shows it).
  EXPECT_EQ(shot.At(f.Rect(3).right + 40, shot.H - 2), ToolBarColour);
  SendMessageW(f.Bar->Handle(), SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REMOVE_SKIN), reinterpret_cast<LPARAM>(M));
  EXPECT_FALSE(static_cast<bool>(f.Bar->OnAdvancedCustomDraw));
  EXPECT_FALSE(static_cast<bool>(f.Bar->OnAdvancedCustomDrawButton));
  FreeHandler(h);
}

// Hot tracking by the handler only on a tool bar that is not flat; the drop-down part of a
// button shows the pressed state after TBN_DROPDOWN.
TEST_F(ToolBarHandlers, FrameworkToolBarHotTrackingAndDropDown) {
  for (bool flat : {false, true}) {
    SCOPED_TRACE(flat ? "flat" : "not flat");
    TToolForm f(flat);
    auto* h = static_cast<TacToolBarVCLWnd*>(Make(L"TacToolBarVCLWnd", f.Bar->Handle(), L"", f.Bar));
    ASSERT_NE(h, nullptr);
    f.Repaint();
    f.MoveOver(1);
    EXPECT_EQ(h->HotButtonIndex, flat ? -1 : 1);
    if (!flat) {
      TShot shot(f.Bar->Handle());
      const RECT b1 = f.Rect(1);
      EXPECT_EQ(shot.At(b1.left + 1, b1.top + 1), ToolButtonColour[1]);
    }
    FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
  }
  TToolForm f(false);
  auto* h = static_cast<TacToolBarVCLWnd*>(Make(L"TacToolBarVCLWnd", f.Bar->Handle(), L"", f.Bar));
  f.Bar->Buttons(2)->Down = true;
  NMTOOLBARW nm{};
  nm.hdr.hwndFrom = f.Bar->Handle();
  nm.hdr.code = TBN_DROPDOWN;
  nm.iItem = 2;
  f.Bar->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
  EXPECT_EQ(h->DroppedButton, f.Bar->Buttons(2));
  f.Repaint();
  TShot shot(f.Bar->Handle());
  const RECT b2 = f.Rect(2);
  // The drop-down part (right of the content) in the scroll button's pressed cell.
  EXPECT_TRUE(shot.Has(0xA0A040, RECT{b2.right - 10, b2.top, b2.right, b2.bottom}));
  f.Bar->Perform(WM_USER + 0x1000, 0, 0);
  EXPECT_EQ(h->DroppedButton, nullptr);
  TacMainWnd* base = h;
  FreeHandler(base);
}

// Pressing a drop-down button makes the tool bar drop the button's menu: while it is open the
// drop-down part shows the pressed cell; the bar's notice that it closed (the menu is closed
// from a timer inside its loop) gives the part its normal look back.
TEST_F(ToolBarHandlers, FrameworkToolBarDropDownPressedWhileItsMenuIsOpen) {
  TToolForm f(false);
  auto* menu = new TPopupMenu(&f.Form);
  auto* entry = new TMenuItem(menu);
  entry->Caption = L"Entry";
  menu->Items()->Add(entry);
  TToolButton* button = f.Bar->Buttons(2);
  button->DropdownMenu = menu;
  auto* h = static_cast<TacToolBarVCLWnd*>(Make(L"TacToolBarVCLWnd", f.Bar->Handle(), L"", f.Bar));
  ASSERT_NE(h, nullptr);
  f.Repaint();
  const RECT b2 = f.Rect(2);
  const RECT part{b2.right - 10, b2.top, b2.right, b2.bottom};
  constexpr std::uint32_t PressedCell = 0xA0A040;
  EXPECT_FALSE(TShot(f.Bar->Handle()).Has(PressedCell, part));
  int opened = 0;
  bool pressedWhileOpen = false;
  TToolButton* droppedWhileOpen = nullptr;
  auto* closer = new TTimer(&f.Form);
  closer->SetInterval(50);
  closer->SetOnTimer([&] {
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (!popup || !IsWindowVisible(popup)) return;
    ++opened;
    droppedWhileOpen = h->DroppedButton;
    pressedWhileOpen = TShot(f.Bar->Handle()).Has(PressedCell, part);
    EndMenu();
  });
  closer->SetEnabled(true);
  const LPARAM at = MAKELPARAM(b2.right - 3, (b2.top + b2.bottom) / 2);
  SendMessageW(f.Bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(f.Bar->Handle(), WM_LBUTTONUP, 0, at);
  closer->SetEnabled(false);
  PumpMessagesFor(50);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(droppedWhileOpen, button);
  EXPECT_TRUE(pressedWhileOpen);
  EXPECT_EQ(h->DroppedButton, nullptr);
  EXPECT_EQ(h->HotButtonIndex, -1);
  EXPECT_FALSE(TShot(f.Bar->Handle()).Has(PressedCell, part));
  TacMainWnd* base = h;
  FreeHandler(base);
}

// Two hundred repaints of each bar and fifty skin cycles leave the GDI census where it began.
TEST_F(ToolBarHandlers, RepaintsAndSkinCyclesKeepTheCensusLevel) {
  TNativeBar bar;
  TStatusForm status;
  TToolForm tools(false);
  const auto cycle = [&] {
    TacMainWnd* a = Make(L"TacToolBarWnd", bar.Bar, L"TOOLBAR");
    TacMainWnd* b = Make(L"TacStatusBarWnd", status.Bar->Handle(), L"", status.Bar);
    TacMainWnd* c = Make(L"TacToolBarVCLWnd", tools.Bar->Handle(), L"", tools.Bar);
    bar.Repaint();
    status.Repaint();
    tools.Repaint();
    FreeHandler(a);
    FreeHandler(b);
    FreeHandler(c);
  };
  cycle();
  ASSERT_TRUE(InstallGdiCensus());
  const TGdiCensus start = GdiCensus();
  TacMainWnd* a = Make(L"TacToolBarWnd", bar.Bar, L"TOOLBAR");
  TacMainWnd* b = Make(L"TacStatusBarWnd", status.Bar->Handle(), L"", status.Bar);
  TacMainWnd* c = Make(L"TacToolBarVCLWnd", tools.Bar->Handle(), L"", tools.Bar);
  for (int i = 0; i < 200; ++i) {
    SendMessageW(bar.Bar, WM_PAINT, 0, 0);
    RedrawWindow(bar.Bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RedrawWindow(status.Bar->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RedrawWindow(tools.Bar->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
  FreeHandler(a);
  FreeHandler(b);
  FreeHandler(c);
  for (int i = 0; i < 50; ++i) cycle();
  EXPECT_EQ(GdiCensus(), start);
}

// One form with a framework tool bar, a native tool bar, speed buttons and a status bar, all
// drawn from the skin at once (with TARVEL_HANDLER_SHOT set it stays up for a look).
TEST_F(ToolBarHandlers, OneFormWithEveryKindOfBar) {
  TToolForm f(false);
  f.Bar->ShowCaptions = true;
  f.Bar->RebuildButtons();
  HWND native = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NODIVIDER |
                                                               CCS_NOPARENTALIGN | TBSTYLE_FLAT,
                                0, 44, 300, 34, f.Form.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(native, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  std::wstring texts[] = {L"Open", L"Save all files", L"", L"Print"};
  TBBUTTON b[4] = {};
  for (int i = 0; i < 4; ++i) {
    b[i] = TBBUTTON{};
    b[i].idCommand = 200 + i;
    b[i].iBitmap = I_IMAGENONE;
    b[i].fsState = TBSTATE_ENABLED;
    b[i].fsStyle = i == 2 ? BTNS_SEP : BTNS_BUTTON;
    b[i].iString = texts[i].empty() ? -1 : reinterpret_cast<INT_PTR>(texts[i].c_str());
  }
  b[3].fsState = 0;
  SendMessageW(native, TB_ADDBUTTONSW, 4, reinterpret_cast<LPARAM>(b));
  SendMessageW(native, TB_SETBUTTONSIZE, 0, MAKELPARAM(70, 30));
  auto* status = new TStatusBar(&f.Form);
  status->SetParent(&f.Form);
  for (int i = 0; i < 3; ++i) {
    TStatusPanel* p = status->Panels.Add();
    p->SetWidth(120);
    p->SetText(i == 0 ? L"Ready" : i == 1 ? L"Line 1" : L"Skinned");
  }
  auto* speed = new TSpeedButton(&f.Form);
  speed->SetBounds(10, 90, 90, 30);
  speed->SetCaption(L"Speed");
  speed->SetParent(&f.Form);
  auto* pressed = new TSpeedButton(&f.Form);
  pressed->SetBounds(110, 90, 90, 30);
  pressed->SetCaption(L"Down");
  pressed->SetParent(&f.Form);
  pressed->SetDown(true);
  TsCommonData speedData(speed, true), pressedData(pressed, true);
  speedData.WriteSkinSection(L"SPEEDBUTTON");
  pressedData.WriteSkinSection(L"SPEEDBUTTON");
  {
    TacSpeedButtonHandler hs(speed, true, L"SPEEDBUTTON", M, &speedData);
    TacSpeedButtonHandler hp(pressed, true, L"SPEEDBUTTON", M, &pressedData);
    TacMainWnd* ht = Make(L"TacToolBarVCLWnd", f.Bar->Handle(), L"", f.Bar);
    TacMainWnd* hn = Make(L"TacToolBarWnd", native, L"TOOLBAR");
    TacMainWnd* hb = Make(L"TacStatusBarWnd", status->Handle(), L"", status);
    RedrawWindow(f.Form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessagesFor(50);
    HoldForAShot();
    int w = 0, h = 0;
    std::vector<std::uint32_t> px = CaptureClient(f.Form.Handle(), w, h);
    const auto at = [&](int x, int y) { return px[static_cast<std::size_t>(y) * w + x]; };
    EXPECT_EQ(at(f.Rect(0).left + 1, f.Rect(0).top + 1), ToolButtonColour[0]);
    EXPECT_EQ(at(2, 44 + 32), ToolBarColour);
    EXPECT_EQ(at(12, 92), 0x5020C0u);
    EXPECT_EQ(at(112, 92), 0x7060E0u);
    EXPECT_EQ(at(3, h - 3), StatusBarColour);
    FreeHandler(hb);
    FreeHandler(hn);
    FreeHandler(ht);
  }
  DestroyWindow(native);
}
