#pragma once
// Text helpers: conversions at the UTF-8 boundary, trimming and case the way the
// system's texts expect, locale separators and printf-style formatting.
#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// Bytes of an 8-bit code page (CP_ACP by default) to UTF-16.
std::wstring AnsiToWide(std::string_view text, unsigned codePage = 0);
std::string WideToAnsi(std::wstring_view text, unsigned codePage = 0);

// Removes every character up to and including the blank (control characters too) at both ends.
std::wstring Trim(std::wstring_view text);
// Lower/upper case with the user's locale.
std::wstring LowerCase(std::wstring_view text);
std::wstring UpperCase(std::wstring_view text);
bool SameText(std::wstring_view a, std::wstring_view b);  // case-insensitive equality
bool StartsText(std::wstring_view prefix, std::wstring_view text);
std::vector<std::wstring> SplitString(std::wstring_view text, wchar_t separator);

// The user's locale decimal separator (GetLocaleInfoEx), '.' when none can be read.
wchar_t LocaleDecimalSeparator();
// The decimal separator that FormatW/FloatToText use; a seam so tests can pin it.
void SetDecimalSeparatorOverride(wchar_t separator);  // 0 restores the locale's

// printf-style formatting; "%s" takes const wchar_t*.
std::wstring FormatW(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, va_list args);
// A floating-point value with fixed decimals and the locale's decimal separator.
std::wstring FloatToFixed(double value, int decimals);

// Decimal (or "$"/"0x" hexadecimal) signed 32-bit integer; false when the text is no such integer.
bool TryStrToInt(std::wstring_view text, int& value);
bool TryStrToInt64(std::wstring_view text, long long& value);
