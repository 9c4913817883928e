#include "skin/handlers/acSBUtils.Scroll.h"

#include <algorithm>
#include <memory>

#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/controls/sLabel.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

TacScrollTracking acScrollTrack;

namespace {

int XOfLParam(LPARAM L) { return static_cast<int>(static_cast<short>(LOWORD(L))); }
int YOfLParam(LPARAM L) { return static_cast<int>(static_cast<short>(HIWORD(L))); }

// The window's previous procedure answers Message.
void PreviousProc(TacMainWnd* Handler, TMessage& Message) {
  Message.Result = Handler->CallPrevWndProc(Handler->CtrlHandle, Message.Msg, Message.LParam, Message.WParam);
}

// Re-entry guard of the non-client hit-test (the hot-control switch may ask again).
bool gInScrollHitTest = false;

// SetWindowPos flags that recalculate the frame only.
constexpr UINT FrameChangedFlags = 0x737;

bool IsWin10OrLater() {
  using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  static const bool result = [] {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
      if (auto get = reinterpret_cast<TRtlGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))))
        if (get(&info) == 0) return info.dwMajorVersion >= 10;
    return false;
  }();
  return result;
}

TsSkinManager* ManagerOf(TacScrollWnd* Handler) {
  if (!Handler) return nullptr;
  if (Handler->SkinManager) return Handler->SkinManager;
  return Handler->SkinData ? Handler->SkinData->ReadSkinManager() : DefaultManager();
}

TacSkinData* SkinDataOf(TacScrollWnd* Handler) {
  if (Handler && Handler->SkinData) return Handler->SkinData->ReadCommonSkinData();
  TsSkinManager* m = ManagerOf(Handler);
  return m ? m->CommonSkinData() : nullptr;
}

bool ValidSectionIndex(TacSkinData* Sd, int Index) {
  return Sd && Index >= 0 && Index < static_cast<int>(Sd->gd.size());
}
bool ValidMaskIndex(TacSkinData* Sd, int Index) {
  return Sd && Index >= 0 && Index < static_cast<int>(Sd->ma.size());
}

// Difference of two 32-bit values as the 32-bit arithmetic of the scroll information has it.
int Wrap32(long long V) { return static_cast<int>(static_cast<std::uint32_t>(V)); }

bool ShiftHeld() { return GetAsyncKeyState(VK_SHIFT) < 0; }

bool LeftButtonDown() {
  const int key = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
  return GetAsyncKeyState(key) < 0;
}

TRect WindowRectOf(HWND Wnd) {
  RECT r{};
  GetWindowRect(Wnd, &r);
  return TRect{r.left, r.top, r.right, r.bottom};
}

TacScrollBar* BarOfKind(TacScrollWnd* Handler, int Kind) {
  if (!Handler) return nullptr;
  return Kind == 0 ? Handler->sBarHorz : Kind == 1 ? Handler->sBarVert : nullptr;
}

TRect BarRect(TacScrollWnd* Handler, HWND Wnd, int Kind) {
  return Kind == 0 ? HorzScrollBarRect(Handler, Wnd) : VertScrollBarRect(Handler, Wnd);
}

// The bar's extent along its axis, shortened by extra buttons beside the arrows.
void BarSpan(TacScrollBar* Bar, const TRect& Rect, int& Start, int& Length) {
  const bool h = Bar->Horizontal();
  Start = h ? Rect.Left : Rect.Top;
  Length = h ? Rect.Width() : Rect.Height();
  if (Bar->fButVisibleBefore) {
    Start += Bar->nButSizeBefore;
    Length -= Bar->nButSizeBefore;
  }
  if (Bar->fButVisibleAfter) Length -= Bar->nButSizeAfter;
}

}  // namespace

int BarOfHitCode(LRESULT HitCode) { return HitCode == HTHSCROLL ? 0 : HitCode == HTVSCROLL ? 1 : -1; }

TacScrollBar::TacScrollBar(TacScrollWnd* Owner, int BarType) : nBarType(static_cast<std::uint16_t>(BarType)), sw(Owner) {
  ScrollInfo.cbSize = sizeof(SCROLLINFO);
  ScrollInfo.fMask = SIF_ALL;
}

bool TacScrollBar::ReadInfo(HWND Wnd) {
  ScrollInfo.cbSize = sizeof(SCROLLINFO);
  ScrollInfo.fMask = SIF_ALL;
  return Wnd && GetScrollInfo(Wnd, Horizontal() ? SB_HORZ : SB_VERT, &ScrollInfo);
}

// ---------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------

TacThumb ThumbGeometry(const SCROLLINFO& Info, int BarStart, int BarLength, int ButtonLength, int MinThumbSize) {
  const int b = ButtonLength;
  const int L = BarLength - 2 * b;
  const int range1 = Wrap32(static_cast<long long>(Info.nMax) - Info.nMin + 1);
  int length;
  if (Info.nPage == 0)
    length = std::max(b, MinThumbSize);
  else if (range1 <= 0)
    length = 0;
  else
    length = MulDiv(static_cast<int>(Info.nPage), L, range1);
  if (b == 0 && length <= 18)
    length = 19;
  else if (length < MinThumbSize)
    length = MinThumbSize;
  int offset = 0;
  if (range1 > 0) {
    const int divisor = Wrap32(static_cast<long long>(range1) - 1 - std::max<long long>(1, Info.nPage) + 1);
    offset = MulDiv(Wrap32(static_cast<long long>(Info.nPos) - Info.nMin), L - length, divisor);
    offset = std::max(0, std::min(offset, L - length));
  }
  return TacThumb{BarStart + b + offset, length};
}

int HitTestBarAlong(const SCROLLINFO& Info, int BarStart, int BarLength, int ButtonLength, int MinThumbSize, int Pos,
                    bool Shift) {
  const int b = ButtonLength;
  const int e = 2 * b < BarLength ? b : BarLength / 2;
  const int p = Pos - BarStart;
  if (p < 0 || p >= BarLength) return sbpNone;
  if (p < e) return sbpLineBefore;
  if (p >= BarLength - e) return sbpLineAfter;
  const TacThumb thumb = ThumbGeometry(Info, BarStart, BarLength, b, MinThumbSize);
  if (thumb.Length >= BarLength - 2 * b) return sbpNone;
  if (Pos >= thumb.Start && Pos < thumb.Start + thumb.Length) return sbpThumb;
  if (Shift) return sbpJump;
  return Pos < thumb.Start ? sbpPageBefore : sbpPageAfter;
}

int ThumbDragValue(const SCROLLINFO& Info, bool Vertical, int Offset, int TrackLength, int ThumbLength) {
  const int range = Wrap32(static_cast<long long>(Info.nMax) - Info.nMin);
  if (range < 1) return Offset;
  const int page = static_cast<int>(Info.nPage);
  if (!Vertical) return MulDiv(Offset, range - page + 1, TrackLength - ThumbLength);
  if (Offset >= TrackLength - ThumbLength) return range - page + 2;
  return MulDiv(Offset, range - page + 2, TrackLength - ThumbLength);
}

int CoarseReleaseValue(int Y, int C, int T, int H) {
  if (Y <= C) return 0;
  if (Y + T >= H - C) return 4;
  if (Y + T / 2 < H / 2) return 1;
  return 3;
}

int ThumbTestLength(const SCROLLINFO& Info, int L, int MinThumbSize) {
  const int c = MulDiv(static_cast<int>(Info.nPage), L, Wrap32(static_cast<long long>(Info.nMax) - Info.nMin));
  if (c < MinThumbSize || c < L - 1) return std::min(MinThumbSize, L - 1);
  return c;
}

