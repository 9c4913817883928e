#pragma once
// What the updater tests share: an asset server with per-file faults on a dotted loopback
// host at port 80 (an index path becomes a folder path, and a port would become a folder),
// a temporary folder, message pumping for the calls the updater makes to this thread, and
// one call that runs a whole update and collects what it reported.
#include <windows.h>
#include <atomic>
#include <functional>
#include <map>
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

struct TRunResult {
  bool Done = false;
  bool Cancelled = false;
  bool Restart = false;
  long long ElapsedMs = 0;
  std::vector<TProgressInfo> Records;
  int CountState(const std::wstring& state) const;
  int CountTitle(const std::wstring& title) const;
};

class TUpdater;

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
  int TimeoutMs = 60000;
  long long MaxIndexBytes = 0;  // 0 keeps the production cap
};
TRunResult RunUpdater(const TRunOptions& options);
