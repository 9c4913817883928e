// What a form is going through (its FormState), and the framework's notifications of a
// settings change, on real windows.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "platform/ui/Forms.h"

namespace {

// A form that runs a probe while it is being constructed and records its form state when
// its window is shown or hidden.
class TStateForm : public TForm {
public:
  explicit TStateForm(TComponent* owner) : TForm(owner) {
    SetBounds(20, 20, 200, 120);
    StateInConstructor = FormState();
    SetMessageHandler(WM_SHOWWINDOW, [this](TMessage& m, const TInheritedHandler& inherited) {
      ShowStates.push_back(FormState());
      inherited(m);
    });
  }
  std::wstring ClassName() const override { return L"TStateForm"; }
  unsigned StateInConstructor = 0;
  unsigned StateInCreate = ~0u;
  std::vector<unsigned> ShowStates;

protected:
  void FormCreate() override { StateInCreate = FormState(); }
};

}  // namespace

TEST(FormState, CreatingLastsForTheLoadingPhaseOnlyAndShowingForTheShowAndHide) {
  Application().Initialize();
  struct TCase {
    const char* Name;
    std::function<TStateForm*()> Make;
    unsigned InConstructor;
  } cases[] = {
      {"loading phase", [] { return CreateComponent<TStateForm>(nullptr); }, fsCreating},
      {"definition component", [] { return NewComponent<TStateForm>(nullptr); }, 0},
      {"plain object", [] { return new TStateForm(nullptr); }, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TStateForm* form = c.Make();
    EXPECT_EQ(form->StateInConstructor, c.InConstructor);
    EXPECT_EQ(form->FormState(), 0u);
    if (form->StateInCreate != ~0u) {
      EXPECT_EQ(form->StateInCreate, 0u);  // the creation event comes after
    }
    form->Handle();
    form->Show();
    form->Hide();
    ASSERT_EQ(form->ShowStates.size(), 2u);
    for (unsigned state : form->ShowStates) EXPECT_EQ(state, static_cast<unsigned>(fsShowing));
    EXPECT_EQ(form->FormState(), 0u);
    TComponent::Free(form);
  }
}

TEST(FormState, SettingChangeTellsTheWinIniAndOnlyForFontsTheSystemFont) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->Handle();
  std::vector<UINT> seen;
  std::vector<WPARAM> wparams;
  for (UINT msg : {static_cast<UINT>(WM_SETTINGCHANGE), CM_WININICHANGE, CM_SYSFONTCHANGED})
    form->SetMessageHandler(msg, [&seen, &wparams, msg](TMessage& m, const TInheritedHandler& inherited) {
      seen.push_back(msg);
      wparams.push_back(m.WParam);
      inherited(m);
    });
  struct TCase {
    WPARAM Flag;
    std::vector<UINT> Expected;
  } cases[] = {
      {SPI_SETWORKAREA, {WM_SETTINGCHANGE, CM_WININICHANGE}},
      {SPI_SETNONCLIENTMETRICS, {WM_SETTINGCHANGE, CM_WININICHANGE, CM_SYSFONTCHANGED}},
      {SPI_SETICONTITLELOGFONT, {WM_SETTINGCHANGE, CM_WININICHANGE, CM_SYSFONTCHANGED}},
      {0, {WM_SETTINGCHANGE, CM_WININICHANGE}},
  };
  for (const TCase& c : cases) {
    seen.clear();
    wparams.clear();
    SendMessageW(form->Handle(), WM_SETTINGCHANGE, c.Flag, 0);
    EXPECT_EQ(seen, c.Expected) << c.Flag;
    ASSERT_GE(wparams.size(), 2u);
    EXPECT_EQ(wparams[1], c.Flag);  // the win.ini change carries the flag along
  }
  TComponent::Free(form);
}
