#include <gtest/gtest.h>
#include "platform/runtime/Threads.h"
#include "platform/ui/ActnList.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/TrayIcon.h"
#include "support/ShellHarness.h"
#include <shellapi.h>

#include <vector>

namespace {
constexpr UINT WM_TEST = WM_USER + 77;

class TTestForm : public TForm {
public:
  explicit TTestForm(TComponent* owner) : TForm(owner) {
    SetMessageHandler(WM_TEST, [this](TMessage& m) {
      ++Handled;
      m.Result = 42;
    });
  }
  int Handled = 0;
  int Created = 0, Destroyed = 0;

protected:
  void FormCreate() override { ++Created; }
  void FormDestroy() override { ++Destroyed; }
};
}  // namespace

TEST(Controls, MessagesFromWindowsAndPerformGoThroughTheReplaceableWindowProc) {
  Application().Initialize();
  auto* form = new TTestForm(nullptr);
  HWND wnd = form->Handle();
  ASSERT_NE(wnd, nullptr);
  // Windows' messages reach the message handler.
  EXPECT_EQ(SendMessageW(wnd, WM_TEST, 0, 0), 42);
  EXPECT_EQ(form->Perform(WM_TEST), 42);
  EXPECT_EQ(form->Handled, 2);

  // Another object takes the procedure over, chains to the previous one, gives it back.
  struct THook {
    std::vector<UINT> seen;
    TWndMethod old;
    void WndProc(TMessage& m) {
      seen.push_back(m.Msg);
      if (m.Msg == WM_TEST && m.WParam == 1) {
        m.Result = 7;  // swallowed
        return;
      }
      old(m);
    }
  } hook;
  auto& seen = hook.seen;
  HookWindowProc(form, MakeWndMethod<&THook::WndProc>(&hook), &hook.old);
  EXPECT_EQ(SendMessageW(wnd, WM_TEST, 0, 0), 42);
  EXPECT_EQ(form->Perform(WM_TEST, 1), 7);
  form->SetVisible(true);  // the framework's notification goes the same way
  EXPECT_NE(std::find(seen.begin(), seen.end(), CM_VISIBLECHANGED), seen.end());
  EXPECT_EQ(form->Handled, 3);
  EXPECT_TRUE(UnhookWindowProc(form, MakeWndMethod<&THook::WndProc>(&hook)));
  seen.clear();
  form->Perform(WM_TEST);
  EXPECT_TRUE(seen.empty());
  TComponent::Free(form);
  EXPECT_FALSE(IsWindow(wnd));
}

TEST(Controls, OwnerDestroysItsComponentsAndFormsRunCreateAndDestroy) {
  Application().Initialize();
  auto* owner = new TComponent(nullptr);
  auto* form = new TTestForm(owner);
  form->DoCreate();
  auto* action = new TAction(form);
  action->Name = L"ActOne";
  EXPECT_EQ(form->FindComponent(L"actone"), action);
  EXPECT_EQ(form->Created, 1);
  bool formGone = false;
  struct TProbe : TComponent {
    TProbe(TComponent* o, bool& flag) : TComponent(o), Flag(flag) {}
    ~TProbe() override { Flag = true; }
    bool& Flag;
  };
  new TProbe(form, formGone);
  TComponent::Free(owner);
  EXPECT_TRUE(formGone);
}

TEST(Controls, AChildAskedForItsWindowBeforeItsParentHasOneGetsExactlyOne) {
  Application().Initialize();
  auto* form = new TTestForm(nullptr);
  auto* child = new TWinControl(form);
  child->SetParent(form);
  ASSERT_FALSE(form->HandleAllocated());
  HWND wnd = child->Handle();  // makes the form's window first, and with it its children's
  auto windowsUnder = [](HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM l) {
          reinterpret_cast<std::vector<HWND>*>(l)->push_back(w);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  };
  EXPECT_EQ(windowsUnder(form->Handle()), std::vector<HWND>{wnd});
  EXPECT_EQ(TWinControl::FromHandle(wnd), child);
  // A freed control leaves no window behind that would bring its messages to freed memory.
  TComponent::Free(child);
  EXPECT_TRUE(windowsUnder(form->Handle()).empty());
  TComponent::Free(form);
}

TEST(Actions, ExecuteRunsTheUpdateFirstAndOnlyAnEnabledHandler) {
  TComponent owner(nullptr);
  auto* list = new TActionList(&owner);
  auto* a = new TAction(&owner);
  a->SetActionList(list);
  bool allow = false;
  int runs = 0, updates = 0;
  list->OnUpdate = [&](TAction* act, bool& handled) {
    ++updates;
    act->Enabled = allow;
    handled = true;
  };
  a->OnExecute = [&] { ++runs; };
  EXPECT_FALSE(a->Execute());
  EXPECT_EQ(runs, 0);
  allow = true;
  EXPECT_TRUE(a->Execute());
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(updates, 2);
}

