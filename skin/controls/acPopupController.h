#pragma once
// The popup controller: shows an ordinary form as a drop-down popup below (or above) a
// calling control or at a screen point, without a caption, with a soft shadow window behind
// it, optionally growing out of its anchor, and closes it on a click elsewhere, Escape in the
// calling control, a foreign mouse capture or the application losing the focus. Its list of
// open popups lets a press on a skinned caption or border close them all (KillAllForms
// through the shared PopupController, which only code that uses popups sets).
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.h"
#include "skin/graphics/acntTypes.h"

class TacFormHandler;
class TacShadowForm;
class TacThreadedTimer;
class TsCommonData;
class TsSkinManager;

// The record of sub-command 73 (move shadow), passed by address in LParam: the screen
// rectangle of the popup's image and its alpha.
struct TacMoveShadowData {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::uint8_t Blend = 255;
};

// AnimDirection bits.
enum : int {
  adUpwards = 1,  // flipped above its anchor: grows upwards
  adLeftwards = 2,  // pushed to the work area's right edge: grows leftwards
};

// Where a popup goes: its top-left corner on the screen and the AnimDirection bits.
struct TacPopupPlace {
  TPoint Pos;
  int AnimDirection = 0;
};
// Below a control (screen rectangle) in the work area; Left and Top -1 for the control's own
// anchor, else the given point. Width and Height are the popup window's, ClientWidth and
// ClientHeight its client area's.
TacPopupPlace PlacePopupAtControl(const TRect& Control, int Left, int Top, int Width, int Height, int ClientWidth,
                                  int ClientHeight, const TRect& WorkArea, bool RightToLeft);
// At a screen point in the work area.
TacPopupPlace PlacePopupAtPoint(TPoint Anchor, int Width, int Height, int ClientWidth, int ClientHeight,
                                const TRect& WorkArea);

class TsPopupController : public TComponent {
public:
  explicit TsPopupController(TComponent* AOwner);
  ~TsPopupController() override;
  std::wstring ClassName() const override { return L"TsPopupController"; }

  // Shows AForm as the popup of AOwnerControl. Animated is not consulted: the skin manager's
  // and the form provider's settings decide.
  void ShowForm(TForm* AForm, TWinControl* AOwnerControl, int ALeft = -1, int ATop = -1, bool Animated = true);
  // Shows AForm as a popup at a screen point, always animated.
  void ShowFormPos(TForm* AForm, TPoint ALeftTop, bool Animated = true);
  // The growing show of a popup lasting wTime ms, ending at BlendValue.
  void AnimShowPopup(TForm* aForm, int wTime, std::uint8_t BlendValue);
  // Closes every visible popup except the form that owns ExceptChild; once none is visible
  // every handler is freed.
  void KillAllForms(TControl* ExceptChild = nullptr);
  int PopupCount(TForm* ExceptForm = nullptr);
  int PopupChildCount(TForm* ExceptForm);
  // Some other popup was opened from a control on Parent.
  bool HasChild(TForm* Parent);
  int GetFormIndex(TForm* Form);
  void ClosingForbide(TForm* AForm);
  void ClosingAllow(TForm* AForm);
  // The form's handler, made when missing (the form's OnDeactivate and OnClose taken over).
  TacFormHandler* GetHandler(TForm* Form, TWinControl* Control);

  int AnimDirection = 0;
  bool SkipOpen = false;
  bool MousePressed = false;
  bool IgnoreCapture = false;
  // One entry per popup form shown, owned; freed entries stay as nullptr.
  std::vector<TacFormHandler*> FormHandlers;

private:
  TacFormHandler* PreparePopup(TForm* AForm, TWinControl* AControl, bool ForceScale);
  void FinishShow(TForm* AForm, TacFormHandler* Handler, bool Animated, std::uint8_t Alpha);
  void DoFormDeactivate(TForm* Sender);
  void DoFormClose(TForm* Sender, TCloseAction& Action);
};

// The hooks of one popup form and its calling control.
class TacFormHandler {
public:
  TacFormHandler(TForm* Form, TWinControl* Control);
  ~TacFormHandler();
  TacFormHandler(const TacFormHandler&) = delete;
  TacFormHandler& operator=(const TacFormHandler&) = delete;

  // Closes the popup (DoAction: hides or frees it as its action says); nothing while it is
  // closed already, closing is forbidden or CloseQuery refuses.
  void Close(bool DoAction);
  // Gives the form and the control their procedures and events back.
  void Unhook();
  // The region of the client control's section border on the popup window.
  void SetPopupRegion(TBitmap* Bitmap);
  void CheckTimerTick();
  void KillShadow();

  TWinControl* ClientCtrl = nullptr;
  TWndMethod FormWndProc;
  TWndMethod CtrlWndProc;
  bool Initialized = false;
  bool ClosingForbidden = false;
  HWND CaptureHandle = nullptr;
  std::function<void(TForm* Sender, TCloseAction& Action)> OldOnClose;
  bool OldOnCloseKept = false;
  TacThreadedTimer* CheckTimer = nullptr;  // owned
  TsPopupController* Controller = nullptr;
  bool Closed = false;
  TForm* PopupForm = nullptr;
  TForm* ParentForm = nullptr;
  TWinControl* PopupCtrl = nullptr;
  TacShadowForm* ShadowForm = nullptr;  // owned

private:
  class TLink;
  friend class TLink;
  void FormHook(TMessage& Message);
  void CtrlHook(TMessage& Message);
  void CallForm(TMessage& Message);
  void CallCtrl(TMessage& Message);
  void ControlGone();
  std::unique_ptr<TLink> FLink;  // hears of the form's and the control's destruction
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// The shadow window of a popup: a click-through glow form below the popup that follows it.
class TacShadowForm : public TacGlowForm {
public:
  // Made for the popup AOwner; hooks its window procedure.
  TacShadowForm(TForm* AOwner, int Dummy);
  ~TacShadowForm() override;
  std::wstring ClassName() const override { return L"TacShadowForm"; }
  void AfterConstruction() override;

  // Draws and places the shadow for a popup at that screen rectangle (nothing once killed).
  void SetNewPos(int ALeft, int ATop, std::uint8_t BlendValue, int AHeight, int AWidth);
  void UpdateShadowPos();
  TBitmap* ShadowTemplate();
  TRect ShadowSize();
  TsSkinManager* SkinManager();
  void HideWnd();
  // Once: the popup gets its procedure back, and the shadow goes.
  void KillShadow();

  TsCommonData* sd = nullptr;
  TForm* FOwnerForm = nullptr;
  int FUserBlend = -1;
  bool FDestroyed = false;
  TWndMethod OldWndProc;
  bool Locked = true;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void PopupHook(TMessage& Message);
  void ReleaseOwner();
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// The shared controller (nullptr in a program that never shows popups: check it).
extern TsPopupController* PopupController;
// The shadow picture made at start-up (premultiplied), used while no skin is active.
TBitmap* PopupShadowTemplate();

// The unit's start-up and clean-up in the engine's sequence.
void PopupControllerUnitStartup();
void PopupControllerUnitCleanup();
