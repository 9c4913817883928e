#include "skin/handlers/acDials.h"

// Filled later with the window handlers (see the header).
bool SkinNewTopWindow(HWND Wnd, void* Info) {
  (void)Wnd;
  (void)Info;
  return false;
}

std::vector<TacProvider*>* HookedProviders = nullptr;

LRESULT CALLBACK DialogCbtHookProc(int Code, WPARAM WParam, LPARAM LParam) {
  return CallNextHookEx(nullptr, Code, WParam, LParam);
}

void FreeMenuWindows() {}

void FreeDialogProviders() {
  std::vector<TacProvider*>* list = HookedProviders;
  HookedProviders = nullptr;
  if (!list) return;
  for (TacProvider* p : *list) delete p;
  delete list;
}
// ---- glyphs of image lists ----

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "platform/ui/ImgList.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sSkinManager.h"

int ImageListCount(TCustomImageList* List) { return List ? List->Count() : 0; }

int ScaledImageWidth(TCustomImageList* List, int Index, int PPI) {
  if (!List) return 0;
  auto* chars = dynamic_cast<TsCharImageList*>(List);
  if (chars && Index >= 0 && Index < chars->Items().Count()) {
    const int w = RoundHalfEven(chars->Width() * chars->Items().GetItem(Index)->ScalingFactor());
    return chars->FAllowScale ? PPI * w / 96 : w;
  }
  return PPI * List->Width() / 96;
}

int ScaledImageHeight(TCustomImageList* List, int Index, int PPI) {
  if (!List) return 0;
  auto* chars = dynamic_cast<TsCharImageList*>(List);
  if (chars && Index >= 0 && Index < chars->Items().Count()) {
    const TacCharListItem& item = *chars->Items().GetItem(Index);
    return PPI * RoundHalfEven((chars->Height() + std::abs(item.OffsetY())) * item.ScalingFactor()) / 96;
  }
  return PPI * List->Height() / 96;
}

int ListGlyphCell(int CurrentState, int NumGlyphs, bool Enabled, bool StdGlyphsOrder) {
  int state = std::max(0, CurrentState);
  if (!StdGlyphsOrder) return state;
  if (state == 1) return 0;
  if (state == 0 && !Enabled) return 1;
  if (state >= 2 && NumGlyphs < 3) return 0;
  return state;
}

namespace {

bool AllAlphaZero(TBitmap& Bmp) {
  std::uint8_t* base = Bmp.Bits();
  for (int y = 0; y < Bmp.Height(); ++y) {
    const std::uint8_t* row = base + static_cast<std::ptrdiff_t>(y) * Bmp.Stride();
    for (int x = 0; x < Bmp.Width(); ++x)
      if (row[4 * x + 3]) return false;
  }
  return true;
}

std::unique_ptr<TBitmap> Work32(int W, int H) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(std::max(0, W), std::max(0, H));
  return bmp;
}

}  // namespace

