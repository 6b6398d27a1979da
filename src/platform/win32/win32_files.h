// The game's files on Windows. Names arrive as the game keeps them, code page
// 932 with backslashes, and are converted explicitly to UTF-16 for the wide
// file functions: the ANSI code page of the machine is not 932 on most
// Windows installations (nor under Wine in the C locale), and the "A"
// functions would turn every two-byte name into rubbish there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace win32 {

// Code page 932 to UTF-16; false when the bytes are no code-page-932 text.
bool SjisToWide(std::string_view sjis, std::wstring& out);
// UTF-16 to code page 932; false when a character has no code-page-932 form.
bool WideToSjis(std::wstring_view wide, std::string& out);
// For diagnostics on a UTF-8 console or log: bad bytes become U+FFFD.
std::string SjisToUtf8(std::string_view sjis);

// The data directory and the game's names in it. A name that is absolute,
// carries a drive or a stream (":"), or steps up with ".." is refused: game
// content must not reach outside its folder. Windows itself matches names
// without regard to case, as the game has always relied on.
class DataFolder {
 public:
  explicit DataFolder(std::wstring root = L".");
  const std::wstring& Root() const { return root_; }

  // Host path of a game file name; false (with a reason) when refused.
  bool Resolve(const char* nameSjis, std::wstring& hostPath, std::string* why = nullptr) const;

  bool Read(const char* nameSjis, std::vector<uint8_t>& out) const;
  // The first maxBytes bytes (all of the file when shorter); the rest is not
  // read, and the kind's bound does not apply.
  bool ReadHead(const char* nameSjis, std::vector<uint8_t>& out, uint64_t maxBytes) const;
  bool Exists(const char* nameSjis) const;
  // Written beside the target and moved over it, so that a reader (or the
  // next start after a crash) sees the old file or the new, never half.
  plat::WriteResult Write(const char* nameSjis, const void* data, size_t size) const;
  bool Remove(const char* nameSjis) const;
  bool ResetAttributes(const char* nameSjis) const;
  bool MakeFolder(const char* nameSjis) const;
  // Last write time as the C runtime's local calendar time.
  bool WriteTime(const char* nameSjis, plat::CalendarTime& out, bool utc = false) const;

 private:
  bool ReadUpTo(const char* nameSjis, std::vector<uint8_t>& out, uint64_t maxBytes,
                bool whole) const;

  std::wstring root_;
};

// One copy of the game at a time on a folder: "quillfen.lock" in it, opened
// for writing without sharing and kept open for the rest of the run; the
// system closes it when the process ends, however it ends. Busy: another
// copy has it open. Unavailable: it could not be made (the folder is not
// writable, which fails the game's writes anyway).
enum class LockState { Held, Busy, Unavailable };
LockState OpenFolderLock(const std::wstring& folder, void*& handle);
void CloseFolderLock(void*& handle);

class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() { CloseFolderLock(handle_); }
  LockState Take(const std::wstring& folder) {
    if (handle_) return LockState::Held;
    return OpenFolderLock(folder, handle_);
  }

 private:
  void* handle_ = nullptr;
};

// The C runtime's calendar (local or UTC), in the nine fields the game keeps.
plat::CalendarTime BreakDown(int64_t unixSeconds, bool utc);
bool Normalise(plat::CalendarTime& t, bool utc);

// Folder of the running executable (UTF-16), without a trailing backslash.
std::wstring ExecutableFolder();

}  // namespace win32
