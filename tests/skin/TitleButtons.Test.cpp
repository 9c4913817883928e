// The provider's title data on real skinned forms: user title buttons (visibility, glyph,
// mouse events, assignment), the title icon's visibility rule, the added title's font and the
// header band's height.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FormFrameFixtures.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Streams.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "support/MessagePump.h"

namespace {

// A provider whose loading state a test can set, as a form definition being read sets it.
class TLoadableProvider : public TsSkinProvider {
public:
  using TsSkinProvider::TsSkinProvider;
  void SetLoading(bool Value) {
    if (Value)
      FComponentState |= csLoading;
    else
      FComponentState &= ~csLoading;
  }
};

constexpr std::uint32_t kMarker = 0xFF12345Au;

class TitleData : public TFormFrameTest<TForm> {
protected:
  void Make(int Buttons = 0) {
    Form = CreateComponent<TForm>(nullptr);
    Form->SetBorderStyle(bsSingle);
    Form->SetBorderIcons(biSystemMenu | biMinimize | biMaximize);
    Form->SetCaption(L"Caption");
    P = NewComponent<TLoadableProvider>(Form);
    P->SkinManager = M;
    for (int i = 0; i < Buttons; ++i) P->TitleButtons().Add();
    Form->Show();
    Form->SetBounds(80, 70, 360, 220);
    PumpMessagesFor(100);
    ASSERT_TRUE(P->FCommonData->Skinned());
    ASSERT_NE(P->FCommonData->FCacheBmp, nullptr);
    Wnd = Form->Handle();
  }
  // A pixel of the cache that only a new rendering of the frame overwrites.
  void Mark() {
    SetPixel32(P->FCommonData->FCacheBmp.get(), 1, 1, kMarker);
    P->FCommonData->BGChanged = false;
  }
  bool Repainted() { return GetPixel32(P->FCommonData->FCacheBmp.get(), 1, 1) != kMarker; }
  POINT At(const TRect& r) {
    RECT wr{};
    GetWindowRect(Wnd, &wr);
    return POINT{wr.left + (r.Left + r.Right) / 2, wr.top + (r.Top + r.Bottom) / 2};
  }
  int Hit(POINT pt) {
    TMessage probe{WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y), 0};
    return P->HitTest(probe);
  }
  TLoadableProvider* P = nullptr;
  HWND Wnd = nullptr;
};

}  // namespace

TEST_F(TitleData, HidingAButtonRepaintsAtOnceAndTheNextKeepsItsHitCode) {
  Make(2);
  TsTitleButton* first = P->TitleButtons().Items(0);
  TsTitleButton* second = P->TitleButtons().Items(1);
  ASSERT_GT(first->Data.cpRect.Width(), 0);
  ASSERT_GT(second->Data.cpRect.Width(), 0);
  EXPECT_EQ(Hit(At(second->Data.cpRect)), 1001);
  const TRect before = second->Data.cpRect;
  Mark();
  first->WriteVisible(false);
  EXPECT_TRUE(Repainted());
  EXPECT_NE(second->Data.cpRect, before);  // laid out again, no message pumped
  EXPECT_EQ(second->Index(), 1);
  EXPECT_EQ(Hit(At(second->Data.cpRect)), 1001);
  // Storing the same value again repaints nothing.
  Mark();
  first->WriteVisible(false);
  EXPECT_FALSE(Repainted());
}

TEST_F(TitleData, TheTitleIconsVisibilityRepaintsOnlyOutsideLoadingAndUpdating) {
  Make();
  const struct {
    const char* Name;
    bool Loading, Updating, Repaints;
  } rows[] = {{"loading", true, false, false}, {"updating", false, true, false}, {"neither", false, false, true}};
  for (const auto& r : rows) {
    P->SetLoading(r.Loading);
    P->FCommonData->FUpdating = r.Updating;
    Mark();
    P->TitleIcon().WriteVisible(!P->TitleIcon().Visible);
    P->SetLoading(false);
    P->FCommonData->FUpdating = false;
    EXPECT_EQ(Repainted(), r.Repaints) << r.Name;
  }
  // A new glyph repaints at once.
  auto glyph = NewBitmap32(16, 16);
  Mark();
  P->TitleIcon().WriteGlyph(glyph.get());
  EXPECT_TRUE(Repainted());
  EXPECT_EQ(P->TitleIcon().Glyph->Width(), 16);
}

