#include "skin/controls/acGlow.h"

#include <algorithm>

#include "platform/ui/Forms.h"
#include "skin/controls/acFades.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

bool GlowReleasing = false;

namespace {

// The list lives until the process ends; the glows still in it at the end go without their
// windows, which end with the process (the framework may already be gone by then).
struct TGlowUnit {
  TacGlowEffects List;
  ~TGlowUnit() {
    for (auto& effect : List)
      if (effect) {
        effect->Wnd = nullptr;
        effect->SkinData = nullptr;
      }
    List.clear();
  }
};

TGlowUnit& Unit() {
  static TGlowUnit unit;
  return unit;
}

// Windows are freed at once while the application or the glow's manager ends: no message
// loop is left to free them later.
bool FreeNow(const TacGlowEffect& effect) {
  return Application().Terminated() || (effect.SkinManager && effect.SkinManager->Destroying());
}

const TsMaskData* MaskOf(const TacGlowEffect& effect) {
  TacSkinData* data = effect.SkinData ? effect.SkinData->ReadCommonSkinData() : nullptr;
  if (!data || effect.MaskIndex < 0 || effect.MaskIndex >= static_cast<int>(data->ma.size())) return nullptr;
  return &data->ma[static_cast<std::size_t>(effect.MaskIndex)];
}

// Frees the glow in the slot at once: the window released, the slot emptied.
void FreeGlowNow(int& GlowID) {
  TacGlowEffects& list = GlowList();
  std::unique_ptr<TacGlowEffect> effect = std::move(list[static_cast<std::size_t>(GlowID)]);
  TsCommonData* data = effect->SkinData;
  {
    const bool was = GlowReleasing;
    GlowReleasing = true;
    effect->FreeWindow(FreeNow(*effect));
    GlowReleasing = was;
  }
  effect.reset();
  GlowID = -1;
  if (data && data->AnimTimer) data->StopAnimation();
}

// The glow window's size around RealRect: the image's borders outside, less the margin.
TSize GlowSize(const TacGlowEffect& effect, const TRect& RealRect) {
  const TsMaskData* mask = MaskOf(effect);
  if (!mask) return TSize{RealRect.Width() - 2 * effect.Margin, RealRect.Height() - 2 * effect.Margin};
  return TSize{RealRect.Width() + mask->WL + mask->WR - 2 * effect.Margin,
               RealRect.Height() + mask->WT + mask->WB - 2 * effect.Margin};
}

int AddAndShow(std::unique_ptr<TacGlowEffect> effect, const TRect& R, int Margin, std::uint8_t Alpha,
               HWND WndHandle) {
  effect->Margin = Margin;
  // A glow of no size gets no window and no identifier.
  const TSize size = GlowSize(*effect, R);
  if (size.cx <= 0 || size.cy <= 0) return -1;
  TacGlowEffect* shown = effect.get();
  TacGlowEffects& list = GlowList();
  list.push_back(std::move(effect));
  shown->Show(R, R, Alpha, WndHandle);
  return static_cast<int>(list.size()) - 1;
}

// The steps shared by both ways to show a glow; nullptr when no glow can be shown.
std::unique_ptr<TacGlowEffect> NewGlow(TsCommonData* Data) {
  if (!LayeredWindowsAvailable() || !Data || GetCapture()) return nullptr;
  auto effect = std::make_unique<TacGlowEffect>();
  effect->SkinData = Data;
  effect->SkinManager = Data->ReadSkinManager();
  return effect;
}

}  // namespace

TacGlowEffects& GlowList() { return Unit().List; }

TacGlowEffect::~TacGlowEffect() {
  Destroyed = true;
  if (Wnd) FreeWindow(FreeNow(*this));
  AlphaBmp.reset();
}

void TacGlowEffect::FreeWindow(bool Now) {
  TacGlowForm* wnd = Wnd;
  if (!wnd) return;
  Wnd = nullptr;
  UnhookWindowProc(wnd, MakeWndMethod<&TacGlowEffect::NewWndProc>(this));
  if (Now) {
    TComponent::Free(wnd);
  } else {
    // Not inside the window's own message handling: the framework frees it after it.
    if (wnd->HandleAllocated()) ShowWindow(wnd->Handle(), SW_HIDE);
    wnd->Release();
  }
}

