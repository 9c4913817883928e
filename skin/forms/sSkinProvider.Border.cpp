// The border window of a skinned form or dialog: a layered window behind its owner that shows
// the owner's whole non-client image (extended frame, caption and soft shadow) with per-pixel
// alpha, lets clicks on pure shadow fall through and hands its own non-client mouse actions
// (drag, resize, caption buttons, title-bar items, edge double clicks) to its owner.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/ui/Forms.h"
#include "skin/controls/acPopupController.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

bool Holds(const TRect& r, const TPoint& p) { return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom; }

TRect WindowRectOf(HWND wnd) {
  RECT r{};
  if (wnd) GetWindowRect(wnd, &r);
  return TRect{r.left, r.top, r.right, r.bottom};
}

HWND HandleOf(TForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }

// The owner's place in the Z order while the border window is shown or moved.
constexpr UINT kRaiseFlags =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;

bool HotCode(int code) { return code == HTMINBUTTON || code == HTMAXBUTTON || code == HTCLOSE || code == HTHELP || (code >= 1000 && code <= 2100); }

}  // namespace

// ---- key-coloured image --------------------------------------------------------------

namespace {

// A colour no skin is drawn with; a frame pixel that has it is changed by one step.
constexpr std::uint32_t kBorderKeyPixel = 0x000BF13Du;  // red 0x0B, green 0xF1, blue 0x3D
constexpr COLORREF kBorderKeyColor = RGB(0x0B, 0xF1, 0x3D);

// The rectangles of a region, clipped to (0, 0, W, H); the whole of it without a region.
std::vector<TRect> RegionRects(HRGN Rgn, int W, int H) {
  const TRect all{0, 0, W, H};
  if (!Rgn) return {all};
  std::vector<TRect> rects;
  const DWORD bytes = GetRegionData(Rgn, 0, nullptr);
  if (bytes == 0) return rects;
  std::vector<std::uint8_t> buffer(bytes);
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  if (GetRegionData(Rgn, bytes, data) == 0) return rects;
  const auto* r = reinterpret_cast<const RECT*>(data->Buffer);
  for (DWORD i = 0; i < data->rdh.nCount; ++i) {
    const TRect c{std::max<int>(r[i].left, 0), std::max<int>(r[i].top, 0), std::min<int>(r[i].right, W),
                  std::min<int>(r[i].bottom, H)};
    if (c.Left < c.Right && c.Top < c.Bottom) rects.push_back(c);
  }
  return rects;
}

// Cache into Out (sized like it), every pixel written once: inside Shape as it is (a pixel
// of the key colour one step off it), the fully transparent ones and everything outside
// Shape in the key colour.
void BorderKeyedImage(TBitmap* Cache, HRGN Shape, TBitmap* Out) {
  const int w = Cache->Width(), h = Cache->Height();
  if (Out->Width() != w || Out->Height() != h || Out->PixelFormat() != pf32bit) {
    Out->SetPixelFormat(pf32bit);
    Out->SetSize(w, h);
  }
  TPixels32 d, s;
  if (!GetPixels32(Out, d) || !GetPixels32(Cache, s)) return;
  const std::uint32_t key = 0xFF000000u | kBorderKeyPixel;
  const std::vector<TRect> rects = RegionRects(Shape, w, h);
  // Region rectangles come in bands of equal top and bottom, sorted by left.
  std::size_t band = 0;
  for (int y = 0; y < h; ++y) {
    while (band < rects.size() && rects[band].Bottom <= y) ++band;
    std::uint32_t* dst = d.Row(y);
    const std::uint32_t* src = s.Row(y);
    int x = 0;
    for (std::size_t i = band; i < rects.size() && rects[i].Top <= y; ++i) {
      const TRect& r = rects[i];
      if (r.Bottom <= y) continue;
      for (; x < r.Left; ++x) dst[x] = key;
      for (x = std::max(x, r.Left); x < r.Right; ++x) {
        const std::uint32_t p = src[x];
        if ((p >> 24) == 0)
          dst[x] = key;
        else if ((p & 0x00FFFFFFu) == kBorderKeyPixel)
          dst[x] = p - 1;  // one step of blue less: still premultiplied, no longer the key
        else
          dst[x] = p;
      }
    }
    for (; x < w; ++x) dst[x] = key;
  }
}

}  // namespace

// ---- life cycle ----------------------------------------------------------------------

TacBorderForm::TacBorderForm(TsSkinProvider* Owner) : FOwner(Owner), sp(Owner) { CreateNewForm(); }

TacBorderForm::TacBorderForm(TacDialogWnd* Owner) : FOwner(Owner), FDialog(Owner) { CreateNewForm(); }

TacBorderForm::~TacBorderForm() {
  *FAlive = false;
  if (FOwner) KillAnimations();
  FreeBorderWindow();
}

void TacBorderForm::CreateNewForm() {
  if (FormState() & FS_ANIMSHOWING) return;
  MainRgnReady = false;
  FKeyedShown = false;
  // A window made before is freed here: replacing it alone would leave it on the screen.
  FreeBorderWindow();
  AForm = NewComponent<TacGlowForm>(nullptr);
  HWND wnd = AForm->Handle();
  SetWindowLongPtrW(wnd, GWL_EXSTYLE, WS_EX_LAYERED);
  if (HWND owner = OwnerHandle())
    ParentHandle = reinterpret_cast<HWND>(SetWindowLongPtrW(wnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner)));
  HookWindowProc(AForm, MakeWndMethod<&TacBorderForm::BorderProc>(this), &OldBorderProc);
}

void TacBorderForm::FreeBorderWindow() {
  if (!AForm) return;
  TacGlowForm* form = AForm;
  AForm = nullptr;
  FKeyedShown = false;
  UnhookWindowProc(form, MakeWndMethod<&TacBorderForm::BorderProc>(this));
  OldBorderProc = TWndMethod{};
  TComponent::Free(form);
}

// ---- questions -----------------------------------------------------------------------

HWND TacBorderForm::OwnerHandle() const {
  if (sp) return HandleOf(sp->Form);
  if (FDialog) return FDialog->CtrlHandle;
  return nullptr;
}

std::uint32_t TacBorderForm::FormState() const { return sp ? sp->FormState() : FDialog ? FDialog->FormState : 0; }

TsSkinManager* TacBorderForm::Manager() const {
  if (SkinData) return SkinData->ReadSkinManager();
  return sp ? sp->Manager() : nullptr;
}

