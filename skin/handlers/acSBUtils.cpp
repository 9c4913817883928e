#include "skin/handlers/acSBUtils.h"

#include "skin/handlers/acSBUtils.Scroll.h"

#include <algorithm>
#include <map>

#include "platform/runtime/FailureLog.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinPalette.h"
#include "skin/controls/acGlow.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

// ---------------------------------------------------------------------------
// Unit state
// ---------------------------------------------------------------------------

bool acDlgMode = false;
TGetScrollBarInfo acGetScrollBarInfo = nullptr;
TFlatSBProc acInitializeFlatSB = nullptr;
TFlatSBProc acUninitializeFlatSB = nullptr;
std::vector<TacMainWnd*> PageHandlers;

namespace {

HMODULE gUser32Lib = nullptr;
HMODULE gComCtl32Lib = nullptr;
int gUnitStarts = 0;

std::map<std::wstring, TacHandlerMaker>& HandlerKinds() {
  static std::map<std::wstring, TacHandlerMaker> kinds;
  return kinds;
}

TacSetWindowThemeFn& ThemeCall() {
  static TacSetWindowThemeFn fn;
  return fn;
}

// The class background brushes: each class's own brush, remembered at its first change (with
// a window of the class to reach it by), and the brushes of the skin's colour this unit made.
// A class is only ever given a brush of this unit, which lives until the unit's clean-up has
// given every class it still holds its own one back: no class holds a deleted brush.
struct TClassBrush {
  HBRUSH Own = nullptr;
  HWND Wnd = nullptr;
};
std::map<ATOM, TClassBrush>& ClassBrushes() {
  static std::map<ATOM, TClassBrush> brushes;
  return brushes;
}
std::map<TColor, HBRUSH>& SkinBrushes() {
  static std::map<TColor, HBRUSH> brushes;
  return brushes;
}

bool IsSkinBrush(HBRUSH Brush) {
  for (const auto& [color, brush] : SkinBrushes())
    if (brush == Brush) return true;
  return false;
}

void SetClassBrush(HWND Wnd, HBRUSH Brush) {
  if (!Wnd || !IsWindow(Wnd)) return;
  const ATOM atom = static_cast<ATOM>(GetClassWord(Wnd, GCW_ATOM));
  if (!atom) return;
  auto& map = ClassBrushes();
  auto it = map.find(atom);
  if (it == map.end()) {
    const auto current = reinterpret_cast<HBRUSH>(GetClassLongPtrW(Wnd, GCLP_HBRBACKGROUND));
    // A class still holding one of ours (its record lost) counts as having the face colour.
    it = map.emplace(atom, TClassBrush{IsSkinBrush(current) ? GetSysColorBrush(COLOR_BTNFACE) : current, Wnd}).first;
  }
  it->second.Wnd = Wnd;
  SetClassLongPtrW(Wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(Brush));
}

void RestoreClassBrush(HWND Wnd) {
  if (!Wnd || !IsWindow(Wnd)) return;
  const ATOM atom = static_cast<ATOM>(GetClassWord(Wnd, GCW_ATOM));
  auto it = ClassBrushes().find(atom);
  if (it == ClassBrushes().end()) return;
  SetClassLongPtrW(Wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(it->second.Own));
}

HBRUSH SkinBrush(TColor Color) {
  const TColor rgb = ColorToRGB(Color);
  auto& map = SkinBrushes();
  auto it = map.find(rgb);
  if (it != map.end()) return it->second;
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(rgb));
  map.emplace(rgb, brush);
  return brush;
}

void ReleaseClassBrushes() {
  for (auto& [atom, rec] : ClassBrushes())
    if (rec.Wnd && IsWindow(rec.Wnd) &&
        IsSkinBrush(reinterpret_cast<HBRUSH>(GetClassLongPtrW(rec.Wnd, GCLP_HBRBACKGROUND))))
      SetClassLongPtrW(rec.Wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(rec.Own));
  ClassBrushes().clear();
  for (auto& [color, brush] : SkinBrushes()) DeleteObject(brush);
  SkinBrushes().clear();
}

std::wstring WindowText(HWND Wnd) {
  const int n = GetWindowTextLengthW(Wnd);
  if (n <= 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(Wnd, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(std::max(0, got)));
  return text;
}

// The owner control as a windowed control, nullptr otherwise.
TWinControl* OwnerWinControl(TsCommonData* Data) {
  return Data ? dynamic_cast<TWinControl*>(Data->FOwnerControl) : nullptr;
}

}  // namespace

// The subclass record of a foreign window (and of a popup-menu window). It calls its handler
// while it has one; once the handler is gone it passes every message on, and it is freed when
// it leaves the window's chain (the handler's release, or WM_NCDESTROY), so a procedure put
// over it later never reaches a freed handler.
class TacHandlerSubclass : public TWindowSubclass {
public:
  explicit TacHandlerSubclass(TacMainWnd* Owner) : FOwner(Owner) {}
  TacMainWnd* FOwner;
  using TWindowSubclass::DefaultHandler;

protected:
  void WndProc(TMessage& Message) override {
    if (FOwner)
      FOwner->acWndProc(Message);
    else
      DefaultHandler(Message);
  }
  void WindowDestroyed() override {
    TacMainWnd* owner = FOwner;
    FOwner = nullptr;
    if (owner) owner->SubclassGone(this);
    Release();
  }
};

void TacMainWnd::SubclassGone(TacHandlerSubclass* Sub) {
  if (NewWndProcInstance == Sub) NewWndProcInstance = nullptr;
}

void SetHandlerThemeCall(TacSetWindowThemeFn Fn) { ThemeCall() = std::move(Fn); }

HRESULT HandlerSetWindowTheme(HWND Wnd, LPCWSTR SubAppName, LPCWSTR SubIdList) {
  if (ThemeCall()) return ThemeCall()(Wnd, SubAppName, SubIdList);
  return CallSetWindowTheme(Wnd, SubAppName, SubIdList);
}

void SBUtilsUnitStartup() {
  if (gUnitStarts++ != 0) return;
  gUser32Lib = LoadLibraryW(L"user32.dll");
  gComCtl32Lib = LoadLibraryW(L"comctl32.dll");
  if (gUser32Lib)
    acGetScrollBarInfo =
        reinterpret_cast<TGetScrollBarInfo>(reinterpret_cast<void*>(GetProcAddress(gUser32Lib, "GetScrollBarInfo")));
  if (gComCtl32Lib) {
    acInitializeFlatSB =
        reinterpret_cast<TFlatSBProc>(reinterpret_cast<void*>(GetProcAddress(gComCtl32Lib, "InitializeFlatSB")));
    acUninitializeFlatSB =
        reinterpret_cast<TFlatSBProc>(reinterpret_cast<void*>(GetProcAddress(gComCtl32Lib, "UninitializeFlatSB")));
  }
  RegisterScrollHandlerKind();
  // ---- edits, lists, scroll boxes and the MDI client ----
  RegisterEditHandlerKinds();
  // ---- end of edits, lists, scroll boxes and the MDI client ----
  // ---- the button, check-box and group-box handlers ----
  RegisterButtonHandlerKinds();
  // ---- end of the button handlers' registration ----
  // ---- statics, panels and containers ----
  RegisterStaticHandlerKinds();
  // ---- end of statics, panels and containers ----
  // ---- combo boxes, tab controls and pages ----
  RegisterComboHandlerKinds();
  RegisterTabHandlerKinds();
  // ---- end of combo boxes, tab controls and pages ----
  // ---- the dialog handler ----
  RegisterDialogHandlerKind();
  // ---- end of the dialog handler ----
  // ---- track bars, scroll bars, up-downs, list and tree views, grids ----
  RegisterTrackHandlerKinds();
  RegisterListHandlerKinds();
  // ---- end of track bars and lists ----
  // ---- tool bars and status bars ----
  RegisterToolBarHandlerKinds();
  // ---- end of tool bars and status bars ----
}

