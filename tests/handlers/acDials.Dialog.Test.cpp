// The dialog handler on real dialogs and message boxes under Xvfb, skinned through the window
// hook with the dialog fixture skin: caption images and hit codes, the close button's press and
// release, the message-box position, the frame sizes, everything given back when the skin goes,
// the system menu's items and the GDI census over repeated paints and skin cycles.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "HandlerFixtures.h"
#include "platform/ui/Forms.h"
#include "skin/ReaderFixtures.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acMessageBox.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "support/GdiCensus.h"
#include "support/MessagePump.h"

namespace {

// A dialog template built in memory: the dialog, then its items.
class TTemplate {
public:
  TTemplate(DWORD Style, DWORD ExStyle, short Cx, short Cy, const wchar_t* Title = L"Tarvel dialog") {
    Dword(Style);
    Dword(ExStyle);
    FCountAt = FWords.size();
    FWords.push_back(0);
    for (short v : {short(20), short(20), Cx, Cy}) FWords.push_back(static_cast<WORD>(v));
    FWords.push_back(0);  // no menu
    FWords.push_back(0);  // the dialog class
    for (const wchar_t* p = Title; *p; ++p) FWords.push_back(static_cast<WORD>(*p));
    FWords.push_back(0);
  }
  void Item(const wchar_t* Class, DWORD Style, short X, short Y, short Cx, short Cy, WORD Id,
            const wchar_t* Text = L"") {
    if (FWords.size() % 2) FWords.push_back(0);
    Dword(Style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    for (short v : {X, Y, Cx, Cy}) FWords.push_back(static_cast<WORD>(v));
    FWords.push_back(Id);
    for (const wchar_t* p = Class; *p; ++p) FWords.push_back(static_cast<WORD>(*p));
    FWords.push_back(0);
    for (const wchar_t* p = Text; *p; ++p) FWords.push_back(static_cast<WORD>(*p));
    FWords.push_back(0);
    FWords.push_back(0);  // no creation data
    ++FWords[FCountAt];
  }
  HWND Create() {
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(FWords.data()),
                                      nullptr, Proc, 0);
  }

private:
  static INT_PTR CALLBACK Proc(HWND, UINT Msg, WPARAM, LPARAM) { return Msg == WM_INITDIALOG; }
  void Dword(DWORD V) {
    FWords.push_back(LOWORD(V));
    FWords.push_back(HIWORD(V));
  }
  std::vector<WORD> FWords;
  std::size_t FCountAt = 0;
};

TacDialogWnd* HandlerOf(HWND Wnd) {
  TacProvider* p = FindDialogProvider(Wnd);
  return p ? p->ListSW : nullptr;
}

// The window's pixels (0x00RRGGBB) read through its window DC.
std::vector<std::uint32_t> CaptureWindow(HWND Wnd, int& W, int& H) {
  return handler_tests::CaptureThroughDC(Wnd, true, W, H);
}

std::uint32_t Rgb(const char* Hex) { return static_cast<std::uint32_t>(std::stoul(std::string(Hex + 1), nullptr, 16)); }

LPARAM ScreenPoint(HWND Wnd, int X, int Y) {
  RECT r{};
  GetWindowRect(Wnd, &r);
  return MAKELPARAM(r.left + X, r.top + Y);
}

// What a timer finds inside a modal box: the box and the work done on it there (true when that
// work closed the box). A box still open 5 seconds later is cancelled by the watchdog.
std::function<bool(HWND)> gInside;
const wchar_t* gBoxCaption = nullptr;
bool gDone = false;
bool gWatchdog = false;
int gAnswer = -100;

void RunInsideBox(const std::function<int()>& Open) {
  gDone = false;
  gWatchdog = false;
  gAnswer = -100;
  const UINT_PTR watchdog = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) {
    if (HWND box = FindWindowW(L"#32770", gBoxCaption)) {
      gWatchdog = true;
      PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    }
  });
  const UINT_PTR finder = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", gBoxCaption);
    if (!box || !IsWindowVisible(box) || gDone) return;
    KillTimer(nullptr, id);
    gDone = true;
    PumpMessagesFor(150);
    const bool closed = gInside && gInside(box);
    if (!closed && IsWindow(box)) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  });
  gAnswer = Open();
  KillTimer(nullptr, finder);
  KillTimer(nullptr, watchdog);
  PumpMessages();
}

