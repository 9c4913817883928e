// The main form's skin manager: its definition and the skin it loads at start, in-process
// and as the real Tarvel.exe, with skins drawn by tools/make_skin.py beside the test executable.
#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "AppTestSupport.h"
#include "app/Form.Main.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include "settings/Json.Global.h"
#include "skin/graphics/sMessages.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/manager/acSkinList.h"
#include "skin/manager/acSkinnedForms.h"
#include "skin/manager/sStoredSkins.h"
#include "app/Form.Progress.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "support/MessagePump.h"

namespace fs = std::filesystem;

namespace {

// Beside the test executable itself (the tests move the program's folder elsewhere).
std::wstring SkinFixtures(const wchar_t* relative) {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  return ExtractFilePath(exe) + L"skin_fixtures\\" + relative;
}

class FormMainTest : public ShellFolderTest {
protected:
  void SetUp() override {
    ShellFolderTest::SetUp();
    SetExeFileNameOverride(Dir / L"Tarvel.exe");
    ResetGlobalStorages();
    Application().Initialize();
    SetSkinMessageSink([this](TacSkinMessageKind, const std::wstring& text) { Messages.push_back(text); });
  }
  void TearDown() override {
    if (Form) TComponent::Free(Form);
    SetSkinMessageSink(nullptr);
    SetLoadStepObserver(nullptr);
    SetExeFileNameOverride(L"");
    ResetGlobalStorages();
    ShellFolderTest::TearDown();
  }
  void Skins(const wchar_t* fixture, bool folder, bool packed) {
    fs::create_directories(fs::path(Dir / L"skins"));
    if (folder)
      fs::copy(SkinFixtures(fixture) + L"\\Tarvel Test", Dir / L"skins\\Tarvel Test", fs::copy_options::recursive);
    if (packed) fs::copy_file(SkinFixtures(fixture) + L"\\Tarvel Test.ovz", Dir / L"skins\\Tarvel Test.ovz");
  }
  void Settings(const std::string& skin) { WriteTextFile(Dir / L"settings.json", "{\"skin\": {" + skin + "}}"); }
  TsSkinManager& Make() {
    Form = new TFormMain(nullptr);
    return *Form->SkinManager;
  }
  TFormMain* Form = nullptr;
  std::vector<std::wstring> Messages;
};

}  // namespace

TEST_F(FormMainTest, DefinitionOfTheSkinManager) {
  TsSkinManager& m = Make();
  EXPECT_EQ(DefaultManager(), &m);
  EXPECT_EQ(Form->Caption(), L"FormMain");
  EXPECT_EQ(Form->ClientWidth(), 635);
  EXPECT_EQ(Form->ClientHeight(), 260);
  EXPECT_TRUE(m.AnimEffects.BlendOnMoving.Active);  // a fresh settings.json says so too
  EXPECT_EQ(m.AnimEffects.BlendOnMoving.Time, 150);
  for (TacFormAnimation* a : std::initializer_list<TacFormAnimation*>{
           &m.AnimEffects.DialogShow, &m.AnimEffects.FormShow, &m.AnimEffects.FormHide, &m.AnimEffects.DialogHide,
           &m.AnimEffects.PageChange})
    EXPECT_EQ(a->Time, 100);
  EXPECT_FALSE(m.ButtonsOptions.OldGlyphsMode());
  EXPECT_FALSE(m.ButtonsOptions.ShowFocusRect);
  EXPECT_FALSE(m.ButtonsOptions.ShiftContentOnClick);
  EXPECT_TRUE(m.Options.ChangeSysColors);
  EXPECT_EQ(m.Options.OptimizingPriority, opMemory);
  EXPECT_EQ(m.Options.ScaleMode, smAuto);
  EXPECT_EQ(m.Fonts.MainMode, fmFromSkin);
  EXPECT_EQ(m.InternalSkins().Count(), 1);
  EXPECT_EQ(m.ThirdLists[tpEdit].Count(), 13);
  EXPECT_EQ(m.ThirdLists[tpEdit][12], L"TFileListBox");
  EXPECT_EQ(m.ThirdLists[tpUpDown].Strings(), (std::vector<std::wstring>{L"TSpinButton", L"TUpDown"}));
  EXPECT_EQ(m.ThirdLists[tpNativePaint].Strings(), (std::vector<std::wstring>{L" "}));
  // A fresh settings.json: the stored skin.
  EXPECT_TRUE(m.IsActive());
  EXPECT_EQ(m.SkinName(), L"Lusmere II (internal)");
  EXPECT_EQ(m.SkinInfo(), L"14.10");
  EXPECT_TRUE(Messages.empty());
}

