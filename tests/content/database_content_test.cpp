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
    ASSERT_TRUE(c.attribute >= 0 && c.attribute <= 4) << "card " << n;
    ++perAttribute[c.attribute];
    EXPECT_TRUE(Shown(c.name) && Shown(c.description) && Shown(c.attackEffect) &&
                Shown(c.interceptEffect) &&
                std::memchr(c.illustrator, '\0', sizeof c.illustrator) &&
                names.insert(c.name).second)
        << "card " << n << " unreadable or its name used twice";
  }
  for (int d = 1; d <= 4; ++d) EXPECT_GE(perAttribute[d], 8) << "attribute " << d;
}

// Each art spells one to six attribute symbols, no two arts one pattern,
// the hand the opponent needs for it is what the pattern spells, and its
// kind does something in its role; a new player knows some, among them a
// single-symbol attack of every attribute.
TEST_F(DatabaseContentTest, EveryArtIsSpelledByCardsAndANewPlayerCanAct) {
  const std::set<int> kinds[] = {
      {1, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 22, 23, 28, 29},
      {2, 3, 9, 10, 15, 18, 22, 23, 28, 29}};
  std::set<int> singleAttacks;  // attributes with a learned one-symbol attack
  for (int role = 0; role < 2; ++role) {
    const ArtsRecord* table = role == 0 ? db.attackArts : db.defenceArts;
    std::set<int> codes;
    int learned = 0;
    for (int n = 1; n <= (role == 0 ? kAttackArtsCount : kDefenceArtsCount); ++n) {
      const ArtsRecord& a = table[n];
      const std::string what = (role == 0 ? "attack " : "defence ") + std::to_string(n);
      ASSERT_TRUE(std::memchr(a.pattern, '\0', sizeof a.pattern)) << what;
      const size_t symbols = std::strlen(a.pattern) / 2;
      ASSERT_TRUE(symbols >= 1 && symbols <= kMaxPatternSymbols) << what;
      int need[5] = {};  // need[0]: units that are no attribute symbol
      for (size_t k = 0; k < symbols; ++k) ++need[symbolAttribute(a.pattern + 2 * k)];
      EXPECT_EQ(std::vector<int>({0, a.needAttr1, a.needAttr2, a.needAttr3, a.needAttr4}),
                std::vector<int>(need, need + 5))
          << what;
      EXPECT_TRUE(Shown(a.name) && Shown(a.effectText) && kinds[role].count(a.effectKind) &&
                  a.mpCost >= 0 && a.weight >= 0 && codes.insert(patternCode(a.pattern)).second)
          << what << ": unreadable, kind " << a.effectKind << " (none in this role), a negative "
          << "cost or weight (never picked), or its pattern used twice";
      learned += a.learned == 1;
      if (role == 0 && symbols == 1 && a.learned == 1 && (a.effectKind == 1 || a.effectKind == 8))
        singleAttacks.insert(need[1] ? 1 : need[2] ? 2 : need[3] ? 3 : 4);
    }
    EXPECT_GE(learned, 1) << "a new player starts with some arts";
  }
  EXPECT_EQ(singleAttacks.size(), 4u);
}
