// Process entry: picks the backend, sets the data directory and runs the game.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "battle/autoplayer.h"
#include "platform/headless/headless.h"
#include "platform/posix/fs_routing.h"
#include "platform/sdl/sdl_host.h"
#include "shell/app.h"
#include "shell/texts.h"

namespace {

void Usage() {
  std::fprintf(
      stderr,
      "usage: quillfen [options]\n"
      "  --data DIR            game data directory (default: \"data\" beside the program,\n"
      "                        then the installed share/quillfen/data)\n"
      "  --save-dir DIR        write save slots and progress files here (default: the\n"
      "                        data directory when it is writable and not installed,\n"
      "                        else $XDG_DATA_HOME/quillfen/<game id>)\n"
      "  --scale N             window size factor, 1 to 4 (default: as last time, or 1)\n"
      "  --fit, --no-fit       full screen fills the screen's height instead of the\n"
      "                        largest whole factor, or not (default: as last time)\n"
      "  --verbose             print what the game traces\n"
      "  --timing              print when the first frame was shown\n"
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

int RunOn(posix::MessageHost& host) {
  // A second copy on the same saves would write its older progress over the
  // first one's when it ends: it says so and ends before reading anything.
  if (!host.ClaimSaveFolder()) {
    host.ShowMessageBox(texts::kAlreadyRunning, nullptr);
    return 1;
  }
  plat::SetHost(&host);
  const int code = GameMain();
  ResetGameState();
  plat::SetHost(nullptr);
  return code;
}

struct Options {
  headless::Options headless;
  sdl::Options window;
  std::string dataDir, saveDir, inputPath;
  bool wantHeadless = false;
};

// The command line, one option at a time.
struct Arguments {
  int argc;
  char** argv;
  int at = 1;
  // The value after the option just read; without one the program ends.
  const char* Value() {
    if (at + 1 >= argc) {
      std::fprintf(stderr, "quillfen: %s needs a value\n", argv[at]);
      std::exit(2);
    }
    return argv[++at];
  }
};

// The window's options; false when arg is none of them.
bool WindowOption(const std::string& arg, Arguments& args, sdl::Options& o) {
  if (arg == "--scale") {
    o.scale = std::atoi(args.Value());
    o.scaleGiven = true;
  } else if (arg == "--fit") {
    o.fitFullScreen = o.fitGiven = true;
  } else if (arg == "--no-fit") {
    o.fitFullScreen = false;
    o.fitGiven = true;
  } else if (arg == "--verbose") {
    o.verbose = true;
  } else if (arg == "--timing") {
    o.reportTiming = true;
  } else {
    return false;
  }
  return true;
}

// The headless run's options but --headless and --input; false when arg is
// none of them.
bool HeadlessOption(const std::string& arg, Arguments& args, headless::Options& o) {
  if (arg == "--screenshot-dir") {
    o.screenshotDir = args.Value();
  } else if (arg == "--until") {
    o.until = std::strtoull(args.Value(), nullptr, 10);
  } else if (arg == "--log") {
    o.logFile = args.Value();
  } else if (arg == "--audio-out") {
    o.audioOut = args.Value();
  } else if (arg == "--quiet") {
    o.echo = false;
  } else {
    return false;
  }
  return true;
}

// The exit code when the options end the program before it starts (--help,
// or one that is wrong); -1 when it runs.
int ParseOptions(int argc, char** argv, Options& o) {
  for (Arguments args{argc, argv}; args.at < argc; ++args.at) {
    const std::string arg = argv[args.at];
    if (arg == "--data") {
      o.dataDir = args.Value();
    } else if (arg == "--save-dir") {
      o.saveDir = args.Value();
    } else if (arg == "--headless") {
      o.wantHeadless = true;
    } else if (arg == "--input") {
      o.inputPath = args.Value();
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else if (!WindowOption(arg, args, o.window) && !HeadlessOption(arg, args, o.headless)) {
      std::fprintf(stderr, "quillfen: unknown option %s\n", arg.c_str());
      Usage();
      return 2;
    }
    if (o.window.scaleGiven && (o.window.scale < 1 || o.window.scale > 4)) {
      std::fprintf(stderr, "quillfen: --scale takes 1 to 4\n");
      return 2;
    }
  }
  return -1;
}

// The data is read where it was found; what the game writes goes to the
// player's own folder unless the data directory is a writable one of a
// build (ChooseSaveFolder).
void ChooseFolders(Options& o) {
  bool installed = false;
  if (o.dataDir.empty()) {
    const std::string programFolder = posix::ExecutableFolder();
    const posix::DataChoice found = posix::FindDataDirectory(
        programFolder, {programFolder + "/" QF_INSTALLED_DATA_RELATIVE, QF_INSTALLED_DATA});
    o.dataDir = found.dir;
    installed = found.installed;
  }
  o.saveDir = posix::ChooseSaveFolder(o.dataDir, installed, o.saveDir, std::getenv("XDG_DATA_HOME"),
                                      std::getenv("HOME"));
}

// The input script of --input into the host; false (said on stderr) when it
// cannot be read or parsed.
bool LoadInput(const std::string& path, headless::HeadlessHost& host) {
  std::string text, error;
  std::vector<headless::InputEvent> events;
  if (!ReadText(path, text)) {
    std::fprintf(stderr, "quillfen: cannot read input script %s\n", path.c_str());
    return false;
  }
  if (!headless::ParseInputScript(text, events, error)) {
    std::fprintf(stderr, "quillfen: %s:%s\n", path.c_str(), error.c_str());
    return false;
  }
  host.SetInput(std::move(events));
  return true;
}

int RunHeadless(Options& o) {
  o.headless.warningsOnStderr = true;
  o.headless.dataDir = o.dataDir;
  o.headless.saveDir = o.saveDir;
  headless::HeadlessHost host(o.headless);
  headless::CloseOnTermination();
  if (!host.StartupError().empty()) {
    std::fprintf(stderr, "quillfen: %s\n", host.StartupError().c_str());
    return 2;
  }
  if (!o.inputPath.empty() && !LoadInput(o.inputPath, host)) return 2;
  host.SetAutomation(&AutomatedClicks);
  const int code = RunOn(host);
  std::string audioError;
  if (!host.FinishAudio(audioError)) std::fprintf(stderr, "quillfen: %s\n", audioError.c_str());
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t started = posix::MonotonicMillis();
  Options o;
  const int ended = ParseOptions(argc, argv, o);
  if (ended >= 0) return ended;
  ChooseFolders(o);
  if (!o.wantHeadless && sdl::SdlHost::Start()) {
    o.window.dataDir = o.dataDir;
    o.window.saveDir = o.saveDir;
    o.window.startedAtMs = started;
    sdl::SdlHost host(o.window);
    return RunOn(host);
  }
  if (!o.wantHeadless) std::fprintf(stderr, "quillfen: running headless instead\n");
  return RunHeadless(o);
}
