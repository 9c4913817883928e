#pragma once
// Small helpers the updater and the shell share: HTTP text, size and duration texts,
// deletion by mask, URL parts, MD5 digests, executable version text, string choice.
#include <cstdint>
#include <string>

class TStream;

// GET with a default HTTP client; the body as UTF-8 whatever charset the response names
// (gzip inflated). The status is not looked at; network failures raise ENetHTTPException kinds.
std::wstring HttpGetText(const std::wstring& AUrl);

// "%d B" below 1024, then "%0.2f kB" .. "%0.2f PB" by powers of 1024, "big" from 2^60.
std::wstring FormatSize(std::int64_t ASize);
// "hh:nn:ss" or "hh:nn:ss.zzz", preceded by the whole days and " дн. " when there are any.
std::wstring FormatDuration(std::uint32_t AMilliseconds, bool AWithMs);

// Deletes every file directly in AFolder whose name matches AMask ("*" and "?", without
// regard to case). The first file that cannot be deleted raises EInOutError.
void DeleteFiles(const std::wstring& AFolder, const std::wstring& AMask);

class TUrl {
public:
  TUrl() = delete;
  // Scheme and host of the first URL-looking text in AUrl with a backslash appended, or empty.
  static std::wstring GetHost(const std::wstring& AUrl);
  // AUrl without scheme, host and the one character after the host; AUrl when it has no host.
  static std::wstring GetPath(const std::wstring& AUrl);
  static bool IsValid(const std::wstring& AUrl);
};

// MD5 as 32 lowercase hexadecimal digits. The file is read while others may read and write it;
// the stream from its position to its end, which leaves it at its end.
std::wstring FileMD5(const std::wstring& AFileName);
std::wstring StreamMD5(TStream& AStream);

// "major.minor.release" (".build" with AWithBuild) of the fixed file version, "?.?.?.?" without one.
std::wstring FileVersionText(const std::wstring& AFileName, bool AWithBuild);

std::wstring ChooseText(bool AValue, const std::wstring& ATrue, const std::wstring& AFalse);
