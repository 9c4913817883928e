#include "skin/manager/sMDIForm.h"

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sCommonData.h"

TsMDIForm::TsMDIForm(TsSkinProvider* SkinProvider) : SkinProvider(SkinProvider) {
  if (SkinProvider && SkinProvider->Form) {
    FForm = SkinProvider->Form;
    FForm->Handle();
  }
}

TsMDIForm::~TsMDIForm() { DestroyScrolls(); }

void TsMDIForm::ConnectToClient() {
  if (ListSW) return;
  if (FForm && FForm->Designing()) return;
  RefreshMDIScrolls();
}

void TsMDIForm::RefreshMDIScrolls() {
  DestroyScrolls();
  if (!SkinProvider || !FForm || !SkinProvider->FCommonData || !SkinProvider->FCommonData->Skinned()) return;
  TacSkinParams params;
  params.SkinSection = L"CHECKBOX";
  ListSW = new TacMDIWnd(FForm->ClientHandle(), true, params, SkinProvider->Manager(), nullptr);
  ListSW->FForm = FForm;
  ListSW->MDISkinData = SkinProvider->FCommonData.get();
  ListSW->SkinProvider = SkinProvider;
  // The form is known before the handler takes the client window over, so its first
  // messages already paint from the form's image.
  ListSW->KindName = L"TacMDIWnd";
  ListSW->Attach();
}

void TsMDIForm::DestroyScrolls() {
  FreeHandlerOf(ListSW);
}

void TsMDIForm::SendToActiveChild(WPARAM Command) {
  if (!FForm) return;
  TForm* child = FForm->ActiveMDIChild();
  if (child && child->HandleAllocated()) SendMessageW(child->Handle(), WM_SYSCOMMAND, Command, 0);
}

void TsMDIForm::MinClick(void*) { SendToActiveChild(SC_MINIMIZE); }
void TsMDIForm::RestoreClick(void*) { SendToActiveChild(SC_RESTORE); }
void TsMDIForm::CloseClick(void*) { SendToActiveChild(SC_CLOSE); }

void TsMDIForm::UpdateMDIIconItem() {
  if (SkinProvider) SkinProvider->RepaintMenu();
}
