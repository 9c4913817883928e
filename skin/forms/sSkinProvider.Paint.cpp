// Non-client painting of the form: the provider renders the whole non-client image of its
// form into the cache bitmap of its skin state (PaintAll) and every window paint is then a
// copy out of that bitmap: the frame on WM_NCPAINT, the client background on WM_PAINT and
// WM_ERASEBKGND. The window region with the skin's cut corners is made here too.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sDPI.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sConst.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

HWND FormWindow(TForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }

bool ValidSection(TacSkinData* sd, int index) { return sd && index >= 0 && index < static_cast<int>(sd->gd.size()); }
bool ValidMask(TacSkinData* sd, int index) { return sd && index >= 0 && index < static_cast<int>(sd->ma.size()); }

// A block of Src copied into Dst, clipped to both bitmaps (sizes come from skins and
// metrics: a narrow form would otherwise read before the first column).
void CopyClipped(TBitmap* dst, int dx, int dy, TBitmap* src, int sx, int sy, int w, int h) {
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  TCopySpan span;
  if (!ClipCopySpan(dx, dy, sx, sy, w, h, d.Width, d.Height, s.Width, s.Height, span)) return;
  for (int y = 0; y < span.H; ++y)
    std::memmove(d.Row(span.DY + y) + span.DX, s.Row(span.SY + y) + span.SX,
                 static_cast<std::size_t>(span.W) * sizeof(std::uint32_t));
}

// A block of the bitmap to a DC, the source clipped to the bitmap.
void BlitClipped(HDC dc, int dx, int dy, TBitmap* src, int sx, int sy, int w, int h) {
  if (!dc || !src || src->Empty()) return;
  if (sx < 0) {
    dx -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    dy -= sy;
    h += sy;
    sy = 0;
  }
  w = std::min(w, src->Width() - sx);
  h = std::min(h, src->Height() - sy);
  if (w <= 0 || h <= 0) return;
  BitBlt(dc, dx, dy, w, h, src->Canvas().Handle(), sx, sy, SRCCOPY);
}

TRect Intersection(const TRect& a, const TRect& b) {
  return TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
}

// The skin's extended-border image with alpha is kept straight as loaded, while the border
// window takes premultiplied pixels: the image is laid out by plain copies on a clear layer,
// the layer is premultiplied and put over the cache. Outside the form rectangle only this
// shadow lives, so there it replaces what an earlier render left; inside it goes over the
// form's background. Other kinds of image paint as any border image does.
std::vector<int> ExBorderSliceMap(int dstLen, int srcStart, int srcLen, int m1, int m2, bool stretch) {
  std::vector<int> map(static_cast<std::size_t>(std::max(dstLen, 0)), -1);
  const int a = std::min(std::max(m1, 0), dstLen / 2), b = std::min(std::max(m2, 0), dstLen - dstLen / 2);
  const int mid = srcLen - std::max(m1, 0) - std::max(m2, 0), dmid = dstLen - a - b;
  for (int i = 0; i < dstLen; ++i) {
    if (i < a)
      map[i] = srcStart + i;
    else if (i >= dstLen - b)
      map[i] = srcStart + srcLen - (dstLen - i);
    else if (mid > 0)
      map[i] = srcStart + std::max(m1, 0) + (stretch ? static_cast<int>(static_cast<long long>(i - a) * mid / dmid) : (i - a) % mid);
  }
  return map;
}

void PaintExBorderImage(TBitmap* cache, const TsMaskData& md, int state, const TRect& formRect) {
  TBitmap* src = md.Bmp ? md.Bmp : (md.Manager ? md.Manager->MasterBitmap() : nullptr);
  const int w = cache->Width(), h = cache->Height();
  if (md.MaskType != 0 || !(md.DrawMode & 0x10) || !src || src->Empty() || w < 2 || h < 2) {
    PaintMaskNineSlice(cache, TRect{0, 0, w, h}, MakeCacheInfo(cache, 0, 0), md, state, false);
    return;
  }
  int cell = state < md.ImageCount ? state : md.ImageCount - 1;
  if (cell < 0) cell = 0;
  const int sx = md.R.Left + cell * md.Width, sy = md.R.Top;
  const bool stretch = (md.DrawMode & 0x01) != 0;
  // The layer by pixel maps: each destination column and row takes its source column and
  // row (margins as they are, the middle tiled or stretched by the draw mode).
  TPixels32 sv;
  if (!GetPixels32(src, sv) || sx < 0 || sy < 0 || sx + md.Width > sv.Width || sy + md.Height > sv.Height) return;
  const std::vector<int> mx = ExBorderSliceMap(w, sx, md.Width, md.WL, md.WR, stretch);
  const std::vector<int> my = ExBorderSliceMap(h, sy, md.Height, md.WT, md.WB, stretch);
  // One layer kept for every form (painting is the UI thread's): a new 32-bit bitmap per
  // render costs more than the whole rest of it.
  static std::unique_ptr<TBitmap> layer;
  if (!layer) layer = NewBitmap32(0, 0);
  if (layer->Width() != w || layer->Height() != h) layer->SetSize(w, h);
  TPixels32 lp;
  if (!GetPixels32(layer.get(), lp)) return;
  for (int y = 0; y < h; ++y) {
    std::uint32_t* dst = lp.Row(y);
    if (my[y] < 0) {
      std::fill_n(dst, w, 0u);
      continue;
    }
    const std::uint32_t* row = sv.Row(my[y]);
    for (int x = 0; x < w; ++x) dst[x] = mx[x] < 0 ? 0 : row[mx[x]];
  }
  PremultiplyBitmap(layer.get());
  TPixels32 d, s;
  if (!GetPixels32(cache, d) || !GetPixels32(layer.get(), s)) return;
  for (int y = 0; y < h; ++y) {
    std::uint32_t* dr = d.Row(y);
    const std::uint32_t* sr = s.Row(y);
    const bool rowInside = y >= formRect.Top && y < formRect.Bottom;
    for (int x = 0; x < w; ++x) {
      const std::uint32_t sp = sr[x], a = sp >> 24;
      if (a == 255 || !rowInside || x < formRect.Left || x >= formRect.Right) {
        dr[x] = sp;
      } else if (a != 0) {
        // Premultiplied source over the background: c = s + d * (255 - a) / 255.
        const std::uint32_t dp = dr[x], k = 255 - a;
        std::uint32_t out = (a + (((dp >> 24) * k + 127) / 255)) << 24;
        for (int sh = 0; sh < 24; sh += 8)
          out |= std::min<std::uint32_t>(255, ((sp >> sh) & 0xFF) + ((((dp >> sh) & 0xFF) * k + 127) / 255)) << sh;
        dr[x] = out;
      }
    }
  }
}

// A maximum width or height constraint keeps a zoomed form's cut corners.
bool HasMaxConstraint(TForm* form) { return form->Constraints.MaxWidth > 0 || form->Constraints.MaxHeight > 0; }

// The form is placed by the system's default position.
bool AtDefaultPosition(TForm* form) { return form->Position == poDefaultPosOnly; }

bool IsMDIParentForm(TForm* form) { return form && form->FormKind() == fkMDIForm; }
bool IsMDIChildForm(TForm* form) { return form && form->FormKind() == fkMDIChild; }

// The caption font for the skin data's density, put on a canvas.
void SetCaptionFont(TsSkinProvider* p, TacSkinData* sd, TFont& font) {
  const int ppi = sd ? sd->PPI : 96;
  LOGFONTW lf{};
  if (HFONT base = CreateCaptionFont(static_cast<unsigned>(ppi))) {
    GetObjectW(base, sizeof(lf), &lf);
    DeleteObject(base);
  }
  std::wstring name = lf.lfFaceName;
  if (TsSkinManager* m = p->Manager()) {
    if (m->Fonts.MainMode.Get() == fmFromSkin && !m->DefNewFontName.empty()) name = m->DefNewFontName;
    else if (m->Fonts.MainMode.Get() == fmCustom && !m->Fonts.MainFont.Get().empty()) name = m->Fonts.MainFont.Get();
  }
  if (!name.empty()) font.Name = name;
  font.Height = ScaleForControl(-12, p->FCommonData.get());
  font.Style = lf.lfWeight >= FW_BOLD ? static_cast<unsigned>(fsBold) : 0u;
  font.Charset = p->Form ? p->Form->Font.Charset.Get() : static_cast<std::uint8_t>(DEFAULT_CHARSET);
}


}  // namespace

