#include "skin/manager/sSkinManager.h"

#include "skin/graphics/acHideAnim.h"
#include "skin/manager/sConst.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "platform/runtime/Threads.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acFontStore.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sDPI.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/graphics/acGdiPlus.h"
#include "skin/graphics/acGradient.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/controls/acGlow.h"
#include "skin/controls/acPopupController.h"
#include "skin/controls/acShellCtrls.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/graphics/acAnimation.h"
#include "skin/manager/acSkinList.h"
#include "skin/manager/acSkinnedForms.h"
#include "skin/manager/sStoredSkins.h"
#include "skin/manager/sSkinManager.SysColors.h"

std::unique_ptr<std::vector<std::wstring>> PreviewSkinText;
std::function<void(bool Active)> SkinActiveNotification;
bool acTaskbarPreviews = false;

namespace {

TsSkinManager* gDefaultManager = nullptr;
TacSkinMessageSink gMessageSink;
TacLoadStepObserver gStepObserver;

// Fonts a skin may carry: more than a skin ever names, few enough that a hostile count
// costs nothing.
constexpr int MaxSkinFonts = 64;

void ShowSkinMessage(TacSkinMessageKind kind, const std::wstring& text) {
  if (gMessageSink) {
    gMessageSink(kind, text);
    return;
  }
  switch (kind) {
    case smkPlain: ShowMessage(text); break;
    case smkWarning: MessageDlg(text, mtWarning, {mbOK}); break;
    case smkError: ShowErrorMessage(text); break;
  }
}

void Step(const wchar_t* name) {
  if (gStepObserver) gStepObserver(name);
}

std::wstring OptionsText(const std::string& bytes) { return DecodeTextBytesAnsi(bytes); }

}  // namespace

void SetSkinMessageSink(TacSkinMessageSink Sink) { gMessageSink = std::move(Sink); }
void SetLoadStepObserver(TacLoadStepObserver Observer) { gStepObserver = std::move(Observer); }
TsSkinManager* DefaultManager() { return gDefaultManager; }

TsSkinManager::TsSkinManager(TComponent* owner)
    : TComponent(owner),
      Options(this),
      Effects(this),
      AnimEffects(this),
      ScrollsOptions(this),
      ButtonsOptions(this),
      Fonts(this),
      FBuiltInSkins(std::make_unique<TsStoredSkins>(this)),
      EmbeddedFonts(std::make_unique<TacEmbeddedFonts>(this)),
      SkinListController(std::make_unique<TacSkinListController>(this)) {
  SkinableMenus = std::make_unique<TsSkinableMenus>(this);
  ResetSkinData();
  SysFontScale = PPIToScaleIndex(static_cast<unsigned>(Screen().MainFormPixelsPerInch()));
  for (TStringList& list : ThirdLists) list.SetCaseSensitive(true);
  SkinCommonInfo.SysInactiveBorderColor = ColorToRGB(clSystemColor | COLOR_INACTIVEBORDER);
  if (!gDefaultManager) {
    gDefaultManager = this;
    FHookId = Application().HookMainWindow([this](TMessage& message) { return MainWindowHookProc(message); });
  }
  FActive = true;
  TimerCheckHot = new TTimer(this);
  TimerCheckHot->SetInterval(100);
  // Timers tick on the UI thread only: a manager made before there is one never tracks.
  if (IsMainThread()) TimerCheckHot->SetOnTimer([this] { CheckHotControl(); });
}

TsSkinManager::~TsSkinManager() {
  // What the default manager installed goes with it: nothing may call into a freed manager.
  if (IsDefault()) {
    UnInstallHook();
    SysColorsOff();
  }
  if (IsActive() && OnDeactivate) {
    try {
      OnDeactivate(this);
    } catch (...) {
    }
  }
  ResetSkinData();
  FExtendedBorders = false;
  delete TimerCheckHot;
  TimerCheckHot = nullptr;
  // The hook goes with the manager that set it, also when another manager took the
  // default role meanwhile: the application window must never call a freed manager.
  if (FHookId) Application().UnhookMainWindow(FHookId);
  FHookId = 0;
  if (gDefaultManager == this) gDefaultManager = nullptr;
  for (int i = 0; i < acThirdPartyCount; ++i)
    ThirdParty.SetString(i, ThirdLists[static_cast<std::size_t>(i)].Text());
  for (HBRUSH& brush : Brushes)
    if (brush) ReleaseClassBrush(brush), DeleteObject(brush), brush = nullptr;
}

void TsSkinManager::AfterConstruction() {
  TComponent::AfterConstruction();
  FillThirdPartyDefaults();
  if (FSkinDirectory.empty()) FSkinDirectory = L"c:\\Skins";
  SkinListController->UpdateIfNeeded(false);
}

void TsSkinManager::BeforeDestruction() {
  if (IsActive() && OnDeactivate) OnDeactivate(this);
  OnDeactivate = nullptr;  // told once
  delete TimerCheckHot;  // before the owned components go, so it is never freed twice
  TimerCheckHot = nullptr;
  TComponent::BeforeDestruction();
}

void TsSkinManager::FillThirdPartyDefaults() {
  for (int i = 0; i < acThirdPartyCount; ++i) {
    if (ThirdParty.GetString(i).empty()) ThirdParty.SetString(i, i == tpButton ? L"TButton" : L" ");
    ThirdLists[static_cast<std::size_t>(i)].SetText(ThirdParty.GetString(i));
  }
}

void TsSkinManager::ResetSkinData() {
  // Glows are released here once the image lists bring them.
  SkinCommonInfo.Active = false;
  SkinCommonInfo.Sections.fill(-1);
  ClearSkinData();
}

// ---------------------------------------------------------------------------
// Hot tracking
// ---------------------------------------------------------------------------

namespace {
bool CursorInWindow(HWND wnd) {
  POINT p{};
  RECT r{};
  return GetCursorPos(&p) && GetWindowRect(wnd, &r) && PtInRect(&r, p);
}
}  // namespace

void TsSkinManager::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent && AComponent == FActiveGraphControl)
    FActiveGraphControl = nullptr;
}

void TsSkinManager::CheckHotControl() {
  if (!FActiveControl || (ManagerState & msAnimScaling)) return;
  if (!IsWindow(FActiveControl)) {
    // Its window went without telling us: nothing is left to hear a leave.
    FActiveControl = nullptr;
  } else if (!CursorInWindow(FActiveControl)) {
    SwitchHotControl(nullptr);
  }
  if (FActiveGraphControl && !FActiveGraphControl->Destroying() && !IsMouseOverControl(FActiveGraphControl))
    PerformSkinCommand(FActiveGraphControl, SKCMD_MOUSE_LEAVE, reinterpret_cast<LPARAM>(FActiveGraphControl));
}

