// The Shift-JIS face names the message windows ask the platform for, with the
// text itself beside them. Regenerate a line with scripts/sjis_literal.py.
#pragma once

// Generated lines, one text a line: left as they are.
// clang-format off
namespace texts {

inline constexpr char kFaceGothic[] = "\x82l\x82r \x83S\x83V\x83" "b\x83N";  // ＭＳ ゴシック
inline constexpr char kFaceMincho[] = "\x82l\x82r \x96\xBE\x92\xA9";  // ＭＳ 明朝

}  // namespace texts
// clang-format on
