// Tab controls, page controls and their pages: the control painted whole from its cache (the
// page body, every tab, the active tab last), the pages from the control's background.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "platform/ui/ComCtrls.h"
#include "platform/ui/ImgList.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr int TabTextBufferSize = 4096;
// The tab element of a side among the skin's tab elements (TacSkinData.Tabs[3]): top,
// bottom, left, right to the element's side.
constexpr int SideElement[4] = {asTop, asBottom, asLeft, asRight};
constexpr UINT CM_CONTROLLISTCHANGE_MSG = 0xB02C;
constexpr WORD SKCMD_GET_MANAGER = 27;

bool SectionValid(TacSkinData* Sd, int Index) { return Sd && Index >= 0 && Index < static_cast<int>(Sd->gd.size()); }

TRect TabSizeRect(const TSize& S) { return TRect{0, 0, S.cx, S.cy}; }

TRect Intersection(const TRect& A, const TRect& B) {
  TRect r{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right), std::min(A.Bottom, B.Bottom)};
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  return r;
}

TsSkinManager* ManagerOf(TsCommonData* Data) { return Data ? Data->ReadSkinManager() : nullptr; }

// The tab element of the tab body for a side, when the skin has tab elements at all.
int TabSection(TacSkinData* Sd, int Position) {
  if (!Sd) return -1;
  // The skin draws tab bodies only when its top tab element has a section above 0.
  if (Sd->Tabs[3][asTop].SkinIndex <= 0) return -1;
  const int index = Sd->Tabs[3][SideElement[Position & 3]].SkinIndex;
  return SectionValid(Sd, index) ? index : -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------

int TabRowOf(int Position, int Rows, const TRect& T, const TRect& S) {
  if (Rows < 2) return 1;
  const int w = T.Width(), h = T.Height();
  // A tab without a size (its rectangle not given, a collapsed control) sits in the first row.
  if (w <= 0 || h <= 0) return 1;
  switch (Position) {
    case 0: return (h / 2 + T.Bottom) / h;
    case 2: return (w / 2 + T.Right) / w;
    case 3: return Rows - (T.Right + w / 2 - S.Left) / w + 1;
    default: return Rows - (T.Bottom + h / 2 - S.Top) / h + 1;
  }
}

TRect SkinTabRectOf(TRect R, int Position, bool Active, int C) {
  const int a = Active ? 1 : 0;
  if (Active) {
    R.Bottom -= 1;
  } else {
    R.Bottom += 3;
    R.Right -= 1;
  }
  const auto inflate = [&R](int dx, int dy) {
    R.Left -= dx;
    R.Right += dx;
    R.Top -= dy;
    R.Bottom += dy;
  };
  switch (Position) {
    case 0:
      inflate(2 * a, 2 * a);
      R.Bottom += 1;
      break;
    case 1:
      inflate(2 * a, a);
      R.Top -= 2;
      R.Bottom += Active ? 1 : -3;
      break;
    case 2:
      inflate(0, 1);
      R.Right += 2;
      if (Active) {
        inflate(1, 1);
      } else {
        R.Bottom -= 4;
        R.Right += 2;
      }
      break;
    default:
      inflate(1, 0);
      R.Left -= 1;
      R.Right -= 1;
      R.Top -= 1;
      R.Bottom -= 1;
      if (Active) {
        inflate(1, 1);
        R.Bottom += 3;
      } else {
        R.Bottom -= 2;
      }
      break;
  }
  if (C > 0) {
    if (Position < 2) {
      R.Left += C;
      R.Right += C;
      inflate(C, 0);
    } else {
      R.Top += C;
      R.Bottom += C;
      inflate(0, C);
    }
  }
  return R;
}

int TacTabControlWnd::TabPosition() {
  const LONG style = CtrlHandle ? GetWindowLongW(CtrlHandle, GWL_STYLE) : 0;
  if (!(style & TCS_VERTICAL)) return (style & TCS_BOTTOM) ? 1 : 0;
  return (style & TCS_RIGHT) ? 3 : 2;
}

int TacTabControlWnd::Style() {
  const LONG style = CtrlHandle ? GetWindowLongW(CtrlHandle, GWL_STYLE) : 0;
  if (style & TCS_FLATBUTTONS) return 2;
  return (style & TCS_BUTTONS) ? 1 : 0;
}

int TacTabControlWnd::TabCount() {
  return CtrlHandle ? static_cast<int>(SendMessageW(CtrlHandle, TCM_GETITEMCOUNT, 0, 0)) : 0;
}

int TacTabControlWnd::ActiveTabIndex() {
  return CtrlHandle ? static_cast<int>(SendMessageW(CtrlHandle, TCM_GETCURSEL, 0, 0)) : -1;
}

TRect TacTabControlWnd::TabRect(int Index) {
  RECT r{};
  if (!CtrlHandle || !SendMessageW(CtrlHandle, TCM_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r)))
    return TRect{};
  return TRect{r.left, r.top, r.right, r.bottom};
}

TRect TacTabControlWnd::ClientRect() {
  RECT r{0, 0, WndSize.cx, WndSize.cy};
  if (CtrlHandle) SendMessageW(CtrlHandle, TCM_ADJUSTRECT, 0, reinterpret_cast<LPARAM>(&r));
  return TRect{r.left, r.top + 2, r.right, r.bottom};
}

