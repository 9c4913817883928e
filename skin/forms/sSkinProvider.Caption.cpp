// The skinned caption's mouse handling: caption buttons light up under the mouse, show a
// pressed state and act on release, user title buttons and title-bar items fire their events
// and show hints, a double click on the caption maximizes or restores. Each state change of a
// button is shown at once; with animation it fades in over ten 12 ms steps on a small layered
// window over the button (TacSBAnimation), which the dialog handler uses for its caption too.
#include <windows.h>

#include <algorithm>

#include "platform/ui/Forms.h"
#include "platform/ui/HintWindow.h"
#include "skin/controls/acAlphaHints.h"
#include "skin/controls/acGlow.h"
#include "skin/controls/acPopupController.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

HWND WndOf(TForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }

bool IsMDIChildForm(TForm* form) { return form && form->FormKind() == fkMDIChild; }

bool ValidMask(TacSkinData* sd, int index) { return sd && index >= 0 && index < static_cast<int>(sd->ma.size()); }

bool Holds(const TRect& r, TPoint p) { return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom; }

bool IsSystemButtonCode(int code) {
  return code == HTMINBUTTON || code == HTMAXBUTTON || code == HTCLOSE || code == HTHELP ||
         (code >= 101 && code <= 103);
}
bool IsTitleButtonCode(int code, int hi = 1255) { return code >= 1000 && code <= hi; }
bool IsItemCode(int code, int hi = 2255) { return code >= 2000 && code <= hi; }

// The screen point of a mouse message: non-client messages carry it, WM_LBUTTONUP carries a
// client point.
TPoint ScreenPointOf(HWND wnd, const TMessage& m) {
  POINT pt{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
  if (m.Msg == WM_LBUTTONUP && wnd) ClientToScreen(wnd, &pt);
  return TPoint{pt.x, pt.y};
}

HWND BorderWindow(TacBorderForm* border) { return border && border->AForm ? WndOf(border->AForm) : nullptr; }

// The border window's own test of a screen point. Its WM_NCHITTEST answers only whether the
// mouse goes through, not which element lies there.
int BorderHitTest(TacBorderForm* border, TPoint p) {
  if (!BorderWindow(border)) return HTNOWHERE;
  TMessage m{WM_NCHITTEST, 0, MAKELPARAM(p.X, p.Y), 0};
  return border->Ex_WMNCHitTest(m);
}

// The bitmap a mask's cells are cut from.
TBitmap* MaskSource(const TsMaskData& m) {
  if (m.Bmp) return m.Bmp;
  return m.Manager ? m.Manager->MasterBitmap() : nullptr;
}

bool KeyColourMask(const TsMaskData& m) { return m.MaskType <= 0 && !(m.DrawMode & 0x10); }

DWORD WindowsMajorVersion() {
  static const DWORD major = [] {
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
      if (auto get = reinterpret_cast<TRtlGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))))
        if (get(&info) == 0) return info.dwMajorVersion;
    return DWORD{6};
  }();
  return major;
}

bool IsMDIParentForm(TForm* form) { return form && form->FormKind() == fkMDIForm; }

