#include "skin/graphics/acText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>

#include "skin/graphics/acPixelVec.h"
#endif

#include "platform/ui/Controls.h"
#include "skin/graphics/acColorAdjust.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr TColor SysHighlightColor = TColor(0xFF000014);  // COLOR_BTNHIGHLIGHT
constexpr TColor SysShadowColor = TColor(0xFF000010);     // COLOR_BTNSHADOW
constexpr TColor SysGrayTextColor = TColor(0xFF000011);   // COLOR_GRAYTEXT
// The constant sections of the skin's buttons and items: their own colours lie under the
// caption only while they paint a background; otherwise the section that shows decides.
constexpr int FirstButtonSection = 0;  // MENUITEM
constexpr int LastButtonSection = 9;   // BUTTON
constexpr int WebButtonSection = 8;    // WEBBUTTON

// The screen DC with a font selected; both given back on every way out.
class TScreenFontDC {
public:
  explicit TScreenFontDC(HFONT font) : FDC(GetDC(nullptr)) {
    if (FDC && font) FOld = SelectObject(FDC, font);
  }
  ~TScreenFontDC() {
    if (!FDC) return;
    if (FOld) SelectObject(FDC, FOld);
    ReleaseDC(nullptr, FDC);
  }
  TScreenFontDC(const TScreenFontDC&) = delete;
  TScreenFontDC& operator=(const TScreenFontDC&) = delete;
  HDC DC() const { return FDC; }

private:
  HDC FDC;
  HGDIOBJ FOld = nullptr;
};

TRect Moved(const TRect& r, int dx, int dy) { return Rect(r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy); }

// The four contour colours with the side each is drawn to, in drawing order.
struct TContour {
  TColor Color;
  int DX, DY;
};
std::array<TContour, 4> ContoursOf(const TsFontColor& f) {
  return {TContour{f.Left, -1, 0}, TContour{f.Top, 0, -1}, TContour{f.Right, 1, 0}, TContour{f.Bottom, 0, 1}};
}

// The section's state record of a manager's 96-PPI skin data; nullptr when there is none.
const TsGenState* SkinStateOf(TsSkinManager* manager, int skinIndex, int state) {
  if (!manager) return nullptr;
  TacSkinData* data = manager->CommonSkinData(96);
  if (!data || !manager->IsValidSkinIndex(skinIndex, data) || skinIndex >= static_cast<int>(data->gd.size()))
    return nullptr;
  return &data->gd[skinIndex].StateProps(state);
}

}  // namespace

// ---------------------------------------------------------------------------
// Draw calls and measuring
// ---------------------------------------------------------------------------

int DrawTextLimited(HDC DC, const std::wstring& Text, TRect& R, UINT Format) {
  const int count = static_cast<int>(std::min<std::size_t>(Text.size(), MaxDrawTextLength));
  return DrawTextW(DC, Text.c_str(), count, R.AsRECT(), Format);
}

int DrawTextOnCanvas(TCanvas* Canvas, const wchar_t* Text, UINT Format, TRect& R) {
  if (!Canvas || !Text) return 0;
  return DrawTextW(Canvas->FontHandle(), Text, -1, R.AsRECT(), Format);
}

int TextWidthOf(TCanvas* Canvas, const std::wstring& Text) { return Canvas ? Canvas->TextExtent(Text).cx : 0; }

int TextHeightOf(TCanvas* Canvas, const std::wstring& Text) { return Canvas ? Canvas->TextExtent(Text).cy : 0; }

void TextSizeOf(TCanvas* Canvas, const std::wstring& Text, TSize& Size) {
  Size = Canvas ? Canvas->TextExtent(Text) : TSize{};
}

void CanvasTextRect(TCanvas* Canvas, const TRect& R, int X, int Y, const std::wstring& Text) {
  if (Canvas) Canvas->TextRect(R, X, Y, Text);
}

bool MeasureTextExtent(HDC DC, const std::wstring& Text, TSize& Size, HFONT Font) {
  SIZE size = {};
  BOOL done;
  if (DC) {
    done = GetTextExtentPoint32W(DC, Text.c_str(), static_cast<int>(Text.size()), &size);
  } else {
    TScreenFontDC screen(Font);
    done = screen.DC() && GetTextExtentPoint32W(screen.DC(), Text.c_str(), static_cast<int>(Text.size()), &size);
  }
  Size = TSize{size.cx, size.cy};
  return done != FALSE;
}

