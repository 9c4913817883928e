#pragma once
// Byte streams: the abstract stream the HTTP client writes bodies into and the
// hashing helpers read from, a memory stream and a file stream over a Win32 handle.
#include <cstdint>
#include <string>
#include <string_view>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;
  // Up to count bytes; the number actually read (0 at the end).
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  // Writes all bytes or raises.
  virtual void Write(const void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(std::int64_t size) = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t value) { Seek(value, TSeekOrigin::soBeginning); }
  std::int64_t Size();
  void Write(std::string_view bytes) { Write(bytes.data(), static_cast<std::int64_t>(bytes.size())); }
  // From the current position to the end.
  std::string ReadToEnd();
};

class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : FData(std::move(bytes)) {}
  std::int64_t Read(void* buffer, std::int64_t count) override;
  void Write(const void* buffer, std::int64_t count) override;
  using TStream::Write;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;
  const std::string& Bytes() const { return FData; }
  void Clear() { FData.clear(); FPosition = 0; }

private:
  std::string FData;
  std::int64_t FPosition = 0;
};

// Open modes and sharing, combined with "|": fmCreate makes a new empty file. Without a
// sharing flag an opened file may still be read by others, a created one not at all.
enum : unsigned {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00,
};

class TFileStream : public TStream {
public:
  // Raises EFileNotFoundException / EInOutError with the system's message.
  TFileStream(const std::wstring& fileName, unsigned mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  std::int64_t Read(void* buffer, std::int64_t count) override;
  void Write(const void* buffer, std::int64_t count) override;
  using TStream::Write;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;
  const std::wstring& FileName() const { return FFileName; }

private:
  void* FHandle;
  std::wstring FFileName;
};
