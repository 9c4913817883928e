// Skin sources and the load sequence on fixtures drawn by tools/make_skin.py and copied
// into temporary folders; embedded fonts; stored skins and the program's own.
#include <gtest/gtest.h>

#include <filesystem>

#include "ReaderFixtures.h"
#include "SkinTestLoad.h"
#include "platform/runtime/Resources.h"
#include "platform/ui/Dialogs.h"
#include "skin/controls/acFontStore.h"
#include "skin/manager/acSkinList.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sStoredSkins.h"

namespace fs = std::filesystem;

namespace {

class SkinLoad : public testing::Test {
protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    Root = fs::path(temp) / (L"tarvel-skinload-" + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(Root);
    fs::create_directories(Root / L"exe" / L"skins");
    fs::create_directories(Root / L"work");
    OldDir = fs::current_path();
    fs::current_path(Root / L"work");
    FixtureRoot = ReaderFixture(L"loader\\");  // beside the real executable
    SetExeFileNameOverride((Root / L"exe" / L"Tarvel.exe").wstring());
    SetSkinMessageSink([this](TacSkinMessageKind kind, const std::wstring& text) { Messages.push_back({kind, text}); });
  }
  void TearDown() override {
    SetSkinMessageSink(nullptr);
    SetPackedSkinErrorHandler(nullptr);
    SetLoadStepObserver(nullptr);
    SetExeFileNameOverride(L"");
    SetParamsOverride({});
    fs::current_path(OldDir);
    std::error_code ignored;
    fs::remove_all(Root, ignored);
  }
  static fs::path Fixture(const wchar_t* relative) { return FixtureRoot + relative; }
  static inline std::wstring FixtureRoot;
  static void CopyInto(const wchar_t* fixture, const fs::path& target) {
    fs::copy(Fixture(fixture), target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  static void Store(TsSkinManager& m, const std::wstring& name, const wchar_t* fixture) {
    TsStoredSkin* skin = m.InternalSkins().Add();
    skin->Name = name;
    if (fixture) skin->PackedData = std::make_unique<TMemoryStream>(ReadAllBytes(Fixture(fixture).wstring()));
  }
  // The normal colour of FORM in the loaded skin; -1 when nothing was loaded.
  static int FormColor(TsSkinManager& m) {
    TacSkinData* d = LoadSkin(m);
    const int i = d->GetSkinIndex(L"FORM");
    return i < 0 ? -1 : d->gd[i].Props[0].Color;
  }
  fs::path Root, OldDir;
  std::vector<std::pair<TacSkinMessageKind, std::wstring>> Messages;
};

const int FolderRed = 0x11, PackedRed = 0x22, StoredRed = 0x33;

}  // namespace

TEST_F(SkinLoad, FullSkinDirectory) {
  TsSkinManager m;
  struct Case {
    const wchar_t* Exe;
    const wchar_t* Directory;
    const wchar_t* Full;
  } cases[] = {
      {L"C:\\a\\b\\Tarvel.exe", L"..\\skins", L"C:\\a\\skins\\"},
      {L"C:\\a\\b\\Tarvel.exe", L".\\skins", L"C:\\a\\b\\skins\\"},
      {L"C:\\a\\b\\Tarvel.exe", L"./skins/", L"C:\\a\\b\\skins\\"},
      {L"C:\\a\\b\\Tarvel.exe", L"skins", L"C:\\a\\b\\skins\\"},
      {L"C:\\a\\b\\Tarvel.exe", L"D:\\x", L"D:\\x\\"},
      {L"C:\\a\\b\\Tarvel.exe", L"\\\\server\\share", L"\\\\server\\share\\"},
      {L"C:\\a\\b\\Tarvel.exe", L"", L"C:\\a\\b\\"},
      {L"C:\\a\\b\\Tarvel.exe", L".", L"C:\\a\\b\\"},
      {L"C:\\Tarvel.exe", L"..\\skins", L"C:\\skins\\"},  // a drive root is its own parent
      {L"C:\\Tarvel.exe", L"..", L"C:\\"},
  };
  for (const Case& c : cases) {
    SetExeFileNameOverride(c.Exe);
    m.SetSkinDirectory(c.Directory);
    EXPECT_EQ(m.GetFullSkinDirectory(), c.Full) << c.Exe << " " << c.Directory;
  }
}

TEST_F(SkinLoad, PreviewOverFolderOverPackedOverStored) {
  const fs::path skins = Root / L"exe" / L"skins";
  CopyInto(L"folder", skins);
  // The packed file is looked up under SkinDirectory as written: relative to the working folder.
  fs::create_directories(Root / L"work" / L"skins");
  CopyInto(L"packed", Root / L"work" / L"skins");
  struct Step {
    const char* What;
    int Red;
  };
  auto load = [&](bool preview) {
    TsSkinManager m;
    m.SetSkinDirectory(L"skins");
    m.FSkinName = L"Tarvel Source";  // stored only: the load runs below
    Store(m, L"Tarvel Source", L"stored\\Tarvel Source.ovz");
    if (preview) PreviewSkinText = std::make_unique<std::vector<std::wstring>>(std::vector<std::wstring>{L"[FORM]", L"COLOR=68"});
    const int color = FormColor(m);
    PreviewSkinText.reset();
    return std::make_pair(color, m.SkinIsPacked);
  };
  EXPECT_EQ(load(true).first, 68);
  EXPECT_EQ(load(false), std::make_pair(FolderRed, false));
  fs::remove_all(skins / L"Tarvel Source");
  EXPECT_EQ(load(false), std::make_pair(PackedRed, true));
  fs::remove(Root / L"work" / L"skins" / L"Tarvel Source.ovz");
  EXPECT_EQ(load(false), std::make_pair(StoredRed, true));
  EXPECT_TRUE(Messages.empty());
}

TEST_F(SkinLoad, UnknownNameTakesTheFirstStoredSkinAndNoSourceSwitchesOff) {
  {
    TsSkinManager m;
    m.FSkinName = L"Nowhere";  // stored only: the load runs below
    Store(m, L"Tarvel Source", L"stored\\Tarvel Source.ovz");
    Store(m, L"Second Stored", L"stored\\Second Stored.ovz");
    EXPECT_EQ(FormColor(m), StoredRed);
    EXPECT_EQ(m.SkinName(), L"Tarvel Source");
    EXPECT_TRUE(m.SkinCommonInfo.SkinPath.empty());
  }
  TsSkinManager none;
  none.FSkinName = L"Nowhere";  // stored only: the load runs below
  EXPECT_EQ(FormColor(none), -1);
  EXPECT_FALSE(none.Active());
  EXPECT_TRUE(Messages.empty());
}

TEST_F(SkinLoad, SkinsWithoutOptionsGiveTheFormatError) {
  CopyInto(L"faulty", Root / L"work");
  std::vector<std::wstring> readerTexts;
  SetPackedSkinErrorHandler([&](TsSkinManager*, const std::wstring& text) { readerTexts.push_back(text); });
  struct Case {
    const wchar_t* Name;
    bool Stored;
    const char* StoredFixture;
  } cases[] = {{L"No Options", false, nullptr}, {L"Bad Signature", false, nullptr}, {L"Empty Stored", true, nullptr}};
  for (const Case& c : cases) {
    Messages.clear();
    TsSkinManager m;
    m.SetSkinDirectory(L"");
    m.FSkinName = c.Name;  // stored only: the load runs below
    // A stored skin without data must not read on with the previous skin's options.
    m.SkinCommonInfo.OptionsDat->SetText(L"[FORM]\nCOLOR=1");
    if (c.Stored) Store(m, c.Name, nullptr);
    EXPECT_FALSE(m.InitSkinFile());
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].first, smkPlain);
    EXPECT_EQ(Messages[0].second,
              L"Internal format error in the \"" + std::wstring(c.Name) + L"\" skin. Please, update this skin to latest version.");
    EXPECT_EQ(m.ManagerState & msSkinChanging, 0u);
    EXPECT_EQ(FormColor(m), -1);
  }
  ASSERT_FALSE(readerTexts.empty());  // the reader's own message for the bad signature
  for (const std::wstring& text : readerTexts) EXPECT_EQ(text, L"Loaded data is not a packed Orvandel file");
}

