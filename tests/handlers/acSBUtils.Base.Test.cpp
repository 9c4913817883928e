// The handler base on real windows: the factory of kinds, attaching and giving the window
// back (procedure, properties, class brush, visual style, font), the message rows before the
// skin test, the sub-command answers, a procedure subclassed over the handler, and failures
// inside the handler.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "HandlerFixtures.h"
#include "platform/ui/StdCtrls.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/handlers/acSBUtils.Scroll.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/sCommonData.h"

using namespace handler_tests;

namespace {

// A handler that records what reached it and can be told to throw.
class TProbeHandler : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  static inline int Saves = 0, Restores = 0;
  static inline UINT ThrowOn = 0;
  void SaveStdParams() override { ++Saves; }
  void RestoreStdParams() override {
    ++Restores;
    TacMainWnd::RestoreStdParams();
  }
  void acWndProc(TMessage& Message) override {
    if (ThrowOn && Message.Msg == ThrowOn) throw std::runtime_error("probe");
    TacMainWnd::acWndProc(Message);
  }
};

struct TThemeCall {
  HWND Wnd;
  bool Off;  // " ", " " (off) or none, none (given back)
};

class HandlerBase : public ::testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    ASSERT_TRUE(Skin.M->IsActive());
    Kinds.Add(L"TProbeHandler", MakerOf<TProbeHandler>());
    TProbeHandler::Saves = TProbeHandler::Restores = 0;
    TProbeHandler::ThrowOn = 0;
    Record() = TRecord{};
    SetHandlerThemeCall([this](HWND Wnd, LPCWSTR App, LPCWSTR Ids) {
      Themes.push_back(TThemeCall{Wnd, App != nullptr && std::wstring(App) == L" " && Ids && std::wstring(Ids) == L" "});
      return S_OK;
    });
  }
  void TearDown() override { SetHandlerThemeCall(nullptr); }
  TacMainWnd* Make(HWND Wnd, const TacSkinParams& Params = {}, const wchar_t* Kind = L"TProbeHandler") {
    return CreateHandler(Kind, Wnd, false, Params, Skin.M, nullptr);
  }
  TTestManager Skin;
  TKindScope Kinds;
  std::vector<TThemeCall> Themes;
};

}  // namespace

TEST_F(HandlerBase, UnregisteredKindYieldsNoHandler) {
  TRecorderWindow w;
  EXPECT_EQ(CreateHandler(L"TacNoSuchWnd", w.Wnd, false, {}, Skin.M, nullptr), nullptr);
  EXPECT_EQ(GetPropW(w.Wnd, acCommonDataProp), nullptr);
  EXPECT_TRUE(Themes.empty());
  TacMainWnd* h = Make(w.Wnd);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->KindName, L"TProbeHandler");
  EXPECT_EQ(TProbeHandler::Saves, 1);  // the descendant's operation ran in the creation steps
  FreeHandler(h);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(TProbeHandler::Restores, 1);  // and in the release steps
}

