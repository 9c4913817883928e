// The title bar on real skinned forms (skins "Tarvel Frame" and "Tarvel Frame Shadow" of
// tools/make_skin.py, whose TB_BTN, TB_MENUBTN and TB_TAB sections are flat colours: blue
// tells the section, green the state): layout and sizes, density changes, assigned items,
// grouping, presses, drop-down menus driven from a timer, skin sections, hit codes of the form
// and of its border window, fades (through the layered-window recorder) and the painter's
// pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ReaderFixtures.h"
#include "platform/runtime/Exceptions.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ImgList.h"
#include "platform/ui/Menus.h"
#include "skin/forms/acTitleBar.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "support/LayeredRecorder.h"
#include "support/MessagePump.h"

namespace {

// The flat colours of the item sections as tools/make_skin.py writes them (0x00RRGGBB).
std::uint32_t SectionRgb(int blue, int state) {
  return (0x30u << 16) | (static_cast<std::uint32_t>(0x30 + 0x50 * state) << 8) | static_cast<std::uint32_t>(blue);
}
constexpr int BlueBtn = 0x40, BlueMenu = 0x80, BlueTab = 0xC0;

std::uint32_t Rgb(std::uint32_t px) { return px & 0xFFFFFFu; }

// Opaque pixels of the layered painters carry their colours scaled by 255 / 256.
::testing::AssertionResult NearRgb(std::uint32_t got, std::uint32_t want) {
  for (int shift : {0, 8, 16})
    if (std::abs(static_cast<int>((got >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)) > 1)
      return ::testing::AssertionFailure() << std::hex << Rgb(got) << " is not " << want;
  return ::testing::AssertionSuccess();
}

std::uint32_t PixelOf(TBitmap* bmp, int x, int y) {
  TPixels32 px;
  return GetPixels32(bmp, px) ? px.Row(y)[x] : 0;
}

class TBarForm : public TForm {
public:
  explicit TBarForm(TComponent* owner) : TForm(owner) {
    SetBorderStyle(bsSizeable);
    SetCaption(L"Title bar");
  }
  std::wstring ClassName() const override { return L"TBarForm"; }
};

class TitleBar : public testing::Test {
protected:
  void Open(const wchar_t* Skin = L"Tarvel Frame", bool Extended = false,
            const std::function<void()>& BeforeShow = nullptr, bool VclScale = false) {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"formframe"));
    M->SetSkinName(Skin);
    M->SetExtendedBorders(Extended);
    if (VclScale) M->Options.ScaleMode = smVCL;
    M->SetActive(true);
    ASSERT_TRUE(M->IsActive());
    Form = CreateComponent<TBarForm>(nullptr);
    Form->SetBounds(120, 90, 460, 240);
    P = NewComponent<TsSkinProvider>(Form);
    P->SkinManager = M;
    Bar = NewComponent<TsTitleBar>(Form);
    ASSERT_EQ(P->TitleBar(), Bar);
    if (BeforeShow) BeforeShow();
    Form->Show();
    Form->SetBounds(120, 90, 460, 240);
    PumpMessagesFor(100);
    ASSERT_TRUE(P->FCommonData->Skinned());
    Wnd = Form->Handle();
    Relayout();
  }
  void TearDown() override {
    if (Form) TComponent::Free(Form);
    if (M) TComponent::Free(M);
    PumpMessages();
  }
  TacTitleBarItem* Add(TacBtnStyle Style, const std::wstring& Caption = L"", TacItemAlign Align = tbaLeft) {
    TacTitleBarItem* item = Bar->Items().Add();
    item->SetStyle(Style);
    item->SetCaption(Caption);
    item->SetAlign(Align);
    return item;
  }
  // The title changed: sections resolved, sizes and places laid out, the frame repainted.
  void Relayout() {
    SendSkinCommand(Wnd, SKCMD_TITLE_CHANGED, 1);
    PumpMessagesFor(20);
  }
  // The window the item rectangles refer to: the border window when there is one.
  HWND Host() const { return P->BorderForm && P->BorderForm->AForm ? P->BorderForm->AForm->Handle() : Wnd; }
  POINT Centre(const TacTitleBarItem* item) const {
    RECT wr{};
    GetWindowRect(Host(), &wr);
    return POINT{wr.left + (item->Rect.Left + item->Rect.Right) / 2, wr.top + (item->Rect.Top + item->Rect.Bottom) / 2};
  }
  int Code(const TacTitleBarItem* item) const { return 2000 + item->Index(); }
  void MouseOn(const TacTitleBarItem* item) {
    const POINT pt = Centre(item);
    SetCursorPos(pt.x, pt.y);
    SendMessageW(Wnd, WM_NCMOUSEMOVE, static_cast<WPARAM>(Code(item)), MAKELPARAM(pt.x, pt.y));
  }
  void MouseOnCaption() {
    RECT wr{};
    GetWindowRect(Wnd, &wr);
    const POINT pt{wr.left + 5, wr.top + 5};
    SetCursorPos(pt.x, pt.y);
    SendMessageW(Wnd, WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(pt.x, pt.y));
  }
  TsSkinManager* M = nullptr;
  TBarForm* Form = nullptr;
  TsSkinProvider* P = nullptr;
  TsTitleBar* Bar = nullptr;
  HWND Wnd = nullptr;
};

}  // namespace

