#pragma once
// The handler of a system dialog the hook took over (acDials.Dialog.cpp) and its own skinned
// system menu (acDials.SysMenu.cpp). Included by acDials.h.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/Graphics.h"
#include "platform/ui/Menus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/handlers/acSBUtils.h"

class TacBorderForm;
class TacGlowForm;
class TacMoveTimer;
class TacProvider;
class TacSystemMenu;

// The border kinds of a dialog, read from its style when the handler takes it over.
enum TacBorderStyle { acbsDialog, acbsSingle, acbsNone, acbsSizeable, acbsToolWindow, acbsSizeToolWin };

// The dialog handler: caption, frame, caption buttons, icon and background of a system dialog
// ("#32770") drawn from the skin section "DIALOG", optionally inside the extended border
// window, the window region with the skin's corners, the show, hide and close animations and
// the transparency while it is moved. The dialog's own scroll bars are skinned by the base.
class TacDialogWnd : public TacScrollWnd {
public:
  using TacScrollWnd::TacScrollWnd;
  TacDialogWnd() = default;  // a handler not attached to any window
  ~TacDialogWnd() override;

  // ---- fields ----
  int CurrentHT = 0;                    // hit code of the hot or pressed caption element
  int CXSizeFrame = 0, CXFixedFrame = 0;  // the last frame widths read for the dialog's density
  int FCaptionSkinIndex = -1;           // "CAPTION"
  bool Initialized = false;             // the children have their handlers
  bool FFormActive = true;
  bool AnimClosing = false;             // a close animation's cover is up
  bool FWMPaintForbidden = true;        // WM_PAINT is only validated
  TacMoveTimer* MoveTimer = nullptr;    // the transparency while moving, owned by the application
  std::vector<TRect> ArOR;              // corner rectangles cut out of the region
  TsCaptionButton ButtonMin, ButtonMax, ButtonHelp, ButtonClose;
  std::unique_ptr<TBitmap> TitleBG;     // the caption rows of the painted image
  std::unique_ptr<TBitmap> TempBmp;
  std::unique_ptr<TBitmap> TitleGlyph;  // the small icon on the key colour
  LONG dwStyle = 0, dwExStyle = 0;      // the styles as the handler found them
  TacGlowForm* CoverForm = nullptr;     // a cover over the dialog made before it closes, owned
  TacBorderForm* BorderForm = nullptr;  // the extended border, none without; owned
  TRect LastClientRect;
  HICON TitleIcon = nullptr;            // the dialog's own icon (WM_GETICON): never destroyed here
  HFONT TitleFont = nullptr;            // the system caption font, owned
  std::uint32_t FormState = 0;          // 0x80 moving with transparency, 0x1 border update in a resize
  bool RgnChanged = true;
  TacBorderStyle BorderStyle = acbsSingle;
  TacSystemMenu* SystemMenu = nullptr;  // owned
  TacProvider* Provider = nullptr;      // what the hook made for the dialog
  int TitleIndex = -1;                  // "DIALOGTITLE"
  bool HadNoIdleMsg = false;            // the dialog's DS_NOIDLEMSG before the handler cleared it

  // ---- creation ----
  void AfterCreation() override;
  // Fixes the border style after the children are attached (with DrawNonClientArea).
  virtual void InitParams();
  void PrepareTitleGlyph();
  void UpdateIconsIndexes();
  void SetExtBorders(bool On);
  void KillAnimations();
  void RestoreStdParams() override;

  // ---- caption-button visibility and enablement (from the saved style) ----
  bool VisibleClose();
  bool VisibleMax();
  bool VisibleMin();
  bool VisibleHelp();
  bool VisibleRestore();
  bool EnabledClose();
  bool EnabledMax();
  bool EnabledMin();
  bool EnabledRestore();
  bool FormActive() const { return FFormActive; }

  // ---- metrics ----
  virtual int CaptionHeight(bool CheckSkin);
  virtual int OffsetX();
  virtual int OffsetY();
  virtual void ShadowSize(TRect& R);
  TRect IconRect();
  int HeaderHeight();
  int BorderHeight();
  int FramePadding();
  int SysButtonWidth(const TsCaptionButton& Button);
  int ButtonHeight(const TsCaptionButton& Button);
  int TitleBtnsWidth();
  // A screen point relative to the window rectangle.
  TPoint CursorToPoint(int X, int Y);
  // Within 2 pixels of the edges of a zoomed dialog (the hot element is cleared then).
  bool AboveBorder(const TPoint& P);

