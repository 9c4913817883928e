// The common handling with real windows under the mouse: hover flags and state colours as
// the cursor enters and leaves, and the device contexts given back on every leave.
#include <gtest/gtest.h>

#include <algorithm>

#include "CommonHandlingFixtures.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "support/ShellHarness.h"
#include "ui/GdiCounter.h"

namespace {

constexpr int kLeft = 100, kTop = 100;

struct TMouseStage {
  TTestSkin Skin{L"EDIT", L"BUTTON", L"PANEL"};
  TSkinForm* Form;
  TMouseStage() {
    for (auto& section : Skin.Data().gd) {
      section.Props[0].Color = 0x202020;
      section.Props[1].Color = 0x404040;
      section.Props[0].FontColor.Color = 0x010101;
      section.Props[1].FontColor.Color = 0x020202;
    }
    Application().Initialize();
    Form = CreateComponent<TSkinForm>(nullptr);
    Form->SetBorderStyle(bsNone);
    Form->SetClientSize(400, 200);
  }
  void Show() {
    Form->Show();
    SetWindowPos(Form->Handle(), HWND_TOPMOST, kLeft, kTop, 0, 0, SWP_NOSIZE);
    SetForegroundWindow(Form->Handle());
    Park();
  }
  // The cursor far from the form, and the messages of the way there handled.
  void Park() {
    SetCursorPos(900, 900);
    WaitUntil([] { return false; }, 200);
  }
  void MoveTo(int x, int y) {
    SetCursorPos(kLeft + x, kTop + y);
    WaitUntil([] { return false; }, 150);
  }
  ~TMouseStage() { TComponent::Free(Form); }
};

}  // namespace

TEST(CommonHandlingOnScreen, MouseEnterAndLeave) {
  TMouseStage stage;
  auto* button = new TCommonWin(stage.Form, stage.Form, COC_TsCustom, L"BUTTON");
  button->SetBounds(10, 10, 100, 100);
  auto* inner = new TSkinWin(stage.Form, false, button);
  inner->SetBounds(50, 50, 40, 40);
  auto* edit = new TCommonWin(stage.Form, stage.Form, COC_TsEdit, L"EDIT");
  edit->SetBounds(150, 10, 100, 100);
  auto* panel = new TCommonWin(stage.Form, stage.Form, COC_TsPanel, L"PANEL");
  panel->SetBounds(280, 10, 100, 100);
  stage.Show();
  for (TWinControl* c : {static_cast<TWinControl*>(button), static_cast<TWinControl*>(edit),
                         static_cast<TWinControl*>(panel)})
    c->Handle();
  inner->Handle();

  stage.Skin.Data().gd[1].GlowCount = 1;  // the button asks for a hover glow: its window DC is read
  TGdiCounter gdi;
  const long balance = gdi.Balance();

  // Enter: the flag, and the hot state for a kind that has one.
  stage.MoveTo(30, 30);
  EXPECT_TRUE(WaitUntil([&] { return button->State->FMouseAbove; }, 5000));
  EXPECT_EQ(IsHot(button->State.get()), 1);
  // Onto a child window of the owner: still above it.
  stage.MoveTo(75, 75);
  EXPECT_TRUE(button->State->FMouseAbove);
  // A real leave clears it (from the owner itself: the child's window has the mouse tracked
  // for it while the cursor is over it).
  stage.MoveTo(30, 30);
  stage.MoveTo(130, 150);
  EXPECT_TRUE(WaitUntil([&] { return !button->State->FMouseAbove; }, 5000));

  // An edit keeps its colours on enter and is hot only by its focus; leaving writes state 0's.
  edit->SetColor(0x777777);
  stage.MoveTo(200, 50);
  EXPECT_TRUE(WaitUntil([&] { return edit->State->FMouseAbove; }, 5000));
  EXPECT_EQ(edit->Color(), 0x777777);
  EXPECT_EQ(IsHot(edit->State.get()), 0);
  stage.MoveTo(200, 150);
  EXPECT_TRUE(WaitUntil([&] { return !edit->State->FMouseAbove; }, 5000));
  EXPECT_EQ(edit->Color(), 0x202020);

  // A kind without hover never gets the flag.
  stage.MoveTo(330, 50);
  WaitUntil([] { return false; }, 300);
  EXPECT_FALSE(panel->State->FMouseAbove);
  stage.MoveTo(330, 150);

  // Every device context taken on the way was given back.
  EXPECT_EQ(gdi.Balance(), balance);

  // Without hover: the enter only records the mouse, and the leave does nothing.
  stage.Skin.Manager->Options.NoMouseHover = true;
  edit->SetColor(0x777777);
  stage.MoveTo(200, 50);
  EXPECT_TRUE(WaitUntil([&] { return edit->State->FMouseAbove; }, 5000));
  stage.MoveTo(200, 150);
  WaitUntil([] { return false; }, 300);
  EXPECT_TRUE(edit->State->FMouseAbove);
  EXPECT_EQ(edit->Color(), 0x777777);
  stage.Skin.Manager->Options.NoMouseHover = false;
  stage.Park();
}

