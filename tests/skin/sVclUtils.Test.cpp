// Window and control helpers: skin colours, densities, flags, aligned sizes, and the mouse
// and hint questions on real windows.
#include <gtest/gtest.h>

#include "skin/controls/acAlphaHints.h"

#include "ReaderFixtures.h"
#include "SkinBuilder.h"
#include "platform/ui/Forms.h"
#include "platform/ui/HintWindow.h"
#include "platform/ui/ModalPhase.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sVclUtils.h"
#include "support/ShellHarness.h"

namespace {

struct TColourCase {
  const char* Name;
  TColor In;
  TColor Want;
};

void ExpectColours(const TsSkinManager* manager, std::initializer_list<TColourCase> cases, const char* scenario) {
  for (const TColourCase& c : cases)
    EXPECT_EQ(SkinColorOf(c.In, manager), c.Want) << scenario << ": " << c.Name << std::hex << " got 0x"
                                                  << SkinColorOf(c.In, manager) << " want 0x" << c.Want;
}

TColor Sys(int index) { return static_cast<TColor>(GetSysColor(index)); }
TColor P(TacPaletteColors slot) { return TSkinBuilder::PaletteColour(slot); }
TColor Mix(TColor a, TColor b, std::uint8_t w) { return static_cast<TColor>(BlendTwoColors(a, b, w)); }

TEST(SkinColorOf, MapsSystemAndLibraryColoursWithAndWithoutASkin) {
  ASSERT_EQ(DefaultManager(), nullptr) << "another test left a manager behind";
  const auto withoutSkin = {
      TColourCase{"plain colour", 0x123456, 0x123456},
      TColourCase{"button face", clBtnFace, Sys(COLOR_BTNFACE)},
      TColourCase{"hint background", clInfoBk, Sys(COLOR_INFOBK)},
      TColourCase{"library red text", TColor(0xFF0000B4), 0x0000B4},
      TColourCase{"library main colour below 101", clSkinMainColor, ColorToRGB(clSkinMainColor)},
  };
  ExpectColours(nullptr, withoutSkin, "no manager");

  TSkinBuilder b;
  b.DistinctPalette();
  constexpr TColor titleNormal = 0x010101, titleActive = 0x020202, fontNormal = 0x030303, fontActive = 0x040404;
  b.AddFormTitle(titleNormal, titleActive, fontNormal, fontActive);
  b.Manager->SkinCommonInfo.Active = false;
  ExpectColours(b.Manager, withoutSkin, "inactive manager");

  b.Manager->SkinCommonInfo.Active = true;
  const auto skinned = {
      TColourCase{"plain colour", 0x123456, 0x123456},
      TColourCase{"button face", clBtnFace, P(pcMainColor)},
      TColourCase{"menu bar", clMenuBar, P(pcMainColor)},
      TColourCase{"window", clWindow, P(pcEditBG)},
      TColourCase{"window text", clWindowText, P(pcEditText)},
      TColourCase{"button text", clBtnText, P(pcLabelText)},
      TColourCase{"active caption", clActiveCaption, titleActive},
      TColourCase{"inactive caption", clGradientInactiveCaption, titleNormal},
      TColourCase{"caption text", clCaptionText, fontActive},
      TColourCase{"inactive caption text", clInactiveCaptionText, fontNormal},
      TColourCase{"border", clActiveBorder, P(pcBorder)},
      TColourCase{"highlight", clHighlight, P(pcSelectionBG_Focused)},
      TColourCase{"highlight text", clHighlightText, P(pcSelectionText_Focused)},
      TColourCase{"hot light", clHotLight, P(pcWebTextHot)},
      TColourCase{"shadow", clBtnShadow, Mix(P(pcMainColor), clBlack, 180)},
      TColourCase{"3D light", cl3DLight, Mix(P(pcMainColor), clWhite, 180)},
      TColourCase{"grey text", clGrayText, Mix(P(pcMainColor), P(pcLabelText), 127)},
      TColourCase{"button highlight", clBtnHighlight, Mix(P(pcMainColor), P(pcSelectionBG_Focused), 127)},
      TColourCase{"hint background without HINT", clInfoBk, P(pcEditBG)},
      TColourCase{"hint text without HINT", clInfoText, P(pcEditText)},
      TColourCase{"system colour 25", TColor(0xFF000019), ColorToRGB(TColor(0xFF000019))},
      TColourCase{"library main colour", clSkinMainColor, P(pcMainColor)},
      TColourCase{"library red text", TColor(0xFF0000B4), P(pcBtnRedText)},
      TColourCase{"library alert background", TColor(0xFFDBDBFF), P(pcEditBG_Alert)},
      TColourCase{"library blue text, active", TColor(0xFF916000), P(pcBtnBlueTextActive)},
  };
  ExpectColours(b.Manager, skinned, "active skin");

  // While a skin change runs the manager is not active yet, but the new palette applies.
  b.Manager->SkinCommonInfo.Active = false;
  b.Manager->ManagerState |= msSkinChanging;
  ExpectColours(b.Manager, {{"button face", clBtnFace, P(pcMainColor)}}, "skin changing");
  b.Manager->ManagerState &= ~msSkinChanging;
  b.Manager->SkinCommonInfo.Active = true;

  const int hint = b.AddSection(1, {0x0A0B0C});
  b.Section(hint).Props[0].FontColor.Color = 0x0D0E0F;
  b.SetConstSection(L"HINT", hint);
  b.SetConstSection(L"FORMTITLE", -1);
  ExpectColours(b.Manager,
                {{"hint background", clInfoBk, 0x0A0B0C},
                 {"hint text", clInfoText, 0x0D0E0F},
                 {"active caption without FORMTITLE", clActiveCaption, P(pcMainColor)},
                 {"caption text without FORMTITLE", clCaptionText, P(pcLabelText)}},
                "with HINT, without FORMTITLE");
}

TEST(SkinColorOf, TakesTheColoursOfALoadedSkin) {
  auto* m = CreateComponent<TsSkinManager>(nullptr);
  m->SetSkinDirectory(ReaderFixture(L"skins"));
  m->SetSkinName(L"Tarvel Test");
  ASSERT_TRUE(m->IsActive());
  // The test skin has FORMTITLE and SELECTION but no HINT, and a colour of its own per slot.
  ExpectColours(m,
                {{"button face", clBtnFace, 0xD0D0D0},
                 {"active caption", clActiveCaption, 0x604020},
                 {"inactive caption", clInactiveCaption, 0x503010},
                 {"caption text", clCaptionText, 0x806040},
                 {"inactive caption text", clInactiveCaptionText, 0x705030},
                 {"highlight", clHighlight, 0x224466},
                 {"highlight text", clHighlightText, 0x446688},
                 {"hint background from EDIT", clInfoBk, 0xF0F0F0},
                 {"hint text from EDIT", clInfoText, 0x000000},
                 {"button text", clBtnText, 0x010203},
                 {"hot light", clHotLight, 0x070809},
                 {"border", clWindowFrame, 0x0A0B0C},
                 {"library red text", TColor(0xFF0000B4), 0x313233},
                 {"library blue text, active", TColor(0xFF916000), 0x404142},
                 {"library alert background", TColor(0xFFDBDBFF), 0x1C1D1E}},
                "loaded skin");
  TComponent::Free(m);
}

TEST(ControlPPI, AWindowedControlWithoutWindowIs96AndMakesNone) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  EXPECT_EQ(ControlPPI(form), 96);
  EXPECT_FALSE(form->HandleAllocated());
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(ControlPPI(nullptr), GetDeviceCaps(dc, LOGPIXELSY));
  ReleaseDC(nullptr, dc);
  TComponent::Free(form);
}

