#include "platform/runtime/Files.h"
#include "platform/runtime/Exceptions.h"
#include <windows.h>
#include <shellapi.h>
#include <mutex>

namespace {
std::mutex g_seamLock;
std::vector<std::wstring> g_paramsOverride;
std::wstring g_exeOverride;

std::vector<std::wstring> RealParams() {
  std::vector<std::wstring> args;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv) {
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
  }
  if (args.empty()) args.push_back(ExeFileName());
  return args;
}

std::vector<std::wstring> Params() {
  {
    std::lock_guard<std::mutex> lock(g_seamLock);
    if (!g_paramsOverride.empty()) return g_paramsOverride;
  }
  return RealParams();
}

bool IsDelimiter(wchar_t c) { return c == L'\\' || c == L'/'; }
}  // namespace

int ParamCount() { return static_cast<int>(Params().size()) - 1; }

std::wstring ParamStr(int index) {
  auto p = Params();
  if (index < 0 || index >= static_cast<int>(p.size())) return {};
  return p[index];
}

void SetParamsOverride(std::vector<std::wstring> args) {
  std::lock_guard<std::mutex> lock(g_seamLock);
  g_paramsOverride = std::move(args);
}

std::wstring ExeFileName() {
  {
    std::lock_guard<std::mutex> lock(g_seamLock);
    if (!g_exeOverride.empty()) return g_exeOverride;
  }
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    buf.resize(buf.size() * 2);
  }
}

void SetExeFileNameOverride(std::wstring path) {
  std::lock_guard<std::mutex> lock(g_seamLock);
  g_exeOverride = std::move(path);
}

std::wstring ExeDir() { return ExtractFilePath(ExeFileName()); }

std::wstring GetCurrentDir() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  std::wstring buf(n, L'\0');
  n = GetCurrentDirectoryW(n, buf.data());
  buf.resize(n);
  return buf;
}

std::wstring IncludeTrailingPathDelimiter(std::wstring_view path) {
  std::wstring s(path);
  if (s.empty() || !IsDelimiter(s.back())) s += L'\\';
  return s;
}

std::wstring ExcludeTrailingPathDelimiter(std::wstring_view path) {
  std::wstring s(path);
  while (!s.empty() && IsDelimiter(s.back())) s.pop_back();
  return s;
}

static size_t LastDelimiter(std::wstring_view path) {
  size_t pos = path.find_last_of(L"\\/:");
  return pos;
}

std::wstring ExtractFilePath(std::wstring_view path) {
  size_t pos = LastDelimiter(path);
  return pos == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, pos + 1));
}

std::wstring ExtractFileName(std::wstring_view path) {
  size_t pos = LastDelimiter(path);
  return std::wstring(pos == std::wstring_view::npos ? path : path.substr(pos + 1));
}

std::wstring ExtractFileExt(std::wstring_view path) {
  std::wstring name = ExtractFileName(path);
  size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view ext) {
  std::wstring name = ExtractFileName(path);
  size_t dot = name.rfind(L'.');
  std::wstring base(path.substr(0, path.size() - (dot == std::wstring::npos ? 0 : name.size() - dot)));
  return base + std::wstring(ext);
}

std::wstring ExpandFileName(std::wstring_view path) {
  std::wstring p(path);
  DWORD n = GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
  if (!n) return p;
  std::wstring out(n, L'\0');
  n = GetFullPathNameW(p.c_str(), n, out.data(), nullptr);
  out.resize(n);
  return out;
}

