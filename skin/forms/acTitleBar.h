#pragma once
// The title bar component: a row of extra items in a form's skinned caption (buttons,
// drop-down menu buttons, tabs, spacers and information fields), each with a glyph or an
// image-list image, a caption, a font, hot and pressed looks, hints and events. The bar owns
// the items and lays them out in the bar rectangle the form's skin provider gives it; the
// provider paints them (PaintTitleBarItem), hit-tests them (codes 2000 + index) and sends
// them the mouse. A hot change fades in or out on a small layered window (TacItemAnimation).
#include <windows.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Classes.Collection.h"
#include "platform/ui/Controls.Mouse.h"
#include "platform/ui/Controls.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Graphics.h"

class TsSkinProvider;
class TsTitleBar;
class TacTitleBarItem;
class TacGlowForm;
class TForm;
class THintWindow;
class TCustomImageList;
class TChangeLink;
class TPopupMenu;

enum TacBtnStyle { bsButton, bsMenu, bsTab, bsSpacing, bsInfo };
enum TacItemAlign { tbaLeft, tbaRight, tbaCenter, tbaCenterInSpace };

// What an item's OnDrawItem gets: the item's rectangle and the bitmap it was painted into.
struct TacTitleItemDrawData {
  TRect ARect;
  TBitmap* Bmp = nullptr;
};

// The skin section an item paints with (resolved by the provider's UpdateTitleBar).
class TacItemSkinData {
public:
  int SkinIndex = -1;
};

// The font settings of an item: its own font, the font actually used, glow, and which parts
// follow the system caption font and the skin.
class TacFontData {
public:
  TacFontData();
  ~TacFontData();
  TFont& Font() { return *FFont; }
  // Takes the font's settings; nothing is told.
  void SetFont(const TFont& Value) { FFont->Assign(Value); }
  std::unique_ptr<TFont> UsedFont;
  TColor GlowColor() const { return FGlowColor; }
  int GlowSize() const { return FGlowSize; }
  void SetGlowColor(TColor Value);
  void SetGlowSize(int Value);
  // 0 UseSysColor, 1 UseSysFontName, 2 UseSysGlowing, 3 UseSysSize, 4 UseSysStyle.
  bool UseSys(int Index) const { return (FUseSys >> Index) & 1u; }
  void SetUseSys(int Index, bool Value);
  bool UseSysColor() const { return UseSys(0); }
  bool UseSysFontName() const { return UseSys(1); }
  bool UseSysGlowing() const { return UseSys(2); }
  bool UseSysSize() const { return UseSys(3); }
  bool UseSysStyle() const { return UseSys(4); }
  // The window told about changes (the title bar form's window).
  HWND WndHandle = nullptr;
  // The glow drawer's stencil of the caption, kept between paints.
  std::unique_ptr<TBitmap> GlowMask;
  // Asks the window to lay the title out again (library sub-command 62, LParam 1).
  void Invalidate();

private:
  std::unique_ptr<TFont> FFont;
  TColor FGlowColor = 0x808080;
  int FGlowSize = 0;
  unsigned FUseSys = 0x1F;
};

// The fade of one item: its picture in the new state on a layered window over the item,
// at a growing or falling constant alpha, one step every 12 ms.
class TacItemAnimation : public TTimer {
public:
  explicit TacItemAnimation(TComponent* AOwner);
  ~TacItemAnimation() override;
  std::wstring ClassName() const override { return L"TacItemAnimation"; }
  int CurrentLevel = 0;
  int CurrentState = 0;   // the state being shown; -1 once a fade-out has ended
  int MaxIterations = 0;  // number of steps; -1 once a fade-in has reached full strength
  TacGlowForm* AForm = nullptr;    // the window showing the picture (owned)
  TacGlowForm* OldForm = nullptr;  // the previous window, kept until a new fade completes
  bool ToShow = false;
  std::unique_ptr<TBitmap> NewBmp;
  HWND FormHandle = nullptr;
  TacTitleBarItem* Item = nullptr;
  int Step() const { return std::max(255 / (MaxIterations == 0 ? 1 : MaxIterations), 0); }
  void StartAnimation(int NewState, bool Show);
  void ChangeState(int NewState, bool Show);
  void OnAnimTimer();
  void CheckMouseLeave();
  TRect GetFormBounds();
  void MakeImg();
  void MakeForm();
  void UpdateForm(std::uint8_t Blend);
  // Drops the picture and both windows.
  void FreeWindows();

private:
  HWND HostWindow() const;
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

class TacTitleItems;

class TacTitleBarItem : public TCollectionItem {
public:
  explicit TacTitleBarItem(TCollection* Collection);
  ~TacTitleBarItem() override;
  std::wstring ClassName() const override { return L"TacTitleBarItem"; }
  std::wstring GetDisplayName() const override { return Name(); }

  TsTitleBar* TitleBar() const;

