// The "BUTTON" class controls: each wraps the system class with its style type, keeps its
// check state until the window exists, and reads it back from the window afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/ui/Buttons.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ImgList.h"
#include "platform/ui/StdCtrls.h"

namespace {

std::wstring ClassOf(HWND Wnd) {
  wchar_t name[64]{};
  GetClassNameW(Wnd, name, 64);
  return name;
}

}  // namespace

TEST(ButtonControls, EachWrapsTheButtonClassWithItsStyle) {
  Application().Initialize();
  TForm form(nullptr);
  form.SetBounds(20, 20, 300, 200);
  struct TCase {
    const wchar_t* Name;
    std::function<TWinControl*()> Make;
    LONG Type;
  } cases[] = {
      {L"TButton", [&] { return new TButton(&form); }, BS_PUSHBUTTON},
      {L"TButton", [&] { auto* b = new TButton(&form); b->SetDefault(true); return b; }, BS_DEFPUSHBUTTON},
      {L"TBitBtn", [&] { return new TBitBtn(&form); }, BS_PUSHBUTTON},
      {L"TCheckBox", [&] { return new TCheckBox(&form); }, BS_AUTOCHECKBOX},
      {L"TCheckBox", [&] { auto* c = new TCheckBox(&form); c->AllowGrayed = true; return c; }, BS_AUTO3STATE},
      {L"TRadioButton", [&] { return new TRadioButton(&form); }, BS_AUTORADIOBUTTON},
      {L"TGroupBox", [&] { return new TGroupBox(&form); }, BS_GROUPBOX},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TWinControl* control = c.Make();
    control->SetParent(&form);
    HWND wnd = control->Handle();
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(ClassOf(wnd), c.Name);
    EXPECT_EQ(control->ClassName(), c.Name);
    EXPECT_EQ(GetWindowLongW(wnd, GWL_STYLE) & BS_TYPEMASK, c.Type);
    // The system's button procedure answers: it is the control's default procedure.
    EXPECT_EQ(SendMessageW(wnd, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  }
}

TEST(ButtonControls, CheckStatesCarryIntoTheWindowAndBack) {
  Application().Initialize();
  TForm form(nullptr);
  form.SetBounds(20, 20, 300, 200);
  auto* box = new TCheckBox(&form);
  box->AllowGrayed = true;
  box->SetState(cbGrayed);
  EXPECT_EQ(box->State(), cbGrayed);
  box->SetParent(&form);
  EXPECT_EQ(SendMessageW(box->Handle(), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
  SendMessageW(box->Handle(), BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_TRUE(box->Checked());
  box->SetChecked(false);
  EXPECT_EQ(SendMessageW(box->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  auto* radio = new TRadioButton(&form);
  radio->SetChecked(true);
  radio->SetParent(&form);
  EXPECT_EQ(SendMessageW(radio->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(radio->Checked());
}

TEST(ButtonControls, DefaultButtonAndGroupBoxChildren) {
  Application().Initialize();
  TForm form(nullptr);
  form.SetBounds(20, 20, 300, 200);
  auto* button = new TButton(&form);
  button->SetParent(&form);
  EXPECT_EQ(GetWindowLongW(button->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  button->SetDefault(true);
  EXPECT_EQ(GetWindowLongW(button->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  // The button's image list is not its own: destroyed elsewhere, the button forgets it.
  auto* images = new TImageList(nullptr);
  button->SetImages(images);
  EXPECT_EQ(button->Images(), images);
  TComponent::Free(images);
  EXPECT_EQ(button->Images(), nullptr);
  auto* group = new TGroupBox(&form);
  group->SetParent(&form);
  EXPECT_TRUE(group->ControlStyle() & csAcceptsControls);
  auto* inner = new TCheckBox(&form);
  inner->SetParent(group);
  EXPECT_EQ(GetParent(inner->Handle()), group->Handle());
  // A bit button starts with one empty glyph cell, glyph left, 4 px spacing, centred.
  TBitBtn bit(nullptr);
  EXPECT_TRUE(bit.Glyph().Empty());
  EXPECT_EQ(bit.NumGlyphs, 1);
  EXPECT_EQ(bit.Layout, blGlyphLeft);
  EXPECT_EQ(bit.Spacing, 4);
  EXPECT_EQ(bit.Margin, -1);
}
