#include "updater/Upd.Core.h"

#include <windows.h>
#include <zlib.h>
#include <algorithm>
#include <chrono>
#include <mutex>
#include "platform/runtime/Files.h"
#include "platform/runtime/HttpClient.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Streams.h"
#include "platform/runtime/Strings.h"
#include "settings/Common.Utils.h"
#include "updater/Upd.Downloader.h"

// ---- helpers ---------------------------------------------------------------

std::uint8_t PercentOf(std::int64_t a, std::int64_t b) {
  if (b <= 0 || a <= 0) return 0;
  // a * 100 would overflow only beyond 92 PB; divide first there.
  const std::int64_t p = a > INT64_MAX / 100 ? a / (b / 100 > 0 ? b / 100 : 1) : a * 100 / b;
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>(p, 0, 100));
}

std::int64_t SpeedOf(std::int64_t bytes, std::int64_t ms) {
  if (ms <= 0 || bytes <= 0) return 0;
  return bytes > INT64_MAX / 1000 ? bytes / ms * 1000 : bytes * 1000 / ms;
}

namespace {

// The current date and time in the user's short formats.
std::wstring NowText() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  wchar_t date[128] = {}, time[128] = {};
  GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128, nullptr);
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, time, 128);
  return std::wstring(date) + L" " + time;
}

std::wstring Duration(const TStopwatch& sw) {
  return FormatDuration(static_cast<std::uint32_t>(sw.ElapsedMilliseconds()), true);
}

// Digits grouped by the user's thousands separator ("#,#").
std::wstring FormatThousands(long long value) {
  std::wstring digits = std::to_wstring(value < 0 ? -value : value);
  wchar_t sep[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, sep, 8) <= 0) sep[0] = L',';
  std::wstring out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += sep;
    out += digits[i];
  }
  return value < 0 ? L"-" + out : out;
}

// A memory stream that refuses to grow past a limit, so a runaway body cannot eat the memory.
class TCappedStream : public TMemoryStream {
public:
  TCappedStream(std::int64_t limit, std::wstring url) : FLimit(limit), FUrl(std::move(url)) {}
  void Write(const void* buffer, std::int64_t count) override {
    if (Position() + count > FLimit)
      throw EIndexException(FormatW(L"The answer of \"%s\" exceeds %lld bytes", FUrl.c_str(), FLimit));
    TMemoryStream::Write(buffer, count);
  }
  using TStream::Write;

private:
  std::int64_t FLimit;
  std::wstring FUrl;
};

std::string Gunzip(const std::string& bytes, std::int64_t limit) {
  z_stream zs{};
  if (inflateInit2(&zs, 15 + 32) != Z_OK) throw EIndexException(L"Cannot start gzip decoding");
  std::string out;
  char buf[65536];
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zs.avail_in = static_cast<uInt>(bytes.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    zs.next_out = reinterpret_cast<Bytef*>(buf);
    zs.avail_out = sizeof buf;
    rc = inflate(&zs, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    out.append(buf, sizeof buf - zs.avail_out);
    if (static_cast<std::int64_t>(out.size()) > limit) {
      inflateEnd(&zs);
      throw EIndexException(FormatW(L"The unpacked answer exceeds %lld bytes", limit));
    }
    if (rc == Z_OK && zs.avail_in == 0 && zs.avail_out != 0) break;  // input ended early
  }
  inflateEnd(&zs);
  if (rc != Z_STREAM_END) throw EIndexException(L"The gzip content of the answer is damaged");
  return out;
}

// A JSON value as text: strings as they are, numbers as written, literals by name.
std::wstring JsonValueText(const TJsonValue& v) {
  switch (v.Kind()) {
    case TJsonKind::String:
    case TJsonKind::Number: return v.Text();
    case TJsonKind::True: return L"true";
    case TJsonKind::False: return L"false";
    default: return L"";
  }
}

}  // namespace

// ---- TParamList --------------------------------------------------------------

std::wstring TParamList::Values(std::wstring_view AName) const {
  for (const auto& line : FLines) {
    const size_t eq = line.find(L'=');
    if (eq != std::wstring::npos && SameText(std::wstring_view(line).substr(0, eq), AName)) return line.substr(eq + 1);
  }
  return L"";
}

void TParamList::SetValues(const std::wstring& AName, const std::wstring& AValue) {
  for (auto& line : FLines) {
    const size_t eq = line.find(L'=');
    if (eq != std::wstring::npos && SameText(std::wstring_view(line).substr(0, eq), AName)) {
      line = AName + L"=" + AValue;
      return;
    }
  }
  FLines.push_back(AName + L"=" + AValue);
}

