// k16: turns PNG pictures into the game's K16 pictures and back.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "k16/k16_core.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: k16 encode [--key[=RRGGBB]] [--dither] [--colours N] in.png out.K16\n"
               "       k16 decode [--alpha] in.K16 out.png\n"
               "       k16 info file.K16\n"
               "\n"
               "encode  quantises to at most N colours (default 255, index 255 left free)\n"
               "        of the 15-bit palette.\n"
               "  --key[=RRGGBB]  pixels of this colour (magenta FF00FF by default) and fully\n"
               "                  transparent pixels become index 255, skipped by keyed loading\n"
               "  --dither        Floyd-Steinberg dithering, for photos and gradients\n"
               "decode  writes index 255 as transparent with --alpha\n");
  return 2;
}

bool ParseHex(const std::string& s, uint32_t& out) {
  if (s.size() != 6 || s.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return false;
  out = static_cast<uint32_t>(std::strtoul(s.c_str(), nullptr, 16));
  return true;
}

struct Command {
  std::string name;
  std::vector<std::string> files;
  k16tool::EncodeOptions options;
  bool alpha = false;
};

// The words after the command; 0, or the exit status for a mistake.
int ParseOptions(int argc, char** argv, Command& c) {
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    const bool encode = c.name == "encode";
    if (encode && a == "--key") {
      c.options.key = true;
    } else if (encode && a.rfind("--key=", 0) == 0) {
      c.options.key = true;
      if (!ParseHex(a.substr(6), c.options.keyRgb)) {
        std::fprintf(stderr, "k16: --key wants six hex digits RRGGBB, not \"%s\"\n",
                     a.substr(6).c_str());
        return 2;
      }
    } else if (encode && a == "--dither") {
      c.options.dither = true;
    } else if (encode && a == "--colours" && i + 1 < argc) {
      c.options.colours = std::atoi(argv[++i]);
      if (c.options.colours < 1 || c.options.colours > 256) {
        std::fprintf(stderr, "k16: --colours wants 1 to 256\n");
        return 2;
      }
    } else if (c.name == "decode" && a == "--alpha") {
      c.alpha = true;
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "k16: unknown option %s\n", a.c_str());
      return Usage();
    } else {
      c.files.push_back(a);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  Command c;
  c.name = argv[1];
  if (const int status = ParseOptions(argc, argv, c); status != 0) return status;
  std::string error, text;
  bool ok;
  if (c.name == "encode" && c.files.size() == 2) {
    ok = k16tool::EncodeFile(c.files[0], c.files[1], c.options, error);
  } else if (c.name == "decode" && c.files.size() == 2) {
    ok = k16tool::DecodeFile(c.files[0], c.files[1], c.alpha, error);
  } else if (c.name == "info" && c.files.size() == 1) {
    ok = k16tool::DescribeFile(c.files[0], text, error);
    if (ok) std::fputs(text.c_str(), stdout);
  } else {
    return Usage();
  }
  if (!ok) {
    std::fprintf(stderr, "k16: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
