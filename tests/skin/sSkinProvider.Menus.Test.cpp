// The form provider's menus on real forms: the skinned system menu built from the window's
// own system menu (texts, extra commands, the user submenu, the skin list), where and how it
// drops (open menus are driven from a timer that finds the "#32768" window, reads it and
// closes it), and the main menu's line (its height, its items in the non-client image, its
// wrapping, its hit code) with the menu messages that reach the form.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ReaderFixtures.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Resources.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "skin/controls/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/acSkinList.h"
#include "skin/manager/sConst.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sStoredSkins.h"
#include "support/MessagePump.h"

namespace {

// What reached the form's own procedure.
struct TRecorder {
  std::vector<TMessage> Got;
  TWndMethod Saved;
  void Proc(TMessage& m) {
    Got.push_back(m);
    if (Saved) Saved(m);
  }
  bool Saw(UINT msg, WPARAM wParam = WPARAM(-1)) const {
    return std::any_of(Got.begin(), Got.end(),
                       [&](const TMessage& m) { return m.Msg == msg && (wParam == WPARAM(-1) || m.WParam == wParam); });
  }
};

// A form whose own procedure is recorded from before the provider comes.
class TRecForm : public TForm {
public:
  explicit TRecForm(TComponent* owner) : TForm(owner) {
    SetBounds(60, 60, 360, 240);
    SetClientSize(360, 240);
    HookWindowProc(this, MakeWndMethod<&TRecorder::Proc>(&Rec), &Rec.Saved);
  }
  std::wstring ClassName() const override { return L"TRecForm"; }
  // The close is only noted: the form may be the application's main form.
  void FormClose(TCloseAction& action) override {
    Closed = true;
    action = TCloseAction::caNone;
  }
  TRecorder Rec;
  bool Closed = false;
};

// The names of the menu's top items, a separator or unnamed item by its caption.
std::vector<std::wstring> Names(TMenu* menu) {
  std::vector<std::wstring> names;
  for (TMenuItem* item : menu->Items()->Items()) names.push_back(item->Name.empty() ? item->Caption : item->Name);
  return names;
}

HWND OpenMenuWindow() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        wchar_t cls[16];
        if (GetClassNameW(w, cls, 16) && wcscmp(cls, L"#32768") == 0 && IsWindowVisible(w)) {
          *reinterpret_cast<HWND*>(p) = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Every 50 ms tick of a menu loop hands the open menu window to Step; when Step answers
// true the menu is closed (WM_CANCELMODE); after 80 ticks it is closed anyway.
std::function<bool(HWND)> gStep;
int gSeen = 0, gTicks = 0;
void CALLBACK StepTimer(HWND, UINT, UINT_PTR id, DWORD) {
  ++gTicks;
  HWND wnd = OpenMenuWindow();
  if (wnd) ++gSeen;
  if ((wnd && (!gStep || gStep(wnd))) || gTicks > 80) {
    KillTimer(nullptr, id);
    if (wnd) SendMessageW(wnd, WM_CANCELMODE, 0, 0);
    EndMenu();
  }
}
struct TMenuDriver {
  UINT_PTR Timer;
  explicit TMenuDriver(std::function<bool(HWND)> step) {
    gStep = std::move(step);
    gSeen = gTicks = 0;
    Timer = SetTimer(nullptr, 0, 50, StepTimer);
  }
  ~TMenuDriver() {
    KillTimer(nullptr, Timer);
    gStep = nullptr;
  }
};

class ProviderMenus : public testing::Test {
protected:
  void Start(const wchar_t* folder, const wchar_t* skin) {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    // The program's stored skin, as the program carries it.
    TsStoredSkin* stored = M->InternalSkins().Add();
    stored->Name = L"Lusmere II (internal)";
    stored->PackedData = std::make_unique<TResourceStream>(nullptr, L"SKIN_LUSMERE_II");
    M->SetSkinDirectory(ReaderFixture(folder));
    M->SetSkinName(skin);
    M->SetActive(true);
    ASSERT_TRUE(M->IsActive());
    Form = CreateComponent<TRecForm>(nullptr);
    P = NewComponent<TsSkinProvider>(Form);
    P->SkinManager = M;
  }
  void ShowForm() {
    ASSERT_TRUE(M->IsActive());
    Form->Show();
    PumpMessagesFor(100);
    ASSERT_TRUE(P->SystemMenu);
  }
  void TearDown() override {
    if (Other) TComponent::Free(Other);
    if (Form) TComponent::Free(Form);
    if (M) TComponent::Free(M);
    PumpMessages();
  }
  TsSkinManager* M = nullptr;
  TRecForm* Form = nullptr;
  TForm* Other = nullptr;
  TsSkinProvider* P = nullptr;
};

}  // namespace

// ---- system menu -----------------------------------------------------------------------

TEST_F(ProviderMenus, GenerateTakesTheWindowsTextsAndExtraCommands) {
  Start(L"skins", L"Tarvel Test");
  ShowForm();
  HWND wnd = Form->Handle();
  HMENU sys = GetSystemMenu(wnd, FALSE);
  ASSERT_NE(sys, nullptr);
  ASSERT_TRUE(AppendMenuW(sys, MF_STRING, 0x120, L"Cap\tCtrl+K"));
  ASSERT_TRUE(ModifyMenuW(sys, SC_MOVE, MF_BYCOMMAND | MF_STRING, SC_MOVE, L""));
  P->SystemMenu->UpdateItems(true);
  EXPECT_EQ(Names(P->SystemMenu.get()),
            (std::vector<std::wstring>{L"acIR", L"acIM", L"acIS", L"acIN", L"acIX", L"-", L"Cap", L"-", L"acIC"}));
  EXPECT_EQ(P->SystemMenu->ExtItemsCount, 1);
  // A standard command without text takes the localized caption; each carries its command.
  EXPECT_EQ(P->SystemMenu->ItemMove->Caption, acs_Move);
  EXPECT_FALSE(acs_Move.empty());
  EXPECT_EQ(P->SystemMenu->ItemClose->Tag, SC_CLOSE);
  EXPECT_EQ(P->SystemMenu->ItemClose->ShortCut, TextToShortCut(L"Alt+F4"));
  TMenuItem* cap = (*P->SystemMenu->Items())[6];
  EXPECT_EQ(cap->ShortCut, TShortCut(scCtrl | 'K'));
  EXPECT_EQ(cap->Tag, 0x120);
  // Its click posts the command to the form.
  Form->Rec.Got.clear();
  cap->Click();
  EXPECT_FALSE(Form->Rec.Saw(WM_SYSCOMMAND, 0x120));
  PumpMessages();
  EXPECT_TRUE(Form->Rec.Saw(WM_SYSCOMMAND, 0x120));
}

TEST_F(ProviderMenus, UserSubMenuAtItsPositionWithItsDividerAndCopiedItems) {
  Start(L"skins", L"Tarvel Test");
  ShowForm();
  auto* popup = new TPopupMenu(Form);
  auto* one = new TMenuItem(Form);
  one->Name = L"One";
  one->Caption = L"One";
  one->Checked = true;
  auto* two = new TMenuItem(Form);
  two->Name = L"Two";
  two->Caption = L"Two";
  one->Add(two);
  popup->Items()->Add(one);
  P->SysSubMenu().Caption = L"User";
  P->SysSubMenu().PopupMenu = popup;
  struct {
    TacMenuItemPos Pos;
    std::vector<std::wstring> Expected;
  } rows[] = {
      {ipTop, {L"ac_SubMenu", L"ac_TopDiv", L"acIR", L"acIM", L"acIS", L"acIN", L"acIX", L"-", L"acIC"}},
      {ipBeforeClose, {L"acIR", L"acIM", L"acIS", L"acIN", L"acIX", L"-", L"ac_SubMenu", L"ac_TopDiv", L"acIC"}},
      {ipBottom, {L"acIR", L"acIM", L"acIS", L"acIN", L"acIX", L"-", L"acIC", L"ac_BtmDiv", L"ac_SubMenu"}},
  };
  for (const auto& row : rows) {
    P->SysSubMenu().Position = row.Pos;
    P->SystemMenu->UpdateItems(true);
    EXPECT_EQ(Names(P->SystemMenu.get()), row.Expected) << row.Pos;
    TMenuItem* sub = P->SystemMenu->SubMenu;
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->Caption, L"User");
    ASSERT_EQ(sub->Count(), 1);
    EXPECT_EQ((*sub)[0]->Name, L"OneCopy");
    EXPECT_TRUE((*sub)[0]->Checked);
    ASSERT_EQ((*sub)[0]->Count(), 1);
    EXPECT_EQ((*(*sub)[0])[0]->Name, L"TwoCopy");
  }
  // Without a caption there is no user submenu.
  P->SysSubMenu().Caption.clear();
  P->SystemMenu->UpdateItems(true);
  EXPECT_EQ(P->SystemMenu->SubMenu, nullptr);
}

