// Saved games: the snapshot of a point in the story and the three slot files
// that hold it, followed by the scenario's own variables.
//
// The snapshot is a byte image shared with every save file ever written, so
// its layout is fixed field by field below; the file's reader trusts nothing
// in it until the checks here have passed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/platform.h"

constexpr int kSaveSlotCount = 3;
constexpr size_t kSavedNameSize = 260;
constexpr size_t kSavedLineSize = 81;
constexpr int kSavedChoices = 20;
constexpr int kSavedDeckCapacity = 100;
constexpr int kSavedStockCapacity = 300;
// One integer variable in a save file: char[64] name, then the value.
constexpr size_t kSavedIntRecord = 68;
// One string variable: char[64] name, then char[256] value.
constexpr size_t kSavedStrRecord = 320;

struct SavedReturnSlot {
  char scenario[256];
  int32_t line;
};

struct SavedChoice {
  char text[256];
  char target[256];
  int32_t firstLine;  // stored as 0: the choices are printed again on load
  int32_t lineCount;
  int32_t left, top, right, bottom;
};

struct SaveSnapshot {
  char scenario[kSavedNameSize];
  int32_t line;
  SavedReturnSlot returnSlots[10];
  plat::CalendarTime date;
  uint8_t strong;
  uint8_t unused1[3];
  int32_t money, maxhp, hp, maxmp, mp, result;
  int32_t deckCount;
  uint32_t deck[kSavedDeckCapacity + 1];  // entry 0 holds no card
  int32_t stockCount;
  uint32_t stock[kSavedStockCapacity + 1];
  char backPicture[kSavedNameSize];
  char placePicture[kSavedNameSize];
  char unused2[kSavedNameSize];
  char face1Picture[kSavedNameSize];
  char face2Picture[kSavedNameSize];
  int32_t backShown;
  int32_t unused3;
  int32_t face1Shown, face2Shown;
  int32_t unused4;
  int32_t msgShown[4];
  int32_t placeShown, dateShown;
  int32_t currentWindow;
  int32_t lineCount[4];
  // The lines of the four windows, each window's line i at its base + i;
  // slot 0 of a window is the last line of the one before (see
  // SavedLine). Window 4's line 20 would fall on the music name.
  char lines[36][kSavedLineSize];
  char music[kSavedNameSize];
  char loopWave[kSavedNameSize];
  int32_t choiceCount;
  SavedChoice choices[kSavedChoices + 1];  // 1..20; 0 holds nothing
  int32_t intCount;
  int32_t strCount;
};

// The byte image every save file shares.
static_assert(sizeof(SavedReturnSlot) == 260);
static_assert(sizeof(SavedChoice) == 536);
static_assert(sizeof(plat::CalendarTime) == 36);
static_assert(sizeof(SaveSnapshot) == 20612);
static_assert(offsetof(SaveSnapshot, line) == 260);
static_assert(offsetof(SaveSnapshot, returnSlots) == 264);
static_assert(offsetof(SaveSnapshot, date) == 2864);
static_assert(offsetof(SaveSnapshot, strong) == 2900);
static_assert(offsetof(SaveSnapshot, money) == 2904);
static_assert(offsetof(SaveSnapshot, maxhp) == 2908);
static_assert(offsetof(SaveSnapshot, hp) == 2912);
static_assert(offsetof(SaveSnapshot, maxmp) == 2916);
static_assert(offsetof(SaveSnapshot, mp) == 2920);
static_assert(offsetof(SaveSnapshot, result) == 2924);
static_assert(offsetof(SaveSnapshot, deckCount) == 2928);
static_assert(offsetof(SaveSnapshot, deck) == 2932);
static_assert(offsetof(SaveSnapshot, stockCount) == 3336);
static_assert(offsetof(SaveSnapshot, stock) == 3340);
static_assert(offsetof(SaveSnapshot, backPicture) == 4544);
static_assert(offsetof(SaveSnapshot, placePicture) == 4804);
static_assert(offsetof(SaveSnapshot, face1Picture) == 5324);
static_assert(offsetof(SaveSnapshot, face2Picture) == 5584);
static_assert(offsetof(SaveSnapshot, backShown) == 5844);
static_assert(offsetof(SaveSnapshot, face1Shown) == 5852);
static_assert(offsetof(SaveSnapshot, face2Shown) == 5856);
static_assert(offsetof(SaveSnapshot, msgShown) == 5864);
static_assert(offsetof(SaveSnapshot, placeShown) == 5880);
static_assert(offsetof(SaveSnapshot, dateShown) == 5884);
static_assert(offsetof(SaveSnapshot, currentWindow) == 5888);
static_assert(offsetof(SaveSnapshot, lineCount) == 5892);
static_assert(offsetof(SaveSnapshot, lines) == 5908);
static_assert(offsetof(SaveSnapshot, music) == 8824);
static_assert(offsetof(SaveSnapshot, loopWave) == 9084);
static_assert(offsetof(SaveSnapshot, choiceCount) == 9344);
static_assert(offsetof(SaveSnapshot, choices) == 9348);
static_assert(offsetof(SaveSnapshot, intCount) == 20604);
static_assert(offsetof(SaveSnapshot, strCount) == 20608);

