// Handler selection for windows the engine did not create: the classification of dialog
// children, and end to end through the window hook with recording handler kinds registered in
// the factory (real dialogs, message boxes, forms and popup menus under Xvfb).
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/Form.Progress.h"
#include "platform/ui/Forms.h"
#include "skin/SkinBuilder.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acDials.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

TEST(HandlerSelection, ClassificationOfDialogChildren) {
  struct Case {
    const wchar_t* Class;
    LONG Style;
    LONG ExStyle;
    bool Visible;
    int Height;
    const wchar_t* Kind;
    const wchar_t* Section;
  };
  const Case cases[] = {
      {L"static", SS_ICON, 0, true, 20, L"TacIconWnd", L""},
      {L"static", SS_ICON, WS_EX_STATICEDGE, true, 20, L"TacEdgeWnd", L"EDIT"},
      {L"static", SS_BLACKFRAME, 0, true, 20, L"TacStaticWnd", L""},
      {L"static", SS_SIMPLE, 0, true, 20, L"", L""},
      {L"static", SS_OWNERDRAW, 0, true, 20, L"", L""},
      {L"static", SS_BITMAP, 0, true, 20, L"TacIconWnd", L""},
      {L"static", SS_ENHMETAFILE, 0, true, 20, L"TacStaticWnd", L""},
      {L"static", SS_GRAYRECT, 0, true, 20, L"", L""},
      {L"static", SS_LEFT, 0, true, 20, L"TacStaticWnd", L""},
      {L"button", BS_AUTO3STATE, 0, true, 20, L"TacCheckBoxWnd", L""},
      {L"button", BS_CHECKBOX | BS_LEFTTEXT, 0, true, 20, L"TacCheckBoxWnd", L""},
      {L"button", BS_AUTORADIOBUTTON, 0, true, 20, L"TacCheckBoxWnd", L""},
      {L"button", BS_PUSHBUTTON | BS_BITMAP, 0, true, 20, L"", L""},
      {L"button", BS_DEFPUSHBUTTON | BS_ICON, 0, true, 20, L"", L""},
      {L"button", BS_PUSHBUTTON, 0, true, 20, L"TacBtnWnd", L""},
      {L"button", BS_OWNERDRAW, 0, true, 20, L"", L""},
      {L"tbutton", BS_OWNERDRAW, 0, true, 20, L"TacBtnWnd", L""},
      {L"button", BS_GROUPBOX, 0, true, 20, L"TacGroupBoxWnd", L"GROUPBOX"},
      {L"button", BS_DEFCOMMANDLINK, 0, true, 20, L"TacSplitBtnWnd", L""},
      {L"edit", 0, 0, true, 20, L"TacEditWnd", L"EDIT"},
      {L"edit", 0, 0, false, 20, L"", L""},
      {L"directuihwnd", 0, 0, true, 23, L"", L""},
      {L"directuihwnd", 0, 0, true, 24, L"TacSearchWnd", L""},
      {L"directuihwnd", 0, 0, true, 25, L"", L""},
      {L"systabcontrol32", TCS_OWNERDRAWFIXED, 0, true, 20, L"", L""},
      {L"systabcontrol32", 0, 0, true, 20, L"TacTabControlWnd", L"PAGECONTROL"},
      {L"scrollbar", SBS_SIZEGRIP, 0, true, 20, L"TacSizerWnd", L""},
      {L"scrollbar", SBS_VERT, 0, true, 20, L"", L""},
      {L"toolbarwindow32", 0x200, 0, true, 20, L"TacToolBarWnd", L"BAR"},
      {L"toolbarwindow32", 0, 0, true, 20, L"TacToolBarWnd", L"TRANSPARENT"},
      {L"msctls_progress32", 0, 0, false, 20, L"", L""},
      {L"msctls_progress32", 0, 0, true, 20, L"TacContainerWnd", L""},
      {L"#32770", 0, 0, true, 20, L"TacTransPanelWnd", L""},
      {L"combolbox", 0, 0, true, 20, L"TacEditWnd", L"COMBOBOX"},
      {L"ctrlnotifysink", 0, 0, true, 20, L"", L""},
      {L"somethingelse", 0, 0, true, 20, L"", L""},
  };
  for (const Case& c : cases) {
    const TacControlChoice choice = ChooseControlHandler(c.Class, c.Style, c.ExStyle, c.Visible, c.Height);
    EXPECT_EQ(choice.Kind, c.Kind) << testing::PrintToString(std::wstring(c.Class)) << " style " << c.Style;
    EXPECT_EQ(choice.Section, c.Section) << testing::PrintToString(std::wstring(c.Class)) << " style " << c.Style;
  }
  // The edit, combo and list rows let the dialog paint its children; an invisible edit too.
  EXPECT_TRUE(ChooseControlHandler(L"edit", 0, 0, false, 20).ClearsPaintForbidden);
  EXPECT_TRUE(ChooseControlHandler(L"listbox", 0, 0, true, 20).ClearsPaintForbidden);
  EXPECT_FALSE(ChooseControlHandler(L"static", 0, 0, true, 20).ClearsPaintForbidden);
}

