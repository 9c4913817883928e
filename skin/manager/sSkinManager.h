#pragma once
// The skin manager and the data of a loaded skin, as far as the pixel routines of the
// graphics units read them: the skin images (masks) and the manager's master bitmap.
// The loading, the sections and the rest of the manager are added by their own units.
#include <memory>
#include <vector>

#include "platform/ui/Graphics.h"

class TsSkinManager;

// One skin image: a rectangle R of a bitmap holding ImageCount state cells side by side,
// each Width x Height, optionally with a mask cell under each, cut by four margins.
struct TsMaskData {
  TBitmap* Bmp = nullptr;  // the image's own bitmap, owned by the skin data; nullptr: it lies
                           // in the manager's MasterBitmap
  TRect R;
  short ImageCount = 0;
  short MaskType = 0;
  short DrawMode = 0;
  TsSkinManager* Manager = nullptr;
  short WL = 0, WT = 0, WR = 0, WB = 0;
  int Cfg = 0;
  int Width = 0, Height = 0;
};

// One loaded skin at one pixel density.
class TacSkinData {
public:
  std::vector<TsMaskData> ma;  // skin images
};

class TsSkinManager {
public:
  TBitmap* MasterBitmap() const { return FMasterBitmap.get(); }

protected:
  std::unique_ptr<TBitmap> FMasterBitmap = std::make_unique<TBitmap>();
};
