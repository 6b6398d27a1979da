// A WAV file: played by the game (a synchronous wave holds the game for its
// length), and mixed as the desktop's voice mixes it, once and looping.
#include <vector>

#include "platform/posix/audio_mix.h"
#include "sound/music.h"
#include "support/fuzz_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Begin();
  fuzz::Write("fx.wav", data, size);
  WaveCommand("fx", 1);
  WaveCommand("fx", 2);
  StopWave();
  for (bool loop : {false, true}) {
    posix::WaveVoice voice;
    if (voice.Start(std::vector<uint8_t>(data, data + size), loop)) {
      std::vector<float> left(2048), right(2048);
      voice.MixInto(left.data(), right.data(), 2048, posix::kMixRate);
      voice.MixInto(left.data(), right.data(), 2048, 8000);
      (void)voice.LengthMs();
    }
  }
  fuzz::End();
  return 0;
}
