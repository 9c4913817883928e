#pragma once
// Shared set-up of the shell's tests: a folder holding Tarvel.exe and the stand-ins.
#include <gtest/gtest.h>
#include "app/Process.Control.h"
#include "app/Url.Rules.h"
#include "support/ShellHarness.h"

inline std::wstring TarvelExe() { return WinPath(TARVEL_EXE_PATH); }
inline std::wstring StandInExe() { return WinPath(STANDIN_EXE_PATH); }

// Ends every stand-in still running under either name (started by the test, directly
// or through the shell), so no test sees the programs of another.
inline void EndStandIns() {
  for (const wchar_t* name : {L"Sorvik.dll", L"Pallow.exe"})
    for (int i = 0; i < 20; ++i) {
      DWORD pid = TProcess::IsRun(name);
      if (!pid) break;
      TProcess::Finish(pid);
      WaitUntil([&] { return !TProcess::IsRun(pid); }, 5000);
    }
}

class ShellFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    EndStandIns();
    DeployShell(Dir.Path(), TarvelExe(), StandInExe());
    // A shell form created in the test asks for its URL rules: a closed loopback port, so the
    // request fails at once and never leaves the machine.
    SetRulesUrlOverride(L"http://127.0.0.1:9/rules.json");
  }
  void TearDown() override {
    SetRulesUrlOverride(L"");
    EndStandIns();
  }
  std::wstring Browser() const { return Dir / L"Sorvik.dll"; }
  std::wstring Console() const { return Dir / L"Pallow.exe"; }
  std::wstring BrowserRecord() const { return Dir / L"Sorvik.dll.record"; }
  std::wstring ConsoleRecord() const { return Dir / L"Pallow.exe.record"; }
  void Stop(const std::wstring& program) { WriteTextFile(program + L".stop", ""); }
  TTempFolder Dir;
};
