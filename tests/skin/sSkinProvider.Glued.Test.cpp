// Glued forms, snapping and the disabled overlay on real skinned forms. Skins of
// tools/make_skin.py: "Tarvel Frame" (no border window) and "Tarvel Frame Ex" (a border
// window whose visible frame lies ALIGNOFFSET 2 inside its shadow).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ReaderFixtures.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "support/LayeredRecorder.h"
#include "support/MessagePump.h"

namespace {

TRect WindowRectOf(HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  return TRect{r.left, r.top, r.right, r.bottom};
}

class TGluedTest : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    FormsCouples().clear();
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"formframe"));
    M->SetSkinName(L"Tarvel Frame");
    M->SetActive(true);
    ASSERT_TRUE(M->IsActive());
    WA = TRect{};
  }
  // The border window variant: set before the forms are made.
  void UseBorderWindows() {
    M->SetSkinName(L"Tarvel Frame Ex");
    M->SetExtendedBorders(true);
  }
  void TearDown() override {
    for (auto it = Forms.rbegin(); it != Forms.rend(); ++it) TComponent::Free(*it);
    Forms.clear();
    // Every form went: no couple may keep its address.
    EXPECT_TRUE(FormsCouples().empty());
    FormsCouples().clear();
    TComponent::Free(M);
    PumpMessages();
  }
  TsSkinProvider* Make(const wchar_t* Name, int X, int Y, int W = 200, int H = 150, bool Show = true) {
    auto* form = CreateComponent<TForm>(nullptr);
    form->Name = Name;
    form->SetBorderStyle(bsSizeable);
    form->SetBounds(X, Y, W, H);
    auto* p = NewComponent<TsSkinProvider>(form);
    p->SkinManager = M;
    Forms.push_back(form);
    if (Show) {
      form->Show();
      form->SetBounds(X, Y, W, H);
      PumpMessagesFor(50);
      EXPECT_TRUE(p->FCommonData->Skinned());
      EXPECT_EQ(WindowRectOf(form->Handle()), (TRect{X, Y, X + W, Y + H}));
      if (WA.IsEmpty()) WA = FormMonitorWorkArea(form);
    }
    return p;
  }
  void Free(TForm* Form) {
    std::erase(Forms, Form);
    TComponent::Free(Form);
  }
  bool Mentioned(TForm* Form) const {
    for (const TacFormsCouple& c : FormsCouples())
      if (c.Slave == Form || c.Master == Form) return true;
    return false;
  }
  TsSkinManager* M = nullptr;
  std::vector<TForm*> Forms;
  TRect WA;
};

}  // namespace

TEST(SnapArithmetic, ADeltaOnlyWithinTheBufferBothEndsIncluded) {
  const struct {
    int Value, Edge, Buffer, Delta;
  } rows[] = {{8, 0, 10, 8}, {10, 0, 10, 10}, {11, 0, 10, 0}, {-10, 0, 10, -10},
              {-11, 0, 10, 0}, {495, 500, 10, -5}, {500, 500, 0, 0}, {501, 500, 0, 0}};
  for (const auto& r : rows)
    EXPECT_EQ(SnapDelta(r.Value, r.Edge, r.Buffer), r.Delta) << r.Value << " to " << r.Edge << " within " << r.Buffer;
}

TEST(SnapArithmetic, RemovingASlavesCouplesTakesEveryOneOfThemAlsoTheOnesMovedIntoAFreedPlace) {
  // Only addresses are compared: stand-ins for forms do.
  auto* s = reinterpret_cast<TForm*>(std::uintptr_t{0x1000});
  auto* t = reinterpret_cast<TForm*>(std::uintptr_t{0x2000});
  auto* m = reinterpret_cast<TForm*>(std::uintptr_t{0x3000});
  FormsCouples() = {{s, m, {}}, {t, m, {1, 1}}, {s, t, {}}, {s, m, {2, 2}}};
  RemoveFormCouples(s);
  ASSERT_EQ(FormsCouples().size(), 1u);
  EXPECT_EQ(FormsCouples()[0].Slave, t);
  EXPECT_EQ(FormsCouples()[0].Pos, (TPoint{1, 1}));
  // As master too, when the form goes.
  FormsCouples() = {{t, m, {}}, {m, s, {}}, {t, s, {}}};
  RemoveAllFormCouples(m);
  ASSERT_EQ(FormsCouples().size(), 1u);
  EXPECT_EQ(FormsCouples()[0].Master, s);
  EXPECT_EQ(FormsCouples()[0].Slave, t);
  FormsCouples().clear();
}

