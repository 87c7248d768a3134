// FontFilesTest.cpp -- the shipped fonts hold every character the German
// texts use.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

namespace {

TEST(FontFiles, CoverPrintableAsciiAndGermanLetters) {
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  std::u16string needed = u"\u00C4\u00D6\u00DC\u00E4\u00F6\u00FC\u00DF";
  for (char16_t c = 0x20; c < 0x7F; ++c) needed += c;

  for (const char* name : {"lcd.ttf", "lucon.ttf"}) {
    SCOPED_TRACE(name);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(library, (std::string(RV_BIN_DIR) + "/data/" + name).c_str(), 0, &face), 0);
    EXPECT_TRUE(FT_IS_SCALABLE(face));
    ASSERT_EQ(FT_Select_Charmap(face, FT_ENCODING_UNICODE), 0);
    std::string missing;
    for (char16_t c : needed)
      if (FT_Get_Char_Index(face, c) == 0) missing += " U+" + std::to_string(static_cast<int>(c));
    EXPECT_EQ(missing, "");
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
}

}  // namespace
