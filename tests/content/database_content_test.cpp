// The demo's card and arts database as the build made it, read through the
// game's own loaders: every card readable in the detail view, every art
// playable from the cards, and a new player able to act with any card.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "data/database.h"
#include "support/game_fixture.h"

namespace {

class DatabaseContentTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    for (const char* name : {kCardDataFile, kAttackArtsFile, kDefenceArtsFile})
      std::filesystem::copy_file(std::filesystem::path(QF_DEMO_DATA_DIR) / name, dataDir / name);
    MakeHost();
    loadCardData();
    loadArts();
  }
};

// A text the detail view shows: terminated inside its field and not empty.
template <size_t N>
bool Shown(const char (&field)[N]) {
  return field[0] != '\0' && std::memchr(field, '\0', N) != nullptr;
}

}  // namespace

TEST_F(DatabaseContentTest, EveryCardIsReadableAndEveryAttributePlayable) {
  int perAttribute[5] = {};
  std::set<std::string> names;
  for (int n = 1; n <= kCardCount; ++n) {
    const CardRecord& c = db.cards[n];
    SCOPED_TRACE("card " + std::to_string(n));
    ASSERT_GE(c.attribute, 0);
    ASSERT_LE(c.attribute, 4);
    ++perAttribute[c.attribute];
    EXPECT_TRUE(Shown(c.name) && Shown(c.description) && Shown(c.attackEffect) &&
                Shown(c.interceptEffect));
    EXPECT_TRUE(std::memchr(c.illustrator, '\0', sizeof c.illustrator));
    EXPECT_TRUE(names.insert(c.name).second) << "name used twice";
  }
  for (int d = 1; d <= 4; ++d) EXPECT_GE(perAttribute[d], 8) << "attribute " << d;
}

// Each art spells one to six attribute symbols, no two arts one pattern,
// and the hand the opponent needs for it is what the pattern spells; a new
// player knows some, among them a single-symbol attack of every attribute.
TEST_F(DatabaseContentTest, EveryArtIsSpelledByCardsAndANewPlayerCanAct) {
  const struct {
    const ArtsRecord* table;
    int count;
    std::set<int> kinds;  // kinds that do something in this role
  } roles[] = {
      {db.attackArts, kAttackArtsCount, {1,  4,  5,  6,  7,  8,  11, 12, 13, 14,
                                         15, 16, 17, 18, 19, 20, 22, 23, 28, 29}},
      {db.defenceArts, kDefenceArtsCount, {2, 3, 9, 10, 15, 18, 22, 23, 28, 29}},
  };
  std::set<int> singleAttacks;  // attributes with a learned one-symbol attack
  for (const auto& role : roles) {
    std::set<int> codes;
    int learned = 0;
    for (int n = 1; n <= role.count; ++n) {
      const ArtsRecord& a = role.table[n];
      SCOPED_TRACE(std::string(role.table == db.attackArts ? "attack " : "defence ") +
                   std::to_string(n));
      EXPECT_TRUE(Shown(a.name) && Shown(a.effectText));
      ASSERT_TRUE(std::memchr(a.pattern, '\0', sizeof a.pattern));
      const size_t symbols = std::strlen(a.pattern) / 2;
      ASSERT_GE(symbols, 1u);
      ASSERT_LE(symbols, static_cast<size_t>(kMaxPatternSymbols));
      int need[5] = {};
      for (size_t k = 0; k < symbols; ++k) {
        const int d = symbolAttribute(a.pattern + 2 * k);
        ASSERT_GE(d, 1) << "unit " << k << " is no attribute symbol";
        ++need[d];
      }
      EXPECT_EQ(std::vector<int>({a.needAttr1, a.needAttr2, a.needAttr3, a.needAttr4}),
                std::vector<int>(need + 1, need + 5));
      EXPECT_TRUE(codes.insert(patternCode(a.pattern)).second) << "pattern used twice";
      EXPECT_TRUE(role.kinds.count(a.effectKind)) << "kind " << a.effectKind;
      EXPECT_GE(a.mpCost, 0);
      EXPECT_GE(a.weight, 0) << "the opponent never picks a negative weight";
      learned += a.learned == 1;
      if (role.table == db.attackArts && symbols == 1 && a.learned == 1 &&
          (a.effectKind == 1 || a.effectKind == 8))
        singleAttacks.insert(need[1] ? 1 : need[2] ? 2 : need[3] ? 3 : 4);
    }
    EXPECT_GE(learned, 1) << "a new player starts with some arts";
  }
  EXPECT_EQ(singleAttacks.size(), 4u);
}
