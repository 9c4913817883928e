#include "skin/graphics/sVclUtils.h"

#include <cstring>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/HintWindow.h"
#include "platform/ui/ModalPhase.h"
#include "platform/ui/Themes.h"
#include "skin/controls/acAlphaHints.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/sDPI.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sSkinPalette.h"

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

bool FontDiffersFromParent(TControl* Control, const TFont& Font, bool CompareParentColor) {
  if (Control && Control->Parent()) {
    const TFont& parentFont = Control->Parent()->Font;
    if (CompareParentColor) return !SameFont(parentFont, Font);
    TFont inherited;
    inherited.Assign(parentFont);
    inherited.Color = Control->Font.Color.Get();
    return !SameFont(inherited, Font);
  }
  TFont standard;
  if (!CompareParentColor) standard.Color = Font.Color.Get();
  return !SameFont(standard, Font);
}

bool ControlIsReady(TControl* Control) {
  if (!Control || !Control->Parent()) return false;
  if (auto* win = dynamic_cast<TWinControl*>(Control); win && !win->HandleAllocated()) return false;
  if (Control->ComponentState() & (csLoading | csReading | csDestroying)) return false;
  return (Control->ControlState() & csCreating) == 0;
}


// ---------------------------------------------------------------------------
// Skin colours
// ---------------------------------------------------------------------------

namespace {

int ConstSectionIndex(const wchar_t* name) {
  for (int i = 0; i < acSectionCount; ++i)
    if (std::wcscmp(SectionNames[i], name) == 0) return i;
  return -1;
}

// A state of a constant section of the manager's skin, nullptr when the skin lacks it.
const TsGenState* ConstSectionState(const TsSkinManager& m, const wchar_t* section, int state) {
  static const int formTitle = ConstSectionIndex(L"FORMTITLE"), hint = ConstSectionIndex(L"HINT");
  const int constIndex = std::wcscmp(section, L"FORMTITLE") == 0 ? formTitle : hint;
  if (constIndex < 0) return nullptr;
  const int index = m.SkinCommonInfo.Sections[constIndex];
  const std::vector<TsGeneralData>& gd = m.gd();
  if (index < 0 || index >= static_cast<int>(gd.size())) return nullptr;
  return &gd[index].StateProps(state);
}

struct TLibraryColour {
  TColor Colour;
  TacPaletteColors Slot;
};
// The library colours that stand for palette slots; without a skin they decay to their low
// 24 bits.
constexpr TLibraryColour LibraryColours[] = {
    {TColor(0xFF003E0A), pcEditText_Ok},     {TColor(0xFF004C4C), pcEditText_Warning},
    {TColor(0xFF00006C), pcEditText_Alert},  {TColor(0xFFC9FFD2), pcEditBG_Ok},
    {TColor(0xFFBAFFFF), pcEditBG_Warning},  {TColor(0xFFDBDBFF), pcEditBG_Alert},
    {TColor(0xFFD5D5FF), pcBtnToneRed},      {TColor(0xFFBDBDFF), pcBtnToneRedActive},
    {TColor(0xFFE1FFD2), pcBtnToneGreen},    {TColor(0xFFCDFFB4), pcBtnToneGreenActive},
    {TColor(0xFFFFEDC9), pcBtnToneBlue},     {TColor(0xFFFFE9BE), pcBtnToneBlueActive},
    {TColor(0xFF0000B4), pcBtnRedText},      {TColor(0xFF0000A2), pcBtnRedTextActive},
    {TColor(0xFF28851A), pcBtnGreenText},    {TColor(0xFF008E00), pcBtnGreenTextActive},
    {TColor(0xFFAE7400), pcBtnBlueText},     {TColor(0xFF916000), pcBtnBlueTextActive},
};

TColor Blend(TColor a, TColor b, std::uint8_t weight) {
  return static_cast<TColor>(BlendTwoColors(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b), weight));
}

}  // namespace

