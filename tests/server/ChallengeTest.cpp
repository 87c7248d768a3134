// ChallengeTest.cpp -- the challenge token: HMAC-SHA-256 against RFC 4231's
// vectors, signing and opening, every field tampered, and the checks a
// verified run's challenge must pass at their edges.
#include <gtest/gtest.h>

#include <set>

#include "Challenge.h"

namespace {

std::string Bytes(std::size_t count, unsigned char value) { return std::string(count, static_cast<char>(value)); }

TEST(ChallengeTest, HmacSha256MatchesRfc4231) {
  std::string counting;
  for (int i = 1; i <= 25; ++i) counting += static_cast<char>(i);
  const struct {
    std::string Key, Data, Mac;
  } vectors[] = {
      {Bytes(20, 0x0b), "Hi There", "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"Jefe", "what do ya want for nothing?", "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {Bytes(20, 0xaa), Bytes(50, 0xdd), "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
      {counting, Bytes(50, 0xcd), "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
      {Bytes(131, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First",
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
      {Bytes(131, 0xaa),
       "This is a test using a larger than block-size key and a larger than block-size data. The key needs to be "
       "hashed before being used by the HMAC algorithm.",
       "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
  };
  for (const auto& v : vectors) EXPECT_EQ(HmacSha256Hex(v.Key, v.Data), v.Mac) << v.Data.substr(0, 20);
}

const std::string kStage = "0123456701234567012345670123456701234567012345670123456701234567";
const std::string kKey = "a key of the test, long enough";

TChallenge Sample() { return {kStage, "Normal", 4000000000u, "00112233445566778899aabbccddeeff", 1700000000123}; }

TEST(ChallengeTest, ATokenOpensOnlyWithItsKeyAndUnchanged) {
  const std::string token = SignChallenge(Sample(), kKey);
  EXPECT_EQ(token.substr(0, token.rfind('.')),
            "v1." + kStage + ".Normal.4000000000.00112233445566778899aabbccddeeff.1700000000123");
  const auto opened = OpenChallenge(token, kKey);
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->StageHash, kStage);
  EXPECT_EQ(opened->Difficulty, "Normal");
  EXPECT_EQ(opened->Seed, 4000000000u);
  EXPECT_EQ(opened->Nonce, "00112233445566778899aabbccddeeff");
  EXPECT_EQ(opened->IssuedMs, 1700000000123);

  EXPECT_FALSE(OpenChallenge(token, kKey + "x")) << "another server's key";
  // One character changed in each field, the signature included, and the
  // same change in capitals (hex is compared as written).
  std::size_t fieldStart = 0;
  for (int field = 0; field < 7; ++field) {
    const std::size_t end = token.find('.', fieldStart);
    for (const std::size_t at : {fieldStart, (end == std::string::npos ? token.size() : end) - 1}) {
      std::string changed = token;
      changed[at] = changed[at] == '1' ? '2' : '1';
      EXPECT_FALSE(OpenChallenge(changed, kKey)) << "field " << field << ": " << changed;
    }
    fieldStart = end + 1;
  }
  std::string upper = token;
  for (std::size_t i = token.rfind('.') + 1; i < upper.size(); ++i) upper[i] = static_cast<char>(std::toupper(upper[i]));
  EXPECT_FALSE(OpenChallenge(upper, kKey));
  for (const std::string& cut : {token.substr(0, token.size() - 1), token + "0", token + ".", "." + token,
                                 std::string(), std::string(".")}) {
    EXPECT_FALSE(OpenChallenge(cut, kKey)) << cut;
  }
  // Signed, but not of the form this server writes: refused all the same.
  for (const std::string& body : {"v2." + kStage + ".Normal.1.00112233445566778899aabbccddeeff.5",
                                  "v1." + kStage + ".Mittel.1.00112233445566778899aabbccddeeff.5",
                                  "v1." + kStage + ".Normal.01.00112233445566778899aabbccddeeff.5",
                                  "v1." + kStage + ".Normal.4294967296.00112233445566778899aabbccddeeff.5",
                                  "v1." + kStage + ".Normal.1.00112233445566778899AABBCCDDEEFF.5",
                                  "v1." + kStage + ".Normal.1.00112233445566778899aabbccddee.5",
                                  "v1." + kStage + ".Normal.1.00112233445566778899aabbccddeeff.5.6"}) {
    EXPECT_FALSE(OpenChallenge(body + "." + HmacSha256Hex(kKey, body), kKey)) << body;
  }
}

TEST(ChallengeTest, IssuedChallengesAreFreshAndOpen) {
  const TChallenges challenges(kKey, true);
  std::set<std::string> nonces;
  std::set<uint32_t> seeds;
  for (int i = 0; i < 20; ++i) {
    const auto issued = challenges.Issue(kStage, "Schwer", 1700000000000);
    EXPECT_EQ(issued.ExpiresSeconds, 1700000045);
    const auto opened = OpenChallenge(issued.Token, kKey);
    ASSERT_TRUE(opened) << issued.Token;
    EXPECT_EQ(opened->Seed, issued.Seed);
    EXPECT_EQ(opened->Difficulty, "Schwer");
    nonces.insert(opened->Nonce);
    seeds.insert(opened->Seed);
  }
  EXPECT_EQ(nonces.size(), 20u);
  EXPECT_GT(seeds.size(), 15u);
}

TEST(ChallengeTest, ARunPassesOnlyWithItsOwnFreshChallengeInItsTime) {
  const TChallenges challenges(kKey, true, 45000);
  const int64_t issued = 1700000000000;
  TChallenge sample = Sample();
  sample.IssuedMs = issued;
  TVerifiedRun run;
  run.StageHash = kStage;
  run.Difficulty = "Normal";
  run.Seed = sample.Seed;
  run.Challenge = SignChallenge(sample, kKey);
  run.ClockMs = 70000;
  // Submitted when the clock says: it passes with its nonce.
  const int64_t honest = issued + 70000;
  const TChallengeVerdict passed = challenges.Judge(run, honest);
  EXPECT_EQ(passed.Refusal, nullptr);
  EXPECT_EQ(passed.Nonce, sample.Nonce);

  auto refusedFor = [&](TVerifiedRun changed, int64_t submitted) -> std::string {
    const TChallengeVerdict verdict = challenges.Judge(changed, submitted);
    return verdict.Refusal ? verdict.Refusal->Code : "passed";
  };
  // The tolerance at both edges: the recording's clock at most 5 s ahead
  // of the wall, the wall at most 45 + 15 s ahead of the recording's clock.
  EXPECT_EQ(refusedFor(run, issued + 65000), "passed");
  EXPECT_EQ(refusedFor(run, issued + 64999), "clock_slow");
  EXPECT_EQ(refusedFor(run, issued + 130000), "passed");
  EXPECT_EQ(refusedFor(run, issued + 130001), "challenge_expired");
  EXPECT_EQ(refusedFor(run, issued - 1), "challenge_future");

  TVerifiedRun without = run;
  without.Challenge.clear();
  EXPECT_EQ(refusedFor(without, honest), "no_challenge");
  TVerifiedRun foreign = run;
  foreign.Challenge = SignChallenge(sample, "another server's key");
  EXPECT_EQ(refusedFor(foreign, honest), "challenge_foreign");
  TVerifiedRun stage = run;
  stage.StageHash = std::string(64, 'f');
  EXPECT_EQ(refusedFor(stage, honest), "challenge_other_stage");
  TVerifiedRun difficulty = run;
  difficulty.Difficulty = "Leicht";
  EXPECT_EQ(refusedFor(difficulty, honest), "challenge_other_difficulty");
  TVerifiedRun seed = run;
  seed.Seed = 7;
  EXPECT_EQ(refusedFor(seed, honest), "challenge_other_seed");

  // Every refusal's reason maps back to its code for the client.
  for (const TVerifiedRun& r : {without, foreign, stage, difficulty, seed}) {
    const TChallengeVerdict verdict = challenges.Judge(r, honest);
    ASSERT_NE(verdict.Refusal, nullptr);
    EXPECT_EQ(RefusalCode(verdict.Refusal->Reason), verdict.Refusal->Code);
  }
  EXPECT_EQ(RefusalCode("refused: diverged at frame 7"), "");

  // A private board takes any run, checking nothing and marking nothing.
  const TChallenges off(kKey, false);
  for (const TVerifiedRun& r : {run, without, foreign}) {
    const TChallengeVerdict verdict = off.Judge(r, issued - 5);
    EXPECT_EQ(verdict.Refusal, nullptr);
    EXPECT_EQ(verdict.Nonce, "");
  }
}

}  // namespace
