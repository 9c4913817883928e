// The engine's message box: the style table, and real boxes under the window system found
// by a CBT hook, read and clicked.
#include "skin/graphics/acMessageBox.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/ModalPhase.h"
#include "skin/graphics/acntUtils.h"

TEST(acMessageBox, KindAndButtonsGiveTheStyle) {
  struct Case {
    TMsgDlgType kind;
    TMsgDlgButtons buttons;
    UINT style;
  } cases[] = {
      {mtError, {mbOK, mbCancel}, MB_ICONERROR | MB_OKCANCEL},
      {mtWarning, {mbOK}, MB_ICONWARNING | MB_OK},
      {mtInformation, {mbOK, mbYes}, MB_ICONINFORMATION | MB_OK},  // OK decides first
      {mtConfirmation, {mbYes, mbNo, mbCancel}, MB_ICONQUESTION | MB_YESNOCANCEL},
      {mtConfirmation, {mbYes, mbNo}, MB_ICONQUESTION | MB_YESNO},
      {mtCustom, {mbNo}, MB_YESNO},
      {mtCustom, {mbAbort, mbRetry, mbIgnore}, MB_ABORTRETRYIGNORE},
      {mtCustom, {mbIgnore}, MB_ABORTRETRYIGNORE},
      {mtCustom, {mbAbort, mbYes}, MB_ABORTRETRYIGNORE},  // abort before yes
      {mtCustom, {mbRetry}, MB_RETRYCANCEL},
      {mtCustom, {mbRetry, mbCancel}, MB_RETRYCANCEL},
      {mtCustom, {}, MB_OK},
      {mtCustom, {mbCancel, mbClose, mbAll}, MB_OK},
      {mtWarning, {mbOK, mbHelp}, MB_ICONWARNING | MB_OK | MB_HELP},
      {mtCustom, {mbHelp}, MB_OK | MB_HELP},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MessageBoxStyle(c.kind, c.buttons), c.style) << c.kind << " " << c.buttons.Bits();
  EXPECT_EQ(MessageBoxCaptions[mtConfirmation], L"Confirm");
}