TRect TacTabControlWnd::PageRect() {
  TRect r = TabSizeRect(WndSize);
  if (TabCount() <= 0) return r;
  const TRect c = ClientRect();
  switch (TabPosition()) {
    case 0: r.Top = c.Top - 4; break;
    case 1: r.Bottom = c.Bottom + 2; break;
    case 2: r.Left = c.Left - 1; break;
    default: r.Right = c.Right + 1; break;
  }
  return r;
}

TRect TacTabControlWnd::TabsRect() {
  TRect r = TabSizeRect(WndSize);
  if (TabCount() <= 0) return r;
  const TRect c = ClientRect();
  switch (TabPosition()) {
    case 0: r.Bottom = c.Top - 4; break;
    case 1: r.Top = c.Bottom + 2; break;
    case 2: r.Right = c.Left - 1; break;
    default: r.Left = c.Right + 1; break;
  }
  return r;
}

int TacTabControlWnd::TabRow(int TabIndex) {
  const int rows = CtrlHandle ? static_cast<int>(SendMessageW(CtrlHandle, TCM_GETROWCOUNT, 0, 0)) : 0;
  if (rows < 2) return 1;
  return TabRowOf(TabPosition(), rows, TabRect(TabIndex), TabsRect());
}

TRect TacTabControlWnd::SkinTabRect(int Index, bool Active) {
  if (Index < 0 || Index >= TabCount()) return TRect{};
  const TRect r = TabRect(Index);
  if (Style() != 0 || r.Left == r.Right) return r;
  TacSkinData* sd = SkinData ? SkinData->ReadCommonSkinData() : nullptr;
  return SkinTabRectOf(r, TabPosition(), Active, sd ? sd->TabsCovering : 0);
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

void TacTabControlWnd::DrawSkinTabs(const TCacheInfo& CI) {
  TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
  if (!cache || cache->Empty()) return;
  const TRect tr = TabsRect();
  HDC dc = cache->Canvas().Handle();
  if (CI.Ready && CI.Bmp && !CI.Bmp->Empty()) {
    const int sx = CI.X + WndPos.X + tr.Left, sy = CI.Y + WndPos.Y + tr.Top;
    const int w = std::min(tr.Width(), CI.Bmp->Width() - sx), h = std::min(tr.Height(), CI.Bmp->Height() - sy);
    if (w > 0 && h > 0) BitBlt(dc, tr.Left, tr.Top, w, h, CI.Bmp->Canvas().Handle(), sx, sy, SRCCOPY);
  } else {
    FillRectOnDC(dc, tr, CI.FillColor);
  }
  const int rows = static_cast<int>(SendMessageW(CtrlHandle, TCM_GETROWCOUNT, 0, 0));
  if (rows < 1) return;
  const int active = ActiveTabIndex(), count = TabCount();
  for (int row = 1; row <= rows; ++row)
    for (int i = 0; i < count; ++i)
      if (i != active && TabRow(i) == row) DrawSkinTab(i, 0, TPoint{0, 0}, cache);
}

void TacTabControlWnd::DrawSkinTab(int Index, int State, HDC DC) {
  const bool active = State == 2 && Index == ActiveTabIndex();
  const TRect r = SkinTabRect(Index, active);
  if (Index < 0 || r.Width() <= 0 || r.Height() <= 0 || !DC) return;
  std::unique_ptr<TBitmap> bmp = NewBitmap32(r.Width(), r.Height());
  if (!bmp || bmp->Empty()) return;
  // What the tab leaves unpainted shows the control's own image.
  if (TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr; cache && !cache->Empty())
    BitBlt(bmp->Canvas().Handle(), 0, 0, r.Width(), r.Height(), cache->Canvas().Handle(), r.Left, r.Top, SRCCOPY);
  DrawSkinTab(Index, State, TPoint{-r.Left, -r.Top}, bmp.get());
  BitBlt(DC, r.Left, r.Top, r.Width(), r.Height(), bmp->Canvas().Handle(), 0, 0, SRCCOPY);
}

void TacTabControlWnd::DrawSkinTab(int Index, int State, TPoint Offset, TBitmap* Bmp) {
  // 1.
  if (Index < 0 || !Bmp || Bmp->Empty() || !SkinData) return;
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  TsSkinManager* manager = ManagerOf(SkinData);
  TCanvas& canvas = Bmp->Canvas();
  HDC bdc = canvas.Handle();
  HGDIOBJ previousFont = nullptr;
  if (HFONT f = reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0))) previousFont = SelectObject(bdc, f);
  struct TFontBack {
    HDC DC;
    HGDIOBJ Font;
    ~TFontBack() {
      if (Font) SelectObject(DC, Font);
    }
  } fontBack{bdc, previousFont};
  // 2.
  const int activeIndex = ActiveTabIndex();
  const TRect r0 = SkinTabRect(Index, Index == activeIndex);
  // A hot tab scrolled out of view is not drawn.
  if (State == 1 && r0.Left < 0) return;
  const bool active = State == 2 && Index == activeIndex;
  TRect r = SkinTabRect(Index, active);
  if (r.Width() <= 0 || r.Height() <= 0) return;
  // 3.
  std::vector<wchar_t> buffer(TabTextBufferSize, L'\0');
  TCITEMW item{};
  item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_STATE;
  item.pszText = buffer.data();
  item.cchTextMax = TabTextBufferSize;
  item.iImage = -1;
  SendMessageW(CtrlHandle, TCM_GETITEMW, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&item));
  buffer.back() = L'\0';
  const std::wstring text = item.pszText ? std::wstring(item.pszText) : std::wstring();
  // 4.
  TControl* owner = SkinData->FOwnerControl;
  auto* pageControl = dynamic_cast<TPageControl*>(owner);
  const int position = TabPosition();
  // 5.
  const int section = TabSection(sd, position);
  if (section >= 0) {
    std::unique_ptr<TBitmap> work = NewBitmap32(r.Width(), r.Height());
    TBitmap* cache = SkinData->FCacheBmp.get();
    const TRect dst{r.Left + Offset.X, r.Top + Offset.Y, r.Right + Offset.X, r.Bottom + Offset.Y};
    if (work && !work->Empty()) {
      if (active) {
        if (cache && !cache->Empty())
          BitBlt(work->Canvas().Handle(), 0, 0, r.Width(), r.Height(), cache->Canvas().Handle(), r.Left, r.Top, SRCCOPY);
        BitBlt(bdc, dst.Left, dst.Top, r.Width(), r.Height(), work->Canvas().Handle(), 0, 0, SRCCOPY);
        const TRect inBmp = Intersection(dst, TRect{0, 0, Bmp->Width(), Bmp->Height()});
        if (inBmp == dst) PaintSkinSection(section, MakeCacheInfo(work.get()), 2, dst, TPoint{0, 0}, Bmp, sd);
      } else {
        TCacheInfo ci = cache && !cache->Empty() ? MakeCacheInfo(cache) : TCacheInfo{};
        PaintSkinSection(section, ci, State, TRect{0, 0, r.Width(), r.Height()}, TPoint{r.Left, r.Top}, work.get(), sd);
        const int saved = SaveDC(bdc);
        if (position == 0 || position == 2) {
          const TRect page = PageRect();
          ExcludeClipRect(bdc, page.Left + Offset.X, page.Top + Offset.Y, page.Right + Offset.X, page.Bottom + Offset.Y);
        }
        BitBlt(bdc, dst.Left, dst.Top, r.Width(), r.Height(), work->Canvas().Handle(), 0, 0, SRCCOPY);
        RestoreDC(bdc, saved);
      }
    }
  }
  // 6.
  r = TRect{r.Left + Offset.X, r.Top + Offset.Y, r.Right + Offset.X, r.Bottom + Offset.Y};
  const TColor sectionFont =
      section >= 0 ? sd->gd[static_cast<std::size_t>(section)].StateProps(std::min(State, 2)).FontColor.Color : clNone;
  // 7.
  bool fontChanged = false;
  if (pageControl && pageControl->OnDrawTab) {
    TCanvas& pc = pageControl->Canvas();
    pc.Lock();
    pc.SetHandle(bdc);
    pc.Font.Assign(pageControl->Font);
    if (sectionFont != clNone) pc.Font.Color = sectionFont;
    const TColor color = pc.Font.Color;
    const unsigned style = pc.Font.Style;
    const std::wstring name = pc.Font.Name;
    try {
      pageControl->OnDrawTab(pageControl, Index, r, State == 2);
    } catch (...) {
      pc.SetHandle(nullptr);
      pc.Unlock();
      throw;
    }
    fontChanged = pc.Font.Color != color || pc.Font.Style != style || pc.Font.Name.Get() != name;
    if (fontChanged) canvas.Font.Assign(pc.Font);
    pc.SetHandle(nullptr);
    pc.Unlock();
  }
  // 8.
  const int covering = Style() == 0 && sd ? sd->TabsCovering : 0;
  TRect tr{r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 3};
  if (position < 2) {
    tr.Left += 2 * covering;
    tr.Right -= 2 * covering;
  } else {
    tr.Top += 2 * covering;
    tr.Bottom -= 2 * covering;
  }
  if (!fontChanged) {
    if (owner) {
      canvas.Font.Assign(owner->Font);
    } else if (HFONT f = reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0))) {
      LOGFONTW lf{};
      if (GetObjectW(f, sizeof(lf), &lf)) {
        canvas.Font.Name = lf.lfFaceName;
        canvas.Font.Height = lf.lfHeight;
        canvas.Font.Charset = lf.lfCharSet;
      }
    }
  }
  // 9. the icon
  TCustomImageList* images = pageControl ? pageControl->Images() : nullptr;
  if (!images) {
    if (auto* tabs = dynamic_cast<TCustomTabControl*>(owner)) images = tabs->Images();
  }
  HIMAGELIST systemList =
      images ? nullptr : reinterpret_cast<HIMAGELIST>(SendMessageW(CtrlHandle, TCM_GETIMAGELIST, 0, 0));
  int cx = 0, cy = 0;
  const bool hasIcon = item.iImage >= 0 && ((images && item.iImage < images->Count()) ||
                                            (systemList && item.iImage < ImageList_GetImageCount(systemList)));
  if (hasIcon) {
    if (images) {
      cx = images->Width();
      cy = images->Height();
    } else {
      ImageList_GetIconSize(systemList, &cx, &cy);
    }
  }
  const auto drawIcon = [&](int x, int y) {
    if (!hasIcon) return;
    if (images) {
      auto* alpha = dynamic_cast<TsAlphaImageList*>(images);
      if (alpha && manager && manager->Effects.DiscoloredGlyphs.Get()) {
        const TColor tint = State != 0 ? clNone
                            : section < 0 ? clBtnFace
                                          : sd->gd[static_cast<std::size_t>(section)].Props[0].Color;
        TSize cell{};
        DrawImageListItem(alpha, Bmp, x, y, item.iImage, 0, tint, 0, 1, false, SkinData->EffectivePPI(), cell);
      } else {
        images->Draw(&canvas, x, y, item.iImage, true);
      }
    } else {
      ImageList_Draw(systemList, item.iImage, bdc, x, y, position < 2 ? ILD_NORMAL : ILD_TRANSPARENT);
    }
  };
  const int textState = State != 0 ? 1 : 0;
  if (position < 2) {
    // 10.
    if (hasIcon) {
      const int tw = canvas.TextWidth(text);
      drawIcon(tr.Left + (tr.Width() - (tw + cx + 8)) / 2, tr.Top + (tr.Height() - cy) / 2);
      tr.Left += cx;
    }
    const UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (fontChanged) {
      canvas.Brush.Style = bsClear;
      DrawTextLimited(canvas.FontHandle(), text, tr, flags);
      canvas.Brush.Style = bsSolid;
    } else {
      WriteSkinText(&canvas, text.c_str(), true, tr, flags, section, textState, manager);
    }
    return;
  }
  // 11. text turned along left and right tabs
  if (position == 3) {
    tr.Left -= 2;
    tr.Right -= 2;
    tr.Top -= 1;
    tr.Bottom -= 1;
  }
  LOGFONTW lf{};
  GetObjectW(canvas.Font.Handle(), sizeof(lf), &lf);
  LOGFONTW turned{};
  turned.lfHeight = lf.lfHeight;
  turned.lfItalic = lf.lfItalic;
  turned.lfUnderline = lf.lfUnderline;
  turned.lfStrikeOut = lf.lfStrikeOut;
  turned.lfCharSet = lf.lfCharSet;
  turned.lfWeight = FW_NORMAL;
  turned.lfEscapement = turned.lfOrientation = position == 2 ? -2700 : -900;
  const std::wstring face = std::wstring(lf.lfFaceName) == L"MS Sans Serif" ? L"Arial" : std::wstring(lf.lfFaceName);
  std::copy_n(face.c_str(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1), turned.lfFaceName);
  TColor color;
  if (section >= 0)
    color = sd->gd[static_cast<std::size_t>(section)].Props[State != 0 ? 1 : 0].FontColor.Color;
  else
    // Without tab elements the text takes the tab control's own font colour.
    color = owner ? owner->Font.Color.Get() : clBtnText;
  SIZE extent{};
  HDC mdc = canvas.FontHandle();
  GetTextExtentPoint32W(mdc, text.c_str(), static_cast<int>(std::min<std::size_t>(text.size(), MaxDrawTextLength)),
                        &extent);
  const int tw = extent.cx, th = extent.cy;
  HFONT font = CreateFontIndirectW(&turned);
  HGDIOBJ before = font ? SelectObject(mdc, font) : nullptr;
  SetTextColor(mdc, static_cast<COLORREF>(ColorToRGB(color)));
  SetBkMode(mdc, TRANSPARENT);
  int x, y;
  if (!hasIcon) {
    x = tr.Left + (tr.Width() - th) / 2 + (position == 3 ? th : 0);
    y = position == 2 ? tr.Bottom - (tr.Height() - tw) / 2 : tr.Top + (tr.Height() - tw) / 2;
  } else {
    if (active) {
      tr.Left += 2;
      tr.Right += 2;
    }
    const int iy = position == 2 ? tr.Bottom - (tr.Height() - (cy + tw + 4)) / 2 - cy
                                 : tr.Top + (tr.Height() - (cy + tw + 4)) / 2;
    drawIcon(tr.Left + (tr.Width() - cx) / 2, iy);
    x = tr.Left + (tr.Width() - th) / 2 + (position == 3 ? th : 0);
    y = position == 2 ? iy - 4 : iy + cy + 4;
  }
  const RECT clip{tr.Left, tr.Top, tr.Right, tr.Bottom};
  ExtTextOutW(mdc, x, y, ETO_CLIPPED, &clip, text.c_str(),
              static_cast<UINT>(std::min<std::size_t>(text.size(), MaxDrawTextLength)), nullptr);
  if (before) SelectObject(mdc, before);
  // The turned font is made for this tab only.
  if (font) DeleteObject(font);
}

