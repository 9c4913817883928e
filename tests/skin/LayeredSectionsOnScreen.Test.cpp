// The test skin's sections painted for a layered window, shown under Xvfb through
// UpdateLayeredWindow: see-through corners are clear and translucent pixels premultiplied
// in the bitmap handed over (Xvfb composites no partial alpha, so those are read there),
// opaque ones show on the screen; the same for the program's own stored skin.
// TARVEL_SHOW_SECONDS=N keeps the window up N seconds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "ReaderFixtures.h"
#include "SkinBuilder.h"
#include "SkinTestLoad.h"
#include "platform/runtime/Resources.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sStoredSkins.h"
#include "support/MessagePump.h"

namespace {

// The skin tool's colour scheme (zone_colour in tools/make_skin.py), as pixels.
enum { Corner, Side, Centre, Fill };
std::uint32_t ZonePixel(int section, int zone, int state, std::uint32_t alpha) {
  return alpha << 24 | (0x30u + 0x40 * zone) << 16 | (0x20u + 0x60 * state) << 8 | (0x10u + 0x0C * section);
}

constexpr int TileW = 60, TileH = 40, Gap = 10;
const wchar_t* const Sections[] = {L"TESTKEYBORDER", L"TESTMASKED", L"TESTALPHA40", L"TESTGRADIENT3"};
constexpr int SectionCount = 4, WindowW = Gap + SectionCount * (TileW + Gap), WindowH = TileH + 2 * Gap;

// A bitmap shown at (X, Y) by a layered window through UpdateLayeredWindow, as the popups
// show theirs; the window goes with the object. TARVEL_SHOW_SECONDS=N keeps it up N seconds.
class TLayeredShow {
public:
  TLayeredShow(TBitmap* bmp, int x, int y) : X(x), Y(y) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarvelLayeredSectionsOnScreen";
    RegisterClassW(&wc);
    Wnd = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, x, y,
                          bmp->Width(), bmp->Height(), nullptr, nullptr, wc.hInstance, nullptr);
    EXPECT_TRUE(Wnd);
    POINT at = {x, y}, origin = {0, 0};
    SIZE size = {bmp->Width(), bmp->Height()};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    HDC screen = GetDC(nullptr);
    EXPECT_TRUE(UpdateLayeredWindow(Wnd, screen, &at, &size, bmp->Canvas().Handle(), &origin, 0, &blend, ULW_ALPHA));
    ReleaseDC(nullptr, screen);
    ShowWindow(Wnd, SW_SHOWNOACTIVATE);
  }
  ~TLayeredShow() {
    if (const char* show = std::getenv("TARVEL_SHOW_SECONDS")) PumpMessagesFor(static_cast<DWORD>(std::atoi(show)) * 1000);
    DestroyWindow(Wnd);
  }
  // The screen's pixel at (x, y) of the window, once it shows Want (or after a few seconds).
  COLORREF ScreenPixel(int x, int y, COLORREF want) const {
    HDC screen = GetDC(nullptr);
    COLORREF got = CLR_INVALID;
    for (int i = 0; i < 40 && got != want; ++i) {
      PumpMessagesFor(100);
      got = GetPixel(screen, X + x, Y + y);
    }
    ReleaseDC(nullptr, screen);
    return got;
  }

private:
  HWND Wnd = nullptr;
  int X, Y;
};

// A straight pixel as premultiplication gives it.
std::uint32_t Premultiplied(std::uint32_t straight) {
  auto one = NewBitmap32(1, 1);
  TSkinBuilder::Put(one.get(), 0, 0, straight);
  PremultiplyRect(one.get(), Rect(0, 0, 1, 1));
  return TSkinBuilder::Get(one.get(), 0, 0);
}

