// httplib brings winsock2.h, which must come before windows.h.
#include <httplib.h>

#include "app/Http.Server.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"

namespace {

// A request line and its headers together never need more than this; a client that
// sends more is cut off instead of growing the server's memory.
constexpr size_t RequestHeadLimit = 64 * 1024;
// A request must arrive whole within this time of its first byte, and a kept-alive
// connection may wait this long for its next request: a client that trickles its bytes
// cannot hold a connection thread for longer.
constexpr DWORD RequestTimeMs = 5000;
constexpr time_t KeepAliveIdleSec = 5;
// Requests one connection may carry before it is closed. The library's default of five
// makes a busy client reconnect all the time, and a new connection costs far more than a
// request (under Wine, a dozen server round trips and a lingering close).
constexpr size_t KeepAliveRequests = 1000;
// After the last answer on a connection, what the client still sends is read and dropped
// for up to this long, so that closing does not reset the connection under that answer.
constexpr DWORD LingerMs = 1000;
constexpr size_t LingerLimit = 256 * 1024;
// Answers up to this size are read in one go; larger ones are streamed in chunks. Every
// read and every send costs a server round trip under Wine: the chunks are large.
constexpr std::int64_t WholeFileLimit = 256 * 1024;
constexpr size_t ChunkSize = 1024 * 1024;
// Connection threads per listener: the browser opens a handful of connections at once.
constexpr size_t ConnectionThreads = 16;
constexpr size_t RequestPathLimit = 2048;
// A stop waits this long for the listener and its connection threads; after that it
// gives up on them rather than hang the UI thread.
constexpr DWORD ListenerStopLimitMs = 10000;
// When connections wait for a thread, a connection that has waited this long for its
// request without sending it whole is closed to make room (see ShedWaitingConnections).
constexpr ULONGLONG ShedGraceMs = 500;

const char* const NotFoundText = "Not Found";

ULONGLONG Now() { return GetTickCount64(); }

// Waits until the socket has something to read (or is closed), at most the given time.
bool WaitReadable(socket_t sock, ULONGLONG ms) {
  return httplib::detail::select_read(sock, static_cast<time_t>(ms / 1000), static_cast<time_t>((ms % 1000) * 1000)) > 0;
}

// When the connection a thread runs was accepted.
thread_local ULONGLONG AcceptedAt = 0;

// The connection threads of one listener. While connections wait for a thread, the pool
// asks its owner, on each new connection and on each idle tick of the accept loop, to
// make room for them (see TListener::ShedWaitingConnections).
class TConnectionPool : public httplib::TaskQueue {
public:
  TConnectionPool(size_t threads, std::function<void(size_t)> onSaturated) : FOnSaturated(std::move(onSaturated)) {
    for (size_t i = 0; i < threads; ++i) FThreads.emplace_back([this] { Work(); });
  }
  void enqueue(std::function<void()> fn) override {
    {
      std::lock_guard<std::mutex> lock(FLock);
      FJobs.push_back({std::move(fn), Now()});
    }
    FWake.notify_one();
    on_idle();
  }
  void on_idle() override {
    size_t waiting;
    {
      std::lock_guard<std::mutex> lock(FLock);
      waiting = FJobs.size() > FIdle ? FJobs.size() - FIdle : 0;
    }
    if (waiting) FOnSaturated(waiting);
  }
  void shutdown() override {
    {
      std::lock_guard<std::mutex> lock(FLock);
      FShutdown = true;
    }
    FWake.notify_all();
    for (auto& t : FThreads) t.join();
  }

private:
  void Work() {
    for (;;) {
      TJob job;
      {
        std::unique_lock<std::mutex> lock(FLock);
        ++FIdle;
        FWake.wait(lock, [this] { return !FJobs.empty() || FShutdown; });
        --FIdle;
        if (FJobs.empty()) return;  // shut down with nothing left to do
        job = std::move(FJobs.front());
        FJobs.pop_front();
      }
      AcceptedAt = job.Queued;
      try {
        job.Run();
      } catch (...) {
        // A connection's failure ends that connection only.
      }
    }
  }

