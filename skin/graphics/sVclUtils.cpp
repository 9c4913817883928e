#include "skin/graphics/sVclUtils.h"

#include "skin/manager/sSkinManager.h"
#include "skin/manager/sSkinPalette.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "skin/graphics/sDPI.h"

namespace {

int ScreenPPI() {
  HDC dc = GetDC(nullptr);
  if (!dc) return 96;
  const int ppi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return ppi > 0 ? ppi : 96;
}

// GetDpiForMonitor of shcore, looked up once (Windows 8.1 and later).
using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
TGetDpiForMonitor DpiForMonitorEntry() {
  static TGetDpiForMonitor entry = []() -> TGetDpiForMonitor {
    if (!IsWin81OrLater()) return nullptr;
    HMODULE shcore = LoadLibraryW(L"shcore.dll");
    if (!shcore) return nullptr;
    return reinterpret_cast<TGetDpiForMonitor>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
  }();
  return entry;
}

int MonitorPPIAt(POINT pt) {
  HMONITOR monitor = MonitorFromPoint(pt, MONITOR_DEFAULTTONULL);
  if (!monitor) return 96;
  UINT x = 0, y = 0;
  if (FAILED(DpiForMonitorEntry()(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) || y == 0) return 96;
  return static_cast<int>(y);
}

}  // namespace

int WindowPPI(HWND Wnd) {
  if (!DpiForMonitorEntry()) return ScreenPPI();
  RECT r{};
  if (!GetWindowRect(Wnd, &r)) return 96;
  return MonitorPPIAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

int ControlPPI(TControl* Control) {
  if (auto* win = dynamic_cast<TWinControl*>(Control)) return win->HandleAllocated() ? WindowPPI(win->Handle()) : 96;
  if (!Control || !DpiForMonitorEntry()) return ScreenPPI();
  // A graphic control: its centre in its parent's window, on screen.
  POINT centre{Control->Left() + Control->Width() / 2, Control->Top() + Control->Height() / 2};
  TWinControl* parent = Control->Parent();
  if (!parent || !parent->HandleAllocated()) return 96;
  ClientToScreen(parent->Handle(), &centre);
  return MonitorPPIAt(centre);
}

int MainFormPPI() {
  TForm* form = Application().MainForm();
  if (!form)
    for (TComponent* c : Application().Components())
      if ((form = dynamic_cast<TForm*>(c))) break;
  return ControlPPI(form);
}

bool ControlIsReady(TControl* Control) {
  if (!Control || !Control->Parent()) return false;
  if (auto* win = dynamic_cast<TWinControl*>(Control); win && !win->HandleAllocated()) return false;
  if (Control->ComponentState() & (csLoading | csReading | csDestroying)) return false;
  return (Control->ControlState() & csCreating) == 0;
}

TColor SkinColorOf(TColor Color, const TsSkinManager* Manager) {
  if (Color == clSkinMainColor) return Manager ? Manager->Palette[pcMainColor] : (Color & 0xFFFFFF);
  return ColorToRGB(Color);
}

bool IsWindowWithin(HWND W, HWND P) {
  for (HWND w = W; w; w = GetParent(w))
    if (w == P) return true;
  return false;
}

bool IsMouseOverControl(TControl*) { return false; }

TControl* ControlUnderMouse() { return nullptr; }

bool StyleServicesEnabled() { return false; }

HRESULT CallSetWindowTheme(HWND, LPCWSTR, LPCWSTR) { return E_NOTIMPL; }
