// A caption of the test skin's TESTTEXT section on a real window under Xvfb: the glow of
// the state behind it, one contour colour on each side of the ink, read back from the
// screen. TARVEL_SHOW_SECONDS=N keeps the window up N seconds for a look.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "ReaderFixtures.h"
#include "SkinBuilder.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

namespace {

constexpr int WindowW = 360, WindowH = 90;
constexpr TRect TextRect = {20, 15, 340, 75};
constexpr UINT TextFormat = DT_SINGLELINE | DT_CENTER | DT_VCENTER;

class TCaptionWindow {
public:
  TCaptionWindow(TsSkinManager* manager, int section) : FManager(manager), FSection(section) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarvelTextOnScreen";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    Wnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 40, 40, WindowW, WindowH,
                          nullptr, nullptr, wc.hInstance, this);
  }
  ~TCaptionWindow() {
    if (Wnd) DestroyWindow(Wnd);
  }
  TCaptionWindow(const TCaptionWindow&) = delete;

  std::unique_ptr<TBitmap> Shot() {
    for (int i = 0; i < 3; ++i) {
      RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      PumpMessagesFor(150);
    }
    auto shot = NewBitmap32(WindowW, WindowH);
    POINT origin = {0, 0};
    ClientToScreen(Wnd, &origin);
    HDC screen = GetDC(nullptr);
    BitBlt(shot->Canvas().Handle(), 0, 0, WindowW, WindowH, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();
    if (const char* show = std::getenv("TARVEL_SHOW_SECONDS")) PumpMessagesFor(static_cast<DWORD>(std::atoi(show)) * 1000);
    return shot;
  }

  HWND Wnd = nullptr;

private:
  // The caption as a skinned control paints it: the section's colour, the glow into the
  // work bitmap, then the text with its contours.
  void Paint(HDC dc) {
    const TsGenState& state = FManager->CommonSkinData(96)->gd[FSection].Props[0];
    auto work = NewBitmap32(WindowW, WindowH);
    FillRectArgb(work.get(), Rect(0, 0, WindowW, WindowH), state.Color, 255);
    TFont& font = work->Canvas().Font;
    font.Name = L"Tahoma";
    font.Height = -32;
    font.Style = fsBold;
    std::unique_ptr<TBitmap> stencil;
    DrawTextGlow(work.get(), L"Tarvel", TextRect, TextFormat, 15, state.GlowSize, state.GlowColor, stencil);
    TRect r = TextRect;
    DrawSkinTextOnCanvas(&work->Canvas(), L"Tarvel", true, r, TextFormat, FSection, 0, FManager);
    BitBlt(dc, 0, 0, WindowW, WindowH, work->Canvas().Handle(), 0, 0, SRCCOPY);
  }

  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
      SetWindowLongPtrW(wnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<TCaptionWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_PAINT && self) {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      self->Paint(dc);
      EndPaint(wnd, &ps);
      return 0;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
  }

  TsSkinManager* FManager;
  int FSection;
};

std::uint32_t Rgb(TBitmap* shot, int x, int y) { return TSkinBuilder::Get(shot, x, y) & 0xFFFFFF; }

TEST(TextOnScreen, CaptionShowsItsContoursOnTheirSidesAndItsGlow) {
  TsSkinManager* manager = CreateComponent<TsSkinManager>(nullptr);
  manager->SetSkinDirectory(ReaderFixture(L"skins"));
  manager->SetSkinName(L"Tarvel Test");
  ASSERT_TRUE(manager->IsActive());
  TacSkinData* data = manager->CommonSkinData(96);
  const int section = data->GetSkinIndex(L"TESTTEXT");
  ASSERT_GE(section, 0);
  const TsGenState& state = data->gd[section].Props[0];
  ASSERT_GT(state.GlowSize, 0);
  {
    TCaptionWindow window(manager, section);
    ASSERT_NE(window.Wnd, nullptr);
    auto shot = window.Shot();

    // A pixel fully in a contour's colour lies where the text, drawn last in its own colour,
    // left it uncovered, one pixel to that contour's side of a fully inked pixel.
    const std::uint32_t ink = SwapRedBlue(state.FontColor.Color) & 0xFFFFFF;
    const struct {
      TColor Color;
      int DX, DY;
      const char* Side;
    } sides[] = {{state.FontColor.Left, -1, 0, "left"},
                 {state.FontColor.Top, 0, -1, "top"},
                 {state.FontColor.Right, 1, 0, "right"},
                 {state.FontColor.Bottom, 0, 1, "bottom"}};
    for (const auto& side : sides) {
      const std::uint32_t colour = SwapRedBlue(side.Color) & 0xFFFFFF;
      int count = 0;
      for (int y = 1; y + 1 < WindowH; ++y)
        for (int x = 1; x + 1 < WindowW; ++x) {
          if (Rgb(shot.get(), x, y) != colour) continue;
          ++count;
          EXPECT_EQ(ink, Rgb(shot.get(), x - side.DX, y - side.DY)) << side.Side << " at " << x << "," << y;
        }
      EXPECT_GT(count, 5) << side.Side;
    }
    // The glow brightens the section's colour around the text, far from the window's edge
    // and beyond the contours.
    const std::uint32_t fill = SwapRedBlue(state.Color) & 0xFFFFFF;
    EXPECT_EQ(fill, TSkinBuilder::Get(shot.get(), 2, 2) & 0xFFFFFF);
    int brighter = 0;
    for (int y = 0; y < WindowH; ++y)
      for (int x = 0; x < WindowW; ++x) {
        const std::uint32_t p = TSkinBuilder::Get(shot.get(), x, y) & 0xFFFFFF;
        brighter += p != fill && (p & 0xFF) > (fill & 0xFF) && ((p >> 8) & 0xFF) > ((fill >> 8) & 0xFF) &&
                    ((p >> 16) & 0xFF) > ((fill >> 16) & 0xFF);
      }
    EXPECT_GT(brighter, 100);
  }
  TComponent::Free(manager);
}

}  // namespace