void DrawListGlyph(const TacGlyphDrawInfo& Source) {
  TacGlyphDrawInfo Info = Source;
  Info.NumGlyphs = std::max(1, Info.NumGlyphs);
  Info.CurrentState = std::max(0, Info.CurrentState);
  if (!Info.DstBmp && !Info.DstCanvas) return;
  const TColor tint = Info.Grayed ? SkinColorOf(Info.BlendColor) : clNone;
  TsSkinManager* manager = DefaultManager();
  const bool stdOrder = manager && manager->Options.StdGlyphsOrder;
  const int state = ListGlyphCell(Info.CurrentState, Info.NumGlyphs, Info.Enabled, stdOrder);

  if (Info.Images && Info.ImageIndex >= 0 && Info.ImageIndex < ImageListCount(Info.Images)) {
    auto* ac = dynamic_cast<TacImageList*>(Info.Images);
    if (ac) {
      const int cell = state + (Info.Down ? 1 : 0);
      const int blend = std::max(state == 0 ? Info.Blend : 0, !Info.Enabled && (Info.DisabledKind & dkBlended) ? 50 : 0);
      if (Info.DstBmp) {
        TSize size{};
        DrawImageListItem(Info.Images, Info.DstBmp, Info.DstRect.Left, Info.DstRect.Top, Info.ImageIndex, blend, tint,
                          cell, Info.NumGlyphs, Info.Reflected, Info.PPI, size);
      } else {
        auto* chars = dynamic_cast<TsCharImageList*>(ac);
        if (chars)
          chars->SetCharColor(SkinColorOf(Info.DstCanvas->Font.Color.Get()), Info.ImageIndex,
                              Info.DstCanvas->Font.Height.Get() != 0);
        DrawImageListItemOnDC(Info.Images, Info.DstCanvas->Handle(), Info.DstRect.Left, Info.DstRect.Top,
                              Info.ImageIndex, blend, tint, cell, Info.NumGlyphs, Info.Reflected, Info.PPI);
        if (chars) chars->ForeColor = clNone;
      }
      return;
    }
    const int W = ScaledImageWidth(Info.Images, Info.ImageIndex, Info.PPI);
    const int H = ScaledImageHeight(Info.Images, Info.ImageIndex, Info.PPI);
    if (Info.DstBmp && W > 0 && H > 0) {
      auto work = Work32(W, H);
      const TColor fill = Info.Images->BkColor() == clNone ? 0xFF00FF : ColorToRGB(Info.Images->BkColor());
      work->Canvas().Brush.Color = fill;
      work->Canvas().FillRect(TRect{0, 0, W, H});
      Info.Images->Draw(&work->Canvas(), 0, 0, Info.ImageIndex, true);
      const std::uint32_t keyPixel = 0x00FF00FF;
      const TColor topLeft = work->Canvas().Pixel(0, 0);
      const std::uint32_t topLeftPixel =
          static_cast<std::uint32_t>((topLeft & 0xFF) << 16 | (topLeft & 0xFF00) | (topLeft >> 16 & 0xFF));
      const TRect all{0, 0, W - 1, H - 1};
      if (Info.Enabled) {
        if (state == 0 && Info.Grayed) GrayscaleBitmapExceptKey(work.get(), topLeftPixel);
        if (state != 0 || Info.Blend < 1)
          PasteExceptKey(Info.DstBmp, work.get(), Info.DstRect.Left, Info.DstRect.Top, fill);
        else
          CopyExceptKey(Info.DstBmp, Info.DstRect.Left, Info.DstRect.Top, work.get(), all,
                        static_cast<std::uint8_t>(std::clamp(Info.Blend * 255 / 100, 0, 255)), keyPixel);
      } else {
        if (Info.Grayed) GrayscaleBitmapExceptKey(work.get(), topLeftPixel);
        if (Info.DisabledKind & dkBlended)
          CopyExceptKey(Info.DstBmp, Info.DstRect.Left, Info.DstRect.Top, work.get(), all, 127, keyPixel);
        else
          PasteExceptKey(Info.DstBmp, work.get(), Info.DstRect.Left, Info.DstRect.Top, fill);
      }
    } else if (Info.DstCanvas) {
      Info.Images->Draw(Info.DstCanvas, Info.DstRect.Left, Info.DstRect.Top, Info.ImageIndex, true);
    }
    return;
  }

  TBitmap* glyph = Info.Glyph;
  if (!glyph || glyph->Empty() || Info.DstRect.IsEmpty()) return;
  const bool is32 = glyph->PixelFormat() == pf32bit && !AllAlphaZero(*glyph);
  if (is32) {
    // The cell is the rectangle's width at the state's place, clipped to the bitmap: a strip
    // narrower than its cells is never read past its edge.
    const int cellWidth = Info.DstRect.Width();
    const int cellIndex = std::min(state, Info.NumGlyphs - 1);
    TRect src{cellWidth * cellIndex, 0, cellWidth * cellIndex + cellWidth, glyph->Height()};
    src.Right = std::min(src.Right, glyph->Width());
    if (src.IsEmpty()) return;
    if (Info.DstBmp) {
      DrawImageAlpha(Info.DstRect, src, Info.DstBmp, glyph, TCacheInfo{}, false, tint, state == 0 ? Info.Blend : 0,
                     Info.Reflected);
      return;
    }
    auto work = Work32(src.Width(), src.Height());
    BitBlt(work->Canvas().Handle(), 0, 0, src.Width(), src.Height(), glyph->Canvas().Handle(), src.Left, 0, SRCCOPY);
    int e = Info.Blend;
    if (!Info.Enabled && (Info.DisabledKind & dkBlended)) e = std::max(e, 50);
    if (state == 0 && e != 0) {
      std::uint8_t* base = work->Bits();
      for (int y = 0; y < work->Height(); ++y)
        for (int x = 0; x < work->Width(); ++x) {
          std::uint8_t& a = base[static_cast<std::ptrdiff_t>(y) * work->Stride() + 4 * x + 3];
          a = static_cast<std::uint8_t>(a * e / 100);
        }
    }
    if ((!Info.Enabled && (Info.DisabledKind & dkGrayed)) || (state == 0 && Info.Grayed)) GrayscaleBitmap(work.get());
    DrawAlphaBitmapOnCanvas(Info.DstCanvas, work.get(),
                            TRect{Info.DstRect.Left, Info.DstRect.Top, Info.DstRect.Left + src.Width(),
                                  Info.DstRect.Top + src.Height()},
                            Info.Reflected);
    return;
  }
  // Bitmaps without alpha go through the button-glyph cell painter. Its cell choice is
  // mapped from the state found above: cell 0 is its first cell (with Blend), any other
  // cell c its state cell c - 2 + 2.
  const int cell = std::min(state + (Info.Down && state == 0 ? 2 : 0), Info.NumGlyphs - 1);
  const bool useStateCell = cell != 0;
  const int mode = cell == 0 ? 0 : 2;
  const int blend = cell == 0 ? (!Info.Enabled && (Info.DisabledKind & dkBlended) ? std::max(Info.Blend, 50) : Info.Blend) : 0;
  if (Info.DstBmp) {
    DrawButtonGlyphCell(glyph, Info.DstBmp, Info.DstRect, Info.NumGlyphs, useStateCell, mode, blend, cell - 2,
                        Info.Reflected);
    return;
  }
  auto work = Work32(Info.DstRect.Width(), Info.DstRect.Height());
  if (work->Empty()) return;
  BitBlt(work->Canvas().Handle(), 0, 0, work->Width(), work->Height(), Info.DstCanvas->Handle(), Info.DstRect.Left,
         Info.DstRect.Top, SRCCOPY);
  DrawButtonGlyphCell(glyph, work.get(), TRect{0, 0, work->Width(), work->Height()}, Info.NumGlyphs, useStateCell,
                      mode, blend, cell - 2, Info.Reflected);
  BitBlt(Info.DstCanvas->Handle(), Info.DstRect.Left, Info.DstRect.Top, work->Width(), work->Height(),
         work->Canvas().Handle(), 0, 0, SRCCOPY);
}

const std::vector<std::wstring>& PopupClassesToSkip() {
  static const std::vector<std::wstring> classes = [] {
    std::vector<std::wstring> v{L"TApplication",         L"TfcPopup",           L"TcxComboBoxPopupWindow",
                                L"TcxCustomPopupWindow", L"TdxPopupEditForm",   L"TcxDateEditPopupWindow",
                                L"TcxGridFilterPopup"};
    std::sort(v.begin(), v.end());
    return v;
  }();
  return classes;
}

bool IsPopupClassToSkip(const std::wstring& ClassName) {
  const auto& v = PopupClassesToSkip();
  return std::binary_search(v.begin(), v.end(), ClassName);
}
