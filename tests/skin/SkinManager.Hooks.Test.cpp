// The default manager's hooks: the thread's CBT hook (with a recording procedure in place of
// the handlers'), the application-window hook's rows and the skin editor's preview link.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ReaderFixtures.h"
#include "SkinStateFixtures.h"
#include "platform/runtime/Files.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acAnimation.h"
#include "skin/graphics/acntUtils.h"
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

// ---------------------------------------------------------------------------
// The application-window hook
// ---------------------------------------------------------------------------

namespace {

// Bytes that end where an inaccessible page begins: a read past them faults.
class TGuardedBytes {
public:
  explicit TGuardedBytes(std::size_t size) {
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    FPage = si.dwPageSize;
    FPages = (size + FPage - 1) / FPage + 1;
    FBase = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, FPages * FPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(FBase + (FPages - 1) * FPage, FPage, PAGE_NOACCESS, &old);
    FData = FBase + (FPages - 1) * FPage - size;
  }
  ~TGuardedBytes() { VirtualFree(FBase, 0, MEM_RELEASE); }
  std::uint8_t* Data() const { return FData; }

private:
  std::size_t FPage = 0, FPages = 0;
  std::uint8_t* FBase = nullptr;
  std::uint8_t* FData = nullptr;
};

// A preview record's bytes.
std::vector<std::uint8_t> PreviewRecord(const std::string& name, const std::string& dir, const std::string& data,
                                        std::int32_t magic = 0xA400) {
  std::vector<std::uint8_t> bytes(TacSkinEditorData::Size);
  std::memcpy(bytes.data(), &magic, 4);
  std::memcpy(bytes.data() + TacSkinEditorData::SkinNameOffset, name.data(),
              std::min(name.size(), TacSkinEditorData::SkinNameSize));
  std::memcpy(bytes.data() + TacSkinEditorData::SkinDirOffset, dir.data(), std::min(dir.size(), TacSkinEditorData::SkinDirSize));
  std::memcpy(bytes.data() + TacSkinEditorData::DataOffset, data.data(), std::min(data.size(), TacSkinEditorData::DataSize));
  return bytes;
}

LRESULT SendCopyData(WPARAM kind, const void* data, DWORD size) {
  COPYDATASTRUCT cds{0, size, const_cast<void*>(data)};
  return SendMessageW(Application().Handle(), WM_COPYDATA, kind, reinterpret_cast<LPARAM>(&cds));
}

// Takes the posted SKCMD_APPLY_PREVIEW messages waiting for the application window.
int TakePostedPreviews() {
  int n = 0;
  MSG msg;
  while (PeekMessageW(&msg, Application().Handle(), SM_SKINCOMMAND, SM_SKINCOMMAND, PM_REMOVE))
    n += msg.wParam == 0x470000 && msg.lParam == 0;
  return n;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A form that records the library's sub-commands and whether the skin-change animation was
// allowed when a new skin was announced.
class TPreviewForm : public TSkinForm {
public:
  TPreviewForm(TComponent* owner, TsSkinManager* manager) : TSkinForm(owner), FManager(manager) {
    SetMessageHandler(SM_SKINCOMMAND, [this](TMessage& m) {
      if (SkinCommandOf(m.WParam) == SKCMD_NEW_SKIN) AnimatedNewSkins += FManager->AnimEffects.SkinChanging.Active;
      Receive(m);
    });
  }
  int AnimatedNewSkins = 0;

private:
  TsSkinManager* FManager;
};

}  // namespace

TEST_F(Hooks, OnlyFullPreviewRecordsAreTakenAndOnlyWithTheSwitch) {
  const auto good = PreviewRecord("Name", "Dir", "[FORM]");
  const auto bad = PreviewRecord("Name", "Dir", "[FORM]", 0xA401);
  struct Row {
    DWORD Size;
    WPARAM Kind;
    const std::vector<std::uint8_t>* Record;
    bool Switch;
    bool Taken;
  } rows[] = {
      {0, 7, &good, true, false},      {3, 7, &good, true, false},     {644, 7, &good, true, false},
      {30644, 7, &good, true, false},  {30645, 7, &good, true, true},  {40000, 7, &good, true, true},
      {30645, 6, &good, true, false},  {30645, 7, &bad, true, false},  {30645, 7, &good, false, false},
  };
  for (const Row& r : rows) {
    SetParamsOverride(r.Switch ? std::vector<std::wstring>{L"test.exe", L"/acpreview"}
                               : std::vector<std::wstring>{L"test.exe", L"/ACPREVIEW"});
    M->PreviewBuffer = TacSkinEditorData{};
    TakePostedPreviews();
    TGuardedBytes bytes(r.Size);
    std::memcpy(bytes.Data(), r.Record->data(), std::min<std::size_t>(r.Size, r.Record->size()));
    SendCopyData(r.Kind, bytes.Data(), r.Size);
    EXPECT_EQ(M->PreviewBuffer.Magic() == 0xA400, r.Taken) << r.Size << " " << r.Kind << " " << r.Switch;
    EXPECT_EQ(TakePostedPreviews(), r.Taken ? 1 : 0) << r.Size << " " << r.Kind << " " << r.Switch;
  }
}

TEST_F(Hooks, PreviewTextsEndAtZeroOrAtTheirFieldsEnd) {
  SetParamsOverride({L"test.exe", L"/acpreview"});
  const std::string longName(128, 'N');
  auto record = PreviewRecord(longName, "C:\\Skins", "[FORM]");
  record[TacSkinEditorData::SkinDirOffset + 511] = 'x';  // the folder's text ends at its zero
  SendCopyData(7, record.data(), static_cast<DWORD>(record.size()));
  TakePostedPreviews();
  EXPECT_EQ(M->PreviewBuffer.SkinName(), std::wstring(128, L'N'));
  EXPECT_EQ(M->PreviewBuffer.SkinDir(), L"C:\\Skins");
  EXPECT_EQ(M->PreviewBuffer.Data(), L"[FORM]");
}

TEST_F(Hooks, APreviewIsAppliedOnceWithoutAnimationAndTheNextLoadReadsTheFolder) {
  SetParamsOverride({L"test.exe", L"/acpreview"});
  LoadSkin();
  TPreviewForm* form = CreateComponent<TPreviewForm>(&Application(), M);  // the announcements reach it
  form->Show();
  const TColor folderEditBG = M->Palette[pcEditBG];
  // The folder's options with other edit colours, the images still the folder's.
  std::string options = ReaderFixtureBytes(L"skins\\Tarvel Test\\Options.dat");
  const auto at = options.find("[EDIT]");
  ASSERT_NE(at, std::string::npos);
  const auto colour = options.find("COLOR=15790320", at);
  ASSERT_NE(colour, std::string::npos);
  auto record = [&](const char* value) {
    std::string text = options;
    text.replace(colour, 14, std::string("COLOR=") + value);
    return PreviewRecord("Tarvel Test", Narrow(ReaderFixture(L"skins")), text);
  };
  const auto first = record("1193046"), second = record("6636321");  // 0x123456, 0x654321
  form->Got.clear();
  SendCopyData(7, first.data(), static_cast<DWORD>(first.size()));
  SendCopyData(7, second.data(), static_cast<DWORD>(second.size()));
  EXPECT_EQ(form->Got.size(), 0u);  // nothing inside the sender's SendMessage
  // Each posted sub-command applies the record present then: the second, twice.
  PumpMessages();
  EXPECT_EQ(M->Palette[pcEditBG], static_cast<TColor>(0x654321));
  EXPECT_FALSE(M->ma().empty());
  EXPECT_EQ(form->Count(SKCMD_NEW_SKIN), 2);
  EXPECT_EQ(form->AnimatedNewSkins, 0);
  EXPECT_TRUE(M->AnimEffects.SkinChanging.Active);
  EXPECT_FALSE(M->NoAutoUpdate);
  EXPECT_EQ(PreviewSkinText, nullptr);
  // One record, one announcement.
  form->Got.clear();
  SendCopyData(7, first.data(), static_cast<DWORD>(first.size()));
  PumpMessages();
  EXPECT_EQ(form->Count(SKCMD_NEW_SKIN), 1);
  EXPECT_EQ(M->Palette[pcEditBG], static_cast<TColor>(0x123456));
  M->UpdateSkinData();
  EXPECT_EQ(M->Palette[pcEditBG], folderEditBG);
  TComponent::Free(form);
}

TEST_F(Hooks, AFailingPreviewLeavesNoUpdateOpenAndNoPreviewSource) {
  LoadSkin();
  // The skin-name setter fails through the load's step observer.
  SetLoadStepObserver([](const wchar_t*) { throw std::runtime_error("load step fails"); });
  M->PreviewBuffer = TacSkinEditorData{};
  const auto record = PreviewRecord("Tarvel Test", Narrow(ReaderFixture(L"skins")), "[FORM]");
  std::memcpy(M->PreviewBuffer.Bytes.data(), record.data(), record.size());
  EXPECT_ANY_THROW(M->ApplyPreviewBuffer());
  SetLoadStepObserver(nullptr);
  EXPECT_FALSE(M->NoAutoUpdate);
  EXPECT_EQ(PreviewSkinText, nullptr);
}

TEST_F(Hooks, MinimizeWithoutSkinActivateAndForgedMenuItems) {
  // SC_MINIMIZE without an active skin: ShowState stays and the message goes on.
  M->ShowState = saRestore;
  TMessage minimize{WM_SYSCOMMAND, SC_MINIMIZE, 0, 0};
  EXPECT_FALSE(M->MainWindowHookProc(minimize));
  EXPECT_EQ(M->ShowState, saRestore);
  LoadSkin();
  TMessage other{WM_SYSCOMMAND, SC_MOVE, 0, 0};
  EXPECT_FALSE(M->MainWindowHookProc(other));
  EXPECT_EQ(M->ShowState, saIgnore);
  // CM_ACTIVATE: every form with a window hears SKCMD_INVALIDATE.
  TSkinForm* shown = CreateComponent<TSkinForm>(nullptr);
  TSkinForm* windowless = CreateComponent<TSkinForm>(nullptr);
  shown->Show();
  SendMessageW(Application().Handle(), CM_ACTIVATE, 0, 0);
  EXPECT_EQ(shown->Count(SKCMD_INVALIDATE), 1);
  EXPECT_FALSE(windowless->HandleAllocated());
  // A menu-border request whose item address was made up is ignored.
  std::vector<std::uint8_t> junk(256, 0xCD);
  TMessage forged{0xBCB3, 0, reinterpret_cast<LPARAM>(junk.data()), 0};
  EXPECT_TRUE(M->MainWindowHookProc(forged));
  SendMessageW(Application().Handle(), 0xBCB3, 0, 0x12345678);
  // The theme change is swallowed.
  TMessage theme{WM_THEMECHANGED, 0, 0, 0};
  EXPECT_TRUE(M->MainWindowHookProc(theme));
  TComponent::Free(windowless);
  TComponent::Free(shown);
}

TEST_F(Hooks, MinimizeAndRestoreOfASkinnedMainFormOnTheTaskBar) {
  LoadSkin();
  Application().MainFormOnTaskBar = true;
  TSkinForm* main = nullptr;
  Application().CreateForm(main);
  auto* provider = NewComponent<TsSkinProvider>(main);
  main->Answers[SKCMD_GET_PROVIDER] = reinterpret_cast<LRESULT>(provider);
  main->Show();
  PumpMessages();
  const bool systemAnimation = SystemAnimationEnabled();
  TMessage minimize{WM_SYSCOMMAND, SC_MINIMIZE, 0, 0};
  EXPECT_TRUE(M->MainWindowHookProc(minimize));  // the engine minimizes, not the system
  EXPECT_EQ(M->ShowState, saMinimize);
  EXPECT_TRUE(provider->SkipAnimation);
  EXPECT_TRUE(Application().Minimized());
  EXPECT_EQ(SystemAnimationEnabled(), systemAnimation);
  TMessage restore{WM_SYSCOMMAND, SC_RESTORE, 0, 0};
  EXPECT_TRUE(M->MainWindowHookProc(restore));
  EXPECT_EQ(M->ShowState, saRestore);
  EXPECT_FALSE(Application().Minimized());
  EXPECT_EQ(SystemAnimationEnabled(), systemAnimation);
  TComponent::Free(main);
  Application().MainFormOnTaskBar = false;
}

// Run in a child process of its own (it ends the application): the close animation of the
// main form, with the animation flag left set by a faulty animation.
TEST(HooksChild, DISABLED_TheCloseAnimationWaitEndsWhenTheFlagStaysSet) {
  Application().Initialize();
  TsSkinManager* m = CreateComponent<TsSkinManager>(nullptr);
  m->SetSkinDirectory(ReaderFixture(L"skins"));
  m->SetSkinName(L"Tarvel Test");
  ASSERT_TRUE(m->IsActive());
  m->AnimEffects.FormHide.Time = 50;
  TSkinForm* main = nullptr;
  Application().CreateForm(main);
  auto* provider = NewComponent<TsSkinProvider>(main);
  main->Answers[SKCMD_GET_PROVIDER] = reinterpret_cast<LRESULT>(provider);
  main->Show();
  PumpMessages();
  Application().Terminate();
  AnimationInProgress = true;
  WINDOWPOS pos{main->Handle(), nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW};
  TMessage hidden{WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos), 0};
  EXPECT_FALSE(m->MainWindowHookProc(hidden));
  EXPECT_TRUE(provider->SkipAnimation);
  EXPECT_TRUE(provider->FFormState & 0x200);
  AnimationInProgress = false;
}

TEST(HooksShutdown, TheCloseAnimationDoesNotHangTheShutdown) {
  // The child is this program, running only the test above; a hang is ended here.
  std::wstring command = L"\"" + ExeFileName() +
                         L"\" --gtest_also_run_disabled_tests "
                         L"--gtest_filter=HooksChild.DISABLED_TheCloseAnimationWaitEndsWhenTheFlagStaysSet";
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                             &si, &pi));
  AssignProcessToJobObject(job, pi.hProcess);
  ResumeThread(pi.hThread);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(job);
}
