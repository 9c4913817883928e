// Framework notifications, subclassing of native windows, properties by name, form
// settings and modal phases.
#include <gtest/gtest.h>
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/ModalPhase.h"
#include "platform/ui/StdCtrls.h"
#include "support/ShellHarness.h"
#include <map>
#include <string>
#include <vector>

namespace {

// Counts the notifications a control receives, by message.
void Count(TControl* control, std::map<UINT, int>& seen, std::initializer_list<UINT> messages) {
  for (UINT msg : messages)
    control->SetMessageHandler(msg, [&seen, msg](TMessage& m, const TInheritedHandler& inherited) {
      ++seen[msg];
      inherited(m);
    });
}

struct TBox : TGraphicControl {
  using TGraphicControl::TGraphicControl;
  int Moves = 0;
};

}  // namespace

TEST(Notifications, MouseEnterAndLeaveForWindowedAndGraphicControls) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(300, 200);
  auto* panel = new TWinControl(form);
  panel->SetBounds(10, 10, 100, 100);
  panel->SetParent(form);
  auto* box = new TBox(form);
  box->SetBounds(150, 10, 100, 100);
  box->SetParent(form);
  box->SetMessageHandler(WM_MOUSEMOVE, [box](TMessage&) { ++box->Moves; });
  std::map<UINT, int> onPanel, onBox;
  Count(panel, onPanel, {CM_MOUSEENTER, CM_MOUSELEAVE});
  Count(box, onBox, {CM_MOUSEENTER, CM_MOUSELEAVE});
  form->Show();
  SetWindowPos(form->Handle(), HWND_TOPMOST, 100, 100, 0, 0, SWP_NOSIZE);
  SetForegroundWindow(form->Handle());
  WaitUntil([] { return false; }, 200);

  SetCursorPos(100 + 60, 100 + 60);
  EXPECT_TRUE(WaitUntil([&] { return onPanel[CM_MOUSEENTER] == 1; }, 5000));
  SetCursorPos(100 + 200, 100 + 60);
  EXPECT_TRUE(WaitUntil([&] { return onPanel[CM_MOUSELEAVE] == 1 && onBox[CM_MOUSEENTER] == 1; }, 5000));
  EXPECT_GE(box->Moves, 1);  // the graphic control gets the mouse messages over it
  SetCursorPos(100 + 200, 100 + 150);
  EXPECT_TRUE(WaitUntil([&] { return onBox[CM_MOUSELEAVE] == 1; }, 5000));
  SetCursorPos(900, 900);
  WaitUntil([] { return false; }, 200);
  EXPECT_EQ(onPanel[CM_MOUSEENTER], 1);
  EXPECT_EQ(onBox[CM_MOUSEENTER], 1);
  TComponent::Free(form);
}

TEST(Notifications, ShowingColourAndAlignmentReachTheChildren) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  auto* panel = new TWinControl(form);
  panel->SetParent(form);
  auto* label = new TLabel(form);
  label->SetParent(panel);
  auto* hidden = new TLabel(form);
  hidden->SetVisible(false);
  hidden->SetParent(panel);
  std::map<UINT, int> onLabel, onHidden, onPanel;
  Count(label, onLabel, {CM_SHOWINGCHANGED, CM_PARENTCOLORCHANGED, CM_COLORCHANGED});
  Count(hidden, onHidden, {CM_SHOWINGCHANGED});
  Count(panel, onPanel, {CM_COLORCHANGED});
  form->Show();
  form->Hide();
  EXPECT_EQ(onLabel[CM_SHOWINGCHANGED], 2);  // the grandchild hears both
  EXPECT_EQ(onHidden[CM_SHOWINGCHANGED], 0);  // its own Visible keeps it hidden throughout

  // A panel that follows its parent's colour passes the change on to its own followers.
  panel->SetParentColor(true);
  label->SetParentColor(true);
  form->SetColor(0x123456);
  EXPECT_EQ(panel->Color(), 0x123456);
  EXPECT_EQ(label->Color(), 0x123456);
  EXPECT_EQ(onPanel[CM_COLORCHANGED], 1);
  EXPECT_EQ(onLabel[CM_COLORCHANGED], 1);
  label->SetColor(0x00FF00);  // a colour of its own ends the following
  form->SetColor(0x654321);
  EXPECT_FALSE(label->ParentColor());
  EXPECT_EQ(label->Color(), 0x00FF00);

  // Fonts the same way.
  std::map<UINT, int> fonts;
  Count(label, fonts, {CM_FONTCHANGED});
  panel->SetParentFont(true);
  label->SetParentFont(true);
  fonts.clear();
  form->Font.Height = -20;
  EXPECT_EQ(label->Font.Height, -20);
  EXPECT_TRUE(panel->ParentFont());
  EXPECT_TRUE(label->ParentFont());
  EXPECT_EQ(fonts[CM_FONTCHANGED], 1);
  label->Font.Style = fsBold;
  form->Font.Height = -30;
  EXPECT_FALSE(label->ParentFont());
  EXPECT_EQ(label->Font.Height, -20);
  EXPECT_EQ(panel->Font.Height, -30);

  // Alignment waits for the last EnableAlign.
  form->SetClientSize(200, 100);
  form->Handle();
  label->SetParent(form);
  label->SetAlign(alTop);
  form->DisableAlign();
  form->DisableAlign();
  label->SetBounds(0, 50, 10, 20);
  form->Realign();
  form->EnableAlign();
  EXPECT_EQ(label->BoundsRect(), Bounds(0, 50, 10, 20));
  form->EnableAlign();
  EXPECT_EQ(label->BoundsRect(), Bounds(0, 0, 200, 20));
  TComponent::Free(form);
}

