// What the three menu screens share: the mosaic that changes the page, and
// the way back to the scenario, which goes on waiting where it was.
#pragma once

#include <cstdint>

struct ScreenState {
  // The mode in force when a screen opened (a click wait or choices).
  int32_t previousMode = 0;
};
extern ScreenState screens;

void ResetScreens();

// Each answers false when the program is closing.
// The current screen mosaics out; BackPage keeps it.
[[nodiscard]] bool screenChangeOut();
// The page in BackPage mosaics in.
[[nodiscard]] bool screenChangeIn();
// Back to the scene of the snapshot and to the mode the screen was opened in.
[[nodiscard]] bool closeScreen();
