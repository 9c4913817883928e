#include "updater/Upd.Types.h"

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "settings/Common.Utils.h"

// ---- TFileItem -------------------------------------------------------------

TFileItem TFileItem::Create(const std::wstring& APath, const std::wstring& AHash, std::int64_t ASize) {
  TFileItem item;
  item.Path = APath;
  item.Hash = AHash;
  item.Size = ASize;
  // A full URL and the relative path written for it in the local index must meet on one
  // AsPath, so both go through the same host split.
  item.AsPath = TUrl::GetPath(APath);
  std::replace(item.AsPath.begin(), item.AsPath.end(), L'/', L'\\');
  return item;
}

static inline wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? wchar_t(c - 32) : c; }

int CompareFileItems(const TFileItem& ALeft, const TFileItem& ARight) {
  const std::wstring& a = ALeft.AsPath;
  const std::wstring& b = ARight.AsPath;
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const wchar_t x = AsciiUpper(a[i]), y = AsciiUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// ---- TFileItemList ---------------------------------------------------------

TFileItemList::TFileItemList(TComparer AComparer) : FComparer(std::move(AComparer)) {}

void TFileItemList::CheckIndex(int AIndex) const {
  if (AIndex < 0 || AIndex >= Count())
    throw EArgumentOutOfRangeException(FormatW(L"Argument out of range: index %d, count %d", AIndex, Count()));
}

const TFileItem& TFileItemList::Items(int AIndex) const {
  CheckIndex(AIndex);
  return FItems[AIndex];
}

void TFileItemList::Notify(const TFileItem& AItem, TCollectionNotification AAction) {
  if (AAction == TCollectionNotification::cnAdded)
    FSize += AItem.Size;
  else
    FSize -= AItem.Size;
}

int TFileItemList::Add(const TFileItem& AItem) {
  FItems.push_back(AItem);
  Notify(FItems.back(), TCollectionNotification::cnAdded);
  return Count() - 1;
}

void TFileItemList::Delete(int AIndex) {
  CheckIndex(AIndex);
  TFileItem item = std::move(FItems[AIndex]);
  FItems.erase(FItems.begin() + AIndex);
  Notify(item, TCollectionNotification::cnRemoved);
}

TFileItem TFileItemList::ExtractAt(int AIndex) {
  CheckIndex(AIndex);
  TFileItem item = std::move(FItems[AIndex]);
  FItems.erase(FItems.begin() + AIndex);
  Notify(item, TCollectionNotification::cnExtracted);
  return item;
}

void TFileItemList::Clear() {
  std::vector<TFileItem> items;
  items.swap(FItems);
  for (const auto& item : items) Notify(item, TCollectionNotification::cnRemoved);
}

void TFileItemList::Sort() {
  std::sort(FItems.begin(), FItems.end(),
            [this](const TFileItem& a, const TFileItem& b) { return FComparer(a, b) < 0; });
}

bool TFileItemList::BinarySearch(const TFileItem& AItem, int& AIndex) const {
  auto it = std::lower_bound(FItems.begin(), FItems.end(), AItem,
                             [this](const TFileItem& a, const TFileItem& b) { return FComparer(a, b) < 0; });
  AIndex = static_cast<int>(it - FItems.begin());
  return it != FItems.end() && FComparer(*it, AItem) == 0;
}

int TFileItemList::ThAdd(const TFileItem& AItem) {
  std::lock_guard<std::recursive_mutex> lock(FMonitor);
  return Add(AItem);
}

TFileItem TFileItemList::ThExtract(int AIndex) {
  std::lock_guard<std::recursive_mutex> lock(FMonitor);
  return ExtractAt(AIndex);
}

TFileItem TFileItemList::ThItem(int AIndex) {
  std::lock_guard<std::recursive_mutex> lock(FMonitor);
  return Items(AIndex);
}

// ---- masks -----------------------------------------------------------------

namespace {

// Matches one mask character (or set) at mask position mi against c; advances mi past it.
// An unclosed "[" is an ordinary character.
bool MatchOne(std::wstring_view mask, size_t& mi, wchar_t c) {
  const wchar_t m = mask[mi];
  if (m == L'?') {
    ++mi;
    return true;
  }
  if (m == L'[') {
    const size_t close = mask.find(L']', mi + 1);
    if (close != std::wstring_view::npos && close > mi + 1) {
      bool hit = false;
      const wchar_t uc = AsciiUpper(c);
      for (size_t k = mi + 1; k < close; ++k) {
        wchar_t lo = AsciiUpper(mask[k]), hi = lo;
        if (k + 2 < close && mask[k + 1] == L'-') {
          hi = AsciiUpper(mask[k + 2]);
          k += 2;
        }
        if (uc >= lo && uc <= hi) hit = true;
      }
      mi = close + 1;
      return hit;
    }
  }
  ++mi;
  return AsciiUpper(m) == AsciiUpper(c);
}

}  // namespace

bool MatchesMask(std::wstring_view AName, std::wstring_view AMask) {
  // Greedy matching with one remembered star: linear in practice, never exponential.
  size_t ni = 0, mi = 0;
  size_t starMask = std::wstring_view::npos, starName = 0;
  while (ni < AName.size()) {
    if (mi < AMask.size() && AMask[mi] == L'*') {
      starMask = ++mi;
      starName = ni;
      continue;
    }
    if (mi < AMask.size()) {
      size_t next = mi;
      if (MatchOne(AMask, next, AName[ni])) {
        mi = next;
        ++ni;
        continue;
      }
    }
    if (starMask == std::wstring_view::npos) return false;
    mi = starMask;
    ni = ++starName;
  }
  while (mi < AMask.size() && AMask[mi] == L'*') ++mi;
  return mi == AMask.size();
}

// ---- local path safety -----------------------------------------------------

namespace {

bool IsDeviceName(std::wstring_view segment) {
  // The device is the part before the first point, with trailing blanks ignored.
  std::wstring base(segment.substr(0, segment.find(L'.')));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (auto& c : base) c = AsciiUpper(c);
  static const wchar_t* const names[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
  for (auto n : names)
    if (base == n) return true;
  if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0)) {
    const wchar_t d = base[3];
    if ((d >= L'0' && d <= L'9') || d == L'\u00B9' || d == L'\u00B2' || d == L'\u00B3') return true;
  }
  return false;
}

bool Fail(std::wstring* reason, const wchar_t* text) {
  if (reason) *reason = text;
  return false;
}

}  // namespace

