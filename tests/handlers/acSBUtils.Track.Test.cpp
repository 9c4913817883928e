// Track bars, the framework's stand-alone scroll bar and up-downs on real windows: tick
// spacing, channel, ticks and thumb from the "TRACKBAR" section (turned for ticks above),
// bevelled ticks without tick masks, manual ticks answered but not painted, the scroll bar's
// geometry, element states, thumb drag and end of update, a square bar of one colour,
// up-downs left in their own style, and the census.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "HandlerFixtures.h"
#include "platform/ui/ComCtrls.Lists.h"
#include "platform/ui/StdCtrls.ScrollBar.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acSBUtils.Scroll.h"
#include "skin/handlers/acSBUtils.Track.h"
#include "skin/manager/sCommonData.h"
#include "support/GdiCensus.h"

using namespace handler_tests;

namespace {

// The test skin's colours ("skins-track"), as captured (0xRRGGBB).
constexpr std::uint32_t Channel0 = 0xC02020, ThumbTip = 0x20C020, ThumbBody = 0x2020C0, VThumbTip = 0x20C0C0,
                        VThumbBody = 0xC0C020, TickH = 0xE0E020, TickV = 0xE020E0, Bar1 = 0x405060,
                        Bar2 = 0x506070, Btn0 = 0xA05020, Slider0 = 0x20A050;

void HoldForAShot() {
  if (const char* ms = std::getenv("TARVEL_HANDLER_SHOT")) PumpMessagesFor(static_cast<DWORD>(std::atoi(ms)));
}

struct TCapture {
  std::vector<std::uint32_t> Px;
  int W = 0, H = 0;
  explicit TCapture(HWND Wnd) { Px = CaptureClient(Wnd, W, H); }
  // What the window paints into a bitmap of its size when WM_PAINT brings the DC.
  TCapture(HWND Wnd, bool) {
    RECT r{};
    GetClientRect(Wnd, &r);
    W = r.right;
    H = r.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(bi.bmiHeader), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    SendMessageW(Wnd, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    GdiFlush();
    Px.assign(static_cast<const std::uint32_t*>(bits), static_cast<const std::uint32_t*>(bits) + W * H);
    for (auto& p : Px) p &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
  }
  std::uint32_t At(int X, int Y) const { return Px[static_cast<std::size_t>(Y) * W + X]; }
  int Count(std::uint32_t C) const { return static_cast<int>(std::count(Px.begin(), Px.end(), C)); }
  // Rows (Vertical false) or columns holding the colour.
  std::vector<int> Lines(std::uint32_t C, bool Columns) const {
    std::vector<int> out;
    for (int a = 0; a < (Columns ? W : H); ++a)
      for (int b = 0; b < (Columns ? H : W); ++b)
        if ((Columns ? At(a, b) : At(b, a)) == C) {
          out.push_back(a);
          break;
        }
    return out;
  }
};

class TrackHandlers : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&icc);
    UseSkin(L"Tarvel Track");
    RegisterTrackHandlerKinds();
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
  HWND NewTrack(HWND Parent, DWORD Style, int X, int Y, int W, int H, int ThumbLength = 0) {
    HWND t = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_CHILD | WS_VISIBLE | TBS_AUTOTICKS | Style, X, Y, W, H,
                             Parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(t, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
    SendMessageW(t, TBM_SETTICFREQ, 1, 0);
    SendMessageW(t, TBM_SETPOS, TRUE, 5);
    if (ThumbLength) SendMessageW(t, TBM_SETTHUMBLENGTH, ThumbLength, 0);
    return t;
  }
  TacTrackWnd* Skin(HWND Track) {
    auto* h = static_cast<TacTrackWnd*>(CreateHandler(L"TacTrackWnd", Track, false, Params(L"TRACKBAR"), M, nullptr));
    RedrawWindow(Track, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    PumpMessagesFor(30);
    return h;
  }
  TsSkinManager* M = nullptr;
};

}  // namespace

// Ticks spread evenly over the channel less the thumb, ties rounded to even; one tick lies
// where the first would, none gives none (and no division by zero).
TEST(TrackTicks, EvenlySpacedTable) {
  struct TCase {
    int Count;
    bool Vertical;
    std::vector<int> Expected;
    double Step;
  };
  const TRect channel{10, 30, 182, 34}, thumb{0, 0, 10, 20};
  const TRect vchannel{30, 10, 34, 182}, vthumb{0, 0, 20, 10};
  const TCase cases[] = {
      {0, false, {}, 0},
      {1, false, {15}, 0},
      {2, false, {15, 177}, 162},
      {5, false, {15, 56, 96, 136, 177}, 40.5},  // 55.5 and 136.5 go to the even neighbour
      {11, false, {15, 31, 47, 64, 80, 96, 112, 128, 145, 161, 177}, 16.2},
      {5, true, {15, 56, 96, 136, 177}, 40.5},
  };
  for (const TCase& c : cases) {
    double step = -1;
    const auto ticks = EvenTickPositions(c.Vertical ? vchannel : channel, c.Vertical ? vthumb : thumb, c.Count,
                                         c.Vertical, step);
    EXPECT_EQ(ticks, c.Expected) << c.Count;
    EXPECT_DOUBLE_EQ(step, c.Step) << c.Count;
  }
}

// Channel, ticks and thumb from the "TRACKBAR" section: ticks below by default, above with
// TBS_TOP (and the thumb mask turned upside down), on both sides with TBS_BOTH, right of a
// vertical bar; none with TBS_NOTICKS.
TEST_F(TrackHandlers, ChannelTicksAndThumbFollowTheStyle) {
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 420, 420);
  struct TCase {
    DWORD Style;
    bool Vertical, Before, After, TipFirst;
  };
  const TCase cases[] = {
      {TBS_BOTTOM, false, false, true, true},
      {TBS_TOP, false, true, false, false},
      {TBS_BOTH, false, true, true, true},
      {TBS_VERT | TBS_RIGHT, true, false, true, true},
      {TBS_VERT | TBS_LEFT, true, true, false, false},
      {TBS_NOTICKS, false, false, false, true},
  };
  int y = 10;
  for (const TCase& c : cases) {
    HWND t = c.Vertical ? NewTrack(parent.Wnd, c.Style, 300, 10, 45, 200) : NewTrack(parent.Wnd, c.Style, 10, y, 200, 45);
    y += 50;
    TacTrackWnd* h = Skin(t);
    ASSERT_TRUE(h);
    TCapture cap(t);
    TRect channel, thumb;
    h->ChannelRect(channel);
    h->ThumbRect(thumb);
    const std::uint32_t tick = c.Vertical ? TickV : TickH;
    EXPECT_GT(cap.Count(Channel0), 0) << c.Style;
    // Tick pixels before and after the channel across the bar.
    const std::vector<int> lines = cap.Lines(tick, c.Vertical);
    const int chStart = c.Vertical ? channel.Left : channel.Top, chEnd = c.Vertical ? channel.Right : channel.Bottom;
    const bool before = std::any_of(lines.begin(), lines.end(), [&](int v) { return v < chStart; });
    const bool after = std::any_of(lines.begin(), lines.end(), [&](int v) { return v >= chEnd; });
    EXPECT_EQ(before, c.Before) << c.Style;
    EXPECT_EQ(after, c.After) << c.Style;
    if (!c.Before && !c.After) EXPECT_EQ(cap.Count(tick), 0);
    // The thumb's pointing side faces the ticks.
    const std::uint32_t tip = c.Vertical ? VThumbTip : ThumbTip, body = c.Vertical ? VThumbBody : ThumbBody;
    const std::vector<int> tipLines = cap.Lines(tip, c.Vertical), bodyLines = cap.Lines(body, c.Vertical);
    ASSERT_FALSE(tipLines.empty()) << c.Style;
    ASSERT_FALSE(bodyLines.empty()) << c.Style;
    EXPECT_EQ(tipLines.front() < bodyLines.front(), c.TipFirst) << c.Style;
    FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
    DestroyWindow(t);
  }
}