// ---- program-file replacement gate ---------------------------------------------

bool TSwapGate::Enter() {
  std::lock_guard<std::mutex> lock(FLock);
  if (FClosed) return false;
  ++FActive;
  return true;
}

void TSwapGate::Leave() {
  {
    std::lock_guard<std::mutex> lock(FLock);
    --FActive;
  }
  FIdle.notify_all();
}

bool TSwapGate::Close(DWORD ATimeoutMs) {
  std::unique_lock<std::mutex> lock(FLock);
  FClosed = true;
  return FIdle.wait_for(lock, std::chrono::milliseconds(ATimeoutMs), [this] { return FActive == 0; });
}

void TSwapGate::Reopen() {
  std::lock_guard<std::mutex> lock(FLock);
  FClosed = false;
}

TSwapGate& ProgramFileSwaps() {
  static TSwapGate gate;
  return gate;
}

void EndProgramFileSwaps(DWORD ATimeoutMs) {
  if (!ProgramFileSwaps().Close(ATimeoutMs))
    CodeSite().SendError(FormatW(L"A program file was still being replaced after %lu ms; the shell ends anyway",
                                 static_cast<unsigned long>(ATimeoutMs)));
}

bool SystemFileTransfer(const std::wstring& ASource, const std::wstring& ATarget, bool AMove) {
  return AMove ? MoveFileExW(ASource.c_str(), ATarget.c_str(), MOVEFILE_COPY_ALLOWED) != FALSE
               : CopyFileW(ASource.c_str(), ATarget.c_str(), FALSE) != FALSE;
}

// ---- TUpdater ----------------------------------------------------------------

TUpdater::TUpdater(bool CreateSuspended) : TThread(true) {
  if (!CreateSuspended) Start();
}

// Execute works on the updater's own members to its end: wait for it before they go.
TUpdater::~TUpdater() { TerminateAndWait(); }

void TUpdater::DoProgress(const TProgressInfo& AInfo) {
  if (!FOnProgress) return;
  const TProgressInfo info = AInfo;
  TThread::Synchronize([this, &info] { FOnProgress(info); });
}

void TUpdater::DoProgressQ(const TProgressInfo& AInfo) {
  if (!FOnProgress) return;
  TThread::Queue([callback = FOnProgress, info = AInfo] { callback(info); });
}

void TUpdater::Execute() {
  try {
    CodeSite().SetCategory(L"Mordex");
    CodeSite().SetCategoryFontColor(0x008000);
    CodeSite().AddResetSeparator();
    CodeSite().Send(FormatW(L"%s started on %s", CodeSite().Category().c_str(), NowText().c_str()));
    FTotalTime.Start();
    {
      TFileItemList remote, local, downloads;
      try {
        const bool complete = GetRemoteFiles(remote);
        CodeSite().SendWarning(FormatW(L"Total remote files: %d (%s) | Time: %s", remote.Count(),
                                       FormatSize(remote.Size()).c_str(), Duration(FTotalTime).c_str()));
        if (FStages == 0) FStages = DefaultUpdateStages;
        if (FStages & StageBit(stgReindex)) {
          const std::wstring indexFile = Param(L"IndexFile");
          if (FileExists(indexFile) && !DeleteFileW2(indexFile))
            RaiseLastOSError(0, FormatW(L"Cannot delete \"%s\"", indexFile.c_str()));
        }
        if (FStages & StageBit(stgDownload)) DownloadAssets(FBinOnly, Param(L"AppBinSrc"), remote, local, downloads);
        if ((FStages & StageBit(stgDownload)) && (FStages & StageBit(stgUpdate)))
          UpdateAppFiles(IncludeTrailingPathDelimiter(Param(L"AssetsPath")) + Param(L"AppBinSrc"), Param(L"AppBinDst"));
        if (FStages & StageBit(stgClear)) RemoveTrash(remote, complete);
      } catch (const std::exception& e) {
        CodeSite().SendException(e);
      }
    }
    if (FOnDone) {
      const bool cancelled = Terminated();
      TThread::Synchronize([this, cancelled] { FOnDone(cancelled, FRestartNeeded, FRestartName); });
    }
    FTotalTime.Stop();
    CodeSite().AddSeparator();
    CodeSite().SendReminder(
        FormatW(L"Update complete on %s | Time: %s", NowText().c_str(), Duration(FTotalTime).c_str()));
  } catch (const std::exception& e) {
    // Nothing may leave the thread; a failing done callback ends up here.
    CodeSite().SendException(e);
  }
}

