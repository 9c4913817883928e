#include "ShellHarness.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include <shellapi.h>
#include <atomic>

std::wstring WinPath(const char* hostPath) {
  std::wstring p = Utf8ToWide(hostPath);
  for (auto& c : p)
    if (c == L'/') c = L'\\';
  return p.size() && p[0] == L'\\' ? L"Z:" + p : p;
}

TTempFolder::TTempFolder() {
  static std::atomic<int> counter{0};
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  FPath = IncludeTrailingPathDelimiter(tmp) +
          FormatW(L"tarvel-test-%lu-%d-%lu\\", GetCurrentProcessId(), ++counter, GetTickCount());
  ForceDirectories(FPath);
}

TTempFolder::~TTempFolder() {
  std::wstring from = ExcludeTrailingPathDelimiter(FPath);
  from.push_back(L'\0');  // double-zero terminated
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

TJobProcess::TJobProcess(const std::wstring& exe, const std::wstring& params, const std::wstring& workDir) {
  FJob = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
  info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(FJob, JobObjectExtendedLimitInformation, &info, sizeof info);
  std::wstring cmd = L"\"" + exe + L"\" " + params;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, workDir.c_str(), &si,
                     &FPi)) {
    AssignProcessToJobObject(FJob, FPi.hProcess);
    ResumeThread(FPi.hThread);
  }
}

TJobProcess::~TJobProcess() {
  Kill();
  if (FPi.hThread) CloseHandle(FPi.hThread);
  if (FPi.hProcess) CloseHandle(FPi.hProcess);
  if (FJob) CloseHandle(FJob);
}

void TJobProcess::Kill() {
  if (FJob) TerminateJobObject(FJob, 9);
  if (FPi.hProcess) WaitForSingleObject(FPi.hProcess, 5000);
}

bool TJobProcess::WaitExit(DWORD timeoutMs, DWORD& code) {
  if (!FPi.hProcess) return false;
  if (WaitForSingleObject(FPi.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(FPi.hProcess, &code);
  return true;
}

bool TJobProcess::Running() { return FPi.hProcess && WaitForSingleObject(FPi.hProcess, 0) == WAIT_TIMEOUT; }

std::vector<TStandInRecord> ReadRecords(const std::wstring& file) {
  std::vector<TStandInRecord> out;
  std::wstring text;
  try {
    text = Utf8ToWide(ReadAllBytes(file));
  } catch (...) {
    return out;
  }
  for (auto& line : SplitString(text, L'\n')) {
    if (line.empty()) continue;
    auto f = SplitString(line, L'\t');
    TStandInRecord r;
    r.Kind = f[0];
    if (f.size() > 1) r.Pid = static_cast<DWORD>(_wtoi(f[1].c_str()));
    if (r.Kind == L"start" && f.size() >= 6) {
      r.Show = _wtoi(f[2].c_str());
      r.WorkDir = f[3];
      r.CmdLine = f[4];
      if (!f[5].empty()) r.Args = SplitString(f[5], L'\x1F');
    } else if (r.Kind == L"end" && f.size() >= 4) {
      r.ExitCode = _wtoi(f[2].c_str());
      r.Reason = f[3];
    }
    out.push_back(r);
  }
  return out;
}

int CountRecords(const std::wstring& file, const std::wstring& kind) {
  int n = 0;
  for (auto& r : ReadRecords(file)) n += r.Kind == kind;
  return n;
}

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (cond()) return true;
    if (GetTickCount() - start > timeoutMs) return cond();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 25, QS_ALLINPUT);
  }
}

void DeployShell(const std::wstring& folder, const std::wstring& tarvelExe, const std::wstring& standInExe) {
  CopyFileW(tarvelExe.c_str(), (folder + L"Tarvel.exe").c_str(), FALSE);
  CopyFileW(standInExe.c_str(), (folder + L"Sorvik.dll").c_str(), FALSE);
  CopyFileW(standInExe.c_str(), (folder + L"Pallow.exe").c_str(), FALSE);
}

void WriteTextFile(const std::wstring& path, const std::string& text) { WriteAllBytes(path, text); }

std::string ReadTextFile(const std::wstring& path) {
  try {
    return ReadAllBytes(path);
  } catch (...) {
    return {};
  }
}

namespace {
struct TFind {
  DWORD Pid;
  const wchar_t* Class;
  HWND Found;
};
BOOL CALLBACK FindProc(HWND wnd, LPARAM p) {
  auto* f = reinterpret_cast<TFind*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  wchar_t cls[256];
  if (pid == f->Pid && GetClassNameW(wnd, cls, 256) && lstrcmpW(cls, f->Class) == 0) {
    f->Found = wnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND FindProcessWindow(DWORD pid, const wchar_t* className) {
  TFind f{pid, className, nullptr};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
  return f.Found;
}
