// Shift-JIS texts of the presentation commands (scripts/sjis_literal.py).
#pragma once

// Generated lines, one text a line: left as they are.
// clang-format off
namespace texts {

inline constexpr char kLoadErrorCaption[] = "\x83t\x83@\x83" "C\x83\x8B\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x83G\x83\x89\x81[";  // ファイル読み込みエラー
inline constexpr char kTooManyChoices[] = "\x91I\x91\xF0\x8E\x88\x82\xCD" "20\x8C\xC2\x82\xDC\x82\xC5\x82\xC5\x82\xB7\x81" "B\x82\xB1\x82\xCC\x91I\x91\xF0\x8E\x88\x82\xCD\x96\xB3\x8E\x8B\x82\xB3\x82\xEA\x82\xDC\x82\xB7";  // 選択肢は20個までです。この選択肢は無視されます

}  // namespace texts
// clang-format on
