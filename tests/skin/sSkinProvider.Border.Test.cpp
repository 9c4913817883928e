// The border window of a skinned form on real windows: where it stands and what it shows,
// its hit test in both extended-border modes, clicks through its pure shadow, edge double
// clicks and its region. Skins of tools/make_skin.py: "Tarvel Frame Shadow" (BORDERMODE 0,
// BORDERWIDTH 2, shadow made from WSHSIZE 10 and WSHOFFS 2) and "Tarvel Frame Ex" (BORDERMODE
// 1, an EXBORDER image, FORMOFFSET 8, ALIGNOFFSET 2, BORDERWIDTH 3).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "ReaderFixtures.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.Anim.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "support/LayeredRecorder.h"
#include "support/MessagePump.h"

namespace {

TRect WindowRectOf(HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  return TRect{r.left, r.top, r.right, r.bottom};
}

class TBorderTest : public testing::Test {
protected:
  void Open(const wchar_t* Skin, int Width = 360, int Height = 240) {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"formframe"));
    M->SetSkinName(Skin);
    M->SetExtendedBorders(true);
    M->SetActive(true);
    ASSERT_TRUE(M->IsActive());
    Form = CreateComponent<TForm>(nullptr);
    Form->SetBorderStyle(bsSizeable);
    Form->SetBounds(300, 220, Width, Height);
    P = NewComponent<TsSkinProvider>(Form);
    P->SkinManager = M;
    Form->Show();
    Form->SetBounds(300, 220, Width, Height);
    PumpMessagesFor(100);
    ASSERT_TRUE(P->FCommonData->Skinned());
    ASSERT_NE(P->BorderForm, nullptr);
    ASSERT_NE(P->BorderForm->AForm, nullptr);
    B = P->BorderForm;
  }
  void TearDown() override {
    if (Form) TComponent::Free(Form);
    if (M) TComponent::Free(M);
    PumpMessages();
  }
  HWND Border() const { return B->AForm->Handle(); }
  // A hit test at a point relative to the border window's top-left.
  int Hit(int X, int Y) {
    const TRect r = WindowRectOf(Border());
    TMessage m{WM_NCHITTEST, 0, MAKELPARAM(r.Left + X, r.Top + Y), 0};
    return B->Ex_WMNCHitTest(m);
  }
  LRESULT SentHit(int X, int Y) {
    const TRect r = WindowRectOf(Border());
    return SendMessageW(Border(), WM_NCHITTEST, 0, MAKELPARAM(r.Left + X, r.Top + Y));
  }
  TsSkinManager* M = nullptr;
  TForm* Form = nullptr;
  TsSkinProvider* P = nullptr;
  TacBorderForm* B = nullptr;
};

struct THitRow {
  const char* Name;
  int X, Y;  // relative to the border window; negative: from its right or bottom edge
  int Code;
};

}  // namespace

TEST_F(TBorderTest, TheWindowStandsBehindItsFormOwnedByItAndOnlyLayered) {
  Open(L"Tarvel Frame Shadow");
  HWND formWnd = Form->Handle();
  // Next to the form in the Z order: behind it, or just above it where the system keeps an
  // owned window above its owner (Wine does); the client part is cut out of its region.
  EXPECT_TRUE(GetWindow(formWnd, GW_HWNDNEXT) == Border() || GetWindow(formWnd, GW_HWNDPREV) == Border());
  EXPECT_EQ(GetWindow(Border(), GW_OWNER), formWnd);
  EXPECT_EQ(GetWindowLongPtrW(Border(), GWL_EXSTYLE), WS_EX_LAYERED);
  EXPECT_TRUE(IsWindowVisible(Border()));
  // As large as the cache, the form at (OffsetX, OffsetY) inside it.
  const TRect border = WindowRectOf(Border()), form = WindowRectOf(formWnd);
  TBitmap* cache = P->FCommonData->FCacheBmp.get();
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(border.Width(), cache->Width());
  EXPECT_EQ(border.Height(), cache->Height());
  EXPECT_EQ(form.Left - border.Left, B->OffsetX());
  EXPECT_EQ(form.Top - border.Top, B->OffsetY());
  const TRect shadow = B->ShadowSize();
  EXPECT_EQ(shadow, (TRect{10, 8, 10, 12}));  // WSHSIZE 10, WSHOFFS 2
  // Giving up the extended borders takes the window away.
  HWND wnd = Border();
  P->UpdateExtendedBorders(false);
  PumpMessages();
  EXPECT_EQ(P->BorderForm, nullptr);
  EXPECT_FALSE(IsWindow(wnd));
}