TEST_F(ProviderMenus, SkinListBreaksIntoColumnsOfTwentyAndChecksTheCurrentSkin) {
  Start(L"skins", L"Lusmere II (internal)");
  ShowForm();
  // A folder of packed skins that, with the stored ones, makes 45 names.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring dir = IncludeTrailingPathDelimiter(temp) + L"tarvel-skinlist-" +
                           std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(dir.c_str(), nullptr);
  M->SetSkinDirectory(dir);
  TacSkinNames names;
  M->GetSkinNames(names, false, stAllSkins);
  const int stored = static_cast<int>(names.size());
  ASSERT_LT(stored, 45);
  for (int i = 0; i < 45 - stored; ++i) {
    wchar_t name[64];
    swprintf(name, 64, L"\\Listed %02d.ovz", i);
    HANDLE f = CreateFileW((dir + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(f);
  }
  M->SetSkinDirectory(L"");
  M->SetSkinDirectory(dir);
  P->SystemMenu->MakeSkinItems();
  TMenuItem* root = (*P->SystemMenu->Items())[0];
  EXPECT_EQ(root->Name, L"SkinSelectItem");
  EXPECT_EQ(root->Caption, acs_AvailSkins);
  EXPECT_TRUE((*P->SystemMenu->Items())[1]->IsLine());
  ASSERT_EQ(root->Count(), 45);
  std::vector<int> breaks;
  int checked = -1;
  for (int i = 0; i < root->Count(); ++i) {
    TMenuItem* item = (*root)[i];
    EXPECT_EQ(item->Name, L"SkinSelectItem" + std::to_wstring(i));
    EXPECT_TRUE(item->RadioItem);
    if (item->Break == mbBreak) breaks.push_back(i);
    if (item->Checked) {
      EXPECT_EQ(checked, -1);
      EXPECT_TRUE(item->Default);
      checked = i;
    }
  }
  EXPECT_EQ(breaks, (std::vector<int>{20, 40}));
  ASSERT_GE(checked, 0);
  EXPECT_EQ((*root)[checked]->Caption, L"Lusmere II (internal)");
  M->SetSkinDirectory(L"");
  for (int i = 0; i < 45 - stored; ++i) {
    wchar_t name[64];
    swprintf(name, 64, L"\\Listed %02d.ovz", i);
    DeleteFileW((dir + name).c_str());
  }
  RemoveDirectoryW(dir.c_str());
}

TEST_F(ProviderMenus, ChoosingASkinDropsAmpersandsAndWhatFollowsTheInternalMark) {
  Start(L"skins", L"Tarvel Test");
  ShowForm();
  const wchar_t* captions[] = {L"Lus&mere II (internal)", L"Lusmere II (internal) copy"};
  for (const wchar_t* caption : captions) {
    M->SetSkinName(L"Tarvel Test");
    auto* item = new TMenuItem(Form);
    item->Caption = caption;
    P->SystemMenu->SkinSelect(item);
    EXPECT_EQ(M->SkinName(), L"Lusmere II (internal)") << caption;
    EXPECT_TRUE(M->IsActive());
  }
}

TEST_F(ProviderMenus, DropOnAFormThatIsNotActiveShowsNothing) {
  Start(L"skins", L"Tarvel Test");
  ShowForm();
  Other = CreateComponent<TForm>(nullptr);
  Other->SetClientSize(200, 120);
  Other->Show();
  SetActiveWindow(Other->Handle());
  PumpMessages();
  ASSERT_NE(Application().ActiveForm(), Form);
  for (bool skinned : {true, false}) {
    M->SetSkinnedPopups(skinned);
    TMenuDriver driver(nullptr);
    P->DropSysMenu(100, 100);
    EXPECT_EQ(gSeen, 0) << skinned;
  }
}

TEST_F(ProviderMenus, SkinnedDropShowsTheSkinnedSystemMenuOwnerDrawn) {
  Start(L"skins", L"Tarvel Test");
  ShowForm();
  SetActiveWindow(Form->Handle());
  PumpMessages();
  ASSERT_EQ(Application().ActiveForm(), Form);
  int items = -1;
  bool ours = true;
  COLORREF side = 0;
  RECT box{};
  {
    TMenuDriver driver([&](HWND wnd) {
      auto menu = reinterpret_cast<HMENU>(SendMessageW(wnd, 0x01E1 /* MN_GETHMENU */, 0, 0));
      items = GetMenuItemCount(menu);
      for (int i = 0; i < items; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        auto* item = LiveMenuItem(static_cast<LPARAM>(info.dwItemData));
        ours = ours && (info.fType & MFT_OWNERDRAW) && item && item->Owner() == P->SystemMenu.get();
      }
      GetWindowRect(wnd, &box);
      HDC dc = GetWindowDC(wnd);
      side = GetPixel(dc, 1, (box.bottom - box.top) / 2);
      ReleaseDC(wnd, dc);
      return true;
    });
    P->DropSysMenu(120, 120);
    EXPECT_GT(gSeen, 0);
  }
  EXPECT_GT(items, 5);
  EXPECT_TRUE(ours);
  EXPECT_EQ(box.left, 120);
  EXPECT_EQ(box.top, 120);
  // The frame of the menu window comes from the skin's "MAINMENU" section (side zone).
  EXPECT_EQ(side, RGB(0x30 + 0x40 * 1, 0x20, 0x10 + 0x0C * 14));
  EXPECT_EQ(P->SystemMenu->WindowHandle, nullptr);
}

TEST_F(ProviderMenus, UnskinnedDropShowsTheWindowsMenuEnabledByTheTableAndPostsTheChoice) {
  Start(L"skins", L"Tarvel Test");
  Form->SetBorderStyle(bsSingle);
  ShowForm();
  M->SetSkinnedPopups(false);
  HWND wnd = Form->Handle();
  ASSERT_TRUE(AppendMenuW(GetSystemMenu(wnd, FALSE), MF_STRING, 0x130, L"Extra"));
  SetActiveWindow(wnd);
  PumpMessages();
  struct TState {
    UINT Command;
    bool Enabled;
  } expected[] = {{SC_RESTORE, false}, {SC_MOVE, true},    {SC_SIZE, false},
                  {SC_MINIMIZE, true}, {SC_MAXIMIZE, true}, {SC_CLOSE, true}};
  std::vector<bool> enabled;
  bool visible = false;
  {
    TMenuDriver driver([&](HWND menuWnd) {
      HMENU sys = GetSystemMenu(wnd, FALSE);
      for (const TState& s : expected)
        enabled.push_back(!(GetMenuState(sys, s.Command, MF_BYCOMMAND) & (MF_DISABLED | MF_GRAYED)));
      visible = IsWindowVisible(wnd);
      // Up from no selection reaches the last item, the extra one, which Return chooses.
      PostMessageW(menuWnd, WM_KEYDOWN, VK_UP, 0);
      PostMessageW(menuWnd, WM_KEYDOWN, VK_RETURN, 0);
      return false;
    });
    Form->Rec.Got.clear();
    P->DropSysMenu(150, 150);
  }
  ASSERT_EQ(enabled.size(), std::size(expected));
  for (std::size_t i = 0; i < enabled.size(); ++i) EXPECT_EQ(enabled[i], expected[i].Enabled) << std::hex << expected[i].Command;
  EXPECT_TRUE(visible);
  PumpMessagesFor(100);
  EXPECT_TRUE(Form->Rec.Saw(WM_SYSCOMMAND, 0x130));
}

// ---- menu line -----------------------------------------------------------------------

namespace {

class TMenuLineForm : public TRecForm {
public:
  explicit TMenuLineForm(TComponent* owner) : TRecForm(owner) {
    Bar = new TMainMenu(this);
    for (const wchar_t* caption : {L"&File", L"&Edit", L"&View", L"&Tools", L"&Window", L"&Help"}) {
      auto* item = new TMenuItem(this);
      item->Caption = caption;
      auto* sub = new TMenuItem(this);
      sub->Caption = L"Item";
      item->Add(sub);
      Bar->Items()->Add(item);
    }
    SetMenu(Bar);
  }
  TMainMenu* Bar;
};

class MenuLine : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"formframe"));
    M->SetSkinName(L"Tarvel Frame");
    M->SetActive(true);
    ASSERT_TRUE(M->IsActive());
    Form = CreateComponent<TMenuLineForm>(nullptr);
    Form->SetClientSize(480, 260);
    P = NewComponent<TsSkinProvider>(Form);
    P->SkinManager = M;
    Form->Show();
    SetActiveWindow(Form->Handle());
    PumpMessagesFor(150);
  }
  void TearDown() override {
    TComponent::Free(Form);
    TComponent::Free(M);
    PumpMessages();
  }
  // The item's rectangle in the non-client image (window coordinates without a border form).
  TRect ItemRect(int index) {
    HWND wnd = Form->Handle();
    RECT r{}, w{};
    GetMenuItemRect(wnd, GetMenu(wnd), static_cast<UINT>(index), &r);
    GetWindowRect(wnd, &w);
    return TRect{r.left - w.left, r.top - w.top, r.right - w.left, r.bottom - w.top};
  }
  TsSkinManager* M = nullptr;
  TMenuLineForm* Form = nullptr;
  TsSkinProvider* P = nullptr;
};