TEST(TitleBarComponent, OnlyAFormMayCarryIt) {
  Application().Initialize();
  TTimer notAForm(nullptr);
  for (TComponent* owner : {static_cast<TComponent*>(&notAForm), static_cast<TComponent*>(nullptr)}) {
    try {
      TsTitleBar bar(owner);
      ADD_FAILURE() << "a title bar was made without a form";
    } catch (const EAbort& e) {
      EXPECT_EQ(e.Message(), L"TsTitleBar component may be used with forms only!");
    }
  }
  EXPECT_EQ(notAForm.ComponentCount(), 0);
}

TEST(TitleBarComponent, TheDefaultMenuButtonIsMadeOpaqueExceptItsKeyPixels) {
  HBITMAP raw = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), L"MENUBTN", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(raw, nullptr);
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectW(raw, sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
  EXPECT_EQ(dib.dsBm.bmWidth, 51);
  EXPECT_EQ(dib.dsBm.bmHeight, 20);
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
  std::unique_ptr<TBitmap> bmp = LoadDefaultMenuButton();
  ASSERT_NE(bmp, nullptr);
  ASSERT_EQ(bmp->Width(), 51);
  ASSERT_EQ(bmp->Height(), 20);
  EXPECT_EQ(bmp->PixelFormat(), pf32bit);
  const auto* bits = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
  const int stride = (51 * 3 + 3) & ~3;
  int keys = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 51; ++x) {
      const std::uint8_t* s = bits + (19 - y) * stride + x * 3;  // bottom-up rows
      const std::uint32_t src = (std::uint32_t{s[2]} << 16) | (std::uint32_t{s[1]} << 8) | s[0];
      const std::uint32_t got = PixelOf(bmp.get(), x, y);
      if (src == 0xFF00FF) {
        ++keys;
        EXPECT_EQ(Rgb(got), 0xFF00FFu) << x << "," << y;
        continue;
      }
      const std::uint32_t want = 0xFF000000u | (((src >> 16) * 255 >> 8) << 16) |
                                 ((((src >> 8) & 0xFF) * 255 >> 8) << 8) | ((src & 0xFF) * 255 >> 8);
      ASSERT_EQ(got, want) << x << "," << y;
    }
  EXPECT_GT(keys, 0);  // the rounded corners
  DeleteObject(raw);
}

TEST_F(TitleBar, ItemsArePlacedByGroupsAndStylesAndSwappedRightToLeft) {
  Open(L"Tarvel Frame", false, nullptr, true);
  auto fixed = [&](TacBtnStyle style, TacItemAlign align, int width) {
    TacTitleBarItem* item = Add(style, L"", align);
    item->SetAutoSize(false);
    item->SetWidth(width);
    item->SetHeight(18);
    return item;
  };
  TacTitleBarItem* l1 = fixed(bsButton, tbaLeft, 20);
  TacTitleBarItem* l2 = fixed(bsMenu, tbaLeft, 30);
  TacTitleBarItem* r1 = fixed(bsTab, tbaRight, 25);
  TacTitleBarItem* c1 = fixed(bsButton, tbaCenter, 40);
  TacTitleBarItem* s1 = fixed(bsInfo, tbaCenterInSpace, 10);
  TacTitleBarItem* hidden = fixed(bsButton, tbaLeft, 50);
  hidden->SetVisible(false);
  Relayout();
  const int spacing = P->FCommonData->ReadCommonSkinData()->Spacing;
  const int ppi = P->FCommonData->EffectivePPI();
  ASSERT_EQ(ppi, 96);
  Bar->FBarRect = TRect{10, 4, 310, 26};
  Bar->FFullRight = 330;
  Bar->FBarVCenter = 15;
  Bar->CalcSizes();
  const int leftWidth = spacing + 50;
  EXPECT_EQ(Bar->LeftWidth(), leftWidth);
  EXPECT_EQ(Bar->RightWidth(), 25);
  struct TRow {
    const char* Name;
    TacTitleBarItem* Item;
    TRect Want;
  };
  const int inSpace = 10 + leftWidth + (300 - 25 - leftWidth - 10) / 2;
  for (const TRow& row : {TRow{"left button, centred vertically", l1, TRect{10, 6, 30, 24}},
                          TRow{"left menu, at the bar's top", l2, TRect{30, 4, 60, 22}},
                          TRow{"right tab, on the bar's bottom", r1, TRect{285, 8, 310, 26}},
                          TRow{"centre of the whole line", c1, TRect{150, 6, 190, 24}},
                          TRow{"centre of the free space", s1, TRect{inSpace, 6, inSpace + 10, 24}}}) {
    EXPECT_EQ(row.Item->Rect.Left, row.Want.Left) << row.Name;
    EXPECT_EQ(row.Item->Rect.Top, row.Want.Top) << row.Name;
    EXPECT_EQ(row.Item->Rect.Right, row.Want.Right) << row.Name;
    EXPECT_EQ(row.Item->Rect.Bottom, row.Want.Bottom) << row.Name;
  }
  // Right to left: the left items form the right group in reverse order, the right tab goes left.
  Form->SetBiDiMode(bdRightToLeft);
  Bar->CalcSizes();
  EXPECT_EQ(Bar->RightWidth(), 50);
  EXPECT_EQ(l2->Rect.Left, 260);
  EXPECT_EQ(l1->Rect.Left, 290);
  EXPECT_EQ(r1->Rect.Left, 10);
  Form->SetBiDiMode(bdLeftToRight);
  // A fixed size scales with the density: 22 at 144 pixels per inch takes 33.
  P->FCommonData->WriteCommonSkinData(M->CommonSkinData(144));
  ASSERT_EQ(P->FCommonData->EffectivePPI(), 144);
  l1->SetWidth(22);
  Bar->CalcSizes();
  EXPECT_EQ(l1->Rect.Width(), 33);
  EXPECT_EQ(l1->Rect.Height(), 27);
}

