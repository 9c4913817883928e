#include "skin/forms/sSkinProvider.h"
#include "platform/ui/Forms.h"

TsSkinProvider::TsSkinProvider(TComponent* owner) : TComponent(owner), Form(dynamic_cast<TForm*>(owner)) {}

LRESULT TsSkinProvider::ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  (void)m;
  return 0;
}

HRESULT SetDwmWindowAttribute(HWND Wnd, DWORD Attribute, const void* Value, DWORD Size) {
  (void)Wnd;
  (void)Attribute;
  (void)Value;
  (void)Size;
  return E_NOTIMPL;
}

void InvalidateTaskbarBitmaps(HWND Wnd) { (void)Wnd; }
