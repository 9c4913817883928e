// Skinned non-client scroll bars: the geometry tables, then real windows under Xvfb whose
// bars are painted from an in-memory skin and driven by real mouse input.
// TARVEL_SHOW_SECONDS=N keeps the first window up N seconds for a look.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/ui/Forms.h"
#include "skin/SkinBuilder.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acSBUtils.Scroll.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"
#include "support/GdiCensus.h"
#include "support/MessagePump.h"

namespace {

SCROLLINFO Info(int Min, int Max, UINT Page, int Pos) {
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  si.nMin = Min;
  si.nMax = Max;
  si.nPage = Page;
  si.nPos = Pos;
  return si;
}

}  // namespace

TEST(ScrollGeometry, ThumbLengthAndOffset) {
  struct Case {
    const char* Name;
    SCROLLINFO Si;
    int BarLength, Button, MinThumb;
    int Start, Length;
  };
  const Case cases[] = {
      // nPage 0 without buttons: the larger of b and the smallest thumb, raised to 19.
      {"page 0, no buttons", Info(0, 99, 0, 0), 200, 0, 16, 0, 19},
      {"page 0, buttons", Info(0, 99, 0, 0), 200, 17, 16, 17, 17},
      // nMax below nMin: the range is not positive; offset 0, the smallest length.
      {"range below zero", Info(10, 5, 3, 7), 200, 17, 16, 17, 16},
      {"range overflows", Info(-2147483647 - 1, 2147483647, 3, 7), 200, 17, 16, 17, 16},
      // A page covering the range: the thumb fills the track (the offset divisor is 0).
      {"page covers range", Info(0, 9, 10, 0), 200, 17, 16, 17, 166},
      {"middle", Info(0, 99, 10, 45), 217, 17, 16, 17 + 83, 18},
      {"end", Info(0, 99, 10, 90), 217, 17, 16, 17 + 183 - 18, 18},
      // The divisor range - max(1, nPage) + 1 is 0 with nPage 1 and a range of 0.
      {"divisor zero", Info(0, 0, 1, 0), 100, 10, 16, 10, 80},
  };
  for (const Case& c : cases) {
    const TacThumb t = ThumbGeometry(c.Si, 0, c.BarLength, c.Button, c.MinThumb);
    EXPECT_EQ(t.Start, c.Start) << c.Name;
    EXPECT_EQ(t.Length, c.Length) << c.Name;
  }
}

TEST(ScrollGeometry, HitTestAlongTheBar) {
  const SCROLLINFO si = Info(0, 99, 10, 45);  // thumb 100..117 on a 217 bar with 17 buttons
  struct Case {
    int Pos;
    bool Shift;
    int Part;
  };
  const Case cases[] = {{0, false, sbpLineBefore},  {16, false, sbpLineBefore}, {17, false, sbpPageBefore},
                        {17, true, sbpJump},        {99, false, sbpPageBefore},  {100, false, sbpThumb},
                        {100, true, sbpThumb},      {117, false, sbpThumb},      {118, false, sbpPageAfter},
                        {150, true, sbpJump},       {200, false, sbpLineAfter},  {216, false, sbpLineAfter},
                        {217, false, sbpNone},      {-1, false, sbpNone}};
  for (const Case& c : cases)
    EXPECT_EQ(HitTestBarAlong(si, 0, 217, 17, 16, c.Pos, c.Shift), c.Part) << c.Pos << " shift " << c.Shift;
  // A bar too short for two buttons: half-length buttons and no track.
  EXPECT_EQ(HitTestBarAlong(si, 0, 20, 17, 16, 9, false), sbpLineBefore);
  EXPECT_EQ(HitTestBarAlong(si, 0, 20, 17, 16, 10, false), sbpLineAfter);
}