TEST_F(TBorderTest, TheImageHandedOnIsTheCacheAtTheFormsPlaceLessTheOffsets) {
  Open(L"Tarvel Frame Ex");
  TLayeredRecorder recorder;
  P->FCommonData->BGChanged = true;
  B->UpdateExBordersPos(true, 255);
  const std::vector<TLayeredPush> pushes = recorder.To(Border());
  ASSERT_EQ(pushes.size(), 1u);
  const TLayeredPush& push = pushes.front();
  TBitmap* cache = P->FCommonData->FCacheBmp.get();
  ASSERT_EQ(push.Size.cx, cache->Width());
  ASSERT_EQ(push.Size.cy, cache->Height());
  EXPECT_EQ(push.Alpha, 255);
  const TRect form = WindowRectOf(Form->Handle());
  ASSERT_TRUE(push.HasPos);
  EXPECT_EQ(push.Pos.x, form.Left - B->OffsetX());
  EXPECT_EQ(push.Pos.y, form.Top - B->OffsetY());
  // The cache inside the window's region; the client hole and the fully transparent pixels
  // in the colour key, which the X11 driver of Wine shapes the window by.
  ASSERT_EQ(push.Flags, static_cast<DWORD>(ULW_ALPHA | ULW_COLORKEY));
  const std::uint32_t key = 0xFF000000u | (GetRValue(push.Key) << 16) | (GetGValue(push.Key) << 8) | GetBValue(push.Key);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(Border(), rgn), ERROR);
  int differ = 0, keyed = 0, keyedInside = 0;
  for (int y = 0; y < cache->Height(); ++y) {
    const auto* row = static_cast<const std::uint32_t*>(cache->ScanLine(y));
    for (int x = 0; x < cache->Width(); ++x) {
      const bool shown = PtInRegion(rgn, x, y) && (row[x] >> 24) != 0;
      if (shown) differ += push.Pixel(x, y) != row[x];
      else keyed += push.Pixel(x, y) == key;
      if (shown && (push.Pixel(x, y) & 0xFFFFFFu) == (key & 0xFFFFFFu)) ++keyedInside;
    }
  }
  DeleteObject(rgn);
  EXPECT_EQ(differ, 0);
  EXPECT_EQ(keyedInside, 0);
  RECT client{};
  GetClientRect(Form->Handle(), &client);
  EXPECT_GE(keyed, client.right * client.bottom);
  EXPECT_EQ(push.Pixel(P->OffsetX() + client.right / 2, P->OffsetY() + client.bottom / 2), key);
  // A frame pixel of the key colour is changed by one step, so that it shows.
  auto* framePixel = static_cast<std::uint32_t*>(cache->ScanLine(cache->Height() / 2)) + 9;
  *framePixel = key;
  recorder.Pushes.clear();
  B->UpdateExBordersPos(true, 255);
  const std::vector<TLayeredPush> again = recorder.To(Border());
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again.front().Pixel(9, cache->Height() / 2), key - 1);
  // The outer rows are the EXBORDER image's translucent shadow, the frame inside is opaque.
  for (auto [x, y] : {std::pair{cache->Width() / 2, 0}, {cache->Width() / 2, cache->Height() - 1}, {0, cache->Height() / 2}}) {
    const std::uint32_t a = push.Pixel(x, y) >> 24;
    EXPECT_TRUE(a > 0 && a < 255) << x << "," << y << ": " << a;
  }
  EXPECT_EQ(push.Pixel(9, cache->Height() / 2) >> 24, 255u);
}

TEST_F(TBorderTest, TheExtendedBorderShadowIsHandedOnPremultipliedAfterEveryRender) {
  Open(L"Tarvel Frame Ex");
  TacSkinData* sd = P->FCommonData->ReadCommonSkinData();
  ASSERT_NE(sd, nullptr);
  ASSERT_GE(sd->ExBorder, 0);
  TBitmap* image = sd->ma[static_cast<std::size_t>(sd->ExBorder)].Bmp;
  ASSERT_NE(image, nullptr);
  // The image's translucent shadow tinted (it is black in the skin), kept straight as loaded.
  std::vector<std::uint32_t> saved;
  for (int y = 0; y < image->Height(); ++y) {
    auto* row = static_cast<std::uint32_t*>(image->ScanLine(y));
    for (int x = 0; x < image->Width(); ++x) {
      saved.push_back(row[x]);
      if ((row[x] >> 24) != 0 && (row[x] >> 24) != 255) row[x] = (row[x] & 0xFF000000u) | 0xC08040u;
    }
  }
  TLayeredRecorder recorder;
  for (int i = 0; i < 3; ++i) {
    P->FCommonData->BGChanged = true;
    P->PaintAll();
  }
  B->UpdateExBordersPos(true, 255);
  const std::vector<TLayeredPush> pushes = recorder.To(Border());
  std::size_t i = 0;
  for (int y = 0; y < image->Height(); ++y) {
    auto* row = static_cast<std::uint32_t*>(image->ScanLine(y));
    for (int x = 0; x < image->Width(); ++x) row[x] = saved[i++];
  }
  ASSERT_EQ(pushes.size(), 1u);
  const TLayeredPush& push = pushes.front();
  for (auto [x, y] : {std::pair{push.Size.cx / 2, 0}, {0, push.Size.cy / 2}, {push.Size.cx - 1, push.Size.cy / 2}}) {
    const std::uint32_t p = push.Pixel(x, y), a = p >> 24;
    SCOPED_TRACE(testing::Message() << x << "," << y << ": " << std::hex << p);
    ASSERT_GT(a, 0u);
    ASSERT_LT(a, 255u);
    const std::uint32_t straight[3] = {0xC0, 0x80, 0x40};  // red, green, blue
    for (int c = 0; c < 3; ++c) {
      const int got = static_cast<int>((p >> (16 - 8 * c)) & 0xFF), want = static_cast<int>(straight[c] * a >> 8);
      EXPECT_LE(std::abs(got - want), 1) << "channel " << c;
    }
  }
}

