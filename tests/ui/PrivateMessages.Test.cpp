// Private messages reach our window procedures only from our own threads, and posted only
// when allowed; the top-most parent form.
#include <gtest/gtest.h>
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include <thread>
#include <vector>

namespace {

constexpr UINT WM_PRIVATE = 0xA1F0;  // a private message of these tests
constexpr UINT WM_RELAY = WM_USER + 77;
constexpr WPARAM kMayBePosted = 7;

bool TestPostAllowed(WPARAM wParam) { return wParam == kMayBePosted; }

// A form that records the WParam of every private message and answers it with 1. WM_RELAY
// (sent from another thread) sends the private message to itself, marked or not.
class TRecorder : public TForm {
public:
  explicit TRecorder(TComponent* owner) : TForm(owner) {
    SetMessageHandler(WM_PRIVATE, [this](TMessage& m) {
      Got.push_back(m.WParam);
      m.Result = 1;
    });
    SetMessageHandler(WM_RELAY, [this](TMessage& m) {
      m.Result = m.WParam ? SendPrivateMessage(Handle(), WM_PRIVATE, 40, 0) : SendMessageW(Handle(), WM_PRIVATE, 41, 0);
    });
  }
  std::vector<WPARAM> Got;
};

// A window the framework did not create, taken over by a subclass.
class TRecordingSubclass : public TWindowSubclass {
public:
  std::vector<WPARAM> Got;

protected:
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_PRIVATE) {
      Got.push_back(m.WParam);
      m.Result = 1;
      return;
    }
    DefaultHandler(m);
  }
};

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Runs f on another thread while this (the UI) thread keeps handling sent messages.
template <class F>
void OnOtherThread(F f) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    f();
    SetEvent(done);
  });
  while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) Pump();
  worker.join();
  CloseHandle(done);
}

}  // namespace

TEST(PrivateMessages, OnlyOurOwnSendsAndAllowedPostsReachTheWindowProcedures) {
  Application().Initialize();
  RegisterPrivateMessage(WM_PRIVATE, TestPostAllowed);
  auto* form = CreateComponent<TRecorder>(nullptr);
  HWND wnd = form->Handle();
  HWND native = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  auto* subclass = new TRecordingSubclass;
  ASSERT_TRUE(subclass->Attach(native));

  // From this thread: sent through the system, both take it.
  EXPECT_EQ(SendMessageW(wnd, WM_PRIVATE, 1, 0), 1);
  EXPECT_EQ(SendMessageW(native, WM_PRIVATE, 1, 0), 1);

  // From another thread: unmarked sends answer 0 and reach nobody; marked sends arrive.
  LRESULT unmarked = -1, unmarkedNative = -1, marked = -1, relayed = -1, relayedUnmarked = -1;
  OnOtherThread([&] {
    unmarked = SendMessageW(wnd, WM_PRIVATE, 2, 0xDEAD0000);
    unmarkedNative = SendMessageW(native, WM_PRIVATE, 2, 0xDEAD0000);
    marked = SendPrivateMessage(wnd, WM_PRIVATE, 3, 0);
    // Inside a message sent from another thread, a nested send of our own goes through
    // when it is marked.
    relayed = SendMessageW(wnd, WM_RELAY, 1, 0);
    relayedUnmarked = SendMessageW(wnd, WM_RELAY, 0, 0);
  });
  EXPECT_EQ(unmarked, 0);
  EXPECT_EQ(unmarkedNative, 0);
  EXPECT_EQ(marked, 1);
  EXPECT_EQ(relayed, 1);
  EXPECT_EQ(relayedUnmarked, 0);

  // Posted, from this thread or another: only the allowed WParam is dispatched.
  PostMessageW(wnd, WM_PRIVATE, 4, 0xDEAD0000);
  PostMessageW(wnd, WM_PRIVATE, kMayBePosted, 0);
  std::thread([&] {
    PostMessageW(wnd, WM_PRIVATE, 5, 0xDEAD0000);
    PostMessageW(native, WM_PRIVATE, 5, 0xDEAD0000);
  }).join();
  Pump();

  EXPECT_EQ(form->Got, (std::vector<WPARAM>{1, 3, 40, kMayBePosted}));
  EXPECT_EQ(subclass->Got, (std::vector<WPARAM>{1}));
  subclass->Release();
  DestroyWindow(native);
  TComponent::Free(form);
}

TEST(Forms, GetParentFormIsTheTopMostForm) {
  Application().Initialize();
  auto* outer = CreateComponent<TForm>(nullptr);
  auto* inner = CreateComponent<TForm>(outer);
  inner->SetParent(outer);
  auto* panel = CreateComponent<TPanel>(inner);
  panel->SetParent(inner);
  auto* loose = CreateComponent<TPanel>(nullptr);

  EXPECT_EQ(GetParentForm(panel), outer);
  EXPECT_EQ(GetParentForm(inner), outer);
  EXPECT_EQ(GetParentForm(outer), outer);
  EXPECT_EQ(GetParentForm(loose), nullptr);
  EXPECT_EQ(GetParentForm(nullptr), nullptr);
  TComponent::Free(loose);
  TComponent::Free(outer);
}