int ScrollBarSize(TacScrollWnd* Handler, int Bar, bool Thickness) {
  TacScrollBar* bar = BarOfKind(Handler, Bar == SB_HORZ ? 0 : Bar == SB_VERT ? 1 : -1);
  if (!bar) return 0;
  const bool horz = bar->Horizontal();
  TsCommonData* data = Handler->SkinData;
  TacScrollData* own = nullptr;
  if (auto* sd = dynamic_cast<TsScrollWndData*>(data)) own = horz ? sd->HorzScrollData() : sd->VertScrollData();
  TsSkinManager* m = ManagerOf(Handler);
  const bool scaleVcl = m && IsWin10OrLater() && m->Options.ScaleMode == smVCL;
  const int system = GetSystemMetrics(horz ? SM_CYHSCROLL : SM_CXVSCROLL);
  if (Thickness) {
    if (own && own->ScrollWidth() >= 0) return ScaleForControl(own->ScrollWidth(), data);
    const int width = m ? m->ScrollWidth(96) : system;
    if (width < 0) return bar->nArrowWidth >= 0 ? bar->nArrowWidth : -bar->nArrowWidth * system;
    return scaleVcl ? ScaleForControl(width, data) : width;
  }
  if (own && own->ButtonsSize() >= 0) return ScaleForControl(own->ButtonsSize(), data);
  if (m && m->ScrollsOptions.ButtonsSize() >= 0) return m->ScrollsOptions.ButtonsSize();
  if (bar->nArrowLength >= 0) return bar->nArrowLength;
  const int width = m ? m->ScrollWidth(96) : system;
  if (width < 0) {
    TacSkinData* sd = SkinDataOf(Handler);
    return (sd ? sd->ScrollBtnLength : acScrollBtnLength) * -bar->nArrowLength;
  }
  return scaleVcl ? ScaleForControl(width, data) : width;
}

int ScrollButtonLength(TacScrollBar* Bar) {
  return Bar ? ScrollBarSize(Bar->sw, Bar->Horizontal() ? SB_HORZ : SB_VERT, false) : 0;
}

TRect HorzScrollBarRect(TacScrollWnd* Handler, HWND Wnd) {
  if (!Handler || !Handler->sBarHorz || !Handler->sBarHorz->fScrollVisible) return TRect{};
  TRect r = WindowRectOf(Wnd);
  r.Left += std::max(0, Handler->cxLeftEdge);
  r.Right -= Handler->cxRightEdge;
  if (Handler->sBarVert && Handler->sBarVert->fScrollVisible) {
    const int v = ScrollBarSize(Handler, SB_VERT, true);
    if (Handler->fLeftScrollbar)
      r.Left += v;
    else
      r.Right -= v;
  }
  r.Bottom -= Handler->cyBottomEdge;
  r.Top = r.Bottom - ScrollBarSize(Handler, SB_HORZ, true);
  return r;
}

TRect VertScrollBarRect(TacScrollWnd* Handler, HWND Wnd) {
  if (!Handler || !Handler->sBarVert || !Handler->sBarVert->fScrollVisible) return TRect{};
  TRect r = WindowRectOf(Wnd);
  r.Top += Handler->cyTopEdge;
  r.Bottom -= Handler->cyBottomEdge;
  if (Handler->sBarHorz && Handler->sBarHorz->fScrollVisible) r.Bottom -= ScrollBarSize(Handler, SB_HORZ, true);
  const int v = ScrollBarSize(Handler, SB_VERT, true);
  if (Handler->fLeftScrollbar) {
    r.Left += std::max(0, Handler->cxLeftEdge);
    r.Right = r.Left + v;
  } else {
    r.Right -= Handler->cxRightEdge;
    r.Left = r.Right - v;
  }
  return r;
}

TacThumb GetThumbPos(TacScrollBar* Bar, const TRect& Rect) {
  if (!Bar) return TacThumb{};
  int start = 0, length = 0;
  BarSpan(Bar, Rect, start, length);
  return ThumbGeometry(Bar->ScrollInfo, start, length, ScrollButtonLength(Bar), Bar->nMinThumbSize);
}

bool IsScrollBarEnabled(TacScrollBar* Bar) {
  if (!Bar || !Bar->sw) return false;
  HWND wnd = Bar->sw->CtrlHandle;
  bool enabled;
  if (TGetScrollBarInfo get = acGetScrollBarInfo) {
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    // Both arrows unavailable is a disabled bar too (Wine marks only the arrows).
    enabled = get(wnd, Bar->Horizontal() ? OBJID_HSCROLL : OBJID_VSCROLL, &info) &&
              !(info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) &&
              !((info.rgstate[1] & STATE_SYSTEM_UNAVAILABLE) && (info.rgstate[5] & STATE_SYSTEM_UNAVAILABLE));
  } else {
    enabled = (GetWindowLongW(wnd, GWL_STYLE) & (Bar->Horizontal() ? WS_HSCROLL : WS_VSCROLL)) != 0;
  }
  if (enabled && Bar->sw->SkinData && Bar->sw->SkinData->FOwnerControl)
    enabled = Bar->sw->SkinData->FOwnerControl->Enabled();
  return enabled;
}

int HitTestScrollBar(TacScrollBar* Bar, HWND Wnd, const TRect& Rect, TPoint P) {
  (void)Wnd;
  if (!Bar) return sbpNone;
  const bool h = Bar->Horizontal();
  const int cross = h ? P.Y : P.X;
  if (h ? (cross < Rect.Top || cross >= Rect.Bottom) : (cross < Rect.Left || cross >= Rect.Right)) return sbpNone;
  int start = 0, length = 0;
  BarSpan(Bar, Rect, start, length);
  return HitTestBarAlong(Bar->ScrollInfo, start, length, ScrollButtonLength(Bar), Bar->nMinThumbSize, h ? P.X : P.Y,
                         ShiftHeld());
}

void DoScrollCode(HWND Wnd, UINT ScrollMsg, int Code, int Pos) {
  const LPARAM info = MAKELONG(Code, ScrollMsg);
  LPARAM lParam = 0;
  if (SendSkinCommand(Wnd, SKCMD_SCROLL_BEGIN, info) == 1) {
    lParam = Pos;
  } else if (Code == SB_THUMBTRACK) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    const int bar = ScrollMsg == WM_HSCROLL ? SB_HORZ : SB_VERT;
    if (GetScrollInfo(Wnd, bar, &si)) {
      si.fMask = SIF_POS;
      si.nPos = Pos;
      SetScrollInfo(Wnd, bar, &si, FALSE);
    }
  }
  SendSkinMessage(Wnd, ScrollMsg, MAKEWPARAM(Code, std::min(Pos, 0xFFFF)), lParam);
  SendSkinCommand(Wnd, SKCMD_SCROLL_END, info);
}

// ---------------------------------------------------------------------------
// Painters
// ---------------------------------------------------------------------------

void FitScrollButtonRect(const TRect& Rect, TacSkinData* SkinData, int Side, TRect& Out) {
  Out = Rect;
  if (!SkinData || Side < asLeft || Side > asBottom) return;
  const TacConstElementData& el = SkinData->ScrollBtns[static_cast<std::size_t>(Side)];
  if (!ValidSectionIndex(SkinData, el.SkinIndex) || !SkinData->gd[el.SkinIndex].ReservedBoolean ||
      !ValidMaskIndex(SkinData, el.MaskIndex))
    return;
  const TsMaskData& mask = SkinData->ma[el.MaskIndex];
  switch (Side) {
    case asLeft: Out.Right += mask.Width - 17; break;
    case asTop: Out.Bottom += mask.Height - 17; break;
    case asRight: Out.Left += 17 - mask.Width; break;
    default: Out.Top += 17 - mask.Height; break;
  }
}