namespace {

// What the recording kinds saw.
struct TMade {
  std::wstring Class;  // lower-cased window class
  std::wstring Kind;
  std::wstring Section;
  bool DlgMode;
  bool SwitchOn;
};
std::vector<TMade> gMade;
int gDialogsMade = 0;

class TRecordingHandler : public TacMainWnd {
public:
  TRecordingHandler(std::wstring Kind, HWND Wnd, bool Repaint, const TacSkinParams& Params, TsSkinManager* Manager,
                    TsCommonData* Shared)
      : TacMainWnd(Wnd, Repaint, Params, Manager, Shared), FKind(std::move(Kind)) {}
  void AfterCreation() override {
    TacMainWnd::AfterCreation();
    std::wstring cls = WindowClassName(CtrlHandle);
    for (wchar_t& ch : cls) ch = static_cast<wchar_t>(towlower(ch));
    gMade.push_back({cls, FKind, SkinData ? SkinData->SkinSection() : L"", DlgMode, acDlgMode});
  }
  std::wstring FKind;
};

// A dialog kind that attaches the children that appear after its creation at its first
// paint, as the dialog handler does.
class TRecordingDialog : public TacDialogWnd {
public:
  using TacDialogWnd::TacDialogWnd;
  void AfterCreation() override {
    TacDialogWnd::AfterCreation();
    ++gDialogsMade;
  }
  void acWndProc(TMessage& Message) override {
    if ((Message.Msg == WM_NCPAINT || Message.Msg == WM_ERASEBKGND) && !FInitialized && Provider) {
      FInitialized = true;
      Provider->InitHwndControls(CtrlHandle);
    }
    TacDialogWnd::acWndProc(Message);
  }
  bool FInitialized = false;
};

const wchar_t* const ChildKinds[] = {L"TacStaticWnd", L"TacIconWnd",    L"TacEdgeWnd",       L"TacCheckBoxWnd",
                                     L"TacBtnWnd",    L"TacEditWnd",    L"TacGroupBoxWnd",   L"TacSizerWnd",
                                     L"TacToolBarWnd", L"TacComboBoxWnd", L"TacTransPanelWnd"};

// The engine's own makers of the kinds replaced here, put back when the test ends.
std::vector<std::pair<std::wstring, TacHandlerMaker>>& SavedKinds() {
  static std::vector<std::pair<std::wstring, TacHandlerMaker>> saved;
  return saved;
}

void RegisterRecordingKinds(bool WithDialog) {
  if (SavedKinds().empty()) {
    for (const wchar_t* kind : ChildKinds) SavedKinds().emplace_back(kind, HandlerKindMaker(kind));
    SavedKinds().emplace_back(L"TacDialogWnd", HandlerKindMaker(L"TacDialogWnd"));
  }
  for (const wchar_t* kind : ChildKinds)
    RegisterHandlerKind(kind, [k = std::wstring(kind)](HWND Wnd, bool Repaint, const TacSkinParams& Params,
                                                        TsSkinManager* Manager, TsCommonData* Shared) -> TacMainWnd* {
      return new TRecordingHandler(k, Wnd, Repaint, Params, Manager, Shared);
    });
  RegisterHandlerKind(L"TacDialogWnd",
                      WithDialog ? TacHandlerMaker([](HWND Wnd, bool Repaint, const TacSkinParams& Params,
                                                      TsSkinManager* Manager, TsCommonData* Shared) -> TacMainWnd* {
                        return new TRecordingDialog(Wnd, Repaint, Params, Manager, Shared);
                      })
                                 : TacHandlerMaker());
}

void UnregisterRecordingKinds() {
  for (auto& [kind, maker] : SavedKinds()) RegisterHandlerKind(kind, maker);
  SavedKinds().clear();
}

// A dialog template built in memory: the dialog, then its items.
class TDialogTemplate {
public:
  TDialogTemplate(DWORD Style, short Cx, short Cy) {
    Dword(Style);
    Dword(0);
    FCountAt = FWords.size();
    FWords.push_back(0);
    for (short v : {short(10), short(10), Cx, Cy}) FWords.push_back(static_cast<WORD>(v));
    FWords.push_back(0);  // no menu
    FWords.push_back(0);  // the dialog class
    FWords.push_back(0);  // no title
  }
  void Item(const wchar_t* Class, DWORD Style, short X, short Y, short Cx, short Cy, WORD Id) {
    if (FWords.size() % 2) FWords.push_back(0);
    Dword(Style | WS_CHILD);
    Dword(0);
    for (short v : {X, Y, Cx, Cy}) FWords.push_back(static_cast<WORD>(v));
    FWords.push_back(Id);
    for (const wchar_t* p = Class; *p; ++p) FWords.push_back(static_cast<WORD>(*p));
    FWords.push_back(0);
    FWords.push_back(0);  // no text
    FWords.push_back(0);  // no creation data
    ++FWords[FCountAt];
  }
  HWND Create(HWND Parent = nullptr) {
    FWords.reserve(FWords.size() + 2);
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(FWords.data()),
                                      Parent, DialogProc, 0);
  }

private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT Msg, WPARAM, LPARAM) { return Msg == WM_INITDIALOG; }
  void Dword(DWORD V) {
    FWords.push_back(LOWORD(V));
    FWords.push_back(HIWORD(V));
  }
  std::vector<WORD> FWords;
  std::size_t FCountAt = 0;
};

