#include "skin/controls/acFades.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Forms.h"
#include "skin/controls/acGlow.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

TWinControl* AsWin(TControl* control) { return dynamic_cast<TWinControl*>(control); }

int Level(double glow) { return std::clamp(RoundHalfEven(glow), 0, 255); }

// The window a frame goes to and its size: a windowed control's bounds, else the owner
// window's rectangle; no window (a graphic control, a control without handle): nullptr.
HWND FrameTarget(TsCommonData* Data, TRect& R) {
  if (TControl* owner = Data->FOwnerControl) {
    TWinControl* win = AsWin(owner);
    if (!win) return nullptr;
    R = TRect{0, 0, win->Width(), win->Height()};
    return win->HandleAllocated() ? win->Handle() : nullptr;
  }
  HWND wnd = Data->OwnerHandle();
  if (!wnd) return nullptr;
  RECT wr{};
  GetWindowRect(wnd, &wr);
  R = TRect{0, 0, wr.right - wr.left, wr.bottom - wr.top};
  return wnd;
}

// Steps 2 to 6 of a frame: BmpFrom, BmpTo mixed in by the level, children over it, to the
// window. Answers the level g.
int PaintFrame(TsCommonData* Data, TacThreadedTimer* Timer, HWND Wnd, const TRect& R) {
  const bool draw = Timer->Iteration <= Timer->Iterations && Wnd;
  if (draw) {
    TBitmap* cache = Data->FCacheBmp.get();
    const TRect size = cache && !cache->Empty() ? TRect{0, 0, cache->Width(), cache->Height()} : R;
    Timer->CopyFrom(Timer->BmpOut, Timer->BmpFrom.get(), size);
  }
  // 3. The level moves one step.
  if (Timer->State == 0 || Timer->State == 2)
    Timer->Glow -= Timer->GlowStep;
  else if (Timer->State == 1)
    Timer->Glow += Timer->GlowStep;
  else
    Timer->Glow = 255 - 255.0 * Timer->Iteration / std::max(1, Timer->Iterations);
  const int g = Level(Timer->Glow);
  if (!draw || !Timer->BmpOut || Timer->BmpOut->Empty()) return g;
  TBitmap* out = Timer->BmpOut.get();
  // 4. Each frame moves from the old look towards the new one.
  if (Timer->BmpTo && !Timer->BmpTo->Empty()) {
    const int w = std::min(out->Width(), Timer->BmpTo->Width()), h = std::min(out->Height(), Timer->BmpTo->Height());
    if (w > 0 && h > 0)
      BlendBitmapRect(out, Timer->BmpTo.get(), static_cast<std::uint8_t>(Timer->State == 1 ? 255 - g : g),
                      TRect{0, 0, w - 1, h - 1}, TPoint{0, 0});
  }
  // 5. The children of a windowed control are painted over the frame, where they are.
  TWinControl* win = AsWin(Data->FOwnerControl);
  if (win && win->ControlCount() > 0) {
    auto work = NewBitmap32(out->Width(), out->Height());
    if (!work->Empty()) {
      BitBlt(work->Canvas().Handle(), 0, 0, out->Width(), out->Height(), out->Canvas().Handle(), 0, 0, SRCCOPY);
      for (TControl* child : win->Controls()) {
        if (!child->Visible()) continue;
        HDC dc = work->Canvas().Handle();
        POINT old{};
        SetViewportOrgEx(dc, child->Left(), child->Top(), &old);
        PaintControlToBitmap(work.get(), child, child->Left(), child->Top());
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
      }
      Timer->BmpOut = std::move(work);
      out = Timer->BmpOut.get();
    }
  }
  // 6.
  HDC dc = GetWindowDC(Wnd);
  if (dc) {
    if (GetDCLayout(dc) != 0) SetDCLayout(dc, 0);
    BitBlt(dc, 0, 0, out->Width(), out->Height(), out->Canvas().Handle(), 0, 0, SRCCOPY);
    ReleaseDC(Wnd, dc);
  }
  return g;
}

}  // namespace

