#pragma once
// The updater thread: fetches the remote index (retrying until it succeeds or is stopped),
// finds what the asset folder lacks, downloads it on pool tasks, keeps the local index,
// and reports progress and its end to the UI thread.
#include <windows.h>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>
#include "platform/runtime/Parallel.h"
#include "platform/runtime/Stopwatch.h"
#include "platform/runtime/Threads.h"
#include "settings/Common.Types.h"
#include "updater/Upd.Types.h"

class TDownloader;

// A run's stages as a set: bit n for stage n.
enum TUpdateStage { stgReindex, stgDownload, stgUpdate, stgClear };
using TUpdateStages = std::uint8_t;
constexpr TUpdateStages StageBit(TUpdateStage s) { return static_cast<TUpdateStages>(1u << s); }
constexpr TUpdateStages DefaultUpdateStages = StageBit(stgDownload) | StageBit(stgUpdate);

// A remote document that is no usable answer (refused status, too large, stopped transfer).
TARVEL_DECLARE_EXCEPTION(EIndexException, Exception)

// name=value lines, looked up by name without regard to case; a missing name reads as "".
class TParamList {
public:
  void Add(const std::wstring& ALine) { FLines.push_back(ALine); }
  void Clear() { FLines.clear(); }
  std::wstring Values(std::wstring_view AName) const;
  void SetValues(const std::wstring& AName, const std::wstring& AValue);
  const std::vector<std::wstring>& Lines() const { return FLines; }

private:
  std::vector<std::wstring> FLines;
};

// The program-file stage replaces one file at a time, and the steps of one replacement (a
// copy over a companion file; or the running executable moved aside, the new one moved in,
// and the old one moved back when that fails) must never be cut, or the terminal is left
// with a truncated file or without its program. The end of the process closes the gate:
// no replacement begins after that, and the end waits for the one under way. Process-wide,
// because the updater thread frees itself and the end cannot ask it.
class TSwapGate {
public:
  // False once the gate is closed: the replacement must not begin.
  bool Enter();
  void Leave();
  // Lets no replacement begin and waits at most ATimeoutMs for the one under way to end;
  // false when it is still under way.
  bool Close(DWORD ATimeoutMs);
  // Opens the gate again (a process that goes on after all, and tests).
  void Reopen();

private:
  std::mutex FLock;
  std::condition_variable FIdle;
  int FActive = 0;
  bool FClosed = false;
};
TSwapGate& ProgramFileSwaps();
// How long the end of the process waits for a program file being replaced.
constexpr DWORD ProgramFileSwapWaitMs = 30000;
// For the end of the process: closes the gate and waits at most ATimeoutMs for the
// replacement under way; logs when it is still under way (the process ends anyway).
void EndProgramFileSwaps(DWORD ATimeoutMs = ProgramFileSwapWaitMs);

// Moves (AMove) or copies ASource over ATarget; false with the system's error set. The
// default is the system's own move (a copy and delete across volumes) or copy; tests put in
// a slow one.
using TFileTransfer = std::function<bool(const std::wstring& ASource, const std::wstring& ATarget, bool AMove)>;
bool SystemFileTransfer(const std::wstring& ASource, const std::wstring& ATarget, bool AMove);

using TProgressEvent = std::function<void(const TProgressInfo&)>;
using TDoneEvent = std::function<void(bool ACancelled, bool ARestart, const std::wstring& ARestartName)>;

// Time constants and limits; the defaults are the production values, tests shorten them.
struct TUpdaterTimings {
  int RetryDelayMs = 5000;          // between attempts to fetch the index (two equal pauses)
  int ConnectionWaitMs = 5000;      // a download task's pause after a network error
  int ThrottleMs = 250;             // least time between two throttled progress records
  int TaskPassMs = 10;              // one pass of the download loop
  std::int64_t MaxIndexBytes = 64ll * 1024 * 1024;  // index and index-URL bodies
};

class TUpdater : public TThread {
public:
  explicit TUpdater(bool CreateSuspended = true);
  ~TUpdater() override;

  TParamList& Params() { return FParams; }
  std::vector<std::wstring>& Ignored() { return FIgnored; }
  std::vector<std::wstring>& Exclude() { return FExclude; }
  bool BinOnly() const { return FBinOnly; }
  void SetBinOnly(bool value) { FBinOnly = value; }
  TUpdateStages Stages() const { return FStages; }
  void SetStages(TUpdateStages value) { FStages = value; }
  const TProgressEvent& OnProgress() const { return FOnProgress; }
  void SetOnProgress(TProgressEvent value) { FOnProgress = std::move(value); }
  const TDoneEvent& OnDone() const { return FOnDone; }
  void SetOnDone(TDoneEvent value) { FOnDone = std::move(value); }
  TUpdaterTimings& Timings() { return FTimings; }
  // The running executable, which the program-file stage moves aside rather than overwrites;
  // empty (the default) means the process's own executable.
  std::wstring RunningExe() const;
  void SetRunningExe(std::wstring value) { FRunningExe = std::move(value); }
  // How the program-file stage moves and copies its files.
  void SetFileTransfer(TFileTransfer value) { FFileTransfer = std::move(value); }

