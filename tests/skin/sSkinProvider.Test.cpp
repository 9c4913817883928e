// The form skin provider on real forms: its hook and the unskinned and skinned dispatch,
// the library commands, the skin coming and going, its life cycle, and the faults it mends.
// A recording procedure installed on the form before the provider hooks it shows what
// reaches the form; the skin "Tarvel Forms" of tools/make_skin.py has the form sections.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ReaderFixtures.h"
#include "platform/runtime/Files.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessageBoxCloser.h"
#include "support/MessagePump.h"

namespace {

constexpr UINT kHookProbe = 0xBC4D;

// What reached the form's own procedure.
struct TRecorder {
  std::vector<TMessage> Got;
  TWndMethod Saved;
  void Proc(TMessage& m) {
    Got.push_back(m);
    if (Saved) Saved(m);
  }
  bool Saw(UINT msg) const {
    return std::any_of(Got.begin(), Got.end(), [&](const TMessage& m) { return m.Msg == msg; });
  }
  bool SawCommand(WORD command) const {
    return std::any_of(Got.begin(), Got.end(), [&](const TMessage& m) {
      return m.Msg == SM_SKINCOMMAND && SkinCommandOf(m.WParam) == command;
    });
  }
};

// A form whose own procedure is recorded from before any provider comes.
class TRecForm : public TForm {
public:
  explicit TRecForm(TComponent* owner) : TForm(owner) {
    SetBounds(40, 40, 320, 220);
    HookWindowProc(this, MakeWndMethod<&TRecorder::Proc>(&Rec), &Rec.Saved);
  }
  std::wstring ClassName() const override { return L"TRecForm"; }
  void FormClose(TCloseAction& action) override {
    Closed = true;
    action = TCloseAction::caHide;
  }
  TRecorder Rec;
  bool Closed = false;
};

LRESULT Command(TsSkinProvider* p, WORD command, LPARAM lParam = 0, WORD arg = 0) {
  return p->ProcessMessage(SM_SKINCOMMAND, SkinCommandWParam(command, arg), lParam);
}

class SkinProvider : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    ASSERT_TRUE(M->IsDefault());
    M->SetSkinDirectory(ReaderFixture(L"forms"));
    M->SetSkinName(L"");
    M->SetActive(false);
    Form = CreateComponent<TRecForm>(nullptr);
    P = NewComponent<TsSkinProvider>(Form);
    P->SkinManager = M;
    Form->Show();
    PumpMessages();
  }
  void TearDown() override {
    TComponent::Free(Form);
    TComponent::Free(M);
    PumpMessages();
  }
  void Activate() {
    M->SetSkinName(L"Tarvel Forms");
    M->SetActive(true);
    PumpMessages();
    ASSERT_TRUE(M->IsActive());
    ASSERT_TRUE(P->FCommonData->Skinned());
  }
  // Sends the message through the form's window procedure chain (the provider first).
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    Form->Rec.Got.clear();
    return Form->Perform(msg, wParam, lParam);
  }
  TsSkinManager* M = nullptr;
  TRecForm* Form = nullptr;
  TsSkinProvider* P = nullptr;
};

}  // namespace

// ---- dispatch ------------------------------------------------------------------------

TEST_F(SkinProvider, UnskinnedFormSeesEverythingButPrintWheelAndLibraryRows) {
  ASSERT_FALSE(P->FCommonData->Skinned());
  struct Row {
    UINT Msg;
    WPARAM WParam;
    bool Reaches;
  } rows[] = {
      {WM_USER + 7, 0, true},
      {WM_ENTERIDLE, 2, true},
      {CM_SYSFONTCHANGED, 0, true},
      {kHookProbe, 16802, true},
      {SM_SKINCOMMAND, SkinCommandWParam(99), true},  // unlisted: the form's own
      {SM_SKINCOMMAND, SkinCommandWParam(SKCMD_IS_SKINNED), false},
      {SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_PROVIDER), false},
  };
  for (const Row& row : rows) {
    Perform(row.Msg, row.WParam, 0);
    EXPECT_EQ(Form->Rec.Saw(row.Msg), row.Reaches) << std::hex << row.Msg;
  }
  EXPECT_TRUE(P->DoReinit);
  EXPECT_EQ(Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_PROVIDER)), reinterpret_cast<LRESULT>(P));
}

