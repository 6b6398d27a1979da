// The help page: every key and button of the game and of the reading aids.
#pragma once

#include <cstdint>

// It covers whatever waits for the player; not a scene that moves on.
bool HelpMayOpen();
void OpenHelp();
// A key while the help is open: true when the view used it up. Any key but
// the modifiers closes it; a repeat is still the key that opened it.
bool HelpKey(uint32_t virtualKey, bool repeat);

void ResetHelpView();
