// RateLimiterTest.cpp -- the token buckets on a clock of the test's own:
// a throttled client stays throttled across the limiter's sweeps.
#include <gtest/gtest.h>

#include "RateLimiter.h"

namespace {

TEST(RateLimiterTest, ThrottledClientsAreRememberedAcrossSweeps) {
  using namespace std::chrono_literals;
  TRateLimiter limiter(1, 5);  // one token a minute, five saved up
  const auto start = TRateLimiter::TClock::time_point{} + 24h;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(limiter.Allow("10.0.0.1", start)) << i;
  EXPECT_FALSE(limiter.Allow("10.0.0.1", start));
  EXPECT_TRUE(limiter.Allow("10.0.0.2", start));

  // A sweep is due every minute. The empty bucket has earned one token in
  // 61 seconds, not a full one; the other client's bucket is full again
  // and may be forgotten, which changes nothing for it.
  const auto later = start + 61s;
  EXPECT_TRUE(limiter.Allow("10.0.0.1", later));
  EXPECT_FALSE(limiter.Allow("10.0.0.1", later));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(limiter.Allow("10.0.0.2", later)) << i;
  EXPECT_FALSE(limiter.Allow("10.0.0.2", later));

  // Three more sweeps: still one token a minute.
  for (int minute = 2; minute <= 4; ++minute) {
    const auto now = start + minute * 61s;
    EXPECT_TRUE(limiter.Allow("10.0.0.1", now)) << minute;
    EXPECT_FALSE(limiter.Allow("10.0.0.1", now)) << minute;
  }
}

}  // namespace
