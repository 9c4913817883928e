// The test skin's painting sections on a real window under Xvfb: each section and state
// painted by the window's WM_PAINT over a background of known colour, then read back from
// the screen. TARVEL_SHOW_SECONDS=N keeps the window up N seconds for a look.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ReaderFixtures.h"
#include "SkinBuilder.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

namespace {

// The skin tool's colour scheme (zone_colour in tools/make_skin.py): red by zone, green
// by state, blue by the number of the section.
enum { Corner, Side, Centre, Fill };
COLORREF Zone(int section, int zone, int state) {
  return RGB(0x30 + 0x40 * zone, 0x20 + 0x60 * state, 0x10 + 0x0C * section);
}
constexpr COLORREF Behind = RGB(0x60, 0x40, 0x20);  // the window's own background

const wchar_t* const Sections[] = {L"TESTALPHA50",     L"TESTTEXTURE0", L"TESTTEXTURE2", L"TESTKEYBORDER",
                                   L"TESTMASKED",      L"TESTALPHABORDER", L"TESTSTRETCH", L"TESTCORNERS"};
constexpr int SectionCount = 8, TileW = 60, TileH = 40, Gap = 8, GlyphRowTop = Gap + 3 * (TileH + Gap);
constexpr int WindowW = Gap + SectionCount * (TileW + Gap), WindowH = GlyphRowTop + 20 + Gap;

TRect Tile(int section, int state) {
  const int x = Gap + section * (TileW + Gap), y = Gap + state * (TileH + Gap);
  return Rect(x, y, x + TileW, y + TileH);
}
TRect GlyphTile(int state) {
  const int x = Gap + state * (20 + Gap);
  return Rect(x, GlyphRowTop, x + 20, GlyphRowTop + 20);
}

// A window whose WM_PAINT paints every section in every state over its background, and
// the state images of TESTCORNERS' strip in a row below.
class TSectionWindow {
public:
  explicit TSectionWindow(TacSkinData* skin) : FSkin(skin) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarvelSkinSectionsOnScreen";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    Wnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, WindowW, WindowH,
                          nullptr, nullptr, wc.hInstance, this);
  }
  ~TSectionWindow() {
    if (Wnd) DestroyWindow(Wnd);
  }
  TSectionWindow(const TSectionWindow&) = delete;

  // The window as the screen shows it now.
  std::unique_ptr<TBitmap> Shot() {
    // A loaded machine can take a while to map and paint the window: read the screen until
    // the window's own background shows in its top-left gap (a few seconds at most).
    auto shot = NewBitmap32(WindowW, WindowH);
    for (int i = 0; i < 40; ++i) {
      RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      PumpMessagesFor(150);
      POINT origin = {0, 0};
      ClientToScreen(Wnd, &origin);
      HDC screen = GetDC(nullptr);
      BitBlt(shot->Canvas().Handle(), 0, 0, WindowW, WindowH, screen, origin.x, origin.y, SRCCOPY);
      ReleaseDC(nullptr, screen);
      GdiFlush();
      const std::uint32_t gap = TSkinBuilder::Get(shot.get(), Gap / 2, Gap / 2) & 0xFFFFFF;
      if (i >= 2 && gap == ((GetRValue(Behind) << 16) | (GetGValue(Behind) << 8) | GetBValue(Behind))) break;
    }
    if (const char* show = std::getenv("TARVEL_SHOW_SECONDS")) PumpMessagesFor(static_cast<DWORD>(std::atoi(show)) * 1000);
    return shot;
  }

  HWND Wnd = nullptr;

