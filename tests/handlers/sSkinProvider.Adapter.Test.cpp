// The control adapter of a skinned form on a real form under Xvfb: which controls get which
// handler kind by the class lists, the permission events, frames and embedded forms, speed
// buttons, no second adoption, clean-up of dead items, and giving every control back. Probe
// handlers registered under the adapter's kind names show what was made.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "HandlerFixtures.h"
#include "skin/ReaderFixtures.h"
#include "platform/ui/Buttons.SpeedButton.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Frames.h"
#include "platform/ui/StdCtrls.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sFrameAdapter.h"
#include "skin/manager/sSkinManager.h"
#include "support/GdiCensus.h"
#include "support/MessagePump.h"

using namespace handler_tests;

namespace {

// A windowed control of another component set: only its class name sets it apart.
class TNamedCtrl : public TWinControl {
public:
  TNamedCtrl(TComponent* owner, std::wstring name) : TWinControl(owner), FName(std::move(name)) {}
  std::wstring ClassName() const override { return FName; }

private:
  std::wstring FName;
};

// A handler that counts the living ones.
class TProbeHandler : public TacMainWnd {
public:
  TProbeHandler(HWND Wnd, bool Repaint, const TacSkinParams& Params, TsSkinManager* Manager, TsCommonData* Shared)
      : TacMainWnd(Wnd, Repaint, Params, Manager, Shared) {
    ++Alive;
  }
  ~TProbeHandler() override { --Alive; }
  void acWndProc(TMessage& Message) override {
    if (Message.Msg == kProbeMessage) {
      ++Probed;
      return;
    }
    TacMainWnd::acWndProc(Message);
  }
  static constexpr UINT kProbeMessage = WM_APP + 77;
  static inline int Alive = 0, Probed = 0;
};

// Registers the probe under the kind names the adapter asks for and gives the makers that
// were there back at the end.
struct TProbeKinds {
  std::map<std::wstring, TacHandlerMaker> Saved;
  explicit TProbeKinds(std::initializer_list<const wchar_t*> Kinds) {
    for (const wchar_t* kind : Kinds) {
      Saved[kind] = HandlerKindMaker(kind);
      RegisterHandlerKind(kind, MakerOf<TProbeHandler>());
    }
  }
  ~TProbeKinds() {
    for (auto& [kind, maker] : Saved) RegisterHandlerKind(kind, maker);
  }
};

class CtrlAdapter : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    TProbeHandler::Alive = 0;
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"forms"));
    M->SetSkinName(L"");
    M->SetActive(false);
    Form = CreateComponent<TForm>(nullptr);
    P = NewComponent<TsSkinProvider>(Form);
    P->SkinManager = M;
    Form->Show();
    // Sized once shown: the size given before the window is made is not kept.
    Form->SetBounds(40, 40, 420, 320);
    PumpMessages();
  }
  void TearDown() override {
    Application().SetTerminated(false);
    TComponent::Free(Form);
    TComponent::Free(M);
    PumpMessages();
    EXPECT_EQ(TProbeHandler::Alive, 0);
  }
  // Class lists of the provider's own, by index.
  void Lists(std::initializer_list<std::pair<int, const wchar_t*>> Rows) {
    for (auto& [index, text] : Rows) P->ThirdParty().SetString(index, text);
    P->LoadThirdLists();
    ASSERT_TRUE(P->OwnThirdLists);
  }
  TWinControl* Add(const std::wstring& Name, TWinControl* Parent = nullptr, std::intptr_t Tag = 0) {
    auto* c = new TNamedCtrl(Form, Name);
    c->Tag = Tag;
    c->SetParent(Parent ? Parent : Form);
    c->SetBounds(10 + 30 * static_cast<int>(Form->ComponentCount() % 10), 10, 24, 24);
    c->Handle();
    return c;
  }
  void SkinOn() {
    M->SetSkinName(L"Tarvel Forms");
    M->SetActive(true);
    PumpMessages();
    ASSERT_TRUE(P->FCommonData->Skinned());
    ASSERT_TRUE(P->Adapter);
  }
  void SkinOff() {
    M->SetActive(false);
    PumpMessages();
  }
  // The handler kind the control was given; empty without one.
  std::wstring KindOf(TWinControl* c) {
    if (!P->Adapter) return {};
    TacAdapterItem* item = P->Adapter->GetItem(P->Adapter->IndexOf(c));
    return item && item->ScrollWnd ? item->ScrollWnd->KindName : L"";
  }
  TacMainWnd* HandlerOf(TWinControl* c) {
    TacAdapterItem* item = P->Adapter ? P->Adapter->GetItem(P->Adapter->IndexOf(c)) : nullptr;
    return item ? item->ScrollWnd : nullptr;
  }
  TsSkinManager* M = nullptr;
  TForm* Form = nullptr;
  TsSkinProvider* P = nullptr;
};

}  // namespace

