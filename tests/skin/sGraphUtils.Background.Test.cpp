// Section backgrounds, textures, whole sections and control skins.
#include <gtest/gtest.h>

#include <functional>

#include "PixelFixtures.h"
#include "SkinBuilder.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/manager/sCommonData.h"

namespace {

constexpr std::uint32_t Bg = 0xFF0A0B0C;
// A pixel that tells which pixel of its bitmap it is.
std::uint32_t Code(int x, int y) { return 0xFF000000u | (x << 8) | y; }
std::uint32_t Opaque(TColor c) { return 0xFF000000u | SwapRedBlue(static_cast<std::uint32_t>(c) & 0xFFFFFF); }
std::unique_ptr<TBitmap> Coordinates(int w, int h) {
  auto b = NewBitmap32(w, h);
  TSkinBuilder::Paint(b.get(), Rect(0, 0, w, h), Code);
  return b;
}
std::unique_ptr<TBitmap> Plain(int w, int h, std::uint32_t v) {
  auto b = NewBitmap32(w, h);
  TSkinBuilder::Paint(b.get(), Rect(0, 0, w, h), [v](int, int) { return v; });
  return b;
}
// Every pixel of Bmp against Want(x, y).
void ExpectPixels(TBitmap* bmp, const std::function<std::uint32_t(int, int)>& want) {
  for (int y = 0; y < bmp->Height(); ++y)
    for (int x = 0; x < bmp->Width(); ++x) ASSERT_EQ(want(x, y), TSkinBuilder::Get(bmp, x, y)) << "at " << x << ", " << y;
}
bool In(const TRect& r, int x, int y) { return x >= r.Left && y >= r.Top && x < r.Right && y < r.Bottom; }

TEST(SectionBackground, WaysByTransparencyAndWhatLiesBehind) {
  struct Case {
    const char* Name;
    int State, Transparency, ImagePercent;
    TColor ColorArg;
    std::function<TCacheInfo(TBitmap* bmp, TBitmap* parent)> Behind;
    TRect R;
    TPoint Offset;
    std::function<std::uint32_t(int x, int y)> Want;  // inside R
  };
  constexpr TColor C0 = 0x00000000, C1 = 0x0000FF00;
  auto notReady = [](TColor fill) {
    return [fill](TBitmap*, TBitmap*) {
      TCacheInfo ci;
      ci.FillColor = fill;
      return ci;
    };
  };
  const TRect r = Rect(2, 2, 22, 18);
  const Case cases[] = {
      {"100 over a ready cache that is the destination", 0, 100, 0, 0xFF00FF,
       [](TBitmap* bmp, TBitmap*) { return MakeCacheInfo(bmp, 0, 0); }, r, {0, 0}, [](int, int) { return Bg; }},
      {"50 over a not-ready white", 0, 50, 0, 0xFF00FF, notReady(0x00FFFFFF), r, {0, 0},
       [](int, int) { return 0xFF7E7E7Eu; }},
      {"state 5 of two states", 5, 0, 0, 0xFF00FF, notReady(0xFF00FF), r, {0, 0},
       [](int, int) { return Opaque(C1); }},
      {"a colour argument ignores the state", 0, 50, 60, 0x00123456,
       [](TBitmap*, TBitmap* parent) { return MakeCacheInfo(parent, 0, 0); }, r, {0, 0},
       [](int, int) { return 0xFF563412u; }},
      {"100 over a ready parent at its offset", 0, 100, 0, 0xFF00FF,
       [](TBitmap*, TBitmap*) {
         static auto big = Coordinates(40, 40);
         return MakeCacheInfo(big.get(), 5, 6);
       },
       r, {2, 3},
       [](int x, int y) { return Code(5 + 2 + x - 2, 6 + 3 + y - 2); }},
      {"100 over a not-ready frame copies exactly its parts", 0, 100, 0, 0xFF00FF,
       [](TBitmap*, TBitmap* parent) {
         TCacheInfo ci;
         ci.Bmp = parent;  // 24 x 20
         ci.X = 2;
         ci.Y = 3;
         ci.FillColor = 0x00112233;
         ci.FillRect = Rect(5, 4, 6, 7);
         return ci;
       },
       r, {1, 1},
       [](int x, int y) {
         // L' 4, T' 3, R' 3, B' 4; each part reads the parent at the same place.
         const int lx = x - 2, ly = y - 2;
         return lx < 4 || ly < 3 || lx >= 17 || ly >= 12 ? Code(3 + lx, 4 + ly) : 0xFF332211u;
       }},
      {"30 over a ready cache mixes with weight 76", 0, 30, 0, 0xFF00FF,
       [](TBitmap*, TBitmap*) {
         static auto uniform = Plain(40, 40, 0xFF6496C8);
         return MakeCacheInfo(uniform.get(), 0, 0);
       },
       r, {0, 0}, [](int, int) { return 0xFF1D2C3Bu; }},
      {"R beyond the bitmap paints the part inside", 0, 50, 0, 0xFF00FF,
       [](TBitmap*, TBitmap*) {
         static auto uniform = Plain(40, 40, 0xFF6496C8);
         return MakeCacheInfo(uniform.get(), 0, 0);
       },
       Rect(20, 20, 5000, 60), {0, 0}, [](int, int) { return 0xFF314A63u; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TSkinBuilder skin;
    const int s = skin.AddSection(2, {C0, C1});
    for (auto& p : skin.Section(s).Props) {
      p.Transparency = c.Transparency;
      p.ImagePercent = c.ImagePercent;
      p.TextureIndex = -1;
    }
    auto bmp = Plain(30, 30, Bg);
    auto parent = Coordinates(24, 20);
    const TCacheInfo ci = c.Behind(bmp.get(), parent.get());
    PaintSectionBackground(s, ci, c.State, c.R, c.Offset, bmp.get(), skin.Data, -1, -1, c.ColorArg);
    ExpectPixels(bmp.get(), [&](int x, int y) { return In(c.R, x, y) ? c.Want(x, y) : Bg; });
  }
}

TEST(SectionBackground, TextureFillModes) {
  constexpr TColor StateColor = 0x00203040;
  constexpr int W = 20, H = 15, TW = 6, TH = 4, SX = 10, SY = 20;
  const TRect r = Bounds(2, 2, W, H);
  auto tile = [](int tx, int ty) { return Code(SX + tx, SY + ty); };
  auto mod = [](int a, int m) { return ((a % m) + m) % m; };
  const std::uint32_t colour = Opaque(StateColor);
  constexpr std::uint32_t Flat = 0xFF5A6B7C;
  struct Case {
    int Mode;
    bool Stretched;
    std::function<std::uint32_t(int lx, int ly)> Want;
  };
  const Case cases[] = {
      {0, false, [&](int x, int y) { return tile(x % TW, y % TH); }},
      {2, false, [&](int x, int y) { return y < TH ? tile(x % TW, y) : colour; }},
      {3, false, [&](int x, int y) { return x < TW ? tile(x, y % TH) : colour; }},
      {6, false, [&](int x, int y) { return y >= H - TH ? tile(x % TW, y - (H - TH)) : colour; }},
      {7, false, [&](int x, int y) { return x >= W - TW ? tile(x - (W - TW), y % TH) : colour; }},
      {9, false, [&](int x, int y) { return x >= W - TW ? tile(x - (W - TW), y % TH) : colour; }},
      {10, false, [&](int x, int y) { return y < H / TH * TH ? tile(x % TW, y % TH) : Bg; }},
      {13, false, [&](int x, int y) { return tile(mod(x - W, TW), mod(y - H, TH)); }},
      {1, true, [&](int, int) { return Flat; }},
      {4, true, [&](int, int y) { return y < TH ? Flat : colour; }},
      {5, true, [&](int x, int) { return x < TW ? Flat : colour; }},
      {11, true, [&](int, int) { return Flat; }},
      {12, true, [&](int, int) { return Flat; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Mode);
    TSkinBuilder skin;
    skin.Paint(skin.Master(), Rect(0, 0, 64, 64), c.Stretched ? std::function<std::uint32_t(int, int)>(
                                                                    [](int, int) { return Flat; })
                                                              : std::function<std::uint32_t(int, int)>(Code));
    const int tex = skin.AddImage({.R = Bounds(SX, SY, TW, TH), .Width = TW, .Height = TH, .DrawMode = c.Mode});
    const int s = skin.AddSection(1, {StateColor});
    skin.Section(s).Props[0].ImagePercent = 100;
    skin.Section(s).Props[0].TextureIndex = tex;
    auto bmp = Plain(40, 40, Bg);
    PaintSectionBackground(s, EmptyCacheInfo, 0, r, {0, 0}, bmp.get(), skin.Data, -1, -1, 0xFF00FF);
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        ASSERT_EQ(c.Want(x - r.Left, y - r.Top), TSkinBuilder::Get(bmp.get(), x, y)) << x << ", " << y;
    EXPECT_EQ(Bg, TSkinBuilder::Get(bmp.get(), 1, 1));
  }
}

TEST(SectionBackground, TextureOfTwoTenRowsOverThirtyLeavesTwentyRowsOfStateColour) {
  TSkinBuilder skin;
  skin.Paint(skin.Master(), Rect(0, 0, 64, 64), [](int, int) { return 0xFF010203u; });
  const int tex = skin.AddImage({.R = Rect(0, 0, 8, 10), .Width = 8, .Height = 10, .DrawMode = 2});
  const int s = skin.AddSection(1, {0x00203040});
  skin.Section(s).Props[0].ImagePercent = 100;
  auto bmp = Plain(12, 30, Bg);
  PaintSectionBackground(s, EmptyCacheInfo, 0, Rect(0, 0, 12, 30), {0, 0}, bmp.get(), skin.Data, tex, -1, 0xFF00FF);
  ExpectPixels(bmp.get(), [](int, int y) { return y < 10 ? 0xFF010203u : 0xFF403020u; });
}

TEST(SectionBackground, EmptyTexturesFinishAndLeaveTheStateColour) {
  struct Case {
    const char* Name;
    TRect R;
    int MaskType, Width;
  } cases[] = {{"zero-width image", Rect(0, 0, 0, 10), 0, 0},
               {"zero-height image", Rect(3, 3, 9, 3), 0, 6},
               {"masked one row high", Rect(0, 0, 6, 1), 1, 6},
               {"masked zero-width cells", Rect(0, 0, 6, 8), 1, 0}};
  for (const Case& c : cases)
    for (int mode : {0, 2, 6, 7, 10, 13}) {
      SCOPED_TRACE(c.Name);
      TSkinBuilder skin;
      const int tex = skin.AddImage({.R = c.R, .Width = c.Width, .Height = 4, .MaskType = c.MaskType, .DrawMode = mode});
      const int s = skin.AddSection(1, {0x00203040});
      skin.Section(s).Props[0].ImagePercent = 100;
      auto bmp = Plain(10, 10, Bg);
      PaintSectionBackground(s, EmptyCacheInfo, 0, Rect(0, 0, 10, 10), {0, 0}, bmp.get(), skin.Data, tex, -1, 0xFF00FF);
      EXPECT_EQ(0xFF403020u, TSkinBuilder::Get(bmp.get(), 5, 5));
    }
}

// A section with four flat corner images (3 x 2) and, optionally, a key-colour border.
struct TSectionFixture {
  TSkinBuilder Skin;
  int Section;
  static constexpr TColor State0 = 0x00102030, State1 = 0x00405060;
  static constexpr std::uint32_t CornerColours[4] = {0xFF0000A1, 0xFF0000A2, 0xFF0000A3, 0xFF0000A4};
  TSectionFixture() {
    Section = Skin.AddSection(2, {State0, State1});
    for (int i = 0; i < 4; ++i) {
      TSkinBuilder::Paint(Skin.Master(), Bounds(40 + i * 3, 0, 3, 2), [i](int, int) { return CornerColours[i]; });
      const int im = Skin.AddImage({.R = Bounds(40 + i * 3, 0, 3, 2), .Width = 3, .Height = 2});
      int* slot[] = {&Skin.Section(Section).ImgTL, &Skin.Section(Section).ImgTR, &Skin.Section(Section).ImgBL,
                     &Skin.Section(Section).ImgBR};
      *slot[i] = im;
    }
  }
  // A one-pixel frame border: cell 0 and cell 1 of their own colours, corners the key.
  void AddBorder(int drawMode) {
    for (int c = 0; c < 2; ++c)
      TSkinBuilder::Paint(Skin.Master(), Bounds(c * 3, 10, 3, 3),
                          [c](int x, int y) { return (x % 3 != 1 && y != 11) ? 0x00FF00FFu : 0xFF00B000u + c; });
    Skin.Section(Section).BorderIndex = Skin.AddImage({.R = Rect(0, 10, 6, 13), .Width = 3, .Height = 3,
                                                       .ImageCount = 2, .DrawMode = drawMode, .WL = 1, .WT = 1,
                                                       .WR = 1, .WB = 1, .Cfg = 1});
  }
};

TEST(SkinSection, CornerImagesAtTheirPlacesAndNothingOutsideTheBitmap) {
  TSectionFixture f;
  auto bmp = Plain(30, 20, Bg);
  const TRect r = Rect(4, 5, 24, 17);
  PaintSkinSection(f.Section, EmptyCacheInfo, 1, r, {0, 0}, bmp.get(), f.Skin.Data);
  const TRect places[4] = {Bounds(4, 5, 3, 2), Bounds(21, 5, 3, 2), Bounds(4, 15, 3, 2), Bounds(21, 15, 3, 2)};
  ExpectPixels(bmp.get(), [&](int x, int y) {
    for (int i = 0; i < 4; ++i)
      if (In(places[i], x, y)) return TSectionFixture::CornerColours[i];
    return In(r, x, y) ? Opaque(TSectionFixture::State1) : Bg;
  });
  // R reaching past the bitmap, or left of it, paints nothing.
  auto untouched = Plain(30, 20, Bg);
  for (TRect bad : {Rect(4, 5, 31, 17), Rect(-1, 5, 10, 10), Rect(4, 5, 24, 21), Rect(5, 5, 5, 9)})
    PaintSkinSection(f.Section, EmptyCacheInfo, 0, bad, {0, 0}, untouched.get(), f.Skin.Data);
  ExpectPixels(untouched.get(), [](int, int) { return Bg; });
}

TEST(SkinSection, FromDCWithoutAnySectionLeavesTheBitmap) {
  TSectionFixture f;
  auto bmp = Plain(10, 10, Bg);
  EXPECT_LT(PaintSkinSectionFromDC(bmp.get(), -1, -2, 0, f.Skin.Data, {0, 0}, 0, nullptr), 0);
  ExpectPixels(bmp.get(), [](int, int) { return Bg; });
  EXPECT_EQ(f.Section, PaintSkinSectionFromDC(bmp.get(), -1, f.Section, 0, f.Skin.Data, {0, 0}, 0, nullptr));
  EXPECT_EQ(Opaque(TSectionFixture::State0), TSkinBuilder::Get(bmp.get(), 5, 5));
}

TEST(SkinSection, OnDCPaintsAtRAndKeepsTheDCState) {
  TSectionFixture f;
  auto target = Plain(30, 20, Bg);
  HDC dc = target->Canvas().Handle();
  SetStretchBltMode(dc, HALFTONE);
  const int before = SaveDC(dc);
  RestoreDC(dc, before);
  PaintSkinSectionOnDC(f.Section, EmptyCacheInfo, 0, Rect(5, 5, 25, 15), {0, 0}, dc, f.Skin.Data);
  EXPECT_EQ(Opaque(TSectionFixture::State0), TSkinBuilder::Get(target.get(), 10, 10));
  EXPECT_EQ(TSectionFixture::CornerColours[3], TSkinBuilder::Get(target.get(), 24, 14));
  EXPECT_EQ(Bg, TSkinBuilder::Get(target.get(), 4, 10));
  EXPECT_EQ(HALFTONE, GetStretchBltMode(dc));
}

// A control's skin state over the builder's skin.
struct TControlState {
  TComponent* Owner = new TComponent(nullptr);
  TsCommonData State{Owner, false};
  TControlState(TSkinBuilder& skin, int section) {
    State.WriteSkinManager(skin.Manager);
    State.SkinIndex = section;
    State.WriteCommonSkinData(skin.Data);
  }
  ~TControlState() {
    State.ClearLinks();
    TComponent::Free(Owner);
  }
};

TEST(ControlSkin, BorderLastAbsentInStateZeroWithBitTwoAndAdjustmentsSpareKeyPixels) {
  TSectionFixture f;
  f.Skin.Section(f.Section).ImgTL = f.Skin.Section(f.Section).ImgTR = -1;
  f.Skin.Section(f.Section).ImgBL = f.Skin.Section(f.Section).ImgBR = -1;
  f.AddBorder(2);
  TControlState c(f.Skin, f.Section);
  const TRect r = Rect(0, 0, 8, 6);
  for (int state : {0, 1}) {
    auto bmp = Plain(10, 8, 0x00FF00FF);
    PaintControlSkin(&c.State, EmptyCacheInfo, state, r, {0, 0}, bmp.get(), true);
    EXPECT_EQ(Opaque(state ? TSectionFixture::State1 : TSectionFixture::State0), TSkinBuilder::Get(bmp.get(), 4, 3));
    EXPECT_EQ(state ? 0xFF00B001u : Opaque(TSectionFixture::State0), TSkinBuilder::Get(bmp.get(), 4, 0));
    // The key corner shows the unknown background's fill (the key colour itself).
    EXPECT_EQ((state ? 0xFF00FFu : Opaque(TSectionFixture::State0)) & 0xFFFFFFu,
              TSkinBuilder::Get(bmp.get(), 0, 0) & 0xFFFFFFu);
  }
  // A saturation change reaches every pixel but key pixels, outside R too.
  c.State.FSaturation = -200;
  auto bmp = Plain(10, 8, 0x00FF00FF);
  TSkinBuilder::Put(bmp.get(), 9, 7, 0xFF0000FF);
  PaintControlSkin(&c.State, EmptyCacheInfo, 1, r, {0, 0}, bmp.get(), true);
  EXPECT_NE(Opaque(TSectionFixture::State1), TSkinBuilder::Get(bmp.get(), 4, 3));
  EXPECT_EQ(0x00FF00FFu, TSkinBuilder::Get(bmp.get(), 9, 0));
  EXPECT_NE(0xFF0000FFu, TSkinBuilder::Get(bmp.get(), 9, 7));
  // R outside the bitmap paints nothing.
  auto small = Plain(4, 4, Bg);
  PaintControlSkin(&c.State, EmptyCacheInfo, 1, r, {0, 0}, small.get(), true);
  ExpectPixels(small.get(), [](int, int) { return Bg; });
}

}  // namespace

#include "SkinStateFixtures.h"
#include "platform/ui/Forms.h"

namespace {

TEST(BackgroundRequests, AnswersOfTheParentsAndTheirFallbacks) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  form->Handle();
  auto parentBmp = Plain(4, 4, Bg);
  auto* cache = new TSkinWin(form, true, form);
  cache->OnMessage = [&](TMessage& m) {
    if (SkinCommandOf(m.WParam) != SKCMD_GET_BG_INFO) return;
    auto* info = reinterpret_cast<TacBGInfo*>(m.LParam);
    info->BgType = btCache;
    info->Bmp = parentBmp.get();
    info->Offset = Point(3, 4);
  };
  auto* colour = new TSkinWin(form, true, form);
  colour->OnMessage = [](TMessage& m) {
    if (SkinCommandOf(m.WParam) != SKCMD_GET_BG_INFO) return;
    auto* info = reinterpret_cast<TacBGInfo*>(m.LParam);
    info->BgType = btFill;
    info->Color = 0x00123456;
    info->FrameRect = Rect(1, 2, 3, 4);
  };
  auto* graphic = new TSkinGraphic(form, form);
  graphic->OnMessage = [](TMessage& m) {
    if (SkinCommandOf(m.WParam) == SKCMD_GET_BG_INFO) reinterpret_cast<TacBGInfo*>(m.LParam)->BgType = btNotReady;
  };

  TacBGInfo info;
  TCacheInfo ci;
  EXPECT_TRUE(RequestBackgroundFromWindow(info, cache->Handle(), false));
  CacheInfoFromBackgroundInfo(info, ci);
  EXPECT_TRUE(ci.Ready && ci.Bmp == parentBmp.get() && ci.X == 3 && ci.Y == 4 && ci.FillColor == 0xFF00FF);
  EXPECT_TRUE(RequestBackgroundFromControl(info, colour, false));
  CacheInfoFromBackgroundInfo(info, ci);
  EXPECT_TRUE(!ci.Ready && ci.FillColor == 0x00123456 && ci.FillRect == Rect(1, 2, 3, 4));
  EXPECT_TRUE(RequestBackgroundFromControl(info, graphic, false));
  EXPECT_EQ(btNotReady, info.BgType);

  // Unanswered: the window's own background colour, or sub-command 21 first for a control.
  auto* silent = new TSkinWin(form, false, form);
  silent->SetColor(0x00445566);
  EXPECT_FALSE(RequestBackgroundFromWindow(info, silent->Handle(), false));
  EXPECT_EQ(btFill, info.BgType);
  TsSkinManager* manager = DefaultManager();
  EXPECT_EQ(manager && manager->IsActive() ? manager->Palette[pcMainColor] : static_cast<TColor>(0xFF00000F), info.Color);
  EXPECT_TRUE(RequestBackgroundFromControl(info, silent, false));
  EXPECT_EQ(0x00445566, info.Color);
  silent->Answers[SKCMD_GET_BG_COLOR] = 0x00778899;
  EXPECT_TRUE(RequestBackgroundFromControl(info, silent, false));
  EXPECT_EQ(0x00778899, info.Color);
  EXPECT_EQ(btFill, info.BgType);
  TComponent::Free(form);
}

TEST(BackgroundRequests, UnansweredWithDrawingPaintsIntoTheDCAtTheMovedOrigin) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  form->Handle();
  auto* win = new TSkinWin(form, false, form);
  std::vector<WPARAM> erased, painted;
  for (UINT msg : {UINT(WM_ERASEBKGND), UINT(WM_PAINT)})
    win->SetMessageHandler(msg, [&, msg](TMessage& m) {
      (msg == WM_ERASEBKGND ? erased : painted).push_back(m.WParam);
      if (msg == WM_ERASEBKGND) {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        FillRectOnDC(dc, Rect(0, 0, 200, 200), 0x00336699);
        SetPixel(dc, 7 + 2, 5 + 1, 0x000000FF);  // the window's pixel (7, 5) behind R's corner
      }
      m.Result = 1;
    });
  auto target = Plain(30, 30, Bg);
  HDC dc = target->Canvas().Handle();
  TacBGInfo info;
  info.DrawDC = dc;
  info.Offset = Point(7, 5);
  info.R = Rect(2, 1, 12, 9);
  auto* control = static_cast<TControl*>(win);
  for (bool viaControl : {false, true}) {
    SCOPED_TRACE(viaControl);
    TSkinBuilder::Paint(target.get(), Rect(0, 0, 30, 30), [](int, int) { return Bg; });
    if (viaControl)
      EXPECT_TRUE(RequestBackgroundFromControl(info, control, true));
    else
      EXPECT_FALSE(RequestBackgroundFromWindow(info, win->Handle(), true));
    EXPECT_EQ(btUnknown, info.BgType);
    ASSERT_FALSE(erased.empty());
    EXPECT_EQ(reinterpret_cast<WPARAM>(dc), erased.back());
    EXPECT_EQ(reinterpret_cast<WPARAM>(dc), painted.back());
    ExpectPixels(target.get(), [&](int x, int y) -> std::uint32_t {
      if (x == 2 && y == 1) return 0xFFFF0000u & 0x00FFFFFFu;
      if (In(info.R, x, y)) return 0x00996633u;
      return Bg;
    });
    POINT origin;
    GetViewportOrgEx(dc, &origin);
    EXPECT_EQ(0, origin.x);
    EXPECT_EQ(0, origin.y);
  }
  TComponent::Free(form);
}

TEST(ControlSkin, OnParentIsFalseWhileTheParentIsNotReady) {
  Application().Initialize();
  TSectionFixture f;
  TControlState c(f.Skin, f.Section);
  auto* form = CreateComponent<TSkinForm>(nullptr);
  auto* parent = new TSkinWin(form, false, form);
  parent->Handle();
  parent->OnMessage = [](TMessage& m) {
    if (SkinCommandOf(m.WParam) == SKCMD_GET_BG_INFO) reinterpret_cast<TacBGInfo*>(m.LParam)->BgType = btNotReady;
  };
  auto bmp = Plain(10, 10, Bg);
  EXPECT_FALSE(PaintControlSkinOnParent(&c.State, parent, 0, Rect(0, 0, 10, 10), {0, 0}, bmp.get(), true));
  ExpectPixels(bmp.get(), [](int, int) { return Bg; });
  parent->OnMessage = [](TMessage& m) {
    if (SkinCommandOf(m.WParam) != SKCMD_GET_BG_INFO) return;
    auto* info = reinterpret_cast<TacBGInfo*>(m.LParam);
    info->BgType = btFill;
    info->Color = 0x00112233;
  };
  EXPECT_TRUE(PaintControlSkinOnParent(&c.State, parent, 0, Rect(0, 0, 10, 10), {0, 0}, bmp.get(), true));
  EXPECT_EQ(Opaque(TSectionFixture::State0), TSkinBuilder::Get(bmp.get(), 5, 5));
  TComponent::Free(form);
}

}  // namespace

#include "skin/graphics/acGradient.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/sGraphUtils.Transform.h"

namespace {

// A two-point gradient from red to blue (vertical unless told).
TsGradArray RedToBlue(std::int32_t firstMode = gmVertical) {
  TsGradPoint a, b;
  a.Mode = firstMode;
  a.Color = 0x000000FF;
  b.Index = 1;
  b.Color = 0x00FF0000;
  b.Percent = 100;
  return {a, b};
}

// Per channel s + w * (d - s) shr 8: BlendBitmapRect's mix of S into D.
std::uint32_t Mixed(std::uint32_t d, std::uint32_t s, std::uint32_t w) {
  std::uint32_t out = 0;
  for (int sh = 0; sh < 32; sh += 8) {
    const std::uint32_t dc = (d >> sh) & 0xFF, sc = (s >> sh) & 0xFF;
    out |= ((w * dc + (256 - w) * sc) >> 8) << sh;
  }
  return out;
}

TEST(SectionBackground, GradientLayersAloneWithATextureAndThroughGdiPlus) {
  constexpr std::uint32_t Tex = 0xFF0C2238;
  constexpr TColor StateColor = 0x00203040;
  const TRect r = Rect(2, 3, 26, 21);
  struct Case {
    const char* Name;
    int IP, GP, Transparency;
    std::int32_t FirstMode;
    bool Part;  // through PaintSkinSectionPart
    // The expected bitmap, made from the primitives each layer is defined by.
    std::function<void(TBitmap* want, const TsGradArray& g, TBitmap* texture)> Want;
  };
  const Case cases[] = {
      {"gradient alone", 0, 100, 0, gmVertical, false,
       [&](TBitmap* want, const TsGradArray& g, TBitmap*) { PaintGradientArray(want, r, g, 0, 0); }},
      {"gradient and texture in one pass", 40, 60, 0, gmHorizontal, false,
       [&](TBitmap* want, const TsGradArray& g, TBitmap* texture) {
         PaintGradientWithTexture(want, r, g, texture, Rect(0, 0, 5, 4), 40 * 255 / 100, 255);
       }},
      {"gradient mixed over a texture, the texture keeping its share", 40, 30, 0, gmVertical, false,
       [&](TBitmap* want, const TsGradArray& g, TBitmap*) {
         auto grad = NewBitmap32(40, 30);
         PaintGradientArray(grad.get(), r, g, 0, 0);
         for (int y = r.Top; y < r.Bottom; ++y)
           for (int x = r.Left; x < r.Right; ++x) {
             const std::uint32_t c = Mixed(Tex, TSkinBuilder::Get(grad.get(), x, y), 40 * 255 / 100);
             TSkinBuilder::Put(want, x, y, c);
           }
         ColorBlendRect(want, Rect(r.Left, r.Top, r.Right - 1, r.Bottom - 1), 70 * 255 / 100, StateColor);
       }},
      {"part gradient over a texture keeps the texture's share", 50, 50, 0, gmVertical, true,
       [&](TBitmap* want, const TsGradArray& g, TBitmap*) {
         auto grad = NewBitmap32(40, 30);
         PaintGradientArray(grad.get(), r, g, 0, 0);
         for (int y = r.Top; y < r.Bottom; ++y)
           for (int x = r.Left; x < r.Right; ++x)
             TSkinBuilder::Put(want, x, y, Mixed(Tex, TSkinBuilder::Get(grad.get(), x, y), 50 * 255 / 100));
       }},
      {"GDI+ gradient over a see-through state", 0, 0, 100, gmGdiPlusPath | gmVertical, false,
       [&](TBitmap* want, const TsGradArray& g, TBitmap*) { PaintGradientArray(want, r, g, 0, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TSkinBuilder skin;
    TSkinBuilder::Paint(skin.Master(), Rect(0, 0, 64, 64), [](int, int) { return Tex; });
    const int tex = skin.AddImage({.R = Rect(0, 0, 5, 4), .Width = 5, .Height = 4});
    const int s = skin.AddSection(1, {StateColor});
    TsGenState& st = skin.Section(s).Props[0];
    st.ImagePercent = c.IP;
    st.GradientPercent = c.GP;
    st.Transparency = c.Transparency;
    st.TextureIndex = tex;
    st.GradientArray = RedToBlue(c.FirstMode);
    auto bmp = Plain(40, 30, Bg);
    auto want = Plain(40, 30, Bg);
    auto parent = Plain(40, 30, 0xFF445566);
    const TCacheInfo ci = MakeCacheInfo(parent.get(), 0, 0);
    if (c.Part)
      PaintSkinSectionPart(s, -1, tex, ci, 0, r, {r.Left, r.Top}, bmp.get(), skin.Data);
    else
      PaintSectionBackground(s, ci, 0, r, {r.Left, r.Top}, bmp.get(), skin.Data, -1, -1, 0xFF00FF);
    if (c.Transparency == 100) TSkinBuilder::Paint(want.get(), r, [](int, int) { return 0xFF445566u; });
    c.Want(want.get(), st.GradientArray, skin.Master());
    ExpectPixels(bmp.get(), [&](int x, int y) { return TSkinBuilder::Get(want.get(), x, y); });
  }
}

TEST(SectionBackground, FrameCopiesStayInsideR) {
  TSkinBuilder skin;
  const int s = skin.AddSection(1, {0});
  skin.Section(s).Props[0].Transparency = 100;
  auto parent = Coordinates(24, 20);
  const TRect r = Rect(2, 2, 12, 10);
  // Every frame part wider than R: each copy is cut at R, and no fill is left.
  for (const TRect& frame : {Rect(30, 0, 0, 0), Rect(0, 30, 0, 0), Rect(0, 0, 30, 0), Rect(0, 0, 0, 30)}) {
    TCacheInfo ci;
    ci.Bmp = parent.get();
    ci.X = ci.Y = 0;
    ci.FillColor = 0x00112233;
    ci.FillRect = frame;
    auto bmp = Plain(30, 30, Bg);
    PaintSectionBackground(s, ci, 0, r, {1, 1}, bmp.get(), skin.Data, -1, -1, 0xFF00FF);
    // Whichever part it is, cut at R it reads the parent under R at the offset.
    ExpectPixels(bmp.get(), [&](int x, int y) { return In(r, x, y) ? Code(1 + x - r.Left, 1 + y - r.Top) : Bg; });
  }
}

TEST(SectionBackground, TilesKeepTheirPlacesWhenRStartsOutsideTheBitmap) {
  constexpr int TW = 6, TH = 4, SX = 10, SY = 20;
  const TRect r = Rect(-5, -3, 17, 13);
  auto mod = [](int a, int m) { return ((a % m) + m) % m; };
  auto tile = [&](int x, int y) { return Code(SX + mod(x - r.Left, TW), SY + mod(y - r.Top, TH)); };
  constexpr std::uint32_t Parent = 0xFF6496C8;
  struct Case {
    int Mode, Transparency;
    bool Masked;
  } cases[] = {{0, 0, false}, {3, 0, false}, {10, 0, false}, {0, 30, false}, {0, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.Mode << " transparency " << c.Transparency << " masked "
                                    << c.Masked);
    TSkinBuilder skin;
    TSkinBuilder::Paint(skin.Master(), Rect(0, 0, 64, 64), Code);
    // A masked texture's mask (black: the image everywhere) lies TH rows below it.
    if (c.Masked) TSkinBuilder::Paint(skin.Master(), Bounds(SX, SY + TH, TW, TH), [](int, int) { return 0xFF000000u; });
    const int tex = skin.AddImage({.R = Bounds(SX, SY, TW, c.Masked ? 2 * TH : TH), .Width = TW, .Height = TH,
                                   .MaskType = c.Masked ? 1 : 0, .DrawMode = c.Mode});
    const int s = skin.AddSection(1, {0x00203040});
    skin.Section(s).Props[0].ImagePercent = 100;
    skin.Section(s).Props[0].Transparency = c.Transparency;
    skin.Section(s).Props[0].TextureIndex = tex;
    auto parent = Plain(40, 40, Parent);
    auto bmp = Plain(20, 16, Bg);
    PaintSectionBackground(s, MakeCacheInfo(parent.get(), 10, 10), 0, r, {0, 0}, bmp.get(), skin.Data, -1, -1,
                           0xFF00FF);
    ExpectPixels(bmp.get(), [&](int x, int y) -> std::uint32_t {
      if (x >= r.Right || y >= r.Bottom) return Bg;
      const bool covered = c.Mode != 3 || x - r.Left < TW;
      const std::uint32_t layer = covered ? tile(x, y) : Opaque(0x00203040);
      return c.Transparency ? Mixed(Parent, layer, 30 * 255 / 100) : layer;
    });
  }
}

TEST(BackgroundRequests, UnansweredWindowTakesTheActiveDefaultManagersGlobalColour) {
  TSkinBuilder skin;  // the first manager is the default one
  ASSERT_EQ(DefaultManager(), skin.Manager);
  ASSERT_TRUE(skin.Manager->IsActive());
  skin.Manager->Palette[pcMainColor] = 0x00345678;
  HWND wnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
  ASSERT_NE(wnd, nullptr);
  TacBGInfo info;
  EXPECT_FALSE(RequestBackgroundFromWindow(info, wnd, false));
  EXPECT_EQ(btFill, info.BgType);
  EXPECT_EQ(skin.Manager->GetGlobalColor(), info.Color);
  EXPECT_EQ(static_cast<TColor>(0x00345678), info.Color);
  DestroyWindow(wnd);
}

TEST(MaskedPieces, SmoothStretchTakesTheFilteredResampling) {
  // A 4 x 4 image of two colours over its mask; shrunk along one side and smoothed.
  auto src = NewBitmap32(4, 8);
  TSkinBuilder::Paint(src.get(), Rect(0, 0, 4, 4), [](int x, int) { return x < 2 ? 0xFF102030u : 0xFFC0A080u; });
  TSkinBuilder::Paint(src.get(), Rect(0, 4, 4, 8), [](int, int) { return 0xFF000000u; });
  for (bool smooth : {true, false}) {
    SCOPED_TRACE(smooth);
    const int w = smooth ? 9 : 3, h = 4;  // 3 x 4 is shrunk along one side: filtered too
    auto dst = Plain(12, 6, Bg);
    StretchMaskedPiece(1, 1, w, h, 0, 0, 4, 4, dst.get(), src.get(), 4, smooth);
    auto image = NewBitmap32(4, 4);
    BitBlt(image->Canvas().Handle(), 0, 0, 4, 4, src->Canvas().Handle(), 0, 0, SRCCOPY);
    auto want = NewBitmap32(w, h);
    StretchBitmapFiltered(image.get(), want.get(), w, h, 6);
    ExpectPixels(dst.get(), [&](int x, int y) {
      const int lx = x - 1, ly = y - 1;
      if (lx < 0 || ly < 0 || lx >= w || ly >= h) return Bg;
      return 0xFF000000u | (TSkinBuilder::Get(want.get(), lx, ly) & 0xFFFFFFu);
    });
  }
}

}  // namespace

namespace {

constexpr std::uint32_t Key = 0x00FF00FF;
// Pixels for layered windows: colour bytes of C with alpha A.
std::uint32_t WithAlpha(TColor c, std::uint32_t a) { return (Opaque(c) & 0xFFFFFF) | (a << 24); }

TEST(SectionLayered, PlainStatesTurnTheirTransparencyIntoAlpha) {
  constexpr TColor C = 0x00C08040;
  // Every channel 60 % of the way from 0x102030 towards C (red 0x40, green 0x80, blue 0xC0).
  auto step = [](int from, int to) { return static_cast<std::uint32_t>(from - (from - to) * 60 / 100); };
  const std::uint32_t towards = step(0x10, 0x40) << 16 | step(0x20, 0x80) << 8 | step(0x30, 0xC0);
  const struct {
    const char* Name;
    int Transparency;
    std::uint32_t Before;
    bool Whole;
    std::uint32_t After;  // inside R
  } cases[] = {
      {"100 clears the whole bitmap", 100, 0xFF102030, true, 0},
      {"100 leaves a part alone", 100, 0xFF102030, false, 0xFF102030},
      {"40 over a clear bitmap", 40, 0, true, WithAlpha(C, 153)},
      {"40 over a painted one: 60 % towards the colour", 40, 0x40102030, true, 0x99000000 | towards},
      {"40 over a more opaque one keeps its alpha", 40, 0xE0102030, false, 0xE0000000 | towards},
      {"0 over a painted one", 0, 0x40102030, false, Opaque(C)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSkinBuilder skin;
    const int s = skin.AddSection(1, {C});
    skin.Section(s).Props[0].Transparency = c.Transparency;
    auto bmp = Plain(12, 10, c.Before);
    const TRect r = c.Whole ? Rect(0, 0, 12, 10) : Rect(1, 2, 11, 9);
    PaintSectionBackgroundLayered(s, 0, r, bmp.get(), skin.Data, 0xFF00FF);
    ExpectPixels(bmp.get(), [&](int x, int y) { return In(r, x, y) ? c.After : c.Before; });
  }
}

TEST(SectionLayered, GradientStatesCarryEachCallsOwnAlphaInEverySegment) {
  TSkinBuilder skin;
  const int s = skin.AddThreePointGradientSection(0x00FF0000, 0x0000FF00, 0x000000FF);
  const TsGradArray shared = skin.Section(s).Props[0].GradientArray;
  auto plain = [&] {
    skin.Section(s).Props[0].Transparency = 40;
    auto bmp = Plain(8, 30, 0xFF405060);
    PaintSectionBackground(s, EmptyCacheInfo, 0, Rect(0, 0, 8, 30), Point(0, 0), bmp.get(), skin.Data, -1, -1,
                           0xFF00FF);
    return fixtures::All(bmp.get());
  };
  const auto before = plain();
  for (const int transparency : {40, 70}) {
    SCOPED_TRACE(transparency);
    skin.Section(s).Props[0].Transparency = transparency;
    auto bmp = Plain(8, 30, 0);
    PaintSectionBackgroundLayered(s, 0, Rect(0, 0, 8, 30), bmp.get(), skin.Data, 0xFF00FF);
    const std::uint32_t alpha = (100 - transparency) * 255 / 100;
    for (int y = 0; y < 30; ++y) ASSERT_EQ(alpha, TSkinBuilder::Get(bmp.get(), 3, y) >> 24) << "row " << y;
    // Both segments really are painted: blue at the top, red at the bottom.
    const std::uint32_t top = TSkinBuilder::Get(bmp.get(), 3, 0), bottom = TSkinBuilder::Get(bmp.get(), 3, 29);
    EXPECT_GT(top & 0xFF, (top >> 16) & 0xFF);
    EXPECT_GT((bottom >> 16) & 0xFF, bottom & 0xFF);
  }
  const TsGradArray& now = skin.Section(s).Props[0].GradientArray;
  for (std::size_t i = 0; i < shared.size(); ++i) {
    EXPECT_EQ(shared[i].Mode, now[i].Mode);
    EXPECT_EQ(shared[i].Color, now[i].Color);
  }
  EXPECT_EQ(before, plain());
}

TEST(SectionLayered, TexturedStates) {
  // A 4 x 4 texture of its own under the state's colour share; with a gradient making up
  // the rest, texture and gradient are painted in one pass at the state's alpha.
  constexpr TColor C = 0x00C08040;
  constexpr std::uint32_t T = 0xFF204060;
  for (const bool withGradient : {false, true}) {
    SCOPED_TRACE(withGradient);
    TSkinBuilder skin;
    const int s = withGradient ? skin.AddThreePointGradientSection(0x00FF0000, 0x0000FF00, 0x000000FF)
                               : skin.AddSection(1, {C});
    TsGenState& st = skin.Section(s).Props[0];
    st.Color = C;
    TBitmap* own = skin.NewOwnBitmap(4, 4);
    TSkinBuilder::Paint(own, Rect(0, 0, 4, 4), [](int, int) { return T; });
    st.TextureIndex = skin.AddImage({.R = Rect(0, 0, 4, 4), .Width = 4, .Height = 4, .Bmp = own});
    st.ImagePercent = withGradient ? 50 : 60;
    st.GradientPercent = withGradient ? 50 : 0;
    st.GradientArray.resize(withGradient ? 2 : 0);
    st.Transparency = withGradient ? 40 : 0;
    auto bmp = Plain(12, 10, 0);
    PaintSectionBackgroundLayered(s, 0, Rect(0, 0, 12, 10), bmp.get(), skin.Data, 0xFF00FF);
    if (withGradient) {
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) ASSERT_EQ(153u, TSkinBuilder::Get(bmp.get(), x, y) >> 24) << x << ", " << y;
    } else {
      // 60 % texture: every channel (t * 153 + c * 102) >> 8, alpha the texture's.
      auto mix = [](std::uint32_t t, std::uint32_t c) { return (t * 153 + c * 102) >> 8; };
      const std::uint32_t want = 0xFF000000u | mix(0x20, 0x40) << 16 | mix(0x40, 0x80) << 8 | mix(0x60, 0xC0);
      ExpectPixels(bmp.get(), [&](int, int) { return want; });
    }
  }
}

TEST(SectionLayered, BorderSeesThroughToWhatTheBitmapHeldAndOnlyAWholeBitmapIsPremultiplied) {
  constexpr TColor C = 0x00C08040;
  for (const bool whole : {false, true}) {
    SCOPED_TRACE(whole);
    TSkinBuilder skin;
    const int s = skin.AddTranslucentSection(C);
    // A key-colour border of one 12 x 12 cell, margins 3, the cell's corners see-through.
    TBitmap* own = skin.NewOwnBitmap(12, 12);
    TSkinBuilder::Paint(own, Rect(0, 0, 12, 12), [](int, int) { return 0xFF0000FFu; });
    for (const TPoint p : {Point(0, 0), Point(11, 0), Point(0, 11), Point(11, 11)}) TSkinBuilder::Put(own, p.X, p.Y, Key);
    skin.Section(s).BorderIndex =
        skin.AddImage({.R = Rect(0, 0, 12, 12), .Width = 12, .Height = 12, .WL = 3, .WT = 3, .WR = 3, .WB = 3,
                       .Bmp = own});
    auto bmp = Coordinates(20, 16);
    const TRect r = whole ? Rect(0, 0, 20, 16) : Rect(2, 1, 18, 14);
    // What the bitmap held, the background alone (for the centre) and the border's own
    // pixel, each premultiplied when the whole bitmap is painted.
    auto held = Coordinates(20, 16), background = Coordinates(20, 16), border = Plain(1, 1, 0xFF0000FF);
    PaintSectionBackgroundLayered(s, 0, r, background.get(), skin.Data, 0xFF00FF);
    if (whole)
      for (TBitmap* b : {held.get(), background.get(), border.get()}) PremultiplyRect(b, Rect(0, 0, 20, 16));
    PaintSkinSectionLayered(s, 0, 0, r, Point(0, 0), bmp.get(), skin.Data);
    for (const TPoint p : {Point(r.Left, r.Top), Point(r.Right - 1, r.Top), Point(r.Left, r.Bottom - 1),
                           Point(r.Right - 1, r.Bottom - 1)})
      EXPECT_EQ(TSkinBuilder::Get(held.get(), p.X, p.Y), TSkinBuilder::Get(bmp.get(), p.X, p.Y)) << p.X << ", " << p.Y;
    EXPECT_EQ(TSkinBuilder::Get(background.get(), 9, 7), TSkinBuilder::Get(bmp.get(), 9, 7));
    EXPECT_EQ(TSkinBuilder::Get(border.get(), 0, 0), TSkinBuilder::Get(bmp.get(), r.Left + 1, r.Top + 1));
    if (!whole) {
      EXPECT_EQ(Code(0, 0), TSkinBuilder::Get(bmp.get(), 0, 0));
    }
  }
}

TEST(SectionLayered, StatesFollowTheSectionsStateLimits) {
  const struct {
    const char* Name;
    int States, State, Painted;
  } cases[] = {{"no states: the first", 0, 2, 0}, {"past the last: the last", 2, 5, 1}, {"negative: the first", 3, -1, 0}};
  const TColor colours[] = {0x00112233, 0x00445566, 0x00778899};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSkinBuilder skin;
    const int s = skin.AddSection(3, {colours[0], colours[1], colours[2]});
    skin.Section(s).States = c.States;
    auto bmp = Plain(10, 10, 0);
    PaintSkinSectionLayered(s, 0, c.State, Rect(1, 1, 9, 9), Point(0, 0), bmp.get(), skin.Data);
    EXPECT_EQ(Opaque(colours[c.Painted]), TSkinBuilder::Get(bmp.get(), 4, 4));
  }
}

}  // namespace
