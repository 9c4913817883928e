// Track bars, the framework's stand-alone scroll bar and up-down controls.
#include "skin/handlers/acSBUtils.Track.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.ScrollBar.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acSBUtils.Scroll.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

// The point lies inside the rectangle (right and bottom exclusive).
bool Holds(const TRect& R, TPoint P) { return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom; }

bool MaskLoaded(TacSkinData* Sd, int Index) { return Sd && Index >= 0 && Index < static_cast<int>(Sd->ma.size()); }
bool SectionLoaded(TacSkinData* Sd, int Index) { return Sd && Index >= 0 && Index < static_cast<int>(Sd->gd.size()); }

TsSkinManager* ManagerOfHandler(TacMainWnd* H) {
  if (H->SkinData) return H->SkinData->ReadSkinManager();
  return H->SkinManager ? H->SkinManager : DefaultManager();
}

TacSkinData* SkinDataOfHandler(TacMainWnd* H) {
  if (H->SkinData) return H->SkinData->ReadCommonSkinData();
  TsSkinManager* m = ManagerOfHandler(H);
  return m ? m->CommonSkinData() : nullptr;
}

// Round to the nearest integer, ties to even (the default rounding of the floating unit).
int RoundEven(double V) { return static_cast<int>(std::nearbyint(V)); }

// Mirrors a 32-bit bitmap top to bottom (Vertical false) or left to right.
void MirrorBitmap(TBitmap* Bmp, bool LeftToRight) {
  if (!Bmp || Bmp->Empty()) return;
  std::uint8_t* bits = Bmp->Bits();
  const int w = Bmp->Width(), h = Bmp->Height(), stride = Bmp->Stride();
  if (!LeftToRight) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 4);
    for (int y = 0; y < h / 2; ++y) {
      std::uint8_t* a = bits + static_cast<std::ptrdiff_t>(y) * stride;
      std::uint8_t* b = bits + static_cast<std::ptrdiff_t>(h - 1 - y) * stride;
      std::memcpy(row.data(), a, row.size());
      std::memcpy(a, b, row.size());
      std::memcpy(b, row.data(), row.size());
    }
  } else {
    for (int y = 0; y < h; ++y) {
      auto* px = reinterpret_cast<std::uint32_t*>(bits + static_cast<std::ptrdiff_t>(y) * stride);
      std::reverse(px, px + w);
    }
  }
}

}  // namespace

std::vector<int> EvenTickPositions(const TRect& Channel, const TRect& Thumb, int Count, bool Vertical, double& Step) {
  std::vector<int> ticks;
  Step = 0;
  if (Count <= 0) return ticks;
  const int channelLen = Vertical ? Channel.Height() : Channel.Width();
  const int thumbLen = Vertical ? Thumb.Height() : Thumb.Width();
  const int start = Vertical ? Channel.Top : Channel.Left;
  if (Count > 1) Step = static_cast<double>(channelLen - thumbLen) / (Count - 1);
  ticks.reserve(static_cast<std::size_t>(Count));
  for (int i = 0; i < Count; ++i) ticks.push_back(RoundEven(start + i * Step + thumbLen / 2));
  return ticks;
}

// ---------------------------------------------------------------------------
// TacTrackWnd
// ---------------------------------------------------------------------------

void TacTrackWnd::AfterCreation() {
  TickHeight = 4;
  bMousePressed = false;
  TacMainWnd::AfterCreation();
}

bool TacTrackWnd::IsVertical() { return (GetWindowLongW(CtrlHandle, GWL_STYLE) & TBS_VERT) != 0; }

int TacTrackWnd::TickMarks() {
  const LONG style = GetWindowLongW(CtrlHandle, GWL_STYLE);
  if (style & TBS_BOTH) return 2;
  return (style & TBS_TOP) ? 1 : 0;
}

bool TacTrackWnd::TickStyle() { return !(GetWindowLongW(CtrlHandle, GWL_STYLE) & TBS_NOTICKS); }

int TacTrackWnd::TickCount() { return static_cast<int>(SendMessageW(CtrlHandle, TBM_GETNUMTICS, 0, 0)); }

int TacTrackWnd::TickPos(int Index) {
  return static_cast<int>(SendMessageW(CtrlHandle, TBM_GETTICPOS, static_cast<WPARAM>(Index), 0));
}

void TacTrackWnd::ChannelRect(TRect& R) {
  RECT r{0, 0, 1, 1};
  SendMessageW(CtrlHandle, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&r));
  R = TRect{r.left, r.top, r.right, r.bottom};
  // The system answers a vertical bar's channel as if the bar lay horizontally; an answer
  // already standing upright is taken as it is.
  if (IsVertical() && R.Width() > R.Height()) R = TRect{r.top, r.left, r.bottom, r.right};
}

