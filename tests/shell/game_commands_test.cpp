// The scenario's card, arts and progress commands, run by the interpreter as a
// scenario would run them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/random.h"
#include "data/database.h"
#include "data/player.h"
#include "script/variables.h"
#include "support/script_fixture.h"

namespace {

class GameCommandsTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    Config(".int n m\n.str s\n");
    CardRecord& c = db.cards[12];
    c.attribute = 3;
    std::snprintf(c.name, sizeof c.name, "Drake");
    std::snprintf(c.description, sizeof c.description, "%s", ("Breathes" + Sjis("炎")).c_str());
  }
  // The figures a row names ("deck=3 n=1"), as they are after its run.
  std::string Facts(const std::string& names) {
    // clang-format off
    const std::map<std::string, std::string> all = {
        {"deck", std::to_string(player.deck.count)}, {"stock", std::to_string(player.stock.count)},
        {"coll", std::to_string(collectionCount())}, {"n", std::to_string(Int("n"))},
        {"m", std::to_string(Int("m"))}, {"s", Str("s")}, {"money", std::to_string(player.money)},
        {"hp", std::to_string(player.hp)}, {"mp", std::to_string(player.mp)},
        {"maxhp", std::to_string(player.maxhp)}, {"maxmp", std::to_string(player.maxmp)},
        {"boxes", std::to_string(host->boxes.size())}};
    // clang-format on
    std::istringstream in(names);
    std::string out, word;
    while (in >> word)
      out += (out.empty() ? "" : " ") + word.substr(0, word.find('=')) + "=" +
             all.at(word.substr(0, word.find('=')));
    return out;
  }
};

// Adding is clamped to the free room; a card outside 1..50 changes nothing;
// "num" hands its count to ".let"; December makes 12 a collected card.
TEST_F(GameCommandsTest, CardCommandsKeepTheListsByTheirRules) {
  const std::pair<std::string, std::string> cases[] = {
      {".card add deck 3 90\n.card add deck 7 200\n.card num deck 7 n\n",
       "deck=100 n=10 coll=2 maxmp=24 hp=240 boxes=0"},
      {".card add stock 0 5\n.card add stock 51 5\n.card add deck 0 nosuch\n"
       ".card add hand nosuch 1\n.card sub deck 51 4\n.card add stock 8 0\n",
       "deck=0 stock=0 coll=0 boxes=0"},
      {".card add stock nosuch 5\n", "stock=0 boxes=1"},
      {".let n = 4\n.card add stock [n] 3\n.card add stock n 2\n.card num stock 4 n\n",
       "n=5 stock=5"},
      {".card add stock 5 2\n.card add stock 6 1\n.card add deck 5 1\n.card sub stock 5 9\n"
       ".card sub deck 5 1\n.card sub lists 6 1\n.card num collection 5 n\n.card num stock 6 m\n",
       "stock=1 deck=0 n=1 m=1 coll=2"},
      {".card add deck 2 3\n.card add stock 2 1\n.card num stock 2 s\n.card num deck 2 money\n"
       ".let m = 5\n.card num pocket 2 m\n.let n = 7\n.card num deck 0 n\n.card num deck 51 n\n"
       ".card num collection 9 hp\n",
       "s=1 money=3 m=0 n=7 hp=0 boxes=0"},
      {".card add deck 2 1\n.card num deck 2 weekday\n.card num deck 2 nosuch\n", "boxes=2"},
      {".card info name 12 s\n.card info attribute 12 n\n", "s=Drake n=3"},
      {".card info description 12 s\n.card info attribute 12 s\n", "s=3"},
      {".card info description 12 s\n", "s=Breathes" + Sjis("炎")},
      {".let n = 5\n.card info name 51 s\n.card info colour 12 n\n", "s= n=5 boxes=0"},
      {".let n = 5\n.card info name 0 n\n", "n=0 boxes=0"},
      {".card info name 12 m\n", "boxes=1"},
      {".card add deck 1 1\n.strong begin\n", "maxhp=120"},
      {".strong begin\n.strong firmly\n.card add deck 2 1\n", "maxhp=9999 mp=999 maxmp=999"},
      {".strong begin\n.strong end\n.card add deck 4 1\n", "maxmp=12 hp=120"}};
  for (const auto& [script, facts] : cases) {
    ResetPlayerState();
    player.date.mon = 11;
    for (auto& v : vars.ints) v.value = 0;
    vars.strs[0].value[0] = '\0';
    host->boxes.clear();
    Run(script);
    EXPECT_EQ(Facts(facts), facts) << script;
  }
}

