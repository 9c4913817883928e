// The skin manager component: defaults, the default-manager rule, writers, queries, the
// option objects with the scale-mode change, the loader's unit routines and the start-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "ReaderFixtures.h"
#include "platform/runtime/Files.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sStoredSkins.h"

namespace fs = std::filesystem;

namespace {

// A manager made the way a form definition makes it, freed at the end.
struct TMadeManager {
  TsSkinManager* M = CreateComponent<TsSkinManager>(nullptr);
  ~TMadeManager() { TComponent::Free(M); }
  TsSkinManager* operator->() const { return M; }
};

// Loads the packed test skin beside the executable into a manager.
void LoadTestSkin(TsSkinManager& m) {
  m.SetSkinDirectory(ReaderFixture(L"skins"));
  m.SetSkinName(L"Tarvel Test");
}

}  // namespace

TEST(SkinManager, DefaultsOfTheManagerAndItsOptionObjects) {
  ASSERT_EQ(DefaultManager(), nullptr);
  TMadeManager made;
  TsSkinManager& m = *made.M;
  struct Row {
    const char* Name;
    long long Value, Expected;
  } rows[] = {
      {"Active", m.Active(), 1},
      {"Brightness", m.Brightness(), 0},
      {"HueOffset", m.HueOffset(), 0},
      {"Saturation", m.Saturation(), 0},
      {"CommonSections", m.CommonSections.Count(), 0},
      {"ExtendedBorders", m.ExtendedBorders(), 0},
      {"InternalSkins", m.InternalSkins().Count(), 0},
      {"IsDefault", m.IsDefault(), 1},
      {"SkinnedPopups", m.SkinnedPopups(), 1},
      {"SkinningRules", m.SkinningRules(), srStdForms | srStdDialogs | srThirdParty},
      {"SkinsFilter", m.SkinsFilter(), sfiInternal | sfiExternal},
      {"NoAutoUpdate", m.NoAutoUpdate, 0},
      {"ManagerState", m.ManagerState, 0},
      {"Options.CheckEmptyAlpha", m.Options.CheckEmptyAlpha, 0},
      {"Options.NoMouseHover", m.Options.NoMouseHover, 0},
      {"Options.NativeBordersMaximized", m.Options.NativeBordersMaximized, 0},
      {"Options.StdGlyphsOrder", m.Options.StdGlyphsOrder, 0},
      {"Options.ChangeSysColors", m.Options.ChangeSysColors, 0},
      {"Options.StdImgTransparency", m.Options.StdImgTransparency, 0},
      {"Options.DrawNonClientArea", m.Options.DrawNonClientArea, 1},
      {"Options.ArrowsStyle", m.Options.ArrowsStyle, arsDefault},
      {"Options.OptimizingPriority", m.Options.OptimizingPriority, opSpeed},
      {"Options.PixelsPerInch", m.Options.PixelsPerInch, 96},
      {"Options.ScaleMode", m.Options.ScaleMode, smOldMode},
      {"Effects.AllowAnimation", m.Effects.AllowAnimation, 1},
      {"Effects.AllowAeroBluring", m.Effects.AllowAeroBluring, 1},
      {"Effects.AllowGlowing", m.Effects.AllowGlowing, 1},
      {"Effects.AllowOuterEffects", m.Effects.AllowOuterEffects, 1},
      {"Effects.DiscoloredGlyphs", m.Effects.DiscoloredGlyphs, 0},
      {"BlendOnMoving.Active", m.AnimEffects.BlendOnMoving.Active, 0},
      {"BlendOnMoving.Time", m.AnimEffects.BlendOnMoving.Time, 1000},
      {"BlendOnMoving.BlendValue", m.AnimEffects.BlendOnMoving.BlendValue, 170},
      {"Buttons.Events", m.AnimEffects.Buttons.Events, beMouseEnter | beMouseLeave | beMouseDown | beMouseUp},
      {"DialogShow", m.AnimEffects.DialogShow.Active * 1000 + m.AnimEffects.DialogShow.Time * 10 + m.AnimEffects.DialogShow.Mode, 1001},
      {"FormShow", m.AnimEffects.FormShow.Active * 1000 + m.AnimEffects.FormShow.Time * 10 + m.AnimEffects.FormShow.Mode, 1001},
      {"FormHide", m.AnimEffects.FormHide.Active * 1000 + m.AnimEffects.FormHide.Time * 10 + m.AnimEffects.FormHide.Mode, 1001},
      {"DialogHide", m.AnimEffects.DialogHide.Active * 1000 + m.AnimEffects.DialogHide.Time * 10 + m.AnimEffects.DialogHide.Mode, 1001},
      {"Minimizing", m.AnimEffects.Minimizing.Active * 1000 + m.AnimEffects.Minimizing.Time, 1080},
      {"PageChange", m.AnimEffects.PageChange.Active * 1000 + m.AnimEffects.PageChange.Time, 1000},
      {"SkinChanging", m.AnimEffects.SkinChanging.Active * 10000 + m.AnimEffects.SkinChanging.Time * 10 + m.AnimEffects.SkinChanging.Mode, 11000},
      {"ScrollsOptions.ButtonsSize", m.ScrollsOptions.ButtonsSize(), -1},
      {"ScrollsOptions.ScrollSize", m.ScrollsOptions.ScrollSize(), -1},
      {"ButtonsOptions.ShowFocusRect", m.ButtonsOptions.ShowFocusRect, 1},
      {"ButtonsOptions.ShiftContentOnClick", m.ButtonsOptions.ShiftContentOnClick, 1},
      {"ButtonsOptions.AllowRTLSysButtons", m.ButtonsOptions.AllowRTLSysButtons, 1},
      {"ButtonsOptions.ModalButtonsColoring", m.ButtonsOptions.ModalButtonsColoring, bcGlyph},
      {"ButtonsOptions.OldGlyphsMode", m.ButtonsOptions.OldGlyphsMode(), 1},
      {"LabelsOptions.TransparentAlways", m.LabelsOptions.TransparentAlways, 1},
  };
  for (const Row& r : rows) EXPECT_EQ(r.Value, r.Expected) << r.Name;
  EXPECT_EQ(m.SkinDirectory(), L"c:\\Skins");
  EXPECT_EQ(m.SkinName(), L"");
  EXPECT_EQ(m.Version(), L"14.10");
  EXPECT_EQ(m.SkinInfo(), L"N/A");
  // Third-party defaults reach the lists: a single blank everywhere but the buttons.
  for (int i = 0; i < acThirdPartyCount; ++i) {
    const std::vector<std::wstring> expected{i == tpButton ? L"TButton" : L" "};
    EXPECT_EQ(m.ThirdLists[i].Strings(), expected) << TsThirdPartyList::Names[i];
    EXPECT_TRUE(m.ThirdLists[i].CaseSensitive());
  }
}

