// The optional drawing entry points bound at start-up.
#include "skin/graphics/sGraphUtils.Entries.h"

#include <gtest/gtest.h>

TEST(sGraphUtilsEntries, StartUpBindsAndCleanUpEmpties) {
  // The unit started with the process; a nested start-up and clean-up change nothing.
  ASSERT_TRUE(LayeredWindowsAvailable());
  GraphUnitStartup();
  GraphUnitCleanup();
  EXPECT_TRUE(LayeredWindowsAvailable());
  EXPECT_NE(SetLayeredWindowAttributesEntry, nullptr);

  HDC dc = CreateCompatibleDC(nullptr);
  SetDCLayout(dc, LAYOUT_RTL);
  EXPECT_EQ(GetDCLayout(dc), static_cast<DWORD>(LAYOUT_RTL));

  // Without the entry points: the wrappers leave the DC alone and answer 0. (The unit
  // started twice: with the process and with the engine's start-up.)
  SetDCLayout(dc, 0);
  GraphUnitCleanup();
  GraphUnitCleanup();
  EXPECT_FALSE(LayeredWindowsAvailable());
  EXPECT_EQ(SetLayoutEntry, nullptr);
  SetDCLayout(dc, LAYOUT_RTL);
  EXPECT_EQ(GetDCLayout(dc), 0u);
  EXPECT_EQ(GetLayout(dc), 0u);  // untouched

  GraphUnitStartup();
  GraphUnitStartup();
  EXPECT_TRUE(LayeredWindowsAvailable());
  DeleteDC(dc);
}
