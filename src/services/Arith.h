// Arith.h -- rounding and sums that stay inside the 32-bit range.
//
// Scores and result figures are 32-bit integers that a long run or an odd
// stage value could push past the range; they saturate instead of wrapping,
// and a value that is not a number counts as 0.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Nearest integer, halves to even, clamped to the 32-bit range; NaN gives 0.
[[nodiscard]] inline int32_t RoundToInt32(double value) {
  if (std::isnan(value)) return 0;
  const double rounded = std::nearbyint(value);
  if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (rounded <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(rounded);
}

// a + b clamped to the 32-bit range.
[[nodiscard]] inline int32_t SaturatingAdd(int32_t a, int64_t b) {
  const int64_t sum = int64_t{a} + b;
  if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(sum);
}
