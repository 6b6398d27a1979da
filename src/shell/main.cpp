// Process entry: picks the backend, sets the data directory and runs the game.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/headless/headless.h"
#include "platform/posix/host_files.h"
#include "shell/app.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: quillfen [options]\n"
               "  --data DIR            game data directory (default: \"data\" beside the program)\n"
               "  --headless            run without a window: virtual clock, scripted input\n"
               "  --input FILE          input script for --headless\n"
               "  --screenshot-dir DIR  write screenshots (PNG) of the headless run here\n"
               "  --until MS            close the headless run at this virtual time\n"
               "  --log FILE            also write the headless log to FILE\n"
               "  --quiet               do not copy the headless log to stderr\n"
               "  --audio-out FILE.wav  render the headless run's music and effects into FILE.wav\n");
}

bool ReadText(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  headless::Options options;
  options.dataDir = posix::ExecutableFolder() + "/data";
  std::string inputPath;
  bool wantHeadless = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "quillfen: %s needs a value\n", arg.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--data") {
      options.dataDir = value();
    } else if (arg == "--headless") {
      wantHeadless = true;
    } else if (arg == "--input") {
      inputPath = value();
    } else if (arg == "--screenshot-dir") {
      options.screenshotDir = value();
    } else if (arg == "--until") {
      options.until = std::strtoull(value(), nullptr, 10);
    } else if (arg == "--log") {
      options.logFile = value();
    } else if (arg == "--audio-out") {
      options.audioOut = value();
    } else if (arg == "--quiet") {
      options.echo = false;
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else {
      std::fprintf(stderr, "quillfen: unknown option %s\n", arg.c_str());
      Usage();
      return 2;
    }
  }
  if (!wantHeadless) {
    std::fprintf(stderr, "quillfen: this build has no window backend; running headless\n");
  }

  headless::HeadlessHost host(options);
  if (!inputPath.empty()) {
    std::string text, error;
    std::vector<headless::InputEvent> events;
    if (!ReadText(inputPath, text)) {
      std::fprintf(stderr, "quillfen: cannot read input script %s\n", inputPath.c_str());
      return 2;
    }
    if (!headless::ParseInputScript(text, events, error)) {
      std::fprintf(stderr, "quillfen: %s:%s\n", inputPath.c_str(), error.c_str());
      return 2;
    }
    host.SetInput(std::move(events));
  }
  plat::SetHost(&host);
  const int code = GameMain();
  std::string audioError;
  if (!host.FinishAudio(audioError)) std::fprintf(stderr, "quillfen: %s\n", audioError.c_str());
  plat::SetHost(nullptr);
  return code;
}