TEST_F(TitleBar, ADensityChangeMeasuresAndPlacesTheItemsAgainFromTheirOwnSizes) {
  Open(L"Tarvel Frame", false, nullptr, true);
  TacTitleBarItem* fixed = Add(bsButton);
  fixed->SetAutoSize(false);
  fixed->SetWidth(22);
  fixed->SetHeight(18);
  TacTitleBarItem* sized = Add(bsButton, L"Caption");
  auto glyph = NewBitmap32(16, 16);
  sized->SetGlyph(glyph.get());
  Relayout();
  ASSERT_EQ(P->FCommonData->EffectivePPI(), 96);
  ASSERT_EQ(fixed->Rect.Width(), 22);
  const int width96 = sized->Width(), height96 = sized->Height();
  // The form's density goes to 144 the way every density change reaches it (sub-command 68).
  M->UpdateScale(Form, 96, 144);
  Relayout();
  ASSERT_EQ(P->FCommonData->EffectivePPI(), 144);
  EXPECT_EQ(fixed->Rect.Width(), 33);
  EXPECT_EQ(fixed->Rect.Height(), 27);
  EXPECT_EQ(fixed->Width(), 22);  // kept at 96 pixels per inch: the layout scales it
  EXPECT_EQ(sized->Spacing(), 4);
  TSize t{0, 0};
  MeasureTextSize(sized->FontData().UsedFont->Handle(), L"Caption", DT_SINGLELINE, false, 0, t);
  EXPECT_EQ(sized->Width(), 144 * 3 * 2 / 96 + 16 + 144 * 4 / 96 + t.cx);
  EXPECT_EQ(sized->Height(), std::max(16, 144 * 3 * 2 / 96 + std::max(16, static_cast<int>(t.cy))));
  EXPECT_EQ(sized->Rect.Width(), sized->Width());
  // And back: nothing has drifted.
  M->UpdateScale(Form, 144, 96);
  Relayout();
  EXPECT_EQ(fixed->Rect.Width(), 22);
  EXPECT_EQ(sized->Width(), width96);
  EXPECT_EQ(sized->Height(), height96);
}

// UpdateScale is the application's own rescale of the items' stored sizes, by percents; the
// engine's density changes do not call it, they lay the items out at the new density.
TEST_F(TitleBar, UpdateScaleRescalesTheItemsOwnSizesByPercents) {
  Open();
  TacTitleBarItem* fixed = Add(bsButton);
  fixed->SetAutoSize(false);
  fixed->SetWidth(22);
  fixed->SetHeight(18);
  TacTitleBarItem* sized = Add(bsButton, L"Caption");
  auto glyph = NewBitmap32(16, 16);
  sized->SetGlyph(glyph.get());
  Relayout();
  const int width100 = sized->Width();
  Bar->UpdateScale(150);
  EXPECT_EQ(Bar->OldScaleValue, 150);
  EXPECT_EQ(fixed->Width(), 33);
  EXPECT_EQ(fixed->Height(), 27);
  EXPECT_EQ(fixed->Spacing(), 6);
  EXPECT_EQ(fixed->Rect.Width(), 33);
  EXPECT_EQ(sized->Spacing(), 6);
  EXPECT_EQ(sized->Width(), width100 + 2);  // measured again with the wider gap
  Bar->UpdateScale(100);
  EXPECT_EQ(fixed->Width(), 22);
  EXPECT_EQ(fixed->Height(), 18);
  EXPECT_EQ(sized->Width(), width100);
}

TEST_F(TitleBar, AssignedItemsAreCopiesOfTheSettingsTheItemsCopy) {
  Open();
  Add(bsButton, L"Old");
  TacTitleItems other(nullptr);
  TacTitleBarItem* src = other.Add();
  auto glyph = NewBitmap32(10, 8);
  int downs = 0, ups = 0, clicks = 0;
  auto* menu = NewComponent<TPopupMenu>(Form);
  src->SetAutoSize(false);
  src->SetAlign(tbaRight);
  src->SetCaption(L"Copy");
  src->SetEnabled(false);
  src->SetGlyph(glyph.get());
  src->SetGroupIndex(2);
  src->Hint = L"A hint";
  src->SetImageIndex(3);
  src->SetName(L"Named");
  src->SetNumGlyphs(2);
  src->SetStyle(bsTab);
  src->SetVisible(false);
  src->OnMouseDown = [&](TacTitleBarItem*, TMouseButton, TShiftState, int, int) { ++downs; };
  src->OnMouseUp = [&](TacTitleBarItem*, TMouseButton, TShiftState, int, int) { ++ups; };
  // Not copied:
  src->SetWidth(40);
  src->SetSpacing(9);
  src->SetSkinSection(L"TB_BTN");
  src->DropdownMenu = menu;
  src->OnClick = [&](TacTitleBarItem*) { ++clicks; };
  other.Add()->SetCaption(L"Second");

  Bar->SetItems(other);
  ASSERT_EQ(Bar->Items().Count(), 2);
  ASSERT_EQ(other.Count(), 2);
  TacTitleBarItem* copy = Bar->Items()[0];
  EXPECT_NE(copy, src);
  EXPECT_EQ(copy->TitleBar(), Bar);
  EXPECT_FALSE(copy->AutoSize());
  EXPECT_EQ(copy->Align(), tbaRight);
  EXPECT_EQ(copy->Caption(), L"Copy");
  EXPECT_FALSE(copy->Enabled());
  ASSERT_NE(copy->Glyph(), src->Glyph());
  EXPECT_EQ(copy->Glyph()->Width(), 10);
  EXPECT_EQ(copy->Glyph()->Height(), 8);
  EXPECT_EQ(copy->GroupIndex(), 2);
  EXPECT_EQ(copy->Hint, L"A hint");
  EXPECT_EQ(copy->ImageIndex(), 3);
  EXPECT_EQ(copy->GetDisplayName(), L"Named");
  EXPECT_EQ(copy->NumGlyphs(), 2);
  EXPECT_EQ(copy->Style(), bsTab);
  EXPECT_FALSE(copy->Visible());
  copy->OnMouseDown(copy, mbLeft, 0, 0, 0);
  copy->OnMouseUp(copy, mbLeft, 0, 0, 0);
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(ups, 1);
  EXPECT_EQ(copy->Width(), 22);
  EXPECT_EQ(copy->Spacing(), 4);
  EXPECT_EQ(copy->SkinSection(), L"");
  EXPECT_EQ(copy->DropdownMenu, nullptr);
  EXPECT_FALSE(static_cast<bool>(copy->OnClick));
  EXPECT_EQ(Bar->Items()[1]->Caption(), L"Second");
  // One item takes another's settings in its place.
  Bar->Items().SetItem(1, src);
  ASSERT_EQ(Bar->Items().Count(), 2);
  EXPECT_EQ(Bar->Items()[1]->Caption(), L"Copy");
  EXPECT_EQ(Bar->Items()[1]->Index(), 1);
  EXPECT_THROW(Bar->Items().SetItem(0, nullptr), EConvertError);
  Relayout();  // the copies are adopted and laid out like any item
  EXPECT_NE(Bar->Items()[0]->Data, nullptr);
  EXPECT_EQ(clicks, 0);
}

