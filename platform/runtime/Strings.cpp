#include "platform/runtime/Strings.h"
#include <windows.h>
#include <cwchar>
#include <climits>

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring AnsiToWide(std::string_view text, unsigned codePage) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string WideToAnsi(std::wstring_view text, unsigned codePage) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Trim(std::wstring_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] <= L' ') ++b;
  while (e > b && text[e - 1] <= L' ') --e;
  return std::wstring(text.substr(b, e - b));
}

static std::wstring MapCase(std::wstring_view text, DWORD flag) {
  if (text.empty()) return {};
  int n = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flag, text.data(), static_cast<int>(text.size()), nullptr, 0,
                        nullptr, nullptr, 0);
  if (n <= 0) return std::wstring(text);
  std::wstring out(n, L'\0');
  LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flag, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                nullptr, 0);
  return out;
}

std::wstring LowerCase(std::wstring_view text) { return MapCase(text, LCMAP_LOWERCASE); }
std::wstring UpperCase(std::wstring_view text) { return MapCase(text, LCMAP_UPPERCASE); }

bool SameText(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
             CSTR_EQUAL;
}

bool StartsText(std::wstring_view prefix, std::wstring_view text) {
  return text.size() >= prefix.size() && SameText(prefix, text.substr(0, prefix.size()));
}

std::vector<std::wstring> SplitString(std::wstring_view text, wchar_t separator) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (;;) {
    size_t pos = text.find(separator, start);
    if (pos == std::wstring_view::npos) {
      parts.emplace_back(text.substr(start));
      return parts;
    }
    parts.emplace_back(text.substr(start, pos - start));
    start = pos + 1;
  }
}

static wchar_t g_decimalOverride = 0;
void SetDecimalSeparatorOverride(wchar_t separator) { g_decimalOverride = separator; }

wchar_t LocaleDecimalSeparator() {
  if (g_decimalOverride) return g_decimalOverride;
  wchar_t buf[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8) > 0 && buf[0]) return buf[0];
  return L'.';
}

std::wstring FormatV(const wchar_t* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = _vscwprintf(format, copy);
  va_end(copy);
  if (n < 0) return {};
  std::wstring out(static_cast<size_t>(n) + 1, L'\0');
  _vsnwprintf(out.data(), out.size(), format, args);
  out.resize(n);
  return out;
}

std::wstring FormatW(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring s = FormatV(format, args);
  va_end(args);
  return s;
}

std::wstring FloatToFixed(double value, int decimals) {
  std::wstring s = FormatW(L"%.*f", decimals, value);
  wchar_t sep = LocaleDecimalSeparator();
  for (auto& c : s)
    if (c == L'.') c = sep;
  return s;
}

bool TryStrToInt64(std::wstring_view text, long long& value) {
  size_t i = 0;
  bool neg = false;
  // Leading blanks are accepted like the platform's reader does; trailing ones are not.
  while (i < text.size() && text[i] == L' ') ++i;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) neg = text[i++] == L'-';
  int base = 10;
  if (i < text.size() && text[i] == L'$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  unsigned long long acc = 0;
  for (; i < text.size(); ++i) {
    wchar_t c = text[i];
    int d;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') d = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') d = c - L'A' + 10;
    else return false;
    if (base == 10) {
      // Checked before the step, so that every value up to the 64-bit limits is reachable.
      if (acc > (ULLONG_MAX - static_cast<unsigned>(d)) / 10) return false;
      acc = acc * 10 + d;
      continue;
    }
    acc = acc * base + d;
    if (acc > 0xFFFFFFFFFFFFFFFFull / 16) return false;
  }
  if (base == 16) {
    value = static_cast<long long>(acc);  // hexadecimal is a bit pattern
    if (neg) value = -value;
    return true;
  }
  if (acc > static_cast<unsigned long long>(LLONG_MAX) + (neg ? 1 : 0)) return false;
  // Negated as unsigned: the magnitude of the smallest value has no positive counterpart.
  value = neg ? static_cast<long long>(0ull - acc) : static_cast<long long>(acc);
  return true;
}

bool TryStrToInt(std::wstring_view text, int& value) {
  long long v;
  if (!TryStrToInt64(text, v)) return false;
  bool hex = text.find(L'$') != std::wstring_view::npos || text.find(L'x') != std::wstring_view::npos ||
             text.find(L'X') != std::wstring_view::npos;
  if (hex) {
    // Hexadecimal up to 8 digits fills the 32 bits, as in "$FFFFFFFF" = -1.
    if (v > 0xFFFFFFFFll || v < -0xFFFFFFFFll) return false;
    value = static_cast<int>(static_cast<unsigned>(v));
    return true;
  }
  if (v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}
