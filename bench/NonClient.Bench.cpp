// A skinned form's whole non-client render (PaintAll) and the copy of its frame into the
// window (WM_NCPAINT), in ms, beside one plain BitBlt of the same cache in the same run: the
// floor every copy pays. Two forms: a 450 x 120 client with close only (the progress window's
// frame) and a 1280 x 800 sizeable form, under the frame test skin of tools/make_skin.py.
// Usage: bench_nonclient SKIN_FOLDER
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// Milliseconds per call: the best of five rounds of 0.2 s.
template <class F>
double Ms(F&& step) {
  return BestSecondsPerCall([&] {
    step();
    GdiFlush();
  }, 5, 0.2) * 1000.0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_nonclient SKIN_FOLDER\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  Application().Initialize();
  TsSkinManager* manager = CreateComponent<TsSkinManager>(nullptr);
  manager->SetSkinDirectory(folder);
  manager->SetSkinName(L"Tarvel Frame");
  manager->SetActive(true);
  struct Case {
    const char* Name;
    TFormBorderStyle Style;
    unsigned Icons;
    int W, H;
  } cases[] = {{"progress 450x120 close only", bsSingle, biSystemMenu, 450, 120},
               {"sizeable 1280x800", bsSizeable, biSystemMenu | biMinimize | biMaximize, 1280, 800}};
  for (const Case& c : cases) {
    TForm* form = CreateComponent<TForm>(nullptr);
    form->SetBorderStyle(c.Style);
    form->SetBorderIcons(c.Icons);
    form->SetCaption(L"Benchmark");
    form->SetClientSize(c.W, c.H);
    TsSkinProvider* p = NewComponent<TsSkinProvider>(form);
    p->SkinManager = manager;
    form->Show();
    for (int i = 0; i < 20; ++i) {
      Pump();
      Sleep(10);
    }
    HWND wnd = form->Handle();
    const double render = Ms([&] {
      p->FCommonData->BGChanged = true;
      p->PaintAll();
    });
    const double copy = Ms([&] { p->PaintNonClientArea(); });
    TBitmap* cache = p->FCommonData->FCacheBmp.get();
    const double blit = Ms([&] {
      HDC dc = GetWindowDC(wnd);
      BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
      ReleaseDC(wnd, dc);
    });
    std::printf("%-28s PaintAll %.3f ms (%.1f%% of a 60 Hz frame)  WM_NCPAINT copy %.3f ms  plain BitBlt %.3f ms  copy/blit %.2f\n",
                c.Name, render, render * 100.0 / 16.7, copy, blit, blit > 0 ? copy / blit : 0.0);
    TComponent::Free(form);
    Pump();
  }
  TComponent::Free(manager);
  return 0;
}
