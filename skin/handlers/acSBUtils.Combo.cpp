// Combo boxes: the control paints its content, the handler draws the skinned frame, the
// drop-down button with its arrow and the items of owner-drawn framework combo boxes over it,
// and gives the drop-down list its own handler.
#include <algorithm>
#include <vector>

#include "platform/ui/StdCtrls.h"
#include "skin/handlers/acDials.h"
#include "skin/controls/acGlow.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr UINT CM_TEXTCHANGED_MSG = 0xB012;
constexpr UINT CM_ITEMS_CHANGED = 0xB037;
// The drawing flags of an item's text: no prefix, no clipping, tabs expanded, one line.
constexpr UINT ItemTextFlags = DT_NOPREFIX | DT_NOCLIP | DT_EXPANDTABS | DT_SINGLELINE;

bool SectionValid(TacSkinData* Sd, int Index) { return Sd && Index >= 0 && Index < static_cast<int>(Sd->gd.size()); }
bool MaskValid(TacSkinData* Sd, int Index) { return Sd && Index >= 0 && Index < static_cast<int>(Sd->ma.size()); }

TSize WindowExtent(HWND Wnd) {
  RECT r{};
  if (Wnd) GetWindowRect(Wnd, &r);
  return TSize{r.right - r.left, r.bottom - r.top};
}

bool RtlReading(HWND Wnd) { return Wnd && (GetWindowLongW(Wnd, GWL_EXSTYLE) & WS_EX_RTLREADING) != 0; }

// The item's text, any length (CB_ERR: none).
std::wstring ComboItemText(HWND Wnd, int Index) {
  const LRESULT n = SendMessageW(Wnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(Index), 0);
  if (n == CB_ERR || n < 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const LRESULT got = SendMessageW(Wnd, CB_GETLBTEXT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(text.data()));
  if (got == CB_ERR || got < 0) return {};
  text.resize(std::min(static_cast<std::size_t>(got), static_cast<std::size_t>(n)));
  return text;
}

std::wstring WholeWindowText(HWND Wnd) {
  const LRESULT n = SendMessageW(Wnd, WM_GETTEXTLENGTH, 0, 0);
  if (n <= 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const LRESULT got = SendMessageW(Wnd, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, n)));
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// TacComboBoxWnd: creation, geometry
// ---------------------------------------------------------------------------

TacComboBoxWnd::~TacComboBoxWnd() {
  delete LBSkinData;
  LBSkinData = nullptr;
  FreeListHandler(false);
  FreeOwnGdi();
}

void TacComboBoxWnd::FreeListHandler(bool GiveBorder) {
  if (ListSW) {
    if (GiveBorder && FListHandle && IsWindow(FListHandle)) {
      const LONG style = GetWindowLongW(FListHandle, GWL_STYLE);
      if (style & WS_THICKFRAME) SetWindowLongW(FListHandle, GWL_STYLE, (style & ~WS_THICKFRAME) | WS_BORDER);
    }
    TacScrollWnd* list = ListSW;
    ListSW = nullptr;
    if (!list->Destroyed && FListHandle && IsWindow(FListHandle)) DetachScrollHandler(FListHandle, true, false, list);
    if (list) {
      TacMainWnd* h = list;
      FreeHandler(h);
    }
  }
  FListHandle = nullptr;
}

void TacComboBoxWnd::FreeOwnGdi() {
  if (FListBrush) DeleteObject(FListBrush);
  FListBrush = nullptr;
  FListBrushColor = clNone;
}

void TacComboBoxWnd::AfterCreation() {
  LBoxOpening = false;
  if (!LBSkinData) {
    LBSkinData = new TsCommonData(nullptr, true);
    if (!LBSkinData->FCacheBmp) LBSkinData->FCacheBmp = NewBitmap32(0, 0);
  }
  TacEditWnd::AfterCreation();
}

LONG TacComboBoxWnd::ComboStyle() { return CtrlHandle ? GetWindowLongW(CtrlHandle, GWL_STYLE) & 3 : 0; }

TCustomComboBox* TacComboBoxWnd::OwnerCombo() {
  return SkinData ? dynamic_cast<TCustomComboBox*>(SkinData->FOwnerControl) : nullptr;
}

bool TacComboBoxWnd::EasyComboBox() { return OwnerCombo() != nullptr; }

TRect TacComboBoxWnd::ButtonRect() {
  TacSkinData* sd = SkinData ? SkinData->ReadCommonSkinData() : nullptr;
  TsSkinManager* manager = SkinData ? SkinData->ReadSkinManager() : nullptr;
  const int scroll = manager ? manager->ScrollHeight(sd ? sd->PPI : 96) : GetSystemMetrics(SM_CXVSCROLL);
  const LONG style = ComboStyle();
  int w;
  if (DlgMode && style != CBS_DROPDOWNLIST)
    w = style == CBS_DROPDOWN ? scroll : 0;
  else
    w = scroll + 1;
  const int margin = sd ? sd->ComboBoxMargin : 0;
  const TSize size = WindowExtent(CtrlHandle);
  TRect r;
  r.Left = RtlReading(CtrlHandle) ? margin : size.cx - w - margin;
  r.Top = margin;
  r.Right = r.Left + w;
  r.Bottom = size.cy - margin;
  return r;
}

int TacComboBoxWnd::ButtonHeight() {
  TacSkinData* sd = SkinData ? SkinData->ReadCommonSkinData() : nullptr;
  if (sd && MaskValid(sd, sd->ComboBtn.GlyphIndex)) {
    const TsMaskData& glyph = sd->ma[static_cast<std::size_t>(sd->ComboBtn.GlyphIndex)];
    return sd->MaskImageSize(glyph).Y;
  }
  return 16;
}

void TacComboBoxWnd::Invalidate() {
  if (!SkinData || !SkinData->FOwnerControl || !CtrlHandle) return;
  InvalidateRect(CtrlHandle, nullptr, TRUE);
  UpdateWindow(CtrlHandle);
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

void TacComboBoxWnd::PrepareSimple() {
  if (!SkinData) return;
  SkinData->InitCacheBitmap();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache) return;
  const int h = static_cast<int>(SendMessageW(CtrlHandle, CB_GETITEMHEIGHT, 0, 0)) + 8;
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(std::max(0, WndSize.cx), std::max(0, h));
  if (cache->Empty()) return;
  TsSkinManager* dm = DefaultManager();
  const TRect all{0, 0, cache->Width(), cache->Height()};
  if (DlgMode && dm && (dm->Palette[pcBorder] & 0xFFFFFF) != 0xFF00FF) {
    FillRectOnDC(cache->Canvas().Handle(), all, ColorToRGB(clWindow));
    HBRUSH frame = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(dm->Palette[pcBorder])));
    const RECT r{all.Left, all.Top, all.Right, all.Bottom};
    FrameRect(cache->Canvas().Handle(), &r, frame);
    DeleteObject(frame);
  } else {
    TCacheInfo ci;
    SkinData->ParentBackgroundInfo(ci);
    PaintControlSkin(SkinData, ci, IsHot(SkinData), all, TPoint{WndPos.X, WndPos.Y}, cache, true);
  }
  SkinData->BGChanged = false;
}

