#pragma once
// INI text held in memory: sections of "key=value" lines. Used for the configuration
// files of older installations (looked up without regard to case) and for option texts
// that are matched exactly (case-sensitive).
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TMemIniFile {
  // Hash of names that also finds them by view, without making a text for each lookup.
  struct TNameHash {
    using is_transparent = void;
    std::size_t operator()(std::wstring_view name) const { return std::hash<std::wstring_view>{}(name); }
  };
  using TNameIndex = std::unordered_map<std::wstring, std::size_t, TNameHash, std::equal_to<>>;

public:
  explicit TMemIniFile(bool ACaseSensitive = false) : FCaseSensitive(ACaseSensitive) {}
  // Reads the file: a byte-order mark selects the encoding, otherwise the ANSI code page.
  // A file that is missing or cannot be read gives an empty INI.
  explicit TMemIniFile(const std::wstring& AFileName, bool ACaseSensitive = false);

  // Replaces the content by the lines of AText. Lines are trimmed; empty lines and lines
  // beginning with ";" are skipped; "[name]" opens a section; a line with "=" is a key
  // (trimmed) and a value (trimmed); other lines and lines before the first section are
  // dropped. A repeated section or key is kept, but lookups find the first.
  void SetText(std::wstring_view AText);
  void SetStrings(const std::vector<std::wstring>& ALines);

  bool CaseSensitive() const { return FCaseSensitive; }
  bool SectionExists(std::wstring_view ASection) const;
  bool ValueExists(std::wstring_view ASection, std::wstring_view AKey) const;
  std::wstring ReadString(std::wstring_view ASection, std::wstring_view AKey, std::wstring_view ADefault) const;
  // The stored value, or nullptr when the section or the key is missing.
  const std::wstring* FindValue(std::wstring_view ASection, std::wstring_view AKey) const;
  // Decimal, or hexadecimal with "$" or "0x"; ADefault when missing or no integer.
  int ReadInteger(std::wstring_view ASection, std::wstring_view AKey, int ADefault) const;
  std::vector<std::wstring> ReadSections() const;
  std::vector<std::wstring> ReadSection(std::wstring_view ASection) const;  // the keys

private:
  struct TPair {
    std::wstring Key, Value;
  };
  struct TSection {
    std::wstring Name;
    std::vector<TPair> Pairs;
    // Case-sensitive texts (skin options of thousands of keys) are looked up by hash: the
    // first pair of each key.
    TNameIndex Index;
  };
  bool Same(std::wstring_view a, std::wstring_view b) const;
  const TSection* Find(std::wstring_view ASection) const;
  const TPair* FindPair(std::wstring_view ASection, std::wstring_view AKey) const;

  bool FCaseSensitive;
  std::vector<TSection> FSections;
  TNameIndex FSectionIndex;  // first section of a name
};
