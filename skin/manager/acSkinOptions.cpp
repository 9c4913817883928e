#include "skin/manager/acSkinOptions.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Strings.h"

const std::array<const wchar_t*, 4> ScaleSuffixes = {L"", L"*125", L"*150", L"*200"};

TacSkinCommonInfo::TacSkinCommonInfo() { Sections.fill(-1); }

// ---------------------------------------------------------------------------
// GLOBALINFO
// ---------------------------------------------------------------------------

double ReadSkinVersion(const TMemIniFile& Ini) {
  const std::wstring* value = Ini.FindValue(s_GlobalInfo, L"VERSION");
  if (!value) return 0;
  std::string text;
  for (wchar_t c : *value) {
    if (c > 0x7F) return 0;
    text += static_cast<char>(c);
  }
  double result = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
  return error == std::errc() && end == text.data() + text.size() && !text.empty() ? result : 0;
}

void ReadSkinCommonInfo(const TMemIniFile& Ini, TacSkinCommonInfo& Info) {
  Info.Version = ReadSkinVersion(Ini);
  Info.Author = Ini.ReadString(s_GlobalInfo, L"AUTHOR", L"");
  Info.Description = Ini.ReadString(s_GlobalInfo, L"DESCRIPTION", L"");
  Info.MainFont = Ini.ReadString(s_GlobalInfo, L"MainFont", L"");
  Info.UseAeroBluring = Ini.ReadInteger(s_GlobalInfo, L"AEROBLUR", 0) != 0;
  Info.BrightMin = Ini.ReadInteger(s_GlobalInfo, L"BRIGHTMIN", -50);
  Info.BrightMax = Ini.ReadInteger(s_GlobalInfo, L"BRIGHTMAX", 50);
  Info.BIVAlign = Ini.ReadInteger(s_GlobalInfo, L"BIVALIGN", 0);
  Info.BIKeepHUE = Ini.ReadInteger(s_GlobalInfo, L"BIKEEPHUE", 0);
  Info.Shadow1Color = Ini.ReadInteger(s_GlobalInfo, L"SHADOW1COLOR", 0);
  Info.ArrowStyle = Ini.ReadInteger(s_GlobalInfo, L"ARROWSTYLE", 0);
}

// ---------------------------------------------------------------------------
// Inheritance
// ---------------------------------------------------------------------------

namespace {

// Walks Section and its parents, each at most once, and returns the first value that
// Accept takes. A loop, not recursion: a chain of any length costs no stack.
template <class TAccept>
const std::wstring* FindInherited(const TMemIniFile& ini, std::wstring_view section, std::wstring_view key,
                                  TAccept accept) {
  std::wstring_view current = section;
  // Most chains are a few sections long; a set only for long ones keeps them linear.
  std::vector<std::wstring_view> visited{section};
  std::unordered_set<std::wstring_view> visitedSet;
  for (;;) {
    const std::wstring* value = ini.FindValue(current, key);
    if (value && accept(*value)) return value;
    const std::wstring* parent = ini.FindValue(current, s_ParentClass);
    if (!parent || parent->empty()) return nullptr;
    if (visited.size() < 16) {
      if (std::find(visited.begin(), visited.end(), std::wstring_view(*parent)) != visited.end()) return nullptr;
      visited.push_back(*parent);
      if (visited.size() == 16) visitedSet.insert(visited.begin(), visited.end());
    } else if (!visitedSet.insert(*parent).second) {
      return nullptr;
    }
    current = *parent;
  }
}

}  // namespace

std::wstring ReadInheritedString(const TMemIniFile& Ini, std::wstring_view Section, std::wstring_view Key,
                                 std::wstring_view Default) {
  const std::wstring* value = FindInherited(Ini, Section, Key, [](const std::wstring&) { return true; });
  return value ? *value : std::wstring(Default);
}

int ReadInheritedInt(const TMemIniFile& Ini, std::wstring_view Section, std::wstring_view Key, int Default, bool Raw,
                     int Max) {
  int result = -1;
  FindInherited(Ini, Section, Key, [&result](const std::wstring& text) {
    std::wstring value = text;
    if (value.size() > 2 && value[0] == L'0' && (value[1] == L'x' || value[1] == L'X')) value = L"$" + value.substr(2);
    int v = 0;
    if (!TryStrToInt(value, v) || v < 0) return false;  // negative values count as missing
    result = v;
    return true;
  });
  if (result < 0 && !Raw) result = Default;
  return std::min(result, Max);
}

