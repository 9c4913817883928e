// The moving pictures of a skinned form and the pictures others show in its place: the
// moving blend of a caption drag, the minimize and restore animation into the taskbar, the
// animated rescale, the caption cover, cover forms, full form images, and the thumbnail and
// live preview the taskbar asks for.
#include "skin/forms/sSkinProvider.Anim.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.Dwm.h"
#include "skin/graphics/acGdiPlus.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr std::uint32_t kOpaqueNoKey = 0x1FFFFFFF;
constexpr int kTriangleFilter = 1;
constexpr int kFormTitleSection = 32;  // FORMTITLE among the skin's constant sections
constexpr DWORD kDwmSitDisplayFrame = 1;
constexpr UINT kPlaceOnly = SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER |
                            SWP_NOSENDCHANGING;
constexpr UINT kRedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;

HWND WndOf(TForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }

DWORD MajorVersion() {
  using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  static const DWORD major = [] {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
      if (auto get = reinterpret_cast<TRtlGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))))
        if (get(&info) == 0) return info.dwMajorVersion;
    return DWORD{6};
  }();
  return major;
}
bool Vista() { return MajorVersion() >= 6; }

// The DWM library: loaded at the first need, kept for the process.
HMODULE GDwm = nullptr;
bool GDwmLoaded = false;

template <class F>
F DwmEntry(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(DwmEntryPoint(GDwm, name)));
}

using TSetIconicThumbnail = HRESULT(WINAPI*)(HWND, HBITMAP, DWORD);
using TSetIconicLivePreview = HRESULT(WINAPI*)(HWND, HBITMAP, POINT*, DWORD);
using TInvalidateIconicBitmaps = HRESULT(WINAPI*)(HWND);
struct TBlurBehind {
  DWORD dwFlags;
  BOOL fEnable;
  HRGN hRgnBlur;
  BOOL fTransitionOnMaximized;
};
using TEnableBlurBehindWindow = HRESULT(WINAPI*)(HWND, const TBlurBehind*);

// Owner state bits held for a scope, given back on every path.
class TFormStateScope {
public:
  TFormStateScope(TsSkinProvider* p, std::uint32_t bits) : P(p), Alive(p->AliveFlag()), Bits(bits) {
    P->SetFormState(P->FormState() | Bits);
  }
  ~TFormStateScope() {
    if (*Alive) P->SetFormState(P->FormState() & ~Bits);
  }
  TFormStateScope(const TFormStateScope&) = delete;
  TFormStateScope& operator=(const TFormStateScope&) = delete;

private:
  TsSkinProvider* P;
  std::shared_ptr<bool> Alive;
  std::uint32_t Bits;
};

TsSkinManager* ManagerOf(TsSkinProvider* p) { return p ? p->Manager() : nullptr; }

bool MinimizeAllowed(TsSkinManager* m) {
  return m && m->AnimEffects.Minimizing.Active && m->Effects.AllowAnimation;
}

HWND BorderWnd(TacBorderForm* border) { return border ? WndOf(border->AForm) : nullptr; }

TBitmap* CacheOf(TsSkinProvider* p) {
  return p && p->FCommonData && p->FCommonData->FCacheBmp && !p->FCommonData->FCacheBmp->Empty()
             ? p->FCommonData->FCacheBmp.get()
             : nullptr;
}

std::unique_ptr<TBitmap> CopyOf(TBitmap* src) {
  if (!src) return nullptr;
  auto copy = NewBitmap32(src->Width(), src->Height());
  BitBlt(copy->Canvas().Handle(), 0, 0, src->Width(), src->Height(), src->Canvas().Handle(), 0, 0, SRCCOPY);
  return copy;
}

// The taskbar window that represents the provider's form.
HWND TaskbarWindowOf(TsSkinProvider* p) {
  TApplication& app = Application();
  if (app.MainFormOnTaskBar || p->Form != app.MainForm()) return WndOf(p->Form);
  return app.Handle();
}

void DropLayered(HWND wnd) {
  if (!wnd) return;
  const LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
  if (ex & WS_EX_LAYERED) SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
}

// The form window as a layered window with the constant alpha (made layered when it is not).
void LayeredAlpha(HWND wnd, std::uint8_t alpha) {
  if (!wnd) return;
  const LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
  if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(wnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
  SetLayeredWindowAttributes(wnd, 0, alpha, LWA_ALPHA);
}

// The source of a taskbar image: the saved image of a minimized form, else the cache.
TBitmap* TaskbarSource(TsSkinProvider* p, bool& fromCache) {
  fromCache = false;
  if (auto* timer = dynamic_cast<TacMinTimer*>(p->FormTimer); timer && timer->Minimized && timer->SavedImage &&
                                                              !timer->SavedImage->Empty())
    return timer->SavedImage.get();
  fromCache = true;
  return CacheOf(p);
}

std::unique_ptr<TBitmap> Resampled(TBitmap* src, int w, int h) {
  auto bmp = NewBitmap32(w, h);
  if (src->Width() == w && src->Height() == h)
    BitBlt(bmp->Canvas().Handle(), 0, 0, w, h, src->Canvas().Handle(), 0, 0, SRCCOPY);
  else
    StretchBitmapFiltered(src, bmp.get(), w, h, kTriangleFilter);
  return bmp;
}

// A re-entered StopBlendOnMoving does nothing.
bool GStoppingBlend = false;

}  // namespace

// ---- the arithmetic ----------------------------------------------------------------------

double MoveBlendStep(std::uint8_t BlendValue, int TimeMs) {
  const double range = 255.0 - BlendValue;
  return TimeMs <= 12 ? range : range / (TimeMs / 12.0);
}

int MinimizeStepCount(int TimeMs) { return std::max(1, TimeMs / 6); }

TRect TaskbarTargetRect(const TRect& T, const TRect& RectFrom, DWORD& Position) {
  if (T.Top != 0)
    Position = (T.Left >= -4 && T.Left <= 0) ? 8 : 4;
  else if (T.Left != 0)
    Position = 4;
  else
    Position = T.Width() > T.Height() ? 2 : 1;
  const int cx = T.Left + T.Width() / 2, cy = T.Top + T.Height() / 2;
  const int w = RectFrom.Width(), h = RectFrom.Height();
  return TRect{cx - w / 2 + w / 8, cy - h / 2 + h / 8, cx + w / 2 - w / 8, cy + h / 2 - h / 8};
}

int ScaleStepSize(int Current, int Target) { return Current + (Target - Current) / 2; }

double RestoreDivisor(double Distance, int Steps) {
  if (Distance < 1) return 1;
  const double divisor = std::pow(Distance, 1.0 / std::max(1, Steps));
  // A distance of exactly 1 would keep dividing by 1 and never come below 1: halve it.
  return divisor > 1 ? divisor : 2;
}

bool FitThumbnailSize(int& Width, int& Height, int SrcWidth, int SrcHeight) {
  if (Width <= 0 || Height <= 0 || SrcWidth <= 0 || SrcHeight <= 0) return false;
  if (static_cast<double>(Width) / Height > static_cast<double>(SrcWidth) / SrcHeight)
    Width = RoundHalfEven(static_cast<double>(Height) * SrcWidth / SrcHeight);
  else
    Height = RoundHalfEven(static_cast<double>(Width) * SrcHeight / SrcWidth);
  return Width > 0 && Height > 0;
}