TEST_F(TitleData, TheTitleIconsGlyphRepaintsTheFrameWhenItTakesNewPixels) {
  Make();
  TBitmap* glyph = P->TitleIcon().Glyph.get();
  Mark();
  glyph->SetSize(14, 14);  // changed in place, not written
  EXPECT_TRUE(Repainted());
  // A glyph of 24 bits is made 32-bit by the painter: that is no change to repaint for.
  const auto repaint = glyph->OnChange;
  int told = 0;
  glyph->OnChange = [&] {
    ++told;
    repaint();
  };
  TBitmap rgb;
  rgb.SetPixelFormat(pf24bit);
  rgb.SetSize(16, 16);
  Mark();
  P->TitleIcon().WriteGlyph(&rgb);
  EXPECT_TRUE(Repainted());
  EXPECT_EQ(glyph->PixelFormat(), pf32bit);
  EXPECT_EQ(told, 1);
  // The painter handed the glyph its report back.
  Mark();
  glyph->SetSize(12, 12);
  EXPECT_TRUE(Repainted());
  EXPECT_EQ(told, 2);
}

TEST_F(TitleData, TheAddedTitleRepaintsUnlessLoadingAndStoresOnlyAFontOfItsOwn) {
  Make();
  TacAddedTitle& added = P->AddedTitle();
  EXPECT_EQ(static_cast<TColor>(added.Font.Color), clNone);
  EXPECT_FALSE(added.FontStored());
  P->SetLoading(true);
  Mark();
  added.WriteText(L"extra");
  EXPECT_FALSE(Repainted());
  P->SetLoading(false);
  Mark();
  added.WriteShowMainCaption(false);
  EXPECT_TRUE(Repainted());
  // A colour alone makes no font of its own; a size does.
  TFont font;
  font.Color = TColor(0x0000FF);
  added.WriteFont(font);
  EXPECT_FALSE(added.FontStored());
  font.Height = -20;
  Mark();
  added.WriteFont(font);
  EXPECT_TRUE(Repainted());
  EXPECT_TRUE(added.FontStored());
}

TEST_F(TitleData, TheHeaderHeightFollowsTheScaleMode) {
  const struct {
    TsSkinManager::TacScaleMode Mode;
    int Expect;
  } rows[] = {{TsSkinManager::sm150, 15}, {TsSkinManager::smOldMode, 10}};
  Make();
  for (const auto& r : rows) {
    M->Options.ScaleMode.Store(r.Mode);
    P->FormHeader().WriteAdditionalHeight(10);
    EXPECT_EQ(P->FormHeader().ScaledAddHeight(), r.Expect) << r.Mode;
    P->FormHeader().WriteAdditionalHeight(0);
  }
  M->Options.ScaleMode.Store(TsSkinManager::smOldMode);
}

TEST_F(TitleData, PressAndReleaseOnAButtonFireItsMouseEvents) {
  Make(1);
  TsTitleButton* button = P->TitleButtons().Items(0);
  struct TCall {
    std::string Kind;
    TsTitleButton* Sender;
    TMouseButton Button;
    TShiftState Shift;
    int X, Y;
  };
  std::vector<TCall> calls;
  button->OnMouseDown = [&](TsTitleButton* s, TMouseButton b, TShiftState sh, int x, int y) {
    calls.push_back({"down", s, b, sh, x, y});
  };
  button->OnMouseUp = [&](TsTitleButton* s, TMouseButton b, TShiftState sh, int x, int y) {
    calls.push_back({"up", s, b, sh, x, y});
  };
  const POINT pt = At(button->Data.cpRect);
  SetCursorPos(pt.x, pt.y);
  SendMessageW(Wnd, WM_NCLBUTTONDOWN, 1000, MAKELPARAM(pt.x, pt.y));
  SendMessageW(Wnd, WM_NCLBUTTONUP, 1000, MAKELPARAM(pt.x, pt.y));
  PumpMessages();
  ASSERT_EQ(calls.size(), 2u);
  for (const TCall& c : calls) {
    EXPECT_EQ(c.Sender, button) << c.Kind;
    EXPECT_EQ(c.Button, mbLeft) << c.Kind;
    EXPECT_EQ(c.Shift, 0u) << c.Kind;
    EXPECT_EQ(c.X, pt.x) << c.Kind;
    EXPECT_EQ(c.Y, pt.y) << c.Kind;
  }
  EXPECT_EQ(calls[0].Kind, "down");
  EXPECT_EQ(calls[1].Kind, "up");
}

