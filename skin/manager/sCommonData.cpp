#include "skin/manager/sCommonData.h"

#include <algorithm>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Strings.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acGlow.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acColorAdjust.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/sDPI.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr UINT kRedrawNow = 0x0585;    // invalidate, erase, all children, frame, update now
constexpr UINT kRedrawLater = 0x0485;  // the same without updating now
constexpr UINT kFrameChanged = 0x0737;
constexpr int kStepPPI[4] = {96, 120, 144, 192};

bool IsLoadingOrReading(const TComponent* c) { return (c->ComponentState() & (csLoading | csReading)) != 0; }

bool HasSection(const TacSkinData* data, int index) {
  return data && index >= 0 && index < static_cast<int>(data->gd.size());
}

// Sets a bit of the state for the duration of a scope (also when a write raises).
class TStateBit {
public:
  TStateBit(std::uint32_t& state, std::uint32_t bit) : FState(state), FBit(bit) { FState |= bit; }
  ~TStateBit() { FState &= ~FBit; }
  TStateBit(const TStateBit&) = delete;
  TStateBit& operator=(const TStateBit&) = delete;

private:
  std::uint32_t& FState;
  std::uint32_t FBit;
};

// A skin colour as the owner shows it: hue shifted first, then the saturation changed.
TColor AdjustedColor(TColor color, int hueOffset, int saturation) {
  if (hueOffset != 0) color = ShiftColorHue(hueOffset, color);
  return static_cast<TColor>(ChangeColorSaturation(color, saturation));
}

// Which sides of the owner a texture of this fill mode reaches, as BGType bits.
std::uint16_t TextureBGType(int mode) {
  auto in = [mode](std::initializer_list<int> modes) {
    for (int m : modes)
      if (m == mode) return true;
    return false;
  };
  std::uint16_t type = 0;
  if (in({1, 4, 5, 8, 9, 11, 12})) type |= BGT_TEXTURE_BOTH;
  if (in({0, 1, 3, 5, 10, 12})) type |= BGT_TEXTURE_HEIGHT1;
  if (in({0, 1, 7, 9, 10, 12})) type |= BGT_TEXTURE_HEIGHT2;
  if (in({0, 1, 2, 4, 10, 11})) type |= BGT_TEXTURE_WIDTH1;
  if (in({0, 1, 6, 8, 10, 11})) type |= BGT_TEXTURE_WIDTH2;
  return type;
}

}  // namespace

// Hears the destruction of the state's own manager (which the state does not own) and of
// its owner control (whose WindowProc change handler must go while the control exists).
class TsCommonData::TLink : public TComponent {
public:
  explicit TLink(TsCommonData* data) : TComponent(nullptr), FData(data) {}

protected:
  void Notification(TComponent* component, TOperation operation) override {
    if (operation != TOperation::opRemove) return;
    if (component == FData->FSkinManager) {
      FData->FSkinManager = nullptr;
      FData->FCommonSkinData = nullptr;
      FData->SkinIndex = -1;
    }
    if (component == FData->FOwnerControl) {
      FData->UnlinkOwnerControl();
      FData->FOwnerControlGone = true;  // the platform drops both links itself
    }
  }

private:
  TsCommonData* FData;
};

// ---- TacOuterEffects ---------------------------------------------------------------

void TacOuterEffects::SetVisibility(TacOuterVisibility Value) {
  if (FVisibility == Value) return;
  FVisibility = Value;
  if (FOwner && FOwner->FOwnerControl && (FOwner->FOwnerControl->ComponentState() & csLoading)) return;
  Invalidate();
}

void TacOuterEffects::Invalidate() {
  if (!FOwner || !FOwner->FOwnerControl) return;
  TWinControl* parent = FOwner->FOwnerControl->Parent();
  if (!parent || !parent->HandleAllocated() || (parent->ComponentState() & (csLoading | csDestroying))) return;
  PerformSkinCommand(parent, SKCMD_INVALIDATE, 0);
  FOwner->Invalidate(false);
}