TEST(Menus, PopupMenuShowsActionCaptionsStatesAndSeparators) {
  TComponent owner(nullptr);
  auto* list = new TActionList(&owner);
  auto* one = new TAction(&owner);
  one->Caption = L"One && Two";
  one->SetActionList(list);
  auto* off = new TAction(&owner);
  off->Caption = L"Off";
  off->SetActionList(list);
  list->OnUpdate = [&](TAction* act, bool&) { off->Enabled = false; };
  auto* menu = new TPopupMenu(&owner);
  menu->Add(one);
  menu->AddLine();
  menu->Add(off);
  HMENU h = menu->RefreshHandle();
  ASSERT_EQ(GetMenuItemCount(h), 3);
  wchar_t text[64];
  GetMenuStringW(h, 0, text, 64, MF_BYPOSITION);
  EXPECT_STREQ(text, L"One && Two");
  EXPECT_EQ(GetMenuState(h, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
  EXPECT_TRUE(GetMenuState(h, 2, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_FALSE(GetMenuState(h, 0, MF_BYPOSITION) & MF_GRAYED);
}

TEST(TrayIcon, IsAddedAgainWhenTheTaskBarIsRecreated) {
  Application().Initialize();
  TComponent owner(nullptr);
  auto* tray = new TTrayIcon(&owner);
  tray->SetVisible(true);
  if (!tray->Added()) GTEST_SKIP() << "no notification area in this session";
  // The task bar went away with our icon; its re-creation is announced to every top-level window.
  NOTIFYICONDATAW nid = {};
  nid.cbSize = sizeof nid;
  nid.hWnd = tray->Handle();
  nid.uID = tray->Id();
  Shell_NotifyIconW(NIM_DELETE, &nid);
  SendMessageW(tray->Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(tray->Added());
  nid.uFlags = NIF_TIP;
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &nid));
}

namespace {
// A 16 x 16 icon file of one opaque colour (0xRRGGBB).
void WriteIconFile(const std::wstring& path, std::uint32_t rgb) {
  const int n = 16;
  std::string ico;
  auto put16 = [&](unsigned v) { ico.append({char(v & 0xFF), char((v >> 8) & 0xFF)}); };
  auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
  put16(0); put16(1); put16(1);  // icon directory with one image
  ico.append({char(n), char(n), 0, 0});
  put16(1); put16(32); put32(40 + n * n * 4 + n * 4); put32(6 + 16);
  put32(40); put32(n); put32(n * 2); put16(1); put16(32);  // BITMAPINFOHEADER, height doubled
  for (int i = 0; i < 6; ++i) put32(i == 1 ? n * n * 4 : 0);
  for (int i = 0; i < n * n; ++i) put32(0xFF000000u | rgb);
  ico.append(n * 4, '\0');  // AND mask: all opaque
  WriteTextFile(path, ico);
}
}  // namespace

TEST(Application, IconFileBecomesTheApplicationWindowsIcon) {
  Application().Initialize();
  TTempFolder dir;
  HICON before = Application().Icon();
  EXPECT_NE(before, nullptr);  // built-in or system icon when none is set
  EXPECT_FALSE(Application().LoadIconFromFile(dir / L"missing.ico"));
  EXPECT_EQ(Application().Icon(), before);
  WriteIconFile(dir / L"appicon.ico", 0xC01020);
  ASSERT_TRUE(Application().LoadIconFromFile(dir / L"appicon.ico"));
  HICON icon = Application().Icon();
  EXPECT_NE(icon, before);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(Application().Handle(), WM_GETICON, ICON_BIG, 0)), icon);
  Application().SetIcon(nullptr);
}

TEST(Controls, ChangeScaleScalesBoundsFontsAndChildren) {
  Application().Initialize();
  auto* form = CreateComponent<TForm>(nullptr);
  auto* panel = new TWinControl(form);
  panel->SetParent(form);
  panel->SetBounds(10, 20, 100, 50);
  panel->Font.Height = -12;
  auto* follower = new TWinControl(form);
  follower->SetParent(panel);
  follower->SetBounds(4, 6, 20, 10);
  follower->SetParentFont(true);
  panel->ChangeScale(3, 2);
  EXPECT_EQ(panel->BoundsRect(), Bounds(15, 30, 150, 75));
  EXPECT_EQ(static_cast<int>(panel->Font.Height), -18);
  EXPECT_EQ(follower->BoundsRect(), Bounds(6, 9, 30, 15));
  // A control that follows its parent's font takes the scaled font once, not scaled twice.
  EXPECT_EQ(static_cast<int>(follower->Font.Height), -18);
  EXPECT_EQ(panel->AlignDisabledLevel(), 0);
  TComponent::Free(form);
}
