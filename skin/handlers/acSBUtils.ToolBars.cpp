// The handlers of tool bars and status bars: native tool bars drawn button by button from
// their own messages into a work bitmap over the skinned cache, the framework's tool bars
// drawn as their advanced custom-draw events, and the framework's status bars with panels,
// dividers, texts and size grip.
#include "skin/handlers/acSBUtils.h"

#include <commctrl.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/ui/ComCtrls.StatusBar.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/ImgList.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.Corners.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

// A mask index the skin names, checked against the loaded masks.
bool MaskValid(TacSkinData* Data, int Index) {
  return Data && Index >= 0 && Index < static_cast<int>(Data->ma.size());
}
bool SectionValid(TacSkinData* Data, int Index) {
  return Data && Index >= 0 && Index < static_cast<int>(Data->gd.size());
}

// The canvas takes a window's font, its face name substituted.
void TakeWindowFont(TCanvas& Canvas, HFONT Font) {
  LOGFONTW lf{};
  if (!Font || GetObjectW(Font, sizeof lf, &lf) != static_cast<int>(sizeof lf)) return;
  AssignLogFont(Canvas.Font, lf);
  SubstituteFontName(Canvas.Font);
}

void BlitBitmap(HDC DC, const TRect& R, TBitmap* Bmp) {
  BitBlt(DC, R.Left, R.Top, R.Width(), R.Height(), Bmp->Canvas().Handle(), 0, 0, SRCCOPY);
}

void MakeHot(HWND Wnd) {
  if (TsSkinManager* dm = DefaultManager())
    if (!dm->Designing() && Wnd && IsWindowEnabled(Wnd)) dm->SwitchHotControl(Wnd);
}

bool Designing(TControl* Control) { return Control && (Control->ComponentState() & csDesigning); }

}  // namespace

// ---------------------------------------------------------------------------
// Text of native tool buttons
// ---------------------------------------------------------------------------

void SplitToolButtonText(const std::wstring& Text, std::wstring& First, std::wstring& Second) {
  First.clear();
  Second = Text;
  // Where each space-separated word begins.
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < Text.size(); ++i)
    if (Text[i] != L' ' && (i == 0 || Text[i - 1] == L' ')) starts.push_back(i);
  const std::size_t count = starts.size();
  // Word i (1-based) from 1 to the count: the last index decides, whatever the widths.
  if (count < 3) return;
  const std::size_t split = starts[count - 2];
  std::size_t end = split;
  while (end > 0 && Text[end - 1] == L' ') --end;
  First = Text.substr(0, end);
  Second = Text.substr(split);
}

bool ToolButtonText(HWND ToolBar, int Command, std::wstring& Text) {
  Text.clear();
  // The message writes the whole text and takes no size: the length is asked first.
  const LRESULT length = SendMessageW(ToolBar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(Command), 0);
  if (length < 0) return false;
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(ToolBar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(Command),
                                   reinterpret_cast<LPARAM>(buffer.data()));
  if (got < 0) return false;
  buffer.resize(static_cast<std::size_t>(std::min(got, length)));
  Text = buffer.c_str();
  return true;
}

// ---------------------------------------------------------------------------
// TacToolBarWnd
// ---------------------------------------------------------------------------

int TacToolBarWnd::Count() { return static_cast<int>(SendMessageW(CtrlHandle, TB_BUTTONCOUNT, 0, 0)); }