// ---- TsCommonData: links -----------------------------------------------------------

TsCommonData::TsCommonData(TComponent* AOwner, bool CreateCacheBmp) {
  GuardSkinMessages();
  FLink = new TLink(this);
  FOwnerObject = AOwner;
  FOwnerControl = dynamic_cast<TControl*>(AOwner);
  if (FOwnerControl) {
    FLink->FreeNotification(FOwnerControl);
    if (dynamic_cast<TWinControl*>(FOwnerControl)) {
      WndProc = FOwnerControl->WindowProc();
      // A copy of the procedure outlives a replacement (a subclasser that is later given back
      // and freed): the state drops its copy, and the senders go through SendMessageW until
      // they take the procedure in place again.
      FProcChangeId = FOwnerControl->AddWindowProcChangeHandler([this](TControl* control) {
        if (WndProc && WndProc != control->WindowProc()) WndProc = TWndMethod{};
      });
    }
  }
  FOuterEffects = std::make_unique<TacOuterEffects>(this);
  if (CreateCacheBmp) FCacheBmp = NewBitmap32(0, 0);
  InitCommonProp();
}

TsCommonData::~TsCommonData() {
  RemoveCommonProp();
  SkinIndex = -1;
  LinkManager(nullptr);
  ClearLinks();
  // The state owns its timer; a timer its owner control freed first has cleared the link.
  if (AnimTimer && !AnimTimer->Destroyed) {
    TacThreadedTimer* timer = AnimTimer;
    AnimTimer = nullptr;
    timer->AnimData = nullptr;
    TComponent::Free(timer);
  }
  AnimTimer = nullptr;
  FCacheBmp.reset();
  ReleaseGlowById(GlowID, false);
  FOuterEffects.reset();
  FOuterCache.reset();
  TComponent::Free(FLink);
}

TsSkinProvider* TsCommonData::Provider() const { return dynamic_cast<TsSkinProvider*>(FOwnerObject); }

HWND TsCommonData::OwnerHandle() const {
  try {
    if (TsSkinProvider* provider = Provider())
      if (!provider->Destroying() && provider->Form && !provider->Form->Destroying())
        return provider->Form->HandleAllocated() ? provider->Form->Handle() : nullptr;
    if (!FOwnerControl || FOwnerControl->Destroying()) return FSWHandle;
    if (auto* win = dynamic_cast<TWinControl*>(FOwnerControl); win && win->HandleAllocated()) return win->Handle();
    return nullptr;
  } catch (const Exception&) {
    return nullptr;
  }
}

void TsCommonData::InitCommonProp() {
  HWND wnd = OwnerHandle();
  if (!wnd) return;
  if (TsSkinProvider* provider = Provider()) {
    // A handler left by a window made again is freed on the next activation: never its method.
    if (provider->ListSW && !provider->ListSW->Destroyed && provider->ListSW->WndProcMethod)
      WndProc = provider->ListSW->WndProcMethod;
  } else if (!WndProc && dynamic_cast<TWinControl*>(FOwnerControl)) {
    WndProc = FOwnerControl->WindowProc();
  }
  if (FPropWnd && FPropWnd != wnd) RemoveCommonProp();
  SetPropW(wnd, acCommonDataProp, this);
  FPropWnd = wnd;
}

void TsCommonData::RemoveCommonProp() {
  // Only from the window the property was put on, and only while it still names this state:
  // the owner's handle may already read 0 (an owner being destroyed), and a destroyed
  // window's handle may since name another window.
  if (!FPropWnd) return;
  if (IsWindow(FPropWnd) && GetPropW(FPropWnd, acCommonDataProp) == this) RemovePropW(FPropWnd, acCommonDataProp);
  FPropWnd = nullptr;
}

void TsCommonData::UnlinkOwnerControl() {
  if (FOwnerControl && FProcChangeId && !FOwnerControlGone) FOwnerControl->RemoveWindowProcChangeHandler(FProcChangeId);
  FProcChangeId = 0;
}

