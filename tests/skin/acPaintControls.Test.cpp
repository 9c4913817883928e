// Controls rendered into bitmaps with real windows under Xvfb: a form with its children
// against a screen capture, hidden controls, printing that stops at -2, overlapping
// siblings; a dialog's client part into its image; graphic children over their background.
// TARVEL_SHOW_SECONDS=N keeps the form up N seconds with its rendering beside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SkinStateFixtures.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/StdCtrls.h"
#include "skin/forms/sSkinProvider.h"
#include "support/MessageBoxCloser.h"
#include "skin/graphics/acAnimation.h"
#include "skin/graphics/acPaintControls.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/handlers/acDials.h"
#include "support/ShellHarness.h"
#include "ui/GdiCounter.h"

namespace {

void Pump(DWORD ms) {
  WaitUntil([] { return false; }, ms);
}

std::uint32_t Px(TBitmap* b, int x, int y) { return static_cast<std::uint32_t*>(b->ScanLine(y))[x]; }
std::uint32_t Rgb(TBitmap* b, int x, int y) { return Px(b, x, y) & 0xFFFFFF; }
// A COLORREF as the bitmap stores it (0x00RRGGBB).
std::uint32_t Stored(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

std::unique_ptr<TBitmap> Filled(int w, int h, COLORREF colour) {
  auto b = NewBitmap32(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) static_cast<std::uint32_t*>(b->ScanLine(y))[x] = Stored(colour);
  return b;
}

// A bitmap whose every pixel tells where it is: red x, green y.
std::unique_ptr<TBitmap> Positions(int w, int h) {
  auto b = NewBitmap32(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) static_cast<std::uint32_t*>(b->ScanLine(y))[x] = Stored(RGB(x, y, 0x80));
  return b;
}

// A graphic control that fills itself with its colour (or leaves its place alone), and
// notes what it saw while it painted.
class TSwatch : public TGraphicControl {
public:
  TSwatch(TComponent* owner, TWinControl* parent, TRect bounds, TColor color, bool paints = true)
      : TGraphicControl(owner), Paints(paints) {
    SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    SetColor(color);
    SetParent(parent);
  }
  void Paint(HDC dc) override {
    ++Painted;
    SawPaintCopy = (ControlState() & csPaintCopy) != 0;
    if (OnPaint) OnPaint();
    if (!Paints) return;
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(Color()));
    RECT r{0, 0, Width(), Height()};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
  void SetStyleBits(TControlStyle bits) { SetControlStyle(ControlStyle() | bits); }
  bool Paints;
  int Painted = 0;
  bool SawPaintCopy = false;
  std::function<void()> OnPaint;
};

class TFlatPanel : public TPanel {
public:
  TFlatPanel(TComponent* owner, TWinControl* parent, TRect bounds, COLORREF color) : TPanel(owner) {
    BevelOuter = bvNone;
    SetColor(color);
    SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    SetParent(parent);
  }
};

// A system edit control.
class TEditBox : public TWinControl {
public:
  TEditBox(TComponent* owner, TWinControl* parent, TRect bounds, const std::wstring& text) : TWinControl(owner) {
    SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    SetCaption(text);
    SetParent(parent);
  }

protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.SystemClass = L"EDIT";
    params.Style |= ES_LEFT | ES_AUTOHSCROLL;
  }
};

TForm* NewForm(int w, int h, COLORREF color) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(w, h);
  form->SetColor(color);
  return form;
}

// A parent answering the background request: a colour, or a bitmap with an offset.
void AnswerBackground(TSkinReceiver& parent, std::uint8_t type, TColor color, TBitmap* bmp, TPoint offset,
                      TRect margins = {}) {
  parent.OnMessage = [=](TMessage& m) {
    if (SkinCommandOf(m.WParam) != SKCMD_GET_BG_INFO) return;
    auto* info = reinterpret_cast<TacBGInfo*>(m.LParam);
    info->BgType = type;
    info->Color = color;
    info->Bmp = bmp;
    info->Offset = offset;
    info->FrameRect = margins;
  };
}

}  // namespace