TEST_F(FormMainTest, LoadsTheSkinTheSettingsName) {
  struct Case {
    const char* Name;
    bool Folder, Packed;
  } cases[] = {{"Tarvel Test", true, true}, {" Tarvel Test\\t ", true, false}, {"Tarvel Test", false, true}};
  for (const Case& c : cases) {
    fs::remove_all(fs::path(Dir / L"skins"));
    Skins(L"skins", c.Folder, c.Packed);
    Settings(std::string("\"name\": \"") + c.Name + "\"");
    ResetGlobalStorages();
    TsSkinManager& m = Make();
    EXPECT_TRUE(m.IsActive()) << c.Name;
    EXPECT_EQ(m.SkinName(), L"Tarvel Test");
    EXPECT_EQ(m.SkinInfo(), L"14.50");
    EXPECT_EQ(m.SkinIsPacked, !c.Folder);
    EXPECT_GE(m.GetSkinIndex(L"FORM"), 0);
    EXPECT_GE(m.GetSkinIndex(L"BUTTON"), 0);
    TComponent::Free(Form);
    Form = nullptr;
  }
  EXPECT_TRUE(Messages.empty());
}

TEST_F(FormMainTest, InactiveUnknownAndForeignFolders) {
  Skins(L"skins", true, true);
  Settings("\"active\": false, \"name\": \"Tarvel Test\", \"hueOffset\": 20");
  TsSkinManager& off = Make();
  EXPECT_FALSE(off.IsActive());  // nothing loaded, the values stored
  EXPECT_FALSE(off.Active());
  EXPECT_EQ(off.SkinName(), L"Tarvel Test");
  EXPECT_EQ(off.HueOffset(), 20);
  EXPECT_EQ(off.LengthOfGD(), 0);
  TComponent::Free(Form);
  Form = nullptr;

  Settings("\"name\": \"Found Nowhere\"");
  ResetGlobalStorages();
  TsSkinManager& unknown = Make();
  EXPECT_TRUE(unknown.IsActive());
  EXPECT_EQ(unknown.SkinName(), L"Lusmere II (internal)");
  TComponent::Free(Form);
  Form = nullptr;

  // A skin in the component's default folder is never read.
  fs::remove_all(fs::path(Dir / L"skins"));
  const bool madeSkins = !fs::exists(L"C:\\Skins");
  fs::create_directories(L"C:\\Skins");
  fs::copy(SkinFixtures(L"skins\\Tarvel Test"), L"C:\\Skins\\Tarvel Test", fs::copy_options::recursive);
  Settings("\"name\": \"Tarvel Test\"");
  ResetGlobalStorages();
  TsSkinManager& foreign = Make();
  EXPECT_EQ(foreign.SkinName(), L"Lusmere II (internal)");
  EXPECT_EQ(foreign.SkinInfo(), L"14.10");
  std::error_code ignored;
  fs::remove_all(madeSkins ? fs::path(L"C:\\Skins") : fs::path(L"C:\\Skins\\Tarvel Test"), ignored);
}

TEST_F(FormMainTest, ASkinThatRaisesLeavesAnUnskinnedForm) {
  Skins(L"skins", true, false);
  Settings("\"name\": \"Tarvel Test\"");
  SetLoadStepObserver([](const wchar_t* step) {
    if (std::wstring(step) == L"LoadAllGeneralData") throw std::runtime_error("broken skin");
  });
  TsSkinManager& m = Make();
  EXPECT_FALSE(m.IsActive());
  EXPECT_EQ(m.LengthOfGD(), 0);
  EXPECT_EQ(m.ManagerState, 0u);
  EXPECT_FALSE(m.NoAutoUpdate);
}

