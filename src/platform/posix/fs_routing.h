// Where the game's file names lead on the host, on std::filesystem: the
// lookup of a name component by component, the folders the game makes, the
// scans of a folder, and the routing between the data directory and the save
// folder. The Linux backends and the Windows build of the headless one share
// it; each brings its own DataDirectory (host_files.h) for the files
// themselves.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/host_files.h"

namespace posix {

// The host path of a game file name under root (UTF-8): components are
// separated by backslashes or slashes (trail bytes 0x5C are not separators),
// each is found exactly or else by a case-insensitive match in its folder.
// Refused (false, with a reason) when the name is absolute, carries a drive,
// steps up with "..", or leads out of root through a symbolic link.
bool ResolveUnder(const std::string& root, const char* nameSjis, std::string& hostPath,
                  std::string* why = nullptr);

// Something is there under the path, a dangling symbolic link included.
bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);
// Makes the folder with every parent it lacks, each new one private to the
// player; false when one cannot be made.
bool MakePrivateFolders(const std::string& path);

// The temporary a write of hostPath goes through before it is renamed over
// it: "<hostPath>.quillfen-<pid>.tmp". The name is the game's alone, so the
// start-up clean-up never takes a file of the player's for one of its own.
std::string TemporaryName(const std::string& hostPath, long pid);
// A file name of that form; pid gets the writer's process id.
bool IsTemporaryName(const char* name, long& pid);
// Removes the game's temporaries directly in folder (regular files only); a
// folder that is a symbolic link is not followed, being none of the game's.
void RemoveTemporariesIn(const std::string& folder);

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
  // The folder a read of the name finds it in, with its host path there:
  // the save folder when the name is there, else the data directory. Null
  // when refused; a name the save folder refuses is refused by the data
  // directory too (same rules), so only a name with nothing behind it falls
  // through.
  const DataDirectory* Holder(const char* nameSjis, std::string& hostPath, std::string* why) const;
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

}  // namespace posix
