// The per-control skin state: its window property, manager, section, update nesting,
// colours, background type and scaling.
#include <gtest/gtest.h>

#include "SkinStateFixtures.h"
#include "skin/graphics/acColorAdjust.h"
#include "skin/graphics/acThdTimer.h"

namespace {

// A form with a skinned child whose state is not loading any more.
struct TOwnerOnForm {
  TSkinForm* Form;
  TSkinWin* Control;
  explicit TOwnerOnForm(std::uint8_t kind = COC_TsCustom) {
    Application().Initialize();
    Form = CreateComponent<TSkinForm>(nullptr);
    Form->Show();
    Control = new TSkinWin(Form, true, Form);
    Control->Handle();
    Control->State->COC = kind;
    Control->State->Loading = false;
  }
  TsCommonData& State() { return *Control->State; }
  ~TOwnerOnForm() { TComponent::Free(Form); }
};

}  // namespace

TEST(SkinState, TheWindowPropertyLivesExactlyAsLongAsTheStateAndItsWindow) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  form->Handle();
  // Made before its window: the property comes with the window.
  auto* control = new TSkinWin(form, true);
  EXPECT_EQ(control->State->OwnerHandle(), nullptr);
  control->SetParent(form);
  HWND wnd = control->Handle();
  EXPECT_EQ(GetPropW(wnd, acCommonDataProp), control->State.get());

  // The state goes first, while its owner is being destroyed (its handle then reads 0):
  // the property goes from the window all the same.
  control->SetDestroying(true);
  EXPECT_EQ(control->State->OwnerHandle(), nullptr);
  control->State.reset();
  EXPECT_TRUE(IsWindow(wnd));
  EXPECT_EQ(GetPropW(wnd, acCommonDataProp), nullptr);
  EXPECT_EQ(SendSkinCommand(wnd, SKCMD_IS_SKINNED, 0), 0);
  control->SetDestroying(false);

  // The control goes with its state: nothing of either stays behind.
  auto* second = new TSkinWin(form, true, form);
  HWND secondWnd = second->Handle();
  TComponent::Free(second);
  EXPECT_EQ(CommonDataOfWindow(secondWnd), nullptr);

  // A window destroyed under the state: the state's end touches nothing.
  auto* third = new TSkinWin(form, true, form);
  third->Handle();
  third->DestroyHandle();
  third->State.reset();
  TComponent::Free(form);
}

TEST(SkinState, ManagerLinks) {
  TTestSkin skin({L"EDIT"});
  ASSERT_EQ(DefaultManager(), skin.Manager);
  TOwnerOnForm owner;
  TsCommonData& state = owner.State();

  // The default manager is stored as none and still found.
  state.WriteSkinManager(skin.Manager);
  EXPECT_EQ(state.FSkinManager, nullptr);
  EXPECT_EQ(state.ReadSkinManager(), skin.Manager);

  // A manager of its own is forgotten when it is destroyed.
  auto* own = new TsSkinManager(nullptr);
  state.WriteSkinManager(own);
  EXPECT_EQ(state.FSkinManager, own);
  EXPECT_EQ(owner.Control->Got.back(), SKCMD_REMOVE_SKIN);  // it has no skin
  EXPECT_EQ(owner.Control->LParams.back(), reinterpret_cast<LPARAM>(own));
  TComponent::Free(own);
  EXPECT_EQ(state.FSkinManager, nullptr);
  EXPECT_EQ(state.ReadSkinManager(), skin.Manager);
  EXPECT_FALSE(state.Skinned());
}

