#include "skin/graphics/acPaintControls.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/ui/ComCtrls.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acAnimation.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"

namespace {

constexpr std::uint32_t kNoKey = static_cast<std::uint32_t>(clNone);
constexpr COLORREF kSkipMark = 0xFF00FF;

void MoveOrigin(HDC dc, int dx, int dy) { OffsetViewportOrgEx(dc, dx, dy, nullptr); }

void FillColor(HDC dc, const TRect& r, TColor color) {
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(color)));
  FillRect(dc, r.AsRECT(), brush);
  DeleteObject(brush);
}

// Copies the part of Dest (logical coordinates of DC) that both the bitmap behind DC and the
// source bitmap hold; Source is the source point of Dest's top-left corner.
void CopyClipped(HDC dc, int dcWidth, int dcHeight, const TRect& dest, TBitmap* src, TPoint source) {
  POINT org{};
  GetViewportOrgEx(dc, &org);
  int l = std::max({dest.Left, -static_cast<int>(org.x), dest.Left - source.X});
  int t = std::max({dest.Top, -static_cast<int>(org.y), dest.Top - source.Y});
  int r = std::min({dest.Right, dcWidth - static_cast<int>(org.x), dest.Left - source.X + src->Width()});
  int b = std::min({dest.Bottom, dcHeight - static_cast<int>(org.y), dest.Top - source.Y + src->Height()});
  if (l >= r || t >= b) return;
  BitBlt(dc, l, t, r - l, b - t, src->Canvas().Handle(), source.X + l - dest.Left, source.Y + t - dest.Top, SRCCOPY);
}

// A hidden control is stood in for by what its parent shows at its place.
void PaintParentBackground(TBitmap* bitmap, TControl* control, int x, int y) {
  TacBGInfo info;
  RequestBackgroundFromControl(info, control->Parent(), false);
  HDC dc = bitmap->Canvas().Handle();
  const TRect dest = Bounds(x, y, control->Width(), control->Height());
  if (info.BgType == btCache && info.Bmp && !info.Bmp->Empty())
    CopyClipped(dc, bitmap->Width(), bitmap->Height(), dest, info.Bmp,
                TPoint{control->Left() + info.Offset.X, control->Top() + info.Offset.Y});
  else
    FillColor(dc, dest, info.Color);
}

// Tells a window (or a graphic control) the DC it prints into, and forgets it again when the
// scope ends, so an exception of the print leaves no stale DC behind.
class TPrintDCScope {
public:
  TPrintDCScope(HWND wnd, TControl* control) : FWnd(wnd), FControl(control) {}
  LRESULT Tell(HDC dc) {
    FTold = true;
    return FWnd ? SendSkinCommand(FWnd, SKCMD_SET_PRINT_DC, reinterpret_cast<LPARAM>(dc))
                : PerformSkinCommand(FControl, SKCMD_SET_PRINT_DC, reinterpret_cast<LPARAM>(dc));
  }
  // The window took no print DC: there is nothing to forget.
  void Dismiss() { FTold = false; }
  void Forget() {
    if (!FTold) return;
    FTold = false;
    if (FWnd)
      SendSkinCommand(FWnd, SKCMD_SET_PRINT_DC, 0);
    else
      PerformSkinCommand(FControl, SKCMD_SET_PRINT_DC, 0);
  }
  ~TPrintDCScope() {
    try {
      Forget();
    } catch (...) {
    }
  }

private:
  HWND FWnd;
  TControl* FControl;
  bool FTold = false;
};

