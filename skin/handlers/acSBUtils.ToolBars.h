#pragma once
// Tool bars and status bars: native tool bars of system dialogs painted button by button
// from their own messages, the framework's tool bars skinned through their advanced
// custom-draw events, and the framework's status bars with their panels and grip.
// Included by acSBUtils.h (TacMainWnd).
#include <cstdint>
#include <string>

class TToolBar;
class TToolButton;
class TStatusBar;
class TBitmap;

// A native tool bar ("toolbarwindow32").
class TacToolBarWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  TRect ClientRect;              // the client rectangle at the last cache build
  std::int32_t BorderWidth = 0;  // (window height - client height) div 2 at that time

  void acWndProc(TMessage& Message) override;
  int Count();
  TRect GetButtonRect(int Index);
  void PrepareCache();
  void DrawButtons(TBitmap* Bmp);
  void DrawBtn(int Index, const TRect& R, HDC DC);
  void AC_WMPaint(HDC DC);
  void AC_WMPrint(HDC DC);
  void AC_WMNCPaint();
};

// The two lines a native tool button's text is written in: every word index is tried and
// the last one decides, so one or two words stay on one line (First empty) and longer texts
// put their last two words on the second line.
void SplitToolButtonText(const std::wstring& Text, std::wstring& First, std::wstring& Second);
// The text of a native tool button (TB_GETBUTTONTEXTW, measured first); false without text.
bool ToolButtonText(HWND ToolBar, int Command, std::wstring& Text);

// A framework tool bar: the handler draws the background and every button as the tool
// bar's advanced custom-draw events.
class TacToolBarVCLWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  TToolBar* ToolBar = nullptr;
  std::int32_t HotButtonIndex = -1;
  TToolButton* DroppedButton = nullptr;

  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  // The client rectangle in window coordinates (the plain client rectangle without frame).
  TRect DisplayRect();
  TRect GetButtonRect(int Index);
  int IndexByMouse(TPoint P);
  void OurAdvancedCustomDraw(TToolBar* Sender, const TRect& ARect, int Stage, bool& DefaultDraw);
  void OurAdvancedCustomDrawButton(TToolBar* Sender, TToolButton* Button, unsigned State, int Stage,
                                   unsigned& Flags, bool& DefaultDraw);
  void PrepareCache();
  void RepaintButton(int Index);
  void WMNCPaint(HDC DC);

private:
  bool CacheOutdated();
  void InstallEvents();
  void RemoveEvents();
  void PaintBackground(HDC DC, const TRect& ClientInWindow, const TRect& ARect);
};

// A framework status bar.
class TacStatusBarWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  TStatusBar* StatusBar = nullptr;

  void AfterCreation() override;
  void acWndProc(TMessage& Message) override;
  int PartsCount();
  TRect PartRect(int Index);
  bool SimplePanel();
  std::wstring PartText(int Index);
  void DrawPanel(int Index, TRect R);
  void InternalDrawPanel(int Index, const TRect& R);
  void DoDrawText(const std::wstring& Text, TRect& R, unsigned Flags);
  void PaintPanels();
  void PaintGrip();
  void PrepareCache();
  void WMPaint(HDC DC);
  void WMNCPaint(HDC DC);
};

// Registers the kinds above with the handler factory (the unit's start-up runs it).
void RegisterToolBarHandlerKinds();