void SBUtilsUnitCleanup() {
  if (gUnitStarts == 0 || --gUnitStarts != 0) return;
  FreeMenuWindows();
  std::vector<TacMainWnd*> pages;
  pages.swap(PageHandlers);
  for (TacMainWnd* page : pages) FreeHandler(page);
  FreeDialogProviders();
  ForgetDrawItemFonts();
  ReleaseClassBrushes();
  acGetScrollBarInfo = nullptr;
  acInitializeFlatSB = acUninitializeFlatSB = nullptr;
  if (gComCtl32Lib) FreeLibrary(gComCtl32Lib);
  if (gUser32Lib) FreeLibrary(gUser32Lib);
  gComCtl32Lib = gUser32Lib = nullptr;
}

// ---------------------------------------------------------------------------
// The factory of handler kinds
// ---------------------------------------------------------------------------

void RegisterHandlerKind(const std::wstring& Kind, TacHandlerMaker Maker) {
  if (Maker)
    HandlerKinds()[Kind] = std::move(Maker);
  else
    HandlerKinds().erase(Kind);
}

bool HandlerKindRegistered(const std::wstring& Kind) { return HandlerKinds().count(Kind) != 0; }

TacHandlerMaker HandlerKindMaker(const std::wstring& Kind) {
  auto it = HandlerKinds().find(Kind);
  return it == HandlerKinds().end() ? TacHandlerMaker() : it->second;
}

TacMainWnd* CreateHandler(const std::wstring& Kind, HWND Wnd, bool Repaint, const TacSkinParams& Params,
                          TsSkinManager* Manager, TsCommonData* SharedData) {
  auto it = HandlerKinds().find(Kind);
  if (it == HandlerKinds().end() || !it->second) return nullptr;
  TacMainWnd* handler = it->second(Wnd, Repaint, Params, Manager, SharedData);
  if (!handler) return nullptr;
  handler->KindName = Kind;
  try {
    handler->Attach();
  } catch (...) {
    FreeHandler(handler);
    throw;
  }
  return handler;
}

void FreeHandler(TacMainWnd*& Handler) {
  TacMainWnd* handler = Handler;
  Handler = nullptr;
  if (!handler) return;
  handler->Release();
  delete handler;
}

// ---------------------------------------------------------------------------
// TacMainWnd
// ---------------------------------------------------------------------------

TacMainWnd::TacMainWnd(HWND AHandle, bool Repaint, const TacSkinParams& Params, TsSkinManager* Manager,
                       TsCommonData* SharedData)
    : CtrlHandle(AHandle), SkinManager(Manager), FRepaint(Repaint), FParams(Params), FSharedData(SharedData) {}

TacMainWnd::~TacMainWnd() {
  if (!FReleased) ReleaseBase();
}

TWndMethod TacMainWnd::HandlerMethod() { return MakeWndMethod<&TacMainWnd::acWndProc>(this); }

void TacMainWnd::Attach() {
  if (FAttached) return;
  FAttached = true;
  Create();
}

void TacMainWnd::Create() {
  // 1. the window
  OldWndProc = TWndMethod{};
  OldProc = nullptr;
  // 2. visual styles off, except for the kinds that draw over the native look
  const bool keepsStyle = (FSharedData && FSharedData->COC == COC_TsSkinProvider) || KindName == L"TacPanelWnd" ||
                          KindName == L"TacSpinWnd" || KindName == L"TacMnuWnd" ||
                          FParams.SkinSection == L"DIALOG" || acDlgMode;
  if (!keepsStyle && CtrlHandle) HandlerSetWindowTheme(CtrlHandle, L" ", L" ");
  // 3.
  NewWndProcInstance = nullptr;
  Destroyed = false;
  // 4. skin state
  TakeSkinState();
  // 5.
  if (SkinData && !SkinData->FOwnerControl) SkinData->FSWHandle = CtrlHandle;
  Tag = 0;
  DlgMode = acDlgMode;
  SaveStdParams();
  ParamsChanged = false;
  Caption = CtrlHandle ? WindowText(CtrlHandle) : std::wstring();
  // 6. subclassing: the scrolling handlers attach through their own step
  if (auto* scrolling = dynamic_cast<TacScrollWnd*>(this))
    InitializeScrollWnd(scrolling, CtrlHandle, FRepaint);
  else
    SubclassWindow(this, CtrlHandle);
  // 7.
  MakeOwnerOpaque();
  // 8.
  AfterCreation();
}

void TacMainWnd::TakeSkinState() {
  if (FSharedData) {
    SkinData = FSharedData;
    return;
  }
  OwnSkinData = true;
  InitSkinData();
  if (SkinData) ApplyParams();
}

void TacMainWnd::ApplyParams() {
  if (!FParams.SkinSection.empty()) SkinData->WriteSkinSection(FParams.SkinSection);
  SkinData->FCustomFont = !FParams.UseSkinFontColor;
  SkinData->FCustomColor = !FParams.UseSkinColor;
  if (SkinManager) SkinData->WriteSkinManager(SkinManager);
}

TControl* TacMainWnd::MakeOwnerOpaque() {
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner) return nullptr;
  OldCtrlStyle = owner->ControlStyle();
  FCtrlStyleSaved = true;
  owner->SetControlStyle(OldCtrlStyle | csOpaque);
  return owner;
}

void TacMainWnd::InitSkinData() {
  if (SkinData) return;
  // The owner control of the parameters is linked at once, so that its destruction is known.
  SkinData = new TsCommonData(FParams.Control, true);
  if (!SkinData->FCacheBmp) SkinData->FCacheBmp = NewBitmap32(0, 0);
  SkinData->Loading = true;
}

void TacMainWnd::AfterCreation() {
  if (!SkinData) return;
  SkinData->Loading = false;
  SkinData->InitCommonProp();
}

void TacMainWnd::RestoreStdParams() {
  if (OwnSkinData && SkinData) SkinData->RemoveCommonProp();
  if (CtrlHandle && IsWindow(CtrlHandle)) {
    if (GetPropW(CtrlHandle, acScrollHandlerProp) == this) RemovePropW(CtrlHandle, acScrollHandlerProp);
    RestoreClassBrush(CtrlHandle);
  }
}

void TacMainWnd::SetSkinParams() {
  ParamsChanged = true;
  TsSkinManager* manager = SkinManager ? SkinManager : DefaultManager();
  if (manager && CtrlHandle) SetClassBrush(CtrlHandle, SkinBrush(manager->GetGlobalColor()));
}

void TacMainWnd::GiveFontBack() {
  if (!FFontGiven) return;
  FFontGiven = false;
  if (CtrlHandle && IsWindow(CtrlHandle) &&
      reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0)) == FGivenFont)
    SendMessageW(CtrlHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FOwnFont), 0);
  // A window that took another font since keeps it; ours is freed either way, the window no
  // longer holds it.
  if (FGivenFont && (!CtrlHandle || !IsWindow(CtrlHandle) ||
                     reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0)) != FGivenFont)) {
    DeleteObject(FGivenFont);
    FGivenFont = nullptr;
  }
  FOwnFont = nullptr;
}

void TacMainWnd::Release() {
  if (FReleased) return;
  if (FAttached) ReleaseBase();
  FReleased = true;
}