namespace {
void DrawCentredGlyph(TBitmap* Bitmap, const TRect& R, int State, TacSkinData* Sd, int GlyphIndex) {
  if (!ValidMaskIndex(Sd, GlyphIndex)) return;
  const TsMaskData& glyph = Sd->ma[GlyphIndex];
  const TPoint size = Sd->MaskImageSize(glyph);
  const TPoint at{R.Left + (R.Width() - size.X) / 2, R.Top + (R.Height() - size.Y) / 2};
  DrawMaskStateImage(Bitmap, at, State, 1, glyph, MakeCacheInfo(Bitmap));
}

int ScalePercentOf(TacSkinData* Sd) {
  static constexpr int percents[] = {100, 125, 150, 200};
  const int step = Sd ? std::clamp(Sd->ScaleValue, 0, 3) : 0;
  return percents[step];
}
}  // namespace

void PaintScrollButton(const TRect& Rect, int State, TBitmap* Bitmap, int Side, TacSkinData* SkinData) {
  if (Rect.IsEmpty() || !Bitmap || !SkinData || Side < asLeft || Side > asBottom) return;
  TRect r;
  FitScrollButtonRect(Rect, SkinData, Side, r);
  const TacConstElementData& el = SkinData->ScrollBtns[static_cast<std::size_t>(Side)];
  const int mask = ValidMaskIndex(SkinData, el.MaskIndex) ? el.MaskIndex : -1;
  if (ValidSectionIndex(SkinData, el.SkinIndex))
    PaintSkinSectionPart(el.SkinIndex, mask, el.BGIndex[0], MakeCacheInfo(Bitmap), State, r, TPoint{r.Left, r.Top},
                         Bitmap, SkinData);
  if (el.GlyphIndex < 0) {
    TColor color = clBlack;
    if (ValidSectionIndex(SkinData, el.SkinIndex))
      color = SkinData->gd[el.SkinIndex].StateProps(std::min(State, 2)).FontColor.Color;
    TRect ar = r;
    if (State == 2 && ContentShiftsOnClick(el.SkinIndex, SkinData)) ar = TRect{ar.Left + 1, ar.Top + 1, ar.Right + 1, ar.Bottom + 1};
    TsSkinManager* m = SkinData->FOwner ? SkinData->FOwner : DefaultManager();
    const int style = m ? static_cast<int>(m->Options.ActualArrowStyle()) : 0;
    DrawScaledArrow(Bitmap, color, clNone, ar, Side, 0, 0, 0, style, 96 * ScalePercentOf(SkinData) / 100);
  } else {
    DrawCentredGlyph(Bitmap, r, State, SkinData, el.GlyphIndex);
  }
}

void PaintScrollThumb(const TRect& Rect, int State, TBitmap* Bitmap, bool Vertical, TacSkinData* SkinData) {
  if (Rect.IsEmpty() || !Bitmap || !SkinData) return;
  const TacConstElementData& el = SkinData->Sliders[Vertical ? 1 : 0];
  if (!ValidSectionIndex(SkinData, el.SkinIndex)) return;
  const int mask = ValidMaskIndex(SkinData, el.MaskIndex) ? el.MaskIndex : -1;
  PaintSkinSectionPart(el.SkinIndex, mask, el.BGIndex[0], MakeCacheInfo(Bitmap), State, Rect,
                       TPoint{Rect.Left, Rect.Top}, Bitmap, SkinData);
  DrawCentredGlyph(Bitmap, Rect, State, SkinData, el.GlyphIndex);
}