void TacComboBoxWnd::PaintText() {
  if (!SkinData) return;
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  TCanvas& canvas = cache->Canvas();
  if (TControl* owner = SkinData->FOwnerControl) canvas.Font.Assign(owner->Font);
  else if (HFONT f = reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0))) {
    LOGFONTW lf{};
    if (GetObjectW(f, sizeof(lf), &lf)) {
      canvas.Font.Name = lf.lfFaceName;
      canvas.Font.Height = lf.lfHeight;
    }
  }
  const TRect button = ButtonRect();
  const TSize size = WindowExtent(CtrlHandle);
  TRect r = RtlReading(CtrlHandle) ? TRect{button.Right, 3, WndSize.cx - 3, size.cy - 3}
                                   : TRect{3, 3, button.Left, size.cy - 3};
  // The selected item's length is asked first: CB_GETLBTEXT takes no buffer size.
  const LRESULT sel = SendMessageW(CtrlHandle, CB_GETCURSEL, 0, 0);
  const std::wstring text = sel != CB_ERR ? ComboItemText(CtrlHandle, static_cast<int>(sel)) : WholeWindowText(CtrlHandle);
  if (ComboStyle() == CBS_DROPDOWNLIST && GetFocus() == CtrlHandle) {
    canvas.Brush.Color = clHighlight;
    canvas.FillRect(r);
    canvas.Font.Color = clHighlightText;
    canvas.Brush.Style = bsClear;
    canvas.TextRect(r, r.Left + 1, r.Top + 1, text.substr(0, MaxDrawTextLength));
    const RECT fr{r.Left, r.Top, r.Right, r.Bottom};
    DrawFocusRect(canvas.Handle(), &fr);
  } else {
    canvas.Brush.Style = bsClear;
    canvas.TextRect(r, r.Left, r.Top, text.substr(0, MaxDrawTextLength));
  }
  canvas.Brush.Style = bsSolid;
}

