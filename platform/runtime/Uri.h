#pragma once
// A URI split into its parts (RFC 3986 generic syntax). Parse raises ENetURIException
// for a text that is no URI: no scheme, a bad port, blanks or control characters.
#include <string>
#include "platform/runtime/HttpClient.h"

struct TURI {
  std::wstring Scheme;  // lower case
  std::wstring UserInfo;
  std::wstring Host;
  int Port = -1;        // -1 when none is given
  std::wstring Path;
  std::wstring Query;     // without "?"
  std::wstring Fragment;  // without "#"

  static TURI Parse(const std::wstring& text);
};
