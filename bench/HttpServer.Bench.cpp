// The local file server alone, for the load benchmark (bench/run-http.sh): serves the
// given folder on the given loopback port for the given number of seconds.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "app/Http.Server.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fwprintf(stderr, L"usage: bench_http <root folder> <port> <seconds>\n");
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
