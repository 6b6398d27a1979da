// The save and load screen: a menu of four buttons over the listing of the
// three slots, then a slot to save into or to load.
#pragma once

#include <cstddef>

#include "data/save_file.h"
#include "graphics/textwindow.h"
#include "platform/platform.h"

// The pen of the caption that says which of SAVE and LOAD was chosen.
struct SaveScreenState {
  TextWindow caption;
};
extern SaveScreenState saveScreen;
void ResetSaveScreen();

// The third button of the status bar; false when the program must end.
[[nodiscard]] bool openSaveScreen();
// The menu (mode 6) and the slots (modes 7 and 8); false when the program
// must end.
[[nodiscard]] bool saveMenuClick(int x, int y);
[[nodiscard]] bool slotClick(int x, int y);
// Esc: from the slots back to the menu, from the menu out of the screen.
[[nodiscard]] bool saveScreenBack();
// The page with the three slots, into Screen.
void drawSlotListing();

// A slot's three lines: when the file was written (local time), the game
// date, and the deck, stock, HP, MP and money, all from the saved snapshot.
void FormatSlotListing(const SaveSnapshot& s, const plat::CalendarTime& written, char* out,
                       size_t size);