namespace {
TacSkinData* BorderSkinData(const TacBorderForm* Border) {
  TsSkinManager* manager = Border->Manager();
  if (!manager || !manager->IsActive()) return nullptr;
  if (Border->SkinData) return Border->SkinData->ReadCommonSkinData();
  return manager->CommonSkinData();
}
}  // namespace

TRect TacBorderForm::ShadowSize() const {
  TacSkinData* data = BorderSkinData(this);
  return data ? data->FormShadowSize : TRect{};
}

int TacBorderForm::OffsetX() const {
  auto* self = const_cast<TacBorderForm*>(this);
  return BorderFormBorderWidth(self) + ShadowSize().Left - SysBorderWidth(OwnerHandle(), self, false);
}

int TacBorderForm::OffsetY() const {
  auto* self = const_cast<TacBorderForm*>(this);
  const TRect shadow = ShadowSize();
  if (sp && sp->FSysExHeight) return shadow.Top + BorderFormTitleDiff(self) + 4;
  const int c = CaptionHeight(false);
  return shadow.Top + (c != 0 ? BorderFormTitleHeight(self) : 0) - SysBorderWidth(OwnerHandle(), self, false) - c;
}

int TacBorderForm::CaptionHeight(bool CheckSkin) const {
  if (sp) return sp->CaptionHeight(CheckSkin);
  if (FDialog) return FDialog->CaptionHeight(CheckSkin);
  return 0;
}

int TacBorderForm::MenuHeight() const { return sp ? sp->MenuHeight() : 0; }

TRect TacBorderForm::IconRect() const { return sp ? sp->IconRect() : FDialog ? FDialog->IconRect() : TRect{}; }

TsCaptionButton TacBorderForm::ButtonClose() const { return sp ? sp->ButtonClose : FDialog ? FDialog->ButtonClose : TsCaptionButton{}; }
TsCaptionButton TacBorderForm::ButtonHelp() const { return sp ? sp->ButtonHelp : FDialog ? FDialog->ButtonHelp : TsCaptionButton{}; }
TsCaptionButton TacBorderForm::ButtonMax() const { return sp ? sp->ButtonMax : FDialog ? FDialog->ButtonMax : TsCaptionButton{}; }
TsCaptionButton TacBorderForm::ButtonMin() const { return sp ? sp->ButtonMin : FDialog ? FDialog->ButtonMin : TsCaptionButton{}; }