namespace {

// An owner that paints its cache to its window, rendering it first when stale, and renders it
// again in the state IsHot gives once the common handling has seen the mouse or the focus.
class TPaintedOwner : public TCommonWin {
public:
  using TCommonWin::TCommonWin;

protected:
  void WndProc(TMessage& m) override {
    TCommonWin::WndProc(m);
    switch (m.Msg) {
      case CM_MOUSEENTER:
      case CM_MOUSELEAVE:
      case WM_SETFOCUS:
      case WM_KILLFOCUS: State->Invalidate(false); break;
      default: break;
    }
  }
  void EraseBackground(HDC) override {}
  void PaintWindow(HDC dc) override {
    if (State->BGChanged || State->FCacheBmp->Empty()) Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_PREPARE_CACHE), 0);
    BitBlt(dc, 0, 0, Width(), Height(), State->FCacheBmp->Canvas().Handle(), 0, 0, SRCCOPY);
  }
};

// The child's skin over what its parent shows now, in the state it is drawn in, as the
// engine's controls render their caches.
void RenderOnParent(TsCommonData& state) {
  state.InitCacheBitmap();
  TControl* owner = state.FOwnerControl;
  PaintControlSkinOnParent(&state, owner->Parent(), IsHot(&state), TRect{0, 0, owner->Width(), owner->Height()},
                           TPoint{owner->Left(), owner->Top()}, state.FCacheBmp.get(), true);
  // Tone and hue as the owner is set up, then the cut corners take the parent's pixels.
  ApplyColorEffects(state.FCacheBmp.get(), &state, clNone, IsHot(&state));
}

// Horizontal stripes: the parent's own skin, which must show through its translucent child.
void RenderStripes(TsCommonData& state) {
  state.InitCacheBitmap();
  TCanvas& canvas = state.FCacheBmp->Canvas();
  for (int y = 0; y < state.FCacheBmp->Height(); y += 4) {
    canvas.Brush.Color = (y / 4) % 2 ? 0x804020 : 0x20C0C0;
    canvas.FillRect(TRect{0, y, state.FCacheBmp->Width(), y + 4});
  }
}

// A border of three state cells 12 x 12 in the master bitmap: a dark frame with cut
// (key-colour) corners, its middle left to the background.
int AddRoundBorder(TTestSkin& skin, int section) {
  TBitmap* master = skin.Manager->MasterBitmap();
  master->SetPixelFormat(pf32bit);
  master->SetSize(36, 12);
  for (int y = 0; y < 12; ++y) {
    auto* row = static_cast<std::uint32_t*>(master->ScanLine(y));
    for (int x = 0; x < 36; ++x) {
      const int cx = x % 12, dx = std::min(cx, 11 - cx), dy = std::min(y, 11 - y);
      row[x] = dx + dy < 3 ? 0x00FF00FFu : 0xFF202020u;  // key pixels as a loaded skin has them
    }
  }
  TacSkinData& data = skin.Data();
  const int mask = data.AddMask(section, L"BORDERSMASK", 0, 0, 3, TRect{0, 0, 36, 12}, itisaBorder,
                                data.gd[section].ClassName);
  TsMaskData& m = data.ma[mask];
  m.WL = m.WT = m.WR = m.WB = 4;
  m.Width = m.Height = 12;
  m.Cfg = 3;  // its corners hold key pixels, as the loader finds them
  data.gd[section].BorderIndex = mask;
  return mask;
}