  struct TJob {
    std::function<void()> Run;
    ULONGLONG Queued = 0;
  };
  std::function<void(size_t)> FOnSaturated;
  std::vector<std::thread> FThreads;
  std::deque<TJob> FJobs;
  size_t FIdle = 0;
  bool FShutdown = false;
  std::mutex FLock;
  std::condition_variable FWake;
};

// What a connection is doing, for the choice of which one to give up.
struct TConnection {
  socket_t Sock;
  ULONGLONG Since = 0;   // when it began to wait for its current request
  bool Blocked = false;  // waiting for the client's bytes right now
  bool Shed = false;     // given up to make room; its socket is shut down
};

// One connection's stream over all of its requests. Bytes that arrive behind a request
// (a pipelined request) stay buffered for the next one. Reads of a request end (as a
// failed read) once it has read RequestHeadLimit bytes or its time is up. Writes are
// gathered and go out in large pieces: the server writes a response's status line and
// each header separately, and every send costs a system call (and a server round trip
// under Wine).
class TConnectionStream : public httplib::Stream {
public:
  // wait: waits at most the given time for the client's bytes; false on none or when the
  // connection must end. receive: a receive that waits (at most the idle time) for the
  // first bytes of a request; 0 or less when none came or the connection must end.
  TConnectionStream(socket_t sock, std::function<bool(ULONGLONG)> wait, std::function<ssize_t(char*, size_t)> receive)
      : FSock(sock), FWait(std::move(wait)), FReceive(std::move(receive)) {}

  // Waits until the next request begins and takes its first bytes; false when none came
  // within the connection's idle time or the client closed. The wait is the receive
  // itself, bounded by the socket's receive timeout (the idle time): a separate readiness
  // wait costs several server round trips under Wine, on every request.
  bool WaitForRequest() {
    if (FBegin < FEnd) return true;
    ssize_t n = FReceive(FIn, sizeof FIn);
    if (n <= 0) return false;
    FBegin = 0;
    FEnd = static_cast<size_t>(n);
    return true;
  }
  void BeginRequest() {
    FLeft = RequestHeadLimit;
    FDeadline = Now() + RequestTimeMs;
  }

