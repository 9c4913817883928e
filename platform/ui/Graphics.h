#pragma once
// Colours, geometry and bitmaps of the component model, thin over GDI.
//
// TBitmap is always a DIB section, so painters can reach its pixels row by row
// without going through the device. Rows are stored bottom-up like every DIB the
// system hands out by default: ScanLine(0) is the top row and lies last in memory,
// so the distance from row 0 to row 1 is negative.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/runtime/Exceptions.h"

TARVEL_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception)
TARVEL_DECLARE_EXCEPTION(EOutOfResources, Exception)

// ---------------------------------------------------------------------------
// Colours
// ---------------------------------------------------------------------------

// 0x00BBGGRR, red in the lowest byte. A negative value (top byte 0xFF) names a
// system colour by its index in the low byte; ColorToRGB resolves it.
using TColor = std::int32_t;

constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSystemColor = TColor(0xFF000000);
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR;
constexpr TColor clBackground = clSystemColor | COLOR_BACKGROUND;
constexpr TColor clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION;
constexpr TColor clInactiveCaption = clSystemColor | COLOR_INACTIVECAPTION;
constexpr TColor clMenu = clSystemColor | COLOR_MENU;
constexpr TColor clWindowFrame = clSystemColor | COLOR_WINDOWFRAME;
constexpr TColor clMenuText = clSystemColor | COLOR_MENUTEXT;
constexpr TColor clCaptionText = clSystemColor | COLOR_CAPTIONTEXT;
constexpr TColor clActiveBorder = clSystemColor | COLOR_ACTIVEBORDER;
constexpr TColor clInactiveBorder = clSystemColor | COLOR_INACTIVEBORDER;
constexpr TColor clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clInactiveCaptionText = clSystemColor | COLOR_INACTIVECAPTIONTEXT;
constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
constexpr TColor cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = clSystemColor | COLOR_3DLIGHT;
constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;
constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;
constexpr TColor clHotLight = clSystemColor | COLOR_HOTLIGHT;
constexpr TColor clGradientActiveCaption = clSystemColor | COLOR_GRADIENTACTIVECAPTION;
constexpr TColor clGradientInactiveCaption = clSystemColor | COLOR_GRADIENTINACTIVECAPTION;
constexpr TColor clMenuHighlight = clSystemColor | COLOR_MENUHILIGHT;
constexpr TColor clMenuBar = clSystemColor | COLOR_MENUBAR;

// System colours become their current RGB value; every other value is returned as is.
TColor ColorToRGB(TColor color);

// ---------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// Left, Top, Right, Bottom; Right and Bottom are exclusive unless a routine says otherwise.
// The layout equals RECT's, so a TRect can be handed to GDI as is.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  const RECT* AsRECT() const { return reinterpret_cast<const RECT*>(this); }
  RECT* AsRECT() { return reinterpret_cast<RECT*>(this); }
  friend bool operator==(const TRect&, const TRect&) = default;
};
static_assert(sizeof(TRect) == sizeof(RECT));

inline TPoint Point(int x, int y) { return TPoint{x, y}; }
inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) {
  return TRect{left, top, left + width, top + height};
}

// ---------------------------------------------------------------------------
// Shared GDI objects
// ---------------------------------------------------------------------------

// A GDI object with shared ownership: it is deleted when the last holder lets go. A
// font, brush or pen makes a new object when a field changes, while the old one may
// still be selected into a DC or held by a native control after WM_SETFONT; whoever
// still uses the old one keeps a reference, so it stays valid until nothing uses it.
class TGdiObject {
public:
  // A stock object (owned = false) is never deleted.
  explicit TGdiObject(HGDIOBJ handle, bool owned = true) : FHandle(handle), FOwned(owned) {}
  ~TGdiObject();
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;
  HGDIOBJ Handle() const { return FHandle; }

private:
  HGDIOBJ FHandle;
  bool FOwned;
};
using TGdiRef = std::shared_ptr<const TGdiObject>;

// ---------------------------------------------------------------------------
// Fonts
// ---------------------------------------------------------------------------

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont;

// One field of a font: reads as its value, and a write that changes the value tells the
// font (a new handle is due and OnChange runs). Lives only inside its font.
template <class T>
class TFontField {
public:
  TFontField(const TFontField&) = delete;
  TFontField& operator=(const TFontField& other) { return Set(other.FValue); }
  template <class U>
  TFontField& operator=(U&& value) {
    return Set(T(std::forward<U>(value)));
  }
  template <class U>
  TFontField& operator|=(U value) {
    return Set(T(FValue | value));
  }
  template <class U>
  TFontField& operator&=(U value) {
    return Set(T(FValue & value));
  }
  template <class U>
  TFontField& operator+=(U value) {
    return Set(T(FValue + value));
  }
  template <class U>
  TFontField& operator-=(U value) {
    return Set(T(FValue - value));
  }