// The one snapshot of the run, taken whenever the game leaves the scenario
// for a screen or a battle; bytes never written stay as a fresh run has them.
extern SaveSnapshot snapshot;
void ResetSnapshot();

// How many lines of message window w (1..4) the snapshot has room for.
int SavedLineRoom(int window);
// Line slot i (1..SavedLineRoom) of window w; nullptr outside them.
char* SavedLine(SaveSnapshot& s, int window, int i);
const char* SavedLine(const SaveSnapshot& s, int window, int i);
// A file may count a 20th line of window 4, whose bytes are the music name:
// the name wins and the line reads as empty.
constexpr int kReadableLinesOfWindow4 = 20;
// The text of stored line i (1..the window's count in a sound file) of
// window w, "" for that 20th line; nullptr outside.
const char* SavedLineText(const SaveSnapshot& s, int window, int i);
// Stores a window line, with "\n" after it unless it is the window's last
// stored line; text too long for the slot is cut before a whole character.
void StoreSavedLine(SaveSnapshot& s, int window, int i, const char* text, bool last);

// "save\saveN.dat" into a buffer of kSavedNameSize bytes.
void SaveSlotFileName(int slot, char* out);

enum class SlotState {
  Empty,        // no file: nothing to list or load
  Damaged,      // too short for its records, or holding what no snapshot can
  OtherCounts,  // more variables than the game declares: no room for them
  Ok,
};

// The largest slot the game writes with these live tables: as far as a
// slot's records can reach. Nothing past it is read, so bytes after the
// records (a copy tool's padding, a stray byte) do not spoil a slot.
uint64_t SaveFileBound(int32_t liveInts, int32_t liveStrs);

// Reads a slot: its snapshot and the variable records after it. The counts
// may be below the live ones (a save from before the author declared more
// variables); variables then holds the file's records only, as many as the
// snapshot's counts say, and whatever follows them is ignored. Anything but
// Ok leaves both outputs alone.
SlotState readSaveFile(int slot, int32_t liveInts, int32_t liveStrs, SaveSnapshot& out,
                       std::vector<uint8_t>& variables);

// Writes the snapshot and the variable records as one file that replaces the
// slot at once; a failure shows the write-error box. 1 when written.
int writeSaveFile(int slot, const SaveSnapshot& s, const void* variables, size_t size);

// Copies a NUL-terminated text between fields of different sizes, cut to
// the smaller one and always terminated.
template <size_t N>
inline void CopyBounded(char (&to)[N], const char* from, size_t fromSize) {
  const size_t n = strnlen(from, std::min(N - 1, fromSize));
  std::memcpy(to, from, n);
  to[n] = '\0';
}

template <size_t N, size_t M>
inline void CopyName(char (&to)[N], const char (&from)[M]) {
  CopyBounded(to, from, M);
}
