// gplp: makes and opens GPLP packed files (".dpa"), the packed form in which
// the game also finds its music: bmid\card2.mid may ship as bmid\card2.dpa.
//
//   gplp pack INPUT OUTPUT.dpa [MEMBER-NAME]
//   gplp unpack INPUT.dpa OUTPUT
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/file_handle.h"
#include "streams/gplp.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: gplp pack INPUT OUTPUT.dpa [MEMBER-NAME]\n"
               "       gplp unpack INPUT.dpa OUTPUT\n"
               "The member name defaults to INPUT's file name.\n");
  return 2;
}

bool ReadFile(const char* path, std::vector<uint8_t>& out) {
  posix::FileHandle f = posix::OpenFile(path, "rb");
  if (!f) {
    std::fprintf(stderr, "gplp: cannot read %s: %s\n", path, std::strerror(errno));
    return false;
  }
  out.clear();
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0)
    out.insert(out.end(), buffer, buffer + n);
  const bool failed = std::ferror(f.get());
  if (failed) std::fprintf(stderr, "gplp: cannot read %s: read error\n", path);
  return !failed;
}

bool WriteFile(const char* path, const std::vector<uint8_t>& data) {
  posix::FileHandle f = posix::OpenFile(path, "wb");
  if (!f) {
    std::fprintf(stderr, "gplp: cannot write %s: %s\n", path, std::strerror(errno));
    return false;
  }
  const bool ok = data.empty() || std::fwrite(data.data(), data.size(), 1, f.get()) == 1;
  if (!posix::CloseFile(f) || !ok) {
    std::fprintf(stderr, "gplp: cannot write %s: %s\n", path, std::strerror(errno));
    std::remove(path);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  const std::string command = argv[1];
  std::vector<uint8_t> input;
  if (command == "pack") {
    if (argc > 5) return Usage();
    if (!ReadFile(argv[2], input)) return 1;
    if (input.size() > 0xFFFFFFFFu) {
      std::fprintf(stderr, "gplp: %s is too large for a GPLP file (4 GiB at most)\n", argv[2]);
      return 1;
    }
    const std::string member =
        argc == 5 ? argv[4] : std::filesystem::path(argv[2]).filename().string();
    return WriteFile(argv[3], PackGplp(input.data(), input.size(), member)) ? 0 : 1;
  }
  if (command == "unpack") {
    if (argc != 4) return Usage();
    if (!ReadFile(argv[2], input)) return 1;
    std::vector<uint8_t> output;
    std::string member, error;
    if (!UnpackGplp(input, output, member, error)) {
      std::fprintf(stderr, "gplp: %s: %s\n", argv[2], error.c_str());
      return 1;
    }
    return WriteFile(argv[3], output) ? 0 : 1;
  }
  return Usage();
}
