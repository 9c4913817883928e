#pragma once
// Packed skins: a whole skin (options text, images, fonts) in one ".ovz" file or in
// the data of a stored skin, each member compressed on its own with zlib.
//   "OVzf", entry count N (LE32), N x { name length, name (ANSI), size, zlib stream },
//   then "previewimg", a size and a PNG preview.
// The reader splits the bytes into the options text and named entry streams.
#include "platform/runtime/Streams.h"
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TsSkinManager;

enum TacFileType { ftBmp, ftFont, ftOther };

struct TacFileItem {
  std::wstring Name;
  TacFileType FileType = ftOther;
  std::unique_ptr<TMemoryStream> Stream;
};

class TacSkinConvertor {
public:
  TacSkinConvertor() = default;
  ~TacSkinConvertor() { Clear(); }
  TacSkinConvertor(const TacSkinConvertor&) = delete;
  TacSkinConvertor& operator=(const TacSkinConvertor&) = delete;
  // Frees the entry streams (last first), then the options; forgets the packed bytes.
  void Clear();

  std::unique_ptr<TMemoryStream> Options;  // the options text; empty when the skin has none
  TMemoryStream* PackedData = nullptr;      // the bytes being read; never owned past a read
  int FileCount = 0;                        // N - 1
  std::vector<TacFileItem> Files;           // the other entries in file order
};

// Caps on what one entry may claim, checked before anything is allocated: no skin part
// comes near them, and a hostile size field must not exhaust a 32-bit process.
constexpr std::uint32_t PackedSkinMaxEntrySize = 64u << 20;
constexpr std::uint32_t PackedSkinMaxNameLength = 4096;

TacFileType FileTypeOfEntry(const std::wstring& Name);

// Splits Convertor.PackedData into Options and Files. False (after the error dialog) when
// the signature is wrong; raises on entries that do not fit the data (EReadError) and on
// corrupt compressed data (EZDecompressionError).
bool ReadPackedSkin(TacSkinConvertor& Convertor, TsSkinManager* Manager);
#ifdef _WIN32
// Nothing when the file does not exist; otherwise the convertor (cleared or created) holds its entries.
void OpenPackedSkinFile(const std::wstring& FileName, std::unique_ptr<TacSkinConvertor>& Convertor,
                        TsSkinManager* Manager);
bool LoadPreviewImageFromFile(TMemoryStream& Target, const std::wstring& FileName);
#endif
// Copies the preview PNG that follows "previewimg" in Source into Target (positioned at 0).
bool ExtractPreviewImage(TMemoryStream& Target, TStream& Source);
// Horspool search: 1-based position of the first occurrence of Pattern in Text, 0 when none.
std::size_t FindInText(std::string_view Pattern, std::string_view Text);

// What shows the format error of a packed skin. The default is a plain error box; the
// skin manager sets one that suspends dialog skinning around it, tests one that records.
using TPackedSkinErrorHandler = std::function<void(TsSkinManager* Manager, const std::wstring& Text)>;
void SetPackedSkinErrorHandler(TPackedSkinErrorHandler Handler);  // empty restores the default
