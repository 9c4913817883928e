// Closes every window activated on the calling thread while it lives (the warning boxes of
// code under test), keeping the text of their child controls.
#pragma once

#include <windows.h>

#include <string>

class TMessageBoxCloser {
public:
  TMessageBoxCloser() {
    Text().clear();
    FHook = SetWindowsHookExW(WH_CBT, Proc, nullptr, GetCurrentThreadId());
  }
  ~TMessageBoxCloser() { UnhookWindowsHookEx(FHook); }
  TMessageBoxCloser(const TMessageBoxCloser&) = delete;
  TMessageBoxCloser& operator=(const TMessageBoxCloser&) = delete;
  // The texts of the boxes closed so far, one line each.
  static std::wstring& Text() {
    static std::wstring text;
    return text;
  }

private:
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
      HWND box = reinterpret_cast<HWND>(wParam);
      EnumChildWindows(
          box,
          [](HWND child, LPARAM) -> BOOL {
            wchar_t text[512] = {};
            GetWindowTextW(child, text, 512);
            if (text[0]) Text() += std::wstring(text) + L"\n";
            return TRUE;
          },
          0);
      PostMessageW(box, WM_CLOSE, 0, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HHOOK FHook;
};
