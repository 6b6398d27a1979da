// The demo game's card and arts database as the build made it, read through
// the game's own loaders: what an author editing the source could break
// without the compiler noticing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "data/database.h"
#include "support/game_fixture.h"

#ifndef QF_DEMO_DATA_DIR
#error "QF_DEMO_DATA_DIR names the build's data directory"
#endif

namespace {

class DatabaseContentTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    // A copy, so that nothing the host does can touch the build's files.
    for (const char* name : {kCardDataFile, kAttackArtsFile, kDefenceArtsFile}) {
      const auto from = std::filesystem::path(QF_DEMO_DATA_DIR) / name;
      ASSERT_TRUE(std::filesystem::exists(from)) << from;
      std::filesystem::copy_file(from, dataDir / name);
    }
    MakeHost();
    loadCardData();
    loadArts();
  }

  static uintmax_t FileSize(const char* name) {
    return std::filesystem::file_size(std::filesystem::path(QF_DEMO_DATA_DIR) / name);
  }
};

template <size_t N>
bool Terminated(const char (&field)[N]) {
  return std::memchr(field, '\0', N) != nullptr;
}

bool IsZero(const void* p, size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i] != 0) return false;
  return true;
}

// Kinds that do something for the role they are in; any other kind is an art
// that costs MP and does nothing.
const std::set<int> kAttackKinds = {1,  4,  5,  6,  7,  8,  11, 12, 13, 14,
                                    15, 16, 17, 18, 19, 20, 22, 23, 28, 29};
const std::set<int> kDefenceKinds = {2, 3, 9, 10, 15, 18, 22, 23, 28, 29};

// Checks one arts table and counts its learned arts.
void CheckArts(const ArtsRecord* table, int count, const std::set<int>& kinds, const char* what,
               int& learned) {
  SCOPED_TRACE(what);
  EXPECT_TRUE(IsZero(&table[0], sizeof table[0])) << "record 0 is a dummy";
  std::set<int> codes;
  std::map<size_t, std::pair<long, int>> costByLength;  // symbols -> (sum, arts)
  learned = 0;
  for (int n = 1; n <= count; ++n) {
    const ArtsRecord& a = table[n];
    SCOPED_TRACE("art " + std::to_string(n));
    EXPECT_TRUE(Terminated(a.name));
    EXPECT_TRUE(Terminated(a.listText));
    EXPECT_TRUE(Terminated(a.effectText));
    ASSERT_TRUE(Terminated(a.pattern));
    EXPECT_NE(a.name[0], '\0');
    EXPECT_NE(a.effectText[0], '\0');

    // One to six symbols, each one of the four, and the hand the opponent
    // needs is exactly what the pattern spells, so it can play what it picks.
    const size_t bytes = std::strlen(a.pattern);
    ASSERT_EQ(bytes % 2, 0u);
    const size_t symbols = bytes / 2;
    ASSERT_GE(symbols, 1u);
    ASSERT_LE(symbols, static_cast<size_t>(kMaxPatternSymbols));
    int need[5] = {};
    for (size_t k = 0; k < symbols; ++k) {
      const int d = symbolAttribute(a.pattern + 2 * k);
      ASSERT_GE(d, 1) << "unit " << k << " is no attribute symbol";
      ++need[d];
    }
    EXPECT_EQ(a.needAttr1, need[1]);
    EXPECT_EQ(a.needAttr2, need[2]);
    EXPECT_EQ(a.needAttr3, need[3]);
    EXPECT_EQ(a.needAttr4, need[4]);
    EXPECT_TRUE(codes.insert(patternCode(a.pattern)).second) << "pattern used twice";

    EXPECT_TRUE(kinds.count(a.effectKind)) << "kind " << a.effectKind;
    EXPECT_GE(a.mpCost, 0);
    EXPECT_GE(a.needHp, 0);
    EXPECT_GE(a.weight, 0) << "the opponent never picks a negative weight";
    EXPECT_LE(a.learned, 1);
    learned += a.learned;
    auto& c = costByLength[symbols];
    c.first += a.mpCost;
    ++c.second;
  }
  // Longer patterns are harder to spell and must cost more on average.
  double previous = -1;
  for (const auto& [length, c] : costByLength) {
    const double mean = static_cast<double>(c.first) / c.second;
    EXPECT_GT(mean, previous) << "mean MP cost of " << length << "-symbol arts";
    previous = mean;
  }
}

TEST_F(DatabaseContentTest, FilesHoldEveryRecord) {
  EXPECT_EQ(FileSize(kCardDataFile), sizeof db.cards);
  EXPECT_EQ(FileSize(kAttackArtsFile), sizeof db.attackArts);
  EXPECT_EQ(FileSize(kDefenceArtsFile), sizeof db.defenceArts);
}

TEST_F(DatabaseContentTest, Cards) {
  EXPECT_TRUE(IsZero(&db.cards[0], sizeof db.cards[0])) << "record 0 is a dummy";
  int perAttribute[5] = {};
  std::set<std::string> names;
  for (int n = 1; n <= kCardCount; ++n) {
    const CardRecord& c = db.cards[n];
    SCOPED_TRACE("card " + std::to_string(n));
    ASSERT_GE(c.attribute, 0);
    ASSERT_LE(c.attribute, 4);
    ++perAttribute[c.attribute];
    EXPECT_TRUE(Terminated(c.name));
    EXPECT_TRUE(Terminated(c.illustrator));
    EXPECT_TRUE(Terminated(c.description));
    EXPECT_TRUE(Terminated(c.attackEffect));
    EXPECT_TRUE(Terminated(c.interceptEffect));
    EXPECT_NE(c.name[0], '\0');
    EXPECT_NE(c.description[0], '\0');
    // The detail view shows both effect texts; an empty one looks broken.
    EXPECT_NE(c.attackEffect[0], '\0');
    EXPECT_NE(c.interceptEffect[0], '\0');
    EXPECT_TRUE(names.insert(c.name).second) << "name used twice";
  }
  // Every symbol must be playable from cards, or arts of it are dead.
  for (int d = 1; d <= 4; ++d) EXPECT_GE(perAttribute[d], 8) << "attribute " << d;
}

TEST_F(DatabaseContentTest, AttackArts) {
  int learned = 0;
  CheckArts(db.attackArts, kAttackArtsCount, kAttackKinds, "attack", learned);
  EXPECT_GE(learned, 1) << "a new player starts with some arts";
}

TEST_F(DatabaseContentTest, DefenceArts) {
  int learned = 0;
  CheckArts(db.defenceArts, kDefenceArtsCount, kDefenceKinds, "defence", learned);
  EXPECT_GE(learned, 1) << "a new player starts with some arts";
}

// A new player must be able to perform something with any single card.
TEST_F(DatabaseContentTest, EverySymbolHasAnAttackOfItsOwn) {
  for (int d = 1; d <= 4; ++d) {
    bool found = false;
    for (int n = 1; n <= kAttackArtsCount; ++n) {
      const ArtsRecord& a = db.attackArts[n];
      if (std::strcmp(a.pattern, attributeSymbol(d)) == 0 && a.learned == 1 &&
          (a.effectKind == 1 || a.effectKind == 8))
        found = true;
    }
    EXPECT_TRUE(found) << "attribute " << d;
  }
}

}  // namespace
