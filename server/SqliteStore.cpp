// SqliteStore.cpp -- the run store on SQLite.
#include "SqliteStore.h"

#include <sqlite3.h>

#include <chrono>

#include "Challenge.h"

namespace {

constexpr const char* kSchemaTable = R"sql(
CREATE TABLE IF NOT EXISTS runs (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  sha256 TEXT NOT NULL UNIQUE,
  bytes BLOB NOT NULL,
  claimed_stagehash TEXT NOT NULL,
  address TEXT NOT NULL,
  submitted INTEGER NOT NULL,
  status TEXT NOT NULL DEFAULT 'queued',
  worker TEXT,
  lease_until INTEGER,
  attempts INTEGER NOT NULL DEFAULT 0,
  stage TEXT, stagehash TEXT, difficulty TEXT, classic INTEGER,
  score INTEGER, life INTEGER, time REAL, name TEXT,
  reason TEXT,
  play TEXT,
  finished INTEGER,
  submitted_ms INTEGER
);
)sql";

int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string Text(sqlite3_stmt* statement, int column) {
  const auto* text = sqlite3_column_text(statement, column);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
              : std::string();
}

}  // namespace

// One prepared statement, finalized on every path.
class TSqliteStore::TStatement {
 public:
  TStatement(sqlite3* db, const char* sql) : fDb(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &fStatement, nullptr) != SQLITE_OK) Fail();
  }
  ~TStatement() { sqlite3_finalize(fStatement); }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  TStatement& Bind(int index, std::string_view text) {
    Check(sqlite3_bind_text(fStatement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
  }
  TStatement& BindBlob(int index, std::string_view bytes) {
    Check(sqlite3_bind_blob(fStatement, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    return *this;
  }
  TStatement& Bind(int index, int64_t value) {
    Check(sqlite3_bind_int64(fStatement, index, value));
    return *this;
  }
  TStatement& Bind(int index, double value) {
    Check(sqlite3_bind_double(fStatement, index, value));
    return *this;
  }
  // True while a row is there.
  bool Step() {
    const int result = sqlite3_step(fStatement);
    if (result == SQLITE_ROW) return true;
    if (result != SQLITE_DONE) Fail();
    return false;
  }
  sqlite3_stmt* operator*() const { return fStatement; }

 private:
  void Check(int result) {
    if (result != SQLITE_OK) Fail();
  }
  [[noreturn]] void Fail() { throw EStoreError(std::string("SQLite: ") + sqlite3_errmsg(fDb)); }
  sqlite3* fDb;
  sqlite3_stmt* fStatement = nullptr;
};

TSqliteStore::TSqliteStore(const std::string& path) {
  if (sqlite3_open_v2(path.c_str(), &fDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
      SQLITE_OK) {
    const std::string message = fDb ? sqlite3_errmsg(fDb) : "out of memory";
    sqlite3_close(fDb);
    throw EStoreError("SQLite: " + path + ": " + message);
  }
  try {
    sqlite3_busy_timeout(fDb, 10000);
    Execute("PRAGMA journal_mode=WAL");
    // With the log, NORMAL still survives a crash of the process; only a
    // power cut may lose the last commits.
    Execute("PRAGMA synchronous=NORMAL");
    Execute(kSchemaTable);
    // A database from before plays were told apart gains their column.
    if (!HasColumn("runs", "play")) Execute("ALTER TABLE runs ADD COLUMN play TEXT");
    if (!HasColumn("runs", "submitted_ms")) Execute("ALTER TABLE runs ADD COLUMN submitted_ms INTEGER");
    Execute(kRunIndexes);
    Execute(kChallengeTables);
  } catch (...) {
    sqlite3_close(fDb);
    throw;
  }
}

TSqliteStore::~TSqliteStore() { sqlite3_close(fDb); }

bool TSqliteStore::HasColumn(const char* table, const char* column) {
  TStatement info(fDb, (std::string("PRAGMA table_info(") + table + ")").c_str());
  while (info.Step()) {
    if (Text(*info, 1) == column) return true;
  }
  return false;
}

void TSqliteStore::Execute(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(fDb, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : sqlite3_errmsg(fDb);
    sqlite3_free(error);
    throw EStoreError("SQLite: " + message);
  }
}

TAddResult TSqliteStore::AddPending(std::string_view bytes, std::string_view stageHash, std::string_view address) {
  const std::string sha = Sha256Hex(bytes);
  std::lock_guard lock(fMutex);
  TStatement insert(fDb,
                    "INSERT INTO runs (sha256, bytes, claimed_stagehash, address, submitted, submitted_ms) "
                    "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (sha256) DO NOTHING");
  const int64_t nowMs = UnixMillis();
  insert.Bind(1, sha).BindBlob(2, bytes).Bind(3, stageHash).Bind(4, address).Bind(5, nowMs / 1000).Bind(6, nowMs);
  insert.Step();
  const bool added = sqlite3_changes(fDb) == 1;
  TStatement select(fDb, "SELECT id FROM runs WHERE sha256 = ?");
  select.Bind(1, sha);
  if (!select.Step()) throw EStoreError("SQLite: run vanished after insert");
  return {sqlite3_column_int64(*select, 0), added};
}

std::optional<TClaimedRun> TSqliteStore::ClaimNext(std::string_view worker, int leaseSeconds) {
  std::lock_guard lock(fMutex);
  // IMMEDIATE takes the write lock first, so a second process on the file
  // cannot pick the same row between our read and our write.
  Execute("BEGIN IMMEDIATE");
  try {
    const int64_t now = NowSeconds();
    TStatement pick(fDb,
                    "SELECT id, bytes, claimed_stagehash, attempts, COALESCE(submitted_ms, submitted * 1000) FROM runs "
                    "WHERE status = 'queued' "
                    "AND (lease_until IS NULL OR lease_until < ?) ORDER BY id LIMIT 1");
    pick.Bind(1, now);
    std::optional<TClaimedRun> run;
    if (pick.Step()) {
      run.emplace();
      run->Id = sqlite3_column_int64(*pick, 0);
      const auto* blob = static_cast<const char*>(sqlite3_column_blob(*pick, 1));
      run->Bytes.assign(blob ? blob : "", static_cast<std::size_t>(sqlite3_column_bytes(*pick, 1)));
      run->ClaimedStageHash = Text(*pick, 2);
      run->Attempts = sqlite3_column_int(*pick, 3) + 1;
      run->SubmittedMs = sqlite3_column_int64(*pick, 4);
      TStatement claim(fDb, "UPDATE runs SET worker = ?, lease_until = ?, attempts = attempts + 1 WHERE id = ?");
      claim.Bind(1, worker).Bind(2, now + leaseSeconds).Bind(3, run->Id);
      claim.Step();
    }
    Execute("COMMIT");
    return run;
  } catch (...) {
    sqlite3_exec(fDb, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

TRunStore::TMark TSqliteStore::MarkVerified(int64_t id, const TVerifiedRun& result) {
  std::lock_guard lock(fMutex);
  Execute("BEGIN IMMEDIATE");
  try {
    TMark mark = TMark::Stored;
    bool duplicate = false;
    Execute("SAVEPOINT mark_verified");
    {
      TStatement update(fDb,
                        "UPDATE runs SET status = 'verified', stage = ?, stagehash = ?, difficulty = ?, classic = ?, "
                        "score = ?, life = ?, time = ?, name = ?, play = ?, finished = ?, lease_until = NULL "
                        "WHERE id = ? AND status = 'queued'");
      update.Bind(1, result.Stage).Bind(2, result.StageHash).Bind(3, result.Difficulty);
      update.Bind(4, int64_t{result.Classic}).Bind(5, result.Score).Bind(6, result.Life).Bind(7, result.Time);
      update.Bind(8, result.Name).Bind(9, result.Play).Bind(10, NowSeconds()).Bind(11, id);
      try {
        update.Step();
        if (sqlite3_changes(fDb) != 1) mark = TMark::NotQueued;
      } catch (const EStoreError&) {
        if (sqlite3_extended_errcode(fDb) != SQLITE_CONSTRAINT_UNIQUE) throw;
        duplicate = true;
      }
    }
    if (mark == TMark::Stored && !duplicate && !result.Nonce.empty()) {
      TStatement use(fDb, "INSERT INTO used_nonces (nonce, run_id) VALUES (?, ?) ON CONFLICT (nonce) DO NOTHING");
      use.Bind(1, result.Nonce).Bind(2, id);
      use.Step();
      if (sqlite3_changes(fDb) != 1) {
        // The entry goes again; the refusal takes its place.
        Execute("ROLLBACK TO mark_verified");
        Refuse(id, refusal::kUsed.Reason);
        mark = TMark::ChallengeUsed;
      }
    }
    Execute("RELEASE mark_verified");
    // The failed statement changed nothing; the transaction goes on.
    if (duplicate) {
      Refuse(id, kDuplicateRunReason);
      mark = TMark::Duplicate;
    }
    Execute("COMMIT");
    return mark;
  } catch (...) {
    sqlite3_exec(fDb, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

bool TSqliteStore::Refuse(int64_t id, std::string_view reason) {
  TStatement update(fDb,
                    "UPDATE runs SET status = 'refused', reason = ?, finished = ?, lease_until = NULL "
                    "WHERE id = ? AND status = 'queued'");
  update.Bind(1, reason).Bind(2, NowSeconds()).Bind(3, id);
  update.Step();
  return sqlite3_changes(fDb) == 1;
}

bool TSqliteStore::MarkRefused(int64_t id, std::string_view reason) {
  std::lock_guard lock(fMutex);
  return Refuse(id, reason);
}

std::vector<TBoardEntry> TSqliteStore::Board(std::string_view stage, std::string_view difficulty, int limit) {
  std::lock_guard lock(fMutex);
  TStatement select(fDb,
                    "SELECT name, score, life, time, difficulty FROM runs WHERE stage = ? AND difficulty = ? "
                    "AND status = 'verified' ORDER BY score DESC, time, id LIMIT ?");
  select.Bind(1, stage).Bind(2, difficulty).Bind(3, int64_t{limit});
  std::vector<TBoardEntry> entries;
  while (select.Step()) {
    TBoardEntry entry;
    entry.Rank = static_cast<int>(entries.size()) + 1;
    entry.Name = Text(*select, 0);
    entry.Score = sqlite3_column_int64(*select, 1);
    entry.Life = sqlite3_column_int64(*select, 2);
    entry.Time = sqlite3_column_double(*select, 3);
    entry.Difficulty = Text(*select, 4);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string TSqliteStore::SharedSecret(std::string_view fresh) {
  std::lock_guard lock(fMutex);
  TStatement insert(fDb, "INSERT INTO settings (name, value) VALUES ('challenge_key', ?) ON CONFLICT (name) DO NOTHING");
  insert.Bind(1, fresh);
  insert.Step();
  TStatement select(fDb, "SELECT value FROM settings WHERE name = 'challenge_key'");
  if (!select.Step()) throw EStoreError("SQLite: the challenge key vanished after insert");
  return Text(*select, 0);
}

std::optional<TRunRecord> TSqliteStore::Run(int64_t id) {
  std::lock_guard lock(fMutex);
  TStatement select(fDb,
                    "SELECT status, claimed_stagehash, stage, stagehash, difficulty, classic, score, life, time, name, "
                    "reason FROM runs WHERE id = ?");
  select.Bind(1, id);
  if (!select.Step()) return std::nullopt;
  TRunRecord record;
  record.Id = id;
  record.Status = StatusFromName(Text(*select, 0)).value_or(TRunStatus::Queued);
  record.ClaimedStageHash = Text(*select, 1);
  if (record.Status == TRunStatus::Verified) {
    TVerifiedRun result;
    result.Stage = Text(*select, 2);
    result.StageHash = Text(*select, 3);
    result.Difficulty = Text(*select, 4);
    result.Classic = sqlite3_column_int(*select, 5) != 0;
    result.Score = sqlite3_column_int64(*select, 6);
    result.Life = sqlite3_column_int64(*select, 7);
    result.Time = sqlite3_column_double(*select, 8);
    result.Name = Text(*select, 9);
    record.Result = std::move(result);
  }
  record.Reason = Text(*select, 10);
  return record;
}

int64_t TSqliteStore::QueuedCount() {
  std::lock_guard lock(fMutex);
  TStatement select(fDb, "SELECT count(*) FROM runs WHERE status = 'queued'");
  select.Step();
  return sqlite3_column_int64(*select, 0);
}
