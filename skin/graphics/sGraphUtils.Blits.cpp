#include "skin/graphics/sGraphUtils.Blits.h"

#include <algorithm>
#include <cstdint>

#include "platform/ui/Controls.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

// Copies and stretches of nothing are left out: a negative extent would mirror the image.
void Copy(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy) {
  if (w > 0 && h > 0) BitBlt(dst, x, y, w, h, src, sx, sy, SRCCOPY);
}
void Stretch(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh) {
  if (w > 0 && h > 0 && sw > 0 && sh > 0) StretchBlt(dst, x, y, w, h, src, sx, sy, sw, sh, SRCCOPY);
}

// Tiles of Size along one axis from Start while there is room for a whole one, then one tile
// cut to what is left before End. Draw(position, length) copies one tile.
template <class F>
void TileAlong(int start, int end, int size, F&& draw) {
  int p = start;
  while (p < end - size) {
    draw(p, size);
    p += size;
  }
  if (p < end) draw(p, end - p);
}

}  // namespace

void BlitNineSlice(TBitmap* Dst, TBitmap* Src, const TRect& R, const TRect& SrcRect, const TRect& Margins,
                   const TRect& LimitMargins, const TRect& SideModes, bool StretchCenter, bool PaintCenter) {
  if (!Dst || !Src || Dst->Empty() || Src->Empty()) return;
  HDC dst = Dst->Canvas().Handle();
  HDC src = Src->Canvas().Handle();
  SetStretchBltMode(dst, COLORONCOLOR);
  const TRect& S = SrcRect;
  const int sw = S.Width(), sh = S.Height();
  const int mgL = std::max(0, Margins.Left), mgT = std::max(0, Margins.Top);
  const int mgR = std::max(0, Margins.Right), mgB = std::max(0, Margins.Bottom);
  const int mL = std::max(0, std::min(mgL, LimitMargins.Left)), mT = std::max(0, std::min(mgT, LimitMargins.Top));
  const int mR = std::max(0, std::min(mgR, LimitMargins.Right));
  const int mB = std::max(0, std::min(mgB, LimitMargins.Bottom));
  const int cx = (R.Left + R.Right) / 2, cy = (R.Top + R.Bottom) / 2;
  const int L = std::min(mgL, cx - R.Left), T = std::min(mgT, cy - R.Top);
  const int Rr = std::min(R.Right - cx, mgR), B = std::min(R.Bottom - cy, mgB);

  // Corners; where a limit shortens a corner, the rest of its height comes from the side.
  Copy(dst, R.Left, R.Top, L, mT, src, S.Left, S.Top);
  if (mT != mgT) Copy(dst, R.Left, R.Top + mT, mL, T - mT, src, S.Left, S.Top + mT);
  Copy(dst, R.Left, R.Bottom - mB, L, mB, src, S.Left, S.Bottom - mB);
  if (mB != mgB) Copy(dst, R.Left, R.Bottom - B, mL, B - mB, src, S.Left, S.Bottom - B);
  Copy(dst, R.Right - Rr, R.Top, Rr, mT, src, S.Right - Rr, S.Top);
  if (mT != mgT) Copy(dst, R.Right - mR, R.Top + mT, mR, T - mT, src, S.Right - mR, S.Top + mT);
  Copy(dst, R.Right - Rr, R.Bottom - mB, Rr, mB, src, S.Right - Rr, S.Bottom - mB);
  if (mB != mgB) Copy(dst, R.Right - mR, R.Bottom - B, mR, B - mB, src, S.Right - mR, S.Bottom - B);

  const int cw = std::max(0, sw - mgR - mgL), ch = std::max(0, sh - mgB - mgT);
  if (ch != 0) {
    if (SideModes.Left & 1)
      Stretch(dst, R.Left, R.Top + T, mL, R.Height() - T - B, src, S.Left, S.Top + T, mL, sh - T - mgB);
    else
      TileAlong(R.Top + T, R.Bottom - B, ch, [&](int y, int len) { Copy(dst, R.Left, y, mL, len, src, S.Left, S.Top + T); });
    if (SideModes.Right & 1)
      Stretch(dst, R.Right - mR, R.Top + T, mR, R.Height() - T - B, src, S.Right - mR, S.Top + T, mR, sh - T - B);
    else
      TileAlong(R.Top + T, R.Bottom - B, ch,
                [&](int y, int len) { Copy(dst, R.Right - mR, y, mR, len, src, S.Right - mR, S.Top + T); });
  }
  if (cw != 0) {
    if (SideModes.Top & 1)
      Stretch(dst, R.Left + L, R.Top, R.Width() - L - Rr, mT, src, S.Left + L, S.Top, sw - L - Rr, mT);
    else
      TileAlong(R.Left + L, R.Right - Rr, cw, [&](int x, int len) { Copy(dst, x, R.Top, len, mT, src, S.Left + L, S.Top); });
    if (SideModes.Bottom & 1)
      Stretch(dst, R.Left + L, R.Bottom - mB, R.Width() - L - Rr, mB, src, S.Left + L, S.Bottom - mB, sw - L - Rr, mB);
    else
      TileAlong(R.Left + L, R.Right - Rr, cw,
                [&](int x, int len) { Copy(dst, x, R.Bottom - mB, len, mB, src, S.Left + L, S.Bottom - mB); });
  }

  if (!PaintCenter) return;
  if (StretchCenter) {
    Stretch(dst, R.Left + L, R.Top + T, R.Width() - L - Rr, R.Height() - T - B, src, S.Left + L, S.Top + T,
            sw - L - Rr, sh - T - B);
  } else if (cw != 0 && ch != 0) {
    TileAlong(R.Left + L, R.Right - Rr, cw, [&](int x, int w) {
      TileAlong(R.Top + T, R.Bottom - B, ch, [&](int y, int h) { Copy(dst, x, y, w, h, src, S.Left + L, S.Top + T); });
    });
  }
}

