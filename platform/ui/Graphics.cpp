#include "platform/ui/Graphics.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "platform/runtime/Streams.h"
#include "platform/ui/Graphics.Bmp.h"
#include "platform/ui/Graphics.Dwm.h"

TColor ColorToRGB(TColor color) {
  if (color < 0) return static_cast<TColor>(GetSysColor(color & 0xFF));
  return color;
}

// ---------------------------------------------------------------------------
// TBrush, TPen
// ---------------------------------------------------------------------------

TGdiRef TBrush::HandleRef() {
  if (FHandle && FMadeColor == Color && FMadeStyle == Style) return FHandle;
  if (Style == bsClear) {
    FHandle = std::make_shared<const TGdiObject>(GetStockObject(NULL_BRUSH), false);
  } else {
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(Color)));
    if (!brush) throw EOutOfResources(L"Out of system resources");
    FHandle = std::make_shared<const TGdiObject>(brush);
  }
  FMadeColor = Color;
  FMadeStyle = Style;
  return FHandle;
}

TGdiRef TPen::HandleRef() {
  if (FHandle && FMadeColor == Color && FMadeWidth == Width && FMadeStyle == Style) return FHandle;
  if (Style == psClear) {
    FHandle = std::make_shared<const TGdiObject>(GetStockObject(NULL_PEN), false);
  } else {
    HPEN pen = CreatePen(PS_SOLID, std::max(Width, 0), static_cast<COLORREF>(ColorToRGB(Color)));
    if (!pen) throw EOutOfResources(L"Out of system resources");
    FHandle = std::make_shared<const TGdiObject>(pen);
  }
  FMadeColor = Color;
  FMadeWidth = Width;
  FMadeStyle = Style;
  return FHandle;
}

// ---------------------------------------------------------------------------
// TCanvas
// ---------------------------------------------------------------------------

TCanvas::TCanvas() { InitializeCriticalSection(&FLock); }

TCanvas::TCanvas(HDC dc) : FHandle(dc) { InitializeCriticalSection(&FLock); }

TCanvas::~TCanvas() {
  DetachHandle();
  DeleteCriticalSection(&FLock);
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == FHandle) return;
  DetachHandle();
  FHandle = dc;
}

void TCanvas::Lock() {
  EnterCriticalSection(&FLock);
  ++FLockCount;
}

bool TCanvas::TryLock() {
  if (!TryEnterCriticalSection(&FLock)) return false;
  ++FLockCount;
  return true;
}

void TCanvas::Unlock() {
  --FLockCount;
  LeaveCriticalSection(&FLock);
}

HDC TCanvas::DetachHandle() {
  HDC dc = FHandle;
  if (dc) {
    // Ours go out before the last reference to them may delete them.
    if (FOriginalFont) SelectObject(dc, FOriginalFont);
    if (FOriginalPen) SelectObject(dc, FOriginalPen);
    if (FOriginalBrush) SelectObject(dc, FOriginalBrush);
  }
  FOriginalFont = FOriginalPen = FOriginalBrush = nullptr;
  FFont.reset();
  FPen.reset();
  FBrush.reset();
  FHandle = nullptr;
  return dc;
}

HDC TCanvas::Handle() {
  if (!FHandle) {
    FHandle = CreateHandle();
    if (!FHandle) throw EOutOfResources(L"Out of system resources");
  }
  return FHandle;
}

void TCanvas::Select(TGdiRef object, TGdiRef& held, HGDIOBJ& original) {
  if (held == object) return;
  HGDIOBJ previous = SelectObject(FHandle, object->Handle());
  if (!original) original = previous;
  held = std::move(object);  // the one taken out may go now
}

HDC TCanvas::Require(unsigned needs) {
  Handle();
  if (needs & NeedFont) Select(Font.HandleRef(), FFont, FOriginalFont);
  if (needs & NeedPen) Select(Pen.HandleRef(), FPen, FOriginalPen);
  if (needs & NeedBrush) Select(Brush.HandleRef(), FBrush, FOriginalBrush);
  return FHandle;
}

