#include "app/Script.Exe.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "app/Process.Control.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"

namespace {

std::atomic<unsigned> PauseMs{250};

const TJsonValue& Member(const TJsonValue& entry, const wchar_t* name, TJsonKind kind1, TJsonKind kind2) {
  const TJsonValue* v = entry.IsObject() ? entry.Find(name) : nullptr;
  if (!v) throw EJsonException(FormatW(L"script entry without \"%ls\"", name));
  if (v->Kind() != kind1 && v->Kind() != kind2) throw EJsonException(FormatW(L"script entry with a wrong \"%ls\"", name));
  return *v;
}

// The executable's folder joined with name; a rooted name stands for itself.
std::wstring ProgramPath(const std::wstring& name) {
  if (name.empty()) throw EArgumentException(L"empty program name in script entry");
  for (wchar_t c : name)
    if (c < 0x20 || std::wcschr(L"<>\"|?*", c)) throw EArgumentException(L"illegal characters in path: " + name);
  bool rooted = name[0] == L'\\' || name[0] == L'/' || (name.size() >= 2 && name[1] == L':');
  return rooted ? name : ExeDir() + name;
}

// Starts the program in its own folder with the given show state; does not wait.
void StartProgram(const std::wstring& file, const std::wstring& params, int showState) {
  if (!TProcess::Run(file, params, showState))
    CodeSite().SendError(L"Script: could not start " + file + L": " + SysErrorMessage(GetLastError()));
}

}  // namespace

void SetScriptPauseMs(unsigned value) { PauseMs = value; }
unsigned ScriptPauseMs() { return PauseMs; }

std::unique_ptr<TJsonValue> LoadScript(const std::wstring& AFileName) {
  try {
    if (!FileExists(AFileName)) return nullptr;
    auto doc = std::make_unique<TJsonValue>(ParseJson(DecodeTextBytesAnsi(ReadAllBytes(AFileName))));
    if (!doc->IsArray()) {
      CodeSite().SendWarning(L"Script " + AFileName + L" holds no JSON array; ignored");
      return nullptr;
    }
    return doc;
  } catch (const std::exception& e) {
    CodeSite().SendException(L"Script " + AFileName + L" ignored", e);
    return nullptr;
  }
}

TScript::TScript(const std::wstring& AFileName) : FScript(LoadScript(AFileName)) {}

TScript::~TScript() = default;

bool TScript::Execute() {
  if (!FScript) return false;
  for (const TJsonValue& entry : FScript->Items()) {
    try {
      std::wstring file = ProgramPath(Member(entry, L"name", TJsonKind::String, TJsonKind::String).Text());
      std::wstring params = Member(entry, L"params", TJsonKind::String, TJsonKind::String).Text();
      bool hide = Member(entry, L"hide", TJsonKind::True, TJsonKind::False).Kind() == TJsonKind::True;
      if (FileExists(file)) StartProgram(file, params, hide ? SW_HIDE : SW_SHOWNORMAL);
      Sleep(PauseMs);
    } catch (const std::exception& e) {
      CodeSite().SendException(L"Script entry skipped", e);
    }
  }
  return true;
}

std::shared_ptr<IScript> ScriptFactory(const std::wstring& AFileName) { return std::make_shared<TScript>(AFileName); }
