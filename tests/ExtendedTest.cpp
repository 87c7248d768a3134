// The software extended type against the x87 unit, bit for bit, and the
// shipped stages' paths computed through both.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "geometry/CubicSpline.h"
#include "geometry/Extended.h"
#include "geometry/PathFingerprint.h"
#include "geometry/SimMath.h"
#include "services/IniFile.h"
#include "services/Random.h"
#include "services/ValueLists.h"

namespace {

std::string Hex(TExtendedBits bits) {
  char text[32];
  std::snprintf(text, sizeof text, "%04X:%016llX", bits.SignExponent, static_cast<unsigned long long>(bits.Significand));
  return text;
}

// The shipped stages' paths, read from their sources as the game reads them.
std::vector<TPathProbe> ShippedPaths() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(RV_SOURCE_DIR) + "/assets/stages"))
    if (entry.path().string().ends_with(".level.ini")) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<TPathProbe> paths;
  for (const auto& file : files) {
    TIniFile ini;
    ini.LoadFromFile(file.string());
    TPathProbe path;
    path.Circles = ini.ReadInteger("Level", "Circles", 1200);
    const int count = ini.ReadInteger("SplinePoints", "count", 0);
    for (int i = 0; i < count; ++i)
      path.Points.push_back(StrToVector3f(ini.ReadString("SplinePoints", "p" + std::to_string(i), "0;0;0")));
    paths.push_back(path);
  }
  return paths;
}

// The fingerprint every target must compute for the shipped paths; the
// browser's check compares the page's against the same file.
uint64_t ExpectedFingerprint() {
  std::ifstream in(std::string(RV_SOURCE_DIR) + "/tests/web/path-fingerprint");
  std::string text;
  in >> text;
  return std::stoull(text, nullptr, 16);
}

}  // namespace

#if RV_HARDWARE_EXTENDED

namespace {

long double Hardware(TExtendedBits bits) {
  long double value = 0;
  std::memcpy(&value, &bits.Significand, 8);
  std::memcpy(reinterpret_cast<char*>(&value) + 8, &bits.SignExponent, 2);
  return value;
}

TSoftExtended Soft(TExtendedBits bits) { return TSoftExtended::FromBits(bits.Significand, bits.SignExponent); }

// Operands drawn to reach every corner of the format: all exponents, the
// two ends of the range, subnormals, zeros, infinities, quiet and
// signalling NaNs, the encodings the x87 refuses, and significands with few
// bits set, so that sums and products often land exactly on or next to a
// tie. The second operand is often made from the first, for cancellations
// and for addends just half an ulp away.
class TOperands {
 public:
  explicit TOperands(uint32_t seed) : fRandom(seed) {}

  TExtendedBits One() {
    const uint64_t r = fRandom();
    const uint16_t sign = (r & 1) ? 0x8000 : 0;
    uint64_t significand = Significand();
    int exponent;
    switch ((r >> 1) % 16) {
      case 0:  // zero
        return {0, sign};
      case 1:  // infinity
        return {uint64_t{1} << 63, static_cast<uint16_t>(sign | 0x7FFF)};
      case 2: {  // NaN: quiet or signalling, the indefinite among them
        uint64_t payload = (r >> 8) % 4 == 0 ? uint64_t{1} << 62 : significand & ~(uint64_t{1} << 63);
        if (payload == 0) payload = 1;
        return {(uint64_t{1} << 63) | payload, static_cast<uint16_t>(sign | 0x7FFF)};
      }
      case 3:  // subnormal
        significand >>= 1 + (r >> 8) % 63;  // a shift by 64 would be undefined; 0 is case 0
        return {significand, sign};
      case 4:
        exponent = 1 + static_cast<int>((r >> 8) % 80);
        break;
      case 5:
        exponent = 0x7FFE - static_cast<int>((r >> 8) % 80);
        break;
      case 6:
        if ((r >> 8) % 8 == 0) {  // refused encodings: unnormal, pseudo-infinity or pseudo-NaN, pseudo-denormal
          switch ((r >> 11) % 3) {
            case 0:
              return {significand & ~(uint64_t{1} << 63), static_cast<uint16_t>(sign | (1 + (r >> 16) % 0x7FFE))};
            case 1:
              return {significand & ~(uint64_t{1} << 63), static_cast<uint16_t>(sign | 0x7FFF)};
            default:
              return {significand, sign};
          }
        }
        exponent = 1 + static_cast<int>((r >> 8) % 0x7FFE);
        break;
      default:  // ordinary numbers, near each other
        exponent = 0x3FFF - 40 + static_cast<int>((r >> 8) % 80);
        break;
    }
    return {significand, static_cast<uint16_t>(sign | exponent)};
  }

