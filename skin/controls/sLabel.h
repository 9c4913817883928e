#pragma once
// Labels of the skin engine: the framework's window-less label with the skin's text colours
// and, optionally, a skin section as its background. TsHTMLLabel draws a caption with markup
// and clickable links, TsEditLabel is the bound caption of a skinned edit, and TsLabelFX a
// title label with an angle, a blurred drop shadow and a colour kind. Labels receive the
// library message as a direct call (Perform). Without a skin they paint as the framework's
// label: their font colour (grey text when disabled) on the parent's face.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/StdCtrls.h"
#include "skin/controls/sHtmlParse.h"

class TsSkinManager;
class TsCommonData;

using TLabelNotifyEvent = std::function<void(TComponent* Sender)>;

// The blend weight (of 255) of a disabled label's text towards its background.
constexpr int DisabledBlendWeight = 100;

class TsCustomLabel : public TCustomLabel {
public:
  explicit TsCustomLabel(TComponent* owner);
  std::wstring ClassName() const override { return L"TsCustomLabel"; }
  void Loaded() override;
  void Paint(HDC dc) override;

  TLabelNotifyEvent OnMouseLeave, OnMouseEnter;
  // The label's own manager, else the default one.
  TsSkinManager* SkinManager() const;
  void SetSkinManager(TsSkinManager* Value);
  std::wstring SkinSection() const { return FSkinSection; }
  void SetSkinSection(const std::wstring& value);
  // The section named SkinSection, resolved on first use after each paint; -1 without a
  // reachable manager, an active skin or a section name.
  int SkinIndex();

  // The font and the colour the label paints its text with.
  virtual TFont& CurrentFont() { return Font; }
  virtual TColor CurrentTextColor() override;

protected:
  void WndProc(TMessage& message) override;
  TFont& LabelFont() override { return CurrentFont(); }
  void Notification(TComponent* component, TOperation operation) override;

  std::wstring FSkinSection;
  int FSkinIndex = -1;  // not resolved
  TsSkinManager* FSkinManager = nullptr;
  bool FSavedParentFont = false;
  int DefFontHeight = 0;
};

class TsLabel : public TsCustomLabel {
public:
  using TsCustomLabel::TsCustomLabel;
  std::wstring ClassName() const override { return L"TsLabel"; }
  TColor CurrentTextColor() override;
  bool UseSkinColor = true;
};

// Show commands of ShellExecuteW, SW_HIDE .. SW_SHOWDEFAULT.
enum TsWindowShowMode {
  soHide, soNormal, soShowMinimized, soMaximize, soShowNoActivate, soShow, soMinimize, soShowMinNoActive, soShowNA,
  soRestore, soDefault
};
using TLinkClickEvent = std::function<void(TComponent* Sender, std::wstring& ALink, bool& DefaultAction)>;

class TsHTMLLabel : public TsLabel {
public:
  explicit TsHTMLLabel(TComponent* owner);
  std::wstring ClassName() const override { return L"TsHTMLLabel"; }

  // The caption with every tag taken out.
  std::wstring PlainCaption() const;
  bool UseHTML = true;
  TsWindowShowMode ShowMode = soDefault;
  TLinkClickEvent OnLinkClick;
  // Runs the link: OnLinkClick may change the target or cancel; else the shell opens it.
  void DoClick(int LinkIndex);
  // The shell's open call (a seam: tests look instead of opening).
  std::function<void(const std::wstring& Target, int ShowMode)> OpenLink;

  int HotLink = -1, PressedLink = -1;
  bool LinkClicking = false;
  TacLinks Links;

protected:
  void WndProc(TMessage& message) override;
  void DoDrawText(TRect& R, UINT Flags) override;

private:
  void ClearLinkStates();
};

// The bound caption of a skinned edit: the two places of the edit that know it.
struct TsBoundLabel {
  class TsEditLabel* FActiveLabel = nullptr;
  class TsEditLabel* FTheLabel = nullptr;
  TsCommonData* FCommonData = nullptr;
};

