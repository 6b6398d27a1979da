#include "platform/win32/win32_files.h"

#include <windows.h>

#include <algorithm>
#include <ctime>

#include "platform/posix/calendar_fields.h"
#include "platform/posix/size_bound.h"
#include "platform/sjis.h"

namespace win32 {

namespace {

constexpr UINT kCodePage932 = 932;

bool IsRefusedComponent(const std::string& part) {
  return part == ".." || part.find(':') != std::string::npos;
}

struct Handle {
  HANDLE h;
  explicit Handle(HANDLE handle) : h(handle) {}
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Valid() const { return h != INVALID_HANDLE_VALUE; }
  bool Close() {
    const bool ok = CloseHandle(h) != 0;
    h = INVALID_HANDLE_VALUE;
    return ok;
  }
};

}  // namespace

bool SjisToWide(std::string_view sjis, std::wstring& out) {
  out.clear();
  if (sjis.empty()) return true;
  const int n = MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, sjis.data(),
                                    static_cast<int>(sjis.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  return MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, sjis.data(),
                             static_cast<int>(sjis.size()), out.data(), n) == n;
}

bool WideToSjis(std::wstring_view wide, std::string& out) {
  out.clear();
  if (wide.empty()) return true;
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(kCodePage932, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return false;
  out.resize(static_cast<size_t>(n));
  return WideCharToMultiByte(kCodePage932, 0, wide.data(), static_cast<int>(wide.size()),
                             out.data(), n, nullptr, &lossy) == n &&
         !lossy;
}

std::string SjisToUtf8(std::string_view sjis) {
  // Character by character, so that bytes which are no character become
  // U+FFFD as on Linux; Windows' own table would give a lone lead byte the
  // middle dot and a few single bytes private-use characters.
  std::wstring wide;
  for (size_t i = 0; i < sjis.size();) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    const size_t len = sjis::IsLeadByte(c) ? 2 : 1;
    std::wstring one;
    const bool pua = len == 1 && (c == 0x80 || c == 0xA0 || c >= 0xFD);
    if (i + len > sjis.size() || pua || !SjisToWide(sjis.substr(i, len), one) || one.empty()) {
      wide += L'\xFFFD';
      i += 1;
    } else {
      wide += one;
      i += len;
    }
  }
  if (wide.empty()) return {};
  const int n = static_cast<int>(wide.size());
  const int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(m > 0 ? m : 0), '\0');
  if (m > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
  return out;
}

DataFolder::DataFolder(std::wstring root) : root_(std::move(root)) {
  if (root_.empty()) root_ = L".";
  while (root_.size() > 1 && (root_.back() == L'\\' || root_.back() == L'/')) root_.pop_back();
}

bool DataFolder::Resolve(const char* nameSjis, std::wstring& hostPath, std::string* why) const {
  auto refuse = [&](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  if (!nameSjis) return refuse("empty name");
  const std::vector<std::string> parts = sjis::SplitPath(nameSjis);
  if (parts.size() > 1 && parts.front().empty()) return refuse("absolute path");
  std::wstring path = root_;
  size_t used = 0;
  for (const std::string& part : parts) {
    if (part.empty() || part == ".") continue;
    if (IsRefusedComponent(part)) return refuse("outside the data directory");
    std::wstring wide;
    if (!SjisToWide(part, wide)) return refuse("not code page 932");
    path += L'\\';
    path += wide;
    ++used;
  }
  if (used == 0) return refuse("empty name");
  hostPath = std::move(path);
  return true;
}

bool DataFolder::Read(const char* nameSjis, std::vector<uint8_t>& out) const {
  return ReadUpTo(nameSjis, out, posix::SizeBoundOf(nameSjis ? nameSjis : ""), true);
}

bool DataFolder::ReadHead(const char* nameSjis, std::vector<uint8_t>& out,
                          uint64_t maxBytes) const {
  return ReadUpTo(nameSjis, out, maxBytes, false);
}

// When whole, a file longer than maxBytes is refused before any memory is
// set aside for it; otherwise only its first maxBytes bytes are read.
bool DataFolder::ReadUpTo(const char* nameSjis, std::vector<uint8_t>& out, uint64_t maxBytes,
                          bool whole) const {
  std::wstring path;
  if (!Resolve(nameSjis, path)) return false;
  Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid() || GetFileType(file.h) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.h, &size) || size.QuadPart < 0 ||
      (whole && static_cast<uint64_t>(size.QuadPart) > maxBytes))
    return false;
  out.resize(static_cast<size_t>(std::min(static_cast<uint64_t>(size.QuadPart), maxBytes)));
  size_t got = 0;
  while (got < out.size()) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - got, 1u << 20));
    if (!ReadFile(file.h, out.data() + got, want, &n, nullptr) || n == 0) break;
    got += n;
  }
  out.resize(got);
  return true;
}