TEST_F(TitleData, ANewGlyphStopsTheButtonsFade) {
  Make(1);
  TsTitleButton* button = P->TitleButtons().Items(0);
  const POINT pt = At(button->Data.cpRect);
  auto glyph = NewBitmap32(12, 12);
  TMemoryStream saved;
  glyph->SaveToStream(saved);
  // However the glyph takes new pixels, the fade that shows the old ones stops.
  const struct {
    const char* Name;
    std::function<void()> Change;
  } rows[] = {{"written", [&] { button->WriteGlyph(glyph.get()); }},
              {"resized", [&] { button->Glyph->SetSize(20, 14); }},
              {"loaded",
               [&] {
                 saved.SetPosition(0);
                 button->Glyph->LoadFromStream(saved);
               }}};
  for (const auto& r : rows) {
    SetCursorPos(5, 5);
    SendMessageW(Wnd, WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(5, 5));
    SetCursorPos(pt.x, pt.y);
    SendMessageW(Wnd, WM_NCMOUSEMOVE, 1000, MAKELPARAM(pt.x, pt.y));
    ASSERT_NE(button->Data.cpTimer, nullptr) << r.Name;
    r.Change();
    EXPECT_EQ(button->Data.cpTimer, nullptr) << r.Name;
  }
  EXPECT_EQ(button->Glyph->Width(), 12);
  EXPECT_NE(button->Glyph.get(), glyph.get());  // a copy of it
}

TEST_F(TitleData, AButtonIsNamedAfterItsClassAndAssignsItsSettings) {
  Make(2);
  TsTitleButton* a = P->TitleButtons().Items(0);
  TsTitleButton* b = P->TitleButtons().Items(1);
  EXPECT_EQ(a->Name, L"TsTitleButton");
  EXPECT_EQ(a->GetDisplayName(), L"TsTitleButton");
  ASSERT_NE(a->Glyph, nullptr);
  EXPECT_TRUE(a->Glyph->Empty());
  EXPECT_EQ(a->Glyph->PixelFormat(), pf32bit);
  a->WriteName(L"Pin");
  a->Hint = L"Pin the window";
  a->Enabled = false;
  a->UseSkinData = false;
  auto glyph = NewBitmap32(10, 8);
  a->WriteGlyph(glyph.get());
  int downs = 0;
  a->OnMouseDown = [&](TsTitleButton*, TMouseButton, TShiftState, int, int) { ++downs; };
  a->AssignTo(b);
  EXPECT_EQ(b->GetDisplayName(), L"Pin");
  EXPECT_EQ(b->Hint, L"Pin the window");
  EXPECT_FALSE(b->Enabled);
  EXPECT_FALSE(b->UseSkinData);
  EXPECT_EQ(b->Glyph->Width(), 10);
  b->DoMouseDown(mbLeft, 0, 0, 0);
  EXPECT_EQ(downs, 1);
  EXPECT_THROW(a->AssignTo(nullptr), EConvertError);
}

TEST_F(TitleData, TheTitleSectionIsTheFormsOwnOrTheSkinsFormTitle) {
  Make();
  TacSkinData* data = ProviderSkinData(P);
  ASSERT_NE(data, nullptr);
  ASSERT_GE(data->GetSkinIndex(L"FORMTITLE"), 0);
  const struct {
    const wchar_t* TitleSkin;
    int Expect;
  } rows[] = {{L"", data->GetSkinIndex(L"FORMTITLE")}, {L"NOSUCHSECTION", -1}, {L"FORM", data->GetSkinIndex(L"FORM")}};
  for (const auto& r : rows) {
    P->SetSectionProperty(0, r.TitleSkin);
    P->UpdateTitleSkinIndexes();
    EXPECT_EQ(P->FTitleSkinIndex, r.Expect) << std::wstring(r.TitleSkin).size();
  }
  P->SetSectionProperty(0, L"");
}
