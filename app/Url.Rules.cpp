#include "app/Url.Rules.h"

#include <mutex>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "settings/Json.Settings.h"
#include "settings/Upd.Upgrade.h"

namespace {

std::mutex RulesUrlLock;
std::wstring RulesUrlOverride;

bool EndsText(std::wstring_view suffix, std::wstring_view text) {
  return text.size() >= suffix.size() && SameText(text.substr(text.size() - suffix.size()), suffix);
}

// Every occurrence of what (any letter case) replaced by with, left to right; the
// replacement text is never searched again.
std::wstring ReplaceAllText(const std::wstring& text, const std::wstring& what, const std::wstring& with) {
  std::wstring lowText = LowerCase(text), lowWhat = LowerCase(what);
  // Case mapping that changes the length would misplace the positions; search the text as is then.
  if (lowText.size() != text.size() || lowWhat.size() != what.size()) {
    lowText = text;
    lowWhat = what;
  }
  std::wstring out;
  size_t pos = 0;
  for (;;) {
    size_t hit = lowText.find(lowWhat, pos);
    if (hit == std::wstring::npos) break;
    out.append(text, pos, hit - pos);
    out += with;
    pos = hit + what.size();
  }
  out.append(text, pos, std::wstring::npos);
  return out;
}

std::wstring ScalarText(const TJsonValue& v) {
  switch (v.Kind()) {
    case TJsonKind::Null: return L"null";
    case TJsonKind::True: return L"true";
    case TJsonKind::False: return L"false";
    default: return v.Text();  // a string's characters, a number's literal
  }
}

}  // namespace

std::wstring RulesUrl() {
  std::lock_guard<std::mutex> lock(RulesUrlLock);
  return RulesUrlOverride.empty() ? L"http://content.tarvel.example/rules.json" : RulesUrlOverride;
}

void SetRulesUrlOverride(std::wstring AUrl) {
  std::lock_guard<std::mutex> lock(RulesUrlLock);
  RulesUrlOverride = std::move(AUrl);
}

std::wstring ApplyUrlRules(const TJsonValue& ARules, const std::wstring& AUrl) {
  if (!ARules.IsObject()) throw EJsonException(L"The URL rules are no JSON object");
  std::wstring url = AUrl;
  for (const TJsonPair& rule : ARules.Pairs()) {
    // An empty name would match everywhere and never advance.
    if (rule.Name.empty()) continue;
    if (rule.Value.IsObject() || rule.Value.IsArray()) {
      CodeSite().SendWarning(L"URL rule \"" + rule.Name + L"\" has no text value; skipped");
      continue;
    }
    url = ReplaceAllText(url, rule.Name, ScalarText(rule.Value));
  }
  return url;
}

bool ApplyUrlRulesText(IStorage<TSettings>& AStorage, const std::wstring& ABody) {
  TJsonValue rules;
  try {
    rules = ParseJson(ABody);
  } catch (const EJsonException& e) {
    CodeSite().SendException(L"rules.json is no JSON; the browser address stays", e);
    return false;
  }
  TSettings& s = AStorage.Config();
  s.Links.BrowserUrl = ApplyUrlRules(rules, s.Links.BrowserUrl);
  AStorage.Save();
  return true;
}

bool IsObsoleteIndexUrl(const std::wstring& AUrl) {
  for (const wchar_t* name : ObsoleteIndexFiles)
    if (EndsText(name, AUrl)) return true;
  return false;
}

bool IsDroppedUpdateUrl(const std::wstring& AUrl) {
  return AUrl.empty() || AUrl.find(FormerContentHost) != std::wstring::npos || IsObsoleteIndexUrl(AUrl);
}

bool PatchSettingsFile(IStorage<TSettings>& AStorage) {
  const TSettings& held = AStorage.Config();
  if (!IsDroppedUpdateUrl(held.Links.UpdateUrl)) return false;
  bool dropApi = IsBuiltInHallApi(held.Hall.Api);
  // The file as the storage keeps it: keys of the sibling programs stay.
  TJsonValue doc;
  try {
    doc = ParseJson(DecodeTextBytes(ReadAllBytes(AStorage.FileName())));
  } catch (const std::exception& e) {
    CodeSite().SendException(L"Settings patch skipped", e);
    return false;
  }
  if (!doc.IsObject()) return false;
  bool changed = false;
  if (TJsonValue* links = doc.Find(L"links"); links && links->IsObject()) changed |= links->Remove(L"updateUrl");
  if (dropApi)
    if (TJsonValue* hall = doc.Find(L"hall"); hall && hall->IsObject()) changed |= hall->Remove(L"api");
  if (!changed) return false;
  WriteAllBytesAtomic(AStorage.FileName(), FormatJsonUtf8(doc));
  AStorage.Load();
  return true;
}

bool ApplyUpdateCacheFlag(IStorage<TSettings>& AStorage, const std::wstring& AExeDir) {
  bool saved = false;
  if (FileExists(IncludeTrailingPathDelimiter(AExeDir) + UpdateCacheFlagFile)) {
    AStorage.Config().Common.UpdateCache = true;
    AStorage.Save();
    saved = true;
  }
  CodeSite().SendFmt(L"UpdateCache: %ls", AStorage.Config().Common.UpdateCache ? L"True" : L"False");
  return saved;
}
