#include "platform/runtime/FailureLog.h"

#include <mutex>
#include <set>

#include "platform/runtime/Logger.h"

namespace {
// Beyond this many distinct failures one last line says that more are kept quiet; the
// set must not grow without bound when a failure text carries a changing detail.
constexpr size_t MaxDistinctFailures = 100;
}  // namespace

void LogRepeatedFailure(const wchar_t* where) noexcept {
  try {
    std::wstring text;
    try {
      throw;
    } catch (const std::exception& e) {
      text = ExceptionText(e);
    } catch (...) {
      text = L"Unknown exception";
    }
    static std::mutex lock;
    static std::set<std::wstring> seen;
    const std::wstring line = std::wstring(where) + L": " + text;
    {
      std::lock_guard<std::mutex> l(lock);
      if (seen.size() > MaxDistinctFailures || !seen.insert(line).second) return;
      if (seen.size() > MaxDistinctFailures) {
        CodeSite().SendError(L"More distinct failures follow; they are not logged");
        return;
      }
    }
    CodeSite().SendError(line);
  } catch (...) {
    // Logging is the last resort here; a failure of its own is dropped.
  }
}
