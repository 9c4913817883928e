#include "skin/forms/sSkinProvider.h"


#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "platform/runtime/Files.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "skin/controls/acGlow.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/forms/sSkinProvider.Anim.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/acSkinnedForms.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sMDIForm.h"
#include "skin/manager/sSkinManager.h"

TsSkinProvider* MDISkinProvider = nullptr;
TsSkinProvider* ChildSkinProvider = nullptr;
bool PreviewRequested = false;
HWND PreviewWnd = nullptr;
bool MDIChildFromMaximized = false;
UINT LinkSendTimeout = 2000;

namespace {

constexpr UINT kSkinEditorMessage = 0xA400;
constexpr UINT kHookProbe = 0xBC4D;
constexpr UINT kSysMenuRequest = 0x313;
constexpr UINT kRedrawFrame = RDW_FRAME | RDW_NOERASE | RDW_INVALIDATE;
constexpr UINT kRedrawAll = 0x0585;  // invalidate, erase, frame, all children, update now
constexpr UINT kBorderPlace = 0x61B;  // no size, move, redraw, activation, owner order, changing

// Re-entry guards of the handlers that must not nest.
bool gInDpiChange = false;
bool gInWheel = false;
bool gReceivingPreview = false;

// The class brushes the window classes had before a provider first changed them, by class.
std::map<ATOM, HBRUSH>& OriginalClassBrushes() {
  static std::map<ATOM, HBRUSH> brushes;
  return brushes;
}

using TGetSystemMetricsForDpi = int(WINAPI*)(int, UINT);

// Unit start-up: the per-density metrics of user32, where it has them.
struct TUnitStart {
  HMODULE User32 = nullptr;
  TGetSystemMetricsForDpi MetricsForDpi = nullptr;
  TUnitStart() {
    User32 = LoadLibraryW(L"user32.dll");
    if (User32)
      MetricsForDpi =
          reinterpret_cast<TGetSystemMetricsForDpi>(reinterpret_cast<void*>(GetProcAddress(User32, "GetSystemMetricsForDpi")));
  }
  ~TUnitStart() {
    if (User32) FreeLibrary(User32);
  }
};
TUnitStart& UnitStart() {
  static TUnitStart start;
  return start;
}

// The DWM library's window-attribute entry, resolved on first need from the library that
// LoadDwmLibrary keeps for the process.
struct TDwmEntries {
  using TSetAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  TSetAttribute SetAttribute = nullptr;
  TDwmEntries() {
    if (HMODULE dwm = LoadDwmLibrary())
      SetAttribute = reinterpret_cast<TSetAttribute>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")));
  }
};
TDwmEntries& DwmEntries() {
  static TDwmEntries entries;
  return entries;
}

DWORD WindowsMajorVersion() {
  using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  static DWORD major = [] {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
      if (auto get = reinterpret_cast<TRtlGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))))
        if (get(&info) == 0) return info.dwMajorVersion;
    return DWORD{6};
  }();
  return major;
}

HWND FormWnd(TForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }

LONG_PTR WindowStyle(HWND wnd) { return wnd ? GetWindowLongPtrW(wnd, GWL_STYLE) : 0; }

bool IsMDIChild(TForm* form) { return form && form->FormKind() == fkMDIChild; }
bool IsMDIParent(TForm* form) { return form && form->FormKind() == fkMDIForm; }

// The form's definition is being built (fsCreating) or its window made (csCreating).
bool FormCreating(TForm* form) {
  return form && ((form->FormState() & fsCreating) || (form->ControlState() & csCreating));
}

bool Loading(TComponent* c) { return c && (c->ComponentState() & (csLoading | csReading)); }

}  // namespace


// ---- metrics -----------------------------------------------------------------------

int SystemMetricForDpi(int Index, int PPI) {
  TUnitStart& start = UnitStart();
  if (start.MetricsForDpi && PPI > 0) return start.MetricsForDpi(Index, static_cast<UINT>(PPI));
  return GetSystemMetrics(Index);
}

int CacheScrollArrowWidth() {
  static int width = -1;
  if (width < 0) width = GetSystemMetrics(SM_CXHSCROLL);
  return width;
}

int WndWidth(HWND Wnd) {
  RECT r{};
  GetWindowRect(Wnd, &r);
  return r.right - r.left;
}
int WndHeight(HWND Wnd) {
  RECT r{};
  GetWindowRect(Wnd, &r);
  return r.bottom - r.top;
}
int WndClientWidth(HWND Wnd) {
  RECT r{};
  GetClientRect(Wnd, &r);
  return r.right - r.left;
}
int WndClientHeight(HWND Wnd) {
  RECT r{};
  GetClientRect(Wnd, &r);
  return r.bottom - r.top;
}

namespace {
// The skin manager of a border form's owner; none for a border form that holds a window
// without owner or skin state.
TsSkinManager* BorderFormManager(TacBorderForm* BorderForm) { return BorderForm ? BorderForm->Manager() : nullptr; }
}  // namespace

int SysBorderWidth(HWND Wnd, TacBorderForm* BorderForm, bool CheckSkin) {
  TsSkinManager* manager = BorderFormManager(BorderForm);
  if (CheckSkin && BorderForm && manager)
    if (TacSkinData* data = manager->CommonSkinData(); data && data->ExBorderWidth != 0) return data->ExBorderWidth;
  if (!Wnd) return 0;
  const LONG_PTR style = WindowStyle(Wnd);
  const LPARAM kind = (style & WS_THICKFRAME) ? 1 : (style & WS_BORDER) ? 2 : 3;
  int result = static_cast<int>(SendSkinCommand(Wnd, SKCMD_FRAME_SIZE, kind));
  // Windows 8 and later draw a wider sizing frame around a border window without skin.
  if (kind == 1 && BorderForm && !manager && WindowsMajorVersion() * 10 >= 62) result += 4;
  return result;
}

int SysBorderHeight(HWND Wnd, TacBorderForm* BorderForm, bool CheckSkin) {
  return BorderForm ? 0 : SysBorderWidth(Wnd, BorderForm, CheckSkin);
}

int SysCaptionHeight(TsSkinProvider* Provider, int PPI) {
  if (!Provider || !Provider->Form) return GetSystemMetrics(SM_CYCAPTION);
  TForm* form = Provider->Form;
  if (PPI == 0) PPI = ControlPPI(form);
  HWND wnd = FormWnd(form);
  const bool iconic = wnd && IsIconic(wnd);
  int index = SM_CYCAPTION;
  switch (form->BorderStyle()) {
    case bsDialog:
      if (WindowsMajorVersion() >= 10 && !iconic) index = SM_CYSMCAPTION;
      break;
    case bsToolWindow:
    case bsSizeToolWin:
      if (!iconic) index = SM_CYSMCAPTION;
      break;
    default: break;
  }
  Provider->CYCaption = SystemMetricForDpi(index, PPI);
  return Provider->CYCaption;
}

int BorderFormTitleHeight(TacBorderForm* BorderForm) {
  TsSkinManager* manager = BorderFormManager(BorderForm);
  TacSkinData* data = manager && BorderForm->SkinData ? BorderForm->SkinData->ReadCommonSkinData() : nullptr;
  if (!data && manager) data = manager->CommonSkinData();
  if (!data) return 0;
  if (BorderForm->sp && BorderForm->sp->Form) {
    HWND wnd = FormWnd(BorderForm->sp->Form);
    if (wnd && IsZoomed(wnd)) return data->ExMaxHeight;
  }
  return data->ExTitleHeight;
}

int BorderFormBorderWidth(TacBorderForm* BorderForm) {
  TsSkinManager* manager = BorderFormManager(BorderForm);
  if (!manager) return 0;
  TacSkinData* data = manager->CommonSkinData();
  return data ? data->ExBorderWidth : 0;
}

int BorderFormTitleDiff(TacBorderForm* BorderForm) {
  if (!BorderForm) return 0;
  return BorderForm->CaptionHeight(true) - BorderForm->CaptionHeight(false) -
         SysBorderWidth(BorderForm->OwnerHandle(), BorderForm, false);
}

int BorderFormBorderDiff(TacBorderForm* BorderForm) {
  if (!BorderForm) return 0;
  HWND owner = BorderForm->OwnerHandle();
  return SysBorderWidth(owner, BorderForm, true) - SysBorderWidth(owner, BorderForm, false);
}

TacSkinData* ProviderSkinData(TsSkinProvider* Provider) {
  if (!Provider || !Provider->FCommonData) return nullptr;
  TsSkinManager* manager = Provider->Manager();
  if (!manager || !manager->IsActive()) return nullptr;
  return Provider->FCommonData->ReadCommonSkinData();
}

int ExtendedTitleHeight(TsSkinProvider* Provider, bool Maximized) {
  TacSkinData* data = ProviderSkinData(Provider);
  if (!data) return 0;
  HWND wnd = FormWnd(Provider->Form);
  if (Maximized || (data->ExMaxHeight != 0 && wnd && IsZoomed(wnd))) return data->ExMaxHeight;
  return data->ExTitleHeight;
}

int ExtraTitleHeight(TsSkinProvider* Provider, bool Maximized) {
  return std::max(0, ExtendedTitleHeight(Provider, Maximized) - SysCaptionHeight(Provider) - 4);
}

bool HasSystemMenu(TsSkinProvider* Provider) {
  return Provider && Provider->Form && (Provider->Form->BorderIcons() & biSystemMenu);
}

bool HasBorder(TsSkinProvider* Provider) {
  if (!Provider || !Provider->Form) return false;
  return Provider->Form->BorderStyle() != bsNone || (WindowStyle(FormWnd(Provider->Form)) & WS_CHILD);
}

bool HasThickFrame(HWND Wnd) { return (WindowStyle(Wnd) & WS_THICKFRAME) != 0; }

bool HasMenuLine(TsSkinProvider* Provider) {
  if (!Provider || !Provider->Form) return false;
  TForm* form = Provider->Form;
  TMainMenu* menu = form->Menu();
  return menu && !menu->AutoMerge && menu->Items()->Count() > 0 && form->FormKind() != fkMDIChild &&
         form->BorderStyle() != bsDialog;
}

bool GripVisible(TsSkinProvider* Provider) {
  if (!Provider || !Provider->Form || Provider->GripMode != gmRightBottom) return false;
  HWND wnd = FormWnd(Provider->Form);
  return wnd && !IsZoomed(wnd) && HasThickFrame(wnd);
}

bool InAnimation(TsSkinProvider* Provider) { return Provider && Provider->FInAnimation; }

bool MaskHasOneImage(int Index, TacSkinData* SkinData) {
  if (Index < 0 || !SkinData || Index >= static_cast<int>(SkinData->ma.size())) return true;
  return SkinData->ma[static_cast<std::size_t>(Index)].ImageCount <= 1;
}

// ---- DWM ---------------------------------------------------------------------------

HRESULT SetDwmWindowAttribute(HWND Wnd, DWORD Attribute, const void* Value, DWORD Size) {
  TDwmEntries& dwm = DwmEntries();
  if (!dwm.SetAttribute) return E_NOTIMPL;
  return dwm.SetAttribute(Wnd, Attribute, Value, Size);
}

void UseDwmTransitions(HWND Wnd, bool Value) {
  // DWMWA_TRANSITIONS_FORCEDISABLED, set to Value whether or not composition is on.
  const BOOL value = Value ? TRUE : FALSE;
  SetDwmWindowAttribute(Wnd, 3, &value, sizeof(value));
}

// MakeFormImage, MakeCoverForm and the taskbar images live in sSkinProvider.Anim.cpp.

// ---- border window: sSkinProvider.Border.cpp ------------------------------------------

// ---- title data --------------------------------------------------------------------

namespace {

bool ProviderLoading(const TsSkinProvider* Provider) {
  return Provider && (Provider->ComponentState() & csLoading) != 0;
}

}  // namespace

TsTitleButton::TsTitleButton(TsTitleButtons* Collection) : Glyph(NewBitmap32(0, 0)), FCollection(Collection) {
  if (Name.empty()) Name = ClassName();
  // A fade shows the old glyph: it stops, and the next state change starts one with the new.
  Glyph->OnChange = [this] { FreeFade(); };
}

TsTitleButton::~TsTitleButton() {
  FreeFade();
  HideTitleButtonHint(this);
}

int TsTitleButton::Index() const { return FCollection ? FCollection->IndexOf(this) : -1; }

void TsTitleButton::FreeFade() {
  if (TacSBAnimation* fade = Data.cpTimer) {
    Data.cpTimer = nullptr;
    TComponent::Free(fade);
  }
}

void TsTitleButton::DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TsTitleButton::DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TsTitleButton::WriteGlyph(TBitmap* Value) { Glyph->Assign(Value); }

void TsTitleButton::WriteName(const std::wstring& Value) {
  if (Name != Value) Name = Value;
}

void TsTitleButton::WriteVisible(bool Value) {
  if (Visible == Value) return;
  Visible = Value;
  if (TsSkinProvider* p = FCollection ? FCollection->Owner() : nullptr) p->RepaintFormFrame();
}

void TsTitleButton::AssignTo(TsTitleButton* Dest) const {
  if (!Dest) throw EConvertError(L"Cannot assign a " + ClassName() + L" to a nil");
  if (Dest == this) return;
  Dest->Enabled = Enabled;
  Dest->WriteGlyph(Glyph.get());
  Dest->Hint = Hint;
  Dest->WriteName(Name);
  Dest->UseSkinData = UseSkinData;
  Dest->OnMouseDown = OnMouseDown;
  Dest->OnMouseUp = OnMouseUp;
}

TsTitleButtons::~TsTitleButtons() {
  FOwner = nullptr;
  FItems.clear();
}

TsTitleButton* TsTitleButtons::Add() {
  FItems.push_back(std::make_unique<TsTitleButton>(this));
  return FItems.back().get();
}

void TsTitleButtons::Delete(int Index) {
  if (Index >= 0 && Index < Count()) FItems.erase(FItems.begin() + Index);
}

int TsTitleButtons::IndexOf(const TsTitleButton* Item) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == Item) return static_cast<int>(i);
  return -1;
}

void TsTitleButtons::Assign(const TsTitleButtons& Source) {
  if (&Source == this) return;
  FItems.clear();
  for (const auto& item : Source.FItems) {
    TsTitleButton* copy = Add();
    item->AssignTo(copy);
    copy->Visible = item->Visible;
  }
}

TsTitleIcon::TsTitleIcon(TsSkinProvider* Owner) : Glyph(NewBitmap32(0, 0)), FOwner(Owner) {
  Glyph->OnChange = [this] {
    if (FOwner) FOwner->RepaintFormFrame();
  };
}

void TsTitleIcon::WriteGlyph(TBitmap* Value) { Glyph->Assign(Value); }

void TsTitleIcon::WriteVisible(bool Value) {
  if (Visible == Value) return;
  Visible = Value;
  if (!FOwner || ProviderLoading(FOwner) || FOwner->Designing()) return;
  if (FOwner->FCommonData && FOwner->FCommonData->FUpdating) return;
  FOwner->RepaintFormFrame();
}

TacAddedTitle::TacAddedTitle(TsSkinProvider* Owner) : FOwner(Owner) {
  Font.ChangeQuietly([this] { Font.Color = clNone; });
}

void TacAddedTitle::Changed() {
  if (FOwner && !ProviderLoading(FOwner)) FOwner->RepaintFormFrame();
}

void TacAddedTitle::WriteFont(const TFont& Value) {
  if (&Value == &Font) return;
  Font.Assign(Value);
  Changed();
}

void TacAddedTitle::WriteShowMainCaption(bool Value) {
  if (ShowMainCaption == Value) return;
  ShowMainCaption = Value;
  Changed();
}

void TacAddedTitle::WriteText(const std::wstring& Value) {
  if (Text == Value) return;
  Text = Value;
  Changed();
}

