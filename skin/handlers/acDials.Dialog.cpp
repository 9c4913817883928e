// The dialog handler: a system dialog ("#32770") the hook took over is drawn from the skin
// section "DIALOG": caption, frame, caption buttons, icon and client background come out of
// one cache bitmap (PaintAll), the window region cuts the skin's corners, and the caption
// buttons, the icon's system menu and the show, hide, close and move effects are its own.
// Everything the handler changes on the window (WS_SYSMENU, DS_NOIDLEMSG, the class style,
// the region) goes back when the skin goes.
#include "skin/handlers/acDials.h"


#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "platform/ui/Forms.h"
#include "skin/controls/acGlow.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/forms/sSkinProvider.Anim.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acHideAnim.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acMessageBox.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sDPI.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.Entries.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sConst.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

// Set while the handler sets a window region: the region is not rebuilt by the WM_NCPAINT
// that setting it causes. Cleared at the end of every handled WM_NCPAINT.
bool gRegionSetting = false;
// Set by a press on a caption button: a button acts on release only after a press on it.
bool gCaptionPressed = false;

constexpr UINT kRedrawAll = 0x585;  // RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW

bool ValidSection(TacSkinData* sd, int i) { return sd && i >= 0 && i < static_cast<int>(sd->gd.size()); }
bool ValidMask(TacSkinData* sd, int i) { return sd && i >= 0 && i < static_cast<int>(sd->ma.size()); }
int GlyphIndex(TacSkinData* sd, int Glyph) {
  if (!sd || Glyph < 0 || Glyph >= static_cast<int>(sd->TitleGlyphs.size())) return -1;
  const int i = sd->TitleGlyphs[static_cast<std::size_t>(Glyph)];
  return ValidMask(sd, i) ? i : -1;
}

int StateOf(TacSkinData* sd, int Index, bool Active) {
  if (!ValidSection(sd, Index)) return 0;
  return std::max(0, std::min(Active ? 1 : 0, sd->gd[static_cast<std::size_t>(Index)].States - 1));
}

TRect Intersect(const TRect& a, const TRect& b) {
  return TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
}

void BlitClipped(HDC dc, int dx, int dy, TBitmap* src, int sx, int sy, int w, int h) {
  if (!dc || !src || src->Empty()) return;
  if (sx < 0) { dx -= sx; w += sx; sx = 0; }
  if (sy < 0) { dy -= sy; h += sy; sy = 0; }
  w = std::min(w, src->Width() - sx);
  h = std::min(h, src->Height() - sy);
  if (w <= 0 || h <= 0) return;
  BitBlt(dc, dx, dy, w, h, src->Canvas().Handle(), sx, sy, SRCCOPY);
}

// A block of Src into Dst, clipped to both.
void CopyBlock(TBitmap* dst, int dx, int dy, TBitmap* src, int sx, int sy, int w, int h) {
  if (!dst || !src || dst->Empty() || src->Empty()) return;
  if (sx < 0) { dx -= sx; w += sx; sx = 0; }
  if (sy < 0) { dy -= sy; h += sy; sy = 0; }
  if (dx < 0) { sx -= dx; w += dx; dx = 0; }
  if (dy < 0) { sy -= dy; h += dy; dy = 0; }
  w = std::min({w, src->Width() - sx, dst->Width() - dx});
  h = std::min({h, src->Height() - sy, dst->Height() - dy});
  if (w <= 0 || h <= 0) return;
  TPixels32 d, s;
  if (!GetPixels32(dst, d) || !GetPixels32(src, s)) return;
  for (int y = 0; y < h; ++y)
    std::memmove(d.Row(dy + y) + dx, s.Row(sy + y) + sx, static_cast<std::size_t>(w) * sizeof(std::uint32_t));
}

// An icon drawn on the key colour into a new W x H bitmap.
std::unique_ptr<TBitmap> IconOnKey(HICON Icon, int W, int H) {
  auto bmp = NewBitmap32(W, H);
  if (!bmp || bmp->Empty()) return nullptr;
  TPixels32 p;
  if (GetPixels32(bmp.get(), p))
    for (int y = 0; y < p.Height; ++y) std::fill(p.Row(y), p.Row(y) + p.Width, 0x00FF00FFu);
  DrawIconEx(bmp->Canvas().Handle(), 0, 0, Icon, W, H, 0, nullptr, DI_NORMAL);
  GdiFlush();
  return bmp;
}

// ---- the window classes that lost CS_SAVEBITS, and the style to give back ----
struct TClassRecord {
  int Users = 0;
  ULONG_PTR Style = 0;
};
std::map<ATOM, TClassRecord>& ClassRecords() {
  static std::map<ATOM, TClassRecord> records;
  return records;
}

// ---- the substituted fonts of owner-drawn items: one per face and base font ----
std::map<std::pair<std::wstring, std::wstring>, HFONT>& DrawItemFonts() {
  static std::map<std::pair<std::wstring, std::wstring>, HFONT> fonts;
  return fonts;
}

std::wstring FontKey(const LOGFONTW& lf) {
  std::wstring key(reinterpret_cast<const wchar_t*>(&lf), sizeof(LOGFONTW) / sizeof(wchar_t));
  return key;
}

int XOf(LPARAM P) { return static_cast<short>(LOWORD(P)); }
int YOf(LPARAM P) { return static_cast<short>(HIWORD(P)); }

std::wstring DialogText(HWND Wnd) {
  const int n = GetWindowTextLengthW(Wnd);
  if (n <= 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max(0, GetWindowTextW(Wnd, text.data(), n + 1))));
  return text;
}

// Parts of the window the point of a screen position lies in: its offset from the window's
// top-left corner.
TPoint ScreenToWindow(HWND Wnd, int X, int Y) {
  RECT r{};
  GetWindowRect(Wnd, &r);
  return TPoint{X - r.left, Y - r.top};
}

}  // namespace

// ---------------------------------------------------------------------------
// Face-substituted fonts of owner-drawn items
// ---------------------------------------------------------------------------

HFONT SelectDrawItemFont(HDC DC) {
  if (!DC) return nullptr;
  const std::wstring face = SubstitutedFontName();
  if (face.empty()) return nullptr;
  HFONT current = static_cast<HFONT>(GetCurrentObject(DC, OBJ_FONT));
  LOGFONTW lf{};
  if (!current || !GetObjectW(current, sizeof(lf), &lf)) return nullptr;
  const auto key = std::make_pair(face, FontKey(lf));
  auto& fonts = DrawItemFonts();
  HFONT font = nullptr;
  if (auto it = fonts.find(key); it != fonts.end()) {
    font = it->second;
  } else {
    LOGFONTW sub = lf;
    wcsncpy(sub.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    sub.lfFaceName[LF_FACESIZE - 1] = 0;
    font = CreateFontIndirectW(&sub);
    if (!font) return nullptr;
    fonts.emplace(key, font);
  }
  return static_cast<HFONT>(SelectObject(DC, font));
}

void ForgetDrawItemFonts() {
  auto& fonts = DrawItemFonts();
  for (auto& [key, font] : fonts) DeleteObject(font);
  fonts.clear();
}

int DialogClassUsers() {
  int n = 0;
  for (const auto& [atom, rec] : ClassRecords()) n += rec.Users;
  return n;
}

void RegisterDialogHandlerKind() {
  RegisterHandlerKind(L"TacDialogWnd", HandlerMakerOf<TacDialogWnd>());
}

// ---------------------------------------------------------------------------
// Creation and release
// ---------------------------------------------------------------------------

TacDialogWnd::~TacDialogWnd() {
  *FAlive = false;
  KillAnimations();
  if (MoveTimer) {
    TComponent::Free(MoveTimer);
    MoveTimer = nullptr;
  }
  if (SystemMenu) {
    TComponent::Free(SystemMenu);
    SystemMenu = nullptr;
  }
  if (TitleFont) DeleteObject(TitleFont);
  TitleFont = nullptr;
  if (FCtlBrush) DeleteObject(FCtlBrush);
  FCtlBrush = nullptr;
  if (CoverForm) TComponent::Free(CoverForm);
  CoverForm = nullptr;
  // Only a handler that made windows releases the engine's glows.
  if (FAttached) ReleaseAllGlows();
  delete BorderForm;
  BorderForm = nullptr;
  if (FClassTaken) {
    auto& records = ClassRecords();
    if (auto it = records.find(FClassAtom); it != records.end() && --it->second.Users <= 0) {
      if (CtrlHandle && IsWindow(CtrlHandle)) SetClassLongPtrW(CtrlHandle, GCL_STYLE, static_cast<LONG_PTR>(it->second.Style));
      records.erase(it);
    }
    FClassTaken = false;
  }
}

TacSkinData* TacDialogWnd::SkinDataOf() {
  if (!SkinData) return nullptr;
  TsSkinManager* m = SkinData->ReadSkinManager();
  if (!m || !m->IsActive()) return nullptr;
  return SkinData->ReadCommonSkinData();
}

bool TacDialogWnd::NonClient() {
  TsSkinManager* m = SkinData ? SkinData->ReadSkinManager() : nullptr;
  return m && m->IsActive() && m->Options.DrawNonClientArea.Get();
}

void TacDialogWnd::AfterCreation() {
  TacScrollWnd::AfterCreation();
  Initialized = false;
  RgnChanged = true;
  BorderStyle = acbsSingle;
  TempBmp = std::make_unique<TBitmap>();
  FFormActive = true;
  FWMPaintForbidden = acOSCode >= 6;
  FCaptionSkinIndex = -1;
  TitleIndex = -1;
  AnimClosing = false;
  SystemMenu = new TacSystemMenu(nullptr);
  SystemMenu->FOwner = this;
  SystemMenu->UpdateItems();
  if (SkinData) SkinData->FUpdating = true;
  if (CtrlHandle && IsWindow(CtrlHandle)) {
    // Every dialog of the class shares the class style: it goes back when the last one goes.
    FClassAtom = static_cast<ATOM>(GetClassWord(CtrlHandle, GCW_ATOM));
    auto& rec = ClassRecords()[FClassAtom];
    if (rec.Users++ == 0) rec.Style = GetClassLongPtrW(CtrlHandle, GCL_STYLE);
    FClassTaken = true;
    const ULONG_PTR style = GetClassLongPtrW(CtrlHandle, GCL_STYLE);
    if (style & CS_SAVEBITS) SetClassLongPtrW(CtrlHandle, GCL_STYLE, static_cast<LONG_PTR>(style & ~CS_SAVEBITS));
    UseDwmTransitions(CtrlHandle, NonClient());
  }
  TsSkinManager* m = SkinData ? SkinData->ReadSkinManager() : nullptr;
  if (m && m->SkinnedPopups() && m->SkinableMenus) m->SkinableMenus->HookPopupMenu(SystemMenu, true);
  UpdateIconsIndexes();
}

void TacDialogWnd::InitParams() {
  if (!NonClient() || !CtrlHandle) return;
  dwStyle = GetWindowLongW(CtrlHandle, GWL_STYLE);
  dwExStyle = GetWindowLongW(CtrlHandle, GWL_EXSTYLE);
  BorderStyle = acbsSizeable;
  if ((static_cast<DWORD>(dwStyle) & 0x80C00000u) == 0x80000000u)
    BorderStyle = acbsNone;
  else if (dwStyle & WS_THICKFRAME)
    BorderStyle = acbsSizeable;
  else if (dwStyle & DS_MODALFRAME)
    BorderStyle = acbsDialog;
  // A tool window's caption is the small one, with the small caption images.
  if ((dwExStyle & WS_EX_TOOLWINDOW) && BorderStyle != acbsNone)
    BorderStyle = (dwStyle & WS_THICKFRAME) ? acbsSizeToolWin : acbsToolWindow;
  PrepareTitleGlyph();
  UpdateIconsIndexes();
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof(ncm);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
    if (TitleFont) DeleteObject(TitleFont);
    TitleFont = CreateFontIndirectW(&ncm.lfCaptionFont);
  }
  TakeSystemMenuStyle(true);
  if (SystemMenu) SystemMenu->UpdateItems();
}

