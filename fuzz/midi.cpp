// A Standard MIDI File: loaded by the music interface and played in loop
// mode for a while of virtual time, so the sequencer walks every entry.
#include "platform/platform.h"
#include "sound/music.h"
#include "support/fuzz_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& host = fuzz::Begin();
  fuzz::Write("song.mid", data, size);
  if (PlayMusic("song.mid", 1)) {
    for (int i = 0; i < 20; ++i) host.SleepMs(500);
  }
  StopMusic();
  fuzz::End();
  return 0;
}
