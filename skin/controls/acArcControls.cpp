#include "skin/controls/acArcControls.h"

#include <algorithm>
#include <cmath>

#include "platform/runtime/Resources.h"
#include "skin/graphics/acGdiPlus.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr TColor DefaultSelectionColor = 0xFF9122;
constexpr int MitchellFilter = 6;

// The Text of DrawText with DT_PATH_ELLIPSIS, DT_END_ELLIPSIS and DT_WORD_ELLIPSIS.
constexpr UINT EllipsisFlags = DT_PATH_ELLIPSIS | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS;
static_assert(EllipsisFlags == 0x4C000);

// The shared masks: read from the program's resources on first use and kept to the end.
struct TArcMasks {
  std::unique_ptr<TBitmap> Mask[2];
  TArcMasks() {
    const wchar_t* names[2] = {L"acMask1", L"acMask2"};
    for (int i = 0; i < 2; ++i) {
      Mask[i] = std::make_unique<TBitmap>();
      Mask[i]->SetPixelFormat(pf32bit);
      try {
        if (!RCDataExists(GetModuleHandleW(nullptr), names[i])) continue;
        TResourceStream stream(GetModuleHandleW(nullptr), names[i]);
        LoadPngStreamToBitmap(*Mask[i], stream);
        // A mask works by its shades alone: an alpha of 0 keeps the final blend by alpha,
        // which only a picture with alpha of its own brings, from covering the tinted ring.
        TBitmap* bmp = Mask[i].get();
        std::uint8_t* bits = bmp->Bits();
        for (int y = 0; bits && y < bmp->Height(); ++y) {
          std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * bmp->Stride();
          for (int x = 0; x < bmp->Width(); ++x) row[x * 4 + 3] = 0;
        }
      } catch (const std::exception&) {
        Mask[i] = std::make_unique<TBitmap>();
      }
    }
  }
};

TArcMasks& Masks() {
  static TArcMasks masks;
  return masks;
}

// Integer remainder keeping the sign of the dividend, as the angle arithmetic expects.
int Mod360(int v) { return v % 360; }

TBitmap* CopyOf(TBitmap* src, std::unique_ptr<TBitmap>& dst) {
  if (!dst) dst = std::make_unique<TBitmap>();
  if (!src || src->Empty()) {
    dst = std::make_unique<TBitmap>();
  } else {
    CopyBitmapPixels(dst.get(), src);
  }
  return dst.get();
}

}  // namespace

TBitmap* ArcMask(int Index) {
  if (Index < 1 || Index > 2) return nullptr;
  return Masks().Mask[Index - 1].get();
}

// ---- TsArcControl ----------------------------------------------------------

TsArcControl::TsArcControl(TComponent* owner) : TWinControl(owner) {
  FCommonData = std::make_unique<TsCommonData>(this, true);
  FCommonData->COC = COC_TsArcControl;
  FGlyph = std::make_unique<TBitmap>();
  SetBounds(0, 0, 82, 82);
  FImageChangeLink = std::make_unique<TChangeLink>();
  FImageChangeLink->OnChange = [this] { Invalidate(); };
  SetControlStyle(ControlStyle() | csOpaque);
}

TsArcControl::~TsArcControl() = default;

void TsArcControl::BeforeDestruction() {
  if (HandleAllocated() && GetCapture() == FHandle) ReleaseCapture();
  FImageChangeLink.reset();
  FCommonData.reset();
  TWinControl::BeforeDestruction();
}

void TsArcControl::Loaded() {
  TWinControl::Loaded();
  if (FCommonData) FCommonData->Loaded(true);
}

TBitmap& TsArcControl::Cache() {
  if (!FCommonData->FCacheBmp) FCommonData->FCacheBmp = std::make_unique<TBitmap>();
  return *FCommonData->FCacheBmp;
}

void TsArcControl::SetIntProp(int Index, int Value) {
  int* field = Index == 0 ? &FGlyphIndex : Index == 1 ? &FBaseAngle : Index == 2 ? &FGlyphBlend : nullptr;
  if (!field || *field == Value) return;
  *field = Value;
  Invalidate();
}

