#include "platform/runtime/StringList.h"

#include <windows.h>

int TStringList::IndexOf(std::wstring_view Value) const {
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    const std::wstring& item = FItems[i];
    if (FCaseSensitive) {
      if (item == Value) return static_cast<int>(i);
    } else if (CompareStringOrdinal(item.data(), static_cast<int>(item.size()), Value.data(),
                                    static_cast<int>(Value.size()), TRUE) == CSTR_EQUAL) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::wstring TStringList::Text() const {
  std::wstring text;
  for (const std::wstring& item : FItems) {
    text += item;
    text += L"\r\n";
  }
  return text;
}

void TStringList::SetText(std::wstring_view Value) {
  FItems.clear();
  std::size_t start = 0;
  while (start < Value.size()) {
    std::size_t end = Value.find_first_of(L"\r\n", start);
    if (end == std::wstring_view::npos) {
      FItems.emplace_back(Value.substr(start));
      break;
    }
    FItems.emplace_back(Value.substr(start, end - start));
    if (Value[end] == L'\r' && end + 1 < Value.size() && Value[end + 1] == L'\n') ++end;
    start = end + 1;
  }
}
