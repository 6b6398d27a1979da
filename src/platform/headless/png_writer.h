#pragma once

#include <cstdint>
#include <string>

namespace headless {
// Writes top-down X1R5G5B5 pixels as an 8-bit RGB PNG.
bool WritePng555(const std::string& path, const uint16_t* pixels, int width, int height);
}  // namespace headless
