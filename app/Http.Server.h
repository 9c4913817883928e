#pragma once
// The local HTTP file server that serves the asset folder to the browser program.
#include <string>

class THttpServer {
public:
  THttpServer() = delete;
  static bool IsRun();
  static void StartServer(const std::wstring& ARoot, int APort);
  static void StopServer();
};
