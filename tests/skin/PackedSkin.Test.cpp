#include "skin/manager/acPackedSkin.h"
#include "skin/graphics/acPNG.h"
#include "skin/graphics/acZLibEx.h"
#include "ReaderFixtures.h"
#include <gtest/gtest.h>

#include <filesystem>

namespace {
// Records the format-error dialog instead of showing it.
struct TRecordedErrors {
  std::vector<std::wstring> texts;
  TRecordedErrors() {
    SetPackedSkinErrorHandler([this](TsSkinManager*, const std::wstring& text) { texts.push_back(text); });
  }
  ~TRecordedErrors() { SetPackedSkinErrorHandler(nullptr); }
};

std::unique_ptr<TacSkinConvertor> ReadPacked(const std::string& bytes, bool* result = nullptr) {
  auto convertor = std::make_unique<TacSkinConvertor>();
  TMemoryStream packed(bytes);
  convertor->PackedData = &packed;
  bool ok = ReadPackedSkin(*convertor, nullptr);
  convertor->PackedData = nullptr;
  if (result) *result = ok;
  return convertor;
}
}  // namespace

TEST(PackedSkin, EntriesComeBackByteForByteInFileOrder) {
  auto c = ReadPacked(ReaderFixtureBytes(L"packed\\good.ovz"));
  ASSERT_TRUE(c->Options);
  EXPECT_EQ(c->Options->Bytes(), ReaderFixtureBytes(L"packed\\good.Options.dat"));
  EXPECT_EQ(c->FileCount, 3);
  ASSERT_EQ(c->Files.size(), 3u);
  const std::pair<const wchar_t*, TacFileType> expected[] = {
      {L"MASTER.BMP", ftBmp}, {L"BIG.BIN", ftOther}, {L"BTN.PNG", ftOther}};
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(c->Files[i].Name, expected[i].first);
    EXPECT_EQ(c->Files[i].FileType, expected[i].second);
    // BIG.BIN is larger than the reader's input buffer, compressed as well as plain.
    EXPECT_EQ(c->Files[i].Stream->Bytes(), ReaderFixtureBytes(L"packed\\good." + std::wstring(expected[i].first)));
  }
  // An entry's stream is an image the PNG reader takes as it is.
  TBitmap32Buffer button;
  LoadPngStreamToBitmap(button, *c->Files[2].Stream);
  EXPECT_EQ(button.Width(), 6);
  EXPECT_EQ(button.Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(button.Pixel(5, 1), 0x800000FFu);
}

TEST(PackedSkin, ThePreviewImageFollowsTheEntries) {
  TMemoryStream source(ReaderFixtureBytes(L"packed\\good.ovz")), preview;
  ASSERT_TRUE(ExtractPreviewImage(preview, source));
  EXPECT_EQ(preview.Position(), 0);
  TBitmap32Buffer bitmap;
  LoadPngStreamToBitmap(bitmap, preview);
  EXPECT_EQ(bitmap.Width(), 4);
  EXPECT_EQ(bitmap.Pixel(3, 3), 0xFF010203u);

  TMemoryStream none(std::string("OVzf\0\0\0\0", 8)), untouched("keep");
  EXPECT_FALSE(ExtractPreviewImage(untouched, none));
  EXPECT_EQ(untouched.Bytes(), "keep");
  // A size beyond the end copies what is there.
  TMemoryStream cut(std::string("xxpreviewimg\xff\xff\xff\x7f" "abc", 19)), target;
  ASSERT_TRUE(ExtractPreviewImage(target, cut));
  EXPECT_EQ(target.Bytes(), "abc");
}

TEST(PackedSkin, FindInTextIsOneBased) {
  EXPECT_EQ(FindInText("previewimg", "previewimg"), 1u);
  EXPECT_EQ(FindInText("previewimg", "xxpreviewim previewimg"), 13u);
  EXPECT_EQ(FindInText("previewimg", "previewi"), 0u);
  EXPECT_EQ(FindInText("abcab", "ababcabcab"), 3u);
}

TEST(PackedSkin, OptionsEntryAndEmptySkins) {
  bool ok = false;
  auto lower = ReadPacked(ReaderFixtureBytes(L"packed\\lower_case_options.ovz"), &ok);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(lower->Options);
  EXPECT_TRUE(lower->Files.empty());
  auto empty = ReadPacked(ReaderFixtureBytes(L"packed\\count_zero.ovz"), &ok);
  EXPECT_TRUE(ok);
  EXPECT_FALSE(empty->Options);  // the loader reports the missing options entry
  EXPECT_EQ(empty->FileCount, -1);
}

