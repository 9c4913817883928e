#pragma once
// The small functions the whole skin engine shares: the parser of INI-style option texts,
// hexadecimal and word splitting, rectangle and number arithmetic, questions to the
// operating system, published properties by name, paths and files, and the pacing waits
// of animations. The density functions are in sDPI, the message box in acMessageBox.
#include <windows.h>
#include <shellapi.h>

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Graphics.h"
#include "platform/ui/Properties.h"
#include "skin/graphics/sGraphUtils.h"

// ---------------------------------------------------------------------------
// INI-style option texts
// ---------------------------------------------------------------------------

// One parsed section: its name as written between the brackets and its lines, unchanged.
struct TIniSection {
  std::wstring Name;
  std::vector<std::wstring> Lines;
};
using TIniSections = std::vector<TIniSection>;

// Rebuilds Sections from Lines: empty lines and lines starting with ";" are skipped; a line
// "[name]" opens a section (appended even when the name repeats); other lines go,
// untrimmed, to the current section; lines before the first section are dropped.
void ParseIniSections(const std::vector<std::wstring>& lines, TIniSections& sections);
// The value of Key in the first section named Section (both without regard to case):
// everything after the first "=" of the first line whose part before "=" is Key. Nothing is
// trimmed. Default when the section or the key is missing.
std::wstring ReadIniString(const TIniSections& sections, std::wstring_view section, std::wstring_view key,
                           std::wstring_view defaultValue);
// The value as a decimal integer, or hexadecimal with a leading "$" or "0x"; Default when
// missing or not an integer.
int ReadIniInteger(const TIniSections& sections, std::wstring_view section, std::wstring_view key,
                   int defaultValue);

// ---------------------------------------------------------------------------
// Texts and words
// ---------------------------------------------------------------------------

// A set of 8-bit characters, as delimiter sets are given.
using TSysCharSet = std::bitset<256>;
TSysCharSet MakeCharSet(std::string_view chars);

// Hexadecimal digits of either case with an optional trailing "H"; 0 for any other
// character or the empty text; more than 16 digits keep the low 64 bits.
std::int64_t HexToInt64(std::string_view text);
bool WideCharInSet(wchar_t c, const TSysCharSet& set);

// Words are the maximal runs of characters that are not delimiters; N counts from 1.
int WordCount(std::wstring_view text, const TSysCharSet& delimiters);
int WordCountA(std::string_view text, const TSysCharSet& delimiters);
int WordPosition(int n, std::wstring_view text, const TSysCharSet& delimiters);  // 1-based; 0 when missing
std::wstring ExtractWord(int n, std::wstring_view text, const TSysCharSet& delimiters);
std::string ExtractWordA(int n, std::string_view text, const TSysCharSet& delimiters);

std::wstring DeleteChars(std::wstring_view text, wchar_t c);
std::string StringOfCharA(char c, int count);
std::string PadLeftA(char c, std::string_view text, int length);
// Every occurrence of Sub (exact case) replaced, left to right; inserted text is not
// searched again; an empty Sub changes nothing.
std::wstring ReplaceAllText(std::wstring_view text, std::wstring_view sub, std::wstring_view replacement);

inline std::wstring IffText(bool condition, std::wstring_view a, std::wstring_view b) {
  return std::wstring(condition ? a : b);
}
inline int IffInt(bool condition, int a, int b) { return condition ? a : b; }

// ---------------------------------------------------------------------------
// Numbers
// ---------------------------------------------------------------------------

// Low <= Value <= High; with AnyOrder also High <= Value <= Low when High <= Low.
bool IsBetween(int value, int low, int high, bool anyOrder = false);
// Low <= Value < High (note the order of the bounds).
bool IsInRange(int value, int high, int low);
inline int LargerOf(int a, int b) { return a > b ? a : b; }
inline int SmallerOf(int a, int b) { return a < b ? a : b; }
int ClampValue(int value, int min, int max);
void SwapInts(int& a, int& b);

// ---------------------------------------------------------------------------
// Rectangles, sizes, points
// ---------------------------------------------------------------------------

