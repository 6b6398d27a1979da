// What the headless backend takes from the POSIX layer, made of Windows parts
// for the Windows build of the tests: files through the wide functions with
// code-page-932 names, text through GDI (or the built-in face), the runtime's
// calendar, and no synthesiser (a headless run on Windows renders its waves
// only).
#include "platform/win32/headless_support.h"

#include <windows.h>

#include <ctime>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/posix/fluid_synth.h"
#include "platform/posix/fonts.h"
#include "platform/posix/glyphs.h"
#include "platform/posix/host_files.h"
#include "platform/win32/gdi_text.h"
#include "platform/win32/win32_files.h"

namespace win32 {

std::wstring WideOfUtf8(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8OfWide(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

}  // namespace win32

namespace {

using win32::Utf8OfWide;
using win32::WideOfUtf8;

win32::DataFolder FolderOf(const std::string& rootUtf8) {
  return win32::DataFolder(WideOfUtf8(rootUtf8));
}

}  // namespace

namespace posix {

std::string SjisToUtf8(std::string_view sjis) { return win32::SjisToUtf8(sjis); }

bool Utf8ToSjis(std::string_view utf8, std::string& out) {
  return win32::WideToSjis(WideOfUtf8(std::string(utf8)), out);
}

DataDirectory::DataDirectory(std::string root) : root_(std::move(root)) {
  if (root_.empty()) root_.push_back('.');
}

bool DataDirectory::Resolve(const char* nameSjis, std::string& hostPath, std::string* why) const {
  std::wstring wide;
  if (!FolderOf(root_).Resolve(nameSjis, wide, why)) return false;
  hostPath = Utf8OfWide(wide);
  return true;
}

bool DataDirectory::Read(const char* nameSjis, std::vector<uint8_t>& out) const {
  return FolderOf(root_).Read(nameSjis, out);
}

bool DataDirectory::Exists(const char* nameSjis) const { return FolderOf(root_).Exists(nameSjis); }

plat::WriteResult DataDirectory::Write(const char* nameSjis, const void* data, size_t size) const {
  return FolderOf(root_).Write(nameSjis, data, size);
}

bool DataDirectory::Remove(const char* nameSjis) const { return FolderOf(root_).Remove(nameSjis); }

bool DataDirectory::ResetAttributes(const char* nameSjis) const {
  return FolderOf(root_).ResetAttributes(nameSjis);
}

bool DataDirectory::MakeFolder(const char* nameSjis) const {
  return FolderOf(root_).MakeFolder(nameSjis);
}

bool DataDirectory::WriteTime(const char* nameSjis, bool utc, plat::CalendarTime& out) const {
  return FolderOf(root_).WriteTime(nameSjis, out, utc);
}

// Writes that a kill interrupted are the POSIX build's concern: a Windows
// process that dies leaves its temporary beside the target, which the next
// write of the same name replaces.
void DataDirectory::RemoveStaleTemporaries() const {}

FolderLock::~FolderLock() {
  void* h = reinterpret_cast<void*>(handle_);
  if (handle_ != -1) win32::CloseFolderLock(h);
}

FolderLock::State FolderLock::Take(const std::string& folder) {
  if (handle_ != -1 && folder == folder_) return State::Held;
  void* h = handle_ != -1 ? reinterpret_cast<void*>(handle_) : nullptr;
  win32::CloseFolderLock(h);
  handle_ = -1;
  const win32::LockState state = win32::OpenFolderLock(WideOfUtf8(folder), h);
  if (state != win32::LockState::Held)
    return state == win32::LockState::Busy ? State::Busy : State::Unavailable;
  handle_ = reinterpret_cast<intptr_t>(h);
  folder_ = folder;
  return State::Held;
}

namespace {

// The host path as the folder and the Shift-JIS name that DataFolder reads.
bool SplitHostPath(const std::string& path, std::wstring& folder, std::string& name) {
  const std::wstring wide = WideOfUtf8(path);
  const size_t slash = wide.find_last_of(L"\\/");
  folder = slash == std::wstring::npos ? L"." : wide.substr(0, slash);
  return win32::WideToSjis(slash == std::wstring::npos ? wide : wide.substr(slash + 1), name);
}

}  // namespace

bool ReadHostFile(const std::string& path, std::vector<uint8_t>& out) {
  std::wstring folder;
  std::string name;
  return SplitHostPath(path, folder, name) && win32::DataFolder(folder).Read(name.c_str(), out);
}

bool ReadHostFileHead(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
  std::wstring folder;
  std::string name;
  return SplitHostPath(path, folder, name) &&
         win32::DataFolder(folder).ReadHead(name.c_str(), out, maxBytes);
}

uint64_t MonotonicMillis() { return GetTickCount64(); }

int64_t UnixSeconds() { return static_cast<int64_t>(_time64(nullptr)); }

plat::CalendarTime BreakDown(int64_t unixSeconds, bool utc) {
  return win32::BreakDown(unixSeconds, utc);
}

bool Normalise(plat::CalendarTime& c, bool utc) { return win32::Normalise(c, utc); }

std::string ExecutableFolder() { return Utf8OfWide(win32::ExecutableFolder()); }

// --- text: GDI for the named faces, the built-in face for tests ---------------

struct FontBook::Face {};

struct FontBook::Font {
  plat::FontHandle gdi = 0;  // 0: the built-in face
  int pixelHeight = 0;
  std::string face;
  std::unordered_map<uint32_t, Glyph> cache;
};

namespace {
win32::GdiText& Gdi() {
  static win32::GdiText text;
  return text;
}
}  // namespace

FontBook::FontBook(bool builtinOnly) : builtinOnly_(builtinOnly) {}

FontBook::~FontBook() {
  for (auto& [h, font] : fonts_) {
    if (font->gdi) Gdi().Delete(font->gdi);
  }
}

plat::FontHandle FontBook::Make(const char* faceSjis, int pixelHeight, int weight) {
  auto font = std::make_unique<Font>();
  font->pixelHeight = std::max(pixelHeight, 1);
  if (!builtinOnly_) {
    font->gdi = Gdi().Make(faceSjis, font->pixelHeight, weight);
    font->face = Gdi().FamilyOf(font->gdi);
  }
  const plat::FontHandle handle = next_++;
  fonts_[handle] = std::move(font);
  return handle;
}

void FontBook::Delete(plat::FontHandle handle) {
  auto it = fonts_.find(handle);
  if (it == fonts_.end()) return;
  if (it->second->gdi) Gdi().Delete(it->second->gdi);
  fonts_.erase(it);
}

std::string FontBook::FileOf(plat::FontHandle handle) const {
  auto it = fonts_.find(handle);
  if (it == fonts_.end() || !it->second->gdi) return "builtin";
  return it->second->face;
}

const FontBook::Glyph& FontBook::GlyphOf(Font& font, const char* ch, int len) {
  const uint32_t key = len == 1 ? static_cast<unsigned char>(ch[0])
                                : (static_cast<uint32_t>(static_cast<unsigned char>(ch[0])) << 8 |
                                   static_cast<unsigned char>(ch[1])) |
                                      0x10000u;
  auto it = font.cache.find(key);
  if (it != font.cache.end()) return it->second;
  Glyph g;
  win32::GdiText::Glyph drawn;
  if (!font.gdi) {
    g = BuiltinGlyph(ch, len, font.pixelHeight);
  } else if (Gdi().Render(font.gdi, ch, len, drawn)) {
    g.advance = drawn.advance;
    g.width = drawn.width;
    g.height = drawn.height;
    g.ink = std::move(drawn.ink);
  }
  return font.cache.emplace(key, std::move(g)).first->second;
}

// --- no synthesiser -----------------------------------------------------------

std::string FindSoundFont(std::string& problem) {
  problem = "no synthesiser in the Windows build: music is left out of the rendering";
  return {};
}

// Nothing was made to free; the Linux destructor frees the synthesiser.
FluidSynthOut::~FluidSynthOut() {
  synth_ = nullptr;
  settings_ = nullptr;
}
bool FluidSynthOut::Open(const std::string&, int, float, std::string& error) {
  error = "no synthesiser in the Windows build";
  return false;
}
void FluidSynthOut::ShortMessage(uint32_t) {}
void FluidSynthOut::LongMessage(const uint8_t*, size_t) {}
void FluidSynthOut::Reset() {}
void FluidSynthOut::SystemReset() {}
void FluidSynthOut::SetVolume(float factor) { volume_ = factor; }
void FluidSynthOut::Render(float* left, float* right, int frames) {
  std::fill_n(left, frames, 0.0f);
  std::fill_n(right, frames, 0.0f);
}

}  // namespace posix
