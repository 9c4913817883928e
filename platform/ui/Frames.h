#pragma once
// Frames: reusable windowed containers with scroll bars. A frame owns the components made
// for it (popup menus, adapters) and frees them first thing in its destructor, while the
// frame is still whole: an owned object that took the frame's window procedure over gives
// it back to a complete control.
#include <functional>
#include <vector>

#include "platform/ui/Controls.h"

class TPopupMenu;

// One scroll bar of a scrolling container: the extent of the content (Range) against the
// client size; the bar shows when the content does not fit.
struct TFrameScrollBar {
  int Range = 0;
  int Position = 0;
};

class TScrollingWinControl : public TWinControl {
public:
  explicit TScrollingWinControl(TComponent* owner);
  std::wstring ClassName() const override { return L"TScrollingWinControl"; }
  TFrameScrollBar HorzScrollBar, VertScrollBar;
  // Shows or hides the bars for the present ranges and client size.
  void UpdateScrollBars();

protected:
  void CreateParams(TCreateParams& params) override;

private:
  void Scroll(int bar, WORD code);
};

class TCustomFrame : public TScrollingWinControl {
public:
  explicit TCustomFrame(TComponent* owner);
  ~TCustomFrame() override;
  std::wstring ClassName() const override { return L"TCustomFrame"; }
  // Fired after the frame's size changed, and by skin painting that changed its background.
  std::function<void()> OnResize;
  // The popup menus among the frame's owned components.
  std::vector<TPopupMenu*> PopupMenus() const;
};

class TFrame : public TCustomFrame {
public:
  using TCustomFrame::TCustomFrame;
  std::wstring ClassName() const override { return L"TFrame"; }
};
