// An opponent's deck file (opp.dec) under a whole run: read at start-up or by the
// battle, then used by the scenario's card commands and two battles.
#include "support/fuzz_session.h"
#include "support/game_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Begin("wait autobattle\nwait autobattle\n", 120000);
  fuzz::WriteBattleBase();
  fuzz::Write("opp.dec", data, size);
  fuzz::RunBattleGame();
  fuzz::End();
  return 0;
}