  bool is_readable() const override { return FBegin < FEnd || FWait(TimeLeft()); }
  bool is_writable() const override {
    return httplib::detail::select_write(FSock, CPPHTTPLIB_WRITE_TIMEOUT_SECOND, 0) > 0;
  }
  ssize_t read(char* ptr, size_t size) override {
    if (!FOut.empty() && !Flush()) return -1;  // an interim answer the client waits for
    if (FLeft == 0) return -1;
    if (FBegin == FEnd) {
      ULONGLONG left = TimeLeft();
      if (left == 0 || !FWait(left)) return -1;
      ssize_t n = httplib::detail::read_socket(FSock, FIn, sizeof FIn, 0);
      if (n <= 0) return -1;
      FBegin = 0;
      FEnd = static_cast<size_t>(n);
    }
    size_t n = std::min({size, FEnd - FBegin, FLeft});
    std::memcpy(ptr, FIn + FBegin, n);
    FBegin += n;
    FLeft -= n;
    return static_cast<ssize_t>(n);
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (FOut.size() + size > WriteBufferSize && !Flush()) return -1;
    // A large piece (a chunk of a file) goes out as it is, not through the buffer.
    if (size >= WriteBufferSize) return SendAll(ptr, size) ? static_cast<ssize_t>(size) : -1;
    FOut.append(ptr, size);
    return static_cast<ssize_t>(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    httplib::detail::get_remote_ip_and_port(FSock, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    httplib::detail::get_local_ip_and_port(FSock, ip, port);
  }
  socket_t socket() const override { return FSock; }

  bool Flush() {
    const bool sent = SendAll(FOut.data(), FOut.size());
    FOut.clear();
    return sent;
  }

private:
  bool SendAll(const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
      ssize_t n = httplib::detail::send_socket(FSock, data + done, size - done, 0);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  ULONGLONG TimeLeft() const {
    ULONGLONG now = Now();
    return now < FDeadline ? FDeadline - now : 0;
  }

  static constexpr size_t WriteBufferSize = 64 * 1024;
  socket_t FSock;
  std::function<bool(ULONGLONG)> FWait;
  std::function<ssize_t(char*, size_t)> FReceive;
  char FIn[16 * 1024];
  size_t FBegin = 0, FEnd = 0;
  size_t FLeft = 0;
  ULONGLONG FDeadline = 0;
  std::string FOut;
};

// The byte range a request asks for, resolved against the file's size.
struct TByteRange {
  enum { Whole, Part, Unsatisfiable } Kind = Whole;
  std::uint64_t First = 0, Last = 0;
};

// Digits to a number, saturating instead of wrapping; false when there are none or
// anything else is there.
bool RangeNumber(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    unsigned d = static_cast<unsigned>(c - '0');
    value = value > (UINT64_MAX - d) / 10 ? UINT64_MAX : value * 10 + d;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A Range header that is malformed, names another unit or asks for several ranges is
// ignored (the whole file is the answer), as HTTP allows. One range that starts at or
// after the end, or a suffix of length 0, cannot be satisfied.
TByteRange ResolveRange(std::string_view header, std::uint64_t size) {
  TByteRange r;
  header = TrimBlanks(header);
  if (size == 0 || header.size() < 6 || _strnicmp(header.data(), "bytes=", 6) != 0) return r;
  std::string_view rangeSet = TrimBlanks(header.substr(6));
  size_t dash = rangeSet.find('-');
  if (dash == std::string_view::npos || rangeSet.find(',') != std::string_view::npos) return r;
  std::string_view first = TrimBlanks(rangeSet.substr(0, dash)), last = TrimBlanks(rangeSet.substr(dash + 1));
  std::uint64_t a = 0, b = 0;
  if (first.empty()) {
    if (!RangeNumber(last, b)) return r;
    if (b == 0) {
      r.Kind = TByteRange::Unsatisfiable;
      return r;
    }
    r.Kind = TByteRange::Part;
    r.First = size - std::min(b, size);
    r.Last = size - 1;
    return r;
  }
  if (!RangeNumber(first, a)) return r;
  if (last.empty()) {
    b = UINT64_MAX;
  } else if (!RangeNumber(last, b) || b < a) {
    return r;
  }
  if (a >= size) {
    r.Kind = TByteRange::Unsatisfiable;
    return r;
  }
  r.Kind = TByteRange::Part;
  r.First = a;
  r.Last = std::min(b, size - 1);
  return r;
}

struct TMime {
  const wchar_t* Ext;
  const char* Type;
};

const TMime MimeTable[] = {
    {L".html", "text/html"},
    {L".htm", "text/html"},
    {L".css", "text/css"},
    {L".js", "application/javascript"},
    {L".mjs", "application/javascript"},
    {L".json", "application/json"},
    {L".map", "application/json"},
    {L".xml", "text/xml"},
    {L".txt", "text/plain"},
    {L".csv", "text/csv"},
    {L".png", "image/png"},
    {L".jpg", "image/jpeg"},
    {L".jpeg", "image/jpeg"},
    {L".gif", "image/gif"},
    {L".bmp", "image/bmp"},
    {L".ico", "image/x-icon"},
    {L".svg", "image/svg+xml"},
    {L".webp", "image/webp"},
    {L".woff", "font/woff"},
    {L".woff2", "font/woff2"},
    {L".ttf", "font/ttf"},
    {L".otf", "font/otf"},
    {L".eot", "application/vnd.ms-fontobject"},
    {L".mp3", "audio/mpeg"},
    {L".ogg", "audio/ogg"},
    {L".wav", "audio/wav"},
    {L".mp4", "video/mp4"},
    {L".webm", "video/webm"},
    {L".swf", "application/x-shockwave-flash"},
    {L".wasm", "application/wasm"},
    {L".pdf", "application/pdf"},
    {L".zip", "application/zip"},
};

bool IsDeviceName(std::wstring_view segment) {
  // Windows opens a device for these names whatever extension follows.
  std::wstring base(segment.substr(0, segment.find(L'.')));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  base = UpperCase(base);
  static const wchar_t* const names[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
  for (const wchar_t* n : names)
    if (base == n) return true;
  if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0)) {
    wchar_t d = base[3];
    if ((d >= L'0' && d <= L'9') || d == L'\x00B9' || d == L'\x00B2' || d == L'\x00B3') return true;
  }
  return false;
}

bool Utf8Strict(std::string_view text, std::wstring& out) {
  out.clear();
  if (text.empty()) return true;
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), out.data(), n);
  return true;
}

std::wstring FullPath(const std::wstring& path) {
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return {};
  std::wstring out(n, L'\0');
  n = GetFullPathNameW(path.c_str(), n, out.data(), nullptr);
  out.resize(n);
  return out;
}

bool StartsWithPath(const std::wstring& full, const std::wstring& root) {
  return full.size() > root.size() &&
         CompareStringOrdinal(full.data(), static_cast<int>(root.size()), root.data(), static_cast<int>(root.size()),
                              TRUE) == CSTR_EQUAL;
}

// The path the system resolved for an open file or folder, links and junctions followed;
// empty when it cannot tell.
std::wstring FinalPath(HANDLE h) {
  std::wstring out(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < out.size()) {
      out.resize(n);
      return out;
    }
    out.resize(n + 1);
  }
}

// For the log: the path with anything unprintable replaced, and cut short.
std::wstring Printable(std::string_view path) {
  std::wstring out;
  for (char c : path.substr(0, 200)) out += (c >= 0x20 && c < 0x7F) ? static_cast<wchar_t>(c) : L'?';
  return out;
}

void NotFound(httplib::Response& res) {
  res.status = 404;
  res.set_content(NotFoundText, "text/plain");
}

std::unique_ptr<THttpServer>& Instance() {
  static std::unique_ptr<THttpServer> instance;
  return instance;
}

}  // namespace