bool TacAddedTitle::FontStored() const { return FontDiffersFromParent(nullptr, Font, false); }

void TacFormHeader::WriteAdditionalHeight(int Value) {
  if (AdditionalHeight == Value) return;
  AdditionalHeight = Value;
  if (FOwner && !ProviderLoading(FOwner) && FOwner->FCommonData) FOwner->FCommonData->Invalidate(false);
}

int TacFormHeader::ScaledAddHeight() const {
  return ScaleForControl(AdditionalHeight, FOwner ? FOwner->FCommonData.get() : nullptr, true);
}
// ---- end of title data ----

// ---- system menu -------------------------------------------------------------------

TsSystemMenu::TsSystemMenu(TsSkinProvider* AOwner)
    : TsCustomSysMenu(AOwner), FOwner(AOwner), FForm(AOwner ? AOwner->Form : nullptr) {
  Name = L"acSysMenu" + std::to_wstring(GetTickCount());
  Generate();
}

bool TsSystemMenu::HasSysMenu() const { return FForm && (FForm->BorderIcons() & biSystemMenu); }

namespace {
bool NoCaptionButtonsStyle(TForm* form) {
  switch (form->BorderStyle()) {
    case bsNone:
    case bsDialog:
    case bsToolWindow:
    case bsSizeToolWin: return true;
    default: return false;
  }
}
}  // namespace

bool TsSystemMenu::VisibleClose() {
  if (!HasSysMenu()) return false;
  if (HWND wnd = FormWnd(FForm))
    if (HMENU menu = GetSystemMenu(wnd, FALSE)) return GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != UINT(-1);
  return true;
}

bool TsSystemMenu::VisibleMax() {
  if (!HasSysMenu()) return false;
  HWND wnd = FormWnd(FForm);
  if (wnd && IsIconic(wnd) && (!Application().MainFormOnTaskBar || Application().MainForm() != FForm)) return true;
  if (IsMDIChild(FForm)) return true;
  if (NoCaptionButtonsStyle(FForm) || !(FForm->BorderIcons() & biMaximize)) return false;
  return true;
}

bool TsSystemMenu::VisibleMin() {
  if (!HasSysMenu()) return false;
  HWND wnd = FormWnd(FForm);
  if ((wnd && IsIconic(wnd)) || IsMDIChild(FForm)) return true;
  if (NoCaptionButtonsStyle(FForm) || !(FForm->BorderIcons() & biMinimize)) return false;
  return true;
}

bool TsSystemMenu::VisibleRestore() {
  if (!HasSysMenu()) return false;
  if (IsMDIChild(FForm)) return true;
  return !NoCaptionButtonsStyle(FForm);
}

bool TsSystemMenu::VisibleSize() {
  if (!FForm) return false;
  if (IsMDIChild(FForm)) return true;
  switch (FForm->BorderStyle()) {
    case bsNone:
    case bsDialog:
    case bsToolWindow: return false;
    default: return true;
  }
}

bool TsSystemMenu::EnabledClose() {
  if (HWND wnd = FormWnd(FForm))
    if (HMENU menu = GetSystemMenu(wnd, FALSE)) {
      const UINT state = GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND);
      return state != UINT(-1) && !(state & (MF_DISABLED | MF_GRAYED));
    }
  return HasSysMenu();
}

bool TsSystemMenu::EnabledMax() {
  if (!FForm) return false;
  return (IsMDIChild(FForm) || FForm->BorderStyle() == bsSingle || FForm->BorderStyle() == bsSizeable) &&
         (FForm->BorderIcons() & biMaximize);
}

bool TsSystemMenu::EnabledMin() { return FForm && (FForm->BorderIcons() & biMinimize); }

bool TsSystemMenu::EnabledMove() { return FForm && FForm->WindowState() != wsMaximized; }

bool TsSystemMenu::EnabledRestore() {
  if (!FForm) return false;
  return ((FForm->BorderIcons() & biMaximize) && FForm->WindowState() != wsNormal) ||
         FForm->WindowState() == wsMinimized;
}

bool TsSystemMenu::EnabledSize() {
  if (!FForm) return false;
  HWND wnd = FormWnd(FForm);
  return FForm->BorderStyle() != bsSingle && !(wnd && IsIconic(wnd));
}

// ---- scale thread ------------------------------------------------------------------

namespace {
constexpr UINT kScaleStep = WM_APP + 0x327;
const wchar_t kScaleStepClass[] = L"TarvelScaleStep";
}  // namespace

TacScaleThread::TacScaleThread(TOnTimer OnTimer) : FOnTimer(std::move(OnTimer)) {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &TacScaleThread::StepWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kScaleStepClass;
    return RegisterClassW(&wc);
  }();
  (void)atom;
  TimeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  FStepWnd = CreateWindowExW(0, kScaleStepClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
  if (FStepWnd) SetWindowLongPtrW(FStepWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TacScaleThread::~TacScaleThread() {
  Stop();
  if (FStepWnd) DestroyWindow(FStepWnd);
  if (TimeEvent) CloseHandle(TimeEvent);
  NewAlphaBmp.reset();
  if (CoverOwned && ThreadCoverForm) TComponent::Free(ThreadCoverForm);
  ThreadCoverForm = nullptr;
}

void TacScaleThread::Terminate() {
  // Called from inside a step: the thread waits for this step's answer, so it cannot be
  // joined here. The flag and the event end its loop once the step returns.
  FStopped = true;
  if (TimeEvent) SetEvent(TimeEvent);
  NewAlphaBmp.reset();
  OwnedSrcBmp.reset();
  SrcBmp = nullptr;
}

void TacScaleThread::Start() {
  if (FThread || !TimeEvent || !FStepWnd) return;
  FThread = CreateThread(nullptr, 0, &TacScaleThread::ThreadProc, this, 0, nullptr);
  if (FThread) SetThreadPriority(FThread, THREAD_PRIORITY_HIGHEST);
}

DWORD WINAPI TacScaleThread::ThreadProc(void* Self) {
  static_cast<TacScaleThread*>(Self)->Execute();
  return 0;
}

void TacScaleThread::Execute() {
  while (!FStopped.load() && WaitForSingleObject(TimeEvent, 6) == WAIT_TIMEOUT) {
    if (FStopped.load()) break;
    // The step runs on the UI thread; Stop answers a pending send without running it.
    SendMessageW(FStepWnd, kScaleStep, 0, 0);
  }
  FDone = true;
}

LRESULT CALLBACK TacScaleThread::StepWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == kScaleStep) {
    auto* self = reinterpret_cast<TacScaleThread*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
    if (self && !self->FStopped.load() && self->FOnTimer) {
      self->FInStep = true;
      try {
        self->FOnTimer(self);
      } catch (...) {
        self->FStopped = true;
        if (self->TimeEvent) SetEvent(self->TimeEvent);
      }
      self->FInStep = false;
    }
    return 0;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

void TacScaleThread::Stop() {
  FStopped = true;
  FOnTimer = nullptr;
  if (TimeEvent) SetEvent(TimeEvent);
  if (!FThread) return;
  // A step the thread is sending waits for this thread: answer it (without running it)
  // while waiting for the thread to end.
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &FThread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (r != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  CloseHandle(FThread);
  FThread = nullptr;
}

// ---- provider: construction ----------------------------------------------------------

namespace {
// The owner a provider registers with: only a form.
TComponent* FormOwner(TComponent* owner, bool& isForm) {
  isForm = dynamic_cast<TForm*>(owner) != nullptr;
  return isForm ? owner : nullptr;
}
thread_local bool tIsForm = false;
}  // namespace

TsSkinProvider::TsSkinProvider(TComponent* AOwner) : TComponent(FormOwner(AOwner, tIsForm)) {
  const bool isForm = tIsForm;
  FThirdParty = std::make_unique<TsThirdPartyList>();
  for (int i = 0; i < acThirdPartyCount; ++i) ThirdLists.push_back(std::make_unique<TStringList>(true));
  if (!isForm) {
    ShowWarningText(L"TsSkinProvider component may be used with forms only!");
    return;
  }
  // The skin editor's switch: the first argument, exact case.
  PreviewRequested = ParamCount() >= 1 && ParamStr(1) == L"/acpreview";
  Form = static_cast<TForm*>(AOwner);
  biClicked = false;
  RTEmpty = false;
  if (Form->Designing()) {
    for (TComponent* c : Form->Components())
      if (c != this && dynamic_cast<TsSkinProvider*>(c)) {
        Form = nullptr;
        ShowWarningMessage(L"Only one instance of the TsSkinProvider component is allowed!");
        return;
      }
    for (TComponent* c : Form->Components())
      if (auto* bar = dynamic_cast<TsTitleBar*>(c)) FTitleBar = bar;
  } else {
    auto* other = reinterpret_cast<TsSkinProvider*>(
        Form->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_PROVIDER), 0));
    if (other && other != this) {
      if (other->RTInit)
        TComponent::Free(other);
      else
        RTEmpty = true;
    }
  }
  FCommonData = std::make_unique<TsScrollWndData>(this, false);
  FCommonData->WriteSkinSection(L"FORM");
  FCommonData->COC = COC_TsSkinProvider;
  if (Form->ControlState() != 0 && Form->BorderStyle() != bsNone) FCommonData->FUpdating = true;
  FAddedTitle = std::make_unique<TacAddedTitle>(this);
  FFormHeader = std::make_unique<TacFormHeader>(this);
  InAero = IsDwmCompositionOn();
  FTitleIcon = std::make_unique<TsTitleIcon>(this);
  FTitleButtons = std::make_unique<TsTitleButtons>(this);
  FSysSubMenu = std::make_unique<TacSysSubMenu>();
  FGluedForms = std::make_unique<TStringList>();
  if (!Form->Designing() && !RTEmpty) {
    Form->DoubleBuffered = false;
    TempBmp = NewBitmap32(0, 0);
    MenuLineBmp = NewBitmap32(0, 0);
    ClearButtons = true;
    Rects.clear();
    FLinesCount = -1;
    FHook = MakeWndMethod<&TsSkinProvider::NewWndProc>(this);
    HookWindowProc(Form, FHook, &OldWndProc);
    FHooked = true;
    FCommonData->WndProc = FHook;
    RegisterSkinnedForm(Form);
    FRegistered = true;
    FormActive = true;
  }
  FConstructed = true;
}

TsSkinProvider* TsSkinProvider::CreateRT(TComponent* AOwner, bool InitRT) {
  (void)InitRT;
  auto* provider = new TsSkinProvider(AOwner);
  provider->RTInit = true;
  if (provider->Form)
    for (TComponent* c : provider->Form->Components())
      if (auto* bar = dynamic_cast<TsTitleBar*>(c)) provider->FTitleBar = bar;
  provider->AfterConstruction();
  return provider;
}

TsSkinProvider::~TsSkinProvider() {
  // BeforeDestruction gave everything back; a provider deleted without it still unhooks.
  if (FHooked && Form) UnhookWindowProc(Form, FHook);
  if (FRegistered && Form) UnregisterSkinnedForm(Form);
}

void TsSkinProvider::AfterConstruction() {
  TComponent::AfterConstruction();
  if (!Form) return;
  LoadThirdLists();
  TsSkinManager* manager = Manager();
  if (!RTEmpty && !RTInit && !Designing() && manager && manager->IsActive()) PrepareForm();
}

void TsSkinProvider::Loaded() {
  TComponent::Loaded();
  LoadThirdLists();
  TsSkinManager* manager = Manager();
  if (!RTEmpty && !RTInit && !Designing() && manager && FCommonData && FCommonData->Skinned(true)) LoadInit();
}

void TsSkinProvider::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (auto* manager = dynamic_cast<TsSkinManager*>(AComponent)) {
    if (Operation == TOperation::opInsert && !SkinManager && !DefaultManager()) {
      SkinManager = manager;
      if (FCommonData) FCommonData->WriteSkinManager(manager);
    } else if (Operation == TOperation::opRemove) {
      // The manager's brushes go with it: the class gets its own back first.
      if (manager == FLinkedManager) {
        RestoreClassBrush();
        FLinkedManager = nullptr;
      }
      if (manager == SkinManager) {
        SkinManager = nullptr;
        if (FCommonData) FCommonData->WriteSkinManager(nullptr);
      }
    }
  }
  if (auto* bar = dynamic_cast<TsTitleBar*>(AComponent)) {
    if (Operation == TOperation::opInsert && !FTitleBar)
      FTitleBar = bar;
    else if (Operation == TOperation::opRemove)
      FTitleBar = nullptr;
  }
}

void TsSkinProvider::BeforeDestruction() {
  *FAlive = false;
  // The adopted title bar outlives its painter.
  if (FTitleBar && FTitleBar->SP == this) FTitleBar->SP = nullptr;
  if (FConstructed && FAddedTitle) {
    UpdateExtendedBorders(false);
    if (!Designing()) {
      KillAnimations();
      if (Form) {
        if (FRegistered) UnregisterSkinnedForm(Form);
        FRegistered = false;
        if (FHooked) UnhookWindowProc(Form, FHook);
        FHooked = false;
        if (MDISkinProvider == this) {
          if (MDIForm) HookMDI(false);
          MDISkinProvider = nullptr;
        }
        RestoreClassBrush();
        SystemMenu.reset();
        TempBmp.reset();
        MenuLineBmp.reset();
      }
    }
  }
  // ---- glued forms and the disabled overlay ----
  // Couples keep the form's address: none may outlive it, as slave or as master.
  if (Form) RemoveAllFormCouples(Form);
  if (LayerForm) {
    TacGlowForm* layer = LayerForm;
    LayerForm = nullptr;
    TComponent::Free(layer);
  }
  // ---- end of glued forms and the disabled overlay ----
  if (ChildSkinProvider == this) ChildSkinProvider = nullptr;
  if (MDISkinProvider == this) MDISkinProvider = nullptr;
  FreeHandler(ListSW);
  FScaleThread.reset();
  // ---- the form's animations ----
  FreeFormTimer();
  HideCaptionCover();
  // ---- end of the form's animations ----
  if (CoverForm) TComponent::Free(CoverForm);
  CoverForm = nullptr;
  FGlow1.reset();
  FGlow2.reset();
  if (Form) SaveThirdLists();
  // The skin state leaves the form's window while the form still exists.
  FCommonData.reset();
  TComponent::BeforeDestruction();
}

TsSkinManager* TsSkinProvider::Manager() const { return SkinManager ? SkinManager : DefaultManager(); }

void TsSkinProvider::SyncManager() {
  if (!FCommonData) return;
  if (TsSkinManager* manager = Manager(); manager != FLinkedManager && !Destroying()) {
    if (FLinkedManager) RemoveFreeNotification(FLinkedManager);
    FLinkedManager = manager;
    if (manager) FreeNotification(manager);
  }
  TsSkinManager* own = SkinManager == DefaultManager() ? nullptr : SkinManager;
  if (FCommonData->FSkinManager != own) FCommonData->WriteSkinManager(SkinManager);
}

// ---- properties --------------------------------------------------------------------

void TsSkinProvider::SetFormState(std::uint32_t Value) {
  for (std::uint32_t bit : {std::uint32_t{FS_ANIMMINIMIZING}, std::uint32_t{FS_ANIMRESTORING}}) {
    const bool was = (FFormState & bit) != 0;
    const bool now = (Value & bit) != 0;
    if (Form && was != now) {
      if (now)
        Form->DisableAlign();
      else
        Form->EnableAlign();
    }
  }
  FFormState = Value;
}