TEST_F(CtrlAdapter, ClassListsChooseTheHandlerKind) {
  TProbeKinds kinds{L"TacEditWnd", L"TacCheckBoxWnd", L"TacPanelWnd", L"TacButtonWnd"};
  // The combo kind is taken out for the test: the list of a kind nobody registered.
  const TacHandlerMaker comboMaker = HandlerKindMaker(L"TacComboBoxWnd");
  RegisterHandlerKind(L"TacComboBoxWnd", nullptr);
  struct TComboBack {
    TacHandlerMaker Maker;
    ~TComboBack() { RegisterHandlerKind(L"TacComboBoxWnd", Maker); }
  } comboBack{comboMaker};
  Lists({{tpEdit, L"TMyEdit\nTSkipped"},
         {tpCheckBox, L"TBoth"},
         {tpPanel, L"TBoth\nTPanelled"},
         {tpComboBox, L"TCombo"},  // its kind is not registered
         {tpSpeedButton, L"TOnlySpeed"}});
  struct Row {
    const wchar_t* Class;
    std::intptr_t Tag;
    const wchar_t* Kind;  // empty: not adapted
  } rows[] = {
      {L"TMyEdit", 0, L"TacEditWnd"},
      {L"TBoth", 0, L"TacCheckBoxWnd"},     // the lower list index wins
      {L"TPanelled", 0, L"TacPanelWnd"},
      {L"TOnlySpeed", 0, L"TacEditWnd"},    // a windowed control in the speed-button list
      {L"TCombo", 0, L""},                  // no handler kind: left alone
      {L"tmyedit", 0, L""},                 // names compare exactly
      {L"TUnknown", 0, L""},
      {L"TSkipped", 256, L""},              // the skip bit
      {L"TMyEdit", 256 | 1, L""},
  };
  std::vector<TWinControl*> controls;
  for (const Row& row : rows) controls.push_back(Add(row.Class, nullptr, row.Tag));
  // A listed control inside a listed container is found too.
  TWinControl* nested = Add(L"TMyEdit", controls[2]);
  SkinOn();
  for (std::size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(KindOf(controls[i]), rows[i].Kind) << static_cast<const wchar_t*>(rows[i].Class) << " " << rows[i].Tag;
  EXPECT_EQ(KindOf(nested), L"TacEditWnd");
  EXPECT_EQ(P->Adapter->Count(), 5);
  for (int i = 0; i < P->Adapter->Count(); ++i) EXPECT_EQ(P->Adapter->GetItem(i)->ScrollWnd->Adapter, P->Adapter.get());
  EXPECT_EQ(P->Adapter->GetItem(P->Adapter->Count()), nullptr);
  EXPECT_EQ(P->Adapter->GetItem(-1), nullptr);
  EXPECT_EQ(P->Adapter->GetCommonData(0), nullptr);
}

TEST_F(CtrlAdapter, WithoutListsOfItsOwnTheManagersAreRead) {
  TProbeKinds kinds{L"TacEditWnd"};
  M->ThirdLists[tpEdit].SetText(L"TManagerEdit");
  TWinControl* c = Add(L"TManagerEdit");
  ASSERT_FALSE(P->OwnThirdLists);
  SkinOn();
  EXPECT_EQ(KindOf(c), L"TacEditWnd");
  SkinOff();
  // Without the rule for other component sets nothing is adapted.
  M->SetSkinningRules(srStdForms | srStdDialogs);
  SkinOn();
  EXPECT_EQ(P->Adapter->Count(), 0);
}

TEST_F(CtrlAdapter, PermissionEventsVetoAndChangeTheParameters) {
  TProbeKinds kinds{L"TacEditWnd"};
  Lists({{tpEdit, L"TMyEdit"}});
  TWinControl* vetoed = Add(L"TMyEdit");
  TWinControl* exVetoed = Add(L"TMyEdit");
  TWinControl* sectioned = Add(L"TMyEdit");
  TWinControl* plain = Add(L"TMyEdit");
  std::vector<TControl*> exAsked;
  P->OnSkinItem = [&](TControl* c, bool& can, std::wstring& section) {
    if (c == vetoed) can = false;
    if (c == sectioned) section = L"PANEL";
  };
  P->OnSkinItemEx = [&](TControl* c, bool& can, TacSkinParams& params) {
    exAsked.push_back(c);
    EXPECT_NE(c, vetoed);  // not asked after a veto
    if (c == exVetoed) can = false;
    if (c == plain) {
      EXPECT_TRUE(params.UseSkinColor);
      EXPECT_EQ(params.VertScrollSize, -1);
      params.UseSkinColor = false;
    }
  };
  SkinOn();
  EXPECT_EQ(HandlerOf(vetoed), nullptr);
  EXPECT_EQ(HandlerOf(exVetoed), nullptr);
  ASSERT_NE(HandlerOf(sectioned), nullptr);
  EXPECT_EQ(HandlerOf(sectioned)->SkinData->SkinSection(), L"PANEL");
  ASSERT_NE(HandlerOf(plain), nullptr);
  EXPECT_TRUE(HandlerOf(plain)->SkinData->CustomColor());
  EXPECT_EQ(HandlerOf(plain)->SkinData->FOwnerControl, plain);
}

TEST_F(CtrlAdapter, ClearedSkinFontColourMakesLabelsFramesAndFormsUnsupported) {
  Lists({{tpEdit, L"TMyEdit"}, {tpSpeedButton, L"TSpeedButton"}});
  auto* label = new TLabel(Form);
  label->SetParent(Form);
  label->Font.Color = 0x00010203;
  auto* frame = new TFrame(Form);
  frame->SetParent(Form);
  frame->Handle();
  auto* inner = CreateComponent<TForm>(Form);
  inner->SetParent(Form);
  inner->Handle();
  auto* button = new TSpeedButton(Form);
  button->SetParent(Form);
  bool keepFontColour = false;
  P->OnSkinItemEx = [&](TControl*, bool&, TacSkinParams& params) { params.UseSkinFontColor = keepFontColour; };
  SkinOn();
  // Made after the adoption: a control already taken over counts as unsupported.
  TWinControl* edit = Add(L"TMyEdit");
  // Nothing of them was taken over.
  EXPECT_EQ(static_cast<TColor>(label->Font.Color), 0x00010203);
  EXPECT_FALSE(IsSkinnedWindow(frame->Handle()));
  EXPECT_FALSE(IsSkinnedWindow(inner->Handle()));
  EXPECT_TRUE(P->Adapter->GraphItems.empty());
  struct Row {
    const char* Name;
    TControl* Control;
  } rows[] = {{"label", label}, {"frame", frame}, {"form", inner}, {"speed button", button}};
  for (bool keep : {false, true}) {
    keepFontColour = keep;
    for (const Row& row : rows) EXPECT_EQ(P->Adapter->IsControlSupported(row.Control), keep) << row.Name;
    // A windowed control of the lists is supported without asking.
    EXPECT_TRUE(P->Adapter->IsControlSupported(edit));
  }
}

TEST_F(CtrlAdapter, FramesGetTheirAdapterAndEmbeddedFormsTheirProvider) {
  auto* frame = new TFrame(Form);
  frame->SetParent(Form);
  frame->SetBounds(10, 60, 150, 100);
  frame->Handle();
  auto* inner = CreateComponent<TForm>(Form);
  inner->SetBorderStyle(bsNone);
  inner->SetParent(Form);
  inner->SetBounds(180, 60, 150, 100);
  inner->Handle();
  inner->Show();
  SkinOn();
  const auto adapters = [&] {
    return std::count_if(frame->Components().begin(), frame->Components().end(),
                         [](TComponent* c) { return dynamic_cast<TsFrameAdapter*>(c) != nullptr; });
  };
  EXPECT_EQ(adapters(), 1);
  TsSkinProvider* own = nullptr;
  for (TComponent* c : inner->Components())
    if (auto* p = dynamic_cast<TsSkinProvider*>(c)) own = p;
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->SkinData()->SkinSection(), L"FORM");
  EXPECT_TRUE(IsSkinnedWindow(frame->Handle()));
  EXPECT_TRUE(IsSkinnedWindow(inner->Handle()));
  // Asked again, neither gets a second one.
  P->Adapter->AddAllItems();
  P->Adapter->AddNewItem(frame);
  EXPECT_EQ(adapters(), 1);
  int providers = 0;
  for (TComponent* c : inner->Components()) providers += dynamic_cast<TsSkinProvider*>(c) != nullptr;
  EXPECT_EQ(providers, 1);
}

