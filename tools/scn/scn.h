// qf-scn: scenario sources (UTF-8) checked and turned into the game's
// Shift-JIS scenario files.
#pragma once

#include <string>
#include <vector>

namespace scn_tool {

struct Source {
  std::string name;  // scenario name: the file name without ".scn"
  std::string path;  // for messages
  std::string text;  // UTF-8
};

struct Result {
  std::vector<std::string> errors;    // "file:line: why"
  std::vector<std::string> warnings;  // the same form
  std::vector<std::string> output;    // Shift-JIS text of each source, in order
};

// Checks every source against the others (jump targets may cross files) and
// converts them. Output is filled only when there are no errors.
Result Compile(const std::vector<Source>& sources);

}  // namespace scn_tool
