#include "platform/runtime/FailureLog.h"

#include <mutex>
#include <set>

#include "platform/runtime/Logger.h"

void LogQuietFailure(const std::wstring& where, std::exception_ptr error) {
  std::wstring text;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    text = ExceptionText(e);
  } catch (...) {
    text = L"Unknown exception";
  }
  const std::wstring line = where + L": " + text;
  static std::mutex lock;
  static std::set<std::wstring> seen;
  {
    std::lock_guard<std::mutex> guard(lock);
    // The bound keeps a stream of ever-new texts from growing the set without end.
    if (seen.count(line) || seen.size() >= 1000) return;
    seen.insert(line);
  }
  CodeSite().SendError(line);
}
