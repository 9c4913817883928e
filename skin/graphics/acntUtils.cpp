#include "skin/graphics/acntUtils.h"

#include <shellapi.h>

#include <algorithm>

#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include "skin/graphics/acMessageBox.h"

// ---------------------------------------------------------------------------
// Start-up: the optional entry points
// ---------------------------------------------------------------------------

namespace {

using TIsDebuggerPresent = BOOL(WINAPI*)();
using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);

template <class F>
F Bind(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

struct TShellInfo {
  HMODULE Shell32 = nullptr;
  TSHGetFileInfoW GetFileInfo = nullptr;
  bool Replaced = false;  // a test put Replacement in place of GetFileInfo
  TSHGetFileInfoW Replacement = nullptr;
  TShellInfo() {
    Shell32 = LoadLibraryW(L"shell32.dll");
    if (Shell32) GetFileInfo = Bind<TSHGetFileInfoW>(Shell32, "SHGetFileInfoW");
  }
  TShellInfo(const TShellInfo&) = delete;
  ~TShellInfo() {
    if (Shell32) FreeLibrary(Shell32);
  }
};

// Loaded once, on first use, and freed at exit.
TShellInfo& ShellInfo() {
  static TShellInfo info;
  return info;
}

struct TUnitState {
  HMODULE Kernel32 = nullptr;
  HMODULE User32 = nullptr;
  TIsDebuggerPresent IsDebuggerPresentEntry = nullptr;
  TIsWow64Process IsWow64ProcessEntry = nullptr;
  TSystemParametersInfoForDpi ParametersForDpi = nullptr;
  bool Wow64WithoutDwm = false;
  TUnitState() = default;
  TUnitState(const TUnitState&) = delete;
  ~TUnitState() {
    if (User32) FreeLibrary(User32);
    if (Kernel32) FreeLibrary(Kernel32);
  }
};

bool QueryWow64(const TUnitState& s) {
  BOOL wow = FALSE;
  return s.IsWow64ProcessEntry && s.IsWow64ProcessEntry(GetCurrentProcess(), &wow) && wow;
}

TUnitState& UnitState() {
  static TUnitState state;
  static bool started = [] {
    state.Kernel32 = LoadLibraryW(L"kernel32.dll");
    state.IsDebuggerPresentEntry = Bind<TIsDebuggerPresent>(state.Kernel32, "IsDebuggerPresent");
    state.IsWow64ProcessEntry = Bind<TIsWow64Process>(state.Kernel32, "IsWow64Process");
    state.Wow64WithoutDwm = QueryWow64(state) && !IsDwmCompositionOn();
    LoadShellFileInfo();
    state.User32 = LoadLibraryW(L"user32.dll");
    state.ParametersForDpi = Bind<TSystemParametersInfoForDpi>(state.User32, "SystemParametersInfoForDpi");
    return true;
  }();
  (void)started;
  return state;
}

}  // namespace

void InitUtilsUnit() { UnitState(); }

TSystemParametersInfoForDpi SystemParametersInfoForDpiEntry() { return UnitState().ParametersForDpi; }

void LoadShellFileInfo() { ShellInfo(); }

TSHGetFileInfoW ShellFileInfoEntry() {
  const TShellInfo& info = ShellInfo();
  return info.Replaced ? info.Replacement : info.GetFileInfo;
}

void SetShellFileInfoEntry(TSHGetFileInfoW Entry) {
  ShellInfo().Replaced = true;
  ShellInfo().Replacement = Entry;
}

void RestoreShellFileInfoEntry() {
  ShellInfo().Replaced = false;
  ShellInfo().Replacement = nullptr;
}

// ---------------------------------------------------------------------------
// INI-style option texts
// ---------------------------------------------------------------------------

void ParseIniSections(const std::vector<std::wstring>& lines, TIniSections& sections) {
  sections.clear();
  TIniSection* current = nullptr;
  for (const std::wstring& line : lines) {
    if (line.empty() || line[0] == L';') continue;
    if (line.front() == L'[' && line.back() == L']' && line.size() >= 2) {
      sections.push_back({line.substr(1, line.size() - 2), {}});
      current = &sections.back();
      continue;
    }
    if (current) current->Lines.push_back(line);
  }
}

