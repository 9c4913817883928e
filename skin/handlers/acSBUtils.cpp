#include "skin/handlers/acSBUtils.h"

#include <algorithm>

#include "platform/ui/Forms.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sSkinManager.h"

TacMainWnd* HandlerOfWindow(HWND Wnd) {
  if (!Wnd) return nullptr;
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(Wnd, &pid) || pid != GetCurrentProcessId()) return nullptr;
  return static_cast<TacMainWnd*>(GetPropW(Wnd, acScrollHandlerProp));
}

int ScrollBarSize(TacScrollWnd*, int, bool) { return 0; }

TacMainWnd::TacMainWnd(HWND Wnd, bool Repaint, const TacSkinParams& Params, TsSkinManager* SkinManager,
                       TsCommonData* Shared)
    : CtrlHandle(Wnd) {
  (void)Repaint;
  (void)Params;
  (void)SkinManager;
  (void)Shared;
}

void AttachScrollWnd(TsScrollWndData*, TacScrollWnd*&) {}

void RefreshScrollBars(TacScrollWnd*, bool) {}

void PaintScrollBars(TacScrollWnd*, HWND, int, HDC) {}

// ---------------------------------------------------------------------------
// The popup-menu window handler
// ---------------------------------------------------------------------------

std::vector<TacMnuWnd*> MenuWindows;

class TMnuWndSubclass : public TWindowSubclass {
public:
  explicit TMnuWndSubclass(TacMnuWnd* Owner) : FOwner(Owner) {}
  TacMnuWnd* FOwner;
  using TWindowSubclass::DefaultHandler;

protected:
  void WndProc(TMessage& Message) override {
    if (FOwner)
      FOwner->acWndProc(Message);
    else
      DefaultHandler(Message);
  }
  // The window is gone: the handler goes with it.
  void WindowDestroyed() override {
    TacMnuWnd* owner = FOwner;
    FOwner = nullptr;
    if (owner) {
      owner->FSub = nullptr;
      delete owner;
    }
    Release();
  }
};

TacMnuWnd::TacMnuWnd(HWND Wnd, TsSkinManager* Manager)
    : SkinManager(Manager ? Manager : DefaultManager()) {
  CtrlHandle = Wnd;
  if (SkinManager && SkinManager->IsActive()) SkinIndex = SkinManager->GetSkinIndex(L"MAINMENU");
  FSub = new TMnuWndSubclass(this);
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
  TMnuWndSubclass* sub = FSub;
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
      // Freeing the other menu handlers comes with the handler family; each frees itself
      // with its window meanwhile.
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

// ---- reached by the popup controller ----
void DetachHandler(HWND Wnd, bool FreeIt, bool FrameChanged, TacMainWnd*& Handler) {
  (void)Wnd;
  (void)FrameChanged;
  if (FreeIt) {
    delete Handler;
    Handler = nullptr;
  }
}
// ---- end of the popup controller's block ----
