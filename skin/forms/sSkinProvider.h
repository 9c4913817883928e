#pragma once
// The form skin provider: the component a form carries to be drawn with the skin. It takes
// the form's window procedure over (NewWndProc), keeps the form's skin state, its
// properties and its form-state flags, prepares the form while a skin is active, answers
// the library message like every skinned window, lets every message through untouched
// while the form is not skinned, and gives everything back when the skin goes or the
// provider is destroyed.
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/StringList.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Controls.Mouse.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/Menus.h"
#include "skin/graphics/acntTypes.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sMDIForm.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.Options.h"

class TForm;
class TsSkinManager;
class TacMainWnd;
class TacScrollWnd;
class TsScrollWndData;
class TsCommonData;
class TsMDIForm;
class TsThirdPartyList;
class TacSkinData;
class TsSkinProvider;
class TacGlowForm;
class THintWindow;
class TacThreadedTimer;
class TacCaptForm;
class TacDialogWnd;
struct TsCaptionButton;

// ---- border window (sSkinProvider.Border.cpp) -----------------------------------------
// The extended border and shadow window around a form or a skinned dialog: a layered window
// directly behind its owner in the Z order, owned by it, showing the owner's whole
// non-client image (frame, caption and soft shadow) with per-pixel alpha. It never takes the
// activation, lets the mouse fall through where only shadow is drawn and forwards the
// non-client mouse actions it receives to its owner.
class TacBorderForm {
public:
  // A border form of a provider or of a dialog handler: its window is made at once (unless
  // the owner forbids it). The owner sets SkinData right after.
  explicit TacBorderForm(TsSkinProvider* Owner);
  explicit TacBorderForm(TacDialogWnd* Owner);
  // A border form without owner: a holder of a window given to it (animations and tests).
  TacBorderForm() = default;
  TacBorderForm(const TacBorderForm&) = delete;
  TacBorderForm& operator=(const TacBorderForm&) = delete;
  virtual ~TacBorderForm();

  TPoint LastTopLeft;
  TPoint LastMousePos{-9999, -9999};
  bool LeftPressed = false;
  bool MainRgnReady = false;
  bool acInMouseMsg = false;
  bool MovRgnChanged = false;
  bool MaxMoving = false;
  void* FOwner = nullptr;           // the provider or the dialog handler; none for a holder
  TsSkinProvider* sp = nullptr;     // FOwner when it is a provider
  TacDialogWnd* FDialog = nullptr;  // FOwner when it is a dialog handler
  bool Locked = false;              // no placing, no shadow test (the rescale animation)
  bool ExBorderShowing = false;     // being placed, or an animation owns the window
  bool ResetRgn = false;            // the region is stale: UpdateRgn rebuilds it
  TacGlowForm* AForm = nullptr;     // the border window, owned; none while it is not made
  TWndMethod OldBorderProc;         // the glow form's procedure before BorderProc
  TBitmap* ShadowTemplate = nullptr;  // the skin's shadow template of the owner's state, not owned
  HWND ParentHandle = nullptr;        // the owner-window value the border window had before
  TsCommonData* SkinData = nullptr;   // the owner's skin state, not owned

  // Makes a new border window (freeing one that exists); nothing while the owner forbids it
  // (state 0x2000).
  virtual void CreateNewForm();
  // Frees the border window (AForm).
  void FreeBorderWindow();

  // ---- questions ----
  HWND OwnerHandle() const;
  std::uint32_t FormState() const;
  TRect ShadowSize() const;
  int OffsetX() const;
  int OffsetY() const;
  int CaptionHeight(bool CheckSkin = true) const;
  int MenuHeight() const;
  TRect IconRect() const;
  TsCaptionButton ButtonClose() const;
  TsCaptionButton ButtonHelp() const;
  TsCaptionButton ButtonMax() const;
  TsCaptionButton ButtonMin() const;
  int MinTopCoord() const;
  // HWND_TOP (0) for a stay-on-top form, HWND_TOPMOST for a topmost window, else the owner.
  HWND GetTopWnd() const;
  // The skin manager of the owner's skin state; none without.
  TsSkinManager* Manager() const;

  // ---- actions forwarded to the owner ----
  // Renders the owner's non-client image into SkinData's cache.
  void PaintAll();
  void KillAnimations();
  void SetHotHT(int HitCode);

  // ---- placement and region ----
  // Brings the window up to date with the owner's cache and position, behind the owner.
  // Blend: the constant alpha (0 shows the window without disturbing the owner).
  void UpdateExBordersPos(bool Redraw = true, std::uint8_t Blend = 255);
  // A new region for the border window (NewWidth, NewHeight: the owner's coming size while
  // it applies one, else 0); none without AForm. The caller owns it.
  HRGN MakeRgn(int NewWidth = 0, int NewHeight = 0);
  void UpdateRgn();

  // ---- mouse ----
  // The border window's procedure.
  void BorderProc(TMessage& Message);
  // The hit code of the screen point in LParam (signed halves).
  int Ex_WMNCHitTest(TMessage& Message);
  bool Ex_WMSetCursor(TMessage& Message);
  // Whether the mouse point of a mouse message lies in the pure shadow.
  bool MouseAboveTheShadow(TMessage& Message);

private:
  int ButtonOrdinal(const TPoint& P);  // P: relative to the border window
  void HandleNCMouseMove(TMessage& Message);
  void HandleNCLButtonDown(TMessage& Message);
  void HandleNCLButtonDblClk(TMessage& Message);
  void HandleShowWindow(TMessage& Message);
  void HandleClientMouse(TMessage& Message);
  void StretchEdge(int HitCode);
  void SendToOwner(TMessage& Message, WPARAM WParam);
  bool OwnerZoomed() const;
  bool OwnerIconic() const;
  // Cleared when the border form goes: code after a modal loop asks it first.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  // The image pushed to the window: the cache with its hidden pixels in the colour key,
  // kept between pushes.
  std::unique_ptr<TBitmap> FKeyedImage;
  // The window shows the keyed image: a window made anew (or shown by an animation's own
  // pushes first) gets it at the next update even without a redraw.
  bool FKeyedShown = false;
};
// ---- end of the border window -------------------------------------------------------

// What OnAfterAnimation tells of.
enum TacAnimEvent { aeShowing, aeHiding, aeSkinChanging };

// Form-state bits (FormState), set and cleared only through SetFormState.
enum : std::uint32_t {
  FS_SIZING = 0x1,
  FS_BLENDMOVING = 0x80,
  FS_ANIMMINIMIZING = 0x100,
  FS_ANIMCLOSING = 0x200,
  FS_ANIMRESTORING = 0x400,
  FS_THUMBDRAWING = 0x800,
  FS_COVERING = 0x1000,
  FS_ANIMSHOWING = 0x2000,
  FS_FULLHEIGHT = 0x4000,
  FS_FULLWIDTH = 0x8000,
  FS_CHANGING = 0x10000,
  FS_SCROLLHOOKING = 0x20000,
  FS_COUPLED = 0x40000,
  FS_MAXIMIZING = 0x80000,
  FS_DISABLED = 0x100000,
  FS_ACTIVATE = 0x200000,
  FS_RESTORING = 0x400000,
  FS_DPICHANGING = 0x1000000,
};


