#include "platform/posix/host_files.h"

#include <fcntl.h>
#include <iconv.h>
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
#include "platform/posix/fs_routing.h"
#include "platform/posix/size_bound.h"

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

// The folders in a writable root that the game itself makes and writes into;
// the clean-up looks nowhere else, and never below them.
constexpr const char* kGameFolders[] = {"save", "screenshots"};

// Makes a rename inside folder survive a crash of the machine.
void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
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
  // push_back rather than an assignment of "." that GCC 12 warns of wrongly
  // (bug 105329) once this is inlined.
  if (root_.empty()) root_.push_back('.');
}

bool DataDirectory::Resolve(const char* nameSjis, std::string& hostPath, std::string* why) const {
  return ResolveUnder(root_, nameSjis, hostPath, why);
}

bool DataDirectory::Read(const char* nameSjis, std::vector<uint8_t>& out) const {
  std::string path;
  return Resolve(nameSjis, path) && ReadHostFile(path, out);
}

bool DataDirectory::Exists(const char* nameSjis) const {
  std::string path;
  return Resolve(nameSjis, path) && PathExists(path);
}

void DataDirectory::RemoveStaleTemporaries() const {
  RemoveTemporariesIn(root_);
  for (const char* folder : kGameFolders) {
    std::string path;
    if (Resolve(folder, path)) RemoveTemporariesIn(path);
  }
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

namespace {

// A regular file's first maxBytes bytes; when whole, a longer file is
// refused instead, before any memory is set aside for it.
bool ReadRegularFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes,
                     bool whole) {
  // Not blocking: a FIFO or a device under a game file's name must fail the
  // load like a missing file, not hang the game in open.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      (whole && static_cast<uint64_t>(st.st_size) > maxBytes)) {
    close(fd);
    return false;
  }
  out.resize(static_cast<size_t>(std::min(static_cast<uint64_t>(st.st_size), maxBytes)));
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

}  // namespace

bool ReadHostFile(const std::string& path, std::vector<uint8_t>& out) {
  return ReadRegularFile(path, out, SizeBoundOf(path), true);
}

bool ReadHostFileHead(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
  return ReadRegularFile(path, out, maxBytes, false);
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