HWND PlainDialog(DWORD Extra = 0) {
  TDialogTemplate t(WS_POPUP | WS_CAPTION | WS_VISIBLE | Extra, 120, 80);
  t.Item(L"STATIC", SS_LEFT | WS_VISIBLE, 4, 4, 60, 10, 1);
  return t.Create();
}

int ProviderCount() {
  int n = 0;
  if (HookedProviders)
    for (TacProvider* p : *HookedProviders) n += p != nullptr;
  return n;
}

class Selection : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    SkinEngineStartup();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    Skin = std::make_unique<TSkinBuilder>();
    ASSERT_TRUE(Skin->Manager->IsDefault());
    Skin->Manager->InstallHook();
    gMade.clear();
    gDialogsMade = 0;
    RegisterRecordingKinds(true);
  }
  void TearDown() override {
    for (HWND w : Windows)
      if (IsWindow(w)) DestroyWindow(w);
    PumpMessages();
    Skin.reset();
    UnregisterRecordingKinds();
    SkinEngineCleanup();
  }
  HWND Keep(HWND W) {
    Windows.push_back(W);
    PumpMessagesFor(50);
    return W;
  }
  TacProvider* ProviderOf(HWND W) { return FindDialogProvider(W); }
  std::unique_ptr<TSkinBuilder> Skin;
  std::vector<HWND> Windows;
};

}  // namespace

