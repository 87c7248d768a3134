// Server.h -- the leaderboard's HTTP server and its verification workers.
// Requests only store and read; the workers claim queued runs from the
// store, verify them in child processes and write the verdict back.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "RateLimiter.h"
#include "Store.h"
#include "Verifier.h"

namespace httplib {
class Server;
}

struct TServerOptions {
  std::string Bind = "127.0.0.1";
  int Port = 8080;  // 0: any free port (see TLeaderboardServer::Port)
  std::string TempDir;  // absolute; recordings are written here for the verifier
  int Workers = 2;      // verifications at once
  int LeaseSeconds = 180;  // a claimed run goes back to the queue after this
  int RatePerMinute = 120;  // requests per address; 0: unlimited
  int RateBurst = 60;
  std::size_t MaxRunBytes = 2 * 1024 * 1024;
};

class TLeaderboardServer {
 public:
  // shippedStages: name to stage hash, from the game (--stage-hashes).
  TLeaderboardServer(TServerOptions options, TRunStore& store, const TVerifier& verifier,
                     std::map<std::string, std::string> shippedStages);
  ~TLeaderboardServer();

  // Binds the port and starts the workers; throws std::runtime_error when
  // the address cannot be bound.
  void Start();
  // Serves until Stop (from any thread).
  void Serve();
  // Stops taking requests and claims; a verification under way finishes.
  void Stop();
  int Port() const { return fPort; }

 private:
  void Route();
  void Work(int index);
  void VerifyOne(const TClaimedRun& run, const std::string& worker);

  TServerOptions fOptions;
  TRunStore& fStore;
  const TVerifier& fVerifier;
  std::map<std::string, std::string> fStages;  // name -> hash
  std::map<std::string, std::string> fStageByHash;
  std::unique_ptr<httplib::Server> fHttp;
  TRateLimiter fLimiter;
  int fPort = 0;
  std::vector<std::thread> fWorkers;
  std::atomic<bool> fStopping{false};
  std::mutex fWakeMutex;
  std::condition_variable fWake;
};

// One JSON line on stderr (whole lines, also from several threads):
// {"time":"...", fields...}; fields is JSON object content without braces.
void LogLine(const std::string& fields);