void TacDialogWnd::TakeSystemMenuStyle(bool On) {
  if (!CtrlHandle || !IsWindow(CtrlHandle)) return;
  const LONG style = GetWindowLongW(CtrlHandle, GWL_STYLE);
  if (On) {
    if ((dwStyle & WS_SYSMENU) && (style & WS_SYSMENU)) {
      SetWindowLongW(CtrlHandle, GWL_STYLE, style & ~WS_SYSMENU);
      FStyleTaken = true;
    }
  } else if (FStyleTaken) {
    SetWindowLongW(CtrlHandle, GWL_STYLE, style | WS_SYSMENU);
    FStyleTaken = false;
  }
}

void TacDialogWnd::RemoveOwnRegion() {
  if (!FRgnSet) return;
  FRgnSet = false;
  if (CtrlHandle && IsWindow(CtrlHandle)) SetWindowRgn(CtrlHandle, nullptr, FALSE);
}

void TacDialogWnd::RestoreStdParams() {
  SetExtBorders(false);
  KillAnimations();
  const bool wasTaken = FStyleTaken, hadRgn = FRgnSet;
  TakeSystemMenuStyle(false);
  RemoveOwnRegion();
  if (HadNoIdleMsg && CtrlHandle && IsWindow(CtrlHandle)) {
    SetWindowLongW(CtrlHandle, GWL_STYLE, GetWindowLongW(CtrlHandle, GWL_STYLE) | DS_NOIDLEMSG);
    HadNoIdleMsg = false;
  }
  if (FCtlBrush) DeleteObject(FCtlBrush);
  FCtlBrush = nullptr;
  TacScrollWnd::RestoreStdParams();
  // The system frame comes back with its own close button and corners.
  if ((wasTaken || hadRgn) && CtrlHandle && IsWindow(CtrlHandle) && !Destroyed) {
    SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0, 0x737);
    if (IsWindowVisible(CtrlHandle))
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
}

void TacDialogWnd::PrepareTitleGlyph() {
  if (!CtrlHandle) return;
  TitleIcon = reinterpret_cast<HICON>(SendMessageW(CtrlHandle, WM_GETICON, ICON_SMALL, 0));
  if (!TitleIcon) TitleIcon = reinterpret_cast<HICON>(SendMessageW(CtrlHandle, WM_GETICON, ICON_BIG, 0));
  TitleGlyph.reset();
  if (!TitleIcon) return;
  const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
  // The dialog's icon is its own: only the copy is ours and goes after drawing.
  HICON copy = static_cast<HICON>(CopyImage(TitleIcon, IMAGE_ICON, cx, cy, LR_COPYFROMRESOURCE));
  if (!copy) copy = static_cast<HICON>(CopyImage(TitleIcon, IMAGE_ICON, cx, cy, 0));
  if (!copy) return;
  TitleGlyph = IconOnKey(copy, cx, cy);
  DestroyIcon(copy);
}

void TacDialogWnd::UpdateIconsIndexes() {
  TacSkinData* sd = SkinDataOf();
  if (!sd || sd->GetSkinIndex(L"GLOBALINFO") < 0) return;
  ButtonMin.cpHitCode = HTMINBUTTON;
  ButtonMax.cpHitCode = HTMAXBUTTON;
  ButtonClose.cpHitCode = HTCLOSE;
  ButtonHelp.cpHitCode = HTHELP;
  const bool big = BorderStyle == acbsDialog || BorderStyle == acbsSingle || BorderStyle == acbsSizeable;
  if (big) {
    ButtonClose.cpGlyphType = VisibleMax() || VisibleMin() ? tgClose : tgCloseAlone;
    ButtonMin.cpGlyphType = tgMin;
    ButtonMax.cpGlyphType = tgMax;
    ButtonHelp.cpGlyphType = tgHelp;
    for (TsCaptionButton* b : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp}) b->cpHaveAlignment = true;
  } else {
    auto same = [&](TacTitleGlyph a, TacTitleGlyph b) {
      return sd->TitleGlyphs[static_cast<std::size_t>(a)] == sd->TitleGlyphs[static_cast<std::size_t>(b)];
    };
    ButtonClose.cpGlyphType = tgSmallClose;
    ButtonMin.cpGlyphType = tgSmallMin;
    ButtonMax.cpGlyphType = tgSmallMax;
    ButtonHelp.cpGlyphType = tgSmallHelp;
    ButtonClose.cpHaveAlignment = same(tgClose, tgSmallClose);
    ButtonMin.cpHaveAlignment = same(tgMin, tgSmallMin);
    ButtonMax.cpHaveAlignment = same(tgMax, tgSmallMax);
    ButtonHelp.cpHaveAlignment = same(tgHelp, tgSmallHelp);
  }
  TitleIndex = sd->GetSkinIndex(L"DIALOGTITLE");
}

void TacDialogWnd::SetExtBorders(bool On) {
  TsSkinManager* m = SkinData ? SkinData->ReadSkinManager() : nullptr;
  if (On && NonClient() && m && !m->Designing()) {
    if (!BorderForm) {
      BorderForm = new TacBorderForm(this);
      BorderForm->SkinData = SkinData;
      SkinData->BGChanged = true;
      if (CtrlHandle && IsWindowVisible(CtrlHandle)) BorderForm->UpdateExBordersPos(true, 255);
    }
    return;
  }
  if (BorderForm) {
    TacBorderForm* b = BorderForm;
    BorderForm = nullptr;
    delete b;
    if (SkinData) SkinData->BGChanged = true;
  }
}

void TacDialogWnd::FreeButtonFades() {
  for (TsCaptionButton* b : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp})
    if (b->cpTimer) TComponent::Free(b->cpTimer);
}

void TacDialogWnd::KillAnimations() { FreeButtonFades(); }

void TacDialogWnd::ForgetSkinObjects() {
  if (FCtlBrush) DeleteObject(FCtlBrush);
  FCtlBrush = nullptr;
  FCtlBrushColor = clNone;
  TitleBG.reset();
  FGlow.reset();
  ForgetDrawItemFonts();
}

// ---------------------------------------------------------------------------
// Visibility and enablement of the caption buttons
// ---------------------------------------------------------------------------

bool TacDialogWnd::VisibleClose() { return (dwStyle & WS_SYSMENU) != 0; }
bool TacDialogWnd::VisibleMax() { return (dwStyle & WS_MAXIMIZEBOX) != 0; }
bool TacDialogWnd::VisibleMin() { return (dwStyle & WS_MINIMIZEBOX) != 0; }
bool TacDialogWnd::VisibleHelp() { return (dwExStyle & WS_EX_CONTEXTHELP) != 0; }
bool TacDialogWnd::VisibleRestore() {
  return VisibleClose() && (BorderStyle == acbsSingle || BorderStyle == acbsSizeable);
}
bool TacDialogWnd::EnabledClose() {
  return VisibleClose() && !(CtrlHandle && (GetClassLongPtrW(CtrlHandle, GCL_STYLE) & CS_NOCLOSE));
}
bool TacDialogWnd::EnabledMax() {
  return VisibleMax() && !(CtrlHandle && IsZoomed(CtrlHandle)) &&
         (BorderStyle == acbsSingle || BorderStyle == acbsSizeable || BorderStyle == acbsSizeToolWin);
}
bool TacDialogWnd::EnabledMin() { return VisibleMin() && !(CtrlHandle && IsIconic(CtrlHandle)); }
bool TacDialogWnd::EnabledRestore() {
  return VisibleMax() && CtrlHandle && (IsIconic(CtrlHandle) || IsZoomed(CtrlHandle));
}

// ---------------------------------------------------------------------------
// Metrics
// ---------------------------------------------------------------------------

int TacDialogWnd::FrameWidth() { return SysBorderWidth(CtrlHandle, BorderForm, true); }
int TacDialogWnd::FrameHeight() { return SysBorderHeight(CtrlHandle, BorderForm, true); }
int TacDialogWnd::SysFrameWidth() { return SysBorderWidth(CtrlHandle, BorderForm, false); }

int TacDialogWnd::CaptionHeight(bool CheckSkin) {
  if (!CtrlHandle) return 0;
  const LONG style = GetWindowLongW(CtrlHandle, GWL_STYLE);
  if (!(style & WS_CAPTION) && !IsIconic(CtrlHandle)) return 0;
  if (CheckSkin && BorderForm)
    if (const int h = BorderFormTitleHeight(BorderForm); h != 0) return h;
  const bool tool = BorderStyle == acbsToolWindow || BorderStyle == acbsSizeToolWin;
  return SystemMetricForDpi(tool ? SM_CYSMCAPTION : SM_CYCAPTION, WindowPPI(CtrlHandle));
}

