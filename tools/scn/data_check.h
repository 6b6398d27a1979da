// The deeper checks of qf-scn against a data folder (scn.h's Compile runs
// them with --data).
#pragma once

#include <vector>

#include "data_folder.h"
#include "scn.h"

namespace scn_tool {

// What the sources ask of the folder, added to r: the files and labels the
// commands name, the engine's own files, the names and numbers the game's
// tables know, the variables, and the text's room in its window.
void CheckWithData(const std::vector<Source>& sources, const DataFolder& data, Result& r);

}  // namespace scn_tool