// Attach and release twice on the same window: the window gets back its procedure, its
// properties, its class's own brush (not the face colour) and its visual style each time.
TEST_F(HandlerBase, AttachAndReleaseGiveTheWindowBack) {
  TRecorderWindow w;
  const LONG_PTR proc = GetWindowLongPtrW(w.Wnd, GWLP_WNDPROC);
  const HBRUSH own = RecorderBrush();
  RECT client0{};
  GetClientRect(w.Wnd, &client0);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    Themes.clear();
    TacMainWnd* h = Make(w.Wnd);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetPropW(w.Wnd, acCommonDataProp), h->SkinData);
    ASSERT_EQ(Themes.size(), 1u);
    EXPECT_TRUE(Themes[0].Off);
    EXPECT_EQ(SendMessageW(w.Wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_HANDLER), 0),
              reinterpret_cast<LRESULT>(h));
    h->SetSkinParams();
    EXPECT_TRUE(h->ParamsChanged);
    EXPECT_NE(reinterpret_cast<HBRUSH>(GetClassLongPtrW(w.Wnd, GCLP_HBRBACKGROUND)), own);
    FreeHandler(h);
    EXPECT_EQ(GetWindowLongPtrW(w.Wnd, GWLP_WNDPROC), proc);
    EXPECT_EQ(GetPropW(w.Wnd, acCommonDataProp), nullptr);
    EXPECT_EQ(GetPropW(w.Wnd, acScrollHandlerProp), nullptr);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(w.Wnd, GCLP_HBRBACKGROUND)), own);
    ASSERT_EQ(Themes.size(), 2u);
    EXPECT_FALSE(Themes[1].Off);
    RECT client{};
    GetClientRect(w.Wnd, &client);
    EXPECT_TRUE(EqualRect(&client, &client0));
    EXPECT_EQ(SendMessageW(w.Wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_IS_SKINNED), 0), 0);
  }
}

// The class brush stays a live object even after the manager that coloured it is gone.
TEST_F(HandlerBase, ClassNeverHoldsADeletedBrush) {
  TRecorderWindow w;
  auto* second = new TTestManager();
  TacMainWnd* h = CreateHandler(L"TProbeHandler", w.Wnd, false, {}, second->M, nullptr);
  h->SetSkinParams();
  delete second;
  const auto held = reinterpret_cast<HBRUSH>(GetClassLongPtrW(w.Wnd, GCLP_HBRBACKGROUND));
  EXPECT_EQ(GetObjectType(held), static_cast<DWORD>(OBJ_BRUSH));
  FreeHandler(h);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(w.Wnd, GCLP_HBRBACKGROUND)), RecorderBrush());
}

TEST_F(HandlerBase, VisualStyleKeptByTheKindsThatDrawOverIt) {
  struct TCase {
    const wchar_t* Kind;
    const wchar_t* Section;
    bool DlgMode;
    bool SwitchedOff;
  } cases[] = {
      {L"TProbeHandler", L"", false, true},      {L"TacPanelWnd", L"", false, false},
      {L"TacSpinWnd", L"", false, false},        {L"TacMnuWnd", L"", false, false},
      {L"TProbeHandler", L"DIALOG", false, false}, {L"TProbeHandler", L"EDIT", true, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::wstring(c.Kind) + L" " + c.Section);
    Kinds.Add(c.Kind, MakerOf<TProbeHandler>());
    TRecorderWindow w;
    Themes.clear();
    TacSkinParams params;
    params.SkinSection = c.Section;
    acDlgMode = c.DlgMode;
    TacMainWnd* h = Make(w.Wnd, params, c.Kind);
    acDlgMode = false;
    EXPECT_EQ(h->DlgMode, c.DlgMode);
    EXPECT_EQ(!Themes.empty() && Themes[0].Off, c.SwitchedOff);
    FreeHandler(h);
  }
}

TEST_F(HandlerBase, SharedDataIsNeitherFreedNorCustomised) {
  TRecorderWindow w;
  TsCommonData shared(nullptr, true);
  shared.FCustomColor = shared.FCustomFont = false;
  TacSkinParams params;
  params.UseSkinColor = params.UseSkinFontColor = false;  // would make own data custom
  TacMainWnd* h = CreateHandler(L"TProbeHandler", w.Wnd, false, params, Skin.M, &shared);
  EXPECT_EQ(h->SkinData, &shared);
  EXPECT_FALSE(h->OwnSkinData);
  EXPECT_FALSE(shared.FCustomColor);
  EXPECT_FALSE(shared.FCustomFont);
  FreeHandler(h);
  shared.BGChanged = true;  // still ours to use
  TacMainWnd* own = Make(w.Wnd, params);
  EXPECT_TRUE(own->OwnSkinData);
  EXPECT_TRUE(own->SkinData->FCustomColor);
  EXPECT_TRUE(own->SkinData->FCustomFont);
  FreeHandler(own);
}

