#include "skin/graphics/acAnimation.h"

#include <algorithm>
#include <string>

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"

namespace {

// The cover window of the transition running now, and the screen capture it started from.
TWinControl* gCover = nullptr;
std::unique_ptr<TBitmap> gCapture;

constexpr UINT RedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;  // 0x585
constexpr UINT QuietPos = SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
constexpr COLORREF NoColorKey = 0x1FFFFFFF;

void PushLayered(HWND wnd, HDC screen, TBitmap* bmp, std::uint8_t alpha) {
  if (!UpdateLayeredWindowEntry || !wnd || !bmp || bmp->Empty()) return;
  SIZE size{bmp->Width(), bmp->Height()};
  POINT src{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
  UpdateLayeredWindowEntry(wnd, screen, nullptr, &size, bmp->Canvas().Handle(), &src, NoColorKey, &blend, ULW_ALPHA);
}

void AddExStyle(HWND wnd, LONG_PTR bits) {
  const LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
  if ((ex & bits) != bits) SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex | bits);
}

bool IsShownAndRestored(HWND wnd) { return IsWindowVisible(wnd) && !IsIconic(GetAncestor(wnd, GA_ROOT)); }

// The cover is freed and forgotten on every way out of a transition.
void FreeCover() {
  TWinControl* cover = gCover;
  gCover = nullptr;
  if (cover) TComponent::Free(cover);
}

// What one layered transition holds, given back on every way out: the flag, the images, the
// screen DC.
struct TTransitionScope {
  TacAnimationGuard Flag;
  std::unique_ptr<TBitmap> OldImage, NewImage, Frame;
  HDC Screen = nullptr;
  TacGlowForm* OldWindow = nullptr;  // the old border window, the transition's to free
  ~TTransitionScope() {
    if (Screen) ReleaseDC(nullptr, Screen);
    if (OldWindow) TComponent::Free(OldWindow);
  }
};

// Frames 0 .. Time div 12 of the new image on Wnd; with an old window the old border fades
// out in the last third.
void PlayTransitionFrames(HWND wnd, HDC screen, TBitmap* image, TBitmap* frame, int frames, std::uint8_t alpha,
                          bool zoom, HWND oldWnd, TBitmap* oldImage) {
  const TacAnimType mode = zoom ? atAero : atFading;
  TacShowFrames geometry(image->Width(), image->Height(), frames, alpha, mode, false);
  for (TacShowFrame f; geometry.Next(f);) {
    const DWORD tick = CurrentTickCount();
    DrawShowFrame(frame, image, f, mode);
    PushLayered(wnd, screen, frame, f.Alpha);
    if (oldWnd) ShowBitmapLayered(oldWnd, oldImage, OldBorderAlpha(alpha, f.Current));
    WaitUntilTick(tick, FramePeriod);
  }
}

// The form after its transition: its alpha, its redraw back, painted whole.
void FinishForm(TForm* form, std::uint8_t alpha) {
  if (form->AlphaBlend()) form->SetAlphaBlendValue(alpha);
  form->Perform(WM_SETREDRAW, 1, 0);
  RedrawWindow(form->Handle(), nullptr, nullptr, RedrawAll);
}

void LayeredTransition(TForm* form, TsSkinProvider* provider, std::uint16_t time, std::uint8_t alpha, bool zoom) {
  TTransitionScope scope;
  HWND formWnd = form->Handle();
  TacBorderForm* border = provider->BorderForm;
  if (border) {
    // The old image: the cover the skin change made (taken over), else the old cache.
    if (provider->CoverBmp) {
      scope.OldImage = std::move(provider->CoverBmp);
    } else if (TBitmap* cache = provider->FCommonData ? provider->FCommonData->FCacheBmp.get() : nullptr) {
      scope.OldImage = NewBitmap32LikeBitmap(cache);
      CopyBitmapPixels(scope.OldImage.get(), cache);
    }
  }
  provider->PaintAll();
  TBitmap* cache = provider->FCommonData ? provider->FCommonData->FCacheBmp.get() : nullptr;
  // Nothing new to show: the form is redrawn as it is.
  if (!cache || cache->Empty()) return;

  scope.NewImage = NewBitmap32(cache->Width(), cache->Height());
  TBitmap* image = scope.NewImage.get();
  PaintControlToBitmap(image, form, 0, 0, provider, true);
  if (!border) {
    TRect opaque = Rect(0, 0, image->Width(), image->Height());
    if (provider->FUWPMode) opaque = provider->UWPClientRect();
    ApplyAlphaInRect(image, opaque, 255, static_cast<std::uint32_t>(clNone));
  }
  const int frames = time / FramePeriod;
  const std::uint8_t first = frames >= 1 ? 0 : alpha;
  const int w = image->Width(), h = image->Height();
  scope.Frame = NewBitmap32(w, h);
  FillRectArgb(scope.Frame.get(), Rect(0, 0, w, h), 0, 0);
  scope.Screen = GetDC(nullptr);

  if (border) {
    // The current border window keeps the old border; a new one shows the new image.
    if (!border->AForm) border->CreateNewForm();
    TForm* oldForm = border->AForm;
    HWND oldWnd = oldForm ? oldForm->Handle() : nullptr;
    if (oldWnd) {
      if (border->OldBorderProc) {
        UnhookWindowProc(oldForm, MakeWndMethod<&TacBorderForm::BorderProc>(border));
        border->OldBorderProc = TWndMethod{};
      }
      if (border->ParentHandle) SetWindowLongPtrW(oldWnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(border->ParentHandle));
    }
    // The old window is the scope's from here: a new one is made beside it.
    border->AForm = nullptr;
    border->CreateNewForm();
    TForm* newForm = border->AForm;
    // A border form that made no new window: the old one stays the border's.
    if (!newForm || newForm == oldForm) {
      border->AForm = dynamic_cast<TacGlowForm*>(oldForm);
      newForm = oldForm;
      oldForm = nullptr, oldWnd = nullptr;
    }
    scope.OldWindow = dynamic_cast<TacGlowForm*>(oldForm);
    HWND newWnd = newForm ? newForm->Handle() : nullptr;

    TRect shadow;
    shadow = provider->ShadowSize();
    const int frameWidth = SysBorderWidth(formWnd, border, false);
    const int dx = BorderFormBorderWidth(border) + shadow.Left - frameWidth;
    int dy = shadow.Top;
    if (!provider->FSysExHeight) {
      dy = shadow.Top + BorderFormTitleHeight(border) - SysCaptionHeight(provider) - frameWidth;
      const int normal = ExtendedTitleHeight(provider, false), maximized = ExtendedTitleHeight(provider, true);
      if (IsZoomed(formWnd) && maximized != normal) dy += normal - maximized;
    }
    RECT wr{};
    GetWindowRect(formWnd, &wr);
    if (newWnd) {
      // Directly above the form: after the window that precedes it.
      HWND above = GetWindow(formWnd, GW_HWNDPREV);
      SetWindowPos(newWnd, above ? above : HWND_TOP, wr.left - dx, wr.top - dy, w, h,
                   SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS);
      AddExStyle(newWnd, WS_EX_LAYERED);
      PushLayered(newWnd, scope.Screen, image, first);
      ShowWindow(newWnd, SW_SHOWNOACTIVATE);
      if (frames > 0) PlayTransitionFrames(newWnd, scope.Screen, image, scope.Frame.get(), frames, alpha, zoom, oldWnd,
                                           scope.OldImage.get());
      PushLayered(newWnd, scope.Screen, image, alpha);
    }
    scope.Flag.Restore();
    FinishForm(form, alpha);
    if (newWnd)
      if (HRGN rgn = border->MakeRgn()) SetWindowRgn(newWnd, rgn, FALSE);
    border->UpdateExBordersPos(false, 255);
    return;  // the old image and the old window go with the scope
  }

  // Without a border form a cover over the form plays the frames.
  auto* cover = CreateComponent<TacGlowForm>(nullptr);
  gCover = cover;
  HWND coverWnd = cover->Handle();
  cover->SetBounds(form->Left(), form->Top(), form->Width(), form->Height());
  HWND insertAfter = GetWindow(formWnd, GW_HWNDPREV);
  if (!insertAfter) insertAfter = HWND_TOP;
  if (form->FormStyle() == fsStayOnTop || (GetWindowLongPtrW(formWnd, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
    cover->SetFormStyle(fsStayOnTop);
    insertAfter = HWND_TOPMOST;
  }
  SetWindowPos(coverWnd, insertAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | QuietPos);
  AddExStyle(coverWnd, WS_EX_NOACTIVATE | WS_EX_LAYERED);
  PushLayered(coverWnd, scope.Screen, image, first);
  provider->UpdateCornerRects();
  if (HRGN rgn = provider->MakeCornerRgn(0, 0)) SetWindowRgn(coverWnd, rgn, FALSE);
  ShowWindow(coverWnd, SW_SHOWNOACTIVATE);
  try {
    if (frames > 0) PlayTransitionFrames(coverWnd, scope.Screen, image, scope.Frame.get(), frames, alpha, zoom, nullptr,
                                         nullptr);
    PushLayered(coverWnd, scope.Screen, image, alpha);
  } catch (...) {
    FreeCover();
    throw;
  }
  scope.Flag.Restore();
  FinishForm(form, alpha);
  FreeCover();
}

void CoverTransition(TWinControl* c, TsSkinProvider* provider, std::uint16_t time) {
  TacAnimationGuard flag;
  struct TCoverScope {
    std::unique_ptr<TBitmap> NewImage, Frame;
    HWND Wnd = nullptr;
    HDC DC = nullptr;
    ~TCoverScope() {
      if (DC) ReleaseDC(Wnd, DC);
      FreeCover();
      gCapture.reset();
    }
  } scope;
  if (!gCover) CaptureForSkinChange(c);
  if (gCover && gCover->Parent()) PlaceAfterControl(gCover, c);
  scope.NewImage = NewBitmap32(c->Width(), c->Height());
  TBitmap* image = scope.NewImage.get();
  {
    HDC dc = image->Canvas().Handle();
    const int saved = SaveDC(dc);
    PaintControlToBitmap(image, c, 0, 0, nullptr, true);
    RestoreDC(dc, saved);
  }
  scope.Frame = NewBitmap32(c->Width(), c->Height());
  const int frames = time / CoverFramePeriod;
  // Without a cover nothing can be shown in between: the transition ends as one of time 0.
  if (gCover) {
    HWND coverWnd = gCover->Handle();
    if (provider) {
      provider->UpdateCornerRects();
      if (HRGN rgn = provider->MakeCornerRgn(0, 0)) SetWindowRgn(coverWnd, rgn, FALSE);
    }
    scope.Wnd = coverWnd;
    scope.DC = GetWindowDC(coverWnd);
    TBitmap* capture = gCapture.get();
    if (frames > 0 && capture && capture->Width() == image->Width() && capture->Height() == image->Height()) {
      for (std::uint8_t w : CoverFadeWeights(frames)) {
        const DWORD tick = CurrentTickCount();
        MixTwoBitmaps(scope.Frame.get(), capture, image, nullptr, w);
        BitBlt(scope.DC, 0, 0, image->Width(), image->Height(), scope.Frame->Canvas().Handle(), 0, 0, SRCCOPY);
        WaitUntilTick(tick, CoverFramePeriod);
      }
    }
    BitBlt(scope.DC, 0, 0, image->Width(), image->Height(), image->Canvas().Handle(), 0, 0, SRCCOPY);
  }
  flag.Restore();
  HWND wnd = c->Handle();
  if (IsWindowVisible(wnd)) {
    if (gCover && !gCover->Parent()) {
      c->Perform(WM_SETREDRAW, 1, 0);
      ApplyAlphaInRect(image, Rect(0, 0, image->Width(), image->Height()), 255, static_cast<std::uint32_t>(clNone));
      ShowBitmapLayered(gCover->Handle(), image, 254);
    } else {
      c->Perform(WM_SETREDRAW, 1, 0);
    }
    if (LOBYTE(LOWORD(GetVersion())) >= 6) RedrawWindow(wnd, nullptr, nullptr, RedrawAll);
    const bool layeredForm = dynamic_cast<TForm*>(c) && (GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    if (gCover && !layeredForm)
      SetWindowPos(gCover->Handle(), nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
  }
}

}  // namespace

TOutputWindow::TOutputWindow(TComponent* Owner) : TWinControl(Owner) {
  Name = L"acOW" + std::to_wstring(GetTickCount());
  SetCaption(Name);
  SetVisible(false);
  SetColor(static_cast<TColor>(0xFF00FF));
  Tag = SkipSkinningTag;
}

void TOutputWindow::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  if (!Parent() && !Params.WndParent) {
    Params.Style = WS_POPUP;
    Params.X = Left();
    Params.Y = Top();
    Params.Width = Width();
    Params.Height = Height();
    if (auto* owner = dynamic_cast<TWinControl*>(Owner());
        owner && owner->HandleAllocated() && (GetWindowLongPtrW(owner->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST))
      Params.ExStyle |= WS_EX_TOPMOST;
    Params.WndParent = Application().Handle();
  }
}

void TOutputWindow::WndProc(TMessage& Message) {
  // It shows only what is drawn into its window DC.
  if (Message.Msg == WM_ERASEBKGND) {
    Message.Result = 1;
    return;
  }
  if (Message.Msg == WM_NCPAINT) {
    Message.Result = 0;
    return;
  }
  TWinControl::WndProc(Message);
}

TWinControl* SkinChangeCover() { return gCover; }
TBitmap* SkinChangeCapture() { return gCapture.get(); }

void PlaceAfterControl(TWinControl* W, TControl* C) {
  TWinControl* parent = W ? W->Parent() : nullptr;
  if (!parent || !C) return;
  const std::vector<TControl*> children = parent->Controls();
  for (std::size_t k = 0; k < children.size(); ++k)
    if (children[k] == C) {
      parent->SetChildOrder(W, static_cast<int>(k) + 1);
      return;
    }
}

void CaptureForSkinChange(TControl* Control) {
  auto* c = dynamic_cast<TWinControl*>(Control);
  if (!c || !c->HandleAllocated() || !IsShownAndRestored(c->Handle())) return;
  RECT r{};
  GetWindowRect(c->Handle(), &r);
  if (!gCapture) gCapture = NewBitmap32(c->Width(), c->Height());
  HDC screen = GetDC(nullptr);
  BitBlt(gCapture->Canvas().Handle(), 0, 0, c->Width(), c->Height(), screen, r.left, r.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  if (!gCover) gCover = NewComponent<TOutputWindow>(&Application());
  if (TWinControl* parent = c->Parent()) {
    gCover->SetParent(parent);
    gCover->SetBounds(c->Left(), c->Top(), c->Width(), c->Height());
    SetWindowPos(gCover->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(gCover->Handle(), SW_SHOWNA);
  } else {
    gCover->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
    SetWindowPos(gCover->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void AnimateSkinChange(TControl* Control, std::uint16_t Time, std::uint8_t Alpha, bool Zoom) {
  auto* c = dynamic_cast<TWinControl*>(Control);
  if (!c || !c->HandleAllocated() || !IsShownAndRestored(c->Handle())) return;
  TacAnimationGuard flag;
  auto* form = dynamic_cast<TForm*>(c);
  TsSkinProvider* provider =
      form ? reinterpret_cast<TsSkinProvider*>(PerformSkinCommand(form, SKCMD_GET_PROVIDER, 0)) : nullptr;
  if (LayeredWindowsAvailable() && form && provider) {
    LayeredTransition(form, provider, Time, Alpha, Zoom);
    return;
  }
  CoverTransition(c, provider, Time);
}

