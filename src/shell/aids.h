// What a player of a text-heavy game expects beyond the game's own inputs:
// the backlog, skip and auto reading, text speed, volumes, screenshots, a
// help page and settings that are remembered. Every one of them is a key or
// the wheel the game itself never used, so its own inputs mean what they
// always meant, and what alters its timing is off until the player asks.
#pragma once

#include <cstdint>
#include <string>

// The window timer that fades the on-screen notes.
inline constexpr uint32_t kToastTimer = 3;

void ResetAids();

// Before the window opens: the settings file, and the window size the
// backend will use. A damaged file leaves the defaults and one warning.
void LoadSettings();
// Writes the settings file (atomically, as every game file is written).
void SaveSettings();
// Once the window is open: the volumes, and full screen when it was left on.
void ApplyStartupSettings();

// Each answers true when the aid used the input up; the game must then not
// see it. They are consulted before the game's own handling.
// A key held down repeats; the switches ignore the repeats.
bool AidsKeyDown(uint32_t virtualKey, bool repeat = false);
bool AidsKeyUp(uint32_t virtualKey);
bool AidsWheel(int notches);
bool AidsMouse(uint32_t message, int x, int y);
// The window lost the focus: a key held now may be released unseen.
void AidsDeactivated();
void AidsToastTimer();

// The paint: the game's picture, with a view or a note over it when one is up.
void PresentFrame();

// F4 and Alt+Enter: the display mode, remembered for the next start.
void PlayerToggleDisplayMode();

// The picture as the player sees it into a PNG file of the player's folder,
// named by the date and time; its name, or empty when it could not be written.
std::string SaveScreenshot();
