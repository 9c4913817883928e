// The common handling of skinned owners: the library message, window and framework
// messages, hot state and the kind sets.
#include <gtest/gtest.h>

#include "CommonHandlingFixtures.h"
#include "skin/graphics/sMessages.h"
#include "platform/runtime/Exceptions.h"
#include "support/ShellHarness.h"

namespace {

LRESULT Dispatch(TsCommonData* state, WORD command, LPARAM lParam = 0, WORD low = 0, bool* handled = nullptr) {
  TMessage m{SM_SKINCOMMAND, SkinCommandWParam(command, low), lParam, 0};
  const bool h = DispatchSkinCommand(m, state);
  if (handled) *handled = h;
  return m.Result;
}

// A skin of the sections the tests name, each with two states of colours 0x202020/0x404040
// and font colours 0x010101/0x020202.
struct TCommonSkin : TTestSkin {
  TCommonSkin() : TTestSkin({L"EDIT", L"PANEL", L"GLASS", L"BUTTON"}) {
    for (auto& section : Data().gd) {
      section.Props[0].Color = 0x202020;
      section.Props[1].Color = 0x404040;
      section.Props[0].FontColor.Color = 0x010101;
      section.Props[1].FontColor.Color = 0x020202;
    }
    Data().gd[2].Props[0].Transparency = Data().gd[2].Props[1].Transparency = 100;  // GLASS
  }
};

}  // namespace

