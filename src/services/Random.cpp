// Random.cpp -- one Mersenne Twister for the whole process.
#include "services/Random.h"

#include <chrono>
#include <random>

namespace {

std::mt19937& Generator() {
  static std::mt19937 generator(5489u);
  return generator;
}

}  // namespace

void Randomize() {
  SetRandomSeed(static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}

void SetRandomSeed(uint32_t seed) { Generator().seed(seed); }

int32_t Rnd(int32_t n) {
  if (n <= 0) return 0;
  return std::uniform_int_distribution<int32_t>(0, n - 1)(Generator());
}

double RandomReal() { return std::uniform_real_distribution<double>(0.0, 1.0)(Generator()); }