  std::pair<TExtendedBits, TExtendedBits> Pair() {
    const TExtendedBits a = One();
    TExtendedBits b = One();
    const uint64_t r = fRandom();
    const int aExponent = a.SignExponent & 0x7FFF;
    switch (r % 8) {
      case 0:  // the same magnitude, either sign
        b = {a.Significand, static_cast<uint16_t>(a.SignExponent ^ ((r >> 3) & 1 ? 0x8000 : 0))};
        break;
      case 1:  // a neighbour, for cancellations
        b = {a.Significand + ((r >> 3) % 5) - 2, static_cast<uint16_t>(a.SignExponent ^ 0x8000)};
        break;
      case 2: {  // 60 to 68 binades below: the addend around half an ulp
        const int exponent = aExponent - 60 - static_cast<int>((r >> 3) % 9);
        if (exponent > 0 && aExponent != 0x7FFF) b.SignExponent = static_cast<uint16_t>((b.SignExponent & 0x8000) | exponent);
        break;
      }
      default:
        break;
    }
    return {a, b};
  }

  uint64_t Raw() { return fRandom(); }

 private:
  uint64_t Significand() {
    const uint64_t r = fRandom();
    uint64_t significand = (uint64_t{1} << 63) | r;
    switch (fRandom() % 4) {
      case 0: {  // few bits: the top k only
        const int k = 1 + static_cast<int>(fRandom() % 40);
        significand &= ~uint64_t{0} << (64 - k);
        break;
      }
      case 1:  // all ones, or all ones but the lowest few
        significand = ~uint64_t{0} << (fRandom() % 4);
        break;
      default:
        break;
    }
    return significand;
  }

  std::mt19937_64 fRandom;
};

constexpr int kOperands = 10'000'000;

struct TMismatches {
  int Count = 0;
  std::string First;
  void Add(const std::string& what) {
    if (Count++ < 8) First += "  " + what + "\n";
  }
};

}  // namespace

// Ten million operand pairs per operation, each computed by the x87 unit
// and by the software type; every result's ten bytes must agree.
// The x87's quotient, a division by zero included: that gives an infinity or
// the indefinite as the format says, which is what the software type must
// match, so the sanitizer's check for it stays out of this one function.
static __attribute__((no_sanitize("float-divide-by-zero"))) long double HardwareDivide(long double a, long double b) {
  return a / b;
}

TEST(Extended, SoftwareArithmeticMatchesTheX87BitForBit) {
  simmath::SteadyExtendedPrecision();
  struct TOperation {
    const char* Name;
    std::function<long double(long double, long double)> Hardware;
    std::function<TSoftExtended(TSoftExtended, TSoftExtended)> Soft;
  };
  const TOperation operations[] = {
      {"+", [](long double a, long double b) { return a + b; }, [](TSoftExtended a, TSoftExtended b) { return a + b; }},
      {"-", [](long double a, long double b) { return a - b; }, [](TSoftExtended a, TSoftExtended b) { return a - b; }},
      {"*", [](long double a, long double b) { return a * b; }, [](TSoftExtended a, TSoftExtended b) { return a * b; }},
      {"/", HardwareDivide, [](TSoftExtended a, TSoftExtended b) { return a / b; }},
  };
  uint32_t seed = 1;
  for (const TOperation& operation : operations) {
    TOperands operands(seed++);
    TMismatches mismatches;
    for (int i = 0; i < kOperands; ++i) {
      const auto [a, b] = operands.Pair();
      const TExtendedBits hardware = BitsOf(operation.Hardware(Hardware(a), Hardware(b)));
      const TExtendedBits soft = BitsOf(operation.Soft(Soft(a), Soft(b)));
      if (hardware != soft)
        mismatches.Add(Hex(a) + " " + operation.Name + " " + Hex(b) + ": x87 " + Hex(hardware) + ", software " + Hex(soft));
    }
    EXPECT_EQ(mismatches.Count, 0) << operation.Name << "\n" << mismatches.First;
  }
}

