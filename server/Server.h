// Server.h -- the leaderboard's HTTP server and its verification workers.
// Requests only store and read; the workers (Workers.h) claim queued runs
// from the store, verify them in child processes and write the verdict
// back.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AccessLog.h"
#include "Challenge.h"
#include "ClientAddress.h"
#include "RateLimiter.h"
#include "Store.h"
#include "Verifier.h"
#include "Workers.h"

namespace httplib {
class Server;
struct Request;
struct Response;
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
  // Runs go on the board only with a challenge of this server's (false: a
  // private board that takes them without).
  bool ChallengesRequired = true;
  int64_t ChallengeStartWindowMs = kDefaultStartWindowMs;
  // The challenges' key; empty: the one the store keeps for every server
  // of its database (made on the first start).
  std::string ChallengeKey;

  // Facing the internet (a proxy in front does the heavy lifting; these
  // keep the server alive without one).
  std::vector<std::string> TrustedProxies;  // canonical addresses whose X-Forwarded-For counts
  std::vector<std::string> AllowedOrigins;  // cross-origin readers and senders; none: same origin only
  int UploadsPerMinute = 6;  // POST /api/runs per address (IPv6: per /64), on top of RatePerMinute; 0: unlimited
  int UploadBurst = 10;
  int Threads = 256;         // connections served at once; more wait
  int ReadSeconds = 5;       // the longest wait for the next bytes of a request
  int BodySeconds = 30;      // a run's whole body must arrive within this
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
  // The API's and the page's handlers (Routes.cpp).
  void Route();
  // The shipped stage ?stage= names, or nullopt with the error answered.
  std::optional<std::string> StageParam(const httplib::Request& req, httplib::Response& res, int unknownStatus) const;

  TServerOptions fOptions;
  TRunStore& fStore;
  std::map<std::string, std::string> fStages;  // name -> hash
  std::map<std::string, std::string> fStageByHash;
  TChallenges fChallenges;
  std::unique_ptr<httplib::Server> fHttp;
  TRateLimiter fLimiter;
  TRateLimiter fUploadLimiter;
  TRefusalLog fRefusals;
  int fPort = 0;
  TVerificationWorkers fWorkers;  // after fStages and fChallenges, which it reads
};
