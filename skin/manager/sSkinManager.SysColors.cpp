#include "skin/manager/sSkinManager.SysColors.h"

#include <cstring>
#include <vector>

#include "platform/ui/Forms.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.h"

// ---------------------------------------------------------------------------
// Pure pieces
// ---------------------------------------------------------------------------

namespace {
// More jumps in a row than any loader builds: a longer chain is a loop.
constexpr int MaxJumpChain = 8;

template <class T>
bool ReadValue(const TacCodeReader& read, std::uintptr_t address, T& value) {
  return read(address, &value, sizeof(T));
}
}  // namespace

std::uintptr_t ResolveApiEntry(std::uintptr_t Address, const TacCodeReader& Read, bool Is64) {
  for (int i = 0; i <= MaxJumpChain; ++i) {
    std::uint8_t code[6];
    if (!Address || !Read(Address, code, sizeof(code))) return Address;
    if (code[0] != 0xFF || code[1] != 0x25) return Address;
    std::int32_t operand;
    std::memcpy(&operand, code + 2, sizeof(operand));
    if (Is64) {
      const std::uintptr_t slot = Address + 6 + static_cast<std::intptr_t>(operand);
      std::uint64_t target = 0;
      if (!ReadValue(Read, slot, target)) return 0;
      Address = static_cast<std::uintptr_t>(target);
    } else {
      const std::uintptr_t slot = static_cast<std::uint32_t>(operand);
      std::uint32_t target = 0;
      if (!ReadValue(Read, slot, target)) return 0;
      Address = target;
    }
  }
  return 0;
}

std::optional<std::array<std::uint8_t, 5>> MakeJumpBytes(std::uintptr_t From, std::uintptr_t To) {
  const long long distance = static_cast<long long>(To) - static_cast<long long>(From) - 5;
  std::int32_t rel;
  if constexpr (sizeof(std::uintptr_t) == 4) {
    // A 32-bit address space wraps: every target is in reach.
    rel = static_cast<std::int32_t>(static_cast<std::uint32_t>(To - From - 5));
  } else {
    if (distance < INT32_MIN || distance > INT32_MAX) return std::nullopt;
    rel = static_cast<std::int32_t>(distance);
  }
  std::array<std::uint8_t, 5> bytes{0xE9};
  std::memcpy(bytes.data() + 1, &rel, sizeof(rel));
  return bytes;
}

std::array<std::uint8_t, acRelaySize> MakeRelayBytes(std::uint64_t To) {
  std::array<std::uint8_t, acRelaySize> bytes{0xFF, 0x25, 0, 0, 0, 0};
  std::memcpy(bytes.data() + 6, &To, sizeof(To));
  return bytes;
}

// ---------------------------------------------------------------------------
// Patching
// ---------------------------------------------------------------------------

namespace {

bool ReadOwnMemory(std::uintptr_t address, void* buffer, std::size_t count) {
  SIZE_T done = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(address), buffer, count, &done) &&
         done == count;
}

std::uintptr_t EntryOf(FARPROC proc) {
  return ResolveApiEntry(reinterpret_cast<std::uintptr_t>(proc), ReadOwnMemory, sizeof(void*) == 8);
}

bool WriteCode(std::uintptr_t address, const void* bytes, std::size_t count) {
  void* target = reinterpret_cast<void*>(address);
  DWORD old = 0;
  if (!VirtualProtect(target, count, PAGE_EXECUTE_READWRITE, &old)) return false;
  std::memcpy(target, bytes, count);
  DWORD ignored = 0;
  VirtualProtect(target, count, old, &ignored);
  FlushInstructionCache(GetCurrentProcess(), target, count);
  return true;
}

// One relay per replacement target, each in a page of its own within a jump's reach of the
// entry it serves; they live as long as the process (a thread may still be inside one).
struct TRelay {
  std::uintptr_t Entry;
  const void* Target;
  std::uintptr_t Code;
};
std::vector<TRelay>& Relays() {
  static std::vector<TRelay> relays;
  return relays;
}

// A page of executable memory within 2 GB of Near; 0 when none is free.
std::uintptr_t AllocateNear(std::uintptr_t Near) {
  SYSTEM_INFO si{};
  GetSystemInfo(&si);
  const std::uintptr_t granularity = si.dwAllocationGranularity ? si.dwAllocationGranularity : 0x10000;
  const std::uintptr_t reach = 0x7FF00000;
  const std::uintptr_t low = Near > reach ? Near - reach : granularity;
  const std::uintptr_t high = Near + reach;
  // Downward first, then upward, region by region.
  for (int direction = 0; direction < 2; ++direction) {
    std::uintptr_t address = (Near & ~(granularity - 1));
    address = direction == 0 ? address - granularity : address + granularity;
    while (address >= low && address <= high) {
      MEMORY_BASIC_INFORMATION mbi{};
      if (!VirtualQuery(reinterpret_cast<void*>(address), &mbi, sizeof(mbi))) break;
      if (mbi.State == MEM_FREE) {
        if (void* page = VirtualAlloc(reinterpret_cast<void*>(address), si.dwPageSize, MEM_RESERVE | MEM_COMMIT,
                                      PAGE_EXECUTE_READWRITE))
          return reinterpret_cast<std::uintptr_t>(page);
      }
      const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(direction == 0 ? mbi.AllocationBase : mbi.BaseAddress);
      if (direction == 0) {
        const std::uintptr_t from = base && base < address ? base : address;
        if (from < granularity) break;
        address = (from - 1) & ~(granularity - 1);
      } else {
        const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
        address = (next + granularity - 1) & ~(granularity - 1);
      }
    }
  }
  return 0;
}

