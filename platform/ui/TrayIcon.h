#pragma once
// The notification-area icon: shows an icon (the application's unless it has its own),
// opens its popup menu on a right click, and adds itself again when the task bar is
// re-created (Explorer restarted), which otherwise silently loses every icon.
#include "platform/ui/Menus.h"
#include <string>

class TTrayIcon : public TComponent {
public:
  explicit TTrayIcon(TComponent* owner);
  ~TTrayIcon() override;
  std::wstring ClassName() const override { return L"TTrayIcon"; }

  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  TPopupMenu* PopupMenu = nullptr;
  HICON Icon = nullptr;  // none: the application icon
  std::wstring Hint;
  // Whether the system has taken the icon (the last add or modify succeeded).
  bool Added() const { return FAdded; }
  UINT Id() const { return FId; }
  // The hidden window that receives the icon's notifications.
  HWND Handle();

private:
  void Refresh(DWORD message);
  static LRESULT CALLBACK TrayWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND FWnd = nullptr;
  bool FVisible = false;
  bool FAdded = false;
  UINT FId;
};