TEST(SkinState, SectionNamesAndDefaultSections) {
  TTestSkin skin({L"EDIT", L"COMBOBOX", L"TSKINWIN", L"PANEL"});
  {
    TOwnerOnForm owner;
    TsCommonData& state = owner.State();
    struct TStep {
      const wchar_t* Name;
      int Refreshes;
    };
    // Stored upper case; an equal name does nothing, a differently written one runs again.
    for (const TStep& step : {TStep{L"edit", 1}, TStep{L"EDIT", 1}, TStep{L"Edit", 2}}) {
      state.WriteSkinSection(step.Name);
      EXPECT_EQ(state.SkinSection(), L"EDIT");
      EXPECT_EQ(state.SkinIndex, 0);
      EXPECT_EQ(owner.Control->Count(SKCMD_REFRESH), step.Refreshes) << step.Name;
    }
    state.WriteSkinSection(L"MISSING");
    EXPECT_EQ(state.SkinIndex, -1);
    EXPECT_EQ(owner.Control->Count(SKCMD_REMOVE_SKIN), 1);
  }
  // Without a name: by the kind.
  struct TKindCase {
    std::uint8_t Kind;
    LRESULT DefaultAnswer;
    const wchar_t* Section;
    int Index;
  };
  for (const TKindCase& c : {TKindCase{COC_TsComboBox, 0, L"COMBOBOX", 1},
                             TKindCase{COC_TsCustom, 0, L"TSKINWIN", 2},       // its class name
                             TKindCase{COC_TsPanel, 4, L"", 3}}) {             // asks its owner
    TOwnerOnForm owner(c.Kind);
    owner.Control->Answers[SKCMD_DEFAULT_SECTION] = c.DefaultAnswer;
    owner.State().InitSkinSection();
    EXPECT_EQ(owner.State().SkinSection(), c.Section) << int(c.Kind);
    EXPECT_EQ(owner.State().SkinIndex, c.Index) << int(c.Kind);
    EXPECT_EQ(owner.Control->Count(SKCMD_DEFAULT_SECTION), c.DefaultAnswer ? 1 : 0) << int(c.Kind);
  }
}

TEST(SkinState, UpdateNestingAndInvalidation) {
  TTestSkin skin({L"EDIT"});
  TOwnerOnForm owner;
  TsCommonData& state = owner.State();
  state.BeginUpdate();
  state.BeginUpdate();
  EXPECT_EQ(owner.Control->Count(SKCMD_UPDATE_BEGIN), 2);
  EXPECT_TRUE(state.CtrlSkinState & ACS_INUPDATE);
  state.EndUpdate();
  EXPECT_FALSE(state.FUpdating);
  EXPECT_FALSE(state.CtrlSkinState & ACS_INUPDATE);
  EXPECT_EQ(owner.Control->Count(SKCMD_UPDATE_END), 0);
  state.EndUpdate();
  EXPECT_EQ(owner.Control->Count(SKCMD_UPDATE_END), 1);

  // A graphic owner of kind 92 is repainted by SKCMD_INVALIDATE, but not while loading.
  auto* graphic = new TSkinGraphic(owner.Form, owner.Form);
  TsCommonData graphicState(graphic, false);
  graphicState.COC = COC_TsGraphicRepaint;
  graphicState.BGChanged = false;
  graphicState.Invalidate(true);
  EXPECT_TRUE(graphicState.BGChanged);
  EXPECT_EQ(graphic->Count(SKCMD_INVALIDATE), 0);
  graphicState.Loaded(false);
  graphicState.Invalidate(true);
  EXPECT_EQ(graphic->Count(SKCMD_INVALIDATE), 1);

  // Updating is asked of the parent.
  EXPECT_FALSE(state.IsUpdating());
  owner.Form->Answers[SKCMD_IS_UPDATING] = 1;
  EXPECT_TRUE(state.RecheckUpdating(true));
  EXPECT_TRUE(state.FUpdating);

  // The animation timer stops and goes with the state; destroyed first, it lets go of it.
  state.AnimTimer = NewComponent<TacThreadedTimer>(nullptr);
  state.AnimTimer->AnimData = &state;
  state.AnimTimer->WriteEnabled(true);
  state.AnimTimer->BmpOut = std::make_unique<TBitmap>();
  EXPECT_TRUE(state.IsAnimating());
  state.StopAnimation();
  EXPECT_FALSE(state.IsAnimating());
  EXPECT_EQ(state.AnimTimer->State, -1);
  EXPECT_EQ(state.AnimTimer->BmpOut, nullptr);
  delete state.AnimTimer;
  EXPECT_EQ(state.AnimTimer, nullptr);
}

