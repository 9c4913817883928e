// The options text of a skin: mask definitions in their written forms, inheritance along
// PARENTCLASS, and the skin-wide values of GLOBALINFO.
#include "skin/manager/acSkinOptions.h"

#include <gtest/gtest.h>

#include "platform/runtime/Exceptions.h"

namespace {
TMemIniFile Ini(const wchar_t* text) {
  TMemIniFile ini(true);
  ini.SetText(text);
  return ini;
}
}  // namespace

TEST(SkinOptions, MaskDefinitionsBecomeTheFixedForm) {
  struct Case {
    const wchar_t* Value;
    std::wstring Fixed;
  } cases[] = {
      {L"@0128@0074@0173@0089@3@0", L"&01280074017300890000000000000000302" + std::wstring(8, L'0')},
      {L"^0171^0039^0178^0040^0001^0000^0000^0000^1^0^1^1", L"&01710039017800400001000000000000100" L"01" L"000000"},
      {L"~0272~0066~0283~0069~00~0", L"&0272006602830069" + std::wstring(16, L'0') + L"101" L"00" L"000000"},
      {L"!closeg.png!1!0!4!0000!0000!0000!0000!0",
       L"&" + std::wstring(32, L'0') + L"104" L"00" L"000000" L"CLOSEG.PNG"},
      {L"MASTER.BMP", L"&" + std::wstring(32, L'0') + L"101" L"00" L"000000" L"MASTER.BMP"},
      {L"&0001000200030004", L"&0001000200030004"},  // taken unchanged
      {L"!A", L"&" + std::wstring(32, L'0') + L"300" L"01" L"00" L"0000" L"A"},  // shorter than 4
      // '^' of exactly 48 characters, margins 0000 and no common margin: half a cell less one
      {L"^0000^0000^0030^0020^0000^0000^0000^0000^3^1^0^0",
       L"&0000000000300020" L"0004000400040004" L"310" L"00" L"000000"},
      // ... and with a common margin
      {L"^0000^0000^0030^0020^0000^0000^0000^0000^3^1^0^7",
       L"&0000000000300020" L"0007000700070007" L"310" L"00" L"000000"},
      // an image count of 0 is taken as one image
      {L"^0000^0000^0030^0020^0000^0000^0000^0000^0^0^0^0",
       L"&0000000000300020" L"0014000900140009" L"000" L"00" L"000000"},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertMaskDefinition(c.Value), c.Fixed) << c.Value;

  const TacMaskDefinition tex = ReadMaskDefinition(ConvertMaskDefinition(L"~0272~0066~0283~0069~00~0"));
  EXPECT_EQ(tex.ImgType, itisaTexture);
  EXPECT_EQ(tex.ImageCount, 1);
  EXPECT_EQ(tex.MaskType, 0);
  EXPECT_EQ(tex.DrawMode, 0);
  const TacMaskDefinition png = ReadMaskDefinition(ConvertMaskDefinition(L"!CLOSEG.PNG!1!0!4!0000!0000!0000!0000!0"));
  EXPECT_EQ(png.ImgType, itisaPngGlyph);
  EXPECT_EQ(png.FileName, L"CLOSEG.PNG");
  EXPECT_EQ(png.R, Rect(0, 0, 0, 0));
}

TEST(SkinOptions, MalformedDefinitionsRaiseTheConversionError) {
  for (const wchar_t* fixed : {L"&0001", L"&00010002000300x4", L"&0128007401730089000000000000000030"})
    EXPECT_THROW(ReadMaskDefinition(fixed), EConvertError) << fixed;
  EXPECT_THROW(ConvertMaskDefinition(L"^0000^0000^0030^0020^0000^0000^0000^0000^X^0^0^0"), EConvertError);
  EXPECT_EQ(ReadFixedRect(L"&0001000200030004"), Rect(1, 2, 3, 4));
}

