#pragma once
// Questions about the process's command line. Nothing is kept: every query reads the
// argument vector afresh (argument 0, the program path, takes part in the search).
#include <string>

class TAppParams {
public:
  TAppParams() = delete;
  // The first argument that, trimmed and lower-cased, begins with the trimmed, lower-cased
  // name; that prepared argument, or an empty text.
  static std::wstring FindParam(const std::wstring& name);
  static bool Contains(const std::wstring& name);
  // The text between the first and the second "=" of the argument, the whole argument when
  // it has no "=", or the name itself when the switch is absent.
  static std::wstring Value(const std::wstring& name);
  // Value as a Boolean text: "0"/"false" false, "true"/other numbers true, anything else true.
  static bool AsBool(const std::wstring& name);
  // Value as a decimal integer, 0 when it is none.
  static int AsInt(const std::wstring& name);
  // Arguments 1 to ParamCount joined by single blanks, trimmed.
  static std::wstring AsStr();
};
