// Opponent decks: a short text list that authors edit, and the 404-byte file
// the battle reads (a word it ignores, then 100 little-endian u32 card
// numbers in draw order; the deck ends at the first 0).
//
// Source, one entry per line:
//
//   # a comment (also after an entry)
//   13          one card 13
//   20 x3       three cards 20 in a row
//
// Cards are 1..50, at most 100 in all, drawn in the order written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace deck_tool {

constexpr size_t kFileSize = 404;
constexpr size_t kMaxCards = 100;
constexpr uint32_t kLastCard = 50;

struct ParseResult {
  std::vector<uint32_t> cards;      // in draw order
  std::vector<std::string> errors;  // "file:line: why"; cards mean nothing then
};

ParseResult Parse(const std::string& text, const std::string& fileName);

// The deck file: word 0 is 0, the cards follow, zeros fill the rest.
// At most kMaxCards cards are taken.
std::vector<uint8_t> Encode(const std::vector<uint32_t>& cards);

struct Decoded {
  uint32_t unused = 0;
  std::vector<uint32_t> cards;  // up to the first 0
  size_t wordsAfterEnd = 0;     // non-zero words after that 0, which the game never draws
};

// False (with error) when the file is not 404 bytes.
bool Decode(const std::vector<uint8_t>& bytes, Decoded& out, std::string& error);

// The source text of a deck, runs of the same card written as "N xK", so
// that parsing it gives the same deck back.
std::string Show(const Decoded& deck);

}  // namespace deck_tool
