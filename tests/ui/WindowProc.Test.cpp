// Window procedures with identity, message handlers that chain, controls that outlive their
// messages, the component and window life cycles, and failures at the window entry.
#include <gtest/gtest.h>
#include "GdiCounter.h"
#include "platform/runtime/Logger.h"
#include "platform/ui/Forms.h"
#include "support/ShellHarness.h"
#include <string>
#include <vector>

namespace {

constexpr UINT WM_TEST = WM_USER + 91;

// A hook that records its name for every message and passes it on.
struct THook {
  THook(std::vector<std::string>& log, std::string name) : Log(log), Name(std::move(name)) {}
  void WndProc(TMessage& m) {
    if (m.Msg == WM_TEST) Log.push_back(Name);
    if (UnhookOn == m.Msg) {
      EXPECT_TRUE(UnhookWindowProc(Control, Method()));
      UnhookOn = 0;
    }
    Saved(m);  // a copy of the procedure: still valid after the unhook above
  }
  TWndMethod Method() { return MakeWndMethod<&THook::WndProc>(this); }
  void Hook(TControl* c) {
    Control = c;
    HookWindowProc(c, Method(), &Saved);
  }
  std::vector<std::string>& Log;
  std::string Name;
  TControl* Control = nullptr;
  TWndMethod Saved;
  UINT UnhookOn = 0;
};

class TProbeForm : public TForm {
public:
  explicit TProbeForm(TComponent* owner, bool* gone = nullptr) : TForm(owner), Gone(gone) {
    SetMessageHandler(WM_TEST, [this](TMessage& m) { m.Result = 1; });
  }
  ~TProbeForm() override {
    if (Gone) *Gone = true;
  }
  bool* Gone;
  std::string Marker = "whole";
};

}  // namespace

TEST(WindowProc, HooksRemovedOutOfOrderKeepTheChainAndPerformGoesThroughIt) {
  Application().Initialize();
  auto* form = new TProbeForm(nullptr);
  HWND wnd = form->Handle();
  const TWndMethod original = form->WindowProc();
  int changes = 0;
  form->AddWindowProcChangeHandler([&](TControl*) { ++changes; });
  std::vector<std::string> log;
  THook a(log, "a"), b(log, "b");
  a.Hook(form);
  b.Hook(form);
  EXPECT_EQ(SendMessageW(wnd, WM_TEST, 0, 0), 1);
  EXPECT_EQ(form->Perform(WM_TEST), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"b", "a", "b", "a"}));

  // The lower hook goes first: the upper one now chains past it.
  log.clear();
  EXPECT_TRUE(UnhookWindowProc(form, a.Method()));
  EXPECT_EQ(form->WindowProc(), b.Method());
  EXPECT_EQ(b.Saved, original);
  EXPECT_EQ(SendMessageW(wnd, WM_TEST, 0, 0), 1);
  EXPECT_EQ(log, std::vector<std::string>{"b"});
  EXPECT_FALSE(UnhookWindowProc(form, a.Method()));
  EXPECT_TRUE(UnhookWindowProc(form, b.Method()));
  EXPECT_EQ(form->WindowProc(), original);
  EXPECT_EQ(changes, 3);  // a on, b on, b off (a's removal left the procedure in place)

  // A hook that takes itself out while it handles a message finishes that message.
  log.clear();
  a.Hook(form);
  a.UnhookOn = WM_TEST;
  EXPECT_EQ(SendMessageW(wnd, WM_TEST, 0, 0), 1);
  EXPECT_EQ(form->WindowProc(), original);
  EXPECT_EQ(SendMessageW(wnd, WM_TEST, 0, 0), 1);
  EXPECT_EQ(log, std::vector<std::string>{"a"});
  TComponent::Free(form);
}

TEST(WindowProc, MessageHandlersCallWhatTheyOverride) {
  struct TBase : TWinControl {
    explicit TBase(TComponent* o) : TWinControl(o) {
      SetMessageHandler(WM_TEST, [this](TMessage& m, const TInheritedHandler& inherited) {
        inherited(m);  // the default handler: DefWindowProc answers 0
        m.Result += 1;
      });
    }
  };
  struct TDerived : TBase {
    explicit TDerived(TComponent* o) : TBase(o) {
      SetMessageHandler(WM_TEST, [](TMessage& m, const TInheritedHandler& inherited) {
        inherited(m);
        m.Result += 10;
      });
    }
  };
  Application().Initialize();
  TDerived control(nullptr);
  EXPECT_EQ(control.Perform(WM_TEST), 11);
  EXPECT_EQ(SendMessageW(control.Handle(), WM_TEST, 0, 0), 11);
}

