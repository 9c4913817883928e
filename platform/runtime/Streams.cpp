#include "platform/runtime/Streams.h"
#include "platform/runtime/Exceptions.h"
#include <algorithm>
#include <cstring>

std::int64_t TStream::Size() {
  std::int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return size;
}

std::string TStream::ReadToEnd() {
  std::string out;
  char buf[65536];
  for (;;) {
    std::int64_t n = Read(buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

// ---- memory ----------------------------------------------------------------
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

// Files are the Windows part; the memory streams above also build natively for the
// readers' fuzz targets and benchmarks.
#ifdef _WIN32
#include <windows.h>

// ---- file ------------------------------------------------------------------
TFileStream::TFileStream(const std::wstring& fileName, unsigned mode) : FFileName(fileName) {
  DWORD access, share, disposition;
  if ((mode & 0xFF00) == fmCreate) {
    access = GENERIC_READ | GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
  } else {
    unsigned rw = mode & 0x0003;
    access = rw == fmOpenWrite ? GENERIC_WRITE : rw == fmOpenReadWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    disposition = OPEN_EXISTING;
  }
  switch (mode & 0x00F0) {
    case fmShareExclusive: share = 0; break;
    case fmShareDenyWrite: share = FILE_SHARE_READ; break;
    case fmShareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = (mode & 0xFF00) == fmCreate ? 0 : FILE_SHARE_READ; break;
  }
  FHandle = CreateFileW(fileName.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (FHandle == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    std::wstring what = (mode & 0xFF00) == fmCreate ? L"Cannot create file \"" : L"Cannot open file \"";
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
      throw EFileNotFoundException(what + fileName + L"\". " + SysErrorMessage(e));
    throw EInOutError(what + fileName + L"\". " + SysErrorMessage(e));
  }
}

TFileStream::~TFileStream() { CloseHandle(FHandle); }

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
  std::int64_t total = 0;
  auto* p = static_cast<char*>(buffer);
  while (count > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(count, 1 << 30)), got = 0;
    if (!ReadFile(FHandle, p, chunk, &got, nullptr)) {
      DWORD e = GetLastError();
      throw EInOutError(L"Cannot read file \"" + FFileName + L"\". " + SysErrorMessage(e));
    }
    if (got == 0) break;
    total += got;
    p += got;
    count -= got;
  }
  return total;
}

void TFileStream::Write(const void* buffer, std::int64_t count) {
  auto* p = static_cast<const char*>(buffer);
  while (count > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(count, 1 << 30)), put = 0;
    if (!WriteFile(FHandle, p, chunk, &put, nullptr) || put == 0) {
      DWORD e = GetLastError();
      throw EInOutError(L"Cannot write file \"" + FFileName + L"\". " + SysErrorMessage(e));
    }
    p += put;
    count -= put;
  }
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  LARGE_INTEGER distance, result;
  distance.QuadPart = offset;
  DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN : origin == TSeekOrigin::soCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(FHandle, distance, &result, method)) {
    DWORD e = GetLastError();
    throw EInOutError(L"Cannot seek in file \"" + FFileName + L"\". " + SysErrorMessage(e));
  }
  return result.QuadPart;
}

void TFileStream::SetSize(std::int64_t size) {
  std::int64_t pos = Position();
  Seek(size, TSeekOrigin::soBeginning);
  if (!SetEndOfFile(FHandle)) {
    DWORD e = GetLastError();
    throw EInOutError(L"Cannot resize file \"" + FFileName + L"\". " + SysErrorMessage(e));
  }
  Seek(std::min(pos, size), TSeekOrigin::soBeginning);
}
#endif  // _WIN32
