// The form skin provider's non-client painting on real forms: the cache it renders (frame,
// title, caption text, icon, buttons), the copies into the window and into a printed DC,
// the window region, the client paint, and the faults it mends. The skin "Tarvel Forms" of
// tools/make_skin.py gives every section and state its own flat colour.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "ReaderFixtures.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

namespace {

// Section colours of the test skin (normal, active).
constexpr TColor kForm[2] = {0x784828, 0xA86838};
constexpr TColor kTitle[2] = {0x103050, 0x204060};

TColor PixelOf(TBitmap* bmp, int x, int y) { return bmp->Canvas().Pixel(x, y); }

// Counts WM_NCCALCSIZE sent to one window of this thread.
struct TFrameChangeCounter {
  static inline HWND Wnd = nullptr;
  static inline int Count = 0;
  HHOOK Hook = nullptr;
  explicit TFrameChangeCounter(HWND wnd) {
    Wnd = wnd;
    Count = 0;
    Hook = SetWindowsHookExW(WH_CALLWNDPROC, Proc, nullptr, GetCurrentThreadId());
  }
  ~TFrameChangeCounter() { UnhookWindowsHookEx(Hook); }
  static LRESULT CALLBACK Proc(int code, WPARAM w, LPARAM l) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(l);
    if (code >= 0 && m->hwnd == Wnd && m->message == WM_NCCALCSIZE) ++Count;
    return CallNextHookEx(nullptr, code, w, l);
  }
};

// A plain full-screen popup painted in one colour by its class brush.
struct TBackWindow {
  HWND Wnd = nullptr;
  HBRUSH Brush = nullptr;
  explicit TBackWindow(COLORREF color) {
    Brush = CreateSolidBrush(color);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarvelPaintBack";
    wc.hbrBackground = Brush;
    RegisterClassW(&wc);
    Wnd = CreateWindowExW(WS_EX_TOOLWINDOW, L"TarvelPaintBack", L"", WS_POPUP | WS_VISIBLE, 0, 0,
                          GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                          wc.hInstance, nullptr);
    SetClassLongPtrW(Wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(Brush));
    RedrawWindow(Wnd, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessagesFor(100);
  }
  ~TBackWindow() {
    DestroyWindow(Wnd);
    UnregisterClassW(L"TarvelPaintBack", GetModuleHandleW(nullptr));
    DeleteObject(Brush);
  }
};

class ProviderPaint : public testing::Test {
protected:
  virtual const wchar_t* Folder() const { return L"forms"; }
  virtual const wchar_t* Skin() const { return L"Tarvel Forms"; }
  // The progress window gets its provider at run time from the handler selection.
  virtual bool RunTimeProvider() const { return false; }
  void SetUp() override {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(Folder()));
    M->SetSkinName(Skin());
    M->SetActive(true);
    Form = CreateComponent<TForm>(nullptr);
    Form->SetBorderStyle(bsSingle);
    Form->SetBorderIcons(biSystemMenu);
    Form->SetCaption(L"Progress");
    Form->SetBounds(60, 60, 300, 200);
    Form->SetClientSize(450, 120);
    P = RunTimeProvider() ? TsSkinProvider::CreateRT(Form) : NewComponent<TsSkinProvider>(Form);
    P->SkinManager = M;
    Form->Show();
    PumpMessagesFor(100);
    ASSERT_TRUE(P->FCommonData->Skinned());
  }
  void TearDown() override {
    TComponent::Free(Form);
    TComponent::Free(M);
    PumpMessages();
  }
  // A full render of the cache in the given activity.
  TBitmap* Render(bool active) {
    P->FormActive = active;
    P->FCommonData->BGChanged = true;
    EXPECT_EQ(P->PaintAll(), 1);
    return P->FCommonData->FCacheBmp.get();
  }
  int Frame() { return SysBorderWidth(Form->Handle(), nullptr, true); }
  int TitleBottom() { return Frame() + P->CaptionHeight(true); }
  TsSkinManager* M = nullptr;
  TForm* Form = nullptr;
  TsSkinProvider* P = nullptr;
};

}  // namespace