void TacMainWnd::ReleaseBase() {
  FReleased = true;
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  // The procedure always goes back, detached or not: a window left calling into a freed
  // handler would crash.
  // A handler whose hook was already taken off (its window went first) may still be the skin
  // state's short-cut to the window's procedure: a later sender would call into freed memory.
  if (!OldWndProc && SkinData && WndProcMethod && SkinData->WndProc == WndProcMethod) SkinData->WndProc = TWndMethod{};
  if (OldWndProc) {
    // A detached handler may still be the skin state's short-cut to the window's procedure.
    if (SkinData && (!Destroyed || SkinData->WndProc == WndProcMethod)) SkinData->WndProc = OldWndProc;
    TsSkinProvider* provider = SkinData ? SkinData->Provider() : nullptr;
    TControl* target = provider ? static_cast<TControl*>(provider->Form) : owner;
    if (target) UnhookWindowProc(target, HandlerMethod());
  }
  if (NewWndProcInstance) {
    NewWndProcInstance->FOwner = nullptr;
    NewWndProcInstance->Release();
    NewWndProcInstance = nullptr;
  }
  if (!SkinData || !FAttached) {
    GiveFontBack();
    return;
  }
  if (!Destroyed) {
    // Saved at creation, an empty style included.
    if (owner && FCtrlStyleSaved) owner->SetControlStyle(OldCtrlStyle);
    const auto removing = [](TsSkinManager* m) { return m && (m->ManagerState & msSkinRemoving); };
    const bool keepParams = Adapter && AdapterRemovingAll(Adapter) && !removing(SkinManager) &&
                            !removing(AdapterManager(Adapter));
    if (!keepParams) RestoreStdParams();
    if (CtrlHandle && IsWindow(CtrlHandle)) {
      TsSkinProvider* provider = SkinData->Provider();
      const bool providerKeeps = provider && (provider->Destroying() || !provider->DrawNonClientArea());
      const bool formKind = SkinData->COC == 10 && IsDwmCompositionOn();  // a form's own kind
      if (!providerKeeps && !formKind) HandlerSetWindowTheme(CtrlHandle, nullptr, nullptr);
    }
    Destroyed = true;
  } else if (!owner || !owner->Destroying()) {
    RestoreStdParams();
  }
  GiveFontBack();
  if (OwnSkinData) delete SkinData;
  SkinData = nullptr;
  if (CtrlHandle && IsWindow(CtrlHandle) && GetPropW(CtrlHandle, acScrollHandlerProp) == this)
    RemovePropW(CtrlHandle, acScrollHandlerProp);
  SkinManager = nullptr;
}

LRESULT TacMainWnd::ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  acWndProc(m);
  return m.Result;
}

void TacMainWnd::CallPrevWndProc(TMessage& Message) {
  Message.Result = CallPrevWndProc(CtrlHandle, Message.Msg, Message.LParam, Message.WParam);
}

LRESULT TacMainWnd::CallPrevWndProc(HWND Handle, UINT Msg, LPARAM& LParam, WPARAM WParam) {
  if (OldWndProc) {
    TMessage m{Msg, WParam, LParam, 0};
    const TWndMethod proc = OldWndProc;
    proc(m);
    LParam = m.LParam;
    return m.Result;
  }
  try {
    if (NewWndProcInstance) {
      TMessage m{Msg, WParam, LParam, 0};
      NewWndProcInstance->DefaultHandler(m);
      return m.Result;
    }
    if (OldProc) return CallWindowProcW(OldProc, Handle, Msg, WParam, LParam);
  } catch (...) {
    LogQuietFailure(L"The previous procedure of a handled window", std::current_exception());
  }
  return 0;
}

void TacMainWnd::HandleDestroy(TMessage& Message) {
  if (FResending) {
    // The message sent again must reach the window's own procedure, never this handler twice.
    Message.Result = CallPrevWndProc(CtrlHandle, Message.Msg, Message.LParam, Message.WParam);
    return;
  }
  if (SkinData) {
    SkinData->StopAnimation();
    if (SkinData->GlowID >= 0) ReleaseGlowById(SkinData->GlowID, false);
  }
  if (TWinControl* owner = OwnerWinControl(SkinData))
    for (int i = owner->ControlCount() - 1; i >= 0; --i)
      if (i < owner->ControlCount()) {
        TControl* child = owner->Controls()[i];
        if (IsSpeedButton(child)) child->Perform(WM_DESTROY, 0, 0);
      }
  const HWND wnd = CtrlHandle;
  const auto resend = [&] {
    FResending = true;
    try {
      SendMessageW(wnd, Message.Msg, Message.WParam, Message.LParam);
    } catch (...) {
      FResending = false;
      throw;
    }
    FResending = false;
  };
  if (OldProc || OldWndProc || NewWndProcInstance) {
    try {
      TacMainWnd* self = this;
      if (SkinData && SkinData->FOwnerControl) {
        DetachHandler(wnd, false, false, self);
        if (Destroyed)
          resend();
        else
          CallPrevWndProc(wnd, Message.Msg, Message.LParam, Message.WParam);
      } else if (CallPrevWndProc(wnd, Message.Msg, Message.LParam, Message.WParam) == 0) {
        if (!Destroyed) DetachHandler(wnd, false, false, self);
      }
    } catch (...) {
      ReportWindowProcFailure(std::current_exception());
    }
    Message.Result = 1;
  } else if (wnd && IsWindow(wnd)) {
    resend();
  }
  if (SkinData && SkinData->FCacheBmp) SkinData->FCacheBmp->SetSize(0, 0);
}

void TacMainWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CREATE:
    case WM_NCCREATE:
      Message.Result = CallPrevWndProc(CtrlHandle, Message.Msg, Message.LParam, Message.WParam);
      if (SkinData) SkinData->InitCommonProp();
      return;
    case WM_DESTROY:
    case WM_NCDESTROY:
      HandleDestroy(Message);
      return;
    case WM_UPDATEUISTATE:
      Message.Result = 0;
      return;
    case WM_SIZE:
      if (SkinData) SkinData->BGChanged = true;
      break;
    case WM_SETTEXT:
      Message.Result = CallPrevWndProc(CtrlHandle, Message.Msg, Message.LParam, Message.WParam);
      Caption = CtrlHandle ? WindowText(CtrlHandle) : std::wstring();
      return;
    case WM_CONTEXTMENU:
      if (SkinData && SkinData->FOwnerControl && SkinData->FOwnerControl->PopupMenu() && SkinManager &&
          SkinManager->SkinableMenus)
        SkinManager->SkinableMenus->HookPopupMenu(SkinData->FOwnerControl->PopupMenu(), SkinManager->IsActive());
      break;
    case WM_MOUSEMOVE:
      if (TsSkinManager* dm = DefaultManager())
        if (!dm->Designing() && CtrlHandle && IsWindowEnabled(CtrlHandle) && dm->FActiveControl != CtrlHandle)
          dm->SwitchHotControl(CtrlHandle);
      break;
    case WM_PRINTCLIENT:
      Message.Result = SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, Message.LParam);
      return;
    case SM_SKINCOMMAND:
      if (SkinCommandOf(Message.WParam) == SKCMD_REMOVE_SKIN &&
          Message.LParam == reinterpret_cast<LPARAM>(SkinManager)) {
        RestoreStdParams();
        PassToChildren(SkinData ? SkinData->FOwnerControl : nullptr, CtrlHandle, Message);
      }
      break;
  }
  TsSkinManager* manager = SkinData ? SkinData->ReadSkinManager() : nullptr;
  if (Message.Msg == SM_SKINCOMMAND && manager && manager->IsActive()) {
    HandleSkinCommand(Message);
    return;
  }
  Message.Result = CallPrevWndProc(CtrlHandle, Message.Msg, Message.LParam, Message.WParam);
}

