// Full screen and the window: F4 and Alt+Enter switch, a lost focus leaves
// full screen, and the player's last choice is where the next start begins.
#pragma once

// Switches, or says in a message box why the display cannot.
void ToggleDisplayMode();
// The player's switch: as ToggleDisplayMode, and remembered for the next start.
void PlayerToggleDisplayMode();
// Once the window is open: full screen when it was left on.
void ApplyRememberedDisplayMode();
void RestoreDisplayAtExit();
