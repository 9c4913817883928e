// The frame adapter on a real frame of a real form under Xvfb, painting with the test skin
// drawn by tools/make_skin.py. TARVEL_SHOW_SECONDS=N keeps the painted frame up N seconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ReaderFixtures.h"
#include "SkinBuilder.h"
#include "platform/runtime/Strings.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Frames.h"
#include "skin/graphics/acAnimation.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sConst.h"
#include "skin/manager/sFrameAdapter.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"
#include "support/ShellHarness.h"

namespace {

void FillPixels(TBitmap* bmp, std::uint32_t value) {
  for (int y = 0; y < bmp->Height(); ++y) std::fill_n(static_cast<std::uint32_t*>(bmp->ScanLine(y)), bmp->Width(), value);
}

WPARAM Cmd(WORD command, WORD low = 0) { return MAKEWPARAM(low, command); }

// A form that answers its children's background questions as a skinned parent would: a
// plain colour, and Answer for the colour question.
class THost : public TForm {
public:
  THost(TComponent* owner, TColor colour) : TForm(owner), Answer(colour) {
    SetColor(colour);
    SetMessageHandler(SM_SKINCOMMAND, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                        if (HIWORD(m.WParam) == SKCMD_GET_BG_COLOR) {
                          m.Result = static_cast<LRESULT>(Answer);
                        } else if (HIWORD(m.WParam) == SKCMD_GET_BG_INFO && m.LParam) {
                          auto* info = reinterpret_cast<TacBGInfo*>(m.LParam);
                          info->BgType = btFill;
                          info->Color = ColorToRGB(Color());
                        } else {
                          inherited(m);
                        }
                      }));
  }
  TColor Answer;
};

// A windowed child that paints itself and records the library's sub-commands it receives.
class TRecorder : public TWinControl {
public:
  explicit TRecorder(TComponent* owner) : TWinControl(owner) {
    SetControlStyle(ControlStyle() | csOpaque);
    SetMessageHandler(SM_SKINCOMMAND, [this](TMessage& m) { Got.push_back(HIWORD(m.WParam)); });
  }
  bool Received(WORD command) const { return std::find(Got.begin(), Got.end(), command) != Got.end(); }
  std::vector<WORD> Got;
};

constexpr TColor White = 0xFFFFFF;
constexpr TColor FrameGreen = 0x578B2E;  // TESTFRAME: #2E8B57

struct TFrameStage {
  TsSkinManager* Manager = CreateComponent<TsSkinManager>(nullptr);
  THost* Form;
  TFrame* Frame;
  TRecorder* Child;
  TsFrameAdapter* Adapter;
  TFrameStage(const wchar_t* section, TColor behind = White) {
    Application().Initialize();
    GuardSkinMessages();
    Manager->SetSkinDirectory(ReaderFixture(L"skins"));
    Manager->SetSkinName(L"Tarvel Test");
    Form = new THost(nullptr, behind);
    Form->SetBorderStyle(bsNone);
    Form->SetClientSize(300, 220);
    Frame = new TFrame(Form);
    Frame->SetParent(Form);
    Frame->SetBounds(20, 20, 240, 160);
    Child = new TRecorder(Form);
    Child->SetParent(Frame);
    Child->SetBounds(10, 10, 40, 30);
    Adapter = NewComponent<TsFrameAdapter>(Frame);
    Adapter->SkinData()->WriteSkinSection(section);
    Form->Show();
    Child->Handle();
  }
  ~TFrameStage() {
    TComponent::Free(Form);
    TComponent::Free(Manager);
  }
  TsGenState& Normal() { return Manager->CommonSkinData()->gd[Adapter->SkinData()->SkinIndex].Props[0]; }
  LPARAM Own() const { return reinterpret_cast<LPARAM>(Manager); }
  // WM_PRINT of the frame into a bitmap first filled with Sentinel.
  std::unique_ptr<TBitmap> Print() {
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(pf32bit);
    bmp->SetSize(Frame->Width(), Frame->Height());
    FillPixels(bmp.get(), Sentinel);
    Frame->Perform(WM_PRINT, reinterpret_cast<WPARAM>(bmp->Canvas().Handle()), PRF_CLIENT | PRF_ERASEBKGND);
    return bmp;
  }
  static constexpr std::uint32_t Sentinel = 0x123456;
};

