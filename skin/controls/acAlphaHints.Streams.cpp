// The "OVhh" template stream: plain C++ over bytes, built natively for fuzzing as well.
#include "skin/controls/acAlphaHints.h"

#include <span>

#include "platform/runtime/Exceptions.h"
#include "platform/ui/Graphics.Bmp.h"
#include "skin/graphics/acPNG.h"

namespace {

constexpr char Signature[4] = {'O', 'V', 'h', 'h'};

// Reads exactly what the stream format asks for; anything less is the platform's read error.
class TReader {
public:
  explicit TReader(TStream& s) : FStream(s), FLeft(s.Size() - s.Position()) {}
  void Bytes(void* buffer, std::int64_t count) {
    if (count < 0 || count > FLeft || FStream.Read(buffer, count) != count) throw EReadError(L"Stream read error");
    FLeft -= count;
  }
  std::uint8_t Byte() {
    std::uint8_t b;
    Bytes(&b, 1);
    return b;
  }
  std::int32_t Int() {
    std::uint8_t b[4];
    Bytes(b, 4);
    return static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24);
  }
  // A length field: negative or longer than the bytes left is a read error, not a size.
  std::string Counted(std::int32_t n) {
    if (n < 0 || n > FLeft) throw EReadError(L"Stream read error");
    std::string out(static_cast<std::size_t>(n), '\0');
    Bytes(out.data(), n);
    return out;
  }
  std::int64_t Left() const { return FLeft; }

private:
  TStream& FStream;
  std::int64_t FLeft;
};

void ReadSizes(TReader& r, TacBordersSizes& s) {
  s.FTop = r.Int();
  s.FLeft = r.Int();
  s.FRight = r.Int();
  s.FBottom = r.Int();
}

void CheckPicture(const TacHintImageData& image) {
  if (image.Picture.empty()) return;
  if (image.PictureKind == acHintPictureBmp) {
    DecodeBmp(std::span(reinterpret_cast<const std::uint8_t*>(image.Picture.data()), image.Picture.size()));
    return;
  }
  TMemoryStream png(image.Picture);
  TBitmap32Buffer bitmap;
  LoadPngStreamToBitmap(bitmap, png);
}

TacHintImageData ReadImage(TReader& r) {
  TacHintImageData image;
  TacBorderDrawModes& m = image.BorderDrawModes;
  m.FTop = r.Byte();
  m.FLeft = r.Byte();
  m.FRight = r.Byte();
  m.FBottom = r.Byte();
  m.FCenter = r.Byte();
  ReadSizes(r, image.BordersWidths);
  ReadSizes(r, image.ClientMargins);
  ReadSizes(r, image.ShadowSizes);
  // Kind "0" is a bitmap file; any other kind is taken as PNG bytes.
  image.PictureKind = r.Byte() == static_cast<std::uint8_t>(acHintPictureBmp) ? acHintPictureBmp : acHintPicturePng;
  image.Picture = r.Counted(r.Int());
  CheckPicture(image);
  return image;
}

void PutInt(TStream& s, std::int32_t v) {
  const std::uint32_t u = static_cast<std::uint32_t>(v);
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                             static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
  s.Write(b, 4);
}

void PutByte(TStream& s, std::uint8_t b) { s.Write(&b, 1); }

void PutSizes(TStream& s, const TacBordersSizes& v) {
  PutInt(s, v.FTop);
  PutInt(s, v.FLeft);
  PutInt(s, v.FRight);
  PutInt(s, v.FBottom);
}

void WriteImage(TStream& s, const TacHintImageData& image) {
  const TacBorderDrawModes& m = image.BorderDrawModes;
  for (std::uint8_t b : {m.FTop, m.FLeft, m.FRight, m.FBottom, m.FCenter}) PutByte(s, b);
  PutSizes(s, image.BordersWidths);
  PutSizes(s, image.ClientMargins);
  PutSizes(s, image.ShadowSizes);
  PutByte(s, static_cast<std::uint8_t>(image.PictureKind == acHintPictureBmp ? acHintPictureBmp : acHintPicturePng));
  PutInt(s, static_cast<std::int32_t>(image.Picture.size()));
  s.Write(image.Picture);
}

}  // namespace

std::optional<TacHintTemplateData> ReadHintTemplateStream(TStream& Stream) {
  Stream.SetPosition(0);
  TReader r(Stream);
  char signature[4] = {};
  if (r.Left() < 4) return std::nullopt;
  r.Bytes(signature, 4);
  if (std::string_view(signature, 4) != std::string_view(Signature, 4)) return std::nullopt;
  TacHintTemplateData data;
  const bool corners = r.Byte() == '1';
  data.FontColor = r.Int();
  if (data.FontColor < 0) data.FontColor = 0;
  data.FontSize = r.Int();
  data.FontStyle = r.Byte();
  // Every byte of the name is read, so the records after it stay in step; the first 63 are kept.
  data.FontName = r.Counted(r.Int());
  if (data.FontName.size() > acHintFontNameLimit) data.FontName.resize(acHintFontNameLimit);
  data.Images[hiDefault] = ReadImage(r);
  if (corners && r.Left() > 0) {
    data.Images[hiRightTop] = ReadImage(r);
    data.Images[hiRightBottom] = ReadImage(r);
    data.Images[hiLeftBottom] = ReadImage(r);
  }
  return data;
}

void WriteHintTemplateStream(TStream& Stream, const TacHintTemplateData& Data) {
  Stream.SetSize(0);
  Stream.SetPosition(0);
  Stream.Write(Signature, 4);
  PutByte(Stream, '1');
  PutInt(Stream, Data.FontColor < 0 ? 0 : Data.FontColor);
  PutInt(Stream, Data.FontSize);
  PutByte(Stream, Data.FontStyle);
  PutInt(Stream, static_cast<std::int32_t>(Data.FontName.size()));
  Stream.Write(Data.FontName);
  WriteImage(Stream, Data.Images[hiDefault]);
  if (!Data.SingleImage()) {
    WriteImage(Stream, Data.Images[hiRightTop]);
    WriteImage(Stream, Data.Images[hiRightBottom]);
    WriteImage(Stream, Data.Images[hiLeftBottom]);
  }
}
