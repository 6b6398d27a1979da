#include "support/k16_writer.h"

#include <fstream>
#include <map>

bool WriteTestK16(const std::string& path, int width, int height,
                  const std::function<uint16_t(int x, int y)>& pixel) {
  const int rowSize = (width + 3) / 4 * 4;
  std::string file(540 + static_cast<size_t>(rowSize) * height, '\0');
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<char>(v >> (8 * i));
  };
  put(16, static_cast<uint32_t>(width), 4);
  put(20, static_cast<uint32_t>(height), 4);
  std::map<uint16_t, size_t> index;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto [it, added] = index.emplace(pixel(x, y), index.size());
      if (index.size() > 256) return false;
      if (added) put(28 + 2 * it->second, it->first, 2);
      file[540 + static_cast<size_t>(height - 1 - y) * rowSize + x] = static_cast<char>(it->second);
    }
  std::ofstream out(path, std::ios::binary);
  out << file;
  return static_cast<bool>(out);
}
