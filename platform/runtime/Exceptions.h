#pragma once
// The exception hierarchy every failure of the system is raised as. Messages are
// UTF-16 like all texts; what() gives them as UTF-8 for foreign catch sites.
#include <stdexcept>
#include <string>

class Exception : public std::exception {
public:
  explicit Exception(std::wstring message);
  const std::wstring& Message() const noexcept { return FMessage; }
  virtual std::wstring ClassName() const { return L"Exception"; }
  const char* what() const noexcept override { return FWhat.c_str(); }

private:
  std::wstring FMessage;
  std::string FWhat;
};

#define TARVEL_DECLARE_EXCEPTION(Name, Base)                          \
  class Name : public Base {                                          \
  public:                                                             \
    using Base::Base;                                                 \
    std::wstring ClassName() const override { return L## #Name; }     \
  };

TARVEL_DECLARE_EXCEPTION(EConvertError, Exception)
TARVEL_DECLARE_EXCEPTION(EInOutError, Exception)
TARVEL_DECLARE_EXCEPTION(EFileNotFoundException, EInOutError)
// A stream that ended before the bytes a reader needed ("Stream read error").
TARVEL_DECLARE_EXCEPTION(EReadError, EInOutError)
// Image data that a picture reader cannot decode.
TARVEL_DECLARE_EXCEPTION(EInvalidGraphic, Exception)
TARVEL_DECLARE_EXCEPTION(EOSError, Exception)
TARVEL_DECLARE_EXCEPTION(EArgumentException, Exception)
TARVEL_DECLARE_EXCEPTION(EArgumentOutOfRangeException, EArgumentException)
TARVEL_DECLARE_EXCEPTION(EJsonException, Exception)
TARVEL_DECLARE_EXCEPTION(EAbort, Exception)
// A resource the module does not carry.
TARVEL_DECLARE_EXCEPTION(EResNotFound, Exception)

// Raises EOSError with the system's message for the given error code (GetLastError() by default).
[[noreturn]] void RaiseLastOSError(unsigned long code = 0, const std::wstring& context = L"");
// The system's message text for an error code, without trailing line breaks.
std::wstring SysErrorMessage(unsigned long code);
