#include "AppTestSupport.h"
#include "app/App.Startup.h"
#include "app/Form.Progress.h"
#include "app/Form.Shell.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include "skin/graphics/acPaintControls.h"
#include "support/MessagePump.h"
#include <cstdio>
#include <cstdlib>

namespace {

class FormProgressTest : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    // As the shell makes it: its components are loaded after the constructor.
    Form = CreateComponent<TFormProgress>(&Application());
  }
  void TearDown() override { TComponent::Free(Form); }
  TFormProgress* Form = nullptr;
};

// Writes the bitmap as a 32-bit BMP file (rows bottom-up, as the DIB holds them).
void SaveBmp(TBitmap& bmp, const std::wstring& path) {
  int rowBytes = bmp.Width() * 4;
  BITMAPFILEHEADER fh = {};
  BITMAPINFOHEADER ih = {sizeof ih};
  ih.biWidth = bmp.Width();
  ih.biHeight = bmp.Height();
  ih.biPlanes = 1;
  ih.biBitCount = 32;
  ih.biCompression = BI_RGB;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + rowBytes * bmp.Height();
  FILE* out = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(out, nullptr);
  fwrite(&fh, sizeof fh, 1, out);
  fwrite(&ih, sizeof ih, 1, out);
  for (int y = bmp.Height() - 1; y >= 0; --y) fwrite(bmp.ScanLine(y), rowBytes, 1, out);
  fclose(out);
}

}  // namespace

