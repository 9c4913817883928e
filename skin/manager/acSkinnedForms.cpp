#include "skin/manager/acSkinnedForms.h"

#include <algorithm>

#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acAnimation.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

std::vector<TForm*> gSkinnedForms;
TacSkinChangeAnimator gAnimator;
// The extended title height last applied to a maximized form with extended borders.
int gLastMaxTitleHeight = 0;
// Covers were begun and not yet ended.
bool gCoversOpen = false;

TsSkinProvider* ProviderOf(TForm* form) {
  return reinterpret_cast<TsSkinProvider*>(PerformSkinCommand(form, SKCMD_GET_PROVIDER, 0));
}

std::uint8_t FormAlpha(const TForm* form) { return form->AlphaBlend() ? form->AlphaBlendValue() : 255; }

// Sends the message to a form's window (made when needed), its children and its MDI client.
void SendToForm(TForm* form, const TMessage& m) {
  SendMessageW(form->Handle(), m.Msg, m.WParam, m.LParam);
  BroadcastToAllChildren(form, m);
  if (form->FormKind() == fkMDIForm && form->ClientHandle())
    SendMessageW(form->ClientHandle(), m.Msg, m.WParam, m.LParam);
}

}  // namespace

std::vector<TsSkinProvider*> ProvidersOfManager(TsSkinManager* manager) {
  std::vector<TsSkinProvider*> result;
  for (TForm* form : std::vector<TForm*>(gSkinnedForms)) {
    if (!form || form->Destroying() || !form->HandleAllocated()) continue;
    TsSkinProvider* p = ProviderOf(form);
    if (p && p->Manager() == manager && std::find(result.begin(), result.end(), p) == result.end())
      result.push_back(p);
  }
  return result;
}

void RegisterSkinnedForm(TForm* Form) { gSkinnedForms.push_back(Form); }

void UnregisterSkinnedForm(TForm* Form) {
  // Every occurrence goes: a form registered twice must not hear broadcasts once freed.
  for (std::size_t i = 0; i < gSkinnedForms.size();) {
    if (gSkinnedForms[i] != Form) {
      ++i;
      continue;
    }
    gSkinnedForms[i] = gSkinnedForms.back();
    gSkinnedForms.back() = nullptr;
    gSkinnedForms.pop_back();
  }
}

const std::vector<TForm*>& SkinnedForms() { return gSkinnedForms; }

void ClearSkinnedForms() { std::vector<TForm*>().swap(gSkinnedForms); }

void ForEachSkinnedForm(TsSkinManager* Manager, const TacSkinnedFormProc& Proc, void* Data) {
  for (std::size_t i = 0; i < gSkinnedForms.size(); ++i) {
    TForm* form = gSkinnedForms[i];
    if (!form || form->Destroying() || form->WindowState() == wsMinimized || form->FormKind() == fkMDIChild ||
        form->Parent() || !form->HandleAllocated() || !IsWindowVisible(form->Handle()))
      continue;
    TsSkinProvider* provider = ProviderOf(form);
    if (provider && provider->Manager() == Manager) Proc(provider, Data);
  }
}

void BroadcastToAppForms(const TMessage& M) {
  TApplication& app = Application();
  for (int i = app.ComponentCount() - 1; i >= 0; --i) {
    // Receivers freed components: the pass ends here, and the registry hears nothing.
    if (i >= app.ComponentCount()) return;
    auto* form = dynamic_cast<TForm*>(app.Components()[static_cast<std::size_t>(i)]);
    if (!form || form->FormKind() == fkMDIChild || (form->ComponentState() & (csLoading | csDestroying))) continue;
    // Skinned forms are reached through the registry.
    if (IsSkinnedWindow(form->Handle())) continue;
    SendToForm(form, M);
  }
  BroadcastToSkinnedForms(M);
}

