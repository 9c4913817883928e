// The test skin's sections painted for a layered window, shown under Xvfb through
// UpdateLayeredWindow: see-through corners are clear and translucent pixels premultiplied
// in the bitmap handed over (Xvfb composites no partial alpha, so those are read there),
// opaque ones show on the screen. TARVEL_SHOW_SECONDS=N keeps the window up N seconds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "ReaderFixtures.h"
#include "SkinBuilder.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

// The skin tool's colour scheme (zone_colour in tools/make_skin.py), as pixels.
enum { Corner, Side, Centre, Fill };
std::uint32_t ZonePixel(int section, int zone, int state, std::uint32_t alpha) {
  return alpha << 24 | (0x30u + 0x40 * zone) << 16 | (0x20u + 0x60 * state) << 8 | (0x10u + 0x0C * section);
}

constexpr int TileW = 60, TileH = 40, Gap = 10;
const wchar_t* const Sections[] = {L"TESTKEYBORDER", L"TESTMASKED", L"TESTALPHA40", L"TESTGRADIENT3"};
constexpr int SectionCount = 4, WindowW = Gap + SectionCount * (TileW + Gap), WindowH = TileH + 2 * Gap;

void Pump(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  } while (static_cast<int>(end - GetTickCount()) > 0);
}

TEST(LayeredSectionsOnScreen, SeeThroughCornersAndPremultipliedPixels) {
  TsSkinManager* manager = CreateComponent<TsSkinManager>(nullptr);
  std::unique_ptr<TsSkinManager, void (*)(TsSkinManager*)> owner(manager, [](TsSkinManager* m) { TComponent::Free(m); });
  manager->SetSkinDirectory(ReaderFixture(L"skins"));
  manager->SetSkinName(L"Tarvel Test");
  ASSERT_TRUE(manager->IsActive());
  TacSkinData* data = manager->CommonSkinData();

  // Each section into a clear bitmap of its own, whole (so premultiplied), then side by
  // side into the window's bitmap.
  auto window = NewBitmap32(WindowW, WindowH);
  FillRectArgb(window.get(), Rect(0, 0, WindowW, WindowH), 0, 0);
  std::unique_ptr<TBitmap> tiles[SectionCount];
  for (int s = 0; s < SectionCount; ++s) {
    const int index = data->GetSkinIndex(Sections[s]);
    ASSERT_GE(index, 0) << s;
    tiles[s] = NewBitmap32(TileW, TileH);
    FillRectArgb(tiles[s].get(), Rect(0, 0, TileW, TileH), 0, 0);
    PaintSkinSectionLayered(index, 0, 0, Rect(0, 0, TileW, TileH), Point(0, 0), tiles[s].get(), data);
    BitBlt(window->Canvas().Handle(), Gap + s * (TileW + Gap), Gap, TileW, TileH, tiles[s]->Canvas().Handle(), 0, 0,
           SRCCOPY);
  }
  GdiFlush();
  // Key corners see through to the clear bitmap; sides are the border's, opaque.
  for (int s : {0, 1}) {
    EXPECT_EQ(0u, TSkinBuilder::Get(tiles[s].get(), 0, 0)) << s;
    EXPECT_EQ(0u, TSkinBuilder::Get(tiles[s].get(), TileW - 1, TileH - 1)) << s;
  }
  // A straight pixel as premultiplication gives it.
  auto premultiplied = [](std::uint32_t straight) {
    auto one = NewBitmap32(1, 1);
    TSkinBuilder::Put(one.get(), 0, 0, straight);
    PremultiplyRect(one.get(), Rect(0, 0, 1, 1));
    return TSkinBuilder::Get(one.get(), 0, 0);
  };
  const std::uint32_t side = premultiplied(ZonePixel(3, Side, 0, 255));
  EXPECT_EQ(side, TSkinBuilder::Get(tiles[0].get(), 1, TileH / 2));
  // Transparency 40: the state's colour at alpha 153, premultiplied.
  EXPECT_EQ(premultiplied(ZonePixel(11, Fill, 0, 153)), TSkinBuilder::Get(tiles[2].get(), TileW / 2, TileH / 2));
  // The three-point gradient carries the alpha in both segments.
  for (int y : {0, TileH / 4, TileH / 2, TileH - 1}) EXPECT_EQ(153u, TSkinBuilder::Get(tiles[3].get(), 5, y) >> 24) << y;

  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TarvelLayeredSectionsOnScreen";
  RegisterClassW(&wc);
  HWND wnd = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0,
                             WindowW, WindowH, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(wnd);
  POINT at = {0, 0}, origin = {0, 0};
  SIZE size = {WindowW, WindowH};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  HDC screen = GetDC(nullptr);
  EXPECT_TRUE(UpdateLayeredWindow(wnd, screen, &at, &size, window->Canvas().Handle(), &origin, 0, &blend, ULW_ALPHA));
  ShowWindow(wnd, SW_SHOWNOACTIVATE);
  // An opaque side pixel of the key-colour border shows on the screen as painted.
  const int sx = Gap + 1, sy = Gap + TileH / 2;
  const COLORREF want = RGB((side >> 16) & 0xFF, (side >> 8) & 0xFF, side & 0xFF);
  COLORREF got = 0;
  for (int i = 0; i < 40 && got != want; ++i) {
    Pump(100);
    got = GetPixel(screen, sx, sy);
  }
  EXPECT_EQ(want, got);
  if (const char* show = std::getenv("TARVEL_SHOW_SECONDS")) Pump(static_cast<DWORD>(std::atoi(show)) * 1000);
  ReleaseDC(nullptr, screen);
  DestroyWindow(wnd);
}

}  // namespace