TEST(SkinManager, DefaultManagerRuleAndTheApplicationWindowHook) {
  const int hooks = Application().MainWindowHookCount();
  auto* first = new TsSkinManager(nullptr);
  auto* second = new TsSkinManager(nullptr);
  EXPECT_EQ(DefaultManager(), first);
  EXPECT_EQ(Application().MainWindowHookCount(), hooks + 1);  // the first hooks, the second not
  second->SetIsDefault(false);
  EXPECT_EQ(DefaultManager(), first);
  second->SetIsDefault(true);
  EXPECT_EQ(DefaultManager(), second);
  EXPECT_FALSE(first->IsDefault());
  // The hook leaves with the manager that set it, default or not: no call reaches a freed one.
  delete first;
  EXPECT_EQ(Application().MainWindowHookCount(), hooks);
  EXPECT_EQ(DefaultManager(), second);
  delete second;
  EXPECT_EQ(DefaultManager(), nullptr);  // nobody takes over the role
  auto* third = new TsSkinManager(nullptr);
  EXPECT_EQ(DefaultManager(), third);
  delete third;
  EXPECT_EQ(Application().MainWindowHookCount(), hooks);
}

TEST(SkinManager, SkinDirectoryIgnoresCaseAndSetsTheFullSkinPath) {
  TsSkinManager m;
  int changes = 0;
  m.OnSkinListChanged = [&](TComponent*) { ++changes; };
  m.SetSkinDirectory(L"D:\\Skins");
  EXPECT_EQ(m.SkinCommonInfo.SkinPath, L"D:\\Skins\\");
  EXPECT_EQ(changes, 1);
  m.SkinCommonInfo.SkinPath = L"kept";
  m.SetSkinDirectory(L"d:\\SKINS");
  EXPECT_EQ(m.SkinDirectory(), L"D:\\Skins");
  EXPECT_EQ(m.SkinCommonInfo.SkinPath, L"kept");
  EXPECT_EQ(changes, 1);
  m.SetSkinDirectory(L"skins");
  EXPECT_EQ(m.SkinCommonInfo.SkinPath, ExeDir() + L"skins\\");
}

