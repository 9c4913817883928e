#include "skin/graphics/sGraphUtils.Entries.h"

// Plain globals, constant-initialised: code that runs before the start-up sees them empty.
TSetLayoutEntry SetLayoutEntry = nullptr;
TGetLayoutEntry GetLayoutEntry = nullptr;
TUpdateLayeredWindowEntry UpdateLayeredWindowEntry = nullptr;
TSetLayeredWindowAttributesEntry SetLayeredWindowAttributesEntry = nullptr;

namespace {

int gStartCount = 0;
HMODULE gGdi32 = nullptr;
HMODULE gUser32 = nullptr;

template <class F>
F Bind(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The unit's own start-up at process start and clean-up at exit.
struct TUnitLifetime {
  TUnitLifetime() { GraphUnitStartup(); }
  ~TUnitLifetime() { GraphUnitCleanup(); }
} gLifetime;

}  // namespace

void GraphUnitStartup() {
  if (gStartCount++ != 0) return;
  gGdi32 = LoadLibraryW(L"gdi32.dll");
  if (gGdi32) {
    SetLayoutEntry = Bind<TSetLayoutEntry>(gGdi32, "SetLayout");
    GetLayoutEntry = Bind<TGetLayoutEntry>(gGdi32, "GetLayout");
  }
  if (!UpdateLayeredWindowEntry) {
    gUser32 = LoadLibraryW(L"user32.dll");
    if (gUser32) {
      UpdateLayeredWindowEntry = Bind<TUpdateLayeredWindowEntry>(gUser32, "UpdateLayeredWindow");
      SetLayeredWindowAttributesEntry = Bind<TSetLayeredWindowAttributesEntry>(gUser32, "SetLayeredWindowAttributes");
    }
  }
}

void GraphUnitCleanup() {
  if (gStartCount <= 0 || --gStartCount != 0) return;
  SetLayoutEntry = nullptr;
  GetLayoutEntry = nullptr;
  UpdateLayeredWindowEntry = nullptr;
  SetLayeredWindowAttributesEntry = nullptr;
  if (gUser32) FreeLibrary(gUser32);
  if (gGdi32) FreeLibrary(gGdi32);
  gUser32 = gGdi32 = nullptr;
}

bool LayeredWindowsAvailable() { return UpdateLayeredWindowEntry != nullptr; }

void SetDCLayout(HDC dc, DWORD layout) {
  if (SetLayoutEntry) SetLayoutEntry(dc, layout);
}

DWORD GetDCLayout(HDC dc) { return GetLayoutEntry ? GetLayoutEntry(dc) : 0; }
