#include "skin/forms/acTitleBar.h"

#include <algorithm>
#include <span>

#include "platform/runtime/Exceptions.h"
#include "platform/ui/Forms.h"
#include "platform/ui/HintWindow.h"
#include "platform/ui/ImgList.h"
#include "platform/ui/Menus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sDPI.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

HWND WndOf(TForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }

bool Holds(const TRect& r, TPoint p) { return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom; }

TPoint WindowOrigin(HWND wnd) {
  RECT r{};
  if (wnd) GetWindowRect(wnd, &r);
  return TPoint{r.left, r.top};
}

HWND GlowWindow(TacGlowForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }

// The drop-down guard of all title bars. Open: a drop-down menu is showing. Item: a menu
// closed while the cursor lay on its item, so the click that closed it may still come to
// the item as a press; that one press only closes the item's state. The guard goes once that
// press has come, or the mouse has left the item, so the item's menu opens again either way.
struct TDropdownGuard {
  bool Open = false;
  TacTitleBarItem* Item = nullptr;
};
TDropdownGuard DropdownGuard;

TComponent* FormOwner(TComponent* AOwner) {
  if (!dynamic_cast<TForm*>(AOwner)) throw EAbort(L"TsTitleBar component may be used with forms only!");
  return AOwner;
}

bool ActiveManager(TsSkinProvider* sp) {
  TsSkinManager* m = sp ? sp->Manager() : nullptr;
  return m && m->IsActive();
}

int ProviderPPI(TsSkinProvider* sp) {
  return sp && sp->FCommonData ? sp->FCommonData->EffectivePPI() : 96;
}

}  // namespace

bool TitleBarDropdownGuarded() { return DropdownGuard.Open || DropdownGuard.Item; }

void ReleaseTitleBarDropdownGuard(TacTitleBarItem* Item) {
  if (DropdownGuard.Item == Item) DropdownGuard.Item = nullptr;
}

std::unique_ptr<TBitmap> LoadDefaultMenuButton() {
  HBITMAP h = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), L"MENUBTN", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!h) return nullptr;
  BITMAP info{};
  GetObjectW(h, sizeof(info), &info);
  std::unique_ptr<TBitmap> bmp = NewBitmap32(info.bmWidth, std::abs(info.bmHeight));
  HDC src = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(src, h);
  BitBlt(bmp->Canvas().Handle(), 0, 0, bmp->Width(), bmp->Height(), src, 0, 0, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
  DeleteObject(h);
  // The source has no alpha byte: every pixel but the key colour becomes opaque, its
  // colours scaled by that alpha as the layered painters expect them.
  TPixels32 px;
  if (GetPixels32(bmp.get(), px))
    for (int y = 0; y < px.Height; ++y)
      for (std::uint32_t& c : std::span(px.Row(y), static_cast<std::size_t>(px.Width))) {
        if ((c & 0xFFFFFFu) == 0xFF00FFu) continue;
        const std::uint32_t a = 255u - (c >> 24);
        const std::uint32_t r = (((c >> 16) & 0xFFu) * a) >> 8, g = (((c >> 8) & 0xFFu) * a) >> 8,
                            b = ((c & 0xFFu) * a) >> 8;
        c = (a << 24) | (r << 16) | (g << 8) | b;
      }
  return bmp;
}

// ---- TacFontData -------------------------------------------------------------------------

TacFontData::TacFontData() : UsedFont(std::make_unique<TFont>()), FFont(std::make_unique<TFont>()) {}

TacFontData::~TacFontData() = default;

void TacFontData::Invalidate() {
  if (WndHandle) SendSkinCommand(WndHandle, SKCMD_TITLE_CHANGED, 1);
}

void TacFontData::SetGlowColor(TColor Value) {
  if (FGlowColor == Value) return;
  FGlowColor = Value;
  Invalidate();
}

void TacFontData::SetGlowSize(int Value) {
  if (FGlowSize == Value) return;
  FGlowSize = Value;
  Invalidate();
}