TEST(SkinManager, WritersKeepTheirRanges) {
  TsSkinManager m;
  m.SetBrightness(150);
  EXPECT_EQ(m.Brightness(), 100);
  m.SetBrightness(-300);
  EXPECT_EQ(m.Brightness(), -100);
  m.SetHueOffset(400);
  EXPECT_EQ(m.HueOffset(), 400);
  m.Options.PixelsPerInch = 500;
  EXPECT_EQ(m.Options.PixelsPerInch, 384);
  m.Options.PixelsPerInch = 0;
  EXPECT_EQ(m.Options.PixelsPerInch, 48);
  // Indexed properties ignore indexes outside their range.
  m.ThirdParty.SetString(23, L"TFoo");
  m.ThirdParty.SetString(-1, L"TFoo");
  EXPECT_EQ(m.ThirdParty.GetString(23), L"");
  m.ScrollsOptions.SetInt(2, 7);
  EXPECT_EQ(m.ScrollsOptions.GetInt(2), -1);
  m.ScrollsOptions.SetInt(1, 14);
  EXPECT_EQ(m.ScrollsOptions.ScrollSize(), 14);  // index 1 is the scroll size
  EXPECT_EQ(m.ScrollsOptions.ButtonsSize(), -1);
  m.Options.ChangeSysColors = true;
  EXPECT_TRUE(m.Options.GetBoolOption(9));  // any other index reads ChangeSysColors
  m.Options.SetBoolOption(9, false);
  EXPECT_TRUE(m.Options.ChangeSysColors);
  m.Options.SetBoolOption(1, true);
  EXPECT_TRUE(m.Options.NoMouseHover);
  // CommonSections lose their blanks (comments keep them) and the skin is loaded again.
  TStringList lines;
  lines.SetText(L"[MY SECTION]\r\nCOLOR = 255\r\n; a comment\r\n");
  m.SetCommonSections(lines);
  EXPECT_EQ(m.CommonSections.Strings(), (std::vector<std::wstring>{L"[MYSECTION]", L"COLOR=255", L"; a comment"}));
}

TEST(SkinManager, ArrowStyleFollowsTheSkinOnlyByDefault) {
  TsSkinManager m;
  m.SkinCommonInfo.ArrowStyle = arsLines1;
  EXPECT_EQ(m.Options.ActualArrowStyle(), arsLines1);
  m.Options.ArrowsStyle = arsSolid2;
  EXPECT_EQ(m.Options.ActualArrowStyle(), arsSolid2);
}

TEST(SkinManager, OldGlyphsModeIsOneFlagOfTheProcess) {
  TsSkinManager a, b;
  EXPECT_TRUE(a.ButtonsOptions.OldGlyphsMode());
  a.ButtonsOptions.SetOldGlyphsMode(false);
  EXPECT_FALSE(b.ButtonsOptions.OldGlyphsMode());
  b.ButtonsOptions.SetOldGlyphsMode(true);
  EXPECT_TRUE(a.ButtonsOptions.OldGlyphsMode());
}

TEST(SkinManager, IndexQueriesOnALoadedSkin) {
  TsSkinManager m;
  EXPECT_EQ(m.LengthOfGD(), 0);
  EXPECT_EQ(m.GetSkinIndex(L"FORM"), -1);
  EXPECT_TRUE(m.GetSkinSections().empty());
  LoadTestSkin(m);
  ASSERT_TRUE(m.IsActive());
  const int button = m.GetSkinIndex(L"BUTTON");
  ASSERT_GE(button, 0);
  EXPECT_EQ(m.GetSkinIndex(L"button"), -1);  // exact case
  EXPECT_EQ(m.GetSkinIndex(L""), -1);
  EXPECT_TRUE(m.IsValidSkinIndex(button));
  for (int bad : {-1, m.LengthOfGD()}) {
    EXPECT_FALSE(m.IsValidSkinIndex(bad));
    EXPECT_FALSE(m.IsValidImgIndex(bad < 0 ? bad : static_cast<int>(m.ma().size())));
    EXPECT_EQ(m.GetMaskIndex(bad, L"", L"BORDER"), -1);
  }
  const std::vector<std::wstring> names = m.GetSkinSections();
  ASSERT_EQ(static_cast<int>(names.size()), m.LengthOfGD());
  EXPECT_EQ(names[static_cast<std::size_t>(button)], L"BUTTON");
  EXPECT_EQ(&m.gd(), &m.SkinDataArray[0]->gd);
}

