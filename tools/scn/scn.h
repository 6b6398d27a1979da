// qf-scn: scenario sources (UTF-8) checked and turned into the game's
// Shift-JIS scenario files.
#pragma once

#include <string>
#include <vector>

namespace scn_tool {

class DataFolder;

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
// converts them. Output is filled only when there are no errors. With a data
// folder, also what the sources ask of it (files, scenarios and labels), the
// names and numbers the game knows, the variables and the text's room in its
// window (CheckWithData).
Result Compile(const std::vector<Source>& sources, const DataFolder* data = nullptr);

// The line helpers both passes share.
bool HasVariables(const std::string& s);
// A Shift-JIS line split with the game's own tokenizer, tokens in UTF-8;
// unclosed is set when a quote runs to the end of the line.
std::vector<std::string> Tokens(const std::string& sjisLine, bool& unclosed);
// The value of a number written in the line (a sign and digits); false for
// a name or a reference.
bool LiteralValue(const std::string& token, long long& value);

}  // namespace scn_tool
