// What the three menu screens share: the way back to the scenario, which goes on waiting where it
// was.
#pragma once

#include <cstdint>

struct ScreenState {
  // The mode in force when a screen opened (a click wait or choices).
  int32_t previousMode = 0;
};
extern ScreenState screens;

void ResetScreens();

// A menu screen opens over the waiting scenario: the waiting mode is
// remembered, the click cursor hidden, and the snapshot taken.
void leaveScenarioForScreen();
// The screen's page comes in: the scene mosaics out, the page picture is
// loaded into WorkPage and drawn by draw, it mosaics in, and the screen's
// own mode takes over. False when the program is closing.
[[nodiscard]] bool bringInScreenPage(const char* pagePicture, void (*draw)(), int32_t screenMode);
// Window 4 where the card detail view prints on the deck editor and the
// collection viewer, right of the big picture.
void setupScreenDetailWindow();

// Back to the scene of the snapshot and to the mode the screen was opened in.
[[nodiscard]] bool closeScreen();