void TacComboBoxWnd::PaintButton(HDC DC) {
  if (!SkinData || !DC) return;
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!sd || !cache || cache->Empty()) return;
  // 1.
  int state;
  if (FListHandle && IsWindowVisible(FListHandle))
    state = 2;
  else {
    TsSkinManager* dm = DefaultManager();
    state = IsHot(SkinData) == 1 || (dm && dm->FActiveControl == CtrlHandle) ? 1 : 0;
  }
  // 2.
  std::unique_ptr<TBitmap> work = CloneBitmapFormat(cache);
  if (!work || work->Empty()) return;
  BitBlt(work->Canvas().Handle(), 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
  const TRect r = ButtonRect();
  const TacConstElementData& btn = sd->ComboBtn;
  const bool section = SectionValid(sd, btn.SkinIndex);
  // 3.
  if (section && r.Width() > 0 && r.Height() > 0)
    PaintSkinSection(btn.SkinIndex, MakeCacheInfo(work.get()), state, r, TPoint{r.Left, r.Top}, work.get(), sd,
                     btn.BGIndex[0], btn.BGIndex[1]);
  // 4.
  if (MaskValid(sd, btn.GlyphIndex)) {
    const TsMaskData& glyph = sd->ma[static_cast<std::size_t>(btn.GlyphIndex)];
    const int gw = sd->MaskImageSize(glyph).X;
    const TSize size = WindowExtent(CtrlHandle);
    DrawMaskStateImage(work.get(), TPoint{r.Left + (r.Width() - gw) / 2, (size.cy - ButtonHeight()) / 2}, state, 1,
                       glyph, MakeCacheInfo(work.get()));
  } else if (r.Width() > 0) {
    const TColor color =
        section ? sd->gd[static_cast<std::size_t>(btn.SkinIndex)].StateProps(std::min(state, 2)).FontColor.Color : 0;
    DrawArrowTriangle(work.get(), color, r, 3, SkinData->EffectivePPI());
  }
  // 5.
  BitBlt(DC, r.Left, r.Top, r.Width(), r.Height(), work->Canvas().Handle(), r.Left, r.Top, SRCCOPY);
  work.reset();
  if (!IsMouseOverWindow(CtrlHandle) && SkinData->GlowID >= 0) ReleaseGlowById(SkinData->GlowID, false);
}

void TacComboBoxWnd::RepaintButton() {
  if (!SkinData || !CtrlHandle || !IsWindow(CtrlHandle)) return;
  if (IsMouseOverWindow(CtrlHandle) && ComboStyle() != CBS_SIMPLE) {
    TsSkinManager* manager = SkinData->ReadSkinManager();
    SkinData->UpdateHoverGlow(false, CtrlHandle, -1, manager && manager->Effects.AllowAnimation, 255);
  } else if (SkinData->GlowID >= 0) {
    ReleaseGlowById(SkinData->GlowID, false);
  }
  if (HDC dc = GetWindowDC(CtrlHandle)) {
    PaintButton(dc);
    ReleaseDC(CtrlHandle, dc);
  }
}

void TacComboBoxWnd::CNDrawItem(TMessage& Message) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
  Message.Result = 1;
  if (!dis) return;
  unsigned state = LOWORD(dis->itemState);
  if (dis->itemState & ODS_COMBOBOXEDIT) state |= odComboBoxEdit;
  if (dis->itemState & ODS_DEFAULT) state |= odDefault;
  DrawItem(static_cast<int>(dis->itemID),
           TRect{dis->rcItem.left, dis->rcItem.top, dis->rcItem.right, dis->rcItem.bottom}, dis->hDC, state);
}

