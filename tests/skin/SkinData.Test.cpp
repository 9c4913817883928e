// Sections of a loaded skin: states, inheritance, the manager's extra sections, the two
// sections every skin has, and the mask and texture lookups. The skins are option texts
// handed to the manager as an editor's preview.
#include "skin/manager/sSkinData.h"

#include <gtest/gtest.h>

#include "platform/runtime/Strings.h"
#include "skin/manager/sSkinManager.h"

namespace {

// Loads a text as the preview skin into a new manager.
class Loaded {
public:
  explicit Loaded(const std::wstring& text, std::vector<std::wstring> common = {}) {
    manager.CommonSections = std::move(common);
    manager.Palette[pcLabelText] = 0x123456;
    PreviewSkinText = std::make_unique<std::vector<std::wstring>>(SplitString(text, L'\n'));
    manager.SetSkinName(L"Preview");  // loads
    data = manager.CommonSkinData();
    PreviewSkinText.reset();
  }
  const TsGeneralData& Section(const wchar_t* name) const {
    const int i = data->GetSkinIndex(name);
    EXPECT_GE(i, 0) << name;
    return data->gd.at(i);
  }
  TsSkinManager manager;
  TacSkinData* data = nullptr;
};

}  // namespace

TEST(SkinData, SectionsAndTheirStates) {
  Loaded skin(
      L"[GLOBALINFO]\nCOLOR=4660\n"
      L"[ONE]\nSTATES=1\nCOLOR=100\nHOTCOLOR=200\nFONTCOLOR=5\nGRADIENTDATA=abc\nGRADIENTPERCENT=40\n"
      L"[BASE]\nCOLOR=300\nTCLEFT=9\nGLOWMARGIN=7\n"
      L"[CHILD]\nPARENTCLASS=BASE\nUSESTATE2=1\nCOLOR2=400\nOUTOFFST=3\n"
      L"[ZERO]\nSTATES=0\n"
      L"[TRANSPARENT]\nCOLOR=77\n");
  const TsGeneralData& one = skin.Section(L"ONE");
  EXPECT_EQ(one.Props[1].Color, 100);  // one state: the others are copies of it
  EXPECT_EQ(one.Props[2].Color, 100);
  EXPECT_EQ(one.Props[0].GradientPercent, 0);  // a gradient text under 4 characters
  EXPECT_EQ(one.Props[0].FontColor.Color, 5);

  const TsGeneralData& child = skin.Section(L"CHILD");
  EXPECT_EQ(child.ParentClass, L"BASE");
  EXPECT_EQ(child.Props[0].Color, 300);               // inherited
  EXPECT_EQ(child.Props[1].Color, 0xFFFFFF);          // HOTCOLOR missing everywhere
  EXPECT_EQ(child.Props[1].FontColor.Left, -1);       // the hot state's default, not the normal one's
  EXPECT_EQ(child.Props[0].FontColor.Left, 9);
  EXPECT_TRUE(child.UseState2);
  EXPECT_EQ(child.Props[2].Color, 400);
  EXPECT_EQ(child.OuterOffset, Rect(-1, 3, -1, -1));  // missing offsets stay -1 before scaling
  EXPECT_EQ(child.OuterOpacity, 200);
  EXPECT_EQ(child.States, 3);
  EXPECT_EQ(child.GlowMargin, 7);  // no masks: not scaled

  const TsGeneralData& zero = skin.Section(L"ZERO");
  EXPECT_EQ(zero.States, 0);  // kept as written
  for (int state : {-1, 0, 1, 2, 5}) EXPECT_EQ(zero.PropsIndex(state), 0);
  EXPECT_EQ(one.PropsIndex(2), 0);
  EXPECT_EQ(child.PropsIndex(7), 2);
  EXPECT_EQ(child.PropsIndex(-3), 0);

  // An own TRANSPARENT is kept; MAINCOLOR is appended after all sections.
  EXPECT_EQ(skin.Section(L"TRANSPARENT").Props[0].Color, 77);
  ASSERT_EQ(skin.data->gd.back().ClassName, L"MAINCOLOR");
  EXPECT_EQ(skin.data->gd.back().Props[0].Color, 4660);  // GLOBALINFO COLOR
  EXPECT_EQ(skin.data->gd.back().Props[0].FontColor.Color, 0x123456);
  EXPECT_EQ(skin.data->gd.back().States, 1);
}

