#include "platform/ui/Controls.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include <commctrl.h>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>

namespace {

// Components whose free was asked for during one of their messages; destroyed as soon as
// nothing of them is inside a message any more.
thread_local std::vector<TComponent*> g_pendingFree;
thread_local TLoadingPhase* g_loading = nullptr;

void RemoveFrom(std::vector<TComponent*>& list, TComponent* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

bool Contains(const std::vector<TComponent*>& list, const TComponent* item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

std::function<void(std::exception_ptr)> g_onException;

void ReportWindowProcException(std::exception_ptr error) {
  try {
    if (g_onException)
      g_onException(error);
    else
      CodeSite().SendError(L"Unhandled exception in a window procedure");
  } catch (...) {
  }
}

void RunPendingFrees() {
  bool progress = true;
  while (progress && !g_pendingFree.empty()) {
    progress = false;
    for (TComponent* c : std::vector<TComponent*>(g_pendingFree)) {
      if (!Contains(g_pendingFree, c) || c->InMessage()) continue;
      RemoveFrom(g_pendingFree, c);
      try {
        TComponent::Free(c);
      } catch (...) {
        ReportWindowProcException(std::current_exception());
      }
      progress = true;
      break;  // the list may have changed in any way
    }
  }
}

}  // namespace

void ReportWindowProcFailure(std::exception_ptr error) { ReportWindowProcException(error); }

// ---- private messages -------------------------------------------------------

namespace {

struct TPrivateMessage {
  std::atomic<UINT> Msg{0};
  std::atomic<bool (*)(WPARAM)> PostAllowed{nullptr};
};
// Few and registered once at start-up: a fixed table read without a lock at every entry.
constexpr int kMaxPrivateMessages = 8;
TPrivateMessage g_privateMessages[kMaxPrivateMessages];
std::mutex g_privateLock;

// Sends of private messages in flight that a thread of ours marked. An entry lives until
// its send returns, so a receiver finds it however the send was routed.
struct TMarkedSend {
  HWND Wnd;
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
};
std::vector<TMarkedSend> g_markedSends;
std::mutex g_markedLock;

thread_local HHOOK g_postGuardHook = nullptr;

const TPrivateMessage* FindPrivateMessage(UINT msg) {
  if (msg < WM_USER) return nullptr;  // system messages are never ours
  for (const auto& p : g_privateMessages) {
    const UINT m = p.Msg.load(std::memory_order_acquire);
    if (m == 0) return nullptr;
    if (m == msg) return &p;
  }
  return nullptr;
}

// Sees every message the thread takes from its queue, modal loops of menus and message
// boxes included: a posted private message nobody may post is dropped before dispatch.
LRESULT CALLBACK PostGuardProc(int code, WPARAM removal, LPARAM lParam) {
  if (code == HC_ACTION && lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (const TPrivateMessage* p = FindPrivateMessage(msg->message)) {
      auto allowed = p->PostAllowed.load(std::memory_order_acquire);
      if (!allowed || !allowed(msg->wParam)) msg->message = WM_NULL;
    }
  }
  return CallNextHookEx(nullptr, code, removal, lParam);
}

}  // namespace

void RegisterPrivateMessage(UINT msg, bool (*postAllowed)(WPARAM wParam)) {
  {
    std::lock_guard<std::mutex> lock(g_privateLock);
    TPrivateMessage* slot = nullptr;
    for (auto& p : g_privateMessages) {
      const UINT m = p.Msg.load();
      if (m == msg || m == 0) {
        slot = &p;
        break;
      }
    }
    if (!slot) throw Exception(L"Too many private messages");
    slot->PostAllowed.store(postAllowed, std::memory_order_release);
    slot->Msg.store(msg, std::memory_order_release);
  }
  if (!g_postGuardHook)
    g_postGuardHook = SetWindowsHookExW(WH_GETMESSAGE, PostGuardProc, nullptr, GetCurrentThreadId());
}

bool IsPrivateMessage(UINT msg) { return FindPrivateMessage(msg) != nullptr; }

LRESULT SendPrivateMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsPrivateMessage(msg) ||
      (GetWindowThreadProcessId(wnd, nullptr) == GetCurrentThreadId() && InSendMessageEx(nullptr) == ISMEX_NOSEND))
    return SendMessageW(wnd, msg, wParam, lParam);
  const TMarkedSend mark{wnd, msg, wParam, lParam};
  {
    std::lock_guard<std::mutex> lock(g_markedLock);
    g_markedSends.push_back(mark);
  }
  const LRESULT result = SendMessageW(wnd, msg, wParam, lParam);
  std::lock_guard<std::mutex> lock(g_markedLock);
  for (auto it = g_markedSends.begin(); it != g_markedSends.end(); ++it)
    if (it->Wnd == wnd && it->Msg == msg && it->WParam == wParam && it->LParam == lParam) {
      g_markedSends.erase(it);
      break;
    }
  return result;
}

bool PrivateMessageRefused(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsPrivateMessage(msg)) return false;
  // Sent by this thread (or posted, which the hook has judged): its arguments are ours.
  // Inside a message from another thread InSendMessageEx answers for the outer message,
  // so a nested send of our own is told apart by its mark.
  if (InSendMessageEx(nullptr) == ISMEX_NOSEND) return false;
  std::lock_guard<std::mutex> lock(g_markedLock);
  for (const auto& m : g_markedSends)
    if (m.Wnd == wnd && m.Msg == msg && m.WParam == wParam && m.LParam == lParam) return false;
  return true;
}

// ---- TComponent ------------------------------------------------------------

TComponent::TComponent(TComponent* owner) : FOwner(owner) {
  if (FOwner) FOwner->FComponents.push_back(this);
  TLoadingPhase::Join(this);
}

TComponent::~TComponent() {
  FComponentState |= csDestroying;
  RemoveFrom(g_pendingFree, this);
  // Only a component deleted without Free gets here with its components and links intact.
  DestroyComponents();
  for (TComponent* c : std::vector<TComponent*>(FFreeNotifies)) RemoveFreeNotification(c);
  TellFreeListeners();
  if (FOwner) {
    RemoveFrom(FOwner->FComponents, this);
    FOwner = nullptr;
  }
}