class TacSBAnimation;

// ---- the control adapter (sSkinProvider.Adapter.cpp) ----
class TacCtrlAdapter;
class TacSpeedButtonHandler;
class TsCommonData;
class TSpeedButton;

// One adopted windowed control and its window handler.
class TacAdapterItem {
public:
  TacAdapterItem(TacCtrlAdapter* AAdapter, TWinControl* Ctrl);
  // Frees the handler.
  ~TacAdapterItem();
  TacAdapterItem(const TacAdapterItem&) = delete;
  TacAdapterItem& operator=(const TacAdapterItem&) = delete;
  // Gives the control the handler its class name calls for (none when no list names it or
  // the list's handler kind is not there).
  void DoHook(TWinControl* Control, TacSkinParams& SkinParams);
  std::uint32_t COC = 0;
  TWinControl* WinCtrl = nullptr;
  TacMainWnd* ScrollWnd = nullptr;  // owned
  TacCtrlAdapter* Adapter = nullptr;
};

// One adopted speed button (a control without a window): its own skin state and handler.
class TacGraphItem {
public:
  // The skin state (with a cache, kind COC_TsGraphItem) is linked to the button from the
  // start, so the button's destruction is heard even before it is hooked.
  TacGraphItem(TacCtrlAdapter* AAdapter, TControl* Ctrl);
  // Frees the handler, cuts the skin state's links and frees it.
  ~TacGraphItem();
  TacGraphItem(const TacGraphItem&) = delete;
  TacGraphItem& operator=(const TacGraphItem&) = delete;
  void DoHook(TControl* Control);
  TacCtrlAdapter* Adapter = nullptr;
  TControl* Ctrl = nullptr;
  std::unique_ptr<TsCommonData> SkinData;
  TacSpeedButtonHandler* Handler = nullptr;  // owned
};

// The control adapter of a provider's form: gives the form's controls that the engine did
// not write the window handlers their class names call for, frames their adapter and
// embedded forms a provider of their own.
class TacCtrlAdapter {
public:
  explicit TacCtrlAdapter(TsSkinProvider* AProvider);
  // Drops dead items, then frees every item.
  virtual ~TacCtrlAdapter();
  TacCtrlAdapter(const TacCtrlAdapter&) = delete;
  TacCtrlAdapter& operator=(const TacCtrlAdapter&) = delete;

  // The handler kind made for a windowed control named in each class list (by list index).
  static const std::array<const wchar_t*, acThirdPartyCount> HandlerKinds;

  bool bFlag = false;  // AddAllItems is running
  std::wstring DefaultSection;
  std::vector<std::unique_ptr<TacAdapterItem>> Items;
  std::vector<std::unique_ptr<TacGraphItem>> GraphItems;
  TsSkinProvider* Provider;

  // Adopts every supported control below OwnerCtrl (the provider's form when none).
  virtual void AddAllItems(TWinControl* OwnerCtrl = nullptr);
  // Adopts one control inserted later, with DefaultSection.
  virtual void AddNewItem(TWinControl* Ctrl) { AddNewItem(Ctrl, DefaultSection); }
  void AddNewItem(TWinControl* Ctrl, const std::wstring& SkinSection);
  void AddNewItem(TSpeedButton* SpeedButton);
  virtual bool IsControlSupported(TControl* Control);
  // Passes a message to the handler of every adopted control that still lives.
  virtual void WndProc(TMessage& Message);
  // Frees the items whose handler is gone (none, or detached); the others keep their order.
  void CleanItems();
  // Frees every item, the last first.
  void RemoveAllItems();
  // Frees an item; the last one takes its place.
  void RemoveItem(int Index);
  int Count() const { return static_cast<int>(Items.size()); }
  TacAdapterItem* GetItem(int Index) const;
  int IndexOf(TWinControl* Ctrl) const;
  TsCommonData* GetCommonData(int Index) const;
  // An adapter is removing all its items (process-wide: one at a time).
  static bool RemovingAll();

private:
  // The provider's OnSkinItem and OnSkinItemEx; false when one of them vetoes.
  bool SkinItemAllowed(TControl* Control, TacSkinParams& Params);
  bool ClassListed(const std::wstring& ClassName);
};

// ---- end of the control adapter ----

// One caption button: its state, place in the form's non-client image and hit code.
struct TsCaptionButton {
  int cpState = 0;      // 0 normal, 1 hot, 2 pressed
  int cpGlowID = -1;
  TRect cpRect;         // a hidden button has Right = Left
  std::uint32_t cpHitCode = 0;
  TacSBAnimation* cpTimer = nullptr;
  bool cpHaveAlignment = false;
  TacTitleGlyph cpGlyphType = tgNone;
};

enum TsGripMode { gmNone, gmRightBottom };
enum TsResizeMode { rmStandard, rmBorder };
enum TacMenuItemPos { ipTop, ipBottom, ipBeforeClose };

// ---- title data holders: the user title buttons, the title icon, the added title and the
// header band (sSkinProvider.cpp). None of them paints: a change repaints the provider's frame
// at once or invalidates its skin state, and the next paint uses the new values.