TEST_F(SkinLoad, TheFormatErrorAsARealDialog) {
  CopyInto(L"faulty", Root / L"work");
  SetSkinMessageSink(nullptr);
  static std::wstring seen;
  seen.clear();
  HHOOK hook = SetWindowsHookExW(
      WH_CBT,
      [](int code, WPARAM wp, LPARAM lp) -> LRESULT {
        if (code == HCBT_ACTIVATE)
          SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            EnumThreadWindows(
                GetCurrentThreadId(),
                [](HWND wnd, LPARAM) -> BOOL {
                  if (!IsWindowVisible(wnd)) return TRUE;
                  EnumChildWindows(
                      wnd,
                      [](HWND child, LPARAM) -> BOOL {
                        wchar_t text[512] = {};
                        GetWindowTextW(child, text, 512);
                        if (std::wstring(text).find(L"Internal format error") == 0) seen = text;
                        if (std::wstring(text) == L"OK") PostMessageW(child, BM_CLICK, 0, 0);
                        return TRUE;
                      },
                      0);
                  return TRUE;
                },
                0);
          });
        return CallNextHookEx(nullptr, code, wp, lp);
      },
      nullptr, GetCurrentThreadId());
  TsSkinManager m;
  m.SetSkinDirectory(L"");
  m.FSkinName = L"No Options";  // stored only: the load runs below
  EXPECT_FALSE(m.InitSkinFile());
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(seen, L"Internal format error in the \"No Options\" skin. Please, update this skin to latest version.");
}