class TsEditLabel : public TsHTMLLabel {
public:
  // Made without an owner for the edit's bound caption; takes the skin manager of the
  // edit's skin state when it has one.
  TsEditLabel(TComponent* AOwner, TsBoundLabel* BoundStructure);
  ~TsEditLabel() override;
  std::wstring ClassName() const override { return L"TsEditLabel"; }
  TsBoundLabel* BoundLabel;
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
  explicit TsShadow(TsLabelFX* owner);
  int Distance() const { return FDistance; }
  void SetDistance(int value) { SetIntProp(1, value); }
  int BlurCount() const { return FBlurCount; }
  void SetBlurCount(int value) { SetIntProp(0, value); }
  // 0 BlurCount, 1 Distance: the owner's position follows, then it repaints.
  void SetIntProp(int Index, int Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor value);
  TsShadowMode Mode() const { return FMode; }
  void SetMode(TsShadowMode value);
  std::uint8_t AlphaValue() const { return FAlphaValue; }
  void SetAlphaValue(std::uint8_t value);
  TacOffsetKeeper OffsetKeeper;
  bool FBuffered = false;
  int sr = 0, sg = 0, sb = 0;
  void UpdateRGB();

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

// The shadow a paint draws: colour, blur passes, offset and alpha.
struct TacShadowData {
  TColor Color = 0;
  int Blur = 0, Offset = 0;
  std::uint8_t Alpha = 0;
  // The extents: lo = min(0, offset - blur), hi = max(0, offset + blur).
  int Lo() const { return std::min(0, Offset - Blur); }
  int Hi() const { return std::max(0, Offset + Blur); }
};

class TsLabelFX : public TsCustomLabel {
public:
  explicit TsLabelFX(TComponent* owner);
  ~TsLabelFX() override;
  std::wstring ClassName() const override { return L"TsLabelFX"; }
  void Invalidate() override;
  void AdjustBounds() override;

  int Angle() const { return FAngle; }
  // A non-zero angle switches word wrap off.
  void SetAngle(int value);
  TsShadow Shadow{this};
  TsKind Kind{this};

  TColor CurrentTextColor() override;
  // The colour of the text drawn over a shadow or with the skin.
  TColor CurrentFontColor();
  TacShadowData CurrentShadowData();
  // Adjusts the bounds when the shadow's extents changed since they were last applied.
  void UpdatePosition();
  // The most blur passes one paint runs: a larger BlurCount blurs no further.
  static constexpr int MaxBlurPasses = 64;
  // The shadow's byte buffer: (width + 2) x (height + 2) cells, grown to twice that when too
  // small, never shrunk.
  std::size_t MaskBitsSize() const { return FMaskBits.size(); }
  // Builds the blurred shadow of a white-on-black mask into the byte buffer (a frame of
  // one cell around it): `passes` times, ink cells become 255 and every inner cell the mean
  // of its four neighbours. Answers the buffer's row length.
  int BlurMask(TBitmap* Mask, int Passes);
  std::uint8_t MaskCell(int x, int y) const { return FMaskBits[static_cast<std::size_t>(y + 1) * (FMaskWidth + 2) + x + 1]; }

  bool IntPosChanging = false;
  int PrevCtrlWidth = 0;

protected:
  void WndProc(TMessage& message) override;
  void DoDrawText(TRect& R, UINT Flags) override;
  // After a move or size not made by UpdatePosition the extents count as applied.
  void BoundsChanged() override;

private:
  void DrawTurned(HDC dc, const std::wstring& text, int x, int y, TColor color);
  void DrawEmbossed(HDC dc, const std::wstring& text, const TRect& t, UINT flags, int mx, int my);
  int FAngle = 0;
  bool FNeedInvalidate = true;
  std::unique_ptr<TBitmap> FMask;
  std::vector<std::uint8_t> FMaskBits;
  int FMaskWidth = 0;
};

// The turned box of a text of cx x cy at Angle degrees: its width b and height a, and the
// text's origin inside it (mx, my); rounding to the nearest, halves to even.
struct TacTurnedBox {
  int B, A, Mx, My;
};
TacTurnedBox TurnedBox(int cx, int cy, int Angle);