// A 23-pixel thumb takes the mask as it is (its 4 tip rows), a thicker one a resampled
// copy (more tip rows).
TEST_F(TrackHandlers, ThumbResampledOnlyWhenNeeded) {
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200);
  for (int length : {23, 30}) {
    HWND t = NewTrack(parent.Wnd, TBS_FIXEDLENGTH | TBS_BOTTOM, 10, 10, 200, 100, length);
    // The system may keep a margin off the length it is given, and takes a new length at
    // its own next paint.
    RECT tr{};
    UpdateWindow(t);
    SendMessageW(t, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&tr));
    SendMessageW(t, TBM_SETTHUMBLENGTH, 2 * length - (tr.bottom - tr.top), 0);
    UpdateWindow(t);
    TacTrackWnd* h = Skin(t);
    TRect thumb;
    h->ThumbRect(thumb);
    ASSERT_EQ(thumb.Height(), length);
    TCapture cap(t);
    const int x = (thumb.Left + thumb.Right) / 2;
    int tipRows = 0;
    // Resampling blends the edges: a tip row is one nearer the tip's colour than the body's.
    for (int yy = thumb.Top; yy < thumb.Bottom; ++yy) {
      const std::uint32_t c = cap.At(x, yy);
      tipRows += length == 23 ? c == ThumbTip : (((c >> 8) & 0xFF) > 0x80 && (c & 0xFF) < 0x80);
    }
    std::string column;
    for (int yy = thumb.Top; yy < thumb.Bottom; ++yy) column += std::to_string(cap.At(x, yy)) + " ";
    SCOPED_TRACE(column);
    if (length == 23)
      EXPECT_EQ(tipRows, 4);
    else
      EXPECT_GE(tipRows, 6);
    FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
    DestroyWindow(t);
  }
}

