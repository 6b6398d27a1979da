// Writes K16 pictures for tests from a function of (x, y) giving X1R5G5B5
// pixels; the palette is made from the colours used (at most 256).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

bool WriteTestK16(const std::string& path, int width, int height,
                  const std::function<uint16_t(int x, int y)>& pixel);

constexpr uint16_t Rgb5(int r, int g, int b) { return static_cast<uint16_t>(r << 10 | g << 5 | b); }
constexpr uint16_t kKey5 = Rgb5(31, 0, 31);  // magenta