TEST_F(SkinProvider, UnskinnedPrintFillsTheFormColourAndTheFormPaintsOnTheSameDC) {
  Form->SetColor(0x00336699);
  auto bmp = NewBitmap32(Form->Width(), Form->Height());
  HDC dc = bmp->Canvas().Handle();
  Perform(WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  EXPECT_FALSE(Form->Rec.Saw(WM_PRINT));
  auto paint = std::find_if(Form->Rec.Got.begin(), Form->Rec.Got.end(), [](const TMessage& m) { return m.Msg == WM_PAINT; });
  ASSERT_NE(paint, Form->Rec.Got.end());
  EXPECT_EQ(paint->WParam, reinterpret_cast<WPARAM>(dc));
  EXPECT_EQ(GetPixel(dc, Form->Width() - 2, Form->Height() - 2), static_cast<COLORREF>(0x00336699));
}

TEST_F(SkinProvider, SkinnedDispatchTable) {
  Activate();
  struct Row {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    bool Reaches;
    LRESULT Result;  // -7: not checked
  } rows[] = {
      {WM_ENTERIDLE, 2, 0, false, 0},
      {WM_ENTERIDLE, 0, 0, true, -7},
      {CM_SYSFONTCHANGED, 0, 0, false, 0},
      {CM_CONTROLLISTCHANGING, 0, 0, false, 0},
      {kHookProbe, 16802, 0, false, 0},
      {WM_PRINTCLIENT, 0, 0, false, 0},
      {WM_DWMSENDICONICTHUMBNAIL, 0, MAKELPARAM(0, 100), false, 0},
      {WM_DWMSENDICONICTHUMBNAIL, 0, MAKELPARAM(100, 0), false, 0},
      {SM_SKINCOMMAND, SkinCommandWParam(99), 0, false, 0},  // unlisted: swallowed
      {0xA400, 2, 0, false, 0},
      {0xA400, 3, 0, true, -7},
      {0xA400, 4, 0, false, 1},
      {WM_USER + 7, 0, 0, true, -7},
  };
  for (const Row& row : rows) {
    const LRESULT r = Perform(row.Msg, row.WParam, row.LParam);
    EXPECT_EQ(Form->Rec.Saw(row.Msg), row.Reaches) << std::hex << row.Msg << " " << row.WParam;
    if (row.Result != -7) EXPECT_EQ(r, row.Result) << std::hex << row.Msg << " " << row.WParam;
  }
  EXPECT_TRUE(P->DoReinit);
  EXPECT_FALSE(Form->Closed);
  Perform(0xA400, 1, 0);
  EXPECT_TRUE(Form->Closed);
}

TEST_F(SkinProvider, RedrawLockCountNeverGoesBelowZeroInEitherState) {
  for (bool skinned : {false, true}) {
    if (skinned) Activate();
    P->LockCount = 0;
    Perform(WM_SETREDRAW, 1, 0);
    EXPECT_EQ(P->LockCount, 0);
    EXPECT_TRUE(Form->Rec.Saw(WM_SETREDRAW));
    Perform(WM_SETREDRAW, 0, 0);
    Perform(WM_SETREDRAW, 0, 0);
    Perform(WM_SETREDRAW, 1, 0);
    EXPECT_EQ(P->LockCount, 1);
    Perform(WM_SETREDRAW, 1, 0);
  }
}

TEST_F(SkinProvider, DensityChangeAtTheCurrentDensityOnlyInvalidatesAndSmallDensitiesAreIgnored) {
  Activate();
  const int ppi = P->FCommonData->CurrentPPI;
  P->FCommonData->BGChanged = false;
  Perform(WM_DPICHANGED, MAKEWPARAM(ppi, ppi), 0);
  EXPECT_TRUE(P->FCommonData->BGChanged);
  EXPECT_FALSE(Form->Rec.Saw(WM_DPICHANGED));
  for (WPARAM w : {MAKEWPARAM(0, 0)}) {
    P->CYCaption = -5;
    Perform(WM_DPICHANGED, w, 0);
    EXPECT_EQ(P->CYCaption, -5);
  }
  P->CYCaption = -5;
  Command(P, SKCMD_PPI_CHANGED, 0);
  EXPECT_EQ(P->CYCaption, -5);
  EXPECT_EQ(P->FCommonData->CurrentPPI, ppi);
}

// ---- library commands ----------------------------------------------------------------------

TEST_F(SkinProvider, IsSkinnedAnswersOneInBothStates) {
  EXPECT_EQ(Command(P, SKCMD_IS_SKINNED), 1);
  Activate();
  EXPECT_EQ(Command(P, SKCMD_IS_SKINNED), 1);
}

TEST_F(SkinProvider, DensityQueryFollowsAllowScale) {
  Activate();
  EXPECT_EQ(Command(P, SKCMD_GET_PPI), P->FCommonData->CurrentPPI);
  P->AllowScale = false;
  EXPECT_EQ(Command(P, SKCMD_GET_PPI), -1);
}

TEST_F(SkinProvider, FrameSizeKinds) {
  Activate();
  HWND wnd = Form->Handle();
  const int padded = SystemMetricForDpi(SM_CXPADDEDBORDER, WindowPPI(wnd));
  EXPECT_EQ(Command(P, SKCMD_FRAME_SIZE, 1), SystemMetricForDpi(SM_CXFRAME, ControlPPI(Form)) + padded);
  EXPECT_EQ(Command(P, SKCMD_FRAME_SIZE, 2), SystemMetricForDpi(SM_CXFIXEDFRAME, ControlPPI(Form)) + padded);
  // Measured from the window: half of what the window is wider than its client area, with no
  // padded border; a window as wide as its client falls back to the kind in the high word.
  const int measured = (WndWidth(wnd) - WndClientWidth(wnd)) / 2;
  if (measured != 0) EXPECT_EQ(Command(P, SKCMD_FRAME_SIZE, 3), measured);
  Form->SetBorderStyle(bsNone);
  PumpMessages();
  ASSERT_EQ(WndWidth(Form->Handle()), WndClientWidth(Form->Handle()));
  EXPECT_EQ(Command(P, SKCMD_FRAME_SIZE, MAKELPARAM(3, 1)), SystemMetricForDpi(SM_CXFRAME, ControlPPI(Form)));
  EXPECT_EQ(Command(P, SKCMD_FRAME_SIZE, MAKELPARAM(3, 2)), SystemMetricForDpi(SM_CXFIXEDFRAME, ControlPPI(Form)));
}

TEST_F(SkinProvider, MetricsAtTwoDensities) {
  for (int ppi : {96, 144}) {
    const int expected = SystemMetricForDpi(SM_CXFRAME, ppi);
    EXPECT_GT(expected, 0) << ppi;
  }
  EXPECT_GE(SystemMetricForDpi(SM_CXFRAME, 144), SystemMetricForDpi(SM_CXFRAME, 96));
}

TEST_F(SkinProvider, PrepareCacheWhileUpdatingAnswersMinusTwo) {
  Activate();
  P->FCommonData->BGChanged = true;
  P->FCommonData->FUpdating = true;
  EXPECT_EQ(Command(P, SKCMD_PREPARE_CACHE), -2);
  EXPECT_TRUE(P->FCommonData->BGChanged);
}

TEST_F(SkinProvider, RemovalByAnotherManagerReachesTheChildrenAndLeavesTheFormSkinned) {
  Activate();
  auto* child = new TPanel(Form);
  child->SetParent(Form);
  child->Handle();
  TRecorder childRec;
  HookWindowProc(child, MakeWndMethod<&TRecorder::Proc>(&childRec), &childRec.Saved);
  auto* other = new TsSkinManager(nullptr);
  Command(P, SKCMD_REMOVE_SKIN, reinterpret_cast<LPARAM>(other));
  EXPECT_TRUE(childRec.SawCommand(SKCMD_REMOVE_SKIN));
  EXPECT_TRUE(P->FCommonData->Skinned());
  EXPECT_FALSE(GetWindowLongPtrW(Form->Handle(), GWL_STYLE) & WS_SYSMENU);
  UnhookWindowProc(child, MakeWndMethod<&TRecorder::Proc>(&childRec));
  TComponent::Free(other);
}

TEST_F(SkinProvider, BackgroundQueryWithPleaseDrawAndOnPaintAnswersTheCacheAtTheClientOffset) {
  Activate();
  Form->OnPaint = [](TForm*, HDC) {};
  P->FCommonData->FCacheBmp = NewBitmap32(Form->Width(), Form->Height());
  TacBGInfo info;
  info.PleaseDraw = true;
  info.Offset = TPoint{50, 50};
  EXPECT_EQ(Command(P, SKCMD_GET_BG_INFO, reinterpret_cast<LPARAM>(&info)), 0);
  EXPECT_EQ(info.BgType, btCache);
  EXPECT_EQ(info.Bmp, P->FCommonData->FCacheBmp.get());
  EXPECT_EQ(info.Offset.X, P->OffsetX());
  EXPECT_EQ(info.Offset.Y, P->OffsetY());
  Form->OnPaint = nullptr;
}

TEST_F(SkinProvider, RecordCommandsWithoutARecordAreNotHandled) {
  for (bool skinned : {false, true}) {
    if (skinned) Activate();
    for (WORD command : {SKCMD_GET_BG_INFO, SKCMD_FIND_OPAQUE_SECTION}) {
      Perform(SM_SKINCOMMAND, SkinCommandWParam(command), 0);
      EXPECT_EQ(Form->Rec.SawCommand(command), !skinned) << command;
    }
  }
}

TEST_F(SkinProvider, ClientOffsetCouplingAndAlpha) {
  Activate();
  const LRESULT offset = Command(P, SKCMD_CLIENT_OFFSET);
  EXPECT_EQ(LOWORD(offset), P->OffsetX());
  EXPECT_EQ(HIWORD(offset), P->OffsetY());
  Command(P, SKCMD_SET_COUPLED, 1);
  EXPECT_EQ(Command(P, SKCMD_IS_COUPLED), 1);
  Command(P, SKCMD_SET_COUPLED, 2);
  EXPECT_EQ(Command(P, SKCMD_IS_COUPLED), 0);
  HWND wnd = Form->Handle();
  Command(P, SKCMD_SET_ALPHA, 128);
  ASSERT_TRUE(GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(wnd, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 128);
  Command(P, SKCMD_SET_ALPHA, 255);
  EXPECT_FALSE(GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
}

TEST_F(SkinProvider, SectionQueryAnswersTheHeaderAboveItsHeightElseTheForm) {
  Activate();
  P->UpdateTitleSkinIndexes();
  ASSERT_GE(P->FHeaderIndex, 0);
  struct Row {
    int AddHeight, Top, State;
    bool Header, None;
  } rows[] = {{0, 0, 0, false, false}, {20, 5, 0, true, false}, {20, 20, 0, false, false}, {0, 0, 5, false, true}};
  for (const Row& row : rows) {
    P->FormHeader().AdditionalHeight = row.AddHeight;
    TacSectionQuery q;
    q.State = row.State;
    q.R = TRect{0, row.Top, 10, row.Top + 10};
    EXPECT_EQ(Command(P, SKCMD_FIND_OPAQUE_SECTION, reinterpret_cast<LPARAM>(&q)), 1);
    const int expected = row.Header ? P->FHeaderIndex : row.None ? -1 : P->FCommonData->SkinIndex;
    EXPECT_EQ(q.SkinIndex, expected) << row.AddHeight << " " << row.Top << " " << row.State;
  }
}

// ---- skin on and off ---------------------------------------------------------------------

TEST_F(SkinProvider, SkinOnStripsTheSystemMenuAndSkinOffGivesEverythingBack) {
  auto* label = new TLabel(Form);
  label->SetParent(Form);
  label->Font.Color = 0x00010203;
  label->SetParentFont(false);
  HWND wnd = Form->Handle();
  const LONG_PTR ownBrush = GetClassLongPtrW(wnd, GCLP_HBRBACKGROUND);
  ASSERT_TRUE(GetWindowLongPtrW(wnd, GWL_STYLE) & WS_SYSMENU);
  Activate();
  EXPECT_FALSE(GetWindowLongPtrW(wnd, GWL_STYLE) & WS_SYSMENU);
  EXPECT_EQ(GetClassLongPtrW(wnd, GCLP_HBRBACKGROUND), reinterpret_cast<LONG_PTR>(M->Brushes[0]));
  EXPECT_EQ(Form->Color(), M->GetGlobalColor());
  P->InitLabel(label, true);
  EXPECT_EQ(static_cast<TColor>(label->Font.Color), M->GetGlobalFontColor());
  EXPECT_FALSE(label->ControlStyle() & csOpaque);
  P->FCommonData->FCacheBmp = NewBitmap32(4, 4);
  Form->Rec.Got.clear();
  M->SetActive(false);
  PumpMessages();
  EXPECT_TRUE(GetWindowLongPtrW(wnd, GWL_STYLE) & WS_SYSMENU);
  EXPECT_EQ(Form->Color(), clBtnFace);
  EXPECT_EQ(GetClassLongPtrW(wnd, GCLP_HBRBACKGROUND), ownBrush);
  EXPECT_EQ(static_cast<TColor>(label->Font.Color), static_cast<TColor>(0x00010203));
  EXPECT_TRUE(label->ControlStyle() & csOpaque);
  EXPECT_EQ(P->FCommonData->FCacheBmp, nullptr);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(wnd, rgn), ERROR);
  DeleteObject(rgn);
  EXPECT_TRUE(Form->Rec.SawCommand(SKCMD_FORM_REPAINTED));
}

TEST_F(SkinProvider, LabelWithParentFontTakesItsParentsColourBack) {
  auto* label = new TLabel(Form);
  label->SetParent(Form);
  label->SetParentFont(true);
  Activate();
  P->InitLabel(label, true);
  P->InitLabel(label, false);
  EXPECT_EQ(static_cast<TColor>(label->Font.Color), static_cast<TColor>(Form->Font.Color));
  label->Tag = SkipSkinningTag;
  const TColor before = label->Font.Color;
  P->InitLabel(label, true);
  EXPECT_EQ(static_cast<TColor>(label->Font.Color), before);
}

// ---- life cycle --------------------------------------------------------------------------

TEST_F(SkinProvider, AProviderBesideARunTimeOneReplacesItAndBesideADefinitionOneIsInert) {
  auto* form = CreateComponent<TRecForm>(nullptr);
  TsSkinProvider* rt = TsSkinProvider::CreateRT(form);
  ASSERT_TRUE(rt->RTInit);
  auto* second = NewComponent<TsSkinProvider>(form);
  int providers = 0;
  for (TComponent* c : form->Components()) providers += dynamic_cast<TsSkinProvider*>(c) != nullptr;
  EXPECT_EQ(providers, 1);
  EXPECT_EQ(form->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_PROVIDER), 0), reinterpret_cast<LRESULT>(second));
  auto* third = NewComponent<TsSkinProvider>(form);
  EXPECT_TRUE(third->RTEmpty);
  EXPECT_FALSE(second->RTEmpty);
  EXPECT_EQ(form->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_PROVIDER), 0), reinterpret_cast<LRESULT>(second));
  TComponent::Free(form);
}