void TsSkinProvider::SetFlagProperty(int Index, bool Value) {
  bool* field = nullptr;
  switch (Index) {
    case 0: field = &FAllowExtBorders; break;
    case 1: field = &FDrawNonClientArea; break;
    case 2: field = &FShowAppIcon; break;
    case 3: field = &FUseGlobalColor; break;
    case 4: field = &FUWPMode; break;
    default: return;
  }
  if (*field == Value) return;
  *field = Value;
  switch (Index) {
    case 0:
      if (!Loading(this) && !Designing()) {
        UpdateExtendedBorders(true);
        if (FCommonData) FCommonData->BGChanged = true;
        if (HWND wnd = FormWnd(Form)) RedrawWindow(wnd, nullptr, nullptr, kRedrawFrame);
      }
      break;
    case 1: ApplyDrawNonClientArea(Value); break;
    case 2:
      if (!Designing()) {
        if (FCommonData) FCommonData->BGChanged = true;
        if (Form && Form->Visible()) RepaintFormFrame();
      }
      break;
    case 3:
      if (Value && Form && FCommonData && FCommonData->Skinned() && !FCommonData->CustomColor())
        if (TsSkinManager* manager = Manager()) Form->SetColor(manager->GetGlobalColor());
      break;
    case 4:
      if (!Designing()) UpdateUWPMode();
      break;
  }
}

void TsSkinProvider::SetSectionProperty(int Index, const std::wstring& Value) {
  if (Index == 0) {
    if (FTitleSkin == Value) return;
    FTitleSkin = Value;
    FTitleSkinIndex = -1;
    if (FCommonData) FCommonData->BGChanged = true;
    if (Form && Form->Visible()) {
      if (BorderForm)
        BorderForm->UpdateExBordersPos(true, 255);
      else
        ProcessMessage(WM_NCPAINT, 0, 0);
    }
  } else if (Index == 1) {
    if (FMenuLineSkin == Value) return;
    FMenuLineSkin = Value;
    if (Designing() && FCommonData) FCommonData->Invalidate();
  }
}

void TsSkinProvider::WriteCaptionAlignment(TAlignment Value) {
  if (FCaptionAlignment == Value) return;
  FCaptionAlignment = Value;
  if (FCommonData) FCommonData->BGChanged = true;
  if (Form && Form->Visible() && !Designing() && FCommonData && FCommonData->Skinned()) RepaintFormFrame();
}

void TsSkinProvider::WriteDisabledBlendValue(std::uint8_t Value) {
  if (FDisabledBlendValue == Value) return;
  FDisabledBlendValue = Value;
  if (!Designing()) UpdateDisabledOverlay();
}

void TsSkinProvider::WriteDisabledBlendColor(TColor Value) {
  if (FDisabledBlendColor == Value) return;
  FDisabledBlendColor = Value;
  if (!Designing()) UpdateDisabledOverlay();
}

void TsSkinProvider::WriteGluedForms(const TStringList& Value) { FGluedForms->Assign(Value); }

void TsSkinProvider::WriteResizeMode(TsResizeMode Value) {
  (void)Value;
  FResizeMode = rmStandard;
}

void TsSkinProvider::WriteTitleBar(TsTitleBar* Value) {
  if (FTitleBar == Value) return;
  FTitleBar = Value;
  RepaintFormFrame();
}

void TsSkinProvider::WriteTitleButtons(const TsTitleButtons& Value) { FTitleButtons->Assign(Value); }

void TsSkinProvider::LoadThirdLists() {
  OwnThirdLists = false;
  for (int i = 0; i < acThirdPartyCount; ++i) {
    const std::wstring text = FThirdParty->GetString(i);
    ThirdLists[static_cast<std::size_t>(i)]->SetText(text);
    if (!text.empty()) OwnThirdLists = true;
  }
}

void TsSkinProvider::SaveThirdLists() {
  for (int i = 0; i < acThirdPartyCount; ++i) FThirdParty->SetString(i, ThirdLists[static_cast<std::size_t>(i)]->Text());
}

// ---- class brush -------------------------------------------------------------------

void TsSkinProvider::SetClassBrush(HBRUSH Brush) {
  HWND wnd = FormWnd(Form);
  if (!wnd) return;
  const ATOM atom = static_cast<ATOM>(GetClassLongPtrW(wnd, GCW_ATOM));
  auto& originals = OriginalClassBrushes();
  if (!originals.count(atom))
    originals[atom] = reinterpret_cast<HBRUSH>(GetClassLongPtrW(wnd, GCLP_HBRBACKGROUND));
  FClassBrushSaved = true;
  SetClassLongPtrW(wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(Brush));
}

void ReleaseClassBrush(HBRUSH Brush) {
  if (!Brush) return;
  auto& originals = OriginalClassBrushes();
  for (TForm* form : std::vector<TForm*>(SkinnedForms())) {
    HWND wnd = form && form->HandleAllocated() ? form->Handle() : nullptr;
    if (!wnd || reinterpret_cast<HBRUSH>(GetClassLongPtrW(wnd, GCLP_HBRBACKGROUND)) != Brush) continue;
    const ATOM atom = static_cast<ATOM>(GetClassLongPtrW(wnd, GCW_ATOM));
    auto it = originals.find(atom);
    const HBRUSH own = it != originals.end() ? it->second : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    SetClassLongPtrW(wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(own));
  }
}

void TsSkinProvider::RestoreClassBrush() {
  if (!FClassBrushSaved) return;
  HWND wnd = FormWnd(Form);
  if (!wnd) return;
  const ATOM atom = static_cast<ATOM>(GetClassLongPtrW(wnd, GCW_ATOM));
  auto& originals = OriginalClassBrushes();
  if (auto it = originals.find(atom); it != originals.end())
    SetClassLongPtrW(wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(it->second));
  FClassBrushSaved = false;
}

// ---- preparation -------------------------------------------------------------------

bool TsSkinProvider::NonClientSkinned() {
  TsSkinManager* manager = Manager();
  return FDrawNonClientArea && manager && manager->Options.DrawNonClientArea.Get();
}

bool TsSkinProvider::ExtBordersAllowed() {
  TsSkinManager* manager = FCommonData ? Manager() : nullptr;
  if (!manager || !manager->ExtendedBorders() || !FAllowExtBorders) return false;
  return !(manager->Options.NativeBordersMaximized && Form && Form->WindowState() == wsMaximized);
}

void TsSkinProvider::UpdateExtendedBorders(bool Enable) {
  HWND wnd = FormWnd(Form);
  TsSkinManager* manager = Manager();
  const bool keep = Enable && Form && FCommonData && manager && manager->ExtendedBorders() && HasBorder(this) &&
                    NonClientSkinned() && !Form->Parent() && !IsMDIChild(Form) && FAllowExtBorders &&
                    !(manager->Options.NativeBordersMaximized && Form->WindowState() == wsMaximized) &&
                    (Form->Visible() || (wnd && (WindowStyle(wnd) & WS_VISIBLE)));
  if (keep) {
    if (!BorderForm) {
      BorderForm = new TacBorderForm(this);
      BorderForm->SkinData = FCommonData.get();
    }
    FCommonData->BGChanged = true;
    BorderForm->UpdateExBordersPos(true, 255);
  } else if (BorderForm) {
    TacBorderForm* border = BorderForm;
    BorderForm = nullptr;
    delete border;
  }
}

void TsSkinProvider::UpdateSysMenuStyle(bool Value) {
  HWND wnd = FormWnd(Form);
  if (!wnd) return;
  const LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
  if (Value) {
    if (NonClientSkinned()) {
      if (style & WS_SYSMENU) SetWindowLongPtrW(wnd, GWL_STYLE, style & ~WS_SYSMENU);
    } else if (!(style & WS_SYSMENU) && HasSystemMenu(this)) {
      SetWindowLongPtrW(wnd, GWL_STYLE, style | WS_SYSMENU);
    }
  } else if (HasSystemMenu(this)) {
    if (!(style & WS_SYSMENU)) SetWindowLongPtrW(wnd, GWL_STYLE, style | WS_SYSMENU);
    const LRESULT icon = SendMessageW(wnd, WM_GETICON, ICON_SMALL, 0);
    SendMessageW(wnd, WM_SETICON, ICON_SMALL, icon);
  }
}

void TsSkinProvider::ApplyDrawNonClientArea(bool Value) {
  if (Designing() || !Manager()) return;
  HWND wnd = FormWnd(Form);
  if (Value) {
    UpdateSysMenuStyle(true);
    if (Form && Form->Showing() && FCommonData && FCommonData->Skinned()) {
      FCommonData->BGChanged = true;
      UpdateExtendedBorders(Manager()->ExtendedBorders());
      if (wnd) RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_NOERASE | RDW_INVALIDATE);
    }
  } else {
    UpdateExtendedBorders(false);
    if (wnd) CallSetWindowTheme(wnd, L"", L"");
    if (wnd && HasSystemMenu(this)) SetWindowLongPtrW(wnd, GWL_STYLE, GetWindowLongPtrW(wnd, GWL_STYLE) | WS_SYSMENU);
    if (wnd && Form->Showing()) SetWindowRgn(wnd, nullptr, TRUE);
    if (FCommonData) FCommonData->BGChanged = true;
    if (wnd) RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
  }
}

void TsSkinProvider::UWPCaptionStyle(bool Maximized) {
  if (!FUWPMode) return;
  HWND wnd = FormWnd(Form);
  if (!wnd) return;
  const LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
  if (Maximized) {
    SetWindowLongPtrW(wnd, GWL_STYLE, style & ~WS_CAPTION);
  } else if (Form->BorderStyle() != bsNone && !(style & (WS_BORDER | WS_DLGFRAME))) {
    SetWindowLongPtrW(wnd, GWL_STYLE, style | WS_CAPTION);
    ApplyWindowRgn(true, false);
  }
}

void TsSkinProvider::UpdateUWPMode() {
  if (BorderForm) {
    BorderForm->UpdateExBordersPos(true, 255);
  } else {
    ApplyWindowRgn(true, false);
    if (HWND wnd = FormWnd(Form)) RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
  }
}

void TsSkinProvider::CreateAdapter() {
  if (Designing() || !FCommonData || !FCommonData->Skinned()) return;
  // An adapter already there keeps its items: a second one would adopt the same controls
  // again and the first one's handlers would be lost.
  if (!Adapter) Adapter = std::make_unique<TacCtrlAdapter>(this);
  if (Form) Adapter->AddAllItems();
}

void TsSkinProvider::RemoveAdapter() {
  if (Designing() || !Adapter) return;
  TMessage m{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REMOVE_SKIN), reinterpret_cast<LPARAM>(Manager()), 0};
  Adapter->WndProc(m);
  Adapter.reset();
}

void TsSkinProvider::SendToAdapter(TMessage& Message) {
  if (!Designing() && Adapter) Adapter->WndProc(Message);
}

void TsSkinProvider::InitLabel(TControl* Control, bool Skinned) {
  auto* label = dynamic_cast<TCustomLabel*>(Control);
  if (!label) return;
  auto it = std::find_if(SavedLabelColors.begin(), SavedLabelColors.end(),
                         [&](const TSavedLabelColor& e) { return e.Control == Control; });
  TsSkinManager* manager = Manager();
  const bool transparentAlways = manager && manager->LabelsOptions.TransparentAlways;
  if (Skinned) {
    if ((label->Tag & SkipSkinningTag) == SkipSkinningTag) return;
    if (it == SavedLabelColors.end())
      SavedLabelColors.push_back({Control, static_cast<TColor>(label->Font.Color), label->ParentFont()});
    if (label->Transparent || transparentAlways)
      label->SetControlStyle(label->ControlStyle() & ~csOpaque);
    if (TsSkinManager* def = DefaultManager()) label->Font.Color = def->GetGlobalFontColor();
  } else {
    if (it != SavedLabelColors.end()) {
      if (!it->ParentFont) {
        label->Font.Color = it->Color;
      } else if (label->ParentFont()) {
        if (TWinControl* parent = label->Parent()) label->Font.Color = static_cast<TColor>(parent->Font.Color);
      } else {
        label->SetParentFont(true);
      }
      *it = SavedLabelColors.back();
      SavedLabelColors.pop_back();
    }
    if (label->Transparent || transparentAlways) label->SetControlStyle(label->ControlStyle() | csOpaque);
  }
}

void TsSkinProvider::PrepareLabels(bool Skinned) {
  if (!Form) return;
  // Labels take the skin's colours only where the adapter supports them; every one gives
  // them back.
  for (TControl* c : std::vector<TControl*>(Form->Controls()))
    if (!Skinned || (Adapter && Adapter->IsControlSupported(c))) InitLabel(c, Skinned);
}

void TsSkinProvider::HookMDI(bool Active) {
  if (Active) {
    if (MDIForm && Form && Form->ClientHandle() && !IsSkinnedWindow(Form->ClientHandle())) MDIForm.reset();
    if (!MDIForm) {
      MDISkinProvider = this;
      MDIForm = std::make_unique<TsMDIForm>(this);
      MDIForm->ConnectToClient();
    }
  } else {
    MDIForm.reset();
  }
}

void TsSkinProvider::UpdateTitleSkinIndexes() {
  TsSkinManager* manager = Manager();
  TacSkinData* data = ProviderSkinData(this);
  if (!manager || !data) {
    FCaptionSkinIndex = FHeaderIndex = FTitleSkinIndex = -1;
    return;
  }
  FCaptionSkinIndex = data->GetSkinIndex(L"CAPTION");
  FHeaderIndex = data->GetSkinIndex(L"FORMHEADER");
  // A title section named by the form that the skin lacks is none: the title then goes unpainted.
  FTitleSkinIndex = FTitleSkin.empty() ? data->GetSkinIndex(L"FORMTITLE") : data->GetSkinIndex(FTitleSkin);
}

bool TsSkinProvider::HeaderHasStates() {
  TacSkinData* data = ProviderSkinData(this);
  if (FFormHeader->AdditionalHeight <= 0 || !data || FHeaderIndex < 0 ||
      FHeaderIndex >= static_cast<int>(data->gd.size()))
    return false;
  return data->gd[static_cast<std::size_t>(FHeaderIndex)].States > 1;
}

void TsSkinProvider::InitCaptionButtons() {
  if (!Form) return;
  switch (Form->BorderStyle()) {
    case bsSingle:
    case bsSizeable:
    case bsDialog: BigButtons = true; break;
    default: BigButtons = false;
  }
  TsSkinManager* manager = Manager();
  TacSkinData* data = ProviderSkinData(this);
  if (!manager || !data) return;
  const int global = data->GetSkinIndex(L"GLOBALINFO");
  if (global < 0) return;
  ButtonMin.cpHitCode = HTMINBUTTON;
  ButtonMax.cpHitCode = HTMAXBUTTON;
  ButtonClose.cpHitCode = HTCLOSE;
  ButtonHelp.cpHitCode = HTHELP;
  if (BigButtons) {
    ButtonMin.cpGlyphType = tgMin;
    ButtonMax.cpGlyphType = tgMax;
    ButtonHelp.cpGlyphType = tgHelp;
    const bool others = SystemMenu && (SystemMenu->VisibleMax() || SystemMenu->VisibleMin());
    ButtonClose.cpGlyphType = others ? tgClose : tgCloseAlone;
  } else {
    ButtonClose.cpGlyphType = tgSmallClose;
    ButtonMin.cpGlyphType = tgSmallMin;
    ButtonMax.cpGlyphType = tgSmallMax;
    ButtonHelp.cpGlyphType = tgSmallHelp;
  }
  for (TsCaptionButton* b : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp}) b->cpHaveAlignment = BigButtons;
  if (IsMDIParent(Form) && !Designing()) {
    MDIMin.cpGlyphType = tgSmallMin;
    MDIMax.cpGlyphType = tgSmallMax;
    MDIClose.cpGlyphType = tgSmallClose;
    MDIMin.cpHaveAlignment = MDIMax.cpHaveAlignment = MDIClose.cpHaveAlignment = false;
  }
  UserBtnIndex = manager->GetMaskIndex(global, L"GLOBALINFO", L"TITLEBUTTON", data);
}