void TsSkinManager::SwitchHotControl(HWND Wnd) {
  if (Wnd == FActiveControl) return;
  if (FActiveControl && !IsWindow(FActiveControl)) FActiveControl = nullptr;
  // The cursor moved from a hot child back onto its parent's message: the child stays hot.
  if (FActiveControl && Wnd && CursorInWindow(FActiveControl) && IsWindowWithin(FActiveControl, Wnd)) return;
  if (FActiveControl && FActiveGraphControl) SwitchHotGraphControl(nullptr);
  if (FActiveGraphControl) {
    if (FActiveControl) SendSkinCommand(FActiveControl, SKCMD_MOUSE_LEAVE, reinterpret_cast<LPARAM>(this));
    return;
  }
  const HWND previous = FActiveControl;
  FActiveControl = Wnd;
  if (previous) SendSkinCommand(previous, SKCMD_MOUSE_LEAVE, reinterpret_cast<LPARAM>(this));
  if (Wnd) SendSkinCommand(Wnd, SKCMD_MOUSE_ENTER, reinterpret_cast<LPARAM>(this));
}

void TsSkinManager::SwitchHotGraphControl(TControl* Ctrl) {
  if ((Owner() && Owner()->Destroying()) || Ctrl == FActiveGraphControl) return;
  if (!Ctrl && FActiveGraphControl && !FActiveGraphControl->Destroying()) {
    const auto* state =
        reinterpret_cast<const TsCommonData*>(PerformSkinCommand(FActiveGraphControl, SKCMD_GET_COMMON_DATA, 0));
    if (state && state->FMouseAbove) return;
  }
  TControl* previous = FActiveGraphControl;
  FActiveGraphControl = Ctrl;
  // Told of its destruction, so the manager never points at a freed control.
  if (Ctrl) FreeNotification(Ctrl);
  if (previous) {
    RemoveFreeNotification(previous);
    if (!previous->Destroying())
      PerformSkinCommand(previous, SKCMD_MOUSE_LEAVE, reinterpret_cast<LPARAM>(this));
  }
}

// ---------------------------------------------------------------------------
// Published properties
// ---------------------------------------------------------------------------

namespace {
bool IsLoading(const TComponent* c) { return (c->ComponentState() & (csLoading | csReading)) != 0; }
}  // namespace

bool TsSkinManager::IsDefault() const { return gDefaultManager == this; }

void TsSkinManager::SetIsDefault(bool Value) {
  if (!Value) return;  // the role is only taken, never given away
  gDefaultManager = this;
  if (FActive)
    BroadcastNewSkin(true);
  else
    BroadcastRemoveSkin();
}

void TsSkinManager::SetActive(bool Value) {
  if (Value != FActive) {
    FActive = Value;
    if (Value) {
      SetSkinName(FSkinName);
    } else if (!FSkinName.empty()) {
      if (!IsLoading(this)) BroadcastRemoveSkin();
      ResetSkinData();
      UpdateStdDialogsFlag();
      if (OnDeactivate) OnDeactivate(this);
    }
  }
  SkinListController->SendSkinChanged();
}

void TsSkinManager::LoadSkinForCurrentDensity() {
  FLoadPending = false;
  ManagerState |= msSkinChanging;
  ResetSkinData();
  SkinFile = nullptr;
  try {
    PrepareSkinData();
  } catch (...) {
    // Nothing half-loaded stays behind.
    sc.reset();
    ResetSkinData();
    ManagerState &= ~msSkinChanging;
    throw;
  }
  ManagerState &= ~msSkinChanging;
  // Loaded when a source was found and read to the end.
  if (FActive && SkinFile && LengthOfGD() > 0)
    SkinCommonInfo.Active = true;
  else
    ResetSkinData();
}

namespace {
// Runs a load; an error a corrupt skin can cause comes out as our exception (its text kept),
// so no skin ends the program; any other exception passes on.
template <class F>
void AsSkinError(F&& load) {
  try {
    load();
  } catch (const Exception&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw Exception(L"Not enough memory to load the skin");
  } catch (const std::length_error& e) {
    throw Exception(L"The skin holds a size that cannot be used: " + Utf8ToWide(e.what()));
  }
}
}  // namespace

bool TsSkinManager::TryLoadSkin(const std::wstring& RestoreName) {
  try {
    AsSkinError([this] { LoadSkinForCurrentDensity(); });
    return true;
  } catch (const Exception& e) {
    // A skin that cannot be read: the name before it comes back and the reason is shown.
    CodeSite().SendError(L"Skin \"" + FSkinName + L"\" not loaded: " + e.Message());
    FSkinName = RestoreName;
    ShowSkinMessage(smkError, e.Message());
  }
  // The skin shown before is loaded again, so the announcement tells of a whole skin.
  if (FActive && !RestoreName.empty()) {
    try {
      AsSkinError([this] { LoadSkinForCurrentDensity(); });
    } catch (const Exception& e) {
      CodeSite().SendError(L"Skin \"" + FSkinName + L"\" not loaded again: " + e.Message());
      ResetSkinData();
    }
  }
  return false;
}

void TsSkinManager::SetSkinName(const std::wstring& Value) {
  const std::wstring oldName = FSkinName;
  FSkinName = Value;
  if (FActive) {
    if (IsLoading(this)) {
      FLoadPending = true;
      return;
    }
    const bool wasActive = IsActive();
    if (OnBeforeChange) OnBeforeChange(this);
    // The covers end on every way out, and AnimationInProgress gets its value back.
    TacSkinChangeCoversGuard covers(this);
    if (ReadExtendedBorders() && !NoAutoUpdate && AnimEffects.SkinChanging.Active && Effects.AllowAnimation)
      covers.Begin();
    const bool outerChange = (ManagerState & msSkinChanging) != 0;
    ManagerState |= msSkinChanging;
    struct TClear {
      unsigned& state;
      bool keep;
      ~TClear() {
        if (!keep) state &= ~msSkinChanging;
      }
    } clear{ManagerState, outerChange};
    if (FSkinName.size() > 4 && SameText(std::wstring_view(FSkinName).substr(FSkinName.size() - 4), L".ovz"))
      FSkinName.resize(FSkinName.size() - 4);
    TryLoadSkin(oldName);
    // Only a complete skin is announced; none at all is announced as removed.
    if (!FActive || !SkinCommonInfo.Active)
      BroadcastRemoveSkin();
    else if (!NoAutoUpdate)
      BroadcastNewSkin(true);
    covers.End(!NoAutoUpdate);
    if (!wasActive && FActive && IsActive() && OnActivate) OnActivate(this);
    if (!outerChange) ManagerState &= ~msSkinChanging;
    if (!NoAutoUpdate && OnAfterChange) OnAfterChange(this);
  }
  if (!(ManagerState & msSkinChanging)) SkinListController->SendSkinChanged();
  UpdateStdDialogsFlag();
}

void TsSkinManager::SetSkinDirectory(const std::wstring& Value) {
  if (SameText(Value, FSkinDirectory)) return;
  FSkinDirectory = Value;
  SkinCommonInfo.SkinPath = GetFullSkinDirectory();
  SkinListController->Clear(true, true);
  if (!IsLoading(this)) SkinListController->UpdateIfNeeded(false);
  if (OnSkinListChanged) OnSkinListChanged(this);
}

