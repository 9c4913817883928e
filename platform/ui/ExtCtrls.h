#pragma once
// Timers and panels.
//
// Every timer of the thread ticks through one hidden window, so animations can run many
// short timers without a window each. Panels are windowed containers that paint their
// colour, an optional bevel and an optional caption; a grid panel lays its children out in
// cells of percentage or absolute rows and columns.
#include "platform/ui/Controls.h"
#include <cstdint>
#include <functional>
#include <vector>

class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  std::wstring ClassName() const override { return L"TTimer"; }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  UINT Interval() const { return FInterval; }
  void SetInterval(UINT value);
  // Ticks only while enabled, with a positive interval and a handler set.
  void SetOnTimer(std::function<void()> handler);
  bool Running() const { return FRunning; }

private:
  void UpdateTimer();
  static LRESULT CALLBACK TimerWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  std::function<void()> FOnTimer;
  bool FEnabled = true;
  UINT FInterval = 1000;
  UINT_PTR FId = 0;
  bool FRunning = false;
};

enum TBevelCut { bvNone, bvLowered, bvRaised };

class TCustomPanel : public TWinControl {
public:
  explicit TCustomPanel(TComponent* owner);
  std::wstring ClassName() const override { return L"TCustomPanel"; }

  TBevelCut BevelOuter = bvRaised;
  int BevelWidth = 1;
  bool ShowCaption = true;
  TAlignment Alignment = taCenter;
  TVerticalAlignment VerticalAlignment = taVerticalCenter;
  TRect ClientRect() const override;

protected:
  void PaintWindow(HDC dc) override;
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
