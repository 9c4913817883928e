// The default manager's hooks: the thread's CBT hook through which dialogs and foreign windows
// are skinned, the application-window hook (the engine's own minimize, restore and close
// animations of the main form, the task bar's system menu, repaint on activation, skinned
// popup-menu borders) and the skin editor's preview link.
#include <algorithm>
#include <cstring>

#include "platform/runtime/Files.h"
#include "platform/runtime/StringList.h"
#include "platform/runtime/Strings.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/Menus.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acAnimation.h"
#include "skin/graphics/acHideAnim.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.SysColors.h"
#include "skin/manager/sSkinManager.h"

namespace {

HOOKPROC gDialogHookProcedure = nullptr;

// The skin editor's switch: the first argument, exact case.
bool PreviewLinkOpen() { return ParamCount() >= 1 && ParamStr(1) == L"/acpreview"; }

std::wstring FieldText(const std::uint8_t* field, std::size_t size) {
  const auto* end = static_cast<const std::uint8_t*>(std::memchr(field, 0, size));
  const std::size_t length = end ? static_cast<std::size_t>(end - field) : size;
  return AnsiToWide(std::string_view(reinterpret_cast<const char*>(field), length));
}

// The provider of a form's window, asked with SKCMD_GET_PROVIDER; an exception while asking
// counts as none.
TsSkinProvider* ProviderOfWindow(HWND wnd) {
  if (!wnd) return nullptr;
  try {
    return reinterpret_cast<TsSkinProvider*>(SendSkinCommand(wnd, SKCMD_GET_PROVIDER, 0));
  } catch (...) {
    return nullptr;
  }
}

bool ClassIs(HWND wnd, const wchar_t* name) {
  wchar_t cls[64] = {};
  return wnd && GetClassNameW(wnd, cls, 64) && std::wcscmp(cls, name) == 0;
}

// The longest the close animation may take before the shutdown goes on without it.
constexpr DWORD CloseAnimationMargin = 1000;

}  // namespace

// ---------------------------------------------------------------------------
// The preview record
// ---------------------------------------------------------------------------

std::int32_t TacSkinEditorData::Magic() const {
  std::int32_t magic;
  std::memcpy(&magic, Bytes.data(), sizeof(magic));
  return magic;
}
std::wstring TacSkinEditorData::SkinName() const { return FieldText(Bytes.data() + SkinNameOffset, SkinNameSize); }
std::wstring TacSkinEditorData::SkinDir() const { return FieldText(Bytes.data() + SkinDirOffset, SkinDirSize); }
std::wstring TacSkinEditorData::Data() const { return FieldText(Bytes.data() + DataOffset, DataSize); }

bool TakeSkinEditorData(WPARAM WParam, const COPYDATASTRUCT* Data, TacSkinEditorData& Into) {
  if (!PreviewLinkOpen() || WParam != acPreviewCopyDataKind || !Data || !Data->lpData) return false;
  // Shorter data is not a record: none of it is read.
  if (Data->cbData < TacSkinEditorData::Size) return false;
  std::int32_t magic;
  std::memcpy(&magic, Data->lpData, sizeof(magic));
  if (magic != TacSkinEditorData::MagicValue) return false;
  std::memcpy(Into.Bytes.data(), Data->lpData, TacSkinEditorData::Size);
  return true;
}

void SetDialogHookProcedure(HOOKPROC Proc) { gDialogHookProcedure = Proc; }

// ---------------------------------------------------------------------------
// The CBT hook
// ---------------------------------------------------------------------------

void TsSkinManager::InstallHook() {
  if (Designing() || !IsDefault() || GlobalHookInstalled) return;
  GlobalHookInstalled = true;
  if (!HookedProviders) HookedProviders = new std::vector<TacProvider*>;
  FCbtHook = SetWindowsHookExW(WH_CBT, gDialogHookProcedure ? gDialogHookProcedure : DialogCbtHookProc, nullptr,
                               GetCurrentThreadId());
  if (Options.ChangeSysColors) SysColorsOn();
}

void TsSkinManager::UnInstallHook() {
  if (Designing() || !IsDefault() || !GlobalHookInstalled) return;
  FreeMenuWindows();
  if (FCbtHook) UnhookWindowsHookEx(FCbtHook);
  if (HookedProviders) {
    // A provider may look at the list while it goes: the list is empty by then.
    std::vector<TacProvider*> entries;
    entries.swap(*HookedProviders);
    for (TacProvider* p : entries) delete p;
  }
  // Off whatever the option says now: nothing of the redirection may outlive the hook.
  SysColorsOff();
  GlobalHookInstalled = false;
  FCbtHook = nullptr;
}

// ---------------------------------------------------------------------------
// The application-window hook
// ---------------------------------------------------------------------------

