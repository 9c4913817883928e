#include "skin/graphics/acLayeredAnim.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/acntUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.h"

bool AnimationInProgress = false;

const int ShowCommands[3] = {SW_SHOWNORMAL, SW_SHOWMINNOACTIVE, SW_SHOWMAXIMIZED};

namespace {

// No colour key: the layered functions take it with ULW_ALPHA / LWA_ALPHA only.
constexpr COLORREF NoColorKey = 0x1FFFFFFF;

void SetStyleBits(HWND wnd, int index, LONG_PTR bits, bool on) {
  const LONG_PTR style = GetWindowLongPtrW(wnd, index);
  const LONG_PTR next = on ? (style | bits) : (style & ~bits);
  if (next != style) SetWindowLongPtrW(wnd, index, next);
}

}  // namespace

bool SetLayeredAlpha(HWND Wnd, bool Enable, std::uint8_t Alpha) {
  if (Enable && LayeredWindowsAvailable()) {
    const bool added = (GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED) == 0;
    if (added) SetStyleBits(Wnd, GWL_EXSTYLE, WS_EX_LAYERED, true);
    if (SetLayeredWindowAttributesEntry) SetLayeredWindowAttributesEntry(Wnd, NoColorKey, Alpha, LWA_ALPHA);
    return added;
  }
  SetStyleBits(Wnd, GWL_STYLE, WS_VISIBLE, false);
  SetStyleBits(Wnd, GWL_EXSTYLE, WS_EX_LAYERED, false);
  return false;
}