TEST_F(HandlerBase, SubCommandAnswers) {
  TRecorderWindow w;
  TacMainWnd* h = Make(w.Wnd);
  const std::wstring section = L"EDIT";
  struct TCase {
    WORD Command;
    LPARAM LParam;
    LRESULT Expected;
  } cases[] = {
      {SKCMD_IS_SKINNED, 0, 1},
      {SKCMD_IS_UPDATING, 0, 0},
      {SKCMD_GET_HANDLER, 0, reinterpret_cast<LRESULT>(h)},
      {SKCMD_SET_SECTION, reinterpret_cast<LPARAM>(section.c_str()), 1},
      {SKCMD_SET_SECTION, 0, 0},
      {SKCMD_GET_BG_COLOR, 0, static_cast<LRESULT>(h->SkinData->BackgroundColor(0, w.Wnd))},
      {SKCMD_GET_COMMON_DATA, 0, reinterpret_cast<LRESULT>(h->SkinData)},
      {SKCMD_GET_APPLICATION, 0, reinterpret_cast<LRESULT>(&Application())},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Command);
    EXPECT_EQ(SendMessageW(w.Wnd, SM_SKINCOMMAND, SkinCommandWParam(c.Command), c.LParam), c.Expected);
  }
  EXPECT_EQ(h->SkinData->SkinSection(), L"EDIT");
  HDC dc = GetDC(w.Wnd);
  SendMessageW(w.Wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_SET_PRINT_DC), reinterpret_cast<LPARAM>(dc));
  EXPECT_EQ(h->SkinData->PrintDC, dc);
  EXPECT_TRUE(h->SkinData->CtrlSkinState & ACS_PRINTING);
  SendMessageW(w.Wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_SET_PRINT_DC), 0);
  EXPECT_EQ(h->SkinData->PrintDC, nullptr);
  EXPECT_FALSE(h->SkinData->CtrlSkinState & ACS_PRINTING);
  ReleaseDC(w.Wnd, dc);
  // Library messages of another manager pass through to the window.
  Record().Messages.clear();
  SendMessageW(w.Wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REFRESH), 12345);
  EXPECT_TRUE(Record().Has(SM_SKINCOMMAND));
  FreeHandler(h);
}

TEST_F(HandlerBase, MessageRowsBeforeTheSkinTest) {
  TRecorderWindow w;
  TacMainWnd* h = Make(w.Wnd);
  Record().Messages.clear();
  SendMessageW(w.Wnd, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
  EXPECT_FALSE(Record().Has(WM_UPDATEUISTATE));
  HDC dc = GetDC(w.Wnd);
  Record().PaintAnswer = 77;
  EXPECT_EQ(SendMessageW(w.Wnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT), 77);
  EXPECT_TRUE(Record().Has(WM_PAINT));
  EXPECT_FALSE(Record().Has(WM_PRINTCLIENT));
  EXPECT_EQ(Record().LastPaintDC, dc);
  ReleaseDC(w.Wnd, dc);
  SetWindowTextW(w.Wnd, L"New caption");
  EXPECT_EQ(h->Caption, L"New caption");
  // REFRESH repaints, except while an animation paints.
  for (bool animating : {false, true}) {
    SCOPED_TRACE(animating);
    AnimationInProgress = animating;
    Record().Messages.clear();
    h->SkinData->BGChanged = false;
    SendMessageW(w.Wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REFRESH), reinterpret_cast<LPARAM>(Skin.M));
    AnimationInProgress = false;
    EXPECT_TRUE(h->SkinData->BGChanged);
    EXPECT_EQ(Record().Has(WM_PAINT), !animating);
  }
  FreeHandler(h);
}

