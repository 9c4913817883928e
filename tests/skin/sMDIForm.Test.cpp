// The MDI support object on a real MDI form with two children under Xvfb; the client handler
// is the window handlers' stand-in.
#include <gtest/gtest.h>

#include <vector>

#include "SkinStateFixtures.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sMDIForm.h"

namespace {

// A provider that counts the repaints of its menu line.
class TMenuCountingProvider : public TsSkinProvider {
public:
  using TsSkinProvider::TsSkinProvider;
  void RepaintMenu() override { ++MenuRepaints; }
  int MenuRepaints = 0;
};

// An MDI child that logs the system commands it is sent and its closing.
class TLoggedChild : public TForm {
public:
  TLoggedChild(TComponent* owner, TForm* host) : TForm(owner) {
    SetFormKind(fkMDIChild, host);
    SetClientSize(150, 100);
    SetMessageHandler(WM_SYSCOMMAND, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                        Commands.push_back(m.WParam & 0xFFF0);
                        inherited(m);
                      }));
  }
  std::vector<WPARAM> Commands;
  int Closes = 0;

protected:
  void FormClose(TCloseAction& action) override {
    ++Closes;
    action = TCloseAction::caHide;
  }
};

// An MDI form with a skinned provider, two shown children (the second active) and its
// MDI support object.
struct TMDIFormFixture {
  TTestSkin Skin{L"FORM", L"CHECKBOX"};
  TForm* Frame;
  TMenuCountingProvider* Provider;
  TLoggedChild* First = nullptr;
  TLoggedChild* Second = nullptr;
  TMDIFormFixture() {
    Application().Initialize();
    Frame = CreateComponent<TForm>(nullptr);
    Frame->SetFormKind(fkMDIForm);
    Frame->SetClientSize(480, 360);
    Provider = NewComponent<TMenuCountingProvider>(Frame);
    Provider->SkinManager = Skin.Manager;
    Provider->FCommonData->SkinIndex = 0;
  }
  void ShowChildren() {
    Frame->Show();
    First = CreateComponent<TLoggedChild>(nullptr, Frame);
    First->Show();
    Second = CreateComponent<TLoggedChild>(nullptr, Frame);
    Second->Show();
  }
  ~TMDIFormFixture() {
    TComponent::Free(Second);
    TComponent::Free(First);
    TComponent::Free(Frame);
  }
};

}  // namespace

TEST(MDIForm, CreateMakesTheFormsWindowWithoutConnecting) {
  TMDIFormFixture f;
  ASSERT_FALSE(f.Frame->HandleAllocated());
  TsMDIForm mdi(f.Provider);
  EXPECT_EQ(mdi.SkinProvider, f.Provider);
  EXPECT_EQ(mdi.FForm, f.Frame);
  EXPECT_TRUE(f.Frame->HandleAllocated());
  EXPECT_NE(f.Frame->ClientHandle(), nullptr);
  EXPECT_EQ(mdi.ListSW, nullptr);
  EXPECT_EQ(mdi.MakeChildIconItem(), nullptr);

  TsMDIForm loose(nullptr);
  EXPECT_EQ(loose.FForm, nullptr);
  loose.ConnectToClient();
  EXPECT_EQ(loose.ListSW, nullptr);
}

TEST(MDIForm, ConnectingTwiceMakesOneClientHandlerSetUpForTheForm) {
  TMDIFormFixture f;
  TsMDIForm mdi(f.Provider);
  mdi.ConnectToClient();
  TacMDIWnd* handler = mdi.ListSW;
  ASSERT_NE(handler, nullptr);
  mdi.ConnectToClient();
  EXPECT_EQ(mdi.ListSW, handler);
  EXPECT_EQ(handler->CtrlHandle, f.Frame->ClientHandle());
  EXPECT_EQ(handler->FForm, f.Frame);
  EXPECT_EQ(handler->MDISkinData, f.Provider->FCommonData.get());
  EXPECT_EQ(handler->SkinProvider, f.Provider);

  // Every refresh replaces it; with the skin removed none is left, and destruction frees it.
  mdi.RefreshMDIScrolls();
  EXPECT_NE(mdi.ListSW, nullptr);
  f.Provider->FCommonData->SkinIndex = -1;
  mdi.RefreshMDIScrolls();
  EXPECT_EQ(mdi.ListSW, nullptr);
  f.Provider->FCommonData->SkinIndex = 0;
  mdi.ConnectToClient();
  EXPECT_NE(mdi.ListSW, nullptr);
  mdi.DestroyScrolls();
  EXPECT_EQ(mdi.ListSW, nullptr);
}

TEST(MDIForm, ButtonsSendTheirCommandToTheActiveChildOnly) {
  TMDIFormFixture f;
  TsMDIForm mdi(f.Provider);
  f.ShowChildren();
  ASSERT_EQ(f.Frame->ActiveMDIChild(), f.Second);
  struct Row {
    void (TsMDIForm::*Click)(void*);
    WPARAM Command;
  } rows[] = {{&TsMDIForm::RestoreClick, SC_RESTORE}, {&TsMDIForm::MinClick, SC_MINIMIZE}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Command);
    f.First->Commands.clear();
    f.Second->Commands.clear();
    (mdi.*row.Click)(nullptr);
    EXPECT_EQ(f.Second->Commands, std::vector<WPARAM>{row.Command});
    EXPECT_TRUE(f.First->Commands.empty());
  }

  // A maximized active child is closed alone.
  SendMessageW(f.Frame->ClientHandle(), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(f.Second->Handle()), 0);
  ASSERT_TRUE(f.Frame->ActiveMDIChildMaximized());
  mdi.CloseClick(nullptr);
  EXPECT_EQ(f.Second->Closes, 1);
  EXPECT_FALSE(IsWindowVisible(f.Second->Handle()));
  EXPECT_EQ(f.First->Closes, 0);
  EXPECT_TRUE(IsWindowVisible(f.First->Handle()));
}

TEST(MDIForm, ButtonsDoNothingWithoutAnActiveChild) {
  TMDIFormFixture f;
  TsMDIForm mdi(f.Provider);
  f.Frame->Show();
  ASSERT_EQ(f.Frame->ActiveMDIChild(), nullptr);
  mdi.MinClick(nullptr);
  mdi.RestoreClick(nullptr);
  mdi.CloseClick(nullptr);
  EXPECT_TRUE(IsWindowVisible(f.Frame->Handle()));
  EXPECT_FALSE(IsIconic(f.Frame->Handle()));
}

TEST(MDIForm, UpdatingTheIconItemRepaintsTheMenuLine) {
  TMDIFormFixture f;
  TsMDIForm mdi(f.Provider);
  mdi.UpdateMDIIconItem();
  EXPECT_EQ(f.Provider->MenuRepaints, 1);
}