void TacTabControlWnd::AC_WMPaint(TMessage& Message) {
  if (!SkinData || SkinData->RecheckUpdating(false)) return;
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  TsSkinManager* manager = ManagerOf(SkinData);
  if (!sd || !manager) return;
  // 1.
  HDC dc;
  bool own = false;
  int saved = 0;
  if (Message.LParam == 1 || AnimationInProgress || (SkinData->CtrlSkinState & ACS_PRINTING)) {
    dc = reinterpret_cast<HDC>(Message.WParam);
  } else {
    dc = GetDC(CtrlHandle);
    own = true;
    if (dc) saved = SaveDC(dc);
  }
  if (!dc) return;
  SkinData->BGChanged = true;
  // 2.
  const int tabs = TabCount();
  std::wstring section;
  if (tabs <= 0)
    section = L"TRANSPARENT";
  else if (SkinData->SkinSection() != L"PAGECONTROL")
    section = SkinData->SkinSection();
  else {
    static const wchar_t* const suffixes[4] = {L"", L"BOTTOM", L"LEFT", L"RIGHT"};
    section = std::wstring(L"PAGECONTROL") + suffixes[TabPosition()];
  }
  SkinData->SkinIndex = manager->GetSkinIndex(section, sd);
  // 3.
  TCacheInfo ci;
  WindowParentBackgroundInfo(CtrlHandle, ci);
  SkinData->InitCacheBitmap();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (cache) {
    cache->SetPixelFormat(pf32bit);
    cache->SetSize(std::max(0, WndSize.cx), std::max(0, WndSize.cy));
  }
  if (cache && !cache->Empty()) {
    // 4.
    if (tabs > 0) DrawSkinTabs(ci);
    const TRect page = Intersection(PageRect(), TabSizeRect(WndSize));
    if (SectionValid(sd, SkinData->SkinIndex) && page.Width() > 0 && page.Height() > 0)
      PaintSkinSection(SkinData->SkinIndex, ci, 0, page, TPoint{WndPos.X + page.Left, WndPos.Y + page.Top}, cache, sd);
    else if (page.Width() > 0 && page.Height() > 0) {
      // A skin without the section shows the background behind the control.
      if (ci.Ready && ci.Bmp)
        BitBlt(cache->Canvas().Handle(), page.Left, page.Top, page.Width(), page.Height(), ci.Bmp->Canvas().Handle(),
               ci.X + WndPos.X + page.Left, ci.Y + WndPos.Y + page.Top, SRCCOPY);
      else
        FillRectOnDC(cache->Canvas().Handle(), page, ci.FillColor);
    }
    SkinData->BGChanged = false;
    // 5.
    const int active = tabs > 0 ? ActiveTabIndex() : -1;
    if (active >= 0) {
      const TRect ar = SkinTabRect(active, true);
      const int inner = SaveDC(dc);
      ExcludeClipRect(dc, ar.Left, ar.Top, ar.Right, ar.Bottom);
      BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, SRCCOPY);
      RestoreDC(dc, inner);
      DrawSkinTab(active, 2, dc);
    } else {
      BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, SRCCOPY);
    }
    // 6.
    if (auto* owner = dynamic_cast<TWinControl*>(SkinData->FOwnerControl))
      PaintGraphicChildren(dc, owner, TPoint{0, 0}, true);
  }
  if (own) {
    RestoreDC(dc, saved);
    ReleaseDC(CtrlHandle, dc);
  }
}

