// The engine's message box under the shell's own internal skin (without extended borders, as
// the shell runs under Wine), and again after the skin is removed: skinned with its caption, frame and close
// button while the skin is there, its own frame, close button and system menu after. With
// TARVEL_DIALOG_SHOT set each box stays up that many milliseconds, for a look at the screen.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "platform/runtime/Resources.h"
#include "platform/ui/Forms.h"
#include "skin/graphics/acMessageBox.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sStoredSkins.h"
#include "support/MessagePump.h"

namespace {

int ShotPause() {
  const char* v = std::getenv("TARVEL_DIALOG_SHOT");
  return v ? std::atoi(v) : 0;
}

std::function<void(HWND)> gLook;
bool gLooked = false;

void ShowBoxAndLook(const wchar_t* Caption) {
  gLooked = false;
  static const wchar_t* caption;
  caption = Caption;
  const UINT_PTR finder = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", caption);
    if (!box || !IsWindowVisible(box) || gLooked) return;
    KillTimer(nullptr, id);
    gLooked = true;
    PumpMessagesFor(300 + ShotPause());
    if (gLook) gLook(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  ShowLibraryMessageBox(Caption, L"The update was installed. The kiosk restarts in one minute.", mtInformation,
                        {mbOK}, 0, 420, 300);
  KillTimer(nullptr, finder);
  PumpMessages();
}

}  // namespace

TEST(DialogHandlerShot, LibraryMessageBoxUnderTheInternalSkinAndAfterRemoval) {
  Application().Initialize();
  SkinEngineStartup();
  auto* m = CreateComponent<TsSkinManager>(nullptr);
  TsStoredSkin* skin = m->InternalSkins().Add();
  skin->Name = L"Lusmere II (internal)";
  skin->PackedData = std::make_unique<TResourceStream>(nullptr, L"SKIN_LUSMERE_II");
  m->SetExtendedBorders(false);
  m->SetSkinName(L"Lusmere II (internal)");
  m->SetActive(true);
  ASSERT_TRUE(m->IsActive());
  m->InstallHook();

  bool skinned = false;
  LONG style = 0;
  gLook = [&](HWND box) {
    skinned = FindDialogProvider(box) != nullptr;
    style = GetWindowLongW(box, GWL_STYLE);
  };
  ShowBoxAndLook(L"Tarvel update");
  EXPECT_TRUE(skinned);
  EXPECT_EQ(style & WS_SYSMENU, 0);  // the skinned caption has the close button

  m->SetActive(false);
  ShowBoxAndLook(L"Tarvel update");
  EXPECT_FALSE(skinned);
  EXPECT_NE(style & WS_SYSMENU, 0);
  gLook = nullptr;
  TComponent::Free(m);
  PumpMessages();
  SkinEngineCleanup();
}