// Masks the skin names but could not load: bevelled ticks, no thumb, no channel, no fault.
// A skin without "TRACKBAR" gives only the background.
TEST_F(TrackHandlers, MissingMasksAndSection) {
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200);
  UseSkin(L"Tarvel Track Beyond");
  HWND t = NewTrack(parent.Wnd, TBS_BOTTOM, 10, 10, 200, 45);
  TacTrackWnd* h = Skin(t);
  {
    TCapture cap(t);
    EXPECT_EQ(cap.Count(ThumbTip) + cap.Count(ThumbBody) + cap.Count(Channel0) + cap.Count(TickH), 0);
    EXPECT_GT(cap.Count(0xFFFFFF), 0);  // the light side of the bevels
    const std::uint32_t shadow = ColorToRGB(clBtnShadow);
    EXPECT_GT(cap.Count(((shadow & 0xFF) << 16) | (shadow & 0xFF00) | ((shadow >> 16) & 0xFF)), 0);
  }
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
  TComponent::Free(M);
  M = CreateComponent<TsSkinManager>(nullptr);
  M->SetSkinDirectory(ReaderFixture(L"skins"));
  M->SetSkinName(L"Tarvel Test");
  h = Skin(t);
  {
    TCapture cap(t);
    EXPECT_EQ(cap.Count(cap.At(0, 0)), cap.W * cap.H);
  }
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
  DestroyWindow(t);
}

// A manual tick's position is answered where the control puts it, yet the painted ticks stay
// evenly spaced: the manual tick only counts (three ticks, at the start, middle and end).
TEST_F(TrackHandlers, ManualTickAnsweredButTicksPaintedEvenly) {
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200);
  HWND t = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_CHILD | WS_VISIBLE | TBS_BOTTOM, 10, 10, 240, 45, parent.Wnd,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(t, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
  SendMessageW(t, TBM_SETTIC, 0, 2);
  SendMessageW(t, TBM_SETPOS, TRUE, 8);
  TacTrackWnd* h = Skin(t);
  ASSERT_TRUE(h);
  TRect channel, thumb;
  h->ChannelRect(channel);
  h->ThumbRect(thumb);
  const int manual = channel.Left + thumb.Width() / 2 + (channel.Width() - thumb.Width() / 2 * 2) * 2 / 10;
  EXPECT_NEAR(h->TickPos(0), manual, 1);
  EXPECT_EQ(h->TickPos(1), -1);
  ASSERT_EQ(h->TickCount(), 3);
  std::vector<int> ticks;
  h->TicksArray(ticks);
  double step = 0;
  EXPECT_EQ(ticks, EvenTickPositions(channel, thumb, 3, false, step));
  // A tick mask ends at its point: the column left of each point holds tick colour.
  TCapture cap(t);
  const std::vector<int> columns = cap.Lines(TickH, true);
  for (int x : ticks) EXPECT_NE(std::find(columns.begin(), columns.end(), x - 1), columns.end()) << x;
  EXPECT_EQ(std::find(columns.begin(), columns.end(), h->TickPos(0) - 1), columns.end());
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
  DestroyWindow(t);
}