namespace {

// The background behind the handled window's bars, as the window itself answers it.
void BarBackground(TacScrollWnd* Handler, HWND Wnd, TacBGInfo& Info, TCacheInfo& Ci) {
  Info = TacBGInfo{};
  RequestBackgroundFromWindow(Info, Wnd, false);
  Ci = TCacheInfo{};
  CacheInfoFromBackgroundInfo(Info, Ci);
  const TPoint mdi = Handler->MDIClientOffset();
  if (Ci.Ready && Ci.Bmp) {
    Ci.X += mdi.X;
    Ci.Y += mdi.Y;
  }
}

// The disabled look: the bar mixed with what lies behind it.
void MixDisabled(TBitmap* Bmp, const TacBGInfo& Info, const TCacheInfo& Ci, TPoint Offset) {
  const TRect all{0, 0, Bmp->Width(), Bmp->Height()};
  if (Ci.Ready && Ci.Bmp) {
    auto back = NewBitmap32(Bmp->Width(), Bmp->Height());
    BitBlt(back->Canvas().Handle(), 0, 0, Bmp->Width(), Bmp->Height(), Ci.Bmp->Canvas().Handle(), Ci.X + Offset.X,
           Ci.Y + Offset.Y, SRCCOPY);
    auto bar = NewBitmap32(Bmp->Width(), Bmp->Height());
    BitBlt(bar->Canvas().Handle(), 0, 0, Bmp->Width(), Bmp->Height(), Bmp->Canvas().Handle(), 0, 0, SRCCOPY);
    // The bar over the background at the disabled weight.
    CopyExceptKey(back.get(), 0, 0, bar.get(), TRect{0, 0, Bmp->Width() - 1, Bmp->Height() - 1},
                  static_cast<std::uint8_t>(255 - DisabledBlendWeight), 0x00FF00FF);
    BitBlt(Bmp->Canvas().Handle(), 0, 0, Bmp->Width(), Bmp->Height(), back->Canvas().Handle(), 0, 0, SRCCOPY);
  } else {
    const TColor color = Info.Color != 0xFF00FF ? Info.Color : Ci.FillColor;
    if (color != 0xFF00FF) PaintSoftRoundFrame(Bmp, all, 60, color, 0, 0);
  }
}

// Paints one bar into the window DC (window coordinates). ThumbPos -1: where the scroll
// information puts the thumb; else the thumb's start along the bar (screen coordinates).
void PaintBar(TacScrollWnd* Handler, TacScrollBar* Bar, HWND Wnd, HDC DC, int ThumbPos, bool Pressable) {
  const bool vert = !Bar->Horizontal();
  if (Handler->fThumbTracking && ThumbPos == -1) return;
  if (!Bar->fScrollVisible || (vert && Handler->DontRepaint)) return;
  TsSkinManager* m = ManagerOf(Handler);
  TacSkinData* sd = SkinDataOf(Handler);
  if (!m || !sd) return;
  const TacConstElementData& before = sd->Scrolls[vert ? asTop : asLeft];
  const TacConstElementData& after = sd->Scrolls[vert ? asBottom : asRight];
  if (!ValidSectionIndex(sd, before.SkinIndex)) return;
  const TRect screen = vert ? VertScrollBarRect(Handler, Wnd) : HorzScrollBarRect(Handler, Wnd);
  if ((vert ? screen.Height() : screen.Width()) <= 1 || screen.IsEmpty()) return;
  Bar->ReadInfo(Wnd);
  const TRect wr = WindowRectOf(Wnd);
  const int w = screen.Width(), h = screen.Height();
  const int len = vert ? h : w;
  const int b = ScrollButtonLength(Bar);
  TacThumb thumb = GetThumbPos(Bar, screen);
  if (ThumbPos != -1) thumb.Start = ThumbPos;
  const bool enabled = IsScrollBarEnabled(Bar);
  const int kind = vert ? 1 : 0;
  int stBefore = 0, stAfter = 0, stThumb = 0;
  if (acScrollTrack.TrackWnd == Wnd && acScrollTrack.HoverBar == kind) {
    if (acScrollTrack.HoverPart == sbpLineBefore) stBefore = 1;
    if (acScrollTrack.HoverPart == sbpLineAfter) stAfter = 1;
    if (acScrollTrack.HoverPart == sbpThumb) stThumb = 1;
  }
  int pressed = sbpNone;
  if (Pressable && acScrollTrack.TrackWnd == Wnd && acScrollTrack.TrackBar == kind) {
    pressed = acScrollTrack.PartUnderCursor;
    if (pressed == sbpLineBefore) stBefore = 2;
    if (pressed == sbpLineAfter) stAfter = 2;
  }
  auto bmp = NewBitmap32(w, h);
  if (bmp->Empty()) return;
  TacBGInfo info;
  TCacheInfo ci;
  BarBackground(Handler, Wnd, info, ci);
  const TPoint offset{screen.Left - wr.Left - std::max(0, Handler->cxLeftEdge), screen.Top - wr.Top - Handler->cyTopEdge};
  const int afterIndex = ValidSectionIndex(sd, after.SkinIndex) ? after.SkinIndex : before.SkinIndex;
  const int beforeMask = ValidMaskIndex(sd, before.MaskIndex) ? before.MaskIndex : -1;
  const int afterMask = ValidMaskIndex(sd, after.MaskIndex) ? after.MaskIndex : -1;
  auto along = [&](int a, int z) { return vert ? TRect{0, a, w, z} : TRect{a, 0, z, h}; };
  const int start = vert ? screen.Top : screen.Left;
  if (2 * b < len) {
    const int centre = std::clamp(thumb.Start - start + thumb.Length / 2, 0, len);
    if (centre > 0)
      PaintSkinSectionPart(before.SkinIndex, beforeMask, before.BGIndex[0], ci, pressed == sbpPageBefore ? 2 : 0,
                           along(0, centre), offset, bmp.get(), sd);
    if (centre < len)
      PaintSkinSectionPart(afterIndex, afterMask, after.BGIndex[0], ci, pressed == sbpPageAfter ? 2 : 0,
                           along(centre, len), TPoint{offset.X + (vert ? 0 : centre), offset.Y + (vert ? centre : 0)},
                           bmp.get(), sd);
    PaintScrollButton(along(0, b), stBefore, bmp.get(), vert ? asTop : asLeft, sd);
    PaintScrollButton(along(len - b, len), stAfter, bmp.get(), vert ? asBottom : asRight, sd);
    const int L = len - 2 * b;
    const int T = ThumbTestLength(Bar->ScrollInfo, L, Bar->nMinThumbSize);
    const bool show = enabled && T <= L && (vert ? thumb.Length > 0 : T > 0);
    if (show) {
      const int ts = thumb.Start - start;
      PaintScrollThumb(along(ts, ts + thumb.Length), ThumbPos != -1 ? 2 : stThumb, bmp.get(), vert, sd);
    }
  } else {
    const int half = len / 2;
    PaintSkinSectionPart(before.SkinIndex, beforeMask, before.BGIndex[0], ci, 0, along(0, half), offset, bmp.get(),
                         sd);
    PaintSkinSectionPart(afterIndex, afterMask, after.BGIndex[0], ci, 0, along(half, len),
                         TPoint{offset.X + (vert ? 0 : half), offset.Y + (vert ? half : 0)}, bmp.get(), sd);
    PaintScrollButton(along(0, half), stBefore, bmp.get(), vert ? asTop : asLeft, sd);
    PaintScrollButton(along(len - half, len), stAfter, bmp.get(), vert ? asBottom : asRight, sd);
  }
  if (!enabled) MixDisabled(bmp.get(), info, ci, offset);
  BitBlt(DC, screen.Left - wr.Left, screen.Top - wr.Top, w, h, bmp->Canvas().Handle(), 0, 0, SRCCOPY);
}

// The square between two visible bars; empty otherwise (screen coordinates).
TRect SizeBoxRect(TacScrollWnd* Handler, HWND Wnd) {
  if (!Handler->sBarHorz || !Handler->sBarVert || !Handler->sBarHorz->fScrollVisible ||
      !Handler->sBarVert->fScrollVisible)
    return TRect{};
  const TRect hr = HorzScrollBarRect(Handler, Wnd), vr = VertScrollBarRect(Handler, Wnd);
  return TRect{vr.Left, hr.Top, vr.Right, hr.Bottom};
}

// The size box lies at the bottom-right (bottom-left for a left bar) corner of the client area
// of a top-level parent.
bool SizeBoxAtParentCorner(TacScrollWnd* Handler, HWND Wnd, const TRect& Box) {
  HWND parent = GetParent(Wnd);
  if (!parent || (GetWindowLongW(parent, GWL_STYLE) & WS_CHILD)) return false;
  RECT cr{};
  GetClientRect(parent, &cr);
  POINT corner{Handler->fLeftScrollbar ? cr.left : cr.right, cr.bottom};
  ClientToScreen(parent, &corner);
  return corner.y == Box.Bottom && corner.x == (Handler->fLeftScrollbar ? Box.Left : Box.Right);
}

void PaintSizeBox(TacScrollWnd* Handler, HWND Wnd, HDC DC) {
  const TRect box = SizeBoxRect(Handler, Wnd);
  if (box.IsEmpty()) return;
  TsSkinManager* m = ManagerOf(Handler);
  TacSkinData* sd = SkinDataOf(Handler);
  if (!m || !sd) return;
  auto bmp = NewBitmap32(box.Width(), box.Height());
  if (bmp->Empty()) return;
  const TRect wr = WindowRectOf(Wnd);
  const TacConstElementData& track = sd->Scrolls[asLeft];
  const bool noSection = !ValidSectionIndex(sd, track.SkinIndex) || sd->gd[track.SkinIndex].StateProps(0).Transparency == 100;
  bool filled = false;
  if (noSection) {
    TacBGInfo info;
    TCacheInfo ci;
    BarBackground(Handler, Wnd, info, ci);
    if (ci.Ready && ci.Bmp) {
      BitBlt(bmp->Canvas().Handle(), 0, 0, box.Width(), box.Height(), ci.Bmp->Canvas().Handle(),
             ci.X + box.Left - wr.Left - std::max(0, Handler->cxLeftEdge), ci.Y + box.Top - wr.Top - Handler->cyTopEdge,
             SRCCOPY);
      filled = true;
    } else {
      FillRectOnDC(bmp->Canvas().Handle(), TRect{0, 0, box.Width(), box.Height()}, m->GetGlobalColor());
      filled = true;
    }
  }
  if (!filled) {
    TColor color = sd->gd[track.SkinIndex].StateProps(0).Color;
    if (color == 0xFF00FF) color = m->GetGlobalColor();
    if ((!IsScrollBarEnabled(Handler->sBarHorz) || !IsScrollBarEnabled(Handler->sBarVert)) && Handler->SkinData &&
        ValidSectionIndex(sd, Handler->SkinData->SkinIndex)) {
      const TColor own = sd->gd[Handler->SkinData->SkinIndex].StateProps(IsHot(Handler->SkinData)).Color;
      color = static_cast<TColor>(BlendTwoColors(static_cast<std::uint32_t>(own), static_cast<std::uint32_t>(color), DisabledBlendWeight));
    }
    FillRectOnDC(bmp->Canvas().Handle(), TRect{0, 0, box.Width(), box.Height()}, color);
  }
  if (SizeBoxAtParentCorner(Handler, Wnd, box) && ValidMaskIndex(sd, sd->GripRightBottom)) {
    const TsMaskData& grip = sd->ma[sd->GripRightBottom];
    const TPoint size = sd->MaskImageSize(grip);
    DrawMaskStateImage(bmp.get(), TPoint{box.Width() - size.X, box.Height() - size.Y}, 0, 1, grip,
                       MakeCacheInfo(bmp.get()));
  }
  BitBlt(DC, box.Left - wr.Left, box.Top - wr.Top, box.Width(), box.Height(), bmp->Canvas().Handle(), 0, 0, SRCCOPY);
}

}  // namespace