class TsTitleButtons;
// A user caption button (hit code 1000 + its index).
class TsTitleButton {
public:
  // Named after its class; its glyph a 0 x 0 32-bit bitmap.
  explicit TsTitleButton(TsTitleButtons* Collection);
  // Frees the button's fade, its glyph and its hint window.
  ~TsTitleButton();
  TsTitleButton(const TsTitleButton&) = delete;
  TsTitleButton& operator=(const TsTitleButton&) = delete;
  static std::wstring ClassName() { return L"TsTitleButton"; }
  int Index() const;
  TsTitleButtons* Collection() const { return FCollection; }
  // Read here; written through WriteName, WriteVisible and WriteGlyph. Whatever gives the
  // glyph new pixels as a whole (its OnChange) stops the button's fade.
  std::wstring Name;
  bool Visible = true;
  const std::unique_ptr<TBitmap> Glyph;
  std::wstring Hint;
  bool Enabled = true;
  bool UseSkinData = true;
  TsCaptionButton Data;
  using TTitleButtonMouseEvent =
      std::function<void(TsTitleButton* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
  TTitleButtonMouseEvent OnMouseDown, OnMouseUp;
  THintWindow* HintWnd = nullptr;  // its hint, when the plain hint window shows it (owned)
  // Fire OnMouseDown / OnMouseUp (the provider's mouse handling calls them).
  void DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  void DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  // The glyph takes Value's pixels (none: it empties).
  void WriteGlyph(TBitmap* Value);
  void WriteName(const std::wstring& Value);
  // A shown or hidden button repaints the frame at once; its index and hit code stay.
  void WriteVisible(bool Value);
  // Copies Enabled, Glyph, Hint, Name, UseSkinData and the mouse events into Dest; without
  // a destination it raises EConvertError.
  void AssignTo(TsTitleButton* Dest) const;
  std::wstring GetDisplayName() const { return Name; }
  // Stops the button's fade (its layered window and timer).
  void FreeFade();

private:
  TsTitleButtons* FCollection;
};

// The provider's user caption buttons, in collection order.
class TsTitleButtons {
public:
  explicit TsTitleButtons(TsSkinProvider* Owner) : FOwner(Owner) {}
  // The owner is forgotten before the buttons go: nothing repaints a frame on the way.
  ~TsTitleButtons();
  TsTitleButtons(const TsTitleButtons&) = delete;
  TsTitleButtons& operator=(const TsTitleButtons&) = delete;
  TsTitleButton* Add();
  void Delete(int Index);
  void Clear() { FItems.clear(); }
  int Count() const { return static_cast<int>(FItems.size()); }
  TsTitleButton* Items(int Index) const { return FItems[static_cast<std::size_t>(Index)].get(); }
  void SetItem(int Index, const TsTitleButton& Value) { Value.AssignTo(Items(Index)); }
  int IndexOf(const TsTitleButton* Item) const;
  // Assigning copies the buttons' settings (not their rectangles or timers).
  void Assign(const TsTitleButtons& Source);
  // The collection's owner: the provider (none once it goes).
  TsSkinProvider* Owner() const { return FOwner; }

private:
  TsSkinProvider* FOwner;
  std::vector<std::unique_ptr<TsTitleButton>> FItems;
};

// The title icon settings: 0 sizes mean the glyph's or the caption's.
class TsTitleIcon {
public:
  explicit TsTitleIcon(TsSkinProvider* Owner = nullptr);
  // Read here; written through WriteGlyph. Whatever gives it new pixels as a whole (its
  // OnChange) repaints the frame at once.
  const std::unique_ptr<TBitmap> Glyph;
  int Width = 0;
  int Height = 0;
  bool Visible = true;  // read here; written through WriteVisible
  // The glyph takes Value's pixels (none: it empties).
  void WriteGlyph(TBitmap* Value);
  // Repaints the frame unless the provider loads, is designed or its skin state is updating.
  void WriteVisible(bool Value);
  TsSkinProvider* Owner() const { return FOwner; }

private:
  TsSkinProvider* FOwner;
};

// Extra title text beside the caption.
class TacAddedTitle {
public:
  // The font starts without a colour of its own (clNone): the skin's title colour is used.
  explicit TacAddedTitle(TsSkinProvider* Owner);
  TFont Font;  // read here; written through WriteFont
  std::wstring Text;
  bool ShowMainCaption = true;
  // Each writer stores a change and repaints the frame unless the provider loads.
  void WriteFont(const TFont& Value);
  void WriteShowMainCaption(bool Value);
  void WriteText(const std::wstring& Value);
  // The font goes into a form definition only when it differs from a default font.
  bool FontStored() const;
  TsSkinProvider* Owner() const { return FOwner; }

private:
  void Changed();
  TsSkinProvider* FOwner;
};

// The header area under the caption, painted with its own section.
class TacFormHeader {
public:
  explicit TacFormHeader(TsSkinProvider* Owner) : FOwner(Owner) {}
  int AdditionalHeight = 0;  // read here; written through WriteAdditionalHeight
  bool AdjustCaption = true;
  // A change invalidates the provider's skin state unless the provider loads.
  void WriteAdditionalHeight(int Value);
  // The added height scaled for the provider's skin state by the manager's scale mode.
  int ScaledAddHeight() const;

private:
  TsSkinProvider* FOwner;
};
// ---- end of the title data holders ----

// The extra submenu of the skinned system menu.
class TacSysSubMenu {
public:
  std::wstring Caption;
  TacMenuItemPos Position = ipBeforeClose;
  TPopupMenu* PopupMenu = nullptr;  // not owned
};

// The title bar component, its items and their fades.
#include "skin/forms/acTitleBar.h"

// ---- the system menu ----

// A popup menu that answers which of the window's commands are shown and allowed.
class TsCustomSysMenu : public TPopupMenu {
public:
  using TPopupMenu::TPopupMenu;
  virtual bool VisibleClose() = 0;
  virtual bool VisibleMax() = 0;
  virtual bool VisibleMin() = 0;
  virtual bool EnabledMax() = 0;
  virtual bool EnabledMin() = 0;
  virtual bool EnabledRestore() = 0;
};

// The skinned system menu of a provider's form: the window's own commands (with their texts
// and extra items), the user submenu and the skin list, drawn by the skinned menus.
class TsSystemMenu : public TsCustomSysMenu {
public:
  explicit TsSystemMenu(TsSkinProvider* AOwner);
  std::wstring ClassName() const override { return L"TsSystemMenu"; }
  bool VisibleClose() override;
  bool VisibleMax() override;
  bool VisibleMin() override;
  bool VisibleRestore();
  bool VisibleSize();
  bool EnabledMax() override;
  bool EnabledMin() override;
  bool EnabledRestore() override;
  bool EnabledClose();
  bool EnabledMove();
  bool EnabledSize();
  // ---- the items (sSkinProvider.Menus.cpp) ----
  // Rebuilds every item from the window's system menu and the user submenu.
  void Generate();
  // Generates when Full or without a close item; then shows and enables the commands.
  void UpdateItems(bool Full = false);
  // The items carry no glyphs of their own.
  void UpdateGlyphs() {}
  // Puts the skin-selection submenu first: every skin the manager lists, the current one checked.
  void MakeSkinItems();
  void SkinSelect(TMenuItem* Sender);
  void CloseClick(TMenuItem* Sender);
  void MaxClick(TMenuItem* Sender);
  void MinClick(TMenuItem* Sender);
  void MoveClick(TMenuItem* Sender);
  void RestoreClick(TMenuItem* Sender);
  void SizeClick(TMenuItem* Sender);
  void ExtClick(TMenuItem* Sender);
  TMenuItem* SubMenu = nullptr;
  TMenuItem* ItemMove = nullptr;
  TMenuItem* ItemSize = nullptr;
  TMenuItem* ItemClose = nullptr;
  TMenuItem* ItemRestore = nullptr;
  TMenuItem* ItemMinimize = nullptr;
  TMenuItem* ItemMaximize = nullptr;
  int ExtItemsCount = 0;
  // ---- end of the items ----
  TsSkinProvider* FOwner;
  TForm* FForm;

private:
  bool HasSysMenu() const;
  // ---- the items (sSkinProvider.Menus.cpp) ----
  void AddSysSubMenu(TacMenuItemPos Pos);
  TMenuItem* NewItem(const std::wstring& Caption, const std::wstring& Name, std::intptr_t Tag,
                     void (TsSystemMenu::*Click)(TMenuItem*));
  void SendCommand(UINT Command);
  // ---- end of the items ----
};

// The rescale pacing thread: every 6 ms it runs its callback on the UI thread until told to
// stop. The provider that started it stops it (Stop) before it goes; the thread alone owns
// NewAlphaBmp and TimeEvent.
class TacScaleThread {
public:
  using TOnTimer = std::function<void(TacScaleThread* Thread)>;
  explicit TacScaleThread(TOnTimer OnTimer);
  ~TacScaleThread();
  TacScaleThread(const TacScaleThread&) = delete;
  TacScaleThread& operator=(const TacScaleThread&) = delete;
  // Runs the loop on its own thread.
  void Start();
  // On the UI thread: no step runs after this returns, and the thread has ended. A step
  // waiting for the UI thread is answered without running.
  void Stop();
  bool Running() const { return FThread != nullptr && !FDone.load(); }
  // ---- the rescale animation's end ----
  // From a step on the UI thread: no step runs after this one, the loop ends on its own and
  // the frame bitmap goes now. The object itself goes with its provider's next KillAnimations.
  void Terminate();
  bool Terminated() const { return FStopped.load(); }
  // A step is running on the UI thread now (the thread waits for it).
  bool InStep() const { return FInStep; }
  // ---- end of the rescale animation's end ----
  std::unique_ptr<TBitmap> NewAlphaBmp;
  // Geometry the rescale animation fills.
  TPoint p;  // top-left of the window that shows the frames
  DWORD lTicks = 0;
  bool CanRecreate = false;
  TBitmap* SrcBmp = nullptr;             // the full image before scaling
  std::unique_ptr<TBitmap> OwnedSrcBmp;  // SrcBmp when it is a copy of the cache
  TRect NewBoundsRect;
  int OldPPI = 96;
  int DeltaX = 0, DeltaY = 0, DeltaCX = 0, DeltaCY = 0;
  // The window that shows the frames: the border window, or a cover form freed with the thread.
  TacGlowForm* ThreadCoverForm = nullptr;
  bool CoverOwned = false;

private:
  static DWORD WINAPI ThreadProc(void* Self);
  static LRESULT CALLBACK StepWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  void Execute();
  TOnTimer FOnTimer;
  HANDLE TimeEvent = nullptr;  // set by Stop: the loop ends
  HANDLE FThread = nullptr;
  HWND FStepWnd = nullptr;     // the UI thread's receiver of the steps
  std::atomic<bool> FDone{false};
  std::atomic<bool> FStopped{false};
  bool FInStep = false;  // UI thread only
};

// ---- caption-button fades and the item-hint timer (sSkinProvider.Caption.cpp) ----

// The fade of one caption button: a small layered window over the button that shows the
// button's state image at a growing (fading in) or falling (fading out) constant alpha, one
// step every 12 ms. A finished fade-in keeps ticking to see the mouse leave the button.
class TacSBAnimation : public TTimer {
public:
  explicit TacSBAnimation(TComponent* AOwner);
  ~TacSBAnimation() override;
  std::wstring ClassName() const override { return L"TacSBAnimation"; }
  int CurrentLevel = 0;
  int CurrentState = 0;   // -1 once a fade-out has ended
  int MaxIterations = 0;  // -1 once a fade-in has reached full strength
  TacBorderForm* BorderForm = nullptr;
  TsCommonData* SkinData = nullptr;
  HWND FormHandle = nullptr;
  TsCaptionButton* PBtnData = nullptr;
  bool Up = false;
  TacGlowForm* AForm = nullptr;
  std::unique_ptr<TBitmap> ABmp;
  // The provider whose button fades (none for a dialog handler's).
  TsSkinProvider* Provider = nullptr;
  // The alpha of one step.
  int Step() const { return std::max(0, 255 / (MaxIterations == 0 ? 1 : MaxIterations)); }
  void StartAnimation(int NewState, bool ToUp);
  void ChangeState(int NewState, bool ToUp);
  void OnAnimTimer();
  void CheckMouseLeave();
  int Offset();
  TRect GetFormBounds();
  void MakeForm();
  void MakeImg();
  void UpdateForm(std::uint8_t Blend);
  // Frees the window and the image (the fade object stays).
  void FreeWindow();
};

// The framework timer of a title-bar item's hint; it remembers the item it waits for.
class TacTimer : public TTimer {
public:
  using TTimer::TTimer;
  std::wstring ClassName() const override { return L"TacTimer"; }
  TacTitleBarItem* Item = nullptr;
};
// ---- end of the caption-button fades ----

class TsSkinProvider : public TComponent {
public:
  // Hooks its form (not at design time, not inert) and registers it with the skinned forms.
  explicit TsSkinProvider(TComponent* AOwner);
  // A provider made at run time for a form that has none: hooked now, initialised on the
  // form's first non-client message.
  static TsSkinProvider* CreateRT(TComponent* AOwner, bool InitRT = true);
  ~TsSkinProvider() override;
  std::wstring ClassName() const override { return L"TsSkinProvider"; }
  void AfterConstruction() override;
  void Loaded() override;
  // Gives the form its procedure back and frees what the provider owns.
  void BeforeDestruction() override;