TEST(CommonHandling, LibraryMessageTable) {
  TCommonSkin skin;
  THiddenParent parent;
  auto* owner = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"EDIT");
  auto* child = new TSkinWin(parent.Form, true, owner);
  child->Handle();
  owner->Handle();
  TsCommonData* state = owner->State.get();
  ASSERT_EQ(state->SkinIndex, 0);
  const LPARAM own = reinterpret_cast<LPARAM>(skin.Manager);
  auto* other = new TsSkinManager(nullptr);
  const LPARAM foreign = reinterpret_cast<LPARAM>(other);

  struct TCase {
    const char* Name;
    std::function<void()> Setup;
    WORD Command, Low;
    std::function<LPARAM()> LParam;
    bool Handled;
    LRESULT Result;
    std::function<void()> Check;
  };
  int bounds[2] = {0, 0};
  TRect rect{1, 2, 3, 4};
  const std::wstring editName = L"EDIT", glassName = L"GLASS";
  std::vector<TCase> cases = {
      {"new skin from another manager leaves the state",
       [&] { state->InitCacheBitmap(); state->SkinIndex = 3; }, SKCMD_NEW_SKIN, 0, [&] { return foreign; }, true, 0,
       [&] { EXPECT_EQ(state->SkinIndex, 3); EXPECT_FALSE(state->FCacheBmp->Empty()); }},
      {"new skin from its own manager empties the cache and resolves the section", nullptr, SKCMD_NEW_SKIN, 0,
       [&] { return own; }, true, 0,
       [&] { EXPECT_EQ(state->SkinIndex, 0); EXPECT_TRUE(state->FCacheBmp->Empty()); }},
      {"skin removed is handled", nullptr, SKCMD_REMOVE_SKIN, 0, [&] { return own; }, true, 0,
       [&] { EXPECT_EQ(state->SkinIndex, -1); state->UpdateIndexes(true); }},
      {"section changed repaints a state written in lower case", [&] { state->FSkinSection = L"edit"; state->BGChanged = false; },
       SKCMD_SECTION_CHANGED, 0, [&] { return reinterpret_cast<LPARAM>(editName.c_str()); }, true, 0,
       [&] { EXPECT_TRUE(state->BGChanged); state->FSkinSection = L"EDIT"; }},
      {"section changed for another name does nothing", [&] { state->BGChanged = false; }, SKCMD_SECTION_CHANGED, 0,
       [&] { return reinterpret_cast<LPARAM>(glassName.c_str()); }, true, 0, [&] { EXPECT_FALSE(state->BGChanged); }},
      {"set updating", nullptr, SKCMD_SET_UPDATING, 1, [] { return LPARAM(0); }, true, 0,
       [&] { EXPECT_TRUE(state->FUpdating); }},
      {"clear updating", nullptr, SKCMD_SET_UPDATING, 2, [] { return LPARAM(0); }, true, 0,
       [&] { EXPECT_FALSE(state->FUpdating); }},
      {"set section without a name", nullptr, SKCMD_SET_SECTION, 0, [] { return LPARAM(0); }, true, 0, nullptr},
      {"density change runs on in the owner", nullptr, SKCMD_PPI_CHANGED, 0, [] { return LPARAM(144); }, false, 0,
       [&] { EXPECT_EQ(state->CurrentPPI, 144); }},
      {"density", nullptr, SKCMD_GET_PPI, 0, [] { return LPARAM(0); }, true, 144, [&] { state->CurrentPPI = 96; }},
      {"is skinned", nullptr, SKCMD_IS_SKINNED, 0, [] { return LPARAM(0); }, true, 1, nullptr},
      {"background varies", nullptr, SKCMD_BG_VARIES, 0, [] { return LPARAM(0); }, true, 1, nullptr},
      {"skin index into the second integer", nullptr, SKCMD_GET_SKIN_INDEX, 0,
       [&] { return reinterpret_cast<LPARAM>(bounds); }, true, 0, [&] { EXPECT_EQ(bounds[1], 0); }},
      {"bounds", nullptr, SKCMD_GET_BOUNDS, 0, [&] { return reinterpret_cast<LPARAM>(&rect); }, true, 0,
       [&] { EXPECT_EQ(rect, owner->BoundsRect()); }},
      {"paints its own background with an active skin", nullptr, SKCMD_PAINTS_OWN_BG, 0, [] { return LPARAM(0); },
       true, 1, nullptr},
      {"an opaque control without active skin does not", [&] {
         skin.Manager->SkinCommonInfo.Active = false;
         owner->SetControlStyle(owner->ControlStyle() | csOpaque);
       }, SKCMD_PAINTS_OWN_BG, 0, [] { return LPARAM(0); }, true, 0, [&] {
         owner->SetControlStyle(owner->ControlStyle() & ~csOpaque);
       }},
      {"a control that is not opaque does", nullptr, SKCMD_PAINTS_OWN_BG, 0, [] { return LPARAM(0); }, true, 1,
       [&] { skin.Manager->SkinCommonInfo.Active = true; }},
      {"drop cache reaches the windowed children", [&] { state->InitCacheBitmap(); child->Got.clear(); },
       SKCMD_DROP_CACHE, 0, [] { return LPARAM(0); }, true, 0, [&] {
         EXPECT_TRUE(state->FCacheBmp->Empty());
         EXPECT_TRUE(state->BGChanged);
         EXPECT_EQ(child->Count(SKCMD_DROP_CACHE), 1);
       }},
      {"parent moved passes on when the move repaints", [&] {
         child->Got.clear();
         skin.Data().gd[0].Props[0].Transparency = 50;
         parent.Form->Answers[SKCMD_BG_VARIES] = 1;
       }, SKCMD_PARENT_MOVED, 1, [] { return LPARAM(0); }, true, 0, [&] {
         EXPECT_EQ(child->Count(SKCMD_PARENT_MOVED), 1);
         skin.Data().gd[0].Props[0].Transparency = 0;
       }},
      {"is updating renders a stale cache", [&] { state->BGChanged = true; state->FCacheBmp->SetSize(0, 0); owner->Got.clear(); },
       SKCMD_IS_UPDATING, 0, [] { return LPARAM(0); }, true, 0, [&] {
         EXPECT_EQ(owner->Count(SKCMD_PREPARE_CACHE), 1);
         EXPECT_FALSE(state->BGChanged);
         EXPECT_EQ(state->FCacheBmp->Width(), owner->Width());
       }},
      {"unknown 0", nullptr, 0, 0, [] { return LPARAM(0); }, false, 0, nullptr},
      {"unknown 24", nullptr, 24, 0, [] { return LPARAM(0); }, false, 0, nullptr},
      {"unknown 88", nullptr, 88, 0, [] { return LPARAM(0); }, false, 0, nullptr},
  };
  for (TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.Setup) c.Setup();
    bool handled = false;
    EXPECT_EQ(Dispatch(state, c.Command, c.LParam(), c.Low, &handled), c.Result);
    EXPECT_EQ(handled, c.Handled);
    if (c.Check) c.Check();
  }
  // Set section with a name, and the own state.
  const std::wstring panel = L"panel";
  EXPECT_EQ(Dispatch(state, SKCMD_SET_SECTION, reinterpret_cast<LPARAM>(panel.c_str())), 1);
  EXPECT_EQ(state->SkinIndex, 1);
  EXPECT_EQ(Dispatch(state, SKCMD_GET_COMMON_DATA), reinterpret_cast<LRESULT>(state));

  // Without owner control the bounds are empty; a nil state and other messages are handled.
  TsCommonData bare(nullptr, false);
  TRect r{1, 1, 5, 5};
  Dispatch(&bare, SKCMD_GET_BOUNDS, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(r, TRect{});
  TMessage any{SM_SKINCOMMAND, SkinCommandWParam(88), 0, 0};
  EXPECT_TRUE(DispatchSkinCommand(any, nullptr));
  TMessage paint{WM_PAINT, 0, 0, 0};
  EXPECT_TRUE(DispatchSkinCommand(paint, state));
  TComponent::Free(other);
}

