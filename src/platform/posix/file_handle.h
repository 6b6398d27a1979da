// An owned C stream: closed when it goes out of scope, or explicitly with
// CloseFile where a failed last flush must be reported.
#pragma once

#include <cstdio>
#include <memory>

namespace posix {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

inline FileHandle OpenFile(const char* path, const char* mode) {
  return FileHandle(std::fopen(path, mode));
}

// True when everything written reached the file.
inline bool CloseFile(FileHandle& f) { return f && std::fclose(f.release()) == 0; }

}  // namespace posix
