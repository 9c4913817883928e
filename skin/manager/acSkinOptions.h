#pragma once
// The options text of a skin ("Options.dat"): the skin-wide values of GLOBALINFO, the key
// suffixes of the scale steps, keys inherited along PARENTCLASS, and the definitions of
// skin images (masks) in their written forms and the one fixed form they are read in.
//
// Section names and keys are matched exactly, case-sensitive; skins write them in upper
// case, except "MainFont", "FontCount", "FontFile"k and "FontName"k.
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "platform/runtime/IniFiles.h"
#include "platform/ui/Graphics.h"

constexpr int acSectionCount = 53;
// The section index of each of the constant sections controls address; -1 when absent.
using TacIntSections = std::array<int, acSectionCount>;

// Skin-wide values of the loaded skin.
struct TacSkinCommonInfo {
  TacSkinCommonInfo();
  bool Active = false;
  bool UseAeroBluring = false;
  double Version = 0;
  std::wstring Author;
  std::wstring SkinPath;  // folder of a folder skin with its trailing backslash, else empty
  std::wstring MainFont;
  std::wstring Description;
  TColor FXColor = 0;
  TColor Shadow1Color = 0;
  TColor SysInactiveBorderColor = 0;
  int ArrowStyle = 0;
  int BIVAlign = 0;
  int BIKeepHUE = 0;
  int BrightMin = -50;
  int BrightMax = 50;
  int IndexGlobalInfo = -1;
  TacIntSections Sections;
  // The options of the skin being loaded; lives as long as the manager, each source overwrites it.
  std::unique_ptr<TMemIniFile> OptionsDat = std::make_unique<TMemIniFile>(true);
};

constexpr const wchar_t* s_GlobalInfo = L"GLOBALINFO";
constexpr const wchar_t* s_ParentClass = L"PARENTCLASS";

// Key suffixes of the scale steps 96, 120, 144 and 192 pixels per inch.
extern const std::array<const wchar_t*, 4> ScaleSuffixes;
constexpr std::array<int, 4> ScalePPIs = {96, 120, 144, 192};

// VERSION of GLOBALINFO with '.' as the decimal separator whatever the locale; 0 when
// missing or not a number.
double ReadSkinVersion(const TMemIniFile& Ini);
// The GLOBALINFO values that are read when a skin is opened (version, author, main font,
// brightness limits, title-button options, text shadow and arrow style).
void ReadSkinCommonInfo(const TMemIniFile& Ini, TacSkinCommonInfo& Info);

// Inherited lookups: the key in Section, else along the PARENTCLASS chain (each section
// visited once, so a cycle or a self-reference ends the walk), else Default.
std::wstring ReadInheritedString(const TMemIniFile& Ini, std::wstring_view Section, std::wstring_view Key,
                                 std::wstring_view Default);
// Negative values count as missing. With Raw a value missing everywhere stays -1 instead of
// taking Default. The result is at most Max; there is no lower limit.
int ReadInheritedInt(const TMemIniFile& Ini, std::wstring_view Section, std::wstring_view Key, int Default,
                     bool Raw = false, int Max = 0x7FFFFFFF);
// "TRUE" or "1" (exactly) is true, any other value false, a missing one Default.
bool ReadInheritedBool(const TMemIniFile& Ini, std::wstring_view Section, std::wstring_view Key, bool Default);

// Whether an upper-cased key value defines a skin image: it begins with '!', '&', '@', '^'
// or '~', or it names a ".JPG" or ".BMP" file (a ".PNG" name alone is no image).
bool IsMaskDefinition(std::wstring_view UpperValue);
// The definition in the fixed form: '&', the rectangle, four margins, ImageCount, MaskType,
// the image kind, DrawMode, six zeros, then the file name. The value is upper-cased first.
// A malformed number raises EConvertError.
std::wstring ConvertMaskDefinition(std::wstring_view Value);

// The number of Count digits at the 1-based position Pos of a fixed-form definition.
// Raises EConvertError when the field is not a number or lies beyond the text.
int DefinitionDigits(std::wstring_view Definition, int Pos, int Count);
// The rectangle of a fixed-form definition (positions 2, 6, 10 and 14).
TRect ReadFixedRect(std::wstring_view Definition);

enum TacImgType { itisaBorder, itisaTexture, itisaGlyph, itisaGlow, itisaPngGlyph };

// Every field of a fixed-form definition.
struct TacMaskDefinition {
  TRect R;
  int WL = 0, WT = 0, WR = 0, WB = 0;
  int ImageCount = 0;
  int MaskType = 0;
  TacImgType ImgType = itisaBorder;
  int DrawMode = 0;
  std::wstring FileName;
};
TacMaskDefinition ReadMaskDefinition(std::wstring_view Definition);
