// A skin change reaching the process: the writers of Active and SkinName, the announcements
// to forms and children, a failed load, fonts, density changes and hot tracking, on real
// windows with our own test skins.
#include <gtest/gtest.h>

#include <filesystem>

#include "ReaderFixtures.h"
#include "SkinStateFixtures.h"
#include "platform/runtime/Files.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acAnimation.h"
#include "skin/manager/acPackedSkin.h"
#include "skin/manager/acSkinList.h"
#include "skin/manager/acSkinnedForms.h"
#include "support/MessagePump.h"

namespace fs = std::filesystem;

namespace {

// A shown skinned form of the manager with one child, recording what both receive.
class TChangeForm : public TSkinForm {
public:
  TChangeForm(TComponent* owner, TsSkinManager* manager) : TSkinForm(owner) {
    Provider = NewComponent<TsSkinProvider>(this);
    Provider->SkinManager = manager;
    Answers[SKCMD_GET_PROVIDER] = reinterpret_cast<LRESULT>(Provider);
    RecordOnTop();
    Child = new TSkinWin(this, false, this);
    SetMessageHandler(WM_SETREDRAW, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                        RedrawOn = m.WParam != 0;
                        inherited(m);
                      }));
  }
  std::wstring ClassName() const override { return L"TChangeForm"; }
  TsSkinProvider* Provider;
  TSkinWin* Child;
  bool RedrawOn = true;
};

// A manager that is the process's default, its messages caught, and a shown form of it.
class SkinChange : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    SetSkinMessageSink([this](TacSkinMessageKind kind, const std::wstring& text) {
      if (kind == smkError) Errors.push_back(text);
    });
    SetPackedSkinErrorHandler([](TsSkinManager*, const std::wstring&) {});
    M = CreateComponent<TsSkinManager>(nullptr);
    ASSERT_TRUE(M->IsDefault());
    M->SetSkinDirectory(ReaderFixture(L"skins"));
    Form = CreateComponent<TChangeForm>(nullptr, M);
    Form->Show();
  }
  void TearDown() override {
    TComponent::Free(Form);
    TComponent::Free(M);
    SetSkinMessageSink(nullptr);
    SetPackedSkinErrorHandler(nullptr);
  }
  void Clear() {
    Form->Got.clear();
    Form->LParams.clear();
    Form->Child->Got.clear();
  }
  TsSkinManager* M = nullptr;
  TChangeForm* Form = nullptr;
  std::vector<std::wstring> Errors;
};

}  // namespace

TEST_F(SkinChange, PackedExtensionIsStrippedInAnyCaseFromLongerNames) {
  struct Row {
    const wchar_t* Given;
    const wchar_t* Stored;
  } rows[] = {{L"Tarvel Test.ovz", L"Tarvel Test"},
              {L"Tarvel Test.OvZ", L"Tarvel Test"},
              {L".ovz", L".ovz"},
              {L"x.ovzz", L"x.ovzz"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::string(row.Given, row.Given + wcslen(row.Given)));
    M->SetActive(true);
    M->SetSkinName(row.Given);
    EXPECT_EQ(M->SkinName(), row.Stored);
  }
}

TEST_F(SkinChange, PostponedChangeIsAnnouncedOnceWithoutAnimation) {
  int animations = 0;
  SetSkinChangeAnimator([&](TControl*, std::uint16_t, std::uint8_t, bool) { ++animations; });
  M->BeginUpdate();
  M->SetSkinName(L"Tarvel Test");
  EXPECT_TRUE(M->NoAutoUpdate);
  EXPECT_EQ(Form->Count(SKCMD_NEW_SKIN), 0);
  M->EndUpdate(true, false);
  SetSkinChangeAnimator(nullptr);
  EXPECT_EQ(Form->Count(SKCMD_NEW_SKIN), 1);
  EXPECT_EQ(Form->Child->Count(SKCMD_NEW_SKIN), 1);
  EXPECT_EQ(Form->Count(SKCMD_REFRESH), 1);
  EXPECT_EQ(animations, 0);
  EXPECT_TRUE(M->AnimEffects.SkinChanging.Active);
  EXPECT_TRUE(M->IsActive());
  EXPECT_TRUE(Form->RedrawOn);
  EXPECT_FALSE(AnimationInProgress);
  EXPECT_EQ(M->ManagerState, 0u);
}

TEST_F(SkinChange, SwitchingOffAnnouncesRemovalOnlyWithANameAndAlwaysTellsTheListControls) {
  auto* listControl = new TSkinWin(Form, false, Form);
  listControl->Handle();
  M->SkinListController->Controls.push_back(listControl);
  M->SetSkinName(L"");
  M->SetActive(true);
  Application().ProcessMessages();
  Clear();
  listControl->Got.clear();
  M->SetActive(false);
  EXPECT_TRUE(Form->Got.empty());
  Application().ProcessMessages();  // posted to a list control with a window
  EXPECT_EQ(listControl->Count(SKCMD_LIST_SKIN_CHANGED), 1);

  M->SetSkinName(L"Tarvel Test");
  M->SetActive(true);
  ASSERT_TRUE(M->IsActive());
  Clear();
  M->SetActive(false);
  EXPECT_EQ(Form->Count(SKCMD_REMOVE_SKIN), 1);
  // Once from the registry's broadcast and once from the form's provider, which passes the
  // removal of its own manager on to its children.
  EXPECT_EQ(Form->Child->Count(SKCMD_REMOVE_SKIN), 2);
  EXPECT_FALSE(M->IsActive());
  M->SkinListController->Controls.clear();
  TComponent::Free(listControl);
}

TEST_F(SkinChange, SectionChangeCarriesTheUpperCaseName) {
  std::wstring got;
  Form->OnMessage = [&](TMessage& m) {
    if (SkinCommandOf(m.WParam) == SKCMD_SECTION_CHANGED) got = reinterpret_cast<const wchar_t*>(m.LParam);
  };
  M->UpdateSkinSection(L"Button");
  Form->OnMessage = nullptr;
  EXPECT_EQ(got, L"BUTTON");
}

