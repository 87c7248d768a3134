// StageRunTest.cpp -- the pieces of a stage's run that need no game: the
// recorder keeping one stage however long the session, the replay starting
// a stage's run from its first frame, SHA-256 against the standard's test
// vectors, a challenge's seed and a name as the board shows it.
#include <gtest/gtest.h>

#include <string>

#include "app/StageRun.h"
#include "platform/RecordingPlatform.h"
#include "platform/ReplayPlatform.h"
#include "platform/ScriptedPlatform.h"
#include "services/Sha256.h"

namespace {

TEST(StageRun, AnHoursSessionKeepsOneStageAndItsRunReplaysFromItsStart) {
  platform::ScriptedPlatform hands;
  hands.Seed = 99;
  platform::TRecordingPlatform recorder(hands, {}, false);
  hands.SetKey('X', true);  // held into the stage
  // An hour in the menu at 60 frames a second, the form's two clock
  // readings a frame: nothing of it stays.
  for (int i = 0; i < 60 * 60 * 60; ++i) {
    (void)recorder.PumpEvents();
    hands.AdvanceMs(1000.0 / 60);
    (void)recorder.PerformanceCounter();
    (void)recorder.PerformanceCounter();
  }
  EXPECT_EQ(recorder.Recording().Frames.size(), 1u);
  EXPECT_EQ(recorder.FrameIndex(), 216000u);
  const uint64_t base = hands.Counter;

  // The stage starts after the frame's clock was read, with a challenge.
  recorder.BeginStage({"[main]\r\n", "Level02.level", "stage bytes", "v1.h.Normal.4242.n.1.m", 4242});
  EXPECT_EQ(recorder.RandomSeed(), 4242u);  // the challenge's, not the platform's
  EXPECT_EQ(recorder.Recording().Frames.back().Seeds, std::vector<uint32_t>{4242});
  for (int i = 0; i < 300; ++i) {
    (void)recorder.PumpEvents();
    hands.AdvanceMs(16);
    (void)recorder.PerformanceCounter();
    (void)recorder.PerformanceCounter();
    if (i == 100) EXPECT_EQ(recorder.RandomSeed(), 99u);
    if (i == 200) recorder.AddStageChecksum(0xABCD);
  }
  const std::optional<platform::TRecording> run = recorder.EndStage();
  ASSERT_TRUE(run);
  EXPECT_FALSE(recorder.StageRun());
  EXPECT_EQ(run->StartStage, "Level02.level");
  EXPECT_EQ(run->StageFiles.at("Level02.level"), "stage bytes");
  EXPECT_EQ(run->Challenge, "v1.h.Normal.4242.n.1.m");
  EXPECT_EQ(run->StageSeed, 4242u);
  ASSERT_EQ(run->Frames.size(), 301u);
  EXPECT_EQ(run->Frames[0].Counters, std::vector<uint64_t>{base});
  EXPECT_TRUE(run->Frames[0].Keys['X']);
  EXPECT_TRUE(run->Frames[0].Seeds.empty());
  EXPECT_EQ(run->Frames[101].Seeds, std::vector<uint32_t>{99});
  EXPECT_TRUE(run->Frames[201].HasChecksum);
  EXPECT_LT(platform::SerializeRecording(*run).size(), 301u * 10);

  // Played back: the start-up before the first frame reads the stage's
  // base clock and seed, then the frames follow as recorded.
  const platform::TRecording parsed = platform::ParseRecording(platform::SerializeRecording(*run));
  platform::ScriptedPlatform window;
  platform::TReplayPlatform replay(window, parsed, "./", platform::TReplayPace::Fastest);
  EXPECT_EQ(replay.PerformanceCounter(), base);
  EXPECT_EQ(replay.RandomSeed(), 4242u);
  EXPECT_EQ(replay.PerformanceCounter(), base);
  EXPECT_TRUE(replay.IsVirtualKeyDown('X'));
  for (int i = 0; i < 300; ++i) {
    (void)replay.PumpEvents();
    EXPECT_EQ(replay.PerformanceCounter(), base + static_cast<uint64_t>(i + 1) * 16000);
    (void)replay.PerformanceCounter();
    if (i == 100) EXPECT_EQ(replay.RandomSeed(), 99u);
  }
  EXPECT_TRUE(replay.Finished());
  EXPECT_FALSE(replay.DivergedAt());
}

TEST(StageRun, Sha256GivesTheStandardsDigests) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  // A million bytes, added in pieces that never meet a block's edge.
  TSha256 million;
  for (int i = 0; i < 1000; ++i) million.Add(std::string(i % 2 ? 999 : 1001, 'a'));
  EXPECT_EQ(million.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  // 55 and 56 bytes: the length fits the last block, or needs another.
  EXPECT_EQ(Sha256Hex(std::string(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
  EXPECT_EQ(Sha256Hex(std::string(56, 'a')), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
}

TEST(StageRun, AChallengesSeedAndANameAsTheBoardShowsIt) {
  const std::string token = "v1." + std::string(64, 'a') + ".Normal.4294967295." + std::string(32, 'f') +
                            ".1765256400000." + std::string(64, 'b');
  EXPECT_EQ(SeedOfChallenge(token), 4294967295u);
  EXPECT_EQ(SeedOfChallenge("v1.h.Schwer.0"), 0u);
  for (const char* foreign : {"", "v1.h.Normal", "v1.h.Normal..n", "v1.h.Normal.4294967296.n", "v1.h.Normal.-1.n",
                              "v1.h.Normal.12x.n", "v1.h.Normal. 12.n"})
    EXPECT_FALSE(SeedOfChallenge(foreign)) << foreign;
  EXPECT_EQ(NormalizedName("  A  UTO   PILOT "), "A UTO PILOT");
  EXPECT_EQ(NormalizedName("AUTOPILOT"), "AUTOPILOT");
  EXPECT_EQ(NormalizedName("   "), "");
}

}  // namespace