void MeasureTextSize(HFONT Font, const std::wstring& Text, UINT Format, bool WordWrap, int MaxWidth, TSize& Size) {
  Size = TSize{};
  TScreenFontDC screen(Font);
  if (!screen.DC()) return;
  if (WordWrap) {
    TRect r = Rect(0, 0, MaxWidth, 0);
    DrawTextLimited(screen.DC(), Text, r, Format | DT_CALCRECT);
    Size = TSize{std::max(0, r.Width()), std::max(0, r.Height())};
  } else {
    SIZE size = {};
    if (GetTextExtentPoint32W(screen.DC(), Text.c_str(), static_cast<int>(Text.size()), &size))
      Size = TSize{size.cx, size.cy};
  }
}

int FontLineHeight(HFONT Font, bool WithoutLeadings) {
  TScreenFontDC screen(Font);
  TEXTMETRICW tm = {};
  if (!screen.DC() || !GetTextMetricsW(screen.DC(), &tm)) return 0;
  return WithoutLeadings ? tm.tmHeight - tm.tmInternalLeading - tm.tmExternalLeading : tm.tmHeight + 6;
}

void EllipsizeText(TCanvas* Canvas, const std::wstring& Text, int MaxWidth, std::wstring& Result) {
  Result = MaxWidth < 1 ? std::wstring() : Text;
  if (!Canvas || Result.empty() || Canvas->TextWidth(Result) <= MaxWidth) return;
  while (!Result.empty() && Canvas->TextWidth(Result + L"...") > MaxWidth) Result.pop_back();
  if (!Result.empty()) Result += L"...";
}

HGDIOBJ SelectRotatedFont(HDC DC, TFont& Font, int Escapement) {
  LOGFONTW lf = {};
  lf.lfHeight = Font.Height;
  lf.lfEscapement = Escapement;
  lf.lfOrientation = Escapement;
  lf.lfWeight = (Font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (Font.Style & fsItalic) ? TRUE : FALSE;
  lf.lfUnderline = (Font.Style & fsUnderline) ? TRUE : FALSE;
  lf.lfStrikeOut = (Font.Style & fsStrikeOut) ? TRUE : FALSE;
  lf.lfCharSet = Font.Charset;
  // The bitmap font cannot be turned; its outline look-alike can.
  const std::wstring face = Font.Name.Get() == L"MS Sans Serif" ? L"Arial" : Font.Name.Get();
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ previous = SelectObject(DC, font);
  SetTextColor(DC, static_cast<COLORREF>(ColorToRGB(Font.Color)));
  DeleteObject(font);
  return previous;
}

bool SameFont(const TFont& A, const TFont& B) {
  return A.Style.Get() == B.Style.Get() && A.Height.Get() == B.Height.Get() && A.Color.Get() == B.Color.Get() &&
         A.Name.Get() == B.Name.Get();
}

// ---------------------------------------------------------------------------
// Skin text on canvases
// ---------------------------------------------------------------------------

void DrawSkinTextOnCanvas(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Format, int SkinIndex,
                          int State, TsSkinManager* Manager) {
  if (!Canvas || !Text || !*Text) return;
  const int len = static_cast<int>(std::wcslen(Text));
  if (!Manager) Manager = DefaultManager();
  HDC dc = Canvas->FontHandle();
  SetBkMode(dc, TRANSPARENT);
  const TsGenState* state = SkinStateOf(Manager, SkinIndex, State);
  if (!state) {
    DrawTextW(dc, Text, len, R.AsRECT(), Format);
    return;
  }
  if (Enabled) {
    for (const TContour& c : ContoursOf(state->FontColor)) {
      if (c.Color == -1) continue;
      // Contour colours are the skin's own RGB values and go to the DC as they are.
      SetTextColor(dc, static_cast<COLORREF>(c.Color));
      TRect moved = Moved(R, c.DX, c.DY);
      DrawTextW(dc, Text, len, moved.AsRECT(), Format);
    }
    SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(state->FontColor.Color)));
    DrawTextW(dc, Text, len, R.AsRECT(), Format);
  } else {
    const TsGenState* normal = SkinStateOf(Manager, SkinIndex, 0);
    const TColor fontColor = normal ? normal->FontColor.Color : SysGrayTextColor;
    const TColor sectionColor = normal ? normal->Color : SysGrayTextColor;
    Canvas->Font.Color = static_cast<TColor>(BlendTwoColors(static_cast<std::uint32_t>(ColorToRGB(fontColor)),
                                                            static_cast<std::uint32_t>(ColorToRGB(sectionColor)),
                                                            DisabledBlendWeight));
    dc = Canvas->FontHandle();
    DrawTextW(dc, Text, len, R.AsRECT(), Format);
  }
}

