// The question before the game ends. Esc, F12 and the window's close button
// all end the game, and a player who meant to go back, or missed a key,
// would lose what they played since the last save; so the game asks first,
// unless the player turned that off or nobody is there to answer.
#pragma once

#include <cstdint>

// The setting is on, and the host has a player to answer.
bool QuitAsks();
// Opens the box over the scene; ends the game at once where no box can be
// made, since a quit that does nothing would be worse.
void AskQuit();
// The game ends: what the close button did before it asked.
void QuitNow();

// While the box is open: true when it used the input up.
bool QuitBoxKey(uint32_t virtualKey);
void QuitBoxMouse(uint32_t message, int x, int y);

void ResetQuitBox();
