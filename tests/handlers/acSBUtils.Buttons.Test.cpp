// The button, check-box and group-box handlers on real windows of a dialog template: state
// rules and their colours in the cache and on screen, modal-result colouring, caption and
// glyph layout, check and radio masks, the group box's caption band, and the windows given
// back as they were, without GDI growth.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "HandlerDialogs.h"
#include "HandlerFixtures.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/ImgList.h"
#include "platform/ui/StdCtrls.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "support/GdiCensus.h"

using namespace handler_tests;

namespace {

// The colours of tools/make_skin.py's button skins (0x00RRGGBB).
constexpr std::uint32_t ButtonState[4] = {0x3050D0, 0x40C0E0, 0x2030A0, 0xD0A030};
constexpr std::uint32_t Default3StateHot = 0x60C060;  // the 3-state skin's state 1
constexpr std::uint32_t ParentColour = 0x5A6B7C;      // "PANEL"
constexpr std::uint32_t GroupFrame = 0xB03070;
// Cell State of a check or radio mask (Blue: 1 unchecked, 2 checked, 3 grayed box; 4, 5 radio).
constexpr std::uint32_t MaskCell(std::uint32_t Blue, int State) {
  return 0xE00000u | (static_cast<std::uint32_t>(0x10 + 0x30 * State) << 8) | Blue;
}

struct TButtonSkin {
  TsSkinManager* M;
  explicit TButtonSkin(const wchar_t* Name) {
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"skins-buttons"));
    M->SetSkinName(Name);
  }
  ~TButtonSkin() { TComponent::Free(M); }
};

// The dialog's own handler in these tests: "PANEL" rendered into its cache, which its
// children take as their background.
class TParentPaintWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  void acWndProc(TMessage& Message) override {
    switch (Message.Msg) {
      case WM_ERASEBKGND:
        Message.Result = 1;
        return;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(CtrlHandle, &ps);
        Render();
        TBitmap* cache = SkinData->FCacheBmp.get();
        BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
        EndPaint(CtrlHandle, &ps);
        Message.Result = 0;
        return;
      }
    }
    TacMainWnd::acWndProc(Message);
  }
  void Render() {
    SkinData->BGChanged = true;
    RenderControlCache(SkinData, CtrlHandle, false);
  }
};

std::uint32_t CachePixel(TacMainWnd* H, int X, int Y) {
  return reinterpret_cast<const std::uint32_t*>(H->SkinData->FCacheBmp->ScanLine(Y))[X] & 0xFFFFFF;
}

std::uint32_t ScreenPixel(HWND Wnd, int X, int Y) {
  int w = 0, h = 0;
  const auto px = CaptureClient(Wnd, w, h);
  return px[static_cast<std::size_t>(Y) * w + X];
}

// Per channel ((255 - W) * Parent + W * Own) >> 8: a disabled control over its parent.
std::uint32_t DisabledMix(std::uint32_t Own, std::uint32_t Parent) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::uint32_t o = (Own >> shift) & 0xFF, p = (Parent >> shift) & 0xFF;
    out |= (((255 - DisabledBlendWeight) * p + DisabledBlendWeight * o) >> 8) << shift;
  }
  return out;
}

// Windows made while it lives are mirrored (right to left) or not.
struct TProcessLayout {
  explicit TProcessLayout(bool RightToLeft) { SetProcessDefaultLayout(RightToLeft ? LAYOUT_RTL : 0); }
  ~TProcessLayout() { SetProcessDefaultLayout(0); }
};

// A dialog's handler whose background is a bitmap of its client's size in which every column
// has a colour of its own.
class TColumnsParentWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  static std::uint32_t Column(int X) {
    return 0x80u | (static_cast<std::uint32_t>(X & 0xFF) << 16) | (static_cast<std::uint32_t>((X >> 8) & 0xFF) << 8);
  }
  void acWndProc(TMessage& Message) override {
    if (Message.Msg == SM_SKINCOMMAND && SkinCommandOf(Message.WParam) == SKCMD_GET_BG_INFO && Message.LParam) {
      RECT client{};
      GetClientRect(CtrlHandle, &client);
      if (Columns.Width() != client.right || Columns.Height() != client.bottom) {
        Columns.SetPixelFormat(pf32bit);
        Columns.SetSize(client.right, client.bottom);
        for (int y = 0; y < client.bottom; ++y) {
          auto* row = reinterpret_cast<std::uint32_t*>(Columns.ScanLine(y));
          for (int x = 0; x < client.right; ++x) row[x] = Column(x);
        }
      }
      auto* info = reinterpret_cast<TacBGInfo*>(Message.LParam);
      info->BgType = btCache;
      info->Bmp = &Columns;
      info->Offset = TPoint{0, 0};
      Message.Result = 1;
      return;
    }
    TacMainWnd::acWndProc(Message);
  }
  TBitmap Columns;
};

class ButtonHandlers : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    RegisterButtonHandlerKinds();
    Kinds.Add(L"TParentPaintWnd", MakerOf<TParentPaintWnd>());
    Kinds.Add(L"TColumnsParentWnd", MakerOf<TColumnsParentWnd>());
    SetCursorPos(1200, 1000);  // away from every window
    UseSkin(L"Tarvel Test Buttons");
  }
  void TearDown() override {
    for (TacMainWnd*& h : Handlers) FreeHandler(h);
    Handlers.clear();
    FreeHandler(Parent);
    if (Dlg) DestroyWindow(Dlg);
    Dlg = nullptr;
    Skin.reset();
  }
  void UseSkin(const wchar_t* Name) {
    Skin.reset();
    Skin = std::make_unique<TButtonSkin>(Name);
    ASSERT_TRUE(Skin->M->IsActive());
  }
  // The template dialog, shown without activation, with its "PANEL" handler.
  void OpenDialog(int Template = IDD_BUTTONS) {
    Dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(Template), nullptr,
                             [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(Dlg, nullptr);
    SetWindowPos(Dlg, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    TacSkinParams p;
    p.SkinSection = L"PANEL";
    p.UseSkinColor = p.UseSkinFontColor = true;
    Parent = CreateHandler(L"TParentPaintWnd", Dlg, false, p, Skin->M, nullptr);
    ASSERT_NE(Parent, nullptr);
    static_cast<TParentPaintWnd*>(Parent)->Render();
  }
  HWND Item(int Id) { return GetDlgItem(Dlg, Id); }
  template <class T = TacMainWnd>
  T* Attach(const wchar_t* Kind, HWND Wnd, TControl* Control = nullptr) {
    TacSkinParams p;
    p.Control = Control;
    p.UseSkinColor = p.UseSkinFontColor = true;
    TacMainWnd* h = CreateHandler(Kind, Wnd, false, p, Skin->M, nullptr);
    EXPECT_NE(h, nullptr) << Kind;
    Handlers.push_back(h);
    return dynamic_cast<T*>(h);
  }
  void Release(TacMainWnd* H) {
    for (TacMainWnd*& h : Handlers)
      if (h == H) FreeHandler(h);
  }
  std::unique_ptr<TButtonSkin> Skin;
  TKindScope Kinds;
  HWND Dlg = nullptr;
  TacMainWnd* Parent = nullptr;
  std::vector<TacMainWnd*> Handlers;
};

}  // namespace

