#pragma once
// PNG images for the skin engine: the sample converter (TColorManager), the zlib
// row inflater (TLZ77Decoder) and the reader (TPNGGraphic), which decodes into a
// bitmap of the format that fits the image (1, 4 or 8 bits with a palette, 24 bits,
// or 32 bits with alpha). CopyPngToBitmap32 turns such a picture into 32-bit pixels
// with alpha for any target that offers 32-bit scanlines (TBitmap32Sink).
//
// Everything here but the resource and file conveniences is plain C++ over bytes,
// so the decoder also builds and runs natively (fuzzing, benchmarks).
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Streams.h"
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>
#include <zlib.h>

// ---- pixel format conversion ---------------------------------------------------

enum TColorScheme : std::uint8_t {
  csUnknown, csIndexed, csG, csGA, csRGB, csRGBA, csBGR, csBGRA, csCMY, csCMYK, csCIELab, csYCbCr, csPhotoYCC
};

// TConvertOptions is a set of these flags.
enum TConvertOption : unsigned {
  coAlpha = 0x01, coApplyGamma = 0x02, coNeedByteSwap = 0x04, coLabByteRange = 0x08, coLabChromaOffset = 0x10
};
using TConvertOptions = unsigned;

enum TRawPaletteFormat {
  pfInterlaced8Triple, pfInterlaced8Quad, pfPlane8Triple, pfPlane8Quad,
  pfInterlaced16Triple, pfInterlaced16Quad, pfPlane16Triple, pfPlane16Quad
};

// Pixel layouts of a decoded bitmap; pfDevice is an empty bitmap's format before a depth
// is chosen. Scoped, so that it lives beside the framework's own TPngPixelFormat.
enum class TPngPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// One palette colour, laid out as a DIB colour table entry.
struct TPaletteColor {
  std::uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
  bool operator==(const TPaletteColor&) const = default;
};
using TColorPalette = std::vector<TPaletteColor>;

TARVEL_DECLARE_EXCEPTION(EColorConversionError, Exception)

class TColorManager {
public:
  // Source: one pointer for interleaved samples, or one per plane.
  using TSource = std::span<const void* const>;
  using TConversionMethod = void (TColorManager::*)(TSource Source, void* Target, std::uint32_t Count,
                                                    std::uint8_t Mask);

  TColorManager();