// ---- index -------------------------------------------------------------------

bool TUpdater::IsIgnored(const TFileItem& AItem) const {
  const std::wstring name = ExtractFileName(AItem.AsPath);
  for (const auto& mask : FIgnored)
    if (MatchesMask(name, mask)) return true;
  return false;
}

void TUpdater::ParseIndex(std::string_view AText, TFileItemList& AList, bool AClear) {
  if (AClear) AList.Clear();
  try {
    ReadIndexJson(AText, AList, [this](const TFileItem& item) { return IsIgnored(item); });
  } catch (...) {
    AList.Sort();
    throw;
  }
  AList.Sort();
}

bool TUpdater::LoadLocalIndex(const std::wstring& AFileName, TFileItemList& AList) {
  CodeSite().Send(L"Reading local index...");
  TProgressInfo info(L"Check for updates...", true);
  info.Stage = L"Reading local index...";
  DoProgress(info);
  try {
    ParseIndex(ReadAllBytes(AFileName), AList, true);
    return true;
  } catch (const std::exception& e) {
    CodeSite().SendException(e);
    return false;
  }
}

void TUpdater::SaveIndex(const std::wstring& AFileName, TFileItemList& AList) {
  CodeSite().Send(FormatW(L"Save index file \"%s\"", AFileName.c_str()));
  DoProgress(TProgressInfo(L"Save file of index...", true));
  try {
    WriteAllBytesAtomic(AFileName, WriteIndexJson(AList));
  } catch (const std::exception& e) {
    CodeSite().SendException(e);
  }
}

// ---- remote index ------------------------------------------------------------

bool TUpdater::GetRemoteFiles(TFileItemList& ARemote) {
  CodeSite().SendNote(L"Getting remote file list");
  DoProgress(TProgressInfo(L"Check for updates...", true));
  FSpeedTime.Start();
  bool read = false, complete = false;
  while (!read && !Terminated()) {
    try {
      std::wstring url = Trim(Param(L"UpdateUrl"));
      if (url.empty()) url = GetIndexUrl(Param(L"GetWebUrl"));
      LoadRemoteIndex(url, ARemote);
      read = true;
      complete = !Terminated();
    } catch (const std::exception& e) {
      CodeSite().SendException(e);
      // A stop asked for during the attempt ends the fetch now rather than after the pause.
      if (!Terminated()) {
        Sleep(FTimings.RetryDelayMs / 2);
        Sleep(FTimings.RetryDelayMs - FTimings.RetryDelayMs / 2);
      }
    }
  }
  FSpeedTime.Stop();
  return complete;
}

std::string TUpdater::GetCapped(const std::wstring& AUrl, bool AWithProgress) {
  THTTPClient client;
  if (AWithProgress)
    client.OnReceiveData = [this](std::int64_t length, std::int64_t count, bool& abort) {
      IndexReceiveData(length, count, abort);
    };
  TCappedStream body(FTimings.MaxIndexBytes, AUrl);
  THTTPResponse response = client.Get(AUrl, &body);
  if (response.Aborted()) throw EIndexException(FormatW(L"The transfer of \"%s\" was stopped", AUrl.c_str()));
  std::string bytes = body.Bytes();
  const std::wstring encoding = LowerCase(Trim(response.ContentEncoding()));
  if (encoding == L"gzip" || encoding == L"x-gzip") bytes = Gunzip(bytes, FTimings.MaxIndexBytes);
  // Only a success is an answer: an error page must never be read as an index or an address.
  if (response.StatusCode() < 200 || response.StatusCode() > 299) {
    CodeSite().Send(L"Content = " + Utf8ToWide(bytes.substr(0, 1024)));
    throw EIndexException(FormatW(L"%d: %s \"%s\"", response.StatusCode(), response.StatusText().c_str(), AUrl.c_str()));
  }
  return bytes;
}

std::wstring TUpdater::GetIndexUrl(const std::wstring& AUrl) {
  CodeSite().Send(FormatW(L"Try get URL for updates from \"%s\"", AUrl.c_str()));
  const std::string bytes = GetCapped(AUrl, false);
  const std::wstring text = DecodeTextBytes(bytes);
  CodeSite().Send(L"Content = " + text);
  try {
    const TJsonValue doc = ParseJson(text);
    if (!doc.IsObject()) return L"";
    const TJsonValue* url = doc.Find(L"url");
    return url ? JsonValueText(*url) : L"";
  } catch (const EJsonException&) {
    return L"";
  }
}