void TsSkinProvider::PrepareForm() {
  if ((RTInit && !Form) || RTEmpty || !Manager() || !Form || !Form->HandleAllocated() || !Manager()->IsActive())
    return;
  if (RTInit) return;  // a run-time provider prepares on its first non-client message
  TsSkinManager* manager = Manager();
  SyncManager();
  FMenuOwnerDraw = false;
  FCommonData->Loaded(true);
  FCommonData->WndProc = FHook;
  if (!FormUnskinned()) {
    const int ppi = ControlPPI(Form);
    ProcessMessage(WM_DPICHANGED, MAKEWPARAM(ppi, ppi), ppi);
  }
  UpdateTitleSkinIndexes();
  if (!SystemMenu) {
    SystemMenu = std::make_unique<TsSystemMenu>(this);
    SystemMenu->UpdateItems();
  }
  UpdateSysMenuStyle(true);
  if (ClearButtons && manager->IsActive()) {
    ClearButtons = false;
    if (IsMDIParent(Form) && !Designing()) HookMDI(true);
  }
  FCommonData->UpdateIndexes(true);
  UpdateTitleBar();
  InitCaptionButtons();
  if (IsMDIChild(Form) && MDISkinProvider && !MDISkinProvider->Destroying() && FCommonData->Skinned()) {
    if (MDISkinProvider->FCommonData) MDISkinProvider->FCommonData->BGChanged = true;
    MDISkinProvider->FLinesCount = -1;
  }
  if (!(Form->ComponentState() & (csReading | csLoading)) && !FormCreating(Form) && !Loading(this) &&
      FUseGlobalColor && !FCommonData->CustomColor() && FCommonData->Skinned())
    Form->SetColor(manager->GetGlobalColor());
  if (!Loading(Form) && Form->Showing()) {
    UpdateExtendedBorders(manager->ExtendedBorders());
    UpdateTitleSkinIndexes();
  }
}

void TsSkinProvider::LoadInit() {
  HWND wnd = FormWnd(Form);
  if (wnd) UseDwmTransitions(wnd, NonClientSkinned());
  PrepareForm();
  if (!Adapter) CreateAdapter();
  if (SystemMenu) SystemMenu->UpdateItems();
  for (int i = 0; i < FTitleButtons->Count(); ++i) {
    TsTitleButton* b = FTitleButtons->Items(i);
    b->Data.cpGlyphType = b->UseSkinData ? tgTitleButton : tgNone;
  }
  if (MDIForm) MDIForm->ConnectToClient();
  if (Form && Form->BorderStyle() == bsSizeToolWin) {
    AllowBlendOnMoving = false;
    SetFlagProperty(3, true);
  }
  TsSkinManager* manager = Manager();
  if (manager && manager->IsActive() && wnd) SetClassBrush(manager->Brushes[0]);
}

// ---- geometry ----------------------------------------------------------------------

int TsSkinProvider::CaptionHeight(bool CheckSkin) {
  HWND wnd = FormWnd(Form);
  if (!Form || !wnd) return 0;
  const LONG_PTR style = WindowStyle(wnd);
  const bool frame = Form->BorderStyle() != bsNone || (style & WS_CHILD);
  if (!((frame && (style & WS_CAPTION)) || IsIconic(wnd))) return 0;
  const int a = CheckSkin ? BorderFormTitleHeight(BorderForm) : 0;
  if (FSysExHeight) return std::max(a, SysCaptionHeight(this) + 4);
  return a != 0 ? a : SysCaptionHeight(this);
}

namespace {
// The size of a visible own scroll bar of the form's window (the scrolling handlers skin it).
int OwnScrollBarSize(HWND wnd, int bar) {
  SCROLLBARINFO info{};
  info.cbSize = sizeof(info);
  const LONG id = bar == SB_VERT ? OBJID_VSCROLL : OBJID_HSCROLL;
  if (!GetScrollBarInfo(wnd, id, &info) || (info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)))
    return 0;
  return bar == SB_VERT ? info.rcScrollBar.right - info.rcScrollBar.left
                        : info.rcScrollBar.bottom - info.rcScrollBar.top;
}
}  // namespace

int TsSkinProvider::OffsetX() {
  HWND wnd = FormWnd(Form);
  if (!wnd) return 0;
  if (BorderForm) return BorderWidth(true) + ShadowSize().Left;
  return (WndWidth(wnd) - WndClientWidth(wnd) - OwnScrollBarSize(wnd, SB_VERT)) / 2;
}

int TsSkinProvider::OffsetY() {
  HWND wnd = FormWnd(Form);
  if (!wnd) return 0;
  if (BorderForm) {
    const int menu = MenuHeight();
    return CaptionHeight(true) + LinesCount() * menu + 0 + ShadowSize().Top + (menu != 0 ? 1 : 0);
  }
  int result = WndHeight(wnd) - WndClientHeight(wnd);
  if (WindowStyle(wnd) & WS_BORDER) result -= BorderWidth(true);
  return result - OwnScrollBarSize(wnd, SB_HORZ);
}

TRect TsSkinProvider::UWPClientRect() {
  TRect r = Form ? Form->ClientRect() : TRect{};
  const int x = OffsetX(), y = OffsetY();
  r = TRect{r.Left + x, r.Top + y, r.Right + x, r.Bottom + y};
  if (Form && Form->BorderStyle() == bsSizeable && !BorderForm) r = TRect{r.Left - 2, r.Top - 2, r.Right + 2, r.Bottom + 2};
  return r;
}

int TsSkinProvider::ButtonsTopOffset() {
  HWND wnd = FormWnd(Form);
  const bool zoomed = wnd && IsZoomed(wnd);
  if (!BorderForm) return zoomed ? 6 : 0;
  TacSkinData* data = ProviderSkinData(this);
  return ShadowSize().Top + (zoomed ? 4 : (data ? data->BITopMargin : 0));
}

int TsSkinProvider::FixedFrameWidth() {
  CXFixedFrame = SystemMetricForDpi(SM_CXFIXEDFRAME, ControlPPI(Form));
  return CXFixedFrame;
}

int TsSkinProvider::UpdateSizeFrame() {
  CXSizeFrame = SystemMetricForDpi(SM_CXFRAME, ControlPPI(Form));
  return CXSizeFrame;
}

int TsSkinProvider::PaddedBorder() {
  if (!Form || (Form->BorderStyle() != bsSizeable && Form->BorderStyle() != bsSizeToolWin)) return 0;
  HWND wnd = FormWnd(Form);
  CXPaddedBorder = SystemMetricForDpi(SM_CXPADDEDBORDER, wnd ? WindowPPI(wnd) : ControlPPI(Form));
  return CXPaddedBorder;
}

int TsSkinProvider::MenuHeight() {
  if (!HasMenuLine(this)) return 0;
  HWND wnd = FormWnd(Form);
  return SystemMetricForDpi(SM_CYMENU, wnd ? WindowPPI(wnd) : 96) - 1;
}

bool TsSkinProvider::CacheSizeStale() {
  if (!FCommonData || !FCommonData->FCacheBmp) return true;
  return FCommonData->FCacheBmp->Width() != CaptionWidth() || FCommonData->FCacheBmp->Height() != (Form ? Form->Height() : 0);
}

TRect TsSkinProvider::ShadowSize() {
  if (!BorderForm) return TRect{};
  TacSkinData* data = ProviderSkinData(this);
  return data ? data->FormShadowSize : TRect{};
}

int TsSkinProvider::BorderWidth(bool CheckSkin) {
  return SysBorderWidth(FormWnd(Form), BorderForm, CheckSkin) + (Form ? Form->BorderWidth() : 0);
}

int TsSkinProvider::BorderHeight(bool CheckSkin) {
  return SysBorderHeight(FormWnd(Form), BorderForm, CheckSkin) + (Form ? Form->BorderWidth() : 0);
}

int TsSkinProvider::HeaderHeight() {
  HWND wnd = FormWnd(Form);
  if (!wnd) return 0;
  int result;
  if (BorderForm) {
    result = SysBorderHeight(wnd, BorderForm, false) + CaptionHeight(true);
  } else if (WindowStyle(wnd) & WS_CAPTION) {
    result = WndHeight(wnd) - WndClientHeight(wnd) - BorderHeight(true);
  } else {
    result = WndHeight(wnd) - WndClientHeight(wnd) - ((WindowStyle(wnd) & WS_BORDER) ? BorderHeight(true) : 0);
  }
  result = std::max(0, result);
  if (IsIconic(wnd)) result += SysBorderHeight(wnd, BorderForm, false);
  if (FCommonData && FCommonData->Skinned()) result -= OwnScrollBarSize(wnd, SB_HORZ);
  return result;
}

int TsSkinProvider::CaptionWidth() {
  const TRect shadow = ShadowSize();
  HWND wnd = FormWnd(Form);
  if (wnd && IsIconic(wnd) && Application().MainForm() != Form) return 160 + shadow.Left + shadow.Right;
  return (Form ? Form->Width() : 0) + 2 * BorderFormBorderDiff(BorderForm) + shadow.Left + shadow.Right;
}

bool TsSkinProvider::SysRTLAllowed() {
  TsSkinManager* manager = Manager();
  return Form && Form->BiDiMode() == bdRightToLeft && manager && manager->ButtonsOptions.AllowRTLSysButtons;
}

// The caption buttons, the caption's mouse handlers and the caption drag start live in
// sSkinProvider.Caption.cpp.

// ---- window procedure -----------------------------------------------------------------

LRESULT TsSkinProvider::ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  if (FHooked) NewWndProc(m);
  return m.Result;
}

void TsSkinProvider::CallOld(TMessage& Message) {
  if (!OldWndProc) return;
  const TWndMethod old = OldWndProc;
  old(Message);
}

bool TsSkinProvider::FormUnskinned() {
  if (Destroying() || !Form || Form->Destroying() || !FCommonData) return true;
  return !FCommonData->Skinned();
}

void TsSkinProvider::NewWndProc(TMessage& Message) {
  SyncManager();
  if (Message.Msg == SM_SKINCOMMAND && FirstStage(Message)) return;
  if (FormUnskinned())
    UnskinnedWndProc(Message);
  else
    SkinnedWndProc(Message);
}

void TsSkinProvider::UnskinnedWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case SM_SKINCOMMAND:
      if (UnskinnedCommand(Message)) return;
      break;
    case WM_SETREDRAW:
      LockCount = Message.WParam == 1 ? std::max(0, LockCount - 1) : LockCount + 1;
      break;
    case WM_PRINT: {
      if (HDC dc = reinterpret_cast<HDC>(Message.WParam); dc && Form)
        FillRectOnDC(dc, TRect{0, 0, Form->Width(), Form->Height()}, Form->Color());
      TMessage paint{WM_PAINT, Message.WParam, Message.LParam, 0};
      CallOld(paint);
      Message.Result = paint.Result;
      return;
    }
    case CM_VISIBLECHANGED: PrepareHide(Message); break;
    case CM_SYSFONTCHANGED: DoReinit = true; break;
    case CM_MOUSEWHEEL: WheelForwarding(Message); return;
    default: break;
  }
  auto alive = FAlive;
  CallOld(Message);
  if (!*alive) return;
  if (Message.Msg == WM_WINDOWPOSCHANGED)
    CheckHideAnimation(Message);
  else if (Message.Msg == WM_NCDESTROY)
    CleanUpOnDestroy();
}