std::wstring ReadIniString(const TIniSections& sections, std::wstring_view section, std::wstring_view key,
                           std::wstring_view defaultValue) {
  for (const TIniSection& s : sections) {
    if (!SameText(s.Name, section)) continue;
    // Only the first section of that name is ever read.
    for (const std::wstring& line : s.Lines) {
      std::size_t eq = line.find(L'=');
      if (eq == std::wstring::npos) continue;
      if (SameText(std::wstring_view(line).substr(0, eq), key)) return line.substr(eq + 1);
    }
    break;
  }
  return std::wstring(defaultValue);
}

int ReadIniInteger(const TIniSections& sections, std::wstring_view section, std::wstring_view key,
                   int defaultValue) {
  std::wstring text = ReadIniString(sections, section, key, L"");
  if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) text = L"$" + text.substr(2);
  int value = 0;
  return TryStrToInt(text, value) ? value : defaultValue;
}

// ---------------------------------------------------------------------------
// Texts and words
// ---------------------------------------------------------------------------

TSysCharSet MakeCharSet(std::string_view chars) {
  TSysCharSet set;
  for (char c : chars) set.set(static_cast<unsigned char>(c));
  return set;
}

std::int64_t HexToInt64(std::string_view text) {
  if (!text.empty() && (text.back() == 'H' || text.back() == 'h')) text.remove_suffix(1);
  std::uint64_t value = 0;
  for (char c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return 0;
    value = value * 16 + static_cast<std::uint64_t>(digit);  // wraps: the low 64 bits stay
  }
  return static_cast<std::int64_t>(value);
}

bool WideCharInSet(wchar_t c, const TSysCharSet& set) {
  return static_cast<unsigned>(c) < 256 && set.test(static_cast<unsigned>(c));
}

namespace {

bool InSet(wchar_t c, const TSysCharSet& set) { return WideCharInSet(c, set); }
bool InSet(char c, const TSysCharSet& set) { return set.test(static_cast<unsigned char>(c)); }

template <class View>
int CountWords(View text, const TSysCharSet& delimiters) {
  int count = 0;
  bool inWord = false;
  for (auto c : text) {
    bool delimiter = InSet(c, delimiters);
    if (!delimiter && !inWord) ++count;
    inWord = !delimiter;
  }
  return count;
}

// Zero-based start of the N-th word, npos when there are fewer words.
template <class View>
std::size_t WordStart(int n, View text, const TSysCharSet& delimiters) {
  if (n < 1) return View::npos;
  int count = 0;
  bool inWord = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool delimiter = InSet(text[i], delimiters);
    if (!delimiter && !inWord && ++count == n) return i;
    inWord = !delimiter;
  }
  return View::npos;
}

template <class View>
View WordAt(int n, View text, const TSysCharSet& delimiters) {
  std::size_t start = WordStart(n, text, delimiters);
  if (start == View::npos) return View();
  std::size_t end = start;
  while (end < text.size() && !InSet(text[end], delimiters)) ++end;
  return text.substr(start, end - start);
}

}  // namespace

int WordCount(std::wstring_view text, const TSysCharSet& delimiters) { return CountWords(text, delimiters); }
int WordCountA(std::string_view text, const TSysCharSet& delimiters) { return CountWords(text, delimiters); }

int WordPosition(int n, std::wstring_view text, const TSysCharSet& delimiters) {
  std::size_t start = WordStart(n, text, delimiters);
  return start == std::wstring_view::npos ? 0 : static_cast<int>(start) + 1;
}

std::wstring ExtractWord(int n, std::wstring_view text, const TSysCharSet& delimiters) {
  return std::wstring(WordAt(n, text, delimiters));
}

std::string ExtractWordA(int n, std::string_view text, const TSysCharSet& delimiters) {
  return std::string(WordAt(n, text, delimiters));
}

