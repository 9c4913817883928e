#pragma once
// The form skin provider, as far as the shell's main form declares it so far; the
// skin engine gives it its window hooks and painting.
#include "platform/ui/Controls.h"
#include <string>

class TForm;
class TsSkinManager;


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
};

// Desktop-window-manager helpers of the form skinning. Filled later with the form's
// task-bar previews: so far the attribute is never set (E_NOTIMPL) and nothing is invalidated.
HRESULT SetDwmWindowAttribute(HWND Wnd, DWORD Attribute, const void* Value, DWORD Size);
void InvalidateTaskbarBitmaps(HWND Wnd);