TEST(ScrollGeometry, DragEndsAndCoarseReleaseValues) {
  const SCROLLINFO si = Info(0, 99, 10, 0);
  // Thumb at the far end of a 183-pixel track with an 18-pixel thumb.
  EXPECT_EQ(ThumbDragValue(si, false, 165, 183, 18), 99 - 10 + 1);
  EXPECT_EQ(ThumbDragValue(si, true, 165, 183, 18), 99 - 10 + 2);
  EXPECT_EQ(ThumbDragValue(si, false, 0, 183, 18), 0);
  // A range below 1 sends the offset; a track the thumb fills does not fault.
  EXPECT_EQ(ThumbDragValue(Info(0, 0, 0, 0), false, 7, 100, 19), 7);
  EXPECT_EQ(ThumbDragValue(si, false, 0, 18, 18), MulDiv(0, 90, 0));
  struct Case {
    int Y, C, T, H, Value;
  };
  const Case cases[] = {{17, 17, 20, 200, 0}, {18, 17, 20, 200, 1},  {70, 17, 20, 200, 1},
                        {95, 17, 20, 200, 3}, {163, 17, 20, 200, 4}, {162, 17, 20, 200, 3}};
  for (const Case& c : cases) EXPECT_EQ(CoarseReleaseValue(c.Y, c.C, c.T, c.H), c.Value) << c.Y;
  // The painter's thumb test length: the divisor nMax - nMin may be 0.
  EXPECT_EQ(ThumbTestLength(Info(0, 0, 1, 0), 100, 16), 16);
  EXPECT_EQ(ThumbTestLength(Info(0, 99, 100, 0), 100, 16), 101);
}

// ---------------------------------------------------------------------------
// Real windows
// ---------------------------------------------------------------------------

namespace {

struct TScrollRecord {
  UINT Msg;
  int Code;
  int Pos;
};
std::vector<TScrollRecord> gScrolls;

LRESULT CALLBACK RecordingProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_HSCROLL || Msg == WM_VSCROLL) {
    gScrolls.push_back({Msg, LOWORD(WParam), HIWORD(WParam)});
    return 0;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

const wchar_t* RecordingClass() {
  static const wchar_t* name = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarvelScrollRecorder";
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    return L"TarvelScrollRecorder";
  }();
  return name;
}

// Colours of the in-memory skin (TColor, 0x00BBGGRR): every element and state its own.
constexpr TColor TrackBefore = 0x102030, TrackAfter = 0x203040, TrackPressed = 0x304050;
constexpr TColor ButtonNormal = 0x4060A0, ButtonHot = 0x5070B0, ButtonPressed = 0x6080C0;
constexpr TColor Thumb = 0x20A040, ThumbHot = 0x30B050, ThumbDragged = 0x40C060;
constexpr TColor ArrowColour = 0x0000FF;
constexpr TColor WindowColour = 0xE0E0E0;

struct TScrollSkin {
  TSkinBuilder B;
  int Window = -1;  // the handled window's own section
  TScrollSkin() {
    const int before = B.AddSection(3, {TrackBefore, TrackBefore, TrackPressed});
    const int after = B.AddSection(3, {TrackAfter, TrackAfter, TrackPressed});
    const int button = B.AddSection(3, {ButtonNormal, ButtonHot, ButtonPressed});
    const int thumb = B.AddSection(3, {Thumb, ThumbHot, ThumbDragged});
    for (int s = 0; s < 3; ++s) B.Section(button).Props[s].FontColor.Color = ArrowColour;
    Window = B.AddSection(1, {WindowColour});
    auto& d = *B.Data;
    d.Scrolls[asLeft].SkinIndex = d.Scrolls[asTop].SkinIndex = before;
    d.Scrolls[asRight].SkinIndex = d.Scrolls[asBottom].SkinIndex = after;
    for (auto& el : d.ScrollBtns) el.SkinIndex = button;
    d.Sliders[0].SkinIndex = d.Sliders[1].SkinIndex = thumb;
    d.ScrollBtnLength = 16;
  }
};

// The engine started (unit state, the scrolling kind registered) while a test runs.
struct TEngine {
  TEngine() {
    Application().Initialize();
    SkinEngineStartup();
  }
  ~TEngine() { SkinEngineCleanup(); }
};

struct TScrolledWindow {
  TEngine Engine;
  HWND Wnd = nullptr;
  std::unique_ptr<TsScrollWndData> Data;
  TacScrollWnd* Handler = nullptr;
  LONG_PTR OwnProc = 0;