TRect TacToolBarWnd::GetButtonRect(int Index) {
  RECT r{};
  SendMessageW(CtrlHandle, TB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
  return TRect{r.left, r.top, r.right, r.bottom};
}

void TacToolBarWnd::PrepareCache() { PrepareSectionCache(this, ClientRect, BorderWidth); }

void TacToolBarWnd::DrawButtons(TBitmap* Bmp) {
  HDC dc = Bmp->Canvas().Handle();
  const int count = Count();
  for (int i = 0; i < count; ++i) {
    TRect r = GetButtonRect(i);
    r.Left += BorderWidth, r.Right += BorderWidth, r.Top += BorderWidth, r.Bottom += BorderWidth;
    DrawBtn(i, r, dc);
  }
}

void TacToolBarWnd::DrawBtn(int Index, const TRect& R, HDC DC) {
  TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
  if (!cache || cache->Empty()) return;
  TBBUTTON tb{};
  if (!SendMessageW(CtrlHandle, TB_GETBUTTON, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&tb))) return;
  const int w = R.Width(), h = R.Height();
  if (w <= 0 || h <= 0) return;
  std::unique_ptr<TBitmap> bmp = NewBitmap32(w, h);
  if (!bmp || bmp->Empty()) return;
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  const TCacheInfo ci = MakeCacheInfo(cache);
  HDC bdc = bmp->Canvas().Handle();
  if (tb.fsStyle & BTNS_SEP) {
    const int divider = ConstSection(sd, L"DIVIDER");
    if (divider < 0 || !MaskValid(sd, sd->GetMaskIndex(divider, L"BORDERSMASK"))) return;
    BitBlt(bdc, 0, 0, w, h, cache->Canvas().Handle(), R.Left, R.Top, SRCCOPY);
    const TRect dr{w / 2 - 1, 2, w / 2 + 3, h - 2};
    if (dr.Height() > 0)
      PaintSkinSection(divider, ci, 0, dr, TPoint{R.Left + dr.Left, R.Top + dr.Top}, bmp.get(), sd);
    BlitBitmap(DC, R, bmp.get());
    return;
  }
  // 3.
  int state = 0, s = 0;
  if (tb.fsState & TBSTATE_ENABLED) {
    if (tb.fsState & TBSTATE_PRESSED) {
      state = 2;
      s = 1;
    } else {
      POINT cursor{};
      GetCursorPos(&cursor);
      const RECT screen{R.Left + WndRect.Left, R.Top + WndRect.Top, R.Right + WndRect.Left, R.Bottom + WndRect.Top};
      if (PtInRect(&screen, cursor)) state = 1;
    }
  }
  // 4.
  const int toolButton = ConstSection(sd, L"TOOLBUTTON");
  if (toolButton >= 0)
    PaintSkinSection(toolButton, ci, state, TRect{0, 0, w, h}, TPoint{R.Left, R.Top}, bmp.get(), sd);
  // 5.
  std::wstring text;
  const bool hasText = ToolButtonText(CtrlHandle, tb.idCommand, text) && !text.empty();
  // 6.
  int cx = 0, cy = 0;
  bool measured = false;
  auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(CtrlHandle, TB_GETIMAGELIST, 0, 0));
  if (tb.iBitmap >= 0 && list && ImageList_GetIconSize(list, &cx, &cy)) {
    measured = true;
    ImageList_SetBkColor(list, CLR_NONE);
    const int y = s + 4;
    int x = s + (w - cx) / 2, iy = hasText ? y : s + (h - cy) / 2;
    if (tb.fsStyle & BTNS_WHOLEDROPDOWN) {
      const int glyph = sd ? sd->ScrollBtns[asBottom].GlyphIndex : -1;
      if (MaskValid(sd, glyph)) {
        const TsMaskData& mask = sd->ma[static_cast<std::size_t>(glyph)];
        const int gw = mask.Width, gh = mask.Height;
        const TPoint at = hasText ? TPoint{s + (w - gw) / 2, s + (h - gh) / 2} : TPoint{w - gw - s - 1, s + (h - gh) / 2};
        DrawMaskStateImage(bmp.get(), at, state, 1, mask, MakeCacheInfo(bmp.get()));
        x = s + (w - cx - gw) / 2;
      }
      iy = y;
    }
    ImageList_Draw(list, tb.iBitmap, bdc, x, iy, ILD_TRANSPARENT);
  }
  // 7.
  if (hasText) {
    TCanvas& canvas = bmp->Canvas();
    TakeWindowFont(canvas, reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0)));
    const int top = s + 2 + (measured ? cy + 2 : 0);
    TRect tr{s + 2, top, w + s - 2, s + h - 2};
    int section = state == 0 ? SkinData->SkinIndex : toolButton;
    TsSkinManager* manager = SkinData->ReadSkinManager();
    if (SectionIsTranslucent(manager, section, state, nullptr) && ParentWnd) {
      TacSectionQuery query;
      query.State = state;
      query.SkinIndex = section;
      query.R = WndRect;
      query.Manager = manager;
      SendSectionQuery(ParentWnd, query);
      section = query.SkinIndex;
    }
    const int textState = state != 0 ? 1 : 0;
    std::wstring first, second;
    SplitToolButtonText(text, first, second);
    if (!first.empty()) {
      const int lineHeight = canvas.TextHeight(L"A");
      TRect band{tr.Left, tr.Top, tr.Right, tr.Top + lineHeight};
      WriteSkinText(&canvas, first.c_str(), true, band, DT_CENTER, section, textState, manager);
      TRect rest{tr.Left, tr.Top + lineHeight, tr.Right, tr.Bottom};
      WriteSkinText(&canvas, second.c_str(), true, rest, DT_END_ELLIPSIS, section, textState, manager);
    } else {
      WriteSkinText(&canvas, text.c_str(), true, tr, DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_END_ELLIPSIS,
                    section, textState, manager);
    }
  }
  // 8.
  if (!(tb.fsState & TBSTATE_ENABLED))
    CopyExceptKey(bmp.get(), 0, 0, cache, TRect{R.Left, R.Top, R.Right - 1, R.Bottom - 1}, DisabledBlendWeight,
                  0x00FF00FFu);
  // 9.
  BlitBitmap(DC, R, bmp.get());
}