class DialogHandler : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    SkinEngineStartup();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"dialogs"));
    M->SetSkinName(SkinName());
    M->Effects.AllowGlowing = false;  // the caption buttons are repainted directly
    M->SetActive(true);
    ASSERT_TRUE(M->IsActive());
    ASSERT_TRUE(M->IsDefault());
    M->InstallHook();
  }
  void TearDown() override {
    gInside = nullptr;
    for (HWND w : Windows)
      if (IsWindow(w)) DestroyWindow(w);
    PumpMessages();
    TComponent::Free(M);
    PumpMessages();
    SkinEngineCleanup();
  }
  virtual const wchar_t* SkinName() const { return L"Tarvel Dialog"; }
  HWND Keep(HWND W) {
    Windows.push_back(W);
    PumpMessagesFor(100);
    return W;
  }
  TacSkinData* Data() { return M->CommonSkinData(); }
  TsSkinManager* M = nullptr;
  std::vector<HWND> Windows;
};

}  // namespace

// Message boxes opened from a timer are taken over with their caption, close button and
// icon; the hit codes come from the skinned caption, and the close button acts only for a
// press and a release both on it.
TEST_F(DialogHandler, MessageBoxesFromATimer) {
  struct TCase {
    UINT Style;
  } cases[] = {{MB_OK}, {MB_YESNOCANCEL}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Style);
    static UINT style;
    style = c.Style;
    gBoxCaption = L"Tarvel box";
    bool checked = false;
    gInside = [&](HWND box) {
      TacDialogWnd* h = HandlerOf(box);
      if (!h) {
        ADD_FAILURE() << "the box has no dialog handler";
        return false;
      }
      checked = true;
      EXPECT_EQ(h->BorderStyle, acbsDialog);
      EXPECT_EQ(h->ButtonClose.cpGlyphType, tgCloseAlone);
      EXPECT_EQ(GetWindowLongW(box, GWL_STYLE) & WS_SYSMENU, 0);
      // The caption band in the DIALOGTITLE colour of the state, the close image in its own.
      h->SkinData->BGChanged = true;
      RedrawWindow(box, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
      PumpMessagesFor(50);
      const TRect close = h->ButtonClose.cpRect;
      EXPECT_GT(close.Width(), 0);
      int W = 0, H = 0;
      const auto px = CaptureWindow(box, W, H);
      const int y = close.Top + close.Height() / 2;
      auto at = [&](int x, int yy) { return px[static_cast<std::size_t>(yy) * W + x]; };
      const std::uint32_t band = h->FFormActive ? Rgb("#A030A0") : Rgb("#602060");
      EXPECT_EQ(at(close.Right + 1, y), band);
      EXPECT_EQ(at(close.Left + close.Width() / 2, y), Rgb("#C01010"));  // BICLOSEALONE, normal
      // Hit codes.
      const TRect icon = h->IconRect();
      EXPECT_EQ(SendMessageW(box, WM_NCHITTEST, 0, ScreenPoint(box, close.Left + 3, y)), HTCLOSE);
      EXPECT_EQ(SendMessageW(box, WM_NCHITTEST, 0, ScreenPoint(box, icon.Left + 2, icon.Top + 2)), HTSYSMENU);
      EXPECT_EQ(SendMessageW(box, WM_NCHITTEST, 0, ScreenPoint(box, icon.Right + 20, y)), HTCAPTION);
      // A press on the button released on the caption does nothing.
      SendMessageW(box, WM_NCLBUTTONDOWN, HTCLOSE, ScreenPoint(box, close.Left + 3, y));
      EXPECT_EQ(h->ButtonClose.cpState, 2);
      SendMessageW(box, WM_NCLBUTTONUP, HTCAPTION, ScreenPoint(box, icon.Right + 20, y));
      PumpMessagesFor(50);
      EXPECT_TRUE(IsWindowVisible(box));
      // So does one released in the client area.
      SendMessageW(box, WM_NCLBUTTONDOWN, HTCLOSE, ScreenPoint(box, close.Left + 3, y));
      SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
      PumpMessagesFor(50);
      EXPECT_TRUE(IsWindowVisible(box));
      // Released on it: the box closes.
      SendMessageW(box, WM_NCLBUTTONDOWN, HTCLOSE, ScreenPoint(box, close.Left + 3, y));
      SendMessageW(box, WM_NCLBUTTONUP, HTCLOSE, ScreenPoint(box, close.Left + 3, y));
      return true;
    };
    RunInsideBox([] { return MessageBoxW(nullptr, L"Some text", L"Tarvel box", style); });
    EXPECT_TRUE(checked);
    EXPECT_FALSE(gWatchdog);  // the close button closed it
    EXPECT_TRUE(gAnswer == IDCANCEL || gAnswer == IDOK) << gAnswer;
  }
}

