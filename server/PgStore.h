// PgStore.h -- the run store on PostgreSQL, for several servers sharing one
// database: claims take rows with FOR UPDATE SKIP LOCKED, so two servers
// never pick the same run, and leases run on the database's clock.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "Store.h"

class TPgStore final : public TRunStore {
 public:
  // Connects to url ("postgresql://user@host:port/db?..."), creating the
  // tables when missing.
  explicit TPgStore(const std::string& url);
  ~TPgStore() override;

  TAddResult AddPending(std::string_view bytes, std::string_view stageHash, std::string_view address) override;
  std::optional<TClaimedRun> ClaimNext(std::string_view worker, int leaseSeconds) override;
  TMark MarkVerified(int64_t id, const TVerifiedRun& result) override;
  bool MarkRefused(int64_t id, std::string_view reason) override;
  std::vector<TBoardEntry> Board(std::string_view stage, std::string_view difficulty, int limit) override;
  std::optional<TRunRecord> Run(int64_t id) override;
  std::string SharedSecret(std::string_view fresh) override;
  int64_t QueuedCount() override;

 private:
  // Runs body in a transaction on the one connection; database failures
  // become EStoreError.
  template <typename Body>
  auto Transact(Body&& body);
  struct TConnection;  // the libpqxx connection, whose header stays out of here
  std::unique_ptr<TConnection> fConnection;
  std::mutex fMutex;
};
