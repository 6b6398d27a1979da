// The snapshot of the story, taken whenever the game leaves the scenario for
// a battle or a menu screen, and the message windows put back from it. This
// is the lowest room that knows the scene, the player and the sound
// together; the screens use it from here.
#pragma once

#include "data/save_file.h"

// Fills the snapshot from the live state.
void takeSnapshot();
// The four message windows set up as at start-up, each holding again the
// lines the snapshot keeps for it (not presented).
void restoreSnapshotWindows(const SaveSnapshot& s);

// A choice record between the scene and the snapshot, either way; the first
// line and line count are never carried over.
template <typename To, typename From>
inline void CopyChoice(To& to, const From& from) {
  CopyName(to.text, from.text);
  CopyName(to.target, from.target);
  to.firstLine = to.lineCount = 0;
  to.left = from.left;
  to.top = from.top;
  to.right = from.right;
  to.bottom = from.bottom;
}