TColor TCanvas::Pixel(int x, int y) { return static_cast<TColor>(GetPixel(Handle(), x, y)); }

void TCanvas::FillRect(const TRect& r) {
  if (Brush.Style == bsClear) return;
  ::FillRect(Handle(), r.AsRECT(), Brush.Handle());
}

void TCanvas::Rectangle(const TRect& r) {
  ::Rectangle(Require(NeedPen | NeedBrush), r.Left, r.Top, r.Right, r.Bottom);
}

void TCanvas::Polygon(const TPoint* points, int count) {
  static_assert(sizeof(TPoint) == sizeof(POINT));
  if (count < 2) return;
  ::Polygon(Require(NeedPen | NeedBrush), reinterpret_cast<const POINT*>(points), count);
}

void TCanvas::MoveTo(int x, int y) { MoveToEx(Handle(), x, y, nullptr); }

void TCanvas::LineTo(int x, int y) { ::LineTo(Require(NeedPen), x, y); }

void TCanvas::TextRect(const TRect& r, int x, int y, const std::wstring& text) {
  HDC dc = Require(NeedFont);
  UINT options = ETO_CLIPPED;
  const COLORREF oldColor = SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(Font.Color)));
  COLORREF oldBack = CLR_INVALID;
  int oldMode = 0;
  if (Brush.Style == bsClear) {
    oldMode = SetBkMode(dc, TRANSPARENT);
  } else {
    options |= ETO_OPAQUE;
    oldBack = SetBkColor(dc, static_cast<COLORREF>(ColorToRGB(Brush.Color)));
  }
  ::ExtTextOutW(dc, x, y, options, r.AsRECT(), text.c_str(), static_cast<UINT>(text.size()), nullptr);
  if (oldBack != CLR_INVALID) SetBkColor(dc, oldBack);
  if (oldMode) SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColor);
}

TSize TCanvas::TextExtent(const std::wstring& text) {
  SIZE size = {};
  if (!GetTextExtentPoint32W(Require(NeedFont), text.c_str(), static_cast<int>(text.size()), &size)) return {};
  return TSize{size.cx, size.cy};
}

HDC TCanvas::FontHandle() {
  HDC dc = Require(NeedFont);
  SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(Font.Color)));
  return dc;
}

void TCanvas::StretchDraw(const TRect& r, TBitmap* bitmap) {
  if (!bitmap || bitmap->Empty()) return;
  HDC dc = Handle();
  const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  ::StretchBlt(dc, r.Left, r.Top, r.Width(), r.Height(), bitmap->Canvas().Handle(), 0, 0, bitmap->Width(),
               bitmap->Height(), SRCCOPY);
  SetStretchBltMode(dc, oldMode);
}

void TCanvas::RoundRect(const TRect& r, int cx, int cy) {
  ::RoundRect(Require(NeedPen | NeedBrush), r.Left, r.Top, r.Right, r.Bottom, cx, cy);
}

void TCanvas::TextOut(int x, int y, const std::wstring& text) {
  HDC dc = Require(NeedFont);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(Font.Color)));
  ::TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}

TWindowCanvas::~TWindowCanvas() {
  if (HDC dc = DetachHandle()) ReleaseDC(FWnd, dc);
}

HDC TWindowCanvas::CreateHandle() { return GetDC(FWnd); }

TBitmapCanvas::~TBitmapCanvas() {
  if (HDC dc = DetachHandle()) {
    SelectObject(dc, FInitialBitmap);
    DeleteDC(dc);
  }
}

HDC TBitmapCanvas::CreateHandle() {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;
  FInitialBitmap = GetCurrentObject(dc, OBJ_BITMAP);
  if (FOwner.Handle()) SelectObject(dc, FOwner.Handle());
  return dc;
}

