// The skinned caption's buttons on real forms: the hot state and its fade window, the fade
// steps (driven one by one, as the 12 ms timer would), presses and releases that act or do
// not, double clicks, and the key flags of WM_LBUTTONUP that must not be read as a hit code.
// The real cursor is put on the button first: the finished fade watches it.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FormFrameFixtures.h"
#include "ReaderFixtures.h"
#include "app/Form.Progress.h"
#include "platform/ui/Forms.h"
#include "platform/ui/HintWindow.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntTypes.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "support/LayeredRecorder.h"
#include "support/MessagePump.h"

namespace {

class TCaptionForm : public TForm {
public:
  explicit TCaptionForm(TComponent* owner) : TForm(owner) {
    SetBorderStyle(bsSingle);
    SetCaption(L"Caption");
  }
  std::wstring ClassName() const override { return L"TCaptionForm"; }
  void FormClose(TCloseAction& action) override {
    ++Closes;
    action = TCloseAction::caNone;
  }
  int Closes = 0;
};

class CaptionButtons : public TFormFrameTest<TCaptionForm> {
protected:
  void Make(unsigned icons = biSystemMenu | biMinimize | biMaximize) {
    Form = CreateComponent<TCaptionForm>(nullptr);
    Form->SetBorderIcons(icons);
    P = NewComponent<TsSkinProvider>(Form);
    P->SkinManager = M;
    Form->Show();
    Form->SetBounds(80, 70, 360, 220);
    PumpMessagesFor(100);
    ASSERT_TRUE(P->FCommonData->Skinned());
    Wnd = Form->Handle();
    ASSERT_FALSE(IsIconic(Wnd));
  }
  // The screen point at the middle of an element of the non-client image.
  POINT At(const TRect& r) {
    RECT wr{};
    GetWindowRect(Wnd, &wr);
    return POINT{wr.left + (r.Left + r.Right) / 2, wr.top + (r.Top + r.Bottom) / 2};
  }
  POINT OnCaption() {
    RECT wr{};
    GetWindowRect(Wnd, &wr);
    return POINT{wr.left + 120, wr.top + P->ButtonClose.cpRect.Top + P->ButtonClose.cpRect.Height() / 2};
  }
  LRESULT Send(UINT msg, int code, POINT pt, bool moveCursor = true) {
    if (moveCursor) SetCursorPos(pt.x, pt.y);
    return SendMessageW(Wnd, msg, static_cast<WPARAM>(code), MAKELPARAM(pt.x, pt.y));
  }
  std::vector<int> Alphas(const TLayeredRecorder& rec, HWND wnd) {
    std::vector<int> out;
    for (const TLayeredPush& p : rec.To(wnd)) out.push_back(p.Alpha);
    return out;
  }
  TsSkinProvider* P = nullptr;
  HWND Wnd = nullptr;
};

}  // namespace