TEST(TextFlagsOf, AlignmentFollowsTheReadingOrder) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  constexpr unsigned base = DT_VCENTER | DT_EXPANDTABS;
  const struct {
    TBiDiMode Mode;
    TAlignment Alignment;
    unsigned Want;
  } cases[] = {
      {bdLeftToRight, taLeftJustify, DT_LEFT | base},
      {bdLeftToRight, taRightJustify, DT_RIGHT | base},
      {bdLeftToRight, taCenter, DT_CENTER | base},
      {bdRightToLeft, taLeftJustify, DT_RIGHT | base | DT_RTLREADING},
      {bdRightToLeft, taRightJustify, DT_LEFT | base | DT_RTLREADING},
      {bdRightToLeft, taCenter, DT_CENTER | base | DT_RTLREADING},
      {bdRightToLeftNoAlign, taLeftJustify, DT_LEFT | base | DT_RTLREADING},
      {bdRightToLeftReadingOnly, taRightJustify, DT_RIGHT | base | DT_RTLREADING},
  };
  for (const auto& c : cases) {
    form->SetBiDiMode(c.Mode);
    EXPECT_EQ(TextFlagsOf(form, c.Alignment), c.Want) << c.Mode << " " << c.Alignment;
  }
  EXPECT_EQ(TextFlagsOf(nullptr, taCenter), DT_CENTER | base);
  TComponent::Free(form);
}

