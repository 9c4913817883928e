#pragma once
// Counts the GDI objects and device contexts this executable makes and gives back, by
// redirecting its own imports of the creating and releasing functions. Wine does not answer
// GetGuiResources, so a leak is seen as a balance that keeps growing.
#include <windows.h>
#include <atomic>
#include <cstring>

namespace gdi_counter {

inline std::atomic<long> g_balance{0};
inline std::atomic<long> g_created{0};

// One redirected import: Tag tells the functions of the same signature apart.
template <int Tag, int Delta, class R, class... A>
struct TCounting {
  static inline R(WINAPI* Original)(A...) = nullptr;
  static R WINAPI Call(A... a) {
    R r = Original(a...);
    if (r) {
      g_balance += Delta;
      if (Delta > 0) ++g_created;
    }
    return r;
  }
};

// Replaces the import `name` of our module by `replacement`; the previous address is returned.
inline void* PatchImport(const char* name, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD old;
      VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
      void* previous = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
      return previous;
    }
  }
  return nullptr;
}

}  // namespace gdi_counter

// While it lives, the executable's GDI creations and releases are counted in Balance().
class TGdiCounter {
public:
  TGdiCounter() {
    using namespace gdi_counter;
    Patch<TCounting<1, +1, HDC, HWND, LPPAINTSTRUCT>>("BeginPaint");
    Patch<TCounting<2, -1, BOOL, HWND, const PAINTSTRUCT*>>("EndPaint");
    Patch<TCounting<3, +1, HDC, HWND>>("GetDC");
    Patch<TCounting<4, +1, HDC, HWND>>("GetWindowDC");
    Patch<TCounting<5, -1, int, HWND, HDC>>("ReleaseDC");
    Patch<TCounting<6, +1, HDC, HDC>>("CreateCompatibleDC");
    Patch<TCounting<7, -1, BOOL, HDC>>("DeleteDC");
    Patch<TCounting<8, +1, HBRUSH, COLORREF>>("CreateSolidBrush");
    Patch<TCounting<9, +1, HPEN, int, int, COLORREF>>("CreatePen");
    Patch<TCounting<10, +1, HFONT, const LOGFONTW*>>("CreateFontIndirectW");
    Patch<TCounting<11, +1, HBITMAP, HDC, int, int>>("CreateCompatibleBitmap");
    Patch<TCounting<12, +1, HRGN, int, int, int, int>>("CreateRectRgn");
    Patch<TCounting<13, -1, BOOL, HGDIOBJ>>("DeleteObject");
    Patch<TCounting<14, +1, HBITMAP, HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD>>("CreateDIBSection");
  }
  ~TGdiCounter() {
    for (int i = 0; i < FCount; ++i) gdi_counter::PatchImport(FNames[i], FOriginals[i]);
  }
  TGdiCounter(const TGdiCounter&) = delete;
  TGdiCounter& operator=(const TGdiCounter&) = delete;
  long Balance() const { return gdi_counter::g_balance.load(); }
  // How many objects and DCs were made so far, whatever became of them.
  long Created() const { return gdi_counter::g_created.load(); }
  // How many of the functions the executable imports (at least BeginPaint must be there).
  int Patched() const { return FCount; }

private:
  template <class C>
  void Patch(const char* name) {
    void* previous = gdi_counter::PatchImport(name, reinterpret_cast<void*>(&C::Call));
    if (!previous) return;
    C::Original = reinterpret_cast<decltype(C::Original)>(previous);
    FNames[FCount] = name;
    FOriginals[FCount++] = previous;
  }
  const char* FNames[16] = {};
  void* FOriginals[16] = {};
  int FCount = 0;
};