void TsArcControl::SetBoolProp(int Index, bool Value) {
  bool* field = Index == 0   ? &FShowText
                : Index == 1 ? &FGlyphReflected
                : Index == 2 ? &FGlyphGrayed
                : Index == 3 ? &FUseEllipsis
                             : nullptr;
  if (!field || *field == Value) return;
  *field = Value;
  Invalidate();
}

void TsArcControl::SetImages(TCustomImageList* Value) {
  if (FImages == Value) return;
  if (FImages) {
    FImages->UnRegisterChanges(FImageChangeLink.get());
    FImages->RemoveFreeNotification(this);
  }
  FImages = Value;
  if (FImages) {
    FImages->RegisterChanges(FImageChangeLink.get());
    FImages->FreeNotification(this);
  }
  Invalidate();
}

void TsArcControl::SetGlyph(TBitmap* Value) {
  CopyOf(Value, FGlyph);
  Invalidate();
}

void TsArcControl::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FImages) {
    FImages = nullptr;
    if (!Destroying()) Invalidate();
  }
}

int TsArcControl::ArcSize() const { return std::min(Width(), Height()) - 1; }

void TsArcControl::WndProc(TMessage& m) {
  if (m.Msg == SM_SKINCOMMAND && FCommonData) {
    if (SkinCommandOf(m.WParam) == SKCMD_DEFAULT_SECTION) {
      if (TsSkinManager* manager = FCommonData->ReadSkinManager()) {
        m.Result = manager->GetSkinIndex(L"TRANSPARENT", FCommonData->ReadCommonSkinData()) + 1;
        return;
      }
    }
    if (DispatchSkinCommand(m, FCommonData.get())) return;
  }
  switch (m.Msg) {
    case WM_ERASEBKGND:
      m.Result = 1;
      return;
    case WM_PAINT: {
      if (m.WParam) {
        PaintCached(reinterpret_cast<HDC>(m.WParam));
      } else {
        TPaintScope paint(FHandle);
        TSavedDC saved(paint.DC());
        PaintCached(paint.DC());
      }
      m.Result = 0;
      return;
    }
    default:
      break;
  }
  TWinControl::WndProc(m);
  switch (m.Msg) {
    case WM_CREATE:
      if (FCommonData) FCommonData->InitCommonProp();
      break;
    case WM_PRINT:
      if (m.WParam) PaintCached(reinterpret_cast<HDC>(m.WParam));
      break;
    case CM_TEXTCHANGED:
      if (!Destroying()) Invalidate();
      break;
    default:
      break;
  }
}

void TsArcControl::PaintCached(HDC dc) {
  if (Width() <= 0 || Height() <= 0 || !FCommonData || Destroying()) return;
  FCommonData->InitCacheBitmap();
  TBitmap* cache = FCommonData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  HDC cdc = cache->Canvas().Handle();
  if (FCommonData->SkinIndex < 0) {
    // Not skinned: the parent's background behind the control.
    TacBGInfo info;
    info.R = Rect(0, 0, cache->Width(), cache->Height());
    info.PleaseDraw = false;
    HWND parentWnd = FParent && FParent->HandleAllocated() ? FParent->Handle() : nullptr;
    if (parentWnd) SendSkinCommand(parentWnd, SKCMD_GET_BG_INFO, reinterpret_cast<LPARAM>(&info));
    if (info.BgType == btCache && info.Bmp && !info.Bmp->Empty()) {
      BitBlt(cdc, 0, 0, cache->Width(), cache->Height(), info.Bmp->Canvas().Handle(), Left() + info.Offset.X,
             Top() + info.Offset.Y, SRCCOPY);
    } else if (info.BgType == btFill) {
      FillRectOnDC(cdc, Rect(0, 0, cache->Width(), cache->Height()), info.Color);
    } else if (parentWnd) {
      SendMessageW(parentWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(cdc), 0);
    }
  }
  PaintArc();
  GdiFlush();
  BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cdc, 0, 0, SRCCOPY);
}