TEST(PaintControls, FormRendersAsTheScreenShowsIt) {
  const COLORREF face = RGB(0x33, 0x66, 0x99);
  TForm* form = NewForm(320, 200, face);
  auto* panel = new TPanel(form);
  panel->SetColor(RGB(0x20, 0x90, 0x40));
  panel->SetCaption(L"Panel");
  panel->SetBounds(10, 10, 140, 100);
  panel->SetParent(form);
  auto* inner = new TLabel(form);
  inner->SetCaption(L"Inner");
  inner->Transparent = false;
  inner->SetColor(RGB(0xE0, 0xC0, 0x20));
  inner->SetBounds(10, 70, 80, 20);
  inner->SetParent(panel);
  auto* outer = new TLabel(form);
  outer->SetCaption(L"Outer");
  outer->Transparent = false;
  outer->SetColor(RGB(0xF0, 0x80, 0x80));
  outer->SetBounds(170, 120, 100, 20);
  outer->SetParent(form);
  new TEditBox(form, form, Bounds(170, 10, 120, 24), L"Edit");
  auto* hidden = new TFlatPanel(form, form, Bounds(170, 50, 60, 40), RGB(0xFF, 0, 0));
  hidden->SetVisible(false);
  form->Show();
  SetWindowPos(form->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);

  // The screen, once the window shows its face in a free corner.
  auto shot = NewBitmap32(320, 200);
  for (int i = 0; i < 40; ++i) {
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(150);
    POINT origin{0, 0};
    ClientToScreen(form->Handle(), &origin);
    HDC screen = GetDC(nullptr);
    BitBlt(shot->Canvas().Handle(), 0, 0, 320, 200, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();
    if (i >= 2 && Rgb(shot.get(), 315, 195) == Stored(face) && Rgb(shot.get(), 190, 130) != Stored(face)) break;
  }
  auto image = NewBitmap32(320, 200);
  PaintControlToBitmap(image.get(), form, 0, 0);
  GdiFlush();
  int mismatches = 0;
  std::string first;
  for (int y = 1; y < 200; y += 6)
    for (int x = 1; x < 320; x += 6)
      if (Rgb(image.get(), x, y) != Rgb(shot.get(), x, y)) {
        if (mismatches++ < 5)
          first += " (" + std::to_string(x) + "," + std::to_string(y) + "): " + std::to_string(Rgb(image.get(), x, y)) +
                   " vs " + std::to_string(Rgb(shot.get(), x, y));
      }
  EXPECT_EQ(mismatches, 0) << first;
  // The probes meant something: every part shows where it should.
  EXPECT_EQ(Rgb(image.get(), 5, 5), Stored(face));
  EXPECT_EQ(Rgb(image.get(), 140, 20), Stored(RGB(0x20, 0x90, 0x40)));
  EXPECT_EQ(Rgb(image.get(), 95, 95), Stored(RGB(0xE0, 0xC0, 0x20)));
  EXPECT_EQ(Rgb(image.get(), 268, 138), Stored(RGB(0xF0, 0x80, 0x80)));
  EXPECT_EQ(Rgb(image.get(), 200, 70), Stored(face));  // the hidden panel is not there
  EXPECT_NE(Rgb(image.get(), 285, 20), Stored(face));  // the edit (its colour is the system's)

  // The hidden panel alone becomes what its parent shows: the form's colour at (X, Y).
  const COLORREF marker = RGB(0x70, 0x70, 0x70);
  auto place = Filled(80, 60, marker);
  PaintControlToBitmap(place.get(), hidden, 3, 4);
  GdiFlush();
  EXPECT_EQ(Rgb(place.get(), 3, 4), Stored(face));
  EXPECT_EQ(Rgb(place.get(), 62, 43), Stored(face));
  EXPECT_EQ(Rgb(place.get(), 63, 43), Stored(marker));
  EXPECT_EQ(Rgb(place.get(), 62, 44), Stored(marker));
  EXPECT_EQ(Rgb(place.get(), 2, 4), Stored(marker));

  if (const char* show = std::getenv("TARVEL_SHOW_SECONDS")) {
    // The rendering beside the window, for a person to compare.
    for (int i = 0, n = std::atoi(show) * 5; i < n; ++i) {
      HDC screen = GetDC(nullptr);
      BitBlt(screen, 340, 0, 320, 200, image->Canvas().Handle(), 0, 0, SRCCOPY);
      ReleaseDC(nullptr, screen);
      Pump(200);
    }
  }
  TComponent::Free(form);
}

TEST(PaintControls, HiddenControlCopiesOnlyWhatBothBitmapsHold) {
  TForm* form = NewForm(100, 100, RGB(1, 2, 3));
  auto* parent = new TSkinWin(form, false, form);
  parent->SetBounds(0, 0, 90, 90);
  auto answer = Positions(20, 20);
  AnswerBackground(*parent, btCache, 0, answer.get(), TPoint{5, 5});
  auto* hidden = new TFlatPanel(form, parent, Bounds(10, 10, 30, 30), RGB(0xFF, 0, 0));
  hidden->SetVisible(false);
  form->Handle();

  const COLORREF marker = RGB(0x70, 0x70, 0x70);
  auto target = Filled(40, 40, marker);
  // Source (15, 15) on: the answer holds 5 x 5 of it; the target holds 10 x 10 from (30, 30).
  for (TPoint at : {TPoint{2, 2}, TPoint{30, 30}}) {
    PaintControlToBitmap(target.get(), hidden, at.X, at.Y);
    GdiFlush();
    EXPECT_EQ(Rgb(target.get(), at.X, at.Y), Stored(RGB(15, 15, 0x80)));
    EXPECT_EQ(Rgb(target.get(), at.X + 4, at.Y + 4), Stored(RGB(19, 19, 0x80)));
    EXPECT_EQ(Rgb(target.get(), at.X + 5, at.Y + 2), Stored(marker));
    EXPECT_EQ(Rgb(target.get(), at.X + 2, at.Y + 5), Stored(marker));
  }
  EXPECT_EQ(Rgb(target.get(), 20, 20), Stored(marker));
  TComponent::Free(form);
}

TEST(PaintControls, PrintAnsweredWithMinusTwoIsNotDescendedInto) {
  for (LRESULT printAnswer : {LRESULT(-2), LRESULT(0)}) {
    TForm* form = NewForm(100, 100, RGB(1, 2, 3));
    auto* printer = new TSkinWin(form, false, form);
    printer->SetBounds(0, 0, 60, 60);
    printer->Answers[SKCMD_SET_PRINT_DC] = 1;
    int prints = 0;
    printer->SetMessageHandler(WM_PRINT, [&](TMessage& m) {
      ++prints;
      m.Result = printAnswer;
    });
    auto* child = new TSkinWin(form, false, printer);
    child->SetBounds(5, 5, 20, 20);
    form->Handle();
    child->Handle();
    auto bmp = NewBitmap32(60, 60);
    PaintControlToBitmap(bmp.get(), printer, 0, 0);
    const HDC dc = bmp->Canvas().Handle();
    EXPECT_EQ(prints, 1);
    ASSERT_EQ(printer->Count(SKCMD_SET_PRINT_DC), 2);
    EXPECT_EQ(printer->LParams.front(), reinterpret_cast<LPARAM>(dc));
    EXPECT_EQ(printer->LParams.back(), 0);
    EXPECT_EQ(child->Count(SKCMD_SET_PRINT_DC), printAnswer == -2 ? 0 : 1) << printAnswer;
    TComponent::Free(form);
  }
}

TEST(PaintControls, LaterOverlappingSiblingsJoinWhenAsked) {
  const COLORREF a = RGB(0xA0, 0, 0), b = RGB(0, 0xB0, 0), cover = RGB(0, 0, 0xC0), away = RGB(0xD0, 0xD0, 0);
  TForm* form = NewForm(200, 200, RGB(1, 2, 3));
  auto* first = new TFlatPanel(form, form, Bounds(10, 10, 50, 50), a);
  new TFlatPanel(form, form, Bounds(40, 40, 50, 50), b);
  auto* output = new TOutputWindow(form);
  output->SetColor(cover);
  output->SetBounds(10, 10, 15, 15);
  output->SetParent(form);
  new TFlatPanel(form, form, Bounds(150, 150, 20, 20), away);
  form->Handle();
  for (bool overlapping : {false, true}) {
    auto bmp = NewBitmap32(50, 50);
    PaintControlToBitmap(bmp.get(), first, 0, 0, nullptr, overlapping);
    GdiFlush();
    EXPECT_EQ(Rgb(bmp.get(), 45, 45), Stored(overlapping ? b : a)) << overlapping;
    EXPECT_EQ(Rgb(bmp.get(), 25, 25), Stored(a));
    EXPECT_EQ(Rgb(bmp.get(), 5, 5), Stored(a));  // the cover window is never in the picture
  }
  TComponent::Free(form);
}

TEST(PaintControls, FormWithBorderFormGetsAnOpaqueClientAndItsImage) {
  TForm* form = NewForm(60, 40, RGB(0x40, 0x50, 0x60));
  auto* recorder = dynamic_cast<TSkinForm*>(form);
  form->Handle();
  // A provider without a form, as a holder of the border window: its warning box is closed.
  TsSkinProvider* provider;
  {
    TMessageBoxCloser closer;
    provider = new TsSkinProvider(nullptr);
  }
  TacBorderForm border;
  for (bool withBorder : {false, true}) {
    provider->BorderForm = withBorder ? &border : nullptr;
    recorder->Got.clear();
    recorder->LParams.clear();
    auto bmp = NewBitmap32(80, 60);
    PaintControlToBitmap(bmp.get(), form, 0, 0, provider);
    ASSERT_EQ(recorder->Count(SKCMD_FORM_IMAGE), 1);
    for (size_t i = 0; i < recorder->Got.size(); ++i)
      if (recorder->Got[i] == SKCMD_FORM_IMAGE) {
        EXPECT_EQ(recorder->LParams[i], reinterpret_cast<LPARAM>(bmp.get()));
      }
    for (auto [x, y, inside] : {std::tuple{0, 0, true}, {59, 39, true}, {60, 20, false}, {30, 40, false}})
      EXPECT_EQ(Px(bmp.get(), x, y) >> 24, withBorder && inside ? 255u : 0u) << x << "," << y << " " << withBorder;
  }
  provider->BorderForm = nullptr;
  TComponent::Free(provider);
  TComponent::Free(form);
}

namespace {

// A dialog view with its client part at (7, 11) of its image.
class TTestDialog : public TacDialogWnd {
public:
  int OffsetX() override { return 7; }
  int OffsetY() override { return 11; }
};

}  // namespace

TEST(PaintControls, DialogClientBecomesOpaqueAtItsOffsets) {
  HWND wnd = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 400, 300, 100, 60, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(wnd);
  Pump(300);
  TTestDialog dialog;
  dialog.CtrlHandle = wnd;
  TacBorderForm border;
  struct TCase {
    bool FromScreen, Border;
    int W, H;
    TRect Opaque;
  } cases[] = {
      {true, false, 120, 80, Rect(7, 11, 107, 71)},  // from the screen: the client part
      {true, true, 90, 50, Rect(7, 11, 90, 50)},     // limited by the image
      {false, true, 120, 80, Rect(7, 11, 107, 71)},  // printed with a border form
      {false, false, 120, 80, Rect(0, 0, 120, 80)},  // printed without one: the whole image
  };
  for (const TCase& c : cases) {
    dialog.BorderForm = c.Border ? &border : nullptr;
    auto bmp = NewBitmap32(c.W, c.H);
    PaintDialogToBitmap(&dialog, bmp.get(), c.FromScreen);
    int wrong = 0;
    for (int y = 0; y < c.H; ++y)
      for (int x = 0; x < c.W; ++x) {
        const bool inside = x >= c.Opaque.Left && x < c.Opaque.Right && y >= c.Opaque.Top && y < c.Opaque.Bottom;
        wrong += (Px(bmp.get(), x, y) >> 24) != (inside ? 255u : 0u);
      }
    EXPECT_EQ(wrong, 0) << c.FromScreen << c.Border << c.W;
    if (c.FromScreen) {
      HDC screen = GetDC(nullptr);
      const COLORREF shown = GetPixel(screen, 400 + 40, 300 + 30);
      ReleaseDC(nullptr, screen);
      EXPECT_EQ(Rgb(bmp.get(), 7 + 40, 11 + 30), Stored(shown));
    }
  }
  DestroyWindow(wnd);
}

namespace {

// The seam's tool buttons: the style is in the control's Tag (-1: no tool button).
std::optional<TToolButtonStyle> StyleFromTag(TControl* control) {
  if (control->Tag < 0) return std::nullopt;
  return static_cast<TToolButtonStyle>(control->Tag);
}

struct TGraphicStage {
  TForm* Form;
  TSkinWin* Container;
  TGraphicStage() {
    Form = NewForm(300, 100, RGB(1, 2, 3));
    Container = new TSkinWin(Form, false, Form);
    Container->SetBounds(0, 0, 260, 40);
    Form->Handle();
    Container->Handle();
  }
  ~TGraphicStage() { TComponent::Free(Form); }
  TSwatch* Add(int slot, TColor color, bool paints = true) {
    auto* s = new TSwatch(Form, Container, Bounds(slot * 20, 10, 12, 12), color, paints);
    s->Tag = -1;
    return s;
  }
};

}  // namespace

TEST(PaintControls, GraphicChildrenOverTheirBackground) {
  TGraphicStage stage;
  const COLORREF bg = RGB(0x10, 0x80, 0xF0), marker = RGB(0x70, 0x70, 0x70);
  AnswerBackground(*stage.Container, btFill, bg, nullptr, TPoint{});
  TControlKindQueries queries;
  queries.ToolButtonStyleOf = StyleFromTag;
  SetControlKindQueries(&queries);

  struct TChild {
    const char* What;
    TSwatch* Swatch;
    std::uint32_t Expected;
  };
  std::vector<TChild> children;
  auto add = [&](const char* what, int slot, TColor color, bool paints, std::uint32_t expected) {
    children.push_back({what, stage.Add(slot, color, paints), expected});
    return children.back().Swatch;
  };
  add("paints itself", 0, RGB(0xAA, 0, 0), true, Stored(RGB(0xAA, 0, 0)));
  add("stands on the background", 1, RGB(0xAA, 0, 0), false, Stored(bg));
  add("opaque: its own colour", 2, RGB(0, 0xAA, 0), false, Stored(RGB(0, 0xAA, 0)))->SetStyleBits(csOpaque);
  add("skip mark", 3, RGB(0xFF, 0, 0xFF), true, Stored(marker));
  add("hidden", 4, RGB(0xAA, 0, 0), true, Stored(marker))->SetVisible(false);
  add("not at design time", 5, RGB(0xAA, 0, 0), true, Stored(marker))->SetStyleBits(csNoDesignVisible);
  const struct {
    TToolButtonStyle Style;
    bool Painted;
  } tools[] = {{tbsButton, false}, {tbsCheck, false}, {tbsDropDown, false}, {tbsSeparator, true}};
  int slot = 6;
  for (auto t : tools)
    add("tool button", slot++, RGB(0, 0, 0xAA), true, t.Painted ? Stored(RGB(0, 0, 0xAA)) : Stored(marker))->Tag =
        t.Style;

  // The container paints as a copy: its children do so while they paint, and only then.
  stage.Container->SetControlState(stage.Container->ControlState() | csPaintCopy);
  // A child painting a container's graphic children meanwhile paints nothing.
  auto* other = new TSkinWin(stage.Form, false, stage.Form);
  other->Handle();
  auto* nested = new TSwatch(stage.Form, other, Bounds(0, 0, 5, 5), RGB(0x55, 0x55, 0x55));
  nested->Tag = -1;
  auto nestedTarget = Filled(5, 5, marker);
  children[0].Swatch->OnPaint = [&] { PaintGraphicChildren(nestedTarget->Canvas().Handle(), other, TPoint{}, true); };

  auto target = Filled(280, 60, marker);
  const TPoint offset{3, 4};
  PaintGraphicChildren(target->Canvas().Handle(), stage.Container, offset, true);
  GdiFlush();
  for (const TChild& c : children) {
    const TRect r = c.Swatch->BoundsRect();
    EXPECT_EQ(Rgb(target.get(), r.Left + offset.X + 1, r.Top + offset.Y + 1), c.Expected) << c.What << " " << r.Left;
    EXPECT_EQ(Rgb(target.get(), r.Left + offset.X - 1, r.Top + offset.Y + 1), Stored(marker)) << c.What;
    if (c.Swatch->Painted) {
      EXPECT_TRUE(c.Swatch->SawPaintCopy) << c.What;
    }
    EXPECT_FALSE(c.Swatch->ControlState() & csPaintCopy) << c.What;
  }
  EXPECT_EQ(nested->Painted, 0);
  EXPECT_EQ(Rgb(nestedTarget.get(), 2, 2), Stored(marker));
  stage.Container->SetControlState(stage.Container->ControlState() & ~csPaintCopy);
  // Once the call is over, the guard is down again.
  PaintGraphicChildren(nestedTarget->Canvas().Handle(), other, TPoint{}, true);
  EXPECT_EQ(nested->Painted, 1);
  SetControlKindQueries(nullptr);
}

TEST(PaintControls, GraphicChildrenTakeTheBackgroundBitmap) {
  TGraphicStage stage;
  auto background = Positions(120, 60);
  // A bitmap with offset: the child's rectangle from the bitmap at its place plus the offset.
  AnswerBackground(*stage.Container, btCache, 0, background.get(), TPoint{5, 6});
  auto* child = stage.Add(1, 0, false);  // at (20, 10)
  auto target = Filled(100, 40, 0);
  PaintGraphicChildren(target->Canvas().Handle(), stage.Container, TPoint{}, true);
  GdiFlush();
  EXPECT_EQ(Rgb(target.get(), 20, 10), Stored(RGB(25, 16, 0x80)));
  EXPECT_EQ(Rgb(target.get(), 31, 21), Stored(RGB(36, 27, 0x80)));

  // A colour answer with a bitmap: the colour, and the parent's top border band from the
  // bitmap where the child reaches into it.
  const COLORREF colour = RGB(0x22, 0x44, 0x66);
  AnswerBackground(*stage.Container, btFill, colour, background.get(), TPoint{0, 0}, TRect{0, 14, 0, 0});
  child->SetBounds(20, 10, 12, 12);
  PaintGraphicChildren(target->Canvas().Handle(), stage.Container, TPoint{}, true);
  GdiFlush();
  EXPECT_EQ(Rgb(target.get(), 21, 11), Stored(RGB(21, 11, 0x80)));  // band rows 10..13
  EXPECT_EQ(Rgb(target.get(), 21, 13), Stored(RGB(21, 13, 0x80)));
  EXPECT_EQ(Rgb(target.get(), 21, 14), Stored(colour));
}

TEST(PaintControls, EmptyClipBoxPaintsNothingAndTellsHalfVisible) {
  TGraphicStage stage;
  auto* child = stage.Add(0, RGB(0xAA, 0, 0));
  auto target = Filled(100, 40, 0);
  HDC dc = target->Canvas().Handle();
  const int saved = SaveDC(dc);
  HRGN empty = CreateRectRgn(0, 0, 0, 0);
  SelectClipRgn(dc, empty);
  DeleteObject(empty);
  PaintGraphicChildren(dc, stage.Container, TPoint{}, true);
  RestoreDC(dc, saved);
  EXPECT_EQ(stage.Container->Count(SKCMD_SET_HALF_VISIBLE), 1);
  EXPECT_EQ(stage.Container->Count(SKCMD_GET_BG_INFO), 0);
  EXPECT_EQ(child->Painted, 0);
  // A hidden container with CheckVisible is left alone altogether.
  stage.Container->SetVisible(false);
  PaintGraphicChildren(dc, stage.Container, TPoint{}, true);
  EXPECT_EQ(child->Painted, 0);
  EXPECT_EQ(stage.Container->Count(SKCMD_GET_BG_INFO), 0);
}

TEST(PaintControls, RepeatedRenderingKeepsTheGdiBalance) {
  TGraphicStage stage;
  stage.Add(0, RGB(0xAA, 0, 0));
  stage.Add(1, 0, false);
  auto target = Filled(300, 100, 0);
  auto once = [&] {
    PaintGraphicChildren(target->Canvas().Handle(), stage.Container, TPoint{}, true);
    PaintControlToBitmap(target.get(), stage.Form, 0, 0);
  };
  once();
  TGdiCounter gdi;
  const long balance = gdi.Balance();
  for (int i = 0; i < 10; ++i) once();
  EXPECT_EQ(gdi.Balance(), balance);
}

namespace {
int BorderFromTag(TControl* control) { return static_cast<int>(control->Tag); }
}  // namespace

TEST(PaintControls, TabSheetFaceStartsInsideItsBorder) {
  const COLORREF face = RGB(0x20, 0x40, 0x60), inner = RGB(0x80, 0x10, 0x10), marker = RGB(0x70, 0x70, 0x70);
  TForm* form = NewForm(100, 100, RGB(1, 2, 3));
  auto* sheet = new TFlatPanel(form, form, Bounds(0, 0, 40, 40), face);
  sheet->Tag = 4;
  auto* child = new TFlatPanel(form, sheet, Bounds(10, 10, 10, 10), inner);
  child->Tag = 0;
  form->Handle();
  TControlKindQueries queries;
  queries.TabSheetBorderWidth = BorderFromTag;
  SetControlKindQueries(&queries);
  auto bmp = Filled(40, 40, marker);
  PaintControlToBitmap(bmp.get(), sheet, 0, 0);
  SetControlKindQueries(nullptr);
  GdiFlush();
  EXPECT_EQ(Rgb(bmp.get(), 3, 3), Stored(marker));
  EXPECT_EQ(Rgb(bmp.get(), 4, 4), Stored(face));
  EXPECT_EQ(Rgb(bmp.get(), 13, 13), Stored(face));
  EXPECT_EQ(Rgb(bmp.get(), 14, 14), Stored(inner));  // child windows move with the face
  EXPECT_EQ(Rgb(bmp.get(), 23, 23), Stored(inner));
  EXPECT_EQ(Rgb(bmp.get(), 24, 24), Stored(face));
  TComponent::Free(form);
}

TEST(PaintControls, GraphicControlIsPrintedWithItsPrintDC) {
  TForm* form = NewForm(100, 100, RGB(1, 2, 3));
  auto* swatch = new TSwatch(form, form, Bounds(30, 30, 10, 10), RGB(0x90, 0x30, 0x30));
  auto* recorder = new TSkinGraphic(form, form);
  auto bmp = Filled(10, 10, 0);
  PaintControlToBitmap(bmp.get(), swatch, 30, 30);
  GdiFlush();
  EXPECT_EQ(Rgb(bmp.get(), 0, 0), Stored(RGB(0x90, 0x30, 0x30)));
  EXPECT_EQ(Rgb(bmp.get(), 9, 9), Stored(RGB(0x90, 0x30, 0x30)));
  PaintControlToBitmap(bmp.get(), recorder, 0, 0);
  ASSERT_EQ(recorder->Count(SKCMD_SET_PRINT_DC), 2);
  EXPECT_EQ(recorder->LParams.front(), reinterpret_cast<LPARAM>(bmp->Canvas().Handle()));
  EXPECT_EQ(recorder->LParams.back(), 0);
  TComponent::Free(form);
}
