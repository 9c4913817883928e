#pragma once
// Labels of the skin engine. Without a skin they paint as the framework's label: their
// font colour (grey text when disabled) on the parent's face. TsLabelFX keeps its angle,
// shadow and colour kind for the skinned look; unskinned it paints its text level and
// without a shadow.
#include "platform/ui/StdCtrls.h"

class TsCustomLabel : public TCustomLabel {
public:
  explicit TsCustomLabel(TComponent* owner) : TCustomLabel(owner) {}
  std::wstring ClassName() const override { return L"TsCustomLabel"; }

  std::wstring SkinSection() const { return FSkinSection; }
  void SetSkinSection(const std::wstring& value);

protected:
  std::wstring FSkinSection;
  int FSkinIndex = -1;  // not resolved
};

class TsLabel : public TsCustomLabel {
public:
  using TsCustomLabel::TsCustomLabel;
  std::wstring ClassName() const override { return L"TsLabel"; }
  bool UseSkinColor = true;
};

enum TsKindType { ktStandard, ktCustom, ktSkin };
enum TsShadowMode { smNone, smCustom, smSkin1 };

class TsLabelFX;

// The shadow extents last applied to the label's bounds.
struct TacOffsetKeeper {
  int LeftTop = 0;
  int RightBottom = 0;
};

class TsShadow {
public:
  explicit TsShadow(TsLabelFX* owner) : ParentControl(owner) {}
  int Distance() const { return FDistance; }
  void SetDistance(int value);
  int BlurCount() const { return FBlurCount; }
  void SetBlurCount(int value);
  TColor Color() const { return FColor; }
  void SetColor(TColor value);
  TsShadowMode Mode() const { return FMode; }
  void SetMode(TsShadowMode value);
  std::uint8_t AlphaValue() const { return FAlphaValue; }
  void SetAlphaValue(std::uint8_t value);
  TacOffsetKeeper OffsetKeeper;

private:
  TsLabelFX* ParentControl;
  int FDistance = 1;
  int FBlurCount = 4;
  TColor FColor = 0;
  TsShadowMode FMode = smSkin1;
  std::uint8_t FAlphaValue = 255;
};

class TsKind {
public:
  explicit TsKind(TsLabelFX* owner) : FOwner(owner) {}
  TsKindType KindType() const { return FKindType; }
  void SetKindType(TsKindType value);
  TColor Color() const { return FColor; }
  void SetColor(TColor value);

private:
  TsLabelFX* FOwner;
  TColor FColor = 0xFFFFFF;
  TsKindType FKindType = ktSkin;
};

class TsLabelFX : public TsCustomLabel {
public:
  explicit TsLabelFX(TComponent* owner);
  std::wstring ClassName() const override { return L"TsLabelFX"; }

  int Angle() const { return FAngle; }
  // A non-zero angle switches word wrap off.
  void SetAngle(int value);
  TsShadow Shadow{this};
  TsKind Kind{this};

protected:
  TColor CurrentTextColor() override;

private:
  int FAngle = 0;
};