int RectWidth(const TRect& r, bool nonNegative = false);
int RectHeight(const TRect& r, bool nonNegative = false);
// Rect(Left, Top, Right, Bottom); MakeRectWH(W, H) is Rect(0, 0, W, H).
TRect MakeRectWH(int right, int bottom, int left = 0, int top = 0);
TRect BitmapRect(const TBitmap* bitmap);
// Rect(0, 0, Width, Height) of a control and its Left and Top. Templates over the control
// class (any class with Left(), Top(), Width() and Height()), so this unit does not tie itself
// to one control hierarchy; Rect(0, 0, 0, 0) and (0, 0) for none.
template <class C>
TRect ControlBoundsRect(const C* control) {
  return control ? TRect{0, 0, control->Width(), control->Height()} : TRect{};
}
template <class C>
TPoint ControlPos(const C* control) {
  return control ? TPoint{control->Left(), control->Top()} : TPoint{};
}
TRect SizeRect(const TSize& size);
TSize BitmapSize(const TBitmap* bitmap);
inline TSize MakeSize(int cx, int cy) { return TSize{cx, cy}; }
TSize RectSize(const TRect& r);  // negative extents as 0
inline TPoint MakePoint(int x, int y) { return TPoint{x, y}; }
TRect OffsetRectBy(const TRect& r, const TRect& d);  // D added to all four coordinates
TRect OffsetRectXY(const TRect& r, int dx, int dy);
// Larger Left and Top, smaller Right and Bottom; not normalised.
TRect IntersectRects(const TRect& a, const TRect& b);
bool RectsOverlap(const TRect& a, const TRect& b);
bool RectInRect(const TRect& a, const TRect& b, bool contain);
void MirrorRect(TRect& r, int width, int height, bool horizontal);
void MirrorRectIn(TRect& r, const TRect& container, bool horizontal);

// A window-message record (the framework's TMessage, complete wherever it is used) with
// these four fields.
struct TMessage;
template <class M = TMessage>
M MakeMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT result = 0) {
  M message{};
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  message.Result = result;
  return message;
}

// The background of a control that lies in Bmp at (X, Y): ready, FillColor 0xFF00FF.
TCacheInfo MakeCacheInfo(TBitmap* bitmap, int x = 0, int y = 0);
inline void MakeCacheInfo(TBitmap* bitmap, int x, int y, TCacheInfo& info) { info = MakeCacheInfo(bitmap, x, y); }
// Source-over with per-pixel alpha and the constant alpha given.
void InitBlendFunction(BLENDFUNCTION& blend, std::uint8_t alpha);

// ---------------------------------------------------------------------------
// The operating system
// ---------------------------------------------------------------------------

// Windows 5.1 or later.
bool IsWinXPOrLater();
// IsDebuggerPresent; true when that entry point is missing.
bool DebuggerPresent();
// True for a 32-bit process on 64-bit Windows, when IsWow64Process exists and answers.
bool IsWow64();
// The process runs under WOW64 and desktop composition is off (decided once, at the
// unit's start-up): the dialog handler paints captions another way and text glow is left
// out (SkipTextGlow is the name the controls read it by).
bool Wow64WithoutDwm();
inline bool SkipTextGlow() { return Wow64WithoutDwm(); }

// The system's minimize-and-restore animation; false when the query fails.
bool SystemAnimationEnabled();
// Switches it for this session without writing the user profile.
void SetSystemAnimation(bool on);

// Switches the system animation off for a scope and gives the user's setting back when the
// scope ends, also when an exception passes. The query and the switch are replaceable for tests.
class TSystemAnimationOff {
public:
  explicit TSystemAnimationOff(bool (*query)() = SystemAnimationEnabled, void (*set)(bool) = SetSystemAnimation)
      : FSet(set), FWasOn(query()) {
    if (FWasOn) FSet(false);
  }
  ~TSystemAnimationOff() {
    if (FWasOn) FSet(true);
  }
  TSystemAnimationOff(const TSystemAnimationOff&) = delete;
  TSystemAnimationOff& operator=(const TSystemAnimationOff&) = delete;

private:
  void (*FSet)(bool);
  bool FWasOn;
};

// ---------------------------------------------------------------------------
// Published properties by name (see platform/ui/Properties.h for the registry)
// ---------------------------------------------------------------------------

template <class T>
bool HasProperty(T* object, std::wstring_view name) {
  return FindPropInfo(object, name) != nullptr;
}

// The object property as a P*; nullptr when there is none.
template <class P, class T>
P* GetObjectProperty(T* object, std::wstring_view name) {
  return GetObjectProp<P>(object, name);
}

// The ordinal value; -1 when there is no ordinal (or set) property of that name.
template <class T>
int GetOrdProperty(T* object, std::wstring_view name) {
  int value = -1;
  return TryGetOrdProp(object, name, value) ? value : -1;
}

template <class T>
void SetOrdProperty(T* object, std::wstring_view name, int value) {
  TrySetOrdProp(object, name, value);
}

// True when the set property holds an element named exactly Element.
template <class T>
bool SetPropertyHas(T* object, std::wstring_view name, std::wstring_view element) {
  const TPropInfo* info = FindPropInfo(object, name);
  int mask = 0;
  if (!info || info->Kind != TPropKind::Set || !TryGetOrdProp(object, name, mask)) return false;
  for (std::size_t i = 0; i < info->ElementNames.size() && i < 32; ++i)
    if ((static_cast<std::uint32_t>(mask) & (1u << i)) && info->ElementNames[i] == element) return true;
  return false;
}