// A tool-window dialog has the small caption images and the small caption height.
TEST_F(DialogHandler, ToolWindowDialogHasSmallButtons) {
  TTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, WS_EX_TOOLWINDOW, 120, 60);
  t.Item(L"BUTTON", BS_PUSHBUTTON, 10, 10, 50, 14, IDOK, L"OK");
  HWND dlg = Keep(t.Create());
  TacDialogWnd* h = HandlerOf(dlg);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->BorderStyle, acbsToolWindow);
  EXPECT_EQ(h->ButtonClose.cpGlyphType, tgSmallClose);
  EXPECT_EQ(h->CaptionHeight(false), GetSystemMetrics(SM_CYSMCAPTION));
  RedrawWindow(dlg, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessagesFor(50);
  const TRect close = h->ButtonClose.cpRect;
  EXPECT_EQ(close.Width(), 14);  // SICONCLOSE
  int W = 0, H = 0;
  const auto px = CaptureWindow(dlg, W, H);
  EXPECT_EQ(px[static_cast<std::size_t>(close.Top + 3) * W + close.Left + 3], Rgb("#C04040"));
}

// ShowLibraryMessageBox puts the box at its point: the top-left corner there, or the centre
// with the centring switch on.
TEST_F(DialogHandler, LibraryMessageBoxAtItsPosition) {
  struct TCase {
    bool Centred;
  } cases[] = {{false}, {true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Centred);
    MessageBoxCentred = c.Centred;
    gBoxCaption = L"Tarvel placed";
    RECT placed{};
    gInside = [&](HWND box) {
      GetWindowRect(box, &placed);
      return false;
    };
    RunInsideBox([] { return ShowLibraryMessageBox(L"Tarvel placed", L"Placed text", mtInformation, {mbOK}, 0, 300, 240); });
    MessageBoxCentred = false;
    if (c.Centred) {
      EXPECT_NEAR((placed.left + placed.right) / 2, 300, 1);
      EXPECT_NEAR((placed.top + placed.bottom) / 2, 240, 1);
    } else {
      EXPECT_EQ(placed.left, 300);
      EXPECT_EQ(placed.top, 240);
    }
  }
}

// A maximized sizeable dialog lets the mouse through within 2 pixels of its edges.
TEST_F(DialogHandler, MaximizedDialogIsTransparentAtItsEdge) {
  TTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_VISIBLE, 0, 150, 80);
  HWND dlg = Keep(t.Create());
  ASSERT_NE(HandlerOf(dlg), nullptr);
  ShowWindow(dlg, SW_MAXIMIZE);
  PumpMessagesFor(100);
  ASSERT_TRUE(IsZoomed(dlg));
  RECT r{};
  GetWindowRect(dlg, &r);
  const int midY = (r.top + r.bottom) / 2;
  EXPECT_EQ(static_cast<int>(SendMessageW(dlg, WM_NCHITTEST, 0, MAKELPARAM(r.left + 1, midY))), HTTRANSPARENT);
  EXPECT_EQ(static_cast<int>(SendMessageW(dlg, WM_NCHITTEST, 0, MAKELPARAM(r.right - 2, midY))), HTTRANSPARENT);
  EXPECT_NE(static_cast<int>(SendMessageW(dlg, WM_NCHITTEST, 0, MAKELPARAM(r.left + 40, midY))), HTTRANSPARENT);
}

