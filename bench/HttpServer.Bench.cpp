// The local file server alone, for the load benchmark (bench/run-http.sh): serves the
// given folder on the given loopback port for the given number of seconds.
//   bench_http ROOT PORT SECONDS
//   bench_http --ceiling PORT SECONDS SMALL_BYTES LARGE_BYTES
// The second form is the benchmark's yardstick for what Wine's sockets allow: a minimal
// Winsock responder with a thread per connection that reads a request, answers it with
// one gathered write of a fixed answer from memory (SMALL_BYTES of body, or LARGE_BYTES
// when the path holds "large") and keeps the connection open for the next.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "app/Http.Server.h"

namespace {

struct TAnswer {
  std::string Head, Body;
};

void ServeConnection(SOCKET s, const TAnswer* small, const TAnswer* large) {
  std::string in;
  char buf[16 * 1024];
  for (;;) {
    size_t end;
    while ((end = in.find("\r\n\r\n")) == std::string::npos) {
      const int n = recv(s, buf, sizeof buf, 0);
      if (n <= 0) {
        closesocket(s);
        return;
      }
      in.append(buf, static_cast<size_t>(n));
    }
    const size_t line = in.find("\r\n");
    const TAnswer* a = in.substr(0, line).find("large") != std::string::npos ? large : small;
    in.erase(0, end + 4);
    WSABUF parts[2] = {{static_cast<ULONG>(a->Head.size()), const_cast<char*>(a->Head.data())},
                       {static_cast<ULONG>(a->Body.size()), const_cast<char*>(a->Body.data())}};
    DWORD sent = 0;
    if (WSASend(s, parts, 2, &sent, 0, nullptr, nullptr) != 0) {
      closesocket(s);
      return;
    }
  }
}

int Ceiling(std::uint16_t port, DWORD seconds, size_t smallBytes, size_t largeBytes) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  auto answer = [](size_t bytes) {
    TAnswer a;
    a.Body.assign(bytes, 'x');
    a.Head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(bytes) +
             "\r\nConnection: keep-alive\r\n\r\n";
    return a;
  };
  static const TAnswer small = answer(smallBytes), large = answer(largeBytes);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, SOMAXCONN) != 0) {
    std::fprintf(stderr, "cannot listen on %u\n", port);
    return 1;
  }
  std::thread([listener] {
    for (;;) {
      SOCKET s = accept(listener, nullptr, nullptr);
      if (s == INVALID_SOCKET) return;
      std::thread(ServeConnection, s, &small, &large).detach();
    }
  }).detach();
  std::printf("serving\n");
  std::fflush(stdout);
  Sleep(seconds * 1000);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 6 && std::wstring(argv[1]) == L"--ceiling")
    return Ceiling(static_cast<std::uint16_t>(std::wcstoul(argv[2], nullptr, 10)),
                   static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)), std::wcstoul(argv[4], nullptr, 10),
                   std::wcstoul(argv[5], nullptr, 10));
  if (argc < 4) {
    std::fwprintf(stderr, L"usage: bench_http <root folder> <port> <seconds>\n"
                          L"       bench_http --ceiling <port> <seconds> <small bytes> <large bytes>\n");
    return 2;
  }
  THttpServer::StartServer(argv[1], static_cast<std::uint16_t>(std::wcstoul(argv[2], nullptr, 10)));
  if (!THttpServer::IsRun()) {
    std::fwprintf(stderr, L"the server did not start\n");
    return 1;
  }
  std::fwprintf(stdout, L"serving\n");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) * 1000);
  THttpServer::StopServer();
  return 0;
}