void TUpdater::LoadRemoteIndex(const std::wstring& AUrl, TFileItemList& AList) {
  CodeSite().Send(FormatW(L"Check for updates = %s", AUrl.c_str()));
  const std::string bytes = GetCapped(AUrl, true);
  TProgressInfo info(L"Check for updates...", true);
  info.Stage = L"Reading update index...";
  DoProgress(info);
  ParseIndex(bytes, AList, true);
}

void TUpdater::IndexReceiveData(std::int64_t AContentLength, std::int64_t AReadCount, bool& AAbort) {
  AAbort = Terminated();
  if (AAbort) return;
  TProgressInfo info(L"Check for updates...", false);
  info.Stage = FormatW(L"Size: %s / %s", FormatSize(AReadCount).c_str(), FormatSize(AContentLength).c_str());
  info.State = FormatW(L"Speed: %s/s", FormatSize(SpeedOf(AReadCount, FSpeedTime.ElapsedMilliseconds())).c_str());
  info.Percent = PercentOf(AReadCount, AContentLength);
  DoProgress(info);
}

// ---- local check -------------------------------------------------------------

void TUpdater::DownloadAssets(bool ABinOnly, const std::wstring& ABinPath, TFileItemList& ARemote,
                              TFileItemList& ALocal, TFileItemList& ADownloads) {
  GetLocalFiles(ABinOnly, ABinPath, ARemote, ALocal, ADownloads);
  const int localCount = ALocal.Count();
  CodeSite().SendWarning(FormatW(L"Local files: %d (%s)| Download cache: %s | Downloads needed: %d (%s)| Time: %s",
                                 ALocal.Count(), FormatSize(ALocal.Size()).c_str(), ABinOnly ? L"False" : L"True",
                                 ADownloads.Count(), FormatSize(ADownloads.Size()).c_str(),
                                 Duration(FTotalTime).c_str()));
  if (ADownloads.Count() > 0) {
    DownloadFiles(ALocal, ADownloads);
    CodeSite().SendWarning(
        FormatW(L"Downloads complete. Local files: %d (%s) | Downloads files: %d (%s) | Time: %s", ALocal.Count(),
                FormatSize(ALocal.Size()).c_str(), ADownloads.Count(), FormatSize(ADownloads.Size()).c_str(),
                Duration(FTotalTime).c_str()));
  }
  if (ALocal.Count() != localCount) SaveIndex(Param(L"IndexFile"), ALocal);
}

void TUpdater::GetLocalFiles(bool ABinOnly, const std::wstring& ABinPath, TFileItemList& ARemote,
                             TFileItemList& ALocal, TFileItemList& ADownloads) {
  CodeSite().SendNote(L"Getting loacal file list");
  FLastTime = 0;
  if (LoadLocalIndex(Param(L"IndexFile"), ALocal)) {
    CheckIndex(ABinOnly, ABinPath, ARemote, ALocal, ADownloads);
  } else {
    IndexingFiles(Param(L"AssetsPath"), ABinOnly, ABinPath, ARemote, ALocal, ADownloads);
    SaveIndex(Param(L"IndexFile"), ALocal);
  }
}

void TUpdater::CheckIndex(bool ABinOnly, const std::wstring& ABinPath, TFileItemList& ARemote,
                          TFileItemList& ALocal, TFileItemList& ADownloads) {
  CodeSite().Send(L"Checking index...");
  TProgressInfo info(L"Check for updates...", true);
  info.Stage = L"Checking local files...";
  DoProgress(info);
  ADownloads.Clear();

  std::mutex staleLock;
  std::vector<int> stale;  // local entries whose remote entry differs
  TParallel::For(0, ARemote.Count() - 1, [&](int i, TParallelLoopState& state) {
    const TFileItem item = ARemote.ThItem(i);
    int index = -1;
    const bool found = ALocal.BinarySearch(item, index);
    // Digests are hexadecimal: an index may write them in either case.
    if (!found || !SameText(ALocal[index].Hash, item.Hash)) {
      if (!ABinOnly || StartsText(ABinPath, item.AsPath)) ADownloads.ThAdd(item);
      if (found) {
        // Every local entry of that path: duplicates must not keep a stale one alive.
        std::lock_guard<std::mutex> lock(staleLock);
        for (int k = index; k < ALocal.Count() && CompareFileItems(ALocal[k], item) == 0; ++k) stale.push_back(k);
      }
    }
    if (Terminated()) state.Break();
  });

  std::sort(stale.begin(), stale.end());
  stale.erase(std::unique(stale.begin(), stale.end()), stale.end());
  for (auto it = stale.rbegin(); it != stale.rend(); ++it) ALocal.Delete(*it);
  ADownloads.Sort();
}

