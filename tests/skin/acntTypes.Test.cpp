#include <gtest/gtest.h>

#include "platform/ui/Forms.h"
#include "skin/graphics/acntTypes.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

TEST(GlowForm, IsABorderlessToolWindowThatNeverActivatesOrCastsAShadow) {
  Application().Initialize();
  auto* glow = NewComponent<TacGlowForm>(nullptr);
  EXPECT_EQ(glow->Tag, 256);
  EXPECT_EQ(glow->BorderStyle(), bsNone);
  EXPECT_TRUE(glow->TransparentMouse);
  EXPECT_EQ(glow->AlphaBmp, nullptr);
  HWND wnd = glow->Handle();
  const LONG ex = GetWindowLongW(wnd, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(ex & WS_EX_NOACTIVATE);
  EXPECT_FALSE(GetWindowLongW(wnd, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME));
  EXPECT_FALSE(GetClassLongW(wnd, GCL_STYLE) & CS_DROPSHADOW);
  // Its class is its own: a plain form's class is not touched.
  auto* plain = new TForm(nullptr);
  wchar_t glowClass[64], plainClass[64];
  GetClassNameW(wnd, glowClass, 64);
  GetClassNameW(plain->Handle(), plainClass, 64);
  EXPECT_STRNE(glowClass, plainClass);
  TComponent::Free(plain);
  glow->AlphaBmp = std::make_unique<TBitmap>();
  TComponent::Free(glow);  // frees its image too

  // The tag follows SkipSkinningTag as it is when the form is made.
  SkipSkinningTag = 512;
  glow = NewComponent<TacGlowForm>(nullptr);
  EXPECT_EQ(glow->Tag, 512);
  SkipSkinningTag = 256;
  TComponent::Free(glow);
}

TEST(GlowForm, AnswersTheHitTestAsTransparentWhileTransparentMouse) {
  Application().Initialize();
  auto* glow = NewComponent<TacGlowForm>(nullptr);
  glow->SetBounds(220, 220, 100, 80);
  glow->SetClientSize(100, 80);
  ShowWindow(glow->Handle(), SW_SHOWNOACTIVATE);
  EXPECT_EQ(SendMessageW(glow->Handle(), WM_NCHITTEST, 0, MAKELPARAM(250, 250)), HTTRANSPARENT);
  // Without TransparentMouse it answers for itself.
  glow->TransparentMouse = false;
  EXPECT_NE(SendMessageW(glow->Handle(), WM_NCHITTEST, 0, MAKELPARAM(250, 250)), HTTRANSPARENT);
  TComponent::Free(glow);
}

TEST(GlowForm, HidingKeepsTheForegroundWindow) {
  Application().Initialize();
  auto* front = new TForm(nullptr);
  front->SetBounds(100, 100, 300, 200);
  front->Show();
  SetForegroundWindow(front->Handle());
  PumpMessagesFor(100);
  ASSERT_EQ(GetForegroundWindow(), front->Handle());
  auto* glow = NewComponent<TacGlowForm>(nullptr);
  glow->SetBounds(150, 150, 100, 80);
  // Both ways a window is hidden: the framework's and the system's.
  for (int way = 0; way < 2; ++way) {
    SCOPED_TRACE(way == 0 ? "Hide" : "ShowWindow");
    if (way == 0)
      glow->Show();
    else
      ShowWindow(glow->Handle(), SW_SHOWNOACTIVATE);
    SetForegroundWindow(front->Handle());
    PumpMessagesFor(50);
    ASSERT_EQ(GetForegroundWindow(), front->Handle());
    ASSERT_TRUE(IsWindowVisible(glow->Handle()));
    if (way == 0)
      glow->Hide();
    else
      ShowWindow(glow->Handle(), SW_HIDE);
    PumpMessagesFor(50);
    EXPECT_FALSE(IsWindowVisible(glow->Handle()));
    EXPECT_EQ(GetForegroundWindow(), front->Handle());
  }
  TComponent::Free(glow);
  TComponent::Free(front);
}

TEST(GlowForm, ScalesWithTheFrameworkOnlyWithoutManagerOrInItsVclMode) {
  Application().Initialize();
  ASSERT_EQ(DefaultManager(), nullptr);
  struct TCase {
    bool Manager;
    TsSkinManager::TacScaleMode Mode;
    bool Scaled;
  };
  const TCase cases[] = {{false, smVCL, true}, {true, smVCL, true}, {true, smAuto, false}, {true, sm100, false}};
  for (const TCase& c : cases) {
    TsSkinManager* manager = nullptr;
    if (c.Manager) {
      manager = new TsSkinManager(nullptr);
      manager->Options.ScaleMode.Store(c.Mode);
    }
    auto* glow = NewComponent<TacGlowForm>(nullptr);
    EXPECT_EQ(glow->Scaled, c.Scaled) << c.Manager << " " << c.Mode;
    TComponent::Free(glow);
    delete manager;
  }
  EXPECT_EQ(MakeRect(1, 2, 3, 4), (TRect{1, 2, 3, 4}));
}