COLORREF ToColorRef(std::uint32_t pixel) { return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF); }

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
  const std::uint32_t side = Premultiplied(ZonePixel(3, Side, 0, 255));
  EXPECT_EQ(side, TSkinBuilder::Get(tiles[0].get(), 1, TileH / 2));
  // Transparency 40: the state's colour at alpha 153, premultiplied.
  EXPECT_EQ(Premultiplied(ZonePixel(11, Fill, 0, 153)), TSkinBuilder::Get(tiles[2].get(), TileW / 2, TileH / 2));
  // The three-point gradient carries the alpha in both segments.
  for (int y : {0, TileH / 4, TileH / 2, TileH - 1}) EXPECT_EQ(153u, TSkinBuilder::Get(tiles[3].get(), 5, y) >> 24) << y;

  // An opaque side pixel of the key-colour border shows on the screen as painted.
  TLayeredShow shown(window.get(), 0, 0);
  EXPECT_EQ(ToColorRef(side), shown.ScreenPixel(Gap + 1, Gap + TileH / 2, ToColorRef(side)));
}

// The program's own stored skin: its group box section (a rounded frame over a clear face)
// painted for a layered window. Its rounded corners and its face are see-through, its
// anti-aliased edge is premultiplied, and its frame shows opaque on the screen.
TEST(LayeredSectionsOnScreen, DefaultSkinSectionIsSeeThroughAndPremultiplied) {
  TsSkinManager m;
  m.SetSkinDirectory(L"no such folder");
  m.FSkinName = L"Lusmere II (internal)";  // stored only: LoadSkin loads
  TsStoredSkin* skin = m.InternalSkins().Add();
  skin->Name = L"Lusmere II (internal)";
  skin->PackedData = std::make_unique<TResourceStream>(nullptr, L"SKIN_LUSMERE_II");
  TacSkinData* data = LoadSkin(m);
  const int index = data->GetSkinIndex(L"GROUPBOX");
  ASSERT_GE(index, 0);

  constexpr int W = 160, H = 60;
  auto whole = NewBitmap32(W, H);
  FillRectArgb(whole.get(), Rect(0, 0, W, H), 0, 0);
  PaintSkinSectionLayered(index, 0, 0, Rect(0, 0, W, H), Point(0, 0), whole.get(), data);
  // The same painted into a part of a larger clear bitmap is left straight: premultiplied
  // here, it must give the whole one's pixels.
  auto part = NewBitmap32(W + 4, H + 4);
  FillRectArgb(part.get(), Rect(0, 0, W + 4, H + 4), 0, 0);
  PaintSkinSectionLayered(index, 0, 0, Rect(2, 2, W + 2, H + 2), Point(0, 0), part.get(), data);
  GdiFlush();
  auto straight = NewBitmap32(W + 4, H + 4);
  BitBlt(straight->Canvas().Handle(), 0, 0, W + 4, H + 4, part->Canvas().Handle(), 0, 0, SRCCOPY);
  GdiFlush();
  PremultiplyRect(part.get(), Rect(2, 2, W + 2, H + 2));

  for (auto [x, y] : {std::pair{0, 0}, std::pair{W - 1, 0}, std::pair{0, H - 1}, std::pair{W - 1, H - 1},
                      std::pair{W / 2, H / 2}})
    EXPECT_EQ(0u, TSkinBuilder::Get(whole.get(), x, y)) << x << "," << y;
  int translucent = 0, straightDiffers = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const std::uint32_t p = TSkinBuilder::Get(whole.get(), x, y), a = p >> 24;
      ASSERT_TRUE(((p >> 16) & 0xFF) <= a && ((p >> 8) & 0xFF) <= a && (p & 0xFF) <= a) << x << "," << y;
      ASSERT_EQ(TSkinBuilder::Get(part.get(), x + 2, y + 2), p) << x << "," << y;
      if (a > 0 && a < 255) ++translucent;
      if (TSkinBuilder::Get(straight.get(), x + 2, y + 2) != p) ++straightDiffers;
    }
  EXPECT_GT(translucent, 0);      // the rounded corners' edge is soft
  EXPECT_GT(straightDiffers, 0);  // and premultiplying changed it

  // The left side of the frame, opaque, shows on the screen as painted.
  const std::uint32_t side = TSkinBuilder::Get(whole.get(), 0, H / 2);
  EXPECT_EQ(255u, side >> 24);
  TLayeredShow shown(whole.get(), 0, 2 * WindowH);
  EXPECT_EQ(ToColorRef(side), shown.ScreenPixel(0, H / 2, ToColorRef(side)));
}

}  // namespace