TEST_F(SkinProvider, AfterDestroyMessagesReachTheFormsOwnProcedure) {
  Activate();
  TComponent::Free(P);
  P = nullptr;
  EXPECT_EQ(Form->WindowProc(), MakeWndMethod<&TRecorder::Proc>(&Form->Rec));
  Perform(WM_USER + 42, 1, 2);
  EXPECT_TRUE(Form->Rec.Saw(WM_USER + 42));
}

TEST_F(SkinProvider, TheFormsScrollHandlerLeavesAWindowMadeAgainAndComesBackOnActivation) {
  Activate();
  Form->SetBorderStyle(bsSizeable);
  PumpMessages();
  SetForegroundWindow(Form->Handle());
  PumpMessages();
  ASSERT_NE(P->ListSW, nullptr);
  const HWND before = Form->Handle();
  Form->SetBorderStyle(bsSingle);  // the window is made again
  PumpMessages();
  ASSERT_NE(Form->Handle(), before);
  EXPECT_TRUE(IsWindow(Form->Handle()));
  SetForegroundWindow(Form->Handle());
  PumpMessages();
  ASSERT_NE(P->ListSW, nullptr);
  EXPECT_FALSE(P->ListSW->Destroyed);
  EXPECT_EQ(P->ListSW->CtrlHandle, Form->Handle());
  // Freeing the provider frees the handler too and gives the form its own procedure back.
  TComponent::Free(P);
  P = nullptr;
  EXPECT_EQ(Form->WindowProc(), MakeWndMethod<&TRecorder::Proc>(&Form->Rec));
}