TEST_F(TGluedTest, APositionNearTheWorkAreasEdgesLandsOnThem) {
  TsSkinProvider* p = Make(L"Alone", 300, 300);
  const struct {
    const char* Name;
    int DX, DY;          // the proposed position from the work area's top-left
    int ExpectX, ExpectY;
  } rows[] = {
      {"8 px right of the left edge", 8, 200, 0, 200},
      {"11 px right of it stays", 11, 200, 11, 200},
      {"8 px left of it", -8, 200, 0, 200},
      {"6 px below the top", 200, 6, 200, 0},
      {"both at once", 10, -10, 0, 0},
  };
  for (const auto& r : rows) {
    int x = WA.Left + r.DX, y = WA.Top + r.DY;
    p->SnapFormPosition(x, y);
    EXPECT_EQ(x, WA.Left + r.ExpectX) << r.Name;
    EXPECT_EQ(y, WA.Top + r.ExpectY) << r.Name;
  }
  // The right edge of the window snaps to the right of the area.
  int x = WA.Right - 200 + 7, y = WA.Top + 300;
  p->SnapFormPosition(x, y);
  EXPECT_EQ(x, WA.Right - 200);
}

TEST_F(TGluedTest, WithABorderWindowTheVisibleExtendedFrameSnaps) {
  UseBorderWindows();
  TsSkinProvider* p = Make(L"Framed", 300, 300);
  ASSERT_NE(p->BorderForm, nullptr);
  TacSkinData* data = p->BorderForm->SkinData->ReadCommonSkinData();
  ASSERT_NE(data, nullptr);
  // The frame's left lies D + ALIGNOFFSET outside the form window's left.
  const int outside = BorderFormBorderDiff(p->BorderForm) + data->ExShadowOffs;
  ASSERT_GT(outside, 0);
  for (const int gap : {8, 11}) {
    int x = WA.Left + gap + outside, y = WA.Top + 200;
    p->SnapFormPosition(x, y);
    EXPECT_EQ(x - outside, gap == 8 ? WA.Left : WA.Left + gap) << gap;
    EXPECT_EQ(y, WA.Top + 200);
  }
  // Grown then shrunk gives the rectangle back; the frame lies around the window.
  const TRect r{100, 120, 400, 330};
  const TRect grown = OuterEdges(p, BorderFormBorderDiff(p->BorderForm), r, true);
  EXPECT_EQ(grown.Left, r.Left - outside);
  EXPECT_LT(grown.Top, r.Top);
  EXPECT_GT(grown.Right, r.Right);
  EXPECT_GT(grown.Bottom, r.Bottom);
  EXPECT_EQ(OuterEdges(p, BorderFormBorderDiff(p->BorderForm), grown, false), r);
}

TEST_F(TGluedTest, WithoutABorderWindowOuterEdgesIsTheRectangleItself) {
  TsSkinProvider* p = Make(L"Plain", 300, 300);
  ASSERT_EQ(p->BorderForm, nullptr);
  const TRect r{100, 120, 400, 330};
  EXPECT_EQ(OuterEdges(p, 5, r, true), r);
  EXPECT_EQ(OuterEdges(p, 5, r, false), r);
}

TEST_F(TGluedTest, ABottomEdgeJustAboveAnotherFormsTopSnapsOnlyWhenTheyOverlapSideways) {
  Make(L"Target", 400, 500, 300, 200);
  const struct {
    const char* Name;
    int X;
    int ExpectY;
  } rows[] = {{"overlapping", 450, 305}, {"beside it", 800, 300}};
  for (const auto& r : rows) {
    TsSkinProvider* mover = Make(L"Mover", r.X, 300, 300, 195);
    int x = r.X, y = 300;  // the bottom 5 px above the target's top
    mover->SnapFormPosition(x, y);
    EXPECT_EQ(y, r.ExpectY) << r.Name;
    EXPECT_EQ(x, r.X) << r.Name;
    Free(mover->Form);
  }
}

