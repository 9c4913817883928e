// MDI forms on real windows under Xvfb: the frame with its client window, the children in it,
// the active and the maximized child.
#include <gtest/gtest.h>

#include "platform/runtime/Exceptions.h"
#include "platform/ui/Forms.h"

namespace {

// An MDI form with two shown children; the second, made last, is the active one.
struct TMDIFixture {
  TForm* Frame;
  TForm* First;
  TForm* Second;
  TMDIFixture() {
    Application().Initialize();
    Frame = CreateComponent<TForm>(nullptr);
    Frame->SetFormKind(fkMDIForm);
    Frame->SetClientSize(500, 400);
    Frame->Show();
    First = NewChild();
    Second = NewChild();
  }
  TForm* NewChild() {
    auto* child = CreateComponent<TForm>(nullptr);
    child->SetFormKind(fkMDIChild, Frame);
    child->SetClientSize(160, 120);
    child->Show();
    return child;
  }
  ~TMDIFixture() {
    TComponent::Free(Second);
    TComponent::Free(First);
    TComponent::Free(Frame);
  }
};

}  // namespace

TEST(FormsMDI, AnMDIFormMakesItsClientWindowAndHostsItsChildrenThere) {
  TMDIFixture f;
  HWND client = f.Frame->ClientHandle();
  ASSERT_NE(client, nullptr);
  wchar_t cls[32] = {};
  GetClassNameW(client, cls, 32);
  EXPECT_STREQ(cls, L"MDIClient");
  EXPECT_EQ(GetParent(client), f.Frame->Handle());
  for (TForm* child : {f.First, f.Second}) {
    EXPECT_EQ(GetParent(child->Handle()), client);
    EXPECT_TRUE(GetWindowLongPtrW(child->Handle(), GWL_EXSTYLE) & WS_EX_MDICHILD);
    EXPECT_EQ(child->ClientHandle(), nullptr);
  }
  EXPECT_EQ(f.Frame->MDIChildCount(), 2);
  TForm* listed[] = {f.Frame->MDIChildren(0), f.Frame->MDIChildren(1)};
  EXPECT_TRUE((listed[0] == f.First && listed[1] == f.Second) || (listed[0] == f.Second && listed[1] == f.First));
  EXPECT_EQ(f.Frame->MDIChildren(2), nullptr);
  EXPECT_EQ(f.Frame->MDIChildren(-1), nullptr);

  // The frame keeps its client window filling its client area.
  f.Frame->SetClientSize(420, 300);
  RECT r{};
  GetWindowRect(client, &r);
  EXPECT_EQ(r.right - r.left, 420);
  EXPECT_EQ(r.bottom - r.top, 300);
}

TEST(FormsMDI, ActiveAndMaximizedChildFollowTheClient) {
  TMDIFixture f;
  EXPECT_EQ(f.Frame->ActiveMDIChild(), f.Second);
  EXPECT_FALSE(f.Frame->ActiveMDIChildMaximized());

  SendMessageW(f.Frame->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(f.First->Handle()), 0);
  EXPECT_EQ(f.Frame->ActiveMDIChild(), f.First);

  SendMessageW(f.Frame->ClientHandle(), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(f.First->Handle()), 0);
  EXPECT_TRUE(f.Frame->ActiveMDIChildMaximized());
  EXPECT_TRUE(IsZoomed(f.First->Handle()));
  EXPECT_EQ(f.First->WindowState(), wsMaximized);

  // A child going away leaves the other one active and the count follows.
  TComponent::Free(f.First);
  f.First = nullptr;
  EXPECT_EQ(f.Frame->MDIChildCount(), 1);
  EXPECT_EQ(f.Frame->ActiveMDIChild(), f.Second);
}

TEST(FormsMDI, NormalFormsAndChildrenWithoutAnMDIHostAnswerNothing) {
  Application().Initialize();
  auto* normal = CreateComponent<TForm>(nullptr);
  normal->Handle();
  EXPECT_EQ(normal->ClientHandle(), nullptr);
  EXPECT_EQ(normal->MDIChildCount(), 0);
  EXPECT_EQ(normal->ActiveMDIChild(), nullptr);
  auto* orphan = CreateComponent<TForm>(nullptr);
  orphan->SetFormKind(fkMDIChild, normal);
  EXPECT_THROW(orphan->Handle(), Exception);
  EXPECT_FALSE(orphan->HandleAllocated());
  TComponent::Free(orphan);
  TComponent::Free(normal);
}

TEST(FormsMDI, BringToFrontMakesAChildTheActiveOne) {
  TMDIFixture f;
  ASSERT_EQ(f.Frame->ActiveMDIChild(), f.Second);
  f.First->BringToFront();
  EXPECT_EQ(f.Frame->ActiveMDIChild(), f.First);
  f.Second->BringToFront();
  EXPECT_EQ(f.Frame->ActiveMDIChild(), f.Second);
}