TEST(PackedSkin, AWrongSignatureShowsTheFormatErrorAndReadsNothing) {
  TRecordedErrors errors;
  bool ok = true;
  auto c = ReadPacked(ReaderFixtureBytes(L"packed\\bad_signature.ovz"), &ok);
  EXPECT_FALSE(ok);
  EXPECT_FALSE(c->Options);
  EXPECT_TRUE(c->Files.empty());
  EXPECT_EQ(errors.texts, std::vector<std::wstring>{L"Loaded data is not a packed Orvandel file"});
}

// Every damaged file of the tool ends in one of our exceptions: no crash, no huge
// allocation, no endless loop, no entry read from the wrong place.
TEST(PackedSkin, DamagedFilesFailCleanly) {
  TRecordedErrors errors;
  for (const auto& [name, outcome] : ReaderFixtureCases(L"packed\\cases.txt")) {
    SCOPED_TRACE(name);
    const std::string bytes = ReaderFixtureBytes(L"packed\\" + Utf8ToWide(name) + L".ovz");
    bool ok = false;
    try {
      ReadPacked(bytes, &ok);
      EXPECT_NE(outcome, "error") << "read without error";
      EXPECT_EQ(ok, outcome == "ok");
    } catch (const EReadError&) {
      EXPECT_EQ(outcome, "error");
    } catch (const EZDecompressionError&) {
      EXPECT_EQ(outcome, "error");
    } catch (const std::exception& e) {
      ADD_FAILURE() << "unexpected exception " << e.what();
    }
  }
}

TEST(PackedSkin, TheToolsPackedSkinMatchesItsFolder) {
  std::unique_ptr<TacSkinConvertor> c;
  OpenPackedSkinFile(ReaderFixture(L"skins\\Tarvel Test.ovz"), c, nullptr);
  ASSERT_TRUE(c);
  ASSERT_TRUE(c->Options);
  EXPECT_EQ(c->Options->Bytes(), ReaderFixtureBytes(L"skins\\Tarvel Test\\Options.dat"));
  // Every file of the folder but the options text is an entry of the pack.
  std::size_t folderFiles = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ReaderFixture(L"skins\\Tarvel Test")))
    folderFiles += entry.path().filename() != L"Options.dat";
  EXPECT_EQ(c->Files.size(), folderFiles);
  for (const TacFileItem& item : c->Files) {
    SCOPED_TRACE(item.Name);
    EXPECT_EQ(item.Stream->Bytes(), ReaderFixtureBytes(L"skins\\Tarvel Test\\" + item.Name));
  }
  EXPECT_EQ(c->Files[0].Name, L"MASTER.BMP");
  EXPECT_EQ(c->Files[0].FileType, ftBmp);
  EXPECT_EQ(c->PackedData, nullptr);

  // The section images carry the flat state colours of the description.
  TBitmap32Buffer button;
  TMemoryStream png(ReaderFixtureBytes(L"skins\\Tarvel Test\\BUTTON.PNG"));
  LoadPngStreamToBitmap(button, png);
  EXPECT_EQ(button.Pixel(0, 0), 0xFF40A040u);
  EXPECT_EQ(button.Pixel(12, 0), 0xFF60C060u);
  EXPECT_EQ(button.Pixel(24, 0), 0xFF208020u);

  std::unique_ptr<TacSkinConvertor> missing;
  OpenPackedSkinFile(ReaderFixture(L"skins\\none.ovz"), missing, nullptr);
  EXPECT_FALSE(missing);
  TMemoryStream preview;
  EXPECT_TRUE(LoadPreviewImageFromFile(preview, ReaderFixture(L"skins\\Tarvel Test.ovz")));
  EXPECT_FALSE(LoadPreviewImageFromFile(preview, ReaderFixture(L"skins\\none.ovz")));
}

TEST(PackedSkin, EntryKindsByExtension) {
  EXPECT_EQ(FileTypeOfEntry(L"FONT.OTF"), ftFont);
  EXPECT_EQ(FileTypeOfEntry(L"font.ttf"), ftFont);
  EXPECT_EQ(FileTypeOfEntry(L"BG.JPG"), ftOther);
  EXPECT_EQ(FileTypeOfEntry(L"master.Bmp"), ftBmp);
  EXPECT_EQ(FileTypeOfEntry(L"NOEXT"), ftOther);
}