TColor ControlEffectColor(TColor Color, TsCommonData* CommonData) {
  if (!CommonData) return ColorToRGB(Color);
  std::uint32_t c = static_cast<std::uint32_t>(ColorToRGB(Color));
  // A TColor is toned with a tone in pixel order: the result is the tone darkened to c.
  if (CommonData->FColorTone != clNone)
    c = ApplyColorTone(c, SwapRedBlue(static_cast<std::uint32_t>(ColorToRGB(CommonData->FColorTone))) & 0xFFFFFF);
  c = static_cast<std::uint32_t>(ShiftColorHue(CommonData->FHUEOffset, static_cast<TColor>(c)));
  c = ChangeColorSaturation(c, CommonData->FSaturation * 256 / 100);
  return ColorToRGB(static_cast<TColor>(c));
}

void WriteControlText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Format,
                      TsCommonData* CommonData, int State, bool AllowGlow) {
  if (!Canvas || !Text || !*Text) return;
  const int len = static_cast<int>(std::wcslen(Text));
  const bool skinned = CommonData && CommonData->Skinned();
  TsSkinManager* manager = skinned ? CommonData->ReadSkinManager() : nullptr;
  if (State != 0 && manager && CommonData->SkinIndex >= 0 &&
      CommonData->SkinIndex == manager->SkinCommonInfo.Sections[WebButtonSection])
    Canvas->Font.Style |= fsUnderline;
  Canvas->Brush.Style = bsClear;
  // Everything the font needs is selected before the DC's state is saved, so restoring it
  // never brings back a font the canvas has let go of; colour changes go to the DC only
  // and reach the canvas's font once the state is restored.
  HDC dc = Canvas->FontHandle();
  TColor finalFontColor = clNone;
  {
    TSavedDC saved(dc);
    SetBkMode(dc, TRANSPARENT);
    auto plain = [&](TColor fontColor) {
      if (Enabled) {
        SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(fontColor)));
        DrawTextW(dc, Text, len, R.AsRECT(), Format);
        if (fontColor != Canvas->Font.Color) finalFontColor = fontColor;
        return;
      }
      SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(SysHighlightColor)));
      TRect moved = Moved(R, 1, 1);
      DrawTextW(dc, Text, len, moved.AsRECT(), Format);
      SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(SysShadowColor)));
      DrawTextW(dc, Text, len, R.AsRECT(), Format);
      finalFontColor = SysShadowColor;
    };

    if (!skinned || CommonData->FCustomFont) {
      plain(Canvas->Font.Color);
    } else {
      int index = CommonData->SkinIndex;
      TControl* owner = CommonData->FOwnerControl;
      const bool inParent = owner && owner->Parent();
      if (inParent && index >= 0) {
        for (int s = FirstButtonSection; s <= LastButtonSection; ++s)
          if (manager->SkinCommonInfo.Sections[s] == index) {
            index = VisibleSkinIndexOfControl(owner, index, manager, State);
            break;
          }
      }
      TacSkinData* data = CommonData->ReadCommonSkinData();
      if (index < 0 && inParent) {
        plain(owner->Parent()->Font.Color);
      } else if (!data || !manager->IsValidSkinIndex(index, data) || index >= static_cast<int>(data->gd.size())) {
        SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(Canvas->Font.Color)));
        DrawTextW(dc, Text, len, R.AsRECT(), Format);
      } else {
        const TsGenState& st = data->gd[index].StateProps(std::min(State, 2));
        if (AllowGlow && CommonData->FCacheBmp && st.GlowSize != 0) {
          IntersectClipRect(dc, R.Left, R.Top, R.Right, R.Bottom);
          std::unique_ptr<TBitmap> stencil;  // this call's only
          DrawTextGlow(CommonData->FCacheBmp.get(), Text, R, Format, 15, st.GlowSize,
                       ControlEffectColor(st.GlowColor, CommonData), stencil);
          saved.Renew();
          SetBkMode(dc, TRANSPARENT);
        }
        const TsFontColor& f = st.FontColor;
        if (Enabled) {
          for (const TContour& c : ContoursOf(f)) {
            if (c.Color == -1) continue;
            SetTextColor(dc, static_cast<COLORREF>(ControlEffectColor(c.Color, CommonData)));
            TRect moved = Moved(R, c.DX, c.DY);
            DrawTextW(dc, Text, len, moved.AsRECT(), Format);
          }
          SetTextColor(dc, static_cast<COLORREF>(ControlEffectColor(f.Color, CommonData)));
          DrawTextW(dc, Text, -1, R.AsRECT(), Format);
        } else {
          finalFontColor = ControlEffectColor(f.Color, CommonData);
          SetTextColor(dc, static_cast<COLORREF>(finalFontColor));
          DrawTextW(dc, Text, len, R.AsRECT(), Format);
        }
      }
    }
  }
  if (finalFontColor != clNone) Canvas->Font.Color = finalFontColor;
}