bool ReadInheritedBool(const TMemIniFile& Ini, std::wstring_view Section, std::wstring_view Key, bool Default) {
  const std::wstring* value = FindInherited(Ini, Section, Key, [](const std::wstring&) { return true; });
  if (!value) return Default;
  return *value == L"TRUE" || *value == L"1";
}

// ---------------------------------------------------------------------------
// Mask definitions
// ---------------------------------------------------------------------------

bool IsMaskDefinition(std::wstring_view UpperValue) {
  if (UpperValue.empty()) return false;
  const wchar_t first = UpperValue[0];
  if (first == L'!' || first == L'&' || first == L'@' || first == L'^' || first == L'~') return true;
  return UpperValue.find(L".JPG") != std::wstring_view::npos || UpperValue.find(L".BMP") != std::wstring_view::npos;
}

namespace {

// The runs between delimiters (empty runs do not count); Field(n) counts from 1 and gives
// an empty text beyond the last.
class TFields {
public:
  TFields(std::wstring_view text, wchar_t delimiter) {
    std::size_t i = 0;
    while (i < text.size()) {
      while (i < text.size() && text[i] == delimiter) ++i;
      const std::size_t start = i;
      while (i < text.size() && text[i] != delimiter) ++i;
      if (i > start) FFields.emplace_back(text.substr(start, i - start));
    }
  }
  int Count() const { return static_cast<int>(FFields.size()); }
  std::wstring operator()(int n) const { return n >= 1 && n <= Count() ? FFields[n - 1] : std::wstring(); }

private:
  std::vector<std::wstring> FFields;
};

std::wstring Pad(const std::wstring& text, std::size_t width) {
  return text.size() >= width ? text : std::wstring(width - text.size(), L'0') + text;
}

[[noreturn]] void NotANumber(std::wstring_view text) {
  throw EConvertError(L"'" + std::wstring(text) + L"' is not a valid integer value");
}

int ToInt(const std::wstring& text) {
  int value = 0;
  if (!TryStrToInt(text, value)) NotANumber(text);
  return value;
}

const std::wstring Zeros16(16, L'0');
const std::wstring Zeros32(32, L'0');

}  // namespace