TEST_F(TitleBar, AnItemInsertedDuringAPressStopsTheProvidersFades) {
  Open();
  TacTitleBarItem* item = Add(bsButton, L"Go");
  item->SetSkinSection(L"TB_BTN");
  Relayout();
  MouseOn(item);
  ASSERT_NE(item->Timer, nullptr);
  Bar->Items().Insert(Bar->Items().Count());  // no press: the fade goes on
  EXPECT_NE(item->Timer, nullptr);
  bool clicked = false, faded = false;
  TacItemAnimation* left = item->Timer;
  item->OnMouseDown = [&](TacTitleBarItem*, TMouseButton, TShiftState, int, int) {
    clicked = P->biClicked;
    faded = item->Timer != nullptr;
    Bar->Items().Insert(Bar->Items().Count());
    left = item->Timer;
  };
  const POINT pt = Centre(item);
  SendMessageW(Wnd, WM_NCLBUTTONDOWN, static_cast<WPARAM>(Code(item)), MAKELPARAM(pt.x, pt.y));
  EXPECT_TRUE(clicked);
  EXPECT_TRUE(faded);
  EXPECT_EQ(left, nullptr);
  SendMessageW(Wnd, WM_NCLBUTTONUP, static_cast<WPARAM>(Code(item)), MAKELPARAM(pt.x, pt.y));
  MouseOnCaption();
}

TEST_F(TitleBar, AutoSizedItemsMeasureTheirContent) {
  Open();
  auto* images = NewComponent<TImageList>(Form, 20, 20);
  HDC screen = GetDC(nullptr);
  HBITMAP strip = CreateCompatibleBitmap(screen, 20, 20);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(images->AddMasked(strip, 0xFF00FF), 0);
  DeleteObject(strip);
  Bar->SetImages(images);
  auto* menu = NewComponent<TPopupMenu>(Form);
  const int arrow = P->FCommonData->ReadCommonSkinData()->ArrowSize;
  auto glyph = [](int w, int h) {
    auto* g = new TBitmap();
    g->SetPixelFormat(pf24bit);
    g->SetSize(w, h);
    return std::unique_ptr<TBitmap>(g);
  };
  auto textWidth = [](TacTitleBarItem* item, const std::wstring& text) {
    TSize t{0, 0};
    MeasureTextSize(item->FontData().UsedFont->Handle(), text, DT_SINGLELINE, false, 0, t);
    return t;
  };
  struct TRow {
    const char* Name;
    std::function<void(TacTitleBarItem*)> Setup;
    std::function<TSize(TacTitleBarItem*)> Want;
  };
  const std::vector<TRow> rows = {
      {"nothing: the minimum of 16", [](TacTitleBarItem*) {}, [](TacTitleBarItem*) { return TSize{16, 16}; }},
      {"an image of the bar's list", [](TacTitleBarItem* i) { i->SetImageIndex(0); },
       [](TacTitleBarItem*) { return TSize{6 + 20, 6 + 20}; }},
      {"an image index outside the list takes the glyph",
       [&](TacTitleBarItem* i) {
         i->SetImageIndex(5);
         auto g = glyph(40, 12);
         i->SetGlyph(g.get());
         i->SetNumGlyphs(2);
       },
       [](TacTitleBarItem*) { return TSize{6 + 20, 6 + 12}; }},
      {"a glyph strip of no cells counts one",
       [&](TacTitleBarItem* i) {
         auto g = glyph(40, 12);
         i->SetGlyph(g.get());
         i->SetNumGlyphs(0);
       },
       [](TacTitleBarItem*) { return TSize{6 + 40, 6 + 12}; }},
      {"a tab with a glyph and a caption",
       [&](TacTitleBarItem* i) {
         i->SetStyle(bsTab);
         auto g = glyph(16, 16);
         i->SetGlyph(g.get());
         i->SetCaption(L"Tab");
       },
       [&](TacTitleBarItem* i) {
         const TSize t = textWidth(i, L"Tab");
         return TSize{6 + 16 + 2 * 4 + t.cx, 6 + std::max(16, static_cast<int>(t.cy)) + 1};
       }},
      {"a drop-down button without content",
       [&](TacTitleBarItem* i) { i->DropdownMenu = menu; },
       [&](TacTitleBarItem*) { return TSize{std::max(16, 6 + 4 + arrow + 4), 16}; }},
      {"a menu button with a caption",
       [&](TacTitleBarItem* i) {
         i->SetStyle(bsMenu);
         i->SetCaption(L"Menu");
       },
       [&](TacTitleBarItem* i) {
         const TSize t = textWidth(i, L"Menu");
         return TSize{2 * (4 + 3) + t.cx, std::max(16, 6 + static_cast<int>(t.cy) + 1)};
       }},
  };
  for (const TRow& row : rows) {
    TacTitleBarItem* item = Add(bsButton);
    row.Setup(item);
    item->UpdateSize(false);
    const TSize want = row.Want(item);
    EXPECT_EQ(item->Width(), want.cx) << row.Name;
    EXPECT_EQ(item->Height(), want.cy) << row.Name;
    delete item;
  }
  Bar->SetImages(nullptr);
}