// ---- DWM and the taskbar -----------------------------------------------------------------

HMODULE LoadDwmLibrary() {
  if (!GDwmLoaded) {
    GDwmLoaded = true;
    GDwm = LoadLibraryW(L"dwmapi.dll");
  }
  // Stand-ins of the entry points count as a library (the tests' taskbar side).
  return GDwm ? GDwm : (DwmEntryOverridesSet() ? GetModuleHandleW(nullptr) : nullptr);
}

bool SendIconicThumbnail(HWND Wnd, TsSkinProvider* Provider, int Width, int Height) {
  if (!Vista() || Width <= 0 || Height <= 0 || !Provider) return false;
  LoadDwmLibrary();
  auto set = DwmEntry<TSetIconicThumbnail>("DwmSetIconicThumbnail");
  if (!set) return false;
  bool fromCache = false;
  TBitmap* src = TaskbarSource(Provider, fromCache);
  if (!src) return false;
  if (!FitThumbnailSize(Width, Height, src->Width(), src->Height())) return false;
  auto alive = Provider->AliveFlag();
  TFormStateScope drawing(Provider, FS_THUMBDRAWING);
  {
    auto bmp = Resampled(src, Width, Height);
    if (set(Wnd, bmp->Handle(), 0) != S_OK) return false;
  }
  if (fromCache) {
    // The cache lacks the client area: the full image follows at once.
    if (auto full = MakeFormImage(Provider, false)) {
      auto bmp = Resampled(full.get(), Width, Height);
      set(Wnd, bmp->Handle(), 0);
    }
    if (*alive && Provider->BorderForm) Provider->BorderForm->UpdateExBordersPos(false, 255);
  }
  return true;
}

bool SendIconicLivePreview(HWND Wnd, TsSkinProvider* Provider) {
  if (!Vista() || !Provider) return false;
  LoadDwmLibrary();
  auto set = DwmEntry<TSetIconicLivePreview>("DwmSetIconicLivePreviewBitmap");
  if (!set) return false;
  bool fromCache = false;
  TBitmap* src = TaskbarSource(Provider, fromCache);
  if (!src) return false;
  auto alive = Provider->AliveFlag();
  TFormStateScope drawing(Provider, FS_THUMBDRAWING);
  POINT origin{0, 0};
  HRESULT result = E_FAIL;
  if (fromCache) {
    auto full = MakeFormImage(Provider, false);
    if (full) result = set(Wnd, full->Handle(), &origin, kDwmSitDisplayFrame);
    full.reset();
    if (*alive && Provider->BorderForm) Provider->BorderForm->UpdateExBordersPos(false, 255);
  } else {
    result = set(Wnd, src->Handle(), &origin, kDwmSitDisplayFrame);
  }
  return result == S_OK;
}

void InvalidateTaskbarBitmaps(HWND Wnd) {
  if (!Vista() || !(GDwm || DwmEntryOverridesSet())) return;
  if (auto invalidate = DwmEntry<TInvalidateIconicBitmaps>("DwmInvalidateIconicBitmaps")) invalidate(Wnd);
}

void EnableBlurBehind(HWND Wnd, bool Enable, HRGN Region) {
  if ((GDwm || DwmEntryOverridesSet()) && IsDwmCompositionOn() && MajorVersion() < 10) {
    if (auto blur = DwmEntry<TEnableBlurBehindWindow>("DwmEnableBlurBehindWindow")) {
      TBlurBehind bb{DWORD{1} | (Region ? DWORD{2} : DWORD{0}), Enable ? TRUE : FALSE, Region, FALSE};
      blur(Wnd, &bb);
    }
  }
  // The region is handed over: it goes on every path, not only past the call.
  if (Region) DeleteObject(Region);
}

HWND TaskbarWindow() { return FindWindowW(L"Shell_TrayWnd", nullptr); }

namespace {

// The pointer size of a process: 8 for a 64-bit one, 4 for a 32-bit one, 0 when unknown.
int ProcessPointerSize(HANDLE process) {
  using TIsWow64Process = BOOL(WINAPI*)(HANDLE, BOOL*);
  auto isWow = reinterpret_cast<TIsWow64Process>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  if (!isWow) return 4;  // no WOW64 at all: a 32-bit system
  BOOL wow = FALSE;
  if (!isWow(process, &wow)) return 0;
  if (wow) return 4;
  // Not under WOW64: native, which is 64-bit when this process is 64-bit or runs under WOW64.
  if (sizeof(void*) == 8) return 8;
  BOOL selfWow = FALSE;
  if (!isWow(GetCurrentProcess(), &selfWow)) return 0;
  return selfWow ? 8 : 4;
}

// Remote memory and the process handle, released on every path.
struct TRemote {
  HANDLE Process = nullptr;
  void* Memory = nullptr;
  ~TRemote() {
    if (Memory) VirtualFreeEx(Process, Memory, 0, MEM_RELEASE);
    if (Process) CloseHandle(Process);
  }
  bool Read(const void* remote, void* local, SIZE_T size) const {
    SIZE_T got = 0;
    return ReadProcessMemory(Process, remote, local, size, &got) && got == size;
  }
};

}  // namespace

TRect GetTaskbarButtonRect() {
  const TRect none{};
  HWND tray = FindWindowExW(nullptr, nullptr, L"Shell_TrayWnd", nullptr);
  HWND rebar = tray ? FindWindowExW(tray, nullptr, L"ReBarWindow32", nullptr) : nullptr;
  HWND tasks = rebar ? FindWindowExW(rebar, nullptr, L"MSTaskSwWClass", nullptr) : nullptr;
  HWND toolbar = tasks ? FindWindowExW(tasks, nullptr, L"ToolbarWindow32", nullptr) : nullptr;
  if (!toolbar) return none;
  const int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
  if (count <= 0) return none;
  DWORD pid = 0;
  GetWindowThreadProcessId(toolbar, &pid);
  TRemote remote;
  // Only what the allocation and the reads need.
  remote.Process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!remote.Process) return none;
  const int ptrSize = ProcessPointerSize(remote.Process);
  if (ptrSize == 0) return none;
  remote.Memory = VirtualAllocEx(remote.Process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote.Memory) return none;
  // TBBUTTON in the taskbar's layout: state at 8, style at 9, the data after the padding to
  // the pointer size.
  const SIZE_T buttonSize = ptrSize == 8 ? 32 : 20;
  const SIZE_T dataOffset = ptrSize == 8 ? 16 : 12;
  TApplication& app = Application();
  HWND wanted = app.MainFormOnTaskBar && app.MainForm() ? WndOf(app.MainForm()) : app.Handle();
  for (int i = 0; i < count; ++i) {
    if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote.Memory))) continue;
    std::uint8_t button[32]{};
    if (!remote.Read(remote.Memory, button, buttonSize)) return none;
    const std::uint8_t state = button[8], style = button[9];
    if ((style & 0x0D) || (state & TBSTATE_HIDDEN)) continue;
    std::uint64_t data = 0;
    std::memcpy(&data, button + dataOffset, static_cast<std::size_t>(ptrSize));
    if (!data) continue;
    std::uint64_t handle = 0;
    if (!remote.Read(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(data)), &handle,
                     static_cast<SIZE_T>(ptrSize)))
      continue;
    if (reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle & 0xFFFFFFFFu)) != wanted) continue;
    if (!SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote.Memory)))
      return none;
    RECT r{};
    if (!remote.Read(remote.Memory, &r, sizeof(r))) return none;
    RECT tb{};
    GetWindowRect(toolbar, &tb);
    return TRect{r.left + tb.left, r.top + tb.top, r.right + tb.left, r.bottom + tb.top};
  }
  return none;
}