// A child asking for the form's background gets it from a rendered image: a changed frame is
// painted first, so the answer never shows a cache of before the change.
TEST_F(ProviderPaint, ABackgroundQueryRendersAChangedFormFirst) {
  for (bool pleaseDraw : {false, true}) {
    SCOPED_TRACE(pleaseDraw);
    P->FCommonData->BGChanged = true;
    TacBGInfo info;
    info.PleaseDraw = pleaseDraw;
    SendSkinCommand(Form->Handle(), SKCMD_GET_BG_INFO, reinterpret_cast<LPARAM>(&info));
    EXPECT_FALSE(P->FCommonData->BGChanged);
    TBitmap* cache = P->FCommonData->FCacheBmp.get();
    ASSERT_TRUE(cache && !cache->Empty());
    EXPECT_EQ(cache->Height(), Form->Height());
  }
}

TEST_F(ProviderPaint, CacheHoldsFrameAndTitleInTheStateOfTheFormsActivity) {
  for (int active : {0, 1}) {
    TBitmap* cache = Render(active != 0);
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(cache->Width(), P->CaptionWidth());
    EXPECT_EQ(cache->Height(), Form->Height());
    const int w = cache->Width(), h = cache->Height();
    // Frame: the left, right and bottom bands; title: the caption band beside the text.
    EXPECT_EQ(PixelOf(cache, 1, h / 2), kForm[active]) << active;
    EXPECT_EQ(PixelOf(cache, w - 2, h / 2), kForm[active]) << active;
    EXPECT_EQ(PixelOf(cache, w / 2, h - 2), kForm[active]) << active;
    EXPECT_EQ(PixelOf(cache, w / 2, 1), kTitle[active]) << active;
    EXPECT_EQ(PixelOf(cache, w * 3 / 4, TitleBottom() - 2), kTitle[active]) << active;
    // The client part shows the form section.
    EXPECT_EQ(PixelOf(cache, P->OffsetX() + 10, P->OffsetY() + 10), kForm[active]) << active;
  }
}

TEST_F(ProviderPaint, CaptionTextIsInkedRightOfTheIconInsideTheTitle) {
  TBitmap* cache = Render(true);
  ASSERT_NE(cache, nullptr);
  const int top = P->ShadowSize().Top, bottom = TitleBottom();
  int inked = 0, firstInk = -1, lastInk = -1;
  for (int x = P->IconRect().Right; x < cache->Width() / 2; ++x)
    for (int y = top; y < bottom; ++y)
      if (PixelOf(cache, x, y) != kTitle[1]) {
        ++inked;
        if (firstInk < 0) firstInk = x;
        lastInk = x;
      }
  EXPECT_GT(inked, 10);
  EXPECT_GT(firstInk, P->IconRect().Right);
  // "Progress" is short: the right half of the caption stays bare.
  EXPECT_LT(lastInk, cache->Width() / 2 - 1);
  for (int x = cache->Width() / 2; x < cache->Width() * 3 / 4; ++x)
    EXPECT_EQ(PixelOf(cache, x, (top + bottom) / 2), kTitle[1]) << x;
}

TEST_F(ProviderPaint, IconPixelsAreOpaqueInTheCache) {
  Form->SetIcon(LoadIconW(nullptr, IDI_APPLICATION));
  TBitmap* cache = Render(true);
  ASSERT_NE(cache, nullptr);
  const TRect icon = P->IconRect();
  ASSERT_FALSE(icon.IsEmpty());
  TPixels32 px;
  ASSERT_TRUE(GetPixels32(cache, px));
  int opaque = 0;
  for (int y = std::max(0, icon.Top); y < std::min(icon.Bottom, px.Height); ++y)
    for (int x = std::max(0, icon.Left); x < std::min(icon.Right, px.Width); ++x) {
      const std::uint32_t p = px.Row(y)[x];
      const TColor c = static_cast<TColor>(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16));
      if (c != kTitle[1]) {
        EXPECT_EQ(p >> 24, 0xFFu) << x << "," << y;
        ++opaque;
      }
    }
  EXPECT_GT(opaque, 0);
}