TColor SkinColorOf(TColor Color, const TsSkinManager* Manager) {
  if (Color >= 0) return ColorToRGB(Color);
  const TsSkinManager* m = Manager ? Manager : DefaultManager();
  if (!m || !(m->IsActive() || (m->ManagerState & msSkinChanging))) {
    const TColor low = Color & 0xFFFFFF;
    return low > 100 ? low : ColorToRGB(Color);
  }
  const TacPalette& p = m->Palette;
  auto state = [&](const wchar_t* section, int index) { return ConstSectionState(*m, section, index); };
  auto stateColour = [&](const wchar_t* section, int index, TacPaletteColors fallback) {
    const TsGenState* s = state(section, index);
    return s ? s->Color : p[fallback];
  };
  auto stateFont = [&](const wchar_t* section, int index, TacPaletteColors fallback) {
    const TsGenState* s = state(section, index);
    return s ? s->FontColor.Color : p[fallback];
  };
  switch (Color) {
    case clScrollBar: case clBackground: case clMenu: case clAppWorkSpace: case clBtnFace: case clMenuBar:
      return p[pcMainColor];
    case clActiveCaption: case clGradientActiveCaption: return stateColour(L"FORMTITLE", 1, pcMainColor);
    case clInactiveCaption: case clGradientInactiveCaption: return stateColour(L"FORMTITLE", 0, pcMainColor);
    case clWindow: return p[pcEditBG];
    case clWindowText: return p[pcEditText];
    case clMenuText: case clBtnText: return p[pcLabelText];
    case clCaptionText: return stateFont(L"FORMTITLE", 1, pcLabelText);
    case clInactiveCaptionText: return stateFont(L"FORMTITLE", 0, pcLabelText);
    case clWindowFrame: case clActiveBorder: case clInactiveBorder: return p[pcBorder];
    case clHighlight: case clMenuHighlight: return p[pcSelectionBG_Focused];
    case clHighlightText: return p[pcSelectionText_Focused];
    case clHotLight: return p[pcWebTextHot];
    case clBtnShadow: case cl3DDkShadow: return Blend(p[pcMainColor], clBlack, 180);
    case cl3DLight: return Blend(p[pcMainColor], clWhite, 180);
    case clGrayText: return Blend(p[pcMainColor], p[pcLabelText], 127);
    case clBtnHighlight: return Blend(p[pcMainColor], p[pcSelectionBG_Focused], 127);
    case clInfoText: return stateFont(L"HINT", 0, pcEditText);
    case clInfoBk: return stateColour(L"HINT", 0, pcEditBG);
    case clSkinMainColor: return p[pcMainColor];
    default: break;
  }
  for (const TLibraryColour& c : LibraryColours)
    if (c.Colour == Color) return p[c.Slot];
  return ColorToRGB(Color);
}

// ---------------------------------------------------------------------------
// Windows, controls and the mouse
// ---------------------------------------------------------------------------

TPoint CursorPosition() {
  POINT p{};
  if (!GetCursorPos(&p)) return TPoint{0, 0};
  return TPoint{p.x, p.y};
}

HWND TopParentWindow(HWND Wnd) {
  for (HWND parent = GetParent(Wnd); parent; parent = GetParent(Wnd)) Wnd = parent;
  return Wnd;
}

bool IsWindowWithin(HWND W, HWND P) {
  for (HWND w = W; w; w = GetParent(w))
    if (w == P) return true;
  return false;
}

bool IsMouseOverWindow(HWND Wnd) {
  if (!Wnd || !IsWindowVisible(Wnd)) return false;
  HDC dc = GetWindowDC(Wnd);
  if (!dc) return false;
  RECT clip{};
  const int kind = GetClipBox(dc, &clip);
  ReleaseDC(Wnd, dc);
  if (kind != SIMPLEREGION) return false;
  RECT window{};
  if (!GetWindowRect(Wnd, &window)) return false;
  OffsetRect(&clip, window.left, window.top);
  const TPoint c = CursorPosition();
  return PtInRect(&clip, POINT{c.X, c.Y}) != 0;
}