TEST_F(CaptionButtons, HoverOnCloseFadesInOverTenStepsAndOutWhenTheMouseGoesToTheCaption) {
  Make();
  TLayeredRecorder rec;
  Send(WM_NCMOUSEMOVE, HTCLOSE, At(P->ButtonClose.cpRect));
  EXPECT_EQ(P->CurrentHT, HTCLOSE);
  EXPECT_EQ(P->ButtonClose.cpState, 1);
  TacSBAnimation* fade = P->ButtonClose.cpTimer;
  ASSERT_NE(fade, nullptr);
  ASSERT_NE(fade->AForm, nullptr);
  HWND fadeWnd = fade->AForm->Handle();
  // A layered window the mouse goes through, just above the form, over the button.
  EXPECT_EQ(GetWindowLongPtrW(fadeWnd, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT),
            WS_EX_LAYERED | WS_EX_TRANSPARENT);
  EXPECT_TRUE(IsWindowVisible(fadeWnd));
  EXPECT_EQ(GetWindow(fadeWnd, GW_HWNDNEXT), Wnd);
  RECT fr{};
  GetWindowRect(fadeWnd, &fr);
  const POINT mid = At(P->ButtonClose.cpRect);
  EXPECT_TRUE(PtInRect(&fr, mid));
  EXPECT_EQ(fr.right - fr.left, P->ButtonClose.cpRect.Width());
  for (int i = 0; i < 10; ++i) fade->OnAnimTimer();
  EXPECT_EQ(Alphas(rec, fadeWnd), (std::vector<int>{25, 50, 75, 100, 125, 150, 175, 200, 225, 255}));
  EXPECT_EQ(fade->MaxIterations, -1);
  // The fade image shows the hot cell of the close glyph (#E04040), opaque (premultiplied
  // without composition).
  const TLayeredPush& last = rec.To(fadeWnd).back();
  const std::uint32_t px = last.Pixel(last.Size.cx / 2, last.Size.cy / 2);
  EXPECT_EQ(px >> 24, 255u);
  EXPECT_GE((px >> 16) & 0xFF, 0xDFu);
  EXPECT_LE(px & 0xFF, 0x40u);
  EXPECT_GE(px & 0xFF, 0x3Fu);

  rec.Pushes.clear();
  Send(WM_NCMOUSEMOVE, HTCAPTION, OnCaption());
  EXPECT_EQ(P->CurrentHT, 0);
  EXPECT_EQ(P->ButtonClose.cpState, 0);
  ASSERT_EQ(P->ButtonClose.cpTimer, fade);
  for (int i = 0; i < 10; ++i) fade->OnAnimTimer();
  EXPECT_EQ(Alphas(rec, fadeWnd), (std::vector<int>{250, 225, 200, 175, 150, 125, 100, 75, 50, 25}));
  EXPECT_TRUE(IsWindow(fadeWnd));
  fade->OnAnimTimer();
  EXPECT_EQ(fade->CurrentState, -1);
  EXPECT_EQ(fade->AForm, nullptr);
  EXPECT_FALSE(IsWindow(fadeWnd));
  EXPECT_FALSE(fade->Enabled());
}

TEST_F(CaptionButtons, WithoutTheManagersAnimationAChangeShowsInOneStep) {
  M->Effects.AllowAnimation = false;
  Make();
  TLayeredRecorder rec;
  Send(WM_NCMOUSEMOVE, HTCLOSE, At(P->ButtonClose.cpRect));
  TacSBAnimation* fade = P->ButtonClose.cpTimer;
  ASSERT_NE(fade, nullptr);
  ASSERT_NE(fade->AForm, nullptr);
  HWND fadeWnd = fade->AForm->Handle();
  EXPECT_EQ(Alphas(rec, fadeWnd), std::vector<int>{255});
  EXPECT_FALSE(fade->Enabled());  // one step: nothing left to tick
  Send(WM_NCMOUSEMOVE, HTCAPTION, OnCaption());
  fade->OnAnimTimer();
  fade->OnAnimTimer();
  EXPECT_FALSE(IsWindow(fadeWnd));
}

TEST_F(CaptionButtons, TheFinishedFadeSeesTheMouseLeaveAndFadesOut) {
  Make();
  Send(WM_NCMOUSEMOVE, HTCLOSE, At(P->ButtonClose.cpRect));
  TacSBAnimation* fade = P->ButtonClose.cpTimer;
  ASSERT_NE(fade, nullptr);
  for (int i = 0; i < 10; ++i) fade->OnAnimTimer();
  fade->OnAnimTimer();  // the mouse is still on the button
  EXPECT_EQ(P->CurrentHT, HTCLOSE);
  const POINT away = OnCaption();
  SetCursorPos(away.x, away.y);
  fade->OnAnimTimer();
  EXPECT_EQ(P->CurrentHT, -1);
  EXPECT_EQ(P->ButtonClose.cpState, 0);
  EXPECT_FALSE(fade->Up);
}

TEST_F(CaptionButtons, PressAndReleaseOnCloseSendsCloseAndFreesTheFades) {
  Make();
  const POINT pt = At(P->ButtonClose.cpRect);
  Send(WM_NCMOUSEMOVE, HTCLOSE, pt);
  Send(WM_NCLBUTTONDOWN, HTCLOSE, pt);
  EXPECT_EQ(P->ButtonClose.cpState, 2);
  EXPECT_TRUE(P->biClicked);
  Send(WM_NCLBUTTONUP, HTCLOSE, pt);
  EXPECT_EQ(Form->Closes, 1);
  EXPECT_FALSE(P->biClicked);
  // The form stayed: its fades went, and nothing is hot or shows a fade window.
  EXPECT_EQ(P->CurrentHT, 0);
  EXPECT_EQ(P->ButtonClose.cpState, 0);
  EXPECT_TRUE(P->ButtonClose.cpTimer == nullptr || P->ButtonClose.cpTimer->AForm == nullptr);
}

TEST_F(CaptionButtons, ReleasesThatMustNotAct) {
  Make();
  const POINT client{20, 20};
  // Press on a button, then a release that is not on it.
  struct TRow {
    const char* Name;
    int Press;
    UINT UpMsg;
    WPARAM UpWParam;
    POINT UpPoint;
  };
  const POINT minPt = At(P->ButtonMin.cpRect), closePt = At(P->ButtonClose.cpRect);
  const TRow rows[] = {
      {"minimize, released on the caption", HTMINBUTTON, WM_NCLBUTTONUP, HTCAPTION, OnCaption()},
      {"minimize code, point outside the button", HTMINBUTTON, WM_NCLBUTTONUP, HTMINBUTTON, OnCaption()},
      // MK_SHIFT | MK_MBUTTON is 0x14, the close code: the point decides, and it is the client.
      {"key flags 0x14 in the client after a close press", HTCLOSE, WM_LBUTTONUP, MK_SHIFT | MK_MBUTTON, client},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    const POINT down = row.Press == HTMINBUTTON ? minPt : closePt;
    Send(WM_NCLBUTTONDOWN, row.Press, down);
    ASSERT_TRUE(P->biClicked);
    POINT screen = row.UpPoint;
    if (row.UpMsg == WM_LBUTTONUP) ClientToScreen(Wnd, &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageW(Wnd, row.UpMsg, row.UpWParam, MAKELPARAM(row.UpPoint.x, row.UpPoint.y));
    EXPECT_FALSE(IsIconic(Wnd));
    EXPECT_EQ(Form->Closes, 0);
    EXPECT_FALSE(P->biClicked);
    PumpMessages();
  }
}

TEST_F(CaptionButtons, AMaximizeTheFormDoesNotAllowIsNeverPressed) {
  Make(biSystemMenu | biMinimize);
  // The press arrives as it would on a button of a skin whose caption shows it anyway.
  const POINT pt = OnCaption();
  Send(WM_NCLBUTTONDOWN, HTMAXBUTTON, pt);
  EXPECT_EQ(P->ButtonMax.cpState, 0);
  EXPECT_EQ(P->CurrentHT, 0);
  EXPECT_FALSE(P->biClicked);
  Send(WM_NCLBUTTONUP, HTMAXBUTTON, pt);
  EXPECT_FALSE(IsZoomed(Wnd));
}

TEST_F(CaptionButtons, DoubleClicks) {
  Make(biSystemMenu | biMinimize);
  // On the caption with maximize and restore both disallowed: nothing.
  Send(WM_NCLBUTTONDBLCLK, HTCAPTION, OnCaption());
  EXPECT_FALSE(IsZoomed(Wnd));
  EXPECT_FALSE(IsIconic(Wnd));
  // An iconic form is restored.
  ShowWindow(Wnd, SW_MINIMIZE);
  PumpMessagesFor(50);
  ASSERT_TRUE(IsIconic(Wnd));
  SendMessageW(Wnd, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  PumpMessagesFor(50);
  EXPECT_FALSE(IsIconic(Wnd));
  // On the icon: the form closes.
  Send(WM_NCLBUTTONDBLCLK, HTSYSMENU, At(P->IconRect()));
  EXPECT_EQ(Form->Closes, 1);
}

TEST_F(CaptionButtons, AMaximizeDoubleClickOnTheCaptionMaximizes) {
  Make();
  Send(WM_NCLBUTTONDBLCLK, HTCAPTION, OnCaption());
  PumpMessagesFor(50);
  EXPECT_TRUE(IsZoomed(Wnd));
}

// The skin with title glow images: a hot big button fades its glow image instead, grown by
// the glow margin on every side.
class CaptionGlows : public CaptionButtons {
protected:
  void SetUp() override {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"formframe"));
    M->SetSkinName(L"Tarvel Frame Title Glow");
    M->SetActive(true);
    ASSERT_TRUE(M->IsActive());
  }
};

