// ProtocolTest.cpp -- the verifier's answer line: what the server accepts
// as proof and what it must not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Protocol.h"

namespace {

TEST(ServerProtocolTest, VerifierLine) {
  const auto run = ParseVerifierLine(
      "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Normal classic=1 score=51776 life=73 "
      "time=312.4 name=ANNA  B \n");
  ASSERT_TRUE(run);
  EXPECT_EQ(run->Stage, "Level01");
  EXPECT_EQ(run->StageHash, "0123456789abcdef");
  EXPECT_EQ(run->Difficulty, "Normal");
  EXPECT_TRUE(run->Classic);
  EXPECT_EQ(run->Score, 51776);
  EXPECT_EQ(run->Life, 73);
  EXPECT_DOUBLE_EQ(run->Time, 312.4);
  EXPECT_EQ(run->Name, "ANNA  B ");  // the rest of the line, spaces and all
  const auto empty = ParseVerifierLine(
      "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Leicht classic=0 score=0 life=0 time=0 name=");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->Name, "");

  const std::string good = "stagehash=0123456789abcdef difficulty=Normal classic=0 score=5 life=7 time=3.5 name=A";
  for (const std::string& bad : std::vector<std::string>{
           "",
           "verified: stage=Level01 " + good + "\nverified: stage=Level01 " + good,  // two lines
           "Verified: stage=Level01 " + good,
           "verified:  stage=Level01 " + good,                                      // double space
           "verified: stage=Level01",                                               // cut short
           "verified: stage=Lev/01 " + good,
           "verified: stage=Level01 stagehash=0123456789ABCDEF difficulty=Normal classic=0 score=5 life=7 time=3.5 name=A",
           "verified: stage=Level01 stagehash=0123456789abcde difficulty=Normal classic=0 score=5 life=7 time=3.5 name=A",
           "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Mittel classic=0 score=5 life=7 time=3.5 name=A",
           "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Normal classic=2 score=5 life=7 time=3.5 name=A",
           "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Normal classic=0 score=-5 life=7 time=3.5 name=A",
           "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Normal classic=0 score=5e3 life=7 time=3.5 name=A",
           "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Normal classic=0 score=9999999999999999999 life=7 "
           "time=3.5 name=A",
           "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Normal classic=0 score=5 life=7 time=nan name=A",
           "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Normal classic=0 score=5 life=7 time=3. name=A",
           "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Normal classic=0 life=7 score=5 time=3.5 name=A",
           "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Normal classic=0 score=5 life=7 time=3.5",
           std::string("verified: stage=Level01 ") + good + std::string("\0B", 2),
       }) {
    EXPECT_FALSE(ParseVerifierLine(bad)) << bad;
  }
}

TEST(ServerProtocolTest, StageListNamesAndText) {
  const auto stages = ParseStageHashes("Level01 0123456789abcdef\nLevel02 fedcba9876543210\n");
  ASSERT_TRUE(stages);
  EXPECT_EQ(stages->at("Level02"), "fedcba9876543210");
  for (const char* bad : {"", "Level01\n", "Level01 0123456789abcdef extra\n",
                          "Level01 0123456789abcdef\nLevel01 fedcba9876543210\n"}) {
    EXPECT_FALSE(ParseStageHashes(bad)) << bad;
  }

  EXPECT_TRUE(IsValidName("ANNA B 2000"));
  EXPECT_TRUE(IsValidName(std::string(32, 'Z')));
  for (const std::string& bad : {std::string(), std::string(33, 'A'), std::string("anna"), std::string("\xC4RGER"),
                                std::string("A-B"), std::string("A\tB")}) {
    EXPECT_FALSE(IsValidName(bad)) << bad;
  }

  // The game's messages may come as Windows-1252: they reach JSON and HTML
  // as UTF-8, cut whole characters only.
  EXPECT_EQ(ToCleanUtf8("besch\xE4" "digt \x80\n", 100), "besch\u00e4digt \u20ac ");
  EXPECT_EQ(ToCleanUtf8("\u00e4\u00e4", 3), "\u00e4");
  EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(HtmlEscape("<a href='x'>&</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&lt;/a&gt;");
}

}  // namespace
