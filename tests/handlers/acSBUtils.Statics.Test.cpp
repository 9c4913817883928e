// The handlers of statics, panels and containers on real windows: sections chosen by
// bevels, text, images, links, grips and containers painted from the skin over their
// parent's background, a replaced static bitmap never drawn after its deletion, the
// windows given back as they were, and the GDI census over many cycles.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "HandlerDialogs.h"
#include "app/Form.Progress.h"
#include "skin/forms/sSkinProvider.h"
#include "HandlerFixtures.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/StdCtrls.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "support/GdiCensus.h"

using namespace handler_tests;

namespace {

constexpr std::uint32_t PanelColour = 0x5A6B7C, PanelLowColour = 0x4A5B6C, EditFrameColour = 0x3050A0,
                        GripColour = 0xC03090;

// A 32-bit top-down bitmap of one colour at full alpha.
HBITMAP SolidBitmap32(int W, int H, std::uint32_t Rgb) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = W;
  bi.bmiHeader.biHeight = -H;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* px = static_cast<std::uint32_t*>(bits);
  for (int i = 0; i < W * H; ++i) px[i] = 0xFF000000u | Rgb;
  return bmp;
}

HICON SolidIcon(std::uint32_t Rgb) {
  HBITMAP colour = SolidBitmap32(16, 16, Rgb);
  HBITMAP mask = CreateBitmap(16, 16, 1, 1, nullptr);
  ICONINFO ii{TRUE, 0, 0, mask, colour};
  HICON icon = CreateIconIndirect(&ii);
  DeleteObject(colour);
  DeleteObject(mask);
  return icon;
}

