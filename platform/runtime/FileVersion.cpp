#include "platform/runtime/FileVersion.h"
#include <windows.h>
#include <string>

bool GetFixedFileVersion(const std::wstring& fileName, TFileVersion& version) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(fileName.c_str(), &ignored);
  if (size == 0) return false;
  std::string block(size, '\0');
  if (!GetFileVersionInfoW(fileName.c_str(), 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info || len < sizeof *info)
    return false;
  if (info->dwSignature != 0xFEEF04BD) return false;
  version.Major = HIWORD(info->dwFileVersionMS);
  version.Minor = LOWORD(info->dwFileVersionMS);
  version.Release = HIWORD(info->dwFileVersionLS);
  version.Build = LOWORD(info->dwFileVersionLS);
  return true;
}
