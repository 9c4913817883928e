#include "platform/runtime/Threads.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Logger.h"
#include <deque>
#include <mutex>

namespace {

constexpr UINT WM_DISPATCH_CALL = WM_APP + 0x3A1;

struct TCall {
  std::function<void()> Fn;
  HANDLE Done = nullptr;  // set for synchronous calls
  bool Ran = false;
  std::exception_ptr Error;
  ~TCall() {
    if (Done) CloseHandle(Done);
  }
};

struct TDispatcher {
  std::mutex Lock;
  HWND Wnd = nullptr;
  DWORD ThreadId = 0;
  bool Closed = false;
  std::deque<std::shared_ptr<TCall>> Pending;
  // Signalled with every call handed over, for the UI thread's waits that run calls.
  HANDLE CallsPosted = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  std::function<void(const std::exception&)> OnQueuedException;
};

TDispatcher& D() {
  static TDispatcher* d = new TDispatcher;  // never destroyed: pool threads may still look at it at exit
  return *d;
}

void ReportQueued(const std::exception& e) {
  std::function<void(const std::exception&)> h;
  {
    std::lock_guard<std::mutex> l(D().Lock);
    h = D().OnQueuedException;
  }
  if (h)
    h(e);
  else
    CodeSite().SendException(L"Queued call", e);
}

void RunOne() {
  std::shared_ptr<TCall> call;
  {
    std::lock_guard<std::mutex> l(D().Lock);
    if (D().Pending.empty()) return;
    call = D().Pending.front();
    D().Pending.pop_front();
  }
  try {
    call->Fn();
  } catch (...) {
    call->Error = std::current_exception();
  }
  call->Ran = true;
  if (call->Done) {
    SetEvent(call->Done);
  } else if (call->Error) {
    try {
      std::rethrow_exception(call->Error);
    } catch (const std::exception& e) {
      ReportQueued(e);
    } catch (...) {
      ReportQueued(Exception(L"unknown exception"));
    }
  }
}

LRESULT CALLBACK DispatchWndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_DISPATCH_CALL) {
    RunOne();
    return 0;
  }
  return DefWindowProcW(wnd, msg, w, l);
}

// Hands the call to the UI thread; false when it takes no more calls.
bool Post(const std::shared_ptr<TCall>& call) {
  std::lock_guard<std::mutex> l(D().Lock);
  if (D().Closed || !D().Wnd) return false;
  D().Pending.push_back(call);
  if (!PostMessageW(D().Wnd, WM_DISPATCH_CALL, 0, 0)) {
    D().Pending.pop_back();
    return false;
  }
  if (D().CallsPosted) SetEvent(D().CallsPosted);
  return true;
}

}  // namespace

void InitMainThreadDispatcher() {
  std::lock_guard<std::mutex> l(D().Lock);
  if (D().Wnd && D().ThreadId == GetCurrentThreadId()) return;
  static const wchar_t* kClass = L"TarvelThreadDispatch";
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DispatchWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassW(&wc);  // fails harmlessly when registered already
  D().Wnd = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  D().ThreadId = GetCurrentThreadId();
  D().Closed = false;
}

void ShutdownMainThreadDispatcher() {
  std::deque<std::shared_ptr<TCall>> left;
  HWND wnd;
  {
    std::lock_guard<std::mutex> l(D().Lock);
    D().Closed = true;
    left.swap(D().Pending);
    wnd = D().Wnd;
    D().Wnd = nullptr;
  }
  // The calls still queued are dropped, not run (see the header); synchronous waiters are
  // released and see that their call did not run.
  size_t dropped = 0;
  for (auto& c : left) {
    if (c->Done)
      SetEvent(c->Done);
    else
      ++dropped;
  }
  if (dropped) CodeSite().Send(L"UI thread shut down; queued calls dropped: " + std::to_wstring(dropped));
  if (wnd) DestroyWindow(wnd);
}

bool IsMainThread() {
  std::lock_guard<std::mutex> l(D().Lock);
  return D().ThreadId != 0 && D().ThreadId == GetCurrentThreadId();
}

void SetQueuedExceptionHandler(std::function<void(const std::exception&)> handler) {
  std::lock_guard<std::mutex> l(D().Lock);
  D().OnQueuedException = std::move(handler);
}

// ---- TThread ---------------------------------------------------------------

TThread::TThread(bool createSuspended) {
  FHandle = CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &FThreadId);
  if (!FHandle) RaiseLastOSError(0, L"CreateThread");
  if (!createSuspended) Start();
}

TThread::~TThread() {
  if (FHandle) {
    if (!FStarted) {
      // Never started: it runs to an immediate end. Killing it instead could leave a lock
      // the half-made thread took in the system's thread start-up (the process heap's)
      // held for good. The wait is bounded: at process exit the thread may never run, and
      // is left to the exit then.
      FTerminated = true;
      FAbandoned = true;
      ResumeThread(FHandle);
      WaitForSingleObject(FHandle, 10000);
      FFinished = true;
    } else {
      // Only a derived class without members of its own that Execute uses gets here with
      // Execute still running; the others waited in their destructor already.
      TerminateAndWait();
    }
    CloseHandle(FHandle);
  }
}

