// The database compiler: a UTF-8 source that authors edit, compiled to the
// three Shift-JIS database files in their exact layout, and the way back.
//
// Source format, one record per block:
//
//   # a comment
//   [card 1]
//   attribute = 1
//   name = Ember Fox
//   description = First line\nsecond line
//
//   [attack 1]
//   name = Flame
//   pattern = 甲乙
//   effectKind = 3
//
// Blocks are "[card N]" (1..50), "[attack N]" (1..70) and "[defence N]"
// (1..34); each number exactly once. Field names are those of the records.
// A field left out is zero or empty, except that every art needs its
// effectKind (1..29) and its pattern (one to six of 甲乙丙丁). Text values run
// to the end of the line, spaces around them trimmed; escapes: \n line break,
// \t tab, \s a space (to keep one at either end), \\ a backslash, \xHH a raw
// byte of the Shift-JIS output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dbc {

// The three files' bytes.
struct DatabaseFiles {
  std::vector<uint8_t> cards;    // "CardData.dat"
  std::vector<uint8_t> attack;   // "AtArts.dat"
  std::vector<uint8_t> defence;  // "DfArts.dat"
};

// Compiles a source; every problem goes into errors as "file:line: why".
// With warnings, also the texts that do not fit where the battle shows them
// (TextRoomWarnings), in the same form.
bool Compile(const std::string& source, const std::string& fileName, DatabaseFiles& out,
             std::vector<std::string>& errors, std::vector<std::string>* warnings = nullptr);

// Writes the source of existing files. What a source cannot carry (bytes after
// a text's end, a record 0 that is not empty, short or long files) is named
// in warnings.
std::string Dump(const DatabaseFiles& files, std::vector<std::string>& warnings);

}  // namespace dbc
