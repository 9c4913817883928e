// The framework's tool bar and status bar over the system's bar windows, a drop-down
// button's menu dropped under it and its closing told to the bar, the notifications of
// child windows reflected to their controls, free notification of objects that are no
// components, event properties by name and property names through nested objects, and the
// speed button's state on a press.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>

#include "platform/ui/Buttons.SpeedButton.h"
#include "platform/ui/ComCtrls.StatusBar.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/Properties.h"
#include "support/MessagePump.h"

namespace {

struct TBarsForm {
  TForm* Form;
  TBarsForm() {
    Application().Initialize();
    Form = CreateComponent<TForm>(nullptr);
    Form->SetClientSize(300, 120);
    Form->Show();
  }
  ~TBarsForm() { TComponent::Free(Form); }
};

}  // namespace

// The window buttons mirror the tool buttons (state, style, the object in the button's data),
// and the custom-draw events are raised from NM_CUSTOMDRAW with the item's states.
TEST(ToolBar, ButtonsMirrorToolButtonsAndCustomDrawRaisesTheEvents) {
  TBarsForm f;
  auto* bar = new TToolBar(f.Form);
  bar->ShowCaptions = true;
  for (int i = 0; i < 3; ++i) {
    auto* b = new TToolButton(f.Form);
    b->SetCaption(L"B" + std::to_wstring(i));
    b->SetParent(bar);
  }
  bar->Buttons(1)->Style = tbsDropDown;
  bar->Buttons(2)->Marked = true;
  bar->SetParent(f.Form);
  bar->RebuildButtons();
  const HWND wnd = bar->Handle();
  ASSERT_EQ(SendMessageW(wnd, TB_BUTTONCOUNT, 0, 0), 3);
  TBBUTTON tb{};
  ASSERT_TRUE(SendMessageW(wnd, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&tb)));
  EXPECT_EQ(reinterpret_cast<TToolButton*>(tb.dwData), bar->Buttons(1));
  EXPECT_TRUE(tb.fsStyle & BTNS_DROPDOWN);
  EXPECT_TRUE(SendMessageW(wnd, TB_GETSTATE, 2, 0) & TBSTATE_MARKED);
  EXPECT_EQ(bar->Buttons(2)->Index(), 2);
  // The tool buttons take their window buttons' places.
  RECT r{};
  SendMessageW(wnd, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(bar->Buttons(1)->Left(), r.left);
  EXPECT_EQ(bar->Buttons(1)->Width(), r.right - r.left);

  int bars = 0, buttons = 0;
  TCustomDrawState seen = 0;
  bar->OnAdvancedCustomDraw = [&](TToolBar* Sender, const TRect&, TCustomDrawStage Stage, bool& DefaultDraw) {
    ++bars;
    EXPECT_EQ(Sender, bar);
    EXPECT_NE(Sender->Canvas.CurrentHandleOrNull(), nullptr);
    if (Stage == cdPrePaint) DefaultDraw = false;
  };
  bar->OnAdvancedCustomDrawButton = [&](TToolBar*, TToolButton* Button, TCustomDrawState State, TCustomDrawStage,
                                        TTBCustomDrawFlags& Flags, bool& DefaultDraw) {
    ++buttons;
    if (Button == bar->Buttons(2)) seen = State;
    Flags |= tbNoEdges;
    DefaultDraw = false;
  };
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  PumpMessagesFor(30);
  EXPECT_GE(bars, 1);
  EXPECT_GE(buttons, 3);
  EXPECT_TRUE(seen & cdsMarked);
  EXPECT_EQ(bar->Canvas.CurrentHandleOrNull(), nullptr);
}

namespace {

// Counts the tool bar's notices that a drop-down menu closed, in the bar's WindowProc chain.
struct TClosedHook {
  void WndProc(TMessage& m) {
    if (m.Msg == CN_DROPDOWNCLOSED) ++Closed;
    Saved(m);
  }
  TWndMethod Saved;
  int Closed = 0;
};

}  // namespace

