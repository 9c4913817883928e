// The skin list of a manager over real folders of packed skins drawn by tools/make_skin.py
// (skin_fixtures\skinlist\), its background listing under a message loop, the controls it
// tells, and the manager's main-font choice.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "ReaderFixtures.h"
#include "SkinStateFixtures.h"
#include "platform/runtime/Files.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/manager/acSkinList.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sStoredSkins.h"
#include "support/ShellHarness.h"

namespace fs = std::filesystem;

namespace {

struct TEntry {
  TacSkinMode Mode;
  bool Preview;
  bool operator==(const TEntry&) const = default;
};

// The list as name -> (mode, has a preview); a preview index must name an image.
std::map<std::wstring, TEntry> Listed(TacSkinListController& c) {
  std::map<std::wstring, TEntry> got;
  for (const TacSkinListData& d : c.SkinList) {
    EXPECT_LT(d.skImageIndex, c.ImgList->Count()) << d.skName;
    got[d.skName] = {d.skSkinMode, d.skImageIndex >= 0};
  }
  return got;
}

class SkinList : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    ASSERT_TRUE(M->IsDefault());
    Holder = CreateComponent<TSkinForm>(nullptr);
  }
  void TearDown() override {
    TComponent::Free(Holder);
    TComponent::Free(M);
  }
  void Store(TsSkinManager& m, const std::wstring& name, const wchar_t* packed) {
    TsStoredSkin* skin = m.InternalSkins().Add();
    skin->Name = name;
    if (packed) skin->PackedData = std::make_unique<TMemoryStream>(ReaderFixtureBytes(packed));
  }
  // Lists the folder at once.
  static void ListNow(TsSkinManager& m, const std::wstring& folder) {
    m.SetSkinDirectory(folder);
    m.SkinListController->CheckThread();
    m.SkinListController->Clear(true, false);
    m.SkinListController->UpdateIfNeeded(true);
  }
  TsSkinManager* M = nullptr;
  TSkinForm* Holder = nullptr;  // owns the test controls
};

const std::map<std::wstring, TEntry> ListFolder = {{L"a", {smExtPacked, true}},
                                                   {L"d", {smExtPacked, false}},
                                                   {L"e", {smExtPacked, false}},  // damaged preview
                                                   {L"f.g.ovz", {smExtPacked, true}}};

TEST_F(SkinList, ListsStoredSkinsAndThePackedFilesOfItsFolder) {
  Store(*M, L"Stored One", L"skinlist\\list\\a.ovz");
  Store(*M, L"Stored Two", nullptr);
  struct Case {
    unsigned Filter;
    std::wstring Folder;
    std::map<std::wstring, TEntry> Expected;
  };
  std::map<std::wstring, TEntry> all = ListFolder;
  all[L"Stored One"] = {smInternal, true};
  all[L"Stored Two"] = {smInternal, false};
  const std::map<std::wstring, TEntry> stored = {{L"Stored One", {smInternal, true}},
                                                 {L"Stored Two", {smInternal, false}}};
  const Case cases[] = {
      {sfiInternal | sfiExternal, ReaderFixture(L"skinlist\\list"), all},
      {sfiInternal, ReaderFixture(L"skinlist\\list"), stored},
      {sfiExternal, ReaderFixture(L"skinlist\\list"), ListFolder},
      {sfiInternal | sfiExternal, ReaderFixture(L"skinlist\\no such folder"), stored},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Filter << " " << fs::path(c.Folder).string());
    M->SetSkinsFilter(c.Filter);
    ListNow(*M, c.Folder);
    EXPECT_FALSE(M->SkinListController->UpdateNeeded);
    EXPECT_EQ(M->SkinListController->Thread, nullptr);
    EXPECT_EQ(Listed(*M->SkinListController), c.Expected);
  }
  // Stored skins come first, in collection order.
  ASSERT_GE(M->SkinListController->SkinList.size(), 2u);
  EXPECT_EQ(M->SkinListController->SkinList[0].skName, L"Stored One");
  EXPECT_EQ(M->SkinListController->SkinList[0].skImageIndex, 0);
}

