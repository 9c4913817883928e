// The library message: its senders (direct call, Perform, SendMessageW), the broadcasts, the
// small queries, and its refusal from other threads and processes.
#include <gtest/gtest.h>

#include <thread>

#include "SkinStateFixtures.h"
#include "platform/runtime/Exceptions.h"
#include "platform/ui/ExtCtrls.h"
#include "skin/graphics/acAnimation.h"
#include "support/ShellHarness.h"
#include "support/MessagePump.h"

namespace {

// A window the framework did not make, recording the library message.
struct TRawWindow {
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == SM_SKINCOMMAND) {
      auto* got = reinterpret_cast<std::vector<HWND>*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
      if (got) got->push_back(wnd);
      return 0;
    }
    return DefWindowProcW(wnd, msg, w, l);
  }
  static HWND Make(HWND parent, DWORD style, std::vector<HWND>* got) {
    static const ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Proc;
      wc.lpszClassName = L"TarvelSkinRawTest";
      return RegisterClassW(&wc);
    }();
    (void)atom;
    HWND wnd = CreateWindowExW(0, L"TarvelSkinRawTest", L"", style, 0, 0, 20, 20, parent, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(got));
    return wnd;
  }
};

}  // namespace

TEST(SkinSenders, DirectCallForASkinnedWindowSendMessageOtherwiseAndTheReceiversAnswerEitherWay) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  form->Handle();
  auto* skinned = new TSkinWin(form, true, form);
  auto* plain = new TSkinWin(form, false, form);
  skinned->Answers[SKCMD_GET_BG_COLOR] = 0x123456;
  plain->Answers[SKCMD_GET_BG_COLOR] = 0x654321;
  ASSERT_EQ(CommonDataOfWindow(skinned->Handle()), skinned->State.get());
  ASSERT_EQ(CommonDataOfWindow(plain->Handle()), nullptr);

  TDispatchCounter dispatched;
  EXPECT_EQ(SendSkinCommand(skinned->Handle(), SKCMD_GET_BG_COLOR, 0), 0x123456);
  EXPECT_EQ(dispatched.Count, 0);
  EXPECT_EQ(SendSkinCommand(plain->Handle(), SKCMD_GET_BG_COLOR, 0), 0x654321);
  EXPECT_EQ(dispatched.Count, 1);
  // A state without a procedure: SendMessageW.
  skinned->State->WndProc = TWndMethod{};
  EXPECT_EQ(SendSkinCommand(skinned->Handle(), SKCMD_GET_BG_COLOR, 0), 0x123456);
  EXPECT_EQ(dispatched.Count, 2);
  // ...until a sender to the control takes the procedure in place and calls it directly;
  // from then on window senders call it directly, the control sender goes through the system.
  EXPECT_EQ(PerformSkinCommand(skinned, SKCMD_GET_BG_COLOR, 0), 0x123456);
  EXPECT_EQ(skinned->State->WndProc, skinned->WindowProc());
  EXPECT_EQ(dispatched.Count, 2);
  EXPECT_EQ(SendSkinCommand(skinned->Handle(), SKCMD_GET_BG_COLOR, 0), 0x123456);
  EXPECT_EQ(dispatched.Count, 2);
  EXPECT_EQ(QuerySkinCommand(skinned, SKCMD_GET_BG_COLOR), 0x123456);
  EXPECT_EQ(dispatched.Count, 3);
  // An invalid window answers 0; a control without window gets nothing and gets no window.
  EXPECT_EQ(SendSkinCommand(reinterpret_cast<HWND>(0x5A5A0), SKCMD_IS_SKINNED, 0), 0);
  auto* windowless = new TSkinWin(nullptr, true);
  windowless->Answers[SKCMD_IS_SKINNED] = 1;
  EXPECT_EQ(PerformSkinCommand(windowless, SKCMD_IS_SKINNED, 0), 0);
  EXPECT_FALSE(windowless->HandleAllocated());
  EXPECT_TRUE(windowless->Got.empty());
  TComponent::Free(windowless);

  // WindowSkinFlag: only an answer of exactly 1 counts.
  for (auto [answer, flag] : {std::pair<LRESULT, bool>{1, true}, {2, false}, {-1, false}, {0, false}}) {
    plain->Answers[SKCMD_IS_SKINNED] = answer;
    EXPECT_EQ(WindowSkinFlag(plain->Handle(), SKCMD_IS_SKINNED), flag) << answer;
  }
  TComponent::Free(form);
}

