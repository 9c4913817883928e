// The handlers of edits, list boxes, drop-down lists, scroll boxes, native-paint containers
// and the MDI client on real windows under Xvfb, with the test skin (whose "EDIT" section has
// a frame colour of its own).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "HandlerDialogs.h"
#include "HandlerFixtures.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Grids.h"
#include "platform/ui/Properties.h"
#include "platform/ui/StdCtrls.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acSBUtils.Scroll.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sMDIForm.h"
#include "skin/manager/sSkinData.h"
#include "support/GdiCensus.h"

using namespace handler_tests;

namespace {

constexpr COLORREF EditFrame = RGB(0x30, 0x50, 0xA0);  // the "EDIT" section's frame
constexpr TColor EditFill = 0xF0F0F0;                  // its state-0 colour
constexpr TColor PanelLow = 0x6C5B4A;                  // "PANEL_LOW" as a TColor (#4A5B6C)

COLORREF ScreenPixel(int X, int Y) {
  HDC dc = GetDC(nullptr);
  const COLORREF c = GetPixel(dc, X, Y);
  ReleaseDC(nullptr, dc);
  return c;
}

// A memory DC over a 32-bit bitmap filled with one colour.
struct TMemDC {
  HDC DC;
  HBITMAP Bmp;
  HGDIOBJ Old;
  TMemDC(int W, int H, COLORREF Fill) {
    HDC screen = GetDC(nullptr);
    DC = CreateCompatibleDC(screen);
    Bmp = CreateCompatibleBitmap(screen, W, H);
    ReleaseDC(nullptr, screen);
    Old = SelectObject(DC, Bmp);
    RECT r{0, 0, W, H};
    HBRUSH b = CreateSolidBrush(Fill);
    FillRect(DC, &r, b);
    DeleteObject(b);
  }
  ~TMemDC() {
    SelectObject(DC, Old);
    DeleteObject(Bmp);
    DeleteDC(DC);
  }
  COLORREF At(int X, int Y) const { return GetPixel(DC, X, Y); }
};

// An edit whose "FocusColor" is published, as editors of other component sets have one.
class TFocusEdit : public TEdit {
public:
  using TEdit::TEdit;
  TARVEL_PUBLISHED_CLASS(TFocusEdit)
  TColor FocusColor = 0x00C0FF;
};
void RegisterFocusEdit() {
  static const bool done = [] {
    RegisterPublished<TFocusEdit, TEdit>().Ordinal(
        L"FocusColor", [](TFocusEdit& e) { return static_cast<int>(e.FocusColor); },
        [](TFocusEdit& e, int v) { e.FocusColor = static_cast<TColor>(v); });
    return true;
  }();
  (void)done;
}

// An edit that counts the erasures reaching its own procedure.
class TErasingEdit : public TEdit {
public:
  explicit TErasingEdit(TComponent* Owner) : TEdit(Owner) {
    SetMessageHandler(WM_ERASEBKGND, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                        ++Erases;
                        inherited(m);
                      }));
  }
  int Erases = 0;
};

// A list box that keeps its key releases to itself: a release ends at its notification and
// never reaches the window as WM_KEYUP.
class TKeyUpListBox : public TListBox {
public:
  explicit TKeyUpListBox(TComponent* Owner) : TListBox(Owner) {
    SetMessageHandler(CN_KEYUP, [](TMessage& m) { m.Result = 1; });
    SetMessageHandler(WM_KEYUP, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                        ++KeyUps;
                        inherited(m);
                      }));
  }
  int KeyUps = 0;
};

// A windowed control of its own colour that takes no child controls.
class TBox : public TWinControl {
public:
  TBox(TComponent* Owner, bool Accepts) : TWinControl(Owner) {
    SetControlStyle(Accepts ? (ControlStyle() | csAcceptsControls) : (ControlStyle() & ~csAcceptsControls));
    SetColor(0x203040);
  }
};

class EditHandlers : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    ASSERT_TRUE(Skin.M->IsActive());
    RegisterFocusEdit();
  }
  TacSkinParams Params(const wchar_t* Section, TControl* Control = nullptr, bool SkinColors = true) {
    TacSkinParams p;
    p.SkinSection = Section;
    p.Control = Control;
    p.UseSkinColor = p.UseSkinFontColor = SkinColors;
    return p;
  }
  TacEditWnd* Edit(HWND Wnd, const TacSkinParams& P) {
    return NewHandler<TacEditWnd>(L"TacEditWnd", Wnd, true, P, Skin.M, nullptr);
  }
  TTestManager Skin;
};

}  // namespace