  TScrolledWindow(TScrollSkin& Skin, DWORD Style, DWORD ExStyle = 0) {
    TsSkinManager* Manager = Skin.B.Manager;
    Wnd = CreateWindowExW(ExStyle, RecordingClass(), L"scrolled", WS_POPUP | WS_BORDER | Style, 100, 100, 300, 220,
                          nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    // Scroll information given to a bar the style hides would show it.
    SCROLLINFO si = Info(0, 99, 10, 0);
    if (Style & WS_HSCROLL) SetScrollInfo(Wnd, SB_HORZ, &si, FALSE);
    if (Style & WS_VSCROLL) SetScrollInfo(Wnd, SB_VERT, &si, FALSE);
    OwnProc = GetWindowLongPtrW(Wnd, GWLP_WNDPROC);
    ShowWindow(Wnd, SW_SHOWNOACTIVATE);
    UpdateWindow(Wnd);
    Data = std::make_unique<TsScrollWndData>(nullptr, true);
    Data->WriteSkinManager(Manager);
    Data->WriteSkinSection(Skin.B.Data->gd[static_cast<std::size_t>(Skin.Window)].ClassName);
    Attach(Manager);
    PumpMessagesFor(100);
    gScrolls.clear();
  }
  void Attach(TsSkinManager* Manager) {
    TacSkinParams params;
    Handler = NewHandler<TacScrollWnd>(L"TacScrollWnd", Wnd, true, params, Manager, Data.get());
  }
  void Detach() {
    if (!Handler) return;
    TacScrollWnd* h = Handler;
    Handler = nullptr;
    FreeHandlerOf(h);
  }
  ~TScrolledWindow() {
    Detach();
    DestroyWindow(Wnd);
    acScrollTrack = TacScrollTracking{};
  }
  void Repaint() {
    RedrawWindow(Wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessagesFor(50);
  }
};

TColor ScreenPixel(int X, int Y) {
  HDC dc = GetDC(nullptr);
  const COLORREF c = GetPixel(dc, X, Y);
  ReleaseDC(nullptr, dc);
  return static_cast<TColor>(c);
}

void MouseTo(int X, int Y) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = MulDiv(X, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  in.mi.dy = MulDiv(Y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof(in));
  PumpMessagesFor(40);
}

void MouseButton(bool Down) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = Down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  SendInput(1, &in, sizeof(in));
  PumpMessagesFor(60);
}

void Shift(bool Down) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = VK_SHIFT;
  in.ki.dwFlags = Down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &in, sizeof(in));
  PumpMessagesFor(30);
}

int CountCodes(UINT Msg, int Code) {
  int n = 0;
  for (const auto& r : gScrolls) n += r.Msg == Msg && r.Code == Code;
  return n;
}

}  // namespace

