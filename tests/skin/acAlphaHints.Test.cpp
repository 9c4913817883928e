// Hint templates: the "OVhh" stream's reader and writer over good and damaged streams drawn
// by tools/make_skin.py, and the default template's picture that the program carries.
#include <gtest/gtest.h>

#include "ReaderFixtures.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Resources.h"
#include "skin/controls/acAlphaHints.h"
#include "skin/graphics/acPNG.h"

namespace {

TacHintTemplateData ReadFixture(const std::string& name) {
  TMemoryStream s(ReaderFixtureBytes(L"hints\\" + AnsiToWide(name) + L".ovhh"));
  auto data = ReadHintTemplateStream(s);
  if (!data) throw std::runtime_error("no template in " + name);
  return *data;
}

TEST(HintTemplateStream, GoodDamagedAndForeignStreams) {
  const auto cases = ReaderFixtureCases(L"hints\\cases.txt");
  ASSERT_GT(cases.size(), 10u);
  for (const auto& [name, outcome] : cases) {
    SCOPED_TRACE(name);
    TMemoryStream s(ReaderFixtureBytes(L"hints\\" + AnsiToWide(name) + L".ovhh"));
    if (outcome == "error") {
      EXPECT_THROW(ReadHintTemplateStream(s), Exception);
      continue;
    }
    const auto data = ReadHintTemplateStream(s);
    if (outcome == "unknown") {
      EXPECT_FALSE(data.has_value());
      continue;
    }
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(data->SingleImage(), outcome == "ok-single");
    EXPECT_FALSE(data->Images[hiDefault].Picture.empty());
  }
}

TEST(HintTemplateStream, FieldsReadAsStoredAndNamesAreCut) {
  const TacHintTemplateData four = ReadFixture("four");
  EXPECT_EQ(four.FontColor, 0x102030);
  EXPECT_EQ(four.FontSize, 9);
  EXPECT_EQ(four.FontStyle, acHintBold);
  EXPECT_EQ(four.FontName, "Tahoma");
  const TacHintImageData& def = four.Images[hiDefault];
  EXPECT_EQ(def.BordersWidths, (TacBordersSizes{10, 11, 14, 15}));
  EXPECT_EQ(def.ClientMargins, (TacBordersSizes{8, 11, 16, 15}));
  EXPECT_EQ(def.ShadowSizes, (TacBordersSizes{5, 6, 7, 8}));
  EXPECT_EQ(def.BorderDrawModes.Top(), dmRepeat);
  EXPECT_EQ(def.BorderDrawModes.Right(), dmRepeat);
  EXPECT_EQ(def.BorderDrawModes.FCenter, 7);  // kept as stored ...
  EXPECT_EQ(def.BorderDrawModes.Center(), dmStretch);  // ... and drawn as stretch
  const TacHintImageData& rightTop = four.Images[hiRightTop];
  EXPECT_EQ(rightTop.BordersWidths.FTop, -3);  // kept as stored ...
  EXPECT_EQ(rightTop.BordersWidths.Top(), 0);  // ... and read as 0
  EXPECT_EQ(four.Images[hiLeftBottom].PictureKind, acHintPictureBmp);

  EXPECT_EQ(ReadFixture("longname").FontName, std::string(63, 'N'));
  // The reader kept its place after the long name: the image record behind it is whole.
  EXPECT_EQ(ReadFixture("longname").Images[hiDefault].BordersWidths, (TacBordersSizes{10, 11, 14, 15}));
}

TEST(HintTemplateStream, WritesFlagOneAndCornerRecordsOnlyForFourImages) {
  for (const char* name : {"single", "four", "noflag"}) {
    SCOPED_TRACE(name);
    TacHintTemplateData data = ReadFixture(name);
    data.FontColor = -16777192;  // a system colour is written as black
    TMemoryStream out;
    out.Write("stale bytes that must go");
    WriteHintTemplateStream(out, data);
    out.SetPosition(0);
    const std::string bytes = out.ReadToEnd();
    ASSERT_GT(bytes.size(), 18u);
    EXPECT_EQ(bytes.substr(0, 5), "OVhh1");
    EXPECT_EQ(bytes.substr(5, 4), std::string(4, '\0'));
    const std::size_t record = 58;
    std::size_t expected = 18 + data.FontName.size() + record + data.Images[hiDefault].Picture.size();
    if (!data.SingleImage())
      for (int i : {hiRightTop, hiRightBottom, hiLeftBottom}) expected += record + data.Images[i].Picture.size();
    EXPECT_EQ(bytes.size(), expected);
    const auto back = ReadHintTemplateStream(out);
    ASSERT_TRUE(back.has_value());
    data.FontColor = 0;
    EXPECT_EQ(*back, data);
  }
}

TEST(HintTemplateStream, DefaultPictureIsARoundedBodyWithAShadow) {
  TResourceStream res(nullptr, L"ACHINT");
  TBitmap32Buffer bmp;
  LoadPngStreamToBitmap(bmp, res);
  ASSERT_EQ(bmp.Width(), 27);
  ASSERT_EQ(bmp.Height(), 27);
  auto alpha = [&](int x, int y) { return bmp.Pixel(x, y) >> 24; };
  EXPECT_EQ(alpha(13, 12), 255u);  // the body
  EXPECT_EQ(alpha(0, 0), 0u);  // outside
  EXPECT_EQ(alpha(6, 5), 0u);  // the body's corner is rounded
  EXPECT_GT(alpha(22, 21), 0u);  // the shadow right of and below the body ...
  EXPECT_LT(alpha(22, 21), 255u);
  EXPECT_EQ(alpha(3, 12), 0u);  // ... and none on its left
}

}  // namespace
