#include "skin/manager/sSkinManager.Options.h"

#include <algorithm>

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/acSkinnedForms.h"
#include "skin/manager/sSkinManager.SysColors.h"

namespace {
// One process-wide flag behind every manager's ButtonsOptions.OldGlyphsMode.
bool gOldGlyphsMode = true;

bool Loading(const TsSkinManager* m) { return (m->ComponentState() & (csLoading | csReading)) != 0; }

// Densities a custom scale may take: no percentage is 0 and nothing divides by 0.
constexpr int MinCustomPPI = 48, MaxCustomPPI = 384;
}  // namespace

// ---------------------------------------------------------------------------
// TacOptions
// ---------------------------------------------------------------------------

TacOptions::TacOptions(TsSkinManager* Owner)
    : ChangeSysColors(this, &WriteChangeSysColors, false),
      DrawNonClientArea(this, &WriteDrawNonClientArea, true),
      ArrowsStyle(this, &WriteArrowsStyle, arsDefault),
      PixelsPerInch(this, &WritePixelsPerInch, 96),
      ScaleMode(this, &WriteScaleMode, smOldMode),
      FOwner(Owner) {}

bool TacOptions::GetBoolOption(int Index) const {
  switch (Index) {
    case 0: return CheckEmptyAlpha;
    case 1: return NoMouseHover;
    case 2: return NativeBordersMaximized;
    case 3: return StdGlyphsOrder;
    case 5: return StdImgTransparency;
    case 6: return DrawNonClientArea;
    default: return ChangeSysColors;
  }
}

void TacOptions::SetBoolOption(int Index, bool Value) {
  switch (Index) {
    case 0: CheckEmptyAlpha = Value; break;
    case 1: NoMouseHover = Value; break;
    case 2: NativeBordersMaximized = Value; break;
    case 3: StdGlyphsOrder = Value; break;
    case 4: ChangeSysColors = Value; break;
    case 5: StdImgTransparency = Value; break;
    case 6: DrawNonClientArea = Value; break;
    default: break;  // no such option
  }
}

void TacOptions::WriteChangeSysColors(void* Self, bool Value) {
  auto* o = static_cast<TacOptions*>(Self);
  o->ChangeSysColors.Store(Value);
  // The system-colour redirection follows it on the default manager with an active skin.
  TsSkinManager* m = o->FOwner;
  if (!m || !m->IsDefault() || (m->ComponentState() & (csLoading | csDesigning)) || !m->IsActive()) return;
  if (Value)
    SysColorsOn();
  else
    SysColorsOff();
}

void TacOptions::WriteDrawNonClientArea(void* Self, bool Value) {
  auto* o = static_cast<TacOptions*>(Self);
  if (o->DrawNonClientArea == Value) return;
  o->DrawNonClientArea.Store(Value);
  TsSkinManager* m = o->FOwner;
  if (m && (m->ComponentState() & csDesigning)) return;
  BroadcastToSkinnedForms(TMessage{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_NC_AREA_CHANGED), Value ? 1 : 0, 0});
}

void TacOptions::WriteArrowsStyle(void* Self, TacArrowsStyle Value) {
  auto* o = static_cast<TacOptions*>(Self);
  if (o->ArrowsStyle == Value) return;
  o->ArrowsStyle.Store(Value);
  if (o->FOwner) o->FOwner->UpdateSkin(true);
}

void TacOptions::WritePixelsPerInch(void* Self, int Value) {
  auto* o = static_cast<TacOptions*>(Self);
  Value = std::clamp(Value, MinCustomPPI, MaxCustomPPI);
  if (o->PixelsPerInch == Value) return;
  if (o->ScaleMode == smCustomPPI && o->FOwner)
    o->FOwner->ChangeScaleMode(smCustomPPI, smCustomPPI, Value, o->PixelsPerInch);
  else
    o->PixelsPerInch.Store(Value);
}

void TacOptions::WriteScaleMode(void* Self, TacScaleMode Value) {
  auto* o = static_cast<TacOptions*>(Self);
  if (o->ScaleMode == Value) return;
  if (o->FOwner)
    o->FOwner->ChangeScaleMode(o->ScaleMode, Value, 0, 0);
  else
    o->ScaleMode.Store(Value);
}

TacArrowsStyle TacOptions::ActualArrowStyle() const {
  if (ArrowsStyle != arsDefault || !FOwner) return ArrowsStyle;
  const int skin = FOwner->SkinCommonInfo.ArrowStyle;
  return skin >= arsSolid1 && skin < arsDefault ? static_cast<TacArrowsStyle>(skin) : arsSolid1;
}

// ---------------------------------------------------------------------------
// TacSkinEffects
// ---------------------------------------------------------------------------

TacSkinEffects::TacSkinEffects(TsSkinManager* AManager)
    : AllowOuterEffects(this, &WriteAllowOuterEffects, true),
      DiscoloredGlyphs(this, &WriteDiscoloredGlyphs, false),
      Manager(AManager) {}

bool TacSkinEffects::GetBoolProp(int Index) const {
  switch (Index) {
    case 0: return AllowOuterEffects;
    case 1: return DiscoloredGlyphs;
    default: return false;
  }
}

void TacSkinEffects::SetBoolProp(int Index, bool Value) {
  switch (Index) {
    case 0: AllowOuterEffects = Value; break;
    case 1: DiscoloredGlyphs = Value; break;
    default: break;
  }
}

namespace {
void RepaintUnlessBusy(TsSkinManager* m) {
  if (m && !Loading(m) && !m->NoAutoUpdate) m->RepaintForms(false);
}
}  // namespace

