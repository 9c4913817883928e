// The application window's hooks, the screen, string lists and a form definition's loading.
#include <gtest/gtest.h>

#include "platform/runtime/StringList.h"
#include "platform/ui/Forms.h"

TEST(ApplicationHooks, SeeMessagesFirstAndMayRemoveThemselves) {
  Application().Initialize();
  std::vector<int> order;
  int second = 0;
  const int first = Application().HookMainWindow([&](TMessage& m) {
    if (m.Msg != WM_USER + 7) return false;
    order.push_back(1);
    return false;
  });
  second = Application().HookMainWindow([&](TMessage& m) {
    if (m.Msg != WM_USER + 7) return false;
    order.push_back(2);
    Application().UnhookMainWindow(second);  // removes itself while it runs
    m.Result = 42;
    return true;
  });
  EXPECT_EQ(SendMessageW(Application().Handle(), WM_USER + 7, 0, 0), 42);
  EXPECT_EQ(SendMessageW(Application().Handle(), WM_USER + 7, 0, 0), 0);
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
  Application().UnhookMainWindow(first);
}

TEST(Screen, DensityMessageFontAndCursors) {
  EXPECT_EQ(Screen().PixelsPerInch(), 96);
  EXPECT_EQ(Screen().MainFormPixelsPerInch(), 96);
  EXPECT_FALSE(Screen().MessageFont().Name.Get().empty());
  EXPECT_LT(Screen().MessageFont().Height, 0);
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW), cross = LoadCursorW(nullptr, IDC_CROSS);
  EXPECT_EQ(Screen().Cursor(-77), arrow);
  Screen().SetCursor(-77, cross);
  EXPECT_EQ(Screen().Cursor(-77), cross);
  Screen().SetCursor(-77, nullptr);
  EXPECT_EQ(Screen().Cursor(-77), arrow);
}

TEST(StringList, TextFormAndCase) {
  TStringList list(true);
  list.SetText(L"TEdit\r\nTMemo\nTButton\rlast");
  EXPECT_EQ(list.Strings(), (std::vector<std::wstring>{L"TEdit", L"TMemo", L"TButton", L"last"}));
  EXPECT_EQ(list.Text(), L"TEdit\r\nTMemo\r\nTButton\r\nlast\r\n");
  EXPECT_EQ(list.IndexOf(L"tmemo"), -1);
  list.SetCaseSensitive(false);
  EXPECT_EQ(list.IndexOf(L"tmemo"), 1);
  list.SetText(L"one\r\n");
  EXPECT_EQ(list.Count(), 1);
  list.SetText(L"");
  EXPECT_TRUE(list.empty());
}

namespace {
std::vector<std::wstring> gEvents;
struct TPart : TComponent {
  explicit TPart(TComponent* owner) : TComponent(owner) {}
  void AfterConstruction() override {
    TComponent::AfterConstruction();
    gEvents.push_back(Name.empty() ? L"after" : L"after " + Name);
  }
  void Loaded() override {
    TComponent::Loaded();
    gEvents.push_back(L"loaded " + Name);
  }
};
struct TDefined : TComponent {
  explicit TDefined(TComponent* owner) : TComponent(owner) {
    TLoadingPhase definition(this);
    Part = NewComponent<TPart>(this);
    Part->Name = L"part";
    gEvents.push_back((Part->ComponentState() & csLoading) ? L"defining" : L"not loading");
    definition.Finish(this);
    gEvents.push_back((Part->ComponentState() & csLoading) ? L"still loading" : L"defined");
  }
  TPart* Part;
};
}  // namespace

TEST(DefinitionPhase, ComponentsAreMadeThenLoadedBeforeTheConstructorGoesOn) {
  gEvents.clear();
  auto* made = CreateComponent<TDefined>(nullptr);
  EXPECT_EQ(gEvents, (std::vector<std::wstring>{L"after", L"defining", L"loaded part", L"defined"}));
  TComponent::Free(made);
}