void SetScreenCursor(TCursor cursor) {
  HCURSOR c = CursorHandle(cursor);
  ::SetCursor(c ? c : LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace

void DrawUserGlyph(TBitmap* dst, TBitmap* g, int x, int y) {
  if (g->PixelFormat() == pf32bit)
    DrawAlphaImageOverBackground(TRect{x, y, x + g->Width(), y + g->Height()}, TRect{0, 0, g->Width(), g->Height()},
                                 dst, g, MakeCacheInfo(dst, 0, 0), true);
  else
    PasteExceptKey(dst, g, x, y, g->Canvas().Pixel(0, g->Height() - 1));
}

// ---- fades of caption buttons --------------------------------------------------------------

TacSBAnimation::TacSBAnimation(TComponent* AOwner) : TTimer(AOwner) {
  SetEnabled(false);
  SetInterval(12);
  SetOnTimer([this] { OnAnimTimer(); });
}

TacSBAnimation::~TacSBAnimation() {
  SetEnabled(false);
  FreeWindow();
  if (PBtnData && PBtnData->cpTimer == this) PBtnData->cpTimer = nullptr;
}

void TacSBAnimation::FreeWindow() {
  if (AForm) TComponent::Free(AForm);
  AForm = nullptr;
  ABmp.reset();
}

int TacSBAnimation::Offset() {
  if (!PBtnData || !SkinData) return 0;
  TsSkinManager* manager = SkinData->ReadSkinManager();
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  if (!manager || !sd || !manager->Effects.AllowGlowing || CurrentState != 1) return 0;
  const int code = static_cast<int>(PBtnData->cpHitCode);
  if (code != HTMINBUTTON && code != HTMAXBUTTON && code != HTCLOSE) return 0;
  const int glyph = PBtnData->cpGlyphType;
  return glyph >= 0 && glyph < static_cast<int>(sd->GlowMargins.size()) ? sd->GlowMargins[static_cast<std::size_t>(glyph)]
                                                                          : 0;
}

namespace {
// The title glow image of a big glyph, -1 when the skin has none.
int TitleGlowIndex(TacSkinData* sd, int glyph) {
  if (!sd || glyph < 0 || glyph > tgNorm) return -1;
  const auto& glows = sd->TitleGlows[static_cast<std::size_t>(glyph)];
  return !glows.empty() && ValidMask(sd, glows[0]) ? glows[0] : -1;
}
}  // namespace

TRect TacSBAnimation::GetFormBounds() {
  RECT wr{};
  HWND owner = BorderWindow(BorderForm);
  if (!owner) owner = FormHandle;
  if (!PBtnData || !owner || !GetWindowRect(owner, &wr)) return TRect{};
  const TRect& b = PBtnData->cpRect;
  TRect r{wr.left + b.Left, wr.top + b.Top, wr.left + b.Right, wr.top + b.Bottom};
  const int offset = Offset();
  TacSkinData* sd = SkinData ? SkinData->ReadCommonSkinData() : nullptr;
  const int glow = offset != 0 ? TitleGlowIndex(sd, PBtnData->cpGlyphType) : -1;
  if (glow >= 0) {
    const TsMaskData& m = sd->ma[static_cast<std::size_t>(glow)];
    r.Left -= offset;
    r.Top -= offset;
    r.Right = r.Left + m.Width;
    r.Bottom = r.Top + m.Height;
  }
  return r;
}

void TacSBAnimation::MakeForm() {
  if (AForm) return;
  AForm = NewComponent<TacGlowForm>(nullptr);
  HWND wnd = AForm->Handle();
  LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_TRANSPARENT;
  if (BorderForm && BorderForm->AForm && BorderForm->AForm->FormStyle() == fsStayOnTop) ex |= WS_EX_TOPMOST;
  SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex);
}

void TacSBAnimation::MakeImg() {
  if (CurrentState == 0 && ABmp) return;
  if (!PBtnData || !SkinData) return;
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  const TRect bounds = GetFormBounds();
  if (bounds.Width() <= 0 || bounds.Height() <= 0 || !sd) return;
  ABmp = NewBitmap32(bounds.Width(), bounds.Height());
  const int glow = Offset() != 0 ? TitleGlowIndex(sd, PBtnData->cpGlyphType) : -1;
  if (glow >= 0) {
    const TsMaskData& m = sd->ma[static_cast<std::size_t>(glow)];
    if (TBitmap* src = MaskSource(m))
      BitBlt(ABmp->Canvas().Handle(), 0, 0, m.Width, m.Height, src->Canvas().Handle(), m.R.Left, m.R.Top, SRCCOPY);
    return;
  }
  // The state image: the restore glyph for the minimize button of an iconic provider form.
  int glyph = PBtnData->cpGlyphType;
  if (Provider && PBtnData == &Provider->ButtonMin && FormHandle && IsIconic(FormHandle)) glyph = tgNorm;
  if (glyph == tgTitleButton && Provider && ValidMask(sd, Provider->UserBtnIndex))
    glyph = -2;  // the provider's own user-button image
  const int index = glyph == -2 ? Provider->UserBtnIndex
                    : glyph >= 0 && glyph < tgNone ? sd->TitleGlyphs[static_cast<std::size_t>(glyph)]
                                                   : -1;
  const bool keyColour = !ValidMask(sd, index) || KeyColourMask(sd->ma[static_cast<std::size_t>(index)]);
  if (ValidMask(sd, index))
    DrawMaskStateImage(ABmp.get(), Point(0, 0), std::max(0, CurrentState), 1, sd->ma[static_cast<std::size_t>(index)],
                       EmptyCacheInfo);
  if (!BorderForm && keyColour) {
    // A key-colour glyph leaves its own pixels without alpha: they are made opaque, the key
    // pixels keep the cleared background.
    TPixels32 px;
    if (GetPixels32(ABmp.get(), px))
      for (int y = 0; y < px.Height; ++y)
        for (int x = 0; x < px.Width; ++x)
          if (std::uint32_t& c = px.Row(y)[x]; c != 0 && (c >> 24) == 0) c |= 0xFF000000u;
  }
  if (!IsDwmCompositionOn() && WindowsMajorVersion() >= 6) PremultiplyBitmap(ABmp.get());
  // A user title button of a provider shows its glyph on top, as the direct path draws it.
  if (Provider && IsTitleButtonCode(static_cast<int>(PBtnData->cpHitCode))) {
    const int i = static_cast<int>(PBtnData->cpHitCode) - 1000;
    if (i < Provider->TitleButtons().Count()) {
      TBitmap* g = Provider->TitleButtons().Items(i)->Glyph.get();
      if (g && !g->Empty()) {
        const int shift = CurrentState == 2 ? 1 : 0;
        DrawUserGlyph(ABmp.get(), g, (ABmp->Width() - g->Width()) / 2 + shift,
                      (ABmp->Height() - g->Height()) / 2 + shift);
      }
    }
  }
}

void TacSBAnimation::UpdateForm(std::uint8_t Blend) {
  if (!ABmp) MakeImg();
  if (!ABmp || ABmp->Empty()) return;
  MakeForm();
  HWND wnd = AForm ? AForm->Handle() : nullptr;
  if (!wnd) return;
  TRect r = GetFormBounds();
  if (r.Width() != ABmp->Width()) {
    const int cx = r.Left + r.Width() / 2, cy = r.Top + r.Height() / 2;
    r = TRect{cx - ABmp->Width() / 2, cy - ABmp->Height() / 2, cx - ABmp->Width() / 2 + ABmp->Width(),
              cy - ABmp->Height() / 2 + ABmp->Height()};
  }
  HWND after = HWND_TOP;
  if (FormHandle && (GetWindowLongPtrW(FormHandle, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
    after = HWND_TOPMOST;
  } else if (FormHandle) {
    HWND above = GetWindow(FormHandle, GW_HWNDPREV);
    if (above == wnd) above = GetWindow(wnd, GW_HWNDPREV);
    after = above ? above : HWND_TOP;
  }
  SetWindowLongPtrW(wnd, GWL_EXSTYLE,
                    GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT);
  SetWindowPos(wnd, after, r.Left, r.Top, ABmp->Width(), ABmp->Height(),
               SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
  HDC screen = GetDC(nullptr);
  POINT pos{r.Left, r.Top}, src{0, 0};
  SIZE size{ABmp->Width(), ABmp->Height()};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, Blend, AC_SRC_ALPHA};
  UpdateLayeredWindowEntry(wnd, screen, &pos, &size, ABmp->Canvas().Handle(), &src, 0, &blend, ULW_ALPHA);
  ReleaseDC(nullptr, screen);
  if (!IsWindowVisible(wnd))
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER |
                     SWP_NOSENDCHANGING);
}

void TacSBAnimation::StartAnimation(int NewState, bool ToUp) {
  if (NewState == CurrentState) return;
  CurrentState = NewState;
  if (NewState != 0) {
    if (NewState == 2) FreeWindow();
    CurrentLevel = 1;
    Up = ToUp;
    UpdateForm(static_cast<std::uint8_t>(std::min(Step(), 255)));
    CurrentLevel = 2;
  } else {
    Up = false;
    --CurrentLevel;
    UpdateForm(static_cast<std::uint8_t>(std::min(Step(), 255)));
  }
  if (MaxIterations > 1) SetEnabled(true);
}

void TacSBAnimation::ChangeState(int NewState, bool ToUp) {
  (void)NewState;
  Up = ToUp;
  SetEnabled(true);
}

void TacSBAnimation::OnAnimTimer() {
  if (Up) {
    if (CurrentLevel < MaxIterations) {
      UpdateForm(static_cast<std::uint8_t>(std::clamp(Step() * CurrentLevel, 0, 255)));
      ++CurrentLevel;
    } else {
      if (MaxIterations != -1) {
        MaxIterations = -1;
        UpdateForm(255);
      }
      CheckMouseLeave();  // may free this fade through the owner's handlers
    }
    return;
  }
  if (CurrentLevel > 0) {
    UpdateForm(static_cast<std::uint8_t>(std::clamp(Step() * CurrentLevel, 0, 255)));
    --CurrentLevel;
    return;
  }
  CurrentState = -1;
  SetEnabled(false);
  FreeWindow();
}

void TacSBAnimation::CheckMouseLeave() {
  if (!PBtnData) return;
  RECT wr{};
  HWND origin = BorderWindow(BorderForm);
  if (!origin) origin = FormHandle;
  if (!origin || !GetWindowRect(origin, &wr)) return;
  const TPoint c = CursorPosition();
  if (Holds(PBtnData->cpRect, TPoint{c.X - wr.left, c.Y - wr.top})) return;
  SetEnabled(false);
  if (FormHandle) SendMessageW(FormHandle, WM_MOUSELEAVE, 0, 0);
}

void StartCaptionButtonAnimation(TsCaptionButton& Button, int Steps, TacDialogWnd* DialogHandler,
                                 TsSkinProvider* Provider, bool Up) {
  if (Application().Terminated()) return;
  const int allow = Provider && !Provider->AllowAnimation ? 0 : 1;
  if (TacSBAnimation* fade = Button.cpTimer) {
    if (Up) fade->CurrentState = Button.cpState;
    fade->MaxIterations = Steps;
    fade->Up = Up;
    fade->SetEnabled(true);
    if (Button.cpState == 2) {
      fade->ABmp.reset();
      fade->MakeForm();
      fade->MakeImg();
    }
    fade->CurrentLevel = std::max(1, Steps * allow);
    return;
  }
  if (!Provider && !DialogHandler) return;
  auto* fade = NewComponent<TacSBAnimation>(Provider ? static_cast<TComponent*>(Provider) : &Application());
  if (Provider) {
    fade->Provider = Provider;
    fade->BorderForm = Provider->BorderForm;
    fade->FormHandle = WndOf(Provider->Form);
    fade->SkinData = Provider->FCommonData.get();
  } else {
    fade->BorderForm = DialogHandler->BorderForm;
    fade->FormHandle = DialogHandler->CtrlHandle;
    fade->SkinData = DialogHandler->SkinData;
  }
  fade->MaxIterations = std::max(1, Steps * allow);
  fade->SetInterval(12);
  fade->PBtnData = &Button;
  Button.cpTimer = fade;
  fade->StartAnimation(Button.cpState, true);
}

// ---- hints -------------------------------------------------------------------------------

void ShowTitleButtonHint(TsTitleButton* Button) {
  if (!Button || Button->Hint.empty() || Button->HintWnd) return;
  const TPoint c = CursorPosition();
  THintWindow* hint = ShowHintText(Button->Hint, TPoint{c.X + 8, c.Y + 16});
  if (hint && Application().PlainHintWindowClass() && hint->ClassName() == L"THintWindow") Button->HintWnd = hint;
}

void HideTitleButtonHint(TsTitleButton* Button) {
  if (!Button || !Button->HintWnd) return;
  TComponent::Free(Button->HintWnd);
  Button->HintWnd = nullptr;
}

void TsSkinProvider::StartItemHint(TacTitleBarItem* Item) {
  if (!Item || !Item->ShowHint || Item->Hint.empty() || !Form || !Form->ShowHint || !Application().ShowHint) return;
  if (!FHintTimer) {
    FHintTimer = NewComponent<TacTimer>(this);
    FHintTimer->SetEnabled(false);
    TacTimer* timer = FHintTimer;
    timer->SetOnTimer([this, timer] {
      timer->SetEnabled(false);
      if (timer->Item && Holds(FHintRect, CursorPosition())) ShowItemHint(timer->Item);
    });
  }
  RECT wr{};
  HWND origin = BorderWindow(BorderForm);
  if (!origin) origin = WndOf(Form);
  if (origin) GetWindowRect(origin, &wr);
  FHintRect = TRect{Item->Rect.Left + wr.left, Item->Rect.Top + wr.top, Item->Rect.Right + wr.left,
                    Item->Rect.Bottom + wr.top};
  FHintTimer->Item = Item;
  if (Application().HintPause <= 0) {
    ShowItemHint(Item);
  } else {
    FHintTimer->SetInterval(static_cast<UINT>(Application().HintPause));
    FHintTimer->SetEnabled(true);
  }
}

// ---- element states ------------------------------------------------------------------------

TsCaptionButton* TsSkinProvider::ButtonByCode(int Code) {
  switch (Code) {
    case HTMINBUTTON: return &ButtonMin;
    case HTMAXBUTTON: return &ButtonMax;
    case HTCLOSE: return &ButtonClose;
    case HTHELP: return &ButtonHelp;
    case 101: return &MDIClose;
    case 102: return &MDIMax;
    case 103: return &MDIMin;
    default: break;
  }
  if (IsTitleButtonCode(Code) && Code - 1000 < FTitleButtons->Count()) {
    TsTitleButton* b = FTitleButtons->Items(Code - 1000);
    return b->Visible ? &b->Data : nullptr;
  }
  return nullptr;
}

TacTitleBarItem* TsSkinProvider::ItemByCode(int Code) {
  if (!IsItemCode(Code) || !FTitleBar) return nullptr;
  const auto i = static_cast<std::size_t>(Code - 2000);
  return i < static_cast<std::size_t>(FTitleBar->Items().Count()) ? FTitleBar->Items()[static_cast<int>(i)] : nullptr;
}

namespace {

// The old element goes back to state 0 (the step every hot and press change begins with).
void LeaveElement(TsSkinProvider* p, int code) {
  if (IsSystemButtonCode(code)) {
    if (TsCaptionButton* b = p->ButtonByCode(code)) b->cpState = 0;
  } else if (IsTitleButtonCode(code)) {
    if (code - 1000 < p->TitleButtons().Count()) {
      TsTitleButton* b = p->TitleButtons().Items(code - 1000);
      b->Data.cpState = 0;
      HideTitleButtonHint(b);
    }
  } else if (TacTitleBarItem* item = p->ItemByCode(code)) {
    if (item->OnMouseLeave) item->OnMouseLeave(item);
    SetScreenCursor(crDefault);
    item->SetState(0);
    HideItemHint(item);
    ReleaseTitleBarDropdownGuard(item);
  }
}

}  // namespace

void TsSkinProvider::SetHotHT(int Code, bool Repaint) {
  if (Code == CurrentHT || !NonClientSkinned()) return;
  TsSkinManager* manager = Manager();
  if ((manager && (manager->ManagerState & msAnimScaling)) || FUWPMode) return;
  if (FHintTimer) {
    TComponent::Free(FHintTimer);
    FHintTimer = nullptr;
  }
  const int old = CurrentHT;
  auto alive = FAlive;
  if (old > 0) {
    if (TsAlphaHints* hints = ActiveAlphaHints; hints && hints->HideTimer) {
      if (Code <= 0)
        hints->OnHideTimer();
      else
        hints->StartHideTimer(0);
    }
    LeaveElement(this, old);
    if (Repaint) RepaintButton(old);
    if (!*alive) return;
  }
  CurrentHT = Code;
  if (biClicked || Code <= 0) return;
  if (IsSystemButtonCode(Code)) {
    if (TsCaptionButton* b = ButtonByCode(Code)) b->cpState = 1;
  } else if (IsTitleButtonCode(Code)) {
    if (Code - 1000 < FTitleButtons->Count()) {
      TsTitleButton* b = FTitleButtons->Items(Code - 1000);
      b->Data.cpState = 1;
      ShowTitleButtonHint(b);
    }
  } else if (TacTitleBarItem* item = ItemByCode(Code)) {
    if (item->OnMouseEnter) item->OnMouseEnter(item);
    if (!*alive) return;
    SetScreenCursor(item->Cursor);
    item->SetState(1);
    StartItemHint(item);
  }
  if (!Repaint) return;
  RepaintButton(Code);
  if (!*alive) return;
  if (TacTitleBarItem* item = ItemByCode(Code); item && item->State() != 1) {
    item->SetState(0);
    RepaintFormFrame();
    item->SetState(1);
  }
}

void TsSkinProvider::SetPressedHT(int Code) {
  if (Code != CurrentHT && CurrentHT != 0) {
    LeaveElement(this, CurrentHT);
    RepaintButton(CurrentHT);
  }
  CurrentHT = Code;
  HWND wnd = WndOf(Form);
  bool allowed = true;
  switch (Code) {
    case HTMINBUTTON:
    case HTHELP:
    case 101:
    case 103: ButtonByCode(Code)->cpState = 2; break;
    case HTMAXBUTTON:
      allowed = SystemMenu && (SystemMenu->EnabledMax() || (wnd && IsZoomed(wnd) && SystemMenu->EnabledRestore()));
      if (allowed) ButtonMax.cpState = 2;
      break;
    case HTCLOSE:
      allowed = SystemMenu && SystemMenu->EnabledClose();
      if (allowed) ButtonClose.cpState = 2;
      break;
    case 102:
      if (SystemMenu && SystemMenu->EnabledMax()) MDIMax.cpState = 2;
      break;
    default:
      if (IsTitleButtonCode(Code)) {
        if (Code - 1000 < FTitleButtons->Count()) {
          TsTitleButton* b = FTitleButtons->Items(Code - 1000);
          b->Data.cpState = 2;
          HideTitleButtonHint(b);
        }
      } else if (TacTitleBarItem* item = ItemByCode(Code)) {
        item->SetState(2);
        HideItemHint(item);
        if (item->Style() == bsTab) {
          // Tabs act on the press: nothing stays pressed.
          item->FreeFade();
          CurrentHT = -1;
          return;
        }
      }
      break;
  }
  if (!allowed) {
    CurrentHT = 0;
    return;
  }
  biClicked = true;
  RepaintButton(Code);
}

void TsSkinProvider::RepaintButton(int Code) {
  TsSkinManager* manager = Manager();
  if (manager && (manager->ManagerState & msAnimScaling)) return;
  HWND wnd = WndOf(Form);
  if (!wnd || !FCommonData) return;
  TacTitleBarItem* item = ItemByCode(Code);
  if (item && !item->Visible()) item = nullptr;
  TsCaptionButton* button = item ? nullptr : ButtonByCode(Code);
  if (!item && !button) return;
  const bool mdiButton = Code >= 101 && Code <= 103;
  TForm* parentForm = MDISkinProvider && MDISkinProvider->Form ? MDISkinProvider->Form : nullptr;
  if (Code == 101 && !(IsMDIParentForm(Form) && ChildSkinProvider && parentForm == Form &&
                       Form->ActiveMDIChildMaximized()))
    return;
  const int steps = manager && manager->Effects.AllowAnimation ? 10 : 1;
  const bool faded = item || (!mdiButton && ((manager && manager->Effects.AllowGlowing) || BorderForm) &&
                              FFormState == 0 && !Form->Parent() && !IsMDIChildForm(Form));
  if (faded) {
    if (item) {
      StartItemFade(item, steps, item->State() == 1 || item->State() == 2, BorderForm ? BorderForm->AForm : nullptr);
      return;
    }
    switch (button->cpState) {
      case 1: StartCaptionButtonAnimation(*button, steps, nullptr, this, true); break;
      case 2: StartCaptionButtonAnimation(*button, 1, nullptr, this, true); break;
      default: StartCaptionButtonAnimation(*button, steps, nullptr, this, false); break;
    }
    return;
  }
  // The direct path: the button's place in the cache from the saved caption background,
  // its state image over it, then that rectangle into the window.
  TBitmap* cache = FCommonData->FCacheBmp.get();
  TacSkinData* sd = FCommonData->ReadCommonSkinData();
  if (!button || !cache || cache->Empty() || !sd) return;
  const TRect r = button->cpRect;
  if (r.Right <= r.Left || r.Left < FIconRect.Right) return;
  if (TempBmp && !TempBmp->Empty()) {
    const int bgLeft = cache->Width() - TempBmp->Width() - 1;
    BitBlt(cache->Canvas().Handle(), r.Left, r.Top, r.Width(), r.Height(), TempBmp->Canvas().Handle(),
           r.Left - bgLeft, r.Top, SRCCOPY);
  }
  const bool iconic = IsIconic(wnd) != FALSE;
  int glyph = button->cpGlyphType;
  bool enabled = true;
  bool draw = true;
  switch (Code) {
    case HTMAXBUTTON:
      if (IsZoomed(wnd)) glyph = BigButtons ? tgNorm : tgSmallNorm;
      if (iconic) {
        glyph = BigButtons ? tgMax : tgSmallMax;
        enabled = SystemMenu && SystemMenu->EnabledMax();
      } else {
        enabled = SystemMenu && (SystemMenu->EnabledMax() || (IsZoomed(wnd) && SystemMenu->EnabledRestore()));
      }
      break;
    case HTMINBUTTON:
      if (iconic) glyph = BigButtons ? tgNorm : tgSmallNorm;
      break;
    case HTCLOSE: enabled = SystemMenu && SystemMenu->EnabledClose(); break;
    case 102:
      glyph = Form->ActiveMDIChildMaximized() ? tgSmallNorm : tgSmallMax;
      enabled = !(ChildSkinProvider && ChildSkinProvider->SystemMenu && !ChildSkinProvider->SystemMenu->EnabledRestore());
      break;
    case 103:
      draw = !(ChildSkinProvider && ChildSkinProvider->SystemMenu && !ChildSkinProvider->SystemMenu->EnabledMin());
      break;
    default: break;
  }
  if (!draw) return;
  const bool userButton = IsTitleButtonCode(Code);
  int index = -1;
  if (glyph == tgTitleButton)
    index = ValidMask(sd, UserBtnIndex) ? UserBtnIndex : sd->TitleGlyphs[tgTitleButton];
  else if (glyph >= 0 && glyph < tgNone)
    index = sd->TitleGlyphs[static_cast<std::size_t>(glyph)];
  if (ValidMask(sd, index)) {
    const bool formOff = !FormActive;
    const int mode = userButton ? ((button->cpState == 0 && formOff) ? 2 : 1)
                                : ((!enabled || (button->cpState == 0 && formOff)) ? 2 : 1);
    DrawMaskStateImage(cache, Point(r.Left, r.Top), button->cpState, mode, sd->ma[static_cast<std::size_t>(index)],
                       MakeCacheInfo(cache, 0, 0));
  }
  if (userButton && Code - 1000 < FTitleButtons->Count()) {
    TBitmap* g = FTitleButtons->Items(Code - 1000)->Glyph.get();
    if (g && !g->Empty()) {
      const int shift = button->cpState == 2 ? 1 : 0;
      DrawUserGlyph(cache, g, r.Left + (r.Width() - g->Width()) / 2 + shift,
                    r.Top + (r.Height() - g->Height()) / 2 + shift);
    }
  }
  int dx = r.Left, dy = r.Top;
  if (BorderForm) {
    const TRect shadow = ShadowSize();
    dx -= BorderFormBorderDiff(BorderForm) + shadow.Left;
    if (IsZoomed(wnd))
      dy -= FSysExHeight ? shadow.Top + BorderFormTitleDiff(BorderForm) + 4 : BorderForm->OffsetY();
    else
      dy -= BorderFormTitleDiff(BorderForm) + shadow.Top;
  }
  HDC dc = GetWindowDC(wnd);
  BitBlt(dc, dx, dy, r.Width(), r.Height(), cache->Canvas().Handle(), r.Left, r.Top, SRCCOPY);
  ReleaseDC(wnd, dc);
  // Hot big buttons glow when the skin has title glows for them.
  const bool big = glyph >= 0 && glyph <= tgNorm;
  const int glowIndex = TitleGlowIndex(sd, glyph);
  if (button->cpState == 1 && (Code == HTMINBUTTON || Code == HTMAXBUTTON || Code == HTCLOSE) && big &&
      glowIndex >= 0 && manager && manager->Effects.AllowGlowing && !Form->Parent() && !IsMDIChildForm(Form)) {
    RECT wr{};
    GetWindowRect(wnd, &wr);
    const TRect screenRect{wr.left + dx, wr.top + dy, wr.left + dx + r.Width(), wr.top + dy + r.Height()};
    if (button->cpGlowID < 0)
      button->cpGlowID = ShowGlowByMaskIndex(screenRect, sd->TitleGlows[static_cast<std::size_t>(glyph)],
                                             sd->GlowMargins[static_cast<std::size_t>(glyph)], 255, wnd,
                                             FCommonData.get());
  } else {
    ReleaseGlowById(button->cpGlowID, false);
  }
}

void TsSkinProvider::KillAnimations() {
  for (TsCaptionButton* b : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp})
    if (b->cpTimer) TComponent::Free(b->cpTimer);
  for (int i = 0; i < FTitleButtons->Count(); ++i)
    if (TacSBAnimation* t = FTitleButtons->Items(i)->Data.cpTimer) TComponent::Free(t);
  if (!Destroying() && FTitleBar)
    for (int i = 0; i < FTitleBar->Items().Count(); ++i) FTitleBar->Items()[i]->FreeFade();
  // The rescale thread stops here too. A step of the thread (its last one moves the form)
  // cannot wait for the thread that waits for it: from inside a step the thread is only told
  // to end, and goes later.
  if (FScaleThread) {
    if (FScaleThread->InStep())
      FScaleThread->Terminate();
    else
      FScaleThread.reset();
  }
}

// ---- message handlers ----------------------------------------------------------------------

int TsSkinProvider::HitCodeOfPoint(const TMessage& Message) {
  HWND wnd = WndOf(Form);
  const TPoint p = ScreenPointOf(wnd, Message);
  if (BorderWindow(BorderForm)) return BorderHitTest(BorderForm, p);
  TMessage m{WM_NCHITTEST, 0, MAKELPARAM(p.X, p.Y), 0};
  return HitTest(m);
}

void TsSkinProvider::WMNCMouseMove(TMessage& Message) {
  // A frame the skin does not draw has no buttons to light; a form not prepared yet (its
  // window being made again) is not hit-tested from here.
  if (!Form || !Form->Enabled() || !NonClientSkinned() || !SystemMenu || !WndOf(Form)) {
    CallOld(Message);
    return;
  }
  if (TsSkinManager* manager = Manager()) manager->SwitchHotControl(WndOf(Form));
  TMessage m{WM_NCHITTEST, 0, Message.LParam, 0};
  const int code = HitTest(m);
  Message.WParam = static_cast<WPARAM>(code);
  if (code == HTMINBUTTON || code == HTMAXBUTTON || code == HTCLOSE || code == HTHELP || (code >= 101 && code <= 103) ||
      IsTitleButtonCode(code, 1100) || IsItemCode(code, 2100)) {
    SetHotHT(code, true);
    return;
  }
  auto alive = FAlive;
  SetHotHT(0, true);
  if (*alive) CallOld(Message);
}

void TsSkinProvider::WMNCLButtonDown(TMessage& Message) {
  HWND wnd = WndOf(Form);
  int code = static_cast<int>(Message.WParam);
  auto alive = FAlive;
  if (!wnd) {
    CallOld(Message);
    return;
  }
  if (!NonClientSkinned() || Application().Terminated()) {
    if (code != HTSYSMENU) {
      CallOld(Message);
      return;
    }
    SetHotHT(0, true);
    biClicked = false;
    RECT r{};
    GetWindowRect(wnd, &r);
    if (IsMDIChildForm(Form) && MDISkinProvider)
      DropSysMenu(FormOrigin().X, FormOrigin().Y + CaptionHeight(true) + 4);
    else
      DropSysMenu(r.left + FIconRect.Left, r.top + FIconRect.Bottom);
    return;
  }
  // 1.
  if (PopupController) PopupController->KillAllForms();
  if (!*alive) return;
  // 2.
  if (BorderForm && code == HTSIZE) {
    CallOld(Message);
    return;
  }
  if (BorderForm && code == -1) code = HitCodeOfPoint(Message);
  const TPoint pt = ScreenPointOf(wnd, Message);
  switch (code) {
    case HTSYSMENU: {  // 3.
      CallOld(Message);
      if (!*alive || Message.Result != 0) return;
      SetHotHT(0, true);
      biClicked = false;
      TsSkinManager* manager = Manager();
      if (manager && !manager->SkinnedPopups()) {
        WaitProcessingMessages(200);
        if (!*alive || !FCommonData || FCommonData->FUpdating) return;
      }
      const TPoint origin = FormOrigin();
      if (IsMDIChildForm(Form) && MDISkinProvider) {
        DropSysMenu(origin.X, origin.Y + SysCaptionHeight(this) + 4 - (IsIconic(wnd) ? 16 : 0));
      } else if (SysRTLAllowed()) {
        RECT r{};
        GetWindowRect(wnd, &r);
        DropSysMenu(r.right - SysBorderWidth(wnd, BorderForm, false), origin.Y + BorderHeight(true) +
                                                                          FIconRect.Height() +
                                                                          SysBorderHeight(wnd, BorderForm, false));
      } else {
        DropSysMenu(origin.X + SysBorderWidth(wnd, BorderForm, false),
                    origin.Y + BorderHeight(true) + FIconRect.Height() + SysBorderHeight(wnd, BorderForm, false));
      }
      return;
    }
    case HTMENU: CallOld(Message); return;  // 4.
    default: break;
  }
  // 5.
  if (IsSystemButtonCode(code)) {
    if (code == 103 && !(ChildSkinProvider && ChildSkinProvider->SystemMenu &&
                         ChildSkinProvider->SystemMenu->EnabledMin() &&
                         ChildSkinProvider->SystemMenu->EnabledRestore()))
      return;
    SetPressedHT(code);
    return;
  }
  // 6.
  if (IsTitleButtonCode(code)) {
    SetPressedHT(code);
    if (!*alive) return;
    if (code - 1000 < FTitleButtons->Count()) {
      TsTitleButton* b = FTitleButtons->Items(code - 1000);
      b->DoMouseDown(mbLeft, 0, pt.X, pt.Y);
      if (!*alive) return;
      HideTitleButtonHint(b);
    }
    return;
  }
  // 7.
  if (TacTitleBarItem* item = ItemByCode(code)) {
    if (TsAlphaHints* hints = ActiveAlphaHints; hints && hints->HideTimer) hints->OnHideTimer();
    if (FHintTimer) {
      TComponent::Free(FHintTimer);
      FHintTimer = nullptr;
    }
    if (item->Style() != bsTab && !(item->Style() == bsMenu && item->HasDropdown())) SetPressedHT(code);
    if (!*alive) return;
    if (TsSkinManager* manager = Manager(); manager && manager->SkinnedPopups() && manager->SkinableMenus &&
                                            item->HasDropdown())
      manager->SkinableMenus->HookPopupMenu(item->DropdownMenu, true);
    item->DoMouseDown(mbLeft, 0, pt.X, pt.Y);
    if (!*alive) return;
    biClicked = item->Pressed;
    return;
  }
  // 8.
  if (IsIconic(wnd)) {
    SendMessageW(wnd, WM_SYSCOMMAND, 0xF012, 0);
    return;
  }
  // 9.
  SetHotHT(0, true);
  if (!*alive) return;
  if (IsZoomed(wnd)) {
    const TPoint p = ScreenToFormPoint(pt.X, pt.Y);
    if (p.Y <= SysBorderHeight(wnd, BorderForm, true) + CaptionHeight(true)) {
      CallOld(Message);
      if (!*alive) return;
      if (GetActiveWindow() != wnd && Form->Enabled() && Form->CanFocus()) Form->SetFocus();
      return;
    }
  }
  // 10.
  CollectGluedForms();
  BOOL fullDrag = FALSE;
  SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &fullDrag, 0);
  TsSkinManager* manager = Manager();
  if (fullDrag && code == HTCAPTION && !IsMDIChildForm(Form) && manager &&
      manager->AnimEffects.BlendOnMoving.Active && manager->AnimEffects.BlendOnMoving.BlendValue != 255 &&
      AllowBlendOnMoving) {
    CaptionDragStart();
    return;
  }
  CallOld(Message);
}