  // ---- published properties ----
  bool AllowAnimation = true;
  bool AllowBlendOnMoving = true;
  bool AllowSkin3rdParty = true;
  bool DrawClientArea = true;
  bool MakeSkinMenu = false;
  bool ScreenSnap = false;
  bool DisabledBlured = false;
  bool AllowExtBorders() const { return FAllowExtBorders; }
  bool DrawNonClientArea() const { return FDrawNonClientArea; }
  bool ShowAppIcon() const { return FShowAppIcon; }
  bool UseGlobalColor() const { return FUseGlobalColor; }
  bool UWPMode() const { return FUWPMode; }
  // Index 0 AllowExtBorders, 1 DrawNonClientArea, 2 ShowAppIcon, 3 UseGlobalColor, 4 UWPMode.
  void SetFlagProperty(int Index, bool Value);
  const std::wstring& TitleSkin() const { return FTitleSkin; }
  const std::wstring& MenuLineSkin() const { return FMenuLineSkin; }
  // Index 0 TitleSkin, 1 MenuLineSkin.
  void SetSectionProperty(int Index, const std::wstring& Value);
  TacAddedTitle& AddedTitle() { return *FAddedTitle; }
  TAlignment CaptionAlignment() const { return FCaptionAlignment; }
  void WriteCaptionAlignment(TAlignment Value);
  std::uint8_t DisabledBlendValue() const { return FDisabledBlendValue; }
  void WriteDisabledBlendValue(std::uint8_t Value);
  TColor DisabledBlendColor() const { return FDisabledBlendColor; }
  void WriteDisabledBlendColor(TColor Value);
  TacFormHeader& FormHeader() { return *FFormHeader; }
  TStringList& GluedForms() { return *FGluedForms; }
  void WriteGluedForms(const TStringList& Value);
  TsScrollWndData* SkinData() const { return FCommonData.get(); }
  TsGripMode GripMode = gmNone;
  TsResizeMode ResizeMode() const { return FResizeMode; }
  // The border-drag resize mode is not carried: every value stores rmStandard.
  void WriteResizeMode(TsResizeMode Value);
  int SnapBuffer = 10;
  TacSysSubMenu& SysSubMenu() { return *FSysSubMenu; }
  TsTitleBar* TitleBar() const { return FTitleBar; }
  void WriteTitleBar(TsTitleBar* Value);
  // ---- title bar (sSkinProvider.TitleBar.cpp) ----
  // Adopts the title bar's items: their skin sections and their painter.
  void UpdateTitleBar();
  // Paints a title-bar item into R of Bmp (the cache or a fade's picture).
  void PaintTitleBarItem(TacTitleBarItem* Item, const TRect& R, TBitmap* Bmp);
  // ---- end of the title bar ----
  TsTitleButtons& TitleButtons() { return *FTitleButtons; }
  void WriteTitleButtons(const TsTitleButtons& Value);
  TsTitleIcon& TitleIcon() { return *FTitleIcon; }
  TsThirdPartyList& ThirdParty() { return *FThirdParty; }
  std::function<void(TsSkinProvider* Sender, TMessage& Message)> OnExtHitTest;
  std::function<void(TControl* Item, bool& CanBeAdded, std::wstring& SkinSection)> OnSkinItem;
  std::function<void(TControl* Item, bool& CanBeAdded, TacSkinParams& SkinParams)> OnSkinItemEx;