// ---- sizes -------------------------------------------------------------------------

int TsSkinProvider::FormStateIndex(int SkinIndex) {
  TacSkinData* sd = FCommonData ? FCommonData->ReadCommonSkinData() : nullptr;
  if (!ValidSection(sd, SkinIndex)) return 0;
  return std::max(0, std::min(FormActive ? 1 : 0, sd->gd[static_cast<std::size_t>(SkinIndex)].States - 1));
}

int TsSkinProvider::CacheHeight() {
  HWND wnd = FormWindow(Form);
  if (wnd && IsIconic(wnd) && Application().MainForm() != Form)
    return SysBorderHeight(wnd, BorderForm, false) + CaptionHeight(true) + 2;
  const TRect shadow = ShadowSize();
  int height = Form ? Form->Height() : 0;
  if (BorderForm) height += BorderFormTitleDiff(BorderForm) + BorderFormBorderDiff(BorderForm) + shadow.Top + shadow.Bottom;
  return height;
}

// ---- PaintAll ------------------------------------------------------------------------

int TsSkinProvider::PaintAll() {
  if (!Form || !FCommonData || Destroying()) return 1;
  if (Form->ControlState() & csCreating) return 1;
  if ((FFormState & (FS_BLENDMOVING | FS_ANIMCLOSING)) && !(FFormState & FS_DPICHANGING)) return 1;
  if (FCommonData->SkinIndex < 0) return 1;
  TsSkinManager* manager = Manager();
  TacSkinData* sd = FCommonData->ReadCommonSkinData();
  HWND wnd = FormWindow(Form);
  if (!manager || !sd || !wnd || !ValidSection(sd, FCommonData->SkinIndex)) return 1;

  // 1. A pending re-initialization. Taken once: the frame change below paints again, and a
  // flag left set would start another from inside that paint, and so on.
  if (DoReinit) {
    DoReinit = false;
    CacheScrollArrowWidth();
    FLinesCount = -1;
    MenuChanged = true;
    FCommonData->BGChanged = true;
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, 0x737);
    if (!Form || !FCommonData) return 1;
  }

  // 2. Sizes.
  const TRect shadow = ShadowSize();
  const int frameHeight = SysBorderHeight(wnd, BorderForm, false);
  const int captionHeight = CaptionHeight(true);
  const int titleBottom = frameHeight + captionHeight + shadow.Top;
  const int width = CaptionWidth();
  const int height = CacheHeight();
  auto& cache = FCommonData->FCacheBmp;
  if (!cache) cache = std::make_unique<TBitmap>();
  if (cache->PixelFormat() != pf32bit) cache->SetPixelFormat(pf32bit);
  if (cache->Width() != width || cache->Height() != height) cache->SetSize(std::max(0, width), std::max(0, height));
  if (cache->Empty()) return 1;
  const bool exDraw = BorderForm && sd->ExDrawMode == 1;
  const TRect formRect{shadow.Left, shadow.Top, width - shadow.Right, height - shadow.Bottom};

  // 3. Nothing more while a maximized MDI child is being shown into a changed menu.
  const bool mdiShowing = IsMDIParentForm(Form) && Form->ActiveMDIChildMaximized() && MenuChanged &&
                          Form->ActiveMDIChild() && !Form->ActiveMDIChild()->Showing();
  if (!mdiShowing && FCommonData->BGChanged) {
    // a. Layout.
    CalcItems();
    // b. The form section over the form rectangle.
    TCacheInfo ci;
    if (TWinControl* parent = Form->Parent()) {
      TacBGInfo info;
      info.R = Form->BoundsRect();
      RequestBackgroundFromControl(info, parent, false);
      if (info.BgType == btNotReady) {
        FCommonData->FUpdating = true;
        return 0;
      }
      CacheInfoFromBackgroundInfo(info, ci);
    }
    const int formState = FormStateIndex(FCommonData->SkinIndex);
    const TsGeneralData& gd = sd->gd[static_cast<std::size_t>(FCommonData->SkinIndex)];
    const bool embedded = (GetWindowLongPtrW(wnd, GWL_STYLE) & WS_CHILD) != 0;
    if ((HasBorder(this) || (embedded && !exDraw)) && ValidMask(sd, gd.BorderIndex)) {
      PaintControlSkin(FCommonData.get(), ci, formState, formRect, Point(0, 0), cache.get(), true);
    } else {
      PaintSectionBackground(FCommonData->SkinIndex, ci, formState, formRect, Point(0, 0), cache.get(), sd, -1, -1,
                             0xFF00FF);
      const TCacheInfo self = MakeCacheInfo(cache.get(), 0, 0);
      auto corner = [&](int index, bool right, bool bottom) {
        if (!ValidMask(sd, index)) return;
        const TsMaskData& md = sd->ma[static_cast<std::size_t>(index)];
        DrawMaskStateImage(cache.get(),
                           Point(right ? formRect.Right - md.Width : formRect.Left,
                                 bottom ? formRect.Bottom - md.Height : formRect.Top),
                           formState, 1, md, self);
      };
      corner(gd.ImgTL, false, false);
      corner(gd.ImgTR, true, false);
      corner(gd.ImgBL, false, true);
      corner(gd.ImgBR, true, true);
    }
    // c. From here what shows through is the cache itself.
    if (!exDraw) PaintTitle();
    // d. The menu line's background (its items draw themselves with the menu line).
    const int menuHeight = MenuHeight();
    if (HasMenuLine(this) && menuHeight > 0 && NonClientSkinned() && manager->SkinnedPopups()) {
      const int lines = std::max(1, LinesCount());
      int menuIndex = manager->GetSkinIndex(FMenuLineSkin, sd);
      if (menuIndex < 0) menuIndex = manager->GetSkinIndex(L"MENULINE", sd);
      const TRect r{shadow.Left, titleBottom, width - shadow.Right, titleBottom + lines * menuHeight + 1};
      if (menuIndex >= 0 && !Intersection(r, TRect{0, 0, width, height}).IsEmpty()) {
        const TRect clipped = Intersection(r, TRect{0, 0, width, height});
        PaintSkinSection(menuIndex, MakeCacheInfo(cache.get(), 0, 0), FormStateIndex(menuIndex), clipped,
                         Point(clipped.Left, clipped.Top), cache.get(), sd);
        if (!MenuLineBmp) MenuLineBmp = std::make_unique<TBitmap>();
        MenuLineBmp->SetPixelFormat(pf32bit);
        MenuLineBmp->SetSize(std::max(0, width - shadow.Left - shadow.Right), lines * menuHeight + 1);
        CopyClipped(MenuLineBmp.get(), 0, 0, cache.get(), OffsetX() - BorderWidth(true),
                    OffsetY() - lines * menuHeight - BorderWidth(true) - 1, MenuLineBmp->Width(),
                    MenuLineBmp->Height());
      }
      if (MenuPresent()) PaintMenuLineItems(cache.get(), titleBottom);  // the line's items
    }
    // e. With a border form the caption text lies under its shadow and frame.
    if (BorderForm && !exDraw) PaintCaptionText();
    // f. The MDI client's place.
    if (IsMDIParentForm(Form) && Form->ClientHandle()) {
      const int areaIndex = manager->GetSkinIndex(L"MDIAREA", sd);
      if (areaIndex >= 0) {
        const int bw = BorderWidth(true);
        TRect r;
        r.Left = shadow.Left + bw + AlignedChildrenSize(Form, alLeft, false);
        r.Top = titleBottom + (MenuPresent() ? LinesCount() * menuHeight : 0) + Form->BorderWidth() +
                AlignedChildrenSize(Form, alTop, false) + (menuHeight != 0 ? 1 : 0);
        r.Right = width - shadow.Right - bw - AlignedChildrenSize(Form, alRight, false);
        r.Bottom = height - shadow.Bottom - bw - AlignedChildrenSize(Form, alBottom, false);
        PaintSkinSectionOnDC(areaIndex, MakeCacheInfo(cache.get(), 0, 0), FormStateIndex(areaIndex), r,
                             Point(r.Left, r.Top), cache->Canvas().Handle(), sd);
      }
    }
    // g. The shadow around a border form.
    if (BorderForm) {
      TBitmap* tpl = FUWPMode ? UWPShadowTemplate(FormActive)
                              : (FormActive ? sd->ShdaTemplate.get() : sd->ShdiTemplate.get());
      if (exDraw && ValidMask(sd, sd->ExBorder)) {
        PaintExBorderImage(cache.get(), sd->ma[static_cast<std::size_t>(sd->ExBorder)], formState, formRect);
        PaintTitle();
        PaintCaptionText();
      } else if (ValidMask(sd, sd->ExBorder)) {
        PaintExBorderImage(cache.get(), sd->ma[static_cast<std::size_t>(sd->ExBorder)], formState, formRect);
      } else if (tpl && !tpl->Empty()) {
        // Corners are the template's quarters, sides stretched, no centre.
        const int mx = (tpl->Width() - 1) / 2, my = (tpl->Height() - 1) / 2;
        BlitNineSlice(cache.get(), tpl, TRect{0, 0, width, height}, TRect{0, 0, tpl->Width(), tpl->Height()},
                      TRect{mx, my, mx, my}, TRect{mx, my, mx, my}, TRect{1, 1, 1, 1}, true, false);
      }
      if (tpl && !tpl->Empty()) {
        int titleMask = ValidSection(sd, FTitleSkinIndex) ? sd->gd[static_cast<std::size_t>(FTitleSkinIndex)].BorderIndex : -1;
        if (!ValidMask(sd, titleMask)) titleMask = gd.BorderIndex;
        if (ValidMask(sd, titleMask)) {
          const TsMaskData& tm = sd->ma[static_cast<std::size_t>(titleMask)];
          CopyThroughMaskKey(cache.get(), tpl, TRect{formRect.Left, formRect.Top, formRect.Left + tm.WL, formRect.Top + tm.WT},
                             Point(shadow.Left, shadow.Top), titleMask, sd, 13);
          CopyThroughMaskKey(cache.get(), tpl,
                             TRect{formRect.Right - tm.WR, formRect.Top, formRect.Right, formRect.Top + tm.WT},
                             Point(tpl->Width() - shadow.Right - tm.WR, shadow.Top), titleMask, sd, 14);
        }
        if (ValidMask(sd, gd.BorderIndex)) {
          const TsMaskData& fm = sd->ma[static_cast<std::size_t>(gd.BorderIndex)];
          CopyThroughMaskKey(cache.get(), tpl,
                             TRect{formRect.Left, formRect.Bottom - fm.WB, formRect.Left + fm.WL, formRect.Bottom},
                             Point(shadow.Left, tpl->Height() - shadow.Bottom - fm.WB), gd.BorderIndex, sd, 16);
          CopyThroughMaskKey(cache.get(), tpl,
                             TRect{formRect.Right - fm.WR, formRect.Bottom - fm.WB, formRect.Right, formRect.Bottom},
                             Point(tpl->Width() - shadow.Right - fm.WR, tpl->Height() - shadow.Bottom - fm.WB),
                             gd.BorderIndex, sd, 17);
        }
      }
    }
    // h. Without a border form the caption text goes over the title.
    if (!BorderForm) PaintCaptionText();
    // i. The size grip.
    if (GripVisible(this) && ValidMask(sd, sd->GripRightBottom)) {
      const TPoint at = GripPosition(sd->GripRightBottom);
      DrawMaskStateImage(cache.get(), at, 0, 1, sd->ma[static_cast<std::size_t>(sd->GripRightBottom)],
                         MakeCacheInfo(cache.get(), 0, 0));
    }
    // j. The caption buttons over their saved background.
    if (captionHeight > 0 && NonClientSkinned() && !FUWPMode) {
      SaveButtonsBg(width, true);
      PaintCaptionButtons(width);
    }
    // k.
    MenuChanged = false;
    FCommonData->BGChanged = false;
    // l. The form's own painting onto the cache, at the client's place.
    if (Form->OnPaint) {
      if (IsIconic(wnd)) {
        FirstInitialized = true;
        FCommonData->BGChanged = true;
        return 1;
      }
      Form->PaintOnCanvas(cache->Canvas().Handle(), Point(OffsetX(), OffsetY()));
    }
    if (FUWPMode && !BorderForm) {
      const TRect uwp = UWPClientRect();
      if (Form->BorderStyle() == bsSizeable) FillInnerFrame(cache.get(), uwp, 2, 2, 2, 2, manager->Palette[pcBorder]);
      FillBetweenRects(cache.get(), TRect{0, 0, width, height}, uwp, 0, 0);
    }
    // m. The children's outer effects.
    FCommonData->PaintOuterEffects(Form, Point(OffsetX(), OffsetY()));
    FirstInitialized = true;
  }
  // 4.
  if (!Form->Parent()) FCommonData->FUpdating = false;
  return 1;
}