bool FileExists(std::wstring_view path) {
  DWORD a = GetFileAttributesW(std::wstring(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::wstring_view path) {
  DWORD a = GetFileAttributesW(std::wstring(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(std::wstring_view path) {
  std::wstring dir = ExcludeTrailingPathDelimiter(path);
  if (dir.empty() || DirectoryExists(dir)) return true;
  std::wstring parent = ExtractFilePath(dir);
  if (!parent.empty() && parent != dir && !(parent.size() <= 3 && parent.back() == L':'))
    if (!ForceDirectories(parent)) return false;
  return CreateDirectoryW(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool DeleteFileW2(std::wstring_view path) { return ::DeleteFileW(std::wstring(path).c_str()) != 0; }

namespace {
void ListInto(const std::wstring& folder, const std::function<bool(const std::wstring&, const std::wstring&)>& filter,
              std::vector<std::wstring>& out) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name == L"." || name == L".." || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
      ListInto(folder + name + L"\\", filter, out);
    } else if (!filter || filter(folder, name)) {
      out.push_back(folder + name);
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}
}  // namespace

std::vector<std::wstring> ListFilesRecursive(
    std::wstring_view folder, const std::function<bool(const std::wstring&, const std::wstring&)>& filter) {
  if (!DirectoryExists(folder)) throw EInOutError(L"Folder not found: \"" + std::wstring(folder) + L"\"");
  std::vector<std::wstring> out;
  ListInto(IncludeTrailingPathDelimiter(folder), filter, out);
  return out;
}

std::int64_t FileSizeOf(std::wstring_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(std::wstring(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string ReadAllBytes(std::wstring_view path) {
  std::wstring p(path);
  HANDLE h = CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
      throw EFileNotFoundException(L"Cannot open file \"" + p + L"\". " + SysErrorMessage(e));
    throw EInOutError(L"Cannot open file \"" + p + L"\". " + SysErrorMessage(e));
  }
  std::string data;
  char buf[65536];
  DWORD got = 0;
  for (;;) {
    if (!ReadFile(h, buf, sizeof buf, &got, nullptr)) {
      DWORD e = GetLastError();
      CloseHandle(h);
      throw EInOutError(L"Cannot read file \"" + p + L"\". " + SysErrorMessage(e));
    }
    if (got == 0) break;
    data.append(buf, got);
  }
  CloseHandle(h);
  return data;
}

void WriteAllBytes(std::wstring_view path, std::string_view bytes) {
  std::wstring p(path);
  HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    throw EInOutError(L"Cannot create file \"" + p + L"\". " + SysErrorMessage(e));
  }
  size_t off = 0;
  while (off < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - off, 1 << 20)), put = 0;
    // A write that reports success but takes nothing would loop for ever.
    BOOL written = WriteFile(h, bytes.data() + off, chunk, &put, nullptr);
    if (!written || put == 0) {
      DWORD e = written ? ERROR_WRITE_FAULT : GetLastError();
      CloseHandle(h);
      throw EInOutError(L"Cannot write file \"" + p + L"\". " + SysErrorMessage(e));
    }
    off += put;
  }
  // A save is only a save once the data is on the disk.
  if (!FlushFileBuffers(h)) {
    DWORD e = GetLastError();
    CloseHandle(h);
    throw EInOutError(L"Cannot write file \"" + p + L"\". " + SysErrorMessage(e));
  }
  CloseHandle(h);
}

void WriteAllBytesAtomic(std::wstring_view path, std::string_view bytes) {
  std::wstring target(path);
  // A read-only file is not replaced. Windows refuses the move onto it; Wine would replace
  // it, so the attribute is asked here and both behave alike.
  DWORD attrs = GetFileAttributesW(target.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY) && !(attrs & FILE_ATTRIBUTE_DIRECTORY))
    throw EInOutError(L"Cannot replace file \"" + target + L"\". " + SysErrorMessage(ERROR_ACCESS_DENIED));
  std::wstring temp = target + L".tmp" + std::to_wstring(GetCurrentProcessId());
  try {
    WriteAllBytes(temp, bytes);
  } catch (...) {
    ::DeleteFileW(temp.c_str());  // a half-written temporary file is of no use to anybody
    throw;
  }
  if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DWORD e = GetLastError();
    ::DeleteFileW(temp.c_str());
    throw EInOutError(L"Cannot replace file \"" + target + L"\". " + SysErrorMessage(e));
  }
}
