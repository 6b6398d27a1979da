#include "platform/posix/host_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/posix/calendar_fields.h"
#include "platform/posix/size_bound.h"
#include "platform/sjis.h"

namespace posix {
namespace {

// iconv descriptors are opened once per direction and kept for the run.
struct Converter {
  iconv_t cd;
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

// Runs the whole input through cd. On a byte sequence it cannot convert it
// calls onBad, which may append a replacement and tell how many bytes to skip
// (0 means give up).
template <typename OnBad>
bool Convert(iconv_t cd, std::string_view in, std::string& out, OnBad onBad) {
  out.clear();
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[512];
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      const size_t skip = onBad(out, static_cast<size_t>(srcLeft));
      if (skip == 0) return false;
      src += skip;
      srcLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return true;
}

bool IsRefusedComponent(const std::string& part) {
  return part == ".." || part.find(':') != std::string::npos;
}

// A real path that is the folder itself or lies inside it.
bool Inside(const std::string& real, const std::string& folderReal) {
  if (folderReal == "/") return true;
  return real.compare(0, folderReal.size(), folderReal) == 0 &&
         (real.size() == folderReal.size() || real[folderReal.size()] == '/');
}

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

// Where path really leads, judged by its deepest part that exists: the parts
// below it do not exist yet and so cannot lead anywhere else. Empty when not
// even the first part exists.
std::string DeepestRealPath(std::string path, size_t keep) {
  while (path.size() > keep) {
    std::string real = RealPath(path);
    if (!real.empty()) return real;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash < keep) break;
    path.resize(slash);
  }
  return RealPath(path);
}

constexpr const char kTemporaryTag[] = ".quillfen-";
constexpr const char kTemporaryEnd[] = ".tmp";

// The folders in a writable root that the game itself makes and writes into;
// the clean-up looks nowhere else, and never below them.
constexpr const char* kGameFolders[] = {"save", "screenshots"};

// Removes the game's temporaries directly in folder; a folder that is a
// symbolic link is not followed, being none of the game's.
void RemoveStaleIn(const std::string& folder) {
  struct stat fst;
  if (lstat(folder.c_str(), &fst) != 0 || !S_ISDIR(fst.st_mode)) return;
  DIR* d = opendir(folder.c_str());
  if (!d) return;
  std::vector<std::string> stale;
  while (dirent* e = readdir(d)) {
    long pid = 0;
    if (!IsTemporaryName(e->d_name, pid)) continue;
    const std::string path = folder + "/" + e->d_name;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) stale.push_back(path);
  }
  closedir(d);
  for (const std::string& path : stale) unlink(path.c_str());
}

// Makes a rename inside folder survive a crash of the machine.
void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The entry of folder whose name equals name ignoring ASCII case.
bool FindCaseInsensitive(const std::string& folder, const std::string& name, std::string& found) {
  DIR* d = opendir(folder.c_str());
  if (!d) return false;
  bool ok = false;
  while (dirent* e = readdir(d)) {
    if (strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      ok = true;
      break;
    }
  }
  closedir(d);
  return ok;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// A testing aid: QUILLFEN_SLOW_WRITES=MICROSECONDS makes every game file
// write go out in small pieces with that pause before each piece and before
// the rename, so that a test which kills the game can land its kill before,
// inside and after each write. Unset (as always in play) it costs nothing.
struct SlowWrites {
  useconds_t pause = 0;
  size_t piece = 256;
  SlowWrites() {
    if (const char* env = std::getenv("QUILLFEN_SLOW_WRITES"); env && *env)
      pause = static_cast<useconds_t>(std::strtoul(env, nullptr, 10));
  }
};

const SlowWrites& slowWrites() {
  static const SlowWrites s;
  return s;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) {
  static Converter conv("UTF-8", "CP932");
  std::string out;
  Convert(conv.cd, sjis, out, [](std::string& o, size_t) {
    o += "\xEF\xBF\xBD";
    return size_t{1};
  });
  return out;
}

bool Utf8ToSjis(std::string_view utf8, std::string& out) {
  static Converter conv("CP932", "UTF-8");
  return Convert(conv.cd, utf8, out, [](std::string&, size_t) { return size_t{0}; });
}

DataDirectory::DataDirectory(std::string root) : root_(std::move(root)) {
  if (root_.empty()) root_ = ".";
}

bool DataDirectory::Resolve(const char* nameSjis, std::string& hostPath, std::string* why) const {
  auto refuse = [&](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  const std::vector<std::string> parts = sjis::SplitPath(nameSjis);
  if (parts.size() > 1 && parts.front().empty()) return refuse("absolute path");
  std::string path = root_;
  size_t used = 0;
  for (const std::string& part : parts) {
    if (part.empty() || part == ".") continue;
    if (IsRefusedComponent(part)) return refuse("outside the data directory");
    const std::string utf8 = SjisToUtf8(part);
    std::string candidate = path;
    candidate += '/';
    candidate += utf8;
    if (!PathExists(candidate)) {
      std::string found;
      if (FindCaseInsensitive(path, utf8, found)) {
        candidate = path;
        candidate += '/';
        candidate += found;
      }
    }
    path = std::move(candidate);
    ++used;
  }
  if (used == 0) return refuse("empty name");
  // A symbolic link inside the folder may lead out of it as ".." would.
  const std::string rootReal = RealPath(root_);
  if (!rootReal.empty()) {
    const std::string real = DeepestRealPath(path, root_.size());
    if (real.empty() || !Inside(real, rootReal)) return refuse("outside the data directory");
  }
  hostPath = std::move(path);
  return true;
}

bool DataDirectory::Read(const char* nameSjis, std::vector<uint8_t>& out) const {
  std::string path;
  return Resolve(nameSjis, path) && ReadHostFile(path, out);
}

bool DataDirectory::Exists(const char* nameSjis) const {
  std::string path;
  struct stat st;
  return Resolve(nameSjis, path) && lstat(path.c_str(), &st) == 0;
}

void DataDirectory::RemoveStaleTemporaries() const {
  RemoveStaleIn(root_);
  for (const char* folder : kGameFolders) {
    std::string path;
    if (Resolve(folder, path)) RemoveStaleIn(path);
  }
}

std::string TemporaryName(const std::string& hostPath, long pid) {
  return hostPath + kTemporaryTag + std::to_string(pid) + kTemporaryEnd;
}

bool IsTemporaryName(const char* name, long& pid) {
  const size_t n = std::strlen(name);
  const size_t endLength = sizeof kTemporaryEnd - 1;
  if (n < endLength || std::strcmp(name + n - endLength, kTemporaryEnd) != 0) return false;
  size_t digits = n - endLength;
  const size_t last = digits;
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  const size_t tagLength = sizeof kTemporaryTag - 1;
  // Digits, the tag before them, and a target name before that.
  if (digits == last || last - digits > 10 || digits <= tagLength ||
      std::strncmp(name + digits - tagLength, kTemporaryTag, tagLength) != 0)
    return false;
  pid = std::strtol(name + digits, nullptr, 10);
  return pid > 0;
}

FolderLock::~FolderLock() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

FolderLock::State FolderLock::Take(const std::string& folder) {
  if (handle_ >= 0 && folder == folder_) return State::Held;
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  const std::string path = folder + "/" + kFileName;
  // Never unlinked: a copy that removed it at its end could leave a later
  // copy locking a file that no longer has the name the next one opens.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return State::Unavailable;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    close(fd);
    return busy ? State::Busy : State::Unavailable;
  }
  handle_ = fd;
  folder_ = folder;
  return State::Held;
}

GameFiles::GameFiles(std::string dataRoot, std::string saveRoot)
    : data_(std::move(dataRoot)), saved_(!saveRoot.empty()) {
  if (saved_) save_ = DataDirectory(std::move(saveRoot));
}

bool GameFiles::Resolve(const char* nameSjis, std::string& hostPath, std::string* why) const {
  if (saved_) {
    std::string path;
    // A name the save folder refuses is refused by the data directory too
    // (same rules); only a name with nothing behind it falls through.
    if (!save_.Resolve(nameSjis, path, why)) return false;
    if (PathExists(path)) {
      hostPath = std::move(path);
      return true;
    }
  }
  return data_.Resolve(nameSjis, hostPath, why);
}

bool GameFiles::Read(const char* nameSjis, std::vector<uint8_t>& out) const {
  std::string path;
  return Resolve(nameSjis, path) && ReadHostFile(path, out);
}

bool GameFiles::Exists(const char* nameSjis) const {
  std::string path;
  return Resolve(nameSjis, path) && PathExists(path);
}

bool GameFiles::MakeSaveRoot() const {
  if (!saved_) return true;
  std::string path;
  for (size_t at = 1; at <= save_.Root().size(); ++at) {
    if (at < save_.Root().size() && save_.Root()[at] != '/') continue;
    path = save_.Root().substr(0, at);
    // Private: the player's saves are nobody else's business.
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

void GameFiles::MirrorFolders(const char* nameSjis) const {
  const std::vector<std::string> parts = sjis::SplitPath(nameSjis);
  std::string prefix;
  std::string path;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (!prefix.empty()) prefix += '\\';
    prefix += parts[i];
    struct stat st;
    if (parts[i].empty() || !data_.Resolve(prefix.c_str(), path) || stat(path.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode))
      return;
    if (!save_.MakeFolder(prefix.c_str())) return;
  }
}

plat::WriteResult GameFiles::Write(const char* nameSjis, const void* data, size_t size) const {
  if (!MakeSaveRoot()) return plat::WriteResult::CreateFailed;
  if (saved_) MirrorFolders(nameSjis);
  return Writable().Write(nameSjis, data, size);
}

bool GameFiles::Remove(const char* nameSjis) const {
  // Gone for the game means gone from both folders: a read would otherwise
  // find the data directory's copy (a slot saved before the save folder was
  // in use) and the game would list it again.
  bool removed = Writable().Remove(nameSjis);
  if (saved_ && data_.Remove(nameSjis)) removed = true;
  return removed && !Exists(nameSjis);
}

bool GameFiles::ResetAttributes(const char* nameSjis) const {
  return Writable().ResetAttributes(nameSjis);
}

bool GameFiles::MakeFolder(const char* nameSjis) const {
  return MakeSaveRoot() && Writable().MakeFolder(nameSjis);
}

bool GameFiles::WriteTime(const char* nameSjis, bool utc, plat::CalendarTime& out) const {
  std::string path;
  struct stat st;
  if (!Resolve(nameSjis, path) || stat(path.c_str(), &st) != 0) return false;
  out = BreakDown(static_cast<int64_t>(st.st_mtime), utc);
  return true;
}

void GameFiles::RemoveStaleTemporaries() const { Writable().RemoveStaleTemporaries(); }

namespace {

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

DataChoice FindDataDirectory(const std::string& programFolder,
                             const std::vector<std::string>& installedDirs) {
  const std::string beside = programFolder + "/data";
  if (IsFolder(beside)) return {beside, false};
  for (const std::string& dir : installedDirs) {
    if (IsFolder(dir)) return {dir, true};
  }
  return {beside, false};
}

std::string GameId(const std::string& dataDir) {
  std::string path = RealPath(dataDir);
  if (path.empty()) path = dataDir;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  uint64_t hash = 0xcbf29ce484222325u;
  for (const char c : path) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 0x100000001b3u;
  }
  // The folder's own name, or its parent's when it is just "data".
  std::string name;
  std::string rest = path;
  for (int level = 0; level < 2 && !rest.empty(); ++level) {
    const size_t slash = rest.rfind('/');
    name = slash == std::string::npos ? rest : rest.substr(slash + 1);
    rest = slash == std::string::npos ? std::string() : rest.substr(0, slash);
    if (strcasecmp(name.c_str(), "data") != 0) break;
  }
  // Only characters that are safe in a file name everywhere.
  std::string id;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    if (id.size() < 32) id += plain ? c : '_';
  }
  if (id.empty() || id[0] == '.') id.insert(id.begin(), 'g');
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return id + "-" + std::string(hex, 12);
}

std::string ChooseSaveFolder(const std::string& dataDir, bool installed,
                             const std::string& saveDirOption, const char* xdgDataHome,
                             const char* home) {
  if (!saveDirOption.empty()) return saveDirOption;
  if (!installed && access(dataDir.c_str(), W_OK) == 0) return {};
  std::string base;
  // A relative XDG_DATA_HOME is invalid and ignored, as the XDG base directories require.
  if (xdgDataHome && xdgDataHome[0] == '/') {
    base = xdgDataHome;
  } else if (home && *home) {
    base = std::string(home) + "/.local/share";
  } else {
    return {};
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/quillfen/" + GameId(dataDir);
}

bool ReadHostFile(const std::string& path, std::vector<uint8_t>& out) {
  return ReadHostFile(path, out, SizeBoundOf(path));
}

bool ReadHostFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
  // Not blocking: a FIFO or a device under a game file's name must fail the
  // load like a missing file, not hang the game in open.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      static_cast<uint64_t>(st.st_size) > maxBytes) {
    close(fd);
    return false;
  }
  out.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  out.resize(got);
  return true;
}

plat::WriteResult DataDirectory::Write(const char* nameSjis, const void* data, size_t size) const {
  std::string path;
  if (!Resolve(nameSjis, path)) return plat::WriteResult::CreateFailed;
  // Written beside the target and renamed over it, so a crash or a full disk
  // never leaves a half-written file where the old one was.
  const std::string temp = TemporaryName(path, static_cast<long>(getpid()));
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return plat::WriteResult::CreateFailed;
  const auto* bytes = static_cast<const uint8_t*>(data);
  const SlowWrites& slow = slowWrites();
  size_t done = 0;
  while (done < size) {
    size_t want = size - done;
    if (slow.pause) {
      usleep(slow.pause);
      want = std::min(want, slow.piece);
    }
    const ssize_t n = write(fd, bytes + done, want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (slow.pause) usleep(slow.pause);
  // On the disk before the rename, and the rename on the disk before we say
  // it is done: after a power cut the name holds the old file or the new.
  const bool flushed = fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (done < size || !flushed || !closed || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return plat::WriteResult::ShortWrite;
  }
  const size_t slash = path.rfind('/');
  SyncFolder(slash == std::string::npos ? std::string(".") : path.substr(0, slash));
  return plat::WriteResult::Ok;
}

bool DataDirectory::Remove(const char* nameSjis) const {
  std::string path;
  return Resolve(nameSjis, path) && unlink(path.c_str()) == 0;
}

bool DataDirectory::ResetAttributes(const char* nameSjis) const {
  std::string path;
  struct stat st;
  if (!Resolve(nameSjis, path) || stat(path.c_str(), &st) != 0) return false;
  return chmod(path.c_str(), (st.st_mode & 07777) | S_IRUSR | S_IWUSR) == 0;
}

bool DataDirectory::MakeFolder(const char* nameSjis) const {
  std::string path;
  if (!Resolve(nameSjis, path)) return false;
  return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool DataDirectory::WriteTime(const char* nameSjis, bool utc, plat::CalendarTime& out) const {
  std::string path;
  struct stat st;
  if (!Resolve(nameSjis, path) || stat(path.c_str(), &st) != 0) return false;
  out = BreakDown(static_cast<int64_t>(st.st_mtime), utc);
  return true;
}

uint64_t MonotonicMillis() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

int64_t UnixSeconds() { return static_cast<int64_t>(::time(nullptr)); }

plat::CalendarTime BreakDown(int64_t unixSeconds, bool utc) {
  const time_t v = static_cast<time_t>(unixSeconds);
  tm t{};
  if (utc) {
    gmtime_r(&v, &t);
  } else {
    localtime_r(&v, &t);
  }
  return FromTm(t);
}

bool Normalise(plat::CalendarTime& c, bool utc) {
  tm t = ToTm(c);
  const time_t v = utc ? timegm(&t) : mktime(&t);
  // The game's calendar starts where the runtime's does.
  if (v == static_cast<time_t>(-1) || v < 0) return false;
  c = BreakDown(static_cast<int64_t>(v), utc);
  return true;
}

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace posix