int TacDialogWnd::OffsetX() {
  if (!CtrlHandle) return 0;
  int x = (WndWidth(CtrlHandle) - WndClientWidth(CtrlHandle)) / 2;
  if (BorderForm) {
    TRect shadow;
    ShadowSize(shadow);
    x += shadow.Left + BorderFormBorderDiff(BorderForm);
  }
  return x;
}

int TacDialogWnd::OffsetY() {
  if (!CtrlHandle) return 0;
  const int diff = WndHeight(CtrlHandle) - WndClientHeight(CtrlHandle);
  int y = CaptionHeight(false) != 0 ? diff - SysFrameWidth() : diff / 2;
  if (BorderForm) {
    TRect shadow;
    ShadowSize(shadow);
    y += shadow.Top + BorderFormTitleDiff(BorderForm);
  }
  return y;
}

void TacDialogWnd::ShadowSize(TRect& R) {
  TacSkinData* sd = BorderForm ? SkinDataOf() : nullptr;
  R = sd ? sd->FormShadowSize : TRect{};
}

TRect TacDialogWnd::IconRect() {
  TacSkinData* sd = SkinDataOf();
  TRect shadow;
  ShadowSize(shadow);
  const int w = GetSystemMetrics(SM_CXSMICON), h = GetSystemMetrics(SM_CYSMICON);
  TRect r;
  r.Left = FrameWidth() + (sd ? sd->BILeftMargin : 0) + shadow.Left;
  r.Top = shadow.Top + (FrameHeight() + CaptionHeight(true) - h) / 2;
  if (BorderForm && sd && sd->ExDrawMode == 1) r.Top += sd->ExCenterOffs;
  r.Right = r.Left + w;
  r.Bottom = r.Top + h;
  return r;
}

int TacDialogWnd::HeaderHeight() { return CaptionHeight(true) + SysBorderHeight(CtrlHandle, BorderForm, false); }
int TacDialogWnd::BorderHeight() { return SysBorderHeight(CtrlHandle, BorderForm, true); }

int TacDialogWnd::FramePadding() {
  if (BorderStyle != acbsSizeable && BorderStyle != acbsSizeToolWin) return 0;
  return SystemMetricForDpi(SM_CXPADDEDBORDER, CtrlHandle ? WindowPPI(CtrlHandle) : 96);
}

int TacDialogWnd::SysButtonWidth(const TsCaptionButton& Button) {
  TacSkinData* sd = SkinDataOf();
  const int i = GlyphIndex(sd, Button.cpGlyphType);
  return i >= 0 ? sd->ma[static_cast<std::size_t>(i)].Width : 21;
}

int TacDialogWnd::ButtonHeight(const TsCaptionButton& Button) {
  TacSkinData* sd = SkinDataOf();
  const int i = GlyphIndex(sd, Button.cpGlyphType);
  return i >= 0 ? sd->ma[static_cast<std::size_t>(i)].Height : 21;
}

int TacDialogWnd::TitleBtnsWidth() {
  if (!VisibleClose()) return 0;
  int w = SysButtonWidth(ButtonClose);
  if (VisibleMax()) w += SysButtonWidth(ButtonMax);
  if (VisibleMin()) w += SysButtonWidth(ButtonMin);
  if (VisibleHelp()) w += SysButtonWidth(ButtonHelp);
  return w;
}

TPoint TacDialogWnd::CursorToPoint(int X, int Y) { return ScreenToWindow(CtrlHandle, X, Y); }

bool TacDialogWnd::AboveBorder(const TPoint& P) {
  if (!CtrlHandle) return false;
  const int w = WndWidth(CtrlHandle), h = WndHeight(CtrlHandle);
  const bool above = P.X <= 2 || P.Y <= 2 || P.X >= w - 3 || P.Y >= h - 3;
  if (above) SetHotHT(0);
  return above;
}

void TacDialogWnd::ReadGeometry() {
  if (CtrlHandle) ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
}

// ---------------------------------------------------------------------------
// Painting the non-client image
// ---------------------------------------------------------------------------

void TacDialogWnd::PaintAll() {
  if (FormState & FS_BLENDMOVING) return;
  TacSkinData* sd = SkinDataOf();
  if (!sd || !SkinData || !CtrlHandle || !IsWindow(CtrlHandle)) return;
  // 1. Geometry and the cache.
  ReadGeometry();
  TRect shadow;
  ShadowSize(shadow);
  const bool iconic = IsIconic(CtrlHandle) != FALSE;
  int width = WndWidth(CtrlHandle), height = WndHeight(CtrlHandle);
  if (BorderForm) {
    width += shadow.Left + shadow.Right + (iconic ? 0 : 2 * BorderFormBorderDiff(BorderForm));
    height += shadow.Top + shadow.Bottom + BorderFormTitleDiff(BorderForm) + BorderFormBorderDiff(BorderForm);
  }
  auto& cache = SkinData->FCacheBmp;
  if (!cache) cache = std::make_unique<TBitmap>();
  if (cache->PixelFormat() != pf32bit) cache->SetPixelFormat(pf32bit);
  if (cache->Width() != width || cache->Height() != height) {
    cache->SetSize(std::max(0, width), std::max(0, height));
    SkinData->BGChanged = true;
  }
  if (cache->Empty()) return;
  const bool exDraw = BorderForm && sd->ExDrawMode == 1;
  const int index = SkinData->SkinIndex;
  const TRect formRect{shadow.Left, shadow.Top, width - shadow.Right, height - shadow.Bottom};
  const int state = StateOf(sd, index, FFormActive);
  // 2.
  if (!SkinData->BGChanged) return;
  RgnChanged = true;
  const bool valid = ValidSection(sd, index);
  if (valid) {
    if (exDraw)
      PaintSectionBackground(index, TCacheInfo{}, state, formRect, Point(0, 0), cache.get(), sd, -1, -1, 0xFF00FF);
    else
      PaintControlSkin(SkinData, TCacheInfo{}, state, formRect, Point(0, 0), cache.get(), true);
  }
  // 3.
  if (!exDraw && NonClient()) PaintTitle(cache.get(), shadow);
  // 4. The shadow and extended border around a border form.
  if (BorderForm) {
    TBitmap* tpl = FFormActive ? sd->ShdaTemplate.get() : sd->ShdiTemplate.get();
    const TRect all{0, 0, width, height};
    if (ValidMask(sd, sd->ExBorder)) {
      const TsMaskData& md = sd->ma[static_cast<std::size_t>(sd->ExBorder)];
      if (tpl && !tpl->Empty())
        BlitNineSlice(cache.get(), tpl, all, TRect{0, 0, tpl->Width(), tpl->Height()}, TRect{md.WL, md.WT, md.WR, md.WB},
                      TRect{md.WL, md.WT, md.WR, md.WB}, TRect{1, 1, 1, 1}, true, false);
      PaintMaskNineSlice(cache.get(), all, MakeCacheInfo(cache.get(), 0, 0), md, state, false);
    } else if (tpl && !tpl->Empty()) {
      const int mx = tpl->Height() / 2;
      BlitNineSlice(cache.get(), tpl, all, TRect{0, 0, tpl->Width(), tpl->Height()}, TRect{mx, mx, mx, mx},
                    TRect{mx, mx, mx, mx}, TRect{1, 1, 1, 1}, true, false);
    }
    if (exDraw && NonClient()) PaintTitle(cache.get(), shadow);
    if (tpl && !tpl->Empty() && valid) {
      int titleMask = ValidSection(sd, TitleIndex) ? sd->gd[static_cast<std::size_t>(TitleIndex)].BorderIndex : -1;
      const int formMask = sd->gd[static_cast<std::size_t>(index)].BorderIndex;
      if (!ValidMask(sd, titleMask)) titleMask = formMask;
      if (ValidMask(sd, titleMask)) {
        const TsMaskData& tm = sd->ma[static_cast<std::size_t>(titleMask)];
        const int cw = std::min<int>(tm.WL, 8), ch = std::min<int>(tm.WT, 8), cr = std::min<int>(tm.WR, 8);
        CopyThroughMaskKey(cache.get(), tpl, TRect{formRect.Left, formRect.Top, formRect.Left + cw, formRect.Top + ch},
                           Point(shadow.Left, shadow.Top), titleMask, sd, 13);
        CopyThroughMaskKey(cache.get(), tpl, TRect{formRect.Right - cr, formRect.Top, formRect.Right, formRect.Top + ch},
                           Point(tpl->Width() - shadow.Right - cr, shadow.Top), titleMask, sd, 14);
      }
      if (ValidMask(sd, formMask)) {
        const TsMaskData& fm = sd->ma[static_cast<std::size_t>(formMask)];
        const int cw = std::min<int>(fm.WL, 8), cb = std::min<int>(fm.WB, 8), cr = std::min<int>(fm.WR, 8);
        CopyThroughMaskKey(cache.get(), tpl, TRect{formRect.Left, formRect.Bottom - cb, formRect.Left + cw, formRect.Bottom},
                           Point(shadow.Left, tpl->Height() - shadow.Bottom - cb), formMask, sd, 16);
        CopyThroughMaskKey(cache.get(), tpl,
                           TRect{formRect.Right - cr, formRect.Bottom - cb, formRect.Right, formRect.Bottom},
                           Point(tpl->Width() - shadow.Right - cr, tpl->Height() - shadow.Bottom - cb), formMask, sd, 17);
      }
    }
  }
  // 5. The caption rows without buttons, for the buttons' direct repaint.
  const int formMask = valid ? sd->gd[static_cast<std::size_t>(index)].BorderIndex : -1;
  if (!ValidMask(sd, formMask) || MaskHasOneImage(formMask, sd))
    if (!TitleBG || TitleBG->Width() != cache->Width()) MakeTitleBG();
  // 6.
  if (CaptionHeight(true) != 0 && NonClient()) PaintBorderIcons();
  SkinData->BGChanged = false;
}

void TacDialogWnd::MakeTitleBG() {
  TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
  if (!cache || cache->Empty()) return;
  TRect shadow;
  ShadowSize(shadow);
  const int rows = std::min(cache->Height(), shadow.Top + FrameHeight() + CaptionHeight(true));
  if (rows <= 0) return;
  TitleBG = NewBitmap32(cache->Width(), rows);
  CopyBlock(TitleBG.get(), 0, 0, cache, 0, 0, cache->Width(), rows);
}