void TUpdater::IndexingFiles(const std::wstring& ARoot, bool ABinOnly, const std::wstring& ABinPath,
                             TFileItemList& ARemote, TFileItemList& ALocal, TFileItemList& ADownloads) {
  CodeSite().Send(L"Indexing local files...");
  DoProgress(TProgressInfo(L"Indexing local files...", false));
  ALocal.Clear();
  ADownloads.Clear();
  const int lTotalFiles = ARemote.Count();
  std::atomic<int> lDoneFiles{0};

  TParallel::For(0, ARemote.Count() - 1, [&](int i, TParallelLoopState& state) {
    TFileItem item;
    try {
      item = ARemote.ThItem(i);
      const std::wstring file = JoinLocalPath(ARoot, item.AsPath);
      if (FileExists(file) && SameText(FileMD5(file), item.Hash))
        ALocal.ThAdd(item);
      else if (!ABinOnly || StartsText(ABinPath, item.AsPath))
        ADownloads.ThAdd(item);
      const int done = ++lDoneFiles;
      if (Terminated()) state.Break();
      const std::int64_t now = FTotalTime.ElapsedMilliseconds();
      if (now - FLastTime >= FTimings.ThrottleMs) {
        TProgressInfo info(L"Indexing local files...", false);
        info.Stage = FormatW(L"Files: %s / %s", FormatThousands(done).c_str(), FormatThousands(lTotalFiles).c_str());
        info.Percent = PercentOf(done, lTotalFiles);
        DoProgress(info);
        FLastTime = FTotalTime.ElapsedMilliseconds();
      }
    } catch (const std::exception& e) {
      const std::wstring message = dynamic_cast<const Exception*>(&e) ? static_cast<const Exception&>(e).Message()
                                                                      : Utf8ToWide(e.what());
      CodeSite().SendError(L"\"" + item.AsPath + L"\" " + message);
    }
  });

  ALocal.Sort();
  ADownloads.Sort();
}

// ---- downloads ---------------------------------------------------------------

TProgressInfo TUpdater::DownloadRecord(bool AWait) const {
  TProgressInfo info(L"Downloading files...", AWait);
  info.Stage = FormatW(L"Size: %s / %s", FormatSize(FTotalLoad).c_str(), FormatSize(FTotalSize).c_str());
  info.Percent = PercentOf(FTotalLoad, FTotalSize);
  return info;
}

void TUpdater::DownloadFiles(TFileItemList& ALocal, TFileItemList& ADownloads) {
  CodeSite().SendNote(L"Downloading files");
  int limit = 10;
  if (!TryStrToInt(Trim(Param(L"WorkerMax")), limit)) limit = 10;
  if (limit < 1) {
    // Fewer than one worker would wait for a stop that may never come.
    CodeSite().SendWarning(FormatW(L"WorkerMax %d taken as 1", limit));
    limit = 1;
  }
  FLastTime = 0;
  FTotalRead = 0;
  FTotalLoad = ALocal.Size();
  FTotalSize = ALocal.Size() + ADownloads.Size();
  DoProgress(DownloadRecord(false));

  FSpeedTime.Start();
  std::vector<std::shared_ptr<ITask>> tasks;
  TFileItem lastStarted;
  try {
    while (!Terminated() && ADownloads.Count() > 0) {
      // Finished tasks leave the list only when it is full; a pass that frees a place also
      // uses it, so a run of small files is not held to one start per two passes.
      if (static_cast<int>(tasks.size()) >= limit)
        tasks.erase(std::remove_if(tasks.begin(), tasks.end(),
                                   [](const std::shared_ptr<ITask>& t) { return t->Status() != TTaskStatus::Running; }),
                    tasks.end());
      if (static_cast<int>(tasks.size()) < limit) {
        const TFileItem item = ADownloads.ThExtract(0);
        if (!lastStarted.AsPath.empty() && CompareFileItems(item, lastStarted) == 0) {
          // An index listing one path twice must not get two tasks writing one partial file.
          CodeSite().SendWarning(FormatW(L"Duplicate index entry skipped: \"%s\"", item.Path.c_str()));
          continue;
        }
        lastStarted = item;
        tasks.push_back(GetWorker(ALocal, item));
      }
      Sleep(FTimings.TaskPassMs);
    }
  } catch (...) {
    // The tasks use the lists: they must all end before the error leaves.
    WaitForAll(tasks);
    FSpeedTime.Stop();
    throw;
  }
  WaitForAll(tasks);
  FSpeedTime.Stop();
  if (!Terminated()) {
    // The throttled records may all have gone before the last bytes came: the bar ends at
    // what arrived, not a quarter of a second before it.
    TProgressInfo info = DownloadRecord(false);
    info.State = FormatW(L"Speed: %s/s", FormatSize(SpeedOf(FTotalRead, FSpeedTime.ElapsedMilliseconds())).c_str());
    DoProgress(info);
  }
}