  // ---- published properties ----
  TacItemAlign Align() const { return FAlign; }
  void SetAlign(TacItemAlign Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  const std::wstring& Caption() const { return FCaption; }
  void SetCaption(const std::wstring& Value);
  TCursor Cursor = crDefault;
  TPopupMenu* DropdownMenu = nullptr;  // not owned
  TacFontData& FontData() { return *FFontData; }
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  std::wstring Hint;
  std::wstring Name() const { return FName.empty() ? ClassName() : FName; }
  void SetName(const std::wstring& Value) { FName = Value; }
  bool ShowHint = false;
  const std::wstring& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const std::wstring& Value);
  TacBtnStyle Style() const { return FStyle; }
  void SetStyle(TacBtnStyle Value);
  std::intptr_t Tag = 0;
  // The Boolean properties: 0 AutoSize, 1 Down, 2 Enabled, 3 Visible.
  void SetBoolProp(int Index, bool Value);
  bool AutoSize() const { return FAutoSize; }
  bool Down() const { return FDown; }
  bool Enabled() const { return FEnabled; }
  bool Visible() const { return FVisible; }
  void SetAutoSize(bool Value) { SetBoolProp(0, Value); }
  void SetDown(bool Value) { SetBoolProp(1, Value); }
  void SetEnabled(bool Value) { SetBoolProp(2, Value); }
  void SetVisible(bool Value) { SetBoolProp(3, Value); }
  // The integer properties: 0 DisabledImageIndex, 1 ImageIndex, 2 HotImageIndex,
  // 3 PressedImageIndex, 4 NumGlyphs, 5 Spacing, 6 Height, 7 Width, 8 GroupIndex.
  int IntProp(int Index) const { return FInts[static_cast<std::size_t>(Index)]; }
  void SetIntProp(int Index, int Value);
  int DisabledImageIndex() const { return IntProp(0); }
  int ImageIndex() const { return IntProp(1); }
  int HotImageIndex() const { return IntProp(2); }
  int PressedImageIndex() const { return IntProp(3); }
  int NumGlyphs() const { return IntProp(4); }
  int Spacing() const { return IntProp(5); }
  int Height() const { return IntProp(6); }
  int Width() const { return IntProp(7); }
  int GroupIndex() const { return IntProp(8); }
  void SetDisabledImageIndex(int Value) { SetIntProp(0, Value); }
  void SetImageIndex(int Value) { SetIntProp(1, Value); }
  void SetHotImageIndex(int Value) { SetIntProp(2, Value); }
  void SetPressedImageIndex(int Value) { SetIntProp(3, Value); }
  void SetNumGlyphs(int Value) { SetIntProp(4, Value); }
  void SetSpacing(int Value) { SetIntProp(5, Value); }
  void SetHeight(int Value) { SetIntProp(6, Value); }
  void SetWidth(int Value) { SetIntProp(7, Value); }
  void SetGroupIndex(int Value) { SetIntProp(8, Value); }
  // Cells of the glyph strip: a count below 1 is taken as one cell.
  int GlyphCells() const { return NumGlyphs() > 0 ? NumGlyphs() : 1; }

  std::function<void(TacTitleBarItem* Item)> OnClick, OnMouseEnter, OnMouseLeave, OnChanged;
  std::function<void(TacTitleBarItem* Item, TacTitleItemDrawData& ADrawData)> OnDrawItem;
  std::function<void(TacTitleBarItem* Item, TMouseButton Button, TShiftState Shift, int X, int Y)> OnMouseDown,
      OnMouseUp;
  // The provider's painter of the item (PaintTitleBarItem).
  std::function<void(TacTitleBarItem* Item, const TRect& R, TBitmap* Bmp)> OnInternalDraw;

  // ---- public state ----
  // The bar's built-in look of a drop-down button ("MENUBTN"); nullptr without a bar.
  TBitmap* DefaultMenuBtn() const;
  bool DroppedDown = false;
  bool Pressed = false;
  TSize ContentSize{0, 0};
  int State() const;         // 2 while dropped down or down, else the stored state
  void SetState(int Value);  // stores 2 while dropped down
  THintWindow* HintWnd = nullptr;  // owned
  TRect Rect;                      // place in the non-client image (CalcSizes)
  std::unique_ptr<TacItemSkinData> Data;
  TacGlowForm* ExtForm = nullptr;  // the border window the Rect refers to, none without
  TacItemAnimation* Timer = nullptr;  // the fade (owned by the form)

