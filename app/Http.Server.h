#pragma once
// The local HTTP file server: serves the asset folder to the browser program on this
// terminal while the cache setting is on. It listens on the loopback addresses only
// (127.0.0.1, and ::1 where the system has IPv6), answers GET and HEAD with the file
// the request path names below its root, and puts a permissive cross-domain policy
// file into the root when there is none.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// What the shell passes: the root relative to the working directory, and the port.
inline constexpr wchar_t HttpServerRoot[] = L".\\assets\\";
inline constexpr std::uint16_t HttpServerPort = 8854;

class THttpServer {
public:
  ~THttpServer();
  THttpServer(const THttpServer&) = delete;
  THttpServer& operator=(const THttpServer&) = delete;

  // The process-wide instance exists and listens.
  static bool IsRun();
  // Starts serving ARoot on APort unless the server runs already. Failures (no root
  // folder, port in use) are logged and leave the server stopped; the next call tries again.
  static void StartServer(const std::wstring& ARoot, std::uint16_t APort);
  // Ends the listening and every open connection; the instance stays for the next start.
  static void StopServer();

  // The bytes of crossdomain.xml as the server writes it.
  static std::string CrossDomainPolicy();
  // The content type for a file name, by its extension; "application/octet-stream" when unknown.
  static std::string MimeTypeOf(std::wstring_view fileName);
  // The request path (decoded once, UTF-8) as a relative Windows path below the root, or
  // false when it may not be served: no leading "/", empty, "." or ".." segments,
  // backslashes, colons, control and wildcard characters, names ending in a dot or a
  // blank, device names, invalid UTF-8.
  static bool SafeRelativePath(std::string_view requestPath, std::wstring& relative);

  // How long a start waits for a listener to accept connections before it gives up, and a
  // pause before each listener begins (none in production); seams for tests.
  static inline std::uint32_t ListenerStartWaitMs = 2000;
  static inline std::uint32_t ListenerStartDelayMs = 0;

private:
  THttpServer();
  void Activate();
  void Deactivate();

  class TListener;
  std::wstring FHttpRoot;
  std::wstring FFullRoot;  // FHttpRoot resolved at start, with its trailing backslash
  std::uint16_t FPort = HttpServerPort;
  bool FActive = false;
  std::unique_ptr<TListener> FListeners[2];  // 127.0.0.1 and ::1
};
