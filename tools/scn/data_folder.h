// The folder a game's files are checked against: a built data folder, looked
// in as the game looks (platform/posix), or a content source folder laid out
// like content/, each game file name mapped to the source it is made from.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/posix/host_files.h"

namespace scn_tool {

class DataFolder {
 public:
  // A content folder is told by database/database.txt or scenario/ in it.
  explicit DataFolder(const std::string& dir);
  const std::string& Root() const { return dir_; }
  bool IsContent() const { return content_; }

  // Whether the game finds the file (a Shift-JIS name, backslashes between
  // folders, any case).
  bool Has(const std::string& sjisName) const;
  // A song (NAME.mid) is also found packed, as NAME.dpa.
  bool HasSong(const std::string& sjisName) const;
  // The folder's scenarios: name (without ".scn") -> UTF-8 text.
  std::map<std::string, std::string> Scenarios() const;

  // The content folder's file "copies.txt": data files made as copies of
  // others, one "NAME SOURCE" pair of game file names a line, "#" starting a
  // comment line. content/CMakeLists.txt makes the copies from it.
  static constexpr const char* kCopiesFile = "copies.txt";

 private:
  bool SourceOf(const std::string& sjisName) const;

  std::string dir_;
  bool content_ = false;
  posix::DataDirectory files_;
  std::vector<std::pair<std::string, std::string>> copies_;  // lower-case name, source
};

}  // namespace scn_tool
