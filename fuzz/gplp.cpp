// A GPLP packed file: the packed stream's lenient decoding (read, by line
// and by seek), the packer tool's strict unpacking, and the music loader,
// which finds the packed file under the song's alternative name.
#include <algorithm>
#include <string>
#include <vector>

#include "sound/music.h"
#include "streams/gplp.h"
#include "streams/streams.h"
#include "support/fuzz_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& host = fuzz::Begin();
  fuzz::Write("song.dpa", data, size);
  {
    PackedStream s;
    if (s.Open("song.mid", kModeBinary)) {
      std::vector<uint8_t> all(static_cast<size_t>(std::min<int64_t>(s.DataSize(), 1 << 20)));
      s.Read(all.data(), all.size());
      s.Seek(-5, kSeekEnd);
      uint8_t tail[16];
      s.Read(tail, sizeof tail);
      s.Seek(0, kSeekSet);
      char line[64];
      for (int i = 0; i < 64 && s.ReadTextLine(line, sizeof line); ++i) {
      }
    }
  }
  {
    std::vector<uint8_t> file(data, data + size), out;
    std::string member, error;
    UnpackGplp(file, out, member, error);
  }
  if (PlayMusic("song.mid", 0)) host.SleepMs(2000);
  StopMusic();
  fuzz::End();
  return 0;
}
