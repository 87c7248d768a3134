// Random.h -- the game's random-number generator. There is one: the menu
// owns it and hands it to the stage, whose objects draw from it through the
// stage, so that the seeds a replay holds give every draw again.
//
// The engine is the standard Mersenne Twister, which every library computes
// alike. The draws from it are written out here instead of taken from the
// library's distributions: those differ between libraries (the page's libc++
// scales integers and reals another way than GCC's library), and a run must
// draw the same numbers on every system. They are the ones GCC's library
// makes, so recordings from before stay valid.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>

class TRandom {
 public:
  explicit TRandom(uint32_t seed = 5489u) : fEngine(seed) {}

  void Seed(uint32_t seed) { fEngine.seed(seed); }
  // Uniform integer in [0, n); 0 when n <= 0 (and then nothing is drawn).
  // Lemire's multiply-and-shift with rejection of the few values that
  // would make the low ranges likelier.
  [[nodiscard]] int32_t Rnd(int32_t n) {
    if (n <= 0) return 0;
    const auto range = static_cast<uint32_t>(n);
    uint64_t product = uint64_t{Next()} * range;
    auto low = static_cast<uint32_t>(product);
    if (low < range) {
      const uint32_t threshold = (0u - range) % range;
      while (low < threshold) {
        product = uint64_t{Next()} * range;
        low = static_cast<uint32_t>(product);
      }
    }
    return static_cast<int32_t>(product >> 32);
  }
  // Uniform real in [0, 1): two draws make the 53 bits of a double.
  [[nodiscard]] double Real() {
    double sum = static_cast<double>(Next());
    sum += static_cast<double>(Next()) * 4294967296.0;
    const double real = sum / 18446744073709551616.0;
    return real < 1.0 ? real : std::nextafter(1.0, 0.0);
  }

 private:
  uint32_t Next() { return static_cast<uint32_t>(fEngine()); }

  std::mt19937 fEngine;
};
