#include "HttpTestServer.h"
#include <zlib.h>
#include <chrono>
#include <stdexcept>

namespace {
thread_local socket_t t_socket = INVALID_SOCKET;

std::string EscapeRegex(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}
}  // namespace

// httplib hides the connection's socket from handlers; the fault routes need it, so the
// server records it per connection thread.
class THttpTestServer::TServer : public httplib::Server {
  bool process_and_close_socket(socket_t sock) override {
    t_socket = sock;
    bool ret = httplib::detail::process_server_socket(
        svr_sock_, sock, keep_alive_max_count_, keep_alive_timeout_sec_, read_timeout_sec_, read_timeout_usec_,
        write_timeout_sec_, write_timeout_usec_,
        [this](httplib::Stream& strm, bool close_connection, bool& connection_closed) {
          return process_request(strm, close_connection, connection_closed, nullptr);
        });
    httplib::detail::shutdown_socket(sock);
    httplib::detail::close_socket(sock);
    t_socket = INVALID_SOCKET;
    return ret;
  }
};

std::string TRecordedRequest::Header(const std::string& name) const {
  auto it = Headers.find(name);
  return it == Headers.end() ? std::string() : it->second;
}

THttpTestServer::THttpTestServer(std::string host, int port) : FServer(std::make_unique<TServer>()), FHost(std::move(host)) {
  // One request per connection ("Connection: close"): an idle kept-alive connection would
  // hold the server's stop for httplib's whole keep-alive time (shutting the socket down
  // does not wake its wait under Wine).
  FServer->set_keep_alive_max_count(1);
  FServer->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
    std::lock_guard<std::mutex> lock(FLock);
    FRequests.push_back({req.method, req.path, req.headers});
    return httplib::Server::HandlerResponse::Unhandled;
  });
  if (port == 0) {
    FPort = FServer->bind_to_any_port(FHost);
    if (FPort <= 0) throw std::runtime_error("test server: cannot bind " + FHost);
  } else {
    if (!FServer->bind_to_port(FHost, port)) throw std::runtime_error("test server: cannot bind " + FHost + ":" + std::to_string(port));
    FPort = port;
  }
  FThread = std::thread([this] { FServer->listen_after_bind(); });
  for (int i = 0; i < 500 && !FServer->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

THttpTestServer::~THttpTestServer() {
  FServer->stop();
  if (FThread.joinable()) FThread.join();
}

std::wstring THttpTestServer::Url(const std::string& path) const {
  std::string url = "http://" + FHost + (FPort == 80 ? std::string() : ":" + std::to_string(FPort)) + path;
  return std::wstring(url.begin(), url.end());
}

void THttpTestServer::Get(const std::string& pattern, httplib::Server::Handler handler) {
  FServer->Get(pattern, std::move(handler));
}

void THttpTestServer::Serve(const std::string& path, std::string body, std::string contentType, int status) {
  Get(EscapeRegex(path), [body = std::move(body), contentType = std::move(contentType), status](
                             const httplib::Request& req, httplib::Response& res) {
    res.status = status;
    if (status == 200 && req.ranges.size() == 1) {
      AnswerRange(req, res, body, contentType);
      return;
    }
    res.set_content(body, contentType.c_str());
  });
}

// A single byte range as RFC 7233 has it: a last position at or past the end means the end.
// httplib 0.11 answers such a range with a Content-Range past the end, so the answer is made
// here and httplib's own range handling is switched off for this request (the request object
// is httplib's own non-const local, handed to handlers as const).
void THttpTestServer::AnswerRange(const httplib::Request& req, httplib::Response& res, const std::string& body,
                                  const std::string& contentType) {
  auto range = req.ranges[0];
  const_cast<httplib::Request&>(req).ranges.clear();
  long long size = static_cast<long long>(body.size()), first = range.first, last = range.second;
  if (first < 0) {  // suffix: the last n bytes
    first = std::max(0LL, size - last);
    last = size - 1;
  } else if (last < 0 || last >= size) {
    last = size - 1;
  }
  if (first >= size || last < first) {
    res.status = 416;
    res.set_header("Content-Range", "bytes */" + std::to_string(size));
    return;
  }
  res.status = 206;
  res.set_header("Content-Range",
                 "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" + std::to_string(size));
  res.set_content(body.substr(static_cast<size_t>(first), static_cast<size_t>(last - first + 1)), contentType.c_str());
}

void THttpTestServer::ServeGzip(const std::string& path, const std::string& text, std::string contentType) {
  Get(EscapeRegex(path), [body = Gzip(text), contentType = std::move(contentType)](const httplib::Request&,
                                                                                   httplib::Response& res) {
    res.set_header("Content-Encoding", "gzip");
    res.set_content(body, contentType.c_str());
  });
}

void THttpTestServer::ServeDelayed(const std::string& path, std::string body, int delayMs) {
  Get(EscapeRegex(path), [body = std::move(body), delayMs](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    res.set_content(body, "application/octet-stream");
  });
}

void THttpTestServer::ServeSlowBody(const std::string& path, std::string body, size_t chunkSize, int delayMs) {
  auto shared = std::make_shared<std::string>(std::move(body));
  Get(EscapeRegex(path), [shared, chunkSize, delayMs](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(shared->size(), "application/octet-stream",
                             [shared, chunkSize, delayMs](size_t offset, size_t length, httplib::DataSink& sink) {
                               std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                               size_t n = std::min(length, chunkSize);
                               return sink.write(shared->data() + offset, n);
                             });
  });
}

void THttpTestServer::ServeShortBody(const std::string& path, std::string body, size_t announced) {
  std::string raw = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                    std::to_string(announced) + "\r\n\r\n" + body;
  ServeRaw(path, std::move(raw));
}

void THttpTestServer::ServeDropped(const std::string& path) { ServeRaw(path, std::string()); }

void THttpTestServer::ServeRaw(const std::string& path, std::string bytes) {
  Get(EscapeRegex(path), [bytes = std::move(bytes)](const httplib::Request&, httplib::Response&) {
    SendRawAndClose(bytes);
  });
}

void THttpTestServer::SendRawAndClose(const std::string& bytes) {
  socket_t sock = t_socket;
  if (sock == INVALID_SOCKET) return;
  size_t off = 0;
  while (off < bytes.size()) {
    int n = ::send(sock, bytes.data() + off, static_cast<int>(bytes.size() - off), 0);
    if (n <= 0) break;
    off += static_cast<size_t>(n);
  }
  // httplib's own answer that follows fails on the closed socket and ends the connection.
  ::shutdown(sock, SD_BOTH);
}

std::vector<TRecordedRequest> THttpTestServer::Requests() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FRequests;
}

size_t THttpTestServer::RequestCount(const std::string& path) const {
  std::lock_guard<std::mutex> lock(FLock);
  size_t n = 0;
  for (auto& r : FRequests) n += r.Path == path;
  return n;
}

void THttpTestServer::ClearRequests() {
  std::lock_guard<std::mutex> lock(FLock);
  FRequests.clear();
}

std::string THttpTestServer::Gzip(std::string_view bytes) {
  z_stream zs{};
  deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, static_cast<uLong>(bytes.size())) + 32, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zs.avail_in = static_cast<uInt>(bytes.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}