// Another component subclasses the window over the handler; the handler is freed first.
// Messages and the destruction still reach both the component and the window.
TEST_F(HandlerBase, ProcedureSubclassedOnTopOutlivesTheHandler) {
  static int topSeen = 0, topDestroy = 0;
  topSeen = topDestroy = 0;
  const SUBCLASSPROC top = [](HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR Id, DWORD_PTR) -> LRESULT {
    ++topSeen;
    if (Msg == WM_DESTROY) ++topDestroy;
    if (Msg == WM_NCDESTROY) RemoveWindowSubclass(Wnd, reinterpret_cast<SUBCLASSPROC>(Id), Id);
    return DefSubclassProc(Wnd, Msg, WParam, LParam);
  };
  auto* w = new TRecorderWindow;
  TacMainWnd* h = Make(w->Wnd);
  ASSERT_TRUE(SetWindowSubclass(w->Wnd, top, reinterpret_cast<UINT_PTR>(top), 0));
  TacMainWnd* detached = h;
  DetachHandler(w->Wnd, true, false, detached);
  EXPECT_EQ(detached, nullptr);
  Record().Messages.clear();
  SendMessageW(w->Wnd, WM_USER + 5, 0, 0);
  EXPECT_TRUE(Record().Has(WM_USER + 5));
  EXPECT_GE(topSeen, 1);
  delete w;
  EXPECT_EQ(topDestroy, 1);
  EXPECT_TRUE(Record().Has(WM_DESTROY));
  EXPECT_TRUE(Record().Has(WM_NCDESTROY));
}

// The window dies under its handler: the destroy messages reach the window's own procedure
// once each, and the handler is detached.
TEST_F(HandlerBase, WindowDestroyedUnderItsHandler) {
  auto* w = new TRecorderWindow;
  TacMainWnd* h = Make(w->Wnd);
  Record().Messages.clear();
  delete w;
  EXPECT_EQ(Record().Count(WM_DESTROY), 1);
  EXPECT_EQ(Record().Count(WM_NCDESTROY), 1);
  EXPECT_TRUE(h->Destroyed);
  FreeHandler(h);
}

// A handler reached by a procedure that has no previous procedure (it was never subclassed
// through the base) re-sends the destroy message once, without entering itself again.
TEST_F(HandlerBase, DestroyResentWithoutPreviousProcedureDoesNotReenter) {
  auto* w = new TRecorderWindow;
  auto* h = new TProbeHandler(w->Wnd, false, {}, Skin.M, nullptr);
  static TacMainWnd* target = nullptr;
  static int entries = 0;
  target = h;
  entries = 0;
  const SUBCLASSPROC forward = [](HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR Id,
                                  DWORD_PTR) -> LRESULT {
    if (Msg == WM_NCDESTROY) RemoveWindowSubclass(Wnd, reinterpret_cast<SUBCLASSPROC>(Id), Id);
    if (Msg == WM_DESTROY) {
      if (++entries > 3) return DefSubclassProc(Wnd, Msg, WParam, LParam);  // the fault would loop
      return target->ProcessMessage(Msg, WParam, LParam);
    }
    return DefSubclassProc(Wnd, Msg, WParam, LParam);
  };
  SetWindowSubclass(w->Wnd, forward, reinterpret_cast<UINT_PTR>(forward), 0);
  Record().Messages.clear();
  delete w;
  EXPECT_EQ(entries, 2);  // the destruction and the one re-send
  delete h;
}

TEST_F(HandlerBase, ThrowingHandlerLeavesTheWindowWorking) {
  TRecorderWindow w;
  TacMainWnd* h = Make(w.Wnd);
  int reports = 0;
  Application().OnException = [&](const std::exception&) { ++reports; };
  TProbeHandler::ThrowOn = WM_USER + 9;
  EXPECT_EQ(SendMessageW(w.Wnd, WM_USER + 9, 0, 0), 0);
  TProbeHandler::ThrowOn = 0;
  Application().OnException = nullptr;
  EXPECT_EQ(reports, 1);  // reported through the application
  Record().Messages.clear();
  SendMessageW(w.Wnd, WM_USER + 10, 0, 0);
  EXPECT_TRUE(Record().Has(WM_USER + 10));
  FreeHandler(h);
}