TEST_F(ProviderPaint, PrintWithFrameAndClientCopiesTheCache) {
  TBitmap* cache = Render(true);
  ASSERT_NE(cache, nullptr);
  auto bmp = NewBitmap32(Form->Width(), Form->Height());
  FillRectOnDC(bmp->Canvas().Handle(), TRect{0, 0, bmp->Width(), bmp->Height()}, 0x00FF00);
  Form->Perform(WM_PRINT, reinterpret_cast<WPARAM>(bmp->Canvas().Handle()), PRF_NONCLIENT | PRF_CLIENT);
  const TPoint probes[] = {{1, bmp->Height() / 2},
                           {bmp->Width() / 2, 1},
                           {bmp->Width() / 2, bmp->Height() - 2},
                           {P->OffsetX() + 20, P->OffsetY() + 20},
                           {bmp->Width() * 3 / 4, TitleBottom() - 2}};
  for (const TPoint& at : probes)
    EXPECT_EQ(PixelOf(bmp.get(), at.X, at.Y), PixelOf(cache, at.X, at.Y)) << at.X << "," << at.Y;
}

TEST_F(ProviderPaint, PendingReinitializationIsTakenOnceAndCleared) {
  TFrameChangeCounter counter(Form->Handle());
  P->DoReinit = true;
  Render(true);
  EXPECT_FALSE(P->DoReinit);
  const int first = counter.Count;
  EXPECT_GE(first, 1);
  // The frame change painted again; nothing is pending, so the next render changes no frame.
  PumpMessages();
  Render(true);
  PumpMessages();
  EXPECT_EQ(counter.Count, first);
}

TEST_F(ProviderPaint, IconicFormThatIsNotTheMainFormGetsACaptionHighCache) {
  ASSERT_NE(Application().MainForm(), Form);
  ShowWindow(Form->Handle(), SW_MINIMIZE);
  PumpMessagesFor(50);
  ASSERT_TRUE(IsIconic(Form->Handle()));
  TBitmap* cache = Render(false);
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(cache->Height(), SysBorderHeight(Form->Handle(), nullptr, false) + P->CaptionHeight(true) + 2);
  // The title section fills it to the bottom.
  EXPECT_EQ(PixelOf(cache, cache->Width() - 30, cache->Height() - 2), kTitle[0]);
  ShowWindow(Form->Handle(), SW_RESTORE);
  PumpMessages();
}

TEST_F(ProviderPaint, OnPaintDrawsIntoTheCacheAtTheClientOrigin) {
  Form->OnPaint = [](TForm* sender, HDC dc) {
    FillRectOnDC(dc, TRect{0, 0, 10, 10}, 0x0000FF);
    EXPECT_EQ(sender->Canvas().CurrentHandleOrNull(), dc);
  };
  TBitmap* cache = Render(true);
  ASSERT_NE(cache, nullptr);
  const int x = P->OffsetX(), y = P->OffsetY();
  EXPECT_EQ(PixelOf(cache, x + 1, y + 1), static_cast<TColor>(0x0000FF));
  EXPECT_EQ(PixelOf(cache, x + 9, y + 9), static_cast<TColor>(0x0000FF));
  EXPECT_EQ(PixelOf(cache, x + 12, y + 12), kForm[1]);
  // The canvas lets go of the cache, and the cache's origin is back.
  EXPECT_EQ(Form->Canvas().CurrentHandleOrNull(), nullptr);
  EXPECT_EQ(Form->Canvas().LockCount(), 0);
  POINT org{1, 1};
  GetViewportOrgEx(cache->Canvas().Handle(), &org);
  EXPECT_EQ(org.x, 0);
  EXPECT_EQ(org.y, 0);
}

