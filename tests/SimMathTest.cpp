// The simulation's own transcendental functions: close to the C library's,
// right at the edges, and the same bits on every build.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "geometry/SimMath.h"

namespace {

uint64_t Bits(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

// Distance in units of the last place of the reference.
double Ulps(double value, long double reference) {
  const double nearest = static_cast<double>(reference);
  const double ulp = std::nextafter(std::fabs(nearest), std::numeric_limits<double>::infinity()) - std::fabs(nearest);
  return static_cast<double>(std::fabs(static_cast<long double>(value) - reference) / ulp);
}

// Arguments spread over [lo, hi] by a fixed sequence: the same on every system.
std::vector<double> Arguments(double lo, double hi, int count) {
  std::vector<double> result;
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < count; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    const double unit = static_cast<double>(state >> 11) / 9007199254740992.0;
    result.push_back(lo + (hi - lo) * unit);
  }
  return result;
}

// sin and cos in long double, the argument reduced here: the x87 sine
// behind the Windows C library's sinl loses digits far from zero.
long double SinCosReference(long double x, bool cosine) {
  constexpr long double kHalfPiHigh = 0x1.921fb544p+0L;  // 33 bits: k times it is exact
  constexpr long double kHalfPiLow = 6.0771005065061926014751442098584700e-11L;
  const long double k = nearbyintl(x / (kHalfPiHigh + kHalfPiLow));
  const long double r = (x - k * kHalfPiHigh) - k * kHalfPiLow;
  const int quadrant = (static_cast<int>(fmodl(k, 4.0L)) + 4 + (cosine ? 1 : 0)) % 4;
  switch (quadrant) {
    case 0: return sinl(r);
    case 1: return cosl(r);
    case 2: return -sinl(r);
    default: return -cosl(r);
  }
}

// Whole powers multiply, so their error grows with the exponent; others go
// through Log and Exp, whose error grows with |y log x|.
struct TCase {
  const char* name;
  std::function<double(double)> ours;
  std::function<long double(long double)> reference;
  double lo, hi;
  double maxUlps;
};

std::vector<TCase> Cases() {
  return {
      {"Sin", [](double x) { return simmath::Sin(x); }, [](long double x) { return SinCosReference(x, false); }, -400, 400, 2},
      {"Cos", [](double x) { return simmath::Cos(x); }, [](long double x) { return SinCosReference(x, true); }, -400, 400, 2},
      {"Atan", [](double x) { return simmath::Atan(x); }, [](long double x) { return atanl(x); }, -30, 30, 3},
      {"Asin", [](double x) { return simmath::Asin(x); }, [](long double x) { return asinl(x); }, -1, 1, 4},
      {"Acos", [](double x) { return simmath::Acos(x); }, [](long double x) { return acosl(x); }, -1, 1, 4},
      {"Log", [](double x) { return simmath::Log(x); }, [](long double x) { return logl(x); }, 1e-6, 1e6, 2},
      {"Exp", [](double x) { return simmath::Exp(x); }, [](long double x) { return expl(x); }, -700, 700, 2},
      {"Pow50", [](double x) { return simmath::Pow(x, 50.0); }, [](long double x) { return powl(x, 50.0L); }, 0, 1.5,
       40},
      {"Pow2.5", [](double x) { return simmath::Pow(x, 2.5); }, [](long double x) { return powl(x, 2.5L); }, 0.01, 50,
       20},
  };
}

}  // namespace

TEST(SimMath, StaysWithinAFewUnitsInTheLastPlaceOfTheExactValue) {
  for (const TCase& c : Cases()) {
    double worst = 0;
    double worstAt = 0;
    for (const double x : Arguments(c.lo, c.hi, 20000)) {
      const long double reference = c.reference(x);
      if (std::fabs(reference) < 1e-300L) continue;
      const double error = Ulps(c.ours(x), reference);
      if (error > worst) {
        worst = error;
        worstAt = x;
      }
    }
    EXPECT_LE(worst, c.maxUlps) << c.name << " at " << worstAt;
  }
  double worst = 0;
  for (const double y : Arguments(-5, 5, 300)) {
    for (const double x : Arguments(-5, 5, 300)) {
      worst = std::max(worst, Ulps(simmath::Atan2(y, x), atan2l(y, x)));
    }
  }
  EXPECT_LE(worst, 4) << "Atan2";
}

