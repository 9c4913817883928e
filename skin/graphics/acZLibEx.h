#pragma once
// A read-only stream that inflates zlib data from another stream. Packed skins
// read every entry through one, and it hands unread input back to its source
// when the compressed data ends, so the source then stands on the next entry.
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Streams.h"
#include <cstdint>
#include <functional>
#include <zlib.h>

enum class TZError { zeError, zeStreamError, zeDataError, zeMemoryError, zeBufferError, zeVersionError };

// zlib's own code of a TZError (-1 .. -6).
int ZErrorCode(TZError error);
// Our text for a zlib code from 2 (need dictionary) down to -6; "" outside that range.
std::wstring ZErrorMessage(int code);

class EZLibError : public Exception {
public:
  EZLibError(int code, const std::wstring& dummy = L"");
  EZLibError(TZError error, const std::wstring& dummy = L"");
  // A failure of the stream itself rather than of zlib; ErrorCode stays 0.
  explicit EZLibError(const std::wstring& message);
  int ErrorCode() const { return FErrorCode; }
  std::wstring ClassName() const override { return L"EZLibError"; }

private:
  int FErrorCode = 0;
};
TARVEL_DECLARE_EXCEPTION(EZDecompressionError, EZLibError)

// The allocation functions zlib calls for every inflater of the skin engine.
void* ZAlloc(void* opaque, unsigned items, unsigned size);
void ZFree(void* opaque, void* block);
// Prepares a zeroed record with our memory functions and calls inflateInit/inflateInit2
// (windowBits 0 means the default); returns zlib's answer.
int ZInflateInit(z_stream& stream, int windowBits = 0);

using TZNotifyEvent = std::function<void(TStream* Sender)>;

class TCustomZStream : public TStream {
public:
  static constexpr std::size_t BufferSize = 131072;
  explicit TCustomZStream(TStream& stream);
  TCustomZStream(const TCustomZStream&) = delete;
  TCustomZStream& operator=(const TCustomZStream&) = delete;

protected:
  void DoProgress();

  TStream* FStream;           // the source, not owned
  std::int64_t FStreamPos;    // where the next refill reads from
  TZNotifyEvent FOnProgress;  // fired after each refill
  z_stream FZStream{};
  unsigned char FBuffer[BufferSize];
};

class TZDecompressionStream : public TCustomZStream {
public:
  // The compressed data starts at the source's current position.
  explicit TZDecompressionStream(TStream& source);
  TZDecompressionStream(TStream& source, int windowBits);
  ~TZDecompressionStream() override;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  void Write(const void* buffer, std::int64_t count) override;  // always raises
  using TStream::Write;
  // Returns the count of decompressed bytes delivered so far (total_out). Accepts only
  // the rewind (0 from the beginning), forward skips and "to the end" (0 from the end).
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;  // always raises

  const TZNotifyEvent& OnProgress() const { return FOnProgress; }
  void SetOnProgress(TZNotifyEvent value) { FOnProgress = std::move(value); }
  // True once inflate has seen the end of the compressed data (its trailer included).
  bool DataEnded() const { return FDataEnded; }
  std::uint64_t TotalIn() const { return FZStream.total_in; }

private:
  void Init(int windowBits);
  std::int64_t FStartPos;  // the first byte of the compressed data in the source
  bool FDataEnded = false;
};
