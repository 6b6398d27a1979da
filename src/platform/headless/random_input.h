// A random player for soak runs: clicks, right clicks, drags, pointer moves
// and keys at random places and random moments on the virtual clock, with a
// share of them aimed at the status bar's screen buttons and the bars at the
// foot of the screens. The same seed gives the same inputs on every machine.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/headless/headless.h"

namespace headless {

struct SoakOptions {
  uint64_t seed = 1;
  // Virtual time the inputs cover, counted by the pauses between them.
  uint64_t durationMs = 60 * 60 * 1000;
  // Esc, F12 and the window's close button end the game; a soak that plays
  // on starts it again. Per mille of the inputs.
  uint32_t quitPerMille = 2;
};

// A small generator of our own, so that a seed means the same inputs
// whatever the standard library's distributions do.
class SoakRandom {
 public:
  explicit SoakRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // Uniform in lo..hi, both included.
  int Between(int lo, int hi);

 private:
  uint64_t state_;
};

// The inputs, each timed after the one before it.
std::vector<InputEvent> RandomInput(const SoakOptions& options);

}  // namespace headless
