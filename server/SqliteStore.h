// SqliteStore.h -- the run store in one SQLite file: write-ahead log, a busy
// timeout so that a second process on the same file waits instead of
// failing, and one connection shared by this process's threads.
#pragma once

#include <mutex>
#include <string>

#include "Store.h"

struct sqlite3;
struct sqlite3_stmt;

class TSqliteStore final : public TRunStore {
 public:
  // Opens (creating when missing) the database file at path.
  explicit TSqliteStore(const std::string& path);
  ~TSqliteStore() override;
  TSqliteStore(const TSqliteStore&) = delete;
  TSqliteStore& operator=(const TSqliteStore&) = delete;

  TAddResult AddPending(std::string_view bytes, std::string_view stageHash, std::string_view address) override;
  std::optional<TClaimedRun> ClaimNext(std::string_view worker, int leaseSeconds) override;
  TMark MarkVerified(int64_t id, const TVerifiedRun& result) override;
  bool MarkRefused(int64_t id, std::string_view reason) override;
  std::vector<TBoardEntry> Board(std::string_view stage, std::string_view difficulty, int limit) override;
  std::optional<TRunRecord> Run(int64_t id) override;
  std::string SharedSecret(std::string_view fresh) override;
  int64_t QueuedCount() override;

 private:
  class TStatement;
  void Execute(const char* sql);
  bool HasColumn(const char* table, const char* column);
  // MarkRefused under a lock already held.
  bool Refuse(int64_t id, std::string_view reason);
  sqlite3* fDb = nullptr;
  std::mutex fMutex;
};
