#pragma once
// ---- tab controls, page controls and their pages (acSBUtils.Tabs) ----
// Included by acSBUtils.h.
class TTabSheet;
class TBitmap;
struct TCacheInfo;

// Tab controls: the whole control painted from the cache: the page body from the page
// section, every tab from the skin's tab element of its side with its text and icon, the
// active tab last over the page body; the scroll arrows get a spin handler.
class TacTabControlWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  ~TacTabControlWnd() override;
  TacMainWnd* BtnSW = nullptr;  // the spin handler of the up-down child (owned)

  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  // The display area (TCM_ADJUSTRECT of the size) with its top 2 pixels lower.
  virtual TRect ClientRect();
  // The page body: the size rectangle with the tab side moved to the display area.
  virtual TRect PageRect();

  void AC_WMPaint(TMessage& Message);
  int ActiveTabIndex();
  void CheckUpDown();
  void DrawSkinTab(int Index, int State, TPoint Offset, TBitmap* Bmp);
  void DrawSkinTab(int Index, int State, HDC DC);
  void DrawSkinTabs(const TCacheInfo& CI);
  TRect SkinTabRect(int Index, bool Active);
  // 0 tabs, 1 buttons, 2 flat buttons.
  int Style();
  int TabCount();
  // 0 top, 1 bottom, 2 left, 3 right.
  int TabPosition();
  TRect TabRect(int Index);
  // The row of a tab, from 1; 1 for a tab without a size.
  int TabRow(int TabIndex);
  TRect TabsRect();

protected:
  TacTabControlWnd() = default;
  void TabHandling(TMessage& Message) { TacTabControlWnd::acWndProc(Message); }

private:
  bool HandleSkinCommand(TMessage& Message);
  void RedrawSpin();
};

// Page controls: the tab control's painting, and a page handler for every page.
class TacPageControlWnd : public TacTabControlWnd {
public:
  using TacTabControlWnd::TacTabControlWnd;
  void AfterCreation() override;
  TRect ClientRect() override;
  TRect PageRect() override;
  void acWndProc(TMessage& Message) override;
  void InitPages();
};

// A page: painted from its tab control's background.
class TacPageWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  TTabSheet* Page = nullptr;
  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  // The background into DC; false when the tab control had none to give.
  bool AC_WMEraseBKGnd(HDC DC);
  int TabPosition();
};

// The row rule of TacTabControlWnd.TabRow on given rectangles (Position as TabPosition).
int TabRowOf(int Position, int Rows, const TRect& Tab, const TRect& Tabs);
// The rectangle rule of TacTabControlWnd.SkinTabRect on a given tab rectangle.
TRect SkinTabRectOf(TRect R, int Position, bool Active, int Covering);

// Registers the tab kinds with the handler factory (the unit's start-up runs it).
void RegisterTabHandlerKinds();
// ---- end of tab controls, page controls and their pages ----
