// SimMath.cpp -- sin, atan2, log, exp and pow from +, -, *, / and sqrt.
//
// Each function reduces its argument to a small interval with steps that
// are exact or correctly rounded, then sums a Taylor series in Horner form.
// The series are long enough that their truncation stays far below the
// rounding of the last step. Nothing here may call the C library's
// transcendental functions.
#include "geometry/SimMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace simmath {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// pi/2 in three parts; the first two have their low 20 bits clear, so k times
// them is exact for |k| < 2^20.
constexpr double kPio2Part1 = 1.5707963267341256;
constexpr double kPio2Part2 = 6.077100506303966e-11;
constexpr double kPio2Part3 = 2.0222662487959506e-21;
constexpr double kTwoOverPi = 0.6366197723675814;
constexpr double kPio2 = 1.5707963267948966;
constexpr double kPio2Low = 6.123233995736766e-17;  // pi/2 - kPio2
constexpr double kPio4 = 0.7853981633974483;
constexpr double kPio4Low = 3.061616997868383e-17;
constexpr double kPiLow = 1.2246467991473532e-16;   // pi - kPi

// ln 2 in two parts; the first has its low 21 bits clear.
constexpr double kLn2High = 0.6931471803691238;
constexpr double kLn2Low = 1.9082149292705877e-10;
constexpr double kOneOverLn2 = 1.4426950408889634;

uint64_t Bits(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

double FromBits(uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// 2^k for a normal exponent, -1022 <= k <= 1023.
double TwoTo(int k) { return FromBits(static_cast<uint64_t>(k + 1023) << 52); }

// The correctly rounded square root IEEE asks for. mingw's sqrt runs on the
// x87 unit and rounds twice, which GCC hides only where it inlines the
// instruction itself; SSE2 always rounds once.
double Sqrt(double x) {
#if defined(__SSE2__)
  return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_set_sd(x), _mm_set_sd(x)));
#else
  return std::sqrt(x);
#endif
}

// x * 2^k for any k, in at most three exact or correctly rounded steps.
double Scale(double x, int k) {
  while (k > 1023) {
    x *= TwoTo(1023);
    k -= 1023;
  }
  while (k < -1022) {
    x *= TwoTo(-1022);
    k += 1022;
  }
  return x * TwoTo(k);
}

// sin and cos of |r| <= pi/4 (a little more is harmless).
double SinKernel(double r) {
  const double z = r * r;
  const double p =
      -1.0 / 6 +
      z * (1.0 / 120 +
           z * (-1.0 / 5040 +
                z * (1.0 / 362880 +
                     z * (-1.0 / 39916800 +
                          z * (1.0 / 6227020800 + z * (-1.0 / 1307674368000 + z * (1.0 / 355687428096000)))))));
  return r + r * z * p;
}

double CosKernel(double r) {
  const double z = r * r;
  const double p =
      -1.0 / 2 +
      z * (1.0 / 24 +
           z * (-1.0 / 720 +
                z * (1.0 / 40320 +
                     z * (-1.0 / 3628800 +
                          z * (1.0 / 479001600 +
                               z * (-1.0 / 87178291200 +
                                    z * (1.0 / 20922789888000 + z * (-1.0 / 6402373705728000))))))));
  return 1.0 + z * p;
}

// x = k * pi/2 + r, |r| <= pi/4 (accurate while |x| < 2^20 * pi/2); the
// quadrant k mod 4 goes to `quadrant`, taken in floating point so that no
// argument is too large for it.
double Reduce(double x, int& quadrant) {
  const double n = std::nearbyint(x * kTwoOverPi);
  quadrant = static_cast<int>(n - 4.0 * std::floor(n * 0.25));
  return ((x - n * kPio2Part1) - n * kPio2Part2) - n * kPio2Part3;
}

// atan of 0 <= t <= tan(pi/8): one halving of the angle, then the series.
double AtanKernel(double t) {
  const double u = t / (1.0 + Sqrt(1.0 + t * t));  // tan of half the angle, <= 0.199
  const double z = u * u;
  double sum = 1.0 / 25;
  for (int n = 23; n >= 3; n -= 2) sum = (n % 4 == 1 ? 1.0 : -1.0) / n + z * sum;
  return 2.0 * (u + u * z * sum);
}

// atan of 0 <= a <= 1.
double AtanUnit(double a) {
  if (a <= 0.41421356237309503) return AtanKernel(a);
  // atan a = pi/4 + atan t, t = (a - 1) / (a + 1) in [-tan(pi/8), 0].
  return (kPio4 - AtanKernel((1.0 - a) / (a + 1.0))) + kPio4Low;
}

}  // namespace

double Sin(double x) {
  if (!std::isfinite(x)) return kNaN;
  if (x == 0) return x;  // keeps the sign of a zero
  if (std::fabs(x) <= kPio4) return SinKernel(x);
  int quadrant = 0;
  const double r = Reduce(x, quadrant);
  switch (quadrant) {
    case 0: return SinKernel(r);
    case 1: return CosKernel(r);
    case 2: return -SinKernel(r);
    default: return -CosKernel(r);
  }
}