void TComponent::BeforeDestruction() {
  DestroyComponents();
  for (TComponent* c : std::vector<TComponent*>(FFreeNotifies)) {
    if (!Contains(FFreeNotifies, c)) continue;
    RemoveFreeNotification(c);
    c->Notification(this, TOperation::opRemove);
  }
  TellFreeListeners();
  NotifyOwner(TOperation::opRemove);
  if (FOwner) {
    RemoveFrom(FOwner->FComponents, this);
    FOwner = nullptr;
  }
}

void TComponent::NotifyOwner(TOperation operation) {
  if (!FOwner || FOwner->Destroying()) return;
  TComponent* owner = FOwner;
  owner->Notification(this, operation);
  for (TComponent* c : std::vector<TComponent*>(owner->FComponents))
    if (c != this && Contains(owner->FComponents, c)) c->Notification(this, operation);
}

void TComponent::AfterConstruction() {
  if (!(FComponentState & csLoading)) AnnounceInsert();
}

void TComponent::AnnounceInsert() {
  if (FInsertAnnounced) return;
  FInsertAnnounced = true;
  NotifyOwner(TOperation::opInsert);
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (!Contains(FFreeNotifies, component)) FFreeNotifies.push_back(component);
  if (!Contains(component->FFreeNotifies, this)) component->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  RemoveFrom(FFreeNotifies, component);
  RemoveFrom(component->FFreeNotifies, this);
}

void TComponent::AddFreeNotify(IFreeNotify* listener) {
  if (listener && std::find(FFreeListeners.begin(), FFreeListeners.end(), listener) == FFreeListeners.end())
    FFreeListeners.push_back(listener);
}

void TComponent::RemoveFreeNotify(IFreeNotify* listener) {
  FFreeListeners.erase(std::remove(FFreeListeners.begin(), FFreeListeners.end(), listener), FFreeListeners.end());
}

void TComponent::TellFreeListeners() {
  // A listener told may remove others (or free itself): each is taken off before it hears.
  while (!FFreeListeners.empty()) {
    IFreeNotify* listener = FFreeListeners.front();
    FFreeListeners.erase(FFreeListeners.begin());
    listener->FreeNotify(this);
  }
}

bool TComponent::InMessage() const {
  for (const TComponent* c : FComponents)
    if (c->InMessage()) return true;
  return false;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) DestroyNow(FComponents.back());  // each removes itself
}

void TComponent::DestroyNow(TComponent* component) {
  component->FComponentState |= csDestroying;
  RemoveFrom(g_pendingFree, component);
  component->BeforeDestruction();
  delete component;
}

void TComponent::Free(TComponent* component) {
  if (!component) return;
  if (Contains(g_pendingFree, component)) return;
  if (component->InMessage()) {
    g_pendingFree.push_back(component);
    return;
  }
  if (component->Destroying() && !component->FOwner && component->FComponents.empty()) {
    // Already on its way (a second Free from a destructor): deleting twice is never right.
    return;
  }
  DestroyNow(component);
}

TComponent* TComponent::FindComponent(const std::wstring& name) const {
  for (auto* c : FComponents)
    if (_wcsicmp(c->Name.c_str(), name.c_str()) == 0) return c;
  return nullptr;
}

// ---- TLoadingPhase -------------------------------------------------------------

TLoadingPhase::TLoadingPhase() : FOuter(g_loading) { g_loading = this; }

TLoadingPhase::TLoadingPhase(TComponent* root) : FOuter(g_loading), FRootTaken(true), FDefinitionOnly(true) {
  FMade.push_back(root);
  g_loading = this;
}

TLoadingPhase::~TLoadingPhase() {
  if (!FFinished) g_loading = FOuter;
}

void TLoadingPhase::Join(TComponent* component) {
  TLoadingPhase* phase = g_loading;
  if (!phase) return;
  if (!phase->FRootTaken) {
    // The first component of the phase is the object CreateComponent makes.
    phase->FRootTaken = true;
    component->FComponentState |= csLoading;
    phase->FMade.push_back(component);
    return;
  }
  // Only what the object owns, directly or not, belongs to its definition.
  for (TComponent* o = component->FOwner; o; o = o->FOwner)
    if (!phase->FMade.empty() && o == phase->FMade.front()) {
      component->FComponentState |= csLoading;
      phase->FMade.push_back(component);
      return;
    }
}

void TLoadingPhase::Finish(TComponent* root) {
  g_loading = FOuter;  // components made by Loaded handlers are ordinary ones
  FFinished = true;
  std::vector<TComponent*> made = FMade;
  if (FDefinitionOnly) {
    for (std::size_t i = 1; i < made.size(); ++i) made[i]->AnnounceInsert();
    for (std::size_t i = 1; i < made.size(); ++i) made[i]->Loaded();
    return;
  }
  if (made.empty() || made.front() != root) made.insert(made.begin(), root);
  // Insertion is announced about finished objects, the new object first.
  for (TComponent* c : made) c->AnnounceInsert();
  // Loaded in creation order, the components of the definition before the object itself.
  for (std::size_t i = 1; i < made.size(); ++i) made[i]->Loaded();
  root->Loaded();
}

// ---- TControl --------------------------------------------------------------

// Counts a control's messages in progress; when the outermost one ends, frees that were
// asked for during it run.
class TMessageDepth {
public:
  explicit TMessageDepth(TControl* control) : FControl(control) { ++control->FMessageDepth; }
  ~TMessageDepth() {
    if (--FControl->FMessageDepth == 0 && !g_pendingFree.empty()) RunPendingFrees();  // may free FControl
  }

private:
  TControl* FControl;
};

TControl::TControl(TComponent* owner) : TComponent(owner) {
  FWindowProc = MakeWndMethod<&TControl::WndProc>(this);
  Font.OnChange = [this] {
    FParentFont = false;
    Perform(CM_FONTCHANGED);
  };
}

TControl::~TControl() { RemoveFromParent(); }

void TControl::BeforeDestruction() {
  TComponent::BeforeDestruction();
  RemoveFromParent();
}