TEST(SimMath, FollowsTheCLibraryAtZerosInfinitiesAndOutOfRange) {
  const double inf = std::numeric_limits<double>::infinity();
  const double pi = simmath::kPi;
  struct TPair {
    double y, x, expected;
  };
  for (const TPair& p : std::vector<TPair>{{0.0, 1.0, 0.0},       {-0.0, 1.0, -0.0},     {0.0, -1.0, pi},
                                           {-0.0, -1.0, -pi},     {0.0, 0.0, 0.0},       {-0.0, -0.0, -pi},
                                           {1.0, 0.0, pi / 2},    {-1.0, -0.0, -pi / 2}, {inf, 5.0, pi / 2},
                                           {-3.0, inf, -0.0},     {3.0, -inf, pi},       {inf, inf, pi / 4},
                                           {-inf, -inf, -3 * pi / 4}}) {
    const double got = simmath::Atan2(p.y, p.x);
    EXPECT_EQ(Bits(got), Bits(p.expected)) << "Atan2(" << p.y << ", " << p.x << ") = " << got;
  }
  EXPECT_TRUE(std::isnan(simmath::Atan2(std::nan(""), 1.0)));
  EXPECT_TRUE(std::isnan(simmath::Sin(inf)));
  EXPECT_TRUE(std::isnan(simmath::Cos(-inf)));
  EXPECT_TRUE(std::isnan(simmath::Asin(1.0000001)));
  EXPECT_EQ(simmath::Asin(1.0), pi / 2);
  EXPECT_EQ(simmath::Asin(-1.0), -pi / 2);
  EXPECT_EQ(Bits(simmath::Sin(-0.0)), Bits(-0.0));
  EXPECT_EQ(simmath::Log(0.0), -inf);
  EXPECT_TRUE(std::isnan(simmath::Log(-1.0)));
  EXPECT_EQ(simmath::Log(1.0), 0.0);
  EXPECT_EQ(simmath::Exp(710.0), inf);
  EXPECT_EQ(simmath::Exp(-746.0), 0.0);
  EXPECT_GT(simmath::Exp(-740.0), 0.0);  // subnormal, not flushed
  EXPECT_EQ(simmath::Pow(std::nan(""), 0.0), 1.0);
  EXPECT_EQ(simmath::Pow(-2.0, 3.0), -8.0);
  EXPECT_EQ(simmath::Pow(0.0, -1.0), inf);
  EXPECT_TRUE(std::isnan(simmath::Pow(-2.0, 0.5)));
  EXPECT_EQ(simmath::Pow(1e10, 50.0), inf);
}

// The fingerprint of every function over a fixed set of arguments. The
// Linux and the Windows build run this same test: both must give these bits,
// or a replay recorded on one would drift on the other.
TEST(SimMath, GivesTheSameBitsOnEveryBuild) {
  uint64_t hash = 1469598103934665603ull;
  auto mix = [&](double value) {
    hash = (hash ^ Bits(value)) * 1099511628211ull;
  };
  for (const TCase& c : Cases()) {
    for (const double x : Arguments(c.lo, c.hi, 5000)) mix(c.ours(x));
  }
  for (const double x : Arguments(-3, 3, 5000)) mix(simmath::Atan2(x, 0.75 - x));
  for (const double x : Arguments(-3, 3, 5000)) {
    const float f = static_cast<float>(x);
    mix(simmath::Sin(f));
    mix(simmath::Atan2(f, 1.0f - f));
    mix(simmath::Asin(f / 3));
  }
  EXPECT_EQ(hash, 0xbef0d4f389085ce9ull) << std::hex << "0x" << hash;
}
