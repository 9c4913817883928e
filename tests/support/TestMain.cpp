// Shared main of every test executable.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "skin/manager/sSkinManager.h"

namespace {

// Under Wine an unhandled fault starts the debugger, which ends the process with exit code 0
// once the crash dialog is off: a crashed test program would count as passed. Name the fault
// and the running test, and fail the program.
LONG WINAPI FailOnUnhandledException(EXCEPTION_POINTERS* info) {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::fprintf(stderr, "Unhandled exception 0x%08lX at %p in %s.%s\n",
               static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
               info->ExceptionRecord->ExceptionAddress, test ? test->test_suite_name() : "(no test)",
               test ? test->name() : "");
#if defined(_M_X64) || defined(__x86_64__)
  // A call through an empty or stale pointer faults at the target: the caller is the return
  // address the call left on the stack (for a fault inside a function the word is only a hint).
  if (info->ContextRecord->Rsp)
    std::fprintf(stderr, "  called from %p\n", *reinterpret_cast<void**>(info->ContextRecord->Rsp));
#endif
  std::fflush(stderr);
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // A crashing test must end the process, not wait for a debugger dialog under Wine.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(FailOnUnhandledException);
  testing::InitGoogleTest(&argc, argv);
  // The skin engine starts as it does in the program, before any test.
  SkinEngineStartup();
  const int result = RUN_ALL_TESTS();
  SkinEngineCleanup();
  return result;
}