void TBitmapCanvas::SelectBitmap(HBITMAP bitmap) {
  if (HDC dc = CurrentHandle()) SelectObject(dc, bitmap ? static_cast<HGDIOBJ>(bitmap) : FInitialBitmap);
}

// ---------------------------------------------------------------------------
// TBitmap
// ---------------------------------------------------------------------------

namespace {

int BitsOf(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf24bit: return 24;
    default: return 32;
  }
}

// Largest pixel block we ask GDI for; beyond it the size counts as unallocatable
// rather than risking an overflow in the size arithmetic.
constexpr long long MaxImageBytes = 0x7FFFFFFFLL;

// A bottom-up DIB section of the given depth (8 bits: a grey ramp; 1 bit: black and white).
HBITMAP NewDib(int width, int height, int bits, std::uint8_t** pixels) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;  // bottom-up
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bits);
  info.header.biCompression = BI_RGB;
  if (bits == 8) {
    // A grey ramp: an 8-bit bitmap here holds one channel or a mask, and shows as such.
    info.header.biClrUsed = 256;
    for (int i = 0; i < 256; ++i) info.colors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  } else if (bits == 4) {
    static const RGBQUAD vga[16] = {
        {0, 0, 0, 0},     {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0}, {128, 0, 0, 0},   {128, 0, 128, 0},
        {128, 128, 0, 0}, {192, 192, 192, 0}, {128, 128, 128, 0}, {0, 0, 255, 0}, {0, 255, 0, 0},   {0, 255, 255, 0},
        {255, 0, 0, 0},   {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0}};
    info.header.biClrUsed = 16;
    for (int i = 0; i < 16; ++i) info.colors[i] = vga[i];
  } else if (bits == 1) {
    info.header.biClrUsed = 2;
    info.colors[1] = RGBQUAD{255, 255, 255, 0};
  }
  void* bitsPtr = nullptr;
  HBITMAP handle = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bitsPtr, nullptr, 0);
  if (!handle || !bitsPtr) {
    if (handle) DeleteObject(handle);
    throw EOutOfResources(L"Out of system resources");
  }
  *pixels = static_cast<std::uint8_t*>(bitsPtr);
  return handle;
}

// Whether a 32-bit DIB section stores its bottom row first. The sign of the height is not
// kept in what GetObject answers, so the rows are told apart by what GDI reads back: mark
// the first pixel of the first and the last row in memory, ask GDI for the bottom row,
// and put the two pixels back.
bool RowsRunUpwards(HBITMAP handle, const BITMAP& bm) {
  if (bm.bmHeight < 2) return true;  // one row reads the same either way
  auto* first = static_cast<std::uint32_t*>(bm.bmBits);
  auto* last = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(bm.bmBits) +
                                                static_cast<std::ptrdiff_t>(bm.bmHeight - 1) * bm.bmWidthBytes);
  GdiFlush();
  const std::uint32_t keepFirst = *first, keepLast = *last;
  *first = 0x01020304;
  *last = 0x05060708;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), bm.bmWidth, bm.bmHeight, 1, 32, BI_RGB};
  std::vector<std::uint32_t> bottom(static_cast<size_t>(bm.bmWidth));
  HDC screen = GetDC(nullptr);
  const int read = GetDIBits(screen, handle, 0, 1, bottom.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  *first = keepFirst;
  *last = keepLast;
  return read != 1 || bottom[0] != 0x05060708;
}

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  FCanvas.reset();  // deselects the DIB before it is deleted
  if (FHandle) DeleteObject(FHandle);
}

int TBitmap::BitsPerPixel() const { return BitsOf(FPixelFormat); }

void TBitmap::SetWidth(int value) {
  if (value != FWidth) Recreate(value, FHeight, FPixelFormat);
}

void TBitmap::SetHeight(int value) {
  if (value != FHeight) Recreate(FWidth, value, FPixelFormat);
}