TEST(ScrollBarsOnScreen, TracksButtonsThumbAndSizeBoxFromTheSkin) {
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_HSCROLL | WS_VSCROLL);
  w.Repaint();
  const TRect v = VertScrollBarRect(w.Handler, w.Wnd), h = HorzScrollBarRect(w.Handler, w.Wnd);
  ASSERT_FALSE(v.IsEmpty());
  ASSERT_FALSE(h.IsEmpty());
  const int b = ScrollBarSize(w.Handler, SB_VERT, false);
  ASSERT_GT(b, 4);
  const TacThumb thumb = GetThumbPos(w.Handler->sBarVert, v);
  struct Probe {
    const char* Name;
    int X, Y;
    TColor Colour;
  };
  const Probe probes[] = {
      {"up button corner", v.Left + 1, v.Top + 1, ButtonNormal},
      {"down button corner", v.Left + 1, v.Bottom - 2, ButtonNormal},
      {"thumb", v.Left + 1, thumb.Start + thumb.Length / 2, Thumb},
      {"track after the thumb", v.Left + 1, (thumb.Start + thumb.Length + v.Bottom - b) / 2, TrackAfter},
      {"left button corner", h.Left + 1, h.Top + 1, ButtonNormal},
      {"horizontal track", (h.Left + h.Right) / 2, h.Top + 1, TrackAfter},
      {"size box", v.Left + 2, h.Top + 2, TrackBefore},
  };
  for (const Probe& p : probes) EXPECT_EQ(ScreenPixel(p.X, p.Y), p.Colour) << p.Name;
  // The arrow is drawn in the button's font colour in the button's middle.
  int arrow = 0;
  for (int y = v.Top; y < v.Top + b; ++y)
    for (int x = v.Left; x < v.Right; ++x) {
      const TColor c = ScreenPixel(x, y);
      arrow += (c & 0xFF) > 0xC0 && (c >> 16) < 0x80;
    }
  EXPECT_GT(arrow, 3);
  // Hit codes of the bars.
  EXPECT_EQ(SendMessageW(w.Wnd, WM_NCHITTEST, 0, MAKELPARAM(v.Left + 2, v.Top + 30)), HTVSCROLL);
  EXPECT_EQ(SendMessageW(w.Wnd, WM_NCHITTEST, 0, MAKELPARAM(h.Left + 30, h.Top + 2)), HTHSCROLL);
  if (const char* show = std::getenv("TARVEL_SHOW_SECONDS")) PumpMessagesFor(static_cast<DWORD>(std::atoi(show)) * 1000);
}

TEST(ScrollBarsOnScreen, StyleDecidesBarsAndTheirSide) {
  TScrollSkin skin;
  {
    TScrolledWindow plain(skin, 0);
    EXPECT_FALSE(plain.Handler->sBarHorz->fScrollVisible);
    EXPECT_FALSE(plain.Handler->sBarVert->fScrollVisible);
    EXPECT_TRUE(VertScrollBarRect(plain.Handler, plain.Wnd).IsEmpty());
    RECT c{};
    GetClientRect(plain.Wnd, &c);
    EXPECT_EQ(c.right, 298);  // only the border is taken
    EXPECT_EQ(c.bottom, 218);
  }
  TScrolledWindow left(skin, WS_VSCROLL, WS_EX_LEFTSCROLLBAR);
  left.Repaint();
  const TRect v = VertScrollBarRect(left.Handler, left.Wnd);
  EXPECT_EQ(v.Left, 101);
  EXPECT_EQ(ScreenPixel(v.Left + 1, v.Top + 1), ButtonNormal);
  RECT c{};
  GetClientRect(left.Wnd, &c);
  POINT origin{0, 0};
  ClientToScreen(left.Wnd, &origin);
  EXPECT_EQ(origin.x, v.Right);
}

TEST(ScrollBarsOnScreen, DisabledBarIsMixedAndAnswersNowhere) {
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_VSCROLL);
  EnableScrollBar(w.Wnd, SB_VERT, ESB_DISABLE_BOTH);
  w.Repaint();
  const TRect v = VertScrollBarRect(w.Handler, w.Wnd);
  EXPECT_FALSE(IsScrollBarEnabled(w.Handler->sBarVert));
  // The button is mixed towards the window's colour.
  const TColor c = ScreenPixel(v.Left + 1, v.Top + 1);
  for (int shift = 0; shift < 24; shift += 8) {
    const int mixed = (c >> shift) & 0xFF, button = (ButtonNormal >> shift) & 0xFF, back = (WindowColour >> shift) & 0xFF;
    EXPECT_GT(std::abs(mixed - button), 8) << shift;
    EXPECT_LT(std::abs(mixed - back), std::abs(button - back)) << shift;
  }
  EXPECT_EQ(SendMessageW(w.Wnd, WM_NCHITTEST, 0, MAKELPARAM(v.Left + 2, v.Top + 30)), HTNOWHERE);
}