// ---- images ------------------------------------------------------------------------------

std::unique_ptr<TBitmap> MakeFormImage(TsSkinProvider* Provider, bool DropCache) {
  TBitmap* cache = CacheOf(Provider);
  // A form being freed is not painted again: its children and handlers are going. Nor is a
  // form taking its picture for the hide animation: painting it then leaves a skin state
  // behind on a window that outlives it, so the hide keeps the cache it has.
  if (!cache || !Provider->Form || Provider->Form->Destroying() || Provider->Destroying() ||
      (Provider->FormState() & FS_ANIMCLOSING))
    return nullptr;
  auto image = NewBitmap32(cache->Width(), cache->Height());
  {
    HDC dc = image->Canvas().Handle();
    const int saved = SaveDC(dc);
    PaintControlToBitmap(image.get(), Provider->Form, 0, 0, Provider);
    RestoreDC(dc, saved);
  }
  if (!Provider->BorderForm) {
    const TRect r = Provider->UWPOnForm() ? Provider->UWPClientRect() : TRect{0, 0, image->Width(), image->Height()};
    ApplyAlphaInRect(image.get(), r, 255, kOpaqueNoKey);
  }
  if (DropCache && Provider->FCommonData) Provider->FCommonData->FCacheBmp.reset();
  return image;
}