TEST_F(ProviderPaint, SavedButtonBackgroundIsClippedToANarrowCache) {
  // Forms narrower than the saved area: its left part lies before the cache's first column.
  for (int width : {300, 60, 20}) {
    Form->SetBounds(60, 60, width, 150);
    PumpMessages();
    TBitmap* cache = Render(true);
    ASSERT_NE(cache, nullptr);
    ASSERT_TRUE(P->TempBmp);
    const int w = P->TempBmp->Width();
    const int left = cache->Width() - w - 1;  // where the saved area starts in the cache
    for (int x = std::max(0, left); x < cache->Width() - 1; x += 3)
      EXPECT_EQ(PixelOf(P->TempBmp.get(), x - left, 2), PixelOf(cache, x, 2)) << width << " " << x;
    // Restoring writes back the same pixels and nothing else.
    auto before = NewBitmap32(cache->Width(), cache->Height());
    CopyBitmapPixels(before.get(), cache);
    P->RestoreButtonsBg(cache->Width());
    for (int x = 0; x < cache->Width(); x += 2)
      EXPECT_EQ(PixelOf(cache, x, 2), PixelOf(before.get(), x, 2)) << width << " " << x;
  }
}

TEST_F(ProviderPaint, IconRectangleOutsideTheCacheIsClipped) {
  TBitmap* cache = Render(true);
  ASSERT_NE(cache, nullptr);
  const TRect rects[] = {{-8, -8, 8, 8}, {cache->Width() - 8, 2, cache->Width() + 8, 18}, {-40, -40, -20, -20}};
  for (const TRect& r : rects) {
    P->FIconRect = r;
    P->PaintTitleIcon();  // no write or read beside the cache
  }
  EXPECT_EQ(PixelOf(cache, cache->Width() / 2, cache->Height() - 2), kForm[1]);
}

TEST_F(ProviderPaint, FormColourFollowsSkinStateAndCustomColour) {
  Form->SetColor(0x00123456);
  struct Row {
    bool Active;
    bool Custom;
    TColor Expected;
  } rows[] = {{false, false, kForm[0]}, {true, false, kForm[1]}, {true, true, 0x00123456}};
  for (const Row& row : rows) {
    P->FormActive = row.Active;
    P->FCommonData->SetCustomColor(row.Custom);
    EXPECT_EQ(P->FormColor(), row.Expected) << row.Active << row.Custom;
  }
  P->FCommonData->SetCustomColor(false);
}

TEST_F(ProviderPaint, ParentProviderIsFoundThroughTheOwningForm) {
  TTimer* owned = NewComponent<TTimer>(Form);
  EXPECT_EQ(FindParentProvider(owned), P);
  EXPECT_EQ(FindParentProvider(Form), P);
  TTimer* loose = NewComponent<TTimer>(nullptr);
  EXPECT_EQ(FindParentProvider(loose), nullptr);
  TComponent::Free(loose);
}

TEST_F(ProviderPaint, NonClientPaintCopiesTheCacheIntoTheWindow) {
  P->FCommonData->BGChanged = true;
  RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessagesFor(50);
  TBitmap* cache = P->FCommonData->FCacheBmp.get();
  ASSERT_NE(cache, nullptr);
  HDC dc = GetWindowDC(Form->Handle());
  const TPoint probes[] = {{1, cache->Height() / 2}, {cache->Width() / 2, 1}, {cache->Width() / 2, cache->Height() - 2}};
  for (const TPoint& at : probes)
    EXPECT_EQ(static_cast<TColor>(GetPixel(dc, at.X, at.Y)), PixelOf(cache, at.X, at.Y)) << at.X << "," << at.Y;
  ReleaseDC(Form->Handle(), dc);
}

