#include "skin/manager/sConst.h"

#include <shellapi.h>

#include <array>

#include "platform/runtime/Files.h"
#include "skin/graphics/acntUtils.h"
#include "skin/manager/acSkinnedForms.h"

int acOSCode = 0;
std::wstring acs_Close, acs_Restore, acs_Size, acs_Move, acs_Minimize, acs_Maximize;
std::wstring acs_AvailSkins, acs_InternalSkin, acs_FrameAdapterError;
HICON acAppIconSmall = nullptr, acAppIconLarge = nullptr;

namespace {

int gCaptionStarts = 0;

const std::array<std::wstring, acEngineStringCount>& EngineStrings() {
  static const std::array<std::wstring, acEngineStringCount> texts = {
      L"Close",           L"Restore", L"Size", L"Move", L"Minimize", L"Maximize", L"Available styles",
      L"(internal)", L"TsFrameAdapter adapter must be placed on the handled frame"};
  return texts;
}

// A string of a module's string table; empty when the module has none of that id.
std::wstring ModuleString(HMODULE Module, UINT Id) {
  const wchar_t* text = nullptr;
  // With a zero buffer size the call hands out a pointer into the resource itself.
  const int length = LoadStringW(Module, Id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

struct TSystemCaption {
  std::wstring* Caption;
  UINT Id;
  int Fallback;
};

// One library at a time: loaded, read, released before the next.
void LoadLibraryCaptions(const wchar_t* Name, std::initializer_list<TSystemCaption> Captions) {
  HMODULE library = LoadLibraryW(Name);
  if (!library) return;  // its captions stay empty
  for (const TSystemCaption& c : Captions) LoadSystemCaption(*c.Caption, library, c.Id, L"", c.Fallback);
  FreeLibrary(library);
}

}  // namespace

int OSCodeOf(DWORD Major, DWORD Minor) {
  if (Major == 6 && Minor == 2) return 8;
  return Major < 7 ? static_cast<int>(Major) : 8;
}

const std::wstring& EngineString(int Id) {
  static const std::wstring none;
  return Id >= 0 && Id < acEngineStringCount ? EngineStrings()[static_cast<std::size_t>(Id)] : none;
}

void LoadSystemCaption(std::wstring& Caption, HMODULE Library, UINT Id, const std::wstring& Suffix, int FallbackId) {
  LoadSystemCaptionText(Caption, Library, Id, Suffix, FallbackId == NoFallback ? std::wstring() : EngineString(FallbackId));
}

void LoadSystemCaptionText(std::wstring& Caption, HMODULE Library, UINT Id, const std::wstring& Suffix,
                           const std::wstring& Fallback) {
  if (!Library) return;
  Caption = ModuleString(Library, Id);
  if (!Caption.empty())
    Caption += Suffix;
  else
    Caption = Fallback;
}

void CaptionsUnitStartup() {
  if (gCaptionStarts++ != 0) return;
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExW(&version)) acOSCode = OSCodeOf(version.dwMajorVersion, version.dwMinorVersion);
#pragma GCC diagnostic pop
  LoadLibraryCaptions(L"user32.dll", {{&acs_Close, 905, s_Close}});
  LoadLibraryCaptions(L"comctl32.dll", {{&acs_Restore, 33056, s_Restore},
                                        {&acs_Size, 32768, s_Size},
                                        {&acs_Move, 32784, s_Move},
                                        {&acs_Minimize, 32800, s_Minimize},
                                        {&acs_Maximize, 32816, s_Maximize}});
  acs_AvailSkins = EngineString(s_AvailSkins);
  acs_InternalSkin = EngineString(s_InternalSkin);
  acs_FrameAdapterError = EngineString(s_FrameAdapterError);
  const std::wstring exe = ExeFileName();
  acAppIconSmall = FileIcon(exe, SHGFI_SMALLICON);
  acAppIconLarge = FileIcon(exe, SHGFI_LARGEICON);
}

void CaptionsUnitCleanup() {
  if (gCaptionStarts == 0 || --gCaptionStarts != 0) return;
  for (std::wstring* text : {&acs_Close, &acs_Restore, &acs_Size, &acs_Move, &acs_Minimize, &acs_Maximize,
                             &acs_AvailSkins, &acs_InternalSkin, &acs_FrameAdapterError})
    std::wstring().swap(*text);
  for (HICON* icon : {&acAppIconSmall, &acAppIconLarge}) {
    if (*icon) DestroyIcon(*icon);
    *icon = nullptr;
  }
  ClearSkinnedForms();
}