TColor At(TBitmap* bmp, int x, int y) {
  const std::uint32_t p = TSkinBuilder::Get(bmp, x, y);
  return static_cast<TColor>(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16));
}

bool Near(TColor a, TColor b, int tolerance) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
  return true;
}

// Passes a frame's messages on and counts WM_WINDOWPOSCHANGED; the first one sends
// another, nested, through the frame.
struct TPosCounter {
  TWndMethod Next;
  TFrame* Frame;
  int Count = 0;
  bool Nested = false;
  void Proc(TMessage& m) {
    if (m.Msg == WM_WINDOWPOSCHANGED) {
      ++Count;
      if (!Nested) {
        Nested = true;
        WINDOWPOS pos{};
        Frame->Perform(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
      }
    }
    Next(m);
  }
};

}  // namespace

TEST(FrameAdapter, OnAFormRaisesTheEngineTextAndLeavesTheProcedure) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  const TWndMethod before = form->WindowProc();
  try {
    NewComponent<TsFrameAdapter>(form);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(Utf8ToWide(e.what()), L"TsFrameAdapter adapter must be placed on the handled frame");
  }
  EXPECT_TRUE(form->WindowProc() == before);
  EXPECT_EQ(form->ComponentCount(), 0);
  TComponent::Free(form);
}

TEST(FrameAdapter, FirstStageTakesItsManagersCommandsOnly) {
  TFrameStage stage(L"TESTFRAME");
  ASSERT_TRUE(stage.Manager->IsActive());
  ASSERT_TRUE(stage.Adapter->SkinData()->Skinned());
  auto* other = new TsSkinManager(nullptr);
  struct Case {
    WORD Command;
    bool OwnManager;
    bool ReachesChild;
  };
  for (const Case& c : {Case{SKCMD_NEW_SKIN, true, true}, Case{SKCMD_NEW_SKIN, false, false},
                        Case{SKCMD_STOP_ANIMATION, false, true}, Case{SKCMD_REFRESH, false, false}}) {
    stage.Child->Got.clear();
    stage.Frame->Perform(SM_SKINCOMMAND, Cmd(c.Command),
                         c.OwnManager ? stage.Own() : reinterpret_cast<LPARAM>(other));
    EXPECT_EQ(stage.Child->Received(c.Command), c.ReachesChild) << c.Command << " own " << c.OwnManager;
  }
  EXPECT_EQ(stage.Frame->Perform(SM_SKINCOMMAND, Cmd(SKCMD_IS_SKINNED), 0), 1);
  EXPECT_EQ(stage.Frame->Perform(SM_SKINCOMMAND, Cmd(SKCMD_GET_COMMON_DATA), 0),
            reinterpret_cast<LRESULT>(stage.Adapter->SkinData()));
  TComponent::Free(other);
}

