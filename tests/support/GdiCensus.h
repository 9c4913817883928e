// A census of the GDI objects the test executable itself made and has not given back:
// brushes, pens, fonts, bitmaps, regions and memory DCs. GetGuiResources answers 0 under
// Wine, so the executable's own imports of the creating and deleting functions are counted
// instead (a region handed to SetWindowRgn counts as given back). Install once; counts run
// from then on.
#pragma once

#include <windows.h>

#include <cstddef>

struct TGdiCensus {
  std::size_t Brushes = 0, Pens = 0, Fonts = 0, Bitmaps = 0, Regions = 0, MemoryDCs = 0;
  std::size_t Total() const { return Brushes + Pens + Fonts + Bitmaps + Regions + MemoryDCs; }
  bool operator==(const TGdiCensus&) const = default;
};

// Redirects the executable's imports through the counters; false when it could not.
bool InstallGdiCensus();
// The objects made since the census was installed and still alive.
TGdiCensus GdiCensus();
// GetGuiResources(GR_GDIOBJECTS) of this process, where the system answers it (0 otherwise).
DWORD SystemGdiObjectCount();
