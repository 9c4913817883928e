// The speed-button handler on window-less buttons of a real form: glyph and caption laid out
// by layout with an automatic margin, the pressed shift, the up-down's arrow buttons, and
// the button's own procedure given back exactly once, whichever of skin removal, the
// button's destruction, the parent window's end or the handler's deletion comes first.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "HandlerFixtures.h"
#include "platform/ui/Buttons.SpeedButton.h"
#include "platform/ui/ExtCtrls.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"

using namespace handler_tests;

namespace {

// The colours of tools/make_skin.py's bar skins (0x00RRGGBB).
constexpr std::uint32_t SpeedButtonColour[3] = {0x5020C0, 0x6040D0, 0x7060E0};
constexpr std::uint32_t ArrowColour = 0xF0F0F0;

class SpeedButtonHandlers : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"skins-bars"));
    M->SetSkinName(L"Tarvel Bars");
    ASSERT_TRUE(M->IsActive());
    Form.Tag = 256;  // the form itself stays unskinned
    Form.SetClientSize(300, 200);
    Form.Show();
    Form.SetBounds(20, 20, 320, 240);
  }
  void TearDown() override {
    for (auto& h : Handlers) h.reset();
    Data.clear();
    TComponent::Free(M);
  }
  // A handler as the control adapter makes one: with a skin state of its own.
  TacSpeedButtonHandler* Hook(TControl* Button, const wchar_t* Section = L"SPEEDBUTTON") {
    Data.push_back(std::make_unique<TsCommonData>(Button, true));
    Data.back()->COC = COC_TsGraphItem;
    Data.back()->WriteSkinSection(Section);
    Handlers.push_back(std::make_unique<TacSpeedButtonHandler>(Button, true, Section, M, Data.back().get()));
    return Handlers.back().get();
  }
  template <class T = TSpeedButton>
  T* NewButton(TWinControl* Parent, int X, int Y, int W, int H, const wchar_t* Caption = L"") {
    auto* b = new T(&Form);
    b->SetBounds(X, Y, W, H);
    b->SetCaption(Caption);
    b->SetParent(Parent);
    return b;
  }
  void Repaint() {
    RedrawWindow(Form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessagesFor(30);
  }
  TsSkinManager* M = nullptr;
  TForm Form{nullptr};
  std::vector<std::unique_ptr<TsCommonData>> Data;
  std::vector<std::unique_ptr<TacSpeedButtonHandler>> Handlers;
};

// A 16 x 16 glyph of one colour.
void SetGlyph(TSpeedButton* B) {
  B->Glyph().SetPixelFormat(pf32bit);
  B->Glyph().SetSize(16, 16);
  RECT r{0, 0, 16, 16};
  HBRUSH brush = CreateSolidBrush(RGB(0, 0xC0, 0));
  FillRect(B->Glyph().Canvas().Handle(), &r, brush);
  DeleteObject(brush);
}

}  // namespace

// With an automatic margin glyph and caption are one centred block: the glyph-right layout
// mirrors the glyph-left one, glyph-bottom mirrors glyph-top.
TEST_F(SpeedButtonHandlers, AutomaticMarginCentresGlyphAndCaptionAsOneBlock) {
  TSpeedButton* b = NewButton(&Form, 10, 10, 120, 60, L"Go on");
  SetGlyph(b);
  TacSpeedButtonHandler* h = Hook(b);
  h->PrepareCache();
  const int W = b->Width(), H = b->Height();
  struct TLayout {
    TButtonLayout Layout;
    TRect Img, Text;
  };
  std::vector<TLayout> got;
  for (TButtonLayout l : {blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom}) {
    b->SetLayout(l);
    got.push_back({l, h->ImgRect(), h->CaptionRect()});
  }
  const TLayout &left = got[0], &right = got[1], &top = got[2], &bottom = got[3];
  EXPECT_EQ(right.Img.Left, W - left.Img.Right);
  EXPECT_EQ(right.Text.Left, W - left.Text.Right);
  EXPECT_EQ(left.Img.Right + b->Spacing(), left.Text.Left);
  // The block's margins left and right differ by the rounding of one division at most.
  EXPECT_LE(std::abs(left.Img.Left - (W - left.Text.Right)), 1);
  EXPECT_EQ(bottom.Img.Top, H - top.Img.Bottom);
  EXPECT_EQ(top.Img.Bottom + b->Spacing(), top.Text.Top);
  EXPECT_EQ(left.Img.Width(), 16);
  EXPECT_EQ(left.Img.Height(), 16);
  // A fixed margin puts the glyph there.
  b->SetLayout(blGlyphLeft);
  b->SetMargin(3);
  EXPECT_EQ(h->ImgRect().Left, 3);
  b->SetMargin(-1);
  b->SetLayout(blGlyphRight);
  b->SetMargin(3);
  EXPECT_EQ(h->ImgRect().Right, W - 3);
}

