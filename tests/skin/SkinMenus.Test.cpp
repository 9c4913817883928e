// Skinned menus on the test skin: item types and sizes, the cached menu background with the
// full skin and with the skin lacking the menu sections, the extra-line decision, Break
// columns, the disabled blend, glyphs (sizes, check marks from masks or standard glyphs,
// images and bitmaps, the system menu's signs), and real popup menus under Xvfb (items, hot
// item, divider, translucency of the menu window, GDI balance over many openings).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ReaderFixtures.h"
#include "SkinBuilder.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/controls/acStdGlyphs.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acDials.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"
#include "ui/GdiCounter.h"

namespace {

// The skin tool's colours (zone_colour in tools/make_skin.py) as pixels 0x00RRGGBB.
enum { Corner, Side, Centre, Fill };
std::uint32_t Zone(int section, int zone, int state) {
  return (std::uint32_t(0x30 + 0x40 * zone) << 16) | (std::uint32_t(0x20 + 0x60 * state) << 8) |
         std::uint32_t(0x10 + 0x0C * section);
}
constexpr int MainMenuNo = 14, MenuItemNo = 15, DividerNo = 17, IcoLineNo = 18;

std::uint32_t Rgb(TBitmap* b, int x, int y) { return TSkinBuilder::Get(b, x, y) & 0xFFFFFF; }

struct TManagerOwner {
  TsSkinManager* M;
  explicit TManagerOwner(const wchar_t* skin, const wchar_t* folder = L"skins") {
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(folder));
    M->SetSkinName(skin);
  }
  ~TManagerOwner() { TComponent::Free(M); }
};

class SkinMenus : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    ClearMenuInfos();
  }
  void TearDown() override { ClearMenuInfos(); }
  TManagerOwner Full{L"Tarvel Test"};
  TsSkinableMenus& Menus() { return *Full.M->SkinableMenus; }
  TComponent Owner{nullptr};

  TPopupMenu* MakeMenu(std::initializer_list<const wchar_t*> captions) {
    auto* menu = new TPopupMenu(&Owner);
    for (const wchar_t* c : captions) {
      auto* item = new TMenuItem(&Owner);
      item->Caption = c;
      menu->Items()->Add(item);
    }
    return menu;
  }
};

TMenuItem* NewItemOf(TComponent* owner, const wchar_t* caption) {
  auto* item = new TMenuItem(owner);
  item->Caption = caption;
  return item;
}

// A canvas over a memory DC with a bitmap selected, as the system hands measuring.
struct TMemoryCanvas {
  std::unique_ptr<TBitmap> Bmp = NewBitmap32(300, 200);
  TCanvas& Canvas() { return Bmp->Canvas(); }
};

TEST_F(SkinMenus, CustomMenuFontFollowsTheFlagAndTheFontSettings) {
  if (!Full.M->IsDefault()) GTEST_SKIP() << "another manager is the default one";
  TacMenuSupport& support = Full.M->MenuSupport;
  support.Font().Name = L"Arial";
  const struct {
    bool Flag;
    TacFontMode Mode;
    const wchar_t* MainFont;
    const wchar_t* Face;  // nullptr: no custom menu font
  } rows[] = {{false, fmDefault, L"", nullptr},
              {true, fmDefault, L"", L"Arial"},
              {false, fmCustom, L"Courier New", L"Courier New"},
              {true, fmCustom, L"", L"Arial"}};
  for (const auto& row : rows) {
    Full.M->Fonts.MainMode.Store(row.Mode);
    Full.M->Fonts.MainFont.Store(row.MainFont);
    support.WriteCustomFont(row.Flag);
    EXPECT_EQ(support.CustomFont(), row.Flag);
    ASSERT_EQ(CustomMenuFont != nullptr, row.Face != nullptr) << row.Flag << row.Mode;
    if (row.Face) {
      EXPECT_EQ(CustomMenuFont->Name.Get(), row.Face);
      EXPECT_EQ(&Menus().CaptionFont(), CustomMenuFont.get());
    }
  }
  Full.M->Fonts.MainMode.Store(fmDefault);
  Full.M->Fonts.MainFont.Store(L"");
  support.WriteCustomFont(false);
  EXPECT_EQ(&Menus().CaptionFont(), &Screen().MenuFont());
  // A skin change makes the menus measure the skin's border again.
  Menus().SkinBorderWidth = 7;
  Full.M->UpdateSkin(false);
  EXPECT_EQ(Menus().SkinBorderWidth, -1);
}

TEST_F(SkinMenus, ItemTypesFromCaptions) {
  const struct {
    const wchar_t* Caption;
    TsMenuItemType Type;
  } rows[] = {{L"-", smDivider}, {L"-Word-", smCaption}, {L"--", smCaption},
              {L"a-b", smNormal}, {L"-x", smNormal},     {L"Open", smNormal}};
  for (const auto& row : rows) {
    TMenuItem item(nullptr);
    item.Caption = row.Caption;
    EXPECT_EQ(TsSkinableMenus::ItemTypeOf(&item), row.Type) << static_cast<const void*>(row.Caption);
  }
}