TEST(ScrollBarsOnScreen, HoveredPartsLookHotUntilTheMouseLeaves) {
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_VSCROLL);
  const TRect v = VertScrollBarRect(w.Handler, w.Wnd);
  const TacThumb thumb = GetThumbPos(w.Handler->sBarVert, v);
  struct Case {
    const char* Name;
    int Y;
    int ProbeY;
    TColor Hot;
  };
  const Case cases[] = {{"down button", v.Bottom - 3, v.Bottom - 2, ButtonHot},
                        {"thumb", thumb.Start + thumb.Length / 2, thumb.Start + thumb.Length / 2, ThumbHot}};
  for (const Case& c : cases) {
    MouseTo(v.Left + 3, c.Y);
    PumpMessagesFor(120);  // the 20 ms hover check
    EXPECT_EQ(ScreenPixel(v.Left + 1, c.ProbeY), c.Hot) << c.Name;
  }
  MouseTo(v.Left - 60, v.Top + 40);
  PumpMessagesFor(120);
  EXPECT_EQ(acScrollTrack.HoverBar, -1);
  EXPECT_EQ(ScreenPixel(v.Left + 1, v.Bottom - 2), ButtonNormal);
}

TEST(ScrollBarsOnScreen, ArrowPressScrollsOnceThenRepeatsFromTheTimers) {
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_VSCROLL);
  const TRect v = VertScrollBarRect(w.Handler, w.Wnd);
  MouseTo(v.Left + 3, v.Bottom - 3);
  MouseButton(true);
  EXPECT_EQ(CountCodes(WM_VSCROLL, SB_LINEDOWN), 1);
  EXPECT_EQ(ScreenPixel(v.Left + 1, v.Bottom - 2), ButtonPressed);
  // The first delay replaces itself by the repeat; each repeat scrolls once.
  SendMessageW(w.Wnd, WM_TIMER, acRepeatDelayTimerId, 0);
  EXPECT_EQ(CountCodes(WM_VSCROLL, SB_LINEDOWN), 1);
  SendMessageW(w.Wnd, WM_TIMER, acRepeatTimerId, 0);
  EXPECT_EQ(CountCodes(WM_VSCROLL, SB_LINEDOWN), 2);
  MouseButton(false);
  EXPECT_EQ(CountCodes(WM_VSCROLL, SB_ENDSCROLL), 1);
  EXPECT_EQ(acScrollTrack.PressedPart, sbpNone);
  EXPECT_NE(ScreenPixel(v.Left + 1, v.Bottom - 2), ButtonPressed);
}

TEST(ScrollBarsOnScreen, HeldArrowWaitsBeforeRepeating) {
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_VSCROLL);
  const TRect v = VertScrollBarRect(w.Handler, w.Wnd);
  MouseTo(v.Left + 3, v.Top + 3);
  SCROLLINFO si = Info(0, 99, 10, 50);
  SetScrollInfo(w.Wnd, SB_VERT, &si, FALSE);
  gScrolls.clear();
  const DWORD start = GetTickCount();
  MouseButton(true);
  // Nothing repeats before the first delay has passed.
  if (GetTickCount() - start < 250) {
    EXPECT_EQ(CountCodes(WM_VSCROLL, SB_LINEUP), 1);
  }
  PumpMessagesFor(700);
  EXPECT_GE(CountCodes(WM_VSCROLL, SB_LINEUP), 2);
  MouseButton(false);
}

TEST(ScrollBarsOnScreen, ShiftClickSendsOneThumbTrackOnly) {
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_VSCROLL);
  const TRect v = VertScrollBarRect(w.Handler, w.Wnd);
  const int y = v.Top + v.Height() * 3 / 4;
  MouseTo(v.Left + 3, y);
  SetForegroundWindow(w.Wnd);
  PumpMessagesFor(50);
  Shift(true);
  MouseButton(true);
  MouseButton(false);
  Shift(false);
  ASSERT_EQ(gScrolls.size(), 1u);
  EXPECT_EQ(gScrolls[0].Code, SB_THUMBTRACK);
  EXPECT_GT(gScrolls[0].Pos, 50);
  EXPECT_EQ(CountCodes(WM_VSCROLL, SB_THUMBPOSITION), 0);
  EXPECT_EQ(CountCodes(WM_VSCROLL, SB_ENDSCROLL), 0);
}

