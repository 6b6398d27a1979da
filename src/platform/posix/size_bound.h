// Each kind of game file has a size past which it cannot be genuine: such a
// file (a sparse file, a mistake, a hostile replacement) is refused before
// any memory is set aside for it. Shared by the POSIX and Windows files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace posix {

// The bound for a file name or path, told by its extension.
inline uint64_t SizeBoundOf(std::string_view path) {
  struct SizeBound {
    std::string_view extension;
    uint64_t maxBytes;
  };
  constexpr uint64_t kMiB = uint64_t{1} << 20;
  constexpr SizeBound kSizeBounds[] = {
      {".k16", 540 + uint64_t{16384} * 16384},  // header, palette and the largest picture loaded
      {".scn", 16 * kMiB},
      {".dat", 16 * kMiB},
      {".dec", 16 * kMiB},
      {".mid", 16 * kMiB},
  };
  constexpr uint64_t kOtherFileBound = 256 * kMiB;  // waves, packed archives, the rest
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return kOtherFileBound;
  const std::string_view extension = path.substr(dot);
  for (const SizeBound& b : kSizeBounds) {
    if (extension.size() != b.extension.size()) continue;
    bool same = true;
    for (size_t i = 0; i < extension.size() && same; ++i) {
      char c = extension[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      same = c == b.extension[i];
    }
    if (same) return b.maxBytes;
  }
  return kOtherFileBound;
}

}  // namespace posix