void TControl::RemoveFromParent() {
  if (!FParent) return;
  TWinControl* parent = FParent;
  if (parent->FMouseControl == this) parent->FMouseControl = nullptr;
  if (parent->FCaptureControl == this) parent->FCaptureControl = nullptr;
  auto& list = parent->FControls;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  FParent = nullptr;
  if (!parent->Destroying()) {
    if (FAlign != alNone) parent->Realign();
    if (parent->HandleAllocated()) InvalidateRect(parent->FHandle, BoundsRect().AsRECT(), TRUE);
  }
}

bool TControl::InMessage() const { return FMessageDepth > 0 || TComponent::InMessage(); }

void TControl::SetWindowProc(TWndMethod value) {
  if (FWindowProc == value) return;
  FWindowProc = value;
  auto handlers = FProcChangeHandlers;  // a handler may remove itself
  for (auto& h : handlers) h.second(this);
}

int TControl::AddWindowProcChangeHandler(std::function<void(TControl*)> handler) {
  int id = FNextProcChangeId++;
  FProcChangeHandlers.emplace_back(id, std::move(handler));
  return id;
}

void TControl::RemoveWindowProcChangeHandler(int id) {
  std::erase_if(FProcChangeHandlers, [id](const auto& h) { return h.first == id; });
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  TMessageDepth depth(this);
  TWndMethod proc = FWindowProc;
  proc(m);
  return m.Result;
}

namespace {

struct THookRecord {
  TControl* Control;
  TWndMethod Hook;
  TWndMethod* Saved;
};
std::vector<THookRecord>& HookRecords() {
  static std::vector<THookRecord> records;
  return records;
}

}  // namespace

void HookWindowProc(TControl* control, TWndMethod hook, TWndMethod* saved) {
  *saved = control->WindowProc();
  HookRecords().push_back({control, hook, saved});
  control->SetWindowProc(hook);
}

bool UnhookWindowProc(TControl* control, TWndMethod hook) {
  auto& records = HookRecords();
  auto own = std::find_if(records.begin(), records.end(),
                          [&](const THookRecord& r) { return r.Control == control && r.Hook == hook; });
  if (own == records.end()) return false;
  TWndMethod* saved = own->Saved;
  if (control->WindowProc() == hook) {
    records.erase(own);
    control->SetWindowProc(*saved);
    return true;
  }
  // Another hook was put over this one: it chains to what this one saved from now on.
  auto above = std::find_if(records.begin(), records.end(),
                            [&](const THookRecord& r) { return r.Control == control && *r.Saved == hook; });
  if (above == records.end()) return false;  // replaced without the helpers: leave it all
  *above->Saved = *saved;
  records.erase(std::find_if(records.begin(), records.end(),
                             [&](const THookRecord& r) { return r.Control == control && r.Hook == hook; }));
  return true;
}

void TControl::SetParent(TWinControl* value) {
  if (FParent == value) return;
  bool wasShowing = FParent && Showing();
  if (FParent) {
    FParent->Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(this), 0);
    RemoveFromParent();
  }
  FParent = value;
  if (FParent) {
    FParent->FControls.push_back(this);
    if (FParentColor) Perform(CM_PARENTCOLORCHANGED);
    if (FParentFont) Perform(CM_PARENTFONTCHANGED);
    RealignParent();
    Invalidate();
    FParent->Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(this), 1);
  }
  if (wasShowing != (FParent && Showing())) ShowingChanged();
}

void TControl::SetVisible(bool value) {
  if (FVisible == value) return;
  bool wasShowing = Showing();
  FVisible = value;
  VisibleChanging();
  Perform(CM_VISIBLECHANGED, value ? 1 : 0, 0);
  if (Showing() != wasShowing) ShowingChanged();
}

void TControl::ShowingChanged() {
  Perform(CM_SHOWINGCHANGED);
  auto* self = dynamic_cast<TWinControl*>(this);
  if (!self) return;
  for (TControl* c : self->ControlsSnapshot())
    if (self->HasChild(c) && c->FVisible) c->ShowingChanged();
}

TPoint TControl::ScreenToClient(TPoint point) const {
  if (auto* win = dynamic_cast<const TWinControl*>(this); win && win->HandleAllocated()) {
    POINT p{point.X, point.Y};
    ::ScreenToClient(win->FHandle, &p);
    return TPoint{p.x, p.y};
  }
  if (FParent) point = FParent->ScreenToClient(point);
  return TPoint{point.X - FLeft, point.Y - FTop};
}

unsigned TControl::DrawTextBiDiModeFlags(unsigned flags) const {
  if (UseRightToLeftAlignment()) {
    // DT_LEFT is 0: a text without DT_CENTER or DT_RIGHT is left-aligned.
    if ((flags & (DT_CENTER | DT_RIGHT)) == 0)
      flags |= DT_RIGHT;
    else if (flags & DT_RIGHT)
      flags &= ~static_cast<unsigned>(DT_RIGHT);
  }
  if (UseRightToLeftReading()) flags |= DT_RTLREADING;
  return flags;
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible) return false;
  return true;
}

void TControl::SetEnabled(bool value) {
  if (FEnabled == value) return;
  FEnabled = value;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor value) {
  FParentColor = false;
  if (FColor == value) return;
  FColor = value;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value) {
  if (FParentColor == value) return;
  FParentColor = value;
  if (value && FParent) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::SetParentFont(bool value) {
  if (FParentFont == value) return;
  FParentFont = value;
  if (value && FParent) Perform(CM_PARENTFONTCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* value) {
  if (FPopupMenu == value) return;
  if (FPopupMenu) RemoveFreeNotification(FPopupMenu);
  FPopupMenu = value;
  if (value) FreeNotification(value);
}

void TControl::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component && component == FPopupMenu) FPopupMenu = nullptr;
}

bool TControl::StoreBounds(int left, int top, int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return false;
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  return true;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (StoreBounds(left, top, width, height)) BoundsChanged();
}

void TControl::SetAlign(TAlign value) {
  if (FAlign == value) return;
  FAlign = value;
  RealignParent();
}

