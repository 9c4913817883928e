#include "skin/controls/acArcControls.h"
#include <algorithm>
#include <cmath>
#include <objidl.h>
#include <gdiplus.h>
#include <string>

namespace {

// GDI+ is started once for the process and left running: the controls may paint until exit.
bool GdiplusReady() {
  static const bool ready = [] {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  return ready;
}

Gdiplus::Color ToGdip(TColor color) {
  COLORREF c = static_cast<COLORREF>(ColorToRGB(color));
  return Gdiplus::Color(255, GetRValue(c), GetGValue(c), GetBValue(c));
}

// Per channel: (old * m + c * (256 - m)) >> 8, the base colour shown through a grey mask m.
TColor Fade(TColor background, TColor color, int m) {
  COLORREF b = static_cast<COLORREF>(ColorToRGB(background)), c = static_cast<COLORREF>(ColorToRGB(color));
  auto mix = [m](int o, int v) { return (o * m + v * (256 - m)) >> 8; };
  return static_cast<TColor>(RGB(mix(GetRValue(b), GetRValue(c)), mix(GetGValue(b), GetGValue(c)),
                                 mix(GetBValue(b), GetBValue(c))));
}

// Integer remainder keeping the sign of the dividend, as the angle arithmetic expects.
int Mod360(int v) { return v % 360; }

}  // namespace

// ---- TsArcControl ----------------------------------------------------------

TsArcControl::TsArcControl(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 82, 82);
  FCache.SetPixelFormat(pf32bit);
  SetMessageHandler(CM_TEXTCHANGED, [this](TMessage&) {
    if (!Destroying()) Invalidate();
  });
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

TColor TsArcControl::BackgroundColor() const { return FParent ? FParent->Color() : Color(); }

void TsArcControl::PaintCached(HDC dc) {
  if (Width() <= 0 || Height() <= 0) return;
  FCache.SetSize(Width(), Height());
  HDC cdc = FCache.Canvas().Handle();
  RECT r = {0, 0, Width(), Height()};
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(BackgroundColor())));
  FillRect(cdc, &r, brush);
  DeleteObject(brush);
  PaintArc(cdc, std::min(Width(), Height()) - 1);
  GdiFlush();
  BitBlt(dc, 0, 0, Width(), Height(), cdc, 0, 0, SRCCOPY);
}

void TsArcControl::DrawRing(HDC dc, int S, int w, TColor baseColor, int baseBlend) {
  if (w <= 0 || !GdiplusReady()) return;
  Gdiplus::Graphics g(dc);
  g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::Pen pen(ToGdip(Fade(BackgroundColor(), baseColor, std::clamp(baseBlend, 0, 256))), float(w));
  float d = float(S - w - 1);
  g.DrawEllipse(&pen, float(w / 2), float(w / 2), d, d);
}

void TsArcControl::DrawArcSegment(HDC dc, int S, int w, TColor color, double startAngle, double sweep) {
  if (w <= 0 || sweep == 0 || !GdiplusReady()) return;
  Gdiplus::Graphics g(dc);
  g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::Pen pen(ToGdip(color), float(w));
  float d = float(S - w - 1);
  g.DrawArc(&pen, float(w / 2), float(w / 2), d, d, float(startAngle), float(sweep));
}

void TsArcControl::DrawCentredText(HDC dc, int S, const std::wstring& text, TColor color) {
  if (!FShowText || text.empty()) return;
  HGDIOBJ oldFont = SelectObject(dc, Font.Handle());
  SIZE sz{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &sz);
  RECT r = {(S - sz.cx) / 2, (S - sz.cy) / 2, 0, 0};
  r.right = r.left + sz.cx;
  r.bottom = r.top + sz.cy;
  if (sz.cx > 0) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(color)));
    UINT flags = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOCLIP;
    if (FUseEllipsis) flags |= DT_PATH_ELLIPSIS | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
  }
  SelectObject(dc, oldFont);
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
  Value = static_cast<std::int32_t>(Value);  // stored as the sign-extended low 32 bits
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

void TsArcGauge::PaintArc(HDC dc, int S) {
  TacGaugePaintData data{FBaseColor, Font.Color, FProgressColor, FLineWidth,
                         FShowTextValue ? std::to_wstring(FProgress) : Text()};
  if (OnGetPaintData) OnGetPaintData(this, data);
  int w = std::min(data.ALineWidth, S / 2 + 1);
  if (w > 0) {
    DrawRing(dc, S, w, data.ABaseColor, FBaseBlend);
    if (FProgress > FMin && FMin < FMax)
      DrawArcSegment(dc, S, w, data.AProgressColor, FBaseAngle,
                     double(FProgress - FMin) * 360.0 / double(FMax - FMin));
  }
  DrawCentredText(dc, S, data.AText, data.AFontColor);
}

// ---- TsArcPreloader --------------------------------------------------------

TsArcPreloader::TsArcPreloader(TComponent* owner) : TsArcControl(owner) {
  AnimTimer = new TTimer(this);
  AnimTimer->SetEnabled(false);
  AnimTimer->SetInterval(AnimInterval);
  AnimTimer->SetOnTimer([this] { DoProgress(Text(), FAnimStep); });
  UpdateAnimation();
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
    UpdateAnimation();
    return;
  }
  if (Index == 11) {
    if (FStretched == Value) return;
    FStretched = Value;
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

bool TsArcPreloader::Animating() const { return AnimTimer && AnimTimer->Running(); }

void TsArcPreloader::VisibleChanging() {
  TsArcControl::VisibleChanging();
  UpdateAnimation();
}

// A hidden spinner has nothing to show: its timer rests until it is shown again.
void TsArcPreloader::UpdateAnimation() {
  if (AnimTimer) AnimTimer->SetEnabled(FAnimated && FVisible);
}

void TsArcPreloader::DoProgress(const std::wstring& ANewText, int AStep) {
  while (ActualProgress > 360) ActualProgress -= 360;
  if (ActualProgress < 0) ActualProgress = 0;
  if (MotionType == mtAcceleration) {
    double p = ActualProgress;
    double d = p < 180 ? AStep * p : AStep * (360 - p);
    ActualProgress = p + d / 90 + 1;
    FProgressAngle = static_cast<int>(std::nearbyint(ActualProgress)) - FLineAngle / 2;
  } else {
    FProgressAngle += AStep;
    // Painting reduces the angle modulo 360; keeping it small avoids an overflow after weeks of turning.
    FProgressAngle %= 360;
  }
  if (ANewText != Text())
    SetText(ANewText);
  else
    Invalidate();
}

void TsArcPreloader::PaintArc(HDC dc, int S) {
  TacPreloaderPaintData data{FBaseColor, FLineColor, Font.Color, FLineWidth, Text()};
  if (OnGetPaintData) OnGetPaintData(this, data);
  int w = std::min(data.ALineWidth, S / 2 + 1);
  if (w > 0) {
    DrawRing(dc, S, w, data.ABaseColor, FBaseBlend);
    DrawArcSegment(dc, S, w, data.ALineColor, Mod360(FBaseAngle + FProgressAngle), Mod360(FLineAngle));
  }
  DrawCentredText(dc, S, data.AText, data.AFontColor);
}
