#include "UpdFixture.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <chrono>
#include <thread>
#include "platform/runtime/Logger.h"
#include "platform/runtime/Md5.h"
#include "platform/runtime/Strings.h"
#include "platform/runtime/Threads.h"
#include "updater/Upd.Core.h"

// ---- asset server ----------------------------------------------------------

TAssetServer::TAssetServer() { Start(); }

TAssetServer::~TAssetServer() { Stop(); }

void TAssetServer::Stop() {
  if (!FServer) return;
  auto requests = FServer->Requests();
  FEarlier.insert(FEarlier.end(), requests.begin(), requests.end());
  FServer.reset();
}

void TAssetServer::Start() {
  if (FServer) return;
  FServer = std::make_unique<THttpTestServer>(UpdHost, 80);
  FServer->Get(".*", [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); });
}

void TAssetServer::Set(const std::string& path, TServedAsset asset) {
  std::lock_guard<std::mutex> lock(FLock);
  FAssets[path] = std::move(asset);
}

void TAssetServer::Remove(const std::string& path) {
  std::lock_guard<std::mutex> lock(FLock);
  FAssets.erase(path);
}

std::wstring TAssetServer::Url(const std::string& path) const {
  return L"http://" + Utf8ToWide(UpdHost) + Utf8ToWide(path);
}

std::vector<TRecordedRequest> TAssetServer::Requests() const {
  std::vector<TRecordedRequest> all = FEarlier;
  if (FServer) {
    auto now = FServer->Requests();
    all.insert(all.end(), now.begin(), now.end());
  }
  return all;
}

int TAssetServer::Count(const std::string& method, const std::string& path) const {
  int n = 0;
  for (const auto& r : Requests()) n += r.Method == method && r.Path == path;
  return n;
}

void TAssetServer::Handle(const httplib::Request& req, httplib::Response& res) {
  TServedAsset asset;
  int seen = 0;
  bool cut = false;
  {
    std::lock_guard<std::mutex> lock(FLock);
    auto it = FAssets.find(req.path);
    if (it == FAssets.end()) {
      res.status = 404;
      res.set_content("not here", "text/plain");
      return;
    }
    asset = it->second;
    seen = ++FSeen[req.path];
    if (req.method == "GET" && asset.CutAt >= 0 && FCuts[req.path] < asset.CutTimes) {
      ++FCuts[req.path];
      cut = true;
    }
  }
  const bool head = req.method == "HEAD";
  // httplib's own range handling stays out of the way: the answer is made here.
  auto ranges = req.ranges;
  const_cast<httplib::Request&>(req).ranges.clear();

  if (seen <= asset.FailFirst) {
    res.status = asset.FailStatus;
    res.set_content(asset.ErrorBody, "text/plain");
    return;
  }
  const int status = head && asset.HeadStatus ? asset.HeadStatus : asset.Status;
  if (status < 200 || status > 299) {
    res.status = status;
    res.set_content(asset.ErrorBody, "text/html");
    return;
  }

  std::string body = asset.Gzip ? THttpTestServer::Gzip(asset.Body) : asset.Body;
  res.status = 200;
  if (asset.Gzip) res.set_header("Content-Encoding", "gzip");
  if (!head && ranges.size() == 1 && !asset.IgnoreRange) {
    long long size = static_cast<long long>(body.size()), first = ranges[0].first, last = ranges[0].second;
    if (last < 0 || last >= size) last = size - 1;
    if (first < 0 || first >= size || last < first) {
      res.status = 416;
      res.set_header("Content-Range", "bytes */" + std::to_string(size));
      return;
    }
    res.status = 206;
    res.set_header("Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                                        std::to_string(size));
    body = body.substr(static_cast<size_t>(first), static_cast<size_t>(last - first + 1));
  }

  if (head || body.empty()) {
    // httplib announces no length for an empty provider: an empty body goes out as it is.
    res.set_content(body, "application/octet-stream");
    return;
  }
  const int now = ++FConcurrent;
  for (int max = FMaxConcurrent; now > max && !FMaxConcurrent.compare_exchange_weak(max, now);) {
  }
  if (cut) {
    // The headers announce the whole body; part of it follows and the connection closes.
    std::string raw = "HTTP/1.1 " + std::to_string(res.status) + " OK\r\nContent-Type: application/octet-stream\r\n";
    for (const auto& h : res.headers) raw += h.first + ": " + h.second + "\r\n";
    raw += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    raw += body.substr(0, static_cast<size_t>(std::min<long long>(asset.CutAt, body.size())));
    if (asset.ChunkDelayMs) std::this_thread::sleep_for(std::chrono::milliseconds(asset.ChunkDelayMs));
    THttpTestServer::SendRawAndClose(raw);
    --FConcurrent;
    return;
  }
  auto shared = std::make_shared<std::string>(std::move(body));
  const size_t chunk = asset.ChunkSize ? asset.ChunkSize : 65536;
  const int delay = asset.ChunkDelayMs;
  res.set_content_provider(
      shared->size(), "application/octet-stream",
      [shared, chunk, delay](size_t offset, size_t length, httplib::DataSink& sink) {
        if (delay) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        return sink.write(shared->data() + offset, std::min(length, chunk));
      },
      [this](bool) { --FConcurrent; });
}

// ---- files and folders -----------------------------------------------------

TTempFolder::TTempFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  static std::atomic<int> counter{0};
  FPath = std::wstring(temp) + L"tarvel-upd-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter) + L"\\";
  CreateDirectoryW(FPath.c_str(), nullptr);
}