// A pixel of what the form shows, read from its own window surface (test programs that run
// beside this one may put their windows over it on the shared display).
HWND gShownForm = nullptr;
COLORREF ScreenPixel(int x, int y) {
  HDC dc = GetDC(gShownForm);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(gShownForm, dc);
  return c;
}

}  // namespace

TEST(CommonHandlingOnScreen, TranslucentChildShowsItsParentAndTakesItsActiveLook) {
  TMouseStage stage;
  TacSkinData& d = stage.Skin.Data();
  const int parentSection = d.AddSection(L"PARENT", -1, 2, 0, 0x804020, 0);
  d.gd[parentSection].Props[0].ImagePercent = 1;  // not a plain colour: it answers its cache
  const int solid = d.AddSection(L"SOLID", -1, 2, 0, 0x00A000, 0);
  d.gd[solid].Props[1].Color = 0x00FF00;
  const int round = d.AddSection(L"ROUND", -1, 2, 50, 0x0000C0, 0);
  d.gd[round].Props[1].Color = 0x00C0C0;
  AddRoundBorder(stage.Skin, round);

  auto* parent = new TPaintedOwner(stage.Form, stage.Form, COC_TsCustom, L"PARENT");
  parent->Render = RenderStripes;
  parent->SetBounds(0, 0, 400, 200);
  auto* opaque = new TPaintedOwner(stage.Form, parent, COC_TsCustom, L"SOLID");
  opaque->Render = RenderOnParent;
  opaque->SetBounds(20, 20, 120, 80);
  auto* glass = new TPaintedOwner(stage.Form, parent, COC_TsEdit, L"ROUND");
  glass->Render = RenderOnParent;
  glass->SetBounds(180, 20, 120, 80);
  glass->SetTabStop(true);
  stage.Show();
  for (TWinControl* c : {static_cast<TWinControl*>(parent), static_cast<TWinControl*>(opaque),
                         static_cast<TWinControl*>(glass)})
    c->Handle();
  gShownForm = stage.Form->Handle();
  RedrawWindow(stage.Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  WaitUntil([] { return false; }, 300);

  // The opaque child in its own colour; the parent's stripes around it.
  EXPECT_EQ(ScreenPixel(60, 60), 0x00A000u);
  EXPECT_EQ(ScreenPixel(10, 10), 0x20C0C0u & 0xFFFFFF);
  // The translucent child: its colour mixed with the stripes behind it, which still show.
  const COLORREF a = ScreenPixel(240, 50), b = ScreenPixel(240, 54);
  EXPECT_NE(a, b);
  for (COLORREF c : {a, b}) {
    EXPECT_NE(c, 0x0000C0u);
    EXPECT_NE(c, 0x804020u);
    EXPECT_NE(c, 0x20C0C0u);
  }
  // Its cut corner shows the parent as it is; the frame beside it is the border's.
  EXPECT_EQ(ScreenPixel(180, 20), ScreenPixel(178, 20));
  EXPECT_EQ(ScreenPixel(181, 24), 0x202020u);

  // Focus gives the translucent edit its active look; the mouse gives the opaque one its.
  SetFocus(glass->Handle());
  WaitUntil([] { return false; }, 300);
  const COLORREF focused = ScreenPixel(240, 50);
  EXPECT_NE(focused, a);
  EXPECT_GT(GetGValue(focused), GetGValue(a));  // towards state 1's yellow
  stage.MoveTo(60, 60);
  WaitUntil([&] { return ScreenPixel(60, 60) == 0x00FF00u; }, 5000);
  EXPECT_EQ(ScreenPixel(60, 60), 0x00FF00u);
  stage.MoveTo(60, 150);
  WaitUntil([&] { return ScreenPixel(60, 60) == 0x00A000u; }, 5000);
  EXPECT_EQ(ScreenPixel(60, 60), 0x00A000u);
  stage.Park();
}