TEST(Lifecycle, FormFreedOrReleasedInsideItsOwnClickGoesAfterTheMessage) {
  Application().Initialize();
  for (bool release : {false, true}) {
    bool gone = false;
    auto* form = CreateComponent<TProbeForm>(&Application(), &gone);
    auto* button = new TWinControl(form);
    button->SetBounds(10, 10, 80, 24);
    button->SetParent(form);
    HWND wnd = form->Handle();
    bool aliveAfterFree = false;
    button->SetMessageHandler(WM_LBUTTONUP, [&, form](TMessage& m) {
      if (release)
        form->Release();
      else
        TComponent::Free(form);
      // The form, its window and this control are still whole for the rest of the click.
      aliveAfterFree = !gone && IsWindow(wnd) && form->Marker == "whole";
      m.Result = 0;
    });
    SendMessageW(button->Handle(), WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(aliveAfterFree) << release;
    if (release) {
      EXPECT_FALSE(gone);
      EXPECT_TRUE(WaitUntil([&] { return gone; }, 5000));
    }
    EXPECT_TRUE(gone) << release;
    EXPECT_FALSE(IsWindow(wnd)) << release;
  }
}

namespace {
// Takes its owner form's procedure over and gives it back when it goes, like a skin provider.
struct TProvider : TComponent {
  explicit TProvider(TComponent* owner) : TComponent(owner), Form(dynamic_cast<TProbeForm*>(owner)) {
    HookWindowProc(Form, MakeWndMethod<&TProvider::WndProc>(this), &Saved);
  }
  ~TProvider() override {
    // The form is whole: its members, its window and its procedure chain.
    FormWhole = Form->Marker == "whole" && Form->HandleAllocated();
    GaveBack = UnhookWindowProc(Form, MakeWndMethod<&TProvider::WndProc>(this));
  }
  std::wstring ClassName() const override { return L"TProvider"; }
  void WndProc(TMessage& m) {
    if (m.Msg == WM_TEST) ++Seen;
    Saved(m);
  }
  TProbeForm* Form;
  TWndMethod Saved;
  int Seen = 0;
  static inline bool FormWhole = false, GaveBack = false;
};

// Records what it is told and when it is loaded.
struct TListener : TComponent {
  TListener(TComponent* owner, std::vector<std::wstring>& log, std::wstring tag)
      : TComponent(owner), Log(log), Tag(std::move(tag)) {}
  std::wstring ClassName() const override { return L"TListener"; }
  void Notification(TComponent* c, TOperation op) override {
    Log.push_back(Tag + (op == TOperation::opInsert ? L" +" : L" -") + c->ClassName());
  }
  void Loaded() override {
    TComponent::Loaded();
    Log.push_back(Tag + L" loaded");
  }
  std::vector<std::wstring>& Log;
  std::wstring Tag;
};

struct TDefinedForm : TProbeForm {
  TDefinedForm(TComponent* owner, std::vector<std::wstring>& log) : TProbeForm(owner), Log(log) {
    First = new TListener(this, log, L"first");
    Provider = new TProvider(this);
    LoadingSeen = (First->ComponentState() & csLoading) != 0;
  }
  void FormCreate() override { Log.push_back(L"create"); }
  std::vector<std::wstring>& Log;
  TListener* First;
  TProvider* Provider;
  bool LoadingSeen = false;
};
}  // namespace

TEST(Lifecycle, ComponentsAreAnnouncedFinishedLoadedFirstAndDestroyedBeforeTheirOwnersMembers) {
  Application().Initialize();
  std::vector<std::wstring> log;
  auto* form = CreateComponent<TDefinedForm>(&Application(), log);
  EXPECT_TRUE(form->LoadingSeen);
  EXPECT_FALSE(form->First->ComponentState() & csLoading);
  // Insertion names the finished class; Loaded runs in creation order before the creation event.
  EXPECT_EQ(log, (std::vector<std::wstring>{L"first +TProvider", L"first loaded", L"create"}));
  form->Handle();
  EXPECT_EQ(form->Perform(WM_TEST), 1);
  EXPECT_EQ(form->Provider->Seen, 1);

  // A listener of another owner hears of the provider's end.
  std::vector<std::wstring> outside;
  TListener watcher(nullptr, outside, L"watcher");
  watcher.FreeNotification(form->Provider);
  log.clear();
  TProvider::FormWhole = TProvider::GaveBack = false;
  TComponent::Free(form);
  EXPECT_TRUE(TProvider::FormWhole);
  EXPECT_TRUE(TProvider::GaveBack);
  EXPECT_EQ(outside, std::vector<std::wstring>{L"watcher -TProvider"});
  EXPECT_TRUE(log.empty());  // components of an owner that goes are not told of each other
}

TEST(Lifecycle, TheControlSeesTheEndOfAWindowTheFrameworkDestroysAndRecreationKeepsChildren) {
  Application().Initialize();
  auto* form = new TProbeForm(nullptr);
  form->SetCaption(L"Recreated");
  form->SetClientSize(320, 200);
  auto* panel = new TWinControl(form);
  panel->SetBounds(12, 14, 100, 50);
  panel->SetCaption(L"child");
  panel->SetParent(form);
  form->Show();
  std::vector<UINT> ends;
  for (TWinControl* c : {static_cast<TWinControl*>(form), panel})
    for (UINT msg : {UINT(WM_DESTROY), UINT(WM_NCDESTROY)})
      c->SetMessageHandler(msg, [&ends, msg](TMessage& m, const TInheritedHandler& inherited) {
        ends.push_back(msg);
        inherited(m);
      });
  int recreations = 0;
  form->SetMessageHandler(CM_RECREATEWND, [&](TMessage& m, const TInheritedHandler& inherited) {
    ++recreations;
    inherited(m);
  });
  HWND oldForm = form->Handle(), oldPanel = panel->Handle();
  TRect bounds = form->BoundsRect();

  form->RecreateWnd();
  EXPECT_EQ(recreations, 1);
  EXPECT_EQ(ends.size(), 4u);  // both windows' WM_DESTROY and WM_NCDESTROY reached the controls
  EXPECT_FALSE(IsWindow(oldForm));
  EXPECT_FALSE(IsWindow(oldPanel));
  ASSERT_TRUE(form->HandleAllocated());
  ASSERT_TRUE(panel->HandleAllocated());
  EXPECT_EQ(GetParent(panel->Handle()), form->Handle());
  EXPECT_EQ(TWinControl::FromHandle(panel->Handle()), panel);
  EXPECT_EQ(form->BoundsRect(), bounds);
  EXPECT_EQ(panel->BoundsRect(), Bounds(12, 14, 100, 50));
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  wchar_t text[32] = {};
  GetWindowTextW(panel->Handle(), text, 32);
  EXPECT_STREQ(text, L"child");

  ends.clear();
  panel->DestroyHandle();
  EXPECT_EQ(ends, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(panel->HandleAllocated());
  TComponent::Free(form);
}

TEST(Lifecycle, ChildrenAreVisitedOverASnapshotWhileAHookAddsAndMovesControls) {
  Application().Initialize();
  auto* form = new TProbeForm(nullptr);
  form->SetClientSize(300, 300);
  auto* other = new TWinControl(form);
  other->SetParent(form);
  std::vector<TWinControl*> children;
  for (int i = 0; i < 4; ++i) {
    auto* c = new TWinControl(form);
    c->SetBounds(0, 0, 20, 20);
    c->SetAlign(alTop);
    c->SetParent(form);
    children.push_back(c);
  }
  form->Handle();
  // Aligning the first child adds a control to the form and moves the last one away.
  bool done = false;
  children[0]->SetMessageHandler(WM_SIZE, [&](TMessage& m, const TInheritedHandler& inherited) {
    inherited(m);
    if (done) return;
    done = true;
    for (int i = 0; i < 64; ++i) (new TWinControl(form))->SetParent(form);
    children[3]->SetParent(other);
  });
  form->SetClientSize(310, 300);
  EXPECT_TRUE(done);
  EXPECT_EQ(children[3]->Parent(), other);
  EXPECT_EQ(children[2]->BoundsRect(), Bounds(0, 40, 310, 20));
  TComponent::Free(form);
}

namespace {
struct TThrowingPainter : TWinControl {
  using TWinControl::TWinControl;
  int Paints = 0;
  void PaintWindow(HDC dc) override {
    ++Paints;
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));  // made, then lost to the exception
    DeleteObject(b);
    throw Exception(Paints % 2 ? L"odd paint failed" : L"even paint failed");
  }
};
}  // namespace