void TacTrackWnd::ThumbRect(TRect& R) {
  RECT r{0, 0, 1, 1};
  SendMessageW(CtrlHandle, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&r));
  R = TRect{r.left, r.top, r.right, r.bottom};
}

void TacTrackWnd::TicksArray(std::vector<int>& Ticks) {
  Ticks.clear();
  if (!TickStyle()) return;
  TRect channel, thumb;
  ChannelRect(channel);
  ThumbRect(thumb);
  Ticks = EvenTickPositions(channel, thumb, TickCount(), IsVertical(), iStep);
}

int TacTrackWnd::TrackMask(const wchar_t* Name) {
  TacSkinData* sd = SkinDataOfHandler(this);
  if (!sd) return -1;
  const int section = sd->GetSkinIndex(L"TRACKBAR");
  if (!SectionLoaded(sd, section)) return -1;
  const int mask = sd->GetMaskIndex(section, Name);
  return MaskLoaded(sd, mask) ? mask : -1;
}

void TacTrackWnd::PaintTick(TPoint P, bool Horizontal) {
  TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
  if (!cache || cache->Empty()) return;
  const int mask = TrackMask(Horizontal ? L"TICKHORZ" : L"TICKVERT");
  if (mask < 0) {
    TRect r = Horizontal ? TRect{P.X, P.Y, P.X + 2, P.Y + TickHeight} : TRect{P.X, P.Y, P.X + TickHeight, P.Y + 2};
    int count = 1;
    DrawBevelLines(cache->Canvas().Handle(), r, clBtnShadow, 0xFFFFFF, count);
    return;
  }
  TacSkinData* sd = SkinDataOfHandler(this);
  const TsMaskData& m = sd->ma[static_cast<std::size_t>(mask)];
  if (Horizontal)
    P.X -= m.Width;
  else
    P.Y -= m.Height;
  DrawMaskStateImage(cache, P, Mode(), 1, m, MakeCacheInfo(cache));
}

void TacTrackWnd::PaintTicksHor() {
  std::vector<int> ticks;
  TicksArray(ticks);
  if (ticks.empty()) return;
  TRect channel, thumb;
  ChannelRect(channel);
  ThumbRect(thumb);
  const int gap = (thumb.Height() - channel.Height()) / 2 + 2;
  const int marks = TickMarks();
  if (marks == 1 || marks == 2)
    for (int x : ticks) PaintTick(TPoint{x, channel.Top - gap - TickHeight}, true);
  if (marks == 0 || marks == 2)
    for (int x : ticks) PaintTick(TPoint{x, channel.Bottom + gap}, true);
}

void TacTrackWnd::PaintTicksVer() {
  std::vector<int> ticks;
  TicksArray(ticks);
  if (ticks.empty()) return;
  TRect channel, thumb;
  ChannelRect(channel);
  ThumbRect(thumb);
  const int gap = (thumb.Width() - channel.Width()) / 2 + 2;
  const int marks = TickMarks();
  if (marks == 1 || marks == 2)
    for (int y : ticks) PaintTick(TPoint{channel.Left - gap - TickHeight, y}, false);
  if (marks == 0 || marks == 2)
    for (int y : ticks) PaintTick(TPoint{channel.Right + gap, y}, false);
}

void TacTrackWnd::PaintBar() {
  TBitmap* cache = SkinData->FCacheBmp.get();
  const int mask = TrackMask(L"SLIDERCHANNEL");
  if (mask >= 0) {
    TacSkinData* sd = SkinDataOfHandler(this);
    const TsMaskData& m = sd->ma[static_cast<std::size_t>(mask)];
    TRect channel;
    ChannelRect(channel);
    TRect r = channel;
    if (IsVertical()) {
      r.Left = channel.Left + (channel.Width() - m.Width + 1) / 2;
      r.Right = r.Left + m.Width;
    } else {
      r.Top = channel.Top + (channel.Height() - m.Height + 1) / 2;
      r.Bottom = r.Top + m.Height;
    }
    if (!r.IsEmpty()) PaintMaskNineSlice(cache, r, MakeCacheInfo(cache), m, IsHot(SkinData), false);
  }
  if (IsVertical())
    PaintTicksVer();
  else
    PaintTicksHor();
}