TEST_F(TitleBar, TheImageListTellsItsChangesAndItsDeparture) {
  Open();
  auto* images = NewComponent<TImageList>(Form, 20, 20);
  Bar->SetImages(images);
  TacTitleBarItem* item = Add(bsButton);
  item->SetImageIndex(0);
  HDC screen = GetDC(nullptr);
  HBITMAP cell = CreateCompatibleBitmap(screen, 20, 20);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(images->AddMasked(cell, 0xFF00FF), 0);  // the list tells the bar, which measures again
  DeleteObject(cell);
  images->Change();
  EXPECT_EQ(item->Width(), 6 + 20);
  TComponent::Free(images);
  EXPECT_EQ(Bar->Images(), nullptr);
  item->UpdateSize(false);
  EXPECT_EQ(item->Width(), 16);
}

TEST_F(TitleBar, AGlyphStripOfNoCellsIsDrawnAsOneCell) {
  Open();
  TacTitleBarItem* item = Add(bsButton);
  item->SetSkinSection(L"TB_BTN");
  auto glyph = std::make_unique<TBitmap>();
  glyph->SetPixelFormat(pf24bit);
  glyph->SetSize(12, 12);
  glyph->Canvas().Brush.Color = 0x0000FF;
  RECT all{0, 0, 12, 12};
  FillRect(glyph->Canvas().Handle(), &all, glyph->Canvas().Brush.Handle());
  SetPixel(glyph->Canvas().Handle(), 0, 0, RGB(0, 255, 0));  // the transparent colour
  item->SetGlyph(glyph.get());
  item->SetNumGlyphs(0);
  Relayout();
  auto bmp = NewBitmap32(40, 30);
  item->OnInternalDraw(item, TRect{0, 0, 40, 30}, bmp.get());
  const int x = 3 + 6;  // ItemsMargin 3 at 96 pixels per inch, then the middle of the glyph
  const int y = (item->Height() - 12) / 2 + 6;
  EXPECT_TRUE(NearRgb(PixelOf(bmp.get(), x, y), 0xFF0000u));
}