TTempFolder::~TTempFolder() {
  std::wstring from = FPath.substr(0, FPath.size() - 1);
  from.push_back(L'\0');
  from.push_back(L'\0');
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

bool PumpUntil(const std::function<bool()>& pred, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string out;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  CloseHandle(h);
  return out;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  for (size_t p = path.find(L'\\', 3); p != std::wstring::npos; p = path.find(L'\\', p + 1))
    CreateDirectoryW(path.substr(0, p).c_str(), nullptr);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD put = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(h);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Md5Of(const std::string& bytes) { return WideToUtf8(MD5Hex(bytes)); }

std::string Content(size_t length, unsigned seed) {
  std::string s(length, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (auto& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return s;
}

std::string IndexOf(const std::vector<std::pair<std::string, std::string>>& files, const std::wstring& base) {
  std::string out = "[";
  for (const auto& f : files) {
    if (out.size() > 1) out += ",";
    out += "{\"path\":\"" + WideToUtf8(base) + f.first + "\",\"hash\":\"" + Md5Of(f.second) + "\",\"size\":\"" +
           std::to_string(f.second.size()) + "\"}";
  }
  return out + "]";
}

// ---- running an update -----------------------------------------------------

int TRunResult::CountState(const std::wstring& state) const {
  int n = 0;
  for (const auto& r : Records) n += r.State == state;
  return n;
}

int TRunResult::CountTitle(const std::wstring& title) const {
  int n = 0;
  for (const auto& r : Records) n += r.Title == title;
  return n;
}

TRunResult RunUpdater(const TRunOptions& options) {
  InitMainThreadDispatcher();
  // Queued records may still arrive after this call has returned: what they touch is shared.
  struct TState {
    TRunResult Result;
    std::function<bool(const TProgressInfo&)> StopWhen;
    TUpdater* Updater = nullptr;
  };
  auto state = std::make_shared<TState>();
  state->StopWhen = options.StopWhen;
  auto updater = std::make_unique<TUpdater>(true);
  state->Updater = updater.get();
  for (const auto& p : options.Params) updater->Params().Add(p);
  updater->Ignored() = {L"*.htaccess-orig", L"*.htaccess"};
  updater->Exclude() = options.Exclude;
  updater->SetRunningExe(options.RunningExe);
  updater->SetBinOnly(options.BinOnly);
  updater->SetStages(options.Stages);
  if (!options.RealRetryDelay) updater->Timings().RetryDelayMs = 200;
  updater->Timings().ConnectionWaitMs = 150;
  if (options.ThrottleMs >= 0) updater->Timings().ThrottleMs = options.ThrottleMs;
  if (options.MaxIndexBytes > 0) updater->Timings().MaxIndexBytes = options.MaxIndexBytes;
  updater->SetOnProgress([state](const TProgressInfo& info) {
    state->Result.Records.push_back(info);
    if (state->Updater && state->StopWhen && state->StopWhen(info)) state->Updater->Terminate();
  });
  updater->SetOnDone([state](bool cancelled, bool restart, const std::wstring& name) {
    state->Result.RestartName = name;
    state->Result.Done = true;
    state->Result.Cancelled = cancelled;
    state->Result.Restart = restart;
  });
  if (options.Setup) options.Setup(*updater);
  TUpdater* raw = updater.get();
  const auto start = std::chrono::steady_clock::now();
  updater->Start();
  const bool ended = PumpUntil(
      [&] {
        if (options.StopIf && options.StopIf()) raw->Terminate();
        return raw->Finished();
      },
      options.TimeoutMs);
  state->Result.ElapsedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(ended) << "the update did not end in time";
  if (!ended) {
    raw->Terminate();
    PumpUntil([&] { return raw->Finished(); }, 30000);
  }
  updater->WaitFor();
  state->Updater = nullptr;
  updater.reset();
  PumpUntil([] { return false; }, 50);
  return state->Result;
}

bool StageSizes(const TProgressInfo& info, double& loaded, double& total) {
  if (info.Stage.rfind(L"Size: ", 0) != 0) return false;
  const size_t slash = info.Stage.find(L" / ");
  if (slash == std::wstring::npos) return false;
  auto bytes = [](std::wstring text) {
    for (auto& c : text)
      if (c == L',') c = L'.';  // the user's decimal separator
    wchar_t* end = nullptr;
    double value = wcstod(text.c_str(), &end);
    const std::wstring unit = Trim(end);
    const wchar_t* units[] = {L"B", L"kB", L"MB", L"GB"};
    for (const wchar_t* u : units) {
      if (unit == u) return value;
      value *= 1024;
    }
    return -1.0;
  };
  loaded = bytes(info.Stage.substr(6, slash - 6));
  total = bytes(info.Stage.substr(slash + 3));
  return loaded >= 0 && total >= 0;
}

// ---- log and locks -----------------------------------------------------------

TLogCapture::TLogCapture() : FWasEnabled(CodeSite().Enabled()), FWasFile(CodeSite().FileName()) {
  CodeSite().SetFileName(FDir / L"test.log");
  CodeSite().SetEnabled(true);
}

TLogCapture::~TLogCapture() {
  CodeSite().SetEnabled(FWasEnabled);
  CodeSite().SetFileName(FWasFile);
}

std::string TLogCapture::Text() const {
  const std::string text = ReadFileBytes(FDir / L"test.log");
  return text == "<missing>" ? std::string() : text;
}

int TLogCapture::CountOf(const std::string& part) const {
  const std::string text = Text();
  int n = 0;
  for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + part.size())) ++n;
  return n;
}

TFileLock::TFileLock(const std::wstring& path) {
  FHandle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

void TFileLock::Release() {
  if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
  FHandle = INVALID_HANDLE_VALUE;
}
