#include "skin/graphics/acHideAnim.h"

#include <algorithm>

#include "skin/controls/acGlow.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acGdiPlus.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

TacHideTimer* g_hideTimer = nullptr;

// No colour key: the layered functions take it with ULW_ALPHA only.
constexpr COLORREF NoColorKey = 0x1FFFFFFF;

void CopyWhole(TBitmap* dst, TBitmap* src) {
  BitBlt(dst->Canvas().Handle(), 0, 0, src->Width(), src->Height(), src->Canvas().Handle(), 0, 0, SRCCOPY);
}

std::unique_ptr<TBitmap> CopyOf(TBitmap* src) {
  std::unique_ptr<TBitmap> copy = NewBitmap32(src->Width(), src->Height());
  if (!copy->Empty()) CopyWhole(copy.get(), src);
  return copy;
}

// Gives a border window back the owner and procedure it had before the border form took it.
void RestoreBorderWindow(TacBorderForm* BorderForm, TForm* window) {
  if (BorderForm->ParentHandle)
    SetWindowLongPtrW(window->Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(BorderForm->ParentHandle));
  if (BorderForm->OldBorderProc) {
    UnhookWindowProc(window, MakeWndMethod<&TacBorderForm::BorderProc>(BorderForm));
    BorderForm->OldBorderProc = TWndMethod{};
  }
}

}  // namespace

// ---- frame geometry ----------------------------------------------------------------

void HideGeometryInit(TacHideGeometry& G, TacAnimType Mode, int Width, int Height, int StepCount, int StartAlpha) {
  G = TacHideGeometry{};
  G.Trans = StartAlpha;
  G.p = StepCount > 0 ? static_cast<double>(StartAlpha) / StepCount : StartAlpha;
  switch (Mode) {
    case atAero:
      G.dx = -static_cast<double>(Width) / (StepCount * 32.0);
      G.dy = -static_cast<double>(Height) / (StepCount * 32.0);
      G.r = Width;
      G.b = Height;
      break;
    case atDropDown:
      G.r = Width;
      G.b = Height;
      G.p = 0;  // rolled up at the alpha it started with
      break;
    case atFading:
      break;
  }
}

std::uint8_t HideGeometryNextAlpha(TacHideGeometry& G) {
  G.Trans = std::max(0.0, G.Trans - G.p);
  return static_cast<std::uint8_t>(std::clamp(RoundHalfEven(G.Trans), 0, 255));
}

bool HideGeometryGoToNext(TacHideGeometry& G, TacAnimType Mode) {
  switch (Mode) {
    case atAero:
      G.l -= G.dx;
      G.t -= G.dy;
      G.r += G.dx;
      G.b += G.dy;
      return true;
    case atDropDown:
      G.b = G.b / 2;
      return G.b >= 2;
    case atFading:
      return true;
  }
  return true;
}

TRect HideGeometryDest(const TacHideGeometry& G, TacAnimType Mode, int Width, int Height) {
  switch (Mode) {
    case atAero: {
      const int l = RoundHalfEven(G.l), t = RoundHalfEven(G.t);
      return TRect{l, t, l + RoundHalfEven(G.r - G.l), t + RoundHalfEven(G.b - G.t)};
    }
    case atDropDown:
      return TRect{0, 0, RoundHalfEven(G.r - G.l), RoundHalfEven(G.b - G.t)};
    case atFading:
      break;
  }
  return TRect{0, 0, Width, Height};
}

// ---- the hide timer ------------------------------------------------------------------

TacHideTimer::TacHideTimer(TComponent* Owner) : TacThreadedTimer(Owner) {
  ParentWnd = nullptr;
  EventCalled = false;
}

void TacHideTimer::BeforeDestruction() {
  FreeAnimation();
  TacThreadedTimer::BeforeDestruction();
}

TacHideTimer::~TacHideTimer() { FreeAnimation(); }