// ---------------------------------------------------------------------------
// Glow
// ---------------------------------------------------------------------------

int BlurKernelHalfWidth(int Radius) {
  if (Radius < 1) return 0;
  // A Gaussian of deviation Radius sampled at -16..16 and rounded to 0 or 1: what remains
  // is a box. Its half-width is where the kernel's tails stop mattering (1/510).
  double k[33];
  double sum = 0;
  for (int i = -16; i <= 16; ++i) {
    const double x = static_cast<double>(i) / Radius;
    k[i + 16] = std::nearbyint(std::exp(-x * x / 2));
    sum += k[i + 16];
  }
  for (double& v : k) v /= sum;
  int j = 16;
  double tail = 0;
  while (tail < 1.0 / 510 && j > 1) {
    tail += 2 * k[j + 16];
    --j;
  }
  return j;
}

namespace {

// Box means of n = 2h + 1 values, rounded to the nearest (n is odd, so no ties).
struct TBoxDivider {
  explicit TBoxDivider(int h) : N(2 * h + 1), Table(static_cast<std::size_t>(255 * N + 1)) {
    for (int s = 0; s <= 255 * N; ++s) Table[s] = static_cast<std::uint8_t>((2 * s + N) / (2 * N));
  }
  int N;
  std::vector<std::uint8_t> Table;
};

// One line of n values (step apart in Line) blurred in place through Work.
void BlurLine(std::uint8_t* line, std::ptrdiff_t step, int n, int h, const TBoxDivider& div, std::uint8_t* work) {
  for (int i = 0; i < n; ++i) work[i] = line[i * step];
  const int last = n - 1;
  int sum = 0;
  for (int t = -h; t <= h; ++t) sum += work[std::clamp(t, 0, last)];
  for (int i = 0; i < n; ++i) {
    line[i * step] = div.Table[sum];
    sum += work[std::min(i + h + 1, last)] - work[std::max(i - h, 0)];
  }
}

}  // namespace

void BlurBitmap8(TBitmap* Bmp, int Radius) {
  if (!Bmp || Bmp->Empty() || Bmp->PixelFormat() != pf8bit || !Bmp->Handle()) return;
  const int h = BlurKernelHalfWidth(Radius);
  if (h < 1) return;
  const TBoxDivider div(h);
  const int w = Bmp->Width(), ht = Bmp->Height();
  std::uint8_t* base = Bmp->Bits();
  const std::ptrdiff_t stride = Bmp->Stride();
  std::vector<std::uint8_t> work(static_cast<std::size_t>(std::max(w, ht)));
  for (int y = 0; y < ht; ++y) BlurLine(base + y * stride, 1, w, h, div, work.data());

  // Columns walked row by row, all at once: a running sum per column over a copy of the
  // row-blurred plane keeps the reads in memory order.
  std::vector<std::uint8_t> plane(static_cast<std::size_t>(w) * ht);
  for (int y = 0; y < ht; ++y) std::memcpy(&plane[static_cast<std::size_t>(y) * w], base + y * stride, w);
  auto row = [&](int y) { return &plane[static_cast<std::size_t>(std::clamp(y, 0, ht - 1)) * w]; };
  std::vector<int> sums(static_cast<std::size_t>(w), 0);
  for (int t = -h; t <= h; ++t) {
    const std::uint8_t* r = row(t);
    for (int x = 0; x < w; ++x) sums[x] += r[x];
  }
  for (int y = 0; y < ht; ++y) {
    std::uint8_t* out = base + y * stride;
    const std::uint8_t* in = row(y + h + 1);
    const std::uint8_t* outgoing = row(y - h);
    for (int x = 0; x < w; ++x) {
      out[x] = div.Table[sums[x]];
      sums[x] += in[x] - outgoing[x];
    }
  }
}

