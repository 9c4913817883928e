#pragma once
// Starting, finding, closing and ending other programs, and the executors that run
// the shell's sibling programs and report their ends to the UI thread.
#include "platform/runtime/Threads.h"
#include <windows.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TProcess {
public:
  TProcess() = delete;
  // The process id, 0 when the start failed. The program runs in its own folder.
  static DWORD Run(const std::wstring& AFileName, const std::wstring& AParams, int AWinState);
  static bool RunAndWait(const std::wstring& AFileName, const std::wstring& AParams, DWORD& AExitCode,
                         int AWinState);
  static bool RunAndWait(const std::wstring& AFileName, const std::wstring& AParams, int AWinState);
  // The id of the first running process with that executable file name (A-Z ignoring case), else 0.
  static DWORD IsRun(const std::wstring& AExeName);
  static bool IsRun(DWORD AProcID);
  // Posts WM_CLOSE to every top-level window of the process; does not wait.
  static void Close(DWORD AProcID);
  // Waits until no process with that executable file name runs; false when the time ran out.
  static bool WaitGone(const std::wstring& AExeName, DWORD ATimeoutMs);
  static bool Finish(DWORD AProcID);
  static void SetForeground(HWND AWnd);
};

using TExitCodeProc = std::function<void(std::uint32_t exitCode)>;

class IExecutor {
public:
  virtual ~IExecutor() = default;
  virtual void Run(const std::wstring& AParams) = 0;
  virtual bool IsRun() = 0;
  virtual void Done(bool AOnClose) = 0;
  virtual TExitCodeProc ReadOnClose() = 0;
  virtual void WriteOnClose(TExitCodeProc value) = 0;
};

// Runs one program file and waits for it on a pool task. Whether an end is reported is
// decided per run: every Run reports its program's end again, and a run that the owner
// stopped with Done(false) never reports, even when its program ends after a newer run
// has started.
class TExecutor : public IExecutor, public std::enable_shared_from_this<TExecutor> {
public:
  static std::shared_ptr<IExecutor> Create(const std::wstring& AFilename, bool AutoFinish);
  TExecutor(const std::wstring& AFilename, bool AutoFinish);
  ~TExecutor() override;

  void Run(const std::wstring& AParams) override;
  bool IsRun() override;
  void Done(bool AOnClose) override;
  TExitCodeProc ReadOnClose() override;
  void WriteOnClose(TExitCodeProc value) override;
  // The task of the latest run, for tests and shut-down.
  std::shared_ptr<ITask> Task();

private:
  struct TRun {
    std::atomic<bool> Report{true};
  };
  std::mutex FLock;
  std::shared_ptr<ITask> FTask;
  std::wstring FFilename;
  bool FAutoFinish;
  TExitCodeProc FOnClose;
  bool FOnCloseEnabled = true;
  std::vector<std::weak_ptr<TRun>> FRuns;
};

// Quotes one argument by the rules CommandLineToArgvW reads back, when it needs it
// (blanks, tabs, quotes, or empty); others come back unchanged.
std::wstring QuoteArgument(const std::wstring& arg);
