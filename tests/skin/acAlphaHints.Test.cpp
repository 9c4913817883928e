// Hint templates: the "OVhh" stream's reader and writer over good and damaged streams drawn
// by tools/make_skin.py, and the default template's picture that the program carries.
#include <gtest/gtest.h>

#include "PixelFixtures.h"
#include "ReaderFixtures.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Resources.h"
#include "skin/controls/acAlphaHints.h"
#include "skin/controls/sHtmlParse.h"
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

namespace {

TEST(TemplateHint, ComposesTheNineSlicedPictureWithMarkupAsPremultipliedPixels) {
  const TacHintTemplateData def = DefaultHintTemplateData();
  const TacHintImageData& image = def.Images[hiDefault];
  auto picture = HintPicture(image);
  ASSERT_TRUE(picture);
  const int w = 140, h = 56;
  TRect client;
  auto bmp = ComposeTemplateHint(image, picture.get(), w, h, [&](TBitmap* b, const TRect& r) {
    client = r;
    b->Canvas().Font.Name = L"Tahoma";
    b->Canvas().Font.Height = -12;
    b->Canvas().Font.Color = 0;
    TsHtml html;
    html.AlphaChannel = true;
    html.Init(b, L"<b>Hint</b> with <font color=red>markup</font>", -1, -1, r);
    TacLinks links;
    html.HTMLText(links, false);
  });
  EXPECT_EQ(client, Rect(11, 8, w - 16, h - 15));
  auto px = [&](int x, int y) { return fixtures::Px(bmp.get(), x, y); };
  EXPECT_EQ(px(0, 0) >> 24, 0u);  // outside the body
  EXPECT_EQ(px(w / 2, h / 2 - 6) >> 24, 255u);  // the body
  const std::uint32_t shadow = px(w - 5, h - 6) >> 24;  // the corner's shadow, copied whole
  EXPECT_GT(shadow, 0u);
  EXPECT_LT(shadow, 255u);
  int ink = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = px(x, y), a = p >> 24;
      ASSERT_LE((p >> 16) & 0xFF, a) << x << "," << y;  // premultiplied
      ASSERT_LE((p >> 8) & 0xFF, a) << x << "," << y;
      ASSERT_LE(p & 0xFF, a) << x << "," << y;
      if (x >= client.Left && x < client.Right && y >= client.Top && y < client.Bottom && a == 255 &&
          (p & 0xFF) < 128)
        ++ink;
    }
  EXPECT_GT(ink, 20);  // the text, drawn inside the client area
}

}  // namespace