void BlitBorderStrips(HDC DstDC, int X, int Y, int W, int H, HDC SrcDC, int SrcX, int SrcY, int LeftWidth,
                      int TopHeight, int RightWidth, int BottomHeight) {
  LeftWidth = std::max(0, LeftWidth);
  if (BottomHeight < 1) {
    BottomHeight = LeftWidth;
    if (TopHeight < 1) TopHeight = LeftWidth;
    if (RightWidth < 1) RightWidth = LeftWidth;
  }
  // Each strip is copied from the same offset of the source; strips never overlap and the
  // frame never leaves the rectangle, whatever the destination's clipping.
  W = std::max(0, W);
  H = std::max(0, H);
  LeftWidth = std::min(LeftWidth, W);
  RightWidth = std::clamp(RightWidth, 0, W - LeftWidth);
  TopHeight = std::clamp(TopHeight, 0, H);
  BottomHeight = std::clamp(BottomHeight, 0, H - TopHeight);
  auto strip = [&](int dx, int dy, int w, int h) { Copy(DstDC, X + dx, Y + dy, w, h, SrcDC, SrcX + dx, SrcY + dy); };
  strip(0, 0, LeftWidth, H);
  strip(LeftWidth, 0, W - LeftWidth, TopHeight);
  strip(W - RightWidth, TopHeight, RightWidth, H - TopHeight);
  strip(LeftWidth, H - BottomHeight, W - LeftWidth - RightWidth, BottomHeight);
}

void ExcludeChildControls(HDC DC, TWinControl* Control, int OffsetX, int OffsetY) {
  if (!Control) return;
  TsSkinManager* manager = DefaultManager();
  // Standard images drawn see-through let the parent's face show through graphic children.
  const bool graphicOpaque = manager && !manager->Options.StdImgTransparency;
  for (TControl* child : Control->Controls()) {
    if (!child || !child->Visible()) continue;
    if (dynamic_cast<TGraphicControl*>(child) && !graphicOpaque) continue;
    ExcludeClipRect(DC, OffsetX + child->Left(), OffsetY + child->Top(), OffsetX + child->Left() + child->Width(),
                    OffsetY + child->Top() + child->Height());
  }
}

