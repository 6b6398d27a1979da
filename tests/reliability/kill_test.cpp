// The game killed while it writes: a save slot and the three progress files
// must each hold the old version or the new one, whole, whatever moment the
// kill lands on; a temporary file a kill leaves behind is never read and is
// gone once the game starts again.
//
//   quillfen_kill_test GAME DATA_DIR [--kills N] [--save-dir] [--settings]
//
// With --settings it is the settings file instead, written by the volume
// keys.
//
// With --save-dir the game writes into a save folder of its own (as an
// installed game writes into the player's folder), which must hold up the
// same way.
//
// The real program runs headless on a copy of the demo data with a scenario
// of its own: it teaches cards and arts and writes the progress files
// (".svd"), then the input opens the save screen and saves into slot 1,
// which writes the slot and the progress files again, and the end of the
// run writes the progress files once more. The writer goes slowly (its
// testing aid) so that kills at growing delays land before, inside and
// after every one of those writes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/settings.h"
#include "data/player.h"
#include "data/save_file.h"
#include "platform/headless/headless.h"
#include "platform/posix/host_files.h"
#include "support/files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Microseconds before each 256-byte piece of a write.
constexpr const char* kSlowWrites = "400";

constexpr std::array<const char*, 4> kFiles = {"save1.dat", "Collection.dat", "ArtsList.dat",
                                               "Pattern.dat"};
using Versions = std::array<std::vector<uint8_t>, kFiles.size()>;

// Opens the save screen from the status bar, picks "save", then slot 1.
constexpr const char* kSaveInput =
    "wait click 616 458\n"
    "wait click 320 160\n"
    "wait click 320 70\n";

std::string Scenario(int money, const std::vector<int>& cards, const std::vector<int>& arts) {
  std::string s = ".let money = " + std::to_string(money) +
                  "\n.let a = " + std::to_string(money * 10) + "\n.let s = \"v" +
                  std::to_string(money) + "\"\n";
  for (int c : cards) s += ".card add deck " + std::to_string(c) + " 2\n";
  for (int a : arts) s += ".arts add attack " + std::to_string(a) + "\n";
  s += ".svd\n.show msg1\n.msg 1\n.update 0\nWaiting\n.update 0\n.clk\n";
  return s;
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

struct Game {
  std::string binary;
  fs::path data;
  fs::path input;
  fs::path saves;  // the --save-dir folder; empty: the game writes into its data
};

pid_t Start(const Game& g, bool slow) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (slow) setenv("QUILLFEN_SLOW_WRITES", kSlowWrites, 1);
    if (std::freopen("/dev/null", "w", stderr) == nullptr) _exit(126);
    if (g.saves.empty()) {
      execl(g.binary.c_str(), g.binary.c_str(), "--headless", "--quiet", "--data", g.data.c_str(),
            "--input", g.input.c_str(), static_cast<char*>(nullptr));
    } else {
      execl(g.binary.c_str(), g.binary.c_str(), "--headless", "--quiet", "--data", g.data.c_str(),
            "--save-dir", g.saves.c_str(), "--input", g.input.c_str(), static_cast<char*>(nullptr));
    }
    _exit(127);
  }
  return pid;
}

// Runs the game to its end; true when it ended well.
bool RunWhole(const Game& g, bool slow) {
  const pid_t pid = Start(g, slow);
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

bool IsTemporary(const std::string& name) { return name.find(".tmp") != std::string::npos; }

int CountTemporaries(const fs::path& save) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(save)) n += IsTemporary(e.path().filename());
  return n;
}

Versions ReadVersions(const fs::path& save) {
  Versions v;
  for (size_t f = 0; f < kFiles.size(); ++f) v[f] = ReadBytes(save / kFiles[f]);
  return v;
}

void PutBack(const fs::path& save, const Versions& v) {
  fs::remove_all(save);
  fs::create_directories(save);
  for (size_t f = 0; f < kFiles.size(); ++f) WriteBytes(save / kFiles[f], v[f]);
}