private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
      SetWindowLongPtrW(wnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<TSectionWindow*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
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

  void Paint(HDC dc) {
    // What lies behind the sections: the window's own background in a bitmap, which the
    // sections take as their ready parent cache.
    auto parent = NewBitmap32(WindowW, WindowH);
    FillRectArgb(parent.get(), Rect(0, 0, WindowW, WindowH), static_cast<TColor>(Behind), 255);
    BitBlt(dc, 0, 0, WindowW, WindowH, parent->Canvas().Handle(), 0, 0, SRCCOPY);
    const TCacheInfo ci = MakeCacheInfo(parent.get(), 0, 0);
    for (int s = 0; s < SectionCount; ++s)
      for (int state = 0; state < 3; ++state) {
        const TRect r = Tile(s, state);
        PaintSkinSectionOnDC(FSkin->GetSkinIndex(Sections[s]), ci, state, r, Point(r.Left, r.Top), dc, FSkin);
      }
    const int glyph = FSkin->GetMaskIndex(FSkin->GetSkinIndex(L"TESTCORNERS"), L"GLYPHMASK");
    if (glyph < 0) return;
    for (int state = 0; state < 3; ++state) {
      const TRect r = GlyphTile(state);
      auto work = NewBitmap32(r.Width(), r.Height());
      BitBlt(work->Canvas().Handle(), 0, 0, r.Width(), r.Height(), parent->Canvas().Handle(), r.Left, r.Top, SRCCOPY);
      DrawMaskStateImage(work.get(), Point(6, 6), state, 1, FSkin->ma[glyph], MakeCacheInfo(work.get()));
      BitBlt(dc, r.Left, r.Top, r.Width(), r.Height(), work->Canvas().Handle(), 0, 0, SRCCOPY);
    }
  }

  TacSkinData* FSkin;
};

// The test skin loaded by a manager from the skin tool's output, freed at the end.
struct TLoadedSkin {
  TsSkinManager* Manager = CreateComponent<TsSkinManager>(nullptr);
  TacSkinData* Data = nullptr;
  TLoadedSkin() {
    Manager->SetSkinDirectory(ReaderFixture(L"skins"));
    Manager->SetSkinName(L"Tarvel Test");
    if (Manager->IsActive()) Data = Manager->CommonSkinData();
  }
  ~TLoadedSkin() { TComponent::Free(Manager); }
};

