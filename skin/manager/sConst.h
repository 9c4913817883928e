#pragma once
// Data the skin engine prepares before any form exists and reads later: a code of the
// running Windows version, the captions of the window commands in the installed system's
// language (for the skinned system menus and title bars), the engine's own texts, and the
// application's icons.
#include <windows.h>

#include <string>

// The code of a reported Windows version: 8 for 6.2, the major version below 7, else 8
// (so 6.3 gives 6 and 10.0 gives 8). Code above 5: composition-aware paths; above 7: the
// wider borders of newer systems.
int OSCodeOf(DWORD Major, DWORD Minor);
extern int acOSCode;

// The engine's own texts, the fallbacks of the system captions among them.
enum TacEngineString {
  s_Close, s_Restore, s_Size, s_Move, s_Minimize, s_Maximize,
  s_AvailSkins, s_InternalSkin, s_FrameAdapterError,
  acEngineStringCount
};
// The engine's text of an id (empty for an unknown id).
const std::wstring& EngineString(int Id);
constexpr int NoFallback = -1;

// Loads string Id of Library's string table into Caption (Suffix appended to a non-empty
// result; an empty result replaced by the engine's text FallbackId unless NoFallback).
// With Library 0 nothing is loaded and Caption is left as it is.
void LoadSystemCaption(std::wstring& Caption, HMODULE Library, UINT Id, const std::wstring& Suffix = L"",
                       int FallbackId = NoFallback);
// The same with a fallback text.
void LoadSystemCaptionText(std::wstring& Caption, HMODULE Library, UINT Id, const std::wstring& Suffix,
                           const std::wstring& Fallback);

// The captions, empty until loaded.
extern std::wstring acs_Close, acs_Restore, acs_Size, acs_Move, acs_Minimize, acs_Maximize;
extern std::wstring acs_AvailSkins, acs_InternalSkin, acs_FrameAdapterError;
// The executable's shell icons; nullptr when it has none.
extern HICON acAppIconSmall, acAppIconLarge;

// Start-up (before any form) and clean-up at exit (captions cleared, icons destroyed, the
// registry of skinned forms cleared); counted, so that a test may run a pair of its own.
void CaptionsUnitStartup();
void CaptionsUnitCleanup();
