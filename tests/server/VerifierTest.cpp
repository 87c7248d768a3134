// VerifierTest.cpp -- the server's side of the game as verifier: a game
// without stages is reported with the folder they are missing from, and a
// run whose verification keeps dying is given up only at the limit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Workers.h"
#include "server/TempDir.h"

namespace {

const std::string kLevel01 = "0123456701234567012345670123456701234567012345670123456701234567";

TEST(VerifierTest, AGameWithoutStagesIsNamedWithTheFolder) {
  TTempDir dir;
  const std::string game = dir.Path() + "/riftvaulter";
  std::ofstream(game) << "#!/bin/sh\nexit 0\n";
  std::filesystem::permissions(game, std::filesystem::perms::owner_all);
  std::filesystem::create_directory(dir.Path() + "/data");
  try {
    (void)TVerifier(game, TChildLimits{}).StageHashes();
    FAIL() << "no stages, no error";
  } catch (const std::runtime_error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find(dir.Path() + "/data"), std::string::npos) << message;
    EXPECT_NE(message.find("rv_stages"), std::string::npos) << message;
  }
}

TEST(VerifierTest, ARunIsGivenUpAfterTheLastAttemptOnly) {
  TTempDir dir;
  const auto store = OpenStore(dir.Path() + "/leaderboard.sqlite");
  TChildLimits limits;
  limits.WallSeconds = 10;
  const TVerifier verifier(std::string(RV_SOURCE_DIR) + "/tests/server/fake-verifier", limits);
  const std::map<std::string, std::string> stages = {{"Level01", kLevel01}};
  const TChallenges privateBoard("key", false);
  TVerificationWorkers workers({1, 60, dir.Path()}, *store, verifier, stages, privateBoard);

  // Each claim is a new attempt; the last one allowed still verifies.
  auto claimed = [&](const std::string& name, int attempts) {
    const std::string line = "verified: stage=Level01 stagehash=" + kLevel01 +
                             " difficulty=Normal classic=0 score=10 life=1 time=2.5 name=" + name +
                             " play=" + Sha256Hex(name) + " seed=1 challenge=- clockms=2600";
    TClaimedRun run;
    run.Bytes = "riftvaulter-fake-run\n" + line + "\nsum=" + Sha256Hex(line) + "\n";
    run.Id = store->AddPending(run.Bytes, kLevel01, "10.0.0.1").Id;
    run.ClaimedStageHash = kLevel01;
    run.Attempts = attempts;
    return run;
  };
  const TClaimedRun last = claimed("LAST", kMaxVerifyAttempts);
  const TClaimedRun beyond = claimed("BEYOND", kMaxVerifyAttempts + 1);
  workers.Finish(last, "test");
  workers.Finish(beyond, "test");
  EXPECT_EQ(store->Run(last.Id)->Status, TRunStatus::Verified);
  const auto given = store->Run(beyond.Id);
  EXPECT_EQ(given->Status, TRunStatus::Refused);
  EXPECT_NE(given->Reason.find("mehreren Versuchen"), std::string::npos) << given->Reason;
}

}  // namespace
