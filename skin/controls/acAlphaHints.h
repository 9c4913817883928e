#pragma once
// Hints of the skin engine: the hint templates (a nine-sliced balloon picture with borders,
// margins, shadow sizes and a font) and their "OVhh" stream.
//
// The stream's reader and writer work on a plain description of a template
// (TacHintTemplateData) and check every picture with our own PNG and BMP cores, so they
// build and run natively too (fuzzing).
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/runtime/Streams.h"

enum TacBorderDrawMode : std::uint8_t { dmRepeat, dmStretch };
enum TacMousePosition { mpLeftTop, mpLeftBottom, mpRightTop, mpRightBottom };
enum TacHintAlign { haHorzCenter, haVertCenter };

// Four sizes of a hint picture; kept as stored, read as 0 when negative.
struct TacBordersSizes {
  std::int32_t FTop = 0, FLeft = 0, FRight = 0, FBottom = 0;
  int Top() const { return FTop < 0 ? 0 : FTop; }
  int Left() const { return FLeft < 0 ? 0 : FLeft; }
  int Right() const { return FRight < 0 ? 0 : FRight; }
  int Bottom() const { return FBottom < 0 ? 0 : FBottom; }
  friend bool operator==(const TacBordersSizes&, const TacBordersSizes&) = default;
};

// How each part of the nine slices fills its place; a stored byte other than 0 stretches.
struct TacBorderDrawModes {
  std::uint8_t FTop = dmStretch, FLeft = dmStretch, FRight = dmStretch, FCenter = dmStretch,
               FBottom = dmStretch;
  static TacBorderDrawMode Mode(std::uint8_t stored) { return stored == dmRepeat ? dmRepeat : dmStretch; }
  TacBorderDrawMode Top() const { return Mode(FTop); }
  TacBorderDrawMode Left() const { return Mode(FLeft); }
  TacBorderDrawMode Right() const { return Mode(FRight); }
  TacBorderDrawMode Center() const { return Mode(FCenter); }
  TacBorderDrawMode Bottom() const { return Mode(FBottom); }
  friend bool operator==(const TacBorderDrawModes&, const TacBorderDrawModes&) = default;
};

// Kinds of picture in a stream's image record.
constexpr char acHintPicturePng = '1';
constexpr char acHintPictureBmp = '0';

// One image of a template as the stream holds it: the picture is the file's bytes.
struct TacHintImageData {
  TacBorderDrawModes BorderDrawModes;
  TacBordersSizes BordersWidths, ClientMargins, ShadowSizes;
  char PictureKind = acHintPicturePng;
  std::string Picture;
  friend bool operator==(const TacHintImageData&, const TacHintImageData&) = default;
};

// The images of a template, in the order the component names them.
enum TacHintImageIndex { hiDefault, hiLeftBottom, hiRightBottom, hiRightTop };

// Font style bits of the stream.
constexpr std::uint8_t acHintBold = 1, acHintItalic = 2, acHintUnderline = 4, acHintStrikeOut = 8;

// The font name kept of a stream (bytes of the ANSI code page).
constexpr std::size_t acHintFontNameLimit = 63;

struct TacHintTemplateData {
  std::int32_t FontColor = 0;
  std::int32_t FontSize = 9;
  std::uint8_t FontStyle = 0;
  std::string FontName;  // in the system's ANSI code page
  std::array<TacHintImageData, 4> Images;
  // A template of one image: its left-bottom image is empty.
  bool SingleImage() const { return Images[hiLeftBottom].Picture.empty(); }
  friend bool operator==(const TacHintTemplateData&, const TacHintTemplateData&) = default;
};

// Reads a template stream from its start. Answers nothing when the signature is not
// "OVhh"; a stream that ends early, or whose lengths do not fit the bytes left, raises the
// platform's stream error (EReadError); a picture that our PNG or BMP core refuses raises
// EInvalidGraphic.
std::optional<TacHintTemplateData> ReadHintTemplateStream(TStream& Stream);
// Empties Stream and writes Data: the flag "1" always, corner records only for a template
// of four images, a negative font colour as 0.
void WriteHintTemplateStream(TStream& Stream, const TacHintTemplateData& Data);

#ifdef _WIN32
#include <functional>
#include <memory>

#include "platform/ui/Graphics.h"

// The default template's description: the picture RCDATA "ACHINT" with its borders,
// shadows and margins, every part stretched.
TacHintTemplateData DefaultHintTemplateData();
// The picture of a template image as a 32-bit bitmap with alpha; nullptr when it has none.
std::unique_ptr<TBitmap> HintPicture(const TacHintImageData& Image);
// A template hint of Width x Height: Picture cut in nine slices by the image's borders (kept
// inside the picture) and drawn by its draw modes, Content drawn into the client area (the
// hint less the client margins), the alpha of the slices restored and the pixels
// premultiplied, as a layered window takes them.
std::unique_ptr<TBitmap> ComposeTemplateHint(const TacHintImageData& Image, TBitmap* Picture, int Width, int Height,
                                             const std::function<void(TBitmap* Bmp, const TRect& Client)>& Content);
#endif
