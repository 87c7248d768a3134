// PgStore.cpp -- the run store on PostgreSQL (libpqxx).
#include "PgStore.h"

#include <pqxx/pqxx>

#include "Challenge.h"

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS runs (
  id BIGSERIAL PRIMARY KEY,
  sha256 TEXT NOT NULL UNIQUE,
  bytes BYTEA NOT NULL,
  claimed_stagehash TEXT NOT NULL,
  address TEXT NOT NULL,
  submitted TIMESTAMPTZ NOT NULL DEFAULT now(),
  status TEXT NOT NULL DEFAULT 'queued',
  worker TEXT,
  lease_until TIMESTAMPTZ,
  attempts INTEGER NOT NULL DEFAULT 0,
  stage TEXT, stagehash TEXT, difficulty TEXT, classic BOOLEAN,
  score BIGINT, life BIGINT, time DOUBLE PRECISION, name TEXT,
  reason TEXT,
  play TEXT,
  finished TIMESTAMPTZ
);
ALTER TABLE runs ADD COLUMN IF NOT EXISTS play TEXT;
ALTER TABLE runs ADD COLUMN IF NOT EXISTS submitted_ms BIGINT;
)sql";

// Any number, the same for every server: it serialises the creation of
// the tables when several start at once.
constexpr int64_t kSchemaLock = 0x52565346;

std::string Str(const pqxx::field& field) { return field.is_null() ? std::string() : field.c_str(); }

}  // namespace

struct TPgStore::TConnection {
  explicit TConnection(const std::string& url) : Connection(url) {}
  pqxx::connection Connection;
};

template <typename Body>
auto TPgStore::Transact(Body&& body) {
  std::lock_guard lock(fMutex);
  try {
    pqxx::work work(fConnection->Connection);
    auto result = body(work);
    work.commit();
    return result;
  } catch (const pqxx::failure& error) {
    throw EStoreError(std::string("PostgreSQL: ") + error.what());
  }
}

TPgStore::TPgStore(const std::string& url) {
  try {
    fConnection = std::make_unique<TConnection>(url);
    {
      pqxx::work work(fConnection->Connection);
      work.exec_params("SELECT pg_advisory_xact_lock($1)", kSchemaLock);
      work.exec(kSchema);
      work.exec(kRunIndexes);
      work.exec(kChallengeTables);
      work.commit();
    }
    auto& c = fConnection->Connection;
    c.prepare("add",
              "INSERT INTO runs (sha256, bytes, claimed_stagehash, address, submitted_ms) VALUES ($1, $2, $3, $4, $5) "
              "ON CONFLICT (sha256) DO NOTHING RETURNING id");
    c.prepare("find", "SELECT id FROM runs WHERE sha256 = $1");
    c.prepare("claim",
              "UPDATE runs SET worker = $1, lease_until = now() + make_interval(secs => $2), attempts = attempts + 1 "
              "WHERE id = (SELECT id FROM runs WHERE status = 'queued' AND (lease_until IS NULL OR lease_until < now()) "
              "ORDER BY id LIMIT 1 FOR UPDATE SKIP LOCKED) RETURNING id, bytes, claimed_stagehash, attempts, "
              "COALESCE(submitted_ms, (extract(epoch FROM submitted) * 1000)::BIGINT)");
    c.prepare("verified",
              "UPDATE runs SET status = 'verified', stage = $2, stagehash = $3, difficulty = $4, classic = $5, "
              "score = $6, life = $7, time = $8, name = $9, play = $10, finished = now(), lease_until = NULL "
              "WHERE id = $1 AND status = 'queued'");
    c.prepare("use_nonce", "INSERT INTO used_nonces (nonce, run_id) VALUES ($1, $2) ON CONFLICT (nonce) DO NOTHING");
    c.prepare("setting_default",
              "INSERT INTO settings (name, value) VALUES ($1, $2) ON CONFLICT (name) DO NOTHING");
    c.prepare("setting", "SELECT value FROM settings WHERE name = $1");
    c.prepare("refused",
              "UPDATE runs SET status = 'refused', reason = $2, finished = now(), lease_until = NULL "
              "WHERE id = $1 AND status = 'queued'");
    c.prepare("board",
              "SELECT name, score, life, time, difficulty FROM runs WHERE stage = $1 AND difficulty = $2 "
              "AND status = 'verified' ORDER BY score DESC, time, id LIMIT $3");
    c.prepare("run",
              "SELECT status, claimed_stagehash, stage, stagehash, difficulty, classic, score, life, time, name, reason "
              "FROM runs WHERE id = $1");
  } catch (const pqxx::failure& error) {
    throw EStoreError(std::string("PostgreSQL: ") + error.what());
  }
}

TPgStore::~TPgStore() = default;

TAddResult TPgStore::AddPending(std::string_view bytes, std::string_view stageHash, std::string_view address) {
  const std::string sha = Sha256Hex(bytes);
  return Transact([&](pqxx::work& work) {
    const pqxx::binarystring blob(bytes.data(), bytes.size());
    const pqxx::result added = work.exec_prepared("add", sha, blob, std::string(stageHash), std::string(address), UnixMillis());
    if (!added.empty()) return TAddResult{added[0][0].as<int64_t>(), true};
    const pqxx::result found = work.exec_prepared("find", sha);
    if (found.empty()) throw EStoreError("PostgreSQL: run vanished after insert");
    return TAddResult{found[0][0].as<int64_t>(), false};
  });
}