TEST(CommonHandling, WindowMessages) {
  TCommonSkin skin;
  THiddenParent parent;
  parent.Form->Show();
  auto* edit = new TCommonWin(parent.Form, parent.Form, COC_TsEdit, L"EDIT");
  edit->SetTabStop(true);
  HWND wnd = edit->Handle();
  TsCommonData* state = edit->State.get();

  // The UI state message is swallowed only while skinned.
  TMessage ui{WM_UPDATEUISTATE, 0, 0, 0};
  EXPECT_TRUE(HandleCommonWindowMessage(ui, state));
  TsCommonData unskinned(edit, false);
  unskinned.FSkinSection = L"MISSING";
  unskinned.UpdateIndexes(true);
  EXPECT_FALSE(HandleCommonWindowMessage(ui, &unskinned));

  // Creation puts the property on the window.
  RemovePropW(wnd, acCommonDataProp);
  TMessage create{WM_CREATE, 0, 0, 0};
  EXPECT_FALSE(HandleCommonWindowMessage(create, state));
  EXPECT_EQ(GetPropW(wnd, acCommonDataProp), state);

  // A size change: the bits live from the position change to the size message, which sends
  // sub-command 20 to the children when the background depends on the size.
  auto* child = new TSkinWin(parent.Form, true, edit);
  child->Handle();
  for (const auto& [bgType, expected] : {std::pair<std::uint16_t, int>{BGT_GRADIENT_HORZ, 1}, {0, 0}}) {
    state->BGType = bgType;
    child->Got.clear();
    SetWindowPos(wnd, nullptr, 0, 0, edit->Width() + 10, edit->Height(), SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(child->Count(SKCMD_PARENT_MOVED), expected) << bgType;
    if (expected) EXPECT_FALSE(state->CtrlSkinState & ACS_WIDTHCHANGING) << bgType;
  }
  state->CtrlSkinState &= ~ACS_WIDTHCHANGING;
  state->BGType = BGT_GRADIENT_HORZ;
  WINDOWPOS pos{wnd, nullptr, 0, 0, edit->Width() + 5, edit->Height(), SWP_NOMOVE};
  TMessage changing{WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos), 0};
  HandleCommonWindowMessage(changing, state);
  EXPECT_TRUE(state->CtrlSkinState & ACS_WIDTHCHANGING);
  EXPECT_FALSE(state->CtrlSkinState & ACS_HEIGHTCHANGING);
  state->CtrlSkinState &= ~ACS_WIDTHCHANGING;
  pos.flags = SWP_NOSIZE;
  HandleCommonWindowMessage(changing, state);
  EXPECT_FALSE(state->CtrlSkinState & (ACS_WIDTHCHANGING | ACS_HEIGHTCHANGING));

  // Focus on an edit writes the state 1 colours and asks for the frame; leaving gives state 0's.
  int ncPaints = 0;
  edit->SetMessageHandler(WM_NCPAINT, TMessageHandler([&](TMessage& m, const TInheritedHandler& inherited) {
                            ++ncPaints;
                            inherited(m);
                          }));
  SetFocus(wnd);
  EXPECT_TRUE(state->FFocused);
  EXPECT_EQ(edit->Color(), 0x404040);
  EXPECT_EQ(static_cast<TColor>(edit->Font.Color), 0x020202);
  EXPECT_GE(ncPaints, 1);
  EXPECT_FALSE(state->CtrlSkinState & ACS_SETTINGCOLORS);
  EXPECT_EQ(IsHot(state), 1);
  SetFocus(parent.Form->Handle());
  EXPECT_FALSE(state->FFocused);
  EXPECT_EQ(edit->Color(), 0x202020);

  // The colour-writing bit goes also when the owner's font handling raises.
  edit->SetMessageHandler(CM_FONTCHANGED, [](TMessage&) { throw Exception(L"font"); });
  TMessage focus{WM_SETFOCUS, 0, 0, 0};
  EXPECT_ANY_THROW(HandleCommonWindowMessage(focus, state));
  EXPECT_FALSE(state->CtrlSkinState & ACS_SETTINGCOLORS);
  edit->SetMessageHandler(CM_FONTCHANGED, [](TMessage&) {});
  state->FFocused = false;

  // A focused panel is not hot by its focus; a focused edit is.
  auto* panel = new TCommonPanel(parent.Form, parent.Form, COC_TsPanel, L"PANEL");
  SetFocus(panel->Handle());
  panel->State->FFocused = false;
  EXPECT_EQ(IsHot(panel->State.get()), 0);
  panel->State->FFocused = true;
  EXPECT_EQ(IsHot(panel->State.get()), 1);

  // Enable changes clear hover and focus.
  state->FMouseAbove = state->FFocused = true;
  TMessage enabled{CM_ENABLEDCHANGED, 0, 0, 0};
  HandleCommonWindowMessage(enabled, state);
  EXPECT_FALSE(state->FMouseAbove);
  EXPECT_FALSE(state->FFocused);

  // Hiding with the memory priority drops the caches down the children.
  skin.Manager->Options.OptimizingPriority = opMemory;
  state->InitCacheBitmap();
  child->Got.clear();
  TMessage hidden{CM_VISIBLECHANGED, 0, 0, 0};
  HandleCommonWindowMessage(hidden, state);
  EXPECT_TRUE(state->FCacheBmp->Empty());
  EXPECT_EQ(child->Count(SKCMD_DROP_CACHE), 1);
  state->FUpdating = true;
  TMessage shown{CM_VISIBLECHANGED, 1, 0, 0};
  HandleCommonWindowMessage(shown, state);
  EXPECT_FALSE(state->FUpdating);
  skin.Manager->Options.OptimizingPriority = opSpeed;
}

