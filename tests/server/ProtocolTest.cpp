// ProtocolTest.cpp -- the verifier's answer line: what the server accepts
// as proof and what it must not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Protocol.h"

namespace {

const std::string kHash = "0123456701234567012345670123456701234567012345670123456701234567";
const std::string kPlay = "fedcba98fedcba98fedcba98fedcba98fedcba98fedcba98fedcba98fedcba98";

TEST(ServerProtocolTest, VerifierLine) {
  // Hashes in either case, kept lower-case; the name normalised.
  const auto run = ParseVerifierLine(
      "verified: stage=Level01 stagehash=" + kHash.substr(0, 8) + "ABCDEF01" + kHash.substr(16) +
      " difficulty=Normal classic=1 score=51776 life=73 time=312.4 name=  ANNA   B  play=" + kPlay +
      " seed=4294967295 challenge=v1.x_y-z clockms=70310\n");
  ASSERT_TRUE(run);
  EXPECT_EQ(run->Stage, "Level01");
  EXPECT_EQ(run->StageHash, kHash.substr(0, 8) + "abcdef01" + kHash.substr(16));
  EXPECT_EQ(run->Difficulty, "Normal");
  EXPECT_TRUE(run->Classic);
  EXPECT_EQ(run->Score, 51776);
  EXPECT_EQ(run->Life, 73);
  EXPECT_DOUBLE_EQ(run->Time, 312.4);
  EXPECT_EQ(run->Name, "ANNA B");
  EXPECT_EQ(run->Play, kPlay);
  EXPECT_EQ(run->Seed, 4294967295u);
  EXPECT_EQ(run->Challenge, "v1.x_y-z");
  EXPECT_EQ(run->ClockMs, 70310);
  const auto empty = ParseVerifierLine("verified: stage=Level01 stagehash=" + kHash +
                                       " difficulty=Leicht classic=0 score=0 life=0 time=0 name= play=" + kPlay +
                                       " seed=0 challenge=- clockms=0");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->Name, "");
  EXPECT_EQ(empty->Challenge, "");

  const std::string head = "verified: stage=Level01 stagehash=" + kHash + " difficulty=Normal classic=0 ";
  const std::string good = "stagehash=" + kHash + " difficulty=Normal classic=0 score=5 life=7 time=3.5 name=A";
  const std::string tail = " play=" + kPlay + " seed=1 challenge=- clockms=9";
  const std::string full = "verified: stage=Level01 " + good + tail;
  for (const std::string& bad : std::vector<std::string>{
           "",
           full + "\n" + full,  // two lines
           "Verified: stage=Level01 " + good + tail,
           "verified:  stage=Level01 " + good + tail,  // double space
           "verified: stage=Level01",                  // cut short
           "verified: stage=Lev/01 " + good + tail,
           "verified: stage=Level01 stagehash=0123456789abcdef difficulty=Normal classic=0 score=5 life=7 time=3.5 name=A" +
               tail,  // the short hash of old
           "verified: stage=Level01 " + good,  // the line of old
           "verified: stage=Level01 stagehash=" + kHash.substr(1) + " difficulty=Normal classic=0 score=5 life=7 "
           "time=3.5 name=A" + tail,
           "verified: stage=Level01 stagehash=" + kHash.substr(1) + "g difficulty=Normal classic=0 score=5 life=7 "
           "time=3.5 name=A" + tail,
           head.substr(0, head.size() - 17) + "difficulty=Mittel classic=0 score=5 life=7 time=3.5 name=A" + tail,
           head.substr(0, head.size() - 10) + "classic=2 score=5 life=7 time=3.5 name=A" + tail,
           head + "score=-5 life=7 time=3.5 name=A" + tail,
           head + "score=5e3 life=7 time=3.5 name=A" + tail,
           head + "score=9999999999999999999 life=7 time=3.5 name=A" + tail,
           head + "score=5 life=7 time=nan name=A" + tail,
           head + "score=5 life=7 time=3. name=A" + tail,
           head + "life=7 score=5 time=3.5 name=A" + tail,
           head + "score=5 life=7 time=3.5" + tail,
           full.substr(0, full.size() - tail.size()) + " play=" + kPlay.substr(2) + " seed=1 challenge=- clockms=9",
           full.substr(0, full.size() - tail.size()) + " play=" + kPlay + " seed=4294967296 challenge=- clockms=9",
           full.substr(0, full.size() - tail.size()) + " play=" + kPlay + " seed=1 challenge= clockms=9",
           full.substr(0, full.size() - tail.size()) + " play=" + kPlay + " seed=1 challenge=a/b clockms=9",
           full.substr(0, full.size() - tail.size()) + " play=" + kPlay + " seed=1 challenge=- clockms=-9",
           full.substr(0, full.size() - tail.size()) + " play=" + kPlay + " challenge=- seed=1 clockms=9",
           full + std::string("\0B", 2),
       }) {
    EXPECT_FALSE(ParseVerifierLine(bad)) << bad;
  }
}

TEST(ServerProtocolTest, StageListNamesAndText) {
  const auto stages = ParseStageHashes("Level01 " + kHash + "\nLevel02 " + AsciiLower("FEDCBA98") + kPlay.substr(8) + "\n");
  ASSERT_TRUE(stages);
  EXPECT_EQ(stages->at("Level02"), kPlay);
  const auto capitals = ParseStageHashes("Level01 FEDCBA98" + kPlay.substr(8) + "\n");
  ASSERT_TRUE(capitals);
  EXPECT_EQ(capitals->at("Level01"), kPlay);
  for (const std::string& bad : {std::string(), std::string("Level01\n"), "Level01 " + kHash + " extra\n",
                                 std::string("Level01 0123456789abcdef\n"),
                                 "Level01 " + kHash + "\nLevel01 " + kPlay + "\n"}) {
    EXPECT_FALSE(ParseStageHashes(bad)) << bad;
  }

  EXPECT_EQ(NormalizeName("  A   B  C "), "A B C");
  EXPECT_EQ(NormalizeName("   "), "");
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