std::wstring DeleteChars(std::wstring_view text, wchar_t c) {
  std::wstring result;
  result.reserve(text.size());
  for (wchar_t ch : text)
    if (ch != c) result += ch;
  return result;
}

std::string StringOfCharA(char c, int count) { return count > 0 ? std::string(count, c) : std::string(); }

std::string PadLeftA(char c, std::string_view text, int length) {
  std::string result(text);
  if (static_cast<int>(text.size()) < length) result.insert(0, length - text.size(), c);
  return result;
}

std::wstring ReplaceAllText(std::wstring_view text, std::wstring_view sub, std::wstring_view replacement) {
  if (sub.empty()) return std::wstring(text);
  std::wstring result;
  std::size_t pos = 0;
  for (;;) {
    std::size_t found = text.find(sub, pos);
    if (found == std::wstring_view::npos) break;
    result.append(text.substr(pos, found - pos));
    result.append(replacement);
    pos = found + sub.size();
  }
  result.append(text.substr(pos));
  return result;
}

// ---------------------------------------------------------------------------
// Numbers
// ---------------------------------------------------------------------------

bool IsBetween(int value, int low, int high, bool anyOrder) {
  if (anyOrder && high <= low) return high <= value && value <= low;
  return low <= value && value <= high;
}

bool IsInRange(int value, int high, int low) { return low <= value && value < high; }

int ClampValue(int value, int min, int max) {
  if (value < min) return min;
  if (value > max) return max;
  return value;
}

void SwapInts(int& a, int& b) { std::swap(a, b); }

// ---------------------------------------------------------------------------
// Rectangles
// ---------------------------------------------------------------------------

int RectWidth(const TRect& r, bool nonNegative) {
  int w = r.Right - r.Left;
  return nonNegative && w < 0 ? 0 : w;
}

int RectHeight(const TRect& r, bool nonNegative) {
  int h = r.Bottom - r.Top;
  return nonNegative && h < 0 ? 0 : h;
}

TRect MakeRectWH(int right, int bottom, int left, int top) { return TRect{left, top, right, bottom}; }

TRect BitmapRect(const TBitmap* bitmap) {
  return bitmap ? TRect{0, 0, bitmap->Width(), bitmap->Height()} : TRect{};
}

TRect SizeRect(const TSize& size) { return TRect{0, 0, size.cx, size.cy}; }

TSize BitmapSize(const TBitmap* bitmap) { return bitmap ? TSize{bitmap->Width(), bitmap->Height()} : TSize{}; }

TSize RectSize(const TRect& r) { return TSize{RectWidth(r, true), RectHeight(r, true)}; }

TRect OffsetRectBy(const TRect& r, const TRect& d) {
  return TRect{r.Left + d.Left, r.Top + d.Top, r.Right + d.Right, r.Bottom + d.Bottom};
}

