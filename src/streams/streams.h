// Streams that let the music loader read a named piece of data whether it is
// a plain file, a GPLP packed file (".dpa") or a resource of the program.
//
// The core reaches files only through the platform host, whose operations are
// whole-file reads and writes; a DiskStream therefore keeps its file's bytes
// in memory and behaves like a runtime FILE over them: reads come from the
// buffer, writes go to the buffer and reach the disk when the stream closes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// fopen modes by number.
constexpr int kModeText = 2;          // "r"
constexpr int kModeBinary = 3;        // "rb"
constexpr int kModeWriteText = 4;     // "w"
constexpr int kModeWriteBinary = 5;   // "wb"
constexpr int kModeAppendText = 8;    // "a+"
constexpr int kModeAppendBinary = 9;  // "a+b"

// Seek origins.
constexpr int kSeekSet = 0;
constexpr int kSeekCur = 1;
constexpr int kSeekEnd = 2;

// A resource type or name as FindResourceA takes it: a value of 100 or less
// is an integer identifier, anything larger the address of a name.
constexpr uintptr_t kMaxIntResource = 100;

class DiskStream {
 public:
  DiskStream() = default;
  virtual ~DiskStream();
  DiskStream(const DiskStream&) = delete;
  DiskStream& operator=(const DiskStream&) = delete;

  virtual int Open(const char* name, int mode);
  virtual void Close();
  virtual int ReadTextLine(char* buffer, size_t size);
  virtual int Read(void* buffer, size_t size);
  virtual int Write(const void* buffer, size_t size);
  virtual int Seek(int64_t offset, int origin);
  virtual int64_t Tell();

  int64_t Size();
  void SetType(uintptr_t type);
  void SetName(const char* name);
  bool IsOpen() const { return open_; }

 protected:
  // The resource type: an identifier, or (typeName_ non-empty) a name.
  uintptr_t typeId_ = 0;
  std::string typeName_;
  std::string name_;

 private:
  void Flush();

  bool open_ = false;
  bool text_ = false;       // CR LF <-> LF as the runtime's text mode does
  bool writable_ = false;   // written back to the file at Close
  bool appending_ = false;  // every write goes to the end
  bool anonymous_ = false;  // tmpfile: never reaches the disk
  std::vector<uint8_t> data_;
  int64_t pos_ = 0;
};

class ResourceStream : public DiskStream {
 public:
  ~ResourceStream() override;
  int Open(const char* name, int mode) override;
  void Close() override;
  int ReadTextLine(char* buffer, size_t size) override;
  int Read(void* buffer, size_t size) override;
  int Seek(int64_t offset, int origin) override;
  int64_t Tell() override;
  int64_t ResourceSize() const { return static_cast<int64_t>(size_); }

 private:
  const void* handle_ = nullptr;  // the table entry found
  int64_t pos_ = 0;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

class PackedStream {
 public:
  PackedStream() = default;
  virtual ~PackedStream();
  PackedStream(const PackedStream&) = delete;
  PackedStream& operator=(const PackedStream&) = delete;

  virtual int ReadTextLine(char* buffer, size_t size);
  // Mode 0: the inner stream's answer. Mode 1: the number of bytes copied
  // (the rest of the buffer is zeroed when the member ends first).
  virtual int64_t Read(void* buffer, size_t size);
  virtual int Write(const void* buffer, size_t size);

  int Open(const char* name, int mode);
  void Close();
  int Seek(int64_t offset, int origin);
  void SetName(const char* name);
  void SetType(uintptr_t type) { type_ = type; }

  DiskStream* Inner() { return inner_.get(); }
  int Mode() const { return mode_; }
  const std::string& Name() const { return name_; }
  // Bytes a reader may take: the decoded member's length in mode 1, the
  // inner stream's size in mode 0.
  int64_t DataSize();

 private:
  void Decode();

  std::unique_ptr<DiskStream> inner_;
  uintptr_t type_ = 0;
  int mode_ = 0;
  int64_t pos_ = 0;
  std::string name_;
  std::vector<uint8_t> member_;
  uint32_t unpackedSize_ = 0;  // U as the header states it
};

// The alternative name of a packed file: name cut at its last "." (never
// the trail byte of a two-byte character) followed by ".dpa".
std::string PackedAlternativeName(const char* name);