// Where the five patched bytes jump to: the replacement itself when it is in reach, else a
// relay near the entry.
std::uintptr_t JumpTargetFor(std::uintptr_t entry, const void* newProc) {
  const auto to = reinterpret_cast<std::uintptr_t>(newProc);
  if (MakeJumpBytes(entry, to)) return to;
  for (const TRelay& r : Relays())
    if (r.Target == newProc && MakeJumpBytes(entry, r.Code)) return r.Code;
  const std::uintptr_t page = AllocateNear(entry);
  if (!page) return 0;
  const auto relay = MakeRelayBytes(static_cast<std::uint64_t>(to));
  std::memcpy(reinterpret_cast<void*>(page), relay.data(), relay.size());
  FlushInstructionCache(GetCurrentProcess(), reinterpret_cast<void*>(page), relay.size());
  Relays().push_back({entry, newProc, page});
  return page;
}

}  // namespace

void PatchApiEntry(FARPROC Proc, const void* NewProc, TacSaveBuf& SaveBuf) {
  const std::uintptr_t entry = EntryOf(Proc);
  if (!entry) return;
  TacSaveBuf saved{};
  if (!ReadOwnMemory(entry, saved.data(), saved.size())) return;
  const std::uintptr_t target = JumpTargetFor(entry, NewProc);
  const auto jump = target ? MakeJumpBytes(entry, target) : std::nullopt;
  if (!jump) return;
  if (WriteCode(entry, jump->data(), jump->size())) SaveBuf = saved;
}

void RestoreApiEntry(FARPROC Proc, TacSaveBuf& SaveBuf) {
  if (SaveBuf[0] == 0 || !Proc) return;
  const std::uintptr_t entry = EntryOf(Proc);
  // The entry cannot be found again: nothing is written where it is not known to be.
  if (!entry) return;
  WriteCode(entry, SaveBuf.data(), SaveBuf.size());
  SaveBuf[0] = 0;
}

// ---------------------------------------------------------------------------
// The three redirections
// ---------------------------------------------------------------------------

namespace {

struct TRedirection {
  const wchar_t* Module;
  const char* Name;
  const void* Replacement;
  TacSaveBuf Save{};
  bool On = false;
  FARPROC Proc() const { return GetProcAddress(GetModuleHandleW(Module), Name); }
};

TRedirection gRedirections[3] = {
    {L"user32.dll", "GetSysColor", reinterpret_cast<const void*>(&SkinnedGetSysColor)},
    {L"user32.dll", "GetSysColorBrush", reinterpret_cast<const void*>(&SkinnedGetSysColorBrush)},
    {L"gdi32.dll", "CreatePen", reinterpret_cast<const void*>(&SkinnedCreatePen)},
};

void SwitchOn(int i) {
  TRedirection& r = gRedirections[i];
  if (r.On) return;
  PatchApiEntry(r.Proc(), r.Replacement, r.Save);
  // Set also when the bytes could not be read: the empty save buffer makes the restore a no-op.
  r.On = true;
}

void SwitchOff(int i) {
  TRedirection& r = gRedirections[i];
  if (!r.On) return;
  r.On = false;
  RestoreApiEntry(r.Proc(), r.Save);
}

// Off around the real call, on again afterwards, also when it throws.
struct TRealCall {
  int Index;
  bool WasOn;
  explicit TRealCall(int index) : Index(index), WasOn(gRedirections[index].On) { SwitchOff(index); }
  ~TRealCall() {
    if (WasOn) SwitchOn(Index);
  }
  template <class F>
  F Proc() const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(gRedirections[Index].Proc()));
  }
};

// The brushes handed out for COLOR_WINDOWTEXT, COLOR_HIGHLIGHT and COLOR_HIGHLIGHTTEXT (one
// per colour) and the manager's brushes a load replaced; callers never free system brushes,
// so all live until the redirection of GetSysColorBrush is switched off.
struct TColorBrush {
  int Index;
  COLORREF Color;
  HBRUSH Brush;
};
std::vector<TColorBrush> gColorBrushes;
std::vector<HBRUSH> gRetiredBrushes;

void FreeHandedOutBrushes() {
  for (TColorBrush& b : gColorBrushes) DeleteObject(b.Brush);
  gColorBrushes.clear();
  for (HBRUSH b : gRetiredBrushes) DeleteObject(b);
  gRetiredBrushes.clear();
}