void PaintScrollBars(TacScrollWnd* Handler, HWND Wnd, int ThumbPos, HDC DC) {
  if (!Handler || !Wnd || !Handler->sBarHorz || !Handler->sBarVert) return;
  TsCommonData* data = Handler->SkinData;
  if (data && data->RecheckUpdating(false)) return;
  TControl* owner = data ? data->FOwnerControl : nullptr;
  if (owner && (owner->ControlState() & csCreating)) return;
  if (!IsWindowVisible(Wnd) && !(owner && owner->Showing())) return;
  if (data && data->BGChanged) SendSkinCommand(Wnd, SKCMD_PREPARE_CACHE, 0);
  HDC dc = DC ? DC : GetWindowDC(Wnd);
  if (!dc) return;
  PaintBar(Handler, Handler->sBarHorz, Wnd, dc, acScrollTrack.TrackBar == 0 ? ThumbPos : -1, acScrollTrack.TrackBar == 0);
  PaintBar(Handler, Handler->sBarVert, Wnd, dc, acScrollTrack.TrackBar == 1 ? ThumbPos : -1, acScrollTrack.TrackBar == 1);
  PaintSizeBox(Handler, Wnd, dc);
  if (!DC) ReleaseDC(Wnd, dc);
}

// ---------------------------------------------------------------------------
// The handler
// ---------------------------------------------------------------------------

void TacScrollWnd::UpdateLeftScroll() {
  fLeftScrollbar = CtrlHandle && (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) != 0;
}

void InitializeScrollWnd(TacScrollWnd* Handler, HWND Wnd, bool Repaint) {
  if (!Handler || !Wnd) return;
  Handler->DontRepaint = false;
  Handler->CtrlHandle = Wnd;
  delete Handler->sBarHorz;
  delete Handler->sBarVert;
  Handler->sBarHorz = new TacScrollBar(Handler, 0);
  Handler->sBarVert = new TacScrollBar(Handler, 1);
  Handler->sBarHorz->ReadInfo(Wnd);
  Handler->sBarVert->ReadInfo(Wnd);
  Handler->UpdateLeftScroll();
  SetPropW(Wnd, acScrollHandlerProp, Handler);
  const LONG style = GetWindowLongW(Wnd, GWL_STYLE);
  Handler->sBarHorz->fScrollFlags = (style & WS_HSCROLL) ? 8 : 0;
  Handler->sBarVert->fScrollFlags = (style & WS_VSCROLL) ? 8 : 0;
  Handler->bPreventStyleChange = false;
  SubclassWindow(Handler, Wnd);
  SetMinThumbSize(Wnd, 3, DefaultMinThumbSize);
  if (Repaint) SetWindowPos(Wnd, nullptr, 0, 0, 0, 0, FrameChangedFlags);
}

TacScrollWnd::~TacScrollWnd() {
  delete sBarHorz;
  delete sBarVert;
  sBarHorz = sBarVert = nullptr;
  // A handler never attached took nothing of any window (its skin state may be gone).
  if (!Attached()) return;
  // After the release step the base has given the window its procedure back.
  const bool updating = SkinData && SkinData->FUpdating;
  if (acScrollTrack.TrackWnd == CtrlHandle && CtrlHandle) {
    if (acScrollTrack.HoverTimer) KillTimer(CtrlHandle, acHoverTimerId);
    if (acScrollTrack.RepeatTimer) KillTimer(CtrlHandle, acScrollTrack.RepeatTimer);
    acScrollTrack = TacScrollTracking{};
  }
  // The standard bars come back with a recalculated frame.
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!updating && CtrlHandle && IsWindow(CtrlHandle) &&
      (!owner || !(owner->ComponentState() & csDestroying)))
    SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0, FrameChangedFlags);
}

void TacScrollWnd::InitSkinData() {
  if (!SkinData) {
    // The scroll state keeps the sizes of the bars.
    SkinData = new TsScrollWndData(FParams.Control, true);
    if (!SkinData->FCacheBmp) SkinData->FCacheBmp = NewBitmap32(0, 0);
    SkinData->Loading = true;
  }
  cxLeftEdge = -1;
  ScrollsInitialized = false;
}

void RegisterScrollHandlerKind() {
  RegisterHandlerKind(L"TacScrollWnd", HandlerMakerOf<TacScrollWnd>());
}

