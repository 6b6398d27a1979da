// The mosaic with which the game changes from one page to another: the
// battle and the menu screens come and go through it.
#pragma once

// Each answers false when the program is closing.
// The current screen mosaics out; BackPage keeps it.
[[nodiscard]] bool screenChangeOut();
// The page in BackPage mosaics in.
[[nodiscard]] bool screenChangeIn();