// The window's whole area (frame included) read back from the screen.
std::vector<std::uint32_t> CaptureWindow(HWND Wnd, int& W, int& H) {
  RECT r{};
  GetWindowRect(Wnd, &r);
  W = r.right - r.left;
  H = r.bottom - r.top;
  std::vector<std::uint32_t> px(static_cast<std::size_t>(W) * H);
  HDC screen = GetDC(nullptr);
  HDC mdc = CreateCompatibleDC(screen);
  HBITMAP bmp = SolidBitmap32(W, H, 0);
  HGDIOBJ old = SelectObject(mdc, bmp);
  BitBlt(mdc, 0, 0, W, H, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  BITMAP bm{};
  GetObjectW(bmp, sizeof bm, &bm);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<const std::uint32_t*>(bm.bmBits)[i] & 0xFFFFFF;
  SelectObject(mdc, old);
  DeleteObject(bmp);
  DeleteDC(mdc);
  ReleaseDC(nullptr, screen);
  return px;
}

// Within one step per channel: drawing by alpha may round a full channel down by one.
bool Near(std::uint32_t A, std::uint32_t B) {
  for (int shift = 0; shift <= 16; shift += 8)
    if (std::abs(static_cast<int>((A >> shift) & 0xFF) - static_cast<int>((B >> shift) & 0xFF)) > 1) return false;
  return true;
}

// Columns (X) of pixels that differ from Background; -1 for none.
struct TInk {
  int Count = 0, Left = -1, Right = -1;
};
TInk InkOf(const std::vector<std::uint32_t>& Px, int W, int H, std::uint32_t Background) {
  TInk ink;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (Px[static_cast<std::size_t>(y) * W + x] != Background) {
        ++ink.Count;
        ink.Left = ink.Left < 0 ? x : std::min(ink.Left, x);
        ink.Right = std::max(ink.Right, x);
      }
  return ink;
}

// With TARVEL_HANDLER_SHOT set the windows stay up that many milliseconds, for a look.
void HoldForAShot() {
  if (const char* ms = std::getenv("TARVEL_HANDLER_SHOT")) PumpMessagesFor(std::atoi(ms));
}

std::wstring LowerClassOf(HWND Wnd) {
  wchar_t name[128] = {};
  GetClassNameW(Wnd, name, 128);
  std::wstring s(name);
  for (wchar_t& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

class StaticHandlers : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"skins-statics"));
    M->SetSkinName(L"Tarvel Statics");
    ASSERT_TRUE(M->IsActive());
    // Other suites register stand-ins under these kinds and remove them afterwards.
    RegisterStaticHandlerKinds();
  }
  void TearDown() override { TComponent::Free(M); }

  TacSkinParams Params(const wchar_t* Section, TControl* Control = nullptr) {
    TacSkinParams p;
    p.SkinSection = Section;
    p.Control = Control;
    p.UseSkinColor = p.UseSkinFontColor = true;  // as the adapter and the dialogs make them
    return p;
  }
  TacMainWnd* Make(const wchar_t* Kind, HWND Wnd, const wchar_t* Section, TControl* Control = nullptr) {
    return CreateHandler(Kind, Wnd, false, Params(Section, Control), M, nullptr);
  }

  // The statics dialog, shown with its images set; the dialog itself painted in "PANEL".
  struct TDialog {
    HWND Wnd = nullptr;
    HBITMAP Bitmap = nullptr, EdgeBitmap = nullptr;
    HICON Icon = nullptr;
    HWND Item(int Id) const { return GetDlgItem(Wnd, Id); }
  };
  TDialog OpenDialog() {
    TDialog d;
    d.Wnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_STATICS), nullptr,
                               [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    if (!d.Wnd) return d;
    SetWindowPos(d.Wnd, HWND_TOP, 10, 10, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    d.Bitmap = SolidBitmap32(20, 20, 0xFF0000);
    SendMessageW(d.Item(1103), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(d.Bitmap));
    d.EdgeBitmap = SolidBitmap32(20, 20, 0x00FF00);
    SendMessageW(d.Item(1110), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(d.EdgeBitmap));
    d.Icon = SolidIcon(0x0000FF);
    SendMessageW(d.Item(1104), STM_SETICON, reinterpret_cast<WPARAM>(d.Icon), 0);
    PumpMessagesFor(50);
    return d;
  }
  // The dialog's handler and one per child as the selection chooses them; the containers
  // get "PANEL_LOW" to tell their pixels from the dialog's.
  std::vector<TacMainWnd*> SkinDialog(HWND Dlg) {
    std::vector<TacMainWnd*> handlers{Make(L"TacTransPanelWnd", Dlg, L"PANEL")};
    for (HWND c = GetWindow(Dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      RECT r{};
      GetWindowRect(c, &r);
      const TacControlChoice choice =
          ChooseControlHandler(LowerClassOf(c), GetWindowLongW(c, GWL_STYLE), GetWindowLongW(c, GWL_EXSTYLE),
                               IsWindowVisible(c) != FALSE, r.bottom - r.top);
      if (choice.Kind.empty()) continue;
      const bool container = choice.Kind == L"TacContainerWnd";
      TacMainWnd* h = Make(choice.Kind.c_str(), c, container ? L"PANEL_LOW" : choice.Section.c_str());
      if (h) handlers.push_back(h);
    }
    RedrawWindow(Dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessagesFor(100);
    return handlers;
  }
  static void FreeAll(std::vector<TacMainWnd*>& Handlers) {
    // Children first, the dialog's handler last.
    for (auto it = Handlers.rbegin(); it != Handlers.rend(); ++it) FreeHandler(*it);
    Handlers.clear();
  }

  TsSkinManager* M = nullptr;
};

}  // namespace

TEST_F(StaticHandlers, PanelAndStaticTextSectionsFollowBevels) {
  TForm form(nullptr);
  form.Tag = 256;
  form.SetBounds(20, 20, 300, 200);
  form.Show();
  struct TPanelCase {
    TBevelCut Outer, Inner;
    TFormBorderStyle Border;
    const wchar_t* Section;
  } panels[] = {
      {bvRaised, bvLowered, bsNone, L"GROUPBOX"}, {bvLowered, bvRaised, bsNone, L"GROUPBOX"},
      {bvRaised, bvNone, bsNone, L"PANEL"},       {bvLowered, bvNone, bsSingle, L"PANEL_LOW"},
      {bvNone, bvNone, bsNone, L"TRANSPARENT"},   {bvNone, bvNone, bsSingle, L"PANEL_LOW"},
      {bvSpace, bvNone, bsNone, L"TRANSPARENT"},
  };
  for (const TPanelCase& c : panels) {
    SCOPED_TRACE(c.Section);
    auto* panel = new TPanel(&form);
    panel->BevelOuter = c.Outer;
    panel->BevelInner = c.Inner;
    panel->SetBorderStyle(c.Border);
    panel->SetParent(&form);
    TacMainWnd* h = Make(L"TacPanelWnd", panel->Handle(), L"", panel);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->SkinData->SkinSection(), c.Section);
    EXPECT_EQ(static_cast<TacPanelWnd*>(h)->Panel, panel);
    FreeHandler(h);
  }
  struct TTextCase {
    TBevelKind Kind;
    TBevelCut Outer, Inner;
    const wchar_t* Section;
  } texts[] = {
      {bkNone, bvRaised, bvLowered, L"TRANSPARENT"}, {bkFlat, bvRaised, bvLowered, L"GROUPBOX"},
      {bkTile, bvLowered, bvNone, L"PANEL_LOW"},     {bkSoft, bvRaised, bvNone, L"PANEL"},
      {bkFlat, bvNone, bvNone, L"TRANSPARENT"},
  };
  for (const TTextCase& c : texts) {
    SCOPED_TRACE(c.Section);
    auto* text = new TStaticText(&form);
    text->SetBevelKind(c.Kind);
    text->BevelOuter = c.Outer;
    text->BevelInner = c.Inner;
    text->SetParent(&form);
    TacMainWnd* h = Make(L"TacStaticTextWnd", text->Handle(), L"", text);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->SkinData->SkinSection(), c.Section);
    FreeHandler(h);
  }
}