TRect OffsetRectXY(const TRect& r, int dx, int dy) {
  return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

TRect IntersectRects(const TRect& a, const TRect& b) {
  return TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
}

bool RectsOverlap(const TRect& a, const TRect& b) {
  if (b.Right <= b.Left || b.Bottom <= b.Top) return false;
  return !(a.Top >= b.Bottom || a.Left >= b.Right || b.Left >= a.Right || b.Top >= a.Bottom);
}

bool RectInRect(const TRect& a, const TRect& b, bool contain) {
  if (contain) {
    auto inWidened = [&a](int x, int y) {
      return a.Left <= x && x < a.Right + 1 && a.Top <= y && y < a.Bottom + 1;
    };
    return inWidened(b.Left, b.Top) && inWidened(b.Right, b.Bottom);
  }
  return b.Left < a.Right + 1 && a.Left < b.Right && b.Top < a.Bottom + 1 && a.Top < b.Bottom;
}

void MirrorRect(TRect& r, int width, int height, bool horizontal) {
  if (horizontal) {
    int left = r.Left;
    r.Left = width - r.Right;
    r.Right = width - left;
  } else {
    int top = r.Top;
    r.Top = height - r.Bottom;
    r.Bottom = height - top;
  }
}

void MirrorRectIn(TRect& r, const TRect& c, bool horizontal) {
  if (horizontal) {
    int left = r.Left;
    r.Left = c.Left + c.Right - r.Right;
    r.Right = c.Left + c.Right - left;
  } else {
    int top = r.Top;
    r.Top = c.Top + c.Bottom - r.Bottom;
    r.Bottom = c.Top + c.Bottom - top;
  }
}

TCacheInfo MakeCacheInfo(TBitmap* bitmap, int x, int y) {
  TCacheInfo info;
  info.Bmp = bitmap;
  info.X = x;
  info.Y = y;
  info.FillColor = 0xFF00FF;
  info.FillRect = TRect{};
  info.Ready = true;
  return info;
}

void InitBlendFunction(BLENDFUNCTION& blend, std::uint8_t alpha) {
  blend.BlendOp = AC_SRC_OVER;
  blend.BlendFlags = 0;
  blend.SourceConstantAlpha = alpha;
  blend.AlphaFormat = AC_SRC_ALPHA;
}

// ---------------------------------------------------------------------------
// The operating system
// ---------------------------------------------------------------------------

bool IsWinXPOrLater() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return false;
#pragma GCC diagnostic pop
  return info.dwMajorVersion > 5 || (info.dwMajorVersion == 5 && info.dwMinorVersion >= 1);
}

bool DebuggerPresent() {
  TUnitState& s = UnitState();
  return !s.IsDebuggerPresentEntry || s.IsDebuggerPresentEntry();
}

bool IsWow64() { return QueryWow64(UnitState()); }

bool Wow64WithoutDwm() { return UnitState().Wow64WithoutDwm; }

bool SystemAnimationEnabled() {
  ANIMATIONINFO info{};
  info.cbSize = sizeof(info);
  if (!SystemParametersInfoW(SPI_GETANIMATION, sizeof(info), &info, 0)) return false;
  return info.iMinAnimate != 0;
}

void SetSystemAnimation(bool on) {
  ANIMATIONINFO info{};
  info.cbSize = sizeof(info);
  info.iMinAnimate = on ? -1 : 0;
  SystemParametersInfoW(SPI_SETANIMATION, sizeof(info), &info, 0);
}

// ---------------------------------------------------------------------------
// Set properties through their text form
// ---------------------------------------------------------------------------

std::wstring ChangeSetText(std::wstring_view text, std::wstring_view element, bool add, bool& changed) {
  changed = false;
  std::vector<std::wstring> names;
  for (std::wstring& name : SplitString(text, L','))
    if (!name.empty()) names.push_back(std::move(name));
  auto found = std::find(names.begin(), names.end(), element);
  if (add && found == names.end() && !element.empty()) {
    names.emplace_back(element);
    changed = true;
  } else if (!add && found != names.end()) {
    names.erase(found);
    changed = true;
  }
  std::wstring result;
  for (const std::wstring& name : names) {
    if (!result.empty()) result += L',';
    result += name;
  }
  return result;
}

// ---------------------------------------------------------------------------
// Paths and files
// ---------------------------------------------------------------------------

std::wstring AddTrailingBackslash(std::wstring_view path) {
  if (path.empty()) return std::wstring();
  if (path.back() == L'\\') return std::wstring(path);
  if (path.back() == L'/') return std::wstring(path.substr(0, path.size() - 1)) + L'\\';
  if (path.size() == 1) return std::wstring(path) + L":\\";
  return std::wstring(path) + L'\\';
}