TEST_F(ProviderPaint, OnScreenFrameAndCaptionEqualTheCache) {
  // A full-screen window of a known colour under the form.
  TBackWindow back(0x00FF00);
  SetWindowPos(Form->Handle(), HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  P->FCommonData->BGChanged = true;
  RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  PumpMessagesFor(100);
  if (const char* hold = std::getenv("TARVEL_HOLD_MS")) PumpMessagesFor(static_cast<DWORD>(std::atoi(hold)));
  TBitmap* cache = P->FCommonData->FCacheBmp.get();
  ASSERT_NE(cache, nullptr);
  RECT wr{};
  GetWindowRect(Form->Handle(), &wr);
  HDC screen = GetDC(nullptr);
  const TPoint probes[] = {{1, cache->Height() / 2},
                           {cache->Width() - 2, cache->Height() / 2},
                           {cache->Width() / 2, cache->Height() - 2},
                           {cache->Width() * 3 / 4, TitleBottom() - 3}};
  for (const TPoint& at : probes)
    EXPECT_EQ(static_cast<TColor>(GetPixel(screen, wr.left + at.X, wr.top + at.Y)), PixelOf(cache, at.X, at.Y))
        << at.X << "," << at.Y;
  // Outside the window the background shows.
  EXPECT_EQ(static_cast<TColor>(GetPixel(screen, wr.left - 2, wr.top + 5)), static_cast<TColor>(0x00FF00));
  ReleaseDC(nullptr, screen);
}

TEST_F(ProviderPaint, ZoomedFormWithoutConstraintsGetsThePlainRectangleInsideTheFrame) {
  Form->SetBorderStyle(bsSizeable);
  Form->SetBorderIcons(biSystemMenu | biMinimize | biMaximize);
  Form->Show();
  PumpMessagesFor(50);
  ShowWindow(Form->Handle(), SW_MAXIMIZE);
  PumpMessagesFor(100);
  ASSERT_TRUE(IsZoomed(Form->Handle()));
  P->RgnChanged = true;
  P->ApplyWindowRgn(false, true);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(Form->Handle(), rgn), ERROR);
  RECT box{};
  GetRgnBox(rgn, &box);
  DeleteObject(rgn);
  const int bw = SysBorderWidth(Form->Handle(), nullptr, false);
  const int bh = SysBorderHeight(Form->Handle(), nullptr, false);
  EXPECT_EQ(box.left, bw);
  EXPECT_EQ(box.top, bh);
  EXPECT_EQ(box.right, WndWidth(Form->Handle()) - bw);
  EXPECT_EQ(box.bottom, WndHeight(Form->Handle()) - bh);
  EXPECT_FALSE(P->RgnChanged);
  ShowWindow(Form->Handle(), SW_RESTORE);
  PumpMessages();
}

// ---- with the frame test skin: border image with cut corners, caption images, grip ----

namespace {

TColor Rgb(int r, int g, int b) { return static_cast<TColor>(r | (g << 8) | (b << 16)); }
// Within one step per channel (blends of opaque pixels may lose one).
bool Near(TColor a, TColor b) {
  for (int shift = 0; shift < 24; shift += 8)
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 1) return false;
  return true;
}

class FramePaint : public ProviderPaint {
protected:
  const wchar_t* Folder() const override { return L"formframe"; }
  const wchar_t* Skin() const override { return L"Tarvel Frame"; }
  bool RunTimeProvider() const override { return true; }
  TPoint Centre(const TsCaptionButton& b) {
    return Point((b.cpRect.Left + b.cpRect.Right) / 2, (b.cpRect.Top + b.cpRect.Bottom) / 2);
  }
};

class FrameGlowPaint : public FramePaint {
protected:
  const wchar_t* Skin() const override { return L"Tarvel Frame Glow"; }
};

}  // namespace