void TacToolBarWnd::AC_WMPrint(HDC DC) {
  if (!SkinData) return;
  PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  std::unique_ptr<TBitmap> work = NewBitmap32(cache->Width(), cache->Height());
  if (!work || work->Empty()) return;
  BitBlt(work->Canvas().Handle(), 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
  DrawButtons(work.get());
  ApplyAlphaInRect(work.get(), TRect{0, 0, work->Width(), work->Height()}, 255, 0x1FFFFFFFu);
  const int b = BorderWidth;
  const int pw = WndSize.cx - 2 * b, ph = WndSize.cy - 2 * b;
  if (pw <= 0 || ph <= 0) return;
  HDC dc = DC ? DC : GetDC(CtrlHandle);
  if (!dc) return;
  BitBlt(dc, 0, 0, pw, ph, work->Canvas().Handle(), b, b, SRCCOPY);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacToolBarWnd::AC_WMPaint(HDC DC) {
  if (!IsWindowVisible(CtrlHandle)) return;
  PAINTSTRUCT ps{};
  HDC dc = DC ? DC : BeginPaint(CtrlHandle, &ps);
  if (dc && SkinData && !SkinData->IsUpdating()) AC_WMPrint(dc);
  if (!DC) EndPaint(CtrlHandle, &ps);
}

void TacToolBarWnd::AC_WMNCPaint() {
  if (!(GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) || !SkinData || SkinData->IsUpdating()) return;
  PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  RECT cr{};
  GetClientRect(CtrlHandle, &cr);
  const int b = (WndSize.cx - cr.right) / 2;
  if (b <= 0) return;
  HDC dc = GetWindowDC(CtrlHandle);
  if (!dc) return;
  const int saved = SaveDC(dc);
  BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, b);
  RestoreDC(dc, saved);
  ReleaseDC(CtrlHandle, dc);
}

void TacToolBarWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
      if (!IsWindowVisible(CtrlHandle)) break;
      AC_WMPaint(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = 0;
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      AC_WMNCPaint();
      Message.Result = 0;
      return;
    case WM_PRINT:
      AC_WMPrint(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = 0;
      return;
  }
  TacMainWnd::acWndProc(Message);
  switch (Message.Msg) {
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      if (Destroyed || !SkinData) return;
      SkinData->BGChanged = true;
      RedrawWindow(CtrlHandle, nullptr, nullptr, 0x585);
      return;
    case WM_MOUSEMOVE:
      if (!Destroyed) MakeHot(CtrlHandle);
      return;
  }
}

// ---------------------------------------------------------------------------
// TacToolBarVCLWnd
// ---------------------------------------------------------------------------

void TacToolBarVCLWnd::InstallEvents() {
  if (!ToolBar) return;
  ToolBar->OnAdvancedCustomDraw = [this](TToolBar* Sender, const TRect& ARect, TCustomDrawStage Stage,
                                         bool& DefaultDraw) { OurAdvancedCustomDraw(Sender, ARect, Stage, DefaultDraw); };
  ToolBar->OnAdvancedCustomDrawButton = [this](TToolBar* Sender, TToolButton* Button, TCustomDrawState State,
                                               TCustomDrawStage Stage, TTBCustomDrawFlags& Flags, bool& DefaultDraw) {
    OurAdvancedCustomDrawButton(Sender, Button, State, Stage, Flags, DefaultDraw);
  };
}

void TacToolBarVCLWnd::RemoveEvents() {
  if (!ToolBar) return;
  ToolBar->OnAdvancedCustomDraw = nullptr;
  ToolBar->OnAdvancedCustomDrawButton = nullptr;
}

void TacToolBarVCLWnd::AfterCreation() {
  HotButtonIndex = -1;
  ToolBar = SkinData ? dynamic_cast<TToolBar*>(SkinData->FOwnerControl) : nullptr;
  if (ToolBar) {
    InstallEvents();
    if (SkinData->SkinSection().empty()) SkinData->WriteSkinSection(L"TOOLBAR");
  }
  TacMainWnd::AfterCreation();
}

bool TacToolBarVCLWnd::CacheOutdated() {
  if (SkinData->BGChanged || !SkinData->FCacheBmp) return true;
  // The cache is made with the window's size; another size was made before a resize.
  RECT r{};
  GetWindowRect(CtrlHandle, &r);
  return SkinData->FCacheBmp->Width() != r.right - r.left || SkinData->FCacheBmp->Height() != r.bottom - r.top;
}

TRect TacToolBarVCLWnd::DisplayRect() { return ClientRectInWindow(CtrlHandle); }

TRect TacToolBarVCLWnd::GetButtonRect(int Index) {
  RECT r{};
  if (ToolBar) ToolBar->Perform(TB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
  return TRect{r.left, r.top, r.right, r.bottom};
}

int TacToolBarVCLWnd::IndexByMouse(TPoint P) {
  if (!ToolBar) return -1;
  const int count = static_cast<int>(ToolBar->Perform(TB_BUTTONCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const TRect r = GetButtonRect(i);
    if (P.X >= r.Left && P.X < r.Right && P.Y >= r.Top && P.Y < r.Bottom) {
      TToolButton* button = ToolBar->Buttons(i);
      return button && button->Style < tbsSeparator ? i : -1;
    }
  }
  return -1;
}

void TacToolBarVCLWnd::PrepareCache() {
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  SkinData->InitCacheBitmap();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache) return;
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(WndSize.cx, WndSize.cy);
  TCacheInfo ci;
  SkinData->ParentBackgroundInfo(ci);
  PaintControlSkin(SkinData, ci, 0, TRect{0, 0, WndSize.cx, WndSize.cy}, WndPos, cache, false);
  SkinData->BGChanged = false;
}

void TacToolBarVCLWnd::PaintBackground(HDC DC, const TRect& ClientInWindow, const TRect& ARect) {
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty() || !DC) return;
  RepairCacheCorners(SkinData, 0, 0x0F);
  const int saved = SaveDC(DC);
  IntersectClipRect(DC, ARect.Left, ARect.Top, ARect.Right, ARect.Bottom);
  const bool designing = Designing(ToolBar);
  TsSkinManager* manager = SkinData->ReadSkinManager();
  const bool stdTransparency = manager && manager->Options.StdImgTransparency;
  for (TControl* child : ToolBar->Controls()) {
    if (!child->Visible()) continue;
    const TRect b = child->BoundsRect();
    if (b.Right <= ARect.Left || b.Left >= ARect.Right || b.Bottom <= ARect.Top || b.Top >= ARect.Bottom) continue;
    const bool graphic = dynamic_cast<TGraphicControl*>(child) != nullptr;
    if (designing && dynamic_cast<TToolButton*>(child)) continue;
    if (graphic && stdTransparency) continue;
    if ((child->ControlStyle() & csOpaque) || graphic || designing) ExcludeClipRect(DC, b.Left, b.Top, b.Right, b.Bottom);
  }
  BitBlt(DC, ARect.Left, ARect.Top, ARect.Width(), ARect.Height(), cache->Canvas().Handle(),
         ClientInWindow.Left + ARect.Left, ClientInWindow.Top + ARect.Top, SRCCOPY);
  RestoreDC(DC, saved);
}

void TacToolBarVCLWnd::OurAdvancedCustomDraw(TToolBar* Sender, const TRect& ARect, int Stage, bool& DefaultDraw) {
  if (!SkinData || !SkinData->Skinned(true) || !ToolBar) {
    DefaultDraw = true;
    return;
  }
  if (SkinData->IsUpdating()) return;
  if (Stage != cdPrePaint) {
    DefaultDraw = false;
    return;
  }
  SkinData->InitCacheBitmap();
  SkinData->FCacheBmp->Canvas().Font.Assign(Sender->Font);
  if (CacheOutdated()) PrepareCache();
  const TRect cr = DisplayRect();
  HDC dc = Sender->Canvas.Handle();
  PaintBackground(dc, cr, ARect);
  PaintGraphicChildren(dc, Sender, TPoint{0, 0}, true);
  RepaintChildControls(Sender);
  if (cr.Left > 0 || cr.Top > 0 || cr.Right < WndSize.cx || cr.Bottom < WndSize.cy)
    SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
}

void TacToolBarVCLWnd::OurAdvancedCustomDrawButton(TToolBar* Sender, TToolButton* Button, unsigned State,
                                                   int Stage, unsigned& Flags, bool& DefaultDraw) {
  if (!SkinData || !SkinData->Skinned(true) || !ToolBar || !Button) {
    DefaultDraw = true;
    return;
  }
  DefaultDraw = false;
  if (Stage != cdPrePaint) return;
  if (!Sender->Flat && !Designing(Sender) && Button->Index() == HotButtonIndex) State |= cdsHot;
  Flags |= tbNoEdges | tbNoEtchedEffect;
  const TRect br = GetButtonRect(Button->Index());
  const int w = br.Width(), h = br.Height();
  if (w <= 0 || h <= 0) return;
  std::unique_ptr<TBitmap> bmp = NewBitmap32(w, h);
  if (!bmp || bmp->Empty()) return;
  bmp->Canvas().Font.Assign(Sender->Font);
  if (CacheOutdated()) PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  TsSkinManager* manager = SkinData->ReadSkinManager();
  // Skin state.
  int state = 0;
  if (Button->Marked || Button->Indeterminate || (State != 0 && State != cdsDisabled))
    state = (State & (cdsSelected | cdsChecked)) || Button->Marked || Button->Indeterminate ? 2 : 1;
  // Background.
  const int toolButton = ConstSection(sd, L"TOOLBUTTON");
  const int edges = (Sender->EdgeInner != esNone) + (Sender->EdgeOuter != esNone);
  const int offX = ((Sender->EdgeBorders & ebLeft) ? 1 : 0) * edges + 2 * Sender->BorderWidth;
  const int offY = ((Sender->EdgeBorders & ebTop) ? 1 : 0) * edges + 2 * Sender->BorderWidth;
  const TRect face{0, 0, w, Button->Height()};
  const TCacheInfo ci = MakeCacheInfo(cache);
  if (toolButton >= 0) {
    PaintSectionBackground(toolButton, ci, state, face, TPoint{br.Left + offX, br.Top + offY}, bmp.get(), sd, -1, -1,
                           0xFF00FF);
    const int mask = sd->GetMaskIndex(toolButton, L"BORDERSMASK");
    if (MaskValid(sd, mask)) PaintMaskNineSlice(bmp.get(), face, ci, sd->ma[static_cast<std::size_t>(mask)], state, true);
  }
  // Content width.
  const int dropWidth = Button->Style == tbsDropDown ? GetSystemMetrics(SM_CXVSCROLL) - 2 : 0;
  const int c = Button->Width() - dropWidth;
  // Caption.
  const std::wstring caption = Button->Caption();
  if (Sender->ShowCaptions && !caption.empty()) {
    TCanvas& canvas = bmp->Canvas();
    TRect tr;
    const bool hasImage = Sender->Images && Button->ImageIndex >= 0;
    if (Sender->List) {
      const int left = hasImage ? Sender->Images->Width() + 6 : 1;
      tr = TRect{left, 2, c - 2, Button->Height() - 2};
    } else {
      const int tw = canvas.TextWidth(caption), th = canvas.TextHeight(L"A");
      const int dx = (c - tw) / 2;
      int b = 0, t = 0;
      if (Sender->Images) {
        b = (Button->Height() - Sender->Images->Height() - th - 3) / 2;
        t = b + Sender->Images->Height() + 3;
      } else {
        b = t = (Button->Height() - th) / 2;
      }
      tr = TRect{dx - 1, t, c - dx + 2, Button->Height() - b};
    }
    if (state == 2 && ContentShiftsOnClick(toolButton, sd)) {
      tr.Left += 1, tr.Right += 1, tr.Top += 1, tr.Bottom += 1;
    }
    const int section = VisibleSkinIndexOfControl(Button, toolButton, manager, state);
    WriteSkinText(&canvas, caption.c_str(), true, tr, DT_SINGLELINE | DT_VCENTER | DT_CENTER, section,
                  state > 0 ? 1 : 0, manager);
  }
  // Glyph.
  if (Sender->Images && Button->ImageIndex >= 0 && Button->ImageIndex < ImageListCount(Sender->Images))
    DrawToolButtonGlyph(Sender, Button, State, bmp.get(), Flags, Stage);
  // Drop-down part.
  const int glyph = sd ? sd->ScrollBtns[asBottom].GlyphIndex : -1;
  if (Button->Style == tbsDropDown && glyph >= 0) {
    int dropState = 0;
    if ((Button == DroppedButton && Button->DropdownMenu) || Button->Down)
      dropState = 2;
    else if (State & cdsHot)
      dropState = 1;
    const TRect part{c, 0, Button->Width(), Button->Height()};
    const int btnMask = sd->ScrollBtns[asBottom].MaskIndex;
    if (MaskValid(sd, btnMask) && part.Width() > 0)
      PaintMaskNineSlice(bmp.get(), part, ci, sd->ma[static_cast<std::size_t>(btnMask)], dropState, true);
    const int d = dropWidth;
    if (glyph < static_cast<int>(sd->ma.size()) - 1) {
      const TsMaskData& mask = sd->ma[static_cast<std::size_t>(glyph)];
      DrawMaskStateImage(bmp.get(), TPoint{c + 2 + (d - mask.Width - 3) / 2, (Sender->ButtonHeight - mask.Height) / 2},
                         dropState, 1, mask, ci);
    } else {
      // A glyph at or past the highest mask: a small solid triangle in the section's font
      // colour, where the glyph would stand when the skin has it, else centred in the part.
      const int ppi = SkinData->EffectivePPI();
      TRect tri = part;
      if (MaskValid(sd, glyph)) {
        const TsMaskData& mask = sd->ma[static_cast<std::size_t>(glyph)];
        const int gx = c + 2 + (d - mask.Width - 3) / 2, gy = (Sender->ButtonHeight - mask.Height) / 2;
        tri = TRect{gx, gy, gx + mask.Width, gy + mask.Height};
      }
      const int fontState = std::min(state != 0 ? 1 : 0, 2);
      TColor colour = clBlack;
      if (SectionValid(sd, SkinData->SkinIndex))
        colour = sd->gd[static_cast<std::size_t>(SkinData->SkinIndex)].StateProps(fontState).FontColor.Color;
      DrawArrowTriangle(bmp.get(), colour, tri, 3, ppi);
    }
  }
  // Disabled look.
  if (!Button->Enabled() || Button->Indeterminate) {
    TCacheInfo parent;
    SkinData->ParentBackgroundInfo(parent);
    const TRect cr = DisplayRect();
    ApplyDisabledLook(bmp.get(), 1, Sender, parent, TPoint{cr.Left + br.Left, cr.Top + br.Top});
  }
  if (HDC dc = Sender->Canvas.Handle())
    BitBlt(dc, br.Left, br.Top, w, h, bmp->Canvas().Handle(), 0, 0, SRCCOPY);
}

void TacToolBarVCLWnd::RepaintButton(int Index) {
  if (!ToolBar || Index < 0) return;
  TToolButton* button = ToolBar->Buttons(Index);
  if (!button || !button->Visible() || !ToolBar->HandleAllocated()) return;
  HDC dc = GetWindowDC(CtrlHandle);
  if (!dc) return;
  const int saved = SaveDC(dc);
  const TRect cr = DisplayRect();
  SetWindowOrgEx(dc, -cr.Left, -cr.Top, nullptr);
  ToolBar->Canvas.SetHandle(dc);
  unsigned flags = tbNoEdges | tbNoEtchedEffect;
  bool defaultDraw = false;
  try {
    OurAdvancedCustomDrawButton(ToolBar, button, 0, cdPrePaint, flags, defaultDraw);
  } catch (...) {
    ToolBar->Canvas.SetHandle(nullptr);
    RestoreDC(dc, saved);
    ReleaseDC(CtrlHandle, dc);
    throw;
  }
  ToolBar->Canvas.SetHandle(nullptr);
  RestoreDC(dc, saved);
  ReleaseDC(CtrlHandle, dc);
}

void TacToolBarVCLWnd::WMNCPaint(HDC DC) {
  if (!SkinData || SkinData->IsUpdating()) return;
  const TRect cr = DisplayRect();
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  if (cr.Left <= 0 && cr.Top <= 0 && cr.Right >= WndSize.cx && cr.Bottom >= WndSize.cy) return;
  if (CacheOutdated()) PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  HDC dc = DC ? DC : GetWindowDC(CtrlHandle);
  if (!dc) return;
  const int saved = SaveDC(dc);
  ExcludeClipRect(dc, cr.Left, cr.Top, cr.Right, cr.Bottom);
  BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, cr.Left, cr.Top,
                   WndSize.cx - cr.Right, WndSize.cy - cr.Bottom);
  RestoreDC(dc, saved);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacToolBarVCLWnd::acWndProc(TMessage& Message) {
  const bool skinned = SkinData && SkinData->Skinned(true);
  if (Message.Msg == SM_SKINCOMMAND) {
    const bool ours = Message.LParam == reinterpret_cast<LPARAM>(SkinManager);
    switch (SkinCommandOf(Message.WParam)) {
      case SKCMD_NEW_SKIN:
        if (SkinData) SkinData->WriteCommonSkinData(nullptr);
        InstallEvents();
        break;
      case SKCMD_REMOVE_SKIN:
        if (ours) {
          RemoveEvents();
          DroppedButton = nullptr;
        }
        break;
      case SKCMD_REFRESH:
        if (ours) DroppedButton = nullptr;
        break;
      case SKCMD_PREPARE_CACHE:
        Message.Result = 0;
        return;
      case SKCMD_GET_BG_INFO: {
        if (!SkinData) break;
        ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
        if (SkinData->BGChanged) PrepareCache();
        auto* info = reinterpret_cast<TacBGInfo*>(Message.LParam);
        if (info) {
          SkinData->FillBackgroundInfo(*info, 0, CtrlHandle);
          const TRect cr = DisplayRect();
          info->Offset.X += cr.Left;
          info->Offset.Y += cr.Top;
        }
        Message.Result = 0;
        return;
      }
      default:
        break;
    }
    const WORD cmd = SkinCommandOf(Message.WParam);
    if (cmd != SKCMD_NEW_SKIN && cmd != SKCMD_REMOVE_SKIN && cmd != SKCMD_REFRESH && SkinData &&
        DispatchSkinCommand(Message, SkinData))
      return;
  } else if (skinned) {
    switch (Message.Msg) {
      case WM_PAINT:
        if (SkinData->IsUpdating()) {
          PAINTSTRUCT ps{};
          BeginPaint(CtrlHandle, &ps);
          EndPaint(CtrlHandle, &ps);
          Message.Result = 0;
          return;
        }
        break;
      case WM_ERASEBKGND:
        Message.Result = 1;
        return;
      case WM_NCPAINT:
        if (!SkinData->IsAnimating()) WMNCPaint(nullptr);
        Message.Result = 0;
        return;
      case WM_PRINT: {
        SkinData->FUpdating = false;
        if (CacheOutdated()) PrepareCache();
        auto dc = reinterpret_cast<HDC>(Message.WParam);
        TBitmap* cache = SkinData->FCacheBmp.get();
        const TRect cr = DisplayRect();
        if (dc && cache && !cache->Empty()) {
          BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, cr.Left, cr.Top,
                           WndSize.cx - cr.Right, WndSize.cy - cr.Bottom);
          const int saved = SaveDC(dc);
          POINT org{};
          GetViewportOrgEx(dc, &org);
          SetViewportOrgEx(dc, org.x + cr.Left, org.y + cr.Top, nullptr);
          IntersectClipRect(dc, 0, 0, cr.Width(), cr.Height());
          SendMessageW(CtrlHandle, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
          RestoreDC(dc, saved);
        }
        Message.Result = 0;
        return;
      }
      case CN_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(Message.LParam);
        if (header && header->code == TBN_DELETINGBUTTON) {
          if (ToolBar && HotButtonIndex >= ToolBar->Perform(TB_BUTTONCOUNT, 0, 0)) HotButtonIndex = -1;
        } else if (header && header->code == TBN_DROPDOWN && ToolBar) {
          const auto* nm = reinterpret_cast<const NMTOOLBARW*>(Message.LParam);
          TBBUTTON tb{};
          if (ToolBar->Perform(TB_GETBUTTON, static_cast<WPARAM>(nm->iItem), reinterpret_cast<LPARAM>(&tb))) {
            DroppedButton = reinterpret_cast<TToolButton*>(tb.dwData);
            if (DroppedButton) RepaintButton(DroppedButton->Index());
          }
        }
        break;
      }
    }
  }
  if (SkinData && Message.Msg != SM_SKINCOMMAND && HandleCommonWindowMessage(Message, SkinData)) return;
  TacMainWnd::acWndProc(Message);
  if (Destroyed || !SkinData || !SkinData->Skinned(true) || !ToolBar) return;
  switch (Message.Msg) {
    case WM_SIZE:
      if (!SkinData->IsUpdating()) RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE);
      break;
    case WM_MOUSEMOVE: {
      if (ToolBar->Flat || Designing(ToolBar)) break;
      const int index = IndexByMouse(TPoint{static_cast<short>(LOWORD(Message.LParam)),
                                            static_cast<short>(HIWORD(Message.LParam))});
      if (index == HotButtonIndex) break;
      TToolButton* target = index >= 0 ? ToolBar->Buttons(index) : nullptr;
      if (target && !target->Enabled()) break;
      const int previous = HotButtonIndex;
      HotButtonIndex = index;
      for (int i : {previous, index})
        if (TToolButton* b = i >= 0 ? ToolBar->Buttons(i) : nullptr; b && !b->Down) RepaintButton(i);
      break;
    }
    case CN_DROPDOWNCLOSED:
      if (DroppedButton) {
        TToolButton* b = DroppedButton;
        HotButtonIndex = -1;
        DroppedButton = nullptr;
        RepaintButton(b->Index());
      }
      break;
    case CM_MOUSELEAVE:
      if (ToolBar->Flat || Designing(ToolBar)) break;
      if (TToolButton* b = HotButtonIndex >= 0 ? ToolBar->Buttons(HotButtonIndex) : nullptr) {
        const int index = HotButtonIndex;
        HotButtonIndex = -1;
        if (!b->Down) RepaintButton(index);
      }
      HotButtonIndex = -1;
      break;
  }
}

