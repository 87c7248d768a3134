// Extended.h -- TExtended, the 80-bit extended type of the path's spline,
// with the same bits on every target.
//
// On x86 it is long double, computed by the x87 unit (which
// SteadyExtendedPrecision keeps at 64-bit precision, round to nearest), so
// recordings made there replay as they always did. Where long double is
// another format (WebAssembly's 128-bit one, ARM's) it is TSoftExtended,
// which gives the x87's results in software.
#pragma once

#include <cfloat>

#include "geometry/SoftExtended.h"

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64 && !defined(RV_SOFT_EXTENDED)
#define RV_HARDWARE_EXTENDED 1
using TExtended = long double;
#else
#define RV_HARDWARE_EXTENDED 0
using TExtended = TSoftExtended;
#endif

#include <cstdint>
#include <cstring>

// The ten bytes of an extended value: significand, then sign and exponent.
struct TExtendedBits {
  uint64_t Significand;
  uint16_t SignExponent;
  bool operator==(const TExtendedBits&) const = default;
};

[[nodiscard]] inline TExtendedBits BitsOf(TSoftExtended value) { return {value.Significand(), value.SignExponent()}; }

#if RV_HARDWARE_EXTENDED
[[nodiscard]] inline TExtendedBits BitsOf(long double value) {
  TExtendedBits bits;
  std::memcpy(&bits.Significand, &value, 8);
  std::memcpy(&bits.SignExponent, reinterpret_cast<const char*>(&value) + 8, 2);
  return bits;
}
#endif
