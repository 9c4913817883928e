// Repair of the key-colour corners of a control's cached skin from its parent's background.
#include <gtest/gtest.h>

#include "SkinBuilder.h"
#include "SkinStateFixtures.h"
#include "platform/ui/Forms.h"
#include "skin/graphics/sGraphUtils.Corners.h"

namespace {

constexpr std::uint32_t Key = 0x00FF00FF;
constexpr std::uint32_t Bg = 0xFF0A0B0C;
constexpr std::uint32_t Skin = 0xFF00B000;  // non-key border pixels

// Three 4 x 4 cells with margins 2; the outer pixel of each corner is the key.
void PaintCells(TBitmap* bmp, int left, int top) {
  TSkinBuilder::Paint(bmp, Bounds(left, top, 12, 4), [&](int x, int y) {
    const int cx = (x - left) % 4, cy = y - top;
    return (cx == 0 || cx == 3) && (cy == 0 || cy == 3) ? Key : Skin;
  });
}

struct TCornerFixture {
  TSkinBuilder Builder{20, 20};
  TSkinForm* Form;
  TSkinWin* Control;
  std::unique_ptr<TsCommonData> State;
  TacBGInfo Answer;
  std::unique_ptr<TBitmap> ParentBmp;

  explicit TCornerFixture(TSkinBuilder::TImage image, bool ownBitmap = false) {
    Application().Initialize();
    Form = CreateComponent<TSkinForm>(nullptr);
    Form->Handle();
    Form->OnMessage = [this](TMessage& m) {
      if (SkinCommandOf(m.WParam) != SKCMD_GET_BG_INFO) return;
      auto* info = reinterpret_cast<TacBGInfo*>(m.LParam);
      info->BgType = Answer.BgType;
      info->Color = Answer.Color;
      info->Bmp = Answer.Bmp;
      info->Offset = Answer.Offset;
    };
    Control = new TSkinWin(Form, false, Form);
    Control->SetBounds(5, 6, 10, 8);
    if (ownBitmap) {
      image.Bmp = Builder.NewOwnBitmap(12, 8);
      PaintCells(image.Bmp, 0, 0);
    } else {
      PaintCells(Builder.Master(), 0, 0);
    }
    const int section = Builder.AddSection(3, {0, 0, 0});
    Builder.Section(section).BorderIndex = Builder.AddImage(image);
    State = std::make_unique<TsCommonData>(Control, false);
    State->WriteSkinManager(Builder.Manager);
    State->WriteCommonSkinData(Builder.Data);
    State->SkinIndex = section;
    State->FCacheBmp = NewBitmap32(10, 8);
    TSkinBuilder::Paint(State->FCacheBmp.get(), Rect(0, 0, 10, 8), [](int, int) { return Bg; });
    Answer.BgType = btFill;
    Answer.Color = 0x00112233;
  }
  ~TCornerFixture() {
    State.reset();
    TComponent::Free(Form);
  }
  std::uint32_t At(int x, int y) { return TSkinBuilder::Get(State->FCacheBmp.get(), x, y); }
};

const TSkinBuilder::TImage Cells = {.R = Rect(0, 0, 12, 4), .Width = 4, .Height = 4, .ImageCount = 3, .WL = 2,
                                    .WT = 2, .WR = 2, .WB = 2, .Cfg = 1};

TEST(RepairCacheCorners, OnlyTheFlaggedKeyCornersTakeTheParentColour) {
  struct Case {
    const char* Name;
    int Flags, Cfg;
    TColor Colour;
    bool TL, BL, TR, BR;
  } cases[] = {
      {"no flags", 0, 1, 0x00112233, false, false, false, false},
      {"flag 8 alone", 8, 1, 0x00112233, false, false, false, true},
      {"all four", 15, 2, 0x00112233, true, true, true, true},
      {"loader found no key corners", 15, 0, 0x00112233, false, false, false, false},
      {"parent answers the key colour", 15, 1, 0xFF00FF, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TSkinBuilder::TImage image = Cells;
    image.Cfg = c.Cfg;
    TCornerFixture f(image);
    f.Answer.Color = c.Colour;
    RepairCacheCorners(f.State.get(), 1, static_cast<std::uint8_t>(c.Flags));
    const std::uint32_t fill = 0x00332211;
    EXPECT_EQ(c.TL ? fill : Bg, f.At(0, 0));
    EXPECT_EQ(c.BL ? fill : Bg, f.At(0, 7));
    EXPECT_EQ(c.TR ? fill : Bg, f.At(9, 0));
    EXPECT_EQ(c.BR ? fill : Bg, f.At(9, 7));
    // Pixels that are not the key keep the cached skin.
    EXPECT_EQ(Bg, f.At(1, 1));
    EXPECT_EQ(Bg, f.At(8, 6));
  }
}

TEST(RepairCacheCorners, BitmapAnswerIsReadAtTheControlsPlace) {
  TCornerFixture f(Cells);
  auto parent = NewBitmap32(40, 40);
  TSkinBuilder::Paint(parent.get(), Rect(0, 0, 40, 40), [](int x, int y) { return 0xFF000000u | (x << 8) | y; });
  f.Answer.BgType = btCache;
  f.Answer.Bmp = parent.get();
  f.Answer.Offset = Point(1, 2);
  RepairCacheCorners(f.State.get(), 0, 15);
  // Offset plus the control's Left 5 and Top 6.
  EXPECT_EQ(0xFF000000u | (6 << 8) | 8, f.At(0, 0));
  EXPECT_EQ(0xFF000000u | (15 << 8) | 15, f.At(9, 7));
  // An answer that lies partly outside the parent's bitmap repairs only what is inside.
  TSkinBuilder::Paint(f.State->FCacheBmp.get(), Rect(0, 0, 10, 8), [](int, int) { return Bg; });
  f.Answer.Offset = Point(27, -7);
  RepairCacheCorners(f.State.get(), 0, 15);
  EXPECT_EQ(Bg, f.At(0, 0));
  EXPECT_EQ(0xFF000000u | (32 << 8) | 6, f.At(0, 7));
  EXPECT_EQ(Bg, f.At(9, 7));
}

TEST(RepairCacheCorners, ImagesWithoutCells) {
  // An own bitmap without cells counts as a masked image of three states over the bitmap.
  TSkinBuilder::TImage own = Cells;
  own.ImageCount = 0;
  own.R = Rect(0, 0, 0, 0);
  TCornerFixture withOwn(own, true);
  RepairCacheCorners(withOwn.State.get(), 2, 15);
  EXPECT_EQ(0x00332211u, withOwn.At(0, 0));
  EXPECT_EQ(0x00332211u, withOwn.At(9, 7));
  // In the master bitmap such an image has nothing to read.
  TCornerFixture inMaster(own);
  RepairCacheCorners(inMaster.State.get(), 0, 15);
  EXPECT_EQ(Bg, inMaster.At(0, 0));
}

}  // namespace
