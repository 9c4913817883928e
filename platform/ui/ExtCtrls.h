#pragma once
// Timers and panels.
//
// Timers belong to the UI thread. They do not each own a system timer: WM_TIMER is coarse
// (about 15.6 ms) and of low priority, so many short animation timers would drift and
// crowd the queue. One pump timer on a hidden window wakes at the earliest due time, and a
// scheduler on the performance counter runs every timer that is due. A tick that fails is
// logged once per distinct failure and the timer goes on; nothing leaves the pump.
// Panels are windowed containers that paint their colour, an optional bevel and an
// optional caption; a grid panel lays its children out in cells of percentage or absolute
// rows and columns.
#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"
#include <cstdint>
#include <functional>
#include <vector>

TARVEL_DECLARE_EXCEPTION(ETimerError, Exception)

class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  std::wstring ClassName() const override { return L"TTimer"; }

  // Starting or stopping a timer outside the UI thread raises ETimerError.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  UINT Interval() const { return FInterval; }
  void SetInterval(UINT value);
  // Ticks only while enabled, with a positive interval and a handler set. A tick that is
  // still running is not entered again (a handler may open a modal loop); ticks missed
  // meanwhile are dropped, not made up.
  void SetOnTimer(std::function<void()> handler);
  bool Running() const { return FSubscription != 0; }

private:
  friend class TTimerScheduler;
  void UpdateTimer();
  std::function<void()> FOnTimer;
  bool FEnabled = true;
  UINT FInterval = 1000;
  std::uint64_t FSubscription = 0;
};

// bvSpace leaves the bevel's room empty.
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomPanel : public TWinControl {
public:
  explicit TCustomPanel(TComponent* owner);
  std::wstring ClassName() const override { return L"TCustomPanel"; }

  TBevelCut BevelOuter = bvRaised;
  TBevelCut BevelInner = bvNone;
  int BevelWidth = 1;
  // Room between the bevels.
  int BorderWidth = 0;
  bool ShowCaption = true;
  TAlignment Alignment = taCenter;
  TVerticalAlignment VerticalAlignment = taVerticalCenter;
  // The children's area: the window's client area less the border and every bevel.
  TRect ClientRect() const override;
  // The width of the bevels and the border on each side.
  int FrameWidth() const;

  // Runs after the panel's size changed.
  std::function<void(TComponent* Sender)> OnResize;

  // The least of a docking surface: a dock site lists the controls docked in it, and the
  // panel draws a grab bar above each visible one when it has a dock manager.
  // ---- the frame style (read by the panel skinning) ----
  // bsNone or bsSingle (a sunken client edge); a change made after the window exists
  // recreates its frame.
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle value);
  // ---- end of the frame style ----

  bool DockSite = false;
  bool UseDockManager = false;
  std::vector<TControl*> DockClients;
  // The class name of the dock tree a dock manager is made of.
  static std::wstring DefaultDockTreeClassName;

protected:
  void PaintWindow(HDC dc) override;
  void CreateParams(TCreateParams& params) override;

private:
  TFormBorderStyle FBorderStyle = bsNone;
};

class TPanel : public TCustomPanel {
public:
  using TCustomPanel::TCustomPanel;
  std::wstring ClassName() const override { return L"TPanel"; }
};

enum TSizeStyle { ssAbsolute, ssPercent };

struct TCellItem {
  TSizeStyle SizeStyle = ssPercent;
  double Value = 0;
};

// Children take the cells row by row in the order they were given this parent. A child
// aligned in any way fills its cell (less its margins when AlignWithMargins); one that is
// not aligned keeps its size at the cell's top-left corner.
class TGridPanel : public TCustomPanel {
public:
  explicit TGridPanel(TComponent* owner);
  std::wstring ClassName() const override { return L"TGridPanel"; }

  std::vector<TCellItem> ColumnCollection;
  std::vector<TCellItem> RowCollection;
  // Sizes of the columns or rows that share out a length: absolute ones first, the rest by
  // their percentage of the percentages together; the last percentage one takes the remainder.
  static std::vector<int> CellSizes(const std::vector<TCellItem>& items, int length);

protected:
  void AlignControls(TRect area) override;
};