bool DataFolder::Exists(const char* nameSjis) const {
  std::wstring path;
  return Resolve(nameSjis, path) && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

plat::WriteResult DataFolder::Write(const char* nameSjis, const void* data, size_t size) const {
  std::wstring path;
  if (!Resolve(nameSjis, path)) return plat::WriteResult::CreateFailed;
  const std::wstring temp = path + L".tmp" + std::to_wstring(GetCurrentProcessId());
  Handle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return plat::WriteResult::CreateFailed;
  const auto* bytes = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < size) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 20));
    if (!WriteFile(file.h, bytes + done, want, &n, nullptr) || n == 0) break;
    done += n;
  }
  // On the disk before the move, and the move on the disk before we say it
  // is done: after a power cut the name holds the old file or the new.
  const bool flushed = FlushFileBuffers(file.h) != 0;
  const bool closed = file.Close();
  if (done < size || !flushed || !closed ||
      !MoveFileExW(temp.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp.c_str());
    return plat::WriteResult::ShortWrite;
  }
  return plat::WriteResult::Ok;
}

LockState OpenFolderLock(const std::wstring& folder, void*& handle) {
  handle = nullptr;
  const std::wstring path = folder + L"\\quillfen.lock";
  // Never deleted: the next copy opens the same file and so finds it busy.
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION ? LockState::Busy
                                                                     : LockState::Unavailable;
  }
  handle = h;
  return LockState::Held;
}

void CloseFolderLock(void*& handle) {
  if (handle) CloseHandle(static_cast<HANDLE>(handle));
  handle = nullptr;
}

bool DataFolder::Remove(const char* nameSjis) const {
  std::wstring path;
  return Resolve(nameSjis, path) && DeleteFileW(path.c_str()) != 0;
}

bool DataFolder::ResetAttributes(const char* nameSjis) const {
  std::wstring path;
  return Resolve(nameSjis, path) && SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

bool DataFolder::MakeFolder(const char* nameSjis) const {
  std::wstring path;
  if (!Resolve(nameSjis, path)) return false;
  return CreateDirectoryW(path.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool DataFolder::WriteTime(const char* nameSjis, plat::CalendarTime& out, bool utc) const {
  std::wstring path;
  if (!Resolve(nameSjis, path)) return false;
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)) return false;
  // FILETIME counts 100 ns steps from 1601; the runtime's calendar counts
  // seconds from 1970.
  const uint64_t ticks =
      (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
  constexpr uint64_t kTicksTo1970 = 116444736000000000ull;
  if (ticks < kTicksTo1970) return false;
  out = BreakDown(static_cast<int64_t>((ticks - kTicksTo1970) / 10000000u), utc);
  return true;
}

plat::CalendarTime BreakDown(int64_t unixSeconds, bool utc) {
  const __time64_t v = unixSeconds;
  tm t{};
  if ((utc ? _gmtime64_s(&t, &v) : _localtime64_s(&t, &v)) != 0) return {};
  return posix::FromTm(t);
}

bool Normalise(plat::CalendarTime& c, bool utc) {
  tm t = posix::ToTm(c);
  const __time64_t v = utc ? _mkgmtime64(&t) : _mktime64(&t);
  // The game's calendar starts where the runtime's does.
  if (v < 0) return false;
  c = BreakDown(static_cast<int64_t>(v), utc);
  return true;
}

std::wstring ExecutableFolder() {
  std::wstring path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (n == 0 || n >= path.size()) return L".";
  path.resize(n);
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

}  // namespace win32