// The "MENULINE" section of the frame skin: its colour on the active form, and the font
// colour of items that are not selected.
constexpr COLORREF kLine = RGB(0x40, 0x50, 0x40);
constexpr COLORREF kLineFont = RGB(0xE0, 0xE0, 0xE0);

COLORREF CachePixel(TsSkinProvider* p, int x, int y) {
  return GetPixel(p->FCommonData->FCacheBmp->Canvas().Handle(), x, y) & 0xFFFFFF;
}

}  // namespace

TEST_F(MenuLine, HeightIsTheSystemsMenuHeightAtTheWindowsDensityLessOne) {
  EXPECT_TRUE(HasMenuLine(P));
  EXPECT_TRUE(P->MenuPresent());
  EXPECT_EQ(P->MenuHeight(), SystemMetricForDpi(SM_CYMENU, WindowPPI(Form->Handle())) - 1);
  // An auto-merged menu, and a dialog-style form, show no line.
  Form->Bar->AutoMerge = true;
  EXPECT_FALSE(P->MenuPresent());
  EXPECT_EQ(P->MenuHeight(), 0);
  Form->Bar->AutoMerge = false;
}

TEST_F(MenuLine, ItemsAreDrawnIntoTheCacheAtTheirRectanglesOverTheLinesSection) {
  P->FCommonData->BGChanged = true;
  P->ProcessMessage(WM_NCPAINT, 0, 0);
  ASSERT_TRUE(P->FCommonData->FCacheBmp);
  ASSERT_EQ(P->LinesCount(), 1);
  const TRect first = ItemRect(0), last = ItemRect(5);
  ASSERT_GT(first.Width(), 0);
  // The line's section beyond the last item.
  const int y = (first.Top + first.Bottom) / 2;
  EXPECT_EQ(CachePixel(P, last.Right + 20, y), kLine);
  // Each item's caption in the line's font colour, inside the item.
  for (int index : {0, 5}) {
    const TRect r = ItemRect(index);
    int text = 0;
    for (int x = r.Left; x < r.Right; ++x)
      for (int yy = r.Top; yy < r.Bottom; ++yy)
        if (CachePixel(P, x, yy) == kLineFont) ++text;
    EXPECT_GT(text, 5) << index;
  }
  // The skinned menus knew the provider only while it painted.
  EXPECT_EQ(M->SkinableMenus->MenuProvider, nullptr);
  // The line answers the menu's hit code.
  RECT w{};
  GetWindowRect(Form->Handle(), &w);
  const LPARAM at = MAKELPARAM(w.left + first.Left + 3, w.top + y);
  EXPECT_EQ(P->ProcessMessage(WM_NCHITTEST, 0, at), HTMENU);
}

