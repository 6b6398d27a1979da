// The opponent deck tool: the 404-byte file the battle reads, and every
// author mistake named by its line.
#include <gtest/gtest.h>

#include "deck_file.h"

namespace {

using deck_tool::Parse;

// Word 0 is ignored by the battle; the cards follow in draw order as
// little-endian u32 and the deck ends at the first 0.
TEST(DeckTool, WritesTheFileByteForByteAndShowsItBack) {
  const auto r = Parse("# kaito\n4 x2  # rocks\n\n  13\t\n50 x3\r\n", "k.txt");
  ASSERT_TRUE(r.errors.empty()) << r.errors[0];
  std::vector<uint8_t> want(404, 0);
  const uint32_t cards[] = {4, 4, 13, 50, 50, 50};
  for (size_t i = 0; i < 6; ++i) want[4 + 4 * i] = static_cast<uint8_t>(cards[i]);
  EXPECT_EQ(deck_tool::Encode(r.cards), want);
  for (const std::vector<uint32_t>& deck : {std::vector<uint32_t>{7},
                                            {1, 2, 2, 3, 3, 3, 2, 50},
                                            std::vector<uint32_t>(100, 9),
                                            std::vector<uint32_t>{258, 1}}) {
    deck_tool::Decoded d;
    std::string error;
    ASSERT_TRUE(deck_tool::Decode(deck_tool::Encode(deck), d, error)) << error;
    EXPECT_EQ(d.cards, deck);
    if (deck[0] == 258) continue;
    const auto again = Parse(deck_tool::Show(d), "shown");
    ASSERT_TRUE(again.errors.empty()) << again.errors[0];
    EXPECT_EQ(again.cards, deck);
  }
  auto bytes = deck_tool::Encode({5, 6});
  bytes[0] = 9;    // the unused word
  bytes[20] = 12;  // word 5, after the ending 0 at word 3
  deck_tool::Decoded d;
  std::string error;
  ASSERT_TRUE(deck_tool::Decode(bytes, d, error));
  const std::string shown = deck_tool::Show(d);
  EXPECT_NE(shown.find("holds 9"), std::string::npos) << shown;
  EXPECT_NE(shown.find("1 more numbers follow"), std::string::npos) << shown;
  bytes.pop_back();
  EXPECT_FALSE(deck_tool::Decode(bytes, d, error));
  EXPECT_EQ(error, "a deck file is 404 bytes, this one 403");
}

TEST(DeckTool, NamesEachMistakeByLine) {
  const auto junk = [](int line, const std::string& found) {
    return "d.txt:" + std::to_string(line) +
           ": expected a card number and an optional count like x3, found \"" + found + "\"";
  };
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"1\n51\n0 x2\n3 x0\n3 3\nthree\n3x2\n4 x2 x2\n-5\n",
       {"d.txt:2: card 51 is not one of 1 to 50", "d.txt:3: card 0 is not one of 1 to 50",
        "d.txt:4: the count must be 1 to 100",
        "d.txt:5: the count must be written like x3, found \"3\"", junk(6, "three"), junk(7, "3x2"),
        junk(8, "4 x2 x2"), junk(9, "-5")}},
      {"50\n1 x100\n", {"d.txt:2: this line makes 101 cards; a deck holds at most 100"}},
      {"1 x60\n2 x40\n# full\n3\n",
       {"d.txt:4: this line makes 101 cards; a deck holds at most 100"}},
      {"1 x60\n2 x40\n", {}},
      {"# nothing\n\n", {"d.txt:2: the deck holds no cards"}},
      {"", {"d.txt:1: the deck holds no cards"}},
  };
  for (const auto& [text, errors] : cases) EXPECT_EQ(Parse(text, "d.txt").errors, errors) << text;
}

}  // namespace
