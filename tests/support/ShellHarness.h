#pragma once
// Test helpers for whole-process tests of the shell: temporary folders, processes held
// in a job object (so everything they start ends with the test), the stand-in programs'
// records, and waiting with the message queue served.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// A host path of the build ("/work/...") as Wine sees it ("Z:\work\...").
std::wstring WinPath(const char* hostPath);

class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  const std::wstring& Path() const { return FPath; }  // with a trailing backslash
  std::wstring operator/(const std::wstring& name) const { return FPath + name; }

private:
  std::wstring FPath;
};

// A process started in its own kill-on-close job: it and everything it starts end
// when the object goes.
class TJobProcess {
public:
  TJobProcess(const std::wstring& exe, const std::wstring& params, const std::wstring& workDir);
  ~TJobProcess();
  DWORD Pid() const { return FPi.dwProcessId; }
  // True when the process ended within the time; its exit code in code.
  bool WaitExit(DWORD timeoutMs, DWORD& code);
  bool Running();
  // Ends everything in the job now.
  void Kill();

private:
  HANDLE FJob = nullptr;
  PROCESS_INFORMATION FPi = {};
};

// One line of a stand-in's record file.
struct TStandInRecord {
  std::wstring Kind;  // "start" or "end"
  DWORD Pid = 0;
  int Show = 0;                    // start: the show state it was given
  std::wstring WorkDir, CmdLine;   // start
  std::vector<std::wstring> Args;  // start
  int ExitCode = 0;                // end
  std::wstring Reason;             // end
};
std::vector<TStandInRecord> ReadRecords(const std::wstring& file);
int CountRecords(const std::wstring& file, const std::wstring& kind);

// Polls cond (serving this thread's messages in between) until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = 20000);

// Copies Tarvel.exe and the stand-ins (as Sorvik.dll and Pallow.exe) into a folder.
void DeployShell(const std::wstring& folder, const std::wstring& tarvelExe, const std::wstring& standInExe);
void WriteTextFile(const std::wstring& path, const std::string& text);
std::string ReadTextFile(const std::wstring& path);
// The top-level window of a class that belongs to a process, or nullptr.
HWND FindProcessWindow(DWORD pid, const wchar_t* className);
