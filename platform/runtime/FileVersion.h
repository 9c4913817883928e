#pragma once
// The fixed file version of an executable's version resource (version.dll).
#include <cstdint>
#include <string>

struct TFileVersion {
  std::uint16_t Major = 0, Minor = 0, Release = 0, Build = 0;
};

// False when the file has no version resource that can be read.
bool GetFixedFileVersion(const std::wstring& fileName, TFileVersion& version);