// ---------------------------------------------------------------------------
// TacStatusBarWnd
// ---------------------------------------------------------------------------

void TacStatusBarWnd::AfterCreation() {
  if (SkinData && SkinData->SkinSection().empty()) SkinData->WriteSkinSection(L"STATUSBAR");
  StatusBar = SkinData ? dynamic_cast<TStatusBar*>(SkinData->FOwnerControl) : nullptr;
  TacMainWnd::AfterCreation();
}

int TacStatusBarWnd::PartsCount() { return static_cast<int>(SendMessageW(CtrlHandle, SB_GETPARTS, 0, 0)); }

TRect TacStatusBarWnd::PartRect(int Index) {
  RECT r{};
  SendMessageW(CtrlHandle, SB_GETRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
  return TRect{r.left, r.top, r.right, r.bottom};
}

bool TacStatusBarWnd::SimplePanel() { return SendMessageW(CtrlHandle, SB_ISSIMPLE, 0, 0) == 1; }

std::wstring TacStatusBarWnd::PartText(int Index) {
  if (PartsCount() <= 0) return {};
  if (SimplePanel()) {
    const LRESULT n = SendMessageW(CtrlHandle, WM_GETTEXTLENGTH, 0, 0);
    if (n <= 0) return {};
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    const LRESULT got = SendMessageW(CtrlHandle, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, n)));
    return text;
  }
  if (!StatusBar) return {};
  if (StatusBar->Panels.Count() == 0) return StatusBar->SimpleText();
  TStatusPanel* panel = StatusBar->Panels.Items(Index);
  return panel ? panel->Text() : std::wstring();
}

