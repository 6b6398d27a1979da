// midigen: Standard MIDI Files of our own.
//
//   midigen OUTPUT.mid               the demo song, for trying the music path
//                                    (e.g. as bmid\card2.mid of a test folder)
//   midigen loop INPUT.mid OUTPUT.mid
//                                    a song made from a score by abc2midi,
//                                    made to loop as its %%loop lines say
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "loop_song.h"
#include "midi_writer.h"
#include "platform/posix/file_handle.h"

namespace {

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes) {
  posix::FileHandle f = posix::OpenFile(path, "wb");
  if (!f || std::fwrite(bytes.data(), bytes.size(), 1, f.get()) != 1 || !posix::CloseFile(f)) {
    std::fprintf(stderr, "midigen: cannot write %s\n", path);
    return false;
  }
  return true;
}

bool ReadFile(const char* path, std::vector<uint8_t>& out) {
  posix::FileHandle f = posix::OpenFile(path, "rb");
  if (!f) {
    std::fprintf(stderr, "midigen: cannot read %s: %s\n", path, std::strerror(errno));
    return false;
  }
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0)
    out.insert(out.end(), buffer, buffer + n);
  return !std::ferror(f.get());
}

int Usage() {
  std::fprintf(stderr, "usage: midigen OUTPUT.mid\n       midigen loop INPUT.mid OUTPUT.mid\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // An option (--help) is not a file name to write a song to.
  if (argc == 2 && argv[1][0] != '-') return WriteFile(argv[1], midigen::DemoSong()) ? 0 : 1;
  if (argc != 4 || std::strcmp(argv[1], "loop") != 0) return Usage();
  std::vector<uint8_t> input;
  if (!ReadFile(argv[2], input)) return 1;
  midigen::SmfFile song;
  std::string error;
  if (!midigen::ReadSmf(input, song, error) || !midigen::MakeLoop(song, error)) {
    std::fprintf(stderr, "midigen: %s: %s\n", argv[2], error.c_str());
    return 1;
  }
  return WriteFile(argv[3], midigen::WriteSmf(song.tracks, song.division)) ? 0 : 1;
}
