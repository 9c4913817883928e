#pragma once
// The process's skin manager, as far as the shell's main form needs it so far: the
// settings that the main form applies to it. Loading and painting skins come with the
// skin engine; until then every form shows unskinned.
#include "platform/ui/Controls.h"
#include <string>

class TsSkinManager : public TComponent {
public:
  explicit TsSkinManager(TComponent* owner) : TComponent(owner) {}
  std::wstring ClassName() const override { return L"TsSkinManager"; }

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

private:
  int FUpdateCount = 0;
};
