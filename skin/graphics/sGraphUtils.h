#pragma once
// Work bitmaps of the skin engine and the colour blending every painter shares.
//
// A work bitmap is a 32-bit DIB: 4 bytes per pixel in the order blue, green, red,
// alpha (0xAARRGGBB read as one value), not premultiplied. Painters reach the pixels
// through GetPixelBase: the address of row 0 and the signed distance to row 1.
#include <cstdint>
#include <memory>

#include "platform/ui/Graphics.h"

// A DC's state as it was, back when the scope ends (also when an exception passes).
// Renew restores it and saves it again, for callers that reuse the DC after a change.
class TSavedDC {
public:
  explicit TSavedDC(HDC dc) : FDC(dc), FSaved(SaveDC(dc)) {}
  ~TSavedDC() {
    if (FSaved) RestoreDC(FDC, FSaved);
  }
  TSavedDC(const TSavedDC&) = delete;
  TSavedDC& operator=(const TSavedDC&) = delete;
  void Renew() {
    if (FSaved) RestoreDC(FDC, FSaved);
    FSaved = SaveDC(FDC);
  }

private:
  HDC FDC;
  int FSaved;
};

// What lies behind a control: the parent's pixels (Ready, Bmp with the control's origin
// at X, Y) or a plain colour (FillColor; 0xFF00FF = unknown), with a bitmap valid only in
// the frame FillRect gives. The default value is the empty one: nothing known.
struct TCacheInfo {
  TBitmap* Bmp = nullptr;
  int X = -99;
  int Y = -99;
  TColor FillColor = 0xFF00FF;
  TRect FillRect;
  bool Ready = false;
};

// ---------------------------------------------------------------------------
// Bitmap factories. None of them raises: a size the system cannot provide gives 0 x 0.
// ---------------------------------------------------------------------------
std::unique_ptr<TBitmap> NewBitmap32(int width, int height);
std::unique_ptr<TBitmap> NewBitmap32ForRect(const TRect& rect);  // negative extents as 0
std::unique_ptr<TBitmap> NewBitmap32ForSize(const TSize& size);
std::unique_ptr<TBitmap> NewBitmap32LikeBitmap(const TBitmap* bitmap);
// A work bitmap of a control's Width and Height (0 x 0 without a control). A template so
// that this unit does not depend on the control classes.
template <class TControlClass>
std::unique_ptr<TBitmap> NewBitmap32ForControl(const TControlClass* control) {
  return control ? NewBitmap32(control->Width(), control->Height()) : NewBitmap32(0, 0);
}
// A work bitmap then given the other's width, height and pixel format.
std::unique_ptr<TBitmap> CloneBitmapFormat(const TBitmap* bitmap);

void SetPixelFormat32(TBitmap* bitmap);
// Dest takes Source's pixel format and size, then a copy of all its pixels.
void CopyBitmapPixels(TBitmap* dest, TBitmap* source);

// Address of row 0 and the byte distance from row 0 to row 1 (negative for bottom-up
// rows, 0 for a single row). False, outputs untouched, for a missing or empty bitmap.
bool GetPixelBase(TBitmap* bitmap, std::uint8_t*& base, std::intptr_t& stride);

// The 32-bit pixels of a bitmap, for the pixel loops of the engine. Valid only for a
// bitmap that has rows and columns and stores 32 bits per pixel; every pixel routine
// leaves any other bitmap alone rather than read past its rows.
struct TPixels32 {
  std::uint8_t* Base = nullptr;
  std::intptr_t Stride = 0;
  int Width = 0;
  int Height = 0;
  std::uint32_t* Row(int y) const { return reinterpret_cast<std::uint32_t*>(Base + y * Stride); }
};
bool GetPixels32(TBitmap* bitmap, TPixels32& pixels);

// A block copy between two bitmaps clipped to both: the block of W x H pixels whose
// top-left corner lies at (DX, DY) in the destination and (SX, SY) in the source loses
// whatever falls outside either bitmap, the corners moving together. Coordinates come in
// 64 bits, so rectangles from skins cannot overflow the arithmetic. False when nothing is left.
struct TCopySpan {
  int DX = 0, DY = 0, SX = 0, SY = 0, W = 0, H = 0;
};
bool ClipCopySpan(long long dx, long long dy, long long sx, long long sy, long long w, long long h, int dstWidth,
                  int dstHeight, int srcWidth, int srcHeight, TCopySpan& span);

// Per channel of the three low bytes: (A * W + B * (255 - W)) >> 8; the top byte is A's.
// The divisor 256 makes every result one step darker than the exact mix, so W = 255 gives
// A less one per channel; callers that need A exactly test for that case first.
std::uint32_t BlendTwoColors(std::uint32_t a, std::uint32_t b, std::uint8_t weight);
// Bytes 0 and 2 exchanged, the top byte dropped: 0xRRGGBB web colours to TColor and back.
std::uint32_t ReverseColorBytes(std::uint32_t color);

// Solid fills on a device context; system colours are resolved; the DC's state and
// selected brush are restored.
void FillRectOnDC(HDC dc, const TRect& rect, TColor color);
void FillInnerFrameOnDC(HDC dc, const TRect& rect, int leftWidth, int topWidth, int rightWidth,
                        int bottomWidth, TColor color);

// Byte Channel (0 blue, 1 green, 2 red, 3 alpha) of every pixel of Dest from Source.
void CopyPixelChannel(TBitmap* dest, TBitmap* source, int channel);
// Byte Channel of the 32-bit pixels to (ToBitmap8) or from the 8-bit pixels of Bitmap8.
void TransferChannel8(TBitmap* bitmap32, TBitmap* bitmap8, int channel, bool toBitmap8);

// An opaque icon: the bitmap as colour image and an all-zero monochrome mask. The caller
// destroys it; 0 when it cannot be made.
HICON IconFromBitmap(TBitmap* bitmap);

// Grey by luma: v = round(0.299 R + 0.587 G + 0.114 B), half to even; alpha kept.
void GrayscaleBitmap(TBitmap* bitmap);
// The same for every pixel whose whole 32-bit value differs from Key.
void GrayscaleBitmapExceptKey(TBitmap* bitmap, std::uint32_t key);
// The luma above of a pixel's red, green and blue bytes.
std::uint8_t LumaOf(std::uint32_t pixel);

class TStream;
// A PNG file or stream into Bitmap as a 32-bit bitmap with the image's alpha. The
// reader's errors reach the caller; the bitmap's Transparent flag is kept.
void LoadPngFileToBitmap(TBitmap& Bitmap, const std::wstring& FileName);
void LoadPngStreamToBitmap(TBitmap& Bitmap, TStream& Stream);