void TacMainWnd::HandleSkinCommand(TMessage& Message) {
  const auto prev = [&] { Message.Result = CallPrevWndProc(CtrlHandle, Message.Msg, Message.LParam, Message.WParam); };
  const bool ours = Message.LParam == reinterpret_cast<LPARAM>(SkinManager);
  TControl* owner = SkinData->FOwnerControl;
  switch (SkinCommandOf(Message.WParam)) {
    case SKCMD_NEW_SKIN:
      if (ours) {
        SkinData->UpdateIndexes();
        SkinData->BGChanged = true;
        PassToChildren(owner, CtrlHandle, Message);
      }
      prev();
      return;
    case SKCMD_REFRESH:
      if (!ours) {
        prev();
        return;
      }
      SkinData->UpdateIndexes();
      SkinData->BGChanged = true;
      SkinData->FUpdating = false;
      if (!AnimationInProgress && (owner ? owner->Visible() : (CtrlHandle && IsWindowVisible(CtrlHandle))))
        SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
      PassToChildren(owner, CtrlHandle, Message);
      return;
    case SKCMD_END_UPDATE:
      if (!SkinData->FUpdating) {
        prev();
        return;
      }
      if (!SkinData->RecheckUpdating(false) && CtrlHandle) {
        SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
        RedrawWindow(CtrlHandle, nullptr, nullptr, 0x585);
      }
      if (owner) RepaintChildControls(owner);
      return;
    case SKCMD_IS_SKINNED:
      Message.Result = 1;
      return;
    case SKCMD_IS_UPDATING:
      Message.Result = (SkinData->IsUpdating() ? 1 : 0) & 0x7F;
      return;
    case SKCMD_GET_HANDLER:
      Message.Result = reinterpret_cast<LRESULT>(this);
      return;
    case SKCMD_SET_SECTION:
      if (!Message.LParam) {
        Message.Result = 0;
        return;
      }
      SkinData->WriteSkinSection(reinterpret_cast<const wchar_t*>(Message.LParam));
      Message.Result = 1;
      return;
    case SKCMD_BG_VARIES:
      if (owner)
        DispatchSkinCommand(Message, SkinData);
      else
        prev();
      return;
    case SKCMD_GET_BG_COLOR:
      Message.Result = 0;
      prev();
      if (Message.Result == 0) Message.Result = static_cast<LRESULT>(SkinData->BackgroundColor(0, CtrlHandle));
      return;
    case SKCMD_PREPARE_CACHE:
      RenderControlCache(SkinData, CtrlHandle, false);
      prev();
      return;
    case SKCMD_GET_BG_INFO:
      if (Message.LParam)
        SkinData->FillBackgroundInfo(*reinterpret_cast<TacBGInfo*>(Message.LParam), 0, CtrlHandle);
      return;
    case SKCMD_GET_COMMON_DATA:
      Message.Result = reinterpret_cast<LRESULT>(SkinData);
      return;
    case SKCMD_SET_PRINT_DC:
      if (Message.LParam)
        SkinData->CtrlSkinState |= ACS_PRINTING;
      else
        SkinData->CtrlSkinState &= ~static_cast<std::uint32_t>(ACS_PRINTING);
      SkinData->PrintDC = reinterpret_cast<HDC>(Message.LParam);
      prev();
      return;
    case SKCMD_GET_APPLICATION:
      Message.Result = reinterpret_cast<LRESULT>(&Application());
      return;
    default:
      if (!DispatchSkinCommand(Message, SkinData)) prev();
      return;
  }
}

// ---------------------------------------------------------------------------
// Attaching and detaching
// ---------------------------------------------------------------------------

void SubclassWindow(TacMainWnd* Handler, HWND Wnd) {
  if (!Handler) return;
  Handler->DontRepaint = false;
  Handler->CtrlHandle = Wnd;
  TsCommonData* data = Handler->SkinData;
  TsSkinProvider* provider = data ? data->Provider() : nullptr;
  TControl* owner = data ? data->FOwnerControl : nullptr;
  Handler->WndProcMethod = Handler->HandlerMethod();
  if (!owner && !provider) {
    if (!Wnd || !IsWindow(Wnd)) return;
    Handler->OldProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Wnd, GWLP_WNDPROC));
    auto* sub = new TacHandlerSubclass(Handler);
    if (!sub->Attach(Wnd)) {
      delete sub;
      return;
    }
    Handler->NewWndProcInstance = sub;
    return;
  }
  TControl* target = provider ? static_cast<TControl*>(provider->Form) : owner;
  if (!target) return;
  data->WndProc = Handler->WndProcMethod;
  HookWindowProc(target, Handler->WndProcMethod, &Handler->OldWndProc);
}

void RefreshFrame(HWND Wnd, bool FrameChanged) {
  if (!Wnd) return;
  if (FrameChanged)
    SetWindowPos(Wnd, nullptr, 0, 0, 0, 0, 0x737);
  else
    SendSkinMessage(Wnd, WM_NCPAINT, 1, 0);
}

namespace {
// The skin state's short-cut to the window's procedure may still name a handler about to be
// freed: it goes back to what the handler hooked over.
void HandOnShortCut(TacMainWnd* h) {
  if (TsCommonData* data = h->SkinData; data && h->WndProcMethod && data->WndProc == h->WndProcMethod)
    data->WndProc = h->OldWndProc;
}
}  // namespace

void DetachHandler(HWND Wnd, bool FreeIt, bool FrameChanged, TacMainWnd*& Handler) {
  TacMainWnd* h = Handler;
  if (!h) return;
  if (!h->Destroyed) {
    bool detached = false;
    TsCommonData* data = h->SkinData;
    if (h->OldWndProc) {
      if (data) data->WndProc = h->OldWndProc;
      TsSkinProvider* provider = data ? data->Provider() : nullptr;
      TControl* target = provider ? static_cast<TControl*>(provider->Form) : data ? data->FOwnerControl : nullptr;
      if (target) UnhookWindowProc(target, h->HandlerMethod());
      detached = true;
    } else if (h->NewWndProcInstance) {
      // comctl32's subclassing takes a record out of the chain in any order: a procedure
      // another component put over ours stays and keeps calling on through the chain.
      h->NewWndProcInstance->FOwner = nullptr;
      h->NewWndProcInstance->Release();
      h->NewWndProcInstance = nullptr;
      h->OldProc = nullptr;
      detached = true;
    }
    h->RestoreStdParams();
    h->GiveFontBack();
    if (Wnd && IsWindow(Wnd) && IsWindowVisible(Wnd)) RefreshFrame(Wnd, FrameChanged);
    if (h->OwnSkinData && data) data->ClearLinks();
    h->Destroyed = detached;
  }
  if (FreeIt) {
    HandOnShortCut(h);
    h->OldProc = nullptr;
    h->OldWndProc = TWndMethod{};
    FreeHandler(Handler);
  }
}

void DetachScrollHandler(HWND Wnd, bool FreeIt, bool FrameChanged, TacScrollWnd*& Handler) {
  TacScrollWnd* h = Handler;
  if (!h) return;
  TsCommonData* data = h->SkinData;
  // A form provider's handler hooks the form's procedure, although the skin state's owner is
  // the provider and not a control.
  TsSkinProvider* provider = data ? data->Provider() : nullptr;
  TControl* target = provider ? static_cast<TControl*>(provider->Form) : data ? data->FOwnerControl : nullptr;
  if (data && target && !h->Destroyed) {
    if (h->OldWndProc) {
      data->WndProc = h->OldWndProc;
      UnhookWindowProc(target, h->HandlerMethod());
    } else if (h->NewWndProcInstance) {
      h->NewWndProcInstance->FOwner = nullptr;
      h->NewWndProcInstance->Release();
      h->NewWndProcInstance = nullptr;
    }
    h->RestoreStdParams();
    for (TacScrollBar** bar : {&h->sBarHorz, &h->sBarVert})
      if (*bar) {
        (*bar)->sw = nullptr;
        delete *bar;
        *bar = nullptr;
      }
    if (Wnd && IsWindow(Wnd) && IsWindowVisible(Wnd)) RefreshFrame(Wnd, FrameChanged);
    if (h->OwnSkinData) {
      data->FOwnerControl = nullptr;
      data->FOwnerObject = nullptr;
      data->FSWHandle = nullptr;
    }
    h->Destroyed = true;
  }
  if (FreeIt) {
    if (h->NewWndProcInstance) {
      h->NewWndProcInstance->FOwner = nullptr;
      h->NewWndProcInstance->Release();
      h->NewWndProcInstance = nullptr;
    }
    HandOnShortCut(h);
    h->OldProc = nullptr;
    h->OldWndProc = TWndMethod{};
    FreeHandlerOf(Handler);
  }
}