// Pressing a drop-down button drops its menu under the button and, once the menu is closed
// (here from a timer inside the menu's loop), tells the bar; a drop-down button without a
// menu drops nothing and tells nothing.
TEST(ToolBar, DropDownButtonDropsItsMenuUnderItAndTellsTheBarWhenItCloses) {
  TBarsForm f;
  auto* bar = new TToolBar(f.Form);
  bar->SetBounds(0, 0, 300, 30);
  for (int i = 0; i < 3; ++i) {
    auto* b = new TToolButton(f.Form);
    b->Style = i == 0 ? tbsButton : tbsDropDown;
    b->SetParent(bar);
  }
  auto* menu = new TPopupMenu(f.Form);
  auto* entry = new TMenuItem(menu);
  entry->Caption = L"Entry";
  menu->Items()->Add(entry);
  bar->Buttons(1)->DropdownMenu = menu;
  bar->SetParent(f.Form);
  bar->RebuildButtons();
  const HWND wnd = bar->Handle();
  TClosedHook hook;
  HookWindowProc(bar, MakeWndMethod<&TClosedHook::WndProc>(&hook), &hook.Saved);
  int opened = 0, closedWhileOpen = -1;
  RECT dropped{};
  auto* closer = new TTimer(f.Form);
  closer->SetInterval(50);
  closer->SetOnTimer([&] {
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (!popup || !IsWindowVisible(popup)) return;
    ++opened;
    closedWhileOpen = hook.Closed;
    GetWindowRect(popup, &dropped);
    EndMenu();
  });
  struct TCase {
    int Index;
    int Opened, Closed;
  };
  const TCase cases[] = {{1, 1, 1}, {2, 0, 0}};
  for (const TCase& c : cases) {
    opened = hook.Closed = 0;
    RECT r{};
    SendMessageW(wnd, TB_GETITEMRECT, static_cast<WPARAM>(c.Index), reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM(r.right - 3, (r.top + r.bottom) / 2);
    closer->SetEnabled(true);
    SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(wnd, WM_LBUTTONUP, 0, at);
    closer->SetEnabled(false);
    PumpMessagesFor(30);
    EXPECT_EQ(opened, c.Opened) << c.Index;
    EXPECT_EQ(hook.Closed, c.Closed) << c.Index;
    if (c.Opened) {
      EXPECT_EQ(closedWhileOpen, 0);
      POINT corner{r.left, r.bottom};
      ClientToScreen(wnd, &corner);
      EXPECT_EQ(dropped.left, corner.x);
      EXPECT_EQ(dropped.top, corner.y);
    }
  }
  EXPECT_TRUE(UnhookWindowProc(bar, MakeWndMethod<&TClosedHook::WndProc>(&hook)));
}

// Panels become the window's parts, the last reaching the end; a simple bar shows one text.
TEST(StatusBar, PanelsBecomeTheWindowsParts) {
  TBarsForm f;
  auto* bar = new TStatusBar(f.Form);
  bar->SetParent(f.Form);
  for (int i = 0; i < 3; ++i) {
    TStatusPanel* p = bar->Panels.Add();
    p->SetWidth(60);
    p->SetText(L"P" + std::to_wstring(i));
  }
  bar->Panels.Items(2)->SetAlignment(taCenter);
  const HWND wnd = bar->Handle();
  int edges[4] = {};
  ASSERT_EQ(SendMessageW(wnd, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
  EXPECT_EQ(edges[0], 60);
  EXPECT_EQ(edges[1], 120);
  EXPECT_EQ(edges[2], -1);
  wchar_t text[32] = {};
  SendMessageW(wnd, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"P1");
  SendMessageW(wnd, SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"\tP2");
  bar->SetSimpleText(L"simple");
  bar->SetSimplePanel(true);
  EXPECT_EQ(SendMessageW(wnd, SB_ISSIMPLE, 0, 0), TRUE);
  EXPECT_EQ(bar->Align(), alBottom);
}

// A child window's WM_NOTIFY reaches its control as CN_NOTIFY, whose answer is the result.
TEST(Notify, ChildNotificationsAreReflectedToTheirControls) {
  TBarsForm f;
  auto* child = new TWinControl(f.Form);
  child->SetParent(f.Form);
  UINT code = 0;
  child->SetMessageHandler(CN_NOTIFY, [&](TMessage& m) {
    code = reinterpret_cast<NMHDR*>(m.LParam)->code;
    m.Result = 42;
  });
  NMHDR hdr{child->Handle(), 7, NM_CLICK};
  EXPECT_EQ(SendMessageW(f.Form->Handle(), WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&hdr)), 42);
  EXPECT_EQ(code, static_cast<UINT>(NM_CLICK));
}

// An object that is no component hears once of a component's end; one that removed itself
// hears nothing.
TEST(FreeNotify, ListenersThatAreNoComponentsHearOfTheEnd) {
  struct TListener : TComponent::IFreeNotify {
    int Count = 0;
    TComponent* Last = nullptr;
    void FreeNotify(TComponent* c) override {
      ++Count;
      Last = c;
    }
  } told, removed;
  auto* a = new TComponent(nullptr);
  a->AddFreeNotify(&told);
  a->AddFreeNotify(&told);
  a->AddFreeNotify(&removed);
  a->RemoveFreeNotify(&removed);
  TComponent::Free(a);
  EXPECT_EQ(told.Count, 1);
  EXPECT_EQ(told.Last, a);
  EXPECT_EQ(removed.Count, 0);
}

namespace {

struct TInner {
  int Value = 3;
  virtual ~TInner() = default;
};
struct TOuter : TComponent {
  using TComponent::TComponent;
  TInner Inner;
  std::function<void(int)> OnThing;
  std::function<void()> OnOther;
};

}  // namespace

// Event properties are tested, assigned (their own type only) and cleared by name; a dotted
// name reads and writes through a nested object.
TEST(PublishedProperties, EventsAndNestedObjects) {
  RegisterPublished<TInner>().Ordinal(L"Value", [](TInner& i) { return i.Value; },
                                      [](TInner& i, int v) { i.Value = v; });
  RegisterPublished<TOuter, TComponent>()
      .Object<TInner>(L"Inner", [](TOuter& o) { return &o.Inner; })
      .Event<std::function<void(int)>>(L"OnThing", [](TOuter& o) -> std::function<void(int)>& { return o.OnThing; })
      .Event<std::function<void()>>(L"OnOther", [](TOuter& o) -> std::function<void()>& { return o.OnOther; });
  TOuter o(nullptr);
  EXPECT_FALSE(IsEventAssigned(&o, L"OnThing"));
  int got = 0;
  EXPECT_TRUE(AssignEventProp(&o, L"onthing", std::function<void(int)>([&](int v) { got = v; })));
  EXPECT_TRUE(IsEventAssigned(&o, L"OnThing"));
  o.OnThing(5);
  EXPECT_EQ(got, 5);
  EXPECT_FALSE(AssignEventProp(&o, L"OnThing", std::function<void()>([] {})));  // another type
  EXPECT_FALSE(AssignEventProp(&o, L"OnMissing", std::function<void()>([] {})));
  int ord = 0;
  EXPECT_FALSE(TryGetOrdProp(&o, L"OnThing", ord));  // an event is no ordinal
  EXPECT_TRUE(ClearEventProp(&o, L"OnThing"));
  EXPECT_FALSE(static_cast<bool>(o.OnThing));
  EXPECT_FALSE(ClearEventProp(&o, L"Inner"));

  EXPECT_TRUE(TrySetOrdProp(&o, L"Inner.Value", 9));
  EXPECT_EQ(o.Inner.Value, 9);
  EXPECT_TRUE(TryGetOrdProp(&o, L"inner.value", ord));
  EXPECT_EQ(ord, 9);
  EXPECT_FALSE(TrySetOrdProp(&o, L"Inner.Missing", 1));
  EXPECT_FALSE(TrySetOrdProp(&o, L"Missing.Value", 1));
  EXPECT_FALSE(TrySetOrdProp(&o, L"Inner.", 1));
}

// The speed button is pressed while the left button is held on it.
TEST(SpeedButton, StateFollowsThePressAndDown) {
  TBarsForm f;
  auto* b = new TSpeedButton(f.Form);
  b->SetParent(f.Form);
  EXPECT_EQ(b->FState, bsUp);
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_EQ(b->FState, bsDown);
  b->Perform(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(b->FState, bsUp);
  b->SetDown(true);
  EXPECT_EQ(b->FState, bsExclusive);
  EXPECT_TRUE(IsSpeedButton(b));
  auto* timer = new TTimerSpeedButton(f.Form);
  EXPECT_EQ(timer->ClassName(), L"TTimerSpeedButton");
  EXPECT_TRUE(IsSpeedButton(timer));
}