TEST(SkinManager, MaskIndexLooksOneParentUp) {
  TsSkinManager m;
  TacSkinData d(&m);
  const int grand = d.AddSection(L"GRAND", -1, 1, 0, 0, 0);
  const int parent = d.AddSection(L"PARENT", -1, 1, 0, 0, 0);
  const int child = d.AddSection(L"CHILD", -1, 1, 0, 0, 0);
  d.gd[parent].ParentClass = L"GRAND";
  d.gd[child].ParentClass = L"PARENT";
  const int inParent = d.AddMask(parent, L"BORDER", 0, 0, 1, TRect{0, 0, 4, 4}, itisaBorder, L"PARENT");
  d.AddMask(grand, L"GLYPH", 0, 0, 1, TRect{0, 0, 4, 4}, itisaGlyph, L"GRAND");
  const int own = d.AddMask(child, L"PATTERN", 0, 0, 1, TRect{0, 0, 4, 4}, itisaTexture, L"CHILD");
  EXPECT_EQ(m.GetMaskIndex(child, L"CHILD", L"PATTERN", &d), own);
  EXPECT_EQ(m.GetMaskIndex(child, L"CHILD", L"BORDER", &d), inParent);
  EXPECT_EQ(m.GetMaskIndex(child, L"CHILD", L"GLYPH", &d), -1);  // two levels up: not searched
  EXPECT_EQ(m.GetMaskIndex(child, L"PARENT", L"BORDER", &d), -1);  // the parent is the section asked for
  EXPECT_EQ(m.GetMaskIndex(child, L"CHILD", L"border", &d), -1);
}

TEST(SkinManager, SkinInfoWritesAPointInEveryLocale) {
  TsSkinManager m;
  EXPECT_EQ(m.SkinInfo(), L"N/A");
  const LCID old = GetThreadLocale();
  SetThreadLocale(MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT));
  LoadTestSkin(m);
  EXPECT_EQ(m.SkinInfo(), L"14.50");
  SetThreadLocale(old);
}

TEST(SkinManager, ScaleQueriesOverTheScaleModes) {
  TsSkinManager m;
  const int system = GetSystemMetrics(SM_CXVSCROLL);
  ASSERT_EQ(m.SysFontScale, 0);  // the test screen has 96 pixels per inch
  struct Case {
    TacScaleMode Mode;
    int PPI, Scale, Target, Scroll;
  } cases[] = {
      {sm100, 96, 0, 96, system},
      {sm125, 96, 1, 120, MulDiv(system, 125, 100)},
      {sm150, 96, 2, 144, MulDiv(system, 150, 100)},
      {sm200, 96, 3, 192, MulDiv(system, 200, 100)},
      {smAuto, 96, 0, 96, system},
      {smOldMode, 96, 0, 96, system},
      {smVCL, 96, 0, 96, system},
      {smCustomPPI, 144, -1, 144, MulDiv(system, 144, 96)},
  };
  for (const Case& c : cases) {
    m.Options.ScaleMode.Store(c.Mode);
    m.Options.PixelsPerInch.Store(c.PPI);
    if (c.Scale >= 0) {
      EXPECT_EQ(m.GetScale(), c.Scale) << c.Mode;
    }
    EXPECT_EQ(TargetPPI(&m), c.Target) << c.Mode;
    EXPECT_EQ(m.ScrollWidth(96), c.Scroll) << c.Mode;
    EXPECT_EQ(m.ScrollHeight(96), c.Scroll) << c.Mode;
  }
  m.Options.ScaleMode.Store(smVCL);
  EXPECT_EQ(m.ScrollWidth(192), system * 2);
  m.ScrollsOptions.SetScrollSize(10);
  EXPECT_EQ(m.ScrollWidth(192), 10);  // unchanged in smVCL
  m.Options.ScaleMode.Store(smCustomPPI);
  m.Options.PixelsPerInch.Store(192);
  EXPECT_EQ(m.ScrollWidth(96), 20);
}

