// The database compiler: round trips and the author mistakes it rejects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

#include "data/database.h"
#include "dbc.h"

namespace {

// A whole database with varied texts: Japanese, escapes, edge spaces,
// negative numbers and every pattern length.
std::string GeneratedSource() {
  static const char* const kSym[] = {"甲", "乙", "丙", "丁"};
  std::string s = "# generated\n";
  for (int n = 1; n <= kCardCount; ++n) {
    s += "[card " + std::to_string(n) + "]\nattribute = " + std::to_string(n % 5) + "\n";
    s += "name = 第" + std::to_string(n) + "の札 card\nillustrator = 絵師\n";
    s += "description = 一行目\\n二行目 \\\\ back\\sslash\\s\n";
    if (n % 3) s += "attackEffect = 相手に" + std::to_string(n * 10) + "のダメージ\n";
    if (n == 7) s += "reserved = -9\n";
    s += "interceptEffect = \\sspace first\n\n";
  }
  for (const char* word : {"attack", "defence"}) {
    const int count = std::strcmp(word, "attack") == 0 ? kAttackArtsCount : kDefenceArtsCount;
    for (int n = 1; n <= count; ++n) {
      std::string pattern;
      for (int k = 0, v = n; k <= n % 6; ++k, v /= 4) pattern += kSym[v % 4];
      s += std::string("[") + word + " " + std::to_string(n) +
           "]\nlearned = " + std::to_string(n % 2) + "\nname = 技" + std::to_string(n) +
           "\npattern = " + pattern;
      s += "\nlistText = 魔法 x\\x8Db\neffectText = 効果\\t\neffectKind = " +
           std::to_string(1 + n % kEffectKindMax) + "\nneedAttr3 = " + std::to_string(n % 3);
      s += "\nmpCost = " + std::to_string(n) + "\neffectValue = " + std::to_string(-n * 5) +
           "\nweight = " + std::to_string(100 - n) + "\n\n";
    }
  }
  return s;
}

TEST(DatabaseCompilerTest, RoundTripGivesIdenticalFilesInTheGamesLayout) {
  dbc::DatabaseFiles first, second;
  std::vector<std::string> errors, warnings;
  ASSERT_TRUE(dbc::Compile(GeneratedSource(), "db.txt", first, errors)) << errors.front();
  ASSERT_EQ(std::tuple(first.cards.size(), first.attack.size(), first.defence.size()),
            std::tuple(26724u, 14200u, 7000u));
  // An unpaired lead byte and a control byte survive as escapes.
  std::memset(first.cards.data() + sizeof(CardRecord) + offsetof(CardRecord, name), 0, 40);
  std::memcpy(first.cards.data() + sizeof(CardRecord) + offsetof(CardRecord, name),
              "A\x01"
              "B\x82",
              5);
  const std::string dumped = dbc::Dump(first, warnings);
  EXPECT_TRUE(warnings.empty());
  EXPECT_NE(dumped.find("name = A\\x01B\\x82\n"), std::string::npos);
  ASSERT_TRUE(dbc::Compile(dumped, "dumped.txt", second, errors)) << errors.front();
  EXPECT_TRUE(first.cards == second.cards && first.attack == second.attack &&
              first.defence == second.defence);

  CardRecord card;
  std::memcpy(&card, first.cards.data() + sizeof card * 7, sizeof card);
  EXPECT_EQ(card.attribute, 2);
  EXPECT_EQ(card.reserved, -9);
  EXPECT_EQ(std::string(card.description),
            "\x88\xEA\x8Ds\x96\xDA\n\x93\xF1\x8Ds\x96\xDA \\ back slash ");
  ArtsRecord art;
  std::memcpy(&art, first.attack.data() + sizeof art * 70, sizeof art);
  EXPECT_EQ(art.effectKind, 1 + 70 % kEffectKindMax);
  EXPECT_EQ(art.effectValue, -350);
  // 70 is 1012 in base 4, written lowest digit first: 丙乙甲乙甲.
  EXPECT_EQ(patternCode(art.pattern), 3 * 256 + 2 * 64 + 1 * 16 + 2 * 4 + 1);
  EXPECT_EQ(std::string(art.listText).substr(std::strlen(art.listText) - 2),
            "\x8D"
            "b");
}

// Each mistake is reported with the file and line, in words the author
// can act on.
TEST(DatabaseCompilerTest, RejectsWhatDoesNotFitWithFileAndLine) {
  const struct {
    const char *from, *to, *error;
  } cases[] = {
      {"name = 第1の札 card", "name = ああああああああああああああああああああ",
       "db.txt:4: name: 40 bytes in Shift-JIS, the field holds 39"},
      {"pattern = 丙\n", "pattern = 丙x\n", "甲乙丙丁 only"},
      {"pattern = 丙\n", "pattern = 甲甲甲甲甲甲甲\n", "one to six"},
      {"pattern = 丙\n", "pattern = \n", "one to six"},
      {"effectKind = 2\n", "effectKind = 30\n", "unknown effect kind"},
      {"effectKind = 2\n", "effectKind = 0\n", "unknown effect kind"},
      {"attribute = 1\n", "attribute = 5\n", "outside 0..4"},
      {"name = 技1\n", "name = 🍣\n", "cannot hold"},
      {"mpCost = 1\n", "mpCost = 1x\n", "not a whole number"},
      {"mpCost = 1\n", "mpCost = 1\ncolour = red\n", "no field colour"},
      {"[card 17]", "[card 51]", "card numbers run from 1 to 50"},
      {"[card 17]", "[card 51]", "49 card records, 50 needed (missing: 17)"},
      {"[defence 3]", "[defence 2]", "[defence 2] was already given on line"},
      {"effectKind = 2\n", "", "[attack 1] needs effectKind"},
  };
  for (const auto& c : cases) {
    std::string source = GeneratedSource();
    source.replace(source.find(c.from), std::strlen(c.from), c.to);
    dbc::DatabaseFiles files;
    std::vector<std::string> errors;
    EXPECT_FALSE(dbc::Compile(source, "db.txt", files, errors)) << c.to;
    std::string all;
    for (const auto& e : errors) all += e + "\n";
    EXPECT_TRUE(all.find(c.error) != std::string::npos && all.rfind("db.txt:", 0) == 0) << all;
  }
}

// Texts measured in the battle's message box (five lines of 28-pixel
// Mincho): a card's name line and its effect, an art's pattern, name and
// effect on three lines and more; line breaks make the count independent of
// the font's widths. Only a text that runs past the box is named, at its line.
// An art's line of the arts list (pattern, name and list text in columns)
// that is wider than the list wraps.
TEST(DatabaseCompilerTest, WarnsOfTextsTheBattleBoxCutsOff) {
  const struct {
    const char *from, *to;
    bool warns;
    const char* what;
  } cases[] = {
      {"interceptEffect = \\sspace first", "interceptEffect = 一\\n二\\n三\\n四", false, ""},
      {"interceptEffect = \\sspace first", "interceptEffect = 一\\n二\\n三\\n四\\n五", true,
       "the card's name and its interceptEffect takes 6 lines of the battle's message box, which "
       "shows 5"},
      {"effectText = 効果\\t", "effectText = 一\\n二\\n三", false, ""},
      {"effectText = 効果\\t", "effectText = 一\\n二\\n三\\n四", true,
       "the art's pattern, name and effectText takes 6 lines of the battle's message box, which "
       "shows 5"},
      {"listText = 魔法 x\\x8Db", "listText = 魔法魔法魔法魔法魔法魔法魔法魔法", false, ""},
      {"listText = 魔法 x\\x8Db", "listText = 魔法魔法魔法魔法魔法魔法魔法魔法魔法魔法魔法魔法",
       true,
       "the art's pattern, name and listText are wider than a line of the battle's arts list and "
       "wrap"},
  };
  for (const auto& c : cases) {
    std::string source = GeneratedSource();
    const size_t at = source.find(c.from);
    source.replace(at, std::strlen(c.from), c.to);
    const auto line = std::count(source.begin(), source.begin() + static_cast<long>(at), '\n') + 1;
    dbc::DatabaseFiles files;
    std::vector<std::string> errors, warnings;
    ASSERT_TRUE(dbc::Compile(source, "db.txt", files, errors, &warnings)) << errors.front();
    const std::vector<std::string> expected =
        c.warns ? std::vector<std::string>{"db.txt:" + std::to_string(line) + ": " + c.what}
                : std::vector<std::string>{};
    EXPECT_EQ(warnings, expected) << c.to;
  }
}

}  // namespace
