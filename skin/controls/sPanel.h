#pragma once
// The skin engine's panel. Skinned, its picture is composed in the cache of its skin state:
// its section over the parent's background, the colour effects, the children's outer
// effects, the caption, the OnPaint drawing, the grab bars of docked clients and an optional
// shadow along one inner side; the window procedure copies that cache to the screen and
// answers the children's requests for the background behind them. A panel with a custom
// colour and no OnPaint paints directly in its colour. Without a skin it paints as the
// framework's panel: its colour, bevels and caption.
#include <functional>
#include <memory>

#include "platform/ui/ExtCtrls.h"
#include "skin/manager/sSkinData.h"  // TacSide

class TsCtrlSkinData;
class TsCustomPanel;

enum TacSideShadowMode { ssmNone, ssmInternal };

// A shadow fading inwards from one side of the panel.
class TacSideShadow {
public:
  explicit TacSideShadow(TsCustomPanel* AOwner);
  TacSideShadowMode Mode() const { return FMode; }
  void SetMode(TacSideShadowMode Value);
  TacSide Side() const { return FSide; }
  void SetSide(TacSide Value);
  int Blend() const { return FBlend; }
  void SetBlend(int Value);
  // Drops the shadow's bitmap and repaints the panel and its children.
  void Invalidate();

private:
  TacSide FSide = asRight;
  TsCustomPanel* FOwner;
  TacSideShadowMode FMode = ssmNone;
  int FBlend = 48;
};

using TPaintEvent = std::function<void(TComponent* Sender, TCanvas& Canvas)>;

class TsCustomPanel : public TCustomPanel {
public:
  explicit TsCustomPanel(TComponent* AOwner);
  ~TsCustomPanel() override;
  std::wstring ClassName() const override { return L"TsCustomPanel"; }
  void AfterConstruction() override;
  void BeforeDestruction() override;
  void Loaded() override;

  TsCtrlSkinData* SkinData() const { return FCommonData.get(); }
  TacSideShadow& SideShadow() { return *FSideShadow; }
  TPaintEvent OnPaint;

  // The cache onto the DC without the child controls that paint themselves.
  virtual void CopyCacheToDC(HDC DC);
  // Paints the panel onto the DC (nullptr: nothing to paint on), from the cache or directly.
  virtual void PaintPanel(HDC DC, bool RepaintChildren);
  // Builds the cache; false when the parent's background is not ready.
  virtual bool PrepareCache();
  // The caption in R, on aCanvas or else on a canvas over aDC.
  virtual void WriteText(TRect R, TCanvas* aCanvas, HDC aDC);
  // Grab bars above the visible dock clients, drawn into the cache and onto the DC.
  void PaintDragPanel(HDC DC);
  // The grab bar above a dock client and the rectangle its caption is written in.
  TRect GrabBarRect(TControl* Client) const;
  static TRect GrabCaptionRect(const TRect& Bar) { return Rect(Bar.Left + 5, Bar.Top + 5, Bar.Right - 23, Bar.Bottom - 5); }
  // The rectangle of a close glyph of W x H at the top right of a grab bar of height Bar.
  static TRect GrabGlyphRect(const TRect& Bar, int W, int H);

  // The side shadow's bitmap: made with the first cache build that draws it.
  std::unique_ptr<TBitmap> ShadowBmp;

protected:
  void WndProc(TMessage& message) override;
  void PaintWindow(HDC dc) override;
  // The framework panel's painting, then OnPaint.
  void Paint(HDC dc);

private:
  friend class TacSideShadow;
  void CommonTail(TMessage& m);
  void PaintSideShadow();
  void PaintDirect(HDC DC);
  void PaintBorder(HDC DC, const TRect& P, int D, TRect& Inner);
  bool GrabBarsCaptioned() const;
  std::unique_ptr<TsCtrlSkinData> FCommonData;
  std::unique_ptr<TacSideShadow> FSideShadow;
  TBevelCut FOldBevel = bvRaised;
};

class TsPanel : public TsCustomPanel {
public:
  using TsCustomPanel::TsCustomPanel;
  std::wstring ClassName() const override { return L"TsPanel"; }
};