void MixGlowStencil(TBitmap* Bmp, TBitmap* Stencil, int X, int Y, TColor Color) {
  TPixels32 dst;
  if (!Stencil || Stencil->Empty() || Stencil->PixelFormat() != pf8bit || !GetPixels32(Bmp, dst)) return;
  const std::uint32_t rgb = static_cast<std::uint32_t>(ColorToRGB(Color));
  const int cr = rgb & 0xFF, cg = (rgb >> 8) & 0xFF, cb = (rgb >> 16) & 0xFF;
  const int x0 = std::max(0, -X), y0 = std::max(0, -Y);
  const int x1 = std::min(Stencil->Width(), dst.Width - X), y1 = std::min(Stencil->Height(), dst.Height - Y);
  if (x0 >= x1 || y0 >= y1) return;
  const std::uint8_t* sbase = Stencil->Bits();
  const std::ptrdiff_t sstride = Stencil->Stride();
  for (int y = y0; y < y1; ++y) {
    const std::uint8_t* s = sbase + y * sstride;
    std::uint32_t* d = dst.Row(Y + y) + X;
    for (int x = x0; x < x1; ++x) {
      const int v = s[x];
      if (v == 255) continue;
      const int k = 255 - v;
      const std::uint32_t p = d[x];
      const int a = p >> 24;
      const int na = a + (((255 - a) * k) >> 8);
      const int b = (k * cb + v * static_cast<int>(p & 0xFF)) >> 8;
      const int g = (k * cg + v * static_cast<int>((p >> 8) & 0xFF)) >> 8;
      const int r = (k * cr + v * static_cast<int>((p >> 16) & 0xFF)) >> 8;
      d[x] = (static_cast<std::uint32_t>(na) << 24) | (static_cast<std::uint32_t>(r) << 16) |
             (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
    }
  }
}

void DrawTextGlow(TBitmap* Bmp, const std::wstring& Text, const TRect& R, UINT Format, int Flags, int GlowSize,
                  TColor Color, std::unique_ptr<TBitmap>& Stencil) {
  if (!Bmp || GlowSize <= 0) return;  // no blur of no width, and no stencil of negative size
  const int margin = GlowSize + 4;
  const TRect r1 = Moved(R, 1, 1);
  const TRect g = Rect(r1.Left - margin, r1.Top - margin, r1.Right + margin, r1.Bottom + margin);
  if (g.IsEmpty()) return;
  if (!Stencil || Stencil->Width() != g.Width() || Stencil->Height() != g.Height()) {
    if (!Stencil) Stencil = std::make_unique<TBitmap>();
    Stencil->SetPixelFormat(pf8bit);
    Stencil->SetSize(g.Width(), g.Height());
    std::uint8_t* base = Stencil->Bits();
    for (int y = 0; y < Stencil->Height(); ++y) std::memset(base + y * Stencil->Stride(), 255, g.Width());
    TCanvas& canvas = Stencil->Canvas();
    canvas.Font.Assign(Bmp->Canvas().Font);
    canvas.Font.Color = clBlack;
    canvas.Brush.Style = bsClear;
    HDC dc = canvas.FontHandle();
    SetBkMode(dc, TRANSPARENT);
    const TRect t = Bounds(margin, margin, r1.Width(), r1.Height());
    static constexpr int Offsets[4][2] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
    for (int bit = 0; bit < 4; ++bit) {
      if (!(Flags & (1 << bit))) continue;
      TRect moved = Moved(t, Offsets[bit][0], Offsets[bit][1]);
      DrawTextLimited(dc, Text, moved, Format);
    }
    TRect inPlace = t;
    DrawTextLimited(dc, Text, inPlace, Format);
    BlurBitmap8(Stencil.get(), GlowSize);
  }
  MixGlowStencil(Bmp, Stencil.get(), g.Left, g.Top, Color);
}

// ---------------------------------------------------------------------------
// Text into 32-bit bitmaps
// ---------------------------------------------------------------------------

namespace {

// One stencil pixel mixed into one destination pixel (k: the colour in the pixel's byte
// order, blue first). In alpha mode full ink (0) counts as a coverage step of 1 out of 256
// short of the whole, partial ink by its luma; both then lift the alpha and come
// premultiplied by it. Without alpha mode each channel keeps its own coverage.
inline std::uint32_t MixTextPixel(std::uint32_t sp, std::uint32_t dp, bool alphaMode, const int k[3]) {
  std::uint32_t out;
  if (alphaMode) {
    const int m = sp == 0 ? 1 : LumaOf(sp);
    const int na = std::max(static_cast<int>(dp >> 24), 255 - m);
    out = static_cast<std::uint32_t>(na) << 24;
    for (int c = 0; c < 3; ++c) {
      const int dc = static_cast<int>((dp >> (8 * c)) & 0xFF);
      out |= static_cast<std::uint32_t>(((dc * m + k[c] * (256 - m)) * na) >> 16) << (8 * c);
    }
  } else {
    out = 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
      const int dc = static_cast<int>((dp >> (8 * c)) & 0xFF);
      const int sc = static_cast<int>((sp >> (8 * c)) & 0xFF);
      out |= static_cast<std::uint32_t>((dc * sc + k[c] * (256 - sc)) >> 8) << (8 * c);
    }
  }
  return out;
}

#if defined(__SSE2__)
// Four pixels a step, bit for bit as MixTextPixel; answers how many pixels it did.
int MixTextRowSSE2(std::uint32_t* d, const std::uint32_t* s, int width, bool alphaMode, const int k[3]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i rgbMask = _mm_set1_epi32(0x00FFFFFF);
  const __m128i k16 = _mm_setr_epi16(static_cast<short>(k[0]), static_cast<short>(k[1]), static_cast<short>(k[2]), 0,
                                     static_cast<short>(k[0]), static_cast<short>(k[1]), static_cast<short>(k[2]), 0);
  const __m128i c256 = _mm_set1_epi16(256);
  const __m128i c255 = _mm_set1_epi32(255);
  const __m128i lumaRG = _mm_set1_epi32((299 << 16) | 587);
  const __m128i lumaB = _mm_set1_epi32(114);
  const __m128 thousand = _mm_set1_ps(1000.0f);
  const __m128i one = _mm_set1_epi32(1);
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    const __m128i sp = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x)), rgbMask);
    const __m128i white = _mm_cmpeq_epi32(sp, rgbMask);
    if (_mm_movemask_epi8(white) == 0xFFFF) continue;  // no ink in these four
    const __m128i dp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + x));
    const __m128i dlo = _mm_unpacklo_epi8(dp, zero), dhi = _mm_unpackhi_epi8(dp, zero);
    __m128i out;
    if (alphaMode) {
      // Luma in thousandths, rounded half to even: q = (n + 500) div 1000, less one on a tie
      // that lands on an odd q. The float division is exact where it matters (n < 2^24).
      // Red stays in the high half of each lane, green comes down to the low half.
      const __m128i redGreen = _mm_or_si128(_mm_and_si128(sp, _mm_set1_epi32(0x00FF0000)),
                                            _mm_and_si128(_mm_srli_epi32(sp, 8), c255));
      const __m128i n = _mm_add_epi32(_mm_madd_epi16(redGreen, lumaRG),
                                      _mm_mullo_epi16(_mm_and_si128(sp, c255), lumaB));
      const __m128 t = _mm_cvtepi32_ps(_mm_add_epi32(n, _mm_set1_epi32(500)));
      __m128i q = _mm_cvttps_epi32(_mm_div_ps(t, thousand));
      const __m128i tie = _mm_castps_si128(_mm_cmpeq_ps(_mm_mul_ps(_mm_cvtepi32_ps(q), thousand), t));
      q = _mm_sub_epi32(q, _mm_and_si128(tie, _mm_and_si128(q, one)));
      const __m128i full = _mm_cmpeq_epi32(sp, zero);
      const __m128i m = _mm_or_si128(_mm_andnot_si128(full, q), _mm_and_si128(full, one));
      const __m128i na = _mm_max_epi16(_mm_srli_epi32(dp, 24), _mm_sub_epi32(c255, m));
      // Per pixel values spread over its four 16-bit lanes.
      auto spread = [](__m128i v, bool high) {
        const __m128i w = _mm_unpacklo_epi16(_mm_packs_epi32(v, v), _mm_packs_epi32(v, v));
        return high ? _mm_unpackhi_epi32(w, w) : _mm_unpacklo_epi32(w, w);
      };
      const __m128i mlo = spread(m, false), mhi = spread(m, true);
      const __m128i alo = spread(na, false), ahi = spread(na, true);
      const __m128i xlo = _mm_add_epi16(_mm_mullo_epi16(dlo, mlo), _mm_mullo_epi16(k16, _mm_sub_epi16(c256, mlo)));
      const __m128i xhi = _mm_add_epi16(_mm_mullo_epi16(dhi, mhi), _mm_mullo_epi16(k16, _mm_sub_epi16(c256, mhi)));
      out = _mm_packus_epi16(_mm_mulhi_epu16(xlo, alo), _mm_mulhi_epu16(xhi, ahi));
      out = _mm_or_si128(_mm_and_si128(out, rgbMask), _mm_slli_epi32(na, 24));
    } else {
      const __m128i slo = _mm_unpacklo_epi8(sp, zero), shi = _mm_unpackhi_epi8(sp, zero);
      const __m128i xlo = _mm_add_epi16(_mm_mullo_epi16(dlo, slo), _mm_mullo_epi16(k16, _mm_sub_epi16(c256, slo)));
      const __m128i xhi = _mm_add_epi16(_mm_mullo_epi16(dhi, shi), _mm_mullo_epi16(k16, _mm_sub_epi16(c256, shi)));
      out = _mm_packus_epi16(_mm_srli_epi16(xlo, 8), _mm_srli_epi16(xhi, 8));
      out = _mm_or_si128(_mm_and_si128(out, rgbMask), _mm_set1_epi32(static_cast<int>(0xFF000000u)));
    }
    out = _mm_or_si128(_mm_and_si128(white, dp), _mm_andnot_si128(white, out));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), out);
  }
  return x;
}
// Per pixel values spread over its four 16-bit lanes (the pixels of the low or high half).
__attribute__((target("avx2"))) inline __m256i Spread8(__m256i v, bool high) {
  const __m256i w = _mm256_unpacklo_epi16(_mm256_packs_epi32(v, v), _mm256_packs_epi32(v, v));
  return high ? _mm256_unpackhi_epi32(w, w) : _mm256_unpacklo_epi32(w, w);
}

