#pragma once
// Circular progress controls: TsArcGauge, a determinate gauge (a faint ring with an arc
// whose sweep shows the value, and the value as text in the middle), and TsArcPreloader,
// an indeterminate spinner (a short arc travelling round the ring on a 12 ms timer).
//
// Without a skin they paint a plain look: the parent's colour, the ring in the base colour
// faded towards that background by BaseBlend, the arc in the progress (line) colour, and
// the text in the font's colour. Every picture is built in a cache bitmap and copied in one
// block, so the animation does not flicker.
#include "platform/ui/Controls.h"
#include "platform/ui/ExtCtrls.h"
#include <cstdint>
#include <memory>

class TsArcControl : public TWinControl {
public:
  explicit TsArcControl(TComponent* owner);
  std::wstring ClassName() const override { return L"TsArcControl"; }

  // Index writers: 0 GlyphIndex, 1 BaseAngle, 2 GlyphBlend; booleans 0 ShowText,
  // 1 GlyphReflected, 2 GlyphGrayed, 3 UseEllipsis. A changed value repaints.
  virtual void SetIntProp(int Index, int Value);
  virtual void SetBoolProp(int Index, bool Value);

  int GlyphIndex() const { return FGlyphIndex; }
  int BaseAngle() const { return FBaseAngle; }
  int GlyphBlend() const { return FGlyphBlend; }
  bool ShowText() const { return FShowText; }
  bool GlyphReflected() const { return FGlyphReflected; }
  bool GlyphGrayed() const { return FGlyphGrayed; }
  bool UseEllipsis() const { return FUseEllipsis; }
  // The control's text (its caption).
  std::wstring Text() const { return Caption(); }
  void SetText(const std::wstring& value) { SetCaption(value); }

  // The last picture painted (the control's size, 32 bits per pixel).
  TBitmap& Cache() { return FCache; }
  // Builds the picture into the cache and copies it onto the DC.
  void PaintCached(HDC dc);

protected:
  // Paints rings, arcs and text into the cache, already filled with the background.
  virtual void PaintArc(HDC dc, int S) = 0;
  void PaintWindow(HDC dc) override { PaintCached(dc); }
  void EraseBackground(HDC) override {}  // opaque: the picture covers the whole control
  // The ring (faded base colour) and an arc, both of pen width w, in the box of the ring.
  void DrawRing(HDC dc, int S, int w, TColor baseColor, int baseBlend);
  void DrawArcSegment(HDC dc, int S, int w, TColor color, double startAngle, double sweep);
  void DrawCentredText(HDC dc, int S, const std::wstring& text, TColor color);
  TColor BackgroundColor() const;

  int FBaseAngle = -90;
  int FGlyphBlend = 0;
  int FGlyphIndex = -1;
  bool FShowText = true;
  bool FGlyphGrayed = false;
  bool FUseEllipsis = true;
  bool FGlyphReflected = false;
  TBitmap FCache;
};

struct TacGaugePaintData {
  TColor ABaseColor, AFontColor, AProgressColor;
  int ALineWidth;
  std::wstring AText;
};

class TsArcGauge : public TsArcControl {
public:
  explicit TsArcGauge(TComponent* owner);
  std::wstring ClassName() const override { return L"TsArcGauge"; }

  // 10 LineWidth, 12 BaseBlend; others go to the base.
  void SetIntProp(int Index, int Value) override;
  // 10 Min, 11 Max, 12 Progress (limited to Min..Max first; changing Min or Max leaves a
  // stored Progress as it is).
  void SetInt64Prop(int Index, std::int64_t Value);
  // 10 BaseColor, 11 ProgressColor.
  void SetColorProp(int Index, TColor Value);

  std::int64_t Min() const { return FMin; }
  std::int64_t Max() const { return FMax; }
  std::int64_t Progress() const { return FProgress; }
  void SetMin(std::int64_t v) { SetInt64Prop(10, v); }
  void SetMax(std::int64_t v) { SetInt64Prop(11, v); }
  void SetProgress(std::int64_t v) { SetInt64Prop(12, v); }
  int LineWidth() const { return FLineWidth; }
  void SetLineWidth(int v) { SetIntProp(10, v); }
  int BaseBlend() const { return FBaseBlend; }
  TColor BaseColor() const { return FBaseColor; }
  TColor ProgressColor() const { return FProgressColor; }
  bool ShowTextValue() const { return FShowTextValue; }
  void SetShowTextValue(bool value);

  // May change what is painted, before each paint.
  std::function<void(TsArcGauge* Sender, TacGaugePaintData& Data)> OnGetPaintData;

protected:
  void PaintArc(HDC dc, int S) override;

private:
  std::int64_t FMin = 0, FMax = 100, FProgress = 47;
  int FBaseBlend = 222;
  int FLineWidth = 6;
  TColor FBaseColor = 0x969696;
  TColor FProgressColor = 0xFF9122;
  bool FShowTextValue = true;
};

enum TacMotionType { mtNormal, mtAcceleration };

struct TacPreloaderPaintData {
  TColor ABaseColor, ALineColor, AFontColor;
  int ALineWidth;
  std::wstring AText;
};

class TsArcPreloader : public TsArcControl {
public:
  explicit TsArcPreloader(TComponent* owner);
  std::wstring ClassName() const override { return L"TsArcPreloader"; }

  // 10 LineWidth, 11 Space, 12 LineAngle, 13 AnimStep, 14 BaseBlend; others go to the base.
  void SetIntProp(int Index, int Value) override;
  // 10 Animated (starts or stops the animation), 11 Stretched; others go to the base.
  void SetBoolProp(int Index, bool Value) override;
  // 10 BaseColor, 11 LineColor.
  void SetColorProp(int Index, TColor Value);

  int LineWidth() const { return FLineWidth; }
  void SetLineWidth(int v) { SetIntProp(10, v); }
  int Space() const { return FSpace; }
  int LineAngle() const { return FLineAngle; }
  int AnimStep() const { return FAnimStep; }
  int BaseBlend() const { return FBaseBlend; }
  TColor BaseColor() const { return FBaseColor; }
  TColor LineColor() const { return FLineColor; }
  bool Animated() const { return FAnimated; }
  void SetAnimated(bool v) { SetBoolProp(10, v); }
  bool Stretched() const { return FStretched; }
  TacMotionType MotionType = mtNormal;
  int ProgressAngle() const { return FProgressAngle; }
  // True while the 12 ms animation timer ticks: animated and visible.
  bool Animating() const;

  // One animation step, then the new text (when it differs) or a repaint.
  void DoProgress(const std::wstring& ANewText, int AStep);

  std::function<void(TsArcPreloader* Sender, TacPreloaderPaintData& Data)> OnGetPaintData;

  static constexpr UINT AnimInterval = 12;

protected:
  void PaintArc(HDC dc, int S) override;
  void VisibleChanging() override;

private:
  void UpdateAnimation();
  int FSpace = 4, FAnimStep = 4, FBaseBlend = 222, FLineAngle = 120, FLineWidth = 6, FProgressAngle = 0;
  TColor FBaseColor = 0x969696, FLineColor = 0xFF9122;
  bool FStretched = true, FAnimated = true;
  double ActualProgress = -1.0;
  TTimer* AnimTimer = nullptr;
};
