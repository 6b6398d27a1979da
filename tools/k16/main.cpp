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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  std::vector<std::string> files;
  k16tool::EncodeOptions options;
  bool alpha = false;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (command == "encode" && a == "--key") {
      options.key = true;
    } else if (command == "encode" && a.rfind("--key=", 0) == 0) {
      options.key = true;
      if (!ParseHex(a.substr(6), options.keyRgb)) {
        std::fprintf(stderr, "k16: --key wants six hex digits RRGGBB, not \"%s\"\n",
                     a.substr(6).c_str());
        return 2;
      }
    } else if (command == "encode" && a == "--dither") {
      options.dither = true;
    } else if (command == "encode" && a == "--colours" && i + 1 < argc) {
      options.colours = std::atoi(argv[++i]);
      if (options.colours < 1 || options.colours > 256) {
        std::fprintf(stderr, "k16: --colours wants 1 to 256\n");
        return 2;
      }
    } else if (command == "decode" && a == "--alpha") {
      alpha = true;
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "k16: unknown option %s\n", a.c_str());
      return Usage();
    } else {
      files.push_back(a);
    }
  }
  std::string error, text;
  bool ok;
  if (command == "encode" && files.size() == 2) {
    ok = k16tool::EncodeFile(files[0], files[1], options, error);
  } else if (command == "decode" && files.size() == 2) {
    ok = k16tool::DecodeFile(files[0], files[1], alpha, error);
  } else if (command == "info" && files.size() == 1) {
    ok = k16tool::DescribeFile(files[0], text, error);
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