TEST(Failures, APaintThatThrowsIsLoggedOncePerFailureAndAlwaysEndsThePaint) {
  Application().Initialize();
  TTempFolder dir;
  CodeSite().SetFileName(dir / L"paint.log");
  CodeSite().SetEnabled(true);
  bool boxShown = false;
  Application().OnException = [&](const std::exception&) { boxShown = true; };
  auto* form = new TProbeForm(nullptr);
  form->SetClientSize(100, 100);
  auto* painter = new TThrowingPainter(form);
  painter->SetBounds(0, 0, 100, 100);
  painter->SetParent(form);
  form->Show();
  WaitUntil([] { return false; }, 200);
  {
    TGdiCounter gdi;
    ASSERT_GT(gdi.Patched(), 0);
    long before = gdi.Balance();
    int start = painter->Paints;
    for (int i = 0; i < 200; ++i) {
      InvalidateRect(painter->Handle(), nullptr, TRUE);
      UpdateWindow(painter->Handle());
    }
    EXPECT_EQ(painter->Paints - start, 200);
    EXPECT_EQ(gdi.Balance(), before);
  }
  CodeSite().SetEnabled(false);
  std::string text = ReadTextFile(dir / L"paint.log");
  auto count = [&](const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("odd paint failed"), 1);
  EXPECT_EQ(count("even paint failed"), 1);
  EXPECT_FALSE(boxShown);
  Application().OnException = nullptr;
  TComponent::Free(form);
}
