#include "platform/runtime/IniFiles.h"

#include "platform/runtime/Files.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"

TMemIniFile::TMemIniFile(const std::wstring& AFileName, bool ACaseSensitive) : FCaseSensitive(ACaseSensitive) {
  if (!FileExists(AFileName)) return;
  try {
    SetText(DecodeTextBytesAnsi(ReadAllBytes(AFileName)));
  } catch (const std::exception& e) {
    CodeSite().SendException(L"INI file " + AFileName + L" not read", e);
  }
}

void TMemIniFile::SetText(std::wstring_view AText) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start <= AText.size()) {
    size_t end = AText.find_first_of(L"\r\n", start);
    if (end == std::wstring_view::npos) end = AText.size();
    lines.emplace_back(AText.substr(start, end - start));
    if (end < AText.size() && AText[end] == L'\r' && end + 1 < AText.size() && AText[end + 1] == L'\n') ++end;
    start = end + 1;
  }
  SetStrings(lines);
}

void TMemIniFile::SetStrings(const std::vector<std::wstring>& ALines) {
  FSections.clear();
  FSectionIndex.clear();
  TSection* current = nullptr;
  for (const std::wstring& raw : ALines) {
    std::wstring line = Trim(raw);
    if (line.empty() || line[0] == L';') continue;
    if (line.front() == L'[' && line.back() == L']' && line.size() >= 2) {
      FSections.push_back({Trim(std::wstring_view(line).substr(1, line.size() - 2)), {}});
      current = &FSections.back();
      continue;
    }
    size_t eq = line.find(L'=');
    if (!current || eq == std::wstring::npos) continue;
    current->Pairs.push_back({Trim(std::wstring_view(line).substr(0, eq)), Trim(std::wstring_view(line).substr(eq + 1))});
  }
  if (!FCaseSensitive) return;
  for (std::size_t i = 0; i < FSections.size(); ++i) {
    TSection& s = FSections[i];
    FSectionIndex.try_emplace(s.Name, i);
    s.Index.reserve(s.Pairs.size());
    for (std::size_t k = 0; k < s.Pairs.size(); ++k) s.Index.try_emplace(s.Pairs[k].Key, k);
  }
}

bool TMemIniFile::Same(std::wstring_view a, std::wstring_view b) const { return FCaseSensitive ? a == b : SameText(a, b); }

const TMemIniFile::TSection* TMemIniFile::Find(std::wstring_view ASection) const {
  if (FCaseSensitive) {
    auto it = FSectionIndex.find(ASection);
    return it == FSectionIndex.end() ? nullptr : &FSections[it->second];
  }
  for (const TSection& s : FSections)
    if (Same(s.Name, ASection)) return &s;
  return nullptr;
}

const TMemIniFile::TPair* TMemIniFile::FindPair(std::wstring_view ASection, std::wstring_view AKey) const {
  const TSection* s = Find(ASection);
  if (!s) return nullptr;
  if (FCaseSensitive) {
    auto it = s->Index.find(AKey);
    return it == s->Index.end() ? nullptr : &s->Pairs[it->second];
  }
  for (const TPair& p : s->Pairs)
    if (Same(p.Key, AKey)) return &p;
  return nullptr;
}

bool TMemIniFile::SectionExists(std::wstring_view ASection) const { return Find(ASection) != nullptr; }

bool TMemIniFile::ValueExists(std::wstring_view ASection, std::wstring_view AKey) const {
  return FindPair(ASection, AKey) != nullptr;
}

std::wstring TMemIniFile::ReadString(std::wstring_view ASection, std::wstring_view AKey,
                                     std::wstring_view ADefault) const {
  const TPair* p = FindPair(ASection, AKey);
  return p ? p->Value : std::wstring(ADefault);
}

const std::wstring* TMemIniFile::FindValue(std::wstring_view ASection, std::wstring_view AKey) const {
  const TPair* p = FindPair(ASection, AKey);
  return p ? &p->Value : nullptr;
}

int TMemIniFile::ReadInteger(std::wstring_view ASection, std::wstring_view AKey, int ADefault) const {
  std::wstring text = ReadString(ASection, AKey, L"");
  if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) text = L"$" + text.substr(2);
  int value = 0;
  return TryStrToInt(text, value) ? value : ADefault;
}

std::vector<std::wstring> TMemIniFile::ReadSections() const {
  std::vector<std::wstring> out;
  for (const TSection& s : FSections) out.push_back(s.Name);
  return out;
}

std::vector<std::wstring> TMemIniFile::ReadSection(std::wstring_view ASection) const {
  std::vector<std::wstring> out;
  if (const TSection* s = Find(ASection))
    for (const TPair& p : s->Pairs) out.push_back(p.Key);
  return out;
}