// Edits and list boxes of every kind: the frame comes from the skin's frame colour on every
// side, and the styled bars are the handler's (the client area shrinks by their size).
TEST_F(EditHandlers, FramesAndBarsOfEditsAndListBoxes) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 700, 300);
  struct TCase {
    const wchar_t* Class;
    DWORD Style;
    bool Disabled;
    bool VertBar, HorzBar;
  } cases[] = {
      {L"EDIT", ES_AUTOHSCROLL, false, false, false},
      {L"EDIT", ES_PASSWORD, false, false, false},
      {L"EDIT", ES_AUTOHSCROLL, true, false, false},
      {L"EDIT", ES_MULTILINE | WS_VSCROLL | WS_HSCROLL, false, true, true},
      {L"LISTBOX", LBS_NOINTEGRALHEIGHT | WS_VSCROLL, false, true, false},
  };
  std::vector<TacEditWnd*> handlers;
  int i = 0;
  for (const TCase& c : cases) {
    HWND w = CreateWindowExW(WS_EX_CLIENTEDGE, c.Class, L"Some text", WS_CHILD | WS_VISIBLE | c.Style,
                             10 + (i % 3) * 230, 10 + (i / 3) * 140, 200, 120, parent.Wnd, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ++i;
    if (c.Class == std::wstring(L"LISTBOX")) {
      for (int k = 0; k < 30; ++k) SendMessageW(w, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"item"));
    }
    if (c.Disabled) EnableWindow(w, FALSE);
    handlers.push_back(Edit(w, Params(L"EDIT")));
    ASSERT_NE(handlers.back(), nullptr);
  }
  RedrawWindow(parent.Wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessagesFor(100);
  for (std::size_t k = 0; k < handlers.size(); ++k) {
    const TCase& c = cases[k];
    TacEditWnd* h = handlers[k];
    SCOPED_TRACE(std::wstring(c.Class) + L" " + std::to_wstring(c.Style));
    const HWND w = h->CtrlHandle;
    RECT wr{};
    GetWindowRect(w, &wr);
    // The four frame strips, away from the corners.
    EXPECT_EQ(ScreenPixel(wr.left, wr.top + 40), EditFrame);
    EXPECT_EQ(ScreenPixel(wr.left + 40, wr.top), EditFrame);
    EXPECT_EQ(ScreenPixel(wr.left + 40, wr.bottom - 1), EditFrame);
    if (!c.VertBar) {
      EXPECT_EQ(ScreenPixel(wr.right - 1, wr.top + 40), EditFrame);
    }
    EXPECT_EQ(h->sBarVert->fScrollVisible, c.VertBar);
    EXPECT_EQ(h->sBarHorz->fScrollVisible, c.HorzBar);
    RECT client{};
    GetClientRect(w, &client);
    const int vert = c.VertBar ? ScrollBarSize(h, SB_VERT, true) : 0;
    EXPECT_EQ(client.right, (wr.right - wr.left) - 4 - vert);
    EXPECT_EQ(h->SkinData->COC, 231);
    EXPECT_EQ(h->SkinData->SkinSection(), L"EDIT");
  }
  // With TARVEL_HANDLER_SHOT set the windows stay up that many milliseconds, for a look.
  if (const char* ms = std::getenv("TARVEL_HANDLER_SHOT")) PumpMessagesFor(static_cast<DWORD>(std::atoi(ms)));
  for (TacEditWnd*& h : handlers) FreeHandlerOf(h);
}

// The frame painting never touches a region the window has: it is there, unchanged, after
// every non-client paint.
TEST_F(EditHandlers, WindowRegionSurvivesNonClientPaint) {
  TForm form(nullptr);
  form.Tag = 256;
  form.SetClientSize(300, 160);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(10, 10, 200, 40);
  form.Show();
  PumpMessagesFor(50);
  HWND w = edit->Handle();
  SetWindowRgn(w, CreateEllipticRgn(0, 0, 200, 40), TRUE);
  HRGN expected = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(w, expected), COMPLEXREGION);
  TacEditWnd* h = Edit(w, Params(L"EDIT", edit));
  for (WPARAM region : {WPARAM(1), WPARAM(0)}) {
    SendMessageW(w, WM_NCPAINT, region, 0);
    RedrawWindow(w, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    HRGN now = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(GetWindowRgn(w, now), COMPLEXREGION);
    EXPECT_TRUE(EqualRgn(now, expected));
    EXPECT_TRUE(h->NCContent());  // the edit's own frame painting ran, narrowed
    DeleteObject(now);
  }
  DeleteObject(expected);
  TacMainWnd* base = h;
  FreeHandler(base);
}