void PaintWindowedControl(TBitmap* bitmap, HDC dc, TWinControl* control, TsSkinProvider* provider) {
  if (auto* form = dynamic_cast<TForm*>(control); form && form->FormKind() == fkMDIForm) {
    for (int i = 0; i < form->MDIChildCount(); ++i) {
      TForm* child = form->MDIChildren(i);
      if (!child) continue;
      TSavedDC saved(dc);
      MoveOrigin(dc, child->Left(), child->Top());
      PaintControlToBitmap(bitmap, child, child->Left(), child->Top(), nullptr, false);
    }
  }
  // A tab sheet's face starts inside its page control's border.
  const int border = TabSheetBorderWidth(control);
  if (border) MoveOrigin(dc, border, border);

  HWND wnd = control->HandleAllocated() ? control->Handle() : nullptr;
  LRESULT answer = 0;
  if (wnd) {
    TPrintDCScope printDC(wnd, control);
    answer = printDC.Tell(dc);
    if (answer == 1 || IsSkinnedWindow(wnd)) {
      answer = SendSkinMessage(wnd, WM_PRINT, reinterpret_cast<WPARAM>(dc), 0);
      printDC.Forget();
    } else {
      printDC.Dismiss();
      control->PaintTo(dc, 0, 0);
    }
  }
  // -2: the window has painted its child windows itself.
  if (wnd && answer != -2) {
    // A form's children stand in its client area, which the provider's picture places at
    // its offsets (frame, caption, border window's shadow); the print leaves the origin as
    // it found it, so the children are moved there here.
    TSavedDC clientArea(dc);
    if (provider) {
      MoveOrigin(dc, provider->OffsetX(), provider->OffsetY());
      const TRect client = control->ClientRect();
      IntersectClipRect(dc, 0, 0, client.Width(), client.Height());
    }
    const std::vector<TControl*> children = control->Controls();
    for (TControl* c : children) {
      auto* child = dynamic_cast<TWinControl*>(c);
      if (!child || !(child->Visible() || child->Designing()) || !child->HandleAllocated()) continue;
      TSavedDC saved(dc);
      if (!(dynamic_cast<TForm*>(child) && !child->Parent())) MoveOrigin(dc, child->Left(), child->Top());
      PaintControlToBitmap(bitmap, child, child->Left(), child->Top(), nullptr, false);
    }
  }
  if (provider) {
    if (provider->BorderForm) {
      TRect client = control->ClientRect();
      client = Bounds(client.Left + provider->OffsetX(), client.Top + provider->OffsetY(), client.Width(),
                      client.Height());
      client.Bottom = std::min(client.Bottom, bitmap->Height());
      ApplyAlphaInRect(bitmap, client, 255, kNoKey);
    }
    PerformSkinCommand(control, SKCMD_FORM_IMAGE, reinterpret_cast<LPARAM>(bitmap));
  } else if (border) {
    MoveOrigin(dc, -border, -border);
  }
}

void PaintOverlappingSiblings(TBitmap* bitmap, TControl* control) {
  TWinControl* parent = control->Parent();
  if (!parent) return;
  const std::vector<TControl*> siblings = parent->Controls();
  auto it = std::find(siblings.begin(), siblings.end(), control);
  if (it == siblings.end()) return;
  const TRect bounds = control->BoundsRect();
  HDC dc = bitmap->Canvas().Handle();
  for (++it; it != siblings.end(); ++it) {
    TControl* sibling = *it;
    if (!sibling->Visible() || dynamic_cast<TOutputWindow*>(sibling)) continue;
    RECT common;
    if (!IntersectRect(&common, bounds.AsRECT(), sibling->BoundsRect().AsRECT())) continue;
    TSavedDC saved(dc);
    MoveOrigin(dc, sibling->Left() - control->Left(), sibling->Top() - control->Top());
    PaintControlToBitmap(bitmap, sibling, 0, 0, nullptr, false);
  }
}

}  // namespace

void PaintControlToBitmap(TBitmap* Bitmap, TControl* Control, int X, int Y, TsSkinProvider* Provider,
                          bool PaintOverlapping) {
  if (!Bitmap || !Control || Bitmap->Empty()) return;
  HDC dc = Bitmap->Canvas().Handle();
  if (Control->Parent() && !Control->Visible() && !Control->Designing() && !Provider) {
    PaintParentBackground(Bitmap, Control, X, Y);
  } else {
    // The clip and origin changes below end with this scope.
    TSavedDC saved(dc);
    if (!(Provider && Provider->BorderForm)) IntersectClipRect(dc, 0, 0, Control->Width(), Control->Height());
    if (auto* win = dynamic_cast<TWinControl*>(Control)) {
      PaintWindowedControl(Bitmap, dc, win, Provider);
    } else {
      TPrintDCScope printDC(nullptr, Control);
      printDC.Tell(dc);
      Control->Perform(WM_PRINT, reinterpret_cast<WPARAM>(dc), 0);
      printDC.Forget();
    }
  }
  if (PaintOverlapping) PaintOverlappingSiblings(Bitmap, Control);
}

