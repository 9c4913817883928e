#include "skin/manager/sStoredSkins.h"

#include <algorithm>
#include <cstring>

#include "skin/manager/acSkinList.h"
#include "skin/manager/sSkinManager.h"

namespace {
void CopyBitmap(TBitmap& target, TBitmap& source) {
  if (source.Empty()) {
    target.SetSize(0, 0);
    return;
  }
  target.SetPixelFormat(source.PixelFormat());
  target.SetSize(source.Width(), source.Height());
  const int rowBytes = std::min(target.RowBytes(), source.RowBytes());
  for (int y = 0; y < source.Height(); ++y) std::memcpy(target.ScanLine(y), source.ScanLine(y), rowBytes);
}
}  // namespace

TsStoredSkin::TsStoredSkin(TsStoredSkins* Collection)
    : MasterBitmap(std::make_unique<TBitmap>()), PackedData(std::make_unique<TMemoryStream>()),
      FCollection(Collection) {
  TsSkinManager* manager = Collection ? Collection->GetOwner() : nullptr;
  if (manager && manager->SkinListController) manager->SkinListController->UpdateNeeded = true;
}

TsStoredSkin::~TsStoredSkin() = default;

void TsStoredSkin::Assign(const TsStoredSkin* Source) {
  if (!Source || Source == this) return;
  PackedData = std::make_unique<TMemoryStream>(Source->PackedData->Bytes());
  CopyBitmap(*MasterBitmap, *Source->MasterBitmap);
  Name = Source->Name;
  Author = Source->Author;
  Version = Source->Version;
  BorderColor = Source->BorderColor;
  Description = Source->Description;
  Shadow1Blur = Source->Shadow1Blur;
  Shadow1Color = Source->Shadow1Color;
  Shadow1Offset = Source->Shadow1Offset;
  Shadow1Transparency = Source->Shadow1Transparency;
}

TsStoredSkin* TsStoredSkins::Add() {
  FItems.push_back(std::make_unique<TsStoredSkin>(this));
  TsStoredSkin* item = FItems.back().get();
  Update(item);
  return item;
}

int TsStoredSkins::IndexOf(const std::wstring& SkinName) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i]->Name == SkinName) return static_cast<int>(i);
  return -1;
}

void TsStoredSkins::Update(TsStoredSkin* Item) {
  (void)Item;
  if (FOwner && FOwner->OnSkinListChanged) FOwner->OnSkinListChanged(FOwner);
}