// A graphic control that paints nothing (a label's place).
class TSpot : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;
};

TEST(AlignedChildrenSize, SumsTheVisibleChildrenOfOneAlignment) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetClientSize(200, 300);
  auto add = [&](TControl* c, int height, TAlign align, bool visible = true) {
    c->SetBounds(0, 0, 20 + height, height);
    c->SetAlign(align);
    c->SetVisible(visible);
    c->SetParent(form);
  };
  add(new TWinControl(form), 30, alTop);
  add(new TWinControl(form), 40, alTop);
  add(new TWinControl(form), 50, alTop, false);
  add(new TSpot(form), 5, alTop);
  add(new TWinControl(form), 7, alLeft);
  EXPECT_EQ(AlignedChildrenSize(form, alTop, false), 70);
  EXPECT_EQ(AlignedChildrenSize(form, alTop, true), 75);
  EXPECT_EQ(AlignedChildrenSize(form, alLeft, false), 27);  // widths
  EXPECT_EQ(AlignedChildrenSize(form, alClient, true), 0);
  EXPECT_EQ(AlignedChildrenSize(nullptr, alTop, true), 0);
  TComponent::Free(form);
}

// A control's font against what it would inherit: the parent's font, with the control's own
// colour unless the colour is compared too; a default font without a parent.
TEST(FontDiffersFromParent, ComparesWithTheParentsFontAndChosenColour) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->Font.Name = L"Arial";
  form->Font.Height = -13;
  form->Font.Color = static_cast<TColor>(0x0000FF);
  auto* child = new TSpot(form);
  child->SetParent(form);
  child->Font.Assign(form->Font);
  child->Font.Color = static_cast<TColor>(0xFF0000);
  EXPECT_TRUE(FontDiffersFromParent(child, child->Font, true)) << "the colour differs";
  EXPECT_FALSE(FontDiffersFromParent(child, child->Font, false)) << "the child's own colour is taken";
  child->Font.Height = -20;
  EXPECT_TRUE(FontDiffersFromParent(child, child->Font, false)) << "the size differs";

  TFont standard;
  standard.Color = static_cast<TColor>(0x00FF00);
  EXPECT_FALSE(FontDiffersFromParent(nullptr, standard, false));
  EXPECT_TRUE(FontDiffersFromParent(nullptr, standard, true));
  auto* orphan = new TSpot(form);
  EXPECT_FALSE(FontDiffersFromParent(orphan, standard, false)) << "no parent: the default font";
  TComponent::Free(form);
}

TEST(ForEachChildControl, VisitsEveryChildDepthFirst) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  auto* panel = new TWinControl(form);
  panel->Name = L"panel";
  panel->SetParent(form);
  auto* inner = new TSpot(form);
  inner->Name = L"inner";
  inner->SetParent(panel);
  auto* after = new TSpot(form);
  after->Name = L"after";
  after->SetParent(form);
  std::wstring order;
  ForEachChildControl(form, [&](TControl* c) { order += c->Name + L" "; });
  EXPECT_EQ(order, L"panel inner after ");
  TComponent::Free(form);
}

