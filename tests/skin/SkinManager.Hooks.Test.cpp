// The default manager's hooks: the thread's CBT hook (with a recording procedure in place of
// the handlers'), the application-window hook's rows and the skin editor's preview link.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ReaderFixtures.h"
#include "SkinStateFixtures.h"
#include "platform/runtime/Files.h"
#include "platform/ui/Forms.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sSkinManager.SysColors.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

namespace {

// The windows the recording CBT procedure saw being made.
std::vector<HWND> gCreated;
LRESULT CALLBACK RecordingCbtProc(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_CREATEWND) gCreated.push_back(reinterpret_cast<HWND>(w));
  return CallNextHookEx(nullptr, code, w, l);
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A modeless dialog made from a template in memory on this thread; destroyed by the caller.
HWND MakeDialog() {
  alignas(4) WORD tpl[16] = {};
  auto* t = reinterpret_cast<DLGTEMPLATE*>(tpl);
  t->style = WS_POPUP | WS_CAPTION;
  t->cx = 80;
  t->cy = 40;
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), t, nullptr, PlainDialogProc, 0);
}

// How often the CBT procedure saw a new dialog being made.
int TimesSeen() {
  gCreated.clear();
  HWND dlg = MakeDialog();
  const int n = static_cast<int>(std::count(gCreated.begin(), gCreated.end(), dlg));
  DestroyWindow(dlg);
  return n;
}

// A provider the hook would have made, telling when it is freed.
struct TCountedProvider : TacProvider {
  int* Freed;
  explicit TCountedProvider(int* freed) : Freed(freed) {}
  ~TCountedProvider() override { ++*Freed; }
};

class Hooks : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    SetDialogHookProcedure(RecordingCbtProc);
    M = CreateComponent<TsSkinManager>(nullptr);
    ASSERT_TRUE(M->IsDefault());
    M->SetSkinDirectory(ReaderFixture(L"skins"));
  }
  void TearDown() override {
    TComponent::Free(M);
    SetDialogHookProcedure(nullptr);
    SetParamsOverride({});
  }
  void LoadSkin() {
    M->SetSkinName(L"Tarvel Test");
    ASSERT_TRUE(M->IsActive());
  }
  TsSkinManager* M = nullptr;
};

}  // namespace

TEST_F(Hooks, DialogsReachTheCbtHookWhileASkinIsAnnounced) {
  EXPECT_EQ(TimesSeen(), 0);
  LoadSkin();
  EXPECT_TRUE(M->GlobalHookInstalled);
  ASSERT_NE(HookedProviders, nullptr);
  EXPECT_EQ(TimesSeen(), 1);
  // A second announcement installs no second hook.
  M->UpdateSkin(false);
  M->InstallHook();
  EXPECT_EQ(TimesSeen(), 1);
  // The removal frees every provider and empties the list, which stays.
  int freed = 0;
  HookedProviders->push_back(new TCountedProvider(&freed));
  HookedProviders->push_back(nullptr);
  HookedProviders->push_back(new TCountedProvider(&freed));
  M->SetActive(false);
  EXPECT_FALSE(M->GlobalHookInstalled);
  EXPECT_EQ(M->FCbtHook, nullptr);
  EXPECT_EQ(freed, 2);
  ASSERT_NE(HookedProviders, nullptr);
  EXPECT_TRUE(HookedProviders->empty());
  EXPECT_EQ(TimesSeen(), 0);
}

TEST_F(Hooks, ASecondManagerInstallsNothing) {
  TsSkinManager* second = CreateComponent<TsSkinManager>(nullptr);
  ASSERT_FALSE(second->IsDefault());
  second->Options.ChangeSysColors = true;
  second->SetSkinDirectory(ReaderFixture(L"skins"));
  second->SetSkinName(L"Tarvel Test");
  second->InstallHook();
  EXPECT_FALSE(second->GlobalHookInstalled);
  EXPECT_EQ(TimesSeen(), 0);
  EXPECT_FALSE(SysColorRedirected(0));
  TComponent::Free(second);
}

TEST_F(Hooks, DestroyingTheDefaultManagerRemovesHookAndRedirection) {
  M->Options.ChangeSysColors = true;
  LoadSkin();
  EXPECT_TRUE(SysColorRedirected(0));
  EXPECT_EQ(TimesSeen(), 1);
  TComponent::Free(M);
  M = nullptr;
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(SysColorRedirected(i)) << i;
  EXPECT_EQ(TimesSeen(), 0);
}