void TacStatusBarWnd::DoDrawText(const std::wstring& Text, TRect& R, unsigned Flags) {
  TCanvas& canvas = SkinData->FCacheBmp->Canvas();
  if (SkinData->FOwnerControl) canvas.Font.Assign(SkinData->FOwnerControl->Font);
  SelectObject(canvas.Handle(), canvas.Font.Handle());
  WriteControlText(&canvas, Text.c_str(), true, R, Flags | DT_SINGLELINE | DT_VCENTER, SkinData, 0, true);
}

void TacStatusBarWnd::InternalDrawPanel(int Index, const TRect& R) {
  TsSkinManager* manager = SkinData ? SkinData->ReadSkinManager() : nullptr;
  if (!manager || !SkinData->FCacheBmp) return;
  TBitmap* cache = SkinData->FCacheBmp.get();
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  const bool simple = SimplePanel();
  const int panelMask = SectionValid(sd, SkinData->SkinIndex) ? sd->GetMaskIndex(SkinData->SkinIndex, L"STATUSPANELMASK") : -1;
  const TCacheInfo ci = MakeCacheInfo(cache);
  if (MaskValid(sd, panelMask)) {
    const TRect r = simple ? TRect{0, 0, cache->Width(), cache->Height()} : R;
    PaintMaskNineSlice(cache, r, TCacheInfo{}, sd->ma[static_cast<std::size_t>(panelMask)], 0, false);
  } else if (!simple && Index < PartsCount() - 1) {
    const int divider = ConstSection(sd, L"DIVIDER");
    const int mask = divider >= 0 ? sd->GetMaskIndex(divider, L"BORDERSMASK") : -1;
    if (MaskValid(sd, mask)) {
      const TsMaskData& m = sd->ma[static_cast<std::size_t>(mask)];
      const int dw = std::max(2, m.WL + m.WR);
      const int dh = cache->Height() - 2;
      std::unique_ptr<TBitmap> piece = dh > 0 ? NewBitmap32(dw, dh) : nullptr;
      if (piece && !piece->Empty()) {
        BitBlt(piece->Canvas().Handle(), 0, 0, dw, dh, cache->Canvas().Handle(), R.Right - dw, R.Top, SRCCOPY);
        PaintSkinSection(divider, ci, 0, TRect{0, 0, dw, dh}, TPoint{R.Right - dw, R.Top}, piece.get(), sd);
        BitBlt(cache->Canvas().Handle(), R.Right - dw, 1, dw, dh, piece->Canvas().Handle(), 0, 0, SRCCOPY);
      }
    }
  }
  TStatusPanel* panel = StatusBar && !simple ? StatusBar->Panels.Items(Index) : nullptr;
  if (panel && panel->Style() == psOwnerDraw && StatusBar->OnDrawPanel) {
    HDC old = StatusBar->Canvas.CurrentHandleOrNull();
    StatusBar->Canvas.SetHandle(cache->Canvas().Handle());
    try {
      StatusBar->OnDrawPanel(StatusBar, panel, R);
    } catch (...) {
      StatusBar->Canvas.SetHandle(old);
      throw;
    }
    StatusBar->Canvas.SetHandle(old);
    return;
  }
  if (!StatusBar) return;
  TRect tr{R.Left + 1 + 2, R.Top + 1, R.Right - 1 - 4, R.Bottom - 1 - 1};
  std::wstring text;
  TCanvas& canvas = cache->Canvas();
  canvas.Font.Assign(StatusBar->Font);
  EllipsizeText(&canvas, PartText(Index), tr.Width(), text);
  const unsigned flags = panel ? TextFlagsOf(StatusBar, panel->Alignment()) : TextFlagsOf(StatusBar, taLeftJustify);
  if (!text.empty()) DoDrawText(text, tr, flags);
}