std::optional<TClaimedRun> TPgStore::ClaimNext(std::string_view worker, int leaseSeconds) {
  return Transact([&](pqxx::work& work) -> std::optional<TClaimedRun> {
    const pqxx::result rows = work.exec_prepared("claim", std::string(worker), leaseSeconds);
    if (rows.empty()) return std::nullopt;
    TClaimedRun run;
    run.Id = rows[0][0].as<int64_t>();
    run.Bytes = pqxx::binarystring(rows[0][1]).str();
    run.ClaimedStageHash = Str(rows[0][2]);
    run.Attempts = rows[0][3].as<int>();
    run.SubmittedMs = rows[0][4].as<int64_t>();
    return run;
  });
}

TRunStore::TMark TPgStore::MarkVerified(int64_t id, const TVerifiedRun& result) {
  return Transact([&](pqxx::work& work) {
    // A unique violation undoes only what followed the savepoint: the
    // refusal goes into the same transaction. (libpqxx 6's subtransaction
    // does not recover from a failed prepared statement; plain SQL does.)
    work.exec("SAVEPOINT mark_verified");
    try {
      const auto rows = work
                            .exec_prepared("verified", id, result.Stage, result.StageHash, result.Difficulty,
                                           result.Classic, result.Score, result.Life, result.Time, result.Name, result.Play)
                            .affected_rows();
      if (rows == 1 && !result.Nonce.empty() && work.exec_prepared("use_nonce", result.Nonce, id).affected_rows() != 1) {
        // Another run took the challenge first (on any server): this
        // entry goes again and the refusal takes its place.
        work.exec("ROLLBACK TO SAVEPOINT mark_verified");
        work.exec_prepared("refused", id, std::string(refusal::kUsed.Reason));
        return TMark::ChallengeUsed;
      }
      work.exec("RELEASE SAVEPOINT mark_verified");
      return rows == 1 ? TMark::Stored : TMark::NotQueued;
    } catch (const pqxx::unique_violation&) {
      work.exec("ROLLBACK TO SAVEPOINT mark_verified");
    }
    work.exec_prepared("refused", id, std::string(kDuplicateRunReason));
    return TMark::Duplicate;
  });
}

bool TPgStore::MarkRefused(int64_t id, std::string_view reason) {
  return Transact(
      [&](pqxx::work& work) { return work.exec_prepared("refused", id, std::string(reason)).affected_rows() == 1; });
}

std::vector<TBoardEntry> TPgStore::Board(std::string_view stage, std::string_view difficulty, int limit) {
  return Transact([&](pqxx::work& work) {
    std::vector<TBoardEntry> entries;
    for (const auto& row : work.exec_prepared("board", std::string(stage), std::string(difficulty), limit)) {
      TBoardEntry entry;
      entry.Rank = static_cast<int>(entries.size()) + 1;
      entry.Name = Str(row[0]);
      entry.Score = row[1].as<int64_t>();
      entry.Life = row[2].as<int64_t>();
      entry.Time = row[3].as<double>();
      entry.Difficulty = Str(row[4]);
      entries.push_back(std::move(entry));
    }
    return entries;
  });
}

std::string TPgStore::SharedSecret(std::string_view fresh) {
  return Transact([&](pqxx::work& work) {
    work.exec_prepared("setting_default", std::string("challenge_key"), std::string(fresh));
    const pqxx::result rows = work.exec_prepared("setting", std::string("challenge_key"));
    if (rows.empty()) throw EStoreError("PostgreSQL: the challenge key vanished after insert");
    return Str(rows[0][0]);
  });
}

std::optional<TRunRecord> TPgStore::Run(int64_t id) {
  return Transact([&](pqxx::work& work) -> std::optional<TRunRecord> {
    const pqxx::result rows = work.exec_prepared("run", id);
    if (rows.empty()) return std::nullopt;
    const auto& row = rows[0];
    TRunRecord record;
    record.Id = id;
    record.Status = StatusFromName(Str(row[0])).value_or(TRunStatus::Queued);
    record.ClaimedStageHash = Str(row[1]);
    if (record.Status == TRunStatus::Verified) {
      TVerifiedRun result;
      result.Stage = Str(row[2]);
      result.StageHash = Str(row[3]);
      result.Difficulty = Str(row[4]);
      result.Classic = row[5].as<bool>();
      result.Score = row[6].as<int64_t>();
      result.Life = row[7].as<int64_t>();
      result.Time = row[8].as<double>();
      result.Name = Str(row[9]);
      record.Result = std::move(result);
    }
    record.Reason = Str(row[10]);
    return record;
  });
}

int64_t TPgStore::QueuedCount() {
  return Transact([](pqxx::work& work) {
    return work.exec1("SELECT count(*) FROM runs WHERE status = 'queued'")[0].as<int64_t>();
  });
}
