// The scenario's card, arts and progress commands, run by the interpreter as a
// scenario would run them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/random.h"
#include "data/database.h"
#include "data/player.h"
#include "support/script_fixture.h"

namespace {

const std::vector<std::string> kNone;
const std::vector<std::string> kNoSuchVariable{"存在しない変数を指定しました"};
const std::vector<std::string> kNoSuchTarget{"存在しない変数に代入しようとしました"};

class GameCommandsTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    Config(".int n m\n.str s\n");
    player.date.mon = 11;  // December
  }

  void SetCard(int card, int attribute, const std::string& name, const std::string& text) {
    CardRecord& c = db.cards[card];
    c.attribute = attribute;
    std::snprintf(c.name, sizeof c.name, "%s", name.c_str());
    std::snprintf(c.description, sizeof c.description, "%s", text.c_str());
  }

  bool SaveFile(const std::string& name) {
    return std::filesystem::exists(dataDir / "save" / name);
  }
};

// Adding is clamped to the free room; a card outside 1..50 changes nothing at
// all, and the count after it is then never read.
TEST_F(GameCommandsTest, CardAddFillsTheFreeRoomAndRefusesNumbersOutsideTheTable) {
  Run(".card add deck 3 90\n.card add deck 7 200\n");
  EXPECT_EQ(player.deck.count, 100);
  EXPECT_EQ(countCards(player.deck, 7), 10);
  EXPECT_EQ(player.collection[7], 1);
  EXPECT_EQ(player.maxmp, 12 * 2);  // December, two cards collected
  EXPECT_EQ(player.hp, 240);

  Run(".card add stock 0 5\n.card add stock 51 5\n.card add deck 0 nosuch\n"
      ".card add hand nosuch 1\n.card sub deck 51 4\n.card add stock 8 0\n");
  EXPECT_EQ(player.stock.count, 0);
  EXPECT_EQ(player.collection[0], 0);
  EXPECT_EQ(player.collection[8], 0);
  EXPECT_EQ(player.deck.count, 100);
  EXPECT_EQ(collectionCount(), 2);
  EXPECT_EQ(BoxTexts(), kNone);

  // A value that names nothing is reported, counts 0 and stops the command.
  Run(".card add stock nosuch 5\n");
  EXPECT_EQ(player.stock.count, 0);
  EXPECT_EQ(BoxTexts(), kNoSuchVariable);

  Run(".let n = 4\n.card add stock [n] 3\n.card add stock n 2\n");
  EXPECT_EQ(countCards(player.stock, 4), 5);
}

TEST_F(GameCommandsTest, CardSubRemovesUpToTheCountAndKeepsTheCollection) {
  Run(".card add stock 5 2\n.card add stock 6 1\n.card add deck 5 1\n"
      ".card sub stock 5 9\n.card sub deck 5 1\n.card sub lists 6 1\n");
  EXPECT_EQ(player.stock.count, 1);
  EXPECT_EQ(player.stock.cards[1], 6u);
  EXPECT_EQ(player.stock.cards[2], 0u);
  EXPECT_EQ(player.deck.count, 0);
  Run(".card num collection 5 n\n.card num stock 5 m\n");
  EXPECT_EQ(Int("n"), 1);  // gone from every list, still collected
  EXPECT_EQ(Int("m"), 0);
}

// "num" hands its count to ".let": integer, string and writable built-in
// targets take it by their rules; a name that is none is reported as ".let"
// reports it; a card outside the table assigns nothing.
TEST_F(GameCommandsTest, CardNumAssignsThroughLet) {
  Run(".card add deck 2 3\n.card add stock 2 1\n"
      ".card num deck 2 n\n.card num stock 2 s\n.card num deck 2 money\n"
      ".card num pocket 2 m\n.card num collection 9 hp\n");
  EXPECT_EQ(Int("n"), 3);
  EXPECT_EQ(Str("s"), "1");
  EXPECT_EQ(player.money, 3);
  EXPECT_EQ(Int("m"), 0);
  EXPECT_EQ(player.hp, 0);
  EXPECT_EQ(BoxTexts(), kNone);

  Run(".let n = 7\n.card num deck 0 n\n.card num deck 51 n\n");
  EXPECT_EQ(Int("n"), 7);
  EXPECT_EQ(BoxTexts(), kNone);

  Run(".card num deck 2 weekday\n.card num deck 2 nosuch\n");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kNoSuchTarget[0], kNoSuchTarget[0]}));
}

TEST_F(GameCommandsTest, CardInfoIntoStringAndIntegerVariables) {
  SetCard(12, 3, "Old Fire Drake", "Breathes " + Sjis("炎") + " twice");
  Run(".card info name 12 s\n.card info attribute 12 n\n");
  EXPECT_EQ(Str("s"), "Old Fire Drake");
  EXPECT_EQ(Int("n"), 3);
  Run(".card info description 12 s\n.card info attribute 12 s\n");
  EXPECT_EQ(Str("s"), "3");
  Run(".card info description 12 s\n");
  EXPECT_EQ(Str("s"), "Breathes " + Sjis("炎") + " twice");
  EXPECT_EQ(BoxTexts(), kNone);

  // Outside the table the text is empty; a field word that is none does
  // nothing; a name is no term for an integer variable.
  Run(".let n = 5\n.card info name 51 s\n.card info colour 12 n\n");
  EXPECT_EQ(Str("s"), "");
  EXPECT_EQ(Int("n"), 5);
  Run(".card info name 0 n\n");
  EXPECT_EQ(Int("n"), 0);
  EXPECT_EQ(BoxTexts(), kNone);
  Run(".card info name 12 m\n");
  EXPECT_EQ(BoxTexts(), kNoSuchVariable);
}