// One listening socket with its connection threads. Every connection is tracked, so that
// a stop ends the downloads in flight too (the update that stops the server is about to
// change the files they read), and so that a connection that only waits can be given up
// when a new one finds no free thread.
class THttpServer::TListener : public httplib::Server {
public:
  TListener(const std::wstring& fullRoot, const std::wstring& finalRoot) : FFullRoot(fullRoot), FFinalRoot(finalRoot) {
    new_task_queue = [this] { return new TConnectionPool(ConnectionThreads, [this](size_t n) { ShedWaitingConnections(n); }); };
    set_keep_alive_timeout(KeepAliveIdleSec);
    // The socket's receive timeout bounds the wait for a kept-alive connection's next
    // request (TConnectionStream::WaitForRequest).
    set_read_timeout(KeepAliveIdleSec, 0);
    set_keep_alive_max_count(KeepAliveRequests);
    set_payload_max_length(RequestHeadLimit);
    set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
      return MethodAllowed(req, res) ? HandlerResponse::Unhandled : HandlerResponse::Handled;
    });
    Get(R"([\s\S]*)", [this](const httplib::Request& req, httplib::Response& res) { CommandGet(req, res); });
    set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
      res.status = 500;
      res.set_content("Internal Server Error", "text/plain");
    });
    set_error_handler([this](const httplib::Request& req, httplib::Response& res) {
      // The library refuses a Range header it cannot parse before any handler runs; such
      // a header is ignored instead and the request answered as if it had none.
      if (res.status == 416 && !res.has_header("Content-Range")) {
        res = httplib::Response();
        if (MethodAllowed(req, res)) CommandGet(req, res);
      }
      if (res.body.empty() && !res.content_length_ && res.status >= 400)
        res.set_content(httplib::detail::status_message(res.status), "text/plain");
    });
    FStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    FEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }

  ~TListener() override {
    CloseListeningSocket();
    if (FThread.joinable()) FThread.join();
    CloseHandle(FStarted);
    CloseHandle(FEnded);
  }

  // Binds the address and listens with the system's largest backlog, so that a burst of
  // connections waits for its turn instead of being refused; false when it cannot be
  // bound (port in use, no such address).
  bool Bind(const char* host, std::uint16_t port) {
    socket_t sock = httplib::detail::create_socket(
        host, std::string(), port, AF_UNSPEC, 0, true,
        [](socket_t s) {
          // Only this server may take the port: the system's default would let another
          // program bind it beside us on Windows.
          int yes = 1;
          setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<char*>(&yes), sizeof yes);
        },
        [](socket_t s, addrinfo& ai) {
          return ::bind(s, ai.ai_addr, static_cast<int>(ai.ai_addrlen)) == 0 && ::listen(s, SOMAXCONN) == 0;
        });
    if (sock == INVALID_SOCKET) return false;
    svr_sock_ = sock;
    return true;
  }

  // Starts the accept loop and waits (at most ListenerStartWaitMs) until it runs; on
  // false the caller finishes the listener.
  bool Start() {
    FThread = std::thread([this] {
      if (THttpServer::ListenerStartDelayMs) Sleep(THttpServer::ListenerStartDelayMs);
      // The loop sets its running flag as it begins; the flag is what a start waits for.
      try {
        if (svr_sock_ != INVALID_SOCKET) {
          SetEvent(FStarted);
          listen_after_bind();
        }
      } catch (...) {
      }
      SetEvent(FEnded);
    });
    HANDLE both[2] = {FStarted, FEnded};
    DWORD waited = WaitForMultipleObjects(2, both, FALSE, THttpServer::ListenerStartWaitMs);
    // The event comes just before the loop sets its flag; the flag itself follows at once.
    for (int i = 0; waited == WAIT_OBJECT_0 && !is_running() && i < 1000; ++i) {
      if (WaitForSingleObject(FEnded, 1) == WAIT_OBJECT_0) break;
    }
    return waited == WAIT_OBJECT_0 && is_running();
  }

  // Ends the listening and every connection and waits for the threads, at most
  // ListenerStopLimitMs. False when they did not end in that time: the listener must then
  // be left alone (never freed), since its threads still use it.
  bool Finish() {
    CloseListeningSocket();
    {
      std::lock_guard<std::mutex> lock(FLock);
      FStopping = true;
      for (TConnection* c : FConnections) httplib::detail::shutdown_socket(c->Sock);
    }
    if (!FThread.joinable()) return true;
    if (WaitForSingleObject(FEnded, ListenerStopLimitMs) != WAIT_OBJECT_0) {
      CodeSite().SendError(L"HTTP server: a listener did not end; it is left behind");
      FThread.detach();
      return false;
    }
    FThread.join();
    return true;
  }