// ---- title -----------------------------------------------------------------------------

void TsSkinProvider::PaintTitle() {
  if (CaptionHeight(true) == 0 || !NonClientSkinned() || FUWPMode) return;
  TacSkinData* sd = FCommonData->ReadCommonSkinData();
  TBitmap* cache = FCommonData->FCacheBmp.get();
  HWND wnd = FormWindow(Form);
  if (!sd || !cache || cache->Empty() || !wnd) return;
  const TRect shadow = ShadowSize();
  const int width = cache->Width(), height = cache->Height();
  const int frameHeight = SysBorderHeight(wnd, BorderForm, false);
  const int titleBottom = frameHeight + CaptionHeight(true) + shadow.Top;
  const bool iconicNotMain = IsIconic(wnd) && Application().MainForm() != Form;
  const TRect formRect{shadow.Left, shadow.Top, width - shadow.Right, height - shadow.Bottom};
  const bool exDraw = BorderForm && sd->ExDrawMode == 1;
  if (!exDraw && ValidSection(sd, FTitleSkinIndex)) {
    const TRect r = Intersection(TRect{formRect.Left, formRect.Top, formRect.Right, iconicNotMain ? formRect.Bottom : titleBottom},
                                 TRect{0, 0, width, height});
    if (!r.IsEmpty())
      PaintSkinSection(FTitleSkinIndex, MakeCacheInfo(cache, 0, 0), FormStateIndex(FTitleSkinIndex), r,
                       Point(r.Left, r.Top), cache, sd);
  }
  if (FFormHeader->AdditionalHeight > 0 && ValidSection(sd, FHeaderIndex)) {
    const TRect r = Intersection(TRect{formRect.Left, formRect.Top, formRect.Right,
                                       titleBottom + FFormHeader->ScaledAddHeight()},
                                 TRect{0, 0, width, height});
    if (!r.IsEmpty())
      PaintSkinSection(FHeaderIndex, MakeCacheInfo(cache, 0, 0), FormActive ? 1 : 0, r, Point(r.Left, r.Top), cache,
                       sd);
  }
  PaintTitleIcon();
  if (SysButtonsCount() > 0) {
    TsSkinManager* manager = Manager();
    const int titleBar =
        manager ? manager->GetMaskIndex(FCommonData->SkinIndex,
                                        sd->gd[static_cast<std::size_t>(FCommonData->SkinIndex)].ClassName, L"TITLEBAR", sd)
                : -1;
    if (ValidMask(sd, titleBar)) {
      const TRect r{width - ButtonsWidthWith(titleBar), 0, width, frameHeight + CaptionHeight(true)};
      if (!r.IsEmpty())
        PaintMaskNineSlice(cache, r, MakeCacheInfo(cache, 0, 0), sd->ma[static_cast<std::size_t>(titleBar)],
                           FormStateIndex(FCommonData->SkinIndex), true);
    }
  }
}