void TsSkinProvider::WheelForwarding(TMessage& Message) {
  auto alive = FAlive;
  CallOld(Message);
  if (!*alive || gInWheel || Message.Result != 0 || !Form || !Form->HandleAllocated()) return;
  gInWheel = true;
  struct TReset {
    ~TReset() { gInWheel = false; }
  } reset;
  const TPoint cursor = CursorPosition();
  POINT pt{cursor.X, cursor.Y};
  HWND wnd = Form->Handle();
  HWND target = nullptr;
  // The deepest windowed child under the screen point.
  for (HWND at = wnd; at;) {
    HWND found = nullptr;
    for (HWND child = GetWindow(at, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      RECT r{};
      if (IsWindowVisible(child) && GetWindowRect(child, &r) && PtInRect(&r, pt)) {
        found = child;  // the first in Z order is the top-most
        break;
      }
    }
    if (found) target = found;
    at = found;
  }
  if (!target) return;
  TWinControl* control = TWinControl::FromHandle(target);
  if (!control || control == Form || !control->TakesMouseWheel()) return;
  const TPoint pos{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
  Message.Result =
      control->DoMouseWheel(LOWORD(Message.WParam), static_cast<short>(HIWORD(Message.WParam)), pos) ? 1 : 0;
}

void TsSkinProvider::SkinnedWndProc(TMessage& Message) {
  auto alive = FAlive;
  HWND wnd = FormWnd(Form);
  switch (Message.Msg) {
    case SM_SKINCOMMAND: SkinnedCommand(Message); return;
    case WM_CREATE:
      if (IsMDIChild(Form)) {
        // An MDI child made before its host was skinned offers the host first.
        TForm* main = Application().MainForm();
        if (!MDISkinProvider && main && main->HandleAllocated()) SkinNewTopWindow(main->Handle());
        if (main && IsMDIParent(main)) MDIChildFromMaximized = main->ActiveMDIChildMaximized();
        CallOld(Message);
        return;
      }
      CallOld(Message);
      if (*alive) {
        FCommonData->InitCommonProp();
        PrepareForm();
      }
      return;
    case WM_MOVE:
      KillAnimations();
      ReleaseAllGlows();
      if (BorderForm || !Form->Showing()) {
        CallOld(Message);
        return;
      }
      if (ExtBordersAllowed() && !Loading(Form) && !(FFormState & (FS_ANIMMINIMIZING | FS_ANIMRESTORING)) &&
          !(wnd && IsIconic(wnd)))
        UpdateExtendedBorders(true);
      CallOld(Message);
      if (!*alive) return;
      if (Form->Parent() && Form->Parent()->HandleAllocated())
        RedrawWindow(Form->Parent()->Handle(), nullptr, nullptr, kRedrawFrame);
      MoveGluedForms(false);
      return;
    case WM_SIZE: HandleSize(Message); return;
    case WM_CLOSE: HandleClose(Message); return;
    case WM_SHOWWINDOW: HandleShowWindow(Message); return;
    case WM_WINDOWPOSCHANGING: HandleWindowPosChanging(Message); return;
    case WM_WINDOWPOSCHANGED: HandleWindowPosChanged(Message); return;
    case CM_SHOWINGCHANGED: HandleShowingChanged(Message); return;
    case CM_VISIBLECHANGED: HandleVisibleChanged(Message); return;
    case WM_ACTIVATE:
      CallOld(Message);
      if (*alive && Form->Showing() && (!ListSW || ListSW->Destroyed)) HookFormScrollBars();
      if (*alive && Form->Showing() && !FormCreating(Form)) {
        FLinesCount = -1;
        if (LOWORD(Message.WParam) == WA_ACTIVE) {
          if (TsSkinManager* manager = Manager(); manager && !(manager->ComponentState() & csDesigning))
            InitMenuItems(FCommonData->Skinned());
          if (!*alive) return;
          if (SystemMenu) SystemMenu->UpdateItems();
          if (!NonClientSkinned()) {
            FCommonData->FUpdating = false;
            if (Form->BorderStyle() == bsNone) RepaintChildControls(Form);
          } else if (HeaderHasStates()) {
            RepaintChildControls(Form);
          }
        }
      }
      if (*alive && Form->Showing()) MoveGluedForms(false);
      return;
    case WM_SETFOCUS:
      CallOld(Message);
      if (*alive && BorderForm && Form->Visible()) {
        FInAnimation = false;
        BorderForm->UpdateExBordersPos(true, 255);
      }
      return;
    case WM_SETREDRAW:
      LockCount = Message.WParam == 1 ? std::max(0, LockCount - 1) : LockCount + 1;
      CallOld(Message);
      return;
    case WM_SETTEXT:
      if (!wnd || !Form->Visible() || FormCreating(Form) || !NonClientSkinned()) {
        CallOld(Message);
        return;
      }
      FGlow1.reset();
      FGlow2.reset();
      // Windows draws its own caption with the new text: a picture of the skinned one covers
      // it meanwhile.
      if (IsMDIChild(Form) && IsZoomed(wnd) && MDISkinProvider && MDISkinProvider != this &&
          !MDISkinProvider->Destroying()) {
        TsSkinProvider* parent = MDISkinProvider;
        if (parent->FCommonData) parent->FCommonData->BGChanged = true;
        parent->ShowCaptionCover();
        CallOld(Message);
        if (!*alive) return;
        if (MDISkinProvider == parent) parent->HideCaptionCover();
      } else if (IsDwmCompositionOn()) {
        if (!BorderForm) ShowCaptionCover();
        CallOld(Message);
        if (!*alive) return;
        RepaintFormFrame();
        if (!BorderForm) HideCaptionCover();
      } else {
        FCommonData->BGChanged = true;
        ShowCaptionCover();
        CallOld(Message);
        if (!*alive) return;
        ProcessMessage(WM_NCPAINT, 0, 0);
        if (!*alive) return;
        HideCaptionCover();
      }
      if (BorderForm) BorderForm->UpdateExBordersPos(true, 255);
      return;
    case WM_SETICON:
      if (Loading(this) || Message.LParam == 0 || FInAnimation || !Form->Showing()) {
        CallOld(Message);
        return;
      }
      if (IsDwmCompositionOn()) {
        CallOld(Message);
      } else {
        SetWindowRedraw(wnd, 0);
        CallOld(Message);
        if (*alive) SetWindowRedraw(wnd, 1);
      }
      if (*alive) RepaintFormFrame();
      return;
    case WM_PAINT:
      if (!DrawClientArea || (FFormState & FS_ANIMRESTORING) || !Form->Showing()) {
        CallOld(Message);
        return;
      }
      if (Form->ControlState() & csPaintCopy) return;
      if (BorderForm && !AnimationInProgress &&
          (!BorderForm->AForm || !BorderForm->AForm->HandleAllocated() || !IsWindowVisible(BorderForm->AForm->Handle())))
        BorderForm->UpdateExBordersPos(false, 255);
      if (Form->Showing()) {
        PaintFormClient(Message);
        if (!*alive) return;
        MDIChildFromMaximized = false;
        if (IsMDIParent(Form) && wnd) {
          HDC dc = Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : GetDC(wnd);
          PaintGraphicChildren(dc, Form, Point(0, 0), true);
          if (!Message.WParam) ReleaseDC(wnd, dc);
        }
        Message.Result = 0;
      } else {
        CallOld(Message);
        if (!*alive) return;
      }
      if (!NonClientSkinned() && HasMenuLine(this)) ProcessMessage(WM_NCPAINT, 0, 0);
      return;
    case WM_ERASEBKGND:
      if (!wnd || !IsWindowVisible(wnd) || !DrawClientArea) {
        CallOld(Message);
        return;
      }
      if (FCommonData->FUpdating || (FCommonData->CtrlSkinState & ACS_INUPDATE)) return;
      EraseBackgroundMessage(Message);
      return;
    case WM_QUERYENDSESSION:
      CallOld(Message);
      return;
    case WM_SYSCOLORCHANGE:
      CallOld(Message);
      return;
    case WM_SETTINGCHANGE:
      // A running minimize or restore animation follows a new work area with its timer.
      FCommonData->BGChanged = true;
      CallOld(Message);
      return;
    case WM_ACTIVATEAPP: {
      CallOld(Message);
      TsSkinManager* manager = Manager();
      if (!*alive || Message.WParam != 1 || !manager || !manager->AnimEffects.Minimizing.Active ||
          (FFormState & FS_ANIMMINIMIZING))
        return;
      if (BorderForm) {
        if (!(FFormState & FS_DISABLED)) BorderForm->UpdateExBordersPos(false, 255);
      } else if (Form == Application().MainForm() && Application().Minimized() && wnd && !IsIconic(wnd) &&
                 !(dynamic_cast<TacMinTimer*>(FormTimer) && FormTimer->Enabled())) {
        // The main form left minimized by the taskbar comes back.
        Form->SetWindowState(wsNormal);
        RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
      }
      return;
    }
    case WM_SETCURSOR:
      // A title-bar item under the mouse keeps the cursor it set.
      if (FTitleBar && CurrentHT >= 2000 && CurrentHT - 2000 < FTitleBar->Items().Count()) return;
      CallOld(Message);
      return;
    case WM_COPYDATA: HandleCopyData(Message); return;
    case WM_NOTIFY:
      CallOld(Message);
      if (*alive && Adapter && Message.LParam &&
          reinterpret_cast<const NMHDR*>(Message.LParam)->code == static_cast<UINT>(NM_CUSTOMDRAW))
        Adapter->AddAllItems();
      return;
    case WM_CONTEXTMENU:
      if (TsSkinManager* manager = Manager(); manager && manager->SkinableMenus && Form->PopupMenu())
        manager->SkinableMenus->HookPopupMenu(Form->PopupMenu(), manager->SkinnedPopups());
      CallOld(Message);
      return;
    case WM_STYLECHANGED:
      CallOld(Message);
      if (!*alive) return;
      if (SystemMenu && SystemMenu->VisibleClose() != HasSystemMenu(this)) {
        SystemMenu->UpdateItems();
        RepaintFormFrame();
        return;
      }
      if (static_cast<int>(Message.WParam) == GWL_EXSTYLE && !(FFormState & 0x580) && NonClientSkinned()) {
        const auto* ss = reinterpret_cast<const STYLESTRUCT*>(Message.LParam);
        if (WindowStyle(wnd) & WS_SYSMENU) {
          FCommonData->BGChanged = true;
          InitCaptionButtons();
          if (!BorderForm && !ExtBordersAllowed()) {
            SetWindowLongPtrW(wnd, GWL_STYLE, WindowStyle(wnd) & ~WS_SYSMENU);
            return;
          }
        } else if (!(ss && BorderForm && !(FFormState & FS_DISABLED) &&
                     ((ss->styleOld ^ ss->styleNew) & WS_EX_LAYERED))) {
          return;
        }
        if (BorderForm)
          BorderForm->UpdateExBordersPos(true, 255);
        else
          UpdateExtendedBorders(Manager()->ExtendedBorders());
      }
      return;
    case WM_NCCREATE:
      if (TsSkinManager* manager = Manager(); !manager || manager->Options.ScaleMode.Get() == TsSkinManager::smVCL)
        if (Form->HandleAllocated()) EnableNonClientScaling(Form->Handle());
      CallOld(Message);
      if (!*alive || RTInit || !Form->HandleAllocated()) return;
      if (!IsMDIChild(Form)) PrepareForm();
      if (!*alive) return;
      if (HasBorder(this)) {
        if (NonClientSkinned()) ApplyWindowRgn();
      } else if (HRGN rgn = CreateRectRgn(0, 0, 0, 0)) {
        // A borderless form keeps no region of an earlier skin.
        if (GetWindowRgn(Form->Handle(), rgn) != ERROR) SetWindowRgn(Form->Handle(), nullptr, TRUE);
        DeleteObject(rgn);
      }
      return;
    case WM_NCHITTEST:
      if (RTInit) {
        RTInit = false;
        LoadInit();
      }
      if (!*alive) return;
      if (CaptionHeight(true) == 0 || !NonClientSkinned()) {
        CallOld(Message);
        return;
      }
      Message.Result = HitTest(Message);
      if (FHitGrip) return;  // the skin's grip, which the old procedure does not know
      switch (Message.Result) {
        case 0: case 1: case 2: case 5:
        case 10: case 11: case 12: case 13: case 14: case 15: case 16: case 17:
          CallOld(Message);
          break;
        default: break;
      }
      return;
    case WM_NCPAINT: NonClientPaintMessage(Message); return;
    case WM_NCACTIVATE: HandleNCActivate(Message); return;
    case WM_NCMOUSEMOVE: WMNCMouseMove(Message); return;
    case WM_NCLBUTTONDOWN: WMNCLButtonDown(Message); return;
    case WM_NCLBUTTONUP:
    case WM_LBUTTONUP: WMNCLButtonUp(Message); return;
    case WM_NCLBUTTONDBLCLK: WMNCLButtonDblClk(Message); return;
    case WM_NCRBUTTONDOWN: WMNCRButtonDown(Message); return;
    case WM_NCRBUTTONUP: WMNCRButtonUp(Message); return;
    case WM_MOUSEMOVE: WMMouseMove(Message); return;
    case WM_SIZING: WMSizing(Message); return;
    case WM_MOUSELEAVE:
    case CM_MOUSELEAVE: WMMouseLeave(Message); return;
    case CM_MOUSEENTER: CMMouseEnter(Message); return;
    case WM_SYSCOMMAND: HandleSysCommand(Message); return;
    case WM_ENTERIDLE:
      if (Message.WParam != 0) {
        Message.Result = 0;
        return;
      }
      CallOld(Message);
      return;
    case WM_PARENTNOTIFY: HandleParentNotify(Message); return;
    case WM_MDIDESTROY:
    case WM_MDIACTIVATE:
      CallOld(Message);
      if (*alive && IsMDIChild(Form) && MDISkinProvider && !MDISkinProvider->Destroying() && MDISkinProvider->Form &&
          MDISkinProvider->Form->ActiveMDIChildMaximized()) {
        if (MDISkinProvider->FCommonData) MDISkinProvider->FCommonData->BGChanged = true;
        MDISkinProvider->ProcessMessage(WM_NCPAINT, 0, 0);
        if (*alive) MDISkinProvider->RefreshMDIMenuLine();
        ChildSkinProvider = this;
      } else if (*alive && IsMDIChild(Form) && MDISkinProvider && !MDISkinProvider->Destroying()) {
        MDISkinProvider->MenusInitialized = false;
        MDISkinProvider->MenuChanged = true;
        if (MDISkinProvider->FCommonData) MDISkinProvider->FCommonData->BGChanged = true;
        MDISkinProvider->FLinesCount = -1;
        MDISkinProvider->ProcessMessage(WM_NCPAINT, 0, 0);
        ChildSkinProvider = this;
      }
      return;
    case WM_EXITSIZEMOVE:
      CallOld(Message);
      return;
    case WM_DPICHANGED: HandleDpiChanged(Message); return;
    // ---- menu line and system menu ----
    case WM_CHILDACTIVATE:
    case WM_GETMINMAXINFO:
    case WM_MEASUREITEM:
    case WM_INITMENUPOPUP:
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP: MenuMessage(Message); return;
    // ---- end of the menu line and system menu ----
    case kSysMenuRequest: {
      POINT pt{};
      GetCursorPos(&pt);
      DropSysMenu(pt.x, pt.y);
      return;
    }
    case WM_PRINT: HandlePrint(Message); return;
    case WM_PRINTCLIENT:
    case CM_COLORCHANGED: return;
    case WM_DWMSENDICONICTHUMBNAIL:
      // The maximum width in the high word, the height in the low one; a 0 is not answered.
      if (!LoadDwmLibrary() || HIWORD(Message.LParam) == 0 || LOWORD(Message.LParam) == 0) return;
      Message.Result = SendIconicThumbnail(FormWnd(Form), this, HIWORD(Message.LParam), LOWORD(Message.LParam)) ? 1 : 0;
      return;
    case WM_DWMSENDICONICLIVEPREVIEWBITMAP:
      if (!LoadDwmLibrary()) return;
      Message.Result = SendIconicLivePreview(FormWnd(Form), this) ? 1 : 0;
      return;
    case kSkinEditorMessage:
      switch (Message.WParam) {
        case 1: Form->Close(); break;
        case 3: CallOld(Message); break;
        case 4: Message.Result = 1; break;
        default: break;
      }
      return;
    case CM_ENABLEDCHANGED:
      CallOld(Message);
      if (*alive && NonClientSkinned()) {
        if (HWND border = BorderForm && BorderForm->AForm && BorderForm->AForm->HandleAllocated()
                              ? BorderForm->AForm->Handle()
                              : nullptr)
          EnableWindow(border, Form->Enabled());
        if (FDisabledBlendValue < 255 || DisabledBlured) {
          SetFormState(Form->Enabled() ? (FFormState & ~FS_DISABLED) : (FFormState | FS_DISABLED));
          UpdateDisabledOverlay();
          if (!*alive) return;
        } else if (LayerForm && Form->Enabled()) {
          // An overlay made while the values asked for one goes with the disabled state.
          SetFormState(FFormState & ~FS_DISABLED);
          UpdateDisabledOverlay();
        }
        FCommonData->BGChanged = true;
        ProcessMessage(WM_NCPAINT, 0, 0);
        if (BorderForm) BorderForm->UpdateExBordersPos(true, 255);
      }
      return;
    case CM_MENUCHANGED:
      CallOld(Message);
      if (*alive && !FormCreating(Form) && Form->Visible() && !FInAnimation &&
          !(FCommonData->CtrlSkinState & ACS_INUPDATE)) {
        FLinesCount = -1;
        MenuChanged = true;
        FCommonData->BGChanged = true;
      }
      return;
    case CM_WININICHANGE:
    case CM_BIDIMODECHANGED:
      CallOld(Message);
      if (*alive && BorderForm) BorderForm->UpdateExBordersPos(true, 255);
      return;
    case CM_CONTROLLISTCHANGE:
      CallOld(Message);
      if (*alive && Adapter)
        if (auto* control = dynamic_cast<TWinControl*>(reinterpret_cast<TControl*>(Message.WParam)))
          Adapter->AddNewItem(control);
      return;
    case CM_RECREATEWND:
      CallOld(Message);
      if (*alive && PreviewWnd && Form->HandleAllocated()) LinkSkinEditor(Form->Handle());
      return;
    case CM_SYSFONTCHANGED: DoReinit = true; return;
    case CM_FLOAT:
      FreeHandler(ListSW);
      CallOld(Message);
      if (*alive && wnd) SendSkinCommand(wnd, SKCMD_REFRESH, reinterpret_cast<LPARAM>(Manager()));
      return;
    case CM_MOUSEWHEEL: WheelForwarding(Message); return;
    case CM_CONTROLLISTCHANGING:
    case kHookProbe: Message.Result = 0; return;
    default: break;
  }
  CallOld(Message);
}

namespace {

// The windowed control with a window of that dialog identifier among the components, at any
// depth.
TWinControl* ControlOfChildId(const TComponent* Owner, int Id) {
  for (TComponent* c : Owner->Components()) {
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->HandleAllocated() && GetDlgCtrlID(w->Handle()) == Id)
      return w;
    if (TWinControl* found = ControlOfChildId(c, Id)) return found;
  }
  return nullptr;
}

}  // namespace

void TsSkinProvider::HandleParentNotify(TMessage& Message) {
  const WORD event = LOWORD(Message.WParam);
  TsSkinManager* manager = Manager();
  if ((event != WM_CREATE && event != WM_DESTROY) || Loading(Form) || !manager ||
      !(manager->SkinningRules() & srThirdParty)) {
    CallOld(Message);
    return;
  }
  auto alive = FAlive;
  CallOld(Message);
  if (!*alive) return;
  if (Adapter && event == WM_CREATE) {
    if (HWND child = reinterpret_cast<HWND>(Message.LParam)) {
      if (IsWindowVisible(child)) {
        if (TWinControl* control = ControlOfChildId(&Application(), HIWORD(Message.WParam)))
          Adapter->AddNewItem(control);
        else
          Adapter->AddAllItems();
      }
    } else {
      Adapter->AddAllItems();
    }
  }
  if (NonClientSkinned())
    if (auto* scroll = dynamic_cast<TacScrollWnd*>(ListSW)) RefreshScrollBars(scroll, false);
}

void TsSkinProvider::HandleNCActivate(TMessage& Message) {
  if (FFormState & FS_ANIMRESTORING) return;
  auto alive = FAlive;
  ReleaseAllGlows();
  HWND wnd = FormWnd(Form);
  if (Destroying() || !NonClientSkinned() || !wnd) {
    CallOld(Message);
    return;
  }
  const bool active = Message.WParam != 0;
  // A header whose look follows the activation repaints the children behind it.
  if (Form->Showing() && HeaderHasStates())
    for (TControl* c : std::vector<TControl*>(Form->Controls())) {
      auto* w = dynamic_cast<TWinControl*>(c);
      if (!w) {
        c->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_SET_UPDATING, 1), 0);
        c->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_BG_CHANGED, 1), 0);
      } else if (w->HandleAllocated() && !w->Destroying()) {
        SendMessageW(w->Handle(), SM_SKINCOMMAND, SkinCommandWParam(SKCMD_SET_UPDATING, 1), 0);
        SendMessageW(w->Handle(), SM_SKINCOMMAND, SkinCommandWParam(SKCMD_BG_CHANGED, 1), 0);
      }
    }
  if (!SystemMenu) PrepareForm();
  SetFormState(FFormState | FS_ACTIVATE);
  const bool changed = active != FormActive;
  if (!(FFormState & FS_BLENDMOVING) && changed) {
    FormActive = active;
    FCommonData->BGChanged = true;
  }
  if (ShowAction == saMaximize) {
    if (!active)
      ShowAction = saIgnore;
    else if (!BorderForm)
      FCommonData->FUpdating = true;
  } else {
    if (changed && FCommonData->SkinIndex >= 0) {
      TacSkinData* data = FCommonData->ReadCommonSkinData();
      const TsGeneralData& section = data->gd[static_cast<std::size_t>(FCommonData->SkinIndex)];
      const bool borderStates = section.BorderIndex >= 0 && section.BorderIndex < static_cast<int>(data->ma.size()) &&
                                data->ma[static_cast<std::size_t>(section.BorderIndex)].ImageCount > 1 &&
                                !(FFormState & FS_RESTORING);
      if (section.States > 1 || borderStates) FCommonData->BGChanged = true;
    }
    FCommonData->FUpdating = false;
  }
  const bool composition = IsDwmCompositionOn();
  bool redrawOff = false, covered = false;
  if (Form->Showing() && IsWindowVisible(wnd)) {
    if (active != FormActive) FCommonData->BGChanged = true;
    const bool coverable = (!BorderForm || LinesCount() > 0) && !Form->OnPaint;
    if (composition) {
      if (BorderForm) {
        // A form with a menu line shows its new state on the border window before Windows
        // paints the caption.
        TBitmap* cache = FCommonData->FCacheBmp.get();
        if (cache && !cache->Empty() && LinesCount() > 0) {
          if (!BorderForm->AForm) BorderForm->CreateNewForm();
          if (BorderForm->AForm) {
            HWND border = BorderForm->AForm->Handle();
            SetWindowRgn(border, BorderForm->MakeRgn(), FALSE);
            ShowBitmapLayered(border, cache, Form->AlphaBlend() ? Form->AlphaBlendValue() : 255);
            SetWindowPos(border, wnd, 0, 0, 0, 0, kBorderPlace);
          }
        }
      } else if (!InAero) {
        TForm* main = Application().MainForm();
        const bool mainOnTaskbarMinimized = main && main != Form && Application().MainFormOnTaskBar &&
                                            main->HandleAllocated() && IsIconic(main->Handle());
        if (!mainOnTaskbarMinimized) {
          SetWindowRedraw(wnd, 0);
          redrawOff = true;
        }
      }
      if (!fAnimating && coverable) {
        ShowCaptionCover();
        covered = true;
      }
    } else if (!fAnimating && !(Form->FormState() & fsShowing) && coverable) {
      ShowCaptionCover();
      covered = true;
    }
    if (!fAnimating && !(FFormState & FS_BLENDMOVING) && !composition) {
      if (BorderForm)
        ApplyWindowRgn(false);
      else if (Form != Application().MainForm())
        RgnChanged = true;
    }
  }
  CallOld(Message);
  if (!*alive) return;
  if (!IsIconic(wnd)) {
    if (composition) {
      if (redrawOff) {
        SetWindowRedraw(wnd, 1);
        RedrawWindow(wnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_NOERASE | RDW_INVALIDATE);
      }
      if (!fAnimating) {
        ProcessMessage(WM_NCPAINT, 0, 0);
        if (!*alive) return;
        if (covered) HideCaptionCover();
      }
    } else if (!fAnimating && (!BorderForm || LinesCount() > 0)) {
      RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_NOERASE | RDW_INVALIDATE);
      if (covered) HideCaptionCover();
    }
  } else if (redrawOff) {
    SetWindowRedraw(wnd, 1);
  }
  if (IsMDIChild(Form) && IsWindowVisible(wnd) && Form->Showing() && MDISkinProvider && MDISkinProvider != this &&
      !MDISkinProvider->Destroying() && MDISkinProvider->Form && MDISkinProvider->MDIForm) {
    if (MDISkinProvider->FCommonData) MDISkinProvider->FCommonData->BGChanged = true;
    MDISkinProvider->FLinesCount = -1;
    MDISkinProvider->MDIForm->UpdateMDIIconItem();
    if (HWND parent = FormWnd(MDISkinProvider->Form)) {
      SendMessageW(parent, WM_NCPAINT, 0, 0);
      if (HWND client = MDISkinProvider->Form->ClientHandle()) SendMessageW(client, WM_NCPAINT, 0, 0);
    }
    if (!*alive) return;
  }
  const bool formTimerRuns = FormTimer && FormTimer->Enabled();
  if ((GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED) && !formTimerRuns) {
    ProcessMessage(WM_NCPAINT, 0, 0);
    if (!*alive) return;
  }
  if (FormCreating(Form)) {
    SetFormState(FFormState & ~FS_ACTIVATE);
    return;
  }
  if (HasBorder(this) && !(FFormState & FS_BLENDMOVING)) {
    if (!(IsMDIParent(Form) && Form->ActiveMDIChildMaximized())) {
      if (FormActive != active) {
        FormActive = active;
        FLinesCount = -1;
      }
    } else if (active || (Form->ActiveMDIChild() && Application().ActiveForm() == Form->ActiveMDIChild())) {
      FormActive = true;
      FLinesCount = -1;
    }
  }
  SetFormState(FFormState & ~FS_ACTIVATE);
  if (!formTimerRuns) {
    if (WndWidth(wnd) == Form->Width() || WndHeight(wnd) == Form->Height()) ProcessMessage(WM_NCPAINT, 0, 0);
    if (!*alive) return;
    if (BorderForm) {
      if (!IsZoomed(wnd)) {
        auto* minTimer = dynamic_cast<TacMinTimer*>(FormTimer);
        if (!FormTimer || (minTimer && minTimer->StepCount > 1)) BorderForm->UpdateExBordersPos(true, 255);
      } else if (TsSkinManager* manager = Manager(); manager && manager->Options.NativeBordersMaximized) {
        delete BorderForm;
        BorderForm = nullptr;
        ApplyWindowRgn();
      } else {
        BorderForm->UpdateExBordersPos(true, 255);
      }
      if (!*alive) return;
    }
  }
  if (!Adapter && FCommonData && FCommonData->Skinned()) CreateAdapter();
}