int TacBorderForm::MinTopCoord() const {
  HWND wnd = HandleOf(AForm);
  if (!wnd) wnd = OwnerHandle();
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (wnd && GetMonitorInfoW(MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork.top;
  return 0;
}

HWND TacBorderForm::GetTopWnd() const {
  if (!sp || !sp->Form) return nullptr;
  if (sp->Form->FormStyle() == fsStayOnTop) return HWND_TOP;
  HWND owner = OwnerHandle();
  if (owner && (GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST)) return HWND_TOPMOST;
  return owner;
}

bool TacBorderForm::OwnerZoomed() const {
  HWND owner = OwnerHandle();
  return owner && IsZoomed(owner);
}

bool TacBorderForm::OwnerIconic() const {
  HWND owner = OwnerHandle();
  return owner && IsIconic(owner);
}

// ---- actions forwarded to the owner --------------------------------------------------

void TacBorderForm::PaintAll() {
  if (sp)
    sp->PaintAll();
  else if (FDialog)
    FDialog->PaintAll();
}

void TacBorderForm::KillAnimations() {
  if (sp) sp->KillAnimations();
  else if (FDialog) FDialog->KillAnimations();
}

void TacBorderForm::SetHotHT(int HitCode) {
  if (sp) sp->SetHotHT(HitCode, true);
  else if (FDialog) FDialog->SetHotHT(HitCode, true);
}

// ---- placement -----------------------------------------------------------------------

void TacBorderForm::UpdateExBordersPos(bool Redraw, std::uint8_t Blend) {
  // 1.
  if (Locked || Application().Terminated() || ExBorderShowing) return;
  HWND owner = OwnerHandle();
  RECT wr{};
  if (!owner || !GetWindowRect(owner, &wr) || !SkinData) return;
  if (SkinData->PrintDC || AnimationInProgress) return;
  if (sp && sp->Form && sp->Form->Left() != wr.left && !IsIconic(owner)) return;  // a move not yet finished
  const std::uint32_t state = FormState();
  if (state & (FS_ANIMSHOWING | FS_DPICHANGING)) return;
  // 2.
  if (!AForm) CreateNewForm();
  if (!AForm) return;
  // 3.
  HWND after = nullptr;
  if (sp) {
    if ((SkinData->CtrlSkinState & 0x800) || InAnimation(sp) || SkinData->FUpdating || !sp->NonClientSkinned()) return;
    if (sp->Destroying() || !sp->Form || sp->Form->Destroying()) {
      sp->UpdateExtendedBorders(false);  // frees this object
      return;
    }
    if (!IsWindowVisible(owner) && (state == 0 || state == FS_ACTIVATE)) {
      FreeBorderWindow();
      SkinData->BGChanged = true;
      return;
    }
    ExBorderShowing = true;
    if (sp->Form->FormStyle() == fsStayOnTop && GetActiveWindow() == owner) {
      SetWindowPos(owner, HWND_TOP, 0, 0, 0, 0, kRaiseFlags);
      if (!AForm) CreateNewForm();
    } else if (GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) {
      SetWindowPos(owner, HWND_TOPMOST, 0, 0, 0, 0, kRaiseFlags);
      if (!AForm) CreateNewForm();
    }
    if (!(state & FS_SIZING)) after = GetTopWnd();
  } else if (FDialog) {
    if (!IsWindowVisible(owner)) return;
    ExBorderShowing = true;
    const bool topmost = (GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    if (topmost && GetActiveWindow() == owner) SetWindowPos(owner, HWND_TOPMOST, 0, 0, 0, 0, kRaiseFlags);
    if (topmost) after = HWND_TOPMOST;
  } else {
    return;
  }
  auto alive = FAlive;
  struct TShowing {
    TacBorderForm* Self;
    std::shared_ptr<bool> Alive;
    ~TShowing() {
      if (*Alive) Self->ExBorderShowing = false;  // 11.
    }
  } showing{this, alive};
  if (!AForm) return;

  // 4. Image.
  if (state & (FS_BLENDMOVING | FS_ANIMMINIMIZING | FS_COVERING)) {
    if (SkinData->BGChanged) PaintAll();
    Redraw = true;
    if (sp) {
      TRect work = sp->Form ? FormMonitorWorkArea(sp->Form) : TRect{};
      const bool beyond = wr.right > work.Right || wr.bottom > work.Bottom;
      if (InAnimation(sp) || !SkinData->FCacheBmp || SkinData->FCacheBmp->Empty() || beyond) {
        // A missing cache is rendered first: the image is made of it, and a missing bitmap
        // is never handed on.
        if (!SkinData->FCacheBmp || SkinData->FCacheBmp->Empty()) {
          SkinData->BGChanged = true;
          PaintAll();
        }
        if (std::unique_ptr<TBitmap> image = MakeFormImage(sp, true)) SkinData->FCacheBmp = std::move(image);
      } else {
        TBitmap* cache = SkinData->FCacheBmp.get();
        RECT client{};
        GetClientRect(owner, &client);
        POINT origin{0, 0};
        ClientToScreen(owner, &origin);
        const int cx = origin.x - wr.left, cy = origin.y - wr.top;
        const TRect dst{OffsetX() + cx, OffsetY() + cy, OffsetX() + cx + client.right, OffsetY() + cy + client.bottom};
        if (HDC dc = GetWindowDC(owner)) {
          BitBlt(cache->Canvas().Handle(), dst.Left, dst.Top, dst.Width(), dst.Height(), dc, cx, cy, SRCCOPY);
          ReleaseDC(owner, dc);
        }
        ApplyAlphaInRect(cache, dst, 255, 0x1FFFFFFF);
      }
      if (TBitmap* cache = SkinData->FCacheBmp.get(); cache && !cache->Empty())
        SendSkinCommand(owner, SKCMD_FORM_IMAGE, reinterpret_cast<LPARAM>(cache));
      if (!*alive || !AForm) return;
    }
  } else if (SkinData->BGChanged) {
    PaintAll();
    if (!*alive || !AForm) return;
    Redraw = true;
  }
  TBitmap* cache = SkinData->FCacheBmp.get();
  HWND wnd = AForm->Handle();
  const TRect formRect = WindowRectOf(wnd);
  const bool sizeDiffers = cache && (cache->Width() != formRect.Width() || cache->Height() != formRect.Height());
  const bool newImage = cache && !cache->Empty() && (Redraw || sizeDiffers || !FKeyedShown);

  // 5.
  if (!after) after = (IsIconic(owner) || (state & FS_SIZING)) ? GetWindow(owner, GW_HWNDPREV) : owner;
  // 6.
  UINT flags = SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
  if (state & FS_SIZING) flags |= SWP_NOZORDER;
  if (!newImage) flags |= SWP_NOSIZE;
  if (!Redraw) flags |= SWP_NOREDRAW;
  POINT target{wr.left - OffsetX(), wr.top - OffsetY()};

  if (!newImage || !LayeredWindowsAvailable() || acInMouseMsg) {
    // 7.
    SetWindowPos(wnd, after, target.x, target.y, 0, 0, flags | SWP_NOSIZE);
  } else {
    // 8.
    std::uint8_t alpha = Blend;
    if (sp && sp->Form && sp->Form->AlphaBlend()) alpha = sp->Form->AlphaBlendValue();
    if (sizeDiffers) {
      AForm->SetBounds(target.x, target.y, cache->Width(), cache->Height());
      if (!*alive || !AForm) return;
      if (sp && sp->Form && sp->Form->WindowState() == wsMaximized) AForm->SetBounds(target.x, target.y, cache->Width(), cache->Height());
      wnd = AForm->Handle();
    }
    EnableBlurBehind(wnd, false);
    if (state & FS_BLENDMOVING)
      SetWindowRgn(wnd, MakeRgn(0, 0), FALSE);
    else if (!(state & FS_SIZING))
      SetWindowRgn(wnd, nullptr, FALSE);
    // The X11 driver of Wine shapes a layered window by its colour key alone and drops its
    // window region, which would leave the client covered: the pixels the region leaves out
    // and the fully transparent ones take the key colour, on a copy of the cache.
    HRGN shape = nullptr;
    if (!(state & (FS_ANIMMINIMIZING | FS_COVERING)) || (state & FS_BLENDMOVING)) {
      shape = MakeRgn(0, 0);
    } else if (state & FS_SIZING) {
      shape = CreateRectRgn(0, 0, 0, 0);
      if (GetWindowRgn(wnd, shape) == ERROR) {
        DeleteObject(shape);
        shape = nullptr;
      }
    }
    if (!FKeyedImage) FKeyedImage = std::make_unique<TBitmap>();
    BorderKeyedImage(cache, shape, FKeyedImage.get());
    TBitmap* keyed = FKeyedImage.get();
    if (shape) DeleteObject(shape);
    if (HDC screen = GetDC(nullptr)) {
      SIZE size{cache->Width(), cache->Height()};
      POINT src{0, 0};
      BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
      UpdateLayeredWindowEntry(wnd, screen, &target, &size, keyed->Canvas().Handle(), &src, kBorderKeyColor, &blend,
                               ULW_ALPHA | ULW_COLORKEY);
      ReleaseDC(nullptr, screen);
      FKeyedShown = true;
    }
    if (!(state & (FS_BLENDMOVING | FS_ANIMMINIMIZING | FS_COVERING))) SetWindowRgn(wnd, MakeRgn(0, 0), TRUE);
  }

  // 9.
  if (!*alive || !AForm) return;
  wnd = AForm->Handle();
  const bool wasVisible = IsWindowVisible(wnd) != FALSE;
  if (wasVisible) {
    SetWindowPos(wnd, after, 0, 0, 0, 0, flags | SWP_NOSIZE | SWP_NOMOVE);
  } else {
    const LONG_PTR style = GetWindowLongPtrW(owner, GWL_STYLE);
    if (Blend == 0) SetWindowLongPtrW(owner, GWL_STYLE, style & ~WS_VISIBLE);
    SetWindowPos(wnd, after, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    if (Blend == 0) SetWindowLongPtrW(owner, GWL_STYLE, GetWindowLongPtrW(owner, GWL_STYLE) | (style & WS_VISIBLE));
  }
  if (!*alive) return;
  if (!MainRgnReady && Blend == 255 && !(state & FS_SIZING)) {
    if (sp) {
      if (wasVisible)
        sp->ApplyWindowRgn(Redraw, false);
      else
        sp->ApplyWindowRgn(true, true);
    } else if (FDialog) {
      FDialog->ApplyWindowRgn(Redraw);
    }
    if (!*alive) return;
    MainRgnReady = true;
  }
  // 10.
  if (sp && sp->Form && sp->Form->AlphaBlend() && (GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_LAYERED))
    SetLayeredAlpha(owner, true, sp->Form->AlphaBlendValue());
}

// ---- region --------------------------------------------------------------------------

HRGN TacBorderForm::MakeRgn(int NewWidth, int NewHeight) {
  HWND wnd = HandleOf(AForm);
  if (!wnd) return nullptr;
  HWND owner = OwnerHandle();
  const TRect bounds = WindowRectOf(wnd);
  const int w = bounds.Width(), h = bounds.Height();
  const TRect shadow = ShadowSize();
  HRGN rgn = nullptr;
  if (owner && IsZoomed(owner)) {
    // The shadow and the extended frame are cut off.
    const int a = SysBorderWidth(owner, this, false), b = BorderFormBorderDiff(this);
    rgn = CreateRectRgn(a + b + shadow.Left, shadow.Top + 4, w - a - b - shadow.Right, h - a - b - shadow.Bottom);
  }
  const std::uint32_t state = FormState();
  if (state & FS_COVERING) return rgn;
  if (state & (FS_BLENDMOVING | FS_ANIMMINIMIZING | FS_ANIMCLOSING)) {
    // While an animation owns the window, nothing shows above the work area.
    const int minTop = MinTopCoord();
    if (bounds.Top < minTop) {
      if (!rgn) rgn = CreateRectRgn(0, 0, w, h);
      HRGN band = CreateRectRgn(0, 0, w, minTop - bounds.Top);
      CombineRgn(rgn, rgn, band, RGN_DIFF);
      DeleteObject(band);
      MovRgnChanged = true;
    } else {
      MovRgnChanged = false;
    }
    return rgn;
  }
  // The owner's client area is cut out.
  TRect client;
  if (sp && sp->Form && owner) {
    const int ox = sp->OffsetX(), oy = sp->OffsetY();
    const int clientW = WndClientWidth(owner), clientH = WndClientHeight(owner);
    // While a size changes, the part of the client the form has not painted yet stays under
    // the frame's image; a form that never had a client size (its first size, as when its
    // frame is skinned after it was shown) has nothing painted to keep, and its whole client
    // is cut out.
    if ((state & FS_SIZING) && !(sp->Form->FormState() & fsShowing) && !sp->LastClientRect.IsEmpty()) {
      const TSizeConstraints& limits = sp->Form->Constraints;
      int right, bottom;
      if (sp->LastClientRect.Right < clientW)
        right = ox + sp->LastClientRect.Right;
      else
        right = ox + clientW + (NewWidth != 0 && NewWidth > limits.MinWidth ? NewWidth - sp->Form->Width() : 0);
      if (sp->LastClientRect.Bottom < clientH)
        bottom = oy + sp->LastClientRect.Bottom;
      else
        bottom = oy + clientH + (NewHeight != 0 && NewHeight > limits.MinHeight ? NewHeight - sp->Form->Height() : 0);
      client = TRect{ox, oy, right, bottom};
    } else {
      int extraW = 0, extraH = 0;
      SCROLLBARINFO info{};
      info.cbSize = sizeof(info);
      const DWORD hidden = STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
      if (GetScrollBarInfo(owner, OBJID_VSCROLL, &info) && !(info.rgstate[0] & hidden))
        extraW = info.rcScrollBar.right - info.rcScrollBar.left;
      if (GetScrollBarInfo(owner, OBJID_HSCROLL, &info) && !(info.rgstate[0] & hidden))
        extraH = info.rcScrollBar.bottom - info.rcScrollBar.top;
      client = TRect{ox, oy, ox + clientW + extraW, oy + clientH + extraH};
      if (sp->LinesCount() > 0 && !(state & FS_ACTIVATE)) client.Top -= sp->LinesCount() * sp->MenuHeight();
    }
  } else if (FDialog && owner) {
    const int bw = BorderFormBorderWidth(this);
    const int cacheH = SkinData && SkinData->FCacheBmp ? SkinData->FCacheBmp->Height() : h;
    const int left = shadow.Left + bw;
    client = TRect{left, FDialog->OffsetY(), left + WndClientWidth(owner), cacheH - bw - shadow.Bottom};
  } else {
    return rgn;
  }
  if (!rgn) rgn = CreateRectRgn(0, 0, w, h);
  HRGN hole = CreateRectRgn(client.Left, client.Top, client.Right, client.Bottom);
  CombineRgn(rgn, rgn, hole, RGN_XOR);
  DeleteObject(hole);
  return rgn;
}

void TacBorderForm::UpdateRgn() {
  if (!ResetRgn) return;
  ResetRgn = false;
  if (HWND wnd = HandleOf(AForm)) SetWindowRgn(wnd, MakeRgn(0, 0), FALSE);
}

// ---- hit test ------------------------------------------------------------------------

int TacBorderForm::ButtonOrdinal(const TPoint& P) {
  if (sp) {
    if (!sp->SystemMenu || !sp->Form) return 0;
    int n = 0;
    if (sp->Form->BorderIcons() & biSystemMenu) {
      n = 1;
      if (Holds(sp->ButtonClose.cpRect, P)) return 1;
      if (sp->SystemMenu->VisibleMax() && (++n, Holds(sp->ButtonMax.cpRect, P))) return n;
      if (sp->SystemMenu->VisibleMin() && (++n, Holds(sp->ButtonMin.cpRect, P))) return n;
      if ((sp->Form->BorderIcons() & biHelp) && (++n, Holds(sp->ButtonHelp.cpRect, P))) return n;
    }
    TsTitleButtons& buttons = sp->TitleButtons();
    for (int i = 0; i < buttons.Count(); ++i) {
      ++n;
      if (buttons.Items(i)->Visible && Holds(buttons.Items(i)->Data.cpRect, P)) return n;
    }
    if (TsTitleBar* bar = sp->TitleBar()) {
      for (int i = 0; i < bar->Items().Count(); ++i) {
        const TacTitleBarItem* item = bar->Items()[i];
        ++n;
        if (item->Visible() && Holds(item->Rect, P))
          return (item->Style() == bsSpacing || item->Style() == bsInfo) ? 0 : n;
      }
    }
    return 0;
  }
  if (FDialog) {
    TacDialogWnd& d = *FDialog;
    if (Holds(d.ButtonClose.cpRect, P)) return 1;
    int n = 1;
    if (d.VisibleMax() && (++n, Holds(d.ButtonMax.cpRect, P))) return n;
    if (d.VisibleMin() && (++n, Holds(d.ButtonMin.cpRect, P))) return n;
    if (d.VisibleHelp() && (++n, Holds(d.ButtonHelp.cpRect, P))) return n;
  }
  return 0;
}

int TacBorderForm::Ex_WMNCHitTest(TMessage& Message) {
  HWND owner = OwnerHandle();
  HWND wnd = HandleOf(AForm);
  if (!owner || !wnd) return HTNOWHERE;
  // 1.
  if (sp) {
    Message.Result = 0;
    if (TsSkinManager* manager = Manager(); manager && (manager->ManagerState & msAnimScaling)) return HTNOWHERE;
    if (sp->OnExtHitTest) {
      sp->OnExtHitTest(sp, Message);
      if (Message.Result != 0) return static_cast<int>(Message.Result);
    }
  }
  // 2.
  if (!IsWindowEnabled(owner)) return HTTRANSPARENT;
  const TRect bounds = WindowRectOf(wnd);
  const TPoint p{static_cast<short>(LOWORD(Message.LParam)) - bounds.Left,
                 static_cast<short>(HIWORD(Message.LParam)) - bounds.Top};
  const int w = bounds.Width(), h = bounds.Height();
  const TRect shadow = ShadowSize();
  const bool iconic = IsIconic(owner) != FALSE;

  // 3. Caption buttons, user title buttons and title-bar items.
  if ((sp && sp->SystemMenu && sp->Form) || FDialog) {
    // What the owner's caption buttons show and allow: the form's system menu, or the dialog.
    bool sm, visibleClose, visibleMax, visibleMin, enabledClose, enabledMax, enabledMin, enabledRestore;
    if (sp) {
      TsSystemMenu& menu = *sp->SystemMenu;
      sm = (sp->Form->BorderIcons() & biSystemMenu) != 0;
      visibleClose = menu.VisibleClose(), visibleMax = menu.VisibleMax(), visibleMin = menu.VisibleMin();
      enabledClose = menu.EnabledClose(), enabledMax = menu.EnabledMax(), enabledMin = menu.EnabledMin();
      enabledRestore = menu.EnabledRestore();
    } else {
      TacDialogWnd& d = *FDialog;
      sm = visibleClose = d.VisibleClose();
      visibleMax = d.VisibleMax(), visibleMin = d.VisibleMin();
      enabledClose = d.EnabledClose(), enabledMax = d.EnabledMax(), enabledMin = d.EnabledMin();
      enabledRestore = d.EnabledRestore();
    }
    const bool hs = (GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0;
    const int a = ButtonOrdinal(p);
    const int count = sm ? 1 + int(visibleMax) + int(visibleMin || iconic) + int(hs) : 0;
    const int buttons = sp ? sp->TitleButtons().Count() : 0;
    if (a == 0 || (FDialog && a > count)) {
      // not a caption button: on with the bands
    } else if (sp && a > count + buttons && sp->TitleBar()) {
      const int i = a - count - buttons - 1;
      if (i >= 0 && i < sp->TitleBar()->Items().Count()) {
        const TacTitleBarItem& item = *sp->TitleBar()->Items()[i];
        if (item.Enabled() && !(item.Style() == bsTab && item.Down())) return 2000 + i;
      }
    } else if (sp && count < a) {
      const int j = a - count - 1;
      if (j < buttons && sp->TitleButtons().Items(j)->Enabled) return 1000 + j;
    } else if (a == 1) {
      if (sm) {
        if (FDialog) return enabledClose ? HTCLOSE : HTNOWHERE;
        if (!visibleClose) return HTNOWHERE;
        return enabledClose ? HTCLOSE : HTCAPTION;
      }
    } else if (a == 2) {
      if (visibleMax) return enabledMax || (enabledRestore && !iconic) ? HTMAXBUTTON : HTCAPTION;
      if (visibleMin || iconic) return enabledMin ? HTMINBUTTON : HTCAPTION;
      if (hs) return HTHELP;
    } else if (a == 3) {
      if (visibleMin || iconic) return iconic || enabledMin ? HTMINBUTTON : HTCAPTION;
      if (hs) return HTHELP;
    } else if (a == 4) {
      if (hs && visibleMax) return HTHELP;
    }
  }

  // 4. Resize bands in the shadow, outside the form's edge.
  TacSkinData* data = BorderSkinData(this);
  if (data && !IsZoomed(owner) && HasThickFrame(owner)) {
    bool top = false, bottom = false, left = false, right = false;
    if (data->ExDrawMode == 1) {
      const TRect r{shadow.Left - data->ExShadowOffs, shadow.Top - data->ExShadowOffsT,
                    w + data->ExShadowOffsR - shadow.Right, h + data->ExShadowOffsB - shadow.Bottom};
      const int d = SysBorderWidth(owner, this, false);
      if (Holds(r, p)) {
        top = p.Y >= r.Top && p.Y <= r.Top + 4;
        bottom = p.Y >= r.Bottom - d && p.Y <= r.Bottom;
        left = p.X >= r.Left && p.X <= r.Left + d;
        right = p.X >= r.Right - d && p.X <= r.Right;
      }
    } else {
      const int c = std::max(data->ExBorderWidth, 6);
      top = p.Y >= shadow.Top - c && p.Y <= shadow.Top;
      bottom = p.Y >= h - shadow.Bottom && p.Y <= h - shadow.Bottom + c;
      left = p.X >= shadow.Left - c && p.X <= shadow.Left;
      right = p.X >= w - shadow.Right && p.X <= w - shadow.Right + c;
    }
    int code = bottom ? HTBOTTOM : top ? HTTOP : 0;
    if (left) code = code == HTTOP ? HTTOPLEFT : code == HTBOTTOM ? HTBOTTOMLEFT : HTLEFT;
    if (right) code = code == HTTOP ? HTTOPRIGHT : code == HTBOTTOM ? HTBOTTOMRIGHT : HTRIGHT;
    if (code != 0) return code;
  }

  // 5. Caption, with the top shadow.
  const int titleBottom = SysBorderHeight(owner, this, true) + CaptionHeight(true);
  if (p.Y >= 0 && p.Y <= titleBottom + shadow.Top) return Holds(IconRect(), p) ? HTSYSMENU : HTCAPTION;
  // 6. Menu line, without the top shadow.
  if (p.Y <= titleBottom + MenuHeight()) return HTMENU;
  // 7.
  if (!Holds(TRect{shadow.Left, shadow.Top, w - shadow.Right, h - shadow.Bottom}, p)) return HTTRANSPARENT;
  // 8. Size grip. The square between the form's own scroll bars is measured from the form
  // window's corner: it is moved by the form's place in the border window before the test.
  if (sp && data) {
    TRect square = OwnScrollGripSquare(owner);
    const int ox = OffsetX(), oy = OffsetY();
    square = TRect{square.Left + ox, square.Top + oy, square.Right + ox, square.Bottom + oy};
    TsSkinManager* manager = Manager();
    if ((GripVisible(sp) || Holds(square, p)) && manager && manager->IsValidImgIndex(data->GripRightBottom, data)) {
      const TPoint grip = sp->GripPosition(data->GripRightBottom);
      if (p.X > grip.X && p.Y > grip.Y) return HTBOTTOMRIGHT;
    }
  }
  return HTTRANSPARENT;
}

bool TacBorderForm::Ex_WMSetCursor(TMessage& Message) {
  TsSkinManager* manager = Manager();
  if (manager && (manager->ManagerState & msAnimScaling)) return false;
  POINT cursor{};
  GetCursorPos(&cursor);
  TMessage test{WM_NCHITTEST, 0, MAKELPARAM(cursor.x, cursor.y), 0};
  const int code = Ex_WMNCHitTest(test);
  Message.LParam = MAKELPARAM(static_cast<WORD>(code), HIWORD(Message.LParam));
  TMessage mouse{WM_NCMOUSEMOVE, 0, MAKELPARAM(cursor.x, cursor.y), 0};  // a screen point
  if (MouseAboveTheShadow(mouse)) return false;
  LPCWSTR id = nullptr;
  switch (code) {
    case HTCAPTION:
    case HTMENU: id = IDC_ARROW; break;
    case HTLEFT:
    case HTRIGHT: id = IDC_SIZEWE; break;
    case HTTOP:
    case HTBOTTOM: id = IDC_SIZENS; break;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: id = IDC_SIZENWSE; break;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: id = IDC_SIZENESW; break;
    default: return false;
  }
  SetCursor(LoadCursorW(nullptr, id));
  return true;
}

bool TacBorderForm::MouseAboveTheShadow(TMessage& Message) {
  if ((FormState() & FS_BLENDMOVING) || Locked) return false;
  TsSkinManager* manager = Manager();
  if (manager && (manager->ManagerState & msAnimScaling)) return false;
  UpdateRgn();
  if (Application().Terminated() || !SkinData || !AForm || !manager || !manager->IsActive()) return false;
  HWND wnd = HandleOf(AForm);
  TacSkinData* data = BorderSkinData(this);
  if (!wnd || !data) return false;
  const TRect bounds = WindowRectOf(wnd);
  TPoint p{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
  if (Message.Msg != WM_MOUSEMOVE) p = TPoint{p.X - bounds.Left, p.Y - bounds.Top};
  if (OwnerZoomed()) return false;
  const int w = bounds.Width(), h = bounds.Height();
  const TRect s = ShadowSize();
  bool inside;
  if (data->ExDrawMode == 1) {
    inside = p.X >= s.Left - data->ExShadowOffs && p.X <= w + data->ExShadowOffsR - s.Right &&
             p.Y >= s.Top - data->ExShadowOffsT && p.Y <= h + data->ExShadowOffsB - s.Bottom;
  } else {
    const int a = std::max(6, data->ExBorderWidth);
    inside = p.X >= s.Left - a && p.X <= w + a - s.Right && p.Y >= s.Top - a && p.Y <= h + a - s.Bottom;
  }
  if (inside) return false;
  SetHotHT(-1);
  return true;
}

// ---- window procedure ----------------------------------------------------------------

void TacBorderForm::SendToOwner(TMessage& Message, WPARAM WParam) {
  if (HWND owner = OwnerHandle()) Message.Result = SendMessageW(owner, Message.Msg, WParam, Message.LParam);
}

void TacBorderForm::BorderProc(TMessage& Message) {
  auto alive = FAlive;
  auto old = [&] {
    if (OldBorderProc) {
      const TWndMethod proc = OldBorderProc;
      proc(Message);
    }
  };
  switch (Message.Msg) {
    case WM_NCHITTEST: {
      const bool above = MouseAboveTheShadow(Message);
      old();
      if (*alive) Message.Result = above ? HTTRANSPARENT : HTOBJECT;
      return;
    }
    case WM_ERASEBKGND:
    case WM_NCPAINT:
    case WM_DPICHANGED: return;
    case WM_ENABLE:
    case WM_CANCELMODE: old(); return;
    case WM_MOUSEACTIVATE: {
      Message.Result = MA_NOACTIVATE;
      HWND owner = OwnerHandle();
      bool may = false;
      if (sp && sp->Form)
        may = sp->Form->Enabled() && owner && !(GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_NOACTIVATE);
      else if (FDialog)
        may = owner && IsWindowEnabled(owner);
      if (may) SetForegroundWindow(owner);
      return;
    }
    case WM_SETFOCUS:
      if (sp && sp->Form && !sp->Form->Destroying()) {
        HWND owner = OwnerHandle();
        if (owner && IsWindowVisible(owner) && sp->Form->CanFocus() && sp->Form->Enabled() && sp->Form->Visible())
          SetFocus(owner);
      }
      return;
    case WM_SETCURSOR:
      if (sp && sp->TitleBar() && sp->CurrentHT >= 2000 &&
          sp->CurrentHT < 2000 + sp->TitleBar()->Items().Count())
        return;
      if (!Ex_WMSetCursor(Message)) old();
      else Message.Result = TRUE;
      return;
    case WM_SHOWWINDOW: HandleShowWindow(Message); return;
    case WM_MOVE:
      if (sp) {
        HWND wnd = HandleOf(AForm);
        const bool keep = (FormState() & FS_BLENDMOVING) && wnd && WindowRectOf(wnd).Top >= MinTopCoord() && !MovRgnChanged;
        if (!keep) {
          ResetRgn = true;
          UpdateRgn();
        }
        sp->MoveGluedForms(true);
      }
      old();
      return;
    case WM_WINDOWPOSCHANGING:
      if (sp && (FormState() & FS_BLENDMOVING) && sp->ScreenSnap && sp->BorderForm == this && AForm &&
          AForm->HandleAllocated() && !OwnerZoomed()) {
        // The border window is dragged: its position is turned into the form's, snapped, and
        // turned back.
        auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
        if (pos && !(pos->flags & SWP_NOMOVE) && (pos->x != 0 || pos->y != 0)) {
          TacSkinData* data = SkinData ? SkinData->ReadCommonSkinData() : nullptr;
          int dx = 0, dy = 0;
          if (data && data->ExDrawMode != 0) {
            dx = BorderFormBorderDiff(this) + data->ExContentOffs;
            dy = BorderFormTitleDiff(this) + data->ExContentOffs;
          } else {
            const TRect shadow = ShadowSize();
            dx = shadow.Left + BorderFormBorderDiff(this);
            dy = shadow.Top + BorderFormTitleDiff(this);
          }
          int x = pos->x + dx, y = pos->y + dy;
          sp->SnapFormPosition(x, y);
          pos->x = x - dx;
          pos->y = y - dy;
        }
      }
      old();
      if (*alive && sp && sp->BorderForm == this && AForm && AForm->HandleAllocated()) {
        const TRect r = WindowRectOf(AForm->Handle());
        LastTopLeft = TPoint{r.Left, r.Top};
      }
      return;
    case WM_WINDOWPOSCHANGED: {
      KillAnimations();
      old();
      if (!*alive || !sp || !sp->Form || !sp->Form->HandleAllocated()) return;
      HWND owner = sp->Form->Handle();
      if (IsIconic(owner) && !(FormState() & FS_ANIMMINIMIZING)) {
        if (SkinData) SkinData->BGChanged = true;
        UpdateExBordersPos(false, 255);
        if (!*alive) return;
      }
      if (sp->Form->FormStyle() == fsStayOnTop && AForm && AForm->HandleAllocated()) {
        const HWND after = IsDwmCompositionOn() && Application().MainForm() == sp->Form && GetActiveWindow() == owner
                               ? GetTopWnd()
                               : owner;
        SetWindowPos(AForm->Handle(), after, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER |
                         SWP_NOSENDCHANGING);
      }
      return;
    }
    case WM_NCMOUSEMOVE: HandleNCMouseMove(Message); return;
    case WM_NCLBUTTONDOWN: HandleNCLButtonDown(Message); return;
    case WM_NCLBUTTONUP:
      if (MouseAboveTheShadow(Message)) return;
      MaxMoving = false;
      SendToOwner(Message, static_cast<WPARAM>(-1));
      return;
    case WM_NCLBUTTONDBLCLK: HandleNCLButtonDblClk(Message); return;
    case WM_NCRBUTTONDOWN: {
      if (MouseAboveTheShadow(Message)) return;
      const int code = Ex_WMNCHitTest(Message);
      SendToOwner(Message, static_cast<WPARAM>(code));
      return;
    }
    case WM_NCRBUTTONUP:
      if (MouseAboveTheShadow(Message)) return;
      SendToOwner(Message, static_cast<WPARAM>(-1));
      return;
    default:
      if (Message.Msg >= WM_MOUSEMOVE && Message.Msg <= WM_MBUTTONDBLCLK) {
        HandleClientMouse(Message);
        return;
      }
      old();
  }
}

void TacBorderForm::HandleClientMouse(TMessage& Message) {
  if (!MouseAboveTheShadow(Message) || FormState() != 0) return;
  if (TsSkinManager* manager = Manager()) manager->FActiveGraphControl = nullptr;
  HWND wnd = HandleOf(AForm);
  if (!wnd) return;
  acInMouseMsg = true;
  // A 1 x 1 hole under the pointer: the next message at that point reaches the window below.
  const int x = static_cast<short>(LOWORD(Message.LParam)), y = static_cast<short>(HIWORD(Message.LParam));
  HRGN rgn = MakeRgn(0, 0);
  if (!rgn) {
    const TRect r = WindowRectOf(wnd);
    rgn = CreateRectRgn(0, 0, r.Width(), r.Height());
  }
  HRGN hole = CreateRectRgn(x, y, x + 1, y + 1);
  CombineRgn(rgn, rgn, hole, RGN_XOR);
  DeleteObject(hole);
  if (sp && sp->Form && sp->Form->Modal())
    DeleteObject(rgn);  // a modal form's shadow keeps its region
  else
    SetWindowRgn(wnd, rgn, TRUE);
  ResetRgn = true;
  acInMouseMsg = false;
}

void TacBorderForm::HandleShowWindow(TMessage& Message) {
  auto old = [&] {
    if (OldBorderProc) {
      const TWndMethod proc = OldBorderProc;
      proc(Message);
    }
  };
  TsSkinManager* manager = Manager();
  const bool mainForm = sp && sp->Form && Application().MainForm() == sp->Form;
  if (mainForm && Application().MainFormOnTaskBar && LayeredWindowsAvailable() && !AnimationInProgress &&
      sp->NonClientSkinned()) {
    const bool hide = Message.WParam == 0 && (Message.LParam == 0 || Message.LParam == SW_PARENTCLOSING);
    if (hide) {
      if (FormState() & FS_ANIMMINIMIZING) {
        Message.Result = 0;
        return;
      }
      if (FormState() & FS_ANIMCLOSING) return;
      if (sp->AllowAnimation && manager && manager->AnimEffects.FormHide.Active && manager->Effects.AllowAnimation &&
          manager->ShowState != saMinimize) {
        sp->SetFormState(sp->FormState() | FS_ANIMCLOSING);
        if (std::unique_ptr<TBitmap> image = MakeFormImage(sp, true); image && SkinData)
          SkinData->FCacheBmp = std::move(image);
        ExBorderShowing = true;
        return;  // the border window stays for the hide animation
      }
    }
    old();
    return;
  }
  if (mainForm) {
    if ((!Application().Terminated() && !Application().MainFormOnTaskBar) || Message.WParam == 1) old();
    return;
  }
  // Other forms and dialogs: their border windows are shown and hidden by their owners alone.
}

void TacBorderForm::HandleNCMouseMove(TMessage& Message) {
  TsSkinManager* manager = Manager();
  if (manager) manager->FActiveGraphControl = nullptr;
  POINT cursor{};
  GetCursorPos(&cursor);
  if (LeftPressed) {
    if (HWND wnd = HandleOf(AForm)) {
      const TRect r = WindowRectOf(wnd);
      SetWindowPos(wnd, nullptr, r.Left + cursor.x - LastMousePos.X, r.Top + cursor.y - LastMousePos.Y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LastMousePos = TPoint{cursor.x, cursor.y};
    return;
  }
  const int code = Ex_WMNCHitTest(Message);
  Message.Result = code;
  if (HotCode(code)) {
    SetHotHT(code);
    return;
  }
  SetHotHT(0);
  if (!MaxMoving || !sp || !sp->Form || !OwnerZoomed()) return;
  if (std::abs(cursor.x - LastMousePos.X) > 5 || std::abs(cursor.y - LastMousePos.Y) > 5) {
    auto alive = FAlive;
    TForm* form = sp->Form;
    ExBorderShowing = true;
    form->SetWindowState(wsNormal);
    if (!*alive) return;
    const int width = form->Width(), height = form->Height();
    const int y = cursor.y >= 0 && cursor.y <= 24 ? -8 : cursor.y - 8;
    form->SetBounds(cursor.x - width / 2, y, width, height);
    if (!*alive) return;
    ExBorderShowing = false;
    if (manager && manager->AnimEffects.BlendOnMoving.Active && manager->AnimEffects.BlendOnMoving.BlendValue != 255 &&
        sp->AllowBlendOnMoving) {
      if (form->HandleAllocated()) SetActiveWindow(form->Handle());
      StartBlendOnMoving(sp, true);
    } else {
      TMessage press{WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(cursor.x, cursor.y), 0};
      HandleNCLButtonDown(press);
    }
    if (!*alive) return;
    MaxMoving = false;
  }
}

void TacBorderForm::HandleNCLButtonDown(TMessage& Message) {
  if (MouseAboveTheShadow(Message)) return;
  auto alive = FAlive;
  if (PopupController) PopupController->KillAllForms();
  if (!*alive) return;
  ExBorderShowing = false;
  WPARAM wparam = MaxMoving ? Message.WParam : static_cast<WPARAM>(-1);
  const int code = Ex_WMNCHitTest(Message);
  TsSkinManager* manager = Manager();
  if (code == HTCAPTION && sp) {
    if (OwnerZoomed()) {
      MaxMoving = true;
      POINT cursor{};
      GetCursorPos(&cursor);
      LastMousePos = TPoint{cursor.x, cursor.y};
      return;
    }
    const TacBlendOnMoving* blend = manager ? &manager->AnimEffects.BlendOnMoving : nullptr;
    if (blend && blend->Active && !OwnerIconic() &&
        (!IsDwmCompositionOn() || (blend->BlendValue != 255 && sp->AllowBlendOnMoving))) {
      StartBlendOnMoving(sp, true);
      return;
    }
  } else if (code == HTSYSMENU) {
    wparam = HTSYSMENU;
  }
  SendToOwner(Message, wparam);
}

void TacBorderForm::StretchEdge(int HitCode) {
  TForm* form = sp->Form;
  if (form->BorderStyle() != bsSizeable) return;
  const TRect work = FormMonitorWorkArea(form);
  TRect& normal = sp->NormalBounds;
  if (HitCode == HTLEFT || HitCode == HTRIGHT) {
    if (sp->FormState() & FS_FULLWIDTH) {
      // The flag goes before the move: the move of a form still stretched keeps its size.
      sp->SetFormState(sp->FormState() & ~FS_FULLWIDTH);
      form->SetBounds(normal.Left, form->Top(), normal.Right, form->Height());
    } else {
      normal.Left = form->Left();
      normal.Right = form->Width();
      const int diff = BorderFormBorderDiff(this);
      // The flag comes after the move: the move of a form still stretched keeps its size.
      form->SetBounds(work.Left + diff, form->Top(), work.Width() - 2 * diff, form->Height());
      sp->SetFormState(sp->FormState() | FS_FULLWIDTH);
    }
  } else {
    if (sp->FormState() & FS_FULLHEIGHT) {
      sp->SetFormState(sp->FormState() & ~FS_FULLHEIGHT);
      form->SetBounds(form->Left(), normal.Top, form->Width(), normal.Bottom);
    } else {
      normal.Top = form->Top();
      normal.Bottom = form->Height();
      const int title = BorderFormTitleDiff(this), diff = BorderFormBorderDiff(this);
      form->SetBounds(form->Left(), work.Top + title, form->Width(), work.Height() - title - diff);
      sp->SetFormState(sp->FormState() | FS_FULLHEIGHT);
    }
  }
}

void TacBorderForm::HandleNCLButtonDblClk(TMessage& Message) {
  MaxMoving = false;
  if (sp && sp->ResizeMode() == rmBorder && sp->bInProcess) {
    // A frame resize in process ends here.
    ReleaseCapture();
    sp->bInProcess = false;
  }
  const int code = Ex_WMNCHitTest(Message);
  Message.WParam = static_cast<WPARAM>(code);
  if (!sp || !sp->Form) return;
  TForm* form = sp->Form;
  HWND owner = OwnerHandle();
  if (!owner) return;
  switch (code) {
    case HTCAPTION: {
      const bool iconic = IsIconic(owner) != FALSE;
      TsSystemMenu* menu = sp->SystemMenu.get();
      const bool allowed = (form->BorderIcons() & biSystemMenu) && menu && (menu->EnabledMax() || menu->EnabledRestore());
      if (allowed || (!form->Visible() && iconic)) {
        const WPARAM command = form->WindowState() == wsMaximized || iconic ? SC_RESTORE : SC_MAXIMIZE;
        auto alive = FAlive;
        SendMessageW(owner, WM_SYSCOMMAND, command, 0);
        if (!*alive) return;
        if (sp->SystemMenu) sp->SystemMenu->UpdateItems();
      } else if (iconic) {
        SendMessageW(owner, WM_SYSCOMMAND, SC_RESTORE, 0);
      }
      Message.WParam = 0;
      return;
    }
    case HTSYSMENU: SendMessageW(owner, WM_SYSCOMMAND, SC_CLOSE, 0); return;
    case HTLEFT:
    case HTRIGHT:
    case HTTOP:
    case HTBOTTOM: StretchEdge(code); return;
    default:
      if (code >= 2000 && code <= 2255 && sp->TitleBar()) {
        // A title-bar item's second click: tabs, spacers, information fields and drop-down
        // items take it as a press; any other item gets the click once more.
        const int i = code - 2000;
        if (i >= sp->TitleBar()->Items().Count()) return;
        TacTitleBarItem* item = sp->TitleBar()->Items()[i];
        item->FreeFade();
        const TacBtnStyle style = item->Style();
        if (style == bsTab || style == bsSpacing || style == bsInfo || item->HasDropdown()) {
          item->DoMouseDown(mbLeft, 0, static_cast<short>(LOWORD(Message.LParam)),
                            static_cast<short>(HIWORD(Message.LParam)));
        } else if (HWND wnd = HandleOf(AForm)) {
          auto alive = FAlive;
          SendMessageW(wnd, WM_NCLBUTTONDOWN, Message.WParam, Message.LParam);
          if (*alive) SendMessageW(wnd, WM_NCLBUTTONUP, Message.WParam, Message.LParam);
        }
      }
      return;
  }
}