TEST(FrameAdapter, NestedPositionChangeDoesNotReachTheOldProcedure) {
  TFrameStage stage(L"TESTFRAME");
  TPosCounter counter{stage.Adapter->OldWndProc, stage.Frame};
  stage.Adapter->OldWndProc = MakeWndMethod<&TPosCounter::Proc>(&counter);
  WINDOWPOS pos{};
  stage.Frame->Perform(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  EXPECT_TRUE(counter.Nested);
  EXPECT_EQ(counter.Count, 1);
  EXPECT_FALSE(stage.Adapter->bRecFlag);
  stage.Adapter->OldWndProc = counter.Next;
}

TEST(FrameAdapter, EraseDuringAnAnimationPaintsNothing) {
  TFrameStage stage(L"TESTFRAME");
  stage.Adapter->SkinData()->BGChanged = false;
  ASSERT_TRUE(stage.Adapter->PrepareFrameCache());
  TBitmap bmp;
  bmp.SetPixelFormat(pf32bit);
  bmp.SetSize(stage.Frame->Width(), stage.Frame->Height());
  FillPixels(&bmp, TFrameStage::Sentinel);
  TMessage m{WM_ERASEBKGND, reinterpret_cast<WPARAM>(bmp.Canvas().Handle()), 0, 12345};
  AnimationInProgress = true;
  stage.Adapter->NewWndProc(m);
  AnimationInProgress = false;
  EXPECT_EQ(m.Result, 12345);
  EXPECT_EQ(TSkinBuilder::Get(&bmp, 100, 100) & 0xFFFFFF, TFrameStage::Sentinel);
  // Without the animation the same message paints and answers 1.
  stage.Adapter->NewWndProc(m);
  EXPECT_EQ(m.Result, 1);
  EXPECT_EQ(At(&bmp, 100, 100), FrameGreen);
}

TEST(FrameAdapter, BackgroundColourMixesBySectionTransparency) {
  struct Case {
    const wchar_t* Section;
    int Transparency;
    TColor ParentAnswer;
    TColor Want;
  };
  for (const Case& c : {Case{L"TESTFRAMEGLASS", 50, White, 0x313131}, Case{L"TESTFRAME", 0, White, FrameGreen},
                        Case{L"TESTFRAME", 100, 0x102030, 0x102030},
                        // A parent without an answer of its own shows its Color.
                        Case{L"TESTFRAME", 100, 0xFF00FF, White}}) {
    TFrameStage stage(c.Section);
    stage.Form->Answer = c.ParentAnswer;
    stage.Normal().Transparency = c.Transparency;
    EXPECT_EQ(stage.Frame->Perform(SM_SKINCOMMAND, Cmd(SKCMD_GET_BG_COLOR), 0), static_cast<LRESULT>(c.Want))
        << c.Transparency;
  }
}

TEST(FrameAdapter, PrintedFrameShowsTheSectionAndLeavesChildrenAlone) {
  struct Case {
    const wchar_t* Section;
    TColor Want;
  };
  // Black at transparency 50 over white: the blend weighs 50 * 255 div 100 of 256.
  for (const Case& c : {Case{L"TESTFRAME", FrameGreen}, Case{L"TESTFRAMEGLASS", 0x7E7E7E}}) {
    TFrameStage stage(c.Section);
    auto shot = stage.Print();
    EXPECT_TRUE(Near(At(shot.get(), 150, 100), c.Want, 2)) << std::hex << At(shot.get(), 150, 100);
    EXPECT_TRUE(Near(At(shot.get(), 2, 150), c.Want, 2));
    EXPECT_EQ(TSkinBuilder::Get(shot.get(), 20, 20) & 0xFFFFFF, TFrameStage::Sentinel) << "the child's area";
    if (const char* show = std::getenv("TARVEL_SHOW_SECONDS")) {
      SetWindowPos(stage.Form->Handle(), HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
      RedrawWindow(stage.Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      WaitUntil([] { return false; }, 1000u * std::atoi(show));
    }
  }
}

TEST(FrameAdapter, RemovingTheSkinBringsBackTheStandardLook) {
  TFrameStage stage(L"TESTFRAME");
  stage.Frame->SetColor(0x00C08040);
  stage.Frame->Perform(SM_SKINCOMMAND, Cmd(SKCMD_REMOVE_SKIN), stage.Own());
  EXPECT_FALSE(stage.Adapter->SkinData()->Skinned());
  EXPECT_EQ(GetClassLongPtrW(stage.Frame->Handle(), GCLP_HBRBACKGROUND),
            reinterpret_cast<LONG_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
  EXPECT_TRUE(stage.Child->Received(SKCMD_STOP_ANIMATION));
  auto shot = stage.Print();
  EXPECT_EQ(At(shot.get(), 150, 100), 0x00C08040);
  EXPECT_EQ(stage.Frame->Perform(SM_SKINCOMMAND, Cmd(SKCMD_GET_BG_COLOR), 0), 0x00C08040);
}

TEST(FrameAdapter, SkinIndexIsWrittenOnlyForThisThread) {
  TFrameStage stage(L"TESTFRAME");
  std::int32_t record[2] = {7, 7};
  const HWND wnd = stage.Frame->Handle();
  std::thread other([&] {
    SendMessageW(wnd, SM_SKINCOMMAND, Cmd(SKCMD_GET_SKIN_INDEX), reinterpret_cast<LPARAM>(record));
  });
  bool done = false;
  std::thread waiter([&] { other.join(); done = true; });
  WaitUntil([&] { return done; }, 5000);
  waiter.join();
  EXPECT_EQ(record[1], 7) << "refused from another thread";
  SendMessageW(wnd, SM_SKINCOMMAND, Cmd(SKCMD_GET_SKIN_INDEX), reinterpret_cast<LPARAM>(record));
  EXPECT_EQ(record[1], stage.Adapter->SkinData()->SkinIndex);
  EXPECT_EQ(record[0], 7);
}

TEST(FrameAdapter, LifetimesInEitherOrderAndALaterSubclass) {
  {  // The adapter first: the frame's own procedure comes back.
    TFrameStage stage(L"TESTFRAME");
    const TWndMethod old = stage.Adapter->OldWndProc;
    TComponent::Free(stage.Adapter);
    EXPECT_TRUE(stage.Frame->WindowProc() == old);
    EXPECT_EQ(stage.Frame->Perform(SM_SKINCOMMAND, Cmd(SKCMD_IS_SKINNED), 0), 0);
    RedrawWindow(stage.Frame->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  }
  {  // The frame with its adapter attached.
    TFrameStage stage(L"TESTFRAME");
    TComponent::Free(stage.Frame);
    RedrawWindow(stage.Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE | RDW_ALLCHILDREN);
  }
  {  // A subclass that keeps calling the adapter's procedure after the adapter is gone.
    TFrameStage stage(L"TESTFRAME");
    struct TLater {
      TWndMethod Next;
      int Calls = 0;
      void Proc(TMessage& m) {
        ++Calls;
        Next(m);
      }
    } later{stage.Frame->WindowProc()};
    stage.Frame->SetWindowProc(MakeWndMethod<&TLater::Proc>(&later));
    TComponent::Free(stage.Adapter);
    EXPECT_EQ(stage.Frame->Perform(SM_SKINCOMMAND, Cmd(SKCMD_IS_SKINNED), 0), 0) << "straight to the old procedure";
    RedrawWindow(stage.Frame->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    EXPECT_GT(later.Calls, 0);
    stage.Frame->SetWindowProc(later.Next);
  }
}

TEST(FrameAdapter, SkinRemovalStopsWhenPendingMessagesFreeTheAdapter) {
  TFrameStage stage(L"TESTFRAME");
  constexpr UINT FreeAdapter = WM_APP + 26;
  stage.Form->SetMessageHandler(FreeAdapter, [&](TMessage&) { TComponent::Free(stage.Adapter); });
  const TWndMethod old = stage.Adapter->OldWndProc;
  stage.Child->Got.clear();
  PostMessageW(stage.Form->Handle(), FreeAdapter, 0, 0);
  stage.Frame->Perform(SM_SKINCOMMAND, Cmd(SKCMD_REMOVE_SKIN), stage.Own());
  EXPECT_TRUE(stage.Frame->WindowProc() == old);
  EXPECT_FALSE(stage.Child->Received(SKCMD_STOP_ANIMATION)) << "the handling ended with the adapter";
}