  // ---- painting ----
  virtual void PaintAll();
  void PaintBorderIcons();
  void PaintCaption(HDC DC);
  void MakeTitleBG();
  virtual void UpdateCornerRects();
  virtual void ApplyWindowRgn(bool Redraw);

  // ---- caption buttons ----
  int HTProcess(TMessage& Message);
  void SetHotHT(int Code, bool Repaint = true);
  void SetPressedHT(int Code);
  void RepaintButton(int Code);
  TsCaptionButton* ButtonByCode(int Code);
  void DropSysMenu(int X, int Y);
  void SendToAdapter(TMessage& Message);

  void acWndProc(TMessage& Message) override;
  // Cleared when the handler goes: code after a modal loop or a sent command asks it first.
  std::shared_ptr<bool> AliveFlag() const { return FAlive; }

private:
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  int FrameWidth();          // with the extended value
  int FrameHeight();
  int SysFrameWidth();       // the window's own answer
  bool NonClient();          // DrawNonClientArea of the manager
  TacSkinData* SkinDataOf();
  void ReadGeometry();
  void PaintTitle(TBitmap* Cache, const TRect& Shadow);
  void PaintForm(HDC DC);
  void Ac_WMPaint(HDC DC);
  void AttachChildren();
  void HandleNCLButtonDown(TMessage& Message);
  void HandleNCLButtonUp(TMessage& Message);
  void HandleSize(TMessage& Message);
  void HandleSkinCommand(TMessage& Message);
  void FreeButtonFades();
  void ForgetSkinObjects();
  // WS_SYSMENU off the live style (On) or back from the saved style.
  void TakeSystemMenuStyle(bool On);
  void RemoveOwnRegion();
  bool FStyleTaken = false;   // WS_SYSMENU was removed by the handler
  bool FRgnSet = false;       // the region is the handler's
  bool FClassTaken = false;   // counted among the dialogs that took CS_SAVEBITS off the class
  ATOM FClassAtom = 0;
  HBRUSH FCtlBrush = nullptr;  // the one WM_CTLCOLORDLG brush, for FCtlBrushColor
  TColor FCtlBrushColor = clNone;
  std::unique_ptr<TBitmap> FGlow;
};

// The dialog's skinned system menu: six commands whose visibility and enablement follow the
// dialog handler's saved style and state; a click sends the matching WM_SYSCOMMAND.
class TacSystemMenu : public TsCustomSysMenu {
public:
  explicit TacSystemMenu(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TacSystemMenu"; }
  TacDialogWnd* FOwner = nullptr;
  TMenuItem* ItemMove = nullptr;
  TMenuItem* ItemSize = nullptr;
  TMenuItem* ItemClose = nullptr;
  TMenuItem* ItemRestore = nullptr;
  TMenuItem* ItemMinimize = nullptr;
  TMenuItem* ItemMaximize = nullptr;

  bool VisibleClose() override;
  bool VisibleMax() override;
  bool VisibleMin() override;
  bool EnabledMax() override;
  bool EnabledMin() override;
  bool EnabledRestore() override;
  bool EnabledMove();
  bool EnabledSize();
  bool VisibleSize();
  void UpdateItems();

  void RestoreClick(TMenuItem* Sender);
  void MoveClick(TMenuItem* Sender);
  void SizeClick(TMenuItem* Sender);
  void MinClick(TMenuItem* Sender);
  void MaxClick(TMenuItem* Sender);
  void CloseClick(TMenuItem* Sender);

private:
  void SendCommand(WPARAM Command);
};

// The face-substituted font of an owner-drawn item: selected into DC (a font equal to the DC's
// own with the manager's face name) and the DC's font before answered, nullptr when nothing was
// selected. One font per face and base font is kept while the skin lasts.
HFONT SelectDrawItemFont(HDC DC);
// Frees the kept fonts (skin change, clean-up).
void ForgetDrawItemFonts();
// Registers the dialog-handler kind with the handler factory (the unit's start-up).
void RegisterDialogHandlerKind();
// The number of dialog handlers that took CS_SAVEBITS off a window class (tests).
int DialogClassUsers();