TEST_F(TGluedTest, ATouchingNamedFormFollowsItsMasterAndOneThatDoesNotTouchStays) {
  TsSkinProvider* master = Make(L"Main", 300, 300);
  TsSkinProvider* side = Make(L"Side", 500, 310);  // its left on the master's right
  TsSkinProvider* distant = Make(L"Far", 900, 300);
  master->GluedForms().Add(L"Side");
  master->GluedForms().Add(L"Far");
  master->CollectGluedForms();
  ASSERT_EQ(FormsCouples().size(), 1u);
  EXPECT_TRUE(IsCoupledSlave(master, side->Form));
  EXPECT_FALSE(IsCoupledSlave(master, distant->Form));
  EXPECT_EQ(FormsCouples()[0].Pos, (TPoint{200, 10}));
  master->Form->SetBounds(320, 360, 200, 150);
  PumpMessagesFor(30);
  EXPECT_EQ(WindowRectOf(side->Form->Handle()), (TRect{520, 370, 720, 520}));
  EXPECT_EQ(WindowRectOf(distant->Form->Handle()), (TRect{900, 300, 1100, 450}));
  // A second collection updates the couple in place.
  master->CollectGluedForms();
  EXPECT_EQ(FormsCouples().size(), 1u);
}

TEST_F(TGluedTest, ASlaveMovedByItsMasterNeitherSnapsNorMovesItsOwnGluedForms) {
  TsSkinProvider* master = Make(L"Main", 300, 300);
  TsSkinProvider* side = Make(L"Side", 500, 300);
  TsSkinProvider* third = Make(L"Third", 700, 300);
  side->ScreenSnap = true;
  side->GluedForms().Add(L"Third");
  side->CollectGluedForms();
  master->GluedForms().Add(L"Side");
  master->CollectGluedForms();
  ASSERT_EQ(FormsCouples().size(), 2u);
  // The slave lands 4 px from the work area's left: it stays there.
  master->Form->SetBounds(WA.Left + 4 - 200, 300, 200, 150);
  PumpMessagesFor(30);
  EXPECT_EQ(WindowRectOf(side->Form->Handle()).Left, WA.Left + 4);
  EXPECT_EQ(WindowRectOf(third->Form->Handle()).Left, 700);
  EXPECT_EQ(side->FormState() & FS_COUPLED, 0u);
  // Moved on its own it snaps, and is no longer the master's slave.
  side->Form->SetBounds(WA.Left + 6, 320, 200, 150);
  PumpMessagesFor(30);
  EXPECT_EQ(WindowRectOf(side->Form->Handle()).Left, WA.Left);
  EXPECT_FALSE(IsCoupledSlave(master, side->Form));
  EXPECT_TRUE(IsCoupledSlave(side, third->Form));
}

TEST_F(TGluedTest, AGoneMasterOrSlaveLeavesNoCoupleOfIt) {
  for (const bool masterGoes : {true, false}) {
    TsSkinProvider* master = Make(L"Main", 300, 300);
    TsSkinProvider* side = Make(L"Side", 500, 300);
    TsSkinProvider* third = Make(L"Third", 700, 300);
    side->GluedForms().Add(L"Third");
    side->CollectGluedForms();
    master->GluedForms().Add(L"Side");
    master->CollectGluedForms();
    ASSERT_EQ(FormsCouples().size(), 2u);
    TForm* gone = masterGoes ? master->Form : side->Form;
    Free(gone);
    EXPECT_FALSE(Mentioned(gone)) << (masterGoes ? "master" : "slave");
    EXPECT_EQ(FormsCouples().size(), masterGoes ? 1u : 0u);
    for (TForm* f : std::vector<TForm*>(Forms)) Free(f);
    (void)third;
  }
}