void TsSkinManager::SetSkinsFilter(unsigned Value) {
  if (Value == FSkinsFilter) return;
  FSkinsFilter = Value;
  SkinListController->Clear(true, false);
  if (OnSkinListChanged) OnSkinListChanged(this);
}

void TsSkinManager::SetSkinnedPopups(bool Value) {
  if (FSkinnedPopups == Value) return;
  FSkinnedPopups = Value;
  if (!Designing() && IsDefault() && Value) SkinableMenus->UpdateMenus();
}

void TsSkinManager::SetInternalSkins(const TsStoredSkins& Value) { FBuiltInSkins->Assign(Value); }

void TsSkinManager::SetCommonSections(const TStringList& Value) {
  CommonSections.Assign(Value);
  for (int i = 0; i < CommonSections.Count(); ++i) {
    std::wstring& line = CommonSections[i];
    if (line.empty() || line[0] == L';') continue;
    line.erase(std::remove(line.begin(), line.end(), L' '), line.end());
  }
  SetSkinName(FSkinName);
}

void TsSkinManager::SetSkinningRules(unsigned Value) {
  FSkinningRules = Value;
  UpdateStdDialogsFlag();
}

void TsSkinManager::SetColorAdjustment(int Index, int Value) {
  int* field = nullptr;
  switch (Index) {
    case 0:
      field = &FBrightness;
      Value = std::clamp(Value, -100, 100);
      break;
    case 1: field = &FHueOffset; break;
    case 2: field = &FSaturation; break;
    default: return;
  }
  if (*field == Value) return;
  *field = Value;
  UpdateSkinData();
}

std::wstring TsSkinManager::SkinInfo() const {
  if (!IsActive()) return L"N/A";
  // Two decimals with a point whatever the locale says.
  const long long hundredths = std::llround(SkinCommonInfo.Version * 100.0);
  const long long whole = hundredths / 100, part = std::llabs(hundredths % 100);
  wchar_t text[48];
  swprintf(text, 48, L"%s%lld.%02lld", hundredths < 0 && whole == 0 ? L"-" : L"", whole, part);
  return text;
}

// ---------------------------------------------------------------------------
// The skin change: the broadcasts of a new or removed skin, updates, fonts and densities
// ---------------------------------------------------------------------------

namespace {
TMessage SkinMessage(WORD command, LPARAM lParam) {
  return TMessage{SM_SKINCOMMAND, SkinCommandWParam(command), lParam, 0};
}
// Clears a ManagerState bit on every way out.
struct TStateBit {
  unsigned& state;
  unsigned bit;
  TStateBit(unsigned& s, unsigned b) : state(s), bit(b) { state |= bit; }
  ~TStateBit() { state &= ~bit; }
};
}  // namespace

void TsSkinManager::BroadcastNewSkin(bool Repaint) {
  if (IsLoading(this)) return;
  TStateBit broadcasting(ManagerState, msBroadcasting);
  // A skin named while the form definition loaded is loaded by its first announcement.
  if (FActive && FLoadPending && !FSkinName.empty()) {
    TryLoadSkin(FSkinName);
    if (!SkinCommonInfo.Active) return;
  }
  if (IsDefault()) ReleaseAllGlows();
  if (Repaint) ShowSkinChangeCovers(this);
  SkinableMenus->SkinBorderWidth = -1;
  SkinCommonInfo.Active = false;
  struct TBackOn {
    TacSkinCommonInfo& info;
    bool complete;
    ~TBackOn() { info.Active = complete; }
  } backOn{SkinCommonInfo, LengthOfGD() > 0};
  BroadcastToAppForms(SkinMessage(SKCMD_NEW_SKIN, reinterpret_cast<LPARAM>(this)));
  SkinCommonInfo.Active = backOn.complete;
  if (IsDefault() && !GlobalHookInstalled) InstallHook();
  if (Fonts.MainMode == fmFromSkin)
    ChangeAppFont(SkinCommonInfo.MainFont.empty() ? DefStoredFontName : SkinCommonInfo.MainFont, false);
  // Menus: backgrounds of the old skin go; the application's menus become skinned.
  if (IsDefault()) {
    ClearMenuInfos();
    SkinableMenus->UpdateMenus();
  }
  if (Repaint) RepaintForms(false);
}

void TsSkinManager::BroadcastRemoveSkin() {
  TStateBit removing(ManagerState, msSkinRemoving);
  if (Fonts.MainMode == fmFromSkin && !Application().Terminated()) ChangeAppFont(DefStoredFontName, false);
  ReleaseAllGlows();
  UnInstallHook();
  ResetSkinData();
  BroadcastToAppForms(SkinMessage(SKCMD_REMOVE_SKIN, reinterpret_cast<LPARAM>(this)));
  FMasterBitmap = std::make_unique<TBitmap>();
  if (IsDefault()) {
    ClearMenuInfos();
    SkinableMenus->UpdateMenus();
  }
}

void TsSkinManager::UpdateSkin(bool Repaint) {
  if (FActive) BroadcastNewSkin(Repaint);
}

void TsSkinManager::EndUpdate(bool Repaint, bool AllowAnimation) {
  NoAutoUpdate = false;
  const bool animation = AnimEffects.SkinChanging.Active;
  if (!AllowAnimation) AnimEffects.SkinChanging.Active = false;
  try {
    UpdateSkin(Repaint);
  } catch (...) {
    AnimEffects.SkinChanging.Active = animation;
    throw;
  }
  AnimEffects.SkinChanging.Active = animation;
  if (OnAfterChange) OnAfterChange(this);
}

void TsSkinManager::UpdateSkinData() {
  if (!FActive || IsLoading(this)) return;
  {
    TStateBit changing(ManagerState, msSkinChanging);
    const bool loaded = TryLoadSkin(FSkinName);
    (void)loaded;
    if (!(ManagerState & msScaleChanging)) {
      if (SkinCommonInfo.Active)
        BroadcastNewSkin(true);
      else
        BroadcastRemoveSkin();
    }
  }
  if (NoAutoUpdate) return;
  if (OnAfterChange) OnAfterChange(this);
  if (!(ManagerState & msScaleChanging)) RepaintForms(true);
}

void TsSkinManager::RepaintForms(bool DoLockForms) {
  const LPARAM self = reinterpret_cast<LPARAM>(this);
  BroadcastToAppForms(SkinMessage(SKCMD_STOP_ANIMATION, self));
  if (IsLoading(this)) {
    BroadcastToAppForms(SkinMessage(SKCMD_REFRESH, self));
  } else {
    if (DoLockForms) ShowSkinChangeCovers(this);
    try {
      BroadcastToAppForms(SkinMessage(SKCMD_REFRESH, self));
    } catch (...) {
      EndSkinChangeAnimation(this, false);
      throw;
    }
    EndSkinChangeAnimation(this, !NoAutoUpdate);
  }
  if (!HookedProviders) return;
  for (std::size_t i = 0; HookedProviders && i < HookedProviders->size(); ++i) {
    TacProvider* p = (*HookedProviders)[i];
    if (!p || !p->ListSW) continue;
    HWND wnd = p->ListSW->CtrlHandle;
    if (wnd && IsWindow(wnd) && IsWindowVisible(wnd))
      RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
  }
}