// Eight pixels a step, the same loop in AVX2's two lanes.
__attribute__((target("avx2"))) int MixTextRowAVX2(std::uint32_t* d, const std::uint32_t* s, int width, bool alphaMode, const int k[3]) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i rgbMask = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i k16 = _mm256_setr_epi16(static_cast<short>(k[0]), static_cast<short>(k[1]), static_cast<short>(k[2]), 0,
                                        static_cast<short>(k[0]), static_cast<short>(k[1]), static_cast<short>(k[2]), 0,
                                        static_cast<short>(k[0]), static_cast<short>(k[1]), static_cast<short>(k[2]), 0,
                                        static_cast<short>(k[0]), static_cast<short>(k[1]), static_cast<short>(k[2]), 0);
  const __m256i c256 = _mm256_set1_epi16(256);
  const __m256i c255 = _mm256_set1_epi32(255);
  const __m256i lumaRG = _mm256_set1_epi32((299 << 16) | 587);
  const __m256i lumaB = _mm256_set1_epi32(114);
  const __m256 thousand = _mm256_set1_ps(1000.0f);
  const __m256i one = _mm256_set1_epi32(1);
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m256i sp = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + x)), rgbMask);
    const __m256i white = _mm256_cmpeq_epi32(sp, rgbMask);
    if (_mm256_movemask_epi8(white) == -1) continue;  // no ink in these four
    const __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + x));
    const __m256i dlo = _mm256_unpacklo_epi8(dp, zero), dhi = _mm256_unpackhi_epi8(dp, zero);
    __m256i out;
    if (alphaMode) {
      // Luma in thousandths, rounded half to even: q = (n + 500) div 1000, less one on a tie
      // that lands on an odd q. The float division is exact where it matters (n < 2^24).
      // Red stays in the high half of each lane, green comes down to the low half.
      const __m256i redGreen = _mm256_or_si256(_mm256_and_si256(sp, _mm256_set1_epi32(0x00FF0000)),
                                            _mm256_and_si256(_mm256_srli_epi32(sp, 8), c255));
      const __m256i n = _mm256_add_epi32(_mm256_madd_epi16(redGreen, lumaRG),
                                      _mm256_mullo_epi16(_mm256_and_si256(sp, c255), lumaB));
      const __m256 t = _mm256_cvtepi32_ps(_mm256_add_epi32(n, _mm256_set1_epi32(500)));
      __m256i q = _mm256_cvttps_epi32(_mm256_div_ps(t, thousand));
      const __m256i tie = _mm256_castps_si256(_mm256_cmp_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(q), thousand), t, _CMP_EQ_OQ));
      q = _mm256_sub_epi32(q, _mm256_and_si256(tie, _mm256_and_si256(q, one)));
      const __m256i full = _mm256_cmpeq_epi32(sp, zero);
      const __m256i m = _mm256_or_si256(_mm256_andnot_si256(full, q), _mm256_and_si256(full, one));
      const __m256i na = _mm256_max_epi16(_mm256_srli_epi32(dp, 24), _mm256_sub_epi32(c255, m));
      const __m256i mlo = Spread8(m, false), mhi = Spread8(m, true);
      const __m256i alo = Spread8(na, false), ahi = Spread8(na, true);
      const __m256i xlo = _mm256_add_epi16(_mm256_mullo_epi16(dlo, mlo), _mm256_mullo_epi16(k16, _mm256_sub_epi16(c256, mlo)));
      const __m256i xhi = _mm256_add_epi16(_mm256_mullo_epi16(dhi, mhi), _mm256_mullo_epi16(k16, _mm256_sub_epi16(c256, mhi)));
      out = _mm256_packus_epi16(_mm256_mulhi_epu16(xlo, alo), _mm256_mulhi_epu16(xhi, ahi));
      out = _mm256_or_si256(_mm256_and_si256(out, rgbMask), _mm256_slli_epi32(na, 24));
    } else {
      const __m256i slo = _mm256_unpacklo_epi8(sp, zero), shi = _mm256_unpackhi_epi8(sp, zero);
      const __m256i xlo = _mm256_add_epi16(_mm256_mullo_epi16(dlo, slo), _mm256_mullo_epi16(k16, _mm256_sub_epi16(c256, slo)));
      const __m256i xhi = _mm256_add_epi16(_mm256_mullo_epi16(dhi, shi), _mm256_mullo_epi16(k16, _mm256_sub_epi16(c256, shi)));
      out = _mm256_packus_epi16(_mm256_srli_epi16(xlo, 8), _mm256_srli_epi16(xhi, 8));
      out = _mm256_or_si256(_mm256_and_si256(out, rgbMask), _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
    }
    out = _mm256_or_si256(_mm256_and_si256(white, dp), _mm256_andnot_si256(white, out));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), out);
  }
  return x;
}
#endif

}  // namespace