void ShowBitmapLayered(HWND Wnd, TBitmap* Bmp, std::uint8_t Alpha, const TPoint* Point) {
  // Without the layered entry there is nothing to push to: the caller's other path shows the
  // window (the skin change's cover window).
  if (!UpdateLayeredWindowEntry || !Wnd) return;
  std::unique_ptr<TBitmap> blank;
  if (!Bmp) {
    RECT r{};
    GetWindowRect(Wnd, &r);
    blank = NewBitmap32(r.right - r.left, r.bottom - r.top);
    Bmp = blank.get();
  }
  if ((GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED) == 0) {
    // Without composition a window turning layered would keep its last image on the desktop:
    // it is taken off the screen while the style changes and the desktop below repainted.
    const bool composed = IsDwmCompositionOn();
    const bool visible = (GetWindowLongPtrW(Wnd, GWL_STYLE) & WS_VISIBLE) != 0;
    if (!composed && visible) SetStyleBits(Wnd, GWL_STYLE, WS_VISIBLE, false);
    SetStyleBits(Wnd, GWL_EXSTYLE, WS_EX_LAYERED, true);
    if (!composed) {
      RECT r{};
      GetWindowRect(Wnd, &r);
      RedrawWindow(nullptr, &r, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      if (visible) SetStyleBits(Wnd, GWL_STYLE, WS_VISIBLE, true);
    }
  }
  SetStyleBits(Wnd, GWL_EXSTYLE, WS_EX_LAYERED, true);
  HDC screen = GetDC(nullptr);
  POINT pos{};
  if (Point) pos = POINT{Point->X, Point->Y};
  SIZE size{Bmp->Width(), Bmp->Height()};
  POINT src{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, Alpha, AC_SRC_ALPHA};
  HDC bmpDC = Bmp->Empty() ? nullptr : Bmp->Canvas().Handle();
  UpdateLayeredWindowEntry(Wnd, screen, Point ? &pos : nullptr, &size, bmpDC, &src, NoColorKey, &blend, ULW_ALPHA);
  ReleaseDC(nullptr, screen);
}

void ClearRectsInBitmap(const std::vector<TRect>& Rects, TBitmap* Bmp) {
  if (!Bmp) return;
  // FillRectArgb clips to the bitmap: corner rectangles come from skin masks and may reach
  // past a small window's edge.
  for (const TRect& r : Rects) FillRectArgb(Bmp, r, 0, 0);
}

// ---------------------------------------------------------------------------
// Frame geometry
// ---------------------------------------------------------------------------

TacShowFrames::TacShowFrames(int Width, int Height, int Frames, std::uint8_t Alpha, TacAnimType Mode, bool Dialog)
    : FWidth(Width), FHeight(Height), FFrames(Frames), FMaxAlpha(Alpha), FMode(Mode) {
  FStep = Frames > 0 ? FMaxAlpha / (Dialog ? Frames + 1 : Frames) : FMaxAlpha;
  FR = Width;
  FB = Height;
  if (Mode == atAero) {
    FL = Width / 32.0;
    FT = Height / 32.0;
    FR = Width - FL;
    FB = Height - FT;
    if (Frames > 0) {
      FDX = FL / Frames;
      FDY = FT / Frames;
    }
  } else if (Mode == atDropDown) {
    FB = 0;
    FDropStep = Height / 2.0;
  }
}

bool TacShowFrames::Next(TacShowFrame& Frame) {
  // Below one period there are no frames in between: the caller shows the final image.
  if (FFrames <= 0 || FEnded || FIndex > FFrames) return false;
  Frame.Index = FIndex++;
  FCurrent = std::min(FMaxAlpha, FCurrent + FStep);
  Frame.Current = FCurrent;
  Frame.Unscaled = false;
  switch (FMode) {
  case atFading:
    Frame.Dest = Rect(0, 0, FWidth, FHeight);
    Frame.Alpha = static_cast<std::uint8_t>(RoundHalfEven(FCurrent));
    break;
  case atAero:
    Frame.Dest = Rect(RoundHalfEven(FL), RoundHalfEven(FT), RoundHalfEven(FR), RoundHalfEven(FB));
    // Past the whole image (rounding of the growth): the image as it is.
    Frame.Unscaled = FL < 0 || FT < 0;
    if (Frame.Unscaled) Frame.Dest = Rect(0, 0, FWidth, FHeight);
    Frame.Alpha = static_cast<std::uint8_t>(RoundHalfEven(FCurrent));
    FL -= FDX;
    FT -= FDY;
    FR += FDX;
    FB += FDY;
    break;
  case atDropDown:
    Frame.Dest = Rect(0, 0, FWidth, RoundHalfEven(FB));
    Frame.Alpha = 255;
    FB = FHeight - FDropStep;
    FDropStep /= 2;
    if (FDropStep < 2) FEnded = true;
    break;
  }
  return true;
}

std::uint8_t OldBorderAlpha(std::uint8_t Alpha, double Current) {
  return static_cast<std::uint8_t>(RoundHalfEven(std::min(255.0, std::max(0.0, 3 * (Alpha - Current)))));
}

std::vector<std::uint8_t> CoverFadeWeights(int Frames) {
  std::vector<std::uint8_t> weights;
  if (Frames <= 0) return weights;
  const double step = 255.0 / Frames;
  for (double w = 255; w > 2; w = std::max(0.0, w - step)) weights.push_back(static_cast<std::uint8_t>(RoundHalfEven(w)));
  return weights;
}

void DrawShowFrame(TBitmap* Frame, TBitmap* Image, const TacShowFrame& F, TacAnimType Mode) {
  if (!Frame || !Image || Image->Empty()) return;
  HDC dst = Frame->Canvas().Handle();
  HDC src = Image->Canvas().Handle();
  const int w = Image->Width(), h = Image->Height();
  if (Mode == atFading) {
    // The image does not move: it is copied once.
    if (F.Index == 0) BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);
    return;
  }
  if (F.Unscaled) {
    BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);
    return;
  }
  if (F.Dest.Width() <= 0 || F.Dest.Height() <= 0) return;
  SetStretchBltMode(dst, COLORONCOLOR);
  StretchBlt(dst, F.Dest.Left, F.Dest.Top, F.Dest.Width(), F.Dest.Height(), src, 0, 0, w, h, SRCCOPY);
}

// ---------------------------------------------------------------------------
// Show animations
// ---------------------------------------------------------------------------

