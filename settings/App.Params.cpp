#include "settings/App.Params.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include <cwchar>

std::wstring TAppParams::FindParam(const std::wstring& name) {
  std::wstring prepared = LowerCase(Trim(name));
  for (int i = 0, count = ParamCount(); i <= count; ++i) {
    std::wstring arg = LowerCase(Trim(ParamStr(i)));
    if (arg.compare(0, prepared.size(), prepared) == 0) return arg;
  }
  return {};
}

bool TAppParams::Contains(const std::wstring& name) { return !FindParam(name).empty(); }

std::wstring TAppParams::Value(const std::wstring& name) {
  std::wstring arg = FindParam(name);
  if (arg.empty()) return name;
  auto pieces = SplitString(arg, L'=');
  return pieces.size() < 2 ? arg : pieces[1];
}

bool TAppParams::AsBool(const std::wstring& name) {
  std::wstring value = Value(name);
  if (SameText(value, L"false")) return false;
  if (SameText(value, L"true")) return true;
  long long integer = 0;
  if (TryStrToInt64(value, integer)) return integer != 0;
  // Other numbers count too ("0.0" is false); the locale's separator is the one accepted.
  std::wstring number = value;
  for (auto& c : number)
    if (c == LocaleDecimalSeparator()) c = L'.';
  if (!number.empty() && number[0] > L' ') {
    wchar_t* end = nullptr;
    double real = std::wcstod(number.c_str(), &end);
    if (end && *end == 0) return real != 0;
  }
  return true;
}

int TAppParams::AsInt(const std::wstring& name) {
  int value = 0;
  return TryStrToInt(Value(name), value) ? value : 0;
}

std::wstring TAppParams::AsStr() {
  std::wstring text;
  for (int i = 1, count = ParamCount(); i <= count; ++i) text += ParamStr(i) + L" ";
  return Trim(text);
}
