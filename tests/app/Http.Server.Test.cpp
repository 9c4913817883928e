// The local file server, spoken to over raw sockets: a client library that normalises
// paths would hide exactly the requests that must be refused.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/Http.Server.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"

namespace {

struct TWinsock {
  TWinsock() {
    WSADATA d;
    WSAStartup(MAKEWORD(2, 2), &d);
  }
} Winsock;

class THttpServerFolder {
public:
  THttpServerFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    FPath = IncludeTrailingPathDelimiter(temp) + L"tarvel-http-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L"\\";
    ForceDirectories(FPath + L"assets\\");
  }
  ~THttpServerFolder() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(FPath), ec);
  }
  std::wstring Path() const { return FPath; }
  std::wstring Root() const { return FPath + L"assets\\"; }
  void Put(const std::wstring& relative, const std::string& bytes) const {
    ForceDirectories(ExtractFilePath(FPath + relative));
    WriteAllBytes(FPath + relative, bytes);
  }

private:
  std::wstring FPath;
};

int FreePort() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  closesocket(s);
  return ntohs(a.sin_port);
}

SOCKET Connect(int port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<u_short>(port));
  DWORD timeout = 15000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&timeout), sizeof timeout);
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

struct TAnswer {
  bool Connected = false;
  int Status = 0;  // 0: no status line came back
  std::string Head;
  std::string Body;
  std::string Header(const std::string& name) const {
    std::string low = Head, key = "\r\n" + name + ":";
    for (auto& c : low) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (auto& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    size_t at = low.find(key);
    if (at == std::string::npos) return {};
    size_t start = Head.find_first_not_of(' ', at + key.size());
    return Head.substr(start, Head.find("\r\n", start) - start);
  }
};

// Sends the bytes as they are and reads one answer (to its Content-Length, or to the
// end of the connection).
TAnswer Raw(int port, const std::string& request, bool head = false) {
  TAnswer a;
  SOCKET s = Connect(port);
  if (s == INVALID_SOCKET) return a;
  a.Connected = true;
  for (size_t sent = 0; sent < request.size();) {
    int n = send(s, request.data() + sent, static_cast<int>(std::min<size_t>(request.size() - sent, 65536)), 0);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  std::string data;
  char buf[65536];
  size_t headEnd = std::string::npos;
  long long length = -1;
  for (;;) {
    if (headEnd != std::string::npos) {
      size_t have = data.size() - headEnd - 4;
      if (head || (length >= 0 && have >= static_cast<size_t>(length))) break;
    }
    int n = recv(s, buf, sizeof buf, 0);
    if (n <= 0) break;
    data.append(buf, static_cast<size_t>(n));
    if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
      a.Head = data.substr(0, headEnd);
      std::string cl = a.Header("Content-Length");
      if (!cl.empty()) length = std::stoll(cl);
    }
  }
  closesocket(s);
  if (data.compare(0, 9, "HTTP/1.1 ") == 0) a.Status = std::atoi(data.c_str() + 9);
  if (headEnd != std::string::npos) a.Body = data.substr(headEnd + 4);
  return a;
}

// Parses the answers that arrived on one connection, in order; HEAD answers carry no body.
std::vector<TAnswer> SplitAnswers(const std::string& data, const std::vector<std::string>& methods) {
  std::vector<TAnswer> out;
  size_t at = 0;
  while (out.size() < methods.size() && data.compare(at, 9, "HTTP/1.1 ") == 0) {
    size_t headEnd = data.find("\r\n\r\n", at);
    if (headEnd == std::string::npos) break;
    TAnswer a;
    a.Connected = true;
    a.Status = std::atoi(data.c_str() + at + 9);
    a.Head = data.substr(at, headEnd - at);
    size_t length = 0;
    if (methods[out.size()] != "HEAD" && !a.Header("Content-Length").empty())
      length = static_cast<size_t>(std::stoull(a.Header("Content-Length")));
    if (data.size() < headEnd + 4 + length) break;
    a.Body = data.substr(headEnd + 4, length);
    out.push_back(a);
    at = headEnd + 4 + length;
  }
  return out;
}

TAnswer Get(int port, const std::string& target, const std::string& method = "GET") {
  return Raw(port, method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n",
             method == "HEAD");
}

std::string Utf8Path(const std::wstring& path, bool slashes) {
  std::string out = WideToUtf8(path);
  if (slashes)
    for (auto& c : out)
      if (c == '\\') c = '/';
  return out;
}

class HttpServerTest : public ::testing::Test {
protected:
  void SetUp() override {
    FPort = FreePort();
    F.Put(L"assets\\index.html", "<html>hello</html>");
    F.Put(L"assets\\img\\a.png", std::string("\x89PNG\r\n\x1A\n\0\0body", 15));
    F.Put(L"assets\\css\\site.css", "body{}");
    F.Put(L"assets\\data.bin42", "raw");
    F.Put(L"secret.txt", Sentinel);
  }
  void TearDown() override {
    THttpServer::StopServer();
    THttpServer::ListenerStartWaitMs = 2000;
    THttpServer::ListenerStartDelayMs = 0;
  }
  void Start() {
    THttpServer::StartServer(F.Root(), static_cast<std::uint16_t>(FPort));
    ASSERT_TRUE(THttpServer::IsRun());
  }

