#include "app/Script.Exe.h"

namespace {
// Placeholder until the script runner is built: no script is ever run, so the
// ordinary start-up always follows.
class TScript : public IScript {
public:
  explicit TScript(std::wstring fileName) : FFileName(std::move(fileName)) {}
  bool Execute() override { return false; }

private:
  std::wstring FFileName;
};
}  // namespace

std::shared_ptr<IScript> ScriptFactory(const std::wstring& AFileName) { return std::make_shared<TScript>(AFileName); }
