#include "platform/runtime/Uri.h"
#include "platform/runtime/Strings.h"
#include <cwctype>

namespace {
[[noreturn]] void Invalid(const std::wstring& text) { throw ENetURIException(L"Malformed URI \"" + text + L"\""); }
bool IsAlpha(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
}  // namespace

TURI TURI::Parse(const std::wstring& text) {
  for (wchar_t c : text)
    if (c <= L' ' || c == 0x7F) Invalid(text);
  size_t colon = text.find(L':');
  if (colon == std::wstring::npos || colon == 0 || !IsAlpha(text[0])) Invalid(text);
  for (size_t i = 1; i < colon; ++i)
    if (!IsAlpha(text[i]) && !IsDigit(text[i]) && text[i] != L'+' && text[i] != L'-' && text[i] != L'.') Invalid(text);
  TURI uri;
  uri.Scheme = LowerCase(text.substr(0, colon));
  std::wstring rest = text.substr(colon + 1);
  size_t hash = rest.find(L'#');
  if (hash != std::wstring::npos) {
    uri.Fragment = rest.substr(hash + 1);
    rest.resize(hash);
  }
  size_t question = rest.find(L'?');
  if (question != std::wstring::npos) {
    uri.Query = rest.substr(question + 1);
    rest.resize(question);
  }
  if (rest.rfind(L"//", 0) == 0) {
    size_t slash = rest.find(L'/', 2);
    std::wstring authority = rest.substr(2, slash == std::wstring::npos ? std::wstring::npos : slash - 2);
    uri.Path = slash == std::wstring::npos ? std::wstring() : rest.substr(slash);
    size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos) {
      uri.UserInfo = authority.substr(0, at);
      authority = authority.substr(at + 1);
    }
    size_t portColon = authority.rfind(L':');
    size_t bracket = authority.rfind(L']');
    if (portColon != std::wstring::npos && (bracket == std::wstring::npos || portColon > bracket)) {
      std::wstring port = authority.substr(portColon + 1);
      authority.resize(portColon);
      if (!port.empty()) {
        if (port.size() > 5) Invalid(text);
        int value = 0;
        for (wchar_t c : port) {
          if (!IsDigit(c)) Invalid(text);
          value = value * 10 + (c - L'0');
        }
        if (value > 65535) Invalid(text);
        uri.Port = value;
      }
    }
    if (!authority.empty() && authority[0] == L'[' && authority.back() != L']') Invalid(text);
    uri.Host = authority;
  } else {
    uri.Path = rest;
  }
  return uri;
}