// A disabled single-line framework edit draws its client from the cache (which holds its
// text) and lets nothing erase it; an enabled one erases as the control does.
TEST_F(EditHandlers, DisabledSingleLineEditNeverErases) {
  TForm form(nullptr);
  form.Tag = 256;
  form.SetClientSize(300, 160);
  auto* edit = new TErasingEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(10, 10, 200, 30);
  edit->SetText(L"WWWW");
  form.Show();
  PumpMessagesFor(50);
  TacEditWnd* h = Edit(edit->Handle(), Params(L"EDIT", edit));
  ASSERT_TRUE(h->SingleLineEdit);
  for (bool enabled : {true, false}) {
    SCOPED_TRACE(enabled);
    EnableWindow(edit->Handle(), enabled);
    edit->SetEnabled(enabled);
    TMemDC mem(200, 30, RGB(255, 0, 255));
    edit->Erases = 0;
    EXPECT_EQ(SendMessageW(edit->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem.DC), 0), 1);
    EXPECT_EQ(edit->Erases, enabled ? 1 : 0);
  }
  // The disabled edit on screen is its cache.
  h->SkinData->BGChanged = true;
  SendMessageW(edit->Handle(), WM_NCPAINT, 1, 0);
  RedrawWindow(edit->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessagesFor(50);
  RECT wr{};
  GetWindowRect(edit->Handle(), &wr);
  const auto* row = reinterpret_cast<const std::uint32_t*>(h->SkinData->FCacheBmp->ScanLine(15));
  EXPECT_EQ(ScreenPixel(wr.left + 190, wr.top + 15) & 0xFFFFFF,
            static_cast<COLORREF>(ColorToRGB(static_cast<TColor>(((row[190] & 0xFF) << 16) | (row[190] & 0xFF00) |
                                                                  ((row[190] >> 16) & 0xFF)))));
  TacMainWnd* base = h;
  FreeHandler(base);
}

// Colours: the skin's colour goes into Color (and "FocusColor" where there is one); a custom
// colour stays and answers the background query; the skin going gives clWindow,
// clWindowText and the saved "FocusColor".
TEST_F(EditHandlers, ColoursGivenAndTakenBack) {
  TForm form(nullptr);
  form.Tag = 256;
  form.SetClientSize(300, 160);
  auto* focus = new TFocusEdit(&form);
  focus->SetParent(&form);
  focus->SetBounds(10, 10, 120, 24);
  focus->SetColor(0x101010);
  auto* custom = new TEdit(&form);
  custom->SetParent(&form);
  custom->SetBounds(10, 50, 120, 24);
  custom->SetColor(0x123456);
  form.Show();

  ASSERT_TRUE(HasProperty(static_cast<TControl*>(focus), L"FocusColor"));
  TacEditWnd* hf = Edit(focus->Handle(), Params(L"EDIT", focus));
  hf->SetSkinParams();
  EXPECT_EQ(ColorToRGB(focus->Color()), EditFill);
  EXPECT_EQ(ColorToRGB(focus->FocusColor), EditFill);
  EXPECT_EQ(focus->Font.Color.Get(), 0);  // the section's state-0 font colour

  TacEditWnd* hc = Edit(custom->Handle(), Params(L"EDIT", custom, false));
  hc->SetSkinParams();
  EXPECT_EQ(custom->Color(), 0x123456);
  TacBGInfo info;
  SendMessageW(custom->Handle(), SM_SKINCOMMAND, MAKEWPARAM(0, SKCMD_GET_BG_INFO), reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.BgType, btFill);
  EXPECT_EQ(info.Color, 0x123456);

  // The skin going gives the colours back, and so does the handler's going.
  SendMessageW(focus->Handle(), SM_SKINCOMMAND, MAKEWPARAM(0, SKCMD_REMOVE_SKIN), reinterpret_cast<LPARAM>(Skin.M));
  EXPECT_EQ(focus->Color(), clWindow);
  EXPECT_EQ(focus->Font.Color.Get(), clWindowText);
  EXPECT_EQ(focus->FocusColor, 0x00C0FF);
  focus->SetColor(0x101010);
  TacMainWnd* base = hf;
  FreeHandler(base);
  EXPECT_EQ(focus->Color(), clWindow);
  EXPECT_EQ(focus->Font.Color.Get(), clWindowText);
  EXPECT_EQ(focus->FocusColor, 0x00C0FF);
  base = hc;
  FreeHandler(base);
  EXPECT_EQ(custom->Color(), 0x123456);
}