COLORREF At(TBitmap* shot, int x, int y) {
  const std::uint32_t p = TSkinBuilder::Get(shot, x, y);
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

// A probe: a pixel of a section's tile (negative places count from the right or bottom).
struct TProbe {
  int Section, State, X, Y;
  COLORREF Want;
  const char* What;
};

void ExpectProbes(TBitmap* shot, const std::vector<TProbe>& probes, int tolerance = 0) {
  for (const TProbe& p : probes) {
    const TRect r = Tile(p.Section, p.State);
    const int x = p.X < 0 ? r.Right + p.X : r.Left + p.X, y = p.Y < 0 ? r.Bottom + p.Y : r.Top + p.Y;
    const COLORREF got = At(shot, x, y);
    const bool matches = std::abs(GetRValue(got) - GetRValue(p.Want)) <= tolerance &&
                      std::abs(GetGValue(got) - GetGValue(p.Want)) <= tolerance &&
                      std::abs(GetBValue(got) - GetBValue(p.Want)) <= tolerance;
    EXPECT_TRUE(matches) << std::string(p.What) << ": " << "section " << p.Section << " state " << p.State << " at " << x
                      << ", " << y << " shows " << std::hex << got << ", wants " << p.Want;
  }
}

// BlendBitmapRect's mix with the destination (the window behind) weighted 50 * 255 div 100.
COLORREF HalfBehind(COLORREF state) {
  auto mix = [](int d, int s) { return s + (127 * (d - s) >> 8); };
  return RGB(mix(GetRValue(Behind), GetRValue(state)), mix(GetGValue(Behind), GetGValue(state)),
             mix(GetBValue(Behind), GetBValue(state)));
}

// The nine-zone border probes of a section: key corners show the window behind (or, for
// borders without key corners, whatever the section painted there).
std::vector<TProbe> BorderProbes(int s, int state, COLORREF outerCorner, bool centre) {
  return {{s, state, 0, 0, outerCorner, "top-left key corner"},
          {s, state, -1, -1, outerCorner, "bottom-right key corner"},
          {s, state, 2, 2, Zone(s, Corner, state), "top-left corner zone"},
          {s, state, -3, -3, Zone(s, Corner, state), "bottom-right corner zone"},
          {s, state, 1, TileH / 2, Zone(s, Side, state), "left side"},
          {s, state, TileW / 2, -2, Zone(s, Side, state), "bottom side"},
          {s, state, -2, TileH / 2, Zone(s, Side, state), "right side"},
          {s, state, TileW / 2, TileH / 2, Zone(s, centre ? Centre : Fill, state), "centre"}};
}

TEST(SkinSectionsOnScreen, StatesBordersCornersAndTheWindowBehind) {
  TLoadedSkin skin;
  ASSERT_NE(skin.Data, nullptr);
  for (const wchar_t* name : Sections) ASSERT_GE(skin.Data->GetSkinIndex(name), 0);
  TSectionWindow window(skin.Data);
  ASSERT_NE(window.Wnd, nullptr);
  auto shot = window.Shot();

  std::vector<TProbe> probes, blended;
  for (int state = 0; state < 3; ++state) {
    blended.push_back({0, state, TileW / 2, TileH / 2, HalfBehind(Zone(0, Fill, state)), "half see-through"});
    // Textures in states 0 and 1; state 2 has none and shows its colour.
    const bool textured = state < 2;
    probes.push_back({1, state, TileW / 2, TileH / 2, Zone(1, textured ? Centre : Fill, state), "tiled texture"});
    probes.push_back({1, state, -1, -1, Zone(1, textured ? Centre : Fill, state), "last tile, cut"});
    probes.push_back({2, state, TileW / 2, 9, Zone(2, textured ? Centre : Fill, state), "texture row"});
    probes.push_back({2, state, TileW / 2, 10, Zone(2, Fill, state), "below the texture row"});
    for (const TProbe& p : BorderProbes(3, state, Behind, false)) probes.push_back(p);
    for (const TProbe& p : BorderProbes(5, state, Zone(5, Fill, state), false)) probes.push_back(p);
    for (const TProbe& p : BorderProbes(6, state, Zone(6, Corner, state), true)) probes.push_back(p);
    probes.push_back({7, state, 1, 1, Zone(8, 0, state), "top-left image"});
    probes.push_back({7, state, -2, 1, Zone(8, 1, state), "top-right image"});
    probes.push_back({7, state, 1, -2, Zone(8, 2, state), "bottom-left image"});
    probes.push_back({7, state, -2, -2, Zone(8, 3, state), "bottom-right image"});
    probes.push_back({7, state, TileW / 2, TileH / 2, Zone(7, Fill, state), "between the corner images"});
    probes.push_back({7, state, 7, 7, Zone(7, Fill, state), "beside the top-left image"});
    const TRect g = GlyphTile(state);
    EXPECT_EQ(Zone(9, Corner, state), At(shot.get(), g.Left + 8, g.Top + 8)) << "state image " << state;
    EXPECT_EQ(Behind, At(shot.get(), g.Left + 2, g.Top + 2)) << "beside state image " << state;
  }
  ExpectProbes(shot.get(), probes);
  ExpectProbes(shot.get(), blended, 1);
  // Between the tiles the window's background is untouched.
  EXPECT_EQ(Behind, At(shot.get(), Gap / 2, Gap / 2));
  EXPECT_EQ(Behind, At(shot.get(), Tile(3, 0).Right + Gap / 2, Tile(3, 0).Top + 5));
}

// Whether the masked-image transfer draws yet: a one-pixel image through a black mask.
bool MaskedTransferDraws() {
  TSkinBuilder b(4, 4);
  TBitmap* src = b.NewOwnBitmap(1, 2);
  TSkinBuilder::Put(src, 0, 0, 0xFF123456u);
  TSkinBuilder::Put(src, 0, 1, 0xFF000000u);
  const int i = b.AddImage({.R = Rect(0, 0, 1, 2), .Width = 1, .Height = 1, .MaskType = 1, .Bmp = src});
  auto dst = NewBitmap32(1, 1);
  TSkinBuilder::Put(dst.get(), 0, 0, 0xFF000000u);
  DrawImageThroughMask(Rect(0, 0, 1, 1), Rect(0, 0, 1, 1), dst.get(), src, EmptyCacheInfo, false, b.Image(i));
  return TSkinBuilder::Get(dst.get(), 0, 0) != 0xFF000000u;
}

TEST(SkinSectionsOnScreen, MaskedBorderShowsItsZonesAndTheWindowInItsCorners) {
  if (!MaskedTransferDraws()) GTEST_SKIP() << "DrawImageThroughMask draws nothing yet";
  TLoadedSkin skin;
  ASSERT_NE(skin.Data, nullptr);
  TSectionWindow window(skin.Data);
  auto shot = window.Shot();
  std::vector<TProbe> probes;
  for (int state = 0; state < 3; ++state)
    for (const TProbe& p : BorderProbes(4, state, Behind, false)) probes.push_back(p);
  ExpectProbes(shot.get(), probes);
}

}  // namespace