// ---------------------------------------------------------------------------
// Push buttons
// ---------------------------------------------------------------------------

// The state a push button paints with: default, pressed and normal, and the default button
// of a skin with 3 states taking state index 1.
TEST_F(ButtonHandlers, StateRulesPickTheSectionState) {
  struct TCase {
    const wchar_t* Skin;
    int Id;
    bool Pressed;
    int State, Index;
    std::uint32_t Colour;
  } cases[] = {
      {L"Tarvel Test Buttons", IDOK, false, 3, 3, ButtonState[3]},
      {L"Tarvel Test Buttons", 1101, false, 0, 0, ButtonState[0]},
      {L"Tarvel Test Buttons", 1101, true, 2, 2, ButtonState[2]},
      {L"Tarvel Test Buttons3", IDOK, false, 3, 1, Default3StateHot},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::wstring(c.Skin) + L" " + std::to_wstring(c.Id) + (c.Pressed ? L" pressed" : L""));
    UseSkin(c.Skin);
    OpenDialog();
    auto* h = Attach<TacBtnWnd>(L"TacBtnWnd", Item(c.Id));
    ASSERT_NE(h, nullptr);
    if (c.Pressed) SendMessageW(Item(c.Id), BM_SETSTATE, TRUE, 0);
    EXPECT_EQ(h->CurrentState(), c.State);
    EXPECT_EQ(h->SkinStateIndex(), c.Index);
    h->PrepareCache();
    // The border strip: its cell is the state's own (the centre has only three colours).
    EXPECT_EQ(CachePixel(h, 1, h->WndSize.cy / 2), c.Colour);
    // The same on screen, through the handler's own painting.
    RedrawWindow(Item(c.Id), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(ScreenPixel(Item(c.Id), 1, h->WndSize.cy / 2), c.Colour);
    TearDown();
  }
}

// A click through the window's own handling: pressed, the button shows state 2 with its
// caption moved by (1, 1); released, state 0 again.
TEST_F(ButtonHandlers, ClickShowsThePressedStateAndShiftsTheCaption) {
  OpenDialog();
  HWND wnd = Item(1101);
  auto* h = Attach<TacBtnWnd>(L"TacBtnWnd", wnd);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  TRect normal;
  h->CaptionRect(normal);
  SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ASSERT_TRUE(h->Down());
  EXPECT_EQ(ScreenPixel(wnd, 1, h->WndSize.cy / 2), ButtonState[2]);
  TRect pressed;
  h->CaptionRect(pressed);
  EXPECT_EQ(pressed, (TRect{normal.Left + 1, normal.Top + 1, normal.Right + 1, normal.Bottom + 1}));
  SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  for (int i = 0; i < 100 && h->SkinData->IsAnimating(); ++i) PumpMessagesFor(10);
  EXPECT_FALSE(h->Down());
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_NE(ScreenPixel(wnd, 1, h->WndSize.cy / 2), ButtonState[2]);
}