void PaintDialogToBitmap(TacDialogWnd* Dialog, TBitmap* Bitmap, bool FromScreen) {
  if (!Dialog || !Bitmap || Bitmap->Empty() || !IsWindow(Dialog->CtrlHandle)) return;
  HWND wnd = Dialog->CtrlHandle;
  const int ox = Dialog->OffsetX(), oy = Dialog->OffsetY();
  const TRect client = ClientRectInWindow(wnd);
  HDC dc = Bitmap->Canvas().Handle();
  if (FromScreen) {
    HDC windowDC = GetWindowDC(wnd);
    if (!windowDC) return;
    {
      TSavedDC saved(windowDC);
      BitBlt(dc, ox, oy, client.Width(), client.Height(), windowDC, client.Left, client.Top, SRCCOPY);
    }
    ReleaseDC(wnd, windowDC);
    ApplyAlphaInRect(Bitmap,
                     TRect{ox, oy, std::min(client.Width() + ox, Bitmap->Width()),
                           std::min(client.Height() + oy, Bitmap->Height())},
                     255, kNoKey);
    return;
  }
  {
    TSavedDC saved(dc);
    MoveOrigin(dc, ox, oy);
    IntersectClipRect(dc, 0, 0, client.Width(), client.Height());
    if (Dialog->Provider) Dialog->Provider->PrintHwndControls(wnd, dc);
  }
  ApplyAlphaInRect(Bitmap,
                   Dialog->BorderForm ? Bounds(ox, oy, client.Width(), client.Height())
                                      : TRect{0, 0, Bitmap->Width(), Bitmap->Height()},
                   255, kNoKey);
}

namespace {

bool g_paintingGraphicChildren = false;

bool NeedsPainting(TControl* child, HDC dc) {
  if (dynamic_cast<TWinControl*>(child)) return false;
  if (!(child->Visible() || child->Designing()) || child->Width() <= 0 || child->Height() <= 0) return false;
  if ((child->ControlStyle() & csNoDesignVisible) || child->Destroying()) return false;
  // Tool buttons of a button style are drawn by their tool bar.
  if (auto style = ToolButtonStyleOf(child); style && (*style == tbsButton || *style == tbsCheck || *style == tbsDropDown))
    return false;
  return RectVisible(dc, child->BoundsRect().AsRECT()) != FALSE;
}

// The off-screen picture the children are painted on, freed in any case.
class TOffscreen {
public:
  TOffscreen(int width, int height) {
    HDC screen = GetDC(nullptr);
    FDC = CreateCompatibleDC(screen);
    FBitmap = CreateCompatibleBitmap(screen, std::max(width, 1), std::max(height, 1));
    ReleaseDC(nullptr, screen);
    if (FDC && FBitmap) FOld = SelectObject(FDC, FBitmap);
  }
  ~TOffscreen() {
    if (FOld) SelectObject(FDC, FOld);
    if (FBitmap) DeleteObject(FBitmap);
    if (FDC) DeleteDC(FDC);
  }
  TOffscreen(const TOffscreen&) = delete;
  TOffscreen& operator=(const TOffscreen&) = delete;
  bool Ready() const { return FOld != nullptr; }
  HDC DC() const { return FDC; }

private:
  HDC FDC = nullptr;
  HBITMAP FBitmap = nullptr;
  HGDIOBJ FOld = nullptr;
};

// Copies the part of Band that lies inside R from the answer's bitmap (Source: the source
// point of Band's top-left corner).
void CopyBand(HDC dc, const TRect& r, TRect band, HDC src, TPoint source) {
  const int dx = std::max(r.Left, band.Left) - band.Left, dy = std::max(r.Top, band.Top) - band.Top;
  band = TRect{band.Left + dx, band.Top + dy, std::min(band.Right, r.Right), std::min(band.Bottom, r.Bottom)};
  if (band.Left >= band.Right || band.Top >= band.Bottom) return;
  BitBlt(dc, band.Left, band.Top, band.Width(), band.Height(), src, source.X + dx, source.Y + dy, SRCCOPY);
}

// What the child stands on, before it paints itself over it.
void Prefill(HDC mem, TControl* child, const TacBGInfo& bg) {
  const TRect r = child->BoundsRect();
  if (child->ControlStyle() & csOpaque) {
    FillColor(mem, r, ControlBkColor(child));
    return;
  }
  if (bg.BgType == btCache && bg.Bmp && !bg.Bmp->Empty()) {
    BitBlt(mem, r.Left, r.Top, r.Width(), r.Height(), bg.Bmp->Canvas().Handle(), r.Left + bg.Offset.X,
           r.Top + bg.Offset.Y, SRCCOPY);
    return;
  }
  FillColor(mem, r, bg.Color);
  if (!bg.Bmp || bg.Bmp->Empty()) return;
  // A colour answer with a bitmap: where the child reaches into the parent's border bands,
  // the bands show from the bitmap.
  HDC src = bg.Bmp->Canvas().Handle();
  const TRect& m = bg.FrameRect;
  const TPoint o = bg.Offset;
  if (r.Top < m.Top) CopyBand(mem, r, TRect{r.Left, r.Top, r.Right, m.Top}, src, TPoint{r.Left + o.X, r.Top + o.Y});
  if (r.Left < m.Left)
    CopyBand(mem, r, TRect{r.Left, r.Top, m.Left, r.Bottom}, src, TPoint{r.Left + o.X, r.Top + o.Y});
  const int hb = bg.Bmp->Height() - m.Bottom;
  if (hb < r.Bottom + o.Y && o.Y >= 0)
    CopyBand(mem, r, TRect{r.Left, hb, r.Right, r.Bottom}, src, TPoint{r.Left + o.X, hb + o.Y});
  const int wr = bg.Bmp->Width() - m.Right;
  if (wr < r.Right + o.X && o.X >= 0)
    CopyBand(mem, r, TRect{wr, r.Top, r.Right, r.Bottom}, src, TPoint{wr + o.X, r.Top + o.Y});
}

// The child paints itself into the off-screen DC at its place, clipped to its size; a copy
// painting of the container is one of the child as well.
void PaintChild(HDC mem, TControl* child, bool paintCopy) {
  TSavedDC saved(mem);
  MoveOrigin(mem, child->Left(), child->Top());
  IntersectClipRect(mem, 0, 0, child->Width(), child->Height());
  const TControlState before = child->ControlState();
  if (paintCopy) child->SetControlState(before | csPaintCopy);
  struct TRestoreState {
    TControl* Child;
    TControlState State;
    bool Active;
    ~TRestoreState() {
      if (Active) Child->SetControlState(State);
    }
  } restore{child, before, paintCopy};
  auto* graphic = dynamic_cast<TGraphicControl*>(child);
  if (graphic && child->Designing() && IsSpeedButton(child))
    graphic->Paint(mem);
  else
    child->Perform(WM_PAINT, reinterpret_cast<WPARAM>(mem), 0);
}

}  // namespace

