#include "streams/streams.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "platform/sjis.h"
#include "streams/gplp.h"
#include "streams/resources.h"

namespace {

// The runtime's text mode on reading: CR LF becomes LF.
std::vector<uint8_t> FromTextMode(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    out.push_back(raw[i]);
  }
  return out;
}

std::vector<uint8_t> ToTextMode(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  out.reserve(data.size() + data.size() / 16);
  for (uint8_t c : data) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

// Bytes available from pos in a buffer of size, 0 when pos is outside it.
size_t Available(int64_t pos, size_t size) {
  if (pos < 0 || static_cast<uint64_t>(pos) >= size) return 0;
  return size - static_cast<size_t>(pos);
}

// Copies size bytes from pos; what lies past the end reads as zero. Returns
// the bytes that came from the data.
size_t CopyOut(const uint8_t* data, size_t dataSize, int64_t& pos, void* buffer, size_t size) {
  const size_t n = std::min(size, Available(pos, dataSize));
  if (n) std::memcpy(buffer, data + pos, n);
  if (size > n) std::memset(static_cast<uint8_t*>(buffer) + n, 0, size - n);
  pos += static_cast<int64_t>(n);
  return n;
}

// One line as fgets takes it: up to size - 1 bytes, through the line feed.
// A NUL byte also ends the line (and is consumed) since resources and
// decoded members may hold them.
int CopyLine(const uint8_t* data, size_t dataSize, int64_t& pos, char* buffer, size_t size) {
  if (size == 0 || Available(pos, dataSize) == 0) return 0;
  size_t n = 0;
  while (n + 1 < size && Available(pos, dataSize)) {
    const uint8_t c = data[pos++];
    if (c == 0) break;
    buffer[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[n] = '\0';
  return 1;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  if (at + 4 > b.size()) return 0;
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

}  // namespace

// --- DiskStream --------------------------------------------------------------

DiskStream::~DiskStream() { DiskStream::Close(); }

int DiskStream::Open(const char* name, int mode) {
  Close();
  const bool read = mode == kModeText || mode == kModeBinary;
  const bool write = mode == kModeWriteText || mode == kModeWriteBinary;
  const bool append = mode == kModeAppendText || mode == kModeAppendBinary;
  if (!read && !write && !append) return 0;
  if (!name || !*name) {  // tmpfile: an anonymous read-write file
    anonymous_ = writable_ = open_ = true;
    name_.clear();
    return 1;
  }
  auto& h = plat::host();
  text_ = mode == kModeText || mode == kModeWriteText || mode == kModeAppendText;
  std::vector<uint8_t> raw;
  if (read || append) {
    const bool found = h.ReadWholeFile(name, raw);
    if (!found && read) return 0;
  }
  if (write || append) {
    // fopen creates (or, for "w", truncates) the file at once.
    if (h.WriteWholeFile(name, raw.data(), raw.size()) != plat::WriteResult::Ok) return 0;
  }
  data_ = text_ ? FromTextMode(raw) : std::move(raw);
  writable_ = write || append;
  appending_ = append;
  name_ = name;
  open_ = true;
  pos_ = 0;
  return 1;
}

void DiskStream::Flush() {
  if (!open_ || !writable_ || anonymous_ || !plat::HasHost()) return;
  if (text_) {
    const auto raw = ToTextMode(data_);
    plat::host().WriteWholeFile(name_.c_str(), raw.data(), raw.size());
  } else {
    plat::host().WriteWholeFile(name_.c_str(), data_.data(), data_.size());
  }
}

void DiskStream::Close() {
  Flush();
  open_ = text_ = writable_ = appending_ = anonymous_ = false;
  data_.clear();
  data_.shrink_to_fit();
  pos_ = 0;
}

int DiskStream::ReadTextLine(char* buffer, size_t size) {
  if (!open_) return 0;
  if (size == 0 || Available(pos_, data_.size()) == 0) return 0;
  size_t n = 0;
  while (n + 1 < size && Available(pos_, data_.size())) {
    const uint8_t c = data_[pos_++];
    buffer[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[n] = '\0';
  return 1;
}

int DiskStream::Read(void* buffer, size_t size) {
  if (!open_ || size == 0) return 0;
  const size_t n = std::min(size, Available(pos_, data_.size()));
  if (n) std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += static_cast<int64_t>(n);
  return n == size ? 1 : 0;
}

int DiskStream::Write(const void* buffer, size_t size) {
  if (!open_ || !writable_ || size == 0) return 0;
  if (appending_) pos_ = static_cast<int64_t>(data_.size());
  const size_t end = static_cast<size_t>(pos_) + size;
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + pos_, buffer, size);
  pos_ = static_cast<int64_t>(end);
  return 1;
}

int DiskStream::Seek(int64_t offset, int origin) {
  if (!open_) return 1;
  int64_t base = 0;
  if (origin == kSeekCur)
    base = pos_;
  else if (origin == kSeekEnd)
    base = static_cast<int64_t>(data_.size());
  else if (origin != kSeekSet)
    return 1;
  // fseek refuses a position before the start and leaves the old one.
  if (base + offset >= 0) pos_ = base + offset;
  return 1;
}

int64_t DiskStream::Tell() { return open_ ? pos_ : 0; }

int64_t DiskStream::Size() {
  if (!open_) return 0;
  const int64_t here = Tell();
  Seek(0, kSeekEnd);
  const int64_t size = Tell();
  Seek(here, kSeekSet);
  return size;
}

void DiskStream::SetType(uintptr_t type) {
  if (type <= kMaxIntResource) {
    typeId_ = type;
    typeName_.clear();
  } else {
    typeId_ = 0;
    typeName_ = reinterpret_cast<const char*>(type);
  }
}

void DiskStream::SetName(const char* name) { name_ = name ? name : ""; }

// --- ResourceStream ----------------------------------------------------------

ResourceStream::~ResourceStream() { ResourceStream::Close(); }

int ResourceStream::Open(const char* name, int /*mode: resources are read-only*/) {
  Close();
  if (!name) return 0;
  const ProgramResource* r =
      FindProgramResource(name, typeId_, typeName_.empty() ? nullptr : typeName_.c_str());
  if (!r) return 0;
  handle_ = r;
  data_ = r->data;
  size_ = r->data ? r->size : 0;
  pos_ = 0;
  name_ = name;
  return 1;
}

void ResourceStream::Close() {
  handle_ = nullptr;
  data_ = nullptr;
  size_ = 0;
  pos_ = 0;
}

int ResourceStream::ReadTextLine(char* buffer, size_t size) {
  return CopyLine(data_, size_, pos_, buffer, size);
}

int ResourceStream::Read(void* buffer, size_t size) {
  return static_cast<int>(CopyOut(data_, size_, pos_, buffer, size));
}

int ResourceStream::Seek(int64_t offset, int origin) {
  if (origin == kSeekSet)
    pos_ = offset;
  else if (origin == kSeekCur)
    pos_ += offset;
  else if (origin == kSeekEnd)
    pos_ = static_cast<int64_t>(size_) + offset;
  return 1;
}

int64_t ResourceStream::Tell() { return pos_; }

// --- PackedStream ------------------------------------------------------------

std::string PackedAlternativeName(const char* name) {
  std::string s = name ? name : "";
  long dot = -1;
  for (size_t i = 0; i < s.size(); ++i) {
    if (sjis::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
      ++i;  // the trail byte is never a "."
      continue;
    }
    if (s[i] == '.') dot = static_cast<long>(i);
  }
  if (dot >= 0) s.resize(static_cast<size_t>(dot));
  return s + ".dpa";
}

PackedStream::~PackedStream() { Close(); }

int PackedStream::Open(const char* name, int mode) {
  Close();
  if (!name) return 0;
  const std::string alternative = PackedAlternativeName(name);
  std::unique_ptr<DiskStream> s;
  auto tryOpen = [&](std::unique_ptr<DiskStream> c, const char* n) {
    c->SetType(type_);
    if (!s && c->Open(n, mode)) s = std::move(c);
  };
  tryOpen(std::make_unique<DiskStream>(), name);
  tryOpen(std::make_unique<DiskStream>(), alternative.c_str());
  tryOpen(std::make_unique<ResourceStream>(), name);
  tryOpen(std::make_unique<ResourceStream>(), alternative.c_str());
  if (!s) return 0;
  inner_ = std::move(s);
  name_ = name;
  uint8_t header[16] = {};
  inner_->Read(header, sizeof header);
  inner_->Seek(0, kSeekSet);
  if (HasGplpSignature(header, sizeof header)) {
    Decode();
    mode_ = 1;
    pos_ = 0;
  }
  return 1;
}

// The member's layout sizes come from the file and are not trusted: every
// part is cut to what the file holds, and the output to what the packed
// data can produce (a back-reference of 2 bytes yields at most 18).
void PackedStream::Decode() {
  inner_->Seek(0, kSeekEnd);
  const int64_t total = std::max<int64_t>(inner_->Tell(), 0);
  inner_->Seek(0, kSeekSet);
  std::vector<uint8_t> file(static_cast<size_t>(total));
  if (!file.empty()) inner_->Read(file.data(), file.size());
  inner_->Seek(0, kSeekSet);

  auto part = [&](uint64_t at, uint64_t length) -> std::pair<const uint8_t*, size_t> {
    if (at >= file.size()) return {nullptr, 0};
    return {file.data() + at, static_cast<size_t>(std::min<uint64_t>(length, file.size() - at))};
  };
  const uint64_t infoSize = Le32(file, 12);
  const auto [info, infoHave] = part(16, infoSize);
  std::vector<uint8_t> block(info, info + infoHave);
  const uint64_t nameSize = Le32(block, 4), flagSize = Le32(block, 8);
  const uint64_t packedSize = Le32(block, 12);
  unpackedSize_ = Le32(block, 16);

  const uint64_t nameAt = 16 + infoSize;
  const auto [nameBytes, nameHave] = part(nameAt, nameSize);
  if (nameBytes) {
    name_.assign(reinterpret_cast<const char*>(nameBytes),
                 strnlen(reinterpret_cast<const char*>(nameBytes), nameHave));
  }
  const auto [flags, flagHave] = part(nameAt + nameSize, flagSize);
  const auto [packed, packedHave] = part(nameAt + nameSize + flagSize, packedSize);
  const uint64_t producible = uint64_t{packedHave} * 9 + 18;
  member_ = DecodeGplp(flags, flagHave, packed, packedHave,
                       static_cast<size_t>(std::min<uint64_t>(unpackedSize_, producible)));
}

void PackedStream::Close() {
  inner_.reset();
  name_.clear();
  member_.clear();
  member_.shrink_to_fit();
  unpackedSize_ = 0;
  mode_ = 0;
  pos_ = 0;
}

int PackedStream::ReadTextLine(char* buffer, size_t size) {
  if (mode_ == 0) return inner_ ? inner_->ReadTextLine(buffer, size) : 0;
  return CopyLine(member_.data(), member_.size(), pos_, buffer, size);
}

int64_t PackedStream::Read(void* buffer, size_t size) {
  if (mode_ == 0) return inner_ ? inner_->Read(buffer, size) : 0;
  return static_cast<int64_t>(CopyOut(member_.data(), member_.size(), pos_, buffer, size));
}

int PackedStream::Write(const void* buffer, size_t size) {
  if (mode_ != 0 || !inner_) return 0;
  return inner_->Write(buffer, size);
}

int PackedStream::Seek(int64_t offset, int origin) {
  if (mode_ == 0) {
    if (!inner_) return 1;
    inner_->Seek(offset, origin);
    pos_ = inner_->Tell();
    return 1;
  }
  if (origin == kSeekSet)
    pos_ = offset;
  else if (origin == kSeekCur)
    pos_ += offset;
  else if (origin == kSeekEnd)
    pos_ = int64_t{unpackedSize_} + offset;
  return 1;
}

void PackedStream::SetName(const char* name) { name_ = name ? name : ""; }

int64_t PackedStream::DataSize() {
  if (mode_ == 1) return static_cast<int64_t>(member_.size());
  if (!inner_) return 0;
  if (auto* r = dynamic_cast<ResourceStream*>(inner_.get())) return r->ResourceSize();
  return inner_->Size();
}
