#pragma once
// A skin manager on the form-frame fixture skin "Tarvel Frame", active for the test, and the
// one test form of the test, freed before the manager.
#include <gtest/gtest.h>

#include "ReaderFixtures.h"
#include "platform/ui/Forms.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

template <class TFormClass>
class TFormFrameTest : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"formframe"));
    M->SetSkinName(L"Tarvel Frame");
    M->SetActive(true);
    ASSERT_TRUE(M->IsActive());
  }
  void TearDown() override {
    if (Form) TComponent::Free(Form);
    TComponent::Free(M);
    PumpMessages();
  }
  TsSkinManager* M = nullptr;
  TFormClass* Form = nullptr;
};