void TacGlowEffect::NewWndProc(TMessage& Message) {
  if (Message.Msg == WM_NCHITTEST) {
    Message.Result = HTTRANSPARENT;
    return;
  }
  if (OldWndProc) OldWndProc(Message);
}

void TacGlowEffect::CreateAlphaBmp(int Width, int Height) {
  AlphaBmp.reset();
  AlphaBmp = NewBitmap32(Width, Height);
  if (AlphaBmp->Empty()) return;
  FillRectArgb(AlphaBmp.get(), TRect{0, 0, Width, Height}, 0, 0);
  // The layered form of the nine-slice painting: the window shows the image's own alpha.
  if (const TsMaskData* mask = MaskOf(*this)) {
    TCacheInfo none;
    PaintMaskNineSliceLayered(AlphaBmp.get(), TRect{0, 0, Width, Height}, none, *mask, 0);
  }
  // A modal-result button answers with the colour of its kind; the record's first field.
  struct {
    TColor Colors[2] = {clNone, clNone};
  } colors;
  HWND owner = SkinData ? SkinData->OwnerHandle() : nullptr;
  const LRESULT answered =
      owner ? SendSkinCommand(owner, SKCMD_MODAL_BTN_COLORS, reinterpret_cast<LPARAM>(&colors)) : 0;
  if (SkinData) ApplyColorEffects(AlphaBmp.get(), SkinData, answered ? colors.Colors[0] : clNone, 0);
  // The window blends premultiplied pixels: a colour above its alpha (a blended corner, a
  // tone) would overflow into another colour on the screen.
  for (int y = 0; y < AlphaBmp->Height(); ++y) {
    auto* row = static_cast<std::uint32_t*>(AlphaBmp->ScanLine(y));
    for (int x = 0; x < AlphaBmp->Width(); ++x) {
      const std::uint32_t a = row[x] >> 24;
      std::uint32_t px = a << 24;
      for (int shift = 0; shift < 24; shift += 8) px |= std::min(row[x] >> shift & 0xFF, a) << shift;
      row[x] = px;
    }
  }
}