TEST(SkinSenders, AReceiversExceptionReachesADirectCallerButNeverCrossesTheSystemsFrames) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  form->Handle();
  auto* skinned = new TSkinWin(form, true, form);
  skinned->OnMessage = [](TMessage&) { throw Exception(L"receiver failed"); };
  int reported = 0;
  Application().OnException = [&](const std::exception&) { ++reported; };
  EXPECT_THROW(SendSkinCommand(skinned->Handle(), SKCMD_INVALIDATE, 0), Exception);
  EXPECT_EQ(reported, 0);
  skinned->State->WndProc = TWndMethod{};
  EXPECT_NO_THROW(EXPECT_EQ(SendSkinCommand(skinned->Handle(), SKCMD_INVALIDATE, 0), 0));
  EXPECT_EQ(reported, 1);
  Application().OnException = nullptr;
  TComponent::Free(form);
}

TEST(SkinSenders, AReplacedWindowProcIsNeverCalledFromAStaleCopy) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  form->Handle();
  auto* control = new TSkinWin(form, true, form);
  HWND wnd = control->Handle();

  // A subclasser takes the control over and is later given back and freed.
  struct TSubclasser {
    int Seen = 0;
    TWndMethod Saved;
    void WndProc(TMessage& m) {
      if (m.Msg == SM_SKINCOMMAND) ++Seen;
      Saved(m);
    }
  };
  auto subclasser = std::make_unique<TSubclasser>();
  const TWndMethod hook = MakeWndMethod<&TSubclasser::WndProc>(subclasser.get());
  HookWindowProc(control, hook, &subclasser->Saved);
  EXPECT_FALSE(control->State->WndProc);  // the copy of the old procedure is dropped
  SendSkinCommand(wnd, SKCMD_INVALIDATE, 0);
  EXPECT_EQ(subclasser->Seen, 1);
  PerformSkinCommand(control, SKCMD_INVALIDATE, 0);  // takes the subclasser's procedure
  EXPECT_EQ(control->State->WndProc, hook);
  SendSkinCommand(wnd, SKCMD_INVALIDATE, 0);
  EXPECT_EQ(subclasser->Seen, 3);

  ASSERT_TRUE(UnhookWindowProc(control, hook));
  subclasser.reset();
  EXPECT_FALSE(control->State->WndProc);
  EXPECT_EQ(SendSkinCommand(wnd, SKCMD_INVALIDATE, 0), 0);  // reaches the control, not freed memory
  EXPECT_EQ(control->Count(SKCMD_INVALIDATE), 4);
  TComponent::Free(form);
}

