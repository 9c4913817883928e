#pragma once
// Threads, calls into the UI thread and pool tasks.
//
// The UI thread is the thread that called InitMainThreadDispatcher: it owns a hidden
// message-only window, and calls from other threads reach it as posted messages to
// that window. Posted messages are dispatched by every message loop of the thread,
// so those calls also run while a message box or a popup menu is open. At shut-down
// ShutdownMainThreadDispatcher refuses further calls, drops the ones still waiting in
// the queue and releases every thread waiting in Synchronize, so no worker hangs on a
// UI thread that stopped listening.
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

// Makes the calling thread the UI thread (idempotent on that thread).
void InitMainThreadDispatcher();
// Refuses new calls and drops, without running them, the calls still queued: by now the
// windows and forms they were meant for may be gone, and a late call could start work
// (a browser, say) in a process that is ending. Threads waiting in Synchronize are
// released and get false.
void ShutdownMainThreadDispatcher();
bool IsMainThread();
// Where exceptions of queued calls go (they have no caller to return to); by default they are logged.
void SetQueuedExceptionHandler(std::function<void(const std::exception&)> handler);

// A derived class whose Execute uses the derived class's own members calls
// TerminateAndWait first in its destructor: ~TThread waits for Execute as well, but only
// after the derived members are gone.
class TThread {
public:
  explicit TThread(bool createSuspended = true);
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts a thread created suspended; once only.
  void Start();
  // Sets the stop flag; Execute looks at Terminated() and ends on its own.
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // A thread freed on end deletes itself after Execute; nobody may touch it after Start.
  void SetFreeOnTerminate(bool value) { FFreeOnTerminate = value; }
  bool FreeOnTerminate() const { return FFreeOnTerminate; }
  bool Finished() const { return FFinished; }
  // Start was called (a thread never started has no Execute to wait for).
  bool Started() const { return FStarted; }
  // Waits for the end of Execute; returns the thread's exit code.
  DWORD WaitFor();
  // WaitFor for the UI thread: while it waits, the calls other threads hand to the UI
  // thread (Synchronize, Queue) run here, so a thread that waits in Synchronize for the
  // UI thread cannot deadlock the waiter. Elsewhere the same as WaitFor.
  DWORD WaitForRunningCalls();
  DWORD ThreadID() const { return FThreadId; }
  // The scheduling priority of the thread (a THREAD_PRIORITY_* value); tpLower is below normal.
  void SetPriority(int priority);

  // Runs the call on the UI thread and waits for it (at once when already there). An
  // exception of the call is raised again here. False when the UI thread takes no more calls.
  static bool Synchronize(const std::function<void()>& call);
  // Posts the call to the UI thread without waiting. Also from the UI thread itself it runs
  // later, from the message loop, in order with the other queued calls.
  static void Queue(std::function<void()> call);

protected:
  virtual void Execute() = 0;
  // Sets the stop flag and waits for the end of Execute. Does nothing on the thread itself
  // (a thread freed on end is deleted there) and for a thread that never started.
  void TerminateAndWait();

private:
  static DWORD WINAPI ThreadProc(LPVOID self);
  HANDLE FHandle = nullptr;
  DWORD FThreadId = 0;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFreeOnTerminate{false};
  std::atomic<bool> FFinished{false};
  bool FStarted = false;
  // Set when the object goes before the thread was started: the thread then ends at once.
  std::atomic<bool> FAbandoned{false};
};

constexpr int tpLower = THREAD_PRIORITY_BELOW_NORMAL;

// A manual-reset event, created non-signalled.
enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };
class TSimpleEvent {
public:
  TSimpleEvent();
  ~TSimpleEvent();
  TSimpleEvent(const TSimpleEvent&) = delete;
  TSimpleEvent& operator=(const TSimpleEvent&) = delete;
  void SetEvent();
  void ResetEvent();
  TWaitResult WaitFor(DWORD timeoutMs);
  HANDLE Handle() const { return FHandle; }

private:
  HANDLE FHandle;
};

// A unit of work on the system's thread pool.
enum class TTaskStatus { Running, Completed, Exception };

class ITask {
public:
  virtual ~ITask() = default;
  // Waits for the end of the task; false when the time-out passed first.
  virtual bool Wait(DWORD timeoutMs = INFINITE) = 0;
  virtual TTaskStatus Status() const = 0;
};

class TTask {
public:
  // Starts the work on the process's default thread pool. Work that blocks for long
  // (waiting for another process) says so, so the pool adds threads instead of letting
  // short work queue behind it.
  static std::shared_ptr<ITask> Run(std::function<void()> work, bool longRunning = false);
};
