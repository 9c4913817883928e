#include "skin/forms/sSkinProvider.h"

#include "platform/ui/Forms.h"
#include "skin/manager/acSkinnedForms.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

TsSkinProvider::TsSkinProvider(TComponent* owner) : TComponent(owner), Form(dynamic_cast<TForm*>(owner)) {
  FCommonData = std::make_unique<TsScrollWndData>(this, false);
  if (Form) {
    RegisterSkinnedForm(Form);
    FRegistered = true;
  }
}

TsSkinProvider::~TsSkinProvider() {
  if (FRegistered && Form) UnregisterSkinnedForm(Form);
}

void TsSkinProvider::BeforeDestruction() {
  if (FRegistered && Form) UnregisterSkinnedForm(Form);
  FRegistered = false;
  // The skin state leaves the form's window while the form still exists.
  FCommonData.reset();
  TComponent::BeforeDestruction();
}

TsSkinManager* TsSkinProvider::Manager() const { return SkinManager ? SkinManager : DefaultManager(); }

LRESULT TsSkinProvider::ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  (void)m;
  return 0;
}

HRGN TacBorderForm::MakeRgn(int NewWidth, int NewHeight) {
  (void)NewWidth;
  (void)NewHeight;
  return nullptr;
}

void TacBorderForm::UpdateExBordersPos(bool Redraw, std::uint8_t Blend) {
  (void)Redraw;
  (void)Blend;
}

std::unique_ptr<TBitmap> MakeFormImage(TsSkinProvider* Provider, bool Second) {
  (void)Provider;
  (void)Second;
  return nullptr;
}

int ExtendedTitleHeight(TsSkinProvider* Provider, bool Maximized) {
  (void)Provider;
  (void)Maximized;
  return 0;
}

HRESULT SetDwmWindowAttribute(HWND Wnd, DWORD Attribute, const void* Value, DWORD Size) {
  (void)Wnd;
  (void)Attribute;
  (void)Value;
  (void)Size;
  return E_NOTIMPL;
}

void InvalidateTaskbarBitmaps(HWND Wnd) { (void)Wnd; }