void TsSkinManager::UpdateSkinSection(const std::wstring& SectionName) {
  std::wstring upper = UpperCase(SectionName);
  BroadcastToAppForms(SkinMessage(SKCMD_SECTION_CHANGED, reinterpret_cast<LPARAM>(upper.c_str())));
}

void TsSkinManager::StoreDefFont() {
  if (!DefStoredFontName.empty()) return;
  TForm* main = Application().MainForm();
  DefStoredFontName = main ? static_cast<std::wstring>(main->Font.Name) : Application().DefaultFontName();
  DefOldFontName = DefStoredFontName;
}

void TsSkinManager::ChangeAppFont(const std::wstring& FontName, bool DoLockForms) {
  if (FontName == DefOldFontName) return;
  TStateBit changing(ManagerState, msFontChanging);
  TacSkinChangeCoversGuard covers(this);
  if (DoLockForms) {
    covers.Begin();
    ShowSkinChangeCovers(this);
  }
  DefNewFontName = FontName;
  MenuSupport.WriteCustomFont(MenuSupport.CustomFont());
  StoreDefFont();
  BroadcastToAppForms(SkinMessage(SKCMD_FONT_CHANGED, reinterpret_cast<LPARAM>(this)));
  if (OnFontChanged) OnFontChanged(this, DefOldFontName, FontName);
  DefOldFontName = FontName;
  if (DoLockForms) covers.End(!NoAutoUpdate);
}

bool TsSkinManager::UpdateFontName(TControl* Ctrl) {
  if (!Ctrl) return false;
  const std::wstring& newName = IsActive() ? DefNewFontName : DefStoredFontName;
  if (Ctrl->Parent() && Ctrl->Parent()->ParentFont()) return false;
  const std::wstring name = Ctrl->Font.Name;
  if (name != DefOldFontName && name != DefStoredFontName) return false;
  auto* win = dynamic_cast<TWinControl*>(Ctrl);
  if ((win && win->HandleAllocated()) || (!win && Ctrl->Parent())) {
    Ctrl->Font.Name = newName;
    return true;
  }
  return false;
}

void TsSkinManager::UpdateScale(TWinControl* Ctrl, int iCurrentPPI, int iNewPPI) {
  if (!Ctrl) return;
  auto* form = dynamic_cast<TForm*>(Ctrl);
  if (form) form->Scaled = Options.ScaleMode == smVCL;
  if (Options.ScaleMode == smVCL && (iNewPPI == 0 || iNewPPI == iCurrentPPI)) return;
  StoreDefFont();
  if (iNewPPI == 0) {
    iCurrentPPI = static_cast<int>(PerformSkinCommand(Ctrl, SKCMD_GET_PPI, 1));
    if (iCurrentPPI == 0) iCurrentPPI = 96;
    if (Options.ScaleMode == smCustomPPI) {
      iNewPPI = Options.PixelsPerInch;
    } else {
      if (iCurrentPPI == -1) return;  // the control does not allow scaling
      static constexpr int StepPPI[] = {96, 120, 144, 192};
      iNewPPI = StepPPI[std::clamp(GetScale(), 0, 3)];
    }
  }
  // A density below 1 cannot be scaled from (and a caller's 0 would divide by it).
  if (iCurrentPPI < 1 || iNewPPI < 1) return;
  if (iCurrentPPI == iNewPPI) return;
  TStateBit scaling(ManagerState, msFormScaling);
  Ctrl->SetCurrentPPI(iNewPPI);
  int clientWidth = 0, clientHeight = 0;
  if (form) {
    clientWidth = MulDiv(form->ClientWidth(), iNewPPI, iCurrentPPI);
    clientHeight = MulDiv(form->ClientHeight(), iNewPPI, iCurrentPPI);
  } else {
    const TRect r = Ctrl->ClientRect();
    clientWidth = MulDiv(r.Right - r.Left, iNewPPI, iCurrentPPI);
    clientHeight = MulDiv(r.Bottom - r.Top, iNewPPI, iCurrentPPI);
  }
  const TRect oldBounds = Ctrl->BoundsRect();
  const bool animation = Effects.AllowAnimation;
  Effects.AllowAnimation = false;
  // The window is not seen half-scaled: its redraw is held off and it is redrawn once after.
  const bool hold = Ctrl->HandleAllocated() && IsWindowVisible(Ctrl->Handle());
  if (hold) SendMessageW(Ctrl->Handle(), WM_SETREDRAW, 0, 0);
  struct TRestore {
    TsSkinManager* m;
    TWinControl* c;
    bool animation, hold;
    ~TRestore() {
      if (hold && c->HandleAllocated()) {
        SendMessageW(c->Handle(), WM_SETREDRAW, 1, 0);
        RedrawWindow(c->Handle(), nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
      }
      m->Effects.AllowAnimation = animation;
    }
  } restore{this, Ctrl, animation, hold};
  Ctrl->DisableAlign();
  try {
    Ctrl->ChangeScale(iNewPPI, iCurrentPPI);
    Ctrl->SetBounds(oldBounds.Left, oldBounds.Top, Ctrl->Width(), Ctrl->Height());
    if (form) form->SetClientSize(clientWidth, clientHeight);
    PerformSkinCommand(Ctrl, SKCMD_PPI_CHANGED, iNewPPI);
  } catch (...) {
    Ctrl->EnableAlign();
    throw;
  }
  Ctrl->EnableAlign();
  if (iNewPPI < iCurrentPPI) {
    const RECT r{oldBounds.Left, oldBounds.Top, oldBounds.Right, oldBounds.Bottom};
    InvalidateRect(nullptr, &r, TRUE);
  }
}

void TsSkinManager::UpdateAllScale() {
  if (!SkinDataArray.empty() && SkinDataArray.front())
    ForEachImageList(&SetImageListPPI, SkinDataArray.front()->PPI);
  for (std::size_t i = 0; i < SkinnedForms().size(); ++i)
    if (TForm* form = SkinnedForms()[i]) UpdateScale(form, 96, 0);
}

void TsSkinManager::SetExtendedBorders(bool Value) {
  if (Value == FExtendedBorders) return;
  FExtendedBorders = Value;
  if (!IsActive()) return;
  {
    TStateBit changing(ManagerState, msSkinChanging);
    for (const auto& d : SkinDataArray)
      if (d) d->CheckShadows();
  }
  if (!IsLoading(this)) RepaintForms(true);
}

bool TsSkinManager::ReadExtendedBorders() const { return FExtendedBorders && LayeredWindowsAvailable(); }

// ---------------------------------------------------------------------------
// Queries
// ---------------------------------------------------------------------------

namespace {
const TacSkinData* Data96(const TsSkinManager& m, const TacSkinData* given) {
  if (given) return given;
  return m.SkinDataArray.empty() ? nullptr : m.SkinDataArray.front().get();
}
}  // namespace

int TsSkinManager::LengthOfGD(const TacSkinData* SkinData) const {
  const TacSkinData* d = Data96(*this, SkinData);
  return d ? static_cast<int>(d->gd.size()) : 0;
}

bool TsSkinManager::IsValidSkinIndex(int SkinIndex, const TacSkinData* SkinData) const {
  return SkinIndex >= 0 && SkinIndex < LengthOfGD(SkinData);
}

bool TsSkinManager::IsValidImgIndex(int ImageIndex, const TacSkinData* SkinData) const {
  const TacSkinData* d = Data96(*this, SkinData);
  return d && ImageIndex >= 0 && ImageIndex < static_cast<int>(d->ma.size());
}

int TsSkinManager::GetSkinIndex(std::wstring_view SkinSection, const TacSkinData* SkinData) const {
  const TacSkinData* d = Data96(*this, SkinData);
  if (!d || SkinSection.empty()) return -1;
  return d->GetSkinIndex(SkinSection);
}

int TsSkinManager::GetMaskIndex(int SkinIndex, std::wstring_view SkinSection, std::wstring_view Mask,
                                const TacSkinData* SkinData) const {
  const TacSkinData* d = Data96(*this, SkinData);
  if (!d) return -1;
  auto find = [&](int section) {
    for (std::size_t i = 0; i < d->ma.size(); ++i)
      if (d->ma[i].SkinIndex == section && d->ma[i].PropertyName == Mask) return static_cast<int>(i);
    return -1;
  };
  const int own = find(SkinIndex);
  if (own >= 0 || !IsValidSkinIndex(SkinIndex, d)) return own;
  // One level up only: the skin data's own search follows the whole parent chain.
  const std::wstring& parent = d->gd[static_cast<std::size_t>(SkinIndex)].ParentClass;
  if (parent.empty() || parent == SkinSection) return -1;
  const int parentIndex = GetSkinIndex(parent, d);
  return parentIndex < 0 ? -1 : find(parentIndex);
}

std::vector<std::wstring> TsSkinManager::GetSkinSections(const TacSkinData* SkinData) const {
  std::vector<std::wstring> names;
  const TacSkinData* d = Data96(*this, SkinData);
  if (!IsActive() || !d) return names;
  for (const TsGeneralData& g : d->gd) names.push_back(g.ClassName);
  return names;
}

namespace {
template <class T>
const std::vector<T>& NoRecords() {
  static const std::vector<T> none;
  return none;
}
}  // namespace

const std::vector<TsGeneralData>& TsSkinManager::gd() const {
  const TacSkinData* d = Data96(*this, nullptr);
  return d ? d->gd : NoRecords<TsGeneralData>();
}
const std::vector<TsMaskData>& TsSkinManager::ma() const {
  const TacSkinData* d = Data96(*this, nullptr);
  return d ? d->ma : NoRecords<TsMaskData>();
}
const std::vector<TacOutEffData>& TsSkinManager::oe() const {
  const TacSkinData* d = Data96(*this, nullptr);
  return d ? d->oe : NoRecords<TacOutEffData>();
}

std::wstring TsSkinManager::GetRandomSkin() {
  SkinListController->CheckThread();
  SkinListController->UpdateIfNeeded(true);
  const auto& list = SkinListController->SkinList;
  if (list.empty()) return {};
  static std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, list.size() - 1);
  return list[pick(random)].skName;
}

