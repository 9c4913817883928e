#include "skin/controls/sLabel.h"

void TsCustomLabel::SetSkinSection(const std::wstring& value) {
  if (FSkinSection == value) return;
  FSkinSection = value;
  FSkinIndex = -1;
  Invalidate();
}

void TsShadow::SetDistance(int value) {
  if (FDistance == value) return;
  FDistance = value;
  ParentControl->Invalidate();
}

void TsShadow::SetBlurCount(int value) {
  if (FBlurCount == value) return;
  FBlurCount = value;
  ParentControl->Invalidate();
}

void TsShadow::SetColor(TColor value) {
  if (FColor == value) return;
  FColor = value;
  ParentControl->Invalidate();
}

void TsShadow::SetMode(TsShadowMode value) {
  if (FMode == value) return;
  FMode = value;
  ParentControl->Invalidate();
}

void TsShadow::SetAlphaValue(std::uint8_t value) {
  if (FAlphaValue == value) return;
  FAlphaValue = value;
  ParentControl->Invalidate();
}

void TsKind::SetKindType(TsKindType value) {
  if (FKindType == value) return;
  FKindType = value;
  FOwner->Invalidate();
}

void TsKind::SetColor(TColor value) {
  if (FColor == value) return;
  FColor = value;
  FOwner->Invalidate();
}

TsLabelFX::TsLabelFX(TComponent* owner) : TsCustomLabel(owner) {}

void TsLabelFX::SetAngle(int value) {
  if (FAngle == value) return;
  FAngle = value;
  if (FAngle != 0) WordWrap = false;
  Invalidate();
}

TColor TsLabelFX::CurrentTextColor() {
  TColor c = Kind.KindType() == ktCustom ? Kind.Color() : clWindowText;
  return Enabled() ? c : clGrayText;
}