void TsSkinProvider::WMNCLButtonUp(TMessage& Message) {
  HWND wnd = WndOf(Form);
  if (!NonClientSkinned() || !Form || !Form->Enabled() || !wnd) {
    CallOld(Message);
    return;
  }
  auto alive = FAlive;
  // WM_LBUTTONUP carries key flags, not a hit code: the code comes from the point.
  int code = Message.Msg == WM_LBUTTONUP ? HitCodeOfPoint(Message) : static_cast<int>(Message.WParam);
  if (BorderForm && code == -1) code = HitCodeOfPoint(Message);
  const TPoint pt = ScreenPointOf(wnd, Message);
  const bool pressed = biClicked;
  switch (code) {
    case HTMINBUTTON: {
      if (!pressed) {
        SetHotHT(0, true);
        if (*alive) CallOld(Message);
        return;
      }
      TPoint p;
      if (HWND border = BorderWindow(BorderForm)) {
        RECT br{};
        GetWindowRect(border, &br);
        p = TPoint{pt.X - br.left, pt.Y - br.top};
      } else {
        p = ScreenToFormPoint(pt.X, pt.Y);
      }
      if (!Holds(ButtonMin.cpRect, p)) {
        // The press ends here without acting.
        biClicked = false;
        CallOld(Message);
        return;
      }
      SetHotHT(0, true);
      if (!*alive) return;
      if (Application().MainForm() == Form) {
        SkipAnimation = true;
        SendMessageW(wnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        if (!*alive) return;
        SkipAnimation = false;
      } else {
        SendMessageW(wnd, WM_SYSCOMMAND, IsIconic(wnd) ? SC_RESTORE : SC_MINIMIZE, 0);
        if (!*alive) return;
      }
      if (FCommonData) FCommonData->BGChanged = true;
      biClicked = false;
      return;
    }
    case HTMAXBUTTON: {
      const bool zoomed = IsZoomed(wnd) != FALSE;
      if (!SystemMenu || !(SystemMenu->EnabledMax() || (zoomed && SystemMenu->EnabledRestore()))) return;
      if (!pressed) {
        SetHotHT(0, true);
        if (*alive) CallOld(Message);
        return;
      }
      SetHotHT(0, true);
      if (!*alive) return;
      RgnChanged = true;
      if (IsMDIChildForm(Form)) ChildSkinProvider = nullptr;
      SendMessageW(wnd, WM_SYSCOMMAND, zoomed ? SC_RESTORE : SC_MAXIMIZE, 0);
      if (!*alive) return;
      if (SystemMenu) SystemMenu->UpdateItems();
      biClicked = false;
      return;
    }
    case HTCLOSE:
      if (pressed && SystemMenu && SystemMenu->EnabledClose()) {
        ButtonClose.cpState = 0;
        biClicked = false;
        SendMessageW(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (!*alive) return;
        KillAnimations();
        if (IsWindowVisible(wnd)) SetHotHT(0, true);
        return;
      }
      biClicked = false;
      return;
    case HTHELP:
      if (pressed) {
        SendMessageW(wnd, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
        if (!*alive) return;
        SetHotHT(0, true);
        if (!*alive) return;
        if (SystemMenu) SystemMenu->UpdateItems();
        biClicked = false;
        SendMessageW(wnd, WM_NCPAINT, 0, 0);
      } else {
        SetHotHT(0, true);
      }
      return;
    case 101:
    case 102:
    case 103: {
      if (pressed) {
        TForm* child = Form->ActiveMDIChild();
        HWND childWnd = WndOf(child);
        if (code == 103 && MDISkinProvider && MDISkinProvider->FCommonData)
          MDISkinProvider->FCommonData->BeginUpdate();
        if (childWnd)
          SendMessageW(childWnd, WM_SYSCOMMAND, code == 101 ? SC_CLOSE : code == 102 ? SC_RESTORE : SC_MINIMIZE, 0);
        if (!*alive) return;
      }
      biClicked = false;
      SetHotHT(0, code == 103);
      return;
    }
    default: break;
  }
  if (IsTitleButtonCode(code)) {
    if (pressed && code - 1000 < FTitleButtons->Count()) {
      FTitleButtons->Items(code - 1000)->DoMouseUp(mbLeft, 0, pt.X, pt.Y);
      if (!*alive) return;
    }
    biClicked = false;
    SetHotHT(0, true);
    return;
  }
  if (TacTitleBarItem* item = ItemByCode(code)) {
    if (pressed) {
      item->SetState(0);
      item->DoMouseUp(mbLeft, 0, pt.X, pt.Y);
      if (!*alive) return;
      if (item->Visible() && !item->Down()) {
        TMessage m{WM_NCHITTEST, 0, MAKELPARAM(pt.X, pt.Y), 0};
        if (HitCodeOfPoint(m) == code) {
          item->SetState(1);
          StartItemFade(item, Manager() && Manager()->Effects.AllowAnimation ? 10 : 1, true,
                        BorderForm ? BorderForm->AForm : nullptr);
        }
      } else if (!item->Visible()) {
        item->FreeFade();
      }
    }
    biClicked = false;
    return;
  }
  biClicked = false;
  if (IsIconic(wnd) && MDISkinProvider) {
    const TPoint c = CursorPosition();
    DropSysMenu(c.X, c.Y);
    return;
  }
  CallOld(Message);
}

void TsSkinProvider::WMNCLButtonDblClk(TMessage& Message) {
  HWND wnd = WndOf(Form);
  if (!wnd) {
    CallOld(Message);
    return;
  }
  switch (static_cast<int>(Message.WParam)) {
    case HTCAPTION: {
      const bool iconic = IsIconic(wnd) != FALSE, zoomed = IsZoomed(wnd) != FALSE;
      const bool maxOrRestore = SystemMenu && (SystemMenu->EnabledMax() || SystemMenu->EnabledRestore());
      auto alive = FAlive;
      if (((Form->BorderIcons() & biSystemMenu) && maxOrRestore) || (!HasBorder(this) && iconic)) {
        SendMessageW(wnd, WM_SYSCOMMAND, zoomed || iconic ? SC_RESTORE : SC_MAXIMIZE, 0);
        if (!*alive) return;
        if (SystemMenu) SystemMenu->UpdateItems();
      } else if (iconic) {
        SendMessageW(wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
        if (!*alive) return;
        if (SystemMenu) SystemMenu->UpdateItems();
      }
      Message.WParam = 0;
      return;
    }
    case HTSYSMENU: {
      TsSkinManager* manager = Manager();
      if (manager && !manager->SkinnedPopups() && FCommonData) FCommonData->FUpdating = true;
      Form->Close();
      return;
    }
    default: CallOld(Message); return;
  }
}

void TsSkinProvider::WMNCRButtonDown(TMessage& Message) {
  const int code = static_cast<int>(Message.WParam);
  if (code == HTCAPTION || code == HTSYSMENU) {
    RightPressed = true;
    return;
  }
  if (TacTitleBarItem* item = ItemByCode(code)) {
    RightPressed = true;
    if (item->OnMouseDown)
      item->OnMouseDown(item, mbRight, 0, static_cast<short>(LOWORD(Message.LParam)),
                        static_cast<short>(HIWORD(Message.LParam)));
    return;
  }
  CallOld(Message);
}

void TsSkinProvider::WMNCRButtonUp(TMessage& Message) {
  const bool wasPressed = RightPressed;
  RightPressed = false;
  if (!HasBorder(this)) {
    CallOld(Message);
    return;
  }
  // The point is tested again (the border window's test with a border form).
  const int code = HitCodeOfPoint(Message);
  if ((code == HTCAPTION || code == HTSYSMENU) && wasPressed) {
    auto alive = FAlive;
    SetHotHT(0, true);
    if (!*alive) return;
    biClicked = false;
    DropSysMenu(static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam)));
    return;
  }
  if (TacTitleBarItem* item = ItemByCode(code)) {
    item->DoMouseUp(mbRight, 0, static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam)));
    return;
  }
  CallOld(Message);
}