void TacComboBoxWnd::DrawItem(int Index, const TRect& Rect, HDC DC, unsigned State) {
  TCustomComboBox* owner = OwnerCombo();
  if (!owner || !SkinData || !DC || Rect.Right <= 0 || Rect.Bottom <= 0) return;
  TacSkinData* sd = SkinData->ReadCommonSkinData();
  TsSkinManager* manager = SkinData->ReadSkinManager();
  if (!sd || !manager || !SectionValid(sd, SkinData->SkinIndex)) return;
  const TsGeneralData& section = sd->gd[static_cast<std::size_t>(SkinData->SkinIndex)];
  // 1.
  if (SkinData->BGChanged) RenderControlCache(SkinData, CtrlHandle, false);
  TBitmap* cache = SkinData->FCacheBmp.get();
  std::unique_ptr<TBitmap> bmp = NewBitmap32(Rect.Right, Rect.Bottom);
  if (!bmp || bmp->Empty()) return;
  TCanvas& canvas = bmp->Canvas();
  canvas.Font.Assign(owner->Font);
  // 2.
  const bool edit = (State & odComboBoxEdit) != 0;
  int state;
  if (edit) {
    const bool focused = SkinData->FFocused || (GetFocus() && owner->HandleAllocated() &&
                                                (GetFocus() == owner->Handle() || GetFocus() == owner->EditHandle()));
    state = (section.States > 1 && IsHot(SkinData) == 1) || focused ? 1 : 0;
  } else {
    state = section.States > 1 ? 1 : 0;
  }
  // 3.
  const std::wstring text = Index >= 0 ? owner->Items()[Index] : std::wstring();
  // 4.
  const int selection = manager->GetSkinIndex(L"SELECTION", sd);
  const bool selectionSection = SectionValid(sd, selection);
  TCanvas& ownerCanvas = owner->Canvas();
  if (State & odSelected) {
    ownerCanvas.Brush.Color = manager->Palette[pcSelectionBG_Focused];
    if (selectionSection) {
      if (edit && cache && !cache->Empty())
        BitBlt(canvas.Handle(), Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), cache->Canvas().Handle(), Rect.Left,
               Rect.Top, SRCCOPY);
      else
        FillRectOnDC(canvas.Handle(), Rect, Color != clNone ? Color : section.StateProps(state).Color);
      PaintSkinSection(selection, MakeCacheInfo(bmp.get()), 1, Rect, TPoint{Rect.Left, Rect.Top}, bmp.get(), sd);
    } else {
      FillRectOnDC(canvas.Handle(), Rect, manager->Palette[pcSelectionBG_Focused]);
    }
    ownerCanvas.Font.Color = manager->Palette[pcSelectionText_Focused];
    canvas.Font.Color = manager->Palette[pcSelectionText_Focused];
  } else {
    if (edit && cache && !cache->Empty())
      BitBlt(canvas.Handle(), Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), cache->Canvas().Handle(), Rect.Left,
             Rect.Top, SRCCOPY);
    else
      FillRectOnDC(canvas.Handle(), Rect, section.StateProps(state).Color);
    ownerCanvas.Brush.Color = section.StateProps(state).Color;
    ownerCanvas.Font.Color = section.StateProps(state).FontColor.Color;
    canvas.Font.Color = section.StateProps(state).FontColor.Color;
  }
  // 5.
  const TComboBoxStyle style = owner->Style();
  if (owner->OnDrawItem && (style == csOwnerDrawFixed || style == csOwnerDrawVariable) && Index >= 0 &&
      Index < owner->Items().Count()) {
    const HDC ownDC = ownerCanvas.CurrentHandleOrNull();
    canvas.Lock();
    ownerCanvas.Lock();
    HDC bdc = canvas.FontHandle();
    const int saved = SaveDC(bdc);
    ownerCanvas.SetHandle(bdc);
    ownerCanvas.Font.Assign(canvas.Font);
    try {
      owner->OnDrawItem(owner, Index, Rect, State);
    } catch (...) {
      ownerCanvas.SetHandle(ownDC);
      RestoreDC(bdc, saved);
      ownerCanvas.Unlock();
      canvas.Unlock();
      throw;
    }
    ownerCanvas.SetHandle(ownDC);
    RestoreDC(bdc, saved);
    ownerCanvas.Unlock();
    canvas.Unlock();
  } else {
    // 6.
    UINT flags = ItemTextFlags;
    if (owner->UseRightToLeftAlignment()) flags |= DT_RIGHT;
    if (owner->UseRightToLeftReading()) flags |= DT_RTLREADING;
    if (edit && style == csDropDown) {
      canvas.Brush.Style = bsClear;
      TRect r = Rect;
      DrawTextLimited(canvas.FontHandle(), owner->Text(), r, flags);
    } else {
      TRect r{Rect.Left + 2, Rect.Top, Rect.Right - 2, Rect.Bottom};
      if ((State & odSelected) && selectionSection) {
        WriteSkinText(&canvas, text.c_str(), true, r, flags, selection, 1, manager);
      } else {
        canvas.Brush.Style = bsClear;
        DrawTextLimited(canvas.FontHandle(), text, r, flags);
        if (State & odFocused) {
          const RECT fr{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
          DrawFocusRect(canvas.Handle(), &fr);
        }
      }
    }
    canvas.Brush.Style = bsSolid;
  }
  // 7.
  BitBlt(DC, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), canvas.Handle(), Rect.Left, Rect.Top, SRCCOPY);
}

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------