void TControl::RealignParent() {
  if (FParent && !FParent->Destroying()) FParent->Realign();
}

void TControl::SetCaption(const std::wstring& value) {
  if (FCaption == value) return;
  FCaption = value;
  Perform(CM_TEXTCHANGED);
}

void TControl::Invalidate() {}

void TControl::WndProc(TMessage& message) {
  // The application's hints follow the mouse from control to control.
  if ((message.Msg == CM_MOUSEENTER || message.Msg == CM_MOUSELEAVE) &&
      message.LParam == reinterpret_cast<LPARAM>(this) && !Destroying())
    Application().HintMouseMessage(this, message.Msg == CM_MOUSEENTER);
  Dispatch(message);
}

void TControl::SetMessageHandler(UINT msg, TMessageHandler handler) {
  FHandlers[msg].push_back(std::make_shared<TMessageHandler>(std::move(handler)));
}

void TControl::Dispatch(TMessage& message) {
  auto it = FHandlers.find(message.Msg);
  if (it == FHandlers.end() || it->second.empty())
    DefaultHandler(message);
  else
    CallHandler(message, it->second.size() - 1);
}

void TControl::CallHandler(TMessage& message, std::size_t level) {
  auto it = FHandlers.find(message.Msg);
  if (it == FHandlers.end() || it->second.empty()) {
    DefaultHandler(message);
    return;
  }
  level = std::min(level, it->second.size() - 1);
  std::shared_ptr<TMessageHandler> handler = it->second[level];  // lives through the call
  (*handler)(message, TInheritedHandler(this, level));
}

void TInheritedHandler::operator()(TMessage& message) const {
  if (FLevel == 0)
    FControl->DefaultHandler(message);
  else
    FControl->CallHandler(message, FLevel - 1);
}

void TControl::DefaultHandler(TMessage& message) {
  switch (message.Msg) {
    case CM_PARENTCOLORCHANGED:
      if (FParentColor && FParent) {
        SetColor(FParent->Color());
        FParentColor = true;
      }
      break;
    case CM_PARENTFONTCHANGED:
      if (FParentFont && FParent) {
        // Taken from the parent, so it stays the parent's: no OnChange, but the notice goes.
        Font.ChangeQuietly([this] { Font.Assign(FParent->Font); });
        Perform(CM_FONTCHANGED);
      }
      break;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
      Invalidate();
      break;
  }
  message.Result = 0;
}

// ---- TGraphicControl ----------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {
  SetMessageHandler(CM_TEXTCHANGED, [this](TMessage&) { Invalidate(); });
}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Invalidate() {
  if (FParent && FParent->HandleAllocated()) InvalidateRect(FParent->Handle(), BoundsRect().AsRECT(), TRUE);
}

void TGraphicControl::DefaultHandler(TMessage& message) {
  if ((message.Msg == WM_PAINT || message.Msg == WM_PRINT) && message.WParam) {
    Paint(reinterpret_cast<HDC>(message.WParam));
    message.Result = 0;
    return;
  }
  TControl::DefaultHandler(message);
}

void TGraphicControl::BoundsChanged() {
  // The old place must be repainted too; the parent is small enough to redraw whole.
  if (FParent && FParent->HandleAllocated()) InvalidateRect(FParent->Handle(), nullptr, TRUE);
}

// ---- TWinControl -----------------------------------------------------------

namespace {
// The control whose window is being created: messages before CreateWindowEx returns
// (WM_GETMINMAXINFO comes even before WM_NCCREATE) find their control through it.
thread_local TWinControl* g_creating = nullptr;
const wchar_t* kPropName = L"TarvelControl";

bool IsPaintMessage(UINT msg) {
  return msg == WM_PAINT || msg == WM_NCPAINT || msg == WM_ERASEBKGND || msg == WM_PRINT || msg == WM_PRINTCLIENT ||
         msg == WM_TIMER;
}

bool IsMouseMessage(UINT msg) {
  return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && msg != WM_MOUSEWHEEL && msg != WM_MOUSEHWHEEL;
}

}  // namespace

void SetWindowProcExceptionHandler(std::function<void(std::exception_ptr)> handler) {
  g_onException = std::move(handler);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  DestroyHandle();
  for (auto* c : FControls) c->FParent = nullptr;
  FControls.clear();
}

void TWinControl::BeforeDestruction() {
  TControl::BeforeDestruction();
  // The window goes while the whole object exists, so its WM_DESTROY reaches every part.
  DestroyHandle();
}

bool TWinControl::InMessage() const {
  if (TControl::InMessage()) return true;
  for (const TControl* c : FControls)
    if (c->InMessage()) return true;
  return false;
}

bool TWinControl::HasChild(const TControl* control) const {
  return std::find(FControls.begin(), FControls.end(), control) != FControls.end();
}

