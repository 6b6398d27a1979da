// A save slot file as bytes at their offsets. Tests build slots from this
// one table and read the game's slots back through it, so a field that moves
// in the code but not in every file ever written fails here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// A field of the slot: element i lies at offset + i * stride.
struct FileField {
  const char* name;
  size_t offset, size, stride;
};

// A slot image (the snapshot, then `extra` bytes of variables) built or read
// field by field. `file` is "slot", the only layout kept here.
class FileImage {
 public:
  explicit FileImage(std::string file, size_t extra = 0, char fill = '\0');
  static FileImage Read(std::string file, const std::filesystem::path& path);

  FileImage& I32(const char* name, int32_t v, size_t i = 0);
  FileImage& U8(const char* name, uint8_t v, size_t i = 0);
  FileImage& Text(const char* name, const std::string& s, size_t i = 0);
  int32_t I32(const char* name, size_t i = 0) const;
  size_t At(const char* name, size_t i) const;
  void Write(const std::filesystem::path& path) const;

  std::string file;
  std::string bytes;
};

// A slot the game takes as whole: scenario and line, window 1 current and
// the given variable counts; the variable records follow, all zero.
FileImage SlotFile(const std::string& scenario, int32_t line, int32_t ints = 0, int32_t strs = 0);