TEST(SkinSenders, BroadcastsReachChildrenAsFarAsTheyMayAndNoFurther) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  form->Handle();
  const TMessage msg{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_BG_CHANGED, 1), 0, 0};

  // Descent: a skinned child passes the message on itself; an unskinned one is descended
  // into; a windowed child without window and a graphic child get it by Perform.
  auto* plain = new TSkinWin(form, false, form);
  auto* plainChild = new TSkinWin(form, false, plain);
  auto* skinned = new TSkinWin(form, true, form);
  auto* skinnedChild = new TSkinWin(form, false, skinned);
  auto* answersSkinned = new TSkinWin(form, false, form);
  answersSkinned->Answers[SKCMD_IS_SKINNED] = 1;
  auto* answersSkinnedChild = new TSkinWin(form, false, answersSkinned);
  auto* graphic = new TSkinGraphic(form, form);
  for (TSkinWin* c : {plain, plainChild, skinned, skinnedChild, answersSkinned, answersSkinnedChild}) c->Handle();
  struct TCase {
    const char* Name;
    TSkinReceiver* Receiver;
    int Expected;
  };
  BroadcastToAllChildren(form, msg);
  for (const TCase& c : {TCase{"plain", plain, 1}, TCase{"plain's child", plainChild, 1},
                         TCase{"skinned", skinned, 1}, TCase{"skinned's child", skinnedChild, 0},
                         TCase{"answers 7 with 1", answersSkinned, 1},
                         TCase{"its child", answersSkinnedChild, 0}, TCase{"graphic", graphic, 1}})
    EXPECT_EQ(c.Receiver->Count(SKCMD_BG_CHANGED), c.Expected) << c.Name;

  // A child window that was never made: Perform, and still no window.
  auto* parentWithoutWindows = new TSkinWin(nullptr, false);
  auto* neverMade = new TSkinWin(parentWithoutWindows, false, parentWithoutWindows);
  BroadcastToAllChildren(parentWithoutWindows, msg);
  EXPECT_EQ(neverMade->Count(SKCMD_BG_CHANGED), 1);
  EXPECT_FALSE(neverMade->HandleAllocated());
  TComponent::Free(parentWithoutWindows);

  // The first child being destroyed ends the broadcast.
  auto* row = new TSkinWin(form, false, form);
  auto* first = new TSkinWin(form, false, row);
  auto* second = new TSkinGraphic(form, row);
  auto* third = new TSkinWin(form, false, row);
  auto* fourth = new TSkinWin(form, false, row);
  for (TSkinWin* c : {row, first, third, fourth}) c->Handle();
  third->SetDestroying(true);
  BroadcastToAllChildren(row, msg);
  EXPECT_EQ(first->Count(SKCMD_BG_CHANGED), 1);
  EXPECT_EQ(second->Count(SKCMD_BG_CHANGED), 1);
  EXPECT_EQ(third->Count(SKCMD_BG_CHANGED), 0);
  EXPECT_EQ(fourth->Count(SKCMD_BG_CHANGED), 0);
  third->SetDestroying(false);

  // A receiver that frees its own child: the broadcast goes on without touching it.
  auto* host = new TSkinWin(form, false, form);
  auto* freesChild = new TSkinWin(form, false, host);
  auto* doomedChild = new TSkinWin(form, false, freesChild);
  auto* after = new TSkinWin(form, false, host);
  for (TSkinWin* c : {host, freesChild, doomedChild, after}) c->Handle();
  freesChild->OnMessage = [&](TMessage&) {
    if (doomedChild) TComponent::Free(std::exchange(doomedChild, nullptr));
  };
  BroadcastToAllChildren(host, msg);
  EXPECT_EQ(doomedChild, nullptr);
  EXPECT_EQ(freesChild->Count(SKCMD_BG_CHANGED), 1);
  EXPECT_EQ(freesChild->ControlCount(), 0);
  EXPECT_EQ(after->Count(SKCMD_BG_CHANGED), 1);

  // Child windows: only the direct children of the window.
  std::vector<HWND> got;
  HWND top = TRawWindow::Make(nullptr, WS_POPUP, &got);
  HWND child = TRawWindow::Make(top, WS_CHILD, &got);
  HWND grandchild = TRawWindow::Make(child, WS_CHILD, &got);
  BroadcastToChildWindows(top, msg);
  EXPECT_EQ(got, std::vector<HWND>{child});
  (void)grandchild;
  DestroyWindow(top);
  TComponent::Free(form);
}

TEST(SkinSenders, RepaintsColoursAndTheFormAdapter) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  form->Handle();
  form->Show();
  auto* shown = new TSkinWin(form, false, form);
  auto* hidden = new TSkinWin(form, false, form);
  hidden->SetVisible(false);
  auto* graphic = new TSkinGraphic(form, form);
  shown->Handle();
  hidden->Handle();

  AnimationInProgress = true;
  RepaintChildControls(form);
  AnimationInProgress = false;
  EXPECT_EQ(shown->Count(SKCMD_END_UPDATE) + graphic->Count(SKCMD_END_UPDATE), 0);
  RepaintChildControls(form);
  EXPECT_EQ(shown->Count(SKCMD_END_UPDATE), 1);
  EXPECT_EQ(hidden->Count(SKCMD_END_UPDATE), 0);
  EXPECT_EQ(graphic->Count(SKCMD_END_UPDATE), 1);

  // Child windows in Z order, only those with WS_CHILD.
  std::vector<HWND> got;
  HWND top = TRawWindow::Make(nullptr, WS_POPUP, &got);
  HWND child = TRawWindow::Make(top, WS_CHILD, &got);
  HWND notChild = TRawWindow::Make(nullptr, WS_POPUP, &got);
  SetParent(notChild, top);
  ASSERT_EQ(GetAncestor(notChild, GA_PARENT), top);
  RepaintChildWindows(top);
  EXPECT_EQ(got, std::vector<HWND>{child});
  DestroyWindow(top);

  // Background colours.
  EXPECT_EQ(ControlBkColor(nullptr), TColor(0xFF00FF));
  EXPECT_EQ(WindowBkColor(nullptr), TColor(0xFF00FF));
  shown->SetColor(clBtnFace);
  EXPECT_EQ(ControlBkColor(shown), TColor(GetSysColor(COLOR_BTNFACE)));
  auto* skinned = new TSkinWin(form, true, form);
  skinned->Answers[SKCMD_GET_BG_COLOR] = 0x00345678;
  EXPECT_EQ(ControlBkColor(skinned), TColor(0x00345678));
  EXPECT_EQ(WindowBkColor(skinned->Handle()), TColor(0x00345678));
  graphic->Answers[SKCMD_IS_SKINNED] = 1;
  graphic->Answers[SKCMD_GET_BG_COLOR] = clWindow;  // a system colour answer becomes RGB
  EXPECT_EQ(ControlBkColor(graphic), TColor(GetSysColor(COLOR_WINDOW)));

  // The form adapter of the top-most form, not while the control loads.
  auto* inner = new TSkinForm(form);
  inner->SetParent(form);
  auto* deep = new TSkinWin(form, false, inner);
  AddToFormAdapter(deep);
  ASSERT_EQ(form->Count(SKCMD_ADD_CONTROLS), 1);
  EXPECT_EQ(form->LParams.back(), reinterpret_cast<LPARAM>(deep));
  EXPECT_EQ(inner->Count(SKCMD_ADD_CONTROLS), 0);
  deep->SetLoading(true);
  AddToFormAdapter(deep);
  EXPECT_EQ(form->Count(SKCMD_ADD_CONTROLS), 1);
  deep->SetLoading(false);
  TComponent::Free(form);
}