namespace {
// Takes a native edit over and puts its own font in, the way a skin handler does.
struct TEditHandler : TWindowSubclass {
  HFONT OwnFont = CreateFontW(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  HFONT SavedFont = nullptr;
  int Seen = 0;
  bool* Gone;
  explicit TEditHandler(bool* gone) : Gone(gone) {}
  ~TEditHandler() override {
    *Gone = true;
    DeleteObject(OwnFont);
  }
  void Take(HWND wnd) {
    SavedFont = reinterpret_cast<HFONT>(SendMessageW(wnd, WM_GETFONT, 0, 0));
    Attach(wnd);
    SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(OwnFont), FALSE);
  }
  void WndProc(TMessage& m) override {
    ++Seen;
    if (m.Msg == WM_USER + 5) {
      // Given back from inside its own message: the window's font first, then the procedure.
      HWND wnd = Handle();
      SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(SavedFont), FALSE);
      Release();
      m.Result = *Gone ? 0 : 77;  // still whole here
      return;
    }
    DefaultHandler(m);
  }
};
}  // namespace

TEST(Subclass, ANativeEditIsTakenOverAndGivenBackExactly) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  form->SetClientSize(200, 100);
  HWND edit = CreateWindowExW(0, L"EDIT", L"text", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, form->Handle(), nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(edit, nullptr);
  HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  LONG_PTR proc = GetWindowLongPtrW(edit, GWLP_WNDPROC);

  bool gone = false;
  auto* handler = new TEditHandler(&gone);
  handler->Take(edit);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)), handler->OwnFont);
  wchar_t text[16] = {};
  GetWindowTextW(edit, text, 16);  // passed on to the edit's own procedure
  EXPECT_STREQ(text, L"text");
  EXPECT_GT(handler->Seen, 0);
  EXPECT_EQ(SendMessageW(edit, WM_USER + 5, 0, 0), 77);
  EXPECT_TRUE(gone);
  EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), proc);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)), font);

  // The window's end detaches a handler by itself.
  gone = false;
  auto* second = new TEditHandler(&gone);
  second->Take(edit);
  DestroyWindow(edit);
  EXPECT_FALSE(second->Attached());
  delete second;
  DeleteObject(font);
  TComponent::Free(form);
}

namespace {
// A control that wraps the system's edit class: the class's procedure is its default one.
struct TWrappedEdit : TWinControl {
  using TWinControl::TWinControl;
  std::wstring ClassName() const override { return L"TTestWrappedEdit"; }
  void CreateParams(TCreateParams& p) override {
    TWinControl::CreateParams(p);
    p.SystemClass = L"EDIT";
  }
};
}  // namespace

TEST(Subclass, AControlWrapsASystemClassThroughItsDefaultProcedure) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  auto* edit = new TWrappedEdit(form);
  edit->SetBounds(0, 0, 100, 20);
  edit->SetCaption(L"wrapped");
  edit->SetParent(form);
  HWND wnd = edit->Handle();
  EXPECT_EQ(TWinControl::FromHandle(wnd), edit);
  EXPECT_NE(edit->DefWndProc(), reinterpret_cast<WNDPROC>(DefWindowProcW));
  SendMessageW(wnd, EM_SETSEL, 0, 3);
  DWORD from = 0, to = 0;
  SendMessageW(wnd, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(to, 3u);  // the edit's own procedure answered
  TComponent::Free(form);
}

