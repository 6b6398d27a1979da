// A save slot's file read by the slot reader, then what reads what it
// accepts: the variable records' size, the window lines put back into the
// message windows, and the same snapshot written and read back unchanged.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "battle/snapshot.h"
#include "data/save_file.h"
#include "support/parser_session.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

int32_t CountAt(const uint8_t* data, size_t size, size_t offset) {
  int32_t v = 0;
  if (offset + 4 <= size) std::memcpy(&v, data + offset, 4);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& host = fuzz::BeginParse();
  host.files["save\\save1.dat"].assign(data, data + size);
  // The live counts are the file's own, so that most inputs get past that
  // test, except for a few sizes that stand for another game's file.
  const bool otherGame = size % 97 == 0;
  int32_t ints = CountAt(data, size, offsetof(SaveSnapshot, intCount));
  if (otherGame) ints = ints == 0 ? 1 : ints - 1;
  const int32_t strs = CountAt(data, size, offsetof(SaveSnapshot, strCount));
  SaveSnapshot s;
  std::vector<uint8_t> variables;
  const SlotState state = readSaveFile(1, ints, strs, s, variables);
  if (size < sizeof s) Check(state == SlotState::Damaged);
  if (otherGame) Check(state != SlotState::Ok);
  if (state != SlotState::Ok) {
    Check(variables.empty());
    return 0;
  }
  Check(std::memcmp(&s, data, sizeof s) == 0);
  Check(variables.size() ==
        static_cast<size_t>(ints) * kSavedIntRecord + static_cast<size_t>(strs) * kSavedStrRecord);
  Check(s.currentWindow >= 1 && s.currentWindow <= 4 && s.line >= 1);

  // What a load shows of the windows' lines.
  fuzz::EnsureImages();
  restoreSnapshotWindows(s);

  // Written back, the slot reads the same.
  Check(writeSaveFile(2, s, variables.data(), variables.size()) == 1);
  SaveSnapshot again;
  std::vector<uint8_t> againVariables;
  Check(readSaveFile(2, ints, strs, again, againVariables) == SlotState::Ok);
  Check(std::memcmp(&again, &s, sizeof s) == 0 && againVariables == variables);
  return 0;
}
