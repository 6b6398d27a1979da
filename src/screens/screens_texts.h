// Every Shift-JIS text of the menu screens, as bytes, with the text itself
// beside it. Regenerate a line with scripts/sjis_literal.py.
#pragma once

// Generated lines, one text a line: left as they are.
// clang-format off
namespace texts {

inline constexpr char kSlotNoData[] = "\n               \x81\x5C\x81\x5C No Data \x81\x5C\x81\x5C";  // \n               ―― No Data ――
inline constexpr char kSlotDamaged[] = "\n               \x81\x5C\x81\x5C Damaged \x81\x5C\x81\x5C";  // \n               ―― Damaged ――
inline constexpr char kSaveDamaged[] = "\x83Z\x81[\x83u\x83" "f\x81[\x83^\x82\xAA\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x82\xBD\x82\xDF\x81" "A\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1";  // セーブデータが壊れているため、読み込めません
inline constexpr char kSaveOtherCounts[] = "\x82\xB1\x82\xCC\x83Z\x81[\x83u\x83" "f\x81[\x83^\x82\xCD\x95\xCF\x90\x94\x82\xCC\x90\x94\x82\xAA\x88\xE1\x82\xA4\x82\xBD\x82\xDF\x81" "A\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1";  // このセーブデータは変数の数が違うため、読み込めません
inline constexpr char kSaveReadCaption[] = "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x83G\x83\x89\x81[";  // 読み込みエラー

}  // namespace texts
// clang-format on
