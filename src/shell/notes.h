// The note in the window's corner that says what a key of the reading aids
// just did, shown for a moment and then faded out.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/image.h"

// The window timer that fades the note.
inline constexpr uint32_t kToastTimer = 3;

// text is Shift-JIS; it replaces a note still up.
void ShowNote(const std::string& text);
// Each tick of kToastTimer: the next step of the fade.
void NoteTimer();
// What the window shows with the note mixed in; null while no note is up
// (or no picture could be made for it).
const Image* FrameWithNote();

void ResetNotes();