namespace {
// Scale changes seen through OnScaleModeChange.
struct TScaleLog {
  std::vector<TacScaleModeData> Changes;
  void Attach(TsSkinManager& m) {
    m.OnScaleModeChange = [this](TsSkinManager*, const TacScaleModeData& d) { Changes.push_back(d); };
  }
};
}  // namespace

TEST(SkinManager, ScaleModeChanges) {
  TsSkinManager m;
  TScaleLog log;
  log.Attach(m);
  m.Options.PixelsPerInch = 144;  // outside smCustomPPI: only stored
  EXPECT_TRUE(log.Changes.empty());
  m.Options.PixelsPerInch = 96;

  m.Options.ScaleMode = smCustomPPI;
  m.Options.PixelsPerInch = 144;
  ASSERT_EQ(log.Changes.size(), 2u);
  EXPECT_EQ(log.Changes[1].OldPercent, 100);
  EXPECT_EQ(log.Changes[1].NewPercent, 150);
  EXPECT_EQ(log.Changes[1].NewPPI, 144);
  EXPECT_EQ(m.Options.PixelsPerInch, 144);

  m.Options.ScaleMode = sm150;
  m.Options.ScaleMode = smOldMode;
  ASSERT_EQ(log.Changes.size(), 4u);
  const TacScaleModeData& down = log.Changes[3];
  EXPECT_EQ(down.OldMode, sm150);
  EXPECT_EQ(down.NewMode, smOldMode);
  EXPECT_EQ(down.OldPercent, 150);
  EXPECT_EQ(down.NewPercent, 100);  // scaling down
  m.Options.ScaleMode = smOldMode;  // the current mode again: nothing
  EXPECT_EQ(log.Changes.size(), 4u);
  EXPECT_EQ(m.ManagerState, 0u);
  EXPECT_FALSE(m.NoAutoUpdate);
}

TEST(SkinManager, ScaleModeWhileLoadingIsStoredAndScalesTheMessageFont) {
  TFont& font = Screen().MessageFont();
  const int height = font.Height;
  struct TDefinition : TComponent {
    TsSkinManager* M;
    explicit TDefinition(TComponent* owner) : TComponent(owner) {
      M = NewComponent<TsSkinManager>(this);
      M->Options.ScaleMode = sm200;  // while loading
      StateWhileLoading = M->ManagerState;
      ModeWhileLoading = M->Options.ScaleMode;
    }
    unsigned StateWhileLoading = 1;
    TacScaleMode ModeWhileLoading = smOldMode;
  };
  auto* definition = CreateComponent<TDefinition>(nullptr);
  EXPECT_EQ(definition->ModeWhileLoading, sm200);
  EXPECT_EQ(definition->StateWhileLoading, 0u);
  EXPECT_EQ(font.Height, height * 2);
  TComponent::Free(definition);
  font.Height = height;
}

TEST(SkinManager, RaisingScaleStepLeavesNothingSet) {
  for (const wchar_t* failing : {L"FreezeForms", L"UpdateSkinData", L"UpdateAllScale", L"EndUpdate"}) {
    TsSkinManager m;
    Application().Initialize();
    struct TFormWithProvider : TForm {
      explicit TFormWithProvider(TComponent* owner) : TForm(owner) { Provider = new TsSkinProvider(this); }
      TsSkinProvider* Provider;
    };
    auto* form = CreateComponent<TFormWithProvider>(&Application());
    form->SetBorderStyle(bsSingle);
    form->Show();
    form->Provider->SkinManager = &m;
    SetLoadStepObserver([&](const wchar_t* step) {
      if (std::wstring(step) == failing) throw std::runtime_error("step failed");
    });
    EXPECT_THROW(m.Options.ScaleMode = sm125, std::runtime_error) << failing;
    SetLoadStepObserver(nullptr);
    EXPECT_EQ(m.ManagerState & (msScaleChanging | msAnimScaling), 0u) << failing;
    EXPECT_FALSE(m.NoAutoUpdate) << failing;
    // The form draws again: a frozen window would not take the new style's paint.
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    LONG_PTR style = GetWindowLongPtrW(form->Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_VISIBLE) << failing;  // WM_SETREDRAW 0 clears WS_VISIBLE
    TComponent::Free(form);
  }
}

TEST(SkinManager, KeyPixelToTransparent) {
  struct Case {
    std::uint32_t In, Out;
  } cases[] = {{0xFFFF00FFu, 0x00FF00FFu}, {0x00FF00FFu, 0x00FF00FFu}, {0xFFFF00FEu, 0xFFFF00FEu}};
  for (const Case& c : cases) {
    std::uint32_t p = c.In;
    KeyPixelToTransparent(p);
    EXPECT_EQ(p, c.Out) << std::hex << c.In;
  }
}