bool IsSafeLocalPath(std::wstring_view AAsPath, std::wstring* AReason) {
  if (AAsPath.empty()) return Fail(AReason, L"empty path");
  if (AAsPath.front() == L'\\' || AAsPath.front() == L'/') return Fail(AReason, L"rooted path");
  for (wchar_t c : AAsPath) {
    if (c == L':') return Fail(AReason, L"drive or stream separator");
    if (c < 32 || c == L'*' || c == L'?' || c == L'<' || c == L'>' || c == L'|' || c == L'"')
      return Fail(AReason, L"character not allowed in a file name");
  }
  size_t start = 0;
  while (start <= AAsPath.size()) {
    size_t end = AAsPath.find_first_of(L"\\/", start);
    if (end == std::wstring_view::npos) end = AAsPath.size();
    std::wstring_view segment = AAsPath.substr(start, end - start);
    // Windows drops trailing points and blanks of a name, so ".. " and "..." act as "..".
    std::wstring_view stripped = segment;
    while (!stripped.empty() && (stripped.back() == L'.' || stripped.back() == L' ')) stripped.remove_suffix(1);
    if (segment.empty()) return Fail(AReason, L"empty path segment");
    if (stripped.empty()) return Fail(AReason, L"relative path segment");
    if (IsDeviceName(segment)) return Fail(AReason, L"device name");
    start = end + 1;
  }
  return true;
}

std::wstring JoinLocalPath(const std::wstring& ARoot, const std::wstring& AAsPath) {
  std::wstring reason;
  if (!IsSafeLocalPath(AAsPath, &reason))
    throw EInOutError(FormatW(L"Unsafe local path \"%s\": %s", AAsPath.c_str(), reason.c_str()));
  std::wstring joined = IncludeTrailingPathDelimiter(ARoot) + AAsPath;
  const std::wstring root = IncludeTrailingPathDelimiter(ExpandFileName(ARoot));
  const std::wstring full = ExpandFileName(joined);
  bool inside = full.size() > root.size();
  for (size_t i = 0; inside && i < root.size(); ++i)
    inside = AsciiUpper(root[i]) == AsciiUpper(full[i]);
  if (!inside) throw EInOutError(FormatW(L"Local path \"%s\" leaves the folder \"%s\"", AAsPath.c_str(), ARoot.c_str()));
  return joined;
}