// Comparisons, conversions to and from float, double and the integers.
TEST(Extended, SoftwareComparisonsAndConversionsMatchTheX87) {
  simmath::SteadyExtendedPrecision();
  TOperands operands(99);
  TMismatches mismatches;
  for (int i = 0; i < kOperands; ++i) {
    const auto [a, b] = operands.Pair();
    const long double x = Hardware(a), y = Hardware(b);
    const TSoftExtended p = Soft(a), q = Soft(b);
    const int hardwareOrder = (x < y) | (x <= y) << 1 | (x == y) << 2 | (x != y) << 3 | (x > y) << 4 | (x >= y) << 5;
    const int softOrder = (p < q) | (p <= q) << 1 | (p == q) << 2 | (p != q) << 3 | (p > q) << 4 | (p >= q) << 5;
    if (hardwareOrder != softOrder)
      mismatches.Add("compare " + Hex(a) + " " + Hex(b) + ": " + std::to_string(hardwareOrder) + " / " +
                     std::to_string(softOrder));
    const uint32_t hardwareFloat = std::bit_cast<uint32_t>(static_cast<float>(x));
    const uint32_t softFloat = std::bit_cast<uint32_t>(static_cast<float>(p));
    if (hardwareFloat != softFloat) mismatches.Add("to float " + Hex(a));
    const uint64_t hardwareDouble = std::bit_cast<uint64_t>(static_cast<double>(x));
    const uint64_t softDouble = std::bit_cast<uint64_t>(static_cast<double>(p));
    if (hardwareDouble != softDouble) mismatches.Add("to double " + Hex(a));
    // Truncation, for the values that fit.
    if (x >= 0 && x < 18446744073709551616.0L && static_cast<uint64_t>(x) != static_cast<uint64_t>(p))
      mismatches.Add("to uint64 " + Hex(a));
    if (x > -9223372036854775808.0L - 1 && x < 9223372036854775808.0L &&
        static_cast<int64_t>(x) != static_cast<int64_t>(p))
      mismatches.Add("to int64 " + Hex(a));

    // From float, double and integers: raw bit patterns, every kind.
    const uint64_t raw = operands.Raw();
    const uint64_t shaped = (raw & 3) == 0 ? raw >> (raw >> 58) : raw;  // small numbers and subnormals too
    const double d = std::bit_cast<double>(shaped);
    const float f = std::bit_cast<float>(static_cast<uint32_t>(shaped));
    if (BitsOf(static_cast<long double>(d)) != BitsOf(TSoftExtended(d))) mismatches.Add("from double " + std::to_string(shaped));
    if (BitsOf(static_cast<long double>(f)) != BitsOf(TSoftExtended(f))) mismatches.Add("from float " + std::to_string(shaped));
    const auto signedValue = static_cast<int64_t>(shaped);
    if (BitsOf(static_cast<long double>(signedValue)) != BitsOf(TSoftExtended(signedValue)))
      mismatches.Add("from int64 " + std::to_string(signedValue));
    if (BitsOf(static_cast<long double>(shaped)) != BitsOf(TSoftExtended(shaped)))
      mismatches.Add("from uint64 " + std::to_string(shaped));
  }
  EXPECT_EQ(mismatches.Count, 0) << mismatches.First;
}

// The literal the x87 build always used for the extrapolation step is what
// the software type divides out.
TEST(Extended, ThousandthIsTheLiteralsValue) {
  EXPECT_EQ(BitsOf(TSoftExtended(1) / TSoftExtended(1000)), BitsOf(0.001L));
  EXPECT_EQ(BitsOf(static_cast<long double>(TExtended(1) / TExtended(1000))), BitsOf(0.001L));
}

#endif

// Every spline result of the shipped stages' paths: the x87 and the software
// type agree, and both give the fingerprint the browser's check expects.
TEST(Extended, ShippedPathsHaveTheSameFingerprintEverywhere) {
  const std::vector<TPathProbe> paths = ShippedPaths();
  ASSERT_GE(paths.size(), 8u);
  const uint64_t soft = PathFingerprint<TSoftExtended>(paths);
#if RV_HARDWARE_EXTENDED
  EXPECT_EQ(PathFingerprint<long double>(paths), soft);
#endif
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(soft));
  EXPECT_EQ(soft, ExpectedFingerprint()) << "the shipped paths give " << text
                                         << "; when a stage's path changed, write that into tests/web/path-fingerprint";
}


// The page's library scales the engine's numbers another way than GCC's;
// the game's own draws must be GCC's, bit for bit, so that the recordings
// made on the desktop stay valid and the page draws the same.
#ifdef __GLIBCXX__
TEST(SameDraws, TheGamesDrawsAreTheGccLibrarysOnes) {
  std::mt19937 pick(2024);
  for (uint32_t seed : {5489u, 5u, 0u, 0xFFFFFFFFu, 123456789u}) {
    TRandom game(seed);
    std::mt19937 engine(seed);
    for (int i = 0; i < 200000; ++i) {
      // Small ranges, ranges just past powers of two (where rejection
      // happens most) and the whole positive range.
      const int32_t n = i % 4 == 0   ? int32_t(pick() % 16) + 1
                        : i % 4 == 1 ? int32_t(1u << (pick() % 31)) + 1
                        : i % 4 == 2 ? 0x7FFFFFFF
                                     : int32_t(pick() % 0x7FFFFFFF) + 1;
      if (i % 3 == 0) {
        const double mine = game.Real();
        const double library = std::uniform_real_distribution<double>(0.0, 1.0)(engine);
        ASSERT_EQ(std::bit_cast<uint64_t>(mine), std::bit_cast<uint64_t>(library)) << "seed " << seed << " draw " << i;
      } else {
        const int32_t mine = game.Rnd(n);
        const int32_t library = std::uniform_int_distribution<int32_t>(0, n - 1)(engine);
        ASSERT_EQ(mine, library) << "seed " << seed << " draw " << i << " n " << n;
      }
    }
  }
  TRandom game(1);
  EXPECT_EQ(game.Rnd(0), 0);
  EXPECT_EQ(game.Rnd(-3), 0);
}
#endif