TEST(ScrollBarsOnScreen, ThumbDragsToBothEnds) {
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_HSCROLL | WS_VSCROLL);
  struct Case {
    bool Vertical;
    UINT Msg;
    int End;
  };
  const Case cases[] = {{false, WM_HSCROLL, 0 + 99 - 10 + 1}, {true, WM_VSCROLL, 0 + 99 - 10 + 2}};
  for (const Case& c : cases) {
    gScrolls.clear();
    TacScrollBar* bar = c.Vertical ? w.Handler->sBarVert : w.Handler->sBarHorz;
    const TRect r = c.Vertical ? VertScrollBarRect(w.Handler, w.Wnd) : HorzScrollBarRect(w.Handler, w.Wnd);
    bar->ReadInfo(w.Wnd);
    const TacThumb t = GetThumbPos(bar, r);
    const int cx = c.Vertical ? r.Left + 3 : t.Start + t.Length / 2, cy = c.Vertical ? t.Start + t.Length / 2 : r.Top + 3;
    MouseTo(cx, cy);
    MouseButton(true);
    EXPECT_TRUE(w.Handler->fThumbTracking);
    MouseTo(c.Vertical ? cx : r.Right + 40, c.Vertical ? r.Bottom + 40 : cy);
    MouseButton(false);
    ASSERT_GE(gScrolls.size(), 3u) << c.Vertical;
    const auto& track = gScrolls[gScrolls.size() - 3];
    EXPECT_EQ(track.Msg, c.Msg);
    EXPECT_EQ(track.Code, SB_THUMBTRACK);
    EXPECT_EQ(track.Pos, c.End);
    EXPECT_EQ(gScrolls[gScrolls.size() - 2].Code, SB_THUMBPOSITION);
    EXPECT_EQ(gScrolls.back().Code, SB_ENDSCROLL);
    EXPECT_FALSE(w.Handler->fThumbTracking);
    // Back to the start for the next bar.
    SCROLLINFO si = Info(0, 99, 10, 0);
    SetScrollInfo(w.Wnd, c.Vertical ? SB_VERT : SB_HORZ, &si, FALSE);
  }
}

TEST(ScrollBarsOnScreen, CaptureTakenAwayEndsThePress) {
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_VSCROLL);
  HWND other = CreateWindowExW(0, RecordingClass(), L"other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  const TRect v = VertScrollBarRect(w.Handler, w.Wnd);
  MouseTo(v.Left + 3, v.Bottom - 3);
  MouseButton(true);
  ASSERT_EQ(CountCodes(WM_VSCROLL, SB_LINEDOWN), 1);
  SetCapture(other);  // as a message box or Alt+Tab would
  PumpMessagesFor(50);
  EXPECT_EQ(acScrollTrack.PressedPart, sbpNone);
  EXPECT_EQ(CountCodes(WM_VSCROLL, SB_ENDSCROLL), 1);
  SendMessageW(w.Wnd, WM_TIMER, acRepeatTimerId, 0);
  PumpMessagesFor(400);
  EXPECT_EQ(CountCodes(WM_VSCROLL, SB_LINEDOWN), 1);
  EXPECT_NE(ScreenPixel(v.Left + 1, v.Bottom - 2), ButtonPressed);
  ReleaseCapture();
  MouseButton(false);
  DestroyWindow(other);
}

TEST(ScrollBarsOnScreen, PositionAboveWordIsSentAsFFFF) {
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_VSCROLL);
  SCROLLINFO si = Info(0, 100000, 10, 0);
  SetScrollInfo(w.Wnd, SB_VERT, &si, FALSE);
  DoScrollCode(w.Wnd, WM_VSCROLL, SB_THUMBTRACK, 70000);
  ASSERT_EQ(gScrolls.size(), 1u);
  EXPECT_EQ(gScrolls[0].Pos, 0xFFFF);
  // The thumb track position itself went to the scroll information in full.
  si.fMask = SIF_POS;
  GetScrollInfo(w.Wnd, SB_VERT, &si);
  EXPECT_EQ(si.nPos, 70000);
}

