// Runs the calling thread's pending window messages, as a test's own message loop.
#pragma once

#include <windows.h>

// Every message waiting now.
inline void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Messages for about Ms milliseconds, so that the X server shows and paints windows.
inline void PumpMessagesFor(DWORD Ms) {
  const DWORD end = GetTickCount() + Ms;
  do {
    PumpMessages();
    Sleep(10);
  } while (static_cast<int>(end - GetTickCount()) > 0);
}