namespace {

// What the hook saw of one box when it was activated.
struct TBoxSeen {
  std::wstring Caption;
  std::vector<std::wstring> Buttons;
  bool Icon = false;
  int X = 0, Y = 0;
  int Level = 0;
};

std::function<void(HWND box, const TBoxSeen& seen)> gOnBox;
std::set<HWND> gSeenBoxes;
std::vector<TBoxSeen> gSeen;
bool gWatchdogFired = false;

std::wstring TextOf(HWND wnd) {
  wchar_t text[256] = {};
  GetWindowTextW(wnd, text, 256);
  std::wstring result;
  for (const wchar_t* p = text; *p; ++p)
    if (*p != L'&') result += *p;
  return result;
}

bool IsDialog(HWND wnd) {
  wchar_t cls[32] = {};
  GetClassNameW(wnd, cls, 32);
  return std::wstring(cls) == L"#32770";
}

BOOL CALLBACK ReadChild(HWND child, LPARAM param) {
  auto* seen = reinterpret_cast<TBoxSeen*>(param);
  wchar_t cls[32] = {};
  GetClassNameW(child, cls, 32);
  LONG style = GetWindowLongW(child, GWL_STYLE);
  if (std::wstring(cls) == L"Button" && (style & WS_VISIBLE)) seen->Buttons.push_back(TextOf(child));
  if (std::wstring(cls) == L"Static" && (style & SS_TYPEMASK) == SS_ICON && (style & WS_VISIBLE) &&
      SendMessageW(child, STM_GETICON, 0, 0) != 0)
    seen->Icon = true;
  return TRUE;
}

// The button of the box with that text (without "&").
HWND ButtonOf(HWND box, const std::wstring& text) {
  struct TFind {
    std::wstring Text;
    HWND Found = nullptr;
  } find{text};
  EnumChildWindows(
      box,
      [](HWND child, LPARAM param) -> BOOL {
        auto* f = reinterpret_cast<TFind*>(param);
        if (TextOf(child) == f->Text) {
          f->Found = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.Found;
}

LRESULT CALLBACK CbtHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE) {
    HWND wnd = reinterpret_cast<HWND>(wp);
    if (IsDialog(wnd) && gSeenBoxes.insert(wnd).second) {
      TBoxSeen seen;
      seen.Caption = TextOf(wnd);
      EnumChildWindows(wnd, ReadChild, reinterpret_cast<LPARAM>(&seen));
      seen.X = MessageBoxX;
      seen.Y = MessageBoxY;
      seen.Level = ModalLevel();
      gSeen.push_back(seen);
      if (gOnBox) gOnBox(wnd, seen);
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

// Cancels every dialog of the thread: a box the test failed to close must not hang the run.
void CALLBACK Watchdog(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  gWatchdogFired = true;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM) -> BOOL {
        if (IsDialog(wnd)) PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
      },
      0);
}

// Closing a window the X server thinks is managed costs Wine seconds when no window manager
// runs, so the two task windows are captionless pop-ups, made once for the whole suite.
class MessageBoxOnScreen : public testing::Test {
protected:
  static void SetUpTestSuite() {
    Disabled = CreateWindowExW(0, L"STATIC", L"disabled", WS_POPUP | WS_VISIBLE, 220, 10, 200, 100, nullptr, nullptr,
                               nullptr, nullptr);
    Plain = CreateWindowExW(0, L"STATIC", L"plain", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr, nullptr,
                            nullptr, nullptr);
  }
  static void TearDownTestSuite() {
    DestroyWindow(Plain);
    DestroyWindow(Disabled);
  }
  void SetUp() override {
    gSeenBoxes.clear();
    gSeen.clear();
    gWatchdogFired = false;
    ASSERT_TRUE(Plain && Disabled);
    EnableWindow(Disabled, FALSE);
    EnableWindow(Plain, TRUE);
    SetActiveWindow(Plain);  // the owner of the boxes
    Hook = SetWindowsHookExW(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(Hook, nullptr);
    PhaseHandler = AddModalPhaseHandler([this](bool begin) { Phases.push_back(begin); });
    Watch = SetTimer(nullptr, 0, 10000, Watchdog);
  }
  void TearDown() override {
    KillTimer(nullptr, Watch);
    RemoveModalPhaseHandler(PhaseHandler);
    gOnBox = nullptr;
    UnhookWindowsHookEx(Hook);
    EXPECT_FALSE(gWatchdogFired) << "a box was left open";
  }

  // Clicks the button with that text once the box is up (posted: the box's loop runs it).
  static void ClickOnShow(const std::wstring& button) {
    gOnBox = [button](HWND box, const TBoxSeen&) {
      HWND b = ButtonOf(box, button);
      if (b) PostMessageW(b, BM_CLICK, 0, 0);
    };
  }

  static inline HWND Plain = nullptr;
  static inline HWND Disabled = nullptr;
  HHOOK Hook = nullptr;
  UINT_PTR Watch = 0;
  int PhaseHandler = 0;
  std::vector<bool> Phases;
};

}  // namespace

TEST_F(MessageBoxOnScreen, ShowsCaptionButtonsAndPosition) {
  bool plainEnabledDuring = true, disabledEnabledDuring = true;
  gOnBox = [&](HWND box, const TBoxSeen&) {
    plainEnabledDuring = IsWindowEnabled(Plain);
    disabledEnabledDuring = IsWindowEnabled(Disabled);
    PostMessageW(ButtonOf(box, L"Cancel"), BM_CLICK, 0, 0);
  };
  int answer = ShowLibraryMessageBox(nullptr, L"Something failed", mtError, {mbOK, mbCancel}, 0, 120, 80);

  EXPECT_EQ(answer, IDCANCEL);
  ASSERT_EQ(gSeen.size(), 1u);
  EXPECT_EQ(gSeen[0].Caption, L"Error");
  EXPECT_EQ(gSeen[0].Buttons, (std::vector<std::wstring>{L"OK", L"Cancel"}));
  EXPECT_TRUE(gSeen[0].Icon);
  EXPECT_EQ(gSeen[0].X, 120);
  EXPECT_EQ(gSeen[0].Y, 80);
  EXPECT_EQ(gSeen[0].Level, 1);
  // Disabled while the box was up; afterwards only what the box disabled is enabled again.
  EXPECT_FALSE(plainEnabledDuring);
  EXPECT_FALSE(disabledEnabledDuring);
  EXPECT_TRUE(IsWindowEnabled(Plain));
  EXPECT_FALSE(IsWindowEnabled(Disabled));
  EXPECT_EQ(MessageBoxX, -1);
  EXPECT_EQ(MessageBoxY, -1);
  EXPECT_EQ(ModalLevel(), 0);
  EXPECT_EQ(Phases, (std::vector<bool>{true, false}));
}

TEST_F(MessageBoxOnScreen, KindsCaptionsAndShortcuts) {
  ClickOnShow(L"OK");
  ShowWarningMessage(L"careful");
  ClickOnShow(L"OK");
  EXPECT_EQ(AppMessageBox(L"plain", mtCustom, {}, 0), IDOK);
  ClickOnShow(L"No");
  EXPECT_EQ(ShowLibraryMessageBox(L"Own caption", L"Sure?", mtConfirmation, {mbYes, mbNo}, 0), IDNO);

  ASSERT_EQ(gSeen.size(), 3u);
  EXPECT_EQ(gSeen[0].Caption, L"Warning");
  EXPECT_EQ(gSeen[0].Buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_TRUE(gSeen[0].Icon);
  EXPECT_EQ(gSeen[1].Caption, L"");  // custom kind: no caption, no icon
  EXPECT_EQ(gSeen[1].Buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_FALSE(gSeen[1].Icon);
  EXPECT_EQ(gSeen[1].X, -1);
  EXPECT_EQ(gSeen[2].Caption, L"Own caption");
  EXPECT_EQ(gSeen[2].Buttons, (std::vector<std::wstring>{L"Yes", L"No"}));
  EXPECT_TRUE(gSeen[2].Icon);
}

namespace {
HWND gHelpBox = nullptr;
// The help request as the box receives it (F1, or the Help button where the system wires
// it; Wine leaves that button unwired). It carries a pointer, so it is sent, not posted.
void CALLBACK AskHelpThenOK(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  HELPINFO info{sizeof(HELPINFO)};
  info.iContextType = HELPINFO_WINDOW;
  SendMessageW(gHelpBox, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  PostMessageW(ButtonOf(gHelpBox, L"OK"), BM_CLICK, 0, 0);
}
}  // namespace

TEST_F(MessageBoxOnScreen, OwnerAndHelpComeFromTheApplication) {
  std::vector<int> helpAsked;
  SetModalAppHooks({[] { return Plain; }, [&helpAsked](int context) { helpAsked.push_back(context); }});
  HWND owner = nullptr;
  gOnBox = [&owner](HWND box, const TBoxSeen&) {
    owner = GetWindow(box, GW_OWNER);
    gHelpBox = box;
    SetTimer(nullptr, 0, 10, AskHelpThenOK);
  };
  int answer = ShowLibraryMessageBox(nullptr, L"with help", mtInformation, {mbOK, mbHelp}, 77);
  SetModalAppHooks({});

  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(owner, Plain);
  ASSERT_EQ(gSeen.size(), 1u);
  EXPECT_EQ(gSeen[0].Buttons, (std::vector<std::wstring>{L"OK", L"Help"}));
  EXPECT_EQ(helpAsked, std::vector<int>{77});
}

namespace {
int gInnerAnswer = 0;
int gBetweenX = 0, gAfterInnerX = 0, gAfterInnerY = 0;
HWND gOuterBox = nullptr;

// Runs inside the outer box's message loop: opens a second box and closes the outer one.
void CALLBACK OpenInner(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  gBetweenX = MessageBoxX;
  gOnBox = [](HWND box, const TBoxSeen&) { PostMessageW(ButtonOf(box, L"OK"), BM_CLICK, 0, 0); };
  gInnerAnswer = ShowLibraryMessageBox(nullptr, L"inner", mtInformation, {mbOK}, 0, 300, 200);
  gAfterInnerX = MessageBoxX;
  gAfterInnerY = MessageBoxY;
  PostMessageW(ButtonOf(gOuterBox, L"Retry"), BM_CLICK, 0, 0);
}
}  // namespace

TEST_F(MessageBoxOnScreen, NestedBoxGivesTheOuterPositionBack) {
  gOnBox = [](HWND box, const TBoxSeen&) {
    gOuterBox = box;
    SetTimer(nullptr, 0, 10, OpenInner);
  };
  int answer = ShowLibraryMessageBox(nullptr, L"outer", mtWarning, {mbRetry}, 0, 50, 60);

  EXPECT_EQ(answer, IDRETRY);
  EXPECT_EQ(gInnerAnswer, IDOK);
  ASSERT_EQ(gSeen.size(), 2u);
  EXPECT_EQ(gSeen[1].X, 300);
  EXPECT_EQ(gSeen[1].Y, 200);
  EXPECT_EQ(gSeen[1].Level, 2);
  EXPECT_EQ(gBetweenX, 50);
  EXPECT_EQ(gAfterInnerX, 50);  // the outer box's values again, not -1
  EXPECT_EQ(gAfterInnerY, 60);
  EXPECT_EQ(MessageBoxX, -1);
  EXPECT_EQ(Phases, (std::vector<bool>{true, false}));  // one phase for the outermost box
  EXPECT_TRUE(IsWindowEnabled(Plain));
}
