// The application window's hooks, the screen, string lists and a form definition's loading.
#include <gtest/gtest.h>

#include "platform/runtime/StringList.h"
#include "platform/ui/Forms.h"
#include "support/MessagePump.h"

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

TEST(Screen, FormsInActivationOrderAndTheActiveForm) {
  Application().Initialize();
  const int before = Screen().FormCount();
  TForm* a = CreateComponent<TForm>(nullptr);
  TForm* b = CreateComponent<TForm>(nullptr);
  ASSERT_EQ(Screen().FormCount(), before + 2);
  EXPECT_EQ(Screen().Forms(before + 1), b);  // a new form joins at the end
  for (TForm* f : {a, b}) f->SetBounds(20, 20, 200, 120), f->Show();
  SetActiveWindow(a->Handle());
  PumpMessages();
  EXPECT_EQ(Screen().ActiveForm(), a);
  EXPECT_EQ(Screen().Forms(0), a);
  SetActiveWindow(b->Handle());
  PumpMessages();
  EXPECT_EQ(Screen().ActiveForm(), b);
  EXPECT_EQ(Screen().Forms(0), b);
  EXPECT_EQ(Screen().Forms(1), a);
  TComponent::Free(b);
  // The destroyed form is forgotten (the system may have activated the other one meanwhile).
  EXPECT_TRUE(Screen().ActiveForm() == nullptr || Screen().ActiveForm() == a);
  EXPECT_EQ(Screen().FormCount(), before + 1);
  TComponent::Free(a);
  EXPECT_EQ(Screen().FormCount(), before);
  EXPECT_EQ(Screen().ActiveForm(), nullptr);
}

TEST(ApplicationHooks, TheApplicationWindowHearsCmActivateWhenTheProgramBecomesActive) {
  Application().Initialize();
  int activations = 0;
  const int id = Application().HookMainWindow([&](TMessage& m) {
    activations += m.Msg == CM_ACTIVATE;
    return false;
  });
  TForm* form = CreateComponent<TForm>(nullptr);
  form->SetBounds(20, 20, 200, 120);
  // From no active window of the program to one of its windows.
  SetActiveWindow(nullptr);
  SetForegroundWindow(GetDesktopWindow());
  PumpMessages();
  activations = 0;
  form->Show();
  SetForegroundWindow(form->Handle());
  SetActiveWindow(form->Handle());
  PumpMessages();
  EXPECT_GE(activations, 1);
  Application().UnhookMainWindow(id);
  TComponent::Free(form);
}

TEST(ApplicationHooks, MinimizeAndRestoreTheProgram) {
  Application().Initialize();
  for (bool onTaskBar : {false, true}) {
    Application().MainFormOnTaskBar = onTaskBar;
    TForm* main = nullptr;
    Application().CreateForm(main);
    main->SetBounds(20, 20, 200, 120);
    main->Show();
    PumpMessages();
    EXPECT_FALSE(Application().Minimized());
    Application().Minimize();
    PumpMessages();
    EXPECT_TRUE(Application().Minimized()) << onTaskBar;
    EXPECT_TRUE(IsIconic(Application().TaskBarWindow()));
    Application().Restore();
    PumpMessages();
    EXPECT_FALSE(Application().Minimized()) << onTaskBar;
    TComponent::Free(main);
    if (Application().Minimized()) ShowWindow(Application().Handle(), SW_RESTORE);
  }
  Application().MainFormOnTaskBar = false;
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