void TacDialogWnd::PaintTitle(TBitmap* Cache, const TRect& Shadow) {
  if (!Cache || Cache->Empty() || CaptionHeight(true) == 0 || !NonClient()) return;
  TacSkinData* sd = SkinDataOf();
  TsSkinManager* manager = SkinData->ReadSkinManager();
  if (!sd || !manager) return;
  const bool exDraw = BorderForm && sd->ExDrawMode == 1;
  const int width = Cache->Width();
  const int titleBottom = Shadow.Top + FrameHeight() + CaptionHeight(true);
  // The band.
  if (!exDraw && ValidSection(sd, TitleIndex)) {
    const TRect band = Intersect(TRect{Shadow.Left, Shadow.Top, width - Shadow.Right, titleBottom},
                                 TRect{0, 0, width, Cache->Height()});
    if (!band.IsEmpty())
      PaintSkinSection(TitleIndex, MakeCacheInfo(Cache, 0, 0), StateOf(sd, TitleIndex, FFormActive), band,
                       Point(band.Left, band.Top), Cache, sd);
  }
  // The icon: the dialog's own, else the standard application icon.
  // Drawn straight over the band (an icon's soft edges blended over a key colour would keep a
  // fringe of it); what the icon changed becomes opaque, GDI leaves its alpha at 0.
  const TRect icon = IconRect();
  const TRect iconPart = Intersect(icon, TRect{0, 0, Cache->Width(), Cache->Height()});
  if (!iconPart.IsEmpty()) {
    auto before = NewBitmap32(iconPart.Width(), iconPart.Height());
    CopyBlock(before.get(), 0, 0, Cache, iconPart.Left, iconPart.Top, iconPart.Width(), iconPart.Height());
    HICON shown = TitleGlyph && !TitleGlyph->Empty() && TitleIcon ? TitleIcon : LoadIconW(nullptr, IDI_APPLICATION);
    DrawIconEx(Cache->Canvas().Handle(), icon.Left, icon.Top, shown, icon.Width(), icon.Height(), 0, nullptr, DI_NORMAL);
    GdiFlush();
    TPixels32 c, b;
    if (GetPixels32(Cache, c) && GetPixels32(before.get(), b))
      for (int y = 0; y < iconPart.Height(); ++y) {
        std::uint32_t* row = c.Row(iconPart.Top + y) + iconPart.Left;
        const std::uint32_t* old = b.Row(y);
        for (int x = 0; x < iconPart.Width(); ++x)
          if (row[x] != old[x]) row[x] |= 0xFF000000u;
      }
  }
  // The font: the caption font of the skin's density, -11 for the control, the manager's face.
  TCanvas& canvas = Cache->Canvas();
  LOGFONTW lf{};
  if (HFONT base = CreateCaptionFont(static_cast<unsigned>(sd->PPI))) {
    GetObjectW(base, sizeof(lf), &lf);
    DeleteObject(base);
  }
  std::wstring face = lf.lfFaceName;
  if (manager->Fonts.MainMode.Get() == fmFromSkin && !manager->DefNewFontName.empty())
    face = manager->DefNewFontName;
  else if (manager->Fonts.MainMode.Get() == fmCustom && !manager->Fonts.MainFont.Get().empty())
    face = manager->Fonts.MainFont.Get();
  if (!face.empty()) canvas.Font.Name = face;
  canvas.Font.Height = ScaleForControl(-11, SkinData);
  canvas.Font.Style = lf.lfWeight >= FW_BOLD ? static_cast<unsigned>(fsBold) : 0u;
  canvas.Font.Charset = static_cast<std::uint8_t>(DEFAULT_CHARSET);
  // The text's room.
  TRect r;
  r.Left = Shadow.Left + FrameWidth() + icon.Width() + sd->BILeftMargin + 4;
  r.Right = width - TitleBtnsWidth() - Shadow.Right - 6;
  r.Top = Shadow.Top + 2;
  r.Bottom = titleBottom;
  const std::wstring text = CtrlHandle ? DialogText(CtrlHandle) : Caption;
  if (r.IsEmpty() || text.empty()) return;
  UINT flags = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
  if (dwExStyle & (WS_EX_RTLREADING | WS_EX_LAYOUTRTL)) flags |= DT_RIGHT | DT_RTLREADING;
  TRect calc = r;
  DrawTextLimited(canvas.FontHandle(), text, calc, flags | DT_CALCRECT);
  const int th = calc.Height();
  r.Top = r.Top + (r.Height() - th) / 2;
  r.Bottom = r.Top + th;
  if (exDraw) {
    r.Top += sd->ExCenterOffs;
    r.Bottom += sd->ExCenterOffs;
  }
  const bool active = FFormActive;
  int textIndex = ValidSection(sd, TitleIndex) ? TitleIndex : SkinData->SkinIndex;
  if (ValidSection(sd, FCaptionSkinIndex)) {
    TRect m{r.Left, r.Top, std::min(r.Right, r.Left + calc.Width()), r.Bottom};
    if (flags & DT_RIGHT) m = TRect{std::max(r.Left, r.Right - calc.Width()), r.Top, r.Right, r.Bottom};
    const TRect plate = Intersect(TRect{m.Left - 4, m.Top - 2, m.Right + 4, m.Bottom + 2},
                                  TRect{0, 0, Cache->Width(), Cache->Height()});
    if (!plate.IsEmpty()) {
      auto back = NewBitmap32(Cache->Width(), Cache->Height());
      CopyBlock(back.get(), 0, 0, Cache, 0, 0, Cache->Width(), Cache->Height());
      PaintSkinSection(FCaptionSkinIndex, MakeCacheInfo(back.get(), 0, 0), StateOf(sd, FCaptionSkinIndex, active), plate,
                       Point(plate.Left, plate.Top), Cache, sd);
    }
    textIndex = FCaptionSkinIndex;
  }
  if (!SkipTextGlow() && ValidSection(sd, textIndex)) {
    const TsGeneralData& gd = sd->gd[static_cast<std::size_t>(textIndex)];
    const int size = active ? gd.HotGlowSize : gd.GlowSize;
    const TColor color = active ? gd.HotGlowColor : gd.GlowColor;
    if (size > 0) DrawTextGlow(Cache, text, r, flags, 15, size, color, FGlow);
  }
  const int textState = StateOf(sd, textIndex, active);
  if (BorderForm)
    DrawSkinTextToBitmap32(Cache, text.c_str(), true, r, flags, textIndex, textState, manager);
  else
    WriteSkinText(&canvas, text.c_str(), true, r, flags, textIndex, textState, manager);
}

void TacDialogWnd::PaintBorderIcons() {
  if (!(dwStyle & WS_SYSMENU)) return;
  TacSkinData* sd = SkinDataOf();
  TBitmap* cache = SkinData ? SkinData->FCacheBmp.get() : nullptr;
  TsSkinManager* manager = SkinData ? SkinData->ReadSkinManager() : nullptr;
  if (!sd || !cache || cache->Empty() || !manager) return;
  TRect shadow;
  ShadowSize(shadow);
  const bool big = BorderStyle == acbsDialog || BorderStyle == acbsSingle || BorderStyle == acbsSizeable ||
                   ButtonClose.cpGlyphType == tgClose;
  const bool zoomed = IsZoomed(CtrlHandle) != FALSE, iconic = IsIconic(CtrlHandle) != FALSE;
  const bool exDraw = BorderForm && sd->ExDrawMode == 1;
  int right = cache->Width() - sd->BIRightMargin - shadow.Right - std::max(4, FrameWidth());
  if (!big) right += std::min(0, BorderFormBorderDiff(BorderForm) - 2);
  const int band = FrameHeight() + CaptionHeight(true);
  auto place = [&](TsCaptionButton& b, int glyph, bool enabled) {
    const int i = GlyphIndex(sd, glyph);
    if (i < 0) {
      b.cpRect = TRect{right, 0, right, 0};
      return;
    }
    const TsMaskData& md = sd->ma[static_cast<std::size_t>(i)];
    const int w = md.Width, h = md.Height;
    int top;
    if (b.cpHaveAlignment && manager->SkinCommonInfo.BIVAlign == 1)
      top = shadow.Top + (BorderForm ? sd->BITopMargin + (zoomed ? 3 : 0) : 0);
    else
      top = shadow.Top + (band - h) / 2 + (zoomed && BorderForm ? SysFrameWidth() / 2 : 0) + (exDraw ? sd->ExCenterOffs : 0);
    b.cpRect = TRect{right - w, top, right, top + h};
    right -= w + (big ? sd->BISpacing : 0);
    const int state = b.cpTimer ? 0 : std::max(0, b.cpState);
    DrawMaskStateImage(cache, Point(b.cpRect.Left, top), state, FFormActive && enabled ? 1 : 2, md,
                       MakeCacheInfo(cache, 0, 0));
  };
  if (VisibleClose()) place(ButtonClose, ButtonClose.cpGlyphType, EnabledClose());
  else ButtonClose.cpRect = TRect{};
  if (VisibleMax())
    place(ButtonMax, zoomed ? (big ? tgNorm : tgSmallNorm) : ButtonMax.cpGlyphType, EnabledMax() || EnabledRestore());
  else ButtonMax.cpRect = TRect{};
  if (VisibleMin()) place(ButtonMin, iconic ? (big ? tgNorm : tgSmallNorm) : ButtonMin.cpGlyphType, EnabledMin() || iconic);
  else ButtonMin.cpRect = TRect{};
  if (VisibleHelp()) place(ButtonHelp, ButtonHelp.cpGlyphType, true);
  else ButtonHelp.cpRect = TRect{};
}

void TacDialogWnd::UpdateCornerRects() {
  TacSkinData* sd = SkinDataOf();
  if (!sd || !SkinData || !ValidSection(sd, SkinData->SkinIndex) || !CtrlHandle) return;
  ArOR.clear();
  std::vector<RECT> runs;
  const int w = WndWidth(CtrlHandle), h = WndHeight(CtrlHandle);
  const int formMask = sd->gd[static_cast<std::size_t>(SkinData->SkinIndex)].BorderIndex;
  if (ValidMask(sd, formMask)) {
    const TsMaskData& md = sd->ma[static_cast<std::size_t>(formMask)];
    CollectMaskCornerHoles(runs, w, md, 0, false, 0);
    CollectMaskCornerHoles(runs, w, md, h - md.WB, true, 0);
  }
  if (ValidSection(sd, TitleIndex)) {
    const int titleMask = sd->gd[static_cast<std::size_t>(TitleIndex)].BorderIndex;
    if (ValidMask(sd, titleMask)) CollectMaskCornerHoles(runs, w, sd->ma[static_cast<std::size_t>(titleMask)], 0, false, 0);
  }
  for (const RECT& r : runs) ArOR.push_back(TRect{r.left, r.top, r.right, r.bottom});
}

