#include "data/save_file.h"

#include <cstdio>
#include <cstring>

#include "data/player.h"
#include "platform/sjis.h"

SaveSnapshot snapshot;

void ResetSnapshot() { snapshot = SaveSnapshot{}; }

namespace {

// Index in SaveSnapshot::lines of slot 0 of each window, and how many lines
// after it are the window's own: windows 1 to 3 run into slot 0 of the next
// window, window 4 stops short of the music name.
constexpr int kLineBase[5] = {0, 0, 6, 12, 16};
constexpr int kLineRoom[5] = {0, 6, 6, 4, 19};

bool Terminated(const char* field, size_t size) {
  return std::memchr(field, '\0', size) != nullptr;
}

// What no takeSnapshot ever writes: a file holding it was damaged or made by
// something else, and loading it would index past the live tables.
bool Sound(const SaveSnapshot& s) {
  if (!Terminated(s.scenario, sizeof s.scenario) || s.line < 1) return false;
  if (s.currentWindow < 1 || s.currentWindow > 4) return false;
  for (int w = 1; w <= 4; ++w) {
    const int room = w == 4 ? kReadableLinesOfWindow4 : kLineRoom[w];
    if (s.lineCount[w - 1] < 0 || s.lineCount[w - 1] > room) return false;
  }
  if (s.deckCount < 0 || s.deckCount > kSavedDeckCapacity) return false;
  if (s.stockCount < 0 || s.stockCount > kSavedStockCapacity) return false;
  if (s.choiceCount < 0 || s.choiceCount > kSavedChoices) return false;
  return s.intCount >= 0 && s.strCount >= 0;
}

}  // namespace

int SavedLineRoom(int window) { return window >= 1 && window <= 4 ? kLineRoom[window] : 0; }

char* SavedLine(SaveSnapshot& s, int window, int i) {
  if (i < 1 || i > SavedLineRoom(window)) return nullptr;
  return s.lines[kLineBase[window] + i];
}

const char* SavedLine(const SaveSnapshot& s, int window, int i) {
  return SavedLine(const_cast<SaveSnapshot&>(s), window, i);
}

const char* SavedLineText(const SaveSnapshot& s, int window, int i) {
  if (window == 4 && i == kReadableLinesOfWindow4) return "";
  return SavedLine(s, window, i);
}

void StoreSavedLine(SaveSnapshot& s, int window, int i, const char* text, bool last) {
  char* slot = SavedLine(s, window, i);
  if (!slot) return;
  // Room for the text, the line feed of all but the last line, and the NUL.
  const size_t room = kSavedLineSize - 1 - (last ? 0 : 1);
  size_t n = sjis::FitLength(text, room);
  std::memcpy(slot, text, n);
  if (!last) slot[n++] = '\n';
  slot[n] = '\0';
}

void SaveSlotFileName(int slot, char* out) {
  std::snprintf(out, kSavedNameSize, "save\\save%d.dat", slot);
}

uint64_t SaveFileBound(int32_t liveInts, int32_t liveStrs) {
  return sizeof(SaveSnapshot) + static_cast<uint64_t>(std::max(liveInts, 0)) * kSavedIntRecord +
         static_cast<uint64_t>(std::max(liveStrs, 0)) * kSavedStrRecord;
}

SlotState readSaveFile(int slot, int32_t liveInts, int32_t liveStrs, SaveSnapshot& out,
                       std::vector<uint8_t>& variables) {
  char name[kSavedNameSize];
  SaveSlotFileName(slot, name);
  std::vector<uint8_t> bytes;
  auto& h = plat::host();
  if (!h.ReadFileHead(name, SaveFileBound(liveInts, liveStrs), bytes))
    return h.FileExists(name) ? SlotState::Damaged : SlotState::Empty;
  if (bytes.size() < sizeof(SaveSnapshot)) return SlotState::Damaged;
  SaveSnapshot s;
  std::memcpy(&s, bytes.data(), sizeof s);
  if (!Sound(s)) return SlotState::Damaged;
  // Fewer records than the tables hold fill their front; more have nowhere
  // to go.
  if (s.intCount > liveInts || s.strCount > liveStrs) return SlotState::OtherCounts;
  const size_t need = static_cast<size_t>(s.intCount) * kSavedIntRecord +
                      static_cast<size_t>(s.strCount) * kSavedStrRecord;
  if (bytes.size() - sizeof s < need) return SlotState::Damaged;
  out = s;
  variables.assign(bytes.begin() + sizeof s,
                   bytes.begin() + static_cast<ptrdiff_t>(sizeof s + need));
  return SlotState::Ok;
}

int writeSaveFile(int slot, const SaveSnapshot& s, const void* variables, size_t size) {
  char name[kSavedNameSize];
  SaveSlotFileName(slot, name);
  // One buffer, one write: the host replaces the slot only once all of it is
  // on the disk, so a crash mid-save leaves the old game.
  std::vector<uint8_t> bytes(sizeof s + size);
  std::memcpy(bytes.data(), &s, sizeof s);
  if (size) std::memcpy(bytes.data() + sizeof s, variables, size);
  return writeGameFile(name, bytes.data(), bytes.size());
}
