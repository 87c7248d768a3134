// StoreTest.cpp -- both run stores, SQLite and PostgreSQL, held to the same
// contract: binary bytes kept whole, the same bytes stored once, claims
// exclusive across connections, leases that run out, one verdict per run,
// boards in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include <sqlite3.h>

#include "Challenge.h"
#include "Store.h"
#include "server/TempDir.h"

namespace {

class StoreTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "sqlite") {
      fWhere = fDir.Path() + "/leaderboard.sqlite";
      return;
    }
    fCluster.emplace(fDir.Path() + "/pg");
    if (fCluster->Url().empty()) {
      GTEST_SKIP() << "\n\n*** PostgreSQL IS NOT INSTALLED: the PostgreSQL store is NOT TESTED. "
                      "Install Debian's postgresql (scripts/setup does). ***\n";
    }
    fWhere = fCluster->Url();
  }
  std::unique_ptr<TRunStore> Open() { return OpenStore(fWhere); }

  // The play is told by stage, name and score unless given.
  static TVerifiedRun Result(std::string stage, std::string name, int64_t score, double time, std::string play = "") {
    TVerifiedRun run;
    run.Play = play.empty() ? Sha256Hex(stage + name + std::to_string(score)) : play;
    run.Stage = std::move(stage);
    run.StageHash = "0123456789abcdef";
    run.Difficulty = "Schwer";
    run.Classic = true;
    run.Score = score;
    run.Life = 42;
    run.Time = time;
    run.Name = std::move(name);
    return run;
  }

  TTempDir fDir;
  std::optional<TPgCluster> fCluster;
  std::string fWhere;
};

TEST_P(StoreTest, QueueVerdictsAndBoards) {
  auto store = Open();
  // Every byte value, NUL first: a store that treats bytes as text loses
  // them.
  std::string binary;
  for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
  const TAddResult a = store->AddPending(binary, "0123456789abcdef", "10.0.0.1");
  const TAddResult b = store->AddPending("run b", "0123456789abcdef", "10.0.0.2");
  const TAddResult again = store->AddPending(binary, "fedcba9876543210", "10.0.0.3");
  EXPECT_TRUE(a.New);
  EXPECT_TRUE(b.New);
  EXPECT_FALSE(again.New);
  EXPECT_EQ(again.Id, a.Id);
  EXPECT_NE(a.Id, b.Id);

  // Oldest first; a held run is not handed out twice.
  const auto first = store->ClaimNext("w1", 60);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->Id, a.Id);
  EXPECT_EQ(first->Bytes, binary);
  EXPECT_EQ(first->ClaimedStageHash, "0123456789abcdef");
  EXPECT_EQ(first->Attempts, 1);
  const auto second = store->ClaimNext("w2", 60);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->Id, b.Id);
  EXPECT_FALSE(store->ClaimNext("w3", 60));

  // The first verdict stands.
  using TMark = TRunStore::TMark;
  EXPECT_EQ(store->MarkVerified(a.Id, Result("Level01", "ANNA B", 500, 31.5)), TMark::Stored);
  EXPECT_EQ(store->MarkVerified(a.Id, Result("Level01", "ANNA B", 900, 31.5)), TMark::NotQueued);
  EXPECT_FALSE(store->MarkRefused(a.Id, "late"));
  EXPECT_TRUE(store->MarkRefused(b.Id, "Die Pr\u00fcfung ist abgest\u00fcrzt."));
  EXPECT_EQ(store->MarkVerified(b.Id, Result("Level01", "B", 1, 1)), TMark::NotQueued);

  // Other bytes, the same play under another name: no second entry; the
  // same call refuses the run as listed already.
  const int64_t copy = store->AddPending("run a with an unseen byte changed", "0123456789abcdef", "10.0.0.1").Id;
  EXPECT_EQ(store->MarkVerified(copy, Result("Level01", "BUTOPILOT", 500, 31.5, Result("Level01", "ANNA B", 500, 0).Play)),
            TMark::Duplicate);
  const auto refusedCopy = store->Run(copy);
  EXPECT_EQ(refusedCopy->Status, TRunStatus::Refused);
  EXPECT_EQ(refusedCopy->Reason, kDuplicateRunReason);
  EXPECT_FALSE(store->MarkRefused(copy, "late"));
  EXPECT_FALSE(store->ClaimNext("w4", 60));

  const auto runA = store->Run(a.Id);
  ASSERT_TRUE(runA && runA->Result);
  EXPECT_EQ(runA->Status, TRunStatus::Verified);
  EXPECT_EQ(runA->Result->Score, 500);
  EXPECT_EQ(runA->Result->Name, "ANNA B");
  EXPECT_EQ(runA->Result->Difficulty, "Schwer");
  EXPECT_TRUE(runA->Result->Classic);
  EXPECT_EQ(runA->Result->Life, 42);
  EXPECT_DOUBLE_EQ(runA->Result->Time, 31.5);
  const auto runB = store->Run(b.Id);
  ASSERT_TRUE(runB);
  EXPECT_EQ(runB->Status, TRunStatus::Refused);
  EXPECT_FALSE(runB->Result);
  EXPECT_EQ(runB->Reason, "Die Pr\u00fcfung ist abgest\u00fcrzt.");
  EXPECT_FALSE(store->Run(b.Id + 1000));

  // Boards: by score, ties by shorter time, then by submission; per stage.
  const std::vector<std::tuple<std::string, std::string, int64_t, double>> runs = {
      {"Level02", "LOW", 100, 50}, {"Level02", "SLOW", 300, 90}, {"Level02", "FAST", 300, 60},
      {"Level02", "LATER FAST", 300, 60}, {"Level03", "ELSEWHERE", 999, 1}};
  for (const auto& [stage, name, score, time] : runs) {
    const int64_t id = store->AddPending(name, "0123456789abcdef", "10.0.0.9").Id;
    ASSERT_EQ(store->MarkVerified(id, Result(stage, name, score, time)), TRunStore::TMark::Stored);
  }
  // The same figures from another play is another place.
  const int64_t twin = store->AddPending("another play, same figures", "0123456789abcdef", "10.0.0.1").Id;
  EXPECT_EQ(store->MarkVerified(twin, Result("Level01", "ANNA B", 500, 31.5, Sha256Hex("twin"))), TMark::Stored);
  const auto board = store->Board("Level02", "Schwer", 3);
  ASSERT_EQ(board.size(), 3u);
  EXPECT_EQ(board[0].Name, "FAST");
  EXPECT_EQ(board[1].Name, "LATER FAST");
  EXPECT_EQ(board[2].Name, "SLOW");
  EXPECT_EQ(board[2].Rank, 3);
  EXPECT_EQ(store->Board("Level02", "Schwer", 10).size(), 4u);
  EXPECT_TRUE(store->Board("Level02", "Normal", 10).empty());
  EXPECT_TRUE(store->Board("Level09", "Schwer", 10).empty());

  // All of it was committed: a new connection sees the same.
  auto reopened = Open();
  EXPECT_EQ(reopened->Board("Level01", "Schwer", 10).size(), 2u);
  EXPECT_EQ(reopened->Run(b.Id)->Status, TRunStatus::Refused);
}

