#include "updater/Upd.Downloader.h"

#include <windows.h>
#include "platform/runtime/Files.h"
#include "platform/runtime/HttpClient.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Streams.h"
#include "platform/runtime/Strings.h"
#include "settings/Common.Utils.h"

void ReplaceFile(const std::wstring& ASource, const std::wstring& ADest) {
  // One call: a failed move leaves the old target in place instead of no file at all.
  if (!MoveFileExW(ASource.c_str(), ADest.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
    RaiseLastOSError(0, FormatW(L"Cannot move \"%s\" to \"%s\"", ASource.c_str(), ADest.c_str()));
}

TDownloader::TDownloader() : FHTTPClient(std::make_unique<THTTPClient>()) {
  FHTTPClient->SetConnectionTimeout(ConnectionTimeout);
  FHTTPClient->SetResponseTimeout(ResponseTimeout);
  FHTTPClient->OnReceiveData = [this](std::int64_t length, std::int64_t count, bool& abort) {
    DoReceiveData(length, count, abort);
  };
}

TDownloader::~TDownloader() = default;

void TDownloader::ResetPositions() {
  FStartPosition = -1;
  FEndPosition = -1;
  FContentLength = -1;
}

void TDownloader::DoReceiveData(std::int64_t AContentLength, std::int64_t AReadCount, bool& AAbort) {
  AAbort = FCancelDownload;
  if (FOnProgress) FOnProgress(this, AReadCount - FLastReaded, AReadCount, AContentLength, AAbort);
  FLastReaded = AReadCount;
}

namespace {

bool IsSuccess(int status) { return status >= 200 && status <= 299; }

std::wstring StatusText(const THTTPResponse& r, const std::wstring& url, bool comma = false) {
  return FormatW(comma ? L"%d: %s, \"%s\"" : L"%d: %s \"%s\"", r.StatusCode(), r.StatusText().c_str(), url.c_str());
}

std::unique_ptr<TFileStream> OpenPartial(const std::wstring& partial) {
  if (FileExists(partial)) {
    auto file = std::make_unique<TFileStream>(partial, fmOpenReadWrite | fmShareDenyNone);
    file->Seek(0, TSeekOrigin::soEnd);
    return file;
  }
  return std::make_unique<TFileStream>(partial, fmCreate | fmShareDenyNone);
}

void DeleteQuietly(const std::wstring& path) {
  if (FileExists(path) && !DeleteFileW2(path))
    CodeSite().SendError(FormatW(L"Cannot delete \"%s\": %s", path.c_str(), SysErrorMessage(GetLastError()).c_str()));
}

}  // namespace

void TDownloader::Download2(const std::wstring& ASrcUrl, const std::wstring& ADestFileName, std::int64_t& ASize,
                            std::wstring& AHash, const std::wstring* AExpectedHash) {
  AHash.clear();
  ASize = 0;
  ResetPositions();
  const std::wstring folder = ExtractFilePath(ADestFileName);
  if (!folder.empty() && !DirectoryExists(folder) && !ForceDirectories(folder))
    RaiseLastOSError(0, FormatW(L"Cannot create the folder \"%s\"", folder.c_str()));

  const std::wstring partial = ADestFileName + L".parts";
  auto file = OpenPartial(partial);

  THTTPResponse head = FHTTPClient->Head(ASrcUrl);
  if (!IsSuccess(head.StatusCode())) throw EDownloadException(StatusText(head, ASrcUrl));

  FStartPosition = file->Size();
  FEndPosition = head.ContentLength();
  FLastReaded = 0;

  THTTPResponse get;
  std::int64_t before = 0;
  if (FStartPosition > 0 && FStartPosition < FEndPosition) {
    CodeSite().Send(FormatW(L"RANGE %s [ %lld : %lld ]", ASrcUrl.c_str(), FStartPosition, FEndPosition));
    if (FOnResume) FOnResume(ADestFileName, FStartPosition, FEndPosition);
    before = FStartPosition;
    file->Seek(0, TSeekOrigin::soEnd);
    get = FHTTPClient->Get(ASrcUrl, file.get(),
                           {{L"Range", FormatW(L"bytes=%lld-%lld", FStartPosition, FEndPosition)}});
  } else {
    CodeSite().Send(FormatW(L"GET %s [ %lld ]", ASrcUrl.c_str(), FEndPosition));
    // A partial file as long as the whole, or of a file of unknown length, cannot be resumed.
    if (FStartPosition > 0) file->SetSize(0);
    file->SetPosition(0);
    get = FHTTPClient->Get(ASrcUrl, file.get());
  }

  if (!IsSuccess(get.StatusCode())) {
    // An error page is no part of the file.
    file->SetSize(before);
    throw EDownloadException(StatusText(get, ASrcUrl));
  }

  const std::int64_t size = file->Size();
  if ((FEndPosition > 0 && size != FEndPosition) || (FEndPosition <= 0 && get.Aborted())) {
    // Cut short by the abort flag, or a whole file appended to a partial one: unusable.
    file.reset();
    DeleteQuietly(partial);
    throw EDownloadException(FormatW(L"Invalid content length %lld, \"%s\"", get.ContentLength(), ASrcUrl.c_str()));
  }

  file->SetPosition(0);
  const std::wstring hash = StreamMD5(*file);
  file.reset();
  // Hexadecimal digests: the index may write them in upper case.
  if (AExpectedHash && !SameText(hash, *AExpectedHash)) {
    // A stale partial prefix or damaged content: neither the parts nor the target may stay
    // to be taken for the published file.
    DeleteQuietly(partial);
    DeleteQuietly(ADestFileName);
    throw EDownloadException(FormatW(L"MD5 mismatch %s, expected %s, \"%s\"", hash.c_str(), AExpectedHash->c_str(),
                                     ASrcUrl.c_str()));
  }
  ReplaceFile(partial, ADestFileName);
  ASize = size;
  AHash = hash;
}

void TDownloader::Download(const std::wstring& ASrcUrl, const std::wstring& ADestFileName) {
  FCancelDownload = false;
  ResetPositions();
  THTTPResponse head = FHTTPClient->Head(ASrcUrl);
  if (!IsSuccess(head.StatusCode())) throw EDownloadException(StatusText(head, ASrcUrl));
  FContentLength = head.ContentLength();
  FEndPosition = FContentLength;

  const std::wstring folder = ExtractFilePath(ADestFileName);
  if (!folder.empty() && !DirectoryExists(folder) && !ForceDirectories(folder))
    RaiseLastOSError(0, FormatW(L"Cannot create the folder \"%s\"", folder.c_str()));
  const std::wstring partial = ADestFileName + L".parts";
  auto file = OpenPartial(partial);
  FStartPosition = file->Size();
  FLastReaded = 0;

  THTTPResponse get;
  std::int64_t before = 0;
  if (FStartPosition > 0 && FStartPosition < FEndPosition) {
    if (FOnResume) FOnResume(ADestFileName, FStartPosition, FEndPosition);
    before = FStartPosition;
    get = FHTTPClient->Get(ASrcUrl, file.get(),
                           {{L"Range", FormatW(L"bytes=%lld-%lld", FStartPosition, FEndPosition)}});
  } else {
    if (FStartPosition > 0) file->SetSize(0);
    file->SetPosition(0);
    get = FHTTPClient->Get(ASrcUrl, file.get());
  }
  if (!IsSuccess(get.StatusCode())) {
    file->SetSize(before);
    throw EDownloadException(StatusText(get, ASrcUrl, true));
  }
  const std::int64_t size = file->Size();
  file.reset();
  if (size <= 0 || size != FEndPosition) {
    DeleteQuietly(partial);
    throw EDownloadException(FormatW(L"Invalid content length %lld, \"%s\"", get.ContentLength(), ASrcUrl.c_str()));
  }
  ReplaceFile(partial, ADestFileName);
}