TEST_F(FramePaint, CloseButtonShowsItsNormalCellOrTheFadedLook) {
  const TColor normal = Rgb(0xC0, 0x10, 0x10);  // "BICLOSEALONE", first cell
  struct Row {
    bool Active;
    bool Greyed;
    bool Exact;
  } rows[] = {{true, false, true}, {false, false, false}, {true, true, false}};
  for (const Row& row : rows) {
    EnableMenuItem(GetSystemMenu(Form->Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | (row.Greyed ? MF_GRAYED : MF_ENABLED));
    TBitmap* cache = Render(row.Active);
    ASSERT_NE(cache, nullptr);
    ASSERT_EQ(P->ButtonClose.cpGlyphType, tgCloseAlone);
    ASSERT_GT(P->ButtonClose.cpRect.Width(), 0);
    const TPoint c = Centre(P->ButtonClose);
    const TColor seen = PixelOf(cache, c.X, c.Y);
    if (row.Exact) {
      EXPECT_EQ(seen, normal);
    } else {
      // Half transparent: neither the cell nor what lies under it.
      EXPECT_NE(seen, normal) << row.Active << row.Greyed;
      EXPECT_NE(seen & 0xFF, 0u) << row.Active << row.Greyed;
      const int red = seen & 0xFF;
      EXPECT_LT(red, 0xC0) << row.Active << row.Greyed;
    }
  }
  EnableMenuItem(GetSystemMenu(Form->Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
}

TEST_F(FramePaint, TitleBarImageLiesBehindTheButtons) {
  TBitmap* cache = Render(true);
  ASSERT_NE(cache, nullptr);
  TacSkinData* sd = P->FCommonData->ReadCommonSkinData();
  const int image = M->GetMaskIndex(P->FCommonData->SkinIndex, L"FORM", L"TITLEBAR", sd);
  ASSERT_GE(image, 0);
  // Inside the "TITLEBAR" image, left of the buttons; left of the image the title shows.
  const int left = cache->Width() - P->ButtonsWidthWith(image);
  ASSERT_LT(left + 1, P->ButtonClose.cpRect.Left);
  const int y = P->ButtonClose.cpRect.Top + 3;
  // The image's left border slice (2 pixels) lies left of the buttons.
  EXPECT_EQ(PixelOf(cache, left + 1, y), Rgb(0x30, 0x60, 0x60));
  EXPECT_NE(PixelOf(cache, left - 3, y), Rgb(0x30, 0x60, 0x60));
}

TEST_F(FramePaint, WindowRegionCutsTheKeyColourCorners) {
  P->RgnChanged = true;
  P->FCommonData->BGChanged = true;
  RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  PumpMessagesFor(50);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(Form->Handle(), rgn), COMPLEXREGION);
  const int w = WndWidth(Form->Handle()), h = WndHeight(Form->Handle());
  // The skin's corner runs are 5, 3, 2 and 1 pixels long on the four rows nearest a corner.
  struct Probe {
    int X, Y;
    bool Inside;
  } probes[] = {{0, 0, false},     {4, 0, false},         {5, 0, true},          {2, 1, false},
                {3, 1, true},      {0, 3, false},         {1, 3, true},          {0, 4, true},
                {w - 1, 0, false}, {w - 5, 0, false},     {w - 6, 0, true},      {0, h - 1, false},
                {5, h - 1, true},  {w - 1, h - 1, false}, {w - 1, h - 5, true},  {w / 2, h / 2, true}};
  for (const Probe& p : probes) EXPECT_EQ(PtInRegion(rgn, p.X, p.Y) != 0, p.Inside) << p.X << "," << p.Y;
  DeleteObject(rgn);
}

TEST_F(FramePaint, ZoomedFormWithAMaximumWidthKeepsItsCutCorners) {
  Form->SetBorderStyle(bsSizeable);
  Form->Constraints.MaxWidth = 700;
  Form->Show();
  PumpMessagesFor(50);
  ShowWindow(Form->Handle(), SW_MAXIMIZE);
  PumpMessagesFor(100);
  P->UpdateCornerRects();
  P->ApplyWindowRgn(false, true);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(Form->Handle(), rgn), ERROR);
  EXPECT_FALSE(PtInRegion(rgn, 0, 0));
  EXPECT_TRUE(PtInRegion(rgn, 5, 0));
  DeleteObject(rgn);
  ShowWindow(Form->Handle(), SW_RESTORE);
  PumpMessages();
}

TEST_F(FramePaint, GripIsDrawnAtItsPosition) {
  Form->SetBorderStyle(bsSizeable);
  P->GripMode = gmRightBottom;
  Form->Show();
  PumpMessagesFor(50);
  ASSERT_TRUE(GripVisible(P));
  TBitmap* cache = Render(true);
  ASSERT_NE(cache, nullptr);
  TacSkinData* sd = P->FCommonData->ReadCommonSkinData();
  ASSERT_GE(sd->GripRightBottom, 0);
  const TPoint at = P->GripPosition(sd->GripRightBottom);
  EXPECT_EQ(PixelOf(cache, at.X + 1, at.Y + 1), Rgb(0xE0, 0xA0, 0x20));
  EXPECT_EQ(PixelOf(cache, at.X + 8, at.Y + 7), Rgb(0xE0, 0xA0, 0x20));
  // The grip drawn on a DC by itself lands at the same place.
  auto bmp = NewBitmap32(cache->Width(), cache->Height());
  P->PaintGrip(bmp->Canvas().Handle());
  EXPECT_EQ(PixelOf(bmp.get(), at.X + 4, at.Y + 4), Rgb(0xE0, 0xA0, 0x20));
}

TEST_F(FramePaint, CaptionTextLiesOnItsCaptionPlate) {
  TBitmap* cache = Render(true);
  ASSERT_NE(cache, nullptr);
  ASSERT_GE(P->FCaptionSkinIndex, 0);
  const TColor plate = Rgb(0x20, 0x80, 0x40);  // "CAPTION", second state
  int plateLeft = -1, plateRight = -1, inked = 0;
  const int y0 = P->ButtonClose.cpRect.Top, y1 = P->ButtonClose.cpRect.Bottom;
  for (int x = P->IconRect().Right; x < cache->Width() / 2; ++x)
    for (int y = y0; y < y1; ++y) {
      const TColor c = PixelOf(cache, x, y);
      if (c == plate) {
        if (plateLeft < 0) plateLeft = x;
        plateRight = x;
      }
    }
  ASSERT_GE(plateLeft, 0);
  for (int x = plateLeft; x <= plateRight; ++x)
    for (int y = y0; y < y1; ++y)
      if (PixelOf(cache, x, y) != plate && PixelOf(cache, x, y) != Rgb(0x70, 0x40, 0x20)) ++inked;
  EXPECT_GT(inked, 10);
  // The plate starts after the icon and the margins.
  EXPECT_GT(plateLeft, P->IconRect().Right);
}

TEST_F(FrameGlowPaint, CaptionTextGlowKeepsItsStencilPerState) {
  Render(true);
  ASSERT_TRUE(P->FGlow1);
  EXPECT_FALSE(P->FGlow1->Empty());
  Render(false);
  ASSERT_TRUE(P->FGlow2);
  EXPECT_FALSE(P->FGlow2->Empty());
}

TEST_F(FramePaint, TitleIconGlyphDifferingInOneDimensionIsDrawnAtItsOwnSize) {
  auto glyph = NewBitmap32(10, 10);
  FillRectOnDC(glyph->Canvas().Handle(), TRect{0, 0, 10, 10}, 0x0000FF);
  TPixels32 g;
  ASSERT_TRUE(GetPixels32(glyph.get(), g));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) g.Row(y)[x] |= 0xFF000000u;
  P->TitleIcon().WriteGlyph(glyph.get());
  P->TitleIcon().Width = 10;
  P->TitleIcon().Height = 16;
  TBitmap* cache = Render(true);
  ASSERT_NE(cache, nullptr);
  const TRect icon = P->IconRect();
  ASSERT_EQ(icon.Height(), 16);
  EXPECT_TRUE(Near(PixelOf(cache, icon.Left + 5, icon.Top + 5), 0x0000FF));
  EXPECT_TRUE(Near(PixelOf(cache, icon.Left + 9, icon.Top + 9), 0x0000FF));
  EXPECT_FALSE(Near(PixelOf(cache, icon.Left + 5, icon.Top + 13), 0x0000FF));
}

