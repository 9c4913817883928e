#pragma once
// The frame adapter: dropped on a frame, it takes the frame's window procedure over and
// paints the frame with the skin (background, scroll bars, popup menus), passes skin
// changes on to the frame's children and answers the library message for the frame.
#include <windows.h>

#include <memory>

#include "platform/ui/Controls.h"
#include "skin/manager/sCommonData.h"

class TCustomFrame;
class TacScrollWnd;

class TsFrameAdapter : public TComponent {
public:
  // Owner must be a frame: anything else raises the engine's text for it.
  explicit TsFrameAdapter(TComponent* Owner);
  ~TsFrameAdapter() override;
  std::wstring ClassName() const override { return L"TsFrameAdapter"; }
  void AfterConstruction() override;
  void Loaded() override;

  TsScrollWndData* SkinData() const { return FCommonData.get(); }
  // The frame's window procedure while the adapter is attached.
  void NewWndProc(TMessage& Message);
  void PaintFrame(HDC DC);
  void DrawFrame(HDC DC);
  bool PrepareFrameCache();

  std::unique_ptr<TsScrollWndData> FCommonData;
  TCustomFrame* Frame = nullptr;
  bool bRecFlag = false;
  TacScrollWnd* ListSW = nullptr;  // owned
  TWndMethod OldWndProc;

private:
  bool SecondStageSkinned();
  void HandleSkinCommand(TMessage& M);
  void FreeScrollWnd();
  void HookPopups(bool Active);
  // The installed procedure, the adapter's address and a liveness flag: the procedure
  // outlives the adapter (a later subclass may keep calling it) and then passes straight on.
  struct TProcLink;
  std::shared_ptr<TProcLink> FLink;
};
