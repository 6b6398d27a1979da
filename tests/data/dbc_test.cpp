// The database compiler: round trips and the author mistakes it rejects.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "data/database.h"
#include "dbc.h"

namespace {

// A whole database with varied texts: Japanese, escapes, edge spaces,
// negative numbers and every pattern length.
std::string GeneratedSource() {
  static const char* const kSym[] = {"甲", "乙", "丙", "丁"};
  std::string s = "# generated\n";
  for (int n = 1; n <= kCardCount; ++n) {
    s += "[card " + std::to_string(n) + "]\n";
    s += "attribute = " + std::to_string(n % 5) + "\n";
    s += "name = 第" + std::to_string(n) + "の札 card\n";
    s += "illustrator = 絵師" + std::to_string(n % 7) + "\n";
    s += "description = 一行目\\n二行目 \\\\ back\\sslash\\s\n";
    if (n % 3) s += "attackEffect = 相手に" + std::to_string(n * 10) + "のダメージ\n";
    s += "interceptEffect = \\sspace first\n";
    if (n == 7) s += "reserved = -9\n";
    s += "\n";
  }
  for (const char* word : {"attack", "defence"}) {
    const int count = std::strcmp(word, "attack") == 0 ? kAttackArtsCount : kDefenceArtsCount;
    for (int n = 1; n <= count; ++n) {
      s += std::string("[") + word + " " + std::to_string(n) + "]\n";
      s += "learned = " + std::to_string(n % 2) + "\n";
      s += "name = 技" + std::to_string(n) + "\n";
      s += "listText = 魔法" + std::to_string(n) + " x\\x8Db\n";
      s += "effectText = 効果\\t" + std::to_string(n) + "\n";
      std::string pattern;
      for (int k = 0, v = n; k <= n % 6; ++k, v /= 4) pattern += kSym[v % 4];
      s += "pattern = " + pattern + "\n";
      s += "effectKind = " + std::to_string(1 + n % kEffectKindMax) + "\n";
      s += "needAttr3 = " + std::to_string(n % 3) + "\n";
      s += "mpCost = " + std::to_string(n) + "\n";
      s += "effectValue = " + std::to_string(-n * 5) + "\n";
      s += "weight = " + std::to_string(100 - n) + "\n\n";
    }
  }
  return s;
}

TEST(DatabaseCompilerTest, RoundTripGivesIdenticalFiles) {
  dbc::DatabaseFiles first, second;
  std::vector<std::string> errors, warnings;
  ASSERT_TRUE(dbc::Compile(GeneratedSource(), "db.txt", first, errors)) << errors.front();
  ASSERT_EQ(first.cards.size(), 26724u);
  ASSERT_EQ(first.attack.size(), 14200u);
  ASSERT_EQ(first.defence.size(), 7000u);

  const std::string dumped = dbc::Dump(first, warnings);
  EXPECT_TRUE(warnings.empty());
  ASSERT_TRUE(dbc::Compile(dumped, "dumped.txt", second, errors)) << errors.front();
  EXPECT_EQ(first.cards, second.cards);
  EXPECT_EQ(first.attack, second.attack);
  EXPECT_EQ(first.defence, second.defence);
  EXPECT_EQ(dbc::Dump(second, warnings), dumped);

  // The layout as the game reads it.
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
  EXPECT_EQ(first.attack[0], 0);
}

TEST(DatabaseCompilerTest, DumpKeepsOddBytesAsEscapes) {
  dbc::DatabaseFiles files;
  std::vector<std::string> errors, warnings;
  ASSERT_TRUE(dbc::Compile(GeneratedSource(), "db.txt", files, errors));
  // An unpaired lead byte and a control byte in a name.
  const char odd[] =
      "A\x01"
      "B\x82";
  std::memset(files.cards.data() + sizeof(CardRecord) + offsetof(CardRecord, name), 0, 40);
  std::memcpy(files.cards.data() + sizeof(CardRecord) + offsetof(CardRecord, name), odd,
              sizeof odd);
  const std::string dumped = dbc::Dump(files, warnings);
  EXPECT_NE(dumped.find("name = A\\x01B\\x82\n"), std::string::npos);
  dbc::DatabaseFiles again;
  ASSERT_TRUE(dbc::Compile(dumped, "dumped.txt", again, errors)) << errors.front();
  EXPECT_EQ(again.cards, files.cards);
}

std::vector<std::string> ErrorsOf(const std::string& source) {
  dbc::DatabaseFiles files;
  std::vector<std::string> errors;
  EXPECT_FALSE(dbc::Compile(source, "db.txt", files, errors));
  return errors;
}

// The generated source with one line replaced.
std::string WithLine(const std::string& from, const std::string& to) {
  std::string s = GeneratedSource();
  const size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return s.replace(at, from.size(), to);
}

TEST(DatabaseCompilerTest, RejectsWhatDoesNotFitWithFileAndLine) {
  // 20 two-byte characters are 40 bytes: one more than a name holds.
  std::string tooLong = "name = ";
  for (int i = 0; i < 20; ++i) tooLong += "あ";
  const auto errors = ErrorsOf(WithLine("name = 第1の札 card", tooLong));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "db.txt:4: name: 40 bytes in Shift-JIS, the field holds 39");

