// qf-deck build SOURCE.txt OUT.dec   write an opponent deck file
// qf-deck show FILE.dec              print a deck file as its source
#include <cstdio>
#include <string>

#include "common/file_io.h"
#include "deck_file.h"

namespace {

using toolfile::ReadFile;
using toolfile::WriteFile;

int Usage() {
  std::fprintf(stderr,
               "usage: qf-deck build SOURCE.txt OUT.dec\n"
               "       qf-deck show FILE.dec\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string mode = argv[1], in = argv[2];
  std::string text;
  if ((mode == "build" && argc == 4) || (mode == "show" && argc == 3)) {
    if (!ReadFile(in, text)) {
      std::fprintf(stderr, "%s: cannot be read\n", in.c_str());
      return 1;
    }
  } else {
    return Usage();
  }
  if (mode == "show") {
    deck_tool::Decoded deck;
    std::string error;
    if (!deck_tool::Decode(std::vector<uint8_t>(text.begin(), text.end()), deck, error)) {
      std::fprintf(stderr, "%s: %s\n", in.c_str(), error.c_str());
      return 1;
    }
    std::fputs(deck_tool::Show(deck).c_str(), stdout);
    return 0;
  }
  const deck_tool::ParseResult r = deck_tool::Parse(text, in);
  for (const auto& e : r.errors) std::fprintf(stderr, "%s\n", e.c_str());
  if (!r.errors.empty()) return 1;
  const std::vector<uint8_t> bytes = deck_tool::Encode(r.cards);
  if (!WriteFile(argv[3], bytes.data(), bytes.size())) {
    std::fprintf(stderr, "%s: cannot be written\n", argv[3]);
    std::remove(argv[3]);
    return 1;
  }
  return 0;
}