bool IsMouseOverControl(TControl* Control) {
  if (!Control || !Control->Visible()) return false;
  const TPoint cursor = CursorPosition();
  const POINT pt{cursor.X, cursor.Y};
  if (auto* win = dynamic_cast<TWinControl*>(Control)) {
    if (!win->HandleAllocated()) return false;
    RECT r{};
    if (!GetWindowRect(win->Handle(), &r) || !PtInRect(&r, pt)) return false;
    // Another window over the control (a pop-up, a sibling) has the mouse.
    HWND under = WindowFromPoint(pt);
    return !under || IsWindowWithin(under, win->Handle());
  }
  TWinControl* parent = Control->Parent();
  if (!parent || !parent->HandleAllocated()) return false;
  if (ModalLevel() > 0) {
    // Behind a modal box only the box's own form (or a pop-up one) answers the mouse.
    if (TForm* form = GetParentForm(Control)) {
      const bool popup = form->HandleAllocated() && (GetWindowLongPtrW(form->Handle(), GWL_STYLE) & WS_POPUP);
      if (form != Application().ActiveForm() && !popup) return false;
    } else if (!IsWindowEnabled(TopParentWindow(parent->Handle()))) {
      return false;
    }
  }
  const TPoint local = Control->ScreenToClient(cursor);
  RECT bounds{0, 0, Control->Width(), Control->Height()};
  if (!PtInRect(&bounds, POINT{local.X, local.Y})) return false;
  if (!dynamic_cast<TGraphicControl*>(Control)) return false;
  // The part of the parent that shows: edges included.
  const TPoint inParent = parent->ScreenToClient(cursor);
  HDC dc = GetDC(parent->Handle());
  RECT clip{};
  const int kind = dc ? GetClipBox(dc, &clip) : ERROR;
  if (dc) ReleaseDC(parent->Handle(), dc);
  if (kind == ERROR) return false;
  return inParent.X >= clip.left && inParent.X <= clip.right && inParent.Y >= clip.top && inParent.Y <= clip.bottom;
}

TControl* ControlUnderMouse() {
  if (TsSkinManager* m = DefaultManager(); m && m->FActiveGraphControl) return m->FActiveGraphControl;
  const TPoint cursor = CursorPosition();
  TWinControl* win = nullptr;
  for (HWND w = WindowFromPoint(POINT{cursor.X, cursor.Y}); w && !win; w = GetParent(w)) win = TWinControl::FromHandle(w);
  if (!win) return nullptr;
  const TPoint local = win->ScreenToClient(cursor);
  const std::vector<TControl*>& children = win->Controls();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    TControl* c = *it;
    if (!c || !c->Visible()) continue;
    const TRect b = c->BoundsRect();
    if (PtInRect(b.AsRECT(), POINT{local.X, local.Y})) return c;
  }
  return win;
}

void ForEachChildControl(TWinControl* Parent, const std::function<void(TControl* Child)>& Proc) {
  if (!Parent) return;
  // A copy: the procedure may add or remove children.
  const std::vector<TControl*> children = Parent->Controls();
  for (TControl* c : children) {
    if (!c) continue;
    Proc(c);
    if (auto* win = dynamic_cast<TWinControl*>(c)) ForEachChildControl(win, Proc);
  }
}

// ---------------------------------------------------------------------------
// Hints and work areas
// ---------------------------------------------------------------------------


