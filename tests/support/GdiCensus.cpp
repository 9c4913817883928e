#include "GdiCensus.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

enum TKind { kBrush, kPen, kFont, kBitmap, kRegion, kMemoryDC };

std::mutex gLock;
std::unordered_map<void*, TKind>& Live() {
  static std::unordered_map<void*, TKind> live;
  return live;
}
bool gInstalled = false;

template <class H>
H Made(H Handle, TKind Kind) {
  if (Handle) {
    std::lock_guard<std::mutex> lock(gLock);
    Live()[reinterpret_cast<void*>(Handle)] = Kind;
  }
  return Handle;
}
void Gone(void* Handle) {
  std::lock_guard<std::mutex> lock(gLock);
  Live().erase(Handle);
}

// The originals, resolved from the system's modules.
template <class F>
F Original(const wchar_t* Module, const char* Name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(Module), Name)));
}
#define ORIGINAL(module, name) static const auto real = Original<decltype(&::name)>(module, #name)

HBRUSH WINAPI CountCreateSolidBrush(COLORREF C) {
  ORIGINAL(L"gdi32.dll", CreateSolidBrush);
  return Made(real(C), kBrush);
}
HBRUSH WINAPI CountCreateBrushIndirect(const LOGBRUSH* L) {
  ORIGINAL(L"gdi32.dll", CreateBrushIndirect);
  return Made(real(L), kBrush);
}
HBRUSH WINAPI CountCreatePatternBrush(HBITMAP B) {
  ORIGINAL(L"gdi32.dll", CreatePatternBrush);
  return Made(real(B), kBrush);
}
HPEN WINAPI CountCreatePen(int S, int W, COLORREF C) {
  ORIGINAL(L"gdi32.dll", CreatePen);
  return Made(real(S, W, C), kPen);
}
HPEN WINAPI CountCreatePenIndirect(const LOGPEN* L) {
  ORIGINAL(L"gdi32.dll", CreatePenIndirect);
  return Made(real(L), kPen);
}
HPEN WINAPI CountExtCreatePen(DWORD S, DWORD W, const LOGBRUSH* B, DWORD N, const DWORD* St) {
  ORIGINAL(L"gdi32.dll", ExtCreatePen);
  return Made(real(S, W, B, N, St), kPen);
}
HFONT WINAPI CountCreateFontIndirectW(const LOGFONTW* L) {
  ORIGINAL(L"gdi32.dll", CreateFontIndirectW);
  return Made(real(L), kFont);
}
HFONT WINAPI CountCreateFontW(int H, int W, int E, int O, int Wt, DWORD I, DWORD U, DWORD S, DWORD C, DWORD OP,
                              DWORD CP, DWORD Q, DWORD PF, LPCWSTR F) {
  ORIGINAL(L"gdi32.dll", CreateFontW);
  return Made(real(H, W, E, O, Wt, I, U, S, C, OP, CP, Q, PF, F), kFont);
}
HBITMAP WINAPI CountCreateDIBSection(HDC D, const BITMAPINFO* I, UINT U, void** B, HANDLE S, DWORD O) {
  ORIGINAL(L"gdi32.dll", CreateDIBSection);
  return Made(real(D, I, U, B, S, O), kBitmap);
}
HBITMAP WINAPI CountCreateCompatibleBitmap(HDC D, int W, int H) {
  ORIGINAL(L"gdi32.dll", CreateCompatibleBitmap);
  return Made(real(D, W, H), kBitmap);
}
HBITMAP WINAPI CountCreateBitmap(int W, int H, UINT P, UINT B, const void* Bits) {
  ORIGINAL(L"gdi32.dll", CreateBitmap);
  return Made(real(W, H, P, B, Bits), kBitmap);
}
HRGN WINAPI CountCreateRectRgn(int L, int T, int R, int B) {
  ORIGINAL(L"gdi32.dll", CreateRectRgn);
  return Made(real(L, T, R, B), kRegion);
}
HRGN WINAPI CountCreateRectRgnIndirect(const RECT* R) {
  ORIGINAL(L"gdi32.dll", CreateRectRgnIndirect);
  return Made(real(R), kRegion);
}
HRGN WINAPI CountCreateRoundRectRgn(int L, int T, int R, int B, int W, int H) {
  ORIGINAL(L"gdi32.dll", CreateRoundRectRgn);
  return Made(real(L, T, R, B, W, H), kRegion);
}
HRGN WINAPI CountCreateEllipticRgn(int L, int T, int R, int B) {
  ORIGINAL(L"gdi32.dll", CreateEllipticRgn);
  return Made(real(L, T, R, B), kRegion);
}
HRGN WINAPI CountCreatePolygonRgn(const POINT* P, int N, int M) {
  ORIGINAL(L"gdi32.dll", CreatePolygonRgn);
  return Made(real(P, N, M), kRegion);
}
HRGN WINAPI CountExtCreateRegion(const XFORM* X, DWORD N, const RGNDATA* D) {
  ORIGINAL(L"gdi32.dll", ExtCreateRegion);
  return Made(real(X, N, D), kRegion);
}
HDC WINAPI CountCreateCompatibleDC(HDC D) {
  ORIGINAL(L"gdi32.dll", CreateCompatibleDC);
  return Made(real(D), kMemoryDC);
}
BOOL WINAPI CountDeleteObject(HGDIOBJ O) {
  ORIGINAL(L"gdi32.dll", DeleteObject);
  const BOOL ok = real(O);
  if (ok) Gone(O);
  return ok;
}
BOOL WINAPI CountDeleteDC(HDC D) {
  ORIGINAL(L"gdi32.dll", DeleteDC);
  const BOOL ok = real(D);
  if (ok) Gone(D);
  return ok;
}
int WINAPI CountSetWindowRgn(HWND W, HRGN R, BOOL Redraw) {
  ORIGINAL(L"user32.dll", SetWindowRgn);
  const int ok = real(W, R, Redraw);
  if (ok && R) Gone(R);  // the system owns it now
  return ok;
}