TEST_F(TGluedTest, DraggedByItsBorderWindowAFormSnapsItsFrameAndTakesItsGluedFormAlong) {
  UseBorderWindows();
  TsSkinProvider* master = Make(L"Main", 300, 300);
  ASSERT_NE(master->BorderForm, nullptr);
  TacSkinData* data = master->BorderForm->SkinData->ReadCommonSkinData();
  ASSERT_NE(data, nullptr);
  ASSERT_NE(data->ExDrawMode, 0);
  const int outside = BorderFormBorderDiff(master->BorderForm) + data->ExShadowOffs;
  // Touching frames: the slave's frame starts where the master's ends.
  TsSkinProvider* side = Make(L"Side", 300 + 200 + 2 * outside, 320);
  master->GluedForms().Add(L"Side");
  master->CollectGluedForms();
  ASSERT_TRUE(IsCoupledSlave(master, side->Form));
  master->ScreenSnap = true;
  HWND border = master->BorderForm->AForm->Handle();
  // The form's place that belongs to a border window position.
  const int dx = BorderFormBorderDiff(master->BorderForm) + data->ExContentOffs;
  const int dy = BorderFormTitleDiff(master->BorderForm) + data->ExContentOffs;
  master->SetFormState(master->FormState() | FS_BLENDMOVING);
  // The frame's left 7 px right of the work area's.
  const int formX = WA.Left + 7 + outside, formY = WA.Top + 400;
  SetWindowPos(border, nullptr, formX - dx, formY - dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  master->SetFormState(master->FormState() & ~FS_BLENDMOVING);
  const TRect b = WindowRectOf(border);
  EXPECT_EQ(b.Left + dx - outside, WA.Left);
  EXPECT_EQ(b.Top + dy, formY);
  // The slave stands where it stood beside the form the border window now belongs to.
  EXPECT_EQ(WindowRectOf(side->Form->Handle()).Left, b.Left + dx + 200 + 2 * outside);
  EXPECT_EQ(WindowRectOf(side->Form->Handle()).Top, b.Top + dy + 20);
}

TEST_F(TGluedTest, CoupledFormsTakeTheTransparencyOfTheirDraggedMaster) {
  TsSkinProvider* master = Make(L"Main", 300, 300);
  TsSkinProvider* side = Make(L"Side", 500, 300);
  TsSkinProvider* other = Make(L"Other", 300, 600);
  master->GluedForms().Add(L"Side");
  master->CollectGluedForms();
  HWND s = side->Form->Handle();
  SetCoupledAlpha(master, 100, false);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetWindowLongPtrW(s, GWL_EXSTYLE) & WS_EX_LAYERED);
  ASSERT_TRUE(GetLayeredWindowAttributes(s, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 100);
  EXPECT_FALSE(GetWindowLongPtrW(other->Form->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);
  // The end of the drag gives the visible ones full opacity back.
  SetCoupledAlpha(master, 255, true);
  EXPECT_FALSE(GetWindowLongPtrW(s, GWL_EXSTYLE) & WS_EX_LAYERED);
}

// ---- the disabled overlay ----

namespace {

std::uint32_t Channel(std::uint32_t c, int shift) { return (c >> shift) & 0xFFu; }

std::vector<std::uint32_t> PixelsOf(TBitmap* bmp) {
  std::vector<std::uint32_t> out;
  for (int y = 0; y < bmp->Height(); ++y) {
    auto* row = static_cast<std::uint32_t*>(bmp->ScanLine(y));
    out.insert(out.end(), row, row + bmp->Width());
  }
  return out;
}

}  // namespace

TEST_F(TGluedTest, TheOverlayShowsTheFormsPictureUntintedAt255AndHalvedByBlackAt128) {
  TsSkinProvider* p = Make(L"Dimmed", 300, 300);
  TLayeredRecorder rec;
  p->Form->SetEnabled(false);
  // At 255 without blur the enabled change asks for no overlay; the refresh shows one.
  EXPECT_EQ(p->LayerForm, nullptr);
  p->UpdateDisabledOverlay();
  ASSERT_NE(p->LayerForm, nullptr);
  HWND layer = p->LayerForm->Handle();
  EXPECT_TRUE(IsWindowVisible(layer));
  EXPECT_EQ(WindowRectOf(layer), WindowRectOf(p->Form->Handle()));
  auto plainPushes = rec.To(layer);
  ASSERT_EQ(plainPushes.size(), 1u);
  const TLayeredPush plain = plainPushes[0];
  EXPECT_EQ(plain.Alpha, 255);
  auto image = MakeFormImage(p);
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(plain.Size.cx, image->Width());
  ASSERT_EQ(plain.Size.cy, image->Height());
  EXPECT_EQ(plain.Pixels, PixelsOf(image.get()));
  // The writer refreshes the overlay with the tint: black at 128 halves every channel.
  p->WriteDisabledBlendValue(128);
  auto pushes = rec.To(layer);
  ASSERT_EQ(pushes.size(), 2u);
  const TLayeredPush& dim = pushes[1];
  ASSERT_EQ(dim.Pixels.size(), plain.Pixels.size());
  int checked = 0;
  for (std::size_t i = 0; i < plain.Pixels.size(); ++i) {
    const std::uint32_t a = plain.Pixels[i], b = dim.Pixels[i];
    for (int shift : {0, 8, 16}) ASSERT_EQ(Channel(b, shift), Channel(a, shift) / 2) << i;
    ASSERT_EQ(Channel(b, 24), Channel(a, 24)) << i;
    if (Channel(a, 0) > 1) ++checked;
  }
  EXPECT_GT(checked, 0);
  // Enabling frees the overlay window.
  p->Form->SetEnabled(true);
  EXPECT_EQ(p->LayerForm, nullptr);
  EXPECT_FALSE(IsWindow(layer));
}

TEST_F(TGluedTest, ABlurredOverlayShowsOnlyTheFormsPartOfTheBorderWindow) {
  UseBorderWindows();
  TsSkinProvider* p = Make(L"Blurred", 300, 300);
  ASSERT_NE(p->BorderForm, nullptr);
  const TRect shadow = p->ShadowSize();
  ASSERT_GT(shadow.Left, 0);
  ASSERT_GT(shadow.Top, 0);
  p->DisabledBlured = true;
  TLayeredRecorder rec;
  p->Form->SetEnabled(false);
  ASSERT_NE(p->LayerForm, nullptr);
  HWND layer = p->LayerForm->Handle();
  EXPECT_EQ(WindowRectOf(layer).Left, WindowRectOf(p->BorderForm->AForm->Handle()).Left);
  auto pushes = rec.To(layer);
  ASSERT_FALSE(pushes.empty());
  const TLayeredPush& shown = pushes.back();
  const int w = shown.Size.cx, h = shown.Size.cy;
  const struct {
    const char* Name;
    int X, Y;
    bool Visible;
  } probes[] = {{"top-left corner", 0, 0, false},
                {"left shadow", shadow.Left - 1, h / 2, false},
                {"top shadow", w / 2, shadow.Top - 1, false},
                {"right shadow", w - shadow.Right, h / 2, false},
                {"bottom shadow", w / 2, h - shadow.Bottom, false},
                {"the form's middle", w / 2, h / 2, true}};
  for (const auto& pr : probes) {
    const std::uint32_t alpha = Channel(shown.Pixel(pr.X, pr.Y), 24);
    if (pr.Visible)
      EXPECT_GT(alpha, 0u) << pr.Name;
    else
      EXPECT_EQ(shown.Pixel(pr.X, pr.Y), 0u) << pr.Name;
  }
  p->Form->SetEnabled(true);
  EXPECT_EQ(p->LayerForm, nullptr);
}

TEST_F(TGluedTest, AFormDisabledBeforeItsFirstPaintShowsNoOverlay) {
  TsSkinProvider* p = Make(L"Unpainted", 300, 300, 200, 150, false);
  p->WriteDisabledBlendValue(128);
  TLayeredRecorder rec;
  p->Form->SetEnabled(false);
  EXPECT_EQ(p->LayerForm, nullptr);
  p->UpdateDisabledOverlay();
  EXPECT_EQ(p->LayerForm, nullptr);
  EXPECT_TRUE(rec.Pushes.empty());
}

namespace {

// A window of the form's client that only fills itself with its colour.
class TPlainChild : public TWinControl {
public:
  TPlainChild(TWinControl* parent, TRect bounds, TColor color) : TWinControl(parent) {
    SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    SetColor(color);
    SetParent(parent);
  }
};

}  // namespace

// The form's picture (overlay, taskbar images, minimizing) shows its child windows where the
// screen shows them: in the client area, below the caption and inside the frame.
TEST_F(TGluedTest, TheFormsPictureHoldsItsChildWindowsInItsClientArea) {
  for (bool border : {false, true}) {
    if (border) UseBorderWindows();
    TsSkinProvider* p = Make(border ? L"WithBorder" : L"Plain", 200, 200);
    new TPlainChild(p->Form, TRect{30, 25, 70, 45}, static_cast<TColor>(RGB(200, 30, 40)));
    PumpMessagesFor(50);
    auto image = MakeFormImage(p);
    ASSERT_NE(image, nullptr);
    const int x = p->OffsetX() + 50, y = p->OffsetY() + 35;
    ASSERT_GT(p->OffsetY(), 10) << "the caption lies above the client area";
    const std::uint32_t px = static_cast<std::uint32_t*>(image->ScanLine(y))[x];
    EXPECT_EQ(px & 0xFFFFFFu, 0xC81E28u) << border;
    const std::uint32_t above = static_cast<std::uint32_t*>(image->ScanLine(35))[50];
    EXPECT_NE(above & 0xFFFFFFu, 0xC81E28u) << border;
    Free(p->Form);
  }
}