void TsSkinProvider::HandleMDIChildCommand(TMessage& Message) {
  auto alive = FAlive;
  HWND wnd = FormWnd(Form);
  const WPARAM command = Message.WParam & 0xFFF0;
  TsSkinProvider* parent = MDISkinProvider && MDISkinProvider != this && !MDISkinProvider->Destroying() &&
                                   MDISkinProvider->Form
                               ? MDISkinProvider
                               : nullptr;
  auto parentAlive = parent ? parent->FAlive : std::shared_ptr<bool>();
  auto refreshMenuLine = [&] {
    if (parent && *parentAlive) parent->RefreshMDIMenuLine();
  };
  const bool zoomed = wnd && IsZoomed(wnd);
  const bool iconic = wnd && IsIconic(wnd);
  // A maximized child's command repaints its host's frame once, at the end.
  const bool hold = parent && zoomed && command != SC_MAXIMIZE && parent->FCommonData;
  if (hold) parent->FCommonData->BeginUpdate();
  struct TEnd {
    TsSkinProvider* Parent;
    std::shared_ptr<bool> Alive;
    bool Hold;
    ~TEnd() {
      if (Hold && *Alive && Parent->FCommonData) Parent->FCommonData->EndUpdate(true);
    }
  } end{parent, parentAlive, hold};
  switch (command) {
    case SC_MINIMIZE:
      CallOld(Message);
      if (!*alive) return;
      if (zoomed) refreshMenuLine();
      if (SystemMenu) SystemMenu->UpdateItems(true);
      FCommonData->BGChanged = true;
      refreshMenuLine();
      return;
    case SC_MAXIMIZE: {
      ChildSkinProvider = this;
      // The child is maximized unseen: its skinned frame is drawn once it is in place.
      const LONG_PTR style = WindowStyle(wnd);
      if (wnd) SetWindowLongPtrW(wnd, GWL_STYLE, style & ~WS_VISIBLE);
      CallOld(Message);
      if (!*alive) return;
      if (wnd) {
        SetWindowLongPtrW(wnd, GWL_STYLE, WindowStyle(wnd) | (style & WS_VISIBLE));
        RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_ERASE | RDW_INTERNALPAINT);
      }
      if (parent && *parentAlive && parent->MDIForm) refreshMenuLine();
      if (SystemMenu) SystemMenu->UpdateItems(true);
      return;
    }
    case SC_CLOSE:
      if (!parent) break;
      if (zoomed) refreshMenuLine();
      parent->InMenu = true;
      {
        struct TInMenu {
          TsSkinProvider* P;
          std::shared_ptr<bool> Alive;
          ~TInMenu() {
            if (*Alive) P->InMenu = false;
          }
        } inMenu{parent, parentAlive};
        CallOld(Message);
      }
      if (!*alive || Destroying() || Form->Destroying()) return;
      SetHotHT(0, false);
      if (zoomed) refreshMenuLine();
      return;
    case SC_KEYMENU: return;
    case SC_RESTORE:
      if (MDIChildFromMaximized) return;
      CallOld(Message);
      if (!*alive) return;
      FCommonData->BGChanged = true;
      if (NonClientSkinned() && wnd) SetWindowLongPtrW(wnd, GWL_STYLE, WindowStyle(wnd) & ~WS_SYSMENU);
      if (wnd) RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
      if (parent && *parentAlive)
        for (int i = 0; i < parent->Form->MDIChildCount(); ++i) {
          TForm* child = parent->Form->MDIChildren(i);
          if (child == Form || !child->HandleAllocated() || !IsZoomed(child->Handle())) continue;
          child->SetWindowState(wsNormal);
          RedrawWindow(child->Handle(), nullptr, nullptr, kRedrawAll);
        }
      if (iconic || zoomed) refreshMenuLine();
      if (SystemMenu) SystemMenu->UpdateItems(true);
      return;
    default: break;
  }
  CallOld(Message);
}

void TsSkinProvider::HandleSysCommand(TMessage& Message) {
  if (IsMDIChild(Form)) {
    HandleMDIChildCommand(Message);
    return;
  }
  auto alive = FAlive;
  HWND wnd = FormWnd(Form);
  TsSkinManager* manager = Manager();
  TApplication& app = Application();
  const WPARAM command = Message.WParam & 0xFFF0;
  const bool minimizing = manager && manager->AnimEffects.Minimizing.Active;
  const bool nativeMaximized = manager && manager->Options.NativeBordersMaximized;
  const bool isMain = Form == app.MainForm();
  const bool mdiParent = IsMDIParent(Form);
  auto afterMinimize = [&] {
    if (!*alive) return;
    if (minimizing) fAnimating = false;
    if (!(FFormState & FS_ANIMMINIMIZING) && BorderForm && BorderForm->AForm) {
      BorderForm->ExBorderShowing = true;
      BorderForm->FreeBorderWindow();
      BorderForm->ExBorderShowing = false;
    }
  };
  switch (command) {
    case SC_MINIMIZE:
      UWPCaptionStyle(false);
      MaxRestore = wnd && IsZoomed(wnd);
      if (!isMain && minimizing) {
        {
          // Windows' own animation stays off around the form's code, also when it raises.
          TSystemAnimationOff off;
          StartMinimizing(this);
          CallOld(Message);
        }
        afterMinimize();
        return;
      }
      break;
    case SC_MAXIMIZE: {
      MaxRestore = false;
      if (nativeMaximized && wnd && IsZoomed(wnd) && BorderForm) {
        delete BorderForm;
        BorderForm = nullptr;
      }
      // Maximized from the taskbar while minimized by the form's animation: the picture grows
      // back out of the taskbar.
      if (auto* timer = dynamic_cast<TacMinTimer*>(FormTimer); timer && timer->Minimized && !Form->Parent()) {
        SetFormState(FFormState | FS_MAXIMIZING);
        {
          TSystemAnimationOff off;
          StartRestoring(this);
          CallOld(Message);
        }
        if (*alive) SetFormState(FFormState & ~FS_MAXIMIZING);
        return;
      }
      UWPCaptionStyle(true);
      break;
    }
    case SC_RESTORE:
      if (FFormState & FS_ANIMCLOSING) {
        SetFormState((FFormState | FS_RESTORING) & ~FS_ANIMCLOSING);
        if (BorderForm) BorderForm->ExBorderShowing = false;
        {
          TSystemAnimationOff off;
          CallOld(Message);
        }
        if (*alive) SetFormState(FFormState & ~FS_RESTORING);
        return;
      }
      if (!isMain || app.MainFormOnTaskBar) {
        if (wnd && IsIconic(wnd)) {
          SetFormState(FFormState | FS_RESTORING);
          {
            // A form the minimize animation left has Windows' animation off until that
            // animation's own end; its timer is made ready for the way back.
            auto* timer = dynamic_cast<TacMinTimer*>(FormTimer);
            std::optional<TSystemAnimationOff> off;
            if (!(timer && timer->Minimized)) off.emplace();
            if (timer && (timer->Minimized || !timer->AnimForm)) {
              timer->Minimized = true;
              timer->InitData();
            }
            RgnChanged = true;
            StartRestoring(this);
            FCommonData->BGChanged = true;
            if (nativeMaximized && MaxRestore && BorderForm) {
              delete BorderForm;
              BorderForm = nullptr;
            }
            CallOld(Message);
            if (*alive && BorderForm && !BorderForm->AForm) {
              FInAnimation = false;
              BorderForm->UpdateExBordersPos(true, 255);
            }
          }
          if (*alive) SetFormState(FFormState & ~FS_RESTORING);
          return;
        }
        if ((BorderForm && !BorderForm->AForm) || (!BorderForm && ExtBordersAllowed())) {
          UpdateExtendedBorders(true);
          ApplyWindowRgn();
        }
      }
      MaxRestore = false;
      break;
    default:
      if (Message.WParam == 0xF012) Form->Repaint();  // a caption drag starts on a fresh image
      if (isMain && app.MainFormOnTaskBar && !Form->Parent() && wnd && IsIconic(wnd) && command != SC_MOVE &&
          FormTimer) {
        // The form's animation owns the minimized form: the application window takes it.
        SendMessageW(app.Handle(), WM_SYSCOMMAND, Message.WParam, Message.LParam);
        return;
      }
      if (isMain && app.MainFormOnTaskBar && !Form->Parent() && wnd && IsIconic(wnd) && command != SC_MOVE &&
          !BorderForm && IsDwmCompositionOn()) {
        CallOld(Message);
        if (!*alive) return;
        RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_INVALIDATE);
        InvalidateRect(wnd, nullptr, TRUE);
        return;
      }
      break;
  }
  if (mdiParent) {
    if (command == SC_RESTORE) SetFormState(FFormState | FS_RESTORING);
    CallOld(Message);
    if (!*alive) return;
    if (command == SC_MINIMIZE || command == SC_MAXIMIZE || command == SC_RESTORE) {
      if (MDISkinProvider && MDISkinProvider->FCommonData) MDISkinProvider->FCommonData->BGChanged = true;
      if (MDISkinProvider) MDISkinProvider->FLinesCount = -1;
      if (wnd) SendMessageW(wnd, WM_NCPAINT, 0, 0);
      if (!*alive) return;
      if (command == SC_MAXIMIZE && BorderForm) BorderForm->UpdateExBordersPos(true, 255);
      if (command == SC_RESTORE) SetFormState(FFormState & ~FS_RESTORING);
    }
  } else {
    if (command == SC_MAXIMIZE) {
      if (nativeMaximized && BorderForm) UpdateExtendedBorders(false);
      SetFormState(FFormState | FS_MAXIMIZING);
      struct TClear {
        TsSkinProvider* P;
        std::shared_ptr<bool> Alive;
        ~TClear() {
          if (*Alive) P->SetFormState(P->FFormState & ~FS_MAXIMIZING);
        }
      } clear{this, alive};
      CallOld(Message);
    } else {
      CallOld(Message);
    }
    if (!*alive) return;
    if (command == SC_KEYMENU && LOWORD(Message.LParam) == VK_SPACE && HasSystemMenu(this) && HasBorder(this) && wnd) {
      // The system menu drops under the title icon.
      RECT r{};
      GetWindowRect(wnd, &r);
      const int y = r.top + BorderHeight(true) + (FIconRect.Bottom - FIconRect.Top) - (IsIconic(wnd) ? 16 : 0);
      DropSysMenu(r.left + SysBorderWidth(wnd, BorderForm, true), y);
      return;
    }
    if (command == SC_MAXIMIZE || command == SC_RESTORE) {
      if (SystemMenu && SystemMenu->VisibleMax()) CurrentHT = HTMAXBUTTON;
      SetHotHT(0);
      if (command == SC_RESTORE) {
        FCommonData->BGChanged = true;
        if (HasBorder(this)) {
          if (ExtBordersAllowed() && !Form->Parent()) {
            FInAnimation = false;
            if (BorderForm) {
              BorderForm->UpdateExBordersPos(true, 255);
            } else {
              UpdateExtendedBorders(true);
              ApplyWindowRgn(true);
            }
          }
          if (wnd) RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_INVALIDATE);
        } else if (wnd) {
          SetWindowRgn(wnd, nullptr, TRUE);
        }
      }
    }
  }
  if (command == SC_MINIMIZE) afterMinimize();
}