namespace {
constexpr std::array<int, 4> ScalePercents = {100, 125, 150, 200};
int PercentOfStep(int step) { return ScalePercents[static_cast<std::size_t>(std::clamp(step, 0, 3))]; }
}  // namespace

int TsSkinManager::ScrollWidth(int PPI) {
  const int system = GetSystemMetrics(SM_CXVSCROLL);
  const TacScaleMode mode = Options.ScaleMode;
  if (const int size = ScrollsOptions.ScrollSize(); size >= 0)
    return mode == smVCL ? size : MulDiv(size, Options.PixelsPerInch, 96);
  switch (mode) {
    case smAuto:
    case smOldMode: return system;
    case smVCL: return MulDiv(system, PPI > 0 ? PPI : 96, Screen().PixelsPerInch());
    case smCustomPPI: return MulDiv(system, Options.PixelsPerInch, ScalePPIs[static_cast<std::size_t>(std::clamp(SysFontScale, 0, 3))]);
    default: return MulDiv(system, PercentOfStep(GetScale()), PercentOfStep(SysFontScale));
  }
}

int TargetPPI(TsSkinManager* Manager, TControl* Control, bool OnlyWhenActive) {
  TsSkinManager* m = Manager ? Manager : DefaultManager();
  if (m && (!OnlyWhenActive || m->IsActive())) {
    if (m->Options.ScaleMode == smCustomPPI) return m->Options.PixelsPerInch;
    if (m->Options.ScaleMode != smVCL) return ScalePPIs[static_cast<std::size_t>(std::clamp(m->GetScale(), 0, 3))];
  }
  return Control ? ControlPPI(Control) : MainFormPPI();
}

// ---------------------------------------------------------------------------
// The scale-mode change
// ---------------------------------------------------------------------------

void TsSkinManager::ChangeScaleMode(TacScaleMode OldMode, TacScaleMode NewMode, int NewPPI, int OldPPI) {
  const int mainPercent = PercentOfStep(PPIToScaleIndex(static_cast<unsigned>(Screen().MainFormPixelsPerInch())));
  int oldPercent = 100, newPercent = 100;
  if (NewMode == smCustomPPI && OldMode == smCustomPPI) {
    oldPercent = Options.PixelsPerInch * 100 / 96;
    Options.PixelsPerInch.Store(NewPPI);
    newPercent = NewPPI * 100 / 96;
  } else if (NewMode == smCustomPPI) {
    oldPercent = OldMode == smVCL ? mainPercent : PercentOfStep(GetScale());
    NewPPI = Options.PixelsPerInch;
    newPercent = NewPPI * 100 / 96;
    OldPPI = oldPercent * 96 / 100;
  } else {
    oldPercent = OldMode == smVCL         ? mainPercent
                 : OldMode == smCustomPPI ? Options.PixelsPerInch * 100 / 96
                                          : PercentOfStep(GetScale());
    int step = 0;
    switch (NewMode) {
      case smAuto: step = SysFontScale; break;
      case smVCL:
        if (Options.ScaleMode == smCustomPPI) {
          TForm* main = Application().MainForm();
          Options.PixelsPerInch.Store(main ? Screen().MainFormPixelsPerInch()
                                           : ScalePPIs[static_cast<std::size_t>(std::clamp(SysFontScale, 0, 3))]);
        }
        step = SysFontScale;
        break;
      case smOldMode: step = 0; break;
      default: step = static_cast<int>(NewMode); break;  // sm100 .. sm200
    }
    newPercent = PercentOfStep(step);
  }

  ManagerState |= msScaleChanging;
  try {
    if (OnScaleModeChange) OnScaleModeChange(this, TacScaleModeData{OldMode, NewMode, oldPercent, newPercent, OldPPI, NewPPI});
    if (IsLoading(this)) {
      Options.ScaleMode.Store(NewMode);
      if (IsDefault() && oldPercent > 0) {
        TFont& font = Screen().MessageFont();
        font.Height = MulDiv(font.Height, newPercent, oldPercent);
      }
      ManagerState &= ~msScaleChanging;
      return;
    }
    ApplyScaleMode(NewMode);
  } catch (...) {
    ManagerState &= ~(msScaleChanging | msAnimScaling);
    throw;
  }
}

