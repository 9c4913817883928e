// A full repaint (RedrawWindow 0x585, painted before it returns) of a skinned message-box
// shaped dialog and of a dialog with 30 native controls, and the dialog handler's PaintAll
// alone, at 96 pixels per inch, side by side with the same dialogs unskinned in the same run,
// under the dialog test skin of tools/make_skin.py. Prints ms per call and the ratios.
// Usage: bench_dialogpaint SKIN_FOLDER
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "platform/ui/Forms.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

template <class F>
double Ms(F&& step) {
  return BestSecondsPerCall([&] {
    step();
    GdiFlush();
  }, 5, 0.2) * 1000.0;
}

// A dialog template built in memory.
class TTemplate {
public:
  TTemplate(DWORD Style, short Cx, short Cy) {
    Dword(Style);
    Dword(0);
    FCountAt = FWords.size();
    FWords.push_back(0);
    for (short v : {short(20), short(20), Cx, Cy}) FWords.push_back(static_cast<WORD>(v));
    FWords.push_back(0);
    FWords.push_back(0);
    for (const wchar_t* p = L"Benchmark"; *p; ++p) FWords.push_back(static_cast<WORD>(*p));
    FWords.push_back(0);
  }
  void Item(const wchar_t* Class, DWORD Style, short X, short Y, short Cx, short Cy, WORD Id, const wchar_t* Text) {
    if (FWords.size() % 2) FWords.push_back(0);
    Dword(Style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    for (short v : {X, Y, Cx, Cy}) FWords.push_back(static_cast<WORD>(v));
    FWords.push_back(Id);
    for (const wchar_t* p = Class; *p; ++p) FWords.push_back(static_cast<WORD>(*p));
    FWords.push_back(0);
    for (const wchar_t* p = Text; *p; ++p) FWords.push_back(static_cast<WORD>(*p));
    FWords.push_back(0);
    FWords.push_back(0);
    ++FWords[FCountAt];
  }
  HWND Create() {
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(FWords.data()),
                                      nullptr, [](HWND, UINT m, WPARAM, LPARAM) -> INT_PTR { return m == WM_INITDIALOG; },
                                      0);
  }

private:
  void Dword(DWORD V) {
    FWords.push_back(LOWORD(V));
    FWords.push_back(HIWORD(V));
  }
  std::vector<WORD> FWords;
  std::size_t FCountAt = 0;
};

TTemplate MessageBoxShape() {
  TTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 200, 60);
  t.Item(L"STATIC", SS_ICON, 8, 8, 20, 20, 20, L"");
  t.Item(L"STATIC", SS_LEFT, 36, 10, 150, 20, 0xFFFF, L"The update was installed. The kiosk restarts soon.");
  t.Item(L"BUTTON", BS_DEFPUSHBUTTON, 75, 38, 50, 14, IDOK, L"OK");
  return t;
}

TTemplate ThirtyControls() {
  TTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 320, 200);
  for (int i = 0; i < 30; ++i) {
    const short x = static_cast<short>(6 + (i % 3) * 104), y = static_cast<short>(6 + (i / 3) * 19);
    switch (i % 5) {
      case 0: t.Item(L"STATIC", SS_LEFT, x, y, 96, 12, static_cast<WORD>(100 + i), L"Label text"); break;
      case 1: t.Item(L"BUTTON", BS_PUSHBUTTON, x, y, 96, 14, static_cast<WORD>(100 + i), L"Button"); break;
      case 2: t.Item(L"BUTTON", BS_AUTOCHECKBOX, x, y, 96, 12, static_cast<WORD>(100 + i), L"Check"); break;
      case 3: t.Item(L"EDIT", WS_BORDER, x, y, 96, 14, static_cast<WORD>(100 + i), L"Edit"); break;
      default: t.Item(L"BUTTON", BS_AUTORADIOBUTTON, x, y, 96, 12, static_cast<WORD>(100 + i), L"Radio"); break;
    }
  }
  return t;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_dialogpaint SKIN_FOLDER\n");
    return 2;
  }
  Application().Initialize();
  SkinEngineStartup();
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  TsSkinManager* manager = CreateComponent<TsSkinManager>(nullptr);
  manager->SetSkinDirectory(argv[1]);
  manager->SetSkinName(L"Tarvel Dialog");
  manager->Options.PixelsPerInch = 96;
  manager->SetActive(true);
  manager->InstallHook();
  struct Case {
    const char* Name;
    TTemplate (*Make)();
  } cases[] = {{"message box", MessageBoxShape}, {"30 native controls", ThirtyControls}};
  for (const Case& c : cases) {
    HWND skinned = c.Make().Create();
    manager->OnSysDlgInit = [](HWND, bool& Allow) { Allow = false; };
    HWND plain = c.Make().Create();
    manager->OnSysDlgInit = nullptr;
    for (int i = 0; i < 20; ++i) {
      Pump();
      Sleep(10);
    }
    TacProvider* p = FindDialogProvider(skinned);
    if (!p || !p->ListSW || FindDialogProvider(plain)) {
      std::fprintf(stderr, "%s: the dialogs were not taken over as expected\n", c.Name);
      return 1;
    }
    TacDialogWnd* h = p->ListSW;
    const double own = Ms([&] { RedrawWindow(skinned, nullptr, nullptr, 0x585); });
    const double native = Ms([&] { RedrawWindow(plain, nullptr, nullptr, 0x585); });
    const double paintAll = Ms([&] {
      h->SkinData->BGChanged = true;
      h->PaintAll();
    });
    std::printf("%-20s skinned %.3f ms (%.0f%% of 16 ms)  unskinned %.3f ms  ratio %.2f  PaintAll %.3f ms\n", c.Name,
                own, own * 100.0 / 16.0, native, native > 0 ? own / native : 0.0, paintAll);
    DestroyWindow(skinned);
    DestroyWindow(plain);
    Pump();
  }
  TComponent::Free(manager);
  SkinEngineCleanup();
  return 0;
}
