// Captions of skinned controls: the colours of their section's state, the glow into their
// cache and their colour effects, on real windowed controls with their skin state.
#include <gtest/gtest.h>

#include <functional>

#include "CommonHandlingFixtures.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"

namespace {

constexpr TColor Fill = 0x404040, Ink = 0x0000C0, Left = 0x00FF00;

struct TCaptionSkin : TTestSkin {
  TCaptionSkin() : TTestSkin({L"CAPTION"}) {
    for (TsGenState& s : Data().gd[0].Props) {
      s.Color = Fill;
      s.FontColor = TsFontColor{Ink, Left, -1, -1, -1};
      s.GlowSize = 3;
      s.GlowColor = 0xFFFFFF;
    }
  }
};

int Count(TBitmap* b, const std::function<bool(std::uint32_t)>& pick) {
  int n = 0;
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x) n += pick(static_cast<std::uint32_t*>(b->ScanLine(y))[x] & 0xFFFFFF);
  return n;
}

}  // namespace

TEST(ControlText, SectionColoursGlowAndColourEffects) {
  TCaptionSkin skin;
  THiddenParent parent;
  auto* owner = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"CAPTION");
  owner->SetBounds(0, 0, 80, 30);
  owner->Resolve();
  TsCommonData& state = *owner->State;
  ASSERT_TRUE(state.Skinned());
  auto paint = [&](bool enabled) {
    state.InitCacheBitmap();
    TBitmap* cache = state.FCacheBmp.get();
    FillRectArgb(cache, Rect(0, 0, cache->Width(), cache->Height()), Fill, 255);
    cache->Canvas().Font.Height = -16;
    cache->Canvas().Font.Style = fsBold;
    TRect r = Rect(8, 5, 72, 25);
    WriteControlText(&cache->Canvas(), L"Hx", enabled, r, DT_SINGLELINE, &state, 0, true);
    return cache;
  };

  TBitmap* cache = paint(true);
  EXPECT_GT(Count(cache, [](std::uint32_t p) { return p == PixelOf(Ink); }), 0);
  EXPECT_GT(Count(cache, [](std::uint32_t p) { return p == PixelOf(Left); }), 0);
  // The glow lightens the fill around the text.
  EXPECT_GT(Count(cache, [](std::uint32_t p) { return (p & 0xFF) > 0x40 && (p & 0xFF) == ((p >> 16) & 0xFF); }), 20);

  // A colour tone recolours the text as it recolours the control.
  state.FColorTone = 0x00FF00;
  const TColor toned = ControlEffectColor(Ink, &state);
  EXPECT_NE(ColorToRGB(Ink), toned);
  cache = paint(true);
  EXPECT_GT(Count(cache, [&](std::uint32_t p) { return p == PixelOf(toned); }), 0);

  // Disabled: the state's font colour alone, which the canvas's font keeps.
  state.FColorTone = clNone;
  cache = paint(false);
  EXPECT_EQ(ColorToRGB(Ink), cache->Canvas().Font.Color);
  EXPECT_EQ(0, Count(cache, [](std::uint32_t p) { return p == PixelOf(Left); }));
}
