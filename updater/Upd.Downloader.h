#pragma once
// One file over HTTP into "<target>.parts", resumed with a ranged GET when a shorter partial
// file is there, and moved over the target when complete.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "platform/runtime/Exceptions.h"

class THTTPClient;
class TDownloader;

TARVEL_DECLARE_EXCEPTION(EDownloadException, Exception)

// AReadLast: bytes since the previous call; AReadTotal: bytes of the current request so far;
// AContentLength: the length the response announces, -1 when none or 0.
using TDownloaderProgress = std::function<void(TDownloader* Sender, std::int64_t AReadLast, std::int64_t AReadTotal,
                                               std::int64_t AContentLength, bool& Abort)>;
// Called just before a ranged GET with the target, the bytes already present and the full length.
using TDownloaderResume = std::function<void(const std::wstring& AFileName, std::int64_t AStart, std::int64_t AEnd)>;

class TDownloader {
public:
  // The client's time-outs: downloads give up on a dead server quickly and retry.
  static constexpr int ConnectionTimeout = 5000;
  static constexpr int ResponseTimeout = 15000;

  TDownloader();
  ~TDownloader();
  TDownloader(const TDownloader&) = delete;
  TDownloader& operator=(const TDownloader&) = delete;

  const TDownloaderProgress& OnProgress() const { return FOnProgress; }
  void SetOnProgress(TDownloaderProgress value) { FOnProgress = std::move(value); }
  const TDownloaderResume& OnResume() const { return FOnResume; }
  void SetOnResume(TDownloaderResume value) { FOnResume = std::move(value); }
  // While true, every received block aborts the transfer.
  bool CancelDownload() const { return FCancelDownload; }
  void SetCancelDownload(bool value) { FCancelDownload = value; }
  THTTPClient& HTTPClient() { return *FHTTPClient; }

  // The download the updater uses: returns the file's size and MD5. With AExpectedHash given,
  // content of another MD5 never reaches the target: the partial file and the target are
  // deleted and EDownloadException is raised.
  void Download2(const std::wstring& ASrcUrl, const std::wstring& ADestFileName, std::int64_t& ASize,
                 std::wstring& AHash, const std::wstring* AExpectedHash = nullptr);
  // The plain variant: HEAD first, no size or hash returned.
  void Download(const std::wstring& ASrcUrl, const std::wstring& ADestFileName);

private:
  void DoReceiveData(std::int64_t AContentLength, std::int64_t AReadCount, bool& AAbort);
  void ResetPositions();

  TDownloaderProgress FOnProgress;
  std::unique_ptr<THTTPClient> FHTTPClient;
  bool FCancelDownload = false;
  std::int64_t FStartPosition = -1;
  std::int64_t FEndPosition = -1;
  std::int64_t FContentLength = -1;
  std::int64_t FLastReaded = 0;
  TDownloaderResume FOnResume;
};

// Moves ASource over ADest in one step (a copy and delete across drives); raises EOSError.
void ReplaceFile(const std::wstring& ASource, const std::wstring& ADest);