HBRUSH ColorBrush(int index, COLORREF color) {
  for (TColorBrush& b : gColorBrushes) {
    if (b.Index != index) continue;
    if (b.Color == color) return b.Brush;
    // A new skin: the old brush may still be held, so it is kept beside the new one.
    gRetiredBrushes.push_back(b.Brush);
    b.Color = color;
    b.Brush = CreateSolidBrush(color);
    return b.Brush;
  }
  HBRUSH brush = CreateSolidBrush(color);
  gColorBrushes.push_back({index, color, brush});
  return brush;
}

COLORREF Rgb(TColor c) { return static_cast<COLORREF>(c) & 0xFFFFFF; }

bool ActiveFormShows() {
  TForm* form = Screen().ActiveForm();
  return form && form->HandleAllocated() && IsWindowVisible(form->Handle());
}

COLORREF Dark(const TsSkinManager& m) { return BlendTwoColors(Rgb(m.Palette[pcMainColor]), 0, 205); }
COLORREF Light(const TsSkinManager& m) { return BlendTwoColors(Rgb(m.Palette[pcMainColor]), 0xFFFFFF, 205); }

}  // namespace

COLORREF WINAPI SkinnedGetSysColor(int Index) {
  if (TsSkinManager* m = DefaultManager(); m && ActiveFormShows()) {
    const TacPalette& p = m->Palette;
    switch (Index) {
      case COLOR_WINDOW: return Rgb(p[pcEditBG]);
      case COLOR_WINDOWFRAME: return Rgb(p[pcBorder]);
      case COLOR_WINDOWTEXT: return Rgb(p[pcEditText]);
      case COLOR_INACTIVEBORDER: return Rgb(m->SkinCommonInfo.SysInactiveBorderColor);
      case COLOR_HIGHLIGHT: return Rgb(p[pcSelectionBG_Focused]);
      case COLOR_HIGHLIGHTTEXT: return Rgb(p[pcSelectionText_Focused]);
      case COLOR_BTNSHADOW:
      case COLOR_3DDKSHADOW: return Dark(*m);
      case COLOR_3DLIGHT: return Light(*m);
      default: break;
    }
  }
  TRealCall call(0);
  return call.Proc<COLORREF(WINAPI*)(int)>()(Index);
}

HBRUSH WINAPI SkinnedGetSysColorBrush(int Index) {
  TsSkinManager* m = DefaultManager();
  if (!m) return nullptr;
  const TacPalette& p = m->Palette;
  switch (Index) {
    case COLOR_WINDOW: return m->Brushes[5];
    case COLOR_WINDOWTEXT: return ColorBrush(Index, Rgb(p[pcEditText]));
    case COLOR_HIGHLIGHT: return ColorBrush(Index, Rgb(p[pcSelectionBG_Focused]));
    case COLOR_HIGHLIGHTTEXT: return ColorBrush(Index, Rgb(p[pcSelectionText_Focused]));
    default: break;
  }
  TRealCall call(1);
  return call.Proc<HBRUSH(WINAPI*)(int)>()(Index);
}

HPEN WINAPI SkinnedCreatePen(int Style, int Width, COLORREF Color) {
  if (TsSkinManager* m = DefaultManager()) {
    const TacPalette& p = m->Palette;
    switch (Color) {
      case 5: Color = Rgb(p[pcEditBG]); break;
      case 6: Color = Rgb(p[pcBorder]); break;
      case 11: Color = Rgb(m->SkinCommonInfo.SysInactiveBorderColor); break;
      case 13: Color = Rgb(p[pcSelectionBG_Focused]); break;
      case 14: Color = Rgb(p[pcSelectionText_Focused]); break;
      case 15: Color = Rgb(p[pcMainColor]); break;
      case 16:
      case 21: Color = Dark(*m); break;
      case 22: Color = Light(*m); break;
      case 0xC0C0C0:
      case 0xF0F0F0: Color = BlendTwoColors(Rgb(p[pcEditText]), Rgb(p[pcEditBG]), 38); break;
      default: break;
    }
  }
  TRealCall call(2);
  return call.Proc<HPEN(WINAPI*)(int, int, COLORREF)>()(Style, Width, Color);
}

void GetSysColorOn() { SwitchOn(0); }
void GetSysColorOff() { SwitchOff(0); }
void GetSysColorBrushOn() { SwitchOn(1); }
void GetSysColorBrushOff() {
  SwitchOff(1);
  FreeHandedOutBrushes();
}
void CreatePenOn() { SwitchOn(2); }
void CreatePenOff() { SwitchOff(2); }

void SysColorsOn() {
  GetSysColorOn();
  GetSysColorBrushOn();
  CreatePenOn();
}

void SysColorsOff() {
  GetSysColorOff();
  GetSysColorBrushOff();
  CreatePenOff();
}

bool SysColorRedirected(int Function) { return Function >= 0 && Function < 3 && gRedirections[Function].On; }

FARPROC SysColorFunction(int Function) {
  return Function >= 0 && Function < 3 ? gRedirections[Function].Proc() : nullptr;
}

void ReleaseSkinBrush(HBRUSH Brush) {
  if (!Brush) return;
  if (gRedirections[1].On)
    gRetiredBrushes.push_back(Brush);
  else
    DeleteObject(Brush);
}
