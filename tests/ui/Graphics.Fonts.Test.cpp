#include <gtest/gtest.h>

#include "platform/ui/Graphics.h"

namespace {
LOGFONTW FontOf(HGDIOBJ font) {
  LOGFONTW lf = {};
  EXPECT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf)) << "not a live font";
  return lf;
}
}  // namespace

TEST(Font, TellsOfEveryChangeOnceAndNotOfQuietWrites) {
  TFont font;
  int changes = 0;
  font.OnChange = [&] { ++changes; };

  font.Height = -20;
  font.Name = L"Arial";
  font.Style |= fsBold;
  font.Color = clWhite;
  EXPECT_EQ(changes, 4);
  font.Height = -20;  // the same value is no change
  font.Name = std::wstring(L"Arial");
  EXPECT_EQ(changes, 4);
  EXPECT_TRUE(font.Name == L"Arial");
  EXPECT_EQ(font.Height, -20);
  EXPECT_TRUE(font.Style & fsBold);

  TFont other;
  font.Assign(other);  // four fields differ, one notice
  EXPECT_EQ(changes, 5);
  EXPECT_EQ(font.Height, -11);
  font.Assign(other);
  EXPECT_EQ(changes, 5);

  // A quiet write changes the font and its handle but tells nobody.
  HFONT before = font.Handle();
  TGdiRef keep = font.HandleRef();
  font.ChangeQuietly([&] { font.Height = -30; });
  EXPECT_EQ(changes, 5);
  EXPECT_NE(font.Handle(), before);
  EXPECT_EQ(FontOf(font.Handle()).lfHeight, -30);
  font.Height = -31;
  EXPECT_EQ(changes, 6);
}

TEST(Font, AHandleLivesWhileANativeControlOrADcStillUsesIt) {
  HWND edit = CreateWindowExW(0, L"EDIT", L"text", WS_POPUP, 0, 0, 100, 30, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(edit, nullptr);
  TFont font;
  font.Height = -20;
  TGdiRef held = SetWindowFont(edit, font);
  const HGDIOBJ given = reinterpret_cast<HGDIOBJ>(SendMessageW(edit, WM_GETFONT, 0, 0));
  ASSERT_EQ(given, held->Handle());

  // The font changes while the edit holds it: the edit's font stays a valid font.
  font.Height = -30;
  font.Name = L"Courier New";
  EXPECT_NE(font.Handle(), given);
  EXPECT_EQ(FontOf(given).lfHeight, -20);
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(edit, WM_GETFONT, 0, 0)), given);
  RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);

  // The edit takes the new one; the old font goes when its last holder lets go.
  held = SetWindowFont(edit, font);
  EXPECT_EQ(FontOf(held->Handle()).lfHeight, -30);
  EXPECT_EQ(GetObjectType(given), 0u);
  DestroyWindow(edit);

  // A font selected into a DC through a canvas stays alive until it is taken out again.
  TBitmap bmp;
  bmp.SetSize(8, 8);
  bmp.Canvas().Font.Height = -12;
  HDC dc = bmp.Canvas().Handle();
  bmp.Canvas().TextOut(0, 0, L"x");
  const HGDIOBJ selected = GetCurrentObject(dc, OBJ_FONT);
  EXPECT_EQ(FontOf(selected).lfHeight, -12);
  bmp.Canvas().Font.Height = -14;
  EXPECT_EQ(FontOf(selected).lfHeight, -12);  // still selected, still alive
  bmp.Canvas().TextOut(0, 0, L"x");
  EXPECT_EQ(FontOf(GetCurrentObject(dc, OBJ_FONT)).lfHeight, -14);
  EXPECT_EQ(GetObjectType(selected), 0u);
}