TEST_F(Selection, TemplateDialogGetsItsHandlerAndOneHandlerPerChild) {
  TDialogTemplate t(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_NOIDLEMSG, 200, 120);
  t.Item(L"STATIC", SS_LEFT | WS_VISIBLE, 4, 4, 60, 10, 1);
  t.Item(L"BUTTON", BS_AUTOCHECKBOX | WS_VISIBLE, 4, 20, 60, 10, 2);
  t.Item(L"EDIT", WS_BORDER | WS_VISIBLE, 4, 34, 60, 12, 3);
  t.Item(L"EDIT", WS_BORDER, 4, 50, 60, 12, 4);  // invisible: no handler
  t.Item(L"BUTTON", BS_PUSHBUTTON | BS_ICON | WS_VISIBLE, 70, 4, 40, 14, 5);  // no handler
  t.Item(L"SCROLLBAR", SBS_SIZEGRIP | WS_VISIBLE, 180, 100, 10, 10, 6);
  HWND dlg = Keep(t.Create());
  ASSERT_TRUE(dlg);
  TacProvider* p = ProviderOf(dlg);
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->ListSW, nullptr);
  EXPECT_EQ(gDialogsMade, 1);
  EXPECT_EQ(p->ListSW->Provider, p);
  EXPECT_TRUE(p->ListSW->HadNoIdleMsg);
  EXPECT_EQ(GetWindowLongW(dlg, GWL_STYLE) & DS_NOIDLEMSG, 0);
  EXPECT_FALSE(p->ListSW->FWMPaintForbidden);  // an edit row cleared it
  std::vector<std::wstring> seen;
  for (const TMade& m : gMade) {
    seen.push_back(m.Class + L":" + m.Kind + L":" + m.Section);
    EXPECT_TRUE(m.DlgMode) << testing::PrintToString(m.Class);
    EXPECT_TRUE(m.SwitchOn);
  }
  std::sort(seen.begin(), seen.end());
  const std::vector<std::wstring> expected{L"button:TacCheckBoxWnd:", L"edit:TacEditWnd:EDIT",
                                           L"scrollbar:TacSizerWnd:", L"static:TacStaticWnd:"};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(p->acSkinnedCtrls.size(), 4u);
  EXPECT_FALSE(acDlgMode);
  // The dialog goes: its handler detaches and the next purge frees the provider.
  DestroyWindow(dlg);
  EXPECT_EQ(VisibleDialogCount(), 0);
  EXPECT_EQ(FindDialogProvider(dlg), nullptr);
}

TEST_F(Selection, WithoutADialogKindTheDialogStaysNative) {
  RegisterRecordingKinds(false);
  HWND dlg = Keep(PlainDialog());
  EXPECT_EQ(ProviderOf(dlg), nullptr);
  EXPECT_FALSE(IsSkinnedWindow(dlg));
  EXPECT_TRUE(gMade.empty());
}

TEST_F(Selection, AThirdVisibleDialogOnlyWithAToolBar) {
  HWND first = Keep(PlainDialog());
  HWND second = Keep(PlainDialog());
  ASSERT_NE(ProviderOf(first), nullptr);
  ASSERT_NE(ProviderOf(second), nullptr);
  HWND third = Keep(PlainDialog());
  EXPECT_EQ(ProviderOf(third), nullptr);
  EXPECT_FALSE(SkinNewTopWindow(third));
  // A file dialog: a tool bar among its descendants.
  TDialogTemplate t(WS_POPUP | WS_CAPTION | WS_VISIBLE, 200, 80);
  t.Item(TOOLBARCLASSNAMEW, WS_VISIBLE, 0, 0, 100, 20, 1);
  HWND files = Keep(t.Create());
  if (!ProviderOf(files)) EXPECT_TRUE(SkinNewTopWindow(files));
  EXPECT_NE(ProviderOf(files), nullptr);
}

TEST_F(Selection, VetoedDialogIsOfferedAgainAtItsNextActivation) {
  bool allow = false;
  int asked = 0;
  Skin->Manager->OnSysDlgInit = [&](HWND, bool& Allow) {
    ++asked;
    Allow = allow;
  };
  HWND dlg = Keep(PlainDialog());
  EXPECT_GT(asked, 0);  // creation and activation both asked
  EXPECT_EQ(ProviderOf(dlg), nullptr);
  EXPECT_FALSE(SkinNewTopWindow(dlg));
  EXPECT_FALSE(IsSkinnedWindow(dlg));
  allow = true;
  // The next activation takes it.
  SendMessageW(dlg, WM_ACTIVATE, WA_INACTIVE, 0);
  SetActiveWindow(nullptr);
  SetActiveWindow(dlg);
  PumpMessagesFor(50);
  if (!ProviderOf(dlg)) EXPECT_TRUE(SkinNewTopWindow(dlg));
  EXPECT_NE(ProviderOf(dlg), nullptr);
  Skin->Manager->OnSysDlgInit = nullptr;
}

