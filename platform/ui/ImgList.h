#pragma once
// The least image list the skinned controls refer to: its size, its number of images and
// the links that tell a control when the list changes. The images themselves come with the
// image lists of the engine.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <vector>

#include "platform/ui/Controls.h"

class TCustomImageList;

// A control's link to an image list: OnChange runs whenever the list changes. The link
// forgets the list when either of them goes.
class TChangeLink {
public:
  TChangeLink() = default;
  ~TChangeLink();
  TChangeLink(const TChangeLink&) = delete;
  TChangeLink& operator=(const TChangeLink&) = delete;
  TCustomImageList* Sender() const { return FSender; }
  std::function<void()> OnChange;

private:
  friend class TCustomImageList;
  TCustomImageList* FSender = nullptr;
};

class TCustomImageList : public TComponent {
public:
  TCustomImageList(TComponent* AOwner, int AWidth = 16, int AHeight = 16);
  ~TCustomImageList() override;
  std::wstring ClassName() const override { return L"TCustomImageList"; }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // Changing the size empties the list, as the system's lists do.
  void SetSize(int AWidth, int AHeight);
  // The system image list (made on first use); nullptr when it cannot be made.
  HIMAGELIST Handle();
  int Count() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }
  // Adds a bitmap (its width a multiple of Width) with a mask colour; the index of the
  // first image added, -1 on failure.
  int AddMasked(HBITMAP Image, COLORREF MaskColor);
  void Clear();

  void RegisterChanges(TChangeLink* Value);
  void UnRegisterChanges(TChangeLink* Value);
  // Tells every link that the list changed.
  void Change();

private:
  int FWidth, FHeight;
  HIMAGELIST FHandle = nullptr;
  std::vector<TChangeLink*> FLinks;
};

class TImageList : public TCustomImageList {
public:
  using TCustomImageList::TCustomImageList;
  std::wstring ClassName() const override { return L"TImageList"; }
};