// ---------------------------------------------------------------------------
// The spin child, creation, messages
// ---------------------------------------------------------------------------

void TacTabControlWnd::CheckUpDown() {
  HWND spin = nullptr;
  if (SkinData && SkinData->Skinned() && CtrlHandle)
    for (HWND child = GetWindow(CtrlHandle, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t cls[64]{};
      GetClassNameW(child, cls, 63);
      if (lstrcmpiW(cls, UPDOWN_CLASSW) == 0) {
        spin = child;
        break;
      }
    }
  if (!spin) {
    FreeHandler(BtnSW);
    return;
  }
  // The spin handler of that very window stays while it serves it.
  if (BtnSW && !BtnSW->Destroyed && BtnSW->CtrlHandle == spin) return;
  FreeHandler(BtnSW);
  TacSkinParams params;
  params.SkinSection = L"UPDOWNBTN";
  params.UseSkinColor = params.UseSkinFontColor = true;
  BtnSW = CreateHandler(L"TacSpinWnd", spin, true, params, SkinManager, nullptr);
}

void TacTabControlWnd::RedrawSpin() {
  if (BtnSW && SkinData && !SkinData->BGChanged && BtnSW->CtrlHandle)
    RedrawWindow(BtnSW->CtrlHandle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
}

TacTabControlWnd::~TacTabControlWnd() { FreeHandler(BtnSW); }

void TacTabControlWnd::AfterCreation() {
  if (SkinData && SkinData->SkinSection().empty()) SkinData->WriteSkinSection(L"PAGECONTROL");
  TacMainWnd::AfterCreation();
}

bool TacTabControlWnd::HandleSkinCommand(TMessage& Message) {
  const bool ours = Message.LParam == reinterpret_cast<LPARAM>(SkinManager);
  TControl* owner = SkinData->FOwnerControl;
  const bool skinned = SkinData->Skinned();
  switch (SkinCommandOf(Message.WParam)) {
    case SKCMD_NEW_SKIN:
      if (!ours) return false;
      HandleCommonWindowMessage(Message, SkinData);
      if (auto* win = dynamic_cast<TWinControl*>(owner))
        for (TControl* child : std::vector<TControl*>(win->Controls()))
          if (auto* w = dynamic_cast<TWinControl*>(child); w && !w->HandleAllocated()) w->Handle();
      PassToChildren(owner, CtrlHandle, Message);
      return true;
    case SKCMD_REMOVE_SKIN:
      if (ours) {
        HandleCommonWindowMessage(Message, SkinData);
        CheckUpDown();
        PassToChildren(owner, CtrlHandle, Message);
        InvalidateRect(CtrlHandle, nullptr, TRUE);
        RedrawWindow(CtrlHandle, nullptr, nullptr, 0x585);
      } else {
        PassToChildren(owner, CtrlHandle, Message);
      }
      return true;
    case SKCMD_REFRESH:
      if (ours) {
        HandleCommonWindowMessage(Message, SkinData);
        InvalidateRect(CtrlHandle, nullptr, TRUE);
        CheckUpDown();
      }
      PassToChildren(owner, CtrlHandle, Message);
      return true;
    case SKCMD_END_UPDATE:
      if (skinned) {
        if (SkinData->FUpdating && !SkinData->RecheckUpdating(false)) InvalidateRect(CtrlHandle, nullptr, TRUE);
        if (owner) RepaintChildControls(owner);
      }
      return true;
    case SKCMD_IS_SKINNED:
      Message.Result = 1;
      return true;
    case SKCMD_IS_UPDATING:
      if (!skinned) return false;
      Message.Result = SkinData->FUpdating ? 1 : 0;
      return true;
    case SKCMD_GET_MANAGER:
      Message.Result = reinterpret_cast<LRESULT>(SkinManager);
      return true;
    case SKCMD_GET_BG_INFO:
      if (!skinned) return false;
      HandleCommonWindowMessage(Message, SkinData);
      return true;
  }
  return false;
}

void TacTabControlWnd::acWndProc(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  if (Destroyed || !SkinData) {
    TacMainWnd::acWndProc(Message);
    return;
  }
  if (Message.Msg == SM_SKINCOMMAND) {
    if (!HandleSkinCommand(Message)) TacMainWnd::acWndProc(Message);
    return;
  }
  const bool skinned = SkinData->Skinned();
  if (skinned) switch (Message.Msg) {
      case WM_PAINT: {
        InvalidateRect(wnd, nullptr, TRUE);
        PAINTSTRUCT ps{};
        BeginPaint(wnd, &ps);
        EndPaint(wnd, &ps);
        RedrawSpin();
        Message.Result = 0;
        return;
      }
      case WM_ERASEBKGND:
        if (IsWindowVisible(wnd)) {
          if (!AnimationInProgress) AC_WMPaint(Message);
          if (!Destroyed) CheckUpDown();
          Message.Result = 1;
          return;
        }
        break;
      case WM_NCPAINT:
        Message.Result = 0;
        return;
      case WM_PRINT: {
        CheckUpDown();
        TMessage print{Message.Msg, Message.WParam, 1, 0};
        AC_WMPaint(print);
        RedrawSpin();
        Message.Result = 0;
        return;
      }
      case TCM_SETCURSEL: {
        LPARAM none = 0;
        CallPrevWndProc(wnd, WM_SETREDRAW, none, 0);
        TacMainWnd::acWndProc(Message);
        none = 0;
        CallPrevWndProc(wnd, WM_SETREDRAW, none, 1);
        InvalidateRect(wnd, nullptr, TRUE);
        return;
      }
    }
  const TSize before = WndSize;
  TacMainWnd::acWndProc(Message);
  if (Destroyed || !SkinData || !SkinData->Skinned()) return;
  if (Message.Msg == WM_SIZE) {
    CheckUpDown();
    RECT r{};
    GetWindowRect(wnd, &r);
    if (r.right - r.left < before.cx || r.bottom - r.top < before.cy)
      RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_NOCHILDREN | RDW_ERASE | RDW_INVALIDATE);
  } else if (Message.Msg == CM_CONTROLLISTCHANGE_MSG) {
    CheckUpDown();
  }
}

// ---------------------------------------------------------------------------
// TacPageControlWnd
// ---------------------------------------------------------------------------

void TacPageControlWnd::AfterCreation() {
  InitPages();
  TacTabControlWnd::AfterCreation();
}

TRect TacPageControlWnd::ClientRect() { return TacTabControlWnd::ClientRect(); }

TRect TacPageControlWnd::PageRect() { return TacTabControlWnd::PageRect(); }

namespace {

struct TEnumPages {
  HWND Parent;
  std::vector<HWND> Children;
};

BOOL CALLBACK CollectDirectChild(HWND Wnd, LPARAM Data) {
  auto* e = reinterpret_cast<TEnumPages*>(Data);
  if (GetParent(Wnd) == e->Parent) e->Children.push_back(Wnd);
  return TRUE;
}

// Destroyed page handlers are dropped before new ones come: recreated pages would otherwise
// leave one behind each time.
void DropDestroyedPages() {
  std::vector<TacMainWnd*> dead;
  std::erase_if(PageHandlers, [&dead](TacMainWnd* h) {
    if (h && !h->Destroyed && h->CtrlHandle && IsWindow(h->CtrlHandle)) return false;
    dead.push_back(h);
    return true;
  });
  for (TacMainWnd* h : dead) FreeHandler(h);
}

}  // namespace

void TacPageControlWnd::InitPages() {
  if (!SkinData || !CtrlHandle) return;
  DropDestroyedPages();
  TacSkinParams params;
  params.SkinSection = L"TRANSPARENT";
  params.UseSkinColor = params.UseSkinFontColor = true;
  if (auto* pc = dynamic_cast<TPageControl*>(SkinData->FOwnerControl)) {
    for (int i = 0; i < pc->PageCount(); ++i) {
      TTabSheet* page = pc->Pages(i);
      if (!page || !page->HandleAllocated() || IsSkinnedWindow(page->Handle())) continue;
      params.Control = page;
      auto* h = new TacPageWnd(page->Handle(), true, params, SkinManager, nullptr);
      h->KindName = L"TacPageWnd";
      h->Attach();
      h->Page = page;
      PageHandlers.push_back(h);
    }
    return;
  }
  TEnumPages e{CtrlHandle, {}};
  EnumChildWindows(CtrlHandle, CollectDirectChild, reinterpret_cast<LPARAM>(&e));
  for (HWND child : e.Children) {
    if (SendSkinCommand(child, SKCMD_IS_SKINNED, 0) == 1) continue;
    auto* manager = reinterpret_cast<TsSkinManager*>(SendSkinCommand(CtrlHandle, SKCMD_GET_MANAGER, 0));
    if (!manager) continue;
    params.Control = nullptr;
    auto* h = new TacPageWnd(child, true, params, manager, nullptr);
    h->KindName = L"TacPageWnd";
    h->Attach();
    PageHandlers.push_back(h);
  }
}

void TacPageControlWnd::acWndProc(TMessage& Message) {
  if (Destroyed || !SkinData || !SkinData->Skinned()) {
    TabHandling(Message);
    return;
  }
  TControl* owner = SkinData->FOwnerControl;
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      if (IsWindowVisible(CtrlHandle)) {
        if (!AnimationInProgress) AC_WMPaint(Message);
        Message.Result = 1;
        return;
      }
      break;
    case WM_NCPAINT:
      InitPages();
      Message.Result = 0;
      return;
    case WM_PARENTNOTIFY:
      if (LOWORD(Message.WParam) == WM_CREATE) {
        InitPages();
        if (owner) AddToFormAdapter(owner);
      } else if (LOWORD(Message.WParam) == WM_DESTROY) {
        InitPages();
      }
      break;
    case WM_PRINT: {
      CheckUpDown();
      InitPages();
      SkinData->FUpdating = false;
      TMessage print{Message.Msg, Message.WParam, 1, 0};
      AC_WMPaint(print);
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      if (BtnSW && BtnSW->CtrlHandle && dc) {
        RECT r{};
        GetWindowRect(BtnSW->CtrlHandle, &r);
        POINT p{r.left, r.top};
        ScreenToClient(CtrlHandle, &p);
        const int saved = SaveDC(dc);
        OffsetWindowOrgEx(dc, -p.x, -p.y, nullptr);
        IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
        if (BtnSW->SkinData) BtnSW->SkinData->FUpdating = false;
        SendMessageW(BtnSW->CtrlHandle, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
        RestoreDC(dc, saved);
      }
      Message.Result = 0;
      return;
    }
    case TCM_SETCURSEL:
    case TCM_SETITEMW:
      if (owner) {
        InitPages();
        AddToFormAdapter(owner);
      }
      break;
  }
  TabHandling(Message);
}

// ---------------------------------------------------------------------------
// TacPageWnd
// ---------------------------------------------------------------------------

void TacPageWnd::AfterCreation() {
  Page = nullptr;
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  TacMainWnd::AfterCreation();
}

int TacPageWnd::TabPosition() {
  HWND parent = CtrlHandle ? GetParent(CtrlHandle) : nullptr;
  const LONG style = parent ? GetWindowLongW(parent, GWL_STYLE) : 0;
  if (!(style & TCS_VERTICAL)) return (style & TCS_BOTTOM) ? 1 : 0;
  return (style & TCS_RIGHT) ? 3 : 2;
}

bool TacPageWnd::AC_WMEraseBKGnd(HDC DC) {
  if (!SkinData || !DC || SkinData->FUpdating) return false;
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  HWND parent = GetParent(CtrlHandle);
  if (!parent) return false;
  TacBGInfo info;
  info.PleaseDraw = false;
  RequestBackgroundFromWindow(info, parent, false);
  if (info.BgType == btCache) {
    if (!info.Bmp || info.Bmp->Empty()) {
      if (info.Bmp) SendMessageW(parent, WM_PAINT, reinterpret_cast<WPARAM>(info.Bmp->Canvas().Handle()), 0);
      if (!info.Bmp || info.Bmp->Empty()) return false;
    }
    BitBlt(DC, 0, 0, WndSize.cx, WndSize.cy, info.Bmp->Canvas().Handle(), WndPos.X + info.Offset.X,
           WndPos.Y + info.Offset.Y, SRCCOPY);
  } else if (info.BgType == btFill) {
    FillRectOnDC(DC, TabSizeRect(WndSize), info.Color);
    auto* tabs = Page ? dynamic_cast<TCustomTabControl*>(Page->Parent()) : nullptr;
    if (tabs && tabs->TabCount() > 0 && info.Bmp && !info.Bmp->Empty()) {
      HDC src = info.Bmp->Canvas().Handle();
      const int w = WndSize.cx, h = WndSize.cy;
      switch (TabPosition()) {
        case 0: BitBlt(DC, 0, 0, w, 3, src, WndPos.X + info.Offset.X, WndPos.Y + info.Offset.Y, SRCCOPY); break;
        case 1: BitBlt(DC, 0, h - 3, w, 3, src, WndPos.X, WndPos.Y + h - 3, SRCCOPY); break;
        case 2: BitBlt(DC, 0, 0, 3, h, src, WndPos.X, WndPos.Y, SRCCOPY); break;
        default: BitBlt(DC, w - 3, 0, 3, h, src, WndPos.X + w - 3, WndPos.Y, SRCCOPY); break;
      }
    }
  }
  if (Page) {
    PaintGraphicChildren(DC, Page, TPoint{0, 0}, true);
    RepaintChildControls(Page);
  }
  return true;
}

void TacPageWnd::acWndProc(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  if (Destroyed || !SkinData || !SkinData->Skinned()) {
    TacMainWnd::acWndProc(Message);
    return;
  }
  const bool ours = Message.Msg == SM_SKINCOMMAND && Message.LParam == reinterpret_cast<LPARAM>(SkinManager);
  TControl* owner = SkinData->FOwnerControl;
  switch (Message.Msg) {
    case WM_PAINT:
      if (IsWindowVisible(wnd)) {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(wnd, &ps);
        AC_WMEraseBKGnd(Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : dc);
        EndPaint(wnd, &ps);
        Message.Result = 0;
        return;
      }
      break;
    case WM_ERASEBKGND:
      if (IsWindowVisible(wnd)) {
        if (AC_WMEraseBKGnd(reinterpret_cast<HDC>(Message.WParam))) {
          Message.Result = 1;
          return;
        }
      }
      break;
    case WM_NCPAINT:
      Message.Result = 0;
      return;
    case WM_PRINT:
      SkinData->FUpdating = false;
      AC_WMEraseBKGnd(reinterpret_cast<HDC>(Message.WParam));
      SendMessageW(wnd, WM_PAINT, Message.WParam, Message.LParam);
      Message.Result = 0;
      return;
    case SM_SKINCOMMAND:
      switch (SkinCommandOf(Message.WParam)) {
        case SKCMD_NEW_SKIN:
          if (ours) DispatchSkinCommand(Message, SkinData);
          PassToChildren(owner, wnd, Message);
          return;
        case SKCMD_REMOVE_SKIN:
        case SKCMD_REFRESH: {
          const bool remove = SkinCommandOf(Message.WParam) == SKCMD_REMOVE_SKIN;
          if (ours) {
            HandleCommonWindowMessage(Message, SkinData);
            InvalidateRect(wnd, nullptr, TRUE);
          }
          PassToChildren(owner, wnd, Message);
          if (!remove) return;
          break;
        }
        case SKCMD_END_UPDATE:
          if (SkinData->FUpdating) {
            if (!SkinData->RecheckUpdating(false)) RedrawWindow(wnd, nullptr, nullptr, 0x585);
            if (Page) RepaintChildControls(Page);
          }
          return;
        case SKCMD_IS_SKINNED:
          Message.Result = 1;
          return;
        case SKCMD_IS_UPDATING:
          Message.Result = SkinData->FUpdating ? 1 : 0;
          return;
        case SKCMD_GET_BG_INFO: {
          auto* info = reinterpret_cast<TacBGInfo*>(Message.LParam);
          if (!info) return;
          if (HWND parent = GetParent(wnd)) RequestBackgroundFromWindow(*info, parent, info->PleaseDraw);
          if (Page) {
            info->Offset.X += Page->Left();
            info->Offset.Y += Page->Top();
          } else {
            ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
            info->Offset.X += WndPos.X;
            info->Offset.Y += WndPos.Y;
          }
          return;
        }
      }
      break;
  }
  TacMainWnd::acWndProc(Message);
  if (!Destroyed && Message.Msg == WM_PARENTNOTIFY && LOWORD(Message.WParam) == WM_CREATE) RequestAddControls(wnd);
}

// ---------------------------------------------------------------------------

void RegisterTabHandlerKinds() {
  RegisterHandlerKind(L"TacTabControlWnd", HandlerMakerOf<TacTabControlWnd>());
  RegisterHandlerKind(L"TacPageControlWnd", HandlerMakerOf<TacPageControlWnd>());
}