void TWinControl::SetChildOrder(TControl* child, int order) {
  auto it = std::find(FControls.begin(), FControls.end(), child);
  if (it == FControls.end()) return;
  FControls.erase(it);
  order = std::clamp(order, 0, static_cast<int>(FControls.size()));
  FControls.insert(FControls.begin() + order, child);
  auto* windowed = dynamic_cast<TWinControl*>(child);
  if (windowed && windowed->HandleAllocated()) {
    // Z order runs top first: the child goes just below the nearest window after it in the
    // list, or to the top when none follows.
    HWND after = HWND_TOP;
    for (auto next = FControls.begin() + order + 1; next != FControls.end(); ++next) {
      auto* above = dynamic_cast<TWinControl*>(*next);
      if (above && above->HandleAllocated()) {
        after = above->FHandle;
        break;
      }
    }
    // Inserted after a window, a window goes directly below it.
    SetWindowPos(windowed->FHandle, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (child->Visible()) Invalidate();
}

HWND TWinControl::Handle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.WinClassName = ClassName();
  if (FParent) {
    params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    params.WndParent = FParent->Handle();
    params.X = FLeft;
    params.Y = FTop;
    params.Width = FWidth;
    params.Height = FHeight;
  } else {
    params.Style = WS_OVERLAPPEDWINDOW;
  }
  if (FTabStop) params.Style |= WS_TABSTOP;
  params.Caption = FCaption;
}

void TWinControl::CreateHandle() {
  TCreateParams p;
  CreateParams(p);
  // Asking for the parent's window there may have made it, and a new window makes the
  // windows of its children, this control's among them. A second window would be left
  // behind under the parent, still naming this control after it is freed.
  if (FHandle) return;
  // A top-level window is shown once it is made and its control knows its handle and bounds:
  // shown from inside CreateWindowEx, its first activation and frame painting would meet a
  // control still being created, which the skinning of forms takes as not ready to paint.
  const bool topLevel = !(p.Style & WS_CHILD);
  if (FVisible && !topLevel) p.Style |= WS_VISIBLE;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing = {sizeof existing};
  WNDPROC defProc = DefWindowProcW;
  if (!p.SystemClass.empty()) {
    WNDCLASSEXW system = {sizeof system};
    if (!GetClassInfoExW(nullptr, p.SystemClass.c_str(), &system)) RaiseLastOSError(0, L"GetClassInfo " + p.SystemClass);
    defProc = system.lpfnWndProc;
    if (!GetClassInfoExW(inst, p.WinClassName.c_str(), &existing)) {
      // The system class's look and extra bytes, our entry in front of its procedure.
      system.hInstance = inst;
      system.lpfnWndProc = StdWndProc;
      system.lpszClassName = p.WinClassName.c_str();
      system.style &= ~CS_GLOBALCLASS;
      if (!RegisterClassExW(&system)) RaiseLastOSError(0, L"RegisterClass " + p.WinClassName);
    }
  } else if (!GetClassInfoExW(inst, p.WinClassName.c_str(), &existing)) {
    WNDCLASSEXW wc = {sizeof wc};
    wc.style = p.ClassStyle;
    wc.lpfnWndProc = StdWndProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = p.WinClassName.c_str();
    if (!RegisterClassExW(&wc)) RaiseLastOSError(0, L"RegisterClass " + p.WinClassName);
  }
  FDefWndProc = defProc;
  FWrapsSystemClass = !p.SystemClass.empty();
  TWinControl* saved = g_creating;
  g_creating = this;
  FControlState |= csCreating;
  HWND wnd = CreateWindowExW(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y, p.Width,
                             p.Height, p.WndParent, nullptr, inst, nullptr);
  FControlState &= ~csCreating;
  g_creating = saved;
  if (!wnd) RaiseLastOSError(0, L"CreateWindowEx " + p.WinClassName);
  FHandle = wnd;
  if (FWrapsSystemClass) FWindowFont = SetWindowFont(FHandle, Font, false);
  UpdateBoundsFromWindow();
  for (TControl* c : ControlsSnapshot())
    if (auto* w = dynamic_cast<TWinControl*>(c); w && HasChild(w)) w->Handle();
  Realign();
  // What CreateWindowEx does for WS_VISIBLE.
  if (FVisible && topLevel && FHandle == wnd && IsWindow(wnd) && !IsWindowVisible(wnd))
    ShowWindow(wnd, (p.Style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : (p.Style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOW);
}

void TWinControl::SetParent(TWinControl* value) {
  if (FParent == value) return;
  TControl::SetParent(value);
  if (!FHandle) {
    if (FParent && FParent->HandleAllocated()) Handle();
  } else if (FParent && FParent->HandleAllocated()) {
    ::SetParent(FHandle, FParent->FHandle);
  } else {
    DestroyHandle();  // made again, with the right parent, when next asked for
  }
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (!StoreBounds(left, top, width, height)) return;
  if (FHandle)
    SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);  // WM_SIZE realigns
  else
    Realign();
  BoundsChanged();
}

void TWinControl::SetCaption(const std::wstring& value) {
  if (FCaption == value) return;
  if (FHandle) SetWindowTextW(FHandle, value.c_str());
  TControl::SetCaption(value);
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) return;
  ::SetFocus(Handle());
}

void TWinControl::SetTabStop(bool value) {
  if (FTabStop == value) return;
  FTabStop = value;
  if (FHandle) {
    LONG_PTR style = GetWindowLongPtrW(FHandle, GWL_STYLE);
    SetWindowLongPtrW(FHandle, GWL_STYLE, value ? style | WS_TABSTOP : style & ~static_cast<LONG_PTR>(WS_TABSTOP));
  }
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

TRect TWinControl::ClientRect() const {
  if (FHandle) {
    TRect r;
    GetClientRect(FHandle, r.AsRECT());
    return r;
  }
  return Rect(0, 0, FWidth, FHeight);
}

void TWinControl::DisableAlign() { ++FAlignLevel; }

void TWinControl::EnableAlign() {
  if (FAlignLevel <= 0) return;
  if (--FAlignLevel == 0 && (FControlState & csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() {
  if (FAligning || Destroying()) return;
  if (FAlignLevel > 0) {
    FControlState |= csAlignmentNeeded;
    return;
  }
  FControlState &= ~csAlignmentNeeded;
  FAligning = true;
  try {
    AlignControls(ClientRect());
  } catch (...) {
    FAligning = false;
    throw;
  }
  FAligning = false;
}

void TWinControl::AlignControls(TRect r) {
  // A snapshot: SetBounds calls out (WM_SIZE, hooks), which may add or move children.
  std::vector<TControl*> controls = ControlsSnapshot();
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient})
    for (auto* c : controls) {
      if (!HasChild(c) || c->FAlign != a || !c->FVisible) continue;
      TMargins m = c->AlignWithMargins ? c->Margins : TMargins{0, 0, 0, 0};
      int w = c->FWidth, h = c->FHeight;
      switch (a) {
        case alTop:
          c->SetBounds(r.Left + m.Left, r.Top + m.Top, r.Width() - m.Left - m.Right, h);
          r.Top += h + m.Top + m.Bottom;
          break;
        case alBottom:
          c->SetBounds(r.Left + m.Left, r.Bottom - m.Bottom - h, r.Width() - m.Left - m.Right, h);
          r.Bottom -= h + m.Top + m.Bottom;
          break;
        case alLeft:
          c->SetBounds(r.Left + m.Left, r.Top + m.Top, w, r.Height() - m.Top - m.Bottom);
          r.Left += w + m.Left + m.Right;
          break;
        case alRight:
          c->SetBounds(r.Right - m.Right - w, r.Top + m.Top, w, r.Height() - m.Top - m.Bottom);
          r.Right -= w + m.Left + m.Right;
          break;
        default:
          c->SetBounds(r.Left + m.Left, r.Top + m.Top, r.Width() - m.Left - m.Right, r.Height() - m.Top - m.Bottom);
          break;
      }
    }
}

void TWinControl::UpdateBoundsFromWindow() {
  if (!FHandle) return;
  RECT wr;
  if (!GetWindowRect(FHandle, &wr)) return;
  HWND parent = (GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_CHILD) ? GetParent(FHandle) : nullptr;
  if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&wr), 2);
  FLeft = wr.left;
  FTop = wr.top;
  FWidth = wr.right - wr.left;
  FHeight = wr.bottom - wr.top;
}

void TWinControl::PaintControls(HDC dc) {
  for (TControl* c : ControlsSnapshot()) {
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !HasChild(g) || !g->Visible() || g->Width() <= 0 || g->Height() <= 0) continue;
    int saved = SaveDC(dc);
    POINT org;
    GetViewportOrgEx(dc, &org);
    IntersectClipRect(dc, g->Left(), g->Top(), g->Left() + g->Width(), g->Top() + g->Height());
    SetViewportOrgEx(dc, org.x + g->Left(), org.y + g->Top(), nullptr);
    try {
      g->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    } catch (...) {
      RestoreDC(dc, saved);
      throw;
    }
    RestoreDC(dc, saved);
  }
}

