// Shared main of every test executable.
#include <gtest/gtest.h>
#include <windows.h>

#include "skin/manager/sSkinManager.h"

int wmain(int argc, wchar_t** argv) {
  // A crashing test must end the process, not wait for a debugger dialog under Wine.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  testing::InitGoogleTest(&argc, argv);
  // The skin engine starts as it does in the program, before any test.
  SkinEngineStartup();
  const int result = RUN_ALL_TESTS();
  SkinEngineCleanup();
  return result;
}