void TacComboBoxWnd::DeselectEditText() {
  TCustomComboBox* owner = OwnerCombo();
  if (!owner || owner->Style() != csDropDown) return;
  if (HWND edit = owner->EditHandle()) SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
}

void TacComboBoxWnd::PaintCombo(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  if (!ParamsChanged) SetSkinParams();
  ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  CallPrevWndProc(Message);
  if (Destroyed || !SkinData || !IsWindowVisible(wnd)) return;
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  const bool own = !dc;
  if (own) dc = GetWindowDC(wnd);
  if (!dc) return;
  TBitmap* cache = nullptr;
  if (ComboStyle() == CBS_SIMPLE) {
    PrepareSimple();
    cache = SkinData->FCacheBmp.get();
    if (cache && !cache->Empty())
      BlitBorderStrips(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, 3);
  } else {
    SkinData->BGChanged = true;
    SendMessageW(wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_PREPARE_CACHE), 0);
    cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
    if (cache && !cache->Empty()) {
      BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, 3);
      PaintButton(dc);
    }
  }
  if (own) ReleaseDC(wnd, dc);
}

void TacComboBoxWnd::PrintCombo(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  ReadWindowGeometry(wnd, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  if (!SkinData) return;
  SkinData->FUpdating = true;
  if (!ParamsChanged) SetSkinParams();
  if (Destroyed || !SkinData) return;
  SkinData->FUpdating = false;
  SkinData->BGChanged = true;
  if (ComboStyle() == CBS_SIMPLE)
    PrepareSimple();
  else
    RenderControlCache(SkinData, wnd, DlgMode);
  TBitmap* cache = SkinData->FCacheBmp.get();
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  if (!cache || cache->Empty()) return;
  TCustomComboBox* owner = OwnerCombo();
  if (owner && owner->ItemIndex() >= 0) {
    const TRect button = ButtonRect();
    DrawItem(owner->ItemIndex(), TRect{3, 3, WndSize.cx - button.Width(), WndSize.cy - 3}, cache->Canvas().Handle(),
             odComboBoxEdit);
  } else {
    PaintText();
  }
  PaintBorderCorners(SkinData, 0, this);
  if (dc) {
    BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
    PaintButton(dc);
  }
}

void TacComboBoxWnd::DrawItemMessage(TMessage& Message) {
  auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
  // One font of the face per base font while the skin lasts; the DC gets its own back.
  HDC dc = dis ? dis->hDC : nullptr;
  HGDIOBJ previous = SelectDrawItemFont(dc);
  CallPrevWndProc(Message);
  if (previous) SelectObject(dc, previous);
  Invalidate();
}

void TacComboBoxWnd::CtlColorListBox(TMessage& Message) {
  // The list's handler being made asks again: that nested question is dropped.
  if (LBoxOpening) return;
  LBoxOpening = true;
  TacEditWnd::acWndProc(Message);
  if (!FListHandle && !Destroyed && SkinData) {
    FListHandle = reinterpret_cast<HWND>(Message.LParam);
    if (!ListSW && FListHandle) {
      const bool wasDlgMode = acDlgMode;
      if (!SkinData->FOwnerControl) acDlgMode = DlgMode;
      try {
        ListSW = TacComboListWnd::CreateEx(FListHandle, ComboStyle() == CBS_SIMPLE,
                                           SendMessageW(CtrlHandle, CB_GETCOUNT, 0, 0) > 0, L"EDIT", SkinManager,
                                           nullptr);
      } catch (...) {
        acDlgMode = wasDlgMode;
        LBoxOpening = false;
        throw;
      }
      if (!SkinData->FOwnerControl) acDlgMode = false;
      else acDlgMode = wasDlgMode;
    }
  }
  if (FListHandle && SkinData) {
    TacSectionInfo info;
    info.siSkinIndex = -1;
    SendMessageW(FListHandle, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_SKIN_INDEX), reinterpret_cast<LPARAM>(&info));
    TacSkinData* sd = SkinData->ReadCommonSkinData();
    if (info.siSkinIndex >= 0 && !DlgMode && SectionValid(sd, info.siSkinIndex)) {
      const TsGenState& props = sd->gd[static_cast<std::size_t>(info.siSkinIndex)].Props[0];
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      if (props.FontColor.Color >= 0 && dc) SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(props.FontColor.Color)));
      if (dc) SetBkColor(dc, static_cast<COLORREF>(ColorToRGB(props.Color)));
      if (!FListBrush || FListBrushColor != props.Color) {
        if (FListBrush) DeleteObject(FListBrush);
        FListBrush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(props.Color)));
        FListBrushColor = props.Color;
      }
      Message.Result = reinterpret_cast<LRESULT>(FListBrush);
    }
  }
  LBoxOpening = false;
}

