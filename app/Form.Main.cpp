#include "app/Form.Main.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Resources.h"
#include "platform/runtime/Strings.h"
#include "skin/manager/sStoredSkins.h"

namespace {
// The system colour of button faces, as a colour value that names a system colour.
constexpr std::int32_t kBtnFaceColor = static_cast<std::int32_t>(0xFF000000u | COLOR_BTNFACE);

// The skins the program carries: each one's packed bytes are a data resource of the
// program, made at build time by tools/make_skin.py from resources/skins/.
struct TStoredSkinResource {
  const wchar_t* Name;
  const wchar_t* Resource;
  const wchar_t* OriginName;
};
constexpr TStoredSkinResource StoredSkins[] = {
    {L"Lusmere II (internal)", L"SKIN_LUSMERE_II", L"Lusmere II"},
};

// The class names the engine takes over, by kind.
struct TThirdPartyEntry {
  TacThirdPartyIndex Index;
  const wchar_t* Names;
};
constexpr TThirdPartyEntry ThirdPartyLists[] = {
    {tpEdit,
     L"TEdit\r\nTMemo\r\nTMaskEdit\r\nTSpinEdit\r\nTLabeledEdit\r\nTHotKey\r\nTListBox\r\nTSearchBox\r\nTCheckListBox\r\n"
     L"TRichEdit\r\nTDateTimePicker\r\nTCategoryButtons\r\nTFileListBox\r\n"},
    {tpButton, L"TButton\r\n"},
    {tpBitBtn, L"TBitBtn\r\n"},
    {tpCheckBox, L"TCheckBox\r\nTRadioButton\r\nTGroupButton\r\n"},
    {tpGroupBox, L"TGroupBox\r\nTRadioGroup\r\n"},
    {tpListView, L"TListView\r\n"},
    {tpPanel, L"TGridPanel\r\nTPanel\r\nTPage\r\nTTabPage\r\n"},
    {tpGrid, L"TStringGrid\r\nTDrawGrid\r\nTValueListEditor\r\n"},
    {tpTreeView, L"TTreeView\r\n"},
    {tpComboBox, L"TComboBox\r\nTComboBoxEx\r\nTColorBox\r\n"},
    {tpPageControl, L"TPageControl\r\n"},
    {tpTabControl, L"TTabControl\r\nTTabbedNotebook\r\n"},
    {tpToolBar, L"TToolBar\r\n"},
    {tpStatusBar, L"TStatusBar\r\n"},
    {tpSpeedButton, L"TSpeedButton\r\n"},
    {tpScrollControl, L"TScrollBox\r\n"},
    {tpUpDown, L"TSpinButton\r\nTUpDown\r\n"},
    {tpScrollBar, L"TScrollBar\r\n"},
    {tpStaticText, L"TStaticText\r\n"},
    {tpwwEdit, L" \r\n"},
    {tpVirtualTree, L" \r\n"},
    {tpGridEh, L" \r\n"},
    {tpNativePaint, L" \r\n"},
};

// Wine keeps an owned window above its owner, so the border window of the extended frame
// stands over its form and shows the client through a hole in its shape; the X servers the
// shell meets there (Xvfb, with or without a compositing manager) draw that hole of a 32-bit
// window black instead of the form below it. Under Wine the shell's forms keep their own
// skinned frame.
bool LayeredFramesUnreliable() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void LogSkinFailure(const wchar_t* step, std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    CodeSite().SendError(std::wstring(step) + L": " + e.Message());
  } catch (const std::exception& e) {
    CodeSite().SendError(std::wstring(step) + L": " + Utf8ToWide(e.what()));
  } catch (...) {
    CodeSite().SendError(std::wstring(step) + L": unknown failure");
  }
}
}  // namespace

TFormMain::TFormMain(TComponent* AOwner) : TForm(AOwner) {
  // The form definition: the components and their values, then their Loaded.
  TLoadingPhase definition(this);
  SetCaption(L"FormMain");
  SetClientSize(635, 260);
  SetColor(kBtnFaceColor);
  Font.Name = std::wstring(L"Tahoma");
  Font.Height = -11;

  SkinProvider = NewComponent<TsSkinProvider>(this);
  SkinProvider->Name = L"SkinProvider";
  SkinProvider->WriteCaptionAlignment(taCenter);
  AppEvents = NewComponent<TApplicationEvents>(this);
  AppEvents->Name = L"AppEvents";
  ActionList = NewComponent<TActionList>(this);
  ActionList->Name = L"ActionList";
  SkinManager = NewComponent<TsSkinManager>(this);
  SkinManager->Name = L"SkinManager";
  SkinProvider->SkinManager = SkinManager;

  TsSkinManager& m = *SkinManager;
  m.AnimEffects.BlendOnMoving.Active = true;
  m.AnimEffects.BlendOnMoving.Time = 150;
  for (TacFormAnimation* a : std::initializer_list<TacFormAnimation*>{
           &m.AnimEffects.DialogShow, &m.AnimEffects.FormShow, &m.AnimEffects.FormHide, &m.AnimEffects.DialogHide,
           &m.AnimEffects.PageChange})
    a->Time = 100;
  m.ButtonsOptions.SetOldGlyphsMode(false);
  m.ButtonsOptions.ShowFocusRect = false;
  m.ButtonsOptions.ShiftContentOnClick = false;
  m.SetExtendedBorders(true);
  for (const TStoredSkinResource& stored : StoredSkins) {
    TsStoredSkin* skin = m.InternalSkins().Add();
    skin->Name = stored.Name;
    skin->OrigName = stored.OriginName;
    // A missing resource leaves the skin without data, which the loader skips.
    if (RCDataExists(nullptr, stored.Resource)) skin->PackedData = std::make_unique<TResourceStream>(nullptr, stored.Resource);
  }
  m.Options.ChangeSysColors = true;
  m.Options.OptimizingPriority = opMemory;
  m.Options.ScaleMode = smAuto;
  m.Fonts.MainMode = fmFromSkin;
  m.SetSkinName(L"Lusmere II (internal)");
  for (const TThirdPartyEntry& list : ThirdPartyLists) m.ThirdParty.SetString(list.Index, list.Names);
  // The skins folder beside the executable already here: Loaded loads the skin, and must
  // never read one from the component's default folder.
  m.SetSkinDirectory(ExeDir() + L"skins\\");
  try {
    definition.Finish(this);
  } catch (...) {
    // A skin that fails at start leaves an unskinned shell, not a dead one.
    LogSkinFailure(L"Skin at start", std::current_exception());
  }

  SkinManager->SetSkinDirectory(ExeDir() + L"skins\\");
  ApplySkin(GlobalSettings()->Config().Skin);
}

void TFormMain::ApplySkin(const TCfgSkin& ASkin) {
  TsSkinManager& m = *SkinManager;
  m.BeginUpdate();
  try {
    m.SetActive(ASkin.Active);
    m.SetSkinName(Trim(ASkin.Name));
    m.SetHueOffset(ASkin.HueOffset);
    m.SetSaturation(ASkin.Saturation);
    m.SetBrightness(ASkin.Brightness);
    m.SetExtendedBorders(ASkin.ExtendedBorders && !LayeredFramesUnreliable());
    m.Options.DrawNonClientArea = ASkin.DrawNonClient;
    m.AnimEffects.BlendOnMoving.Active = ASkin.BlendForm;
  } catch (...) {
    LogSkinFailure(L"Skin settings", std::current_exception());
  }
  try {
    m.EndUpdate(true, false);
  } catch (...) {
    LogSkinFailure(L"Skin settings", std::current_exception());
  }
}
