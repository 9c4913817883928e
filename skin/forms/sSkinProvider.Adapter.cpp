// The control adapter of a skinned form: finds the controls on the form that the engine did
// not write and gives each the window handler its class name calls for (by the class lists,
// the provider's own when it has them, else the manager's), frames a frame adapter, embedded
// forms a provider of their own and speed buttons a graph item; and frees them again.
#include <windows.h>

#include "platform/ui/Buttons.SpeedButton.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Frames.h"
#include "platform/ui/StdCtrls.h"
#include "skin/controls/sLabel.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sFrameAdapter.h"
#include "skin/manager/sSkinManager.h"

namespace {

// On while an adapter frees all its items: handlers freed then keep their controls' skinned
// parameters, and a message sent meanwhile cannot start a second removal.
bool gRemovingAll = false;

bool Skipped(const TControl* Control) { return (Control->Tag & SkipSkinningTag) != 0; }

bool WindowSkinned(TWinControl* Control) { return Control->HandleAllocated() && IsSkinnedWindow(Control->Handle()); }

// The parameters a control is adopted with before the permission events change them.
TacSkinParams DefaultParams(const std::wstring& Section) {
  TacSkinParams params;
  params.SkinSection = Section;
  params.UseSkinColor = true;
  params.UseSkinFontColor = true;
  params.VertScrollSize = params.HorzScrollSize = params.VertScrollBtnSize = params.HorzScrollBtnSize = -1;
  return params;
}

const TStringList* ClassList(TsSkinProvider* Provider, TsSkinManager* Manager, int Index) {
  if (Provider->OwnThirdLists) {
    if (Index < static_cast<int>(Provider->ThirdLists.size())) return Provider->ThirdLists[static_cast<std::size_t>(Index)].get();
    return nullptr;
  }
  return Manager ? &Manager->ThirdLists[static_cast<std::size_t>(Index)] : nullptr;
}

}  // namespace

const std::array<const wchar_t*, acThirdPartyCount> TacCtrlAdapter::HandlerKinds = {
    L"TacEditWnd",         L"TacButtonWnd",        L"TacBitBtnWnd",         L"TacCheckBoxWnd",
    L"TacComboBoxWnd",     L"TacGridWnd",          L"TacGroupBoxWnd",       L"TacListViewWnd",
    L"TacPanelWnd",        L"TacTreeViewWnd",      L"TacWWComboBoxWnd",     L"TacGridEhWnd",
    L"TacVirtualTreeViewWnd", L"TacPageControlWnd", L"TacTabControlWnd",    L"TacToolBarVCLWnd",
    L"TacStatusBarWnd",    L"TacEditWnd",          L"TacScrollBoxWnd",      L"TacSpinWnd",
    L"TacSBWnd",           L"TacStaticTextWnd",    L"TacNativePaint"};

// ---- TacAdapterItem -------------------------------------------------------------------

TacAdapterItem::TacAdapterItem(TacCtrlAdapter* AAdapter, TWinControl* Ctrl) : WinCtrl(Ctrl), Adapter(AAdapter) {}

TacAdapterItem::~TacAdapterItem() { FreeHandler(ScrollWnd); }

void TacAdapterItem::DoHook(TWinControl* Control, TacSkinParams& SkinParams) {
  if (!Control || Skipped(Control) || !Control->HandleAllocated() || IsSkinnedWindow(Control->Handle())) return;
  TsSkinProvider* provider = Adapter ? Adapter->Provider : nullptr;
  TsSkinManager* manager = provider ? provider->Manager() : nullptr;
  if (!manager) return;
  WinCtrl = Control;
  SkinParams.Control = Control;
  const std::wstring className = Control->ClassName();
  for (int i = 0; i < acThirdPartyCount; ++i) {
    const TStringList* list = ClassList(provider, manager, i);
    if (!list) continue;
    for (const std::wstring& entry : list->Strings()) {
      if (entry != className) continue;
      // The first list naming the class decides, also when its handler kind is not there.
      ScrollWnd = CreateHandler(TacCtrlAdapter::HandlerKinds[static_cast<std::size_t>(i)], Control->Handle(), true,
                                SkinParams, manager, nullptr);
      if (ScrollWnd) ScrollWnd->Adapter = Adapter;
      return;
    }
  }
}

