#include "app/Process.Control.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include <tlhelp32.h>
#include <algorithm>

namespace {

bool SameAsciiText(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    wchar_t x = *a, y = *b;
    if (x >= L'a' && x <= L'z') x -= 32;
    if (y >= L'a' && y <= L'z') y -= 32;
    if (x != y) return false;
    if (!x) return true;
  }
}

bool CreateChild(const std::wstring& file, const std::wstring& params, int winState, PROCESS_INFORMATION& pi) {
  std::wstring cmd = L"\"" + file + L"\" " + params;
  std::wstring folder = ExtractFilePath(file);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(winState);
  pi = {};
  return CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &si, &pi) != FALSE;
}

BOOL CALLBACK PostCloseProc(HWND wnd, LPARAM) {
  PostMessageW(wnd, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

// ---- TProcess --------------------------------------------------------------

DWORD TProcess::Run(const std::wstring& AFileName, const std::wstring& AParams, int AWinState) {
  PROCESS_INFORMATION pi;
  if (!CreateChild(AFileName, AParams, AWinState, pi)) return 0;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return pi.dwProcessId;
}

bool TProcess::RunAndWait(const std::wstring& AFileName, const std::wstring& AParams, DWORD& AExitCode,
                          int AWinState) {
  PROCESS_INFORMATION pi;
  if (!CreateChild(AFileName, AParams, AWinState, pi)) return false;
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &AExitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

bool TProcess::RunAndWait(const std::wstring& AFileName, const std::wstring& AParams, int AWinState) {
  DWORD code;
  return RunAndWait(AFileName, AParams, code, AWinState);
}

DWORD TProcess::IsRun(const std::wstring& AExeName) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W e = {};
  e.dwSize = sizeof e;
  DWORD found = 0;
  for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e)) {
    if (SameAsciiText(ExtractFileName(e.szExeFile).c_str(), AExeName.c_str())) {
      found = e.th32ProcessID;
      break;
    }
  }
  CloseHandle(snap);
  return found;
}

bool TProcess::IsRun(DWORD AProcID) {
  if (AProcID == 0) return false;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W e = {};
  e.dwSize = sizeof e;
  bool found = false;
  for (BOOL ok = Process32FirstW(snap, &e); ok && !found; ok = Process32NextW(snap, &e))
    found = e.th32ProcessID == AProcID;
  CloseHandle(snap);
  return found;
}

void TProcess::Close(DWORD AProcID) {
  if (AProcID == 0) return;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return;
  THREADENTRY32 t = {};
  t.dwSize = sizeof t;
  for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t))
    if (t.th32OwnerProcessID == AProcID) EnumThreadWindows(t.th32ThreadID, PostCloseProc, 0);
  CloseHandle(snap);
}

bool TProcess::WaitGone(const std::wstring& AExeName, DWORD ATimeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + ATimeoutMs;
  for (;;) {
    DWORD pid = IsRun(AExeName);
    if (!pid) return true;
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    // Waiting on the process itself ends the wait the moment it goes; the next look then
    // finds any other process of that name.
    DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 100));
    if (HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid)) {
      WaitForSingleObject(h, slice);
      CloseHandle(h);
    } else {
      Sleep(slice);
    }
  }
}

bool TProcess::Finish(DWORD AProcID) {
  if (AProcID == 0) return false;
  HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, AProcID);
  if (!h) return false;
  bool ok = TerminateProcess(h, 0) != FALSE;
  CloseHandle(h);
  return ok;
}

void TProcess::SetForeground(HWND AWnd) {
  if (!AWnd) return;
  DWORD fgThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  if (!fgThread) return;
  DWORD self = GetCurrentThreadId();
  if (!AttachThreadInput(self, fgThread, TRUE)) return;
  ShowWindow(AWnd, SW_SHOW);
  BringWindowToTop(AWnd);
  SetForegroundWindow(AWnd);
  AttachThreadInput(self, fgThread, FALSE);
}

// ---- TExecutor -------------------------------------------------------------

std::shared_ptr<IExecutor> TExecutor::Create(const std::wstring& AFilename, bool AutoFinish) {
  return std::make_shared<TExecutor>(AFilename, AutoFinish);
}

TExecutor::TExecutor(const std::wstring& AFilename, bool AutoFinish)
    : FFilename(AFilename), FAutoFinish(AutoFinish) {}

TExecutor::~TExecutor() {
  if (FAutoFinish) Done(true);
}

void TExecutor::Run(const std::wstring& AParams) {
  auto run = std::make_shared<TRun>();
  std::weak_ptr<TExecutor> self = weak_from_this();
  std::wstring file = FFilename;
  std::lock_guard<std::mutex> l(FLock);
  FOnCloseEnabled = true;
  FRuns.push_back(run);
  // The task only ever holds the executor weakly: an executor that is gone reports nothing.
  FTask = TTask::Run(
      [self, run, file, AParams] {
        DWORD code = 0;
        bool started = TProcess::RunAndWait(file, AParams, code, SW_SHOW);
        if (started && run->Report) {
          // Decided again on the UI thread: a Done(false) may come between the end and the call.
          TThread::Synchronize([&] {
            auto exec = self.lock();
            if (!exec || !run->Report) return;
            TExitCodeProc onClose = exec->ReadOnClose();
            if (onClose) onClose(code);
          });
        }
        if (auto exec = self.lock()) {
          std::lock_guard<std::mutex> l(exec->FLock);
          auto& runs = exec->FRuns;
          for (auto it = runs.begin(); it != runs.end();)
            it = it->expired() || it->lock() == run ? runs.erase(it) : it + 1;
          if (runs.empty()) exec->FTask.reset();
        }
      },
      true);
}

bool TExecutor::IsRun() { return TProcess::IsRun(ExtractFileName(FFilename)) != 0; }

void TExecutor::Done(bool AOnClose) {
  {
    std::lock_guard<std::mutex> l(FLock);
    FOnCloseEnabled = AOnClose;
    // Runs stopped by the owner stay silent for good; Done(true) silences nothing.
    if (!AOnClose)
      for (auto& w : FRuns)
        if (auto r = w.lock()) r->Report = false;
  }
  TProcess::Close(TProcess::IsRun(ExtractFileName(FFilename)));
}

TExitCodeProc TExecutor::ReadOnClose() {
  std::lock_guard<std::mutex> l(FLock);
  return FOnClose;
}

void TExecutor::WriteOnClose(TExitCodeProc value) {
  std::lock_guard<std::mutex> l(FLock);
  FOnClose = std::move(value);
}

std::shared_ptr<ITask> TExecutor::Task() {
  std::lock_guard<std::mutex> l(FLock);
  return FTask;
}

// ---- argument quoting ------------------------------------------------------

std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
      out += L'"';
    } else {
      out.append(backslashes, L'\\');
      out += c;
    }
    backslashes = 0;
  }
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}