// The frame-size sub-command: kinds 1 and 2 by the system, kind 3 measured, falling back by
// the high word when window and client are as wide.
TEST_F(DialogHandler, FrameSizeTable) {
  HWND wnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 60, nullptr, nullptr, nullptr, nullptr);
  Windows.push_back(wnd);
  TsCommonData data(nullptr, false);
  data.WriteSkinManager(M);
  TacDialogWnd h;
  h.CtrlHandle = wnd;
  h.SkinData = &data;
  const int size = GetSystemMetrics(SM_CXFRAME), fixed = GetSystemMetrics(SM_CXFIXEDFRAME);
  const int pad = GetSystemMetrics(SM_CXPADDEDBORDER);
  struct TCase {
    TacBorderStyle Style;
    int Kind, High, Expected;
  } cases[] = {{acbsDialog, 1, 0, size},        {acbsDialog, 2, 0, fixed},     {acbsDialog, 3, 1, size},
               {acbsDialog, 3, 2, fixed},       {acbsDialog, 3, 7, 0},         {acbsSizeable, 1, 0, size + pad},
               {acbsSizeable, 3, 7, pad},       {acbsSizeToolWin, 3, 2, fixed + pad}};
  for (const TCase& c : cases) {
    h.BorderStyle = c.Style;
    TMessage m{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_FRAME_SIZE), MAKELPARAM(c.Kind, c.High), 0};
    h.acWndProc(m);
    EXPECT_EQ(m.Result, c.Expected) << c.Style << " kind " << c.Kind << " high " << c.High;
  }
  h.SkinData = nullptr;
}

// The system menu's items by the saved style and the dialog's state.
TEST_F(DialogHandler, SystemMenuItemsByStyle) {
  HWND wnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 10, 10, 200, 100,
                             nullptr, nullptr, nullptr, nullptr);
  Windows.push_back(wnd);
  TacDialogWnd h;
  h.CtrlHandle = wnd;
  TacSystemMenu menu(nullptr);
  menu.FOwner = &h;
  ASSERT_EQ(menu.Items()->Count(), 7);
  const std::vector<std::wstring> names{L"miRestore", L"miMove", L"miSize", L"miMinimize", L"miMaximize", L"", L"miClose"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ((*menu.Items())[i]->Name, names[static_cast<std::size_t>(i)]);
  EXPECT_TRUE((*menu.Items())[5]->IsLine());
  EXPECT_EQ(menu.ItemClose->ShortCut, scAlt | VK_F4);
  EXPECT_EQ(ShortCutToText(menu.ItemClose->ShortCut), L"Alt+F4");

  struct TCase {
    const char* Name;
    LONG Style;
    TacBorderStyle Border;
    int Show;
    // visible: restore, move, size, min, max, close; enabled: the same
    bool V[6], E[6];
  } cases[] = {
      {"modal frame", WS_SYSMENU | DS_MODALFRAME, acbsDialog, SW_SHOWNORMAL, {0, 1, 0, 0, 0, 1}, {0, 1, 1, 0, 0, 1}},
      {"modal frame zoomed", WS_SYSMENU | DS_MODALFRAME, acbsDialog, SW_MAXIMIZE, {0, 1, 0, 0, 0, 1}, {0, 0, 1, 0, 0, 1}},
      {"sizeable", WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX, acbsSizeable, SW_SHOWNORMAL,
       {1, 1, 1, 1, 1, 1}, {0, 1, 1, 1, 1, 1}},
      {"sizeable zoomed", WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX, acbsSizeable, SW_MAXIMIZE,
       {1, 1, 1, 1, 1, 1}, {1, 0, 1, 1, 0, 1}},
      {"sizeable iconic", WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX, acbsSizeable, SW_MINIMIZE,
       {1, 1, 1, 1, 1, 1}, {1, 1, 0, 0, 1, 1}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ShowWindow(wnd, SW_RESTORE);
    ShowWindow(wnd, c.Show);
    PumpMessagesFor(50);
    h.dwStyle = c.Style;
    h.BorderStyle = c.Border;
    menu.UpdateItems();
    TMenuItem* items[6] = {menu.ItemRestore, menu.ItemMove, menu.ItemSize, menu.ItemMinimize, menu.ItemMaximize,
                           menu.ItemClose};
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(items[i]->Visible, c.V[i]) << items[i]->Name;
      EXPECT_EQ(items[i]->Enabled, c.E[i]) << items[i]->Name;
    }
  }
  ShowWindow(wnd, SW_RESTORE);
}

// Maximize from the menu: SC_MAXIMIZE reaches the dialog, then Restore is enabled and Maximize
// is not.
TEST_F(DialogHandler, MaximizeFromTheMenuUpdatesTheItems) {
  TTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_VISIBLE, 0, 150, 80);
  HWND dlg = Keep(t.Create());
  TacDialogWnd* h = HandlerOf(dlg);
  ASSERT_NE(h, nullptr);
  ASSERT_NE(h->SystemMenu, nullptr);
  h->SystemMenu->MaxClick(h->SystemMenu->ItemMaximize);
  PumpMessagesFor(50);
  EXPECT_TRUE(IsZoomed(dlg));
  EXPECT_TRUE(h->SystemMenu->ItemRestore->Enabled);
  EXPECT_FALSE(h->SystemMenu->ItemMaximize->Enabled);
}

