#include "platform/runtime/Md5.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Strings.h"
#include <windows.h>
#include <bcrypt.h>
#include <mutex>

namespace {
// One provider handle for the process: opening it is the costly part and it is thread-safe.
BCRYPT_ALG_HANDLE Provider() {
  static BCRYPT_ALG_HANDLE handle = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_MD5_ALGORITHM, nullptr, 0))) handle = nullptr;
  });
  if (!handle) throw EOSError(L"MD5 is not available from the system's cryptography provider");
  return handle;
}

void Check(NTSTATUS status, const wchar_t* what) {
  if (!BCRYPT_SUCCESS(status))
    throw EOSError(FormatW(L"%s failed (NTSTATUS 0x%08lX)", what, static_cast<unsigned long>(status)));
}
}  // namespace

TMD5::TMD5() { Open(); }

TMD5::~TMD5() {
  if (FHash) BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(FHash));
}

void TMD5::Open() {
  BCRYPT_ALG_HANDLE alg = Provider();
  DWORD objectSize = 0, got = 0;
  Check(BCryptGetProperty(alg, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize), sizeof objectSize, &got, 0),
        L"MD5 object size");
  FObject.assign(objectSize, '\0');
  BCRYPT_HASH_HANDLE hash = nullptr;
  Check(BCryptCreateHash(alg, &hash, reinterpret_cast<PUCHAR>(FObject.data()), objectSize, nullptr, 0, 0),
        L"MD5 start");
  FHash = hash;
}

void TMD5::Update(const void* data, std::size_t size) {
  auto* p = static_cast<const UCHAR*>(data);
  while (size > 0) {
    ULONG chunk = static_cast<ULONG>(size > 0x40000000 ? 0x40000000 : size);
    Check(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(FHash), const_cast<PUCHAR>(p), chunk, 0), L"MD5 update");
    p += chunk;
    size -= chunk;
  }
}

std::array<std::uint8_t, 16> TMD5::Finish() {
  std::array<std::uint8_t, 16> digest{};
  Check(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(FHash), digest.data(), 16, 0), L"MD5 finish");
  BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(FHash));
  FHash = nullptr;
  Open();
  return digest;
}

std::wstring TMD5::HexDigest() {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring hex;
  for (std::uint8_t b : Finish()) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

std::wstring MD5Hex(std::string_view bytes) {
  TMD5 md5;
  md5.Update(bytes);
  return md5.HexDigest();
}