TEST_F(StaticHandlers, LinkTagsGoInExactCaseOnly) {
  struct TCase {
    const wchar_t* Text;
    const wchar_t* Shown;
  } cases[] = {{L"<A>link</A>", L"link"},
               {L"<a>link</a>", L"<a>link</a>"},
               {L"see <A>here</A> and <A>there</A>", L"see here and there"},
               {L"", L""},
               {L"<A", L"<A"}};
  for (const TCase& c : cases) EXPECT_EQ(RemoveLinkTags(c.Text), c.Shown) << c.Text;
}

// The progress window's arrangement: a grid panel without bevels inside a skinned panel
// shows the skinned background, with no plain rectangle; a captioned panel shows its text
// unless its Tag is 999.
TEST_F(StaticHandlers, PanelsPaintOverTheirParentsBackground) {
  TForm form(nullptr);
  form.Tag = 256;
  form.SetClientSize(320, 220);
  auto* outer = new TPanel(&form);
  outer->BevelOuter = bvRaised;
  outer->SetBounds(10, 10, 290, 180);
  outer->SetParent(&form);
  auto* grid = new TGridPanel(&form);
  grid->BevelOuter = bvNone;
  grid->ShowCaption = false;
  grid->ColumnCollection = {{ssPercent, 100}};
  grid->RowCollection = {{ssPercent, 50}, {ssPercent, 50}};
  grid->SetBounds(10, 10, 260, 150);
  grid->SetParent(outer);
  auto* silent = new TPanel(&form);
  silent->SetCaption(L"WWWW");
  silent->Tag = 999;
  silent->SetBounds(0, 0, 80, 40);  // not aligned: the rest of its cell is the grid's own
  silent->SetParent(grid);
  auto* captioned = new TPanel(&form);
  captioned->SetCaption(L"WWWW");
  captioned->Font.Height = -16;
  captioned->SetAlign(alClient);
  captioned->SetParent(grid);
  form.Show();
  SetWindowPos(form.Handle(), HWND_TOP, 460, 20, 0, 0, SWP_NOSIZE);
  PumpMessagesFor(50);
  std::vector<TacMainWnd*> handlers;
  for (TCustomPanel* p : std::vector<TCustomPanel*>{outer, grid, silent, captioned})
    handlers.push_back(Make(L"TacPanelWnd", p->Handle(), L"", p));
  EXPECT_EQ(handlers[1]->SkinData->SkinSection(), L"TRANSPARENT");
  RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessagesFor(100);
  HoldForAShot();
  int w = 0, h = 0;
  // The grid panel's own pixels beside the silent panel show the outer panel's section.
  std::vector<std::uint32_t> px = CaptureClient(grid->Handle(), w, h);
  ASSERT_GT(w, 0);
  const TRect silentBounds = silent->BoundsRect();
  EXPECT_EQ(px[static_cast<std::size_t>(silentBounds.Top + 5) * w + silentBounds.Right + 20], PanelColour);
  // The silent panel is its section alone; the captioned one carries its caption.
  px = CaptureClient(silent->Handle(), w, h);
  EXPECT_EQ(InkOf(px, w, h, PanelColour).Count, 0);
  px = CaptureClient(captioned->Handle(), w, h);
  EXPECT_EQ(px[2u * w + 2], PanelColour);
  EXPECT_GT(InkOf(px, w, h, PanelColour).Count, 10);
  FreeAll(handlers);
  EXPECT_FALSE(IsSkinnedWindow(grid->Handle()));
}