TEST(CommonHandling, HotStateByKindAndFlags) {
  TCommonSkin skin;
  THiddenParent parent;
  struct TCase {
    std::uint8_t Kind;
    bool MouseAbove, Focused, Enabled, NoMouseHover;
    int Hot;
  };
  const TCase cases[] = {
      {COC_TsCustom, true, false, true, false, 1},
      {COC_TsCustom, true, false, true, true, 0},   // no hover at all
      {COC_TsCustom, true, false, false, false, 0}, // disabled
      {18, true, false, true, false, 0},            // last kind without hot state
      {19, true, false, true, false, 0},            // without hover
      {20, true, false, true, false, 1},
      {75, true, false, true, false, 1},
      {76, true, false, true, false, 0},
      {231, true, false, true, false, 0},
      {231, false, true, true, false, 1},           // an edit is hot by its focus
      {161, true, false, true, false, 0},
      {162, true, false, true, false, 1},
  };
  auto* owner = new TCommonWin(parent.Form, parent.Form, COC_TsCustom, L"BUTTON");
  for (const TCase& c : cases) {
    owner->State->COC = c.Kind;
    owner->State->FMouseAbove = c.MouseAbove;
    owner->State->FFocused = c.Focused;
    owner->SetEnabled(c.Enabled);
    skin.Manager->Options.NoMouseHover = c.NoMouseHover;
    EXPECT_EQ(IsHot(owner->State.get()), c.Hot) << int(c.Kind);
  }
  skin.Manager->Options.NoMouseHover = false;
  EXPECT_EQ(IsHot(nullptr), 0);
}

