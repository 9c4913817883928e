#include "settings/Common.Utils.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/FileVersion.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/HttpClient.h"
#include "platform/runtime/Md5.h"
#include "platform/runtime/Regex.h"
#include "platform/runtime/Streams.h"
#include "platform/runtime/Strings.h"
#include "platform/runtime/Uri.h"
#include <windows.h>
#include <cwctype>
#include <vector>

std::wstring HttpGetText(const std::wstring& AUrl) {
  THTTPClient client;
  return client.Get(AUrl).ContentAsString(CP_UTF8);
}

std::wstring FormatSize(std::int64_t ASize) {
  static const wchar_t* const units[] = {L" kB", L" MB", L" GB", L" TB", L" PB"};
  if (ASize < 1024) return FormatW(L"%lld B", static_cast<long long>(ASize));
  if (ASize >= (std::int64_t(1) << 60)) return L"big";
  double divisor = 1024;
  for (int i = 0; i < 5; ++i, divisor *= 1024)
    if (ASize < (std::int64_t(1) << (10 * (i + 2))) || i == 4) return FloatToFixed(ASize / divisor, 2) + units[i];
  return L"big";
}

std::wstring FormatDuration(std::uint32_t AMilliseconds, bool AWithMs) {
  std::uint32_t days = AMilliseconds / 86400000u, rest = AMilliseconds % 86400000u;
  std::wstring text = days >= 1 ? FormatW(L"%u дн. ", days) : std::wstring();
  unsigned hours = rest / 3600000u, minutes = rest / 60000u % 60, seconds = rest / 1000u % 60, ms = rest % 1000u;
  text += AWithMs ? FormatW(L"%02u:%02u:%02u.%03u", hours, minutes, seconds, ms)
                  : FormatW(L"%02u:%02u:%02u", hours, minutes, seconds);
  return text;
}

namespace {
// "*" any run of characters, "?" exactly one; case-insensitive, iterative so that no mask
// can make it recurse deeply.
bool MatchesMask(std::wstring_view name, std::wstring_view mask) {
  std::wstring n = UpperCase(name), m = UpperCase(mask);
  size_t i = 0, j = 0, star = std::wstring::npos, mark = 0;
  while (i < n.size()) {
    if (j < m.size() && (m[j] == L'?' || m[j] == n[i])) {
      ++i;
      ++j;
    } else if (j < m.size() && m[j] == L'*') {
      star = j++;
      mark = i;
    } else if (star != std::wstring::npos) {
      j = star + 1;
      i = ++mark;
    } else {
      return false;
    }
  }
  while (j < m.size() && m[j] == L'*') ++j;
  return j == m.size();
}
}  // namespace

void DeleteFiles(const std::wstring& AFolder, const std::wstring& AMask) {
  std::wstring folder = IncludeTrailingPathDelimiter(AFolder);
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && MatchesMask(data.cFileName, AMask))
        files.push_back(folder + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  for (auto& file : files)
    if (!::DeleteFileW(file.c_str())) throw EInOutError(SysErrorMessage(GetLastError()));
}

std::wstring TUrl::GetHost(const std::wstring& AUrl) {
  static const TRegEx host(L"((http|ftp|https):\\/\\/)(([\\w.-]*)\\.([\\w]*))");
  TMatch match = host.Match(AUrl);
  return match.Success ? match.Value + L"\\" : std::wstring();
}

std::wstring TUrl::GetPath(const std::wstring& AUrl) {
  std::wstring host = GetHost(AUrl);
  if (host.empty()) return AUrl;
  return host.size() >= AUrl.size() ? std::wstring() : AUrl.substr(host.size());
}

bool TUrl::IsValid(const std::wstring& AUrl) {
  try {
    TURI::Parse(AUrl);
    return true;
  } catch (const ENetURIException&) {
    return false;
  }
}

std::wstring StreamMD5(TStream& AStream) {
  TMD5 md5;
  // Large reads: under Wine every read and every hash step is a call through several layers.
  std::string block(64 * 1024, '\0');
  for (;;) {
    std::int64_t n = AStream.Read(block.data(), static_cast<std::int64_t>(block.size()));
    if (n <= 0) break;
    md5.Update(block.data(), static_cast<size_t>(n));
  }
  return md5.HexDigest();
}

std::wstring FileMD5(const std::wstring& AFileName) {
  TFileStream file(AFileName, fmOpenRead | fmShareDenyNone);
  return StreamMD5(file);
}

std::wstring FileVersionText(const std::wstring& AFileName, bool AWithBuild) {
  TFileVersion v;
  if (!GetFixedFileVersion(AFileName, v)) return L"?.?.?.?";
  std::wstring text = FormatW(L"%u.%u.%u", v.Major, v.Minor, v.Release);
  if (AWithBuild) text += FormatW(L".%u", v.Build);
  return text;
}

std::wstring ChooseText(bool AValue, const std::wstring& ATrue, const std::wstring& AFalse) {
  return AValue ? ATrue : AFalse;
}
