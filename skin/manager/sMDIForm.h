#pragma once
// The MDI support of a skinned MDI form: a handler on the form's MDI client window that skins
// its scroll bars and background, and the actions of the buttons the skinned menu line shows
// for a maximized MDI child.
#include <windows.h>

class TForm;
class TsSkinProvider;
class TacMDIWnd;
class TMenuItem;

class TsMDIForm {
public:
  // Remembers the provider and its form, making sure the form's window exists; the client
  // handler is attached by ConnectToClient.
  explicit TsMDIForm(TsSkinProvider* SkinProvider);
  TsMDIForm(const TsMDIForm&) = delete;
  TsMDIForm& operator=(const TsMDIForm&) = delete;
  // DestroyScrolls.
  virtual ~TsMDIForm();

  TForm* FForm = nullptr;  // the provider's form
  TacMDIWnd* ListSW = nullptr;  // the client window's handler, owned; none when not attached
  TsSkinProvider* SkinProvider = nullptr;

  // Attaches the client handler unless one is attached already.
  void ConnectToClient();
  // Frees the client handler and, while the provider's skin state is skinned, makes a new one.
  void RefreshMDIScrolls();
  void DestroyScrolls();
  // WM_SYSCOMMAND (SC_MINIMIZE, SC_RESTORE, SC_CLOSE) to the form's active MDI child; nothing
  // without one.
  void MinClick(void* Sender);
  void RestoreClick(void* Sender);
  void CloseClick(void* Sender);
  // No menu item is made for the child's icon.
  TMenuItem* MakeChildIconItem() { return nullptr; }
  // Asks the provider to repaint its menu line.
  void UpdateMDIIconItem();

private:
  void SendToActiveChild(WPARAM Command);
};
