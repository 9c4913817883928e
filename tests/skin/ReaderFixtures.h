#pragma once
// Files drawn by tools/make_skin.py at build time into <exe folder>\skin_fixtures\.
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include <sstream>
#include <string>
#include <utility>
#include <vector>

inline std::wstring ReaderFixture(const std::wstring& relative) { return ExeDir() + L"skin_fixtures\\" + relative; }

inline std::string ReaderFixtureBytes(const std::wstring& relative) { return ReadAllBytes(ReaderFixture(relative)); }

// The lines "<name> <outcome>" of a manifest.
inline std::vector<std::pair<std::string, std::string>> ReaderFixtureCases(const std::wstring& manifest) {
  std::vector<std::pair<std::string, std::string>> cases;
  std::istringstream in(ReaderFixtureBytes(manifest));
  std::string name, outcome;
  while (in >> name >> outcome) cases.emplace_back(name, outcome);
  return cases;
}
