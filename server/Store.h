// Store.h -- where submitted runs live: the queue of runs waiting for their
// verification and the boards of the verified ones. Two implementations:
// SQLite in one file (one machine) and PostgreSQL (several servers sharing
// the work). Every call commits before it returns, so what a caller was told
// survives a crash of the process the next moment. Calls are safe from any
// thread. Failures of the database throw EStoreError.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Protocol.h"

class EStoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TRunStatus { Queued, Verified, Refused };

// Why a run whose result is on the board already is refused (for the
// player).
// The runs table's indexes, the same SQL for SQLite and PostgreSQL; run
// after the table (and its added columns) exist.
inline constexpr const char* kRunIndexes = R"sql(
CREATE INDEX IF NOT EXISTS runs_queue ON runs (status, id);
DROP INDEX IF EXISTS runs_board;
CREATE INDEX IF NOT EXISTS runs_board2 ON runs (stage, difficulty, status, score DESC, time, id);
-- One play, one place: the same play again (under another name, with
-- other looks, or with bytes changed that its replay does not see) is no
-- second entry on its stage's board of its difficulty. Older runs have no
-- play and never clash.
DROP INDEX IF EXISTS runs_result;
CREATE UNIQUE INDEX IF NOT EXISTS runs_play ON runs (stagehash, difficulty, play)
  WHERE status = 'verified' AND play IS NOT NULL;
)sql";

// The tables both stores share: settings (the challenges' key) and the
// nonces of challenges whose run is on the board, each at most once.
inline constexpr const char* kChallengeTables = R"sql(
CREATE TABLE IF NOT EXISTS settings (name TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS used_nonces (nonce TEXT PRIMARY KEY, run_id BIGINT NOT NULL);
)sql";

inline constexpr const char* kDuplicateRunReason = "Dieser Lauf steht schon in der Bestenliste.";

// A run as the API reports it. Result is set once verified; Reason once
// refused.
struct TRunRecord {
  int64_t Id = 0;
  TRunStatus Status = TRunStatus::Queued;
  std::string ClaimedStageHash;  // the stage hash the client named
  std::optional<TVerifiedRun> Result;
  std::string Reason;
};

// A run handed to one worker to verify.
struct TClaimedRun {
  int64_t Id = 0;
  std::string Bytes;
  std::string ClaimedStageHash;
  int Attempts = 0;  // claims so far, this one included
  int64_t SubmittedMs = 0;  // when it arrived, unix milliseconds on the receiving server's clock
};

struct TBoardEntry {
  int Rank = 0;
  std::string Name;
  int64_t Score = 0;
  int64_t Life = 0;
  double Time = 0;
  std::string Difficulty;
};

struct TAddResult {
  int64_t Id = 0;
  bool New = false;  // false: the same bytes were submitted before, Id is theirs
};

class TRunStore {
 public:
  virtual ~TRunStore() = default;

  // Stores a run as queued. Runs are told apart by a SHA-256 of their
  // bytes: the same bytes again give the first submission's id.
  virtual TAddResult AddPending(std::string_view bytes, std::string_view stageHash, std::string_view address) = 0;

  // Hands the oldest queued run that nobody holds to worker for
  // leaseSeconds; a run whose lease ran out (its worker died) is handed out
  // again. No run goes to two workers while a lease holds, not even across
  // processes.
  virtual std::optional<TClaimedRun> ClaimNext(std::string_view worker, int leaseSeconds) = 0;

  // Ends a queued run. NotQueued when it was no longer queued (another
  // worker finished it after this one's lease ran out): the first verdict
  // stands. Duplicate when a verified run of the same play (result.Play,
  // on the same stage hash and difficulty) is there already, whatever its
  // name or looks: the run is refused with kDuplicateRunReason instead, in
  // the same transaction, and the first entry keeps its name.
  // ChallengeUsed when result.Nonce is set and a run on the board used it
  // already: refused with refusal::kUsed instead, in the same transaction
  // that would have marked it used (two servers cannot both take it).
  enum class TMark { Stored, NotQueued, Duplicate, ChallengeUsed };
  virtual TMark MarkVerified(int64_t id, const TVerifiedRun& result) = 0;
  virtual bool MarkRefused(int64_t id, std::string_view reason) = 0;

  // The verified runs of a stage (by its name) at one difficulty, best
  // first: higher score, then shorter time, then earlier submission.
  virtual std::vector<TBoardEntry> Board(std::string_view stage, std::string_view difficulty, int limit) = 0;

  virtual std::optional<TRunRecord> Run(int64_t id) = 0;

  // The key every server of this database signs challenges with: the one
  // stored, else `fresh`, stored now (when several start at once, the first
  // to store wins and all return its key).
  virtual std::string SharedSecret(std::string_view fresh) = 0;
  // How many runs wait for their verification (the health answer's queue
  // depth); throws when the database cannot be reached.
  virtual int64_t QueuedCount() = 0;
};

// Opens the store a --db value names: "postgresql://..." (or
// "postgres://...") for PostgreSQL, else the path of a SQLite file, created
// with its tables when missing.
[[nodiscard]] std::unique_ptr<TRunStore> OpenStore(const std::string& where);

// Lower-case hex SHA-256 of bytes.
[[nodiscard]] std::string Sha256Hex(std::string_view bytes);

const char* StatusName(TRunStatus status);
std::optional<TRunStatus> StatusFromName(std::string_view name);
