// Workers.h -- the verification workers: threads that claim queued runs
// from the store, verify them in child processes and write the verdict
// back. Several servers on one database each run their own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Challenge.h"
#include "Store.h"
#include "Verifier.h"

// A run is given up after this many claims: its verification keeps dying
// with the server that runs it.
inline constexpr int kMaxVerifyAttempts = 3;

struct TWorkerOptions {
  int Count = 2;            // verifications at once
  int LeaseSeconds = 180;   // a claimed run goes back to the queue after this
  std::string TempDir;      // absolute; recordings are written here for the verifier
};

class TVerificationWorkers {
 public:
  // stages: name to hash, the shipped stages a run must be on;
  // challenges: what a verified run's challenge must pass.
  TVerificationWorkers(TWorkerOptions options, TRunStore& store, const TVerifier& verifier,
                       const std::map<std::string, std::string>& stages, const TChallenges& challenges);
  // Stops and waits for the threads.
  ~TVerificationWorkers();
  TVerificationWorkers(const TVerificationWorkers&) = delete;
  TVerificationWorkers& operator=(const TVerificationWorkers&) = delete;

  void Start();
  // A run was queued: a waiting worker looks at once.
  void Wake();
  // No more claims; a verification under way finishes. From any thread.
  void Stop();

  // Verifies one claimed run (or gives it up after kMaxVerifyAttempts
  // claims) and stores the verdict; logs what it did. A failing store
  // leaves the run claimed, to be tried again when its lease runs out.
  void Finish(const TClaimedRun& run, const std::string& worker);

 private:
  void Work(int index);

  TWorkerOptions fOptions;
  TRunStore& fStore;
  const TVerifier& fVerifier;
  const std::map<std::string, std::string>& fStages;
  const TChallenges& fChallenges;
  std::vector<std::thread> fThreads;
  std::atomic<bool> fStopping{false};
  std::mutex fWakeMutex;
  std::condition_variable fWake;
};
