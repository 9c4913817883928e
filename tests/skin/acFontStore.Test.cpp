// The two kinds of embedded-font collections: the skin manager's (a font lives while its item
// does) and the icon-font lists' (a font, once registered, stays for the process), their
// copies, their registration with the system and the "FontData" bytes as streamed.
#include <gtest/gtest.h>

#include "platform/runtime/Exceptions.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/controls/acFontStore.h"

namespace {

// The icon font the test program carries as a resource, as a font file's bytes.
std::string IconFontBytes() {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(self, L"AWFONT", MAKEINTRESOURCEW(10));
  if (!res) return {};
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(self, res)));
  return std::string(bytes, SizeofResource(self, res));
}

}  // namespace

TEST(FontStore, ItemCopiesTakeTheBytesOnlyWhenTheSourceHasAny) {
  const struct {
    std::string Own, Source, After;
  } cases[] = {{"own", "", "own"}, {"own", "new", "new"}, {"", "", ""}, {"", std::string("\0x\0", 3), std::string("\0x\0", 3)}};
  for (const auto& c : cases) {
    TacEmbeddedFont source, dest;
    source.FFileName = L"A.TTF";
    source.FFontName = L"Face A";
    source.FontData = std::make_unique<TMemoryStream>(c.Source);
    dest.FontData = std::make_unique<TMemoryStream>(c.Own);
    dest.Assign(source);
    EXPECT_EQ(dest.FFileName, L"A.TTF");
    EXPECT_EQ(dest.FFontName, L"Face A");
    EXPECT_EQ(dest.FontData->Bytes(), c.After);
  }
  // The icon-font lists' items always take the source's bytes, even none.
  acAlphaImageList::TacEmbeddedFont source, dest;
  dest.FontData.Write(std::string("own"));
  dest.Assign(source);
  EXPECT_TRUE(dest.FontData.Bytes().empty());
}

TEST(FontStore, CollectionCopiesEveryItemAndAddsNoneOfItsOwn) {
  TacEmbeddedFonts source(nullptr), dest(nullptr);
  dest.Add()->FFontName = L"Old";
  dest.Assign(source);
  EXPECT_EQ(dest.Count(), 0);  // unlike the icon-font lists, no "FontAwesome" item
  for (const wchar_t* name : {L"One", L"Two"}) {
    TacEmbeddedFont* font = source.Add();
    font->FFontName = name;
    font->FontData = std::make_unique<TMemoryStream>(std::string("bytes"));
  }
  dest.Assign(source);
  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(dest.GetItem(1)->FFontName, L"Two");
  EXPECT_EQ(dest.GetItem(1)->FontData->Bytes(), "bytes");
  TacEmbeddedFont other;
  other.FFontName = L"Three";
  dest.SetItem(0, other);
  EXPECT_EQ(dest.Items(0)->FFontName, L"Three");
  EXPECT_THROW(dest.Items(2), EArgumentOutOfRangeException);
  EXPECT_THROW(dest.Items(-1), EArgumentOutOfRangeException);
}

TEST(FontStore, FontDataStreamsAsItsBytesWithoutHeader) {
  for (const std::string bytes : {std::string(), std::string("\0\1\2", 3), IconFontBytes()}) {
    TacEmbeddedFont font;
    font.FontData = std::make_unique<TMemoryStream>(bytes);
    TMemoryStream out;
    out.Write(std::string("lead"));
    font.WriteFontData(out);
    EXPECT_EQ(out.Bytes(), "lead" + bytes);
    out.SetPosition(4);
    TacEmbeddedFont back;
    back.ReadFontData(out);
    EXPECT_EQ(back.FontData->Bytes(), bytes);
  }
}

TEST(FontStore, FontsRegisterOnlyWithBytesAndUnregisterOnRequest) {
  const std::string bytes = IconFontBytes();
  ASSERT_FALSE(bytes.empty());
  HANDLE skinFont = nullptr, listFont = nullptr;
  {
    TacEmbeddedFonts fonts(nullptr);
    TacEmbeddedFont* font = fonts.Add();
    font->LoadFont();
    EXPECT_EQ(font->Handle, nullptr);  // no bytes, no registration
    font->FontData = std::make_unique<TMemoryStream>(bytes);
    font->LoadFont();
    ASSERT_NE(font->Handle, nullptr);
    font->UnLoadFont();
    EXPECT_EQ(font->Handle, nullptr);
    font->LoadFont();
    skinFont = font->Handle;
    ASSERT_NE(skinFont, nullptr);

    acAlphaImageList::TacEmbeddedFonts listFonts(nullptr);
    acAlphaImageList::TacEmbeddedFont* item = listFonts.Add();
    item->FontData.Write(bytes);
    item->LoadFont();
    listFont = item->Handle;
    ASSERT_NE(listFont, nullptr);
  }
  // The list's font outlived its item (the system here does not tell whether a handle is
  // still registered, so the skin font's removal is not checked from outside).
  EXPECT_TRUE(RemoveFontMemResourceEx(listFont));
  (void)skinFont;
}