void TacTrackWnd::PaintThumb() {
  TBitmap* cache = SkinData->FCacheBmp.get();
  const bool vertical = IsVertical();
  int mask = vertical ? TrackMask(L"SLIDERVMASK") : -1;
  if (mask < 0) mask = TrackMask(L"SLIDERMASK");
  if (mask < 0) return;
  TacSkinData* sd = SkinDataOfHandler(this);
  const TsMaskData& m = sd->ma[static_cast<std::size_t>(mask)];
  TRect thumb;
  ThumbRect(thumb);
  if (thumb.IsEmpty()) return;
  const int thickness = vertical ? thumb.Width() : thumb.Height();
  const bool maskSized = thumb.Width() == m.Width && thumb.Height() == m.Height;
  const bool resample = !(thickness == 23 || maskSized);
  const int marks = TickMarks();
  if (!resample && marks != 1) {
    const TPoint at{thumb.Left + (thumb.Width() - m.Width) / 2, thumb.Top + (thumb.Height() - m.Height) / 2};
    DrawMaskStateImage(cache, at, Mode(), 1, m, MakeCacheInfo(cache));
    return;
  }
  // Through a copy of the pixels under the thumb at the mask's size, turned so the mask's
  // pointing side faces the ticks.
  std::unique_ptr<TBitmap> under = NewBitmap32(thumb.Width(), thumb.Height());
  if (under->Empty()) return;
  BitBlt(under->Canvas().Handle(), 0, 0, thumb.Width(), thumb.Height(), cache->Canvas().Handle(), thumb.Left,
         thumb.Top, SRCCOPY);
  std::unique_ptr<TBitmap> work = NewBitmap32(m.Width, m.Height);
  if (work->Empty()) return;
  if (resample)
    StretchBitmapFiltered(under.get(), work.get(), m.Width, m.Height, 6);
  else
    BitBlt(work->Canvas().Handle(), 0, 0, m.Width, m.Height, under->Canvas().Handle(), 0, 0, SRCCOPY);
  if (marks == 1) MirrorBitmap(work.get(), vertical);
  DrawMaskStateImage(work.get(), TPoint{(work->Width() - m.Width) / 2, (work->Height() - m.Height) / 2}, Mode(), 1,
                     m, MakeCacheInfo(work.get()));
  if (marks == 1) MirrorBitmap(work.get(), vertical);
  if (resample)
    StretchBitmapFiltered(work.get(), under.get(), thumb.Width(), thumb.Height(), 6);
  else
    BitBlt(under->Canvas().Handle(), 0, 0, m.Width, m.Height, work->Canvas().Handle(), 0, 0, SRCCOPY);
  BitBlt(cache->Canvas().Handle(), thumb.Left, thumb.Top, thumb.Width(), thumb.Height(), under->Canvas().Handle(), 0,
         0, SRCCOPY);
}

void TacTrackWnd::PaintBody() {
  TBitmap* cache = SkinData->FCacheBmp.get();
  TCacheInfo ci;
  WindowParentBackgroundInfo(CtrlHandle, ci);
  PaintControlSkin(SkinData, ci, Mode(), TRect{0, 0, cache->Width(), cache->Height()}, WndPos, cache, true);
  TacSkinData* sd = SkinDataOfHandler(this);
  if (!sd || !SectionLoaded(sd, sd->GetSkinIndex(L"TRACKBAR"))) return;
  PaintBar();
  PaintThumb();
  if (!IsWindowEnabled(CtrlHandle)) MixDisabled(cache, ci, WndPos);
}

void TacTrackWnd::PrepareCache() {
  TBitmap* cache = SizedCache(this);
  if (!cache || cache->Empty()) return;
  PaintBody();
}

void TacTrackWnd::AC_WMPaint(TMessage& Message) {
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  PAINTSTRUCT ps{};
  BeginPaint(CtrlHandle, &ps);
  if (SkinData && !SkinData->IsUpdating()) {
    ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
    if (ParentWnd)
      SendMessageW(ParentWnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_CHILD_PAINTED),
                   reinterpret_cast<LPARAM>(CtrlHandle));
    HDC given = reinterpret_cast<HDC>(Message.WParam);
    if (IsWindowVisible(CtrlHandle) || given) {
      PrepareCache();
      TBitmap* cache = SkinData->FCacheBmp.get();
      if (cache && !cache->Empty()) {
        HDC dc = given ? given : GetWindowDC(CtrlHandle);
        if (dc) {
          BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
          if (!given) ReleaseDC(CtrlHandle, dc);
        }
      }
    }
  }
  EndPaint(CtrlHandle, &ps);
  Message.Result = 0;
}

void TacTrackWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
      AC_WMPaint(Message);
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      Message.Result = 0;
      return;
    case WM_LBUTTONDOWN:
      bMousePressed = true;
      break;
    case WM_LBUTTONUP:
      bMousePressed = false;
      break;
    case WM_CAPTURECHANGED:
      // The button may come up over another window: the press ends with the capture.
      if (bMousePressed) {
        bMousePressed = false;
        InvalidateRect(CtrlHandle, nullptr, FALSE);
      }
      break;
  }
  TacMainWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// TacSBWnd
// ---------------------------------------------------------------------------

TScrollBar* TacSBWnd::Bar() { return dynamic_cast<TScrollBar*>(Control); }

void TacSBWnd::AfterCreation() {
  if (SkinData && SkinData->SkinSection().empty()) SkinData->WriteSkinSection(L"TRANSPARENT");
  Control = dynamic_cast<TWinControl*>(FParams.Control);
  if (!Control && SkinData) Control = dynamic_cast<TWinControl*>(SkinData->FOwnerControl);
  if (Control) Control->SetTabStop(false);
  if (Bar()) InitScrollData();
  FRepainting = false;
  MouseOffset = 0;
  ScrollCode = 0;
  TacMainWnd::AfterCreation();
}

void TacSBWnd::InitScrollData() {
  TScrollBar* bar = Bar();
  if (!bar) return;
  FSI.cbSize = sizeof(FSI);
  FSI.fMask = SIF_ALL;
  FSI.nMax = bar->Max();
  FSI.nMin = bar->Min();
  FSI.nPos = bar->Position();
  FSI.nTrackPos = bar->Position();
  FCurrPos = bar->Position();
  FSI.nPage = static_cast<UINT>(std::max(0, bar->PageSize()));
}

bool TacSBWnd::Vertical() {
  if (TScrollBar* bar = Bar()) return bar->Kind() == sbVertical;
  return (GetWindowLongW(CtrlHandle, GWL_STYLE) & SBS_VERT) != 0;
}

int TacSBWnd::Length() {
  if (Control) return Vertical() ? Control->Height() : Control->Width();
  RECT r{};
  GetWindowRect(CtrlHandle, &r);
  return Vertical() ? r.bottom - r.top : r.right - r.left;
}

int TacSBWnd::Thickness() {
  if (Control) return Vertical() ? Control->Width() : Control->Height();
  RECT r{};
  GetWindowRect(CtrlHandle, &r);
  return Vertical() ? r.right - r.left : r.bottom - r.top;
}

int TacSBWnd::SysBtnSize() {
  TsSkinManager* m = ManagerOfHandler(this);
  return m ? m->ScrollWidth(96) : GetSystemMetrics(SM_CXVSCROLL);
}

namespace {
// A rectangle from Start to End along the bar, across the whole thickness.
TRect Along(bool Vertical, int Start, int End, int Thickness) {
  return Vertical ? TRect{0, Start, Thickness, End} : TRect{Start, 0, End, Thickness};
}
}  // namespace

TRect TacSBWnd::Btn1Rect() {
  const int L = Length();
  FBtn1Rect = Along(Vertical(), 0, std::min(SysBtnSize(), L / 2), Thickness());
  return FBtn1Rect;
}

TRect TacSBWnd::Btn2Rect() {
  const int L = Length();
  FBtn2Rect = Along(Vertical(), std::max(L - SysBtnSize(), L / 2), L, Thickness());
  return FBtn2Rect;
}

int TacSBWnd::WorkSize() { return Length() - 2 * SysBtnSize(); }

int TacSBWnd::SliderSize() {
  if (FSI.nPage == 0) return DefaultMinThumbSize;
  const long long page = static_cast<long long>(FSI.nPage);
  const long long a = std::max<long long>(page - 1, 0);
  const long long range = static_cast<long long>(FSI.nMax) + page - a - FSI.nMin;
  // A range whose maximum lies below its minimum has no proportion: the least thumb.
  if (range <= 0) return DefaultMinThumbSize;
  return std::max(DefaultMinThumbSize, RoundEven(static_cast<double>(WorkSize()) / range * page));
}

int TacSBWnd::PositionToCoord() {
  const int L = Length(), S = SysBtnSize(), T = SliderSize();
  const long long a = std::max<long long>(static_cast<long long>(FSI.nPage) - 1, 0);
  const long long span = static_cast<long long>(FSI.nMax) - FSI.nMin;
  if (span == a) return L / 2;
  const int room = L - 2 * S - T;
  // No room or no range: the thumb stays at the start.
  if (span - a <= 0 || room <= 0) return S + T / 2;
  return S + T / 2 + RoundEven(static_cast<double>(room) / (span - a) * (FCurrPos - FSI.nMin));
}

