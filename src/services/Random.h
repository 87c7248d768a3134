// Random.h -- the game's random-number generator. There is one: the menu
// owns it and hands it to the stage, whose objects draw from it through the
// stage, so that the seeds a replay holds give every draw again.
#pragma once

#include <cstdint>
#include <random>

class TRandom {
 public:
  explicit TRandom(uint32_t seed = 5489u) : fEngine(seed) {}

  void Seed(uint32_t seed) { fEngine.seed(seed); }
  // Uniform integer in [0, n); 0 when n <= 0 (and then nothing is drawn).
  [[nodiscard]] int32_t Rnd(int32_t n) {
    if (n <= 0) return 0;
    return std::uniform_int_distribution<int32_t>(0, n - 1)(fEngine);
  }
  // Uniform real in [0, 1).
  [[nodiscard]] double Real() { return std::uniform_real_distribution<double>(0.0, 1.0)(fEngine); }

 private:
  std::mt19937 fEngine;
};