bool DirectoryExistsEx(std::wstring_view path, bool followLink) {
  std::wstring p(path);
  DWORD attr = GetFileAttributesW(p.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) {
    switch (GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_NOT_READY:
      case ERROR_BAD_NETPATH:
      case ERROR_INVALID_NAME:
        return false;
      default:
        // Something is there that cannot be looked at (a locked or denied entry).
        return true;
    }
  }
  if ((attr & FILE_ATTRIBUTE_REPARSE_POINT) && followLink) {
    HANDLE h = CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;  // a dangling link
    CloseHandle(h);
  }
  return (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

void FillSearchRec(TSearchRec& rec, const WIN32_FIND_DATAW& data) {
  rec.Name = data.cFileName;
  rec.Attr = data.dwFileAttributes;
  rec.Size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  rec.Time = data.ftLastWriteTime;
}

// Skips entries with excluded attributes; 0 when one is found, else the error.
int FindMatching(TSearchRec& rec, WIN32_FIND_DATAW& data) {
  while (data.dwFileAttributes & rec.ExcludeAttr) {
    if (!FindNextFileW(rec.FindHandle, &data)) return static_cast<int>(GetLastError());
  }
  FillSearchRec(rec, data);
  return 0;
}

}  // namespace

int FindFirstEntry(std::wstring_view path, DWORD attr, TSearchRec& rec) {
  constexpr DWORD kOptional = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x08 /* volume id */ |
                              FILE_ATTRIBUTE_DIRECTORY;
  rec.ExcludeAttr = ~attr & kOptional;
  WIN32_FIND_DATAW data;
  rec.FindHandle = FindFirstFileW(std::wstring(path).c_str(), &data);
  if (rec.FindHandle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  int result = FindMatching(rec, data);
  if (result != 0) FindCloseSearch(rec);
  return result;
}

int FindNextEntry(TSearchRec& rec) {
  if (rec.FindHandle == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
  WIN32_FIND_DATAW data;
  if (!FindNextFileW(rec.FindHandle, &data)) return static_cast<int>(GetLastError());
  return FindMatching(rec, data);
}

void FindCloseSearch(TSearchRec& rec) {
  if (rec.FindHandle != INVALID_HANDLE_VALUE) {
    FindClose(rec.FindHandle);
    rec.FindHandle = INVALID_HANDLE_VALUE;
  }
}

std::wstring AppDirectory() { return ExtractFilePath(ExeFileName()); }

HICON FileIcon(std::wstring_view fileName, UINT flags) {
  InitUtilsUnit();
  TSHGetFileInfoW getInfo = ShellFileInfoEntry();
  if (!getInfo || !FileExists(fileName)) return nullptr;
  SHFILEINFOW info{};
  if (!getInfo(std::wstring(fileName).c_str(), 0, &info, sizeof(info), flags | SHGFI_ICON)) return nullptr;
  return info.hIcon;
}

// ---------------------------------------------------------------------------
// Waits
// ---------------------------------------------------------------------------

namespace {

std::function<DWORD()> gTickSource;
std::function<void()> gProcessMessages;

void DispatchPendingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Not ours to swallow: the loop that owns the thread must still see it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

void SetTickCountSource(std::function<DWORD()> source) { gTickSource = std::move(source); }
void SetProcessMessagesProc(std::function<void()> proc) { gProcessMessages = std::move(proc); }
DWORD CurrentTickCount() { return gTickSource ? gTickSource() : GetTickCount(); }

void WaitProcessingMessages(DWORD ms) {
  const DWORD start = CurrentTickCount();
  for (;;) {
    if (gProcessMessages) gProcessMessages();
    else DispatchPendingMessages();
    // Unsigned difference: correct across the counter's wrap.
    DWORD elapsed = CurrentTickCount() - start;
    if (elapsed >= ms) return;
    // Sleep until a message arrives, in short slices so the time is checked often.
    DWORD slice = std::min<DWORD>(ms - elapsed, 10);
    MsgWaitForMultipleObjectsEx(0, nullptr, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void WaitUntilTick(DWORD start, DWORD interval) {
  while (static_cast<DWORD>(CurrentTickCount() - start) < interval) Sleep(0);
}

// ---------------------------------------------------------------------------
// Message-box shortcuts
// ---------------------------------------------------------------------------

void ShowWarningMessage(std::wstring_view text) { AppMessageBox(text, mtWarning, {mbOK}, 0); }
void ShowWarningText(std::wstring_view text) { ShowWarningMessage(text); }
void ShowErrorMessage(std::wstring_view text) { AppMessageBox(text, mtError, {mbOK}, 0); }