TEST_F(Selection, ChildDialogAndOtherClassesCountAsHandled) {
  HWND host = Keep(PlainDialog());
  TDialogTemplate t(WS_CHILD | WS_VISIBLE, 50, 30);
  HWND child = Keep(t.Create(host));
  ASSERT_TRUE(child);
  EXPECT_TRUE(SkinNewTopWindow(child));
  EXPECT_EQ(ProviderOf(child), nullptr);
  HWND other = Keep(CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_BORDER, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                    nullptr));
  EXPECT_TRUE(SkinNewTopWindow(other));
  EXPECT_EQ(ProviderOf(other), nullptr);
  // A popup without a border is left alone and may be tried again.
  HWND bare = Keep(CreateWindowExW(0, L"#32770", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(SkinNewTopWindow(bare));
}

TEST_F(Selection, CreationRecordNamingTheDialogClassCountsAsTheAtom) {
  // A "#32770" made by CreateWindowEx names its class by text in the creation record.
  HWND dlg = Keep(CreateWindowExW(WS_EX_DLGMODALFRAME, L"#32770", L"named", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0,
                                  120, 80, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(dlg);
  EXPECT_NE(ProviderOf(dlg), nullptr);
}

namespace {
std::vector<std::wstring> gCreateClasses;
LRESULT CALLBACK ClassRecordingHook(int Code, WPARAM WParam, LPARAM LParam) {
  if (Code == HCBT_CREATEWND) {
    auto* cs = reinterpret_cast<CBT_CREATEWNDW*>(LParam)->lpcs;
    gCreateClasses.push_back(IS_INTRESOURCE(cs->lpszClass)
                                 ? L"atom " + std::to_wstring(reinterpret_cast<ULONG_PTR>(cs->lpszClass))
                                 : std::wstring(cs->lpszClass));
  }
  return DialogCbtHookProc(Code, WParam, LParam);
}
HWND gBox = nullptr;
bool gBoxSkinned = false;
}  // namespace

TEST_F(Selection, MessageBoxFromATimerReachesTheHook) {
  Skin->Manager->UnInstallHook();
  SetDialogHookProcedure(ClassRecordingHook);
  Skin->Manager->InstallHook();
  gCreateClasses.clear();
  gBox = nullptr;
  gBoxSkinned = false;
  const UINT_PTR closer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", L"Tarvel box");
    if (!box) return;
    KillTimer(nullptr, id);
    gBox = box;
    gBoxSkinned = FindDialogProvider(box) != nullptr;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  const UINT_PTR opener = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    MessageBoxW(nullptr, L"text", L"Tarvel box", MB_OK);
  });
  const DWORD end = GetTickCount() + 5000;
  while (!gBox && static_cast<int>(end - GetTickCount()) > 0) PumpMessagesFor(20);
  PumpMessagesFor(100);
  KillTimer(nullptr, closer);
  KillTimer(nullptr, opener);
  Skin->Manager->UnInstallHook();
  SetDialogHookProcedure(nullptr);
  ASSERT_NE(gBox, nullptr);
  EXPECT_TRUE(gBoxSkinned);
  // What Wine's creation record carries for the box: the dialog atom or its name.
  bool dialogClass = false;
  for (const auto& c : gCreateClasses) dialogClass |= c == L"atom 32770" || c == L"#32770";
  EXPECT_TRUE(dialogClass) << testing::PrintToString(gCreateClasses);
  RecordProperty("MessageBoxCreateClass", testing::PrintToString(gCreateClasses));
}

TEST_F(Selection, FrameworkFormsByTheRules) {
  struct Case {
    const char* Name;
    unsigned Rules;
    std::intptr_t Tag;
    bool Handled;
    bool Provider;
  };
  const Case cases[] = {{"std forms", srStdForms | srStdDialogs, 0, true, true},
                        {"skip tag", srStdForms | srStdDialogs, 256 | 1, true, false},
                        {"rule missing", srStdDialogs, 0, false, false}};
  for (const Case& c : cases) {
    Skin->Manager->SetSkinningRules(c.Rules);
    Skin->Manager->UnInstallHook();  // the form is offered by hand below
    auto* form = CreateComponent<TForm>(&Application());
    form->Tag = c.Tag;
    form->SetBounds(0, 0, 200, 100);
    HWND wnd = form->Handle();
    EXPECT_EQ(SkinNewTopWindow(wnd), c.Handled) << c.Name;
    TacProvider* p = FindDialogProvider(wnd);
    EXPECT_EQ(p != nullptr, c.Provider) << c.Name;
    if (p) EXPECT_NE(p->sp, nullptr) << c.Name;
    TComponent::Free(form);
    PurgeDialogProviders();
    Skin->Manager->InstallHook();
  }
  Skin->Manager->SetSkinningRules(srStdForms | srStdDialogs | srThirdParty);
}

TEST_F(Selection, PopupMenusLeaveNoDestroyedHandlers) {
  HWND owner = Keep(CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                    nullptr));
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 1, L"one");
  std::size_t most = 0;
  int made = 0;
  for (int i = 0; i < 200; ++i) {
    const std::size_t before = MenuWindows.size();
    static std::size_t open = 0;
    open = 0;
    SetTimer(owner, 1, 1, [](HWND w, UINT, UINT_PTR id, DWORD) {
      KillTimer(w, id);
      open = MenuWindows.size();
      EndMenu();
    });
    TrackPopupMenu(menu, TPM_RETURNCMD, 10, 10, 0, owner, nullptr);
    made += open > before;
    PumpMessages();
    most = std::max(most, MenuWindows.size());
    for (TacMnuWnd* h : MenuWindows) ASSERT_FALSE(h->Destroyed) << i;
  }
  DestroyMenu(menu);
  EXPECT_LE(most, 2u);
  EXPECT_GT(made, 100);
}