void TBitmap::SetSize(int width, int height) {
  if (width != FWidth || height != FHeight) Recreate(width, height, FPixelFormat);
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
  if (value == FPixelFormat) return;
  if (BitsOf(value) == BitsOf(FPixelFormat)) {
    FPixelFormat = value;  // same storage (pfDevice and pf32bit)
    return;
  }
  Recreate(FWidth, FHeight, value);
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) FCanvas.reset(new TBitmapCanvas(*this));
  return *FCanvas;
}

void* TBitmap::ScanLine(int row) {
  if (!FBits || row < 0 || row >= FHeight) throw EInvalidGraphicOperation(L"Scan line index out of range");
  GdiFlush();
  return FBits + static_cast<std::ptrdiff_t>(FHeight - 1 - row) * FRowBytes;
}

void TBitmap::Recreate(int width, int height, TPixelFormat format) {
  if (width < 0 || height < 0) throw EInvalidGraphic(L"Invalid bitmap size");
  const int bits = BitsOf(format);
  HBITMAP handle = nullptr;
  std::uint8_t* pixels = nullptr;
  int rowBytes = 0;
  if (width > 0 && height > 0) {
    const long long stride = ((static_cast<long long>(width) * bits + 31) / 32) * 4;
    if (stride * height > MaxImageBytes) throw EOutOfResources(L"Out of system resources");
    rowBytes = static_cast<int>(stride);

    handle = NewDib(width, height, bits, &pixels);

    // A new bitmap is white; in 32 bits with alpha 0, as GDI's own fills leave it.
    std::memset(pixels, 0xFF, static_cast<size_t>(stride) * height);
    if (bits == 32) {
      for (long long i = 0, n = static_cast<long long>(stride / 4) * height; i < n; ++i)
        reinterpret_cast<std::uint32_t*>(pixels)[i] = 0x00FFFFFF;
    }

    // Keep what remains of the old picture, top-left aligned.
    const int keepW = std::min(width, FWidth), keepH = std::min(height, FHeight);
    if (FHandle && keepW > 0 && keepH > 0) {
      GdiFlush();
      if (bits == BitsOf(FPixelFormat)) {
        const size_t bytes = (static_cast<size_t>(keepW) * bits + 7) / 8;
        for (int y = 0; y < keepH; ++y)
          std::memcpy(pixels + static_cast<std::ptrdiff_t>(height - 1 - y) * rowBytes,
                      FBits + static_cast<std::ptrdiff_t>(FHeight - 1 - y) * FRowBytes, bytes);
      } else if (bits >= 8 && BitsOf(FPixelFormat) >= 8) {
        // Between 8 (grey ramp), 24 and 32 bits the conversion is exact and our own:
        // a grey is the rounded mean of the colour; alpha is not carried.
        for (int y = 0; y < keepH; ++y) {
          const std::uint8_t* from = FBits + static_cast<std::ptrdiff_t>(FHeight - 1 - y) * FRowBytes;
          std::uint8_t* to = pixels + static_cast<std::ptrdiff_t>(height - 1 - y) * rowBytes;
          const int fromBytes = BitsOf(FPixelFormat) / 8, toBytes = bits / 8;
          for (int x = 0; x < keepW; ++x, from += fromBytes, to += toBytes) {
            std::uint8_t b = from[0], g = from[0], r = from[0];
            if (fromBytes > 1) g = from[1], r = from[2];
            if (toBytes == 1) {
              to[0] = static_cast<std::uint8_t>((b + g + r + 1) / 3);
            } else {
              to[0] = b, to[1] = g, to[2] = r;
              if (toBytes == 4) to[3] = 0;
            }
          }
        }
      } else {
        // A bitmap can be selected into one DC only: take it out of the canvas first.
        if (FCanvas) FCanvas->SelectBitmap(nullptr);
        HDC src = CreateCompatibleDC(nullptr);
        HDC dst = CreateCompatibleDC(nullptr);
        if (src && dst) {
          HGDIOBJ oldSrc = SelectObject(src, FHandle);
          HGDIOBJ oldDst = SelectObject(dst, handle);
          BitBlt(dst, 0, 0, keepW, keepH, src, 0, 0, SRCCOPY);
          GdiFlush();
          SelectObject(dst, oldDst);
          SelectObject(src, oldSrc);
        }
        if (src) DeleteDC(src);
        if (dst) DeleteDC(dst);
      }
    }
  }

  Adopt(handle, pixels, width, height, rowBytes, format);
}