TEST_F(SkinList, NamesCarryTheirPreviewIndex) {
  ListNow(*M, ReaderFixture(L"skinlist\\list"));
  TacSkinNames names;
  EXPECT_EQ(M->GetSkinNames(names, true, stAllSkins), L"a");
  ASSERT_EQ(names.size(), 4u);
  for (const TacSkinName& n : names) {
    ASSERT_TRUE(n.Data);
    EXPECT_EQ(n.Data->ImageIndex >= 0, ListFolder.at(n.Name).Preview) << n.Name;
  }
}

TEST_F(SkinList, BackgroundListingGrowsAndTellsItsControlsOnceAtTheEnd) {
  auto* control = new TSkinGraphic(Holder, Holder);
  M->SkinListController->AddControl(control);
  control->Got.clear();
  M->SetSkinsFilter(sfiExternal);
  M->SetSkinDirectory(ReaderFixture(L"skinlist\\many"));
  TacSkinListController& c = *M->SkinListController;
  ASSERT_NE(c.Thread, nullptr);
  EXPECT_EQ(control->Count(SKCMD_LIST_CHANGED), 1);  // the clearing of the directory change only
  control->Got.clear();
  ASSERT_TRUE(WaitUntil([&] { return c.SkinList.size() >= 3; }));
  EXPECT_LT(c.SkinList.size(), 200u);  // still growing
  EXPECT_EQ(control->Count(SKCMD_LIST_CHANGED), 0);
  ASSERT_TRUE(WaitUntil([&] { return c.Thread == nullptr; }));
  EXPECT_EQ(c.SkinList.size(), 200u);
  EXPECT_EQ(c.ImgList->Count(), 200);
  EXPECT_EQ(control->Count(SKCMD_LIST_CHANGED), 1);
  EXPECT_FALSE(c.UpdateNeeded);
  c.DelControl(control);
}

TEST_F(SkinList, CheckThreadCompletesARunningListingAtOnce) {
  M->SetSkinsFilter(sfiExternal);
  M->SetSkinDirectory(ReaderFixture(L"skinlist\\many"));
  TacSkinListController& c = *M->SkinListController;
  ASSERT_NE(c.Thread, nullptr);
  c.CheckThread();
  EXPECT_EQ(c.SkinList.size(), 200u);
  EXPECT_EQ(c.Thread, nullptr);
  EXPECT_TRUE(c.FileInfo.Name.empty());
  // A step the stopped thread had queued finds nothing to do.
  Application().ProcessMessages();
  EXPECT_EQ(c.SkinList.size(), 200u);
}

TEST_F(SkinList, DestroyingTheControllerMidListingEndsItsThreads) {
  for (int starts : {1, 2}) {
    SCOPED_TRACE(starts);
    auto* m = CreateComponent<TsSkinManager>(nullptr);
    m->SetSkinsFilter(sfiExternal);
    m->SetSkinDirectory(ReaderFixture(L"skinlist\\many"));
    std::vector<HANDLE> threads;
    for (int i = 0; i < starts; ++i) {
      if (i) m->SkinListController->StartDelayedLoading();
      ASSERT_NE(m->SkinListController->Thread, nullptr);
      threads.push_back(OpenThread(SYNCHRONIZE, FALSE, m->SkinListController->Thread->ThreadID()));
    }
    ASSERT_TRUE(WaitUntil([&] { return m->SkinListController->SkinList.size() >= 2; }));
    // Without pumping, the threads' next steps are left waiting for the UI thread: the
    // controller's end must run them (they do nothing) instead of waiting forever.
    Sleep(60);
    const std::size_t listed = m->SkinListController->SkinList.size();
    TComponent::Free(m);
    EXPECT_LT(listed, 200u);
    for (HANDLE h : threads) {
      EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
      CloseHandle(h);
    }
  }
}