TEST(SkinState, ColoursOfTheSectionReachTheOwnerAndTheWindowClass) {
  TTestSkin skin({L"EDIT"});
  TsGenState& normal = skin.Data().gd[0].Props[0];
  normal.Color = 0x00336699;
  normal.FontColor.Color = 0x00203040;
  HBRUSH brush = CreateSolidBrush(0x00336699);
  skin.Manager->Brushes[0] = brush;
  TOwnerOnForm owner(5);  // a kind with state colours
  TsCommonData& state = owner.State();
  TSkinWin& control = *owner.Control;
  state.WriteSkinSection(L"EDIT");
  int fontNotices = 0;
  control.SetMessageHandler(CM_FONTCHANGED, TMessageHandler([&](TMessage& m, const TInheritedHandler& inherited) {
                              ++fontNotices;
                              inherited(m);
                            }));

  control.SetColor(0x000000FF);
  state.UpdateColors(false);
  EXPECT_EQ(control.Color(), TColor(0x00336699));
  EXPECT_EQ(TColor(control.Font.Color), TColor(0x00203040));
  EXPECT_EQ(fontNotices, 0);  // without a tone the font colour is written quietly
  EXPECT_EQ(GetClassLongPtrW(control.Handle(), GCLP_HBRBACKGROUND), reinterpret_cast<ULONG_PTR>(brush));
  EXPECT_FALSE(state.CtrlSkinState & ACS_SETTINGCOLORS);

  // Hue first, then saturation.
  state.FHUEOffset = 120;
  state.FSaturation = -40;
  state.FColorTone = 0x00FF0000;
  state.UpdateColors(false);
  EXPECT_EQ(control.Color(), TColor(ChangeColorSaturation(ShiftColorHue(120, 0x00336699), -40)));
  EXPECT_EQ(fontNotices, 1);
  state.FHUEOffset = 0;
  state.FSaturation = 0;
  state.FColorTone = clNone;

  // The user's colour: kept when CustomColor goes off, given back when it comes on, and
  // never overwritten while it is on.
  state.SetCustomColor(true);
  control.SetColor(0x00010203);
  state.SetCustomColor(false);
  EXPECT_EQ(state.SavedColor, TColor(0x00010203));
  EXPECT_EQ(control.Color(), TColor(0x00336699));
  state.SetCustomColor(true);
  EXPECT_EQ(control.Color(), TColor(0x00010203));
  state.UpdateColors(false);
  EXPECT_EQ(control.Color(), TColor(0x00010203));

  // Not skinned: the class gets the button-face brush back.
  state.SkinIndex = 99;
  state.UpdateColors(false);
  EXPECT_EQ(GetClassLongPtrW(control.Handle(), GCLP_HBRBACKGROUND),
            reinterpret_cast<ULONG_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
  skin.Manager->Brushes[0] = nullptr;
  DeleteObject(brush);
}

TEST(SkinState, BackgroundTypeFromTexturesAndGradientsOfEverySkinData) {
  TTestSkin skin({L"EDIT"});
  TOwnerOnForm owner;
  TsCommonData& state = owner.State();
  auto texture = [&](TacSkinData& data, int drawMode) {
    data.ma.push_back(TsMaskData{});
    data.ma.back().DrawMode = static_cast<short>(drawMode);
    TsGenState& s = data.gd[0].Props[0];
    s.ImagePercent = 50;
    s.TextureIndex = static_cast<int>(data.ma.size()) - 1;
  };
  auto gradient = [](TacSkinData& data, int mode) {
    TsGenState& s = data.gd[0].Props[0];
    s.GradientPercent = 100;
    s.GradientArray = {TsGradPoint{0, mode, 0, 0}, TsGradPoint{1, mode, 0xFFFFFF, 100}};
  };
  struct TCase {
    int Texture, Gradient;
    std::uint16_t Expected;
  };
  for (const TCase& c : {TCase{1, -1, 0xF4}, TCase{11, -1, 0xA4}, TCase{13, -1, 0}, TCase{-1, 2, 0x03},
                         TCase{-1, 0, 0x02}, TCase{-1, 1, 0x01}}) {
    TacSkinData& data = skin.Data();
    data.gd[0].Props[0] = TsGenState{};
    data.ma.clear();
    if (c.Texture >= 0) texture(data, c.Texture);
    if (c.Gradient >= 0) gradient(data, c.Gradient);
    state.WriteSkinSection(L"");
    state.WriteSkinSection(L"EDIT");
    EXPECT_EQ(state.BGType, c.Expected) << c.Texture << " " << c.Gradient;
  }
  // Combined over every loaded skin data.
  skin.Data().gd[0].Props[0] = TsGenState{};
  texture(skin.Data(), 11);
  TacSkinData& second = skin.AddData({L"EDIT"});
  gradient(second, 2);
  state.UpdateBGType();
  EXPECT_EQ(state.BGType, 0xA7);
}

TEST(SkinState, SkinDataScalingAndDensities) {
  TTestSkin skin({L"EDIT"});
  TOwnerOnForm owner;
  TsCommonData& state = owner.State();
  state.WriteSkinSection(L"EDIT");
  EXPECT_TRUE(state.Skinned(true));
  // A ready owner caches the skin data of its density; one without parent does not.
  EXPECT_EQ(state.ReadCommonSkinData(), &skin.Data());
  EXPECT_EQ(state.FCommonSkinData, &skin.Data());
  TsCommonData loose(nullptr, false);
  loose.SkinIndex = 0;
  EXPECT_EQ(loose.ReadCommonSkinData(), &skin.Data());
  EXPECT_EQ(loose.FCommonSkinData, &skin.Data());  // no owner control: the main form's, cached
  auto* orphan = new TSkinWin(nullptr, true);
  orphan->State->SkinIndex = 0;
  EXPECT_EQ(orphan->State->ReadCommonSkinData(), &skin.Data());
  EXPECT_EQ(orphan->State->FCommonSkinData, nullptr);
  TComponent::Free(orphan);
  // Without an active skin nothing is cached.
  skin.Manager->SkinCommonInfo.Active = false;
  state.ReadCommonSkinData();
  EXPECT_EQ(state.FCommonSkinData, nullptr);
  EXPECT_FALSE(state.Skinned(true));
  skin.Manager->SkinCommonInfo.Active = true;

  struct TScaleCase {
    TsSkinManager::TacScaleMode Mode;
    int PixelsPerInch, Value, Expected;
  };
  for (const TScaleCase& c : {TScaleCase{TsSkinManager::sm125, 96, 10, 12}, TScaleCase{TsSkinManager::sm200, 96, 10, 20},
                              TScaleCase{TsSkinManager::smOldMode, 96, 10, 10},
                              TScaleCase{TsSkinManager::smCustomPPI, 144, 10, 15},
                              TScaleCase{TsSkinManager::smVCL, 96, 10, 10}}) {
    skin.Manager->Options.ScaleMode.Store(c.Mode);
    skin.Manager->Options.PixelsPerInch.Store(c.PixelsPerInch);
    EXPECT_EQ(ScaleForControl(c.Value, &state), c.Expected) << int(c.Mode);
  }
  skin.Manager->Options.ScaleMode.Store(TsSkinManager::smCustomPPI);
  skin.Manager->Options.PixelsPerInch.Store(144);
  skin.Manager->SkinCommonInfo.Active = false;
  EXPECT_EQ(state.EffectivePPI(), 144);
  skin.Manager->SkinCommonInfo.Active = true;
  skin.Manager->Options.ScaleMode.Store(TsSkinManager::smAuto);

  // Content shifts unless the manager and the section both say no.
  EXPECT_TRUE(ContentShiftsOnClick(0, &skin.Data()));
  skin.Manager->ButtonsOptions.ShiftContentOnClick = false;
  EXPECT_FALSE(ContentShiftsOnClick(0, &skin.Data()));
  skin.Data().gd[0].ShiftOnClick = true;
  EXPECT_TRUE(ContentShiftsOnClick(0, &skin.Data()));
  EXPECT_TRUE(ContentShiftsOnClick(5, &skin.Data()));
}

TEST(SkinState, ScrollSizesReachTheWindow) {
  Application().Initialize();
  auto* form = CreateComponent<TSkinForm>(nullptr);
  form->Handle();
  auto* control = new TSkinWin(form, false, form);
  int ncPaints = 0, frames = 0;
  control->SetMessageHandler(WM_NCPAINT, TMessageHandler([&](TMessage& m, const TInheritedHandler& inherited) {
                               ++ncPaints;
                               inherited(m);
                             }));
  control->SetMessageHandler(WM_NCCALCSIZE, TMessageHandler([&](TMessage& m, const TInheritedHandler& inherited) {
                               ++frames;
                               inherited(m);
                             }));
  control->Handle();
  TsScrollWndData data(control, false);
  ncPaints = frames = 0;
  data.VertScrollData()->SetButtonsSize(17);
  EXPECT_EQ(ncPaints, 1);
  EXPECT_EQ(frames, 0);
  data.VertScrollData()->SetButtonsSize(17);
  EXPECT_EQ(ncPaints, 1);
  data.HorzScrollData()->SetScrollWidth(12);
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(data.HorzScrollData()->ScrollWidth(), 12);
  TComponent::Free(form);
}
