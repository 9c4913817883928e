// httplib brings winsock2.h, which must come before windows.h.
#include <httplib.h>

#include "app/Http.Server.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <mutex>
#include <set>
#include <thread>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"

namespace {

// A request line and its headers together never need more than this; a client that
// sends more is cut off instead of growing the server's memory.
constexpr size_t RequestHeadLimit = 64 * 1024;
// Files up to this size are read in one go; larger ones are streamed in chunks.
constexpr std::int64_t WholeFileLimit = 256 * 1024;
constexpr size_t ChunkSize = 64 * 1024;
// Connection threads per listener: the browser opens a handful of connections at once.
constexpr size_t ConnectionThreads = 16;
constexpr size_t RequestPathLimit = 2048;

const char* const NotFoundText = "Not Found";

// One request's view of the connection. Reads end (as a failed read) once the request has
// read RequestHeadLimit bytes. Writes are gathered and go out in large pieces: the server
// writes a response's status line and each header separately, and every send costs a
// system call (and a server round trip under Wine).
class TRequestStream : public httplib::Stream {
public:
  TRequestStream(httplib::Stream& inner, size_t limit) : FInner(inner), FLeft(limit) {}
  bool is_readable() const override { return FInner.is_readable(); }
  bool is_writable() const override { return FInner.is_writable(); }
  ssize_t read(char* ptr, size_t size) override {
    if (!FOut.empty() && !Flush()) return -1;  // an interim answer the client waits for
    if (FLeft == 0) return -1;
    ssize_t n = FInner.read(ptr, std::min(size, FLeft));
    if (n > 0) FLeft -= static_cast<size_t>(n);
    return n;
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (FOut.size() + size > WriteBufferSize && !Flush()) return -1;
    FOut.append(ptr, size);
    return static_cast<ssize_t>(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { FInner.get_remote_ip_and_port(ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { FInner.get_local_ip_and_port(ip, port); }
  socket_t socket() const override { return FInner.socket(); }

  bool Flush() {
    size_t done = 0;
    while (done < FOut.size()) {
      ssize_t n = FInner.write(FOut.data() + done, FOut.size() - done);
      if (n <= 0) {
        FOut.clear();
        return false;
      }
      done += static_cast<size_t>(n);
    }
    FOut.clear();
    return true;
  }

private:
  static constexpr size_t WriteBufferSize = 64 * 1024;
  httplib::Stream& FInner;
  size_t FLeft;
  std::string FOut;
};

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
// change the files they read).
class THttpServer::TListener : public httplib::Server {
public:
  explicit TListener(const std::wstring& fullRoot) : FFullRoot(fullRoot) {
    new_task_queue = [] { return new httplib::ThreadPool(ConnectionThreads); };
    // Only this server may take the port: the system's default would let another
    // program bind it beside us on Windows.
    set_socket_options([](socket_t sock) {
      int yes = 1;
      setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<char*>(&yes), sizeof yes);
    });
    // The last piece of an answer is usually small; without this it would wait for the
    // client's delayed acknowledgement.
    set_tcp_nodelay(true);
    set_payload_max_length(RequestHeadLimit);
    set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
      if (req.method == "GET" || req.method == "HEAD") return HandlerResponse::Unhandled;
      res.status = 405;
      res.set_header("Allow", "GET, HEAD");
      res.set_content("Method Not Allowed", "text/plain");
      return HandlerResponse::Handled;
    });
    Get(R"([\s\S]*)", [this](const httplib::Request& req, httplib::Response& res) { CommandGet(req, res); });
    set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
      res.status = 500;
      res.set_content("Internal Server Error", "text/plain");
    });
    set_error_handler([](const httplib::Request&, httplib::Response& res) {
      if (res.body.empty() && !res.content_length_) res.set_content(httplib::detail::status_message(res.status), "text/plain");
    });
  }

  // Binds the address; false when it cannot be bound (port in use, no such address).
  bool Bind(const char* host, std::uint16_t port) { return bind_to_port(host, port); }

  void Start() {
    FThread = std::thread([this] { listen_after_bind(); });
    // stop() only works once the loop runs; do not hand out a listener before that.
    for (int i = 0; i < 2000 && !is_running(); ++i) Sleep(1);
  }