// The font handed to the window stays alive while the window holds it; the window's own
// font comes back when the handler lets it go.
TEST_F(HandlerBase, FontGivenToTheWindowIsTakenBackAlive) {
  HWND edit = CreateWindowExW(0, L"EDIT", L"text", WS_POPUP | WS_VISIBLE, 10, 10, 100, 24, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  HFONT own = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, L"Tahoma");
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(own), 0);
  TacMainWnd* h = Make(edit);
  InitHandlerFont(h, true);
  auto given = reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0));
  ASSERT_NE(given, own);
  EXPECT_EQ(GetObjectType(given), static_cast<DWORD>(OBJ_FONT));
  LOGFONTW lf{};
  GetObjectW(given, sizeof lf, &lf);
  EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);  // ANSI without "MS Shell Dlg"
  InitHandlerFont(h, true);  // again: the first given font goes, the own one is still known
  FreeHandler(h);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)), own);
  EXPECT_EQ(GetObjectType(own), static_cast<DWORD>(OBJ_FONT));
  DestroyWindow(edit);
  DeleteObject(own);
}

TEST_F(HandlerBase, SubstitutedFaceIsCutTo31Characters) {
  TsSkinManager* m = DefaultManager();
  ASSERT_NE(m, nullptr);
  const TacFontMode mode = m->Fonts.MainMode.Get();
  const std::wstring font = m->Fonts.MainFont.Get();
  const std::wstring face40(40, L'F');
  m->Fonts.MainFont.Store(face40);
  m->Fonts.MainMode.Store(fmCustom);
  LOGFONTW lf{};
  std::wcscpy(lf.lfFaceName, L"Tahoma");
  ApplyFontSubstitution(lf);
  EXPECT_EQ(std::wstring(lf.lfFaceName), face40.substr(0, 31));
  m->Fonts.MainMode.Store(fmDefault);
  std::wcscpy(lf.lfFaceName, L"Tahoma");
  ApplyFontSubstitution(lf);
  EXPECT_EQ(std::wstring(lf.lfFaceName), L"Tahoma");
  m->Fonts.MainMode.Store(mode);
  m->Fonts.MainFont.Store(font);
}

// A framework control: the handler takes its WindowProc and gives it back in any order.
TEST_F(HandlerBase, FrameworkControlWindowProcTakenAndGivenBack) {
  TForm form(nullptr);
  form.SetBounds(20, 20, 200, 120);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  form.Show();
  const TWndMethod before = edit->WindowProc();
  TacSkinParams params;
  params.Control = edit;
  TacMainWnd* h = Make(edit->Handle(), params);
  EXPECT_EQ(edit->WindowProc(), h->HandlerMethod());
  EXPECT_EQ(h->OldWndProc, before);
  EXPECT_TRUE(edit->ControlStyle() & csOpaque);
  EXPECT_EQ(edit->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_GET_HANDLER), 0), reinterpret_cast<LRESULT>(h));
  FreeHandler(h);
  EXPECT_EQ(edit->WindowProc(), before);
  EXPECT_FALSE(edit->ControlStyle() & csOpaque);
  EXPECT_EQ(edit->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_IS_SKINNED), 0), 0);
}

