#pragma once
// Shared pieces of the handler tests: a skin manager on the test skin, a plain window class
// that records what reaches its own procedure, and capture of a window's pixels.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Forms.h"
#include "skin/ReaderFixtures.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

namespace handler_tests {

// A manager with the test skin loaded; the default one while it lives when it is the first.
struct TTestManager {
  TsSkinManager* M;
  explicit TTestManager(const wchar_t* skin = L"Tarvel Test") {
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"skins"));
    M->SetSkinName(skin);
  }
  ~TTestManager() { TComponent::Free(M); }
};

// What the recording window's own procedure saw.
struct TRecord {
  std::vector<UINT> Messages;
  LRESULT PaintAnswer = 0;
  HDC LastPaintDC = nullptr;
  bool Has(UINT Msg) const {
    for (UINT m : Messages)
      if (m == Msg) return true;
    return false;
  }
  int Count(UINT Msg) const {
    int n = 0;
    for (UINT m : Messages) n += m == Msg;
    return n;
  }
};

inline TRecord& Record() {
  static TRecord record;
  return record;
}

inline LRESULT CALLBACK RecorderProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  Record().Messages.push_back(Msg);
  if (Msg == WM_PAINT && WParam) {
    Record().LastPaintDC = reinterpret_cast<HDC>(WParam);
    return Record().PaintAnswer;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

// The class of recording windows, with a brush of its own (not the face colour).
inline const wchar_t* RecorderClass() {
  static HBRUSH own = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
  static ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarvelHandlerRecorder";
    wc.hbrBackground = own;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    return RegisterClassW(&wc);
  }();
  (void)atom;
  return L"TarvelHandlerRecorder";
}
inline HBRUSH RecorderBrush() {
  RecorderClass();
  HWND probe = CreateWindowExW(0, RecorderClass(), L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrW(probe, GCLP_HBRBACKGROUND));
  DestroyWindow(probe);
  return brush;
}

// A top-level recording window, destroyed with the object when still there.
struct TRecorderWindow {
  HWND Wnd = nullptr;
  explicit TRecorderWindow(DWORD Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, int W = 200, int H = 150,
                           const wchar_t* Text = L"Recorder") {
    Wnd = CreateWindowExW(0, RecorderClass(), Text, Style, 40, 40, W, H, nullptr, nullptr, GetModuleHandleW(nullptr),
                          nullptr);
  }
  ~TRecorderWindow() {
    if (Wnd && IsWindow(Wnd)) DestroyWindow(Wnd);
  }
};

// The handler kinds a test registers, removed again when it ends.
struct TKindScope {
  std::vector<std::wstring> Kinds;
  void Add(const std::wstring& Kind, TacHandlerMaker Maker) {
    RegisterHandlerKind(Kind, std::move(Maker));
    Kinds.push_back(Kind);
  }
  ~TKindScope() {
    for (const auto& k : Kinds) RegisterHandlerKind(k, nullptr);
  }
};

template <class T>
TacHandlerMaker MakerOf() {
  return [](HWND Wnd, bool Repaint, const TacSkinParams& Params, TsSkinManager* Manager, TsCommonData* Shared) {
    return static_cast<TacMainWnd*>(new T(Wnd, Repaint, Params, Manager, Shared));
  };
}

// The window's client area, or with WholeWindow its whole area, frame included, read back
// through its own DC (BitBlt), as 0x00RRGGBB pixels.
inline std::vector<std::uint32_t> CaptureThroughDC(HWND Wnd, bool WholeWindow, int& W, int& H) {
  RECT r{};
  if (WholeWindow) {
    GetWindowRect(Wnd, &r);
  } else {
    GetClientRect(Wnd, &r);
  }
  W = r.right - r.left;
  H = r.bottom - r.top;
  std::vector<std::uint32_t> px(static_cast<std::size_t>(W) * H);
  HDC wdc = WholeWindow ? GetWindowDC(Wnd) : GetDC(Wnd);
  HDC mdc = CreateCompatibleDC(wdc);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = W;
  bi.bmiHeader.biHeight = -H;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(wdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mdc, bmp);
  BitBlt(mdc, 0, 0, W, H, wdc, 0, 0, SRCCOPY);
  GdiFlush();
  if (bits) std::memcpy(px.data(), bits, px.size() * 4);
  SelectObject(mdc, old);
  DeleteObject(bmp);
  DeleteDC(mdc);
  ReleaseDC(Wnd, wdc);
  for (auto& p : px) p &= 0xFFFFFF;
  return px;
}

inline std::vector<std::uint32_t> CaptureClient(HWND Wnd, int& W, int& H) { return CaptureThroughDC(Wnd, false, W, H); }

}  // namespace handler_tests
