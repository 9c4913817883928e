#pragma once
// A private temporary folder per test, removed with everything in it at the end.
#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/runtime/Files.h"

class TSettingsTestFolder {
public:
  TSettingsTestFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    FPath = IncludeTrailingPathDelimiter(temp) + L"tarvel-settings-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L"\\";
    ForceDirectories(FPath);
  }
  ~TSettingsTestFolder() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(FPath), ec);
  }
  const std::wstring& Path() const { return FPath; }
  std::wstring File(std::wstring_view name) const { return FPath + std::wstring(name); }

private:
  std::wstring FPath;
};

// Turns "\n" into the CR LF line breaks of the saved files.
inline std::string Crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}