// A pressed button in a skin whose section shifts its content moves glyph and caption one
// pixel right and down, and shows the pressed state.
TEST_F(SpeedButtonHandlers, PressedButtonShiftsItsContent) {
  TSpeedButton* b = NewButton(&Form, 10, 10, 120, 40, L"Press");
  SetGlyph(b);
  TacSpeedButtonHandler* h = Hook(b);
  h->PrepareCache();
  const TRect img = h->ImgRect(), text = h->CaptionRect();
  b->FState = bsDown;
  EXPECT_EQ(h->CurrentState(), 2);
  const TRect img2 = h->ImgRect(), text2 = h->CaptionRect();
  EXPECT_EQ(img2.Left - img.Left, 1);
  EXPECT_EQ(img2.Top - img.Top, 1);
  EXPECT_EQ(text2.Left - text.Left, 1);
  EXPECT_EQ(text2.Top - text.Top, 1);
  Repaint();
  int w = 0, hgt = 0;
  std::vector<std::uint32_t> px = CaptureClient(Form.Handle(), w, hgt);
  EXPECT_EQ(px[static_cast<std::size_t>(12) * w + 12], SpeedButtonColour[2]);
  b->FState = bsUp;
}

// The arrow buttons of an up-down control 40 pixels high: up on the upper (top below 4),
// down on the lower.
TEST_F(SpeedButtonHandlers, UpDownButtonsShowUpAndDownArrows) {
  auto* holder = new TPanel(&Form);
  holder->SetBounds(50, 50, 20, 40);
  holder->SetParent(&Form);
  auto* up = NewButton<TTimerSpeedButton>(holder, 0, 0, 20, 20);
  auto* down = NewButton<TTimerSpeedButton>(holder, 0, 20, 20, 20);
  TacSpeedButtonHandler* hu = Hook(up, L"SPEEDBUTTON_SMALL");
  TacSpeedButtonHandler* hd = Hook(down, L"SPEEDBUTTON_SMALL");
  EXPECT_TRUE(hu->IsUpDown);
  EXPECT_TRUE(hd->IsUpDown);
  // The width of the arrow on its first and last row inside a cache.
  const auto rows = [](TacSpeedButtonHandler* H, int& First, int& Last) {
    ASSERT_TRUE(H->PrepareCache());
    TBitmap* cache = H->SkinData->FCacheBmp.get();
    First = Last = -1;
    for (int y = 0; y < cache->Height(); ++y) {
      int n = 0;
      for (int x = 0; x < cache->Width(); ++x)
        n += ((static_cast<std::uint32_t>(cache->Canvas().Pixel(x, y)) >> 8) & 0xFF) > 0x80;  // green: arrow, not face
      if (n == 0) continue;
      if (First < 0) First = n;
      Last = n;
    }
  };
  int f = 0, l = 0;
  rows(hu, f, l);
  ASSERT_GT(f, 0);
  EXPECT_LT(f, l);  // up: the point on top
  rows(hd, f, l);
  ASSERT_GT(f, 0);
  EXPECT_GT(f, l);  // down: the point at the bottom
  (void)ArrowColour;
}

