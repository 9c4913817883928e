// The size, position and visibility handlers of the form skin provider on real windows:
// what WM_SIZE marks, invalidates and tells the children, the close, the drag of a stretched
// form and the first show. The skin "Tarvel Frame" of tools/make_skin.py has right-edge images
// (IMGTOPRIGHT, IMGBTMRIGHT 8 x 6) and a 10 x 9 grip.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "FormFrameFixtures.h"
#include "ReaderFixtures.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

namespace {

// What reached a window procedure.
struct TRecorder {
  std::vector<TMessage> Got;
  TWndMethod Saved;
  void Proc(TMessage& m) {
    Got.push_back(m);
    if (Saved) Saved(m);
  }
  int Count(UINT msg, WPARAM w = WPARAM(-1)) const {
    return static_cast<int>(std::count_if(Got.begin(), Got.end(), [&](const TMessage& m) {
      return m.Msg == msg && (w == WPARAM(-1) || m.WParam == w);
    }));
  }
  int Commands(WORD command) const {
    return static_cast<int>(std::count_if(Got.begin(), Got.end(), [&](const TMessage& m) {
      return m.Msg == SM_SKINCOMMAND && SkinCommandOf(m.WParam) == command;
    }));
  }
};

class TRecForm : public TForm {
public:
  explicit TRecForm(TComponent* owner) : TForm(owner) {
    SetBounds(70, 60, 360, 240);
    HookWindowProc(this, MakeWndMethod<&TRecorder::Proc>(&Rec), &Rec.Saved);
  }
  std::wstring ClassName() const override { return L"TRecForm"; }
  void FormCloseQuery(bool& canClose) override { canClose = AllowClose; }
  void FormClose(TCloseAction& action) override { action = TCloseAction::caHide; }
  TRecorder Rec;
  bool AllowClose = true;
};

class FormSizing : public TFormFrameTest<TRecForm> {
protected:
  void Make(bool show = true) {
    Form = CreateComponent<TRecForm>(nullptr);
    P = NewComponent<TsSkinProvider>(Form);
    P->SkinManager = M;
    if (show) {
      Form->Show();
      Form->SetBounds(70, 60, 360, 240);
      PumpMessages();
      ASSERT_TRUE(P->FCommonData->Skinned());
    }
    Wnd = Form->Handle();
  }
  LRESULT Size(int width, int height) {
    Form->Rec.Got.clear();
    return Form->Perform(WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  }
  TsSkinProvider* P = nullptr;
  HWND Wnd = nullptr;
};

bool InUpdate(HWND wnd, int x, int y) {
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  GetUpdateRgn(wnd, rgn, FALSE);
  const bool in = PtInRegion(rgn, x, y) != FALSE;
  DeleteObject(rgn);
  return in;
}

}  // namespace

TEST_F(FormSizing, SizeWhileUpdatingInvisibleOrRestoringOnlyMarksRegionAndBackground) {
  Make();
  const struct {
    const char* Name;
    bool Updating, Hidden;
    std::uint32_t State;
  } rows[] = {{"updating", true, false, 0}, {"invisible", false, true, 0}, {"restoring", false, false, FS_ANIMRESTORING}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    if (row.Hidden) ShowWindow(Wnd, SW_HIDE);
    P->FCommonData->FUpdating = row.Updating;
    P->SetFormState(row.State);
    P->RgnChanged = false;
    P->FCommonData->BGChanged = false;
    P->LastClientRect = TRect{0, 0, 11, 12};
    Size(200, 100);
    EXPECT_TRUE(P->RgnChanged);
    EXPECT_TRUE(P->FCommonData->BGChanged);
    EXPECT_EQ(Form->Rec.Count(WM_SIZE), 1);
    EXPECT_EQ(P->LastClientRect.Right, 11);  // nothing else ran
    P->FCommonData->FUpdating = false;
    P->SetFormState(0);
    if (row.Hidden) ShowWindow(Wnd, SW_SHOWNA);
  }
}

TEST_F(FormSizing, ShrinkInvalidatesTheRightEdgeImageStripsAndTheGripSquare) {
  Make();
  P->GripMode = gmRightBottom;
  const int w = WndClientWidth(Wnd), h = WndClientHeight(Wnd);
  P->LastClientRect = TRect{0, 0, w, h};
  ValidateRect(Wnd, nullptr);
  {
    // With an animation painting, WM_SIZE repaints nothing else: only the strips are left.
    TacAnimationGuard painting;
    Size(w - 40, h - 30);
  }
  EXPECT_TRUE(InUpdate(Wnd, w - 2, 2));      // IMGTOPRIGHT at the old right edge
  EXPECT_TRUE(InUpdate(Wnd, w - 7, h - 5));  // IMGBTMRIGHT at the old corner
  EXPECT_TRUE(InUpdate(Wnd, w - 9, h - 8));  // the grip's old square (10 x 9)
  EXPECT_FALSE(InUpdate(Wnd, w - 12, 2));
  EXPECT_FALSE(InUpdate(Wnd, w / 2, h / 2));
  EXPECT_EQ(P->LastClientRect.Right, WndClientWidth(Wnd));
  // Growing leaves them alone.
  P->LastClientRect = TRect{0, 0, w - 40, h - 30};
  ValidateRect(Wnd, nullptr);
  {
    TacAnimationGuard painting;
    Size(w, h);
  }
  EXPECT_FALSE(InUpdate(Wnd, w - 42, 2));
}

TEST_F(FormSizing, ChildrenHearOfTheSizeOnlyWhenTheBackgroundDependsOnTheChangedDimension) {
  Make();
  auto* child = new TPanel(Form);
  child->SetParent(Form);
  child->SetBounds(10, 10, 50, 40);
  child->Handle();
  TRecorder rec;
  HookWindowProc(child, MakeWndMethod<&TRecorder::Proc>(&rec), &rec.Saved);
  const struct {
    std::uint16_t BGType;
    int DW, DH;
    bool Told;
  } rows[] = {
      {0, 20, 20, false},
      {BGT_GRADIENT_HORZ, 20, 0, true},
      {BGT_GRADIENT_HORZ, 0, 20, false},
      {BGT_GRADIENT_VERT, 0, 20, true},
      {BGT_GRADIENT_VERT, 20, 0, false},
      {BGT_TEXTURE_BOTH, 20, 0, true},
  };
  for (const auto& row : rows) {
    P->FCommonData->BGType = row.BGType;
    P->FCommonData->BGChanged = true;
    P->LastClientRect = TRect{0, 0, 200, 100};
    rec.Got.clear();
    Size(200 + row.DW, 100 + row.DH);
    EXPECT_EQ(rec.Commands(SKCMD_PARENT_MOVED) > 0, row.Told) << row.BGType << " " << row.DW << "x" << row.DH;
  }
  UnhookWindowProc(child, MakeWndMethod<&TRecorder::Proc>(&rec));
}

TEST_F(FormSizing, SizeRunsTheFormsOnResize) {
  Make();
  int calls = 0;
  Form->OnResize = [&](TForm*) { ++calls; };
  P->FCommonData->BGChanged = true;
  Form->SetBounds(Form->Left(), Form->Top(), Form->Width() + 30, Form->Height());
  EXPECT_GE(calls, 1);
}

TEST_F(FormSizing, RefusedCloseLeavesTheBackgroundToBePaintedAgain) {
  Make();
  Form->AllowClose = false;
  P->FCommonData->BGChanged = false;
  SendMessageW(Wnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindowVisible(Wnd));
  EXPECT_TRUE(P->FCommonData->BGChanged);
  EXPECT_FALSE(P->FormState() & FS_ANIMCLOSING);
  // An accepted close hides the form; without a form image the cache stays as it was.
  Form->AllowClose = true;
  P->FCommonData->FCacheBmp = NewBitmap32(7, 5);
  SendMessageW(Wnd, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(Wnd));
}

TEST_F(FormSizing, DraggingAStretchedFormKeepsItsStretchedSizeAndEndsTheStretch) {
  Make();
  for (std::uint32_t stretch : {std::uint32_t{FS_FULLHEIGHT}, std::uint32_t{FS_FULLWIDTH}}) {
    SCOPED_TRACE(stretch);
    SetWindowPos(Wnd, nullptr, 30, 0, 360, 500, SWP_NOZORDER | SWP_NOACTIVATE);
    P->NormalBounds = TRect{30, 60, 360, 240};  // the height before the stretch is in Bottom
    P->SetFormState(P->FormState() | stretch);
    const RECT before = [&] {
      RECT r{};
      GetWindowRect(Wnd, &r);
      return r;
    }();
    Form->Rec.Got.clear();
    // A drag moves the window; one that also asks for another size keeps the stretched one.
    SetWindowPos(Wnd, nullptr, 90, 40, 360, 240, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT after{};
    GetWindowRect(Wnd, &after);
    EXPECT_EQ(after.left, 90);
    EXPECT_EQ(after.top, 40);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    EXPECT_FALSE(P->FormState() & (FS_FULLHEIGHT | FS_FULLWIDTH));
    EXPECT_EQ(Form->Rec.Count(WM_WINDOWPOSCHANGING), 0);
  }
}

TEST_F(FormSizing, FirstShowWithAShowAnimationEndsOpaqueNotLayeredAndRedrawsChildren) {
  M->AnimEffects.FormShow.Time = 100;
  Make(false);
  auto* child = new TPanel(Form);
  child->SetParent(Form);
  child->SetBounds(10, 10, 50, 40);
  child->Handle();
  TRecorder rec;
  HookWindowProc(child, MakeWndMethod<&TRecorder::Proc>(&rec), &rec.Saved);
  Form->Show();
  PumpMessagesFor(300);
  EXPECT_TRUE(IsWindowVisible(Wnd));
  EXPECT_FALSE(GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_FALSE(P->fAnimating);
  EXPECT_FALSE(P->FormState() & FS_ANIMSHOWING);
  EXPECT_FALSE(P->FCommonData->FUpdating);
  // Drawing of the children was switched off for the animation and on again after it.
  EXPECT_EQ(rec.Count(WM_SETREDRAW, 0), rec.Count(WM_SETREDRAW, 1));
  EXPECT_GE(rec.Count(WM_SETREDRAW, 1), 1);
  UnhookWindowProc(child, MakeWndMethod<&TRecorder::Proc>(&rec));
}

TEST_F(FormSizing, HidingEmptiesTheCache) {
  Make();
  P->FCommonData->FCacheBmp = NewBitmap32(20, 10);
  Form->Hide();
  PumpMessages();
  ASSERT_TRUE(P->FCommonData->FCacheBmp);
  EXPECT_TRUE(P->FCommonData->FCacheBmp->Empty());
}

TEST_F(FormSizing, HidingWithoutAFormImageKeepsTheCacheAsItWas) {
  Make();
  P->FCommonData->FCacheBmp = NewBitmap32(7, 5);
  TBitmap* cache = P->FCommonData->FCacheBmp.get();
  // Hidden by the window alone: the provider takes the form's image for the hide animation.
  SetWindowPos(Wnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PumpMessages();
  EXPECT_FALSE(IsWindowVisible(Wnd));
  EXPECT_EQ(P->FCommonData->FCacheBmp.get(), cache);
  EXPECT_EQ(cache->Width(), 7);
  EXPECT_FALSE(P->SkipAnimation);
}

namespace {
void CALLBACK EndOtherAnimation(HWND, UINT, UINT_PTR id, DWORD) {
  AnimationInProgress = false;
  KillTimer(nullptr, id);
}
}  // namespace

TEST_F(FormSizing, UnskinnedHideAnimationWaitRunsMessagesAndEndsWhenTheProgramEnds) {
  Make();
  const int section = P->FCommonData->SkinIndex;
  P->FCommonData->SkinIndex = -1;  // the form's own section is gone: the provider is unskinned
  ASSERT_FALSE(P->FCommonData->Skinned());
  TacAnimationGuard other;  // another animation holds the flag, and a timer of this thread ends it
  SetTimer(nullptr, 0, 40, &EndOtherAnimation);
  SetWindowPos(Wnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_FALSE(AnimationInProgress);
  EXPECT_FALSE(P->SkipAnimation);
  // While the program ends nothing ticks any more: the wait gives up at once.
  ShowWindow(Wnd, SW_SHOWNA);
  AnimationInProgress = true;
  Application().SetTerminated(true);
  SetWindowPos(Wnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Application().SetTerminated(false);
  EXPECT_TRUE(AnimationInProgress);
  EXPECT_FALSE(P->SkipAnimation);
  P->FCommonData->SkinIndex = section;
}