void TsSkinProvider::PaintCaptionText() {
  if (CaptionHeight(true) == 0 || !NonClientSkinned() || FUWPMode) return;
  TsSkinManager* manager = Manager();
  TacSkinData* sd = FCommonData->ReadCommonSkinData();
  TBitmap* cache = FCommonData->FCacheBmp.get();
  HWND wnd = FormWindow(Form);
  if (!manager || !sd || !cache || cache->Empty() || !wnd) return;
  const TRect shadow = ShadowSize();
  const int width = cache->Width();
  const int bw = SysBorderWidth(wnd, BorderForm, true);
  const int titleBottom = SysBorderHeight(wnd, BorderForm, false) + CaptionHeight(true) + shadow.Top;
  const bool hasCaptionSection = ValidSection(sd, FCaptionSkinIndex);
  const int iconWidth = TitleIconVisible(this) ? TitleIconWidth() : 0;
  const bool rtlReading = Form->BiDiMode() == bdRightToLeft;

  // 1. Horizontal room.
  TRect room;
  if (FTitleBar) {
    // The room between the bar's left and right items.
    room.Left = FTitleBar->FBarRect.Left + FTitleBar->LeftWidth() + 2 * sd->Spacing;
    room.Right = FTitleBar->FBarRect.Right - FTitleBar->RightWidth() - 2 * sd->Spacing;
  } else if (FCaptionAlignment == taCenter) {
    room.Left = bw + shadow.Left;
    room.Right = width - shadow.Right;
  } else if (SysRTLAllowed()) {
    room.Left = bw + ButtonsWidth() + shadow.Right + sd->Spacing;
    room.Right = width - bw - (iconWidth > 0 ? iconWidth : 0) - sd->Spacing - sd->BIRightMargin - shadow.Right -
                 (hasCaptionSection ? 2 : 0);
  } else {
    room.Left = bw + (iconWidth > 0 ? iconWidth + sd->Spacing : 0) + sd->BILeftMargin + shadow.Left +
                (hasCaptionSection ? 2 : 0);
    room.Right = width - ButtonsWidth() - shadow.Right - bw - sd->Spacing;
  }
  // 2. Vertical room.
  room.Top = IsZoomed(wnd) ? shadow.Top + (BorderForm ? 1 : 3) : shadow.Top + 2;
  room.Bottom = titleBottom;
  // 3.
  if (!(FTitleBar ? FTitleBar->ShowCaption() : FAddedTitle->ShowMainCaption) || room.IsEmpty()) return;

  // 4. Fonts and texts, measured in the fonts they are drawn with.
  TCanvas& canvas = cache->Canvas();
  const std::wstring caption = Form->Caption();
  const std::wstring& added = FAddedTitle->Text;
  TSize addedSize{0, 0};
  if (!added.empty()) {
    canvas.Font.Name = FAddedTitle->Font.Name.Get();
    canvas.Font.Height = ScaleForControl(FAddedTitle->Font.Height, FCommonData.get());
    canvas.Font.Style = 0u;
    addedSize = canvas.TextExtent(added);
  }
  SetCaptionFont(this, sd, canvas.Font);
  const TSize mainSize = canvas.TextExtent(caption);
  // 5. The line's place on the caption's centre line.
  int lineHeight = std::max(mainSize.cy, addedSize.cy);
  if (manager->Options.ScaleMode.Get() != smAuto && manager->GetScale() > 0) ++lineHeight;
  room.Top = (FTitleBar ? FTitleBar->FBarVCenter : VCenter) - lineHeight / 2;
  room.Bottom = room.Top + lineHeight;
  // 6. Alignment.
  TAlignment align = FCaptionAlignment;
  if (rtlReading && align != taCenter) align = align == taLeftJustify ? taRightJustify : taLeftJustify;
  const int both = mainSize.cx + addedSize.cx;
  if (align == taRightJustify) {
    if (sd->Spacing + both <= room.Width()) room.Left = room.Right - sd->Spacing - both;
  } else if (align == taCenter) {
    room.Left = std::max(room.Left, room.Left + (room.Width() - both - sd->Spacing) / 2);
    room.Right = std::min(room.Right, room.Left + mainSize.cx);
  }
  // 7. The main text.
  UINT flags = DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
  if (rtlReading) flags |= DT_RTLREADING;
  const int active = FormActive ? 1 : 0;
  if (!caption.empty()) {
    TRect textRect = room;
    TRect calc = room;
    DrawTextLimited(canvas.FontHandle(), caption, calc, flags | DT_CALCRECT);
    textRect.Right = std::min(room.Right, calc.Right);
    const int textIndex = hasCaptionSection ? FCaptionSkinIndex : FTitleSkinIndex;
    TRect grown = textRect;
    if (hasCaptionSection) {
      grown = TRect{textRect.Left - 4, textRect.Top - 2, textRect.Right + 4, textRect.Bottom + 2};
      const TRect plate = Intersection(grown, TRect{0, 0, cache->Width(), cache->Height()});
      if (!plate.IsEmpty())
        PaintSkinSection(FCaptionSkinIndex, MakeCacheInfo(cache, 0, 0), FormStateIndex(FCaptionSkinIndex), plate,
                         Point(plate.Left, plate.Top), cache, sd);
    }
    if (ValidSection(sd, textIndex)) {
      const TsGenState& st = sd->gd[static_cast<std::size_t>(textIndex)].StateProps(active);
      if (st.GlowSize > 0)
        DrawTextGlow(cache, caption, textRect, flags, 15, st.GlowSize, st.GlowColor, FormActive ? FGlow1 : FGlow2);
    }
    if (BorderForm)
      DrawSkinTextToBitmap32(cache, caption.c_str(), true, textRect, flags, textIndex, active, manager);
    else
      WriteSkinText(&canvas, caption.c_str(), Form->Enabled(), textRect, flags, textIndex, active, manager);
    room.Left = grown.Right;
  }
  // 8. The added title.
  if (!added.empty()) {
    TRect r{room.Left + sd->Spacing, room.Top, room.Left + sd->Spacing + addedSize.cx + 4, room.Bottom};
    if (r.Width() > 8 && ValidSection(sd, FTitleSkinIndex)) {
      const TsGeneralData& tg = sd->gd[static_cast<std::size_t>(FTitleSkinIndex)];
      TColor color = FAddedTitle->Font.Color;
      if (color == static_cast<TColor>(0xFF000008) || color == clNone)
        color = tg.StateProps(active).FontColor.Color;
      else if (!FormActive)
        color = static_cast<TColor>(BlendTwoColors(static_cast<std::uint32_t>(ColorToRGB(color)),
                                                   static_cast<std::uint32_t>(tg.StateProps(0).FontColor.Color), 127));
      canvas.Font.Name = FAddedTitle->Font.Name.Get();
      canvas.Font.Height = ScaleForControl(FAddedTitle->Font.Height, FCommonData.get());
      canvas.Font.Style = 0u;
      canvas.Font.Color = color;
      const TsGenState& st = tg.StateProps(active);
      std::unique_ptr<TBitmap> stencil;
      if (st.GlowSize > 0) DrawTextGlow(cache, added, r, flags, 15, st.GlowSize, st.GlowColor, stencil);
      if (BorderForm) {
        DrawTextToBitmap32(cache, added.c_str(), true, r, flags, color);
      } else {
        HDC dc = canvas.FontHandle();
        SetBkMode(dc, TRANSPARENT);
        DrawTextLimited(dc, added, r, flags);
      }
    }
  }
}

