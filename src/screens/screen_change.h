// What the three menu screens share: the way back to the scenario, which goes on waiting where it
// was.
#pragma once

#include <cstdint>

#include "graphics/screen_change.h"

struct ScreenState {
  // The mode in force when a screen opened (a click wait or choices).
  int32_t previousMode = 0;
};
extern ScreenState screens;

void ResetScreens();

// Back to the scene of the snapshot and to the mode the screen was opened in.
[[nodiscard]] bool closeScreen();