  const std::string Sentinel = "SENTINEL-outside-the-root";
  THttpServerFolder F;
  int FPort = 0;
};

TEST_F(HttpServerTest, ServesFilesWithTheirTypesAndRefusesTheRest) {
  // The shell passes the root relative to the working directory.
  wchar_t cwd[MAX_PATH * 2];
  GetCurrentDirectoryW(MAX_PATH * 2, cwd);
  SetCurrentDirectoryW(F.Path().c_str());
  THttpServer::StartServer(HttpServerRoot, static_cast<std::uint16_t>(FPort));
  SetCurrentDirectoryW(cwd);
  ASSERT_TRUE(THttpServer::IsRun());

  struct {
    const char* Target;
    int Status;
    const char* Type;
    std::string Body;
  } cases[] = {
      {"/index.html", 200, "text/html", "<html>hello</html>"},
      {"/img/a.png", 200, "image/png", std::string("\x89PNG\r\n\x1A\n\0\0body", 15)},
      {"/IMG/A.PNG", 200, "image/png", std::string("\x89PNG\r\n\x1A\n\0\0body", 15)},
      {"/css/site.css?v=3", 200, "text/css", "body{}"},
      {"/data.bin42", 200, "application/octet-stream", "raw"},
      {"/img/%61.png", 200, "image/png", std::string("\x89PNG\r\n\x1A\n\0\0body", 15)},
      {"/missing.png", 404, nullptr, {}},
      {"/img", 404, nullptr, {}},
      {"/img/", 404, nullptr, {}},
      {"/", 404, nullptr, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Target);
    TAnswer a = Get(FPort, c.Target);
    EXPECT_EQ(a.Status, c.Status);
    if (c.Status == 200) {
      EXPECT_EQ(a.Body, c.Body);
      EXPECT_EQ(a.Header("Content-Type"), c.Type);
    } else {
      // No file names, no exception texts.
      EXPECT_EQ(a.Body.find("missing"), std::string::npos);
      EXPECT_EQ(a.Body.find("assets"), std::string::npos);
    }
  }

  TAnswer head = Get(FPort, "/index.html", "HEAD");
  EXPECT_EQ(head.Status, 200);
  EXPECT_EQ(head.Header("Content-Length"), "18");
  EXPECT_TRUE(head.Body.empty());

  for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS"}) {
    SCOPED_TRACE(method);
    EXPECT_EQ(Raw(FPort, std::string(method) + " /index.html HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                  .Status,
              405);
  }
}

TEST_F(HttpServerTest, NoRequestReachesAFileOutsideTheRoot) {
  Start();
  std::wstring full = F.Path() + L"secret.txt";
  std::string drive = Utf8Path(full, true);           // C:/users/.../secret.txt
  std::string back = Utf8Path(full, false);           // C:\users\...\secret.txt
  std::string port = std::to_string(FPort);
  std::vector<std::string> targets = {
      "/../secret.txt",
      "/./../secret.txt",
      "/img/../../secret.txt",
      "/%2e%2e/secret.txt",
      "/%2E%2E%2Fsecret.txt",
      "/..%2fsecret.txt",
      "/..%5csecret.txt",
      "/..\\secret.txt",
      "/img\\..\\..\\secret.txt",
      "/%252e%252e/secret.txt",
      "/%252e%252e%252fsecret.txt",
      "/.%2e/secret.txt",
      "/..%20/secret.txt",
      "/.. /secret.txt",
      "/.../secret.txt",
      "/..%00/secret.txt",
      "/%c0%ae%c0%ae/secret.txt",
      "/" + drive,
      "//" + drive,
      "/" + back,
      "/%5C%5C%3F%5C" + back,
      "/\\\\?\\" + back,
      "//localhost/C$/" + drive.substr(3),
      "/%5C%5Clocalhost%5CC$%5C" + back.substr(3),
      "/CON",
      "/nul.txt",
      "/img/aux.png",
      "/COM1",
      "/LPT1.css",
      "/conin$",
      "/index.html::$DATA",
      "/index.html.",
      "http://127.0.0.1:" + port + "/../secret.txt",
      "http://127.0.0.1:" + port + "/%2e%2e/secret.txt",
      "file:///" + drive,
      "../secret.txt",
      "*",
  };
  for (const std::string& t : targets) {
    SCOPED_TRACE(t);
    TAnswer a = Get(FPort, t);
    EXPECT_NE(a.Status, 200);
    EXPECT_EQ(a.Body.find(Sentinel), std::string::npos);
  }
  // Nothing of that stopped the server.
  EXPECT_EQ(Get(FPort, "/index.html").Status, 200);
}

TEST_F(HttpServerTest, OversizedRequestsAreCutOffAndTheServerGoesOn) {
  Start();
  std::string longHeaders = "GET /index.html HTTP/1.1\r\nHost: x\r\n";
  for (int i = 0; i < 2000; ++i) longHeaders += "X-Fill-" + std::to_string(i) + ": " + std::string(60, 'f') + "\r\n";
  longHeaders += "Connection: close\r\n\r\n";
  TAnswer a = Raw(FPort, longHeaders);
  EXPECT_NE(a.Status, 200);
  TAnswer b = Raw(FPort, "GET /" + std::string(200000, 'a') + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_NE(b.Status, 200);
  EXPECT_EQ(Get(FPort, "/index.html").Status, 200);
}

TEST_F(HttpServerTest, ParallelDownloadsOfALargeFileAreExact) {
  std::string big(3 * 1024 * 1024 + 17, '\0');
  std::mt19937 rng(7);
  for (auto& c : big) c = static_cast<char>(rng());
  F.Put(L"assets\\big\\movie.mp4", big);
  Start();
  std::vector<TAnswer> answers(20);
  std::vector<std::thread> threads;
  for (auto& a : answers) threads.emplace_back([&a, this] { a = Get(FPort, "/big/movie.mp4"); });
  for (auto& t : threads) t.join();
  for (size_t i = 0; i < answers.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(answers[i].Status, 200);
    EXPECT_EQ(answers[i].Header("Content-Type"), "video/mp4");
    EXPECT_TRUE(answers[i].Body == big);
  }
}

TEST_F(HttpServerTest, StopsAndStartsAgainOnTheSamePort) {
  Start();
  EXPECT_EQ(Get(FPort, "/index.html").Status, 200);
  THttpServer::StopServer();
  EXPECT_FALSE(THttpServer::IsRun());
  EXPECT_FALSE(Get(FPort, "/index.html").Connected);
  THttpServer::StopServer();  // stopping twice does nothing
  Start();
  EXPECT_EQ(Get(FPort, "/index.html").Body, "<html>hello</html>");
  // Starting while it runs changes nothing.
  THttpServer::StartServer(F.Path(), static_cast<std::uint16_t>(FPort));
  EXPECT_EQ(Get(FPort, "/index.html").Body, "<html>hello</html>");
}

TEST_F(HttpServerTest, PortInUseOrMissingRootLeaveItStopped) {
  SOCKET blocker = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<u_short>(FPort));
  ASSERT_EQ(bind(blocker, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(blocker, 1), 0);
  THttpServer::StartServer(F.Root(), static_cast<std::uint16_t>(FPort));
  EXPECT_FALSE(THttpServer::IsRun());
  closesocket(blocker);

  THttpServer::StartServer(F.Path() + L"no-such-folder\\", static_cast<std::uint16_t>(FPort));
  EXPECT_FALSE(THttpServer::IsRun());
  EXPECT_FALSE(FileExists(F.Path() + L"no-such-folder\\crossdomain.xml"));

  // The next call tries again.
  Start();
  EXPECT_EQ(Get(FPort, "/index.html").Status, 200);
}

TEST_F(HttpServerTest, WritesTheCrossDomainPolicyOnlyWhenMissing) {
  Start();
  const std::string expected =
      "<?xml version=\"1.0\"?>\n\r"
      "<!DOCTYPE cross-domain-policy SYSTEM \"http://www.adobe.com/xml/dtds/cross-domain-policy.dtd\">\n\r"
      "<cross-domain-policy>\n\r"
      "<site-control permitted-cross-domain-policies=\"all\"/>\n\r"
      "<allow-access-from to-ports=\"*\" domain=\"*\"/>\n\r"
      "</cross-domain-policy>";
  EXPECT_EQ(ReadAllBytes(F.Root() + L"crossdomain.xml"), expected);
  TAnswer a = Get(FPort, "/crossdomain.xml");
  EXPECT_EQ(a.Body, expected);
  EXPECT_EQ(a.Header("Content-Type"), "text/xml");
  THttpServer::StopServer();

  F.Put(L"assets\\crossdomain.xml", "our own");
  Start();
  EXPECT_EQ(ReadAllBytes(F.Root() + L"crossdomain.xml"), "our own");
}

TEST_F(HttpServerTest, AnswersOnTheIpv6LoopbackWhereTheSystemHasOne) {
  SOCKET probe = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in6 a{};
  a.sin6_family = AF_INET6;
  a.sin6_addr = in6addr_loopback;
  bool v6 = probe != INVALID_SOCKET && bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  if (probe != INVALID_SOCKET) closesocket(probe);
  if (!v6) GTEST_SKIP() << "no IPv6 loopback here";
  Start();
  SOCKET s = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
  a.sin6_port = htons(static_cast<u_short>(FPort));
  ASSERT_EQ(connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  std::string req = "GET /index.html HTTP/1.1\r\nHost: [::1]\r\nConnection: close\r\n\r\n";
  send(s, req.data(), static_cast<int>(req.size()), 0);
  std::string data;
  char buf[4096];
  for (int n; (n = recv(s, buf, sizeof buf, 0)) > 0;) data.append(buf, static_cast<size_t>(n));
  closesocket(s);
  EXPECT_EQ(data.compare(0, 12, "HTTP/1.1 200"), 0);
  EXPECT_NE(data.find("<html>hello</html>"), std::string::npos);
}

// Runs the call on its own thread and reports whether it ended within the bound; a call
// that hangs is left behind so that the test can fail instead of hanging too.
bool EndsWithin(std::chrono::seconds bound, std::function<void()> call) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> ended = done->get_future();
  std::thread([done, call] {
    call();
    done->set_value();
  }).detach();
  return ended.wait_for(bound) == std::future_status::ready;
}

TEST_F(HttpServerTest, AStopEndsWhenTheListenerStartsLate) {
  // The listener begins only after the start has given up on it: the start fails clearly.
  THttpServer::ListenerStartDelayMs = 1500;
  THttpServer::ListenerStartWaitMs = 100;
  ASSERT_TRUE(EndsWithin(std::chrono::seconds(30), [this] {
    THttpServer::StartServer(F.Root(), static_cast<std::uint16_t>(FPort));
  }));
  EXPECT_FALSE(THttpServer::IsRun());
  EXPECT_TRUE(EndsWithin(std::chrono::seconds(30), [] { THttpServer::StopServer(); }));

  // The listener begins late but within the start's wait: it runs, and a stop right after
  // the start ends it.
  THttpServer::ListenerStartDelayMs = 300;
  THttpServer::ListenerStartWaitMs = 10000;
  ASSERT_TRUE(EndsWithin(std::chrono::seconds(30), [this] {
    THttpServer::StartServer(F.Root(), static_cast<std::uint16_t>(FPort));
  }));
  EXPECT_TRUE(THttpServer::IsRun());
  EXPECT_TRUE(EndsWithin(std::chrono::seconds(30), [] { THttpServer::StopServer(); }));
  EXPECT_FALSE(Get(FPort, "/index.html").Connected);

  THttpServer::ListenerStartDelayMs = 0;
  THttpServer::ListenerStartWaitMs = 2000;
  Start();
  EXPECT_EQ(Get(FPort, "/index.html").Status, 200);
}

// Symbolic links for a test, removed again at its end (before the test folder, which
// must not be walked through them). Wine 8 answers CreateSymbolicLinkW with success but
// makes nothing, so there a link is made as a Unix symbolic link in the folder Wine maps
// the drive to (Wine's own path mapping and the system's ln and rm).
class TLinks {
public:
  ~TLinks() {
    for (const auto& [link, folder] : FMade) {
      if (FUnix) {
        RunUnix(L"Z:\\bin\\rm", "-f " + Quoted(UnixPath(ExtractFilePath(link)) + "/" + WideToUtf8(ExtractFileName(link))));
        for (int i = 0; i < 500 && GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
      } else if (folder) {
        RemoveDirectoryW(link.c_str());
      } else {
        DeleteFileW(link.c_str());
      }
    }
  }

  bool Make(const std::wstring& link, const std::wstring& target, bool folder) {
    DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (!FUnix && CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) &&
        GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
      FMade.emplace_back(link, folder);
      return true;
    }
    if (!UnixName()) return false;
    FUnix = true;
    // The link does not exist yet: its folder's Unix name plus its own name.
    std::string linkPath = UnixPath(ExtractFilePath(link)) + "/" + WideToUtf8(ExtractFileName(link));
    std::string targetPath = UnixPath(target);
    if (targetPath.empty() || linkPath.front() != '/') return false;
    if (!RunUnix(L"Z:\\bin\\ln", "-s " + Quoted(targetPath) + " " + Quoted(linkPath))) return false;
    FMade.emplace_back(link, folder);
    // Wine does not wait for a Unix program's end; the link appears when it is made.
    for (int i = 0; i < 500; ++i) {
      if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
      Sleep(10);
    }
    return false;
  }

private:
  using TUnixName = char*(CDECL*)(LPCWSTR);
  static TUnixName UnixName() {
    return reinterpret_cast<TUnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  }
  static std::string UnixPath(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    char* name = UnixName()(path.c_str());
    std::string out = name ? name : "";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    return out;
  }
  static std::string Quoted(const std::string& s) { return "\"" + s + "\""; }
  static bool RunUnix(const std::wstring& program, const std::string& args) {
    std::wstring cmd = program + L" " + Utf8ToWide(args);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
  }

  bool FUnix = false;
  std::vector<std::pair<std::wstring, bool>> FMade;
};

TEST_F(HttpServerTest, LinksLeadingOutOfTheRootAreRefused) {
  wchar_t exe[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH * 2);
  F.Put(L"assets\\inner\\page.html", "inner page");
  TLinks links;
  bool made = links.Make(F.Root() + L"program.exe", exe, false) && links.Make(F.Root() + L"outside", F.Path(), true) &&
              links.Make(F.Root() + L"alias", F.Root() + L"inner", true);
  if (!made) GTEST_SKIP() << "symbolic links cannot be made here";
  Start();
  struct {
    const char* Target;
    int Status;
    const char* Body;
  } cases[] = {
      {"/program.exe", 404, nullptr},
      {"/outside/secret.txt", 404, nullptr},
      {"/outside/assets/index.html", 200, "<html>hello</html>"},  // back inside the root
      {"/alias/page.html", 200, "inner page"},
      {"/index.html", 200, "<html>hello</html>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Target);
    TAnswer a = Get(FPort, c.Target);
    EXPECT_EQ(a.Status, c.Status);
    if (c.Body) {
      EXPECT_EQ(a.Body, c.Body);
    } else {
      EXPECT_EQ(a.Body.find(Sentinel), std::string::npos);
      EXPECT_EQ(a.Body.find("MZ"), std::string::npos);
    }
  }
}

TEST_F(HttpServerTest, SlowClientsDoNotStarveANormalRequest) {
  Start();
  // Each client sends its request line one byte at a time, half a second apart.
  const std::string slowRequest = "GET /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + std::string(60, 's');
  std::vector<SOCKET> slow;
  for (int i = 0; i < 64; ++i) {
    SOCKET s = Connect(FPort);
    ASSERT_NE(s, INVALID_SOCKET);
    slow.push_back(s);
  }
  std::atomic<bool> done{false};
  std::thread trickle([&] {
    for (size_t i = 0; i < slowRequest.size() && !done; ++i) {
      for (SOCKET s : slow) send(s, &slowRequest[i], 1, 0);
      for (int t = 0; t < 10 && !done; ++t) Sleep(50);
    }
  });
  Sleep(300);
  auto began = std::chrono::steady_clock::now();
  TAnswer a = Get(FPort, "/index.html");
  auto took = std::chrono::steady_clock::now() - began;
  done = true;
  trickle.join();
  for (SOCKET s : slow) closesocket(s);
  EXPECT_EQ(a.Status, 200);
  EXPECT_EQ(a.Body, "<html>hello</html>");
  // The slow clients would hold every thread for far longer than this.
  EXPECT_LT(took, std::chrono::seconds(5));
}

TEST_F(HttpServerTest, PipelinedRequestsAreAllAnsweredInOrder) {
  Start();
  struct TRequest {
    std::string Method, Target;
    int Status;
    std::string Body;
  };
  const std::vector<TRequest> all = {
      {"GET", "/index.html", 200, "<html>hello</html>"},
      {"GET", "/css/site.css", 200, "body{}"},
      {"HEAD", "/data.bin42", 200, ""},
      {"GET", "/missing.png", 404, "Not Found"},
      {"GET", "/img/a.png", 200, std::string("\x89PNG\r\n\x1A\n\0\0body", 15)},
      {"GET", "/data.bin42", 200, "raw"},
      {"GET", "/index.html", 200, "<html>hello</html>"},
  };
  for (size_t count : {2u, 4u, 7u}) {
    SCOPED_TRACE(count);
    std::string requests;
    std::vector<std::string> methods;
    for (size_t i = 0; i < count; ++i) {
      requests += all[i].Method + " " + all[i].Target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
      if (i + 1 == count) requests += "Connection: close\r\n";
      requests += "\r\n";
      methods.push_back(all[i].Method);
    }
    SOCKET s = Connect(FPort);
    ASSERT_NE(s, INVALID_SOCKET);
    ASSERT_EQ(send(s, requests.data(), static_cast<int>(requests.size()), 0), static_cast<int>(requests.size()));
    std::string data;
    char buf[65536];
    for (int n; (n = recv(s, buf, sizeof buf, 0)) > 0;) data.append(buf, static_cast<size_t>(n));
    closesocket(s);
    std::vector<TAnswer> answers = SplitAnswers(data, methods);
    // Every request is answered in turn, or the connection ends with an answer that says so.
    ASSERT_FALSE(answers.empty());
    if (count <= 4) {
      EXPECT_EQ(answers.size(), count);
    }
    if (answers.size() < count) {
      EXPECT_EQ(answers.back().Header("Connection"), "close");
    }
    for (size_t i = 0; i < answers.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(answers[i].Status, all[i].Status);
      EXPECT_EQ(answers[i].Body, all[i].Body);
    }
  }
}

TEST_F(HttpServerTest, ByteRangesAreAnsweredOrRefusedWithTheSize) {
  // One file is answered from memory, the other streamed.
  std::string small(100000, '\0'), large(3000000, '\0');
  std::mt19937 rng(11);
  for (auto& c : small) c = static_cast<char>(rng());
  for (auto& c : large) c = static_cast<char>(rng());
  F.Put(L"assets\\small.bin", small);
  F.Put(L"assets\\large.bin", large);
  Start();
  for (const auto& [target, file] : {std::pair<std::string, const std::string*>{"/small.bin", &small}, {"/large.bin", &large}}) {
    const long long size = static_cast<long long>(file->size());
    auto n = [](long long v) { return std::to_string(v); };
    struct {
      std::string Range;
      int Status;
      long long First, Last;  // the part for 206
    } cases[] = {
        {"bytes=0-9", 206, 0, 9},
        {"bytes=10-", 206, 10, size - 1},
        {"bytes=-5", 206, size - 5, size - 1},
        {"bytes=" + n(size - 1) + "-", 206, size - 1, size - 1},
        {"bytes=5-" + n(size + 1000), 206, 5, size - 1},
        {"bytes=-" + n(size * 2), 206, 0, size - 1},
        {"bytes=" + n(size) + "-", 416, 0, 0},
        {"bytes=" + n(size + 100) + "-", 416, 0, 0},
        {"bytes=" + n(size + 100) + "-" + n(size + 200), 416, 0, 0},
        {"bytes=-0", 416, 0, 0},
        {"bytes=99999999999999999999-", 416, 0, 0},
        {"bytes=9-5", 200, 0, 0},
        {"bytes=0-1,5-6", 200, 0, 0},
        {"items=0-5", 200, 0, 0},
        {"bytes=abc", 200, 0, 0},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(target + " " + c.Range);
      TAnswer a = Raw(FPort, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: " + c.Range +
                                 "\r\nConnection: close\r\n\r\n");
      EXPECT_EQ(a.Status, c.Status);
      if (c.Status == 206) {
        EXPECT_EQ(a.Header("Content-Range"), "bytes " + n(c.First) + "-" + n(c.Last) + "/" + n(size));
        EXPECT_EQ(a.Header("Content-Length"), n(c.Last - c.First + 1));
        EXPECT_TRUE(a.Body == file->substr(static_cast<size_t>(c.First), static_cast<size_t>(c.Last - c.First + 1)));
      } else if (c.Status == 416) {
        EXPECT_EQ(a.Header("Content-Range"), "bytes */" + n(size));
        EXPECT_EQ(a.Body.find(file->substr(0, 16)), std::string::npos);
      } else {
        EXPECT_EQ(a.Header("Content-Range"), "");
        EXPECT_EQ(a.Header("Content-Length"), n(size));
        EXPECT_TRUE(a.Body == *file);
      }
    }
  }
}

TEST(HttpServerPaths, SafeRelativePathTable) {
  struct {
    const char* Path;
    const wchar_t* Relative;  // nullptr: refused
  } cases[] = {
      {"/a.png", L"a.png"},
      {"/img/a b.png", L"img\\a b.png"},
      {"/\xD0\xBA.png", L"\x043A.png"},
      {"/.hidden", L".hidden"},
      {"", nullptr},
      {"/", nullptr},
      {"a.png", nullptr},
      {"//a.png", nullptr},
      {"/img//a.png", nullptr},
      {"/..", nullptr},
      {"/.", nullptr},
      {"/a/./b", nullptr},
      {"/a\\b", nullptr},
      {"/c:x", nullptr},
      {"/a\x01", nullptr},
      {"/a.png ", nullptr},
      {"/nul", nullptr},
      {"/Nul .txt", nullptr},
      {"/com9.png", nullptr},
      {"/com10.png", L"com10.png"},
      {"/a*.png", nullptr},
      {"/\xC0\xAE\xC0\xAE", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    std::wstring rel;
    bool ok = THttpServer::SafeRelativePath(c.Path, rel);
    EXPECT_EQ(ok, c.Relative != nullptr);
    if (c.Relative && ok) {
      EXPECT_EQ(rel, c.Relative);
    }
  }
}

}  // namespace