void PaintGraphicChildren(HDC DC, TWinControl* Control, TPoint Offset, bool CheckVisible) {
  if (g_paintingGraphicChildren || !DC || !Control) return;
  g_paintingGraphicChildren = true;
  struct TGuard {
    ~TGuard() { g_paintingGraphicChildren = false; }
  } guard;

  if (CheckVisible && !Control->Visible() && !Control->Designing()) return;
  if (Control->ControlCount() == 0) return;
  RECT clip;
  const int region = GetClipBox(DC, &clip);
  if (region == ERROR) return;
  if (region == NULLREGION || clip.right <= clip.left || clip.bottom <= clip.top) {
    PerformSkinCommand(Control, SKCMD_SET_HALF_VISIBLE, 0);
    return;
  }
  TacBGInfo bg;
  RequestBackgroundFromControl(bg, Control, false);

  std::vector<TControl*> children;
  for (TControl* child : std::vector<TControl*>(Control->Controls()))
    if (NeedsPainting(child, DC)) children.push_back(child);
  if (children.empty()) return;

  auto* form = dynamic_cast<TForm*>(Control);
  const bool mdiForm = form && form->FormKind() == fkMDIForm;
  const bool paintCopy = (Control->ControlState() & csPaintCopy) != 0;
  std::unique_ptr<TOffscreen> offscreen;
  for (TControl* child : children) {
    if (mdiForm && child->Align() != alNone)
      child->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_INVALIDATE), 0);
    if (!offscreen) {
      offscreen = std::make_unique<TOffscreen>(Control->Width(), Control->Height());
      if (!offscreen->Ready()) return;
      for (TControl* c : children) Prefill(offscreen->DC(), c, bg);
    }
    PaintChild(offscreen->DC(), child, paintCopy);
  }
  HDC mem = offscreen->DC();
  for (TControl* child : children) {
    // A child that left its top-left pixel at the skip mark asked not to be copied.
    if (GetPixel(mem, child->Left(), child->Top()) == kSkipMark) continue;
    BitBlt(DC, child->Left() + Offset.X, child->Top() + Offset.Y, child->Width(), child->Height(), mem, child->Left(),
           child->Top(), SRCCOPY);
  }
}