TEST_F(CtrlAdapter, EachControlIsAdoptedOnce) {
  TProbeKinds kinds{L"TacEditWnd"};
  Lists({{tpEdit, L"TMyEdit"}, {tpSpeedButton, L"TSpeedButton"}});
  TWinControl* a = Add(L"TMyEdit");
  TWinControl* b = Add(L"TMyEdit");
  auto* flat = new TSpeedButton(Form);
  flat->SetFlat(true);
  flat->SetParent(Form);
  auto* raised = new TSpeedButton(Form);
  raised->SetParent(Form);
  SkinOn();
  TacMainWnd* ha = HandlerOf(a);
  TacMainWnd* hb = HandlerOf(b);
  ASSERT_TRUE(ha && hb);
  ASSERT_EQ(P->Adapter->GraphItems.size(), 2u);
  TacCtrlAdapter* adapter = P->Adapter.get();
  for (int round = 0; round < 2; ++round) {
    // A provider asked for its adapter again (a form shown again) keeps the one it has.
    P->CreateAdapter();
    EXPECT_EQ(P->Adapter.get(), adapter);
    P->Adapter->AddAllItems();
    P->Adapter->AddNewItem(a);
    P->Adapter->AddNewItem(flat);
    Form->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_ADD_CONTROLS), 0);
  }
  EXPECT_EQ(P->Adapter->Count(), 2);
  EXPECT_EQ(HandlerOf(a), ha);
  EXPECT_EQ(HandlerOf(b), hb);
  EXPECT_EQ(TProbeHandler::Alive, 2);
  ASSERT_EQ(P->Adapter->GraphItems.size(), 2u);
  std::map<TControl*, std::wstring> sections;
  for (auto& g : P->Adapter->GraphItems) {
    EXPECT_EQ(g->SkinData->COC, COC_TsGraphItem);
    ASSERT_NE(g->Handler, nullptr);
    EXPECT_EQ(g->Handler->Ctrl, g->Ctrl);
    sections[g->Ctrl] = g->SkinData->SkinSection();
  }
  EXPECT_EQ(sections[flat], L"SPEEDBUTTON_SMALL");
  EXPECT_EQ(sections[raised], L"SPEEDBUTTON");
  // A control whose handler died with its window is hooked again when its window comes back.
  a->RecreateWnd();
  PumpMessages();
  P->Adapter->AddNewItem(a);
  ASSERT_NE(HandlerOf(a), nullptr);
  EXPECT_FALSE(HandlerOf(a)->Destroyed);
  EXPECT_EQ(HandlerOf(a)->CtrlHandle, a->Handle());
  EXPECT_EQ(TProbeHandler::Alive, 2);
}

