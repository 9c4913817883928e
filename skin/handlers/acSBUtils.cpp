#include "skin/handlers/acSBUtils.h"

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