void TBitmap::Adopt(HBITMAP handle, std::uint8_t* pixels, int width, int height, int rowBytes, TPixelFormat format) {
  if (FCanvas) FCanvas->SelectBitmap(handle);
  if (FHandle) DeleteObject(FHandle);
  FHandle = handle;
  FBits = pixels;
  FRowBytes = rowBytes;
  FWidth = width;
  FHeight = height;
  FPixelFormat = format;
  if (OnChange) {
    auto handler = OnChange;  // the handler may replace OnChange
    handler();
  }
}

void TBitmap::TakeOver(TBitmap& fresh) {
  // The canvas (when there is one) follows the handle.
  HBITMAP handle = fresh.FHandle;
  std::uint8_t* pixels = fresh.FBits;
  const int width = fresh.FWidth, height = fresh.FHeight, rowBytes = fresh.FRowBytes;
  const TPixelFormat format = fresh.FPixelFormat;
  if (fresh.FCanvas) fresh.FCanvas.reset();
  fresh.FHandle = nullptr;
  fresh.FBits = nullptr;
  fresh.FWidth = fresh.FHeight = 0;
  Adopt(handle, pixels, width, height, rowBytes, format);
}

void TBitmap::Assign(const TBitmap* from) {
  if (from == this) return;
  if (!from) {
    SetSize(0, 0);
    return;
  }
  const TBitmap& source = *from;
  TBitmap fresh;
  fresh.Recreate(source.FWidth, source.FHeight, source.FPixelFormat);
  if (source.FBits && fresh.FBits) {
    GdiFlush();  // what GDI drew into the source a moment ago
    const size_t bytes = static_cast<size_t>(std::min(source.FRowBytes, fresh.FRowBytes));
    for (int y = 0; y < source.FHeight; ++y)
      std::memcpy(fresh.FBits + static_cast<std::ptrdiff_t>(y) * fresh.FRowBytes,
                  source.FBits + static_cast<std::ptrdiff_t>(y) * source.FRowBytes, bytes);
  }
  FIgnorePalette = source.FIgnorePalette;
  FTransparent = source.FTransparent;
  FTransparentColor = source.FTransparentColor;
  TakeOver(fresh);
}

std::uint8_t* TBitmap::Bits() {
  if (!FBits) return nullptr;
  GdiFlush();
  return FBits + static_cast<std::ptrdiff_t>(FHeight - 1) * FRowBytes;
}