int TacSBWnd::CoordToPosition(TPoint P) {
  const int L = Length(), S = SysBtnSize(), T = SliderSize();
  const int room = L - 2 * S - T;
  if (!IsWindowEnabled(CtrlHandle) || room <= 0) return 0;
  const long long a = std::max<long long>(static_cast<long long>(FSI.nPage) - 1, 0);
  const long long span = static_cast<long long>(FSI.nMax) - FSI.nMin - a;
  const int c = Vertical() ? P.Y : P.X;
  return RoundEven(static_cast<double>(span) * (c - S - T / 2.0) / room);
}

TRect TacSBWnd::SliderRect() {
  const int T = SliderSize();
  TScrollBar* bar = Bar();
  const int mn = bar ? bar->Min() : FSI.nMin, mx = bar ? bar->Max() : FSI.nMax;
  const int pos = bar ? bar->Position() : FSI.nPos, page = bar ? bar->PageSize() : static_cast<int>(FSI.nPage);
  int start;
  if (mx == mn) {
    start = (Vertical() ? Btn1Rect().Bottom : Btn1Rect().Right);
  } else if (Vertical() && pos == mx - page) {
    start = Btn2Rect().Top - T;
  } else {
    start = RoundEven(PositionToCoord() - T / 2.0);
  }
  FSliderRect = Along(Vertical(), start, start + T, Thickness());
  return FSliderRect;
}

TRect TacSBWnd::Bar1Rect() {
  FBar1Rect = Along(Vertical(), 0, PositionToCoord(), Thickness());
  return FBar1Rect;
}

TRect TacSBWnd::Bar2Rect() {
  FBar2Rect = Along(Vertical(), PositionToCoord(), Length(), Thickness());
  return FBar2Rect;
}

int TacSBWnd::BarIsHot() { return IsHot(SkinData); }

int& TacSBWnd::ElementState(int Element) {
  switch (Element) {
    case 0: return FBtn1State;
    case 1: return FBtn2State;
    case 2: return FBar1State;
    case 3: return FBar2State;
    default: return FSliderState;
  }
}

void TacSBWnd::SetElementState(int Element, int State) {
  if (Element < 0 || Element > 4) return;
  int& s = ElementState(Element);
  if (s == State) return;
  s = State;
  if (State != 1 && State != 2) return;
  switch (Element) {
    case 0:
    case 1:
      ElementState(1 - Element) = 0;
      FSliderState = 0;
      FBar1State = FBar2State = 1;
      break;
    case 2:
    case 3:
      FBtn1State = FBtn2State = FSliderState = 0;
      ElementState(5 - Element) = 1;
      break;
    default:
      FBtn1State = FBtn2State = 0;
      FBar1State = FBar2State = 1;
      break;
  }
}