TEST_F(MenuLine, AWrappedBarCountsTwoLinesUntilTheCountIsReset) {
  Form->SetClientSize(150, 260);
  PumpMessagesFor(100);
  P->FLinesCount = -1;
  ASSERT_GT(ItemRect(5).Top, ItemRect(0).Top);  // Windows wrapped the bar
  EXPECT_EQ(P->LinesCount(), 2);
  Form->SetClientSize(600, 260);
  PumpMessages();
  P->FLinesCount = 2;  // kept until reset
  EXPECT_EQ(P->LinesCount(), 2);
  P->FLinesCount = -1;
  EXPECT_EQ(P->LinesCount(), 1);
}

TEST_F(MenuLine, MaximizedSizeCoversTheWorkAreaWithTheFrameOutside) {
  HWND wnd = Form->Handle();
  MINMAXINFO info{};
  Form->Perform(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  const TRect work = FormMonitorWorkArea(Form);
  const int a = SysBorderWidth(wnd, nullptr, false);
  EXPECT_EQ(info.ptMaxPosition.x, -a);
  EXPECT_EQ(info.ptMaxPosition.y, -a);
  EXPECT_EQ(info.ptMaxSize.x, work.Width() + 2 * a);
  EXPECT_EQ(info.ptMaxSize.y, work.Height() + 2 * a);
  EXPECT_TRUE(Form->Rec.Saw(WM_GETMINMAXINFO));
}

TEST_F(MenuLine, InitMenuPopupOfTheFormsMenuReachesTheForm) {
  HWND wnd = Form->Handle();
  HMENU sub = GetSubMenu(GetMenu(wnd), 0);
  for (bool skinned : {false, true}) {
    M->SetSkinnedPopups(skinned);
    Form->Rec.Got.clear();
    Form->Perform(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), 0);
    EXPECT_TRUE(Form->Rec.Saw(WM_INITMENUPOPUP)) << skinned;
  }
}

