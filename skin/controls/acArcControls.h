#pragma once
// Circular progress controls: TsArcGauge, a determinate gauge (a faint ring with an arc
// whose sweep shows the value, a centred text and an optional glyph), and TsArcPreloader,
// an indeterminate spinner (a short arc travelling round the ring, or a rotating mask or
// picture, on a 12 ms timer).
//
// Both paint only through the cache bitmap of their skin state: the background (the
// parent's, or the control's skin section over it), then the ring, arcs, text and glyph,
// copied to the window in one block, so the animation does not flicker.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Controls.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/ImgList.h"
#include "skin/graphics/acThdTimer.h"

class TsCommonData;

class TsArcControl : public TWinControl {
public:
  explicit TsArcControl(TComponent* owner);
  ~TsArcControl() override;
  std::wstring ClassName() const override { return L"TsArcControl"; }
  void BeforeDestruction() override;
  void Loaded() override;
  // The arc controls never take the focus.
  bool CanFocus() const override { return false; }

  // Index writers: 0 GlyphIndex, 1 BaseAngle, 2 GlyphBlend; booleans 0 ShowText,
  // 1 GlyphReflected, 2 GlyphGrayed, 3 UseEllipsis. A changed value repaints.
  virtual void SetIntProp(int Index, int Value);
  virtual void SetBoolProp(int Index, bool Value);
  // The image index to draw.
  virtual int CurrentGlyphIndex() { return FGlyphIndex; }
  // Builds the picture in the skin state's cache and copies it onto the DC.
  virtual void PaintCached(HDC dc);
  // The glyph's state: always normal.
  virtual int CurrentState() { return 0; }

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

  TsCommonData* SkinData() const { return FCommonData.get(); }
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  TBitmap* Glyph() const { return FGlyph.get(); }
  // Takes a copy of the picture (nullptr empties the glyph) and repaints.
  void SetGlyph(TBitmap* Value);

  // The last picture painted (the control's size, 32 bits per pixel).
  TBitmap& Cache();
  // The pen width a paint uses for a line width: scaled for the control and capped at
  // S div 2 + 1, with S = min(Width, Height) - 1.
  int EffectiveLineWidth(int width, int S);

protected:
  // Paints rings, arcs, masks, text and glyph into the cache over its background.
  virtual void PaintArc() = 0;
  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  void EraseBackground(HDC) override {}  // opaque: the picture covers the whole control

  // S = min(Width, Height) - 1.
  int ArcSize() const;
  // The colour of the text (and, under a skin, of the ring).
  TColor ArcFontColor();
  // The ring's and the arc's colours: the properties, or under an active skin the font
  // colour and the hot colour of "SELECTION".
  void ArcColors(TColor baseProp, TColor progressProp, TColor fontColor, TColor& base, TColor& progress);
  // The control's skin section over the parent's background, into the whole cache.
  void PaintSkinBackground();
  // The faint ring: the base colour shown through an anti-aliased grey ellipse.
  void PaintRing(int S, int w, int baseBlend, TColor baseColor);
  // Centred text (when ShowText) and glyph, g pixels apart.
  void PaintTextAndGlyph(const std::wstring& text, TColor fontColor, int S, int g);

  int FBaseAngle = -90;
  int FGlyphBlend = 0;
  int FGlyphIndex = -1;
  bool FShowText = true;
  bool FGlyphGrayed = false;
  bool FUseEllipsis = true;
  bool FGlyphReflected = false;
  TCustomImageList* FImages = nullptr;
  std::unique_ptr<TsCommonData> FCommonData;
  std::unique_ptr<TChangeLink> FImageChangeLink;
  std::unique_ptr<TBitmap> FGlyph;
  // The ring's grey mask, drawn again only when the size, pen or blend changes: the
  // animation paints it every 12 ms.
  std::unique_ptr<TBitmap> FRingMask;
  int FRingKey[3] = {-1, -1, -1};
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
  // stored Progress as it is). All 64 bits are kept.
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
  // The sweep of the arc in degrees for the stored values; 0 when no arc is drawn.
  double SweepAngle() const;

  // May change what is painted, before each paint.
  std::function<void(TsArcGauge* Sender, TacGaugePaintData& Data)> OnGetPaintData;

protected:
  void PaintArc() override;

private:
  std::int64_t FMin = 0, FMax = 100, FProgress = 47;
  int FBaseBlend = 222;
  int FLineWidth = 6;
  TColor FBaseColor = 0x969696;
  TColor FProgressColor = 0xFF9122;
  bool FShowTextValue = true;
};

enum TacMotionType { mtNormal, mtAcceleration };
enum TacImageType { itLine, itMask1, itMask2, itCustomMask, itCustomImage };

struct TacPreloaderPaintData {
  TColor ABaseColor, ALineColor, AFontColor;
  int ALineWidth;
  std::wstring AText;
};

class TsArcPreloader;

// The preloader's animation timer: each tick is one step of its owner.
class TacPreAnimTimer : public TacThreadedTimer {
public:
  explicit TacPreAnimTimer(TsArcPreloader* AOwner);
  std::wstring ClassName() const override { return L"TacPreAnimTimer"; }
  TsArcPreloader* FOwner;

private:
  void OnTimerProc();
};

class TsArcPreloader : public TsArcControl {
public:
  explicit TsArcPreloader(TComponent* owner);
  ~TsArcPreloader() override;
  std::wstring ClassName() const override { return L"TsArcPreloader"; }
  void Loaded() override;

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
  TacImageType ImageType() const { return FImageType; }
  void SetImageType(TacImageType Value);
  TBitmap* CustomImage() const { return FCustomImage.get(); }
  // Takes a copy of the picture (nullptr empties it), drops StretchBmp, repaints.
  void SetCustomImage(TBitmap* Value);
  int ProgressAngle() const { return FProgressAngle; }
  double Progress() const { return ActualProgress; }
  // True while the 12 ms animation timer ticks: animated and visible.
  bool Animating() const;
  TacPreAnimTimer* Timer() const { return AnimTimer; }

  // One animation step, then the new text (when it differs) or a repaint.
  void DoProgress(const std::wstring& ANewText, int AStep);

  std::function<void(TsArcPreloader* Sender, TacPreloaderPaintData& Data)> OnGetPaintData;

  static constexpr UINT AnimInterval = 12;

  // The resampled copy of the picture that Stretched paints; nullptr until needed.
  std::unique_ptr<TBitmap> StretchBmp;

protected:
  void PaintArc() override;
  void VisibleChanging() override;

private:
  void StartAnimation();
  void StopAnimation();
  void UpdateAnimation();
  int FSpace = 4, FAnimStep = 4, FBaseBlend = 222, FLineAngle = 120, FLineWidth = 6, FProgressAngle = 0;
  TColor FBaseColor = 0x969696, FLineColor = 0xFF9122;
  bool FStretched = true, FAnimated = true;
  std::unique_ptr<TBitmap> FCustomImage;
  double ActualProgress = -1.0;
  TacPreAnimTimer* AnimTimer = nullptr;
  bool FAnimating = false;  // started (by Loaded or Animated); ticks while visible
  TacImageType FImageType = itLine;
};

// The shared rotating masks (RCDATA "acMask1" and "acMask2" of the program), 32 bits per
// pixel; Index 1 or 2. Read from the resources once; empty when the program has none.
TBitmap* ArcMask(int Index);