void TacGlowEffect::Show(const TRect& R, const TRect& RealRect, std::uint8_t Alpha, HWND WndHandle) {
  (void)R;
  if (Wnd) return;
  const TsMaskData* mask = MaskOf(*this);
  const int wl = mask ? mask->WL : 0, wt = mask ? mask->WT : 0;
  // 2. A glow of no size is not made.
  const TSize size = GlowSize(*this, RealRect);
  const int w = size.cx, h = size.cy;
  if (w <= 0 || h <= 0) return;
  CreateAlphaBmp(w, h);
  if (!AlphaBmp || AlphaBmp->Empty()) return;
  // 1.
  auto* wnd = NewComponent<TacGlowForm>(nullptr);
  wnd->SetControlStyle(wnd->ControlStyle() & ~static_cast<TControlStyle>(csCaptureMouse));
  HookWindowProc(wnd, MakeWndMethod<&TacGlowEffect::NewWndProc>(this), &OldWndProc);
  Wnd = wnd;
  // 3.
  const int x = RealRect.Left + Margin - wl, y = RealRect.Top + Margin - wt;
  wnd->SetBounds(x, y, w, h);
  // 4.
  HWND handle = wnd->Handle();
  SetWindowLongPtrW(handle, GWL_EXSTYLE, GetWindowLongPtrW(handle, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_TRANSPARENT);
  HDC screen = GetDC(nullptr);
  POINT pos{x, y}, src{0, 0};
  SIZE extent{w, h};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, Alpha, AC_SRC_ALPHA};
  UpdateLayeredWindowEntry(handle, screen, &pos, &extent, AlphaBmp->Canvas().Handle(), &src, 0, &blend, ULW_ALPHA);
  ReleaseDC(nullptr, screen);
  // 5. Directly above the owner window, or top-most with a top-most owner or none.
  HWND after = nullptr;
  if (!WndHandle || (GetWindowLongPtrW(WndHandle, GWL_EXSTYLE) & WS_EX_TOPMOST) || !SkinData ||
      !SkinData->FOwnerObject) {
    after = HWND_TOPMOST;
  } else {
    HWND above = GetWindow(WndHandle, GW_HWNDPREV);
    after = above ? above : WndHandle;
  }
  SetWindowPos(handle, after, x, y, 0, 0,
               SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
}

int ShowGlowEffect(const TRect& R, const std::wstring& SkinSection, const std::wstring& MaskPrefix, int Margin,
                   std::uint8_t Alpha, HWND WndHandle, TsCommonData* Data) {
  std::unique_ptr<TacGlowEffect> effect = NewGlow(Data);
  if (!effect) return -1;
  TsSkinManager* manager = effect->SkinManager;
  TacSkinData* data = Data->ReadCommonSkinData();
  if (!manager || !data) return -1;
  const std::wstring name = MaskPrefix + L"0";
  const std::wstring& section = SkinSection.empty() ? Data->FSkinSection : SkinSection;
  const int index = SkinSection.empty() ? Data->SkinIndex : manager->GetSkinIndex(SkinSection, data);
  effect->MaskIndex = manager->GetMaskIndex(index, section, name, data);
  if (effect->MaskIndex < 0) return -1;
  return AddAndShow(std::move(effect), R, Margin, Alpha, WndHandle);
}

int ShowGlowByMaskIndex(const TRect& R, const std::vector<int>& MaskIndexes, int Margin, std::uint8_t Alpha,
                        HWND WndHandle, TsCommonData* Data) {
  if (MaskIndexes.empty() || MaskIndexes.front() < 0) return -1;
  std::unique_ptr<TacGlowEffect> effect = NewGlow(Data);
  if (!effect) return -1;
  effect->MaskIndex = MaskIndexes.front();
  return AddAndShow(std::move(effect), R, Margin, Alpha, WndHandle);
}

void ReleaseGlowById(int& GlowID, bool Animated) {
  TacGlowEffects& list = GlowList();
  if (GlowID < 0 || GlowID >= static_cast<int>(list.size()) || !list[static_cast<std::size_t>(GlowID)]) return;
  TacGlowEffect& effect = *list[static_cast<std::size_t>(GlowID)];
  TsCommonData* data = effect.SkinData;
  TsSkinManager* manager = data ? data->ReadSkinManager() : nullptr;
  // The fade-out runs on the owner control's timer; a state without control (a window
  // handler's) could never end it, and its glow goes at once.
  if (Animated && data && data->FOwnerControl && manager && manager->Effects.AllowAnimation &&
      !Application().Terminated()) {
    if (!data->AnimTimer || data->AnimTimer->ThreadType == 1) {
      const int left = EnsureAnimTimer(data->AnimTimer, data->FOwnerControl, false);
      TacThreadedTimer* timer = data->AnimTimer;
      if (timer && !(timer->State == 0 && timer->Enabled())) {
        timer->InitData(data, left, GlowFadeStep, 0, false);
        timer->TimerTick();
      }
      return;
    }
  }
  FreeGlowNow(GlowID);
}

void ReleaseAllGlows(bool FreeWindows) {
  if (GlowReleasing) return;
  TacGlowEffects& list = GlowList();
  TacGlowEffects taken = std::move(list);
  list.clear();
  for (auto& effect : taken) {
    if (!effect) continue;
    if (FreeWindows) {
      GlowReleasing = true;
      effect->FreeWindow(true);
      GlowReleasing = false;
    }
    if (effect->SkinData) effect->SkinData->GlowID = -1;
    effect.reset();
  }
}

void SetGlowAlpha(int GlowID, std::uint8_t Alpha) {
  TacGlowEffects& list = GlowList();
  if (GlowID < 0 || GlowID >= static_cast<int>(list.size())) return;
  TacGlowEffect* effect = list[static_cast<std::size_t>(GlowID)].get();
  if (!effect || !effect->Wnd || !effect->Wnd->HandleAllocated()) return;
  ShowBitmapLayered(effect->Wnd->Handle(), effect->AlphaBmp.get(), Alpha);
}
