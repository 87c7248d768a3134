// MenuTest.cpp -- the page tree read from the menu text file, page ids and
// line-break markers.
#include <gtest/gtest.h>

#include "menu/Menu.h"
#include "services/DataError.h"
#include "services/ValueLists.h"
#include "support/TempDir.h"

namespace {

TEST(Menu, TakeIndexWalksAPageId) {
  const std::vector<std::pair<std::string, std::vector<int32_t>>> cases = {
      {"0_12_3", {0, 12, 3, -1}},
      {"7", {7, -1}},
      {"", {-1}},
      {"0_0", {0, 0, -1}},
  };
  for (const auto& [id, expected] : cases) {
    std::string path = id;
    std::vector<int32_t> taken;
    for (std::size_t i = 0; i < expected.size(); ++i) taken.push_back(TakeIndex(path));
    EXPECT_EQ(taken, expected) << id;
    EXPECT_EQ(path, "") << id;
  }
  std::string broken = "0_x_1";
  EXPECT_EQ(TakeIndex(broken), 0);
  EXPECT_THROW((void)TakeIndex(broken), EConvertError);
}

TEST(Menu, LineBreakMarkersBecomeCrLf) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Erster Satz.[r]Zweiter Satz.", "Erster Satz.\r\nZweiter Satz."},
      {"A[R]B", "A\r\nB"},
      {"[r][r]", "\r\n\r\n"},
      {"[[r]r]", "[\r\nr]"},
      {"[x] [r ] r]", "[x] [r ] r]"},
      {"ohne", "ohne"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ExpandLineBreaks(text), expected) << text;
}

TEST(Menu, TreeIsReadDepthFirstWithDefaults) {
  TTempDir dir;
  WriteBytes(dir.File("ger.txt"),
             "; Kommentar\r\n"
             "[menu_0]\r\nname=Wurzel\r\ncount=3\r\n"
             "[menu_0_0]\r\nname=Spielen\r\ndesc=Eins[r]Zwei\r\n"
             "[menu_0_1]\r\ndesc=Ohne Namen\r\ncount=2\r\n"
             "[menu_0_1_1]\r\nname=zur\xFC" "ck\r\n"
             "[menu_0_2]\r\nname=Ohne count\r\n");
  TMenu root;
  root.Load(dir.File("ger.txt"));
  EXPECT_EQ(root.Caption, "Wurzel");
  ASSERT_EQ(root.Items.size(), 3u);
  EXPECT_EQ(root.Items[0].Caption, "Spielen");
  EXPECT_EQ(root.Items[0].Description, "Eins\r\nZwei");
  EXPECT_TRUE(root.Items[0].Items.empty());
  const TMenu& unnamed = root.Items[1];
  EXPECT_EQ(unnamed.Caption, "item_0_1");
  ASSERT_EQ(unnamed.Items.size(), 2u);
  EXPECT_EQ(unnamed.Items[0].Caption, "item_0_1_0");  // no section at all
  EXPECT_EQ(unnamed.Items[0].Description, "desc_0_1_0");
  EXPECT_EQ(unnamed.Items[1].Caption, "zur\xFC" "ck");  // Windows-1252 kept as bytes
  EXPECT_TRUE(root.Items[2].Items.empty());

  TMenu missing;
  missing.Load(dir.File("keine.txt"));
  EXPECT_TRUE(missing.Items.empty());
  EXPECT_EQ(missing.Caption, "item_0");
}

TEST(Menu, ImpossibleCountsNameTheFileAndSectionAndNegativeOnesAreEmpty) {
  TTempDir dir;
  WriteBytes(dir.File("ger.txt"), "[menu_0]\r\ncount=1\r\n[menu_0_0]\r\ncount=-1\r\n");
  TMenu empty;
  empty.Load(dir.File("ger.txt"));
  ASSERT_EQ(empty.Items.size(), 1u);
  EXPECT_TRUE(empty.Items[0].Items.empty());
  for (const char* count : {"100000"}) {
    WriteBytes(dir.File("ger.txt"), std::string("[menu_0]\r\ncount=1\r\n[menu_0_0]\r\ncount=") + count + "\r\n");
    TMenu root;
    try {
      root.Load(dir.File("ger.txt"));
      ADD_FAILURE() << "count " << count << " accepted";
    } catch (const EDataError& error) {
      EXPECT_NE(std::string(error.what()).find("ger.txt, [menu_0_0] count = " + std::string(count)), std::string::npos)
          << error.what();
    }
  }
}

}  // namespace
