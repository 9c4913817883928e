// The border window's update (UpdateExBordersPos) in ms beside the 6 ms period of the
// rescale animation that paces the most frequent calls: once with a new non-client image
// (render and push) and once pushing the image it has (a move or activation). Two forms under
// the extended-border test skin "Tarvel Frame Ex" of tools/make_skin.py: the progress
// window's frame (450 x 120 client, close only) and a 1280 x 800 sizeable form.
// Usage: bench_borderwindow SKIN_FOLDER
#include <windows.h>

#include <cstdio>
#include <string>

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
    std::fprintf(stderr, "usage: bench_borderwindow SKIN_FOLDER\n");
    return 2;
  }
  Application().Initialize();
  TsSkinManager* manager = CreateComponent<TsSkinManager>(nullptr);
  manager->SetSkinDirectory(argv[1]);
  manager->SetSkinName(L"Tarvel Frame Ex");
  manager->SetExtendedBorders(true);
  manager->SetActive(true);
  struct Case {
    const char* Name;
    TFormBorderStyle Style;
    unsigned Icons;
    int W, H;
  } cases[] = {{"progress 450x120 close only", bsSingle, biSystemMenu, 450, 120},
               {"sizeable 1280x800", bsSizeable, biSystemMenu | biMinimize | biMaximize, 1280, 800}};
  const double period = 6.0;
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
    TacBorderForm* border = p->BorderForm;
    if (!border) {
      std::printf("%-30s no border window\n", c.Name);
      TComponent::Free(form);
      continue;
    }
    const double fresh = Ms([&] {
      p->FCommonData->BGChanged = true;
      border->UpdateExBordersPos(true, 255);
    });
    const double push = Ms([&] { border->UpdateExBordersPos(true, 255); });
    std::printf("%-30s new image %7.3f ms (%.2f of %g ms)   same image %7.3f ms (%.2f of %g ms)\n", c.Name, fresh,
                fresh / period, period, push, push / period, period);
    TComponent::Free(form);
  }
  TComponent::Free(manager);
  return 0;
}
