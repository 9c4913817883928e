#pragma once
// The form skin provider, as far as the shell's main form declares it so far; the
// skin engine gives it its window hooks and painting.
#include "platform/ui/Controls.h"
#include <string>

class TForm;
class TsSkinManager;
class TacMainWnd;


class TsSkinProvider : public TComponent {
public:
  explicit TsSkinProvider(TComponent* owner);
  std::wstring ClassName() const override { return L"TsSkinProvider"; }

  struct TAddedTitle {
    std::wstring FontName = L"Tahoma";
    int FontHeight = -11;
    bool FontColorSet = false;  // no colour of its own
  };

  TForm* Form = nullptr;  // the form whose window it skins: its owner
  std::wstring SkinSection = L"FORM";
  TAlignment CaptionAlignment = TAlignment::taCenter;
  TAddedTitle AddedTitle;
  TsSkinManager* SkinManager = nullptr;
  // The handler of the form's window (made with the form's skinning; none until then).
  TacMainWnd* ListSW = nullptr;
  // The form's skinning state bits (0x80: its cache may be answered while being rendered).
  // Kept by the form's skinning, which comes later: so far none is set.
  unsigned FFormState = 0;
  // Runs a message through the provider's handling of its form's messages (which comes with
  // the form's skinning: so far nothing handles it and the answer is 0).
  LRESULT ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam);
};

// Desktop-window-manager helpers of the form skinning. Filled later with the form's
// task-bar previews: so far the attribute is never set (E_NOTIMPL) and nothing is invalidated.
HRESULT SetDwmWindowAttribute(HWND Wnd, DWORD Attribute, const void* Value, DWORD Size);
void InvalidateTaskbarBitmaps(HWND Wnd);