// A description that fills its whole field is cut to what a variable holds,
// never in the middle of a character.
TEST_F(GameCommandsTest, CardInfoCutsAFullDescriptionAtACharacter) {
  const std::string full = std::string(254, 'x') + Sjis("炎");
  ASSERT_EQ(full.size(), sizeof db.cards[1].description);
  std::memcpy(db.cards[1].description, full.data(), full.size());
  std::memcpy(db.cards[2].description, full.data() + 1, full.size() - 1);
  Run(".card info description 1 s\n.card info description 2 n\n");
  EXPECT_EQ(Str("s"), std::string(254, 'x'));
  Run(".card info description 2 s\n");
  EXPECT_EQ(Str("s"), full.substr(1));
}

// At the first seed the draws are 41 and 18467: the first moves the last
// card into position 2, the second picks the last position.
TEST_F(GameCommandsTest, CardDumpDiscardsRandomCardsAndStopsWhenEmpty) {
  Run(".card add deck 1 1\n.card add deck 2 1\n.card add deck 3 1\n.card add deck 4 1\n"
      ".card add deck 5 1\n.card dump deck 2\n");
  EXPECT_EQ(std::vector<uint32_t>(player.deck.cards + 1, player.deck.cards + 6),
            (std::vector<uint32_t>{1, 5, 3, 0, 0}));
  const uint32_t before = rng.state;
  Run(".card dump deck 0\n.card dump deck -3\n.card dump hand 2\n.card dump deck nosuch\n");
  EXPECT_EQ(player.deck.count, 3);
  EXPECT_EQ(rng.state, before);  // nothing drawn
  Run(".card add stock 9 4\n.card dump stock 50\n.card dump deck 3\n");
  const uint32_t emptied = rng.state;
  rng.state = before;
  for (int i = 0; i < 4 + 3; ++i) NextRandom();
  EXPECT_EQ(emptied, rng.state);  // no draw once a list is empty
  EXPECT_EQ(player.stock.count + player.deck.count, 0);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(player.stock.cards[i], 0u) << i;
  EXPECT_EQ(player.collection[9], 1);
}

TEST_F(GameCommandsTest, ArtsAddAttackLearnsTheArtAndItsPattern) {
  const std::string pattern = std::string(attributeSymbol(2)) + attributeSymbol(4);
  for (char* p : {db.attackArts[70].pattern, db.attackArts[1].pattern, db.defenceArts[5].pattern})
    std::memcpy(p, pattern.c_str(), pattern.size() + 1);
  Run(".arts add defence 5\n.arts learn attack 1\n.arts add attack 0\n.arts add attack 71\n");
  EXPECT_EQ(db.defenceArts[5].learned + db.attackArts[1].learned, 0);
  EXPECT_EQ(player.knownAttackPatterns[2 * 4 + 4] + player.knownDefencePatterns[2 * 4 + 4], 0);
  Run(".arts add attack 70\n");
  EXPECT_EQ(db.attackArts[70].learned, 1);
  EXPECT_EQ(player.knownAttackPatterns[2 * 4 + 4], 1);
  EXPECT_EQ(player.knownDefencePatterns[2 * 4 + 4] + db.attackArts[69].learned, 0);
}

// What ".init" resets is the progress's own rule; that it runs, the save
// screen's whole run shows.
TEST_F(GameCommandsTest, SvdWritesTheProgress) {
  Run(".card add deck 4 1\n.svd\n");
  for (const char* f : {"Collection.dat", "ArtsList.dat", "Pattern.dat"})
    EXPECT_TRUE(std::filesystem::exists(dataDir / "save" / f)) << f;
  player.collection[4] = 0;
  loadProgress();
  EXPECT_EQ(player.collection[4], 1);
}

}  // namespace