void BroadcastToSkinnedForms(const TMessage& M) {
  for (std::size_t i = 0; i < gSkinnedForms.size(); ++i) {
    TForm* form = gSkinnedForms[i];
    // A form still being defined hears of the skin when it is made: its window must not be
    // made from inside its own definition.
    if (!form || (form->ComponentState() & (csLoading | csDestroying))) continue;
    SendToForm(form, M);
  }
  if (!HookedProviders) return;
  for (std::size_t i = 0; HookedProviders && i < HookedProviders->size(); ++i) {
    TacProvider* p = (*HookedProviders)[i];
    // Entries may have no handler, or a handler whose window has gone.
    if (!p || !p->ListSW) continue;
    HWND wnd = p->ListSW->CtrlHandle;
    if (wnd && IsWindow(wnd) && IsWindowVisible(wnd)) SendMessageW(wnd, M.Msg, M.WParam, M.LParam);
  }
}

void SetSkinChangeAnimator(TacSkinChangeAnimator Animator) { gAnimator = std::move(Animator); }

void BeginSkinChangeCovers(TsSkinManager* Manager) {
  if (Application().Minimized() || (Manager->ComponentState() & (csLoading | csReading))) return;
  gCoversOpen = true;
  if (Manager->IsDefault() && Manager->AnimEffects.SkinChanging.Active) AnimationInProgress = true;
  ForEachSkinnedForm(Manager, [](TsSkinProvider* p, void*) {
    if (p->BorderForm && p->BorderForm->AForm && p->BorderForm->AForm->HandleAllocated()) {
      p->SetFormState(p->FFormState | FS_COVERING);
      p->CoverBmp.reset();
      p->CoverBmp = MakeFormImage(p, false);
      p->SetFormState(p->FFormState & ~FS_COVERING);
      if (p->FCommonData) p->FCommonData->BGChanged = true;
    }
    p->FInAnimation = true;
  });
}

void ShowSkinChangeCovers(TsSkinManager* Manager) {
  if (Application().Minimized()) return;
  gCoversOpen = true;
  if (Manager->IsDefault() && Manager->AnimEffects.SkinChanging.Active) AnimationInProgress = true;
  ForEachSkinnedForm(Manager, [](TsSkinProvider* p, void*) {
    p->FInAnimation = true;
    p->SetFormState(p->FFormState | FS_CHANGING);
    TacBorderForm* border = p->BorderForm;
    if (border && !border->Locked && border->AForm && border->AForm->HandleAllocated()) {
      HWND wnd = border->AForm->Handle();
      ShowBitmapLayered(wnd, p->CoverBmp.get(), FormAlpha(p->Form), nullptr);
      if (HRGN rgn = border->MakeRgn()) SetWindowRgn(wnd, rgn, FALSE);
    }
    // The form keeps its old look on screen until the end.
    if (p->Form->BorderStyle() != bsNone) p->Form->Perform(WM_SETREDRAW, 0, 0);
  });
}

namespace {

void AnimateForm(TsSkinManager* manager, TsSkinProvider* p) {
  TForm* form = p->Form;
  const TacSkinChanging& anim = manager->AnimEffects.SkinChanging;
  const TacSkinChangeAnimator& animate = gAnimator;
  auto run = [&](std::uint16_t time, std::uint8_t alpha, bool zoom) {
    if (animate)
      animate(form, time, alpha, zoom);
    else
      AnimateSkinChange(form, time, alpha, zoom);
  };
  if (anim.Active) {
    if (p->DrawNonClientArea())
      run(anim.Time, FormAlpha(form), anim.Mode == atAero);
    else
      run(0, 255, false);
  }
  p->SetFormState(p->FFormState & ~FS_COVERING);
  if (p->BorderForm && form->WindowState() == wsMaximized) {
    const int height = ExtendedTitleHeight(p, true);
    if (height != gLastMaxTitleHeight) {
      gLastMaxTitleHeight = height;
      HWND active = GetActiveWindow();
      HWND wnd = form->Handle();
      SetWindowLongPtrW(wnd, GWL_STYLE, GetWindowLongPtrW(wnd, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_VISIBLE));
      ShowWindow(wnd, SW_SHOWMAXIMIZED);
      SetWindowLongPtrW(wnd, GWL_STYLE, GetWindowLongPtrW(wnd, GWL_STYLE) | WS_VISIBLE);
      if (active) SetActiveWindow(active);
    }
  }
  HWND wnd = form->Handle();
  if (p->DrawNonClientArea()) {
    // Without desktop composition the old skin's region would clip the new frame.
    if (!IsDwmCompositionOn()) SetWindowRgn(wnd, nullptr, FALSE);
    p->UpdateCornerRects();
    p->ApplyWindowRgn(true);
    RedrawWindow(wnd, nullptr, nullptr, 0x585);
    TacBorderForm* border = p->BorderForm;
    if (border && !border->Locked && border->AForm && border->AForm->HandleAllocated()) {
      if (HRGN rgn = border->MakeRgn()) SetWindowRgn(border->AForm->Handle(), rgn, FALSE);
      border->UpdateExBordersPos(true, 255);
    }
  } else {
    RedrawWindow(wnd, nullptr, nullptr, 0x585);
  }
  p->FInAnimation = false;
}

}  // namespace

