// Workers.cpp -- the claim, verify and store loop.
#include "Workers.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <optional>

#include "AccessLog.h"
#include "Metrics.h"

TVerificationWorkers::TVerificationWorkers(TWorkerOptions options, TRunStore& store, const TVerifier& verifier,
                                           const std::map<std::string, std::string>& stages,
                                           const TChallenges& challenges)
    : fOptions(std::move(options)), fStore(store), fVerifier(verifier), fStages(stages), fChallenges(challenges) {}

TVerificationWorkers::~TVerificationWorkers() {
  Stop();
  for (auto& thread : fThreads) thread.join();
}

void TVerificationWorkers::Start() {
  for (int i = 0; i < fOptions.Count; ++i) fThreads.emplace_back([this, i] { Work(i); });
}

void TVerificationWorkers::Wake() { fWake.notify_one(); }

void TVerificationWorkers::Stop() {
  {
    std::lock_guard lock(fWakeMutex);
    fStopping = true;
  }
  fWake.notify_all();
}

void TVerificationWorkers::Work(int index) {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  const std::string worker = std::string(host) + ":" + std::to_string(getpid()) + ":" + std::to_string(index);
  while (!fStopping) {
    std::optional<TClaimedRun> run;
    try {
      run = fStore.ClaimNext(worker, fOptions.LeaseSeconds);
    } catch (const std::exception& error) {
      LogLine("\"event\":\"error\",\"worker\":" + JsonString(worker) + ",\"message\":" +
              JsonString(ToCleanUtf8(error.what(), 500)));
    }
    if (!run) {
      // Other servers on the same database and runs whose lease ran out
      // do not ring this bell: look again every second.
      std::unique_lock lock(fWakeMutex);
      fWake.wait_for(lock, std::chrono::seconds(1), [this] { return fStopping.load(); });
      continue;
    }
    Finish(*run, worker);
  }
}

void TVerificationWorkers::Finish(const TClaimedRun& run, const std::string& worker) {
  const auto start = std::chrono::steady_clock::now();
  try {
    TVerdict verdict = run.Attempts > kMaxVerifyAttempts
                           ? TVerdict(std::string("Die Aufzeichnung lie\u00df sich nach mehreren Versuchen nicht pr\u00fcfen."))
                           : fVerifier.Verify(run.Bytes, run.ClaimedStageHash, fStages, fOptions.TempDir);
    // What the replay proved goes on the board only with a challenge that
    // fits it and the time it took to arrive.
    if (auto* proven = std::get_if<TVerifiedRun>(&verdict)) {
      TChallengeVerdict challenge = fChallenges.Judge(*proven, run.SubmittedMs);
      if (challenge.Refusal) {
        verdict = std::string(challenge.Refusal->Reason);
      } else {
        proven->Nonce = std::move(challenge.Nonce);
      }
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::string fields = "\"event\":\"verification\",\"id\":\"" + std::to_string(run.Id) + "\",\"worker\":" +
                         JsonString(worker) + ",\"ms\":" + JsonNumber(std::round(ms));
    std::string counted = "refused";
    auto refused = [&](const std::string& reason, bool stored) {
      fields += ",\"status\":\"refused\",\"reason\":" + JsonString(reason) + ",\"stored\":" + (stored ? "true" : "false");
    };
    if (const auto* result = std::get_if<TVerifiedRun>(&verdict)) {
      const auto mark = fStore.MarkVerified(run.Id, *result);
      if (mark == TRunStore::TMark::Duplicate) {
        refused(kDuplicateRunReason, true);
        counted = "duplicate";
      } else if (mark == TRunStore::TMark::ChallengeUsed) {
        refused(refusal::kUsed.Reason, true);
      } else {
        counted = "verified";
        fields += ",\"status\":\"verified\",\"stage\":" + JsonString(result->Stage) + ",\"score\":" +
                  std::to_string(result->Score) + ",\"stored\":" + (mark == TRunStore::TMark::Stored ? "true" : "false");
      }
    } else {
      const std::string& reason = std::get<std::string>(verdict);
      refused(reason, fStore.MarkRefused(run.Id, reason));
    }
    LogLine(fields);
    ServerMetrics().Verification(counted, ms / 1000);
  } catch (const std::exception& error) {
    ServerMetrics().Verification("error", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    // The run stays claimed; its lease runs out and it is tried again.
    LogLine("\"event\":\"error\",\"id\":\"" + std::to_string(run.Id) + "\",\"worker\":" + JsonString(worker) +
            ",\"message\":" + JsonString(ToCleanUtf8(error.what(), 500)));
  }
}
