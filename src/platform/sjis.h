// Code-page-932 helpers shared by the core and the backends. Pure code.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sjis {

// A lead byte of a two-byte character in code page 932.
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The length of the longest start of text (ended by a NUL or by limit) that
// fits in limit bytes and ends on a whole character; reads no byte at or
// past limit.
size_t FitLength(const char* text, size_t limit);

// Index of the last byte equal to sep that is not the trail byte of a
// two-byte character, or -1. A lead byte as the last byte stands alone.
long FindLastSeparator(const char* text, char sep);

// The data directory of an executable path: everything before its last
// backslash (found as above) followed by "\data". A path without a backslash
// gives "\data", as cutting at position 0 does.
std::string DataDirectoryOf(const char* modulePathSjis);

// Splits a game file name into its components at backslashes and slashes,
// stepping over trail bytes. Empty components (doubled separators) are kept
// so that callers can see a leading separator.
std::vector<std::string> SplitPath(const char* nameSjis);

}  // namespace sjis
