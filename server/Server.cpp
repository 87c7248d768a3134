// Server.cpp -- the server's life: binding, serving, stopping.
#include "Server.h"

#include <httplib.h>

#include <stdexcept>

namespace {

std::string ChallengeKey(const TServerOptions& options, TRunStore& store) {
  if (!options.ChallengeKey.empty()) return options.ChallengeKey;
  return store.SharedSecret(HexOf(SecureRandomBytes(32)));
}

}  // namespace

TLeaderboardServer::TLeaderboardServer(TServerOptions options, TRunStore& store, const TVerifier& verifier,
                                       std::map<std::string, std::string> shippedStages)
    : fOptions(std::move(options)),
      fStore(store),
      fStages(std::move(shippedStages)),
      fChallenges(ChallengeKey(fOptions, store), fOptions.ChallengesRequired, fOptions.ChallengeStartWindowMs),
      fHttp(std::make_unique<httplib::Server>()),
      fLimiter(fOptions.RatePerMinute, fOptions.RateBurst),
      fUploadLimiter(fOptions.UploadsPerMinute, fOptions.UploadBurst),
      fWorkers({fOptions.Workers, fOptions.LeaseSeconds, fOptions.TempDir}, store, verifier, fStages, fChallenges) {
  for (const auto& [name, hash] : fStages) fStageByHash[hash] = name;
  Route();
}

TLeaderboardServer::~TLeaderboardServer() { Stop(); }

void TLeaderboardServer::Start() {
  if (fOptions.Port == 0) {
    fPort = fHttp->bind_to_any_port(fOptions.Bind);
  } else {
    fPort = fHttp->bind_to_port(fOptions.Bind, fOptions.Port) ? fOptions.Port : -1;
  }
  if (fPort <= 0) {
    throw std::runtime_error("Der Server kann " + fOptions.Bind + ":" + std::to_string(fOptions.Port) +
                             " nicht belegen.");
  }
  fWorkers.Start();
}

void TLeaderboardServer::Serve() { fHttp->listen_after_bind(); }

void TLeaderboardServer::Stop() {
  fWorkers.Stop();
  fHttp->stop();
}