namespace {

struct TWindowState {
  HWND Wnd;
  LONG_PTR Proc, Style, ExStyle;
  LRESULT Font;
};

std::vector<TWindowState> StatesOf(HWND Dlg) {
  std::vector<TWindowState> states{{Dlg, GetWindowLongPtrW(Dlg, GWLP_WNDPROC), GetWindowLongPtrW(Dlg, GWL_STYLE),
                                    GetWindowLongPtrW(Dlg, GWL_EXSTYLE), SendMessageW(Dlg, WM_GETFONT, 0, 0)}};
  for (HWND c = GetTopWindow(Dlg); c; c = GetWindow(c, GW_HWNDNEXT))
    states.push_back({c, GetWindowLongPtrW(c, GWLP_WNDPROC), GetWindowLongPtrW(c, GWL_STYLE),
                      GetWindowLongPtrW(c, GWL_EXSTYLE), SendMessageW(c, WM_GETFONT, 0, 0)});
  return states;
}

HWND UnskinnedDialog(TsSkinManager* M, DWORD Style) {
  M->OnSysDlgInit = [](HWND, bool& Allow) { Allow = false; };
  TTemplate t(Style, 0, 160, 90);
  t.Item(L"STATIC", SS_LEFT, 6, 6, 80, 10, 100, L"Static text");
  t.Item(L"BUTTON", BS_PUSHBUTTON, 6, 24, 50, 14, IDOK, L"OK");
  t.Item(L"EDIT", WS_BORDER, 6, 44, 80, 12, 101);
  t.Item(L"BUTTON", BS_OWNERDRAW, 90, 24, 50, 14, 102, L"Drawn");
  HWND dlg = t.Create();
  M->OnSysDlgInit = nullptr;
  return dlg;
}

}  // namespace

// Removing the skin gives the dialog back whole: WS_SYSMENU, DS_NOIDLEMSG, the class style,
// no region, and the procedures, styles and fonts of the dialog and its children.
TEST_F(DialogHandler, RemovalGivesTheDialogBack) {
  HWND dlg = Keep(UnskinnedDialog(M, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_NOIDLEMSG | WS_VISIBLE));
  ASSERT_EQ(HandlerOf(dlg), nullptr);
  // The class saves the bits under it: the handler takes that off while dialogs are skinned.
  const ULONG_PTR classStyle = GetClassLongPtrW(dlg, GCL_STYLE) | CS_SAVEBITS;
  SetClassLongPtrW(dlg, GCL_STYLE, static_cast<LONG_PTR>(classStyle));
  const auto before = StatesOf(dlg);
  ASSERT_TRUE(SkinNewTopWindow(dlg));
  TacDialogWnd* h = HandlerOf(dlg);
  ASSERT_NE(h, nullptr);
  RedrawWindow(dlg, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessagesFor(100);
  EXPECT_EQ(GetWindowLongW(dlg, GWL_STYLE) & (WS_SYSMENU | DS_NOIDLEMSG), 0);
  EXPECT_EQ(GetClassLongPtrW(dlg, GCL_STYLE) & CS_SAVEBITS, 0u);
  EXPECT_EQ(DialogClassUsers(), 1);
  HRGN probe = CreateRectRgn(0, 0, 0, 0);
  EXPECT_NE(GetWindowRgn(dlg, probe), ERROR);  // the skin's cut corners
  M->SetActive(false);
  PumpMessagesFor(100);
  EXPECT_EQ(FindDialogProvider(dlg), nullptr);
  EXPECT_EQ(GetWindowRgn(dlg, probe), ERROR);
  DeleteObject(probe);
  EXPECT_EQ(GetClassLongPtrW(dlg, GCL_STYLE), classStyle);
  EXPECT_EQ(DialogClassUsers(), 0);
  const auto after = StatesOf(dlg);
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(after[i].Proc, before[i].Proc);
    EXPECT_EQ(after[i].Style, before[i].Style);
    EXPECT_EQ(after[i].ExStyle, before[i].ExStyle);
    EXPECT_EQ(after[i].Font, before[i].Font);
  }
}