void TsSkinManager::ApplyPreviewBuffer() {
  if (PreviewBuffer.Magic() != TacSkinEditorData::MagicValue) return;
  BeginUpdate();
  // The update ends and the preview stops being the skin source on every path: a failed
  // load must leave neither the announcements held back nor the preview as the source of
  // every later load.
  struct TPreviewScope {
    TsSkinManager& m;
    bool failed = true;
    ~TPreviewScope() {
      if (failed) {
        try {
          m.EndUpdate(true, false);
        } catch (...) {
          m.NoAutoUpdate = false;
        }
      }
      PreviewSkinText.reset();
    }
  } scope{*this};
  TStringList lines;
  lines.SetText(PreviewBuffer.Data());
  PreviewSkinText = std::make_unique<std::vector<std::wstring>>(lines.Strings());
  SetSkinDirectory(PreviewBuffer.SkinDir());
  SetSkinName(PreviewBuffer.SkinName());
  scope.failed = false;
  EndUpdate(true, false);
}

bool TsSkinManager::MainWindowHookProc(TMessage& Message) {
  TApplication& app = Application();
  switch (Message.Msg) {
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
      if (!pos || !(pos->flags & SWP_HIDEWINDOW) || !AnimEffects.FormHide.Active || AnimEffects.FormHide.Time == 0 ||
          !Effects.AllowAnimation || app.Minimized() || !app.Terminated())
        return false;
      TForm* main = app.MainForm();
      if (!main || !main->HandleAllocated() || !IsWindowVisible(main->Handle())) return false;
      TsSkinProvider* p = ProviderOfWindow(main->Handle());
      if (!p || !p->FDrawNonClientArea || !Options.DrawNonClientArea || !p->FAllowAnimation || p->SkipAnimation)
        return false;
      p->SkipAnimation = true;
      p->SetFormState(p->FFormState | 0x200);
      if (p->BorderForm && p->BorderForm->AForm && p->BorderForm->AForm->HandleAllocated())
        SetWindowRgn(p->BorderForm->AForm->Handle(), p->BorderForm->MakeRgn(), FALSE);
      if (IsDwmCompositionOn()) SetLayeredAlpha(main->Handle(), true, 254);
      UpdateWindow(main->Handle());
      AnimHideSkinForm(p);
      // A flag left set must not hang the shutdown: the wait ends after the animation's time.
      const DWORD limit = GetTickCount() + AnimEffects.FormHide.Time + CloseAnimationMargin;
      while (AnimationInProgress && static_cast<LONG>(GetTickCount() - limit) < 0) {
        app.ProcessMessages();
        Sleep(1);
      }
      return false;
    }
    case WM_COPYDATA:
      // Every WM_COPYDATA ends here; only a full record in a process started for the link is
      // taken, and applied later, outside the sender's SendMessage.
      if (Message.Result != 0 || FTakingPreview) return true;
      FTakingPreview = true;
      if (TakeSkinEditorData(Message.WParam, reinterpret_cast<const COPYDATASTRUCT*>(Message.LParam), PreviewBuffer))
        PostMessageW(app.Handle(), SM_SKINCOMMAND, SkinCommandWParam(SKCMD_APPLY_PREVIEW), 0);
      FTakingPreview = false;
      return true;
    case WM_SYSCOMMAND: {
      if (!IsActive()) return false;
      switch (Message.WParam & 0xFFF0) {
        case SC_MINIMIZE: return MinimizeByHook();
        case SC_RESTORE: return RestoreByHook();
        default: ShowState = saIgnore; return false;
      }
    }
    case 0x0313: {
      TForm* main = app.MainForm();
      if (!main || !app.MainFormOnTaskBar || !main->HandleAllocated()) return false;
      TsSkinProvider* p = ProviderOfWindow(main->Handle());
      if (!p) return false;
      POINT pt{};
      GetCursorPos(&pt);
      p->DropSysMenu(pt.x, pt.y);
      return true;
    }
    case WM_THEMECHANGED: return true;
    case SM_SKINCOMMAND:
      if (SkinCommandOf(Message.WParam) == SKCMD_APPLY_PREVIEW) ApplyPreviewBuffer();
      return false;
    case CM_ACTIVATE: {
      TScreen& screen = Screen();
      for (int i = screen.FormCount() - 1; i >= 0; --i) {
        if (i >= screen.FormCount()) continue;  // a receiver freed forms
        TForm* form = screen.Forms(i);
        if (form->HandleAllocated()) SendSkinCommand(form->Handle(), SKCMD_INVALIDATE, 0);
      }
      return false;
    }
    case 0xBCB3: {
      if (!SkinnedPopups()) return false;
      // Any process may send this number: only an item of a menu we know is one.
      TMenuItem* item = SkinableMenus->LiveMenuItem(reinterpret_cast<const void*>(Message.LParam));
      if (!item) return true;
      auto* menu = dynamic_cast<TPopupMenu*>(item->GetParentMenu());
      if (menu && menu->Handle()) {
        RECT r{};
        if (!GetMenuItemRect(nullptr, menu->Handle(), 0, &r) &&
            !GetMenuItemRect(PopupListWindow(), menu->Handle(), 0, &r))
          return true;
        const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        HWND wnd = WindowFromPoint(centre);
        if (ClassIs(wnd, L"#32768")) PaintMenuBorder(item, wnd);
      }
      return true;
    }
    case 0xBCB4: {
      if (!SkinnedPopups()) return false;
      HWND wnd = reinterpret_cast<HWND>(Message.LParam);
      if (ClassIs(wnd, L"#32768")) PaintMenuBorder(nullptr, wnd);
      return true;
    }
    default: return false;
  }
}