// ---- TacGraphItem ---------------------------------------------------------------------

TacGraphItem::TacGraphItem(TacCtrlAdapter* AAdapter, TControl* Control)
    : Adapter(AAdapter), Ctrl(Control), SkinData(std::make_unique<TsCommonData>(Control, true)) {
  SkinData->COC = COC_TsGraphItem;
}

TacGraphItem::~TacGraphItem() {
  delete Handler;
  Handler = nullptr;
  if (SkinData) SkinData->ClearLinks();
  SkinData.reset();
}

void TacGraphItem::DoHook(TControl* Control) {
  if (!Control || Skipped(Control)) return;
  Ctrl = Control;
  SkinData->FOwnerObject = Control;
  TsSkinManager* manager = Adapter && Adapter->Provider ? Adapter->Provider->Manager() : nullptr;
  Handler = new TacSpeedButtonHandler(Control, true, SkinData->SkinSection(), manager, SkinData.get());
}

// ---- TacCtrlAdapter -------------------------------------------------------------------

TacCtrlAdapter::TacCtrlAdapter(TsSkinProvider* AProvider) : Provider(AProvider) {
  bFlag = false;
  gRemovingAll = false;
}

TacCtrlAdapter::~TacCtrlAdapter() {
  CleanItems();
  RemoveAllItems();
}

bool TacCtrlAdapter::RemovingAll() { return gRemovingAll; }

bool TacCtrlAdapter::SkinItemAllowed(TControl* Control, TacSkinParams& Params) {
  bool canBeAdded = true;
  if (!Provider) return canBeAdded;
  if (Provider->OnSkinItem) Provider->OnSkinItem(Control, canBeAdded, Params.SkinSection);
  if (canBeAdded && Provider->OnSkinItemEx) Provider->OnSkinItemEx(Control, canBeAdded, Params);
  return canBeAdded;
}

bool TacCtrlAdapter::ClassListed(const std::wstring& ClassName) {
  TsSkinManager* manager = Provider ? Provider->Manager() : nullptr;
  for (int i = 0; i < acThirdPartyCount; ++i) {
    const TStringList* list = Provider ? ClassList(Provider, manager, i) : nullptr;
    if (!list) continue;
    for (const std::wstring& entry : list->Strings())
      if (entry == ClassName) return true;
  }
  return false;
}

bool TacCtrlAdapter::IsControlSupported(TControl* Control) {
  if (!Control || Skipped(Control)) return false;
  auto* win = dynamic_cast<TWinControl*>(Control);
  if (win && (!win->HandleAllocated() || IsSkinnedWindow(win->Handle()))) return false;
  const auto allowedKeepingFont = [&] {
    TacSkinParams params = DefaultParams(L"");
    return SkinItemAllowed(Control, params) && params.UseSkinFontColor;
  };
  if (dynamic_cast<TCustomLabel*>(Control) || dynamic_cast<TCustomFrame*>(Control) || dynamic_cast<TForm*>(Control))
    return allowedKeepingFont();
  if (dynamic_cast<TSpeedButton*>(Control)) return ClassListed(Control->ClassName()) && allowedKeepingFont();
  if (!win) return false;
  return ClassListed(Control->ClassName());
}