// ---- index reading ---------------------------------------------------------

namespace {

using json = nlohmann::json;

// Streams over the index and keeps only what matters: the string members of the objects
// directly inside the top-level array. Everything else is passed over.
class TIndexReader : public nlohmann::json_sax<json> {
public:
  TIndexReader(TFileItemList& list, const std::function<bool(const TFileItem&)>& skip) : FList(list), FSkip(skip) {}

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }

  bool string(string_t& val) override {
    if (FDepth == 2 && FInObject) FMembers[FName] = Utf8ToWide(val);
    return true;
  }
  bool key(string_t& val) override {
    if (FDepth == 2) FName = val;
    return true;
  }
  bool start_object(std::size_t) override {
    if (FDepth == 0) throw EJsonException(L"The index is not a JSON array");
    ++FDepth;
    if (FDepth == 2) {
      FInObject = true;
      FMembers.clear();
      FName.clear();
    }
    return true;
  }
  bool end_object() override {
    if (FDepth == 2) EndEntry();
    --FDepth;
    return true;
  }
  bool start_array(std::size_t) override {
    ++FDepth;
    return true;
  }
  bool end_array() override {
    --FDepth;
    return true;
  }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) override {
    throw EJsonException(FormatW(L"Broken index at byte %zu: %s", position, Utf8ToWide(ex.what()).c_str()));
  }

private:
  const std::wstring& Member(const char* name) {
    auto it = FMembers.find(name);
    if (it == FMembers.end())
      throw EJsonException(FormatW(L"Index entry %d has no text member \"%s\"", FEntry, Utf8ToWide(name).c_str()));
    return it->second;
  }

  void EndEntry() {
    FInObject = false;
    ++FEntry;
    const std::wstring& path = Member("path");
    const std::wstring& hash = Member("hash");
    const std::wstring& sizeText = Member("size");
    long long size = 0;
    if (!TryStrToInt64(sizeText, size))
      throw EConvertError(FormatW(L"'%s' is not a valid integer value", sizeText.c_str()));
    TFileItem item = TFileItem::Create(path, hash, size);
    std::wstring reason;
    if (!IsSafeLocalPath(item.AsPath, &reason)) {
      CodeSite().SendWarning(FormatW(L"Index entry dropped, unsafe path \"%s\": %s", path.c_str(), reason.c_str()));
      return;
    }
    if (FSkip && FSkip(item)) return;
    FList.Add(item);
  }

  TFileItemList& FList;
  const std::function<bool(const TFileItem&)>& FSkip;
  std::map<std::string, std::wstring> FMembers;
  std::string FName;
  int FDepth = 0;
  int FEntry = 0;
  bool FInObject = false;
};

}  // namespace

void ReadIndexJson(std::string_view AText, TFileItemList& AList, const std::function<bool(const TFileItem&)>& ASkip) {
  // Only an array is an index: a scalar or an object (an error document, say) must never
  // read as an empty index, or the trash stage would take every file for trash.
  size_t i = 0;
  if (AText.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < AText.size() && (AText[i] == ' ' || AText[i] == '\t' || AText[i] == '\r' || AText[i] == '\n')) ++i;
  if (i >= AText.size() || AText[i] != '[') throw EJsonException(L"The index is not a JSON array");
  TIndexReader reader(AList, ASkip);
  json::sax_parse(AText.begin() + i, AText.end(), &reader);
}

// ---- index writing ---------------------------------------------------------

namespace {

void AppendJsonString(std::string& out, const std::wstring& text) {
  static const char hex[] = "0123456789ABCDEF";
  out += '"';
  for (wchar_t wc : text) {
    const unsigned c = static_cast<unsigned>(static_cast<std::uint16_t>(wc));
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '/': out += "\\/"; break;
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 32 || c > 127) {
          out += "\\u";
          out += hex[(c >> 12) & 15];
          out += hex[(c >> 8) & 15];
          out += hex[(c >> 4) & 15];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

}  // namespace

std::string WriteIndexJson(const TFileItemList& AList) {
  std::string out = "[";
  bool first = true;
  for (const auto& item : AList) {
    if (!first) out += ',';
    first = false;
    out += "{\"path\":";
    AppendJsonString(out, item.AsPath);
    out += ",\"hash\":";
    AppendJsonString(out, item.Hash);
    out += ",\"size\":";
    AppendJsonString(out, std::to_wstring(item.Size));
    out += '}';
  }
  out += ']';
  return out;
}
