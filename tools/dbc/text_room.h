// Whether the database's texts fit where the battle shows them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "dbc.h"

namespace dbc {

// The source line of each field given: "card 5 attackEffect" -> line.
using FieldLines = std::map<std::string, int>;
// A card's name with its attack or intercept effect, and an art's pattern,
// name and effect text, as the battle's message box shows them: each that
// takes more lines than the box shows is named at its effect's line.
void TextRoomWarnings(const DatabaseFiles& files, const FieldLines& lines,
                      const std::string& fileName, std::vector<std::string>& warnings);

}  // namespace dbc