void TacCtrlAdapter::AddAllItems(TWinControl* OwnerCtrl) {
  if (!Provider || !Provider->AllowSkin3rdParty || bFlag) return;
  TsSkinManager* manager = Provider->Manager();
  if (!manager || !(manager->SkinningRules() & srThirdParty)) return;
  TWinControl* owner = OwnerCtrl ? OwnerCtrl : Provider->Form;
  if (!owner) return;
  bFlag = true;
  CleanItems();
  // The nested search runs with the guard down and puts it up again when it is done.
  const auto searchBelow = [this](TWinControl* win) {
    if (!win->HandleAllocated() || !win->Parent()) return;
    bFlag = false;
    AddAllItems(win);
    bFlag = true;
  };
  // 1. The components the control owns.
  for (TComponent* component : std::vector<TComponent*>(owner->Components())) {
    auto* control = dynamic_cast<TControl*>(component);
    if (!control) continue;
    auto* win = dynamic_cast<TWinControl*>(control);
    if (IsControlSupported(control)) {
      if (win)
        AddNewItem(win, L"");
      else if (dynamic_cast<TCustomLabel*>(control) && !dynamic_cast<TsCustomLabel*>(control))
        Provider->InitLabel(control, true);
    }
    if (win) searchBelow(win);
  }
  // 2. The child controls.
  for (TControl* control : std::vector<TControl*>(owner->Controls())) {
    auto* win = dynamic_cast<TWinControl*>(control);
    if (IsControlSupported(control)) {
      if (win)
        AddNewItem(win, L"");
      else if (dynamic_cast<TLabel*>(control))
        Provider->InitLabel(control, true);
      else if (auto* button = dynamic_cast<TSpeedButton*>(control))
        AddNewItem(button);
    }
    if (win) searchBelow(win);
  }
  bFlag = false;
}

void TacCtrlAdapter::AddNewItem(TWinControl* Ctrl, const std::wstring& SkinSection) {
  if (!Provider || !Provider->AllowSkin3rdParty || !Ctrl) return;
  if (Skipped(Ctrl) || !Ctrl->Parent() || WindowSkinned(Ctrl)) return;
  TacSkinParams params = DefaultParams(SkinSection);
  if (!SkinItemAllowed(Ctrl, params)) return;
  if (auto* frame = dynamic_cast<TCustomFrame*>(Ctrl)) {
    NewComponent<TsFrameAdapter>(frame);
    Sleep(0);
    return;
  }
  if (auto* form = dynamic_cast<TForm*>(Ctrl)) {
    auto* provider = NewComponent<TsSkinProvider>(form);
    if (provider->SkinData()) provider->SkinData()->WriteSkinSection(SkinSection.empty() ? L"FORM" : SkinSection);
    provider->PrepareForm();
    if (form->HandleAllocated()) UseDwmTransitions(form->Handle(), true);
    return;
  }
  const int index = IndexOf(Ctrl);
  if (index < 0) {
    Items.push_back(std::make_unique<TacAdapterItem>(this, Ctrl));
    TacAdapterItem* item = Items.back().get();
    if (Ctrl->Parent()) item->DoHook(Ctrl, params);
    if (!item->ScrollWnd) {
      const int at = IndexOf(Ctrl);
      if (at >= 0) Items.erase(Items.begin() + at);
    }
    return;
  }
  TacAdapterItem* item = Items[static_cast<std::size_t>(index)].get();
  if (item->ScrollWnd && item->ScrollWnd->Destroyed) {
    FreeHandler(item->ScrollWnd);
    if (Ctrl->Parent()) item->DoHook(Ctrl, params);
  }
}