void TBitmap::SetHandle(HBITMAP handle) {
  if (handle == FHandle) return;
  if (!handle) {
    Recreate(0, 0, FPixelFormat);
    return;
  }
  // Ours from here on: freed on every path that does not keep it.
  struct TOwned {
    HBITMAP Handle;
    ~TOwned() {
      if (Handle) DeleteObject(Handle);
    }
  } given{handle};

  DIBSECTION ds = {};
  const bool dib = GetObjectW(handle, sizeof ds, &ds) == static_cast<int>(sizeof ds);
  BITMAP bm = {};
  if (!dib && GetObjectW(handle, sizeof bm, &bm) != static_cast<int>(sizeof bm))
    throw EInvalidGraphic(L"Not a bitmap handle");
  if (dib) bm = ds.dsBm;
  if (bm.bmWidth <= 0 || bm.bmHeight <= 0) {
    Recreate(0, 0, pf32bit);
    return;
  }
  const bool dib32 = dib && bm.bmBitsPixel == 32 && bm.bmBits;
  if (dib32 && RowsRunUpwards(handle, bm)) {
    // Select it out of any DC of ours before the old one goes.
    Adopt(handle, static_cast<std::uint8_t*>(bm.bmBits), bm.bmWidth, bm.bmHeight, bm.bmWidthBytes, pf32bit);
    given.Handle = nullptr;
    return;
  }

  std::uint8_t* pixels = nullptr;
  HBITMAP copy = NewDib(bm.bmWidth, bm.bmHeight, 32, &pixels);
  const int rowBytes = bm.bmWidth * 4;
  GdiFlush();
  if (dib32) {
    // Top-down rows: turned over byte for byte, so alpha comes along untouched.
    for (int y = 0; y < bm.bmHeight; ++y)
      std::memcpy(pixels + static_cast<std::ptrdiff_t>(bm.bmHeight - 1 - y) * rowBytes,
                  static_cast<const std::uint8_t*>(bm.bmBits) + static_cast<std::ptrdiff_t>(y) * bm.bmWidthBytes,
                  static_cast<size_t>(rowBytes));
  } else {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bm.bmWidth;
    info.bmiHeader.biHeight = bm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, handle, 0, static_cast<UINT>(bm.bmHeight), pixels, &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != bm.bmHeight) {
      DeleteObject(copy);
      throw EInvalidGraphic(L"The bitmap's pixels cannot be read");
    }
  }
  Adopt(copy, pixels, bm.bmWidth, bm.bmHeight, rowBytes, pf32bit);
}

// ---------------------------------------------------------------------------
// Desktop composition
// ---------------------------------------------------------------------------

namespace {
std::optional<bool> GDwmOverride;
}

// The system's answer, kept until ResetDwmCompositionAnswer (Graphics.Dwm.h) forgets it.
static std::optional<bool> GDwmAnswer;

bool IsDwmCompositionOn() {
  if (GDwmOverride) return *GDwmOverride;
  if (!GDwmAnswer) {
    GDwmAnswer = [] {
      if (LOBYTE(LOWORD(GetVersion())) < 6) return false;
      HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
      if (!dwm) return false;
      using TDwmIsCompositionEnabled = HRESULT(WINAPI*)(BOOL*);
      auto query = reinterpret_cast<TDwmIsCompositionEnabled>(
          reinterpret_cast<void*>(GetProcAddress(dwm, "DwmIsCompositionEnabled")));
      BOOL enabled = FALSE;
      return query && SUCCEEDED(query(&enabled)) && enabled;
    }();
  }
  return *GDwmAnswer;
}

void ResetDwmCompositionAnswer() { GDwmAnswer.reset(); }

void SetDwmCompositionOverride(std::optional<bool> value) { GDwmOverride = value; }

// ---------------------------------------------------------------------------
// Shared GDI objects
// ---------------------------------------------------------------------------

TGdiObject::~TGdiObject() {
  if (FHandle && FOwned) DeleteObject(FHandle);
}

// ---------------------------------------------------------------------------
// TFont
// ---------------------------------------------------------------------------

void TFont::Changed() {
  FHandle.reset();  // holders of the old font keep it alive; the next Handle() makes a new one
  if (FUpdating) {
    FPending = true;
    return;
  }
  if (FQuiet == 0 && OnChange) {
    auto handler = OnChange;  // the handler may replace OnChange
    handler();
  }
}

void TFont::Assign(const TFont& source) {
  if (&source == this) return;
  ++FUpdating;
  try {
    Name = source.Name.Get();
    Height = source.Height.Get();
    Style = source.Style.Get();
    Color = source.Color.Get();
    Charset = source.Charset.Get();
    Pitch = source.Pitch.Get();
    Orientation = source.Orientation.Get();
  } catch (...) {
    --FUpdating;
    throw;
  }
  --FUpdating;
  if (FPending) {
    FPending = false;
    Changed();
  }
}

