#pragma once
// What the skin engine hands to layered windows, kept for the tests: under Wine with Xvfb
// partial alpha is not composited on the screen, so the frames are checked as they leave the
// engine. Also a tick source for the engine's frame waits that advances on each read, so
// frame loops run at once and show their pacing.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

// One UpdateLayeredWindow call: window, place (when given), size, constant alpha, the source
// pixels (top row first, Width x Height from the source point), the fake clock's time and the
// window's rectangle before the push.
struct TLayeredPush {
  HWND Wnd = nullptr;
  bool HasPos = false;
  POINT Pos{};
  SIZE Size{};
  std::uint8_t Alpha = 0;
  std::vector<std::uint32_t> Pixels;
  DWORD Tick = 0;
  RECT WindowRect{};  // where the window was when the push came
  COLORREF Key = 0;   // the colour key and the ULW_ flags of the call
  DWORD Flags = 0;
  std::uint32_t Pixel(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Size.cx + x]; }
};

// Stands in for UpdateLayeredWindowEntry while it lives: keeps each push and forwards it to
// the entry that was there (none: the push is only kept). One at a time.
class TLayeredRecorder {
public:
  explicit TLayeredRecorder(bool Forward = true);
  ~TLayeredRecorder();
  TLayeredRecorder(const TLayeredRecorder&) = delete;
  TLayeredRecorder& operator=(const TLayeredRecorder&) = delete;
  std::vector<TLayeredPush> Pushes;
  // Stamps each push (for example with a fake clock's current time); none: Tick 0.
  std::function<DWORD()> Clock;
  // The pushes to one window.
  std::vector<TLayeredPush> To(HWND Wnd) const;

private:
  static BOOL WINAPI Record(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
  void* FSaved;
  bool FForward;
};

// The engine's tick source (SetTickCountSource) while it lives: each read answers Now and
// then advances it by Step. A wait that would never end fails the test instead of hanging.
class TFakeClock {
public:
  explicit TFakeClock(DWORD Start = 1000, DWORD Step = 1);
  ~TFakeClock();
  TFakeClock(const TFakeClock&) = delete;
  TFakeClock& operator=(const TFakeClock&) = delete;
  DWORD Now;
  DWORD Step;
  int Reads = 0;
  DWORD Read();
};