TacMainWnd* HandlerOfWindow(HWND Wnd) {
  if (!Wnd) return nullptr;
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(Wnd, &pid) || pid != GetCurrentProcessId()) return nullptr;
  return static_cast<TacMainWnd*>(GetPropW(Wnd, acScrollHandlerProp));
}

TacScrollBar* ScrollBarOfWindow(HWND Wnd, int Bar) {
  auto* handler = dynamic_cast<TacScrollWnd*>(HandlerOfWindow(Wnd));
  if (!handler) return nullptr;
  if (Bar == 0) return handler->sBarHorz;
  if (Bar == 1) return handler->sBarVert;
  return nullptr;
}

bool SetMinThumbSize(HWND Wnd, int Bar, int Size) {
  auto* handler = dynamic_cast<TacScrollWnd*>(HandlerOfWindow(Wnd));
  if (!handler) return false;
  if ((Bar == 0 || Bar == 3) && handler->sBarHorz) handler->sBarHorz->nMinThumbSize = Size;
  if ((Bar == 1 || Bar == 3) && handler->sBarVert) handler->sBarVert->nMinThumbSize = Size;
  return true;
}

bool AdapterRemovingAll(TacCtrlAdapter* Adapter) { return Adapter && TacCtrlAdapter::RemovingAll(); }
TsSkinManager* AdapterManager(TacCtrlAdapter* Adapter) {
  return Adapter && Adapter->Provider ? Adapter->Provider->Manager() : nullptr;
}

void AttachScrollWnd(TsScrollWndData* Data, TacScrollWnd*& Handler) {
  if (!Data) return;
  TControl* control = Data->FOwnerControl;
  if (control && (control->ComponentState() & (csLoading | csDestroying | csDesigning))) return;
  auto* win = dynamic_cast<TWinControl*>(control);
  HWND wnd = win && win->HandleAllocated() ? win->Handle() : Data->OwnerHandle();
  if (Data->Skinned()) {
    if (acUninitializeFlatSB && wnd) acUninitializeFlatSB(wnd);
    if (Handler && Handler->Destroyed) FreeHandlerOf(Handler);
    if (!Handler && wnd) {
      TacSkinParams params;
      params.VertScrollSize = params.HorzScrollSize = params.VertScrollBtnSize = params.HorzScrollBtnSize = 0;
      Handler = NewHandler<TacScrollWnd>(L"TacScrollWnd", wnd, true, params, Data->ReadSkinManager(), Data);
    }
  } else {
    FreeHandlerOf(Handler);
    if (acInitializeFlatSB && wnd) acInitializeFlatSB(wnd);
  }
}

void AttachEditWnd(TsScrollWndData* Data, TacMainWnd*& Handler) {
  if (!Data) return;
  if (Data->Skinned()) {
    if (Handler && Handler->Destroyed) FreeHandler(Handler);
    HWND wnd = Data->OwnerHandle();
    if (!Handler && wnd) {
      TacSkinParams params;
      params.VertScrollSize = params.HorzScrollSize = params.VertScrollBtnSize = params.HorzScrollBtnSize = 0;
      Handler = CreateHandler(L"TacEditWnd", wnd, true, params, Data->ReadSkinManager(), Data);
    }
  } else {
    FreeHandler(Handler);
  }
}

void RefreshScrollBars(TacScrollWnd* Handler, bool Repaint) {
  if (!Handler || Handler->InDestroying || !Handler->sBarHorz || !Handler->sBarVert) return;
  if (Handler->SkinData && Handler->SkinData->IsUpdating()) return;
  if (!Handler->CtrlHandle || !IsWindowVisible(Handler->CtrlHandle)) return;
  for (auto [bar, kind] : {std::pair{Handler->sBarHorz, SB_HORZ}, std::pair{Handler->sBarVert, SB_VERT}}) {
    bar->ScrollInfo.cbSize = sizeof(SCROLLINFO);
    bar->ScrollInfo.fMask = SIF_ALL;
    GetScrollInfo(Handler->CtrlHandle, kind, &bar->ScrollInfo);
  }
  if (Repaint && !AnimationInProgress) PaintScrollBars(Handler, Handler->CtrlHandle, -1, nullptr);
}

// ---------------------------------------------------------------------------
// Geometry, broadcast, requests
// ---------------------------------------------------------------------------

void ReadWindowGeometry(HWND Wnd, HWND& ParentWnd, TRect& WndRect, TPoint& WndPos, TSize& WndSize, TRect& ParentRect) {
  RECT wr{}, pr{};
  GetWindowRect(Wnd, &wr);
  ParentWnd = GetParent(Wnd);
  if (ParentWnd) GetWindowRect(ParentWnd, &pr);
  WndRect = TRect{wr.left, wr.top, wr.right, wr.bottom};
  ParentRect = TRect{pr.left, pr.top, pr.right, pr.bottom};
  WndSize = TSize{wr.right - wr.left, wr.bottom - wr.top};
  POINT p{wr.left, wr.top};
  if (ParentWnd) ScreenToClient(ParentWnd, &p);
  WndPos = TPoint{p.x, p.y};
}

void RequestAddControls(HWND Wnd) {
  HWND top = Wnd;
  while (top) {
    HWND parent = GetParent(top);
    if (!parent) break;
    top = parent;
  }
  if (top) SendSkinCommand(top, SKCMD_ADD_CONTROLS, 0);
}

void PassToChildren(TControl* Control, HWND Wnd, const TMessage& Message) {
  if (Control) {
    if (auto* win = dynamic_cast<TWinControl*>(Control)) BroadcastToAllChildren(win, Message);
  } else if (Wnd) {
    BroadcastToChildWindows(Wnd, Message);
  }
}
// ---------------------------------------------------------------------------
// Fonts
// ---------------------------------------------------------------------------

void GetNonClientLogFont(int Kind, LOGFONTW& LogFont) {
  NONCLIENTMETRICSW ncm{};
  static_assert(sizeof(NONCLIENTMETRICSW) == 504, "the metrics with iPaddedBorderWidth");
  ncm.cbSize = sizeof(ncm);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
    LogFont = LOGFONTW{};
    return;
  }
  switch (Kind) {
    case 1: LogFont = ncm.lfCaptionFont; break;
    case 2: LogFont = ncm.lfSmCaptionFont; break;
    case 3: LogFont = ncm.lfMenuFont; break;
    case 4: LogFont = ncm.lfStatusFont; break;
    default: LogFont = ncm.lfMessageFont; break;
  }
}

std::wstring SubstitutedFontName() {
  TsSkinManager* manager = DefaultManager();
  if (!manager) return {};
  switch (manager->Fonts.MainMode.Get()) {
    case fmFromSkin: return manager->SkinCommonInfo.MainFont;
    case fmCustom: return manager->Fonts.MainFont.Get();
    default: return {};
  }
}

void ApplyFontSubstitution(LOGFONTW& LogFont) {
  const std::wstring name = SubstitutedFontName();
  if (name.empty()) return;
  std::fill(std::begin(LogFont.lfFaceName), std::end(LogFont.lfFaceName), L'\0');
  const std::size_t n = std::min<std::size_t>(name.size(), LF_FACESIZE - 1);  // 31 characters and the end
  std::copy_n(name.data(), n, LogFont.lfFaceName);
}