TEST_F(CaptionGlows, AHotCloseButtonFadesItsTitleGlow) {
  Make();
  TacSkinData* sd = P->FCommonData->ReadCommonSkinData();
  ASSERT_NE(sd, nullptr);
  const int margin = sd->GlowMargins[tgClose];
  ASSERT_EQ(margin, 3);
  TLayeredRecorder rec;
  Send(WM_NCMOUSEMOVE, HTCLOSE, At(P->ButtonClose.cpRect));
  TacSBAnimation* fade = P->ButtonClose.cpTimer;
  ASSERT_NE(fade, nullptr);
  ASSERT_NE(fade->AForm, nullptr);
  RECT wr{}, fr{};
  GetWindowRect(Wnd, &wr);
  GetWindowRect(fade->AForm->Handle(), &fr);
  EXPECT_EQ(fr.left, wr.left + P->ButtonClose.cpRect.Left - margin);
  EXPECT_EQ(fr.top, wr.top + P->ButtonClose.cpRect.Top - margin);
  EXPECT_EQ(fr.right - fr.left, P->ButtonClose.cpRect.Width() + 2 * margin);
  const auto pushes = rec.To(fade->AForm->Handle());
  ASSERT_FALSE(pushes.empty());
  // The glow band's corner pixel and its clear middle.
  EXPECT_EQ(pushes[0].Pixel(0, 0) >> 24, 160u);
  EXPECT_EQ(pushes[0].Pixel(pushes[0].Size.cx / 2, pushes[0].Size.cy / 2), 0u);
}