  operator const T&() const { return FValue; }
  const T& Get() const { return FValue; }
  const T* operator->() const { return &FValue; }
  friend bool operator==(const TFontField& a, const TFontField& b) { return a.FValue == b.FValue; }
  friend bool operator==(const TFontField& a, const T& b) { return a.FValue == b; }

private:
  friend class TFont;
  TFontField(TFont& owner, T value) : FOwner(owner), FValue(std::move(value)) {}
  TFontField& Set(T value);

  TFont& FOwner;
  T FValue;
};

// A logical font described by its fields; the GDI font is made when first asked for and
// made again after a field changed. Height is in pixels, negative for the character height.
class TFont {
public:
  TFont() = default;
  ~TFont() = default;
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;
  // Takes every field of source; OnChange runs once if anything differed.
  void Assign(const TFont& source);

  TFontField<std::wstring> Name{*this, L"Tahoma"};
  TFontField<int> Height{*this, -11};
  TFontField<unsigned> Style{*this, 0u};  // TFontStyle bits
  TFontField<TColor> Color{*this, clWindowText};
  TFontField<std::uint8_t> Charset{*this, std::uint8_t(DEFAULT_CHARSET)};
  TFontField<std::uint8_t> Pitch{*this, std::uint8_t(DEFAULT_PITCH)};  // DEFAULT_, FIXED_ or VARIABLE_PITCH
  TFontField<int> Orientation{*this, 0};  // the text's angle in tenths of a degree

  // Runs after a write that changed a field (once for Assign), outside a quiet write.
  std::function<void()> OnChange;
  // Runs write (a callable taking no arguments) with OnChange held back: a font handed
  // down from a parent must not read as the control's own choice. The handle still follows.
  template <class F>
  void ChangeQuietly(F&& write) {
    ++FQuiet;
    try {
      write();
    } catch (...) {
      --FQuiet;
      throw;
    }
    --FQuiet;
  }

  // The GDI font of the current fields. It stays valid while the fields do not change;
  // whoever keeps using it past a change (a DC it stays selected into, a native control
  // given it by WM_SETFONT) holds HandleRef() instead.
  HFONT Handle();
  TGdiRef HandleRef();

private:
  template <class T>
  friend class TFontField;
  void Changed();

  TGdiRef FHandle;
  int FQuiet = 0;
  int FUpdating = 0;
  bool FPending = false;
};

template <class T>
TFontField<T>& TFontField<T>::Set(T value) {
  if (!(value == FValue)) {
    FValue = std::move(value);
    FOwner.Changed();
  }
  return *this;
}

// Gives a native window the font by WM_SETFONT and returns the reference that keeps the
// font valid; the caller holds it as long as the window may use the font.
TGdiRef SetWindowFont(HWND wnd, TFont& font, bool redraw = true);

// ---------------------------------------------------------------------------
// Brushes, pens and canvases
// ---------------------------------------------------------------------------

enum TBrushStyle { bsSolid, bsClear };
enum TPenStyle { psSolid, psClear };

// A brush of one colour, or none (bsClear). The GDI brush is made when first asked for and
// again after a field changed; a canvas that has the old one selected keeps it alive.
class TBrush {
public:
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
  HBRUSH Handle() { return static_cast<HBRUSH>(HandleRef()->Handle()); }
  TGdiRef HandleRef();

private:
  TGdiRef FHandle;
  TColor FMadeColor = 0;
  TBrushStyle FMadeStyle = bsSolid;
};

// A pen of one colour and width, or none (psClear); made like a brush.
class TPen {
public:
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = psSolid;
  HPEN Handle() { return static_cast<HPEN>(HandleRef()->Handle()); }
  TGdiRef HandleRef();

private:
  TGdiRef FHandle;
  TColor FMadeColor = 0;
  int FMadeWidth = 0;
  TPenStyle FMadeStyle = psSolid;
};

class TBitmap;
class TBitmapCanvas;

// Drawing on a DC with the canvas's font, brush and pen. Each drawing call selects what it
// needs as the fields are at that moment, and the canvas keeps every object it selected
// alive until it takes it out again, so changing a field between calls is always safe.
// When the canvas goes it puts the DC's own objects back.
//
// A plain canvas works on a DC someone else owns and frees (the DC of a paint); a window
// canvas gets and releases its window's DC; a bitmap's canvas is a memory DC.
class TCanvas {
public:
  explicit TCanvas(HDC dc);
  virtual ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  HDC Handle();
  TFont Font;
  TBrush Brush;
  TPen Pen;