// The press ends with the capture, wherever the button comes up.
TEST_F(TrackHandlers, PressEndsWithTheCapture) {
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200);
  HWND t = NewTrack(parent.Wnd, TBS_BOTTOM, 10, 10, 200, 45);
  TacTrackWnd* h = Skin(t);
  SetCapture(t);
  SendMessageW(t, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_TRUE(h->bMousePressed);
  SetCapture(parent.Wnd);
  EXPECT_FALSE(h->bMousePressed);
  ReleaseCapture();
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
  DestroyWindow(t);
}

namespace {

class ScrollBarHandler : public TrackHandlers {
protected:
  void SetUp() override {
    TrackHandlers::SetUp();
    Form = new TForm(nullptr);
    Form->SetBounds(20, 20, 400, 300);
    Form->Show();
  }
  void TearDown() override {
    delete Form;
    TrackHandlers::TearDown();
  }
  TScrollBar* NewBar(int W, int H, TScrollBarKind Kind = sbHorizontal) {
    auto* bar = new TScrollBar(Form);
    bar->SetKind(Kind);
    bar->SetBounds(10, 10, W, H);
    bar->SetParent(Form);
    bar->Handle();
    return bar;
  }
  TacSBWnd* SkinBar(TScrollBar* Bar) {
    auto* h = static_cast<TacSBWnd*>(CreateHandler(L"TacSBWnd", Bar->Handle(), false, Params(L"", Bar), M, nullptr));
    Bar->Repaint();
    PumpMessagesFor(30);
    return h;
  }
  TForm* Form = nullptr;
};

}  // namespace

// Buttons, thumb and track parts along the bar; no division can fault.
TEST_F(ScrollBarHandler, GeometryTable) {
  struct TCase {
    const char* Name;
    int Length, Min, Max, Page, Pos;
    TRect Btn1, Btn2;  // -1: not checked
    int Coord;         // PositionToCoord; -1: not checked
  };
  TScrollBar* bar = NewBar(200, 17);
  TacSBWnd* h = SkinBar(bar);
  ASSERT_TRUE(h);
  const int S = h->SysBtnSize();
  ASSERT_GE(S, 10);
  const TCase cases[] = {
      {"two half buttons", 20, 0, 100, 10, 0, TRect{0, 0, 10, 17}, TRect{10, 0, 20, 17}, -1},
      {"range equal to page centres", 200, 0, 9, 10, 0, TRect{0, 0, S, 17}, TRect{200 - S, 0, 200, 17}, 100},
      {"thumb at the start", 200, 0, 100, 10, 0, TRect{-1, 0, 0, 0}, TRect{-1, 0, 0, 0}, S + h->SliderSize() / 2},
  };
  for (const TCase& c : cases) {
    bar->SetBounds(10, 10, c.Length, 17);
    bar->SetPageSize(0);
    bar->SetParams(c.Pos, c.Min, c.Max);
    bar->SetPageSize(c.Page);
    h->InitScrollData();
    if (c.Btn1.Left >= 0) {
      EXPECT_EQ(h->Btn1Rect(), c.Btn1) << c.Name;
      EXPECT_EQ(h->Btn2Rect(), c.Btn2) << c.Name;
    }
    if (c.Coord >= 0) EXPECT_EQ(h->PositionToCoord(), c.Coord) << c.Name;
  }
  // The thumb of a centred range sits in the middle.
  bar->SetBounds(10, 10, 200, 17);
  bar->SetParams(0, 0, 9);
  bar->SetPageSize(10);
  h->InitScrollData();
  const TRect s = h->SliderRect();
  EXPECT_NEAR((s.Left + s.Right) / 2.0, 100, 1);
  // A maximum below the minimum and a bar shorter than its buttons: the least thumb at the start.
  h->FSI.nMin = 10;
  h->FSI.nMax = 5;
  h->FSI.nPage = 3;
  EXPECT_EQ(h->SliderSize(), DefaultMinThumbSize);
  EXPECT_EQ(h->PositionToCoord(), S + DefaultMinThumbSize / 2);
  bar->SetBounds(10, 10, 20, 17);
  h->FSI.nMin = 0;
  h->FSI.nMax = 100;
  h->FSI.nPage = 10;
  EXPECT_EQ(h->PositionToCoord(), S + h->SliderSize() / 2);
  EXPECT_EQ(h->CoordToPosition(TPoint{15, 5}), 0);
  bar->Repaint();  // paints without thumb, no fault
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
}