void TsSkinProvider::WMMouseMove(TMessage& Message) {
  auto alive = FAlive;
  CallOld(Message);
  if (!*alive) return;
  SetHotHT(0, true);
  if (!*alive) return;
  if (TsSkinManager* manager = DefaultManager(); manager && !manager->Designing())
    manager->SwitchHotControl(WndOf(Form));
}

void TsSkinProvider::WMSizing(TMessage& Message) {
  auto alive = FAlive;
  CallOld(Message);
  if (*alive && BorderForm) BorderForm->UpdateExBordersPos(false, 255);
}

void TsSkinProvider::WMMouseLeave(TMessage& Message) {
  auto alive = FAlive;
  if (!(BorderForm && IsItemCode(CurrentHT))) {
    SetHotHT(-1, true);
    if (!*alive) return;
  }
  biClicked = false;
  CallOld(Message);
}

void TsSkinProvider::CMMouseEnter(TMessage& Message) {
  auto alive = FAlive;
  if (BorderForm) {
    SetHotHT(-1, true);
    if (!*alive) return;
  }
  biClicked = false;
  CallOld(Message);
  if (!*alive) return;
  if (TsSkinManager* manager = Manager()) manager->SwitchHotControl(WndOf(Form));
  // The border window's region is rebuilt by the border window itself when it comes.
}

void TsSkinProvider::CaptionDragStart() {
  if (!FormActive) {
    FormActive = true;
    if (FCommonData) FCommonData->BGChanged = true;
  }
  if (Form && Form->CanFocus() && Form->HandleAllocated()) Form->SetFocus();
  StartBlendOnMoving(this, true);
}