bool StateFadeStep(TsCommonData* Data, int Iteration) {
  (void)Iteration;
  if (!Data || !Data->AnimTimer || Data->AnimTimer->Destroyed) return false;
  TacThreadedTimer* timer = Data->AnimTimer;
  TRect r{};
  HWND wnd = FrameTarget(Data, r);
  // The last step of a fade to the normal state repeats until the glow is out; each repeat
  // lowers the level by a step, so a few hundred cover any level (the bound only guards
  // against a step of no size).
  for (int repeat = 0;; ++repeat) {
    const int g = PaintFrame(Data, timer, wnd, r);
    // 7.
    if (timer->Iteration < timer->Iterations) {
      if (Data->GlowID >= 0) SetGlowAlpha(Data->GlowID, static_cast<std::uint8_t>(g));
      if (timer->State == 0 && g < 10) {
        timer->Glow = 0;
        ReleaseGlowById(Data->GlowID, false);
      }
      return true;
    }
    // 8.
    if (timer->State == 0 && g > 0 && repeat < 512) {
      if (Data->GlowID >= 0) SetGlowAlpha(Data->GlowID, static_cast<std::uint8_t>(g));
      continue;
    }
    const int state = timer->State;
    if (state == 0) {
      timer->Glow = 0;
      Data->StopAnimation();
    }
    if (state != 1) ReleaseGlowById(Data->GlowID, false);
    return false;
  }
}

bool GlowFadeStep(TsCommonData* Data, int Iteration) {
  (void)Iteration;
  if (!Data || !Data->FOwnerControl || Data->FOwnerControl->Destroying()) return false;
  TacThreadedTimer* timer = Data->AnimTimer;
  if (!timer || timer->Destroyed || timer->Iterations <= 0) return false;
  if (timer->Iteration >= timer->Iterations) {
    const int state = timer->State;
    if (state != 1) ReleaseGlowById(Data->GlowID, false);
    if (state == 0) Data->StopAnimation();
    return false;
  }
  if (Data->GlowID < 0) return true;
  if (timer->State == 1)
    timer->Glow += timer->GlowStep;
  else
    timer->Glow -= timer->GlowStep;
  SetGlowAlpha(Data->GlowID, static_cast<std::uint8_t>(Level(timer->Glow)));
  return true;
}

void StartStateFade(TsCommonData* Data, int State, TacAnimProc StepProc, bool Fast) {
  if (!StepProc) StepProc = StateFadeStep;
  // 1.
  const int left = EnsureAnimTimer(Data->AnimTimer, Data->FOwnerControl, State != 0);
  TacThreadedTimer* timer = Data->AnimTimer;
  if (!timer) return;
  // 2. A glow-only fade to the same state is taken over by an image fade.
  if (timer->State == State && timer->Enabled() && timer->AnimProc == StepProc) return;
  TBitmap* cache = Data->FCacheBmp.get();
  // 3.
  if (timer->BmpOut && cache &&
      (timer->BmpOut->Width() != cache->Width() || timer->BmpOut->Height() != cache->Height()))
    timer->BmpOut.reset();
  if (cache) timer->CopyFrom(timer->BmpFrom, cache, TRect{0, 0, cache->Width(), cache->Height()});
  // 4. The new look.
  if (Data->BGChanged) {
    LRESULT answer = 0;
    if (Data->FOwnerControl)
      answer = PerformSkinCommand(Data->FOwnerControl, SKCMD_PREPARE_CACHE, 0);
    else if (HWND wnd = Data->OwnerHandle())
      answer = SendSkinCommand(wnd, SKCMD_PREPARE_CACHE, 0);
    if (answer != 0) {
      timer->WriteEnabled(false);
      return;
    }
    cache = Data->FCacheBmp.get();
    TWinControl* win = AsWin(Data->FOwnerControl);
    if (Data->COC == COC_TsButton && win && win->ControlCount() > 0 && cache)
      PaintGraphicChildren(cache->Canvas().Handle(), win, TPoint{0, 0}, true);
  }
  // 5.
  if (cache) timer->CopyFrom(timer->BmpTo, cache, TRect{0, 0, cache->Width(), cache->Height()});
  // 6.
  timer->InitData(Data, left, StepProc, State, Fast);
  timer->TimerTick();
}

void AnimateStateChange(TsCommonData* Data, int State, TacAnimProc StepProc, bool GlowFlag, bool Fast, bool Animate) {
  if (!Data) return;
  // 1.
  if (!Data->Skinned()) {
    Data->Invalidate(false);
    return;
  }
  TsSkinManager* manager = Data->ReadSkinManager();
  HWND wnd = Data->OwnerHandle();
  // 2.
  if (Animate && !Data->SkinChanging() && !Application().Terminated() && Data->FCacheBmp && !Data->BGChanged &&
      manager && manager->Effects.AllowAnimation) {
    if (GlowFlag && State < 100 && Data->GlowID < 0) Data->UpdateHoverGlow(false, wnd, -1, true, 0);
    Data->BGChanged = true;
    StartStateFade(Data, State, StepProc, Fast);
    return;
  }
  // 3.
  Data->BGChanged = true;
  Data->Invalidate(false);
  if (!Data->FMouseAbove)
    ReleaseGlowById(Data->GlowID, false);
  else if (GlowFlag && State < 100 && Data->GlowID < 0)
    Data->UpdateHoverGlow(false, wnd, -1, false, 255);
}