TacGlowForm* MakeCoverForm(HWND Wnd, TsSkinProvider* Provider) {
  RECT r{};
  if (!Wnd || !GetWindowRect(Wnd, &r)) return nullptr;
  const int w = r.right - r.left, h = r.bottom - r.top;
  TacGlowForm* cover = NewComponent<TacGlowForm>(nullptr);
  cover->SetBounds(r.left, r.top, w, h);
  cover->AlphaBmp = NewBitmap32(w, h);
  if (HDC windowDC = GetWindowDC(Wnd)) {
    BitBlt(cover->AlphaBmp->Canvas().Handle(), 0, 0, w, h, windowDC, 0, 0, SRCCOPY);
    ReleaseDC(Wnd, windowDC);
  }
  ApplyAlphaInRect(cover->AlphaBmp.get(), TRect{0, 0, w, h}, 255, kOpaqueNoKey);
  TsCommonData* state = Provider ? Provider->FCommonData.get()
                                 : reinterpret_cast<TsCommonData*>(SendSkinCommand(Wnd, SKCMD_GET_COMMON_DATA, 0));
  HWND wnd = cover->Handle();
  if (state && state->Skinned()) {
    if (Provider && Provider->UWPOnForm()) {
      FillBetweenRects(cover->AlphaBmp.get(), TRect{0, 0, w, h}, Provider->UWPClientRect(), 0, 0);
    } else {
      TacSkinData* data = state->ReadCommonSkinData();
      HRGN rgn = CreateBorderRegion(state->SkinIndex, cover->AlphaBmp.get(), data);
      TsSkinManager* manager = state->ReadSkinManager();
      if (!manager) manager = DefaultManager();
      const int title = manager ? manager->SkinCommonInfo.Sections[kFormTitleSection] : -1;
      if (rgn && title >= 0 && (GetWindowLongPtrW(Wnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
        if (HRGN titleRgn = CreateBorderRegion(title, cover->AlphaBmp.get(), data)) {
          CombineRgn(rgn, rgn, titleRgn, RGN_OR);
          DeleteObject(titleRgn);
        }
      }
      if (rgn) SetWindowRgn(wnd, rgn, FALSE);
    }
  }
  ShowBitmapLayered(wnd, cover->AlphaBmp.get(), 255);
  SetWindowPos(wnd, HWND_TOPMOST, r.left, r.top, 0, 0,
               SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
  return cover;
}

// ---- the provider's form timer -------------------------------------------------------------

void TsSkinProvider::FreeFormTimer() {
  if (!FormTimer) return;
  TacThreadedTimer* timer = FormTimer;
  FormTimer = nullptr;
  TComponent::Free(timer);
}

// ---- caption cover -------------------------------------------------------------------------

void TacCaptForm::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_ERASEBKGND:
    case WM_NCPAINT: Message.Result = 1; return;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(Handle(), &ps);
      TBitmap* cache = CacheOf(SP);
      if (dc && cache) {
        int x = 0, y = 0;
        if (SP->BorderForm) {
          const int lines = SP->LinesCount();
          x = SP->OffsetX() - SP->BorderWidth();
          y = SP->OffsetY() - lines * SP->MenuHeight() - SP->BorderWidth() - 1;
          HWND formWnd = WndOf(SP->Form);
          if (formWnd && IsZoomed(formWnd) && (GetWindowLongPtrW(formWnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION)
            y += 4;
        }
        RECT client{};
        GetClientRect(Handle(), &client);
        BitBlt(dc, 0, 0, client.right, client.bottom, cache->Canvas().Handle(), x, y, SRCCOPY);
      }
      EndPaint(Handle(), &ps);
      Message.Result = 0;
      return;
    }
    default: TacGlowForm::WndProc(Message);
  }
}

void TsSkinProvider::ShowCaptionCover() {
  HWND wnd = WndOf(Form);
  if (!NonClientSkinned() || InAnimation(this) || !wnd || IsIconic(wnd) || !Form->Showing() ||
      (BorderForm && !MenuPresent()) || (FFormState & FS_BLENDMOVING))
    return;
  if (Form->FormKind() == fkMDIChild && MDISkinProvider && MDISkinProvider->LockCount > 0) return;
  auto alive = FAlive;
  if (!CaptForm) {
    CaptForm = NewComponent<TacCaptForm>(&Application());
    CaptForm->SP = this;
    if (!CaptForm->Handle()) {
      HideCaptionCover();
      return;
    }
  }
  HWND cover = CaptForm->Handle();
  RECT r{};
  GetWindowRect(wnd, &r);
  const bool child = Form->Parent() || Form->FormKind() == fkMDIChild;
  int x = r.left, y = r.top, w = r.right - r.left, h = r.bottom - r.top;
  if (BorderForm) {
    const int side = SysBorderWidth(wnd, BorderForm, false);
    const int lines = LinesCount();
    x = r.left + side;
    w = (r.right - r.left) - 2 * side;
    h = lines * MenuHeight() + 2;
    y = r.top + OffsetY() - lines * MenuHeight() - ShadowSize().Top - BorderFormTitleDiff(BorderForm) - 1;
  } else {
    HRGN rgn = MakeCornerRgn(0, 0);
    if (!rgn) rgn = CreateRectRgn(0, 0, w, h);
    // Less every visible top-level window above the form.
    for (HWND above = GetWindow(wnd, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
      if (above == cover || !IsWindowVisible(above)) continue;
      RECT a{};
      GetWindowRect(above, &a);
      HRGN cut = CreateRectRgn(a.left - r.left, a.top - r.top, a.right - r.left, a.bottom - r.top);
      CombineRgn(rgn, rgn, cut, RGN_DIFF);
      DeleteObject(cut);
    }
    // Less the client rectangle.
    POINT c{0, 0};
    ClientToScreen(wnd, &c);
    RECT cr{};
    GetClientRect(wnd, &cr);
    HRGN clientRgn = CreateRectRgn(c.x - r.left, c.y - r.top, c.x - r.left + cr.right, c.y - r.top + cr.bottom);
    CombineRgn(rgn, rgn, clientRgn, RGN_DIFF);
    DeleteObject(clientRgn);
    if (child) {
      HDC dc = GetWindowDC(wnd);
      RECT clip{};
      const int kind = dc ? GetClipBox(dc, &clip) : NULLREGION;
      if (dc) ReleaseDC(wnd, dc);
      if (kind == NULLREGION || kind == ERROR) {
        DeleteObject(rgn);
        HideCaptionCover();
        return;
      }
      HRGN clipRgn = CreateRectRgnIndirect(&clip);
      CombineRgn(rgn, rgn, clipRgn, RGN_AND);
      DeleteObject(clipRgn);
    }
    SetWindowRgn(cover, rgn, FALSE);
    if (Form->FormKind() == fkMDIChild) h = HeaderHeight();
  }
  HWND after = Form->FormStyle() == fsStayOnTop ? HWND_TOPMOST : HWND_TOP;
  SetWindowPos(cover, after, x, y, w, h,
               SWP_NOREDRAW | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
  ShowWindow(cover, SW_SHOWNA);
  RedrawWindow(cover, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  // Windows draws its caption meanwhile; the cover stays over it for a moment.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 40, 0);
  (void)alive;
}

void TsSkinProvider::HideCaptionCover() {
  if (!CaptForm) return;
  TacCaptForm* cover = CaptForm;
  CaptForm = nullptr;
  TComponent::Free(cover);
}

// ---- moving blend --------------------------------------------------------------------------

std::uint8_t TacMoveTimer::ShownAlpha() const {
  return static_cast<std::uint8_t>(std::clamp(RoundHalfEven(CurrentBlendValue), 0, 255));
}

void TacMoveTimer::TimeHandler() {
  const std::uint8_t alpha = ShownAlpha();
  auto* p = dynamic_cast<TsSkinProvider*>(TimerOwner());
  if (HWND border = BorderWnd(BorderForm); border && p) {
    ShowBitmapLayered(border, CacheOf(p), alpha);
  } else if (FormHandle && IsWindow(FormHandle)) {
    LayeredAlpha(FormHandle, alpha);
    SendSkinCommand(FormHandle, SKCMD_FORM_ALPHA, alpha);
  }
  // The coupled forms fade with their master.
  if (p) SetCoupledAlpha(p, alpha, false);
  if (CurrentBlendValue > BlendValue) CurrentBlendValue -= BlendStep;
}

void StartBlendOnMoving(TsSkinProvider* Provider, bool Drag) {
  if (!Provider || !Provider->Form || (Provider->FormState() & FS_BLENDMOVING)) return;
  Provider->CollectGluedForms();
  TsSkinManager* manager = ManagerOf(Provider);
  if (!manager || !manager->AnimEffects.BlendOnMoving.Active) return;
  HWND wnd = WndOf(Provider->Form);
  if (!wnd) return;
  auto alive = Provider->AliveFlag();
  TForm* form = Provider->Form;
  // 2.
  Provider->SetFormState(Provider->FormState() | FS_BLENDMOVING);
  SendSkinCommand(wnd, SKCMD_MOVE_BLEND_START, 0);
  if (!*alive) return;
  Provider->FreeFormTimer();
  auto* timer = new TacMoveTimer(Provider, true);
  Provider->FormTimer = timer;
  timer->FormHandle = wnd;
  timer->CurrentBlendValue = form->AlphaBlend() ? form->AlphaBlendValue() : 255;
  timer->BlendValue = Provider->AllowBlendOnMoving ? manager->AnimEffects.BlendOnMoving.BlendValue : 255;
  timer->BlendStep = MoveBlendStep(timer->BlendValue, manager->AnimEffects.BlendOnMoving.Time);
  timer->WriteInterval(12);
  TacGlowForm* cover = nullptr;
  if (TacBorderForm* border = Provider->BorderForm; border && BorderWnd(border)) {
    // 3.
    timer->BorderForm = border;
    SendSkinCommand(wnd, SKCMD_MOVE_BLEND_BORDER, 0);
    if (!*alive) return;
    border->UpdateExBordersPos(false, 255);
    if (form->AlphaBlend()) LayeredAlpha(wnd, 0);
    border->ExBorderShowing = true;
    HWND bw = BorderWnd(border);
    SetWindowPos(wnd, bw, 0, 0, 0, 0, kPlaceOnly);
    ShowBitmapLayered(wnd, nullptr, 0);
    timer->WriteEnabled(true);
    SendMessageW(bw, WM_SYSCOMMAND, 0xF012, 0);
    if (!*alive || Provider->BorderForm != border) return;
    // The drag may end with the window pulled above the screen: it goes back to the place
    // it had before that last move.
    border->MovRgnChanged = false;
    if (Vista() && border->LastTopLeft.X != -1 && border->LastTopLeft.Y < -1) {
      if (HWND w = BorderWnd(border)) {
        RECT r{};
        GetWindowRect(w, &r);
        SetWindowPos(w, nullptr, border->LastTopLeft.X, border->LastTopLeft.Y, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        if (!*alive) return;
      }
    }
  } else {
    // 4.
    if (!form->AlphaBlend()) {
      cover = MakeCoverForm(wnd, Provider);
      LayeredAlpha(wnd, 255);
      RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
      if (cover && cover->HandleAllocated()) ShowWindow(cover->Handle(), SW_HIDE);
    }
    timer->WriteEnabled(true);
    if (Drag) {
      SendMessageW(wnd, WM_SYSCOMMAND, 0xF012, 0);
      if (!*alive || !IsWindow(wnd)) {
        if (cover) TComponent::Free(cover);
        return;
      }
    }
  }
  // 5.
  if (Drag) StopBlendOnMoving(Provider, cover);
  else if (cover) TComponent::Free(cover);
}

void StopBlendOnMoving(TsSkinProvider* Provider, TacGlowForm* CoverForm) {
  if (GStoppingBlend || !Provider || !Provider->Form) {
    if (CoverForm && !GStoppingBlend) TComponent::Free(CoverForm);
    return;
  }
  GStoppingBlend = true;
  struct TFlagReset {
    ~TFlagReset() { GStoppingBlend = false; }
  } reset;
  auto alive = Provider->AliveFlag();
  TForm* form = Provider->Form;
  HWND wnd = WndOf(form);
  if (!wnd) {
    if (CoverForm) TComponent::Free(CoverForm);
    return;
  }
  TacBorderForm* border = Provider->BorderForm;
  if (HWND bw = BorderWnd(border)) {
    ShowBitmapLayered(bw, CacheOf(Provider), form->AlphaBlend() ? form->AlphaBlendValue() : 255);
    RECT b{};
    GetWindowRect(bw, &b);
    const int side = SysBorderWidth(wnd, border, false);
    const int x = b.left + BorderFormBorderWidth(border) + Provider->ShadowSize().Left - side;
    const int y = b.top + (Provider->FSysExHeight
                               ? side + Provider->ShadowSize().Top + BorderFormTitleDiff(border)
                               : border->OffsetY());
    SetWindowPos(wnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
    Provider->SetFormState(Provider->FormState() & ~FS_BLENDMOVING);
    SendSkinCommand(wnd, SKCMD_FORM_REPAINTED, 0);
    if (!*alive) return;
    if (form->AlphaBlend()) {
      border->ExBorderShowing = false;
      border->UpdateExBordersPos(true, 255);
      LayeredAlpha(wnd, form->AlphaBlendValue());
    } else {
      SetWindowPos(wnd, bw, 0, 0, 0, 0, kPlaceOnly);
      DropLayered(wnd);
    }
    Provider->FCommonData->BGChanged = true;
    RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
    if (form != Application().MainForm()) Sleep(20);
    SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE);
    if (IsDwmCompositionOn() && Provider->MenuPresent()) Provider->ProcessMessage(WM_NCPAINT, 0, 0);
    if (!*alive) return;
    border->ExBorderShowing = false;
    border->UpdateExBordersPos(true, 255);
    POINT cursor{};
    GetCursorPos(&cursor);
    const TRect work = WorkAreaAtPoint(TRect{cursor.x, cursor.y, cursor.x + 1, cursor.y + 1});
    if (cursor.y == work.Top && form->BorderStyle() == bsSizeable && (form->BorderIcons() & biMaximize))
      form->SetWindowState(wsMaximized);
  } else {
    if (form->AlphaBlend()) {
      LayeredAlpha(wnd, form->AlphaBlendValue());
      SendSkinCommand(wnd, SKCMD_FORM_ALPHA, form->AlphaBlendValue());
      if (CoverForm) TComponent::Free(CoverForm);
    } else {
      TacGlowForm* cover = CoverForm ? CoverForm : MakeCoverForm(wnd, Provider);
      if (cover && cover->HandleAllocated()) {
        SetWindowPos(cover->Handle(), HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOREDRAW);
        ShowBitmapLayered(cover->Handle(), cover->AlphaBmp.get(), 255);
      }
      DropLayered(wnd);
      UpdateWindow(wnd);
      if (Provider->FormTimer) Provider->FormTimer->WriteEnabled(false);
      RedrawWindow(wnd, nullptr, nullptr, kRedrawAll);
      if (cover) TComponent::Free(cover);
    }
    if (!*alive) return;
    Provider->SetFormState(Provider->FormState() & ~FS_BLENDMOVING);
    SendSkinCommand(wnd, SKCMD_FORM_ALPHA, 255);
    if (!*alive) return;
    SendSkinCommand(wnd, SKCMD_FORM_REPAINTED, 0);
    if (!*alive) return;
  }
  SetCoupledAlpha(Provider, 255, true);
  if (!*alive) return;
  if (auto* timer = dynamic_cast<TacMoveTimer*>(Provider->FormTimer)) timer->CurrentBlendValue = 255;
  Provider->FreeFormTimer();
}

// ---- minimize and restore ------------------------------------------------------------------

TacMinTimer* TacMinTimer::CreateOwned(TsSkinProvider* Owner, bool ChangeEvent) {
  auto* timer = new TacMinTimer(Owner, ChangeEvent);
  timer->sp = Owner;
  timer->InitData();
  return timer;
}

TacMinTimer::~TacMinTimer() { FreeAnimForm(); }

void TacMinTimer::FreeAnimForm() {
  if (AnimForm && AlphaFormWasCreated) TComponent::Free(AnimForm);
  AnimForm = nullptr;
  AlphaFormWasCreated = false;
}

std::uint8_t TacMinTimer::AlphaFrom() {
  std::uint8_t value = 255;
  if (sp && sp->Form && sp->Form->AlphaBlend()) value = sp->Form->AlphaBlendValue();
  if (Vista() && !IsDwmCompositionOn()) return value;
  TsSkinManager* manager = ManagerOf(sp);
  if (manager && manager->AnimEffects.Minimizing.Time > 12 && !Minimized) value = static_cast<std::uint8_t>(value / 4);
  return value;
}

TRect TacMinTimer::GetRectTo(const TRect& From) {
  HWND taskbar = TaskbarWindow();
  if (!taskbar) return TRect{};
  if (!IsDwmCompositionOn()) {
    const TRect button = GetTaskbarButtonRect();
    if (!button.IsEmpty()) return button;
  }
  RECT t{};
  GetWindowRect(taskbar, &t);
  return TaskbarTargetRect(TRect{t.left, t.top, t.right, t.bottom}, From, TBPosition);
}

void TacMinTimer::UpdateDstRect() {
  RectTo = GetRectTo(RectFrom);
  XTo = RectTo.Left;
  YTo = RectTo.Top;
  XFrom = (RectTo.Left + RectFrom.Left) / 2;
  YFrom = (RectTo.Top + RectFrom.Top) / 2;
  DeltaX = static_cast<double>(XTo - XFrom) / StepCount;
  DeltaY = static_cast<double>(YTo - YFrom) / StepCount;
  DeltaW = static_cast<double>(RectFrom.Width() - RectTo.Width()) / (2.0 * StepCount);
  DeltaH = static_cast<double>(RectFrom.Height() - RectTo.Height()) / (2.0 * StepCount);
  AlphaTo = 0;
}

void TacMinTimer::InitData() {
  WriteInterval(6);
  if (sp) BorderForm = sp->BorderForm;
  TsSkinManager* manager = ManagerOf(sp);
  StepCount = MinimizeStepCount(manager ? manager->AnimEffects.Minimizing.Time : 0);
  AlphaOrigin = AlphaFrom();
  if (!FormHandle && sp) FormHandle = WndOf(sp->Form);
  CurrentAlpha = AlphaFrom();
  if (CurrentAlpha <= 0 && Minimized) {
    CurLeft = RectTo.Left;
    CurTop = RectTo.Top;
    CurRight = RectTo.Right;
    CurBottom = RectTo.Bottom;
  } else {
    RECT r{};
    if (HWND bw = BorderWnd(BorderForm))
      GetWindowRect(bw, &r);
    else if (FormHandle)
      GetWindowRect(FormHandle, &r);
    RectFrom = TRect{r.left, r.top, r.right, r.bottom};
    UpdateDstRect();
    CurLeft = XFrom;
    CurTop = YFrom;
    CurRight = CurLeft + RectTo.Width();
    CurBottom = CurTop + RectTo.Height();
  }
  BlendStep = (static_cast<double>(AlphaFrom()) - AlphaTo) / std::max(1, StepCount - 1);
  if (!AlphaBmp) AlphaBmp = NewBitmap32(0, 0);
  AlphaBmp->SetSize(std::max(0, RectFrom.Width()), std::max(0, RectFrom.Height()));
  if (BorderWnd(BorderForm)) {
    FreeAnimForm();
    AnimForm = BorderForm->AForm;
  } else {
    FreeAnimForm();
    if (FormHandle) {
      AnimForm = MakeCoverForm(FormHandle, sp);
      AlphaFormWasCreated = AnimForm != nullptr;
      if (AnimForm) SetWindowRgn(AnimForm->Handle(), nullptr, FALSE);
    }
  }
}

void TacMinTimer::InitDataRestore() {
  WriteInterval(6);
  CurLeft = RectFrom.Left + (RectTo.Left - RectFrom.Left) / 4;
  CurTop = RectFrom.Top + std::max((RectTo.Top - RectFrom.Top) / 4, 80);
  CurRight = CurLeft + RectFrom.Width();
  CurBottom = CurTop + RectFrom.Height();
  CurrentAlpha = 1;
  TsSkinManager* manager = ManagerOf(sp);
  const int n = (manager ? manager->AnimEffects.Minimizing.Time : 0) / static_cast<int>(std::max<DWORD>(1, Interval())) + 1;
  DelPosX = RestoreDivisor(std::fabs(CurLeft - RectFrom.Left), n);
  DelPosY = RestoreDivisor(std::fabs(CurTop - RectFrom.Top), n);
  BlendDel = RestoreDivisor(255, n);
  if (!AlphaBmp) AlphaBmp = NewBitmap32(RectFrom.Width(), RectFrom.Height());
  if (SavedImage && !AlphaBmp->Empty())
    BitBlt(AlphaBmp->Canvas().Handle(), 0, 0, AlphaBmp->Width(), AlphaBmp->Height(), SavedImage->Canvas().Handle(), 0, 0,
           SRCCOPY);
}

void TacMinTimer::EndMinimize() {
  WriteEnabled(false);
  if (sp) {
    sp->fAnimating = false;
    sp->SetHotHT(0, false);
    sp->SetFormState(sp->FormState() & ~FS_ANIMMINIMIZING);
  }
  DropLayered(FormHandle);
  if (BorderForm && BorderWnd(BorderForm)) {
    BorderForm->FreeBorderWindow();
    AnimForm = nullptr;
    TApplication& app = Application();
    if (app.MainFormOnTaskBar && app.MainForm() && app.MainForm()->HandleAllocated())
      SetActiveWindow(app.MainForm()->Handle());
    BorderForm->ExBorderShowing = false;
    BorderForm->UpdateExBordersPos(true, 255);
  } else if (AnimForm && AnimForm->HandleAllocated()) {
    // The frame was cleared at the start of this step.
    ShowBitmapLayered(AnimForm->Handle(), AlphaBmp.get(), 0);
    ShowWindow(AnimForm->Handle(), SW_HIDE);
    if (sp) sp->ProcessMessage(WM_NCPAINT, 0, 0);
  }
  Minimized = true;
}

void TacMinTimer::EndRestore(const std::shared_ptr<bool>& Alive) {
  WriteEnabled(false);
  HWND anim = WndOf(AnimForm);
  const TPoint at{RoundHalfEven(CurLeft), RoundHalfEven(CurTop)};
  TForm* form = sp ? sp->Form : nullptr;
  const bool alphaBlend = form && form->AlphaBlend();
  if (!Vista() || IsDwmCompositionOn() || !BorderForm) {
    ShowBitmapLayered(anim, SavedImage.get(), AlphaFrom(), &at);
  } else {
    // A region left stale by the frames' moves is rebuilt before the picture shows opaque.
    BorderForm->UpdateRgn();
    ShowBitmapLayered(anim, SavedImage.get(), alphaBlend ? form->AlphaBlendValue() : 255, &at);
  }
  if (FormHandle && IsIconic(FormHandle)) {
    // Windows' own animation stays off around the show, also when it raises.
    TSystemAnimationOff off;
    ShowWindow(FormHandle, IsZoomed(FormHandle) ? SW_MAXIMIZE : SW_SHOWNOACTIVATE);
  }
  if (!*Alive) return;
  anim = WndOf(AnimForm);
  if (anim) SetWindowPos(anim, HWND_TOP, 0, 0, 0, 0, kPlaceOnly | SWP_SHOWWINDOW);
  if (sp && (sp->FormState() & FS_DISABLED) && FormHandle) {
    ShowWindow(FormHandle, SW_SHOWNOACTIVATE);
    Sleep(50);
  }
  if (alphaBlend) {
    LayeredAlpha(FormHandle, form->AlphaBlendValue());
  } else {
    if (anim) ShowBitmapLayered(anim, SavedImage.get(), 255);
    if (sp) sp->ApplyWindowRgn(false, false);
  }
  if (!*Alive) return;
  TacBorderForm* border = BorderForm;
  if (sp) {
    sp->fAnimating = false;
    sp->SetFormState(sp->FormState() & ~FS_ANIMRESTORING);
    if (border && sp->ExtBordersAllowed()) {
      border->ExBorderShowing = false;
    } else if (border) {
      border->FreeBorderWindow();
      AnimForm = nullptr;
      delete sp->BorderForm;
      sp->BorderForm = nullptr;
      BorderForm = border = nullptr;
      if (form != Application().MainForm()) sp->FCommonData->BGChanged = true;
    } else if (sp->MenuPresent() && IsDwmCompositionOn()) {
      sp->FCommonData->BGChanged = true;
    }
  }
  if (FormHandle) {
    RedrawWindow(FormHandle, nullptr, nullptr, kRedrawAll);
    if (alphaBlend)
      LayeredAlpha(FormHandle, form->AlphaBlendValue());
    else
      DropLayered(FormHandle);
  }
  Minimized = false;
  if (!*Alive) return;
  if (FormHandle && IsWindowEnabled(FormHandle) && IsWindowVisible(FormHandle)) {
    SetActiveWindow(FormHandle);
    SetFocus(FormHandle);
  }
  if (!*Alive) return;
  anim = WndOf(AnimForm);
  if (anim && FormHandle) SetWindowPos(anim, FormHandle, 0, 0, 0, 0, kPlaceOnly);
  if (border && anim && anim == BorderWnd(border)) {
    border->UpdateExBordersPos(true, 255);
    AnimForm = nullptr;
  } else {
    FreeAnimForm();
  }
  if (sp && (sp->FormState() & FS_DISABLED)) {
    sp->UpdateDisabledOverlay();
    if (!*Alive) return;
  }
  if (Application().OnRestore) Application().OnRestore();
}

void TacMinTimer::TimeHandler() {
  if (InHandler) return;
  InHandler = true;
  const std::shared_ptr<bool> alive = Alive();
  struct TGuard {
    TacMinTimer* T;
    std::shared_ptr<bool> A;
    ~TGuard() {
      if (*A) T->InHandler = false;
    }
  } guard{this, alive};
  const std::uint32_t state = sp ? sp->FormState() : 0;
  // 1.
  if (Minimized && (state & FS_ANIMMINIMIZING)) Minimized = false;
  if (!Minimized && (state & FS_ANIMRESTORING)) Minimized = true;
  HWND anim = WndOf(AnimForm);
  if (!anim) {
    WriteEnabled(false);
    return;
  }
  if (BorderForm) BorderForm->ExBorderShowing = true;
  if (Minimized) {
    // 2. Restore path.
    if (state & FS_RESTORING) return;
    CurLeft = RectFrom.Left - (RectFrom.Left - CurLeft) / DelPosX;
    CurTop = RectFrom.Top - (RectFrom.Top - CurTop) / DelPosY;
    CurRight = CurLeft + RectFrom.Width();
    CurBottom = CurTop + RectFrom.Height();
    CurrentAlpha = 255 - (255 - CurrentAlpha) / BlendDel;
    if (CurrentAlpha >= AlphaFrom() - 5 && std::fabs(CurLeft - RectFrom.Left) < 1 &&
        std::fabs(CurTop - RectFrom.Top) < 1) {
      EndRestore(alive);
      return;
    }
  } else {
    // 3. Minimize path.
    AlphaBmp->Canvas().Brush.Color = clBlack;
    AlphaBmp->Canvas().FillRect(TRect{0, 0, AlphaBmp->Width(), AlphaBmp->Height()});
    CurLeft += DeltaX + DeltaW;
    CurRight += DeltaX - DeltaW;
    CurTop += DeltaY + DeltaH;
    CurBottom += DeltaY - DeltaH;
    CurrentAlpha = std::max(CurrentAlpha - BlendStep, 0.0);
    if (CurrentAlpha <= 0) {
      EndMinimize();
      return;
    }
    if (SavedImage) {
      HDC dc = AlphaBmp->Canvas().Handle();
      SetStretchBltMode(dc, COLORONCOLOR);
      StretchBlt(dc, 0, 0, RoundHalfEven(std::max(CurRight - CurLeft, 0.0)),
                 RoundHalfEven(std::max(CurBottom - CurTop, 0.0)), SavedImage->Canvas().Handle(), 0, 0,
                 SavedImage->Width(), SavedImage->Height(), SRCCOPY);
    }
  }
  // 4.
  const TPoint at{RoundHalfEven(CurLeft), RoundHalfEven(CurTop)};
  ShowBitmapLayered(anim, AlphaBmp.get(), static_cast<std::uint8_t>(std::clamp(RoundHalfEven(CurrentAlpha), 0, 255)),
                    &at);
  if (HWND taskbar = TaskbarWindow())
    SetWindowPos(anim, taskbar, 0, 0, 0, 0, kPlaceOnly | SWP_SHOWWINDOW);
  else
    SetWindowPos(anim, nullptr, 0, 0, 0, 0, kPlaceOnly | SWP_NOZORDER | SWP_SHOWWINDOW);
}

bool StartMinimizing(TsSkinProvider* Provider) {
  if (!Provider || !Provider->Form) return false;
  if (Vista() && !IsDwmCompositionOn()) return false;
  TsSkinManager* manager = ManagerOf(Provider);
  HWND wnd = WndOf(Provider->Form);
  bool answer = false;
  if (MinimizeAllowed(manager) && wnd) {
    // 1.
    Provider->KillAnimations();
    if (Provider->FormState() & FS_ANIMMINIMIZING) return true;
    Provider->SetFormState(Provider->FormState() | FS_ANIMMINIMIZING);
    Provider->fAnimating = true;
    // 2.
    auto* timer = dynamic_cast<TacMinTimer*>(Provider->FormTimer);
    if (Provider->FormTimer && !timer) Provider->FreeFormTimer();
    if (!timer) {
      timer = TacMinTimer::CreateOwned(Provider, true);
      Provider->FormTimer = timer;
    } else if (!(Provider->FormState() & FS_ANIMRESTORING)) {
      timer->InitData();
    }
    Provider->SetFormState(Provider->FormState() & ~FS_ANIMRESTORING);
    // 3.
    if (timer->CurrentAlpha >= timer->AlphaFrom()) {
      TBitmap* cache = CacheOf(Provider);
      if (TacBorderForm* border = Provider->BorderForm; border && BorderWnd(border)) {
        border->UpdateExBordersPos(false, 255);
        EnableBlurBehind(BorderWnd(border), false);
        timer->SavedImage = CopyOf(CacheOf(Provider));
        Provider->FormActive = true;
        Provider->FCommonData->BGChanged = true;
        Provider->PaintAll();
        cache = CacheOf(Provider);
        if (cache && timer->SavedImage) {
          // The client part keeps the copy taken before.
          HDC dc = timer->SavedImage->Canvas().Handle();
          const int saved = SaveDC(dc);
          RECT client{};
          GetClientRect(wnd, &client);
          ExcludeClipRect(dc, Provider->OffsetX(), Provider->OffsetY(), Provider->OffsetX() + client.right,
                          Provider->OffsetY() + client.bottom);
          BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
          RestoreDC(dc, saved);
        }
        border->ExBorderShowing = true;
        SetWindowPos(BorderWnd(border), HWND_TOPMOST, 0, 0, 0, 0, kPlaceOnly);
        SetWindowRgn(BorderWnd(border), nullptr, FALSE);
      } else {
        timer->SavedImage = MakeFormImage(Provider, false);
        if (!Provider->FormActive && timer->SavedImage) {
          Provider->FormActive = true;
          Provider->FCommonData->BGChanged = true;
          Provider->PaintAll();
          cache = CacheOf(Provider);
          if (cache) {
            HDC dc = timer->SavedImage->Canvas().Handle();
            const int saved = SaveDC(dc);
            RECT client{};
            GetClientRect(wnd, &client);
            const int cx = SysBorderWidth(wnd, nullptr, true);
            const int cy = SysBorderHeight(wnd, nullptr, true) + SysCaptionHeight(Provider, 0);
            ExcludeClipRect(dc, cx, cy, cx + client.right, cy + client.bottom);
            BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas().Handle(), 0, 0, SRCCOPY);
            RestoreDC(dc, saved);
          }
        }
        if (timer->SavedImage && !Provider->UWPOnForm())
          ApplyAlphaInRect(timer->SavedImage.get(), TRect{0, 0, timer->SavedImage->Width(), Provider->CaptionHeight(true)},
                           255, kOpaqueNoKey);
      }
    }
    // 4. The layer form of the provider is the cover made for the hide animation.
    if (Provider->CoverForm && Provider->CoverForm->HandleAllocated() && IsWindowVisible(Provider->CoverForm->Handle()))
      ShowWindow(Provider->CoverForm->Handle(), SW_HIDE);
    LayeredAlpha(wnd, 0);
    if (!IsDwmCompositionOn()) Sleep(48);
    auto alive = timer->Alive();
    timer->TimeHandler();
    if (*alive && timer->StepCount > 1 && Provider->FormTimer == timer && !timer->Minimized) timer->WriteEnabled(true);
    answer = true;
  }
  // 5.
  if (HWND taskbarWnd = TaskbarWindowOf(Provider)) {
    if (manager) manager->SetIconicRepresentation(taskbarWnd, true);
    InvalidateTaskbarBitmaps(taskbarWnd);
  }
  return answer;
}

bool StartRestoring(TsSkinProvider* Provider) {
  if (!Provider) return false;
  TsSkinManager* manager = ManagerOf(Provider);
  auto* timer = dynamic_cast<TacMinTimer*>(Provider->FormTimer);
  if (timer && MinimizeAllowed(manager) && !(Provider->FormState() & FS_ANIMRESTORING)) {
    Provider->SetFormState((Provider->FormState() & ~FS_ANIMMINIMIZING) | FS_ANIMRESTORING);
    if (manager->Options.NativeBordersMaximized && Provider->MaxRestore && Provider->BorderForm) {
      delete Provider->BorderForm;
      Provider->BorderForm = nullptr;
      timer->BorderForm = nullptr;
    }
    Provider->fAnimating = true;
    manager->ShowState = saRestore;
    Provider->FormActive = true;
    timer->InitDataRestore();
    HWND wnd = WndOf(Provider->Form);
    if (TacBorderForm* border = Provider->BorderForm) {
      border->ExBorderShowing = true;
      if (!BorderWnd(border)) {
        border->CreateNewForm();
        if (HWND bw = BorderWnd(border)) ShowBitmapLayered(bw, timer->AlphaBmp.get(), 0);
      }
      timer->BorderForm = border;
      if (timer->AlphaFormWasCreated) timer->FreeAnimForm();
      timer->AnimForm = border->AForm;
      if (HWND bw = BorderWnd(border)) SetWindowPos(bw, HWND_TOPMOST, 0, 0, 0, 0, kPlaceOnly);
      LayeredAlpha(wnd, 0);
      timer->WriteEnabled(true);
    } else if (!Vista() || IsDwmCompositionOn()) {
      if (!WndOf(timer->AnimForm) && wnd) {
        // The cover of the minimize went with its end: a new one shows the frames.
        timer->FreeAnimForm();
        timer->AnimForm = NewComponent<TacGlowForm>(nullptr);
        timer->AnimForm->SetBounds(timer->RectFrom.Left, timer->RectFrom.Top, timer->RectFrom.Width(),
                                   timer->RectFrom.Height());
        timer->AlphaFormWasCreated = true;
        ShowBitmapLayered(timer->AnimForm->Handle(), timer->AlphaBmp.get(), 0);
      }
      SetWindowPos(WndOf(timer->AnimForm), HWND_TOPMOST, 0, 0, 0, 0, kPlaceOnly);
      LayeredAlpha(wnd, 0);
      timer->WriteEnabled(true);
    }
    if (HWND taskbarWnd = TaskbarWindowOf(Provider)) manager->SetIconicRepresentation(taskbarWnd, false);
    Provider->SkipAnimation = false;
    return true;
  }
  Provider->SkipAnimation = false;
  return false;
}

// ---- rescale -------------------------------------------------------------------------------

void TsSkinProvider::StartScaleAnimation(int NewPPI, bool Recreate) {
  HWND wnd = WndOf(Form);
  if (!AllowScale || !wnd || NewPPI <= 0) return;
  FScaleThread.reset();
  auto thread = std::make_unique<TacScaleThread>([this](TacScaleThread* t) { ScaleAnimationStep(t); });
  FCommonData->CtrlSkinState |= 0x1000000;
  SendSkinCommand(wnd, SKCMD_FORM_REPAINTED, 0);
  thread->CanRecreate = Recreate;
  thread->OldPPI = FCommonData->CurrentPPI > 0 ? FCommonData->CurrentPPI : 96;
  if (HWND bw = BorderForm ? BorderWnd(BorderForm) : nullptr) {
    BorderForm->Locked = true;
    EnableBlurBehind(bw, false);
    thread->OwnedSrcBmp = CopyOf(CacheOf(this));
    if (thread->OwnedSrcBmp) {
      RECT client{};
      GetClientRect(wnd, &client);
      if (HDC dc = GetDC(wnd)) {
        BitBlt(thread->OwnedSrcBmp->Canvas().Handle(), OffsetX(), OffsetY(), client.right, client.bottom, dc, 0, 0,
               SRCCOPY);
        ReleaseDC(wnd, dc);
      }
      ApplyAlphaInRect(thread->OwnedSrcBmp.get(),
                       TRect{OffsetX(), OffsetY(), OffsetX() + client.right, OffsetY() + client.bottom}, 255, kOpaqueNoKey);
    }
    thread->SrcBmp = thread->OwnedSrcBmp.get();
    RECT b{};
    GetWindowRect(bw, &b);
    const TPoint at{b.left, b.top};
    ShowBitmapLayered(bw, thread->SrcBmp, 255, &at);
  } else {
    thread->ThreadCoverForm = MakeCoverForm(wnd, this);
    thread->CoverOwned = true;
    thread->SrcBmp = thread->ThreadCoverForm ? thread->ThreadCoverForm->AlphaBmp.get() : nullptr;
  }
  HWND cover = BorderForm && BorderWnd(BorderForm) ? BorderWnd(BorderForm) : WndOf(thread->ThreadCoverForm);
  if (!cover || !thread->SrcBmp) {
    FCommonData->CtrlSkinState &= ~0x1000000u;
    return;
  }
  ShowWindow(cover, SW_SHOWNA);
  SetWindowRgn(cover, nullptr, FALSE);
  LayeredAlpha(wnd, 0);
  RECT c{};
  GetWindowRect(cover, &c);
  const int w = c.right - c.left, h = c.bottom - c.top;
  thread->NewBoundsRect = TRect{0, 0, NewPPI * w / thread->OldPPI, NewPPI * h / thread->OldPPI};
  thread->NewAlphaBmp = NewBitmap32(w, h);
  thread->p = TPoint{c.left, c.top};
  FScaleThread = std::move(thread);
  FScaleThread->Start();
}

void TsSkinProvider::ScaleAnimationStep(TacScaleThread* Thread) {
  if (!Thread || Thread->Terminated() || !Thread->NewAlphaBmp) return;
  HWND wnd = WndOf(Form);
  HWND cover = BorderForm && BorderWnd(BorderForm) ? BorderWnd(BorderForm) : WndOf(Thread->ThreadCoverForm);
  TBitmap* frame = Thread->NewAlphaBmp.get();
  const int tw = Thread->NewBoundsRect.Right, th = Thread->NewBoundsRect.Bottom;
  if (std::abs(frame->Width() - tw) <= 2 && std::abs(frame->Height() - th) <= 2) {
    TsSkinManager* manager = Manager();
    if (manager && (manager->ManagerState & msScaleChanging)) return;  // the next tick asks again
    if (BorderForm && BorderWnd(BorderForm)) {
      const int side = SysBorderWidth(wnd, BorderForm, false);
      Thread->DeltaX = BorderFormBorderWidth(BorderForm) + ShadowSize().Left - side;
      Thread->DeltaY = FSysExHeight ? side + ShadowSize().Top + BorderFormTitleDiff(BorderForm) : BorderForm->OffsetY();
    } else {
      Thread->DeltaX = 0;
      Thread->DeltaY = wnd ? frame->Height() - WndHeight(wnd) : 0;
    }
    auto alive = FAlive;
    if (wnd) {
      SetWindowPos(wnd, nullptr, Thread->p.X + Thread->DeltaX, Thread->p.Y + Thread->DeltaY, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      DropLayered(wnd);
    }
    if (!*alive) return;
    if (BorderForm && BorderWnd(BorderForm)) {
      FCommonData->BGChanged = true;
      BorderForm->Locked = false;
      BorderForm->ExBorderShowing = false;
      BorderForm->UpdateExBordersPos(true, 255);
    } else if (cover) {
      ShowWindow(cover, SW_HIDE);
    }
    FCommonData->CtrlSkinState &= ~0x1000000u;
    if (wnd) SendSkinCommand(wnd, SKCMD_FORM_REPAINTED, 0);
    if (!*alive) return;
    const bool recreate = Thread->CanRecreate && MajorVersion() >= 10;
    // The thread's bitmaps and event go with its end.
    Thread->Terminate();
    if (recreate && wnd) Form->Perform(CM_RECREATEWND, 0, 0);
    return;
  }
  Thread->lTicks = GetTickCount();
  const int w = ScaleStepSize(frame->Width(), tw), h = ScaleStepSize(frame->Height(), th);
  frame->SetSize(w, h);
  if (Thread->SrcBmp)
    StretchBitmapGdiPlus(frame, Thread->SrcBmp, TRect{0, 0, w + 1, h + 1},
                         TRect{0, 0, Thread->SrcBmp->Width(), Thread->SrcBmp->Height()});
  if (cover) ShowBitmapLayered(cover, frame, 255, &Thread->p);
}
