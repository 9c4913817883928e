// The handlers' shared painting on real windows: the cache of a control rendered from its
// section, its key-colour corners taking the parent's pixels, a disabled edit's own text,
// and the GDI balance over many attach, paint and release cycles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HandlerDialogs.h"
#include "HandlerFixtures.h"
#include "platform/ui/StdCtrls.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "support/GdiCensus.h"

using namespace handler_tests;

namespace {

std::uint32_t CachePixel(TsCommonData* Data, int X, int Y) {
  return reinterpret_cast<const std::uint32_t*>(Data->FCacheBmp->ScanLine(Y))[X] & 0xFFFFFF;
}

class HandlerPaint : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    ASSERT_TRUE(Skin.M->IsActive());
    Kinds.Add(L"TacTestWnd", MakerOf<TacMainWnd>());
  }
  TacMainWnd* Make(HWND Wnd, const wchar_t* Section) {
    TacSkinParams params;
    params.SkinSection = Section;
    params.UseSkinColor = params.UseSkinFontColor = true;  // as the dialogs' handlers are made
    return CreateHandler(L"TacTestWnd", Wnd, false, params, Skin.M, nullptr);
  }
  TTestManager Skin;
  TKindScope Kinds;
};

}  // namespace

// A child with a border whose corners are the key colour over a parent painted with a flat
// section: the rendered cache shows the section inside and the parent's colour in the
// corners.
TEST_F(HandlerPaint, KeyCornersShowTheParentsPixels) {
  TRecorderWindow parent(WS_POPUP | WS_VISIBLE, 200, 120);
  HWND child = CreateWindowExW(0, RecorderClass(), L"", WS_CHILD | WS_VISIBLE, 20, 20, 60, 40, parent.Wnd, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  TacMainWnd* ph = Make(parent.Wnd, L"CHECKBOX");
  TacMainWnd* ch = Make(child, L"TESTKEYBORDER");
  ReadWindowGeometry(child, ch->ParentWnd, ch->WndRect, ch->WndPos, ch->WndSize, ch->ParentRect);
  EXPECT_EQ(ch->WndPos.X, 20);
  EXPECT_EQ(ch->WndSize.cx, 60);
  // The parent paints first; the child then asks it for the pixels behind it.
  ph->SkinData->BGChanged = true;
  RenderControlCache(ph->SkinData, parent.Wnd, false);
  ch->SkinData->BGChanged = true;
  RenderControlCache(ch->SkinData, child, false);
  ASSERT_FALSE(ch->SkinData->BGChanged);
  ASSERT_EQ(ch->SkinData->FCacheBmp->Width(), 60);
  const std::uint32_t parentColour = CachePixel(ph->SkinData, 60, 50);
  const std::uint32_t inside = CachePixel(ch->SkinData, 30, 20);
  EXPECT_NE(inside, parentColour);
  PaintBorderCorners(ch->SkinData, 0, ch);
  for (auto [x, y] : {std::pair{0, 0}, std::pair{59, 0}, std::pair{0, 39}, std::pair{59, 39}}) {
    SCOPED_TRACE(x * 100 + y);
    EXPECT_EQ(CachePixel(ch->SkinData, x, y), parentColour);
  }
  EXPECT_EQ(CachePixel(ch->SkinData, 30, 20), inside);
  EXPECT_NE(CachePixel(ch->SkinData, 4, 4), parentColour);  // not a key pixel of the border
  // Nothing in dialog mode.
  ch->DlgMode = true;
  reinterpret_cast<std::uint32_t*>(ch->SkinData->FCacheBmp->ScanLine(0))[0] = 0x00FF00FF;
  PaintBorderCorners(ch->SkinData, 0, ch);
  EXPECT_EQ(CachePixel(ch->SkinData, 0, 0), 0xFF00FFu);
  FreeHandler(ch);
  FreeHandler(ph);
}

// A skin whose sections name border images beyond the loaded arrays paints no corners and
// reads nothing past them.
TEST_F(HandlerPaint, BorderIndexBeyondTheArraysDrawsNothing) {
  TRecorderWindow w(WS_POPUP | WS_VISIBLE, 60, 40);
  TacMainWnd* h = Make(w.Wnd, L"TESTKEYBORDER");
  TacSkinData* sd = h->SkinData->ReadCommonSkinData();
  ASSERT_NE(sd, nullptr);
  ASSERT_GE(h->SkinData->SkinIndex, 0);
  const int saved = sd->gd[h->SkinData->SkinIndex].BorderIndex;
  ReadWindowGeometry(w.Wnd, h->ParentWnd, h->WndRect, h->WndPos, h->WndSize, h->ParentRect);
  h->SkinData->BGChanged = true;
  RenderControlCache(h->SkinData, w.Wnd, false);
  const std::uint32_t corner = CachePixel(h->SkinData, 0, 0);
  for (int bad : {static_cast<int>(sd->ma.size()), 100000}) {
    sd->gd[h->SkinData->SkinIndex].BorderIndex = bad;
    EXPECT_FALSE(BorderNeedsAnimation(h->SkinData, false));
    PaintBorderCorners(h->SkinData, 0, h);
    EXPECT_EQ(CachePixel(h->SkinData, 0, 0), corner);
  }
  sd->gd[h->SkinData->SkinIndex].BorderIndex = saved;
  EXPECT_TRUE(BorderNeedsAnimation(h->SkinData, false));  // three images
  FreeHandler(h);
}

// A disabled framework edit paints its own text into the cache: the password character as
// the circle for '*', the hint blended toward the control's colour when there is no text.
TEST_F(HandlerPaint, DisabledEditTextIsRenderedIntoTheCache) {
  TForm form(nullptr);
  form.Tag = 256;  // a plain form: its background is its colour, not a provider's cache
  form.SetBounds(30, 30, 260, 120);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(10, 10, 200, 24);
  edit->Font.Height = -16;
  edit->Font.Color = clBlack;
  edit->SetColor(clWhite);
  form.Show();
  TacSkinParams params;
  params.Control = edit;
  params.SkinSection = L"EDIT";
  TacMainWnd* h = CreateHandler(L"TacTestWnd", edit->Handle(), false, params, Skin.M, nullptr);
  ASSERT_NE(h, nullptr);
  struct TCase {
    const wchar_t* Text;
    wchar_t Password;
    const wchar_t* Hint;
    bool Drawn;
  } cases[] = {{L"WWWW", 0, L"", true}, {L"WWWW", L'*', L"", true}, {L"", 0, L"HINT", true}, {L"", 0, L"", false}};
  edit->SetEnabled(false);
  EnableWindow(edit->Handle(), FALSE);  // the framework leaves the window's own state alone
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::wstring(c.Text) + L"/" + c.Hint);
    edit->SetText(c.Text);
    edit->SetPasswordChar(c.Password);
    edit->SetTextHint(c.Hint);
    h->SkinData->BGChanged = true;
    ASSERT_EQ(edit->Text(), c.Text);
    ASSERT_FALSE(IsWindowEnabled(edit->Handle()));
    RenderControlCache(h->SkinData, edit->Handle(), false);
    ASSERT_FALSE(h->SkinData->BGChanged);
    TBitmap* cache = h->SkinData->FCacheBmp.get();
    const std::uint32_t background = CachePixel(h->SkinData, cache->Width() - 8, cache->Height() / 2);
    int inked = 0;
    for (int y = 2; y < cache->Height() - 2; ++y)
      for (int x = 2; x < cache->Width() / 2; ++x) inked += CachePixel(h->SkinData, x, y) != background;
    EXPECT_EQ(inked > 0, c.Drawn);
  }
  FreeHandler(h);
}