void TacFontData::SetUseSys(int Index, bool Value) {
  if (Index < 0 || Index > 4) return;
  if (Value)
    FUseSys |= 1u << Index;
  else
    FUseSys &= ~(1u << Index);
  Invalidate();
}

// ---- TacItemAnimation --------------------------------------------------------------------

TacItemAnimation::TacItemAnimation(TComponent* AOwner) : TTimer(AOwner) {
  SetEnabled(false);
  SetInterval(12);
  SetOnTimer([this] { OnAnimTimer(); });
}

TacItemAnimation::~TacItemAnimation() {
  SetEnabled(false);
  FreeWindows();
  *FAlive = false;
  if (Item && Item->Timer == this) Item->Timer = nullptr;
}

void TacItemAnimation::FreeWindows() {
  if (AForm) TComponent::Free(AForm);
  if (OldForm) TComponent::Free(OldForm);
  AForm = OldForm = nullptr;
  NewBmp.reset();
}

HWND TacItemAnimation::HostWindow() const {
  if (Item)
    if (HWND ext = GlowWindow(Item->ExtForm)) return ext;
  return FormHandle;
}

TRect TacItemAnimation::GetFormBounds() {
  if (!Item) return TRect{};
  const TPoint o = WindowOrigin(HostWindow());
  const TRect& r = Item->Rect;
  return TRect{o.X + r.Left, o.Y + r.Top, o.X + r.Right, o.Y + r.Bottom};
}

void TacItemAnimation::MakeImg() {
  if (CurrentState == 0 && NewBmp) return;
  const TRect b = GetFormBounds();
  if (b.Width() <= 0 || b.Height() <= 0) return;
  NewBmp = NewBitmap32(b.Width(), b.Height());
  if (Item && Item->OnInternalDraw) {
    Item->OnInternalDraw(Item, TRect{0, 0, b.Width(), b.Height()}, NewBmp.get());
  } else {
    TPixels32 px;
    if (GetPixels32(NewBmp.get(), px))
      for (int y = 0; y < px.Height; ++y) std::fill_n(px.Row(y), px.Width, 0xFFFFFF00u);  // opaque 0xFFFF
  }
}

void TacItemAnimation::MakeForm() {
  AForm = NewComponent<TacGlowForm>(nullptr);
  HWND wnd = AForm->Handle();
  LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_TRANSPARENT;
  if (Item && Item->ExtForm && Item->ExtForm->FormStyle() == fsStayOnTop) ex |= WS_EX_TOPMOST;
  SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex);
}

void TacItemAnimation::UpdateForm(std::uint8_t Blend) {
  if (!NewBmp) MakeImg();
  if (!NewBmp || NewBmp->Empty()) return;
  if (!AForm) MakeForm();
  HWND wnd = AForm ? AForm->Handle() : nullptr;
  if (!wnd) return;
  TRect r = GetFormBounds();
  r.Left -= (NewBmp->Width() - r.Width()) / 2;
  r.Top -= (NewBmp->Height() - r.Height()) / 2;
  HWND host = HostWindow();
  HWND after = HWND_TOP;
  if (host && (GetWindowLongPtrW(host, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
    after = HWND_TOPMOST;
  } else if (host) {
    HWND above = GetWindow(host, GW_HWNDPREV);
    if (above == wnd) above = GetWindow(wnd, GW_HWNDPREV);
    after = above ? above : HWND_TOP;
  }
  SetWindowPos(wnd, after, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
  SetWindowLongPtrW(wnd, GWL_EXSTYLE,
                    GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT);
  HDC screen = GetDC(nullptr);
  POINT pos{r.Left, r.Top}, src{0, 0};
  SIZE size{NewBmp->Width(), NewBmp->Height()};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, Blend, AC_SRC_ALPHA};
  UpdateLayeredWindowEntry(wnd, screen, &pos, &size, NewBmp->Canvas().Handle(), &src, 0x1FFFFFFF, &blend, ULW_ALPHA);
  ReleaseDC(nullptr, screen);
  ShowWindow(wnd, SW_SHOWNOACTIVATE);
}

void TacItemAnimation::StartAnimation(int NewState, bool Show) {
  if (NewState == CurrentState) return;
  CurrentState = NewState;
  if (NewState != 0) {
    if (NewState == 2) {
      if (AForm) TComponent::Free(AForm);
      AForm = nullptr;
      NewBmp.reset();
    }
    CurrentLevel = 1;
    ToShow = Show;
    UpdateForm(static_cast<std::uint8_t>(std::min(Step(), 255)));
    ++CurrentLevel;
    SetEnabled(true);
  } else {
    ToShow = false;
    --CurrentLevel;
    // The first frame of a fade-out shows the new state at full strength.
    UpdateForm(static_cast<std::uint8_t>(std::max(Step(), 255)));
    if (MaxIterations > 1) SetEnabled(true);
  }
}

void TacItemAnimation::ChangeState(int NewState, bool Show) {
  (void)NewState;
  ToShow = Show;
  SetEnabled(true);
}

void TacItemAnimation::OnAnimTimer() {
  auto alive = FAlive;
  if (ToShow) {
    if (CurrentLevel < MaxIterations) {
      UpdateForm(static_cast<std::uint8_t>(std::clamp(Step() * CurrentLevel, 0, 255)));
      ++CurrentLevel;
      return;
    }
    CheckMouseLeave();  // the form's handlers may free this fade
    if (!*alive) return;
    if (MaxIterations != -1) {
      MaxIterations = -1;
      UpdateForm(255);
    }
    if (OldForm) TComponent::Free(OldForm);
    OldForm = nullptr;
    return;
  }
  if (CurrentLevel <= 0) {
    CurrentState = -1;
    SetEnabled(false);
    FreeWindows();
    return;
  }
  UpdateForm(static_cast<std::uint8_t>(std::min(Step() * CurrentLevel, 255)));
  --CurrentLevel;
}

void TacItemAnimation::CheckMouseLeave() {
  if (!Item) return;
  const TPoint o = WindowOrigin(HostWindow());
  const TPoint c = CursorPosition();
  if (Holds(Item->Rect, TPoint{c.X - o.X, c.Y - o.Y})) return;
  SetEnabled(false);
  if (FormHandle) SendMessageW(FormHandle, WM_MOUSELEAVE, 0, 0);
}

void StartItemFade(TacTitleBarItem* Item, int Steps, bool Show, TacGlowForm* ExtForm) {
  if (!Item) return;
  const int state = Item->State();
  if (TacItemAnimation* fade = Item->Timer) {
    if ((state == 1 && fade->CurrentState == 2) || state == 2) {
      if (fade->OldForm) TComponent::Free(fade->OldForm);
      fade->OldForm = fade->AForm;
      fade->AForm = nullptr;
      fade->NewBmp.reset();
    }
    if (Show) fade->CurrentState = state;
    fade->MaxIterations = Steps;
    fade->ToShow = Show;
    fade->SetEnabled(true);
    Item->ExtForm = ExtForm;
    fade->StartAnimation(state, true);
    if (state == 2) fade->CurrentLevel = Steps;
    return;
  }
  TsTitleBar* bar = Item->TitleBar();
  if (!bar || !bar->Form) return;
  auto* fade = NewComponent<TacItemAnimation>(bar->Form);
  fade->FormHandle = WndOf(bar->Form);
  fade->Item = Item;
  fade->MaxIterations = Steps;
  Item->Timer = fade;
  Item->ExtForm = ExtForm;
  fade->StartAnimation(state, true);
}

void ShowItemHint(TacTitleBarItem* Item) {
  if (!Item || Item->HintWnd) return;
  const TPoint c = CursorPosition();
  if (Application().PlainHintWindowClass()) {
    THintWindow* hint = ShowHintText(Item->Hint, c);
    if (hint && hint->ClassName() == L"THintWindow") Item->HintWnd = hint;
  } else {
    ShowHintText(Item->Hint, TPoint{c.X, c.Y + 16});
  }
}

void HideItemHint(TacTitleBarItem* Item) {
  if (!Item || !Item->HintWnd) return;
  TComponent::Free(Item->HintWnd);
  Item->HintWnd = nullptr;
}

// ---- TacTitleBarItem ---------------------------------------------------------------------

TacTitleBarItem::TacTitleBarItem(TCollection* Collection)
    : TCollectionItem(Collection), FGlyph(std::make_unique<TBitmap>()), FFontData(std::make_unique<TacFontData>()) {
  if (TsTitleBar* bar = TitleBar()) FFontData->WndHandle = WndOf(bar->Form);
}

TacTitleBarItem::~TacTitleBarItem() {
  *FAlive = false;
  ReleaseTitleBarDropdownGuard(this);
  FreeFade();
  HideItemHint(this);
}

TsTitleBar* TacTitleBarItem::TitleBar() const {
  auto* items = dynamic_cast<TacTitleItems*>(Collection());
  return items ? items->TitleBar() : nullptr;
}

TForm* TacTitleBarItem::OwnerForm() const {
  TsTitleBar* bar = TitleBar();
  return bar ? bar->Form : nullptr;
}

TsSkinProvider* TacTitleBarItem::Provider() const {
  TsTitleBar* bar = TitleBar();
  return bar ? bar->SP : nullptr;
}

TBitmap* TacTitleBarItem::DefaultMenuBtn() const {
  TsTitleBar* bar = TitleBar();
  return bar ? bar->FDefaultMenuBtn.get() : nullptr;
}

bool TacTitleBarItem::HasDropdown() const {
  return (FStyle == bsButton || FStyle == bsMenu) && DropdownMenu && DropdownMenu->Items() &&
         DropdownMenu->Items()->Count() > 0;
}

void TacTitleBarItem::FreeFade() {
  if (Timer) TComponent::Free(Timer);
  Timer = nullptr;
}

int TacTitleBarItem::State() const { return DroppedDown || FDown ? 2 : FState; }

void TacTitleBarItem::SetState(int Value) {
  if (State() == Value) return;
  FState = DroppedDown ? 2 : Value;
}

void TacTitleBarItem::AssignTo(TCollectionItem* Dest) const {
  auto* d = dynamic_cast<TacTitleBarItem*>(Dest);
  if (!d) {
    TCollectionItem::AssignTo(Dest);
    return;
  }
  d->FAutoSize = FAutoSize;
  d->FAlign = FAlign;
  d->FCaption = FCaption;
  d->FEnabled = FEnabled;
  d->FGlyph->Assign(FGlyph.get());
  d->FInts[8] = GroupIndex();
  d->Hint = Hint;
  d->FInts[1] = ImageIndex();
  d->FName = FName;
  d->FInts[4] = NumGlyphs();
  d->FStyle = FStyle;
  d->FVisible = FVisible;
  d->OnMouseDown = OnMouseDown;
  d->OnMouseUp = OnMouseUp;
}

void TacTitleBarItem::SetAlign(TacItemAlign Value) {
  if (FAlign == Value) return;
  FAlign = Value;
  Invalidate(true);
}

void TacTitleBarItem::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  Invalidate(false);
}

void TacTitleBarItem::SetCaption(const std::wstring& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  Invalidate(true);
}

void TacTitleBarItem::SetGlyph(TBitmap* Value) {
  FGlyph->Assign(Value);
  Invalidate(true);
}

void TacTitleBarItem::SetStyle(TacBtnStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Invalidate(true);
}

void TacTitleBarItem::SetSkinSection(const std::wstring& Value) {
  FSkinSection = Value;
  Changed();
  Invalidate(false);
}

void TacTitleBarItem::SetBoolProp(int Index, bool Value) {
  switch (Index) {
    case 0:
      if (FAutoSize == Value) return;
      FAutoSize = Value;
      break;
    case 1: {
      if (FDown == Value) return;
      FDown = Value;
      FState = Value ? 2 : 0;
      // Tabs group even in group 0; buttons only in a group of their own.
      const int group = GroupIndex();
      if (Value && (group != 0 || (group >= 0 && FStyle == bsTab)))
        if (auto* items = dynamic_cast<TacTitleItems*>(Collection()))
          for (int i = 0; i < items->Count(); ++i) {
            TacTitleBarItem* other = items->Items(i);
            if (other != this && other->GroupIndex() == group) {
              other->FDown = false;
              other->FState = 0;
            }
          }
      Invalidate(false);
      return;
    }
    case 2:
      if (FEnabled == Value) return;
      FEnabled = Value;
      break;
    case 3:
      if (FVisible == Value) return;
      FVisible = Value;
      break;
    default: return;
  }
  Invalidate(true);
}

void TacTitleBarItem::SetIntProp(int Index, int Value) {
  if (Index < 0 || Index >= static_cast<int>(FInts.size())) return;
  SetState(0);
  if (FInts[static_cast<std::size_t>(Index)] == Value) return;
  FInts[static_cast<std::size_t>(Index)] = Value;
  Invalidate(true);
}

void TacTitleBarItem::Changed() {
  if (OnChanged) OnChanged(this);
}

void TacTitleBarItem::Invalidate(bool RecalcSize) {
  TForm* form = OwnerForm();
  if (!form || (form->ComponentState() & csLoading)) return;
  TsSkinProvider* sp = Provider();
  TsSkinManager* manager = sp ? sp->Manager() : nullptr;
  if (!manager || !manager->IsActive() || (manager->ManagerState & msAnimScaling)) return;
  if (FAutoSize && RecalcSize) UpdateSize(false);
  if (Timer) {
    Timer->NewBmp.reset();
    if (Timer->AForm) TComponent::Free(Timer->AForm);
    Timer->AForm = nullptr;
  }
  TsTitleBar* bar = TitleBar();
  HWND wnd = WndOf(form);
  if (bar && !bar->FUpdating && wnd && SendSkinCommand(wnd, SKCMD_IS_UPDATING, 0) == 0)
    SendSkinCommand(wnd, SKCMD_TITLE_CHANGED, 1);
}

void TacTitleBarItem::InitFont(TsSkinProvider* Provider) {
  TacFontData& fd = *FFontData;
  TFont& used = *fd.UsedFont;
  TacSkinData* sd = Provider && Provider->FCommonData ? Provider->FCommonData->ReadCommonSkinData() : nullptr;
  const int skinPPI = sd ? sd->PPI : 96;
  if (HFONT caption = CreateCaptionFont(static_cast<unsigned>(skinPPI))) {
    LOGFONTW lf{};
    GetObjectW(caption, sizeof(lf), &lf);
    DeleteObject(caption);
    used.Name = std::wstring(lf.lfFaceName);
    used.Charset = lf.lfCharSet;
    used.Style = (lf.lfWeight >= FW_BOLD ? fsBold : 0u) | (lf.lfItalic ? fsItalic : 0u) |
                 (lf.lfUnderline ? fsUnderline : 0u) | (lf.lfStrikeOut ? fsStrikeOut : 0u);
  }
  used.Height = -11;
  if (!fd.UseSysStyle()) used.Style = fd.Font().Style;
  if (!fd.UseSysFontName()) {
    used.Charset = fd.Font().Charset;
    used.Name = fd.Font().Name;
  }
  if (Provider) {
    if (fd.UseSysSize() && Provider->Manager())
      used.Height = MulDiv(used.Height, skinPPI, 96);
    else
      used.Height = fd.Font().Height * ProviderPPI(Provider) / 96;
  }
}

void TacTitleBarItem::UpdateSize(bool ContentOnly) {
  if (!FVisible) return;
  TsSkinProvider* sp = Provider();
  const int ppi = sp ? ProviderPPI(sp) : 96;
  TsTitleBar* bar = TitleBar();
  TCustomImageList* images = bar ? bar->Images() : nullptr;
  TSize c{0, 0};
  if (images && ImageIndex() >= 0 && ImageIndex() < ImageListCount(images))
    c = TSize{ScaledImageWidth(images, ImageIndex(), ppi), ScaledImageHeight(images, ImageIndex(), ppi)};
  else if (FGlyph && !FGlyph->Empty())
    c = TSize{FGlyph->Width() / GlyphCells(), FGlyph->Height()};
  if (!FCaption.empty()) {
    InitFont(sp);
    TSize t{0, 0};
    MeasureTextSize(FFontData->UsedFont->Handle(), FCaption, DT_SINGLELINE, false, 0, t);
    if (c.cx > 0) c.cx += ppi * Spacing() * (FStyle == bsTab ? 2 : 1) / 96;
    c = TSize{c.cx + t.cx, std::max(c.cy, t.cy)};
  }
  if ((FStyle == bsButton || FStyle == bsMenu) && DropdownMenu) {
    TacSkinData* sd = sp && sp->FCommonData ? sp->FCommonData->ReadCommonSkinData() : DefaultSkinData(0);
    c.cx += Spacing() + (sd ? sd->ArrowSize : 0) + ppi * Spacing() / 96;
  }
  if (FStyle == bsMenu || FStyle == bsTab) ++c.cy;
  ContentSize = c;
  if (ContentOnly || FStyle == bsSpacing) return;
  const int margin = bar ? bar->ItemsMargin : 3;
  FInts[7] = std::max(16, ppi * (IntXMargin() + margin) * 2 / 96 + c.cx);
  FInts[6] = std::max(16, ppi * margin * 2 / 96 + c.cy);
}

void TacTitleBarItem::ScaleItem(int NewValue, int OldValue) {
  if (OldValue == 0) return;
  FInts[5] = MulDiv(Spacing(), NewValue, OldValue);
  UpdateSize(!FAutoSize);
  if (!FAutoSize) {
    FInts[7] = MulDiv(Width(), NewValue, OldValue);
    FInts[6] = MulDiv(Height(), NewValue, OldValue);
  }
}

void TacTitleBarItem::DoClick() {
  Pressed = false;
  if (OnClick) OnClick(this);
}

void TacTitleBarItem::DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Pressed || !FEnabled) return;
  Pressed = true;
  auto alive = FAlive;
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
  if (!*alive) return;
  switch (FStyle) {
    case bsTab: {
      if (FDown) return;
      DoClick();
      if (!*alive) return;
      if (GroupIndex() < 0) {
        Invalidate(false);
        return;
      }
      TsTitleBar* bar = TitleBar();
      if (bar) {
        bar->FUpdating = true;
        for (int i = 0; i < bar->Items().Count(); ++i) {
          TacTitleBarItem* other = bar->Items()[i];
          if (other->FVisible && other->GroupIndex() == GroupIndex() && other->FDown) other->SetDown(false);
        }
        bar->FUpdating = false;
      }
      SetDown(true);
      return;
    }
    case bsButton:
    case bsMenu:
      if (HasDropdown()) OpenDropdown();
      return;
    default: return;
  }
}

void TacTitleBarItem::OpenDropdown() {
  TForm* form = OwnerForm();
  TsSkinProvider* sp = Provider();
  auto hostWindow = [&]() -> HWND {
    if (sp && sp->BorderForm)
      if (HWND border = GlowWindow(sp->BorderForm->AForm)) return border;
    return WndOf(form);
  };
  const bool closingClick = DropdownGuard.Open || DropdownGuard.Item == this;
  DropdownGuard.Item = nullptr;
  if (closingClick) {
    // The click that closed the menu: the item only leaves its pressed look.
    DroppedDown = false;
    Pressed = false;
    FreeFade();
    FState = 0;
    Invalidate(false);
    if (sp) sp->CurrentHT = 2000 + Index();
    return;
  }
  TPopupMenu* menu = DropdownMenu;
  DropdownGuard.Open = true;
  const TPoint o = GlowWindow(ExtForm) ? WindowOrigin(GlowWindow(ExtForm)) : WindowOrigin(hostWindow());
  const TPoint pt{Rect.Left + o.X, Rect.Bottom + o.Y};
  menu->WindowHandle = WndOf(form);
  DroppedDown = true;
  FreeFade();
  Invalidate(false);
  auto alive = FAlive;
  if (form && form->BiDiMode() == bdRightToLeft) {
    menu->BiDiMode = bdRightToLeft;
    menu->Popup(pt.X + Rect.Width(), pt.Y);
  } else {
    menu->Popup(pt.X, pt.Y);
  }
  DropdownGuard.Open = false;
  // The menu ran its own message loop: the item (and with it its bar and form) may be gone.
  if (!*alive) return;
  DroppedDown = false;
  Pressed = false;
  const TPoint h = WindowOrigin(hostWindow());
  const TRect onScreen{Rect.Left + h.X, Rect.Top + h.Y, Rect.Right + h.X, Rect.Bottom + h.Y};
  if (Holds(onScreen, CursorPosition())) {
    FState = 1;
    Invalidate(false);
    DropdownGuard.Item = this;
    return;
  }
  FState = 0;
  Invalidate(false);
  if (DropdownMenu) DropdownMenu->WindowHandle = nullptr;
  DoClick();
}

void TacTitleBarItem::DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (!FEnabled) return;
  auto alive = FAlive;
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
  if (!*alive || Button == mbRight) return;
  if (Pressed && FStyle != bsTab) {
    DoClick();
    if (!*alive) return;
  }
  Pressed = false;
  SetState(1);
}

// ---- TacTitleItems -----------------------------------------------------------------------

TacTitleItems::TacTitleItems(TsTitleBar* Owner) : TCollection(Owner), FOwner(Owner) {}

void TacTitleItems::SetItem(int Index, const TacTitleBarItem* Value) { Items(Index)->Assign(Value); }

TacTitleBarItem* TacTitleItems::Insert(int Index) {
  if (FOwner && FOwner->Form && FOwner->SP && FOwner->SP->biClicked) FOwner->SP->KillAnimations();
  return static_cast<TacTitleBarItem*>(TCollection::Insert(Index));
}

// ---- TsTitleBar --------------------------------------------------------------------------

TsTitleBar::TsTitleBar(TComponent* AOwner)
    : TComponent(FormOwner(AOwner)), Form(static_cast<TForm*>(AOwner)), FDefaultMenuBtn(LoadDefaultMenuButton()),
      FItems(std::make_unique<TacTitleItems>(this)), FImageChangeLink(std::make_unique<TChangeLink>()) {
  FImageChangeLink->OnChange = [this] {
    UpdateSizes(true);
    Invalidate();
  };
}

TsTitleBar::~TsTitleBar() {
  FItems.reset();
  if (FImages) FImages->UnRegisterChanges(FImageChangeLink.get());
  FImageChangeLink.reset();
  FDefaultMenuBtn.reset();
}

void TsTitleBar::Loaded() {
  TComponent::Loaded();
  UpdateSizes(true);
}

void TsTitleBar::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == FImages) {
    FImages = nullptr;
    return;
  }
  if (auto* menu = dynamic_cast<TPopupMenu*>(AComponent))
    for (int i = 0; FItems && i < FItems->Count(); ++i)
      if (FItems->Items(i)->DropdownMenu == menu) FItems->Items(i)->DropdownMenu = nullptr;
}

void TsTitleBar::SetImages(TCustomImageList* Value) {
  if (FImages == Value) return;
  if (FImages) {
    FImages->UnRegisterChanges(FImageChangeLink.get());
    FImages->RemoveFreeNotification(this);
  }
  FImages = Value;
  if (FImages) {
    FImages->RegisterChanges(FImageChangeLink.get());
    FImages->FreeNotification(this);
  }
  if (!(ComponentState() & csLoading)) {
    UpdateSizes(true);
    CalcSizes();
    Invalidate();
  }
}

void TsTitleBar::SetItems(const TacTitleItems& Value) { FItems->Assign(Value); }

