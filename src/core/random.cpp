#include "core/random.h"

RandomGenerator rng;

void ResetRandom() { rng = RandomGenerator{}; }

void SeedRandom(uint32_t seed) { rng.state = seed; }

int32_t NextRandom() {
  rng.state = rng.state * 214013u + 2531011u;
  return static_cast<int32_t>((rng.state >> 16) & 0x7FFF);
}