// Answers of the colour and item messages and repeated skin cycles leave the census where it
// was: one brush for the dialog's colour, one substituted font per face, and nothing of a
// removed skin left behind.
TEST_F(DialogHandler, CensusSteadyOverPaintsAndSkinCycles) {
  M->Fonts.MainMode = fmCustom;
  M->Fonts.MainFont = L"Arial";
  HWND dlg = Keep(UnskinnedDialog(M, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE));
  ASSERT_TRUE(SkinNewTopWindow(dlg));
  ASSERT_NE(HandlerOf(dlg), nullptr);
  HWND drawn = GetDlgItem(dlg, 102);
  ASSERT_TRUE(InstallGdiCensus());
  auto paints = [&] {
    HDC dc = GetDC(dlg);
    for (int i = 0; i < 1000; ++i) SendMessageW(dlg, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dlg));
    ReleaseDC(dlg, dc);
    for (int i = 0; i < 200; ++i) {
      InvalidateRect(drawn, nullptr, TRUE);
      UpdateWindow(drawn);
    }
  };
  paints();  // the brush and the font are made once
  const TGdiCensus warm = GdiCensus();
  paints();
  EXPECT_EQ(GdiCensus(), warm);
  // The item's DC has its own font back after every paint.
  HDC dc = GetDC(drawn);
  HGDIOBJ own = GetCurrentObject(dc, OBJ_FONT);
  DRAWITEMSTRUCT dis{ODT_BUTTON, 102, 0, ODA_DRAWENTIRE, 0, drawn, dc, RECT{0, 0, 10, 10}, 0};
  SendMessageW(dlg, WM_DRAWITEM, 102, reinterpret_cast<LPARAM>(&dis));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), own);
  ReleaseDC(drawn, dc);
  // Skin cycles over the dialog.
  auto cycle = [&](int i) {
    M->SetActive(true);
    M->InstallHook();
    ASSERT_TRUE(SkinNewTopWindow(dlg)) << i;
    RedrawWindow(dlg, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    M->SetActive(false);
    PumpMessages();
  };
  M->SetActive(false);
  PumpMessagesFor(50);
  cycle(-1);  // what a skin load keeps for the next one is made once
  const TGdiCensus off = GdiCensus();
  for (int i = 0; i < 50; ++i) cycle(i);
  EXPECT_EQ(GdiCensus(), off);
}

#include "support/LayeredRecorder.h"

namespace {
class DialogHandlerEx : public DialogHandler {
protected:
  void SetUp() override {
    Recorder = std::make_unique<TLayeredRecorder>();
    DialogHandler::SetUp();
  }
  void TearDown() override {
    DialogHandler::TearDown();
    Recorder.reset();
  }
  const wchar_t* SkinName() const override { return L"Tarvel Dialog Ex"; }
  std::unique_ptr<TLayeredRecorder> Recorder;
};
}  // namespace

// With extended borders the dialog's whole image goes to its border window: the shadow band
// translucent, then the skin's extended frame, the window's size grown by the shadows.
TEST_F(DialogHandlerEx, ExtendedBordersOnTheLayeredBitmap) {
  M->SetExtendedBorders(true);
  TTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 160, 80);
  t.Item(L"BUTTON", BS_PUSHBUTTON, 10, 10, 50, 14, IDOK, L"OK");
  HWND dlg = Keep(t.Create());
  TacDialogWnd* h = HandlerOf(dlg);
  ASSERT_NE(h, nullptr);
  if (!M->ExtendedBorders()) GTEST_SKIP() << "no layered windows here";
  ASSERT_NE(h->BorderForm, nullptr);
  RedrawWindow(dlg, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessagesFor(100);
  ASSERT_NE(h->BorderForm->AForm, nullptr);
  const auto pushes = Recorder->To(h->BorderForm->AForm->Handle());
  ASSERT_FALSE(pushes.empty());
  const TLayeredPush& last = pushes.back();
  TRect shadow;
  h->ShadowSize(shadow);
  RECT wr{};
  GetWindowRect(dlg, &wr);
  const int diff = BorderFormBorderDiff(h->BorderForm);
  EXPECT_EQ(last.Size.cx, wr.right - wr.left + shadow.Left + shadow.Right + 2 * diff);
  const int y = last.Size.cy / 2;
  const std::uint32_t outer = last.Pixel(2, y), frame = last.Pixel(9, y);
  EXPECT_GT(outer >> 24, 0u);
  EXPECT_LT(outer >> 24, 255u);
  EXPECT_EQ(frame >> 24, 255u);
  const std::uint32_t active = 0x3060C0, inactive = 0x603070;
  EXPECT_EQ(frame & 0xFFFFFF, h->FFormActive ? active : inactive);
}

