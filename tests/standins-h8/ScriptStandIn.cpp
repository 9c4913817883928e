// A program for the script runner's tests: every start appends one line to
// "<own path>.record":  pid<TAB>show state<TAB>working folder<TAB>arguments joined by '|'
// (show state -1 when the starter gave none), then the program ends at once.
#include <windows.h>
#include <shellapi.h>
#include <string>

int wmain() {
  wchar_t path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring record = std::wstring(path, n) + L".record";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  GetStartupInfoW(&si);
  int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
  wchar_t cwd[MAX_PATH * 2];
  DWORD cn = GetCurrentDirectoryW(MAX_PATH * 2, cwd);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring args;
  for (int i = 1; i < argc; ++i) args += (i > 1 ? L"|" : L"") + std::wstring(argv[i]);
  std::wstring line = std::to_wstring(GetCurrentProcessId()) + L"\t" + std::to_wstring(show) + L"\t" +
                      std::wstring(cwd, cn) + L"\t" + args + L"\n";
  int len = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(len, '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), len, nullptr, nullptr);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    HANDLE h = CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      DWORD put;
      WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
      CloseHandle(h);
      break;
    }
    Sleep(20);  // another copy is writing
  }
  return 0;
}