TEST_F(SkinProvider, FormStateHoldsAlignmentOncePerAnimationBit) {
  ASSERT_EQ(Form->AlignDisabledLevel(), 0);
  P->SetFormState(0x500);
  EXPECT_EQ(Form->AlignDisabledLevel(), 2);
  P->SetFormState(0x500 | 0x80);
  EXPECT_EQ(Form->AlignDisabledLevel(), 2);
  P->SetFormState(0);
  EXPECT_EQ(Form->AlignDisabledLevel(), 0);
}

TEST_F(SkinProvider, ResizeModeAlwaysReadsStandard) {
  P->WriteResizeMode(rmBorder);
  EXPECT_EQ(P->ResizeMode(), rmStandard);
}

TEST_F(SkinProvider, UseGlobalColorTable) {
  Activate();
  struct Row {
    bool Custom, Value;
    TColor Expected;  // clNone: the colour before
  } rows[] = {{false, false, clNone}, {false, true, 0}, {true, true, clNone}};
  for (const Row& row : rows) {
    P->SetFlagProperty(3, !row.Value);
    Form->SetColor(0x00112233);
    P->FCommonData->SetCustomColor(row.Custom);
    P->SetFlagProperty(3, row.Value);
    const TColor expected = row.Expected == clNone ? static_cast<TColor>(0x00112233) : M->GetGlobalColor();
    EXPECT_EQ(Form->Color(), expected) << row.Custom << row.Value;
    P->FCommonData->SetCustomColor(false);
  }
}