  // ---- operations ----
  void DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  void DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  void DoClick();
  void UpdateSize(bool ContentOnly);
  void InitFont(TsSkinProvider* Provider);
  void ScaleItem(int NewValue, int OldValue);
  int IntXMargin() const { return FStyle == bsMenu ? 4 : 0; }
  void Invalidate(bool RecalcSize);
  void Changed();
  // A button or menu item whose drop-down menu has items.
  bool HasDropdown() const;
  // Frees the fade.
  void FreeFade();
  // The width and height the layout uses: as set with AutoSize, else scaled to the density.
  int LayoutWidth(int PPI) const { return FAutoSize ? Width() : Width() * PPI / 96; }
  int LayoutHeight(int PPI) const { return FAutoSize ? Height() : Height() * PPI / 96; }
  // Lives while the item lives (checked after the modal menus).
  std::shared_ptr<bool> AliveToken() const { return FAlive; }

protected:
  void AssignTo(TCollectionItem* Dest) const override;

private:
  friend class TsTitleBar;
  TForm* OwnerForm() const;
  TsSkinProvider* Provider() const;
  void OpenDropdown();
  TacItemAlign FAlign = tbaLeft;
  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = true, FDown = false, FEnabled = true, FVisible = true;
  std::wstring FCaption, FName, FSkinSection;
  std::unique_ptr<TBitmap> FGlyph;
  std::unique_ptr<TacFontData> FFontData;
  TacBtnStyle FStyle = bsButton;
  std::array<int, 9> FInts{-1, -1, -1, -1, 1, 4, 18, 22, 0};
  int FState = 0;
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

class TacTitleItems : public TCollection {
public:
  explicit TacTitleItems(TsTitleBar* Owner);
  TacTitleBarItem* Add() { return static_cast<TacTitleBarItem*>(AddItem()); }
  TacTitleBarItem* Items(int Index) const { return static_cast<TacTitleBarItem*>(GetItem(Index)); }
  TacTitleBarItem* operator[](int Index) const { return Items(Index); }
  // Item Index takes Value's settings (TacTitleBarItem's AssignTo).
  void SetItem(int Index, const TacTitleBarItem* Value);
  // A new item at Index; the provider's fades stop first while a caption press runs.
  TacTitleBarItem* Insert(int Index) override;
  TsTitleBar* TitleBar() const { return FOwner; }

protected:
  TCollectionItem* NewItem() override { return new TacTitleBarItem(this); }

private:
  TsTitleBar* FOwner;
};

class TsTitleBar : public TComponent {
public:
  // The owner must be a form (EAbort otherwise).
  explicit TsTitleBar(TComponent* AOwner);
  ~TsTitleBar() override;
  std::wstring ClassName() const override { return L"TsTitleBar"; }
  void Loaded() override;

  // ---- published properties ----
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  TacTitleItems& Items() { return *FItems; }
  // The bar's items become copies of Value's; nothing is laid out or repainted here.
  void SetItems(const TacTitleItems& Value);
  int ItemsMargin = 3;
  int ItemsSpacing = 0;  // kept with the form, not used by the layout
  int RightSpacing = 0;
  bool ShowCaption() const { return FShowCaption; }
  void SetShowCaption(bool Value);

  TRect BarRect() const { return FBarRect; }
  TRect CaptionRect() const { return FCaptionRect; }
  int LeftWidth() const { return FLeftWidth; }
  int RightWidth() const { return FRightWidth; }

  // Asks the form to lay the title out again (sub-command 62, LParam 1) unless it loads.
  void Invalidate();
  // Measures the items (with a provider whose manager is active).
  void UpdateSizes(bool AutoSizedOnly = true);
  // Places the visible items in FBarRect.
  void CalcSizes();
  void UpdateScale(int NewValue);

  TForm* Form = nullptr;
  TsSkinProvider* SP = nullptr;
  int FLeftWidth = 0, FRightWidth = 0, FCenterWidth = 0, FCenterWidthS = 0;
  TRect FCaptionRect;
  int FFullRight = 0;
  int FBarVCenter = 0;
  int OldScaleValue = 100;
  TRect FBarRect;
  bool FUpdating = false;
  bool Initialized = false;
  std::unique_ptr<TBitmap> FDefaultMenuBtn;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  std::unique_ptr<TacTitleItems> FItems;
  TCustomImageList* FImages = nullptr;
  std::unique_ptr<TChangeLink> FImageChangeLink;
  bool FShowCaption = false;
};

// Starts or retargets an item's fade (Steps of 12 ms; Show: fading in) over ExtForm's
// coordinates when the caption lies on a border window.
void StartItemFade(TacTitleBarItem* Item, int Steps, bool Show, TacGlowForm* ExtForm);
void ShowItemHint(TacTitleBarItem* Item);
void HideItemHint(TacTitleBarItem* Item);

// "MENUBTN" made 32-bit: every pixel but the key colour opaque with its colours scaled by
// that alpha; the key pixels kept. nullptr when the module carries no such bitmap.
std::unique_ptr<TBitmap> LoadDefaultMenuButton();
// The process-wide guard of the title bar's drop-down menus: true while one is open, or while
// the click that closed one over its item has yet to come.
bool TitleBarDropdownGuarded();
// The mouse left the item: its next press opens its menu again.
void ReleaseTitleBarDropdownGuard(TacTitleBarItem* Item);