TEST_F(CtrlAdapter, CleanItemsDropsDeadRunsKeepingTheOrder) {
  TProbeKinds kinds{L"TacEditWnd"};
  Lists({{tpEdit, L"TMyEdit"}});
  std::vector<TWinControl*> c;
  for (int i = 0; i < 6; ++i) c.push_back(Add(L"TMyEdit"));
  SkinOn();
  ASSERT_EQ(P->Adapter->Count(), 6);
  std::vector<TWinControl*> order;
  for (int i = 0; i < 6; ++i) order.push_back(P->Adapter->GetItem(i)->WinCtrl);
  // Three in a row die with their windows; the items stay until the clean-up.
  for (int i = 1; i <= 3; ++i) static_cast<TNamedCtrl*>(order[static_cast<std::size_t>(i)])->DestroyHandle();
  EXPECT_EQ(P->Adapter->Count(), 6);
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(P->Adapter->GetItem(i)->ScrollWnd->Destroyed);
  // Messages pass to the living only.
  TProbeHandler::Probed = 0;
  TMessage m{TProbeHandler::kProbeMessage, 0, 0, 0};
  P->Adapter->WndProc(m);
  EXPECT_EQ(TProbeHandler::Probed, 3);
  P->Adapter->CleanItems();
  ASSERT_EQ(P->Adapter->Count(), 3);
  EXPECT_EQ(P->Adapter->GetItem(0)->WinCtrl, order[0]);
  EXPECT_EQ(P->Adapter->GetItem(1)->WinCtrl, order[4]);
  EXPECT_EQ(P->Adapter->GetItem(2)->WinCtrl, order[5]);
  EXPECT_EQ(TProbeHandler::Alive, 3);
  // RemoveItem: the last takes the place; past the end nothing.
  P->Adapter->RemoveItem(0);
  P->Adapter->RemoveItem(7);
  ASSERT_EQ(P->Adapter->Count(), 2);
  EXPECT_EQ(P->Adapter->GetItem(0)->WinCtrl, order[5]);
  EXPECT_EQ(P->Adapter->IndexOf(order[0]), -1);
  EXPECT_EQ(TProbeHandler::Alive, 2);
}