TEST_F(TitleBar, TabsOfAGroupTakeTurnsButtonsOfGroupZeroDoNot) {
  Open();
  TacTitleBarItem* t1 = Add(bsTab, L"One");
  TacTitleBarItem* t2 = Add(bsTab, L"Two");
  TacTitleBarItem* b1 = Add(bsButton, L"A");
  TacTitleBarItem* b2 = Add(bsButton, L"B");
  TacTitleBarItem* g1 = Add(bsButton, L"C");
  TacTitleBarItem* g2 = Add(bsButton, L"D");
  g1->SetGroupIndex(1);
  g2->SetGroupIndex(1);
  int clicks = 0;
  t2->OnClick = [&](TacTitleBarItem*) { ++clicks; };
  t1->SetDown(true);
  EXPECT_EQ(t1->State(), 2);
  // A tab acts on the press: clicked, down, and the other tab of group 0 raised.
  t2->DoMouseDown(mbLeft, 0, 0, 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(t2->Down());
  EXPECT_FALSE(t1->Down());
  EXPECT_EQ(t1->State(), 0);
  t2->DoMouseUp(mbLeft, 0, 0, 0);
  EXPECT_EQ(clicks, 1);
  b1->SetDown(true);
  b2->SetDown(true);
  EXPECT_TRUE(b1->Down());
  EXPECT_TRUE(b2->Down());
  g1->SetDown(true);
  g2->SetDown(true);
  EXPECT_FALSE(g1->Down());
  EXPECT_TRUE(g2->Down());
}

TEST_F(TitleBar, ATabIsClickedByThePressOnTheCaption) {
  Open();
  TacTitleBarItem* tab = Add(bsTab, L"Tab");
  Add(bsTab, L"Other")->SetDown(true);
  Relayout();
  int clicks = 0;
  tab->OnClick = [&](TacTitleBarItem*) { ++clicks; };
  const POINT pt = Centre(tab);
  TMessage probe{WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y), 0};
  ASSERT_EQ(P->HitTest(probe), Code(tab));
  SetCursorPos(pt.x, pt.y);
  SendMessageW(Wnd, WM_NCLBUTTONDOWN, static_cast<WPARAM>(Code(tab)), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(tab->Down());
  EXPECT_FALSE(P->biClicked);
  SendMessageW(Wnd, WM_NCLBUTTONUP, static_cast<WPARAM>(Code(tab)), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(clicks, 1);
}

TEST_F(TitleBar, HitCodesPassOverDisabledItemsAndDownTabsAndStopAtSpacers) {
  for (bool extended : {false, true}) {
    SCOPED_TRACE(extended ? "border window" : "form");
    Open(extended ? L"Tarvel Frame Shadow" : L"Tarvel Frame", extended);
    if (extended) ASSERT_NE(P->BorderForm, nullptr);
    TacTitleBarItem* plain = Add(bsButton, L"Go");
    TacTitleBarItem* off = Add(bsButton, L"Off");
    off->SetEnabled(false);
    TacTitleBarItem* downTab = Add(bsTab, L"Tab");
    downTab->SetDown(true);
    TacTitleBarItem* spacer = Add(bsSpacing);
    spacer->SetAutoSize(false);
    spacer->SetWidth(20);
    TacTitleBarItem* info = Add(bsInfo, L"Info");
    TacTitleBarItem* last = Add(bsMenu, L"Last");
    Relayout();
    struct TRow {
      const char* Name;
      TacTitleBarItem* Item;
      int Want;
    };
    for (const TRow& row : {TRow{"enabled button", plain, 2000}, TRow{"disabled button", off, HTCAPTION},
                            TRow{"down tab", downTab, HTCAPTION}, TRow{"spacer", spacer, HTCAPTION},
                            TRow{"information field", info, HTCAPTION}, TRow{"menu button", last, 2005}}) {
      const POINT pt = Centre(row.Item);
      TMessage m{WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y), 0};
      const int got = extended ? P->BorderForm->Ex_WMNCHitTest(m) : P->HitTest(m);
      EXPECT_EQ(got, row.Want) << row.Name;
    }
    TComponent::Free(Form);
    Form = nullptr;
    TComponent::Free(M);
    M = nullptr;
    PumpMessages();
  }
}

TEST_F(TitleBar, SectionsFollowTheSkinSectionOrFallBackByStyle) {
  Open();
  const auto& sections = M->SkinCommonInfo.Sections;
  struct TRow {
    TacBtnStyle Style;
    const wchar_t* Section;
    int Want;
  };
  const std::vector<TRow> rows = {{bsButton, L"NOSUCHSECTION", sections[44]}, {bsMenu, L"NOSUCHSECTION", sections[45]},
                                  {bsTab, L"", sections[46]},                {bsSpacing, L"", -1},
                                  {bsInfo, L"NOSUCHSECTION", -1},            {bsButton, L"FORMTITLE", M->GetSkinIndex(L"FORMTITLE")}};
  ASSERT_GE(sections[44], 0);
  ASSERT_NE(sections[44], sections[45]);
  std::vector<TacTitleBarItem*> items;
  for (const TRow& row : rows) {
    items.push_back(Add(row.Style));
    items.back()->SetSkinSection(row.Section);
  }
  P->UpdateTitleBar();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_NE(items[i]->Data, nullptr);
    EXPECT_EQ(items[i]->Data->SkinIndex, rows[i].Want) << i;
    EXPECT_TRUE(static_cast<bool>(items[i]->OnInternalDraw));
  }
}

TEST_F(TitleBar, ThePainterFillsEachStyleAndStateWithItsSection) {
  Open();
  TacTitleBarItem* button = Add(bsButton);
  button->SetSkinSection(L"TB_BTN");
  TacTitleBarItem* menu = Add(bsMenu);
  TacTitleBarItem* tab = Add(bsTab);
  tab->SetDown(true);
  Relayout();
  struct TRow {
    const char* Name;
    TacTitleBarItem* Item;
    int State;
    int Blue;
  };
  for (const TRow& row : {TRow{"button normal", button, 0, BlueBtn}, TRow{"button hot", button, 1, BlueBtn},
                          TRow{"button pressed", button, 2, BlueBtn}, TRow{"menu hot", menu, 1, BlueMenu},
                          TRow{"down tab", tab, 2, BlueTab}}) {
    if (row.Item != tab) row.Item->SetState(row.State);
    auto bmp = NewBitmap32(40, 30);
    const TRect r{0, 0, 40, 30};
    row.Item->OnInternalDraw(row.Item, r, bmp.get());
    const std::uint32_t px = PixelOf(bmp.get(), 3, 27);
    EXPECT_EQ(px >> 24, 255u) << row.Name;
    EXPECT_TRUE(NearRgb(px, SectionRgb(row.Blue, row.State))) << row.Name;
    row.Item->SetState(0);
  }
  // Without a section a drop-down button takes the built-in picture, the state's third.
  menu->Data->SkinIndex = -1;
  std::unique_ptr<TBitmap> picture = LoadDefaultMenuButton();
  for (int state = 0; state < 3; ++state) {
    menu->SetState(state);
    auto bmp = NewBitmap32(40, 30);
    menu->OnInternalDraw(menu, TRect{0, 0, 40, 30}, bmp.get());
    EXPECT_EQ(Rgb(PixelOf(bmp.get(), 20, 10)), Rgb(PixelOf(picture.get(), 17 * state + 8, 10))) << state;
  }
  menu->SetState(0);
}