// A framework grid's fixed-cell look: classic stays, themed turns gradient with the skin's
// colours, and both come back.
TEST_F(EditHandlers, GridDrawingStyleByTheSkin) {
  for (TGridDrawingStyle style : {gdsClassic, gdsThemed, gdsGradient}) {
    SCOPED_TRACE(static_cast<int>(style));
    TForm form(nullptr);
    form.Tag = 256;
    auto* grid = new TCustomGrid(&form);
    grid->SetParent(&form);
    grid->DrawingStyle = style;
    grid->GradientStartColor = 0x111111;
    grid->GradientEndColor = 0x222222;
    form.Show();
    TacEditWnd* h = Edit(grid->Handle(), Params(L"EDIT", grid));
    h->SetSkinParams();
    EXPECT_EQ(grid->DrawingStyle, style == gdsClassic ? gdsClassic : gdsGradient);
    const TColor main = Skin.M->Palette[pcMainColor], editBg = Skin.M->Palette[pcEditBG];
    EXPECT_EQ(static_cast<std::uint32_t>(grid->GradientStartColor),
              BlendTwoColors(ColorToRGB(main), ColorToRGB(editBg), 127));
    EXPECT_EQ(grid->GradientEndColor, main);
    TacMainWnd* base = h;
    FreeHandler(base);
    EXPECT_EQ(grid->DrawingStyle, style);
    EXPECT_EQ(grid->GradientStartColor, 0x111111);
    EXPECT_EQ(grid->GradientEndColor, 0x222222);
  }
}

// An empty framework list box answers -1 for its top index; one with items its own answer.
TEST_F(EditHandlers, EmptyListBoxTopIndex) {
  TForm form(nullptr);
  form.Tag = 256;
  auto* list = new TListBox(&form);
  list->SetParent(&form);
  form.Show();
  TacEditWnd* h = Edit(list->Handle(), Params(L"EDIT", list));
  EXPECT_EQ(SendMessageW(list->Handle(), LB_GETTOPINDEX, 0, 0), -1);
  list->Items().Add(L"one");
  EXPECT_EQ(SendMessageW(list->Handle(), LB_GETTOPINDEX, 0, 0), 0);
  TacMainWnd* base = h;
  FreeHandler(base);
  list->Items().Clear();
  EXPECT_EQ(SendMessageW(list->Handle(), LB_GETTOPINDEX, 0, 0), 0);
}

// A key release brings the bars' state up to date as it reaches the control, before the
// window hears of it: here the release ends there, and the bar has the position set meanwhile.
TEST_F(EditHandlers, KeyReleaseRefreshesTheBars) {
  TForm form(nullptr);
  form.Tag = 256;
  form.SetClientSize(300, 200);
  auto* list = new TKeyUpListBox(&form);
  list->SetParent(&form);
  list->SetBounds(10, 10, 200, 100);
  for (int i = 0; i < 40; ++i) list->Items().Add(L"item");
  form.Show();
  PumpMessagesFor(50);
  HWND w = list->Handle();
  TacEditWnd* h = Edit(w, Params(L"EDIT", list));
  const int pos = h->sBarVert->ScrollInfo.nPos;
  SetScrollPos(w, SB_VERT, pos + 20, FALSE);  // quietly: the handler hears nothing of it
  ASSERT_EQ(h->sBarVert->ScrollInfo.nPos, pos);
  SendMessageW(w, WM_KEYUP, VK_DOWN, 0xC0000001);
  EXPECT_EQ(list->KeyUps, 0);
  EXPECT_EQ(h->sBarVert->ScrollInfo.nPos, pos + 20);
  TacMainWnd* base = h;
  FreeHandler(base);
}