// Attach, paint and release over the children of a dialog fifty times, and render one
// control two hundred times: the GDI census ends where it began.
TEST_F(HandlerPaint, CyclesAndRepaintsLeaveTheCensusUnchanged) {
  HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ALL_CLASSES), nullptr,
                                [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  ASSERT_NE(dlg, nullptr);
  ShowWindow(dlg, SW_SHOW);
  PumpMessagesFor(100);
  std::vector<HWND> children;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  ASSERT_GT(children.size(), 10u);
  const auto cycle = [&] {
    std::vector<TacMainWnd*> handlers;
    for (HWND c : children) {
      TacMainWnd* h = Make(c, L"TESTKEYBORDER");
      h->SetSkinParams();
      InitHandlerFont(h, true);
      ReadWindowGeometry(c, h->ParentWnd, h->WndRect, h->WndPos, h->WndSize, h->ParentRect);
      h->SkinData->BGChanged = true;
      RenderControlCache(h->SkinData, c, false);
      PaintBorderCorners(h->SkinData, 1, h);
      handlers.push_back(h);
    }
    RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (TacMainWnd*& h : handlers) FreeHandler(h);
  };
  cycle();  // caches, class brushes and fonts of the first round stay for the process
  ASSERT_TRUE(InstallGdiCensus());
  const TGdiCensus before = GdiCensus();
  for (int i = 0; i < 50; ++i) cycle();
  TacMainWnd* h = Make(children[0], L"TESTKEYBORDER");
  for (int i = 0; i < 200; ++i) {
    h->SkinData->BGChanged = true;
    RenderControlCache(h->SkinData, children[0], false);
    PaintBorderCorners(h->SkinData, i % 3, h);
    RedrawWindow(children[0], nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  }
  FreeHandler(h);
  const TGdiCensus after = GdiCensus();
  EXPECT_EQ(after.Total(), before.Total());
  EXPECT_EQ(after, before);
  DestroyWindow(dlg);
}

TEST_F(HandlerPaint, ThirdPartyPropertiesByName) {
  TEdit edit(nullptr);
  EXPECT_EQ(GetThirdPartyOrd(&edit, L"NoSuchProperty"), 0);
  EXPECT_EQ(GetThirdPartyOrd(nullptr, L"Tag"), 0);
  SetThirdPartyOrd(&edit, L"NoSuchProperty", 5);  // skipped
  EXPECT_EQ(GetThirdPartyColor(nullptr, L"Color"), 0);
}