TEST_F(SkinProvider, ClientOffsetIsHalfTheWidthDifference) {
  HWND wnd = Form->Handle();
  EXPECT_EQ(P->OffsetX(), (WndWidth(wnd) - WndClientWidth(wnd)) / 2);
}

TEST_F(SkinProvider, CaptionHeightByBorderStyle) {
  DWORD major = 0;
  {
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    auto get = reinterpret_cast<TRtlGetVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (get && get(&info) == 0) major = info.dwMajorVersion;
  }
  struct Row {
    TFormBorderStyle Style;
    int Metric;
  } rows[] = {{bsSingle, SM_CYCAPTION},
              {bsSizeable, SM_CYCAPTION},
              {bsToolWindow, SM_CYSMCAPTION},
              {bsSizeToolWin, SM_CYSMCAPTION},
              {bsDialog, major >= 10 ? SM_CYSMCAPTION : SM_CYCAPTION}};
  for (const Row& row : rows) {
    Form->SetBorderStyle(row.Style);
    Form->Handle();
    EXPECT_EQ(SysCaptionHeight(P, 96), SystemMetricForDpi(row.Metric, 96)) << row.Style;
    EXPECT_EQ(P->CYCaption, SystemMetricForDpi(row.Metric, 96));
  }
  // Iconic, a dialog has the normal caption.
  Form->SetBorderStyle(bsDialog);
  ShowWindow(Form->Handle(), SW_MINIMIZE);
  PumpMessages();
  if (IsIconic(Form->Handle())) EXPECT_EQ(SysCaptionHeight(P, 96), SystemMetricForDpi(SM_CYCAPTION, 96));
  ShowWindow(Form->Handle(), SW_RESTORE);
}

