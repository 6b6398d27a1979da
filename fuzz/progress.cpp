// The progress files (collection, arts list, known patterns): read at
// start-up, used by the scenario and written back. The first byte of the
// input picks the file, the rest is its content.
#include "data/player.h"
#include "support/fuzz_session.h"
#include "support/game_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* files[3] = {"save/Collection.dat", "save/ArtsList.dat", "save/Pattern.dat"};
  fuzz::Begin("", 10000);
  fuzz::WriteBattleBase();
  fuzz::Write(files[data[0] % 3], data + 1, size - 1);
  fuzz::RunProgressGame();
  fuzz::End();
  return 0;
}
