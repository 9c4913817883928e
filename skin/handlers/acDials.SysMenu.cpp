// The skinned system menu of a dialog handler: the dialog's caption is the handler's and
// WS_SYSMENU is off its window, so the six standard commands come from here, shown and
// allowed by the style the handler saved and the dialog's state.
#include "skin/handlers/acDials.h"

#include "skin/manager/sConst.h"

TacSystemMenu::TacSystemMenu(TComponent* AOwner) : TsCustomSysMenu(AOwner) {
  auto item = [this](const std::wstring& Caption, const wchar_t* Name, void (TacSystemMenu::*Click)(TMenuItem*)) {
    auto* i = new TMenuItem(this);
    i->Caption = Caption;
    i->Name = Name;
    i->OnClick = [this, i, Click] { (this->*Click)(i); };
    Items()->Add(i);
    return i;
  };
  ItemRestore = item(acs_Restore, L"miRestore", &TacSystemMenu::RestoreClick);
  ItemMove = item(acs_Move, L"miMove", &TacSystemMenu::MoveClick);
  ItemSize = item(acs_Size, L"miSize", &TacSystemMenu::SizeClick);
  ItemMinimize = item(acs_Minimize, L"miMinimize", &TacSystemMenu::MinClick);
  ItemMaximize = item(acs_Maximize, L"miMaximize", &TacSystemMenu::MaxClick);
  AddLine();
  ItemClose = item(acs_Close, L"miClose", &TacSystemMenu::CloseClick);
  ItemClose->ShortCut = scAlt | VK_F4;  // Alt+F4
}

bool TacSystemMenu::VisibleClose() { return FOwner && FOwner->VisibleClose(); }
bool TacSystemMenu::VisibleMax() { return FOwner && FOwner->VisibleMax(); }
bool TacSystemMenu::VisibleMin() { return FOwner && FOwner->VisibleMin(); }
bool TacSystemMenu::EnabledMax() { return FOwner && FOwner->EnabledMax(); }
bool TacSystemMenu::EnabledMin() { return FOwner && FOwner->EnabledMin(); }
bool TacSystemMenu::EnabledRestore() { return FOwner && FOwner->EnabledRestore(); }

bool TacSystemMenu::EnabledMove() { return !(FOwner && FOwner->CtrlHandle && IsZoomed(FOwner->CtrlHandle)); }

bool TacSystemMenu::EnabledSize() {
  return FOwner && FOwner->BorderStyle != acbsSingle && !(FOwner->CtrlHandle && IsIconic(FOwner->CtrlHandle));
}

bool TacSystemMenu::VisibleSize() {
  return FOwner && FOwner->BorderStyle != acbsDialog && FOwner->BorderStyle != acbsNone &&
         FOwner->BorderStyle != acbsToolWindow;
}

void TacSystemMenu::UpdateItems() {
  ItemRestore->Visible = FOwner && FOwner->VisibleRestore();
  ItemMove->Visible = true;
  ItemSize->Visible = VisibleSize();
  ItemMinimize->Visible = VisibleMin();
  ItemMaximize->Visible = VisibleMax();
  ItemClose->Visible = VisibleClose();
  ItemRestore->Enabled = EnabledRestore();
  ItemMove->Enabled = EnabledMove();
  ItemSize->Enabled = EnabledSize();
  ItemMinimize->Enabled = EnabledMin();
  ItemMaximize->Enabled = EnabledMax();
  ItemClose->Enabled = true;
}

void TacSystemMenu::SendCommand(WPARAM Command) {
  if (FOwner && FOwner->CtrlHandle) SendMessageW(FOwner->CtrlHandle, WM_SYSCOMMAND, Command, 0);
}

void TacSystemMenu::RestoreClick(TMenuItem*) {
  auto alive = FOwner ? FOwner->AliveFlag() : nullptr;
  SendCommand(SC_RESTORE);
  if (alive && *alive) UpdateItems();
}

void TacSystemMenu::MoveClick(TMenuItem*) { SendCommand(SC_MOVE); }
void TacSystemMenu::SizeClick(TMenuItem*) { SendCommand(SC_SIZE); }
void TacSystemMenu::MinClick(TMenuItem*) { SendCommand(SC_MINIMIZE); }

void TacSystemMenu::MaxClick(TMenuItem*) {
  auto alive = FOwner ? FOwner->AliveFlag() : nullptr;
  SendCommand(SC_MAXIMIZE);
  if (alive && *alive) UpdateItems();
}

void TacSystemMenu::CloseClick(TMenuItem*) { SendCommand(SC_CLOSE); }
