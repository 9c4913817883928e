#pragma once
// The process-wide logger. It is off until start-up switches it on ("--log");
// then every message becomes one line in a text file beside the executable and
// one OutputDebugStringW call, prefixed by the category title.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class Exception;

class TCodeSiteLogger {
public:
  bool Enabled() const;
  void SetEnabled(bool value);
  std::wstring Category() const;
  void SetCategory(const std::wstring& value);
  std::uint32_t CategoryFontColor() const;  // a colour as 0x00BBGGRR
  void SetCategoryFontColor(std::uint32_t value);
  // Where lines go while enabled; defaults to the executable's name with ".log" beside it.
  std::wstring FileName() const;
  void SetFileName(const std::wstring& value);

  void Send(const std::wstring& text);
  void SendFmt(const wchar_t* format, ...);
  void SendNote(const std::wstring& text);
  void SendWarning(const std::wstring& text);
  void SendError(const std::wstring& text);
  void SendReminder(const std::wstring& text);
  void SendException(const std::exception& e);
  void SendException(const std::wstring& context, const std::exception& e);
  void SendDateTime(const std::wstring& name, double dateTime);
  void SendString(const std::wstring& name, const std::wstring& value);
  void SendList(const std::wstring& name, const std::vector<std::wstring>& items);
  void AddSeparator();
  void AddResetSeparator();

private:
  void Write(const wchar_t* kind, const std::wstring& text);
  mutable std::mutex FLock;
  bool FEnabled = false;
  std::wstring FCategory;
  std::uint32_t FCategoryFontColor = 0;
  std::wstring FFileName;
};

// The global logger every unit writes to.
TCodeSiteLogger& CodeSite();
// Text of any exception for a log line: class name and message for ours.
std::wstring ExceptionText(const std::exception& e);
