// The game killed while it writes: a save slot, the three progress files and
// the settings must each hold the old version or the new one, whole, whatever
// moment the kill lands on; what a kill leaves behind is never read, and is
// gone once the game starts again.
//
//   quillfen_kill_test GAME DATA_DIR KILLS [--save-dir]
//
// The real program runs headless on a copy of the demo data with a scenario
// of its own: it teaches cards and arts and writes the progress files
// (".svd"), a volume key writes the settings, the input opens the save screen
// and saves into slot 1, and the end of the run writes the progress files
// once more. The writer goes slowly (its testing aid), and the kills are
// placed by what the folder shows rather than by the clock: the n-th change
// seen in the files or their temporaries, for n spread from the start of the
// run to past its last write, so a busy machine moves them no less densely
// over every write.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "data/save_file.h"
#include "platform/headless/headless.h"
#include "platform/posix/fs_routing.h"
#include "support/files.h"

namespace fs = std::filesystem;

namespace {

// As found in the folder the game writes into.
constexpr std::array<const char*, 5> kFiles = {"save/save1.dat", "save/Collection.dat",
                                               "save/ArtsList.dat", "save/Pattern.dat",
                                               "settings.txt"};
using Versions = std::array<std::string, kFiles.size()>;

struct Game {
  std::string binary;
  fs::path data, input, saves;  // saves: the --save-dir folder, or empty
  fs::path Root() const { return saves.empty() ? data : saves; }
};

pid_t Start(const Game& g, bool slow) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // Microseconds before each 256-byte piece of a write.
  if (slow) setenv("QUILLFEN_SLOW_WRITES", "400", 1);
  if (std::freopen("/dev/null", "w", stderr) == nullptr) _exit(126);
  std::vector<const char*> args = {g.binary.c_str(), "--headless",   "--quiet",
                                   "--data",         g.data.c_str(), "--input",
                                   g.input.c_str(),  "--log",        "/dev/null"};
  if (!g.saves.empty()) args.insert(args.end(), {"--save-dir", g.saves.c_str()});
  args.push_back(nullptr);
  execv(args[0], const_cast<char* const*>(args.data()));
  _exit(127);
}

// The exit status, or 128 and the signal that ended the program.
int Code(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return Code(status);
}

