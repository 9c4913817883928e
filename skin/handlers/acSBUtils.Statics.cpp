// The handlers of windows that mostly show the skin through them: static texts, icons and
// bitmaps, SysLink texts, size grips, child dialogs, the framework's panels and static
// texts, and the container windows of the system's file dialogs.
#include "skin/handlers/acSBUtils.h"

#include <algorithm>
#include <vector>

#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

bool WindowShown(HWND Wnd) { return Wnd && IsWindowVisible(Wnd); }

void SetSectionUnlessSet(TsCommonData* Data, const wchar_t* Section) {
  if (Data && Data->SkinSection().empty()) Data->WriteSkinSection(Section);
}

// The window's size now, as the cache must have it.
TSize WindowSize(HWND Wnd) {
  RECT r{};
  if (Wnd) GetWindowRect(Wnd, &r);
  return TSize{std::max<int>(0, r.right - r.left), std::max<int>(0, r.bottom - r.top)};
}

// The window's client rectangle (the panel's own ClientRect leaves its frame out already).
TRect WindowClientRect(HWND Wnd) {
  RECT r{};
  if (Wnd) GetClientRect(Wnd, &r);
  return TRect{r.left, r.top, r.right, r.bottom};
}

// The handler's window made the hot one (as the base does on WM_MOUSEMOVE).
void MakeHot(HWND Wnd) {
  if (TsSkinManager* dm = DefaultManager())
    if (!dm->Designing() && Wnd && IsWindowEnabled(Wnd)) dm->SwitchHotControl(Wnd);
}

// Re-renders the cache of a handler that paints the whole window from it.
bool RenderWholeCache(TacMainWnd* Handler) {
  TsCommonData* data = Handler->SkinData;
  if (!data || !Handler->CtrlHandle) return false;
  ReadWindowGeometry(Handler->CtrlHandle, Handler->ParentWnd, Handler->WndRect, Handler->WndPos, Handler->WndSize,
                     Handler->ParentRect);
  data->BGChanged = true;
  RenderControlCache(data, Handler->CtrlHandle, false);
  // A parent without its background yet leaves the cache unrendered: nothing is copied.
  return !data->BGChanged && data->FCacheBmp && !data->FCacheBmp->Empty();
}

}  // namespace

// ---------------------------------------------------------------------------
// TacStaticWnd
// ---------------------------------------------------------------------------

void TacStaticWnd::AfterCreation() {
  SetSectionUnlessSet(SkinData, L"TRANSPARENT");
  TacMainWnd::AfterCreation();
}

HDC TacStaticWnd::BeginCachePaint(TMessage& Message, bool& OwnDC, int& Saved) {
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  OwnDC = !dc;
  if (OwnDC) dc = GetWindowDC(CtrlHandle);
  if (!dc) return nullptr;
  Saved = SaveDC(dc);
  if (ProcessRightToLeft()) SetDCLayout(dc, 0);
  return dc;
}

void TacStaticWnd::EndCachePaint(HDC DC, bool OwnDC, int Saved) {
  RestoreDC(DC, Saved);
  if (OwnDC) ReleaseDC(CtrlHandle, DC);
}

void TacStaticWnd::AC_WMPaint(TMessage& Message) {
  bool own = false;
  int saved = 0;
  HDC dc = BeginCachePaint(Message, own, saved);
  if (!dc) return;
  if (RenderWholeCache(this) && PaintText()) {
    TBitmap* cache = SkinData->FCacheBmp.get();
    BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
  }
  EndCachePaint(dc, own, saved);
}

bool TacStaticWnd::PaintText() {
  if (Caption.empty()) return true;
  TCanvas& canvas = SkinData->FCacheBmp->Canvas();
  InitHandlerFont(this, false);
  canvas.Font.Color = SectionFontColorOfWindow(CtrlHandle, SkinData->SkinIndex, SkinData->ReadSkinManager(), 0);
  canvas.Brush.Style = bsClear;
  // The static's own alignment (SS_CENTER) and SS_NOPREFIX leave these flags as they are.
  UINT flags = 0x0BD4;
  if (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RIGHT) flags |= DT_RIGHT;
  if (ProcessRightToLeft()) flags |= DT_RTLREADING;
  TRect r{0, 0, WndSize.cx, WndSize.cy};
  WriteSkinText(&canvas, Caption.c_str(), true, r, flags, -1, 0, SkinData->ReadSkinManager());
  return true;
}

