// Process entry: picks the backend, sets the data directory and runs the game.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
  const uint64_t started = posix::MonotonicMillis();
  headless::Options hopt;
  sdl::Options sopt;
  std::string dataDir;
  std::string saveDir;
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
      dataDir = value();
    } else if (arg == "--save-dir") {
      saveDir = value();
    } else if (arg == "--scale") {
      sopt.scale = std::atoi(value());
      sopt.scaleGiven = true;
      if (sopt.scale < 1 || sopt.scale > 4) {
        std::fprintf(stderr, "quillfen: --scale takes 1 to 4\n");
        return 2;
      }
    } else if (arg == "--fit") {
      sopt.fitFullScreen = sopt.fitGiven = true;
    } else if (arg == "--no-fit") {
      sopt.fitFullScreen = false;
      sopt.fitGiven = true;
    } else if (arg == "--verbose") {
      sopt.verbose = true;
    } else if (arg == "--timing") {
      sopt.reportTiming = true;
    } else if (arg == "--headless") {
      wantHeadless = true;
    } else if (arg == "--input") {
      inputPath = value();
    } else if (arg == "--screenshot-dir") {
      hopt.screenshotDir = value();
    } else if (arg == "--until") {
      hopt.until = std::strtoull(value(), nullptr, 10);
    } else if (arg == "--log") {
      hopt.logFile = value();
    } else if (arg == "--audio-out") {
      hopt.audioOut = value();
    } else if (arg == "--quiet") {
      hopt.echo = false;
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else {
      std::fprintf(stderr, "quillfen: unknown option %s\n", arg.c_str());
      Usage();
      return 2;
    }
  }

  // The data is read where it was found; what the game writes goes to the
  // player's own folder unless the data directory is a writable one of a
  // build (ChooseSaveFolder).
  bool installed = false;
  if (dataDir.empty()) {
    const std::string programFolder = posix::ExecutableFolder();
    const posix::DataChoice found = posix::FindDataDirectory(
        programFolder, {programFolder + "/" QF_INSTALLED_DATA_RELATIVE, QF_INSTALLED_DATA});
    dataDir = found.dir;
    installed = found.installed;
  }
  saveDir = posix::ChooseSaveFolder(dataDir, installed, saveDir, std::getenv("XDG_DATA_HOME"),
                                    std::getenv("HOME"));

  if (!wantHeadless && sdl::SdlHost::Start()) {
    sopt.dataDir = dataDir;
    sopt.saveDir = saveDir;
    sopt.startedAtMs = started;
    sdl::SdlHost host(sopt);
    return RunOn(host);
  }
  if (!wantHeadless) std::fprintf(stderr, "quillfen: running headless instead\n");

  hopt.dataDir = dataDir;
  hopt.saveDir = saveDir;
  headless::HeadlessHost host(hopt);
  headless::CloseOnTermination();
  if (!host.StartupError().empty()) {
    std::fprintf(stderr, "quillfen: %s\n", host.StartupError().c_str());
    return 2;
  }
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
  host.SetAutomation(&AutomatedClicks);
  const int code = RunOn(host);
  std::string audioError;
  if (!host.FinishAudio(audioError)) std::fprintf(stderr, "quillfen: %s\n", audioError.c_str());
  return code;
}
