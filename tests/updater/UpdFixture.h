#pragma once
// What the updater tests share: an asset server with per-file faults on a dotted loopback
// host at port 80 (an index path becomes a folder path, and a port would become a folder),
// a temporary folder, message pumping for the calls the updater makes to this thread, and
// one call that runs a whole update and collects what it reported.
#include <windows.h>
#include <atomic>
#include <functional>
#include <map>
#include "updater/Upd.Types.h"
#include "platform/runtime/Strings.h"
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include "support/HttpTestServer.h"
#include "settings/Common.Types.h"

// The updater tests' own loopback address, so they never meet another area's server.
constexpr const char* UpdHost = "127.0.0.6";

struct TServedAsset {
  std::string Body;
  int Status = 200;          // GET and HEAD
  int HeadStatus = 0;        // HEAD only, when set
  int FailFirst = 0;         // the first n requests answer FailStatus
  int FailStatus = 503;
  std::string ErrorBody = "<html>error page</html>";  // body of refused answers
  long long CutAt = -1;      // GET bodies end after this many bytes (connection closed) ...
  int CutTimes = 0;          // ... for this many GETs
  bool IgnoreRange = false;  // ranged requests get 200 and the whole body
  bool Gzip = false;
  size_t ChunkSize = 64 * 1024;
  int ChunkDelayMs = 0;      // pause before each chunk of a GET body
};

class TAssetServer {
public:
  TAssetServer();
  ~TAssetServer();
  // Server down and up again (the files and their faults stay).
  void Stop();
  void Start();

  void Set(const std::string& path, TServedAsset asset);
  void Remove(const std::string& path);
  std::wstring Url(const std::string& path) const;

  std::vector<TRecordedRequest> Requests() const;
  int Count(const std::string& method, const std::string& path) const;
  int MaxConcurrent() const { return FMaxConcurrent; }

private:
  void Handle(const httplib::Request& req, httplib::Response& res);
  std::unique_ptr<THttpTestServer> FServer;
  std::vector<TRecordedRequest> FEarlier;  // requests of servers already stopped
  mutable std::mutex FLock;
  std::map<std::string, TServedAsset> FAssets;
  std::map<std::string, int> FSeen;
  std::map<std::string, int> FCuts;
  std::atomic<int> FConcurrent{0};
  std::atomic<int> FMaxConcurrent{0};
};

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  const std::wstring& Path() const { return FPath; }  // with a trailing separator
  std::wstring operator/(const std::wstring& rel) const { return FPath + rel; }

private:
  std::wstring FPath;
};

// Dispatches this thread's messages until pred holds or the time is up; false on time-out.
bool PumpUntil(const std::function<bool()>& pred, int timeoutMs);

std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);
std::string Md5Of(const std::string& bytes);
// Deterministic content of a given length.
std::string Content(size_t length, unsigned seed);
// {"path":...,"hash":...,"size":...} for each (path, body).
std::string IndexOf(const std::vector<std::pair<std::string, std::string>>& files, const std::wstring& base);

class TUpdater;

struct TRunResult {
  bool Done = false;
  bool Cancelled = false;
  bool Restart = false;
  std::wstring RestartName;
  long long ElapsedMs = 0;
  std::vector<TProgressInfo> Records;
  int CountState(const std::wstring& state) const;
  int CountTitle(const std::wstring& title) const;
};

// Configures one updater for a folder and runs it to its end on a thread, pumping this
// thread's messages meanwhile. Shortened time constants unless realTimings. stopWhen, when
// given, is asked after each progress record; when it answers true the run is told to stop.
struct TRunOptions {
  std::vector<std::wstring> Params;
  bool BinOnly = false;
  std::uint8_t Stages = 0;
  bool RealRetryDelay = false;
  std::function<bool(const TProgressInfo&)> StopWhen;
  std::function<bool()> StopIf;  // asked on every pump pass; true tells the run to stop
  std::vector<std::wstring> Exclude;
  std::wstring RunningExe;  // empty: the test program itself
  int ThrottleMs = -1;      // below 0 keeps the production value
  int TimeoutMs = 60000;
  long long MaxIndexBytes = 0;  // 0 keeps the production cap
  std::function<void(TUpdater&)> Setup;  // called last before the run starts
};
TRunResult RunUpdater(const TRunOptions& options);