void TsSkinManager::PaintMenuBorder(TMenuItem* Item, HWND Wnd) {
  if (TacMenuInfo* info = SkinableMenus->GetMenuInfo(Item, 0, Wnd, nullptr, 0); info && info->Bmp)
    SkinableMenus->DrawWndBorder(Wnd, info->Bmp.get());
}

bool TsSkinManager::MinimizeByHook() {
  ShowState = saMinimize;
  TApplication& app = Application();
  TForm* main = app.MainForm();
  if (app.Minimized() || !main || !main->HandleAllocated() || !IsWindowVisible(main->Handle())) return false;
  TsSkinProvider* p = ProviderOfWindow(main->Handle());
  if (!p) return false;
  if (!AnimEffects.Minimizing.Active || !Effects.AllowAnimation) {
    if (p->BorderForm) {
      p->BorderForm->ExBorderShowing = true;
      p->BorderForm->FreeBorderWindow();
    }
    return false;
  }
  if (!p->FDrawNonClientArea || !Options.DrawNonClientArea) return false;
  p->SkipAnimation = true;
  const bool runs = StartMinimizing(p);
  bool handled = false;
  if (!IsDwmCompositionOn()) {
    TSystemAnimationOff systemAnimation;  // the user's setting comes back on every path
    app.Minimize();
    handled = true;
  }
  if (!runs && p->BorderForm && p->BorderForm->AForm && !(p->FFormState & 0x100)) {
    p->BorderForm->ExBorderShowing = true;
    p->BorderForm->FreeBorderWindow();
    p->BorderForm->ExBorderShowing = false;
  }
  return handled;
}

bool TsSkinManager::RestoreByHook() {
  ShowState = saRestore;
  TApplication& app = Application();
  TForm* main = app.MainForm();
  if (!main || !main->HandleAllocated()) return false;
  const bool onTaskBar = app.MainFormOnTaskBar;
  if (!onTaskBar && !main->Showing()) return false;
  TsSkinProvider* p = ProviderOfWindow(main->Handle());
  if (!p) return false;
  HWND wnd = main->Handle();
  auto redraw = [wnd] {
    InvalidateRect(wnd, nullptr, TRUE);
    RedrawWindow(wnd, nullptr, nullptr, 0x0585);
  };
  if (p->FFormState & 0x200) {
    // (a) minimized by the engine
    p->SetFormState(p->FFormState & ~0x200u);
    if (ExtendedBorders() && p->FAllowExtBorders && !p->BorderForm && p->FCommonData)
      p->FCommonData->FCacheBmp.reset();
    if (p->BorderForm) p->BorderForm->ExBorderShowing = false;
    TSystemAnimationOff systemAnimation;
    app.Restore();
    if (IsDwmCompositionOn()) {
      RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
      const LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
      if (ex & WS_EX_LAYERED) {
        SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        if (p->FCommonData) p->FCommonData->BGChanged = true;
      }
    }
    return false;
  }
  if (AnimEffects.Minimizing.Active && IsWindowVisible(wnd) && p->FDrawNonClientArea && Options.DrawNonClientArea) {
    // (b)
    if (!StartRestoring(p)) {
      TForm* cover = p->CoverForm;
      if (cover && cover->HandleAllocated()) {
        SetWindowPos(wnd, cover->Handle(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        p->CoverForm = nullptr;
        TComponent::Free(cover);
      } else {
        ShowWindow(wnd, SW_RESTORE);
      }
      redraw();
    }
    if (IsDwmCompositionOn()) return false;
    TSystemAnimationOff systemAnimation;
    app.Restore();
    return true;
  }
  if (IsDwmCompositionOn() && !onTaskBar) {
    // (c)
    {
      TSystemAnimationOff systemAnimation;
      app.Restore();
      if (!IsWindowVisible(wnd)) ShowWindow(wnd, SW_SHOWNA);
    }
    redraw();
    return true;
  }
  return false;
}