void TacHideTimer::FreeAnimation() {
  if (g_hideTimer == this) g_hideTimer = nullptr;
  if (!EventCalled) CallEvent();
  EventCalled = true;
  SrcBmp.reset();
  DstBmp.reset();
  if (Form) {
    TForm* form = Form;
    Form = nullptr;
    TComponent::Free(form);
  }
}

void TacHideTimer::Anim_Init() {
  HideGeometryInit(*this, AnimType, FBmpSize.cx, FBmpSize.cy, StepCount, StartBlendValue);
}

void TacHideTimer::Anim_DoNext() {
  FBlend.SourceConstantAlpha = HideGeometryNextAlpha(*this);
  if (!SrcBmp || !DstBmp || DstBmp->Empty()) return;
  switch (AnimType) {
    case atDropDown:
      if (b == FBmpSize.cy) {
        CopyWhole(DstBmp.get(), SrcBmp.get());
      } else {
        FillRectArgb(DstBmp.get(), TRect{0, 0, DstBmp->Width(), DstBmp->Height()}, 0, 0);
        const TRect dest = HideGeometryDest(*this, AnimType, FBmpSize.cx, FBmpSize.cy);
        if (dest.Width() > 0 && dest.Height() > 0)
          StretchBitmapGdiPlus(DstBmp.get(), SrcBmp.get(), dest, TRect{0, 0, SrcBmp->Width(), SrcBmp->Height()});
      }
      break;
    case atAero:
      if (l < 0 || t < 0) {
        CopyWhole(DstBmp.get(), SrcBmp.get());
      } else {
        FillRectArgb(DstBmp.get(), TRect{0, 0, DstBmp->Width(), DstBmp->Height()}, 0, 0);
        const TRect dest = HideGeometryDest(*this, AnimType, FBmpSize.cx, FBmpSize.cy);
        HDC dc = DstBmp->Canvas().Handle();
        const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), SrcBmp->Canvas().Handle(), 0, 0,
                   SrcBmp->Width(), SrcBmp->Height(), SRCCOPY);
        SetStretchBltMode(dc, oldMode);
      }
      break;
    case atFading:
      if (l == 0) {
        CopyWhole(DstBmp.get(), SrcBmp.get());
        l = 1;
      }
      break;
  }
}

bool TacHideTimer::Anim_GoToNext() { return HideGeometryGoToNext(*this, AnimType); }

void TacHideTimer::OnTimerProc() {
  if (!Form) return;
  bool goOn = false;
  if (i <= StepCount) {
    Anim_DoNext();
    DC = GetDC(nullptr);
    HWND wnd = Form->HandleAllocated() ? Form->Handle() : nullptr;
    if (wnd && IsWindow(wnd) && UpdateLayeredWindowEntry && DstBmp && !DstBmp->Empty())
      UpdateLayeredWindowEntry(wnd, DC, nullptr, &FBmpSize, DstBmp->Canvas().Handle(), &FBmpTopLeft, NoColorKey,
                               &FBlend, ULW_ALPHA);
    ReleaseDC(nullptr, DC);
    DC = nullptr;
    goOn = Anim_GoToNext();
    ++i;
  }
  if (!goOn) Finish();
}

void TacHideTimer::Finish() {
  i = StepCount + 1;
  WriteEnabled(false);
  const std::shared_ptr<bool> alive = Alive();
  CallEvent();
  if (!*alive) return;  // the event freed the timer, and the animation with it
  WriteOnTimer(nullptr);
  WriteInterval(65535);
  SrcBmp.reset();
  DstBmp.reset();
  if (Form) {
    TForm* form = Form;
    Form = nullptr;
    TComponent::Free(form);
  }
}

void TacHideTimer::CallEvent() {
  if (EventCalled || !ParentWnd || !IsWindow(ParentWnd)) return;
  // The closed form's handle may be reused by now; only a window of this process answers
  // with a provider of ours (another process's answer would be a foreign pointer).
  DWORD pid = 0;
  GetWindowThreadProcessId(ParentWnd, &pid);
  if (pid != GetCurrentProcessId()) return;
  auto* provider = reinterpret_cast<TsSkinProvider*>(SendSkinCommand(ParentWnd, SKCMD_GET_PROVIDER, 0));
  if (!provider || !provider->OnAfterAnimation) return;
  EventCalled = true;
  provider->OnAfterAnimation(aeHiding);
}