void TsSkinProvider::PaintTitleIcon() {
  if (!TitleIconVisible(this)) return;
  TBitmap* cache = FCommonData ? FCommonData->FCacheBmp.get() : nullptr;
  if (!cache || cache->Empty()) return;
  const TRect icon = FIconRect;
  const TRect inside = Intersection(icon, TRect{0, 0, cache->Width(), cache->Height()});
  TBitmap* glyph = FTitleIcon->Glyph.get();
  if (!glyph || glyph->Empty()) {
    if (inside.IsEmpty()) return;
    auto saved = NewBitmap32(inside.Width(), inside.Height());
    CopyClipped(saved.get(), 0, 0, cache, inside.Left, inside.Top, inside.Width(), inside.Height());
    HDC dc = cache->Canvas().Handle();
    const int w = icon.Width(), h = icon.Height();
    if (HICON own = Form->Icon()) {
      DrawIconEx(dc, icon.Left, icon.Top, own, w, h, 0, nullptr, DI_NORMAL);
    } else if (Application().Icon()) {
      const WPARAM kind = h > 16 ? ICON_BIG : ICON_SMALL2;
      if (HICON app = reinterpret_cast<HICON>(SendMessageW(Application().Handle(), WM_GETICON, kind, 0)))
        DrawIconEx(dc, icon.Left, icon.Top, app, w, h, 0, nullptr, DI_NORMAL);
    } else if ((h > 16 && acAppIconLarge) || acAppIconSmall) {
      HICON engine = (h > 16 && acAppIconLarge) ? acAppIconLarge : acAppIconSmall;
      const int iw = FTitleIcon->Width != 0 ? FTitleIcon->Width : std::max(10, w);
      const int ih = FTitleIcon->Height != 0 ? FTitleIcon->Height : std::max(10, h);
      DrawIconEx(dc, icon.Left, icon.Top, engine, iw, ih, 0, nullptr, DI_NORMAL);
    } else {
      DrawIconEx(dc, icon.Left, icon.Top, LoadIconW(nullptr, IDI_APPLICATION), w, h, 0, nullptr, DI_NORMAL);
    }
    GdiFlush();
    // What the icon changed becomes opaque: GDI leaves the alpha of what it draws at 0.
    TPixels32 c, s;
    if (!GetPixels32(cache, c) || !GetPixels32(saved.get(), s)) return;
    for (int y = 0; y < inside.Height(); ++y) {
      std::uint32_t* row = c.Row(inside.Top + y) + inside.Left;
      const std::uint32_t* before = s.Row(y);
      for (int x = 0; x < inside.Width(); ++x)
        if (row[x] != before[x]) row[x] |= 0xFF000000u;
    }
    return;
  }
  if (glyph->PixelFormat() != pf32bit) {
    // The painter's own conversion is no new icon: it must not repaint the frame from
    // inside this paint.
    auto told = std::exchange(glyph->OnChange, nullptr);
    glyph->SetPixelFormat(pf32bit);
    glyph->OnChange = std::move(told);
    TPixels32 g;
    if (GetPixels32(glyph, g))
      for (int y = 0; y < g.Height; ++y) {
        std::uint32_t* row = g.Row(y);
        for (int x = 0; x < g.Width; ++x)
          if (row[x] != 0x00FF00FFu) row[x] |= 0xFF000000u;
      }
  }
  glyph->SetTransparent(true);
  glyph->SetTransparentColor(0xFF00FF);
  int w = FTitleIcon->Width != 0 ? FTitleIcon->Width : glyph->Width();
  int h = FTitleIcon->Height != 0 ? FTitleIcon->Height : glyph->Height();
  if (Manager()) {
    w = ScaleForControl(w, FCommonData.get());
    h = ScaleForControl(h, FCommonData.get());
  }
  if (w != glyph->Width() && h != glyph->Height()) {
    DrawAlphaBitmapOnCanvas(&cache->Canvas(), glyph, TRect{icon.Left, icon.Top, icon.Left + w, icon.Top + h}, false);
  } else {
    DrawAlphaImageOverBackground(
        TRect{icon.Left, icon.Top, icon.Left + glyph->Width(), icon.Top + glyph->Height()},
        TRect{0, 0, glyph->Width(), glyph->Height()}, cache, glyph, MakeCacheInfo(cache, 0, 0), true);
  }
}

// ---- caption buttons -----------------------------------------------------------------

void TsSkinProvider::DrawCaptionButton(TsCaptionButton& Button, bool Enabled) {
  TacSkinData* sd = FCommonData ? FCommonData->ReadCommonSkinData() : nullptr;
  TBitmap* cache = FCommonData ? FCommonData->FCacheBmp.get() : nullptr;
  if (!sd || !cache || cache->Empty() || Button.cpGlyphType >= tgNone) return;
  const int index = Button.cpGlyphType == tgTitleButton ? (ValidMask(sd, UserBtnIndex) ? UserBtnIndex
                                                                                       : sd->TitleGlyphs[tgTitleButton])
                                                         : sd->TitleGlyphs[Button.cpGlyphType];
  if (!ValidMask(sd, index) || Button.cpRect.Right <= Button.cpRect.Left) return;
  const bool fading = Button.cpTimer != nullptr;
  const int state = fading ? 0 : Button.cpState;
  const bool formOff = !FormActive || !Form->Enabled();
  const int mode = (((state == 0 || fading) && formOff) || !Enabled) ? 2 : 1;
  DrawMaskStateImage(cache, Point(Button.cpRect.Left, Button.cpRect.Top), state, mode,
                     sd->ma[static_cast<std::size_t>(index)], MakeCacheInfo(cache, 0, 0));
}

void TsSkinProvider::PaintCaptionButtons(int Width) {
  if (!HasBorder(this) || !Form) return;
  TBitmap* cache = FCommonData ? FCommonData->FCacheBmp.get() : nullptr;
  if (!cache || cache->Empty()) return;
  RestoreButtonsBg(Width);
  if (SystemMenu && HasSystemMenu(this)) {
    DrawCaptionButton(ButtonClose, SystemMenu->VisibleClose() && SystemMenu->EnabledClose());
    if (SystemMenu->VisibleMax()) DrawCaptionButton(ButtonMax, SystemMenu->EnabledMax());
    if (SystemMenu->VisibleMin()) DrawCaptionButton(ButtonMin, SystemMenu->EnabledMin());
    if (Form->BorderIcons() & biHelp) DrawCaptionButton(ButtonHelp, true);
  }
  for (int i = 0; i < FTitleButtons->Count(); ++i) {
    TsTitleButton* b = FTitleButtons->Items(i);
    if (!b->Visible) continue;
    DrawCaptionButton(b->Data, b->Enabled);
    b->Data.cpHitCode = 1000 + static_cast<std::uint32_t>(i);
    TBitmap* glyph = b->Glyph.get();
    if (!glyph || glyph->Empty()) continue;
    const TRect& r = b->Data.cpRect;
    DrawUserGlyph(cache, glyph, r.Left + (r.Width() - glyph->Width()) / 2,
                  r.Top + (CaptionButtonHeight() - glyph->Height()) / 2);
  }
  // Title-bar items, the last first; down tabs afterwards so that they lie on top.
  if (FTitleBar) {
    const int count = FTitleBar->Items().Count();
    for (int pass = 0; pass < 2; ++pass)
      for (int i = count - 1; i >= 0; --i) {
        TacTitleBarItem* item = FTitleBar->Items()[i];
        const bool downTab = item->Style() == bsTab && item->Down();
        if (!item->Visible() || downTab != (pass == 1) || item->Rect.Left <= 0 || item->Rect.Right >= Width)
          continue;
        if (item->OnInternalDraw) item->OnInternalDraw(item, item->Rect, cache);
      }
  }
  // The buttons of a maximized MDI child on the last menu line.
  if (IsMDIParentForm(Form) && ChildSkinProvider && ChildSkinProvider->Form && HasMenuLine(this) &&
      Form->ActiveMDIChildMaximized() && HasSystemMenu(ChildSkinProvider)) {
    TacSkinData* sd = FCommonData->ReadCommonSkinData();
    HWND wnd = FormWindow(Form);
    if (!sd || !wnd) return;
    const TRect shadow = ShadowSize();
    const int bw = SmallButtonWidth(), bh = SmallButtonHeight();
    const int menu = MenuHeight();
    const int top = SysBorderHeight(wnd, BorderForm, true) + CaptionHeight(true) + shadow.Top + (menu - bh) / 2 +
                    (LinesCount() - 1) * menu;
    const int right = Width - SysBorderWidth(wnd, BorderForm, true) - shadow.Right;
    const bool childMinOff = ChildSkinProvider->SystemMenu && !ChildSkinProvider->SystemMenu->EnabledMin();
    const bool childRestoreOff = ChildSkinProvider->SystemMenu && !ChildSkinProvider->SystemMenu->EnabledRestore();
    auto place = [&](TsCaptionButton& b, int n, int gap, TacTitleGlyph glyph) {
      b.cpGlyphType = glyph;
      b.cpRect = TRect{right - n * bw - gap, top, right - n * bw - gap + bw, top + bh};
    };
    if (ValidMask(sd, sd->TitleGlyphs[tgSmallMin])) {
      place(MDIMin, 3, 3, tgSmallMin);
      DrawCaptionButton(MDIMin, FormActive && !childMinOff);
    }
    place(MDIMax, 2, 2, tgSmallNorm);
    DrawCaptionButton(MDIMax, FormActive && !childRestoreOff);
    if (ValidMask(sd, sd->TitleGlyphs[tgSmallClose])) {
      place(MDIClose, 1, 1, tgSmallClose);
      DrawCaptionButton(MDIClose, FormActive);
    }
  }
}