TEST_F(ScrollBarHandler, ElementStatesTable) {
  TacSBWnd* h = SkinBar(NewBar(200, 17));
  struct TCase {
    int Start[5];  // btn1, btn2, bar1, bar2, slider
    int Element, State;
    int Expected[5];
  };
  const TCase cases[] = {
      {{0, 0, 0, 0, 0}, 0, 2, {2, 0, 1, 1, 0}}, {{0, 1, 0, 0, 1}, 1, 1, {0, 1, 0, 0, 1}},
      {{2, 0, 0, 0, 1}, 1, 1, {0, 1, 1, 1, 0}}, {{1, 1, 0, 0, 1}, 2, 2, {0, 0, 2, 1, 0}},
      {{1, 0, 0, 0, 0}, 3, 1, {0, 0, 1, 1, 0}}, {{1, 1, 0, 0, 0}, 4, 2, {0, 0, 1, 1, 2}},
      {{1, 1, 1, 1, 2}, 4, 0, {1, 1, 1, 1, 0}},
  };
  for (const TCase& c : cases) {
    h->FBtn1State = c.Start[0];
    h->FBtn2State = c.Start[1];
    h->FBar1State = c.Start[2];
    h->FBar2State = c.Start[3];
    h->FSliderState = c.Start[4];
    h->SetElementState(c.Element, c.State);
    const int got[5] = {h->FBtn1State, h->FBtn2State, h->FBar1State, h->FBar2State, h->FSliderState};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(got[i], c.Expected[i]) << c.Element << "," << c.State << " at " << i;
  }
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
}

// Painted from the skin's scroll elements; a thumb drag keeps the grab offset and ends with
// the capture.
TEST_F(ScrollBarHandler, PaintedAndDragged) {
  TScrollBar* bar = NewBar(240, 17);
  bar->SetParams(10, 0, 100);
  bar->SetPageSize(10);
  TacSBWnd* h = SkinBar(bar);
  h->InitScrollData();
  bar->Repaint();
  {
    TCapture cap(bar->Handle(), true);
    EXPECT_EQ(cap.At(2, 8), Btn0);
    EXPECT_EQ(cap.At(237, 8), Btn0);
    const TRect s = h->SliderRect();
    EXPECT_EQ(cap.At((s.Left + s.Right) / 2, 8), Slider0);
    EXPECT_EQ(cap.At(s.Right + 20, 8), Bar2);
    HoldForAShot();
  }
  const TRect s = h->SliderRect();
  const int grabX = s.Left + 5;
  const int grabOffset = grabX - s.Left;
  h->LMouseDown(grabX, 8);
  ASSERT_EQ(h->FSliderState, 2);
  ASSERT_EQ(h->ScrollCode, SB_THUMBTRACK);
  for (int dx : {30, 60, 20}) {
    POINT pt{grabX + dx, 8};
    ClientToScreen(bar->Handle(), &pt);
    SendMessageW(bar->Handle(), WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    h->FCurrPos = bar->Position();
    const TRect now = h->SliderRect();
    EXPECT_NEAR(grabX + dx - now.Left, grabOffset, 2) << dx;
  }
  SendMessageW(bar->Handle(), WM_CAPTURECHANGED, 0, 0);
  EXPECT_NE(h->FSliderState, 2);
  EXPECT_EQ(h->ScrollCode, SB_ENDSCROLL);
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
}

namespace {

// A graphic child that counts the end-of-update notices it is given.
class TEndUpdateProbe : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;
  int Notices = 0;
  void WndProc(TMessage& Message) override {
    if (Message.Msg == SM_SKINCOMMAND && SkinCommandOf(Message.WParam) == SKCMD_END_UPDATE) ++Notices;
    TGraphicControl::WndProc(Message);
  }
};

}  // namespace