void TsCommonData::ClearLinks() {
  UnlinkOwnerControl();
  if (FOwnerControl && FLink && !FOwnerControlGone) FLink->RemoveFreeNotification(FOwnerControl);
  FOwnerControlGone = false;
  FOwnerControl = nullptr;
  FOwnerObject = nullptr;
  FSWHandle = nullptr;
}

void TsCommonData::Loaded(bool UpdateColors) {
  Loading = false;
  WriteCommonSkinData(nullptr);
  InitSkinSection();
  if (Skinned() && FOwnerControl && FOwnerControl->Parent() && !(FOwnerControl->ComponentState() & csLoading)) {
    if (dynamic_cast<TWinControl*>(FOwnerControl)) AddToFormAdapter(FOwnerControl);
    if (UpdateColors) this->UpdateColors(false);
  }
  InitCommonProp();
  if (TsSkinManager* manager = ReadSkinManager())
    if (FOwnerControl && !(FOwnerControl->ComponentState() & csLoading)) manager->UpdateFontName(FOwnerControl);
}

// ---- manager and skin data ---------------------------------------------------------

TsSkinManager* TsCommonData::ReadSkinManager() const { return FSkinManager ? FSkinManager : DefaultManager(); }

void TsCommonData::LinkManager(TsSkinManager* Manager) {
  if (FSkinManager == Manager) return;
  if (FSkinManager && FLink) FLink->RemoveFreeNotification(FSkinManager);
  FSkinManager = Manager;
  if (FSkinManager && FLink) FLink->FreeNotification(FSkinManager);
}

bool TsCommonData::ManagerHasSections(TsSkinManager* Manager) const {
  return Manager && !Manager->SkinDataArray.empty() && Manager->SkinDataArray[0] &&
         !Manager->SkinDataArray[0]->gd.empty();
}

void TsCommonData::WriteSkinManager(TsSkinManager* Value) {
  if (Value == FSkinManager) return;
  FCommonSkinData = nullptr;
  LinkManager(Value == DefaultManager() ? nullptr : Value);
  if (FOwnerControl && (FOwnerControl->ComponentState() & csLoading)) return;
  const bool hasSections = ManagerHasSections(Value);
  if (hasSections)
    UpdateIndexes(true);
  else
    SkinIndex = -1;
  if (Provider() || !FOwnerControl || !FOwnerControl->Parent() || FOwnerControl->Destroying()) return;
  if (hasSections && HasSection(Value->SkinDataArray[0].get(), SkinIndex))
    SendToOwner(SKCMD_REFRESH, reinterpret_cast<LPARAM>(Value));
  else
    SendToOwner(SKCMD_REMOVE_SKIN, reinterpret_cast<LPARAM>(Value));
}

TacSkinData* TsCommonData::ReadCommonSkinData() {
  TsSkinManager* manager = ReadSkinManager();
  if (manager && SkinIndex >= 0 && manager->IsActive() && !manager->SkinDataArray.empty()) {
    if (FCommonSkinData) return FCommonSkinData;
    if (TsSkinProvider* provider = Provider(); provider && provider->Form && provider->Form->HandleAllocated()) {
      TForm* form = provider->Form;
      const int ppi = (form->ComponentState() & csLoading) ? MainFormPPI() : ControlPPI(form);
      WriteCommonSkinData(manager->CommonSkinData(ppi));
      if (manager->Options.ScaleMode == TsSkinManager::smVCL && FCommonSkinData) CurrentPPI = FCommonSkinData->PPI;
      return FCommonSkinData;
    }
    if (!FOwnerControl) {
      WriteCommonSkinData(manager->CommonSkinData(MainFormPPI()));
      return FCommonSkinData;
    }
    TWinControl* parent = FOwnerControl->Parent();
    if (ControlIsReady(FOwnerControl) && parent && parent->Showing() && parent->HandleAllocated()) {
      int ppi;
      if (manager->ManagerState & msFormScaling)
        ppi = CurrentPPI;
      else
        switch (manager->Options.ScaleMode) {
          case TsSkinManager::smOldMode: ppi = 96; break;
          case TsSkinManager::smVCL: ppi = ControlPPI(FOwnerControl); break;
          case TsSkinManager::smCustomPPI: ppi = manager->Options.PixelsPerInch; break;
          default: ppi = kStepPPI[std::clamp(manager->GetScale(), 0, 3)];
        }
      WriteCommonSkinData(manager->CommonSkinData(ppi));
      return FCommonSkinData;
    }
    return manager->CommonSkinData(MainFormPPI());  // not ready: not cached
  }
  FCommonSkinData = nullptr;
  if (!manager) return DefaultSkinData(PPIToScaleIndex(FOwnerControl ? ControlPPI(FOwnerControl) : MainFormPPI()));
  if (manager->Options.ScaleMode == TsSkinManager::smCustomPPI)
    return manager->CommonSkinData(manager->Options.PixelsPerInch);
  return manager->CommonSkinData(MainFormPPI());
}

