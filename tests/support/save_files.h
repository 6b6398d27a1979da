// The game's own files as bytes at their offsets: save slots, the progress
// files and the database tables. Tests build files from this one table and
// read the game's files back through it, so a field that moves in the code
// but not in every file ever written fails here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// A field of a file: element i lies at offset + i * stride.
struct FileField {
  const char* file;  // "slot", "Collection.dat", "ArtsList.dat", "Pattern.dat",
                     // "CardData.dat", "AtArts.dat" (also DfArts.dat)
  const char* name;
  size_t offset, size, stride;
};
const FileField& Field(const std::string& file, const std::string& name);
size_t FileSize(const std::string& file);  // without a slot's variables

// A file image built or read field by field.
class FileImage {
 public:
  explicit FileImage(std::string file, size_t extra = 0, char fill = '\0');
  static FileImage Read(std::string file, const std::filesystem::path& path);

  FileImage& I32(const char* name, int32_t v, size_t i = 0);
  FileImage& U8(const char* name, uint8_t v, size_t i = 0);
  FileImage& Text(const char* name, const std::string& s, size_t i = 0);
  int32_t I32(const char* name, size_t i = 0) const;
  uint8_t U8(const char* name, size_t i = 0) const;
  std::string Text(const char* name, size_t i = 0) const;
  size_t At(const char* name, size_t i) const;
  void Write(const std::filesystem::path& path) const;

  std::string file;
  std::string bytes;
};

// A slot the game takes as whole: scenario and line, window 1 current and
// the given variable counts; the variable records follow, all zero.
FileImage SlotFile(const std::string& scenario, int32_t line, int32_t ints = 0, int32_t strs = 0);
