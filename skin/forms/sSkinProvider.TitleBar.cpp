// The provider's side of the title bar: the skin sections of the items and their painter.
// Items paint into the non-client cache (or into a fade's picture) in seven steps: a dimmed
// copy, fonts and colours, a cleared rectangle, the background by style, the content (glyph,
// text, drop-down arrow), the user's OnDrawItem, and the dimmed copy mixed back in.
#include <windows.h>

#include <algorithm>

#include "platform/ui/Forms.h"
#include "platform/ui/ImgList.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr int SectionFormTitle = 32, SectionTbBtn = 44, SectionTbMenuBtn = 45, SectionTbTab = 46;

bool ValidSection(TacSkinData* sd, int index) { return sd && index >= 0 && index < static_cast<int>(sd->gd.size()); }
bool ValidMask(TacSkinData* sd, int index) { return sd && index >= 0 && index < static_cast<int>(sd->ma.size()); }

int CommonSection(TsSkinManager* manager, int which) {
  return manager ? manager->SkinCommonInfo.Sections[static_cast<std::size_t>(which)] : -1;
}

std::uint8_t DefaultCharset() {
  HDC dc = GetDC(nullptr);
  CHARSETINFO info{};
  const int cs = GetTextCharsetInfo(dc, nullptr, 0);
  ReleaseDC(nullptr, dc);
  (void)info;
  return static_cast<std::uint8_t>(cs >= 0 ? cs : DEFAULT_CHARSET);
}

// The default drop-down button: the state's cell of Src nine-sliced into R with margins
// 8, 2, 8, 4; the corners copied pixel by pixel without their key-colour pixels, the sides
// and the centre stretched.
void DrawDefaultMenuButton(TBitmap* dst, TBitmap* src, int state, const TRect& r) {
  if (!src || src->Empty() || r.Width() <= 0 || r.Height() <= 0) return;
  const int cw = src->Width() / 3, ch = src->Height();
  const int sx = cw * std::clamp(state, 0, 2);
  constexpr int ml = 8, mt = 2, mr = 8, mb = 4;
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  auto corner = [&](int srcX, int srcY, int dstX, int dstY, int w, int h) {
    for (int y = 0; y < h; ++y) {
      const int dy = dstY + y, syy = srcY + y;
      if (dy < 0 || dy >= d.Height || syy < 0 || syy >= s.Height) continue;
      for (int x = 0; x < w; ++x) {
        const int dx = dstX + x, sxx = srcX + x;
        if (dx < 0 || dx >= d.Width || sxx < 0 || sxx >= s.Width) continue;
        const std::uint32_t c = s.Row(syy)[sxx];
        if ((c & 0xFFFFFFu) != 0xFF00FFu) d.Row(dy)[dx] = c;
      }
    }
  };
  const int cl = std::min(ml, r.Width() / 2), cr = std::min(mr, r.Width() - cl);
  const int ct = std::min(mt, r.Height() / 2), cb = std::min(mb, r.Height() - ct);
  corner(sx, 0, r.Left, r.Top, cl, ct);
  corner(sx + cw - cr, 0, r.Right - cr, r.Top, cr, ct);
  corner(sx, ch - cb, r.Left, r.Bottom - cb, cl, cb);
  corner(sx + cw - cr, ch - cb, r.Right - cr, r.Bottom - cb, cr, cb);
  HDC dc = dst->Canvas().Handle(), sdc = src->Canvas().Handle();
  const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  auto stretch = [&](int x, int y, int w, int h, int srcX, int srcY, int sw, int sh) {
    if (w > 0 && h > 0 && sw > 0 && sh > 0) StretchBlt(dc, x, y, w, h, sdc, srcX, srcY, sw, sh, SRCCOPY);
  };
  const int mw = r.Width() - cl - cr, mh = r.Height() - ct - cb;
  const int smw = cw - ml - mr, smh = ch - mt - mb;
  stretch(r.Left + cl, r.Top, mw, ct, sx + ml, 0, smw, mt);                 // top
  stretch(r.Left + cl, r.Bottom - cb, mw, cb, sx + ml, ch - mb, smw, mb);   // bottom
  stretch(r.Left, r.Top + ct, cl, mh, sx, mt, ml, smh);                     // left
  stretch(r.Right - cr, r.Top + ct, cr, mh, sx + cw - mr, mt, mr, smh);     // right
  stretch(r.Left + cl, r.Top + ct, mw, mh, sx + ml, mt, smw, smh);          // centre
  SetStretchBltMode(dc, oldMode);
}

}  // namespace