void TsSkinManager::ApplyScaleMode(TacScaleMode NewMode) {
  BeginUpdate();
  std::vector<TsSkinProvider*> frozen;
  auto release = [&] {
    for (TsSkinProvider* p : frozen) FreezeForm(p, 1);
    frozen.clear();
  };
  try {
    Step(L"FreezeForms");
    for (TsSkinProvider* p : ProvidersOfManager(this)) {
      FreezeForm(p, 0);
      frozen.push_back(p);
    }
    Options.ScaleMode.Store(NewMode);
    Step(L"UpdateSkinData");
    UpdateSkinData();
    Step(L"UpdateAllScale");
    UpdateAllScale();
  } catch (...) {
    // No form stays frozen, no update stays open and no bit stays set.
    try {
      release();
    } catch (...) {
    }
    NoAutoUpdate = false;
    ManagerState &= ~(msScaleChanging | msAnimScaling);
    throw;
  }
  try {
    release();
    Step(L"EndUpdate");
    EndUpdate(true, false);
    if (OnScaleChanged) OnScaleChanged(this);
  } catch (...) {
    NoAutoUpdate = false;
    ManagerState &= ~(msScaleChanging | msAnimScaling);
    throw;
  }
  ManagerState &= ~(msScaleChanging | msAnimScaling);
}

// ---------------------------------------------------------------------------
// Skin folder and source
// ---------------------------------------------------------------------------

std::wstring TsSkinManager::GetFullSkinDirectory() const {
  const std::wstring& v = FSkinDirectory;
  const std::wstring exe = ExeDir();
  std::wstring d;
  if (v.rfind(L"..", 0) == 0) {
    // The executable's parent folder; a drive root is its own parent.
    std::wstring p = exe.empty() ? exe : exe.substr(0, exe.size() - 1);
    const std::size_t cut = p.find_last_of(L"\\/");
    p = cut == std::wstring::npos ? exe : p.substr(0, cut + 1);
    d = p + (v.size() > 3 ? v.substr(3) : L"");
  } else if (v.rfind(L".\\", 0) == 0 || v.rfind(L"./", 0) == 0) {
    d = exe + v.substr(2);
  } else if (v == L".") {
    d = exe;
  } else if (v.find(L':') == std::wstring::npos && v.find(L"\\\\") == std::wstring::npos) {
    d = exe + v;
  } else {
    d = v;
  }
  return AddTrailingBackslash(d);
}

bool TsSkinManager::FormatError() {
  ManagerState |= msSkinChanging;
  ShowSkinMessage(smkPlain, L"Internal format error in the \"" + FSkinName +
                                L"\" skin. Please, update this skin to latest version.");
  ManagerState &= ~msSkinChanging;
  sc.reset();
  return false;
}

bool TsSkinManager::InitSkinFile() {
  SkinCommonInfo.SkinPath = GetFullSkinDirectory() + FSkinName + L"\\";
  SkinIsPacked = false;
  TMemIniFile& ini = *SkinCommonInfo.OptionsDat;
  const std::wstring folderOptions = SkinCommonInfo.SkinPath + L"Options.dat";
  // The packed file lies under SkinDirectory as written: relative to the working folder.
  const std::wstring packedFile = AddTrailingBackslash(FSkinDirectory) + FSkinName + L".ovz";
  if (PreviewSkinText) {
    ini.SetStrings(*PreviewSkinText);
  } else if (FileExists(folderOptions)) {
    ini.SetText(OptionsText(ReadAllBytes(folderOptions)));
  } else if (FileExists(packedFile)) {
    OpenPackedSkinFile(packedFile, sc, this);
    if (!sc || !sc->Options) return FormatError();
    SkinIsPacked = true;
    ini.SetText(OptionsText(sc->Options->Bytes()));
  } else {
    SkinCommonInfo.SkinPath.clear();
    TsStoredSkins& stored = *FBuiltInSkins;
    int index = stored.IndexOf(FSkinName);
    if (index < 0) {
      if (stored.Count() == 0) {
        FActive = false;
        return false;
      }
      index = 0;
      FSkinName = stored.Items(0)->Name;
    }
    TsStoredSkin* skin = stored.Items(index);
    // A stored skin without data has no options: reading on would take the previous
    // skin's options for this one.
    if (skin->PackedData->Bytes().empty()) return FormatError();
    SkinIsPacked = true;
    sc = std::make_unique<TacSkinConvertor>();
    sc->PackedData = skin->PackedData.get();  // borrowed for the time of reading
    bool read = false;
    try {
      read = ReadPackedSkin(*sc, this);
    } catch (...) {
      sc->PackedData = nullptr;
      throw;
    }
    sc->PackedData = nullptr;
    if (!read || !sc->Options) return FormatError();
    ini.SetText(OptionsText(sc->Options->Bytes()));
  }
  SkinFile = &ini;
  return true;
}

// ---------------------------------------------------------------------------
// The load sequence
// ---------------------------------------------------------------------------

void TsSkinManager::ReloadSkin(int PPI) {
  if (!FActive || !InitSkinFile()) return;
  // The packed reader lives only while the skin loads, also when a step fails.
  struct TCloseReader {
    std::unique_ptr<TacSkinConvertor>& reader;
    ~TCloseReader() { reader.reset(); }
  } closeReader{sc};
  Step(L"LoadFonts");
  LoadFonts();
  Step(L"LoadCommonData");
  LoadCommonData();
  TacSkinData* d = CommonSkinData(PPI);
  // The adjustments of this load reach this object only: the others were adjusted by their own.
  struct TLoading {
    TacSkinData*& slot;
    ~TLoading() { slot = nullptr; }
  } loading{LoadingSkinData};
  LoadingSkinData = d;
  Step(L"LoadParams");
  d->LoadParams();
  Step(L"LoadAllMasks");
  d->LoadAllMasks();
  Step(L"LoadAllGeneralData");
  d->LoadAllGeneralData();
  Step(L"InitConstantIndexes");
  d->InitConstantIndexes();
  Step(L"InitMaskIndexes");
  d->InitMaskIndexes();
  Step(L"InitMaskParams");
  d->InitMaskParams();
  Step(L"InitSkinParams");
  InitSkinParams();
  Step(L"CheckShadows");
  d->CheckShadows();
  Step(L"CloseSkinFile");
  CloseSkinFile();
}