TColor TsArcControl::ArcFontColor() {
  TsSkinManager* manager = FCommonData->ReadSkinManager();
  if (manager && !FCommonData->CustomFont() && manager->IsActive()) {
    const int index = VisibleSkinIndexOfControl(this, FCommonData->SkinIndex, manager, 0);
    TacSkinData* sd = FCommonData->ReadCommonSkinData();
    if (!sd || index < 0 || index >= static_cast<int>(sd->gd.size())) return manager->GetGlobalFontColor();
    return sd->gd[index].Props[0].FontColor.Color;
  }
  return Font.Color;
}

void TsArcControl::ArcColors(TColor baseProp, TColor progressProp, TColor fontColor, TColor& base,
                             TColor& progress) {
  TsSkinManager* manager = FCommonData->ReadSkinManager();
  if (!manager || FCommonData->CustomColor() || !manager->IsActive()) {
    base = baseProp;
    progress = progressProp;
    return;
  }
  base = fontColor;
  TacSkinData* sd = FCommonData->ReadCommonSkinData();
  const int selection = sd ? sd->GetSkinIndex(L"SELECTION") : -1;
  progress = selection >= 0 ? sd->gd[selection].StateProps(1).Color : DefaultSelectionColor;
}

int TsArcControl::EffectiveLineWidth(int width, int S) {
  return std::min(ScaleForControl(width, FCommonData.get()), S / 2 + 1);
}

void TsArcControl::PaintSkinBackground() {
  if (!FCommonData->Skinned()) return;
  TacSkinData* sd = FCommonData->ReadCommonSkinData();
  if (!sd || FCommonData->SkinIndex < 0 || FCommonData->SkinIndex >= static_cast<int>(sd->gd.size())) return;
  TBitmap* cache = FCommonData->FCacheBmp.get();
  TacBGInfo info;
  info.R = Rect(0, 0, Width(), Height());
  RequestBackgroundFromControl(info, FParent, false);
  TCacheInfo ci;
  CacheInfoFromBackgroundInfo(info, ci);
  PaintSkinSection(FCommonData->SkinIndex, ci, 0, Rect(0, 0, cache->Width(), cache->Height()), Point(Left(), Top()),
                   cache, sd);
}

void TsArcControl::PaintRing(int S, int w, int baseBlend, TColor baseColor) {
  TBitmap* cache = FCommonData->FCacheBmp.get();
  const int b = std::clamp(baseBlend, 0, 255);
  const bool stale = !FRingMask || FRingMask->Width() != cache->Width() || FRingMask->Height() != cache->Height() ||
                     FRingKey[0] != S || FRingKey[1] != w || FRingKey[2] != b;
  if (stale) {
    FRingMask = NewBitmap32(cache->Width(), cache->Height());
    if (!FRingMask || FRingMask->Empty()) return;
    FillRectArgb(FRingMask.get(), Rect(0, 0, FRingMask->Width(), FRingMask->Height()), clWhite, 0xFF);
    const float x = float(w / 2), d = float(S - w - 1);
    DrawEllipseGdiPlus(FRingMask->Canvas().Handle(), RGB(b, b, b), x, x, d, d, float(w));
    GdiFlush();
    FRingKey[0] = S, FRingKey[1] = w, FRingKey[2] = b;
  }
  ColorizeByMask(cache, FRingMask.get(), ColorToRGB(baseColor));
}

