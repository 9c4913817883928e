// The skinned panel, arc gauge, preloader and labels under the generated test skin, on a real
// window under Xvfb, read back from the screen. TARVEL_SHOW_SECONDS=N keeps the window up N
// seconds for a look.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ReaderFixtures.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acArcControls.h"
#include "skin/controls/sLabel.h"
#include "skin/controls/sPanel.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

namespace {

std::uint32_t PixelAt(TBitmap& bmp, int x, int y) { return static_cast<const std::uint32_t*>(bmp.ScanLine(y))[x] & 0xFFFFFF; }

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8)
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
  return true;
}

std::uint32_t Mix(std::uint32_t bg, std::uint32_t c, int m) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8)
    out |= std::uint32_t((int((bg >> shift) & 0xFF) * m + int((c >> shift) & 0xFF) * (256 - m)) >> 8) << shift;
  return out;
}

// Colours of tools/make_skin.py as 0x00RRGGBB.
constexpr std::uint32_t PanelColour = 0x5A6B7C, LabelText = 0x030201, SelectionHot = 0x664422;

}  // namespace

TEST(SkinnedControlsOnScreen, PanelGaugeSpinnerAndLabelsFromTheTestSkin) {
  Application().Initialize();
  auto* manager = CreateComponent<TsSkinManager>(nullptr);
  manager->SetSkinDirectory(ReaderFixture(L"skins"));
  manager->SetSkinName(L"Tarvel Test");
  ASSERT_TRUE(manager->IsActive());
  auto* form = CreateComponent<TForm>(&Application());
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 330, 120);
  form->SetClientSize(330, 120);
  auto* panel = NewComponent<TsPanel>(form);
  panel->SetBounds(0, 0, 330, 120);
  panel->ShowCaption = false;
  panel->SetParent(form);
  auto* gauge = NewComponent<TsArcGauge>(form);
  gauge->SetBounds(10, 10, 82, 82);
  gauge->SetParent(panel);
  auto* spinner = NewComponent<TsArcPreloader>(form);
  spinner->SetBounds(100, 10, 82, 82);
  spinner->SetAnimated(false);
  spinner->DoProgress(L"", 40);
  spinner->SetParent(panel);
  auto* title = NewComponent<TsLabelFX>(form);
  title->SetBounds(195, 10, 130, 30);
  title->Font.Height = -16;
  title->SetCaption(L"Updating");
  title->SetParent(panel);
  auto* state = NewComponent<TsLabel>(form);
  state->SetBounds(195, 60, 130, 20);
  state->SetCaption(L"37 %");
  state->SetParent(panel);
  form->Show();
  SetWindowPos(form->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  auto shot = NewBitmap32(330, 120);
  for (int i = 0; i < 30; ++i) {
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessagesFor(150);
    POINT origin = {0, 0};
    ClientToScreen(form->Handle(), &origin);
    HDC screen = GetDC(nullptr);
    BitBlt(shot->Canvas().Handle(), 0, 0, 330, 120, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();
    if (i >= 2 && PixelAt(*shot, 320, 110) == PanelColour) break;
  }
  if (const char* show = std::getenv("TARVEL_SHOW_SECONDS")) PumpMessagesFor(DWORD(std::atoi(show)) * 1000);

  // The panel takes "PANEL" by its raised bevel; the arc controls' "TRANSPARENT" shows it.
  EXPECT_EQ(PixelAt(*shot, 320, 110), PanelColour);
  // (the see-through copy of the parent's cache comes out one step darker at most)
  EXPECT_TRUE(Near(PixelAt(*shot, 11, 11), PanelColour, 1));
  EXPECT_TRUE(Near(PixelAt(*shot, 101, 11), PanelColour, 1));
  // The gauge's arc in the hot "SELECTION" colour, its ring in its font colour: the palette's
  // label colour, as no opaque section answers for the see-through one.
  EXPECT_TRUE(Near(PixelAt(*shot, 10 + 77, 10 + 40), SelectionHot, 4)) << std::hex << PixelAt(*shot, 87, 50);
  EXPECT_TRUE(Near(PixelAt(*shot, 10 + 3, 10 + 40), Mix(PanelColour, LabelText, 222), 3))
      << std::hex << PixelAt(*shot, 13, 50) << " want " << Mix(PanelColour, LabelText, 222);
  // The labels draw their text over the panel.
  int ink = 0;
  for (int y = 10; y < 80; ++y)
    for (int x = 195; x < 325; ++x) ink += PixelAt(*shot, x, y) != PanelColour;
  EXPECT_GT(ink, 50);

  TComponent::Free(form);
  TComponent::Free(manager);
}