// The dialog's statics, links, grip and containers drawn from the skin over the dialog's
// "PANEL" background.
TEST_F(StaticHandlers, DialogStaticsPaintFromTheSkin) {
  TDialog d = OpenDialog();
  ASSERT_NE(d.Wnd, nullptr);
  std::vector<TacMainWnd*> handlers = SkinDialog(d.Wnd);
  HoldForAShot();
  int w = 0, h = 0;
  // WS_EX_RIGHT draws right-aligned; SS_CENTER leaves the skinned text at the left.
  std::vector<std::uint32_t> px = CaptureClient(d.Item(1101), w, h);
  TInk right = InkOf(px, w, h, PanelColour);
  EXPECT_GT(right.Count, 0);
  EXPECT_GT(right.Left, w / 2);
  px = CaptureClient(d.Item(1102), w, h);
  TInk centred = InkOf(px, w, h, PanelColour);
  EXPECT_GT(centred.Count, 0);
  EXPECT_LT(centred.Left, w / 4);
  // A 32-bit bitmap drawn by its alpha, and the icon.
  px = CaptureClient(d.Item(1103), w, h);
  EXPECT_TRUE(Near(px[2u * w + 2], 0xFF0000u)) << std::hex << px[2u * w + 2];
  px = CaptureClient(d.Item(1104), w, h);
  EXPECT_EQ(px[1u * w + 1], 0x0000FFu);
  // The edge static paints itself inside a skinned 2-pixel edge (the "EDIT" frame colour).
  px = CaptureWindow(d.Item(1110), w, h);
  EXPECT_EQ(px[0], EditFrameColour);
  EXPECT_EQ(px[static_cast<std::size_t>(h / 2) * w + w / 2], 0x00FF00u);
  // Links: the tags of the upper-case link are gone, the lower-case ones stay as typed.
  px = CaptureClient(d.Item(1105), w, h);
  const TInk upper = InkOf(px, w, h, PanelColour);
  px = CaptureClient(d.Item(1106), w, h);
  const TInk lower = InkOf(px, w, h, PanelColour);
  EXPECT_GT(upper.Count, 0);
  EXPECT_GT(lower.Right - lower.Left, 2 * (upper.Right - upper.Left));
  // The grip over the dialog's background, answering every hit test with the corner.
  HWND grip = d.Item(1107);
  px = CaptureClient(grip, w, h);
  EXPECT_EQ(px[static_cast<std::size_t>(h - 1) * w + w - 1], GripColour);
  EXPECT_EQ(px[0], PanelColour);
  RECT gr{};
  GetWindowRect(grip, &gr);
  for (POINT p : {POINT{gr.left, gr.top}, POINT{gr.left + 1, gr.bottom - 1}, POINT{gr.right - 1, gr.top + 1}})
    EXPECT_EQ(SendMessageW(grip, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), HTBOTTOMRIGHT);
  // Containers: the client from the cache; the skinned frame only with WS_EX_CLIENTEDGE.
  px = CaptureClient(d.Item(1108), w, h);
  EXPECT_EQ(px[static_cast<std::size_t>(h / 2) * w + w / 2], PanelLowColour);
  px = CaptureWindow(d.Item(1109), w, h);
  EXPECT_EQ(px[0], PanelLowColour);
  EXPECT_EQ(px[static_cast<std::size_t>(h / 2) * w + w / 2], PanelLowColour);
  FreeAll(handlers);
  DestroyWindow(d.Wnd);
  DeleteObject(d.Bitmap);
  DeleteObject(d.EdgeBitmap);
  DestroyIcon(d.Icon);
}