namespace {
struct TPublishedForm : TForm {
  using TForm::TForm;
  TARVEL_PUBLISHED_CLASS(TPublishedForm)
  int Mode = 0;
};
struct TUnregisteredForm : TPublishedForm {
  using TPublishedForm::TPublishedForm;
};
}  // namespace

TEST(Properties, ADerivedUnregisteredClassFindsItsBasesPropertiesByName) {
  static bool registered = [] {
    RegisterPublished<TPublishedForm>().Ordinal(
        L"Mode", [](TPublishedForm& f) { return f.Mode; }, [](TPublishedForm& f, int v) { f.Mode = v; });
    return true;
  }();
  (void)registered;
  TUnregisteredForm form(nullptr);
  TComponent* asComponent = &form;  // known to the caller only as a component
  EXPECT_TRUE(TrySetOrdProp(asComponent, L"mode", 3));
  int value = 0;
  EXPECT_TRUE(TryGetOrdProp(asComponent, L"Mode", value));
  EXPECT_EQ(value, 3);
  EXPECT_EQ(form.Mode, 3);
}

namespace {
// Answers WM_NCCALCSIZE itself, as a skinned frame does: the whole window is client area.
struct TFrameless {
  TWndMethod Saved;
  void WndProc(TMessage& m) {
    if (m.Msg == WM_NCCALCSIZE) {
      m.Result = 0;
      return;
    }
    Saved(m);
  }
};
}  // namespace

TEST(Forms, ClientSizeHoldsUnderAnOwnFrameAndStyleStateAndAlphaApply) {
  Application().Initialize();
  auto* form = new TForm(nullptr);
  TFrameless frame;
  HookWindowProc(form, MakeWndMethod<&TFrameless::WndProc>(&frame), &frame.Saved);
  form->SetClientSize(300, 200);
  form->Handle();
  RECT r;
  GetClientRect(form->Handle(), &r);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 200);
  form->SetClientSize(310, 210);
  EXPECT_EQ(form->ClientWidth(), 310);
  EXPECT_EQ(form->ClientHeight(), 210);
  UnhookWindowProc(form, MakeWndMethod<&TFrameless::WndProc>(&frame));

  form->SetAlphaBlend(true);
  form->SetAlphaBlendValue(128);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(form->Handle(), nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 128);
  EXPECT_TRUE(flags & LWA_ALPHA);
  form->SetAlphaBlend(false);
  EXPECT_FALSE(GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);

  form->SetFormStyle(fsStayOnTop);
  EXPECT_TRUE(GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  form->Show();
  form->SetWindowState(wsMaximized);
  EXPECT_EQ(form->WindowState(), wsMaximized);
  form->SetWindowState(wsNormal);
  EXPECT_EQ(form->WindowState(), wsNormal);

  // Border icons made again with the window.
  HWND before = form->Handle();
  form->SetBorderIcons(biSystemMenu | biHelp);
  EXPECT_NE(form->Handle(), before);
  EXPECT_TRUE(GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
  EXPECT_FALSE(GetWindowLongPtrW(form->Handle(), GWL_STYLE) & WS_MAXIMIZEBOX);
  TComponent::Free(form);
}

namespace {
// Closes whatever modal loop runs when the phase begins: the menu or the box of this thread.
void CALLBACK CloseModal(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EndMenu();
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM) -> BOOL {
        wchar_t cls[16] = {};
        GetClassNameW(wnd, cls, 16);
        if (wcscmp(cls, L"#32770") == 0) PostMessageW(wnd, WM_COMMAND, IDOK, 0);
        return TRUE;
      },
      0);
}
}  // namespace

TEST(ModalPhase, PopupMenusAndTheErrorBoxAreModalPhases) {
  Application().Initialize();
  std::vector<bool> phases;
  int id = AddModalPhaseHandler([&](bool begin) {
    phases.push_back(begin);
    if (begin) SetTimer(nullptr, 0, 200, CloseModal);
  });
  TComponent owner(nullptr);
  auto* menu = new TPopupMenu(&owner);
  auto* action = new TAction(&owner);
  action->Caption = L"Item";
  menu->Add(action);
  auto* form = new TForm(nullptr);
  form->Show();
  menu->Popup(10, 10, form->Handle());
  EXPECT_EQ(phases, (std::vector<bool>{true, false}));

  phases.clear();
  Application().OnException = nullptr;
  Application().ShowException(Exception(L"shown in a box"));
  EXPECT_EQ(phases, (std::vector<bool>{true, false}));
  RemoveModalPhaseHandler(id);
  TComponent::Free(form);
}