void PaintThroughErase(HWND Wnd) {
  InvalidateRect(Wnd, nullptr, TRUE);
  PAINTSTRUCT ps{};
  BeginPaint(Wnd, &ps);
  EndPaint(Wnd, &ps);
}

int ConstSection(TacSkinData* Data, std::wstring_view Name) {
  if (!Data) return -1;
  const TacIntSections sections = Data->Sections();
  for (int i = 0; i < acSectionCount; ++i)
    if (std::wstring_view(SectionNames[static_cast<std::size_t>(i)]) == Name) {
      const int index = sections[static_cast<std::size_t>(i)];
      return index >= 0 && index < static_cast<int>(Data->gd.size()) ? index : -1;
    }
  return -1;
}

void PrepareSectionCache(TacMainWnd* Handler, TRect& ClientRect, std::int32_t& BorderWidth) {
  TacMainWnd& h = *Handler;
  ReadWindowGeometry(h.CtrlHandle, h.ParentWnd, h.WndRect, h.WndPos, h.WndSize, h.ParentRect);
  if (!h.SkinData || !h.SkinData->BGChanged) return;
  ClientRect = ClientRectInWindow(h.CtrlHandle);
  RenderControlCache(h.SkinData, h.CtrlHandle, false);
  PaintBorderCorners(h.SkinData, 0, Handler);
  RECT cr{};
  GetClientRect(h.CtrlHandle, &cr);
  BorderWidth = (h.WndSize.cy - cr.bottom) / 2;
  h.SkinData->BGChanged = false;
}

void AssignLogFont(TFont& Font, const LOGFONTW& LogFont) {
  Font.Name = std::wstring(LogFont.lfFaceName);
  Font.Height = LogFont.lfHeight;
  Font.Charset = LogFont.lfCharSet;
  unsigned style = 0;
  if (LogFont.lfWeight >= FW_BOLD) style |= fsBold;
  if (LogFont.lfItalic) style |= fsItalic;
  if (LogFont.lfUnderline) style |= fsUnderline;
  if (LogFont.lfStrikeOut) style |= fsStrikeOut;
  Font.Style = style;
}

void SubstituteFontName(TFont& Font) {
  const std::wstring name = SubstitutedFontName();
  if (!name.empty()) Font.Name = name;
}

void SelectNonClientFont(TCanvas& Canvas, int Kind) {
  LOGFONTW lf{};
  GetNonClientLogFont(Kind, lf);
  if (lf.lfHeight == 0) return;
  ApplyFontSubstitution(lf);
  AssignLogFont(Canvas.Font, lf);
  SelectObject(Canvas.Handle(), Canvas.Font.Handle());
}

void InitHandlerFont(TacMainWnd* Handler, bool SetFont) {
  if (!Handler || !Handler->SkinData || !Handler->SkinData->FCacheBmp) return;
  TCanvas& canvas = Handler->SkinData->FCacheBmp->Canvas();
  if (TControl* owner = Handler->SkinData->FOwnerControl) {
    canvas.Font.Assign(owner->Font);
    SubstituteFontName(canvas.Font);
    SelectObject(canvas.Handle(), canvas.Font.Handle());
    return;
  }
  const HWND wnd = Handler->CtrlHandle;
  LOGFONTW lf{};
  auto windowFont = wnd ? reinterpret_cast<HFONT>(SendSkinMessage(wnd, WM_GETFONT, 0, 0)) : nullptr;
  // The font we gave earlier is not the window's own one.
  const HFONT ownFont = Handler->FFontGiven && windowFont == Handler->FGivenFont ? Handler->FOwnFont : windowFont;
  if (windowFont && GetObjectW(windowFont, sizeof(LOGFONTW), &lf) == static_cast<int>(sizeof(LOGFONTW))) {
    ApplyFontSubstitution(lf);
    if (lf.lfCharSet == ANSI_CHARSET && std::wstring(lf.lfFaceName).find(L"MS Shell Dlg") == std::wstring::npos)
      lf.lfCharSet = DEFAULT_CHARSET;
  } else {
    GetNonClientLogFont(5, lf);
    ApplyFontSubstitution(lf);
  }
  AssignLogFont(canvas.Font, lf);
  SelectObject(canvas.Handle(), canvas.Font.Handle());
  if (SetFont && wnd) {
    // The window gets a font of the handler's own, which lives while the window holds it;
    // its own font comes back when the handler lets the window go.
    HFONT given = CreateFontIndirectW(&lf);
    if (!given) return;
    HFONT previous = Handler->FFontGiven ? Handler->FGivenFont : nullptr;
    if (!Handler->FFontGiven) Handler->FOwnFont = ownFont;
    Handler->FGivenFont = given;
    Handler->FFontGiven = true;
    SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(given), 0);
    if (previous) DeleteObject(previous);
  }
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

namespace {

// The border image of the data's section, or nullptr: indexes are checked against the
// loaded arrays, so a malformed skin draws nothing there.
TsMaskData* BorderMaskOf(TsCommonData* Data, TacSkinData*& SkinData) {
  SkinData = Data ? Data->ReadCommonSkinData() : nullptr;
  if (!SkinData || Data->SkinIndex < 0 || Data->SkinIndex >= static_cast<int>(SkinData->gd.size())) return nullptr;
  const int border = SkinData->gd[Data->SkinIndex].BorderIndex;
  if (border < 0 || border >= static_cast<int>(SkinData->ma.size())) return nullptr;
  return &SkinData->ma[border];
}

}  // namespace

bool BorderNeedsAnimation(TsCommonData* Data, bool ForHover) {
  if (!Data || !Data->Skinned()) return false;
  TacSkinData* sd = nullptr;
  TsMaskData* mask = BorderMaskOf(Data, sd);
  if (!mask) return false;
  if (ForHover) {
    if (KindsWithoutHotState.Contains(Data->COC)) return false;
    TsSkinManager* manager = Data->ReadSkinManager();
    if (manager && manager->Options.NoMouseHover) return false;
  }
  return mask->ImageCount > 1 || sd->gd[Data->SkinIndex].States > 1;
}