struct TRedirect {
  const char* Name;
  void* Counter;
};
const TRedirect Redirects[] = {
    {"CreateSolidBrush", reinterpret_cast<void*>(&CountCreateSolidBrush)},
    {"CreateBrushIndirect", reinterpret_cast<void*>(&CountCreateBrushIndirect)},
    {"CreatePatternBrush", reinterpret_cast<void*>(&CountCreatePatternBrush)},
    {"CreatePen", reinterpret_cast<void*>(&CountCreatePen)},
    {"CreatePenIndirect", reinterpret_cast<void*>(&CountCreatePenIndirect)},
    {"ExtCreatePen", reinterpret_cast<void*>(&CountExtCreatePen)},
    {"CreateFontIndirectW", reinterpret_cast<void*>(&CountCreateFontIndirectW)},
    {"CreateFontW", reinterpret_cast<void*>(&CountCreateFontW)},
    {"CreateDIBSection", reinterpret_cast<void*>(&CountCreateDIBSection)},
    {"CreateCompatibleBitmap", reinterpret_cast<void*>(&CountCreateCompatibleBitmap)},
    {"CreateBitmap", reinterpret_cast<void*>(&CountCreateBitmap)},
    {"CreateRectRgn", reinterpret_cast<void*>(&CountCreateRectRgn)},
    {"CreateRectRgnIndirect", reinterpret_cast<void*>(&CountCreateRectRgnIndirect)},
    {"CreateRoundRectRgn", reinterpret_cast<void*>(&CountCreateRoundRectRgn)},
    {"CreateEllipticRgn", reinterpret_cast<void*>(&CountCreateEllipticRgn)},
    {"CreatePolygonRgn", reinterpret_cast<void*>(&CountCreatePolygonRgn)},
    {"ExtCreateRegion", reinterpret_cast<void*>(&CountExtCreateRegion)},
    {"CreateCompatibleDC", reinterpret_cast<void*>(&CountCreateCompatibleDC)},
    {"DeleteObject", reinterpret_cast<void*>(&CountDeleteObject)},
    {"DeleteDC", reinterpret_cast<void*>(&CountDeleteDC)},
    {"SetWindowRgn", reinterpret_cast<void*>(&CountSetWindowRgn)},
};

}  // namespace

bool InstallGdiCensus() {
  if (gInstalled) return true;
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return false;
  int patched = 0;
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
    const char* module = reinterpret_cast<const char*>(base + imp->Name);
    if (_stricmp(module, "gdi32.dll") != 0 && _stricmp(module, "user32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (imp->OriginalFirstThunk ? imp->OriginalFirstThunk
                                                                                       : imp->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
      for (const TRedirect& r : Redirects)
        if (std::strcmp(name, r.Name) == 0) {
          DWORD old = 0;
          VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &old);
          slots->u1.Function = reinterpret_cast<ULONG_PTR>(r.Counter);
          VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), old, &old);
          ++patched;
        }
    }
  }
  gInstalled = patched > 0;
  return gInstalled;
}

TGdiCensus GdiCensus() {
  std::lock_guard<std::mutex> lock(gLock);
  TGdiCensus c;
  for (const auto& [handle, kind] : Live()) {
    switch (kind) {
      case kBrush: ++c.Brushes; break;
      case kPen: ++c.Pens; break;
      case kFont: ++c.Fonts; break;
      case kBitmap: ++c.Bitmaps; break;
      case kRegion: ++c.Regions; break;
      case kMemoryDC: ++c.MemoryDCs; break;
    }
  }
  return c;
}

DWORD SystemGdiObjectCount() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }
