// The caption layout of a skinned form and its hit test: sizes of the caption elements from
// the skin, the places of the title icon, caption buttons, user title buttons and title bar
// in the non-client image, and the hit code of every point of the window.
#include <algorithm>

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

HWND WndOf(TForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }

constexpr int kDefaultButtonSize = 21;
constexpr int kDefaultSmallButtonSize = 16;

// The size of one cell of a skin image, or the default when the skin has no valid image.
int ImageWidth(TsSkinManager* manager, TacSkinData* data, int index, int def) {
  if (!manager || !data || !manager->IsValidImgIndex(index, data)) return def;
  return data->ma[static_cast<std::size_t>(index)].Width;
}
int ImageHeight(TsSkinManager* manager, TacSkinData* data, int index, int def) {
  if (!manager || !data || !manager->IsValidImgIndex(index, data)) return def;
  return data->ma[static_cast<std::size_t>(index)].Height;
}

int GlyphIndex(TacSkinData* data, TacTitleGlyph glyph) {
  if (!data || glyph < 0 || glyph >= tgNone) return -1;
  return data->TitleGlyphs[static_cast<std::size_t>(glyph)];
}

bool Holds(const TRect& r, const TPoint& p) { return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom; }

}  // namespace

// The square between the form's own visible scroll bars, in window coordinates; empty when
// either bar is hidden.
TRect OwnScrollGripSquare(HWND wnd) {
  SCROLLBARINFO h{}, v{};
  h.cbSize = v.cbSize = sizeof(SCROLLBARINFO);
  const DWORD hidden = STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
  if (!GetScrollBarInfo(wnd, OBJID_HSCROLL, &h) || (h.rgstate[0] & hidden)) return TRect{};
  if (!GetScrollBarInfo(wnd, OBJID_VSCROLL, &v) || (v.rgstate[0] & hidden)) return TRect{};
  RECT w{};
  GetWindowRect(wnd, &w);
  return TRect{h.rcScrollBar.right - w.left, h.rcScrollBar.top - w.top, v.rcScrollBar.right - w.left,
               h.rcScrollBar.bottom - w.top};
}

int TitleIconSize(int H) {
  if (H < 48) return 16;
  if (H <= 64) return 24;
  return 32;
}

bool TitleIconVisible(TsSkinProvider* Provider) {
  if (!Provider || !Provider->Form) return false;
  TForm* form = Provider->Form;
  if (!Provider->TitleIcon().Visible || !Provider->ShowAppIcon()) return false;
  if (form->BorderStyle() != bsSingle && form->BorderStyle() != bsSizeable) return false;
  HWND wnd = WndOf(form);
  return wnd && GetSystemMenu(wnd, FALSE) != nullptr;
}

// ---- element sizes ---------------------------------------------------------------------

int TsSkinProvider::CaptionButtonHeight() {
  TacSkinData* data = ProviderSkinData(this);
  return ImageHeight(Manager(), data, GlyphIndex(data, tgClose), kDefaultButtonSize);
}

int TsSkinProvider::CaptionButtonWidth(const TsCaptionButton& Button) {
  TacSkinData* data = ProviderSkinData(this);
  return ImageWidth(Manager(), data, GlyphIndex(data, Button.cpGlyphType), kDefaultButtonSize);
}

int TsSkinProvider::SmallButtonWidth() {
  TacSkinData* data = ProviderSkinData(this);
  return ImageWidth(Manager(), data, GlyphIndex(data, tgSmallClose), kDefaultSmallButtonSize);
}

int TsSkinProvider::SmallButtonHeight() {
  TacSkinData* data = ProviderSkinData(this);
  return ImageHeight(Manager(), data, GlyphIndex(data, tgSmallClose), kDefaultSmallButtonSize);
}

int TsSkinProvider::TitleButtonWidth(const TsTitleButton& TitleButton) {
  TacSkinData* data = ProviderSkinData(this);
  const int glyph = TitleButton.Glyph && !TitleButton.Glyph->Empty() ? TitleButton.Glyph->Width() + 2 : 0;
  return std::max(glyph, ImageWidth(Manager(), data, UserBtnIndex, kDefaultButtonSize));
}

int TsSkinProvider::TitleIconWidth() {
  if (!TitleIconVisible(this)) return 0;
  if (FTitleIcon->Width != 0) return FTitleIcon->Width;
  if (FTitleIcon->Glyph && !FTitleIcon->Glyph->Empty()) return FTitleIcon->Glyph->Width();
  TacSkinData* data = ProviderSkinData(this);
  return TitleIconSize(CaptionHeight(true) - (data ? data->BITopMargin : 0));
}

int TsSkinProvider::TitleIconHeight() {
  if (!TitleIconVisible(this)) return 0;
  if (FTitleIcon->Height != 0) return FTitleIcon->Height;
  if (FTitleIcon->Glyph && !FTitleIcon->Glyph->Empty()) return FTitleIcon->Glyph->Height();
  TacSkinData* data = ProviderSkinData(this);
  return TitleIconSize(CaptionHeight(true) - (data ? data->BITopMargin : 0));
}

int TsSkinProvider::ButtonsWidth() {
  TacSkinData* data = ProviderSkinData(this);
  const int gap = BigButtons && data ? data->BISpacing : 0;
  int result = data ? data->BIRightMargin : 0;
  if (SystemMenu && HasSystemMenu(this)) {
    result += CaptionButtonWidth(ButtonClose);
    if (SystemMenu->VisibleMax()) result += CaptionButtonWidth(ButtonMax) + gap;
    if (SystemMenu->VisibleMin()) result += CaptionButtonWidth(ButtonMin) + gap;
    if (Form->BorderIcons() & biHelp) result += CaptionButtonWidth(ButtonHelp) + gap;
  }
  if (FTitleButtons->Count() > 0) result += data ? data->Spacing : 0;
  for (int i = 0; i < FTitleButtons->Count(); ++i) result += TitleButtonWidth(*FTitleButtons->Items(i)) + gap;
  return result;
}

int TsSkinProvider::ButtonsWidthWith(int MaskIndex) {
  return ImageWidth(Manager(), ProviderSkinData(this), MaskIndex, 0) + ButtonsWidth();
}

int TsSkinProvider::SysButtonsCount() {
  if (!SystemMenu || !HasSystemMenu(this)) return 0;
  return 1 + (SystemMenu->VisibleMax() ? 1 : 0) + (SystemMenu->VisibleMin() ? 1 : 0) +
         ((Form->BorderIcons() & biHelp) ? 1 : 0);
}

// ---- places ------------------------------------------------------------------------------

TPoint TsSkinProvider::FormOrigin() {
  HWND wnd = WndOf(Form);
  if (!wnd) return TPoint{};
  if (Form->FormKind() == fkMDIChild) {
    POINT p{0, 0};
    ClientToScreen(wnd, &p);
    p.x -= SysBorderWidth(wnd, BorderForm, true);
    p.y -= SysBorderHeight(wnd, BorderForm, true);
    if (!IsIconic(wnd)) p.y -= CaptionHeight(true);
    return TPoint{p.x, p.y};
  }
  RECT r{};
  GetWindowRect(wnd, &r);
  return TPoint{r.left, r.top};
}

TPoint TsSkinProvider::ScreenToFormPoint(int X, int Y) {
  const TPoint origin = FormOrigin();
  return TPoint{X - origin.X, Y - origin.Y};
}

TPoint TsSkinProvider::GripPosition(int MaskIndex) {
  TBitmap* cache = FCommonData ? FCommonData->FCacheBmp.get() : nullptr;
  if (!cache) return TPoint{};
  TacSkinData* data = ProviderSkinData(this);
  HWND wnd = WndOf(Form);
  const int border = SysBorderWidth(wnd, BorderForm, true);
  const TRect shadow = ShadowSize();
  return TPoint{cache->Width() - ImageWidth(Manager(), data, MaskIndex, 0) - border - shadow.Right - 1,
                cache->Height() - ImageHeight(Manager(), data, MaskIndex, 0) - border - shadow.Bottom - 1};
}

// ---- layout ------------------------------------------------------------------------------

void TsSkinProvider::CalcItems() {
  HWND wnd = WndOf(Form);
  if (!wnd) return;
  TsSkinManager* manager = Manager();
  TacSkinData* data = ProviderSkinData(this);
  const bool zoomed = IsZoomed(wnd) != FALSE;
  const TRect shadow = ShadowSize();
  const int spacing = data ? data->Spacing : 0;
  const int biSpacing = BigButtons && data ? data->BISpacing : 0;

  // 1. Vertical placement.
  int topLine;
  if (BorderForm) {
    topLine = ButtonsTopOffset();
    FHeaderHeight = CaptionHeight(true) + shadow.Top;
    VCenter = FHeaderHeight - ExtendedTitleHeight(this, false) / 2;
    if (data && !(zoomed && data->ExMaxHeight != data->ExTitleHeight)) VCenter += data->ExCenterOffs;
  } else {
    VCenter = CaptionHeight(true) / 2;
    topLine = zoomed ? UpdateSizeFrame() - 1 : 0;
    FHeaderHeight = SysBorderHeight(wnd, BorderForm, true) + CaptionHeight(true) + shadow.Top;
    VCenter += SysBorderWidth(wnd, nullptr, true) / 2;
  }
  if (zoomed) VCenter += 2;

  // 2. Horizontal extent.
  const int border = SysBorderWidth(wnd, BorderForm, true);
  const int leftStart = border + (data ? data->BILeftMargin : 0) + shadow.Left;
  const int rightEdge = CaptionWidth() - ((data ? data->BIRightMargin : 0) + shadow.Right + std::max(4, border));
  const bool rtl = SysRTLAllowed();

  // 3. Title icon.
  const int iconWidth = TitleIconWidth();
  const int iconHeight = TitleIconHeight();
  int left, right;
  if (!rtl) {
    FIconRect.Left = leftStart;
    FIconRect.Right = leftStart + iconWidth;
    left = FIconRect.Right + (iconWidth > 0 ? spacing : 0);
    right = rightEdge;
  } else {
    FIconRect.Right = rightEdge;
    FIconRect.Left = rightEdge - iconWidth;
    right = FIconRect.Left - (iconWidth > 0 ? spacing : 0);
    left = leftStart;
  }
  FIconRect.Top = VCenter - iconHeight / 2;
  FIconRect.Bottom = FIconRect.Top + iconHeight;

  // 4. One button, from the right edge inwards (or from the left start outwards).
  const int buttonHeight = CaptionButtonHeight();
  const bool hangFromTop = manager && manager->SkinCommonInfo.BIVAlign == 1;
  auto place = [&](TsCaptionButton& b, int width, bool user) {
    if (!rtl) {
      b.cpRect.Right = right;
      b.cpRect.Left = right - width;
      right = b.cpRect.Left - biSpacing;
    } else {
      b.cpRect.Left = left;
      b.cpRect.Right = left + width;
      left = b.cpRect.Right + biSpacing;
    }
    b.cpRect.Top = (b.cpHaveAlignment || user) && hangFromTop ? topLine : VCenter - buttonHeight / 2;
    b.cpRect.Bottom = b.cpRect.Top + buttonHeight;
  };
  auto empty = [](TsCaptionButton& b) { b.cpRect.Right = b.cpRect.Left; };
  auto gap = [&](int width) {
    if (!rtl)
      right -= width;
    else
      left += width;
  };

  // 5. System buttons.
  if (SystemMenu && HasSystemMenu(this)) {
    auto placeClose = [&] { place(ButtonClose, CaptionButtonWidth(ButtonClose), false); };
    auto placeMax = [&] {
      if (!SystemMenu->VisibleMax()) return empty(ButtonMax);
      if (BigButtons)
        ButtonMax.cpGlyphType = zoomed ? tgNorm : tgMax;
      else
        ButtonMax.cpGlyphType = zoomed ? tgSmallNorm : tgSmallMax;
      place(ButtonMax, CaptionButtonWidth(ButtonMax), false);
    };
    auto placeMin = [&] {
      if (!SystemMenu->VisibleMin()) return empty(ButtonMin);
      const bool restores = Form->WindowState() == wsMinimized && IsIconic(wnd) && Application().MainForm() != Form;
      if (BigButtons)
        ButtonMin.cpGlyphType = restores ? tgNorm : tgMin;
      else
        ButtonMin.cpGlyphType = restores ? tgSmallNorm : tgSmallMin;
      place(ButtonMin, CaptionButtonWidth(ButtonMin), false);
    };
    if (!rtl) {
      placeClose();
      placeMax();
      placeMin();
    } else {
      placeMin();
      placeMax();
      placeClose();
    }
    if (Form->BorderIcons() & biHelp) {
      gap(spacing);
      place(ButtonHelp, CaptionButtonWidth(ButtonHelp), false);
    } else {
      empty(ButtonHelp);
    }
  } else if (!HasSystemMenu(this)) {
    // The other three keep their last rectangles: every reader tests biSystemMenu first.
    empty(ButtonClose);
  }

  // 6. User title buttons; hidden ones keep their index (and their hit code).
  if (FTitleButtons->Count() > 0) {
    gap(spacing);
    for (int i = 0; i < FTitleButtons->Count(); ++i) {
      TsTitleButton* b = FTitleButtons->Items(i);
      if (!b->Visible) continue;
      b->Data.cpGlyphType = b->UseSkinData ? tgTitleButton : tgNone;
      b->Data.cpHitCode = static_cast<std::uint32_t>(1000 + i);
      place(b->Data, TitleButtonWidth(*b), true);
    }
  }

  // 7. Title bar.
  if (FTitleBar) {
    if (!FTitleBar->Initialized) FTitleBar->UpdateSizes();
    FTitleBar->FFullRight = right;
    FTitleBar->FBarRect.Right = right;
    FTitleBar->FBarRect.Left = left;
    auto anyAligned = [&](TacItemAlign align) {
      for (int i = 0; i < FTitleBar->Items().Count(); ++i)
        if (FTitleBar->Items()[i]->Visible() && FTitleBar->Items()[i]->Align() == align) return true;
      return false;
    };
    if (rtl) {
      if (iconWidth > 0 && anyAligned(tbaLeft)) FTitleBar->FBarRect.Left += spacing;
      FTitleBar->FBarRect.Left += spacing;
    } else {
      if (iconWidth > 0 && anyAligned(tbaRight)) FTitleBar->FBarRect.Left += spacing;
      FTitleBar->FBarRect.Right -= spacing;
    }
    FTitleBar->FBarRect.Top = ButtonsTopOffset();
    FTitleBar->FBarRect.Bottom = FHeaderHeight;
    FTitleBar->FBarVCenter = VCenter;
    FTitleBar->CalcSizes();
  }
}

// ---- hit test ----------------------------------------------------------------------------

int TsSkinProvider::HitTest(TMessage& Message) {
  FHitGrip = false;
  HWND wnd = WndOf(Form);
  if (!wnd) return HTNOWHERE;
  const TPoint p = ScreenToFormPoint(static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam)));
  const bool iconic = IsIconic(wnd) != FALSE;

  // 1, 2. Caption elements (a border window answers for its own caption).
  if (!BorderForm) {
    if (!SystemMenu) PrepareForm();
    if (SystemMenu) {
      int code = -1;
      bool found = false;
      if (HasSystemMenu(this)) {
        if (Holds(ButtonClose.cpRect, p)) {
          found = true;
          code = SystemMenu->EnabledClose() ? HTCLOSE : HTCAPTION;
        } else if (SystemMenu->VisibleMax() && Holds(ButtonMax.cpRect, p)) {
          found = true;
          code = SystemMenu->EnabledMax() || (SystemMenu->EnabledRestore() && !iconic) ? HTMAXBUTTON : HTCAPTION;
        } else if (SystemMenu->VisibleMin() && Holds(ButtonMin.cpRect, p)) {
          found = true;
          code = SystemMenu->EnabledMin() || (iconic && SystemMenu->VisibleMax()) ? HTMINBUTTON : HTCAPTION;
        } else if ((Form->BorderIcons() & biHelp) && Holds(ButtonHelp.cpRect, p)) {
          found = true;
          code = HTHELP;
        }
      }
      for (int i = 0; !found && i < FTitleButtons->Count(); ++i) {
        TsTitleButton* b = FTitleButtons->Items(i);
        if (!b->Visible || !Holds(b->Data.cpRect, p)) continue;
        found = true;
        if (b->Enabled) code = 1000 + i;
      }
      if (!found && FTitleBar) {
        for (int i = 0; i < FTitleBar->Items().Count(); ++i) {
          const TacTitleBarItem& item = *FTitleBar->Items()[i];
          if (!item.Visible() || !Holds(item.Rect, p)) continue;
          found = true;
          if (item.Style() != bsSpacing && item.Style() != bsInfo && item.Enabled() &&
              !(item.Style() == bsTab && item.Down()))
            code = 2000 + i;
          break;
        }
      }
      if (code >= 0) return code;
    }
  }

  const int width = WndWidth(wnd), height = WndHeight(wnd);
  // 3. Resize frame.
  if (!IsZoomed(wnd) && HasThickFrame(wnd) && !BorderForm) {
    const int b = SysBorderWidth(wnd, BorderForm, true);
    const int topBand = FUWPMode ? OffsetY() : SysBorderHeight(wnd, BorderForm, false);
    const bool bottom = p.Y >= height - b;
    const bool top = !bottom && p.Y < topBand;
    if (p.X < b) return top ? HTTOPLEFT : bottom ? HTBOTTOMLEFT : HTLEFT;
    if (p.X >= width - b) return top ? HTTOPRIGHT : bottom ? HTBOTTOMRIGHT : HTRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
  }

  // 4. Caption.
  const int sysCaption = SysCaptionHeight(this);
  const int captionEnd = sysCaption + SysBorderHeight(wnd, BorderForm, true);
  if (p.Y >= 0 && p.Y <= captionEnd) {
    const int menuTop = SysBorderHeight(wnd, BorderForm, false) + sysCaption;
    const int menuBottom = SysBorderHeight(wnd, BorderForm, false) + CaptionHeight(false) + MenuHeight();
    if (p.Y >= menuTop && p.Y <= menuBottom) return HTMENU;
    return Holds(FIconRect, p) ? HTSYSMENU : HTCAPTION;
  }

  // 5. Below the caption and the menu lines: only the size grip.
  if (p.Y > captionEnd + LinesCount() * MenuHeight()) {
    const TRect square = OwnScrollGripSquare(wnd);
    if (GripVisible(this) || Holds(square, p)) {
      TacSkinData* data = ProviderSkinData(this);
      TsSkinManager* manager = Manager();
      if (data && manager && manager->IsValidImgIndex(data->GripRightBottom, data)) {
        TPoint grip = GripPosition(data->GripRightBottom);
        if (BorderForm) {
          const TRect shadow = ShadowSize();
          grip.Y -= BorderFormTitleDiff(BorderForm) + shadow.Top;
          grip.X -= BorderFormBorderDiff(BorderForm) + shadow.Left;
        }
        if (p.X > grip.X && p.Y > grip.Y) {
          FHitGrip = true;
          return HTBOTTOMRIGHT;
        }
      }
    }
    return HTCLIENT;
  }

  // 6. Menu lines, with the maximized MDI child's buttons on an MDI form's menu line.
  if (Form->FormKind() == fkMDIForm && HasMenuLine(this) && ChildSkinProvider && ChildSkinProvider->Form &&
      Form->ActiveMDIChildMaximized() && HasSystemMenu(ChildSkinProvider)) {
    const TRect shadow = ShadowSize();
    const TPoint q{p.X + shadow.Left + BorderFormBorderDiff(BorderForm), p.Y + shadow.Top + BorderFormTitleDiff(BorderForm)};
    if (Holds(MDIClose.cpRect, q)) return 101;
    if (Holds(MDIMax.cpRect, q)) return 102;
    if (Holds(MDIMin.cpRect, q)) return 103;
  }
  return HTMENU;
}