void TsTitleBar::SetShowCaption(bool Value) {
  if (FShowCaption == Value) return;
  FShowCaption = Value;
  Invalidate();
}

void TsTitleBar::Invalidate() {
  if (!Form || (Form->ComponentState() & csLoading)) return;
  if (HWND wnd = WndOf(Form)) SendSkinCommand(wnd, SKCMD_TITLE_CHANGED, 1);
}

void TsTitleBar::UpdateSizes(bool AutoSizedOnly) {
  (void)AutoSizedOnly;  // every item is brought up to date either way
  if (!ActiveManager(SP)) return;
  for (int i = 0; i < FItems->Count(); ++i) {
    TacTitleBarItem* item = FItems->Items(i);
    if (item->AutoSize())
      item->UpdateSize(false);
    else if (!item->Caption().empty())
      item->InitFont(SP);
  }
  Initialized = true;
}

void TsTitleBar::CalcSizes() {
  FRightWidth = RightSpacing;
  FCenterWidth = FCenterWidthS = 0;
  TacSkinData* sd = SP && SP->FCommonData ? SP->FCommonData->ReadCommonSkinData() : nullptr;
  FLeftWidth = SP && sd ? sd->Spacing : 0;
  const int ppi = SP ? ProviderPPI(SP) : 96;
  const bool rtl = Form && Form->BiDiMode() == bdRightToLeft;
  auto alignOf = [rtl](const TacTitleBarItem* item) {
    const TacItemAlign a = item->Align();
    if (!rtl) return a;
    return a == tbaLeft ? tbaRight : a == tbaRight ? tbaLeft : a;
  };
  const int count = FItems->Count();
  for (int i = 0; i < count; ++i) {
    const TacTitleBarItem* item = FItems->Items(i);
    if (!item->Visible()) continue;
    const int w = item->LayoutWidth(ppi);
    switch (alignOf(item)) {
      case tbaLeft: FLeftWidth += w; break;
      case tbaRight: FRightWidth += w; break;
      case tbaCenter: FCenterWidth += w; break;
      case tbaCenterInSpace: FCenterWidthS += w; break;
    }
  }
  int pos[4];
  pos[tbaLeft] = FBarRect.Left;
  pos[tbaRight] = FBarRect.Right - FRightWidth;
  pos[tbaCenter] = FBarRect.Left + (FFullRight - FBarRect.Left - FCenterWidth) / 2;
  pos[tbaCenterInSpace] =
      FBarRect.Left + FLeftWidth + (FBarRect.Right - FBarRect.Left - FRightWidth - FLeftWidth - FCenterWidthS) / 2;
  for (int n = 0; n < count; ++n) {
    TacTitleBarItem* item = FItems->Items(rtl ? count - 1 - n : n);
    if (!item->Visible()) continue;
    const int w = item->LayoutWidth(ppi), h = item->LayoutHeight(ppi);
    int top;
    switch (item->Style()) {
      case bsMenu: top = FBarRect.Top; break;
      case bsTab: top = FBarRect.Bottom - h; break;
      default: top = FBarVCenter - h / 2; break;
    }
    int& x = pos[alignOf(item)];
    item->Rect = TRect{x, top, x + w, top + h};
    x += w;
  }
}

void TsTitleBar::UpdateScale(int NewValue) {
  for (int i = 0; i < FItems->Count(); ++i) FItems->Items(i)->ScaleItem(NewValue, OldScaleValue);
  CalcSizes();
  OldScaleValue = NewValue;
}
