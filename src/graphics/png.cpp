#include "graphics/png.h"

#include <array>
#include <cstddef>
#include <limits>

// The writer is third-party C: it comes in as a system header (the build
// gives this file alone its folder with -isystem), so its own warnings stay
// out of ours. Without stdio it has no way to open files; the platform
// writes the bytes, as for every other file of the game.
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

constexpr std::array<uint8_t, 32> MakeSpread() {
  std::array<uint8_t, 32> t{};
  for (unsigned v = 0; v < 32; ++v) t[v] = static_cast<uint8_t>((v << 3) | (v >> 2));
  return t;
}
// Five bits over eight so that white stays white.
constexpr std::array<uint8_t, 32> kSpread = MakeSpread();

void Append(void* context, void* data, int size) {
  auto& out = *static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out.insert(out.end(), bytes, bytes + size);
}

}  // namespace

std::vector<uint8_t> EncodePng555(const uint16_t* pixels, int width, int height, int strideInPixels,
                                  bool bottomUp) {
  if (!pixels || width < 1 || height < 1 || strideInPixels < width) return {};
  // The writer counts its buffers in int: the filtered rows and the
  // compressed stream, which may grow a little past them.
  const uint64_t rawSize = (static_cast<uint64_t>(width) * 3 + 1) * static_cast<uint64_t>(height);
  if (rawSize >= static_cast<uint64_t>(std::numeric_limits<int>::max()) / 2) return {};

  const size_t rowBytes = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> rgb(rowBytes * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const int memoryRow = bottomUp ? height - 1 - y : y;
    const uint16_t* src = pixels + static_cast<ptrdiff_t>(memoryRow) * strideInPixels;
    uint8_t* p = rgb.data() + static_cast<size_t>(y) * rowBytes;
    for (int x = 0; x < width; ++x, p += 3) {
      const unsigned v = src[x];
      p[0] = kSpread[(v >> 10) & 31];
      p[1] = kSpread[(v >> 5) & 31];
      p[2] = kSpread[v & 31];
    }
  }
  std::vector<uint8_t> png;
  if (!stbi_write_png_to_func(Append, &png, width, height, 3, rgb.data(),
                              static_cast<int>(rowBytes)))
    return {};
  return png;
}
