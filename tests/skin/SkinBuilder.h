#pragma once
// Skin data built in memory for painting tests: a manager with an active skin, its master
// bitmap, sections with their states, and images in the master bitmap or in bitmaps of
// their own. No file is read.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/ui/Graphics.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

struct TSkinBuilder {
  TsSkinManager* Manager;
  TacSkinData* Data;
  std::vector<std::unique_ptr<TBitmap>> OwnBitmaps;

  explicit TSkinBuilder(int masterWidth = 64, int masterHeight = 64) {
    Manager = new TsSkinManager(nullptr);
    Manager->SkinCommonInfo.Active = true;
    Manager->SkinDataArray.push_back(std::make_unique<TacSkinData>(Manager, 96));
    Data = Manager->SkinDataArray.back().get();
    Master()->SetPixelFormat(pf32bit);
    Master()->SetSize(masterWidth, masterHeight);
  }
  ~TSkinBuilder() { TComponent::Free(Manager); }
  TSkinBuilder(const TSkinBuilder&) = delete;

  TBitmap* Master() { return Manager->MasterBitmap(); }
  static void Put(TBitmap* bmp, int x, int y, std::uint32_t value) {
    static_cast<std::uint32_t*>(bmp->ScanLine(y))[x] = value;
  }
  static std::uint32_t Get(TBitmap* bmp, int x, int y) { return static_cast<std::uint32_t*>(bmp->ScanLine(y))[x]; }
  // Every pixel of R in Bmp from Fn(x, y).
  template <class F>
  static void Paint(TBitmap* bmp, const TRect& r, F&& fn) {
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) Put(bmp, x, y, fn(x, y));
  }
  // A bitmap of its own for an image (owned by the builder).
  TBitmap* NewOwnBitmap(int width, int height) {
    OwnBitmaps.push_back(NewBitmap32(width, height));
    return OwnBitmaps.back().get();
  }

  // A section of States states, each with its colour (further fields set through Section).
  int AddSection(int states, std::initializer_list<TColor> colors) {
    const int i = Data->AddSection(L"SECTION" + std::to_wstring(Data->gd.size()), -1, states, 0, 0, 0);
    int s = 0;
    for (TColor c : colors) Data->gd[i].Props[s++].Color = c;
    return i;
  }
  TsGeneralData& Section(int i) { return Data->gd[i]; }

  struct TImage {
    TRect R;
    int Width = 0, Height = 0;
    int ImageCount = 1, MaskType = 0, DrawMode = 0;
    int WL = 0, WT = 0, WR = 0, WB = 0;
    int Cfg = 0;
    TBitmap* Bmp = nullptr;
  };
  int AddImage(const TImage& im) {
    TsMaskData md;
    md.Bmp = im.Bmp;
    md.R = im.R;
    md.Width = im.Width;
    md.Height = im.Height;
    md.ImageCount = static_cast<short>(im.ImageCount);
    md.MaskType = static_cast<short>(im.MaskType);
    md.DrawMode = static_cast<short>(im.DrawMode);
    md.WL = static_cast<short>(im.WL);
    md.WT = static_cast<short>(im.WT);
    md.WR = static_cast<short>(im.WR);
    md.WB = static_cast<short>(im.WB);
    md.Cfg = im.Cfg;
    md.Manager = Manager;
    Data->ma.push_back(md);
    return static_cast<int>(Data->ma.size()) - 1;
  }
  TsMaskData& Image(int i) { return Data->ma[i]; }

  // ---- palette and constant sections ----
  // Every palette slot gets a colour of its own: 0x20 in blue, the slot number in green and red.
  static TColor PaletteColour(int slot) { return TColor(0x200000 | (slot << 8) | slot); }
  void DistinctPalette() {
    for (int i = 0; i < acPaletteColorCount; ++i) Manager->Palette[i] = PaletteColour(i);
  }
  // The constant section Name (one of SectionNames) is section Index of the skin.
  void SetConstSection(const wchar_t* name, int index) {
    for (int i = 0; i < acSectionCount; ++i)
      if (std::wstring_view(SectionNames[i]) == name) Manager->SkinCommonInfo.Sections[i] = index;
  }
  // A FORMTITLE section of two states (normal, active), each with its colour and font colour.
  int AddFormTitle(TColor normal, TColor active, TColor fontNormal, TColor fontActive) {
    const int i = AddSection(2, {normal, active});
    Section(i).Props[0].FontColor.Color = fontNormal;
    Section(i).Props[1].FontColor.Color = fontActive;
    SetConstSection(L"FORMTITLE", i);
    return i;
  }

  // ---- layered painting: a translucent state, a three-point gradient, an outer effect ----
  // A one-state section in Color at transparency 40.
  int AddTranslucentSection(TColor color) {
    const int i = AddSection(1, {color});
    Section(i).Props[0].Transparency = 40;
    return i;
  }
  // A one-state section painted wholly by a vertical gradient through three colours (at 0,
  // 50 and 100 percent).
  int AddThreePointGradientSection(TColor top, TColor middle, TColor bottom) {
    const int i = AddSection(1, {middle});
    TsGenState& st = Section(i).Props[0];
    st.GradientPercent = 100;
    st.GradientArray.resize(3);
    const TColor colours[] = {top, middle, bottom};
    for (int p = 0; p < 3; ++p) {
      st.GradientArray[p].Index = static_cast<std::uint16_t>(p);
      st.GradientArray[p].Color = static_cast<std::uint32_t>(colours[p]);
      st.GradientArray[p].Percent = static_cast<TPercent>(p * 50);
      st.GradientArray[p].Mode = 0;
    }
    return i;
  }
  // Image becomes Section's outer effect, reaching Offsets (left, top, right, bottom) beyond
  // the body at Opacity; answers the image's index.
  int AddOuterMask(int section, const TImage& image, const TRect& offsets, int opacity) {
    const int m = AddImage(image);
    Section(section).OuterMask = m;
    Section(section).OuterOffset = offsets;
    Section(section).OuterOpacity = opacity;
    return m;
  }
};