TEST(SkinProviderOwner, AProviderOnAnythingButAFormStaysDetached) {
  Application().Initialize();
  auto* owner = new TComponent(nullptr);
  std::wstring seen;
  TsSkinProvider* p;
  {
    // The warning box is closed as soon as it shows.
    TMessageBoxCloser closer;
    p = new TsSkinProvider(owner);
    seen = TMessageBoxCloser::Text();
  }
  EXPECT_EQ(p->Form, nullptr);
  EXPECT_EQ(p->Owner(), nullptr);
  EXPECT_EQ(owner->ComponentCount(), 0);
  EXPECT_NE(seen.find(L"TsSkinProvider component may be used with forms only!"), std::wstring::npos) << seen.size();
  TComponent::Free(p);
  TComponent::Free(owner);
}

// ---- faults ----------------------------------------------------------------------------

TEST_F(SkinProvider, ADestroyedProviderStopsItsScaleThreadAndNoStepRunsAfter) {
  static std::atomic<int> steps{0};
  static std::atomic<bool> gone{false};
  steps = 0;
  gone = false;
  P->FScaleThread = std::make_unique<TacScaleThread>([](TacScaleThread*) {
    EXPECT_FALSE(gone.load());
    ++steps;
  });
  P->FScaleThread->Start();
  while (steps.load() < 3) PumpMessagesFor(10);
  TComponent::Free(P);
  P = nullptr;
  gone = true;
  const int after = steps.load();
  PumpMessagesFor(60);
  EXPECT_EQ(steps.load(), after);
}

TEST(SkinProviderLink, PreviewSwitchMustBeFirstAndExact) {
  Application().Initialize();
  struct Row {
    std::vector<std::wstring> Args;
    bool Requested;
  } rows[] = {{{L"test.exe", L"/acpreview"}, true},
              {{L"test.exe", L"/ACPREVIEW"}, false},
              {{L"test.exe", L"x", L"/acpreview"}, false},
              {{L"test.exe"}, false}};
  for (const Row& row : rows) {
    SetParamsOverride(row.Args);
    auto* form = CreateComponent<TForm>(nullptr);
    NewComponent<TsSkinProvider>(form);
    EXPECT_EQ(PreviewRequested, row.Requested) << row.Args.size();
    TComponent::Free(form);
  }
  SetParamsOverride({});
  PreviewRequested = false;
}

namespace {
// A stand-in editor window on a thread of its own: answers 1 on the Answer-th send (0:
// never), or never pumps (Hung).
struct TFakeEditor {
  int Answer = 3;
  bool Hung = false;
  std::atomic<int> Sends{0};
  std::atomic<HWND> Wnd{nullptr};
  HANDLE Quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread Thread;
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TFakeEditor*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (msg == 0xA400 && self) return ++self->Sends == self->Answer ? 1 : 0;
    return DefWindowProcW(wnd, msg, wParam, lParam);
  }
  void Start() {
    Thread = std::thread([this] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"TarvelFakeEditor";
      RegisterClassW(&wc);
      HWND w = CreateWindowExW(0, wc.lpszClassName, L"Orvandels Editor", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                               wc.hInstance, nullptr);
      SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      Wnd = w;
      if (Hung) {
        WaitForSingleObject(Quit, INFINITE);
      } else {
        while (MsgWaitForMultipleObjects(1, &Quit, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
          MSG m;
          while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        }
      }
      DestroyWindow(w);
    });
    while (!Wnd.load()) Sleep(1);
  }
  ~TFakeEditor() {
    SetEvent(Quit);
    if (Thread.joinable()) Thread.join();
    CloseHandle(Quit);
  }
};
}  // namespace

TEST(SkinProviderLink, EditorAnsweringOnTheThirdSendGetsThreeAndAHungOneDoesNotHold) {
  Application().Initialize();
  for (bool hung : {false, true}) {
    TFakeEditor editor;
    editor.Hung = hung;
    editor.Start();
    HWND wnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    PreviewRequested = true;
    PreviewWnd = nullptr;
    const UINT timeout = LinkSendTimeout;
    LinkSendTimeout = 200;
    const DWORD start = GetTickCount();
    LinkSkinEditor(wnd);
    LinkSendTimeout = timeout;
    EXPECT_EQ(PreviewWnd, wnd);
    EXPECT_FALSE(PreviewRequested);
    if (!hung) EXPECT_EQ(editor.Sends.load(), 3);
    if (hung) EXPECT_LT(GetTickCount() - start, 5000u);
    PreviewWnd = nullptr;
    DestroyWindow(wnd);
  }
}

namespace {
// Takes the posted apply-preview commands waiting for the application window.
int TakePostedPreviews() {
  int n = 0;
  MSG msg;
  while (PeekMessageW(&msg, Application().Handle(), SM_SKINCOMMAND, SM_SKINCOMMAND, PM_REMOVE))
    n += SkinCommandOf(msg.wParam) == SKCMD_APPLY_PREVIEW;
  return n;
}
}  // namespace