void TWinControl::PaintTo(HDC DC, int X, int Y) {
  if (!FHandle) return;
  const int saved = SaveDC(DC);
  try {
    OffsetViewportOrgEx(DC, X, Y, nullptr);
    IntersectClipRect(DC, 0, 0, FWidth, FHeight);
    Perform(WM_PRINT, reinterpret_cast<WPARAM>(DC), PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CLIENT);
  } catch (...) {
    RestoreDC(DC, saved);
    throw;
  }
  RestoreDC(DC, saved);
}

void TWinControl::EraseBackground(HDC dc) {
  RECT r;
  GetClientRect(FHandle, &r);
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(FColor)));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void TWinControl::SetMouseControl(TControl* control) {
  if (FMouseControl == control) return;
  TControl* old = FMouseControl;
  FMouseControl = control;
  if (old && HasChild(old)) old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(old));
  if (control && HasChild(control)) control->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(control));
}

void TWinControl::MouseMove(TMessage& message) {
  if (!FMouseInside && FHandle) {
    // Windows tells the leaving only when asked, once per entry.
    TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, FHandle, 0};
    if (TrackMouseEvent(&tme)) {
      FMouseInside = true;
      Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(this));
    }
  }
  POINT pt{static_cast<short>(LOWORD(message.LParam)), static_cast<short>(HIWORD(message.LParam))};
  // The graphic child under the point, the one painted last (on top) first.
  TControl* under = nullptr;
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    auto* g = dynamic_cast<TGraphicControl*>(*it);
    if (g && g->Visible() && PtInRect(g->BoundsRect().AsRECT(), pt)) {
      under = g;
      break;
    }
  }
  SetMouseControl(under);
}

void TWinControl::MouseLeft() {
  FMouseInside = false;
  SetMouseControl(nullptr);
  Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(this));
}

bool TWinControl::ForwardMouseToGraphic(TMessage& message) {
  TControl* target = FCaptureControl;
  if (!target) target = FMouseControl;
  if (!target || !HasChild(target)) return false;
  int x = static_cast<short>(LOWORD(message.LParam)), y = static_cast<short>(HIWORD(message.LParam));
  if (!FCaptureControl && !PtInRect(target->BoundsRect().AsRECT(), POINT{x, y})) return false;
  UINT msg = message.Msg;
  if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
    FCaptureControl = target;
    target->FControlState |= csLButtonDown;
    if (FHandle) SetCapture(FHandle);
  }
  LPARAM local = MAKELPARAM(x - target->Left(), y - target->Top());
  message.Result = target->Perform(msg, message.WParam, local);
  if (msg == WM_LBUTTONUP && FCaptureControl) {
    if (HasChild(FCaptureControl)) FCaptureControl->FControlState &= ~csLButtonDown;
    FCaptureControl = nullptr;
    if (GetCapture() == FHandle) ReleaseCapture();
  }
  return true;
}

void TWinControl::WndProc(TMessage& message) {
  switch (message.Msg) {
    case CM_FOCUSCHANGED:
      TControl::WndProc(message);
      for (TControl* child : ControlsSnapshot())
        if (HasChild(child)) child->Perform(message.Msg, message.WParam, message.LParam);
      return;
    case WM_WINDOWPOSCHANGED:
      UpdateBoundsFromWindow();
      break;
    case WM_MOUSEMOVE:
      MouseMove(message);
      break;
    case WM_MOUSELEAVE:
      MouseLeft();
      break;
    // ---- scroll messages of a child control's window go back to that control ----
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (message.LParam)
        if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(message.LParam)); child && child != this) {
          message.Result = child->Perform(CN_BASE + message.Msg, message.WParam, message.LParam);
          return;
        }
      break;
    // ---- end of the scroll messages ----
  }
  if (IsMouseMessage(message.Msg) && ForwardMouseToGraphic(message)) return;
  TControl::WndProc(message);
  if (message.Msg == WM_SIZE) Realign();
}

void TWinControl::RecreateWnd() {
  if (FHandle) Perform(CM_RECREATEWND);
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  HWND wnd = FHandle;
  // The link stays until WM_NCDESTROY: the control sees the end of its window.
  FControlState |= csDestroyingHandle;
  DestroyWindow(wnd);
  FControlState &= ~csDestroyingHandle;
  if (FHandle == wnd) {
    // A window of another thread, or one that is already going, left no WM_NCDESTROY here.
    RemovePropW(wnd, kPropName);
    FHandle = nullptr;
  }
}