TEST_F(CtrlAdapter, SkinRemovalGivesEveryControlBack) {
  TProbeKinds kinds{L"TacEditWnd", L"TacPanelWnd"};
  Lists({{tpEdit, L"TMyEdit"}, {tpPanel, L"TPanel"}});
  std::vector<TWinControl*> controls{Add(L"TMyEdit"), Add(L"TMyEdit")};
  auto* panel = new TPanel(Form);
  panel->SetParent(Form);
  panel->SetBounds(200, 100, 120, 80);
  panel->Handle();
  controls.push_back(panel);
  controls.push_back(Add(L"TMyEdit", panel));
  std::vector<TWndMethod> procs;
  std::vector<LONG_PTR> winProcs;
  for (TWinControl* c : controls) {
    procs.push_back(c->WindowProc());
    winProcs.push_back(GetWindowLongPtrW(c->Handle(), GWLP_WNDPROC));
  }
  SkinOn();
  ASSERT_EQ(P->Adapter->Count(), 4);
  for (TWinControl* c : controls) {
    EXPECT_NE(GetPropW(c->Handle(), acCommonDataProp), nullptr);
    EXPECT_TRUE(IsSkinnedWindow(c->Handle()));
  }
  SkinOff();
  EXPECT_FALSE(P->Adapter);
  EXPECT_EQ(TProbeHandler::Alive, 0);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    EXPECT_TRUE(controls[i]->WindowProc() == procs[i]) << i;
    EXPECT_EQ(GetWindowLongPtrW(controls[i]->Handle(), GWLP_WNDPROC), winProcs[i]) << i;
    EXPECT_EQ(GetPropW(controls[i]->Handle(), acCommonDataProp), nullptr) << i;
    EXPECT_FALSE(IsSkinnedWindow(controls[i]->Handle())) << i;
  }
  // Freed with the form while skinned, the items go too.
  SkinOn();
  EXPECT_EQ(TProbeHandler::Alive, 4);
}

TEST_F(CtrlAdapter, RemovalWhileTheApplicationTerminatesTouchesNoButton) {
  Lists({{tpSpeedButton, L"TSpeedButton"}});
  std::vector<TSpeedButton*> buttons;
  for (int i = 0; i < 3; ++i) {
    auto* b = new TSpeedButton(Form);
    b->SetParent(Form);
    buttons.push_back(b);
  }
  SkinOn();
  ASSERT_EQ(P->Adapter->GraphItems.size(), 3u);
  // Buttons may be gone before their items at the end of the program.
  TComponent::Free(buttons[0]);
  TComponent::Free(buttons[2]);
  Application().SetTerminated(true);
  P->Adapter->RemoveAllItems();
  EXPECT_TRUE(P->Adapter->GraphItems.empty());
  EXPECT_FALSE(TacCtrlAdapter::RemovingAll());
  Application().SetTerminated(false);
}

TEST_F(CtrlAdapter, FiftySkinCyclesLeaveTheCensusUnchanged) {
  ASSERT_TRUE(InstallGdiCensus());
  TProbeKinds kinds{L"TacEditWnd", L"TacPanelWnd"};
  Lists({{tpEdit, L"TMyEdit"}, {tpPanel, L"TPanel"}, {tpSpeedButton, L"TSpeedButton"}});
  Add(L"TMyEdit");
  auto* panel = new TPanel(Form);
  panel->SetParent(Form);
  panel->Handle();
  Add(L"TMyEdit", panel);
  auto* button = new TSpeedButton(Form);
  button->SetParent(Form);
  auto* frame = new TFrame(Form);
  frame->SetParent(Form);
  frame->Handle();
  SkinOn();
  SkinOff();
  const TGdiCensus before = GdiCensus();
  const std::size_t components = Form->Components().size();
  for (int i = 0; i < 50; ++i) {
    SkinOn();
    ASSERT_EQ(P->Adapter->Count(), 3) << i;
    SkinOff();
    ASSERT_EQ(TProbeHandler::Alive, 0) << i;
  }
  EXPECT_EQ(GdiCensus(), before);
  EXPECT_EQ(Form->Components().size(), components);
  EXPECT_EQ(std::count_if(frame->Components().begin(), frame->Components().end(),
                          [](TComponent* c) { return dynamic_cast<TsFrameAdapter*>(c) != nullptr; }),
            1);
}