  // Index operations, shared by the remote and the local index.
  void ParseIndex(std::string_view AText, TFileItemList& AList, bool AClear);
  bool IsIgnored(const TFileItem& AItem) const;
  bool LoadLocalIndex(const std::wstring& AFileName, TFileItemList& AList);
  void SaveIndex(const std::wstring& AFileName, TFileItemList& AList);

protected:
  void Execute() override;

private:
  void DoProgress(const TProgressInfo& AInfo);
  void DoProgressQ(const TProgressInfo& AInfo);

  // Remote index.
  bool GetRemoteFiles(TFileItemList& ARemote);
  std::wstring GetIndexUrl(const std::wstring& AUrl);
  void LoadRemoteIndex(const std::wstring& AUrl, TFileItemList& AList);
  void IndexReceiveData(std::int64_t AContentLength, std::int64_t AReadCount, bool& AAbort);
  std::string GetCapped(const std::wstring& AUrl, bool AWithProgress);

  // Local check and downloads.
  void DownloadAssets(bool ABinOnly, const std::wstring& ABinPath, TFileItemList& ARemote, TFileItemList& ALocal,
                      TFileItemList& ADownloads);
  void GetLocalFiles(bool ABinOnly, const std::wstring& ABinPath, TFileItemList& ARemote, TFileItemList& ALocal,
                     TFileItemList& ADownloads);
  void CheckIndex(bool ABinOnly, const std::wstring& ABinPath, TFileItemList& ARemote, TFileItemList& ALocal,
                  TFileItemList& ADownloads);
  void IndexingFiles(const std::wstring& ARoot, bool ABinOnly, const std::wstring& ABinPath, TFileItemList& ARemote,
                     TFileItemList& ALocal, TFileItemList& ADownloads);
  void DownloadFiles(TFileItemList& ALocal, TFileItemList& ADownloads);
  std::shared_ptr<ITask> GetWorker(TFileItemList& ALocal, const TFileItem& AItem);
  void DownloadOne(TFileItemList& ALocal, TFileItem AItem);
  void WaitForConnection(const std::exception& AError, int& AWaits);
  // What one task has put into FTotalLoad for its file in this run: a byte of the file is
  // counted once, however often a dropped connection makes it arrive again.
  struct TTaskLoad {
    std::int64_t Base = 0;     // where the current request's bytes begin in the file
    std::int64_t Counted = 0;  // bytes of the file counted so far
  };
  void AddLoaded(TTaskLoad& ALoad, std::int64_t APosition);
  void ResumeNote(TTaskLoad& ALoad, const std::wstring& AFileName, std::int64_t AStart, std::int64_t AEnd);
  void WorkerProgress(TTaskLoad& ALoad, std::int64_t AReadLast, std::int64_t AReadTotal, bool& Abort);

  // Program files and trash.
  void UpdateAppFiles(const std::wstring& ASrc, const std::wstring& ADst);
  // One changed file into place; false when the gate is closed and it was left as it is.
  bool ReplaceAppFile(const std::wstring& ASource, const std::wstring& ATarget, const std::wstring& ARunning);
  void RemoveTrash(TFileItemList& ARemote, bool AComplete);
  void DropFromLocalIndex(TFileItemList& ADeleted);

  std::wstring Param(std::wstring_view AName) const { return FParams.Values(AName); }
  TProgressInfo DownloadRecord(bool AWait) const;

  TCriticalSection FLock;
  TUpdateStages FStages = DefaultUpdateStages;
  TParamList FParams;
  std::vector<std::wstring> FIgnored;
  std::vector<std::wstring> FExclude;
  bool FBinOnly = false;
  bool FRestartNeeded = false;
  std::wstring FRestartName;
  TStopwatch FTotalTime;
  TStopwatch FSpeedTime;
  std::atomic<std::int64_t> FLastTime{0};
  TProgressEvent FOnProgress;
  TDoneEvent FOnDone;
  std::atomic<std::int64_t> FTotalSize{0};
  std::atomic<std::int64_t> FTotalLoad{0};
  std::atomic<std::int64_t> FTotalRead{0};
  TUpdaterTimings FTimings;
  std::wstring FRunningExe;
  TFileTransfer FFileTransfer = SystemFileTransfer;
};

// a * 100 / b kept within 0..100; 0 when b is not positive.
std::uint8_t PercentOf(std::int64_t a, std::int64_t b);
// a * 1000 / ms; 0 when no millisecond has passed.
std::int64_t SpeedOf(std::int64_t bytes, std::int64_t ms);