std::shared_ptr<ITask> TUpdater::GetWorker(TFileItemList& ALocal, const TFileItem& AItem) {
  return TTask::Run([this, &ALocal, AItem] { DownloadOne(ALocal, AItem); }, true);
}

void TUpdater::DownloadOne(TFileItemList& ALocal, TFileItem AItem) {
  try {
    TTaskLoad load;  // outlives the downloader that reports into it
    TDownloader downloader;
    downloader.SetOnProgress([this, &load](TDownloader*, std::int64_t last, std::int64_t total, std::int64_t,
                                           bool& abort) { WorkerProgress(load, last, total, abort); });
    downloader.SetOnResume([this, &load](const std::wstring& name, std::int64_t start, std::int64_t end) {
      ResumeNote(load, name, start, end);
    });
    int waits = 0;
    const std::wstring target = JoinLocalPath(Param(L"AssetsPath"), AItem.AsPath);
    const std::wstring expected = AItem.Hash;
    while (!Terminated()) {
      try {
        std::int64_t size = 0;
        std::wstring hash;
        load.Base = 0;  // a plain GET; the resume note moves it to the partial file's end
        downloader.Download2(AItem.Path, target, size, hash, &expected);
        AItem.Hash = hash;
        AItem.Size = size;
        ALocal.ThAdd(AItem);
        break;
      } catch (const ENetHTTPException& e) {
        WaitForConnection(e, waits);
      }
    }
  } catch (const Exception& e) {
    CodeSite().SendException(e.ClassName(), e);
  } catch (const std::exception& e) {
    CodeSite().SendException(e);
  }
}

void TUpdater::WaitForConnection(const std::exception& AError, int& AWaits) {
  if (AWaits == 0) {
    const auto* ours = dynamic_cast<const Exception*>(&AError);
    CodeSite().SendException(ours ? ours->ClassName() : L"Exception", AError);
    TProgressInfo info = DownloadRecord(true);
    info.State = L"Wait for connection... ";
    DoProgressQ(info);
  }
  Sleep(FTimings.ConnectionWaitMs);
  ++AWaits;
}

void TUpdater::AddLoaded(TTaskLoad& ALoad, std::int64_t APosition) {
  // Bytes that come again after a dropped connection (a resume of what was already counted,
  // or a fresh GET of a file that could not be resumed) are not counted again.
  if (APosition <= ALoad.Counted) return;
  FTotalLoad += APosition - ALoad.Counted;
  ALoad.Counted = APosition;
}

void TUpdater::ResumeNote(TTaskLoad& ALoad, const std::wstring& AFileName, std::int64_t AStart, std::int64_t AEnd) {
  CodeSite().SendWarning(FormatW(L"Resume: \"%s\", %s / %s", AFileName.c_str(), FormatSize(AStart).c_str(),
                                 FormatSize(AEnd).c_str()));
  ALoad.Base = AStart;
  AddLoaded(ALoad, AStart);
}

void TUpdater::WorkerProgress(TTaskLoad& ALoad, std::int64_t AReadLast, std::int64_t AReadTotal, bool& Abort) {
  // The counters first: they are atomics, so this costs a receiving thread no wait, and a
  // busy lock below drops a report, never bytes.
  AddLoaded(ALoad, ALoad.Base + AReadTotal);
  FTotalRead += AReadLast;
  if (Terminated()) Abort = true;
  // Only tried: a receiving thread never waits for another's report.
  if (!FLock.TryEnter()) return;
  const std::int64_t now = FSpeedTime.ElapsedMilliseconds();
  if (!Terminated() && now - FLastTime >= FTimings.ThrottleMs) {
    TProgressInfo info = DownloadRecord(false);
    info.State = FormatW(L"Speed: %s/s", FormatSize(SpeedOf(FTotalRead, now)).c_str());
    DoProgressQ(info);
    FLastTime = FSpeedTime.ElapsedMilliseconds();
  }
  FLock.Leave();
}

