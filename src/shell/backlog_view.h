// The backlog view: the lines the message windows showed, a page at a time,
// each speaker's in a colour of its own and the choices taken marked.
#pragma once

#include <cstdint>

// It opens only where the game waits for the player: what it shows is then
// complete.
bool BacklogMayOpen();
// Opens on the last page.
void OpenBacklog();
// Lines back (negative) or on; on past the end closes the view.
void ScrollBacklog(int32_t lines);
// A key while the backlog is open: true when the view used it up.
bool BacklogKey(uint32_t virtualKey);

void ResetBacklogView();