void TacCtrlAdapter::AddNewItem(TSpeedButton* SpeedButton) {
  if (!Provider || !Provider->AllowSkin3rdParty || !SpeedButton) return;
  if (Skipped(SpeedButton) || !SpeedButton->Parent()) return;
  if (SpeedButton->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_IS_SKINNED), 0) == 1) return;
  TacSkinParams params = DefaultParams(L"SPEEDBUTTON");
  if (!SkinItemAllowed(SpeedButton, params)) return;
  TacGraphItem* item = nullptr;
  for (auto& g : GraphItems)
    if (g->Ctrl == SpeedButton) item = g.get();
  const bool isNew = !item;
  if (isNew) {
    GraphItems.push_back(std::make_unique<TacGraphItem>(this, SpeedButton));
    item = GraphItems.back().get();
  }
  item->SkinData->WriteSkinSection(SpeedButton->Flat() ? L"SPEEDBUTTON_SMALL" : L"SPEEDBUTTON");
  if (!isNew) {
    if (item->Handler && item->Handler->Destroyed) {
      delete item->Handler;
      item->Handler = nullptr;
      item->DoHook(SpeedButton);
    }
    return;
  }
  if (SpeedButton->Parent()) item->DoHook(SpeedButton);
  if (!item->Handler)
    for (std::size_t i = 0; i < GraphItems.size(); ++i)
      if (GraphItems[i].get() == item) {
        GraphItems.erase(GraphItems.begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
}

void TacCtrlAdapter::WndProc(TMessage& Message) {
  // A handler may die or items may go while a message is handled: the list is read again
  // at every step.
  for (std::size_t i = 0; i < Items.size(); ++i) {
    TacAdapterItem* item = Items[i].get();
    TacMainWnd* handler = item->ScrollWnd;
    if (!handler || handler->Destroyed || !item->WinCtrl || !item->WinCtrl->Parent()) continue;
    Message.Result = handler->ProcessMessage(Message.Msg, Message.WParam, Message.LParam);
  }
}

void TacCtrlAdapter::CleanItems() {
  const auto deadItem = [](const std::unique_ptr<TacAdapterItem>& item) {
    return !item->ScrollWnd || item->ScrollWnd->Destroyed;
  };
  std::vector<std::unique_ptr<TacAdapterItem>> dead;
  for (auto& item : Items)
    if (deadItem(item)) dead.push_back(std::move(item));
  std::erase_if(Items, [](const std::unique_ptr<TacAdapterItem>& item) { return !item; });
  dead.clear();
  std::vector<std::unique_ptr<TacGraphItem>> deadGraph;
  for (auto& item : GraphItems)
    if (!item->Handler || item->Handler->Destroyed) deadGraph.push_back(std::move(item));
  std::erase_if(GraphItems, [](const std::unique_ptr<TacGraphItem>& item) { return !item; });
  deadGraph.clear();
}

void TacCtrlAdapter::RemoveAllItems() {
  if (gRemovingAll) return;
  gRemovingAll = true;
  struct TReset {
    ~TReset() { gRemovingAll = false; }
  } reset;
  while (!Items.empty()) {
    std::unique_ptr<TacAdapterItem> item = std::move(Items.back());
    Items.pop_back();
    // A detached handler's control may be gone: its state must not reach for it.
    if (item && item->ScrollWnd && item->ScrollWnd->Destroyed && item->ScrollWnd->SkinData)
      item->ScrollWnd->SkinData->ClearLinks();
    item.reset();
  }
  const bool terminating = Application().Terminated();
  while (!GraphItems.empty()) {
    std::unique_ptr<TacGraphItem> item = std::move(GraphItems.back());
    GraphItems.pop_back();
    if (terminating && item) {
      item->Ctrl = nullptr;
      if (item->Handler) {
        item->Handler->Ctrl = nullptr;
        item->Handler->PCtrl = false;
      }
    }
    item.reset();
  }
}

void TacCtrlAdapter::RemoveItem(int Index) {
  if (Index < 0 || Index >= Count()) return;
  std::unique_ptr<TacAdapterItem> victim = std::move(Items[static_cast<std::size_t>(Index)]);
  if (Index != Count() - 1) Items[static_cast<std::size_t>(Index)] = std::move(Items.back());
  Items.pop_back();
  victim.reset();
}

TacAdapterItem* TacCtrlAdapter::GetItem(int Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return Items[static_cast<std::size_t>(Index)].get();
}

int TacCtrlAdapter::IndexOf(TWinControl* Ctrl) const {
  for (std::size_t i = 0; i < Items.size(); ++i)
    if (Items[i]->WinCtrl == Ctrl) return static_cast<int>(i);
  return -1;
}

TsCommonData* TacCtrlAdapter::GetCommonData(int Index) const {
  (void)Index;
  return nullptr;
}
