// The start-up and shutdown order around the interpreter, through the whole
// program.
#include <gtest/gtest.h>

#include "data/database.h"
#include "data/player.h"
#include "script/variables.h"
#include "support/files.h"
#include "support/game_fixture.h"

namespace {

class StartupTest : public GameTest {};

TEST_F(StartupTest, LoadsDataAndProgressThenRunsStartAndSavesAtExit) {
  std::string attack(sizeof db.attackArts, '\0');
  attack[sizeof(ArtsRecord) * 4] = 1;  // learned in the database
  attack[sizeof(ArtsRecord) * 5] = 1;  // and forgotten by the progress file
  WriteData("AtArts.dat", attack);
  std::string arts(105, '\0');
  arts[5] = 0;
  arts[6] = 1;
  arts[4] = 1;
  WriteData("save/ArtsList.dat", arts);
  WriteData("config.scn", ".int d w\n.str s\n");
  WriteData("start.scn", ".let d = day\n.let w = weekday\n.let money = 30\n");
  EXPECT_EQ(RunGame(), 0);
  EXPECT_TRUE(host->boxes.empty());

  EXPECT_EQ(db.attackArts[4].learned, 1);
  EXPECT_EQ(db.attackArts[5].learned, 0);
  EXPECT_EQ(db.attackArts[6].learned, 1);
  // The date is the clock's (2026-04-01, a Wednesday); HP and MP stay 0
  // until something recomputes them.
  EXPECT_EQ(player.date.year, 126);
  EXPECT_EQ(player.date.mon, 3);
  EXPECT_EQ(player.date.mday, 1);
  EXPECT_EQ(player.date.wday, 3);
  EXPECT_EQ(player.maxhp, 0);
  EXPECT_EQ(player.money, 30);
  // The variable tables are gone after shutdown; the progress is on disk.
  EXPECT_TRUE(vars.ints.empty());
  EXPECT_EQ(ReadText(dataDir / "save/ArtsList.dat"), arts);
  EXPECT_TRUE(std::filesystem::exists(dataDir / "save/Pattern.dat"));
}

TEST_F(StartupTest, NothingIsSavedWhenStartIsMissing) {
  WriteData("config.scn", "");
  EXPECT_EQ(RunGame(), 0);
  EXPECT_FALSE(std::filesystem::exists(dataDir / "save"));
}

}  // namespace
