#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Strings.h"
#include <windows.h>

Exception::Exception(std::wstring message) : FMessage(std::move(message)), FWhat(WideToUtf8(FMessage)) {}

std::wstring SysErrorMessage(unsigned long code) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : L"System error " + std::to_wstring(code);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
    text.pop_back();
  return text;
}

void RaiseLastOSError(unsigned long code, const std::wstring& context) {
  if (code == 0) code = GetLastError();
  std::wstring msg = SysErrorMessage(code);
  if (!context.empty()) msg = context + L": " + msg;
  throw EOSError(msg);
}