namespace {
// Records the library messages reaching a window above whatever procedure serves it.
struct TCommandsOnTop {
  std::vector<WORD>* Got;
  TWndMethod Below;
  void Proc(TMessage& m) {
    if (m.Msg == SM_SKINCOMMAND) Got->push_back(SkinCommandOf(m.WParam));
    if (Below) Below(m);
  }
};
}  // namespace

TEST_F(FormMainTest, ApplySkinAnnouncesANewSkinOnceAndKeepsTheOldOneWhenTheNewFails) {
  Skins(L"skins", false, true);
  fs::copy_file(SkinFixtures(L"packed\\truncated_entry.ovz"), Dir / L"skins\\Broken.ovz");
  TsSkinManager& m = Make();
  ASSERT_EQ(m.SkinName(), L"Lusmere II (internal)");
  std::vector<WORD> got;
  // The form's skin provider answers the library message itself: what reaches the form's
  // window is recorded above it.
  TCommandsOnTop top{&got, {}};
  HookWindowProc(Form, MakeWndMethod<&TCommandsOnTop::Proc>(&top), &top.Below);
  int animations = 0;
  SetSkinChangeAnimator([&](TControl*, std::uint16_t, std::uint8_t, bool) { ++animations; });
  TCfgSkin skin = GlobalSettings()->Config().Skin;
  skin.Name = L"Tarvel Test";
  Form->ApplySkin(skin);
  EXPECT_EQ(m.SkinName(), L"Tarvel Test");
  EXPECT_TRUE(m.IsActive());
  EXPECT_EQ(std::count(got.begin(), got.end(), SKCMD_NEW_SKIN), 1);
  EXPECT_EQ(animations, 0);

  got.clear();
  skin.Name = L"Broken";
  Form->ApplySkin(skin);
  SetSkinChangeAnimator(nullptr);
  EXPECT_EQ(m.SkinName(), L"Tarvel Test");
  EXPECT_TRUE(m.IsActive());
  EXPECT_EQ(m.SkinInfo(), L"14.50");
  EXPECT_EQ(std::count(got.begin(), got.end(), SKCMD_REMOVE_SKIN), 0);
  EXPECT_EQ(Messages.size(), 1u);
  UnhookWindowProc(Form, MakeWndMethod<&TCommandsOnTop::Proc>(&top));
}

// ---- the real program ----

