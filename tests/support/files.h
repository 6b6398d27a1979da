// Scratch folders and whole-file reads for tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh folder of its own under the system's temporary folder, removed with
// everything in it when the owner goes, so a failing assertion leaves nothing
// behind and parallel test processes never share one.
class ScopedTempDir {
 public:
  explicit ScopedTempDir(const std::string& prefix = "quillfen-test-");
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The whole file; empty when it is missing or cannot be read.
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
