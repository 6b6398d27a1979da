// The Shift-JIS texts of the arts' message box, as bytes, with the text
// itself beside it. Regenerate a line with scripts/sjis_literal.py.
#pragma once

// Generated lines, one text a line: left as they are.
// clang-format off
namespace texts {

inline constexpr char kArtFailed[] = "\x8BZ\x82\xCD\x94\xAD\x93\xAE\x82\xB5\x82\xC8\x82\xA9\x82\xC1\x82\xBD\x81" "B";  // 技は発動しなかった。
inline constexpr char kArtNoMp[] = "\x82l\x82o\x82\xAA\x91\xAB\x82\xE8\x82\xC8\x82\xA2\x81I\x81I";  // ＭＰが足りない！！
inline constexpr char kArtNameOpen[] = "\n <";  // \n <
inline constexpr char kArtNameClose[] = ">\n ";  // >\n 

}  // namespace texts
// clang-format on