TEST_F(FramePaint, OnScreenCornersShowWhatLiesBehind) {
  Form->SetIcon(LoadIconW(nullptr, IDI_APPLICATION));
  TBackWindow back(0x00FF00);
  SetWindowPos(Form->Handle(), HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  P->RgnChanged = true;
  P->FCommonData->BGChanged = true;
  RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  PumpMessagesFor(150);
  if (const char* hold = std::getenv("TARVEL_HOLD_MS")) PumpMessagesFor(static_cast<DWORD>(std::atoi(hold)));
  TBitmap* cache = P->FCommonData->FCacheBmp.get();
  ASSERT_NE(cache, nullptr);
  RECT wr{};
  GetWindowRect(Form->Handle(), &wr);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(static_cast<TColor>(GetPixel(screen, wr.left, wr.top)), static_cast<TColor>(0x00FF00));
  EXPECT_EQ(static_cast<TColor>(GetPixel(screen, wr.right - 1, wr.bottom - 1)), static_cast<TColor>(0x00FF00));
  const TPoint c = Centre(P->ButtonClose);
  EXPECT_EQ(static_cast<TColor>(GetPixel(screen, wr.left + c.X, wr.top + c.Y)), PixelOf(cache, c.X, c.Y));
  EXPECT_EQ(static_cast<TColor>(GetPixel(screen, wr.left + 10, wr.top + 2)), PixelOf(cache, 10, 2));
  ReleaseDC(nullptr, screen);
}

namespace {
// A panel that answers the background question as told.
struct TBackgroundAnswer {
  std::uint8_t Type = btNotReady;
  TWndMethod Saved;
  void Proc(TMessage& m) {
    if (m.Msg == SM_SKINCOMMAND && SkinCommandOf(m.WParam) == SKCMD_GET_BG_INFO && m.LParam) {
      auto* info = reinterpret_cast<TacBGInfo*>(m.LParam);
      info->BgType = Type;
      info->Color = 0x00FF00;
      return;
    }
    if (Saved) Saved(m);
  }
};
}  // namespace

TEST_F(ProviderPaint, EmbeddedFormShowsNothingNewWhileItsParentIsNotReady) {
  TForm* host = CreateComponent<TForm>(nullptr);
  host->SetBounds(500, 300, 400, 300);
  host->Show();
  TPanel* panel = NewComponent<TPanel>(host);
  panel->SetParent(host);
  panel->SetBounds(0, 0, 380, 260);
  TBackgroundAnswer answer;
  HookWindowProc(panel, MakeWndMethod<&TBackgroundAnswer::Proc>(&answer), &answer.Saved);
  TBitmap* cache = Render(true);
  ASSERT_NE(cache, nullptr);
  Form->SetParent(panel);
  PumpMessages();
  // Mark the cache: a render that waits leaves it as it is.
  FillRectOnDC(cache->Canvas().Handle(), TRect{0, 0, cache->Width(), cache->Height()}, 0x123456);
  P->FCommonData->BGChanged = true;
  EXPECT_EQ(P->PaintAll(), 0);
  EXPECT_TRUE(P->FCommonData->BGChanged);
  EXPECT_TRUE(P->FCommonData->FUpdating);
  EXPECT_EQ(PixelOf(cache, cache->Width() / 2, cache->Height() - 2), static_cast<TColor>(0x123456));
  // Once the parent is ready the next render paints.
  answer.Type = btFill;
  EXPECT_EQ(P->PaintAll(), 1);
  EXPECT_FALSE(P->FCommonData->BGChanged);
  EXPECT_NE(PixelOf(P->FCommonData->FCacheBmp.get(), 2, P->FCommonData->FCacheBmp->Height() / 2),
            static_cast<TColor>(0x123456));
  Form->SetParent(nullptr);
  UnhookWindowProc(panel, MakeWndMethod<&TBackgroundAnswer::Proc>(&answer));
  TComponent::Free(host);
  PumpMessages();
}