void TsArcControl::PaintTextAndGlyph(const std::wstring& text, TColor fontColor, int S, int g) {
  TBitmap* cache = FCommonData->FCacheBmp.get();
  HDC dc = cache->Canvas().Handle();
  TRect textRect, glyphRect;
  int cy = 0;
  HGDIOBJ oldFont = SelectObject(dc, Font.Handle());
  if (FShowText) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    cy = size.cy;
    textRect = Rect((S - size.cx) / 2, (S - size.cy) / 2, 0, 0);
    textRect.Right = textRect.Left + size.cx;
    textRect.Bottom = textRect.Top + size.cy;
  }
  const int index = CurrentGlyphIndex();
  if (FImages && index >= 0 && index < ImageListCount(FImages)) {
    const int ppi = FCommonData->EffectivePPI();
    const int gw = ScaledImageWidth(FImages, index, ppi), gh = ScaledImageHeight(FImages, index, ppi);
    glyphRect = Rect((S - gw) / 2, (S - gh - g - cy) / 2, 0, 0);
    glyphRect.Right = glyphRect.Left + gw;
    glyphRect.Bottom = glyphRect.Top + gh;
    textRect = OffsetRectXY(textRect, 0, gh / 2 + g);
  }
  if (FShowText && textRect.Width() > 0) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(fontColor)));
    UINT flags = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOCLIP;
    if (FUseEllipsis) flags |= EllipsisFlags;
    DrawTextLimited(dc, text, textRect, flags);
  }
  SelectObject(dc, oldFont);
  if (glyphRect.Width() > 0) {
    TsSkinManager* manager = FCommonData->ReadSkinManager();
    TacGlyphDrawInfo info;
    info.Images = FImages;
    info.Glyph = FGlyph.get();
    info.ImageIndex = index;
    info.DstRect = glyphRect;
    info.Enabled = Enabled();
    info.Blend = FGlyphBlend;
    info.CurrentState = CurrentState();
    info.Grayed = CurrentState() == 0 && (FGlyphGrayed || (manager && manager->Effects.DiscoloredGlyphs));
    info.Reflected = FGlyphReflected;
    info.DstBmp = cache;
    info.DstCanvas = &cache->Canvas();
    info.SkinData = FCommonData->ReadCommonSkinData();
    info.PPI = FCommonData->EffectivePPI();
    info.BlendColor = clNone;
    DrawListGlyph(info);
  }
}

// ---- TsArcGauge ------------------------------------------------------------

TsArcGauge::TsArcGauge(TComponent* owner) : TsArcControl(owner) {}

void TsArcGauge::SetIntProp(int Index, int Value) {
  int* field = Index == 10 ? &FLineWidth : Index == 12 ? &FBaseBlend : nullptr;
  if (!field) return TsArcControl::SetIntProp(Index, Value);
  if (*field == Value) return;
  *field = Value;
  Invalidate();
}

void TsArcGauge::SetInt64Prop(int Index, std::int64_t Value) {
  std::int64_t* field = Index == 10 ? &FMin : Index == 11 ? &FMax : Index == 12 ? &FProgress : nullptr;
  if (!field) return;
  if (Index == 12) Value = std::max(FMin, std::min(FMax, Value));
  if (*field == Value) return;
  *field = Value;
  Invalidate();
}

void TsArcGauge::SetColorProp(int Index, TColor Value) {
  TColor* field = Index == 10 ? &FBaseColor : Index == 11 ? &FProgressColor : nullptr;
  if (!field || *field == Value) return;
  *field = Value;
  Invalidate();
}

void TsArcGauge::SetShowTextValue(bool value) {
  if (FShowTextValue == value) return;
  FShowTextValue = value;
  Invalidate();
}

double TsArcGauge::SweepAngle() const {
  if (!(FProgress > FMin && FMin < FMax)) return 0;
  // Each operand in floating point: the differences of 64-bit values, and their product
  // with 360, may not fit in 64 bits.
  return (double(FProgress) - double(FMin)) * 360.0 / (double(FMax) - double(FMin));
}

void TsArcGauge::PaintArc() {
  TBitmap* cache = FCommonData->FCacheBmp.get();
  const int S = ArcSize();
  TacGaugePaintData data{FBaseColor, 0, FProgressColor, FLineWidth,
                         FShowTextValue ? std::to_wstring(FProgress) : Text()};
  data.AFontColor = ArcFontColor();
  ArcColors(FBaseColor, FProgressColor, data.AFontColor, data.ABaseColor, data.AProgressColor);
  if (OnGetPaintData) OnGetPaintData(this, data);
  const int w = EffectiveLineWidth(data.ALineWidth, S);
  PaintSkinBackground();
  if (w > 0) {
    PaintRing(S, w, FBaseBlend, data.ABaseColor);
    const double sweep = SweepAngle();
    if (sweep != 0) {
      const float x = float(w / 2), d = float(S - w - 1);
      DrawArcGdiPlus(cache->Canvas().Handle(), data.AProgressColor, x, x, d, d, float(FBaseAngle), float(sweep),
                     float(w));
    }
  }
  TacSkinData* sd = FCommonData->ReadCommonSkinData();
  PaintTextAndGlyph(data.AText, data.AFontColor, S, sd ? sd->Spacing : 0);
}

