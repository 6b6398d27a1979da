// A save slot: listed on the save screen, then loaded and played on from
// the saved line into a battle, in a whole run.
#include "support/fuzz_session.h"
#include "support/game_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Begin(
      "wait click 616 458\nwait click 320 210\nwait click 320 70\n"
      "wait click 320 240\nwait click 320 240\nwait click 320 240\nwait autobattle\n",
      90000);
  fuzz::WriteBattleBase();
  fuzz::Write("save/save1.dat", data, size);
  fuzz::RunLoadGame();
  fuzz::End();
  return 0;
}