  // The colour at (x, y) as GetPixel reads it (0x00BBGGRR), CLR_INVALID outside the bitmap.
  TColor Pixel(int x, int y);
  // Fills r (right and bottom exclusive) with the brush; a clear brush fills nothing.
  void FillRect(const TRect& r);
  // The outline with the pen, the inside with the brush.
  void Rectangle(const TRect& r);
  void Polygon(const TPoint* points, int count);
  void Polygon(std::initializer_list<TPoint> points) { Polygon(points.begin(), static_cast<int>(points.size())); }
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  // Text in the font's colour on a see-through background.
  void TextOut(int x, int y, const std::wstring& text);
  // Text at (x, y) clipped to r, on the brush's colour unless the brush is clear.
  void TextRect(const TRect& r, int x, int y, const std::wstring& text);
  // The size of the text in the font (0 x 0 when it cannot be measured).
  TSize TextExtent(const std::wstring& text);
  int TextWidth(const std::wstring& text) { return TextExtent(text).cx; }
  int TextHeight(const std::wstring& text) { return TextExtent(text).cy; }
  // The DC with the font selected and the text colour set to the font's, for text output
  // the canvas does not wrap (DrawTextW).
  HDC FontHandle();
  // The bitmap stretched into r (COLORONCOLOR).
  void StretchDraw(const TRect& r, TBitmap* bitmap);
  // A rectangle with corners rounded by an ellipse of cx x cy: outline with the pen, inside
  // with the brush.
  void RoundRect(const TRect& r, int cx, int cy);

  // Points the canvas at another DC (or none), which it does not own; the DC it held gets its
  // own objects back first. For canvases over a DC given from outside (a paint's, a window's).
  void SetHandle(HDC dc);
  // Serializes painting on the canvas between threads; nests on one thread.
  void Lock();
  bool TryLock();
  void Unlock();
  int LockCount() const { return FLockCount; }
  // The DC the canvas is pointed at now, without making one.
  HDC CurrentHandleOrNull() const { return FHandle; }

protected:
  TCanvas();
  // Makes the DC on first use; a canvas over a given DC never needs one.
  virtual HDC CreateHandle() { return nullptr; }
  HDC CurrentHandle() const { return FHandle; }  // without making one
  // Puts the DC's own objects back, lets go of ours, and returns the DC for the derived
  // class to free (nullptr if none was made).
  HDC DetachHandle();

private:
  enum TNeed : unsigned { NeedFont = 1, NeedPen = 2, NeedBrush = 4 };
  HDC Require(unsigned needs);
  void Select(TGdiRef object, TGdiRef& held, HGDIOBJ& original);

  HDC FHandle = nullptr;
  CRITICAL_SECTION FLock;
  int FLockCount = 0;
  TGdiRef FFont, FPen, FBrush;  // selected now
  HGDIOBJ FOriginalFont = nullptr, FOriginalPen = nullptr, FOriginalBrush = nullptr;
};

// A canvas over a window's DC (GetDC on first use, ReleaseDC when the canvas goes).
class TWindowCanvas : public TCanvas {
public:
  explicit TWindowCanvas(HWND wnd) : FWnd(wnd) {}
  ~TWindowCanvas() override;
  HWND Window() const { return FWnd; }

protected:
  HDC CreateHandle() override;

private:
  HWND FWnd;
};

// The drawing surface of a bitmap: a memory DC with the bitmap selected, made on first use.
class TBitmapCanvas : public TCanvas {
public:
  ~TBitmapCanvas() override;

protected:
  HDC CreateHandle() override;

private:
  friend class TBitmap;
  explicit TBitmapCanvas(TBitmap& owner) : FOwner(owner) {}
  void SelectBitmap(HBITMAP bitmap);  // the bitmap changed its handle

  TBitmap& FOwner;
  HGDIOBJ FInitialBitmap = nullptr;
};

// pfDevice is the format of a bitmap nobody has given one yet; it is stored with
// 32 bits per pixel, the depth of every screen the shell runs on.
// pf4bit holds 16-colour images (the standard VGA colours).
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf24bit, pf32bit };
// Only DIB sections exist here; the handle type is kept so callers can state what they rely on.
enum THandleType { bmDIB };