void TsSkinManager::CloseSkinFile() {
  sc.reset();
  if (OnSkinLoading) OnSkinLoading(this);
}

void TsSkinManager::LoadFonts() {
  EmbeddedFonts->Clear();
  if (!SkinFile) return;
  const TMemIniFile& ini = *SkinFile;
  const int count = std::min(ini.ReadInteger(s_GlobalInfo, L"FontCount", 0), MaxSkinFonts);
  auto key = [](const wchar_t* name, int k) { return name + std::to_wstring(k); };
  if (sc) {
    for (const TacFileItem& entry : sc->Files) {
      if (entry.FileType != ftFont) continue;
      TacEmbeddedFont* font = EmbeddedFonts->Add();
      font->FontData = std::make_unique<TMemoryStream>(entry.Stream->Bytes());
      font->FFileName = ExtractFileName(entry.Name);
      for (int k = 0; k < count; ++k)
        if (ini.ReadString(s_GlobalInfo, key(L"FontFile", k), L"") == entry.Name) {
          font->FFontName = ini.ReadString(s_GlobalInfo, key(L"FontName", k), L"");
          break;
        }
      font->LoadFont();
    }
    return;
  }
  for (int k = 0; k < count; ++k) {
    TacEmbeddedFont* font = EmbeddedFonts->Add();
    // Used as written: a relative name resolves against the working folder.
    const std::wstring file = ini.ReadString(s_GlobalInfo, key(L"FontFile", k), L"");
    if (file.empty() || !FileExists(file)) continue;
    const std::int64_t size = FileSizeOf(file);
    if (size < 0 || size > static_cast<std::int64_t>(PackedSkinMaxEntrySize)) {
      CodeSite().SendWarning(L"Skin font " + file + L" is too large and is skipped");
      continue;
    }
    font->FFileName = ExtractFileName(file);
    font->FFontName = ini.ReadString(s_GlobalInfo, key(L"FontName", k), L"");
    font->FontData = std::make_unique<TMemoryStream>(ReadAllBytes(file));
    font->LoadFont();
  }
}

void TsSkinManager::LoadCommonData() {
  LoadMasterBitmap();
  if (SkinFile) ReadSkinCommonInfo(*SkinFile, SkinCommonInfo);
  CheckVersion();
}

void TsSkinManager::CheckVersion() {
  const double version = SkinCommonInfo.Version;
  // Skins older than 10.26 are only reported at design time, which this program has not.
  if (version >= 10.26 && version > 14.99) {
    if (ParamCount() >= 1 && ParamStr(1) == L"/acpreview") return;
    const unsigned rules = FSkinningRules;
    SetSkinningRules(rules & ~srStdDialogs);
    try {
      ShowSkinMessage(smkWarning,
                      L"This version of the skin has not complete support by used Orvantic package release.\r\n"
                      L"Components must be updated to latest version for using this skin.");
    } catch (...) {
      SetSkinningRules(rules);
      throw;
    }
    SetSkinningRules(rules);
  }
}

void TsSkinManager::Loaded() {
  const bool wasActive = IsActive();
  Step(L"Inherited");
  TComponent::Loaded();
  Step(L"ProcessDPIAware");
  if (Options.ScaleMode != smOldMode && SetProcessDPIAwareEntry) SetProcessDPIAwareEntry();
  Step(L"Defaults");
  if (FSkinDirectory.empty()) FSkinDirectory = L"c:\\Skins";
  if (MenuSupport.IcoLineSkin.empty()) MenuSupport.IcoLineSkin = L"ICOLINE";
  Step(L"ThirdParty");
  FillThirdPartyDefaults();
  if (FActive && !FSkinName.empty()) {
    Step(L"BroadcastNewSkin");
    BroadcastNewSkin(true);
  }
  Step(L"UpdateStdDialogsFlag");
  UpdateStdDialogsFlag();
  Step(L"ActiveNotification");
  if (SkinActiveNotification) SkinActiveNotification(FActive && !FSkinName.empty());
  if (!wasActive && IsActive()) {
    Step(L"OnActivate");
    if (OnActivate) OnActivate(this);
  }
  if (IsActive())
    if (auto* form = dynamic_cast<TForm*>(Owner()); form && form->HandleAllocated()) {
      Step(L"SkinNewTopWindow");
      SkinNewTopWindow(form->Handle(), nullptr);
    }
  Step(L"SkinList");
  SkinListController->UpdateIfNeeded(false);
}

void TsSkinManager::UpdateStdDialogsFlag() {
  if (gDefaultManager != this) return;
  UseLatestCommonDialogs = !((FSkinningRules & srStdDialogs) && FActive);
}

// ---------------------------------------------------------------------------
// Stored skins written out, lists of names, task-bar previews
// ---------------------------------------------------------------------------

void TsSkinManager::ExtractByIndex(int Index, const std::wstring& DestDir) {
  const std::wstring dir = AddTrailingBackslash(DestDir);
  if (!DirectoryExists(dir) && !ForceDirectories(dir)) {
    ShowSkinMessage(smkError, dir + L" directory creation error.");
    return;
  }
  if (Index < 0 || Index >= FBuiltInSkins->Count()) return;
  TsStoredSkin* skin = FBuiltInSkins->Items(Index);
  if (skin->PackedData->Bytes().empty()) return;
  WriteAllBytes(dir + skin->Name + L" extracted.ovz", skin->PackedData->Bytes());
}

void TsSkinManager::ExtractInternalSkin(const std::wstring& NameOfSkin, const std::wstring& DestDir) {
  bool found = false;
  for (int i = 0; i < FBuiltInSkins->Count(); ++i) {
    if (FBuiltInSkins->Items(i)->Name != NameOfSkin) continue;
    found = true;
    if (DirectoryExists(DestDir))
      ExtractByIndex(i, DestDir);
    else
      ShowSkinMessage(smkError, L"Directory does not exists.");
  }
  if (!found) ShowSkinMessage(smkError, L"Skin does not exists.");
}

namespace {

std::wstring CollectSkinNames(TacSkinListController& list, TacSkinNames& names, bool createData, bool external,
                              bool stored) {
  names.clear();
  list.CheckThread();
  list.UpdateIfNeeded(true);
  for (const TacSkinListData& entry : list.SkinList) {
    const bool isStored = entry.skSkinMode == smInternal;
    if (isStored ? !stored : !external) continue;
    TacSkinName name{entry.skName, nullptr};
    if (createData) {
      name.Data = std::make_unique<TacItemDrawData>();
      name.Data->ImageIndex = entry.skImageIndex;
    }
    names.push_back(std::move(name));
  }
  std::stable_sort(names.begin(), names.end(), [](const TacSkinName& a, const TacSkinName& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.Name.c_str(), -1, b.Name.c_str(), -1) ==
           CSTR_LESS_THAN;
  });
  return names.empty() ? std::wstring() : names.front().Name;
}

}  // namespace