void TacDialogWnd::ApplyWindowRgn(bool Redraw) {
  if (!CtrlHandle || !IsWindow(CtrlHandle)) return;
  if (!IsIconic(CtrlHandle) && BorderStyle == acbsNone) return;
  if (!NonClient()) return;
  if (SendMessageW(CtrlHandle, 0xBC4D, 16802, 0) == 16802) return;
  gRegionSetting = true;
  const int ww = WndWidth(CtrlHandle), wh = WndHeight(CtrlHandle);
  HRGN rgn;
  if (BorderForm) {
    const int w = SysFrameWidth(), c = CaptionHeight(false);
    rgn = CreateRectRgn(w, c + w, ww - w, wh - w);
  } else {
    rgn = CreateRectRgn(0, 0, ww, wh);
    for (const TRect& r : ArOR) {
      HRGN hole = CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
      CombineRgn(rgn, rgn, hole, RGN_DIFF);
      DeleteObject(hole);
    }
  }
  if (SetWindowRgn(CtrlHandle, rgn, Redraw ? TRUE : FALSE))
    FRgnSet = true;
  else
    DeleteObject(rgn);
}

// ---------------------------------------------------------------------------
// Painting to the screen
// ---------------------------------------------------------------------------

void TacDialogWnd::PaintCaption(HDC DC) {
  if (BorderForm || !DC || !SkinData) return;
  if (SkinData->BGChanged) PaintAll();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  const int bw = FrameWidth();
  const int header = HeaderHeight();
  const int w = cache->Width(), h = cache->Height();
  BlitClipped(DC, 0, 0, cache, 0, 0, w, header);
  BlitClipped(DC, 0, header, cache, 0, header, bw, h - header);
  BlitClipped(DC, 0, h - bw, cache, 0, h - bw, w, bw);
  BlitClipped(DC, w - bw, header, cache, w - bw, header, bw, h - header);
}

void TacDialogWnd::PaintForm(HDC DC) {
  if (!SkinData) return;
  if (SkinData->BGChanged) PaintAll();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty() || !CtrlHandle) return;
  TRect shadow;
  ShadowSize(shadow);
  RECT client{};
  GetClientRect(CtrlHandle, &client);
  BlitClipped(DC, 0, 0, cache, FrameWidth() + shadow.Left, shadow.Top + HeaderHeight(), client.right, client.bottom);
}

void TacDialogWnd::Ac_WMPaint(HDC DC) {
  bool own = false;
  if (!DC) {
    DC = GetDC(CtrlHandle);
    own = true;
  }
  if (!DC) return;
  const int saved = SaveDC(DC);
  if (SkinData) SkinData->FUpdating = false;
  const bool rtl = (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
  if (!rtl) {
    for (HWND child = GetTopWindow(CtrlHandle); child; child = GetWindow(child, GW_HWNDNEXT)) {
      const LONG style = GetWindowLongW(child, GWL_STYLE);
      if (!(style & WS_VISIBLE)) continue;
      std::wstring cls = WindowClassName(child);
      for (wchar_t& c : cls) c = static_cast<wchar_t>(towlower(c));
      if ((cls == L"static" && (style & WS_TABSTOP)) || (style & 7) == 7) continue;
      RECT r{};
      GetWindowRect(child, &r);
      MapWindowPoints(nullptr, CtrlHandle, reinterpret_cast<POINT*>(&r), 2);
      ExcludeClipRect(DC, r.left, r.top, r.right, r.bottom);
    }
  } else {
    SetLayout(DC, 0);
  }
  PaintForm(DC);
  RestoreDC(DC, saved);
  if (own) ReleaseDC(CtrlHandle, DC);
  RepaintChildWindows(CtrlHandle);
}

void TacDialogWnd::AttachChildren() {
  Initialized = true;
  if (Provider && CtrlHandle) Provider->InitHwndControls(CtrlHandle);
}

// ---------------------------------------------------------------------------
// Caption buttons
// ---------------------------------------------------------------------------

TsCaptionButton* TacDialogWnd::ButtonByCode(int Code) {
  switch (Code) {
    case HTMINBUTTON: return &ButtonMin;
    case HTMAXBUTTON: return &ButtonMax;
    case HTCLOSE: return &ButtonClose;
    case HTHELP: return &ButtonHelp;
    default: return nullptr;
  }
}

int TacDialogWnd::HTProcess(TMessage& Message) {
  if (!CtrlHandle) return 0;
  const TPoint p = CursorToPoint(XOf(Message.LParam), YOf(Message.LParam));
  if (IsZoomed(CtrlHandle) && AboveBorder(p)) return HTTRANSPARENT;
  // Into the image's coordinates: the caption buttons are placed there.
  TRect shadow;
  ShadowSize(shadow);
  const int dx = BorderForm ? shadow.Left + BorderFormBorderDiff(BorderForm) : 0;
  const int dy = BorderForm ? shadow.Top + BorderFormTitleDiff(BorderForm) : 0;
  const TPoint c{p.X + dx, p.Y + dy};
  const int bh = ButtonHeight(ButtonClose);
  const int top = shadow.Top + (FrameHeight() + CaptionHeight(true) - bh) / 2;
  if (CaptionHeight(true) == 0 || c.Y < top || c.Y >= top + bh) return 0;
  const int iconLeft = shadow.Left + FrameWidth();
  if (c.X >= iconLeft && c.X < iconLeft + GetSystemMetrics(SM_CXSMICON)) {
    SetHotHT(HTSYSMENU);
    return HTSYSMENU;
  }
  auto over = [&](const TsCaptionButton& b) { return b.cpRect.Right > b.cpRect.Left && c.X >= b.cpRect.Left && c.X < b.cpRect.Right; };
  int code = -2;
  if (VisibleClose() && over(ButtonClose))
    code = EnabledClose() ? HTCLOSE : 0;
  else if (VisibleMax() && over(ButtonMax))
    code = EnabledMax() || EnabledRestore() ? HTMAXBUTTON : HTCAPTION;
  else if (VisibleMin() && over(ButtonMin))
    code = EnabledMin() || IsIconic(CtrlHandle) ? HTMINBUTTON : HTCAPTION;
  else if (VisibleHelp() && over(ButtonHelp))
    code = HTHELP;
  if (code == -2) return HTCAPTION;
  SetHotHT(code);
  return code;
}

void TacDialogWnd::SetHotHT(int Code, bool Repaint) {
  if (Code == CurrentHT || !NonClient()) return;
  auto alive = FAlive;
  const int old = CurrentHT;
  if (TsCaptionButton* b = ButtonByCode(old)) {
    b->cpState = 0;
    if (Repaint) RepaintButton(old);
    if (!*alive) return;
  }
  CurrentHT = Code;
  gCaptionPressed = false;
  if (TsCaptionButton* b = ButtonByCode(Code)) {
    b->cpState = 1;
    if (Repaint) RepaintButton(Code);
  }
}

void TacDialogWnd::SetPressedHT(int Code) {
  if (Code != CurrentHT)
    if (TsCaptionButton* b = ButtonByCode(CurrentHT)) {
      b->cpState = 0;
      RepaintButton(CurrentHT);
    }
  CurrentHT = Code;
  TsCaptionButton* b = ButtonByCode(Code);
  if (!b) return;
  if (Code == HTMAXBUTTON) {
    if (EnabledMax() || (IsZoomed(CtrlHandle) && EnabledRestore())) b->cpState = 2;
  } else {
    b->cpState = 2;
  }
  gCaptionPressed = true;
  RepaintButton(Code);
}

void TacDialogWnd::RepaintButton(int Code) {
  TsCaptionButton* button = ButtonByCode(Code);
  TsSkinManager* manager = SkinData ? SkinData->ReadSkinManager() : nullptr;
  if (!button || !manager || !CtrlHandle) return;
  if (manager->Effects.AllowGlowing) {
    StartCaptionButtonAnimation(*button, button->cpState == 2 ? 1 : 10, this, nullptr, button->cpState != 0);
    return;
  }
  TacSkinData* sd = SkinDataOf();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!sd || !cache || cache->Empty()) return;
  TRect shadow;
  ShadowSize(shadow);
  const TRect r = button->cpRect;
  if (r.Right <= r.Left || r.Left <= shadow.Left + FrameWidth() + GetSystemMetrics(SM_CXSMICON) || button->cpState == -1)
    return;
  if (TitleBG && !TitleBG->Empty())
    CopyBlock(cache, r.Left, r.Top, TitleBG.get(), TitleBG->Width() - (cache->Width() - r.Left), r.Top, r.Width(), r.Height());
  const bool big = ButtonClose.cpGlyphType == tgClose || ButtonClose.cpGlyphType == tgCloseAlone;
  const bool zoomed = IsZoomed(CtrlHandle) != FALSE, iconic = IsIconic(CtrlHandle) != FALSE;
  int glyph = button->cpGlyphType;
  bool enabled = true;
  switch (Code) {
    case HTMAXBUTTON:
      if (zoomed) glyph = big ? tgNorm : tgSmallNorm;
      if (iconic) {
        glyph = big ? tgMax : tgSmallMax;
        enabled = EnabledMax();
      } else {
        enabled = EnabledMax() || (zoomed && EnabledRestore());
      }
      break;
    case HTMINBUTTON:
      if (iconic) glyph = big ? tgNorm : tgSmallNorm;
      break;
    case HTCLOSE: enabled = EnabledClose(); break;
    default: break;
  }
  const int i = GlyphIndex(sd, glyph);
  if (i >= 0) {
    const int mode = (!enabled || (button->cpState == 0 && !FFormActive)) ? 2 : 1;
    DrawMaskStateImage(cache, Point(r.Left, r.Top), std::max(0, button->cpState), mode, sd->ma[static_cast<std::size_t>(i)],
                       MakeCacheInfo(cache, 0, 0));
  }
  if (BorderForm && BorderForm->AForm && BorderForm->AForm->HandleAllocated()) {
    ShowBitmapLayered(BorderForm->AForm->Handle(), cache, 255);
  } else if (HDC dc = GetWindowDC(CtrlHandle)) {
    BlitClipped(dc, r.Left, r.Top, cache, r.Left, r.Top, r.Width(), r.Height());
    ReleaseDC(CtrlHandle, dc);
  }
  if (button->cpState != 1 && button->cpGlowID >= 0) ReleaseGlowById(button->cpGlowID, true);
}