std::wstring ConvertMaskDefinition(std::wstring_view Value) {
  const std::wstring v = UpperCase(Value);
  const wchar_t form = v.empty() ? L'\0' : v[0];
  if (form == L'&') return v;

  const bool delimited = form == L'!' || form == L'@' || form == L'^' || form == L'~';
  const TFields W(v, delimited ? form : L'\0');

  int kind = 1;  // the plain form: a texture
  switch (form) {
    case L'!': {
      int code = 0;
      kind = TryStrToInt(W(4), code) ? std::clamp(code, 0, 4) : 0;
      break;
    }
    case L'@': kind = 2; break;
    case L'^': kind = 0; break;
    default: break;
  }
  const std::wstring K(1, static_cast<wchar_t>(L'0' + kind));
  std::wstring F;
  if (form == L'!')
    F = W(1);
  else if (form == L'~')
    F = W.Count() > 6 ? W(7) : L"";
  else if (!delimited)
    F = v;

  if (v.size() < 4) return L"&" + Zeros32 + L"3" + L"0" + K + L"01" + L"00" + L"0000" + F;

  if (form == L'^') {
    std::wstring m1 = W(5), m2 = W(6), m3 = W(7), m4 = W(8);
    if (v.size() > 47 && m1 == L"0000" && m2 == L"0000" && m3 == L"0000" && m4 == L"0000") {
      const std::wstring common = Pad(W(12), 4);
      if (common != L"0000") {
        m1 = m2 = m3 = m4 = common;
      } else {
        // Half a cell less one, from the rectangle at its fixed places in the written text.
        const int left = DefinitionDigits(v, 2, 4), top = DefinitionDigits(v, 7, 4);
        const int right = DefinitionDigits(v, 12, 4), bottom = DefinitionDigits(v, 17, 4);
        // An image count of 0 would divide by zero: the definition is taken as one image.
        const int count = std::max(1, ToInt(W(9)));
        const int maskType = ToInt(W(10));
        const int h = std::max(0, ((right - left) / count - 1) / 2);
        const int cellHeight = maskType + 1 != 0 ? (bottom - top) / (maskType + 1) : bottom - top;
        const int vm = std::max(0, (cellHeight - 1) / 2);
        m1 = m3 = Pad(std::to_wstring(h), 4);
        m2 = m4 = Pad(std::to_wstring(vm), 4);
      }
    }
    return L"&" + W(1) + W(2) + W(3) + W(4) + m1 + m2 + m3 + m4 + W(9) + W(10) + L"0" + Pad(W(11), 2) + L"000000";
  }
  if (form == L'@') return L"&" + W(1) + W(2) + W(3) + W(4) + Zeros16 + W(5) + W(6) + L"2" + L"00000000";
  if (form == L'~') {
    const std::wstring maskType = v.size() >= 25 ? std::wstring(1, v[24]) : L"0";
    return L"&" + W(1) + W(2) + W(3) + W(4) + Zeros16 + L"1" + maskType + L"1" + Pad(W(5), 2) + L"000000" + F;
  }
  if (form != L'!') return L"&" + Zeros32 + L"1" + L"0" + L"1" + L"00" + L"000000" + F;

  switch (kind) {
    case 0: return L"&" + Zeros16 + W(5) + W(6) + W(7) + W(8) + W(2) + W(3) + L"0" + Pad(W(9), 2) + L"000000" + F;
    case 1: return L"&" + Zeros32 + W(2) + W(3) + L"1" + Pad(W(9), 2) + L"000000" + F;
    case 3:
      if (W.Count() < 5) return L"&" + Zeros32 + L"1" + L"0" + L"3" + L"00" + L"000000" + F;
      return L"&" + Zeros16 + W(5) + W(6) + W(7) + W(8) + W(2) + W(3) + L"3" + Pad(W(9), 2) + L"000000" + F;
    default:
      if (W.Count() < 5) return L"&" + Zeros32 + W(2) + W(3) + K + Pad(W(9), 2) + L"000000" + F;
      return L"&" + W(5) + W(6) + W(7) + W(8) + Zeros16 + W(2) + W(3) + K + Pad(W(9), 2) + L"000000" + F;
  }
}

int DefinitionDigits(std::wstring_view Definition, int Pos, int Count) {
  // A field beyond the text (a short '&' value is taken unchanged) is malformed, never read past.
  if (Pos < 1 || Count < 1 || static_cast<std::size_t>(Pos - 1 + Count) > Definition.size())
    NotANumber(Pos >= 1 && static_cast<std::size_t>(Pos - 1) < Definition.size() ? Definition.substr(Pos - 1)
                                                                                  : std::wstring_view());
  const std::wstring_view field = Definition.substr(Pos - 1, Count);
  int value = 0;
  for (wchar_t c : field) {
    if (c < L'0' || c > L'9') NotANumber(field);
    value = value * 10 + (c - L'0');
  }
  return value;
}

TRect ReadFixedRect(std::wstring_view Definition) {
  return Rect(DefinitionDigits(Definition, 2, 4), DefinitionDigits(Definition, 6, 4),
              DefinitionDigits(Definition, 10, 4), DefinitionDigits(Definition, 14, 4));
}

TacMaskDefinition ReadMaskDefinition(std::wstring_view Definition) {
  TacMaskDefinition d;
  d.R = ReadFixedRect(Definition);
  d.WL = DefinitionDigits(Definition, 18, 4);
  d.WT = DefinitionDigits(Definition, 22, 4);
  d.WR = DefinitionDigits(Definition, 26, 4);
  d.WB = DefinitionDigits(Definition, 30, 4);
  d.ImageCount = DefinitionDigits(Definition, 34, 1);
  d.MaskType = DefinitionDigits(Definition, 35, 1);
  d.ImgType = static_cast<TacImgType>(std::min(DefinitionDigits(Definition, 36, 1), 4));
  d.DrawMode = DefinitionDigits(Definition, 37, 2);
  if (Definition.size() > 44) d.FileName = std::wstring(Definition.substr(44));
  return d;
}