// A framework control destroyed under its handler: the control hears its destruction once,
// through its own procedure again, and the handler is left detached with no links.
TEST_F(HandlerBase, FrameworkControlDestroyedUnderItsHandler) {
  TForm form(nullptr);
  form.SetBounds(20, 20, 200, 120);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  form.Show();
  static int destroys = 0;
  destroys = 0;
  TWndMethod saved;
  struct TCounter {
    TWndMethod* Saved;
    void Proc(TMessage& m) {
      if (m.Msg == WM_DESTROY) ++destroys;
      (*Saved)(m);
    }
  } counter{&saved};
  HookWindowProc(edit, MakeWndMethod<&TCounter::Proc>(&counter), &saved);
  TacSkinParams params;
  params.Control = edit;
  TacMainWnd* h = Make(edit->Handle(), params);
  edit->DestroyHandle();
  EXPECT_EQ(destroys, 1);
  EXPECT_TRUE(h->Destroyed);
  EXPECT_EQ(h->SkinData->FOwnerControl, nullptr);
  FreeHandler(h);
  UnhookWindowProc(edit, MakeWndMethod<&TCounter::Proc>(&counter));
}

// WM_CREATE and WM_NCCREATE put the skin state's property on the (new) window again.
TEST_F(HandlerBase, CreationMessagesPutTheSkinStateBack) {
  TRecorderWindow w;
  TacMainWnd* h = Make(w.Wnd);
  for (UINT msg : {UINT(WM_NCCREATE), UINT(WM_CREATE)}) {
    SCOPED_TRACE(msg);
    RemovePropW(w.Wnd, acCommonDataProp);
    h->SkinData->RemoveCommonProp();
    Record().Messages.clear();
    CREATESTRUCTW cs{};
    h->ProcessMessage(msg, 0, reinterpret_cast<LPARAM>(&cs));
    EXPECT_TRUE(Record().Has(msg));  // the window's own procedure answered first
    EXPECT_EQ(GetPropW(w.Wnd, acCommonDataProp), h->SkinData);
  }
  FreeHandler(h);
}

TEST_F(HandlerBase, ScrollHandlerLookupsByWindow) {
  TRecorderWindow w;
  EXPECT_EQ(HandlerOfWindow(w.Wnd), nullptr);
  EXPECT_FALSE(SetMinThumbSize(w.Wnd, 3, 20));
  EXPECT_EQ(ScrollBarOfWindow(w.Wnd, 0), nullptr);
  // "ACSBSC" on a window of another process is an address over there: never used.
  HWND foreign = GetDesktopWindow();
  DWORD pid = 0;
  GetWindowThreadProcessId(foreign, &pid);
  if (pid != GetCurrentProcessId()) {
    SetPropW(foreign, acScrollHandlerProp, reinterpret_cast<HANDLE>(0x1234));
    EXPECT_EQ(HandlerOfWindow(foreign), nullptr);
    RemovePropW(foreign, acScrollHandlerProp);
  }
  Kinds.Add(L"TacScrollProbe", MakerOf<TacScrollWnd>());
  TacMainWnd* h = Make(w.Wnd, {}, L"TacScrollProbe");
  EXPECT_EQ(HandlerOfWindow(w.Wnd), h);
  EXPECT_TRUE(SetMinThumbSize(w.Wnd, 3, 20));
  EXPECT_EQ(ScrollBarOfWindow(w.Wnd, 2), nullptr);
  auto* sw = static_cast<TacScrollWnd*>(h);
  DetachScrollHandler(w.Wnd, true, false, sw);
  EXPECT_EQ(sw, nullptr);
  EXPECT_EQ(HandlerOfWindow(w.Wnd), nullptr);
}

// REMOVE_SKIN from the handler's manager gives the window its standard look back at once.
TEST_F(HandlerBase, RemoveSkinRestoresTheStandardParameters) {
  TRecorderWindow w;
  TacMainWnd* h = Make(w.Wnd);
  h->SetSkinParams();
  const int restores = TProbeHandler::Restores;
  SendMessageW(w.Wnd, SM_SKINCOMMAND, SkinCommandWParam(SKCMD_REMOVE_SKIN), reinterpret_cast<LPARAM>(Skin.M));
  EXPECT_EQ(TProbeHandler::Restores, restores + 1);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(w.Wnd, GCLP_HBRBACKGROUND)), RecorderBrush());
  FreeHandler(h);
}