  // ---- public properties ----
  const TRect& IconRect() const { return FIconRect; }
  int LinesCount();
  std::uint32_t FormState() const { return FFormState; }
  // Stores the flags; a set bit 0x100 or 0x400 (each in turn) holds the form's alignment, a
  // cleared one lets it go again.
  void SetFormState(std::uint32_t Value);

  // ---- the manager ----
  // The form's own manager (the skin state's); nullptr: the default one.
  TsSkinManager* SkinManager = nullptr;
  // The manager the form is skinned by: its own, else the default one.
  TsSkinManager* Manager() const;

  // ---- life cycle ----
  void PrepareForm();
  void LoadInit();
  // Runs a message through NewWndProc.
  LRESULT ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam);
  // The form's window procedure while the provider serves it.
  void NewWndProc(TMessage& Message);

  // ---- switches ----
  bool NonClientSkinned();
  bool ExtBordersAllowed();
  void UpdateExtendedBorders(bool Enable);
  void ApplyDrawNonClientArea(bool Value);
  void UWPCaptionStyle(bool Maximized);
  bool UWPOnForm() const { return FUWPMode && !BorderForm; }
  void UpdateUWPMode();
  void CreateAdapter();
  void RemoveAdapter();
  void SendToAdapter(TMessage& Message);
  void InitLabel(TControl* Control, bool Skinned);
  void HookMDI(bool Active);
  void LoadThirdLists();
  void SaveThirdLists();
  void UpdateSysMenuStyle(bool Value);

  // ---- geometry ----
  int CaptionHeight(bool CheckSkin = true);
  int OffsetX();
  int OffsetY();
  TRect UWPClientRect();
  virtual int ButtonsTopOffset();
  int FixedFrameWidth();
  bool CacheSizeStale();
  TRect ShadowSize();
  int BorderWidth(bool CheckSkin = true);
  int BorderHeight(bool CheckSkin = true);
  int HeaderHeight();
  int CaptionWidth();
  bool SysRTLAllowed();
  int UpdateSizeFrame();
  int PaddedBorder();
  int MenuHeight();
  void InitCaptionButtons();
  // ---- caption layout ----
  // Places the title icon, the caption buttons, the user title buttons and the title bar in
  // the non-client image (origin: the window's top-left outside any shadow).
  void CalcItems();
  // Element sizes from the skin's images of the provider's density (defaults without one).
  int CaptionButtonHeight();
  int CaptionButtonWidth(const TsCaptionButton& Button);
  int SmallButtonWidth();
  int SmallButtonHeight();
  int TitleButtonWidth(const TsTitleButton& TitleButton);
  int TitleIconWidth();
  int TitleIconHeight();
  // The width the caption buttons take from the right edge, with and without a skin image.
  int ButtonsWidth();
  int ButtonsWidthWith(int MaskIndex);
  int SysButtonsCount();
  // The screen position of the non-client image's origin, and a screen point relative to it.
  TPoint FormOrigin();
  TPoint ScreenToFormPoint(int X, int Y);
  // Top-left of the size grip image in the non-client image; (0, 0) without a cache bitmap.
  TPoint GripPosition(int MaskIndex);
  // ---- end of the caption layout ----
  void UpdateTitleSkinIndexes();
  bool HeaderHasStates();

  // ---- caption elements, frame and menu line repaints (sSkinProvider.Caption.cpp and others) ----
  // Stops the fades of caption buttons, user title buttons and title-bar items, and the
  // rescale thread.
  void KillAnimations();
  // Moves the hot caption element to the hit code: the old one is left, the new one takes its
  // hot state and hint; with Repaint both are drawn again (fading where the skin fades).
  void SetHotHT(int Code, bool Repaint = true);
  // The hit code of the screen point in the message's LParam (WM_NCHITTEST's signed halves).
  int HitTest(TMessage& Message);
  // Paints the frame at once (the free RepaintFormFrame of this provider).
  void RepaintFormFrame();
  // Repaints the form's menu line.
  virtual void RepaintMenu();
  // Redraws this MDI form's menu line with the maximized child's buttons (Full: the client
  // window at once and the border window placed again).
  void RefreshMDIMenuLine(bool Full = false);
  void CaptionDragStart();
  // Covers the caption with a picture of itself while Windows draws its own; HideCaptionCover
  // takes the cover away (sSkinProvider.Anim.cpp).
  void ShowCaptionCover();
  void HideCaptionCover();
  // ---- glued forms, snapping and the disabled overlay (sSkinProvider.Glued.cpp) ----
  // Moves the slaves recorded for this form after it (or, FromBorderWindow, its border
  // window) moved; nothing while this form is itself moved as a slave.
  void MoveGluedForms(bool FromBorderWindow);
  // Pulls a proposed window position (X, Y) to the edges of the other skinned forms and of
  // the work area within SnapBuffer pixels; nothing while this form is moved as a slave.
  void SnapFormPosition(int& X, int& Y);
  // Shows, refreshes or (the form enabled, or no picture of it to be had) removes the
  // tinted picture that lies over the disabled form.
  void UpdateDisabledOverlay();
  // The overlay window while the form is disabled, owned; none otherwise.
  TacGlowForm* LayerForm = nullptr;
  // ---- end of glued forms, snapping and the disabled overlay ----
  // ---- the form's animations (sSkinProvider.Anim.cpp) ----
  // Starts the animated rescale to NewPPI (Recreate: the window may be made again).
  void StartScaleAnimation(int NewPPI, bool Recreate);
  // One frame of the rescale, on the UI thread; the last one terminates the thread.
  void ScaleAnimationStep(TacScaleThread* Thread);
  // The running form animation (a TacMoveTimer or a TacMinTimer), owned; none between them.
  TacThreadedTimer* FormTimer = nullptr;
  // Frees the form timer (none afterwards).
  void FreeFormTimer();
  // The caption cover while Windows draws the caption, owned.
  TacCaptForm* CaptForm = nullptr;
  // The provider's alive flag, for code that runs a modal loop and goes on afterwards.
  std::shared_ptr<bool> AliveFlag() const { return FAlive; }
  // ---- end of the form's animations ----

