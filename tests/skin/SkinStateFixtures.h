#pragma once
// Small controls that take the library message, a manager with sections made in the test,
// and a count of the messages that pass through the system's dispatch.
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

// What a test control does with the library message: records the sub-command (and LParam),
// runs a test action, answers from a table.
struct TSkinReceiver {
  std::vector<WORD> Got;
  std::vector<LPARAM> LParams;
  std::map<WORD, LRESULT> Answers;
  std::function<void(TMessage&)> OnMessage;
  int Count(WORD command) const {
    int n = 0;
    for (WORD c : Got) n += c == command;
    return n;
  }
  void Receive(TMessage& m) {
    const WORD command = SkinCommandOf(m.WParam);
    Got.push_back(command);
    LParams.push_back(m.LParam);
    if (OnMessage) OnMessage(m);
    if (auto it = Answers.find(command); it != Answers.end()) m.Result = it->second;
  }
};

// A windowed control, skinned (with its own skin state, "ACSDATA" on its window) or not.
class TSkinWin : public TWinControl, public TSkinReceiver {
public:
  TSkinWin(TComponent* owner, bool skinned, TWinControl* parent = nullptr) : TWinControl(owner) {
    SetMessageHandler(SM_SKINCOMMAND, [this](TMessage& m) { Receive(m); });
    // A new window carries the state, as the common handling of WM_CREATE does it.
    SetMessageHandler(WM_CREATE, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                        inherited(m);
                        if (State) State->InitCommonProp();
                      }));
    if (skinned) State = std::make_unique<TsCommonData>(this, false);
    SetBounds(0, 0, 60, 30);
    if (parent) SetParent(parent);
  }
  std::wstring ClassName() const override { return L"TSkinWin"; }
  void BeforeDestruction() override {
    State.reset();
    TWinControl::BeforeDestruction();
  }
  // Marks the control as being destroyed while it stays where it is.
  void SetDestroying(bool on) {
    if (on)
      FComponentState |= csDestroying;
    else
      FComponentState &= ~csDestroying;
  }
  void SetLoading(bool on) {
    if (on)
      FComponentState |= csLoading;
    else
      FComponentState &= ~csLoading;
  }
  std::unique_ptr<TsCommonData> State;
};

class TSkinGraphic : public TGraphicControl, public TSkinReceiver {
public:
  TSkinGraphic(TComponent* owner, TWinControl* parent) : TGraphicControl(owner) {
    SetMessageHandler(SM_SKINCOMMAND, [this](TMessage& m) { Receive(m); });
    SetBounds(0, 0, 20, 20);
    SetParent(parent);
  }
  std::wstring ClassName() const override { return L"TSkinGraphic"; }
  void SetDestroying(bool on) {
    if (on)
      FComponentState |= csDestroying;
    else
      FComponentState &= ~csDestroying;
  }
};

// A form that records the library message.
class TSkinForm : public TForm, public TSkinReceiver {
public:
  explicit TSkinForm(TComponent* owner) : TForm(owner) {
    SetMessageHandler(SM_SKINCOMMAND, [this](TMessage& m) { Receive(m); });
    SetBounds(10, 10, 300, 200);
  }
  std::wstring ClassName() const override { return L"TSkinForm"; }
  // Records what reaches the form's window from now on, above whatever procedure took the
  // form over since (a skin provider handles the library message itself): the form's own
  // handler stops recording.
  void RecordOnTop() {
    SetMessageHandler(SM_SKINCOMMAND, [](TMessage&) {});
    HookWindowProc(this, MakeWndMethod<&TSkinForm::RecordAbove>(this), &FBelow);
  }

private:
  void RecordAbove(TMessage& m) {
    if (m.Msg == SM_SKINCOMMAND) Receive(m);
    if (FBelow) FBelow(m);
  }
  TWndMethod FBelow;
};

// Counts the library messages that go through the system's dispatch on this thread.
class TDispatchCounter {
public:
  TDispatchCounter() {
    Instance() = this;
    FHook = SetWindowsHookExW(WH_CALLWNDPROC, Proc, nullptr, GetCurrentThreadId());
  }
  ~TDispatchCounter() {
    UnhookWindowsHookEx(FHook);
    Instance() = nullptr;
  }
  int Count = 0;

private:
  static TDispatchCounter*& Instance() {
    static TDispatchCounter* instance = nullptr;
    return instance;
  }
  static LRESULT CALLBACK Proc(int code, WPARAM w, LPARAM l) {
    if (code == HC_ACTION && Instance() && reinterpret_cast<CWPSTRUCT*>(l)->message == SM_SKINCOMMAND)
      ++Instance()->Count;
    return CallNextHookEx(nullptr, code, w, l);
  }
  HHOOK FHook;
};

// The default manager with one skin data of the given sections (its skin active).
struct TTestSkin {
  TsSkinManager* Manager;
  explicit TTestSkin(std::initializer_list<const wchar_t*> sections) {
    Manager = new TsSkinManager(nullptr);
    Manager->SkinCommonInfo.Active = true;
    AddData(sections);
  }
  TacSkinData& AddData(std::initializer_list<const wchar_t*> sections) {
    Manager->SkinDataArray.push_back(std::make_unique<TacSkinData>(Manager, 96));
    TacSkinData& data = *Manager->SkinDataArray.back();
    for (const wchar_t* name : sections) data.AddSection(name, -1, 2, 0, 0x00808080, 0x00101010);
    return data;
  }
  TacSkinData& Data(int i = 0) { return *Manager->SkinDataArray[i]; }
  ~TTestSkin() { TComponent::Free(Manager); }
};