TEST_F(SkinLoad, VersionCheck) {
  struct Case {
    const wchar_t* Version;
    const wchar_t* FirstArgument;
    bool Warns;
  } cases[] = {{L"14.99", L"", false}, {L"15", L"", true}, {L"15", L"/acpreview", false},
               {L"15", L"/ACPREVIEW", true}, {L"10.25", L"", false}};
  for (const Case& c : cases) {
    Messages.clear();
    SetParamsOverride({L"Tarvel.exe", c.FirstArgument});
    TsSkinManager m;
    m.FSkinName = L"Preview";  // stored only: the load runs below
    unsigned rulesDuring = 0;
    bool nativeDuring = false;
    SetSkinMessageSink([&](TacSkinMessageKind kind, const std::wstring& text) {
      Messages.push_back({kind, text});
      rulesDuring = m.SkinningRules();
      nativeDuring = UseLatestCommonDialogs;
    });
    PreviewSkinText = std::make_unique<std::vector<std::wstring>>(
        std::vector<std::wstring>{L"[GLOBALINFO]", std::wstring(L"VERSION=") + c.Version});
    LoadSkin(m);
    PreviewSkinText.reset();
    EXPECT_EQ(Messages.size(), c.Warns ? 1u : 0u) << c.Version << " " << c.FirstArgument;
    if (c.Warns) {
      EXPECT_EQ(Messages[0].first, smkWarning);
      EXPECT_EQ(rulesDuring & srStdDialogs, 0u);
      EXPECT_TRUE(nativeDuring);
    }
    EXPECT_NE(m.SkinningRules() & srStdDialogs, 0u);
  }
  UseLatestCommonDialogs = true;
}