TEST_F(SkinMenus, MeasuredSizesOfDividersCaptionsAndItems) {
  TPopupMenu* menu = MakeMenu({L"W", L"WWWW", L"-", L"-Head-"});
  Menus().HookPopupMenu(menu, true);
  TMemoryCanvas mc;
  int w[4], h[4];
  for (int i = 0; i < 4; ++i) {
    w[i] = h[i] = 0;
    (*menu->Items())[i]->OnMeasureItem((*menu->Items())[i], &mc.Canvas(), w[i], h[i]);
  }
  EXPECT_TRUE(SkinnedMenuActive);
  // A divider: no text, 2 x glyph 16 + 3 x margin 2 + spacing 8; 2 pixels high.
  EXPECT_EQ(w[2], 46);
  EXPECT_EQ(h[2], 2);
  // Items: the text's width on top of the same; height from the taller of text and glyph.
  Menus().InitMenuFont(&mc.Canvas(), (*menu->Items())[0], false, false);
  const int wide = mc.Canvas().TextWidth(L"WWWW"), narrow = mc.Canvas().TextWidth(L"W");
  EXPECT_EQ(w[1] - w[0], wide - narrow);
  EXPECT_EQ(w[0], 46 + narrow);
  const int textH = mc.Canvas().TextHeight(L"W");
  EXPECT_EQ(h[0], std::max(textH, 16) + 2 * 2 + 2);
  // A caption item: text height + 2 x margin + 3.
  EXPECT_EQ(h[3], textH + 2 * 2 + 3);
}

TEST_F(SkinMenus, BackgroundWithFrameIconColumnAndCornerHoles) {
  TPopupMenu* menu = MakeMenu({L"One", L"Two"});
  TacMenuInfo* mi = Menus().GetMenuInfo((*menu->Items())[0], 0, nullptr, nullptr, 0);
  ASSERT_NE(mi, nullptr);
  Menus().PrepareMenuBG(mi, (*menu->Items())[0], nullptr, 80, 120);
  TBitmap* b = mi->Bmp.get();
  ASSERT_EQ(b->Width(), 120);
  ASSERT_EQ(b->Height(), 80);
  EXPECT_EQ(Menus().SkinBorderWidth, 3);
  EXPECT_EQ(mi->GlyphColumnWidth, 16 + 2 + 8);
  EXPECT_EQ(Rgb(b, 1, 40), Zone(MainMenuNo, Side, 0));        // frame side
  EXPECT_EQ(Rgb(b, 1, 1), Zone(MainMenuNo, Corner, 0));       // frame corner
  EXPECT_EQ(Rgb(b, 3 + 10, 40), Zone(IcoLineNo, Fill, 0));    // icon column
  EXPECT_EQ(Rgb(b, 3 + 26 + 5, 40), Zone(MainMenuNo, Fill, 0));  // background past the column
  // The key-colour corner runs are cut from the window's region: three pixels a corner.
  std::vector<std::vector<int>> holes;
  for (const RECT& r : Menus().ArOR) holes.push_back({int(r.left), int(r.top), int(r.right), int(r.bottom)});
  const std::vector<std::vector<int>> expected = {{0, 0, 2, 1},     {118, 0, 120, 1},  {0, 1, 1, 2},
                                                  {119, 1, 120, 2}, {0, 78, 1, 79},   {119, 78, 120, 79},
                                                  {0, 79, 2, 80},   {118, 79, 120, 80}};
  EXPECT_EQ(holes, expected);
}