void TacStatusBarWnd::DrawPanel(int Index, TRect R) {
  R.Left += 1, R.Top += 1, R.Right -= 1, R.Bottom -= 1;
  InternalDrawPanel(Index, R);
}

void TacStatusBarWnd::PaintPanels() {
  if (SimplePanel()) {
    InternalDrawPanel(-1, TRect{0, 1, WndSize.cx - 1, WndSize.cy - 1});
    return;
  }
  const int count = PartsCount();
  for (int i = 0; i < count; ++i) DrawPanel(i, PartRect(i));
}

void TacStatusBarWnd::PaintGrip() {
  if (!StatusBar || !StatusBar->SizeGrip()) return;
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  if (!sd || !MaskValid(sd, sd->GripRightBottom)) return;
  TBitmap* cache = SkinData->FCacheBmp.get();
  const TsMaskData& grip = sd->ma[static_cast<std::size_t>(sd->GripRightBottom)];
  DrawMaskStateImage(cache,
                     TPoint{cache->Width() - grip.Width - StatusBar->BorderWidth,
                            cache->Height() - grip.Height - StatusBar->BorderWidth},
                     0, 1, grip, MakeCacheInfo(cache));
}

void TacStatusBarWnd::PrepareCache() {
  SkinData->InitCacheBitmap();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache) return;
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(WndSize.cx, WndSize.cy);
  TCacheInfo ci;
  SkinData->ParentBackgroundInfo(ci);
  PaintControlSkin(SkinData, ci, 0, TRect{0, 0, WndSize.cx, WndSize.cy}, WndPos, cache, false);
  PaintPanels();
  PaintGrip();
  SkinData->BGChanged = false;
}