void TsSkinProvider::ReadSystemMetrics(int PPI) {
  SysCaptionHeight(this, PPI);
  CXSizeFrame = SystemMetricForDpi(SM_CXFRAME, PPI);
  CXFixedFrame = SystemMetricForDpi(SM_CXFIXEDFRAME, PPI);
  CXPaddedBorder = SystemMetricForDpi(SM_CXPADDEDBORDER, PPI);
}

void TsSkinProvider::HandleDpiChanged(TMessage& Message) {
  TsSkinManager* manager = Manager();
  if (gInDpiChange || !manager || manager->Designing()) return;
  const int ppi = HIWORD(Message.WParam);
  // A density below 1 would end in divisions by it.
  if (ppi < 1) return;
  gInDpiChange = true;
  struct TReset {
    ~TReset() { gInDpiChange = false; }
  } reset;
  if (ppi == FCommonData->CurrentPPI) {
    FCommonData->BGChanged = true;
    FCommonData->Invalidate();
    return;
  }
  ReadSystemMetrics(ppi);
  FCommonData->WriteCommonSkinData(nullptr);
  RgnChanged = true;
  if (AllowScale && manager->Options.ScaleMode.Get() == TsSkinManager::smVCL) {
    auto alive = FAlive;
    SetFormState(FFormState | FS_DPICHANGING);
    FCommonData->BGChanged = true;
    FCommonData->FUpdating = true;
    manager->UpdateScale(Form, FCommonData->CurrentPPI, ppi);
    if (!*alive) return;
    FCommonData->FUpdating = false;
    FCommonData->BGChanged = true;
    CalcItems();
    PaintAll();
    SetFormState(FFormState & ~FS_DPICHANGING);
    if (BorderForm) RepaintFormFrame();
    BroadcastToAllChildren(Form, TMessage{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_BG_CHANGED, 1), 0, 0});
    if (HWND wnd = FormWnd(Form)) {
      RedrawWindow(wnd, nullptr, nullptr, RDW_ALLCHILDREN | RDW_NOERASE | RDW_NOINTERNALPAINT | RDW_INVALIDATE);
      RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_NOERASE | RDW_INVALIDATE);
    }
  } else {
    CalcItems();
    FCommonData->Invalidate();
  }
}

void TsSkinProvider::HandlePrint(TMessage& Message) {
  if (Loading(this) || Loading(Form) || FormCreating(Form) || Form->Destroying()) return;
  HWND wnd = FormWnd(Form);
  if (wnd) UseDwmTransitions(wnd, true);
  if (IsMDIChild(Form) && MDISkinProvider && MDISkinProvider->Form && MDISkinProvider->Form->ActiveMDIChildMaximized() &&
      MDISkinProvider->Form->ActiveMDIChild() != Form)
    return;
  if (!MenusInitialized) InitMenus();
  if (Message.LParam & PRF_ERASEBKGND) {
    ProcessMessage(WM_ERASEBKGND, Message.WParam, Message.LParam);
    return;
  }
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  if (!dc) return;
  auto alive = FAlive;
  FCommonData->PrintDC = dc;
  FCommonData->FUpdating = false;
  if (!FCommonData->FCacheBmp || FCommonData->FCacheBmp->Width() == 0) FCommonData->BGChanged = true;
  const int x = OffsetX(), y = OffsetY();
  if (BorderForm) {
    if (FCommonData->BGChanged) PaintAll();
    if (!*alive) return;
    if (TBitmap* cache = FCommonData->FCacheBmp.get(); cache && !cache->Empty())
      BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
    const int saved = SaveDC(dc);
    OffsetWindowOrgEx(dc, -x, -y, nullptr);
    IntersectClipRect(dc, 0, 0, Form->ClientWidth(), Form->ClientHeight());
    if (!IsMDIParent(Form) && !(FFormState & FS_ANIMCLOSING)) PaintGraphicChildren(dc, Form, Point(0, 0), true);
    RestoreDC(dc, saved);
  } else {
    if (NonClientSkinned()) {
      if (HasBorder(this) || !HasThickFrame(wnd)) {
        DrawNonClient(dc);
      } else if (TBitmap* cache = FCommonData->FCacheBmp.get(); cache && !cache->Empty()) {
        const int band = BorderWidth(true) + 3;
        const int w = cache->Width(), h = cache->Height();
        BitBlt(dc, 0, 0, w, band, cache->Canvas().Handle(), 0, 0, SRCCOPY);
        BitBlt(dc, 0, band, band, h - band, cache->Canvas().Handle(), 0, band, SRCCOPY);
        BitBlt(dc, 0, h - band, w, band, cache->Canvas().Handle(), 0, h - band, SRCCOPY);
        BitBlt(dc, w - band, band, band, h - band, cache->Canvas().Handle(), w - band, band, SRCCOPY);
      }
      if (!*alive) return;
    }
    const int saved = SaveDC(dc);
    OffsetWindowOrgEx(dc, -x, -y, nullptr);
    IntersectClipRect(dc, 0, 0, Form->ClientWidth(), Form->ClientHeight());
    PaintClient(dc, TRect{0, 0, Form->ClientWidth(), Form->ClientHeight()}, false);
    RestoreDC(dc, saved);
    if (!*alive) return;
  }
  if (IsMDIParent(Form) && Form->ClientHandle())
    SendMessageW(Form->ClientHandle(), WM_PRINT, Message.WParam, Message.LParam);
  if (FCommonData) FCommonData->PrintDC = nullptr;
}

void TsSkinProvider::EraseBackgroundMessage(TMessage& Message) {
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  TBitmap* cache = FCommonData->FCacheBmp.get();
  const int x = OffsetX(), y = OffsetY();
  if ((Form->ControlState() & csPaintCopy) || Message.WParam == static_cast<WPARAM>(Message.LParam)) {
    if (dc && !FCommonData->BGChanged && cache && !cache->Empty())
      BitBlt(dc, 0, 0, Form->Width(), Form->Height(), cache->Canvas().Handle(), x, y, SRCCOPY);
    Message.Result = 1;
    return;
  }
  if (IsMDIParent(Form) && Form->ActiveMDIChildMaximized()) {
    EraseFormBackground(dc);
    if (IsMDIChild(Form)) {
      MDIChildFromMaximized = false;
      ChildSkinProvider = this;
    }
    Message.Result = 1;
    return;
  }
  if (!FCommonData->FUpdating && dc && cache && !cache->Empty() && !FCommonData->BGChanged) {
    const int cw = Form->ClientWidth(), ch = Form->ClientHeight();
    // The children are left out where they are on the client DC, not where their pixels lie
    // in the cache (which holds the frame too).
    PaintCacheExceptControls(Form, FCommonData.get(), TRect{x, y, x + cw, y + ch}, 0, 0, false, dc, TRect{0, 0, cw, ch});
    RepaintChildControls(Form);
  }
  Message.Result = 1;
}

void TsSkinProvider::NonClientPaintMessage(TMessage& Message) {
  auto alive = FAlive;
  if (!SystemMenu) PrepareForm();
  if (!*alive) return;
  HWND wnd = FormWnd(Form);
  if (NonClientSkinned() && (FCommonData->CtrlSkinState & 0xC00) &&
      (HasMenuLine(this) || (FFormState & (FS_ANIMCLOSING | FS_ANIMSHOWING))))
    return;
  if (RTInit) {
    RTInit = false;
    LoadInit();
    if (!*alive) return;
  }
  if (FCommonData->RecheckUpdating(false)) {
    if (!NonClientSkinned()) CallOld(Message);
    return;
  }
  if (!NonClientSkinned() || (IsMDIChild(Form) && AnimationInProgress)) {
    CallOld(Message);
    return;
  }
  if ((FFormState & FS_ANIMSHOWING) || !Form->Showing() || Loading(this) || Form->Destroying() || !SystemMenu || !wnd)
    return;
  if (IsIconic(wnd))
    FCommonData->BGChanged = true;
  else if (WndWidth(wnd) != Form->Width() || WndHeight(wnd) != Form->Height())
    return;
  if (!Adapter) CreateAdapter();
  if (!*alive) return;
  if (!FCommonData->FCacheBmp)
    if (TsSkinManager* manager = Manager()) UpdateExtendedBorders(manager->ExtendedBorders());
  if (!*alive) return;
  PaintNonClientArea();
  Message.Result = 0;
}

void TsSkinProvider::HandleCopyData(TMessage& Message) {
  auto alive = FAlive;
  CallOld(Message);
  if (!*alive || Message.Result != 0 || !Form || !Form->HandleAllocated() || Form->Handle() != PreviewWnd ||
      gReceivingPreview)
    return;
  TsSkinManager* def = DefaultManager();
  if (!def) return;
  gReceivingPreview = true;
  struct TReset {
    ~TReset() { gReceivingPreview = false; }
  } reset;
  // The one check of the preview record (the application window takes it the same way):
  // only a whole record is copied, and it is applied later, outside the sender's send.
  if (TakeSkinEditorData(Message.WParam, reinterpret_cast<const COPYDATASTRUCT*>(Message.LParam), def->PreviewBuffer))
    PostMessageW(Application().Handle(), SM_SKINCOMMAND, SkinCommandWParam(SKCMD_APPLY_PREVIEW), 0);
}

// ---- library commands ------------------------------------------------------------------

bool TsSkinProvider::FirstStage(TMessage& Message) {
  TsSkinManager* manager = Manager();
  const auto own = reinterpret_cast<LPARAM>(manager);
  switch (SkinCommandOf(Message.WParam)) {
    case SKCMD_NEW_SKIN:
      if (FCommonData) FCommonData->WriteCommonSkinData(nullptr);
      KillAnimations();
      if (Form && !Form->Destroying() && Message.LParam == own && !SystemMenu) PrepareForm();
      return false;
    case SKCMD_REMOVE_SKIN:
      if (Message.LParam == own && manager) {
        RemoveSkin();
      } else {
        if (FCommonData) DispatchSkinCommand(Message, FCommonData.get());
        if (Form) BroadcastToAllChildren(Form, Message);
      }
      return true;
    case SKCMD_IS_SKINNED: Message.Result = 1; return true;
    case SKCMD_UPDATE_END:
      if (FCommonData && (FCommonData->CtrlSkinState & 0x400)) {
        FCommonData->CtrlSkinState &= ~0x400u;
        if (Form) Form->Perform(CM_MENUCHANGED);
      }
      return false;
    case SKCMD_GET_BG_INFO: {
      if (!FCommonData || !FCommonData->Skinned()) return false;
      bool handled = false;
      AnswerBackground(Message, handled);
      return handled;
    }
    case SKCMD_FONT_CHANGED:
      if (manager && FAddedTitle->Font.Name.Get() == manager->DefOldFontName)
        FAddedTitle->Font.ChangeQuietly([&] { FAddedTitle->Font.Name = manager->DefNewFontName; });
      if (manager && FTitleBar)
        for (int i = 0; i < FTitleBar->Items().Count(); ++i) {
          TacTitleBarItem* item = FTitleBar->Items()[i];
          if (item->FontData().Font().Name.Get() != manager->DefOldFontName) continue;
          item->FontData().Font().Name = manager->DefNewFontName;
          if (item->AutoSize() && FTitleBar->Initialized) item->UpdateSize(false);
        }
      RepaintFormFrame();
      if (FCommonData) DispatchSkinCommand(Message, FCommonData.get());
      return true;
    case SKCMD_GET_APPLICATION: Message.Result = reinterpret_cast<LRESULT>(&Application()); return true;
    case SKCMD_CLIENT_OFFSET:
      Message.Result = MAKELONG(static_cast<WORD>(OffsetX()), static_cast<WORD>(OffsetY()));
      return true;
    case SKCMD_PPI_CHANGED: {
      const int ppi = static_cast<int>(Message.LParam);
      // A density below 1 would end in divisions by it.
      if (ppi < 1 || !FCommonData) return true;
      KillAnimations();
      SetHotHT(-1);
      if (FCommonData->CurrentPPI > 0)
        FAddedTitle->Font.ChangeQuietly(
            [&] { FAddedTitle->Font.Height = MulDiv(FAddedTitle->Font.Height, ppi, FCommonData->CurrentPPI); });
      DispatchSkinCommand(Message, FCommonData.get());
      if (FTitleBar) FTitleBar->Initialized = false;
      if (manager) FCommonData->WriteCommonSkinData(manager->CommonSkinData(ppi));
      ReadSystemMetrics(ppi);
      if (Form) BroadcastToAllChildren(Form, Message);
      CallOld(Message);
      return true;
    }
    case SKCMD_GET_PPI:
      Message.Result = AllowScale && FCommonData ? FCommonData->CurrentPPI : -1;
      return true;
    case SKCMD_FORM_IMAGE:
    case SKCMD_FORM_REPAINTED:
    case SKCMD_FORM_ALPHA:
    case SKCMD_BORDER_ZORDER:
    case SKCMD_BORDERS_SHOWN:
    case SKCMD_MOVE_BLEND_START: CallOld(Message); return true;
    default: return false;
  }
}