void DrawLineOnDC(HDC DC, int X1, int Y1, int X2, int Y2) {
  MoveToEx(DC, X1, Y1, nullptr);
  LineTo(DC, X2, Y2);
}

void DrawBevelLines(HDC DC, TRect& R, TColor LightColor, TColor DarkColor, int& Count) {
  HPEN light = CreatePen(PS_SOLID, 1, static_cast<COLORREF>(ColorToRGB(LightColor)));
  HPEN dark = CreatePen(PS_SOLID, 1, static_cast<COLORREF>(DarkColor));
  HGDIOBJ oldPen = SelectObject(DC, light);
  HGDIOBJ oldBrush = SelectObject(DC, GetStockObject(NULL_BRUSH));
  R.Bottom -= 1;
  R.Right -= 1;
  while (Count > 0) {
    --Count;
    SelectObject(DC, light);
    const POINT lt[3] = {{R.Left, R.Bottom}, {R.Left, R.Top}, {R.Right, R.Top}};
    Polyline(DC, lt, 3);
    SelectObject(DC, dark);
    const POINT rb[3] = {{R.Right, R.Top}, {R.Right, R.Bottom}, {R.Left - 1, R.Bottom}};
    Polyline(DC, rb, 3);
    R = Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
  }
  R.Bottom += 1;
  R.Right += 1;
  SelectObject(DC, oldPen);
  SelectObject(DC, oldBrush);
  DeleteObject(light);
  DeleteObject(dark);
}

void DrawDottedFrame(TCanvas& Canvas, const TRect& R, TColor OddColor, TColor EvenColor) {
  HDC dc = Canvas.Handle();
  // The pattern counts from the far end, so for an even size its first even pixel would fall
  // one past the frame: pixels outside R are left out.
  auto put = [&](int x, int y, TColor color) {
    if (color == clNone || x < R.Left || x >= R.Right || y < R.Top || y >= R.Bottom) return;
    SetPixelV(dc, x, y, static_cast<COLORREF>(ColorToRGB(color)));
  };
  const int cw = R.Width() / 2, ch = R.Height() / 2;
  const int lastCol = R.Right - 1, lastRow = R.Bottom - 1;
  for (int i = 0; i < cw; ++i) {
    const int c = (cw - i) * 2;
    put(R.Left + c, R.Top, EvenColor);
    put(R.Left + c, lastRow, EvenColor);
    put(R.Left + c - 1, R.Top, OddColor);
    put(R.Left + c - 1, lastRow, OddColor);
  }
  for (int i = 0; i < ch; ++i) {
    const int c = (ch - i) * 2;
    put(R.Left, R.Top + c, EvenColor);
    put(lastCol, R.Top + c, EvenColor);
    put(R.Left, R.Top + c - 1, OddColor);
    put(lastCol, R.Top + c - 1, OddColor);
  }
}

HRGN RegionWithoutKeyColor(TBitmap* Bmp, TColor Key) {
  const int w = Bmp ? Bmp->Width() : 0, h = Bmp ? Bmp->Height() : 0;
  std::vector<RECT> runs;
  CollectKeyColorRuns(runs, Bmp, Key);
  HRGN rgn = CreateRectRgn(0, 0, w, h);
  for (const RECT& r : runs) {
    HRGN hole = CreateRectRgn(r.left, r.top, r.right, r.bottom);
    CombineRgn(rgn, rgn, hole, RGN_DIFF);
    DeleteObject(hole);
  }
  return rgn;
}