TEST(WindowQuestions, ClassNameClientRectAndTopParent) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsSingle);
  form->SetClientSize(120, 80);
  auto* panel = new TWinControl(form);
  panel->SetBounds(5, 5, 20, 20);
  panel->SetParent(form);
  HWND wnd = form->Handle();
  EXPECT_EQ(WindowClassName(wnd), L"TForm");
  EXPECT_EQ(TopParentWindow(panel->Handle()), wnd);
  EXPECT_TRUE(IsWindowWithin(panel->Handle(), wnd));
  EXPECT_FALSE(IsWindowWithin(wnd, panel->Handle()));
  RECT window{}, client{};
  GetWindowRect(wnd, &window);
  GetClientRect(wnd, &client);
  POINT origin{0, 0};
  ClientToScreen(wnd, &origin);
  EXPECT_EQ(ClientRectInWindow(wnd), Bounds(origin.x - window.left, origin.y - window.top, 120, 80));
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(FormMonitorWorkArea(form), Rect(work.left, work.top, work.right, work.bottom));
  EXPECT_TRUE(FormMonitorWorkArea(nullptr).IsEmpty());
  EXPECT_EQ(OwnerFormOf(panel), form);
  EXPECT_EQ(OwnerFormOf(nullptr), nullptr);
  TComponent::Free(form);
}

// ---------------------------------------------------------------------------
// The mouse over real windows
// ---------------------------------------------------------------------------

struct TMouseForm {
  TForm* Form;
  TWinControl* Panel;
  TSpot* Label;
  TMouseForm() {
    Application().Initialize();
    Form = new TForm(nullptr);
    Form->SetBorderStyle(bsSingle);
    Form->SetClientSize(300, 200);
    Panel = new TWinControl(Form);
    Panel->SetBounds(10, 10, 100, 100);
    Panel->SetParent(Form);
    Label = new TSpot(Form);
    Label->SetBounds(150, 10, 100, 40);
    Label->SetParent(Form);
    Form->Show();
    SetWindowPos(Form->Handle(), HWND_TOPMOST, 100, 100, 0, 0, SWP_NOSIZE);
    SetForegroundWindow(Form->Handle());
    Application().ProcessMessages();
  }
  ~TMouseForm() {
    SetCursorPos(1200, 1000);
    TComponent::Free(Form);
  }
  // Moves the cursor to a point of the form's client area.
  void MoveTo(int x, int y) {
    POINT p{x, y};
    ClientToScreen(Form->Handle(), &p);
    SetCursorPos(p.x, p.y);
    WaitUntil([&] { return CursorPosition() == TPoint{p.x, p.y}; }, 2000);
  }
};

TEST(IsMouseOverControl, FollowsTheCursorOverAPanelAndAGraphicLabel) {
  TMouseForm f;
  const struct {
    int X, Y;
    bool Panel, Label;
    int Under;  // 0 form, 1 panel, 2 label
  } cases[] = {
      {50, 50, true, false, 1},
      {200, 30, false, true, 2},
      {200, 150, false, false, 0},
  };
  for (const auto& c : cases) {
    f.MoveTo(c.X, c.Y);
    EXPECT_EQ(IsMouseOverControl(f.Panel), c.Panel) << c.X << ", " << c.Y;
    EXPECT_EQ(IsMouseOverControl(f.Label), c.Label) << c.X << ", " << c.Y;
    TControl* const want[] = {f.Form, f.Panel, f.Label};
    EXPECT_EQ(ControlUnderMouse(), want[c.Under]) << c.X << ", " << c.Y;
    EXPECT_EQ(IsMouseOverWindow(f.Panel->Handle()), c.Panel) << c.X << ", " << c.Y;
  }
  f.MoveTo(200, 30);
  f.Label->SetVisible(false);
  EXPECT_FALSE(IsMouseOverControl(f.Label));
  EXPECT_EQ(ControlUnderMouse(), f.Form);
}

TEST(IsMouseOverControl, AGraphicControlBehindAModalFormIsNotUnderTheMouse) {
  TMouseForm f;
  f.MoveTo(200, 30);
  ASSERT_TRUE(IsMouseOverControl(f.Label));
  auto* dialog = new TForm(nullptr);
  dialog->SetBorderStyle(bsDialog);
  dialog->SetClientSize(50, 50);
  dialog->Show();
  SetWindowPos(dialog->Handle(), HWND_TOPMOST, 900, 700, 0, 0, SWP_NOSIZE);
  SetActiveWindow(dialog->Handle());
  Application().ProcessMessages();
  ASSERT_EQ(Application().ActiveForm(), dialog);
  {
    TModalPhase modal;
    EXPECT_FALSE(IsMouseOverControl(f.Label));
  }
  EXPECT_TRUE(IsMouseOverControl(f.Label));
  TComponent::Free(dialog);
}

