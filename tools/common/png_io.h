// PNG files for the content tools: read any PNG as 8-bit RGBA, write 8-bit
// RGB or RGBA. Errors come back as text that names the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace toolpng {

struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // top-down rows, 4 bytes per pixel

  const uint8_t* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
  uint8_t* At(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

bool ReadPng(const std::string& path, RgbaImage& out, std::string& error);
// withAlpha false drops the alpha channel.
bool WritePng(const std::string& path, const RgbaImage& image, bool withAlpha, std::string& error);

}  // namespace toolpng