void TsSkinProvider::SaveButtonsBg(int Width, bool Full) {
  TBitmap* cache = FCommonData ? FCommonData->FCacheBmp.get() : nullptr;
  HWND wnd = FormWindow(Form);
  if (!cache || cache->Empty() || !wnd) return;
  const TRect shadow = ShadowSize();
  const int w = SysBorderWidth(wnd, BorderForm, true) + ButtonsWidth() + shadow.Right + 10;
  const int h = SysBorderWidth(wnd, BorderForm, false) + SysBorderHeight(wnd, BorderForm, true) + CaptionHeight(true) +
                MenuHeight() + shadow.Top;
  if (w <= 0 || h <= 0) return;
  if (!TempBmp) TempBmp = std::make_unique<TBitmap>();
  if (TempBmp->PixelFormat() != pf32bit) TempBmp->SetPixelFormat(pf32bit);
  if (TempBmp->Width() != w || TempBmp->Height() != h) TempBmp->SetSize(w, h);
  FButtonsBgRows = Full ? h : std::min(h, SysBorderHeight(wnd, BorderForm, true) + CaptionHeight(true));
  CopyClipped(TempBmp.get(), 0, 0, cache, Width - w - 1, 0, w, FButtonsBgRows);
}

void TsSkinProvider::RestoreButtonsBg(int Width) {
  TBitmap* cache = FCommonData ? FCommonData->FCacheBmp.get() : nullptr;
  if (!cache || !TempBmp || TempBmp->Empty()) return;
  CopyClipped(cache, Width - TempBmp->Width() - 1, 0, TempBmp.get(), 0, 0, TempBmp->Width(),
              std::min(FButtonsBgRows, TempBmp->Height()));
}

// ---- copies to the window ------------------------------------------------------------

void TsSkinProvider::DrawNonClient(HDC DC) {
  HWND wnd = FormWindow(Form);
  if (!wnd || !FCommonData) return;
  if (FCommonData->BGChanged) {
    TacSkinData* sd = FCommonData->ReadCommonSkinData();
    const int formMask = sd && ValidSection(sd, FCommonData->SkinIndex)
                             ? sd->gd[static_cast<std::size_t>(FCommonData->SkinIndex)].BorderIndex
                             : -1;
    if (MenuChanged || !FCommonData->FCacheBmp || MaskHasOneImage(formMask, sd) || CacheSizeStale() ||
        !HasBorder(this))
      ControlsChanged = !FirstInitialized;
    if (PaintAll() == 0) return;
    FCommonData->BGChanged = false;
    FCommonData->FUpdating = false;
  }
  TBitmap* cache = FCommonData->FCacheBmp.get();
  if (!DC || !cache || cache->Empty()) return;
  const int bw = BorderWidth(true);
  int header = HeaderHeight();
  if (CaptionHeight(true) == 0) header = BorderHeight(true) + LinesCount() * MenuHeight();
  const int w = cache->Width(), h = cache->Height();
  BlitClipped(DC, 0, 0, cache, 0, 0, w, header);
  BlitClipped(DC, 0, header, cache, 0, header, bw, h - header);
  BlitClipped(DC, w - bw, header, cache, w - bw, header, bw, h - header);
  BlitClipped(DC, bw, h - bw, cache, bw, h - bw, w - 2 * bw, bw);
}

void RepaintFormFrame(TsSkinProvider* Provider) {
  if (!Provider || !Provider->Form || InAnimation(Provider)) return;
  TForm* form = Provider->Form;
  HWND wnd = FormWindow(form);
  if (!wnd || !IsWindowVisible(wnd) || !Provider->NonClientSkinned() || form->Destroying() ||
      !Provider->FCommonData || !Provider->FCommonData->Skinned())
    return;
  if (IsMDIChildForm(form) && IsZoomed(wnd)) {
    TsSkinProvider* parent = MDISkinProvider;
    if (parent && parent->FCommonData && parent->Form && parent->Form->HandleAllocated()) {
      parent->FCommonData->BGChanged = true;
      HWND parentWnd = parent->Form->Handle();
      HDC dc = GetWindowDC(parentWnd);
      parent->DrawNonClient(dc);
      ReleaseDC(parentWnd, dc);
    }
    return;
  }
  if (Provider->BorderForm) {
    Provider->FGlow1.reset();
    Provider->FGlow2.reset();
    Provider->FCommonData->BGChanged = true;
    if (HasMenuLine(Provider)) Provider->ProcessMessage(WM_NCPAINT, 0, 0);
    Provider->BorderForm->UpdateExBordersPos(true, 255);
    return;
  }
  Provider->FCommonData->BGChanged = true;
  if (!Provider->FCommonData->FCacheBmp) {
    if (TsSkinManager* manager = Provider->Manager()) Provider->UpdateExtendedBorders(manager->ExtendedBorders());
  }
  HDC dc = GetWindowDC(wnd);
  Provider->DrawNonClient(dc);
  ReleaseDC(wnd, dc);
}

void TsSkinProvider::RepaintFormFrame() { ::RepaintFormFrame(this); }

void TsSkinProvider::PaintNonClientArea() {
  if (MDIChildFromMaximized || !NonClientSkinned() || LockCount > 0 || !Form || !FCommonData) return;
  HWND wnd = FormWindow(Form);
  if (!wnd) return;
  if (IsMDIChildForm(Form)) {
    // Only the maximized active child of its parent paints.
    TForm* parent = MDISkinProvider ? MDISkinProvider->Form : nullptr;
    if (!parent || parent->ActiveMDIChild() != Form || !IsZoomed(wnd)) return;
  }
  InitMenus();
  auto alive = FAlive;
  if (!FCommonData->FCacheBmp || FCommonData->FCacheBmp->Width() == 0) FCommonData->BGChanged = true;
  const bool changed = FCommonData->BGChanged;
  if (changed && PaintAll() == 0) return;
  if (!*alive) return;
  if (RgnChanged && !RgnChanging) {
    const LONG_PTR exStyle = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
    if (IsIconic(wnd) && (exStyle & WS_EX_APPWINDOW)) return;
    if (HasBorder(this) || HasThickFrame(wnd) || IsIconic(wnd)) {
      if (!BorderForm) UpdateCornerRects();
      RgnChanged = false;
      const bool showing = Form->Visible() && !IsWindowVisible(wnd);
      if (showing && !AtDefaultPosition(Form) && !IsZoomed(wnd)) {
        ApplyWindowRgn(true, true);
      } else {
        ApplyWindowRgn(!AnimationInProgress, false);
        if (!*alive || !changed) return;
      }
    } else {
      SetWindowRgn(wnd, nullptr, TRUE);
    }
  }
  FCommonData->FUpdating = false;
  TBitmap* cache = FCommonData->FCacheBmp.get();
  HDC dc = GetWindowDC(wnd);
  if (!dc) return;
  if (BorderForm) {
    if (cache && !cache->Empty()) {
      const int menu = MenuHeight();
      const int rows = (HasMenuLine(this) ? menu * LinesCount() + 1 : 0) + Form->BorderWidth();
      const int x = SysBorderWidth(wnd, BorderForm, false);
      const int y = CaptionHeight(false) + SysBorderWidth(wnd, BorderForm, false) - (FSysExHeight ? 4 : 0);
      BlitClipped(dc, x, y, cache, OffsetX() - Form->BorderWidth(), OffsetY() - rows, WndWidth(wnd) - 2 * x, rows);
      if (const int fb = Form->BorderWidth(); fb > 0) {
        const int cw = WndClientWidth(wnd), ch = WndClientHeight(wnd);
        const int ox = OffsetX(), oy = OffsetY();
        BlitClipped(dc, ox - fb, oy, cache, ox - fb, oy, fb, ch);
        BlitClipped(dc, ox + cw, oy, cache, ox + cw, oy, fb, ch);
        BlitClipped(dc, ox - fb, oy + ch, cache, ox - fb, oy + ch, cw + 2 * fb, fb);
      }
    }
  } else if (HasBorder(this) || !HasThickFrame(wnd) || IsIconic(wnd)) {
    DrawNonClient(dc);
  } else if (cache && !cache->Empty()) {
    const int s = BorderWidth(true) + 3;
    const int w = cache->Width(), h = cache->Height();
    BlitClipped(dc, 0, 0, cache, 0, 0, w, s);
    BlitClipped(dc, 0, s, cache, 0, s, s, h - s);
    BlitClipped(dc, 0, h - s, cache, 0, h - s, w, s);
    BlitClipped(dc, w - s, s, cache, w - s, s, s, h - s);
  }
  ReleaseDC(wnd, dc);
}

