// The help: every key and button of the game and of the reading aids, and on
// a second page the comfort options of settings.txt, each on or off now.
#pragma once

#include <cstdint>
#include <string>

// It covers whatever waits for the player; not a scene that moves on.
bool HelpMayOpen();
void OpenHelp();
// A key while the help is open: true when the view used it up. Down and
// Page Down turn to the options page, Up and Page Up back to the keys; any
// other key but the modifiers closes it, and a repeat is still the key that
// opened it.
bool HelpKey(uint32_t virtualKey, bool repeat);

// Read-only views for tests: the page shown (1 the keys, 2 the options, 0
// while the help is closed), and its table's rows as drawn, "|" after each:
// the keys, and on the options page " " and whether the option is on.
int HelpPage();
std::string HelpRowsShown();

void ResetHelpView();