void TacStatusBarWnd::WMPaint(HDC DC) {
  if (!SkinData) return;
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  if (WndSize.cx <= 0 || WndSize.cy <= 0) return;
  PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  HDC dc = DC ? DC : GetDC(CtrlHandle);
  if (!dc) return;
  BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacStatusBarWnd::WMNCPaint(HDC DC) {
  if (!StatusBar || !SkinData) return;
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  if (SkinData->BGChanged || !SkinData->FCacheBmp) PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty() || StatusBar->BorderWidth <= 0) return;
  HDC dc = DC ? DC : GetWindowDC(CtrlHandle);
  if (!dc) return;
  BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, StatusBar->BorderWidth);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacStatusBarWnd::acWndProc(TMessage& Message) {
  if (SkinData && SkinData->Skinned(true)) {
    switch (Message.Msg) {
      case WM_PAINT:
        PaintThroughErase(CtrlHandle);
        Message.Result = 0;
        return;
      case WM_ERASEBKGND:
        WMPaint(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
      case WM_NCPAINT:
        if (!SkinData->IsAnimating()) WMNCPaint(nullptr);
        Message.Result = 0;
        return;
      case WM_PRINT:
        WMPaint(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 0;
        return;
    }
  }
  TacMainWnd::acWndProc(Message);
  if (Message.Msg == WM_SIZE && !Destroyed && SkinData && SkinData->Skinned(true))
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE);
}

// ---------------------------------------------------------------------------
// Registration
// ---------------------------------------------------------------------------

void RegisterToolBarHandlerKinds() {
  RegisterHandlerKind(L"TacToolBarWnd", HandlerMakerOf<TacToolBarWnd>());
  RegisterHandlerKind(L"TacToolBarVCLWnd", HandlerMakerOf<TacToolBarVCLWnd>());
  RegisterHandlerKind(L"TacStatusBarWnd", HandlerMakerOf<TacStatusBarWnd>());
}
