// The author's manual against the code's own tables: a command, a built-in
// variable, an art effect kind or a settings key added without its entry (or
// an entry left behind by one taken out) fails here.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "core/settings.h"
#include "data/database.h"
#include "data/player.h"
#include "script/interpreter.h"
#include "shell/app.h"

namespace {

std::string Page(const std::string& name) {
  std::ifstream in(std::string(QF_DOCS_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << "docs/" << name << " is missing";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// The cells of a markdown table row, trimmed; empty for any other line.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> out;
  if (line.empty() || line[0] != '|') return out;
  std::string cell;
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] != '|') {
      cell += line[i];
      continue;
    }
    const size_t b = cell.find_first_not_of(' '), e = cell.find_last_not_of(' ');
    out.push_back(b == std::string::npos ? std::string() : cell.substr(b, e - b + 1));
    cell.clear();
  }
  return out;
}

template <typename Set>
void ExpectSame(const Set& code, const Set& manual, const char* what) {
  for (const auto& n : code) EXPECT_TRUE(manual.count(n)) << what << " " << n << " has no entry";
  for (const auto& n : manual)
    EXPECT_TRUE(code.count(n)) << what << " " << n << " is no longer in the code";
}

// Every command the game registers has a level-3 heading in the scenario
// reference that names it in backticks, and every heading names a command.
TEST(Manual, CommandReferenceMatchesTheCommandTable) {
  WireSubsystems();
  std::set<std::string> code;
  for (size_t i = 0; i < commands.count; ++i) code.insert(commands.rows[i].name);
  std::set<std::string> manual;
  const std::regex name("`(\\.[^`]*)`");
  for (const std::string& line : Lines(Page("scenario.md"))) {
    if (line.rfind("### ", 0) != 0) continue;
    for (std::sregex_iterator m(line.begin(), line.end(), name), end; m != end; ++m)
      manual.insert((*m)[1]);
  }
  ExpectSame(code, manual, "command");
}

// The built-in variables' table: one row per name, read-only exactly where
// the code gives the value no writer.
TEST(Manual, BuiltInVariablesMatchTheirTable) {
  const NamedValues values = PlayerValues();
  std::map<std::string, std::string> manual;
  bool inSection = false;
  for (const std::string& line : Lines(Page("variables.md"))) {
    if (line.rfind("## ", 0) == 0) inSection = line == "## Built-in variables";
    const auto cells = inSection ? Cells(line) : std::vector<std::string>{};
    if (cells.size() >= 2 && cells[0].size() > 2 && cells[0].front() == '`' &&
        cells[0].back() == '`')
      manual[cells[0].substr(1, cells[0].size() - 2)] = cells.back();
  }
  std::set<std::string> code, documented;
  for (size_t i = 0; i < values.count; ++i) {
    const NamedValue& v = values.rows[i];
    code.insert(v.name);
    if (!manual.count(v.name)) continue;
    EXPECT_EQ(manual[v.name], v.write ? "writable" : "read-only") << v.name;
  }
  for (const auto& [n, access] : manual) documented.insert(n);
  ExpectSame(code, documented, "built-in variable");
}

// Every effect kind an art record may hold has a row; the kinds the battle
// knows are named as the code names them, the others do nothing.
TEST(Manual, ArtEffectKindsMatchTheirTable) {
  std::map<int, std::string> manual;
  for (const std::string& line : Lines(Page("database.md"))) {
    const auto cells = Cells(line);
    if (cells.size() >= 2 && !cells[0].empty() &&
        cells[0].find_first_not_of("0123456789") == std::string::npos)
      manual[std::stoi(cells[0])] = line;
  }
  for (int kind = kEffectKindMin; kind <= kEffectKindMax; ++kind) {
    ASSERT_TRUE(manual.count(kind)) << "effect kind " << kind << " has no row";
    const char* name = ArtKindName(static_cast<ArtKind>(kind));
    if (name)
      EXPECT_NE(manual[kind].find(std::string("`") + name + "`"), std::string::npos)
          << "effect kind " << kind << " is " << name;
    else
      EXPECT_NE(manual[kind].find("does nothing"), std::string::npos) << "effect kind " << kind;
  }
  EXPECT_EQ(manual.begin()->first, kEffectKindMin);
  EXPECT_EQ(manual.rbegin()->first, kEffectKindMax);
}

// Every key the settings file writes is explained.
TEST(Manual, SettingsKeysAreExplained) {
  const std::string page = Page("settings.md");
  std::istringstream file(FormatSettings(Settings{}));
  for (std::string line; std::getline(file, line);) {
    const std::string key = line.substr(0, line.find(' '));
    if (key.empty() || key[0] == '#') continue;
    EXPECT_NE(page.find("`" + key + "`"), std::string::npos) << "settings key " << key;
  }
}

}  // namespace