// ---- MDI: the window list and the cover of the MDI buttons ------------------------------

namespace {

class TMDIHost : public TRecForm {
public:
  explicit TMDIHost(TComponent* owner) : TRecForm(owner) {
    SetFormKind(fkMDIForm);
    Bar = new TMainMenu(this);
    auto* file = new TMenuItem(this);
    file->Caption = L"&File";
    auto* window = new TMenuItem(this);
    window->Caption = L"&Window";
    auto* tile = new TMenuItem(this);
    tile->Caption = L"&Tile";
    window->Add(tile);
    auto* open = new TMenuItem(this);
    open->Caption = L"&Open";
    file->Add(open);
    Bar->Items()->Add(file);
    Bar->Items()->Add(window);
    SetMenu(Bar);
    WindowMenu = window;
  }
  TMainMenu* Bar;
};

class MDIMenus : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    M = CreateComponent<TsSkinManager>(nullptr);
    M->SetSkinDirectory(ReaderFixture(L"formframe"));
    M->SetSkinName(L"Tarvel Frame");
    M->SetActive(true);
    ASSERT_TRUE(M->IsActive());
    Host = CreateComponent<TMDIHost>(nullptr);
    Host->SetClientSize(600, 420);
    P = NewComponent<TsSkinProvider>(Host);
    P->SkinManager = M;
    Host->Show();
    SetActiveWindow(Host->Handle());
    PumpMessagesFor(100);
    for (TForm*& child : Children) {
      child = CreateComponent<TForm>(nullptr);
      child->SetFormKind(fkMDIChild, Host);
      child->SetCaption(child == Children[0] ? L"First child" : L"Second child");
      child->SetClientSize(200, 120);
      child->Show();
    }
    PumpMessagesFor(100);
  }
  void TearDown() override {
    for (TForm* child : Children) TComponent::Free(child);
    TComponent::Free(Host);
    TComponent::Free(M);
    PumpMessages();
  }
  TsSkinManager* M = nullptr;
  TMDIHost* Host = nullptr;
  TForm* Children[2] = {};
  TsSkinProvider* P = nullptr;
};