  // ---- the caption's mouse handlers: caption buttons, caption drag and menu line ----
  void WMNCMouseMove(TMessage& Message);
  void WMNCLButtonDown(TMessage& Message);
  void WMNCLButtonUp(TMessage& Message);  // also WM_LBUTTONUP
  void WMNCLButtonDblClk(TMessage& Message);
  void WMNCRButtonDown(TMessage& Message);
  void WMNCRButtonUp(TMessage& Message);
  void WMMouseMove(TMessage& Message);
  void WMSizing(TMessage& Message);
  void WMMouseLeave(TMessage& Message);  // also CM_MOUSELEAVE
  void CMMouseEnter(TMessage& Message);
  // Makes an element pressed (a left press on it is in progress).
  void SetPressedHT(int Code);
  // Shows the current state of one element: faded on a layered window, or from TempBmp.
  void RepaintButton(int Code);
  // The hint of a title-bar item, after the application's hint pause.
  void StartItemHint(TacTitleBarItem* Item);
  TacTimer* FHintTimer = nullptr;  // owned (a component of the provider)
  // Records the glued forms that touch this one for a drag (sSkinProvider.Glued.cpp).
  void CollectGluedForms();
  // The caption element of a hit code; nullptr for none or an invisible one.
  TsCaptionButton* ButtonByCode(int Code);
  // The title-bar item of a hit code 2000 to 2255; nullptr when none.
  TacTitleBarItem* ItemByCode(int Code);
  // The hit code of the point of a mouse message (screen point for non-client messages,
  // client point for WM_LBUTTONUP).
  int HitCodeOfPoint(const TMessage& Message);
  // ---- end of the caption's mouse handlers ----

  // ---- what the show animation and the skin-change transition read and write ----
  bool FUWPMode = false;
  std::function<void(TacAnimEvent Animation)> OnAfterAnimation;
  // Renders the form's complete non-client image into the skin state's cache bitmap: 1, or
  // 0 while the parent's background is not ready yet (the next paint tries again).
  int PaintAll();
  // A new region of the form's rectangle at (X, Y) without the corner rectangles.
  HRGN MakeCornerRgn(int X, int Y);
  // ---- end of what the animations read and write ----

  // ---- reached by the skin manager's application-window hook ----
  // Shows the form's system menu at the screen point (sSkinProvider.Menus.cpp).
  virtual void DropSysMenu(int X, int Y);
  // ---- end of the application-window hook's block ----

  // ---- what the hide animation reads and writes ----
  TacGlowForm* CoverForm = nullptr;  // a cover over the form made before it closes, owned
  // ---- end of what the hide animation reads and writes ----

  // ---- what the skin change reads and writes ----
  std::unique_ptr<TBitmap> CoverBmp;       // the form's look before a skin change
  TacBorderForm* BorderForm = nullptr;     // the extended border, none without
  // The corner rectangles from the key-colour runs of the skin's border masks.
  void UpdateCornerRects();
  // Computes and sets the window region; SetOnly sets it (redrawing by Redraw) without the
  // invalidation and non-client paint that follow otherwise.
  void ApplyWindowRgn(bool Redraw = true, bool SetOnly = false);

  // ---- non-client painting (sSkinProvider.Paint.cpp) ----
  // The title section, icon and the title-bar image behind the system buttons.
  void PaintTitle();
  // The caption text (and the added title) into the title area of the cache.
  void PaintCaptionText();
  void PaintTitleIcon();
  // Every caption button, user title button, title-bar item and MDI button into the cache.
  void PaintCaptionButtons(int Width);
  // One caption button's state image into the cache.
  void DrawCaptionButton(TsCaptionButton& Button, bool Enabled);
  // The cache area behind the caption buttons, kept in TempBmp.
  void SaveButtonsBg(int Width, bool Full);
  void RestoreButtonsBg(int Width);
  // Renders when the background changed, then copies the header and frame strips to DC.
  void DrawNonClient(HDC DC);
  // The work of WM_NCPAINT.
  void PaintNonClientArea();
  // WM_ERASEBKGND: the client background, the grip and the graphic children (DC 0: the form's).
  void EraseFormBackground(HDC DC);
  // WM_PAINT.
  void PaintFormClient(TMessage& Message);
  // The client part of the cache into DC, clipped to R.
  void PaintClient(HDC DC, const TRect& R, bool RepaintChildren);
  // The size grip drawn at its place into DC (window coordinates).
  void PaintGrip(HDC DC);
  // Attaches (skinned) or removes the handler of the form's own scroll bars.
  void HookFormScrollBars();
  // The colour the form shows.
  TColor FormColor();
  // Paint event of the MDI buttons' cover form: its strip of the cache.
  void MdiIcoFormPaint(TForm* Sender, HDC DC);
  // The window shadow of UWP mode for a state (built once per provider).
  TBitmap* UWPShadowTemplate(bool Active);
  // The state index of a section for the form's activity.
  int FormStateIndex(int SkinIndex);
  // The height of the cache bitmap.
  int CacheHeight();
  bool ControlsChanged = false;
  bool FirstInitialized = false;
  int FButtonsBgRows = 0;  // rows of TempBmp that SaveButtonsBg filled
  // ---- menu line and main menu (sSkinProvider.Menus.cpp) ----
  // Whether the form shows a main menu line with a visible item.
  bool MenuPresent();
  // Prepares the form's main menu for the menu line, once per skin.
  void InitMenus();
  // Rebuilds the main menu (re-entry answers false); true when there was one to rebuild.
  bool UpdateMenu();
  // Hooks (A) or unhooks the form's menus to and from the skinned menus.
  void InitMenuItems(bool A);
  // The maximized MDI child's buttons lie on this form's menu line.
  bool MDIButtonsOnMenuLine();
  // Item draws itself at R (non-client image) in State, and that part goes to the screen.
  void RepaintMenuItem(TMenuItem* Item, const TRect& R, TOwnerDrawState State);
  // Brings the MDI child of the window-list item forward.
  void WindowItemClick(TMenuItem* Sender);
  // The menu line's items into the cache (after its background); TitleBottom: the line's top.
  void PaintMenuLineItems(TBitmap* Cache, int TitleBottom);
  // The menu messages of a skinned form: WM_CHILDACTIVATE, WM_GETMINMAXINFO, WM_MEASUREITEM,
  // WM_INITMENUPOPUP, WM_ENTERMENULOOP and WM_EXITMENULOOP.
  void MenuMessage(TMessage& Message);
  // Cleared when the provider goes: whoever runs code that may free it asks it afterwards.
  std::shared_ptr<bool> AliveToken() const { return FAlive; }
  // ---- end of the menu line and main menu ----

