#include "skin/graphics/acZLibEx.h"
#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {
const wchar_t* const ZMessages[] = {L"need dictionary", L"stream end", L"ok", L"file error", L"stream error",
                                    L"data error", L"insufficient memory", L"buffer error", L"incompatible version"};
const signed char ZErrorCodes[] = {-1, -2, -3, -4, -5, -6};
const wchar_t InvalidOperation[] = L"Invalid ZStream operation!";
constexpr std::int64_t SkipBufferSize = 16384;

void ReadExactly(TStream& stream, void* buffer, std::int64_t count) {
  auto* p = static_cast<unsigned char*>(buffer);
  while (count > 0) {
    std::int64_t n = stream.Read(p, count);
    if (n <= 0) throw EReadError(L"Stream read error");
    p += n;
    count -= n;
  }
}
}  // namespace

int ZErrorCode(TZError error) { return ZErrorCodes[static_cast<int>(error)]; }

std::wstring ZErrorMessage(int code) {
  int index = 2 - code;
  if (index < 0 || index >= static_cast<int>(std::size(ZMessages))) return L"";
  return ZMessages[index];
}

EZLibError::EZLibError(int code, const std::wstring&) : Exception(ZErrorMessage(code)), FErrorCode(code) {}
EZLibError::EZLibError(TZError error, const std::wstring& dummy) : EZLibError(ZErrorCode(error), dummy) {}
EZLibError::EZLibError(const std::wstring& message) : Exception(message) {}

void* ZAlloc(void*, unsigned items, unsigned size) {
  if (size != 0 && items > SIZE_MAX / size) return nullptr;
  return std::malloc(static_cast<std::size_t>(items) * size);
}

void ZFree(void*, void* block) { std::free(block); }

int ZInflateInit(z_stream& stream, int windowBits) {
  stream = z_stream{};
  stream.zalloc = ZAlloc;
  stream.zfree = ZFree;
  return windowBits == 0 ? inflateInit(&stream) : inflateInit2(&stream, windowBits);
}

// ---- TCustomZStream ----------------------------------------------------------
TCustomZStream::TCustomZStream(TStream& stream) : FStream(&stream), FStreamPos(stream.Position()) {}

void TCustomZStream::DoProgress() {
  if (FOnProgress) FOnProgress(this);
}

// ---- TZDecompressionStream ---------------------------------------------------
TZDecompressionStream::TZDecompressionStream(TStream& source) : TCustomZStream(source), FStartPos(FStreamPos) {
  Init(0);
}

TZDecompressionStream::TZDecompressionStream(TStream& source, int windowBits)
    : TCustomZStream(source), FStartPos(FStreamPos) {
  Init(windowBits);
}

void TZDecompressionStream::Init(int windowBits) {
  int code = ZInflateInit(FZStream, windowBits);
  FZStream.next_in = FBuffer;
  FZStream.avail_in = 0;
  if (code < 0) throw EZDecompressionError(code);
}

TZDecompressionStream::~TZDecompressionStream() { inflateEnd(&FZStream); }

std::int64_t TZDecompressionStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  // zlib counts in 32 bits; a larger request is simply answered in part.
  count = std::min<std::int64_t>(count, INT_MAX);
  FZStream.next_out = static_cast<Bytef*>(buffer);
  FZStream.avail_out = static_cast<uInt>(count);
  // Another reader of the shared source may have moved it since our last call.
  if (FStream->Position() != FStreamPos) FStream->SetPosition(FStreamPos);
  int code = Z_OK;
  while (FZStream.avail_out > 0 && code != Z_STREAM_END) {
    if (FZStream.avail_in == 0) {
      std::int64_t got = FStream->Read(FBuffer, static_cast<std::int64_t>(BufferSize));
      if (got <= 0) return count - FZStream.avail_out;  // the source ended: no error here
      FZStream.avail_in = static_cast<uInt>(got);
      FZStream.next_in = FBuffer;
      FStreamPos = FStream->Position();
      DoProgress();
    }
    code = inflate(&FZStream, Z_NO_FLUSH);
    if (code < 0) throw EZDecompressionError(code);
    // A preset dictionary is never used by our data; asking for one ends the read.
    if (code == Z_NEED_DICT) throw EZDecompressionError(code);
  }
  if (code == Z_STREAM_END) {
    FDataEnded = true;
    if (FZStream.avail_in > 0) {
      // Hand the read-ahead back so the source stands right behind the compressed data.
      FStreamPos = FStream->Seek(-static_cast<std::int64_t>(FZStream.avail_in), TSeekOrigin::soCurrent);
      FZStream.avail_in = 0;
    }
  }
  return count - FZStream.avail_out;
}

void TZDecompressionStream::Write(const void*, std::int64_t) { throw EZDecompressionError(InvalidOperation); }

void TZDecompressionStream::SetSize(std::int64_t) { throw EZDecompressionError(InvalidOperation); }

std::int64_t TZDecompressionStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const std::int64_t delivered = static_cast<std::int64_t>(FZStream.total_out);
  if (offset == 0 && origin == TSeekOrigin::soBeginning) {
    int code = inflateReset(&FZStream);
    if (code < 0) throw EZDecompressionError(code);
    FZStream.next_in = FBuffer;
    FZStream.avail_in = 0;
    FStreamPos = FStartPos;  // the next Read starts over at the first compressed byte
    FDataEnded = false;
  } else if ((origin == TSeekOrigin::soCurrent && offset >= 0) ||
             (origin == TSeekOrigin::soBeginning && offset - delivered > 0)) {
    std::int64_t skip = origin == TSeekOrigin::soCurrent ? offset : offset - delivered;
    unsigned char scratch[SkipBufferSize];
    for (std::int64_t i = skip / SkipBufferSize; i > 0; --i) ReadExactly(*this, scratch, SkipBufferSize);
    ReadExactly(*this, scratch, skip % SkipBufferSize);
  } else if (offset == 0 && origin == TSeekOrigin::soEnd) {
    unsigned char scratch[SkipBufferSize];
    while (Read(scratch, SkipBufferSize) > 0) {
    }
  } else {
    throw EZDecompressionError(InvalidOperation);
  }
  return static_cast<std::int64_t>(FZStream.total_out);
}