void TsSkinProvider::AnswerBackground(TMessage& Message, bool& Handled) {
  Handled = false;
  auto* info = reinterpret_cast<TacBGInfo*>(Message.LParam);
  if (!info) return;  // nothing to answer into: not handled
  info->Offset = TPoint{0, 0};
  HWND wnd = FormWnd(Form);
  if (FCommonData->BGChanged && (!FCommonData->FUpdating || FInAnimation)) {
    if (!BorderForm && ExtBordersAllowed() && !(wnd && IsZoomed(wnd)) && Form->BorderStyle() != bsNone) return;
    PaintAll();
  }
  if (info->PleaseDraw) info->Offset = TPoint{info->Offset.X + OffsetX(), info->Offset.Y + OffsetY()};
  if (Form->OnPaint && FCommonData->FCacheBmp) {
    info->Bmp = FCommonData->FCacheBmp.get();
    info->Offset = TPoint{OffsetX(), OffsetY()};
    info->BgType = btCache;
    Handled = true;
    return;
  }
  int state = 0;
  if (FCommonData->Skinned()) {
    TacSkinData* data = FCommonData->ReadCommonSkinData();
    const int states = data->gd[static_cast<std::size_t>(FCommonData->SkinIndex)].States;
    state = std::max(0, std::min(FormActive ? 1 : 0, states - 1));
  }
  FCommonData->FillBackgroundInfo(*info, state, wnd);
  if (info->BgType == btCache && !info->PleaseDraw && !info->Bmp) {
    if (FCommonData->BGChanged) PaintAll();
    info->Bmp = FCommonData->FCacheBmp.get();
  }
  info->Offset.X += OffsetX();
  if (info->Offset.X != 0) info->FrameRect.Left = std::max(0, info->FrameRect.Left - info->Offset.X);
  info->Offset.Y += OffsetY();
  if (info->Offset.Y != 0) info->FrameRect.Top = std::max(0, info->FrameRect.Top - info->Offset.Y);
  Handled = true;
}

void TsSkinProvider::RemoveSkin() {
  TsSkinManager* manager = Manager();
  HWND wnd = FormWnd(Form);
  FreeHandler(ListSW);
  if (wnd) UseDwmTransitions(wnd, false);
  TMessage m{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REMOVE_SKIN), reinterpret_cast<LPARAM>(manager), 0};
  if (FCommonData) DispatchSkinCommand(m, FCommonData.get());
  FLinesCount = FTitleSkinIndex = FCaptionSkinIndex = -1;
  if (Form) BroadcastToAllChildren(Form, m);
  RemoveAdapter();
  KillAnimations();
  if (manager) ClearMenuInfos();
  if (Form && !Form->Destroying()) {
    if (manager) {
      InitMenuItems(false);  // the menus go back to the system
      UpdateSysMenuStyle(false);
      if (IsMDIParent(Form)) HookMDI(false);
      if (HasBorder(this) && !InMenu && wnd) SetWindowRgn(wnd, nullptr, TRUE);
      UpdateMenu();  // the menu line's items without the skin's handlers
      if (FUseGlobalColor && FCommonData && !FCommonData->CustomColor()) Form->SetColor(clBtnFace);
      UpdateExtendedBorders(false);
      if (Form->AlphaBlend() && wnd)
        SetLayeredWindowAttributes(wnd, 0, Form->AlphaBlendValue(), LWA_ALPHA);
      if (IsMDIParent(Form) && Form->ClientHandle())
        RedrawWindow(Form->ClientHandle(), nullptr, nullptr, kRedrawAll);
    }
  }
  PrepareLabels(false);
  if (FCommonData) FCommonData->FCacheBmp.reset();
  RestoreClassBrush();
  if (wnd) SendSkinCommand(wnd, SKCMD_FORM_REPAINTED, 0);
}

bool TsSkinProvider::UnskinnedCommand(TMessage& Message) {
  TsSkinManager* manager = Manager();
  switch (SkinCommandOf(Message.WParam)) {
    case SKCMD_NEW_SKIN: {
      if (!Form || Form->Destroying() || !FCommonData) return false;
      if (Message.LParam == reinterpret_cast<LPARAM>(manager)) {
        FCommonData->WriteCommonSkinData(nullptr);
        KillAnimations();
        ClearMenuInfos();
        FCommonData->UpdateIndexes(true);
        FTitleSkinIndex = -1;
        UpdateTitleSkinIndexes();
        if (manager) {
          HWND wnd = FormWnd(Form);
          FSysExHeight = BorderForm && wnd && IsZoomed(wnd) &&
                         ExtendedTitleHeight(this, true) > SysCaptionHeight(this) + 4;
          UpdateSysMenuStyle(true);
          InitCaptionButtons();
          TForm* active = Application().ActiveForm();
          FormActive = active == Form || (IsMDIParent(Form) && active && active == Form->ActiveMDIChild());
          if (!Loading(manager)) {
            // ---- menu line ----
            if (Form->Menu() && Form->Menu()->OwnerDraw()) MenusInitialized = true;
            InitMenuItems(true);
            if (!MenusInitialized) MenusInitialized = UpdateMenu();
            // ---- end of the menu line ----
          }
          if (!Loading(manager) && Adapter) PrepareLabels(true);
          FCommonData->BGChanged = true;
          FLinesCount = -1;
          if (IsMDIParent(Form)) HookMDI(true);
          UpdateTitleBar();
          if (wnd) UseDwmTransitions(wnd, NonClientSkinned());
        }
        if (Adapter)
          Adapter->AddAllItems();
        else
          CreateAdapter();
      }
      return true;
    }
    case SKCMD_GET_PROVIDER: Message.Result = reinterpret_cast<LRESULT>(this); return true;
    case SKCMD_PREPARE_CACHE:
      if (FCommonData) FCommonData->BGChanged = false;
      return true;
    default: return false;
  }
}

bool TsSkinProvider::SkinnedCommand(TMessage& Message) {
  TsSkinManager* manager = Manager();
  const auto own = reinterpret_cast<LPARAM>(manager);
  HWND wnd = FormWnd(Form);
  switch (SkinCommandOf(Message.WParam)) {
    case SKCMD_NEW_SKIN:
      if (Message.LParam == own) {
        ClearMenuInfos();
        FCommonData->UpdateIndexes(true);
        FTitleSkinIndex = -1;
        UpdateTitleSkinIndexes();
        if (TempBmp) TempBmp->SetSize(0, 0);
        if (manager) {
          InitCaptionButtons();
          ClearMenuInfos();
          UpdateSysMenuStyle(NonClientSkinned());
          if (manager->SkinableMenus) manager->SkinableMenus->UpdateMenus();
          FCommonData->BGChanged = true;
          FLinesCount = -1;
          UpdateTitleBar();
          if (IsMDIParent(Form)) HookMDI(true);
        }
        // The items' fades show pictures of the old skin.
        if (FTitleBar)
          for (int i = 0; i < FTitleBar->Items().Count(); ++i) FTitleBar->Items()[i]->FreeFade();
      }
      break;
    case SKCMD_REFRESH:
      if (Message.LParam == own) {
        if (Adapter)
          Adapter->AddAllItems();
        else
          CreateAdapter();
        if (NonClientSkinned() && DrawClientArea) HookFormScrollBars();
        UWPTemplates[0].reset();
        UWPTemplates[1].reset();
        FLinesCount = -1;
        if (manager && !Loading(manager)) {  // the menu line follows the refreshed skin
          UpdateMenu();
          InitMenuItems(FCommonData->Skinned());
        }
        if (HasBorder(this)) RgnChanged = true;
        UpdateTitleBar();
        if (wnd) {
          if (IsWindowVisible(wnd)) {
            FCommonData->BGChanged = true;
            UpdateExtendedBorders(manager && manager->ExtendedBorders());
            if (!FInAnimation) {
              TForm* child = IsMDIParent(Form) ? Form->ActiveMDIChild() : nullptr;
              if (child && Form->ActiveMDIChildMaximized() && child->HandleAllocated()) {
                ProcessMessage(WM_NCPAINT, 0, 0);
                InvalidateRect(child->Handle(), nullptr, TRUE);
              } else {
                RedrawWindow(wnd, nullptr, nullptr, 0x545);
                if (IsMDIParent(Form) && Form->ClientHandle())
                  RedrawWindow(Form->ClientHandle(), nullptr, nullptr, 0x545);
              }
            }
            if (FUseGlobalColor && !FCommonData->CustomColor() && manager) Form->SetColor(manager->GetGlobalColor());
            if (MDIForm) MDIForm->ConnectToClient();
            FCommonData->FUpdating = false;
            SendToAdapter(Message);
            if (BorderForm) BorderForm->UpdateExBordersPos(true, 255);
            SendSkinCommand(wnd, SKCMD_FORM_REPAINTED, 0);
          }
          if (manager) SetClassBrush(manager->Brushes[0]);
        }
      }
      break;
    case SKCMD_GET_PROVIDER: Message.Result = reinterpret_cast<LRESULT>(this); break;
    case SKCMD_END_UPDATE:
      if (FCommonData->FUpdating && !FCommonData->RecheckUpdating(true) && wnd) {
        RedrawWindow(wnd, nullptr, nullptr, 0x501);
        RepaintChildControls(Form);
      }
      break;
    case SKCMD_SET_UPDATING:
      FCommonData->FUpdating = LOWORD(Message.WParam) == 1;
      if (FCommonData->IsUpdating()) FCommonData->BGChanged = true;
      break;
    case SKCMD_IS_UPDATING: Message.Result = FCommonData->FUpdating && !FInAnimation ? 1 : 0; break;
    case SKCMD_BG_CHANGED: FCommonData->BGChanged = true; break;
    case SKCMD_BG_VARIES: {
      TacSkinData* data = FCommonData->ReadCommonSkinData();
      const TsGeneralData& section = data->gd[static_cast<std::size_t>(FCommonData->SkinIndex)];
      int answer = section.StateProps(0).ImagePercent + section.StateProps(0).GradientPercent >= 1 ? 1 : 0;
      if (!answer && section.BorderIndex >= 0 && section.BorderIndex < static_cast<int>(data->ma.size()) &&
          (data->ma[static_cast<std::size_t>(section.BorderIndex)].DrawMode & 4))
        answer = 1;
      Message.LParam = answer;
      Message.Result = answer;
      break;
    }
    case SKCMD_GET_BG_COLOR: Message.Result = static_cast<LRESULT>(FCommonData->BackgroundColor(0, wnd)); break;
    case SKCMD_PREPARE_CACHE:
      if (FCommonData->SkinChanging() || !FCommonData->BGChanged || FCommonData->IsUpdating()) {
        Message.Result = -2;
        break;
      }
      PaintAll();
      if ((FFormState & 0x280) || FormCreating(Form) || FCommonData->SkinIndex < 0)
        FCommonData->BGChanged = false;
      break;
    case SKCMD_ADD_CONTROLS:
      // Without a control the form's own controls are meant.
      if (Adapter && !Loading(Form))
        if (auto* below = Message.LParam ? dynamic_cast<TWinControl*>(reinterpret_cast<TControl*>(Message.LParam)) : Form)
          Adapter->AddAllItems(below);
      break;
    case SKCMD_MOUSE_LEAVE:
      SetHotHT(-1);
      biClicked = false;
      break;
    case SKCMD_SCROLL_BEGIN:
      if (RepaintIfMoved(FCommonData.get()) && wnd) SendMessageW(wnd, WM_SETREDRAW, 0, 0);
      break;
    case SKCMD_SCROLL_END:
      if (RepaintIfMoved(FCommonData.get()) && wnd) {
        SendMessageW(wnd, WM_SETREDRAW, 1, 0);
        RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
        if (MDISkinProvider && MDISkinProvider->Form && MDISkinProvider->Form->ClientHandle())
          RedrawWindow(MDISkinProvider->Form->ClientHandle(), nullptr, nullptr,
                       RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_INVALIDATE);
      }
      break;
    case SKCMD_TITLE_CHANGED:
      if (Message.LParam == 1) {
        FCommonData->BGChanged = true;
        UpdateTitleBar();
      }
      RepaintFormFrame();
      break;
    case SKCMD_SET_COUPLED:
      SetFormState(Message.LParam == 1 ? (FFormState | FS_COUPLED) : (FFormState & ~FS_COUPLED));
      break;
    case SKCMD_IS_COUPLED: Message.Result = (FFormState & FS_COUPLED) ? 1 : 0; break;
    case SKCMD_SET_ALPHA:
      if (wnd && IsWindowVisible(wnd)) {
        const LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
        if (Message.LParam < 255) {
          if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
          SetLayeredWindowAttributes(wnd, 0x1FFFFFFF, static_cast<BYTE>(Message.LParam & 0xFF), LWA_ALPHA);
        } else if (ex & WS_EX_LAYERED) {
          SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex & ~WS_EX_LAYERED);
        }
      }
      break;
    case SKCMD_FIND_OPAQUE_SECTION: {
      auto* query = reinterpret_cast<TacSectionQuery*>(Message.LParam);
      if (!query) break;  // nothing to answer into
      TacSkinData* data = FCommonData->ReadCommonSkinData();
      if (FFormHeader->AdditionalHeight == 0 || FHeaderIndex < 0 || query->R.Top >= FFormHeader->ScaledAddHeight()) {
        const int states = data->gd[static_cast<std::size_t>(FCommonData->SkinIndex)].States;
        query->SkinIndex = query->State < states ? FCommonData->SkinIndex : -1;
      } else {
        query->SkinIndex = FHeaderIndex;
      }
      Message.Result = 1;
      break;
    }
    case SKCMD_FRAME_SIZE: {
      const int kind = LOWORD(Message.LParam);
      auto bySelector = [this](int k) { return (k == 1 ? UpdateSizeFrame() : FixedFrameWidth()) + PaddedBorder(); };
      if (kind == 1 || kind == 2) {
        Message.Result = bySelector(kind);
      } else {
        // The form's own scroll handler knows no edge yet: measured from the window.
        const int measured = wnd ? (WndWidth(wnd) - WndClientWidth(wnd)) / 2 : 0;
        Message.Result = measured != 0 ? measured : bySelector(HIWORD(Message.LParam) == 1 ? 1 : 2);
      }
      break;
    }
    case SKCMD_NC_AREA_CHANGED: ApplyDrawNonClientArea(Message.LParam != 0); break;
    case SKCMD_ANIMATED_SCALE: {
      // A density below 1 would end in divisions by it.
      const int ppi = HIWORD(Message.LParam);
      if (ppi >= 1) StartScaleAnimation(ppi, LOWORD(Message.LParam) != 0);
      break;
    }
    default: break;
  }
  return true;
}

// ---- editor link -----------------------------------------------------------------------

void LinkSkinEditor(HWND Wnd) {
  if (!PreviewRequested || PreviewWnd) return;
  TForm* main = Application().MainForm();
  if (main && !(main->HandleAllocated() && main->Handle() == Wnd)) return;
  PreviewWnd = Wnd;
  PreviewRequested = false;
  for (int i = 0; i <= 100; ++i) {
    HWND editor = FindWindowW(nullptr, L"Orvandels Editor");
    if (!editor) return;
    DWORD_PTR answer = 0;
    // A window that does not answer in time (or hangs) counts as not answering, and the
    // link gives up rather than waiting on it again.
    if (!SendMessageTimeoutW(editor, kSkinEditorMessage, 3, reinterpret_cast<LPARAM>(Wnd),
                             SMTO_ABORTIFHUNG | SMTO_NORMAL, LinkSendTimeout, &answer))
      return;
    if (answer == 1) return;
  }
}

