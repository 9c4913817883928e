#include "platform/runtime/Regex.h"
#include <pcre2.h>

namespace {
std::wstring ErrorText(int code) {
  PCRE2_UCHAR16 buf[256];
  int n = pcre2_get_error_message(code, buf, 256);
  return n > 0 ? std::wstring(reinterpret_cast<const wchar_t*>(buf), n) : L"error " + std::to_wstring(code);
}
}  // namespace

TRegEx::TRegEx(std::wstring_view pattern, unsigned options) {
  // UTF so that surrogate pairs are one character; invalid UTF-16 in a subject must
  // not fail the match, since subjects come from outside (URLs of an index).
  uint32_t flags = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
  if (options & roIgnoreCase) flags |= PCRE2_CASELESS;
  if (options & roMultiLine) flags |= PCRE2_MULTILINE;
  if (options & roSingleLine) flags |= PCRE2_DOTALL;
  int error = 0;
  PCRE2_SIZE offset = 0;
  FCode = pcre2_compile(reinterpret_cast<PCRE2_SPTR16>(pattern.data()), pattern.size(), flags, &error, &offset, nullptr);
  if (!FCode)
    throw ERegularExpressionError(ErrorText(error) + L" at offset " + std::to_wstring(offset) + L" of \"" +
                                  std::wstring(pattern) + L"\"");
}

TRegEx::~TRegEx() { pcre2_code_free(static_cast<pcre2_code*>(FCode)); }

TMatch TRegEx::Match(std::wstring_view subject, std::size_t startIndex) const {
  TMatch result;
  if (startIndex > subject.size()) return result;
  auto* code = static_cast<pcre2_code*>(FCode);
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
  if (!data) throw ERegularExpressionError(L"Out of memory for a regular-expression match");
  int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR16>(subject.data()), subject.size(), startIndex, 0, data,
                       nullptr);
  if (rc < 0) {
    pcre2_match_data_free(data);
    if (rc == PCRE2_ERROR_NOMATCH) return result;
    throw ERegularExpressionError(ErrorText(rc));
  }
  uint32_t groups = 0;
  pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &groups);
  PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
  for (uint32_t i = 0; i <= groups; ++i) {
    TGroup g;
    if (static_cast<int>(i) < rc && ovector[2 * i] != PCRE2_UNSET) {
      g.Success = true;
      g.Index = ovector[2 * i];
      g.Length = ovector[2 * i + 1] - ovector[2 * i];
      g.Value = std::wstring(subject.substr(g.Index, g.Length));
    }
    result.Groups.push_back(std::move(g));
  }
  pcre2_match_data_free(data);
  result.Success = true;
  result.Index = result.Groups[0].Index;
  result.Length = result.Groups[0].Length;
  result.Value = result.Groups[0].Value;
  return result;
}