TEST(ScrollBarsOnScreen, ScrollBarSizePrecedence) {
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_VSCROLL);
  TsSkinManager* m = skin.B.Manager;
  const int system = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(ScrollBarSize(w.Handler, SB_VERT, true), system);
  EXPECT_EQ(ScrollBarSize(w.Handler, SB_VERT, false), system);
  EXPECT_EQ(ScrollBarSize(nullptr, SB_VERT, true), 0);
  EXPECT_EQ(ScrollBarSize(w.Handler, 5, true), 0);
  w.Handler->sBarVert->nArrowLength = 9;
  EXPECT_EQ(ScrollBarSize(w.Handler, SB_VERT, false), 9);
  m->ScrollsOptions.SetButtonsSize(13);
  EXPECT_EQ(ScrollBarSize(w.Handler, SB_VERT, false), 13);
  w.Data->VertScrollData()->FButtonsSize = 11;
  EXPECT_EQ(ScrollBarSize(w.Handler, SB_VERT, false), 11);
  m->ScrollsOptions.SetScrollSize(14);
  EXPECT_EQ(ScrollBarSize(w.Handler, SB_VERT, true), MulDiv(14, m->Options.PixelsPerInch, 96));
  w.Data->VertScrollData()->FScrollWidth = 12;
  EXPECT_EQ(ScrollBarSize(w.Handler, SB_VERT, true), ScaleForControl(12, w.Data.get()));
  // The horizontal bar reads its own data.
  EXPECT_EQ(ScrollBarSize(w.Handler, SB_HORZ, false), 13);
}

TEST(ScrollBarsOnScreen, ButtonFittedToTheSkinMask) {
  TScrollSkin skin;
  auto& d = *skin.B.Data;
  const int button = d.ScrollBtns[asLeft].SkinIndex;
  TRect out;
  FitScrollButtonRect(TRect{0, 0, 17, 17}, &d, asLeft, out);
  EXPECT_EQ(out, (TRect{0, 0, 17, 17}));  // no mask: unchanged
  TSkinBuilder::TImage im;
  im.R = TRect{0, 0, 60, 21};
  im.Width = 20;
  im.Height = 21;
  im.ImageCount = 3;
  const int mask = skin.B.AddImage(im);
  for (auto& el : d.ScrollBtns) el.MaskIndex = mask;
  FitScrollButtonRect(TRect{0, 0, 17, 17}, &d, asLeft, out);
  EXPECT_EQ(out, (TRect{0, 0, 17, 17}));  // the section does not ask for it
  d.gd[button].ReservedBoolean = true;
  struct Case {
    int Side;
    TRect Out;
  };
  const Case cases[] = {{asLeft, {10, 10, 30, 27}}, {asTop, {10, 10, 27, 31}}, {asRight, {7, 10, 27, 27}},
                        {asBottom, {10, 6, 27, 27}}};
  for (const Case& c : cases) {
    FitScrollButtonRect(TRect{10, 10, 27, 27}, &d, c.Side, out);
    EXPECT_EQ(out, c.Out) << c.Side;
  }
  // A damaged skin naming a mask beyond the array is not read.
  for (auto& el : d.ScrollBtns) el.MaskIndex = 500;
  FitScrollButtonRect(TRect{10, 10, 27, 27}, &d, asLeft, out);
  EXPECT_EQ(out, (TRect{10, 10, 27, 27}));
}

TEST(ScrollBarsOnScreen, DamagedSkinIndexesDrawNothing) {
  TScrollSkin skin;
  auto& d = *skin.B.Data;
  for (auto& el : d.ScrollBtns) el.GlyphIndex = 900;
  d.Sliders[1].MaskIndex = 901;
  d.GripRightBottom = 902;
  TScrolledWindow w(skin, WS_HSCROLL | WS_VSCROLL);
  w.Repaint();  // must not read beyond the arrays
  const TRect v = VertScrollBarRect(w.Handler, w.Wnd);
  const TacThumb thumb = GetThumbPos(w.Handler->sBarVert, v);
  EXPECT_EQ(ScreenPixel(v.Left + 1, thumb.Start + thumb.Length / 2), Thumb);
}