TGdiRef TFont::HandleRef() {
  if (FHandle) return FHandle;
  LOGFONTW lf = {};
  lf.lfHeight = Height;
  lf.lfWeight = (Style & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (Style & fsItalic) ? TRUE : FALSE;
  lf.lfUnderline = (Style & fsUnderline) ? TRUE : FALSE;
  lf.lfStrikeOut = (Style & fsStrikeOut) ? TRUE : FALSE;
  lf.lfCharSet = Charset;
  lf.lfPitchAndFamily = Pitch;
  lf.lfEscapement = lf.lfOrientation = Orientation;
  lf.lfQuality = DEFAULT_QUALITY;
  wcsncpy(lf.lfFaceName, Name->c_str(), LF_FACESIZE - 1);
  HFONT handle = CreateFontIndirectW(&lf);
  if (!handle) throw EOutOfResources(L"Out of system resources");
  FHandle = std::make_shared<const TGdiObject>(handle);
  return FHandle;
}

HFONT TFont::Handle() { return static_cast<HFONT>(HandleRef()->Handle()); }

TGdiRef SetWindowFont(HWND wnd, TFont& font, bool redraw) {
  TGdiRef ref = font.HandleRef();
  SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(ref->Handle()), redraw ? TRUE : FALSE);
  return ref;
}

// ---------------------------------------------------------------------------
// BMP files and the transparent colour
// ---------------------------------------------------------------------------

TColor TBitmap::TransparentColor() {
  if (FTransparentColor != clDefault) return FTransparentColor;
  if (Empty()) return clNone;
  return Canvas().Pixel(0, FHeight - 1);
}

void TBitmap::LoadFromStream(TStream& stream) {
  const std::string bytes = stream.ReadToEnd();
  const TBmpImage image =
      DecodeBmp(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  const TPixelFormat format = image.BitsPerPixel == 32 ? pf32bit : pf24bit;
  TBitmap fresh;
  fresh.Recreate(image.Width, image.Height, format);
  std::uint8_t* base = fresh.Bits();
  for (int y = 0; y < image.Height; ++y) {
    const std::uint32_t* from = image.Pixels.data() + static_cast<std::size_t>(y) * image.Width;
    std::uint8_t* to = base + static_cast<std::ptrdiff_t>(y) * fresh.Stride();
    if (format == pf32bit) {
      std::memcpy(to, from, static_cast<std::size_t>(image.Width) * 4);
    } else {
      for (int x = 0; x < image.Width; ++x, to += 3) {
        to[0] = static_cast<std::uint8_t>(from[x]);
        to[1] = static_cast<std::uint8_t>(from[x] >> 8);
        to[2] = static_cast<std::uint8_t>(from[x] >> 16);
      }
    }
  }
  TakeOver(fresh);
}

void TBitmap::LoadFromFile(const std::wstring& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TBitmap::SaveToStream(TStream& stream) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight));
  if (!pixels.empty()) {
    const std::uint8_t* base = Bits();
    const int bpp = BitsPerPixel();
    for (int y = 0; y < FHeight; ++y) {
      const std::uint8_t* row = base + static_cast<std::ptrdiff_t>(y) * Stride();
      std::uint32_t* out = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth);
      if (bpp == 32) {
        std::memcpy(out, row, static_cast<std::size_t>(FWidth) * 4);
      } else if (bpp == 24) {
        for (int x = 0; x < FWidth; ++x)
          out[x] = std::uint32_t(row[3 * x]) | std::uint32_t(row[3 * x + 1]) << 8 | std::uint32_t(row[3 * x + 2]) << 16;
      } else {
        for (int x = 0; x < FWidth; ++x) out[x] = static_cast<std::uint32_t>(ColorToRGB(Canvas().Pixel(x, y)));
        for (int x = 0; x < FWidth; ++x)
          out[x] = (out[x] & 0xFF00) | (out[x] & 0xFF) << 16 | (out[x] >> 16 & 0xFF);
      }
    }
  }
  const std::vector<std::uint8_t> file = EncodeBmp32(FWidth, FHeight, pixels.data());
  stream.Write(file.data(), static_cast<std::int64_t>(file.size()));
}
