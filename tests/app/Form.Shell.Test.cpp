#include "AppTestSupport.h"
#include "app/Form.Shell.h"
#include "platform/runtime/Files.h"

namespace {
class TIdleThread : public TThread {
public:
  TIdleThread() : TThread(true) {}

protected:
  void Execute() override {}
};

class FormShellTest : public ShellFolderTest {
protected:
  void SetUp() override {
    ShellFolderTest::SetUp();
    SetExeFileNameOverride(Dir / L"Tarvel.exe");
    SetParamsOverride({Dir / L"Tarvel.exe", L"--kiosk"});
    ResetGlobalStorages();
    Application().Initialize();
    Form = new TFormShell(nullptr);
    Form->DoCreate();
  }
  void TearDown() override {
    if (Form) {
      Form->FUpdater = nullptr;
      TComponent::Free(Form);
    }
    SetParamsOverride({});
    SetExeFileNameOverride(L"");
    ResetGlobalStorages();
    ShellFolderTest::TearDown();
  }
  TFormShell* Form = nullptr;
};
}  // namespace

TEST_F(FormShellTest, NotificationMenuAndHotKey) {
  EXPECT_EQ(Form->Caption(), L"Mordex");
  EXPECT_TRUE(Form->TrayIcon->Visible());
  EXPECT_EQ(Form->TrayIcon->PopupMenu, Form->PopupMenu);
  HMENU menu = Form->PopupMenu->RefreshHandle();
  const wchar_t* expected[] = {L"Settings", nullptr, L"Check for updates", L"Reindex && Update", nullptr, L"Exit"};
  ASSERT_EQ(GetMenuItemCount(menu), 6);
  for (int i = 0; i < 6; ++i) {
    if (!expected[i]) {
      EXPECT_TRUE(GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) << i;
      continue;
    }
    wchar_t text[64] = {};
    GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, expected[i]);
  }
  EXPECT_EQ(Form->PopupMenu->Items()->Items()[0]->Action, Form->ActSettings);
  EXPECT_EQ(Form->PopupMenu->Items()->Items()[5]->Action, Form->ActExit);
  EXPECT_EQ(Form->ActClearTrash->Caption, L"Clear trash");
  EXPECT_EQ(Form->ActBrowser->Caption, L"ActBrowser");
  EXPECT_EQ(Form->ActFullUpdate->Caption, L"ActFullUpdate");

  // F6 belongs to the shell's window while the form exists.
  EXPECT_FALSE(RegisterHotKey(nullptr, 1, 0, VK_F6));
  TComponent::Free(Form);
  Form = nullptr;
  EXPECT_TRUE(RegisterHotKey(nullptr, 1, 0, VK_F6));
  UnregisterHotKey(nullptr, 1);
}

TEST_F(FormShellTest, ActionsAreEnabledOnlyWithoutUpdateAndConsole) {
  TIdleThread updater;
  struct Case { bool updating, console; } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  for (auto& c : cases) {
    Form->FUpdater = c.updating ? &updater : nullptr;
    if (c.console) {
      TProcess::Run(Console(), L"", SW_SHOW);
      ASSERT_TRUE(WaitUntil([&] { return TProcess::IsRun(L"Pallow.exe") != 0; }));
    }
    Form->ActionList->UpdateActions();
    bool idle = !c.updating && !c.console;
    for (TAction* a : {Form->ActUpdate, Form->ActReindex, Form->ActSettings, Form->ActFullUpdate})
      EXPECT_EQ(a->Enabled, idle) << a->Name << " updating=" << c.updating << " console=" << c.console;
    for (TAction* a : {Form->ActClearTrash, Form->ActBrowser, Form->ActExit})
      EXPECT_TRUE(a->Enabled) << a->Name;
    HMENU menu = Form->PopupMenu->RefreshHandle();
    EXPECT_EQ((GetMenuState(menu, 0, MF_BYPOSITION) & MF_GRAYED) == 0, idle);
    EXPECT_EQ((GetMenuState(menu, 5, MF_BYPOSITION) & MF_GRAYED) == 0, true);
    EndStandIns();
  }
  Form->FUpdater = nullptr;
}

TEST_F(FormShellTest, HotKeyStartsTheConsoleWithTheShellsArgumentsOnce) {
  Form->Perform(WM_HOTKEY, HOTKEY_SETTINGS, MAKELPARAM(0, VK_F6));
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(ConsoleRecord(), L"start") == 1; }));
  ASSERT_TRUE(WaitUntil([&] { return TProcess::IsRun(L"Pallow.exe") != 0; }));
  EXPECT_EQ(ReadRecords(ConsoleRecord())[0].Args, (std::vector<std::wstring>{L"--kiosk"}));
  // While the console runs, F6 does nothing.
  Form->Perform(WM_HOTKEY, HOTKEY_SETTINGS, 0);
  WaitUntil([] { return false; }, 300);
  EXPECT_EQ(CountRecords(ConsoleRecord(), L"start"), 1);
}

TEST_F(FormShellTest, ConsoleExitRestartsOnlyARunningBrowserAndOnlyForCodeOne) {
  Form->OnConsoleClose(1);  // no browser running: settings reloaded, nothing started
  WaitUntil([] { return false; }, 200);
  EXPECT_EQ(CountRecords(BrowserRecord(), L"start"), 0);

  Form->ActBrowser->Execute();
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
  Form->OnConsoleClose(0);
  WaitUntil([] { return false; }, 200);
  EXPECT_EQ(CountRecords(BrowserRecord(), L"start"), 1);
  EXPECT_EQ(CountRecords(BrowserRecord(), L"end"), 0);
}

TEST_F(FormShellTest, SkinSettingsAreAppliedTrimmedAndAgainAfterTheConsoleChangedThem) {
  auto* m = Form->SkinManager;
  EXPECT_EQ(m->SkinDirectory(), Dir / L"skins\\");
  EXPECT_EQ(m->SkinName(), L"Lusmere II (internal)");  // defaults of a fresh settings.json
  EXPECT_TRUE(m->Active());
  EXPECT_EQ(Form->SkinProvider->SkinSection, L"FORM");
  EXPECT_EQ(Form->SkinProvider->SkinManager, m);

  WriteTextFile(Dir / L"settings.json",
                R"({"skin": {"active": false, "name": " \t Night Sky  ", "hueOffset": 30, "saturation": -5,
                    "brightness": 7, "drawNonClient": false, "extendedBorders": false, "blendForm": false}})");
  Form->OnConsoleClose(0);  // not a settings change
  EXPECT_EQ(m->SkinName(), L"Lusmere II (internal)");
  Form->OnConsoleClose(1);
  EXPECT_EQ(m->SkinName(), L"Night Sky");
  EXPECT_FALSE(m->Active());  // stored although the forms stay unskinned
  EXPECT_EQ(m->HueOffset(), 30);
  EXPECT_EQ(m->Saturation(), -5);
  EXPECT_EQ(m->Brightness(), 7);
  EXPECT_FALSE(m->Options.DrawNonClientArea);
  EXPECT_FALSE(m->ExtendedBorders());
  EXPECT_FALSE(m->AnimEffects.BlendOnMoving.Active);
  EXPECT_FALSE(m->NoAutoUpdate);
}
