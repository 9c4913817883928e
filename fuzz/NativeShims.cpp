// The few platform pieces the reader cores use, for native (Linux) builds of the
// fuzz targets and benchmarks. The Windows build uses the real ones in platform/runtime.
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include <algorithm>
#include <cstring>

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::wstring AnsiToWide(std::string_view text, unsigned) {
  std::wstring out;
  for (char c : text) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

Exception::Exception(std::wstring message) : FMessage(std::move(message)), FWhat(WideToUtf8(FMessage)) {}

TCodeSiteLogger& CodeSite() {
  static TCodeSiteLogger logger;
  return logger;
}
void TCodeSiteLogger::SendError(const std::wstring&) {}