namespace {

constexpr UINT RedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;  // 0x585
constexpr UINT QuietPos = SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;

// One push of Bmp to the layered window through the entry; nothing without it.
void PushLayered(HWND wnd, HDC screen, const TPoint* pos, TBitmap* bmp, std::uint8_t alpha) {
  if (!UpdateLayeredWindowEntry || !wnd || !bmp || bmp->Empty()) return;
  POINT p{};
  if (pos) p = POINT{pos->X, pos->Y};
  SIZE size{bmp->Width(), bmp->Height()};
  POINT src{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
  UpdateLayeredWindowEntry(wnd, screen, pos ? &p : nullptr, &size, bmp->Canvas().Handle(), &src, NoColorKey, &blend,
                           ULW_ALPHA);
}

bool IsTopmost(HWND wnd) { return (GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

void AddExStyle(HWND wnd, LONG_PTR bits) { SetStyleBits(wnd, GWL_EXSTYLE, bits, true); }

// A form's transparency after its show: its own alpha when it blends, else opaque and not
// layered (with composition it passes through alpha 255 so that it does not flash).
void GiveFinalTransparency(TForm* form) {
  HWND wnd = form->Handle();
  if (form->AlphaBlend()) {
    SetLayeredAlpha(wnd, true, form->AlphaBlendValue());
    return;
  }
  if (IsDwmCompositionOn()) SetLayeredAlpha(wnd, true, 255);
  SetStyleBits(wnd, GWL_EXSTYLE, WS_EX_LAYERED, false);
}

bool IsWindows60() {
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(&v);
#pragma GCC diagnostic pop
  return v.dwMajorVersion == 6 && v.dwMinorVersion == 0;
}

// What one show animation holds: given back on every way out, also by an exception. The
// flag gets its value from before; a window made for the animation is freed (a border window
// is the border form's and stays); a form already made see-through gets its final
// transparency, so it never stays invisible.
struct TShowScope {
  TacAnimationGuard Flag;
  TacGlowForm* OwnWindow = nullptr;
  std::unique_ptr<TBitmap> Image, Frame;
  HDC Screen = nullptr;
  TForm* TransparentForm = nullptr;
  ~TShowScope() {
    if (Screen) ReleaseDC(nullptr, Screen);
    try {
      if (TransparentForm) GiveFinalTransparency(TransparentForm);
    } catch (...) {
    }
    if (OwnWindow) TComponent::Free(OwnWindow);
  }
};

// The frames between the first push and the full image. Dialogs take the tick before
// drawing, forms after.
void PlayShowFrames(HWND wnd, HDC screen, TBitmap* image, TBitmap* frame, int frames, std::uint8_t alpha,
                    TacAnimType mode, bool dialog) {
  TacShowFrames geometry(image->Width(), image->Height(), frames, alpha, mode, dialog);
  for (TacShowFrame f; geometry.Next(f);) {
    DWORD tick = dialog ? CurrentTickCount() : 0;
    DrawShowFrame(frame, image, f, mode);
    if (!dialog) tick = CurrentTickCount();
    PushLayered(wnd, screen, nullptr, frame, f.Alpha);
    if (geometry.Ended()) break;
    WaitUntilTick(tick, FramePeriod);
  }
}

TacGlowForm* NewAnimationWindow(TComponent* owner) { return CreateComponent<TacGlowForm>(owner); }

}  // namespace

void AnimShowSkinForm(TsSkinProvider* Provider, std::uint16_t Time, std::uint8_t Alpha, TacAnimType Mode) {
  if (!Provider || !Provider->FCommonData || !Provider->Form) return;
  TForm* form = Provider->Form;
  HWND formWnd = form->Handle();
  if (IsIconic(formWnd)) return;
  TShowScope scope;
  TacBorderForm* border = Provider->BorderForm;
  TForm* animForm = nullptr;
  if (border) {
    if (!border->AForm) border->CreateNewForm();
    animForm = border->AForm;
    if (animForm) SetWindowRgn(animForm->Handle(), nullptr, FALSE);
    border->PaintAll();
  } else {
    Provider->PaintAll();
    scope.OwnWindow = NewAnimationWindow(&Application());
    animForm = scope.OwnWindow;
  }
  TBitmap* cache = Provider->FCommonData->FCacheBmp.get();
  // Nothing to play: the window made for it goes with the scope.
  if (!cache || cache->Empty() || !animForm) return;
  HWND anim = animForm->Handle();

  scope.Image = NewBitmap32(cache->Width(), cache->Height());
  TBitmap* image = scope.Image.get();
  PaintControlToBitmap(image, form, 0, 0, Provider, false);
  if (!border) {
    TRect opaque = Rect(0, 0, image->Width(), image->Height());
    if (Provider->FUWPMode) Provider->UWPClientRect(opaque);
    ApplyAlphaInRect(image, opaque, 255, static_cast<std::uint32_t>(clNone));
  }
  const int frames = Time / FramePeriod;
  std::uint8_t blendAlpha = frames == 0 ? Alpha : 0;

  RECT wr{};
  GetWindowRect(formWnd, &wr);
  TPoint pos{wr.left, wr.top};
  if (border) {
    TRect shadow;
    Provider->ShadowSize(shadow);
    const int frame = SysBorderWidth(formWnd, border, false);
    const int dx = BorderFormBorderWidth(border) + shadow.Left - frame;
    int dy = border->OffsetY();
    if (IsZoomed(formWnd) && Provider->CaptionHeight(true) < SysCaptionHeight(Provider) + 4) {
      Provider->FSysExHeight = true;
      dy = frame + shadow.Top + BorderFormTitleDiff(border);
    } else {
      Provider->FSysExHeight = false;
    }
    pos = TPoint{wr.left - dx, wr.top - dy};
  } else {
    Provider->UpdateCornerRects();
    ClearRectsInBitmap(Provider->Rects, image);
  }

  AddExStyle(anim, WS_EX_NOACTIVATE);
  HWND insertAfter = formWnd;
  if (IsTopmost(formWnd) || form->FormStyle() == fsStayOnTop) {
    animForm->SetFormStyle(fsStayOnTop);
    SetWindowPos(anim, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | QuietPos);
    AddExStyle(anim, WS_EX_LAYERED);
    insertAfter = HWND_TOPMOST;
  } else if (form->Modal()) {
    animForm->SetFormStyle(fsStayOnTop);
  }

  scope.Screen = GetDC(nullptr);
  AddExStyle(anim, WS_EX_LAYERED);
  PushLayered(anim, scope.Screen, nullptr, image, blendAlpha);
  const int w = image->Width(), h = image->Height();
  animForm->SetBounds(pos.X, pos.Y, w, h);
  SetWindowPos(anim, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | QuietPos);
  ShowWindow(anim, SW_SHOWNOACTIVATE);
  SetWindowPos(anim, insertAfter, pos.X, pos.Y, w, h, SWP_NOCOPYBITS | QuietPos);

  scope.Frame = NewBitmap32(w, h);
  FillRectArgb(scope.Frame.get(), Rect(0, 0, w, h), 0, 0);
  if (frames > 0) PlayShowFrames(anim, scope.Screen, image, scope.Frame.get(), frames, Alpha, Mode, false);
  blendAlpha = Alpha;

  SetWindowPos(anim, nullptr, pos.X, pos.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOCOPYBITS | QuietPos);
  PushLayered(anim, scope.Screen, nullptr, image, blendAlpha);
  scope.Frame.reset();
  ReleaseDC(nullptr, scope.Screen);
  scope.Screen = nullptr;

  Provider->FInAnimation = false;
  SetLayeredAlpha(formWnd, true, 0);
  scope.TransparentForm = form;
  ShowWindow(formWnd, ShowCommands[form->WindowState()]);
  SetWindowPos(formWnd, anim, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | QuietPos);
  GiveFinalTransparency(form);
  scope.TransparentForm = nullptr;

  scope.Flag.Restore();
  if (border) border->ExBorderShowing = true;
  if (IsWindows60()) SetStyleBits(formWnd, GWL_STYLE, WS_VISIBLE, true);
  if (border) Provider->ApplyWindowRgn(true, false);
  RedrawWindow(formWnd, nullptr, nullptr, RedrawAll);
  if (border) border->ExBorderShowing = false;

  scope.Image.reset();
  if (IsDwmCompositionOn()) Sleep(24);
  SetWindowPos(anim, formWnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | QuietPos);
  if (border) {
    if (HRGN rgn = border->MakeRgn()) SetWindowRgn(anim, rgn, FALSE);
    GiveFinalTransparency(form);
  } else {
    TComponent::Free(scope.OwnWindow);
    scope.OwnWindow = nullptr;
  }
  if (Provider->OnAfterAnimation) Provider->OnAfterAnimation(aeShowing);
}

void AnimShowSkinDialog(TacDialogWnd* Dialog, std::uint16_t Time, std::uint8_t Alpha, TacAnimType Mode) {
  if (!Dialog || !IsWindow(Dialog->CtrlHandle)) return;
  TShowScope scope;
  HWND dlg = Dialog->CtrlHandle;
  TacBorderForm* border = Dialog->BorderForm;
  TForm* animForm = nullptr;
  if (border) {
    if (!border->AForm) border->CreateNewForm();
    animForm = border->AForm;
  } else {
    scope.OwnWindow = NewAnimationWindow(&Application());
    animForm = scope.OwnWindow;
  }
  Dialog->PaintAll();
  TBitmap* cache = Dialog->SkinData ? Dialog->SkinData->FCacheBmp.get() : nullptr;
  if (!cache || cache->Empty() || !animForm) return;
  HWND anim = animForm->Handle();

  scope.Image = NewBitmap32(cache->Width(), cache->Height());
  TBitmap* image = scope.Image.get();
  CopyBitmapPixels(image, cache);
  PaintDialogToBitmap(Dialog, image, false);

  const int frames = Time / FramePeriod;
  std::uint8_t blendAlpha = frames == 0 ? Alpha : 0;
  RECT wr{};
  GetWindowRect(dlg, &wr);
  TPoint pos{wr.left, wr.top};
  if (border) {
    TRect shadow;
    Dialog->ShadowSize(shadow);
    const int frame = SysBorderWidth(dlg, border, false);
    const int dx = BorderFormBorderWidth(border) + shadow.Left - frame;
    const int dy = shadow.Top + BorderFormTitleHeight(border) - Dialog->CaptionHeight(false) - frame;
    pos = TPoint{wr.left - dx, wr.top - dy};
  } else {
    Dialog->UpdateCornerRects();
    ClearRectsInBitmap(Dialog->ArOR, image);
  }

  HWND insertAfter = dlg;
  if (IsTopmost(dlg)) {
    animForm->SetFormStyle(fsStayOnTop);
    insertAfter = HWND_TOPMOST;
  }
  AddExStyle(anim, WS_EX_NOACTIVATE | WS_EX_LAYERED);
  const int w = image->Width(), h = image->Height();
  animForm->SetBounds(pos.X, pos.Y, w, h);
  scope.Screen = GetDC(nullptr);
  PushLayered(anim, scope.Screen, nullptr, image, blendAlpha);
  ShowWindow(anim, SW_SHOWNOACTIVATE);
  SetWindowPos(anim, insertAfter, pos.X, pos.Y, w, h, SWP_NOCOPYBITS | QuietPos);

  scope.Frame = NewBitmap32(w, h);
  FillRectArgb(scope.Frame.get(), Rect(0, 0, w, h), 0, 0);
  if (frames > 0) PlayShowFrames(anim, scope.Screen, image, scope.Frame.get(), frames, Alpha, Mode, true);
  scope.Frame.reset();

  SetWindowRgn(anim, nullptr, FALSE);
  SetWindowPos(anim, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | QuietPos);
  PushLayered(anim, scope.Screen, nullptr, image, Alpha);
  ReleaseDC(nullptr, scope.Screen);
  scope.Screen = nullptr;
  Dialog->ApplyWindowRgn(false);
  SetWindowPos(dlg, anim, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | QuietPos);
  SetStyleBits(dlg, GWL_STYLE, WS_VISIBLE, true);
  SendMessageW(dlg, WM_SETREDRAW, 1, 0);
  scope.Flag.Restore();
  if (border) {
    border->ExBorderShowing = true;
    RedrawWindow(dlg, nullptr, nullptr, RedrawAll);
    Dialog->ApplyWindowRgn(false);
    border->ExBorderShowing = false;
    if (IsDwmCompositionOn()) Sleep(48);
    border->UpdateExBordersPos(true, 255);
    SetWindowPos(anim, dlg, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | QuietPos);
    Dialog->ApplyWindowRgn(false);
  } else {
    RedrawWindow(dlg, nullptr, nullptr, RedrawAll);
    if (IsDwmCompositionOn()) Sleep(48);
    SetWindowPos(anim, dlg, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | QuietPos);
    TComponent::Free(scope.OwnWindow);
    scope.OwnWindow = nullptr;
  }
}
