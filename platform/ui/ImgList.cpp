#include "platform/ui/ImgList.h"

#include <algorithm>

TChangeLink::~TChangeLink() {
  if (FSender) FSender->UnRegisterChanges(this);
}

TCustomImageList::TCustomImageList(TComponent* AOwner, int AWidth, int AHeight)
    : TComponent(AOwner), FWidth(AWidth), FHeight(AHeight) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* link : FLinks) link->FSender = nullptr;
  if (FHandle) ImageList_Destroy(FHandle);
}

void TCustomImageList::SetSize(int AWidth, int AHeight) {
  if (AWidth == FWidth && AHeight == FHeight) return;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FHandle) {
    ImageList_Destroy(FHandle);
    FHandle = nullptr;
  }
  Change();
}

HIMAGELIST TCustomImageList::Handle() {
  if (!FHandle && FWidth > 0 && FHeight > 0) FHandle = ImageList_Create(FWidth, FHeight, ILC_COLOR32 | ILC_MASK, 4, 4);
  return FHandle;
}

int TCustomImageList::AddMasked(HBITMAP Image, COLORREF MaskColor) {
  HIMAGELIST list = Handle();
  if (!list) return -1;
  int index = ImageList_AddMasked(list, Image, MaskColor);
  if (index >= 0) Change();
  return index;
}

void TCustomImageList::Clear() {
  if (FHandle && ImageList_GetImageCount(FHandle) > 0) {
    ImageList_Remove(FHandle, -1);
    Change();
  }
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
  if (!Value || Value->FSender == this) return;
  if (Value->FSender) Value->FSender->UnRegisterChanges(Value);
  Value->FSender = this;
  FLinks.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
  auto it = std::find(FLinks.begin(), FLinks.end(), Value);
  if (it == FLinks.end()) return;
  FLinks.erase(it);
  Value->FSender = nullptr;
}

void TCustomImageList::Change() {
  // A link's handler may unregister links: walk a copy, and skip the ones that went.
  std::vector<TChangeLink*> links = FLinks;
  for (TChangeLink* link : links)
    if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end() && link->OnChange) link->OnChange();
}
