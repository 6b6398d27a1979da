// The database tables, the pattern code and the generator.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/random.h"
#include "data/database.h"
#include "data/player.h"
#include "support/game_fixture.h"

namespace {

class DatabaseTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    MakeHost();
  }
  // Attribute digits as symbols; x is a unit that is no symbol.
  static std::string Symbols(const std::string& digits) {
    const std::string symbols = Sjis("甲乙丙丁");
    std::string out;
    for (char d : digits)
      out += d == 'x' ? "ab" : symbols.substr(2 * static_cast<size_t>(d - '1'), 2);
    return out;
  }
};

// Bijective base 4, the first symbol the most significant; seven units have
// no table entry, a trailing odd byte is no unit.
TEST_F(DatabaseTest, PatternCodesAndSymbols) {
  const std::pair<std::string, int> cases[] = {
      {"", 0}, {"4", 4}, {"444444", 5460}, {"321", 3 * 16 + 2 * 4 + 1}, {"2x", 8}, {"1111111", 0},
  };
  for (const auto& [digits, code] : cases)
    EXPECT_EQ(patternCode(Symbols(digits).c_str()), code) << digits;
  EXPECT_EQ(patternCode((Symbols("3") + "z").c_str()), 3);
  for (int d = 1; d <= 4; ++d) {
    EXPECT_EQ(attributeSymbol(d), Symbols(std::to_string(d))) << d;
    EXPECT_EQ(symbolAttribute(Symbols(std::to_string(d)).c_str()), d) << d;
  }
  EXPECT_EQ(attributeSymbol(0), nullptr);
  EXPECT_EQ(attributeSymbol(5), nullptr);
}

// The tables are the files' bytes; a short file fills the front, a long one
// no more than the table, an empty or missing one nothing, without a message.
TEST_F(DatabaseTest, TablesAreTheFilesBytes) {
  WriteData("CardData.dat", std::string(530, '\x01'));
  ArtsRecord a{};
  a.learned = 1;
  a.weight = 12;
  std::memcpy(a.pattern, Symbols("12").c_str(), 4);
  std::string attack(sizeof db.attackArts + 5000, '\x02');
  std::memcpy(&attack[sizeof a * 70], &a, sizeof a);
  WriteData("AtArts.dat", attack);
  loadCardData();
  loadArts();
  const auto* card1 = reinterpret_cast<const uint8_t*>(&db.cards[1]);
  EXPECT_EQ(card1[5] * 10 + card1[6], 10);  // 530 bytes: the 6th byte of card 1 is the last
  EXPECT_EQ(patternCode(db.attackArts[70].pattern), 6);
  EXPECT_EQ(db.attackArts[69].weight, 0x02020202);
  loadProgress();  // no "save\ArtsList.dat": the database's byte is the learned flag
  EXPECT_EQ(db.attackArts[70].learned, 1);
  EXPECT_EQ(db.defenceArts[34].effectKind, 0);
  for (const char* name : {"CardData.dat", "AtArts.dat", "DfArts.dat"}) WriteData(name, "");
  db.defenceArts[2].weight = 9;
  loadCardData();
  loadArts();
  EXPECT_EQ(card1[5] + db.attackArts[70].weight + db.defenceArts[2].weight, 1 + 12 + 9);
  EXPECT_TRUE(host->boxes.empty());
}

// Seeded with 1 the draws are 41, 18467, 6334, and never beyond 32767.
TEST_F(DatabaseTest, GeneratorIsTheLinearCongruentialOne) {
  SeedRandom(1);
  EXPECT_EQ(std::vector<int32_t>({NextRandom(), NextRandom(), NextRandom()}),
            std::vector<int32_t>({41, 18467, 6334}));
  SeedRandom(0xFFFFFFFFu);
  for (int i = 0; i < 1000; ++i) ASSERT_LE(static_cast<uint32_t>(NextRandom()), 32767u);
}

}  // namespace
