// The registry of skinned forms, the application-wide broadcasts and the cover steps of a
// skin change, on real forms under Xvfb.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "SkinStateFixtures.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acAnimation.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/acSkinnedForms.h"

namespace {

// A form with a provider of its own (registered by it) that answers SKCMD_GET_PROVIDER, and
// a log of the steps the covers take on it.
class TCoverForm : public TSkinForm {
public:
  TCoverForm(TComponent* owner, TsSkinManager* manager, std::vector<std::string>* log) : TSkinForm(owner), Log(log) {
    Provider = NewComponent<TsSkinProvider>(this);
    Provider->SkinManager = manager;
    Answers[SKCMD_GET_PROVIDER] = reinterpret_cast<LRESULT>(Provider);
    RecordOnTop();
    SetMessageHandler(WM_SETREDRAW, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                        if (Log) Log->push_back(Name + (m.WParam ? " redraw 1" : " redraw 0"));
                        inherited(m);
                      }));
  }
  std::wstring ClassName() const override { return L"TCoverForm"; }
  TsSkinProvider* Provider;
  std::vector<std::string>* Log;
  std::string Name = "form";
};

TCoverForm* ShownCoverForm(TsSkinManager* m, std::vector<std::string>* log, const char* name = "form") {
  auto* f = CreateComponent<TCoverForm>(nullptr, m, log);
  f->Name = name;
  f->Show();
  return f;
}

std::vector<TForm*> Visited(TsSkinManager* m) {
  std::vector<TForm*> forms;
  ForEachSkinnedForm(m, [&](TsSkinProvider* p, void*) { forms.push_back(p->Form); });
  return forms;
}

// Records the per-form transitions instead of playing them.
struct TAnimationLog {
  struct Call {
    TControl* Control;
    int Time, Alpha;
    bool Zoom;
  };
  std::vector<Call> Calls;
  TAnimationLog() {
    SetSkinChangeAnimator([this](TControl* c, std::uint16_t t, std::uint8_t a, bool z) { Calls.push_back({c, t, a, z}); });
  }
  ~TAnimationLog() { SetSkinChangeAnimator(nullptr); }
};

}  // namespace

TEST(SkinnedForms, RegistryKeepsEveryRegistrationAndUnregisteringRemovesThemAll) {
  Application().Initialize();
  const std::vector<TForm*> before = SkinnedForms();
  auto* a = CreateComponent<TForm>(nullptr);
  auto* b = CreateComponent<TForm>(nullptr);
  auto* unknown = CreateComponent<TForm>(nullptr);
  auto mine = [&] {
    std::vector<TForm*> r;
    for (TForm* f : SkinnedForms())
      if (f == a || f == b) r.push_back(f);
    return r;
  };
  RegisterSkinnedForm(a);
  RegisterSkinnedForm(b);
  RegisterSkinnedForm(a);
  EXPECT_EQ(mine(), (std::vector<TForm*>{a, b, a}));
  UnregisterSkinnedForm(unknown);
  EXPECT_EQ(mine().size(), 3u);
  UnregisterSkinnedForm(a);
  EXPECT_EQ(mine(), std::vector<TForm*>{b});
  UnregisterSkinnedForm(b);
  EXPECT_EQ(SkinnedForms(), before);
  for (TForm* f : {a, b, unknown}) TComponent::Free(f);
}

TEST(SkinnedForms, AProviderRegistersItsFormAndItsDestructionUnregistersIt) {
  Application().Initialize();
  TTestSkin skin({L"FORM"});
  auto* f = CreateComponent<TCoverForm>(nullptr, skin.Manager, nullptr);
  EXPECT_EQ(std::count(SkinnedForms().begin(), SkinnedForms().end(), f), 1);
  TComponent::Free(f);
  EXPECT_EQ(std::count(SkinnedForms().begin(), SkinnedForms().end(), f), 0);
}