void TThread::TerminateAndWait() {
  FTerminated = true;
  if (!FHandle || !FStarted || GetCurrentThreadId() == FThreadId) return;
  WaitForSingleObject(FHandle, INFINITE);
}

void TThread::Start() {
  if (FStarted) return;
  FStarted = true;
  ResumeThread(FHandle);
}

DWORD TThread::WaitFor() {
  WaitForSingleObject(FHandle, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(FHandle, &code);
  return code;
}

DWORD TThread::WaitForRunningCalls() {
  if (!IsMainThread() || !FStarted) return WaitFor();
  HANDLE handles[2] = {FHandle, D().CallsPosted};
  for (;;) {
    const DWORD got = WaitForMultipleObjects(handles[1] ? 2 : 1, handles, FALSE, INFINITE);
    if (got != WAIT_OBJECT_0 + 1) break;
    // Every call waiting now; the posted messages that announced them find none left.
    for (;;) {
      {
        std::lock_guard<std::mutex> l(D().Lock);
        if (D().Pending.empty()) break;
      }
      RunOne();
    }
  }
  DWORD code = 0;
  GetExitCodeThread(FHandle, &code);
  return code;
}

void TThread::SetPriority(int priority) {
  if (FHandle) SetThreadPriority(FHandle, priority);
}

TSimpleEvent::TSimpleEvent() : FHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (!FHandle) RaiseLastOSError(0, L"CreateEvent");
}

TSimpleEvent::~TSimpleEvent() { CloseHandle(FHandle); }

void TSimpleEvent::SetEvent() { ::SetEvent(FHandle); }

void TSimpleEvent::ResetEvent() { ::ResetEvent(FHandle); }

TWaitResult TSimpleEvent::WaitFor(DWORD timeoutMs) {
  switch (WaitForSingleObject(FHandle, timeoutMs)) {
    case WAIT_OBJECT_0: return wrSignaled;
    case WAIT_TIMEOUT: return wrTimeout;
    case WAIT_ABANDONED: return wrAbandoned;
    default: return wrError;
  }
}

DWORD WINAPI TThread::ThreadProc(LPVOID p) {
  auto* self = static_cast<TThread*>(p);
  if (self->FAbandoned) return 0;
  try {
    self->Execute();
  } catch (const std::exception& e) {
    CodeSite().SendException(L"Thread", e);
  } catch (...) {
    CodeSite().SendError(L"Thread: unknown exception");
  }
  // The flag is read before the thread says it finished: from then on its owner may free it.
  const bool freeSelf = self->FFreeOnTerminate;
  self->FFinished = true;
  if (freeSelf) delete self;
  return 0;
}

bool TThread::Synchronize(const std::function<void()>& fn) {
  if (IsMainThread()) {
    fn();
    return true;
  }
  auto call = std::make_shared<TCall>();
  call->Fn = fn;
  call->Done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!call->Done) RaiseLastOSError(0, L"CreateEvent");
  if (!Post(call)) return false;
  WaitForSingleObject(call->Done, INFINITE);
  if (call->Error) std::rethrow_exception(call->Error);
  return call->Ran;
}

void TThread::Queue(std::function<void()> fn) {
  auto call = std::make_shared<TCall>();
  call->Fn = std::move(fn);
  Post(call);
}

// ---- TTask -----------------------------------------------------------------

namespace {

class TTaskImpl : public ITask {
public:
  TTaskImpl() : FDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!FDone) RaiseLastOSError(0, L"CreateEvent");
  }
  ~TTaskImpl() override { CloseHandle(FDone); }
  bool Wait(DWORD timeoutMs) override { return WaitForSingleObject(FDone, timeoutMs) == WAIT_OBJECT_0; }
  TTaskStatus Status() const override { return FStatus; }

  std::function<void()> Work;
  bool LongRunning = false;
  std::atomic<TTaskStatus> FStatus{TTaskStatus::Running};
  HANDLE FDone;
};

struct TTaskContext {
  std::shared_ptr<TTaskImpl> Task;
};

void CALLBACK TaskCallback(PTP_CALLBACK_INSTANCE instance, PVOID context) {
  std::unique_ptr<TTaskContext> ctx(static_cast<TTaskContext*>(context));
  auto& task = *ctx->Task;
  if (task.LongRunning) CallbackMayRunLong(instance);
  TTaskStatus status = TTaskStatus::Completed;
  try {
    task.Work();
  } catch (const std::exception& e) {
    status = TTaskStatus::Exception;
    CodeSite().SendException(L"Task", e);
  } catch (...) {
    status = TTaskStatus::Exception;
    CodeSite().SendError(L"Task: unknown exception");
  }
  task.Work = nullptr;  // captured references go before anyone is told the task ended
  task.FStatus = status;
  SetEvent(task.FDone);
}

}  // namespace

std::shared_ptr<ITask> TTask::Run(std::function<void()> work, bool longRunning) {
  auto task = std::make_shared<TTaskImpl>();
  task->Work = std::move(work);
  task->LongRunning = longRunning;
  auto* ctx = new TTaskContext{task};
  if (!TrySubmitThreadpoolCallback(TaskCallback, ctx, nullptr)) {
    delete ctx;
    RaiseLastOSError(0, L"TrySubmitThreadpoolCallback");
  }
  return task;
}
