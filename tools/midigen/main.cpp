// midigen: writes the demo song, a small Standard MIDI File of our own, for
// trying the music path (e.g. as bmid\card2.mid of a test data directory).
//
//   midigen OUTPUT.mid
#include <cstdio>

#include "midi_writer.h"
#include "platform/posix/file_handle.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: midigen OUTPUT.mid\n");
    return 2;
  }
  const auto song = midigen::DemoSong();
  posix::FileHandle f = posix::OpenFile(argv[1], "wb");
  if (!f || std::fwrite(song.data(), song.size(), 1, f.get()) != 1 || !posix::CloseFile(f)) {
    std::fprintf(stderr, "midigen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