TEST_F(SkinMenus, BackgroundOfASkinLackingTheMenuSections) {
  TManagerOwner lacking(L"Tarvel Test Lacking", L"skins-lacking");
  ASSERT_TRUE(lacking.M->IsActive());
  TsSkinableMenus& menus = *lacking.M->SkinableMenus;
  TPopupMenu* menu = MakeMenu({L"One", L"-"});
  TacMenuInfo* mi = menus.GetMenuInfo((*menu->Items())[0], 0, nullptr, nullptr, 0);
  menus.PrepareMenuBG(mi, (*menu->Items())[0], nullptr, 50, 90);
  ASSERT_TRUE(mi->Bmp);
  EXPECT_EQ(mi->Bmp->Width(), 90);
  EXPECT_EQ(mi->Bmp->Height(), 50);
  EXPECT_TRUE(menus.NoBorder());
  EXPECT_TRUE(menus.ArOR.empty());
  // The divider without a "DIVIDERV" border is a line in the border colour of the palette
  // (or the system's shadow colour) at the item's top.
  TMemoryCanvas mc;
  mc.Canvas().Brush.Color = clWhite;
  mc.Canvas().FillRect(Rect(0, 0, 300, 200));
  menus.DrawDividerItem(&mc.Canvas(), Rect(0, 10, 80, 12), mi, mi->Bmp.get(), (*menu->Items())[1]);
  TColor line = lacking.M->Palette[pcBorder];
  if (line == TColor(0xFF00FF)) line = clBtnShadow;
  const COLORREF c = ColorToRGB(line);
  EXPECT_EQ(Rgb(mc.Bmp.get(), 40, 10), (std::uint32_t(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c));
}

TEST_F(SkinMenus, ExtraLineOnlyWhereAskedAndNeverBesideTheSkinSelection) {
  Full.M->MenuSupport.UseExtraLine = true;
  bool visible = true;
  Full.M->OnGetPopupLineData = [&](TMenuItem*, std::wstring&, std::wstring& caption, std::unique_ptr<TBitmap>&,
                                   bool& lineVisible) {
    caption = L"&Tarvel";
    lineVisible = visible;
  };
  const struct {
    const wchar_t* FirstName;
    bool Visible;
    int Extra;
  } rows[] = {{L"SkinSelectItem", true, 0}, {L"Other", true, 32}, {L"Other", false, 0}};
  for (const auto& row : rows) {
    ClearMenuInfos();
    visible = row.Visible;
    TPopupMenu* menu = MakeMenu({L"A", L"B"});
    (*menu->Items())[0]->Name = row.FirstName;
    TMemoryCanvas mc;
    int w = 0, h = 0;
    Menus().sMeasureItem((*menu->Items())[0], &mc.Canvas(), w, h);
    TacMenuInfo* mi = Menus().GetMenuInfo((*menu->Items())[0], 0, nullptr, nullptr, 0);
    EXPECT_EQ(Menus().ExtraWidth(mi), row.Extra) << static_cast<const void*>(row.FirstName) << row.Visible;
    if (row.Extra) EXPECT_EQ(ExtraLineCaption, L"Tarvel");
  }
  Full.M->MenuSupport.UseExtraLine = false;
}

TEST_F(SkinMenus, ExtraLineAndRightToLeftPlaceTheColumns) {
  constexpr int ExtraLineNo = 19;
  Full.M->MenuSupport.UseExtraLine = true;
  Full.M->OnGetPopupLineData = [](TMenuItem*, std::wstring&, std::wstring& caption, std::unique_ptr<TBitmap>&,
                                  bool&) { caption.clear(); };
  const struct {
    bool RightToLeft;
    int LineX, ColumnX, PastX;  // from the left, or from the right for right-to-left menus
  } rows[] = {{false, 3 + 10, 3 + 32 + 10, 3 + 32 + 26 + 5}, {true, 3 + 10, 3 + 32 + 10, 3 + 32 + 26 + 5}};
  for (const auto& row : rows) {
    ClearMenuInfos();
    TPopupMenu* menu = MakeMenu({L"One"});
    menu->BiDiMode = row.RightToLeft ? bdRightToLeft : bdLeftToRight;
    TacMenuInfo* mi = Menus().GetMenuInfo((*menu->Items())[0], 0, nullptr, nullptr, 0);
    Menus().PrepareMenuBG(mi, (*menu->Items())[0], nullptr, 60, 140);
    TBitmap* b = mi->Bmp.get();
    auto at = [&](int x) { return Rgb(b, row.RightToLeft ? b->Width() - 1 - x : x, 30); };
    EXPECT_EQ(at(row.LineX), Zone(ExtraLineNo, Fill, 0)) << row.RightToLeft;
    EXPECT_EQ(at(row.ColumnX), Zone(IcoLineNo, Fill, 0)) << row.RightToLeft;
    EXPECT_EQ(at(row.PastX), Zone(MainMenuNo, Fill, 0)) << row.RightToLeft;
  }
  Full.M->MenuSupport.UseExtraLine = false;
  Full.M->OnGetPopupLineData = nullptr;
}

TEST_F(SkinMenus, BreakColumnsGiveTheMenuItsSize) {
  TPopupMenu* menu = MakeMenu({L"A", L"BBBBBBBB", L"C", L"D"});
  (*menu->Items())[2]->Break = mbBarBreak;
  TMemoryCanvas mc;
  auto measured = [&](int i) {
    int w = 0, h = 0;
    Menus().sMeasureItem((*menu->Items())[i], &mc.Canvas(), w, h);
    return TSize{w, Menus().ItemHeight(&mc.Canvas(), (*menu->Items())[i])};
  };
  const TSize a = measured(0), b = measured(1), c = measured(2), d = measured(3);
  const TSize size = Menus().MenuSizeOf(&mc.Canvas(), (*menu->Items())[0]);
  const int first = std::max(a.cx, b.cx) + 12, second = std::max(c.cx, d.cx) + 12;
  EXPECT_EQ(size.cx, first + 4 + second);
  EXPECT_EQ(size.cy, std::max(a.cy + b.cy, c.cy + d.cy));
}

TEST_F(SkinMenus, EachMenuKeepsItsOwnIconColumn) {
  TPopupMenu* plain = MakeMenu({L"A"});
  TPopupMenu* wide = MakeMenu({L"B"});
  (*wide->Items())[0]->Bitmap()->SetSize(30, 30);
  TacMenuInfo* p = Menus().GetMenuInfo((*plain->Items())[0], 0, nullptr, nullptr, 0);
  Menus().PrepareMenuBG(p, (*plain->Items())[0], nullptr, 40, 100);
  TacMenuInfo* w = Menus().GetMenuInfo((*wide->Items())[0], 0, nullptr, nullptr, 0);
  Menus().PrepareMenuBG(w, (*wide->Items())[0], nullptr, 50, 100);
  EXPECT_EQ(p->GlyphColumnWidth, 16 + 10);
  EXPECT_EQ(w->GlyphColumnWidth, 30 + 10);
}

TEST_F(SkinMenus, FreedItemsLeaveNoMenuInfoAndNoLiveRequest) {
  TPopupMenu* menu = MakeMenu({L"A", L"B"});
  TMenuItem* first = (*menu->Items())[0];
  TMemoryCanvas mc;
  int w = 0, h = 0;
  Menus().sMeasureItem(first, &mc.Canvas(), w, h);  // makes the menu's entry
  ASSERT_EQ(MenuInfoList.size(), 1u);
  EXPECT_EQ(MenuItemOfRequest(reinterpret_cast<LPARAM>(first)), first);
  TComponent::Free(first);
  EXPECT_TRUE(MenuInfoList.empty());
  EXPECT_EQ(MenuItemOfRequest(reinterpret_cast<LPARAM>(first)), nullptr);
}

TEST_F(SkinMenus, DisabledItemIsMixedWithTheBackground) {
  TPopupMenu* menu = MakeMenu({L"Off", L"On"});
  (*menu->Items())[0]->Enabled = false;
  Menus().HookPopupMenu(menu, true);
  // The item bitmap is painted pure red by the manager's draw event before the blend.
  Menus().OnDrawItem = [](TMenuItem*, TCanvas* c, const TRect& r, TOwnerDrawState, TsMenuItemType) {
    c->Brush.Color = TColor(0x0000FF);
    c->FillRect(r);
  };
  TMemoryCanvas mc;
  for (int i = 0; i < 2; ++i) {
    TMenuItem* item = (*menu->Items())[i];
    const TRect r = Rect(3, 3 + 20 * i, 150, 23 + 20 * i);
    item->OnAdvancedDrawItem(item, &mc.Canvas(), r, 0);
  }
  Menus().OnDrawItem = nullptr;
  TacMenuInfo* mi = Menus().GetMenuInfo((*menu->Items())[0], 0, nullptr, nullptr, 0);
  ASSERT_TRUE(mi && mi->Bmp);
  const std::uint32_t bg = Rgb(mi->Bmp.get(), 100 + 3, 10 + 3);
  auto mix = [](std::uint32_t b, std::uint32_t s, int shift) {
    return ((((b >> shift) & 0xFF) * 155 + ((s >> shift) & 0xFF) * 100) >> 8) << shift;
  };
  const std::uint32_t red = 0xFF0000;
  EXPECT_EQ(Rgb(mc.Bmp.get(), 100, 10), mix(bg, red, 16) | mix(bg, red, 8) | mix(bg, red, 0));
  EXPECT_EQ(Rgb(mc.Bmp.get(), 100, 30), red);
}

TEST_F(SkinMenus, CheckMarksFromTheSkinsGlobalMasks) {
  constexpr int CheckNo = 18, RadioNo = 19;
  const struct {
    bool Radio, OldGlyphs;
    int MaskNo;  // the mask's colour in the glyph column; -1: none (standard glyphs draw it)
    int ImageIndex = -1;  // an index without a list to hold it is no image
  } rows[] = {{false, false, CheckNo}, {true, true, RadioNo}, {true, false, -1}, {false, false, CheckNo, 3}};
  const bool oldGlyphs = Full.M->ButtonsOptions.OldGlyphsMode();  // one flag of the process
  for (const auto& row : rows) {
    ClearMenuInfos();
    Full.M->ButtonsOptions.SetOldGlyphsMode(row.OldGlyphs);
    TPopupMenu* menu = MakeMenu({L"Checked"});
    TMenuItem* item = (*menu->Items())[0];
    item->Checked = true;
    item->RadioItem = row.Radio;
    item->ImageIndex = row.ImageIndex;
    Menus().HookPopupMenu(menu, true);
    TMemoryCanvas mc;
    item->OnAdvancedDrawItem(item, &mc.Canvas(), Rect(3, 3, 150, 23), odChecked);
    int check = 0, radio = 0;
    for (int y = 3; y < 23; ++y)
      for (int x = 3; x < 3 + 26; ++x) {
        check += Rgb(mc.Bmp.get(), x, y) == Zone(CheckNo, Corner, 0);
        radio += Rgb(mc.Bmp.get(), x, y) == Zone(RadioNo, Corner, 0);
      }
    EXPECT_EQ(check, row.MaskNo == CheckNo ? 64 : 0) << row.Radio << row.OldGlyphs << row.ImageIndex;
    EXPECT_EQ(radio, row.MaskNo == RadioNo ? 64 : 0) << row.Radio << row.OldGlyphs << row.ImageIndex;
  }
  Full.M->ButtonsOptions.SetOldGlyphsMode(oldGlyphs);
}

TEST_F(SkinMenus, GlyphSizesFromTheItemsBitmapTheSubmenusImagesOrTheMenusImages) {
  TsAlphaImageList sub(nullptr, 24, 24);
  TsCharImageList chars(nullptr);
  chars.SetWidth(16);
  chars.SetHeight(14);
  TacCharItemData dot;
  dot.Char = 0xF111;
  dot.ScalingFactor = 0.75;
  chars.AddItem(dot);
  TPopupMenu* withImages = MakeMenu({L"Bitmap", L"Image", L"NoImage", L"Parent"});
  withImages->Images = &chars;
  TMenuItem* bitmap = (*withImages->Items())[0];
  bitmap->Bitmap()->SetSize(30, 20);
  TMenuItem* image = (*withImages->Items())[1];
  image->ImageIndex = 0;
  TMenuItem* parent = (*withImages->Items())[3];
  parent->SubMenuImages = &sub;
  TMenuItem* child = NewItemOf(&Owner, L"Child");
  parent->Add(child);
  TMenuItem* plain = (*MakeMenu({L"Plain"})->Items())[0];
  const struct {
    TMenuItem* Item;
    bool Top;
    int PPI, W, H;
  } rows[] = {
      {bitmap, false, 96, 30, 20}, {bitmap, true, 144, 30, 20},  // the bitmap at any density
      {image, true, 96, 0, 0},                                    // a top item without bitmap
      {child, false, 96, 24, 0},   {child, false, 144, 36, 0},   // the submenu's list: width only
      {image, false, 96, 12, 10},  {image, false, 144, 18, 15},  // the image's own scaling
      {(*withImages->Items())[2], false, 96, 16, 14},             // index -1: the list's size
      {plain, false, 96, 16, 16},  {plain, false, 144, 24, 24},  // the default size
  };
  const int ppi = Menus().PPI;
  for (const auto& row : rows) {
    Menus().PPI = row.PPI;
    const TSize size = Menus().GlyphSize(row.Item, row.Top);
    EXPECT_EQ(size.cx, row.W) << row.Item->Caption << " " << row.Top << " " << row.PPI;
    EXPECT_EQ(size.cy, row.H) << row.Item->Caption << " " << row.Top << " " << row.PPI;
  }
  Menus().PPI = ppi;
}

// Colours within 2 per channel: an opaque glyph blended by its alpha may lose a unit.
bool Near(std::uint32_t A, std::uint32_t B) {
  for (int shift : {0, 8, 16})
    if (std::abs(int(A >> shift & 0xFF) - int(B >> shift & 0xFF)) > 2) return false;
  return true;
}

// Bmp made 32-bit, W x H, every pixel Rgb (0xRRGGBB) and opaque.
void FillOpaque(TBitmap* Bmp, int W, int H, std::uint32_t Rgb) {
  Bmp->SetPixelFormat(pf32bit);
  Bmp->SetSize(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) static_cast<std::uint32_t*>(Bmp->ScanLine(y))[x] = 0xFF000000u | Rgb;
}

// An item drawn alone at (3, 3) - (150, 23), as the menu's first column draws it.
std::unique_ptr<TBitmap> DrawnItem(TMenuItem* Item, TOwnerDrawState State) {
  TMemoryCanvas mc;
  Item->OnAdvancedDrawItem(Item, &mc.Canvas(), Rect(3, 3, 150, 23), State);
  return std::move(mc.Bmp);
}

// The pixels of the item's icon column (26 wide at 96 PPI) that differ between two drawings.
int ColumnDifferences(TBitmap* A, TBitmap* B) {
  int n = 0;
  for (int y = 3; y < 23; ++y)
    for (int x = 3; x < 3 + 26; ++x) n += Rgb(A, x, y) != Rgb(B, x, y);
  return n;
}

// Plain plus the standard glyph the column shows: centred in it, less the menu's 3-pixel
// border on the left, in the items' normal text colour.
std::unique_ptr<TBitmap> WithStdGlyph(TBitmap* Plain, int Index) {
  auto bmp = NewBitmap32(Plain->Width(), Plain->Height());
  BitBlt(bmp->Canvas().Handle(), 0, 0, bmp->Width(), bmp->Height(), Plain->Canvas().Handle(), 0, 0, SRCCOPY);
  TsCharImageList* list = StdGlyphList();
  const int w = ScaledImageWidth(list, Index, 96), h = ScaledImageHeight(list, Index, 96);
  SetImageListPPI(list, 96);
  bmp->Canvas().Font.Color = TColor(0x101010);  // "MENUITEM" FONTCOLOR
  list->Draw(&bmp->Canvas(), 3 + (26 - w) / 2 - 3, 3 + (20 - h) / 2, Index, true);
  return bmp;
}

TEST_F(SkinMenus, CheckMarksFromTheStandardGlyphsWithoutTheSkinsMasks) {
  TManagerOwner plainMarks(L"Tarvel Test Plain Marks", L"skins-plainmarks");
  ASSERT_TRUE(plainMarks.M->IsActive());
  const struct {
    bool PlainMarks, Radio, OldGlyphs;
    int Glyph;
  } rows[] = {{true, false, false, sgTick}, {true, true, true, sgRadioDot}, {false, true, false, sgRadioDot}};
  const bool oldGlyphs = Full.M->ButtonsOptions.OldGlyphsMode();
  for (const auto& row : rows) {
    ClearMenuInfos();
    TsSkinManager* manager = row.PlainMarks ? plainMarks.M : Full.M;
    manager->ButtonsOptions.SetOldGlyphsMode(row.OldGlyphs);
    TPopupMenu* menu = MakeMenu({L"Checked"});
    TMenuItem* item = (*menu->Items())[0];
    item->RadioItem = row.Radio;
    manager->SkinableMenus->HookPopupMenu(menu, true);
    auto plain = DrawnItem(item, 0);
    auto expected = WithStdGlyph(plain.get(), row.Glyph);
    ASSERT_GT(ColumnDifferences(plain.get(), expected.get()), 10) << row.Glyph;
    auto checked = DrawnItem(item, odChecked);
    EXPECT_EQ(ColumnDifferences(checked.get(), expected.get()), 0)
        << row.PlainMarks << row.Radio << row.OldGlyphs;
  }
  Full.M->ButtonsOptions.SetOldGlyphsMode(oldGlyphs);
}

TEST_F(SkinMenus, ItemImagesAndBitmapsSitInTheIconColumn) {
  TsAlphaImageList list(nullptr);
  TBitmap red;
  FillOpaque(&red, 16, 16, 0xFF0000);
  ASSERT_EQ(list.Add(&red, nullptr), 0);
  const std::uint32_t frame = Zone(17, Fill, 2);  // "SPEEDBUTTON_SMALL" pressed
  constexpr int CheckNo = 18;
  const struct {
    bool FromList, Checked;
  } rows[] = {{true, false}, {true, true}, {false, false}, {false, true}};
  for (const auto& row : rows) {
    ClearMenuInfos();
    TPopupMenu* menu = MakeMenu({L"Glyph"});
    TMenuItem* item = (*menu->Items())[0];
    int w = 16, h = 16;
    std::uint32_t ink = 0xFF0000;
    if (row.FromList) {
      menu->Images = &list;
      item->ImageIndex = 0;
    } else {
      // A plain bitmap: blue, with a lime left edge that the bottom-left pixel makes clear.
      TBitmap* b = item->Bitmap();
      b->SetPixelFormat(pf24bit);
      b->SetSize(w = 12, h = 12);
      b->Canvas().Brush.Color = TColor(0xFF0000);  // blue
      b->Canvas().FillRect(Rect(0, 0, 12, 12));
      b->Canvas().Brush.Color = TColor(0x00FF00);  // lime
      b->Canvas().FillRect(Rect(0, 0, 1, 12));
      ink = 0x0000FF;
    }
    Menus().HookPopupMenu(menu, true);
    auto bmp = DrawnItem(item, row.Checked ? odChecked : 0);
    // The column is the first item's glyph + margin 2 + spacing 8 wide; the item 20 high.
    const int left = 3 + (2 + 8) / 2, top = 3 + (20 - h) / 2;
    const std::wstring at = std::to_wstring(row.FromList) + std::to_wstring(row.Checked);
    EXPECT_TRUE(Near(Rgb(bmp.get(), left + w - 1, top), ink)) << at;
    EXPECT_TRUE(Near(Rgb(bmp.get(), left + w / 2, top + h - 1), ink)) << at;
    EXPECT_FALSE(Near(Rgb(bmp.get(), left + w, top), ink)) << at;
    if (row.FromList)
      EXPECT_TRUE(Near(Rgb(bmp.get(), left, top + h / 2), ink)) << at;
    else
      EXPECT_NE(Rgb(bmp.get(), left, top + h / 2), 0x00FF00u) << at;
    EXPECT_EQ(Rgb(bmp.get(), left - 1, top - 1) == frame, row.Checked) << at;
    int marks = 0;
    for (int y = 3; y < 23; ++y)
      for (int x = 3; x < 3 + 26; ++x) marks += Rgb(bmp.get(), x, y) == Zone(CheckNo, Corner, 0);
    EXPECT_EQ(marks, 0) << at;  // an item with a glyph shows no check mark
  }
}

TEST_F(SkinMenus, SystemMenuCommandsShowTheCaptionButtonSigns) {
  const struct {
    std::intptr_t Tag;
    int Glyph;  // -1: none
  } rows[] = {{SC_MOVE, sgMove},         {SC_MINIMIZE, sgMinimize}, {SC_MAXIMIZE, sgMaximize},
              {SC_RESTORE, sgRestore},   {SC_CLOSE, sgClose},       {SC_SIZE, -1}};
  for (const auto& row : rows) {
    ClearMenuInfos();
    TPopupMenu* menu = MakeMenu({L"Command"});
    TMenuItem* item = (*menu->Items())[0];
    item->Tag = row.Tag;
    Menus().HookPopupMenu(menu, true);
    // Only the engine's own system menu is known by its name.
    auto plain = DrawnItem(item, 0);
    menu->Name = L"acSysMenu" + std::to_wstring(GetTickCount());
    auto drawn = DrawnItem(item, 0);
    if (row.Glyph < 0) {
      EXPECT_EQ(ColumnDifferences(plain.get(), drawn.get()), 0) << row.Tag;
      continue;
    }
    auto expected = WithStdGlyph(plain.get(), row.Glyph);
    ASSERT_GT(ColumnDifferences(plain.get(), expected.get()), 10) << row.Glyph;
    EXPECT_EQ(ColumnDifferences(drawn.get(), expected.get()), 0) << row.Tag;
  }
  // An item with a glyph of its own keeps it.
  ClearMenuInfos();
  TPopupMenu* menu = MakeMenu({L"Close"});
  menu->Name = L"acSysMenu1";
  TMenuItem* item = (*menu->Items())[0];
  item->Tag = SC_CLOSE;
  FillOpaque(item->Bitmap(), 16, 16, 0x0000FF);
  Menus().HookPopupMenu(menu, true);
  auto drawn = DrawnItem(item, 0);
  for (int y = 5; y < 21; ++y)
    for (int x = 8; x < 24; ++x) ASSERT_TRUE(Near(Rgb(drawn.get(), x, y), 0x0000FF)) << x << "," << y;
}

TEST_F(SkinMenus, ItemsPastTheBackgroundCopyOnlyWhatExists) {
  TPopupMenu* menu = MakeMenu({L"One", L"Two"});
  Menus().HookPopupMenu(menu, true);
  TMemoryCanvas mc;
  TMenuItem* first = (*menu->Items())[0];
  first->OnAdvancedDrawItem(first, &mc.Canvas(), Rect(3, 3, 150, 23), 0);
  TacMenuInfo* mi = Menus().GetMenuInfo(first, 0, nullptr, nullptr, 0);
  ASSERT_TRUE(mi && mi->Bmp);
  const int height = mi->Bmp->Height();
  ASSERT_LT(height, 120);
  // An item reported below and right of the background (a menu that grew since): the part
  // inside the background is copied, nothing is read past it.
  TMenuItem* second = (*menu->Items())[1];
  mc.Canvas().Brush.Color = clWhite;
  mc.Canvas().FillRect(Rect(0, 0, 300, 200));
  second->OnAdvancedDrawItem(second, &mc.Canvas(), Rect(250, height - 10, 330, height + 30), 0);
  EXPECT_EQ(Rgb(mc.Bmp.get(), 252, height - 9), Rgb(mi->Bmp.get(), 255, height - 6));
  EXPECT_EQ(mi->Bmp->Height(), height);
}

TEST_F(SkinMenus, MenuWindowHandlerAnswersTheLibraryMessage) {
  HWND wnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 10, 10, 80, 60, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(wnd);
  auto* handler = new TacMnuWnd(wnd, Full.M);
  ASSERT_EQ(MenuWindows.size(), 1u);
  const struct {
    WORD Command;
    LRESULT Answer;
  } rows[] = {{SKCMD_IS_SKINNED, 1},
              {SKCMD_SET_UPDATING, 0},
              {SKCMD_BORDER_DRAWN, 0},
              {SKCMD_SET_UPDATING, 1},  // the border was drawn on the visible window
              {SKCMD_GET_APPLICATION, reinterpret_cast<LRESULT>(&Application())},
              {SKCMD_NEW_SKIN, 0}};
  for (const auto& row : rows) EXPECT_EQ(SendSkinCommand(wnd, row.Command, 0), row.Answer) << row.Command;
  // The background erase paints the cache (the "MAINMENU" section) inside the 3-pixel frame.
  SkinnedMenuActive = true;
  auto target = NewBitmap32(80, 60);
  SendMessageW(wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(target->Canvas().Handle()), 0);
  EXPECT_EQ(handler->RgnChanged, 0);
  EXPECT_EQ(Rgb(target.get(), 30, 30), Zone(MainMenuNo, Fill, 0));
  // The window's end takes the handler with it and ends the skinned menu.
  DestroyWindow(wnd);
  EXPECT_TRUE(MenuWindows.empty());
  EXPECT_FALSE(SkinnedMenuActive);
}

// ---------------------------------------------------------------------------
// Real popup menus
// ---------------------------------------------------------------------------

HWND OpenMenuWindow() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        wchar_t cls[16];
        if (GetClassNameW(w, cls, 16) && wcscmp(cls, L"#32768") == 0 && IsWindowVisible(w)) {
          *reinterpret_cast<HWND*>(p) = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Runs Step on every 100 ms tick of the open menu's loop with its window, until it answers
// true (then the menu is closed) or 60 ticks went by.
std::function<bool(HWND, int)> gStep;
int gTick = 0;
void CALLBACK StepTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND wnd = OpenMenuWindow();
  ++gTick;
  if ((wnd && gStep(wnd, gTick)) || gTick > 60) {
    KillTimer(nullptr, id);
    EndMenu();
  }
}
void RunMenu(TPopupMenu* menu, std::function<bool(HWND, int)> step, UINT interval = 100) {
  gStep = std::move(step);
  gTick = 0;
  SetTimer(nullptr, 0, interval, StepTimer);
  menu->Popup(40, 40, PopupListWindow());
  gStep = nullptr;
}

std::unique_ptr<TBitmap> ShotOf(HWND wnd) {
  RECT r;
  GetWindowRect(wnd, &r);
  auto shot = NewBitmap32(r.right - r.left, r.bottom - r.top);
  HDC screen = GetDC(nullptr);
  BitBlt(shot->Canvas().Handle(), 0, 0, shot->Width(), shot->Height(), screen, r.left, r.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  GdiFlush();
  return shot;
}

// The notification-area menu of the shell: actions, dividers, an exit item.
TPopupMenu* ShellLikeMenu(TComponent* owner) {
  auto* menu = new TPopupMenu(owner);
  for (const wchar_t* caption : {L"Settings", L"-", L"Update now", L"Rebuild index", L"-", L"Exit"}) {
    auto* item = new TMenuItem(owner);
    item->Caption = caption;
    menu->Items()->Add(item);
  }
  return menu;
}

TEST_F(SkinMenus, SkinChangesHookAndUnhookTheApplicationsMenus) {
  if (!Full.M->IsDefault()) GTEST_SKIP() << "another manager is the default one";
  auto* form = new TForm(&Application());
  std::unique_ptr<TForm, void (*)(TForm*)> formOwner(form, [](TForm* f) { TComponent::Free(f); });
  TPopupMenu* menu = ShellLikeMenu(form);
  TMenuItem* own = (*menu->Items())[0];
  bool ownDrawn = false;
  own->OnAdvancedDrawItem.Set([&](TMenuItem*, TCanvas*, const TRect&, TOwnerDrawState) { ownDrawn = true; });
  Full.M->SetActive(false);
  EXPECT_FALSE(menu->OwnerDraw());
  Full.M->SetActive(true);
  ASSERT_TRUE(Full.M->IsActive());
  EXPECT_TRUE(menu->OwnerDraw());
  EXPECT_TRUE(menu->MenuAnimation & maNone);
  EXPECT_EQ((*menu->Items())[1]->OnMeasureItem.Installer, &Menus());
  EXPECT_EQ(own->OnAdvancedDrawItem.Installer, nullptr);  // the item's own handler stays
  Full.M->SetActive(false);
  EXPECT_FALSE(menu->OwnerDraw());
  EXPECT_FALSE((*menu->Items())[1]->OnMeasureItem);
  EXPECT_TRUE(own->OnAdvancedDrawItem);
}

TEST_F(SkinMenus, MenuLineItemsGetTheLineHandlers) {
  auto* main = new TMainMenu(&Owner);
  TMenuItem* file = NewItemOf(&Owner, L"&File");
  TMenuItem* open = NewItemOf(&Owner, L"Open");
  main->Items()->Add(file);
  file->Add(open);
  Menus().InitMenuLine(main, true);
  Menus().HookItem(file, true);
  EXPECT_TRUE(main->OwnerDraw());
  EXPECT_TRUE(Menus().IsTopLine(file));
  EXPECT_FALSE(Menus().IsTopLine(open));
  EXPECT_FALSE(Menus().IsPopupItem(open));
  EXPECT_EQ(file->OnMeasureItem.Installer, &Menus());
  EXPECT_EQ(open->OnMeasureItem.Installer, &Menus());
  // A line item: SM_CYMENU - 1 high, as wide as its caption without '&'.
  TMemoryCanvas mc;
  int w = 0, h = 0;
  file->OnMeasureItem(file, &mc.Canvas(), w, h);
  EXPECT_EQ(h, GetSystemMetrics(SM_CYMENU) - 1);
  Menus().InitMenuFont(&mc.Canvas(), file, false, false);
  EXPECT_EQ(w, mc.Canvas().TextWidth(L"File"));
  Menus().InitMenuLine(main, false);
  Menus().HookItem(file, false);
  EXPECT_FALSE(main->OwnerDraw());
  EXPECT_FALSE(file->OnMeasureItem);
  EXPECT_FALSE(open->OnMeasureItem);
}

TEST_F(SkinMenus, TrayMenuOnScreenShowsItemsHotItemAndDividers) {
  TPopupMenu* menu = ShellLikeMenu(&Owner);
  Menus().HookPopupMenu(menu, true);
  // A second opening gets a window of its own, which gets its frame as well.
  for (int opening = 1; opening <= 2; ++opening) {
    std::unique_ptr<TBitmap> shot;
    // TARVEL_MENU_SHOT keeps the menu open about 3 s for a look at the screen.
    const int shotTick = std::getenv("TARVEL_MENU_SHOT") ? 30 : 4;
    RunMenu(menu, [&](HWND wnd, int tick) {
      if (tick == 1) PostMessageW(wnd, WM_KEYDOWN, VK_DOWN, 0);  // the first item becomes hot
      if (tick < shotTick) return false;
      shot = ShotOf(wnd);
      return true;
    });
    ASSERT_TRUE(shot);
    // Rows of the items as measured: find them by the colours down a column near the right.
    const int x = shot->Width() - 12;
    int hot = 0, divider = 0, background = 0;
    for (int y = 0; y < shot->Height(); ++y) {
      const std::uint32_t p = Rgb(shot.get(), x, y);
      hot += p == Zone(MenuItemNo, Fill, 1);
      divider += p == Zone(DividerNo, Side, 0);
      background += p == Zone(MainMenuNo, Fill, 0);
    }
    EXPECT_GT(hot, 8) << opening;  // the hot item's rows
    EXPECT_GE(divider, 2);      // the two dividers
    EXPECT_GT(background, 20);  // the other items show the menu background
    EXPECT_EQ(Rgb(shot.get(), 1, shot->Height() / 2), Zone(MainMenuNo, Side, 0)) << opening;  // the skin's frame
  }
}

TEST_F(SkinMenus, MenuWindowTakesTheMenusTranslucency) {
  TPopupMenu* menu = ShellLikeMenu(&Owner);
  Menus().HookPopupMenu(menu, true);
  for (int alpha : {200, 255}) {
    Full.M->MenuSupport.AlphaBlend = static_cast<std::uint8_t>(alpha);
    bool layered = false;
    BYTE got = 0;
    RunMenu(menu, [&](HWND wnd, int tick) {
      if (tick == 1) {
        new TacMnuWnd(wnd, Full.M);  // the window hook's part, done by hand
        SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
        return false;
      }
      layered = (GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
      DWORD flags = 0;
      if (layered) GetLayeredWindowAttributes(wnd, nullptr, &got, &flags);
      return true;
    });
    EXPECT_EQ(layered, alpha != 255) << alpha;
    if (alpha != 255) EXPECT_EQ(got, alpha);
  }
  EXPECT_TRUE(MenuWindows.empty());  // each handler went with its window
  EXPECT_FALSE(SkinnedMenuActive);
}

TEST_F(SkinMenus, NoGdiGrowthOverManyOpenings) {
  TPopupMenu* menu = ShellLikeMenu(&Owner);
  Menus().HookPopupMenu(menu, true);
  // With an extra line and its turned caption, whose font is made for every background.
  Full.M->MenuSupport.UseExtraLine = true;
  Full.M->OnGetPopupLineData = [](TMenuItem*, std::wstring&, std::wstring& caption, std::unique_ptr<TBitmap>&,
                                  bool&) { caption = L"Tarvel"; };
  auto open = [&] { RunMenu(menu, [](HWND, int) { return true; }, 10); };
  for (int i = 0; i < 5; ++i) open();
  TGdiCounter counter;
  // A region handed to a window belongs to the system from then on (freed with the window).
  using TRegionHandedOver = gdi_counter::TCounting<40, -1, int, HWND, HRGN, BOOL>;
  void* previous = gdi_counter::PatchImport("SetWindowRgn", reinterpret_cast<void*>(&TRegionHandedOver::Call));
  ASSERT_NE(previous, nullptr);
  TRegionHandedOver::Original = reinterpret_cast<decltype(TRegionHandedOver::Original)>(previous);
  for (int i = 0; i < 200; ++i) open();
  gdi_counter::PatchImport("SetWindowRgn", previous);
  EXPECT_LE(counter.Balance(), 4);
  EXPECT_GT(counter.Created(), 200);  // a background (bitmap, region, font) per opening
  Full.M->MenuSupport.UseExtraLine = false;
  Full.M->OnGetPopupLineData = nullptr;
}

}  // namespace
