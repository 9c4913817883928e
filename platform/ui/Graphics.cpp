#include "platform/ui/Graphics.h"

#include <algorithm>
#include <cstring>
#include <vector>

TColor ColorToRGB(TColor color) {
  if (color < 0) return static_cast<TColor>(GetSysColor(color & 0xFF));
  return color;
}

// ---------------------------------------------------------------------------
// TCanvas
// ---------------------------------------------------------------------------

TCanvas::~TCanvas() {
  if (FHandle) {
    SelectObject(FHandle, FInitialBitmap);
    DeleteDC(FHandle);
  }
}

HDC TCanvas::Handle() {
  if (!FHandle) {
    FHandle = CreateCompatibleDC(nullptr);
    if (!FHandle) throw EOutOfResources(L"Out of system resources");
    FInitialBitmap = GetCurrentObject(FHandle, OBJ_BITMAP);
    if (FOwner.Handle()) SelectObject(FHandle, FOwner.Handle());
  }
  return FHandle;
}

void TCanvas::Select(HBITMAP bitmap) {
  if (FHandle) SelectObject(FHandle, bitmap ? static_cast<HGDIOBJ>(bitmap) : FInitialBitmap);
}

TColor TCanvas::Pixel(int x, int y) {
  return static_cast<TColor>(GetPixel(Handle(), x, y));
}

// ---------------------------------------------------------------------------
// TBitmap
// ---------------------------------------------------------------------------

namespace {

int BitsOf(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf8bit: return 8;
    case pf24bit: return 24;
    default: return 32;
  }
}

// Largest pixel block we ask GDI for; beyond it the size counts as unallocatable
// rather than risking an overflow in the size arithmetic.
constexpr long long MaxImageBytes = 0x7FFFFFFFLL;

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
  if (!FCanvas) FCanvas.reset(new TCanvas(*this));
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
    } else if (bits == 1) {
      info.header.biClrUsed = 2;
      info.colors[1] = RGBQUAD{255, 255, 255, 0};
    }
    void* bitsPtr = nullptr;
    handle = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bitsPtr, nullptr, 0);
    if (!handle || !bitsPtr) {
      if (handle) DeleteObject(handle);
      throw EOutOfResources(L"Out of system resources");
    }
    pixels = static_cast<std::uint8_t*>(bitsPtr);
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
      } else if (bits != 1 && BitsOf(FPixelFormat) != 1) {
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
        if (FCanvas) FCanvas->Select(nullptr);
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

  if (FCanvas) FCanvas->Select(handle);
  if (FHandle) DeleteObject(FHandle);
  FHandle = handle;
  FBits = pixels;
  FRowBytes = rowBytes;
  FWidth = width;
  FHeight = height;
  FPixelFormat = format;
}

// ---------------------------------------------------------------------------
// Desktop composition
// ---------------------------------------------------------------------------

namespace {
std::optional<bool> GDwmOverride;
}

bool IsDwmCompositionOn() {
  if (GDwmOverride) return *GDwmOverride;
  static const bool answer = [] {
    if (LOBYTE(LOWORD(GetVersion())) < 6) return false;
    HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
    if (!dwm) return false;
    using TDwmIsCompositionEnabled = HRESULT(WINAPI*)(BOOL*);
    auto query = reinterpret_cast<TDwmIsCompositionEnabled>(
        reinterpret_cast<void*>(GetProcAddress(dwm, "DwmIsCompositionEnabled")));
    BOOL enabled = FALSE;
    return query && SUCCEEDED(query(&enabled)) && enabled;
  }();
  return answer;
}

void SetDwmCompositionOverride(std::optional<bool> value) { GDwmOverride = value; }

// ---------------------------------------------------------------------------
// Shared GDI objects
// ---------------------------------------------------------------------------

TGdiObject::~TGdiObject() {
  if (FHandle) DeleteObject(FHandle);
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
  lf.lfCharSet = DEFAULT_CHARSET;
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
