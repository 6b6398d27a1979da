// The note in the window's corner that says what a key of the reading aids
// just did, shown for a moment and then faded out.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/image.h"

// The window timer that fades the note.
inline constexpr uint32_t kToastTimer = 3;

// text is Shift-JIS, "\n" between its lines (two at most); it replaces a
// note still up.
void ShowNote(const std::string& text);
// F11's note: the screenshot's name as SaveScreenshot gave it, or that
// none could be written (an empty name).
void ShowShotNote(const std::string& name);
// Each tick of kToastTimer: the next step of the fade.
void NoteTimer();
// What the window shows with the note mixed in; null while no note is up
// (or no picture could be made for it).
const Image* FrameWithNote();

// The note's lines as its pen last drew them, "\n" between them: a
// read-only view for tests.
std::string NoteShown();

void ResetNotes();