// ---- TacPreAnimTimer -------------------------------------------------------

TacPreAnimTimer::TacPreAnimTimer(TsArcPreloader* AOwner) : TacThreadedTimer(AOwner), FOwner(AOwner) {
  WriteEnabled(false);
  WriteOnTimer([this] { OnTimerProc(); });
}

void TacPreAnimTimer::OnTimerProc() { FOwner->DoProgress(FOwner->Text(), FOwner->AnimStep()); }

// ---- TsArcPreloader --------------------------------------------------------

TsArcPreloader::TsArcPreloader(TComponent* owner) : TsArcControl(owner) {
  FCustomImage = std::make_unique<TBitmap>();
}

TsArcPreloader::~TsArcPreloader() = default;

void TsArcPreloader::Loaded() {
  TsArcControl::Loaded();
  if (FAnimated) StartAnimation();
}

void TsArcPreloader::SetIntProp(int Index, int Value) {
  int* field = Index == 10   ? &FLineWidth
               : Index == 11 ? &FSpace
               : Index == 12 ? &FLineAngle
               : Index == 13 ? &FAnimStep
               : Index == 14 ? &FBaseBlend
                             : nullptr;
  if (!field) return TsArcControl::SetIntProp(Index, Value);
  if (*field == Value) return;
  *field = Value;
  Invalidate();
}

void TsArcPreloader::SetBoolProp(int Index, bool Value) {
  if (Index == 10) {
    if (FAnimated == Value) return;
    FAnimated = Value;
    if (Value)
      StartAnimation();
    else
      StopAnimation();
    return;
  }
  if (Index == 11) {
    if (FStretched == Value) return;
    FStretched = Value;
    StretchBmp.reset();
    Invalidate();
    return;
  }
  TsArcControl::SetBoolProp(Index, Value);
}

void TsArcPreloader::SetColorProp(int Index, TColor Value) {
  TColor* field = Index == 10 ? &FBaseColor : Index == 11 ? &FLineColor : nullptr;
  if (!field || *field == Value) return;
  *field = Value;
  Invalidate();
}

void TsArcPreloader::SetImageType(TacImageType Value) {
  if (FImageType == Value) return;
  FImageType = Value;
  StretchBmp.reset();
  Invalidate();
}

void TsArcPreloader::SetCustomImage(TBitmap* Value) {
  CopyOf(Value, FCustomImage);
  StretchBmp.reset();
  Invalidate();
}

bool TsArcPreloader::Animating() const {
  return AnimTimer && AnimTimer->Enabled() && AnimTimer->TimerThread() && AnimTimer->TimerThread()->Running();
}

void TsArcPreloader::StartAnimation() {
  if (!AnimTimer) AnimTimer = new TacPreAnimTimer(this);
  AnimTimer->WriteInterval(AnimInterval);
  FAnimating = true;
  UpdateAnimation();
}

void TsArcPreloader::StopAnimation() {
  FAnimating = false;
  UpdateAnimation();
}

void TsArcPreloader::VisibleChanging() {
  TsArcControl::VisibleChanging();
  UpdateAnimation();
}

// A hidden spinner has nothing to show: a started timer rests until it is shown again.
void TsArcPreloader::UpdateAnimation() {
  if (AnimTimer) AnimTimer->WriteEnabled(FAnimating && FVisible);
}

