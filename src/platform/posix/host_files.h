// What the POSIX backends share: Shift-JIS conversion at the edge, the files
// of a folder the game names (found there by fs_routing.h), the clock and the
// calendar.
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
  // Deletes what writes interrupted by a crash or a kill left behind: the
  // game's own temporaries (TemporaryName in fs_routing.h), in this folder and in the game's
  // own folders in it, nowhere deeper. Only for the holder of the folder's
  // lock (FolderLock), at the start of a run: the lock proves that no other
  // copy of the game is writing here, so every such file is a dead writer's.
  void RemoveStaleTemporaries() const;

 private:
  std::string root_;
};

// One copy of the game at a time on a folder: an exclusive lock on
// "quillfen.lock" in it, held until the process ends (the system lets go of
// it when the process dies, however it dies). A second copy finds it Busy
// and must not write there. Unavailable: the lock file could not be made or
// the file system does not lock; nothing is then known about other copies.
class FolderLock {
 public:
  enum class State { Held, Busy, Unavailable };
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();
  State Take(const std::string& folder);
  static constexpr const char* kFileName = "quillfen.lock";

 private:
  intptr_t handle_ = -1;  // the open lock file (a descriptor; a HANDLE on Windows)
  std::string folder_;
};

// A whole regular file by its host path; false for anything else, and for a
// file larger than its kind (told by the extension) can genuinely be.
bool ReadHostFile(const std::string& path, std::vector<uint8_t>& out);
// The first maxBytes bytes of a regular file (all of it when shorter); what
// lies past them is not read.
bool ReadHostFileHead(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes);

uint64_t MonotonicMillis();
int64_t UnixSeconds();
plat::CalendarTime BreakDown(int64_t unixSeconds, bool utc);
bool Normalise(plat::CalendarTime& t, bool utc);

// Folder of the running executable, or "." when it cannot be found.
std::string ExecutableFolder();

}  // namespace posix