// A combo box's list taken over by CreateEx is layered and one pixel wider, except for the
// always-visible list of a simple combo box.
TEST_F(EditHandlers, DropDownListIsLayeredAndOnePixelWider) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 300, 200);
  for (DWORD style : {DWORD(CBS_DROPDOWNLIST), DWORD(CBS_SIMPLE)}) {
    SCOPED_TRACE(style);
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | style, 10, 10, 150, 120,
                                 parent.Wnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    COMBOBOXINFO cbi{};
    cbi.cbSize = sizeof(cbi);
    ASSERT_TRUE(GetComboBoxInfo(combo, &cbi));
    RECT before{};
    GetWindowRect(cbi.hwndList, &before);
    const bool simple = style == CBS_SIMPLE;
    TacComboListWnd* h = TacComboListWnd::CreateEx(cbi.hwndList, simple, true, L"EDIT", Skin.M, nullptr);
    RECT after{};
    GetWindowRect(cbi.hwndList, &after);
    EXPECT_EQ((after.right - after.left) - (before.right - before.left), simple ? 0 : 1);
    EXPECT_TRUE(GetWindowLongW(cbi.hwndList, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(h->SimplyBox, simple);
    EXPECT_FALSE(h->DBScroll);
    FreeHandlerOf(h);
    DestroyWindow(combo);
  }
}

// A scroll box paints its whole area from "PANEL_LOW" only when its control takes child
// controls; otherwise the scroll-bar handling alone runs and the control erases itself.
TEST_F(EditHandlers, ScrollBoxPaintsOnlyForAContainer) {
  for (bool accepts : {true, false}) {
    SCOPED_TRACE(accepts);
    TForm form(nullptr);
    form.Tag = 256;
    form.SetClientSize(300, 200);
    TWinControl* box = accepts ? static_cast<TWinControl*>(new TScrollBox(&form)) : new TBox(&form, false);
    box->SetColor(0x203040);
    box->SetParent(&form);
    box->SetBounds(10, 10, 200, 120);
    form.Show();
    TacSkinParams p = Params(L"", box);
    auto* h = NewHandler<TacScrollBoxWnd>(L"TacScrollBoxWnd", box->Handle(), true, p, Skin.M, nullptr);
    EXPECT_EQ(h->SkinData->SkinSection(), L"PANEL_LOW");
    TMemDC mem(200, 120, RGB(255, 0, 255));
    SendMessageW(box->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem.DC), 0);
    EXPECT_EQ(mem.At(50, 50), static_cast<COLORREF>(accepts ? PanelLow : 0x203040));
    FreeHandlerOf(h);
  }
}

// The native-paint kind (no class uses it here: a stand-in window) leaves the client's
// painting to the window and skins the frame from "TRANSPARENT".
TEST_F(EditHandlers, NativePaintLeavesTheClientToTheWindow) {
  TRecorderWindow wnd(WS_POPUP | WS_VISIBLE | WS_BORDER, 200, 120);
  TacSkinParams p = Params(L"");
  auto* h = NewHandler<TacNativePaint>(L"TacNativePaint", wnd.Wnd, true, p, Skin.M, nullptr);
  EXPECT_EQ(h->SkinData->SkinSection(), L"TRANSPARENT");
  Record() = TRecord{};
  TMemDC mem(50, 50, RGB(255, 0, 255));
  SendMessageW(wnd.Wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem.DC), 0);
  RedrawWindow(wnd.Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_TRUE(Record().Has(WM_ERASEBKGND));
  EXPECT_TRUE(Record().Has(WM_PAINT));
  EXPECT_EQ(mem.At(10, 10), RGB(0x12, 0x34, 0x56));  // the class's own brush
  FreeHandlerOf(h);
}