// The border window of a dialog answers for the dialog's caption buttons at their places in
// its image: close where the dialog drew it, the caption beside it.
TEST_F(DialogHandlerEx, TheBorderWindowFindsTheDialogsCloseButton) {
  M->SetExtendedBorders(true);
  TTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 160, 80);
  HWND dlg = Keep(t.Create());
  TacDialogWnd* h = HandlerOf(dlg);
  ASSERT_NE(h, nullptr);
  if (!M->ExtendedBorders()) GTEST_SKIP() << "no layered windows here";
  RedrawWindow(dlg, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessagesFor(100);
  ASSERT_NE(h->BorderForm, nullptr);
  ASSERT_NE(h->BorderForm->AForm, nullptr);
  const TRect close = h->ButtonClose.cpRect;
  ASSERT_GT(close.Width(), 0);
  RECT br{};
  GetWindowRect(h->BorderForm->AForm->Handle(), &br);
  auto hit = [&](int x, int y) {
    TMessage m{WM_NCHITTEST, 0, MAKELPARAM(br.left + x, br.top + y), 0};
    return h->BorderForm->Ex_WMNCHitTest(m);
  };
  const int cy = (close.Top + close.Bottom) / 2;
  EXPECT_EQ(hit((close.Left + close.Right) / 2, cy), HTCLOSE);
  EXPECT_EQ(hit(close.Left - 30, cy), HTCAPTION);
}

// The non-client skinning switched off and on again (sub-command 83): the dialog's own
// WS_SYSMENU and frame come back without the handler's region, and go again.
TEST_F(DialogHandler, NonClientSkinningOffAndOn) {
  TTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 160, 80);
  HWND dlg = Keep(t.Create());
  ASSERT_NE(HandlerOf(dlg), nullptr);
  RedrawWindow(dlg, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessagesFor(50);
  HRGN probe = CreateRectRgn(0, 0, 0, 0);
  struct TCase {
    LPARAM On;
    bool SysMenu, Region;
  } cases[] = {{0, true, false}, {1, false, true}, {0, true, false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.On);
    M->Options.DrawNonClientArea = c.On != 0;
    SendSkinCommand(dlg, SKCMD_NC_AREA_CHANGED, c.On);
    RedrawWindow(dlg, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessagesFor(50);
    EXPECT_EQ((GetWindowLongW(dlg, GWL_STYLE) & WS_SYSMENU) != 0, c.SysMenu);
    EXPECT_EQ(GetWindowRgn(dlg, probe) != ERROR, c.Region);
  }
  DeleteObject(probe);
  M->Options.DrawNonClientArea = true;
}

// Switching the manager's non-client option reaches the skinned dialogs by itself.
TEST_F(DialogHandler, TheManagersNonClientOptionReachesTheDialogs) {
  TTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 160, 80);
  HWND dlg = Keep(t.Create());
  ASSERT_NE(HandlerOf(dlg), nullptr);
  PumpMessagesFor(50);
  ASSERT_FALSE(GetWindowLongW(dlg, GWL_STYLE) & WS_SYSMENU);
  M->Options.DrawNonClientArea = false;
  PumpMessagesFor(50);
  EXPECT_TRUE(GetWindowLongW(dlg, GWL_STYLE) & WS_SYSMENU);
  M->Options.DrawNonClientArea = true;
  PumpMessagesFor(50);
  EXPECT_FALSE(GetWindowLongW(dlg, GWL_STYLE) & WS_SYSMENU);
}

// With composition on (through its seam) the dialog is layered only around its own showing.
TEST_F(DialogHandler, CompositionOnShowsTheDialogUnlayered) {
  SetDwmCompositionOverride(true);
  TTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 160, 80);
  HWND dlg = Keep(t.Create());
  ASSERT_NE(HandlerOf(dlg), nullptr);
  ShowWindow(dlg, SW_SHOW);
  PumpMessagesFor(100);
  EXPECT_TRUE(IsWindowVisible(dlg));
  EXPECT_EQ(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  EXPECT_EQ(GetWindowLongW(dlg, GWL_STYLE) & WS_SYSMENU, 0);
  SetDwmCompositionOverride(std::nullopt);
}