TEST_F(TitleBar, ADimmedItemIsMixedIntoWhatLayBelowAtHalfStrength) {
  Open();
  TacTitleBarItem* button = Add(bsButton, L"", tbaLeft);
  button->SetSkinSection(L"TB_BTN");
  Relayout();
  button->SetState(1);
  const std::uint32_t below = 0xFF204060u;
  auto bmp = NewBitmap32(40, 30);
  TPixels32 px;
  ASSERT_TRUE(GetPixels32(bmp.get(), px));
  for (int y = 0; y < px.Height; ++y) std::fill_n(px.Row(y), px.Width, below);
  button->SetEnabled(false);
  button->OnInternalDraw(button, TRect{0, 0, 40, 30}, bmp.get());
  const std::uint32_t got = PixelOf(bmp.get(), 3, 20);
  const std::uint32_t item = SectionRgb(BlueBtn, 1);
  for (int shift : {0, 8, 16}) {
    const int b = static_cast<int>((below >> shift) & 0xFF), i = static_cast<int>((item >> shift) & 0xFF);
    const int want = (127 * (b - i) + i * 256) >> 8;
    EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), want, 2) << shift;
  }
}

TEST_F(TitleBar, AHotItemFadesInItsPictureAndOutFromFullStrength) {
  Open();
  TacTitleBarItem* item = Add(bsButton, L"", tbaLeft);
  item->SetSkinSection(L"TB_BTN");
  Relayout();
  TLayeredRecorder rec;
  MouseOn(item);
  EXPECT_EQ(P->CurrentHT, Code(item));
  EXPECT_EQ(item->State(), 1);
  TacItemAnimation* fade = item->Timer;
  ASSERT_NE(fade, nullptr);
  ASSERT_NE(fade->AForm, nullptr);
  HWND fadeWnd = fade->AForm->Handle();
  EXPECT_EQ(GetWindowLongPtrW(fadeWnd, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT),
            WS_EX_LAYERED | WS_EX_TRANSPARENT);
  for (int i = 0; i < 10; ++i) fade->OnAnimTimer();
  std::vector<int> alphas;
  for (const TLayeredPush& p : rec.To(fadeWnd)) alphas.push_back(p.Alpha);
  EXPECT_EQ(alphas, (std::vector<int>{25, 50, 75, 100, 125, 150, 175, 200, 225, 255}));
  EXPECT_EQ(fade->MaxIterations, -1);
  const TLayeredPush& hot = rec.To(fadeWnd).back();
  EXPECT_TRUE(NearRgb(hot.Pixel(2, hot.Size.cy / 2), SectionRgb(BlueBtn, 1)));
  rec.Pushes.clear();
  MouseOnCaption();
  EXPECT_EQ(item->State(), 0);
  ASSERT_EQ(item->Timer, fade);
  ASSERT_FALSE(rec.Pushes.empty());
  EXPECT_EQ(rec.Pushes.front().Alpha, 255);
  for (int i = 0; i < 12 && item->Timer && fade->CurrentState != -1; ++i) fade->OnAnimTimer();
  EXPECT_EQ(fade->CurrentState, -1);
  EXPECT_EQ(fade->AForm, nullptr);
}

TEST(TitleBarFade, WithoutAPainterThePictureIsOpaqueYellow) {
  Application().Initialize();
  TForm* form = CreateComponent<TForm>(nullptr);
  form->SetBounds(40, 40, 200, 120);
  form->Show();
  auto* bar = NewComponent<TsTitleBar>(form);
  TacTitleBarItem* item = bar->Items().Add();
  item->Rect = TRect{10, 2, 30, 20};
  TLayeredRecorder rec;
  item->SetState(1);
  StartItemFade(item, 4, true, nullptr);
  ASSERT_NE(item->Timer, nullptr);
  ASSERT_FALSE(rec.Pushes.empty());
  const TLayeredPush& p = rec.Pushes.back();
  EXPECT_EQ(p.Size.cx, 20);
  EXPECT_EQ(p.Size.cy, 18);
  EXPECT_EQ(p.Pixel(5, 5), 0xFFFFFF00u);
  TComponent::Free(form);
  PumpMessages();
}

namespace {

// A drop-down item whose menu is closed from a timer inside the menu's own loop.
class DropDown : public TitleBar {
protected:
  void Make(bool rightToLeft = false) {
    Open();
    if (rightToLeft) Form->SetBiDiMode(bdRightToLeft);
    Menu = NewComponent<TPopupMenu>(Form);
    auto* entry = NewComponent<TMenuItem>(Menu);
    entry->Caption = L"Entry";
    Menu->Items()->Add(entry);
    Item = Add(bsMenu, L"Drop");
    Item->DropdownMenu = Menu;
    Item->OnClick = [this](TacTitleBarItem*) { ++Clicks; };
    Relayout();
    Closer = NewComponent<TTimer>(Form);
    Closer->SetInterval(60);
    Closer->SetOnTimer([this] {
      Closer->SetEnabled(false);
      ++Opened;
      if (HWND popup = FindWindowW(L"#32768", nullptr)) GetWindowRect(popup, &MenuRect);
      if (WhileOpen) WhileOpen();
      EndMenu();
    });
  }
  // A press on the item; the timer closes a menu that opens.
  void Press() {
    Closer->SetEnabled(true);
    if (Item) Item->DoMouseDown(mbLeft, 0, 0, 0);
    if (Closer) Closer->SetEnabled(false);
  }
  TPopupMenu* Menu = nullptr;
  TacTitleBarItem* Item = nullptr;
  TTimer* Closer = nullptr;
  int Opened = 0, Clicks = 0;
  RECT MenuRect{};
  std::function<void()> WhileOpen;
};

}  // namespace

