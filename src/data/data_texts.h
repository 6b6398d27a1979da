// Every Shift-JIS text of the game data and player state, as bytes, with the
// text itself beside it. Regenerate a line with scripts/sjis_literal.py.
#pragma once

// Generated lines, one text a line: left as they are.
// clang-format off
namespace texts {

inline constexpr char kWriteFailed[] = "\x83t\x83@\x83" "C\x83\x8B\x8D\xEC\x90\xAC\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81" "B\x8B\xF3\x82\xAB\x97" "e\x97\xCA\x82\xF0\x8Am\x94" "F\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2";  // ファイル作成に失敗しました。空き容量を確認してください
// Follows the name of a progress file that is there but could not be read.
inline constexpr char kKeptUnreadable[] = "\n\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xC8\x82\xA9\x82\xC1\x82\xBD\x82\xBD\x82\xDF\x81" "A\x82\xB1\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xCD\x8F\x91\x82\xAB\x8A\xB7\x82\xA6\x82\xB8\x82\xC9\x8E" "c\x82\xB5\x82\xDC\x82\xB7";  // \n読み込めなかったため、このファイルは書き換えずに残します
inline constexpr char kReadErrorCaption[] = "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x83G\x83\x89\x81[";  // 読み込みエラー
inline constexpr char kWriteErrorCaption[] = "\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x83G\x83\x89\x81[";  // 書き込みエラー

// The pattern symbols of attributes 1 to 4.
inline constexpr char kSymbolAttr1[] = "\x8D" "b";  // 甲
inline constexpr char kSymbolAttr2[] = "\x89\xB3";  // 乙
inline constexpr char kSymbolAttr3[] = "\x95\xB8";  // 丙
inline constexpr char kSymbolAttr4[] = "\x92\x9A";  // 丁

}  // namespace texts
// clang-format on