// ---- program files and trash ---------------------------------------------------

namespace {

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

bool SameAscii(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool EndsAscii(std::wstring_view text, std::wstring_view suffix) {
  return text.size() >= suffix.size() && SameAscii(text.substr(text.size() - suffix.size()), suffix);
}

// The files directly in AFolder whose names match AMask.
std::vector<std::wstring> FilesIn(const std::wstring& AFolder, const std::wstring& AMask) {
  std::vector<std::wstring> out;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((AFolder + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return out;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && MatchesMask(data.cFileName, AMask))
      out.push_back(AFolder + data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return out;
}

}  // namespace

std::wstring TUpdater::RunningExe() const { return FRunningExe.empty() ? ExeFileName() : FRunningExe; }

void TUpdater::UpdateAppFiles(const std::wstring& ASrc, const std::wstring& ADst) {
  CodeSite().SendNote(L"Checking application files for updating...");
  DoProgress(TProgressInfo(L"Checking application files...", true));
  const std::wstring src = IncludeTrailingPathDelimiter(ASrc);
  const std::wstring dst = IncludeTrailingPathDelimiter(ADst);
  const std::wstring running = RunningExe();

  // Executables set aside by earlier runs. One whose instance is still exiting cannot go yet;
  // it stays for a later run and this one goes on.
  for (const auto& old : FilesIn(dst, L"*.~old"))
    if (!DeleteFileW2(old))
      CodeSite().SendWarning(
          FormatW(L"Cannot delete \"%s\": %s", old.c_str(), SysErrorMessage(GetLastError()).c_str()));

  const std::vector<std::wstring> files = ListFilesRecursive(src);
  int count = 0;
  for (const auto& source : files) {
    try {
      std::wstring target = dst + source.substr(src.size());
      // A shell running under an older installation's name keeps that name.
      if (EndsAscii(ExtractFileName(source), L"Tarvel.exe")) {
        if (EndsAscii(running, L"Mordex.exe"))
          target = ExtractFilePath(target) + L"Mordex.exe";
        else if (EndsAscii(running, L"Kelvane.exe"))
          target = ExtractFilePath(target) + L"Kelvane.exe";
      }
      const std::wstring folder = ExtractFilePath(target);
      if (!DirectoryExists(folder) && !ForceDirectories(folder))
        RaiseLastOSError(0, FormatW(L"Cannot create \"%s\"", folder.c_str()));

      if (!FileExists(target) || FileMD5(source) != FileMD5(target)) {
        CodeSite().SendString(L"Update file", target);
        if (!ReplaceAppFile(source, target, running)) {
          CodeSite().SendWarning(FormatW(L"Program files left as they are from \"%s\": the shell is ending",
                                         target.c_str()));
          return;
        }
        ++count;
      }
      if (Terminated()) return;
    } catch (const std::exception& e) {
      CodeSite().SendException(e);
    }
  }
  CodeSite().SendFmt(L"Update application files complete. Update %d file(s)", count);
}

bool TUpdater::ReplaceAppFile(const std::wstring& ASource, const std::wstring& ATarget, const std::wstring& ARunning) {
  if (!ProgramFileSwaps().Enter()) return false;
  struct TLeave {
    ~TLeave() { ProgramFileSwaps().Leave(); }
  } leave;
  if (!SameAscii(ExpandFileName(ATarget), ExpandFileName(ARunning))) {
    CodeSite().SendWarning(FormatW(L"Copy: %s >> %s", ASource.c_str(), ATarget.c_str()));
    if (!FFileTransfer(ASource, ATarget, false)) RaiseLastOSError(0, FormatW(L"Cannot copy \"%s\"", ASource.c_str()));
    return true;
  }
  // The running executable cannot be overwritten, only renamed.
  const std::wstring aside = ChangeFileExt(ATarget, L".~old");
  CodeSite().SendNote(FormatW(L"Move: %s >> %s", ATarget.c_str(), aside.c_str()));
  if (!MoveFileExW(ATarget.c_str(), aside.c_str(), 0))
    RaiseLastOSError(0, FormatW(L"Cannot move \"%s\"", ATarget.c_str()));
  CodeSite().SendNote(FormatW(L"Move: %s >> %s", ASource.c_str(), ATarget.c_str()));
  if (!FFileTransfer(ASource, ATarget, true)) {
    const DWORD error = GetLastError();
    // The program folder must never be left without its executable.
    if (MoveFileExW(aside.c_str(), ATarget.c_str(), MOVEFILE_REPLACE_EXISTING))
      CodeSite().SendWarning(FormatW(L"Moved back: %s >> %s", aside.c_str(), ATarget.c_str()));
    else
      CodeSite().SendError(
          FormatW(L"Cannot move back \"%s\": %s", aside.c_str(), SysErrorMessage(GetLastError()).c_str()));
    RaiseLastOSError(error, FormatW(L"Cannot move \"%s\"", ASource.c_str()));
  }
  FRestartNeeded = true;
  FRestartName = ATarget;
  return true;
}

void TUpdater::RemoveTrash(TFileItemList& ARemote, bool AComplete) {
  // A partial or empty remote list must never make files look like trash.
  if (!AComplete || Terminated()) return;
  TProgressInfo listing(L"Clearing unnecessary files", false);
  listing.Stage = L"Getting the list of local files...";
  DoProgress(listing);
  FLastTime = 0;

  struct TRule {
    std::wstring Folder;  // lower case, with its trailing separator
    std::wstring Mask;
  };
  std::vector<TRule> rules;
  for (const auto& entry : FExclude) {
    const size_t slash = entry.rfind(L'\\');
    if (slash != std::wstring::npos) rules.push_back({LowerCase(entry.substr(0, slash + 1)), entry.substr(slash + 1)});
  }
  const std::wstring root = IncludeTrailingPathDelimiter(Param(L"AssetsPath"));
  const std::vector<std::wstring> files =
      ListFilesRecursive(root, [&rules](const std::wstring& folder, const std::wstring& name) {
        const std::wstring lower = LowerCase(IncludeTrailingPathDelimiter(folder));
        for (const auto& rule : rules)
          if (lower.find(rule.Folder) != std::wstring::npos && MatchesMask(name, rule.Mask)) return false;
        return true;
      });

  const int n = static_cast<int>(files.size());
  int removed = 0;
  TFileItemList deleted;
  for (int p = 0; p < n; ++p) {
    const std::wstring& file = files[p];
    const TFileItem item = TFileItem::Create(file.substr(root.size()), L"", 0);
    int index = 0;
    if (!ARemote.BinarySearch(item, index)) {
      try {
        if (!DeleteFileW2(file)) RaiseLastOSError(0, FormatW(L"Cannot delete \"%s\"", file.c_str()));
        ++removed;
        deleted.Add(item);
        if (n > 1 && FTotalTime.ElapsedMilliseconds() - FLastTime >= FTimings.ThrottleMs) {
          TProgressInfo info(L"Clearing unnecessary files", false);
          info.Stage = L"Deleting...";
          info.State = ExtractFileName(file);
          info.Percent = static_cast<std::uint8_t>(static_cast<std::int64_t>(p) * 100 / (n - 1));
          DoProgress(info);
          FLastTime = FTotalTime.ElapsedMilliseconds();
        }
      } catch (const std::exception& e) {
        CodeSite().SendException(e);
      }
    }
    if (Terminated()) break;
  }
  CodeSite().SendWarning(FormatW(L"Removed trash: %d. Files in cache folder: %d", removed, n));
  if (deleted.Count() > 0) DropFromLocalIndex(deleted);
}

void TUpdater::DropFromLocalIndex(TFileItemList& ADeleted) {
  // A removed file must not stay recorded as present: should the server list it again, the
  // stale entry would be trusted and the file never fetched.
  const std::wstring indexFile = Param(L"IndexFile");
  if (indexFile.empty() || !FileExists(indexFile)) return;
  ADeleted.Sort();
  TFileItemList local;
  try {
    ParseIndex(ReadAllBytes(indexFile), local, true);
  } catch (const std::exception& e) {
    // A broken index is hashed anew by the next run anyway.
    CodeSite().SendException(e);
    return;
  }
  int dropped = 0;
  for (int i = local.Count() - 1; i >= 0; --i) {
    int index = 0;
    if (ADeleted.BinarySearch(local[i], index)) {
      local.Delete(i);
      ++dropped;
    }
  }
  if (dropped == 0) return;
  CodeSite().Send(FormatW(L"Entries of removed files dropped from the local index: %d", dropped));
  SaveIndex(indexFile, local);
}