void TsSkinProvider::EraseFormBackground(HDC DC) {
  if (!Form || !FCommonData) return;
  HWND wnd = FormWindow(Form);
  if (!wnd) return;
  if (InAero && DC) {
    RECT box{};
    if (GetClipBox(DC, &box) == NULLREGION || IsRectEmpty(&box)) DC = nullptr;
  }
  bool ownDC = false;
  if (!DC || (FCommonData->PrintDC && DC != FCommonData->PrintDC)) {
    DC = GetDC(wnd);
    ownDC = true;
  }
  if (!DC) return;
  FCommonData->FUpdating = false;
  bool allowed = !InAnimation(this) && !Form->Destroying();
  if (allowed && IsMDIChildForm(Form) && MDISkinProvider && MDISkinProvider->Form) {
    TForm* active = MDISkinProvider->Form->ActiveMDIChild();
    if (active && active != Form && MDISkinProvider->Form->ActiveMDIChildMaximized() && !MDIChildFromMaximized)
      allowed = false;
  }
  if (allowed) {
    const int saved = SaveDC(DC);
    ExcludeChildControls(DC, Form, 0, 0);
    PaintClient(DC, TRect{0, 0, Form->ClientWidth(), Form->ClientHeight()}, true);
    if (GripVisible(this)) {
      POINT old{};
      OffsetWindowOrgEx(DC, OffsetX(), OffsetY(), &old);
      PaintGrip(DC);
      SetWindowOrgEx(DC, old.x, old.y, nullptr);
    }
    RestoreDC(DC, saved);
    PaintGraphicChildren(DC, Form, Point(0, 0), true);
    if (!OuterEffectsAllowed(FCommonData.get()))
      for (TControl* c : Form->Controls())
        if (auto* child = dynamic_cast<TWinControl*>(c); child && child->HandleAllocated())
          InvalidateRect(child->Handle(), nullptr, FALSE);
  }
  if (ownDC) ReleaseDC(wnd, DC);
}

void TsSkinProvider::PaintFormClient(TMessage& Message) {
  HWND wnd = FormWindow(Form);
  if (!wnd) return;
  PAINTSTRUCT ps{};
  if (InAnimation(this) || (AnimationInProgress && Message.WParam == 0) || Form->Destroying()) {
    BeginPaint(wnd, &ps);
    EndPaint(wnd, &ps);
    return;
  }
  const bool animating = AnimationInProgress;
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  TRect r{0, 0, Form->ClientWidth(), Form->ClientHeight()};
  bool painted = false;
  if (!dc) {
    if (!animating) {
      dc = BeginPaint(wnd, &ps);
      painted = true;
      r = TRect{ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom};
    } else {
      dc = GetDC(wnd);
    }
  }
  if (dc) {
    TCanvas& canvas = Form->Canvas();
    canvas.Lock();
    canvas.SetHandle(dc);
    TWinControl* parent = Form->Parent();
    FCommonData->FUpdating = parent ? QuerySkinCommand(parent, SKCMD_IS_UPDATING) != 0 : false;
    bool allowed = !FCommonData->FUpdating;
    if (allowed && IsMDIChildForm(Form) && MDISkinProvider && MDISkinProvider->Form) {
      TForm* active = MDISkinProvider->Form->ActiveMDIChild();
      if (active && active != Form && MDISkinProvider->Form->ActiveMDIChildMaximized() && !MDIChildFromMaximized)
        allowed = false;
    }
    if (allowed) PaintClient(canvas.Handle(), r, true);
    canvas.SetHandle(nullptr);
    canvas.Unlock();
    if (!painted && !Message.WParam) ReleaseDC(wnd, dc);
  }
  if (painted) EndPaint(wnd, &ps);
}

void TsSkinProvider::PaintClient(HDC DC, const TRect& R, bool RepaintChildren) {
  if (!DC || !Form || !FCommonData) return;
  const int saved = SaveDC(DC);
  IntersectClipRect(DC, R.Left, R.Top, R.Right, R.Bottom);
  auto alive = FAlive;
  bool ready = true;
  if (FCommonData->BGChanged) ready = PaintAll() != 0;
  if (!*alive) return;
  if (ready && !IsMDIParentForm(Form) && FCommonData->FCacheBmp && !FCommonData->FCacheBmp->Empty()) {
    const int ox = OffsetX(), oy = OffsetY();
    // The children are left out where they are on the client DC, not where their pixels lie
    // in the cache (which holds the frame too).
    PaintCacheExceptControls(Form, FCommonData.get(), TRect{ox, oy, ox + Form->ClientWidth(), oy + Form->ClientHeight()},
                             0, 0, false, DC, TRect{0, 0, Form->ClientWidth(), Form->ClientHeight()});
    PaintGraphicChildren(DC, Form, Point(0, 0), true);
  }
  RestoreDC(DC, saved);
  if (RepaintChildren) {
    RepaintChildControls(Form);
    TMessage m{SM_SKINCOMMAND, SkinCommandWParam(SKCMD_END_UPDATE), 0, 0};
    SendToAdapter(m);
  }
  ControlsChanged = false;
}

void TsSkinProvider::PaintGrip(HDC DC) {
  TacSkinData* sd = FCommonData ? FCommonData->ReadCommonSkinData() : nullptr;
  TBitmap* cache = FCommonData ? FCommonData->FCacheBmp.get() : nullptr;
  if (!DC || !sd || !ValidMask(sd, sd->GripRightBottom) || !Form) return;
  const TsMaskData& md = sd->ma[static_cast<std::size_t>(sd->GripRightBottom)];
  if (md.Width <= 0 || md.Height <= 0) return;
  auto bmp = NewBitmap32(md.Width, md.Height);
  const TPoint at = GripPosition(sd->GripRightBottom);
  TacBGInfo info;
  info.R = TRect{at.X, at.Y, at.X + md.Width, at.Y + md.Height};
  RequestBackgroundFromControl(info, Form, false);
  if (info.BgType == btCache && cache) {
    CopyClipped(bmp.get(), 0, 0, cache, at.X, at.Y, md.Width, md.Height);
  } else {
    FillRectOnDC(bmp->Canvas().Handle(), TRect{0, 0, md.Width, md.Height}, info.Color);
  }
  HWND wnd = FormWindow(Form);
  const int frame = SysBorderWidth(wnd, BorderForm, true);
  const int formMask = ValidSection(sd, FCommonData->SkinIndex)
                           ? sd->gd[static_cast<std::size_t>(FCommonData->SkinIndex)].BorderIndex
                           : -1;
  if (cache && ValidMask(sd, formMask)) {
    const TsMaskData& fm = sd->ma[static_cast<std::size_t>(formMask)];
    // Border strips wider than the frame reach under the grip: the cache has them.
    if (fm.WR > frame) {
      const int x = cache->Width() - fm.WR;
      CopyClipped(bmp.get(), x - at.X, 0, cache, x, at.Y, fm.WR, md.Height);
    }
    if (fm.WB > frame) {
      const int y = cache->Height() - fm.WB;
      CopyClipped(bmp.get(), 0, y - at.Y, cache, at.X, y, md.Width, fm.WB);
    }
  }
  DrawMaskStateImage(bmp.get(), Point(0, 0), 0, 1, md, MakeCacheInfo(bmp.get(), 0, 0));
  BitBlt(DC, at.X, at.Y, md.Width, md.Height, bmp->Canvas().Handle(), 0, 0, SRCCOPY);
}