TEST(SkinManager, PaintShadowColorMap) {
  auto probe = [](TBitmap& b, int x, int y) {
    TPixels32 p;
    EXPECT_TRUE(GetPixels32(&b, p));
    return p.Row(y)[x];
  };
  const TColor L = 0x0000FF, B = 0x00FF00, R = 0xFF0000, T = 0x00FFFF;  // red, green, blue, yellow
  TBitmap one;
  one.SetPixelFormat(pf32bit);
  one.SetSize(10, 8);
  PaintShadowColorMap(&one, TRect{0, 0, 10, 8}, L, B, R, 0xFF00FF);
  EXPECT_EQ(probe(one, 0, 0), 0xFFFF0000u);  // all ColorL, opaque
  EXPECT_EQ(probe(one, 9, 7), 0xFFFF0000u);

  TBitmap four;
  four.SetPixelFormat(pf32bit);
  four.SetSize(10, 8);
  PaintShadowColorMap(&four, TRect{0, 0, 10, 8}, L, B, R, T);
  EXPECT_EQ(probe(four, 5, 0) & 0xFFFFFF, 0xFFFF00u);  // top: ColorT
  EXPECT_EQ(probe(four, 5, 7) & 0xFFFFFF, 0x00FF00u);  // bottom: ColorB
  EXPECT_EQ(probe(four, 0, 4) & 0xFFFFFF, 0xFF0000u);  // left triangle: ColorL
  EXPECT_EQ(probe(four, 9, 4) & 0xFFFFFF, 0x0000FFu);  // right triangle: ColorR
}

TEST(SkinManager, CopyGenStateGivesTheGradientItsOwnArray) {
  TsGenState src;
  src.Color = 0x123456;
  src.Transparency = 40;
  src.GradientArray.resize(2);
  src.GradientArray[1].Color = 0xABCDEF;
  TsGenState dest;
  CopyGenState(dest, src);
  EXPECT_EQ(dest.Color, 0x123456);
  EXPECT_EQ(dest.Transparency, 40);
  ASSERT_EQ(dest.GradientArray.size(), 2u);
  EXPECT_EQ(dest.GradientArray[1].Color, 0xABCDEFu);
  src.GradientArray[1].Color = 0;
  EXPECT_EQ(dest.GradientArray[1].Color, 0xABCDEFu);
}

namespace {
// Closes every message box of this thread as it appears, keeping its text.
struct TBoxCloser {
  static inline std::vector<std::wstring> Texts;
  static inline HHOOK Hook = nullptr;
  static LRESULT CALLBACK Proc(int code, WPARAM w, LPARAM l) {
    if (code == HCBT_ACTIVATE) {
      HWND box = reinterpret_cast<HWND>(w);
      wchar_t cls[32] = {};
      GetClassNameW(box, cls, 32);
      if (std::wstring(cls) == L"#32770") {
        wchar_t text[256] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 256);
        Texts.push_back(text);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      }
    }
    return CallNextHookEx(Hook, code, w, l);
  }
  TBoxCloser() {
    Texts.clear();
    Hook = SetWindowsHookExW(WH_CBT, Proc, nullptr, GetCurrentThreadId());
  }
  ~TBoxCloser() { UnhookWindowsHookEx(Hook); }
};
}  // namespace

TEST(SkinManager, AcVerShowsTheVersionBoxOnce) {
  struct Case {
    std::vector<std::wstring> Args;
    std::vector<std::wstring> Texts;
  } cases[] = {
      {{L"Tarvel.exe", L"--log", L"/ACVER", L"/acver"}, {L"Orvantic v14.10"}},
      {{L"Tarvel.exe", L"/acver2"}, {}},
  };
  for (const Case& c : cases) {
    SetParamsOverride(c.Args);
    TBoxCloser closer;
    SkinManagerUnitCleanup();
    SkinManagerUnitStartup();
    EXPECT_EQ(TBoxCloser::Texts, c.Texts) << c.Args.back();
    SetParamsOverride({});
  }
  EXPECT_NE(SetProcessDPIAwareEntry, nullptr);
  EXPECT_NE(Screen().Cursor(crPipette), LoadCursorW(nullptr, IDC_ARROW));
}