namespace {

constexpr int HintMaxWidth = 800;
constexpr TPoint HintOffset{8, 16};
constexpr int HintFadeTime = 200;

bool SystemSetting(UINT action) {
  BOOL value = FALSE;
  return SystemParametersInfoW(action, 0, &value, 0) && value;
}

using TAnimateWindow = BOOL(WINAPI*)(HWND, DWORD, DWORD);
TAnimateWindow AnimateWindowEntry() {
  static const TAnimateWindow entry = reinterpret_cast<TAnimateWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AnimateWindow")));
  return entry;
}

// R moved back by what it overhangs the work area on the right and at the bottom.
TRect PulledInto(TRect r, const TRect& work) {
  if (work.IsEmpty()) return r;
  const int dx = std::max(0, r.Right - work.Right), dy = std::max(0, r.Bottom - work.Bottom);
  return Rect(r.Left - dx, r.Top - dy, r.Right - dx, r.Bottom - dy);
}

}  // namespace

THintWindow* ShowHintText(const std::wstring& Text, TPoint Point) {
  if (TsAlphaHints* hints = ActiveAlphaHints) {
    hints->ShowHint(Point, Text, Application().HintHidePause);
    return hints->HintWindow;
  }
  if (Text.empty()) return nullptr;
  THintWindow* hint = Application().HintWindowClass(nullptr);
  hint->SetColor(clInfoBk);
  TRect r = hint->CalcHintRect(HintMaxWidth, Text);
  r = Bounds(Point.X + HintOffset.X, Point.Y + HintOffset.Y, r.Width(), r.Height());
  const TRect work = WorkAreaAtPoint(Bounds(Point.X, Point.Y, 0, 0));
  if (hint->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_IS_SKINNED), 0) == 1) {
    hint->ActivateHint(PulledInto(r, work), Text);
    return hint;
  }
  hint->SetCaption(Text);
  // The extra rows are added before the pull, so they stay inside the work area too.
  r.Bottom += 4;
  r = PulledInto(r, work);
  hint->ParentWindow = Application().Handle();
  hint->SetBounds(r.Left, r.Top, r.Width(), r.Height());
  HWND wnd = hint->Handle();
  SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  if (Text.size() < 100 && AnimateWindowEntry() && SystemSetting(SPI_GETTOOLTIPANIMATION) &&
      SystemSetting(SPI_GETTOOLTIPFADE))
    AnimateWindowEntry()(wnd, HintFadeTime, AW_BLEND);
  hint->SetVisible(true);
  hint->Invalidate();
  return hint;
}

TRect FormMonitorWorkArea(TForm* Form) {
  if (!Form) return TRect{};
  HMONITOR monitor = nullptr;
  if (Form->HandleAllocated()) {
    monitor = MonitorFromWindow(Form->Handle(), MONITOR_DEFAULTTONEAREST);
  } else {
    const TRect b = Form->BoundsRect();
    monitor = MonitorFromRect(b.AsRECT(), MONITOR_DEFAULTTONEAREST);
  }
  MONITORINFO info{sizeof info};
  if (!monitor || !GetMonitorInfoW(monitor, &info)) return TRect{};
  return Rect(info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom);
}

namespace {

struct TWorkAreaSearch {
  POINT Point;
  TRect Found;
};

BOOL CALLBACK FindWorkAreaAt(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto* s = reinterpret_cast<TWorkAreaSearch*>(data);
  MONITORINFO info{sizeof info};
  if (!GetMonitorInfoW(monitor, &info) || !PtInRect(&info.rcWork, s->Point)) return TRUE;
  s->Found = Rect(info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom);
  return FALSE;
}

}  // namespace