TEST_F(SkinList, ReplacedThreadLeavesItsSuccessorLinked) {
  M->SetSkinsFilter(sfiExternal);
  M->SetSkinDirectory(ReaderFixture(L"skinlist\\many"));
  TacSkinListController& c = *M->SkinListController;
  TacAddThread* first = c.Thread;
  c.StartDelayedLoading();
  TacAddThread* second = c.Thread;
  ASSERT_NE(second, first);
  // The first thread's end must not clear the link to the second.
  ASSERT_TRUE(WaitUntil([&] { return c.SkinList.size() >= 3; }));
  EXPECT_EQ(c.Thread, second);
}

TEST_F(SkinList, ASecondManagerOnTheSameFolderCopiesTheDefaultManagersList) {
  fs::path folder = fs::temp_directory_path() / (L"tarvel-skinlist-" + std::to_wstring(GetCurrentProcessId()));
  fs::remove_all(folder);
  fs::copy(ReaderFixture(L"skinlist\\list"), folder, fs::copy_options::recursive);
  M->SetSkinsFilter(sfiExternal);
  ListNow(*M, folder.wstring());
  fs::copy_file(folder / L"a.ovz", folder / L"late.ovz");
  auto* second = CreateComponent<TsSkinManager>(nullptr);
  second->SetSkinsFilter(sfiExternal);
  // The directory as written differs only in case from the default manager's.
  second->SetSkinDirectory(UpperCase(folder.wstring()));
  second->SkinListController->CheckThread();
  second->SkinListController->UpdateIfNeeded(true);
  EXPECT_EQ(second->SkinListController->Thread, nullptr);
  EXPECT_EQ(Listed(*second->SkinListController), ListFolder);  // no "late"
  ASSERT_EQ(second->SkinListController->ImgList->Count(), M->SkinListController->ImgList->Count());
  for (int i = 0; i < M->SkinListController->ImgList->Count(); ++i)
    EXPECT_EQ(second->SkinListController->ImgList->Items().GetItem(i)->ImgData.Bytes(),
              M->SkinListController->ImgList->Items().GetItem(i)->ImgData.Bytes());
  TComponent::Free(second);
  fs::remove_all(folder);
}

TEST_F(SkinList, AnUnreadableFileIsListedWithoutPreview) {
  fs::path folder = fs::temp_directory_path() / (L"tarvel-skinlock-" + std::to_wstring(GetCurrentProcessId()));
  fs::remove_all(folder);
  fs::copy(ReaderFixture(L"skinlist\\list"), folder, fs::copy_options::recursive);
  HANDLE locked = CreateFileW((folder / L"a.ovz").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  M->SetSkinsFilter(sfiExternal);
  ListNow(*M, folder.wstring());
  CloseHandle(locked);
  std::map<std::wstring, TEntry> expected = ListFolder;
  expected[L"a"].Preview = false;
  EXPECT_EQ(Listed(*M->SkinListController), expected);
  fs::remove_all(folder);
}

TEST_F(SkinList, ControlsAreToldSkippingEmptySlots) {
  TacSkinListController& c = *M->SkinListController;
  auto* windowed = new TSkinWin(Holder, false, Holder);
  windowed->Handle();
  auto* unshown = new TSkinWin(Holder, false);  // windowed, no window yet
  auto* graphic = new TSkinGraphic(Holder, Holder);
  auto* gone = new TSkinGraphic(Holder, Holder);
  for (TControl* ctrl : std::initializer_list<TControl*>{static_cast<TControl*>(gone), windowed, unshown, graphic}) c.AddControl(ctrl);
  c.AddControl(graphic);  // once only
  EXPECT_EQ(c.CtrlIndex(graphic), 3);
  c.DelControl(gone);
  EXPECT_EQ(c.CtrlIndex(gone), -1);
  EXPECT_EQ(c.Controls.size(), 4u);
  TComponent::Free(gone);
  for (TSkinReceiver* r : std::initializer_list<TSkinReceiver*>{static_cast<TSkinReceiver*>(windowed), unshown, graphic}) r->Got.clear();

  c.SendListChanged();
  c.SendSkinChanged();
  // Windowed controls with a window get the skin change posted, the others at once.
  EXPECT_EQ(windowed->Count(SKCMD_LIST_CHANGED), 1);
  EXPECT_EQ(windowed->Count(SKCMD_LIST_SKIN_CHANGED), 0);
  EXPECT_EQ(unshown->Count(SKCMD_LIST_SKIN_CHANGED), 1);
  EXPECT_EQ(graphic->Count(SKCMD_LIST_SKIN_CHANGED), 1);
  EXPECT_EQ(graphic->Count(SKCMD_LIST_CHANGED), 1);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, windowed->Handle(), SM_SKINCOMMAND, SM_SKINCOMMAND, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 0x4A0000u);
  EXPECT_EQ(msg.lParam, 0);
  Application().ProcessMessages();
  EXPECT_EQ(windowed->Count(SKCMD_LIST_SKIN_CHANGED), 1);
  c.Controls.clear();
}