// The static's owner replaces its bitmap and deletes the old one: the next paint shows the
// new one, and the handler never deletes the static's bitmap.
TEST_F(StaticHandlers, ReplacedStaticBitmapIsReadAgain) {
  TDialog d = OpenDialog();
  ASSERT_NE(d.Wnd, nullptr);
  std::vector<TacMainWnd*> handlers = SkinDialog(d.Wnd);
  HWND stat = d.Item(1103);
  HBITMAP blue = SolidBitmap32(20, 20, 0x0000FF);
  // A static keeps a copy of a bitmap with alpha and hands that copy back on replacement.
  auto old = reinterpret_cast<HBITMAP>(SendMessageW(stat, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(blue)));
  ASSERT_NE(old, nullptr);
  DeleteObject(old);
  if (old != d.Bitmap) DeleteObject(d.Bitmap);
  RedrawWindow(stat, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  PumpMessagesFor(50);
  int w = 0, h = 0;
  std::vector<std::uint32_t> px = CaptureClient(stat, w, h);
  EXPECT_TRUE(Near(px[2u * w + 2], 0x0000FFu)) << std::hex << px[2u * w + 2];
  const auto shown = reinterpret_cast<HBITMAP>(SendMessageW(stat, STM_GETIMAGE, IMAGE_BITMAP, 0));
  FreeAll(handlers);
  EXPECT_EQ(GetObjectType(shown), static_cast<DWORD>(OBJ_BITMAP));
  EXPECT_EQ(reinterpret_cast<HBITMAP>(SendMessageW(stat, STM_GETIMAGE, IMAGE_BITMAP, 0)), shown);
  DestroyWindow(d.Wnd);
  DeleteObject(blue);
  DeleteObject(d.EdgeBitmap);
  DestroyIcon(d.Icon);
}

// After the skin goes every window has its procedure, styles and font as before, and fifty
// skin cycles with repaints leave the GDI census where it began.
TEST_F(StaticHandlers, WindowsComeBackAndTheCensusStaysLevel) {
  TDialog d = OpenDialog();
  ASSERT_NE(d.Wnd, nullptr);
  struct TState {
    HWND Wnd;
    LONG_PTR Proc, Style, ExStyle;
    WPARAM Font;
  };
  std::vector<TState> before;
  for (HWND c = d.Wnd; c; c = c == d.Wnd ? GetWindow(d.Wnd, GW_CHILD) : GetWindow(c, GW_HWNDNEXT))
    before.push_back({c, GetWindowLongPtrW(c, GWLP_WNDPROC), GetWindowLongPtrW(c, GWL_STYLE),
                      GetWindowLongPtrW(c, GWL_EXSTYLE), static_cast<WPARAM>(SendMessageW(c, WM_GETFONT, 0, 0))});
  std::vector<TacMainWnd*> handlers = SkinDialog(d.Wnd);
  EXPECT_GE(handlers.size(), 10u);
  FreeAll(handlers);
  for (const TState& s : before) {
    SCOPED_TRACE(LowerClassOf(s.Wnd));
    EXPECT_EQ(GetWindowLongPtrW(s.Wnd, GWLP_WNDPROC), s.Proc);
    EXPECT_EQ(GetWindowLongPtrW(s.Wnd, GWL_STYLE), s.Style);
    EXPECT_EQ(GetWindowLongPtrW(s.Wnd, GWL_EXSTYLE), s.ExStyle);
    EXPECT_EQ(static_cast<WPARAM>(SendMessageW(s.Wnd, WM_GETFONT, 0, 0)), s.Font);
    EXPECT_FALSE(IsSkinnedWindow(s.Wnd));
  }
  handlers = SkinDialog(d.Wnd);  // what the first round keeps for the process
  FreeAll(handlers);
  ASSERT_TRUE(InstallGdiCensus());
  const TGdiCensus start = GdiCensus();
  for (int i = 0; i < 50; ++i) {
    handlers = SkinDialog(d.Wnd);
    FreeAll(handlers);
  }
  EXPECT_EQ(GdiCensus(), start);
  DestroyWindow(d.Wnd);
  DeleteObject(d.Bitmap);
  DeleteObject(d.EdgeBitmap);
  DestroyIcon(d.Icon);
}

// A grip index beyond the loaded images paints nothing and reads nothing past them; the
// hit test still answers the corner.
TEST_F(StaticHandlers, GripIndexBeyondTheImagesPaintsNothing) {
  TacSkinData* sd = M->CommonSkinData();
  ASSERT_NE(sd, nullptr);
  const int saved = sd->GripRightBottom;
  TDialog d = OpenDialog();
  ASSERT_NE(d.Wnd, nullptr);
  for (int bad : {static_cast<int>(sd->ma.size()), 100000}) {
    sd->GripRightBottom = bad;
    std::vector<TacMainWnd*> handlers = SkinDialog(d.Wnd);
    int w = 0, h = 0;
    HWND grip = d.Item(1107);
    std::vector<std::uint32_t> px = CaptureClient(grip, w, h);
    EXPECT_NE(px[static_cast<std::size_t>(h - 1) * w + w - 1], GripColour);
    RECT gr{};
    GetWindowRect(grip, &gr);
    EXPECT_EQ(SendMessageW(grip, WM_NCHITTEST, 0, MAKELPARAM(gr.left, gr.top)), HTBOTTOMRIGHT);
    FreeAll(handlers);
  }
  sd->GripRightBottom = saved;
  DestroyWindow(d.Wnd);
  DeleteObject(d.Bitmap);
  DeleteObject(d.EdgeBitmap);
  DestroyIcon(d.Icon);
}

// The search box gets a 3-pixel frame from the skin around the client it paints itself.
TEST_F(StaticHandlers, SearchBoxKeepsItsClientInsideASkinnedFrame) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 200, 120);
  HWND box = CreateWindowExW(WS_EX_CLIENTEDGE, RecorderClass(), L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 20, 20, 120, 24,
                             parent.Wnd, nullptr, GetModuleHandleW(nullptr), nullptr);
  TacMainWnd* h = Make(L"TacSearchWnd", box, L"PANEL_LOW");
  ASSERT_NE(h, nullptr);
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  PumpMessagesFor(50);
  int w = 0, hh = 0;
  std::vector<std::uint32_t> px = CaptureWindow(box, w, hh);
  for (auto [x, y] : {std::pair{0, 0}, std::pair{2, hh / 2}, std::pair{w - 1, hh - 1}, std::pair{w / 2, 2}}) {
    SCOPED_TRACE(x * 1000 + y);
    EXPECT_EQ(px[static_cast<std::size_t>(y) * w + x], PanelLowColour);
  }
  FreeHandler(h);
  DestroyWindow(box);
}

