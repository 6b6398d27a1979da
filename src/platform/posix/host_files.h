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
  // Deletes what writes interrupted by a crash or a kill left behind: the
  // game's own temporaries (TemporaryName), in this folder and in the game's
  // own folders in it, nowhere deeper. Only for the holder of the folder's
  // lock (FolderLock), at the start of a run: the lock proves that no other
  // copy of the game is writing here, so every such file is a dead writer's.
  void RemoveStaleTemporaries() const;

 private:
  std::string root_;
};

// The game's files as the game names them, over two host folders: the data
// directory, and a save folder when one is in effect (the data is installed
// or cannot be written). Every write and new folder goes to the save folder,
// a removal takes the name from both; a read finds a name there first and
// then in the data directory, so a file the game wrote shadows the one
// shipped with the data while the core keeps using the names it always has.
// Without a save folder it is the data directory alone, as a game run from
// its own writable folder expects.
class GameFiles {
 public:
  explicit GameFiles(std::string dataRoot = {}, std::string saveRoot = {});
  const DataDirectory& Data() const { return data_; }
  bool HasSaveFolder() const { return saved_; }
  // Where writes go: the save folder, or the data directory.
  const DataDirectory& Writable() const { return saved_ ? save_ : data_; }

  // The host path a read of the name opens; refused names as DataDirectory.
  bool Resolve(const char* nameSjis, std::string& hostPath, std::string* why = nullptr) const;
  bool Read(const char* nameSjis, std::vector<uint8_t>& out) const;
  bool Exists(const char* nameSjis) const;
  plat::WriteResult Write(const char* nameSjis, const void* data, size_t size) const;
  bool Remove(const char* nameSjis) const;
  bool ResetAttributes(const char* nameSjis) const;
  bool MakeFolder(const char* nameSjis) const;
  bool WriteTime(const char* nameSjis, bool utc, plat::CalendarTime& out) const;
  // In the folder writes go to, the only one a run of the game writes into.
  void RemoveStaleTemporaries() const;
  // Makes the folder writes go to (the save folder with its parents), so that
  // it can be locked before the first write; false when it cannot be made.
  bool MakeWritableRoot() const { return MakeSaveRoot(); }

 private:
  // The save folder is made (with its parents) only when first written to,
  // so a run that saves nothing leaves no trace in the player's home.
  bool MakeSaveRoot() const;
  // The folders of a name that the data directory has are made in the save
  // folder, so a write into e.g. "save\\x.dat" finds its folder there as it
  // would in the data directory.
  void MirrorFolders(const char* nameSjis) const;

  DataDirectory data_;
  DataDirectory save_;
  bool saved_ = false;
};

// The temporary a write of hostPath goes through before it is renamed over
// it: "<hostPath>.quillfen-<pid>.tmp". The name is the game's alone, so the
// start-up clean-up never takes a file of the player's for one of its own.
std::string TemporaryName(const std::string& hostPath, long pid);
// A file name of that form; pid gets the writer's process id.
bool IsTemporaryName(const char* name, long& pid);

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

// Where the data directory is looked for when --data does not name one:
// "data" beside the program (a build folder), then each of installedDirs
// (the installed share/quillfen/data, relative to the program's folder and
// absolute). The first that is a folder wins; installed tells whether it was
// an installed one. Nothing found: "data" beside the program, which then
// fails to load as it always has.
struct DataChoice {
  std::string dir;
  bool installed = false;
};
DataChoice FindDataDirectory(const std::string& programFolder,
                             const std::vector<std::string>& installedDirs);

// A name for the game a data directory holds, stable while the directory
// stays where it is, and different for two directories on one machine: the
// folder's name (its parent's when it is called "data"), then 12 hex digits
// of a hash (64-bit FNV-1a) of its canonical path.
std::string GameId(const std::string& dataDir);

// The folder the game writes into, or empty for the data directory itself.
// --save-dir wins; a writable data directory that is not installed keeps the
// writes; otherwise $XDG_DATA_HOME/quillfen/<game id> (XDG_DATA_HOME unset,
// empty or relative: $HOME/.local/share). Empty also when there is no home.
std::string ChooseSaveFolder(const std::string& dataDir, bool installed,
                             const std::string& saveDirOption, const char* xdgDataHome,
                             const char* home);

// A whole regular file by its host path; false for anything else, and for a
// file larger than its kind (told by the extension) can genuinely be.
bool ReadHostFile(const std::string& path, std::vector<uint8_t>& out);
// The same with the reader's own bound instead of the kind's.
bool ReadHostFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes);

uint64_t MonotonicMillis();
int64_t UnixSeconds();
plat::CalendarTime BreakDown(int64_t unixSeconds, bool utc);
bool Normalise(plat::CalendarTime& t, bool utc);

// Folder of the running executable, or "." when it cannot be found.
std::string ExecutableFolder();

}  // namespace posix