void EndSkinChangeAnimation(TsSkinManager* Manager, bool Animate) {
  // Covers that began are always ended, also when the program was minimized meanwhile.
  if (Application().Minimized() && !gCoversOpen) return;
  gCoversOpen = false;
  if (Manager->IsDefault()) AnimationInProgress = false;
  // Every locked form gets its redraw back, also one hidden or minimized meanwhile.
  const std::vector<TsSkinProvider*> providers = ProvidersOfManager(Manager);
  for (TsSkinProvider* p : providers) {
    if (!(p->FFormState & FS_CHANGING)) continue;
    p->Form->Perform(WM_SETREDRAW, 1, 0);
    // Redraw on gives a window its WS_VISIBLE back: a form hidden meanwhile stays hidden.
    if (!p->Form->Visible()) ShowWindow(p->Form->Handle(), SW_HIDE);
  }
  ForEachSkinnedForm(Manager, [Manager, Animate](TsSkinProvider* p, void*) {
    if (p->Form->WindowState() == wsMinimized || !(p->FFormState & FS_CHANGING)) return;
    p->FInAnimation = false;
    if (Animate) {
      AnimateForm(Manager, p);
    } else {
      p->SetFormState(p->FFormState & ~FS_COVERING);
      SendMessageW(p->Form->Handle(), WM_SETREDRAW, 1, 0);
    }
    p->SetFormState(p->FFormState & ~FS_CHANGING);
  });
  // Forms the animation passed over (hidden or minimized meanwhile) leave the change too.
  for (TsSkinProvider* p : ProvidersOfManager(Manager)) {
    p->FInAnimation = false;
    p->SetFormState(p->FFormState & ~(FS_COVERING | FS_CHANGING));
  }
}

TacSkinChangeCoversGuard::~TacSkinChangeCoversGuard() {
  if (!FBegun) return;
  try {
    if (gCoversOpen) EndSkinChangeAnimation(FManager, false);
  } catch (...) {
  }
  FAnimation.reset();
}

void TacSkinChangeCoversGuard::Begin() {
  FAnimation.emplace(TacAnimationGuard::Keep);
  FBegun = true;
  BeginSkinChangeCovers(FManager);
}

void TacSkinChangeCoversGuard::End(bool Animate) {
  if (!FBegun) return;
  if (gCoversOpen) EndSkinChangeAnimation(FManager, Animate);
  FAnimation.reset();
  FBegun = false;
}

bool ValueInSlice(std::span<const std::uint32_t> Values, std::uint32_t Value, std::uint8_t Lo, std::uint8_t Hi) {
  if (Values.empty() || Hi < Lo) return false;
  const std::size_t last = std::min<std::size_t>(Hi, Values.size() - 1);
  for (std::size_t i = Lo; i <= last; ++i)
    if (Values[i] == Value) return true;
  return false;
}