// A framework static text that holds child controls: its section by its bevels, or its own
// colour when the skin's colour is not used; the caption placed by its "Alignment". One that
// holds none is left to the base.
TEST_F(StaticHandlers, StaticTextPaintsSectionOrItsColourAndAlignsByName) {
  TForm form(nullptr);
  form.Tag = 256;
  form.SetClientSize(320, 200);
  struct TCase {
    bool SkinColour;
    std::uint32_t Fill;
    TAlignment Alignment;
  } cases[] = {{true, PanelColour, taRightJustify}, {false, 0x204060, taLeftJustify}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.SkinColour);
    auto* text = new TStaticText(&form);
    text->SetBevelKind(bkFlat);
    text->BevelOuter = bvRaised;
    text->BevelInner = bvNone;
    text->SetColor(static_cast<TColor>(((c.Fill & 0xFF) << 16) | (c.Fill & 0xFF00) | ((c.Fill >> 16) & 0xFF)));
    text->SetAlignment(c.Alignment);
    text->SetCaption(L"WW");
    text->Font.Height = -14;
    text->SetBounds(10, 10, 200, 40);
    text->SetControlStyle(text->ControlStyle() | csAcceptsControls);
    text->SetParent(&form);
    form.Show();
    SetWindowPos(form.Handle(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    TacSkinParams params = Params(L"", text);
    params.UseSkinColor = c.SkinColour;
    TacMainWnd* h = CreateHandler(L"TacStaticTextWnd", text->Handle(), false, params, M, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->SkinData->SkinSection(), L"PANEL");
    RedrawWindow(text->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    PumpMessagesFor(50);
    int w = 0, hh = 0;
    std::vector<std::uint32_t> px = CaptureClient(text->Handle(), w, hh);
    ASSERT_GT(w, 0);
    EXPECT_EQ(px[2u * w + w / 2], c.Fill);
    const TInk ink = InkOf(px, w, hh, c.Fill);
    EXPECT_GT(ink.Count, 0);
    if (c.Alignment == taRightJustify)
      EXPECT_GT(ink.Left, w / 2);
    else
      EXPECT_LT(ink.Right, w / 2);
    FreeHandler(h);
    text->SetControlStyle(text->ControlStyle() & ~static_cast<TControlStyle>(csAcceptsControls));
    h = CreateHandler(L"TacStaticTextWnd", text->Handle(), false, params, M, nullptr);
    RedrawWindow(text->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    PumpMessagesFor(50);
    EXPECT_TRUE(h->SkinData->BGChanged);  // no cache was built: the control painted itself
    FreeHandler(h);
    delete text;
  }
}

// The progress window as it runs: its run-time provider paints the form from the skin, and
// the grid panel, given its handler as the form's adapter gives it, shows that background
// with no plain rectangle.
TEST_F(StaticHandlers, ProgressWindowGridShowsTheFormBackground) {
  SkinEngineStartup();
  ASSERT_TRUE(M->IsDefault());
  M->InstallHook();
  auto* form = new TFormProgress(&Application());
  form->lblTitle->SetCaption(L"Updating");
  form->lblStage->SetCaption(L"Stage");
  form->lblState->SetCaption(L"State");
  form->Show();
  SetWindowPos(form->Handle(), HWND_TOP, 30, 30, 0, 0, SWP_NOSIZE);
  PumpMessagesFor(150);
  TacProvider* p = FindDialogProvider(form->Handle());
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->sp, nullptr);
  TGridPanel* grid = form->GridTop;
  TacMainWnd* h = Make(L"TacPanelWnd", grid->Handle(), L"", grid);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->SkinData->SkinSection(), L"TRANSPARENT");
  RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessagesFor(150);
  HoldForAShot();
  int w = 0, hh = 0;
  std::vector<std::uint32_t> formPx = CaptureClient(form->Handle(), w, hh);
  const TRect g = grid->BoundsRect();
  ASSERT_GT(g.Top, 5);
  // Above the grid (its top margin), and inside it in each label's row right of its text: the
  // title label's glow may round the background by one step.
  const std::uint32_t above = formPx[static_cast<std::size_t>(g.Top - 5) * w + g.Right - 4];
  const std::uint32_t face = static_cast<std::uint32_t>(GetSysColor(COLOR_BTNFACE));
  EXPECT_NE(above, ((face & 0xFF) << 16) | (face & 0xFF00) | ((face >> 16) & 0xFF));
  for (int percent : {10, 55, 85}) {
    SCOPED_TRACE(percent);
    const std::uint32_t inside = formPx[static_cast<std::size_t>(g.Top + g.Height() * percent / 100) * w + g.Right - 4];
    if (percent == 10)
      EXPECT_TRUE(Near(inside, above)) << std::hex << inside << " " << above;
    else
      EXPECT_EQ(inside, above);
  }
  FreeHandler(h);
  TComponent::Free(form);
  PumpMessages();
  PurgeDialogProviders();
  SkinEngineCleanup();
}

// The progress window made and fed as the shell does it, with the run-time provider's control
// adapter giving the grid panel its handler: the form leaves its children out where they are
// on its client, not where the frame's offset would put them, so no strip beside or below the
// panels (under the gauge, beside and below the labels) stays unpainted.
TEST_F(StaticHandlers, ProgressWindowThroughTheAdapterShowsTheFormBackground) {
  SkinEngineStartup();
  ASSERT_TRUE(M->IsDefault());
  // The shell's panel list (its manager reads it while loading; this one is made already).
  M->ThirdLists[tpPanel].SetText(L"TGridPanel\r\nTPanel\r\nTPage\r\nTTabPage\r\n");
  M->InstallHook();
  auto* form = CreateComponent<TFormProgress>(&Application());
  form->Show();
  TProgressInfo info(L"Downloading files...", false);
  info.Stage = L"Size: 1.93 MB / 8.74 MB";
  info.State = L"Speed: 1.46 MB/s";
  info.Percent = 22;
  form->UpdateProgress(info);
  PumpMessagesFor(300);
  ASSERT_NE(FindDialogProvider(form->Handle()), nullptr);
  TGridPanel* grid = form->GridTop;
  EXPECT_TRUE(IsSkinnedWindow(grid->Handle()));
  // The adapter of the run-time provider gave the grid its panel handler.
  TacMainWnd* gridHandler = nullptr;
  TacCtrlAdapter* adapter = FindDialogProvider(form->Handle())->sp->Adapter.get();
  ASSERT_NE(adapter, nullptr);
  for (int i = 0; i < adapter->Count(); ++i)
    if (adapter->GetItem(i)->WinCtrl == grid) gridHandler = adapter->GetItem(i)->ScrollWnd;
  ASSERT_NE(gridHandler, nullptr);
  EXPECT_EQ(gridHandler->KindName, L"TacPanelWnd");
  EXPECT_EQ(gridHandler->SkinData->SkinSection(), L"TRANSPARENT");
  HoldForAShot();
  int w = 0, h = 0;
  const std::vector<std::uint32_t> px = CaptureClient(form->Handle(), w, h);
  ASSERT_GT(w, 0);
  auto at = [&](int X, int Y) { return px[static_cast<std::size_t>(Y) * w + X]; };
  const TRect g = grid->BoundsRect();
  const TRect p = form->sPanel1->BoundsRect();
  ASSERT_GT(g.Top, 5);
  const std::uint32_t background = at(g.Right - 4, g.Top - 5);
  // The form's margins beside and below the grid and the skinned panel, and the last rows
  // and columns of both, in the form's background everywhere.
  struct TArea {
    const char* Where;
    TRect R;
  };
  const TArea areas[] = {
      {"below the grid", TRect{g.Left, g.Bottom - 2, g.Right, h}},
      {"right of the grid", TRect{g.Right - 2, g.Top + g.Height() / 2, w, g.Bottom}},
      {"below the panel, under the gauge", TRect{p.Left, p.Bottom - 2, p.Right, h}},
      {"right of the panel", TRect{p.Right - 2, p.Top + p.Height() / 2, g.Left, p.Bottom}},
  };
  for (const TArea& area : areas) {
    int wrong = 0;
    for (int y = area.R.Top; y < area.R.Bottom; ++y)
      for (int x = area.R.Left; x < area.R.Right; ++x) wrong += at(x, y) != background;
    EXPECT_EQ(wrong, 0) << area.Where;
  }
  TComponent::Free(form);
  PumpMessages();
  PurgeDialogProviders();
  SkinEngineCleanup();
}
