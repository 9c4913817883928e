// A windowed control painted into a DC of the caller's (PaintTo) and graphic controls
// painting into the DC their WM_PAINT or WM_PRINT hands them.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/ui/ComCtrls.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"

namespace {

// A graphic control that fills itself with its colour and counts its paintings.
class TSwatch : public TGraphicControl {
public:
  TSwatch(TComponent* owner, TWinControl* parent, TRect bounds, TColor color) : TGraphicControl(owner) {
    SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    SetColor(color);
    SetParent(parent);
  }
  void Paint(HDC dc) override {
    ++Paints;
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(Color()));
    RECT r{0, 0, Width(), Height()};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
  int Paints = 0;
};

std::unique_ptr<TBitmap> Filled(int w, int h, COLORREF colour) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf32bit);
  b->SetSize(w, h);
  HBRUSH brush = CreateSolidBrush(colour);
  RECT r{0, 0, w, h};
  FillRect(b->Canvas().Handle(), &r, brush);
  DeleteObject(brush);
  return b;
}

COLORREF At(TBitmap& b, int x, int y) { return GetPixel(b.Canvas().Handle(), x, y); }

}  // namespace

TEST(ControlsPainting, PaintToDrawsFaceAndGraphicChildrenButNoChildWindows) {
  Application().Initialize();
  auto* form = CreateComponent<TForm>(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(120, 90);
  form->SetColor(RGB(0x11, 0x22, 0x33));
  new TSwatch(form, form, Bounds(10, 10, 20, 20), RGB(0xAA, 0x00, 0x00));
  auto* panel = new TPanel(form);
  panel->BevelOuter = bvNone;
  panel->SetColor(RGB(0x00, 0xBB, 0x00));
  panel->SetBounds(60, 40, 40, 30);
  panel->SetParent(form);
  form->Handle();
  panel->Handle();

  const COLORREF marker = RGB(0x70, 0x70, 0x70);
  auto bmp = Filled(200, 150, marker);
  form->PaintTo(bmp->Canvas().Handle(), 30, 20);
  GdiFlush();
  EXPECT_EQ(At(*bmp, 30 + 5, 20 + 5), RGB(0x11, 0x22, 0x33));    // the face, at (X, Y)
  EXPECT_EQ(At(*bmp, 30 + 15, 20 + 15), RGB(0xAA, 0x00, 0x00));  // its graphic child
  EXPECT_EQ(At(*bmp, 30 + 70, 20 + 50), RGB(0x11, 0x22, 0x33));  // no child window: face shows
  EXPECT_EQ(At(*bmp, 30 + 125, 20 + 50), marker);                // clipped to its size
  EXPECT_EQ(At(*bmp, 10, 10), marker);
  // The DC's state is as it was.
  POINT org;
  GetViewportOrgEx(bmp->Canvas().Handle(), &org);
  EXPECT_EQ(org.x, 0);
  EXPECT_EQ(org.y, 0);

  // A control without a window paints nothing.
  auto* loose = new TPanel(form);
  auto clean = Filled(20, 20, marker);
  loose->PaintTo(clean->Canvas().Handle(), 0, 0);
  EXPECT_FALSE(loose->HandleAllocated());
  EXPECT_EQ(At(*clean, 5, 5), marker);
  TComponent::Free(form);
}

TEST(ControlsPainting, GraphicControlsPaintIntoTheDCOfWmPaintAndWmPrint) {
  Application().Initialize();
  auto* form = CreateComponent<TForm>(nullptr);
  auto* swatch = new TSwatch(form, form, Bounds(0, 0, 8, 8), RGB(0x12, 0x34, 0x56));
  // A hook that takes the messages over sees them, and painting still reaches the control.
  int seen = 0;
  TWndMethod saved;
  struct THook {
    int* Seen;
    TWndMethod* Saved;
    void Proc(TMessage& m) {
      if (m.Msg == WM_PAINT || m.Msg == WM_PRINT) ++*Seen;
      (*Saved)(m);
    }
  } hook{&seen, &saved};
  HookWindowProc(swatch, MakeWndMethod<&THook::Proc>(&hook), &saved);
  for (UINT msg : {WM_PAINT, WM_PRINT}) {
    auto bmp = Filled(8, 8, 0);
    swatch->Perform(msg, reinterpret_cast<WPARAM>(bmp->Canvas().Handle()), 0);
    GdiFlush();
    EXPECT_EQ(At(*bmp, 4, 4), RGB(0x12, 0x34, 0x56)) << msg;
  }
  swatch->Perform(WM_PAINT, 0, 0);  // no DC: nothing to paint on
  EXPECT_EQ(swatch->Paints, 2);
  EXPECT_EQ(seen, 3);
  UnhookWindowProc(swatch, MakeWndMethod<&THook::Proc>(&hook));
  TComponent::Free(form);
}

TEST(ControlsPainting, KindQueriesAnswerNoneUntilTheKindsExist) {
  TGraphicControl control(nullptr);
  EXPECT_EQ(TabSheetBorderWidth(&control), 0);
  EXPECT_FALSE(ToolButtonStyleOf(&control).has_value());
  EXPECT_FALSE(IsSpeedButton(&control));
  EXPECT_FALSE(control.Designing());  // no designer in this program
}