namespace {

// Ends the press of the tracked window as the release of the left button does.
void ReleasePress(TacScrollWnd* Handler, HWND Wnd, bool KeepCapture) {
  TacScrollTracking& t = acScrollTrack;
  const int part = t.PressedPart;
  TacScrollBar* bar = BarOfKind(Handler, t.TrackBar);
  if (t.RepeatTimer) KillTimer(Wnd, t.RepeatTimer);
  t.RepeatTimer = 0;
  if (Handler->CoarseThumbRelease() && bar) {
    const TRect r = BarRect(Handler, Wnd, t.TrackBar);
    POINT p{};
    GetCursorPos(&p);
    t.LastTrackValue = CoarseReleaseValue(p.y - r.Top, ScrollButtonLength(bar), t.ThumbLength, r.Height());
  }
  const UINT msg = t.ScrollMsg;
  const int value = t.LastTrackValue;
  // The record is reset before the capture goes, so the loss of the capture does not end the
  // press a second time.
  const bool dragged = Handler->fThumbTracking;
  Handler->fThumbTracking = false;
  t.PressedPart = t.PartUnderCursor = t.TrackBar = -1;
  t.ScrollMsg = 0;
  if (!KeepCapture && GetCapture() == Wnd) ReleaseCapture();
  if (part >= sbpLineBefore && part <= sbpPageAfter) {
    if (dragged) DoScrollCode(Wnd, msg, SB_THUMBPOSITION, value);
    Handler->DontRepaint = true;
    DoScrollCode(Wnd, msg, SB_ENDSCROLL, 0);
    Handler->DontRepaint = false;
  } else if (part == sbpThumb) {
    if (dragged) DoScrollCode(Wnd, msg, SB_THUMBPOSITION, value);
    DoScrollCode(Wnd, msg, SB_ENDSCROLL, value);
  }
  RefreshScrollBars(Handler, true);
}

// One step of a thumb drag with the cursor at P (screen).
void ThumbDragStep(TacScrollWnd* Handler, HWND Wnd, TPoint P) {
  TacScrollTracking& t = acScrollTrack;
  TacScrollBar* bar = BarOfKind(Handler, t.TrackBar);
  if (!bar) return;
  const bool vert = !bar->Horizontal();
  const TRect r{t.DragBarRect.left, t.DragBarRect.top, t.DragBarRect.right, t.DragBarRect.bottom};
  int start = 0, length = 0;
  BarSpan(bar, r, start, length);
  const int b = 2 * ScrollButtonLength(bar) < length ? ScrollButtonLength(bar) : length / 2;
  const int lo = start + b, hi = start + length - b - t.ThumbLength;
  const int thumbStart = std::max(lo, std::min((vert ? P.Y : P.X) - t.GrabOffset, hi));
  HDC dc = GetWindowDC(Wnd);
  if (dc) {
    PaintBar(Handler, bar, Wnd, dc, thumbStart, false);
    ReleaseDC(Wnd, dc);
  }
  const int trackLength = length - 2 * b;
  const int value = ThumbDragValue(bar->ScrollInfo, vert, thumbStart - lo, trackLength, t.ThumbLength);
  if (value != t.LastTrackValue) {
    Handler->DontRepaint = true;
    DoScrollCode(Wnd, t.ScrollMsg, SB_THUMBTRACK, value + bar->ScrollInfo.nMin);
    Handler->DontRepaint = false;
    t.LastTrackValue = value;
  }
}

// The pressed part follows the cursor (P in screen coordinates).
void TrackPressedPart(TacScrollWnd* Handler, HWND Wnd, TPoint P) {
  TacScrollTracking& t = acScrollTrack;
  TacScrollBar* bar = BarOfKind(Handler, t.TrackBar);
  if (!bar) return;
  const int hit = HitTestScrollBar(bar, Wnd, BarRect(Handler, Wnd, t.TrackBar), P);
  const int under = hit == t.PressedPart ? t.PressedPart : sbpNone;
  if (under != t.PartUnderCursor) {
    t.PartUnderCursor = under;
    PaintScrollBars(Handler, Wnd, -1, nullptr);
  }
}

bool Press(TacScrollWnd* Handler, HWND Wnd, TMessage& Message) {
  TacScrollTracking& t = acScrollTrack;
  const int kind = BarOfHitCode(static_cast<LRESULT>(Message.WParam));
  TacScrollBar* bar = BarOfKind(Handler, kind);
  if (!bar) return false;
  const TPoint p{XOfLParam(Message.LParam), YOfLParam(Message.LParam)};
  const TRect r = BarRect(Handler, Wnd, kind);
  bar->ReadInfo(Wnd);
  const int part = HitTestScrollBar(bar, Wnd, r, p);
  if (part == sbpNone) return false;
  t.TrackWnd = Wnd;
  t.ScrollMsg = kind == 0 ? WM_HSCROLL : WM_VSCROLL;
  t.TrackBar = kind;
  t.PressedPart = part;
  const bool enabled = IsScrollBarEnabled(bar);
  const TacThumb thumb = GetThumbPos(bar, r);
  auto storeThumb = [&] {
    t.ThumbStart = thumb.Start;
    t.ThumbLength = thumb.Length;
    t.DragBarRect = RECT{r.Left, r.Top, r.Right, r.Bottom};
  };
  if (part <= sbpPageAfter) {
    if (enabled) {
      t.PartUnderCursor = part;
      PaintScrollBars(Handler, Wnd, -1, nullptr);
      DoScrollCode(Wnd, t.ScrollMsg, part, 0);
      t.PartUnderCursor = part;
      t.RepeatTimer = SetTimer(Wnd, acRepeatDelayTimerId, acRepeatDelay, nullptr);
    }
    SetCapture(Wnd);
  } else if (part == sbpJump) {
    storeThumb();
    t.GrabOffset = thumb.Length / 2;
    t.LastTrackValue = -1;  // the jump always sends its value
    ThumbDragStep(Handler, Wnd, p);
    t.PressedPart = t.TrackBar = -1;
    t.ScrollMsg = 0;
  } else if (part == sbpThumb && enabled) {
    storeThumb();
    Handler->fThumbTracking = true;
    t.GrabOffset = (bar->Horizontal() ? p.X : p.Y) - thumb.Start;
    t.LastTrackValue = bar->ScrollInfo.nPos;
    PaintScrollBars(Handler, Wnd, thumb.Start, nullptr);
    SetCapture(Wnd);
  } else {
    t.PressedPart = t.TrackBar = -1;
    t.ScrollMsg = 0;
  }
  Message.Result = 0;
  return true;
}

void HandleTimer(TacScrollWnd* Handler, HWND Wnd, TMessage& Message) {
  TacScrollTracking& t = acScrollTrack;
  const UINT_PTR id = Message.WParam;
  if (id == acHoverTimerId && !Handler->fThumbTracking) {
    POINT p{};
    GetCursorPos(&p);
    if (PtInRect(&t.HoverRect, p)) {
      TacScrollBar* bar = BarOfKind(Handler, t.HoverBar);
      t.HoverPart = bar ? HitTestScrollBar(bar, Wnd, BarRect(Handler, Wnd, t.HoverBar), TPoint{p.x, p.y}) : sbpNone;
      if (t.HoverPart != t.LastHoverPart) PaintScrollBars(Handler, Wnd, -1, nullptr);
      t.LastHoverPart = t.HoverPart;
    } else {
      KillTimer(Wnd, acHoverTimerId);
      t.HoverTimer = 0;
      t.HoverBar = t.LastHoverPart = t.HoverPart = -1;
      PaintScrollBars(Handler, Wnd, -1, nullptr);
    }
  } else if (id == acRepeatDelayTimerId) {
    KillTimer(Wnd, acRepeatDelayTimerId);
    t.RepeatTimer = SetTimer(Wnd, acRepeatTimerId, acRepeatInterval, nullptr);
  } else if (id == acRepeatTimerId) {
    // The button went up where this window could not see it: the press is over.
    if (t.PressedPart == sbpNone || !LeftButtonDown()) {
      if (t.PressedPart != sbpNone && t.TrackWnd == Wnd)
        ReleasePress(Handler, Wnd, false);
      else
        KillTimer(Wnd, acRepeatTimerId);
      return;
    }
    POINT p{};
    GetCursorPos(&p);
    POINT c = p;
    ScreenToClient(Wnd, &c);
    if (c.x < 0) p.x -= c.x;
    if (c.y < 0) p.y -= c.y;
    TrackPressedPart(Handler, Wnd, TPoint{p.x, p.y});
    if (t.PartUnderCursor != sbpNone) {
      Handler->DontRepaint = true;
      DoScrollCode(Wnd, t.ScrollMsg, t.PartUnderCursor, 0);
      Handler->DontRepaint = false;
    }
  } else {
    PreviousProc(Handler, Message);
  }
}

}  // namespace

void TacScrollWnd::acWndProc(TMessage& Message) { ScrollWndProc(Message); }

