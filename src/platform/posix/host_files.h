// What the POSIX backends share: Shift-JIS conversion at the edge, game file
// names mapped into the data directory, the clock and the calendar.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace posix {

// Code page 932 (with the NEC and IBM extensions) to UTF-8 and back. Bytes that
// do not decode become U+FFFD; the reverse fails on characters outside 932.
std::string SjisToUtf8(std::string_view sjis);
bool Utf8ToSjis(std::string_view utf8, std::string& out);

// The data directory and the rule for the game's file names: components are
// separated by backslashes or slashes (trail bytes 0x5C are not separators),
// each component is found exactly or else by a case-insensitive match in its
// folder. A name that is absolute, carries a drive, steps up with "..", or
// leads out through a symbolic link is refused: game content must not reach
// outside its folder.
class DataDirectory {
 public:
  explicit DataDirectory(std::string root = {});
  const std::string& Root() const { return root_; }

  // Host path of a game file name; false (with a reason) when refused.
  bool Resolve(const char* nameSjis, std::string& hostPath, std::string* why = nullptr) const;

  bool Read(const char* nameSjis, std::vector<uint8_t>& out) const;
  // Something is there under the name, whether or not it can be read.
  bool Exists(const char* nameSjis) const;
  plat::WriteResult Write(const char* nameSjis, const void* data, size_t size) const;
  bool Remove(const char* nameSjis) const;
  bool ResetAttributes(const char* nameSjis) const;
  bool MakeFolder(const char* nameSjis) const;
  bool WriteTime(const char* nameSjis, bool utc, plat::CalendarTime& out) const;
  // Deletes what writes interrupted by a crash or a kill left behind: our
  // temporary files whose writer no longer runs. For the start of a run.
  void RemoveStaleTemporaries() const;

 private:
  std::string root_;
};

// A whole regular file by its host path; false for anything else, and for a
// file larger than its kind (told by the extension) can genuinely be.
bool ReadHostFile(const std::string& path, std::vector<uint8_t>& out);

uint64_t MonotonicMillis();
int64_t UnixSeconds();
plat::CalendarTime BreakDown(int64_t unixSeconds, bool utc);
bool Normalise(plat::CalendarTime& t, bool utc);

// Folder of the running executable, or "." when it cannot be found.
std::string ExecutableFolder();

}  // namespace posix