TEST_P(StoreTest, ExpiredLeaseHandsTheRunOutAgain) {
  auto store = Open();
  const int64_t id = store->AddPending("lost run", "0123456789abcdef", "10.0.0.1").Id;
  ASSERT_TRUE(store->ClaimNext("killed worker", 1));
  EXPECT_FALSE(store->ClaimNext("w", 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  auto other = Open();
  const auto reclaimed = other->ClaimNext("w", 60);
  ASSERT_TRUE(reclaimed);
  EXPECT_EQ(reclaimed->Id, id);
  EXPECT_EQ(reclaimed->Attempts, 2);
  // A lease holds for its length, not only for the second it was taken in:
  // a worker still verifying is not joined by another.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_FALSE(store->ClaimNext("w2", 60));
  EXPECT_EQ(other->MarkVerified(id, Result("Level01", "A", 1, 1)), TRunStore::TMark::Stored);
  // Finished runs stay finished, lease or not.
  EXPECT_FALSE(store->ClaimNext("w", 60));
}

// Four workers on two connections (two servers) drain one queue: every run
// is claimed exactly once.
TEST_P(StoreTest, ConcurrentWorkersClaimEachRunOnce) {
  auto storeA = Open();
  auto storeB = Open();
  constexpr int kRuns = 60;
  for (int i = 0; i < kRuns; ++i) storeA->AddPending("run " + std::to_string(i), "0123456789abcdef", "10.0.0.1");
  std::mutex mutex;
  std::map<int64_t, int> claims;
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      TRunStore& store = w % 2 ? *storeB : *storeA;
      while (const auto run = store.ClaimNext("w" + std::to_string(w), 60)) {
        {
          std::lock_guard lock(mutex);
          ++claims[run->Id];
        }
        store.MarkVerified(run->Id, Result("Level01", "W" + std::to_string(w), run->Id, 1));
      }
    });
  }
  for (auto& worker : workers) worker.join();
  ASSERT_EQ(claims.size(), static_cast<std::size_t>(kRuns));
  for (const auto& [id, count] : claims) EXPECT_EQ(count, 1) << "run " << id;
  EXPECT_EQ(storeB->Board("Level01", "Schwer", 100).size(), static_cast<std::size_t>(kRuns));
}

