#pragma once
// The framework's stand-alone scroll bar over the system's "SCROLLBAR" class.
#include <functional>

#include "platform/ui/Controls.h"

enum TScrollBarKind { sbHorizontal, sbVertical };

class TScrollBar : public TWinControl {
public:
  explicit TScrollBar(TComponent* owner);
  std::wstring ClassName() const override { return L"TScrollBar"; }
  TARVEL_PUBLISHED_CLASS(TScrollBar)

  TScrollBarKind Kind() const { return FKind; }
  void SetKind(TScrollBarKind value);
  int Min() const { return FMin; }
  int Max() const { return FMax; }
  int Position() const { return FPosition; }
  int PageSize() const { return FPageSize; }
  void SetMin(int value) { SetParams(FPosition, value, FMax); }
  void SetMax(int value) { SetParams(FPosition, FMin, value); }
  void SetPosition(int value) { SetParams(value, FMin, FMax); }
  void SetPageSize(int value);
  // Range and position at once: the position is kept inside Min..Max - PageSize + 1.
  void SetParams(int position, int min, int max);
  int SmallChange = 1;
  int LargeChange = 1;
  std::function<void(TControl*)> OnChange;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  void Apply();
  // A scroll message of the window reflected by its parent.
  void DoScroll(TMessage& m);
  TScrollBarKind FKind = sbHorizontal;
  int FMin = 0, FMax = 100, FPosition = 0, FPageSize = 0;
};
