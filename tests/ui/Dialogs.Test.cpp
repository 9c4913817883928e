// Message dialogs under the window system: found by a CBT hook, their text read and OK clicked.
#include "platform/ui/Dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TDialogSeen {
  std::wstring Class;
  std::wstring Caption;
  std::vector<std::wstring> Texts;  // every child window's text, '&' removed
};

std::vector<TDialogSeen> gSeen;
bool gWatchdogFired = false;

std::wstring TextOf(HWND wnd) {
  wchar_t text[512] = {};
  GetWindowTextW(wnd, text, 512);
  std::wstring result;
  for (const wchar_t* p = text; *p; ++p)
    if (*p != L'&') result += *p;
  return result;
}

std::wstring ClassOf(HWND wnd) {
  wchar_t cls[64] = {};
  GetClassNameW(wnd, cls, 64);
  return cls;
}

bool IsDialogWindow(HWND wnd) {
  const std::wstring cls = ClassOf(wnd);
  return cls == L"#32770" || cls == MessageFormClassName;
}

// Runs once the dialog's loop handles messages: reads the dialog and clicks its OK button.
void CALLBACK ReadAndClick(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM) -> BOOL {
        if (!IsDialogWindow(wnd) || !IsWindowVisible(wnd)) return TRUE;
        TDialogSeen seen{ClassOf(wnd), TextOf(wnd), {}};
        HWND ok = nullptr;
        struct TWalk {
          TDialogSeen* Seen;
          HWND* Ok;
        } walk{&seen, &ok};
        EnumChildWindows(
            wnd,
            [](HWND child, LPARAM param) -> BOOL {
              auto* w = reinterpret_cast<TWalk*>(param);
              const std::wstring text = TextOf(child);
              if (!text.empty()) w->Seen->Texts.push_back(text);
              if (text == L"OK") *w->Ok = child;
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&walk));
        gSeen.push_back(seen);
        if (ok) PostMessageW(ok, BM_CLICK, 0, 0);
        return FALSE;
      },
      0);
}

HHOOK gHook = nullptr;
LRESULT CALLBACK CbtHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE && IsDialogWindow(reinterpret_cast<HWND>(wp))) SetTimer(nullptr, 0, 200, ReadAndClick);
  return CallNextHookEx(nullptr, code, wp, lp);
}

// Closes a dialog the test failed to answer, so the run never hangs.
void CALLBACK Watchdog(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  gWatchdogFired = true;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM) -> BOOL {
        if (IsDialogWindow(wnd)) PostMessageW(wnd, WM_CLOSE, 0, 0);
        return TRUE;
      },
      0);
}

class DialogsOnScreen : public testing::Test {
protected:
  void SetUp() override {
    gSeen.clear();
    gWatchdogFired = false;
    gHook = SetWindowsHookExW(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(gHook, nullptr);
    Watch = SetTimer(nullptr, 0, 15000, Watchdog);
  }
  void TearDown() override {
    KillTimer(nullptr, Watch);
    UnhookWindowsHookEx(gHook);
    UseLatestCommonDialogs = true;
    EXPECT_FALSE(gWatchdogFired) << "a dialog was left open";
  }
  static bool Holds(const TDialogSeen& seen, const std::wstring& text) {
    for (const std::wstring& t : seen.Texts)
      if (t == text) return true;
    return false;
  }
  UINT_PTR Watch = 0;
};

}  // namespace

TEST_F(DialogsOnScreen, SwitchOnShowsATaskDialog) {
  ASSERT_TRUE(UseLatestCommonDialogs);  // the default
  EXPECT_EQ(MessageDlg(L"Skin is newer", mtWarning, {mbOK}), mrOk);
  ASSERT_EQ(gSeen.size(), 1u);
  EXPECT_EQ(gSeen[0].Class, L"#32770");
  EXPECT_EQ(gSeen[0].Caption, L"Warning");
  EXPECT_TRUE(Holds(gSeen[0], L"Skin is newer"));
}

TEST_F(DialogsOnScreen, SwitchOffShowsAForm) {
  struct Case {
    bool Plain;
    const wchar_t* Text;
  } cases[] = {{true, L"Plain words"}, {false, L"A warning\r\non two lines"}};
  UseLatestCommonDialogs = false;
  for (const Case& c : cases) {
    gSeen.clear();
    if (c.Plain)
      ShowMessage(c.Text);
    else
      EXPECT_EQ(MessageDlg(c.Text, mtWarning, {mbOK}), mrOk);
    ASSERT_EQ(gSeen.size(), 1u) << c.Text;
    EXPECT_EQ(gSeen[0].Class, MessageFormClassName);
    EXPECT_EQ(gSeen[0].Caption, c.Plain ? std::wstring(L"test_ui") : std::wstring(L"Warning"));
    EXPECT_TRUE(Holds(gSeen[0], c.Text));
    EXPECT_TRUE(Holds(gSeen[0], L"OK"));
  }
}