void MixTextStencil(TBitmap* Dst, TBitmap* Stencil, int X, int Y, bool AlphaMode, TColor Color) {
  TPixels32 dst, st;
  if (!GetPixels32(Dst, dst) || !GetPixels32(Stencil, st)) return;
  const std::uint32_t rgb = static_cast<std::uint32_t>(Color);
  // The colour's channels in the pixel's byte order: red from the colour's lowest byte.
  const int k[3] = {static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                    static_cast<int>(rgb & 0xFF)};
  const int x0 = std::max(0, -X), y0 = std::max(0, -Y);
  const int x1 = std::min(st.Width, dst.Width - X), y1 = std::min(st.Height, dst.Height - Y);
  if (x0 >= x1) return;
  for (int y = y0; y < y1; ++y) {
    const std::uint32_t* s = st.Row(y) + x0;
    std::uint32_t* d = dst.Row(Y + y) + X + x0;
    const int width = x1 - x0;
    int x = 0;
#if defined(__SSE2__)
    if (acvec::PixelPath() == acvec::TPixelPath::AVX2) x = MixTextRowAVX2(d, s, width, AlphaMode, k);
    x += MixTextRowSSE2(d + x, s + x, width - x, AlphaMode, k);
#endif
    for (; x < width; ++x) {
      const std::uint32_t sp = s[x] & 0x00FFFFFFu;  // text output leaves the alpha byte undefined
      if (sp != 0x00FFFFFFu) d[x] = MixTextPixel(sp, d[x], AlphaMode, k);  // white: no ink
    }
  }
}

