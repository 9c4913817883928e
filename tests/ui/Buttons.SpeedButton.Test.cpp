// The window-less speed button: its face on the DC it is given, flat until the mouse comes.
#include <gtest/gtest.h>

#include <memory>

#include "platform/ui/Buttons.SpeedButton.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.h"

TEST(SpeedButton, FlatButtonShowsItsFrameOnlyUnderTheMouseOrDown) {
  Application().Initialize();
  auto* form = CreateComponent<TForm>(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(100, 60);
  auto* button = new TSpeedButton(form);
  button->SetBounds(10, 10, 40, 30);
  button->SetParent(form);
  EXPECT_EQ(button->ClassName(), L"TSpeedButton");
  struct Row {
    bool Flat, Mouse, Down, Frame;
  } rows[] = {
      {false, false, false, true},
      {true, false, false, false},
      {true, true, false, true},
      {true, false, true, true},
  };
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (const Row& row : rows) {
    button->SetFlat(row.Flat);
    button->SetDown(row.Down);
    button->Perform(row.Mouse ? CM_MOUSEENTER : CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(button));
    TBitmap bmp;
    bmp.SetPixelFormat(pf32bit);
    bmp.SetSize(40, 30);
    HDC dc = bmp.Canvas().Handle();
    button->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    // The frame darkens the bottom-right corner (or the top-left one when pressed).
    const bool framed = GetPixel(dc, 39, 29) != face || GetPixel(dc, 0, 0) != face;
    EXPECT_EQ(framed, row.Frame) << row.Flat << row.Mouse << row.Down;
    EXPECT_EQ(GetPixel(dc, 20, 15), face) << row.Flat << row.Mouse << row.Down;
  }
  TComponent::Free(form);
}