void TacStaticWnd::acWndProc(TMessage& Message) {
  if (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & WS_TABSTOP ||
      GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_STATICEDGE) {
    TacMainWnd::acWndProc(Message);
    return;
  }
  StaticWndProc(Message);
}

void TacStaticWnd::StaticWndProc(TMessage& Message) {
  const bool visible = WindowShown(CtrlHandle);
  switch (Message.Msg) {
    case WM_MOVE:
    case WM_ENABLE:
      if (!visible) break;
      if (SkinData) SkinData->BGChanged = true;
      TacMainWnd::CallPrevWndProc(Message);
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      return;
    case WM_SETTEXT:
      if (!visible) break;
      SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
      TacMainWnd::CallPrevWndProc(Message);
      {
        const int n = GetWindowTextLengthW(CtrlHandle);
        std::wstring text(static_cast<std::size_t>(std::max(0, n)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(std::max(0, GetWindowTextW(CtrlHandle, text.data(), n + 1))));
        Caption = text;
      }
      if (SkinData) SkinData->BGChanged = true;
      SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      return;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(CtrlHandle, &ps);
      if (visible && dc) {
        TMessage paint{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
        AC_WMPaint(paint);
      }
      EndPaint(CtrlHandle, &ps);
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      if (!visible) break;
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      Message.Result = 0;
      return;
    case WM_PRINT:
      AC_WMPaint(Message);
      return;
  }
  TacMainWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// TacEdgeWnd
// ---------------------------------------------------------------------------

void TacEdgeWnd::AfterCreation() {
  SetSectionUnlessSet(SkinData, L"EDIT");
  TacMainWnd::AfterCreation();
}

void TacEdgeWnd::AC_WMPaint(TMessage& Message) {
  bool own = false;
  int saved = 0;
  HDC dc = BeginCachePaint(Message, own, saved);
  if (!dc) return;
  if (RenderWholeCache(this) && PaintText()) {
    TBitmap* cache = SkinData->FCacheBmp.get();
    BlitBorderStrips(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, 2);
  }
  EndCachePaint(dc, own, saved);
}

void TacEdgeWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT: {
      TacMainWnd::CallPrevWndProc(Message);
      const LRESULT result = Message.Result;
      TMessage paint{WM_PAINT, 0, 0, 0};
      AC_WMPaint(paint);
      Message.Result = result;
      return;
    }
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      Message.Result = 0;
      return;
  }
  TacStaticWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// TacIconWnd
// ---------------------------------------------------------------------------

TacIconWnd::~TacIconWnd() { FBmp.reset(); }

void TacIconWnd::AfterCreation() {
  IsBmp = (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & 3) != 3;
  FBmp.reset();
  SetSectionUnlessSet(SkinData, L"TRANSPARENT");
  TacMainWnd::AfterCreation();
}

namespace {

// The pixels of Src copied into Dst as 32 bits (alpha kept); false for no bitmap.
bool CopyBitmapPixels(HBITMAP Src, TBitmap& Dst, int& BitsPerPixel) {
  BITMAP bm{};
  if (!Src || GetObjectW(Src, sizeof bm, &bm) != static_cast<int>(sizeof bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
    return false;
  BitsPerPixel = bm.bmBitsPixel;
  Dst.SetPixelFormat(pf32bit);
  Dst.SetSize(bm.bmWidth, bm.bmHeight);
  if (Dst.Empty()) return false;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = bm.bmWidth;
  bi.bmiHeader.biHeight = -bm.bmHeight;  // top-down: row y at y * width
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  std::vector<std::uint32_t> px(static_cast<std::size_t>(bm.bmWidth) * bm.bmHeight);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, Src, 0, static_cast<UINT>(bm.bmHeight), px.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != bm.bmHeight) return false;
  for (int y = 0; y < bm.bmHeight; ++y) {
    auto* row = static_cast<std::uint32_t*>(Dst.ScanLine(y));
    std::copy_n(px.data() + static_cast<std::size_t>(y) * bm.bmWidth, bm.bmWidth, row);
  }
  return true;
}

}  // namespace

bool TacIconWnd::PaintText() {
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!IsBmp) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(CtrlHandle, STM_GETICON, 0, 0));
    if (!icon) return false;
    DrawIconEx(cache->Canvas().Handle(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    return true;
  }
  // Read at every paint: after STM_SETIMAGE the old bitmap may be gone.
  auto bmp = reinterpret_cast<HBITMAP>(SendMessageW(CtrlHandle, STM_GETIMAGE, IMAGE_BITMAP, 0));
  if (!FBmp) FBmp = std::make_unique<TBitmap>();
  int bpp = 0;
  if (!CopyBitmapPixels(bmp, *FBmp, bpp)) return false;
  if (bpp == 32) {
    DrawImageAlpha(TRect{0, 0, WndSize.cx, WndSize.cy}, TRect{0, 0, FBmp->Width(), FBmp->Height()}, cache, FBmp.get(),
                   EmptyCacheInfo, false, clNone, 0, false);
  } else {
    BitBlt(cache->Canvas().Handle(), 0, 0, std::min<int>(WndSize.cx, FBmp->Width()),
           std::min<int>(WndSize.cy, FBmp->Height()), FBmp->Canvas().Handle(), 0, 0, SRCCOPY);
  }
  return true;
}

// ---------------------------------------------------------------------------
// TacLinkWnd
// ---------------------------------------------------------------------------

std::wstring RemoveLinkTags(const std::wstring& Text) {
  std::wstring out = Text;
  for (const std::wstring tag : {L"<A>", L"</A>"})
    for (std::size_t at = out.find(tag); at != std::wstring::npos; at = out.find(tag, at)) out.erase(at, tag.size());
  return out;
}

bool TacLinkWnd::PaintText() {
  TCanvas& canvas = SkinData->FCacheBmp->Canvas();
  canvas.Brush.Style = bsClear;
  TRect r{0, 0, WndSize.cx + 4, WndSize.cy};
  InitHandlerFont(this, false);
  canvas.Font.Style = canvas.Font.Style.Get() | fsUnderline;
  const std::wstring text = RemoveLinkTags(Caption);
  WriteControlText(&canvas, text.c_str(), true, r, DT_NOCLIP | DT_EXPANDTABS | DT_WORDBREAK, SkinData, 0, true);
  return true;
}

void TacLinkWnd::acWndProc(TMessage& Message) {
  if (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_STATICEDGE) {
    TacStaticWnd::acWndProc(Message);
    return;
  }
  const bool visible = WindowShown(CtrlHandle);
  switch (Message.Msg) {
    case WM_MOVE:
      if (SkinData) SkinData->BGChanged = true;
      TacMainWnd::CallPrevWndProc(Message);
      RedrawWindow(CtrlHandle, nullptr, nullptr, 0x585);
      return;
    case WM_SETTEXT:
      TacMainWnd::CallPrevWndProc(Message);
      {
        const int n = GetWindowTextLengthW(CtrlHandle);
        std::wstring text(static_cast<std::size_t>(std::max(0, n)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(std::max(0, GetWindowTextW(CtrlHandle, text.data(), n + 1))));
        Caption = text;
      }
      if (SkinData) SkinData->BGChanged = true;
      RedrawWindow(CtrlHandle, nullptr, nullptr, 0x585);
      return;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      BeginPaint(CtrlHandle, &ps);
      EndPaint(CtrlHandle, &ps);
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      if (!visible) break;
      AC_WMPaint(Message);
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      Message.Result = 0;
      return;
    case WM_UPDATEUISTATE:
      if (visible) break;
      TacMainWnd::acWndProc(Message);
      return;
  }
  TacStaticWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// TacSizerWnd
// ---------------------------------------------------------------------------

void TacSizerWnd::AfterCreation() {
  SetSectionUnlessSet(SkinData, L"TRANSPARENT");
  TacMainWnd::AfterCreation();
}

void TacSizerWnd::PaintGrip() {
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(CtrlHandle, &ps);
  TsSkinManager* manager = SkinData ? SkinData->ReadSkinManager() : nullptr;
  TacSkinData* sd = SkinData ? SkinData->ReadCommonSkinData() : nullptr;
  const int W = WndSize.cx, H = WndSize.cy;
  if (dc && manager && sd && W > 0 && H > 0 && manager->IsValidImgIndex(sd->GripRightBottom, sd) &&
      sd->GripRightBottom < static_cast<int>(sd->ma.size())) {
    std::unique_ptr<TBitmap> work = NewBitmap32(W, H);
    if (!work->Empty()) {
      // What shows when the parent answers nothing: its colour.
      if (ParentWnd) FillRectOnDC(work->Canvas().Handle(), TRect{0, 0, W, H}, WindowBkColor(ParentWnd));
      TacBGInfo info;
      info.PleaseDraw = true;
      info.DrawDC = work->Canvas().Handle();
      info.R = TRect{0, 0, W, H};
      info.Offset = WndPos;
      if (ParentWnd)
        SendMessageW(ParentWnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_BG_INFO), reinterpret_cast<LPARAM>(&info));
      const TsMaskData& grip = sd->ma[static_cast<std::size_t>(sd->GripRightBottom)];
      const TPoint size = sd->MaskImageSize(grip);
      DrawMaskStateImage(work.get(), TPoint{std::max(W - size.X, 0), std::max(H - size.Y, 0)}, 0, 1, grip,
                         MakeCacheInfo(work.get()));
      BitBlt(dc, 0, 0, W, H, work->Canvas().Handle(), 0, 0, SRCCOPY);
    }
  }
  EndPaint(CtrlHandle, &ps);
}

void TacSizerWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
      PaintGrip();
      Message.Result = 0;
      return;
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      Message.Result = 1;
      return;
    case WM_NCHITTEST:
      TacMainWnd::acWndProc(Message);
      if (IsWindowEnabled(CtrlHandle))
        if (TsSkinManager* dm = DefaultManager(); dm && dm->FActiveControl == CtrlHandle) dm->SwitchHotControl(nullptr);
      Message.Result = HTBOTTOMRIGHT;
      return;
  }
  TacMainWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// TacTransPanelWnd
// ---------------------------------------------------------------------------

void TacTransPanelWnd::AfterCreation() {
  SetSectionUnlessSet(SkinData, L"TRANSPARENT");
  TacMainWnd::AfterCreation();
}

void TacTransPanelWnd::PaintPanel(HDC DC) {
  const TSize size = WindowSize(CtrlHandle);
  HDC dc = DC ? DC : GetWindowDC(CtrlHandle);
  if (!dc) return;
  if (RenderWholeCache(this))
    PaintCacheExceptWindows(CtrlHandle, SkinData, TRect{0, 0, size.cx, size.cy}, 0, 0, false, dc,
                            TRect{0, 0, size.cx, size.cy});
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacTransPanelWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(CtrlHandle, &ps);
      try {
        if (dc) PaintPanel(dc);
      } catch (...) {
        EndPaint(CtrlHandle, &ps);
        throw;
      }
      EndPaint(CtrlHandle, &ps);
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      PaintPanel(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      Message.Result = 0;
      return;
  }
  TacMainWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// The framework panel and static text
// ---------------------------------------------------------------------------

namespace {

// The section of bevels: outer lowered or raised, the inner bevel the other way round
// making a groove or ridge.
const wchar_t* SectionOfBevels(TBevelCut Outer, TBevelCut Inner, const wchar_t* Other) {
  if (Outer == bvLowered) return Inner == bvRaised ? L"GROUPBOX" : L"PANEL_LOW";
  if (Outer == bvRaised) return Inner == bvLowered ? L"GROUPBOX" : L"PANEL";
  return Other;
}

// The common data's updating flag held on during a creation step and then put back.
struct TUpdatingHeld {
  TsCommonData* Data;
  bool Was;
  explicit TUpdatingHeld(TsCommonData* D) : Data(D), Was(D ? D->FUpdating : false) {
    if (Data) Data->FUpdating = true;
  }
  ~TUpdatingHeld() {
    if (Data) Data->FUpdating = Was;
  }
};

TMessage NewSkinMessage(WORD Command, TsSkinManager* Manager) {
  return TMessage{SM_SKINCOMMAND, SkinCommandWParam(Command), reinterpret_cast<LPARAM>(Manager), 0};
}

}  // namespace

std::wstring PanelSectionOf(TControl* Control) {
  auto* panel = dynamic_cast<TCustomPanel*>(Control);
  if (!panel) return L"TRANSPARENT";
  return SectionOfBevels(panel->BevelOuter, panel->BevelInner,
                         panel->BorderStyle() == bsNone ? L"TRANSPARENT" : L"PANEL_LOW");
}

std::wstring StaticTextSectionOf(TControl* Control) {
  auto* text = dynamic_cast<TCustomStaticText*>(Control);
  if (!text || text->BevelKind() == bkNone) return L"TRANSPARENT";
  return SectionOfBevels(text->BevelOuter, text->BevelInner, L"TRANSPARENT");
}

void TacPanelBaseWnd::AfterCreation() {
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (owner) {
    TUpdatingHeld held(SkinData);
    Control = owner;
    OwnerTaken();
    if (SkinData->SkinSection().empty()) SkinData->WriteSkinSection(OwnerSection(owner));
    TacMainWnd::AfterCreation();
  } else {
    TacMainWnd::AfterCreation();
  }
}

std::wstring TacPanelWnd::OwnerSection(TControl* Owner) const { return PanelSectionOf(Owner); }

void TacPanelWnd::OwnerTaken() { Panel = dynamic_cast<TacAccessPanel*>(Control); }

void TacPanelWnd::AfterCreation() {
  TacPanelBaseWnd::AfterCreation();
  if (Panel) BroadcastToAllChildren(Panel, NewSkinMessage(SKCMD_NEW_SKIN, SkinData ? SkinData->ReadSkinManager() : nullptr));
}

std::wstring TacStaticTextWnd::OwnerSection(TControl* Owner) const { return StaticTextSectionOf(Owner); }

int TacPanelBaseWnd::FrameWidth() const {
  RECT wr{}, cr{};
  if (!CtrlHandle) return 0;
  GetWindowRect(CtrlHandle, &wr);
  GetClientRect(CtrlHandle, &cr);
  return std::max(0, static_cast<int>((wr.right - wr.left) - cr.right) / 2);
}

bool TacPanelBaseWnd::PaintSection(TColor CustomFill) {
  TControl* owner = SkinData->FOwnerControl;
  SkinData->InitCacheBitmap();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || !owner) return false;
  const TSize size = WindowSize(CtrlHandle);
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(size.cx, size.cy);
  TCacheInfo ci;
  SkinData->ParentBackgroundInfo(ci);
  if (!ci.Ready && !ci.Bmp && (ci.FillColor & 0xFFFFFF) == 0xFF00FF) {
    SkinData->FUpdating = true;
    return false;
  }
  const TRect all{0, 0, size.cx, size.cy};
  if (CustomFill != clNone)
    FillRectOnDC(cache->Canvas().Handle(), all, CustomFill);
  else
    PaintControlSkin(SkinData, ci, 0, all, TPoint{owner->Left(), owner->Top()}, cache, true);
  return true;
}

bool TacPanelWnd::PrepareCache() {
  if (!PaintSection(clNone)) return false;
  TRect r = WindowClientRect(CtrlHandle);
  if (Panel) {
    const int inset = Panel->BevelWidth * ((Panel->BevelInner != bvNone) + (Panel->BevelOuter != bvNone)) +
                      Panel->BorderWidth;
    r = TRect{r.Left + inset, r.Top + inset, r.Right - inset, r.Bottom - inset};
  }
  // The client rectangle lies inside the frame of the cache.
  const int b = FrameWidth();
  r = TRect{r.Left + b, r.Top + b, r.Right + b, r.Bottom + b};
  WriteText(r, SkinData->FCacheBmp->Canvas());
  SkinData->BGChanged = false;
  return true;
}

void TacPanelWnd::WriteText(TRect R, TCanvas& Canvas) {
  if (Panel && Panel->Tag == 999) return;
  TControl* owner = SkinData->FOwnerControl;
  const std::wstring caption = owner ? owner->Caption() : Caption;
  if (Panel && !Panel->ShowCaption) return;
  if (caption.empty()) return;
  if (owner) Canvas.Font.Assign(owner->Font);
  Canvas.Brush.Style = bsClear;
  UINT flags = DT_VCENTER | DT_CENTER;
  if (Panel) {
    // One line's height centred in the rectangle, by the height of "Wg".
    SelectObject(Canvas.Handle(), Canvas.Font.Handle());
    SIZE line{};
    GetTextExtentPoint32W(Canvas.Handle(), L"Wg", 2, &line);
    const int top = R.Top + (R.Height() - line.cy) / 2;
    R = TRect{R.Left, top, R.Right, top + line.cy};
    flags = TextFlagsOf(Panel, Panel->Alignment) | DT_WORDBREAK | DT_VCENTER;
  }
  WriteControlText(&Canvas, caption.c_str(), owner ? owner->Enabled() : true, R, flags, SkinData, 0, true);
}

bool TacStaticTextWnd::PrepareCache() {
  TControl* owner = SkinData->FOwnerControl;
  if (!PaintSection(SkinData->FCustomColor && owner ? ColorToRGB(owner->Color()) : clNone)) return false;
  TRect r = WindowClientRect(CtrlHandle);
  const int b = FrameWidth();
  r = TRect{r.Left + b, r.Top + b, r.Right + b, r.Bottom + b};
  SkinData->FCacheBmp->Canvas().Brush.Style = bsClear;
  WriteText(r, SkinData->FCacheBmp->Canvas());
  SkinData->BGChanged = false;
  return true;
}

void TacStaticTextWnd::WriteText(TRect R, TCanvas& Canvas) {
  const std::wstring caption = Control ? Control->Caption() : Caption;
  if (caption.empty()) return;
  if (Control) Canvas.Font.Assign(Control->Font);
  Canvas.Brush.Style = bsClear;
  UINT flags = DT_VCENTER | DT_CENTER;
  if (Control) {
    const int alignment = GetThirdPartyOrd(Control, L"Alignment");
    flags = TextFlagsOf(Control, alignment == 1   ? taRightJustify
                                 : alignment == 2 ? taCenter
                                                  : taLeftJustify) |
            DT_WORDBREAK;
  }
  WriteControlText(&Canvas, caption.c_str(), Control ? Control->Enabled() : true, R, flags, SkinData, 0, true);
}

void TacPanelBaseWnd::AC_WMNCPaint(HDC DC) {
  if (!SkinData || SkinData->IsUpdating()) return;
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  HDC dc = DC ? DC : GetWindowDC(CtrlHandle);
  if (!dc) return;
  if (PrepareCache()) {
    const int b = FrameWidth();
    if (b > 0)
      BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas().Handle(), 0, 0, b);
  } else {
    SkinData->FUpdating = true;
  }
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacPanelBaseWnd::AC_WMPaint(HDC DC) {
  if (!SkinData) return;
  TControl* owner = SkinData->FOwnerControl;
  auto* win = dynamic_cast<TWinControl*>(owner);
  if (owner && owner->Destroying()) return;
  if (owner && owner->Parent() && (owner->Parent()->ControlState() & csCreating)) return;
  if (SkinData->IsUpdating()) return;
  ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
  HDC dc = DC ? DC : GetDC(CtrlHandle);
  if (!dc) return;
  const int saved = SaveDC(dc);
  bool rebuilt = false;
  bool ready = true;
  if (SkinData->HalfVisible || SkinData->BGChanged || !SkinData->FCacheBmp || SkinData->FCacheBmp->Empty()) {
    ready = PrepareCache();
    rebuilt = ready;
  }
  if (ready) {
    const bool moves = RepaintIfMoved(SkinData) != 0;
    RECT clip{};
    GetClipBox(dc, &clip);
    SkinData->HalfVisible = moves && (!IsPanel() || OwnerKnown()) && owner &&
                            ((clip.right - clip.left) != owner->Width() || (clip.bottom - clip.top) != owner->Height());
    const int b = FrameWidth();
    const bool whole = IsPanel() && !OwnerKnown();
    const TRect src = whole ? TRect{0, 0, WndSize.cx, WndSize.cy} : TRect{b, b, WndSize.cx - b, WndSize.cy - b};
    PaintCacheExceptControls(win, SkinData, src, 0, 0, false, dc, TRect{0, 0, src.Width(), src.Height()});
    if (win) {
      PaintGraphicChildren(dc, win, TPoint{0, 0}, rebuilt && moves);
      RepaintChildControls(win);
    }
  }
  RestoreDC(dc, saved);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacPanelBaseWnd::acWndProc(TMessage& Message) {
  TControl* owner = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!owner || !(owner->ControlStyle() & csAcceptsControls)) {
    TacMainWnd::acWndProc(Message);
    return;
  }
  auto* win = dynamic_cast<TWinControl*>(owner);
  TsSkinManager* manager = SkinData->ReadSkinManager();
  if (Message.Msg == SM_SKINCOMMAND) {
    switch (SkinCommandOf(Message.WParam)) {
      case SKCMD_NEW_SKIN:
      case SKCMD_REFRESH:
        TacMainWnd::acWndProc(Message);
        PassToChildren(owner, CtrlHandle, Message);
        return;
      case SKCMD_REMOVE_SKIN:
        SkinData->SkinIndex = -1;
        owner->SetControlStyle(owner->ControlStyle() & ~static_cast<TControlStyle>(csOpaque));
        TacMainWnd::acWndProc(Message);
        return;
      case SKCMD_END_UPDATE:
        if (!IsPanel()) break;
        if (SkinData->FUpdating) {
          SkinData->FUpdating = false;
          RedrawWindow(CtrlHandle, nullptr, nullptr, 0x585);
        }
        RepaintChildControls(owner);
        return;
      case SKCMD_IS_SKINNED:
        Message.Result = 1;
        return;
      case SKCMD_PREPARE_CACHE:
        PrepareCache();
        if (IsPanel()) return;
        break;
      case SKCMD_GET_APPLICATION:
        Message.Result = reinterpret_cast<LRESULT>(&Application());
        return;
    }
    TacMainWnd::acWndProc(Message);
    return;
  }
  if (!SkinData->Skinned()) {
    TacMainWnd::acWndProc(Message);
    return;
  }
  const bool visible = owner->Visible() && WindowShown(CtrlHandle);
  switch (Message.Msg) {
    case WM_SETTEXT:
      if (!visible) break;
      SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
      TacMainWnd::acWndProc(Message);
      SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
      SkinData->BGChanged = true;
      SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
      return;
    case WM_PAINT:
      PaintThroughErase(CtrlHandle);
      Message.Result = 0;
      return;
    case WM_ERASEBKGND:
      if (!IsPanel() || visible) AC_WMPaint(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = 1;
      return;
    case WM_UPDATEUISTATE:
      Message.Result = 1;
      return;
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED: {
      TacSkinData* sd = SkinData->ReadCommonSkinData();
      const int idx = SkinData->SkinIndex;
      if (sd && idx >= 0 && idx < static_cast<int>(sd->gd.size()) && sd->gd[idx].StateProps(0).Transparency != 0)
        SkinData->BGChanged = true;
      TacMainWnd::acWndProc(Message);
      if (Message.Msg == WM_WINDOWPOSCHANGING) SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
      return;
    }
    case WM_NCPAINT:
      if (!IsPanel() || visible) AC_WMNCPaint(nullptr);
      Message.Result = 0;
      return;
    case WM_PARENTNOTIFY: {
      const WORD event = LOWORD(Message.WParam);
      TacMainWnd::acWndProc(Message);
      if (event == WM_CREATE) AddToFormAdapter(owner);
      return;
    }
    case WM_PRINT: {
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      if (!dc) return;
      if (IsPanel()) {
        SkinData->BGChanged = true;
        SkinData->FUpdating = false;
        AC_WMNCPaint(dc);
        const int b = FrameWidth();
        POINT old{};
        OffsetViewportOrgEx(dc, b, b, &old);
        AC_WMPaint(dc);
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
      } else {
        AC_WMPaint(dc);
        AC_WMNCPaint(dc);
      }
      return;
    }
    case CM_VISIBLECHANGED:
      if (!IsPanel()) break;
      SkinData->BGChanged = true;
      SkinData->FUpdating = false;
      if (Message.WParam) {
        PrepareCache();
        TacMainWnd::acWndProc(Message);
        RepaintChildControls(owner);
      } else {
        TacMainWnd::acWndProc(Message);
      }
      return;
    case CM_ENABLEDCHANGED:
      if (IsPanel()) break;
      SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
      TacMainWnd::acWndProc(Message);
      SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
      InvalidateRect(CtrlHandle, nullptr, TRUE);
      return;
    case CM_TEXTCHANGED:
      SkinData->BGChanged = true;
      break;
    case CM_SHOWINGCHANGED:
      if (owner->Visible()) {
        if (IsPanel() && manager && manager->Options.OptimizingPriority == opMemory) SkinData->FUpdating = false;
        AddToFormAdapter(owner);
        if (win) {
          BroadcastToAllChildren(win, NewSkinMessage(SKCMD_NEW_SKIN, manager));
          BroadcastToAllChildren(win, NewSkinMessage(SKCMD_REFRESH, manager));
        }
      }
      break;
  }
  TacMainWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// TacContainerWnd
// ---------------------------------------------------------------------------

bool ProcessRightToLeft() {
  DWORD layout = 0;
  return GetProcessDefaultLayout(&layout) && (layout & LAYOUT_RTL);
}

void TacContainerWnd::AfterCreation() {
  SetSectionUnlessSet(SkinData, L"TRANSPARENT");
  TacMainWnd::AfterCreation();
}

void TacContainerWnd::PrepareCache() { PrepareSectionCache(this, ClientRect, BorderWidth); }

void TacContainerWnd::PrintWindow(HDC DC) {
  if (!WindowShown(CtrlHandle) || !SkinData) return;
  SkinData->BGChanged = true;
  PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  const int b = BorderWidth;
  const TRect part{0, 0, WndSize.cx - 2 * b, WndSize.cy - 2 * b};
  if (part.Width() <= 0 || part.Height() <= 0) return;
  ApplyAlphaInRect(cache, part, 255, 0xFFFFFFFFu);
  HDC dc = DC ? DC : GetDC(CtrlHandle);
  if (!dc) return;
  BitBlt(dc, 0, 0, part.Width(), part.Height(), cache->Canvas().Handle(), b, b, SRCCOPY);
  if (!DC) ReleaseDC(CtrlHandle, dc);
}

void TacContainerWnd::PaintFrame() {
  if (!(GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) || !SkinData || SkinData->IsUpdating()) return;
  PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  RECT cr{};
  GetClientRect(CtrlHandle, &cr);
  const int b = (WndSize.cx - cr.right) / 2;
  HDC dc = GetWindowDC(CtrlHandle);
  if (!dc) return;
  const int saved = SaveDC(dc);
  if (b > 0) BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, b);
  RestoreDC(dc, saved);
  ReleaseDC(CtrlHandle, dc);
}

void TacContainerWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PRINT:
      PrintWindow(reinterpret_cast<HDC>(Message.WParam));
      return;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(CtrlHandle, &ps);
      if (dc && SkinData && !SkinData->IsUpdating()) PrintWindow(dc);
      EndPaint(CtrlHandle, &ps);
      Message.Result = 0;
      return;
    }
    case WM_NCPAINT:
      if (!WindowShown(CtrlHandle)) break;
      PaintFrame();
      Message.Result = 0;
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_SIZE:
      if (SkinData) SkinData->BGChanged = true;
      TacMainWnd::acWndProc(Message);
      if (SkinData) SkinData->BGChanged = true;
      return;
    case WM_WINDOWPOSCHANGED:
      if (SkinData) SkinData->BGChanged = true;
      TacMainWnd::acWndProc(Message);
      SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
      return;
    case WM_MOUSEMOVE:
      TacMainWnd::acWndProc(Message);
      MakeHot(CtrlHandle);
      return;
  }
  TacMainWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// TacSearchWnd
// ---------------------------------------------------------------------------

void TacSearchWnd::PaintFrame() {
  if (!SkinData || SkinData->IsUpdating()) return;
  PrepareCache();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  HDC dc = GetWindowDC(CtrlHandle);
  if (!dc) return;
  const int saved = SaveDC(dc);
  BlitBorderStrips(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas().Handle(), 0, 0, 3);
  RestoreDC(dc, saved);
  ReleaseDC(CtrlHandle, dc);
}

void TacSearchWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT:
      TacMainWnd::acWndProc(Message);
      PaintFrame();
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      PaintFrame();
      Message.Result = 0;
      return;
    case WM_SIZE:
      TacMainWnd::acWndProc(Message);
      if (SkinData) SkinData->BGChanged = true;
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      return;
    case WM_MOUSEMOVE:
      TacMainWnd::acWndProc(Message);
      MakeHot(CtrlHandle);
      return;
  }
  TacMainWnd::acWndProc(Message);
}

// ---------------------------------------------------------------------------
// Registration
// ---------------------------------------------------------------------------

void RegisterStaticHandlerKinds() {
  RegisterHandlerKind(L"TacStaticWnd", HandlerMakerOf<TacStaticWnd>());
  RegisterHandlerKind(L"TacEdgeWnd", HandlerMakerOf<TacEdgeWnd>());
  RegisterHandlerKind(L"TacIconWnd", HandlerMakerOf<TacIconWnd>());
  RegisterHandlerKind(L"TacLinkWnd", HandlerMakerOf<TacLinkWnd>());
  RegisterHandlerKind(L"TacSizerWnd", HandlerMakerOf<TacSizerWnd>());
  RegisterHandlerKind(L"TacTransPanelWnd", HandlerMakerOf<TacTransPanelWnd>());
  RegisterHandlerKind(L"TacPanelWnd", HandlerMakerOf<TacPanelWnd>());
  RegisterHandlerKind(L"TacStaticTextWnd", HandlerMakerOf<TacStaticTextWnd>());
  RegisterHandlerKind(L"TacContainerWnd", HandlerMakerOf<TacContainerWnd>());
  RegisterHandlerKind(L"TacSearchWnd", HandlerMakerOf<TacSearchWnd>());
}
