#pragma once
// A loopback HTTP server running inside the test process (cpp-httplib), with the faults
// the network code must survive: gzip bodies, status codes, slow answers, stalled bodies,
// bodies shorter than their Content-Length, connections dropped without an answer, and
// raw bytes of any kind. Every request is logged (method, path, headers) before it is routed.
#include <httplib.h>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct TRecordedRequest {
  std::string Method;
  std::string Path;
  httplib::Headers Headers;
  bool HasHeader(const std::string& name) const { return Headers.find(name) != Headers.end(); }
  std::string Header(const std::string& name) const;
};

class THttpTestServer {
public:
  // Port 0 takes any free port. Raises std::runtime_error when the address cannot be bound.
  explicit THttpTestServer(std::string host = "127.0.0.1", int port = 0);
  ~THttpTestServer();
  THttpTestServer(const THttpTestServer&) = delete;
  THttpTestServer& operator=(const THttpTestServer&) = delete;

  const std::string& Host() const { return FHost; }
  int Port() const { return FPort; }
  // "http://host[:port]" followed by path; the port is left out when it is 80.
  std::wstring Url(const std::string& path) const;

  // Any route: pattern is a regular expression over the path; GET routes answer HEAD too
  // (without the body, with the same headers).
  void Get(const std::string& pattern, httplib::Server::Handler handler);

  // Literal paths with ready-made answers. Ranges in requests are honoured (206) for Serve.
  void Serve(const std::string& path, std::string body, std::string contentType = "application/octet-stream",
             int status = 200);
  void ServeGzip(const std::string& path, const std::string& text, std::string contentType = "text/plain");
  void ServeDelayed(const std::string& path, std::string body, int delayMs);
  // The body goes out in chunks with a pause before each one (Content-Length is announced).
  void ServeSlowBody(const std::string& path, std::string body, size_t chunkSize, int delayMs);
  // Headers announce `announced` bytes, only `body` follows, then the connection is closed.
  void ServeShortBody(const std::string& path, std::string body, size_t announced);
  // The connection is closed without any answer.
  void ServeDropped(const std::string& path);
  // Exactly these bytes go out on the connection, then it is closed.
  void ServeRaw(const std::string& path, std::string bytes);

  std::vector<TRecordedRequest> Requests() const;
  size_t RequestCount(const std::string& path) const;
  void ClearRequests();

  static std::string Gzip(std::string_view bytes);
  // Inside a handler: writes bytes straight to the client and closes the connection.
  static void SendRawAndClose(const std::string& bytes);

private:
  static void AnswerRange(const httplib::Request& req, httplib::Response& res, const std::string& body,
                          const std::string& contentType);
  class TServer;
  std::unique_ptr<TServer> FServer;
  std::thread FThread;
  std::string FHost;
  int FPort = 0;
  mutable std::mutex FLock;
  std::vector<TRecordedRequest> FRequests;
};
