#pragma once
// Files, folders and paths, plus the process facts tests must be able to vary:
// the argument vector and the running executable's path.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// ---- process seams -------------------------------------------------------
// Argument 0 is the program path; the rest as Windows splits and unquotes them.
int ParamCount();
std::wstring ParamStr(int index);
// Replaces the argument vector (argument 0 included); an empty vector restores the real one.
void SetParamsOverride(std::vector<std::wstring> args);
// The running executable's full path; the override also moves ExeDir().
std::wstring ExeFileName();
void SetExeFileNameOverride(std::wstring path);  // empty restores the real one
// The executable's folder with its trailing backslash.
std::wstring ExeDir();
std::wstring GetCurrentDir();

// ---- paths ---------------------------------------------------------------
std::wstring IncludeTrailingPathDelimiter(std::wstring_view path);
std::wstring ExcludeTrailingPathDelimiter(std::wstring_view path);
std::wstring ExtractFilePath(std::wstring_view path);  // with the trailing delimiter
std::wstring ExtractFileName(std::wstring_view path);
std::wstring ExtractFileExt(std::wstring_view path);   // with the point
std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view ext);
std::wstring ExpandFileName(std::wstring_view path);

// ---- files and folders ---------------------------------------------------
bool FileExists(std::wstring_view path);
bool DirectoryExists(std::wstring_view path);
bool ForceDirectories(std::wstring_view path);
bool DeleteFileW2(std::wstring_view path);  // false when it could not be deleted
std::int64_t FileSizeOf(std::wstring_view path);  // -1 when missing
// Every file below folder, subfolders included, as full paths in the order the system lists
// them. filter, when given, is asked with the holding folder (trailing backslash included) and
// the file name; false leaves the file out. Linked folders (reparse points) are not entered, so
// the walk never leaves the folder. Raises EInOutError when folder does not exist.
std::vector<std::wstring> ListFilesRecursive(
    std::wstring_view folder, const std::function<bool(const std::wstring&, const std::wstring&)>& filter = {});

// Whole-file reads and writes; raise EInOutError/EFileNotFoundException with the system's message.
std::string ReadAllBytes(std::wstring_view path);
void WriteAllBytes(std::wstring_view path, std::string_view bytes);
// Writes a temporary file beside the target and moves it over the target in one step,
// so a crash mid-write never leaves a truncated file behind. A read-only target is not
// replaced (EInOutError), as Windows itself refuses.
void WriteAllBytesAtomic(std::wstring_view path, std::string_view bytes);