void TsCommonData::WriteCommonSkinData(TacSkinData* Value) {
  FCommonSkinData = Value;
  PPIIndex = Value ? PPIToScaleIndex(static_cast<unsigned>(Value->PPI)) : -1;
}

bool TsCommonData::Skinned(bool CheckSkinActive) {
  try {
    TsSkinManager* manager = ReadSkinManager();
    if (!manager || manager->Destroying()) return false;
    if (!HasSection(ReadCommonSkinData(), SkinIndex)) return false;
    if (FOwnerObject && FOwnerObject->Destroying()) return false;
    return !CheckSkinActive || manager->IsActive();
  } catch (const Exception&) {
    return false;
  }
}

bool TsCommonData::SkinChanging() const {
  TsSkinManager* manager = ReadSkinManager();
  return manager && (manager->ManagerState & msSkinChanging);
}

int TsCommonData::EffectivePPI() {
  TsSkinManager* manager = ReadSkinManager();
  if (manager && manager->IsActive() && !manager->SkinDataArray.empty()) {
    if (Skinned())
      if (TacSkinData* data = ReadCommonSkinData()) return data->PPI;
    if (TsSkinProvider* provider = Provider(); provider && provider->Form)
      return (provider->Form->ComponentState() & csLoading) ? MainFormPPI() : ControlPPI(provider->Form);
    if (ControlIsReady(FOwnerControl)) return ControlPPI(FOwnerControl);
    return MainFormPPI();
  }
  if (manager)
    return manager->Options.ScaleMode == TsSkinManager::smCustomPPI ? manager->Options.PixelsPerInch : MainFormPPI();
  return FOwnerControl ? ControlPPI(FOwnerControl) : MainFormPPI();
}

// ---- section -----------------------------------------------------------------------

void TsCommonData::SendToOwner(WORD Command, LPARAM LParam) {
  if (FOwnerControl)
    FOwnerControl->Perform(SM_SKINCOMMAND, SkinCommandWParam(Command), LParam);
  else if (TsSkinProvider* provider = Provider())
    provider->ProcessMessage(SM_SKINCOMMAND, SkinCommandWParam(Command), LParam);
}

void TsCommonData::WriteSkinSection(const std::wstring& Value) {
  if (Value == FSkinSection) return;
  ReleaseGlowById(GlowID, false);
  FSkinSection = UpperCase(Value);
  TsSkinManager* manager = ReadSkinManager();
  if (ManagerHasSections(manager))
    UpdateIndexes(true);
  else
    SkinIndex = -1;
  if (!FOwnerControl || !FOwnerControl->Parent() || IsLoadingOrReading(FOwnerControl) || FOwnerControl->Destroying()) {
    if (Provider()) BGChanged = true;
    return;
  }
  if (auto* win = dynamic_cast<TWinControl*>(FOwnerControl)) {
    if (FCacheBmp) FCacheBmp->SetSize(0, 0);
    TMessage changed{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_BG_CHANGED, 1), 0, 0};
    BroadcastToAllChildren(win, changed);
  }
  if (FUpdating || Loading) {
    if (!Loading) ApplyStateColors(false);
    return;
  }
  if (manager && HasSection(manager->SkinDataArray.empty() ? nullptr : manager->SkinDataArray[0].get(), SkinIndex))
    FOwnerControl->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REFRESH, 1), reinterpret_cast<LPARAM>(manager));
  else
    FOwnerControl->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REMOVE_SKIN), reinterpret_cast<LPARAM>(manager));
}