// Removing the skin gives the button its own painting at once; a later WM_DESTROY puts
// nothing back a second time.
TEST_F(SpeedButtonHandlers, SkinRemovalGivesThePaintingBackOnce) {
  TSpeedButton* b = NewButton(&Form, 10, 10, 60, 30);
  const TWndMethod own = b->WindowProc();
  TacSpeedButtonHandler* h = Hook(b);
  EXPECT_NE(b->WindowProc(), own);
  Repaint();
  int w = 0, hgt = 0;
  std::vector<std::uint32_t> px = CaptureClient(Form.Handle(), w, hgt);
  EXPECT_EQ(px[static_cast<std::size_t>(20) * w + 20], SpeedButtonColour[0]);
  b->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REMOVE_SKIN), reinterpret_cast<LPARAM>(M));
  EXPECT_TRUE(h->Destroyed);
  EXPECT_EQ(b->WindowProc(), own);
  PumpMessagesFor(30);
  px = CaptureClient(Form.Handle(), w, hgt);
  EXPECT_NE(px[static_cast<std::size_t>(20) * w + 20], SpeedButtonColour[0]);
  // Someone else hooks the button now: the later WM_DESTROY must leave that hook alone.
  struct TOther {
    TWndMethod Prev;
    void Proc(TMessage& m) { Prev(m); }
  } other{b->WindowProc()};
  const TWndMethod theirs = MakeWndMethod<&TOther::Proc>(&other);
  b->SetWindowProc(theirs);
  b->Perform(WM_DESTROY, 0, 0);
  EXPECT_EQ(b->WindowProc(), theirs);
  b->SetWindowProc(own);
}

// The button destroyed before its handler, and a button at Left = Tag = 0 whose handler is
// deleted: neither leaves the handler in a WindowProc or a skin state.
TEST_F(SpeedButtonHandlers, NoHandlerIsLeftBehindInAWindowProc) {
  TSpeedButton* gone = NewButton(&Form, 10, 10, 60, 30);
  TacSpeedButtonHandler* h = Hook(gone);
  TsCommonData* data = h->SkinData;
  const TWndMethod ours = gone->WindowProc();
  TComponent::Free(gone);
  EXPECT_EQ(h->Ctrl, nullptr);
  EXPECT_FALSE(h->PCtrl);
  EXPECT_NE(data->WndProc, ours);
  Handlers.back().reset();  // deleting it now touches no freed control

  TSpeedButton* zero = NewButton(&Form, 0, 0, 60, 30);
  zero->Tag = 0;
  const TWndMethod own = zero->WindowProc();
  Hook(zero);
  EXPECT_NE(zero->WindowProc(), own);
  Handlers.back().reset();
  EXPECT_EQ(zero->WindowProc(), own);
  zero->Repaint();  // paints through its own procedure
}

// The end of the parent's window reaches the speed buttons on it through the handler base.
TEST_F(SpeedButtonHandlers, ParentWindowEndGivesTheButtonBack) {
  RegisterStaticHandlerKinds();
  auto* panel = new TPanel(&Form);
  panel->SetBounds(100, 100, 120, 60);
  panel->SetParent(&Form);
  TSpeedButton* b = NewButton(panel, 4, 4, 40, 24);
  const TWndMethod own = b->WindowProc();
  TacSpeedButtonHandler* h = Hook(b);
  TacSkinParams p;
  p.Control = panel;
  TacMainWnd* panelHandler = CreateHandler(L"TacPanelWnd", panel->Handle(), false, p, M, nullptr);
  ASSERT_NE(panelHandler, nullptr);
  panel->DestroyHandle();
  EXPECT_TRUE(h->Destroyed);
  EXPECT_EQ(b->WindowProc(), own);
  FreeHandler(panelHandler);
}
