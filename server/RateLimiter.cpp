// RateLimiter.cpp -- token buckets, forgotten once full again.
#include "RateLimiter.h"

#include <algorithm>

TRateLimiter::TRateLimiter(int perMinute, int burst)
    : fPerSecond(perMinute / 60.0), fBurst(std::max(1, burst)) {}

bool TRateLimiter::Allow(const std::string& address, TClock::time_point now) {
  if (fPerSecond <= 0) return true;
  std::lock_guard lock(fMutex);
  // A full bucket is the same as none: drop those now and then, so that
  // the table holds only recent clients.
  if (now - fLastSweep > std::chrono::minutes(1)) {
    std::erase_if(fBuckets, [&](const auto& item) {
      const double seconds = std::chrono::duration<double>(now - item.second.Last).count();
      return item.second.Tokens + seconds * fPerSecond >= fBurst;
    });
    fLastSweep = now;
  }
  auto [it, added] = fBuckets.try_emplace(address, TBucket{fBurst, now});
  TBucket& bucket = it->second;
  const double seconds = std::chrono::duration<double>(now - bucket.Last).count();
  bucket.Tokens = std::min(fBurst, bucket.Tokens + std::max(0.0, seconds) * fPerSecond);
  bucket.Last = now;
  if (bucket.Tokens < 1) return false;
  bucket.Tokens -= 1;
  return true;
}