class TBitmap {
public:
  TBitmap();
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  // Resizing keeps the pixels that remain inside and fills new ones with white (alpha 0).
  // A size that cannot be allocated raises EOutOfResources and leaves the bitmap as it was.
  void SetWidth(int value);
  void SetHeight(int value);
  void SetSize(int width, int height);

  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat value);  // converts the pixels through GDI
  int BitsPerPixel() const;                 // of the stored pixels: 1, 4, 8, 24 or 32
  THandleType HandleType() const { return bmDIB; }
  void SetHandleType(THandleType) {}
  bool IgnorePalette() const { return FIgnorePalette; }
  void SetIgnorePalette(bool value) { FIgnorePalette = value; }
  // Marks a bitmap whose key colour stands for see-through pixels; readers that give
  // images alpha from a key colour look at it.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool value) { FTransparent = value; }
  // The colour that stands for see-through pixels: as set, or while it is clDefault the
  // colour of the bottom-left pixel (clNone for an empty bitmap).
  TColor TransparentColor();
  void SetTransparentColor(TColor value) { FTransparentColor = value; }

  // Reads a BMP file (1, 4, 8, 16, 24 or 32 bits; BI_RGB or BI_BITFIELDS; either row
  // order) from the stream's position to its end, or from a file. Images of fewer than 32
  // bits become pf24bit, 32-bit images pf32bit with their alpha (opaque when the file's
  // alpha is 0 everywhere). Bad data raises EInvalidGraphic and leaves the bitmap as it was.
  void LoadFromStream(class TStream& stream);
  void LoadFromFile(const std::wstring& fileName);
  // Writes the bitmap as a 32-bit BMP file (colours and alpha as they are) at the
  // stream's position; LoadFromStream reads it back unchanged.
  void SaveToStream(class TStream& stream);
  // Becomes a copy of source: its format, size, pixels and transparency settings; nullptr
  // empties the bitmap.
  void Assign(const TBitmap* source);
  // Runs once each time the bitmap takes new pixels as a whole: a new size or depth, a new
  // handle, a load, an assignment. Drawing on the canvas or into the scan lines tells
  // nothing: the one who draws knows what changed.
  std::function<void()> OnChange;

  // The DIB section; nullptr while the bitmap is empty.
  HBITMAP Handle() const { return FHandle; }
  TCanvas& Canvas();
  // Takes ownership of handle and frees the bitmap's old one. A 32-bit bottom-up DIB
  // section is kept as it is; any other bitmap (a device bitmap, another depth, rows
  // top-down) is copied into a new 32-bit DIB section and freed, so the bitmap keeps its
  // row layout. The pixel format becomes pf32bit; nullptr empties the bitmap. A handle
  // that is no bitmap raises EInvalidGraphic; it is freed also when the copy fails.
  void SetHandle(HBITMAP handle);
  // Address of a row (0 = top). Flushes GDI's batch first, so pixels blitted a moment ago
  // are there. Raises EInvalidGraphicOperation for a row outside the bitmap. A loop over
  // many rows takes Bits() once instead: one flush for the whole operation.
  void* ScanLine(int row);
  // Bytes from one row to the next in memory (always positive; rows run upwards).
  int RowBytes() const { return FRowBytes; }
  // Row 0 (the top row) after one flush of GDI's batch; row y starts at
  // Bits() + y * Stride(). nullptr while the bitmap is empty.
  std::uint8_t* Bits();
  // Signed distance from row y to row y + 1: negative, rows run upwards in memory.
  int Stride() const { return -FRowBytes; }

private:
  void Recreate(int width, int height, TPixelFormat format);
  // Takes the new pixels and tells OnChange.
  void Adopt(HBITMAP handle, std::uint8_t* pixels, int width, int height, int rowBytes, TPixelFormat format);
  // Adopts the pixels of a bitmap made aside, which is left empty.
  void TakeOver(TBitmap& fresh);

  int FWidth = 0;
  int FHeight = 0;
  TPixelFormat FPixelFormat = pfDevice;
  bool FIgnorePalette = false;
  bool FTransparent = false;
  TColor FTransparentColor = clDefault;
  HBITMAP FHandle = nullptr;
  std::uint8_t* FBits = nullptr;
  int FRowBytes = 0;
  std::unique_ptr<TBitmapCanvas> FCanvas;
};

// ---------------------------------------------------------------------------
// Desktop composition
// ---------------------------------------------------------------------------

// True when the desktop window manager composes the screen (Windows 6 or later and
// DwmIsCompositionEnabled, looked up in dwmapi.dll, reports it). The first answer is
// kept for the life of the process.
bool IsDwmCompositionOn();
// Seam: a set value replaces the system's answer; std::nullopt restores it.
void SetDwmCompositionOverride(std::optional<bool> value);