// The text form with Element added (Add) or removed, whole names compared. Exposed for the
// template below; the text holds names separated by "," and never starts with one.
std::wstring ChangeSetText(std::wstring_view text, std::wstring_view element, bool add, bool& changed);

// Adds or removes one element of a set property through its text form; nothing when the
// property is missing, the change is no change, or the set has no such element.
template <class T>
void ChangeSetProperty(T* object, std::wstring_view name, std::wstring_view element, bool add) {
  std::wstring text;
  if (!TryGetSetPropText(object, name, text)) return;
  bool changed = false;
  std::wstring next = ChangeSetText(text, element, add, changed);
  if (changed) TrySetSetPropText(object, name, next);
}

// ---------------------------------------------------------------------------
// Paths and files
// ---------------------------------------------------------------------------

// "" stays ""; a trailing "\" stays; a trailing "/" becomes "\"; a single character (a
// drive letter) gets ":\"; anything else gets "\".
std::wstring AddTrailingBackslash(std::wstring_view path);
// Whether Path is a directory; a reparse point is followed (opened) when FollowLink.
bool DirectoryExistsEx(std::wstring_view path, bool followLink);
inline bool DirExists(std::wstring_view path) { return DirectoryExistsEx(path, true); }

// One entry of a file search.
struct TSearchRec {
  std::wstring Name;
  DWORD Attr = 0;
  std::int64_t Size = 0;
  FILETIME Time{};
  DWORD ExcludeAttr = 0;  // attributes the search skips (of the directory, hidden, system kind)
  HANDLE FindHandle = INVALID_HANDLE_VALUE;
};
// The first entry matching Path whose attributes the mask allows (directories, hidden and
// system entries only when asked for); 0 on success, else the system's error code.
int FindFirstEntry(std::wstring_view path, DWORD attr, TSearchRec& rec);
int FindNextEntry(TSearchRec& rec);
void FindCloseSearch(TSearchRec& rec);

// The folder of the running executable with its trailing backslash.
std::wstring AppDirectory();
// Binds SHGetFileInfoW of shell32 once (left unbound when missing).
void LoadShellFileInfo();
// SHGetFileInfoW as bound (nullptr when shell32 has none).
using TSHGetFileInfoW = DWORD_PTR(WINAPI*)(LPCWSTR, DWORD, SHFILEINFOW*, UINT, UINT);
TSHGetFileInfoW ShellFileInfoEntry();
// Seam: the entry the engine uses in place of the bound one (nullptr: as if shell32 had
// none) until RestoreShellFileInfoEntry.
void SetShellFileInfoEntry(TSHGetFileInfoW Entry);
void RestoreShellFileInfoEntry();
// The shell's icon of a file (SHGetFileInfoW with Flags plus SHGFI_ICON). The caller
// destroys it; nullptr when the file is missing, the shell call is unbound or gives none.
HICON FileIcon(std::wstring_view fileName, UINT flags);

// ---------------------------------------------------------------------------
// Waits
// ---------------------------------------------------------------------------

// Handles the application's messages until Ms milliseconds have passed since the call.
void WaitProcessingMessages(DWORD ms);
// Spins (yielding with Sleep(0)) until Interval ms have passed since the tick Start.
// The elapsed time is measured modulo 2^32, so the tick count's wrap every 49.7 days
// neither ends the wait early nor makes it endless.
void WaitUntilTick(DWORD start, DWORD interval);

// Seams: the tick counter the waits read (GetTickCount by default) and how
// WaitProcessingMessages handles messages (the application's ProcessMessages once bound,
// else a plain dispatch loop). An empty function restores the default.
void SetTickCountSource(std::function<DWORD()> source);
void SetProcessMessagesProc(std::function<void()> proc);
DWORD CurrentTickCount();

// ---------------------------------------------------------------------------
// Message-box shortcuts (the box itself: acMessageBox)
// ---------------------------------------------------------------------------

// A warning (or error) box with an OK button and the kind's caption.
void ShowWarningMessage(std::wstring_view text);
void ShowWarningText(std::wstring_view text);
void ShowErrorMessage(std::wstring_view text);

// ---------------------------------------------------------------------------
// Start-up
// ---------------------------------------------------------------------------

// Binds IsDebuggerPresent and IsWow64Process (kernel32), SHGetFileInfoW (shell32) and
// SystemParametersInfoForDpi (user32), then sets Wow64WithoutDwm. Runs once; the functions
// that need an entry point call it themselves, so it need not be called explicitly.
void InitUtilsUnit();
// SystemParametersInfoForDpi when bound (for sDPI), else nullptr.
using TSystemParametersInfoForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
TSystemParametersInfoForDpi SystemParametersInfoForDpiEntry();