TWinControl* TWinControl::FromHandle(HWND wnd) {
  return wnd ? static_cast<TWinControl*>(GetPropW(wnd, kPropName)) : nullptr;
}

void TWinControl::PaintHandler(TMessage& message) {
  auto paint = [this](HDC dc, const RECT& area) {
    if (!DoubleBuffered) {
      PaintWindow(dc);
      PaintControls(dc);
      return;
    }
    int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    SetWindowOrgEx(mem, area.left, area.top, nullptr);
    struct TRelease {
      HDC Mem;
      HGDIOBJ Old;
      HBITMAP Bmp;
      ~TRelease() {
        SelectObject(Mem, Old);
        DeleteObject(Bmp);
        DeleteDC(Mem);
      }
    } release{mem, old, bmp};
    EraseBackground(mem);
    PaintWindow(mem);
    PaintControls(mem);
    BitBlt(dc, area.left, area.top, w, h, mem, area.left, area.top, SRCCOPY);
  };
  if (message.WParam) {
    RECT r;
    GetClientRect(FHandle, &r);
    paint(reinterpret_cast<HDC>(message.WParam), r);
  } else {
    TPaintScope scope(FHandle);
    paint(scope.DC(), scope.Info().rcPaint);
  }
  message.Result = 0;
}

void TWinControl::DefaultHandler(TMessage& message) {
  switch (message.Msg) {
    case WM_MOUSEWHEEL: {
      const TPoint pos{static_cast<short>(LOWORD(message.LParam)), static_cast<short>(HIWORD(message.LParam))};
      if (DoMouseWheel(LOWORD(message.WParam), static_cast<short>(HIWORD(message.WParam)), pos) ||
          Perform(CM_MOUSEWHEEL, message.WParam, message.LParam) != 0) {
        message.Result = 0;
        return;
      }
      break;
    }
    case CM_COLORCHANGED:
    case CM_FONTCHANGED: {
      Invalidate();
      bool font = message.Msg == CM_FONTCHANGED;
      if (font && FWrapsSystemClass && FHandle) FWindowFont = SetWindowFont(FHandle, Font);
      for (TControl* c : ControlsSnapshot())
        if (HasChild(c)) c->Perform(font ? CM_PARENTFONTCHANGED : CM_PARENTCOLORCHANGED);
      message.Result = 0;
      return;
    }
    case WM_SETTINGCHANGE:
      // The framework's own notifications of the change go through the window procedure
      // first, then Windows handles the message.
      Perform(CM_WININICHANGE, message.WParam, message.LParam);
      if (message.WParam == SPI_SETNONCLIENTMETRICS || message.WParam == SPI_SETICONTITLELOGFONT)
        Perform(CM_SYSFONTCHANGED);
      break;
    case CM_RECREATEWND: {
      message.Result = 0;
      if (!FHandle) return;
      bool focused = GetFocus() == FHandle;
      FControlState |= csRecreating;
      try {
        DestroyHandle();
        CreateHandle();
      } catch (...) {
        FControlState &= ~csRecreating;
        throw;
      }
      FControlState &= ~csRecreating;
      if (focused) ::SetFocus(FHandle);
      return;
    }
  }
  // ---- notifications of child controls reflected to them ----
  // A child control's command, owner-draw request and notification reach the child's own
  // WindowProc first (CN_COMMAND, CN_DRAWITEM, CN_NOTIFY), which answers for it; reflected
  // messages themselves never reach Windows.
  if (message.Msg >= CN_BASE && message.Msg < CN_BASE + 0x400) {
    TControl::DefaultHandler(message);
    return;
  }
  {
    HWND child = nullptr;
    if (message.Msg == WM_COMMAND && message.LParam)
      child = reinterpret_cast<HWND>(message.LParam);
    else if (message.Msg == WM_DRAWITEM && message.LParam &&
             reinterpret_cast<const DRAWITEMSTRUCT*>(message.LParam)->CtlType != ODT_MENU)
      child = reinterpret_cast<const DRAWITEMSTRUCT*>(message.LParam)->hwndItem;
    else if (message.Msg == WM_NOTIFY && message.LParam)
      child = reinterpret_cast<const NMHDR*>(message.LParam)->hwndFrom;
    if (TWinControl* control = child && child != FHandle ? FromHandle(child) : nullptr) {
      message.Result = control->Perform(CN_BASE + message.Msg, message.WParam, message.LParam);
      return;
    }
  }
  // ---- end of the reflected notifications ----
  if (!FHandle || (message.Msg >= CM_BASE && message.Msg < CM_BASE + 0x100)) {
    TControl::DefaultHandler(message);  // framework notifications are not Windows' business
    return;
  }
  if (!FWrapsSystemClass) {
    switch (message.Msg) {
      case WM_ERASEBKGND:
        if (!DoubleBuffered) EraseBackground(reinterpret_cast<HDC>(message.WParam));
        message.Result = 1;
        return;
      case WM_PAINT:
        PaintHandler(message);
        return;
      case WM_SETCURSOR:
        // A control's own pointer over the client area; a graphic child's wins over its parent's.
        if (reinterpret_cast<HWND>(message.WParam) == FHandle && LOWORD(message.LParam) == HTCLIENT) {
          TControl* shown = FMouseControl && FMouseControl->Cursor != crDefault ? FMouseControl : this;
          if (HCURSOR cursor = CursorHandle(shown->Cursor)) {
            SetCursor(cursor);
            message.Result = TRUE;
            return;
          }
        }
        break;
      case WM_PRINTCLIENT: {
        HDC dc = reinterpret_cast<HDC>(message.WParam);
        if (message.LParam & PRF_ERASEBKGND) EraseBackground(dc);
        PaintWindow(dc);
        PaintControls(dc);
        message.Result = 0;
        return;
      }
    }
  }
  if (message.Msg == WM_CONTEXTMENU && FPopupMenu) {
    POINT pt{static_cast<short>(LOWORD(message.LParam)), static_cast<short>(HIWORD(message.LParam))};
    if (message.LParam == -1) GetCursorPos(&pt);  // from the keyboard
    FPopupMenu->Popup(pt.x, pt.y, FHandle);
    message.Result = 1;
    return;
  }
  message.Result = CallWindowProcW(FDefWndProc, FHandle, message.Msg, message.WParam, message.LParam);
}