TEST_F(SkinProvider, ShortOrMalformedPreviewDataIsIgnored) {
  Activate();
  SetParamsOverride({L"test.exe", L"/acpreview"});
  M->PreviewBuffer = TacSkinEditorData{};
  TakePostedPreviews();
  PreviewWnd = Form->Handle();
  std::vector<std::uint8_t> data(30645, 0);
  const std::uint32_t tag = 0xA400;
  std::memcpy(data.data(), &tag, sizeof(tag));
  struct Row {
    WPARAM WParam;
    DWORD Size;
    bool Data;
  } rows[] = {{7, 100, true}, {7, 30645, false}, {6, 30645, true}, {7, 0, true}};
  for (const Row& row : rows) {
    COPYDATASTRUCT cds{0, row.Size, row.Data ? data.data() : nullptr};
    Perform(WM_COPYDATA, row.WParam, reinterpret_cast<LPARAM>(&cds));
    EXPECT_TRUE(Form->Rec.Saw(WM_COPYDATA));
    EXPECT_EQ(M->PreviewBuffer.Magic(), 0) << row.Size;
    EXPECT_EQ(TakePostedPreviews(), 0) << row.Size;
  }
  PreviewWnd = nullptr;
  SetParamsOverride({});
}

TEST_F(SkinProvider, AWholeRecordFromTheLinkedFormFillsThePreviewBufferAndPostsApply) {
  Activate();
  std::vector<std::uint8_t> data(TacSkinEditorData::Size + 16, 0);
  const std::int32_t magic = TacSkinEditorData::MagicValue;
  std::memcpy(data.data(), &magic, sizeof(magic));
  std::memcpy(data.data() + TacSkinEditorData::SkinNameOffset, "Preview", 7);
  COPYDATASTRUCT cds{0, static_cast<DWORD>(data.size()), data.data()};
  struct Row {
    bool Switch;  // started for the editor link
    bool Linked;  // the form is the linked window
    bool Taken;
  } rows[] = {{true, true, true}, {true, false, false}, {false, true, false}};
  for (const Row& row : rows) {
    SetParamsOverride(row.Switch ? std::vector<std::wstring>{L"test.exe", L"/acpreview"}
                                 : std::vector<std::wstring>{L"test.exe"});
    M->PreviewBuffer = TacSkinEditorData{};
    TakePostedPreviews();
    PreviewWnd = row.Linked ? Form->Handle() : nullptr;
    Perform(WM_COPYDATA, 7, reinterpret_cast<LPARAM>(&cds));
    EXPECT_TRUE(Form->Rec.Saw(WM_COPYDATA));
    EXPECT_EQ(M->PreviewBuffer.SkinName(), row.Taken ? L"Preview" : L"") << row.Switch << row.Linked;
    EXPECT_EQ(TakePostedPreviews(), row.Taken ? 1 : 0) << row.Switch << row.Linked;
  }
  PreviewWnd = nullptr;
  SetParamsOverride({});
}

namespace {
// An adapter that records what the provider asks of it.
struct TRecAdapter : TacCtrlAdapter {
  TRecAdapter(TsSkinProvider* p, std::vector<std::pair<std::string, void*>>& log) : TacCtrlAdapter(p), Log(log) {}
  ~TRecAdapter() override { Log.push_back({"freed", nullptr}); }
  void AddAllItems(TWinControl* owner) override { Log.push_back({"all", owner}); }
  void AddNewItem(TWinControl* ctrl) override { Log.push_back({"new", ctrl}); }
  void WndProc(TMessage& m) override {
    if (m.Msg == SM_SKINCOMMAND) Log.push_back({"command " + std::to_string(SkinCommandOf(m.WParam)), nullptr});
  }
  std::vector<std::pair<std::string, void*>>& Log;
};
}  // namespace

TEST_F(SkinProvider, TheAdapterIsAskedToAdoptControlsAndIsFreedWithTheSkin) {
  auto* panel = new TPanel(Form);
  panel->SetParent(Form);
  panel->Handle();
  auto* label = new TLabel(Form);
  label->SetParent(Form);
  std::vector<std::pair<std::string, void*>> log;
  using TLog = std::vector<std::pair<std::string, void*>>;
  // Unskinned the form's own procedure gets the command and the adapter hears nothing.
  P->Adapter = std::make_unique<TRecAdapter>(P, log);
  Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_ADD_CONTROLS), reinterpret_cast<LPARAM>(panel));
  EXPECT_TRUE(Form->Rec.SawCommand(SKCMD_ADD_CONTROLS));
  EXPECT_TRUE(log.empty());
  Activate();
  NMHDR custom{Form->Handle(), 0, static_cast<UINT>(NM_CUSTOMDRAW)}, click{Form->Handle(), 0, static_cast<UINT>(NM_CLICK)};
  struct Row {
    const char* Name;
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    TLog Expected;
  } rows[] = {
      {"add below a control", SM_SKINCOMMAND, SkinCommandWParam(SKCMD_ADD_CONTROLS), reinterpret_cast<LPARAM>(panel),
       {{"all", panel}}},
      {"add below the form", SM_SKINCOMMAND, SkinCommandWParam(SKCMD_ADD_CONTROLS), 0, {{"all", Form}}},
      {"custom draw", WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&custom), {{"all", nullptr}}},
      {"other notification", WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click), {}},
      {"windowed child", CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(static_cast<TControl*>(panel)), 1,
       {{"new", panel}}},
      {"graphic child", CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(static_cast<TControl*>(label)), 1, {}},
  };
  for (const Row& row : rows) {
    log.clear();
    Perform(row.Msg, row.WParam, row.LParam);
    EXPECT_EQ(log, row.Expected) << row.Name;
  }
  log.clear();
  M->SetActive(false);
  PumpMessages();
  EXPECT_EQ(log, (TLog{{"command 2", nullptr}, {"freed", nullptr}}));
  EXPECT_FALSE(P->Adapter);
}