TEST(SkinOptions, WhichValuesAreMasks) {
  struct Case {
    const wchar_t* Value;
    bool Mask;
  } cases[] = {{L"!A.PNG", true}, {L"&0", true}, {L"@1", true}, {L"^1", true}, {L"~1", true}, {L"BG.JPG", true},
               {L"MASTER.BMP", true}, {L"BG.PNG", false}, {L".PNG", false}, {L"12", false}, {L"", false}};
  for (const Case& c : cases) EXPECT_EQ(IsMaskDefinition(c.Value), c.Mask) << c.Value;
}

TEST(SkinOptions, InheritedLookupsFollowTheParentChain) {
  const TMemIniFile ini = Ini(
      L"[A]\nPARENTCLASS=B\nCOLOR=-16777201\nFLAG=true\n"
      L"[B]\nPARENTCLASS=A\nCOLOR=255\nSTATES=400\nNAME=bee\nFLAG=1\n"
      L"[SELF]\nPARENTCLASS=SELF\n"
      L"[CYCLE1]\nPARENTCLASS=CYCLE2\n[CYCLE2]\nPARENTCLASS=CYCLE1\n");
  EXPECT_EQ(ReadInheritedInt(ini, L"A", L"COLOR", 7), 255);  // a negative value counts as missing
  EXPECT_EQ(ReadInheritedInt(ini, L"A", L"STATES", 3, false, 255), 255);
  EXPECT_EQ(ReadInheritedInt(ini, L"A", L"GLOW", 5), 5);
  EXPECT_EQ(ReadInheritedInt(ini, L"A", L"GLOW", 5, true), -1);
  EXPECT_EQ(ReadInheritedString(ini, L"A", L"NAME", L"x"), L"bee");
  EXPECT_FALSE(ReadInheritedBool(ini, L"A", L"FLAG", true));  // "true" is not "TRUE"
  EXPECT_TRUE(ReadInheritedBool(ini, L"B", L"FLAG", false));
  for (const wchar_t* section : {L"SELF", L"CYCLE1", L"CYCLE2", L"MISSING"}) {
    EXPECT_EQ(ReadInheritedInt(ini, section, L"GLOW", 9), 9) << section;
    EXPECT_EQ(ReadInheritedString(ini, section, L"NAME", L"d"), L"d") << section;
  }
}

TEST(SkinOptions, ALongChainOfSectionsIsWalkedWithoutRecursion) {
  std::wstring text;
  const int n = 20000;
  for (int i = 0; i < n; ++i) text += L"[S" + std::to_wstring(i) + L"]\nPARENTCLASS=S" + std::to_wstring(i + 1) + L"\n";
  text += L"[S" + std::to_wstring(n) + L"]\nDEEP=42\n";
  const TMemIniFile ini = Ini(text.c_str());
  EXPECT_EQ(ReadInheritedInt(ini, L"S0", L"DEEP", 0), 42);
}

TEST(SkinOptions, GlobalInfoValues) {
  struct Case {
    const wchar_t* Version;
    double Value;
  } versions[] = {{L"14.99", 14.99}, {L"15", 15}, {L"10.25", 10.25}, {L"x", 0}, {L"14,5", 0}};
  for (const Case& c : versions) {
    const TMemIniFile ini = Ini((std::wstring(L"[GLOBALINFO]\nVERSION=") + c.Version).c_str());
    EXPECT_DOUBLE_EQ(ReadSkinVersion(ini), c.Value) << c.Version;
  }
  TacSkinCommonInfo info;
  ReadSkinCommonInfo(Ini(L"[GLOBALINFO]\nmainfont=Lower\nAUTHOR=Me\nBRIGHTMAX=20\n"), info);
  EXPECT_EQ(info.MainFont, L"");  // names are case-sensitive
  EXPECT_EQ(info.Author, L"Me");
  EXPECT_EQ(info.BrightMin, -50);
  EXPECT_EQ(info.BrightMax, 20);
  ReadSkinCommonInfo(Ini(L"[GLOBALINFO]\nMainFont=Upper\n"), info);
  EXPECT_EQ(info.MainFont, L"Upper");
}
