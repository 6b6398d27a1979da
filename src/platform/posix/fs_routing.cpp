#include "platform/posix/fs_routing.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/sjis.h"

namespace posix {
namespace fs = std::filesystem;
namespace {

// Host paths travel as UTF-8 strings; on Windows the path holds UTF-16.
fs::path PathOf(const std::string& utf8) {
#ifdef _WIN32
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return fs::path(utf8);
#endif
}

std::string Utf8Of(const fs::path& path) {
#ifdef _WIN32
  const std::u8string u = path.u8string();
  return std::string(u.begin(), u.end());
#else
  return path.native();
#endif
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

bool IsRefusedComponent(const std::string& part) {
  return part == ".." || part.find(':') != std::string::npos;
}

// The entry of folder whose name equals name ignoring ASCII case.
bool FindCaseInsensitive(const std::string& folder, const std::string& name, std::string& found) {
  std::error_code ec;
  for (fs::directory_iterator it(PathOf(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = Utf8Of(it->path().filename());
    if (SameIgnoringAsciiCase(entry, name)) {
      found = entry;
      return true;
    }
  }
  return false;
}

// Whether path stays in root, judged by its deepest part that exists below
// root: the parts under it do not exist yet and so cannot lead anywhere
// else. A root that does not exist holds nothing to leave.
bool StaysInside(const std::string& path, const std::string& root) {
  std::error_code ec;
  const fs::path rootReal = fs::canonical(PathOf(root), ec);
  if (ec) return true;
  const size_t keep = PathOf(root).native().size();
  fs::path probe = PathOf(path);
  for (;;) {
    const fs::path real = fs::canonical(probe, ec);
    if (!ec) {
      return std::mismatch(rootReal.begin(), rootReal.end(), real.begin(), real.end()).first ==
             rootReal.end();
    }
    fs::path parent = probe.parent_path();
    if (probe.native().size() <= keep || parent.native().size() >= probe.native().size())
      return false;
    probe = std::move(parent);
  }
}

constexpr const char kTemporaryTag[] = ".quillfen-";
constexpr const char kTemporaryEnd[] = ".tmp";

}  // namespace

bool ResolveUnder(const std::string& root, const char* nameSjis, std::string& hostPath,
                  std::string* why) {
  auto refuse = [&](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  const std::vector<std::string> parts = sjis::SplitPath(nameSjis);
  if (parts.size() > 1 && parts.front().empty()) return refuse("absolute path");
  std::string path = root;
  size_t used = 0;
  for (const std::string& part : parts) {
    if (part.empty() || part == ".") continue;
    if (IsRefusedComponent(part)) return refuse("outside the data directory");
    const std::string utf8 = SjisToUtf8(part);
    std::string candidate = path;
    candidate += '/';
    candidate += utf8;
    std::string found;
    if (!PathExists(candidate) && FindCaseInsensitive(path, utf8, found)) {
      candidate = path;
      candidate += '/';
      candidate += found;
    }
    path = std::move(candidate);
    ++used;
  }
  if (used == 0) return refuse("empty name");
  // A symbolic link inside the folder may lead out of it as ".." would.
  if (!StaysInside(path, root)) return refuse("outside the data directory");
  hostPath = std::move(path);
  return true;
}

bool PathExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(PathOf(path), ec));
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(PathOf(path), ec);
}

bool MakePrivateFolders(const std::string& path) {
  // From below the root: a drive ("C:") is no folder that could be made.
  const fs::path target = PathOf(path);
  fs::path made = target.root_path();
  for (const fs::path& part : target.relative_path()) {
    made /= part;
    std::error_code ec;
    // Private: the player's saves are nobody else's business.
    if (fs::create_directory(made, ec)) fs::permissions(made, fs::perms::owner_all, ec);
    if (ec && !fs::is_directory(made, ec)) return false;
  }
  return true;
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

void RemoveTemporariesIn(const std::string& folder) {
  std::error_code ec;
  if (fs::symlink_status(PathOf(folder), ec).type() != fs::file_type::directory) return;
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(PathOf(folder), ec), end; !ec && it != end; it.increment(ec)) {
    long pid = 0;
    std::error_code typeError;
    if (IsTemporaryName(Utf8Of(it->path().filename()).c_str(), pid) &&
        it->symlink_status(typeError).type() == fs::file_type::regular)
      stale.push_back(it->path());
  }
  for (const fs::path& path : stale) fs::remove(path, ec);
}

// --- the save-folder routing --------------------------------------------------

GameFiles::GameFiles(std::string dataRoot, std::string saveRoot)
    : data_(std::move(dataRoot)), saved_(!saveRoot.empty()) {
  if (saved_) save_ = DataDirectory(std::move(saveRoot));
}

const DataDirectory* GameFiles::Holder(const char* nameSjis, std::string& hostPath,
                                       std::string* why) const {
  if (saved_) {
    if (!save_.Resolve(nameSjis, hostPath, why)) return nullptr;
    if (PathExists(hostPath)) return &save_;
  }
  return data_.Resolve(nameSjis, hostPath, why) ? &data_ : nullptr;
}

bool GameFiles::Resolve(const char* nameSjis, std::string& hostPath, std::string* why) const {
  std::string path;
  if (!Holder(nameSjis, path, why)) return false;
  hostPath = std::move(path);
  return true;
}

bool GameFiles::Read(const char* nameSjis, std::vector<uint8_t>& out) const {
  std::string path;
  return Holder(nameSjis, path, nullptr) && ReadHostFile(path, out);
}

bool GameFiles::Exists(const char* nameSjis) const {
  std::string path;
  return Holder(nameSjis, path, nullptr) && PathExists(path);
}

bool GameFiles::WriteTime(const char* nameSjis, bool utc, plat::CalendarTime& out) const {
  std::string path;
  const DataDirectory* holder = Holder(nameSjis, path, nullptr);
  return holder && holder->WriteTime(nameSjis, utc, out);
}

bool GameFiles::MakeSaveRoot() const { return !saved_ || MakePrivateFolders(save_.Root()); }

void GameFiles::MirrorFolders(const char* nameSjis) const {
  const std::vector<std::string> parts = sjis::SplitPath(nameSjis);
  std::string prefix;
  std::string path;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (!prefix.empty()) prefix += '\\';
    prefix += parts[i];
    if (parts[i].empty() || !data_.Resolve(prefix.c_str(), path) || !IsFolder(path)) return;
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

void GameFiles::RemoveStaleTemporaries() const { Writable().RemoveStaleTemporaries(); }

// --- the save-folder choice ---------------------------------------------------

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
  std::error_code ec;
  std::string path = Utf8Of(fs::canonical(PathOf(dataDir), ec));
  if (ec || path.empty()) path = dataDir;
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
    if (!SameIgnoringAsciiCase(name, "data")) break;
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

}  // namespace posix