// The visible top-level window of this thread made for the form named Name.
HWND FormWindowNamed(const wchar_t* Name) {
  struct TFind {
    const wchar_t* Name;
    HWND Found;
  } find{Name, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        auto* f = reinterpret_cast<TFind*>(p);
        auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(w));
        if (form && form->Name == f->Name && IsWindowVisible(w)) {
          f->Found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.Found;
}

}  // namespace

TEST_F(MDIMenus, TheWindowListIsRebuiltOnOpeningWithTheActiveChildChecked) {
  HWND wnd = Host->Handle();
  TForm* active = Host->ActiveMDIChild();
  ASSERT_NE(active, nullptr);
  for (int opening = 0; opening < 2; ++opening) {
    // As in a menu loop: the bar is not built again while it is open.
    Host->Perform(WM_ENTERMENULOOP, 0, 0);
    HMENU window = GetSubMenu(GetMenu(wnd), 1);
    ASSERT_NE(window, nullptr);
    Host->Rec.Got.clear();
    EXPECT_EQ(Host->Perform(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(window), 1), 0);
    EXPECT_FALSE(Host->Rec.Saw(WM_INITMENUPOPUP));
    // The opening menu shows the list at once: Tile, the separator and the two children.
    EXPECT_EQ(GetMenuItemCount(window), 4);
    Host->Perform(WM_EXITMENULOOP, 0, 0);
    // Tile, a separator and one entry per child, whatever the openings before left.
    TMenuItem* list = Host->WindowMenu;
    ASSERT_EQ(list->Count(), 4) << opening;
    EXPECT_TRUE((*list)[1]->IsLine());
    int checked = 0;
    for (int i = 2; i < 4; ++i) {
      TMenuItem* item = (*list)[i];
      EXPECT_TRUE(item->Tag & 0x200);
      TForm* child = Host->MDIChildren(static_cast<int>(item->Tag & ~0x200));
      ASSERT_NE(child, nullptr);
      EXPECT_EQ(item->Caption, child->Caption());
      EXPECT_EQ(item->Checked, child == active);
      checked += item->Checked;
    }
    EXPECT_EQ(checked, 1);
  }
  // A click on a listed child brings it forward.
  TMenuItem* other = (*Host->WindowMenu)[2]->Checked ? (*Host->WindowMenu)[3] : (*Host->WindowMenu)[2];
  other->Click();
  EXPECT_NE(Host->ActiveMDIChild(), active);
}

