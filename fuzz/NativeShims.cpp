// The few platform pieces the reader cores use, for native (Linux) builds of the
// fuzz targets and benchmarks. The Windows build uses the real ones in platform/runtime.
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Streams.h"
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

std::int64_t TStream::Size() {
  std::int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return size;
}

std::string TStream::ReadToEnd() {
  std::string out;
  char buf[65536];
  for (std::int64_t n; (n = Read(buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  return out;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  std::int64_t size = static_cast<std::int64_t>(FData.size());
  if (count <= 0 || FPosition >= size) return 0;
  std::int64_t n = std::min(count, size - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return;
  size_t end = static_cast<size_t>(FPosition + count);
  if (end > FData.size()) FData.resize(end);
  std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition += count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                      : origin == TSeekOrigin::soCurrent ? FPosition
                                                         : static_cast<std::int64_t>(FData.size());
  FPosition = std::max<std::int64_t>(0, base + offset);
  return FPosition;
}

void TMemoryStream::SetSize(std::int64_t size) {
  FData.resize(static_cast<size_t>(std::max<std::int64_t>(0, size)));
  FPosition = std::min<std::int64_t>(FPosition, static_cast<std::int64_t>(FData.size()));
}
