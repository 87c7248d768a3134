// Random.h -- the game's one random-number generator.
#pragma once

#include <cstdint>

// Seeds the generator from the clock (the stage and the menu do this when
// they are created).
void Randomize();
// Seeds it with a fixed value (tests, reproducible snapshots).
void SetRandomSeed(uint32_t seed);
// Uniform integer in [0, n); 0 when n <= 0.
[[nodiscard]] int32_t Rnd(int32_t n);
// Uniform real in [0, 1).
[[nodiscard]] double RandomReal();