void TacComboBoxWnd::acWndProc(TMessage& Message) {
  const HWND wnd = CtrlHandle;
  if (Destroyed || !SkinData) {
    TacEditWnd::acWndProc(Message);
    return;
  }
  if (Message.Msg == SM_SKINCOMMAND) {
    const WORD command = SkinCommandOf(Message.WParam);
    if (command == SKCMD_REMOVE_SKIN && Message.LParam == reinterpret_cast<LPARAM>(SkinManager)) {
      TacEditWnd::acWndProc(Message);
      FreeListHandler(true);
      FreeOwnGdi();
      return;
    }
    if (command == SKCMD_NEW_SKIN || command == SKCMD_REFRESH) FreeOwnGdi();
    TacEditWnd::acWndProc(Message);
    if ((command == SKCMD_MOUSE_ENTER || command == SKCMD_MOUSE_LEAVE) && !Destroyed) RepaintButton();
    return;
  }
  if (!SkinData->Skinned()) {
    TacEditWnd::acWndProc(Message);
    return;
  }
  auto* win = dynamic_cast<TWinControl*>(SkinData->FOwnerControl);
  const auto borderFollows = [&] {
    return BorderNeedsAnimation(SkinData, false) && win && win->CanFocus() && win->TabStop();
  };
  switch (Message.Msg) {
    case WM_SIZE:
      CallPrevWndProc(Message);
      return;
    case WM_SETFOCUS:
    case WM_LBUTTONUP:
      SkinData->FFocused = true;
      if (borderFollows()) {
        SetSkinParams();
        RedrawWindow(wnd, nullptr, nullptr, 0x545);
      }
      CallPrevWndProc(Message);
      if (!Destroyed) RepaintButton();
      return;
    case WM_KILLFOCUS:
    case CM_EXIT: {
      TCustomComboBox* owner = OwnerCombo();
      SkinData->FFocused = owner && owner->EditHandle() && GetFocus() == owner->EditHandle();
      SkinData->BGChanged = true;
      CallPrevWndProc(Message);
      if (Destroyed || !SkinData) return;
      if (borderFollows()) {
        SetSkinParams();
        DeselectEditText();
        RedrawWindow(wnd, nullptr, nullptr, 0x545);
      }
      RepaintButton();
      return;
    }
    case WM_PAINT:
      PaintCombo(Message);
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_DRAWITEM:
      DrawItemMessage(Message);
      return;
    case WM_NCCALCSIZE:
      TacEditWnd::acWndProc(Message);
      cxLeftEdge = 3;
      return;
    case WM_COMMAND:
    case CN_COMMAND:
      TacEditWnd::acWndProc(Message);
      if (!Destroyed && HIWORD(Message.WParam) == CBN_CLOSEUP &&
          (Message.Msg == CN_COMMAND || ComboStyle() == CBS_DROPDOWN) && SkinData) {
        SkinData->BGChanged = true;
        RepaintButton();
      }
      return;
    case WM_CTLCOLORLISTBOX:
      CtlColorListBox(Message);
      return;
    case CB_SETCURSEL:
    case CM_TEXTCHANGED_MSG:
    case CM_ITEMS_CHANGED:
      if (EasyComboBox()) {
        SetWindowRedraw(wnd, 0);
        SkinData->BGChanged = true;
        CallPrevWndProc(Message);
        SetWindowRedraw(wnd, 1);
        RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      } else {
        CallPrevWndProc(Message);
      }
      return;
    case WM_PRINT:
      PrintCombo(Message);
      return;
    case CM_MOUSEENTER:
      if (SkinData->FMouseAbove) return;
      SkinData->FMouseAbove = true;
      SkinData->BGChanged = true;
      TacEditWnd::acWndProc(Message);
      if (Destroyed) return;
      if (GetFocus() != wnd) DeselectEditText();
      Invalidate();
      return;
    case CM_MOUSELEAVE: {
      if (!SkinData->FMouseAbove) return;
      TCustomComboBox* owner = OwnerCombo();
      if (owner && owner->EditHandle() && GetFocus() == owner->EditHandle()) SkinData->FFocused = true;
      RECT r{};
      POINT p{};
      GetWindowRect(wnd, &r);
      GetCursorPos(&p);
      if (PtInRect(&r, p)) return;
      SkinData->FMouseAbove = false;
      SkinData->BGChanged = true;
      TacEditWnd::acWndProc(Message);
      if (Destroyed) return;
      if (GetFocus() != wnd) DeselectEditText();
      Invalidate();
      return;
    }
    case CN_DRAWITEM:
      if (EasyComboBox())
        CNDrawItem(Message);
      else
        CallPrevWndProc(Message);
      return;
  }
  TacEditWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// TacWWComboBoxWnd
// ---------------------------------------------------------------------------

TacWWComboBoxWnd::~TacWWComboBoxWnd() {
  FreeHandler(ListBoxSW);
  delete ListBoxSkinData;
  ListBoxSkinData = nullptr;
}

void TacWWComboBoxWnd::AfterCreation() {
  ListBox = nullptr;
  ListBoxSkinData = nullptr;
  if (TCustomComboBox* owner = SkinData ? dynamic_cast<TCustomComboBox*>(SkinData->FOwnerControl) : nullptr)
    FShowButton = owner->Style() == csDropDown || owner->Style() == csDropDownList;
  TacComboBoxWnd::AfterCreation();
}

TRect TacWWComboBoxWnd::ButtonRect() {
  const int w = FShowButton ? GetSystemMetrics(SM_CXVSCROLL) : 0;
  const TSize size = WindowExtent(CtrlHandle);
  TRect r;
  r.Left = RtlReading(CtrlHandle) ? 2 : size.cx - w - 2;
  r.Top = 2;
  r.Right = r.Left + w;
  r.Bottom = size.cy - 2;
  return r;
}

void TacWWComboBoxWnd::acWndProc(TMessage& Message) {
  if (Message.Msg == WM_CTLCOLORLISTBOX) {
    CallPrevWndProc(Message);
    return;
  }
  ComboHandling(Message);
  if (Destroyed || !SkinData) return;
  if (Message.Msg == WM_PARENTNOTIFY && LOWORD(Message.WParam) == WM_CREATE) {
    auto* owner = dynamic_cast<TWinControl*>(SkinData->FOwnerControl);
    if (!owner) return;
    for (TControl* child : std::vector<TControl*>(owner->Controls())) {
      auto* list = dynamic_cast<TCustomListBox*>(child);
      if (!list || !list->HandleAllocated()) continue;
      ListBox = list;
      if (ListBoxSW) FreeHandler(ListBoxSW);
      delete ListBoxSkinData;
      ListBoxSkinData = new TsScrollWndData(list, true);
      ListBoxSkinData->WriteSkinSection(L"EDIT");
      ListBoxSkinData->FOwnerControl = list;
      if (SkinManager) ListBoxSkinData->WriteSkinManager(SkinManager);
      AttachEditWnd(ListBoxSkinData, ListBoxSW);
      if (ListBoxSW && ListBoxSW->Destroyed) {
        FreeHandler(ListBoxSW);
        AttachEditWnd(ListBoxSkinData, ListBoxSW);
      }
    }
  }
}

// ---------------------------------------------------------------------------

void RegisterComboHandlerKinds() {
  RegisterHandlerKind(L"TacComboBoxWnd", HandlerMakerOf<TacComboBoxWnd>());
  RegisterHandlerKind(L"TacWWComboBoxWnd", HandlerMakerOf<TacWWComboBoxWnd>());
}