// ---- region ----------------------------------------------------------------------------

void TsSkinProvider::UpdateCornerRects() {
  TacSkinData* sd = FCommonData ? FCommonData->ReadCommonSkinData() : nullptr;
  if (!sd || !ValidSection(sd, FCommonData->SkinIndex)) return;
  Rects.clear();
  std::vector<RECT> runs;
  const int width = CaptionWidth();
  const int height = CacheHeight();
  const int formMask = sd->gd[static_cast<std::size_t>(FCommonData->SkinIndex)].BorderIndex;
  if (ValidMask(sd, formMask)) {
    const TsMaskData& md = sd->ma[static_cast<std::size_t>(formMask)];
    CollectMaskCornerHoles(runs, width, md, 0, false, 0);
    CollectMaskCornerHoles(runs, width, md, height - md.WB, true, 0);
  }
  if (TsSkinManager* manager = Manager(); manager && ValidSection(sd, FTitleSkinIndex)) {
    const int titleMask = manager->GetMaskIndex(FTitleSkinIndex, sd->gd[static_cast<std::size_t>(FTitleSkinIndex)].ClassName,
                                                L"BORDERSMASK", sd);
    if (ValidMask(sd, titleMask)) CollectMaskCornerHoles(runs, width, sd->ma[static_cast<std::size_t>(titleMask)], 0, false, 0);
  }
  for (const RECT& r : runs) Rects.push_back(TRect{r.left, r.top, r.right, r.bottom});
}

HRGN TsSkinProvider::MakeCornerRgn(int X, int Y) {
  HRGN rgn = CreateRectRgn(X, Y, X + CaptionWidth(), Y + CacheHeight());
  for (const TRect& c : Rects) {
    HRGN corner = CreateRectRgn(X + c.Left, Y + c.Top, X + c.Right, Y + c.Bottom);
    CombineRgn(rgn, rgn, corner, RGN_DIFF);
    DeleteObject(corner);
  }
  return rgn;
}

void TsSkinProvider::ApplyWindowRgn(bool Redraw, bool SetOnly) {
  HWND wnd = FormWindow(Form);
  if (!NonClientSkinned() || !wnd || InMenu) return;
  if (!HasBorder(this) && !HasThickFrame(wnd) && !IsIconic(wnd)) return;
  if (!FirstInitialized && SendMessageW(wnd, 0xBC4D, 16802, 0) == 16802) return;
  if (GetWindowLongPtrW(wnd, GWL_STYLE) & WS_CHILD) {
    SetWindowRgn(wnd, nullptr, Redraw);
    return;
  }
  RgnChanging = true;
  struct TReset {
    bool& Flag;
    ~TReset() { Flag = false; }
  } reset{RgnChanging};
  HRGN rgn = nullptr;
  const bool zoomed = IsZoomed(wnd) != 0;
  if (FUWPMode && !BorderForm) {
    TRect r = UWPClientRect();
    if (zoomed) r.Top -= SysCaptionHeight(this);
    rgn = CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
  } else if (BorderForm) {
    const int w = SysBorderWidth(wnd, BorderForm, false);
    int h = w + SysCaptionHeight(this);
    if (zoomed && FUWPMode) h -= SysCaptionHeight(this);
    rgn = CreateRectRgn(w, h, WndWidth(wnd) - w, WndHeight(wnd) - w);
  } else if (!zoomed || HasMaxConstraint(Form) || IsMDIChildForm(Form)) {
    rgn = MakeCornerRgn(0, 0);
  } else {
    const int bw = SysBorderWidth(wnd, BorderForm, false), bh = SysBorderHeight(wnd, BorderForm, false);
    rgn = CreateRectRgn(bw, bh, WndWidth(wnd) - bw, WndHeight(wnd) - bh);
  }
  RgnChanged = false;
  if (SetOnly) {
    SetWindowRgn(wnd, rgn, Redraw);
    return;
  }
  SetWindowRgn(wnd, rgn, TRUE);
  if (Redraw) {
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
    ProcessMessage(WM_NCPAINT, 0, 0);
  }
}

// ---- the rest ----------------------------------------------------------------------------

void TsSkinProvider::HookFormScrollBars() {
  HWND wnd = FormWindow(Form);
  if (Destroying() || !wnd || (FFormState & FS_SCROLLHOOKING) || !FCommonData) return;
  SetFormState(FFormState | FS_SCROLLHOOKING);
  struct TReset {
    TsSkinProvider* P;
    ~TReset() { P->SetFormState(P->FormState() & ~FS_SCROLLHOOKING); }
  } reset{this};
  using TFlatSB = BOOL(WINAPI*)(HWND);
  HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
  auto entry = [&](const char* name) {
    return comctl ? reinterpret_cast<TFlatSB>(reinterpret_cast<void*>(GetProcAddress(comctl, name))) : nullptr;
  };
  auto* handler = static_cast<TacScrollWnd*>(ListSW);
  if (FCommonData->Skinned()) {
    if (auto un = reinterpret_cast<HRESULT(WINAPI*)(HWND)>(reinterpret_cast<void*>(entry("UninitializeFlatSB")))) un(wnd);
    // A window made again left the old handler detached.
    if (handler && (handler->Destroyed || !IsWindow(handler->CtrlHandle))) FreeHandlerOf(handler);
    if (!handler) AttachScrollWnd(FCommonData.get(), handler);
  } else {
    FreeHandlerOf(handler);
    if (auto init = entry("InitializeFlatSB")) init(wnd);
  }
  ListSW = handler;
}

TColor TsSkinProvider::FormColor() {
  if (!Form) return clNone;
  TacSkinData* sd = FCommonData ? FCommonData->ReadCommonSkinData() : nullptr;
  if (!FCommonData || !FCommonData->Skinned() || FCommonData->CustomColor() || !ValidSection(sd, FCommonData->SkinIndex))
    return ColorToRGB(Form->Color());
  return sd->gd[static_cast<std::size_t>(FCommonData->SkinIndex)].StateProps(FormActive ? 1 : 0).Color;
}

void TsSkinProvider::MdiIcoFormPaint(TForm* Sender, HDC DC) {
  TBitmap* cache = FCommonData ? FCommonData->FCacheBmp.get() : nullptr;
  if (!Sender || !DC || !cache || !Form) return;
  HWND wnd = FormWindow(Form);
  const TRect shadow = ShadowSize();
  const int h = GetSystemMetrics(SM_CYMENU) + 3;
  const int x = SysBorderWidth(wnd, BorderForm, true) + Form->Width() - shadow.Right - 60;
  const int y = CaptionHeight(true) + shadow.Top;
  BlitClipped(DC, 0, 0, cache, x, y, 60, h);
}

TBitmap* TsSkinProvider::UWPShadowTemplate(bool Active) {
  if (!UWPTemplates[0] || !UWPTemplates[1]) {
    TacSkinData* sd = FCommonData ? FCommonData->ReadCommonSkinData() : nullptr;
    if (!sd) return nullptr;
    auto copy = [](TBitmap* src) {
      auto bmp = std::make_unique<TBitmap>();
      if (src && !src->Empty()) CopyBitmapPixels(bmp.get(), src);
      return bmp;
    };
    UWPTemplates[1] = copy(sd->GetActiveShadow());
    UWPTemplates[0] = copy(sd->GetPassiveShadow());
    const int size = sd->WndShadowSize, offset = sd->WndShadowOffset;
    UWPShadowSize = TRect{size, std::max(0, size - offset), size, std::max(0, size + offset)};
  }
  return UWPTemplates[Active ? 1 : 0].get();
}

TsSkinProvider* FindParentProvider(TComponent* Component) {
  for (TComponent* c = Component; c; c = c->Owner()) {
    if (auto* form = dynamic_cast<TForm*>(c)) {
      const LRESULT answer = form->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_PROVIDER), 0);
      return reinterpret_cast<TsSkinProvider*>(answer);
    }
  }
  return nullptr;
}