void TsSkinProvider::UpdateTitleBar() {
  if (!FTitleBar) return;
  FTitleBar->SP = this;
  TsSkinManager* manager = Manager();
  for (int i = 0; i < FTitleBar->Items().Count(); ++i) {
    TacTitleBarItem* item = FTitleBar->Items()[i];
    if (!item->Data) item->Data = std::make_unique<TacItemSkinData>();
    int index = -1;
    if (manager && !item->SkinSection().empty()) index = manager->GetSkinIndex(item->SkinSection());
    if (index < 0) {
      switch (item->Style()) {
        case bsButton: index = CommonSection(manager, SectionTbBtn); break;
        case bsMenu: index = CommonSection(manager, SectionTbMenuBtn); break;
        case bsTab: index = CommonSection(manager, SectionTbTab); break;
        default: index = -1; break;
      }
    }
    item->Data->SkinIndex = index;
    item->FontData().WndHandle = Form && Form->HandleAllocated() ? Form->Handle() : nullptr;
    item->OnInternalDraw = [this](TacTitleBarItem* Item, const TRect& R, TBitmap* Bmp) {
      PaintTitleBarItem(Item, R, Bmp);
    };
  }
}

void TsSkinProvider::PaintTitleBarItem(TacTitleBarItem* Item, const TRect& R, TBitmap* Bmp) {
  if (!Item || !Item->Data || !Bmp || Bmp->Empty() || !Form || !FCommonData) return;
  TsSkinManager* manager = Manager();
  TacSkinData* sd = FCommonData->ReadCommonSkinData();
  if (!sd) return;
  int S = Item->Data->SkinIndex;
  bool V = ValidSection(sd, S);
  const int P = sd->PPI > 0 ? sd->PPI : 96;
  const int state = Item->State();
  const TacBtnStyle style = Item->Style();
  TacFontData& fd = Item->FontData();
  TBitmap* cache = FCommonData->FCacheBmp.get();
  const bool formEnabled = Form->Enabled();

  // 1. Dimmed items are drawn into a copy.
  const bool dimmed = !Item->Enabled() || !formEnabled || (style == bsMenu && !FormActive && state == 0);
  std::unique_ptr<TBitmap> copy;
  TBitmap* W = Bmp;
  if (dimmed) {
    copy = NewBitmap32(Bmp->Width(), Bmp->Height());
    BitBlt(copy->Canvas().Handle(), 0, 0, Bmp->Width(), Bmp->Height(), Bmp->Canvas().Handle(), 0, 0, SRCCOPY);
    W = copy.get();
  }
  if (Item->ContentSize.cx == 0 && Item->ContentSize.cy == 0) Item->UpdateSize(!Item->AutoSize());

  // 2. Font and colours.
  TFont& font = W->Canvas().Font;
  font.Assign(*fd.UsedFont);
  int row = 0;
  if (V) row = std::min(state, std::min(sd->gd[static_cast<std::size_t>(S)].States - 1, 2));
  row = std::max(row, 0);
  TColor fontColor = fd.Font().Color;
  if (fd.UseSysColor() && V) fontColor = sd->gd[static_cast<std::size_t>(S)].StateProps(row).FontColor.Color;
  if (!fd.UseSysFontName()) font.Name = fd.Font().Name.Get();
  int glowSize = 0;
  TColor glowColor = 0;
  if (!fd.UseSysGlowing()) {
    glowSize = fd.GlowSize();
    glowColor = fd.GlowColor();
  } else if (V) {
    glowSize = std::min(48, sd->gd[static_cast<std::size_t>(S)].StateProps(row).GlowSize);
    glowColor = sd->gd[static_cast<std::size_t>(S)].StateProps(row).GlowColor;
  }
  if (!fd.UseSysSize()) font.Height = fd.UsedFont->Height.Get();
  if (!fd.UseSysStyle()) font.Style = fd.Font().Style.Get();
  font.Charset = DefaultCharset();

  // 3. A picture of its own starts see-through.
  TRect r = R;
  if (Bmp != cache) {
    TPixels32 px;
    if (GetPixels32(W, px))
      for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, px.Height); ++y)
        for (int x = std::max(r.Left, 0); x < std::min(r.Right, px.Width); ++x) px.Row(y)[x] = 0;
  }

  // 4. Background by style.
  auto stateBackground = [&](int section, int st, TBitmap* background, TPoint offset) {
    if (!ValidSection(sd, section) || r.Width() <= 0 || r.Height() <= 0) return;
    const TsGeneralData& g = sd->gd[static_cast<std::size_t>(section)];
    const int b = std::max(0, std::min({st, g.States, 2}));
    const bool mask = ValidMask(sd, g.BorderIndex);
    if (g.StateProps(b).Transparency == 100 &&
        (!mask || (st == 0 && (sd->ma[static_cast<std::size_t>(g.BorderIndex)].DrawMode & 4))))
      PaintSkinSectionOnDC(section, MakeCacheInfo(background, 0, 0), b, r, offset, W->Canvas().Handle(), sd);
    else
      PaintSkinSectionLayered(section, 0, b, r, TPoint{0, 0}, W, sd);
  };
  const int barHeight = FTitleBar ? FTitleBar->FBarRect.Height() : r.Height();
  switch (style) {
    case bsButton:
    case bsInfo:
      if (Item->SkinSection().empty() && state == 0) {
        // A plain item at rest takes the caption's look.
        row = FormActive ? 1 : 0;
        const bool title = ValidSection(sd, FTitleSkinIndex);
        fontColor = fd.UseSysColor() && title
                        ? sd->gd[static_cast<std::size_t>(FTitleSkinIndex)].StateProps(row).FontColor.Color
                        : fd.Font().Color.Get();
        if (fd.UseSysGlowing() && title) {
          glowSize = std::min(48, sd->gd[static_cast<std::size_t>(FTitleSkinIndex)].StateProps(row).GlowSize);
          glowColor = sd->gd[static_cast<std::size_t>(FTitleSkinIndex)].StateProps(row).GlowColor;
        } else if (fd.UseSysGlowing()) {
          glowSize = 0;
        }
        S = FTitleSkinIndex;
        V = ValidSection(sd, S);
      }
      stateBackground(S, state, Bmp, TPoint{r.Left, r.Top});
      break;
    case bsMenu:
      if (V) {
        stateBackground(S, state, cache, TPoint{Item->Rect.Left, Item->Rect.Top});
      } else {
        if (r.Height() > barHeight - 2) r.Bottom = r.Top + barHeight - 2;
        DrawDefaultMenuButton(W, Item->DefaultMenuBtn(), state, r);
        if (fd.UseSysColor()) fontColor = 0xFFFFFF;
        if (fd.UseSysGlowing()) {
          glowSize = 2;
          glowColor = 0x0E5A8D;
        }
      }
      break;
    case bsTab:
      if (r.Height() > barHeight - 2) r.Top = r.Bottom - (barHeight - 2);
      if (V) {
        if (!Item->Down()) {
          r.Top += 1;
          r.Bottom -= 1;
          r.Top += 1;
          r.Bottom += 1;
        }
        stateBackground(S, state, Bmp, TPoint{r.Left, r.Top});
        if (fd.UseSysGlowing()) {
          const TsGenState& g = sd->gd[static_cast<std::size_t>(S)].StateProps(std::min(row, 2));
          glowSize = std::min(48, g.GlowSize);
          glowColor = g.GlowColor;
        }
      }
      break;
    case bsSpacing: row = FormActive ? 1 : 0; break;
  }

  // 5. Content.
  const std::wstring& caption = Item->Caption();
  TSize text{0, 0};
  if (!caption.empty()) MeasureTextSize(W->Canvas().Font.Handle(), caption, DT_SINGLELINE, false, 0, text);
  const bool arrow = (style == bsButton || style == bsMenu) && Item->DropdownMenu;
  const int a = arrow ? 2 * sd->ArrowSize : 0;
  const int arrowBlock = arrow ? sd->Spacing + a : 0;
  TColor tint = 0x1FFFFFFF;
  if (Item->Enabled() && formEnabled && state == 0 && manager && manager->Effects.DiscoloredGlyphs) {
    if (V)
      tint = sd->gd[static_cast<std::size_t>(S)].StateProps(0).Color;
    else if (ValidSection(sd, FTitleSkinIndex))
      tint = sd->gd[static_cast<std::size_t>(FTitleSkinIndex)].StateProps(0).Color;
    else
      tint = 0xFFFFFF;
  }
  int imageIndex = !Item->Enabled() ? Item->DisabledImageIndex()
                   : state == 1     ? Item->HotImageIndex()
                   : state == 2     ? Item->PressedImageIndex()
                                    : Item->ImageIndex();
  if (imageIndex < 0) imageIndex = Item->ImageIndex();
  TCustomImageList* images = FTitleBar ? FTitleBar->Images() : nullptr;
  const bool fromList = images && imageIndex >= 0 && imageIndex < ImageListCount(images);
  TBitmap* glyph = Item->Glyph();
  const bool hasGlyph = glyph && !glyph->Empty();
  int gw = 0, gh = 0;
  if (fromList) {
    gw = ScaledImageWidth(images, imageIndex, P);
    gh = ScaledImageHeight(images, imageIndex, P);
  } else if (hasGlyph) {
    gw = glyph->Width() / Item->GlyphCells();
    gh = glyph->Height();
  }
  const int itemSpacing = P * Item->Spacing() / 96;
  int x = r.Left;
  switch (Item->Alignment()) {
    case taLeftJustify:
      x = r.Left + P * (Item->IntXMargin() + (FTitleBar ? FTitleBar->ItemsMargin : 3)) / 96;
      break;
    case taRightJustify: {
      const int g = gw > 0 ? (text.cx > 0 ? gw + itemSpacing : gw) : 0;
      x = r.Left + P * Item->Width() / 96 - g - text.cx - a - P * sd->Spacing * 2 / 96;
      break;
    }
    case taCenter: {
      const int g = gw + (gw > 0 && text.cx > 0 ? itemSpacing : 0);
      x = std::max(r.Left, r.Left + (r.Width() - g - text.cx - arrowBlock) / 2);
      break;
    }
  }
  bool override = false;
  if (row == 0 && V && fd.UseSysColor()) {
    const TsGeneralData& g = sd->gd[static_cast<std::size_t>(S)];
    const int formTitle = CommonSection(manager, SectionFormTitle);
    if (!ValidMask(sd, g.BorderIndex) && g.StateProps(0).Transparency > 50 && ValidSection(sd, formTitle)) {
      fontColor = sd->gd[static_cast<std::size_t>(formTitle)].StateProps(FormActive ? 1 : 0).FontColor.Color;
      override = true;
    }
  }
  const int h = Item->AutoSize() ? Item->Height() : P * Item->Height() / 96;
  TRect glyphRect{x, r.Top + (h - gh) / 2, x + gw, r.Top + (h - gh) / 2 + gh};
  TRect textRect{x + gw, r.Top, x + gw, r.Top};
  if (gw > 0 && !caption.empty()) textRect.Left += Item->Spacing();
  UINT flags = DT_SINGLELINE | DT_END_ELLIPSIS;
  if (!caption.empty()) {
    textRect.Top = r.Top + (h - text.cy) / 2;
    textRect.Bottom = textRect.Top + text.cy;
    textRect.Right = std::min(textRect.Left + text.cx, r.Right);
  } else {
    textRect.Right = textRect.Left;
  }
  TRect arrowRect{textRect.Right + ((!caption.empty() || gw > 0) ? sd->Spacing : 0), r.Top, 0, r.Bottom};
  arrowRect.Right = arrowRect.Left + a;
  if (Form->BiDiMode() == bdRightToLeft) {
    MirrorRectIn(glyphRect, r, true);
    MirrorRectIn(arrowRect, r, true);
    MirrorRectIn(textRect, r, true);
    flags |= DT_RTLREADING | DT_RIGHT;
  }
  if (fromList) {
    if (dynamic_cast<TacImageList*>(images)) {
      TSize cell{0, 0};
      DrawImageListItem(images, W, glyphRect.Left, glyphRect.Top, imageIndex, 0, tint, 0, 1, false, P, cell);
    } else {
      images->Draw(&W->Canvas(), glyphRect.Left, glyphRect.Top, imageIndex, true);
    }
  } else if (hasGlyph) {
    const TRect src{0, 0, gw, gh};
    if (glyph->PixelFormat() == pf32bit)
      DrawImageAlpha(glyphRect, src, W, glyph, EmptyCacheInfo, false, tint == 0x1FFFFFFF ? clNone : tint, 0, false);
    else {
      // Drawn like the canvas draws a transparent bitmap: its top-left colour left out.
      auto cell = NewBitmap32(gw, gh);
      BitBlt(cell->Canvas().Handle(), 0, 0, gw, gh, glyph->Canvas().Handle(), 0, 0, SRCCOPY);
      PasteExceptKey(W, cell.get(), glyphRect.Left, glyphRect.Top, glyph->Canvas().Pixel(0, 0));
    }
  }
  if (!caption.empty()) {
    if (glowSize > 0) DrawTextGlow(W, caption, textRect, flags, 0, glowSize, glowColor, fd.GlowMask);
    W->Canvas().Brush.Style = bsClear;
    font.Color = fontColor;
    const bool sectionColours = fd.UseSysColor() && !override;
    DrawSkinTextToBitmap32(W, caption.c_str(), true, textRect, flags, sectionColours ? S : -1, row,
                           sectionColours ? manager : nullptr);
  }
  if (arrow && a > 0) {
    const TColor arrowColor = override                      ? fontColor
                              : fd.UseSysColor() && V        ? sd->gd[static_cast<std::size_t>(S)].StateProps(row).FontColor.Color
                                                             : font.Color.Get();
    DrawScaledArrow(W, arrowColor, clNone, arrowRect, 3 /* down */, 0, 0, 0,
                    manager ? static_cast<int>(manager->Options.ActualArrowStyle()) : 0, P);
  }

  // 6. The user's drawing.
  if (Item->OnDrawItem) {
    TacTitleItemDrawData data{R, Bmp};
    Item->OnDrawItem(Item, data);
  }
  // 7. The dimmed copy goes in at half strength.
  if (copy && R.Width() > 0 && R.Height() > 0)
    BlendBitmapRect(Bmp, copy.get(), 127, TRect{R.Left, R.Top, R.Right - 1, R.Bottom - 1}, TPoint{R.Left, R.Top});
}