namespace {

class ShellSkin : public ShellFolderTest {
protected:
  // The text of every dialog window of the process now on screen, and each one closed.
  static std::vector<std::wstring> CloseDialogs(DWORD pid) {
    struct TFound {
      DWORD Pid;
      std::vector<std::wstring> Texts;
    } found{pid, {}};
    EnumWindows(
        [](HWND wnd, LPARAM l) -> BOOL {
          auto& f = *reinterpret_cast<TFound*>(l);
          DWORD owner = 0;
          GetWindowThreadProcessId(wnd, &owner);
          wchar_t cls[64] = {};
          GetClassNameW(wnd, cls, 64);
          if (owner != f.Pid || !IsWindowVisible(wnd) ||
              (std::wstring(cls) != L"#32770" && std::wstring(cls) != L"TMessageForm"))
            return TRUE;
          std::wstring all;
          EnumChildWindows(
              wnd,
              [](HWND child, LPARAM text) -> BOOL {
                wchar_t t[1024] = {};
                GetWindowTextW(child, t, 1024);
                *reinterpret_cast<std::wstring*>(text) += std::wstring(t) + L"\n";
                return TRUE;
              },
              reinterpret_cast<LPARAM>(&all));
          f.Texts.push_back(all);
          // A task dialog without a cancel button ignores WM_CLOSE: its OK is pressed.
          if (std::wstring(cls) == L"#32770")
            PostMessageW(wnd, WM_COMMAND, IDOK, 0);
          else
            PostMessageW(wnd, WM_CLOSE, 0, 0);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.Texts;
  }
  // Waits for a dialog holding Text, closes it, then expects the shell to start the browser.
  void ExpectDialogThenShell(const std::wstring& settingsName, const std::wstring& text) {
    WriteTextFile(Dir / L"settings.json", "{\"skin\": {\"name\": \"" + WideToUtf8(settingsName) + "\"}}");
    TJobProcess shell(Dir / L"Tarvel.exe", L"--fast", Dir.Path());
    std::vector<std::wstring> seen;
    ASSERT_TRUE(WaitUntil([&] {
      for (const std::wstring& t : CloseDialogs(shell.Pid())) seen.push_back(t);
      for (const std::wstring& t : seen)
        if (t.find(text) != std::wstring::npos) return true;
      return false;
    })) << WideToUtf8(text) << " seen: " << WideToUtf8(seen.empty() ? L"none" : seen.back());
    ASSERT_TRUE(WaitUntil([&] {
      CloseDialogs(shell.Pid());
      return CountRecords(BrowserRecord(), L"start") == 1;
    }));
    EXPECT_TRUE(shell.Running());
    Stop(Browser());
    DWORD code = 99;
    ASSERT_TRUE(shell.WaitExit(20000, code));
    EXPECT_EQ(code, 0u);
  }
};

}  // namespace

TEST_F(ShellSkin, AVersion15SkinWarnsAndTheShellRunsOn) {
  fs::create_directories(fs::path(Dir / L"skins"));
  fs::copy(SkinFixtures(L"skins-v15\\Tarvel Test"), Dir / L"skins\\Tarvel Test", fs::copy_options::recursive);
  ExpectDialogThenShell(L"Tarvel Test", L"This version of the skin has not complete support");
}

TEST_F(ShellSkin, ADamagedPackedSkinGivesTheFormatErrorAndNoCrash) {
  fs::create_directories(fs::path(Dir / L"skins"));
  fs::copy_file(SkinFixtures(L"loader\\faulty\\No Options.ovz"), Dir / L"skins\\No Options.ovz");
  ExpectDialogThenShell(L"No Options", L"Internal format error in the \"No Options\" skin.");
}

TEST_F(FormMainTest, ListsItsStoredAndPackedSkinsInTheBackgroundAtStart) {
  Skins(L"skins", true, true);
  TsSkinManager& m = Make();
  TacSkinListController& list = *m.SkinListController;
  // The folder is being read by the listing thread: the start did not wait for it.
  ASSERT_NE(list.Thread, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return list.Thread == nullptr; }));
  std::vector<std::pair<std::wstring, TacSkinMode>> got;
  for (const TacSkinListData& d : list.SkinList) {
    got.emplace_back(d.skName, d.skSkinMode);
    EXPECT_GE(d.skImageIndex, 0) << d.skName;  // both carry a preview
  }
  EXPECT_EQ(got, (std::vector<std::pair<std::wstring, TacSkinMode>>{{L"Lusmere II (internal)", smInternal},
                                                                     {L"Tarvel Test", smExtPacked}}));
  EXPECT_EQ(list.ImgList->Count(), 2);
}

// The update's progress window gets its provider at run time, while it is being shown: its
// frame on the screen is the provider's rendering of the stored skin, not the system's caption.
TEST_F(FormMainTest, ProgressWindowShowsTheStoredSkinsFrame) {
  Settings("\"extendedBorders\": false");
  Make();
  auto* form = CreateComponent<TFormProgress>(&Application());
  form->Show();
  HWND wnd = form->Handle();
  SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  WaitUntil([] { return false; }, 500);  // let the X server show the window
  PumpMessages();
  TacProvider* p = FindDialogProvider(wnd);
  ASSERT_TRUE(p && p->sp);
  TBitmap* cache = p->sp->FCommonData->FCacheBmp.get();
  ASSERT_TRUE(cache && !cache->Empty());
  RECT r{};
  GetWindowRect(wnd, &r);
  ASSERT_EQ(cache->Width(), r.right - r.left);
  const int caption = p->sp->CaptionHeight() + SysBorderWidth(wnd, nullptr);
  HDC screen = GetDC(nullptr);
  int same = 0, probes = 0;
  for (int y = 2; y < caption; y += 5)
    for (int x = 20; x < cache->Width() - 80; x += 40, ++probes)
      same += GetPixel(screen, r.left + x, r.top + y) == GetPixel(cache->Canvas().Handle(), x, y);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(same, probes);
  // The title is the skin's dark title band, not the form's face.
  const COLORREF title = GetPixel(cache->Canvas().Handle(), cache->Width() / 2, caption / 2);
  EXPECT_LT(GetRValue(title), 0x60);
  EXPECT_GT(GetBValue(title), GetRValue(title));
  TComponent::Free(form);
}
