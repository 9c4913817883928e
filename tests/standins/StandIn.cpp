// Stand-in for the shell's sibling programs (copied as Sorvik.dll and Pallow.exe).
//
// Every start appends a line to "<own name>.record" beside the program:
//   start<TAB>pid<TAB>show state<TAB>working folder<TAB>command line<TAB>args joined by 0x1F
// and every end a line:  end<TAB>pid<TAB>exit code<TAB>reason
// "<own name>.ctl" beside it, read at start, holds key=value lines:
//   exit=N     exit code of an ordinary end (default 0)
//   window=0   run without a window (default: one visible top-level window)
//   closedelay=N  on WM_CLOSE, end only N ms later (a program slow to close)
//   acsdata=N  its window carries the property "ACSDATA" with the value N (an address that
//              means nothing in any other process)
//   sendto=N   once its window exists it sends the skin engine's library message 0xA100
//              (sub-command 34, LParam 0x1234) to window N and records
//              sent<TAB>pid<TAB>result
// The program ends on WM_CLOSE to its window, or when "<own name>.stop" appears beside
// it (the file is removed), with the exit code from the control file.
#include <windows.h>
#include <shellapi.h>
#include <string>

namespace {

std::wstring g_dir, g_name;
int g_exitCode = 0;
int g_closeDelayMs = 0;
bool g_closing = false;
constexpr UINT_PTR kCloseTimer = 2;
unsigned long long g_acsData = 0;
unsigned long long g_sendTo = 0;

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

void Append(const std::wstring& line) {
  std::wstring path = g_dir + g_name + L".record";
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      std::string bytes = Utf8(line) + "\n";
      DWORD put;
      WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
      CloseHandle(h);
      return;
    }
    Sleep(20);  // another copy is writing
  }
}

void ReadControl() {
  std::wstring path = g_dir + g_name + L".ctl";
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  char buf[4096];
  DWORD got = 0;
  ReadFile(h, buf, sizeof buf - 1, &got, nullptr);
  CloseHandle(h);
  buf[got] = 0;
  std::string text(buf);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("exit=", 0) == 0) g_exitCode = atoi(line.c_str() + 5);
    if (line.rfind("closedelay=", 0) == 0) g_closeDelayMs = atoi(line.c_str() + 11);
    if (line.rfind("acsdata=", 0) == 0) g_acsData = strtoull(line.c_str() + 8, nullptr, 10);
    if (line.rfind("sendto=", 0) == 0) g_sendTo = strtoull(line.c_str() + 7, nullptr, 10);
    pos = end + 1;
  }
}

bool WantsWindow() {
  std::wstring path = g_dir + g_name + L".ctl";
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;
  char buf[4096];
  DWORD got = 0;
  ReadFile(h, buf, sizeof buf - 1, &got, nullptr);
  CloseHandle(h);
  buf[got] = 0;
  return std::string(buf).find("window=0") == std::string::npos;
}

[[noreturn]] void End(const wchar_t* reason) {
  Append(L"end\t" + std::to_wstring(GetCurrentProcessId()) + L"\t" + std::to_wstring(g_exitCode) + L"\t" + reason);
  ExitProcess(static_cast<UINT>(g_exitCode));
}

bool StopRequested() {
  std::wstring stop = g_dir + g_name + L".stop";
  if (GetFileAttributesW(stop.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  DeleteFileW(stop.c_str());
  return true;
}

LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_CLOSE:
      if (g_closeDelayMs <= 0) End(L"close");
      if (!g_closing) SetTimer(wnd, kCloseTimer, static_cast<UINT>(g_closeDelayMs), nullptr);
      g_closing = true;  // a repeated request does not put the end off
      return 0;
    case WM_TIMER:
      if (w == kCloseTimer) End(L"close");
      if (StopRequested()) End(L"stop");
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      std::wstring text = g_name + L" (stand-in): close this window to end it";
      TextOutW(dc, 10, 10, text.c_str(), static_cast<int>(text.size()));
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcW(wnd, msg, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int cmdShow) {
  wchar_t path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring self(path, n);
  size_t slash = self.find_last_of(L"\\/");
  g_dir = self.substr(0, slash + 1);
  g_name = self.substr(slash + 1);
  ReadControl();

  STARTUPINFOW si = {};
  si.cb = sizeof si;
  GetStartupInfoW(&si);
  int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
  wchar_t cwd[MAX_PATH * 2];
  DWORD cn = GetCurrentDirectoryW(MAX_PATH * 2, cwd);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring args;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) args += L'\x1F';
    args += argv[i];
  }
  HWND wnd = nullptr;
  if (WantsWindow()) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = inst;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"TarvelStandIn";
    RegisterClassW(&wc);
    std::wstring title = g_name + L" stand-in";
    wnd = CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, 480, 160, nullptr,
                          nullptr, inst, nullptr);
    ShowWindow(wnd, cmdShow);
    SetTimer(wnd, 1, 50, nullptr);
  } else {
    // Windowless: a message loop with a thread timer, so WM_CLOSE cannot reach it; only the stop file ends it.
    SetTimer(nullptr, 1, 50, nullptr);
  }
  // Recorded once the window exists, so whoever reads the record can close the program.
  Append(L"start\t" + std::to_wstring(GetCurrentProcessId()) + L"\t" + std::to_wstring(show) + L"\t" +
         std::wstring(cwd, cn) + L"\t" + GetCommandLineW() + L"\t" + args);
  if (wnd && g_acsData) SetPropW(wnd, L"ACSDATA", reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(g_acsData)));
  if (wnd && g_sendTo) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(g_sendTo)), 0xA100, 34u << 16, 0x1234,
                        SMTO_ABORTIFHUNG, 5000, &result);
    Append(L"sent\t" + std::to_wstring(GetCurrentProcessId()) + L"\t" + std::to_wstring(result));
  }

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!wnd && msg.message == WM_TIMER && StopRequested()) End(L"stop");
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  End(L"quit");
}
