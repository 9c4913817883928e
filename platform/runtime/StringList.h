#pragma once
// A list of strings with its text form: one string a line, each line ended by CR LF.
// Lookups compare exactly when CaseSensitive is set, else without regard to case.
#include <string>
#include <string_view>
#include <vector>

class TStringList {
public:
  explicit TStringList(bool CaseSensitive = false) : FCaseSensitive(CaseSensitive) {}

  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value) { FCaseSensitive = Value; }

  int Count() const { return static_cast<int>(FItems.size()); }
  bool empty() const { return FItems.empty(); }
  const std::wstring& operator[](int Index) const { return FItems.at(static_cast<std::size_t>(Index)); }
  std::wstring& operator[](int Index) { return FItems.at(static_cast<std::size_t>(Index)); }
  void Add(std::wstring Value) { FItems.push_back(std::move(Value)); }
  void Clear() { FItems.clear(); }
  // The first index of Value by the list's comparison; -1 when absent.
  int IndexOf(std::wstring_view Value) const;
  // Takes the strings of another list (its CaseSensitive stays this list's).
  void Assign(const TStringList& Source) { FItems = Source.FItems; }
  TStringList& operator=(std::vector<std::wstring> Items) {
    FItems = std::move(Items);
    return *this;
  }

  // Every string followed by CR LF.
  std::wstring Text() const;
  // Lines split at CR LF, CR or LF; a last line without its end counts, an end alone adds
  // no empty line.
  void SetText(std::wstring_view Value);

  const std::vector<std::wstring>& Strings() const { return FItems; }
  operator const std::vector<std::wstring>&() const { return FItems; }
  std::vector<std::wstring>::const_iterator begin() const { return FItems.begin(); }
  std::vector<std::wstring>::const_iterator end() const { return FItems.end(); }

private:
  bool FCaseSensitive;
  std::vector<std::wstring> FItems;
};