TEST_F(TBorderTest, TheFormsClientShowsOnScreenThroughTheBorderWindow) {
  // The border window lies over or under its form; either way the client's own picture, a
  // child filling it in a colour of its own, is what the screen shows there, and the frame
  // beside it comes from the border window.
  Open(L"Tarvel Frame Ex");
  static const COLORREF kClient = RGB(0x12, 0x9A, 0x56);
  static HBRUSH brush = CreateSolidBrush(kClient);
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = brush;
  wc.lpszClassName = L"BorderTestClientFill";
  RegisterClassW(&wc);
  RECT client{};
  GetClientRect(Form->Handle(), &client);
  HWND fill = CreateWindowExW(0, L"BorderTestClientFill", L"", WS_CHILD | WS_VISIBLE, 0, 0, client.right, client.bottom,
                              Form->Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(fill, nullptr);
  P->FCommonData->BGChanged = true;
  B->UpdateExBordersPos(true, 255);
  RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessagesFor(300);
  POINT centre{client.right / 2, client.bottom / 2};
  ClientToScreen(Form->Handle(), &centre);
  HDC screen = GetDC(nullptr);
  const COLORREF shown = GetPixel(screen, centre.x, centre.y);
  // The frame: the opaque part of the border window's image left of the form.
  const TRect border = WindowRectOf(Border());
  const int frameX = border.Left + 9, frameY = centre.y;
  const COLORREF frame = GetPixel(screen, frameX, frameY);
  ReleaseDC(nullptr, screen);
  DestroyWindow(fill);
  EXPECT_EQ(shown, kClient);
  const std::uint32_t cached = static_cast<const std::uint32_t*>(
      P->FCommonData->FCacheBmp->ScanLine(frameY - border.Top))[9];
  EXPECT_EQ(frame, RGB((cached >> 16) & 0xFF, (cached >> 8) & 0xFF, cached & 0xFF));
}

TEST_F(TBorderTest, AWindowMadeAnewGetsTheKeyedImageAtTheNextUpdateEvenWithoutARedraw) {
  // The show animation makes a new window and pushes its own frames to it, which leave no
  // colour key behind; the update that follows must bring the keyed image.
  Open(L"Tarvel Frame Ex");
  B->CreateNewForm();
  TLayeredRecorder recorder;
  B->UpdateExBordersPos(false, 255);
  std::vector<TLayeredPush> pushes = recorder.To(Border());
  ASSERT_EQ(pushes.size(), 1u);
  EXPECT_EQ(pushes.front().Flags, static_cast<DWORD>(ULW_ALPHA | ULW_COLORKEY));
  // Once shown, an update without a redraw only places the window.
  recorder.Pushes.clear();
  B->UpdateExBordersPos(false, 255);
  EXPECT_TRUE(recorder.To(Border()).empty());
}

TEST_F(TBorderTest, AFormsFirstSizeCutsItsWholeClientOutOfTheBorderImage) {
  // A form skinned after it was shown (the update's progress window) gets its first size with
  // no client painted before; the frame's image must not keep covering that client, where the
  // border window stands above its form.
  Open(L"Tarvel Frame Ex");
  P->LastClientRect = TRect{};
  TLayeredRecorder recorder;
  Form->SetBounds(300, 220, 380, 250);
  PumpMessagesFor(50);
  const std::vector<TLayeredPush> pushes = recorder.To(Border());
  ASSERT_FALSE(pushes.empty());
  const TLayeredPush& last = pushes.back();
  RECT client{};
  GetClientRect(Form->Handle(), &client);
  const int x = B->OffsetX() + client.right / 2, y = B->OffsetY() + client.bottom / 2;
  ASSERT_LT(x, last.Size.cx);
  ASSERT_LT(y, last.Size.cy);
  EXPECT_EQ(last.Pixel(x, y) & 0xFFFFFFu, 0x0BF13Du);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(Border(), rgn), ERROR);
  EXPECT_FALSE(PtInRegion(rgn, x, y));
  DeleteObject(rgn);
}