// A database from before plays were told apart opens: the column is added,
// the old rows stay on the board, and the old rule (one entry per result)
// no longer stands in the way of another play with the same figures.
// A challenge's nonce goes on the board with the first run that brings it:
// a second run with it is refused in the verdict's transaction, also from
// another connection (another server), and nothing of it reaches the
// board. Every server of one database signs with one key.
TEST_P(StoreTest, ANonceIsUsedOnceAndTheKeyIsShared) {
  auto store = Open();
  auto other = Open();
  const int64_t before = UnixMillis();
  const int64_t first = store->AddPending("first", "h", "a").Id;
  const int64_t second = other->AddPending("second", "h", "a").Id;
  const int64_t third = store->AddPending("third", "h", "a").Id;
  const auto claimed = store->ClaimNext("w", 60);
  ASSERT_TRUE(claimed);
  EXPECT_GE(claimed->SubmittedMs, before);
  EXPECT_LE(claimed->SubmittedMs, UnixMillis());

  TVerifiedRun a = Result("Level01", "A", 10, 1), b = Result("Level01", "B", 20, 1), c = Result("Level01", "C", 30, 1);
  a.Nonce = b.Nonce = "00112233445566778899aabbccddeeff";
  c.Nonce = "ffeeddccbbaa99887766554433221100";
  EXPECT_EQ(store->MarkVerified(first, a), TRunStore::TMark::Stored);
  EXPECT_EQ(other->MarkVerified(second, b), TRunStore::TMark::ChallengeUsed);
  EXPECT_EQ(store->MarkVerified(third, c), TRunStore::TMark::Stored);
  const auto refused = store->Run(second);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->Status, TRunStatus::Refused);
  EXPECT_EQ(refused->Reason, refusal::kUsed.Reason);
  const auto board = store->Board("Level01", "Schwer", 10);
  ASSERT_EQ(board.size(), 2u);
  EXPECT_EQ(board[0].Name, "C");
  EXPECT_EQ(board[1].Name, "A");

  const std::string key = store->SharedSecret("first key");
  EXPECT_EQ(key, "first key");
  EXPECT_EQ(other->SharedSecret("second key"), "first key");
  EXPECT_EQ(Open()->SharedSecret("third key"), "first key");
}

TEST(SqliteStoreTest, OpensADatabaseWithoutPlays) {
  TTempDir dir;
  const std::string path = dir.Path() + "/old.sqlite";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, R"sql(
CREATE TABLE runs (id INTEGER PRIMARY KEY AUTOINCREMENT, sha256 TEXT NOT NULL UNIQUE, bytes BLOB NOT NULL,
  claimed_stagehash TEXT NOT NULL, address TEXT NOT NULL, submitted INTEGER NOT NULL,
  status TEXT NOT NULL DEFAULT 'queued', worker TEXT, lease_until INTEGER, attempts INTEGER NOT NULL DEFAULT 0,
  stage TEXT, stagehash TEXT, difficulty TEXT, classic INTEGER, score INTEGER, life INTEGER, time REAL, name TEXT,
  reason TEXT, finished INTEGER);
CREATE UNIQUE INDEX runs_result ON runs (stage, stagehash, difficulty, classic, score, life, time, name)
  WHERE status = 'verified';
INSERT INTO runs (sha256, bytes, claimed_stagehash, address, submitted, status, stage, stagehash, difficulty, classic,
  score, life, time, name) VALUES ('old', x'00', 'h', 'a', 0, 'verified', 'Level01', 'h', 'Normal', 0, 5, 1, 2.5, 'OLD');
INSERT INTO runs (sha256, bytes, claimed_stagehash, address, submitted) VALUES ('queued', x'01', 'h', 'a', 1234);
)sql", nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);

  auto store = OpenStore(path);
  // A run queued before arrival times were kept in milliseconds.
  const auto queued = store->ClaimNext("w", 60);
  ASSERT_TRUE(queued);
  EXPECT_EQ(queued->SubmittedMs, 1234000);
  TVerifiedRun run;
  run.Stage = "Level01";
  run.StageHash = "h";
  run.Difficulty = "Normal";
  run.Score = 5;
  run.Life = 1;
  run.Time = 2.5;
  run.Name = "OLD";
  for (const std::string play : {"p1", "p1"}) {
    run.Play = play;
    const int64_t id = store->AddPending("new " + std::to_string(store->Board("Level01", "Normal", 10).size()), "h", "a").Id;
    store->MarkVerified(id, run);
  }
  EXPECT_EQ(store->Board("Level01", "Normal", 10).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

}  // namespace
