// The replaceable DWM entry points and the resettable composition answer.
#include <gtest/gtest.h>

#include "platform/ui/Graphics.Dwm.h"
#include "platform/ui/Graphics.h"

namespace {

HRESULT WINAPI FakeInvalidate(HWND) { return S_FALSE; }

TEST(DwmEntries, StandInTakesThePlaceOfTheExportUntilRemoved) {
  HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
  const FARPROC real = dwm ? GetProcAddress(dwm, "DwmInvalidateIconicBitmaps") : nullptr;
  EXPECT_EQ(DwmEntryPoint(dwm, "DwmInvalidateIconicBitmaps"), real);
  EXPECT_FALSE(DwmEntryOverridesSet());
  SetDwmEntryOverride("DwmInvalidateIconicBitmaps", reinterpret_cast<FARPROC>(&FakeInvalidate));
  EXPECT_TRUE(DwmEntryOverridesSet());
  // Also without the library: the stand-in answers.
  EXPECT_EQ(DwmEntryPoint(nullptr, "DwmInvalidateIconicBitmaps"), reinterpret_cast<FARPROC>(&FakeInvalidate));
  EXPECT_EQ(DwmEntryPoint(dwm, "DwmInvalidateIconicBitmaps"), reinterpret_cast<FARPROC>(&FakeInvalidate));
  EXPECT_EQ(DwmEntryPoint(dwm, "DwmSetIconicThumbnail"), dwm ? GetProcAddress(dwm, "DwmSetIconicThumbnail") : nullptr);
  SetDwmEntryOverride("DwmInvalidateIconicBitmaps", nullptr);
  EXPECT_EQ(DwmEntryPoint(dwm, "DwmInvalidateIconicBitmaps"), real);
  SetDwmEntryOverride("DwmSetIconicThumbnail", reinterpret_cast<FARPROC>(&FakeInvalidate));
  ClearDwmEntryOverrides();
  EXPECT_FALSE(DwmEntryOverridesSet());
  EXPECT_EQ(DwmEntryPoint(nullptr, "DwmSetIconicThumbnail"), nullptr);
}

TEST(DwmEntries, CompositionAnswerIsAskedAgainAfterAReset) {
  SetDwmCompositionOverride(std::nullopt);
  const bool system = IsDwmCompositionOn();
  ResetDwmCompositionAnswer();
  EXPECT_EQ(IsDwmCompositionOn(), system);  // asked again, the same system
  SetDwmCompositionOverride(!system);
  EXPECT_EQ(IsDwmCompositionOn(), !system);  // an override still wins over a fresh answer
  ResetDwmCompositionAnswer();
  EXPECT_EQ(IsDwmCompositionOn(), !system);
  SetDwmCompositionOverride(std::nullopt);
  EXPECT_EQ(IsDwmCompositionOn(), system);
}

}  // namespace
