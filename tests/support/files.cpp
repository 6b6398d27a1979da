#include "support/files.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>

ScopedTempDir::ScopedTempDir(const std::string& prefix) {
  // The process id keeps parallel test runs apart, the counter the folders of
  // one run, and the random part a folder a dead run with the same id left.
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / (prefix + std::to_string(::getpid()) + "-" + std::to_string(++counter) + "-" +
                    std::to_string(rd()));
    if (std::filesystem::create_directory(path_)) return;
  }
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const std::filesystem::path& path) {
  const auto bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}
