// The OS code, captions read from string tables (ours in this executable, and the system's
// under Wine), the engine's own texts and the application's icons.
#include <gtest/gtest.h>

#include "skin/manager/acSkinnedForms.h"
#include "skin/manager/sConst.h"

namespace {

TEST(Captions, OSCodeOfTheReportedVersion) {
  struct Case {
    DWORD Major, Minor;
    int Code;
  } cases[] = {{6, 3, 6}, {6, 2, 8}, {10, 0, 8}, {6, 1, 6}, {5, 1, 5}, {7, 0, 8}};
  for (const Case& c : cases) EXPECT_EQ(OSCodeOf(c.Major, c.Minor), c.Code) << c.Major << "." << c.Minor;
}

TEST(Captions, LoadSystemCaptionFromAStringTable) {
  HMODULE self = GetModuleHandleW(nullptr);
  struct Case {
    HMODULE Library;
    UINT Id;
    std::wstring Suffix;
    int Fallback;
    std::wstring Expected;
  } cases[] = {
      {self, 7001, L"", s_Close, L"Schliessen"},
      {self, 7001, L"\tAlt+F4", s_Close, L"Schliessen\tAlt+F4"},
      {self, 7002, L"\tAlt+F4", s_Maximize, L"Maximize"},  // the fallback carries no suffix
      {self, 7002, L"", NoFallback, L""},
      {nullptr, 7001, L"", s_Close, L"unchanged"},          // no library: nothing loaded
  };
  for (const Case& c : cases) {
    std::wstring caption = L"unchanged";
    LoadSystemCaption(caption, c.Library, c.Id, c.Suffix, c.Fallback);
    EXPECT_EQ(caption, c.Expected) << c.Id;
  }
  std::wstring caption;
  LoadSystemCaptionText(caption, self, 7002, L"", L"Own text");
  EXPECT_EQ(caption, L"Own text");
}

TEST(Captions, StartUpFillsAndCleanUpEmptiesTheEngineData) {
  // The engine runs started in this program: end it, then start it again.
  const DWORD userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  CaptionsUnitCleanup();
  for (std::wstring* text : {&acs_Close, &acs_Restore, &acs_Size, &acs_Move, &acs_Minimize, &acs_Maximize,
                             &acs_AvailSkins, &acs_InternalSkin, &acs_FrameAdapterError})
    EXPECT_TRUE(text->empty());
  EXPECT_EQ(acAppIconSmall, nullptr);
  EXPECT_EQ(acAppIconLarge, nullptr);
  EXPECT_TRUE(SkinnedForms().empty());
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userObjects);

  CaptionsUnitStartup();
  for (std::wstring* text : {&acs_Close, &acs_Restore, &acs_Size, &acs_Move, &acs_Minimize, &acs_Maximize}) {
    EXPECT_FALSE(text->empty());
    EXPECT_EQ(text->find(L'\t'), std::wstring::npos) << *text;
  }
  EXPECT_EQ(acs_AvailSkins, L"Available styles");
  EXPECT_EQ(acs_InternalSkin, L"(internal)");
  EXPECT_EQ(acs_FrameAdapterError, L"TsFrameAdapter adapter must be placed on the handled frame");
  EXPECT_NE(acAppIconSmall, nullptr);
  EXPECT_NE(acAppIconLarge, nullptr);
  EXPECT_GE(acOSCode, 5);
  // A second start-up is counted and changes nothing; so is its clean-up.
  const HICON small = acAppIconSmall;
  CaptionsUnitStartup();
  EXPECT_EQ(acAppIconSmall, small);
  CaptionsUnitCleanup();
  EXPECT_EQ(acAppIconSmall, small);
  EXPECT_FALSE(acs_Close.empty());
}

}  // namespace