void CollectKeyColorRuns(std::vector<RECT>& Rects, TBitmap* Bmp, TColor Key) {
  if (!Bmp || Bmp->Empty() || Bmp->BitsPerPixel() != 32) return;
  const std::uint32_t key = static_cast<std::uint32_t>(Key) & 0xFFFFFF;
  const std::uint8_t* bits = Bmp->Bits();
  const int w = Bmp->Width();
  for (int y = 0; y < Bmp->Height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(bits + static_cast<std::ptrdiff_t>(y) * Bmp->Stride());
    for (int x = 0; x < w;) {
      if (row[x] != key) {
        ++x;
        continue;
      }
      const int first = x;
      while (x < w && row[x] == key) ++x;
      Rects.push_back(RECT{first, y, x, y + 1});
    }
  }
}

void CollectMaskCornerHoles(std::vector<RECT>& Rects, int Width, const TsMaskData& Mask, int Top, bool Bottom,
                            int Margin) {
  if (!Mask.Manager) return;
  TBitmap* bmp = Mask.Bmp ? Mask.Bmp : Mask.Manager->MasterBitmap();
  if (!bmp || bmp->Empty() || bmp->BitsPerPixel() != 32) return;
  const TRect& R = Mask.R;
  const int rows = Bottom ? Mask.WB : Mask.WT;
  const int first = Bottom ? R.Top + R.Height() / (Mask.MaskType + 1) - Mask.WB : R.Top;
  if (rows <= 0 || first < 0 || first + rows > bmp->Height()) return;
  // Corner columns are clipped to the image's rectangle and to the bitmap: a corner wider
  // than the image must not read beside it.
  const int colMin = std::max(0, R.Left), colMax = std::min(bmp->Width(), R.Right);
  constexpr std::uint32_t key = 0x00FF00FF;
  const std::uint8_t* bits = bmp->Bits();
  // Runs of image columns [c0, c1) of a row, placed at x = column + shift.
  auto runs = [&](const std::uint32_t* row, int c0, int c1, int shift, int y) {
    c0 = std::max(c0, colMin);
    c1 = std::min(c1, colMax);
    for (int c = c0; c < c1;) {
      if (row[c] != key) {
        ++c;
        continue;
      }
      const int start = c;
      while (c < c1 && row[c] == key) ++c;
      Rects.push_back(RECT{start + shift, y, c + shift, y + 1});
    }
  };
  for (int i = 0; i < rows; ++i) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(bits + static_cast<std::ptrdiff_t>(first + i) * bmp->Stride());
    const int y = Top + i - (Bottom ? Margin : 0);
    runs(row, R.Left, R.Left + Mask.WL, Margin - R.Left, y);
    // The right corner ends at the first cell's right edge; it lands at the window's right edge.
    const int cellRight = R.Left + Mask.Width;
    runs(row, cellRight - Mask.WR, cellRight, Width - cellRight - Margin, y);
  }
}

