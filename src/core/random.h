// The one pseudo-random generator of the process: a linear congruential
// generator whose results are 0..32767. Scripts and the battle both draw
// from it, so a seed fixes a whole run.
#pragma once

#include <cstdint>

struct RandomGenerator {
  uint32_t state = 1;
};
extern RandomGenerator rng;

void ResetRandom();
void SeedRandom(uint32_t seed);
// The next value, 0..32767.
int32_t NextRandom();
