#pragma once
// The script runner: a script.json in the working directory that holds a JSON array
// replaces the shell's whole start-up by the programs it lists, started one after
// another; the shell then ends without showing anything.
#include <memory>
#include <string>

class TJsonValue;

class IScript {
public:
  virtual ~IScript() = default;
  // False when there is no usable script (start-up goes on as usual); true once every
  // entry has had its turn, whatever the entries did.
  virtual bool Execute() = 0;
};

class TScript : public IScript {
public:
  explicit TScript(const std::wstring& AFileName);
  ~TScript() override;
  bool Execute() override;

private:
  std::unique_ptr<TJsonValue> FScript;  // the parsed array; null when there is no usable script
};

// The JSON array in the file, or null: a missing or unreadable file, text that is no
// JSON, or a value that is no array. A byte-order mark selects the encoding; without one
// the text is in the system's ANSI code page.
std::unique_ptr<TJsonValue> LoadScript(const std::wstring& AFileName);

// A runner on script.json of the working directory (or the given file).
std::shared_ptr<IScript> ScriptFactory(const std::wstring& AFileName = L"script.json");

// The pause after each entry that named an existing file or none (a seam for tests).
void SetScriptPauseMs(unsigned value);
unsigned ScriptPauseMs();