TacHideTimer* HideTimer() { return g_hideTimer; }

void FreeHideTimer() {
  if (g_hideTimer) TComponent::Free(g_hideTimer);
  g_hideTimer = nullptr;
}

// ---- starting a hide animation -----------------------------------------------------------

void PlayHideAnimation(TForm* Window, std::unique_ptr<TBitmap> Image, int Time, std::uint8_t StartAlpha,
                       TacAnimType Mode, HWND Owner) {
  // 1. An earlier animation ends here without more frames (and without its end event).
  if (g_hideTimer && g_hideTimer->Form) {
    TForm* old = g_hideTimer->Form;
    g_hideTimer->Form = nullptr;
    g_hideTimer->DstBmp.reset();
    TComponent::Free(old);
  }
  // 2.
  const int steps = Time / FramePeriod;
  // Without a window (no cover could be made) or image there is nothing to animate.
  if (steps == 0 || !Image || !Window) {
    if (Window) TComponent::Free(Window);
    return;
  }
  // 3.
  if (!g_hideTimer) g_hideTimer = NewComponent<TacHideTimer>(&Application());
  TacHideTimer& timer = *g_hideTimer;
  timer.ParentWnd = Owner;
  timer.EventCalled = false;
  timer.i = 0;
  timer.SrcBmp = std::move(Image);
  timer.StartBlendValue = StartAlpha;
  timer.Form = Window;
  timer.AnimType = Mode;
  timer.WriteInterval(FramePeriod);
  timer.StepCount = steps;
  timer.FBmpSize = SIZE{timer.SrcBmp->Width(), timer.SrcBmp->Height()};
  timer.FBmpTopLeft = POINT{0, 0};
  timer.FBlend = BLENDFUNCTION{AC_SRC_OVER, 0, StartAlpha, AC_SRC_ALPHA};
  // 4.
  HDC dc = GetDC(nullptr);
  if (dc) {
    if (Window) {
      HWND wnd = Window->Handle();
      SetWindowLongPtrW(wnd, GWL_EXSTYLE, GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_NOACTIVATE | WS_EX_LAYERED);
      if (UpdateLayeredWindowEntry && !timer.SrcBmp->Empty())
        UpdateLayeredWindowEntry(wnd, dc, nullptr, &timer.FBmpSize, timer.SrcBmp->Canvas().Handle(),
                                 &timer.FBmpTopLeft, NoColorKey, &timer.FBlend, ULW_ALPHA);
      SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS |
                       SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
      ShowWindow(wnd, SW_SHOWNOACTIVATE);
      RECT r{};
      GetWindowRect(wnd, &r);
      const bool topmost = (GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
      SetWindowPos(wnd, topmost ? HWND_TOPMOST : nullptr, r.left, r.top, timer.FBmpSize.cx, timer.FBmpSize.cy,
                   SWP_NOACTIVATE | (topmost ? 0 : SWP_NOZORDER));
    }
    timer.DstBmp = NewBitmap32(timer.FBmpSize.cx, timer.FBmpSize.cy);
    ReleaseDC(nullptr, dc);
  }
  // 5.
  timer.Anim_Init();
  // 6.
  if (Application().Terminated()) {
    // No timer ticks any more: the frames play here. The window (at alpha 0 after a fade or
    // zoom) and the images stay until the timer goes with the application, which fires the
    // end event then.
    while (timer.i <= timer.StepCount && timer.Form) {
      const DWORD start = CurrentTickCount();
      timer.OnTimerProc();
      if (!g_hideTimer) break;  // the end event freed the timer
      WaitUntilTick(start, FramePeriod);
    }
  } else {
    timer.WriteOnTimer([&timer] { timer.OnTimerProc(); });
    timer.i = 0;
    timer.OnTimerProc();
    if (g_hideTimer == &timer) timer.WriteEnabled(true);
  }
}

// ---- the hide animations of forms and dialogs --------------------------------------------

void AnimHideSkinForm(TsSkinProvider* Provider) {
  // 1.
  ReleaseAllGlows(true);
  // 2.
  if (!Provider || !Provider->Form || Provider->Form->FormKind() == fkMDIChild || !Provider->FCommonData ||
      !Provider->FCommonData->FCacheBmp)
    return;
  TForm* form = Provider->Form;
  TsSkinManager* manager = Provider->Manager();
  if (!manager) return;
  // 3.
  const std::uint8_t startAlpha = form->AlphaBlend() ? form->AlphaBlendValue() : 255;
  TacAnimationGuard animating;
  // 4.
  if (!(Provider->FFormState & 0x200)) Provider->PaintAll();
  TBitmap* cache = Provider->FCommonData->FCacheBmp.get();
  HWND formWnd = form->HandleAllocated() ? form->Handle() : nullptr;
  TForm* window = nullptr;
  std::unique_ptr<TBitmap> image;
  if (TacBorderForm* border = Provider->BorderForm) {
    // 5.
    if (!border->AForm) border->CreateNewForm();
    window = border->AForm;
    if (window) RestoreBorderWindow(border, window);
    image = CopyOf(cache);
    border->AForm = nullptr;
    if (formWnd) {
      if (IsDwmCompositionOn())
        SetLayeredAlpha(formWnd, true, 1);
      else
        SetWindowPos(formWnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  } else {
    // 6.
    if (Provider->CoverForm) {
      window = Provider->CoverForm;
      Provider->CoverForm = nullptr;
    } else if (formWnd) {
      window = MakeCoverForm(formWnd, Provider);
    }
    if (formWnd) SetLayeredAlpha(formWnd, true, 1);
    image = CopyOf(cache);
    ClearRectsInBitmap(Provider->Rects, image.get());
  }
  // 7.
  PlayHideAnimation(window, std::move(image), manager->AnimEffects.FormHide.Time, startAlpha,
                    manager->AnimEffects.FormHide.Mode, formWnd);
  // 8.
  if (formWnd && IsWindow(formWnd)) SetLayeredAlpha(formWnd, startAlpha != 255, startAlpha);
  // 9.
  if (Provider->BorderForm && Application().Terminated()) {
    delete Provider->BorderForm;
    Provider->BorderForm = nullptr;
  }
  if (Provider->CoverForm) {
    TacGlowForm* cover = Provider->CoverForm;
    Provider->CoverForm = nullptr;
    TComponent::Free(cover);
  }
}

void AnimHideSkinDialog(TacDialogWnd* Dialog) {
  if (!Dialog || !Dialog->SkinData || !Dialog->SkinData->FCacheBmp) return;
  TsSkinManager* manager = DefaultManager();
  if (!manager) return;
  TacAnimationGuard animating;
  ReleaseAllGlows(false);
  TBitmap* cache = Dialog->SkinData->FCacheBmp.get();
  TForm* window = nullptr;
  std::unique_ptr<TBitmap> image;
  TacBorderForm* border = Dialog->BorderForm;
  if (border) {
    if (!border->AForm) border->CreateNewForm();
    window = border->AForm;
    if (window) RestoreBorderWindow(border, window);
    image = CopyOf(cache);
  } else {
    if (Dialog->CoverForm) {
      window = Dialog->CoverForm;
      Dialog->CoverForm = nullptr;
    } else {
      window = MakeCoverForm(Dialog->CtrlHandle, nullptr);
    }
    image = CopyOf(cache);
    ClearRectsInBitmap(Dialog->ArOR, image.get());
  }
  PlayHideAnimation(window, std::move(image), manager->AnimEffects.DialogHide.Time, 255,
                    manager->AnimEffects.DialogHide.Mode, nullptr);
  if (border) {
    border->AForm = nullptr;
    delete Dialog->BorderForm;
    Dialog->BorderForm = nullptr;
  }
}