// The MDI client of a skinned MDI form: its background is the form's image under it, a thumb
// track is dropped and a thumb position scrolls the children in 8-pixel steps.
TEST_F(EditHandlers, MDIClientShowsTheFormImageAndScrollsInSteps) {
  TForm* frame = CreateComponent<TForm>(nullptr);
  frame->SetFormKind(fkMDIForm);
  frame->SetClientSize(480, 360);
  auto* provider = NewComponent<TsSkinProvider>(frame);
  provider->SkinManager = Skin.M;
  provider->FCommonData->WriteSkinManager(Skin.M);
  provider->FCommonData->SkinIndex = Skin.M->GetSkinIndex(L"FORM");
  frame->Show();
  TForm* child = CreateComponent<TForm>(nullptr);
  child->SetFormKind(fkMDIChild, frame);
  child->SetBounds(20, 20, 150, 100);
  child->Show();
  PumpMessagesFor(50);
  TsMDIForm mdi(provider);
  mdi.ConnectToClient();
  TacMDIWnd* h = mdi.ListSW;
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(h->Attached());
  const HWND client = frame->ClientHandle();

  // The background.
  provider->PaintAll();
  TBitmap* image = provider->FCommonData->FCacheBmp.get();
  ASSERT_TRUE(image && !image->Empty());
  TMemDC mem(100, 100, RGB(255, 0, 255));
  EXPECT_EQ(SendMessageW(client, WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem.DC), 0), 1);
  const TRect r = h->ImageRect();
  const int shift = (GetWindowLongW(client, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ? 2 : 0;
  const std::uint32_t px = reinterpret_cast<const std::uint32_t*>(image->ScanLine(r.Top + shift + 30))[r.Left + shift + 30];
  EXPECT_EQ(mem.At(30, 30), RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF));

  // Scrolling.
  auto childPos = [&] {
    RECT cr{};
    GetWindowRect(child->Handle(), &cr);
    POINT p{cr.left, cr.top};
    ScreenToClient(client, &p);
    return p;
  };
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
  si.nMin = 0;
  si.nMax = 100;
  si.nPage = 10;
  si.nPos = 5;
  SetScrollInfo(client, SB_HORZ, &si, FALSE);
  const POINT start = childPos();
  SendMessageW(client, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 40), 0);
  EXPECT_EQ(childPos().x, start.x);
  acScrollTrack.LastTrackValue = 3;
  SendMessageW(client, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 5), 0);
  EXPECT_EQ(childPos().x - start.x, (5 - 0 - 3 + 1) * 8);
  acScrollTrack = TacScrollTracking{};

  mdi.DestroyScrolls();
  TComponent::Free(child);
  TComponent::Free(frame);
}

// Giving back: every edit and list box of a dialog has its procedure, styles, font and
// colours as before once the handlers go; fifty cycles with repaints leave no GDI objects.
TEST_F(EditHandlers, DialogEditsGivenBackAndCensusSteady) {
  // The edits' own handlers are looked at alone: the dialog stays out of the hook's reach.
  Skin.M->OnSysDlgInit = [](HWND, bool& Allow) { Allow = false; };
  HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ALL_CLASSES), nullptr,
                                [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  ASSERT_NE(dlg, nullptr);
  ShowWindow(dlg, SW_SHOW);
  PumpMessagesFor(100);
  struct TState {
    HWND Wnd;
    LONG_PTR Proc, Style, ExStyle;
    LRESULT Font;
    HBRUSH ClassBrush;
  };
  std::vector<TState> states;
  for (int id : {1010, 1032}) {
    HWND c = GetDlgItem(dlg, id);
    ASSERT_NE(c, nullptr);
    states.push_back({c, GetWindowLongPtrW(c, GWLP_WNDPROC), GetWindowLongPtrW(c, GWL_STYLE),
                      GetWindowLongPtrW(c, GWL_EXSTYLE), SendMessageW(c, WM_GETFONT, 0, 0),
                      reinterpret_cast<HBRUSH>(GetClassLongPtrW(c, GCLP_HBRBACKGROUND))});
  }
  const auto cycle = [&] {
    std::vector<TacEditWnd*> handlers;
    for (const TState& s : states) {
      TacEditWnd* h = Edit(s.Wnd, Params(L"EDIT"));
      h->SetSkinParams();
      handlers.push_back(h);
    }
    RedrawWindow(dlg, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (TacEditWnd*& h : handlers) FreeHandlerOf(h);
  };
  cycle();
  for (const TState& s : states) {
    SCOPED_TRACE(GetDlgCtrlID(s.Wnd));
    EXPECT_EQ(GetWindowLongPtrW(s.Wnd, GWLP_WNDPROC), s.Proc);
    EXPECT_EQ(GetWindowLongPtrW(s.Wnd, GWL_STYLE), s.Style);
    EXPECT_EQ(GetWindowLongPtrW(s.Wnd, GWL_EXSTYLE), s.ExStyle);
    EXPECT_EQ(SendMessageW(s.Wnd, WM_GETFONT, 0, 0), s.Font);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(s.Wnd, GCLP_HBRBACKGROUND)), s.ClassBrush);
  }
  ASSERT_TRUE(InstallGdiCensus());
  const TGdiCensus before = GdiCensus();
  for (int i = 0; i < 50; ++i) cycle();
  const TGdiCensus after = GdiCensus();
  EXPECT_EQ(after, before);
  DestroyWindow(dlg);
  Skin.M->OnSysDlgInit = nullptr;
}
