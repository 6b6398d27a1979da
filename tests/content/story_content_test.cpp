// The demo's story as a player reads it before a battle: the first battle,
// the practice duel in the market, is explained first, and every battle
// starts with the HP and MP the story has just named and the status bar
// shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "platform/posix/host_files.h"
#include "support/files.h"

namespace {

const std::filesystem::path kData = QF_DEMO_DATA_DIR;

std::string Sjis(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(posix::Utf8ToSjis(utf8, out)) << utf8;
  return out;
}

bool Starts(const std::string& line, const char* word) { return line.rfind(word, 0) == 0; }

}  // namespace

// Read straight through, each file: the player's figures change with
// ".strong", a ".let" of them or of the date (which works them out again)
// and new cards; a battle must come after a redrawn status bar and a line
// naming [hp] and [mp] since the last change.
TEST(DemoStory, EveryBattleStartsWithTheFiguresTheStoryNamesAndTheBarShows) {
  int battles = 0;
  for (const auto& e : std::filesystem::directory_iterator(kData)) {
    if (e.path().extension() != ".scn") continue;
    std::istringstream in(ReadText(e.path()));
    bool changed = false, redrawn = false;
    int n = 0;
    for (std::string line; std::getline(in, line);) {
      ++n;
      std::istringstream words(line);
      std::string command, name;
      words >> command >> name;
      const bool figure = name == "hp" || name == "maxhp" || name == "mp" || name == "maxmp" ||
                          name == "day" || name == "month" || name == "year";
      if (command == ".strong" || (command == ".let" && figure) ||
          (command == ".card" && name == "add")) {
        changed = true;
        redrawn = false;
      }
      if (command == ".update") redrawn = true;
      if (!Starts(line, ".") && line.find("[hp]") != std::string::npos &&
          line.find("[mp]") != std::string::npos && redrawn)
        changed = false;
      if (command == ".battle") {
        ++battles;
        EXPECT_FALSE(changed) << e.path().filename() << ":" << n << ": " << line;
      }
    }
  }
  EXPECT_EQ(battles, 4);
}

// What the practice duel says before it starts: the cards, the marker's
// colours, the decide button, the click cue, HP and the deck count.
TEST(DemoStory, ThePracticeDuelTellsHowABattleIsPlayed) {
  const std::string duel = ReadText(kData / "duel.scn");
  const std::string told = duel.substr(0, duel.find(".battle"));
  for (const char* word : {"クリック", "型", "右クリック", "青", "赤", "決定", "▼", "HP", "山札"})
    EXPECT_NE(told.find(Sjis(word)), std::string::npos) << word;
}