void Put(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

Versions ReadVersions(const fs::path& root) {
  Versions v;
  for (size_t f = 0; f < kFiles.size(); ++f) v[f] = ReadText(root / kFiles[f]);
  return v;
}

void PutBack(const fs::path& root, const Versions& v) {
  fs::remove_all(root / "save");
  fs::create_directories(root / "save");
  for (size_t f = 0; f < kFiles.size(); ++f) Put(root / kFiles[f], v[f]);
}

// What the files and the writer's temporaries look like: each file's inode
// and size (a rename changes the inode), and its temporary's size.
std::string FolderState(const fs::path& root, pid_t pid) {
  std::string s;
  for (const char* f : kFiles) {
    struct stat st {};
    struct stat temp {};
    const bool there = stat((root / f).c_str(), &st) == 0;
    const bool writing = stat(posix::TemporaryName((root / f).string(), pid).c_str(), &temp) == 0;
    s += std::to_string(there ? st.st_ino : 0) + ":" + std::to_string(there ? st.st_size : -1) +
         ":" + std::to_string(writing ? temp.st_size : -1) + " ";
  }
  return s;
}

// Follows a run until it has made stopAt changes to the folder, then kills
// it; stopAt < 0 follows it to its end. The changes seen, and the exit status.
std::pair<int, int> Follow(pid_t pid, const fs::path& root, int stopAt) {
  std::string last = FolderState(root, pid);
  int changes = 0;
  while (stopAt < 0 || changes < stopAt) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return {changes, Code(status)};
    const std::string now = FolderState(root, pid);
    changes += now != last;
    last = now;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  kill(pid, SIGKILL);
  return {changes, Wait(pid)};
}

int TemporariesIn(const fs::path& root) {
  int n = 0;
  long pid = 0;
  std::error_code none;
  for (const fs::path& folder : {root, root / "save"})
    for (const auto& e : fs::directory_iterator(folder, none))
      n += posix::IsTemporaryName(e.path().filename().c_str(), pid);
  return n;
}

// The next start of the game, as far as the files go: it must claim the
// folder (the kill let go of the lock), clear what the kill left and load
// the slot.
std::string NextStart(const Game& g) {
  headless::Options o;
  o.dataDir = g.data.string();
  o.saveDir = g.saves.string();
  o.echo = false;
  o.testFont = true;
  headless::HeadlessHost host(o);
  plat::SetHost(&host);
  SaveSnapshot s;
  std::vector<uint8_t> variables;
  const char* why = !host.ClaimSaveFolder()        ? "the folder is still locked after the kill"
                    : TemporariesIn(g.Root()) != 0 ? "a temporary file outlived the next start"
                    : readSaveFile(1, 1, 1, s, variables) != SlotState::Ok ? "slot 1 does not load"
                                                                           : "";
  plat::SetHost(nullptr);
  return why;
}

std::string Scenario(int money, const std::vector<int>& cards, const std::vector<int>& arts) {
  std::string s = ".let money = " + std::to_string(money) +
                  "\n.let a = " + std::to_string(money * 10) + "\n.let s = \"v" +
                  std::to_string(money) + "\"\n";
  for (int c : cards) s += ".card add deck " + std::to_string(c) + " 2\n";
  for (int a : arts) s += ".arts add attack " + std::to_string(a) + "\n";
  return s + ".svd\n.show msg1\n.msg 1\n.update 0\nWaiting\n.update 0\n.clk\n";
}

int Fail(const char* why) {
  std::fprintf(stderr, "%s\n", why);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Fail("usage: quillfen_kill_test GAME DATA_DIR KILLS [--save-dir]");
  const int kills = std::atoi(argv[3]);
  const auto began = std::chrono::steady_clock::now();
  ScopedTempDir scratch("quillfen-kill-");
  const bool ownFolder = argc > 4 && std::strcmp(argv[4], "--save-dir") == 0;
  const Game g{argv[1], scratch.path() / "data", scratch.path() / "input.txt",
               ownFolder ? scratch.path() / "saves" : fs::path()};
  std::error_code ec;
  fs::copy(argv[2], g.data, fs::copy_options::recursive, ec);
  if (ec) return Fail("cannot copy the demo data");
  // Nothing of earlier runs on the demo data.
  fs::remove(g.data / "settings.txt");
  fs::remove_all(g.data / "save");
  fs::create_directories(g.data / "save");
  fs::create_directories(g.Root() / "save");
  Put(g.data / "config.scn", ".int a\n.str s\n");
  // The volume key, then the save screen from the status bar: "save", slot 1.
  Put(g.input, "wait key minus\nwait click 616 458\nwait click 320 160\nwait click 320 70\n");

  // The old versions: a first game saved into slot 1; the new ones: the next
  // game, from the old files, gets further, slowly as every run from here on,
  // and the changes it makes are counted.
  Put(g.data / "start.scn", Scenario(1, {1, 2}, {1}));
  if (Wait(Start(g, false)) != 0) return Fail("the first game did not end well");
  const Versions before = ReadVersions(g.Root());
  Put(g.data / "start.scn", Scenario(2, {3, 4, 5}, {30, 40, 50, 60, 70}));
  PutBack(g.Root(), before);
  const auto [changes, status] = Follow(Start(g, true), g.Root(), -1);
  const Versions after = ReadVersions(g.Root());
  if (status != 0) return Fail("the second game did not end well");
  for (size_t f = 0; f < kFiles.size(); ++f) {
    if (before[f].empty() || before[f] == after[f])
      return Fail("the two games must write two versions of every file");
  }

  int landed = 0, damaged = 0, temporaries = 0;
  std::array<int, kFiles.size()> oldSeen{}, newSeen{};
  for (int k = 0; k < kills; ++k) {
    PutBack(g.Root(), before);
    const int at = k * (changes + 2) / kills;
    landed += Follow(Start(g, true), g.Root(), at).second == 128 + SIGKILL;
    temporaries += TemporariesIn(g.Root());
    const Versions now = ReadVersions(g.Root());
    for (size_t f = 0; f < kFiles.size(); ++f) {
      oldSeen[f] += now[f] == before[f];
      newSeen[f] += now[f] == after[f];
      if (now[f] != before[f] && now[f] != after[f]) {
        ++damaged;
        std::fprintf(stderr, "kill at change %d: %s is neither version\n", at, kFiles[f]);
      }
    }
    if (const std::string why = NextStart(g); !why.empty()) {
      ++damaged;
      std::fprintf(stderr, "kill at change %d: %s\n", at, why.c_str());
    }
  }
  std::printf(
      "kill test: %d kills over the %d changes a run makes, %d landed; temporary files "
      "left by kills %d, all removed at the next start; damaged %d; %.1f s\n",
      kills, changes, landed, temporaries, damaged,
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
  bool spread = temporaries > 0 && landed >= kills / 2;
  for (size_t f = 0; f < kFiles.size(); ++f) {
    if (oldSeen[f] == 0 || newSeen[f] == 0)
      std::printf("  %s: old %d, new %d: the kills missed a side of its write\n", kFiles[f],
                  oldSeen[f], newSeen[f]);
    spread = spread && oldSeen[f] > 0 && newSeen[f] > 0;
  }
  return damaged == 0 && spread ? 0 : 1;
}