TEST_F(FormProgressTest, WindowGeometryAndLayout) {
  HWND wnd = Form->Handle();
  wchar_t caption[32] = {};
  GetWindowTextW(wnd, caption, 32);
  EXPECT_STREQ(caption, L"Update");
  RECT client;
  GetClientRect(wnd, &client);
  EXPECT_EQ(client.right, 450);
  EXPECT_EQ(client.bottom, 120);
  // A fixed single border with only the close button.
  LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  // Centred on the screen.
  RECT wr;
  GetWindowRect(wnd, &wr);
  EXPECT_NEAR((wr.left + wr.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((wr.top + wr.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

  // Left: the panel with margins of 20, holding gauge and spinner; right: the grid of labels.
  EXPECT_EQ(Form->sPanel1->BoundsRect(), Bounds(20, 20, 100, 80));
  EXPECT_EQ(Form->GridTop->BoundsRect(), Bounds(140, 30, 290, 60));
  EXPECT_EQ(Form->Gauge->Parent(), Form->sPanel1);
  EXPECT_EQ(Form->Preloader->Parent(), Form->sPanel1);
  // Gauge and spinner fill the panel once shown.
  TProgressInfo info(L"", true);
  Form->UpdateProgress(info);
  EXPECT_EQ(Form->Preloader->BoundsRect(), Bounds(0, 0, 100, 80));
  info.Wait = false;
  Form->UpdateProgress(info);
  EXPECT_EQ(Form->Gauge->BoundsRect(), Bounds(0, 0, 100, 80));
  ASSERT_EQ(Form->GridTop->ControlCount(), 3);
  EXPECT_EQ(Form->GridTop->Controls()[0], Form->lblTitle);
  EXPECT_EQ(Form->GridTop->Controls()[1], Form->lblStage);
  EXPECT_EQ(Form->GridTop->Controls()[2], Form->lblState);
  // Rows of 39.13 %, 30.43 % and 30.43 % of 60; the text labels keep a left margin of 2.
  EXPECT_EQ(Form->lblTitle->BoundsRect(), Bounds(0, 0, 290, 23));
  EXPECT_EQ(Form->lblStage->BoundsRect(), Bounds(2, 23, 288, 18));
  EXPECT_EQ(Form->lblState->BoundsRect(), Bounds(2, 41, 288, 19));

  EXPECT_EQ(Form->Gauge->LineWidth(), 10);
  EXPECT_EQ(Form->Preloader->LineWidth(), 10);
  EXPECT_EQ(Form->Gauge->Min(), 0);
  EXPECT_EQ(Form->Gauge->Max(), 100);
  EXPECT_EQ(Form->lblTitle->Font.Height, -15);
  EXPECT_TRUE(Form->lblTitle->Font.Style & fsBold);
}

TEST_F(FormProgressTest, ProgressRecordsDriveTheWindow) {
  // Fresh: nothing shown yet.
  EXPECT_FALSE(Form->Gauge->Visible());
  EXPECT_FALSE(Form->Preloader->Visible());
  EXPECT_FALSE(Form->Preloader->Animating());
  EXPECT_EQ(Form->Gauge->Progress(), 0);
  EXPECT_EQ(Form->lblTitle->Caption(), L"");

  struct Case {
    bool Wait;
    std::uint8_t Percent;
    std::int64_t Shown;
  } cases[] = {{true, 0, 0}, {false, 37, 37}, {true, 50, 50}, {false, 100, 100}, {false, 200, 100}, {false, 0, 0}};
  for (const auto& c : cases) {
    TProgressInfo info(L"Title " + std::to_wstring(c.Percent), c.Wait);
    info.Stage = L"Stage";
    info.State = L"State " + std::to_wstring(c.Percent);
    info.Count = L"1/2";
    info.Percent = c.Percent;
    Form->UpdateProgress(info);
    SCOPED_TRACE(testing::Message() << "wait " << c.Wait << " percent " << int(c.Percent));
    EXPECT_EQ(Form->Gauge->Visible(), !c.Wait);
    EXPECT_EQ(Form->Preloader->Visible(), c.Wait);
    EXPECT_EQ(Form->Preloader->Animating(), c.Wait);  // the spinner turns only while shown
    EXPECT_EQ(Form->Gauge->Progress(), c.Shown);
    EXPECT_EQ(Form->lblTitle->Caption(), info.Title);
    EXPECT_EQ(Form->lblStage->Caption(), L"Stage");
    EXPECT_EQ(Form->lblState->Caption(), info.State);
  }
}

TEST_F(FormProgressTest, SpinnerTurnsOnItsTimer) {
  TProgressInfo info(L"Waiting", true);
  Form->Show();
  Form->UpdateProgress(info);
  int start = Form->Preloader->ProgressAngle();
  EXPECT_TRUE(WaitUntil([&] { return Form->Preloader->ProgressAngle() != start; }, 5000));
  // One step of the normal motion moves by the step; text changes reach the control's text.
  TsArcPreloader p(nullptr);
  p.SetAnimated(false);
  p.DoProgress(L"", 4);
  p.DoProgress(L"x", 4);
  EXPECT_EQ(p.ProgressAngle(), 8);
  EXPECT_EQ(p.Text(), L"x");
}

TEST(ArcGauge, ProgressIsLimitedAndStoredByIndex) {
  TsArcGauge g(nullptr);
  EXPECT_EQ(g.Progress(), 47);
  g.SetProgress(150);
  EXPECT_EQ(g.Progress(), 100);
  g.SetProgress(-5);
  EXPECT_EQ(g.Progress(), 0);
  g.SetInt64Prop(10, 20);  // Min: the stored progress stays
  EXPECT_EQ(g.Progress(), 0);
  g.SetProgress(10);
  EXPECT_EQ(g.Progress(), 20);
  g.SetInt64Prop(13, 99);  // no such index
  EXPECT_EQ(g.Min(), 20);
  EXPECT_EQ(g.Max(), 100);
}

TEST_F(FormProgressTest, ClosingTheWindowCallsCancel) {
  int cancels = 0;
  Form->OnCancel = [&] { ++cancels; };
  Form->Show();
  SendMessageW(Form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  PumpMessages();
  EXPECT_EQ(cancels, 1);
  EXPECT_FALSE(IsWindowVisible(Form->Handle()));
}

TEST_F(FormProgressTest, ShowsGaugeAndLabelsOnScreen) {
  TProgressInfo info(L"Downloading", false);
  info.Stage = L"assets\\index.html";
  info.State = L"37 %";
  info.Percent = 37;
  Form->Show();
  Form->UpdateProgress(info);
  HWND wnd = Form->Handle();
  SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  WaitUntil([] { return false; }, 300);  // let the X server show the window
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages();

  POINT origin = {0, 0};
  ClientToScreen(wnd, &origin);
  TBitmap shot;
  shot.SetPixelFormat(pf32bit);
  shot.SetSize(450, 120);
  HDC screen = GetDC(nullptr);
  BitBlt(shot.Canvas().Handle(), 0, 0, 450, 120, screen, origin.x, origin.y, SRCCOPY);
  ReleaseDC(nullptr, screen);
  GdiFlush();
  SaveBmp(shot, ExeDir() + L"progress_window.bmp");

  auto pixel = [&](int x, int y) {
    auto* p = static_cast<std::uint8_t*>(shot.ScanLine(y)) + x * 4;
    return RGB(p[2], p[1], p[0]);
  };
  COLORREF face = static_cast<COLORREF>(ColorToRGB(clBtnFace));
  EXPECT_EQ(pixel(5, 5), face);
  // The arc of 37 % in the progress colour (0xFF9122: red 0x22, green 0x91, blue 0xFF)
  // runs clockwise from the top of the gauge (20..120 x 20..100 of the client area).
  int arcPixels = 0, otherHalfArc = 0;
  for (int y = 20; y < 100; ++y)
    for (int x = 20; x < 120; ++x) {
      COLORREF c = pixel(x, y);
      bool arc = GetRValue(c) < 0x40 && GetGValue(c) > 0x80 && GetGValue(c) < 0xA0 && GetBValue(c) > 0xF0;
      if (!arc) continue;
      if (x >= 58) ++arcPixels;
      else ++otherHalfArc;
    }
  EXPECT_GT(arcPixels, 100);
  EXPECT_EQ(otherHalfArc, 0);  // 37 % stays in the right half
  // Each label row holds text: dark pixels on the face.
  for (auto [top, bottom] : {std::pair{30, 53}, std::pair{53, 71}, std::pair{71, 90}}) {
    int dark = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 140; x < 430; ++x)
        if (GetRValue(pixel(x, y)) < 0x60 && GetGValue(pixel(x, y)) < 0x60 && GetBValue(pixel(x, y)) < 0x60) ++dark;
    EXPECT_GT(dark, 10) << "row " << top;
  }
}

// The window on the screen and its rendering by PaintControlToBitmap (what the show animation
// plays) agree on the panel, the gauge's arc and track, the labels' text and the face.
// TARVEL_SHOW_SECONDS=N keeps the window up N seconds with its rendering beside it.
TEST_F(FormProgressTest, RenderingMatchesTheScreen) {
  TProgressInfo info(L"Downloading the update", false);
  info.Stage = L"Stage 2 of 3";
  info.State = L"12.5 MB of 40 MB";
  info.Percent = 31;
  Form->UpdateProgress(info);
  Form->Show();
  HWND wnd = Form->Handle();
  SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The form renders its client area (the frame is the window manager's or the skin's).
  constexpr int W = 450, H = 120;
  auto pixel = [](TBitmap& b, int x, int y) { return static_cast<std::uint32_t*>(b.ScanLine(y))[x] & 0xFFFFFF; };
  const std::uint32_t face = [] {
    const COLORREF c = static_cast<COLORREF>(ColorToRGB(clBtnFace));
    return std::uint32_t(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
  }();
  TBitmap shot;
  shot.SetPixelFormat(pf32bit);
  shot.SetSize(W, H);
  // The screen once it shows the window's face (the X server shows the window a little later).
  bool shown = false;
  for (int i = 0; i < 40 && !shown; ++i) {
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    WaitUntil([] { return false; }, 150);
    POINT origin = {0, 0};
    ClientToScreen(wnd, &origin);
    HDC screen = GetDC(nullptr);
    BitBlt(shot.Canvas().Handle(), 0, 0, W, H, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();
    shown = i >= 2 && pixel(shot, 5, 5) == face && pixel(shot, W - 5, H - 5) == face;
  }
  ASSERT_TRUE(shown);
  TBitmap image;
  image.SetPixelFormat(pf32bit);
  image.SetSize(W, H);
  PaintControlToBitmap(&image, Form, 0, 0);
  GdiFlush();

  // Probes: the face around everything, the panel's corner outside the gauge's ring, the
  // arc of 31 % at the ring's top right, its track on the left, the percentage in the
  // middle, and the labels' rows of text.
  struct Probe {
    const char* What;
    int X, Y;
  } probes[] = {{"face", 5, 5},   {"face below", 300, 110}, {"panel corner", 21, 21},
                {"arc", 82, 34},  {"track", 26, 57},        {"percentage", 65, 52}, {"between labels", 435, 45}};
  for (const Probe& p : probes) EXPECT_EQ(pixel(image, p.X, p.Y), pixel(shot, p.X, p.Y)) << p.What;
  EXPECT_EQ(pixel(image, 5, 5), face);
  // The arc is the progress colour (red 0x22, green 0x91, blue 0xFF) where 31 % reaches.
  const std::uint32_t arc = pixel(image, 82, 34);
  EXPECT_TRUE((arc >> 16 & 0xFF) < 0x40 && (arc & 0xFF) > 0xF0) << std::hex << arc;
  // The percentage in the ring's middle is dark text.
  EXPECT_LT((pixel(image, 65, 52) >> 8 & 0xFF), 0x60u);
  for (auto [top, bottom] : {std::pair{30, 53}, std::pair{53, 71}, std::pair{71, 90}}) {
    int dark = 0, differ = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 140; x < 430; ++x) {
        const std::uint32_t c = pixel(image, x, y);
        if ((c >> 16 & 0xFF) < 0x60 && (c >> 8 & 0xFF) < 0x60 && (c & 0xFF) < 0x60) ++dark;
        differ += c != pixel(shot, x, y);
      }
    EXPECT_GT(dark, 10) << "row " << top;   // text is there
    EXPECT_EQ(differ, 0) << "row " << top;  // and the same as on the screen
  }
  // And every fourth pixel of the whole.
  int mismatches = 0;
  for (int y = 0; y < H; y += 4)
    for (int x = 0; x < W; x += 4) mismatches += pixel(image, x, y) != pixel(shot, x, y);
  EXPECT_EQ(mismatches, 0);

  if (const char* show = std::getenv("TARVEL_SHOW_SECONDS")) {
    // The rendering below the window, for a person to compare.
    RECT wr;
    GetWindowRect(wnd, &wr);
    for (int i = 0, n = std::atoi(show) * 5; i < n; ++i) {
      HDC screen = GetDC(nullptr);
      BitBlt(screen, wr.left, wr.bottom + 20, W, H, image.Canvas().Handle(), 0, 0, SRCCOPY);
      ReleaseDC(nullptr, screen);
      WaitUntil([] { return false; }, 200);
    }
  }
}

// ---- the shell's side of an update run --------------------------------------

namespace {

class TFakeUpdater : public TThread {
public:
  TFakeUpdater() : TThread(true) {}

protected:
  void Execute() override {
    while (!Terminated()) Sleep(5);
  }
};

class UpdateRunTest : public ShellFolderTest {
protected:
  void SetUp() override {
    ShellFolderTest::SetUp();
    SetExeFileNameOverride(Dir / L"Tarvel.exe");
    SetParamsOverride({Dir / L"Tarvel.exe"});
    ResetGlobalStorages();
    Application().Initialize();
    TFormShell::CreateUpdater = [this](const TUpdaterSetup& setup) {
      Setup = setup;
      Updater = new TFakeUpdater;
      return Updater;
    };
    Shell = new TFormShell(nullptr);
    Shell->DoCreate();
    NeedRestart = false;
  }
  void TearDown() override {
    if (Updater) {
      Updater->Terminate();
      Updater->WaitFor();
      delete Updater;
    }
    Shell->FUpdater = nullptr;
    if (Shell->FRun && Shell->FRun->prForm) TComponent::Free(Shell->FRun->prForm);
    TComponent::Free(Shell);
    TFormShell::CreateUpdater = CreateAssetUpdater;
    NeedRestart = false;
    SetParamsOverride({});
    SetExeFileNameOverride(L"");
    ResetGlobalStorages();
    ShellFolderTest::TearDown();
  }
  TFormShell* Shell = nullptr;
  TFakeUpdater* Updater = nullptr;
  TUpdaterSetup Setup;
};

}  // namespace

TEST_F(UpdateRunTest, CloseDuringRunCancelsAndTheLateDoneStillRecordsTrashRemoval) {
  Shell->Show();
  Shell->UpdaterStart(StageBit(stgDownload) | StageBit(stgClear));
  ASSERT_EQ(Shell->FUpdater, Updater);
  ASSERT_TRUE(Shell->FRun && Shell->FRun->prForm);
  TFormProgress* window = Shell->FRun->prForm;
  ASSERT_TRUE(window->HandleAllocated());  // shown, not merely marked visible
  EXPECT_TRUE(IsWindowVisible(window->Handle()));

  // Progress goes to the window.
  TProgressInfo wait(L"Index", true);
  Setup.OnProgress(wait);
  EXPECT_TRUE(window->Preloader->Visible());
  TProgressInfo step(L"Download", false);
  step.Percent = 42;
  step.State = L"file.bin";
  Setup.OnProgress(step);
  EXPECT_FALSE(window->Preloader->Visible());
  EXPECT_EQ(window->Gauge->Progress(), 42);
  EXPECT_EQ(window->lblState->Caption(), L"file.bin");

  // The user closes the window: the updater is told to stop, the window goes, the shell closes.
  HWND wnd = window->Handle();
  SendMessageW(wnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Updater->Terminated());
  EXPECT_EQ(Shell->FRun->prForm, nullptr);
  EXPECT_FALSE(Shell->Visible());
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(wnd); }, 5000));
  Setup.OnProgress(step);  // dropped: no window any more

  // The updater's done call still arrives: a removal is recorded although it may not have run.
  Setup.OnDone(true, false, L"");
  EXPECT_EQ(Shell->FUpdater, nullptr);
  EXPECT_FALSE(NeedRestart);
  ResetGlobalStorages();
  std::wstring stored = GlobalStore()->Config().ClearTrash();
  EXPECT_NE(stored, ClearTrashNever);
  EXPECT_NE(ReadTextFile(Dir / L"storage.json").find("\"clearTrash\": \"" + WideToUtf8(stored) + "\""), std::string::npos);
}

TEST_F(UpdateRunTest, DoneWithRestartRemovesTheWindowAndClosesWithoutTouchingTheTrashDate) {
  Shell->Show();
  Shell->UpdaterStart(StageBit(stgDownload) | StageBit(stgUpdate));
  ASSERT_TRUE(Shell->FRun && Shell->FRun->prForm);
  HWND wnd = Shell->FRun->prForm->Handle();
  // Only one run at a time.
  TFakeUpdater* first = Updater;
  Shell->UpdaterStart(StageBit(stgReindex));
  EXPECT_EQ(Updater, first);

  Setup.OnDone(false, true, L"Tarvel.exe");
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_EQ(Shell->FRun->prForm, nullptr);
  EXPECT_TRUE(NeedRestart);
  EXPECT_TRUE(RestartApp.empty());
  EXPECT_FALSE(Shell->Visible());
  EXPECT_EQ(GlobalStore()->Config().ClearTrash(), ClearTrashNever);
}

TEST_F(UpdateRunTest, UpdaterGetsItsParametersAndListsInOrder) {
  // Program files only with "--noc" or with the cache setting off.
  struct Case {
    bool Noc, Cache, BinOnly;
  } cases[] = {{false, true, false}, {true, true, true}, {false, false, true}};
  for (const auto& c : cases) {
    SetParamsOverride(c.Noc ? std::vector<std::wstring>{Dir / L"Tarvel.exe", L"--noc"}
                            : std::vector<std::wstring>{Dir / L"Tarvel.exe"});
    GlobalSettings()->Config().Common.UpdateCache = c.Cache;
    Shell->UpdaterStart(StageBit(stgReindex) | StageBit(stgDownload));
    ASSERT_EQ(Shell->FUpdater, Updater);
    EXPECT_EQ(Setup.BinOnly, c.BinOnly) << c.Noc << c.Cache;
    Setup.OnDone(true, false, L"");
    Updater->Terminate();
    Updater->WaitFor();
    delete Updater;
    Updater = nullptr;
  }
  EXPECT_EQ(Setup.Stages, StageBit(stgReindex) | StageBit(stgDownload));
  std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"WorkerMax", L"5"},
      {L"GetWebUrl", TFormShell::GetWebUrl},
      {L"UpdateUrl", GlobalSettings()->Config().Links.UpdateUrl},
      {L"IndexFile", Dir / L"localfiles.idx"},
      {L"AssetsPath", Dir / L"assets\\"},
      {L"AppBinSrc", L"resources\\app\\shell\\"},
      {L"AppBinDst", Dir.Path()}};
  EXPECT_EQ(Setup.Params, expected);
  EXPECT_EQ(Setup.IgnoreMasks, (std::vector<std::wstring>{L"*.htaccess-orig", L"*.htaccess"}));
  ASSERT_EQ(Setup.Excludes.size(), 5u);
  EXPECT_EQ(Setup.Excludes[0], L"resources\\app\\wemb\\logs\\*.*");
  EXPECT_EQ(Setup.Excludes[4], L"resources\\app\\wemb\\manual.txt");
}

TEST_F(UpdateRunTest, AStoreThatCannotBeSavedDoesNotHoldBackTheRestart) {
  // Another program holds storage.json while the run ends: the date is lost, the restart is not.
  Shell->Show();
  Shell->UpdaterStart(StageBit(stgDownload) | StageBit(stgUpdate) | StageBit(stgClear));
  ASSERT_TRUE(Shell->FRun && Shell->FRun->prForm);
  GlobalStore()->Config();
  const std::string before = ReadTextFile(Dir / L"storage.json");
  HANDLE held = CreateFileW((Dir / L"storage.json").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_NO_THROW(Setup.OnDone(false, true, L"Tarvel.exe"));
  CloseHandle(held);
  EXPECT_EQ(Shell->FUpdater, nullptr);
  EXPECT_EQ(Shell->FRun->prForm, nullptr);
  EXPECT_TRUE(NeedRestart);
  EXPECT_FALSE(Shell->Visible());
  EXPECT_EQ(ReadTextFile(Dir / L"storage.json"), before);
}
