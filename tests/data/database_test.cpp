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
};

std::string Symbols(const std::string& digits) {
  std::string out;
  for (char d : digits) out += d == 'x' ? "ab" : attributeSymbol(d - '0');
  return out;
}

TEST_F(DatabaseTest, PatternCodes) {
  EXPECT_EQ(patternCode(""), 0);
  EXPECT_EQ(patternCode(Symbols("1").c_str()), 1);
  EXPECT_EQ(patternCode(Symbols("4").c_str()), 4);
  EXPECT_EQ(patternCode(Symbols("12").c_str()), 6);
  EXPECT_EQ(patternCode(Symbols("444444").c_str()), 5460);
  EXPECT_EQ(patternCode(Symbols("321").c_str()), 3 * 16 + 2 * 4 + 1);
  // An unknown unit adds nothing but still shifts the symbols before it.
  EXPECT_EQ(patternCode(Symbols("2x").c_str()), 8);
  EXPECT_EQ(patternCode((Symbols("3") + "z").c_str()), 3);  // a trailing odd byte
  // Seven units have no table entry.
  EXPECT_EQ(patternCode(Symbols("1111111").c_str()), 0);
}

TEST_F(DatabaseTest, EveryPatternOfOneToSixSymbolsHasItsOwnCode) {
  std::vector<bool> seen(kPatternCodes, false);
  int count = 0;
  for (int n = 1; n <= 6; ++n) {
    std::string digits(static_cast<size_t>(n), '1');
    for (;;) {
      const int code = patternCode(Symbols(digits).c_str());
      ASSERT_GT(code, 0);
      ASSERT_LT(code, kPatternCodes);
      EXPECT_FALSE(seen[static_cast<size_t>(code)]);
      seen[static_cast<size_t>(code)] = true;
      ++count;
      size_t i = digits.size();
      while (i > 0 && digits[i - 1] == '4') digits[--i] = '1';
      if (i == 0) break;
      ++digits[i - 1];
    }
  }
  EXPECT_EQ(count, kPatternCodes - 1);
}

TEST_F(DatabaseTest, SymbolsAndAttributes) {
  for (int d = 1; d <= 4; ++d) EXPECT_EQ(symbolAttribute(attributeSymbol(d)), d);
  EXPECT_EQ(attributeSymbol(0), nullptr);
  EXPECT_EQ(attributeSymbol(5), nullptr);
  EXPECT_EQ(std::string(attributeSymbol(1)) + attributeSymbol(2) + attributeSymbol(3) +
                attributeSymbol(4),
            Sjis("甲乙丙丁"));
}

TEST_F(DatabaseTest, TablesAreTheFilesBytes) {
  std::string cards(sizeof db.cards, '\0');
  CardRecord c{};
  c.attribute = 3;
  std::strcpy(c.name, "Ember");
  std::memcpy(&cards[sizeof c * 7], &c, sizeof c);
  WriteData("CardData.dat", cards);
  ArtsRecord a{};
  a.learned = 1;
  a.mpCost = 12;
  std::memcpy(a.pattern, Symbols("12").c_str(), 4);
  std::string attack(sizeof db.attackArts, '\0');
  std::memcpy(&attack[sizeof a * 70], &a, sizeof a);
  WriteData("AtArts.dat", attack);
  loadCardData();
  loadArts();
  EXPECT_EQ(db.cards[7].attribute, 3);
  EXPECT_STREQ(db.cards[7].name, "Ember");
  EXPECT_EQ(db.attackArts[70].mpCost, 12);
  EXPECT_EQ(patternCode(db.attackArts[70].pattern), 6);
  // No "save\ArtsList.dat": the database's byte is the learned flag.
  loadProgress();
  EXPECT_EQ(db.attackArts[70].learned, 1);
  // A missing defence file leaves its table zero, without a message.
  EXPECT_EQ(db.defenceArts[34].effectKind, 0);
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(DatabaseTest, ShortAndLongFilesStayInsideTheTables) {
  WriteData("CardData.dat", std::string(530, '\x01'));
  WriteData("AtArts.dat", std::string(sizeof db.attackArts + 5000, '\x02'));
  loadCardData();
  loadArts();
  EXPECT_EQ(db.cards[1].attribute, 0x01010101);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(&db.cards[1])[5], 0x01);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(&db.cards[1])[6], 0x00);
  EXPECT_EQ(db.attackArts[70].weight, 0x02020202);
  EXPECT_EQ(db.defenceArts[0].learned, 0);

  // Empty files fill nothing.
  for (const char* name : {"CardData.dat", "AtArts.dat", "DfArts.dat"}) WriteData(name, "");
  db.defenceArts[2].weight = 9;
  loadCardData();
  loadArts();
  EXPECT_EQ(db.cards[1].attribute, 0x01010101);
  EXPECT_EQ(db.attackArts[70].weight, 0x02020202);
  EXPECT_EQ(db.defenceArts[2].weight, 9);
}

TEST_F(DatabaseTest, GeneratorIsTheLinearCongruentialOne) {
  SeedRandom(1);
  EXPECT_EQ(NextRandom(), 41);
  EXPECT_EQ(NextRandom(), 18467);
  EXPECT_EQ(NextRandom(), 6334);
  SeedRandom(0xFFFFFFFFu);
  for (int i = 0; i < 1000; ++i) {
    const int32_t r = NextRandom();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, 32767);
  }
}

}  // namespace