void DrawTextToBitmap32(TBitmap* Bmp, const wchar_t* Text, bool AlphaMode, const TRect& R, UINT Flags,
                        TColor Color) {
  if (!Bmp || !Text || !*Text || R.IsEmpty()) return;
  std::unique_ptr<TBitmap> stencil = NewBitmap32ForRect(R);
  if (stencil->Empty()) return;
  TCanvas& canvas = stencil->Canvas();
  canvas.Font.Assign(Bmp->Canvas().Font);
  HDC dc = canvas.FontHandle();
  SetTextColor(dc, 0);
  SetBkColor(dc, 0xFFFFFF);
  TRect all = Rect(0, 0, stencil->Width(), stencil->Height());
  DrawTextLimited(dc, Text, all, Flags);
  MixTextStencil(Bmp, stencil.get(), R.Left, R.Top, AlphaMode, ColorToRGB(Color));
}

void DrawSkinTextToBitmap32(TBitmap* Bmp, const wchar_t* Text, bool AlphaMode, const TRect& R, UINT Flags,
                            int SkinIndex, int State, TsSkinManager* Manager, int) {
  if (!Bmp || !Text || !*Text || R.IsEmpty()) return;
  if (!Manager) Manager = DefaultManager();
  const TsGenState* state = SkinStateOf(Manager, SkinIndex, State);
  if (!state) {
    DrawTextToBitmap32(Bmp, Text, AlphaMode, R, Flags, Bmp->Canvas().Font.Color);
    return;
  }
  if (AlphaMode) {
    for (const TContour& c : ContoursOf(state->FontColor))
      if (c.Color != -1) DrawTextToBitmap32(Bmp, Text, true, Moved(R, c.DX, c.DY), Flags, c.Color);
  }
  DrawTextToBitmap32(Bmp, Text, AlphaMode, R, Flags, state->FontColor.Color);
}
