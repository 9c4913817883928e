#pragma once
// The system-colour redirection of the default skin manager: while it is on, GetSysColor,
// GetSysColorBrush and CreatePen of this process answer with the skin's colours, so that
// windows the engine does not paint itself (system dialogs, common controls) follow the skin.
//
// Technique: the first five bytes of each function's code are replaced by a relative jump to
// its replacement; the replacement puts the saved bytes back around its own call of the real
// function. On x86_64 the jump lands on a small relay near the function, which jumps on to
// the replacement (a replacement may lie farther than 2 GB from the system's code).
//
// Threads: only the UI thread calls these three functions in this process (the workers never
// paint); the patch is not synchronised, and a call from another thread while a replacement
// has switched its patch off would simply reach the real function.
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

// ---- pure pieces over byte buffers ----
// Reads Count bytes at Address into Buffer; false when they cannot be read.
using TacCodeReader = std::function<bool(std::uintptr_t Address, void* Buffer, std::size_t Count)>;
// The entry point of the code at Address: a jump through a pointer (FF 25) is followed, as
// often as it chains, to the address that pointer holds. On i686 (Is64 false) the jump names
// the pointer's absolute address; on x86_64 its distance from the next instruction. 0 when a
// pointer cannot be read or the chain does not end.
std::uintptr_t ResolveApiEntry(std::uintptr_t Address, const TacCodeReader& Read, bool Is64);
// The five bytes of a relative jump (E9, signed 32-bit distance) placed at From to To;
// nothing when To is out of a 32-bit distance's reach.
std::optional<std::array<std::uint8_t, 5>> MakeJumpBytes(std::uintptr_t From, std::uintptr_t To);
// The relay of x86_64: jmp qword [rip+0] followed by the 64-bit target.
constexpr std::size_t acRelaySize = 14;
std::array<std::uint8_t, acRelaySize> MakeRelayBytes(std::uint64_t To);

// ---- patching ----
// The first bytes of a function as they were before its patch; byte 0 = 0: nothing saved.
using TacSaveBuf = std::array<std::uint8_t, 5>;
// Patches the entry of Proc (the address GetProcAddress gives) with a jump to NewProc, its
// first five bytes saved in SaveBuf. Nothing is written when they cannot be read.
void PatchApiEntry(FARPROC Proc, const void* NewProc, TacSaveBuf& SaveBuf);
// Writes the saved bytes back and empties SaveBuf; nothing when SaveBuf is empty, Proc is
// none, or its entry cannot be found.
void RestoreApiEntry(FARPROC Proc, TacSaveBuf& SaveBuf);

// ---- the replacements (the platform functions' signatures) ----
COLORREF WINAPI SkinnedGetSysColor(int Index);
HBRUSH WINAPI SkinnedGetSysColorBrush(int Index);
HPEN WINAPI SkinnedCreatePen(int Style, int Width, COLORREF Color);

// ---- switching (each only patches or restores when its state changes) ----
void GetSysColorOn();
void GetSysColorOff();
void GetSysColorBrushOn();
void GetSysColorBrushOff();
void CreatePenOn();
void CreatePenOff();
// All three.
void SysColorsOn();
void SysColorsOff();
// The redirection of GetSysColor, GetSysColorBrush and CreatePen (0, 1, 2) is on.
bool SysColorRedirected(int Function);
// The exported address of GetSysColor, GetSysColorBrush and CreatePen (0, 1, 2).
FARPROC SysColorFunction(int Function);

// A skin load replaces the manager's brushes: one handed out by the redirected
// GetSysColorBrush may still be held by a caller, so while the redirection is on it is kept
// until the redirection is switched off; otherwise it is deleted now.
void ReleaseSkinBrush(HBRUSH Brush);