TEST_F(SkinList, FirstRegistrationOnAnEmptyListFlagsItAndTellsTheControl) {
  TacSkinListController& c = *M->SkinListController;
  c.Clear(false, false);
  c.UpdateNeeded = false;
  auto* graphic = new TSkinGraphic(Holder, Holder);
  c.AddControl(graphic);
  EXPECT_TRUE(c.UpdateNeeded);
  EXPECT_EQ(graphic->Count(SKCMD_LIST_CHANGED), 1);
  c.Controls.clear();
}

// A manager whose loading state a test sets.
class TLoadingManager : public TsSkinManager {
public:
  using TsSkinManager::TsSkinManager;
  void SetLoading(bool on) {
    if (on)
      FComponentState |= csLoading;
    else
      FComponentState &= ~csLoading;
  }
};

TEST_F(SkinList, FontModesHandTheirNameToTheApplicationFont) {
  auto* m = CreateComponent<TLoadingManager>(nullptr);
  std::vector<std::wstring> changes;
  m->OnFontChanged = [&](TsSkinManager*, const std::wstring&, const std::wstring& name) { changes.push_back(name); };
  m->DefStoredFontName = L"Tahoma";
  m->SkinCommonInfo.MainFont = L"Courier New";
  m->Fonts.MainFont = L"Arial";  // not custom yet: stored only
  EXPECT_TRUE(changes.empty());
  struct Case {
    TacFontMode Mode;
    std::wstring SkinFont;
    std::wstring Expected;
  } cases[] = {{fmCustom, L"Courier New", L"Arial"},
               {fmFromSkin, L"Courier New", L"Courier New"},
               {fmDefault, L"Courier New", L"Tahoma"},
               {fmFromSkin, L"", L"Tahoma"}};  // a skin without a font: the stored one
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Mode));
    m->DefOldFontName = L"Old";
    m->SkinCommonInfo.MainFont = c.SkinFont;
    changes.clear();
    m->Fonts.MainMode = c.Mode;
    EXPECT_EQ(changes, std::vector<std::wstring>{c.Expected});
  }
  // While custom a new name applies; the same name again, or any write while loading, does nothing.
  m->Fonts.MainMode = fmCustom;
  changes.clear();
  m->Fonts.MainFont = L"Times New Roman";
  m->Fonts.MainFont = L"Times New Roman";
  EXPECT_EQ(changes, std::vector<std::wstring>{L"Times New Roman"});
  changes.clear();
  m->SetLoading(true);
  m->Fonts.MainFont = L"Verdana";
  m->Fonts.MainMode = fmDefault;
  m->SetLoading(false);
  EXPECT_TRUE(changes.empty());
  EXPECT_EQ(m->Fonts.MainMode, fmDefault);
  EXPECT_EQ(m->Fonts.MainFont.Get(), L"Verdana");
  TComponent::Free(m);
}

}  // namespace