void TacScrollWnd::ScrollWndProc(TMessage& Message) {
  HWND wnd = CtrlHandle;
  TacScrollTracking& t = acScrollTrack;
  switch (Message.Msg) {
    case WM_CONTEXTMENU:
      if (TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr)
        if (TsSkinManager* manager = ManagerOf(this); manager && owner->PopupMenu() && manager->SkinableMenus)
          manager->SkinableMenus->HookPopupMenu(owner->PopupMenu(), manager->IsActive());
      break;
    case WM_DESTROY:
    case WM_NCDESTROY: {
      if (Destroyed) return;
      if (FResending) {
        // The message sent again reaches the window's own procedure, never this handler twice.
        PreviousProc(this, Message);
        return;
      }
      if (t.TrackWnd == wnd) {
        if (t.HoverTimer) KillTimer(wnd, acHoverTimerId);
        if (t.RepeatTimer) KillTimer(wnd, t.RepeatTimer);
        t = TacScrollTracking{};
      }
      auto resend = [&] {
        FResending = true;
        SendMessageW(wnd, Message.Msg, Message.WParam, Message.LParam);
        FResending = false;
      };
      if (OldProc || OldWndProc || NewWndProcInstance) {
        try {
          TacScrollWnd* self = this;
          // A handler on a framework procedure leaves it before the window goes: the procedure
          // outlives the window, and a window made again must not meet a detached handler.
          if (OldWndProc) {
            DetachScrollHandler(wnd, false, false, self);
            if (Destroyed)
              resend();
            else
              PreviousProc(this, Message);
          } else {
            PreviousProc(this, Message);
            // A foreign window is gone after its last message: there is nothing left to give
            // back, and its owner's purge must see the handler as detached.
            if (Message.Msg == WM_NCDESTROY) {
              if (GetPropW(wnd, acScrollHandlerProp) == this) RemovePropW(wnd, acScrollHandlerProp);
              Destroyed = true;
            }
          }
        } catch (...) {
          FResending = false;
          Application().HandleException(std::current_exception());
        }
        Message.Result = 1;
      } else if (wnd && IsWindow(wnd)) {
        resend();
      }
      if (SkinData && SkinData->FCacheBmp) SkinData->FCacheBmp->SetSize(0, 0);
      return;
    }
    case WM_UPDATEUISTATE:
      Message.Result = 0;
      return;
    case 0xB033:  // CM_RECREATEWND
      if (auto* combo = dynamic_cast<TCustomComboBox*>(SkinData ? SkinData->FOwnerControl : nullptr);
          combo && !combo->Visible() && combo->Name.empty())
        return;
      break;
    case WM_STYLECHANGED:
      if (bPreventStyleChange) {
        Message.Result = 0;
        return;
      }
      UpdateLeftScroll();
      PreviousProc(this, Message);
      return;
  }
  if (Destroyed) {
    if (Message.Msg == WM_NOTIFY || Message.Msg == 0xBC4E) PreviousProc(this, Message);
    return;
  }
  // Going: the bars are freed, the window answers as it did before the handler.
  if (!sBarHorz || !sBarVert) {
    PreviousProc(this, Message);
    return;
  }
  TsSkinManager* m = ManagerOf(this);
  const bool skinned = m && m->IsActive() && SkinData;
  if (!skinned) {
    if (Message.Msg == SM_SKINCOMMAND) {
      const WORD cmd = SkinCommandOf(Message.WParam);
      if (cmd == SKCMD_NEW_SKIN && SkinData && reinterpret_cast<TsSkinManager*>(Message.LParam) == m)
        SkinData->UpdateIndexes();
      if (cmd == SKCMD_GET_COMMON_DATA) {
        Message.Result = reinterpret_cast<LRESULT>(SkinData);
        return;
      }
    }
    PreviousProc(this, Message);
    return;
  }
  switch (Message.Msg) {
    case WM_NCCALCSIZE: {
      auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam);
      if (!params) {
        PreviousProc(this, Message);
        return;
      }
      const RECT in = params->rgrc[0];
      const LONG style = GetWindowLongW(wnd, GWL_STYLE);
      if (dynamic_cast<TCustomEdit*>(SkinData->FOwnerControl)) {
        PreviousProc(this, Message);
        return;
      }
      if (style & (WS_HSCROLL | WS_VSCROLL)) {
        bPreventStyleChange = true;
        SetWindowLongW(wnd, GWL_STYLE, style & ~(WS_HSCROLL | WS_VSCROLL));
        PreviousProc(this, Message);
        SetWindowLongW(wnd, GWL_STYLE, style);
        bPreventStyleChange = false;
      } else {
        PreviousProc(this, Message);
      }
      RECT& out = params->rgrc[0];
      TacSkinData* sd = SkinDataOf(this);
      if (SkinData->COC != 10 && SkinData->COC != 0xE0 && ValidSectionIndex(sd, SkinData->SkinIndex)) {
        const int sbo = sd->gd[SkinData->SkinIndex].ScrollBorderOffset;
        if (sbo < 0 && out.left - in.left > 1) InflateRect(&out, -sbo, -sbo);
      }
      cxLeftEdge = out.left - in.left;
      cxRightEdge = in.right - out.right;
      cyTopEdge = out.top - in.top;
      cyBottomEdge = in.bottom - out.bottom;
      sBarHorz->fScrollFlags = (style & WS_HSCROLL) ? 8 : 0;
      const int hs = ScrollBarSize(this, SB_HORZ, true);
      sBarHorz->fScrollVisible = sBarHorz->fScrollFlags && out.bottom - out.top >= hs;
      if (sBarHorz->fScrollVisible) out.bottom -= hs;
      sBarVert->fScrollFlags = (style & WS_VSCROLL) ? 8 : 0;
      const int vs = ScrollBarSize(this, SB_VERT, true);
      sBarVert->fScrollVisible = sBarVert->fScrollFlags && out.right - out.left >= vs;
      if (sBarVert->fScrollVisible) {
        if (fLeftScrollbar)
          out.left += vs;
        else
          out.right -= vs;
      }
      ScrollsInitialized = true;
      return;
    }
    case WM_NCHITTEST: {
      if (gInScrollHitTest) {
        Message.Result = HTNOWHERE;
        return;
      }
      struct TGuard {
        TGuard() { gInScrollHitTest = true; }
        ~TGuard() { gInScrollHitTest = false; }
      } guard;
      if (m->FActiveControl != wnd && !SkinData->FMouseAbove) {
        TControl* owner = SkinData->FOwnerControl;
        if (!owner || IsMouseOverControl(owner)) m->SwitchHotControl(wnd);
      }
      const TPoint p{XOfLParam(Message.LParam), YOfLParam(Message.LParam)};
      const POINT pt{p.X, p.Y};
      const TRect hr = HorzScrollBarRect(this, wnd), vr = VertScrollBarRect(this, wnd);
      const RECT h{hr.Left, hr.Top, hr.Right, hr.Bottom}, v{vr.Left, vr.Top, vr.Right, vr.Bottom};
      if (sBarHorz->fScrollVisible && PtInRect(&h, pt)) {
        Message.Result = IsScrollBarEnabled(sBarHorz) ? HTHSCROLL : HTNOWHERE;
        return;
      }
      if (sBarVert->fScrollVisible && PtInRect(&v, pt)) {
        Message.Result = IsScrollBarEnabled(sBarVert) ? HTVSCROLL : HTNOWHERE;
        return;
      }
      const TRect box = SizeBoxRect(this, wnd);
      const RECT b{box.Left, box.Top, box.Right, box.Bottom};
      if (!box.IsEmpty() && PtInRect(&b, pt) && SizeBoxAtParentCorner(this, wnd, box)) {
        Message.Result = HTBOTTOMRIGHT;
        return;
      }
      PreviousProc(this, Message);
      return;
    }
    case WM_NCPAINT:
      if (IsWindowVisible(wnd)) {
        if (!ScrollsInitialized) SetWindowPos(wnd, nullptr, 0, 0, 0, 0, FrameChangedFlags);
        if (!SkinData->FUpdating && !DontRepaint && ScrollsInitialized) PaintScrollBars(this, wnd, -1, nullptr);
      }
      {
        // The standard bars are not drawn over ours: the style bits are off while the
        // previous procedure paints the frame.
        const LONG style = GetWindowLongW(wnd, GWL_STYLE);
        if (style & (WS_HSCROLL | WS_VSCROLL)) {
          bPreventStyleChange = true;
          SetWindowLongW(wnd, GWL_STYLE, style & ~(WS_HSCROLL | WS_VSCROLL));
          PreviousProc(this, Message);
          SetWindowLongW(wnd, GWL_STYLE, style);
          bPreventStyleChange = false;
        } else {
          PreviousProc(this, Message);
        }
      }
      return;
    case WM_NCMOUSEMOVE: {
      t.TrackWnd = wnd;
      const int kind = BarOfHitCode(static_cast<LRESULT>(Message.WParam));
      if (kind >= 0 && kind != t.HoverBar) {
        t.LastHoverPart = t.HoverPart = -1;
        const TRect r = BarRect(this, wnd, kind);
        t.HoverRect = RECT{r.Left, r.Top, r.Right, r.Bottom};
        t.HoverBar = kind;
        t.HoverTimer = SetTimer(wnd, acHoverTimerId, acHoverInterval, nullptr);
        PaintScrollBars(this, wnd, -1, nullptr);
      }
      PreviousProc(this, Message);
      return;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if ((Message.WParam == HTHSCROLL || Message.WParam == HTVSCROLL) && Press(this, wnd, Message)) return;
      PreviousProc(this, Message);
      return;
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONUP:
      if (Message.WParam == HTHSCROLL || Message.WParam == HTVSCROLL) {
        Message.Result = 0;
        return;
      }
      PreviousProc(this, Message);
      return;
    case WM_SYSCOMMAND:
      if (Message.WParam == SC_VSCROLL + HTVSCROLL) return;
      PreviousProc(this, Message);
      return;
    case WM_TIMER: {
      if (!t.HoverTimer && !t.RepeatTimer) {
        PreviousProc(this, Message);
        const bool ours = Message.WParam == acHoverTimerId || Message.WParam == acRepeatDelayTimerId ||
                          Message.WParam == acRepeatTimerId;
        if (ours) HandleTimer(this, wnd, Message);
      } else {
        HandleTimer(this, wnd, Message);
      }
      if (!DontRepaint && !fThumbTracking) RefreshScrollBars(this, true);
      return;
    }
    case WM_MOUSEMOVE:
      if (fThumbTracking && t.TrackWnd == wnd) {
        POINT p{XOfLParam(Message.LParam), YOfLParam(Message.LParam)};
        ClientToScreen(wnd, &p);
        ThumbDragStep(this, wnd, TPoint{p.x, p.y});
        Message.Result = 0;
        return;
      }
      if (t.PressedPart != sbpNone && t.TrackWnd == wnd) {
        POINT p{XOfLParam(Message.LParam), YOfLParam(Message.LParam)};
        ClientToScreen(wnd, &p);
        TrackPressedPart(this, wnd, TPoint{p.x, p.y});
        Message.Result = 0;
        return;
      }
      PreviousProc(this, Message);
      return;
    case WM_LBUTTONUP:
      if (t.PressedPart != sbpNone && t.TrackWnd == wnd) {
        ReleasePress(this, wnd, KeepsCaptureOnRelease());
        if (static_cast<int>(Message.WParam) != -1 && !SwallowsButtonUpAfterRelease()) {
          TControl* owner = SkinData->FOwnerControl;
          const std::wstring cls = owner ? owner->ClassName() : std::wstring();
          if (cls != L"TImageEnView" && cls != L"TImageEnVect") PreviousProc(this, Message);
        }
        return;
      }
      PreviousProc(this, Message);
      return;
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      // Losing the capture (a message box, Alt+Tab) ends the press as the button's release.
      if (t.PressedPart != sbpNone && t.TrackWnd == wnd &&
          (Message.Msg == WM_CANCELMODE || reinterpret_cast<HWND>(Message.LParam) != wnd))
        ReleasePress(this, wnd, true);
      PreviousProc(this, Message);
      return;
    case SM_SKINCOMMAND:
      switch (SkinCommandOf(Message.WParam)) {
        case SKCMD_NEW_SKIN: {
          const bool own = reinterpret_cast<TsSkinManager*>(Message.LParam) == m;
          if (own) SkinData->UpdateIndexes();
          PreviousProc(this, Message);
          if (own) PassToChildren(SkinData->FOwnerControl, wnd, Message);
          return;
        }
        case SKCMD_PREPARE_CACHE:
          PreviousProc(this, Message);
          if (SkinData->BGChanged && !SkinData->FUpdating && Message.Result != -2) {
            ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
            RenderControlCache(SkinData, wnd, DlgMode);
            PaintBorderCorners(SkinData, 0, this);
          }
          return;
        case SKCMD_REMOVE_SKIN:
          if (reinterpret_cast<TsSkinManager*>(Message.LParam) == m && !Destroyed) RestoreStdParams();
          PreviousProc(this, Message);
          return;
        case SKCMD_REFRESH:
          if (reinterpret_cast<TsSkinManager*>(Message.LParam) == m) {
            SkinData->UpdateIndexes();
            SkinData->BGChanged = true;
          }
          PreviousProc(this, Message);
          return;
        case SKCMD_END_UPDATE: {
          const TComponent* ownerObject = SkinData->FOwnerObject;
          const std::wstring kind = ownerObject ? ownerObject->ClassName() : std::wstring();
          if (kind == L"TsFrameAdapter" || kind == L"TsSkinProvider") {
            PreviousProc(this, Message);
            return;
          }
          if (SkinData->FUpdating && !SkinData->RecheckUpdating(true)) {
            RedrawWindow(wnd, nullptr, nullptr, 0x585);
            if (SkinData->FOwnerControl) RepaintChildControls(SkinData->FOwnerControl);
          }
          return;
        }
        case SKCMD_IS_SKINNED:
          Message.Result = 1;
          return;
        case SKCMD_SET_UPDATING:
          SkinData->FUpdating = LOWORD(Message.WParam) == 1;
          PreviousProc(this, Message);
          return;
        case SKCMD_GET_HANDLER:
          Message.Result = reinterpret_cast<LRESULT>(static_cast<TacMainWnd*>(this));
          return;
        case SKCMD_SET_SECTION:
          if (!Message.LParam || !SkinData) {
            Message.Result = 0;
            return;
          }
          SkinData->WriteSkinSection(reinterpret_cast<const wchar_t*>(Message.LParam));
          Message.Result = 1;
          return;
        case SKCMD_BG_VARIES:
          Message.Result = BackgroundVaries(SkinData) & 0x7F;
          return;
        case SKCMD_GET_BG_COLOR:
          PreviousProc(this, Message);
          if (Message.Result == 0) Message.Result = static_cast<LRESULT>(SkinData->BackgroundColor(0, wnd));
          return;
        case SKCMD_GET_BG_INFO:
          PreviousProc(this, Message);
          if (auto* info = reinterpret_cast<TacBGInfo*>(Message.LParam); info && info->BgType == btUnknown)
            SkinData->FillBackgroundInfo(*info, 0, wnd);
          return;
        case SKCMD_MOUSE_ENTER:
        case SKCMD_MOUSE_LEAVE: {
          TMessage cm{SkinCommandOf(Message.WParam) == SKCMD_MOUSE_ENTER ? 0xB013u : 0xB014u, 0, 0, 0};
          HandleCommonWindowMessage(cm, SkinData);
          return;
        }
        case SKCMD_GET_COMMON_DATA:
          Message.Result = reinterpret_cast<LRESULT>(SkinData);
          return;
        case SKCMD_GET_APPLICATION:
          Message.Result = reinterpret_cast<LRESULT>(&Application());
          return;
        case SKCMD_GET_PPI:
          Message.Result = SkinData->CurrentPPI;
          return;
        default:
          PreviousProc(this, Message);
          return;
      }
    default:
      break;
  }
  PreviousProc(this, Message);
  switch (Message.Msg) {
    case WM_MOUSEWHEEL:
    case 0xB043:
      if (!DontRepaint) RefreshScrollBars(this, true);
      break;
    case 0xB007:
      RefreshScrollBars(this, true);
      break;
    case 0xB03C:
      UpdateLeftScroll();
      SetWindowPos(wnd, nullptr, 0, 0, 0, 0, FrameChangedFlags);
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      break;
  }
}