TEST(SkinSenders, LibraryMessagesFromOtherThreadsAndProcessesReachNoReceiver) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  HWND formWnd = form->Handle();
  auto* control = new TSkinWin(form, true, form);
  HWND wnd = control->Handle();
  GuardSkinMessages();

  // Sent from another thread with a garbage record: nobody sees it, the answer is 0.
  LRESULT fromThread = -1, marked = -1;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    fromThread = SendMessageW(wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_BG_INFO), 0x1234);
    SendMessageW(formWnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_BG_INFO), 0x1234);
    marked = SendSkinCommandFromThread(wnd, SKCMD_IS_SKINNED, 0);  // our own worker's send
    SetEvent(done);
  });
  while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) PumpMessages();
  worker.join();
  CloseHandle(done);
  EXPECT_EQ(fromThread, 0);
  EXPECT_EQ(marked, 0);  // the control does not answer 7; it only records it
  EXPECT_EQ(control->Got, std::vector<WORD>{SKCMD_IS_SKINNED});
  EXPECT_TRUE(form->Got.empty());

  // Posted: dropped, but for the two sub-commands that are posted on purpose.
  PostMessageW(wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_BG_INFO), 0x1234);
  PostMessageW(wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_LIST_SKIN_CHANGED), 0);
  std::thread([&] { PostMessageW(formWnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_BOUNDS), 0x1234); }).join();
  PumpMessages();
  EXPECT_EQ(control->Got, (std::vector<WORD>{SKCMD_IS_SKINNED, SKCMD_LIST_SKIN_CHANGED}));
  EXPECT_TRUE(form->Got.empty());

  // Another process: its window's "ACSDATA" is not trusted, and its messages reach nobody.
  TTempFolder folder;
  const std::wstring exe = folder / L"Foreign.exe";
  ASSERT_TRUE(CopyFileW(WinPath(STANDIN_EXE_PATH).c_str(), exe.c_str(), FALSE));
  WriteTextFile(exe + L".ctl",
                "acsdata=305419896\nsendto=" + std::to_string(reinterpret_cast<ULONG_PTR>(wnd)) + "\n");
  TJobProcess foreign(exe, L"", folder.Path());
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(exe + L".record", L"sent") == 1; }));
  HWND foreignWnd = FindProcessWindow(foreign.Pid(), L"TarvelStandIn");
  ASSERT_TRUE(foreignWnd);
  ASSERT_EQ(reinterpret_cast<ULONG_PTR>(GetPropW(foreignWnd, L"ACSDATA")), 305419896u);
  EXPECT_EQ(CommonDataOfWindow(foreignWnd), nullptr);
  EXPECT_FALSE(IsSkinnedWindow(foreignWnd));
  EXPECT_EQ(SendSkinCommand(foreignWnd, SKCMD_GET_BG_COLOR, 0xFF00FF), 0);
  EXPECT_EQ(control->Got.size(), 2u);
  foreign.Kill();
  TComponent::Free(form);
}