void TacSkinEffects::WriteAllowOuterEffects(void* Self, bool Value) {
  auto* e = static_cast<TacSkinEffects*>(Self);
  if (e->AllowOuterEffects == Value) return;
  e->AllowOuterEffects.Store(Value);
  RepaintUnlessBusy(e->Manager);
}

void TacSkinEffects::WriteDiscoloredGlyphs(void* Self, bool Value) {
  auto* e = static_cast<TacSkinEffects*>(Self);
  if (e->DiscoloredGlyphs == Value) return;
  e->DiscoloredGlyphs.Store(Value);
  RepaintUnlessBusy(e->Manager);
}

// ---------------------------------------------------------------------------
// TsThirdPartyList
// ---------------------------------------------------------------------------

const std::array<const wchar_t*, acThirdPartyCount> TsThirdPartyList::Names = {
    L"ThirdEdits",       L"ThirdButtons",      L"ThirdBitBtns",       L"ThirdCheckBoxes",   L"ThirdComboBoxes",
    L"ThirdGrids",       L"ThirdGroupBoxes",   L"ThirdListViews",     L"ThirdPanels",       L"ThirdTreeViews",
    L"ThirdWWEdits",     L"ThirdGridEh",       L"ThirdVirtualTrees",  L"ThirdPageControl",  L"ThirdTabControl",
    L"ThirdToolBar",     L"ThirdStatusBar",    L"ThirdSpeedButton",   L"ThirdScrollControl", L"ThirdUpDown",
    L"ThirdScrollBar",   L"ThirdStaticText",   L"ThirdNativePaint"};

std::wstring TsThirdPartyList::GetString(int Index) const {
  if (Index < 0 || Index >= acThirdPartyCount) return {};
  return FLists[static_cast<std::size_t>(Index)];
}

void TsThirdPartyList::SetString(int Index, const std::wstring& Value) {
  if (Index < 0 || Index >= acThirdPartyCount) return;
  FLists[static_cast<std::size_t>(Index)] = Value;
}

// ---------------------------------------------------------------------------
// TacScrollBarsSupport, TacButtonsSupport
// ---------------------------------------------------------------------------

int TacScrollBarsSupport::GetInt(int Index) const {
  if (Index < 0 || Index > 1) return -1;
  return FSizes[static_cast<std::size_t>(Index)];
}

void TacScrollBarsSupport::SetInt(int Index, int Value) {
  if (Index < 0 || Index > 1) return;
  int& size = FSizes[static_cast<std::size_t>(Index)];
  if (size == Value) return;
  size = Value;
  if (!FOwner || Loading(FOwner)) return;
  // A new scroll size changes the forms' frames, a new button size their painting; both
  // reach the forms with the skin change's broadcasts.
  if (Index == 0) FOwner->RepaintForms(false);
}

TacButtonsSupport::TacButtonsSupport(TsSkinManager* Owner) : FOwner(Owner) {}

bool TacButtonsSupport::OldGlyphsMode() const { return gOldGlyphsMode; }

void TacButtonsSupport::SetOldGlyphsMode(bool Value) {
  if (gOldGlyphsMode == Value) return;
  gOldGlyphsMode = Value;
  if (FOwner && !Loading(FOwner)) FOwner->RepaintForms(true);
}

// ---------------------------------------------------------------------------
// Freezing a form during a rescale
// ---------------------------------------------------------------------------

void FreezeForm(TsSkinProvider* Provider, unsigned Data) {
  if (!Provider || !Provider->Form) return;
  TForm* form = Provider->Form;
  const bool release = (Data & 1) != 0;
  if (!form->HandleAllocated()) return;
  // The provider's frame state, its in-animation flag and its border form join with the
  // form skinning; what the window itself needs is here.
  if (release) SendSkinCommand(form->Handle(), SKCMD_PREPARE_CACHE, 0);
  if (form->BorderStyle() != bsNone) SendMessageW(form->Handle(), WM_SETREDRAW, release ? 1 : 0, 0);
  // The provider has no section of its own until the form skinning: redrawn in both cases.
  RedrawWindow(form->Handle(), nullptr, nullptr, 0x0585);
}

// ---------------------------------------------------------------------------
// TacFonts
// ---------------------------------------------------------------------------

namespace {
bool ManagerLoading(const TsSkinManager* m) { return (m->ComponentState() & (csLoading | csReading)) != 0; }
}  // namespace

TacFonts::TacFonts(TsSkinManager* Owner)
    : SkinManager(Owner), MainMode(this, WriteMainMode, fmDefault), MainFont(this, WriteMainFont, std::wstring()) {}

void TacFonts::WriteMainFont(void* Holder, std::wstring Value) {
  auto* self = static_cast<TacFonts*>(Holder);
  if (Value == self->MainFont.Get()) return;
  self->MainFont.Store(Value);
  if (!ManagerLoading(self->SkinManager) && self->MainMode == fmCustom)
    self->SkinManager->ChangeAppFont(self->MainFont, true);
}

void TacFonts::WriteMainMode(void* Holder, TacFontMode Value) {
  auto* self = static_cast<TacFonts*>(Holder);
  if (Value == self->MainMode.Get()) return;
  self->MainMode.Store(Value);
  if (ManagerLoading(self->SkinManager)) return;
  TsSkinManager& m = *self->SkinManager;
  switch (Value) {
    case fmDefault:
      if (!m.DefStoredFontName.empty()) m.ChangeAppFont(m.DefStoredFontName, true);
      break;
    case fmFromSkin:
      m.ChangeAppFont(m.SkinCommonInfo.MainFont.empty() ? m.DefStoredFontName : m.SkinCommonInfo.MainFont, true);
      break;
    case fmCustom: m.ChangeAppFont(self->MainFont, true); break;
  }
}