  // ---- fields ----
  int CurrentHT = 0;
  int UserBtnIndex = -1;
  TRect FIconRect, FHintRect;
  std::unique_ptr<TacScaleThread> FScaleThread;
  bool bCapture = false;
  bool DoReinit = false;
  bool RgnChanged = true;
  bool bInProcess = false;
  bool MaxRestore = false;
  bool FSysExHeight = false;
  bool ClearButtons = false;
  bool OwnThirdLists = false;
  bool FMenuOwnerDraw = false;
  bool MenusInitialized = false;
  int LockCount = 0;
  int CYCaption = -1, CXSizeFrame = -1, CXFixedFrame = -1, CXPaddedBorder = -1;
  int FLinesCount = -1;
  int FHeaderIndex = -1, FTitleSkinIndex = -1, FCaptionSkinIndex = -1;
  int FHeaderHeight = 0;
  TRect NormalBounds, LastClientRect;
  std::unique_ptr<TBitmap> FGlow1, FGlow2, TempBmp, MenuLineBmp;
  TsCaptionButton MDIMin, MDIMax, ButtonMin, ButtonMax, ButtonHelp, ButtonClose, MDIClose;
  std::vector<TRect> Rects;
  // A label's font before the skin coloured it.
  struct TSavedLabelColor {
    TControl* Control;
    TColor Color;
    bool ParentFont;
  };
  std::vector<TSavedLabelColor> SavedLabelColors;
  std::unique_ptr<TBitmap> UWPTemplates[2];
  TRect UWPShadowSize;
  bool RTInit = false;
  bool RTEmpty = false;
  bool InAero = false;
  bool InMenu = false;
  bool AllowScale = true;
  bool biClicked = false;
  bool fAnimating = false;
  bool BigButtons = false;
  bool FormActive = false;
  bool MenuChanged = true;
  bool RgnChanging = false;
  bool FInAnimation = false;
  bool RightPressed = false;
  bool SkipAnimation = false;
  bool FHitGrip = false;  // the last hit test found the size grip
  TForm* Form = nullptr;
  std::vector<std::unique_ptr<TStringList>> ThirdLists;
  int VCenter = 0;
  std::unique_ptr<TsMDIForm> MDIForm;
  std::uint32_t FFormState = 0;
  // The handler of the form's own scroll bars (made with the scrolling handlers).
  TacMainWnd* ListSW = nullptr;
  TWndMethod OldWndProc;
  // The control adapter, owned (none until its unit makes one in CreateAdapter).
  std::unique_ptr<TacCtrlAdapter> Adapter;
  TShowAction ShowAction = saIgnore;
  std::unique_ptr<TsSystemMenu> SystemMenu;
  // The form's skin state.
  std::unique_ptr<TsScrollWndData> FCommonData;

  // The class brush the form's window class had before the skin changed it.
  HBRUSH FSavedClassBrush = nullptr;
  bool FClassBrushSaved = false;
  // Sets the window class's background brush, remembering the class's own first.
  void SetClassBrush(HBRUSH Brush);
  // Gives the class its own brush back.
  void RestoreClassBrush();

  // ---- library commands ----
  bool FirstStage(TMessage& Message);
  bool UnskinnedCommand(TMessage& Message);
  bool SkinnedCommand(TMessage& Message);

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void CallOld(TMessage& Message);
  bool FormUnskinned();
  void SyncManager();
  void UnskinnedWndProc(TMessage& Message);
  void SkinnedWndProc(TMessage& Message);
  void WheelForwarding(TMessage& Message);
  void RemoveSkin();
  void AnswerBackground(TMessage& Message, bool& Handled);
  void HandleNCActivate(TMessage& Message);
  void HandleSysCommand(TMessage& Message);
  void HandleMDIChildCommand(TMessage& Message);
  void HandleDpiChanged(TMessage& Message);
  void HandlePrint(TMessage& Message);
  void EraseBackgroundMessage(TMessage& Message);
  void NonClientPaintMessage(TMessage& Message);
  void HandleCopyData(TMessage& Message);
  void HandleParentNotify(TMessage& Message);
  void ReadSystemMetrics(int PPI);
  // ---- size, position and visibility handlers ----
  void HandleSize(TMessage& Message);
  void HandleClose(TMessage& Message);
  void HandleShowWindow(TMessage& Message);
  void HandleWindowPosChanging(TMessage& Message);
  void HandleWindowPosChanged(TMessage& Message);
  void HandleShowingChanged(TMessage& Message);
  void HandleVisibleChanged(TMessage& Message);
  // The unskinned state: before CM_VISIBLECHANGED reaches the old procedure, and after
  // WM_WINDOWPOSCHANGED and WM_NCDESTROY did.
  void PrepareHide(TMessage& Message);
  void CheckHideAnimation(TMessage& Message);
  void CleanUpOnDestroy();
  // The form closes with the manager's hide animation.
  bool HideAnimationApplies();
  // Takes the form's image into the cache (flag 0x200 around it) and shows it on the border
  // window; false when no image could be made (the cache stays as it was).
  bool TakeFormImage(bool KeepHiding);
  // ---- end of the size, position and visibility handlers ----
  void PrepareLabels(bool Skinned);
  // True while the provider and its form still stand after code that may have freed them.
  bool StillAlive(const std::shared_ptr<bool>& Alive) const { return *Alive; }

