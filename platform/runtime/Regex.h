#pragma once
// Regular expressions over PCRE2 (16-bit code units, so texts are matched as they are held).
// Enough for a first match with its groups.
#include <string>
#include <string_view>
#include <vector>
#include "platform/runtime/Exceptions.h"

TARVEL_DECLARE_EXCEPTION(ERegularExpressionError, Exception)

struct TGroup {
  bool Success = false;
  std::size_t Index = 0;   // zero-based position in the subject
  std::size_t Length = 0;
  std::wstring Value;
};

struct TMatch {
  bool Success = false;
  std::size_t Index = 0;
  std::size_t Length = 0;
  std::wstring Value;
  std::vector<TGroup> Groups;  // group 0 is the whole match
};

enum TRegExOption : unsigned { roNone = 0, roIgnoreCase = 1, roMultiLine = 2, roSingleLine = 4 };

class TRegEx {
public:
  // Raises ERegularExpressionError with PCRE2's message for a bad pattern.
  explicit TRegEx(std::wstring_view pattern, unsigned options = roNone);
  ~TRegEx();
  TRegEx(const TRegEx&) = delete;
  TRegEx& operator=(const TRegEx&) = delete;

  // The first match at or after startIndex; Success false when there is none.
  TMatch Match(std::wstring_view subject, std::size_t startIndex = 0) const;
  bool IsMatch(std::wstring_view subject) const { return Match(subject).Success; }

private:
  void* FCode;
};