TEST(CommonHandling, KindSetsAtTheirEdges) {
  struct TCase {
    const TacKindSet* Set;
    int Kind;
    bool In;
  };
  const TCase cases[] = {
      {&KindsWithoutHover, 18, false},     {&KindsWithoutHover, 19, true},      {&KindsWithoutHover, 50, false},
      {&KindsWithoutHover, 51, true},      {&KindsWithoutHover, 74, true},      {&KindsWithoutHover, 75, false},
      {&KindsWithoutHover, 161, true},     {&KindsWithoutHover, 162, false},    {&KindsWithoutHotState, 1, false},
      {&KindsWithoutHotState, 2, true},    {&KindsWithoutHotState, 85, true},   {&KindsWithoutHotState, 86, false},
      {&KindsWithoutHotState, 231, true},  {&KindsWithoutHoverGlow, 55, false}, {&KindsWithoutHoverGlow, 226, true},
      {&KindsWithStateColors, 84, true},   {&KindsWithStateColors, 85, false},  {&KindsWithFrameRefresh, 9, false},
      {&KindsWithFrameRefresh, 85, true},  {&KindsWithOwnGlow, 91, false},      {&KindsWithOwnGlow, 94, true},
      {&KindsWithOwnGlow, 95, false},
  };
  for (const TCase& c : cases) EXPECT_EQ(c.Set->Contains(static_cast<std::uint8_t>(c.Kind)), c.In) << c.Kind;
}

TEST(CommonHandling, MovesAskTheParentWhetherTheBackgroundVaries) {
  TCommonSkin skin;
  THiddenParent parent;
  auto* holder = new TSkinWin(parent.Form, true, parent.Form);
  holder->Handle();
  auto* owner = new TCommonWin(parent.Form, holder, COC_TsCustom, L"GLASS");
  owner->Handle();
  struct TCase {
    int Transparency;
    LRESULT ParentAnswer;
    bool Enabled;
    int Expected;
  };
  for (const TCase& c : {TCase{0, 1, true, 0}, TCase{50, 1, true, 1}, TCase{50, 0, true, 0}, TCase{0, 0, false, 1}}) {
    skin.Data().gd[2].Props[0].Transparency = c.Transparency;
    holder->Answers[SKCMD_BG_VARIES] = c.ParentAnswer;
    owner->SetEnabled(c.Enabled);
    EXPECT_EQ(RepaintIfMoved(owner->State.get()), c.Expected) << c.Transparency << " " << c.ParentAnswer;
  }
  EXPECT_EQ(RepaintIfMoved(nullptr), 1);
  EXPECT_TRUE(BackgroundVaries(nullptr));
}

TEST(CommonHandling, ContextMenuOpensTheControlsMenuSkinned) {
  TCommonSkin skin;
  THiddenParent parent;
  auto* edit = new TCommonWin(parent.Form, parent.Form, COC_TsEdit, L"EDIT");
  auto* menu = new TPopupMenu(parent.Form);
  menu->Items()->Add(new TMenuItem(parent.Form));
  edit->SetPopupMenu(menu);
  TsSkinManager* manager = edit->State->ReadSkinManager();
  ASSERT_NE(manager, nullptr);
  TMessage m{WM_CONTEXTMENU, 0, 0, 0};
  HandleCommonWindowMessage(m, edit->State.get());
  EXPECT_EQ(menu->OwnerDraw(), manager->Active() && manager->SkinnedPopups());
  EXPECT_TRUE(menu->OwnerDraw());
  EXPECT_EQ((*menu->Items())[0]->OnMeasureItem.Installer, manager->SkinableMenus.get());
}