void TacDialogWnd::DropSysMenu(int X, int Y) {
  if (!SystemMenu || !CtrlHandle) return;
  auto alive = FAlive;
  SystemMenu->UpdateItems();
  SystemMenu->WindowHandle = CtrlHandle;
  TForm* main = Application().MainForm();
  SystemMenu->BiDiMode = main ? main->BiDiMode() : bdLeftToRight;
  SystemMenu->Popup(X, Y);
  // A chosen command may have closed the dialog.
  if (*alive && SystemMenu) SystemMenu->WindowHandle = nullptr;
}

void TacDialogWnd::SendToAdapter(TMessage& Message) {
  (void)Message;  // no adapter is made for a dialog
}

// ---------------------------------------------------------------------------
// Clicks
// ---------------------------------------------------------------------------

void TacDialogWnd::HandleNCLButtonDown(TMessage& Message) {
  auto alive = FAlive;
  int code = static_cast<int>(Message.WParam);
  if (BorderForm && code == HTOBJECT) {
    TacScrollWnd::acWndProc(Message);
    return;
  }
  if (code == -1 && BorderForm) {
    TMessage hit{WM_NCHITTEST, 0, Message.LParam, 0};
    code = BorderForm->Ex_WMNCHitTest(hit);
  }
  if (code < HTLEFT || code > HTBOTTOMRIGHT) code = HTProcess(Message);
  if (CoverForm) {
    TComponent::Free(CoverForm);
    CoverForm = nullptr;
    AnimClosing = false;
  }
  switch (code) {
    case HTSYSMENU: {
      RECT r{};
      GetWindowRect(CtrlHandle, &r);
      SetHotHT(0);
      DropSysMenu(r.left + FrameWidth(), r.top + FrameHeight() + GetSystemMetrics(SM_CYSMICON));
      return;
    }
    case HTMINBUTTON:
    case HTMAXBUTTON:
    case HTCLOSE:
    case HTHELP:
      SetPressedHT(code);
      Message.Result = 0;
      return;
    default: break;
  }
  if (IsIconic(CtrlHandle)) {
    SendMessageW(CtrlHandle, WM_SYSCOMMAND, 0xF012, 0);
    return;
  }
  if (IsZoomed(CtrlHandle) && code == HTCAPTION) {
    if (GetActiveWindow() != CtrlHandle) SetFocus(CtrlHandle);
    return;
  }
  TsSkinManager* m = SkinData ? SkinData->ReadSkinManager() : nullptr;
  if (code == HTCAPTION && NonClient() && m && m->AnimEffects.BlendOnMoving.Active &&
      m->AnimEffects.BlendOnMoving.BlendValue != 255) {
    FFormActive = true;
    SkinData->BGChanged = true;
    SendMessageW(CtrlHandle, WM_NCPAINT, 1, 0);
    if (!*alive) return;
    StartDialogBlendOnMoving(this);
    return;
  }
  TacScrollWnd::acWndProc(Message);
}

