#include "skin/manager/acPackedSkin.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "skin/graphics/acZLibEx.h"
#include <algorithm>
#include <cstring>
#include <memory>

#ifdef _WIN32
#include "platform/runtime/Files.h"
#include <windows.h>
#endif

namespace {
const char Signature[4] = {'O', 'V', 'z', 'f'};
const char PreviewMark[] = "previewimg";
const wchar_t NotPackedText[] = L"Loaded data is not a packed Orvandel file";
// deflate cannot expand data by more than about 1032:1; a size beyond that is a lie.
constexpr std::uint64_t MaxInflateRatio = 1032;

void DefaultErrorHandler(TsSkinManager*, const std::wstring& text) {
#ifdef _WIN32
  MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
#else
  (void)text;
#endif
}

TPackedSkinErrorHandler& ErrorHandler() {
  static TPackedSkinErrorHandler handler = DefaultErrorHandler;
  return handler;
}

std::wstring AsciiUpper(std::wstring text) {
  for (wchar_t& c : text)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  return text;
}

[[noreturn]] void BadPackedData(const std::wstring& text) {
  CodeSite().SendError(L"Packed skin: " + text);
  throw EReadError(L"Packed skin is damaged: " + text);
}

std::uint32_t ReadLE32(TStream& data, const wchar_t* what) {
  std::uint8_t raw[4];
  if (data.Read(raw, 4) != 4) BadPackedData(std::wstring(what) + L" is missing");
  return raw[0] | (std::uint32_t(raw[1]) << 8) | (std::uint32_t(raw[2]) << 16) | (std::uint32_t(raw[3]) << 24);
}

// The entry's whole zlib stream: exactly Size bytes of content, and its end (trailer
// included) must come right after them, so the source then stands on the next entry.
std::string InflateEntry(TMemoryStream& data, std::uint32_t size, const std::wstring& name) {
  // On the heap: the stream carries its 128 KB input buffer inside.
  auto stream = std::make_unique<TZDecompressionStream>(data);
  TZDecompressionStream& z = *stream;
  std::string content(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    std::int64_t n = z.Read(content.data() + done, static_cast<std::int64_t>(size - done));
    if (n <= 0) BadPackedData(L"entry \"" + name + L"\" ends before its " + std::to_wstring(size) + L" bytes");
    done += static_cast<std::size_t>(n);
  }
  char extra;
  if (z.Read(&extra, 1) != 0) BadPackedData(L"entry \"" + name + L"\" holds more than its " + std::to_wstring(size) + L" bytes");
  if (!z.DataEnded()) BadPackedData(L"entry \"" + name + L"\" is cut off before the end of its compressed data");
  return content;
}
}  // namespace

void SetPackedSkinErrorHandler(TPackedSkinErrorHandler Handler) {
  ErrorHandler() = Handler ? std::move(Handler) : TPackedSkinErrorHandler(DefaultErrorHandler);
}

void TacSkinConvertor::Clear() {
  while (!Files.empty()) Files.pop_back();
  Options.reset();
  PackedData = nullptr;
  FileCount = 0;
}

TacFileType FileTypeOfEntry(const std::wstring& Name) {
  std::size_t dot = Name.find_last_of(L'.');
  std::wstring ext = dot == std::wstring::npos ? L"" : AsciiUpper(Name.substr(dot));
  if (ext == L".BMP") return ftBmp;
  if (ext == L".TTF" || ext == L".OTF") return ftFont;
  return ftOther;
}

