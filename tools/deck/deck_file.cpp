#include "deck_file.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <string_view>

#include "battle/battle.h"
#include "data/database.h"

namespace deck_tool {

// What the battle reads: a deck the battle can hold, cards the database has.
static_assert(kFileSize == kDeckFileSize && kMaxCards == (kDeckFileSize - 4) / 4);
static_assert(kLastCard == kCardCount);
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// A whole word of decimal digits; false for anything else, and for numbers
// too large to matter, which the range checks then name.
bool Number(std::string_view word, uint64_t& value) {
  if (word.empty() || word.size() > 9) return false;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  return ec == std::errc() && end == word.data() + word.size();
}

}  // namespace

ParseResult Parse(const std::string& text, const std::string& fileName) {
  ParseResult r;
  std::istringstream in(text);
  std::string raw;
  int number = 0;
  bool overflowReported = false;
  auto fail = [&](const std::string& why) {
    r.errors.push_back(fileName + ":" + std::to_string(number) + ": " + why);
  };
  while (std::getline(in, raw)) {
    ++number;
    std::string_view line = raw;
    if (const size_t hash = line.find('#'); hash != std::string_view::npos)
      line = line.substr(0, hash);
    const auto words = Words(line);
    if (words.empty()) continue;
    uint64_t card = 0, count = 1;
    if (words.size() > 2 || !Number(words[0], card)) {
      const size_t first = line.find_first_not_of(" \t"), last = line.find_last_not_of(" \t\r");
      fail("expected a card number and an optional count like x3, found \"" +
           std::string(line.substr(first, last + 1 - first)) + "\"");
      continue;
    }
    if (words.size() == 2) {
      const std::string_view c = words[1];
      if (c.size() < 2 || c[0] != 'x' || !Number(c.substr(1), count)) {
        fail("the count must be written like x3, found \"" + std::string(c) + "\"");
        continue;
      }
      if (count < 1 || count > kMaxCards) {
        fail("the count must be 1 to " + std::to_string(kMaxCards));
        continue;
      }
    }
    if (card < 1 || card > kLastCard) {
      fail("card " + std::to_string(card) + " is not one of 1 to " + std::to_string(kLastCard));
      continue;
    }
    const size_t before = r.cards.size();
    if (before + count > kMaxCards) {
      if (!overflowReported)
        fail("this line makes " + std::to_string(before + count) + " cards; a deck holds at most " +
             std::to_string(kMaxCards));
      overflowReported = true;
      r.cards.resize(kMaxCards, static_cast<uint32_t>(card));
      continue;
    }
    r.cards.insert(r.cards.end(), count, static_cast<uint32_t>(card));
  }
  if (r.cards.empty() && r.errors.empty()) {
    number = std::max(number, 1);
    fail("the deck holds no cards");
  }
  return r;
}

std::vector<uint8_t> Encode(const std::vector<uint32_t>& cards) {
  std::vector<uint8_t> bytes(kFileSize, 0);
  for (size_t i = 0; i < cards.size() && i < kMaxCards; ++i)
    for (int b = 0; b < 4; ++b)
      bytes[4 + 4 * i + static_cast<size_t>(b)] = static_cast<uint8_t>(cards[i] >> (8 * b));
  return bytes;
}

bool Decode(const std::vector<uint8_t>& bytes, Decoded& out, std::string& error) {
  out = Decoded{};
  if (bytes.size() != kFileSize) {
    error = "a deck file is " + std::to_string(kFileSize) + " bytes, this one " +
            std::to_string(bytes.size());
    return false;
  }
  auto word = [&](size_t i) {
    uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = v << 8 | bytes[4 * i + static_cast<size_t>(b)];
    return v;
  };
  out.unused = word(0);
  size_t i = 1;
  for (; i <= kMaxCards && word(i) != 0; ++i) out.cards.push_back(word(i));
  for (; i <= kMaxCards; ++i)
    if (word(i) != 0) ++out.wordsAfterEnd;
  return true;
}

std::string Show(const Decoded& deck) {
  std::string s = "# " + std::to_string(deck.cards.size()) + " cards in draw order\n";
  if (deck.unused != 0)
    s += "# the first word holds " + std::to_string(deck.unused) + ", which the battle ignores\n";
  for (size_t i = 0; i < deck.cards.size();) {
    size_t run = 1;
    while (i + run < deck.cards.size() && deck.cards[i + run] == deck.cards[i]) ++run;
    s += std::to_string(deck.cards[i]);
    if (run > 1) s += " x" + std::to_string(run);
    if (deck.cards[i] < 1 || deck.cards[i] > kLastCard) s += "  # not a card of the game";
    s += "\n";
    i += run;
  }
  if (deck.wordsAfterEnd != 0)
    s += "# " + std::to_string(deck.wordsAfterEnd) +
         " more numbers follow the ending 0; the battle never draws them\n";
  return s;
}

}  // namespace deck_tool
