// Makes a song from a score loop well in the game's player.
//
// The score marks its loop with two lines that abc2midi keeps as text events:
//
//   %%loop-start   where the repeat starts again, after the intro; becomes
//                  the marker "L" at the head of the first track, so that it
//                  comes before every note of that tick. Without it the
//                  song repeats from its start. abc2midi times the line by
//                  its voice's notes, so it goes in a voice that plays in
//                  the intro.
//   %%loop-end     where the repeat goes back, normally the last bar line.
//
// The player does not go back at once: it notices the end one timer step
// after the last event and then sounds the loop's first notes after its
// start delay. The song therefore ends that much before the bar line (notes
// still sounding there are released at the new end), so the loop's first
// beat falls where the next bar would have begun.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midi_writer.h"

namespace midigen {

// What the player takes from a song's end to its loop's first tick.
constexpr uint32_t kLoopRestartMs = 101;

struct SmfFile {
  uint16_t division = 480;
  std::vector<Track> tracks;
};

// Reads a Standard MIDI File; running status is written out in full and the
// end-of-track events are left to the writer. False with a reason.
bool ReadSmf(const std::vector<uint8_t>& bytes, SmfFile& out, std::string& error);

// Applies the score's loop lines (above) to song. False with a reason when
// the lines are missing, repeated (a line inside a repeat is played twice) or
// out of order, when no note comes before the loop's start, or when the loop
// is shorter than the restart.
bool MakeLoop(SmfFile& song, std::string& error);

}  // namespace midigen
