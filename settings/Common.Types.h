#pragma once
// The progress record the updater sends to the progress window.
#include <cstdint>
#include <string>

struct TProgressInfo {
  bool Wait = false;      // no percentage yet: the window shows its spinner
  std::wstring Title;
  std::wstring Stage;
  std::wstring State;
  std::wstring Count;     // not shown by the window
  std::uint8_t Percent = 0;

  TProgressInfo() = default;
  TProgressInfo(const std::wstring& ATitle, bool AWait) { Create(ATitle, AWait); }
  // Starts the record afresh for a title; Count keeps what it held.
  TProgressInfo& Create(const std::wstring& ATitle, bool AWait);
};