void PaintBorderCorners(TsCommonData* Data, int State, TacMainWnd* Handler) {
  if (!Data || !Handler || Handler->DlgMode) return;
  TsSkinManager* manager = Data->ReadSkinManager();
  if (!manager) return;
  TacSkinData* sd = nullptr;
  TsMaskData* mask = BorderMaskOf(Data, sd);
  TBitmap* cache = Data->FCacheBmp.get();
  if (!mask || !cache || cache->Empty() || cache->PixelFormat() != pf32bit) return;
  if (Handler->WndSize.cx <= 1 || Handler->WndSize.cy <= 1) return;
  TBitmap* skinBmp = mask->Bmp ? mask->Bmp : manager->MasterBitmap();
  if (!skinBmp || skinBmp->Empty() || skinBmp->PixelFormat() != pf32bit) return;
  // An own-bitmap mask that counts no images is taken as three states with mask cells.
  if (mask->ImageCount == 0 && mask->Bmp) {
    mask->MaskType = 1;
    mask->ImageCount = 3;
    mask->R = TRect{0, 0, mask->Bmp->Width(), mask->Bmp->Height()};
  }
  if (mask->ImageCount <= 0) return;
  const int width = mask->Width > 0 ? mask->Width : mask->R.Width() / std::max<int>(1, mask->ImageCount);
  const int state = std::clamp(State, 0, mask->ImageCount - 1);
  const int left0 = mask->R.Left + state * width;
  const int top0 = mask->R.Top;
  const int maskHeight =
      mask->Height > 0 ? mask->Height : mask->MaskType == 0 ? mask->R.Height() : mask->R.Height() / 2;
  TCacheInfo ci;
  if (HWND wnd = Handler->CtrlHandle) WindowParentBackgroundInfo(wnd, ci);
  const bool useBmp = ci.Ready && ci.Bmp && !ci.Bmp->Empty() && (mask->MaskType != 0 || ci.Bmp->PixelFormat() == pf32bit);
  if (!useBmp && (ci.FillColor & 0xFFFFFF) == 0xFF00FF) return;
  const TColor fill = ColorToRGB(ci.FillColor);
  const std::uint32_t fillPixel =
      (static_cast<std::uint32_t>(fill & 0xFF) << 16) | (fill & 0xFF00) | ((fill >> 16) & 0xFF);
  const int W = Handler->WndSize.cx, H = Handler->WndSize.cy;
  struct TCorner {
    int SrcX, SrcY, W, H, DstX, DstY;
  };
  const int sw = width, sh = maskHeight;
  const TCorner corners[4] = {
      {left0, top0, mask->WL, mask->WT, 0, 0},
      {left0, top0 + sh - mask->WB, mask->WL, mask->WB, 0, H - mask->WB},
      {left0 + sw - mask->WR, top0 + sh - mask->WB, mask->WR, mask->WB, W - mask->WR, H - mask->WB},
      {left0 + sw - mask->WR, top0, mask->WR, mask->WT, W - mask->WR, 0},
  };
  for (const TCorner& c : corners)
    for (int y = 0; y < c.H; ++y) {
      const int sy = c.SrcY + y, dy = c.DstY + y;
      if (sy < 0 || sy >= skinBmp->Height() || dy < 0 || dy >= cache->Height()) continue;
      const auto* srow = reinterpret_cast<const std::uint32_t*>(skinBmp->ScanLine(sy));
      auto* drow = reinterpret_cast<std::uint32_t*>(cache->ScanLine(dy));
      for (int x = 0; x < c.W; ++x) {
        const int sx = c.SrcX + x, dx = c.DstX + x;
        if (sx < 0 || sx >= skinBmp->Width() || dx < 0 || dx >= cache->Width()) continue;
        if (srow[sx] != 0x00FF00FFu) continue;  // the key colour in all 32 bits
        std::uint32_t parent = fillPixel;
        if (useBmp) {
          const int px = ci.X + Handler->WndPos.X + dx, py = ci.Y + Handler->WndPos.Y + dy;
          if (px < 0 || py < 0 || px >= ci.Bmp->Width() || py >= ci.Bmp->Height()) continue;
          parent = reinterpret_cast<const std::uint32_t*>(ci.Bmp->ScanLine(py))[px];
        }
        if (mask->MaskType != 0)
          drow[dx] = parent;
        else
          drow[dx] = (drow[dx] & 0xFF000000u) | (parent & 0x00FFFFFFu);
      }
    }
}

namespace {

// The inset of a disabled edit's text: the border's thickness, as the edit draws it.
int EditTextInset(TCustomEdit* Edit) {
  if (Edit->BorderStyle() == bsNone) return 0;
  int inset = Edit->Ctl3D ? 1 : 0;
  if (Edit->BevelKind != bkNone) {
    if (Edit->BevelInner != bvNone) ++inset;
    if (Edit->BevelOuter != bvNone) ++inset;
  }
  return inset + 1;
}

// A colour mixed Amount/255 of the way from A toward B.
TColor MixToward(TColor A, TColor B, int Amount) {
  const TColor a = ColorToRGB(A), b = ColorToRGB(B);
  TColor out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= static_cast<TColor>((ca * (255 - Amount) + cb * Amount) / 255) << shift;
  }
  return out;
}

void PaintDisabledEditText(TCustomEdit* Edit, TBitmap* Cache) {
  TCanvas& canvas = Cache->Canvas();
  canvas.Font.Assign(Edit->Font);
  TRect r{0, 0, Cache->Width(), Cache->Height()};
  const int inset = EditTextInset(Edit);
  r.Left += inset;
  r.Top += inset;
  r.Right -= inset;
  r.Bottom -= inset;
  if (Edit->BorderStyle() == bsSingle) {
    ++r.Left;
    ++r.Top;
    --r.Right;
  }
  std::wstring text = Edit->Text();
  if (!text.empty() && Edit->PasswordChar()) {
    // '*' is shown as the black circle the system's own password edit shows.
    const wchar_t shown = Edit->PasswordChar() == L'*' ? L'\x25CF' : Edit->PasswordChar();
    text.assign(text.size(), shown);
  }
  TColor color = canvas.Font.Color.Get();
  if (text.empty()) {
    text = Edit->TextHint();
    color = MixToward(color, Edit->Color(), 180);
  }
  if (text.empty()) return;
  static const UINT aligns[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  HDC dc = canvas.Handle();
  SelectObject(dc, canvas.Font.Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(color)));
  DrawTextLimited(dc, text, r, DT_SINGLELINE | DT_NOPREFIX | aligns[Edit->Alignment()]);
}

}  // namespace

void RenderControlCache(TsCommonData* Data, HWND Wnd, bool FlatFrame) {
  if (!Data || !Data->BGChanged || !Wnd) return;
  // 1.
  Data->InitCacheBitmap();
  TBitmap* cache = Data->FCacheBmp.get();
  if (!cache) return;
  RECT wr{};
  GetWindowRect(Wnd, &wr);
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(std::max<int>(0, wr.right - wr.left), std::max<int>(0, wr.bottom - wr.top));
  // 2. the parent's background
  TCacheInfo ci;
  HWND parent = GetParent(Wnd);
  if (parent) {
    TacBGInfo info;
    info.PleaseDraw = false;
    RequestBackgroundFromWindow(info, parent, false);
    if (info.BgType == btNotReady) {
      Data->FUpdating = true;
      return;
    }
    CacheInfoFromBackgroundInfo(info, ci);
  }
  TsSkinManager* manager = Data->ReadSkinManager();
  TacSkinData* sd = Data->ReadCommonSkinData();
  TControl* owner = Data->FOwnerControl;
  auto* edit = dynamic_cast<TCustomEdit*>(owner);
  const TRect all{0, 0, cache->Width(), cache->Height()};
  // 3.
  const TColor borderColor = manager ? manager->Palette[pcBorder] : 0xFF00FF;
  if (FlatFrame && manager && (borderColor & 0xFFFFFF) != 0xFF00FF) {
    TCanvas& canvas = cache->Canvas();
    canvas.Brush.Color = ColorToRGB(clWindow);
    canvas.FillRect(all);
    canvas.Brush.Color = borderColor;
    FrameRect(canvas.Handle(), reinterpret_cast<const RECT*>(&all), canvas.Brush.Handle());
  } else {
    POINT pos{wr.left, wr.top};
    if (parent) ScreenToClient(parent, &pos);
    TPoint offset{pos.x, pos.y};
    if (parent && owner && owner->BiDiMode() != bdLeftToRight && ci.Bmp &&
        (GetWindowLongPtrW(parent, GWL_EXSTYLE) & WS_EX_LAYOUTRTL)) {
      int width = ci.Bmp->Width();
      if (manager && manager->ExtendedBorders()) width -= 2 * ci.X;
      offset.X = width - offset.X - cache->Width();
    }
    if (manager && sd && Data->SkinIndex >= 0 && Data->SkinIndex < static_cast<int>(sd->gd.size())) {
      if (edit && edit->BorderStyle() == bsNone) {
        PaintControlBackground(Data, ci, 0, all, offset, cache);
      } else {
        const bool active = Data->FFocused || (Data->FMouseAbove && BorderNeedsAnimation(Data, true));
        PaintControlSkin(Data, ci, active ? 1 : 0, all, offset, cache, false);
      }
    }
  }
  // 4. a disabled edit draws no text of its own
  if (edit && !IsWindowEnabled(Wnd)) PaintDisabledEditText(edit, cache);
  // 5.
  if (owner && !owner->Enabled()) {
    TCacheInfo parentCi;
    Data->ParentBackgroundInfo(parentCi);
    int flags = 1;
    if (HasProperty(owner, L"DisabledKind"))
      flags = (SetPropertyHas(owner, L"DisabledKind", L"dkBlended") ? 1 : 0) |
              (SetPropertyHas(owner, L"DisabledKind", L"dkGrayed") ? 2 : 0);
    if (flags) ApplyDisabledLook(cache, flags, owner, parentCi, TPoint{owner->BoundsRect().Left, owner->BoundsRect().Top});
  }
  // 6.
  Data->BGChanged = false;
}

