#include "platform/runtime/Logger.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include <windows.h>
#include <cstdio>

TCodeSiteLogger& CodeSite() {
  static TCodeSiteLogger logger;
  return logger;
}

std::wstring ExceptionText(const std::exception& e) {
  if (auto* ours = dynamic_cast<const Exception*>(&e)) return ours->ClassName() + L": " + ours->Message();
  return L"Exception: " + Utf8ToWide(e.what());
}

bool TCodeSiteLogger::Enabled() const { std::lock_guard<std::mutex> l(FLock); return FEnabled; }
void TCodeSiteLogger::SetEnabled(bool value) { std::lock_guard<std::mutex> l(FLock); FEnabled = value; }
std::wstring TCodeSiteLogger::Category() const { std::lock_guard<std::mutex> l(FLock); return FCategory; }
void TCodeSiteLogger::SetCategory(const std::wstring& value) { std::lock_guard<std::mutex> l(FLock); FCategory = value; }
std::uint32_t TCodeSiteLogger::CategoryFontColor() const { std::lock_guard<std::mutex> l(FLock); return FCategoryFontColor; }
void TCodeSiteLogger::SetCategoryFontColor(std::uint32_t value) { std::lock_guard<std::mutex> l(FLock); FCategoryFontColor = value; }

std::wstring TCodeSiteLogger::FileName() const {
  std::lock_guard<std::mutex> l(FLock);
  return FFileName.empty() ? ChangeFileExt(ExeFileName(), L".log") : FFileName;
}
void TCodeSiteLogger::SetFileName(const std::wstring& value) { std::lock_guard<std::mutex> l(FLock); FFileName = value; }

void TCodeSiteLogger::Write(const wchar_t* kind, const std::wstring& text) {
  if (!Enabled()) return;
  SYSTEMTIME t;
  GetLocalTime(&t);
  std::wstring category = Category();
  std::wstring line = FormatW(L"%04u-%02u-%02u %02u:%02u:%02u.%03u [%ls] %ls%ls", t.wYear, t.wMonth, t.wDay, t.wHour,
                              t.wMinute, t.wSecond, t.wMilliseconds, category.c_str(), kind, text.c_str());
  OutputDebugStringW((line + L"\n").c_str());
  std::string bytes = WideToUtf8(line) + "\r\n";
  std::wstring file = FileName();
  std::lock_guard<std::mutex> l(FLock);
  HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD put;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(h);
}

void TCodeSiteLogger::Send(const std::wstring& text) { Write(L"", text); }
void TCodeSiteLogger::SendFmt(const wchar_t* format, ...) {
  if (!Enabled()) return;
  va_list args;
  va_start(args, format);
  std::wstring s = FormatV(format, args);
  va_end(args);
  Write(L"", s);
}
void TCodeSiteLogger::SendNote(const std::wstring& text) { Write(L"Note: ", text); }
void TCodeSiteLogger::SendWarning(const std::wstring& text) { Write(L"Warning: ", text); }
void TCodeSiteLogger::SendError(const std::wstring& text) { Write(L"Error: ", text); }
void TCodeSiteLogger::SendReminder(const std::wstring& text) { Write(L"Reminder: ", text); }
void TCodeSiteLogger::SendException(const std::exception& e) { Write(L"Exception: ", ExceptionText(e)); }
void TCodeSiteLogger::SendException(const std::wstring& context, const std::exception& e) {
  Write(L"Exception: ", context + L": " + ExceptionText(e));
}
void TCodeSiteLogger::SendDateTime(const std::wstring& name, double dateTime) {
  // dateTime counts days from 1899-12-30 like the stored dates do.
  long long ms = static_cast<long long>(dateTime * 86400000.0 + (dateTime >= 0 ? 0.5 : -0.5));
  long long days = ms / 86400000, rest = ms % 86400000;
  FILETIME ft;
  ULARGE_INTEGER u;
  // 1899-12-30 is 109205 days before 1601-01-01 + ... computed through SYSTEMTIME for clarity.
  SYSTEMTIME base = {1899, 12, 0, 30, 0, 0, 0, 0};
  SystemTimeToFileTime(&base, &ft);
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  u.QuadPart += static_cast<unsigned long long>(days * 86400000 + rest) * 10000ull;
  ft.dwLowDateTime = u.LowPart;
  ft.dwHighDateTime = u.HighPart;
  SYSTEMTIME st;
  FileTimeToSystemTime(&ft, &st);
  Write(L"", FormatW(L"%ls = %04u-%02u-%02u %02u:%02u:%02u.%03u", name.c_str(), st.wYear, st.wMonth, st.wDay, st.wHour,
                     st.wMinute, st.wSecond, st.wMilliseconds));
}
void TCodeSiteLogger::SendString(const std::wstring& name, const std::wstring& value) { Write(L"", name + L" = " + value); }
void TCodeSiteLogger::SendList(const std::wstring& name, const std::vector<std::wstring>& items) {
  std::wstring s = name + L" (" + std::to_wstring(items.size()) + L")";
  for (auto& i : items) s += L"\r\n    " + i;
  Write(L"", s);
}
void TCodeSiteLogger::AddSeparator() { Write(L"", L"--------------------------------"); }
void TCodeSiteLogger::AddResetSeparator() { Write(L"", L"================================"); }