private:
  void CloseListeningSocket() {
    socket_t sock = svr_sock_.exchange(INVALID_SOCKET);
    if (sock != INVALID_SOCKET) {
      httplib::detail::shutdown_socket(sock);
      httplib::detail::close_socket(sock);
    }
  }

  static bool MethodAllowed(const httplib::Request& req, httplib::Response& res) {
    if (req.method == "GET" || req.method == "HEAD") return true;
    res.status = 405;
    res.set_header("Allow", "GET, HEAD");
    res.set_content("Method Not Allowed", "text/plain");
    return false;
  }

  // Connections wait for a thread: up to that many of the connections that have waited
  // longest for a request they do not send (idle kept-alive ones, or ones whose clients
  // trickle their requests) are closed, so that their threads take the waiting ones. A
  // connection gets ShedGraceMs first, and one that is answering is never chosen.
  void ShedWaitingConnections(size_t count) {
    std::lock_guard<std::mutex> lock(FLock);
    ULONGLONG now = Now();
    std::vector<TConnection*> idle;
    for (TConnection* c : FConnections)
      if (c->Blocked && !c->Shed && c->Since + ShedGraceMs <= now) idle.push_back(c);
    count = std::min(count, idle.size());
    std::partial_sort(idle.begin(), idle.begin() + static_cast<std::ptrdiff_t>(count), idle.end(),
                      [](const TConnection* a, const TConnection* b) { return a->Since < b->Since; });
    for (size_t i = 0; i < count; ++i) {
      idle[i]->Shed = true;
      httplib::detail::shutdown_socket(idle[i]->Sock);
    }
  }

  // The connection's wait for its client's bytes, during which it may be shed. Bytes that
  // are there already are taken without a wait, so a request that has arrived whole is
  // never shed.
  bool WaitForData(TConnection& c, ULONGLONG ms) {
    if (WaitReadable(c.Sock, 0)) return true;
    {
      std::lock_guard<std::mutex> lock(FLock);
      if (c.Shed) return false;
      c.Blocked = true;
    }
    bool ready = WaitReadable(c.Sock, ms);
    std::lock_guard<std::mutex> lock(FLock);
    c.Blocked = false;
    return ready && !c.Shed;
  }

  // The blocking receive of a request's first bytes, during which the connection may be
  // shed (the shutdown ends the receive). Bytes that are there already are taken without
  // the connection counting as waiting, so a request that has arrived is never shed.
  ssize_t ReceiveRequestStart(TConnection& c, char* buf, size_t size) {
    if (WaitReadable(c.Sock, 0)) return httplib::detail::read_socket(c.Sock, buf, size, 0);
    {
      std::lock_guard<std::mutex> lock(FLock);
      if (c.Shed) return -1;
      c.Blocked = true;
    }
    ssize_t n = httplib::detail::read_socket(c.Sock, buf, size, 0);
    std::lock_guard<std::mutex> lock(FLock);
    c.Blocked = false;
    return c.Shed ? -1 : n;
  }

  bool process_and_close_socket(socket_t sock) override {
    TConnection conn{sock};
    conn.Since = AcceptedAt;
    std::list<TConnection*>::iterator entry;
    {
      std::lock_guard<std::mutex> lock(FLock);
      if (FStopping) {
        httplib::detail::close_socket(sock);
        return false;
      }
      entry = FConnections.insert(FConnections.end(), &conn);
    }
    TConnectionStream strm(
        sock, [&](ULONGLONG ms) { return WaitForData(conn, ms); },
        [&](char* buf, size_t size) { return ReceiveRequestStart(conn, buf, size); });
    bool ret = false, linger = false;
    // Every complete request on the connection is answered in turn; the last one the
    // connection may carry is answered with "Connection: close".
    for (size_t count = keep_alive_max_count_; count > 0 && svr_sock_ != INVALID_SOCKET; --count) {
      if (count != keep_alive_max_count_) {
        std::lock_guard<std::mutex> lock(FLock);
        conn.Since = Now();
      }
      if (!strm.WaitForRequest()) break;
      strm.BeginRequest();
      bool closed = false;
      ret = process_request(strm, count == 1, closed, nullptr);
      ret = strm.Flush() && ret;
      if (!ret) break;
      if (closed || count == 1) {
        linger = true;
        break;
      }
    }
    if (linger) {
      shutdown(sock, SD_SEND);
      {
        std::lock_guard<std::mutex> lock(FLock);
        conn.Since = Now();
      }
      char sink[4096];
      size_t dropped = 0;
      for (ULONGLONG until = Now() + LingerMs; dropped < LingerLimit;) {
        ULONGLONG now = Now();
        if (now >= until || !WaitForData(conn, until - now)) break;
        ssize_t n = httplib::detail::read_socket(sock, sink, sizeof sink, 0);
        if (n <= 0) break;
        dropped += static_cast<size_t>(n);
      }
    }
    std::lock_guard<std::mutex> lock(FLock);
    FConnections.erase(entry);
    httplib::detail::shutdown_socket(sock);
    httplib::detail::close_socket(sock);
    return ret;
  }

  void CommandGet(const httplib::Request& req, httplib::Response& res) {
    // Ranges are answered here; the library would apply its own reading of them again.
    const_cast<httplib::Request&>(req).ranges.clear();
    std::wstring rel;
    if (!SafeRelativePath(req.path, rel)) {
      CodeSite().SendWarning(L"HTTP request refused: " + Printable(req.path));
      return NotFound(res);
    }
    std::wstring file = FullPath(FFullRoot + rel);
    if (!StartsWithPath(file, FFullRoot)) {
      CodeSite().SendWarning(L"HTTP request refused: " + Printable(req.path));
      return NotFound(res);
    }
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return NotFound(res);
    std::shared_ptr<void> handle(h, CloseHandle);
    // A link or junction below the root may lead anywhere; what counts is where the
    // opened file really is.
    if (!StartsWithPath(FinalPath(h), FFinalRoot)) {
      CodeSite().SendWarning(L"HTTP request refused, the file lies outside the root: " + Printable(req.path));
      return NotFound(res);
    }
    LARGE_INTEGER size{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) return NotFound(res);
    // The 32-bit program cannot announce a length beyond its size_t; serving such a file
    // would hand the browser a short body under a wrong length.
    if (static_cast<std::uint64_t>(size.QuadPart) > std::numeric_limits<size_t>::max()) {
      CodeSite().SendWarning(L"HTTP request refused, file too large: " + Printable(req.path));
      return NotFound(res);
    }
    std::uint64_t fileSize = static_cast<std::uint64_t>(size.QuadPart);
    std::string type = MimeTypeOf(rel);
    TByteRange range;
    if (req.has_header("Range")) range = ResolveRange(req.get_header_value("Range"), fileSize);
    if (range.Kind == TByteRange::Unsatisfiable) {
      res.status = 416;
      res.set_header("Content-Range", "bytes */" + std::to_string(fileSize));
      res.set_content("Range Not Satisfiable", "text/plain");
      return;
    }
    std::uint64_t first = 0, length = fileSize;
    res.status = 200;
    if (range.Kind == TByteRange::Part) {
      first = range.First;
      length = range.Last - range.First + 1;
      res.status = 206;
      res.set_header("Content-Range", "bytes " + std::to_string(range.First) + "-" + std::to_string(range.Last) + "/" +
                                          std::to_string(fileSize));
    }
    if (length <= static_cast<std::uint64_t>(WholeFileLimit)) {
      std::string body(static_cast<size_t>(length), '\0');
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(first & 0xFFFFFFFFu);
      at.OffsetHigh = static_cast<DWORD>(first >> 32);
      DWORD got = 0;
      if (!body.empty() && (!ReadFile(h, body.data(), static_cast<DWORD>(body.size()), &got, &at) || got != body.size()))
        return NotFound(res);
      res.set_content(std::move(body), type.c_str());
      return;
    }
    // One buffer for all chunks of the answer, allocated as the first is read.
    auto chunk = std::make_shared<std::string>();
    res.set_content_provider(
        static_cast<size_t>(length), type,
        [handle, first, chunk](size_t offset, size_t length, httplib::DataSink& sink) {
          std::string& buf = *chunk;
          buf.resize(std::min(length, ChunkSize));
          std::uint64_t at64 = first + offset;
          OVERLAPPED at{};
          at.Offset = static_cast<DWORD>(at64 & 0xFFFFFFFFu);
          at.OffsetHigh = static_cast<DWORD>(at64 >> 32);
          DWORD got = 0;
          // A file that shrank under us ends the answer; the client sees it short.
          if (!ReadFile(handle.get(), buf.data(), static_cast<DWORD>(buf.size()), &got, &at) || got == 0) return false;
          return sink.write(buf.data(), got);
        });
  }

  std::wstring FFullRoot;
  std::wstring FFinalRoot;  // the root as the system resolves it, with its trailing backslash
  std::thread FThread;
  HANDLE FStarted = nullptr, FEnded = nullptr;
  std::mutex FLock;
  bool FStopping = false;
  std::list<TConnection*> FConnections;
};