// The menu line opens with the icon of a maximized child that has one and a system menu.
TEST_F(MDIMenus, AMaximizedChildWithAnIconAndSystemMenuCounts) {
  ASSERT_EQ(MDISkinProvider, P);
  EXPECT_FALSE(MaxedMDIChildWithIcon());
  Children[1]->SetWindowState(wsMaximized);
  PumpMessagesFor(100);
  ASSERT_EQ(Host->ActiveMDIChild(), Children[1]);
  EXPECT_FALSE(MaxedMDIChildWithIcon());  // no icon of its own
  Children[1]->SetIcon(LoadIconW(nullptr, IDI_APPLICATION));
  EXPECT_TRUE(MaxedMDIChildWithIcon());
  Children[1]->SetBorderIcons(biMinimize | biMaximize);
  PumpMessagesFor(50);
  EXPECT_FALSE(MaxedMDIChildWithIcon());
}

TEST_F(MDIMenus, TheButtonsAreCoveredDuringAMenuLoopOfAMaximizedChild) {
  HWND wnd = Host->Handle();
  Children[1]->SetWindowState(wsMaximized);
  PumpMessagesFor(100);
  ASSERT_TRUE(Host->ActiveMDIChildMaximized());
  Host->Perform(WM_ENTERMENULOOP, 0, 0);
  EXPECT_TRUE(P->InMenu);
  HWND cover = FormWindowNamed(L"acMDIIcons");
  ASSERT_NE(cover, nullptr);
  RECT r{};
  GetWindowRect(cover, &r);
  EXPECT_EQ(r.right - r.left, 60);
  EXPECT_EQ(r.bottom - r.top, SystemMetricForDpi(SM_CYMENU, WindowPPI(wnd)) + 3);
  Host->Perform(WM_EXITMENULOOP, 0, 0);
  EXPECT_FALSE(P->InMenu);
  EXPECT_EQ(FormWindowNamed(L"acMDIIcons"), nullptr);
}