  const auto pattern = ErrorsOf(WithLine("pattern = 丙\n", "pattern = 丙x\n"));
  ASSERT_EQ(pattern.size(), 1u);
  EXPECT_NE(pattern[0].find("甲乙丙丁 only"), std::string::npos);
  EXPECT_EQ(pattern[0].rfind("db.txt:", 0), 0u);

  EXPECT_NE(
      ErrorsOf(WithLine("pattern = 丙\n", "pattern = 甲甲甲甲甲甲甲\n"))[0].find("one to six"),
      std::string::npos);
  EXPECT_NE(ErrorsOf(WithLine("pattern = 丙\n", "pattern = \n"))[0].find("one to six"),
            std::string::npos);
  EXPECT_NE(
      ErrorsOf(WithLine("effectKind = 2\n", "effectKind = 30\n"))[0].find("unknown effect kind"),
      std::string::npos);
  EXPECT_NE(
      ErrorsOf(WithLine("effectKind = 2\n", "effectKind = 0\n"))[0].find("unknown effect kind"),
      std::string::npos);
  EXPECT_NE(ErrorsOf(WithLine("attribute = 1\n", "attribute = 5\n"))[0].find("outside 0..4"),
            std::string::npos);
  EXPECT_NE(ErrorsOf(WithLine("name = 技1\n", "name = 🍣\n"))[0].find("cannot hold"),
            std::string::npos);
  EXPECT_NE(ErrorsOf(WithLine("mpCost = 1\n", "mpCost = 1x\n"))[0].find("not a whole number"),
            std::string::npos);
  EXPECT_NE(
      ErrorsOf(WithLine("mpCost = 1\n", "mpCost = 1\ncolour = red\n"))[0].find("no field colour"),
      std::string::npos);
}

TEST(DatabaseCompilerTest, RejectsWrongRecordCounts) {
  const auto missing = ErrorsOf(WithLine("[card 17]", "[card 51]"));
  ASSERT_EQ(missing.size(), 2u);
  EXPECT_NE(missing[0].find("card numbers run from 1 to 50"), std::string::npos);
  EXPECT_NE(missing[1].find("49 card records, 50 needed (missing: 17)"), std::string::npos);

  const auto twice = ErrorsOf(WithLine("[defence 3]", "[defence 2]"));
  EXPECT_NE(twice[0].find("[defence 2] was already given on line"), std::string::npos);

  const auto noKind = ErrorsOf(WithLine("effectKind = 2\n", ""));
  EXPECT_NE(noKind[0].find("[attack 1] needs effectKind"), std::string::npos);

  const auto empty = ErrorsOf("");
  EXPECT_EQ(empty.size(), 3u);
}

}  // namespace