double Cos(double x) {
  if (!std::isfinite(x)) return kNaN;
  if (std::fabs(x) <= kPio4) return CosKernel(x);
  int quadrant = 0;
  const double r = Reduce(x, quadrant);
  switch (quadrant) {
    case 0: return CosKernel(r);
    case 1: return -SinKernel(r);
    case 2: return -CosKernel(r);
    default: return SinKernel(r);
  }
}

double Tan(double x) { return Sin(x) / Cos(x); }

double Atan(double x) {
  if (std::isnan(x)) return x;
  const double a = std::fabs(x);
  // atan a = pi/2 - atan(1/a); 1/a of an infinite a is 0.
  const double result = a <= 1.0 ? AtanUnit(a) : (kPio2 - AtanUnit(1.0 / a)) + kPio2Low;
  return std::copysign(result, x);
}

double Atan2(double y, double x) {
  if (std::isnan(x) || std::isnan(y)) return x + y;
  if (std::isinf(x)) {
    if (std::isinf(y)) return std::copysign(x > 0 ? kPio4 : 3 * kPio4, y);
    return std::copysign(x > 0 ? 0.0 : kPi, y);
  }
  if (y == 0) return std::signbit(x) ? std::copysign(kPi, y) : y;
  if (x == 0 || std::isinf(y)) return std::copysign(kPio2, y);
  const double a = Atan(std::fabs(y) / std::fabs(x));
  return std::copysign(x > 0 ? a : (kPi - a) + kPiLow, y);
}

double Asin(double x) {
  if (!(std::fabs(x) <= 1.0)) return kNaN;
  return Atan2(x, Sqrt((1.0 - x) * (1.0 + x)));
}

double Acos(double x) {
  if (!(std::fabs(x) <= 1.0)) return kNaN;
  return Atan2(Sqrt((1.0 - x) * (1.0 + x)), x);
}

double Log(double x) {
  if (std::isnan(x) || x < 0) return kNaN;
  if (x == 0) return -kInf;
  if (std::isinf(x)) return x;
  int exponent = 0;
  if (x < std::numeric_limits<double>::min()) {  // subnormal: make it normal first
    x *= TwoTo(54);
    exponent = -54;
  }
  const uint64_t bits = Bits(x);
  exponent += static_cast<int>(bits >> 52) - 1023;
  double m = FromBits((bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1023} << 52));  // 1 <= m < 2
  if (m > 1.4142135623730951) {
    m *= 0.5;
    ++exponent;
  }
  // log m = 2 atanh s, |s| <= 0.172.
  const double s = (m - 1.0) / (m + 1.0);
  const double z = s * s;
  double sum = 1.0 / 23;
  for (int n = 21; n >= 3; n -= 2) sum = 1.0 / n + z * sum;
  const double logM = 2.0 * (s + s * z * sum);
  const double e = exponent;
  return e * kLn2High + (e * kLn2Low + logM);
}

double Exp(double x) {
  if (std::isnan(x)) return x;
  if (x > 709.782712893384) return kInf;
  if (x < -745.1332191019412) return 0.0;
  const double n = std::nearbyint(x * kOneOverLn2);
  const double r = (x - n * kLn2High) - n * kLn2Low;  // |r| <= 0.347
  double sum = 1.0 / 6227020800;                        // 1/13!
  double factorial = 6227020800;
  for (int k = 12; k >= 1; --k) {
    factorial /= (k + 1);
    sum = 1.0 / factorial + r * sum;
  }
  return Scale(1.0 + r * sum, static_cast<int>(n));
}

double Pow(double x, double y) {
  if (y == 0 || x == 1) return 1.0;
  if (std::isnan(x) || std::isnan(y)) return x + y;
  if (y == std::trunc(y) && std::fabs(y) < 2147483648.0) {
    uint64_t k = static_cast<uint64_t>(std::fabs(y));
    double result = 1.0;
    double power = x;
    while (k != 0) {
      if (k & 1) result *= power;
      k >>= 1;
      if (k != 0) power *= power;
    }
    if (y > 0) return result;
    // 1/0 is infinite, with the sign of the zero (and no division by it).
    if (result == 0) return std::copysign(kInf, result);
    return 1.0 / result;
  }
  if (x < 0) return kNaN;
  if (x == 0) return y > 0 ? 0.0 : kInf;
  if (std::isinf(x)) return y > 0 ? kInf : 0.0;
  if (std::isinf(y)) return (x > 1) == (y > 0) ? kInf : 0.0;
  return Exp(y * Log(x));
}

void SteadyExtendedPrecision() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  const uint16_t control = 0x037F;
  __asm__ volatile("fldcw %0" : : "m"(control));
#endif
}

}  // namespace simmath