// ---- THttpServer -------------------------------------------------------------------

THttpServer::THttpServer() = default;

THttpServer::~THttpServer() { Deactivate(); }

bool THttpServer::IsRun() { return Instance() && Instance()->FActive; }

void THttpServer::StartServer(const std::wstring& ARoot, std::uint16_t APort) {
  if (IsRun()) return;
  try {
    CodeSite().SendNote(FormatW(L"Try starting HTTP server on port %d...", static_cast<int>(APort)));
    std::wstring policy = IncludeTrailingPathDelimiter(ARoot) + L"crossdomain.xml";
    if (!FileExists(policy)) WriteAllBytes(policy, CrossDomainPolicy());
    if (!Instance()) Instance().reset(new THttpServer());
    Instance()->FHttpRoot = ARoot;
    Instance()->FPort = APort;
    Instance()->Activate();
    CodeSite().SendNote(FormatW(L"HTTP server started on port %d", static_cast<int>(APort)));
  } catch (const std::exception& e) {
    CodeSite().SendException(e);
  }
}

void THttpServer::StopServer() {
  if (!Instance()) return;
  Instance()->Deactivate();
  CodeSite().SendNote(L"HTTP server stopped");
}

void THttpServer::Activate() {
  if (!DirectoryExists(FHttpRoot)) throw EInOutError(L"The HTTP server's root folder " + FHttpRoot + L" does not exist");
  FFullRoot = IncludeTrailingPathDelimiter(FullPath(FHttpRoot));
  HANDLE root = CreateFileW(FFullRoot.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  std::wstring finalRoot;
  if (root != INVALID_HANDLE_VALUE) {
    finalRoot = FinalPath(root);
    CloseHandle(root);
  }
  if (finalRoot.empty()) throw EInOutError(L"The HTTP server's root folder " + FHttpRoot + L" cannot be resolved");
  finalRoot = IncludeTrailingPathDelimiter(finalRoot);

  auto v4 = std::make_unique<TListener>(FFullRoot, finalRoot);
  if (!v4->Bind("127.0.0.1", FPort))
    throw EInOutError(FormatW(L"Could not bind socket to 127.0.0.1:%d; the port is in use", static_cast<int>(FPort)));
  if (!v4->Start()) {
    if (!v4->Finish()) v4.release();  // its thread still runs: left behind, never freed
    throw EInOutError(FormatW(L"The HTTP server's listener on 127.0.0.1:%d did not start", static_cast<int>(FPort)));
  }
  FListeners[0] = std::move(v4);
  // A browser may resolve localhost to ::1; a system without IPv6 simply has no such listener.
  auto v6 = std::make_unique<TListener>(FFullRoot, finalRoot);
  if (v6->Bind("::1", FPort) && v6->Start()) {
    FListeners[1] = std::move(v6);
  } else {
    if (!v6->Finish()) v6.release();
    CodeSite().Send(FormatW(L"HTTP server: no listener on [::1]:%d", static_cast<int>(FPort)));
  }
  FActive = true;
}

void THttpServer::Deactivate() {
  FActive = false;
  for (auto& listener : FListeners) {
    // A listener whose threads did not end is left behind rather than freed under them.
    if (listener && !listener->Finish()) listener.release();
    listener.reset();
  }
}

std::string THttpServer::CrossDomainPolicy() {
  // Lines end in LF CR, and the last one in nothing: peers compare the file as it always was.
  static const char* const lines[] = {
      "<?xml version=\"1.0\"?>",
      "<!DOCTYPE cross-domain-policy SYSTEM \"http://www.adobe.com/xml/dtds/cross-domain-policy.dtd\">",
      "<cross-domain-policy>",
      "<site-control permitted-cross-domain-policies=\"all\"/>",
      "<allow-access-from to-ports=\"*\" domain=\"*\"/>",
      "</cross-domain-policy>"};
  std::string out;
  for (size_t i = 0; i < std::size(lines); ++i) {
    if (i) out += "\n\r";
    out += lines[i];
  }
  return out;
}

std::string THttpServer::MimeTypeOf(std::wstring_view fileName) {
  std::wstring ext = ExtractFileExt(fileName);
  for (const TMime& m : MimeTable)
    if (SameText(ext, m.Ext)) return m.Type;
  return "application/octet-stream";
}

bool THttpServer::SafeRelativePath(std::string_view requestPath, std::wstring& relative) {
  relative.clear();
  if (requestPath.size() < 2 || requestPath.size() > RequestPathLimit || requestPath[0] != '/') return false;
  std::wstring path;
  if (!Utf8Strict(requestPath.substr(1), path)) return false;
  std::wstring out;
  size_t start = 0;
  for (;;) {
    size_t slash = path.find(L'/', start);
    std::wstring_view segment = std::wstring_view(path).substr(start, slash == std::wstring::npos ? std::wstring::npos
                                                                                                 : slash - start);
    if (segment.empty()) return false;
    for (wchar_t c : segment)
      if (c < 0x20 || c == 0x7F || std::wcschr(L"\\:*?\"<>|", c)) return false;
    // Windows drops trailing dots and blanks, which turns ".." and "a.png." into other names.
    if (segment.back() == L'.' || segment.back() == L' ') return false;
    if (IsDeviceName(segment)) return false;
    if (!out.empty()) out += L'\\';
    out += segment;
    if (slash == std::wstring::npos) break;
    start = slash + 1;
  }
  relative = std::move(out);
  return true;
}