TEST(ScrollBarsOnScreen, StandardBarsReturnAfterTheHandlerGoes) {
  TScrollSkin skin;
  HWND probe = CreateWindowExW(0, RecordingClass(), L"native", WS_POPUP | WS_BORDER | WS_VSCROLL | WS_HSCROLL, 0, 0,
                               300, 220, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  RECT native{};
  GetClientRect(probe, &native);
  DestroyWindow(probe);
  TScrolledWindow w(skin, WS_HSCROLL | WS_VSCROLL);
  EXPECT_EQ(HandlerOfWindow(w.Wnd), w.Handler);
  w.Detach();
  RECT after{};
  GetClientRect(w.Wnd, &after);
  EXPECT_EQ(after.right, native.right);
  EXPECT_EQ(after.bottom, native.bottom);
  EXPECT_EQ(HandlerOfWindow(w.Wnd), nullptr);
  EXPECT_EQ(GetWindowLongPtrW(w.Wnd, GWLP_WNDPROC), w.OwnProc);
  // The window scrolls by the system's bars again: its own procedure answers the hit-test.
  EXPECT_EQ(SendMessageW(w.Wnd, WM_NCHITTEST, 0, MAKELPARAM(100 + 300 - 5, 150)), HTVSCROLL);
}

TEST(ScrollBarsOnScreen, RepaintsAndSkinCyclesLeaveNoGdiObjects) {
  ASSERT_TRUE(InstallGdiCensus());
  TScrollSkin skin;
  TScrolledWindow w(skin, WS_HSCROLL | WS_VSCROLL);
  w.Repaint();  // warm-up: whatever is made once
  const TGdiCensus before = GdiCensus();
  {
    // The census sees what the executable makes.
    auto bmp = NewBitmap32(4, 4);
    EXPECT_EQ(GdiCensus().Bitmaps, before.Bitmaps + 1);
  }
  for (int i = 0; i < 200; ++i) PaintScrollBars(w.Handler, w.Wnd, -1, nullptr);
  for (int i = 0; i < 50; ++i) {
    w.Detach();
    w.Attach(skin.B.Manager);
    w.Repaint();
  }
  EXPECT_EQ(GdiCensus(), before);
}

TEST(ScrollBarsOnScreen, SizeBoxAtTheParentsCornerSizesTheParent) {
  TEngine engine;
  TScrollSkin skin;
  HWND parent = CreateWindowExW(0, RecordingClass(), L"parent", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  auto make = [&](int W, int H) {
    HWND child = CreateWindowExW(0, RecordingClass(), L"child", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 0, 0,
                                 W, H, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SCROLLINFO si = Info(0, 99, 10, 0);
    SetScrollInfo(child, SB_HORZ, &si, FALSE);
    SetScrollInfo(child, SB_VERT, &si, FALSE);
    return child;
  };
  TsScrollWndData data(nullptr, true);
  data.WriteSkinManager(skin.B.Manager);
  struct Case {
    int W, H;
    LRESULT Code;
  };
  // Filling the parent's client area: the box sizes the parent; elsewhere it is nowhere.
  const Case cases[] = {{300, 200, HTBOTTOMRIGHT}, {250, 150, HTNOWHERE}};
  for (const Case& c : cases) {
    HWND child = make(c.W, c.H);
    TacSkinParams params;
    auto* h = dynamic_cast<TacScrollWnd*>(CreateHandler(L"TacScrollWnd", child, true, params, skin.B.Manager, &data));
    ASSERT_NE(h, nullptr);
    PumpMessagesFor(50);
    const TRect v = VertScrollBarRect(h, child), hr = HorzScrollBarRect(h, child);
    const LRESULT code = SendMessageW(child, WM_NCHITTEST, 0, MAKELPARAM(v.Left + 2, hr.Top + 2));
    if (c.Code == HTBOTTOMRIGHT)
      EXPECT_EQ(code, HTBOTTOMRIGHT);
    else
      EXPECT_NE(code, HTBOTTOMRIGHT);
    FreeHandlerOf(h);
    DestroyWindow(child);
  }
  DestroyWindow(parent);
}