// The update's progress window, skinned at run time as the handler selection does it: its
// close button lights up, and a press and release on it cancel the update.
TEST_F(CaptionButtons, TheProgressWindowsCloseButtonCancelsTheUpdate) {
  auto* progress = CreateComponent<TFormProgress>(&Application());
  int cancels = 0;
  progress->OnCancel = [&] { ++cancels; };
  progress->Show();
  PumpMessagesFor(100);
  Wnd = progress->Handle();
  P = nullptr;
  for (TComponent* c : progress->Components())
    if (auto* p = dynamic_cast<TsSkinProvider*>(c)) P = p;
  if (!P) {
    P = TsSkinProvider::CreateRT(progress);
    P->SkinManager = M;
    SetWindowPos(Wnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    PumpMessagesFor(100);
  }
  ASSERT_TRUE(P->FCommonData->Skinned());
  RedrawWindow(Wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessagesFor(50);
  const POINT pt = At(P->ButtonClose.cpRect);
  TMessage probe{WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y), 0};
  ASSERT_EQ(P->HitTest(probe), HTCLOSE);
  Send(WM_NCMOUSEMOVE, HTCLOSE, pt);
  EXPECT_EQ(P->ButtonClose.cpState, 1);
  EXPECT_NE(P->ButtonClose.cpTimer, nullptr);
  Send(WM_NCLBUTTONDOWN, HTCLOSE, pt);
  Send(WM_NCLBUTTONUP, HTCLOSE, pt);
  PumpMessages();
  EXPECT_EQ(cancels, 1);
  EXPECT_FALSE(IsWindowVisible(Wnd));
  TComponent::Free(progress);
}

TEST_F(CaptionButtons, AUserTitleButtonShowsItsHintWhileHotAndFreesItOnLeaving) {
  Form = CreateComponent<TCaptionForm>(nullptr);
  Form->SetBorderIcons(biSystemMenu | biMinimize | biMaximize);
  P = NewComponent<TsSkinProvider>(Form);
  P->SkinManager = M;
  TsTitleButton* button = P->TitleButtons().Add();
  button->Hint = L"Pin the window";
  Form->Show();
  Form->SetBounds(80, 70, 360, 220);
  PumpMessagesFor(100);
  Wnd = Form->Handle();
  ASSERT_GT(button->Data.cpRect.Width(), 0);
  const POINT pt = At(button->Data.cpRect);
  Send(WM_NCMOUSEMOVE, 1000, pt);
  EXPECT_EQ(P->CurrentHT, 1000);
  EXPECT_EQ(button->Data.cpState, 1);
  ASSERT_NE(button->HintWnd, nullptr);
  EXPECT_EQ(button->HintWnd->ClassName(), L"THintWindow");
  HWND hint = button->HintWnd->Handle();
  EXPECT_TRUE(IsWindowVisible(hint));
  Send(WM_NCMOUSEMOVE, HTCAPTION, OnCaption());
  EXPECT_EQ(button->Data.cpState, 0);
  EXPECT_EQ(button->HintWnd, nullptr);
  EXPECT_FALSE(IsWindow(hint));
}

TEST_F(CaptionButtons, PressAndReleaseOnMinimizeAndMaximizeAct) {
  Make();
  const POINT maxPt = At(P->ButtonMax.cpRect);
  Send(WM_NCLBUTTONDOWN, HTMAXBUTTON, maxPt);
  EXPECT_EQ(P->ButtonMax.cpState, 2);
  Send(WM_NCLBUTTONUP, HTMAXBUTTON, maxPt);
  PumpMessagesFor(50);
  EXPECT_TRUE(IsZoomed(Wnd));
  EXPECT_FALSE(P->biClicked);
  // The maximized form's button restores it.
  const POINT restorePt = At(P->ButtonMax.cpRect);
  Send(WM_NCLBUTTONDOWN, HTMAXBUTTON, restorePt);
  Send(WM_NCLBUTTONUP, HTMAXBUTTON, restorePt);
  PumpMessagesFor(50);
  EXPECT_FALSE(IsZoomed(Wnd));
  const POINT minPt = At(P->ButtonMin.cpRect);
  Send(WM_NCLBUTTONDOWN, HTMINBUTTON, minPt);
  Send(WM_NCLBUTTONUP, HTMINBUTTON, minPt);
  PumpMessagesFor(50);
  EXPECT_TRUE(IsIconic(Wnd));
  EXPECT_EQ(P->CurrentHT, 0);
}

TEST_F(CaptionButtons, WithoutGlowingAStateIsDrawnStraightIntoTheFrame) {
  M->Effects.AllowGlowing = false;
  Make();
  Send(WM_NCMOUSEMOVE, HTCLOSE, At(P->ButtonClose.cpRect));
  EXPECT_EQ(P->ButtonClose.cpState, 1);
  EXPECT_EQ(P->ButtonClose.cpTimer, nullptr);  // no fade window
  TBitmap* cache = P->FCommonData->FCacheBmp.get();
  ASSERT_NE(cache, nullptr);
  const TRect& r = P->ButtonClose.cpRect;
  const TPoint mid{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  EXPECT_EQ(cache->Canvas().Pixel(mid.X, mid.Y), TColor(0x4040E0));  // the hot cell, #E04040
  HDC dc = GetWindowDC(Wnd);
  EXPECT_EQ(GetPixel(dc, mid.X, mid.Y), COLORREF(0x4040E0));
  ReleaseDC(Wnd, dc);
  // Leaving draws the normal cell (#C02020) again from the saved caption background.
  Send(WM_NCMOUSEMOVE, HTCAPTION, OnCaption());
  EXPECT_EQ(cache->Canvas().Pixel(mid.X, mid.Y), TColor(0x2020C0));
}

namespace {
// A provider that notes where its system menu would drop.
class TMenuProvider : public TsSkinProvider {
public:
  using TsSkinProvider::TsSkinProvider;
  void DropSysMenu(int X, int Y) override { Drops.push_back(POINT{X, Y}); }
  std::vector<POINT> Drops;
};
}  // namespace

TEST_F(CaptionButtons, ARightClickOnTheCaptionDropsTheSystemMenuAtThePoint) {
  Form = CreateComponent<TCaptionForm>(nullptr);
  auto* p = NewComponent<TMenuProvider>(Form);
  P = p;
  P->SkinManager = M;
  Form->Show();
  Form->SetBounds(80, 70, 360, 220);
  PumpMessagesFor(100);
  Wnd = Form->Handle();
  const POINT pt = OnCaption();
  Send(WM_NCRBUTTONDOWN, HTCAPTION, pt);
  EXPECT_TRUE(P->RightPressed);
  Send(WM_NCRBUTTONUP, HTCAPTION, pt);
  EXPECT_FALSE(P->RightPressed);
  ASSERT_EQ(p->Drops.size(), 1u);
  EXPECT_EQ(p->Drops[0].x, pt.x);
  EXPECT_EQ(p->Drops[0].y, pt.y);
}

TEST_F(CaptionButtons, AHotTitleBarItemWaitsTheHintPauseForItsHint) {
  Make();
  auto* bar = NewComponent<TsTitleBar>(Form);
  TacTitleBarItem* item = bar->Items().Add();
  item->Hint = L"Settings";
  item->ShowHint = true;
  int enters = 0, leaves = 0;
  item->OnMouseEnter = [&](TacTitleBarItem*) { ++enters; };
  item->OnMouseLeave = [&](TacTitleBarItem*) { ++leaves; };
  TacTitleBarItem* it = item;
  P->WriteTitleBar(bar);
  RepaintFormFrame(P);  // the layout places the item
  ASSERT_GT(it->Rect.Width(), 0);
  Form->ShowHint = true;
  const int savedPause = Application().HintPause;
  Application().HintPause = 400;
  const POINT pt = At(it->Rect);
  TMessage probe{WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y), 0};
  ASSERT_EQ(P->HitTest(probe), 2000);
  Send(WM_NCMOUSEMOVE, 2000, pt);
  EXPECT_EQ(P->CurrentHT, 2000);
  EXPECT_EQ(it->State(), 1);
  EXPECT_EQ(enters, 1);
  ASSERT_NE(P->FHintTimer, nullptr);
  EXPECT_TRUE(P->FHintTimer->Enabled());
  EXPECT_EQ(P->FHintTimer->Interval(), 400u);
  EXPECT_EQ(P->FHintTimer->Item, it);
  RECT wr{};
  GetWindowRect(Wnd, &wr);
  EXPECT_EQ(P->FHintRect.Left, wr.left + it->Rect.Left);
  EXPECT_EQ(P->FHintRect.Top, wr.top + it->Rect.Top);
  // Leaving the item: its leave event, the normal state and no hint waiting.
  Send(WM_NCMOUSEMOVE, HTCAPTION, OnCaption());
  EXPECT_EQ(leaves, 1);
  EXPECT_EQ(it->State(), 0);
  EXPECT_EQ(P->FHintTimer, nullptr);
  Application().HintPause = savedPause;
  P->WriteTitleBar(nullptr);
}
