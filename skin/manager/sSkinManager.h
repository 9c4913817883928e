#pragma once
// The skin manager and the data of a loaded skin, as far as the pixel routines of the
// graphics units and the shell's main form use them so far: the skin images (masks), the
// manager's master bitmap, and the settings the main form applies to it. The loading,
// the sections, the painting and the rest of the manager are added by their own units;
// until then every form shows unskinned.
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
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

class TsSkinManager : public TComponent {
public:
  explicit TsSkinManager(TComponent* owner = nullptr) : TComponent(owner) {}
  std::wstring ClassName() const override { return L"TsSkinManager"; }

  TBitmap* MasterBitmap() const { return FMasterBitmap.get(); }

  struct TOptions {
    bool DrawNonClientArea = true;
  };
  struct TBlendOnMoving {
    bool Active = false;
    int Time = 1000;
  };
  struct TAnimEffects {
    TBlendOnMoving BlendOnMoving;
  };

  std::wstring SkinDirectory;
  bool Active = true;
  std::wstring SkinName;
  int HueOffset = 0;
  int Saturation = 0;
  int Brightness = 0;
  bool ExtendedBorders = false;
  TOptions Options;
  TAnimEffects AnimEffects;

  // Changes between BeginUpdate and the matching EndUpdate reach the forms as one repaint.
  void BeginUpdate() { ++FUpdateCount; }
  // The skin engine announces the change to the forms here; nothing is painted yet.
  void EndUpdate(bool Repaint = false, bool AllowAnimation = true) {
    (void)Repaint;
    (void)AllowAnimation;
    if (FUpdateCount > 0) --FUpdateCount;
  }
  int UpdateCount() const { return FUpdateCount; }

protected:
  std::unique_ptr<TBitmap> FMasterBitmap = std::make_unique<TBitmap>();

private:
  int FUpdateCount = 0;
};