TPoint CalcGlyphAndTextRects(const TRect& R, TPoint GlyphSize, TPoint TextSize, int Layout, int Alignment, int Margin,
                             int Spacing, TRect& TextBounds, unsigned Flags, int VerticalAlignment) {
  const int CW = R.Width(), CH = R.Height();
  const int passedMargin = Margin;
  const bool across = Layout == 0 || Layout == 1;  // glyph and caption side by side
  const bool stacked = Layout == 2 || Layout == 3;
  TextBounds = Rect(0, 0, TextSize.X, TextSize.Y);
  // Positions of a layout or alignment outside the table stay at the rectangle's corner.
  TPoint glyph{0, 0};
  int textX = 0, textY = 0;
  if (across) {
    glyph.Y = (CH - GlyphSize.Y + 1) / 2;
    textY = (CH - TextSize.Y + 1) / 2;
  } else if (stacked) {
    glyph.X = (CW - GlyphSize.X + 1) / 2;
    textX = (CW - TextSize.X + 1) / 2;
  }
  if (TextSize.X == 0 || GlyphSize.X == 0) Spacing = 0;
  if (Margin == -1 && Spacing < 0) {
    if (across) Margin = Spacing = (CW - GlyphSize.X - TextSize.X) / 3;
    if (stacked) Margin = Spacing = (CH - GlyphSize.Y - TextSize.Y) / 3;
  } else if (Margin == -1) {
    Margin = 2;
    if (Alignment == 2 && VerticalAlignment == 2) {
      if (across) Margin = (CW - (GlyphSize.X + Spacing + TextSize.X) + 1) / 2;
      if (stacked) Margin = (CH - (GlyphSize.Y + Spacing + TextSize.Y) + 1) / 2;
    }
  } else if (Spacing < 0) {
    if (across) Spacing = (CW - Margin - GlyphSize.X - TextSize.X) / 2;
    if (stacked) Spacing = (CH - Margin - GlyphSize.Y - TextSize.Y) / 2;
  }

  if (Layout == 0) {
    if (Alignment == 0 && GlyphSize.X == 0) {
      textX = Margin;
      TextBounds.Right = Margin + TextSize.X;
    } else if (Alignment == 0) {
      glyph.X = Margin;
      textX = Margin + GlyphSize.X + Spacing;
      TextBounds.Right = R.Right - Margin - textX;
    } else if (Alignment == 1) {
      textX = CW - Margin - TextSize.X;
      glyph.X = textX - Spacing - GlyphSize.X;
    } else if (Alignment == 2) {
      glyph.X = std::max(Margin, (CW - TextSize.X - Spacing - GlyphSize.X) / 2);
      textX = glyph.X + Spacing + GlyphSize.X;
    }
  } else if (Layout == 1) {
    if (Alignment == 0) {
      textX = Margin;
      glyph.X = Margin + TextSize.X + Spacing;
    } else if (Alignment == 1) {
      glyph.X = CW - Margin - GlyphSize.X;
      textX = 0;
      TextBounds.Right = glyph.X - Spacing;
    } else if (Alignment == 2) {
      textX = (CW - TextSize.X - Spacing - GlyphSize.X) / 2;
      glyph.X = textX + Spacing + TextSize.X;
    }
  } else if (Layout == 2) {
    glyph.Y = (CH - GlyphSize.Y - Spacing - TextSize.Y) / 2;
    textY = glyph.Y + GlyphSize.Y + Spacing;
  } else if (Layout == 3) {
    const int f = (CH - GlyphSize.Y - Spacing - TextSize.Y) / 2;
    glyph.Y = CH - GlyphSize.Y - f;
    textY = glyph.Y - Spacing - TextSize.Y;
  }

  auto moveText = [&](int dx, int dy) { TextBounds = Rect(TextBounds.Left + dx, TextBounds.Top + dy, TextBounds.Right + dx, TextBounds.Bottom + dy); };
  glyph = Point(glyph.X + R.Left, glyph.Y + R.Top);
  moveText(R.Left + textX, R.Top + textY);

  const int m0 = std::max(0, passedMargin);
  if (VerticalAlignment == 0) {
    if (across) {
      glyph.Y = m0;
      moveText(0, m0 - TextBounds.Top);
    } else if (Layout == 2) {
      moveText(0, m0 - glyph.Y);
      glyph.Y = m0;
    } else if (Layout == 3) {
      const int d = m0 - TextBounds.Top;
      glyph.Y += d;
      moveText(0, d);
    }
  } else if (VerticalAlignment == 1) {
    if (across) {
      glyph.Y = R.Bottom - m0 - GlyphSize.Y;
      moveText(0, R.Bottom - m0 - TextBounds.Bottom);
    } else if (Layout == 2) {
      const int d = R.Bottom - m0 - TextBounds.Bottom;
      glyph.Y += d;
      moveText(0, d);
    } else if (Layout == 3) {
      moveText(0, R.Bottom - m0 - glyph.Y - GlyphSize.Y);
      glyph.Y = R.Bottom - m0 - GlyphSize.Y;
    }
  }

  if (Flags & DT_RIGHT) {
    TextBounds = Rect(CW - TextBounds.Right, TextBounds.Top, CW - TextBounds.Left, TextBounds.Bottom);
    glyph.X = CW - glyph.X - GlyphSize.X;
  }
  return glyph;
}