TRect WorkAreaAtPoint(const TRect& R) {
  TWorkAreaSearch search{POINT{R.Left, R.Top}, TRect{}};
  EnumDisplayMonitors(nullptr, nullptr, FindWorkAreaAt, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// ---------------------------------------------------------------------------
// Densities, flags, sizes
// ---------------------------------------------------------------------------

void EnableNonClientScaling(HWND Wnd) {
  // The entry exists from Windows 10 on; older systems simply lack it.
  if (!IsWin81OrLater()) return;
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE user32 = LoadLibraryW(L"user32.dll");
  SetErrorMode(oldMode);
  if (!user32) return;
  using TEnable = BOOL(WINAPI*)(HWND);
  if (auto enable = reinterpret_cast<TEnable>(reinterpret_cast<void*>(GetProcAddress(user32, "EnableNonClientDpiScaling"))))
    enable(Wnd);
  FreeLibrary(user32);
}

TForm* OwnerFormOf(TComponent* Component) {
  for (TComponent* c = Component; c; c = c->Owner())
    if (auto* form = dynamic_cast<TForm*>(c)) return form;
  return nullptr;
}

unsigned TextFlagsOf(TControl* Control, TAlignment Alignment) {
  unsigned flags = Alignment == taRightJustify ? DT_RIGHT : Alignment == taCenter ? DT_CENTER : DT_LEFT;
  flags |= DT_VCENTER | DT_EXPANDTABS;
  return Control ? Control->DrawTextBiDiModeFlags(flags) : flags;
}

TRect ClientRectInWindow(HWND Wnd) {
  RECT client{}, window{};
  POINT origin{0, 0};
  if (!GetClientRect(Wnd, &client) || !GetWindowRect(Wnd, &window)) return TRect{};
  ClientToScreen(Wnd, &origin);
  OffsetRect(&client, origin.x - window.left, origin.y - window.top);
  return Rect(client.left, client.top, client.right, client.bottom);
}

std::wstring WindowClassName(HWND Wnd) {
  wchar_t name[129] = {};
  const int n = GetClassNameW(Wnd, name, 129);
  return std::wstring(name, n > 0 ? n : 0);
}

int AlignedChildrenSize(TWinControl* Parent, TAlign Alignment, bool WithGraphic) {
  if (!Parent) return 0;
  const bool vertical = Alignment == alTop || Alignment == alBottom;
  if (!vertical && Alignment != alLeft && Alignment != alRight) return 0;
  int size = 0;
  for (TControl* c : Parent->Controls()) {
    if (!c || !c->Visible() || c->Align() != Alignment) continue;
    if (!WithGraphic && !dynamic_cast<TWinControl*>(c)) continue;
    size += vertical ? c->Height() : c->Width();
  }
  return size;
}

// ---------------------------------------------------------------------------
// Style services and uxtheme
// ---------------------------------------------------------------------------

namespace {

using TSetWindowTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
TStyleServices* g_styleServices = nullptr;
HMODULE g_uxtheme = nullptr;
TSetWindowTheme g_setWindowTheme = nullptr;

// The binding lives as long as the program.
struct TVclUtilsUnit {
  TVclUtilsUnit() { VclUtilsUnitStartup(); }
  ~TVclUtilsUnit() { VclUtilsUnitCleanup(); }
} g_unit;

}  // namespace

void VclUtilsUnitStartup() {
  g_styleServices = &StyleServices();
  if (g_uxtheme) return;
  HMODULE module = LoadLibraryW(L"UXTHEME");
  // Old loaders answered failures with small error numbers instead of nullptr.
  if (reinterpret_cast<UINT_PTR>(module) <= 32) return;
  g_uxtheme = module;
  g_setWindowTheme =
      reinterpret_cast<TSetWindowTheme>(reinterpret_cast<void*>(GetProcAddress(g_uxtheme, "SetWindowTheme")));
}

void VclUtilsUnitCleanup() {
  g_setWindowTheme = nullptr;
  if (g_uxtheme) FreeLibrary(g_uxtheme);
  g_uxtheme = nullptr;
}

bool StyleServicesEnabled() { return (g_styleServices ? *g_styleServices : StyleServices()).Enabled(); }

HRESULT CallSetWindowTheme(HWND Wnd, LPCWSTR SubAppName, LPCWSTR SubIdList) {
  return g_setWindowTheme ? g_setWindowTheme(Wnd, SubAppName, SubIdList) : E_NOTIMPL;
}
