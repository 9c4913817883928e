// A skinned form's whole non-client render (PaintAll) and the copy of its frame into the
// window (WM_NCPAINT), in ms, beside one plain BitBlt of the same cache in the same run: the
// floor every copy pays. Two forms: a 450 x 120 client with close only (the progress window's
// frame) and a 1280 x 800 sizeable form. Usage: bench_nonclient [skin folder] [count]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

double Now(const LARGE_INTEGER& f) {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return c.QuadPart * 1000.0 / f.QuadPart;
}

template <class F>
double Median(int count, const LARGE_INTEGER& f, F&& step) {
  std::vector<double> ms;
  for (int i = 0; i < count; ++i) {
    const double start = Now(f);
    step();
    GdiFlush();
    ms.push_back(Now(f) - start);
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring folder = argc > 1 ? argv[1] : L"skin_fixtures\\forms";
  const int count = argc > 2 ? std::max(1, static_cast<int>(std::wcstol(argv[2], nullptr, 10))) : 200;
  Application().Initialize();
  TsSkinManager* manager = CreateComponent<TsSkinManager>(nullptr);
  manager->SetSkinDirectory(folder);
  manager->SetSkinName(L"Tarvel Forms");
  manager->SetActive(true);
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
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
    const double render = Median(count, f, [&] {
      p->FCommonData->BGChanged = true;
      p->PaintAll();
    });
    const double copy = Median(count, f, [&] { p->PaintNonClientArea(); });
    TBitmap* cache = p->FCommonData->FCacheBmp.get();
    const double blit = Median(count, f, [&] {
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
