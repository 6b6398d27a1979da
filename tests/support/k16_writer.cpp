#include "support/k16_writer.h"

#include <fstream>
#include <map>
#include <vector>

bool WriteTestK16(const std::string& path, int width, int height,
                  const std::function<uint16_t(int x, int y)>& pixel) {
  const int rowSize = ((width * 8 + 31) / 32) * 4;
  std::vector<uint8_t> file(540 + static_cast<size_t>(rowSize) * height, 0);
  auto put32 = [&](size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(16, width);
  put32(20, height);
  std::map<uint16_t, int> index;
  for (int y = 0; y < height; ++y) {
    const size_t row = 540 + static_cast<size_t>(height - 1 - y) * rowSize;
    for (int x = 0; x < width; ++x) {
      const uint16_t p = pixel(x, y);
      auto it = index.find(p);
      if (it == index.end()) {
        if (index.size() == 256) return false;
        it = index.emplace(p, static_cast<int>(index.size())).first;
        file[28 + 2 * it->second] = static_cast<uint8_t>(p);
        file[29 + 2 * it->second] = static_cast<uint8_t>(p >> 8);
      }
      file[row + x] = static_cast<uint8_t>(it->second);
    }
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out);
}