// ---------------------------------------------------------------------------
// Hints
// ---------------------------------------------------------------------------

TRect PrimaryWorkArea() {
  RECT r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return Rect(r.left, r.top, r.right, r.bottom);
}

TEST(ShowHintText, ShowsAPlainHintBelowRightOfThePointAndInsideTheWorkArea) {
  Application().Initialize();
  const TRect work = PrimaryWorkArea();
  EXPECT_EQ(WorkAreaAtPoint(Bounds(work.Left + 10, work.Top + 10, 0, 0)), work);
  EXPECT_TRUE(WorkAreaAtPoint(Bounds(-30000, -30000, 0, 0)).IsEmpty());
  EXPECT_EQ(ShowHintText(L"", Point(100, 100)), nullptr);

  const struct {
    const char* Name;
    TPoint At;
  } cases[] = {{"middle", {200, 150}}, {"corner", {work.Right - 3, work.Bottom - 3}}};
  for (const auto& c : cases) {
    THintWindow* hint = ShowHintText(L"A hint that is shown near the point", c.At);
    ASSERT_NE(hint, nullptr);
    RECT r{};
    GetWindowRect(hint->Handle(), &r);
    EXPECT_TRUE(IsWindowVisible(hint->Handle())) << c.Name;
    EXPECT_TRUE(GetWindowLongPtrW(hint->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) << c.Name;
    EXPECT_GE(r.left, work.Left) << c.Name;
    EXPECT_GE(r.top, work.Top) << c.Name;
    EXPECT_LE(r.right, work.Right) << c.Name;
    EXPECT_LE(r.bottom, work.Bottom) << c.Name;
    if (std::string_view(c.Name) == "middle") {
      EXPECT_EQ(r.left, 208);
      EXPECT_EQ(r.top, 166);
    } else {
      EXPECT_EQ(r.right, work.Right);
      EXPECT_EQ(r.bottom, work.Bottom);
    }
    EXPECT_EQ(hint->Caption(), L"A hint that is shown near the point");
    TComponent::Free(hint);
  }
}

TEST(ShowHintText, AnActiveHintsComponentShowsTheText) {
  Application().Initialize();
  {
    TsAlphaHints hints(nullptr);
    hints.Animated = false;
    hints.Loaded();
    ASSERT_EQ(ActiveAlphaHints, &hints);
    THintWindow* shown = ShowHintText(L"text", Point(300, 200));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown, hints.HintWindow);  // the component's own window: the caller frees nothing
    EXPECT_EQ(hints.HintWindow->Text, L"text");
    ASSERT_NE(hints.AnimWindow, nullptr);
    EXPECT_TRUE(IsWindowVisible(hints.AnimWindow->Handle()));
    hints.SetActive(false);
    EXPECT_EQ(ActiveAlphaHints, nullptr);
    EXPECT_EQ(hints.HintWindow, nullptr);  // hidden with the component's last role
    EXPECT_EQ(ShowHintText(L"", Point(5, 6)), nullptr);
  }
  EXPECT_EQ(ActiveAlphaHints, nullptr);
}

TEST(VclUtilsUnit, BindsSetWindowThemeOnceAndReleasesIt) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  HWND wnd = form->Handle();
  // Wine's uxtheme has SetWindowTheme: the bound entry answers instead of E_NOTIMPL.
  EXPECT_NE(CallSetWindowTheme(wnd, L"", L""), E_NOTIMPL);
  VclUtilsUnitCleanup();
  EXPECT_EQ(CallSetWindowTheme(wnd, L"", L""), E_NOTIMPL);
  VclUtilsUnitStartup();
  EXPECT_NE(CallSetWindowTheme(wnd, L"", L""), E_NOTIMPL);
  TComponent::Free(form);
}

}  // namespace