  // Converts Count target pixels; a pixel whose bit in the rotating Mask is clear is left as it is.
  void ConvertRow(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRow(const void* Source, void* Target, std::uint32_t Count, std::uint8_t Mask) {
    const void* planes[1] = {Source};
    ConvertRow(TSource(planes), Target, Count, Mask);
  }
  TColorPalette CreateColorPalette(TSource Data, TRawPaletteFormat DataFormat, std::uint32_t ColorCount, bool RGB);
  TColorPalette CreateGrayscalePalette(bool MinimumIsWhite);
  [[noreturn]] void Error(const std::wstring& Msg);
  void SetGamma(float MainGamma, float DisplayGamma = 2.2f);

  std::uint8_t SourceBitsPerSample() const { return FSourceBPS; }
  std::uint8_t TargetBitsPerSample() const { return FTargetBPS; }
  std::uint8_t SourceSamplesPerPixel() const { return FSourceSPP; }
  std::uint8_t TargetSamplesPerPixel() const { return FTargetSPP; }
  TColorScheme SourceColorScheme() const { return FSourceScheme; }
  TColorScheme TargetColorScheme() const { return FTargetScheme; }
  TConvertOptions SourceOptions() const { return FSourceOptions; }
  TConvertOptions TargetOptions() const { return FTargetOptions; }
  void SetSourceBitsPerSample(std::uint8_t value);
  void SetTargetBitsPerSample(std::uint8_t value);
  void SetSourceSamplesPerPixel(std::uint8_t value);
  void SetTargetSamplesPerPixel(std::uint8_t value);
  void SetSourceColorScheme(TColorScheme value);
  void SetTargetColorScheme(TColorScheme value);
  void SetSourceOptions(TConvertOptions value) { FSourceOptions = value; }
  void SetTargetOptions(TConvertOptions value) { FTargetOptions = value; }
  TPngPixelFormat SourcePixelFormat() const { return GetPixelFormat(0); }
  TPngPixelFormat TargetPixelFormat() const { return GetPixelFormat(1); }
  const std::uint8_t* GammaTable() const { return FGammaTable; }

private:
  TPngPixelFormat GetPixelFormat(int index) const;
  void SelectRowConverter();
  void BuildYCbCrTables();
  std::uint8_t ComponentGamma(std::uint8_t v) const { return FGammaTable[v]; }

  template <bool SourceBGR, bool TargetBGR>
  void ConvertRowRGBFamily(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowRGBToBGR(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowRGBToRGB(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowBGRToBGR(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowBGRToRGB(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowGray(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowIndexed(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowIndexed16(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowIndexed16To8(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowIndexed8To16(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  template <bool TargetBGR>
  void ConvertRowCMYK(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowCMYKToBGR(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowCMYKToRGB(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  template <bool TargetBGR>
  void ConvertRowLab(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowLabToBGR(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowLabToRGB(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  template <bool TargetBGR>
  void ConvertRowYCC(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowYCbCrToBGR(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowYCbCrToRGB(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowPhotoYCCToBGR(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);
  void ConvertRowPhotoYCCToRGB(TSource Source, void* Target, std::uint32_t Count, std::uint8_t Mask);

  bool FChanged = true;
  std::uint8_t FSourceBPS = 8, FTargetBPS = 8;
  std::uint8_t FSourceSPP = 3, FTargetSPP = 3;
  float FMainGamma = 1.0f, FDisplayGamma = 2.2f;
  std::uint8_t FGammaTable[256] = {};
  float FYCbCrCoefficients[3] = {0.299f, 0.587f, 0.114f};
  std::vector<std::int32_t> FCrToRedTable, FCbToBlueTable, FCrToGreenTable, FCbToGreenTable;
  TColorScheme FSourceScheme = csRGB, FTargetScheme = csBGR;
  TConversionMethod FRowConversion = nullptr;
  TConvertOptions FSourceOptions = 0, FTargetOptions = 0;
};

// ---- zlib inflater of the image data ------------------------------------------

TARVEL_DECLARE_EXCEPTION(EGraphicCompression, Exception)

class TLZ77Decoder {
public:
  TLZ77Decoder(int FlushMode, bool AutoReset);
  ~TLZ77Decoder();
  TLZ77Decoder(const TLZ77Decoder&) = delete;
  TLZ77Decoder& operator=(const TLZ77Decoder&) = delete;
  void DecodeInit();  // raises EGraphicCompression when zlib refuses
  // Inflates from Source into Dest and advances both past what zlib took and gave.
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::uint32_t PackedSize, std::uint32_t UnpackedSize);
  void DecodeEnd();
  std::uint32_t AvailableInput() const { return FStream.avail_in; }
  std::uint32_t AvailableOutput() const { return FStream.avail_out; }
  int ZLibResult() const { return FZLibResult; }

private:
  z_stream FStream{};
  int FZLibResult = 0;
  int FFlushMode;
  bool FAutoReset;
  bool FInitialized = false;
};

// ---- the reader ----------------------------------------------------------------

enum TImageOption : unsigned { ioBigEndian = 0x01, ioUseGamma = 0x02 };
using TImageOptions = unsigned;
enum TCompressionType : std::uint8_t { ctUnknown, ctNone, ctLZ77 };

struct TImageProperties {
  TImageOptions Options = 0;
  std::uint32_t Width = 0;
  TColorScheme ColorScheme = csUnknown;
  std::uint8_t BitsPerSample = 0;
  std::uint8_t SamplesPerPixel = 0;
  TCompressionType Compression = ctUnknown;
};

struct TPNGChunkHeader {
  std::uint32_t Length = 0;  // host order
  char ChunkType[4] = {};
};

enum class TProgressStage { psStarting, psRunning, psEnding };

class TPNGGraphic {
public:
  // Larger pictures are refused before anything is allocated: the engine's images are
  // skin parts, and a hostile header must not make a 32-bit process allocate gigabytes.
  static constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 24;
  static constexpr std::uint32_t MaxDimension = 65535;
  // No colour (the framework's clNone): TransparentColor without a tRNS key.
  static constexpr std::uint32_t NoColor = 0x1FFFFFFF;

  using TProgressEvent =
      std::function<void(TPNGGraphic& Sender, TProgressStage Stage, int PercentDone, const std::wstring& Msg)>;

  TPNGGraphic() = default;
  TPNGGraphic(const TPNGGraphic&) = delete;
  TPNGGraphic& operator=(const TPNGGraphic&) = delete;

  void Assign(const TPNGGraphic& Source);
  static bool CanLoad(TStream& Stream);
  static bool CanLoadFromStream(TStream& Stream) { return CanLoad(Stream); }
#ifdef _WIN32
  static bool CanLoad(const std::wstring& FileName);
  // An RT_RCDATA resource of the module.
  void LoadFromResourceName(void* Instance, const std::wstring& ResName);
#endif
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex);
  void LoadFromStream(TStream& Stream);

  // The decoded bitmap: rows top-down, each padded to 4 bytes as in a DIB.
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  TPngPixelFormat PixelFormat() const { return FPixelFormat; }
  const TColorPalette& Palette() const { return FBitmapPalette; }
  bool IgnorePalette() const { return FIgnorePalette; }
  std::uint8_t* ScanLine(int y) { return FPixels.get() + static_cast<std::size_t>(y) * FStride; }
  const std::uint8_t* ScanLine(int y) const { return FPixels.get() + static_cast<std::size_t>(y) * FStride; }
  bool Transparent() const { return FTransparent; }
  std::uint32_t BitmapTransparentColor() const { return FBitmapTransparentColor; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }

  std::uint32_t BackgroundColor() const { return FBackgroundColor; }
  const std::vector<std::uint8_t>& Transparency() const { return FTransparency; }
  std::uint32_t TransparentColor() const { return FTransparentColor; }
  TColorManager& ColorManager() { return FColorManager; }
  const TColorManager& ColorManager() const { return FColorManager; }
  const TImageProperties& ImageProperties() const { return FImageProperties; }
  void SetOnProgress(TProgressEvent value) { FOnProgress = std::move(value); }

  bool Reflected = false;

private:
  // bitmap side
  void ClearBitmap();
  void SetBitmapSize(std::uint32_t width, std::uint32_t height);
  void FillBitmap(std::uint32_t color, int firstRow);
  void Progress(TProgressStage stage, const std::wstring& msg);

  // chunk reading
  void NextChunkHeader();
  void ReadChunkData();
  void SkipChunkData();
  bool ChunkIs(const char* type) const;
  [[noreturn]] void InvalidGraphic(const wchar_t* format);

  int ConfigureColorDepth(int colorType, int bitDepth);
  void DecodeImageData();
  bool InflateRow(std::uint8_t* row, std::uint32_t bytes);
  void UnfilterRow(std::uint8_t* row, const std::uint8_t* previous, std::uint32_t bytes) const;
  void ReadBackgroundChunk();
  void ReadTransparencyChunk();
  std::uint32_t ColorFromChunkValues(const std::uint8_t* data) const;

  TColorManager FColorManager;
  std::int64_t FBasePosition = 0;
  TStream* FStream = nullptr;
  TImageProperties FImageProperties;
  std::uint32_t FImageHeight = 0;
  TLZ77Decoder* FDecoder = nullptr;
  std::uint32_t FIDATSize = 0;
  // Data of the chunk read last; grows without being zeroed, since each read fills it.
  struct TRawBuffer {
    std::unique_ptr<std::uint8_t[]> block;
    std::size_t length = 0, capacity = 0;
    std::uint8_t* data() { return block.get(); }
    std::size_t size() const { return length; }
    void resize(std::size_t n);
    void clear() { block.reset(), length = capacity = 0; }
  } FRawBuffer;
  const std::uint8_t* FCurrentSource = nullptr;
  TPNGChunkHeader FHeader;
  std::uint32_t FCurrentCRC = 0;
  int FSourceBPP = 1;
  TColorPalette FPalette;  // from PLTE or the grey ramp; empty when none
  std::vector<std::uint8_t> FTransparency;
  std::uint32_t FTransparentColor = TPNGGraphic::NoColor;
  std::uint32_t FBackgroundColor = 0xFFFFFF;
  struct {
    std::uint32_t Width = 0, Height = 0;
    std::uint8_t BitDepth = 0, ColorType = 0, Compression = 0, Filter = 0, Interlaced = 0;
  } FIHDR;
  int FProgressTop = 0;
  TProgressEvent FOnProgress;

  int FWidth = 0, FHeight = 0;
  std::size_t FStride = 0;
  TPngPixelFormat FPixelFormat = TPngPixelFormat::pfDevice;
  TColorPalette FBitmapPalette;
  bool FIgnorePalette = false;
  std::unique_ptr<std::uint8_t[]> FPixels;  // not zeroed: every row is filled or decoded
  bool FTransparent = false;
  std::uint32_t FBitmapTransparentColor = TPNGGraphic::NoColor;
};

// ---- 32-bit targets ----------------------------------------------------------

// What CopyPngToBitmap32 needs of a 32-bit bitmap (blue, green, red, alpha per pixel).
class TBitmap32Sink {
public:
  virtual ~TBitmap32Sink() = default;
  // The target's Transparent flag as it stood before the copy (it selects key-colour alpha).
  virtual bool Transparent() const = 0;
  // Makes it width x height at 32 bits; false (and 0 x 0) when that cannot be allocated.
  virtual bool SetSize32(int width, int height) = 0;
  virtual std::uint8_t* ScanLine32(int y) = 0;
};

// A plain 32-bit pixel buffer, top-down and unpadded.
class TBitmap32Buffer : public TBitmap32Sink {
public:
  bool Transparent() const override { return FTransparent; }
  void SetTransparent(bool value) { FTransparent = value; }
  bool SetSize32(int width, int height) override;
  std::uint8_t* ScanLine32(int y) override { return FPixels.data() + static_cast<std::size_t>(y) * FWidth * 4; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // 0xAARRGGBB of one pixel.
  std::uint32_t Pixel(int x, int y) const;
  const std::vector<std::uint8_t>& Pixels() const { return FPixels; }

private:
  bool FTransparent = false;
  int FWidth = 0, FHeight = 0;
  std::vector<std::uint8_t> FPixels;
};

void CopyPngToBitmap32(TBitmap32Sink& Bitmap, const TPNGGraphic& Png);
// Decodes a PNG from the stream's position into Bitmap as 32 bits with alpha.
void LoadPngStreamToBitmap(TBitmap32Sink& Bitmap, TStream& Stream);