int32_t I32At(const std::vector<uint8_t>& bytes, size_t at) {
  int32_t v = 0;
  if (bytes.size() >= at + 4) std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

// The game's own readers on the folder, after a host has claimed it as the
// game claims it at start: the slot must load, each progress file must
// read whole, and no temporary file may be left.
std::string ReadBack(const Game& g, const fs::path& save, int32_t ints, int32_t strs) {
  headless::Options o;
  o.dataDir = g.data.string();
  o.saveDir = g.saves.string();
  o.echo = false;
  o.testFont = true;
  headless::HeadlessHost host(o);
  plat::SetHost(&host);
  std::string why;
  if (!host.ClaimSaveFolder()) why = "the folder is still locked after the kill";
  SaveSnapshot s;
  std::vector<uint8_t> variables;
  if (why.empty() && readSaveFile(1, ints, strs, s, variables) != SlotState::Ok)
    why = "slot 1 does not load";
  const std::pair<const char*, size_t> progress[] = {{kCollectionFile, kCollectionFileSize},
                                                     {kArtsListFile, kArtsListFileSize},
                                                     {kPatternFile, kPatternFileSize}};
  for (const auto& [name, size] : progress) {
    std::vector<uint8_t> bytes;
    if (why.empty() && (!host.ReadWholeFile(name, bytes) || bytes.size() != size))
      why = std::string(name) + " does not read whole";
  }
  if (why.empty() && CountTemporaries(save) != 0)
    why = "a temporary file outlived the start of the next run";
  plat::SetHost(nullptr);
  return why;
}

// The settings file, killed while the volume keys write it again and again:
// every kill must leave a file that reads whole as one of the versions the
// keys made (or none yet), and no temporary file past the next start.
int SettingsKills(const Game& g, int kills) {
  const fs::path root = g.saves.empty() ? g.data : g.saves;
  WriteFile(g.data / "start.scn", ".show msg1\n.msg 1\n.update 0\nWaiting\n.update 0\n.clk\n");
  // Down and up again: the file holds music at 90 or at 100 in turn.
  std::string input;
  for (int i = 0; i < 20; ++i) input += "wait key minus\nwait key plus\n";
  WriteFile(g.input, input);
  auto Clear = [&] { fs::remove(root / "settings.txt"); };
  auto Writing = [&] {
    std::error_code none;
    for (const auto& e : fs::directory_iterator(root, none))
      if (e.path().filename().string().rfind("settings.txt", 0) == 0) return true;
    return false;
  };
  // Starts a run and waits for its first write; the time from then, or -1.
  auto StartAndWatch = [&](pid_t& pid) {
    Clear();
    pid = Start(g, true);
    const auto start = Clock::now();
    while (!Writing()) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) return Clock::time_point{};
      if (Clock::now() - start > std::chrono::seconds(20)) return Clock::time_point{};
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return Clock::now();
  };

  pid_t pid = 0;
  const auto first = StartAndWatch(pid);
  int status = 0;
  waitpid(pid, &status, 0);
  if (first == Clock::time_point{} || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "the game did not write its settings and end well\n");
    return 1;
  }
  const double span = std::chrono::duration<double>(Clock::now() - first).count();
  std::array<int, 3> seen{};  // none yet, music at 90, at 100
  int bad = 0, temporaries = 0;
  for (int k = 0; k < kills; ++k) {
    const auto at = StartAndWatch(pid);
    if (at != Clock::time_point{})
      std::this_thread::sleep_until(at + std::chrono::duration<double>(span * (k + 0.5) / kills));
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    std::error_code none;
    for (const auto& e : fs::directory_iterator(root, none))
      temporaries += IsTemporary(e.path().filename());
    // Read as the next start reads it, once the stale temporaries are gone.
    const posix::GameFiles folder(g.data.string(), g.saves.string());
    folder.RemoveStaleTemporaries();
    for (const auto& e : fs::directory_iterator(root, none)) {
      if (IsTemporary(e.path().filename())) {
        ++bad;
        std::fprintf(stderr, "kill %d: %s outlived the next start\n", k, e.path().c_str());
      }
    }
    if (!folder.Exists(kSettingsFile)) {
      ++seen[0];
      continue;
    }
    std::vector<uint8_t> bytes;
    Settings read;
    std::string why = "unreadable";
    if (!folder.Read(kSettingsFile, bytes) ||
        !ParseSettings(std::string(bytes.begin(), bytes.end()), read, why) ||
        (read.musicVolume != 90 && read.musicVolume != 100)) {
      ++bad;
      std::fprintf(stderr, "kill %d: settings.txt is damaged (%s)\n", k, why.c_str());
      continue;
    }
    ++seen[read.musicVolume == 90 ? 1 : 2];
  }
  std::printf(
      "settings kill test: %d kills over the %.0f ms of 40 writes; before the first %d, "
      "music at 90 %d, at 100 %d; temporary files left by kills %d, all removed at the "
      "next start; damaged %d\n",
      kills, span * 1000, seen[0], seen[1], seen[2], temporaries, bad);
  const bool spread = seen[1] > 0 && seen[2] > 0 && temporaries > 0;
  if (!spread) std::printf("the kills did not land among the writes\n");
  return bad == 0 && spread ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: quillfen_kill_test GAME DATA_DIR [--kills N] [--save-dir] [--settings]\n");
    return 2;
  }
  int kills = 240;
  bool ownSaveFolder = false, settingsFile = false;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--settings") == 0) settingsFile = true;
    if (std::strcmp(argv[i], "--kills") == 0 && i + 1 < argc) {
      kills = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--save-dir") == 0) {
      ownSaveFolder = true;
    }
  }
  const auto began = Clock::now();

  ScopedTempDir scratch("quillfen-kill-");
  Game g{argv[1], scratch.path() / "data", scratch.path() / "save.txt",
         ownSaveFolder ? scratch.path() / "saves" : fs::path()};
  std::error_code ec;
  fs::copy(argv[2], g.data, fs::copy_options::recursive, ec);
  if (ec) {
    std::fprintf(stderr, "cannot copy %s: %s\n", argv[2], ec.message().c_str());
    return 2;
  }
  const fs::path save = (g.saves.empty() ? g.data : g.saves) / "save";
  // The data's own save folder is empty, as an installed game ships it.
  fs::remove_all(g.data / "save");
  fs::create_directories(g.data / "save");
  fs::remove_all(save);
  fs::create_directories(save);
  WriteFile(g.data / "config.scn", ".int a\n.str s\n");
  if (settingsFile) return SettingsKills(g, kills);
  WriteFile(g.input, kSaveInput);

  // The old versions: a first game saved into slot 1.
  WriteFile(g.data / "start.scn", Scenario(1, {1, 2}, {1}));
  if (!RunWhole(g, false)) {
    std::fprintf(stderr, "the first game did not end well\n");
    return 1;
  }
  const Versions before = ReadVersions(save);
  // The new versions: the next game, from the old files, gets further.
  WriteFile(g.data / "start.scn", Scenario(2, {3, 4, 5}, {30, 40, 50, 60, 70}));
  Versions after;
  for (int again = 0; again < 2; ++again) {
    PutBack(save, before);
    if (!RunWhole(g, again == 1)) {
      std::fprintf(stderr, "the second game did not end well\n");
      return 1;
    }
    const Versions made = ReadVersions(save);
    if (again == 0) after = made;
    for (size_t f = 0; f < kFiles.size(); ++f) {
      if (made[f] != after[f]) {
        size_t at = 0;
        while (at < made[f].size() && at < after[f].size() && made[f][at] == after[f][at]) ++at;
        std::fprintf(stderr,
                     "the same game wrote two different %s (from byte %zu): nothing to compare "
                     "with\n",
                     kFiles[f], at);
        return 1;
      }
    }
  }
  for (size_t f = 0; f < kFiles.size(); ++f) {
    if (before[f].empty() || before[f] == after[f]) {
      std::fprintf(stderr, "%s: the two games must write two versions of it\n", kFiles[f]);
      return 1;
    }
  }
  const int32_t ints = I32At(after[0], offsetof(SaveSnapshot, intCount));
  const int32_t strs = I32At(after[0], offsetof(SaveSnapshot, strCount));

  // Where the writes fall: from the first write seen to the last. A busy
  // machine stretches the start-up more than the writes, so each kill waits
  // for the first write of its own run and counts its delay from there; a
  // few land in the start-up instead. A write shows as a temporary file, or
  // (from a writer that is not crash-safe) as a file of neither version's
  // size.
  auto Writing = [&]() {
    if (CountTemporaries(save) > 0) return true;
    for (size_t f = 0; f < kFiles.size(); ++f) {
      std::error_code ignored;
      const auto size = fs::file_size(save / kFiles[f], ignored);
      if (size != before[f].size() && size != after[f].size()) return true;
    }
    return false;
  };
  struct Timing {
    double firstWrite = -1, lastWrite = 0;
    bool killed = false;
  };
  // Follows a run until it ends, or kills it that long after its first write.
  auto Watch = [&](pid_t pid, const Clock::time_point& t, double killAfterWrite) {
    Timing r;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      const double now = std::chrono::duration<double>(Clock::now() - t).count();
      if (Writing()) {
        if (r.firstWrite < 0) r.firstWrite = now;
        r.lastWrite = now;
      }
      if (r.firstWrite >= 0 && killAfterWrite >= 0 && now >= r.firstWrite + killAfterWrite) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    r.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    return r;
  };
  std::vector<Timing> runs;
  for (int n = 0; n < 3; ++n) {
    PutBack(save, before);
    const auto t = Clock::now();
    runs.push_back(Watch(Start(g, true), t, -1));
  }
  std::sort(runs.begin(), runs.end(), [](const Timing& a, const Timing& b) {
    return a.lastWrite - a.firstWrite < b.lastWrite - b.firstWrite;
  });
  if (runs[1].firstWrite < 0) {
    std::fprintf(stderr, "no write was seen\n");
    return 1;
  }
  const double firstWrite = runs[1].firstWrite;
  // A little past the last write, so that some kills find every write done.
  const double span = (runs[1].lastWrite - runs[1].firstWrite) * 1.15;
  const int early = std::max(1, kills / 20);

  int landed = 0, finished = 0, mixed = 0, temporaries = 0;
  std::array<int, kFiles.size()> oldSeen{}, newSeen{};
  for (int k = 0; k < kills; ++k) {
    PutBack(save, before);
    const auto start = Clock::now();
    const pid_t p = Start(g, true);
    double delay;  // for the messages: from the start, or from the first write
    bool killed;
    if (k < early) {
      delay = firstWrite * (k + 0.5) / early;
      std::this_thread::sleep_until(start + std::chrono::duration<double>(delay));
      kill(p, SIGKILL);
      int status = 0;
      waitpid(p, &status, 0);
      killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    } else {
      delay = span * (k - early + 0.5) / (kills - early);
      killed = Watch(p, start, delay).killed;
    }
    if (killed)
      ++landed;
    else
      ++finished;
    for (const auto& e : fs::directory_iterator(save)) {
      const std::string name = e.path().filename();
      if (IsTemporary(name)) {
        ++temporaries;
        continue;
      }
      const auto* which = std::find(kFiles.begin(), kFiles.end(), name);
      if (which == kFiles.end()) {
        std::fprintf(stderr, "kill %d at %.1f ms: a stray file %s\n", k, delay * 1000,
                     name.c_str());
        ++mixed;
      }
    }
    const Versions now = ReadVersions(save);
    // The game's own names, found as the game finds them, while whatever the
    // kill left is still there: a temporary file must never stand in.
    const posix::GameFiles folder(g.data.string(), g.saves.string());
    for (size_t f = 0; f < kFiles.size(); ++f) {
      std::vector<uint8_t> bytes;
      const std::string name = std::string("save\\") + kFiles[f];
      if (!folder.Read(name.c_str(), bytes) || bytes != now[f]) {
        ++mixed;
        std::fprintf(stderr, "kill %d: the game reads something else as %s\n", k, kFiles[f]);
      }
    }
    for (size_t f = 0; f < kFiles.size(); ++f) {
      if (now[f] == before[f]) {
        ++oldSeen[f];
      } else if (now[f] == after[f]) {
        ++newSeen[f];
      } else {
        ++mixed;
        std::fprintf(stderr, "kill %d at %.1f ms: %s is neither version (%zu bytes)\n", k,
                     delay * 1000, kFiles[f], now[f].size());
      }
    }
    const std::string why = ReadBack(g, save, ints, strs);
    if (!why.empty()) {
      ++mixed;
      std::fprintf(stderr, "kill %d at %.1f ms: %s\n", k, delay * 1000, why.c_str());
    }
  }

  std::printf(
      "kill test: %d kills, %d in the start-up and the rest spread over the %.0f ms "
      "from the first write to past the last (start-up %.0f ms); %d landed, %d after the "
      "game ended; temporary files left by kills %d, all removed at the next start\n",
      kills, early, span * 1000, firstWrite * 1000, landed, finished, temporaries);
  for (size_t f = 0; f < kFiles.size(); ++f)
    std::printf("  %-15s old %3d, new %3d\n", kFiles[f], oldSeen[f], newSeen[f]);
  std::printf("  mixed, truncated or unreadable: %d; %.1f s\n", mixed,
              std::chrono::duration<double>(Clock::now() - began).count());
  bool spread = true;
  for (size_t f = 0; f < kFiles.size(); ++f) spread = spread && oldSeen[f] > 0 && newSeen[f] > 0;
  if (!spread) std::printf("the kills did not land on both sides of every write\n");
  return mixed == 0 && spread && landed >= kills / 2 ? 0 : 1;
}
