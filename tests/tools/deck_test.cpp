// The opponent deck tool: the file the battle reads, and every author mistake
// named by its line with nothing written.
#include <gtest/gtest.h>

#include "deck_file.h"

namespace {

using deck_tool::Decode;
using deck_tool::Decoded;
using deck_tool::Encode;
using deck_tool::Parse;

uint32_t Word(const std::vector<uint8_t>& b, size_t i) {
  return b[4 * i] | b[4 * i + 1] << 8 | b[4 * i + 2] << 16 |
         static_cast<uint32_t>(b[4 * i + 3]) << 24;
}

TEST(DeckTool, WritesCardsInOrderAfterAnIgnoredWordAndEndsAtZero) {
  const auto r = Parse("# kaito\n4 x2  # rocks\n\n  13\t\n50 x3\r\n", "k.txt");
  ASSERT_TRUE(r.errors.empty()) << r.errors[0];
  EXPECT_EQ(r.cards, (std::vector<uint32_t>{4, 4, 13, 50, 50, 50}));
  const auto bytes = Encode(r.cards);
  ASSERT_EQ(bytes.size(), 404u);
  EXPECT_EQ(Word(bytes, 0), 0u);
  EXPECT_EQ(Word(bytes, 1), 4u);
  EXPECT_EQ(Word(bytes, 3), 13u);
  EXPECT_EQ(Word(bytes, 6), 50u);
  for (size_t i = 7; i <= 100; ++i) EXPECT_EQ(Word(bytes, i), 0u) << i;
}

TEST(DeckTool, ShowGivesASourceThatBuildsTheSameFile) {
  for (const std::vector<uint32_t>& cards :
       {std::vector<uint32_t>{7}, {1, 2, 2, 3, 3, 3, 2, 50}, std::vector<uint32_t>(100, 9)}) {
    const auto bytes = Encode(cards);
    Decoded d;
    std::string error;
    ASSERT_TRUE(Decode(bytes, d, error)) << error;
    EXPECT_EQ(d.cards, cards);
    const auto again = Parse(deck_tool::Show(d), "shown");
    ASSERT_TRUE(again.errors.empty()) << again.errors[0];
    EXPECT_EQ(Encode(again.cards), bytes);
  }
}

TEST(DeckTool, ShowNamesWhatTheBattleIgnores) {
  auto bytes = Encode({5, 6});
  bytes[0] = 9;    // the unused word
  bytes[20] = 12;  // word 5, after the ending 0 at word 3
  Decoded d;
  std::string error;
  ASSERT_TRUE(Decode(bytes, d, error));
  EXPECT_EQ(d.cards, (std::vector<uint32_t>{5, 6}));
  const std::string shown = deck_tool::Show(d);
  EXPECT_NE(shown.find("holds 9"), std::string::npos) << shown;
  EXPECT_NE(shown.find("1 more numbers follow"), std::string::npos) << shown;
  bytes.pop_back();
  EXPECT_FALSE(Decode(bytes, d, error));
  EXPECT_EQ(error, "a deck file is 404 bytes, this one 403");
}

TEST(DeckTool, NamesEachMistakeByLine) {
  const auto r = Parse(
      "1\n"
      "51\n"
      "0 x2\n"
      "3 x0\n"
      "3 3\n"
      "three\n"
      "3x2\n"
      "4 x2 x2\n"
      "-5\n",
      "d.txt");
  const auto junk = [](int line, const std::string& found) {
    return "d.txt:" + std::to_string(line) +
           ": expected a card number and an optional count like x3, found \"" + found + "\"";
  };
  EXPECT_EQ(r.errors, (std::vector<std::string>{
                          "d.txt:2: card 51 is not one of 1 to 50",
                          "d.txt:3: card 0 is not one of 1 to 50",
                          "d.txt:4: the count must be 1 to 100",
                          "d.txt:5: the count must be written like x3, found \"3\"",
                          junk(6, "three"),
                          junk(7, "3x2"),
                          junk(8, "4 x2 x2"),
                          junk(9, "-5"),
                      }));
}

TEST(DeckTool, HoldsAtMostAHundredCardsAndAtLeastOne) {
  EXPECT_TRUE(Parse("1 x60\n2 x40\n", "f").errors.empty());
  EXPECT_EQ(Parse("1 x60\n2 x40\n# full\n3\n4 x5\n", "f").errors,
            std::vector<std::string>{"f:4: this line makes 101 cards; a deck holds at most 100"});
  EXPECT_EQ(Parse("1 x99\n2 x2\n", "f").errors,
            std::vector<std::string>{"f:2: this line makes 101 cards; a deck holds at most 100"});
  EXPECT_EQ(Parse("# nothing\n\n", "e.txt").errors,
            std::vector<std::string>{"e.txt:2: the deck holds no cards"});
  EXPECT_EQ(Parse("", "e.txt").errors,
            std::vector<std::string>{"e.txt:1: the deck holds no cards"});
}

}  // namespace
