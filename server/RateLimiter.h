// RateLimiter.h -- a token bucket per client address: each request takes a
// token, tokens come back at a steady rate up to the bucket's size, so a
// client may burst briefly but not sustain more than the rate.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

class TRateLimiter {
 public:
  using TClock = std::chrono::steady_clock;

  // perMinute tokens a minute, at most burst saved up; perMinute 0 lets
  // everything through.
  TRateLimiter(int perMinute, int burst);

  // Takes a token for address at now; false when its bucket is empty.
  // Thread-safe.
  [[nodiscard]] bool Allow(const std::string& address, TClock::time_point now = TClock::now());

 private:
  struct TBucket {
    double Tokens;
    TClock::time_point Last;
  };
  double fPerSecond, fBurst;
  std::unordered_map<std::string, TBucket> fBuckets;
  TClock::time_point fLastSweep{};
  std::mutex fMutex;
};