void TsArcPreloader::DoProgress(const std::wstring& ANewText, int AStep) {
  while (ActualProgress > 360) ActualProgress -= 360;
  if (ActualProgress < 0) ActualProgress = 0;
  if (MotionType == mtAcceleration) {
    const double p = ActualProgress;
    const double d = p < 180 ? AStep * p : AStep * (360 - p);
    ActualProgress = p + d / 90 + 1;
    FProgressAngle = static_cast<int>(std::nearbyint(ActualProgress)) - FLineAngle / 2;
  } else {
    // Painting reduces the angle modulo 360; reducing it here too keeps a spinner that turns
    // for weeks from running the integer over.
    FProgressAngle = Mod360(FProgressAngle + Mod360(AStep));
  }
  if (ANewText != Text())
    SetText(ANewText);
  else
    Invalidate();
}

void TsArcPreloader::PaintArc() {
  TBitmap* cache = FCommonData->FCacheBmp.get();
  const int S = ArcSize();
  TacPreloaderPaintData data{FBaseColor, FLineColor, 0, FLineWidth, Text()};
  data.AFontColor = ArcFontColor();
  ArcColors(FBaseColor, FLineColor, data.AFontColor, data.ABaseColor, data.ALineColor);
  if (OnGetPaintData) OnGetPaintData(this, data);
  const int w = EffectiveLineWidth(data.ALineWidth, S);
  PaintSkinBackground();
  const int turn = FBaseAngle + FProgressAngle;
  switch (FImageType) {
    case itLine:
      if (w > 0) {
        PaintRing(S, w, FBaseBlend, data.ABaseColor);
        const float x = float(w / 2), d = float(S - w - 1);
        DrawArcGdiPlus(cache->Canvas().Handle(), data.ALineColor, x, x, d, d, float(Mod360(turn)),
                       float(Mod360(FLineAngle)), float(w));
      }
      PaintTextAndGlyph(data.AText, data.AFontColor, S, FSpace);
      break;
    case itMask1:
    case itMask2:
    case itCustomMask: {
      TBitmap* image = FImageType == itMask1 ? ArcMask(1) : FImageType == itMask2 ? ArcMask(2) : FCustomImage.get();
      if (!image || image->Empty() || S < 1) break;
      auto work = NewBitmap32(cache->Width(), cache->Height());
      FillRectArgb(work.get(), Rect(0, 0, work->Width(), work->Height()), clWhite, 0);
      if (FStretched && S > 2) {
        if (!StretchBmp) StretchBmp = std::make_unique<TBitmap>();
        // Resampled once: kept while the picture, the type, Stretched and the size stay.
        if (StretchBmp->Width() != S - 2 || StretchBmp->Height() != S - 2)
          StretchBitmapFiltered(image, StretchBmp.get(), S - 2, S - 2, MitchellFilter);
        image = StretchBmp.get();
      }
      DrawRotatedBitmap(work->Canvas().Handle(), image, Point(S / 2, S / 2), Mod360(turn + 180));
      GdiFlush();
      ColorizeByMask(cache, work.get(), data.ALineColor & 0xFFFFFF);
      BlendBitmapOver(cache, work.get());
      break;
    }
    case itCustomImage: {
      TBitmap* image = FCustomImage.get();
      if (!image || image->Empty() || S < 1) break;
      if (FStretched && S > 1) {
        if (!StretchBmp) StretchBmp = std::make_unique<TBitmap>();
        if (StretchBmp->Width() != S || StretchBmp->Height() != S)
          StretchBitmapFiltered(image, StretchBmp.get(), S, S, MitchellFilter);
      }
      TBitmap* shown = FStretched && StretchBmp ? StretchBmp.get() : image;
      if (image->PixelFormat() == pf32bit) {
        auto work = NewBitmap32(cache->Width(), cache->Height());
        FillRectArgb(work.get(), Rect(0, 0, work->Width(), work->Height()), clBlack, 0);
        DrawRotatedBitmap(work->Canvas().Handle(), shown, Point(S / 2, S / 2), Mod360(turn + 180));
        GdiFlush();
        BlendBitmapOver(cache, work.get());
      } else {
        DrawRotatedBitmap(cache->Canvas().Handle(), shown, Point(S / 2, S / 2), Mod360(turn + 90));
        GdiFlush();
      }
      break;
    }
  }
}