  bool FAllowExtBorders = true;
  bool FDrawNonClientArea = true;
  bool FShowAppIcon = true;
  bool FUseGlobalColor = true;
  std::wstring FTitleSkin, FMenuLineSkin;
  TAlignment FCaptionAlignment = taLeftJustify;
  std::uint8_t FDisabledBlendValue = 255;
  TColor FDisabledBlendColor = 0;
  TsResizeMode FResizeMode = rmStandard;
  TsTitleBar* FTitleBar = nullptr;
  std::unique_ptr<TsThirdPartyList> FThirdParty;
  std::unique_ptr<TacAddedTitle> FAddedTitle;
  std::unique_ptr<TacFormHeader> FFormHeader;
  std::unique_ptr<TsTitleIcon> FTitleIcon;
  std::unique_ptr<TsTitleButtons> FTitleButtons;
  std::unique_ptr<TacSysSubMenu> FSysSubMenu;
  std::unique_ptr<TStringList> FGluedForms;
  TWndMethod FHook;
  TsSkinManager* FLinkedManager = nullptr;  // the manager whose removal the provider hears of
  bool FHooked = false;
  bool FRegistered = false;
  bool FConstructed = false;
  // Cleared when the provider goes: code after a modal loop asks it before touching fields.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// ---- unit state ----
extern TsSkinProvider* MDISkinProvider;
extern TsSkinProvider* ChildSkinProvider;
extern bool PreviewRequested;
extern HWND PreviewWnd;
extern bool MDIChildFromMaximized;

// Links the form window with the outside skin editor when "/acpreview" asked for it.
void LinkSkinEditor(HWND Wnd);
// How long one send to the skin editor may take before it counts as not answering.
extern UINT LinkSendTimeout;

// Before a manager deletes Brush: every skinned form's window class that holds it gets the
// brush it had before a provider changed it.
void ReleaseClassBrush(HBRUSH Brush);

// ---- frame metrics ----
int SysBorderWidth(HWND Wnd, TacBorderForm* BorderForm, bool CheckSkin = true);
int SysBorderHeight(HWND Wnd, TacBorderForm* BorderForm, bool CheckSkin = true);
int SysCaptionHeight(TsSkinProvider* Provider, int PPI = 0);
int BorderFormTitleHeight(TacBorderForm* BorderForm);
int BorderFormBorderWidth(TacBorderForm* BorderForm);
int BorderFormTitleDiff(TacBorderForm* BorderForm);
int BorderFormBorderDiff(TacBorderForm* BorderForm);
// The skin's extended title height of a provider's form (maximized: the maximized value).
int ExtendedTitleHeight(TsSkinProvider* Provider, bool Maximized);
int ExtraTitleHeight(TsSkinProvider* Provider, bool Maximized);
bool HasSystemMenu(TsSkinProvider* Provider);
bool HasBorder(TsSkinProvider* Provider);
bool HasThickFrame(HWND Wnd);
bool HasMenuLine(TsSkinProvider* Provider);
bool GripVisible(TsSkinProvider* Provider);
bool InAnimation(TsSkinProvider* Provider);
bool MaskHasOneImage(int Index, TacSkinData* SkinData);
// The skin data of the provider's density; none while its manager has no active skin.
TacSkinData* ProviderSkinData(TsSkinProvider* Provider);
// The title icon's side for a caption height less the top margin: 16, 24 from 48, 32 above 64.
int TitleIconSize(int H);
// A user title button's glyph with its top-left at (X, Y): a 32-bit glyph blended, any other
// pasted with its bottom-left pixel as the key colour.
void DrawUserGlyph(TBitmap* Dst, TBitmap* Glyph, int X, int Y);
// The form shows its title icon: visible, bsSingle or bsSizeable, ShowAppIcon, a system menu.
bool TitleIconVisible(TsSkinProvider* Provider);
int WndWidth(HWND Wnd);
int WndHeight(HWND Wnd);
int WndClientWidth(HWND Wnd);
int WndClientHeight(HWND Wnd);


// A system metric at a density: GetSystemMetricsForDpi where user32 has it, else the
// process-wide value.
int SystemMetricForDpi(int Index, int PPI);

// A new 32-bit bitmap as large as the provider's cache with the whole form painted into it;
// nullptr without a cache. DropCache frees the cache afterwards. The caller owns the result.
std::unique_ptr<TBitmap> MakeFormImage(TsSkinProvider* Provider, bool DropCache = false);

// ---- border window helpers ----
// The square between the form's own visible scroll bars, in window coordinates; empty when
// either bar is hidden.
TRect OwnScrollGripSquare(HWND wnd);

// ---- reached by the skin manager's application-window hook ----
// Starts the provider's minimize animation; true when it runs or already ran.
bool StartMinimizing(TsSkinProvider* Provider);
// Starts the provider's restore animation; true when the provider took the restore over.
bool StartRestoring(TsSkinProvider* Provider);
// ---- end of the application-window hook's block ----

// ---- what the hide animation calls ----
// A new layered glow form without owner over the window's rectangle, topmost, holding a
// picture of the window (with the skin's border region when the window is skinned); the
// caller owns it.
TacGlowForm* MakeCoverForm(HWND Wnd, TsSkinProvider* Provider);
// ---- end of what the hide animation calls ----

// Desktop-window-manager helpers of the form skinning.
HRESULT SetDwmWindowAttribute(HWND Wnd, DWORD Attribute, const void* Value, DWORD Size);
void UseDwmTransitions(HWND Wnd, bool Value);

// ---- form animations and taskbar images (sSkinProvider.Anim.cpp) ----
// Loads dwmapi.dll once (never freed); its handle, none where it cannot be loaded.
HMODULE LoadDwmLibrary();
// Answers the taskbar's request for a thumbnail of at most Width x Height.
bool SendIconicThumbnail(HWND Wnd, TsSkinProvider* Provider, int Width, int Height);
// Answers the taskbar's request for the live preview.
bool SendIconicLivePreview(HWND Wnd, TsSkinProvider* Provider);
// Makes the taskbar ask for the window's images again; it does not load the library itself.
void InvalidateTaskbarBitmaps(HWND Wnd);
// Blur behind the window (before Windows 10, with composition); Region is deleted.
void EnableBlurBehind(HWND Wnd, bool Enable, HRGN Region = nullptr);
// The shell's taskbar window.
HWND TaskbarWindow();
// The screen rectangle of the application's taskbar button, or an empty rectangle.
TRect GetTaskbarButtonRect();
// The fitted size of a thumbnail of at most Width x Height for a SrcWidth x SrcHeight image
// (Width and Height are changed in place); false when either becomes 0.
bool FitThumbnailSize(int& Width, int& Height, int SrcWidth, int SrcHeight);
// The moving blend of a caption drag (Drag: the form performs the drag itself).
void StartBlendOnMoving(TsSkinProvider* Provider, bool Drag);
void StopBlendOnMoving(TsSkinProvider* Provider, TacGlowForm* CoverForm = nullptr);
// ---- end of form animations and taskbar images ----

// Repaints a provider's frame at once (after property changes).
void RepaintFormFrame(TsSkinProvider* Provider);
// The provider of the first form among the component's owners (asked with sub-command 4);
// nullptr when there is none. The popup controller reaches it too.
TsSkinProvider* FindParentProvider(TComponent* Component);

// SM_CXHSCROLL, read once (while the cached value is negative).
int CacheScrollArrowWidth();

// ---- glued forms and snapping (sSkinProvider.Glued.cpp) ----
#include "skin/forms/sSkinProvider.Glued.h"

// ---- caption buttons (sSkinProvider.Caption.cpp) ----
// Starts or redirects the fade of one caption button of a provider, or of a dialog handler
// when no provider is given. Steps: 10 for a state change, 1 for a press or without animation.
void StartCaptionButtonAnimation(TsCaptionButton& Button, int Steps, TacDialogWnd* DialogHandler,
                                 TsSkinProvider* Provider, bool Up);
// The hint of a user title button at the cursor; HideTitleButtonHint frees its window.
void ShowTitleButtonHint(TsTitleButton* Button);
void HideTitleButtonHint(TsTitleButton* Button);
// ---- end of the caption buttons' block ----

