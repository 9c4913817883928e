#pragma once
// The repairs the shell form makes to settings.json at every start, as plain functions
// over a settings storage: the server's URL replacements for the browser address, the
// removal of an obsolete update address, and the cache setting switched on by the flag
// file of the cached asset set.
#include <memory>
#include <string>

#include "settings/Json.Persist.h"

class TSettings;

// Where the replacement rules come from; a seam for tests (empty restores the default).
std::wstring RulesUrl();
void SetRulesUrlOverride(std::wstring AUrl);

// Index-file names that older update addresses ended with, in the order they are tried.
inline constexpr const wchar_t* ObsoleteIndexFiles[] = {L"filesZ.json", L"filesX.json", L"filesU.json",
                                                        L"filesN.json", L"filesC.json", L"filesA.json"};
// The host of the former content server; an update address on it is obsolete.
inline constexpr wchar_t FormerContentHost[] = L"files.kelvane.example";
// The flag file of the cached asset set, relative to the executable's folder.
inline constexpr wchar_t UpdateCacheFlagFile[] = L"assets\\resources\\appinfo\\1.png";

// AUrl with every rule of ARules applied in document order: every occurrence of the
// member's name, in any letter case, becomes the member's value, each rule working on the
// result of the previous one. String values give their characters, other scalars their
// JSON text; rules with an empty name or an object or array value are skipped.
// Raises EJsonException when ARules is no object.
std::wstring ApplyUrlRules(const TJsonValue& ARules, const std::wstring& AUrl);
// ABody (the rules document as fetched) applied to the browser address of the held
// settings, which are then saved. Text that is no JSON changes nothing (false); JSON that
// is no object raises EJsonException.
bool ApplyUrlRulesText(IStorage<TSettings>& AStorage, const std::wstring& ABody);

// AUrl ends with one of ObsoleteIndexFiles, in any letter case.
bool IsObsoleteIndexUrl(const std::wstring& AUrl);
// The update address is to be dropped: empty, on the former content server, or obsolete.
bool IsDroppedUpdateUrl(const std::wstring& AUrl);

// When the held update address is to be dropped, removes "links"."updateUrl" (and
// "hall"."api" when the held one is empty or the built-in one) from the storage's file,
// keeping every other key, the ones the settings model does not know included, and
// reloads the storage so that later saves do not bring them back. True when the file
// was rewritten.
bool PatchSettingsFile(IStorage<TSettings>& AStorage);

// When the flag file lies in AExeDir, switches the cache setting on and saves. Logs the
// resulting value ("UpdateCache: True"/"False"). True when it saved.
bool ApplyUpdateCacheFlag(IStorage<TSettings>& AStorage, const std::wstring& AExeDir);
