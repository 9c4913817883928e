#include "skin/handlers/acDials.h"

// Filled later with the window handlers (see the header).
bool SkinNewTopWindow(HWND Wnd, void* Info) {
  (void)Wnd;
  (void)Info;
  return false;
}

std::vector<TacProvider*>* HookedProviders = nullptr;

LRESULT CALLBACK DialogCbtHookProc(int Code, WPARAM WParam, LPARAM LParam) {
  return CallNextHookEx(nullptr, Code, WParam, LParam);
}

void FreeMenuWindows() {}

// ---- glyphs of image lists ----

#include "platform/ui/ImgList.h"

int ImageListCount(TCustomImageList* List) { return List ? List->Count() : 0; }

int ScaledImageWidth(TCustomImageList* List, int Index, int PPI) {
  (void)Index;
  return List ? PPI * List->Width() / 96 : 0;
}

int ScaledImageHeight(TCustomImageList* List, int Index, int PPI) {
  (void)Index;
  return List ? PPI * List->Height() / 96 : 0;
}

void DrawListGlyph(const TacGlyphDrawInfo& Info) { (void)Info; }