TEST(SkinnedForms, ForEachSkinnedFormTakesShownTopLevelFormsOfItsManager) {
  Application().Initialize();
  TTestSkin skin({L"FORM"});
  TsSkinManager other(nullptr);
  auto* host = CreateComponent<TForm>(nullptr);
  struct Row {
    const char* Name;
    std::function<void(TCoverForm*)> Setup;
    bool Visited;
  } rows[] = {
      {"shown", [](TCoverForm*) {}, true},
      {"hidden", [](TCoverForm* f) { f->Hide(); }, false},
      {"minimized", [](TCoverForm* f) { f->SetWindowState(wsMinimized); }, false},
      {"parented", [&](TCoverForm* f) { f->SetParent(host); }, false},
      {"other manager", [&](TCoverForm* f) { f->Provider->SkinManager = &other; }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TCoverForm* f = ShownCoverForm(skin.Manager, nullptr);
    row.Setup(f);
    const std::vector<TForm*> visited = Visited(skin.Manager);
    EXPECT_EQ(std::count(visited.begin(), visited.end(), f), row.Visited ? 1 : 0);
    TComponent::Free(f);
  }
  TComponent::Free(host);
}

TEST(SkinnedForms, BroadcastsReachEachFormOnceAndSurviveReceiversThatFreeForms) {
  Application().Initialize();
  TTestSkin skin({L"FORM"});
  const TMessage refresh{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REFRESH), 0, 0};

  // A skinned form owned by the application is reached through the registry only.
  auto* skinned = CreateComponent<TCoverForm>(&Application(), skin.Manager, nullptr);
  skinned->Answers[SKCMD_IS_SKINNED] = 1;
  auto* child = new TSkinWin(skinned, false, skinned);
  auto* plain = CreateComponent<TSkinForm>(&Application());
  BroadcastToAppForms(refresh);
  EXPECT_EQ(skinned->Count(SKCMD_REFRESH), 1);
  EXPECT_EQ(child->Count(SKCMD_REFRESH), 1);
  EXPECT_EQ(plain->Count(SKCMD_REFRESH), 1);

  // A receiver that frees components ends the application-wide pass at once: the last
  // form frees the two before it, and the registry hears nothing.
  skinned->Got.clear();
  TSkinForm* first = CreateComponent<TSkinForm>(&Application());
  TSkinForm* receiver = CreateComponent<TSkinForm>(&Application());
  receiver->OnMessage = [&](TMessage&) {
    if (first) TComponent::Free(first), TComponent::Free(plain);
    first = plain = nullptr;
  };
  BroadcastToAppForms(refresh);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(skinned->Count(SKCMD_REFRESH), 0);
  TComponent::Free(receiver);

  // Hook-made providers: none entries, handlers without a window and gone windows are skipped.
  std::vector<TSkinForm*> dialogs;
  for (int i = 0; i < 2; ++i) {
    dialogs.push_back(CreateComponent<TSkinForm>(nullptr));
    dialogs.back()->Show();
  }
  TacDialogWnd live, gone, empty;
  live.CtrlHandle = dialogs[0]->Handle();
  gone.CtrlHandle = dialogs[1]->Handle();
  TComponent::Free(dialogs[1]);
  TacProvider withLive, withGone, withEmpty, withoutHandler;
  withLive.ListSW = &live;
  withGone.ListSW = &gone;
  withEmpty.ListSW = &empty;
  std::vector<TacProvider*> hooked{nullptr, &withGone, &withEmpty, &withoutHandler, &withLive};
  HookedProviders = &hooked;
  BroadcastToSkinnedForms(refresh);
  HookedProviders = nullptr;
  // A provider owns its dialog handler: these live on the stack.
  withLive.ListSW = withGone.ListSW = withEmpty.ListSW = nullptr;
  EXPECT_EQ(dialogs[0]->Count(SKCMD_REFRESH), 1);
  EXPECT_EQ(skinned->Count(SKCMD_REFRESH), 1);

  TComponent::Free(dialogs[0]);
  TComponent::Free(skinned);
}

TEST(SkinnedForms, CoversLockAndUnlockInOrderAndZoomOnlyForAero) {
  Application().Initialize();
  TTestSkin skin({L"FORM"});
  TsSkinManager& m = *skin.Manager;
  std::vector<std::string> log;
  TCoverForm* f = ShownCoverForm(&m, &log);
  f->SetAlphaBlend(true);
  f->SetAlphaBlendValue(200);
  struct Row {
    TacAnimType Mode;
    bool Zoom;
  } rows[] = {{atAero, true}, {atFading, false}, {atDropDown, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Mode);
    log.clear();
    TAnimationLog animations;
    m.AnimEffects.SkinChanging.Active = true;
    m.AnimEffects.SkinChanging.Mode = row.Mode;
    BeginSkinChangeCovers(&m);
    EXPECT_TRUE(f->Provider->FInAnimation);
    EXPECT_TRUE(AnimationInProgress);
    ShowSkinChangeCovers(&m);
    EXPECT_NE(f->Provider->FFormState & 0x10000u, 0u);
    EndSkinChangeAnimation(&m, true);
    EXPECT_EQ(log, (std::vector<std::string>{"form redraw 0", "form redraw 1"}));
    EXPECT_EQ(f->Provider->FFormState & 0x11000u, 0u);
    EXPECT_FALSE(f->Provider->FInAnimation);
    EXPECT_FALSE(AnimationInProgress);
    ASSERT_EQ(animations.Calls.size(), 1u);
    EXPECT_EQ(animations.Calls[0].Control, f);
    EXPECT_EQ(animations.Calls[0].Time, m.AnimEffects.SkinChanging.Time);
    EXPECT_EQ(animations.Calls[0].Alpha, 200);
    EXPECT_EQ(animations.Calls[0].Zoom, row.Zoom);
  }
  // Without animation settings the forms are still locked and unlocked, nothing is animated.
  {
    log.clear();
    TAnimationLog animations;
    m.AnimEffects.SkinChanging.Active = false;
    BeginSkinChangeCovers(&m);
    EXPECT_FALSE(AnimationInProgress);
    ShowSkinChangeCovers(&m);
    EndSkinChangeAnimation(&m, false);
    // Unlocked by the first pass, and once more by the form's own end without animation.
    EXPECT_EQ(log, (std::vector<std::string>{"form redraw 0", "form redraw 1", "form redraw 1"}));
    EXPECT_TRUE(animations.Calls.empty());
    m.AnimEffects.SkinChanging.Active = true;
  }
  TComponent::Free(f);
}