bool ReadPackedSkin(TacSkinConvertor& Convertor, TsSkinManager* Manager) {
  TMemoryStream& data = *Convertor.PackedData;
  data.SetPosition(0);
  char header[16] = {};
  std::int64_t got = data.Read(header, sizeof header);
  if (got < 4 || std::memcmp(header, Signature, 4) != 0) {
    CodeSite().SendError(L"Packed skin: no packed skin signature");
    ErrorHandler()(Manager, NotPackedText);
    return false;
  }
  if (got < 8) BadPackedData(L"the entry count is missing");
  const std::uint32_t count = static_cast<std::uint8_t>(header[4]) | (static_cast<std::uint8_t>(header[5]) << 8) |
                              (static_cast<std::uint8_t>(header[6]) << 16) |
                              (std::uint32_t(static_cast<std::uint8_t>(header[7])) << 24);
  data.SetPosition(8);
  const std::int64_t total = static_cast<std::int64_t>(data.Bytes().size());
  // Each entry needs at least its two lengths and a minimal zlib stream, so a count
  // beyond what the data can hold is refused at once instead of entry by entry.
  if (static_cast<std::uint64_t>(count) * 16 > static_cast<std::uint64_t>(total - 8))
    BadPackedData(L"the entry count " + std::to_wstring(count) + L" does not fit the data");
  Convertor.FileCount = static_cast<int>(static_cast<std::int64_t>(count) - 1);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t nameLength = ReadLE32(data, L"an entry's name length");
    std::int64_t left = total - data.Position();
    if (nameLength > PackedSkinMaxNameLength || nameLength > left)
      BadPackedData(L"entry " + std::to_wstring(i) + L" has a name length of " + std::to_wstring(nameLength));
    std::string rawName(nameLength, '\0');
    if (nameLength) data.Read(rawName.data(), nameLength);
    const std::wstring name = AnsiToWide(rawName);
    const std::uint32_t size = ReadLE32(data, L"an entry's size");
    left = total - data.Position();
    if (size > PackedSkinMaxEntrySize || size > static_cast<std::uint64_t>(left) * MaxInflateRatio)
      BadPackedData(L"entry \"" + name + L"\" claims " + std::to_wstring(size) + L" bytes");
    auto stream = std::make_unique<TMemoryStream>(InflateEntry(data, size, name));
    if (AsciiUpper(name) == L"OPTIONS.DAT") {
      Convertor.Options = std::move(stream);  // a second options entry replaces the first
    } else {
      Convertor.Files.push_back(TacFileItem{name, FileTypeOfEntry(name), std::move(stream)});
    }
  }
  return true;
}

std::size_t FindInText(std::string_view Pattern, std::string_view Text) {
  const std::size_t m = Pattern.size(), n = Text.size();
  if (m == 0 || m > n) return 0;
  std::size_t shift[256];
  std::fill(std::begin(shift), std::end(shift), m);
  for (std::size_t i = 0; i + 1 < m; ++i) shift[static_cast<unsigned char>(Pattern[i])] = m - 1 - i;
  std::size_t at = 0;
  while (at + m <= n) {
    if (std::memcmp(Text.data() + at, Pattern.data(), m) == 0) return at + 1;
    at += shift[static_cast<unsigned char>(Text[at + m - 1])];
  }
  return 0;
}

bool ExtractPreviewImage(TMemoryStream& Target, TStream& Source) {
  Source.SetPosition(0);
  const std::string whole = Source.ReadToEnd();
  const std::size_t found = FindInText(PreviewMark, whole);
  if (found == 0) return false;
  const std::size_t sizeAt = found + 9;
  if (whole.size() < sizeAt + 4) return false;
  const auto* p = reinterpret_cast<const std::uint8_t*>(whole.data() + sizeAt);
  const std::uint32_t size = p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
  Source.SetPosition(static_cast<std::int64_t>(sizeAt + 4));
  // A size beyond the end copies what is there; nothing larger than the file is allocated.
  const std::size_t take = std::min<std::size_t>(size, whole.size() - (sizeAt + 4));
  Target.Clear();
  Target.Write(whole.data() + sizeAt + 4, static_cast<std::int64_t>(take));
  Target.SetPosition(0);
  return true;
}

#ifdef _WIN32
void OpenPackedSkinFile(const std::wstring& FileName, std::unique_ptr<TacSkinConvertor>& Convertor,
                        TsSkinManager* Manager) {
  if (!FileExists(FileName)) return;
  if (Convertor)
    Convertor->Clear();
  else
    Convertor = std::make_unique<TacSkinConvertor>();
  TMemoryStream packed(ReadAllBytes(FileName));
  Convertor->PackedData = &packed;
  struct TDetach {
    TacSkinConvertor& c;
    ~TDetach() { c.PackedData = nullptr; }
  } detach{*Convertor};
  ReadPackedSkin(*Convertor, Manager);
}

bool LoadPreviewImageFromFile(TMemoryStream& Target, const std::wstring& FileName) {
  if (!FileExists(FileName)) return false;
  TMemoryStream source(ReadAllBytes(FileName));
  return ExtractPreviewImage(Target, source);
}
#endif