// The loaded and total sizes of a record whose stage is "Size: <loaded> / <total>", in bytes
// as exact as the size texts are; false for other records.
bool StageSizes(const TProgressInfo& info, double& loaded, double& total);

// A published asset set: the server serves each file and an index of them at /index.json;
// the updater works in a temporary folder with assets\ and bin\ below it.
struct TSite {
  TAssetServer Server;
  TTempFolder Dir;
  std::vector<std::pair<std::string, std::string>> Files;  // server path (after "/"), body

  std::wstring Assets() const { return Dir / L"assets\\"; }
  std::wstring IndexFile() const { return Dir / L"localfiles.idx"; }
  std::wstring Local(const std::string& path) const {
    std::wstring rel = Utf8ToWide(path);
    for (auto& c : rel)
      if (c == L'/') c = L'\\';
    return Assets() + rel;
  }
  std::string Body(const std::string& path) const {
    for (const auto& f : Files)
      if (f.first == path) return f.second;
    return "";
  }
  // Serves every file and an index of them at /index.json.
  void Publish(const std::map<std::string, std::function<void(TServedAsset&)>>& faults = {}) {
    for (const auto& f : Files) {
      TServedAsset a;
      a.Body = f.second;
      auto it = faults.find(f.first);
      if (it != faults.end()) it->second(a);
      Server.Set("/" + f.first, a);
    }
    TServedAsset index;
    index.Body = IndexOf(Files, Server.Url("/"));
    auto it = faults.find("index.json");
    if (it != faults.end()) it->second(index);
    Server.Set("/index.json", index);
  }
  TRunOptions Options(const std::string& workers = "5") const {
    TRunOptions o;
    o.Params = {L"UpdateUrl=" + Server.Url("/index.json"), L"GetWebUrl=" + Server.Url("/geturl.php"),
                L"IndexFile=" + IndexFile(), L"AssetsPath=" + Assets(), L"AppBinSrc=resources\\app\\shell\\",
                L"AppBinDst=" + Dir / L"bin\\", L"WorkerMax=" + Utf8ToWide(workers)};
    return o;
  }
  bool Installed(const std::string& path) const { return ReadFileBytes(Local(path)) == Body(path); }
  // The local index as (AsPath, hash) pairs.
  std::map<std::wstring, std::wstring> LocalIndex() const {
    TFileItemList list;
    ReadIndexJson(ReadFileBytes(IndexFile()), list);
    std::map<std::wstring, std::wstring> out;
    for (const auto& item : list) out[item.AsPath] = item.Hash;
    return out;
  }
  int FileRequests() const {
    int n = 0;
    for (const auto& r : Server.Requests()) n += r.Path.rfind("/files/", 0) == 0;
    return n;
  }
  std::vector<std::string> Ranges(const std::string& path) const {
    std::vector<std::string> out;
    for (const auto& r : Server.Requests())
      if (r.Method == "GET" && r.Path == path) out.push_back(r.Header("Range"));
    return out;
  }
};


// Switches the process-wide logger on into a file of its own for one test; the logger's
// earlier state comes back at the end.
class TLogCapture {
public:
  TLogCapture();
  ~TLogCapture();
  std::string Text() const;  // the log so far, UTF-8
  bool Has(const std::string& part) const { return Text().find(part) != std::string::npos; }
  int CountOf(const std::string& part) const;

private:
  TTempFolder FDir;
  bool FWasEnabled;
  std::wstring FWasFile;
};

// Opens a file so that it cannot be deleted, renamed or moved (no delete sharing) until reset.
class TFileLock {
public:
  explicit TFileLock(const std::wstring& path);
  ~TFileLock() { Release(); }
  bool Held() const { return FHandle != INVALID_HANDLE_VALUE; }
  void Release();

private:
  HANDLE FHandle = INVALID_HANDLE_VALUE;
};