TEST_F(TBorderTest, AMissingCacheIsRenderedFirstAndNeverHandedOnMissing) {
  Open(L"Tarvel Frame Shadow");
  const struct {
    const char* Name;
    std::uint32_t State;
    bool Pushed;
  } rows[] = {{"plain", 0, true}, {"minimizing", FS_ANIMMINIMIZING, true}, {"moving blend", FS_BLENDMOVING, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    TLayeredRecorder recorder;
    P->FCommonData->FCacheBmp.reset();
    P->FCommonData->BGChanged = true;
    P->SetFormState(row.State);
    B->UpdateExBordersPos(true, 255);
    P->SetFormState(0);
    const std::vector<TLayeredPush> pushes = recorder.To(Border());
    EXPECT_EQ(!pushes.empty(), row.Pushed);
    for (const TLayeredPush& push : pushes) {
      ASSERT_NE(P->FCommonData->FCacheBmp, nullptr);
      EXPECT_EQ(push.Size.cx, P->FCommonData->FCacheBmp->Width());
      EXPECT_GT(push.Size.cx, 0);
    }
  }
}

TEST_F(TBorderTest, ASecondNewWindowFreesTheFirst) {
  Open(L"Tarvel Frame Shadow");
  HWND first = Border();
  B->CreateNewForm();
  PumpMessages();
  ASSERT_NE(B->AForm, nullptr);
  EXPECT_NE(Border(), first);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(GetWindow(Border(), GW_OWNER), Form->Handle());
  EXPECT_EQ(GetWindowLongPtrW(Border(), GWL_EXSTYLE), WS_EX_LAYERED);
  // Under owner state 0x2000 no window is made at all.
  P->SetFormState(FS_ANIMSHOWING);
  B->FreeBorderWindow();
  B->CreateNewForm();
  EXPECT_EQ(B->AForm, nullptr);
  P->SetFormState(0);
  B->UpdateExBordersPos(true, 255);
  ASSERT_NE(B->AForm, nullptr);
  EXPECT_TRUE(IsWindowVisible(Border()));
}

TEST_F(TBorderTest, HitTestWithoutBorderImage) {
  Open(L"Tarvel Frame Shadow");
  const TRect s = B->ShadowSize();  // 10, 8, 10, 12; BORDERWIDTH 2 gives bands of 6
  const int w = WindowRectOf(Border()).Width(), h = WindowRectOf(Border()).Height();
  const THitRow rows[] = {
      {"top band, outer row", w / 2, s.Top - 6, HTTOP},
      {"top band, inner row", w / 2, s.Top, HTTOP},
      {"caption above the band, in the shadow", w / 2, s.Top - 7, HTCAPTION},
      {"caption below the band", w / 2, s.Top + 1, HTCAPTION},
      {"left band", s.Left - 6, h / 2, HTLEFT},
      {"left band at the edge", s.Left, h / 2, HTLEFT},
      {"right band", w - s.Right, h / 2, HTRIGHT},
      {"right band, outer column", w - s.Right + 6, h / 2, HTRIGHT},
      {"bottom band", w / 2, h - s.Bottom + 6, HTBOTTOM},
      {"top left", s.Left - 1, s.Top - 1, HTTOPLEFT},
      {"top right", w - s.Right + 1, s.Top - 1, HTTOPRIGHT},
      {"bottom left", s.Left - 1, h - s.Bottom + 1, HTBOTTOMLEFT},
      {"bottom right", w - s.Right + 1, h - s.Bottom + 1, HTBOTTOMRIGHT},
      {"client", w / 2, h / 2, HTTRANSPARENT},
      {"left shadow beyond the band", s.Left - 7, h / 2, HTTRANSPARENT},
  };
  for (const THitRow& row : rows) EXPECT_EQ(Hit(row.X, row.Y), row.Code) << row.Name;
  // The window itself: pure shadow lets the mouse through, the bands and caption take it.
  EXPECT_EQ(SentHit(w / 2, s.Top - 7), HTTRANSPARENT);
  EXPECT_EQ(SentHit(s.Left - 7, h / 2), HTTRANSPARENT);
  EXPECT_EQ(SentHit(w / 2, s.Top - 6), HTOBJECT);
  EXPECT_EQ(SentHit(s.Left - 6, h / 2), HTOBJECT);
}

TEST_F(TBorderTest, HitTestWithBorderImage) {
  Open(L"Tarvel Frame Ex");
  const TRect s = B->ShadowSize();
  ASSERT_EQ(s, (TRect{8, 8, 8, 8}));  // FORMOFFSET 8
  const int w = WindowRectOf(Border()).Width(), h = WindowRectOf(Border()).Height();
  const int d = SysBorderWidth(Form->Handle(), B, false);
  ASSERT_GT(d, 0);
  // R = (6, 6, w - 6, h - 6) with ALIGNOFFSET 2; its right and bottom edges lie in no band.
  const THitRow rows[] = {
      {"top band, first row", w / 2, 6, HTTOP},
      {"top band, fifth row", w / 2, 10, HTTOP},
      {"below the top band", w / 2, 11, HTCAPTION},
      {"above R", w / 2, 5, HTCAPTION},
      {"left band", 6, h / 2, HTLEFT},
      {"left band, inner column", 6 + d, h / 2, HTLEFT},
      {"right band", w - 7, h / 2, HTRIGHT},
      {"right edge of R", w - 6, h / 2, HTTRANSPARENT},
      {"bottom band", w / 2, h - 7, HTBOTTOM},
      {"bottom edge of R", w / 2, h - 6, HTTRANSPARENT},
      {"bottom right", w - 7, h - 7, HTBOTTOMRIGHT},
  };
  for (const THitRow& row : rows) EXPECT_EQ(Hit(row.X, row.Y), row.Code) << row.Name;
}

TEST_F(TBorderTest, OverlappingSideBandsOfANarrowWindowAnswerRight) {
  Open(L"Tarvel Frame Ex");
  const int d = SysBorderWidth(Form->Handle(), B, false);
  // R spans the window less 6 on each side: at 12 + 2d - 2 both side bands cover its middle.
  const int w = 12 + 2 * d - 2;
  SetWindowPos(Border(), nullptr, 0, 0, w, WindowRectOf(Border()).Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_EQ(WindowRectOf(Border()).Width(), w);
  EXPECT_EQ(Hit(w / 2, WindowRectOf(Border()).Height() / 2), HTRIGHT);
}

TEST_F(TBorderTest, ADisabledTitleButtonInTheCaptionBandIsCaption) {
  Open(L"Tarvel Frame Shadow");
  TsTitleButton* button = P->TitleButtons().Add();
  button->Enabled = false;
  P->FCommonData->BGChanged = true;
  P->PaintAll();
  const TRect r = button->Data.cpRect;
  ASSERT_GT(r.Width(), 0);
  EXPECT_EQ(Hit(r.Left + r.Width() / 2, r.Top + r.Height() / 2), HTCAPTION);
  button->Enabled = true;
  EXPECT_EQ(Hit(r.Left + r.Width() / 2, r.Top + r.Height() / 2), 1000);
}

TEST_F(TBorderTest, AClickOnPureShadowReachesTheWindowBehind) {
  Open(L"Tarvel Frame Shadow");
  // A window behind the border window, under the form's left shadow.
  const TRect border = WindowRectOf(Border());
  struct TBehind : public TForm {
    using TForm::TForm;
    int Presses = 0;
    void WndProc(TMessage& m) override {
      if (m.Msg == WM_LBUTTONDOWN) ++Presses;
      TForm::WndProc(m);
    }
  };
  auto* behind = NewComponent<TBehind>(nullptr);
  behind->SetBorderStyle(bsNone);
  behind->Show();
  behind->SetBounds(border.Left - 40, border.Top, 60, border.Height());
  SetWindowPos(behind->Handle(), Border(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  PumpMessagesFor(100);
  const TRect s = B->ShadowSize();
  const int x = border.Left + s.Left - 8, y = border.Top + border.Height() / 2;  // pure shadow
  // The pointer comes over the shadow first, as a hand brings it there.
  SetCursorPos(x + 1, y);
  PumpMessagesFor(50);
  INPUT in[3]{};
  in[0].type = in[1].type = in[2].type = INPUT_MOUSE;
  in[0].mi.dx = -1;
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, in, sizeof(INPUT));
  PumpMessagesFor(100);
  SendInput(2, in + 1, sizeof(INPUT));
  PumpMessagesFor(150);
  EXPECT_EQ(behind->Presses, 1);
  TComponent::Free(behind);
}

TEST_F(TBorderTest, DoubleClickOnASideEdgeStretchesToTheWorkWidthAndBack) {
  Open(L"Tarvel Frame Shadow");
  const TRect work = FormMonitorWorkArea(Form);
  const int diff = BorderFormBorderDiff(B);
  const int left = Form->Left(), width = Form->Width();
  const TRect s = B->ShadowSize();
  auto dblclk = [&](bool Right) {
    const TRect r = WindowRectOf(Border());
    const int x = Right ? r.Right - s.Right + 2 : r.Left + s.Left - 2;
    SendMessageW(Border(), WM_NCLBUTTONDBLCLK, HTOBJECT, MAKELPARAM(x, r.Top + r.Height() / 2));
    PumpMessages();
  };
  dblclk(false);
  EXPECT_EQ(Form->Left(), work.Left + diff);
  EXPECT_EQ(Form->Width(), work.Width() - 2 * diff);
  EXPECT_TRUE(P->FormState() & FS_FULLWIDTH);
  dblclk(true);
  EXPECT_EQ(Form->Left(), left);
  EXPECT_EQ(Form->Width(), width);
  EXPECT_FALSE(P->FormState() & FS_FULLWIDTH);
}

TEST_F(TBorderTest, AClientMouseMessageOverTheShadowPunchesAHoleExceptForAModalForm) {
  Open(L"Tarvel Frame Shadow");
  const TRect s = B->ShadowSize();
  const int x = s.Left - 8, y = WindowRectOf(Border()).Height() / 2;  // pure shadow, border-window client point
  for (bool modal : {false, true}) {
    SCOPED_TRACE(modal ? "modal" : "modeless");
    Form->SetModal(modal);
    B->ResetRgn = true;
    B->UpdateRgn();
    HRGN before = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(Border(), before), ERROR);
    ASSERT_TRUE(PtInRegion(before, x, y));
    SendMessageW(Border(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    HRGN after = CreateRectRgn(0, 0, 0, 0);
    GetWindowRgn(Border(), after);
    EXPECT_EQ(PtInRegion(after, x, y) != FALSE, modal);
    if (modal) EXPECT_TRUE(EqualRgn(before, after));
    EXPECT_TRUE(B->ResetRgn);
    DeleteObject(before);
    DeleteObject(after);
  }
  Form->SetModal(false);
}

namespace {

// A form that keeps the caption presses and system commands handed to it, so that no
// system move loop starts in a test.
class TPressForm : public TForm {
public:
  explicit TPressForm(TComponent* owner) : TForm(owner) {
    HookWindowProc(this, MakeWndMethod<&TPressForm::Proc>(this), &Saved);
  }
  std::wstring ClassName() const override { return L"TPressForm"; }
  void Proc(TMessage& m) {
    if (m.Msg == WM_NCLBUTTONDOWN) {
      Presses.push_back(static_cast<int>(m.WParam));
      return;
    }
    if (m.Msg == WM_NCLBUTTONUP || m.Msg == WM_NCRBUTTONDOWN || m.Msg == WM_NCRBUTTONUP ||
        (m.Msg == WM_SYSCOMMAND && m.WParam == SC_CLOSE)) {
      Got.push_back({m.Msg, static_cast<int>(m.WParam)});
      return;
    }
    if (Saved) Saved(m);
  }
  TWndMethod Saved;
  std::vector<int> Presses;
  std::vector<std::pair<UINT, int>> Got;
};

// A skinned form of TPressForm with its border window.
void OpenPressForm(TsSkinManager*& M, TForm*& Form, TsSkinProvider*& P) {
  Application().Initialize();
  M = CreateComponent<TsSkinManager>(nullptr);
  M->SetSkinDirectory(ReaderFixture(L"formframe"));
  M->SetSkinName(L"Tarvel Frame Shadow");
  M->SetExtendedBorders(true);
  M->SetActive(true);
  Form = CreateComponent<TPressForm>(nullptr);
  Form->SetBorderStyle(bsSizeable);
  P = NewComponent<TsSkinProvider>(Form);
  P->SkinManager = M;
  Form->Show();
  Form->SetBounds(300, 220, 360, 240);
}

}  // namespace

TEST_F(TBorderTest, AMaximizedCaptionDragRestoresTheFormUnderTheCursorAfterSixPixels) {
  OpenPressForm(M, Form, P);
  auto* form = static_cast<TPressForm*>(Form);
  Form->SetWindowState(wsMaximized);
  PumpMessagesFor(100);
  ASSERT_TRUE(IsZoomed(Form->Handle()));
  ASSERT_NE(P->BorderForm, nullptr);
  B = P->BorderForm;
  if (!B->AForm) B->UpdateExBordersPos(true, 255);
  ASSERT_NE(B->AForm, nullptr);
  const TRect r = WindowRectOf(Border());
  const int x = r.Left + r.Width() / 2, y = std::max(0, r.Top + B->ShadowSize().Top + 10);
  SetCursorPos(x, y);
  SendMessageW(Border(), WM_NCLBUTTONDOWN, HTOBJECT, MAKELPARAM(x, y));
  EXPECT_TRUE(B->MaxMoving);
  EXPECT_TRUE(form->Presses.empty());
  // Five pixels: nothing yet.
  SetCursorPos(x + 5, y);
  SendMessageW(Border(), WM_NCMOUSEMOVE, HTOBJECT, MAKELPARAM(x + 5, y));
  EXPECT_TRUE(IsZoomed(Form->Handle()));
  // The sixth restores the form centred under the cursor, at -8 so near the top, and the
  // caption press goes on to the form as a caption press.
  SetCursorPos(x + 6, y);
  SendMessageW(Border(), WM_NCMOUSEMOVE, HTOBJECT, MAKELPARAM(x + 6, y));
  PumpMessages();
  EXPECT_FALSE(IsZoomed(Form->Handle()));
  EXPECT_EQ(Form->Width(), 360);
  EXPECT_EQ(Form->Left(), x + 6 - 360 / 2);
  EXPECT_EQ(Form->Top(), y <= 24 ? -8 : y - 8);
  EXPECT_EQ(form->Presses, std::vector<int>{HTCAPTION});
  EXPECT_FALSE(B->MaxMoving);
}

namespace {
void CALLBACK EndMenuOnTimer(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }
}  // namespace

TEST_F(TBorderTest, NonClientButtonsAreHandedToTheFormExceptOverPureShadow) {
  OpenPressForm(M, Form, P);
  auto* form = static_cast<TPressForm*>(Form);
  PumpMessagesFor(100);
  B = P->BorderForm;
  ASSERT_NE(B, nullptr);
  ASSERT_NE(B->AForm, nullptr);
  const TRect r = WindowRectOf(Border()), s = B->ShadowSize();
  const LPARAM caption = MAKELPARAM(r.Left + r.Width() / 2, r.Top + s.Top + 4);
  const LPARAM shadow = MAKELPARAM(r.Left + 1, r.Top + r.Height() / 2);
  struct TRow {
    const char* Name;
    UINT Msg;
    LPARAM At;
    std::vector<std::pair<UINT, int>> Got;
    std::vector<int> Presses;
  } rows[] = {
      {"left press on the caption", WM_NCLBUTTONDOWN, caption, {}, {-1}},
      {"left release", WM_NCLBUTTONUP, caption, {{WM_NCLBUTTONUP, -1}}, {}},
      // With the hit code, which the provider reads: a caption press waits for its release (the
      // system menu), so the form's own procedure does not see it.
      {"right press: with the hit code", WM_NCRBUTTONDOWN, caption, {}, {}},
      // The release on the caption drops the system menu (closed here from a timer); the
      // form's own procedure does not see it.
      {"right release", WM_NCRBUTTONUP, caption, {}, {}},
      {"left press over pure shadow", WM_NCLBUTTONDOWN, shadow, {}, {}},
      {"left release over pure shadow", WM_NCLBUTTONUP, shadow, {}, {}},
      {"right press over pure shadow", WM_NCRBUTTONDOWN, shadow, {}, {}},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    form->Got.clear();
    form->Presses.clear();
    const UINT_PTR closer = SetTimer(nullptr, 0, 300, EndMenuOnTimer);
    SendMessageW(Border(), row.Msg, HTOBJECT, row.At);
    KillTimer(nullptr, closer);
    EXPECT_EQ(form->Got, row.Got);
    EXPECT_EQ(form->Presses, row.Presses);
  }
  // A double click on the icon closes the form through its system command.
  const TRect icon = P->IconRect();
  if (icon.Width() > 0) {
    form->Got.clear();
    SendMessageW(Border(), WM_NCLBUTTONDBLCLK, HTOBJECT,
                 MAKELPARAM(r.Left + icon.Left + icon.Width() / 2, r.Top + icon.Top + icon.Height() / 2));
    EXPECT_EQ(form->Got, (std::vector<std::pair<UINT, int>>{{WM_SYSCOMMAND, SC_CLOSE}}));
  }
  // The border window never takes the activation.
  EXPECT_EQ(SendMessageW(Border(), WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(Border()), MAKELPARAM(HTOBJECT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);
}

TEST_F(TBorderTest, TheSquareBetweenTheFormsScrollBarsIsAGripInBorderWindowCoordinates) {
  Open(L"Tarvel Frame Shadow");
  ShowScrollBar(Form->Handle(), SB_BOTH, TRUE);
  PumpMessages();
  P->FCommonData->BGChanged = true;
  B->UpdateExBordersPos(true, 255);
  const TRect square = OwnScrollGripSquare(Form->Handle());  // form window coordinates
  if (square.Width() <= 0) GTEST_SKIP() << "the form shows no pair of scroll bars";
  ASSERT_FALSE(GripVisible(P));
  // Its last pixel, moved by the form's place in the border window: past the grip image.
  const int x = square.Right - 1 + B->OffsetX(), y = square.Bottom - 1 + B->OffsetY();
  const TPoint grip = P->GripPosition(P->FCommonData->ReadCommonSkinData()->GripRightBottom);
  ASSERT_TRUE(x > grip.X && y > grip.Y) << x << "," << y << " grip " << grip.X << "," << grip.Y;
  EXPECT_EQ(Hit(x, y), HTBOTTOMRIGHT);
  // Taken without the move the same point lies outside the square.
  EXPECT_EQ(Hit(square.Right - 1, square.Bottom - 1), HTTRANSPARENT);
  ShowScrollBar(Form->Handle(), SB_BOTH, FALSE);
}

TEST_F(TBorderTest, TheCursorFollowsTheBandUnderIt) {
  Open(L"Tarvel Frame Shadow");
  const TRect r = WindowRectOf(Border()), s = B->ShadowSize();
  const int w = r.Width(), h = r.Height();
  const struct {
    const char* Name;
    int X, Y;
    LPCWSTR Cursor;  // none: the border window sets none
  } rows[] = {
      {"left band", s.Left - 2, h / 2, IDC_SIZEWE},
      {"bottom band", w / 2, h - s.Bottom + 2, IDC_SIZENS},
      {"top left", s.Left - 1, s.Top - 1, IDC_SIZENWSE},
      {"bottom left", s.Left - 1, h - s.Bottom + 1, IDC_SIZENESW},
      {"caption", w / 2, s.Top + 4, IDC_ARROW},
      {"pure shadow", 1, h / 2, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    SetCursorPos(r.Left + row.X, r.Top + row.Y);
    SetCursor(nullptr);
    TMessage m{WM_SETCURSOR, reinterpret_cast<WPARAM>(Border()), MAKELPARAM(HTOBJECT, WM_MOUSEMOVE), 0};
    const bool set = B->Ex_WMSetCursor(m);
    EXPECT_EQ(set, row.Cursor != nullptr);
    if (row.Cursor) EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, row.Cursor));
  }
}

namespace {
// The moving blend's drag is the system's modal move loop: a timer inside it stands for the
// drag that pulled the window above the screen, then ends the loop with Enter.
TacBorderForm* gDragBorder = nullptr;
void CALLBACK DragStep(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (gDragBorder) gDragBorder->LastTopLeft = TPoint{140, -30};
  PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, VK_RETURN, 0);
  PostThreadMessageW(GetCurrentThreadId(), WM_KEYUP, VK_RETURN, 0);
}
}  // namespace

TEST_F(TBorderTest, ADragEndingAboveTheScreenPutsTheBorderWindowBackAtItsLastPlace) {
  Open(L"Tarvel Frame Ex");
  M->AnimEffects.BlendOnMoving.Active = true;
  M->AnimEffects.BlendOnMoving.Time = 150;
  P->AllowBlendOnMoving = true;
  const TRect before = WindowRectOf(Border());
  gDragBorder = B;
  SetTimer(nullptr, 0, 50, DragStep);
  StartBlendOnMoving(P, true);
  gDragBorder = nullptr;
  PumpMessages();
  EXPECT_FALSE(P->FormState() & FS_BLENDMOVING);
  const TRect after = WindowRectOf(Border());
  EXPECT_EQ(after.Left, 140);
  EXPECT_EQ(after.Top, -30);
  EXPECT_EQ(after.Width(), before.Width());
  EXPECT_EQ(after.Height(), before.Height());
  // The form follows its border window.
  const TRect form = WindowRectOf(Form->Handle());
  EXPECT_EQ(form.Left - after.Left, B->OffsetX());
  EXPECT_EQ(form.Top - after.Top, B->OffsetY());
}

TEST_F(TBorderTest, MinimizeAndRestoreEndWithTheBorderWindowBackAroundTheOpaqueForm) {
  struct TCompositionPin {  // minimizing animates only with composition
    TCompositionPin() { SetDwmCompositionOverride(true); }
    ~TCompositionPin() { SetDwmCompositionOverride(std::nullopt); }
  } composition;
  Open(L"Tarvel Frame Ex");
  M->AnimEffects.Minimizing.Active = true;
  M->Effects.AllowAnimation = true;
  HWND wnd = Form->Handle();
  SendMessageW(wnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  auto* timer = dynamic_cast<TacMinTimer*>(P->FormTimer);
  ASSERT_NE(timer, nullptr);
  for (int i = 0; i < 2000 && !timer->Minimized; ++i) timer->TimeHandler();
  ASSERT_TRUE(timer->Minimized);
  EXPECT_TRUE(IsIconic(wnd));
  TLayeredRecorder recorder;
  SendMessageW(wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
  ASSERT_EQ(P->FormTimer, timer);
  for (int i = 0; i < 2000 && timer->Minimized; ++i) timer->TimeHandler();
  PumpMessagesFor(50);
  EXPECT_FALSE(timer->Minimized);
  EXPECT_FALSE(IsIconic(wnd));
  EXPECT_TRUE(IsWindowVisible(wnd));
  EXPECT_FALSE(GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
  ASSERT_NE(P->BorderForm, nullptr);
  ASSERT_NE(P->BorderForm->AForm, nullptr);
  EXPECT_TRUE(IsWindowVisible(Border()));
  EXPECT_FALSE(B->ExBorderShowing);
  const std::vector<TLayeredPush> pushes = recorder.To(Border());
  ASSERT_FALSE(pushes.empty());
  // The frames came from the restore path; the last push is the keyed frame, opaque.
  EXPECT_EQ(pushes.back().Alpha, 255);
  EXPECT_EQ(pushes.back().Flags, static_cast<DWORD>(ULW_ALPHA | ULW_COLORKEY));
  const TRect border = WindowRectOf(Border()), form = WindowRectOf(wnd);
  EXPECT_EQ(form.Left - border.Left, B->OffsetX());
  EXPECT_EQ(form.Top - border.Top, B->OffsetY());
}