TEST_F(SkinLoad, SequenceAndLoadedRunTheirStepsInOrder) {
  std::vector<std::wstring> steps;
  SetLoadStepObserver([&](const wchar_t* step) { steps.push_back(step); });
  TsSkinManager m;
  m.FSkinName = L"Preview";  // stored only: the load runs below
  int loadings = 0;
  m.OnSkinLoading = [&](TComponent* sender) {
    EXPECT_EQ(sender, &m);
    EXPECT_GT(m.CommonSkinData()->gd.size(), 0u);  // the skin data is complete
    ++loadings;
  };
  PreviewSkinText = std::make_unique<std::vector<std::wstring>>(std::vector<std::wstring>{L"[FORM]", L"COLOR=1"});
  LoadSkin(m);
  m.CommonSkinData();
  PreviewSkinText.reset();
  EXPECT_EQ(loadings, 1);
  EXPECT_EQ(steps, (std::vector<std::wstring>{L"LoadFonts", L"LoadCommonData", L"LoadParams", L"LoadAllMasks",
                                              L"LoadAllGeneralData", L"InitConstantIndexes", L"InitMaskIndexes",
                                              L"InitMaskParams", L"InitSkinParams", L"CheckShadows",
                                              L"CloseSkinFile"}));
  steps.clear();
  m.SetSkinDirectory(L"");
  m.Loaded();
  EXPECT_EQ(m.SkinDirectory(), L"c:\\Skins");
  EXPECT_EQ(m.MenuSupport.IcoLineSkin, L"ICOLINE");
  EXPECT_EQ(steps, (std::vector<std::wstring>{L"Inherited", L"ProcessDPIAware", L"Defaults", L"ThirdParty",
                                              L"BroadcastNewSkin", L"UpdateStdDialogsFlag", L"ActiveNotification",
                                              L"SkinList"}));
}

TEST_F(SkinLoad, StoredSkinsAndNameLists) {
  TsSkinManager m;
  int changes = 0;
  m.SetSkinDirectory(L"skins");
  m.OnSkinListChanged = [&](TComponent*) { ++changes; };
  CopyInto(L"packed", Root / L"exe" / L"skins");
  m.SkinListController->UpdateIfNeeded(true);
  EXPECT_FALSE(m.SkinListController->UpdateNeeded);
  Store(m, L"Zeta", nullptr);
  Store(m, L"alpha", nullptr);
  EXPECT_TRUE(m.SkinListController->UpdateNeeded);  // a new item flags the list
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(m.InternalSkins().IndexOf(L"Zeta"), 0);
  EXPECT_EQ(m.InternalSkins().IndexOf(L"zeta"), -1);
  EXPECT_EQ(m.InternalSkins().GetOwner(), &m);

  struct Case {
    TacSkinTypes Type;
    std::vector<std::wstring> Names;
  } cases[] = {{stUnpacked, {L"Tarvel Source"}}, {stPacked, {L"alpha", L"Zeta"}},
               {stAllSkins, {L"alpha", L"Tarvel Source", L"Zeta"}}};
  for (const Case& c : cases) {
    TacSkinNames names;
    const std::wstring first = m.GetSkinNames(names, true, c.Type);
    std::vector<std::wstring> got;
    for (const TacSkinName& n : names) {
      got.push_back(n.Name);
      ASSERT_TRUE(n.Data);
      EXPECT_EQ(n.Data->ImageIndex >= 0, n.Name == L"Tarvel Source") << n.Name;  // the packed file's preview
    }
    EXPECT_EQ(got, c.Names);
    EXPECT_EQ(first, c.Names.front());
  }
  TacSkinNames external;
  EXPECT_EQ(m.GetExternalSkinNames(external, false, stPacked), L"Tarvel Source");
  EXPECT_FALSE(external[0].Data);

  // Written out as packed files.
  Store(m, L"Tarvel Source", L"stored\\Tarvel Source.ovz");
  m.ExtractInternalSkin(L"Tarvel Source", (Root / L"out").wstring());
  EXPECT_EQ(Messages.back().second, L"Directory does not exists.");
  fs::create_directories(Root / L"out");
  m.ExtractInternalSkin(L"Tarvel Source", (Root / L"out").wstring());
  EXPECT_EQ(ReadAllBytes((Root / L"out" / L"Tarvel Source extracted.ovz").wstring()),
            ReadAllBytes(Fixture(L"stored\\Tarvel Source.ovz").wstring()));
  m.ExtractInternalSkin(L"Missing", (Root / L"out").wstring());
  EXPECT_EQ(Messages.back().second, L"Skin does not exists.");

  TsStoredSkin copy(nullptr);
  copy.Assign(m.InternalSkins().Items(2));
  EXPECT_EQ(copy.Name, L"Tarvel Source");
  EXPECT_EQ(copy.PackedData->Bytes(), m.InternalSkins().Items(2)->PackedData->Bytes());
  EXPECT_EQ(copy.Shadow1Blur, -1);
  EXPECT_EQ(copy.BorderColor, 0xFF00FF);
}

