#pragma once
// The script runner: script.json in the working directory can replace the whole start-up
// by a list of programs to start.
#include <memory>
#include <string>

class IScript {
public:
  virtual ~IScript() = default;
  // True when the file held a JSON array (its entries were run): start-up then ends.
  virtual bool Execute() = 0;
};

std::shared_ptr<IScript> ScriptFactory(const std::wstring& AFileName);