TEST(SkinnedForms, TheCoversGuardGivesTheAnimationFlagBackAsItWas) {
  Application().Initialize();
  TTestSkin skin({L"FORM"});
  TsSkinManager& m = *skin.Manager;
  m.AnimEffects.SkinChanging.Active = true;
  for (bool before : {false, true}) {
    SCOPED_TRACE(before);
    AnimationInProgress = before;
    {
      TacSkinChangeCoversGuard covers(&m);
      covers.Begin();
      EXPECT_TRUE(AnimationInProgress);
      covers.End(false);
      // An outer animation still running keeps its flag.
      EXPECT_EQ(AnimationInProgress, before);
    }
    try {
      TacSkinChangeCoversGuard covers(&m);
      covers.Begin();
      throw std::runtime_error("skin not loaded");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(AnimationInProgress, before);
  }
  AnimationInProgress = false;
}

TEST(SkinnedForms, MinimizedApplicationAndHiddenFormsAreNotLockedAndAFormHiddenMidChangeIsUnlocked) {
  Application().Initialize();
  TTestSkin skin({L"FORM"});
  TsSkinManager& m = *skin.Manager;
  std::vector<std::string> log;
  TCoverForm* shown = ShownCoverForm(&m, &log, "shown");
  TCoverForm* hidden = ShownCoverForm(&m, &log, "hidden");
  hidden->Hide();

  // A minimized application runs none of the steps.
  ShowWindow(Application().Handle(), SW_SHOWMINNOACTIVE);
  ASSERT_TRUE(Application().Minimized());
  BeginSkinChangeCovers(&m);
  ShowSkinChangeCovers(&m);
  EndSkinChangeAnimation(&m, true);
  ShowWindow(Application().Handle(), SW_SHOWNOACTIVATE);
  ShowWindow(Application().Handle(), SW_HIDE);
  ASSERT_FALSE(Application().Minimized());
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(shown->Provider->FInAnimation);

  // A form that stays hidden is not locked; one hidden during the change gets its redraw back.
  TAnimationLog animations;
  BeginSkinChangeCovers(&m);
  ShowSkinChangeCovers(&m);
  shown->Hide();
  EndSkinChangeAnimation(&m, true);
  EXPECT_EQ(log, (std::vector<std::string>{"shown redraw 0", "shown redraw 1"}));
  EXPECT_TRUE(animations.Calls.empty());
  for (TCoverForm* f : {shown, hidden}) {
    EXPECT_FALSE(f->Provider->FInAnimation);
    EXPECT_EQ(f->Provider->FFormState & 0x11000u, 0u);
  }
  EXPECT_FALSE(AnimationInProgress);
  TComponent::Free(shown);
  TComponent::Free(hidden);
}

TEST(SkinnedForms, ValueInSlice) {
  const std::uint32_t values[] = {10, 20, 30, 40};
  struct Row {
    const char* Name;
    std::uint32_t Value;
    std::uint8_t Lo, Hi;
    bool Expected;
  } rows[] = {
      {"inside", 30, 1, 2, true},        {"at Lo", 20, 1, 3, true},
      {"outside the slice", 10, 1, 3, false}, {"not there", 99, 0, 3, false},
      {"Hi below Lo", 20, 2, 1, false},  {"Hi past the end", 40, 2, 200, true},
      {"Lo past the end", 40, 9, 200, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(ValueInSlice(values, row.Value, row.Lo, row.Hi), row.Expected);
  }
}