void TacDialogWnd::HandleNCLButtonUp(TMessage& Message) {
  auto alive = FAlive;
  int code = static_cast<int>(Message.WParam);
  if (code == -1 && BorderForm) {
    TMessage hit{WM_NCHITTEST, 0, Message.LParam, 0};
    code = BorderForm->Ex_WMNCHitTest(hit);
  }
  if (Message.Msg == WM_LBUTTONUP) {
    // A client point: the element under it, which is a button only when it lies on one.
    POINT p{XOf(Message.LParam), YOf(Message.LParam)};
    ClientToScreen(CtrlHandle, &p);
    TMessage hit{WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y), 0};
    code = HTProcess(hit);
  }
  if (!NonClient()) {
    TacScrollWnd::acWndProc(Message);
    return;
  }
  const bool pressed = gCaptionPressed && CurrentHT == code;
  switch (code) {
    case HTMINBUTTON:
      if (pressed) SendMessageW(CtrlHandle, WM_SYSCOMMAND, IsIconic(CtrlHandle) ? SC_RESTORE : SC_MINIMIZE, 0);
      if (*alive) SetHotHT(0);
      break;
    case HTMAXBUTTON:
      if (!IsIconic(CtrlHandle) || EnabledMax()) {
        if (pressed) {
          SendMessageW(CtrlHandle, WM_SYSCOMMAND, IsZoomed(CtrlHandle) ? SC_RESTORE : SC_MAXIMIZE, 0);
          if (*alive && SystemMenu) SystemMenu->UpdateItems();
        }
        if (*alive) SetHotHT(0);
      }
      break;
    case HTCLOSE:
      if (pressed) {
        ButtonClose.cpState = 0;
        SetHotHT(0, false);
        FreeButtonFades();
        gCaptionPressed = false;
        SendMessageW(CtrlHandle, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      break;
    case HTHELP:
      if (pressed) {
        SendMessageW(CtrlHandle, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
        if (*alive && SystemMenu) SystemMenu->UpdateItems();
        if (*alive) RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
      }
      if (*alive) SetHotHT(0);
      break;
    default:
      gCaptionPressed = false;
      TacScrollWnd::acWndProc(Message);
      return;
  }
  if (!*alive) return;
  gCaptionPressed = false;
  Message.WParam = 0;
}

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------

void TacDialogWnd::HandleSize(TMessage& Message) {
  auto alive = FAlive;
  HWND wnd = CtrlHandle;
  if (!BorderForm) {
    SkinData->BGChanged = true;
    RgnChanged = true;
    SkinData->FUpdating = true;
    TacScrollWnd::acWndProc(Message);
    if (!*alive) return;
    SkinData->FUpdating = false;
    if (IsWindowVisible(wnd)) RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
    return;
  }
  if (SkinData->FUpdating) {
    TacScrollWnd::acWndProc(Message);
    return;
  }
  RECT client{};
  GetClientRect(wnd, &client);
  const TRect now{client.left, client.top, client.right, client.bottom};
  TacSkinData* sd = SkinDataOf();
  TsSkinManager* m = SkinData->ReadSkinManager();
  if ((LastClientRect.IsEmpty() || now.Width() < LastClientRect.Width() || now.Height() < LastClientRect.Height()) && sd &&
      m && ValidSection(sd, SkinData->SkinIndex)) {
    const std::wstring& name = sd->gd[static_cast<std::size_t>(SkinData->SkinIndex)].ClassName;
    for (const wchar_t* image : {L"IMGTOPRIGHT", L"IMGBTMRIGHT"}) {
      const int i = m->GetMaskIndex(SkinData->SkinIndex, name, image, sd);
      if (!ValidMask(sd, i)) continue;
      const TsMaskData& md = sd->ma[static_cast<std::size_t>(i)];
      RECT r{LastClientRect.Right - md.Width, LastClientRect.Bottom - md.Height, LastClientRect.Right, LastClientRect.Bottom};
      InvalidateRect(wnd, &r, FALSE);
    }
  }
  const bool composition = IsDwmCompositionOn();
  SkinData->FUpdating = true;
  if (composition) SendMessageW(wnd, WM_SETREDRAW, 0, 0);
  TacScrollWnd::acWndProc(Message);
  if (!*alive) return;
  if (composition) SendMessageW(wnd, WM_SETREDRAW, 1, 0);
  SkinData->FUpdating = false;
  if (AnimationInProgress) return;
  if (!IsWindowVisible(wnd)) {
    SkinData->BGChanged = true;
  } else {
    TBitmap* cache = SkinData->FCacheBmp.get();
    TRect shadow;
    ShadowSize(shadow);
    const bool iconic = IsIconic(wnd) != FALSE;
    const int expectW = WndWidth(wnd) + shadow.Left + shadow.Right + (iconic ? 0 : 2 * BorderFormBorderDiff(BorderForm));
    const int expectH = WndHeight(wnd) + shadow.Top + shadow.Bottom + BorderFormTitleDiff(BorderForm) + BorderFormBorderDiff(BorderForm);
    const bool stale = !cache || cache->Empty() || cache->Width() != expectW ||
                       (cache->Height() != expectH && !(iconic && composition));
    if (stale) {
      RgnChanged = true;
      SkinData->BGChanged = true;
      const bool bars = (GetWindowLongW(wnd, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL)) != 0;
      if (!bars) FormState |= 0x1;
      BorderForm->UpdateExBordersPos(true, 255);
      FormState &= ~0x1u;
      if (!*alive || !BorderForm) return;
      ApplyWindowRgn(false);
      RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
      if (BorderForm->AForm && BorderForm->AForm->HandleAllocated())
        SetWindowPos(BorderForm->AForm->Handle(), wnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    }
  }
  LastClientRect = now;
}

void TacDialogWnd::HandleSkinCommand(TMessage& Message) {
  TsSkinManager* m = SkinData->ReadSkinManager();
  const bool ours = m && Message.LParam == reinterpret_cast<LPARAM>(m);
  HWND wnd = CtrlHandle;
  switch (SkinCommandOf(Message.WParam)) {
    case SKCMD_NEW_SKIN:
      ForgetSkinObjects();
      SetExtBorders(m && m->ExtendedBorders());
      if (ours) {
        SkinData->UpdateIndexes();
        TacSkinData* sd = SkinDataOf();
        FCaptionSkinIndex = sd ? sd->GetSkinIndex(L"CAPTION") : -1;
        UpdateIconsIndexes();
        SkinData->BGChanged = true;
        SendToChildWindows(wnd, Message);
      }
      return;
    case SKCMD_REFRESH:
      SkinData->UpdateIndexes();
      SetExtBorders(m && m->ExtendedBorders());
      SkinData->Invalidate();
      if (BorderForm && IsWindowVisible(wnd)) BorderForm->UpdateExBordersPos(true, 255);
      return;
    case SKCMD_SET_UPDATING:
      SkinData->FUpdating = LOWORD(Message.LParam) == 1;
      if (SkinData->FUpdating) SkinData->BGChanged = true;
      break;
    case SKCMD_IS_UPDATING:
      Message.Result = SkinData->FUpdating ? 1 : 0;
      return;
    case SKCMD_INVALIDATE:
      if (BorderForm) BorderForm->UpdateExBordersPos(false, 255);
      break;
    case SKCMD_BG_VARIES: {
      TacSkinData* sd = SkinDataOf();
      Message.Result = 0;
      if (ValidSection(sd, SkinData->SkinIndex)) {
        const TsGenState& st = sd->gd[static_cast<std::size_t>(SkinData->SkinIndex)].StateProps(0);
        Message.Result = st.ImagePercent + st.GradientPercent > 0 ? 1 : 0;
      }
      return;
    }
    case SKCMD_GET_BG_COLOR:
      Message.Result = static_cast<LRESULT>(SkinData->BackgroundColor(0, wnd));
      return;
    case SKCMD_INIT_CHILD_WINDOWS:
      AttachChildren();
      break;
    case SKCMD_GET_BG_INFO: {
      auto* info = reinterpret_cast<TacBGInfo*>(Message.LParam);
      if (!info) return;
      const int ox = OffsetX(), oy = OffsetY();
      if (info->PleaseDraw) {
        info->Offset.X += ox;
        info->Offset.Y += oy;
      }
      SkinData->FillBackgroundInfo(*info, 0, wnd);
      if (info->BgType == btCache && !info->PleaseDraw) {
        if (!SkinData->FCacheBmp || SkinData->FCacheBmp->Empty() || SkinData->BGChanged) PaintAll();
        info->Bmp = SkinData->FCacheBmp.get();
        info->Offset = TPoint{ox, oy};
      }
      return;
    }
    case SKCMD_CLIENT_OFFSET:
      Message.Result = MAKELONG(OffsetX(), OffsetY());
      return;
    case SKCMD_FIND_OPAQUE_SECTION:
      if (auto* q = reinterpret_cast<TacSectionQuery*>(Message.LParam)) q->SkinIndex = SkinData->SkinIndex;
      Message.Result = 1;
      return;
    case SKCMD_FRAME_SIZE: {
      const int kind = LOWORD(Message.LParam);
      const int ppi = WindowPPI(wnd);
      CXSizeFrame = SystemMetricForDpi(SM_CXFRAME, ppi);
      CXFixedFrame = SystemMetricForDpi(SM_CXFIXEDFRAME, ppi);
      int result;
      if (kind == 1) {
        result = CXSizeFrame;
      } else if (kind == 2) {
        result = CXFixedFrame;
      } else {
        result = (WndWidth(wnd) - WndClientWidth(wnd)) / 2;
        if (result == 0) {
          const int high = HIWORD(Message.LParam);
          result = high == 1 ? CXSizeFrame : high == 2 ? CXFixedFrame : 0;
        }
      }
      Message.Result = result + FramePadding();
      return;
    }
    case SKCMD_NC_AREA_CHANGED:
      if (Message.LParam) {
        SkinData->BGChanged = true;
        RgnChanged = true;
        SetExtBorders(m && m->ExtendedBorders());
        TakeSystemMenuStyle(true);
        RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOERASE | RDW_UPDATENOW);
      } else {
        SetExtBorders(false);
        HandlerSetWindowTheme(wnd, nullptr, nullptr);
        RemoveOwnRegion();
        TakeSystemMenuStyle(false);
        SkinData->BGChanged = true;
        SetWindowPos(wnd, nullptr, 0, 0, 0, 0, 0x737);
        RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
      }
      return;
    case SKCMD_REMOVE_SKIN:
      if (ours) RestoreStdParams();
      break;
    default: break;
  }
  TacScrollWnd::acWndProc(Message);
}

void TacDialogWnd::acWndProc(TMessage& Message) {
  if (!SkinData || Destroyed) {
    TacScrollWnd::acWndProc(Message);
    return;
  }
  auto alive = FAlive;
  HWND wnd = CtrlHandle;
  TsSkinManager* m = SkinData->ReadSkinManager();
  const bool nc = NonClient();
  switch (Message.Msg) {
    case SM_SKINCOMMAND:
      HandleSkinCommand(Message);
      return;
    case WM_DESTROY:
    case WM_NCDESTROY:
      if (SkinData->FCacheBmp) SkinData->FCacheBmp->SetSize(0, 0);
      SetExtBorders(false);
      TacScrollWnd::acWndProc(Message);
      return;
    case WM_NCPAINT: {
      if (!nc || !IsWindowVisible(wnd)) break;
      if (!Initialized) AttachChildren();
      if (!*alive) return;
      ReadGeometry();
      if (LastClientRect.IsEmpty()) {
        RECT c{};
        GetClientRect(wnd, &c);
        LastClientRect = TRect{c.left, c.top, c.right, c.bottom};
      }
      Caption = DialogText(wnd);
      if (BorderForm && !AnimationInProgress &&
          (!BorderForm->AForm || !BorderForm->AForm->HandleAllocated() || !IsWindowVisible(BorderForm->AForm->Handle()))) {
        if (IsDwmCompositionOn()) {
          if (SkinData->BGChanged) PaintAll();
          ApplyWindowRgn(false);
          BorderForm->UpdateExBordersPos(true, 255);
          SetForegroundWindow(wnd);
          SetActiveWindow(wnd);
        } else {
          BorderForm->UpdateExBordersPos(true, 255);
        }
        if (!*alive) return;
      }
      if (!gRegionSetting && RgnChanged && (BorderStyle != acbsNone || (dwStyle & WS_THICKFRAME))) {
        UpdateCornerRects();
        RgnChanged = false;
        ApplyWindowRgn(true);
        if (!*alive) return;
      }
      if (HDC dc = GetWindowDC(wnd)) {
        if (GetLayout(dc) & LAYOUT_RTL) SetLayout(dc, 0);
        PaintCaption(dc);
        ReleaseDC(wnd, dc);
      }
      SkinData->FUpdating = false;
      gRegionSetting = false;
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      if (!m || !m->IsActive()) break;
      ReadGeometry();
      if (!Initialized) AttachChildren();
      if (!*alive) return;
      Caption = DialogText(wnd);
      Ac_WMPaint(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = 1;
      return;
    case WM_PAINT:
      if (FWMPaintForbidden && m && m->IsActive()) {
        PAINTSTRUCT ps{};
        BeginPaint(wnd, &ps);
        EndPaint(wnd, &ps);
        Message.Result = 0;
        return;
      }
      break;
    case WM_NCHITTEST:
      if (!nc) break;
      {
        const int code = HTProcess(Message);
        if (code != 0 && code != HTCAPTION) {
          Message.Result = code;
          return;
        }
        TacScrollWnd::acWndProc(Message);
        if (*alive) SetHotHT(0);
        return;
      }
    case WM_NCLBUTTONDOWN:
      if (!nc) break;
      HandleNCLButtonDown(Message);
      return;
    case WM_NCLBUTTONUP:
      HandleNCLButtonUp(Message);
      return;
    case WM_LBUTTONUP:
      if (nc && gCaptionPressed && ButtonByCode(CurrentHT)) {
        HandleNCLButtonUp(Message);
        return;
      }
      break;
    case WM_NCLBUTTONDBLCLK:
      if (!nc) break;
      {
        TMessage hit{WM_NCHITTEST, 0, Message.LParam, 0};
        const int code = static_cast<int>(Message.WParam);
        if (code == HTCAPTION && (EnabledMax() || EnabledRestore())) {
          SendMessageW(wnd, WM_SYSCOMMAND, IsZoomed(wnd) || IsIconic(wnd) ? SC_RESTORE : SC_MAXIMIZE, 0);
          if (*alive && SystemMenu) SystemMenu->UpdateItems();
          Message.WParam = 0;
        } else if (code == HTSYSMENU) {
          SendMessageW(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        (void)hit;
        return;
      }
    case WM_NCRBUTTONDOWN:
      if (nc && (Message.WParam == HTCAPTION || Message.WParam == HTSYSMENU)) return;
      break;
    case WM_NCRBUTTONUP: {
      if (!nc) break;
      int code = static_cast<int>(Message.WParam);
      if (code == -1 && BorderForm) {
        TMessage hit{WM_NCHITTEST, 0, Message.LParam, 0};
        code = BorderForm->Ex_WMNCHitTest(hit);
      }
      if (code == HTCAPTION || code == HTSYSMENU) {
        SetHotHT(0);
        DropSysMenu(XOf(Message.LParam), YOf(Message.LParam));
      }
      return;
    }
    case WM_SIZE:
      HandleSize(Message);
      return;
    case WM_SETFOCUS:
      TacScrollWnd::acWndProc(Message);
      if (*alive) RedrawWindow(GetActiveWindow(), nullptr, nullptr, kRedrawAll);
      return;
    case WM_ENABLE:
      if (!IsWindowVisible(wnd)) break;
      TacScrollWnd::acWndProc(Message);
      if (!*alive) return;
      SkinData->BGChanged = true;
      SendMessageW(wnd, WM_NCPAINT, 1, 0);
      return;
    case WM_SETTEXT:
      if (!IsWindowVisible(wnd)) break;
      TacScrollWnd::acWndProc(Message);
      if (!*alive) return;
      SkinData->BGChanged = true;
      if (BorderForm)
        BorderForm->UpdateExBordersPos(false, 255);
      else
        SendMessageW(wnd, WM_NCPAINT, 1, 0);
      return;
    case WM_SHOWWINDOW: {
      const bool composition = IsDwmCompositionOn();
      if (Message.WParam && MessageBoxX != -1 && MessageBoxY != -1) {
        int x = MessageBoxX, y = MessageBoxY;
        if (MessageBoxCentred) {
          x -= WndWidth(wnd) / 2;
          y -= WndHeight(wnd) / 2;
        }
        SetWindowPos(wnd, HWND_TOP, x, y, 0, 0, 0x209);
      }
      const LONG ex = GetWindowLongW(wnd, GWL_EXSTYLE);
      if (composition && !(ex & WS_EX_LAYERED)) SetWindowLongW(wnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
      TacScrollWnd::acWndProc(Message);
      if (!*alive) return;
      if (composition && !(ex & WS_EX_LAYERED)) SetWindowLongW(wnd, GWL_EXSTYLE, GetWindowLongW(wnd, GWL_EXSTYLE) & ~WS_EX_LAYERED);
      UseDwmTransitions(wnd, nc);
      if (Message.WParam && m && m->AnimEffects.DialogShow.Active && m->AnimEffects.DialogShow.Time != 0 &&
          m->Effects.AllowAnimation) {
        Caption = DialogText(wnd);
        if (!Initialized) AttachChildren();
        SkinData->FUpdating = false;
        if (nc) AnimShowSkinDialog(this, m->AnimEffects.DialogShow.Time, 255, m->AnimEffects.DialogShow.Mode);
      }
      return;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
      HFONT old = dis ? SelectDrawItemFont(dis->hDC) : nullptr;
      if (dis && dis->CtlType == ODT_STATIC) SetBkMode(dis->hDC, TRANSPARENT);
      TacScrollWnd::acWndProc(Message);
      // The item's DC gets its own font back: the substituted one stays ours.
      if (old && dis) SelectObject(dis->hDC, old);
      return;
    }
    case WM_WINDOWPOSCHANGED: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(Message.LParam);
      const bool hiding = wp && (wp->flags & SWP_HIDEWINDOW) && LayeredWindowsAvailable();
      if (hiding) RgnChanged = true;
      TacScrollWnd::acWndProc(Message);
      if (!*alive || !nc) return;
      if (hiding) {
        if (m && m->AnimEffects.DialogHide.Active && m->AnimEffects.DialogHide.Time != 0 && m->Effects.AllowAnimation) {
          AnimHideSkinDialog(this);
          if (!*alive) return;
          SetLayeredAlpha(wnd, true, 0);
        }
        SetExtBorders(false);
      } else if (BorderForm && BorderForm->AForm && BorderForm->AForm->HandleAllocated() &&
                 IsWindowVisible(BorderForm->AForm->Handle()) && !(FormState & FS_BLENDMOVING) && !SkinData->FUpdating) {
        BorderForm->UpdateExBordersPos(false, 255);
      }
      return;
    }
    case WM_NCACTIVATE:
      if (!IsWindowVisible(wnd)) break;
      SetWindowRedraw(wnd, 0);
      TacScrollWnd::acWndProc(Message);
      if (!*alive) return;
      FFormActive = Message.WParam != 0;
      SetWindowRedraw(wnd, 1);
      if (nc) {
        SkinData->BGChanged = true;
        InvalidateRect(wnd, nullptr, TRUE);
        RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_INVALIDATE);
        if (*alive && BorderForm) BorderForm->UpdateExBordersPos(true, 255);
      }
      return;
    case WM_GETDLGCODE:
      Message.Result = 0;
      return;
    case WM_COMMAND:
      if ((LOWORD(Message.WParam) == IDCANCEL || LOWORD(Message.WParam) == IDYES) && nc && m &&
          m->AnimEffects.DialogHide.Active && m->Effects.AllowAnimation && m->AnimEffects.DialogHide.Time != 0 &&
          SkinData->FCacheBmp && !SkinData->FCacheBmp->Empty()) {
        PaintDialogToBitmap(this, SkinData->FCacheBmp.get(), true);
        if (BorderForm && BorderForm->AForm && BorderForm->AForm->HandleAllocated()) {
          SetWindowRgn(BorderForm->AForm->Handle(), nullptr, FALSE);
          ShowBitmapLayered(BorderForm->AForm->Handle(), SkinData->FCacheBmp.get(), 255);
          BorderForm->ExBorderShowing = true;
        } else {
          if (CoverForm) TComponent::Free(CoverForm);
          CoverForm = MakeCoverForm(wnd, nullptr);
          AnimClosing = true;
        }
      }
      break;
    case WM_CTLCOLORDLG: {
      if (!m || !m->IsActive()) break;
      const TColor color = ColorToRGB(m->GetGlobalColor());
      if (!FCtlBrush || FCtlBrushColor != color) {
        if (FCtlBrush) DeleteObject(FCtlBrush);
        FCtlBrush = CreateSolidBrush(static_cast<COLORREF>(color));
        FCtlBrushColor = color;
      }
      Message.Result = reinterpret_cast<LRESULT>(FCtlBrush);
      return;
    }
    case WM_MOUSEMOVE:
      if (m && IsWindowEnabled(wnd)) m->SwitchHotControl(nullptr);
      TacScrollWnd::acWndProc(Message);
      return;
    case WM_MOUSELEAVE:
      SetHotHT(0);
      if (!*alive) return;
      break;
    case WM_USER + 1:
      TacScrollWnd::acWndProc(Message);
      if (!*alive) return;
      AttachChildren();
      RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      return;
    case WM_USER + 300:
    case WM_USER + 302:
      TacScrollWnd::acWndProc(Message);
      if (!*alive) return;
      AttachChildren();
      RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      return;
    case 0xB00B:  // the framework's visibility change
      TacScrollWnd::acWndProc(Message);
      if (*alive && !Message.WParam) FreeButtonFades();
      return;
    default: break;
  }
  TacScrollWnd::acWndProc(Message);
  if (!*alive || Destroyed) return;
  if (Message.Msg == WM_SYSCOMMAND) {
    const WPARAM cmd = Message.WParam & 0xFFF0;
    if (Message.WParam == 0xF012) {
      UpdateWindow(wnd);
      if (BorderForm && IsWindowVisible(wnd)) BorderForm->UpdateExBordersPos(false, 255);
    } else if (cmd == SC_MAXIMIZE || cmd == SC_RESTORE) {
      if (VisibleMax()) CurrentHT = HTMAXBUTTON;
      SetHotHT(0);
    }
  }
}

// ---------------------------------------------------------------------------
// The transparency while a dialog is moved
// ---------------------------------------------------------------------------

void StartDialogBlendOnMoving(TacDialogWnd* Handler) {
  if (!Handler || !Handler->SkinData || (Handler->FormState & FS_BLENDMOVING)) return;
  TsSkinManager* m = Handler->SkinData->ReadSkinManager();
  if (!m || !m->AnimEffects.BlendOnMoving.Active) return;
  HWND wnd = Handler->CtrlHandle;
  if (!wnd) return;
  auto alive = Handler->AliveFlag();
  // 2.
  Handler->FormState |= FS_BLENDMOVING;
  if (Handler->MoveTimer) TComponent::Free(Handler->MoveTimer);
  auto* timer = new TacMoveTimer(&Application(), true);
  Handler->MoveTimer = timer;
  timer->CurrentBlendValue = 255.0;
  timer->BorderForm = Handler->BorderForm;
  timer->FormHandle = wnd;
  timer->BlendValue = m->AnimEffects.BlendOnMoving.BlendValue;
  timer->BlendStep = (255 - timer->BlendValue) / 30;
  timer->WriteInterval(12);
  TacBorderForm* border = Handler->BorderForm;
  if (border && border->AForm && border->AForm->HandleAllocated()) {
    // 3.
    border->UpdateExBordersPos(true, 255);
    border->ExBorderShowing = true;
    HWND bw = border->AForm->Handle();
    SetWindowPos(wnd, bw, 0, 0, 0, 0, 0x61B);
    SetWindowLongW(wnd, GWL_EXSTYLE, GetWindowLongW(wnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    ShowBitmapLayered(wnd, nullptr, 0);
    timer->WriteEnabled(true);
    SendMessageW(bw, WM_SYSCOMMAND, 0xF012, 0);
  } else {
    // 4.
    TacGlowForm* cover = MakeCoverForm(wnd, nullptr);
    const LONG ex = GetWindowLongW(wnd, GWL_EXSTYLE);
    if (!(ex & WS_EX_LAYERED)) SetWindowLongW(wnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    SetLayeredWindowAttributes(wnd, 0, 255, LWA_ALPHA);
    RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
    if (cover) TComponent::Free(cover);
    timer->WriteEnabled(true);
    SendMessageW(wnd, WM_SYSCOMMAND, 0xF012, 0);
  }
  // 5.
  if (*alive) StopDialogBlendOnMoving(Handler);
}

void StopDialogBlendOnMoving(TacDialogWnd* Handler) {
  if (!Handler) return;
  HWND wnd = Handler->CtrlHandle;
  TacBorderForm* border = Handler->BorderForm;
  if (wnd && IsWindow(wnd)) {
    if (border && border->AForm && border->AForm->HandleAllocated()) {
      HWND bw = border->AForm->Handle();
      ShowBitmapLayered(bw, Handler->SkinData ? Handler->SkinData->FCacheBmp.get() : nullptr, 255);
      RECT br{};
      GetWindowRect(bw, &br);
      TRect shadow;
      Handler->ShadowSize(shadow);
      const int left = br.left + shadow.Left + BorderFormBorderWidth(border) - SysBorderWidth(wnd, border, false);
      const int top = br.top + border->OffsetY();
      SetWindowPos(wnd, bw, left, top, 0, 0, 0x60D);
      SetWindowPos(bw, wnd, 0, 0, 0, 0, 0x61B);
      Handler->FormState &= ~static_cast<std::uint32_t>(FS_BLENDMOVING);
      SetWindowLongW(wnd, GWL_EXSTYLE, GetWindowLongW(wnd, GWL_EXSTYLE) & ~WS_EX_LAYERED);
      SetFocus(wnd);
      RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
      Sleep(40);
      SetWindowPos(bw, wnd, 0, 0, 0, 0, 0x61B);
    } else {
      TacGlowForm* cover = MakeCoverForm(wnd, nullptr);
      SetWindowLongW(wnd, GWL_EXSTYLE, GetWindowLongW(wnd, GWL_EXSTYLE) & ~WS_EX_LAYERED);
      UpdateWindow(wnd);
      if (Handler->MoveTimer) Handler->MoveTimer->WriteEnabled(false);
      SetFocus(wnd);
      RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
      if (cover) TComponent::Free(cover);
      Handler->FormState &= ~static_cast<std::uint32_t>(FS_BLENDMOVING);
    }
  } else {
    Handler->FormState &= ~static_cast<std::uint32_t>(FS_BLENDMOVING);
  }
  if (Handler->MoveTimer) {
    Handler->MoveTimer->CurrentBlendValue = 255.0;
    TComponent::Free(Handler->MoveTimer);
    Handler->MoveTimer = nullptr;
  }
  if (Handler->BorderForm) {
    Handler->BorderForm->ExBorderShowing = false;
    Handler->BorderForm->UpdateExBordersPos(true, 255);
  }
}
