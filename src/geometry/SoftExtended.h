// SoftExtended.h -- the x87's 80-bit extended format in software.
//
// The path's spline is computed in 80-bit extended precision, which x86
// computes in its x87 unit. Other targets have no such unit (WebAssembly's
// long double is a 128-bit format, ARM's is a double or a 128-bit format),
// so the same source would give other bits there, and a replay made on one
// would not play back on the other. TSoftExtended gives exactly the x87's
// results with the unit set as SteadyExtendedPrecision sets it (64-bit
// significand, round to nearest even, exceptions masked):
//
// - the 80-bit layout: sign, 15-bit biased exponent, 64-bit significand
//   with an explicit integer bit; subnormals (gradual underflow, rounded
//   once), infinities, NaNs;
// - +, -, *, / correctly rounded to nearest, ties to even; overflow gives
//   infinity, an exact zero from a difference is +0;
// - NaNs as the x87 treats them: a signalling NaN is quietened; of two NaN
//   operands a quiet one wins over a signalling one, else the one with the
//   larger significand, else the positive one; an invalid operation (inf - inf, 0 * inf,
//   0 / 0, inf / inf, or an unsupported encoding such as an unnormal) gives
//   the "real indefinite", the negative quiet NaN 0xFFFF C000000000000000;
// - comparisons as IEEE orders them (NaN unordered, -0 == +0);
// - exact conversion from float, double and 64-bit integers, conversion to
//   float and double rounded once to nearest even, and truncation to
//   integers for values in their range.
//
// It compiles everywhere, x86 included, where a test holds it against the
// hardware bit for bit. Plain value type, no allocation, nothing throws.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

class TSoftExtended {
 public:
  constexpr TSoftExtended() = default;
  // Exact, like the x87's loads (a signalling NaN comes in quietened).
  TSoftExtended(float value);
  TSoftExtended(double value);
  template <typename I>
    requires std::is_integral_v<I>
  TSoftExtended(I value) {
    if constexpr (std::is_signed_v<I>) {
      *this = FromInt64(static_cast<int64_t>(value));
    } else {
      *this = FromUint64(static_cast<uint64_t>(value));
    }
  }

  // The ten bytes of the memory layout: significand (little-endian) in
  // bytes 0..7, sign and biased exponent in bytes 8..9.
  [[nodiscard]] static constexpr TSoftExtended FromBits(uint64_t significand, uint16_t signExponent) {
    return TSoftExtended(significand, signExponent);
  }
  [[nodiscard]] uint64_t Significand() const { return fSignificand; }
  [[nodiscard]] uint16_t SignExponent() const { return fSignExponent; }

  [[nodiscard]] static TSoftExtended FromInt64(int64_t value);
  [[nodiscard]] static TSoftExtended FromUint64(uint64_t value);

  // Rounded to nearest even; NaNs keep their sign and top significand bits.
  explicit operator float() const;
  explicit operator double() const;
  // Truncated toward zero. Only for values inside the target's range (as a
  // cast of a long double, anything else is undefined; here it gives 0).
  template <typename I>
    requires std::is_integral_v<I>
  explicit operator I() const {
    if constexpr (std::is_signed_v<I>) {
      return static_cast<I>(TruncateToInt64());
    } else {
      return static_cast<I>(TruncateToUint64());
    }
  }

  friend TSoftExtended operator+(TSoftExtended a, TSoftExtended b);
  friend TSoftExtended operator-(TSoftExtended a, TSoftExtended b);
  friend TSoftExtended operator*(TSoftExtended a, TSoftExtended b);
  friend TSoftExtended operator/(TSoftExtended a, TSoftExtended b);
  // Flips the sign bit, NaNs included (the x87's fchs).
  TSoftExtended operator-() const;
  TSoftExtended& operator+=(TSoftExtended b) { return *this = *this + b; }
  TSoftExtended& operator-=(TSoftExtended b) { return *this = *this - b; }
  TSoftExtended& operator*=(TSoftExtended b) { return *this = *this * b; }
  TSoftExtended& operator/=(TSoftExtended b) { return *this = *this / b; }

  friend bool operator==(TSoftExtended a, TSoftExtended b);
  friend bool operator<(TSoftExtended a, TSoftExtended b);
  friend bool operator<=(TSoftExtended a, TSoftExtended b);
  friend bool operator>(TSoftExtended a, TSoftExtended b) { return b < a; }
  friend bool operator>=(TSoftExtended a, TSoftExtended b) { return b <= a; }

  [[nodiscard]] bool IsNaN() const;

 private:
  constexpr TSoftExtended(uint64_t significand, uint16_t signExponent)
      : fSignificand(significand), fSignExponent(signExponent) {}
  [[nodiscard]] static TSoftExtended FromIeee(bool negative, int field, uint64_t fraction, int maxField,
                                              int fractionBits, int bias);
  [[nodiscard]] uint64_t ToIeee(int fractionBits, int maxField, int bias) const;
  [[nodiscard]] int64_t TruncateToInt64() const;
  [[nodiscard]] uint64_t TruncateToUint64() const;

  uint64_t fSignificand = 0;
  uint16_t fSignExponent = 0;
};