// ---------------------------------------------------------------------------
// Properties of other component sets
// ---------------------------------------------------------------------------

void SetThirdPartyOrd(TComponent* Control, const std::wstring& Name, int Value) {
  if (Control && HasProperty(Control, Name)) SetOrdProperty(Control, Name, Value);
}

int GetThirdPartyOrd(TComponent* Control, const std::wstring& Name) {
  if (!Control || !HasProperty(Control, Name)) return 0;
  return GetOrdProperty(Control, Name);
}

TColor GetThirdPartyColor(TComponent* Control, const std::wstring& Name) {
  return ColorToRGB(static_cast<TColor>(GetThirdPartyOrd(Control, Name)));
}

// ---------------------------------------------------------------------------
// The popup-menu window handler
// ---------------------------------------------------------------------------

std::vector<TacMnuWnd*> MenuWindows;

void TacMnuWnd::SubclassGone(TacHandlerSubclass* Sub) {
  (void)Sub;
  FSub = nullptr;
  delete this;
}

TacMnuWnd::TacMnuWnd(HWND Wnd, TsSkinManager* Manager)
    : SkinManager(Manager ? Manager : DefaultManager()) {
  CtrlHandle = Wnd;
  if (SkinManager && SkinManager->IsActive()) SkinIndex = SkinManager->GetSkinIndex(L"MAINMENU");
  FSub = new TacHandlerSubclass(this);
  if (!FSub->Attach(Wnd)) {
    delete FSub;
    FSub = nullptr;
  }
  MenuWindows.push_back(this);
  AfterCreation();
}

TacMnuWnd::~TacMnuWnd() {
  MenuWindows.erase(std::remove(MenuWindows.begin(), MenuWindows.end(), this), MenuWindows.end());
  Detach();
}

void TacMnuWnd::AfterCreation() {
  RgnChanged = 0;
  Shown = false;
  bFlag = false;
}

void TacMnuWnd::Detach() {
  if (!FSub) return;
  FSub->FOwner = nullptr;
  TacHandlerSubclass* sub = FSub;
  FSub = nullptr;
  sub->Release();
}

void TacMnuWnd::CallPrevious(TMessage& Message) {
  if (FSub)
    FSub->DefaultHandler(Message);
  else
    Message.Result = CtrlHandle && IsWindow(CtrlHandle)
                         ? CallWindowProcW(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(CtrlHandle, GWLP_WNDPROC)),
                                           CtrlHandle, Message.Msg, Message.WParam, Message.LParam)
                         : 0;
}

void TacMnuWnd::PrepareCache() {
  RECT wr{};
  if (!CtrlHandle || !GetWindowRect(CtrlHandle, &wr)) return;
  const int w = std::max<int>(0, wr.right - wr.left), h = std::max<int>(0, wr.bottom - wr.top);
  if (Cache && (Cache->Width() != w || Cache->Height() != h)) BGChanged = true;
  if (!BGChanged) return;
  Cache = NewBitmap32(w, h);
  if (SkinManager && SkinManager->IsActive() && SkinIndex >= 0 && !Cache->Empty()) {
    TPoint offset{0, 0};
    if (HWND parent = GetParent(CtrlHandle)) {
      POINT p{wr.left, wr.top};
      ScreenToClient(parent, &p);
      offset = TPoint{p.x, p.y};
    }
    PaintSkinSection(SkinIndex, EmptyCacheInfo, 0, Rect(0, 0, w, h), offset, Cache.get(),
                     SkinManager->CommonSkinData());
  }
  BGChanged = false;
}

void TacMnuWnd::acWndProc(TMessage& Message) {
  HWND wnd = CtrlHandle;
  switch (Message.Msg) {
    case WM_DESTROY:
    case WM_NCDESTROY: {
      CallPrevious(Message);
      Destroyed = true;
      RgnChanged = 0;
      ClearMenuInfos();
      for (TacMnuWnd* other : std::vector<TacMnuWnd*>(MenuWindows))
        if (other != this && !other->Destroyed && other->CtrlHandle && IsWindow(other->CtrlHandle))
          RedrawWindow(other->CtrlHandle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
      // The handlers of gone menu windows, this one among them, are freed when the next menu
      // window comes (AddMenuWindow) or at the unit's end: none can be freed from inside its
      // own window procedure, which is still running here.
      SkinnedMenuActive = false;
      return;
    }
    case SM_SKINCOMMAND:
      switch (SkinCommandOf(Message.WParam)) {
        case SKCMD_IS_SKINNED:
          Message.Result = 1;
          return;
        case SKCMD_SET_UPDATING:
          Message.Result = RgnChanged;
          return;
        case SKCMD_BORDER_DRAWN:
          if (IsWindowVisible(wnd)) RgnChanged = 1;
          return;
        case SKCMD_GET_APPLICATION:
          Message.Result = reinterpret_cast<LRESULT>(&Application());
          return;
        default:
          return;
      }
  }
  if (!SkinnedMenuActive) {
    CallPrevious(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_ERASEBKGND: {
      PrepareCache();
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      HDC own = dc ? nullptr : GetDC(wnd);
      if (Cache && !Cache->Empty())
        BitBlt(dc ? dc : own, 0, 0, Cache->Width() - 6, Cache->Height() - 6, Cache->Canvas().Handle(), 3, 3,
               SRCCOPY);
      if (own) ReleaseDC(wnd, own);
      RgnChanged = 0;
      Message.Result = 1;
      return;
    }
    case WM_WINDOWPOSCHANGED: {
      CallPrevious(Message);
      auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
      if (bFlag || !pos || (pos->flags & SWP_NOREDRAW)) return;
      if ((pos->flags & SWP_SHOWWINDOW) && !IsWindowVisible(wnd)) {
        bFlag = true;
        SetWindowLongPtrW(wnd, GWL_EXSTYLE, GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(wnd, 0, 0, LWA_ALPHA);
        bFlag = false;
      }
      return;
    }
    case WM_NCPAINT: {
      RECT wr{};
      GetWindowRect(wnd, &wr);
      const int w = wr.right - wr.left, h = wr.bottom - wr.top;
      TsSkinableMenus* menus = SkinManager ? SkinManager->SkinableMenus.get() : nullptr;
      TacMenuInfo* mi = menus ? menus->GetMenuInfo(nullptr, 0, wnd, nullptr, 0) : nullptr;
      if (mi) {
        TBitmap* src = nullptr;
        if (mi->Bmp && mi->Bmp->Width() == w - 6 && mi->Bmp->Height() == h)
          src = mi->Bmp.get();
        else {
          PrepareCache();
          src = Cache.get();
        }
        if (src && !src->Empty()) {
          HDC dc = GetWindowDC(wnd);
          if (dc) {
            BlitBorderStrips(dc, 0, 0, w, h, src->Canvas().Handle(), 0, 0, 3);
            ReleaseDC(wnd, dc);
          }
        }
      }
      if (IsDwmCompositionOn() && !Shown) RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      const std::uint8_t alpha = SkinManager ? SkinManager->MenuSupport.AlphaBlend : 255;
      const LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
      if (alpha == 255) {
        if (ex & WS_EX_LAYERED) SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
      } else {
        if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
        SetLayeredWindowAttributes(wnd, 0, alpha, LWA_ALPHA);
      }
      Shown = true;
      Message.Result = 0;
      return;
    }
  }
  CallPrevious(Message);
}

