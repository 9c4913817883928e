#include "app/Http.Server.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"

// Placeholder until the file server is built: the calls are logged and nothing listens.
bool THttpServer::IsRun() { return false; }

void THttpServer::StartServer(const std::wstring& ARoot, int APort) {
  CodeSite().SendWarning(FormatW(L"HTTP file server not available yet (root %ls, port %d)", ARoot.c_str(), APort));
}

void THttpServer::StopServer() {}
