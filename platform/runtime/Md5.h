#pragma once
// MD5 (RFC 1321) over Windows CNG, fed in pieces so that a stream can be hashed
// while it arrives.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TMD5 {
public:
  TMD5();  // raises EOSError when the system has no MD5 provider
  ~TMD5();
  TMD5(const TMD5&) = delete;
  TMD5& operator=(const TMD5&) = delete;

  void Update(const void* data, std::size_t size);
  void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
  // Ends this digest; the object then starts a new one.
  std::array<std::uint8_t, 16> Finish();
  // Finish as 32 lowercase hexadecimal digits.
  std::wstring HexDigest();

private:
  void Open();
  void* FHash = nullptr;
  std::string FObject;
};

// The digest of a whole byte string as lowercase hexadecimal.
std::wstring MD5Hex(std::string_view bytes);
