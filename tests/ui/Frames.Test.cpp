#include <gtest/gtest.h>

#include <vector>

#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Frames.h"
#include "platform/ui/Menus.h"
#include "support/ShellHarness.h"

namespace {

// Records, when destroyed, whether its owner frame was still whole.
class TWitness : public TComponent {
public:
  TWitness(TCustomFrame* owner, std::vector<bool>* log) : TComponent(owner), Frame(owner), Log(log) {}
  ~TWitness() override {
    Log->push_back(dynamic_cast<TCustomFrame*>(static_cast<TWinControl*>(Frame)) != nullptr &&
                   Frame->HandleAllocated() && IsWindow(Frame->Handle()));
  }
  TCustomFrame* Frame;
  std::vector<bool>* Log;
};

}  // namespace

TEST(Frames, OwnedComponentsGoFirstWhileTheFrameIsWhole) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  auto* frame = new TFrame(form);
  frame->SetParent(form);
  frame->SetBounds(0, 0, 100, 80);
  std::vector<bool> log;
  new TWitness(frame, &log);
  auto* menu = new TPopupMenu(frame);
  new TWitness(frame, &log);
  frame->Handle();
  EXPECT_EQ(frame->PopupMenus(), std::vector<TPopupMenu*>{menu});
  delete frame;  // directly, not through Free: the destructor itself frees them first
  EXPECT_EQ(log, (std::vector<bool>{true, true}));
  TComponent::Free(form);
}

TEST(Frames, ScrollBarsFollowTheRangeAndMoveTheChildren) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetClientSize(300, 200);
  auto* frame = new TFrame(form);
  frame->SetParent(form);
  frame->SetBounds(0, 0, 200, 150);
  int resized = 0;
  frame->OnResize = [&] { ++resized; };
  auto* child = new TPanel(frame);
  child->SetParent(frame);
  child->SetBounds(10, 100, 50, 50);
  form->Show();
  frame->VertScrollBar.Range = 400;
  frame->UpdateScrollBars();
  const HWND wnd = frame->Handle();
  EXPECT_TRUE(GetWindowLongW(wnd, GWL_STYLE) & WS_VSCROLL);
  EXPECT_FALSE(GetWindowLongW(wnd, GWL_STYLE) & WS_HSCROLL);

  struct Case {
    WORD Code;
    int Position;
  };
  for (const Case& c : {Case{SB_LINEDOWN, 8}, Case{SB_PAGEDOWN, 8 + frame->ClientRect().Height()},
                        Case{SB_BOTTOM, -1}, Case{SB_TOP, 0}}) {
    SendMessageW(wnd, WM_VSCROLL, c.Code, 0);
    const int page = frame->ClientRect().Height();
    const int want = c.Position >= 0 ? c.Position : (c.Code == SB_BOTTOM ? 400 - page : -1);
    if (want >= 0) EXPECT_EQ(frame->VertScrollBar.Position, want) << c.Code;
    EXPECT_EQ(child->Top(), 100 - frame->VertScrollBar.Position) << c.Code;
    EXPECT_EQ(GetScrollPos(wnd, SB_VERT), frame->VertScrollBar.Position) << c.Code;
  }
  resized = 0;
  frame->SetBounds(0, 0, 220, 160);
  EXPECT_GE(resized, 1);
  TComponent::Free(form);
}