void TacSBWnd::UpdateBar() {
  if (Control)
    Control->Repaint();
  else if (CtrlHandle)
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TacSBWnd::LMouseDown(int X, int Y) {
  if (!IsWindowEnabled(CtrlHandle)) return;
  MouseOffset = 0;
  const POINT pt{X, Y};
  auto in = [&](const TRect& r) { return Holds(r, TPoint{pt.x, pt.y}); };
  if (in(Btn1Rect())) {
    if (FBtn1State != 2) {
      ScrollCode = SB_LINEUP;
      SetElementState(0, 2);
    }
  } else if (in(Btn2Rect())) {
    if (FBtn2State != 2) {
      SetElementState(1, 2);
      ScrollCode = SB_LINEDOWN;
    }
  } else if (in(SliderRect())) {
    ScrollCode = SB_THUMBTRACK;
    if (FSliderState != 2) {
      TScrollBar* bar = Bar();
      MouseOffset = CoordToPosition(TPoint{X, Y}) - (bar ? bar->Position() : FSI.nPos);
      SetElementState(4, 2);
    }
  } else if (in(Bar1Rect())) {
    ScrollCode = SB_PAGEUP;
    if (FBar1State != 2) {
      SetElementState(2, 2);
      SetElementState(3, BarIsHot());
    }
  } else {
    ScrollCode = SB_PAGEDOWN;
    if (FBar2State != 2) {
      SetElementState(2, BarIsHot());
      SetElementState(3, 2);
    }
  }
  UpdateBar();
}

void TacSBWnd::LMouseUp(int X, int Y) {
  if (!IsWindowEnabled(CtrlHandle)) return;
  const TPoint pt{X, Y};
  const bool onThumb = Holds(SliderRect(), pt);
  if (onThumb || FSliderState == 2) {
    ScrollCode = SB_THUMBPOSITION;
    FBar1State = BarIsHot();
    FBar2State = FBar1State;
    if (FSliderState == 2) FSliderState = onThumb ? 1 : 0;
  } else if (FBtn1State == 2 && Holds(Btn1Rect(), pt)) {
    FBtn1State = 1;
  } else if (FBtn2State == 2 && Holds(Btn2Rect(), pt)) {
    FBtn2State = 1;
  } else {
    if (FBar1State == 2) FBar1State = BarIsHot();
    if (FBar2State == 2) FBar2State = BarIsHot();
  }
  UpdateBar();
  ScrollCode = SB_ENDSCROLL;
}

void TacSBWnd::WMNCHitTest(TMessage& Message) {
  POINT pt{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
  ScreenToClient(CtrlHandle, &pt);
  const TPoint p1{pt.x, pt.y};
  if (Holds(SliderRect(), p1) || FSliderState == 2) {
    if (FSliderState == 2) {
      const int pos = CoordToPosition(p1) - MouseOffset;
      if (TScrollBar* bar = Bar()) {
        if (bar->Position() != pos) bar->SetPosition(pos);
      }
    } else {
      SetElementState(4, 1);
    }
  } else if (Holds(Btn1Rect(), p1)) {
    if (FBtn1State != 2) SetElementState(0, 1);
  } else if (Holds(Btn2Rect(), p1)) {
    if (FBtn2State != 2) SetElementState(1, 1);
  } else {
    FSliderState = FBtn1State = FBtn2State = 0;
  }
  UpdateBar();
}

void TacSBWnd::CMMouseEnter() {
  FBar1State = FBar2State = 1;
  UpdateBar();
}

void TacSBWnd::CMMouseLeave() {
  FBtn1State = FBtn2State = 0;
  if (FSliderState != 2) FSliderState = FBar1State = FBar2State = 0;
  UpdateBar();
}

void TacSBWnd::DrawSlider(TBitmap* Bmp) {
  const TRect r = SliderRect();
  if (WorkSize() < SliderSize()) return;
  PaintScrollThumb(r, FSliderState, Bmp, Vertical(), SkinDataOfHandler(this));
}

void TacSBWnd::WMPaint(TMessage& Message) {
  PAINTSTRUCT ps{};
  BeginPaint(CtrlHandle, &ps);
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  const bool own = !dc;
  if (own) dc = GetDC(CtrlHandle);
  const int saved = dc ? SaveDC(dc) : 0;
  TsSkinManager* manager = ManagerOfHandler(this);
  TacSkinData* sd = SkinDataOfHandler(this);
  const bool ready = dc && sd && manager && SkinData && (!Control || (ControlIsReady(Control) &&
                                                                        !(Control->ComponentState() & csLoading) &&
                                                                        !(Control->ComponentState() & csDestroying))) &&
                     !SkinData->IsUpdating();
  if (ready) {
    ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
    const int W = WndSize.cx, H = WndSize.cy;
    const bool vert = Vertical();
    if (W == H) {
      // The size-grip form: one colour.
      const TacConstElementData& el = sd->Scrolls[asLeft];
      const TColor c = SectionLoaded(sd, el.SkinIndex) ? sd->gd[static_cast<std::size_t>(el.SkinIndex)].StateProps(0).Color
                                                       : manager->GetGlobalColor();
      FillRectOnDC(dc, TRect{0, 0, W, H}, c);
    } else if (TBitmap* cache = SizedCache(this); cache && !cache->Empty()) {
      const bool enabled = IsWindowEnabled(CtrlHandle) != FALSE;
      std::unique_ptr<TBitmap> own_work;
      TBitmap* work = cache;
      if (!enabled) {
        own_work = NewBitmap32(cache->Width(), cache->Height());
        work = own_work.get();
      }
      TacBGInfo info;
      TCacheInfo ci;
      if (Control && Control->Parent()) {
        RequestBackgroundFromControl(info, Control->Parent(), false);
        CacheInfoFromBackgroundInfo(info, ci);
      } else {
        WindowParentBackgroundInfo(CtrlHandle, ci);
      }
      const TRect b1 = Bar1Rect(), b2 = Bar2Rect();
      const TacConstElementData& e1 = sd->Scrolls[vert ? asTop : asLeft];
      const TacConstElementData& e2 = sd->Scrolls[vert ? asBottom : asRight];
      auto state = [&](int s) { return enabled ? std::max(s, BarIsHot()) : 0; };
      if (!b1.IsEmpty() && SectionLoaded(sd, e1.SkinIndex))
        PaintSkinSectionPart(e1.SkinIndex, MaskLoaded(sd, e1.MaskIndex) ? e1.MaskIndex : -1, e1.BGIndex[0], ci,
                             state(FBar1State), b1, WndPos, cache, sd);
      if (!b2.IsEmpty() && SectionLoaded(sd, e2.SkinIndex))
        PaintSkinSectionPart(e2.SkinIndex, MaskLoaded(sd, e2.MaskIndex) ? e2.MaskIndex : -1, e2.BGIndex[0], ci,
                             state(FBar2State), b2, TPoint{WndPos.X + b2.Left, WndPos.Y + b2.Top}, cache, sd);
      if (work != cache)
        BitBlt(work->Canvas().Handle(), 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0,
               SRCCOPY);
      CI = MakeCacheInfo(work);
      PaintScrollButton(Btn1Rect(), FBtn1State, work, vert ? asTop : asLeft, sd);
      PaintScrollButton(Btn2Rect(), FBtn2State, work, vert ? asBottom : asRight, sd);
      if (enabled) {
        DrawSlider(work);
      } else {
        TCacheInfo pci;
        SkinData->ParentBackgroundInfo(pci);
        ApplyDisabledLook(work, 1, Control, pci, TPoint{0, 0});
      }
      BitBlt(dc, 0, 0, work->Width(), work->Height(), work->Canvas().Handle(), 0, 0, SRCCOPY);
      if (work != cache) CI = TCacheInfo{};
    }
  }
  if (dc) {
    RestoreDC(dc, saved);
    if (own) ReleaseDC(CtrlHandle, dc);
  }
  EndPaint(CtrlHandle, &ps);
  Message.Result = 0;
}

void TacSBWnd::LockedBaseHandling(TMessage& Message) {
  const int locks = FLockCount;
  FRepainting = true;
  SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
  TacMainWnd::acWndProc(Message);
  SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
  FRepainting = false;
  InvalidateRect(CtrlHandle, nullptr, TRUE);
  RedrawWindow(CtrlHandle, nullptr, nullptr, 0x545);
  // The locks others had taken stand again.
  FRepainting = true;
  for (int i = 0; i < locks; ++i) SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
  FRepainting = false;
}

void TacSBWnd::acWndProc(TMessage& Message) {
  const bool destroying = Control && (Control->ComponentState() & csDestroying);
  if (Message.Msg == SM_SKINCOMMAND) {
    if (destroying) {
      TacMainWnd::acWndProc(Message);
      return;
    }
    switch (SkinCommandOf(Message.WParam)) {
      case SKCMD_NEW_SKIN:
      case SKCMD_REMOVE_SKIN:
      case SKCMD_REFRESH:
        if (SkinData && reinterpret_cast<LPARAM>(SkinData->ReadSkinManager()) == Message.LParam) {
          if (SkinCommandOf(Message.WParam) == SKCMD_REFRESH) SkinData->BGChanged = true;
          DispatchSkinCommand(Message, SkinData);
          return;
        }
        break;
      case SKCMD_END_UPDATE:
        if (SkinData && SkinData->FUpdating && !SkinData->RecheckUpdating(true)) {
          RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
          if (Control) RepaintChildControls(Control);
        }
        return;
      case SKCMD_GET_APPLICATION:
        Message.Result = reinterpret_cast<LRESULT>(&Application());
        return;
      case SKCMD_IS_SKINNED:
        Message.Result = 1;
        return;
      case SKCMD_INVALIDATE:
        if (Control) Control->Repaint();
        break;
    }
    TacMainWnd::acWndProc(Message);
    return;
  }
  auto common = [&] {
    if (SkinData && HandleCommonWindowMessage(Message, SkinData)) return;
    TacMainWnd::acWndProc(Message);
  };
  const bool square = Length() == Thickness();
  switch (Message.Msg) {
    case WM_SETREDRAW:
      if (!FRepainting) FLockCount += Message.WParam == 0 ? 1 : -1;
      common();
      return;
    case WM_PAINT:
      WMPaint(Message);
      return;
    case WM_NCHITTEST:
      WMNCHitTest(Message);
      common();
      return;
    case WM_NCPAINT:
      Message.Result = 0;
      return;
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN: {
      POINT pt{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
      if (Message.Msg == WM_NCLBUTTONDOWN) ScreenToClient(CtrlHandle, &pt);
      LMouseDown(pt.x, pt.y);
      if (IsWindowVisible(CtrlHandle)) {
        FRepainting = true;
        while (FLockCount > 0) {
          SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
          --FLockCount;
        }
        FRepainting = false;
        SetWindowLongW(CtrlHandle, GWL_STYLE, GetWindowLongW(CtrlHandle, GWL_STYLE) | WS_VISIBLE);
        TacMainWnd::acWndProc(Message);
        if (IsWindow(CtrlHandle)) {
          InvalidateRect(CtrlHandle, nullptr, TRUE);
          RedrawWindow(CtrlHandle, nullptr, nullptr, 0x545);
        }
      } else {
        TacMainWnd::acWndProc(Message);
      }
      return;
    }
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP: {
      POINT pt{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
      if (Message.Msg == WM_NCLBUTTONUP) ScreenToClient(CtrlHandle, &pt);
      LMouseUp(pt.x, pt.y);
      common();
      return;
    }
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDBLCLK: {
      const bool visible = IsWindowVisible(CtrlHandle) != FALSE;
      if (visible) SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
      TacMainWnd::acWndProc(Message);
      if (visible) SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
      POINT pt{};
      GetCursorPos(&pt);
      ScreenToClient(CtrlHandle, &pt);
      LMouseDown(pt.x, pt.y);
      LMouseUp(pt.x, pt.y);
      return;
    }
    case SBM_SETSCROLLINFO: {
      if (square) {
        common();
        return;
      }
      const auto* si = reinterpret_cast<const SCROLLINFO*>(Message.LParam);
      if (si) {
        if (si->fMask & SIF_PAGE) FSI.nPage = si->nPage;
        if (si->fMask & SIF_POS) FSI.nPos = si->nPos;
        if (si->fMask & SIF_RANGE) {
          FSI.nMin = si->nMin;
          FSI.nMax = si->nMax;
          if (FSI.nMax < FSI.nMin) FSI.nMin = FSI.nMax = 0;
        }
        if ((si->fMask & SIF_RANGE) && (si->fMask & SIF_POS))
          if (TScrollBar* bar = Bar()) {
            if (bar->Min() != FSI.nMin) bar->SetMin(FSI.nMin);
            const int page = std::min(static_cast<int>(FSI.nPage), FSI.nMax);
            if (bar->PageSize() != page && page < bar->Max()) bar->SetPageSize(page);
            if (bar->Max() != FSI.nMax) bar->SetMax(FSI.nMax);
          }
        const long long range = static_cast<long long>(FSI.nMax) - FSI.nMin + 1;
        if (static_cast<long long>(FSI.nPage) > range) FSI.nPage = static_cast<UINT>(std::max<long long>(range, 0));
        const int a = std::max(static_cast<int>(FSI.nPage) - 1, 0);
        FSI.nPos = std::clamp(FSI.nPos, FSI.nMin, std::max(FSI.nMin, FSI.nMax - a));
        if (ScrollCode != SB_THUMBTRACK) FCurrPos = FSI.nPos;
      }
      if (IsWindowVisible(CtrlHandle))
        LockedBaseHandling(Message);
      else
        TacMainWnd::acWndProc(Message);
      return;
    }
    case 0xB037:
      if (IsWindowVisible(CtrlHandle))
        LockedBaseHandling(Message);
      else
        TacMainWnd::acWndProc(Message);
      return;
    case WM_CAPTURECHANGED: {
      POINT pt{};
      GetCursorPos(&pt);
      ScreenToClient(CtrlHandle, &pt);
      LMouseUp(pt.x, pt.y);
      common();
      return;
    }
    case WM_PRINT:
      if (TsSkinManager* dm = DefaultManager(); dm && dm->IsActive()) {
        SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, Message.LParam);
        SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
        return;
      }
      common();
      return;
    case CM_ENABLEDCHANGED:
      TacMainWnd::acWndProc(Message);
      if (SkinData) SkinData->Invalidate(false);
      return;
    case CM_MOUSEENTER:
      CMMouseEnter();
      return;
    case CM_MOUSELEAVE:
      CMMouseLeave();
      return;
    case CN_BASE + WM_CTLCOLORSCROLLBAR:
      if (Control)
        ExcludeClipRect(reinterpret_cast<HDC>(Message.WParam), Control->Left(), Control->Top(),
                        Control->Left() + Control->Width(), Control->Top() + Control->Height());
      return;
  }
  common();
}

// ---------------------------------------------------------------------------
// TacSpinWnd
// ---------------------------------------------------------------------------

void TacSpinWnd::AfterCreation() {
  lOffset = 0;
  TacMainWnd::AfterCreation();
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
}

// ---------------------------------------------------------------------------
// Registration
// ---------------------------------------------------------------------------

void RegisterTrackHandlerKinds() {
  RegisterHandlerKind(L"TacTrackWnd", HandlerMakerOf<TacTrackWnd>());
  RegisterHandlerKind(L"TacSBWnd", HandlerMakerOf<TacSBWnd>());
  RegisterHandlerKind(L"TacSpinWnd", HandlerMakerOf<TacSpinWnd>());
}
