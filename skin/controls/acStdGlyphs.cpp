#include "skin/controls/acStdGlyphs.h"

#include <memory>

#include "skin/controls/acAlphaImageList.h"

namespace {

struct TStdGlyphRow {
  wchar_t Char;
  double ScalingFactor;
  int OffsetY;
};

// Rows 0 to 3 are "Marlett" signs (images 21 to 24), rows 4 to 24 icon-font glyphs (images
// 0 to 20).
constexpr TStdGlyphRow StdGlyphRows[StdGlyphCount] = {
    {L'0', 1.0, 0},    {L'1', 1.0, 0},    {L'2', 1.0, 0},    {L'r', 1.0, 0},    {0xF016, 1.0, 0},
    {0xF115, 1.0, 0},  {0xF274, 1.0, 0},  {0xF141, 1.0, 4},  {0xF1EC, 1.0, 0},  {0xF111, 0.75, 0},
    {0xF00C, 1.0, 0},  {0xF047, 0.9, 1},  {0xF1FB, 1.0, 0},  {0xF00C, 1.1, 0},  {0xF00D, 1.1, 0},
    {0xF067, 0.8, 2},  {0xF0D8, 1.3, 0},  {0xF01E, 0.9, 1},  {0xF048, 0.8, 2},  {0xF053, 0.8, 2},
    {0xF054, 0.8, 2},  {0xF051, 0.8, 2},  {0xF068, 0.8, 2},  {0xF00C, 0.8, 0},  {0xF00D, 0.8, 0},
};

struct TStdGlyphs {
  std::unique_ptr<TsCharImageList> List;
  bool Finished = false;
  ~TStdGlyphs() { Finished = true; }
};

TStdGlyphs& Glyphs() {
  static TStdGlyphs glyphs;
  return glyphs;
}

}  // namespace

void CreateStdCharList() {
  TStdGlyphs& g = Glyphs();
  if (g.List || g.Finished) return;
  auto list = std::make_unique<TsCharImageList>(nullptr);
  list->SetBkColor(0xFFFFFF);
  list->SetWidth(16);
  list->SetHeight(14);
  list->AcBeginUpdate();
  auto add = [&](const TStdGlyphRow& row, const wchar_t* font) {
    TacCharItemData data;
    data.Char = row.Char;
    data.FontName = font;
    data.ScalingFactor = row.ScalingFactor;
    data.OffsetY = row.OffsetY;
    list->AddItem(data);
  };
  for (int i = 4; i < StdGlyphCount; ++i) add(StdGlyphRows[i], L"FontAwesome");
  for (int i = 0; i < 4; ++i) add(StdGlyphRows[i], L"Marlett");
  list->AcEndUpdate(false);
  list->GenerateStdList();
  g.List = std::move(list);
}

TsCharImageList* StdGlyphList() {
  CreateStdCharList();
  return Glyphs().List.get();
}