  void Finish() {
    stop();
    {
      std::lock_guard<std::mutex> lock(FLock);
      for (socket_t s : FConnections) httplib::detail::shutdown_socket(s);
    }
    if (FThread.joinable()) FThread.join();
  }

private:
  bool process_and_close_socket(socket_t sock) override {
    {
      std::lock_guard<std::mutex> lock(FLock);
      FConnections.insert(sock);
    }
    bool ret = httplib::detail::process_server_socket_core(
        svr_sock_, sock, keep_alive_max_count_, keep_alive_timeout_sec_,
        [&](bool close_connection, bool& connection_closed) {
          httplib::detail::SocketStream strm(sock, read_timeout_sec_, read_timeout_usec_, write_timeout_sec_,
                                             write_timeout_usec_);
          TRequestStream request(strm, RequestHeadLimit);
          bool ok = process_request(request, close_connection, connection_closed, nullptr);
          return request.Flush() && ok;
        });
    std::lock_guard<std::mutex> lock(FLock);
    FConnections.erase(sock);
    httplib::detail::shutdown_socket(sock);
    httplib::detail::close_socket(sock);
    return ret;
  }

  void CommandGet(const httplib::Request& req, httplib::Response& res) {
    std::wstring rel;
    if (!SafeRelativePath(req.path, rel)) {
      CodeSite().SendWarning(L"HTTP request refused: " + Printable(req.path));
      NotFound(res);
      return;
    }
    std::wstring file = FullPath(FFullRoot + rel);
    if (!StartsWithPath(file, FFullRoot)) {
      CodeSite().SendWarning(L"HTTP request refused: " + Printable(req.path));
      NotFound(res);
      return;
    }
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return NotFound(res);
    std::shared_ptr<void> handle(h, CloseHandle);
    LARGE_INTEGER size{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) return NotFound(res);
    // The 32-bit program cannot announce a length beyond its size_t; serving such a file
    // would hand the browser a short body under a wrong length.
    if (static_cast<std::uint64_t>(size.QuadPart) > std::numeric_limits<size_t>::max()) {
      CodeSite().SendWarning(L"HTTP request refused, file too large: " + Printable(req.path));
      return NotFound(res);
    }
    std::string type = MimeTypeOf(rel);
    if (size.QuadPart <= WholeFileLimit) {
      std::string body(static_cast<size_t>(size.QuadPart), '\0');
      DWORD got = 0;
      if (!body.empty() && (!ReadFile(h, body.data(), static_cast<DWORD>(body.size()), &got, nullptr) || got != body.size()))
        return NotFound(res);
      res.set_content(std::move(body), type.c_str());
      return;
    }
    res.set_content_provider(
        static_cast<size_t>(size.QuadPart), type,
        [handle](size_t offset, size_t length, httplib::DataSink& sink) {
          std::string buf(std::min(length, ChunkSize), '\0');
          OVERLAPPED at{};
          at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
          at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
          DWORD got = 0;
          // A file that shrank under us ends the answer; the client sees it short.
          if (!ReadFile(handle.get(), buf.data(), static_cast<DWORD>(buf.size()), &got, &at) || got == 0) return false;
          return sink.write(buf.data(), got);
        });
  }

  std::wstring FFullRoot;
  std::thread FThread;
  std::mutex FLock;
  std::set<socket_t> FConnections;
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
  auto v4 = std::make_unique<TListener>(FFullRoot);
  if (!v4->Bind("127.0.0.1", FPort))
    throw EInOutError(FormatW(L"Could not bind socket to 127.0.0.1:%d; the port is in use", static_cast<int>(FPort)));
  v4->Start();
  FListeners[0] = std::move(v4);
  // A browser may resolve localhost to ::1; a system without IPv6 simply has no such listener.
  auto v6 = std::make_unique<TListener>(FFullRoot);
  if (v6->Bind("::1", FPort)) {
    v6->Start();
    FListeners[1] = std::move(v6);
  } else {
    CodeSite().Send(FormatW(L"HTTP server: no listener on [::1]:%d", static_cast<int>(FPort)));
  }
  FActive = true;
}

void THttpServer::Deactivate() {
  FActive = false;
  for (auto& listener : FListeners) {
    if (listener) listener->Finish();
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