std::wstring TsSkinManager::GetSkinNames(TacSkinNames& List, bool CreateDataObject, TacSkinTypes SkinType) {
  return CollectSkinNames(*SkinListController, List, CreateDataObject, SkinType != stPacked,
                          SkinType != stUnpacked);
}

std::wstring TsSkinManager::GetExternalSkinNames(TacSkinNames& List, bool CreateDataObject, TacSkinTypes SkinType) {
  (void)SkinType;
  return CollectSkinNames(*SkinListController, List, CreateDataObject, true, false);
}

void TsSkinManager::SetIconicRepresentation(HWND Wnd, bool Enable) {
  if (!acTaskbarPreviews) return;
  const BOOL value = Enable ? TRUE : FALSE;
  if (FAILED(SetDwmWindowAttribute(Wnd, 10, &value, sizeof(value))))  // has iconic bitmap
    SetDwmWindowAttribute(Wnd, 7, &value, sizeof(value));               // force iconic representation
  InvalidateTaskbarBitmaps(Wnd);
}

// ---------------------------------------------------------------------------
// Routines of the skin loader
// ---------------------------------------------------------------------------

void CopyGenState(TsGenState& Dest, const TsGenState& Src) {
  Dest.GlowSize = Src.GlowSize;
  Dest.ImagePercent = Src.ImagePercent;
  Dest.TextureIndex = Src.TextureIndex;
  Dest.Transparency = Src.Transparency;
  Dest.GradientPercent = Src.GradientPercent;
  Dest.Color = Src.Color;
  Dest.GlowColor = Src.GlowColor;
  Dest.FontColor = Src.FontColor;
  // A new array of its own: changing one state's gradient never changes another's.
  Dest.GradientArray = TsGradArray(Src.GradientArray.size());
  for (std::size_t i = 0; i < Src.GradientArray.size(); ++i) Dest.GradientArray[i] = Src.GradientArray[i];
}

void KeyPixelToTransparent(std::uint32_t& Pixel) {
  if (Pixel == 0xFFFF00FFu) Pixel &= 0x00FFFFFFu;
}

void PaintShadowColorMap(TBitmap* Bitmap, const TRect& R, TColor ColorL, TColor ColorB, TColor ColorR, TColor ColorT) {
  if (!Bitmap || R.Right <= R.Left || R.Bottom <= R.Top) return;
  HDC dc = Bitmap->Canvas().Handle();
  auto fill = [&](const RECT& r, TColor c) {
    HBRUSH brush = CreateSolidBrush(ColorToRGB(c) & 0xFFFFFF);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  };
  const int w = R.Right - R.Left, h = R.Bottom - R.Top;
  if (ColorT == 0xFF00FF) {
    // One colour, opaque.
    TPixels32 pixels;
    if (!GetPixels32(Bitmap, pixels)) return;
    const std::uint32_t c = ColorToRGB(ColorL) & 0xFFFFFF;
    const std::uint32_t bgra = 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    for (int y = std::max(0, R.Top); y < std::min(R.Bottom, Bitmap->Height()); ++y) {
      std::uint32_t* row = pixels.Row(y);
      for (int x = std::max(0, R.Left); x < std::min(R.Right, Bitmap->Width()); ++x) row[x] = bgra;
    }
  } else {
    fill(RECT{R.Left, R.Top + h / 2, R.Right, R.Bottom}, ColorB);
    fill(RECT{R.Left, R.Top, R.Right, R.Top + h / 2}, ColorT);
    auto triangle = [&](POINT a, POINT b, POINT c, TColor colour) {
      const COLORREF rgb = ColorToRGB(colour) & 0xFFFFFF;
      HBRUSH brush = CreateSolidBrush(rgb);
      HPEN pen = CreatePen(PS_SOLID, 1, rgb);
      HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
      POINT points[3] = {{R.Left + a.x, R.Top + a.y}, {R.Left + b.x, R.Top + b.y}, {R.Left + c.x, R.Top + c.y}};
      Polygon(dc, points, 3);
      SelectObject(dc, oldBrush);
      SelectObject(dc, oldPen);
      DeleteObject(brush);
      DeleteObject(pen);
    };
    triangle({0, 1}, {w / 2 - 1, h / 2}, {0, h - 2}, ColorL);
    triangle({w - 1, 1}, {w / 2 + 1, h / 2}, {w - 1, h - 2}, ColorR);
  }
}

// ---------------------------------------------------------------------------
// Start-up and clean-up
// ---------------------------------------------------------------------------

TSetProcessDPIAware SetProcessDPIAwareEntry = nullptr;

namespace {
int gManagerUnitStarts = 0;
int gEngineStarts = 0;
HMODULE gUser32 = nullptr;
bool gNTPlatform = true;
}  // namespace

void SkinManagerUnitStartup() {
  if (gManagerUnitStarts++ != 0) return;
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = 276;  // the record's full size
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExW(&version)) gNTPlatform = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
#pragma GCC diagnostic pop
  for (int i = 1; i <= ParamCount(); ++i)
    if (LowerCase(ParamStr(i)) == L"/acver") {
      const std::wstring title = ChangeFileExt(ExtractFileName(ExeFileName()), L"");
      MessageBoxW(nullptr, L"Orvantic v14.10", title.c_str(), MB_OK);
      break;
    }
  gUser32 = LoadLibraryW(L"user32.dll");
  if (gUser32)
    SetProcessDPIAwareEntry =
        reinterpret_cast<TSetProcessDPIAware>(reinterpret_cast<void*>(GetProcAddress(gUser32, "SetProcessDPIAware")));
  // The per-control state's part: the pipette cursor of the program's resources.
  if (HCURSOR pipette = LoadCursorW(GetModuleHandleW(nullptr), L"CRASPIPETTE")) Screen().SetCursor(crPipette, pipette);
  // The skin data that serves every density while no skin is loaded.
  for (int step = 0; step <= 3; ++step) DefaultSkinData(step);
}

void SkinManagerUnitCleanup() {
  if (gManagerUnitStarts == 0 || --gManagerUnitStarts != 0) return;
  SkinMenusCleanup();
  FreeDefaultSkinData();
  SetProcessDPIAwareEntry = nullptr;
  if (gUser32) FreeLibrary(gUser32);
  gUser32 = nullptr;
}

void SkinEngineStartup() {
  if (gEngineStarts++ != 0) return;
  GraphUnitStartup();
  GdiPlusUnitStartup();
  GradientUnitStartup();
  SkinManagerUnitStartup();
  CaptionsUnitStartup();
  SBUtilsUnitStartup();
  PopupControllerUnitStartup();
  ShellCtrlsUnitStartup();
}

void SkinEngineCleanup() {
  if (gEngineStarts == 0 || --gEngineStarts != 0) return;
  ShellCtrlsUnitCleanup();
  PopupControllerUnitCleanup();
  FreeHideTimer();
  SBUtilsUnitCleanup();
  CaptionsUnitCleanup();
  SkinManagerUnitCleanup();
  GradientUnitCleanup();
  GdiPlusUnitCleanup();
  GraphUnitCleanup();
}