TEST_F(SkinChange, DamagedSkinLeavesThePreviousSkinLoadedAndAnnounced) {
  const fs::path dir = fs::temp_directory_path() / (L"tarvel-skinchange-" + std::to_wstring(GetCurrentProcessId()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(ReaderFixture(L"skins\\Tarvel Test.ovz"), dir / L"Tarvel Test.ovz");
  fs::copy_file(ReaderFixture(L"packed\\truncated_entry.ovz"), dir / L"Broken.ovz");
  M->SetSkinDirectory(dir.wstring());
  M->SetSkinName(L"Tarvel Test");
  ASSERT_TRUE(M->IsActive());
  const int sections = M->LengthOfGD();
  Clear();
  M->SetSkinName(L"Broken");
  EXPECT_EQ(M->SkinName(), L"Tarvel Test");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_FALSE(Errors[0].empty());
  EXPECT_TRUE(M->IsActive());
  EXPECT_EQ(M->LengthOfGD(), sections);
  EXPECT_EQ(Form->Count(SKCMD_NEW_SKIN), 1);
  EXPECT_EQ(Form->Count(SKCMD_REMOVE_SKIN), 0);
  EXPECT_EQ(M->ManagerState, 0u);
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

TEST_F(SkinChange, NoSourceAtAllAnnouncesRemovalAndEndsTheCovers) {
  M->SetExtendedBorders(true);
  M->AnimEffects.SkinChanging.Active = true;
  M->SetSkinName(L"Tarvel Test");
  ASSERT_TRUE(M->IsActive());
  Clear();
  M->SetSkinDirectory(L"");
  M->SetSkinName(L"Nowhere At All");
  EXPECT_FALSE(M->Active());
  EXPECT_EQ(Form->Count(SKCMD_REMOVE_SKIN), 1);
  EXPECT_EQ(Form->Count(SKCMD_NEW_SKIN), 0);
  EXPECT_FALSE(AnimationInProgress);
  EXPECT_TRUE(Form->RedrawOn);
  EXPECT_FALSE(Form->Provider->FInAnimation);
  EXPECT_EQ(Form->Provider->FFormState & 0x11000u, 0u);
  EXPECT_EQ(M->ManagerState, 0u);
}

TEST_F(SkinChange, AppFontChangeWithTheNameInUseDoesNothing) {
  M->StoreDefFont();
  int events = 0;
  M->OnFontChanged = [&](TsSkinManager*, const std::wstring&, const std::wstring&) { ++events; };
  Clear();
  M->ChangeAppFont(M->DefOldFontName, true);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(Form->Count(SKCMD_FONT_CHANGED), 0);
  M->ChangeAppFont(L"Courier New", false);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(Form->Count(SKCMD_FONT_CHANGED), 1);
  EXPECT_EQ(M->DefOldFontName, L"Courier New");
}

TEST_F(SkinChange, UpdateFontNameReplacesOnlyTheDefaultNameOfReadyControls) {
  M->DefStoredFontName = M->DefOldFontName = L"Tahoma";
  M->DefNewFontName = L"Courier New";
  M->SkinCommonInfo.Active = true;
  auto* followingParent = new TSkinWin(Form, false, Form);
  followingParent->SetParentFont(true);
  struct Row {
    const char* Name;
    std::function<TControl*()> Make;
    bool Replaced;
  } rows[] = {
      {"windowed control with a window", [&] { auto* c = new TSkinWin(Form, false, Form); c->Handle(); return c; }, true},
      {"child of a ParentFont parent", [&] { auto* c = new TSkinWin(Form, false, followingParent); c->Handle(); return c; }, false},
      {"foreign font name", [&] { auto* c = new TSkinWin(Form, false, Form); c->Font.Name = std::wstring(L"Arial"); c->Handle(); return c; }, false},
      {"windowed control without window", [&] { return new TSkinWin(Form, false); }, false},
      {"graphic control with a parent", [&] { return new TSkinGraphic(Form, Form); }, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TControl* c = row.Make();
    const std::wstring before = c->Font.Name;
    EXPECT_EQ(M->UpdateFontName(c), row.Replaced);
    EXPECT_EQ(static_cast<std::wstring>(c->Font.Name), row.Replaced ? L"Courier New" : before);
  }
}

TEST_F(SkinChange, UpdateScaleRescalesTheClientAreaAndKeepsThePlace) {
  M->Options.ScaleMode = smCustomPPI;
  Form->SetBounds(40, 50, 300, 200);
  Form->SetClientSize(300, 200);
  Clear();
  M->UpdateScale(Form, 96, 144);
  EXPECT_EQ(Form->ClientWidth(), 450);
  EXPECT_EQ(Form->ClientHeight(), 300);
  EXPECT_EQ(Form->Left(), 40);
  EXPECT_EQ(Form->Top(), 50);
  EXPECT_EQ(Form->Count(SKCMD_PPI_CHANGED), 1);
  EXPECT_EQ(Form->LParams.back(), 144);
  EXPECT_EQ(M->ManagerState, 0u);
  EXPECT_TRUE(M->Effects.AllowAnimation);

  // A new density of 0 asks the form: -1 forbids scaling; 0 counts as 96.
  M->Options.ScaleMode = smAuto;
  Form->SetClientSize(300, 200);
  Form->Answers[SKCMD_GET_PPI] = -1;
  M->UpdateScale(Form, 0, 0);
  EXPECT_EQ(Form->ClientWidth(), 300);
  M->Options.ScaleMode = smCustomPPI;
  M->Options.PixelsPerInch = 192;
  Form->Answers[SKCMD_GET_PPI] = 0;
  M->UpdateScale(Form, 0, 0);
  EXPECT_EQ(Form->ClientWidth(), 600);
  EXPECT_EQ(Form->ClientHeight(), 400);
  // A density that stays below 1 ends the operation in every mode.
  Form->Answers[SKCMD_GET_PPI] = -1;
  M->UpdateScale(Form, 0, 0);
  EXPECT_EQ(Form->ClientWidth(), 600);
}

TEST_F(SkinChange, HotTrackingFollowsTheCursorFromParentToChild) {
  Form->SetBounds(100, 100, 300, 200);
  Form->Child->SetBounds(150, 100, 100, 60);
  PumpMessages();
  HWND parent = Form->Handle(), child = Form->Child->Handle();
  RECT pr{}, cr{};
  GetWindowRect(parent, &pr);
  GetWindowRect(child, &cr);
  SetCursorPos(pr.left + 5, pr.bottom - 5);
  Clear();
  M->SwitchHotControl(parent);
  EXPECT_EQ(Form->Count(SKCMD_MOUSE_ENTER), 1);

  SetCursorPos(cr.left + 5, cr.top + 5);
  M->SwitchHotControl(child);
  EXPECT_EQ(Form->Child->Count(SKCMD_MOUSE_ENTER), 1);
  EXPECT_EQ(Form->Count(SKCMD_MOUSE_LEAVE), 1);
  // The parent asks while the child is still under the cursor: the child stays hot.
  M->SwitchHotControl(parent);
  EXPECT_EQ(M->FActiveControl, child);
  EXPECT_EQ(Form->Count(SKCMD_MOUSE_ENTER), 1);
  // The cursor leaves the child's window: the tick makes it cold.
  SetCursorPos(pr.left + 5, pr.bottom - 5);
  M->CheckHotControl();
  EXPECT_EQ(M->FActiveControl, nullptr);
  EXPECT_EQ(Form->Child->Count(SKCMD_MOUSE_LEAVE), 1);
}

TEST_F(SkinChange, AFreedHotGraphicControlIsForgotten) {
  auto* graphic = new TSkinGraphic(Form, Form);
  M->SwitchHotControl(Form->Handle());
  M->SwitchHotGraphControl(graphic);
  EXPECT_EQ(M->FActiveGraphControl, graphic);
  TComponent::Free(graphic);
  EXPECT_EQ(M->FActiveGraphControl, nullptr);
  M->CheckHotControl();
  // A hot window that is gone is forgotten too.
  auto* win = new TSkinWin(nullptr, false);
  win->SetParent(Form);
  M->SwitchHotControl(win->Handle());
  TComponent::Free(win);
  M->CheckHotControl();
  EXPECT_EQ(M->FActiveControl, nullptr);
}
