#pragma once
// A census of the GDI objects this executable holds: GetGuiResources where it answers
// (Debian's Wine answers 0), otherwise the live balance of the executable's own creations and
// releases of brushes, pens, fonts, bitmaps, regions and device contexts. A region handed to
// SetWindowRgn belongs to the window from then on and counts as released.
#include <windows.h>

#include "ui/GdiCounter.h"

class TGdiCensus {
public:
  TGdiCensus() {
    using namespace gdi_counter;
    Patch<TCounting<101, +1, HFONT, int, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                    DWORD, LPCWSTR>>("CreateFontW");
    Patch<TCounting<102, +1, HRGN, const RECT*>>("CreateRectRgnIndirect");
    Patch<TCounting<103, +1, HRGN, int, int, int, int, int, int>>("CreateRoundRectRgn");
    Patch<TCounting<104, +1, HRGN, int, int, int, int>>("CreateEllipticRgn");
    Patch<TCounting<105, +1, HBITMAP, int, int, UINT, UINT, const void*>>("CreateBitmap");
    Patch<TCounting<106, +1, HBRUSH, const LOGBRUSH*>>("CreateBrushIndirect");
    Patch<TCounting<107, +1, HPEN, const LOGPEN*>>("CreatePenIndirect");
    Patch<TCounting<108, +1, HRGN, const XFORM*, DWORD, const RGNDATA*>>("ExtCreateRegion");
    Patch<TCounting<109, +1, HBRUSH, HBITMAP>>("CreatePatternBrush");
    Patch<TCounting<110, +1, HPEN, DWORD, DWORD, const LOGBRUSH*, DWORD, const DWORD*>>("ExtCreatePen");
    Patch<TCounting<111, +1, HRGN, const POINT*, int, int>>("CreatePolygonRgn");
    if (void* previous = PatchImport("SetWindowRgn", reinterpret_cast<void*>(&SetWindowRgnCounted))) {
      OriginalSetWindowRgn() = reinterpret_cast<decltype(&SetWindowRgn)>(previous);
      FNames[FCount] = "SetWindowRgn";
      FOriginals[FCount++] = previous;
    }
  }
  ~TGdiCensus() {
    for (int i = 0; i < FCount; ++i) gdi_counter::PatchImport(FNames[i], FOriginals[i]);
  }
  TGdiCensus(const TGdiCensus&) = delete;
  TGdiCensus& operator=(const TGdiCensus&) = delete;

  // The number of objects held now: the system's count when it gives one, else the balance.
  long Count() const {
    const DWORD system = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    return system ? static_cast<long>(system) : FCounter.Balance();
  }
  bool Patched() const { return FCounter.Patched() > 0; }

private:
  static decltype(&SetWindowRgn)& OriginalSetWindowRgn() {
    static decltype(&SetWindowRgn) original = nullptr;
    return original;
  }
  static int WINAPI SetWindowRgnCounted(HWND Wnd, HRGN Rgn, BOOL Redraw) {
    const int result = OriginalSetWindowRgn()(Wnd, Rgn, Redraw);
    if (result && Rgn) --gdi_counter::g_balance;
    return result;
  }
  template <class C>
  void Patch(const char* name) {
    void* previous = gdi_counter::PatchImport(name, reinterpret_cast<void*>(&C::Call));
    if (!previous) return;
    C::Original = reinterpret_cast<decltype(C::Original)>(previous);
    FNames[FCount] = name;
    FOriginals[FCount++] = previous;
  }
  TGdiCounter FCounter;
  const char* FNames[16] = {};
  void* FOriginals[16] = {};
  int FCount = 0;
};