void TsCommonData::UpdateIndexes(bool UpdateMain) {
  BGChanged = true;
  if (UpdateMain) {
    FCommonSkinData = nullptr;
    SkinIndex = -1;
    TsSkinManager* manager = ReadSkinManager();
    if (manager && manager->Active()) {
      if (!FSkinSection.empty()) {
        SkinIndex = manager->GetSkinIndex(FSkinSection);
      } else if (FOwnerControl) {
        auto* win = dynamic_cast<TWinControl*>(FOwnerControl);
        const LRESULT answer = (win && win->HandleAllocated())
                                   ? PerformSkinCommand(FOwnerControl, SKCMD_DEFAULT_SECTION, 0)
                                   : FOwnerControl->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_DEFAULT_SECTION), 0);
        SkinIndex = static_cast<int>(answer) - 1;
      }
    }
  }
  UpdateBGType();
}

void TsCommonData::UpdateBGType() {
  std::uint16_t type = 0;
  if (TsSkinManager* manager = ReadSkinManager())
    for (const auto& data : manager->SkinDataArray) {
      if (!HasSection(data.get(), SkinIndex)) continue;
      const TsGenState& state = data->gd[SkinIndex].Props[0];
      if (state.ImagePercent > 0 && state.TextureIndex >= 0 &&
          state.TextureIndex < static_cast<int>(data->ma.size())) {
        type |= TextureBGType(data->ma[state.TextureIndex].DrawMode);
      }
      if (!state.GradientArray.empty() &&
          (state.GradientPercent > 0 || (state.GradientArray[0].Mode & 0x20) != 0))
        switch (state.GradientArray[0].Mode & 0x03) {
          case 0: type |= BGT_GRADIENT_VERT; break;
          case 1: type |= BGT_GRADIENT_HORZ; break;
          case 2: type |= BGT_GRADIENT_HORZ | BGT_GRADIENT_VERT; break;
          default: break;
        }
    }
  BGType = type;
}

void TsCommonData::InitSkinSection() {
  if (!FSkinSection.empty() || KindsWithDefaultSection.Contains(COC)) {
    // A named section, or an owner that answers SKCMD_DEFAULT_SECTION with its own.
    UpdateIndexes(true);
    return;
  }
  switch (COC) {
    case COC_TsComboBox: WriteSkinSection(L"COMBOBOX"); break;
    case COC_TsBar: WriteSkinSection(L"BAR"); break;
    case COC_TsBarTitle: WriteSkinSection(L"BARTITLE"); break;
    case COC_TsCheckedControl:
    case COC_TsCheckBoxItem: WriteSkinSection(L"CHECKBOX"); break;
    case COC_TsDragBar: WriteSkinSection(L"DRAGBAR"); break;
    case COC_TsToolButton: WriteSkinSection(L"TOOLBUTTON"); break;
    case COC_TsGraphItem: WriteSkinSection(L"EDIT"); break;
    default: WriteSkinSection(FOwnerObject ? FOwnerObject->ClassName() : std::wstring()); break;
  }
}

void TsCommonData::FindFirstSection(const std::wstring* Names, int High) {
  TsSkinManager* manager = ReadSkinManager();
  if (!manager) {
    SkinIndex = -1;
    return;
  }
  for (int i = 0; i <= High; ++i) {
    if (Names[i].empty()) continue;
    TacSkinData* data = ReadCommonSkinData();
    SkinIndex = data ? data->GetSkinIndex(Names[i]) : -1;
    if (SkinIndex >= 0) {
      UpdateIndexes(false);
      return;
    }
  }
}

// ---- update ------------------------------------------------------------------------

void TsCommonData::BeginUpdate() {
  ++FUpdateCount;
  FUpdating = true;
  CtrlSkinState |= ACS_INUPDATE;
  SendToOwner(SKCMD_UPDATE_BEGIN);
}

void TsCommonData::EndUpdate(bool Repaint) {
  --FUpdateCount;
  FUpdating = false;
  CtrlSkinState &= ~ACS_INUPDATE;
  if (FUpdateCount > 0) return;
  SendToOwner(SKCMD_UPDATE_END);
  if (Repaint) Invalidate(true);
}

void TsCommonData::Invalidate(bool UpdateNow) {
  BGChanged = true;
  if (Loading) return;
  const UINT flags = UpdateNow ? kRedrawNow : kRedrawLater;
  if (TsSkinProvider* provider = Provider()) {
    if (provider->Form && provider->Form->HandleAllocated())
      RedrawWindow(provider->Form->Handle(), nullptr, nullptr, flags);
    return;
  }
  if (!FOwnerControl || (FOwnerControl->ComponentState() & (csLoading | csDestroying)) ||
      !ControlIsReady(FOwnerControl))
    return;
  if (auto* win = dynamic_cast<TWinControl*>(FOwnerControl)) {
    if (win->HandleAllocated()) RedrawWindow(win->Handle(), nullptr, nullptr, flags);
  } else if (COC == COC_TsGraphicRepaint) {
    FOwnerControl->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_INVALIDATE), 0);
  } else {
    // Repaint: invalidate and paint now.
    FOwnerControl->Invalidate();
    if (TWinControl* parent = FOwnerControl->Parent(); parent && parent->HandleAllocated())
      UpdateWindow(parent->Handle());
  }
}

bool TsCommonData::IsUpdating() {
  if (!ReadSkinManager()) return false;
  if (FUpdating) return true;
  TControl* owner = FOwnerControl;
  if (TsSkinProvider* provider = Provider()) owner = provider->Form;
  if (!owner || owner->Destroying() || !owner->Parent()) return false;
  return QuerySkinCommand(owner->Parent(), SKCMD_IS_UPDATING) != 0;
}

bool TsCommonData::RecheckUpdating(bool Clear) {
  if (Clear) FUpdating = false;
  if (IsUpdating()) {
    FUpdating = true;
    return true;
  }
  return false;
}

void TsCommonData::StopAnimation() {
  if (!AnimTimer || AnimTimer->Destroyed) return;
  AnimTimer->WriteEnabled(false);
  AnimTimer->State = -1;
  AnimTimer->FreeBitmaps();
}

bool TsCommonData::IsAnimating() const { return AnimTimer && AnimTimer->Enabled(); }

// ---- colours -----------------------------------------------------------------------

void TsCommonData::UpdateColors(bool Repaint) {
  if (!FOwnerControl || SkinIndex < 0) return;
  auto* win = dynamic_cast<TWinControl*>(FOwnerControl);
  if (win && !win->HandleAllocated()) return;
  if (Skinned()) {
    TStateBit settingColors(CtrlSkinState, ACS_SETTINGCOLORS);
    TacSkinData* data = ReadCommonSkinData();
    const TsGeneralData& section = data->gd[SkinIndex];
    if (KindsWithStateColors.Contains(COC) &&
        !(section.StateProps(0).Transparency == 100 && section.StateProps(1).Transparency == 100)) {
      const TsGenState& state = section.StateProps(0);
      if (!FCustomColor) {
        const TColor color = AdjustedColor(state.Color, FHUEOffset, FSaturation);
        if (color != FOwnerControl->Color()) FOwnerControl->SetColor(color);
      }
      if (!FCustomFont && COC != COC_TsListView) {
        const TColor fontColor = AdjustedColor(state.FontColor.Color, FHUEOffset, FSaturation);
        if (fontColor != static_cast<TColor>(FOwnerControl->Font.Color)) {
          if (FColorTone == clNone)
            FOwnerControl->Font.ChangeQuietly([&] { FOwnerControl->Font.Color = fontColor; });
          else
            FOwnerControl->Font.Color = fontColor;
        }
      }
    }
    // The class's brush: every window of the class is painted with it.
    if (win) SetClassLongPtrW(win->Handle(), GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(ReadSkinManager()->Brushes[0]));
  } else if (win && COC != COC_TsKeepsClassBrush) {
    SetClassLongPtrW(win->Handle(), GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
  }
  if (Repaint) Invalidate(true);
}

void TsCommonData::ApplyStateColors(bool KeepRedraw) {
  if (!FOwnerControl) return;
  auto* win = dynamic_cast<TWinControl*>(FOwnerControl);
  const bool lockRedraw = !KeepRedraw && FOwnerControl->Visible() && win && win->HandleAllocated();
  if (lockRedraw) SetWindowRedraw(win->Handle(), FALSE);
  TacSkinData* data = ReadCommonSkinData();
  if (HasSection(data, SkinIndex)) {
    const TsGenState& state = data->gd[SkinIndex].StateProps(IsHot(this));
    if (!FCustomColor) FOwnerControl->SetColor(state.Color);
    if (!FCustomFont && static_cast<TColor>(FOwnerControl->Font.Color) != state.FontColor.Color) {
      TStateBit settingColors(CtrlSkinState, ACS_SETTINGCOLORS);
      FOwnerControl->Font.Color = state.FontColor.Color;
    }
  }
  if (lockRedraw) SetWindowRedraw(win->Handle(), TRUE);
}

void TsCommonData::SetCustomOption(int Index, bool Value) {
  bool& option = Index == 0 ? FCustomColor : FCustomFont;
  if (option == Value) return;
  option = Value;
  if (!FOwnerControl || (FOwnerControl->ComponentState() & csLoading) || Loading) return;
  if (Value) {
    // The user's colour comes back.
    if (Index == 0 && SavedColor != clNone) FOwnerControl->SetColor(SavedColor);
    if (Index == 1 && SavedFontColor != clNone) FOwnerControl->Font.Color = SavedFontColor;
  } else if (Index == 0) {
    SavedColor = FOwnerControl->Color();
  } else {
    SavedFontColor = FOwnerControl->Font.Color;
  }
  UpdateColors(true);
}

// ---- descendants -------------------------------------------------------------------

void TsCtrlSkinData::SetIntProp(int Index, int Value) {
  int& field = Index == 0 ? FHUEOffset : FSaturation;
  if (field == Value) return;
  field = Value;
  Loaded(true);
  Invalidate(false);
}

void TsCtrlSkinData::SetColorTone(TColor Value) {
  if (FColorTone == Value) return;
  FColorTone = Value;
  Loaded(true);
  Invalidate(false);
}

void TacScrollData::SetIntProp(int Index, int Value) {
  int& field = Index == 0 ? FScrollWidth : FButtonsSize;
  if (field == Value) return;
  field = Value;
  if (!FOwner) return;
  auto* win = dynamic_cast<TWinControl*>(FOwner->FOwnerControl);
  if (!win || (win->ComponentState() & csLoading) || !win->HandleAllocated()) return;
  if (Index == 1)
    SendMessageW(win->Handle(), WM_NCPAINT, 0, 0);
  else
    SetWindowPos(win->Handle(), nullptr, 0, 0, 0, 0, kFrameChanged);
}

TsScrollWndData::TsScrollWndData(TComponent* AOwner, bool CreateCacheBmp)
    : TsCommonData(AOwner, CreateCacheBmp),
      FHorzScrollData(std::make_unique<TacScrollData>(this)),
      FVertScrollData(std::make_unique<TacScrollData>(this)) {}

TsScrollWndData::~TsScrollWndData() {
  FHorzScrollData.reset();
  FVertScrollData.reset();
}

// ---- tests used across the engine --------------------------------------------------

TsCommonData* CommonDataOfWindow(HWND Wnd) {
  if (!Wnd) return nullptr;
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(Wnd, &pid) || pid != GetCurrentProcessId()) return nullptr;
  return static_cast<TsCommonData*>(GetPropW(Wnd, acCommonDataProp));
}