// Under a right-to-left process the button's window is mirrored, but its picture is copied
// as the cache holds it (the caption reads the same), not mirrored a second time.
TEST_F(ButtonHandlers, RightToLeftProcessShowsTheCacheUnmirrored) {
  TProcessLayout layout(true);
  OpenDialog();
  HWND wnd = Item(1101);
  ASSERT_TRUE(GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  auto* h = Attach<TacBtnWnd>(L"TacBtnWnd", wnd);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessagesFor(30);
  // The screen read without the window's mirroring: the window's rectangle from the screen DC.
  RECT r{};
  GetWindowRect(wnd, &r);
  HDC screen = GetDC(nullptr);
  const int y = h->WndSize.cy / 2;
  int differing = 0, inked = 0;
  for (int x = 0; x < h->WndSize.cx; ++x) {
    const COLORREF c = GetPixel(screen, r.left + x, r.top + y);
    const std::uint32_t shown = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    differing += shown != CachePixel(h, x, y);
    inked += CachePixel(h, x, y) != CachePixel(h, h->WndSize.cx - 1 - x, y);
  }
  ReleaseDC(nullptr, screen);
  ASSERT_GT(inked, 0) << "the caption row must not read the same both ways";
  EXPECT_EQ(differing, 0);
}

// A disabled button is its state-0 look mixed with the parent's pixels by the blend weight.
TEST_F(ButtonHandlers, DisabledButtonIsMixedWithItsParent) {
  OpenDialog();
  auto* h = Attach<TacBtnWnd>(L"TacBtnWnd", Item(1102));
  ASSERT_FALSE(IsWindowEnabled(Item(1102)));
  h->PrepareCache();
  EXPECT_EQ(CachePixel(h, 4, h->WndSize.cy / 2), DisabledMix(ButtonState[0], ParentColour));
}

// A button takes the part of its parent's background that lies under it, in a mirrored
// parent as in a plain one: a see-through section shows it, a disabled button is mixed with it.
TEST_F(ButtonHandlers, ButtonTakesTheParentBackgroundUnderIt) {
  for (bool rightToLeft : {false, true}) {
    SCOPED_TRACE(rightToLeft ? "right to left" : "left to right");
    UseSkin(L"Tarvel Test Buttons");
    TProcessLayout layout(rightToLeft);
    Dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_BUTTONS), nullptr,
                             [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(Dlg, nullptr);
    ASSERT_EQ((GetWindowLongW(Dlg, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, rightToLeft);
    SetWindowPos(Dlg, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    TacSkinParams p;
    p.SkinSection = L"PANEL";
    p.UseSkinColor = p.UseSkinFontColor = true;
    Parent = CreateHandler(L"TColumnsParentWnd", Dlg, false, p, Skin->M, nullptr);
    ASSERT_NE(Parent, nullptr);
    // The column of the parent's client, counted from its left edge on screen, where a
    // button's left edge lies (the dialog's side borders are alike).
    RECT dr{}, client{};
    GetWindowRect(Dlg, &dr);
    GetClientRect(Dlg, &client);
    const int clientLeft = dr.left + ((dr.right - dr.left) - client.right) / 2;
    auto columnOf = [&](HWND Wnd) {
      RECT r{};
      GetWindowRect(Wnd, &r);
      return r.left - clientLeft;
    };
    auto* push = Attach<TacBtnWnd>(L"TacBtnWnd", Item(1101));
    auto* disabled = Attach<TacBtnWnd>(L"TacBtnWnd", Item(1102));
    ASSERT_TRUE(push && disabled);
    // The push button's normal state made fully see-through, inside its 3-pixel frame.
    TacSkinData* sd = push->SkinData->ReadCommonSkinData();
    TsGenState& normal = sd->gd[static_cast<std::size_t>(push->SkinData->SkinIndex)].Props[0];
    const int transparency = normal.Transparency;
    normal.Transparency = 100;
    push->PrepareCache();
    normal.Transparency = transparency;
    disabled->PrepareCache();
    const int y = push->WndSize.cy / 2;
    EXPECT_EQ(CachePixel(push, 4, y), TColumnsParentWnd::Column(columnOf(Item(1101)) + 4));
    EXPECT_EQ(CachePixel(disabled, 4, y),
              DisabledMix(ButtonState[0], TColumnsParentWnd::Column(columnOf(Item(1102)) + 4)));
    TearDown();
  }
}

// The dotted focus frame in state 1's font colour around the caption, and its absence while
// the manager's option is off.
TEST_F(ButtonHandlers, FocusedButtonShowsADottedFrame) {
  OpenDialog();
  auto* h = Attach<TacBtnWnd>(L"TacBtnWnd", Item(1101));
  SetForegroundWindow(Dlg);
  SetFocus(Item(1101));
  ASSERT_TRUE(SendMessageW(Item(1101), BM_GETSTATE, 0, 0) & BST_FOCUS);
  const auto frameDots = [&] {
    h->PrepareCache();
    TRect r;
    h->CaptionRect(r);
    const int top = std::max(r.Top - 1, 3);
    int dots = 0;
    for (int x = r.Left - 2; x < r.Right + 2; ++x) dots += CachePixel(h, x, top) == 0x202830;  // hot font colour
    return dots;
  };
  EXPECT_GT(frameDots(), 4);
  Skin->M->ButtonsOptions.ShowFocusRect = false;
  EXPECT_EQ(frameDots(), 0);
}

// Hovering: the hot window and the mouse inside start the fade, which ends in state 1.
TEST_F(ButtonHandlers, HoverFadesToTheActiveState) {
  OpenDialog();
  auto* h = Attach<TacBtnWnd>(L"TacBtnWnd", Item(1101));
  RECT r{};
  GetWindowRect(Item(1101), &r);
  SetCursorPos(r.left + 3, r.top + 3);
  Skin->M->SwitchHotControl(Item(1101));
  SendSkinCommand(Item(1101), SKCMD_MOUSE_ENTER, 0);
  EXPECT_TRUE(h->SkinData->FMouseAbove);
  // While the fade runs a paint copies its frame and leaves the cache alone.
  EXPECT_TRUE(h->SkinData->IsAnimating());
  if (h->SkinData->IsAnimating()) {
    auto* first = reinterpret_cast<std::uint32_t*>(h->SkinData->FCacheBmp->ScanLine(0));
    first[0] = 0x00123456;
    SendMessageW(Item(1101), WM_PAINT, 0, 0);
    EXPECT_EQ(first[0], 0x00123456u);
  }
  for (int i = 0; i < 200 && h->SkinData->IsAnimating(); ++i) PumpMessagesFor(10);
  EXPECT_FALSE(h->SkinData->IsAnimating());
  EXPECT_EQ(h->CurrentState(), 1);
  RedrawWindow(Item(1101), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(ScreenPixel(Item(1101), 1, h->WndSize.cy / 2), ButtonState[1]);
  SetCursorPos(1200, 1000);
}

// The modal identity: a framework button's ModalResult, another window's dialog identifier.
TEST_F(ButtonHandlers, IdentityFromModalResultOrControlId) {
  OpenDialog();
  EXPECT_EQ(Attach<TacBtnWnd>(L"TacBtnWnd", Item(IDCANCEL))->ID, IDCANCEL);
  EXPECT_EQ(Attach<TacBtnWnd>(L"TacBtnWnd", Item(1101))->ID, 1101);
  TForm form(nullptr);
  form.Tag = 256;
  form.SetBounds(30, 30, 300, 120);
  const std::pair<int, int> cases[] = {{1, 1}, {6, 1}, {2, 7}, {7, 7}, {3, 0}, {0, 0}};
  for (auto [modal, id] : cases) {
    SCOPED_TRACE(modal);
    auto* b = new TButton(&form);
    b->SetParent(&form);
    b->ModalResult = modal;
    auto* h = Attach<TacButtonWnd>(L"TacButtonWnd", b->Handle(), b);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->Btn, b);
    EXPECT_EQ(h->ID, id);
    Release(h);
  }
}

// Modal-result colouring of buttons without a framework owner, by the identifiers of their
// siblings; and the answer to sub-command 54 the glow asks with.
TEST_F(ButtonHandlers, ModalColouringBySiblings) {
  TRecorderWindow top(WS_POPUP | WS_VISIBLE, 400, 60);
  constexpr TColor None = acNoColoring;
  const auto C = [](std::uint32_t v) { return static_cast<TColor>(v); };
  struct TCase {
    const char* Name;
    std::vector<int> Ids;
    int Which;
    unsigned Set;
    TColor Tone, Text;
  } cases[] = {
      {"OK background", {1, 2}, 1, bcBackground, C(0xFFE1FFD2), None},
      {"Yes both", {6, 7}, 6, bcBackground | bcText, C(0xFFE1FFD2), C(0xFF28851A)},
      {"No text, red", {6, 7}, 7, bcText, None, C(0xFF0000B4)},
      {"Cancel red", {1, 2}, 2, bcBackground, C(0xFFD5D5FF), None},
      {"Cancel blue beside No", {1, 7, 2}, 2, bcBackground | bcText, C(0xFFFFEDC9), C(0xFFAE7400)},
      {"Cancel without OK or Yes", {7, 2}, 2, bcBackground | bcText, None, None},
      {"empty set", {1, 2}, 1, 0, None, None},
      {"glyph alone", {1, 2}, 1, bcGlyph, None, None},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<HWND> buttons;
    HWND which = nullptr;
    int x = 0;
    for (int id : c.Ids) {
      buttons.push_back(CreateWindowExW(0, L"BUTTON", L"B", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, 0, 60, 24,
                                        top.Wnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                        GetModuleHandleW(nullptr), nullptr));
      x += 64;
      if (id == c.Which) which = buttons.back();
    }
    Skin->M->ButtonsOptions.ModalButtonsColoring = c.Set;
    auto* h = Attach<TacBtnWnd>(L"TacBtnWnd", which);
    TacColoring got;
    h->GetColoring(got);
    EXPECT_EQ(got.ColorToneBG, c.Tone);
    EXPECT_EQ(got.ColorText, c.Text);
    Release(h);
    for (HWND b : buttons) DestroyWindow(b);
  }
  // Sub-command 54: with bcGlyph alone OK answers without writing, Cancel beside No gives the
  // blue text colour, a Cancel without OK or Yes is not answered.
  struct TAsk {
    const char* Name;
    std::vector<int> Ids;
    int Which;
    unsigned Set;
    LRESULT Result;
    TColor Field;
  } asks[] = {
      {"OK glyph alone", {1, 2}, 1, bcGlyph, 1, C(0x123456)},
      {"OK background", {1, 2}, 1, bcBackground, 1, C(0xFFE1FFD2)},
      {"Cancel glyph, blue", {1, 7, 2}, 2, bcGlyph, 1, C(0xFFAE7400)},
      {"No glyph, red", {6, 7}, 7, bcGlyph, 1, C(0xFF0000B4)},
      {"Cancel alone", {2, 7}, 2, bcGlyph, 0, C(0x123456)},
  };
  for (const TAsk& a : asks) {
    SCOPED_TRACE(a.Name);
    std::vector<HWND> buttons;
    HWND which = nullptr;
    for (int id : a.Ids) {
      buttons.push_back(CreateWindowExW(0, L"BUTTON", L"B", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 60, 24,
                                        top.Wnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                        GetModuleHandleW(nullptr), nullptr));
      if (id == a.Which) which = buttons.back();
    }
    Skin->M->ButtonsOptions.ModalButtonsColoring = a.Set;
    auto* h = Attach<TacBtnWnd>(L"TacBtnWnd", which);
    TColor field = C(0x123456);
    EXPECT_EQ(SendSkinCommand(which, SKCMD_MODAL_BTN_COLORS, reinterpret_cast<LPARAM>(&field)), a.Result);
    EXPECT_EQ(field, a.Field);
    Release(h);
    for (HWND b : buttons) DestroyWindow(b);
  }
}

// With the background set a button's pixels take the tone scaled by their brightest channel;
// the caption keeps the skin's colours when only bcGlyph is set.
TEST_F(ButtonHandlers, BackgroundToneOverTheSkin) {
  OpenDialog();
  Skin->M->ButtonsOptions.ModalButtonsColoring = bcBackground;
  auto* ok = Attach<TacBtnWnd>(L"TacBtnWnd", Item(IDOK));  // default: state 3, the second tone 0xCDFFB4
  ok->PrepareCache();
  const std::uint32_t m = 0xD0;  // the brightest channel of the state-3 colour
  const std::uint32_t toned = (((m * 0xB4) >> 8) << 16) | (((m * 0xFF) >> 8) << 8) | ((m * 0xCD) >> 8);
  EXPECT_EQ(CachePixel(ok, 1, ok->WndSize.cy / 2), toned);
  auto* push = Attach<TacBtnWnd>(L"TacBtnWnd", Item(1101));  // not a modal button: no tone
  push->PrepareCache();
  EXPECT_EQ(CachePixel(push, 1, push->WndSize.cy / 2), ButtonState[0]);
  Skin->M->ButtonsOptions.ModalButtonsColoring = bcGlyph;
  ok->PrepareCache();
  EXPECT_EQ(CachePixel(ok, 1, ok->WndSize.cy / 2), ButtonState[3]);
}

// A message box's Yes, No and Cancel with the background set: each toned on screen, Yes
// green, No red and Cancel (beside a No) blue; the default Yes in the active tone.
TEST_F(ButtonHandlers, MessageBoxButtonsOnScreen) {
  OpenDialog(IDD_YES_NO_CANCEL);
  Skin->M->ButtonsOptions.ModalButtonsColoring = bcBackground;
  const auto toned = [](std::uint32_t Colour, std::uint32_t Tone) {
    std::uint32_t m = 0;
    for (int shift = 0; shift < 24; shift += 8) m = std::max(m, (Colour >> shift) & 0xFF);
    // The tone is a TColor (red low): its red lands in the pixel's red.
    return (((m * (Tone & 0xFF)) >> 8) << 16) | (((m * ((Tone >> 8) & 0xFF)) >> 8) << 8) |
           ((m * ((Tone >> 16) & 0xFF)) >> 8);
  };
  struct TCase {
    int Id;
    std::uint32_t Colour, Tone;
  } cases[] = {{IDYES, ButtonState[3], 0xCDFFB4}, {IDNO, ButtonState[0], 0xD5D5FF}, {IDCANCEL, ButtonState[0], 0xFFEDC9}};
  for (const TCase& c : cases) Attach<TacBtnWnd>(L"TacBtnWnd", Item(c.Id));
  RedrawWindow(Dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Id);
    RECT r{};
    GetClientRect(Item(c.Id), &r);
    EXPECT_EQ(ScreenPixel(Item(c.Id), 1, r.bottom / 2), toned(c.Colour, c.Tone));
  }
  if (const char* ms = std::getenv("TARVEL_HANDLER_SHOT")) PumpMessagesFor(static_cast<DWORD>(std::atoi(ms)));
}

// Framework buttons and a check box on a form: painted through their WindowProc, coloured by
// the ModalResult of their siblings (Cancel beside No blue), the check box's focus frame shown
// whatever the manager's focus-rectangle option says.
TEST_F(ButtonHandlers, FrameworkControlsOnAForm) {
  TForm form(nullptr);
  form.Tag = 256;
  form.Show();
  form.SetBounds(30, 30, 400, 120);
  const std::pair<int, const wchar_t*> buttons[] = {{1, L"OK"}, {2, L"Cancel"}, {7, L"No"}};
  std::vector<TacButtonWnd*> made;
  int x = 10;
  for (auto [modal, text] : buttons) {
    auto* b = new TButton(&form);
    b->SetParent(&form);
    b->SetBounds(x, 10, 80, 26);
    b->SetCaption(text);
    b->ModalResult = modal;
    x += 90;
    made.push_back(Attach<TacButtonWnd>(L"TacButtonWnd", b->Handle(), b));
  }
  Skin->M->ButtonsOptions.ModalButtonsColoring = bcBackground | bcText;
  const TColor expectedText[] = {static_cast<TColor>(0xFF28851A), static_cast<TColor>(0xFFAE7400),
                                 static_cast<TColor>(0xFF0000B4)};
  for (std::size_t i = 0; i < made.size(); ++i) {
    SCOPED_TRACE(i);
    TacColoring c;
    made[i]->GetColoring(c);
    EXPECT_EQ(c.ColorText, expectedText[i]);
  }
  auto* box = new TCheckBox(&form);
  box->SetParent(&form);
  box->SetBounds(10, 50, 120, 20);
  box->SetCaption(L"Framework");
  auto* bh = Attach<TacCheckBoxWnd>(L"TacCheckBoxWnd", box->Handle(), box);
  // Through the control's WindowProc: the paint renders the cache and shows it.
  PumpMessagesFor(50);
  for (TacMainWnd* h : {static_cast<TacMainWnd*>(made[0]), static_cast<TacMainWnd*>(bh)}) {
    RedrawWindow(h->CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ASSERT_FALSE(h->SkinData->FCacheBmp->Empty());
    EXPECT_EQ(ScreenPixel(h->CtrlHandle, h->WndSize.cx - 1, h->WndSize.cy / 2),
              CachePixel(h, h->WndSize.cx - 1, h->WndSize.cy / 2));
  }
  // OK in state 0 toned 0xE1FFD2 over its state colour (brightest channel 0xD0); the box in
  // its section's state 0.
  constexpr std::uint32_t m = 0xD0;
  EXPECT_EQ(CachePixel(made[0], 1, made[0]->WndSize.cy / 2),
            (((m * 0xD2) >> 8) << 16) | (((m * 0xFF) >> 8) << 8) | ((m * 0xE1) >> 8));
  EXPECT_EQ(CachePixel(bh, bh->WndSize.cx - 1, bh->WndSize.cy / 2), 0xA04040u);
  // The focus frame of a check box: state 1's font colour (black) 2 px left of the caption,
  // which starts 4 px right of the 12-pixel glyph.
  Skin->M->ButtonsOptions.ShowFocusRect = false;
  const auto frameDots = [&] {
    bh->PrepareCache();
    int dots = 0;
    for (int y = 0; y < bh->WndSize.cy; ++y) dots += CachePixel(bh, 12 + 4 - 2, y) == 0x000000u;
    return dots;
  };
  EXPECT_EQ(frameDots(), 0);
  SetForegroundWindow(form.Handle());
  SetFocus(box->Handle());
  ASSERT_TRUE(SendMessageW(box->Handle(), BM_GETSTATE, 0, 0) & BST_FOCUS);
  EXPECT_GT(frameDots(), 2);
  for (TacMainWnd*& h : Handlers) FreeHandler(h);
}

// A split button: its caption centred 8 px left of the root's place, its arrow in the
// rightmost 22 px in the state's font colour.
TEST_F(ButtonHandlers, SplitButtonArrowAndCaption) {
  OpenDialog();
  HWND wnd = Item(1103);
  SetWindowPos(wnd, nullptr, 0, 0, 120, 30, SWP_NOMOVE | SWP_NOZORDER);
  auto* h = Attach<TacSplitBtnWnd>(L"TacSplitBtnWnd", wnd);
  ASSERT_NE(h, nullptr);
  h->PrepareCache();
  TSize t;
  h->TextRectSize(t);
  TRect cr;
  h->CaptionRect(cr);
  const int dx = (120 - t.cx) / 2;
  EXPECT_EQ(cr.Left, dx - 1 - 8);
  EXPECT_EQ(cr.Right, 120 - dx + 2 - 8);
  TRect ar;
  h->ArrowRect(ar);
  EXPECT_EQ(ar.Right, 120);
  EXPECT_EQ(ar.Right - ar.Left, 22);
  int arrow = 0, outside = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const bool ink = CachePixel(h, x, y) == 0x101820;  // state 0's font colour
      if (x >= ar.Left)
        arrow += ink;
      else if (x > cr.Right + 2)
        outside += ink;
    }
  EXPECT_GT(arrow, 3);
  EXPECT_EQ(outside, 0);
}

// A bitmap button's glyph size is its bitmap's pixels (its stored "dimension" is 0 x 0), and
// the caption moves right by half the glyph.
TEST_F(ButtonHandlers, ForeignBitmapButtonMeasuresItsBitmap) {
  OpenDialog();
  HWND wnd = Item(1122);
  HBITMAP bmp = CreateBitmap(20, 10, 1, 32, nullptr);
  SendMessageW(wnd, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bmp));
  SetWindowTextW(wnd, L"Pic");
  auto* h = Attach<TacBitBtnWnd>(L"TacBitBtnWnd", wnd);
  TSize g;
  h->GlyphSize(g);
  EXPECT_EQ(g.cx, 20);
  EXPECT_EQ(g.cy, 10);
  TSize t;
  h->TextRectSize(t);
  TRect cr;
  h->CaptionRect(cr);
  EXPECT_EQ(cr.Left, (h->WndSize.cx - t.cx) / 2 - 1 + 11);
  TRect gr;
  h->GlyphRect(gr);
  EXPECT_EQ(gr.Right, cr.Left - 2);
  EXPECT_EQ(gr.Top, (h->WndSize.cy - 10) / 2);
  Release(h);
  DeleteObject(bmp);
}

// Layout of framework buttons: the bit button's glyph and caption laid out together by
// Layout, centred as a pair with nothing between them (the control's Spacing and Margin only
// bound the caption's width), both moved by (1, 1) while pressed; the image button's image by
// ImageAlignment and its margins, with the caption beside the image.
TEST_F(ButtonHandlers, GlyphAndCaptionLayout) {
  TForm form(nullptr);
  form.Tag = 256;
  form.SetBounds(30, 30, 400, 200);
  form.Show();
  // The bit button: a 20 x 10 glyph, spacing 4.
  auto* bit = new TBitBtn(&form);
  bit->SetParent(&form);
  bit->SetBounds(10, 10, 120, 60);
  bit->SetCaption(L"Go");
  bit->Glyph().SetPixelFormat(pf32bit);
  bit->Glyph().SetSize(20, 10);
  bit->Margin = 5;
  auto* bh = Attach<TacBitBtnWnd>(L"TacBitBtnWnd", bit->Handle(), bit);
  ASSERT_NE(bh, nullptr);
  TSize t;
  bh->TextRectSize(t);
  const int s = 4, W = 120, H = 60, gw = 20, gh = 10;
  const int across = (W - t.cx - gw) / 2, stacked = (H - gh - t.cy) / 2;
  struct TBitCase {
    TButtonLayout Layout;
    int X, Y, MaxWidth;
  } bitCases[] = {{blGlyphLeft, across, (H - gh + 1) / 2, W - 10 - gw - s},
                  {blGlyphRight, across + t.cx, (H - gh + 1) / 2, W - 10 - gw - s},
                  {blGlyphTop, (W - gw + 1) / 2, stacked, W - 10},
                  {blGlyphBottom, (W - gw + 1) / 2, H - gh - stacked, W - 10}};
  for (const TBitCase& c : bitCases) {
    SCOPED_TRACE(static_cast<int>(c.Layout));
    bit->Layout = c.Layout;
    TRect gr, cr;
    bh->GlyphRect(gr);
    EXPECT_EQ(gr.Left, c.X);
    EXPECT_EQ(gr.Top, c.Y);
    EXPECT_EQ(gr.Right - gr.Left, gw);
    EXPECT_EQ(gr.Bottom - gr.Top, gh);
    EXPECT_EQ(bh->MaxCaptionWidth(), c.MaxWidth);
    bh->CaptionRect(cr);
    // The caption touches the glyph on the side the layout names.
    switch (c.Layout) {
      case blGlyphLeft: EXPECT_EQ(cr.Left, gr.Right); break;
      case blGlyphRight: EXPECT_EQ(cr.Right, gr.Left); break;
      case blGlyphTop: EXPECT_EQ(cr.Top, gr.Bottom); break;
      case blGlyphBottom: EXPECT_EQ(cr.Bottom, gr.Top); break;
    }
    // Pressed, on a skin whose content shifts on a click, the pair moves together.
    SendMessageW(bit->Handle(), BM_SETSTATE, TRUE, 0);
    ASSERT_EQ(bh->CurrentState(), 2);
    TRect pressedGlyph, pressedCaption;
    bh->GlyphRect(pressedGlyph);
    bh->CaptionRect(pressedCaption);
    SendMessageW(bit->Handle(), BM_SETSTATE, FALSE, 0);
    EXPECT_EQ(pressedGlyph, (TRect{gr.Left + 1, gr.Top + 1, gr.Right + 1, gr.Bottom + 1}));
    EXPECT_EQ(pressedCaption, (TRect{cr.Left + 1, cr.Top + 1, cr.Right + 1, cr.Bottom + 1}));
  }
  bit->SetCaption(L"");
  SendMessageW(bit->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  EXPECT_EQ(bh->MaxCaptionWidth(), 0);
  // The image button: 16 x 16 images, margins 2, 5, 4, 6.
  TImageList images(&form, 16, 16);
  HBITMAP img = CreateBitmap(16, 16, 1, 32, nullptr);
  images.AddMasked(img, RGB(255, 0, 255));
  DeleteObject(img);
  auto* btn = new TButton(&form);
  btn->SetParent(&form);
  btn->SetBounds(140, 10, 120, 60);
  btn->SetCaption(L"Image");
  btn->SetImages(&images);
  btn->ImageIndex = 0;
  btn->ImageMargins = TImageMargins{2, 5, 4, 6};
  auto* ih = Attach<TacButtonWnd>(L"TacButtonWnd", btn->Handle(), btn);
  ASSERT_TRUE(ih->HaveImage());
  struct TImgCase {
    TImageAlignment Align;
    int X, Y;
  } imgCases[] = {{iaLeft, 5, 22}, {iaRight, 97, 22}, {iaTop, 52, 8}, {iaBottom, 52, 35}, {iaCenter, 52, 22}};
  for (const TImgCase& c : imgCases) {
    SCOPED_TRACE(static_cast<int>(c.Align));
    btn->ImageAlignment = c.Align;
    TRect gr, cr;
    ih->GlyphRect(gr);
    EXPECT_EQ(gr.Left, c.X);
    EXPECT_EQ(gr.Top, c.Y);
    ih->CaptionRect(cr);
    switch (c.Align) {
      case iaLeft: EXPECT_GE(cr.Left + 1, gr.Right); break;
      case iaRight: EXPECT_LE(cr.Right - 2, gr.Left); break;
      case iaTop: EXPECT_GE(cr.Top, gr.Bottom); break;
      case iaBottom: EXPECT_LE(cr.Bottom, gr.Top); break;
      case iaCenter: break;
    }
  }
  // Top: the caption centred in what lies below the image.
  btn->ImageAlignment = iaTop;
  TSize ts;
  ih->TextRectSize(ts);
  TRect cr;
  ih->CaptionRect(cr);
  EXPECT_EQ(cr.Top, 24 + (60 - 24 - ts.cy) / 2);
  // An index past the list falls back to ImageIndex.
  btn->HotImageIndex = 5;
  EXPECT_EQ(ih->GlyphIndex(), 0);
  btn->SetImages(nullptr);
}

// ---------------------------------------------------------------------------
// Check boxes and radio buttons
// ---------------------------------------------------------------------------

// Which mask a style and check state draw, and where the glyph sits.
TEST_F(ButtonHandlers, CheckMasksAndPlaces) {
  OpenDialog();
  HWND wnd = Item(1110);
  SetWindowPos(wnd, nullptr, 0, 0, 100, 20, SWP_NOMOVE | SWP_NOZORDER);
  auto* h = Attach<TacCheckBoxWnd>(L"TacCheckBoxWnd", wnd);
  TacSkinData* sd = h->SkinData->ReadCommonSkinData();
  ASSERT_GE(sd->CheckBox[2], 0);
  ASSERT_GE(sd->RadioButton[0], 0);
  const LONG kept = GetWindowLongW(wnd, GWL_STYLE) & ~BS_TYPEMASK;
  struct TCase {
    LONG Type;
    bool Radio;
  } cases[] = {{BS_CHECKBOX, false},    {BS_AUTOCHECKBOX, false}, {BS_3STATE, false},
               {BS_AUTO3STATE, false},  {BS_RADIOBUTTON, true},   {BS_AUTORADIOBUTTON, true}};
  for (const TCase& c : cases)
    for (int state = 0; state < 3; ++state) {
      SCOPED_TRACE(c.Type * 10 + state);
      SetWindowLongW(wnd, GWL_STYLE, kept | c.Type);
      EXPECT_EQ(h->GlyphMaskIndex(state), c.Radio ? sd->RadioButton[state == 1 ? 1 : 0] : sd->CheckBox[state]);
    }
  SetWindowLongW(wnd, GWL_STYLE, kept | BS_AUTOCHECKBOX);
  TRect r;
  h->SkinCheckRect(sd->CheckBox[1], r);
  EXPECT_EQ(r, (TRect{0, 4, 12, 16}));
  SetWindowLongW(wnd, GWL_STYLE, kept | BS_AUTOCHECKBOX | BS_LEFTTEXT);
  h->SkinCheckRect(sd->CheckBox[1], r);
  EXPECT_EQ(r, (TRect{88, 4, 100, 16}));
  h->CheckRect(r);
  EXPECT_EQ(r, (TRect{88, 4, 100, 16}));
  h->SkinCheckRect(-1, r);
  EXPECT_EQ(r, TRect{});
}

// Mask indexes beyond the loaded arrays draw no glyph and give the 16 x 16 check area.
TEST_F(ButtonHandlers, MaskIndexesBeyondTheArrays) {
  OpenDialog();
  auto* h = Attach<TacCheckBoxWnd>(L"TacCheckBoxWnd", Item(1110));
  TacSkinData* sd = h->SkinData->ReadCommonSkinData();
  const auto savedBox = sd->CheckBox;
  const auto savedRadio = sd->RadioButton;
  const int n = static_cast<int>(sd->ma.size());
  sd->CheckBox = {n, n + 1, 100000};
  sd->RadioButton = {n, 100000};
  TRect r;
  h->CheckRect(r);
  EXPECT_EQ(r, (TRect{0, 0, 16, 16}));
  EXPECT_EQ(h->SkinGlyphWidth(n), 0);
  h->SkinCheckRect(n, r);
  EXPECT_EQ(r, TRect{});
  h->PrepareCache();  // reads nothing past the arrays
  EXPECT_NE(CachePixel(h, 4, h->WndSize.cy / 2), MaskCell(1, 0));
  sd->CheckBox = savedBox;
  sd->RadioButton = savedRadio;
  h->PrepareCache();
  EXPECT_EQ(CachePixel(h, 4, h->WndSize.cy / 2), MaskCell(1, 0));
}

// A 3-state box shows the grayed mask; a radio with BS_LEFTTEXT and WS_EX_RTLREADING has its
// glyph at the right with the caption ending 6 px left of it.
TEST_F(ButtonHandlers, IndeterminateAndRightHandGlyphs) {
  OpenDialog();
  auto* three = Attach<TacCheckBoxWnd>(L"TacCheckBoxWnd", Item(1111));
  SendMessageW(Item(1111), BM_SETCHECK, BST_INDETERMINATE, 0);
  EXPECT_EQ(three->State(), 2);
  three->PrepareCache();
  TRect r;
  three->CheckRect(r);
  EXPECT_EQ(CachePixel(three, r.Left + 6, r.Top + 6), MaskCell(3, 0));
  auto* radio = Attach<TacCheckBoxWnd>(L"TacCheckBoxWnd", Item(1112));
  radio->PrepareCache();
  radio->CheckRect(r);
  const int W = radio->WndSize.cx;
  EXPECT_EQ(r.Right, W);
  EXPECT_EQ(r.Right - r.Left, 10);
  EXPECT_EQ(CachePixel(radio, W - 5, r.Top + 5), MaskCell(4, 0));
  // No caption ink between the caption's end and the glyph.
  for (int x = W - 10 - 6; x < W - 10; ++x)
    for (int y = 0; y < radio->WndSize.cy; ++y) EXPECT_NE(CachePixel(radio, x, y), 0x000000u) << x << "," << y;
}

// On screen: BM_SETCHECK repaints with the checked mask; the space bar shows the pressed cell
// and, released, the checked one.
TEST_F(ButtonHandlers, CheckAndSpaceBarRepaint) {
  OpenDialog();
  HWND wnd = Item(1110);
  auto* h = Attach<TacCheckBoxWnd>(L"TacCheckBoxWnd", wnd);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  TRect r;
  h->CheckRect(r);
  const int x = r.Left + 6, y = r.Top + 6;
  EXPECT_EQ(ScreenPixel(wnd, x, y), MaskCell(1, 0));
  SendMessageW(wnd, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(ScreenPixel(wnd, x, y), MaskCell(2, 0));
  SetForegroundWindow(Dlg);
  SetFocus(wnd);
  EXPECT_EQ(ScreenPixel(wnd, x, y), MaskCell(2, 1));  // focused: cell 1
  SendMessageW(wnd, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(ScreenPixel(wnd, x, y), MaskCell(2, 2));  // pressed
  SendMessageW(wnd, WM_KEYUP, VK_SPACE, 0);
  EXPECT_EQ(h->State(), 0);  // the auto box toggled back
  EXPECT_EQ(ScreenPixel(wnd, x, y), MaskCell(1, 1));
}

// An owner-draw box keeps its own painting: its erase gets the parent's background, its
// paint nothing of the skin.
TEST_F(ButtonHandlers, OwnerDrawGetsOnlyTheBackground) {
  OpenDialog();
  auto* h = Attach<TacCheckBoxWnd>(L"TacCheckBoxWnd", Item(1113));
  EXPECT_TRUE(h->OwnerDraw);
  SendMessageW(Item(1113), WM_PAINT, 0, 0);
  EXPECT_EQ(h->SkinData->FCacheBmp->Width(), 0);
  auto bmp = NewBitmap32(h->WndSize.cx, h->WndSize.cy);
  EXPECT_EQ(SendMessageW(Item(1113), WM_ERASEBKGND, reinterpret_cast<WPARAM>(bmp->Canvas().Handle()), 0), 1);
  EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(bmp->ScanLine(2))[2] & 0xFFFFFF, ParentColour);
}

// ---------------------------------------------------------------------------
// Group boxes
// ---------------------------------------------------------------------------

// The caption band shows the parent; the frame starts at half the band; an empty caption
// gives a 6-pixel band; a caption wider than the box is cut at W - 1.
TEST_F(ButtonHandlers, GroupBoxCaptionBandAndFrame) {
  OpenDialog();
  HWND empty = Item(1121), named = Item(1120);
  SetWindowPos(empty, nullptr, 0, 0, 80, 60, SWP_NOMOVE | SWP_NOZORDER);
  auto* e = Attach<TacGroupBoxWnd>(L"TacGroupBoxWnd", empty);
  TRect cr;
  e->CaptionRect(cr);
  EXPECT_EQ(cr, (TRect{6, 0, 14, 6}));
  EXPECT_EQ(SendSkinCommand(empty, SKCMD_CAPTION_HEIGHT, 0), 6);
  e->PrepareCache();
  EXPECT_EQ(CachePixel(e, 40, 2), ParentColour);
  EXPECT_EQ(CachePixel(e, 40, 3), GroupFrame);
  EXPECT_EQ(CachePixel(e, 40, 30), ParentColour);  // the frame's see-through inside
  EXPECT_EQ(CachePixel(e, 0, 30), GroupFrame);
  auto* g = Attach<TacGroupBoxWnd>(L"TacGroupBoxWnd", named);
  g->PrepareCache();
  g->CaptionRect(cr);
  const int band = cr.Bottom - cr.Top;
  EXPECT_EQ(CachePixel(g, 2, 1), ParentColour);
  EXPECT_EQ(CachePixel(g, g->WndSize.cx - 3, 1), ParentColour);
  EXPECT_EQ(CachePixel(g, g->WndSize.cx - 3, band / 2), GroupFrame);
  EXPECT_EQ(CachePixel(g, cr.Left + 1, band / 2), ParentColour);  // cut out of the frame line
  SetWindowTextW(named, L"A caption much wider than its box is");
  SetWindowPos(named, nullptr, 0, 0, 50, 40, SWP_NOMOVE | SWP_NOZORDER);
  g->PrepareCache();
  g->CaptionRect(cr);
  EXPECT_EQ(cr.Right, 49);
  // On screen as in the cache, and printed into a DC of the asker's.
  RedrawWindow(named, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(ScreenPixel(named, 0, 30), GroupFrame);
  auto print = NewBitmap32(50, 40);
  SendMessageW(named, WM_PRINT, reinterpret_cast<WPARAM>(print->Canvas().Handle()), PRF_CLIENT);
  EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(print->ScanLine(30))[0] & 0xFFFFFF, GroupFrame);
  EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(print->ScanLine(1))[48] & 0xFFFFFF, ParentColour);
}

// ---------------------------------------------------------------------------
// The whole dialog, and giving back
// ---------------------------------------------------------------------------

namespace {

// The handler kind the selection picks for a child window; empty for none.
std::wstring ChosenKind(HWND Wnd) {
  wchar_t cls[64]{};
  GetClassNameW(Wnd, cls, 64);
  std::wstring lower(cls);
  for (wchar_t& ch : lower) ch = static_cast<wchar_t>(towlower(ch));
  RECT r{};
  GetWindowRect(Wnd, &r);
  const TacControlChoice choice = ChooseControlHandler(lower, GetWindowLongW(Wnd, GWL_STYLE),
                                                       GetWindowLongW(Wnd, GWL_EXSTYLE), true, r.bottom - r.top);
  return HandlerKindRegistered(choice.Kind) ? choice.Kind : std::wstring();
}

}  // namespace

// Every control of the dialog the selection gives a button handler shows its cache on screen
// (the owner-draw button and the bitmap button are left to themselves). With
// TARVEL_HANDLER_SHOT set the dialog stays up that many milliseconds, for a look.
TEST_F(ButtonHandlers, EveryControlOfTheDialogFromTheSkin) {
  OpenDialog();
  SendMessageW(Item(1111), BM_SETCHECK, BST_INDETERMINATE, 0);
  SendMessageW(Item(1112), BM_SETCHECK, BST_CHECKED, 0);
  Skin->M->ButtonsOptions.ModalButtonsColoring = bcBackground | bcText;
  std::vector<TacMainWnd*> made;
  for (HWND c = GetWindow(Dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    const std::wstring kind = ChosenKind(c);
    if (!kind.empty()) made.push_back(Attach(kind.c_str(), c));
  }
  EXPECT_EQ(made.size(), 11u);
  RedrawWindow(Dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessagesFor(100);
  for (TacMainWnd* h : made) {
    SCOPED_TRACE(GetDlgCtrlID(h->CtrlHandle));
    ASSERT_FALSE(h->SkinData->FCacheBmp->Empty());
    int w = 0, hgt = 0;
    const auto shown = CaptureClient(h->CtrlHandle, w, hgt);
    for (auto [x, y] : {std::pair{1, hgt / 2}, std::pair{w - 2, hgt - 2}})
      EXPECT_EQ(shown[static_cast<std::size_t>(y) * w + x], CachePixel(h, x, y)) << x << "," << y;
  }
  if (const char* ms = std::getenv("TARVEL_HANDLER_SHOT")) PumpMessagesFor(static_cast<DWORD>(std::atoi(ms)));
}

namespace {

struct TGivenBackState {
  LONG_PTR Proc;
  LONG Style, ExStyle;
  LRESULT Font;
  ULONG_PTR ClassBrush;  // the colour the class erases with
  bool operator==(const TGivenBackState&) const = default;
};

TGivenBackState StateOf(HWND Wnd) {
  return {GetWindowLongPtrW(Wnd, GWLP_WNDPROC), GetWindowLongW(Wnd, GWL_STYLE), GetWindowLongW(Wnd, GWL_EXSTYLE),
          SendMessageW(Wnd, WM_GETFONT, 0, 0), GetClassLongPtrW(Wnd, GCLP_HBRBACKGROUND)};
}

}  // namespace

// The handlers the selection picks for every control of the dialog; after they go each
// window has its procedure, styles, font and class colour as before, and 50 cycles leave no
// GDI objects.
TEST_F(ButtonHandlers, WindowsComeBackAsTheyWere) {
  ASSERT_TRUE(InstallGdiCensus());
  OpenDialog();
  std::vector<std::pair<HWND, TGivenBackState>> before;
  for (HWND c = GetWindow(Dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) before.push_back({c, StateOf(c)});
  int attached = 0;
  const auto cycle = [&] {
    attached = 0;
    for (auto& [wnd, state] : before) {
      const std::wstring kind = ChosenKind(wnd);
      if (!kind.empty() && Attach(kind.c_str(), wnd)) ++attached;
    }
    RedrawWindow(Dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (TacMainWnd*& h : Handlers) FreeHandler(h);
    Handlers.clear();
  };
  cycle();
  ASSERT_GE(attached, 11);  // every button, check box and group box of the template
  for (auto& [wnd, state] : before) EXPECT_TRUE(StateOf(wnd) == state) << GetDlgCtrlID(wnd);
  const TGdiCensus start = GdiCensus();
  for (int i = 0; i < 50; ++i) cycle();
  EXPECT_EQ(GdiCensus(), start);
  for (auto& [wnd, state] : before) EXPECT_TRUE(StateOf(wnd) == state) << GetDlgCtrlID(wnd);
}