TEST_F(DropDown, TheClickThatClosedTheMenuDoesNotReopenItTheNextPressDoes) {
  Make();
  const POINT on = Centre(Item);
  SetCursorPos(on.x, on.y);
  Press();
  EXPECT_EQ(Opened, 1);
  EXPECT_TRUE(TitleBarDropdownGuarded());
  EXPECT_EQ(Item->State(), 1);
  EXPECT_FALSE(Item->DroppedDown);
  EXPECT_EQ(Clicks, 0);
  // The click that closed the menu arrives as a press: it only resets the item.
  Press();
  EXPECT_EQ(Opened, 1);
  EXPECT_EQ(Item->State(), 0);
  EXPECT_FALSE(Item->Pressed);
  EXPECT_FALSE(TitleBarDropdownGuarded());
  // The next press opens the menu again; closed with the cursor elsewhere, the item clicks.
  WhileOpen = [] { SetCursorPos(5, 5); };
  Press();
  EXPECT_EQ(Opened, 2);
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(Item->State(), 0);
  EXPECT_FALSE(TitleBarDropdownGuarded());
  EXPECT_EQ(Menu->WindowHandle, nullptr);
}

TEST_F(DropDown, WhenTheClosingClickNeverComesLeavingTheItemFreesTheMenu) {
  Make();
  const POINT on = Centre(Item);
  SetCursorPos(on.x, on.y);
  Press();
  ASSERT_EQ(Opened, 1);
  ASSERT_TRUE(TitleBarDropdownGuarded());
  MouseOn(Item);
  MouseOnCaption();  // the mouse leaves the item
  EXPECT_FALSE(TitleBarDropdownGuarded());
  SetCursorPos(on.x, on.y);
  Press();
  EXPECT_EQ(Opened, 2);
  MouseOnCaption();
}

TEST_F(DropDown, AnItemFreedWhileItsMenuIsOpenIsNotTouchedAfterwards) {
  Make();
  WhileOpen = [this] {
    TComponent::Free(Bar);
    Bar = nullptr;
  };
  TacTitleBarItem* item = Item;
  Closer->SetEnabled(true);
  item->DoMouseDown(mbLeft, 0, 0, 0);
  EXPECT_EQ(Opened, 1);
  EXPECT_EQ(P->TitleBar(), nullptr);
  EXPECT_FALSE(TitleBarDropdownGuarded());
}

TEST_F(DropDown, RightToLeftTheMenuOpensAtTheItemsRightEdge) {
  Make(true);
  SetCursorPos(5, 5);
  Press();
  ASSERT_EQ(Opened, 1);
  EXPECT_EQ(Menu->BiDiMode, bdRightToLeft);
  RECT hr{};
  GetWindowRect(Host(), &hr);
  // The menu is laid out right to left from the item's right edge (the system's menus grow
  // to the left of that point, Wine's to the right of it).
  const int edge = hr.left + Item->Rect.Right;
  EXPECT_TRUE(MenuRect.right == edge || MenuRect.left == edge) << MenuRect.left << ".." << MenuRect.right;
  EXPECT_EQ(MenuRect.top, hr.top + Item->Rect.Bottom);
}

// Not a check: keeps a test form with a title bar of buttons, a drop-down and tabs on screen
// for a picture (run by hand with --gtest_also_run_disabled_tests).
TEST_F(TitleBar, DISABLED_ShowATitleBarForAPicture) {
  Open();
  Form->SetBounds(200, 160, 620, 300);
  auto* menu = NewComponent<TPopupMenu>(Form);
  auto* entry = NewComponent<TMenuItem>(menu);
  entry->Caption = L"Entry";
  menu->Items()->Add(entry);
  Add(bsButton, L"Home");
  Add(bsButton, L"Help")->SetSkinSection(L"TB_BTN");
  Add(bsMenu, L"Options")->DropdownMenu = menu;
  Add(bsSpacing)->SetWidth(12);
  Add(bsTab, L"First", tbaRight)->SetDown(true);
  Add(bsTab, L"Second", tbaRight);
  Add(bsInfo, L"Ready", tbaCenterInSpace);
  Relayout();
  RedrawWindow(Wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const DWORD end = GetTickCount() + 8000;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(20);
  }
}

TEST_F(TitleBar, ADoubleClickOnTheBorderWindowPressesATab) {
  Open(L"Tarvel Frame Shadow", true);
  ASSERT_NE(P->BorderForm, nullptr);
  TacTitleBarItem* tab = Add(bsTab, L"Tab");
  Relayout();
  int clicks = 0;
  tab->OnClick = [&](TacTitleBarItem*) { ++clicks; };
  const POINT pt = Centre(tab);
  SetCursorPos(pt.x, pt.y);
  SendMessageW(Host(), WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(pt.x, pt.y));
  PumpMessagesFor(20);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(tab->Down());
  MouseOnCaption();
}

// The second click of a double click on the border window presses a button, and its release
// clicks it: the release is placed by the border window's own test of the point.
TEST_F(TitleBar, TheSecondClickOnTheBorderWindowClicksAButtonOnItsRelease) {
  Open(L"Tarvel Frame Shadow", true);
  ASSERT_NE(P->BorderForm, nullptr);
  TacTitleBarItem* button = Add(bsButton, L"Button");
  Relayout();
  int clicks = 0;
  button->OnClick = [&](TacTitleBarItem*) { ++clicks; };
  const POINT pt = Centre(button);
  SetCursorPos(pt.x, pt.y);
  SendMessageW(Host(), WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(pt.x, pt.y));
  SendMessageW(Host(), WM_NCLBUTTONUP, HTCAPTION, MAKELPARAM(pt.x, pt.y));
  PumpMessagesFor(20);
  EXPECT_EQ(clicks, 1);
  MouseOnCaption();
}