void TWinControl::VisibleChanging() {
  // A window someone already showed (without activation, say) is left as it is.
  if (FHandle && !(FVisible && IsWindowVisible(FHandle)))
    ShowWindow(FHandle, FVisible ? (FParent ? SW_SHOWNA : SW_SHOWNORMAL) : SW_HIDE);
  RealignParent();
}

// The framework notifications a window message brings before it is handled; true when a
// notification answered for it and the message ends here.
bool TWinControl::NotifyBeforeMessage(TWinControl* control, TMessage& m) {
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (control->Perform(CN_BASE + m.Msg, m.WParam, m.LParam) != 0) {
        m.Result = 0;
        return true;
      }
      return false;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN: {
      // The focused control of the same form hears that the press went elsewhere (a press on
      // a form's frame names no control).
      TWinControl* focused = FromHandle(GetFocus());
      TForm* form = GetParentForm(control);
      if (focused && focused != control && form && GetParentForm(focused) == form) {
        TControl* pressed = m.Msg == WM_NCLBUTTONDOWN && control == form ? nullptr : control;
        focused->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(pressed));
      }
      return false;
    }
    case WM_SETFOCUS:
      if (TForm* form = GetParentForm(control)) form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
      return false;
  }
  return false;
}

LRESULT CALLBACK TWinControl::StdWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* control = FromHandle(wnd);
  if (!control && g_creating) {
    control = g_creating;
    g_creating = nullptr;
    control->FHandle = wnd;
    SetPropW(wnd, kPropName, control);
  }
  if (!control) return DefWindowProcW(wnd, msg, wParam, lParam);
  if (PrivateMessageRefused(wnd, msg, wParam, lParam)) return 0;
  TMessage m{msg, wParam, lParam, 0};
  {
    TMessageDepth depth(control);
    try {
      if (NotifyBeforeMessage(control, m)) return m.Result;
      TWndMethod proc = control->FWindowProc;
      proc(m);
    } catch (...) {
      // Nothing may unwind through the system's window procedure. Painting failures would
      // come back with every paint: they are logged; the rest goes to the application.
      if (IsPaintMessage(msg))
        LogQuietFailure(FormatW(L"Message 0x%04X of %ls", msg, control->ClassName().c_str()), std::current_exception());
      else
        ReportWindowProcException(std::current_exception());
    }
    if (msg == WM_NCDESTROY) {
      // The window is gone: the control forgets it before anything else can look.
      RemovePropW(wnd, kPropName);
      if (control->FHandle == wnd) control->FHandle = nullptr;
      control->FMouseInside = false;
    }
  }  // the control may be freed here, when a free was asked for during the message
  return m.Result;
}

// ---- TWindowSubclass ---------------------------------------------------------------

TWindowSubclass::~TWindowSubclass() { Detach(); }

bool TWindowSubclass::Attach(HWND wnd) {
  if (FWnd == wnd) return wnd != nullptr;
  Detach();
  if (!wnd || !IsWindow(wnd)) return false;
  if (!SetWindowSubclass(wnd, SubclassProc, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this)))
    return false;
  FWnd = wnd;
  return true;
}

void TWindowSubclass::Detach() {
  if (!FWnd) return;
  RemoveWindowSubclass(FWnd, SubclassProc, reinterpret_cast<UINT_PTR>(this));
  FWnd = nullptr;
}

void TWindowSubclass::Release() {
  Detach();
  if (FDepth > 0)
    FReleasePending = true;
  else
    delete this;
}

LRESULT TWindowSubclass::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  return FWnd ? SendMessageW(FWnd, msg, wParam, lParam) : 0;
}

void TWindowSubclass::DefaultHandler(TMessage& message) {
  // Once detached (released inside this message), the window's procedure is called directly.
  message.Result = FWnd ? DefSubclassProc(FWnd, message.Msg, message.WParam, message.LParam) : 0;
}

LRESULT CALLBACK TWindowSubclass::SubclassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                               DWORD_PTR data) {
  auto* self = reinterpret_cast<TWindowSubclass*>(data);
  if (PrivateMessageRefused(wnd, msg, wParam, lParam)) return 0;
  TMessage m{msg, wParam, lParam, 0};
  ++self->FDepth;
  try {
    self->WndProc(m);
  } catch (...) {
    if (IsPaintMessage(msg))
      LogQuietFailure(FormatW(L"Message 0x%04X of a subclassed window", msg), std::current_exception());
    else
      ReportWindowProcException(std::current_exception());
  }
  if (msg == WM_NCDESTROY && self->FWnd == wnd) {
    self->Detach();
    try {
      self->WindowDestroyed();
    } catch (...) {
      ReportWindowProcException(std::current_exception());
    }
  }
  if (--self->FDepth == 0 && self->FReleasePending) delete self;
  return m.Result;
}

void TControl::ChangeScale(int M, int D) {
  if (M == D || D == 0) return;
  SetBounds(MulDiv(FLeft, M, D), MulDiv(FTop, M, D), MulDiv(FWidth, M, D), MulDiv(FHeight, M, D));
  if (!FParentFont) Font.Height = MulDiv(Font.Height, M, D);
}

void TWinControl::ChangeScale(int M, int D) {
  if (M == D || D == 0) return;
  DisableAlign();
  try {
    for (TControl* child : ControlsSnapshot()) child->ChangeScale(M, D);
    TControl::ChangeScale(M, D);
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
}

void TControl::Repaint() {
  Invalidate();
  TWinControl* host = dynamic_cast<TWinControl*>(this);
  if (!host) host = FParent;
  if (host && host->HandleAllocated()) UpdateWindow(host->Handle());
}

HCURSOR CursorHandle(TCursor cursor) {
  switch (cursor) {
    case crArrow: return LoadCursorW(nullptr, IDC_ARROW);
    case crHandPoint: return LoadCursorW(nullptr, IDC_HAND);
    default: return nullptr;
  }
}