// The end of an update repaints the bar and passes the notice on to its child controls; a
// bar that was not updating passes nothing.
TEST_F(ScrollBarHandler, EndOfUpdateReachesTheChildren) {
  TScrollBar* bar = NewBar(200, 17);
  auto* probe = new TEndUpdateProbe(Form);
  probe->SetBounds(20, 2, 10, 10);
  probe->SetParent(bar);
  TacSBWnd* h = SkinBar(bar);
  ASSERT_TRUE(h);
  for (bool updating : {true, false}) {
    probe->Notices = 0;
    h->SkinData->FUpdating = updating;
    SendMessageW(bar->Handle(), SM_SKINCOMMAND, SkinCommandWParam(SKCMD_END_UPDATE), 0);
    EXPECT_EQ(probe->Notices, updating ? 1 : 0) << updating;
    EXPECT_FALSE(h->SkinData->FUpdating);
  }
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
}

// The size-grip form: one colour, and its scroll information left to the control.
TEST_F(ScrollBarHandler, SquareBarOneColour) {
  TScrollBar* bar = NewBar(17, 17);
  TacSBWnd* h = SkinBar(bar);
  const SCROLLINFO before = h->FSI;
  SCROLLINFO si{sizeof(si), SIF_ALL, 0, 50, 5, 7, 0};
  SendMessageW(bar->Handle(), SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&si));
  EXPECT_EQ(h->FSI.nMax, before.nMax);
  EXPECT_EQ(h->FSI.nPos, before.nPos);
  bar->Repaint();
  TCapture cap(bar->Handle(), true);
  EXPECT_EQ(cap.Count(Bar1), cap.W * cap.H);
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
}

// A scroll-information message clamps what it brings and keeps the tracked position.
TEST_F(ScrollBarHandler, ScrollInfoClamped) {
  TScrollBar* bar = NewBar(200, 17);
  TacSBWnd* h = SkinBar(bar);
  SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS, 20, 10, 50, 30, 0};
  SendMessageW(bar->Handle(), SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&si));
  EXPECT_EQ(h->FSI.nMin, 0);
  EXPECT_EQ(h->FSI.nMax, 0);
  EXPECT_LE(h->FSI.nPage, 1u);
  EXPECT_EQ(h->FSI.nPos, 0);
  FreeHandler(reinterpret_cast<TacMainWnd*&>(h));
}

// Up-downs keep their own visual style; a track bar loses it.
TEST_F(TrackHandlers, UpDownKeepsItsStyle) {
  TRecorderWindow parent(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200);
  std::vector<HWND> themed;
  SetHandlerThemeCall([&](HWND Wnd, LPCWSTR, LPCWSTR) {
    themed.push_back(Wnd);
    return S_OK;
  });
  HWND spin = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS, 10, 10, 17, 25,
                              parent.Wnd, nullptr, GetModuleHandleW(nullptr), nullptr);
  TacMainWnd* s = CreateHandler(L"TacSpinWnd", spin, false, Params(L"SPEEDBUTTON_SMALL"), M, nullptr);
  ASSERT_TRUE(s);
  EXPECT_TRUE(themed.empty());
  HWND t = NewTrack(parent.Wnd, TBS_BOTTOM, 40, 10, 200, 45);
  TacMainWnd* th = CreateHandler(L"TacTrackWnd", t, false, Params(L"TRACKBAR"), M, nullptr);
  EXPECT_EQ(themed, std::vector<HWND>{t});
  FreeHandler(s);
  FreeHandler(th);
  SetHandlerThemeCall(nullptr);
  DestroyWindow(spin);
  DestroyWindow(t);
}

// 200 repaints of each control and 50 skin cycles leave the GDI census as it was.
TEST_F(ScrollBarHandler, CensusSteady) {
  ASSERT_TRUE(InstallGdiCensus());
  TScrollBar* bar = NewBar(200, 17);
  bar->SetParams(10, 0, 100);
  HWND t = NewTrack(Form->Handle(), TBS_BOTH, 10, 40, 200, 45);
  auto cycle = [&](int Repaints) {
    TacMainWnd* hb = SkinBar(bar);
    TacMainWnd* ht = CreateHandler(L"TacTrackWnd", t, false, Params(L"TRACKBAR"), M, nullptr);
    for (int i = 0; i < Repaints; ++i) {
      RedrawWindow(t, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      bar->Repaint();
    }
    FreeHandler(hb);
    FreeHandler(ht);
  };
  cycle(1);
  const TGdiCensus start = GdiCensus();
  cycle(200);
  for (int i = 0; i < 50; ++i) cycle(1);
  EXPECT_EQ(GdiCensus(), start);
  DestroyWindow(t);
}