TEST_F(Selection, PrintingSkipsTheSubtreeOfAHiddenChild) {
  static std::vector<std::wstring> printed;
  printed.clear();
  WNDCLASSW wc{};
  wc.lpszClassName = L"TarvelPrintRecorder";
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpfnWndProc = [](HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) -> LRESULT {
    if (Msg == WM_PRINT) {
      wchar_t text[32] = {};
      GetWindowTextW(W, text, 32);
      printed.push_back(text);
      return 0;
    }
    return DefWindowProcW(W, Msg, WParam, LParam);
  };
  RegisterClassW(&wc);
  HWND top = Keep(CreateWindowExW(0, wc.lpszClassName, L"top", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                                  nullptr));
  auto child = [&](HWND Parent, const wchar_t* Name, bool Visible) {
    return CreateWindowExW(0, wc.lpszClassName, Name, WS_CHILD | (Visible ? WS_VISIBLE : 0), 5, 5, 40, 40, Parent,
                           nullptr, nullptr, nullptr);
  };
  HWND a = child(top, L"a", true);
  child(a, L"a1", true);
  HWND b = child(top, L"b", false);
  child(b, L"b1", true);
  TacProvider p;
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(p.PrintHwndControls(top, dc), 0);
  DeleteDC(dc);
  std::sort(printed.begin(), printed.end());
  EXPECT_EQ(printed, (std::vector<std::wstring>{L"a", L"a1"}));
}

TEST_F(Selection, ProgressWindowGetsItsRunTimeProviderThroughTheHook) {
  // The update's progress window has no provider of its own; showing it makes the hook see it.
  auto* form = new TFormProgress(&Application());
  form->Show();
  PumpMessagesFor(150);
  ASSERT_TRUE(form->HandleAllocated());
  TacProvider* p = FindDialogProvider(form->Handle());
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->sp, nullptr);
  EXPECT_EQ(p->sp->Form, form);
  EXPECT_FALSE(p->sp->MakeSkinMenu);
  EXPECT_TRUE(IsSkinnedWindow(form->Handle()));
  TComponent::Free(form);
  PurgeDialogProviders();
}
