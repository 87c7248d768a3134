// SimMath.h -- the transcendental functions the simulation uses, with the
// same bits on every system.
//
// Replays store inputs, not positions: a replay is exact only when every
// computation gives the same bits on the machine that recorded it and on the
// one that plays it back. IEEE 754 fixes +, -, *, / and sqrt, but not sin,
// atan2 or pow, and the C libraries of Linux and Windows differ in the last
// bit for many inputs. These functions use nothing but the operations IEEE
// fixes (the build turns floating-point contraction off), so they agree
// everywhere. They are accurate to a few units in the last place (Pow of a
// whole exponent n to about log2(n) squarings' worth: some 40 for n = 50);
// drawing that feeds nothing back into the game may keep the system's
// functions.
#pragma once

#include <cfloat>

// The same bits need float and double arithmetic done in float and double:
// an x87 build that keeps intermediates at extended precision (32-bit x86
// without SSE2, FLT_EVAL_METHOD 2) rounds differently and its replays would
// drift without a word. Such a build stops here; it needs -msse2
// -mfpmath=sse. (The path's spline uses the x87 on purpose, through long
// double, see Extended.h; that is not affected.)
#if !defined(FLT_EVAL_METHOD) || FLT_EVAL_METHOD != 0
#error "The simulation needs float and double evaluated in their own precision (FLT_EVAL_METHOD 0): build with -msse2 -mfpmath=sse"
#endif

namespace simmath {

inline constexpr double kPi = 3.14159265358979323846;

// Angles in radians. NaN in, NaN out; an infinite angle gives NaN. The
// argument reduction is exact while |x| < 1.6e6; beyond, the result is
// still the same everywhere but no longer accurate.
[[nodiscard]] double Sin(double x);
[[nodiscard]] double Cos(double x);
[[nodiscard]] double Tan(double x);
// atan2 with the C library's conventions for zeros, signs and infinities.
[[nodiscard]] double Atan2(double y, double x);
[[nodiscard]] double Atan(double x);
// NaN outside [-1, 1].
[[nodiscard]] double Asin(double x);
[[nodiscard]] double Acos(double x);
// Natural logarithm and exponential; Log of a negative number is NaN,
// Log(0) is -infinity.
[[nodiscard]] double Log(double x);
[[nodiscard]] double Exp(double x);
// x to the power y; whole exponents by repeated multiplication (any sign
// of x), others through Exp(y * Log(x)) (NaN for negative x).
[[nodiscard]] double Pow(double x, double y);

// Single-precision arguments: computed in double, rounded once.
[[nodiscard]] inline float Sin(float x) { return static_cast<float>(Sin(static_cast<double>(x))); }
[[nodiscard]] inline float Cos(float x) { return static_cast<float>(Cos(static_cast<double>(x))); }
[[nodiscard]] inline float Atan2(float y, float x) {
  return static_cast<float>(Atan2(static_cast<double>(y), static_cast<double>(x)));
}
[[nodiscard]] inline float Asin(float x) { return static_cast<float>(Asin(static_cast<double>(x))); }

// Puts the x87 unit (long double arithmetic on x86) into the state Linux
// and mingw start it in: 64-bit precision, rounding to nearest, exceptions
// masked. The game calls it every frame, in case a driver changed it.
void SteadyExtendedPrecision();

}  // namespace simmath