TEST_F(SkinLoad, TheProgramsStoredSkinLoadsFromItsResource) {
  TsSkinManager m;
  m.SetSkinDirectory(L"skins");  // empty: the stored skin is the source
  m.FSkinName = L"Lusmere II (internal)";  // stored only: the load runs below
  TsStoredSkin* skin = m.InternalSkins().Add();
  skin->Name = L"Lusmere II (internal)";
  skin->PackedData = std::make_unique<TResourceStream>(nullptr, L"SKIN_LUSMERE_II");
  TacSkinData* d = LoadSkin(m);
  EXPECT_TRUE(m.SkinIsPacked);
  EXPECT_GE(d->GetSkinIndex(L"FORM"), 0);
  EXPECT_GE(d->GetSkinIndex(L"BUTTON"), 0);
  EXPECT_DOUBLE_EQ(m.SkinCommonInfo.Version, 14.10);
  EXPECT_THROW(TResourceStream(nullptr, L"NO_SUCH_RESOURCE"), EResNotFound);

  // A folder skin of the same name in the skins folder is read instead.
  CopyInto(L"folder", Root / L"exe" / L"skins");
  fs::rename(Root / L"exe" / L"skins" / L"Tarvel Source", Root / L"exe" / L"skins" / L"Lusmere II (internal)");
  TsSkinManager folder;
  folder.SetSkinDirectory(L"skins");
  folder.FSkinName = L"Lusmere II (internal)";  // stored only: the load runs below
  EXPECT_EQ(FormColor(folder), FolderRed);
}

TEST_F(SkinLoad, EmbeddedFontsAreUsableByNameWhileLoaded) {
  // A new height each time: the system may keep a font it made for an earlier request.
  auto faceOf = [height = -20](const wchar_t* family) mutable {
    LOGFONTW lf{};
    lf.lfHeight = --height;
    wcscpy_s(lf.lfFaceName, family);
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    return std::wstring(face);
  };
  CopyInto(L"fonts", Root / L"work");
  {
    TsSkinManager m;
    m.SetSkinDirectory(L"");
    m.FSkinName = L"Tarvel Fonts";  // stored only: the load runs below
    LoadSkin(m);
    ASSERT_EQ(m.EmbeddedFonts->Count(), 1);
    EXPECT_EQ(m.EmbeddedFonts->Items(0)->FFontName, L"Tarvel Glyph Packed");
    EXPECT_EQ(m.EmbeddedFonts->Items(0)->FFileName, L"TARVELPACKED.TTF");
    EXPECT_NE(m.EmbeddedFonts->Items(0)->Handle, nullptr);
    EXPECT_EQ(faceOf(L"Tarvel Glyph Packed"), L"Tarvel Glyph Packed");
    // Clearing unregisters the fonts (Wine keeps a removed memory font usable by name, so
    // only the collection is checked here).
    m.EmbeddedFonts->Clear();
    EXPECT_EQ(m.EmbeddedFonts->Count(), 0);
  }
  {
    // A folder skin's font file is named relative to the working folder.
    fs::current_path(Root / L"work" / L"folder" / L"Tarvel Fonts");
    TsSkinManager m;
    m.SetSkinDirectory((Root / L"work" / L"folder").wstring());
    m.FSkinName = L"Tarvel Fonts";  // stored only: the load runs below
    LoadSkin(m);
    ASSERT_EQ(m.EmbeddedFonts->Count(), 1);
    EXPECT_EQ(faceOf(L"Tarvel Glyph Folder"), L"Tarvel Glyph Folder");
    m.EmbeddedFonts->Clear();
    EXPECT_EQ(m.EmbeddedFonts->Count(), 0);
  }
  TsSkinManager many;
  many.SetSkinDirectory((Root / L"work" / L"folder").wstring());
  many.FSkinName = L"Many Fonts";  // stored only: the load runs below
  LoadSkin(many);
  EXPECT_LE(many.EmbeddedFonts->Count(), 64);
}