TEST(SkinData, TransparentIsAddedWhenMissing) {
  Loaded skin(L"[FORM]\nCOLOR=1\n");
  ASSERT_EQ(skin.data->gd.size(), 3u);
  EXPECT_EQ(skin.data->gd[1].ClassName, L"TRANSPARENT");
  EXPECT_EQ(skin.data->gd[1].Props[2].Transparency, 100);
  EXPECT_EQ(skin.data->gd[1].Props[0].FontColor.Color, 0x123456);  // the label colour as it stands
  EXPECT_EQ(skin.data->gd[1].Props[0].FontColor.Top, -1);
}

TEST(SkinData, CommonSectionsAddNewNamesOnly) {
  Loaded skin(L"[BUTTON]\nCOLOR=10\nHOTCOLOR=11\nUSESTATE2=1\nCOLOR2=12\nGLOW=2\n",
              {L"[BUTTON]", L"COLOR=99", L"[MYBUTTON]", L"PARENTCLASS=button", L"HOTCOLOR=55", L"GIVEOWNFONT=true",
               L"[PLAIN]", L"STATES=1", L"COLOR=-5"});
  EXPECT_EQ(skin.Section(L"BUTTON").Props[0].Color, 10);  // an existing name changes nothing
  const TsGeneralData& mine = skin.Section(L"MYBUTTON");
  EXPECT_EQ(mine.ParentClass, L"BUTTON");
  EXPECT_EQ(mine.Props[0].Color, 10);  // from the template
  EXPECT_EQ(mine.Props[1].Color, 55);
  EXPECT_TRUE(mine.UseState2);  // the parent's in the skin
  EXPECT_EQ(mine.Props[2].Color, 12);
  EXPECT_EQ(mine.GlowCount, 2);
  EXPECT_TRUE(mine.GiveOwnFont);
  const TsGeneralData& plain = skin.Section(L"PLAIN");
  EXPECT_EQ(plain.ParentClass, L"-1");
  EXPECT_EQ(plain.Props[0].Color, 0xFFFFFF);  // a negative value gives the default
  EXPECT_EQ(plain.Props[1].Color, 0xFFFFFF);
}

TEST(SkinData, MaskAndTextureLookupsFollowParents) {
  Loaded skin(L"[A]\nPARENTCLASS=B\n[B]\nPARENTCLASS=C\n[C]\nPARENTCLASS=A\n[D]\n");
  TacSkinData& d = *skin.data;
  const int a = d.GetSkinIndex(L"A"), b = d.GetSkinIndex(L"B"), c = d.GetSkinIndex(L"C");
  EXPECT_EQ(d.GetSkinIndex(L"a"), -1);
  const int border = d.AddMask(c, L"BORDERSMASK", 0, 0, 1, Rect(0, 0, 4, 4), itisaBorder, L"C");
  const int texture = d.AddMask(b, L"PATTERN", 0, 0, 1, Rect(0, 0, 4, 4), itisaTexture, L"B");
  EXPECT_EQ(d.ma[border].Manager, &skin.manager);
  EXPECT_EQ(d.ma[border].MulPPi, 96);
  EXPECT_EQ(d.GetMaskIndex(a, L"BORDERSMASK"), border);  // A -> B -> C
  EXPECT_EQ(d.GetMaskIndex(a, L"GLYPHMASK"), -1);        // the cycle ends the walk
  EXPECT_EQ(d.GetMaskIndex(-1, L"BORDERSMASK"), -1);
  EXPECT_EQ(d.GetMaskIndex(L"C", L"BORDERSMASK"), border);
  EXPECT_EQ(d.GetMaskIndex(L"A", L"BORDERSMASK"), -1);  // by section name: no parents
  EXPECT_EQ(d.GetMaskIndex(L"", L"BORDERSMASK"), -1);
  EXPECT_EQ(d.GetTextureIndex(a, L"A", L"PATTERN"), texture);
  EXPECT_EQ(d.GetTextureIndex(a, L"PATTERN"), texture);
  EXPECT_EQ(d.GetTextureIndex(a, L"BORDERSMASK"), -1);  // not a texture
  EXPECT_EQ(d.GetTextureIndex(d.GetSkinIndex(L"D"), L"D", L"PATTERN"), -1);
}