// A description that fills its whole field is cut to what a variable holds,
// never in the middle of a character.
TEST_F(GameCommandsTest, CardInfoCutsAFullDescriptionAtACharacter) {
  std::string full(254, 'x');
  full += Sjis("炎");
  ASSERT_EQ(full.size(), sizeof db.cards[1].description);
  std::memcpy(db.cards[1].description, full.data(), full.size());
  std::memcpy(db.cards[2].description, full.data() + 1, full.size() - 1);
  Run(".card info description 1 s\n.card info description 2 n\n");
  EXPECT_EQ(Str("s"), std::string(254, 'x'));
  Run(".card info description 2 s\n");
  EXPECT_EQ(Str("s"), full.substr(1));
}

// With the generator at its first seed the draws are 41 and 18467: the first
// moves the last card into position 2, the second picks the last position.
TEST_F(GameCommandsTest, CardDumpDiscardsRandomCardsAndStopsWhenEmpty) {
  Run(".card add deck 1 1\n.card add deck 2 1\n.card add deck 3 1\n.card add deck 4 1\n"
      ".card add deck 5 1\n.card dump deck 2\n");
  ASSERT_EQ(player.deck.count, 3);
  EXPECT_EQ(player.deck.cards[1], 1u);
  EXPECT_EQ(player.deck.cards[2], 5u);
  EXPECT_EQ(player.deck.cards[3], 3u);
  EXPECT_EQ(player.deck.cards[4], 0u);
  EXPECT_EQ(player.deck.cards[5], 0u);

  const uint32_t before = rng.state;
  Run(".card dump deck 0\n.card dump deck -3\n.card dump hand 2\n.card dump deck nosuch\n");
  EXPECT_EQ(player.deck.count, 3);
  EXPECT_EQ(rng.state, before);  // nothing drawn

  Run(".card add stock 9 4\n");
  const uint32_t full = rng.state;
  Run(".card dump stock 50\n.card dump deck 3\n");
  const uint32_t emptied = rng.state;
  rng.state = full;
  for (int i = 0; i < 4 + 3; ++i) NextRandom();
  EXPECT_EQ(emptied, rng.state);  // no draw once a list is empty
  EXPECT_EQ(player.stock.count, 0);
  EXPECT_EQ(player.deck.count, 0);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(player.stock.cards[i], 0u) << i;
  EXPECT_EQ(player.collection[9], 1);
}

TEST_F(GameCommandsTest, ArtsAddAttackLearnsTheArtAndItsPattern) {
  std::string pattern = std::string(attributeSymbol(2)) + attributeSymbol(4);
  std::memcpy(db.attackArts[70].pattern, pattern.c_str(), pattern.size() + 1);
  std::memcpy(db.attackArts[1].pattern, pattern.c_str(), pattern.size() + 1);
  std::memcpy(db.defenceArts[5].pattern, pattern.c_str(), pattern.size() + 1);
  Run(".arts add defence 5\n.arts learn attack 1\n.arts add attack 0\n.arts add attack 71\n");
  EXPECT_EQ(db.defenceArts[5].learned, 0);
  EXPECT_EQ(db.attackArts[1].learned, 0);
  EXPECT_EQ(player.knownAttackPatterns[2 * 4 + 4], 0);
  EXPECT_EQ(player.knownDefencePatterns[2 * 4 + 4], 0);

  Run(".arts add attack 70\n");
  EXPECT_EQ(db.attackArts[70].learned, 1);
  EXPECT_EQ(player.knownAttackPatterns[2 * 4 + 4], 1);
  EXPECT_EQ(player.knownDefencePatterns[2 * 4 + 4], 0);
  EXPECT_EQ(db.attackArts[69].learned, 0);
}

TEST_F(GameCommandsTest, StrongTakesEffectAtTheNextRecomputation) {
  Run(".card add deck 1 1\n.strong begin\n");
  EXPECT_EQ(player.maxhp, 120);
  Run(".card add deck 2 1\n");
  EXPECT_EQ(player.maxhp, 9999);
  EXPECT_EQ(player.mp, 999);
  Run(".strong firmly\n.card add deck 3 1\n");
  EXPECT_EQ(player.maxmp, 999);
  Run(".strong end\n.card add deck 4 1\n");
  EXPECT_EQ(player.maxmp, 48);
  EXPECT_EQ(player.hp, 480);
}

TEST_F(GameCommandsTest, SvdWritesTheProgressAndInitStartsItOver) {
  WriteData("save/save2.dat", "slot");
  Run(".card add deck 4 1\n.svd\n");
  ASSERT_TRUE(SaveFile("Collection.dat") && SaveFile("ArtsList.dat") && SaveFile("Pattern.dat"));
  EXPECT_EQ(std::filesystem::file_size(dataDir / "save/Collection.dat"), kCollectionFileSize);
  player.collection[4] = 0;
  loadProgress();
  EXPECT_EQ(player.collection[4], 1);

  Run(".arts add attack 3\n.init\n");
  EXPECT_EQ(player.collection[4], 0);
  EXPECT_EQ(db.attackArts[3].learned, 0);
  EXPECT_FALSE(SaveFile("save2.dat"));
  EXPECT_EQ(player.deck.count, 1);  // the deck is no progress
  player.collection[4] = 1;
  loadProgress();
  EXPECT_EQ(player.collection[4], 0);  // written after the reset
}

}  // namespace
