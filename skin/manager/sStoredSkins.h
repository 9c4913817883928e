#pragma once
// Skins the program carries: each holds the bytes of a packed skin and a few descriptive
// values. When the named skin is neither a folder nor a packed file, the loader takes one.
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/Streams.h"
#include "platform/ui/Graphics.h"

class TsSkinManager;
class TsStoredSkins;

class TsStoredSkin {
public:
  // Flags the owning manager's skin list for a rebuild on its next use.
  explicit TsStoredSkin(TsStoredSkins* Collection);
  ~TsStoredSkin();
  TsStoredSkin(const TsStoredSkin&) = delete;
  TsStoredSkin& operator=(const TsStoredSkin&) = delete;

  // From another stored skin: a copy of its whole data, its master bitmap and its values.
  void Assign(const TsStoredSkin* Source);

  std::wstring Name;
  std::wstring Author;
  std::wstring Description;
  int Shadow1Blur = -1;
  int Shadow1Offset = 0;
  int Shadow1Transparency = 0;
  TColor BorderColor = 0xFF00FF;
  TColor Shadow1Color = 0;
  double Version = 0;
  std::unique_ptr<TBitmap> MasterBitmap;
  std::wstring OrigName;                       // kept as "OriginName"
  std::unique_ptr<TMemoryStream> PackedData;  // kept as "Data"; empty when none

private:
  TsStoredSkins* FCollection;
};

class TsStoredSkins {
public:
  explicit TsStoredSkins(TsSkinManager* AOwner) : FOwner(AOwner) {}
  TsStoredSkins(const TsStoredSkins&) = delete;
  TsStoredSkins& operator=(const TsStoredSkins&) = delete;

  // Appends a new stored skin and announces the change.
  TsStoredSkin* Add();
  int Count() const { return static_cast<int>(FItems.size()); }
  TsStoredSkin* Items(int Index) const { return FItems.at(static_cast<std::size_t>(Index)).get(); }
  // The first stored skin named exactly SkinName (case-sensitive); -1 when none.
  int IndexOf(const std::wstring& SkinName) const;
  // The collection changed (Item, or everything for nullptr): the manager's OnSkinListChanged fires.
  void Update(TsStoredSkin* Item);
  // Does nothing: stored skins are not copied between managers.
  void Assign(const TsStoredSkins& Source) { (void)Source; }
  TsSkinManager* GetOwner() const { return FOwner; }

private:
  TsSkinManager* FOwner;
  std::vector<std::unique_ptr<TsStoredSkin>> FItems;
};