bool IsSkinnedWindow(HWND Wnd) {
  return CommonDataOfWindow(Wnd) || HandlerOfWindow(Wnd) || WindowSkinFlag(Wnd, SKCMD_IS_SKINNED);
}

bool IsSkinnedControl(TControl* Control, bool Check) {
  if (!Control) return false;
  if (auto* win = dynamic_cast<TWinControl*>(Control); win && win->HandleAllocated()) {
    HWND wnd = win->Handle();
    if (TsCommonData* data = CommonDataOfWindow(wnd)) return !Check || data->Skinned(false);
    if (TacMainWnd* handler = HandlerOfWindow(wnd))
      return !Check || (handler->SkinData && handler->SkinData->Skinned(false));
    return WindowSkinFlag(wnd, SKCMD_IS_SKINNED);
  }
  return Control->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_IS_SKINNED), 0) == 1;
}

int VisibleSkinIndexOfControl(TControl* Control, int SkinIndex, TsSkinManager* Manager, int State) {
  TsSkinManager* manager = Manager ? Manager : DefaultManager();
  TacSkinData* data = manager ? manager->CommonSkinData(96) : nullptr;
  const int s = std::min(State, 2);
  if (!Control) return SkinIndex;
  if (s != 0 && HasSection(data, SkinIndex) && State < data->gd[SkinIndex].States &&
      data->gd[SkinIndex].StateProps(s).Transparency <= 39)
    return SkinIndex;
  TacSectionQuery query;
  query.State = State;
  query.SkinIndex = 0;
  query.R = Control->BoundsRect();
  query.Manager = Manager;
  const LRESULT answer =
      Control->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_FIND_OPAQUE_SECTION), reinterpret_cast<LPARAM>(&query));
  if (answer == -1) return SkinIndex;
  if (answer == 0) return -1;
  return query.SkinIndex >= 0 ? query.SkinIndex : SkinIndex;
}

int IsHot(TsCommonData* State) {
  if (!State || !State->FOwnerControl) return 0;
  TControl* owner = State->FOwnerControl;
  if (owner->Destroying() || !owner->Enabled()) return 0;
  if (State->FFocused) return 1;
  if (auto* win = dynamic_cast<TWinControl*>(owner); win && win->HandleAllocated() && GetFocus() == win->Handle())
    return dynamic_cast<TCustomPanel*>(owner) ? 0 : 1;
  TsSkinManager* manager = State->ReadSkinManager();
  if (State->FMouseAbove && !(manager && manager->Options.NoMouseHover) && !KindsWithoutHover.Contains(State->COC) &&
      !KindsWithoutHotState.Contains(State->COC))
    return 1;
  return 0;
}

bool ContentShiftsOnClick(int SkinIndex, TacSkinData* SkinData) {
  if (!HasSection(SkinData, SkinIndex)) return true;
  TsSkinManager* manager = SkinData->FOwner ? SkinData->FOwner : DefaultManager();
  return (manager && manager->ButtonsOptions.ShiftContentOnClick) || SkinData->gd[SkinIndex].ShiftOnClick;
}

int ScaleForControl(int Value, TsCommonData* State, bool UseSkinPPI) {
  TsSkinManager* manager = State ? State->ReadSkinManager() : DefaultManager();
  if (!manager) return Value * MainFormPPI() / 96;
  switch (manager->Options.ScaleMode) {
    case TsSkinManager::smOldMode: return Value;
    case TsSkinManager::smVCL: {
      if (!UseSkinPPI || !State) return Value;
      TacSkinData* data = State->ReadCommonSkinData();
      return data ? Value * data->PPI / 96 : Value;
    }
    case TsSkinManager::smCustomPPI: return Value * manager->Options.PixelsPerInch / 96;
    default: return ScaleByPPIIndex(Value, manager->GetScale());
  }
}