TEST_F(SkinProvider, SystemFontChangeAsksForReinitAndReachesTheFormOnlyUnskinned) {
  for (bool skinned : {false, true}) {
    if (skinned) Activate();
    P->DoReinit = false;
    Form->Rec.Got.clear();
    SendMessageW(Form->Handle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
    EXPECT_TRUE(P->DoReinit) << skinned;
    EXPECT_TRUE(Form->Rec.Saw(WM_SETTINGCHANGE)) << skinned;
    EXPECT_TRUE(Form->Rec.Saw(CM_WININICHANGE)) << skinned;
    EXPECT_EQ(Form->Rec.Saw(CM_SYSFONTCHANGED), !skinned);
  }
}

TEST_F(SkinProvider, WheelGoesToTheWindowedChildUnderTheCursorThatTakesIt) {
  auto* child = new TPanel(Form);
  child->SetParent(Form);
  child->SetBounds(20, 20, 100, 80);
  child->Handle();
  int delta = 0;
  child->OnMouseWheel = [&](unsigned, int d, TPoint) {
    delta = d;
    return true;
  };
  PumpMessages();
  POINT pt{60, 60};
  ClientToScreen(Form->Handle(), &pt);
  SetCursorPos(pt.x, pt.y);
  PumpMessages();
  POINT at{};
  GetCursorPos(&at);
  if (at.x != pt.x || at.y != pt.y) GTEST_SKIP() << "the cursor cannot be placed";
  for (bool skinned : {false, true}) {
    if (skinned) Activate();
    delta = 0;
    EXPECT_EQ(Perform(CM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(pt.x, pt.y)), 1) << skinned;
    EXPECT_EQ(delta, 120);
    EXPECT_TRUE(Form->Rec.Saw(CM_MOUSEWHEEL));
  }
  // A child that does not take the wheel leaves it unused.
  child->OnMouseWheel = nullptr;
  EXPECT_EQ(Perform(CM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(pt.x, pt.y)), 0);
  // The wheel message itself reaches the form's provider as the framework's notification.
  child->OnMouseWheel = [&](unsigned, int d, TPoint) {
    delta = d;
    return true;
  };
  delta = 0;
  SendMessageW(Form->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(delta, -120);
}

TEST_F(SkinProvider, ClassNeverKeepsABrushItsManagerDeletes) {
  HWND wnd = Form->Handle();
  const LONG_PTR own = GetClassLongPtrW(wnd, GCLP_HBRBACKGROUND);
  Activate();
  ASSERT_EQ(GetClassLongPtrW(wnd, GCLP_HBRBACKGROUND), reinterpret_cast<LONG_PTR>(M->Brushes[0]));
  // A reload makes new brushes: the old one leaves the class before it is deleted.
  const HBRUSH old = M->Brushes[0];
  M->InitSkinParams();
  EXPECT_NE(GetClassLongPtrW(wnd, GCLP_HBRBACKGROUND), reinterpret_cast<LONG_PTR>(old));
  M->UpdateSkin(false);
  PumpMessages();
  // The manager goes: the class holds its own brush again.
  TComponent::Free(M);
  M = nullptr;
  EXPECT_EQ(GetClassLongPtrW(wnd, GCLP_HBRBACKGROUND), own);
}

TEST_F(SkinProvider, ShownFormTakesTheSkinsFormColourOnScreen) {
  // Without a frame: Wine under Xvfb crops captioned windows.
  Form->SetBorderStyle(bsNone);
  Activate();
  HWND wnd = Form->Handle();
  SetWindowPos(wnd, HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  InvalidateRect(wnd, nullptr, TRUE);
  PumpMessagesFor(300);
  POINT pt{Form->ClientWidth() / 2, Form->ClientHeight() / 2};
  HDC dc = GetDC(wnd);
  const COLORREF seen = GetPixel(dc, pt.x, pt.y);
  ReleaseDC(wnd, dc);
  // The client shows the form section's colour of the form's activity, from the cache.
  EXPECT_EQ(seen, static_cast<COLORREF>(P->FormColor() & 0xFFFFFF));
}
